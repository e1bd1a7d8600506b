// Well-formed module messages as the receiver delivers them (de-framed), for
// tests of the decoders and of everything that consumes decoded records.
//
// Field values follow one rule so that a test can tell every field apart:
// the k-th field of a message (counting from 1, in wire order, the counts
// included) holds u32_field(k) when it is an integer and f32_field(k) when it
// is a float; element i of the j-th array (counting from 1) holds
// f32_item(j, i), i16_item(j, i) or u8_item(i).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/TestSupport.hpp"

struct MessageKind;

namespace testsupport::packets {

inline uint32_t u32_field(int k)
{
    return 0x01000000u * k + 100u + k;
}
inline float f32_field(int k)
{
    return k + 0.5f;
}
inline float f32_item(int j, uint32_t i)
{
    return j * 1000.0f + i + 0.25f;
}
// The elements f32_item(j, 0) to f32_item(j, n - 1) of the j-th array.
inline std::vector<float> f32_items(int j, uint32_t n)
{
    std::vector<float> out;
    for (uint32_t i = 0; i < n; ++i)
        out.push_back(f32_item(j, i));
    return out;
}
inline int16_t i16_item(int j, uint32_t i)
{
    return static_cast<int16_t>(j == 1 ? 1000 + i : -2000 - int(i));
}
inline uint8_t u8_item(uint32_t i)
{
    return static_cast<uint8_t>(0xF0 + i);
}

// The start of an application data message (0x50) of the content id, for a
// test to add the fields to.
inline PayloadBuilder appdata(uint32_t content_id)
{
    PayloadBuilder b;
    b.u8(0x50).u32(content_id);
    return b;
}

Bytes pong(uint32_t value);
Bytes ack();
Bytes error(uint32_t code);
Bytes system_status(uint32_t status);
// A reply whose length field is the size of data.
Bytes reply(uint8_t type, uint32_t id, uint32_t info, const Bytes& data);
Bytes data_float(uint32_t content_id, uint32_t info, const std::vector<float>& values);

// Application data (0x50) by content; fields as the rule above says.
Bytes respiration_status();
Bytes sleep_status();
Bytes vitalsigns_status();
Bytes sleepstage_status();
Bytes presence_single(); // direction 0x7F
Bytes presence_movinglist(uint32_t movement_count, uint32_t detection_count);
Bytes respiration_movinglist(uint32_t movement_count);
Bytes respiration_detectionlist(uint32_t detection_count);
Bytes respiration_normalizedmovementlist(uint32_t count);
Bytes baseband(uint32_t content_id, uint32_t bins); // I/Q (0x0C) or amplitude/phase (0x0D)
Bytes radar_rf(uint32_t content_id, uint32_t bins); // RF or RF normalized
Bytes radar_baseband_float(uint32_t bins);
Bytes radar_baseband_q15(uint32_t bins);
Bytes pulsedoppler_float(uint32_t content_id, uint32_t count); // 0x10 or 0x12
Bytes pulsedoppler_byte(uint32_t content_id, uint32_t count); // 0x11 or 0x13

// Generic data (0xA0): sub-type, content id, info, payload length, payload.
Bytes generic_data(uint8_t subtype, uint32_t content_id, uint32_t info, const Bytes& payload);

// One well-formed packet of each kind of the message catalogue, with fields
// as the rule above says; throws std::out_of_range for a kind that has no
// test packet yet.
Bytes of_kind(const MessageKind& kind);

// Overwrites the u32 at offset (little-endian).
void put_u32(Bytes& packet, size_t offset, uint32_t value);

} // namespace testsupport::packets
