// The recorder under pressure: a disk that fills up in the middle of a
// session, a directory that cannot be made, callbacks that throw, a disk
// slower than the data, and starts, stops and packets from several threads
// at once. Whatever happens, what was written stays readable.
#include <linkwell/DataRecorder.hpp>

#include "support/FileSizeLimit.hpp"
#include "support/RecordingLogger.hpp"
#include "support/SessionFiles.hpp"
#include "support/SimulatedConnection.hpp"
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <mutex>
#include <random>
#include <thread>

using Sarvik::ByteDataType;
using Sarvik::DataRecorder;
using Sarvik::DataType;
using Sarvik::FloatDataType;
using Sarvik::PreferredSplitSize;
using Sarvik::RecordingOptions;
using Sarvik::SleepStageDataType;
using Sarvik::StringDataType;
using testsupport::byte_message;
using testsupport::eventually;
using testsupport::files_under;
using testsupport::payloads;
using testsupport::read_session;
using testsupport::RecordingLogger;
using testsupport::TempDir;

namespace {

// The texts handed to a recorder's error callback.
class Errors {
public:
    void attach(DataRecorder& recorder)
    {
        recorder.set_error_callback([this](const std::string& text) {
            std::lock_guard<std::mutex> lock(mutex_);
            texts_.push_back(text);
        });
    }
    std::vector<std::string> texts() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return texts_;
    }
    size_t count() const { return texts().size(); }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> texts_;
};

// Every index file of the sessions under a directory.
std::vector<std::string> index_files_under(const std::string& root)
{
    std::vector<std::string> found;
    for (const auto& name : files_under(root))
        if (name.find("sarvik_recording_meta") != std::string::npos)
            found.push_back(root + "/" + name);
    return found;
}

class RecorderFailure : public testing::Test {
protected:
    RecorderFailure()
    {
        options.set_session_id("3c1d9f00-aaaa-4bbb-8ccc-0123456789ab");
        errors.attach(*recorder);
    }

    std::string index_file() const
    {
        const auto found = index_files_under(dir.path());
        EXPECT_EQ(1u, found.size()) << testing::PrintToString(found);
        return found.empty() ? std::string() : found.front();
    }

    TempDir dir;
    RecordingLogger log;
    RecordingOptions options;
    Errors errors;
    std::unique_ptr<DataRecorder> recorder = std::make_unique<DataRecorder>(log);
};

TEST_F(RecorderFailure, AFullDiskLosesOnlyThePacketsThatDidNotFit)
{
    ASSERT_EQ(0, recorder->start_recording(ByteDataType, dir.path(), options));
    std::vector<Bytes> records;
    for (uint8_t i = 0; i < 8; ++i)
        records.push_back(Bytes(4000, i));
    const auto data_file_size = [&] {
        for (const auto& name : files_under(dir.path()))
            if (name.find("sarvik_databyte_") != std::string::npos)
                return std::filesystem::file_size(dir.path() + "/" + name);
        return std::uintmax_t { 0 };
    };
    for (int i = 0; i < 3; ++i)
        recorder->process(ByteDataType, byte_message(records[size_t(i)]));
    ASSERT_TRUE(eventually([&] { return data_file_size() == 12000; }));
    {
        // Room for half of the next record.
        const testsupport::FileSizeLimit limit(14000);
        for (int i = 3; i < 6; ++i)
            recorder->process(ByteDataType, byte_message(records[size_t(i)]));
        ASSERT_TRUE(eventually([&] { return errors.count() == 3; }));
    }
    // Room again: recording goes on behind the last record that fitted.
    for (int i = 6; i < 8; ++i)
        recorder->process(ByteDataType, byte_message(records[size_t(i)]));
    recorder.reset();

    for (const auto& text : errors.texts())
        EXPECT_EQ(0u, text.rfind("failed writing file " + dir.path(), 0)) << text;
    EXPECT_NE(std::string::npos, errors.texts().front().find("File too large"));
    EXPECT_EQ((std::vector<Bytes> { records[0], records[1], records[2], records[6], records[7] }),
        payloads(read_session(index_file())));
    EXPECT_EQ(20000u, data_file_size());
}

TEST_F(RecorderFailure, ADirectoryThatCannotBeMadeIsTriedAgainWithTheNextPacket)
{
    const std::string missing = dir.path() + "/not/yet";
    ASSERT_EQ(0, recorder->start_recording(ByteDataType, missing, options));
    const std::string session = recorder->get_recording_directory(ByteDataType);
    recorder->process(ByteDataType, byte_message({ 1 }));
    ASSERT_TRUE(eventually([&] { return errors.count() == 1; }));
    EXPECT_EQ("failed to create session directory " + session, errors.texts().front());
    EXPECT_TRUE(log.wait_for("WARNING: failed to start recording of meta for data type: Byte data"));
    EXPECT_TRUE(log.wait_for("failed to create session directory\n  |-- directory: " + session));

    std::filesystem::create_directories(missing);
    recorder->process(ByteDataType, byte_message({ 2 }));
    recorder.reset();
    EXPECT_EQ(std::vector<Bytes> { { 2 } }, payloads(read_session(index_file())));
    EXPECT_EQ(1u, errors.count());
}

TEST_F(RecorderFailure, ASessionDirectoryThatVanishesIsReportedOnceAtTheNextWrite)
{
    ASSERT_EQ(0, recorder->start_recording(ByteDataType, dir.path(), options));
    recorder->process(ByteDataType, byte_message(Bytes(10, 1)));
    // Written: its data file holds it (the index file is opened before it).
    ASSERT_TRUE(eventually([&] {
        for (const auto& name : files_under(dir.path()))
            if (name.find("sarvik_databyte_") != std::string::npos
                && std::filesystem::file_size(dir.path() + "/" + name) == 10)
                return true;
        return false;
    }));
    const std::string session_directory = recorder->get_recording_directory(ByteDataType);
    std::filesystem::remove_all(session_directory);
    for (uint8_t i = 2; i < 6; ++i)
        recorder->process(ByteDataType, byte_message(Bytes(10, i)));
    const std::string told = "session directory vanished: " + session_directory;
    ASSERT_TRUE(eventually([&] { return errors.count() >= 1; }));
    recorder.reset();
    const auto texts = errors.texts();
    EXPECT_EQ(1, std::count(texts.begin(), texts.end(), told)) << testing::PrintToString(texts);
    EXPECT_EQ(told, texts.front());
}

TEST_F(RecorderFailure, ACallbackThatThrowsIsReportedAndRecordingGoesOn)
{
    PreferredSplitSize split;
    split.set_byte_count(1);
    options.set_file_split_size(split);
    recorder->subscribe_to_file_available(
        ByteDataType, [](DataType, const std::string&) { throw std::runtime_error("boom"); });
    ASSERT_EQ(0, recorder->start_recording(ByteDataType, dir.path(), options));
    for (uint8_t i = 0; i < 3; ++i)
        recorder->process(ByteDataType, byte_message({ i }));
    recorder.reset();

    EXPECT_EQ(std::vector<std::string>(3, "file available callback failed: boom"), errors.texts());
    EXPECT_EQ((std::vector<Bytes> { { 0 }, { 1 }, { 2 } }), payloads(read_session(index_file())));
}

TEST_F(RecorderFailure, WarnsOnceWhenPacketsPileUpFasterThanTheyAreWritten)
{
    PreferredSplitSize split;
    split.set_byte_count(1);
    options.set_file_split_size(split);
    std::promise<void> go;
    std::shared_future<void> gate = go.get_future().share();
    recorder->subscribe_to_file_available(
        ByteDataType, [gate](DataType, const std::string&) { gate.wait(); });
    ASSERT_EQ(0, recorder->start_recording(ByteDataType, dir.path(), options));
    recorder->process(ByteDataType, byte_message({ 0 })); // holds the recorder thread in the callback

    const Bytes big = byte_message(Bytes(1 << 20, 0x5A));
    for (int i = 0; i < 70; ++i)
        ASSERT_TRUE(recorder->process(ByteDataType, big));
    go.set_value();
    recorder.reset();

    int warnings = 0;
    for (const auto& text : log.errors())
        warnings += text.find("MiB of packets wait to be recorded") != std::string::npos;
    EXPECT_EQ(1, warnings);
    EXPECT_EQ(71u, payloads(read_session(index_file())).size());
}

TEST_F(RecorderFailure, AMalformedStreamIsWarnedAboutInAFewLinesAndRecordingGoesOn)
{
    ASSERT_EQ(0, recorder->start_recording(SleepStageDataType, dir.path(), options));
    const auto started = std::chrono::steady_clock::now();
    const Bytes short_stage
        = testsupport::PayloadBuilder().u8(0x50).u32(0x41083A02).u32(1).u32(2).u8(0).u8(0).u8(0);
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(recorder->process(SleepStageDataType, short_stage));
    recorder->process(
        SleepStageDataType, testsupport::PayloadBuilder().u8(0x50).u32(0x41083A02).u32(1).u32(2).u32(3));
    recorder.reset();
    const auto seconds
        = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started)
              .count();

    // The first refusal in full, then summaries whose counts add up to the
    // rest; the last of them when the recording stops.
    const std::string source = DataRecorder::data_type_to_string(SleepStageDataType) + ": ";
    std::vector<std::string> lines;
    for (const auto& text : log.errors())
        if (text.rfind(source, 0) == 0)
            lines.push_back(text);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(source + "message of 16 bytes refused (needs 17 bytes)", lines.front());
    EXPECT_LE(lines.size(), size_t(2 + seconds)) << testing::PrintToString(lines);
    long long told = 1;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        EXPECT_NE(std::string::npos, line.find(" more messages refused (last: 16 bytes, needs 17 bytes)"))
            << line;
        told += std::atoll(line.c_str() + source.size());
    }
    EXPECT_EQ(1000, told) << testing::PrintToString(lines);

    // The good message after them is recorded.
    const auto records = payloads(read_session(index_file()));
    ASSERT_EQ(1u, records.size());
    const std::string line(records.front().begin(), records.front().end());
    EXPECT_EQ(";1;2;3\n", line.substr(line.size() - 7)) << line;
}

TEST_F(RecorderFailure, StartsStopsAndPacketsFromManyThreadsLeaveReadableSessions)
{
    const DataType types[] = { ByteDataType, FloatDataType, StringDataType };
    std::atomic<bool> done { false };
    std::thread feeder([&] {
        for (uint8_t i = 0; !done; ++i) {
            recorder->process(ByteDataType, byte_message({ i }));
            recorder->process(FloatDataType, { 0xA0, 0x12, i });
        }
    });
    std::vector<std::thread> clients;
    for (int t = 0; t < 4; ++t) {
        clients.emplace_back([&, t] {
            std::mt19937 random(static_cast<unsigned>(t));
            RecordingOptions mine;
            mine.set_session_id(t % 2 ? "session-a" : "session-b");
            for (int round = 0; round < 100; ++round) {
                const DataType type = types[random() % 3];
                recorder->start_recording(type, dir.path(), mine);
                recorder->process(type, byte_message({ uint8_t(round) }));
                recorder->is_recording(type);
                recorder->get_recording_directory(type);
                if (random() % 2)
                    recorder->stop_recording(type);
            }
        });
    }
    for (auto& client : clients)
        client.join();
    done = true;
    feeder.join();
    recorder.reset();

    const auto indexes = index_files_under(dir.path());
    ASSERT_FALSE(indexes.empty());
    for (const auto& index : indexes) {
        EXPECT_EQ(std::string::npos, index.find(".writing")) << index;
        EXPECT_FALSE(read_session(index).empty()) << index;
    }
}

} // namespace
