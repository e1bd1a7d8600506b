// One stored record of a recording as the reader returns it, with its
// conversions back into the module message and into decoded records.
#pragma once

#include <cstdint>

#include "Bytes.hpp"
#include "SarvikData.hpp"
#include "linkwell_export.h"

namespace Sarvik {

struct LINKWELL_API DataRecord {
    Bytes data; // as stored in the data file
    uint32_t data_type = 0; // the type bit, also for a user header
    long long epoch = 0; // ms since 1970-01-01 UTC
    bool is_valid = false; // the read succeeded
    bool is_user_header = false;
    uint32_t meta_version = 0; // index file format version of the recording

    // A CSV header line ("timestamp;" in any case) of a type stored as CSV.
    bool is_csv_header() const;

    // The conversions set *ok (when given) to false first and to true only
    // on success; a refused record prints "ERROR: " and the reason on
    // standard output. Nothing is thrown.
    Bytes to_binary_packet(bool* ok = nullptr) const;
    SleepData to_sleep_data(bool* ok = nullptr) const;
    VitalSignsData to_vitalsigns_data(bool* ok = nullptr) const;

private:
    bool can_convert(uint32_t wanted_type) const;
    // The packet when the record converts as the wanted type.
    Bytes packet_of(uint32_t wanted_type, bool* ok) const;
};

} // namespace Sarvik
