#include "recording/WriteFileMetaEntry.hpp"

#include <bitset>

WriteFileMetaEntry::WriteFileMetaEntry(uint32_t epoch_offset, uint32_t data_type, uint32_t bytes_written,
    int64_t offset, int64_t total_bytes_recorded, uint32_t filename_index)
    : AbstractMetaEntry(epoch_offset, data_type, bytes_written, offset, total_bytes_recorded, filename_index)
{ }

bool WriteFileMetaEntry::is_valid() const
{
    const size_t bits = std::bitset<32>(data_type()).count();
    return bits == 1 || bits == 31;
}
