// Frames one command packet from a list of typed payload fields, in wire
// order, through the streaming writer. The plain command builders are rows
// built on it: a name, the parameters and the payload fields
// (LINKWELL_COMMAND / LINKWELL_FIXED_COMMAND below), so a new command that
// shares a family's shape is one row.
#pragma once

#include <linkwell/protocol_commands.h>

#include <cstdint>

namespace command_fields {

// The leading payload bytes: the command family and, in most families, the
// operation within it.
struct Head {
    constexpr explicit Head(uint8_t family)
        : bytes { family, 0 }
        , count(1)
    { }
    constexpr Head(uint8_t family, uint8_t operation)
        : bytes { family, operation }
        , count(2)
    { }
    uint8_t bytes[2];
    uint8_t count;
};

// count bytes as they are.
struct ByteSpan {
    const uint8_t* data;
    uint32_t count;
};

// count 32-bit integers.
struct IntSpan {
    const int32_t* data;
    uint32_t count;
};

// count floats. 64-bit so that a count of 2 * n cannot wrap.
struct FloatSpan {
    const float* data;
    uint64_t count;
};

// The first length characters of a text, then a terminating NUL of our own,
// so the caller's text need not be NUL-terminated.
struct Text {
    const char* data;
    uint32_t length;
};

// A byte that is sent only when present is true.
struct OptionalByte {
    bool present;
    uint8_t value;
};

// The bootloader's page address: bits 15-8, bits 7-0 (high byte first,
// unlike every other field), then a 0x00; higher bits are not sent.
struct PageAddress {
    uint32_t value;
};

// Exactly these types are fields; an argument of any other type is a
// mistake in a row (an int literal would otherwise pick a 4-byte field).
template <typename T> void put(T, SendByteCallback, void*) = delete;

inline void put(uint8_t value, SendByteCallback callback, void* user)
{
    process_byte(value, callback, user);
}

inline void put(uint32_t value, SendByteCallback callback, void* user)
{
    process_uint(value, callback, user);
}

inline void put(int32_t value, SendByteCallback callback, void* user)
{
    process_int(value, callback, user);
}

inline void put(float value, SendByteCallback callback, void* user)
{
    process_float(value, callback, user);
}

inline void put(const Head& head, SendByteCallback callback, void* user)
{
    process_bytes(head.bytes, head.count, callback, user);
}

inline void put(const ByteSpan& span, SendByteCallback callback, void* user)
{
    process_bytes(span.data, span.count, callback, user);
}

inline void put(const IntSpan& span, SendByteCallback callback, void* user)
{
    process_ints(span.data, span.count, callback, user);
}

inline void put(const FloatSpan& span, SendByteCallback callback, void* user)
{
    for (uint64_t i = 0; i < span.count; ++i)
        process_float(span.data[i], callback, user);
}

inline void put(const Text& text, SendByteCallback callback, void* user)
{
    for (uint32_t i = 0; i < text.length; ++i)
        process_byte(static_cast<uint8_t>(text.data[i]), callback, user);
    process_byte(0, callback, user);
}

inline void put(const OptionalByte& optional, SendByteCallback callback, void* user)
{
    if (optional.present)
        process_byte(optional.value, callback, user);
}

inline void put(const PageAddress& address, SendByteCallback callback, void* user)
{
    process_byte(static_cast<uint8_t>(address.value >> 8), callback, user);
    process_byte(static_cast<uint8_t>(address.value), callback, user);
    process_byte(0, callback, user);
}

// One whole packet: start byte, the fields, checksum, end byte.
template <typename... Fields>
int write_command(SendByteCallback callback, void* user, const Fields&... fields)
{
    packet_start(callback, user);
    (put(fields, callback, user), ...);
    packet_end(callback, user);
    return 0;
}

} // namespace command_fields

#define LINKWELL_UNPAREN(...) __VA_ARGS__

// A builder with parameters: LINKWELL_COMMAND(name, (parameters), fields...).
#define LINKWELL_COMMAND(name, parameters, ...)                                                              \
    int name(LINKWELL_UNPAREN parameters, SendByteCallback callback, void* user)                             \
    {                                                                                                        \
        return command_fields::write_command(callback, user, __VA_ARGS__);                                   \
    }

// A builder without parameters: LINKWELL_FIXED_COMMAND(name, fields...).
#define LINKWELL_FIXED_COMMAND(name, ...)                                                                    \
    int name(SendByteCallback callback, void* user)                                                          \
    {                                                                                                        \
        return command_fields::write_command(callback, user, __VA_ARGS__);                                   \
    }
