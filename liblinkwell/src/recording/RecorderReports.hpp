// What a recorder tells its client and its log: failures through the error
// callback, finished data files and index files through their callbacks,
// warnings about refused messages without a flood.
//
// The callback slots are set from client threads; the calls come from the
// recorder thread, each with its callback copied under the lock and called
// outside it, so that a callback may call the recorder.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "recording/RefusalWarnings.hpp"
#include <linkwell/DataRecorder.hpp>

namespace Sarvik {

class RecorderReports {
public:
    explicit RecorderReports(Logger& logger);

    Logger& logger() { return logger_; }

    void set_error_callback(DataRecorder::ErrorCallback callback);
    // False when the type has a callback already (the old one stays).
    bool add_file_available(DataType type, const DataRecorder::FileAvailableCallback& callback);
    void remove_file_available(DataType type);
    // False when one is installed already (the old one stays).
    bool set_meta_file_available(const DataRecorder::MetaFileAvailableCallback& callback);
    void clear_meta_file_available();

    // Hands the text to the error callback, if any.
    void report_error(const std::string& text);
    // A line on the logger's error stream.
    void warn(const std::string& text);
    void announce_file(DataType type, const std::string& filename);
    void announce_meta_file(const std::string& session_id, const std::string& filename);

    // Warns about a refused message, as `refusals` lets it (recorder thread).
    void warn_refused(const std::string& source, size_t size, const std::string& reason);
    // Tells the refusals of the source counted and not yet told (recorder
    // thread).
    void flush_refusals(const std::string& source);

private:
    void call_back(const char* name, const std::function<void()>& call);

    Logger& logger_;
    std::mutex mutex;
    DataRecorder::ErrorCallback error_callback;
    std::map<DataType, DataRecorder::FileAvailableCallback> file_available_callbacks;
    DataRecorder::MetaFileAvailableCallback meta_file_available_callback;
    // Touched on the recorder thread only.
    RefusalWarnings refusals;
};

} // namespace Sarvik
