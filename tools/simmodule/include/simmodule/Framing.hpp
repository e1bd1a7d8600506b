// Wire forms in which the simulated module sends packets to the host.
//
// Written apart from the library's codec on purpose: a fault in the codec
// must show up as a mismatch against these bytes, not be mirrored by them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace simmodule {

using Bytes = std::vector<uint8_t>;

// How a packet goes on the wire.
enum class Form {
    // 0x7D, payload with 0x7D/0x7E/0x7F escaped as 0x7F + byte, checksum
    // (0x7D XOR every payload byte, escaped the same way), 0x7E.
    Framed,
    // 0x51, u32 length L, the L data bytes, one trailing byte. The host
    // receives 0x51, the length and the data; the trailing byte is dropped.
    RawLength,
    // 7C 7C 7C 7C, u32 length L, one skipped byte, the L data bytes. The host
    // receives the data bytes only.
    Marker,
    // The bytes exactly as given: for malformed input.
    Raw,
};

// True for the three bytes that are escaped inside a frame.
inline bool is_special(uint8_t byte)
{
    return byte >= 0x7D && byte <= 0x7F;
}

// Appends one framed packet holding `size` payload bytes.
void append_frame(Bytes& out, const uint8_t* payload, size_t size);
// One framed packet.
Bytes frame(const Bytes& payload);
// One raw length packet carrying `data`.
Bytes raw_length_packet(const Bytes& data, uint8_t trailing = 0x00);
// One marker packet carrying `data`.
Bytes marker_packet(const Bytes& data, uint8_t skipped = 0x00);

// Appends `payload` in the given form.
void append_encoded(Bytes& out, const Bytes& payload, Form form);
// `payload` in the given form.
Bytes encode(const Bytes& payload, Form form);

} // namespace simmodule
