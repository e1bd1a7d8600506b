// Turns a stored record of a recording back into the module message it was
// recorded from: binary records get their message head back, CSV lines are
// parsed field by field into the message's binary payload.
#pragma once

#include "Bytes.hpp"
#include "linkwell_export.h"

namespace Sarvik {

class LINKWELL_API DataPacketFormater {
public:
    // meta_version: the format version of the session index file that the
    // records come from; versions below 12 are not converted.
    explicit DataPacketFormater(unsigned meta_version);

    // Every data type but performance status (0x7FFFEF).
    static unsigned supported_data_types();

    // The message of one record of a single data type, or an empty value
    // when the record yields none (a CSV header line, a refused version or
    // type, a malformed array), with a warning line on standard output for
    // everything but a matching header line. A number field that holds no
    // number throws std::invalid_argument, one out of range
    // std::out_of_range. Numbers are read the same under every locale.
    Bytes from_disk(unsigned data_type, const Bytes& record) const;

private:
    Bytes baseband_ap_from_disk(const Bytes& record) const;
    Bytes baseband_iq_from_disk(const Bytes& record) const;
    Bytes pulsedoppler_float_from_disk(const Bytes& record) const;
    Bytes pulsedoppler_byte_from_disk(const Bytes& record) const;
    Bytes noisemap_float_from_disk(const Bytes& record) const;
    Bytes noisemap_byte_from_disk(const Bytes& record) const;
    Bytes float_from_disk(const Bytes& record) const;
    Bytes byte_from_disk(const Bytes& record) const;
    Bytes radar_rf_from_disk(const Bytes& record) const;
    Bytes radar_rf_normalized_from_disk(const Bytes& record) const;
    Bytes radar_baseband_float_from_disk(const Bytes& record) const;
    Bytes radar_baseband_q15_from_disk(const Bytes& record) const;
    Bytes sleep_from_disk(const Bytes& record) const;
    Bytes respiration_from_disk(const Bytes& record) const;
    Bytes stringdata_from_disk(const Bytes& record) const;
    Bytes presence_single_from_disk(const Bytes& record) const;
    Bytes presence_movinglist_from_disk(const Bytes& record) const;
    Bytes respiration_detectionlist_from_disk(const Bytes& record) const;
    Bytes respiration_movinglist_from_disk(const Bytes& record) const;
    Bytes vitalsigns_from_disk(const Bytes& record) const;
    Bytes sleepstage_from_disk(const Bytes& record) const;
    Bytes respiration_normalizedmovementlist_from_disk(const Bytes& record) const;

    unsigned meta_version_;
};

} // namespace Sarvik
