#include "recording/DataFileWriter.hpp"

#include <chrono>
#include <stdexcept>

#include "log/ConsoleAndFileLogger.hpp"
#include "recording/RecordFormats.hpp"
#include "recording/RecorderReports.hpp"
#include "recording/RecordingNames.hpp"
#include "recording/SessionIndexWriter.hpp"
#include "recording/SideFileWriter.hpp"
#include <linkwell/DataRecorder.hpp>
#include <linkwell/RecordingTime.hpp>

namespace Sarvik {

namespace {

const std::string writing_extension = ".writing";

std::string display(DataType type)
{
    return DataRecorder::data_type_to_string(type);
}

bool starts_with(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::string describe_failure(const UnicodeFile& file)
{
    return file.filename() + ": " + file.error_text();
}

} // namespace

DataFileWriter::DataFileWriter(
    RecorderReports& reports_, SessionIndexWriter& index_, SideFileWriter& side_files_)
    : reports(reports_)
    , index(index_)
    , side_files(side_files_)
{ }

bool DataFileWriter::write(
    MetaData& meta, SessionMetaData& session, const uint8_t* data, size_t size, bool header)
{
    if (!meta.file.is_open()) {
        reports.report_error("failed writing file " + meta.file.filename() + ": it is not open.");
        return false;
    }
    std::string error;
    if (!index.ensure_open(session, error)) {
        reports.report_error(error);
        return false;
    }
    if (!meta.file.write(data, size)) {
        reports.report_error("failed writing file " + describe_failure(meta.file));
        // What was written before stays readable; the next write goes in the
        // place of the lost bytes.
        meta.file.clear();
        meta.file.seekp(meta.file_size);
        return false;
    }
    meta.last_write_at = std::chrono::steady_clock::now();
    meta.has_written = true;
    meta.file_size += static_cast<int64_t>(size);
    session.bytes_recorded += static_cast<int64_t>(size);
    const uint32_t key = header ? ~static_cast<uint32_t>(meta.data_type) : meta.data_type;
    session.current_bytes_written[key] += static_cast<uint32_t>(size);
    return true;
}

bool DataFileWriter::ensure_open(
    MetaData& meta, SessionMetaData& session, const std::string& basename, std::string& error)
{
    if (meta.file.is_open()) {
        if (ensure_header(meta, session))
            return true;
        close(meta, session);
    }
    meta.file_size = 0;
    const std::string stem = meta.directory + "/" + basename + "_";
    const std::string name = unused_name(stem + current_date_time_to_string(), writing_extension);
    reports.logger().log(3, "open new file for data type:" + display(meta.data_type));
    reports.logger().log(3, "  |-- file: " + name);
    meta.file.set_filename(name);
    if (!meta.file.open(std::ios::out | std::ios::trunc | std::ios::binary)) {
        error = "failed to open file: " + name;
        reports.logger().log(0, error);
        return false;
    }
    if (!ensure_header(meta, session)) {
        error = "failed to verify valid header for file: " + name;
        reports.logger().log(0, error);
        return false;
    }
    meta.file_opened_at = std::chrono::steady_clock::now();
    const bool baseband = meta.data_type == BasebandApDataType || meta.data_type == BasebandIqDataType;
    if (baseband && !meta.radar_settings_written)
        side_files.write_radar_settings(meta, unused_name(stem + current_date_time_to_string(), ".ini"));
    return true;
}

bool DataFileWriter::ensure_header(MetaData& meta, SessionMetaData& session)
{
    if (meta.file_size != 0)
        return true;
    const Bytes& user_header = meta.user_header;
    if (!user_header.empty() && !write(meta, session, user_header.data(), user_header.size(), true)) {
        reports.logger().log(0, "failed to write user header to file: " + meta.file.filename());
        return false;
    }
    if (!record_formats::file_extension(meta.data_type)) {
        const std::string text = "internal error: case not handled in switch:ensure_file_header";
        reports.logger().log(0, text);
        throw std::runtime_error(text);
    }
    const std::string line = record_formats::csv_header_line(meta.data_type);
    return line.empty()
        || write(meta, session, reinterpret_cast<const uint8_t*>(line.data()), line.size(), false);
}

void DataFileWriter::close(MetaData& meta, SessionMetaData& session)
{
    if (!meta.file.is_open())
        return;
    const std::string name = meta.file.filename();
    reports.logger().log(3, "closing file: " + name);
    if (!meta.file.close())
        reports.report_error("failed to close file " + describe_failure(meta.file));
    if (meta.file_size == 0) {
        reports.logger().log(3, "removing empty file: " + name);
        try {
            meta.file.delete_file();
        } catch (const std::exception& e) {
            reports.report_error(std::string("failed to delete file: ") + e.what());
        }
        meta.file.clear_filename();
        meta.session_filename_index = -1;
        return;
    }
    index.write_close_entry(meta, session);
    const int file_index = meta.session_filename_index;
    const std::string closed = meta.file.has_extension(writing_extension) ? rename(meta) : name;
    const std::string prefix = meta.directory + "/";
    if (file_index >= 0 && static_cast<size_t>(file_index) < session.filenames.size()
        && starts_with(closed, prefix)) {
        session.filenames[static_cast<size_t>(file_index)] = closed.substr(prefix.size());
        if (closed != name)
            index.note_final_name(session, file_index, closed.substr(prefix.size()));
    }
    reports.announce_file(meta.data_type, closed);
    meta.file.clear_filename();
    meta.session_filename_index = -1;
}

std::string DataFileWriter::rename(MetaData& meta)
{
    const std::string name = meta.file.filename();
    const char* extension = record_formats::file_extension(meta.data_type);
    if (!extension) {
        const std::string text = "internal error: case not handled in switch:close_file";
        reports.logger().log(0, text);
        throw std::runtime_error(text);
    }
    const std::string stem = name.substr(0, name.size() - writing_extension.size());
    std::string final_name;
    try {
        final_name = final_data_file_name(stem, extension);
    } catch (const std::exception&) {
        final_name = stem + "." + extension;
    }
    reports.logger().log(3, "renaming file to: " + final_name);
    if (meta.file.rename(final_name))
        return final_name;
    reports.logger().log(0, "warning: failed to rename file!");
    reports.report_error("failed to rename file!");
    return name;
}

} // namespace Sarvik
