// Reads a recorded session record by record in the order of recording: its
// index file and the chain of later index files of the same session, with a
// data-type filter and seeks by time and by byte across the whole chain.
// Status results are 0 for success and 1 for failure; nothing is thrown.
// One thread at a time.
//
// A session that was never closed (its recording process was killed or
// crashed, its disk filled up, or it is still being recorded) is read too,
// read only: an index file that still has the header of a file being written
// opens with a warning line on standard output, its data files named by the
// journal beside it ("sarvik_recording_meta_tmp.writing"), and reads up to
// its last whole entry; its duration, size and data types come from those
// entries. Such a file without its journal, and anything that breaks the
// format, is refused. Only regular files are read, and every file that a
// recording names (data files, later index files) must lie inside the
// recording: a name or symbolic link that leads elsewhere is refused.
#pragma once

#include <memory>
#include <string>

#include "DataRecord.hpp"
#include "DataType.hpp"
#include "linkwell_export.h"

namespace Sarvik {

class DataReaderPrivate;

class LINKWELL_API DataReader {
public:
    DataReader();
    ~DataReader();
    DataReader(const DataReader&) = delete;
    DataReader& operator=(const DataReader&) = delete;

    // Opens the index file and up to count index files of its chain in all
    // (a negative count follows the whole chain, which ends at a file it has
    // opened already). All or nothing: a file that cannot be opened, or that
    // belongs to another session, fails the whole open. Fails for an empty
    // name, a count of 0 and a reader that is open.
    int open(const std::string& meta_filename, int count);
    bool is_open() const;
    // Forgets everything but the filter.
    void close();
    bool at_end() const;

    // Refuses 0 and masks with bits above the 23 types, except 0xFFFFFFFF
    // (every type), with a line on standard output.
    int set_filter(DataTypes filter);
    DataTypes get_filter() const;

    // Reads the next record that passes the filter into the buffer, cut to
    // its length. Each output that is given is set to 0 first.
    int read_record(unsigned char* buffer, unsigned length, unsigned* size, unsigned* data_type,
        long long* epoch, unsigned char* is_user_header);
    // The same, but the reader stays where it was.
    int peek_record(unsigned char* buffer, unsigned length, unsigned* size, unsigned* data_type,
        long long* epoch, unsigned char* is_user_header);
    // The next record whole; is_valid is false when the read failed.
    DataRecord read_record();
    DataRecord peek_record();

    // Positions at the first record at or after ms from the start; a time on
    // the boundary of two index files selects the end of the earlier one.
    int seek_ms(long long ms);
    // Positions at the record that holds the byte of the recording's data.
    int seek_byte(long long byte);

    long long get_start_epoch() const; // ms since 1970-01-01 UTC; -1 before open
    long long get_duration() const; // ms, the sum over the index files; -1 before open
    long long get_size() const; // bytes; -1 before open
    DataTypes get_data_types() const;
    unsigned get_max_record_size() const;
    std::string get_session_id() const;
    unsigned get_meta_version() const;
    unsigned get_profile_id() const;

private:
    std::unique_ptr<DataReaderPrivate> d;
};

} // namespace Sarvik
