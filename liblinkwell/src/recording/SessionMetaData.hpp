// The state of one recording session: its directory, its open index file
// with the file-map journal, the totals that go into the index header, and
// the byte counts of the packet being written. Made by start_recording on the
// caller's thread; its files and totals are touched only on the recorder's
// own thread. `data_types`, `about_to_be_destroyed`, the directory names and
// the sub-directory are guarded by the recorder mutex.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "recording/UnicodeFile.hpp"
#include <linkwell/PreferredSplitSize.hpp>

namespace Sarvik {

struct SessionMetaData {
    SessionMetaData(std::string session_id, bool flush)
        : id(std::move(session_id))
        , flush_on_write(flush)
        , index_file(flush)
        , journal(flush)
    { }

    // The types currently recording into the session.
    uint32_t data_types = 0;
    // The types that wrote into the current index file.
    uint32_t written_data_types = 0;
    // The largest byte count of one write entry of the current index file.
    uint32_t largest_record = 0;
    // The module's loaded profile id when the session directory was made.
    uint32_t profile_id = 0;
    std::string id;
    std::string base_directory;
    // base_directory "/sarvik_recording_" date-time "_" id
    std::string session_directory;
    std::string creation_date_time;
    // Wall clock (ms since 1970) and steady clock at the opening of the
    // current index file; the steady one is the origin of its entries'
    // epoch offsets.
    int64_t created_at = 0;
    std::chrono::steady_clock::time_point started_at;
    // For a directory split at a fixed daily hour.
    std::chrono::system_clock::time_point next_split_time;
    // Bytes written into the session's files since the current index file
    // was opened.
    int64_t bytes_recorded = 0;
    // -1 before the first sub-directory.
    int sub_directory_index = -1;
    bool directory_created = false;
    bool about_to_be_destroyed = false;
    // An index file was closed while a later one of the session continues;
    // it is announced at the next close.
    bool index_file_notice_pending = false;
    bool parameter_file_stored = false;
    // The parameter file was asked for since the current index file opened.
    bool parameter_file_asked = false;
    // Full name of the index file closed last.
    std::string last_index_file_name;
    // It was completed (and so may be linked to the next one).
    bool last_index_file_completed = false;
    // The directory that holds the open index file, as the file system knew
    // it when the index file was opened; its loss is reported once.
    std::optional<FileIdentity> working_directory_identity;
    bool directory_loss_reported = false;
    std::string current_sub_directory;
    PreferredSplitSize directory_split_size;
    // Every write of the index file goes to the device at once; without it
    // index entries are gathered and written in blocks.
    bool flush_on_write;
    UnicodeFile index_file;
    UnicodeFile journal;
    // Where the next write of each goes: a failed write is undone by going
    // back there, so that what was written before stays readable.
    int64_t index_file_end = 0;
    // The index file's storage is reserved up to here (see SessionIndexWriter).
    int64_t index_reserved_end = 0;
    int64_t journal_end = 0;
    // Entries not yet written to the index file, and the bytes their write
    // entries count: should the block fail, those bytes leave the totals.
    Bytes pending_entries;
    int64_t pending_entry_bytes = 0;
    // Byte counts of the packet being written, by key: the data type, or its
    // complement for the user header.
    std::map<uint32_t, uint32_t> current_bytes_written;
    // The file map: "<>" while a file is open, its final name (relative to
    // the working directory) after its close.
    std::vector<std::string> filenames;
};

} // namespace Sarvik
