#include <linkwell/PyDataRecorder.hpp>

#include <linkwell/DataRecorder.hpp>

namespace Sarvik {

namespace {

DataType type_of(unsigned data_type)
{
    return static_cast<DataType>(data_type);
}

} // namespace

PyDataRecorder::PyDataRecorder(Connection& connection)
    : recorder_(std::make_unique<DataRecorder>(connection))
{ }

PyDataRecorder::~PyDataRecorder() = default;

int PyDataRecorder::start_recording(
    unsigned data_types, const std::string& directory, const RecordingOptions& options)
{
    return recorder_->start_recording(data_types, directory, options);
}

void PyDataRecorder::stop_recording(unsigned data_types)
{
    recorder_->stop_recording(data_types);
}

bool PyDataRecorder::is_recording(unsigned data_type) const
{
    return recorder_->is_recording(type_of(data_type));
}

bool PyDataRecorder::process(unsigned data_type, const Bytes& packet)
{
    return recorder_->process(type_of(data_type), packet);
}

int PyDataRecorder::subscribe_to_file_available(
    unsigned data_types, const std::function<void(DataType, const std::string&)>& callback)
{
    return recorder_->subscribe_to_file_available(data_types, callback);
}

void PyDataRecorder::unsubscribe_to_file_available(unsigned data_types)
{
    recorder_->unsubscribe_to_file_available(data_types);
}

int PyDataRecorder::subscribe_to_meta_file_available(
    const std::function<void(const std::string&, const std::string&)>& callback)
{
    return recorder_->subscribe_to_meta_file_available(callback);
}

int PyDataRecorder::unsubscribe_to_meta_file_available()
{
    recorder_->unsubscribe_to_meta_file_available();
    return 0;
}

void PyDataRecorder::set_basename_for_data_type(unsigned data_type, const std::string& basename)
{
    recorder_->set_basename_for_data_type(type_of(data_type), basename);
}

std::string PyDataRecorder::get_basename_for_data_type(unsigned data_type) const
{
    return recorder_->get_basename_for_data_type(type_of(data_type));
}

void PyDataRecorder::clear_basename_for_data_types(unsigned data_types)
{
    recorder_->clear_basename_for_data_types(data_types);
}

std::string PyDataRecorder::get_recording_directory(unsigned data_type) const
{
    return recorder_->get_recording_directory(type_of(data_type));
}

std::string PyDataRecorder::get_recording_directory(const std::string& session_id) const
{
    return recorder_->get_recording_directory(session_id);
}

std::string PyDataRecorder::data_type_to_string(unsigned data_type)
{
    return DataRecorder::data_type_to_string(type_of(data_type));
}

void PyDataRecorder::set_error_callback(std::function<void(const std::string&)> callback)
{
    recorder_->set_error_callback(std::move(callback));
}

} // namespace Sarvik
