#include "recording/PlaybackModuleIo.hpp"

#include <linkwell/DataPlayer.hpp>

#include "support/PlaybackSession.hpp"
#include "support/RecordingLogger.hpp"
#include "support/StdoutCapture.hpp"
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <chrono>

using Sarvik::DataPlayer;
using testsupport::byte_records;
using testsupport::hex;
using testsupport::label;
using testsupport::RecordingLogger;
using testsupport::TempDir;
using testsupport::write_session;

namespace {

using Clock = std::chrono::steady_clock;

class PlaybackIo : public testing::Test {
protected:
    // The label of what one read without waiting brings, "-" for nothing.
    std::string read_one()
    {
        Bytes buffer(6158);
        const int size = io.read(buffer.data(), static_cast<unsigned>(buffer.size()), 0);
        return size == 0 ? "-" : label(Bytes(buffer.begin(), buffer.begin() + size));
    }

    // The labels of what one read of packets without waiting brings, "-" for
    // nothing; checks that the bytes returned are theirs.
    std::string read_some(unsigned max_bytes = 6158)
    {
        std::vector<Bytes> packets;
        const int size = io.read_packets(packets, max_bytes, 0);
        size_t bytes = 0;
        std::string labels;
        for (const Bytes& packet : packets) {
            bytes += packet.size();
            labels += (labels.empty() ? "" : " ") + label(packet);
        }
        EXPECT_EQ(bytes, static_cast<size_t>(size));
        EXPECT_LE(bytes, max_bytes);
        return packets.empty() ? "-" : labels;
    }

    int write(const Bytes& bytes) { return io.write(bytes.data(), static_cast<unsigned>(bytes.size())); }

    TempDir dir;
    RecordingLogger logger;
    DataPlayer player { write_session(dir.path(), byte_records(5, 1000), 4000), -1 };
    PlaybackModuleIo io { logger, player };
};

} // namespace

TEST_F(PlaybackIo, ConstructionIsTracedAtLevelThree)
{
    const auto entries = logger.entries();
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ("PlaybackModuleIo -- begin", entries[0].text);
    EXPECT_EQ("PlaybackModuleIo -- end", entries[1].text);
    EXPECT_EQ(3u, entries[0].level);
    EXPECT_EQ(3u, entries[1].level);
}

TEST_F(PlaybackIo, OpenReopensOnlyAClosedRecording)
{
    player.set_playback_rate(-1.0f);
    player.play();
    EXPECT_EQ("r0", read_one());
    EXPECT_EQ(0, io.open("ignored"));
    EXPECT_EQ("r1", read_one()); // not reopened: the position stays

    player.stop();
    EXPECT_EQ("-", read_one()); // the stop closes the recording
    EXPECT_EQ(0, io.open(""));
    player.play();
    EXPECT_EQ("r0", read_one());
}

TEST_F(PlaybackIo, OnlyAFramedModuleResetIsTakenAndItRewinds)
{
    struct Case {
        const char* bytes;
        int taken;
        const char* next;
    };
    const Case cases[] = {
        { "7d 22 00", 3, "r0" },
        { "7d 22 5d 7e", 4, "r0" },
        { "7d 22", 0, "r2" },
        { "7d 23 00", 0, "r2" },
        { "7e 22 00", 0, "r2" },
        { "", 0, "r2" },
    };
    player.set_playback_rate(-1.0f);
    for (const Case& c : cases) {
        player.stop();
        player.play();
        ASSERT_EQ("r0", read_one());
        ASSERT_EQ("r1", read_one());
        EXPECT_EQ(c.taken, write(hex(c.bytes))) << c.bytes;
        EXPECT_EQ(c.next, read_one()) << c.bytes;
    }
}

TEST_F(PlaybackIo, ARewindKeepsTheClockSoEarlierRecordsAreDueAtOnce)
{
    player.play();
    ASSERT_EQ(0, player.set_position(2500));
    EXPECT_EQ("-", read_one()); // r3 at 3000 ms is held back
    EXPECT_EQ(3, write(hex("7d 22 00")));
    EXPECT_EQ("r0", read_one());
    EXPECT_EQ("r1", read_one());
    EXPECT_EQ("r2", read_one());
    EXPECT_GE(player.get_position(), 2500);
}

TEST_F(PlaybackIo, AReadWithNothingDueWaitsButNeverPastItsTimeout)
{
    player.pause();
    Bytes buffer(6158);
    const auto timed = [&](unsigned timeout, int reads) {
        const auto begin = Clock::now();
        for (int i = 0; i < reads; ++i)
            EXPECT_EQ(0, io.read(buffer.data(), 6158, timeout));
        return Clock::now() - begin;
    };
    // Paused, nothing can become due: no spinning, but no half-second
    // waits either, which closing the connection would have to sit out.
    const auto waited = timed(500, 5);
    EXPECT_GE(waited, 5 * PlaybackModuleIo::longest_wait);
    EXPECT_LT(waited, std::chrono::seconds(2));
    EXPECT_LT(timed(0, 100), 5 * PlaybackModuleIo::longest_wait);
}

// Each packet is 4 bytes ("a0 10 r <n>"). A read of packets takes all that
// are due, in their order, as far as they fit; the first that does not fit
// behind others comes with the next read, and one that fits no read at all
// is refused as a read of one packet refuses it.
TEST_F(PlaybackIo, AReadOfPacketsTakesEveryDuePacketThatFits)
{
    struct Case {
        unsigned max_bytes;
        std::vector<std::string> reads;
        size_t refused;
    };
    const Case cases[] = {
        { 6158, { "r0 r1 r2 r3 r4", "-" }, 0 },
        { 8, { "r0 r1", "r2 r3", "r4", "-" }, 0 },
        { 11, { "r0 r1", "r2 r3", "r4", "-" }, 0 },
        { 4, { "r0", "r1", "r2", "r3", "r4", "-" }, 0 },
        { 3, { "-", "-", "-", "-", "-", "-" }, 5 },
    };
    EXPECT_TRUE(io.reads_whole_packets());
    const std::string refusal = "WARNING: buffer not large enough to fill packet of size: 4 (max size: 3)\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.max_bytes);
        player.stop();
        player.set_playback_rate(-1.0f);
        player.play();
        std::vector<std::string> reads;
        const std::string printed = testsupport::stdout_of([&] {
            for (size_t i = 0; i < c.reads.size(); ++i)
                reads.push_back(read_some(c.max_bytes));
        });
        EXPECT_EQ(c.reads, reads);
        std::string refusals;
        for (size_t i = 0; i < c.refused; ++i)
            refusals += refusal;
        EXPECT_EQ(refusals, printed);
    }
}

// At a finite rate a read of packets takes only those that are due; the
// next one is held back, not lost.
TEST_F(PlaybackIo, AReadOfPacketsTakesNothingThatIsNotDue)
{
    player.play();
    ASSERT_EQ(0, player.set_position(2500));
    EXPECT_EQ("-", read_some()); // r3 at 3000 ms is held back
    EXPECT_EQ(3, write(hex("7d 22 00")));
    EXPECT_EQ("r0 r1 r2", read_some());
    EXPECT_EQ("-", read_some());
    player.set_playback_rate(-1.0f);
    EXPECT_EQ("r3 r4", read_some());
    EXPECT_EQ(4000, player.get_position());
}

TEST_F(PlaybackIo, AReadOfPacketsGoesOnFromTheFirstRecordInLoopMode)
{
    player.set_loop_mode_enabled(true);
    player.set_playback_rate(-1.0f);
    player.play();
    EXPECT_EQ("r0 r1 r2 r3 r4 r0 r1 r2 r3 r4 r0 r1", read_some(48));
    player.set_loop_mode_enabled(false);
    EXPECT_EQ("r2 r3 r4", read_some());
    EXPECT_EQ("-", read_some());
}
