#include "recording/ElapsedTimer.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace std::chrono_literals;

namespace {

// A clock on a hand-driven time.
class Timer : public testing::Test {
protected:
    void advance(std::chrono::nanoseconds by) { now += by; }

    ElapsedTimer::Clock::time_point now = ElapsedTimer::Clock::time_point(1h);
    ElapsedTimer timer { [this] { return now; } };
};

} // namespace

TEST_F(Timer, PauseHoldsResumeContinuesStopReturnsToZero)
{
    EXPECT_EQ(ElapsedTimer::Stopped, timer.state());
    advance(50ms);
    EXPECT_EQ(0, timer.elapsed());

    timer.start(false);
    advance(120ms);
    EXPECT_EQ(120, timer.elapsed());
    timer.start(true); // running: nothing
    EXPECT_EQ(120, timer.elapsed());

    timer.pause();
    advance(1s);
    EXPECT_EQ(ElapsedTimer::Paused, timer.state());
    EXPECT_EQ(120, timer.elapsed());

    timer.start(true);
    advance(30ms);
    EXPECT_EQ(150, timer.elapsed());

    timer.pause();
    timer.start(false); // from the pause without resume: from 0
    advance(10ms);
    EXPECT_EQ(10, timer.elapsed());

    timer.stop();
    EXPECT_EQ(0, timer.elapsed());
    timer.start(true); // nothing to resume after a stop
    advance(5ms);
    EXPECT_EQ(5, timer.elapsed());
}

TEST_F(Timer, CountsWholeMillisecondsTimesTheRate)
{
    timer.set_tick_rate(2.5f);
    timer.start(false);
    advance(999us);
    EXPECT_EQ(0, timer.elapsed());
    advance(1us);
    EXPECT_EQ(3, timer.elapsed()); // 1 ms * 2.5, rounded
    advance(3ms);
    EXPECT_EQ(10, timer.elapsed());
}

TEST_F(Timer, RateChangesContinueWithoutAJump)
{
    timer.start(false);
    advance(100ms);
    timer.set_tick_rate(2.0f);
    EXPECT_EQ(100, timer.elapsed());
    advance(50ms);
    EXPECT_EQ(200, timer.elapsed());

    timer.set_tick_rate(0.0f); // frozen
    advance(1s);
    EXPECT_EQ(200, timer.elapsed());
    timer.pause();
    timer.start(true);
    EXPECT_EQ(ElapsedTimer::Running, timer.state());
    EXPECT_EQ(200, timer.elapsed());

    timer.set_tick_rate(0.5f);
    EXPECT_EQ(200, timer.elapsed());
    advance(100ms);
    EXPECT_EQ(250, timer.elapsed());

    timer.set_tick_rate(-3.0f); // counts as real time
    advance(100ms);
    EXPECT_EQ(350, timer.elapsed());
}

TEST_F(Timer, RefusesRatesItCannotCountAt)
{
    timer.set_tick_rate(2.0f);
    timer.start(false);
    for (float rate : { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
             std::numeric_limits<float>::denorm_min(), 1e-30f, 1e-13f }) {
        EXPECT_FALSE(timer.set_tick_rate(rate)) << rate;
        advance(10ms);
    }
    EXPECT_EQ(100, timer.elapsed());
    // The smallest rates that still count keep the reading.
    EXPECT_TRUE(timer.set_tick_rate(1e-9f));
    EXPECT_EQ(100, timer.elapsed());
}

TEST_F(Timer, SetElapsedMovesARunningOrPausedClockOnly)
{
    timer.set_elapsed(500); // stopped: nothing
    timer.start(false);
    EXPECT_EQ(0, timer.elapsed());

    timer.set_tick_rate(2.0f);
    timer.set_elapsed(1000);
    EXPECT_EQ(1000, timer.elapsed());
    advance(10ms);
    EXPECT_EQ(1020, timer.elapsed());

    timer.pause();
    timer.set_elapsed(300);
    EXPECT_EQ(300, timer.elapsed());
    timer.start(true);
    advance(10ms);
    EXPECT_EQ(320, timer.elapsed());

    timer.set_tick_rate(0.0f);
    timer.set_elapsed(42); // frozen: held
    advance(10ms);
    EXPECT_EQ(42, timer.elapsed());
}

TEST_F(Timer, ExtremeRatesStayWithinRange)
{
    timer.start(false);
    // Too slow to count at all: refused (RefusesRatesItCannotCountAt).
    EXPECT_FALSE(timer.set_tick_rate(1e-30f));
    EXPECT_TRUE(timer.set_tick_rate(1e-9f));
    timer.set_elapsed(1000);
    advance(24h);
    const int64_t slow = timer.elapsed();
    EXPECT_GE(slow, 1000);

    timer.set_tick_rate(1e30f);
    advance(24h);
    EXPECT_GT(timer.elapsed(), slow);
    EXPECT_GT(timer.elapsed(), 0);

    // A reading far out is held within range too.
    timer.set_elapsed(std::numeric_limits<int64_t>::max() / 2);
    advance(24h);
    EXPECT_GT(timer.elapsed(), 0);
}
