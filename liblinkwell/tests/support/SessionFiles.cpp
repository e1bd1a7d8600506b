#include "support/SessionFiles.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include <gtest/gtest.h>

#include <linkwell/DataReader.hpp>

namespace testsupport {

namespace fs = std::filesystem;

std::vector<std::string> files_under(const std::string& root)
{
    std::vector<std::string> names;
    // Lexically: a recorder may rename a file while the folder is listed,
    // and fs::relative would look the vanished name up and throw.
    for (const auto& entry : fs::recursive_directory_iterator(root))
        names.push_back(entry.path().lexically_relative(root).generic_string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> names_in(const std::string& directory)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string only_match(const std::vector<std::string>& names, const std::string& pattern)
{
    std::vector<std::string> found;
    for (const auto& name : names)
        if (std::regex_match(name, std::regex(pattern)))
            found.push_back(name);
    EXPECT_EQ(1u, found.size()) << pattern << " in " << testing::PrintToString(names);
    return found.empty() ? std::string() : found.front();
}

Bytes byte_message(const Bytes& record)
{
    Bytes message { 0xA0, 0x10 };
    message.insert(message.end(), record.begin(), record.end());
    return message;
}

Bytes read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string read_text(const std::string& path)
{
    const Bytes bytes = read_file(path);
    return std::string(bytes.begin(), bytes.end());
}

uint32_t u32_at(const Bytes& bytes, size_t at)
{
    return uint32_t { bytes.at(at) } | uint32_t { bytes.at(at + 1) } << 8
        | uint32_t { bytes.at(at + 2) } << 16 | uint32_t { bytes.at(at + 3) } << 24;
}

int64_t i64_at(const Bytes& bytes, size_t at)
{
    return static_cast<int64_t>(u32_at(bytes, at) | uint64_t { u32_at(bytes, at + 4) } << 32);
}

std::vector<Sarvik::DataRecord> read_session(const std::string& index_file)
{
    Sarvik::DataReader reader;
    std::vector<Sarvik::DataRecord> records;
    EXPECT_EQ(0, reader.open(index_file, -1)) << index_file;
    while (reader.is_open() && !reader.at_end()) {
        Sarvik::DataRecord record = reader.read_record();
        if (!record.is_valid)
            break;
        if (!record.data.empty())
            records.push_back(record);
    }
    return records;
}

std::vector<Bytes> payloads(const std::vector<Sarvik::DataRecord>& records)
{
    std::vector<Bytes> out;
    for (const auto& record : records)
        if (!record.is_user_header && !record.is_csv_header())
            out.push_back(record.data);
    return out;
}

} // namespace testsupport
