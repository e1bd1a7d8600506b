#include <linkwell/RecordingTime.hpp>

#include "recording/LocalTime.hpp"

namespace Sarvik {

using std::chrono::system_clock;

system_clock::time_point next_split_time(int hour)
{
    return next_split_time_after(hour, system_clock::now());
}

std::string current_date_time_to_string()
{
    return date_time_to_string(system_clock::now());
}

} // namespace Sarvik
