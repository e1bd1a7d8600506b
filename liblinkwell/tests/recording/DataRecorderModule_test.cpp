// Recording a module's streams over a real connection to the simulated
// module (loopback TCP): the recorder's subscriptions, the module's profile
// id and parameter file in the session, the radar settings file beside
// baseband data, several recorders on one connection, and recorders that go
// while the module streams.
#include <linkwell/DataPacketFormater.hpp>
#include <linkwell/DataRecorder.hpp>

#include "common/UniqueLocked.hpp"
#include "support/LogChecks.hpp"
#include "support/SessionFiles.hpp"
#include "support/SimulatedConnection.hpp"
#include "support/TestSupport.hpp"

#include "simmodule/Messages.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <regex>
#include <thread>

using Sarvik::BasebandApDataType;
using Sarvik::BasebandIqDataType;
using Sarvik::ByteDataType;
using Sarvik::DataPacketFormater;
using Sarvik::DataRecorder;
using Sarvik::DataType;
using Sarvik::FloatDataType;
using Sarvik::NoiseMapByteDataType;
using Sarvik::NoiseMapFloatDataType;
using Sarvik::PerformanceStatusType;
using Sarvik::PreferredSplitSize;
using Sarvik::PresenceMovingListDataType;
using Sarvik::PresenceSingleDataType;
using Sarvik::PulseDopplerByteDataType;
using Sarvik::PulseDopplerFloatDataType;
using Sarvik::RadarBasebandFloatDataType;
using Sarvik::RadarBasebandQ15DataType;
using Sarvik::RadarRfDataType;
using Sarvik::RadarRfNormalizedDataType;
using Sarvik::RecordingOptions;
using Sarvik::RespirationDataType;
using Sarvik::RespirationDetectionListDataType;
using Sarvik::RespirationMovingListDataType;
using Sarvik::RespirationNormalizedMovementListDataType;
using Sarvik::SleepDataType;
using Sarvik::SleepStageDataType;
using Sarvik::StringDataType;
using Sarvik::VitalSignsDataType;
using simmodule::Rule;
using testsupport::files_under;
using testsupport::names_in;
using testsupport::only_match;
using testsupport::PayloadBuilder;
using testsupport::payloads;
using testsupport::read_file;
using testsupport::read_session;
using testsupport::read_text;
using testsupport::SimulatedConnection;
using testsupport::TempDir;
using testsupport::u32_at;

namespace {

constexpr uint32_t module_profile_id = 0x1423A2D6;

Bytes tail(const Bytes& message, size_t from)
{
    return Bytes(message.begin() + static_cast<std::ptrdiff_t>(from), message.end());
}

Bytes presence(uint32_t counter)
{
    simmodule::PresenceSingle m;
    m.frame_counter = counter;
    m.presence_state = 1;
    m.distance = 1.25f;
    m.direction = 2;
    m.signal_quality = 70;
    return simmodule::presence_single_message(m);
}

Bytes radar_rf(uint8_t seed)
{
    return simmodule::app_data_message(0xC1A3117E, { seed, uint8_t(seed + 1), uint8_t(seed + 2) });
}

// How the module answers for its profile id and its parameter file (module
// file 0x037DD98C, id 0); a refused parameter file answers its open with an
// error.
void serve_module_files(simmodule::SimModule& module, uint32_t profile, const Bytes& parameter_file)
{
    module.add_rule(Rule({ 0x90, 0x74 }).reply(simmodule::u32_reply(0x74, profile)));
    module.add_rule(Rule({ 0x90, 0x68 }).ack());
    if (parameter_file.empty()) {
        module.add_rule(Rule({ 0x90, 0x72 }).error(5));
        return;
    }
    module.add_rule(Rule({ 0x90, 0x72 }).ack());
    module.add_rule(
        Rule({ 0x90, 0x69 }).reply(simmodule::u32_reply(0x69, static_cast<uint32_t>(parameter_file.size()))));
    module.add_rule(Rule({ 0x90, 0x71 }).reply(simmodule::get_reply(0x10, 0x71, parameter_file)));
}

size_t commands_received(const simmodule::SimModule& module, const Bytes& prefix)
{
    const auto received = module.received();
    return static_cast<size_t>(std::count_if(received.begin(), received.end(), [&](const Bytes& c) {
        return c.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), c.begin());
    }));
}

class ModuleRecording : public testing::Test {
protected:
    ModuleRecording() { options.set_session_id("9a8b7c6d-0000-4111-8222-333344445555"); }

    std::string session_directory() const
    {
        return dir.path() + "/" + only_match(names_in(dir.path()), "sarvik_recording_.*");
    }

    TempDir dir;
    SimulatedConnection sim;
    UniqueLocked<RadarInterface, std::recursive_mutex> connection { &sim.radar(), false };
    RecordingOptions options;
};

TEST_F(ModuleRecording, RecordsTheSubscribedStreamsWithTheModulesProfileAndParameterFile)
{
    const Bytes parameter_file = { 'p', 'a', 'r', 0, 0xFF, '\n' };
    serve_module_files(sim.module(), module_profile_id, parameter_file);
    auto recorder = std::make_unique<DataRecorder>(connection);
    ASSERT_EQ(0, recorder->start_recording(PresenceSingleDataType | RadarRfDataType, dir.path(), options));
    sim.deliver(presence(1));
    sim.deliver(radar_rf(10));
    sim.deliver(simmodule::respiration_status_message({})); // a type that is not recorded
    sim.deliver(presence(2));
    recorder->stop_recording(PresenceSingleDataType);
    sim.deliver(presence(3)); // after the stop: not recorded
    sim.deliver(radar_rf(20));
    recorder.reset();

    const std::string session = session_directory();
    EXPECT_EQ(parameter_file, read_file(session + "/sarvik_parameter_file.par"));
    const std::string index = session + "/sarvik_recording_meta.dat";
    EXPECT_EQ(module_profile_id, u32_at(read_file(index), 53));
    const auto stored = payloads(read_session(index));
    ASSERT_EQ(4u, stored.size());
    EXPECT_EQ(tail(radar_rf(10), 5), stored[1]);
    EXPECT_EQ(tail(radar_rf(20), 5), stored[3]);
    for (size_t i : { 0, 2 }) {
        const std::string line(stored[i].begin(), stored[i].end());
        EXPECT_TRUE(
            std::regex_match(line, std::regex("[^;]+;" + std::to_string(i / 2 + 1) + ";1;1\\.25;2;70\n")))
            << line;
    }
    EXPECT_EQ(1u, commands_received(sim.module(), { 0x90, 0x74 })) << "profile id asked once";
}

TEST_F(ModuleRecording, AsksForARefusedParameterFileOncePerIndexFile)
{
    serve_module_files(sim.module(), module_profile_id, {});
    PreferredSplitSize split;
    split.set_byte_count(6);
    options.set_directory_split_size(split);
    auto recorder = std::make_unique<DataRecorder>(connection);
    ASSERT_EQ(0, recorder->start_recording(RadarRfDataType, dir.path(), options));
    for (uint8_t i = 0; i < 12; ++i) // two records per sub-directory
        sim.deliver(radar_rf(i));
    recorder.reset();

    const std::string session = session_directory();
    EXPECT_EQ(6u, names_in(session).size()) << "six sub-directories, no parameter file";
    EXPECT_EQ(6u, commands_received(sim.module(), { 0x90, 0x72 }));
    EXPECT_EQ(12u,
        payloads(read_session(session + "/" + names_in(session).front() + "/sarvik_recording_meta.dat"))
            .size());
}

TEST_F(ModuleRecording, WritesTheRadarSettingsBesideTheFirstBasebandFile)
{
    serve_module_files(sim.module(), 0, {});
    // A settings block with recognisable values at the offsets the file shows.
    Bytes block(1072, 0);
    const auto put_u32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            block[at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    const auto put_f32 = [&](size_t at, float f) {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        put_u32(at, bits);
    };
    put_f32(44, 23.328f);
    put_u32(972, 5);
    put_u32(976, 16);
    put_u32(984, 100);
    put_u32(988, 1948);
    put_u32(992, 2);
    put_u32(996, 1);
    put_u32(1000, 0);
    put_f32(1004, 0.5f);
    put_u32(1008, 1);
    put_u32(1012, 20);
    put_u32(1016, static_cast<uint32_t>(-3));
    put_f32(1020 + 4 * 2, 7.29e9f);
    auto recorder = std::make_unique<DataRecorder>(connection);
    sim.deliver(simmodule::data_message(0x50, 0x03, 0, block));
    ASSERT_EQ(0, recorder->start_recording(BasebandApDataType | BasebandIqDataType, dir.path(), options));
    sim.deliver(simmodule::app_data_message(0x0D, { 1, 2, 3 }));
    sim.deliver(simmodule::app_data_message(0x0D, { 4 }));
    ASSERT_TRUE(testsupport::eventually([&] {
        const auto all = files_under(dir.path());
        return std::any_of(
            all.begin(), all.end(), [](const std::string& n) { return n.find(".ini") != n.npos; });
    }));
    // Settings with a short block give the next baseband file none.
    sim.deliver(simmodule::data_message(0x50, 0x03, 0, Bytes(100, 1)));
    sim.deliver(simmodule::app_data_message(0x0C, { 5 }));
    recorder.reset();

    const auto names = names_in(session_directory());
    const std::string ini = only_match(names, "sarvik_baseband_ap_[0-9]{8}_[0-9]{6}\\.ini");
    EXPECT_EQ("[MainSection]\n"
              "GUID=27dae9d2-aea8-4321-a635-39fc0c5cef6d\n"
              "\n"
              "[ChipSettings]\n"
              "SamplingRate=23.328\n"
              "CarrierFrequency=7.29e+09\n"
              "PulsesPerStep=5\n"
              "Iterations=16\n"
              "DACMin=100\n"
              "DACMax=1948\n"
              "PGselect=2\n"
              "MClkDiv=1\n"
              "StaggeredPRFEnable=0\n"
              "SampleDelay=0.5\n"
              "DACAuto=1\n"
              "FPS=20\n"
              "FrameStitch=-3\n",
        read_text(session_directory() + "/" + ini));
    EXPECT_EQ(0, std::count_if(names.begin(), names.end(), [](const std::string& n) {
        return n.find("baseband_iq") != std::string::npos && n.find(".ini") != std::string::npos;
    }));
    EXPECT_EQ((std::vector<Bytes> { { 1, 2, 3 }, { 4 }, { 5 } }),
        payloads(read_session(session_directory() + "/sarvik_recording_meta.dat")));
}

TEST_F(ModuleRecording, RadarSettingsMessagesWithoutAWholeBlockWriteNoFile)
{
    serve_module_files(sim.module(), 0, {});
    auto recorder = std::make_unique<DataRecorder>(connection);
    ASSERT_EQ(0, recorder->start_recording(BasebandApDataType, dir.path(), options));
    for (size_t size : { 3, 13, 14, 14 + 1071, 14 + 1073 }) {
        Bytes settings(size, 0x31);
        settings[0] = 0xA0;
        settings[1] = 0x50;
        settings[2] = 0x03;
        sim.deliver(settings);
        recorder->set_basename_for_data_type(BasebandApDataType, "ap" + std::to_string(size));
        sim.deliver(simmodule::app_data_message(0x0D, { uint8_t(size) }));
    }
    recorder.reset();
    const auto names = names_in(session_directory());
    EXPECT_EQ(6u, names.size()) << testing::PrintToString(names); // five data files and the index file
    for (const auto& name : names)
        EXPECT_EQ(std::string::npos, name.find(".ini")) << name;

    // Each refusal is warned about: the first in full, the others counted
    // (the recorder thread may see a later message first).
    std::vector<std::string> lines;
    for (const auto& text : sim.log().texts())
        if (text.rfind("Radar settings: ", 0) == 0)
            lines.push_back(text);
    ASSERT_FALSE(lines.empty()) << testsupport::dump(sim.log());
    EXPECT_TRUE(std::regex_match(lines.front(),
        std::regex(
            R"(Radar settings: message of [0-9]+ bytes refused \(settings block of [0-9]+ bytes, needs 1072\))")))
        << lines.front();
    EXPECT_TRUE(std::regex_match(lines.back(),
        std::regex(
            R"(Radar settings: [1-4] more messages? refused \(last: 1087 bytes, settings block of 1073 bytes, needs 1072\))")))
        << lines.back();
}

TEST_F(ModuleRecording, RecordersOnOneConnectionKeepTheirOwnSubscriptions)
{
    serve_module_files(sim.module(), 0, {});
    TempDir other_dir;
    auto first = std::make_unique<DataRecorder>(connection);
    auto second = std::make_unique<DataRecorder>(connection);
    ASSERT_EQ(0, first->start_recording(RadarRfDataType, dir.path(), options));
    ASSERT_EQ(0, second->start_recording(RadarRfDataType, other_dir.path(), options));
    sim.deliver(radar_rf(1));
    first->stop_recording(RadarRfDataType);
    sim.deliver(radar_rf(2));
    first.reset();
    sim.deliver(radar_rf(3));
    second.reset();

    EXPECT_EQ((std::vector<Bytes> { tail(radar_rf(1), 5) }),
        payloads(read_session(session_directory() + "/sarvik_recording_meta.dat")));
    const std::string other
        = other_dir.path() + "/" + only_match(names_in(other_dir.path()), "sarvik_recording_.*");
    EXPECT_EQ((std::vector<Bytes> { tail(radar_rf(1), 5), tail(radar_rf(2), 5), tail(radar_rf(3), 5) }),
        payloads(read_session(other + "/sarvik_recording_meta.dat")));
}

TEST_F(ModuleRecording, RecordersGoSafelyWhileTheModuleStreams)
{
    serve_module_files(sim.module(), 0, {});
    sim.module().start_stream("rf", simmodule::DataSource::fixed(radar_rf(7)), 2000);
    for (int round = 0; round < 20; ++round) {
        TempDir round_dir;
        auto recorder = std::make_unique<DataRecorder>(connection);
        recorder->start_recording(RadarRfDataType, round_dir.path(), options);
        std::this_thread::sleep_for(std::chrono::milliseconds(round % 4));
        recorder.reset();
        for (const auto& name : files_under(round_dir.path()))
            EXPECT_EQ(std::string::npos, name.find(".writing")) << name;
    }
    sim.module().stop_all_streams();
    sim.settle(); // the connection still works
}

// Every type that can be played back, recorded from the module and turned
// back into its message: the same message, but for the fields that the
// stored form leaves out.
TEST_F(ModuleRecording, EveryTypeComesBackAsTheMessageItWasRecordedFrom)
{
    serve_module_files(sim.module(), 0, {});
    const auto appdata = [](uint32_t id) { return std::move(PayloadBuilder().u8(0x50).u32(id)); };
    const auto data = [](uint8_t sub_type) { return std::move(PayloadBuilder().u8(0xA0).u8(sub_type)); };
    const Bytes frame { 1, 2, 3, 0x7D, 0x7E, 0x7F, 0xFF };
    const auto sweep_start
        = [&](uint32_t id) { return appdata(id).u32(4).u32(8).u32(0).bytes(frame).build(); };
    struct Case {
        DataType type;
        Bytes message;
        Bytes expected; // when it differs from the message
    };
    const std::vector<Case> cases = {
        { BasebandApDataType, appdata(0x0D).bytes(frame), {} },
        { BasebandIqDataType, appdata(0x0C).bytes(frame), {} },
        { SleepDataType, appdata(0x2375A16C).u32(7).u32(2).f32(14.5f).f32(0.75f).u32(90).f32(0.125f).f32(100),
            {} },
        { RespirationDataType, appdata(0x2375FE26).u32(99).u32(3).u32(12).f32(1.5f).f32(0.25f).u32(80),
            appdata(0x2375FE26).u32(0).u32(3).u32(12).f32(1.5f).f32(0.25f).u32(80) }, // no frame counter
        { StringDataType, data(0x13).u32(0x1234).u32(7).u32(11).text("hello world", false), {} },
        { PulseDopplerFloatDataType, sweep_start(0x10), {} },
        { PulseDopplerByteDataType, sweep_start(0x11), {} },
        { NoiseMapFloatDataType, sweep_start(0x12), {} },
        { NoiseMapByteDataType, sweep_start(0x13), {} },
        { FloatDataType, data(0x12).u32(0x55).u32(1).u32(2).f32(0.5f).f32(-1), {} },
        { ByteDataType, data(0x10).u32(0x56).u32(1).u32(3).bytes({ 9, 8, 7 }), {} },
        { PresenceSingleDataType, appdata(0x723BFA1E).u32(5).u32(1).f32(2.5f).u8(3).u32(60), {} },
        { PresenceMovingListDataType,
            appdata(0x723BFA1F)
                .u32(9)
                .u32(1)
                .u32(2)
                .u32(1)
                .f32(0.5f)
                .f32(1.5f)
                .f32(2)
                .f32(3)
                .f32(4)
                .f32(5)
                .f32(6),
            {} },
        { RespirationDetectionListDataType, appdata(0x610A3B02).u32(4).u32(1).f32(1).f32(2).f32(3), {} },
        { RespirationMovingListDataType,
            appdata(0x610A3B00).u32(8).u32(2).f32(0.125f).f32(1).f32(2).f32(-2.5f), {} },
        { VitalSignsDataType,
            appdata(0x20020102)
                .u32(1)
                .u32(2)
                .f32(3)
                .f32(4)
                .f32(5)
                .f32(6)
                .f32(7)
                .f32(8)
                .f32(9.5f)
                .f32(10)
                .f32(11)
                .f32(12),
            {} },
        { SleepStageDataType, appdata(0x41083A02).u32(1).u32(2).u32(3), {} },
        { RespirationNormalizedMovementListDataType,
            appdata(0xC3A331CF).u32(3).f32(0.5f).f32(0.25f).u32(2).f32(1).f32(2).f32(3).f32(4), {} },
        { RadarRfDataType, appdata(0xC1A3117E).bytes(frame), {} },
        { RadarRfNormalizedDataType, appdata(0xB13B8F12).bytes(frame), {} },
        { RadarBasebandFloatDataType, appdata(0x026F1379).bytes(frame), {} },
        { RadarBasebandQ15DataType, appdata(0xEC8D0AA5).bytes(frame), {} },
    };
    ASSERT_EQ(0, DataPacketFormater::supported_data_types() & PerformanceStatusType);
    auto recorder = std::make_unique<DataRecorder>(connection);
    ASSERT_EQ(0, recorder->start_recording(0x7FFFFF, dir.path(), options));
    for (const auto& c : cases)
        sim.deliver(c.message);
    // The performance status is stored as text and not played back.
    PayloadBuilder performance;
    performance.u8(0xA0).u8(0x50).u32(5).u32(0).u32(92);
    for (int i = 0; i < 23; ++i)
        performance.u32(uint32_t(i));
    sim.deliver(performance);
    recorder.reset();
    const std::string text = read_text(
        session_directory() + "/" + only_match(names_in(session_directory()), "sarvik_perf_.*\\.txt"));
    EXPECT_EQ(0u, text.find("Radar performance status\n  |- timestamp: ")) << text;

    const auto records = read_session(session_directory() + "/sarvik_recording_meta.dat");
    ASSERT_FALSE(records.empty());
    const DataPacketFormater formater(records.front().meta_version);
    for (const auto& c : cases) {
        SCOPED_TRACE(DataRecorder::data_type_to_string(c.type));
        std::vector<Bytes> messages;
        for (const auto& record : records)
            if (record.data_type == c.type && !record.is_csv_header())
                messages.push_back(formater.from_disk(c.type, record.data));
        EXPECT_EQ(std::vector<Bytes> { c.expected.empty() ? c.message : c.expected }, messages);
    }
}

} // namespace
