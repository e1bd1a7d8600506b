// The local-time arithmetic behind the recording clock functions, for a
// given moment instead of now.
#pragma once

#include <chrono>
#include <ctime>
#include <string>

namespace Sarvik {

// The local broken-down time of a moment (thread-safe).
std::tm local_time(std::chrono::system_clock::time_point moment);

// The first moment after `now` at which the local clock shows `hour`:00:00,
// carrying the fraction of a second of now. Computed from the local calendar
// so that a day of 23 or 25 hours moves the result with the wall clock.
std::chrono::system_clock::time_point next_split_time_after(
    int hour, std::chrono::system_clock::time_point now);

// "%Y%m%d_%H%M%S" of the moment in local time.
std::string date_time_to_string(std::chrono::system_clock::time_point moment);

} // namespace Sarvik
