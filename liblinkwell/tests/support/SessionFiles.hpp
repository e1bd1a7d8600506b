// Looks at what a recording left on disk: the files of a directory tree,
// their bytes, and the records of a session read back through DataReader.
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
Bytes read_file(const std::string& path);
std::string read_text(const std::string& path);

// Little-endian numbers of a file's bytes.
uint32_t u32_at(const Bytes& bytes, size_t at);
int64_t i64_at(const Bytes& bytes, size_t at);

// Every record of the session whose (first) index file is named, the whole
// chain followed; fails the test when the reader cannot open it.
std::vector<Sarvik::DataRecord> read_session(const std::string& index_file);
// The data of every record that is not a user header nor a CSV header line.
std::vector<Bytes> payloads(const std::vector<Sarvik::DataRecord>& records);

} // namespace testsupport
