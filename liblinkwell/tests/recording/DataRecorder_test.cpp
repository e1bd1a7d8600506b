// The recorder's own operations, without a module: starting and stopping
// types and masks with their refusals, base names, directories and callback
// slots.
#include <linkwell/DataRecorder.hpp>

#include "support/RecordingLogger.hpp"
#include "support/SessionFiles.hpp"
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

using Sarvik::BasebandApDataType;
using Sarvik::ByteDataType;
using Sarvik::DataRecorder;
using Sarvik::DataType;
using Sarvik::RadarBasebandQ15DataType;
using Sarvik::RecordingOptions;
using Sarvik::RespirationDataType;
using Sarvik::RespirationNormalizedMovementListDataType;
using Sarvik::SleepDataType;
using testsupport::RecordingLogger;
using testsupport::session_id;
using testsupport::TempDir;

namespace {

RecordingOptions options_with_id(const std::string& id)
{
    RecordingOptions options;
    options.set_session_id(id);
    return options;
}

std::string thrown_by(const std::function<void()>& action)
{
    try {
        action();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "nothing thrown";
}

bool logged_at_level_0(const RecordingLogger& log, const std::string& text)
{
    for (const auto& entry : log.entries())
        if (entry.level == 0 && entry.text == text)
            return true;
    return false;
}

class Recorder : public testing::Test {
protected:
    TempDir dir;
    RecordingLogger log;
    DataRecorder recorder { log };
};

TEST_F(Recorder, RefusesATypeItCannotRecordAndSaysWhy)
{
    struct Case {
        std::string directory;
        std::string id;
        std::string reason;
    };
    const std::string unsafe = ": it must not hold '/', '\\' or '..'";
    const std::vector<Case> cases = {
        { "", session_id, "empty directory specified" },
        { dir.path(), "", "invalid session id: <empty string>" },
        { dir.path(), "../escape", "invalid session id: ../escape" + unsafe },
        { dir.path(), "a/b", "invalid session id: a/b" + unsafe },
        { dir.path(), "a\\b", "invalid session id: a\\b" + unsafe },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        log.clear();
        EXPECT_EQ(1, recorder.start_recording(SleepDataType, c.directory, options_with_id(c.id)));
        EXPECT_FALSE(recorder.is_recording(SleepDataType));
        EXPECT_TRUE(logged_at_level_0(log, "cannot start recording for data type: Sleep data: " + c.reason));
    }
    EXPECT_TRUE(testsupport::names_in(dir.path()).empty());

    // A refused type leaves the others of the mask started; one already
    // recording keeps its first recording.
    const RecordingOptions first = options_with_id(session_id);
    ASSERT_EQ(0, recorder.start_recording(SleepDataType, dir.path(), first));
    const std::string directory = recorder.get_recording_directory(SleepDataType);
    EXPECT_EQ(1, recorder.start_recording(SleepDataType | ByteDataType, dir.path() + "/other", first));
    EXPECT_TRUE(logged_at_level_0(
        log, "cannot start recording for data type: Sleep data: recording already started"));
    EXPECT_TRUE(recorder.is_recording(ByteDataType));
    EXPECT_EQ(directory, recorder.get_recording_directory(SleepDataType));
}

TEST_F(Recorder, WalksValidMasksAndThrowsForInvalidOnesAfterTheValidBits)
{
    const RecordingOptions options = options_with_id(session_id);
    EXPECT_EQ(1, recorder.start_recording(0, dir.path(), options));
    recorder.stop_recording(0);

    const std::string start_text = "detected invalid data type in func: start_recording:start_recording";
    EXPECT_EQ(start_text, thrown_by([&] { recorder.start_recording(0x800001, dir.path(), options); }));
    EXPECT_TRUE(logged_at_level_0(log, start_text));
    EXPECT_TRUE(recorder.is_recording(BasebandApDataType));
    EXPECT_FALSE(recorder.is_recording(static_cast<DataType>(0x3)));

    EXPECT_EQ("detected invalid data type in func: stop_recording:stop_recording",
        thrown_by([&] { recorder.stop_recording(0x800001); }));
    EXPECT_FALSE(recorder.is_recording(BasebandApDataType));

    EXPECT_EQ(0, recorder.start_recording(0xFFFFFFFF, dir.path(), options));
    for (uint32_t bit = 1; bit <= 0x400000; bit <<= 1)
        EXPECT_TRUE(recorder.is_recording(static_cast<DataType>(bit))) << bit;
    recorder.stop_recording(0xFFFFFFFF);
    EXPECT_FALSE(recorder.is_recording(RadarBasebandQ15DataType));

    const auto callback = [](DataType, const std::string&) {};
    EXPECT_EQ("detected invalid data type in func: subscribe_to_file_available:subscribe_to_file_available",
        thrown_by([&] { recorder.subscribe_to_file_available(0x1000004, callback); }));
    EXPECT_EQ(1, recorder.subscribe_to_file_available(SleepDataType, callback))
        << "the valid bit was installed";
    EXPECT_EQ(
        "detected invalid data type in func: unsubscribe_to_file_available:unsubscribe_to_file_available",
        thrown_by([&] { recorder.unsubscribe_to_file_available(0x1000004); }));
    EXPECT_EQ(0, recorder.subscribe_to_file_available(SleepDataType, callback))
        << "the valid bit was removed";

    recorder.set_basename_for_data_type(SleepDataType, "mine");
    EXPECT_EQ("detected invalid data type:init_default_basename",
        thrown_by([&] { recorder.clear_basename_for_data_types(0x1000004); }));
    EXPECT_EQ("sarvik_sleep", recorder.get_basename_for_data_type(SleepDataType));
}

TEST_F(Recorder, NamesTheSessionDirectoryAtStartAndMakesItOnlyForData)
{
    const RecordingOptions options = options_with_id(session_id);
    ASSERT_EQ(0, recorder.start_recording(SleepDataType, dir.path(), options));
    // A second start with the same id joins the session, whatever directory
    // it names.
    ASSERT_EQ(0, recorder.start_recording(ByteDataType, dir.path() + "/elsewhere", options));

    const std::string directory = recorder.get_recording_directory(SleepDataType);
    EXPECT_TRUE(std::regex_match(directory,
        std::regex(std::regex_replace(dir.path(), std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)")
            + "/sarvik_recording_[0-9]{8}_[0-9]{6}_" + session_id)))
        << directory;
    EXPECT_EQ(directory, recorder.get_recording_directory(ByteDataType));
    EXPECT_EQ(directory, recorder.get_recording_directory(session_id));
    EXPECT_EQ("", recorder.get_recording_directory(RespirationDataType));
    EXPECT_EQ("", recorder.get_recording_directory("no such session"));
    EXPECT_FALSE(std::filesystem::exists(directory));

    EXPECT_FALSE(recorder.process(RespirationDataType, { 0x50 }));
    EXPECT_TRUE(recorder.process(ByteDataType, { 0xA0, 0x10, 1, 2, 3 }));
    recorder.stop_recording(0xFFFFFFFF);
    EXPECT_EQ("", recorder.get_recording_directory(session_id));
}

TEST_F(Recorder, KeepsBaseNamesPerTypeAndRefusesNamesThatLeaveTheDirectory)
{
    EXPECT_EQ("sarvik_respiration_normalizedmovementlist",
        recorder.get_basename_for_data_type(RespirationNormalizedMovementListDataType));
    recorder.set_basename_for_data_type(ByteDataType, "bytes");
    EXPECT_EQ("bytes", recorder.get_basename_for_data_type(ByteDataType));
    for (const std::string name : { "../up", "a/b", "a\\b" }) {
        EXPECT_THROW(recorder.set_basename_for_data_type(ByteDataType, name), std::invalid_argument) << name;
        EXPECT_EQ("bytes", recorder.get_basename_for_data_type(ByteDataType));
    }
    recorder.clear_basename_for_data_types(ByteDataType | SleepDataType);
    EXPECT_EQ("sarvik_databyte", recorder.get_basename_for_data_type(ByteDataType));

    EXPECT_EQ("internal error; no basename for data type: 3:get_basename_for_data_type",
        thrown_by([&] { recorder.get_basename_for_data_type(static_cast<DataType>(3)); }));
}

TEST_F(Recorder, TakesOneCallbackPerSlot)
{
    const auto on_file = [](DataType, const std::string&) {};
    const auto on_meta = [](const std::string&, const std::string&) {};
    EXPECT_EQ(1, recorder.subscribe_to_file_available(0, on_file));
    EXPECT_TRUE(logged_at_level_0(log, "cannot subscribe to file available: invalid data type"));
    EXPECT_EQ(1, recorder.subscribe_to_file_available(SleepDataType, nullptr));
    EXPECT_TRUE(logged_at_level_0(log, "cannot subscribe to file available: invalid callback"));
    EXPECT_EQ(0, recorder.subscribe_to_file_available(SleepDataType, on_file));
    EXPECT_EQ(1, recorder.subscribe_to_file_available(SleepDataType | ByteDataType, on_file));
    EXPECT_TRUE(logged_at_level_0(log,
        "cannot subscribe to file available for data type: Sleep data : another callback already "
        "subscribed"));
    EXPECT_EQ(1, recorder.subscribe_to_file_available(ByteDataType, on_file))
        << "installed by the mask above";
    recorder.unsubscribe_to_file_available(SleepDataType | ByteDataType);
    EXPECT_EQ(0, recorder.subscribe_to_file_available(SleepDataType | ByteDataType, on_file));

    EXPECT_EQ(1, recorder.subscribe_to_meta_file_available(nullptr));
    EXPECT_TRUE(logged_at_level_0(log, "cannot subscribe to meta file available: invalid callback"));
    EXPECT_EQ(0, recorder.subscribe_to_meta_file_available(on_meta));
    EXPECT_EQ(1, recorder.subscribe_to_meta_file_available(on_meta));
    EXPECT_TRUE(logged_at_level_0(
        log, "cannot subscribe to meta file available: another callback already subscribed"));
    recorder.unsubscribe_to_meta_file_available();
    EXPECT_EQ(0, recorder.subscribe_to_meta_file_available(on_meta));
}

} // namespace
