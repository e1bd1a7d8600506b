#include "recording/MetaFileHeader.hpp"

#include "recording/AbstractMetaEntry.hpp"
#include "recording/LittleEndian.hpp"

namespace {

constexpr size_t reserved_size = 28;
constexpr uint8_t reserved_byte = 0xCD;

} // namespace

Bytes MetaFileHeader::to_raw(const std::string& session_id) const
{
    Bytes raw;
    put_u32(raw, magic);
    put_u32(raw, version);
    put_i64(raw, created);
    const Bytes closing = closing_block();
    raw.insert(raw.end(), closing.begin(), closing.end());
    put_u32(raw, profile_id);
    raw.insert(raw.end(), reserved_size, reserved_byte);
    const Bytes id = AbstractMetaEntry::string_to_bytes(session_id);
    raw.insert(raw.end(), id.begin(), id.end());
    return raw;
}

Bytes MetaFileHeader::closing_block() const
{
    Bytes raw;
    put_u8(raw, state);
    put_u32(raw, duration);
    put_i64(raw, bytes_recorded);
    put_i64(raw, file_map_offset);
    put_u32(raw, data_types);
    put_i64(raw, next_meta_file_offset);
    put_u32(raw, max_record_size);
    return raw;
}
