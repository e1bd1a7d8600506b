#include <linkwell/DataReader.hpp>

#include "recording/DataTypeTable.hpp"
#include "recording/RecordingMetaFile.hpp"
#include "recording/StdoutReport.hpp"

#include <algorithm>
#include <bitset>
#include <climits>
#include <optional>
#include <vector>

namespace Sarvik {

class DataReaderPrivate {
public:
    // One record's outputs as the index file gives them.
    struct Read {
        unsigned size = 0;
        unsigned data_type = 0;
        long long epoch = 0;
        unsigned char is_user_header = 0;
    };

    int open(const std::string& meta_filename, int count);
    void close();
    bool is_open() const { return !file_list.empty(); }
    bool at_end() const;
    RecordingMetaFile* reach_file();
    // Reads into the buffer, or, when record is given, into it whole.
    int read(char* buffer, uint32_t length, Bytes* record, Read* out);
    template <typename Reading> int peek(Reading reading);
    template <typename Share, typename Seek>
    int seek(long long value, long long total, Share share, Seek seek);

    int32_t current_file_index = -1;
    uint32_t meta_version = 0;
    int64_t start_epoch = -1;
    int64_t duration = -1;
    int64_t size = -1;
    uint32_t filter = every_data_type;
    uint32_t data_types = 0;
    uint32_t max_record_size = 0;
    uint32_t profile_id = 0;
    std::string session_id;
    std::vector<std::unique_ptr<RecordingMetaFile>> file_list;
    Bytes record;
};

int DataReaderPrivate::open(const std::string& meta_filename, int count)
{
    if (meta_filename.empty() || is_open() || count == 0)
        return 1;
    std::vector<std::unique_ptr<RecordingMetaFile>> opened;
    std::vector<std::optional<FileIdentity>> seen;
    std::string expected_id;
    int64_t total_duration = 0;
    int64_t total_size = 0;
    uint32_t types = 0;
    uint32_t largest = 0;
    std::string name = meta_filename;
    for (;;) {
        auto file = std::make_unique<RecordingMetaFile>(name);
        if (!file->is_open())
            return 1;
        if (opened.empty())
            expected_id = file->session_id();
        if (file->session_id().empty() || file->session_id() != expected_id) {
            report_line("failed to open meta file: " + name + ": invalid session id");
            report_line("expected id: " + expected_id + ", actual id: " + file->session_id());
            return 1;
        }
        const MetaFileHeader& header = file->header();
        total_duration += header.duration;
        total_size += header.bytes_recorded;
        types |= header.data_types;
        largest = std::max(largest, header.max_record_size);
        file->set_filter(filter);
        file->close();
        seen.push_back(UnicodeFile::identity(name));
        opened.push_back(std::move(file));

        if (count == 1)
            break;
        if (count > 0)
            --count;
        name = opened.back()->next_meta_filename();
        if (name.empty())
            break;
        // A link back to a file of this chain would go round for ever.
        const std::optional<FileIdentity> next = UnicodeFile::identity(name);
        if (next && std::find(seen.begin(), seen.end(), next) != seen.end())
            break;
    }
    const MetaFileHeader& first = opened.front()->header();
    current_file_index = 0;
    meta_version = first.version;
    start_epoch = first.created;
    profile_id = first.profile_id;
    duration = total_duration;
    size = total_size;
    data_types = types;
    max_record_size = largest;
    session_id = expected_id;
    file_list = std::move(opened);
    return 0;
}

void DataReaderPrivate::close()
{
    file_list.clear();
    current_file_index = -1;
    meta_version = 0;
    start_epoch = -1;
    duration = -1;
    size = -1;
    data_types = 0;
    max_record_size = 0;
    profile_id = 0;
    session_id.clear();
    record.clear();
}

bool DataReaderPrivate::at_end() const
{
    if (!is_open())
        return false;
    if ((data_types & filter) == 0)
        return true;
    if (current_file_index + 1 < static_cast<int32_t>(file_list.size()))
        return false;
    return file_list.back()->at_end();
}

// The current index file, opened, or the first later one that is not at its
// end; earlier ones are closed as they are left.
RecordingMetaFile* DataReaderPrivate::reach_file()
{
    RecordingMetaFile* file = file_list[static_cast<size_t>(current_file_index)].get();
    if (!file->open())
        return nullptr;
    while (file->at_end() && current_file_index + 1 < static_cast<int32_t>(file_list.size())) {
        file->close();
        file = file_list[static_cast<size_t>(++current_file_index)].get();
        if (!file->open())
            return nullptr;
    }
    return file->at_end() ? nullptr : file;
}

int DataReaderPrivate::read(char* buffer, uint32_t length, Bytes* into, Read* out)
{
    *out = Read();
    for (;;) {
        if (!is_open() || at_end())
            return 1;
        RecordingMetaFile* file = reach_file();
        if (!file)
            return 1;
        uint32_t type = 0;
        int64_t epoch = 0;
        const int n = into ? file->read_record(*into, length, &type, &epoch)
                           : file->read_record(buffer, length, &type, &epoch);
        if (n < 0)
            return 1;
        // A close entry that ended an index file is no record while another
        // file follows.
        if (n == 0 && file->at_end() && !at_end())
            continue;
        if (std::bitset<32>(type).count() == 31) {
            type = ~type;
            out->is_user_header = 1;
        }
        out->size = static_cast<unsigned>(n);
        out->data_type = type;
        out->epoch = epoch;
        return 0;
    }
}

// Reads, then puts the reader back where it was, across an index-file
// boundary too.
template <typename Reading> int DataReaderPrivate::peek(Reading reading)
{
    if (!is_open() || at_end())
        return 1;
    const int32_t index = current_file_index;
    RecordingMetaFile* file = file_list[static_cast<size_t>(index)].get();
    const bool was_open = file->is_open();
    const int64_t position = file->position();
    const int status = reading();
    if (current_file_index != index) {
        file_list[static_cast<size_t>(current_file_index)]->close();
        current_file_index = index;
    }
    if (was_open && file->open())
        file->set_position(position);
    else if (!was_open)
        file->close();
    return status;
}

// Chooses the index file whose running share of the total reaches the value
// and lets it seek to the rest.
template <typename Share, typename Seek>
int DataReaderPrivate::seek(long long value, long long total, Share share, Seek seek_in_file)
{
    if (!is_open() || value < 0 || value > total)
        return 1;
    long long before = 0;
    size_t chosen = file_list.size() - 1;
    for (size_t i = 0; i < file_list.size(); ++i) {
        const long long part = share(file_list[i]->header());
        if (before + part >= value) {
            chosen = i;
            break;
        }
        before += part;
    }
    if (chosen != static_cast<size_t>(current_file_index))
        file_list[static_cast<size_t>(current_file_index)]->close();
    current_file_index = static_cast<int32_t>(chosen);
    RecordingMetaFile& file = *file_list[chosen];
    if (!file.open())
        return 1;
    return seek_in_file(file, value - before) ? 0 : 1;
}

DataReader::DataReader()
    : d(std::make_unique<DataReaderPrivate>())
{ }

DataReader::~DataReader() = default;

int DataReader::open(const std::string& meta_filename, int count)
{
    return d->open(meta_filename, count);
}

bool DataReader::is_open() const
{
    return d->is_open();
}

void DataReader::close()
{
    d->close();
}

bool DataReader::at_end() const
{
    return d->at_end();
}

int DataReader::set_filter(DataTypes filter)
{
    if (filter == 0) {
        report_line("invalid filter: 0 in func: set_filter: must be non-zero");
        return 1;
    }
    if (!is_valid_data_types(filter)) {
        report_line("invalid filter: " + std::to_string(filter) + " in func: set_filter");
        return 1;
    }
    d->filter = filter;
    for (const auto& file : d->file_list)
        file->set_filter(filter);
    return 0;
}

DataTypes DataReader::get_filter() const
{
    return d->filter;
}

namespace {

// Hands a record's outputs to the caller's pointers that are given.
void give(const DataReaderPrivate::Read& read, unsigned* size, unsigned* data_type, long long* epoch,
    unsigned char* is_user_header)
{
    if (size)
        *size = read.size;
    if (data_type)
        *data_type = read.data_type;
    if (epoch)
        *epoch = read.epoch;
    if (is_user_header)
        *is_user_header = read.is_user_header;
}

} // namespace

int DataReader::read_record(unsigned char* buffer, unsigned length, unsigned* size, unsigned* data_type,
    long long* epoch, unsigned char* is_user_header)
{
    DataReaderPrivate::Read read;
    const int status
        = buffer || length == 0 ? d->read(reinterpret_cast<char*>(buffer), length, nullptr, &read) : 1;
    give(read, size, data_type, epoch, is_user_header);
    return status;
}

int DataReader::peek_record(unsigned char* buffer, unsigned length, unsigned* size, unsigned* data_type,
    long long* epoch, unsigned char* is_user_header)
{
    give(DataReaderPrivate::Read(), size, data_type, epoch, is_user_header);
    return d->peek([&] { return read_record(buffer, length, size, data_type, epoch, is_user_header); });
}

DataRecord DataReader::read_record()
{
    DataRecord record;
    DataReaderPrivate::Read read;
    // Each record comes whole, sized to its entry: its data file holds it,
    // so a damaged entry cannot ask for more memory than that file has.
    record.is_valid = d->read(nullptr, UINT_MAX, &d->record, &read) == 0;
    record.data_type = read.data_type;
    record.epoch = read.epoch;
    record.is_user_header = read.is_user_header != 0;
    record.meta_version = d->meta_version;
    if (record.is_valid) {
        d->record.resize(read.size);
        record.data = std::move(d->record);
    }
    return record;
}

DataRecord DataReader::peek_record()
{
    DataRecord record;
    d->peek([&] {
        record = read_record();
        return record.is_valid ? 0 : 1;
    });
    return record;
}

int DataReader::seek_ms(long long ms)
{
    return d->seek(
        ms, d->duration, [](const MetaFileHeader& h) { return static_cast<long long>(h.duration); },
        [](RecordingMetaFile& file, long long offset) {
            return file.seek_ms(static_cast<uint32_t>(offset));
        });
}

int DataReader::seek_byte(long long byte)
{
    return d->seek(
        byte, d->size, [](const MetaFileHeader& h) { return static_cast<long long>(h.bytes_recorded); },
        [](RecordingMetaFile& file, long long offset) { return file.seek_byte(offset); });
}

long long DataReader::get_start_epoch() const
{
    return d->start_epoch;
}
long long DataReader::get_duration() const
{
    return d->duration;
}
long long DataReader::get_size() const
{
    return d->size;
}
DataTypes DataReader::get_data_types() const
{
    return d->data_types;
}
unsigned DataReader::get_max_record_size() const
{
    return d->max_record_size;
}
std::string DataReader::get_session_id() const
{
    return d->session_id;
}
unsigned DataReader::get_meta_version() const
{
    return d->meta_version;
}
unsigned DataReader::get_profile_id() const
{
    return d->profile_id;
}

} // namespace Sarvik
