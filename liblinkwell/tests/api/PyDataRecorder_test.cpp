#include <linkwell/DataRecorder.hpp>
#include <linkwell/PyDataRecorder.hpp>

#include "common/UniqueLocked.hpp"
#include "support/SessionFiles.hpp"
#include "support/SimulatedConnection.hpp"
#include "support/TestSupport.hpp"

#include "simmodule/Rule.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <type_traits>

using Sarvik::DataRecorder;
using Sarvik::DataType;
using Sarvik::PyDataRecorder;
using testsupport::eventually;
using testsupport::SimulatedConnection;
using testsupport::TempDir;

static_assert(
    !std::is_copy_constructible_v<
        PyDataRecorder> && !std::is_move_constructible_v<PyDataRecorder> && !std::is_copy_assignable_v<PyDataRecorder> && !std::is_move_assignable_v<PyDataRecorder>);

namespace {

constexpr unsigned byte_type = 0x800;
const Bytes byte_message = { 0xA0, 0x10, 1, 2, 3 };

class PyRecorder : public testing::Test {
protected:
    PyRecorder()
    {
        options.set_session_id("5e4d3c2b-1a00-4b11-8c22-d3e4f5a6b7c8");
        // A module that refuses its profile id and parameter file at once,
        // so a new session does not wait for the replies to time out.
        sim.module().add_rule(simmodule::Rule({ 0x90, 0x74 }).error(5));
        sim.module().add_rule(simmodule::Rule({ 0x90, 0x72 }).error(5));
    }

    TempDir dir;
    SimulatedConnection sim;
    UniqueLocked<RadarInterface, std::recursive_mutex> connection { &sim.radar(), false };
    Sarvik::RecordingOptions options;
};

} // namespace

TEST_F(PyRecorder, ForwardsEveryCallWithTypesAsPlainValues)
{
    EXPECT_EQ(DataRecorder::data_type_to_string(Sarvik::ByteDataType),
        PyDataRecorder::data_type_to_string(byte_type));
    auto recorder = std::make_unique<PyDataRecorder>(connection);
    recorder->set_basename_for_data_type(byte_type, "bytes");
    EXPECT_EQ("bytes", recorder->get_basename_for_data_type(byte_type));
    recorder->clear_basename_for_data_types(byte_type);
    EXPECT_NE("bytes", recorder->get_basename_for_data_type(byte_type));

    const auto files_callback = [](DataType, const std::string&) {};
    EXPECT_EQ(0, recorder->subscribe_to_file_available(byte_type, files_callback));
    EXPECT_EQ(1, recorder->subscribe_to_file_available(byte_type, files_callback));
    recorder->unsubscribe_to_file_available(byte_type);
    std::vector<std::string> index_files;
    const auto meta_callback
        = [&](const std::string&, const std::string& index_file) { index_files.push_back(index_file); };
    EXPECT_EQ(0, recorder->subscribe_to_meta_file_available(meta_callback));
    EXPECT_EQ(1, recorder->subscribe_to_meta_file_available(meta_callback));
    EXPECT_EQ(0, recorder->unsubscribe_to_meta_file_available());
    EXPECT_EQ(0, recorder->subscribe_to_meta_file_available(meta_callback));

    ASSERT_EQ(0, recorder->start_recording(byte_type, dir.path(), options));
    EXPECT_TRUE(recorder->is_recording(byte_type));
    EXPECT_FALSE(recorder->is_recording(0x1000));
    EXPECT_FALSE(recorder->get_recording_directory(byte_type).empty());
    EXPECT_EQ(recorder->get_recording_directory(byte_type),
        recorder->get_recording_directory(options.get_session_id()));
    EXPECT_TRUE(recorder->process(byte_type, byte_message));
    EXPECT_FALSE(recorder->process(0x1000, byte_message));

    // The wrapped recorder's exceptions pass through: valid bits first.
    EXPECT_THROW(recorder->stop_recording(0x800000 | byte_type), std::runtime_error);
    EXPECT_FALSE(recorder->is_recording(byte_type));
    recorder.reset();
    ASSERT_EQ(1u, index_files.size());
    EXPECT_EQ(std::vector<Bytes> { Bytes(byte_message.begin() + 2, byte_message.end()) },
        testsupport::payloads(testsupport::read_session(index_files.front())));
}

TEST_F(PyRecorder, HandsTheErrorCallbackOn)
{
    PyDataRecorder recorder(connection);
    std::vector<std::string> errors;
    std::mutex mutex;
    recorder.set_error_callback([&](const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex);
        errors.push_back(text);
    });
    ASSERT_EQ(0, recorder.start_recording(byte_type, dir.path() + "/not/yet", options));
    recorder.process(byte_type, byte_message);
    EXPECT_TRUE(eventually([&] {
        std::lock_guard<std::mutex> lock(mutex);
        return !errors.empty();
    }));
}
