#include "recording/FileMapMetaEntry.hpp"

#include "common/LittleEndian.hpp"

FileMapMetaEntry::FileMapMetaEntry(uint32_t epoch_offset, std::vector<std::string> filenames)
    : AbstractMetaEntry(epoch_offset)
    , filenames_(std::move(filenames))
{ }

Bytes FileMapMetaEntry::to_raw() const
{
    Bytes raw;
    little_endian::append_u32(raw, epoch_offset());
    little_endian::append_u8(raw, type());
    little_endian::append_u32(raw, static_cast<uint32_t>(filenames_.size()));
    for (const std::string& name : filenames_) {
        const Bytes stored = string_to_bytes(name);
        raw.insert(raw.end(), stored.begin(), stored.end());
    }
    return raw;
}
