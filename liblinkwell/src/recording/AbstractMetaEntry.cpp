#include "recording/AbstractMetaEntry.hpp"

#include "common/LittleEndian.hpp"

#include <algorithm>
#include <limits>

AbstractMetaEntry::AbstractMetaEntry(uint32_t epoch_offset)
    : epoch_offset_(epoch_offset)
{ }

AbstractMetaEntry::AbstractMetaEntry(uint32_t epoch_offset, uint32_t data_type, uint32_t bytes_written,
    int64_t offset, int64_t total_bytes_recorded, uint32_t filename_index)
    : epoch_offset_(epoch_offset)
    , data_type_(data_type)
    , bytes_written_(bytes_written)
    , offset_(offset)
    , total_bytes_recorded_(total_bytes_recorded)
    , filename_index_(filename_index)
{ }

AbstractMetaEntry::~AbstractMetaEntry() = default;

Bytes AbstractMetaEntry::to_raw() const
{
    Bytes raw;
    raw.reserve(EntrySize);
    little_endian::append_u32(raw, epoch_offset_);
    little_endian::append_u8(raw, type());
    little_endian::append_u32(raw, data_type_);
    little_endian::append_u32(raw, bytes_written_);
    little_endian::append_u32(raw, filename_index_);
    little_endian::append_i64(raw, offset_);
    little_endian::append_i64(raw, total_bytes_recorded_);
    return raw;
}

Bytes AbstractMetaEntry::string_to_bytes(const std::string& text)
{
    Bytes raw;
    little_endian::append_u32(raw, static_cast<uint32_t>(text.size() + 1));
    raw.insert(raw.end(), text.begin(), text.end());
    raw.push_back(0);
    return raw;
}

uint32_t AbstractMetaEntry::epoch_offset_between(
    std::chrono::steady_clock::time_point opened, std::chrono::steady_clock::time_point moment)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(moment - opened).count();
    return static_cast<uint32_t>(std::clamp<int64_t>(ms, 0, std::numeric_limits<uint32_t>::max()));
}
