// Baud rate, parameter files, processing settings, zones, sensitivity and
// transmit frequency through a simulated module.
#include "support/CommandTestKit.hpp"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>

using namespace commandtest;
using simmodule::byte_reply;
using simmodule::f32_reply;
using simmodule::get_reply;
using simmodule::text_reply;
using simmodule::u32_reply;

namespace {

constexpr uint32_t parameter_file_id = 0x32BA7623;
constexpr uint32_t detection_zone_id = 0x96A10A1C;
constexpr uint32_t detection_zone_limits_id = 0x96A10A1D;
constexpr uint32_t user_zone_id = 0xA53695BB;
constexpr uint32_t sensitivity_id = 0x10A5112B;
constexpr uint32_t tx_frequency_id = 0x71AF2A2B;

// A processing setter: 52 11, the setting's id, its value; judged by
// handle_ack.
Command processing_set(const std::string& label, std::function<void(RadarInterface&)> call,
    std::function<int(RadarInterface&)> status_form, const Bytes& payload)
{
    return { label, calls(call), twin(status_form), payload, hex("10"), "ok", Check::HandleAck, label,
        label };
}

// A text that ends in the zero the module sends with it.
const std::string file_text("gain=3\n", 8);

const std::vector<Command>& settings_table()
{
    static const std::vector<Command> table {
        { "set_baudrate", calls([](RadarInterface& r) { r.set_baudrate(921600); }),
            twin([](RadarInterface& r) { return r.set_baudrate_no_throw(921600); }), hex("90 80 00 10 0e 00"),
            hex("10"), "ok", Check::AckRecord, "set baud rate command failed", "set_baudrate" },

        { "set_parameter_file", calls([](RadarInterface& r) { r.set_parameter_file("abc", "xy"); }),
            twin([](RadarInterface& r) { return r.set_parameter_file_no_throw("abc", "xy"); }),
            hex("10 10 23 76 ba 32 04 00 00 00 03 00 00 00 61 62 63 00 78 79 00"), hex("10"), "ok",
            Check::AckRecord, "set_parameter_file failed", "set_parameter_file" },
        { "get_parameter_file", calls([](RadarInterface& r) { return r.get_parameter_file("abc"); }),
            twin_out<std::string>([](RadarInterface& r, std::string* text) {
                return r.get_parameter_file_no_throw("abc", *text);
            }),
            hex("10 11 23 76 ba 32 04 00 00 00 61 62 63 00"), text_reply(parameter_file_id, file_text),
            render(file_text), Check::ReplyRuntime, "error receiving data in get_parameter_file",
            "get_parameter_file", {}, f32_reply(parameter_file_id, { 1 }), false },

        processing_set(
            "set_normalization", [](RadarInterface& r) { r.set_normalization(3); },
            [](RadarInterface& r) { return r.set_normalization_no_throw(3); }, hex("52 11 10 00 00 00 03")),
        { "get_normalization", calls([](RadarInterface& r) { return r.get_normalization(); }),
            twin_out<uint8_t>([](RadarInterface& r, uint8_t* v) { return r.get_normalization_no_throw(v); }),
            hex("52 10 10 00 00 00"), byte_reply(0x10, 9), "9", Check::ReplyRuntime,
            "parse_reply failed in get_normalization", "get_normalization", get_reply(0x10, 0x10, {}),
            byte_reply(0x11, 1) },
        processing_set(
            "set_phase_noise_correction", [](RadarInterface& r) { r.set_phase_noise_correction(1, 0.5f); },
            [](RadarInterface& r) { return r.set_phase_noise_correction_no_throw(1, 0.5f); },
            hex("52 11 11 00 00 00 01 00 00 00 3f")),
        { "get_phase_noise_correction",
            calls([](RadarInterface& r) { return r.get_phase_noise_correction(); }),
            twin_out<float>(
                [](RadarInterface& r, float* v) { return r.get_phase_noise_correction_no_throw(v); }),
            hex("52 10 11 00 00 00"), f32_reply(0x11, { 0.25f }), "0.25", Check::ReplyRuntime,
            "parse_reply failed in get_phase_noise_correction", "get_phase_noise_correction",
            get_reply(0x12, 0x11, hex("00 00 80")), f32_reply(0x12, { 9 }) },
        processing_set(
            "set_decimation_factor", [](RadarInterface& r) { r.set_decimation_factor(0x01020304); },
            [](RadarInterface& r) { return r.set_decimation_factor_no_throw(0x01020304); },
            hex("52 11 12 00 00 00 04 03 02 01")),
        { "get_decimation_factor", calls([](RadarInterface& r) { return r.get_decimation_factor(); }),
            twin_out<uint32_t>(
                [](RadarInterface& r, uint32_t* v) { return r.get_decimation_factor_no_throw(v); }),
            hex("52 10 12 00 00 00"), u32_reply(0x12, 70000), "70000", Check::ReplyRuntime,
            "parse_reply failed in get_decimation_factor", "get_decimation_factor",
            get_reply(0x11, 0x12, hex("01 02 03")), u32_reply(0x13, 5) },
        processing_set(
            "set_number_format", [](RadarInterface& r) { r.set_number_format(2); },
            [](RadarInterface& r) { return r.set_number_format_no_throw(2); }, hex("52 11 13 00 00 00 02")),
        { "get_number_format", calls([](RadarInterface& r) { return r.get_number_format(); }),
            twin_out<uint8_t>([](RadarInterface& r, uint8_t* v) { return r.get_number_format_no_throw(v); }),
            hex("52 10 13 00 00 00"), byte_reply(0x13, 2), "2", Check::ReplyRuntime,
            "parse_reply failed in get_number_format", "get_number_format", get_reply(0x10, 0x13, {}),
            byte_reply(0x14, 7) },
        processing_set(
            "set_legacy_output", [](RadarInterface& r) { r.set_legacy_output(1); },
            [](RadarInterface& r) { return r.set_legacy_output_no_throw(1); }, hex("52 11 14 00 00 00 01")),
        { "get_legacy_output", calls([](RadarInterface& r) { return r.get_legacy_output(); }),
            twin_out<uint8_t>([](RadarInterface& r, uint8_t* v) { return r.get_legacy_output_no_throw(v); }),
            hex("52 10 14 00 00 00"), byte_reply(0x14, 1), "1", Check::ReplyRuntime,
            "parse_reply failed in get_legacy_output", "get_legacy_output", get_reply(0x10, 0x14, {}),
            byte_reply(0x10, 8) },

        { "set_detection_zone", calls([](RadarInterface& r) { r.set_detection_zone(0.5f, 4.0f); }),
            twin([](RadarInterface& r) { return r.set_detection_zone_no_throw(0.5f, 4.0f); }),
            join(hex("10 10 1c 0a a1 96"), f32s({ 0.5f, 4.0f })), hex("10"), "ok", Check::AckRecord,
            "set_detection_zone failed", "set_detection_zone" },
        { "get_detection_zone", calls([](RadarInterface& r) { return r.get_detection_zone(); }),
            twin_out<float, float>(
                [](RadarInterface& r, float* a, float* b) { return r.get_detection_zone_no_throw(a, b); }),
            hex("10 11 1c 0a a1 96"), f32_reply(detection_zone_id, { 0.5f, 4.0f }), "0.5, 4",
            Check::ReplySarvik, "get_detection_zone failed", "get_detection_zone",
            f32_reply(detection_zone_id, { 0.5f }), u32_reply(detection_zone_id, 1) },
        { "get_detection_zone_limits", calls([](RadarInterface& r) { return r.get_detection_zone_limits(); }),
            twin_out<float, float, float>([](RadarInterface& r, float* a, float* b, float* c) {
                return r.get_detection_zone_limits_no_throw(a, b, c);
            }),
            hex("10 11 1d 0a a1 96"), f32_reply(detection_zone_limits_id, { 0.4f, 9.5f, 0.125f }),
            "0.4, 9.5, 0.125", Check::ReplySarvik, "get_detection_zone_limits failed",
            "get_detection_zone_limits", f32_reply(detection_zone_limits_id, { 0.4f, 9.5f }) },
        { "set_application_user_zone",
            calls([](RadarInterface& r) { r.set_application_user_zone(1.5f, 2.5f); }),
            twin([](RadarInterface& r) { return r.set_application_user_zone_no_throw(1.5f, 2.5f); }),
            join(hex("10 10 bb 95 36 a5"), f32s({ 1.5f, 2.5f })), hex("10"), "ok", Check::AckRecord,
            "set_application_user_zone failed", "set_application_user_zone" },
        // The zone getters do not look at the id in the reply: the detection
        // zone's reply serves the user zone as well.
        { "get_application_user_zone", calls([](RadarInterface& r) { return r.get_application_user_zone(); }),
            twin_out<float, float>([](RadarInterface& r, float* a, float* b) {
                return r.get_application_user_zone_no_throw(a, b);
            }),
            hex("10 11 bb 95 36 a5"), f32_reply(detection_zone_id, { 1.5f, 2.5f }), "1.5, 2.5",
            Check::ReplySarvik, "get_application_user_zone failed", "get_application_user_zone",
            get_reply(0x12, user_zone_id, {}) },

        { "set_sensitivity", calls([](RadarInterface& r) { r.set_sensitivity(5); }),
            twin([](RadarInterface& r) { return r.set_sensitivity_no_throw(5); }),
            hex("10 10 2b 11 a5 10 05 00 00 00"), hex("10"), "ok", Check::AckRecord, "set_sensitivity failed",
            "set_sensitivity" },
        // Only the first data byte counts: 0x12C reads as 0x2C.
        { "get_sensitivity", calls([](RadarInterface& r) { return r.get_sensitivity(); }),
            twin_out<uint32_t>([](RadarInterface& r, uint32_t* v) { return r.get_sensitivity_no_throw(v); }),
            hex("10 11 2b 11 a5 10"), u32_reply(sensitivity_id, 0x12C), "44", Check::ReplyRuntime,
            "parse_reply failed in get_sensitivity", "get_sensitivity", get_reply(0x11, sensitivity_id, {}),
            f32_reply(sensitivity_id, { 1 }) },
        { "set_tx_center_frequency", calls([](RadarInterface& r) { r.set_tx_center_frequency(3); }),
            twin([](RadarInterface& r) { return r.set_tx_center_frequency_no_throw(3); }),
            hex("10 10 2b 2a af 71 03 00 00 00"), hex("10"), "ok", Check::AckRecord,
            "set_tx_center_frequency failed", "set_tx_center_frequency" },
        { "get_tx_center_frequency", calls([](RadarInterface& r) { return r.get_tx_center_frequency(); }),
            twin_out<uint32_t>(
                [](RadarInterface& r, uint32_t* v) { return r.get_tx_center_frequency_no_throw(v); }),
            hex("10 11 2b 2a af 71"), u32_reply(tx_frequency_id, 0x01020304), "16909060", Check::ReplyRuntime,
            "parse_reply failed in get_tx_center_frequency", "get_tx_center_frequency",
            get_reply(0x11, tx_frequency_id, hex("04 03")), byte_reply(tx_frequency_id, 1) },
    };
    return table;
}

class SettingsCommands : public ::testing::TestWithParam<CommandCase> { };

TEST_P(SettingsCommands, SendExactlyAndJudgeTheReply)
{
    run_command(*GetParam().command, GetParam().answer);
}

INSTANTIATE_TEST_SUITE_P(Table, SettingsCommands, ::testing::ValuesIn(cases_of(settings_table())), case_name);

// ---- baud rate ----------------------------------------------------------

speed_t output_speed(int fd)
{
    termios settings {};
    if (::tcgetattr(fd, &settings) != 0)
        return B0;
    return cfgetospeed(&settings);
}

// The host's port seen from a second descriptor on the same terminal,
// opened before the host opens its port exclusively.
class ObservedPort {
public:
    explicit ObservedPort(const std::string& path)
        : fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        EXPECT_GE(fd, 0);
    }
    ~ObservedPort()
    {
        if (fd >= 0)
            ::close(fd);
    }
    speed_t speed() const { return output_speed(fd); }

    int fd;
};

TEST(SetBaudrate, HostPortSwitchesOnlyAfterTheModuleAcknowledgedThenWaitsHalfASecond)
{
    SimulatedConnection c(Transport::Pty, SimulatedConnection::Start::Unopened);
    auto port = std::make_unique<ObservedPort>(c.module().pty_path());
    ASSERT_EQ(0, c.radar().open(c.device_name()));
    ASSERT_EQ(B115200, port->speed());

    std::atomic<speed_t> speed_at_command { B0 };
    c.module().add_rule(Rule(hex("90 80")).reply_with([&](const Bytes&) {
        speed_at_command = port->speed();
        return std::vector<Bytes> { hex("10") };
    }));
    const auto start = std::chrono::steady_clock::now();
    c.radar().set_baudrate(921600);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_EQ(B115200, speed_at_command.load());
    EXPECT_EQ(B921600, port->speed());
    EXPECT_EQ((std::vector<Bytes> { hex("90 80 00 10 0e 00") }), c.module().received());
}

TEST(SetBaudrate, RefusedRateLeavesTheHostPortAtItsOldRate)
{
    SimulatedConnection c(Transport::Pty, SimulatedConnection::Start::Unopened);
    auto port = std::make_unique<ObservedPort>(c.module().pty_path());
    ASSERT_EQ(0, c.radar().open(c.device_name()));
    c.module().add_rule(Rule(hex("90 80")).error(12));
    EXPECT_EQ(sarvik(12, "set baud rate command failed"), outcome([&] { c.radar().set_baudrate(921600); }));
    EXPECT_EQ(12, c.radar().set_baudrate_no_throw(921600));
    EXPECT_EQ(B115200, port->speed());
    // The connection still works at the old rate.
    c.module().add_rule(Rule(hex("26")).reply(get_reply(0x10, 0, { 0x11 })));
    EXPECT_EQ(0x11, c.radar().get_sensor_mode());
}

// ---- parameter files ----------------------------------------------------

TEST(ParameterFile, SetterLogsNameAndTextAtLevelSix)
{
    SimulatedConnection c;
    c.module().add_rule(Rule(hex("10 10")).ack());
    c.radar().set_parameter_file("abc", "xy");
    EXPECT_TRUE(testsupport::logged_at(c.log(), 6, "filename: abcdata: xy")) << testsupport::dump(c.log());
}

TEST(ParameterFile, ModuleErrorIsNoAnswerSoTheGetterTimesOut)
{
    SimulatedConnection c;
    c.radar().set_default_timeout(1);
    c.module().add_rule(Rule(hex("10 11 23 76 ba 32")).error(7));
    EXPECT_EQ(runtime(timeout_text), outcome([&] { return c.radar().get_parameter_file("abc"); }));
}

TEST(ParameterFile, BareTextMessageEndsTheWaitButIsRefused)
{
    SimulatedConnection c;
    c.module().add_rule(Rule(hex("10 11 23 76 ba 32")).reply(hex("13 00 01")));
    EXPECT_EQ(runtime("error receiving data in get_parameter_file"),
        outcome([&] { return c.radar().get_parameter_file("abc"); }));
}

} // namespace
