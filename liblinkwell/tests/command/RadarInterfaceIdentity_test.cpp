// Module identity, sensor mode and LED through a simulated module.
#include "support/CommandTestKit.hpp"

using namespace commandtest;
using simmodule::byte_reply;
using simmodule::get_reply;
using simmodule::system_info_reply;
using simmodule::text_reply;
using simmodule::u32_reply;

namespace {

const std::string info_failure = "error parsing reply in get_system_info";

// An identity getter: the system-information code it asks for and the text
// the module answers with.
Command identity(const std::string& label, uint8_t code, std::function<std::string(RadarInterface&)> value,
    std::function<int(RadarInterface&, std::string*)> status_form)
{
    const std::string text = "text-" + std::to_string(code);
    return { label, calls(value), status_form ? twin_out<std::string>(status_form) : nullptr,
        join(hex("90 58"), { code }), system_info_reply(text), render(text), Check::ReplyRuntime,
        info_failure, "get_system_info", {},
        // A text reply of another command: not awaited.
        text_reply(0x59, "other") };
}

Command sensor_mode(const std::string& label, std::function<void(RadarInterface&)> call,
    std::function<int(RadarInterface&)> status_form, const Bytes& payload)
{
    return { label, calls(call), twin(status_form), payload, hex("10"), "ok", Check::ErrorByte,
        "set sensor mode failed", "set_sensor_mode_and_submode" };
}

const std::vector<Command>& identity_table()
{
    static const std::vector<Command> table {
        identity(
            "get_item_number", 0, [](RadarInterface& r) { return r.get_item_number(); },
            [](RadarInterface& r, std::string* s) { return r.get_item_number(s); }),
        identity(
            "get_order_code", 1, [](RadarInterface& r) { return r.get_order_code(); },
            [](RadarInterface& r, std::string* s) { return r.get_order_code(s); }),
        identity(
            "get_firmware_id", 2, [](RadarInterface& r) { return r.get_firmware_id(); },
            [](RadarInterface& r, std::string* s) { return r.get_firmware_id(s); }),
        identity(
            "get_firmware_version", 3, [](RadarInterface& r) { return r.get_firmware_version(); },
            [](RadarInterface& r, std::string* s) { return r.get_firmware_version(s); }),
        identity(
            "get_build_info", 4, [](RadarInterface& r) { return r.get_build_info(); },
            [](RadarInterface& r, std::string* s) { return r.get_build_info(s); }),
        identity(
            "get_app_id_list", 5, [](RadarInterface& r) { return r.get_app_id_list(); },
            [](RadarInterface& r, std::string* s) { return r.get_app_id_list(s); }),
        identity(
            "get_serial_number", 6, [](RadarInterface& r) { return r.get_serial_number(); },
            [](RadarInterface& r, std::string* s) { return r.get_serial_number(s); }),
        // Codes outside the list pass through unchanged.
        identity(
            "get_system_info_9", 9, [](RadarInterface& r) { return r.get_system_info(9); }, nullptr),

        // The submode goes out for the modes 0x10 and 0x50 only.
        sensor_mode(
            "submode_dropped_for_run", [](RadarInterface& r) { r.set_sensor_mode_and_submode(0x01, 5); },
            [](RadarInterface& r) { return r.set_sensor_mode_and_submode_no_throw(0x01, 5); }, hex("20 01")),
        sensor_mode(
            "submode_sent_for_0x10", [](RadarInterface& r) { r.set_sensor_mode_and_submode(0x10, 5); },
            [](RadarInterface& r) { return r.set_sensor_mode_and_submode_no_throw(0x10, 5); },
            hex("20 10 05")),
        sensor_mode(
            "submode_sent_for_0x50", [](RadarInterface& r) { r.set_sensor_mode_and_submode(0x50, 5); },
            [](RadarInterface& r) { return r.set_sensor_mode_and_submode_no_throw(0x50, 5); },
            hex("20 50 05")),
        sensor_mode(
            "mode_outside_the_list", [](RadarInterface& r) { r.set_sensor_mode_and_submode(0x13, 5); },
            [](RadarInterface& r) { return r.set_sensor_mode_and_submode_no_throw(0x13, 5); }, hex("20 13")),
        sensor_mode(
            "set_sensor_mode_0x10", [](RadarInterface& r) { r.set_sensor_mode(0x10); },
            [](RadarInterface& r) { return r.set_sensor_mode_no_throw(0x10); }, hex("20 10 00")),
        sensor_mode(
            "set_sensor_mode_run", [](RadarInterface& r) { r.set_sensor_mode_run(); },
            [](RadarInterface& r) { return r.set_sensor_mode_run_no_throw(); }, hex("20 01")),
        sensor_mode(
            "set_sensor_mode_idle", [](RadarInterface& r) { r.set_sensor_mode_idle(); },
            [](RadarInterface& r) { return r.set_sensor_mode_idle_no_throw(); }, hex("20 11")),

        { "get_sensor_mode", calls([](RadarInterface& r) { return r.get_sensor_mode(); }),
            twin_out<uint8_t>([](RadarInterface& r, uint8_t* m) { return r.get_sensor_mode_no_throw(m); }),
            hex("26"), get_reply(0x10, 0, { 0x12 }), "18", Check::ReplyRuntime,
            "parse_reply failed in get_sensor_mode", "get_sensor_mode", get_reply(0x10, 0, {}),
            u32_reply(0, 0x77) },

        { "set_led_control", calls([](RadarInterface& r) { r.set_led_control(3, 200); }),
            twin([](RadarInterface& r) { return r.set_led_control_no_throw(3, 200); }), hex("24 03 c8"),
            hex("10"), "ok", Check::ErrorByte, "set_led_control failed", "set_led_control" },
        { "get_led_control", calls([](RadarInterface& r) { return r.get_led_control(); }),
            twin_out<uint8_t>([](RadarInterface& r, uint8_t* m) { return r.get_led_control_no_throw(m); }),
            hex("10 11 2c 2a af 71"), byte_reply(0x71AF2A2C, 2), "2", Check::ReplyRuntime,
            "parse_reply failed in get_led_control", "get_led_control", get_reply(0x10, 0x71AF2A2C, {}),
            u32_reply(0x71AF2A2C, 0x77) },
    };
    return table;
}

class IdentityCommands : public ::testing::TestWithParam<CommandCase> { };

TEST_P(IdentityCommands, SendExactlyAndJudgeTheReply)
{
    run_command(*GetParam().command, GetParam().answer);
}

INSTANTIATE_TEST_SUITE_P(Table, IdentityCommands, ::testing::ValuesIn(cases_of(identity_table())), case_name);

// ---- get_system_info with an out-parameter ------------------------------

struct InfoCase {
    const char* label;
    Answer answer;
    Bytes reply;
    int status;
    std::string text;
};

class SystemInfoStatusForm : public ::testing::TestWithParam<InfoCase> { };

TEST_P(SystemInfoStatusForm, ReturnsMinusOneForARefusedReplyAndLeavesTheText)
{
    const InfoCase& param = GetParam();
    SimulatedConnection c;
    arrange(c, hex("90 58 08"), param.answer, replies(param.reply));

    std::string text = "untouched";
    EXPECT_EQ(param.status, c.radar().get_system_info(8, &text));
    EXPECT_EQ(param.text, text);
    EXPECT_EQ(1, c.log().count("get_system_info -- end"));
}

// A length field of 3 takes exactly three bytes, whatever follows them.
const Bytes exact_three = join(hex("11 13 58 00 00 00 00 00 00 00 03 00 00 00"), { 'S', 'N', '1', 'X' });
// A length field that promises more than arrived is refused, not read.
const Bytes promises_more = join(hex("11 13 58 00 00 00 00 00 00 00 0a 00 00 00"), { 'a', 'b', 'c' });

INSTANTIATE_TEST_SUITE_P(Answers, SystemInfoStatusForm,
    ::testing::Values(InfoCase { "text", Answer::Good, system_info_reply("ITEM-8"), 0, "ITEM-8" },
        InfoCase { "empty_text", Answer::Good, system_info_reply(""), 0, "" },
        InfoCase { "exact_length", Answer::Good, exact_three, 0, "SN1" },
        InfoCase { "length_beyond_data", Answer::Good, promises_more, -1, "untouched" },
        InfoCase { "module_error", Answer::ModuleError, hex("20 07 00 00 00"), -1, "untouched" },
        InfoCase { "short_error", Answer::ShortError, short_error_reply(), -1, "untouched" },
        InfoCase { "closed", Answer::Closed, {}, -1, "untouched" }),
    [](const auto& param_info) { return std::string(param_info.param.label); });

TEST(SystemInfo, TextFormTakesExactlyTheLengthFieldAndRefusesALengthBeyondTheData)
{
    SimulatedConnection c;
    c.module().add_rule(Rule(hex("90 58 06")).reply(exact_three));
    c.module().add_rule(Rule(hex("90 58 05")).reply(promises_more));
    EXPECT_EQ("SN1", c.radar().get_serial_number());
    EXPECT_EQ(runtime(info_failure), outcome([&] { return c.radar().get_app_id_list(); }));
}

TEST(SystemInfo, StatusFormLetsTheTimeoutThrough)
{
    SimulatedConnection c;
    c.radar().set_default_timeout(0);
    std::string text = "untouched";
    EXPECT_EQ(runtime(timeout_text), outcome([&] { return c.radar().get_system_info(8, &text); }));
    EXPECT_EQ("untouched", text);
}

TEST(SensorMode, ReadsTheFirstDataByteWhateverFollows)
{
    SimulatedConnection c;
    c.module().add_rule(Rule(hex("26")).reply(get_reply(0x10, 0, { 0x11, 0x99, 0x98 })));
    EXPECT_EQ(0x11, c.radar().get_sensor_mode());
}

} // namespace
