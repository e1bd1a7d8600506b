// Fuzzes the message decoders with arbitrary packets: parse and parse_appdata,
// and every decoder directly. The slots read every array element that a
// record declares and copy the record as the library's readers do, so a
// count that the packet does not back is a read past the input, which the
// address sanitizer reports. A decoder that calls more than one slot, or a
// data slot without returning 0, stops the run.
#include "protocol/MessageCatalogue.hpp"
#include "protocol/protocol_records.hpp"
#include <linkwell/protocol_parser.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Calls {
    int slots = 0;
    int data_slots = 0;
    double sink = 0; // keeps the reads from being optimised away
};

void read_all(Calls* calls, const packed_float* items, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        calls->sink += packed_float_value(items[i]);
}

void read_all(Calls* calls, const packed_int16* items, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        calls->sink += packed_int16_value(items[i]);
}

void read_all(Calls* calls, const uint8_t* items, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        calls->sink += items[i];
}

Calls* seen(void* user, bool data)
{
    auto* calls = static_cast<Calls*>(user);
    ++calls->slots;
    calls->data_slots += data;
    return calls;
}

template <typename Record> void copy_out(Calls* calls, const Record& record)
{
    const auto copy = to_public(record);
    calls->sink += static_cast<double>(sizeof copy);
}

// Reads every array element that the record declares, then copies the record
// as the library's readers do.
#define LINKWELL_SKIP_FIELD(field)
#define LINKWELL_READ_ARRAY(field, count) read_all(calls, record.field, record.count);
#define LINKWELL_RECORD_SLOT(Codec, Public, slot, fields)                                                    \
    table.slot = [](Codec record, void* user) {                                                              \
        Calls* calls = seen(user, true);                                                                     \
        fields(LINKWELL_SKIP_FIELD, LINKWELL_SKIP_FIELD, LINKWELL_READ_ARRAY) copy_out(calls, record);       \
    };

HostParser make_table()
{
    HostParser table;
    init_host_parser(&table);
    table.on_pong = [](uint32_t, void* u) { seen(u, true); };
    table.on_error = [](uint32_t, void* u) { seen(u, false); };
    table.on_ack = [](Ack, void* u) { seen(u, true); };
    table.on_system_status = [](SystemStatus, void* u) { seen(u, true); };
    table.on_reply = [](Reply r, void* u) { read_all(seen(u, true), r.data, r.length); };
    LINKWELL_MESSAGE_RECORDS(LINKWELL_RECORD_SLOT)
    return table;
}

using Decoder = int (*)(const HostParser*, const uint8_t*, uint32_t, void*);

// The decoders of whole packets and of the basic messages, then the decoder
// of every kind of message of the catalogue.
std::vector<Decoder> decoders()
{
    std::vector<Decoder> all { parse, parse_appdata, parse_pong, parse_ack, parse_error, parse_reply,
        parse_data };
    for (const MessageKind* kind : messages::catalogue)
        if (kind->decoder)
            all.push_back(kind->decoder);
    return all;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const HostParser table = make_table();
    static const std::vector<Decoder> every_decoder = decoders();
    // An exact-size copy, so that one byte past the packet is outside the
    // allocation whatever the caller's buffer is.
    const std::vector<uint8_t> packet(data, data + size);
    const uint32_t length = static_cast<uint32_t>(packet.size());
    for (Decoder decode : every_decoder) {
        Calls calls;
        const int status = decode(&table, packet.empty() ? nullptr : packet.data(), length, &calls);
        if (calls.slots > 1 || (calls.data_slots == 1 && status != 0))
            std::abort();
    }
    return 0;
}
