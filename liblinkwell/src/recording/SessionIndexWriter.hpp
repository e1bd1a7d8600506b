// The index side of a recording session, on the recorder thread: the
// session directory and its sub-directories, the index file with its
// file-map journal, the entries of each written packet and closed data file,
// and the close that completes an index file, renames it and links the one
// before it to it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "recording/MetaData.hpp"
#include "recording/SessionMetaData.hpp"

class AbstractMetaEntry;

namespace Sarvik {

class RecorderReports;
class SideFileWriter;

class SessionIndexWriter {
public:
    // Called when the session directory's name was taken by something else
    // since the session was set up: it gives the session a free name and
    // points its types at it.
    using RenameDirectory = std::function<void(SessionMetaData&)>;

    SessionIndexWriter(
        RecorderReports& reports, SideFileWriter& side_files, RenameDirectory rename_directory);

    // Opens the session's index file and journal unless they are open,
    // making the session directory and sub-directory first; false with the
    // error text on failure.
    bool ensure_open(SessionMetaData& session, std::string& error);
    // Writes the entries of the bytes the packet put into the type's data
    // file (the session's current_bytes_written), entering the file into the
    // file map first when it has no place there.
    void write_entries(MetaData& meta, SessionMetaData& session);
    // Tells the journal the name that a data file of the file map took at
    // its close, for a reader of an index file that is never closed.
    void note_final_name(SessionMetaData& session, int file_index, const std::string& name);
    // Writes the entries that wait in memory, then checks the directory.
    void write_waiting_entries(SessionMetaData& session);
    // Reports, once per session, that the directory of the open index file
    // is gone (removed, or replaced by another).
    void check_directory(SessionMetaData& session);
    // The close entry of the type's data file, when it has entries.
    void write_close_entry(const MetaData& meta, SessionMetaData& session);
    // Closes the index file; `continuing` when a later one of the session
    // follows.
    void close(SessionMetaData& session, bool continuing);

    // Milliseconds since the session's index file was opened.
    static uint32_t epoch_offset(const SessionMetaData& session);

private:
    bool create_session_directory(SessionMetaData& session, std::string& error);
    bool open_index_file(SessionMetaData& session, const std::string& directory, std::string& error);
    bool write_meta_entry(SessionMetaData& session, const AbstractMetaEntry& entry);
    bool write_pending_entries(SessionMetaData& session);
    void append_to_journal(SessionMetaData& session, uint32_t file_index, const std::string& name);
    bool complete_index_file(SessionMetaData& session);
    void keep_reserve(SessionMetaData& session);
    // How many bytes of whole entries of the pending block reached the index
    // file in a write that failed part way.
    static int64_t whole_entries_written(SessionMetaData& session);
    // The bytes that the write entries among the first `length` bytes count.
    static int64_t bytes_counted(const Bytes& entries, int64_t length);
    void link_previous_index_file(
        const SessionMetaData& session, const std::string& previous, const std::string& next);

    RecorderReports& reports;
    SideFileWriter& side_files;
    RenameDirectory rename_directory;
};

// The working directory of a session: its directory and its current
// sub-directory.
std::string working_directory_of(const SessionMetaData& session);

} // namespace Sarvik
