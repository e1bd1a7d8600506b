#include "recording/LocalTime.hpp"

namespace Sarvik {

using std::chrono::system_clock;

std::tm local_time(system_clock::time_point moment)
{
    const std::time_t seconds = system_clock::to_time_t(moment);
    std::tm local {};
    localtime_r(&seconds, &local);
    return local;
}

namespace {

// The moment at which the local clock shows hour:00:00 on the day of
// `day` plus `days_later` days; mktime works out the daylight-saving state
// of that moment itself (tm_isdst -1), so a change between the two days
// is taken into account.
system_clock::time_point local_hour_on(std::tm day, int days_later, int hour)
{
    day.tm_mday += days_later;
    day.tm_hour = hour;
    day.tm_min = 0;
    day.tm_sec = 0;
    day.tm_isdst = -1;
    return system_clock::from_time_t(std::mktime(&day));
}

} // namespace

system_clock::time_point next_split_time_after(int hour, system_clock::time_point now)
{
    const system_clock::time_point whole_second = system_clock::from_time_t(system_clock::to_time_t(now));
    // to_time_t truncates toward zero; before 1970 the fraction would be
    // negative, which no recording clock meets.
    const system_clock::duration fraction = now - whole_second;
    const std::tm today = local_time(now);
    const system_clock::time_point candidate = local_hour_on(today, 0, hour) + fraction;
    if (candidate > now)
        return candidate;
    return local_hour_on(today, 1, hour) + fraction;
}

std::string date_time_to_string(system_clock::time_point moment)
{
    const std::tm local = local_time(moment);
    char text[32];
    const size_t length = std::strftime(text, sizeof text, "%Y%m%d_%H%M%S", &local);
    return std::string(text, length);
}

} // namespace Sarvik
