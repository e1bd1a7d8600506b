#include <linkwell/DataReader.hpp>

#include "support/IndexFileWriter.hpp"
#include "support/TestSupport.hpp"

#include "support/StdoutCapture.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

using Sarvik::DataReader;
using Sarvik::DataRecord;
using testsupport::bytes_of;
using testsupport::float_type;
using testsupport::IndexFileWriter;
using testsupport::stage_type;
using testsupport::TempDir;
using testsupport::text_of;

using testsupport::stdout_of;

namespace {

const std::string reader_session = "5f0c2a1e-7b3d-4e8f-a9c1-d2e3f4a5b6c7";

// A session split into three sub-directories, one index file each, chained
// by "../" links as the recorder leaves them:
//   sub_0 (created 1000, 100 ms): user header, float a0 at 10, stage s0 at 20, float a1 at 90
//   sub_1 (created 2000, 50 ms): stage s1 at 5, s2 at 40
//   sub_2 (created 3000, 80 ms): float c0 at 0, float c1 at 80
class Chain : public testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 3; ++i)
            std::filesystem::create_directories(directory(i));
        {
            IndexFileWriter w(directory(0), reader_session, 1000);
            w.header().profile_id = 77;
            const uint32_t f = w.add_data_file("sarvik_datafloat_x.dat");
            const uint32_t s = w.add_data_file("sarvik_sleepstage_x.csv");
            w.write_user_header(f, float_type, bytes_of("HDR"), 0);
            w.write(f, float_type, bytes_of("a0"), 10);
            w.write(s, stage_type, bytes_of("t;1;2;3\n"), 20);
            w.write(f, float_type, bytes_of("a1"), 90);
            w.close_data_file(f, float_type, 100);
            w.close_data_file(s, stage_type, 100);
            index[0] = w.finish("sarvik_recording_meta.dat", 100);
        }
        {
            IndexFileWriter w(directory(1), reader_session, 2000);
            const uint32_t s = w.add_data_file("sarvik_sleepstage_y.csv");
            w.write(s, stage_type, bytes_of("t;4;5;6\n"), 5);
            w.write(s, stage_type, bytes_of("t;7;8;9\n"), 40);
            w.close_data_file(s, stage_type, 50);
            index[1] = w.finish("sarvik_recording_meta.dat", 50);
        }
        {
            IndexFileWriter w(directory(2), reader_session, 3000);
            const uint32_t f = w.add_data_file("sarvik_datafloat_z.dat");
            w.write(f, float_type, bytes_of("c0"), 0);
            w.write(f, float_type, bytes_of("c1"), 80);
            index[2] = w.finish("sarvik_recording_meta.dat", 80);
        }
        IndexFileWriter::link(index[0], "../sub_1/sarvik_recording_meta.dat");
        IndexFileWriter::link(index[1], "../sub_2/sarvik_recording_meta.dat");
    }

    std::string directory(int i) const { return dir.path() + "/session/sub_" + std::to_string(i); }

    // Every record from here on as "bytes@epoch", user headers marked.
    static std::vector<std::string> rest(DataReader& reader)
    {
        std::vector<std::string> records;
        while (!reader.at_end()) {
            const DataRecord r = reader.read_record();
            if (!r.is_valid)
                break;
            records.push_back(
                (r.is_user_header ? "H:" : "") + text_of(r.data) + "@" + std::to_string(r.epoch));
        }
        return records;
    }

    TempDir dir;
    std::string index[3];
};

TEST_F(Chain, CountSaysHowManyIndexFilesAreOpened)
{
    struct Case {
        int count;
        long long duration;
        long long size;
        unsigned data_types;
        std::vector<std::string> records;
    };
    const std::vector<Case> cases = {
        { 1, 100, 15, float_type | stage_type, { "H:HDR@1000", "a0@1010", "t;1;2;3\n@1020", "a1@1090" } },
        { 2, 150, 31, float_type | stage_type,
            { "H:HDR@1000", "a0@1010", "t;1;2;3\n@1020", "a1@1090", "t;4;5;6\n@2005", "t;7;8;9\n@2040" } },
        { -1, 230, 35, float_type | stage_type,
            { "H:HDR@1000", "a0@1010", "t;1;2;3\n@1020", "a1@1090", "t;4;5;6\n@2005", "t;7;8;9\n@2040",
                "c0@3000", "c1@3080" } },
        { 7, 230, 35, float_type | stage_type,
            { "H:HDR@1000", "a0@1010", "t;1;2;3\n@1020", "a1@1090", "t;4;5;6\n@2005", "t;7;8;9\n@2040",
                "c0@3000", "c1@3080" } },
    };
    for (const Case& c : cases) {
        DataReader reader;
        ASSERT_EQ(0, reader.open(index[0], c.count)) << c.count;
        EXPECT_TRUE(reader.is_open());
        EXPECT_EQ(1000, reader.get_start_epoch());
        EXPECT_EQ(c.duration, reader.get_duration()) << c.count;
        EXPECT_EQ(c.size, reader.get_size()) << c.count;
        EXPECT_EQ(c.data_types, reader.get_data_types());
        EXPECT_EQ(8u, reader.get_max_record_size());
        EXPECT_EQ(77u, reader.get_profile_id());
        EXPECT_EQ(13u, reader.get_meta_version());
        EXPECT_EQ(reader_session, reader.get_session_id());
        EXPECT_EQ(c.records, rest(reader)) << c.count;
        EXPECT_TRUE(reader.at_end());
        EXPECT_FALSE(reader.read_record().is_valid);
    }
}

TEST_F(Chain, OpenRefusesBadArgumentsAndASecondOpen)
{
    DataReader reader;
    EXPECT_EQ(1, reader.open(index[0], 0));
    EXPECT_EQ(1, reader.open("", -1));
    EXPECT_FALSE(reader.is_open());
    EXPECT_EQ(-1, reader.get_duration());
    EXPECT_EQ(-1, reader.get_start_epoch());
    EXPECT_EQ(0, reader.open(index[1], -1));
    EXPECT_EQ(1, reader.open(index[0], -1));
    EXPECT_EQ(130, reader.get_duration()); // still the first one
    reader.close();
    EXPECT_FALSE(reader.is_open());
    EXPECT_EQ(-1, reader.get_size());
    EXPECT_EQ("", reader.get_session_id());
    EXPECT_EQ(0, reader.open(index[0], 1));
}

TEST_F(Chain, AForeignOrUnreadableFileFailsTheWholeChain)
{
    {
        IndexFileWriter w(directory(1), "another-session", 2000);
        w.finish("sarvik_recording_meta.dat");
        IndexFileWriter::link(index[1], "../sub_2/sarvik_recording_meta.dat");
    }
    DataReader reader;
    EXPECT_EQ("failed to open meta file: " + index[1] + ": invalid session id\nexpected id: " + reader_session
            + ", actual id: another-session\n",
        stdout_of([&] { EXPECT_EQ(1, reader.open(index[0], -1)); }));
    EXPECT_FALSE(reader.is_open());
    EXPECT_EQ(0, reader.open(index[0], 1)); // the first file alone is fine

    reader.close();
    IndexFileWriter::patch(index[1], 0, { 0 });
    EXPECT_EQ("failed to open meta file: " + index[1] + ": invalid format\n",
        stdout_of([&] { EXPECT_EQ(1, reader.open(index[0], -1)); }));
    EXPECT_FALSE(reader.is_open());
}

TEST_F(Chain, ALinkBackIntoTheChainEndsIt)
{
    IndexFileWriter::link(index[2], "../sub_0/sarvik_recording_meta.dat");
    DataReader reader;
    ASSERT_EQ(0, reader.open(index[0], -1));
    EXPECT_EQ(230, reader.get_duration());
    EXPECT_EQ(8u, rest(reader).size());

    // A file that names itself as its successor.
    const TempDir other;
    IndexFileWriter w(other.path(), reader_session);
    const std::string self = w.finish();
    IndexFileWriter::link(self, "sarvik_recording_meta.dat");
    DataReader single;
    ASSERT_EQ(0, single.open(self, -1));
    EXPECT_TRUE(single.at_end());
}

TEST_F(Chain, EmptyIndexFileInTheChainIsReadThrough)
{
    {
        IndexFileWriter w(directory(1), reader_session, 2000);
        index[1] = w.finish("sarvik_recording_meta.dat", 50);
        IndexFileWriter::link(index[1], "../sub_2/sarvik_recording_meta.dat");
    }
    DataReader reader;
    ASSERT_EQ(0, reader.open(index[0], -1));
    EXPECT_EQ((std::vector<std::string> {
                  "H:HDR@1000", "a0@1010", "t;1;2;3\n@1020", "a1@1090", "c0@3000", "c1@3080" }),
        rest(reader));
}

TEST_F(Chain, FilterIsCheckedKeptAndObeyedAcrossFiles)
{
    DataReader reader;
    EXPECT_EQ("invalid filter: 0 in func: set_filter: must be non-zero\n",
        stdout_of([&] { EXPECT_EQ(1, reader.set_filter(0)); }));
    EXPECT_EQ("invalid filter: 8388608 in func: set_filter\n",
        stdout_of([&] { EXPECT_EQ(1, reader.set_filter(0x800000)); }));
    EXPECT_EQ(0xFFFFFFFFu, reader.get_filter());
    EXPECT_EQ(0, reader.set_filter(0x7FFFFF));
    EXPECT_EQ(0, reader.set_filter(0xFFFFFFFF));

    EXPECT_EQ(0, reader.set_filter(float_type));
    ASSERT_EQ(0, reader.open(index[0], -1));
    // The middle file holds no float data: no failing read in between.
    EXPECT_EQ((std::vector<std::string> { "H:HDR@1000", "a0@1010", "a1@1090", "c0@3000", "c1@3080" }),
        rest(reader));

    reader.close();
    EXPECT_EQ(float_type, reader.get_filter()); // kept over close
    EXPECT_EQ(0, reader.set_filter(0x4)); // no sleep data recorded
    ASSERT_EQ(0, reader.open(index[0], -1));
    EXPECT_TRUE(reader.at_end());
    EXPECT_FALSE(reader.read_record().is_valid);
}

TEST_F(Chain, PeekThenReadGiveTheSameRecordAlsoAtAFileBoundary)
{
    DataReader reader;
    ASSERT_EQ(0, reader.open(index[0], -1));
    std::vector<std::string> peeked;
    std::vector<std::string> read;
    for (int i = 0; i < 8; ++i) {
        const DataRecord p = reader.peek_record();
        const DataRecord again = reader.peek_record();
        const DataRecord r = reader.read_record();
        ASSERT_TRUE(p.is_valid && again.is_valid && r.is_valid) << i;
        EXPECT_EQ(text_of(p.data) + "@" + std::to_string(p.epoch),
            text_of(again.data) + "@" + std::to_string(again.epoch));
        peeked.push_back(text_of(p.data) + "@" + std::to_string(p.epoch));
        read.push_back(text_of(r.data) + "@" + std::to_string(r.epoch));
    }
    EXPECT_EQ(read, peeked);
    EXPECT_TRUE(reader.at_end());
    EXPECT_FALSE(reader.peek_record().is_valid);

    // Buffer forms, across the boundary between the first and second file.
    reader.close();
    ASSERT_EQ(0, reader.open(index[0], -1));
    ASSERT_EQ(0, reader.seek_ms(95)); // after a1: the next record is in sub_1
    unsigned char buffer[16];
    unsigned size = 99, type = 99;
    long long epoch = 99;
    unsigned char header = 99;
    ASSERT_EQ(0, reader.peek_record(buffer, sizeof buffer, &size, &type, &epoch, &header));
    EXPECT_EQ("t;4;5;6\n", std::string(buffer, buffer + size));
    EXPECT_EQ(2005, epoch);
    EXPECT_EQ(stage_type, type);
    EXPECT_EQ(0, header);
    ASSERT_EQ(0, reader.read_record(buffer, sizeof buffer, &size, &type, &epoch, &header));
    EXPECT_EQ("t;4;5;6\n", std::string(buffer, buffer + size));
    ASSERT_EQ(0, reader.read_record(buffer, 3, &size, nullptr, nullptr, nullptr));
    EXPECT_EQ("t;7", std::string(buffer, buffer + size));
}

TEST_F(Chain, UserHeaderComesWithItsPlainTypeAndIsNoPacket)
{
    DataReader reader;
    ASSERT_EQ(0, reader.open(index[0], -1));
    const DataRecord header = reader.read_record();
    EXPECT_TRUE(header.is_user_header);
    EXPECT_EQ(float_type, header.data_type);
    bool ok = true;
    EXPECT_EQ(
        "ERROR: cannot convert user header to binary\n", stdout_of([&] { header.to_binary_packet(&ok); }));
    EXPECT_FALSE(ok);
    const DataRecord record = reader.read_record();
    EXPECT_FALSE(record.is_user_header);
    EXPECT_EQ(Bytes({ 0xA0, 0x12, 'a', '0' }), record.to_binary_packet(&ok));
    EXPECT_TRUE(ok);
}

TEST_F(Chain, SeeksAcrossTheChain)
{
    DataReader reader;
    ASSERT_EQ(0, reader.open(index[0], -1));
    struct Seek {
        const char* name;
        std::function<int(DataReader&)> seek;
        const char* next; // "" for the end
    };
    const std::vector<Seek> seeks = {
        { "ms 0", [](DataReader& r) { return r.seek_ms(0); }, "HDR@1000" },
        { "ms inside the first", [](DataReader& r) { return r.seek_ms(15); }, "t;1;2;3\n@1020" },
        { "ms on the boundary", [](DataReader& r) { return r.seek_ms(100); }, "t;4;5;6\n@2005" },
        { "ms inside the second", [](DataReader& r) { return r.seek_ms(120); }, "t;7;8;9\n@2040" },
        { "ms inside the last", [](DataReader& r) { return r.seek_ms(151); }, "c1@3080" },
        { "ms at the duration", [](DataReader& r) { return r.seek_ms(230); }, "" },
        { "byte 0", [](DataReader& r) { return r.seek_byte(0); }, "HDR@1000" },
        { "byte of the second file", [](DataReader& r) { return r.seek_byte(20); }, "t;4;5;6\n@2005" },
        { "last byte", [](DataReader& r) { return r.seek_byte(34); }, "c1@3080" },
        { "byte at the size", [](DataReader& r) { return r.seek_byte(35); }, "" },
    };
    for (const Seek& s : seeks) {
        ASSERT_EQ(0, s.seek(reader)) << s.name;
        if (*s.next) {
            const DataRecord r = reader.read_record();
            EXPECT_EQ(s.next, text_of(r.data) + "@" + std::to_string(r.epoch)) << s.name;
        } else {
            EXPECT_TRUE(reader.at_end()) << s.name;
        }
    }

    ASSERT_EQ(0, reader.seek_ms(120));
    for (long long outside : { -1LL, 231LL })
        EXPECT_EQ(1, reader.seek_ms(outside));
    for (long long outside : { -1LL, 36LL })
        EXPECT_EQ(1, reader.seek_byte(outside));
    EXPECT_EQ("t;7;8;9\n", text_of(reader.read_record().data)); // position kept

    DataReader closed;
    EXPECT_EQ(1, closed.seek_ms(0));
    EXPECT_EQ(1, closed.seek_byte(0));
}

TEST_F(Chain, OutputsAreZeroedAndNothingIsReadWhenClosedOrAtTheEnd)
{
    DataReader reader;
    unsigned char buffer[4];
    unsigned size = 5, type = 5;
    long long epoch = 5;
    unsigned char header = 5;
    EXPECT_EQ(1, reader.read_record(buffer, sizeof buffer, &size, &type, &epoch, &header));
    EXPECT_EQ(0u, size + type + static_cast<unsigned>(epoch) + header);
    EXPECT_FALSE(reader.at_end());
    EXPECT_EQ(1, reader.peek_record(buffer, sizeof buffer, &size, &type, &epoch, &header));

    ASSERT_EQ(0, reader.open(index[2], -1));
    EXPECT_EQ(1, reader.read_record(nullptr, 4, &size, &type, &epoch, &header)); // no buffer
    ASSERT_EQ(0, reader.seek_ms(80));
    EXPECT_TRUE(reader.at_end());
    type = 5;
    EXPECT_EQ(1, reader.peek_record(buffer, sizeof buffer, &size, &type, &epoch, &header));
    EXPECT_EQ(0u, type);
}

TEST(DataReaderVersions, OldRecordingsReadButDoNotConvert)
{
    const TempDir dir;
    IndexFileWriter w(dir.path(), reader_session);
    w.header().version = 11;
    const uint32_t f = w.add_data_file("d.dat");
    w.write(f, float_type, Bytes(3000, 0x11), 0);
    DataReader reader;
    ASSERT_EQ(0, reader.open(w.finish(), -1));
    EXPECT_EQ(11u, reader.get_meta_version());
    EXPECT_EQ(2048u, reader.get_max_record_size());
    const DataRecord record = reader.read_record();
    ASSERT_TRUE(record.is_valid);
    EXPECT_EQ(3000u, record.data.size()); // whole, longer than the assumed largest record
    EXPECT_EQ(11u, record.meta_version);
    EXPECT_EQ("ERROR: unsupported meta file version\n", stdout_of([&] { record.to_binary_packet(); }));
}

} // namespace
