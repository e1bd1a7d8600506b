// Streaming frame writer. Every operation hands its output to the caller's
// callback one byte at a time; nothing is buffered or allocated.
#include <linkwell/protocol_framing.h>

#include <cstring>
#include <type_traits>

namespace {

// The running checksum of the packet being framed on this thread. One value
// per thread: connections frame commands on their callers' threads, and a
// process-wide value would mix the checksums of packets framed concurrently.
thread_local uint8_t running_checksum = PROTOCOL_START_BYTE;

inline void emit_payload_byte(uint8_t value, SendByteCallback callback, void* user)
{
    if (isSpecialByte(value))
        callback(PROTOCOL_ESCAPE_BYTE, user);
    running_checksum ^= value;
    callback(value, user);
}

template <typename T> inline void emit_little_endian(T value, SendByteCallback callback, void* user)
{
    static_assert(sizeof(T) == 2 || sizeof(T) == 4, "16- and 32-bit values only");
    // Shifting the integer image puts the wire in little-endian order
    // whatever the host's byte order is.
    using Bits = std::conditional_t<sizeof(T) == 2, uint16_t, uint32_t>;
    Bits bits;
    std::memcpy(&bits, &value, sizeof(T));
    for (size_t i = 0; i < sizeof(T); ++i)
        emit_payload_byte(static_cast<uint8_t>(bits >> (8 * i)), callback, user);
}

template <typename T>
inline void emit_array(const T* values, uint32_t count, SendByteCallback callback, void* user)
{
    for (uint32_t i = 0; i < count; ++i)
        emit_little_endian(values[i], callback, user);
}

} // namespace

extern "C" {

bool isSpecialByte(unsigned int byte)
{
    const unsigned int low = byte & 0xFFu;
    return low == PROTOCOL_START_BYTE || low == PROTOCOL_END_BYTE || low == PROTOCOL_ESCAPE_BYTE;
}

void packet_start(SendByteCallback callback, void* user)
{
    running_checksum = PROTOCOL_START_BYTE;
    callback(PROTOCOL_START_BYTE, user);
}

void process_byte(uint8_t value, SendByteCallback callback, void* user)
{
    emit_payload_byte(value, callback, user);
}

void process_bytes(const uint8_t* values, uint32_t count, SendByteCallback callback, void* user)
{
    for (uint32_t i = 0; i < count; ++i)
        emit_payload_byte(values[i], callback, user);
}

void process_short(int16_t value, SendByteCallback callback, void* user)
{
    emit_little_endian(value, callback, user);
}

void process_ushort(uint16_t value, SendByteCallback callback, void* user)
{
    emit_little_endian(value, callback, user);
}

void process_shorts(const int16_t* values, uint32_t count, SendByteCallback callback, void* user)
{
    emit_array(values, count, callback, user);
}

void process_ushorts(const uint16_t* values, uint32_t count, SendByteCallback callback, void* user)
{
    emit_array(values, count, callback, user);
}

void process_int(int32_t value, SendByteCallback callback, void* user)
{
    emit_little_endian(value, callback, user);
}

void process_uint(uint32_t value, SendByteCallback callback, void* user)
{
    emit_little_endian(value, callback, user);
}

void process_ints(const int32_t* values, uint32_t count, SendByteCallback callback, void* user)
{
    emit_array(values, count, callback, user);
}

void process_uints(const uint32_t* values, uint32_t count, SendByteCallback callback, void* user)
{
    emit_array(values, count, callback, user);
}

void process_float(float value, SendByteCallback callback, void* user)
{
    emit_little_endian(value, callback, user);
}

void process_floats(const float* values, uint32_t count, SendByteCallback callback, void* user)
{
    emit_array(values, count, callback, user);
}

void packet_end(SendByteCallback callback, void* user)
{
    const uint8_t checksum = running_checksum;
    if (isSpecialByte(checksum))
        callback(PROTOCOL_ESCAPE_BYTE, user);
    callback(checksum, user);
    callback(PROTOCOL_END_BYTE, user);
}

int createCommand(const uint8_t* payload, uint32_t length, SendByteCallback callback, void* user)
{
    packet_start(callback, user);
    process_bytes(payload, length, callback, user);
    packet_end(callback, user);
    return 0;
}

} // extern "C"
