// Payloads in the module's own formats: replies to commands, data messages,
// and the prefixes of the commands that scripts answer most often.
//
// Every multi-byte value is little-endian, every float an IEEE-754 single.
// These return payloads; the module frames them when it sends them.
#pragma once

#include "simmodule/Framing.hpp"
#include "simmodule/PayloadWriter.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace simmodule {

// First bytes of the module's messages.
namespace message {
constexpr uint8_t pong = 0x01;
constexpr uint8_t ack = 0x10;
constexpr uint8_t reply = 0x11;
constexpr uint8_t error = 0x20;
constexpr uint8_t system_status = 0x30;
constexpr uint8_t app_data = 0x50;
constexpr uint8_t data = 0xA0;
constexpr uint8_t bootloader = 0xE0;
} // namespace message

// Type byte of a get reply (0x11) and sub-type of a data message (0xA0).
namespace value_type {
constexpr uint8_t byte = 0x10;
constexpr uint8_t u32 = 0x11;
constexpr uint8_t f32 = 0x12;
constexpr uint8_t text = 0x13;
} // namespace value_type

// Content ids of application data (0x50) messages.
namespace content {
constexpr uint32_t respiration_status = 0x2375FE26;
constexpr uint32_t sleep_status = 0x2375A16C;
constexpr uint32_t respiration_moving_list = 0x610A3B00;
constexpr uint32_t respiration_detection_list = 0x610A3B02;
constexpr uint32_t vital_signs = 0x20020102;
constexpr uint32_t normalized_moving_list = 0xC3A331CF;
constexpr uint32_t presence_single = 0x723BFA1E;
constexpr uint32_t presence_moving_list = 0x723BFA1F;
constexpr uint32_t baseband_iq = 0x0C;
constexpr uint32_t baseband_amplitude_phase = 0x0D;
constexpr uint32_t pulse_doppler_float = 0x10;
constexpr uint32_t pulse_doppler_byte = 0x11;
// Content id of the float data (0xA0) frames of a radar chip.
constexpr uint32_t chip_frame = 0x10;
} // namespace content

// System-information codes of the get-system-info command.
namespace system_info {
constexpr uint8_t item_number = 0;
constexpr uint8_t order_code = 1;
constexpr uint8_t firmware_id = 2;
constexpr uint8_t firmware_version = 3;
constexpr uint8_t build_info = 4;
constexpr uint8_t app_id_list = 5;
constexpr uint8_t serial_number = 6;
} // namespace system_info

// Command prefixes (the payload bytes a command starts with), for rules.
namespace command {
Bytes ping(); // 01
Bytes set_sensor_mode(); // 20 (then the mode byte)
Bytes module_reset(); // 22
Bytes set_led_control(); // 24
Bytes get_sensor_mode(); // 26
Bytes get_led_control(); // 10 11 and the LED parameter id
Bytes get_system_info(); // 90 58 (then the code byte)
Bytes get_system_info(uint8_t code); // 90 58 code
Bytes open_file(); // 90 72 (then the file's type and id)
Bytes get_profile_id(); // 90 74
Bytes load_profile(); // 21 (then the u32 profile id)
Bytes set_output_control(); // 41 10 (then the u32 output and the u32 control)
Bytes get_detection_zone_limits(); // 10 11 and the parameter id 0x96A10A1D
Bytes get_tx_center_frequency(); // 10 11 and the parameter id 0x71AF2A2B
Bytes chip_get_downconversion(); // 50 11 13 00 00 00
Bytes chip_get_tx_center_frequency(); // 50 11 20 00 00 00
Bytes chip_set(uint32_t parameter); // 50 10 and the parameter id (then the values)
Bytes chip_get(uint32_t parameter); // 50 11 and the parameter id
Bytes bootloader_info(); // C0 00
Bytes bootloader_page_write(); // C0 10 (then the page address and bytes)
Bytes bootloader_start_application(); // C0 20
} // namespace command

// Application and chip-driver parameter ids that the replies carry.
namespace parameter {
constexpr uint32_t detection_zone_limits = 0x96A10A1D;
constexpr uint32_t tx_center_frequency = 0x71AF2A2B;
constexpr uint32_t chip_downconversion = 0x13;
constexpr uint32_t chip_tx_center_frequency = 0x20;
constexpr uint32_t chip_fps = 0x10;
constexpr uint32_t chip_frame_area = 0x14;
} // namespace parameter

// Replies.
Bytes ack_reply(); // 10
Bytes error_reply(uint32_t code); // 20, u32 code
Bytes pong_reply(uint32_t value); // 01, u32 value
// A get reply: 11, type, u32 id, u32 info, u32 length, data. A host waiting
// for {0x11, type, low byte of id} takes it.
Bytes get_reply(uint8_t type, uint32_t id, const Bytes& data, uint32_t info = 0);
Bytes byte_reply(uint32_t id, uint8_t value);
Bytes u32_reply(uint32_t id, uint32_t value);
Bytes f32_reply(uint32_t id, const std::vector<float>& values);
Bytes text_reply(uint32_t id, const std::string& text);
// The answer to get-system-info: a text reply with id 0x58.
Bytes system_info_reply(const std::string& text);
// A bootloader's answer: E0, then the data (the information text, or
// nothing for an acknowledgement).
Bytes bootloader_reply(const std::string& data = {});

// Messages the module sends unasked.
Bytes system_status_message(uint32_t status); // 30, u32 status
// A data message: A0, sub-type, u32 content id, u32 info, u32 length, data.
Bytes data_message(uint8_t sub_type, uint32_t content_id, uint32_t info, const Bytes& data);
Bytes float_data_message(uint32_t content_id, uint32_t info, const std::vector<float>& values);
Bytes text_data_message(uint32_t content_id, uint32_t info, const std::string& text);
Bytes byte_data_message(uint32_t content_id, uint32_t info, const Bytes& data);
// Application data: 50, u32 content id, body.
Bytes app_data_message(uint32_t content_id, const Bytes& body);

struct PresenceSingle {
    uint32_t frame_counter = 0;
    uint32_t presence_state = 0;
    float distance = 0;
    uint8_t direction = 0;
    uint32_t signal_quality = 0;
};
Bytes presence_single_message(const PresenceSingle& m); // 22 bytes

struct PresenceMovingList {
    uint32_t frame_counter = 0;
    uint32_t presence_state = 0;
    std::vector<float> movement_slow; // m items; movement_fast has the same count
    std::vector<float> movement_fast;
    std::vector<float> detection_distance; // d items each
    std::vector<float> detection_radar_cross_section;
    std::vector<float> detection_velocity;
};
// 21 + 8m + 12d bytes. The counts come from movement_slow and
// detection_distance; shorter companion lists are padded with zeros.
Bytes presence_moving_list_message(const PresenceMovingList& m);

struct RespirationStatus {
    uint32_t frame_counter = 0;
    uint32_t sensor_state = 0;
    uint32_t respiration_rate = 0; // breaths per minute
    float distance = 0;
    float movement = 0;
    uint32_t signal_quality = 0;
};
Bytes respiration_status_message(const RespirationStatus& m); // 29 bytes

// The older module's sleep status: its respiration values and how much the
// sleeper moves, slowly (turning over) and fast (twitches).
struct SleepStatus {
    uint32_t frame_counter = 0;
    uint32_t sensor_state = 0;
    float respiration_rate = 0;
    float distance = 0;
    uint32_t signal_quality = 0;
    float movement_slow = 0;
    float movement_fast = 0;
};
Bytes sleep_status_message(const SleepStatus& m); // 33 bytes

struct RespirationMovingList {
    uint32_t frame_counter = 0;
    std::vector<float> movement_slow; // m items; movement_fast padded to m
    std::vector<float> movement_fast;
};
Bytes respiration_moving_list_message(const RespirationMovingList& m); // 13 + 8m bytes

struct RespirationDetectionList {
    uint32_t frame_counter = 0;
    std::vector<float> distance; // d items; the others padded to d
    std::vector<float> radar_cross_section;
    std::vector<float> velocity;
};
Bytes respiration_detection_list_message(const RespirationDetectionList& m); // 13 + 12d bytes

struct VitalSigns {
    uint32_t frame_counter = 0;
    uint32_t sensor_state = 0;
    float respiration_rate = 0;
    float respiration_distance = 0;
    float respiration_confidence = 0;
    float heart_rate = 0;
    float heart_distance = 0;
    float heart_confidence = 0;
    float movement_slow = 0;
    float movement_fast = 0;
    float movement_start = 0; // metres: the span the movement values cover
    float movement_end = 0;
};
Bytes vital_signs_message(const VitalSigns& m); // 53 bytes

// Movement per range bin as range-adjusted power, from `start` on in bins of
// `bin_length` metres.
struct NormalizedMovingList {
    uint32_t frame_counter = 0;
    float start = 0;
    float bin_length = 0;
    std::vector<float> movement_slow; // m items; movement_fast padded to m
    std::vector<float> movement_fast;
};
Bytes normalized_moving_list_message(const NormalizedMovingList& m); // 21 + 8m bytes

// A baseband frame: I and Q values (content baseband_iq) or amplitudes and
// phases (baseband_amplitude_phase), one of each per range bin.
struct BasebandFrame {
    uint32_t frame_counter = 0;
    float bin_length = 0;
    float range_offset = 0;
    std::vector<float> first; // n items: I values or amplitudes
    std::vector<float> second; // Q values or phases, padded to n
};
// 29 + 8n bytes: the frame counter, n, the bin length, two fields the host
// does not read, the range offset, then the two lists.
Bytes baseband_frame_message(uint32_t content_id, const BasebandFrame& m);

// One half of one range row of a pulse-Doppler matrix: the negative
// frequencies (a negative frequency start) or the rest.
struct PulseDopplerHalfRow {
    uint32_t range_index = 0;
    uint32_t range_count = 0;
    uint32_t instance = 0;
    float frequency_start = 0;
    float frequency_step = 0;
    float range = 0;
    // Byte rows (content pulse_doppler_byte) carry their values as bytes
    // b, meaning 10^((b * byte_step + byte_offset) / 10).
    float byte_offset = 0;
    float byte_step = 0;
    std::vector<float> values; // pulse_doppler_float: m values
    Bytes byte_values; // pulse_doppler_byte: m values
};
// Two fields the host does not read, the range index, the range count, m,
// the instance, (byte rows: the byte offset and step,) two more unread
// fields, the frequency start and step, the range, then the m values.
Bytes pulse_doppler_row_message(uint32_t content_id, const PulseDopplerHalfRow& m);

} // namespace simmodule
