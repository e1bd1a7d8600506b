#include "recording/PlaybackModuleIo.hpp"

#include <linkwell/DataPlayer.hpp>

#include "support/PlaybackSession.hpp"
#include "support/RecordingLogger.hpp"
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
