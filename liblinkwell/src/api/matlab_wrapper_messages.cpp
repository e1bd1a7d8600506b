// The flat C interface: subscriptions, message reads, raw packets, frames
// and the module file system. Each kind of message is a kind of the message
// catalogue; only the layout of its outputs is written out here.
#include <linkwell/matlab_wrapper.h>

#include "api/FlatCall.hpp"
#include "protocol/MessageCatalogue.hpp"

using namespace messages;
using flat::given;
using flat::put;

namespace {

// A queue of the caller's name for one kind of the catalogue.
template <typename Kind> int subscribe_named(Z3_Type* z3, const char* name)
{
    return flat::with_connection(z3, [&](FlatConnection& connection) {
        const std::string queue = flat::name(name);
        return connection.locked(
            [&](RadarInterface& radar) { return radar.subscribe_to(Kind::kind, queue); });
    });
}

template <typename Kind> int peek(Z3_Type* z3) noexcept
{
    // A count: a box without a connection has nothing waiting.
    const auto connection = flat::live(z3);
    if (!connection)
        return 0;
    return flat::guarded(
        [&] { return connection->locked([](RadarInterface& radar) { return radar.peek(Kind::kind); }); });
}

// ---- Output layouts shared by the standard and the named queues ------------

int respiration(Z3_Type* z3, flat::Queue queue, int* frame_counter, int* state, int* rpm,
    float* object_distance, float* object_movement, int* signal_quality)
{
    const bool outputs = given(frame_counter, state, rpm, object_distance, object_movement, signal_quality);
    return flat::read<RespirationLegacy>(z3, queue, outputs, [&](const Sarvik::RespirationData& r) {
        *frame_counter = static_cast<int>(r.frame_counter);
        *state = static_cast<int>(r.sensor_state);
        *rpm = static_cast<int>(r.respiration_rate);
        *object_distance = r.distance;
        *object_movement = r.movement;
        *signal_quality = static_cast<int>(r.signal_quality);
        return 0;
    });
}

int sleep(Z3_Type* z3, flat::Queue queue, int* frame_counter, int* state, float* rpm, float* object_distance,
    int* signal_quality, float* movement_slow, float* movement_fast)
{
    const bool outputs
        = given(frame_counter, state, rpm, object_distance, signal_quality, movement_slow, movement_fast);
    return flat::read<RespirationSleep>(z3, queue, outputs, [&](const Sarvik::SleepData& r) {
        *frame_counter = static_cast<int>(r.frame_counter);
        *state = static_cast<int>(r.sensor_state);
        *rpm = r.respiration_rate;
        *object_distance = r.distance;
        *signal_quality = static_cast<int>(r.signal_quality);
        *movement_slow = r.movement_slow;
        *movement_fast = r.movement_fast;
        return 0;
    });
}

// Baseband frames of either form: the scalars, then the two sample lists.
template <typename Kind, typename Record>
int baseband(Z3_Type* z3, flat::Queue queue, int* frame_counter, int* bin_count, float* parameter_1,
    float* parameter_2, float* parameter_3, float* parameter_4, float* first, float* second, unsigned cap,
    const std::vector<float> Record::*first_list, const std::vector<float> Record::*second_list)
{
    const bool outputs = given(frame_counter, bin_count, parameter_1, parameter_2, parameter_3, parameter_4)
        && flat::room(cap, first, second);
    return flat::read<Kind>(z3, queue, outputs, [&](const Record& r) {
        if (!flat::fit(cap, r.*first_list, r.*second_list))
            return 1;
        *frame_counter = static_cast<int>(r.frame_counter);
        *bin_count = static_cast<int>(r.num_bins);
        *parameter_1 = r.parameter_1;
        *parameter_2 = r.parameter_2;
        *parameter_3 = r.parameter_3;
        *parameter_4 = r.parameter_4;
        put(first, r.*first_list);
        put(second, r.*second_list);
        return 0;
    });
}

int baseband_ap(Z3_Type* z3, flat::Queue queue, int* frame_counter, int* bin_count, float* parameter_1,
    float* parameter_2, float* parameter_3, float* parameter_4, float* amplitude, float* phase, unsigned cap)
{
    return baseband<BasebandAp>(z3, queue, frame_counter, bin_count, parameter_1, parameter_2, parameter_3,
        parameter_4, amplitude, phase, cap, &Sarvik::BasebandApData::amplitude,
        &Sarvik::BasebandApData::phase);
}

int baseband_iq(Z3_Type* z3, flat::Queue queue, int* frame_counter, int* bin_count, float* parameter_1,
    float* parameter_2, float* parameter_3, float* parameter_4, float* i_samples, float* q_samples,
    unsigned cap)
{
    return baseband<BasebandIq>(z3, queue, frame_counter, bin_count, parameter_1, parameter_2, parameter_3,
        parameter_4, i_samples, q_samples, cap, &Sarvik::BasebandIqData::i_data,
        &Sarvik::BasebandIqData::q_data);
}

void put_floats(const Sarvik::PulseDopplerFloatData& r, float* parameter_6, float* parameter_7,
    float* parameter_8, float* parameter_9, float* parameter_10)
{
    *parameter_6 = r.parameter_6;
    *parameter_7 = r.parameter_7;
    *parameter_8 = r.parameter_8;
    *parameter_9 = r.parameter_9;
    *parameter_10 = r.parameter_10;
}

void put_floats(const Sarvik::PulseDopplerByteData& r, float* parameter_6, float* parameter_7,
    float* parameter_8, float* parameter_9, float* parameter_10, float* parameter_11, float* parameter_12)
{
    *parameter_6 = r.parameter_6;
    *parameter_7 = r.parameter_7;
    *parameter_8 = r.parameter_8;
    *parameter_9 = r.parameter_9;
    *parameter_10 = r.parameter_10;
    *parameter_11 = r.parameter_11;
    *parameter_12 = r.parameter_12;
}

// Pulse-Doppler and noise-map frames: the integers and the floats of the
// record, then its values.
template <typename Kind, typename Record, typename Value, typename... Floats>
int doppler(Z3_Type* z3, int* parameter_1, int* parameter_2, int* parameter_3, int* parameter_4,
    unsigned* count, int* parameter_5, Value* values, unsigned cap, Floats*... floats)
{
    const bool outputs = given(parameter_1, parameter_2, parameter_3, parameter_4, count, parameter_5)
        && given(floats...) && flat::room(cap, values);
    return flat::read<Kind>(z3, flat::standard_queue, outputs, [&](const Record& r) {
        if (!flat::fit(cap, r.data))
            return 1;
        *parameter_1 = static_cast<int>(r.parameter_1);
        *parameter_2 = static_cast<int>(r.parameter_2);
        *parameter_3 = static_cast<int>(r.parameter_3);
        *parameter_4 = static_cast<int>(r.parameter_4);
        *count = static_cast<unsigned>(r.data.size());
        *parameter_5 = static_cast<int>(r.parameter_5);
        put_floats(r, floats...);
        put(values, r.data);
        return 0;
    });
}

} // namespace

// ==== Subscriptions and queues ===============================================

int vmx_subscribe_to_resp_status(Z3_Type* z3, const char* name)
{
    return subscribe_named<RespirationLegacy>(z3, name);
}

int vmx_subscribe_to_sleep_status(Z3_Type* z3, const char* name)
{
    return subscribe_named<RespirationSleep>(z3, name);
}

int vmx_subscribe_to_baseband_ap(Z3_Type* z3, const char* name)
{
    return subscribe_named<BasebandAp>(z3, name);
}

int vmx_subscribe_to_baseband_iq(Z3_Type* z3, const char* name)
{
    return subscribe_named<BasebandIq>(z3, name);
}

int vmx_subscribe_to_data_float(Z3_Type* z3, const char* name)
{
    return subscribe_named<DataFloat>(z3, name);
}

int vmx_subscribe_to_data_byte(Z3_Type* z3, const char* name)
{
    return subscribe_named<DataByte>(z3, name);
}

int vmx_subscribe_to_trace(Z3_Type* z3, const char* name)
{
    return flat::with_connection(z3, [&](FlatConnection& connection) {
        const std::string queue = flat::name(name);
        return connection.locked([&](RadarInterface& radar) { return radar.subscribe_to_trace(queue); });
    });
}

int vmx_subscribe_to_z7_decim(Z3_Type* z3, const char* name)
{
    return flat::with_connection(z3, [&](FlatConnection& connection) {
        const std::string queue = flat::name(name);
        return connection.locked([&](RadarInterface& radar) { return radar.subscribe_to_z7_desim(queue); });
    });
}

int vmx_subscribe_to_raw_normalized(Z3_Type* z3, const char* name)
{
    return flat::with_connection(z3, [&](FlatConnection& connection) {
        const std::string queue = flat::name(name);
        return connection.locked(
            [&](RadarInterface& radar) { return radar.subscribe_to_raw_normalized(queue); });
    });
}

int vmx_subscribe_to_presence_single(Z3_Type* z3)
{
    return flat::call(z3, [](RadarInterface& radar) { return radar.subscribe_to(PresenceSingle::kind); });
}

int vmx_subscribe_to_presence_movinglist(Z3_Type* z3)
{
    return flat::call(z3, [](RadarInterface& radar) { return radar.subscribe_to(PresenceMovingList::kind); });
}

int vmx_subscribe(Z3_Type* z3, const char* name, const unsigned char* prefix, unsigned int prefix_length)
{
    return flat::with_connection(z3, [&](FlatConnection& connection) {
        const std::string queue = flat::name(name);
        const Bytes bytes = flat::bytes(prefix, prefix_length);
        return connection.locked([&](RadarInterface& radar) { return radar.subscribe(queue, bytes); });
    });
}

int vmx_get_number_of_packets(Z3_Type* z3, const char* name, unsigned int* count)
{
    return flat::with_connection(z3, [&](FlatConnection& connection) {
        const std::string queue = flat::name(name);
        flat::require(count);
        *count = static_cast<unsigned>(
            connection.locked([&](RadarInterface& radar) { return radar.get_number_of_packets(queue); }));
        return 0;
    });
}

int vmx_clear(Z3_Type* z3, const char* name)
{
    return flat::with_connection(z3, [&](FlatConnection& connection) {
        const std::string queue = flat::name(name);
        connection.locked([&](RadarInterface& radar) { radar.clear(queue); });
        return 0;
    });
}

int vmx_unsubscribe(Z3_Type* z3, const char* name)
{
    return flat::with_connection(z3, [&](FlatConnection& connection) {
        const std::string queue = flat::name(name);
        connection.locked([&](RadarInterface& radar) { radar.unsubscribe(queue); });
        return 0;
    });
}

// ==== Peeks ==================================================================

#define LINKWELL_FLAT_PEEKS(X)                                                                               \
    X(vmx_peek_message_presence_single, PresenceSingle)                                                      \
    X(vmx_peek_message_presence_movinglist, PresenceMovingList)                                              \
    X(vmx_peek_message_respiration_legacy, RespirationLegacy)                                                \
    X(vmx_peek_message_respiration_sleep, RespirationSleep)                                                  \
    X(vmx_peek_message_respiration_movinglist, RespirationMovingList)                                        \
    X(vmx_peek_message_respiration_detectionlist, RespirationDetectionList)                                  \
    X(vmx_peek_message_respiration_normalizedmovementlist, RespirationNormalizedMovementList)                \
    X(vmx_peek_message_vital_signs, VitalSigns)                                                              \
    X(vmx_peek_message_baseband_ap, BasebandAp)                                                              \
    X(vmx_peek_message_baseband_iq, BasebandIq)                                                              \
    X(vmx_peek_message_data_float, DataFloat)                                                                \
    X(vmx_peek_message_pulsedoppler_float, PulseDopplerFloat)                                                \
    X(vmx_peek_message_pulsedoppler_byte, PulseDopplerByte)                                                  \
    X(vmx_peek_message_noisemap_float, NoiseMapFloat)                                                        \
    X(vmx_peek_message_noisemap_byte, NoiseMapByte)                                                          \
    X(dax_peek_message_data_string, DataString)                                                              \
    X(dax_peek_message_data_byte, DataByte)

#define LINKWELL_FLAT_PEEK(function, Tag)                                                                    \
    int function(Z3_Type* z3)                                                                                \
    {                                                                                                        \
        return peek<Tag>(z3);                                                                                \
    }
LINKWELL_FLAT_PEEKS(LINKWELL_FLAT_PEEK)
#undef LINKWELL_FLAT_PEEK
#undef LINKWELL_FLAT_PEEKS

// ==== Message reads ==========================================================

int vmx_read_message_respiration_legacy(Z3_Type* z3, int* frame_counter, int* state, int* rpm,
    float* object_distance, float* object_movement, int* signal_quality)
{
    return respiration(z3, flat::standard_queue, frame_counter, state, rpm, object_distance, object_movement,
        signal_quality);
}

int vmx_read_message_respiration_sleep(Z3_Type* z3, int* frame_counter, int* state, float* rpm,
    float* object_distance, int* signal_quality, float* movement_slow, float* movement_fast)
{
    return sleep(z3, flat::standard_queue, frame_counter, state, rpm, object_distance, signal_quality,
        movement_slow, movement_fast);
}

int vmx_read_message_presence_single(Z3_Type* z3, unsigned int* frame_counter, unsigned int* presence_state,
    float* distance, unsigned char* direction, unsigned int* signal_quality)
{
    const bool outputs = given(frame_counter, presence_state, distance, direction, signal_quality);
    return flat::read<PresenceSingle>(
        z3, flat::standard_queue, outputs, [&](const Sarvik::PresenceSingleData& r) {
            *frame_counter = r.frame_counter;
            *presence_state = r.presence_state;
            *distance = r.distance;
            *direction = r.direction;
            *signal_quality = r.signal_quality;
            return 0;
        });
}

int vmx_read_message_vital_signs(Z3_Type* z3, int* frame_counter, int* state, float* rpm, float* distance,
    float* respiration_confidence, float* heart_bpm, float* heart_distance, float* heart_confidence,
    float* normalized_movement_slow, float* normalized_movement_fast, float* normalized_movement_start,
    float* normalized_movement_end)
{
    const bool outputs = given(frame_counter, state, rpm, distance, respiration_confidence, heart_bpm,
        heart_distance, heart_confidence, normalized_movement_slow, normalized_movement_fast,
        normalized_movement_start, normalized_movement_end);
    return flat::read<VitalSigns>(z3, flat::standard_queue, outputs, [&](const Sarvik::VitalSignsData& r) {
        *frame_counter = static_cast<int>(r.frame_counter);
        *state = static_cast<int>(r.sensor_state);
        *rpm = r.respiration_rate;
        *distance = r.respiration_distance;
        *respiration_confidence = r.respiration_confidence;
        *heart_bpm = r.heart_rate;
        *heart_distance = r.heart_distance;
        *heart_confidence = r.heart_confidence;
        *normalized_movement_slow = r.normalized_movement_slow;
        *normalized_movement_fast = r.normalized_movement_fast;
        *normalized_movement_start = r.normalized_movement_start;
        *normalized_movement_end = r.normalized_movement_end;
        return 0;
    });
}

int vmx_read_message_respiration_movinglist(Z3_Type* z3, int* frame_counter,
    unsigned int* movement_interval_count, float* movement_slow_items, float* movement_fast_items,
    unsigned int cap)
{
    const bool outputs = given(frame_counter, movement_interval_count)
        && flat::room(cap, movement_slow_items, movement_fast_items);
    return flat::read<RespirationMovingList>(
        z3, flat::standard_queue, outputs, [&](const Sarvik::RespirationMovingListData& r) {
            if (!flat::fit(cap, r.movement_slow_items, r.movement_fast_items))
                return 1;
            *frame_counter = static_cast<int>(r.frame_counter);
            *movement_interval_count = static_cast<unsigned>(r.movement_fast_items.size());
            put(movement_slow_items, r.movement_slow_items);
            put(movement_fast_items, r.movement_fast_items);
            return 0;
        });
}

int vmx_read_message_respiration_detectionlist(Z3_Type* z3, int* frame_counter, unsigned int* detection_count,
    float* detection_distance_items, float* detection_radar_cross_section_items,
    float* detection_velocity_items, unsigned int cap)
{
    const bool outputs = given(frame_counter, detection_count)
        && flat::room(
            cap, detection_distance_items, detection_radar_cross_section_items, detection_velocity_items);
    return flat::read<RespirationDetectionList>(
        z3, flat::standard_queue, outputs, [&](const Sarvik::RespirationDetectionListData& r) {
            if (!flat::fit(cap, r.detection_distance_items, r.detection_radar_cross_section_items,
                    r.detection_velocity_items))
                return 1;
            *frame_counter = static_cast<int>(r.frame_counter);
            *detection_count = static_cast<unsigned>(r.detection_distance_items.size());
            put(detection_distance_items, r.detection_distance_items);
            put(detection_radar_cross_section_items, r.detection_radar_cross_section_items);
            put(detection_velocity_items, r.detection_velocity_items);
            return 0;
        });
}

int vmx_read_message_respiration_normalizedmovementlist(Z3_Type* z3, int* frame_counter, float* start,
    float* bin_length, int* count, float* normalized_movement_slow_items,
    float* normalized_movement_fast_items, unsigned int cap)
{
    const bool outputs = given(frame_counter, start, bin_length, count)
        && flat::room(cap, normalized_movement_slow_items, normalized_movement_fast_items);
    return flat::read<RespirationNormalizedMovementList>(
        z3, flat::standard_queue, outputs, [&](const Sarvik::RespirationNormalizedMovementListData& r) {
            if (!flat::fit(cap, r.normalized_movement_slow_items, r.normalized_movement_fast_items))
                return 1;
            *frame_counter = static_cast<int>(r.frame_counter);
            *start = r.start;
            *bin_length = r.bin_length;
            *count = static_cast<int>(r.count);
            put(normalized_movement_slow_items, r.normalized_movement_slow_items);
            put(normalized_movement_fast_items, r.normalized_movement_fast_items);
            return 0;
        });
}

int vmx_read_message_presence_movinglist(Z3_Type* z3, int* frame_counter, int* presence_state,
    int* movement_interval_count, unsigned int* detection_count, float* movement_slow_items,
    float* movement_fast_items, float* detection_distance_items, float* detection_radar_cross_section_items,
    float* detection_velocity_items, unsigned int cap)
{
    const bool outputs = given(frame_counter, presence_state, movement_interval_count, detection_count)
        && flat::room(cap, movement_slow_items, movement_fast_items, detection_distance_items,
            detection_radar_cross_section_items, detection_velocity_items);
    return flat::read<PresenceMovingList>(
        z3, flat::standard_queue, outputs, [&](const Sarvik::PresenceMovingListData& r) {
            if (!flat::fit(cap, r.movement_slow_items, r.movement_fast_items, r.detection_distance_items,
                    r.detection_radar_cross_section_items, r.detection_velocity_items))
                return 1;
            *frame_counter = static_cast<int>(r.frame_counter);
            *presence_state = static_cast<int>(r.presence_state);
            *movement_interval_count = static_cast<int>(r.movement_fast_items.size());
            *detection_count = static_cast<unsigned>(r.detection_distance_items.size());
            put(movement_slow_items, r.movement_slow_items);
            put(movement_fast_items, r.movement_fast_items);
            put(detection_distance_items, r.detection_distance_items);
            put(detection_radar_cross_section_items, r.detection_radar_cross_section_items);
            put(detection_velocity_items, r.detection_velocity_items);
            return 0;
        });
}

int vmx_read_message_baseband_ap(Z3_Type* z3, int* frame_counter, int* bin_count, float* parameter_1,
    float* parameter_2, float* parameter_3, float* parameter_4, float* amplitude, float* phase,
    unsigned int cap)
{
    return baseband_ap(z3, flat::standard_queue, frame_counter, bin_count, parameter_1, parameter_2,
        parameter_3, parameter_4, amplitude, phase, cap);
}

int vmx_read_message_baseband_iq(Z3_Type* z3, int* frame_counter, int* bin_count, float* parameter_1,
    float* parameter_2, float* parameter_3, float* parameter_4, float* i_samples, float* q_samples,
    unsigned int cap)
{
    return baseband_iq(z3, flat::standard_queue, frame_counter, bin_count, parameter_1, parameter_2,
        parameter_3, parameter_4, i_samples, q_samples, cap);
}

int vmx_read_message_data_float(
    Z3_Type* z3, int* content_id, int* info, float* values, unsigned int* count, unsigned int cap)
{
    const bool outputs = given(content_id, info, count) && flat::room(cap, values);
    return flat::read<DataFloat>(z3, flat::standard_queue, outputs, [&](const Sarvik::DataFloat& r) {
        if (!flat::fit(cap, r.data))
            return 1;
        *content_id = static_cast<int>(r.content_id);
        *info = static_cast<int>(r.info);
        return flat::counted_out(r.data, values, count, cap);
    });
}

int vmx_get_respiration_data(Z3_Type* z3, const char* name, int* frame_counter, int* state, int* rpm,
    float* object_distance, float* object_movement, int* signal_quality)
{
    return respiration(z3, flat::named_queue(name), frame_counter, state, rpm, object_distance,
        object_movement, signal_quality);
}

int vmx_get_sleep_data(Z3_Type* z3, const char* name, int* frame_counter, int* state, float* rpm,
    float* object_distance, int* signal_quality, float* movement_slow, float* movement_fast)
{
    return sleep(z3, flat::named_queue(name), frame_counter, state, rpm, object_distance, signal_quality,
        movement_slow, movement_fast);
}

int vmx_get_baseband_ap_data(Z3_Type* z3, const char* name, int* frame_counter, int* bin_count,
    float* parameter_1, float* parameter_2, float* parameter_3, float* parameter_4, float* amplitude,
    float* phase, unsigned int cap)
{
    return baseband_ap(z3, flat::named_queue(name), frame_counter, bin_count, parameter_1, parameter_2,
        parameter_3, parameter_4, amplitude, phase, cap);
}

int vmx_get_baseband_iq_data(Z3_Type* z3, const char* name, int* frame_counter, int* bin_count,
    float* parameter_1, float* parameter_2, float* parameter_3, float* parameter_4, float* i_samples,
    float* q_samples, unsigned int cap)
{
    return baseband_iq(z3, flat::named_queue(name), frame_counter, bin_count, parameter_1, parameter_2,
        parameter_3, parameter_4, i_samples, q_samples, cap);
}

int vmx_read_message_pulsedoppler_float_data(Z3_Type* z3, int* parameter_1, int* parameter_2,
    int* parameter_3, int* parameter_4, unsigned int* count, int* parameter_5, float* parameter_6,
    float* parameter_7, float* parameter_8, float* parameter_9, float* parameter_10, float* values,
    unsigned int cap)
{
    return doppler<PulseDopplerFloat, Sarvik::PulseDopplerFloatData>(z3, parameter_1, parameter_2,
        parameter_3, parameter_4, count, parameter_5, values, cap, parameter_6, parameter_7, parameter_8,
        parameter_9, parameter_10);
}

int vmx_read_message_noisemap_float_data(Z3_Type* z3, int* parameter_1, int* parameter_2, int* parameter_3,
    int* parameter_4, unsigned int* count, int* parameter_5, float* parameter_6, float* parameter_7,
    float* parameter_8, float* parameter_9, float* parameter_10, float* values, unsigned int cap)
{
    return doppler<NoiseMapFloat, Sarvik::PulseDopplerFloatData>(z3, parameter_1, parameter_2, parameter_3,
        parameter_4, count, parameter_5, values, cap, parameter_6, parameter_7, parameter_8, parameter_9,
        parameter_10);
}

int vmx_read_message_pulsedoppler_byte_data(Z3_Type* z3, int* parameter_1, int* parameter_2, int* parameter_3,
    int* parameter_4, unsigned int* count, int* parameter_5, float* parameter_6, float* parameter_7,
    float* parameter_8, float* parameter_9, float* parameter_10, float* parameter_11, float* parameter_12,
    unsigned char* values, unsigned int cap)
{
    return doppler<PulseDopplerByte, Sarvik::PulseDopplerByteData>(z3, parameter_1, parameter_2, parameter_3,
        parameter_4, count, parameter_5, values, cap, parameter_6, parameter_7, parameter_8, parameter_9,
        parameter_10, parameter_11, parameter_12);
}

int vmx_read_message_noisemap_byte_data(Z3_Type* z3, int* parameter_1, int* parameter_2, int* parameter_3,
    int* parameter_4, unsigned int* count, int* parameter_5, float* parameter_6, float* parameter_7,
    float* parameter_8, float* parameter_9, float* parameter_10, float* parameter_11, float* parameter_12,
    unsigned char* values, unsigned int cap)
{
    return doppler<NoiseMapByte, Sarvik::PulseDopplerByteData>(z3, parameter_1, parameter_2, parameter_3,
        parameter_4, count, parameter_5, values, cap, parameter_6, parameter_7, parameter_8, parameter_9,
        parameter_10, parameter_11, parameter_12);
}
