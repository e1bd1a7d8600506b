/* Module wire framing: the streaming frame writer, createCommand and the
 * receiver parseData. No heap use; compiles as C and as C++. */
#ifndef LINKWELL_PROTOCOL_FRAMING_H
#define LINKWELL_PROTOCOL_FRAMING_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include "linkwell_export.h"

LINKWELL_EXTERN_C_BEGIN

/* Receives one output byte of a writer operation, in wire order. */
typedef void (*SendByteCallback)(uint8_t byte, void* user);
/* Receives one delivered packet; data points into the receive buffer and is
 * valid only during the call. */
typedef void (*ReceivedPacketCallback)(void* user, const uint8_t* data, uint32_t count);
/* Receives one receive error, codes 1 to 4 (see PROTOCOL_ERROR_*). */
typedef void (*ReceiveErrorCallback)(void* user, uint32_t code);

enum {
    PROTOCOL_START_BYTE = 0x7D,
    PROTOCOL_END_BYTE = 0x7E,
    PROTOCOL_ESCAPE_BYTE = 0x7F,
    PROTOCOL_RAW_LENGTH_BYTE = 0x51,
    PROTOCOL_MARKER_BYTE = 0x7C
};

enum {
    PROTOCOL_ERROR_CRC = 1, /* checksum mismatch: "CRC error" */
    PROTOCOL_ERROR_LOST_BYTES = 2, /* start byte while bytes stored: "lost bytes" */
    PROTOCOL_ERROR_INCOMPLETE = 3, /* end byte with nothing stored: "incomplete packer" */
    PROTOCOL_ERROR_BUFFER_FULL = 4 /* byte arrives with a full buffer: "out of buffer" */
};

/* Receiver instance. The caller provides its storage and the buffer. */
typedef struct ApplicationProtocol {
    uint8_t* buffer;
    uint32_t capacity;
    uint32_t stored;
    ReceivedPacketCallback on_packet;
    ReceiveErrorCallback on_error;
    uint8_t raw_length;
    uint32_t marker_mode;
    void* user_data;
    uint8_t escape_pending;
} ApplicationProtocol;

/* Streaming writer. Each thread has its own running checksum, so packets
 * may be framed on several threads at once; one packet is framed from
 * packet_start to packet_end on one thread. */
LINKWELL_API void packet_start(SendByteCallback callback, void* user);
LINKWELL_API void process_byte(uint8_t value, SendByteCallback callback, void* user);
LINKWELL_API void process_bytes(const uint8_t* values, uint32_t count, SendByteCallback callback, void* user);
LINKWELL_API void process_short(int16_t value, SendByteCallback callback, void* user);
LINKWELL_API void process_ushort(uint16_t value, SendByteCallback callback, void* user);
LINKWELL_API void process_shorts(
    const int16_t* values, uint32_t count, SendByteCallback callback, void* user);
LINKWELL_API void process_ushorts(
    const uint16_t* values, uint32_t count, SendByteCallback callback, void* user);
LINKWELL_API void process_int(int32_t value, SendByteCallback callback, void* user);
LINKWELL_API void process_uint(uint32_t value, SendByteCallback callback, void* user);
LINKWELL_API void process_ints(const int32_t* values, uint32_t count, SendByteCallback callback, void* user);
LINKWELL_API void process_uints(
    const uint32_t* values, uint32_t count, SendByteCallback callback, void* user);
LINKWELL_API void process_float(float value, SendByteCallback callback, void* user);
LINKWELL_API void process_floats(const float* values, uint32_t count, SendByteCallback callback, void* user);
LINKWELL_API void packet_end(SendByteCallback callback, void* user);
/* Emits a whole packet: start byte, escaped payload, checksum, end byte. */
LINKWELL_API int createCommand(
    const uint8_t* payload, uint32_t length, SendByteCallback callback, void* user);

/* True for 0x7D, 0x7E and 0x7F; only the low 8 bits of byte count. */
LINKWELL_API bool isSpecialByte(unsigned int byte);

/* Receiver. createApplicationProtocol fills the record in the caller's
 * storage (getInstanceSize() bytes, suitably aligned) and returns it; the
 * buffer stays the caller's and is not touched. A null callback is skipped. */
LINKWELL_API uint32_t getInstanceSize(void);
LINKWELL_API ApplicationProtocol* createApplicationProtocol(ReceivedPacketCallback on_packet,
    ReceiveErrorCallback on_error, void* user_data, void* storage, uint8_t* buffer, uint32_t capacity);
LINKWELL_API void destroyProtocol(ApplicationProtocol* instance);
/* Feeds a chunk; returns the packets delivered, or -1 when the chunk ended
 * in a buffer-full error. */
LINKWELL_API int parseData(ApplicationProtocol* instance, const uint8_t* data, uint32_t length);

LINKWELL_API const char* get_radar_com_version(void);
LINKWELL_API const char* get_radar_com_build_date(void);

LINKWELL_EXTERN_C_END

#endif
