// The fixed header of a session index file. Every index file of a session
// begins with it; the recorder writes it whole when it opens the file and
// rewrites its closing block in place when it closes the file.
//
// Version 13 layout (little-endian): magic u32 at 0, version u32 at 4,
// created i64 at 8, state u8 at 16, duration u32 at 17, bytes recorded i64 at
// 21, file map offset i64 at 29, data types u32 at 37, next meta file offset
// i64 at 41, max record size u32 at 49, profile id u32 at 53, 28 reserved
// bytes of 0xCD at 57, then the session id as a size-prefixed string (u32
// length + 1, the text, NUL) at 85.
#pragma once

#include <cstdint>
#include <string>

#include <linkwell/Bytes.hpp>

struct MetaFileHeader {
    static constexpr uint32_t Magic = 0xA0B1C2D3;
    // The version written; 11 and 12 are read too.
    static constexpr uint32_t CurrentVersion = 13;
    // Where the block that closing the file rewrites begins.
    static constexpr int64_t ClosingBlockOffset = 16;
    // Where the offset of the link to the next index file is kept.
    static constexpr int64_t NextMetaFileOffsetPosition = 41;
    // Assumed for version 11, which does not store it.
    static constexpr uint32_t Version11MaxRecordSize = 2048;

    uint32_t magic = Magic;
    uint32_t version = CurrentVersion;
    int64_t created = 0; // wall clock at opening, ms since 1970-01-01 UTC
    uint8_t state = 0; // 0 while writing, 1 after a regular close
    uint32_t duration = 0; // ms from opening to closing
    int64_t bytes_recorded = 0;
    int64_t file_map_offset = -1; // -1 while writing
    uint32_t data_types = 0;
    int64_t next_meta_file_offset = -1; // -1 while no later index file is linked
    uint32_t max_record_size = 0;
    uint32_t profile_id = 0;

    // The whole header in the version 13 layout, the session id behind it.
    Bytes to_raw(const std::string& session_id) const;
    // State, duration, bytes recorded, file map offset, data types, next meta
    // file offset and max record size: the 37 bytes at ClosingBlockOffset.
    Bytes closing_block() const;
};
