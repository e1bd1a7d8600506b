// The file map that ends the entries of a closed index file: the names of its
// data files, relative to the index file's directory, in file-name-index
// order. Stored as u32 epoch offset, u8 type 3, u32 count, then each name
// size-prefixed.
#pragma once

#include <string>
#include <vector>

#include "recording/AbstractMetaEntry.hpp"

class FileMapMetaEntry : public AbstractMetaEntry {
public:
    FileMapMetaEntry(uint32_t epoch_offset, std::vector<std::string> filenames);

    uint8_t type() const override { return FileMap; }
    bool is_valid() const override { return true; }
    const std::vector<std::string>& filenames() const { return filenames_; }
    Bytes to_raw() const override;

private:
    std::vector<std::string> filenames_;
};
