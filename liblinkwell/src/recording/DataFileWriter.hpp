// The data files of a recording, on the recorder thread: opening a type's
// file under a ".writing" name with its headers (user header, CSV header
// line, the radar settings file beside baseband data), writing records into
// it with their byte counts for the index, and closing it under its final
// name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "recording/MetaData.hpp"
#include "recording/SessionMetaData.hpp"

namespace Sarvik {

class RecorderReports;
class SessionIndexWriter;
class SideFileWriter;

class DataFileWriter {
public:
    DataFileWriter(RecorderReports& reports, SessionIndexWriter& index, SideFileWriter& side_files);

    // Opens the type's data file under the base name unless it is open with
    // its headers; false with the error text on failure.
    bool ensure_open(
        MetaData& meta, SessionMetaData& session, const std::string& basename, std::string& error);
    // Writes bytes into the type's data file and counts them for the index:
    // under the type, or its complement for the user header.
    bool write(MetaData& meta, SessionMetaData& session, const uint8_t* data, size_t size, bool header);
    // Closes the type's data file under its final name (an empty one is
    // removed) and announces it.
    void close(MetaData& meta, SessionMetaData& session);

private:
    bool ensure_header(MetaData& meta, SessionMetaData& session);
    std::string rename(MetaData& meta);

    RecorderReports& reports;
    SessionIndexWriter& index;
    SideFileWriter& side_files;
};

} // namespace Sarvik
