// Looks at what a recording left on disk: the files of a directory tree,
// their bytes, and the records of a session read back through DataReader;
// and the byte-data message that a recorder stores as a given record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <linkwell/Bytes.hpp>
#include <linkwell/DataRecord.hpp>

namespace testsupport {

// Every file and directory below `root`, as paths relative to it with "/"
// between the parts, sorted.
std::vector<std::string> files_under(const std::string& root);
// The entries directly inside `directory`, sorted by name.
std::vector<std::string> names_in(const std::string& directory);
// The one name that matches the pattern (a regular expression); fails the
// test unless exactly one does.
std::string only_match(const std::vector<std::string>& names, const std::string& pattern);
Bytes read_file(const std::string& path);
std::string read_text(const std::string& path);

// Little-endian numbers of a file's bytes.
uint32_t u32_at(const Bytes& bytes, size_t at);
int64_t i64_at(const Bytes& bytes, size_t at);

// The session id that the recorder tests give their sessions.
inline const std::string session_id = "0b7e7c8e-1111-4222-8333-944455556666";

// A byte-data message (A0 10 ...) whose stored record is `record`.
Bytes byte_message(const Bytes& record);

// Every record of the session whose (first) index file is named, the whole
// chain followed; fails the test when the reader cannot open it.
std::vector<Sarvik::DataRecord> read_session(const std::string& index_file);
// The data of every record that is not a user header nor a CSV header line.
std::vector<Bytes> payloads(const std::vector<Sarvik::DataRecord>& records);

} // namespace testsupport
