// Writes a session index file and its data files as the recorder lays them
// out, entry by entry through the library's entry classes, so that reader
// tests need no recorder. Data files are written as records are added; the
// index file is written whole by finish(). Old layouts (versions 11 and 12)
// and damaged files are made by the same writer plus patch().
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "recording/MetaFileHeader.hpp"

namespace testsupport {

// The data type bits of the records that the reader tests store: float data,
// and sleep stages (a CSV stream).
constexpr uint32_t float_type = 0x400;
constexpr uint32_t stage_type = 0x20000;

class IndexFileWriter {
public:
    // Files go into the directory (which must exist).
    IndexFileWriter(std::string directory, std::string session_id, int64_t created = 1600000000000);

    // A data file in the file map; returns its file name index.
    uint32_t add_data_file(const std::string& name);
    // Appends the bytes to the data file and a WriteFile entry for them.
    void write(uint32_t file_index, uint32_t data_type, const Bytes& record, uint32_t epoch_offset);
    // The same under the complemented type, as the user header is stored.
    void write_user_header(
        uint32_t file_index, uint32_t data_type, const Bytes& header, uint32_t epoch_offset);
    // A CloseFile entry with the data file's size.
    void close_data_file(uint32_t file_index, uint32_t data_type, uint32_t epoch_offset);

    // The header that finish() writes; finish() fills in its totals.
    MetaFileHeader& header() { return header_; }

    // Writes the index file (header, entries, file map) under the name, in
    // the layout of the header's version, and returns its path. The duration
    // is the last entry's epoch offset unless given.
    std::string finish(const std::string& name = "sarvik_recording_meta.dat", int64_t duration = -1);

    // After finish(): where the k-th entry begins.
    int64_t entry_offset(size_t k) const { return first_entry_offset_ + static_cast<int64_t>(k * 33); }
    size_t entry_count() const { return entry_count_; }

    // Appends the chain link to a finished index file and points its header
    // at it, as the recorder does when the next index file is closed.
    static void link(const std::string& index_file, const std::string& link);
    // Overwrites bytes of a file in place.
    static void patch(const std::string& path, int64_t offset, const Bytes& bytes);
    // Cuts a file to the size.
    static void truncate(const std::string& path, int64_t size);

private:
    std::string directory_;
    std::string session_id_;
    MetaFileHeader header_;
    std::vector<std::string> file_map_;
    std::vector<int64_t> file_sizes_;
    Bytes entries_;
    size_t entry_count_ = 0;
    int64_t total_ = 0;
    uint32_t largest_ = 0;
    uint32_t data_types_ = 0;
    uint32_t last_epoch_offset_ = 0;
    int64_t first_entry_offset_ = 0;
};

} // namespace testsupport
