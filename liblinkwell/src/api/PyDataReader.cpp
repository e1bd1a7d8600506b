#include <linkwell/PyDataReader.hpp>

#include <linkwell/DataReader.hpp>

namespace Sarvik {

PyDataReader::PyDataReader()
    : reader_(std::make_unique<DataReader>())
{ }

PyDataReader::~PyDataReader() = default;

int PyDataReader::open(const std::string& meta_filename, int count)
{
    return reader_->open(meta_filename, count);
}

bool PyDataReader::is_open() const
{
    return reader_->is_open();
}

void PyDataReader::close()
{
    reader_->close();
}

bool PyDataReader::at_end() const
{
    return reader_->at_end();
}

int PyDataReader::set_filter(unsigned data_types)
{
    return reader_->set_filter(data_types);
}

unsigned PyDataReader::get_filter() const
{
    return reader_->get_filter();
}

DataRecord PyDataReader::read_record()
{
    return reader_->read_record();
}

DataRecord PyDataReader::peek_record()
{
    return reader_->peek_record();
}

long long PyDataReader::get_start_epoch() const
{
    return reader_->get_start_epoch();
}

long long PyDataReader::get_duration() const
{
    return reader_->get_duration();
}

long long PyDataReader::get_size() const
{
    return reader_->get_size();
}

unsigned PyDataReader::get_data_types() const
{
    return reader_->get_data_types();
}

unsigned PyDataReader::get_max_record_size() const
{
    return reader_->get_max_record_size();
}

std::string PyDataReader::get_session_id() const
{
    return reader_->get_session_id();
}

int PyDataReader::seek_ms(long long ms)
{
    return reader_->seek_ms(ms);
}

int PyDataReader::seek_byte(long long byte)
{
    return reader_->seek_byte(byte);
}

} // namespace Sarvik
