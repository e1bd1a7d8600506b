#include "recording/RecordingMetaFile.hpp"

#include "common/LittleEndian.hpp"
#include "recording/DataTypeTable.hpp"
#include "recording/StdoutReport.hpp"

#include <algorithm>
#include <bitset>
#include <climits>
#include <cstring>
#include <filesystem>
#include <sstream>

namespace {

constexpr int64_t entry_size = AbstractMetaEntry::EntrySize;

// Byte offsets of the fields of an entry.
constexpr size_t epoch_offset_field = 0;
constexpr size_t type_field = 4;
constexpr size_t data_type_field = 5;
constexpr size_t bytes_written_field = 9;
constexpr size_t filename_index_field = 13;
constexpr size_t offset_field = 17;
constexpr size_t total_field = 25;

// A user header is stored under the complement of its type bit.
uint32_t plain_type(uint32_t data_type)
{
    return std::bitset<32>(data_type).count() == 31 ? ~data_type : data_type;
}

// The recorder names data files inside the index file's directory; a name
// that climbs out of it or starts at the root is not one of its names.
bool is_data_file_name(const std::string& name)
{
    if (name.empty() || name.front() == '/' || name.front() == '\\')
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        const size_t end = std::min(name.find_first_of("/\\", start), name.size());
        if (name.compare(start, end - start, "..") == 0 && end - start == 2)
            return false;
        start = end + 1;
    }
    return true;
}

// The directory that names in a file in `directory` are relative to: "."
// for a file without one.
std::string directory_or_current(const std::string& directory)
{
    return directory.empty() ? "." : directory;
}

bool ends_with(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Something is found at the path; a path that cannot be looked at counts as
// nothing there.
bool exists(const std::string& path)
{
    std::error_code error;
    return std::filesystem::exists(path, error);
}

enum class Whereabouts { Inside, Outside, Missing };

// Where the path leads once its symbolic links are followed: inside the root
// directory, outside it, or nowhere (nothing there yet, or it cannot be
// looked at).
Whereabouts whereabouts(const std::string& path, const std::string& root)
{
    std::error_code error;
    const std::filesystem::path target = std::filesystem::canonical(path, error);
    if (error)
        return Whereabouts::Missing;
    const std::filesystem::path base = std::filesystem::canonical(root, error);
    if (error)
        return Whereabouts::Outside;
    const auto mismatch = std::mismatch(base.begin(), base.end(), target.begin(), target.end());
    // The root itself is no file in it.
    return mismatch.first == base.end() && mismatch.second != target.end() ? Whereabouts::Inside
                                                                           : Whereabouts::Outside;
}

} // namespace

RecordingMetaFile::RecordingMetaFile(const std::string& meta_filename)
    : m_meta_filename(meta_filename)
{
    open();
}

RecordingMetaFile::~RecordingMetaFile()
{
    close();
}

bool RecordingMetaFile::refuse(const std::string& message)
{
    report_line(message);
    close();
    m_header = MetaFileHeader();
    m_session_id.clear();
    m_next_meta_filename.clear();
    m_file_map.clear();
    return false;
}

bool RecordingMetaFile::open()
{
    if (is_open())
        return true;
    m_header = MetaFileHeader();
    m_file.clear();
    m_file.set_filename(m_meta_filename);
    if (!m_file.open(std::ios::in | std::ios::binary))
        return refuse("failed to open meta file: " + m_meta_filename);
    m_file_position = 0;
    std::string link;
    if (!read_header() || !(m_unfinished ? recover() : read_file_map()) || !read_link(&link))
        return false;
    if (!m_file.seekg(m_first_entry_offset, std::ios::beg))
        return refuse("failed to seek to first entry offset in file: " + m_meta_filename);
    m_file_position = m_first_entry_offset;
    m_last_entry_offset = m_header.file_map_offset - entry_size;
    m_last_entry_index = (m_last_entry_offset - m_first_entry_offset) / entry_size;
    m_data_files.clear();
    m_data_files.resize(m_file_map.size());
    m_chunk_cursor = m_chunk_end = 0;
    m_chunk_position = m_first_entry_offset;
    m_window_start = -1;
    resolve_link(link);
    if (!link_inside(link))
        return refuse("failed to open meta file: " + m_meta_filename + ": invalid format");
    return true;
}

bool RecordingMetaFile::read_header()
{
    const std::string invalid_format = "failed to open meta file: " + m_meta_filename + ": invalid format";
    char raw[8];
    const auto read_u32 = [&](uint32_t* value) {
        const bool ok = m_file.read_bytes(raw, 4);
        *value = ok ? little_endian::u32(raw) : 0;
        return ok;
    };
    const auto read_i64 = [&](int64_t* value) {
        const bool ok = m_file.read_bytes(raw, 8);
        *value = ok ? little_endian::i64(raw) : 0;
        return ok;
    };
    MetaFileHeader& h = m_header;
    if (!read_u32(&h.magic) || h.magic != MetaFileHeader::Magic || !read_u32(&h.version))
        return refuse(invalid_format);
    if (h.version <= 10) {
        report_line(invalid_format);
        return refuse("minimum supported version: 1.1, current version: " + meta_version_text(h.version));
    }
    const bool fields_read = read_i64(&h.created) && m_file.read_bytes(raw, 1) && ((h.state = raw[0]), true)
        && read_u32(&h.duration) && read_i64(&h.bytes_recorded) && read_i64(&h.file_map_offset)
        && read_u32(&h.data_types) && read_i64(&h.next_meta_file_offset);
    if (!fields_read)
        return refuse(invalid_format);
    if (h.version == 11) {
        h.max_record_size = MetaFileHeader::Version11MaxRecordSize;
        h.profile_id = 0;
    } else {
        if (!read_u32(&h.max_record_size) || (h.version > 12 && !read_u32(&h.profile_id)))
            return refuse(invalid_format);
        if (!m_file.seekg(h.version > 12 ? 28 : 32, std::ios::cur))
            return refuse("failed to skip reserved bytes in meta file: " + m_meta_filename);
    }
    m_session_id = m_file.read_size_prefixed_string();
    if (!m_file.good())
        return refuse("failed to read bytes from meta file: " + m_meta_filename);
    if (m_session_id.empty())
        return refuse(invalid_format);
    m_first_entry_offset = m_file.tellg();

    // A file still being written, or left so by a crash or a full disk: its
    // header holds no totals yet; they are rebuilt from its entries.
    m_unfinished = h.state == 0 && h.file_map_offset == -1;
    if (m_unfinished)
        return true;
    // A file map before the first entry marks a file that was never closed.
    // The rest are bounds that a file the recorder closed always keeps: whole
    // entries, and a largest record that is neither missing nor larger than
    // all records together.
    const bool inconsistent = h.file_map_offset < m_first_entry_offset
        || (h.file_map_offset - m_first_entry_offset) % entry_size != 0 || h.bytes_recorded < 0
        || (h.version > 11
            && ((h.bytes_recorded > 0 && h.max_record_size == 0) || h.max_record_size > h.bytes_recorded));
    if (inconsistent)
        return refuse(invalid_format);
    return true;
}

bool RecordingMetaFile::recover()
{
    const std::string invalid_format = "failed to open meta file: " + m_meta_filename + ": invalid format";
    const std::string directory = directory_or_current(dirname(m_meta_filename));
    // Without the journal the names of the data files are lost.
    UnicodeFile journal(directory + "/" + JournalName, std::ios::in | std::ios::binary);
    if (!journal.is_open())
        return refuse(invalid_format);
    report_line(
        "warning: meta file was never closed: " + m_meta_filename + ": read up to its last whole entry");
    read_journal(journal);
    scan_entries();
    return true;
}

// Journal records: u32 file name index, then the size-prefixed name. A
// later record of an index gives the file's name after its close. Reading
// ends at the first record that is cut short or names no file of the
// recording.
void RecordingMetaFile::read_journal(UnicodeFile& journal)
{
    m_file_map.clear();
    char raw[4];
    while (journal.read_bytes(raw, sizeof raw)) {
        const uint32_t index = little_endian::u32(raw);
        const std::string name = journal.read_size_prefixed_string();
        if (!journal.good() || index > m_file_map.size() || !is_data_file_name(name)
            || !data_file_inside(name))
            break;
        if (index == m_file_map.size())
            m_file_map.push_back(name);
        else
            m_file_map[index] = name;
    }
    const std::string directory = directory_or_current(dirname(m_meta_filename));
    const std::string writing = ".writing";
    for (std::string& name : m_file_map) {
        // A data file closed after the journal's last word about it has its
        // final name.
        if (!ends_with(name, writing) || exists(directory + "/" + name))
            continue;
        const std::string stem = name.substr(0, name.size() - writing.size());
        for (const char* extension : { ".dat", ".csv", ".txt" })
            if (exists(directory + "/" + stem + extension)) {
                name = stem + extension;
                break;
            }
    }
}

// Takes the entries up to the last whole one that follows on from those
// before it (its running total and its time do not go back) as the file's
// entries, and the header's totals from them.
void RecordingMetaFile::scan_entries()
{
    MetaFileHeader& h = m_header;
    h.data_types = 0;
    h.max_record_size = 0;
    // Whole entries only: a write cut short by a full disk or a kill leaves
    // part of one at the end.
    const int64_t size = m_file.size();
    const int64_t whole = std::max<int64_t>(0, (size - m_first_entry_offset) / entry_size) * entry_size;
    const int64_t end = m_first_entry_offset + whole;
    int64_t position = m_first_entry_offset;
    int64_t total = 0;
    uint32_t time = 0;
    std::array<char, ChunkSize> chunk;
    bool going = m_file.seekg(position, std::ios::beg);
    while (going && position < end) {
        const auto count = static_cast<size_t>(std::min<int64_t>(ChunkSize, end - position));
        if (!m_file.read_bytes(chunk.data(), static_cast<unsigned>(count)))
            break;
        for (size_t at = 0; going && at < count; at += entry_size) {
            MetaEntry entry;
            const bool write = chunk[at + type_field] == AbstractMetaEntry::WriteFile;
            going = decode_entry(chunk.data() + at, &entry) && entry.epoch_offset >= time
                && entry.total_bytes_recorded >= total
                && entry.total_bytes_recorded - total >= (write ? entry.bytes_written : 0);
            if (!going)
                break;
            total = entry.total_bytes_recorded;
            time = entry.epoch_offset;
            if (write) {
                h.data_types |= plain_type(entry.data_type);
                h.max_record_size = std::max(h.max_record_size, entry.bytes_written);
            }
            position += entry_size;
        }
    }
    m_file.clear();
    h.duration = time;
    h.bytes_recorded = total;
    h.file_map_offset = position;
}

bool RecordingMetaFile::read_file_map()
{
    if (!m_file.seekg(m_header.file_map_offset, std::ios::beg))
        return refuse("failed to seek to file map in meta file: " + m_meta_filename);
    char raw[9];
    const std::string invalid_format = "failed to open meta file: " + m_meta_filename + ": invalid format";
    if (!m_file.read_bytes(raw, sizeof raw) || static_cast<uint8_t>(raw[4]) != AbstractMetaEntry::FileMap)
        return refuse(invalid_format);
    const uint32_t count = little_endian::u32(raw + 5);
    // An empty map is what the recorder leaves when it stored nothing; with
    // recorded bytes it is damage.
    if (count == 0 && m_header.bytes_recorded != 0)
        return refuse(invalid_format);
    m_file_map.clear();
    for (uint32_t i = 0; i < count; ++i) {
        std::string name = m_file.read_size_prefixed_string();
        if (!m_file.good())
            return refuse("failed to read bytes from meta file: " + m_meta_filename);
        if (!is_data_file_name(name) || !data_file_inside(name))
            return refuse(invalid_format);
        m_file_map.push_back(std::move(name));
    }
    return true;
}

bool RecordingMetaFile::read_link(std::string* link)
{
    link->clear();
    if (m_header.next_meta_file_offset <= 0)
        return true;
    if (!m_file.seekg(m_header.next_meta_file_offset, std::ios::beg))
        return refuse("failed to seek to next meta offset in file: " + m_meta_filename);
    *link = m_file.read_size_prefixed_string();
    if (!m_file.good())
        return refuse("failed to read bytes from meta file: " + m_meta_filename);
    // A link names a file of the same session: in this file's directory, or
    // after one "../" in its parent (the session directory).
    const std::string rest = link->compare(0, 3, "../") == 0 ? link->substr(3) : *link;
    if (link->empty() || !is_data_file_name(rest))
        return refuse("failed to open meta file: " + m_meta_filename + ": invalid format");
    return true;
}

// The link is relative to this file's directory, or, after "../", to its
// parent.
void RecordingMetaFile::resolve_link(const std::string& link)
{
    if (link.empty()) {
        m_next_meta_filename.clear();
        return;
    }
    std::string directory = dirname(m_meta_filename);
    std::string path = link;
    if (path.compare(0, 3, "../") == 0 && !directory.empty()) {
        directory = dirname(directory);
        path.erase(0, 3);
    }
    m_next_meta_filename = directory.empty() ? path : directory + "/" + path;
    // The next index file is linked under its final name as soon as it is
    // opened; one that was never closed still has its ".writing" name.
    const std::string final_extension = ".dat";
    if (!exists(m_next_meta_filename) && ends_with(m_next_meta_filename, final_extension)) {
        const std::string writing
            = m_next_meta_filename.substr(0, m_next_meta_filename.size() - final_extension.size())
            + ".writing";
        if (exists(writing))
            m_next_meta_filename = writing;
    }
}

bool RecordingMetaFile::data_file_inside(const std::string& name) const
{
    const std::string directory = directory_or_current(dirname(m_meta_filename));
    return whereabouts(directory + "/" + name, directory) != Whereabouts::Outside;
}

bool RecordingMetaFile::link_inside(const std::string& link) const
{
    std::string root = directory_or_current(dirname(m_meta_filename));
    if (link.compare(0, 3, "../") == 0)
        root += "/..";
    return whereabouts(m_next_meta_filename, root) != Whereabouts::Outside;
}

void RecordingMetaFile::close()
{
    close_data_files();
    m_data_files.clear();
    if (m_file.is_open())
        m_file.close();
    m_file.clear();
    m_chunk_cursor = m_chunk_end = 0;
    m_chunk_position = 0;
    m_file_position = -1;
    m_window_start = -1;
}

int64_t RecordingMetaFile::position() const
{
    if (!is_open())
        return -1;
    return m_chunk_position - static_cast<int64_t>(m_chunk_end - m_chunk_cursor);
}

void RecordingMetaFile::set_position(int64_t position)
{
    if (!is_open())
        return;
    position = std::clamp(position, m_first_entry_offset, end_of_entries());
    position -= (position - m_first_entry_offset) % entry_size;
    const int64_t chunk_start = m_chunk_position - static_cast<int64_t>(m_chunk_end);
    if (m_chunk_end > 0 && position >= chunk_start && position <= m_chunk_position) {
        m_chunk_cursor = static_cast<size_t>(position - chunk_start);
        return;
    }
    m_chunk_cursor = m_chunk_end = 0;
    m_chunk_position = position;
}

bool RecordingMetaFile::at_end() const
{
    if (!is_open())
        return false;
    if ((m_header.data_types & m_filter) == 0)
        return true;
    return position() >= end_of_entries();
}

bool RecordingMetaFile::read_at(int64_t position, char* buffer, size_t size, const char* read_failure)
{
    if (m_file_position != position) {
        m_file.clear();
        if (!m_file.seekg(position, std::ios::beg)) {
            m_file_position = -1;
            report_line("failed to seek in meta file: " + m_meta_filename);
            report_file_error(m_file.error_text());
            return false;
        }
        m_file_position = position;
    }
    if (!m_file.read_bytes(buffer, static_cast<unsigned>(size))) {
        m_file.clear();
        m_file_position = -1;
        report_line(read_failure + m_meta_filename);
        report_file_error(m_file.error_text());
        return false;
    }
    m_file_position += static_cast<int64_t>(size);
    return true;
}

// Entries are read a chunk at a time. A failing read leaves the rest of the
// file unreadable, so reading ends there.
bool RecordingMetaFile::fill_chunk()
{
    const int64_t position = this->position();
    if (position >= end_of_entries())
        return false;
    const auto size = static_cast<size_t>(std::min<int64_t>(ChunkSize, end_of_entries() - position));
    if (!read_at(position, m_chunk.data(), size, "failed to read meta file into chunk of mem: ")) {
        fast_forward_to_eof();
        return false;
    }
    m_chunk_cursor = 0;
    m_chunk_end = size;
    m_chunk_position = position + static_cast<int64_t>(size);
    return true;
}

bool RecordingMetaFile::decode_entry(const char* raw, MetaEntry* entry) const
{
    entry->epoch_offset = little_endian::u32(raw + epoch_offset_field);
    entry->type = static_cast<uint8_t>(raw[type_field]);
    entry->data_type = little_endian::u32(raw + data_type_field);
    entry->bytes_written = little_endian::u32(raw + bytes_written_field);
    entry->filename_index = little_endian::u32(raw + filename_index_field);
    entry->offset = little_endian::i64(raw + offset_field);
    entry->total_bytes_recorded = little_endian::i64(raw + total_field);
    if (entry->filename_index >= m_file_map.size())
        return false;
    switch (entry->type) {
    case AbstractMetaEntry::WriteFile:
        return Sarvik::is_single_data_type(plain_type(entry->data_type)) && entry->offset >= 0
            && entry->offset <= INT64_MAX - entry->bytes_written;
    case AbstractMetaEntry::CloseFile:
        return Sarvik::is_single_data_type(entry->data_type);
    default:
        return false;
    }
}

void RecordingMetaFile::report_damaged_entry()
{
    report_line("failed to read bytes from meta file: " + m_meta_filename + ": invalid format");
}

bool RecordingMetaFile::matches_filter(const MetaEntry& entry) const
{
    return entry.type == AbstractMetaEntry::WriteFile && (plain_type(entry.data_type) & m_filter) != 0;
}

bool RecordingMetaFile::read_meta_entry(MetaEntry* entry)
{
    if (!is_open())
        return false;
    if (m_chunk_cursor >= m_chunk_end && !fill_chunk())
        return false;
    MetaEntry decoded;
    if (!decode_entry(&m_chunk[m_chunk_cursor], &decoded)) {
        report_damaged_entry();
        fast_forward_to_eof();
        return false;
    }
    m_chunk_cursor += entry_size;
    if (entry)
        *entry = decoded;
    return true;
}

int RecordingMetaFile::read_record(char* buffer, uint32_t length, uint32_t* data_type, int64_t* epoch)
{
    if (length == 0)
        return 0;
    return read_next_record(buffer, length, nullptr, data_type, epoch);
}

int RecordingMetaFile::read_record(Bytes& record, uint32_t max_length, uint32_t* data_type, int64_t* epoch)
{
    return read_next_record(nullptr, max_length, &record, data_type, epoch);
}

int RecordingMetaFile::read_next_record(
    char* buffer, uint32_t length, Bytes* grow, uint32_t* data_type, int64_t* epoch)
{
    // The byte count comes back as an int.
    length = std::min<uint32_t>(length, INT_MAX);
    // A close entry or a failed read hands out no bytes of an earlier read.
    if (grow)
        grow->clear();
    for (;;) {
        if (!is_open() || at_end())
            return ReadFailed;
        MetaEntry entry;
        if (!read_meta_entry(&entry))
            return NoEntry;
        const int64_t time = m_header.created + entry.epoch_offset;
        if (entry.type == AbstractMetaEntry::CloseFile) {
            close_data_file(entry.filename_index);
            if (!at_end())
                continue;
            *data_type = entry.data_type;
            *epoch = time;
            return 0;
        }
        if (!matches_filter(entry))
            continue;
        DataFile* file = data_file(entry.filename_index);
        if (!file)
            return ReadFailed;
        const uint32_t size = std::min(length, entry.bytes_written);
        if (entry.offset > file->size || size > file->size - entry.offset) {
            report_line("failed to read from file:");
            report_file_error("unexpected end of file");
            return ReadFailed;
        }
        if (grow) {
            grow->resize(size);
            buffer = reinterpret_cast<char*>(grow->data());
        }
        if (!read_data(*file, entry.offset, buffer, size)) {
            if (grow)
                grow->clear();
            return ReadFailed;
        }
        *data_type = entry.data_type;
        *epoch = time;
        if (entry.total_bytes_recorded == m_header.bytes_recorded)
            fast_forward_to_eof();
        else
            fast_forward_to_next_data_record_with_filter();
        return static_cast<int>(size);
    }
}

bool RecordingMetaFile::read_data(DataFile& file, int64_t offset, char* buffer, uint32_t size)
{
    if (size > ReadAheadRecordSize)
        return read_direct(file, offset, buffer, size);
    if (offset < file.ahead_start
        || offset + size > file.ahead_start + static_cast<int64_t>(file.ahead.size())) {
        // The file holds the record, so the window holds it whole.
        file.ahead.resize(static_cast<size_t>(std::min(ReadAheadSize, file.size - offset)));
        if (!read_direct(file, offset, file.ahead.data(), static_cast<uint32_t>(file.ahead.size()))) {
            file.ahead.clear();
            return false;
        }
        file.ahead_start = offset;
    }
    if (size > 0)
        std::memcpy(buffer, file.ahead.data() + (offset - file.ahead_start), size);
    return true;
}

bool RecordingMetaFile::read_direct(DataFile& file, int64_t offset, char* buffer, uint32_t size)
{
    if (file.position != offset) {
        file.file->clear();
        if (!file.file->seekg(offset, std::ios::beg)) {
            file.position = -1;
            report_line("failed to seek to offset: " + std::to_string(offset));
            report_file_error(file.file->error_text());
            return false;
        }
        file.position = offset;
    }
    if (size > 0 && !file.file->read_bytes(buffer, size)) {
        file.file->clear();
        file.position = -1;
        report_line("failed to read from file:");
        report_file_error(file.file->error_text());
        return false;
    }
    file.position += size;
    return true;
}

RecordingMetaFile::DataFile* RecordingMetaFile::data_file(uint32_t index)
{
    DataFile& slot = m_data_files[index];
    if (slot.file)
        return &slot;
    const std::string directory = directory_or_current(dirname(m_meta_filename));
    const std::string name = directory + "/" + m_file_map[index];
    // Checked again here: the file may have been replaced since the open.
    if (whereabouts(name, directory) == Whereabouts::Outside) {
        report_line("failed to open meta file: " + m_meta_filename + ": invalid format");
        return nullptr;
    }
    auto file = std::make_unique<UnicodeFile>(name, std::ios::in | std::ios::binary);
    if (!file->is_open()) {
        report_line("failed to open file: " + m_file_map[index]);
        report_line("in directory: " + directory);
        return nullptr;
    }
    slot.size = file->size();
    slot.position = 0;
    slot.file = std::move(file);
    return &slot;
}

void RecordingMetaFile::close_data_file(uint32_t index)
{
    if (index < m_data_files.size())
        m_data_files[index] = DataFile();
}

void RecordingMetaFile::close_data_files()
{
    for (DataFile& slot : m_data_files)
        slot = DataFile();
}

void RecordingMetaFile::fast_forward_to_eof()
{
    close_data_files();
    m_chunk_cursor = m_chunk_end = 0;
    m_chunk_position = end_of_entries();
}

void RecordingMetaFile::fast_forward_to_next_data_record_with_filter()
{
    if (!is_open() || m_filter == Sarvik::every_data_type)
        return;
    for (;;) {
        if (m_chunk_cursor >= m_chunk_end) {
            if (position() >= end_of_entries()) {
                fast_forward_to_eof();
                return;
            }
            if (!fill_chunk())
                return;
        }
        MetaEntry entry;
        if (!decode_entry(&m_chunk[m_chunk_cursor], &entry)) {
            report_damaged_entry();
            fast_forward_to_eof();
            return;
        }
        if (matches_filter(entry))
            return;
        if (entry.type == AbstractMetaEntry::CloseFile)
            close_data_file(entry.filename_index);
        m_chunk_cursor += entry_size;
    }
}

bool RecordingMetaFile::read_entry_field(int64_t position, size_t field_offset, size_t size, char* out)
{
    const bool cached = m_window_start >= 0 && position >= m_window_start
        && position + entry_size <= m_window_start + static_cast<int64_t>(m_window_size);
    if (!cached) {
        const int64_t start = position - (position - m_first_entry_offset) % static_cast<int64_t>(ChunkSize);
        const auto window_size = static_cast<size_t>(std::min<int64_t>(ChunkSize, end_of_entries() - start));
        m_window_start = -1;
        if (!read_at(start, m_window.data(), window_size, "failed to read bytes from meta file: "))
            return false;
        m_window_start = start;
        m_window_size = window_size;
    }
    std::memcpy(out, &m_window[static_cast<size_t>(position - m_window_start) + field_offset], size);
    return true;
}

// Walks from the guessed entry to the first entry for which at_or_after
// holds: forward while it does not, back while it does, stopping at the
// first change of direction or at either end of the entries. On entries in
// recording order that is the first such entry in the file.
template <typename AtOrAfter>
bool RecordingMetaFile::find_first_entry(int64_t guess_index, AtOrAfter at_or_after, int64_t* found)
{
    int64_t position
        = m_first_entry_offset + std::clamp<int64_t>(guess_index, 0, m_last_entry_index) * entry_size;
    bool after = false;
    if (!at_or_after(position, &after))
        return false;
    if (!after) {
        for (;;) {
            position += entry_size;
            if (position > m_last_entry_offset) {
                *found = end_of_entries();
                return true;
            }
            if (!at_or_after(position, &after))
                return false;
            if (after) {
                *found = position;
                return true;
            }
        }
    }
    for (;;) {
        if (position == m_first_entry_offset) {
            *found = position;
            return true;
        }
        if (!at_or_after(position - entry_size, &after))
            return false;
        if (!after) {
            *found = position;
            return true;
        }
        position -= entry_size;
    }
}

// A seek that lands on a close entry after the last record ends the file; on
// any other entry, reading goes on from there (the last record included).
bool RecordingMetaFile::apply_seek(int64_t position)
{
    position = std::clamp(position, m_first_entry_offset, end_of_entries());
    if (position >= end_of_entries()) {
        fast_forward_to_eof();
        return true;
    }
    char raw[entry_size];
    if (!read_entry_field(position, 0, sizeof raw, raw))
        return false;
    MetaEntry entry;
    if (decode_entry(raw, &entry) && entry.type == AbstractMetaEntry::CloseFile
        && entry.total_bytes_recorded == m_header.bytes_recorded) {
        fast_forward_to_eof();
        return true;
    }
    set_position(position);
    fast_forward_to_next_data_record_with_filter();
    return true;
}

bool RecordingMetaFile::seek_ms(uint32_t ms)
{
    if (!is_open() || ms > m_header.duration)
        return false;
    if (m_last_entry_index < 0 || (ms == m_header.duration && m_header.duration > 0))
        return apply_seek(end_of_entries());
    const int64_t guess = m_header.duration == 0
        ? 0
        : static_cast<int64_t>(static_cast<long double>(ms) / m_header.duration * m_last_entry_index);
    int64_t found = 0;
    const auto at_or_after = [this, ms](int64_t position, bool* after) {
        char raw[4];
        if (!read_entry_field(position, epoch_offset_field, sizeof raw, raw))
            return false;
        *after = little_endian::u32(raw) >= ms;
        return true;
    };
    return find_first_entry(guess, at_or_after, &found) && apply_seek(found);
}

bool RecordingMetaFile::seek_byte(int64_t byte)
{
    if (!is_open() || byte < 0 || byte > m_header.bytes_recorded)
        return false;
    if (m_last_entry_index < 0 || byte == m_header.bytes_recorded)
        return apply_seek(end_of_entries());
    const auto guess = static_cast<int64_t>(static_cast<long double>(byte)
        / static_cast<long double>(m_header.bytes_recorded) * m_last_entry_index);
    int64_t found = 0;
    const auto holds_or_after = [this, byte](int64_t position, bool* after) {
        char raw[8];
        if (!read_entry_field(position, total_field, sizeof raw, raw))
            return false;
        *after = little_endian::i64(raw) > byte;
        return true;
    };
    return find_first_entry(guess, holds_or_after, &found) && apply_seek(found);
}

void RecordingMetaFile::print_header() const
{
    std::ostringstream magic;
    magic << std::hex << m_header.magic;
    report_line("magic: 0x" + magic.str());
    report_line("version: " + std::to_string(m_header.version));
    report_line("created: " + std::to_string(m_header.created));
    report_line("state: " + std::to_string(m_header.state));
    report_line("duration: " + std::to_string(m_header.duration));
    report_line("bytes recorded: " + std::to_string(m_header.bytes_recorded));
    report_line("file map offset: " + std::to_string(m_header.file_map_offset));
    report_line("next meta file offset: " + std::to_string(m_header.next_meta_file_offset));
    report_line("session id: " + m_session_id);
}
