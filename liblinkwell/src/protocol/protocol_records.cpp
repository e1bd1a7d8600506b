#include "protocol/protocol_records.hpp"

#include <cstring>
#include <vector>

namespace {

// The packed elements are the little-endian wire values; on a little-endian
// host they are copied as they are.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "records are copied for a little-endian host");

template <typename Element> std::vector<Element> copy_array(const void* items, uint32_t count)
{
    std::vector<Element> out(count);
    if (count)
        std::memcpy(out.data(), items, count * sizeof(Element));
    return out;
}

// An array of the packet as the vector of its values.
std::vector<float> copy_items(const packed_float* items, uint32_t count)
{
    return copy_array<float>(items, count);
}

std::vector<int16_t> copy_items(const packed_int16* items, uint32_t count)
{
    return copy_array<int16_t>(items, count);
}

std::vector<uint8_t> copy_items(const uint8_t* items, uint32_t count)
{
    return copy_array<uint8_t>(items, count);
}

template <typename Item>
bool span_within(const uint8_t* packet, std::size_t size, const Item* items, uint64_t count)
{
    if (count == 0)
        return true;
    if (!items || !packet || size == 0)
        return false;
    const auto begin = reinterpret_cast<uintptr_t>(packet);
    const auto at = reinterpret_cast<uintptr_t>(items);
    if (at < begin)
        return false;
    return uint64_t(at - begin) + count * sizeof(Item) <= size;
}

} // namespace

#define LINKWELL_COPY_VALUE(field) out.field = record.field;
#define LINKWELL_SKIP_COUNT(field)
#define LINKWELL_COPY_ARRAY(field, count) out.field = copy_items(record.field, record.count);
#define LINKWELL_NO_VALUE(field)
#define LINKWELL_CHECK_ARRAY(field, count) &&span_within(packet, size, record.field, record.count)

#define LINKWELL_DEFINE_RECORD_COPY(Codec, Public, slot, fields)                                             \
    Public to_public(const Codec& record)                                                                    \
    {                                                                                                        \
        Public out;                                                                                          \
        fields(LINKWELL_COPY_VALUE, LINKWELL_SKIP_COUNT, LINKWELL_COPY_ARRAY) return out;                    \
    }                                                                                                        \
                                                                                                             \
    bool arrays_within(const Codec& record, const uint8_t* packet, std::size_t size)                         \
    {                                                                                                        \
        (void)record;                                                                                        \
        (void)packet;                                                                                        \
        (void)size;                                                                                          \
        return true fields(LINKWELL_NO_VALUE, LINKWELL_NO_VALUE, LINKWELL_CHECK_ARRAY);                      \
    }

LINKWELL_MESSAGE_RECORDS(LINKWELL_DEFINE_RECORD_COPY)
