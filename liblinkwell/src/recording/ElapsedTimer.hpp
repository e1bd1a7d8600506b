// The playback clock: counts milliseconds on the monotonic clock at a tick
// rate, and can be paused, resumed, stopped, set to a value and frozen (tick
// rate 0, the value held). Changing the rate while it runs continues from
// the current value without a jump. Every operation takes its mutex, so the
// application's thread and the connection's reader thread may share it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>

class ElapsedTimer {
public:
    enum State { Stopped = 0, Running = 1, Paused = 2 };

    using Clock = std::chrono::steady_clock;
    // Where the clock reads the time; tests give a hand-driven one.
    using Now = std::function<Clock::time_point()>;

    explicit ElapsedTimer(Now now = Clock::now);

    // Nothing while running. From pause with resume, counting continues from
    // the held value; otherwise from 0. A frozen clock only becomes running.
    void start(bool resume);
    // Holds the current value.
    void pause();
    // Back to 0.
    void stop();
    State state() const;
    // Milliseconds: 0 when stopped, the held value when paused or frozen.
    int64_t elapsed() const;
    // Makes the value ms; nothing when stopped.
    void set_elapsed(int64_t ms);
    // Above 0 the speed factor; 0 freezes; below 0 counts as 1.0. Not a
    // number, positive infinity and a positive rate too small to advance
    // the clock (or to keep its reading), which no clock can count at, are
    // refused: false, and the rate stays as it was.
    bool set_tick_rate(float rate);

private:
    int64_t elapsed_at(Clock::time_point t) const;
    int64_t calc_elapsed(Clock::time_point t) const;
    // Moves the start point so that the value at t is ms.
    void set_adjusted_elapsed(Clock::time_point t, int64_t ms);
    int64_t whole_ms_since_start(Clock::time_point t) const;

    Now now_;
    mutable std::mutex mutex_;
    State state_ = Stopped;
    int64_t held_ = 0;
    float tick_rate_ = 1.0f;
    bool frozen_ = false;
    Clock::time_point start_;
};
