#include "recording/CloseFileMetaEntry.hpp"

#include <bitset>

CloseFileMetaEntry::CloseFileMetaEntry(uint32_t epoch_offset, uint32_t data_type, int64_t file_size,
    int64_t total_bytes_recorded, uint32_t filename_index)
    : AbstractMetaEntry(epoch_offset, data_type, 0, file_size, total_bytes_recorded, filename_index)
{ }

bool CloseFileMetaEntry::is_valid() const
{
    return std::bitset<32>(data_type()).count() == 1;
}
