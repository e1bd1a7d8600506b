// Sending and checking: the reply checks, the status-code machinery,
// timeouts, the module trace channel and the exact payload of every command
// this object sends, over the simulated module.
#include "command/RadarInterface.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <new>

#include "simmodule/Messages.hpp"
#include "support/LogChecks.hpp"
#include "support/SimulatedConnection.hpp"
#include "support/TestSupport.hpp"
#include <linkwell/SarvikException.hpp>
#include <linkwell/protocol_framing.h>

namespace {

using simmodule::Rule;
using testsupport::dump;
using testsupport::hex;
using testsupport::logged_at;
using testsupport::logged_error;
using testsupport::PayloadBuilder;
using testsupport::SimulatedConnection;
using testsupport::timeout_text;
using namespace std::chrono_literals;

// Runs f and returns what it threw: "type|text|code" ("SarvikException",
// "runtime_error") or "none".
std::string thrown_text(const std::function<void()>& f)
{
    try {
        f();
        return "none";
    } catch (const Sarvik::SarvikException& e) {
        return std::string("SarvikException|") + e.what() + "|" + std::to_string(e.code);
    } catch (const std::runtime_error& e) {
        return std::string("runtime_error|") + e.what();
    }
}

// True when some line ends with " error code: <code>".
bool logged_any_error_code(const testsupport::RecordingLogger& log)
{
    for (const auto& line : log.errors())
        if (line.find(" error code: ") != std::string::npos)
            return true;
    return false;
}

// ---- handle_ack, through module_reset ----------------------------------

struct AckCase {
    std::string label;
    Bytes reply;
    std::string expected; // as thrown_text() writes it
    int status; // of the same call under try_and_catch
};

void PrintTo(const AckCase& c, std::ostream* os)
{
    *os << c.label;
}

class HandleAck : public ::testing::TestWithParam<AckCase> { };

TEST_P(HandleAck, ChecksTheReply)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    connection.module().add_rule(Rule(simmodule::command::module_reset()).reply(GetParam().reply));

    EXPECT_EQ(GetParam().expected, thrown_text([&] { radar.module_reset(); }));
    EXPECT_EQ(GetParam().status, radar.try_and_catch([&] { radar.module_reset(); }));
    if (GetParam().expected != "none") {
        const std::string text = GetParam().expected.substr(GetParam().expected.find('|') + 1);
        const std::string line
            = text.substr(0, text.find('|')) + " error code: " + text.substr(text.find('|') + 1);
        EXPECT_TRUE(logged_error(connection.log(), line)) << line << "\n" << dump(connection.log());
    }
}

const std::string refused = "SarvikException|module_reset: module reponded with QRB_SPR_ERROR|";

INSTANTIATE_TEST_SUITE_P(Replies, HandleAck,
    ::testing::Values(AckCase { "Ack", { 0x10 }, "none", 0 },
        AckCase { "AckWithMore", { 0x10, 0x01, 0x02 }, "none", 0 },
        AckCase { "ErrorWithCode", { 0x20, 0x07, 0x00, 0x00, 0x00 }, refused + "7", 7 },
        AckCase { "ErrorCodeLittleEndian", { 0x20, 0x01, 0x02, 0x00, 0x00, 0xFF }, refused + "513", 513 },
        AckCase { "ShortError", { 0x20, 0x01, 0x02 }, refused + "32", 32 },
        AckCase { "BareError", { 0x20 }, refused + "32", 32 },
        // A module error carrying code 0 must not read as success.
        AckCase { "ErrorWithCodeZero", { 0x20, 0x00, 0x00, 0x00, 0x00 }, refused + "0", 1 }),
    [](const auto& param_info) { return param_info.param.label; });

TEST(HandleAckOnEmptyReply, FailsWithCodeOne)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    radar.close();
    EXPECT_EQ("SarvikException|module_reset response from module is empty|1",
        thrown_text([&] { radar.module_reset(); }));
    EXPECT_EQ(1, radar.try_and_catch([&] { radar.module_reset(); }));
    EXPECT_TRUE(logged_error(connection.log(), "module_reset response from module is empty error code: 1"));
}

// ---- try_and_catch and throw_if_error ------------------------------------

TEST(TryAndCatch, TurnsEveryFailureIntoAStatus)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    auto& log = connection.log();

    EXPECT_EQ(0, radar.try_and_catch([] {}));
    EXPECT_EQ(1, radar.try_and_catch([] { throw std::runtime_error("Timeout waiting for response\n"); }));
    EXPECT_EQ(1, radar.try_and_catch([] { throw std::bad_alloc(); }));
    EXPECT_EQ(1, radar.try_and_catch([] { throw 42; }));
    EXPECT_FALSE(logged_any_error_code(log)) << dump(log);

    EXPECT_EQ(7, radar.try_and_catch([] { throw Sarvik::SarvikException("load profile failed", 7); }));
    EXPECT_TRUE(logged_error(log, "load profile failed error code: 7"));
    EXPECT_EQ(1, radar.try_and_catch([] { throw Sarvik::SarvikException("refused", 0); }));
    EXPECT_TRUE(logged_error(log, "refused error code: 0"));
}

TEST(ThrowIfError, ThrowsMethodFailedWithTheResult)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    EXPECT_EQ("none", thrown_text([&] { radar.throw_if_error([] { return 0; }); }));
    EXPECT_EQ(
        "SarvikException|method failed|-3", thrown_text([&] { radar.throw_if_error([] { return -3; }); }));
}

// ---- timeouts -----------------------------------------------------------

TEST(Timeouts, SilenceEndsInTheTimeoutErrorAfterTheDefaultTimeout)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    connection.module().add_rule(Rule({ 0x90, 0x12 })); // silence
    radar.set_default_timeout(1);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(std::string("runtime_error|") + timeout_text, thrown_text([&] { radar.get_z3_int(3); }));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 1s);
    EXPECT_LT(waited, 2s);

    // The status form: 1, and no error line of its own.
    EXPECT_EQ(1, radar.try_and_catch([&] { radar.get_z3_int(3); }));
    EXPECT_FALSE(logged_any_error_code(connection.log()));
}

TEST(Timeouts, SinglePrefixCommandsRefusedByTheModuleTimeOut)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    connection.module().add_rule(Rule({ 0x90 }).error(7));
    radar.set_default_timeout(1);
    EXPECT_EQ(std::string("runtime_error|") + timeout_text, thrown_text([&] { radar.set_Z3_int(1, 2); }));
    EXPECT_EQ(std::string("runtime_error|") + timeout_text, thrown_text([&] { radar.get_z3_float(1); }));
    EXPECT_EQ(std::string("runtime_error|") + timeout_text, thrown_text([&] {
        radar.send_command_single({ 0x90, 0x99 }, { 0x11 });
    }));
}

TEST(Timeouts, ZeroTimeoutFailsWithoutAReply)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    connection.module().add_rule(
        Rule(simmodule::command::ping()).after(200ms).reply(simmodule::pong_reply(5)));
    radar.set_default_timeout(0);
    EXPECT_EQ(std::string("runtime_error|") + timeout_text, thrown_text([&] { radar.ping(); }));
}

// ---- the module trace channel --------------------------------------------

TEST(TraceChannel, LogsTheModulesTextAtLevelTwo)
{
    SimulatedConnection connection;
    connection.module().send_packet(simmodule::text_data_message(0x11, 0x22, "sensor ready"));
    EXPECT_TRUE(connection.log().wait_for("trace: sensor ready"));
    EXPECT_TRUE(logged_at(connection.log(), 2, "trace: sensor ready"));
}

TEST(TraceChannel, ShortPacketsLogAnEmptyText)
{
    SimulatedConnection connection;
    // Exactly the header: no text. Shorter than the header: no text either,
    // and nothing read past the packet.
    connection.module().send_packet(simmodule::text_data_message(0, 0, ""));
    connection.module().send_packet(hex("a0 13 01 02"));
    EXPECT_TRUE(connection.log().wait_for("trace: ", 2)) << dump(connection.log());
}

TEST(TraceChannel, GetTraceReturnsTheQueuedText)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    const std::string strings = "2588cebf-cbcb-40af-b0ad-37d7e959ae1a";
    connection.deliver(simmodule::text_data_message(1, 2, "first"));
    connection.deliver(hex("a0 13 00"));
    EXPECT_EQ("first", radar.get_trace(strings));
    EXPECT_EQ("", radar.get_trace(strings));
    EXPECT_EQ("", radar.get_trace("no such queue"));
    radar.close();
    EXPECT_EQ("", radar.get_trace(strings));
}

// ---- every command's payload and result ----------------------------------

struct PayloadCase {
    std::string label;
    Bytes prefix; // the rule answers commands starting with it
    std::vector<Bytes> replies; // what the module answers
    std::function<std::string(RadarInterface&)> call; // its result as text
    Bytes payload; // what the module must receive
    std::string result;
};

Bytes u32_bytes(uint32_t v)
{
    return PayloadBuilder().u32(v);
}

Bytes f32_bytes(float v)
{
    return PayloadBuilder().f32(v);
}

std::string text(uint32_t v)
{
    return std::to_string(v);
}

std::vector<PayloadCase> command_cases()
{
    using simmodule::get_reply;
    const Bytes ping_payload = hex("01 ae ea aa ee");
    return {
        { "Ping", { 0x01 }, { simmodule::pong_reply(0x1234) },
            [](RadarInterface& r) { return text(r.ping()); }, ping_payload, "4660" },
        { "PingRefused", { 0x01 }, { simmodule::error_reply(9) },
            [](RadarInterface& r) { return text(r.ping()); }, ping_payload, "1" },
        { "PingShortPong", { 0x01 }, { { 0x01, 0x02 } }, [](RadarInterface& r) { return text(r.ping()); },
            ping_payload, "1" },
        { "ModuleReset", { 0x22 }, { simmodule::ack_reply() },
            [](RadarInterface& r) { return thrown_text([&] { r.module_reset(); }); }, { 0x22 }, "none" },
        { "SystemInfo", { 0x90, 0x58 }, { simmodule::system_info_reply("SN-1") },
            [](RadarInterface& r) { return r.get_system_info(6); }, { 0x90, 0x58, 0x06 }, "SN-1" },
        { "SystemInfoRefused", { 0x90, 0x58 }, { simmodule::error_reply(1) },
            [](RadarInterface& r) { return thrown_text([&] { r.get_system_info(2); }); },
            { 0x90, 0x58, 0x02 }, "runtime_error|error parsing reply in get_system_info" },
        { "SensorModeWithSubmode", { 0x20 }, { simmodule::ack_reply() },
            [](RadarInterface& r) { return thrown_text([&] { r.set_sensor_mode_and_submode(0x10, 5); }); },
            { 0x20, 0x10, 0x05 }, "none" },
        { "SensorModeWithoutSubmode", { 0x20 }, { simmodule::ack_reply() },
            [](RadarInterface& r) { return thrown_text([&] { r.set_sensor_mode_and_submode(0x01, 5); }); },
            { 0x20, 0x01 }, "none" },
        { "SensorModeRefused", { 0x20 }, { simmodule::error_reply(7) },
            [](RadarInterface& r) { return thrown_text([&] { r.set_sensor_mode(0x50); }); },
            { 0x20, 0x50, 0x00 }, "SarvikException|set sensor mode failed|1" },
        { "DebugLevel", { 0xB0 }, { simmodule::ack_reply() },
            [](RadarInterface& r) { return thrown_text([&] { r.set_debug_level(3); }); }, { 0xB0, 0x03 },
            "none" },
        { "SetZ3Float", { 0x90, 0x13 }, { get_reply(0x00, 0x13, u32_bytes(9)) },
            [](RadarInterface& r) { return text(r.set_Z3_float(5, 2.5f)); },
            PayloadBuilder().u8(0x90).u8(0x13).u32(5).f32(2.5f), "9" },
        { "SetZ3Int", { 0x90, 0x11 }, { get_reply(0x00, 0x11, u32_bytes(0)) },
            [](RadarInterface& r) { return text(r.set_Z3_int(5, 6)); },
            PayloadBuilder().u8(0x90).u8(0x11).u32(5).u32(6), "0" },
        { "SetZ3IntAnswerWithoutValue", { 0x90, 0x11 }, { get_reply(0x00, 0x11, {}) },
            [](RadarInterface& r) { return text(r.set_Z3_int(5, 6)); },
            PayloadBuilder().u8(0x90).u8(0x11).u32(5).u32(6), "1" },
        { "SetZ3Register", { 0x90, 0x15 }, { get_reply(0x00, 0x15, u32_bytes(3)) },
            [](RadarInterface& r) { return text(r.set_Z3_register(0x40, 0xA5)); },
            PayloadBuilder().u8(0x90).u8(0x15).u32(0x40).u32(0xA5), "3" },
        { "GetZ3Register", { 0x90, 0x16 }, { get_reply(0x11, 0x16, u32_bytes(0xCAFE)) },
            [](RadarInterface& r) { return text(r.get_z3_register(0x20)); },
            PayloadBuilder().u8(0x90).u8(0x16).u32(0x20), "51966" },
        { "GetZ3RegisterShortAnswer", { 0x90, 0x16 }, { get_reply(0x11, 0x16, { 1, 2 }) },
            [](RadarInterface& r) { return thrown_text([&] { r.get_z3_register(0x20); }); },
            PayloadBuilder().u8(0x90).u8(0x16).u32(0x20),
            "runtime_error|parse_reply failed in get_z3_register" },
        { "GetZ3Float", { 0x90, 0x14 }, { get_reply(0x12, 0x14, f32_bytes(-1.25f)) },
            [](RadarInterface& r) { return std::to_string(r.get_z3_float(3)); },
            PayloadBuilder().u8(0x90).u8(0x14).u32(3), std::to_string(-1.25f) },
        { "GetZ3FloatShortAnswer", { 0x90, 0x14 }, { get_reply(0x12, 0x14, { 1, 2, 3 }) },
            [](RadarInterface& r) { return thrown_text([&] { r.get_z3_float(3); }); },
            PayloadBuilder().u8(0x90).u8(0x14).u32(3), "runtime_error|error parsing reply inget_z3_float" },
        { "GetZ3Int", { 0x90, 0x12 }, { get_reply(0x11, 0x12, u32_bytes(77)) },
            [](RadarInterface& r) { return text(r.get_z3_int(8)); },
            PayloadBuilder().u8(0x90).u8(0x12).u32(8), "77" },
        { "TimingMeasurement", { 0x90, 0x20 }, { get_reply(0x00, 0x20, u32_bytes(12)) },
            [](RadarInterface& r) { return text(r.run_timing_measurement()); }, { 0x90, 0x20 }, "12" },
        { "SetFps", { 0x90, 0x51 }, { simmodule::ack_reply() },
            [](RadarInterface& r) { return text(r.set_fps(20)); },
            PayloadBuilder().u8(0x90).u8(0x51).u32(26).u32(20), "0" },
        { "SystemRunTest", { 0x90, 0x50 }, { simmodule::ack_reply() },
            [](RadarInterface& r) { return text(r.system_run_test(4)); }, { 0x90, 0x50, 0x04 }, "0" },
        { "CaptureFrame", { 0x90, 0x17 },
            { PayloadBuilder().u8(0x11).u8(0x12).u32(0x17).u32(0xABCD).u32(2).f32(1.5f).f32(-2.0f) },
            [](RadarInterface& r) {
                const RawNormalizedFrame f = r.capture_single_normalized_frame();
                return text(f.info) + ":" + std::to_string(f.data.size()) + ":"
                    + std::to_string(f.data.at(1));
            },
            { 0x90, 0x17 }, "43981:2:" + std::to_string(-2.0f) },
        // The length field counts floats: 3 of them need 12 bytes, not 8.
        { "CaptureFrameShortAnswer", { 0x90, 0x17 },
            { PayloadBuilder().u8(0x11).u8(0x12).u32(0x17).u32(1).u32(3).f32(1.5f).f32(-2.0f) },
            [](RadarInterface& r) { return thrown_text([&] { r.capture_single_normalized_frame(); }); },
            { 0x90, 0x17 }, "runtime_error|parser error of reply in capture_single_normalized_frame" },
        { "SendCommandSingle", { 0x90, 0x99 }, { get_reply(0x00, 0x99, { 1 }) },
            [](RadarInterface& r) {
                return testsupport::to_hex(r.send_command_single({ 0x90, 0x99, 0x7D }, { 0x11 }));
            },
            { 0x90, 0x99, 0x7D }, testsupport::to_hex(get_reply(0x00, 0x99, { 1 })) },
        // An error reply is handed back unexamined.
        { "SendCommandMulti", { 0x90, 0x98 }, { simmodule::error_reply(4) },
            [](RadarInterface& r) {
                return testsupport::to_hex(
                    r.send_command_multi({ 0x90, 0x98 }, { { 0x11, 0x00 }, { 0x20 } }));
            },
            { 0x90, 0x98 }, testsupport::to_hex(simmodule::error_reply(4)) },
    };
}

void PrintTo(const PayloadCase& c, std::ostream* os)
{
    *os << c.label;
}

class Commands : public ::testing::TestWithParam<PayloadCase> { };

TEST_P(Commands, SendTheirPayloadAndReadTheAnswer)
{
    const PayloadCase& c = GetParam();
    SimulatedConnection connection;
    Rule rule(c.prefix);
    for (const auto& reply : c.replies)
        rule.reply(reply);
    connection.module().add_rule(rule);
    connection.module().clear_received();

    EXPECT_EQ(c.result, c.call(connection.radar()));
    ASSERT_EQ(1u, connection.module().received_count());
    EXPECT_EQ(testsupport::to_hex(c.payload), testsupport::to_hex(connection.module().received_at(0)));
    EXPECT_EQ(0u, connection.module().framing_errors());
}

INSTANTIATE_TEST_SUITE_P(EachCommand, Commands, ::testing::ValuesIn(command_cases()),
    [](const auto& param_info) { return param_info.param.label; });

TEST(SendCommand, WritesTheBytesUnframed)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    connection.module().clear_received();
    EXPECT_EQ(0, radar.send_command(testsupport::frame({ 0x90, 0x7E, 0x01 })));
    ASSERT_TRUE(connection.module().wait_for_received(1, 5s));
    EXPECT_EQ(Bytes({ 0x90, 0x7E, 0x01 }), connection.module().received_at(0));
}

// On a closed connection every exchange is answered emptily at once: the
// commands that would ignore their answer must not report success.
TEST(ClosedConnection, CommandsFailOnTheEmptyAnswer)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    radar.close();
    EXPECT_EQ(1u, radar.ping());
    EXPECT_EQ(1, radar.set_fps(10));
    EXPECT_EQ(1, radar.system_run_test(1));
    EXPECT_EQ(1, radar.set_Z3_int(1, 2));
    EXPECT_EQ(1, radar.set_Z3_float(1, 2));
    EXPECT_EQ(1, radar.set_Z3_register(1, 2));
    EXPECT_EQ(1, radar.run_timing_measurement());
    EXPECT_EQ(
        "SarvikException|set_debug_level returned error|1", thrown_text([&] { radar.set_debug_level(1); }));
    EXPECT_EQ("SarvikException|set sensor mode failed|1", thrown_text([&] { radar.set_sensor_mode(1); }));
    EXPECT_EQ("runtime_error|parse_reply failed in get_z3_register",
        thrown_text([&] { radar.get_z3_register(1); }));
    EXPECT_EQ(
        "runtime_error|error parsing reply inget_z3_float", thrown_text([&] { radar.get_z3_float(1); }));
    EXPECT_EQ("runtime_error|parser error of reply in capture_single_normalized_frame",
        thrown_text([&] { radar.capture_single_normalized_frame(); }));
    EXPECT_EQ("runtime_error|error parsing reply in get_system_info",
        thrown_text([&] { radar.get_system_info(0); }));
    EXPECT_TRUE(radar.send_command_single({ 0x01 }, { 0x01 }).empty());
}

// ---- settings and logging -------------------------------------------------

TEST(Settings, LogAndVersionPassThrough)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    radar.log(4, "a line of the caller");
    EXPECT_TRUE(logged_at(connection.log(), 4, "a line of the caller"));
    EXPECT_EQ(0, radar.set_log_level(5));
    EXPECT_EQ(get_radar_com_version(), radar.git_sha());
    EXPECT_EQ(get_radar_com_build_date(), radar.build_date());
}

} // namespace
