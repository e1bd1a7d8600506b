// The data recorder of the value-returning interface, for a Python binding:
// it owns one DataRecorder, built on a connection, and forwards every call to
// it unchanged, with data types as plain unsigned values. Exceptions pass
// through.
//
// The connection must outlive the recorder.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "DataRecorder.hpp"
#include "linkwell_export.h"

namespace Sarvik {

class PythonLinkwell;

class LINKWELL_API PyDataRecorder {
public:
    using Connection = DataRecorder::Connection;

    explicit PyDataRecorder(Connection& connection);
    // Deletes the recorder, which finishes and closes its recordings first.
    ~PyDataRecorder();
    // One owner per recorder: neither copied nor moved.
    PyDataRecorder(const PyDataRecorder&) = delete;
    PyDataRecorder& operator=(const PyDataRecorder&) = delete;

    int start_recording(unsigned data_types, const std::string& directory, const RecordingOptions& options);
    void stop_recording(unsigned data_types);
    bool is_recording(unsigned data_type) const;
    bool process(unsigned data_type, const Bytes& packet);
    int subscribe_to_file_available(
        unsigned data_types, const std::function<void(DataType, const std::string&)>& callback);
    void unsubscribe_to_file_available(unsigned data_types);
    // The callback gets the session id and the index file's name.
    int subscribe_to_meta_file_available(
        const std::function<void(const std::string&, const std::string&)>& callback);
    // Always 0: removing the callback cannot fail.
    int unsubscribe_to_meta_file_available();
    void set_basename_for_data_type(unsigned data_type, const std::string& basename);
    std::string get_basename_for_data_type(unsigned data_type) const;
    void clear_basename_for_data_types(unsigned data_types);
    std::string get_recording_directory(unsigned data_type) const;
    std::string get_recording_directory(const std::string& session_id) const;
    static std::string data_type_to_string(unsigned data_type);
    void set_error_callback(std::function<void(const std::string&)> callback);

private:
    // The value-returning connector renews the wrapped recorder's
    // subscriptions whenever it opens its connection again.
    friend class PythonLinkwell;
    DataRecorder& data_recorder() { return *recorder_; }

    std::unique_ptr<DataRecorder> recorder_;
};

} // namespace Sarvik
