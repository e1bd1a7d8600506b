#include "simmodule/Framing.hpp"
#include <algorithm>

namespace simmodule {

namespace {

constexpr uint8_t start_byte = 0x7D;
constexpr uint8_t end_byte = 0x7E;
constexpr uint8_t escape_byte = 0x7F;
constexpr uint8_t raw_length_first_byte = 0x51;
constexpr uint8_t marker_byte = 0x7C;

void append_escaped(Bytes& out, uint8_t byte)
{
    if (is_special(byte))
        out.push_back(escape_byte);
    out.push_back(byte);
}

void append_u32(Bytes& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

void append_raw_length(Bytes& out, const Bytes& data, uint8_t trailing)
{
    out.push_back(raw_length_first_byte);
    append_u32(out, static_cast<uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    out.push_back(trailing);
}

void append_marker(Bytes& out, const Bytes& data, uint8_t skipped)
{
    out.insert(out.end(), 4, marker_byte);
    append_u32(out, static_cast<uint32_t>(data.size()));
    out.push_back(skipped);
    out.insert(out.end(), data.begin(), data.end());
}

} // namespace

void append_frame(Bytes& out, const uint8_t* payload, size_t size)
{
    // Room for the worst case, grown geometrically: frames are appended one
    // after another to one long buffer, and reserving exactly what one
    // needs would copy the whole buffer for every frame.
    const size_t needed = out.size() + size + size / 8 + 4;
    if (out.capacity() < needed)
        out.reserve(std::max(needed, 2 * out.capacity()));
    out.push_back(start_byte);
    uint8_t checksum = start_byte;
    for (size_t i = 0; i < size; ++i) {
        append_escaped(out, payload[i]);
        checksum ^= payload[i];
    }
    append_escaped(out, checksum);
    out.push_back(end_byte);
}

Bytes frame(const Bytes& payload)
{
    Bytes out;
    append_frame(out, payload.data(), payload.size());
    return out;
}

Bytes raw_length_packet(const Bytes& data, uint8_t trailing)
{
    Bytes out;
    append_raw_length(out, data, trailing);
    return out;
}

Bytes marker_packet(const Bytes& data, uint8_t skipped)
{
    Bytes out;
    append_marker(out, data, skipped);
    return out;
}

void append_encoded(Bytes& out, const Bytes& payload, Form form)
{
    switch (form) {
    case Form::Framed:
        append_frame(out, payload.data(), payload.size());
        return;
    case Form::RawLength:
        append_raw_length(out, payload, 0x00);
        return;
    case Form::Marker:
        append_marker(out, payload, 0x00);
        return;
    case Form::Raw:
        out.insert(out.end(), payload.begin(), payload.end());
        return;
    }
}

Bytes encode(const Bytes& payload, Form form)
{
    Bytes out;
    append_encoded(out, payload, form);
    return out;
}

} // namespace simmodule
