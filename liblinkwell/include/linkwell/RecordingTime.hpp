// Local wall-clock times that recordings use: the moment of a daily split and
// the date-time text in session directory and file names.
#pragma once

#include <chrono>
#include <string>

#include "linkwell_export.h"

namespace Sarvik {

// The next moment, strictly after now, at which the local wall clock shows
// the given full hour (0 to 23), on days with a daylight-saving change too.
LINKWELL_API std::chrono::system_clock::time_point next_split_time(int hour);

// The local date and time of now as "%Y%m%d_%H%M%S", e.g. "20170131_142501".
LINKWELL_API std::string current_date_time_to_string();

} // namespace Sarvik
