// Multi-byte values as the module protocol carries them: little-endian, at
// any byte offset (no alignment), read and written the same way whatever the
// host's byte order. Callers check the length first: these read exactly the
// bytes they are given.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace little_endian {

inline uint16_t u16(const uint8_t* bytes)
{
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

inline int16_t i16(const uint8_t* bytes)
{
    return static_cast<int16_t>(u16(bytes));
}

inline uint32_t u32(const uint8_t* bytes)
{
    return uint32_t { bytes[0] } | uint32_t { bytes[1] } << 8 | uint32_t { bytes[2] } << 16
        | uint32_t { bytes[3] } << 24;
}

inline int64_t i64(const uint8_t* bytes)
{
    return static_cast<int64_t>(u32(bytes) | uint64_t { u32(bytes + 4) } << 32);
}

inline float f32(const uint8_t* bytes)
{
    const uint32_t bits = u32(bytes);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// The same from bytes read into a char buffer (files).
inline uint32_t u32(const char* bytes)
{
    return u32(reinterpret_cast<const uint8_t*>(bytes));
}

inline int64_t i64(const char* bytes)
{
    return i64(reinterpret_cast<const uint8_t*>(bytes));
}

// Appended least significant byte first.
inline void append_u8(std::vector<uint8_t>& bytes, uint8_t value)
{
    bytes.push_back(value);
}

inline void append_u32(std::vector<uint8_t>& bytes, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<uint8_t>(value >> shift));
}

inline void append_i64(std::vector<uint8_t>& bytes, int64_t value)
{
    const auto bits = static_cast<uint64_t>(value);
    for (int shift = 0; shift < 64; shift += 8)
        bytes.push_back(static_cast<uint8_t>(bits >> shift));
}

inline void append_f32(std::vector<uint8_t>& bytes, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    append_u32(bytes, bits);
}

} // namespace little_endian
