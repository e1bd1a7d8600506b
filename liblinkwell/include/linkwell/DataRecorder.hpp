// Records the data streams of a module connection to session directories.
//
// A client starts recording a set of data types into a directory with a
// RecordingOptions; the recorder subscribes to the matching message streams
// of the connection, copies every matching packet on the connection's
// dispatcher thread and writes it on its own "recorder" thread into the
// session's files: a session directory (optionally split into numbered
// sub-directories), one data file per data type and split, and a binary
// index file per directory that DataReader opens. Types started with the same
// session id share one session.
//
// Every callback (file available, meta file available, error) runs on the
// "recorder" thread without any lock of the recorder held, so it may call the
// recorder. Failures of file work on that thread never reach a caller: they
// are logged and their text is handed to the error callback.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "Bytes.hpp"
#include "DataType.hpp"
#include "RecordingOptions.hpp"
#include "linkwell_export.h"

class Logger;
class RadarInterface;
template <typename Target, typename Mutex> class UniqueLocked;

namespace Sarvik {

class DataRecorderPrivate;

class LINKWELL_API DataRecorder {
public:
    using Connection = UniqueLocked<RadarInterface, std::recursive_mutex>;
    using FileAvailableCallback = std::function<void(DataType, const std::string&)>;
    using MetaFileAvailableCallback = std::function<void(const std::string&, const std::string&)>;
    using ErrorCallback = std::function<void(const std::string&)>;

    // A recorder on a module connection, which must hold a RadarInterface;
    // it logs through the connection's logger and must be destroyed before
    // the connection.
    explicit DataRecorder(Connection& connection);
    // A recorder without a connection, fed only through process().
    explicit DataRecorder(Logger& logger);
    // The same, logging errors to standard output.
    DataRecorder();
    // Stops every type, writes every packet already handed over, closes and
    // renames every file and index file, and only then returns.
    ~DataRecorder();
    DataRecorder(const DataRecorder&) = delete;
    DataRecorder& operator=(const DataRecorder&) = delete;

    // Starts every type of the mask into `directory`: 0 when all started,
    // else 1 (also for the mask 0). A type already recording, an empty
    // directory and an empty or unsafe session id (one holding '/', '\' or
    // "..") refuse that type only. A mask with bits above the 23 types (not
    // 0xFFFFFFFF) starts its valid types and then throws
    // std::runtime_error.
    int start_recording(DataTypes mask, const std::string& directory, const RecordingOptions& options);
    // Stops every type of the mask; packets already handed over are still
    // written. Invalid masks throw as in start_recording.
    void stop_recording(DataTypes mask);
    bool is_recording(DataType type) const;
    // Hands one packet of a type over: true when the type is recording (the
    // packet is copied and queued), false otherwise. Never throws.
    bool process(DataType type, const Bytes& packet);

    // Called with the type and full name of each finished data file. One
    // callback per type: 1 when one is installed already, for the mask 0 or
    // an empty callback.
    int subscribe_to_file_available(DataTypes mask, const FileAvailableCallback& callback);
    void unsubscribe_to_file_available(DataTypes mask);
    // Called with the session id and full name of each finished index file.
    int subscribe_to_meta_file_available(const MetaFileAvailableCallback& callback);
    void unsubscribe_to_meta_file_available();
    // Receives the text of every recording failure; an empty one removes it.
    void set_error_callback(ErrorCallback callback);

    // The text that names a type's data files. Changing it closes the type's
    // current file; the next packet opens one under the new name. A base
    // name holding '/', '\' or ".." throws std::invalid_argument.
    void set_basename_for_data_type(DataType type, const std::string& basename);
    std::string get_basename_for_data_type(DataType type) const;
    void clear_basename_for_data_types(DataTypes mask);

    // The session directory (without sub-directory) that the type or the
    // session records into; empty when it records nothing.
    std::string get_recording_directory(DataType type) const;
    std::string get_recording_directory(const std::string& session_id) const;

    // The name of a type as log and error texts show it, or
    // "<unknown data type>" for anything but a single type bit.
    static std::string data_type_to_string(DataType type);

private:
    std::unique_ptr<DataRecorderPrivate> d;
};

} // namespace Sarvik
