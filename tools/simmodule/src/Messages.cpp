#include "simmodule/Messages.hpp"

#include <algorithm>
#include <cstddef>

namespace simmodule {

namespace command {

constexpr uint32_t led_control_parameter = 0x71AF2A2C;

Bytes ping()
{
    return { 0x01 };
}
Bytes set_sensor_mode()
{
    return { 0x20 };
}
Bytes module_reset()
{
    return { 0x22 };
}
Bytes set_led_control()
{
    return { 0x24 };
}
Bytes get_sensor_mode()
{
    return { 0x26 };
}
Bytes get_led_control()
{
    return PayloadWriter().u8(0x10).u8(0x11).u32(led_control_parameter).take();
}
Bytes get_system_info()
{
    return { 0x90, 0x58 };
}
Bytes get_system_info(uint8_t code)
{
    return { 0x90, 0x58, code };
}
Bytes open_file()
{
    return { 0x90, 0x72 };
}
Bytes get_profile_id()
{
    return { 0x90, 0x74 };
}
Bytes load_profile()
{
    return { 0x21 };
}
Bytes set_output_control()
{
    return { 0x41, 0x10 };
}
Bytes get_detection_zone_limits()
{
    return PayloadWriter().u8(0x10).u8(0x11).u32(parameter::detection_zone_limits).take();
}
Bytes get_tx_center_frequency()
{
    return PayloadWriter().u8(0x10).u8(0x11).u32(parameter::tx_center_frequency).take();
}
Bytes chip_get_downconversion()
{
    return chip_get(parameter::chip_downconversion);
}
Bytes chip_get_tx_center_frequency()
{
    return chip_get(parameter::chip_tx_center_frequency);
}
Bytes chip_set(uint32_t parameter)
{
    return PayloadWriter().u8(0x50).u8(0x10).u32(parameter).take();
}
Bytes chip_get(uint32_t parameter)
{
    return PayloadWriter().u8(0x50).u8(0x11).u32(parameter).take();
}
Bytes bootloader_info()
{
    return { 0xC0, 0x00 };
}
Bytes bootloader_page_write()
{
    return { 0xC0, 0x10 };
}
Bytes bootloader_start_application()
{
    return { 0xC0, 0x20 };
}

} // namespace command

Bytes ack_reply()
{
    return { message::ack };
}

Bytes error_reply(uint32_t code)
{
    return PayloadWriter().u8(message::error).u32(code).take();
}

Bytes pong_reply(uint32_t value)
{
    return PayloadWriter().u8(message::pong).u32(value).take();
}

Bytes get_reply(uint8_t type, uint32_t id, const Bytes& data, uint32_t info)
{
    return PayloadWriter()
        .u8(message::reply)
        .u8(type)
        .u32(id)
        .u32(info)
        .u32(static_cast<uint32_t>(data.size()))
        .bytes(data)
        .take();
}

Bytes byte_reply(uint32_t id, uint8_t value)
{
    return get_reply(value_type::byte, id, { value });
}

Bytes u32_reply(uint32_t id, uint32_t value)
{
    return get_reply(value_type::u32, id, PayloadWriter().u32(value).take());
}

Bytes f32_reply(uint32_t id, const std::vector<float>& values)
{
    return get_reply(value_type::f32, id, PayloadWriter().f32s(values).take());
}

Bytes text_reply(uint32_t id, const std::string& text)
{
    return get_reply(value_type::text, id, Bytes(text.begin(), text.end()));
}

Bytes system_info_reply(const std::string& text)
{
    return text_reply(0x58, text);
}

Bytes bootloader_reply(const std::string& data)
{
    return PayloadWriter().u8(message::bootloader).text(data).take();
}

Bytes system_status_message(uint32_t status)
{
    return PayloadWriter().u8(message::system_status).u32(status).take();
}

Bytes data_message(uint8_t sub_type, uint32_t content_id, uint32_t info, const Bytes& data)
{
    return PayloadWriter()
        .u8(message::data)
        .u8(sub_type)
        .u32(content_id)
        .u32(info)
        .u32(static_cast<uint32_t>(data.size()))
        .bytes(data)
        .take();
}

Bytes float_data_message(uint32_t content_id, uint32_t info, const std::vector<float>& values)
{
    // The host does not read the length field; it carries the byte count.
    return data_message(value_type::f32, content_id, info, PayloadWriter().f32s(values).take());
}

Bytes text_data_message(uint32_t content_id, uint32_t info, const std::string& text)
{
    return data_message(value_type::text, content_id, info, Bytes(text.begin(), text.end()));
}

Bytes byte_data_message(uint32_t content_id, uint32_t info, const Bytes& data)
{
    return data_message(value_type::byte, content_id, info, data);
}

Bytes app_data_message(uint32_t content_id, const Bytes& body)
{
    return PayloadWriter().u8(message::app_data).u32(content_id).bytes(body).take();
}

namespace {

// A list padded or cut to `count` items, so a message is never malformed by
// companion lists of unequal length.
std::vector<float> sized(const std::vector<float>& items, size_t count)
{
    std::vector<float> out(
        items.begin(), items.begin() + static_cast<std::ptrdiff_t>(std::min(count, items.size())));
    out.resize(count, 0.0f);
    return out;
}

} // namespace

Bytes presence_single_message(const PresenceSingle& m)
{
    return app_data_message(content::presence_single,
        PayloadWriter()
            .u32(m.frame_counter)
            .u32(m.presence_state)
            .f32(m.distance)
            .u8(m.direction)
            .u32(m.signal_quality)
            .take());
}

Bytes presence_moving_list_message(const PresenceMovingList& m)
{
    const size_t movements = m.movement_slow.size();
    const size_t detections = m.detection_distance.size();
    return app_data_message(content::presence_moving_list,
        PayloadWriter()
            .u32(m.frame_counter)
            .u32(m.presence_state)
            .u32(static_cast<uint32_t>(movements))
            .u32(static_cast<uint32_t>(detections))
            .f32s(m.movement_slow)
            .f32s(sized(m.movement_fast, movements))
            .f32s(m.detection_distance)
            .f32s(sized(m.detection_radar_cross_section, detections))
            .f32s(sized(m.detection_velocity, detections))
            .take());
}

Bytes respiration_status_message(const RespirationStatus& m)
{
    return app_data_message(content::respiration_status,
        PayloadWriter()
            .u32(m.frame_counter)
            .u32(m.sensor_state)
            .u32(m.respiration_rate)
            .f32(m.distance)
            .f32(m.movement)
            .u32(m.signal_quality)
            .take());
}

Bytes sleep_status_message(const SleepStatus& m)
{
    return app_data_message(content::sleep_status,
        PayloadWriter()
            .u32(m.frame_counter)
            .u32(m.sensor_state)
            .f32(m.respiration_rate)
            .f32(m.distance)
            .u32(m.signal_quality)
            .f32(m.movement_slow)
            .f32(m.movement_fast)
            .take());
}

Bytes respiration_moving_list_message(const RespirationMovingList& m)
{
    const size_t movements = m.movement_slow.size();
    return app_data_message(content::respiration_moving_list,
        PayloadWriter()
            .u32(m.frame_counter)
            .u32(static_cast<uint32_t>(movements))
            .f32s(m.movement_slow)
            .f32s(sized(m.movement_fast, movements))
            .take());
}

Bytes respiration_detection_list_message(const RespirationDetectionList& m)
{
    const size_t detections = m.distance.size();
    return app_data_message(content::respiration_detection_list,
        PayloadWriter()
            .u32(m.frame_counter)
            .u32(static_cast<uint32_t>(detections))
            .f32s(m.distance)
            .f32s(sized(m.radar_cross_section, detections))
            .f32s(sized(m.velocity, detections))
            .take());
}

Bytes vital_signs_message(const VitalSigns& m)
{
    return app_data_message(content::vital_signs,
        PayloadWriter()
            .u32(m.frame_counter)
            .u32(m.sensor_state)
            .f32s({ m.respiration_rate, m.respiration_distance, m.respiration_confidence, m.heart_rate,
                m.heart_distance, m.heart_confidence, m.movement_slow, m.movement_fast, m.movement_start,
                m.movement_end })
            .take());
}

Bytes normalized_moving_list_message(const NormalizedMovingList& m)
{
    const size_t movements = m.movement_slow.size();
    return app_data_message(content::normalized_moving_list,
        PayloadWriter()
            .u32(m.frame_counter)
            .f32(m.start)
            .f32(m.bin_length)
            .u32(static_cast<uint32_t>(movements))
            .f32s(m.movement_slow)
            .f32s(sized(m.movement_fast, movements))
            .take());
}

Bytes baseband_frame_message(uint32_t content_id, const BasebandFrame& m)
{
    std::vector<float> second = m.second;
    second.resize(m.first.size(), 0.0f);
    return app_data_message(content_id,
        PayloadWriter()
            .u32(m.frame_counter)
            .u32(static_cast<uint32_t>(m.first.size()))
            .f32(m.bin_length)
            .f32(0)
            .f32(0)
            .f32(m.range_offset)
            .f32s(m.first)
            .f32s(second)
            .take());
}

Bytes pulse_doppler_row_message(uint32_t content_id, const PulseDopplerHalfRow& m)
{
    const bool bytes = content_id == content::pulse_doppler_byte;
    const size_t count = bytes ? m.byte_values.size() : m.values.size();
    PayloadWriter writer;
    writer.u32(0)
        .u32(0)
        .u32(m.range_index)
        .u32(m.range_count)
        .u32(static_cast<uint32_t>(count))
        .u32(m.instance);
    if (bytes)
        writer.f32(m.byte_offset).f32(m.byte_step);
    writer.f32(0).f32(0).f32(m.frequency_start).f32(m.frequency_step).f32(m.range);
    if (bytes)
        writer.bytes(m.byte_values);
    else
        writer.f32s(m.values);
    return app_data_message(content_id, writer.take());
}

} // namespace simmodule
