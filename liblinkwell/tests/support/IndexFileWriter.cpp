#include "support/IndexFileWriter.hpp"

#include "common/LittleEndian.hpp"
#include "recording/CloseFileMetaEntry.hpp"
#include "recording/FileMapMetaEntry.hpp"
#include "recording/UnicodeFile.hpp"
#include "recording/WriteFileMetaEntry.hpp"

#include <bitset>
#include <filesystem>
#include <stdexcept>

namespace testsupport {

namespace {

void append_to(const std::string& path, const Bytes& bytes)
{
    UnicodeFile file(path, std::ios::out | std::ios::app | std::ios::binary);
    if (!file.write(bytes))
        throw std::runtime_error("cannot write " + path);
}

void append(Bytes& to, const Bytes& bytes)
{
    to.insert(to.end(), bytes.begin(), bytes.end());
}

} // namespace

IndexFileWriter::IndexFileWriter(std::string directory, std::string session_id, int64_t created)
    : directory_(std::move(directory))
    , session_id_(std::move(session_id))
{
    header_.created = created;
    header_.state = 1;
}

uint32_t IndexFileWriter::add_data_file(const std::string& name)
{
    UnicodeFile create(directory_ + "/" + name, std::ios::out | std::ios::binary);
    file_map_.push_back(name);
    file_sizes_.push_back(0);
    return static_cast<uint32_t>(file_map_.size() - 1);
}

void IndexFileWriter::write(
    uint32_t file_index, uint32_t data_type, const Bytes& record, uint32_t epoch_offset)
{
    append_to(directory_ + "/" + file_map_.at(file_index), record);
    const int64_t offset = file_sizes_[file_index];
    file_sizes_[file_index] += static_cast<int64_t>(record.size());
    total_ += static_cast<int64_t>(record.size());
    largest_ = std::max(largest_, static_cast<uint32_t>(record.size()));
    data_types_ |= std::bitset<32>(data_type).count() == 31 ? ~data_type : data_type;
    last_epoch_offset_ = epoch_offset;
    const WriteFileMetaEntry entry(
        epoch_offset, data_type, static_cast<uint32_t>(record.size()), offset, total_, file_index);
    append(entries_, entry.to_raw());
    ++entry_count_;
}

void IndexFileWriter::write_user_header(
    uint32_t file_index, uint32_t data_type, const Bytes& header, uint32_t epoch_offset)
{
    write(file_index, ~data_type, header, epoch_offset);
}

void IndexFileWriter::close_data_file(uint32_t file_index, uint32_t data_type, uint32_t epoch_offset)
{
    last_epoch_offset_ = epoch_offset;
    const CloseFileMetaEntry entry(epoch_offset, data_type, file_sizes_.at(file_index), total_, file_index);
    append(entries_, entry.to_raw());
    ++entry_count_;
}

std::string IndexFileWriter::finish(const std::string& name, int64_t duration)
{
    header_.bytes_recorded = total_;
    header_.max_record_size = largest_;
    header_.data_types = data_types_;
    header_.duration = duration >= 0 ? static_cast<uint32_t>(duration) : last_epoch_offset_;
    // Version 12 has no profile id (32 reserved bytes from 53); version 11
    // ends its fixed part after the next meta file offset, at 49.
    Bytes raw = header_.to_raw(session_id_);
    const Bytes session = AbstractMetaEntry::string_to_bytes(session_id_);
    if (header_.version == 11) {
        raw.resize(49);
        append(raw, session);
    } else if (header_.version == 12) {
        raw.resize(53);
        raw.insert(raw.end(), 32, 0xCD);
        append(raw, session);
    }
    first_entry_offset_ = static_cast<int64_t>(raw.size());
    const int64_t file_map_offset = first_entry_offset_ + static_cast<int64_t>(entries_.size());
    // The offset field sits at 29 in every version.
    Bytes field;
    little_endian::append_i64(field, file_map_offset);
    std::copy(field.begin(), field.end(), raw.begin() + 29);
    header_.file_map_offset = file_map_offset;
    append(raw, entries_);
    append(raw, FileMapMetaEntry(last_epoch_offset_, file_map_).to_raw());
    const std::string path = directory_ + "/" + name;
    UnicodeFile file(path, std::ios::out | std::ios::binary);
    if (!file.write(raw))
        throw std::runtime_error("cannot write " + path);
    return path;
}

void IndexFileWriter::link(const std::string& index_file, const std::string& link)
{
    UnicodeFile file(index_file, std::ios::in | std::ios::out | std::ios::binary | std::ios::ate);
    const int64_t at = file.tellp();
    Bytes offset;
    little_endian::append_i64(offset, at);
    if (!file.write(AbstractMetaEntry::string_to_bytes(link))
        || !file.seekp(MetaFileHeader::NextMetaFileOffsetPosition) || !file.write(offset))
        throw std::runtime_error("cannot link " + index_file);
}

void IndexFileWriter::patch(const std::string& path, int64_t offset, const Bytes& bytes)
{
    UnicodeFile file(path, std::ios::in | std::ios::out | std::ios::binary);
    if (!file.seekp(offset) || !file.write(bytes))
        throw std::runtime_error("cannot patch " + path);
}

void IndexFileWriter::truncate(const std::string& path, int64_t size)
{
    std::filesystem::resize_file(path, size);
}

} // namespace testsupport
