// Sessions that never closed: a recording process killed at several moments,
// with and without flush on write, and a recording that meets a full disk.
// What reached the disk before the fault reads back, record by record, up to
// the last whole record, through the unfinished index file and the journal
// beside it; the chain of a session split into sub-directories is followed
// into its unfinished last index file.
#include <linkwell/DataReader.hpp>
#include <linkwell/DataRecorder.hpp>

#include "recording/MetaFileHeader.hpp"
#include "support/FileSizeLimit.hpp"
#include "support/IndexFileWriter.hpp"
#include "support/RecordingLogger.hpp"
#include "support/SessionFiles.hpp"
#include "support/SimulatedConnection.hpp"
#include "support/StdoutCapture.hpp"
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

using Sarvik::ByteDataType;
using Sarvik::DataReader;
using Sarvik::DataRecord;
using Sarvik::DataRecorder;
using Sarvik::PreferredSplitSize;
using Sarvik::RecordingOptions;
using testsupport::byte_message;
using testsupport::eventually;
using testsupport::files_under;
using testsupport::IndexFileWriter;
using testsupport::stdout_of;
using testsupport::TempDir;

namespace {

const std::string unfinished_session = "6d2e8a40-1b3c-4d5e-9f60-718293a4b5c6";
constexpr size_t record_size = 100;

Bytes numbered_record(size_t i)
{
    return Bytes(record_size, static_cast<uint8_t>(i));
}

// The first index file of the session under the directory, closed or not;
// empty when there is none.
std::string first_index_file(const std::string& root)
{
    for (const auto& name : files_under(root))
        if (name.find("sarvik_recording_meta") != std::string::npos && name.find("_tmp") == std::string::npos)
            return root + "/" + name;
    return {};
}

// The records that a reader finds in the session, the whole chain
// followed; none when it cannot open it.
std::vector<Bytes> readable_records(const std::string& root)
{
    std::vector<Bytes> records;
    const std::string index = first_index_file(root);
    if (index.empty())
        return records;
    stdout_of([&] {
        DataReader reader;
        if (reader.open(index, -1) != 0)
            return;
        while (!reader.at_end()) {
            DataRecord read = reader.read_record();
            if (!read.is_valid)
                break;
            if (!read.data.empty())
                records.push_back(read.data);
        }
    });
    return records;
}

// Each record is the one sent in its place: the reader hands out what was
// sent, in order, and nothing else.
void expect_sent_in_order(const std::vector<Bytes>& records)
{
    for (size_t i = 0; i < records.size(); ++i)
        ASSERT_EQ(numbered_record(i), records[i]) << "record " << i;
}

struct Kill {
    const char* name;
    bool flush;
    long long file_split; // bytes; 0: none
    long long directory_split; // bytes; 0: none
    size_t before; // records written and readable before the kill
    size_t queued; // records handed over just before the kill
};

void PrintTo(const Kill& k, std::ostream* os)
{
    *os << k.name;
}

RecordingOptions options_of(const Kill& k)
{
    RecordingOptions options;
    options.set_session_id(unfinished_session);
    options.set_flush_on_write(k.flush);
    PreferredSplitSize split;
    if (k.file_split > 0) {
        split.set_byte_count(k.file_split);
        options.set_file_split_size(split);
    }
    if (k.directory_split > 0) {
        split.set_byte_count(k.directory_split);
        options.set_directory_split_size(split);
    }
    return options;
}

// In a child process: records, waits until the records so far are readable
// (or a generous deadline passes), hands over more and dies at once.
[[noreturn]] void record_and_die(const Kill& k, const std::string& directory)
{
    testsupport::RecordingLogger log;
    DataRecorder recorder(log);
    recorder.start_recording(ByteDataType, directory, options_of(k));
    for (size_t i = 0; i < k.before; ++i)
        recorder.process(ByteDataType, byte_message(numbered_record(i)));
    // Generous: with flush on write every record waits for the device.
    eventually([&] { return readable_records(directory).size() >= k.before; }, std::chrono::seconds(60));
    for (size_t i = k.before; i < k.before + k.queued; ++i)
        recorder.process(ByteDataType, byte_message(numbered_record(i)));
    std::raise(SIGKILL);
    std::abort();
}

class KilledSession : public testing::TestWithParam<Kill> { };

TEST_P(KilledSession, ReadsBackEveryRecordThatReachedTheDisk)
{
    const Kill& k = GetParam();
    const TempDir dir;
    const pid_t child = fork();
    ASSERT_NE(-1, child);
    if (child == 0)
        record_and_die(k, dir.path());
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

    const std::string index = first_index_file(dir.path());
    ASSERT_NE("", index);
    const std::vector<Bytes> records = readable_records(dir.path());
    EXPECT_LE(k.before, records.size());
    EXPECT_GE(k.before + k.queued, records.size());
    expect_sent_in_order(records);
}

INSTANTIATE_TEST_SUITE_P(Moments, KilledSession,
    testing::Values(Kill { "AfterTheFirstRecord", false, 0, 0, 1, 0 },
        Kill { "AfterTheFirstRecordFlushed", true, 0, 0, 1, 0 },
        Kill { "WithRecordsQueued", false, 0, 0, 5, 300 },
        Kill { "WithRecordsQueuedFlushed", true, 0, 0, 5, 300 },
        Kill { "AfterFileSplits", false, 250, 0, 7, 0 },
        Kill { "AfterFileSplitsFlushed", true, 250, 0, 7, 0 },
        Kill { "AfterDirectorySplits", false, 0, 450, 12, 0 },
        Kill { "AfterDirectorySplitsFlushed", true, 0, 450, 12, 0 }),
    [](const testing::TestParamInfo<Kill>& param_info) { return std::string(param_info.param.name); });

// A recording that runs into a full disk ends readable: every record whose
// bytes reached its data file reads back, in order. Where the machine lets
// the test mount a small file system of its own (in a mount namespace of a
// child process, gone with it), the disk is really full; everywhere, a
// file-size limit that the index file meets first, with records far smaller
// than their entries, cuts its writes short.
struct FullDisk {
    const char* name;
    bool small_file_system; // else the file-size limit
    bool flush;
    size_t record_bytes;
    size_t records;
    // Every record that reached the data file reads back; else the index
    // file outgrew the disk (records far smaller than their entries) and the
    // records read back are the first ones.
    bool every_stored_record;
};

void PrintTo(const FullDisk& f, std::ostream* os)
{
    *os << f.name;
}

// What the child found after its recording: records readable, records
// whose bytes reached the data file, whether they came in order and whether
// the index file was closed.
struct Outcome {
    int64_t readable = -1;
    int64_t stored = -1;
    int in_order = 0;
    int closed = 0;
};

constexpr int cannot_mount = 77;

bool mount_small_file_system(const std::string& path)
{
    std::filesystem::create_directory(path);
    return unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
        && mount("tmpfs", path.c_str(), "tmpfs", 0, "size=48k") == 0;
}

[[noreturn]] void record_onto_full_disk(const FullDisk& f, const std::string& base, int out)
{
    std::string directory = base;
    if (f.small_file_system) {
        directory = base + "/small";
        if (!mount_small_file_system(directory))
            _exit(cannot_mount);
    }
    const auto bytes = [&](size_t i) { return Bytes(f.record_bytes, static_cast<uint8_t>(i)); };
    {
        std::unique_ptr<testsupport::FileSizeLimit> limit;
        if (!f.small_file_system)
            limit = std::make_unique<testsupport::FileSizeLimit>(4096);
        testsupport::RecordingLogger log;
        RecordingOptions options;
        options.set_session_id(unfinished_session);
        options.set_flush_on_write(f.flush);
        DataRecorder recorder(log);
        recorder.start_recording(ByteDataType, directory, options);
        for (size_t i = 0; i < f.records; ++i)
            recorder.process(ByteDataType, byte_message(bytes(i)));
    }
    Outcome outcome;
    outcome.in_order = 1;
    for (const auto& name : files_under(directory)) {
        if (name.find("sarvik_databyte_") != std::string::npos)
            outcome.stored
                = static_cast<int64_t>(std::filesystem::file_size(directory + "/" + name) / f.record_bytes);
        if (name.find("sarvik_recording_meta.dat") != std::string::npos)
            outcome.closed = 1;
    }
    const std::vector<Bytes> records = readable_records(directory);
    outcome.readable = static_cast<int64_t>(records.size());
    for (size_t i = 0; i < records.size(); ++i)
        outcome.in_order &= records[i] == bytes(i) ? 1 : 0;
    const bool told = write(out, &outcome, sizeof outcome) == static_cast<ssize_t>(sizeof outcome);
    _exit(told ? 0 : 1);
}

class FullDiskSession : public testing::TestWithParam<FullDisk> { };

TEST_P(FullDiskSession, EndsReadableWithEveryStoredRecord)
{
    const FullDisk& f = GetParam();
    const TempDir dir;
    int pipe_ends[2];
    ASSERT_EQ(0, pipe(pipe_ends));
    const pid_t child = fork();
    ASSERT_NE(-1, child);
    if (child == 0) {
        close(pipe_ends[0]);
        record_onto_full_disk(f, dir.path(), pipe_ends[1]);
    }
    close(pipe_ends[1]);
    Outcome outcome;
    const ssize_t got = read(pipe_ends[0], &outcome, sizeof outcome);
    close(pipe_ends[0]);
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == cannot_mount)
        GTEST_SKIP() << "this machine does not let the test mount a small file system";
    ASSERT_EQ(0, WEXITSTATUS(status));
    ASSERT_EQ(static_cast<ssize_t>(sizeof outcome), got);

    EXPECT_TRUE(outcome.in_order);
    EXPECT_GT(outcome.stored, 10);
    if (f.small_file_system) {
        EXPECT_LT(outcome.stored, static_cast<int64_t>(f.records)); // the disk did fill up
        // Room was kept for the close, and for the entries of the records
        // that reached the disk.
        EXPECT_TRUE(outcome.closed);
        if (f.every_stored_record)
            EXPECT_EQ(outcome.stored, outcome.readable);
        else
            EXPECT_GE(outcome.readable, 100);
    } else {
        // The index file itself met the limit: it stays unfinished and reads
        // up to its last whole entry.
        EXPECT_GE(outcome.readable, 100);
        EXPECT_LT(outcome.readable, outcome.stored);
    }
}

INSTANTIATE_TEST_SUITE_P(Disks, FullDiskSession,
    testing::Values(FullDisk { "SmallFileSystem", true, false, 100, 600, true },
        FullDisk { "SmallFileSystemFlushed", true, true, 100, 600, true },
        FullDisk { "SmallFileSystemSmallRecords", true, false, 8, 6000, false },
        FullDisk { "IndexFileSizeLimit", false, false, 1, 400, false },
        FullDisk { "IndexFileSizeLimitFlushed", false, true, 1, 400, false }),
    [](const testing::TestParamInfo<FullDisk>& param_info) { return std::string(param_info.param.name); });

// The unfinished index file is read only as far as whole entries that go on
// from those before them; what is truly damaged stays refused.
class UnfinishedIndexFile : public testing::Test {
protected:
    // Three records in d.dat; the index file keeps its ".writing" name and
    // the header of a file being written.
    void SetUp() override
    {
        IndexFileWriter writer(dir.path(), unfinished_session);
        const uint32_t f = writer.add_data_file("d.writing");
        for (uint32_t i = 0; i < 3; ++i)
            writer.write(f, ByteDataType, numbered_record(i), 10 * i);
        index = writer.finish("sarvik_recording_meta.writing");
        entries_end = writer.entry_offset(3);
        // As the recorder leaves it while writing: state 0, no totals, no
        // file map.
        MetaFileHeader open;
        open.created = writer.header().created;
        IndexFileWriter::patch(index, MetaFileHeader::ClosingBlockOffset, open.closing_block());
        IndexFileWriter::truncate(index, entries_end);
        journal(journal_record(0, "d.writing"));
    }

    static Bytes journal_record(uint32_t index, const std::string& name)
    {
        return testsupport::PayloadBuilder()
            .u32(index)
            .u32(uint32_t(name.size() + 1))
            .text(name, true)
            .build();
    }

    void journal(const Bytes& bytes)
    {
        std::ofstream out(
            dir.path() + "/sarvik_recording_meta_tmp.writing", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    size_t readable() { return readable_records(dir.path()).size(); }

    TempDir dir;
    std::string index;
    int64_t entries_end = 0;
};

TEST_F(UnfinishedIndexFile, OpensWithAWarningAndTotalsFromItsEntries)
{
    DataReader reader;
    EXPECT_EQ("warning: meta file was never closed: " + index + ": read up to its last whole entry\n",
        stdout_of([&] { EXPECT_EQ(0, reader.open(index, -1)); }));
    EXPECT_EQ(20, reader.get_duration());
    EXPECT_EQ(300, reader.get_size());
    EXPECT_EQ(static_cast<unsigned>(ByteDataType), reader.get_data_types());
    EXPECT_EQ(record_size, reader.get_max_record_size());
    expect_sent_in_order(readable_records(dir.path()));
    EXPECT_EQ(3u, readable());
    // Seeking works as in a closed file.
    ASSERT_EQ(0, reader.seek_ms(10));
    EXPECT_EQ(numbered_record(1), reader.read_record().data);
    ASSERT_EQ(0, reader.seek_byte(250));
    EXPECT_EQ(numbered_record(2), reader.read_record().data);
    EXPECT_TRUE(reader.at_end());
}

TEST_F(UnfinishedIndexFile, EndsAtTheLastWholeEntry)
{
    const std::vector<std::pair<const char*, std::function<void()>>> cuts = {
        { "part of an entry", [&] { IndexFileWriter::truncate(index, entries_end - 5); } },
        { "an entry of zeros", [&] { IndexFileWriter::patch(index, entries_end - 33, Bytes(33, 0)); } },
        { "a total that goes back",
            [&] { IndexFileWriter::patch(index, entries_end - 33 + 25, Bytes(8, 0)); } },
    };
    for (const auto& [name, cut] : cuts) {
        SetUp();
        cut();
        EXPECT_EQ(2u, readable()) << name;
        expect_sent_in_order(readable_records(dir.path()));
    }
}

TEST_F(UnfinishedIndexFile, FindsDataFilesUnderTheNamesTheyTookAtTheirClose)
{
    // By the journal's later word, or, where the close came too late for
    // it, by the final name beside the ".writing" one.
    std::filesystem::rename(dir.path() + "/d.writing", dir.path() + "/d.dat");
    EXPECT_EQ(3u, readable());
    Bytes two = journal_record(0, "d.writing");
    const Bytes later = journal_record(0, "d_123ms.dat");
    two.insert(two.end(), later.begin(), later.end());
    journal(two);
    std::filesystem::rename(dir.path() + "/d.dat", dir.path() + "/d_123ms.dat");
    EXPECT_EQ(3u, readable());
}

TEST_F(UnfinishedIndexFile, WithoutItsJournalOrWithAForeignOneIsRefused)
{
    const std::vector<std::pair<const char*, Bytes>> journals = {
        { "empty", {} },
        { "cut short", Bytes { 0, 0, 0, 0, 10, 0 } },
        { "a name outside", journal_record(0, "../d.writing") },
        { "an index out of order", journal_record(1, "d.writing") },
    };
    for (const auto& [name, bytes] : journals) {
        journal(bytes);
        EXPECT_EQ(0u, readable()) << name;
    }
    std::filesystem::remove(dir.path() + "/sarvik_recording_meta_tmp.writing");
    DataReader reader;
    stdout_of([&] { EXPECT_EQ(1, reader.open(index, -1)); });
}

} // namespace
