// The player's behaviour as its playback I/O sees it, read on the test's own
// thread without waiting, mostly at rate -1 (every packet due at once), so
// that what comes out is exact. Pacing and threads: PlaybackFactory_test.
#include <linkwell/DataPlayer.hpp>

#include "recording/PlaybackModuleIo.hpp"
#include "support/PlaybackSession.hpp"
#include "support/RecordingLogger.hpp"
#include "support/StdoutCapture.hpp"
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

using Sarvik::DataPlayer;
using testsupport::byte_data_type;
using testsupport::byte_labels;
using testsupport::byte_records;
using testsupport::performance_status_type;
using testsupport::sleep_stage_header;
using testsupport::sleep_stage_type;
using testsupport::stdout_of;
using testsupport::StoredRecord;
using testsupport::TempDir;
using testsupport::write_session;

namespace {

using Labels = std::vector<std::string>;

// A player at rate -1 and its playback I/O.
class UnpacedPlayback {
public:
    explicit UnpacedPlayback(const std::string& index_file)
        : player(index_file, -1)
        , io(logger, player)
    {
        player.set_playback_rate(-1.0f);
    }

    // Up to n packets, read as the connection reads but without waiting;
    // gives up after 20 reads in a row that bring nothing.
    Labels next(size_t n = 1000, unsigned buffer_size = 6158)
    {
        Labels packets;
        Bytes buffer(buffer_size);
        for (int idle = 0; packets.size() < n && idle < 20;) {
            const int size = io.read(buffer.data(), buffer_size, 0);
            if (size == 0) {
                ++idle;
                continue;
            }
            idle = 0;
            packets.push_back(testsupport::label(Bytes(buffer.begin(), buffer.begin() + size)));
        }
        return packets;
    }

    testsupport::RecordingLogger logger;
    DataPlayer player;
    PlaybackModuleIo io;
};

class Player : public testing::Test {
protected:
    std::string session(const std::vector<StoredRecord>& records, uint32_t duration)
    {
        return write_session(dir.path(), records, duration);
    }

    TempDir dir;
};

Labels operator+(Labels a, const Labels& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST_F(Player, RefusesARecordingItCannotOpen)
{
    const std::string index = session(byte_records(2, 10), 20);
    const std::string missing = dir.path() + "/nothing_here.dat";
    for (const auto& [name, count] :
        std::vector<std::pair<std::string, int>> { { missing, -1 }, { index, 0 } }) {
        try {
            DataPlayer player(name, count);
            ADD_FAILURE() << name << " opened";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ("failed to open recording" + name, std::string(e.what()));
        }
    }
}

TEST_F(Player, RefusesPositionsAndFiltersOutsideTheRange)
{
    UnpacedPlayback playback(session(byte_records(5, 100), 400));
    DataPlayer& player = playback.player;
    EXPECT_EQ(400, player.get_duration());
    for (long long ms : { -1LL, 401LL })
        EXPECT_EQ(1, player.set_position(ms)) << ms;
    for (long long ms : { 0LL, 400LL })
        EXPECT_EQ(0, player.set_position(ms)) << ms;

    for (unsigned filter : { 0u, 0x800000u, 0x80000000u })
        EXPECT_EQ(1, player.set_filter(filter)) << filter;
    EXPECT_EQ(0xFFFFFFFFu, player.get_filter());
    EXPECT_EQ(0, player.set_filter(byte_data_type));
    EXPECT_EQ(byte_data_type, player.get_filter());
}

TEST_F(Player, ReleasesEveryModuleMessageInRecordedOrderAndNothingElse)
{
    UnpacedPlayback playback(session(
        {
            { ~byte_data_type, "user header", 0 },
            { sleep_stage_type, sleep_stage_header, 0 },
            { byte_data_type, "r0", 10 },
            { sleep_stage_type, "1600000000020;1;2;3\n", 20 },
            { performance_status_type, "perf", 30 },
            { byte_data_type, "", 35 },
            { byte_data_type, "r1", 40 },
            { sleep_stage_type, "1600000000050;4;5;6\n", 50 },
        },
        60));
    Labels packets;
    const std::string output = stdout_of([&] {
        playback.player.play();
        packets = playback.next();
    });
    // An empty record is a message with nothing after its head; the close
    // entries that end the session are no messages.
    EXPECT_EQ((Labels { "r0", "stage1", "", "r1", "stage4" }), packets);
    EXPECT_EQ("", output);
    EXPECT_EQ(DataPlayer::PlayingState, playback.player.get_state());
}

TEST_F(Player, ARecordThatCannotBeConvertedIsDroppedWithAWarning)
{
    UnpacedPlayback playback(session(
        {
            { byte_data_type, "r0", 0 },
            { sleep_stage_type, "1600000000001;x;2;3\n", 1 },
            { sleep_stage_type, "1600000000002;1;2\n", 2 },
            { sleep_stage_type, "timestamp;FrameCounter;SleepStage;Confidence\n", 3 },
            { sleep_stage_type, "1600000000004;7;8;9\n", 4 },
            { byte_data_type, "r1", 5 },
        },
        6));
    Labels packets;
    const std::string output = stdout_of([&] {
        playback.player.play();
        packets = playback.next();
    });
    EXPECT_EQ((Labels { "r0", "stage7", "r1" }), packets);
    EXPECT_EQ("WARNING: failed to convert bytes from disk to valid packet\n"
              "data_type: 131072, size: 20\n"
              "WARNING: failed to convert bytes from disk to valid packet\n"
              "data_type: 131072, size: 18\n",
        output);
}

TEST_F(Player, APacketLargerThanTheReadBufferIsDroppedWithAWarning)
{
    UnpacedPlayback playback(session(
        { { byte_data_type, "r0", 0 }, { byte_data_type, "r1-long", 1 }, { byte_data_type, "r2", 2 } }, 3));
    Labels packets;
    const std::string output = stdout_of([&] {
        playback.player.play();
        packets = playback.next(1000, 4);
    });
    EXPECT_EQ((Labels { "r0", "r2" }), packets);
    EXPECT_EQ("WARNING: buffer not large enough to fill packet of size: 9 (max size: 4)\n", output);
}

TEST_F(Player, AHeldPacketThatNoLongerFitsTheBufferIsDroppedWithAWarning)
{
    UnpacedPlayback playback(session(byte_records(3, 10), 20));
    playback.player.set_playback_rate(0.0f);
    playback.player.play();
    EXPECT_EQ(Labels {}, playback.next()); // r0 is held back
    playback.player.set_playback_rate(-1.0f);
    Labels packets;
    const std::string output = stdout_of([&] {
        Bytes small(3);
        EXPECT_EQ(0, playback.io.read(small.data(), 3, 0));
        packets = playback.next();
    });
    EXPECT_EQ((Labels { "r1", "r2" }), packets);
    EXPECT_EQ("WARNING: buffer not large enough to fill packet of size: 4 (max size: 3)\n", output);
}

TEST_F(Player, PauseResumesAndStopStartsAgainFromTheFirstRecord)
{
    UnpacedPlayback playback(session(byte_records(5, 10), 40));
    DataPlayer& player = playback.player;
    EXPECT_EQ(DataPlayer::StoppedState, player.get_state());
    EXPECT_EQ(Labels {}, playback.next());

    player.play();
    EXPECT_EQ((Labels { "r0", "r1" }), playback.next(2));
    player.pause();
    EXPECT_EQ(DataPlayer::PausedState, player.get_state());
    EXPECT_EQ(Labels {}, playback.next());
    player.play();
    EXPECT_EQ((Labels { "r2" }), playback.next(1));

    player.stop();
    EXPECT_EQ(Labels {}, playback.next());
    player.play();
    EXPECT_EQ((Labels { "r0" }), playback.next(1));

    // Both requests before the next read: still a rewind.
    player.stop();
    player.play();
    EXPECT_EQ(byte_labels(5), playback.next());
}

TEST_F(Player, SeeksWhileStoppedAndWhilePlaying)
{
    // The data file is closed 50 ms after the last record.
    UnpacedPlayback playback(session(byte_records(5, 100), 450));
    DataPlayer& player = playback.player;
    EXPECT_EQ(0, player.set_position(250));
    EXPECT_EQ(250, player.get_position());
    player.play();
    EXPECT_EQ((Labels { "r3" }), playback.next(1));
    EXPECT_EQ(300, player.get_position());

    EXPECT_EQ(0, player.set_position(100));
    EXPECT_EQ((Labels { "r1", "r2", "r3", "r4" }), playback.next());

    player.stop();
    playback.next();
    EXPECT_EQ(0, player.set_position(400));
    player.play();
    EXPECT_EQ((Labels { "r4" }), playback.next());

    // Behind the last record only the close entry is left, which is no
    // message.
    EXPECT_EQ(0, player.set_position(420));
    EXPECT_EQ(Labels {}, playback.next());
}

TEST_F(Player, AFilterChangeTakesEffectWhilePlaying)
{
    std::vector<StoredRecord> records;
    for (int i = 0; i < 4; ++i) {
        records.push_back({ byte_data_type, "r" + std::to_string(i), static_cast<uint32_t>(10 * i) });
        records.push_back(
            { sleep_stage_type, "16;" + std::to_string(i) + ";0;0\n", static_cast<uint32_t>(10 * i + 5) });
    }
    UnpacedPlayback playback(session(records, 40));
    DataPlayer& player = playback.player;
    player.play();
    EXPECT_EQ((Labels { "r0", "stage0" }), playback.next(2));
    EXPECT_EQ(0, player.set_filter(sleep_stage_type));
    EXPECT_EQ((Labels { "stage1", "stage2", "stage3" }), playback.next());

    EXPECT_EQ(0, player.set_filter(byte_data_type));
    player.stop();
    player.play();
    EXPECT_EQ((Labels { "r0", "r1", "r2", "r3" }), playback.next());
}

TEST_F(Player, LoopModeStartsAgainAfterTheLastRecord)
{
    UnpacedPlayback playback(session(byte_records(3, 10), 20));
    DataPlayer& player = playback.player;
    player.set_loop_mode_enabled(true);
    player.play();
    EXPECT_EQ(byte_labels(3) + byte_labels(3) + Labels { "r0" }, playback.next(7));

    player.set_loop_mode_enabled(false);
    EXPECT_EQ((Labels { "r1", "r2" }), playback.next());
    EXPECT_EQ(DataPlayer::PlayingState, player.get_state());
}

TEST_F(Player, RatesTooSmallToAdvanceTheClockAreRefused)
{
    UnpacedPlayback playback(session(byte_records(3, 1000), 3000));
    DataPlayer& player = playback.player;
    player.set_playback_rate(0.0f);
    ASSERT_EQ(0, player.set_position(1500));
    player.play();
    for (float rate : { 1.4e-45f, 1e-30f }) {
        player.set_playback_rate(rate);
        EXPECT_EQ(0.0f, player.get_playback_rate()) << rate;
        EXPECT_EQ(1500, player.get_position()) << rate;
    }
}

TEST_F(Player, RateZeroReleasesNothingUntilTheRateChanges)
{
    UnpacedPlayback playback(session(byte_records(3, 10), 20));
    DataPlayer& player = playback.player;
    player.set_playback_rate(0.0f);
    EXPECT_EQ(0.0f, player.get_playback_rate());
    player.play();
    EXPECT_EQ(Labels {}, playback.next());
    EXPECT_EQ(0, player.get_position());

    player.set_playback_rate(-1.0f);
    EXPECT_EQ(byte_labels(3), playback.next());
}
