// Whole playback connections: the factory's parts assembled by UartIo and
// RadarCommunicator, the recording's packets coming through the reader
// thread, the pass-through protocol and the dispatcher, paced by the clock.
#include "recording/PlaybackFactory.hpp"

#include <linkwell/DataPlayer.hpp>
#include <linkwell/DataRecorder.hpp>

#include "common/UniqueLocked.hpp"
#include "link/ActiveThread.hpp"
#include "link/NoParseByteProtocol.hpp"
#include "link/RadarCommunicator.hpp"
#include "link/UartIo.hpp"
#include "recording/PlaybackModuleIo.hpp"
#include "support/PlaybackSession.hpp"
#include "support/RecordingLogger.hpp"
#include "support/SimulatedConnection.hpp"
#include "support/TestSupport.hpp"

#include "simmodule/Messages.hpp"
#include "simmodule/Rule.hpp"

#include <gtest/gtest.h>

#include <pthread.h>
#include <time.h>

#include <atomic>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

using Sarvik::DataPlayer;
using testsupport::byte_data_type;
using testsupport::byte_labels;
using testsupport::byte_records;
using testsupport::eventually;
using testsupport::labels;
using testsupport::RecordingLogger;
using testsupport::StoredRecord;
using testsupport::TempDir;
using testsupport::write_session;

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Labels = std::vector<std::string>;

namespace {

// Keeps a handle on the reader thread's CPU clock.
class ObservedPlaybackFactory : public PlaybackFactory {
public:
    using PlaybackFactory::PlaybackFactory;

    Active* createReaderThread(const std::string& name, Logger& logger) override
    {
        Active* thread = PlaybackFactory::createReaderThread(name, logger);
        thread->add([this] {
            clockid_t id {};
            pthread_getcpuclockid(pthread_self(), &id);
            reader_clock_.set_value(id);
        });
        return thread;
    }

    clockid_t reader_clock() { return reader_clock_.get_future().get(); }

private:
    std::promise<clockid_t> reader_clock_;
};

// The packets that reach a callback subscription, with their arrival times.
class Arrivals {
public:
    std::function<bool(Bytes)> callback()
    {
        return [this](Bytes packet) {
            std::lock_guard<std::mutex> lock(mutex_);
            packets_.push_back(std::move(packet));
            times_.push_back(Clock::now());
            return true;
        };
    }
    size_t count() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return packets_.size();
    }
    Labels wait_for(size_t n)
    {
        eventually([&] { return count() >= n; });
        std::lock_guard<std::mutex> lock(mutex_);
        return labels(packets_);
    }
    // From the first packet's arrival to the last one's.
    Clock::duration span() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return times_.empty() ? Clock::duration() : times_.back() - times_.front();
    }
    // From `start` to the last packet's arrival.
    Clock::duration last_since(Clock::time_point start) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return times_.empty() ? Clock::duration() : times_.back() - start;
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        packets_.clear();
        times_.clear();
    }
    // Waits until no packet has come for `quiet`: what the connection had
    // taken in before has reached the callback.
    bool wait_until_quiet(Clock::duration quiet)
    {
        size_t seen = count();
        auto last_change = Clock::now();
        return eventually([&] {
            const size_t now = count();
            if (now != seen) {
                seen = now;
                last_change = Clock::now();
            }
            return Clock::now() - last_change >= quiet;
        });
    }

private:
    mutable std::mutex mutex_;
    std::vector<Bytes> packets_;
    std::vector<Clock::time_point> times_;
};

// A connection that plays a recording, built as a connector builds one.
class PlaybackConnection {
public:
    explicit PlaybackConnection(const std::string& index_file)
        : player(index_file, -1)
        , factory(player)
        , io(logger, factory)
        , communicator(io, factory, logger)
    {
        communicator.subscribe("arrivals", arrivals.callback(), Bytes {});
    }

    RecordingLogger logger;
    DataPlayer player;
    ObservedPlaybackFactory factory;
    Arrivals arrivals;
    UartIo io;
    RadarCommunicator communicator;
};

class Playback : public testing::Test {
protected:
    std::string session(const std::vector<StoredRecord>& records, uint32_t duration)
    {
        return write_session(dir.path(), records, duration);
    }

    TempDir dir;
};

} // namespace

TEST(PlaybackFactoryParts, ThePlaybackIoAndAPassThroughProtocolOnOrdinaryThreads)
{
    TempDir dir;
    DataPlayer player(write_session(dir.path(), byte_records(1, 0), 0), -1);
    RecordingLogger logger;
    PlaybackFactory factory(player);
    std::unique_ptr<ModuleIo> io(factory.createModuleIo(logger));
    EXPECT_NE(nullptr, dynamic_cast<PlaybackModuleIo*>(io.get()));
    std::unique_ptr<Protocol> protocol(factory.createProtocol(logger));
    EXPECT_NE(nullptr, dynamic_cast<NoParseByteProtocol*>(protocol.get()));
    std::unique_ptr<Active> reader(factory.createReaderThread("reader", logger));
    auto* thread = dynamic_cast<ActiveThread*>(reader.get());
    ASSERT_NE(nullptr, thread);
    EXPECT_EQ("reader", thread->name());
}

TEST_F(Playback, RecordedPacketsReachTheNamedQueuesWholeAndInOrder)
{
    std::vector<StoredRecord> records;
    for (int i = 0; i < 50; ++i) {
        records.push_back({ byte_data_type, "r" + std::to_string(i), static_cast<uint32_t>(i) });
        records.push_back({ testsupport::sleep_stage_type, "16;" + std::to_string(i) + ";2;3\n",
            static_cast<uint32_t>(i) });
    }
    PlaybackConnection connection(session(records, 50));
    RadarCommunicator& communicator = connection.communicator;
    communicator.subscribe("bytes", Bytes { 0xA0 });
    communicator.subscribe("app", Bytes { 0x50 });
    ASSERT_EQ(0, communicator.open("__playback__"));
    connection.player.set_playback_rate(-1.0f);
    connection.player.play();

    ASSERT_TRUE(eventually([&] { return communicator.get_number_of_packets("app") == 50; }));
    ASSERT_EQ(50, communicator.get_number_of_packets("bytes"));
    for (int i = 0; i < 50; ++i) {
        const std::string n = std::to_string(i);
        EXPECT_EQ("r" + n, testsupport::label(communicator.get_packet("bytes")));
        const Bytes stage = communicator.get_packet("app");
        const Bytes expected = testsupport::PayloadBuilder()
                                   .u8(0x50)
                                   .u32(testsupport::sleep_stage_content_id)
                                   .u32(static_cast<uint32_t>(i))
                                   .u32(2)
                                   .u32(3);
        EXPECT_EQ(expected, stage);
    }
    EXPECT_TRUE(connection.logger.errors().empty());
}

// What the recorder made of a module's streams plays back as the very
// messages the module sent, binary and CSV types alike.
TEST_F(Playback, ARecordedSessionPlaysBackAsTheModuleSentIt)
{
    std::vector<Bytes> sent;
    for (uint32_t i = 0; i < 20; ++i) {
        simmodule::PresenceSingle presence;
        presence.frame_counter = i;
        presence.presence_state = i % 2;
        presence.distance = 0.25f * static_cast<float>(i);
        presence.direction = static_cast<uint8_t>(i % 3);
        presence.signal_quality = 60 + i;
        sent.push_back(simmodule::presence_single_message(presence));
        sent.push_back(simmodule::app_data_message(0xC1A3117E, { uint8_t(i), 0x7D, 0x7E, 0x7F }));
    }
    std::string index_file;
    {
        testsupport::SimulatedConnection sim;
        // No profile id or parameter file: refused at once, not timed out.
        sim.module().add_rule(simmodule::Rule({ 0x90, 0x74 }).error(5));
        sim.module().add_rule(simmodule::Rule({ 0x90, 0x72 }).error(5));
        UniqueLocked<RadarInterface, std::recursive_mutex> connection(&sim.radar(), false);
        Sarvik::DataRecorder recorder(connection);
        recorder.subscribe_to_meta_file_available(
            [&](const std::string&, const std::string& name) { index_file = name; });
        Sarvik::RecordingOptions options;
        ASSERT_EQ(0,
            recorder.start_recording(
                Sarvik::PresenceSingleDataType | Sarvik::RadarRfDataType, dir.path(), options));
        for (const Bytes& message : sent)
            sim.deliver(message);
    }
    ASSERT_FALSE(index_file.empty());

    PlaybackConnection connection(index_file);
    ASSERT_EQ(0, connection.communicator.open("__playback__"));
    connection.player.set_playback_rate(-1.0f);
    connection.player.play();
    EXPECT_EQ(labels(sent), connection.arrivals.wait_for(sent.size()));
}

TEST_F(Playback, PacketsComeWhenTheClockReachesThemAtTheRate)
{
    // Five records 100 ms apart: 400 ms of recording.
    for (float rate : { 2.0f, 1.0f }) {
        SCOPED_TRACE(rate);
        PlaybackConnection connection(session(byte_records(5, 100), 400));
        ASSERT_EQ(0, connection.communicator.open("__playback__"));
        connection.player.set_playback_rate(rate);
        const auto started = Clock::now();
        connection.player.play();
        EXPECT_EQ(byte_labels(5), connection.arrivals.wait_for(5));
        // Never early: the last packet comes no sooner after play() than
        // the recording lasts at this rate. Timed from the first arrival
        // instead, a first packet held up by a loaded machine would make
        // the others look early. Late only by the machine's load.
        const auto recorded = std::chrono::milliseconds(static_cast<int>(400 / rate));
        EXPECT_GE(connection.arrivals.last_since(started), recorded * 3 / 4);
        EXPECT_LT(connection.arrivals.span(), recorded + 190ms);
    }
}

TEST_F(Playback, RateZeroHoldsEverythingAndANegativeRateReleasesItAtOnce)
{
    PlaybackConnection connection(session(byte_records(100, 1000), 99000));
    ASSERT_EQ(0, connection.communicator.open("__playback__"));
    connection.player.set_playback_rate(0.0f);
    connection.player.play();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(0u, connection.arrivals.count());
    EXPECT_EQ(0, connection.player.get_position());

    connection.player.set_playback_rate(-1.0f);
    EXPECT_EQ(byte_labels(100), connection.arrivals.wait_for(100));
    EXPECT_LT(connection.arrivals.span(), 5s); // not 99 s of recording
}

TEST_F(Playback, TheReaderThreadStaysIdleWhilePaused)
{
    PlaybackConnection connection(session(byte_records(3, 1000), 2000));
    ASSERT_EQ(0, connection.communicator.open("__playback__"));
    const clockid_t reader = connection.factory.reader_clock();
    connection.player.play();
    ASSERT_EQ(Labels { "r0" }, connection.arrivals.wait_for(1));
    connection.player.pause();

    const auto cpu_time = [reader] {
        timespec t {};
        clock_gettime(reader, &t);
        return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
    };
    const auto cpu_before = cpu_time();
    const auto wall_before = Clock::now();
    std::this_thread::sleep_for(2s);
    const auto cpu = cpu_time() - cpu_before;
    const auto wall = Clock::now() - wall_before;
    EXPECT_LT(cpu, wall / 20) << std::chrono::duration_cast<std::chrono::microseconds>(cpu).count() << " us";
    EXPECT_EQ(1u, connection.arrivals.count());
}

// The application's thread drives the player and writes to the connection
// while the reader thread plays: the locks keep them apart (run under TSan).
TEST_F(Playback, TheApplicationDrivesThePlayerWhileTheReaderPlays)
{
    PlaybackConnection connection(session(byte_records(20, 10), 190));
    DataPlayer& player = connection.player;
    ASSERT_EQ(0, connection.communicator.open("__playback__"));
    player.set_loop_mode_enabled(true);
    player.set_playback_rate(-1.0f);
    player.play();
    const Bytes reset = testsupport::frame(testsupport::hex("22"));
    // 300 ms of it, and on a loaded machine on until packets have come.
    const auto until = Clock::now() + 300ms;
    const auto give_up = Clock::now() + 10s;
    const auto driving = [&] {
        const auto now = Clock::now();
        return now < until || (connection.arrivals.count() == 0 && now < give_up);
    };
    for (int step = 0; driving(); ++step) {
        switch (step % 8) {
        case 0:
            connection.io.write(reset, std::chrono::seconds(2));
            break;
        case 1:
            player.set_position(step % 190);
            break;
        case 2:
            player.set_filter(step % 3 == 0 ? testsupport::sleep_stage_type | byte_data_type : 0xFFFFFFFF);
            break;
        case 3:
            player.pause();
            break;
        case 4:
            player.play();
            break;
        case 5:
            player.set_playback_rate(step % 3 == 0 ? 50.0f : -1.0f);
            break;
        case 6:
            player.stop();
            player.play();
            break;
        case 7:
            EXPECT_LE(player.get_position(), 190);
            break;
        }
        std::this_thread::sleep_for(100us);
    }
    EXPECT_GT(connection.arrivals.count(), 0u);

    // Still a working player: a full pass from the beginning.
    player.set_loop_mode_enabled(false);
    player.set_playback_rate(-1.0f);
    player.stop();
    // The packets a pass of unpaced looping had queued can take a while to
    // reach the callback on a loaded machine.
    ASSERT_TRUE(connection.arrivals.wait_until_quiet(100ms));
    connection.arrivals.clear();
    player.play();
    EXPECT_EQ(byte_labels(20), connection.arrivals.wait_for(20));
}
