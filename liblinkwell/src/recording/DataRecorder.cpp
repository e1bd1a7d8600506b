#include <linkwell/DataRecorder.hpp>

#include "log/ConsoleAndFileLogger.hpp"
#include "recording/DataRecorderPrivate.hpp"
#include "recording/DataTypeTable.hpp"

namespace Sarvik {

namespace {

// The logger of recorders made without one: errors to standard output.
Logger& library_logger()
{
    static VoidLogger logger;
    return logger;
}

} // namespace

DataRecorder::DataRecorder(Connection& connection)
    : d(std::make_unique<DataRecorderPrivate>(this, connection))
{ }

DataRecorder::DataRecorder(Logger& logger)
    : d(std::make_unique<DataRecorderPrivate>(this, logger))
{ }

DataRecorder::DataRecorder()
    : DataRecorder(library_logger())
{ }

DataRecorder::~DataRecorder() = default;

int DataRecorder::start_recording(
    DataTypes mask, const std::string& directory, const RecordingOptions& options)
{
    return d->start_recording(mask, directory, options);
}

void DataRecorder::stop_recording(DataTypes mask)
{
    d->stop_recording(mask);
}

bool DataRecorder::is_recording(DataType type) const
{
    return d->is_recording(type);
}

bool DataRecorder::process(DataType type, const Bytes& packet)
{
    return d->process(type, packet);
}

int DataRecorder::subscribe_to_file_available(DataTypes mask, const FileAvailableCallback& callback)
{
    return d->subscribe_to_file_available(mask, callback);
}

void DataRecorder::unsubscribe_to_file_available(DataTypes mask)
{
    d->unsubscribe_to_file_available(mask);
}

int DataRecorder::subscribe_to_meta_file_available(const MetaFileAvailableCallback& callback)
{
    return d->subscribe_to_meta_file_available(callback);
}

void DataRecorder::unsubscribe_to_meta_file_available()
{
    d->unsubscribe_to_meta_file_available();
}

void DataRecorder::set_error_callback(ErrorCallback callback)
{
    d->set_error_callback(std::move(callback));
}

void DataRecorder::set_basename_for_data_type(DataType type, const std::string& basename)
{
    d->set_basename_for_data_type(type, basename);
}

std::string DataRecorder::get_basename_for_data_type(DataType type) const
{
    return d->get_basename_for_data_type(type);
}

void DataRecorder::clear_basename_for_data_types(DataTypes mask)
{
    d->clear_basename_for_data_types(mask);
}

std::string DataRecorder::get_recording_directory(DataType type) const
{
    return d->get_recording_directory(type);
}

std::string DataRecorder::get_recording_directory(const std::string& session_id) const
{
    return d->get_recording_directory(session_id);
}

std::string DataRecorder::data_type_to_string(DataType type)
{
    const DataTypeInfo* info = find_data_type(type);
    return info ? info->display_name : "<unknown data type>";
}

} // namespace Sarvik
