// Copies of decoded codec records as the public records that the library
// hands out: same scalar fields, arrays copied out of the packet into owned
// vectors. Call them while the packet is alive (inside a slot, or before the
// packet vector that a ParseResult points into goes away).
//
// Every record is described once, field by field, in the lists below; the
// copies, the bounds checks and the fuzz target's readers are generated from
// them, so a new record is one list and one row in LINKWELL_MESSAGE_RECORDS.
#pragma once

#include <cstddef>
#include <cstdint>

#include <linkwell/SarvikData.hpp>
#include <linkwell/protocol_parser.h>

// The fields of a codec record in wire order: VALUE(field) for a scalar that
// the public record keeps, COUNT(field) for a count that only sizes arrays
// (the public record holds the vectors instead), ARRAY(field, count) for an
// array that the public record holds as a vector of `count` elements.
// clang-format off
#define LINKWELL_FIELDS_RESPIRATION(VALUE, COUNT, ARRAY) \
    VALUE(frame_counter) VALUE(sensor_state) VALUE(respiration_rate) VALUE(distance) VALUE(movement) \
    VALUE(signal_quality)
#define LINKWELL_FIELDS_SLEEP(VALUE, COUNT, ARRAY) \
    VALUE(frame_counter) VALUE(sensor_state) VALUE(respiration_rate) VALUE(distance) VALUE(signal_quality) \
    VALUE(movement_slow) VALUE(movement_fast)
#define LINKWELL_FIELDS_VITAL_SIGNS(VALUE, COUNT, ARRAY) \
    VALUE(frame_counter) VALUE(sensor_state) VALUE(respiration_rate) VALUE(respiration_distance) \
    VALUE(respiration_confidence) VALUE(heart_rate) VALUE(heart_distance) VALUE(heart_confidence) \
    VALUE(normalized_movement_slow) VALUE(normalized_movement_fast) VALUE(normalized_movement_start) \
    VALUE(normalized_movement_end)
#define LINKWELL_FIELDS_SLEEP_STAGE(VALUE, COUNT, ARRAY) \
    VALUE(frame_counter) VALUE(sleep_stage) VALUE(confidence)
#define LINKWELL_FIELDS_PRESENCE_SINGLE(VALUE, COUNT, ARRAY) \
    VALUE(frame_counter) VALUE(presence_state) VALUE(distance) VALUE(direction) VALUE(signal_quality)
#define LINKWELL_FIELDS_PRESENCE_MOVINGLIST(VALUE, COUNT, ARRAY) \
    VALUE(frame_counter) VALUE(presence_state) COUNT(movement_interval_count) COUNT(detection_count) \
    ARRAY(movement_slow_items, movement_interval_count) ARRAY(movement_fast_items, movement_interval_count) \
    ARRAY(detection_distance_items, detection_count) \
    ARRAY(detection_radar_cross_section_items, detection_count) \
    ARRAY(detection_velocity_items, detection_count)
#define LINKWELL_FIELDS_RESPIRATION_MOVINGLIST(VALUE, COUNT, ARRAY) \
    VALUE(frame_counter) COUNT(movement_interval_count) \
    ARRAY(movement_slow_items, movement_interval_count) ARRAY(movement_fast_items, movement_interval_count)
#define LINKWELL_FIELDS_RESPIRATION_DETECTIONLIST(VALUE, COUNT, ARRAY) \
    VALUE(frame_counter) VALUE(detection_count) ARRAY(detection_distance_items, detection_count) \
    ARRAY(detection_radar_cross_section_items, detection_count) ARRAY(detection_velocity_items, detection_count)
#define LINKWELL_FIELDS_RESPIRATION_NORMALIZEDMOVEMENTLIST(VALUE, COUNT, ARRAY) \
    VALUE(frame_counter) VALUE(start) VALUE(bin_length) VALUE(count) \
    ARRAY(normalized_movement_slow_items, count) ARRAY(normalized_movement_fast_items, count)
#define LINKWELL_FIELDS_BASEBAND_IQ(VALUE, COUNT, ARRAY) \
    VALUE(frame_counter) VALUE(num_bins) VALUE(parameter_1) VALUE(parameter_2) VALUE(parameter_3) \
    VALUE(parameter_4) ARRAY(i_data, num_bins) ARRAY(q_data, num_bins)
#define LINKWELL_FIELDS_BASEBAND_AP(VALUE, COUNT, ARRAY) \
    VALUE(frame_counter) VALUE(num_bins) VALUE(parameter_1) VALUE(parameter_2) VALUE(parameter_3) \
    VALUE(parameter_4) ARRAY(amplitude, num_bins) ARRAY(phase, num_bins)
#define LINKWELL_FIELDS_RADAR_RF(VALUE, COUNT, ARRAY) \
    VALUE(frame_counter) VALUE(num_bins) VALUE(parameter_1) VALUE(parameter_2) VALUE(parameter_3) \
    VALUE(parameter_4) VALUE(parameter_5) ARRAY(data, num_bins)
#define LINKWELL_FIELDS_RADAR_BASEBAND_FLOAT(VALUE, COUNT, ARRAY) \
    VALUE(frame_counter) VALUE(num_bins) VALUE(parameter_1) VALUE(parameter_2) VALUE(parameter_3) \
    VALUE(parameter_4) VALUE(parameter_5) VALUE(parameter_6) VALUE(parameter_7) VALUE(parameter_8) \
    VALUE(parameter_9) ARRAY(i_data, num_bins) ARRAY(q_data, num_bins)
#define LINKWELL_FIELDS_RADAR_BASEBAND_Q15(VALUE, COUNT, ARRAY) \
    VALUE(frame_counter) VALUE(num_bins) VALUE(parameter_1) VALUE(parameter_2) VALUE(parameter_3) \
    VALUE(parameter_4) VALUE(parameter_5) VALUE(parameter_6) VALUE(parameter_7) VALUE(parameter_8) \
    VALUE(parameter_9) VALUE(parameter_10) ARRAY(i_data, num_bins) ARRAY(q_data, num_bins)
#define LINKWELL_FIELDS_PULSEDOPPLER_FLOAT(VALUE, COUNT, ARRAY) \
    VALUE(parameter_1) VALUE(parameter_2) VALUE(parameter_3) VALUE(parameter_4) VALUE(count) \
    VALUE(parameter_5) VALUE(parameter_6) VALUE(parameter_7) VALUE(parameter_8) VALUE(parameter_9) \
    VALUE(parameter_10) ARRAY(data, count)
#define LINKWELL_FIELDS_PULSEDOPPLER_BYTE(VALUE, COUNT, ARRAY) \
    VALUE(parameter_1) VALUE(parameter_2) VALUE(parameter_3) VALUE(parameter_4) VALUE(count) \
    VALUE(parameter_5) VALUE(parameter_6) VALUE(parameter_7) VALUE(parameter_8) VALUE(parameter_9) \
    VALUE(parameter_10) VALUE(parameter_11) VALUE(parameter_12) ARRAY(data, count)
#define LINKWELL_FIELDS_DATA_FLOAT(VALUE, COUNT, ARRAY) \
    VALUE(content_id) VALUE(info) COUNT(length) ARRAY(data, length)

// Every codec record with a public twin: RECORD(codec record, public record,
// the HostParser slot that receives it, its field list).
#define LINKWELL_MESSAGE_RECORDS(RECORD) \
    RECORD(RespirationData, Sarvik::RespirationData, on_respiration, LINKWELL_FIELDS_RESPIRATION) \
    RECORD(SleepData, Sarvik::SleepData, on_sleep, LINKWELL_FIELDS_SLEEP) \
    RECORD(VitalSignsData, Sarvik::VitalSignsData, on_vitalsigns, LINKWELL_FIELDS_VITAL_SIGNS) \
    RECORD(SleepStageData, Sarvik::SleepStageData, on_sleepstage, LINKWELL_FIELDS_SLEEP_STAGE) \
    RECORD(PresenceSingleData, Sarvik::PresenceSingleData, on_presence_single, LINKWELL_FIELDS_PRESENCE_SINGLE) \
    RECORD(PresenceMovingListData, Sarvik::PresenceMovingListData, on_presence_movinglist, \
        LINKWELL_FIELDS_PRESENCE_MOVINGLIST) \
    RECORD(RespirationMovingListData, Sarvik::RespirationMovingListData, on_respiration_movinglist, \
        LINKWELL_FIELDS_RESPIRATION_MOVINGLIST) \
    RECORD(RespirationDetectionListData, Sarvik::RespirationDetectionListData, on_respiration_detectionlist, \
        LINKWELL_FIELDS_RESPIRATION_DETECTIONLIST) \
    RECORD(RespirationNormalizedMovementListData, Sarvik::RespirationNormalizedMovementListData, \
        on_respiration_normalizedmovementlist, LINKWELL_FIELDS_RESPIRATION_NORMALIZEDMOVEMENTLIST) \
    RECORD(BasebandIqData, Sarvik::BasebandIqData, on_baseband_iq, LINKWELL_FIELDS_BASEBAND_IQ) \
    RECORD(BasebandApData, Sarvik::BasebandApData, on_baseband_ap, LINKWELL_FIELDS_BASEBAND_AP) \
    RECORD(RadarRfData, Sarvik::RadarRfData, on_radar_rf, LINKWELL_FIELDS_RADAR_RF) \
    RECORD(RadarRfNormalizedData, Sarvik::RadarRfNormalizedData, on_radar_rf_normalized, LINKWELL_FIELDS_RADAR_RF) \
    RECORD(RadarBasebandFloatData, Sarvik::RadarBasebandFloatData, on_radar_baseband_float, \
        LINKWELL_FIELDS_RADAR_BASEBAND_FLOAT) \
    RECORD(RadarBasebandQ15Data, Sarvik::RadarBasebandQ15Data, on_radar_baseband_q15, \
        LINKWELL_FIELDS_RADAR_BASEBAND_Q15) \
    RECORD(PulseDopplerFloatData, Sarvik::PulseDopplerFloatData, on_pulsedoppler_float, \
        LINKWELL_FIELDS_PULSEDOPPLER_FLOAT) \
    RECORD(PulseDopplerByteData, Sarvik::PulseDopplerByteData, on_pulsedoppler_byte, \
        LINKWELL_FIELDS_PULSEDOPPLER_BYTE) \
    RECORD(FloatData_, Sarvik::DataFloat, on_data_float, LINKWELL_FIELDS_DATA_FLOAT)
// clang-format on

// For every record of the list: its public copy, and whether every array
// that it points to lies wholly inside the packet of `size` bytes at
// `packet` (the decoders check the counts already; this second check, in 64
// bits, guards every copy out of a packet).
#define LINKWELL_DECLARE_RECORD_COPY(Codec, Public, slot, fields)                                            \
    Public to_public(const Codec& record);                                                                   \
    bool arrays_within(const Codec& record, const uint8_t* packet, std::size_t size);
LINKWELL_MESSAGE_RECORDS(LINKWELL_DECLARE_RECORD_COPY)
#undef LINKWELL_DECLARE_RECORD_COPY

// The system status has no record of its own to hand out: its status word.
inline unsigned int to_public(const SystemStatus& record)
{
    return record.status;
}

inline bool arrays_within(const SystemStatus&, const uint8_t*, std::size_t)
{
    return true;
}
