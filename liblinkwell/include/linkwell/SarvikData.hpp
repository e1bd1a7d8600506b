// The decoded module messages that the library hands to its clients. Each
// record has the scalar fields of the wire message in wire order and owns a
// copy of its arrays, so it stays valid after the packet is gone.
#pragma once

#include <cstdint>
#include <vector>

#include "linkwell_export.h"

namespace Sarvik {

// Respiration status (content id 0x2375FE26).
struct RespirationData {
    uint32_t frame_counter = 0;
    uint32_t sensor_state = 0;
    uint32_t respiration_rate = 0; // breaths per minute
    float distance = 0;
    float movement = 0;
    uint32_t signal_quality = 0;
};

// Sleep status (content id 0x2375A16C).
struct SleepData {
    uint32_t frame_counter = 0;
    uint32_t sensor_state = 0;
    float respiration_rate = 0;
    float distance = 0;
    uint32_t signal_quality = 0;
    float movement_slow = 0;
    float movement_fast = 0;
};

// Vital signs (content id 0x20020102).
struct VitalSignsData {
    uint32_t frame_counter = 0;
    uint32_t sensor_state = 0;
    float respiration_rate = 0;
    float respiration_distance = 0;
    float respiration_confidence = 0;
    float heart_rate = 0; // beats per minute
    float heart_distance = 0;
    float heart_confidence = 0;
    float normalized_movement_slow = 0;
    float normalized_movement_fast = 0;
    float normalized_movement_start = 0;
    float normalized_movement_end = 0;
};

// Sleep stage (content id 0x41083A02).
struct SleepStageData {
    uint32_t frame_counter = 0;
    uint32_t sleep_stage = 0;
    uint32_t confidence = 0;
};

// Presence, single target (content id 0x723BFA1E).
struct PresenceSingleData {
    uint32_t frame_counter = 0;
    uint32_t presence_state = 0;
    float distance = 0;
    uint8_t direction = 0;
    uint32_t signal_quality = 0;
};

// Presence moving list (content id 0x723BFA1F); the counts are the sizes of
// the vectors.
struct PresenceMovingListData {
    uint32_t frame_counter = 0;
    uint32_t presence_state = 0;
    std::vector<float> movement_slow_items;
    std::vector<float> movement_fast_items;
    std::vector<float> detection_distance_items;
    std::vector<float> detection_radar_cross_section_items;
    std::vector<float> detection_velocity_items;
};

// Respiration moving list (content id 0x610A3B00).
struct RespirationMovingListData {
    uint32_t frame_counter = 0;
    std::vector<float> movement_slow_items;
    std::vector<float> movement_fast_items;
};

// Respiration detection list (content id 0x610A3B02).
struct RespirationDetectionListData {
    uint32_t frame_counter = 0;
    uint32_t detection_count = 0;
    std::vector<float> detection_distance_items;
    std::vector<float> detection_radar_cross_section_items;
    std::vector<float> detection_velocity_items;
};

// Respiration normalized movement list (content id 0xC3A331CF).
struct RespirationNormalizedMovementListData {
    uint32_t frame_counter = 0;
    float start = 0;
    float bin_length = 0;
    uint32_t count = 0;
    std::vector<float> normalized_movement_slow_items;
    std::vector<float> normalized_movement_fast_items;
};

// Baseband I/Q frame (content id 0x0000000C).
struct LINKWELL_API BasebandIqData {
    BasebandIqData() = default;
    BasebandIqData(const BasebandIqData&) = default;
    BasebandIqData(BasebandIqData&&) = default;
    BasebandIqData& operator=(const BasebandIqData&) = default;
    BasebandIqData& operator=(BasebandIqData&&) = default;
    ~BasebandIqData();

    uint32_t frame_counter = 0;
    uint32_t num_bins = 0;
    float parameter_1 = 0;
    float parameter_2 = 0;
    float parameter_3 = 0;
    float parameter_4 = 0;
    std::vector<float> i_data;
    std::vector<float> q_data;
};

// Baseband amplitude/phase frame (content id 0x0000000D).
struct LINKWELL_API BasebandApData {
    BasebandApData() = default;
    BasebandApData(const BasebandApData&) = default;
    BasebandApData(BasebandApData&&) = default;
    BasebandApData& operator=(const BasebandApData&) = default;
    BasebandApData& operator=(BasebandApData&&) = default;
    ~BasebandApData();

    uint32_t frame_counter = 0;
    uint32_t num_bins = 0;
    float parameter_1 = 0;
    float parameter_2 = 0;
    float parameter_3 = 0;
    float parameter_4 = 0;
    std::vector<float> amplitude;
    std::vector<float> phase;
};

// Radar RF frame (content id 0xC1A3117E).
struct RadarRfData {
    uint32_t frame_counter = 0;
    uint32_t num_bins = 0;
    float parameter_1 = 0;
    float parameter_2 = 0;
    float parameter_3 = 0;
    float parameter_4 = 0;
    float parameter_5 = 0;
    std::vector<float> data;
};

// Radar RF frame, normalized (content id 0xB13B8F12).
struct RadarRfNormalizedData {
    uint32_t frame_counter = 0;
    uint32_t num_bins = 0;
    float parameter_1 = 0;
    float parameter_2 = 0;
    float parameter_3 = 0;
    float parameter_4 = 0;
    float parameter_5 = 0;
    std::vector<float> data;
};

// Radar baseband frame, float samples (content id 0x026F1379).
struct RadarBasebandFloatData {
    uint32_t frame_counter = 0;
    uint32_t num_bins = 0;
    float parameter_1 = 0;
    float parameter_2 = 0;
    float parameter_3 = 0;
    float parameter_4 = 0;
    float parameter_5 = 0;
    uint32_t parameter_6 = 0;
    uint32_t parameter_7 = 0;
    float parameter_8 = 0;
    float parameter_9 = 0;
    std::vector<float> i_data;
    std::vector<float> q_data;
};

// Radar baseband frame, Q15 samples (content id 0xEC8D0AA5).
struct RadarBasebandQ15Data {
    uint32_t frame_counter = 0;
    uint32_t num_bins = 0;
    float parameter_1 = 0;
    float parameter_2 = 0;
    float parameter_3 = 0;
    float parameter_4 = 0;
    float parameter_5 = 0;
    uint32_t parameter_6 = 0;
    uint32_t parameter_7 = 0;
    float parameter_8 = 0;
    float parameter_9 = 0;
    float parameter_10 = 0;
    std::vector<int16_t> i_data;
    std::vector<int16_t> q_data;
};

// Pulse-Doppler or noise map, float form (content ids 0x10 and 0x12).
struct PulseDopplerFloatData {
    uint32_t parameter_1 = 0;
    uint32_t parameter_2 = 0;
    uint32_t parameter_3 = 0;
    uint32_t parameter_4 = 0;
    uint32_t count = 0;
    uint32_t parameter_5 = 0;
    float parameter_6 = 0;
    float parameter_7 = 0;
    float parameter_8 = 0;
    float parameter_9 = 0;
    float parameter_10 = 0;
    std::vector<float> data;
};

// Pulse-Doppler or noise map, byte form (content ids 0x11 and 0x13).
struct PulseDopplerByteData {
    uint32_t parameter_1 = 0;
    uint32_t parameter_2 = 0;
    uint32_t parameter_3 = 0;
    uint32_t parameter_4 = 0;
    uint32_t count = 0;
    uint32_t parameter_5 = 0;
    float parameter_6 = 0;
    float parameter_7 = 0;
    float parameter_8 = 0;
    float parameter_9 = 0;
    float parameter_10 = 0;
    float parameter_11 = 0;
    float parameter_12 = 0;
    std::vector<uint8_t> data;
};

// Generic float data (message 0xA0 0x12).
struct DataFloat {
    uint32_t content_id = 0;
    uint32_t info = 0;
    std::vector<float> data;
};

// The radar chip's frame area, start then end, as the module reports it.
struct FrameArea {
    float start = 0;
    float end = 0;
};

// The module's file list: one type and one identifier per file.
struct Files {
    std::vector<int> file_types;
    std::vector<int> file_identifiers;
};

} // namespace Sarvik

// One normalized radar frame of the older chip interface: the message's info
// word and its samples.
struct RawNormalizedFrame {
    uint32_t info = 0;
    std::vector<float> data;
};
