#include "recording/RecordingMetaFile.hpp"

#include "support/IndexFileWriter.hpp"
#include "support/TestSupport.hpp"

#include "support/StdoutCapture.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>

using testsupport::bytes_of;
using testsupport::float_type;
using testsupport::IndexFileWriter;
using testsupport::stage_type;
using testsupport::TempDir;

using testsupport::stdout_of;

namespace {

constexpr int64_t created = 1600000000000;
const std::string index_session = "8c1d5b0e-4f7a-4c2e-9d7b-1a2b3c4d5e6f";

struct Record {
    int result;
    uint32_t data_type;
    int64_t epoch;
    std::string bytes;
};

Record read_next(RecordingMetaFile& file, uint32_t length = 64)
{
    std::vector<char> buffer(length);
    Record r { 0, 0, 0, "" };
    r.result = file.read_record(buffer.data(), length, &r.data_type, &r.epoch);
    if (r.result > 0)
        r.bytes.assign(buffer.data(), static_cast<size_t>(r.result));
    return r;
}

// A binary float data file and a CSV sleep-stage file with its header line,
// records 10 ms apart, each file closed at the end:
//   0 F0 | 10 header | 20 S1 | 30 F1 | 40 S2 | 50 F2 | close float 60 | close stage 60
class TwoFiles : public testing::Test {
protected:
    void SetUp() override
    {
        IndexFileWriter writer(dir.path(), index_session, created);
        const uint32_t floats = writer.add_data_file("sarvik_datafloat_1.dat");
        const uint32_t stages = writer.add_data_file("sarvik_sleepstage_1.csv");
        writer.write(floats, float_type, bytes_of("F0"), 0);
        writer.write(stages, stage_type, bytes_of("TimeStamp;FrameCounter;SleepStage;Confidence\n"), 10);
        writer.write(stages, stage_type, bytes_of("t;1;2;3\n"), 20);
        writer.write(floats, float_type, bytes_of("F1"), 30);
        writer.write(stages, stage_type, bytes_of("t;4;5;6\n"), 40);
        writer.write(floats, float_type, bytes_of("F2"), 50);
        writer.close_data_file(floats, float_type, 60);
        writer.close_data_file(stages, stage_type, 60);
        index = writer.finish();
        bytes_recorded = writer.header().bytes_recorded;
    }

    TempDir dir;
    std::string index;
    int64_t bytes_recorded = 0;
};

TEST_F(TwoFiles, ReadsEveryRecordInOrderAndEndsAtTheLastOne)
{
    RecordingMetaFile file(index);
    ASSERT_TRUE(file.is_open());
    EXPECT_EQ(index_session, file.session_id());
    EXPECT_EQ(
        std::vector<std::string>({ "sarvik_datafloat_1.dat", "sarvik_sleepstage_1.csv" }), file.file_map());
    EXPECT_EQ(60u, file.header().duration);
    EXPECT_EQ(float_type | stage_type, file.header().data_types);
    EXPECT_EQ(45u, file.header().max_record_size);

    const std::vector<std::tuple<uint32_t, int64_t, std::string>> expected = {
        { float_type, 0, "F0" },
        { stage_type, 10, "TimeStamp;FrameCounter;SleepStage;Confidence\n" },
        { stage_type, 20, "t;1;2;3\n" },
        { float_type, 30, "F1" },
        { stage_type, 40, "t;4;5;6\n" },
        { float_type, 50, "F2" },
    };
    for (const auto& [type, offset, bytes] : expected) {
        EXPECT_FALSE(file.at_end());
        const Record r = read_next(file);
        EXPECT_EQ(static_cast<int>(bytes.size()), r.result);
        EXPECT_EQ(type, r.data_type);
        EXPECT_EQ(created + offset, r.epoch);
        EXPECT_EQ(bytes, r.bytes);
    }
    // The last record's total is the file's: the close entries behind it
    // are not read as records.
    EXPECT_TRUE(file.at_end());
    EXPECT_EQ(RecordingMetaFile::ReadFailed, read_next(file).result);
}

TEST_F(TwoFiles, ShortBufferCutsTheRecordAndTheNextReadGoesOn)
{
    RecordingMetaFile file(index);
    read_next(file);
    const Record cut = read_next(file, 9);
    EXPECT_EQ(9, cut.result);
    EXPECT_EQ("TimeStamp", cut.bytes);
    EXPECT_EQ("t;1;2;3\n", read_next(file).bytes);
    char none[1];
    uint32_t type = 0;
    int64_t epoch = 0;
    const int64_t before = file.position();
    EXPECT_EQ(0, file.read_record(none, 0, &type, &epoch));
    EXPECT_EQ(before, file.position());
}

TEST_F(TwoFiles, RecordFormIsCutToItsLimitButConsumesTheEntry)
{
    RecordingMetaFile file(index);
    Bytes record;
    uint32_t type = 0;
    int64_t epoch = 0;
    EXPECT_EQ(2, file.read_record(record, 45, &type, &epoch));
    EXPECT_EQ(bytes_of("F0"), record);
    EXPECT_EQ(0, file.read_record(record, 0, &type, &epoch));
    EXPECT_TRUE(record.empty());
    EXPECT_EQ(stage_type, type);
    EXPECT_EQ(8, file.read_record(record, 45, &type, &epoch)); // the next one
    EXPECT_EQ(bytes_of("t;1;2;3\n"), record);
}

TEST_F(TwoFiles, FilterSkipsOtherTypesAndAFilterOfAbsentTypesEndsAtOnce)
{
    RecordingMetaFile file(index);
    file.set_filter(float_type);
    for (const char* bytes : { "F0", "F1", "F2" })
        EXPECT_EQ(bytes, read_next(file).bytes);
    EXPECT_TRUE(file.at_end());

    file.close();
    ASSERT_TRUE(file.open());
    file.set_filter(stage_type | 0x4);
    EXPECT_EQ(stage_type, read_next(file).data_type);
    file.set_filter(0x4);
    EXPECT_TRUE(file.at_end());
    EXPECT_EQ(RecordingMetaFile::ReadFailed, read_next(file).result);
}

TEST_F(TwoFiles, SeeksByTimeAndByByte)
{
    RecordingMetaFile file(index);
    struct Seek {
        const char* name;
        std::function<bool(RecordingMetaFile&)> seek;
        bool accepted;
        const char* next; // "" for the end
    };
    const std::vector<Seek> seeks = {
        { "ms 0", [](RecordingMetaFile& f) { return f.seek_ms(0); }, true, "F0" },
        { "ms between", [](RecordingMetaFile& f) { return f.seek_ms(25); }, true, "F1" },
        { "ms on a record", [](RecordingMetaFile& f) { return f.seek_ms(40); }, true, "t;4;5;6\n" },
        { "ms of the last record", [](RecordingMetaFile& f) { return f.seek_ms(50); }, true, "F2" },
        { "ms at the duration", [](RecordingMetaFile& f) { return f.seek_ms(60); }, true, "" },
        { "byte 0", [](RecordingMetaFile& f) { return f.seek_byte(0); }, true, "F0" },
        { "byte inside a record", [](RecordingMetaFile& f) { return f.seek_byte(3); }, true,
            "TimeStamp;FrameCounter;SleepStage;Confidence\n" },
        { "last byte", [this](RecordingMetaFile& f) { return f.seek_byte(bytes_recorded - 1); }, true, "F2" },
        { "byte at the size", [this](RecordingMetaFile& f) { return f.seek_byte(bytes_recorded); }, true,
            "" },
    };
    for (const Seek& s : seeks) {
        ASSERT_TRUE(s.seek(file)) << s.name;
        if (*s.next)
            EXPECT_EQ(s.next, read_next(file).bytes) << s.name;
        else
            EXPECT_TRUE(file.at_end()) << s.name;
    }

    // Refused seeks keep the position.
    ASSERT_TRUE(file.seek_ms(30));
    const int64_t position = file.position();
    EXPECT_FALSE(file.seek_ms(61));
    EXPECT_FALSE(file.seek_byte(-1));
    EXPECT_FALSE(file.seek_byte(bytes_recorded + 1));
    EXPECT_EQ(position, file.position());
    EXPECT_EQ("F1", read_next(file).bytes);

    // With a filter the seek goes on to the next record that passes it.
    file.set_filter(float_type);
    ASSERT_TRUE(file.seek_ms(31));
    EXPECT_EQ("F2", read_next(file).bytes);
}

TEST_F(TwoFiles, PositionCanBeRestoredInsideAndOutsideTheChunk)
{
    RecordingMetaFile file(index);
    read_next(file);
    const int64_t second = file.position();
    read_next(file);
    read_next(file);
    file.set_position(second);
    EXPECT_EQ("TimeStamp;FrameCounter;SleepStage;Confidence\n", read_next(file).bytes);
    file.close();
    EXPECT_EQ(-1, file.position());
    ASSERT_TRUE(file.open());
    file.set_position(second);
    EXPECT_EQ("TimeStamp;FrameCounter;SleepStage;Confidence\n", read_next(file).bytes);
}

TEST_F(TwoFiles, HeaderPrintsItsFields)
{
    RecordingMetaFile file(index);
    const std::string expected
        = "magic: 0xa0b1c2d3\nversion: 13\ncreated: 1600000000000\nstate: 1\nduration: 60\n"
          "bytes recorded: "
        + std::to_string(bytes_recorded)
        + "\nfile map offset: " + std::to_string(file.header().file_map_offset)
        + "\nnext meta file offset: -1\nsession id: " + index_session + "\n";
    EXPECT_EQ(expected, stdout_of([&] { file.print_header(); }));
}

TEST(RecordingMetaFileData, UserHeaderPassesItsTypesFilterWithTheComplementedType)
{
    const TempDir dir;
    IndexFileWriter writer(dir.path(), index_session);
    const uint32_t f = writer.add_data_file("d.csv");
    writer.write_user_header(f, stage_type, bytes_of("user"), 0);
    writer.write(f, stage_type, bytes_of("t;1;2;3\n"), 5);
    RecordingMetaFile file(writer.finish());
    file.set_filter(stage_type);
    const Record header = read_next(file);
    EXPECT_EQ("user", header.bytes);
    EXPECT_EQ(~stage_type, header.data_type);
    EXPECT_EQ("t;1;2;3\n", read_next(file).bytes);
}

TEST(RecordingMetaFileData, OldVersionsOpenWithTheirDefaults)
{
    const std::vector<std::tuple<uint32_t, uint32_t, uint32_t>> versions = {
        // version, expected max record size, expected profile id
        { 11, 2048, 0 }, { 12, 3, 0 }, { 13, 3, 0x1234 }, { 14, 3, 0x1234 }, // later versions read as 13
    };
    for (const auto& [version, max_record_size, profile_id] : versions) {
        const TempDir dir;
        IndexFileWriter writer(dir.path(), index_session);
        writer.header().version = version;
        writer.header().profile_id = 0x1234;
        const uint32_t f = writer.add_data_file("d.dat");
        writer.write(f, float_type, bytes_of("abc"), 0);
        writer.write(f, float_type, bytes_of("de"), 7);
        RecordingMetaFile file(writer.finish());
        ASSERT_TRUE(file.is_open()) << version;
        EXPECT_EQ(version, file.header().version);
        EXPECT_EQ(max_record_size, file.header().max_record_size) << version;
        EXPECT_EQ(profile_id, file.header().profile_id) << version;
        EXPECT_EQ(index_session, file.session_id());
        EXPECT_EQ("abc", read_next(file).bytes) << version;
        EXPECT_EQ("de", read_next(file).bytes) << version;
        EXPECT_TRUE(file.at_end());
    }
}

TEST(RecordingMetaFileData, EmptyFileMapIsAnEmptyRecording)
{
    const TempDir dir;
    IndexFileWriter writer(dir.path(), index_session);
    RecordingMetaFile file(writer.finish());
    ASSERT_TRUE(file.is_open());
    EXPECT_TRUE(file.at_end());
    EXPECT_EQ(RecordingMetaFile::ReadFailed, read_next(file).result);
    EXPECT_TRUE(file.seek_ms(0));
    EXPECT_TRUE(file.seek_byte(0));
    EXPECT_TRUE(file.at_end());
}

TEST(RecordingMetaFileData, SeeksInFilesOfManyChunksFindTheFirstOfEqualTimes)
{
    const TempDir dir;
    IndexFileWriter writer(dir.path(), index_session);
    const uint32_t f = writer.add_data_file("d.dat");
    // 1000 entries: times 0 (x300), 7 (x400), 9 (x300); every record its
    // number as 4 bytes.
    for (uint32_t i = 0; i < 1000; ++i) {
        Bytes record(4);
        std::memcpy(record.data(), &i, 4);
        writer.write(f, float_type, record, i < 300 ? 0 : i < 700 ? 7 : 9);
    }
    RecordingMetaFile file(writer.finish("meta.dat", 10));
    const auto next_number = [&] {
        const Record r = read_next(file);
        uint32_t n = 0;
        std::memcpy(&n, r.bytes.data(), std::min<size_t>(4, r.bytes.size()));
        return n;
    };
    const std::vector<std::pair<uint32_t, uint32_t>> times
        = { { 0, 0 }, { 1, 300 }, { 7, 300 }, { 8, 700 }, { 9, 700 } };
    for (const auto& [ms, first] : times) {
        ASSERT_TRUE(file.seek_ms(ms));
        EXPECT_EQ(first, next_number()) << ms;
    }
    ASSERT_TRUE(file.seek_ms(10));
    EXPECT_TRUE(file.at_end());
    for (uint32_t byte : { 0u, 3u, 4u, 2001u, 3999u }) {
        ASSERT_TRUE(file.seek_byte(byte));
        EXPECT_EQ(byte / 4, next_number()) << byte;
    }
}

// Small records come from a read-ahead window of their data file: records
// of two interleaved files, windows that end inside a record, large records
// read past the window, and seeks back into it all give the stored bytes.
TEST(RecordingMetaFileData, RecordsReadThroughTheReadAheadComeBackExactly)
{
    const TempDir dir;
    IndexFileWriter writer(dir.path(), index_session);
    const uint32_t files[] = { writer.add_data_file("a.dat"), writer.add_data_file("b.dat") };
    std::vector<std::string> records;
    for (uint32_t i = 0; i < 4000; ++i) {
        const size_t size = i % 997 == 0 ? 20000 : 29 + i % 13;
        std::string record(size, ' ');
        for (size_t k = 0; k < size; ++k)
            record[k] = static_cast<char>('a' + (i * 7 + k) % 26);
        writer.write(files[i % 2], float_type, bytes_of(record), i);
        records.push_back(record);
    }
    RecordingMetaFile file(writer.finish("meta.dat", 4000));
    const auto next = [&] {
        Bytes record;
        uint32_t type = 0;
        int64_t epoch = 0;
        file.read_record(record, 0xFFFFFFFF, &type, &epoch);
        return std::string(record.begin(), record.end());
    };
    for (uint32_t i = 0; i < records.size(); ++i)
        ASSERT_EQ(records[i], next()) << i;
    for (uint32_t ms : { 2500u, 10u, 1994u, 3998u, 0u }) {
        ASSERT_TRUE(file.seek_ms(ms));
        EXPECT_EQ(records[ms], next()) << ms;
        EXPECT_EQ(records[ms + 1], next()) << ms;
    }
}

TEST(RecordingMetaFileData, LinksResolveAgainstTheIndexFilesDirectory)
{
    const TempDir dir;
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        // index file (relative to dir), link, resolved next name
        { "s/sub_0/meta.dat", "../sub_1/meta.dat", "s/sub_1/meta.dat" },
        { "s/meta.dat", "sub_1/meta.dat", "s/sub_1/meta.dat" },
        { "meta.dat", "../next/meta.dat", "../next/meta.dat" },
        { "meta.dat", "next.dat", "next.dat" },
    };
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    for (const auto& [name, link, next] : cases) {
        std::filesystem::create_directories(std::filesystem::path(name).parent_path().empty()
                ? "."
                : std::filesystem::path(name).parent_path());
        IndexFileWriter writer(std::filesystem::path(name).parent_path().empty()
                ? "."
                : std::filesystem::path(name).parent_path().string(),
            index_session);
        const std::string written = writer.finish(std::filesystem::path(name).filename().string());
        IndexFileWriter::link(written, link);
        RecordingMetaFile file(name);
        EXPECT_TRUE(file.is_open()) << name;
        EXPECT_EQ(next, file.next_meta_filename()) << name << " " << link;
    }
    std::filesystem::current_path(cwd);
}

// Damaged and foreign index files are refused on open with one line (two for
// an old version), and the reader stays closed.
struct IndexFileRefusal {
    const char* name;
    std::function<void(IndexFileWriter&)> before_finish;
    std::function<void(const std::string& path, IndexFileWriter&)> after_finish;
    std::string output; // "%" stands for the index file's name
};

void PrintTo(const IndexFileRefusal& r, std::ostream* os)
{
    *os << r.name;
}

class RefusedMetaFile : public testing::TestWithParam<IndexFileRefusal> { };

TEST_P(RefusedMetaFile, OnOpenWithItsLine)
{
    const IndexFileRefusal& r = GetParam();
    const TempDir dir;
    IndexFileWriter writer(dir.path(), index_session);
    const uint32_t f = writer.add_data_file("d.dat");
    writer.write(f, float_type, bytes_of("abcd"), 0);
    writer.write(f, float_type, bytes_of("efgh"), 5);
    writer.close_data_file(f, float_type, 6);
    if (r.before_finish)
        r.before_finish(writer);
    const std::string path = writer.finish();
    if (r.after_finish)
        r.after_finish(path, writer);

    std::string expected = r.output;
    for (size_t at; (at = expected.find('%')) != std::string::npos;)
        expected.replace(at, 1, path);
    std::unique_ptr<RecordingMetaFile> file;
    EXPECT_EQ(expected, stdout_of([&] { file = std::make_unique<RecordingMetaFile>(path); }));
    EXPECT_FALSE(file->is_open());
    EXPECT_FALSE(file->at_end());
    EXPECT_EQ(-1, file->position());
}

const std::string invalid_format = "failed to open meta file: %: invalid format\n";

INSTANTIATE_TEST_SUITE_P(IndexFiles, RefusedMetaFile,
    testing::Values(IndexFileRefusal { "Missing", nullptr,
                        [](const std::string& p, auto&) { std::filesystem::remove(p); },
                        "failed to open meta file: %\n" },
        IndexFileRefusal { "Empty", nullptr,
            [](const std::string& p, auto&) { IndexFileWriter::truncate(p, 0); }, invalid_format },
        IndexFileRefusal { "BadMagic", nullptr,
            [](const std::string& p, auto&) { IndexFileWriter::patch(p, 0, { 0xD4 }); }, invalid_format },
        IndexFileRefusal { "Version10", [](IndexFileWriter& w) { w.header().version = 10; }, nullptr,
            invalid_format + "minimum supported version: 1.1, current version: 1\n" },
        IndexFileRefusal { "Version9", [](IndexFileWriter& w) { w.header().version = 9; }, nullptr,
            invalid_format + "minimum supported version: 1.1, current version: 0.9\n" },
        IndexFileRefusal { "NeverClosed", nullptr,
            [](const std::string& p, auto&) { IndexFileWriter::patch(p, 29, Bytes(8, 0xFF)); },
            invalid_format },
        IndexFileRefusal { "CutInTheHeader", nullptr,
            [](const std::string& p, auto&) { IndexFileWriter::truncate(p, 40); }, invalid_format },
        IndexFileRefusal { "SessionIdBeyondTheFile", nullptr,
            [](const std::string& p, auto&) {
                IndexFileWriter::patch(p, 85, { 0xFF, 0xFF, 0, 0 });
            },
            "failed to read bytes from meta file: %\n" },
        IndexFileRefusal { "EmptySessionId", nullptr,
            [](const std::string& p, auto&) { IndexFileWriter::patch(p, 89, { 0 }); }, invalid_format },
        IndexFileRefusal { "PartOfAnEntry", nullptr,
            [](const std::string& p, IndexFileWriter& w) {
                IndexFileWriter::patch(p, 29,
                    testsupport::PayloadBuilder()
                        .u32(static_cast<uint32_t>(w.header().file_map_offset - 1))
                        .u32(0));
            },
            invalid_format },
        IndexFileRefusal { "NoLargestRecord", nullptr,
            [](const std::string& p, auto&) {
                IndexFileWriter::patch(p, 49, { 0, 0, 0, 0 });
            },
            invalid_format },
        IndexFileRefusal { "LargestRecordBeyondAllBytes", nullptr,
            [](const std::string& p, auto&) {
                IndexFileWriter::patch(p, 49, { 0xFF, 0xFF, 0xFF, 0xFF });
            },
            invalid_format },
        IndexFileRefusal { "FileMapOfAnotherType", nullptr,
            [](const std::string& p, IndexFileWriter& w) {
                IndexFileWriter::patch(p, w.entry_offset(w.entry_count()) + 4, { 2 });
            },
            invalid_format },
        IndexFileRefusal { "EmptyFileMapWithBytes", nullptr,
            [](const std::string& p, IndexFileWriter& w) {
                IndexFileWriter::patch(p, w.entry_offset(w.entry_count()) + 5, { 0 });
            },
            invalid_format },
        IndexFileRefusal { "FileMapCountBeyondTheFile", nullptr,
            [](const std::string& p, IndexFileWriter& w) {
                IndexFileWriter::patch(p, w.entry_offset(w.entry_count()) + 5, { 0xFF, 0xFF, 0xFF, 0xFF });
            },
            "failed to read bytes from meta file: %\n" },
        IndexFileRefusal { "DataFileOutsideTheDirectory", nullptr,
            [](const std::string& p, IndexFileWriter& w) {
                IndexFileWriter::patch(p, w.entry_offset(w.entry_count()) + 13, testsupport::hex("2e2e2f"));
            },
            invalid_format },
        IndexFileRefusal { "DataFileIsTheDirectory", nullptr,
            [](const std::string& p, IndexFileWriter& w) {
                IndexFileWriter::patch(p, w.entry_offset(w.entry_count()) + 13, { '.', 0 });
            },
            invalid_format },
        IndexFileRefusal { "DataFileLinkedOutOfTheDirectory", nullptr,
            [](const std::string& p, auto&) {
                const auto data = std::filesystem::path(p).parent_path() / "d.dat";
                std::filesystem::remove(data);
                std::filesystem::create_symlink("/etc/passwd", data);
            },
            invalid_format },
        IndexFileRefusal { "EmptyLink", nullptr,
            [](const std::string& p, auto&) { IndexFileWriter::link(p, ""); }, invalid_format },
        IndexFileRefusal { "LinkClimbingOutOfTheSession", nullptr,
            [](const std::string& p, auto&) {
                IndexFileWriter::link(p, "../../outside/sarvik_recording_meta.dat");
            },
            invalid_format },
        IndexFileRefusal { "LinkToTheRoot", nullptr,
            [](const std::string& p, auto&) { IndexFileWriter::link(p, "/etc/passwd"); }, invalid_format },
        IndexFileRefusal { "LinkThroughASymbolicLinkOut", nullptr,
            [](const std::string& p, auto&) {
                std::filesystem::create_symlink("/etc", std::filesystem::path(p).parent_path() / "next");
                IndexFileWriter::link(p, "next/passwd");
            },
            invalid_format },
        IndexFileRefusal { "LinkBeyondTheFile", nullptr,
            [](const std::string& p, auto&) {
                IndexFileWriter::patch(p, 41, { 0, 0, 0, 1, 0, 0, 0, 0 });
            },
            "failed to read bytes from meta file: %\n" }),
    [](const testing::TestParamInfo<IndexFileRefusal>& param_info) {
        return std::string(param_info.param.name);
    });

// Damage behind a good header shows while reading: the file reads as ended at
// the damaged entry, with one line, and never reads out of bounds.
struct Damage {
    const char* name;
    size_t entry; // which entry is damaged
    size_t field;
    Bytes bytes;
};

void PrintTo(const Damage& d, std::ostream* os)
{
    *os << d.name;
}

class DamagedEntry : public testing::TestWithParam<Damage> { };

TEST_P(DamagedEntry, EndsReadingThereWithItsLine)
{
    const Damage& d = GetParam();
    const TempDir dir;
    IndexFileWriter writer(dir.path(), index_session);
    const uint32_t f = writer.add_data_file("d.dat");
    for (const char* r : { "r0", "r1", "r2" })
        writer.write(f, float_type, bytes_of(r), 0);
    const std::string path = writer.finish();
    IndexFileWriter::patch(path, writer.entry_offset(d.entry) + static_cast<int64_t>(d.field), d.bytes);

    RecordingMetaFile file(path);
    ASSERT_TRUE(file.is_open());
    for (size_t i = 0; i < d.entry; ++i)
        EXPECT_EQ("r" + std::to_string(i), read_next(file).bytes);
    Record damaged;
    EXPECT_EQ("failed to read bytes from meta file: " + path + ": invalid format\n",
        stdout_of([&] { damaged = read_next(file); }));
    EXPECT_EQ(RecordingMetaFile::NoEntry, damaged.result);
    EXPECT_TRUE(file.at_end());
}

INSTANTIATE_TEST_SUITE_P(Entries, DamagedEntry,
    testing::Values(Damage { "FileIndexOutsideTheMap", 1, 13, { 1 } },
        Damage { "TwoTypeBits", 1, 5, { 0x03, 0x04 } },
        Damage { "TypeOutsideTheTypes", 0, 5, { 0, 0, 0x80 } }, Damage { "UnknownEntryKind", 2, 4, { 7 } },
        Damage { "NegativeOffset", 1, 24, { 0x80 } }),
    [](const testing::TestParamInfo<Damage>& param_info) { return std::string(param_info.param.name); });

TEST(RecordingMetaFileData, DataFileShorterThanItsEntriesFailsThatRecordOnly)
{
    const TempDir dir;
    IndexFileWriter writer(dir.path(), index_session);
    const uint32_t f = writer.add_data_file("d.dat");
    const uint32_t g = writer.add_data_file("e.dat");
    writer.write(f, float_type, bytes_of("abcd"), 0);
    writer.write(f, float_type, bytes_of("efgh"), 1);
    writer.write(g, float_type, bytes_of("ijkl"), 2);
    RecordingMetaFile file(writer.finish());
    IndexFileWriter::truncate(dir.path() + "/d.dat", 6);

    EXPECT_EQ("abcd", read_next(file).bytes);
    Record failed;
    testing::internal::CaptureStderr();
    EXPECT_EQ("failed to read from file:\n", stdout_of([&] { failed = read_next(file); }));
    EXPECT_EQ("  |- FILE error: unexpected end of file\n", testing::internal::GetCapturedStderr());
    EXPECT_EQ(RecordingMetaFile::ReadFailed, failed.result);
    EXPECT_EQ("ijkl", read_next(file).bytes);

    // The record form checks the data file before it sizes its vector.
    ASSERT_TRUE(file.seek_ms(1));
    Bytes record;
    uint32_t type = 0;
    int64_t epoch = 0;
    testing::internal::CaptureStderr();
    stdout_of([&] {
        EXPECT_EQ(RecordingMetaFile::ReadFailed, file.read_record(record, 0xFFFFFFFF, &type, &epoch));
    });
    testing::internal::GetCapturedStderr();
}

TEST(RecordingMetaFileData, MissingDataFileFailsEachOfItsRecords)
{
    const TempDir dir;
    IndexFileWriter writer(dir.path(), index_session);
    const uint32_t f = writer.add_data_file("gone.dat");
    writer.write(f, float_type, bytes_of("a"), 0);
    writer.write(f, float_type, bytes_of("b"), 1);
    RecordingMetaFile file(writer.finish());
    std::filesystem::remove(dir.path() + "/gone.dat");
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ("failed to open file: gone.dat\nin directory: " + dir.path() + "\n",
            stdout_of([&] { EXPECT_EQ(RecordingMetaFile::ReadFailed, read_next(file).result); }));
    EXPECT_TRUE(file.at_end());
}

} // namespace
