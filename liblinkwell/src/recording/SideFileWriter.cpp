#include "recording/SideFileWriter.hpp"

#include "command/RadarInterface.hpp"
#include "common/UniqueLocked.hpp"
#include "log/ConsoleAndFileLogger.hpp"
#include "recording/RecordFormats.hpp"
#include "recording/RecorderReports.hpp"

namespace Sarvik {

namespace {

// The first line of the kept radar settings.
constexpr const char* radar_settings_name = "27dae9d2-aea8-4321-a635-39fc0c5cef6d";
// Radar-settings messages carry their settings block from this byte on.
constexpr size_t radar_settings_head = 14;
// The module file that holds the parameter file.
constexpr unsigned parameter_file_type = 0x037DD98C;
constexpr unsigned parameter_file_id = 0;

std::string describe_failure(const UnicodeFile& file)
{
    return file.filename() + ": " + file.error_text();
}

} // namespace

SideFileWriter::SideFileWriter(
    DataRecorder::Connection& connection_, bool has_module, RecorderReports& reports_)
    : connection(connection_)
    , has_module_(has_module)
    , reports(reports_)
{ }

bool SideFileWriter::update_radar_settings_from_module(const Bytes& message) noexcept
{
    try {
        Bytes settings(
            radar_settings_name, radar_settings_name + std::char_traits<char>::length(radar_settings_name));
        settings.push_back(0x0A);
        if (message.size() > radar_settings_head)
            settings.insert(settings.end(), message.begin() + radar_settings_head, message.end());
        set_radar_settings(settings, message.size());
    } catch (...) {
        // Out of memory: the settings kept before stay.
    }
    return true;
}

void SideFileWriter::set_radar_settings(const Bytes& settings, size_t message_size)
{
    std::lock_guard<std::mutex> lock(mutex);
    radar_settings = settings;
    radar_settings_message_size = message_size;
}

bool SideFileWriter::write_radar_settings(MetaData& meta, const std::string& filename)
{
    if (meta.radar_settings_written)
        return false;
    Bytes settings;
    size_t message_size;
    {
        std::lock_guard<std::mutex> lock(mutex);
        settings = radar_settings;
        message_size = radar_settings_message_size;
    }
    if (settings.empty())
        return false; // none received yet
    std::string problem;
    const std::string text = record_formats::radar_settings_text(settings, &problem);
    if (text.empty()) {
        reports.warn_refused(radar_settings_source, message_size, problem);
        return false;
    }
    if (!problem.empty())
        reports.warn(std::string(radar_settings_source) + ": " + problem);
    UnicodeFile file(filename, std::ios::out);
    if (!file.is_open()) {
        reports.logger().log(0, "failed to create radar settings file: " + filename);
        return false;
    }
    reports.logger().log(3, "writing radar settings to file: " + filename);
    if (!file.write(text.data(), text.size()) || !file.close()) {
        reports.report_error("failed writing file " + describe_failure(file));
        return false;
    }
    meta.radar_settings_written = true;
    return true;
}

bool SideFileWriter::store_parameter_file(const std::string& directory)
{
    Bytes contents;
    const int status = connection.locked([&](RadarInterface& radar) {
        return radar.get_file_no_throw(parameter_file_type, parameter_file_id, contents);
    });
    if (status != 0) {
        reports.warn("failed to retrieve parameter file from module");
        return false;
    }
    const std::string name = directory + "/sarvik_parameter_file.par";
    reports.logger().log(3, "Received parameter file from module, store to disk");
    reports.logger().log(3, "  |-- file: " + name);
    UnicodeFile file(name, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!file.is_open()) {
        reports.warn("failed to open file: " + name);
        return false;
    }
    if (!file.write(contents) || !file.close()) {
        reports.report_error("failed writing file " + describe_failure(file));
        return false;
    }
    return true;
}

void SideFileWriter::ask_profile_id(SessionMetaData& session)
{
    unsigned profile_id = 0;
    const int status
        = connection.locked([&](RadarInterface& radar) { return radar.get_profileid_no_throw(profile_id); });
    if (status != 0)
        reports.warn("failed to retrieve profile id from module");
    else
        session.profile_id = profile_id;
}

} // namespace Sarvik
