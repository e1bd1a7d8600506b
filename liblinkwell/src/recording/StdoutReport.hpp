// The reading and playback side of recording reports refused conversions and
// bad stored data as single lines on standard output, each flushed at once,
// and the system's reason for a failed file operation on standard error.
#pragma once

#include <string>

// Writes the text and a newline to standard output and flushes.
void report_line(const std::string& text);

// Writes "  |- FILE error: " and the reason to standard error.
void report_file_error(const std::string& reason);

// An index-file format version as the reports show it: the version divided
// by ten, at most six significant digits, no trailing zeros (11 is "1.1",
// 10 is "1"), whatever the locale of the process.
std::string meta_version_text(unsigned version);
