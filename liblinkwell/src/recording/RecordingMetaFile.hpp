// Reads one session index file: checks it on open, reads its entries and,
// through the data files its file map names, its records in order, skips
// records of types outside a filter, and seeks by time and by byte.
//
// A recording comes from disk, from another machine or from a crash, so
// nothing in it is trusted: a file that breaks the format is refused on open
// or, for a damaged entry met while reading, read as ended there, with a line
// on standard output; never a crash, a hang or a read out of bounds.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <linkwell/Bytes.hpp>

#include "recording/AbstractMetaEntry.hpp"
#include "recording/MetaFileHeader.hpp"
#include "recording/UnicodeFile.hpp"

// One entry as read back.
struct MetaEntry {
    uint32_t epoch_offset = 0;
    uint32_t data_type = 0;
    uint32_t bytes_written = 0;
    uint32_t filename_index = 0;
    int64_t offset = 0;
    int64_t total_bytes_recorded = 0;
    uint8_t type = 0;
};

class RecordingMetaFile {
public:
    // Beside an index file while it is written: the names of its data files.
    static constexpr const char* JournalName = "sarvik_recording_meta_tmp.writing";

    // Results of read_record besides a byte count.
    static constexpr int ReadFailed = -1; // closed, at the end, or a read error
    static constexpr int NoEntry = -2; // no further entry could be read

    // Stores the name and opens the file.
    explicit RecordingMetaFile(const std::string& meta_filename);
    ~RecordingMetaFile();
    RecordingMetaFile(const RecordingMetaFile&) = delete;
    RecordingMetaFile& operator=(const RecordingMetaFile&) = delete;

    // Opens and checks the file and positions it at the first entry; each
    // refusal prints its line on standard output. True at once when open.
    bool open();
    bool is_open() const { return m_file.is_open(); }
    // Closes the index file and every data file; the header stays readable.
    void close();

    const MetaFileHeader& header() const { return m_header; }
    std::string session_id() const { return m_session_id; }
    std::string meta_filename() const { return m_meta_filename; }
    // The next index file of the session, resolved against this file's
    // directory; empty when none is linked.
    std::string next_meta_filename() const { return m_next_meta_filename; }
    std::vector<std::string> file_map() const { return m_file_map; }

    // The data-type mask that reading and skipping obey (not checked here).
    void set_filter(uint32_t filter) { m_filter = filter; }
    uint32_t filter() const { return m_filter; }

    // The offset of the next entry; -1 when closed.
    int64_t position() const;
    // Moves to an entry boundary from the first entry to one past the last;
    // a position outside is taken as the nearest end.
    void set_position(int64_t position);
    // True once no record that passes the filter is left.
    bool at_end() const;

    // Decodes the next entry; false when there is none (or it is damaged).
    bool read_meta_entry(MetaEntry* entry);
    // Copies the next record that passes the filter into the buffer, cut to
    // its length, and gives its stored data type (the complement of the type
    // bit for a user header) and its time in ms since 1970. Returns the
    // number of bytes copied, ReadFailed or NoEntry; 0 at once for a buffer
    // length of 0, and 0 with the close entry's type when a close entry ends
    // the file.
    int read_record(char* buffer, uint32_t length, uint32_t* data_type, int64_t* epoch);
    // The same into a vector sized to the record (at most max_length bytes),
    // after checking that its data file holds it: a damaged entry cannot ask
    // for more memory than the data file has bytes.
    int read_record(Bytes& record, uint32_t max_length, uint32_t* data_type, int64_t* epoch);

    // Positions at the first entry whose epoch offset is at least ms; false
    // (position kept) when closed or ms lies beyond the duration.
    bool seek_ms(uint32_t ms);
    // Positions at the entry whose stretch holds the byte; false (position
    // kept) when closed or the byte lies outside 0 .. bytes recorded.
    bool seek_byte(int64_t byte);
    // Closes the data files and positions one past the last entry.
    void fast_forward_to_eof();
    // Positions at the next record that passes the filter, or at the end.
    void fast_forward_to_next_data_record_with_filter();

    void print_header() const;

private:
    struct DataFile {
        std::unique_ptr<UnicodeFile> file;
        int64_t position = 0;
        int64_t size = 0;
        // The file's bytes from ahead_start on, read in one go: small
        // records come from here, so a recording of many small records costs
        // a system call per window instead of one per record.
        std::vector<char> ahead;
        int64_t ahead_start = 0;
    };
    static constexpr int64_t ReadAheadSize = 64 * 1024;
    // Larger records are read straight into the caller's buffer.
    static constexpr uint32_t ReadAheadRecordSize = 16 * 1024;
    // Entries are read ahead in chunks of whole entries.
    static constexpr size_t ChunkSize = 124 * AbstractMetaEntry::EntrySize;

    bool refuse(const std::string& message);
    bool read_header();
    bool read_file_map();
    // A file that was never closed: its file map from the journal beside it,
    // its entries up to the last whole one.
    bool recover();
    void read_journal(UnicodeFile& journal);
    void scan_entries();
    bool read_link(std::string* link);
    void resolve_link(const std::string& link);
    // Whether a file-map name, or the resolved link, leads to a file inside
    // the directory it is relative to once symbolic links are followed (a
    // name that leads nowhere yet counts as inside: it fails when read).
    bool data_file_inside(const std::string& name) const;
    bool link_inside(const std::string& link) const;

    int64_t end_of_entries() const
    {
        return m_last_entry_offset + static_cast<int64_t>(AbstractMetaEntry::EntrySize);
    }
    bool read_at(int64_t position, char* buffer, size_t size, const char* read_failure);
    bool fill_chunk();
    bool decode_entry(const char* raw, MetaEntry* entry) const;
    void report_damaged_entry();
    bool matches_filter(const MetaEntry& entry) const;

    int read_next_record(char* buffer, uint32_t length, Bytes* grow, uint32_t* data_type, int64_t* epoch);
    DataFile* data_file(uint32_t index);
    // Reads size bytes at the offset, which the file holds.
    bool read_data(DataFile& file, int64_t offset, char* buffer, uint32_t size);
    bool read_direct(DataFile& file, int64_t offset, char* buffer, uint32_t size);
    void close_data_file(uint32_t index);
    void close_data_files();

    // The entry field at a byte offset of the entry at the position.
    bool read_entry_field(int64_t position, size_t field_offset, size_t size, char* out);
    template <typename AtOrAfter>
    bool find_first_entry(int64_t guess_index, AtOrAfter at_or_after, int64_t* found);
    bool apply_seek(int64_t position);

    UnicodeFile m_file;
    std::string m_meta_filename;
    MetaFileHeader m_header;
    std::string m_session_id;
    std::string m_next_meta_filename;
    std::vector<std::string> m_file_map;
    // The file was never closed and is read as far as its entries go.
    bool m_unfinished = false;
    std::vector<DataFile> m_data_files;
    int64_t m_first_entry_offset = 0;
    int64_t m_last_entry_offset = 0;
    int64_t m_last_entry_index = -1;
    uint32_t m_filter = 0xFFFFFFFF;

    // The read-ahead chunk holds the entries from m_chunk_position -
    // m_chunk_end; its cursor is at the next entry.
    std::array<char, ChunkSize> m_chunk {};
    size_t m_chunk_cursor = 0;
    size_t m_chunk_end = 0;
    int64_t m_chunk_position = 0;
    // The index file's own read position; -1 when unknown after a failure.
    int64_t m_file_position = -1;
    // Entries that seeks look at, cached a chunk at a time.
    std::array<char, ChunkSize> m_window {};
    int64_t m_window_start = -1;
    size_t m_window_size = 0;
};
