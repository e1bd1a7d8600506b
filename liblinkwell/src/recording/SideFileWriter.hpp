// The files of a session beside its data: the radar settings file written
// next to the first baseband data file of a recording, and the module's
// parameter file in the session directory; also the module's profile id,
// which goes into the index file header.
//
// The radar settings arrive on the connection's dispatcher thread and are
// read on the recorder thread, each under the lock; the files are written on
// the recorder thread only.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>

#include "recording/MetaData.hpp"
#include "recording/SessionMetaData.hpp"
#include <linkwell/DataRecorder.hpp>

namespace Sarvik {

class RecorderReports;

class SideFileWriter {
public:
    // The source named in warnings about radar settings messages.
    static constexpr const char* radar_settings_source = "Radar settings";

    // With has_module false the connection is never called.
    SideFileWriter(DataRecorder::Connection& connection, bool has_module, RecorderReports& reports);

    bool has_module() const { return has_module_; }

    // The radar-settings handler (dispatcher thread): the settings become
    // the settings name, 0x0A and the message from byte 14 on. Never throws.
    bool update_radar_settings_from_module(const Bytes& message) noexcept;
    // The settings made from a module message of `message_size` bytes.
    void set_radar_settings(const Bytes& settings, size_t message_size);

    // Writes the settings file of the recording, once: false when there are
    // no settings yet, they are refused or the file cannot be written.
    bool write_radar_settings(MetaData& meta, const std::string& filename);
    // Fetches the parameter file from the module into the directory.
    bool store_parameter_file(const std::string& directory);
    // Sets the session's profile id from the module; kept on failure.
    void ask_profile_id(SessionMetaData& session);

private:
    DataRecorder::Connection& connection;
    const bool has_module_;
    RecorderReports& reports;
    std::mutex mutex;
    Bytes radar_settings;
    size_t radar_settings_message_size = 0;
};

} // namespace Sarvik
