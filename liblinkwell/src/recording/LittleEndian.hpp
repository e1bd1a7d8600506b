// Little-endian numbers in the files of a recording.
#pragma once

#include <cstdint>
#include <cstring>

#include <linkwell/Bytes.hpp>

inline void put_u8(Bytes& out, uint8_t value)
{
    out.push_back(value);
}

inline void put_u32(Bytes& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

inline void put_i64(Bytes& out, int64_t value)
{
    const auto bits = static_cast<uint64_t>(value);
    for (int shift = 0; shift < 64; shift += 8)
        out.push_back(static_cast<uint8_t>(bits >> shift));
}

inline void put_f32(Bytes& out, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    put_u32(out, bits);
}

inline uint32_t get_u32(const void* data)
{
    const auto* b = static_cast<const uint8_t*>(data);
    return b[0] | b[1] << 8 | b[2] << 16 | uint32_t { b[3] } << 24;
}

inline int64_t get_i64(const void* data)
{
    const auto* b = static_cast<const uint8_t*>(data);
    return static_cast<int64_t>(get_u32(b) | uint64_t { get_u32(b + 4) } << 32);
}
