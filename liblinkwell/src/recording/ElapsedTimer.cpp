#include "recording/ElapsedTimer.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace {

// A value a host can ask for (a tiny or huge rate, a far position) must
// never overflow the time arithmetic: counts stay within a century.
constexpr double max_ms = 100.0 * 365.25 * 24 * 3600 * 1000;

double bounded(double ms)
{
    return std::clamp(ms, -max_ms, max_ms);
}

} // namespace

ElapsedTimer::ElapsedTimer(Now now)
    : now_(std::move(now))
    , start_(now_())
{ }

void ElapsedTimer::start(bool resume)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_ == Running)
        return;
    if (frozen_) {
        state_ = Running;
        return;
    }
    const bool was_paused = state_ == Paused;
    start_ = now_();
    if (resume && was_paused)
        set_adjusted_elapsed(start_, held_);
    held_ = 0;
    state_ = Running;
}

void ElapsedTimer::pause()
{
    std::lock_guard<std::mutex> lock(mutex_);
    const int64_t e = elapsed_at(now_());
    if (state_ == Paused)
        return;
    if (!frozen_)
        held_ = e;
    state_ = Paused;
}

void ElapsedTimer::stop()
{
    std::lock_guard<std::mutex> lock(mutex_);
    state_ = Stopped;
    held_ = 0;
}

ElapsedTimer::State ElapsedTimer::state() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return state_;
}

int64_t ElapsedTimer::elapsed() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return elapsed_at(now_());
}

void ElapsedTimer::set_elapsed(int64_t ms)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_ == Paused || frozen_)
        held_ = ms;
    else if (state_ == Running)
        set_adjusted_elapsed(now_(), ms);
}

bool ElapsedTimer::set_tick_rate(float rate)
{
    if (std::isnan(rate) || rate == INFINITY)
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    const Clock::time_point now = now_();
    const int64_t e = elapsed_at(now);
    // A rate so small that the clock would not count its next millisecond,
    // or not keep its reading, within the bounds of its arithmetic.
    if (rate > 0 && static_cast<double>(std::max<int64_t>(e, 1)) / rate > max_ms)
        return false;
    if (rate < 0)
        rate = 1.0f;
    if (rate > 0) {
        tick_rate_ = rate;
        if (frozen_) {
            frozen_ = false;
            if (state_ == Running) {
                start_ = now;
                held_ = 0;
                set_adjusted_elapsed(now, e);
            }
        } else if (state_ == Running) {
            set_adjusted_elapsed(now, e);
        }
        return true;
    }
    tick_rate_ = 0.0f;
    if (!frozen_) {
        frozen_ = true;
        if (state_ == Running)
            held_ = e;
    }
    return true;
}

int64_t ElapsedTimer::elapsed_at(Clock::time_point t) const
{
    if (state_ == Stopped)
        return 0;
    if (state_ == Paused || frozen_)
        return held_;
    return calc_elapsed(t);
}

int64_t ElapsedTimer::calc_elapsed(Clock::time_point t) const
{
    return static_cast<int64_t>(
        bounded(std::round(static_cast<double>(whole_ms_since_start(t)) * tick_rate_)));
}

void ElapsedTimer::set_adjusted_elapsed(Clock::time_point t, int64_t ms)
{
    assert(tick_rate_ != 0.0f && "m_tick_rate != 0.0f");
    // ceil(ms / rate - whole) taken as ceil(ms / rate) - whole, which is the
    // same for a whole number and keeps both terms bounded.
    const auto target = static_cast<int64_t>(std::ceil(bounded(static_cast<double>(ms) / tick_rate_)));
    start_ -= std::chrono::milliseconds(target - whole_ms_since_start(t));
}

int64_t ElapsedTimer::whole_ms_since_start(Clock::time_point t) const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(t - start_).count();
}
