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
const std::string final_extension = ".dat";

// Storage kept behind the end of an open index file (zeros, which read as no
// entry), renewed when less than half of it is left: when the disk fills up,
// the data files meet it first, and the entries of what they took and the
// file map of the close still fit. Where the disk has not that much room
// left, a smaller one is taken. The close cuts it off.
constexpr int64_t index_reserve = 32 * 1024;
constexpr int64_t smallest_index_reserve = 4 * 1024;

// Index entries are written in blocks of at most this many bytes, so that a
// block fits into the storage kept for it.
constexpr size_t entry_block_size = 8 * 1024;

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
    session.working_directory_identity = UnicodeFile::identity(directory);
    session.index_file_end = static_cast<int64_t>(raw.size());
    session.index_reserved_end = 0;
    keep_reserve(session);
    session.journal_end = 0;
    session.pending_entries.clear();
    session.pending_entry_bytes = 0;
    session.parameter_file_asked = false;
    // The index file before this one is linked to it now, under the name it
    // takes when it is closed, so that a reader follows the chain into it
    // also when it is never closed.
    if (!session.last_index_file_name.empty() && session.last_index_file_completed)
        link_previous_index_file(
            session, session.last_index_file_name, directory + "/sarvik_recording_meta" + final_extension);
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
        append_to_journal(session, static_cast<uint32_t>(meta.session_filename_index),
            meta.file.filename().substr(meta.directory.size() + 1));
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

void SessionIndexWriter::note_final_name(SessionMetaData& session, int file_index, const std::string& name)
{
    if (file_index >= 0 && session.journal.is_open())
        append_to_journal(session, static_cast<uint32_t>(file_index), name);
}

void SessionIndexWriter::append_to_journal(
    SessionMetaData& session, uint32_t file_index, const std::string& name)
{
    Bytes record;
    little_endian::append_u32(record, file_index);
    const Bytes text = AbstractMetaEntry::string_to_bytes(name);
    record.insert(record.end(), text.begin(), text.end());
    if (session.journal.write(record)) {
        session.journal_end += static_cast<int64_t>(record.size());
    } else {
        reports.report_error("failed writing file " + describe_failure(session.journal));
        session.journal.clear();
        session.journal.seekp(session.journal_end);
    }
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
    // Entries wait in memory until the recorder has written the packets
    // queued so far (write_waiting_entries) or a block is full: a burst of
    // packets costs one write for all its entries instead of one each.
    if (session.flush_on_write || session.pending_entries.size() >= entry_block_size)
        return write_pending_entries(session);
    return true;
}

void SessionIndexWriter::write_waiting_entries(SessionMetaData& session)
{
    if (!session.index_file.is_open())
        return;
    write_pending_entries(session);
    check_directory(session);
}

void SessionIndexWriter::check_directory(SessionMetaData& session)
{
    if (!session.index_file.is_open() || session.directory_loss_reported)
        return;
    const std::string directory = working_directory_of(session);
    const std::optional<FileIdentity> now = UnicodeFile::identity(directory);
    if (now && session.working_directory_identity && *now == *session.working_directory_identity)
        return;
    // Its files are open still, but gone from the directory tree: what is
    // written from now on cannot be found.
    session.directory_loss_reported = true;
    reports.logger().log(0, "session directory vanished: " + directory);
    reports.report_error("session directory vanished: " + directory);
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
        keep_reserve(session);
    } else {
        reports.report_error("failed writing file " + describe_failure(index));
        // A write cut short keeps its whole entries; the next block goes in
        // the place of the rest, and the bytes they counted leave the totals.
        index.clear();
        const int64_t kept = whole_entries_written(session);
        session.index_file_end += kept;
        index.seekp(session.index_file_end);
        session.bytes_recorded -= session.pending_entry_bytes - bytes_counted(pending, kept);
    }
    pending.clear();
    session.pending_entry_bytes = 0;
    return written;
}

int64_t SessionIndexWriter::whole_entries_written(SessionMetaData& session)
{
    // The write moved the position past what it wrote.
    const int64_t written = std::clamp<int64_t>(session.index_file.tellp() - session.index_file_end, 0,
        static_cast<int64_t>(session.pending_entries.size()));
    const auto entry_size = static_cast<int64_t>(AbstractMetaEntry::EntrySize);
    // Write and close entries only: the file map, which may end the block,
    // is whole or not written.
    int64_t kept = 0;
    while (kept + entry_size <= written) {
        const uint8_t type = session.pending_entries[static_cast<size_t>(kept) + 4];
        if (type != AbstractMetaEntry::WriteFile && type != AbstractMetaEntry::CloseFile)
            break;
        kept += entry_size;
    }
    return kept;
}

int64_t SessionIndexWriter::bytes_counted(const Bytes& entries, int64_t length)
{
    int64_t bytes = 0;
    for (size_t at = 0; at + AbstractMetaEntry::EntrySize <= static_cast<size_t>(length);
         at += AbstractMetaEntry::EntrySize)
        if (entries[at + 4] == AbstractMetaEntry::WriteFile)
            bytes += little_endian::u32(reinterpret_cast<const char*>(entries.data() + at + 9));
    return bytes;
}

void SessionIndexWriter::keep_reserve(SessionMetaData& session)
{
    if (session.index_reserved_end - session.index_file_end >= index_reserve / 2)
        return;
    const int64_t from = std::max(session.index_reserved_end, session.index_file_end);
    for (int64_t size = index_reserve; size >= smallest_index_reserve; size /= 2) {
        const int64_t end = session.index_file_end + size;
        if (end <= from || session.index_file.reserve(from, end - from)) {
            session.index_reserved_end = std::max(from, end);
            return;
        }
    }
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
        const std::string final_name
            = closed.substr(0, closed.size() - writing_extension.size()) + final_extension;
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
    session.last_index_file_completed = completed;
    session.index_file.clear_filename();

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
    const FileMapMetaEntry file_map(epoch_offset(session), session.filenames);
    int64_t file_map_offset = session.index_file_end + static_cast<int64_t>(session.pending_entries.size());
    bool completed = write_meta_entry(session, file_map) && write_pending_entries(session);
    if (!completed) {
        // The disk is full: the entries that did not fit are given up, and
        // the file map goes where they were, into the storage kept for it.
        file_map_offset = session.index_file_end;
        completed = write_meta_entry(session, file_map) && write_pending_entries(session);
    }
    session.filenames.clear();
    if (completed) {
        MetaFileHeader header;
        header.state = 1;
        header.duration = epoch_offset(session);
        header.bytes_recorded = session.bytes_recorded;
        header.file_map_offset = file_map_offset;
        header.data_types = session.written_data_types;
        header.next_meta_file_offset = -1;
        // No larger than all that the entries kept count.
        header.max_record_size = static_cast<uint32_t>(
            std::min<int64_t>(session.largest_record, std::max<int64_t>(session.bytes_recorded, 0)));
        completed = index.seekp(MetaFileHeader::ClosingBlockOffset) && index.write(header.closing_block());
        if (!completed)
            reports.report_error("failed writing file " + describe_failure(index));
    }
    reports.logger().log(3, "closing file: " + index.filename());
    // The storage kept for the close goes; an index file that could not be
    // completed keeps it (it reads as no entry).
    if (completed && !index.truncate(session.index_file_end)) {
        reports.report_error("failed writing file " + describe_failure(index));
        completed = false;
    }
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
