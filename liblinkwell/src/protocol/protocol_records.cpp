#include "protocol/protocol_records.hpp"

#include <cstring>

namespace {

// The packed elements are the little-endian wire values; on a little-endian
// host they are copied as they are.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "records are copied for a little-endian host");

template <typename Element> std::vector<Element> copy_array(const void* items, uint32_t count)
{
    std::vector<Element> out(count);
    if (count)
        std::memcpy(out.data(), items, count * sizeof(Element));
    return out;
}

std::vector<float> floats(const packed_float* items, uint32_t count)
{
    return copy_array<float>(items, count);
}

} // namespace

Sarvik::RespirationData to_public(const RespirationData& r)
{
    return { r.frame_counter, r.sensor_state, r.respiration_rate, r.distance, r.movement, r.signal_quality };
}

Sarvik::SleepData to_public(const SleepData& r)
{
    return { r.frame_counter, r.sensor_state, r.respiration_rate, r.distance, r.signal_quality,
        r.movement_slow, r.movement_fast };
}

Sarvik::VitalSignsData to_public(const VitalSignsData& r)
{
    return { r.frame_counter, r.sensor_state, r.respiration_rate, r.respiration_distance,
        r.respiration_confidence, r.heart_rate, r.heart_distance, r.heart_confidence,
        r.normalized_movement_slow, r.normalized_movement_fast, r.normalized_movement_start,
        r.normalized_movement_end };
}

Sarvik::SleepStageData to_public(const SleepStageData& r)
{
    return { r.frame_counter, r.sleep_stage, r.confidence };
}

Sarvik::PresenceSingleData to_public(const PresenceSingleData& r)
{
    return { r.frame_counter, r.presence_state, r.distance, r.direction, r.signal_quality };
}

Sarvik::PresenceMovingListData to_public(const PresenceMovingListData& r)
{
    Sarvik::PresenceMovingListData out;
    out.frame_counter = r.frame_counter;
    out.presence_state = r.presence_state;
    out.movement_slow_items = floats(r.movement_slow_items, r.movement_interval_count);
    out.movement_fast_items = floats(r.movement_fast_items, r.movement_interval_count);
    out.detection_distance_items = floats(r.detection_distance_items, r.detection_count);
    out.detection_radar_cross_section_items
        = floats(r.detection_radar_cross_section_items, r.detection_count);
    out.detection_velocity_items = floats(r.detection_velocity_items, r.detection_count);
    return out;
}

Sarvik::RespirationMovingListData to_public(const RespirationMovingListData& r)
{
    Sarvik::RespirationMovingListData out;
    out.frame_counter = r.frame_counter;
    out.movement_slow_items = floats(r.movement_slow_items, r.movement_interval_count);
    out.movement_fast_items = floats(r.movement_fast_items, r.movement_interval_count);
    return out;
}

Sarvik::RespirationDetectionListData to_public(const RespirationDetectionListData& r)
{
    Sarvik::RespirationDetectionListData out;
    out.frame_counter = r.frame_counter;
    out.detection_count = r.detection_count;
    out.detection_distance_items = floats(r.detection_distance_items, r.detection_count);
    out.detection_radar_cross_section_items
        = floats(r.detection_radar_cross_section_items, r.detection_count);
    out.detection_velocity_items = floats(r.detection_velocity_items, r.detection_count);
    return out;
}

Sarvik::RespirationNormalizedMovementListData to_public(const RespirationNormalizedMovementListData& r)
{
    Sarvik::RespirationNormalizedMovementListData out;
    out.frame_counter = r.frame_counter;
    out.start = r.start;
    out.bin_length = r.bin_length;
    out.count = r.count;
    out.normalized_movement_slow_items = floats(r.normalized_movement_slow_items, r.count);
    out.normalized_movement_fast_items = floats(r.normalized_movement_fast_items, r.count);
    return out;
}

Sarvik::BasebandIqData to_public(const BasebandIqData& r)
{
    Sarvik::BasebandIqData out;
    out.frame_counter = r.frame_counter;
    out.num_bins = r.num_bins;
    out.parameter_1 = r.parameter_1;
    out.parameter_2 = r.parameter_2;
    out.parameter_3 = r.parameter_3;
    out.parameter_4 = r.parameter_4;
    out.i_data = floats(r.i_data, r.num_bins);
    out.q_data = floats(r.q_data, r.num_bins);
    return out;
}

Sarvik::BasebandApData to_public(const BasebandApData& r)
{
    Sarvik::BasebandApData out;
    out.frame_counter = r.frame_counter;
    out.num_bins = r.num_bins;
    out.parameter_1 = r.parameter_1;
    out.parameter_2 = r.parameter_2;
    out.parameter_3 = r.parameter_3;
    out.parameter_4 = r.parameter_4;
    out.amplitude = floats(r.amplitude, r.num_bins);
    out.phase = floats(r.phase, r.num_bins);
    return out;
}

namespace {

template <typename Public, typename Codec> Public rf_to_public(const Codec& r)
{
    Public out;
    out.frame_counter = r.frame_counter;
    out.num_bins = r.num_bins;
    out.parameter_1 = r.parameter_1;
    out.parameter_2 = r.parameter_2;
    out.parameter_3 = r.parameter_3;
    out.parameter_4 = r.parameter_4;
    out.parameter_5 = r.parameter_5;
    return out;
}

template <typename Public, typename Codec> Public radar_baseband_to_public(const Codec& r)
{
    Public out = rf_to_public<Public>(r);
    out.parameter_6 = r.parameter_6;
    out.parameter_7 = r.parameter_7;
    out.parameter_8 = r.parameter_8;
    out.parameter_9 = r.parameter_9;
    return out;
}

template <typename Public, typename Codec> Public pulsedoppler_to_public(const Codec& r)
{
    Public out;
    out.parameter_1 = r.parameter_1;
    out.parameter_2 = r.parameter_2;
    out.parameter_3 = r.parameter_3;
    out.parameter_4 = r.parameter_4;
    out.count = r.count;
    out.parameter_5 = r.parameter_5;
    out.parameter_6 = r.parameter_6;
    out.parameter_7 = r.parameter_7;
    out.parameter_8 = r.parameter_8;
    out.parameter_9 = r.parameter_9;
    out.parameter_10 = r.parameter_10;
    return out;
}

} // namespace

Sarvik::RadarRfData to_public(const RadarRfData& r)
{
    auto out = rf_to_public<Sarvik::RadarRfData>(r);
    out.data = floats(r.data, r.num_bins);
    return out;
}

Sarvik::RadarRfNormalizedData to_public(const RadarRfNormalizedData& r)
{
    auto out = rf_to_public<Sarvik::RadarRfNormalizedData>(r);
    out.data = floats(r.data, r.num_bins);
    return out;
}

Sarvik::RadarBasebandFloatData to_public(const RadarBasebandFloatData& r)
{
    auto out = radar_baseband_to_public<Sarvik::RadarBasebandFloatData>(r);
    out.i_data = floats(r.i_data, r.num_bins);
    out.q_data = floats(r.q_data, r.num_bins);
    return out;
}

Sarvik::RadarBasebandQ15Data to_public(const RadarBasebandQ15Data& r)
{
    auto out = radar_baseband_to_public<Sarvik::RadarBasebandQ15Data>(r);
    out.parameter_10 = r.parameter_10;
    out.i_data = copy_array<int16_t>(r.i_data, r.num_bins);
    out.q_data = copy_array<int16_t>(r.q_data, r.num_bins);
    return out;
}

Sarvik::PulseDopplerFloatData to_public(const PulseDopplerFloatData& r)
{
    auto out = pulsedoppler_to_public<Sarvik::PulseDopplerFloatData>(r);
    out.data = floats(r.data, r.count);
    return out;
}

Sarvik::PulseDopplerByteData to_public(const PulseDopplerByteData& r)
{
    auto out = pulsedoppler_to_public<Sarvik::PulseDopplerByteData>(r);
    out.parameter_11 = r.parameter_11;
    out.parameter_12 = r.parameter_12;
    out.data = copy_array<uint8_t>(r.data, r.count);
    return out;
}

Sarvik::DataFloat to_public(const FloatData_& r)
{
    Sarvik::DataFloat out;
    out.content_id = r.content_id;
    out.info = r.info;
    out.data = floats(r.data, r.length);
    return out;
}
