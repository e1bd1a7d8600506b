// One entry of a session index file, as the recorder writes it. Entries
// between the header and the file map are exactly EntrySize bytes:
//   u32 epoch offset (steady-clock ms since the index file was opened),
//   u8 type, u32 data type, u32 bytes written, u32 file name index,
//   i64 offset, i64 total bytes recorded.
// The file map that ends the entries has a form of its own.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include <linkwell/Bytes.hpp>

class AbstractMetaEntry {
public:
    enum Type : uint8_t { WriteFile = 1, CloseFile = 2, FileMap = 3 };
    static constexpr size_t EntrySize = 33;

    explicit AbstractMetaEntry(uint32_t epoch_offset);
    virtual ~AbstractMetaEntry();

    virtual uint8_t type() const = 0;
    // The recorder writes an entry only when it is valid.
    virtual bool is_valid() const = 0;

    uint32_t epoch_offset() const { return epoch_offset_; }
    uint32_t data_type() const { return data_type_; }
    uint32_t bytes_written() const { return bytes_written_; }
    int64_t offset() const { return offset_; }
    int64_t total_bytes_recorded() const { return total_bytes_recorded_; }
    uint32_t filename_index() const { return filename_index_; }

    // The entry as it is stored.
    virtual Bytes to_raw() const;

    // A size-prefixed string: u32 length + 1, the text, one NUL.
    static Bytes string_to_bytes(const std::string& text);

    // The epoch offset of a moment: whole ms since the index file was
    // opened; 0 for a moment before that.
    static uint32_t epoch_offset_between(
        std::chrono::steady_clock::time_point opened, std::chrono::steady_clock::time_point moment);

protected:
    AbstractMetaEntry(uint32_t epoch_offset, uint32_t data_type, uint32_t bytes_written, int64_t offset,
        int64_t total_bytes_recorded, uint32_t filename_index);

private:
    uint32_t epoch_offset_;
    uint32_t data_type_ = 0;
    uint32_t bytes_written_ = 0;
    int64_t offset_ = 0;
    int64_t total_bytes_recorded_ = 0;
    uint32_t filename_index_ = 0;
};
