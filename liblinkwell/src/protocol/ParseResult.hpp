// What one Parser call yields: either an error with its code (the module's
// own code for an error packet, else the decoder's status), or a valid codec
// record whose arrays point into the packet that was decoded. A result made
// with its defaults is ready for a call.
#pragma once

#include <cstdint>

// The fields that every result has, whatever its record. The decoders' error
// slot writes through this part alone, so it never needs the record type.
struct ParseOutcome {
    bool error = false;
    uint32_t error_code = 0xDEADBEEF;
    bool valid = false;
};

template <typename T> struct ParseResult : ParseOutcome {
    T record {};
};
