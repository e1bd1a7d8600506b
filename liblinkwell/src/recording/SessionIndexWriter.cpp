#include "recording/SessionIndexWriter.hpp"

#include <algorithm>
#include <chrono>

#include "common/LittleEndian.hpp"
#include "log/ConsoleAndFileLogger.hpp"
#include "recording/CloseFileMetaEntry.hpp"
#include "recording/FileMapMetaEntry.hpp"
#include "recording/MetaFileHeader.hpp"
#include "recording/RecorderReports.hpp"
#include "recording/SideFileWriter.hpp"
#include "recording/WriteFileMetaEntry.hpp"

namespace Sarvik {

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
using std::chrono::system_clock;

const std::string writing_extension = ".writing";

// Index entries are written in blocks of about this many bytes.
constexpr size_t entry_block_size = 64 * 1024;

bool starts_with(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

int64_t wall_clock_ms()
{
    return std::chrono::duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::string describe_failure(const UnicodeFile& file)
{
    return file.filename() + ": " + file.error_text();
}

} // namespace

std::string working_directory_of(const SessionMetaData& session)
{
    if (session.current_sub_directory.empty())
        return session.session_directory;
    return session.session_directory + "/" + session.current_sub_directory;
}

SessionIndexWriter::SessionIndexWriter(
    RecorderReports& reports_, SideFileWriter& side_files_, RenameDirectory rename_directory_)
    : reports(reports_)
    , side_files(side_files_)
    , rename_directory(std::move(rename_directory_))
{ }

uint32_t SessionIndexWriter::epoch_offset(const SessionMetaData& session)
{
    return AbstractMetaEntry::epoch_offset_between(session.started_at, steady_clock::now());
}

// ---- session directory and index file ---------------------------------------

bool SessionIndexWriter::ensure_open(SessionMetaData& session, std::string& error)
{
    if (session.index_file.is_open() && session.journal.is_open())
        return true;
    if (!session.directory_created) {
        if (!create_session_directory(session, error))
            return false;
    } else if (side_files.has_module() && !session.parameter_file_stored && session.profile_id != 0
        && !session.parameter_file_asked) {
        // Asked once per index file: each try may wait for the module.
        session.parameter_file_asked = true;
        session.parameter_file_stored = side_files.store_parameter_file(session.session_directory);
    }
    const std::string directory = working_directory_of(session);
    if (!session.current_sub_directory.empty() && !UnicodeFile::create_directory(directory)) {
        reports.warn("failed to create session sub-directory\n  |-- directory: " + directory);
        error = "failed to create session sub-directory " + directory;
        return false;
    }
    return open_index_file(session, directory, error);
}

bool SessionIndexWriter::create_session_directory(SessionMetaData& session, std::string& error)
{
    bool exists = false;
    try {
        exists = UnicodeFile::file_exists(session.session_directory);
    } catch (const std::exception&) {
        // Cannot be looked at: making it fails below and says so.
    }
    if (exists)
        rename_directory(session);
    const std::string directory = session.session_directory;
    if (!UnicodeFile::create_directory(directory)) {
        reports.warn("failed to create session directory\n  |-- directory: " + directory);
        error = "failed to create session directory " + directory;
        return false;
    }
    session.directory_created = true;
    if (side_files.has_module()) {
        session.parameter_file_asked = true;
        session.parameter_file_stored = side_files.store_parameter_file(directory);
        side_files.ask_profile_id(session);
    }
    return true;
}

bool SessionIndexWriter::open_index_file(
    SessionMetaData& session, const std::string& directory, std::string& error)
{
    UnicodeFile& index = session.index_file;
    UnicodeFile& journal = session.journal;
    index.set_filename(directory + "/sarvik_recording_meta" + writing_extension);
    journal.set_filename(directory + "/sarvik_recording_meta_tmp" + writing_extension);
    reports.logger().log(3, "open new session file");
    reports.logger().log(3, "  |-- file: " + index.filename());
    session.bytes_recorded = 0;
    const auto give_up = [&](const std::string& text) {
        reports.warn(text);
        error = text;
        if (index.is_open())
            index.close();
        if (journal.is_open())
            journal.close();
        return false;
    };
    for (UnicodeFile* file : { &index, &journal })
        if (!file->open(std::ios::out | std::ios::trunc | std::ios::binary))
            return give_up("failed to open file: " + file->filename());
    session.created_at = wall_clock_ms();
    session.started_at = steady_clock::now();
    MetaFileHeader header;
    header.created = session.created_at;
    header.profile_id = session.profile_id;
    const Bytes raw = header.to_raw(session.id);
    if (!index.write(raw))
        return give_up("failed writing file " + describe_failure(index));
    session.index_file_end = static_cast<int64_t>(raw.size());
    session.journal_end = 0;
    session.pending_entries.clear();
    session.pending_entry_bytes = 0;
    session.parameter_file_asked = false;
    return true;
}

// ---- entries ------------------------------------------------------------------

void SessionIndexWriter::write_entries(MetaData& meta, SessionMetaData& session)
{
    auto& counts = session.current_bytes_written;
    if (counts.empty())
        return;
    if (!session.index_file.is_open()) {
        counts.clear();
        return;
    }
    if (meta.session_filename_index == -1) {
        meta.session_filename_index = static_cast<int>(session.filenames.size());
        session.filenames.push_back("<>");
        Bytes record;
        little_endian::append_u32(record, static_cast<uint32_t>(meta.session_filename_index));
        const Bytes name
            = AbstractMetaEntry::string_to_bytes(meta.file.filename().substr(meta.directory.size() + 1));
        record.insert(record.end(), name.begin(), name.end());
        if (session.journal.write(record)) {
            session.journal_end += static_cast<int64_t>(record.size());
        } else {
            reports.report_error("failed writing file " + describe_failure(session.journal));
            session.journal.clear();
            session.journal.seekp(session.journal_end);
        }
    }
    int64_t sum = 0;
    for (const auto& [key, count] : counts)
        sum += count;
    int64_t offset = meta.file_size - sum;
    // Each entry adds its bytes back; bytes whose entry could not be
    // written leave the totals again.
    session.bytes_recorded -= sum;
    for (auto entry = counts.rbegin(); entry != counts.rend(); ++entry) {
        const uint32_t count = entry->second;
        session.bytes_recorded += count;
        const WriteFileMetaEntry written(epoch_offset(session), entry->first, count, offset,
            session.bytes_recorded, static_cast<uint32_t>(meta.session_filename_index));
        if (write_meta_entry(session, written)) {
            session.largest_record = std::max(session.largest_record, count);
            session.written_data_types |= meta.data_type;
        }
        offset += count;
    }
    counts.clear();
}

void SessionIndexWriter::write_close_entry(const MetaData& meta, SessionMetaData& session)
{
    const int index = meta.session_filename_index;
    if (index >= 0 && session.index_file.is_open())
        write_meta_entry(session,
            CloseFileMetaEntry(epoch_offset(session), meta.data_type, meta.file_size, session.bytes_recorded,
                static_cast<uint32_t>(index)));
}

bool SessionIndexWriter::write_meta_entry(SessionMetaData& session, const AbstractMetaEntry& entry)
{
    if (!entry.is_valid())
        return false;
    const Bytes raw = entry.to_raw();
    session.pending_entries.insert(session.pending_entries.end(), raw.begin(), raw.end());
    if (entry.type() == AbstractMetaEntry::WriteFile)
        session.pending_entry_bytes += entry.bytes_written();
    // The index file is readable only once it is closed, so its entries may
    // wait in memory: a block of them costs one write instead of one each.
    if (session.flush_on_write || session.pending_entries.size() >= entry_block_size)
        return write_pending_entries(session);
    return true;
}

bool SessionIndexWriter::write_pending_entries(SessionMetaData& session)
{
    Bytes& pending = session.pending_entries;
    if (pending.empty())
        return true;
    UnicodeFile& index = session.index_file;
    const bool written = index.write(pending);
    if (written) {
        session.index_file_end += static_cast<int64_t>(pending.size());
    } else {
        reports.report_error("failed writing file " + describe_failure(index));
        // The entries before the block stay readable; the next block goes in
        // its place, and the bytes it counted are no longer in the totals.
        index.clear();
        index.seekp(session.index_file_end);
        session.bytes_recorded -= session.pending_entry_bytes;
    }
    pending.clear();
    session.pending_entry_bytes = 0;
    return written;
}

// ---- closing ----------------------------------------------------------------

void SessionIndexWriter::close(SessionMetaData& session, bool continuing)
{
    if (!session.index_file.is_open()) {
        if (session.index_file_notice_pending) {
            session.index_file_notice_pending = false;
            reports.announce_meta_file(session.id, session.last_index_file_name);
        }
        return;
    }
    const bool completed = complete_index_file(session);
    std::string closed = session.index_file.filename();
    if (completed && session.index_file.has_extension(writing_extension)) {
        const std::string final_name = closed.substr(0, closed.size() - writing_extension.size()) + ".dat";
        reports.logger().log(3, "renaming session file to: " + final_name);
        if (session.index_file.rename(final_name))
            closed = final_name;
        else
            reports.logger().log(0, "warning: failed to rename session file!");
    }
    // The journal is kept beside an index file that could not be completed.
    if (completed) {
        try {
            session.journal.delete_file();
        } catch (const std::exception& e) {
            reports.report_error(std::string("failed to delete file: ") + e.what());
        }
    } else {
        session.journal.close();
    }
    session.journal.clear_filename();
    const std::string previous = session.last_index_file_name;
    session.last_index_file_name = closed;
    session.index_file.clear_filename();
    if (completed && !previous.empty())
        link_previous_index_file(session, previous, closed);

    // Every index file is announced once, after its link to the next one (if
    // any) is written: a continuing close announces the one before, a final
    // close the one before (when still due) and itself.
    if (!previous.empty() && (continuing || session.index_file_notice_pending))
        reports.announce_meta_file(session.id, previous);
    session.index_file_notice_pending = continuing;
    if (!continuing)
        reports.announce_meta_file(session.id, closed);
}

bool SessionIndexWriter::complete_index_file(SessionMetaData& session)
{
    UnicodeFile& index = session.index_file;
    const int64_t file_map_offset
        = session.index_file_end + static_cast<int64_t>(session.pending_entries.size());
    bool completed = write_meta_entry(session, FileMapMetaEntry(epoch_offset(session), session.filenames))
        && write_pending_entries(session);
    session.filenames.clear();
    if (completed) {
        MetaFileHeader header;
        header.state = 1;
        header.duration = epoch_offset(session);
        header.bytes_recorded = session.bytes_recorded;
        header.file_map_offset = file_map_offset;
        header.data_types = session.written_data_types;
        header.next_meta_file_offset = -1;
        header.max_record_size = session.largest_record;
        completed = index.seekp(MetaFileHeader::ClosingBlockOffset) && index.write(header.closing_block());
        if (!completed)
            reports.report_error("failed writing file " + describe_failure(index));
    }
    reports.logger().log(3, "closing file: " + index.filename());
    if (!index.close() && completed) {
        reports.report_error("failed to close file " + describe_failure(index));
        completed = false;
    }
    session.bytes_recorded = 0;
    session.written_data_types = 0;
    session.largest_record = 0;
    return completed;
}

void SessionIndexWriter::link_previous_index_file(
    const SessionMetaData& session, const std::string& previous, const std::string& next)
{
    const std::string root = session.session_directory + "/";
    if (!starts_with(previous, root) || !starts_with(next, root))
        return;
    const std::string next_relative = next.substr(root.size());
    const std::string previous_relative = previous.substr(root.size());
    std::string link = next_relative;
    if (session.sub_directory_index >= 0) {
        const std::string sub = session.current_sub_directory + "/";
        link = starts_with(previous_relative, sub) ? next_relative.substr(sub.size()) : "../" + next_relative;
    }
    UnicodeFile file(previous, std::ios::in | std::ios::out | std::ios::binary | std::ios::ate);
    if (!file.is_open())
        return;
    const int64_t link_offset = file.size();
    Bytes offset;
    little_endian::append_i64(offset, link_offset);
    if (!(file.write(AbstractMetaEntry::string_to_bytes(link))
            && file.seekp(MetaFileHeader::NextMetaFileOffsetPosition) && file.write(offset) && file.close()))
        reports.report_error(
            "failed to link index file " + previous + " to " + next + ": " + file.error_text());
}

} // namespace Sarvik
