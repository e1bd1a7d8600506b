// A stretch of bytes written to one data file for one packet: a stored
// record, CSV line or, under the complement of its type bit, the user header.
#pragma once

#include "recording/AbstractMetaEntry.hpp"

class WriteFileMetaEntry : public AbstractMetaEntry {
public:
    // data_type: one type bit, or its bitwise complement for the user header;
    // offset: where the stretch begins in the data file; total: the index
    // file's running sum of bytes written, this entry's included.
    WriteFileMetaEntry(uint32_t epoch_offset, uint32_t data_type, uint32_t bytes_written, int64_t offset,
        int64_t total_bytes_recorded, uint32_t filename_index);

    uint8_t type() const override { return WriteFile; }
    // Exactly 1 or exactly 31 bits set.
    bool is_valid() const override;
};
