// The close of one data file: its final size and the index file's running
// sum of bytes written at that moment.
#pragma once

#include "recording/AbstractMetaEntry.hpp"

class CloseFileMetaEntry : public AbstractMetaEntry {
public:
    CloseFileMetaEntry(uint32_t epoch_offset, uint32_t data_type, int64_t file_size,
        int64_t total_bytes_recorded, uint32_t filename_index);

    uint8_t type() const override { return CloseFile; }
    // Exactly one bit set.
    bool is_valid() const override;
};
