// Fuzzes the message decoders with arbitrary packets: parse and parse_appdata,
// and every decoder directly. The slots read every array element that a
// record declares and copy the record as the library's readers do, so a
// count that the packet does not back is a read past the input, which the
// address sanitizer reports. A decoder that calls more than one slot, or a
// data slot without returning 0, stops the run.
#include "protocol/protocol_records.hpp"
#include <linkwell/protocol_parser.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Calls {
    int slots = 0;
    int data_slots = 0;
    double sink = 0; // keeps the reads from being optimised away
};

void read_all(Calls* calls, const packed_float* items, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        calls->sink += packed_float_value(items[i]);
}

void read_all(Calls* calls, const packed_int16* items, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        calls->sink += packed_int16_value(items[i]);
}

void read_all(Calls* calls, const uint8_t* items, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        calls->sink += items[i];
}

Calls* seen(void* user, bool data)
{
    auto* calls = static_cast<Calls*>(user);
    ++calls->slots;
    calls->data_slots += data;
    return calls;
}

template <typename Record> void copy_out(Calls* calls, const Record& record)
{
    const auto copy = to_public(record);
    calls->sink += static_cast<double>(sizeof copy);
}

HostParser make_table()
{
    HostParser t;
    init_host_parser(&t);
    t.on_pong = [](uint32_t, void* u) { seen(u, true); };
    t.on_error = [](uint32_t, void* u) { seen(u, false); };
    t.on_ack = [](Ack, void* u) { seen(u, true); };
    t.on_system_status = [](SystemStatus, void* u) { seen(u, true); };
    t.on_reply = [](Reply r, void* u) { read_all(seen(u, true), r.data, r.length); };
    t.on_data_float = [](FloatData_ r, void* u) {
        Calls* c = seen(u, true);
        read_all(c, r.data, r.length);
        copy_out(c, r);
    };
    t.on_respiration = [](RespirationData r, void* u) { copy_out(seen(u, true), r); };
    t.on_sleep = [](SleepData r, void* u) { copy_out(seen(u, true), r); };
    t.on_vitalsigns = [](VitalSignsData r, void* u) { copy_out(seen(u, true), r); };
    t.on_sleepstage = [](SleepStageData r, void* u) { copy_out(seen(u, true), r); };
    t.on_presence_single = [](PresenceSingleData r, void* u) { copy_out(seen(u, true), r); };
    t.on_presence_movinglist = [](PresenceMovingListData r, void* u) {
        Calls* c = seen(u, true);
        read_all(c, r.movement_slow_items, r.movement_interval_count);
        read_all(c, r.movement_fast_items, r.movement_interval_count);
        read_all(c, r.detection_distance_items, r.detection_count);
        read_all(c, r.detection_radar_cross_section_items, r.detection_count);
        read_all(c, r.detection_velocity_items, r.detection_count);
        copy_out(c, r);
    };
    t.on_respiration_movinglist = [](RespirationMovingListData r, void* u) {
        Calls* c = seen(u, true);
        read_all(c, r.movement_slow_items, r.movement_interval_count);
        read_all(c, r.movement_fast_items, r.movement_interval_count);
        copy_out(c, r);
    };
    t.on_respiration_detectionlist = [](RespirationDetectionListData r, void* u) {
        Calls* c = seen(u, true);
        read_all(c, r.detection_distance_items, r.detection_count);
        read_all(c, r.detection_radar_cross_section_items, r.detection_count);
        read_all(c, r.detection_velocity_items, r.detection_count);
        copy_out(c, r);
    };
    t.on_respiration_normalizedmovementlist = [](RespirationNormalizedMovementListData r, void* u) {
        Calls* c = seen(u, true);
        read_all(c, r.normalized_movement_slow_items, r.count);
        read_all(c, r.normalized_movement_fast_items, r.count);
        copy_out(c, r);
    };
    t.on_baseband_iq = [](BasebandIqData r, void* u) {
        Calls* c = seen(u, true);
        read_all(c, r.i_data, r.num_bins);
        read_all(c, r.q_data, r.num_bins);
        copy_out(c, r);
    };
    t.on_baseband_ap = [](BasebandApData r, void* u) {
        Calls* c = seen(u, true);
        read_all(c, r.amplitude, r.num_bins);
        read_all(c, r.phase, r.num_bins);
        copy_out(c, r);
    };
    t.on_radar_rf = [](RadarRfData r, void* u) {
        Calls* c = seen(u, true);
        read_all(c, r.data, r.num_bins);
        copy_out(c, r);
    };
    t.on_radar_rf_normalized = [](RadarRfNormalizedData r, void* u) {
        Calls* c = seen(u, true);
        read_all(c, r.data, r.num_bins);
        copy_out(c, r);
    };
    t.on_radar_baseband_float = [](RadarBasebandFloatData r, void* u) {
        Calls* c = seen(u, true);
        read_all(c, r.i_data, r.num_bins);
        read_all(c, r.q_data, r.num_bins);
        copy_out(c, r);
    };
    t.on_radar_baseband_q15 = [](RadarBasebandQ15Data r, void* u) {
        Calls* c = seen(u, true);
        read_all(c, r.i_data, r.num_bins);
        read_all(c, r.q_data, r.num_bins);
        copy_out(c, r);
    };
    t.on_pulsedoppler_float = [](PulseDopplerFloatData r, void* u) {
        Calls* c = seen(u, true);
        read_all(c, r.data, r.count);
        copy_out(c, r);
    };
    t.on_pulsedoppler_byte = [](PulseDopplerByteData r, void* u) {
        Calls* c = seen(u, true);
        read_all(c, r.data, r.count);
        copy_out(c, r);
    };
    return t;
}

using Decoder = int (*)(const HostParser*, const uint8_t*, uint32_t, void*);

const Decoder decoders[] = {
    parse,
    parse_appdata,
    parse_pong,
    parse_ack,
    parse_error,
    parse_reply,
    parse_system_status,
    parse_data,
    parse_data_float,
    parse_respiration_status,
    parse_sleep_status,
    parse_vitalsigns_status,
    parse_sleepstage_status,
    parse_presence_single,
    parse_presence_movinglist,
    parse_respiration_movinglist,
    parse_respiration_detectionlist,
    parse_respiration_normalizedmovementlist,
    parse_baseband_iq,
    parse_baseband_ap,
    parse_radar_rf,
    parse_radar_rf_normalized,
    parse_radar_baseband_float,
    parse_radar_baseband_q15,
    parse_pulsedoppler_float,
    parse_pulsedoppler_byte,
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const HostParser table = make_table();
    // An exact-size copy, so that one byte past the packet is outside the
    // allocation whatever the caller's buffer is.
    const std::vector<uint8_t> packet(data, data + size);
    const uint32_t length = static_cast<uint32_t>(packet.size());
    for (Decoder decode : decoders) {
        Calls calls;
        const int status = decode(&table, packet.empty() ? nullptr : packet.data(), length, &calls);
        if (calls.slots > 1 || (calls.data_slots == 1 && status != 0))
            std::abort();
    }
    return 0;
}
