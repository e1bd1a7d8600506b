// What a recording leaves on disk, fed through process() without a module:
// the session directory and its files byte for byte, the index file's header,
// entries and file map, callbacks, splits of files and directories with the
// chain of index files, the data-rate limit, name clashes, release and
// destruction with packets still queued. Every session is read back with the
// data reader.
#include <linkwell/DataReader.hpp>
#include <linkwell/DataRecorder.hpp>

#include "support/RecordingLogger.hpp"
#include "support/SessionFiles.hpp"
#include "support/SimulatedConnection.hpp"
#include "support/TestSupport.hpp"

#include "simmodule/Messages.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <mutex>
#include <regex>
#include <thread>

using Sarvik::ByteDataType;
using Sarvik::DataRecorder;
using Sarvik::DataType;
using Sarvik::FloatDataType;
using Sarvik::PreferredSplitSize;
using Sarvik::PulseDopplerFloatDataType;
using Sarvik::RecordingOptions;
using Sarvik::RespirationDataType;
using Sarvik::SleepDataType;
using testsupport::byte_message;
using testsupport::bytes_of;
using testsupport::eventually;
using testsupport::files_under;
using testsupport::i64_at;
using testsupport::names_in;
using testsupport::only_match;
using testsupport::payloads;
using testsupport::read_file;
using testsupport::read_session;
using testsupport::read_text;
using testsupport::RecordingLogger;
using testsupport::session_id;
using testsupport::TempDir;
using testsupport::u32_at;

namespace {

const std::string date_time = "[0-9]{8}_[0-9]{6}";

// A float-data message (A0 12 ...) whose stored record is `record`.
Bytes float_message(const Bytes& record)
{
    Bytes message { 0xA0, 0x12 };
    message.insert(message.end(), record.begin(), record.end());
    return message;
}

Bytes record_of(size_t size, uint8_t seed)
{
    Bytes record(size);
    for (size_t i = 0; i < size; ++i)
        record[i] = static_cast<uint8_t>(seed + i);
    return record;
}

Bytes respiration_message(uint32_t state, uint32_t rpm, float distance, float movement, uint32_t quality)
{
    simmodule::RespirationStatus m;
    m.frame_counter = 99;
    m.sensor_state = state;
    m.respiration_rate = rpm;
    m.distance = distance;
    m.movement = movement;
    m.signal_quality = quality;
    return simmodule::respiration_status_message(m);
}

struct Entry {
    uint32_t epoch_offset;
    uint8_t type;
    uint32_t data_type;
    uint32_t bytes;
    uint32_t file_index;
    int64_t offset;
    int64_t total;
};

// The entries of a closed index file, between its header and its file map.
std::vector<Entry> entries_of(const Bytes& index)
{
    const size_t first = 89 + u32_at(index, 85);
    const auto file_map = static_cast<size_t>(i64_at(index, 29));
    std::vector<Entry> entries;
    for (size_t at = first; at + 33 <= file_map; at += 33)
        entries.push_back({ u32_at(index, at), index.at(at + 4), u32_at(index, at + 5), u32_at(index, at + 9),
            u32_at(index, at + 13), i64_at(index, at + 17), i64_at(index, at + 25) });
    return entries;
}

// The file map of a closed index file.
std::vector<std::string> file_map_of(const Bytes& index)
{
    size_t at = static_cast<size_t>(i64_at(index, 29));
    EXPECT_EQ(3, index.at(at + 4));
    const uint32_t count = u32_at(index, at + 5);
    at += 9;
    std::vector<std::string> names;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t length = u32_at(index, at);
        names.emplace_back(index.begin() + static_cast<std::ptrdiff_t>(at + 4),
            index.begin() + static_cast<std::ptrdiff_t>(at + 4 + length - 1));
        at += 4 + length;
    }
    return names;
}

class Session : public testing::Test {
protected:
    Session() { options.set_session_id(session_id); }

    std::string session_directory() const
    {
        return dir.path() + "/"
            + only_match(names_in(dir.path()), "sarvik_recording_" + date_time + "_" + session_id);
    }

    TempDir dir;
    RecordingLogger log;
    RecordingOptions options;
    std::unique_ptr<DataRecorder> recorder = std::make_unique<DataRecorder>(log);
};

TEST_F(Session, LeavesDataFilesAndAnIndexFileByteForByte)
{
    options.set_user_header(bytes_of("UH"));
    const auto before = std::chrono::system_clock::now();
    ASSERT_EQ(0, recorder->start_recording(ByteDataType | RespirationDataType, dir.path(), options));
    const Bytes b1 = record_of(10, 1), b2 = record_of(300, 2), b3 = record_of(1, 3);
    recorder->process(ByteDataType, byte_message(b1));
    recorder->process(RespirationDataType, respiration_message(3, 14, 1.5f, 0.25f, 80));
    recorder->process(ByteDataType, byte_message(b2));
    recorder->process(RespirationDataType, respiration_message(4, 15, 1.0f, 0.0f, 81)); // state 4: no line
    recorder->process(ByteDataType, Bytes { 0xA0, 0x10 }); // stores no byte: refused
    recorder->process(ByteDataType, byte_message(b3));
    recorder.reset();
    const auto after = std::chrono::system_clock::now();

    const std::string session = session_directory();
    const auto names = names_in(session);
    ASSERT_EQ(3u, names.size()) << testing::PrintToString(names);
    const std::string byte_file = only_match(names, "sarvik_databyte_" + date_time + "\\.dat");
    const std::string csv_file = only_match(names, "sarvik_respiration_" + date_time + "\\.csv");
    only_match(names, "sarvik_recording_meta\\.dat");

    Bytes expected_bytes = bytes_of("UH");
    for (const Bytes* b : { &b1, &b2, &b3 })
        expected_bytes.insert(expected_bytes.end(), b->begin(), b->end());
    EXPECT_EQ(expected_bytes, read_file(session + "/" + byte_file));

    const std::string header_line = "TimeStamp;State;RPM;ObjectDistance;ObjectMovement;SignalQuality\n";
    const std::string csv = read_text(session + "/" + csv_file);
    const std::string line = csv.substr(2 + header_line.size());
    EXPECT_EQ("UH" + header_line, csv.substr(0, 2 + header_line.size()));
    EXPECT_TRUE(std::regex_match(line,
        std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}[+-][0-9]{2}:[0-9]{2};"
                   "3;14;1\\.5;0\\.25;80\n")))
        << line;

    const Bytes index = read_file(session + "/sarvik_recording_meta.dat");
    const auto ms = [](auto t) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
    };
    EXPECT_EQ(0xA0B1C2D3u, u32_at(index, 0));
    EXPECT_EQ(13u, u32_at(index, 4));
    EXPECT_GE(i64_at(index, 8), ms(before));
    EXPECT_LE(i64_at(index, 8), ms(after));
    EXPECT_EQ(1, index.at(16));
    const int64_t total = static_cast<int64_t>(expected_bytes.size() + csv.size());
    EXPECT_EQ(total, i64_at(index, 21));
    EXPECT_EQ(uint32_t { ByteDataType | RespirationDataType }, u32_at(index, 37));
    EXPECT_EQ(-1, i64_at(index, 41));
    EXPECT_EQ(300u, u32_at(index, 49));
    EXPECT_EQ(0u, u32_at(index, 53)) << "profile id without a module";
    EXPECT_EQ(Bytes(28, 0xCD), Bytes(index.begin() + 57, index.begin() + 85));
    EXPECT_EQ(session_id.size() + 1, u32_at(index, 85));
    EXPECT_EQ(session_id + '\0', std::string(index.begin() + 89, index.begin() + 89 + 37));

    const uint32_t b = ByteDataType, r = RespirationDataType;
    const int64_t line_size = static_cast<int64_t>(line.size());
    const int64_t header_size = static_cast<int64_t>(header_line.size());
    struct Expected {
        uint8_t type;
        uint32_t data_type;
        uint32_t bytes;
        uint32_t file_index;
        int64_t offset;
        int64_t total;
    };
    // User headers under the complemented type, each before the bytes that
    // follow it; the close entries in the order the types were released.
    const std::vector<Expected> expected = {
        { 1, ~b, 2, 0, 0, 2 },
        { 1, b, 10, 0, 2, 12 },
        { 1, ~r, 2, 1, 0, 14 },
        { 1, r, uint32_t(header_size), 1, 2, 14 + header_size },
        { 1, r, uint32_t(line_size), 1, 2 + header_size, 14 + header_size + line_size },
        { 1, b, 300, 0, 12, 314 + header_size + line_size },
        { 1, b, 1, 0, 312, total },
        { 2, r, 0, 1, 2 + header_size + line_size, total },
        { 2, b, 0, 0, 313, total },
    };
    const auto entries = entries_of(index);
    ASSERT_EQ(expected.size(), entries.size());
    uint32_t last_epoch = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(expected[i].type, entries[i].type);
        EXPECT_EQ(expected[i].data_type, entries[i].data_type);
        EXPECT_EQ(expected[i].bytes, entries[i].bytes);
        EXPECT_EQ(expected[i].file_index, entries[i].file_index);
        EXPECT_EQ(expected[i].offset, entries[i].offset);
        EXPECT_EQ(expected[i].total, entries[i].total);
        EXPECT_GE(entries[i].epoch_offset, last_epoch);
        last_epoch = entries[i].epoch_offset;
    }
    EXPECT_LE(last_epoch, u32_at(index, 17)) << "duration";
    EXPECT_EQ((std::vector<std::string> { byte_file, csv_file }), file_map_of(index));

    const auto records = read_session(session + "/sarvik_recording_meta.dat");
    ASSERT_EQ(7u, records.size());
    EXPECT_TRUE(records[0].is_user_header);
    EXPECT_EQ(ByteDataType, records[0].data_type);
    EXPECT_TRUE(records[3].is_csv_header());
    EXPECT_EQ((std::vector<Bytes> { b1, bytes_of(line), b2, b3 }), payloads(records));
}

TEST_F(Session, AnnouncesFilesOnTheRecorderThreadBeforeDestructionEnds)
{
    struct Announcement {
        std::string what;
        std::thread::id thread;
    };
    std::mutex mutex;
    std::vector<Announcement> announced;
    const auto note = [&](const std::string& what) {
        std::lock_guard<std::mutex> lock(mutex);
        announced.push_back({ what, std::this_thread::get_id() });
    };
    ASSERT_EQ(
        0, recorder->subscribe_to_file_available(ByteDataType, [&](DataType type, const std::string& name) {
            note("file " + std::to_string(type) + " " + name);
        }));
    ASSERT_EQ(0,
        recorder->subscribe_to_meta_file_available(
            [&](const std::string& id, const std::string& name) { note("index " + id + " " + name); }));
    ASSERT_EQ(0, recorder->start_recording(ByteDataType | SleepDataType, dir.path(), options));
    recorder->process(ByteDataType, byte_message(record_of(5, 0)));
    recorder.reset();

    const std::string session = session_directory();
    const std::string byte_file = only_match(names_in(session), "sarvik_databyte_" + date_time + "\\.dat");
    ASSERT_EQ(2u, announced.size());
    EXPECT_EQ("file 2048 " + session + "/" + byte_file, announced[0].what);
    EXPECT_EQ("index " + session_id + " " + session + "/sarvik_recording_meta.dat", announced[1].what);
    for (const auto& a : announced)
        EXPECT_NE(std::this_thread::get_id(), a.thread);
}

TEST_F(Session, SplitsFilesAfterThePacketThatReachesTheLimit)
{
    PreferredSplitSize split;
    split.set_byte_count(1000);
    options.set_file_split_size(split);
    std::vector<std::string> finished;
    recorder->subscribe_to_file_available(
        ByteDataType, [&](DataType, const std::string& name) { finished.push_back(name); });
    ASSERT_EQ(0, recorder->start_recording(ByteDataType, dir.path(), options));
    std::vector<Bytes> records;
    for (uint8_t i = 0; i < 7; ++i) {
        records.push_back(record_of(400, i));
        recorder->process(ByteDataType, byte_message(records.back()));
    }
    recorder.reset();

    // 3 + 3 + 1 records; files opened within one second get the millisecond
    // suffix (or a further number) at their close instead of replacing one
    // another.
    const std::string session = session_directory();
    ASSERT_EQ(3u, finished.size());
    for (const auto& name : finished)
        EXPECT_TRUE(std::regex_match(
            name, std::regex(".*/sarvik_databyte_" + date_time + "(_[0-9]{3}ms)?(_[0-9]+)?\\.dat")))
            << name;
    EXPECT_EQ(1200u, read_file(finished[0]).size());
    EXPECT_EQ(1200u, read_file(finished[1]).size());
    EXPECT_EQ(400u, read_file(finished[2]).size());
    EXPECT_EQ(4u, names_in(session).size());
    EXPECT_EQ(records, payloads(read_session(session + "/sarvik_recording_meta.dat")));
}

TEST_F(Session, SplitsDirectoriesAndChainsTheirIndexFiles)
{
    PreferredSplitSize split;
    split.set_byte_count(250);
    options.set_directory_split_size(split);
    std::vector<std::string> announced;
    recorder->subscribe_to_meta_file_available(
        [&](const std::string&, const std::string& name) { announced.push_back(name); });
    ASSERT_EQ(0, recorder->start_recording(ByteDataType | FloatDataType, dir.path(), options));
    std::vector<Bytes> records;
    for (uint8_t i = 0; i < 5; ++i) {
        records.push_back(record_of(100, i));
        recorder->process(i % 2 ? FloatDataType : ByteDataType,
            i % 2 ? float_message(records.back()) : byte_message(records.back()));
    }
    recorder.reset();

    // 300 bytes in sub-directory 0, 200 in 1 (closed at the release).
    const std::string session = session_directory();
    const auto subs = names_in(session);
    ASSERT_EQ(2u, subs.size()) << testing::PrintToString(subs);
    const std::string sub = "sarvik_recording_" + date_time + "_" + session_id + "_";
    const std::string sub0 = only_match(subs, sub + "0");
    const std::string sub1 = only_match(subs, sub + "1");
    const std::string index0 = session + "/" + sub0 + "/sarvik_recording_meta.dat";
    const std::string index1 = session + "/" + sub1 + "/sarvik_recording_meta.dat";

    const Bytes first = read_file(index0);
    const int64_t link_at = i64_at(first, 41);
    ASSERT_GT(link_at, 0);
    const std::string link = "../" + sub1 + "/sarvik_recording_meta.dat";
    EXPECT_EQ(link.size() + 1, u32_at(first, static_cast<size_t>(link_at)));
    EXPECT_EQ(
        link, std::string(first.begin() + link_at + 4, first.begin() + link_at + 4 + int64_t(link.size())));
    EXPECT_EQ(-1, i64_at(read_file(index1), 41));
    EXPECT_EQ(300, i64_at(first, 21));
    EXPECT_EQ(uint32_t { ByteDataType | FloatDataType }, u32_at(first, 37));

    EXPECT_EQ((std::vector<std::string> { index0, index1 }), announced);
    EXPECT_EQ(records, payloads(read_session(index0)));
    for (const auto& name : files_under(session))
        EXPECT_EQ(std::string::npos, name.find(".writing")) << name;
}

TEST_F(Session, RateLimitStoresOnePacketPerPeriodOfEachType)
{
    options.set_data_rate_limit(60000);
    ASSERT_EQ(0, recorder->start_recording(ByteDataType | FloatDataType, dir.path(), options));
    for (uint8_t i = 0; i < 5; ++i) {
        recorder->process(ByteDataType, byte_message({ i }));
        recorder->process(FloatDataType, { 0xA0, 0x12, uint8_t(10 + i) });
    }
    recorder.reset();
    const auto stored = payloads(read_session(session_directory() + "/sarvik_recording_meta.dat"));
    EXPECT_EQ((std::vector<Bytes> { { 0 }, { 10 } }), stored);

    // A packet that comes a whole period after the last stored one is stored.
    RecordingLogger quiet;
    TempDir second;
    recorder = std::make_unique<DataRecorder>(quiet);
    options.set_data_rate_limit(50);
    ASSERT_EQ(0, recorder->start_recording(ByteDataType, second.path(), options));
    recorder->process(ByteDataType, byte_message({ 1 }));
    const std::string directory = recorder->get_recording_directory(ByteDataType);
    ASSERT_TRUE(eventually([&] { return files_under(second.path()).size() >= 3; }))
        << "the first packet is written";
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    recorder->process(ByteDataType, byte_message({ 2 }));
    recorder.reset();
    EXPECT_EQ((std::vector<Bytes> { { 1 }, { 2 } }),
        payloads(read_session(directory + "/sarvik_recording_meta.dat")));
}

TEST_F(Session, ASessionStartedAgainWithinASecondGetsItsOwnDirectory)
{
    for (uint8_t round = 0; round < 2; ++round) {
        ASSERT_EQ(0, recorder->start_recording(ByteDataType, dir.path(), options));
        recorder->process(ByteDataType, byte_message({ round }));
        recorder->stop_recording(ByteDataType);
    }
    recorder.reset();
    const auto sessions = names_in(dir.path());
    ASSERT_EQ(2u, sessions.size());
    std::vector<Bytes> stored;
    for (const auto& session : sessions)
        for (const Bytes& p :
            payloads(read_session(dir.path() + "/" + session + "/sarvik_recording_meta.dat")))
            stored.push_back(p);
    std::sort(stored.begin(), stored.end());
    EXPECT_EQ((std::vector<Bytes> { { 0 }, { 1 } }), stored);
}

TEST_F(Session, WritesEveryPacketHandedOverBeforeTheRecorderGoes)
{
    ASSERT_EQ(0, recorder->start_recording(ByteDataType | FloatDataType, dir.path(), options));
    std::vector<Bytes> records;
    for (int i = 0; i < 2000; ++i) {
        records.push_back(record_of(16, static_cast<uint8_t>(i)));
        recorder->process(i % 3 ? ByteDataType : FloatDataType,
            i % 3 ? byte_message(records.back()) : float_message(records.back()));
    }
    // Stop one type while its packets are still queued: they reach its file,
    // which is then closed under its final name.
    recorder->stop_recording(FloatDataType);
    recorder.reset();
    const std::string session = session_directory();
    EXPECT_EQ(records, payloads(read_session(session + "/sarvik_recording_meta.dat")));
    for (const auto& name : names_in(session))
        EXPECT_EQ(std::string::npos, name.find(".writing")) << name;
}

TEST_F(Session, RestartedTypeWritesIntoANewSessionWhileTheOldOneIsReleased)
{
    RecordingOptions second = options;
    second.set_session_id("second-session");
    ASSERT_EQ(0, recorder->start_recording(ByteDataType, dir.path(), options));
    for (uint8_t i = 0; i < 50; ++i)
        recorder->process(ByteDataType, byte_message({ i }));
    recorder->stop_recording(ByteDataType);
    ASSERT_EQ(0, recorder->start_recording(ByteDataType, dir.path(), second));
    for (uint8_t i = 50; i < 60; ++i)
        recorder->process(ByteDataType, byte_message({ i }));
    recorder.reset();

    std::vector<Bytes> first_records, second_records;
    for (uint8_t i = 0; i < 60; ++i)
        (i < 50 ? first_records : second_records).push_back({ i });
    EXPECT_EQ(first_records, payloads(read_session(session_directory() + "/sarvik_recording_meta.dat")));
    const std::string other = only_match(names_in(dir.path()), ".*_second-session");
    EXPECT_EQ(
        second_records, payloads(read_session(dir.path() + "/" + other + "/sarvik_recording_meta.dat")));
}

TEST_F(Session, ANewBaseNameClosesTheCurrentFile)
{
    ASSERT_EQ(0, recorder->start_recording(ByteDataType, dir.path(), options));
    recorder->process(ByteDataType, byte_message({ 1 }));
    // The base name counts when a file is opened.
    ASSERT_TRUE(eventually([&] { return files_under(dir.path()).size() == 4; }));
    // The close it asks for happens also when the type stops right after.
    recorder->set_basename_for_data_type(ByteDataType, "renamed");
    recorder->process(ByteDataType, byte_message({ 2 }));
    recorder.reset();
    const auto names = names_in(session_directory());
    EXPECT_EQ(
        Bytes { 1 }, read_file(session_directory() + "/" + only_match(names, "sarvik_databyte_.*\\.dat")));
    EXPECT_EQ(Bytes { 2 }, read_file(session_directory() + "/" + only_match(names, "renamed_.*\\.dat")));
}

TEST_F(Session, PulseDopplerMessagesBeforeTheSweepStartLeaveNoTrace)
{
    const auto message = [](uint32_t step) {
        Bytes m { 0x50, 0x10, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0 };
        for (int shift = 0; shift < 32; shift += 8)
            m.push_back(uint8_t(step >> shift));
        m.push_back(0xAA);
        return m;
    };
    ASSERT_EQ(0, recorder->start_recording(PulseDopplerFloatDataType, dir.path(), options));
    recorder->process(PulseDopplerFloatDataType, message(1));
    recorder->process(PulseDopplerFloatDataType, message(2));
    recorder->stop_recording(PulseDopplerFloatDataType);
    ASSERT_EQ(0, recorder->start_recording(PulseDopplerFloatDataType, dir.path(), options));
    recorder->process(PulseDopplerFloatDataType, message(0));
    recorder->process(PulseDopplerFloatDataType, message(1));
    recorder.reset();

    // The first recording made no directory at all; the second begins with
    // the sweep start.
    const auto sessions = names_in(dir.path());
    ASSERT_EQ(1u, sessions.size());
    const Bytes start = message(0), next = message(1);
    EXPECT_EQ(
        (std::vector<Bytes> { Bytes(start.begin() + 5, start.end()), Bytes(next.begin() + 5, next.end()) }),
        payloads(read_session(dir.path() + "/" + sessions.front() + "/sarvik_recording_meta.dat")));
}

} // namespace
