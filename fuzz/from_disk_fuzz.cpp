// Feeds arbitrary stored records to the record-to-message converter under
// every data type and index-file version, binary and CSV alike. A record may
// yield a message, nothing, or one of the two number-conversion exceptions;
// anything else, and any message without its type's head, is a fault.
//
// Input layout: byte 0 picks the data type (the 23 type bits, then no type
// and two mixed masks), byte 1 the index-file version (10 to 15); the rest is
// the record. Shorter inputs are a record of every type under version 13.
#include <linkwell/DataPacketFormater.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace {

void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "converter invariant broken: %s\n", what);
        std::abort();
    }
}

unsigned type_of(uint8_t selector)
{
    const unsigned pick = selector % 26u;
    if (pick < 23)
        return 1u << pick;
    const unsigned others[] = { 0u, 0x3u, 0xFFFFFFFFu };
    return others[pick - 23];
}

// Binary types come back as their head and the record unchanged.
size_t binary_head_size(unsigned type)
{
    switch (type) {
    case 0x400:
    case 0x800:
        return 2;
    case 0x1:
    case 0x2:
    case 0x40:
    case 0x80:
    case 0x100:
    case 0x200:
    case 0x80000:
    case 0x100000:
    case 0x200000:
    case 0x400000:
        return 5;
    default:
        return 0;
    }
}

void convert(unsigned type, unsigned version, const Bytes& record)
{
    Bytes message;
    try {
        message = Sarvik::DataPacketFormater(version).from_disk(type, record);
    } catch (const std::invalid_argument&) {
        require(binary_head_size(type) == 0, "binary records are never parsed");
        return;
    } catch (const std::out_of_range&) {
        require(binary_head_size(type) == 0, "binary records are never parsed");
        return;
    }
    const bool converted_type
        = version >= 12 && type != 0x10 && type != 0 && (type & (type - 1)) == 0 && (type & 0x7FFFFF) != 0;
    if (!converted_type) {
        require(message.empty(), "refused versions and types give nothing");
        return;
    }
    if (const size_t head = binary_head_size(type)) {
        require(message.size() == head + record.size(), "binary message is head plus record");
        require(std::equal(record.begin(), record.end(), message.begin() + head), "record unchanged");
        return;
    }
    if (message.empty())
        return; // a header line or a malformed array
    require(message[0] == (type == 0x20 ? 0xA0 : 0x50), "message type byte of the CSV type");
    require(message.size() >= 5, "a head and at least one field");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) {
        const Bytes record(data, data + size);
        for (unsigned bit = 0; bit < 23; ++bit)
            convert(1u << bit, 13, record);
        return 0;
    }
    convert(type_of(data[0]), 10 + data[1] % 6u, Bytes(data + 2, data + size));
    return 0;
}
