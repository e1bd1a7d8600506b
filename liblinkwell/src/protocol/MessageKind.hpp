// One kind of data message that a module sends unasked, as the message
// catalogue (MessageCatalogue.hpp) describes it: the bytes that mark it, the
// decoder of its packets, the queue that every connection keeps for it and
// the names under which a connection subscribes and reads it.
#pragma once

#include <cstddef>
#include <cstdint>

#include <linkwell/Bytes.hpp>
#include <linkwell/protocol_parser.h>

// The first bytes that every packet of a kind starts with, and no packet of
// another kind does.
struct MessagePrefix {
    uint8_t bytes[5];
    uint8_t size;

    Bytes to_bytes() const { return Bytes(bytes, bytes + size); }
};

// Application data (0x50): the type byte and the content id, least
// significant byte first.
constexpr MessagePrefix appdata_prefix(uint32_t content_id)
{
    return { { LINKWELL_MESSAGE_APPDATA, static_cast<uint8_t>(content_id),
                 static_cast<uint8_t>(content_id >> 8), static_cast<uint8_t>(content_id >> 16),
                 static_cast<uint8_t>(content_id >> 24) },
        5 };
}

// Generic data (0xA0): the type byte, the sub-type and, where the sub-type is
// shared, the byte that tells the streams apart.
constexpr MessagePrefix data_prefix(uint8_t subtype)
{
    return { { LINKWELL_MESSAGE_DATA, subtype, 0, 0, 0 }, 2 };
}

constexpr MessagePrefix data_prefix(uint8_t subtype, uint8_t detail)
{
    return { { LINKWELL_MESSAGE_DATA, subtype, detail, 0, 0 }, 3 };
}

// A message known by its type byte alone.
constexpr MessagePrefix type_prefix(uint8_t type)
{
    return { { type, 0, 0, 0, 0 }, 1 };
}

using MessageDecoder = int (*)(const HostParser* parser, const uint8_t* data, uint32_t length, void* user);

struct MessageKind {
    // The kind's name in the catalogue.
    const char* name;
    MessagePrefix prefix;
    // The codec decoder of its packets; null for a kind handed out as
    // packets.
    MessageDecoder decoder;
    // The queue that every opened connection subscribes for it; null for a
    // stream that callers subscribe themselves.
    const char* default_queue;
    // The Trace of its subscriptions (the name of its subscribe operation).
    const char* subscribe_trace;
    // The Trace of its reader, and the text before that name in the reader's
    // failure; null for a kind without a decoder.
    const char* reader_trace;
    const char* reader_error;
};
