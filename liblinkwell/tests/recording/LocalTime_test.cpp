#include "recording/LocalTime.hpp"
#include "support/TimeZone.hpp"

#include <linkwell/RecordingTime.hpp>

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>

using namespace std::chrono_literals;
using Sarvik::next_split_time_after;
using std::chrono::duration_cast;
using std::chrono::milliseconds;
using std::chrono::minutes;
using std::chrono::seconds;
using std::chrono::system_clock;
using std::chrono::time_point_cast;
using testsupport::TimeZone;

namespace {

// A moment given as local wall-clock time; the zone decides whether daylight
// saving applies.
system_clock::time_point local(int year, int month, int day, int hour, int minute, int second = 0)
{
    std::tm t {};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return system_clock::from_time_t(std::mktime(&t));
}

// POSIX rule strings, so the tests need no time-zone database.
constexpr const char* utc = "UTC0";
constexpr const char* central_europe = "CET-1CEST,M3.5.0,M10.5.0/3";

struct SplitTimeCase {
    const char* name;
    const char* zone;
    int year, month, day, hour, minute, second;
    milliseconds fraction;
    int split_hour;
    minutes expected_wait;
};

void PrintTo(const SplitTimeCase& c, std::ostream* os)
{
    *os << c.name;
}

class NextSplitTime : public testing::TestWithParam<SplitTimeCase> { };

TEST_P(NextSplitTime, IsTheNextMomentTheLocalClockShowsTheHour)
{
    const SplitTimeCase& c = GetParam();
    const TimeZone zone(c.zone);
    const auto now = local(c.year, c.month, c.day, c.hour, c.minute, c.second) + c.fraction;
    const auto split = next_split_time_after(c.split_hour, now);
    EXPECT_EQ(c.expected_wait, duration_cast<minutes>(split - now));
    EXPECT_EQ(c.fraction, duration_cast<milliseconds>(split - time_point_cast<seconds>(split)));
    const std::tm shown = Sarvik::local_time(split);
    EXPECT_EQ(c.split_hour, shown.tm_hour);
    EXPECT_EQ(0, shown.tm_min);
    EXPECT_EQ(0, shown.tm_sec);
}

INSTANTIATE_TEST_SUITE_P(Zones, NextSplitTime,
    testing::Values(SplitTimeCase { "LaterToday", utc, 2021, 6, 1, 14, 30, 0, 0ms, 15, 30min },
        SplitTimeCase { "PassedToday", utc, 2021, 6, 1, 14, 30, 0, 0ms, 14, 23h + 30min },
        SplitTimeCase { "ExactlyNowIsTomorrow", utc, 2021, 6, 1, 14, 0, 0, 0ms, 14, 24h },
        SplitTimeCase { "FractionIsCarried", utc, 2021, 6, 1, 14, 0, 0, 250ms, 14, 24h },
        SplitTimeCase { "Midnight", utc, 2021, 12, 31, 23, 59, 0, 0ms, 0, 1min },
        SplitTimeCase { "SummerDay", central_europe, 2021, 6, 1, 14, 30, 0, 0ms, 14, 23h + 30min },
        // Spring forward on 28 March 2021: that day has 23 hours.
        SplitTimeCase {
            "DayBeforeSpringForward", central_europe, 2021, 3, 27, 14, 30, 0, 0ms, 14, 22h + 30min },
        SplitTimeCase { "AcrossTheSkippedHour", central_europe, 2021, 3, 28, 1, 30, 0, 0ms, 4, 1h + 30min },
        // Fall back on 31 October 2021: that day has 25 hours.
        SplitTimeCase { "DayBeforeFallBack", central_europe, 2021, 10, 30, 14, 30, 0, 0ms, 14, 24h + 30min },
        SplitTimeCase {
            "AcrossTheRepeatedHour", central_europe, 2021, 10, 31, 1, 30, 0, 0ms, 4, 3h + 30min }),
    [](const testing::TestParamInfo<SplitTimeCase>& param_info) {
        return std::string(param_info.param.name);
    });

TEST(DateTimeText, FifteenCharactersOfLocalDateAndTime)
{
    {
        const TimeZone zone(utc);
        EXPECT_EQ("20170131_142501", Sarvik::date_time_to_string(local(2017, 1, 31, 14, 25, 1) + 999ms));
    }
    {
        const TimeZone zone(central_europe);
        const auto moment = system_clock::from_time_t(1485872701); // 2017-01-31 14:25:01 UTC
        EXPECT_EQ("20170131_152501", Sarvik::date_time_to_string(moment));
    }
    EXPECT_TRUE(std::regex_match(Sarvik::current_date_time_to_string(), std::regex("[0-9]{8}_[0-9]{6}")));
}

TEST(DateTimeText, PublicSplitTimeIsAheadOfNowWithinADay)
{
    for (int hour : { 0, 12, 23 }) {
        const auto before = system_clock::now();
        const auto split = Sarvik::next_split_time(hour);
        EXPECT_GT(split, before);
        EXPECT_LE(split - before, 25h);
    }
}

} // namespace
