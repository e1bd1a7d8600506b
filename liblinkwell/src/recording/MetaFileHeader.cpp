#include "recording/MetaFileHeader.hpp"

#include "common/LittleEndian.hpp"
#include "recording/AbstractMetaEntry.hpp"

namespace {

constexpr size_t reserved_size = 28;
constexpr uint8_t reserved_byte = 0xCD;

} // namespace

Bytes MetaFileHeader::to_raw(const std::string& session_id) const
{
    Bytes raw;
    little_endian::append_u32(raw, magic);
    little_endian::append_u32(raw, version);
    little_endian::append_i64(raw, created);
    const Bytes closing = closing_block();
    raw.insert(raw.end(), closing.begin(), closing.end());
    little_endian::append_u32(raw, profile_id);
    raw.insert(raw.end(), reserved_size, reserved_byte);
    const Bytes id = AbstractMetaEntry::string_to_bytes(session_id);
    raw.insert(raw.end(), id.begin(), id.end());
    return raw;
}

Bytes MetaFileHeader::closing_block() const
{
    Bytes raw;
    little_endian::append_u8(raw, state);
    little_endian::append_u32(raw, duration);
    little_endian::append_i64(raw, bytes_recorded);
    little_endian::append_i64(raw, file_map_offset);
    little_endian::append_u32(raw, data_types);
    little_endian::append_i64(raw, next_meta_file_offset);
    little_endian::append_u32(raw, max_record_size);
    return raw;
}
