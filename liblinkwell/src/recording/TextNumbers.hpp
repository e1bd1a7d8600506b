// Numbers of stored CSV fields, read the way the standard string conversions
// read them (leading white space skipped, an optional sign, characters after
// the number ignored) but never through the process's locale, so a host that
// switched to a comma-decimal locale reads the same values.
#pragma once

#include <cstdint>
#include <string_view>

// Like std::stof: a field that holds no number throws std::invalid_argument,
// one outside the range of a float std::out_of_range, both with the text
// "stof".
float text_to_float(std::string_view text);

// An unsigned 32-bit field: read exactly, whatever its size (a float would
// round values above 2^24); a fraction is cut off and a negative value wraps
// (-1 is 0xFFFFFFFF). Throws as text_to_float does; a value beyond the range
// of a 64-bit integer is out of range.
uint32_t text_to_u32(std::string_view text);

// Like std::stoi in base 10, throwing with the text "stoi".
int text_to_int(std::string_view text);
