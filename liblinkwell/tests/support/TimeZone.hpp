// Tests of local time set the process's time zone (TZ) for as long as the
// object lives and put the old setting back, so they need no time-zone
// database and leave nothing behind for the next case.
#pragma once

#include <stdlib.h>

#include <ctime>
#include <string>

namespace testsupport {

class TimeZone {
public:
    // tz: a POSIX rule string such as "UTC0" or "CET-1CEST,M3.5.0,M10.5.0/3".
    explicit TimeZone(const char* tz)
    {
        const char* old = getenv("TZ");
        had_ = old != nullptr;
        if (had_)
            old_ = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~TimeZone()
    {
        if (had_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    TimeZone(const TimeZone&) = delete;
    TimeZone& operator=(const TimeZone&) = delete;

private:
    bool had_;
    std::string old_;
};

} // namespace testsupport
