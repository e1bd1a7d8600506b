#include "support/MessagePackets.hpp"

#include <functional>
#include <map>
#include <stdexcept>

#include "protocol/MessageKind.hpp"

namespace testsupport::packets {

namespace {

void float_array(PayloadBuilder& b, int j, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        b.f32(f32_item(j, i));
}

} // namespace

Bytes pong(uint32_t value)
{
    return PayloadBuilder().u8(0x01).u32(value);
}

Bytes ack()
{
    return { 0x10 };
}

Bytes error(uint32_t code)
{
    return PayloadBuilder().u8(0x20).u32(code);
}

Bytes system_status(uint32_t status)
{
    return PayloadBuilder().u8(0x30).u32(status);
}

Bytes reply(uint8_t type, uint32_t id, uint32_t info, const Bytes& data)
{
    return PayloadBuilder()
        .u8(0x11)
        .u8(type)
        .u32(id)
        .u32(info)
        .u32(static_cast<uint32_t>(data.size()))
        .bytes(data);
}

Bytes data_float(uint32_t content_id, uint32_t info, const std::vector<float>& values)
{
    PayloadBuilder b;
    b.u8(0xA0).u8(0x12).u32(content_id).u32(info).u32(static_cast<uint32_t>(values.size()));
    for (float v : values)
        b.f32(v);
    return b;
}

Bytes respiration_status()
{
    auto b = appdata(0x2375FE26);
    b.u32(u32_field(1))
        .u32(u32_field(2))
        .u32(u32_field(3))
        .f32(f32_field(4))
        .f32(f32_field(5))
        .u32(u32_field(6));
    return b;
}

Bytes sleep_status()
{
    auto b = appdata(0x2375A16C);
    b.u32(u32_field(1)).u32(u32_field(2)).f32(f32_field(3)).f32(f32_field(4)).u32(u32_field(5));
    b.f32(f32_field(6)).f32(f32_field(7));
    return b;
}

Bytes vitalsigns_status()
{
    auto b = appdata(0x20020102);
    b.u32(u32_field(1)).u32(u32_field(2));
    for (int k = 3; k <= 12; ++k)
        b.f32(f32_field(k));
    return b;
}

Bytes sleepstage_status()
{
    auto b = appdata(0x41083A02);
    b.u32(u32_field(1)).u32(u32_field(2)).u32(u32_field(3));
    return b;
}

Bytes presence_single()
{
    auto b = appdata(0x723BFA1E);
    b.u32(u32_field(1)).u32(u32_field(2)).f32(f32_field(3)).u8(0x7F).u32(u32_field(5));
    return b;
}

Bytes presence_movinglist(uint32_t m, uint32_t d)
{
    auto b = appdata(0x723BFA1F);
    b.u32(u32_field(1)).u32(u32_field(2)).u32(m).u32(d);
    float_array(b, 1, m);
    float_array(b, 2, m);
    float_array(b, 3, d);
    float_array(b, 4, d);
    float_array(b, 5, d);
    return b;
}

Bytes respiration_movinglist(uint32_t m)
{
    auto b = appdata(0x610A3B00);
    b.u32(u32_field(1)).u32(m);
    float_array(b, 1, m);
    float_array(b, 2, m);
    return b;
}

Bytes respiration_detectionlist(uint32_t d)
{
    auto b = appdata(0x610A3B02);
    b.u32(u32_field(1)).u32(d);
    float_array(b, 1, d);
    float_array(b, 2, d);
    float_array(b, 3, d);
    return b;
}

Bytes respiration_normalizedmovementlist(uint32_t n)
{
    auto b = appdata(0xC3A331CF);
    b.u32(u32_field(1)).f32(f32_field(2)).f32(f32_field(3)).u32(n);
    float_array(b, 1, n);
    float_array(b, 2, n);
    return b;
}

Bytes baseband(uint32_t content_id, uint32_t n)
{
    auto b = appdata(content_id);
    b.u32(u32_field(1)).u32(n).f32(f32_field(3)).f32(f32_field(4)).f32(f32_field(5)).f32(f32_field(6));
    float_array(b, 1, n);
    float_array(b, 2, n);
    return b;
}

namespace {

// frame_counter, num_bins, parameter_1 .. parameter_5 (parameter_4 an integer)
void radar_head(PayloadBuilder& b, uint32_t n)
{
    b.u32(u32_field(1)).u32(n).f32(f32_field(3)).f32(f32_field(4)).f32(f32_field(5)).u32(u32_field(6));
    b.f32(f32_field(7));
}

void radar_baseband_head(PayloadBuilder& b, uint32_t n)
{
    radar_head(b, n);
    b.u32(u32_field(8)).u32(u32_field(9)).f32(f32_field(10)).f32(f32_field(11));
}

void pulsedoppler_head(PayloadBuilder& b, uint32_t n)
{
    b.u32(u32_field(1)).u32(u32_field(2)).u32(u32_field(3)).u32(u32_field(4)).u32(n).u32(u32_field(6));
    for (int k = 7; k <= 11; ++k)
        b.f32(f32_field(k));
}

} // namespace

Bytes radar_rf(uint32_t content_id, uint32_t n)
{
    auto b = appdata(content_id);
    radar_head(b, n);
    float_array(b, 1, n);
    return b;
}

Bytes radar_baseband_float(uint32_t n)
{
    auto b = appdata(0x026F1379);
    radar_baseband_head(b, n);
    float_array(b, 1, n);
    float_array(b, 2, n);
    return b;
}

Bytes radar_baseband_q15(uint32_t n)
{
    auto b = appdata(0xEC8D0AA5);
    radar_baseband_head(b, n);
    b.f32(f32_field(12));
    for (uint32_t i = 0; i < n; ++i)
        b.u16(static_cast<uint16_t>(i16_item(1, i)));
    for (uint32_t i = 0; i < n; ++i)
        b.u16(static_cast<uint16_t>(i16_item(2, i)));
    return b;
}

Bytes pulsedoppler_float(uint32_t content_id, uint32_t n)
{
    auto b = appdata(content_id);
    pulsedoppler_head(b, n);
    float_array(b, 1, n);
    return b;
}

Bytes pulsedoppler_byte(uint32_t content_id, uint32_t n)
{
    auto b = appdata(content_id);
    pulsedoppler_head(b, n);
    b.f32(f32_field(12)).f32(f32_field(13));
    for (uint32_t i = 0; i < n; ++i)
        b.u8(u8_item(i));
    return b;
}

Bytes generic_data(uint8_t subtype, uint32_t content_id, uint32_t info, const Bytes& payload)
{
    return PayloadBuilder()
        .u8(0xA0)
        .u8(subtype)
        .u32(content_id)
        .u32(info)
        .u32(static_cast<uint32_t>(payload.size()))
        .bytes(payload);
}

Bytes of_kind(const MessageKind& kind)
{
    // One row per kind of the catalogue, by its name.
    static const std::map<std::string, std::function<Bytes()>> rows {
        { "PresenceSingle", [] { return presence_single(); } },
        { "PresenceMovingList", [] { return presence_movinglist(2, 3); } },
        { "DataFloat",
            [] {
                return data_float(u32_field(1), u32_field(2), { f32_item(1, 0), f32_item(1, 1) });
            } },
        { "DataString",
            [] {
                return generic_data(0x13, u32_field(1), u32_field(2), { 'o', 'k' });
            } },
        { "DataByte",
            [] {
                return generic_data(0x10, u32_field(1), u32_field(2), { u8_item(0), u8_item(1) });
            } },
        { "BasebandIq", [] { return baseband(0x0C, 3); } },
        { "BasebandAp", [] { return baseband(0x0D, 3); } },
        { "PulseDopplerFloat", [] { return pulsedoppler_float(0x10, 4); } },
        { "NoiseMapFloat", [] { return pulsedoppler_float(0x12, 4); } },
        { "PulseDopplerByte", [] { return pulsedoppler_byte(0x11, 4); } },
        { "NoiseMapByte", [] { return pulsedoppler_byte(0x13, 4); } },
        { "SystemMessage", [] { return system_status(u32_field(1)); } },
        { "RespirationLegacy", [] { return respiration_status(); } },
        { "RespirationSleep", [] { return sleep_status(); } },
        { "RespirationMovingList", [] { return respiration_movinglist(2); } },
        { "RespirationDetectionList", [] { return respiration_detectionlist(2); } },
        { "RespirationNormalizedMovementList", [] { return respiration_normalizedmovementlist(2); } },
        { "SleepStage", [] { return sleepstage_status(); } },
        { "VitalSigns", [] { return vitalsigns_status(); } },
        { "RadarRf", [] { return radar_rf(0xC1A3117E, 3); } },
        { "RadarRfNormalized", [] { return radar_rf(0xB13B8F12, 3); } },
        { "RadarBasebandFloat", [] { return radar_baseband_float(3); } },
        { "RadarBasebandQ15", [] { return radar_baseband_q15(3); } },
        { "PerformanceStatus",
            [] { return PayloadBuilder().u8(0xA0).u8(0x50).u8(0x05).u32(u32_field(1)).build(); } },
        { "RadarSettings",
            [] { return PayloadBuilder().u8(0xA0).u8(0x50).u8(0x03).u32(u32_field(1)).build(); } },
    };
    const auto row = rows.find(kind.name);
    if (row == rows.end())
        throw std::out_of_range(std::string("no test packet for the message kind ") + kind.name);
    return row->second();
}

void put_u32(Bytes& packet, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        packet.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
}

} // namespace testsupport::packets
