// IO pins, output control and debug output control through a simulated
// module.
#include "support/CommandTestKit.hpp"

using namespace commandtest;
using simmodule::f32_reply;
using simmodule::get_reply;
using simmodule::u32_reply;

namespace {

constexpr uint32_t presence_single = 0x723BFA1E;

const std::vector<Command>& iopin_table()
{
    static const std::vector<Command> table {
        acknowledged(
            "set_iopin_control", [](RadarInterface& r) { r.set_iopin_control(3, 1, 2); },
            [](RadarInterface& r) { return r.set_iopin_control_no_throw(3, 1, 2); },
            hex("40 10 03 00 00 00 01 00 00 00 02 00 00 00")),
        { "get_iopin_control", calls([](RadarInterface& r) { return r.get_iopin_control(3); }),
            twin_out<uint32_t, uint32_t>([](RadarInterface& r, uint32_t* a, uint32_t* b) {
                return r.get_iopin_control_no_throw(3, a, b);
            }),
            hex("40 11 03 00 00 00"), get_reply(0x11, 3, hex("01 00 00 00 02 00 00 00")), "1, 2",
            Check::ReplySarvik, "get_iopin_control failed", "get_iopin_control",
            get_reply(0x11, 3, hex("01 00 00 00")), f32_reply(3, { 1, 2 }) },
        acknowledged(
            "set_iopin_value", [](RadarInterface& r) { r.set_iopin_value(3, 1); },
            [](RadarInterface& r) { return r.set_iopin_value_no_throw(3, 1); },
            hex("40 20 03 00 00 00 01 00 00 00")),
        // The whole word, and the twin is an overload of the getter's name.
        { "get_iopin_value", calls([](RadarInterface& r) { return r.get_iopin_value(3); }),
            twin_out<uint32_t>([](RadarInterface& r, uint32_t* v) { return r.get_iopin_value(3, v); }),
            hex("40 21 03 00 00 00"), u32_reply(3, 0x80000001), "2147483649", Check::ReplyRuntime,
            "parse_reply failed in get_iopin_value", "get_iopin_value", get_reply(0x11, 3, hex("01 00 00")),
            f32_reply(3, { 1 }) },
        acknowledged(
            "set_output_control", [](RadarInterface& r) { r.set_output_control(presence_single, 1); },
            [](RadarInterface& r) { return r.set_output_control_no_throw(presence_single, 1); },
            hex("41 10 1e fa 3b 72 01 00 00 00")),
        // The output getters keep only the low byte: 0x103 reads as 3.
        { "get_output_control",
            calls([](RadarInterface& r) { return r.get_output_control(presence_single); }),
            twin_out<uint32_t>([](RadarInterface& r, uint32_t* v) {
                return r.get_output_control_no_throw(presence_single, v);
            }),
            hex("41 11 1e fa 3b 72"), u32_reply(presence_single, 0x103), "3", Check::ReplyRuntime,
            "parse_reply failed in get_output_control", "get_output_control",
            get_reply(0x11, presence_single, {}), f32_reply(presence_single, { 1 }) },
        acknowledged(
            "set_debug_output_control", [](RadarInterface& r) { r.set_debug_output_control(2, 0x10000); },
            [](RadarInterface& r) { return r.set_debug_output_control_no_throw(2, 0x10000); },
            hex("42 10 02 00 00 00 00 00 01 00")),
        { "get_debug_output_control", calls([](RadarInterface& r) { return r.get_debug_output_control(2); }),
            twin_out<uint32_t>(
                [](RadarInterface& r, uint32_t* v) { return r.get_debug_output_control_no_throw(2, v); }),
            hex("42 11 02 00 00 00"), u32_reply(2, 0x1FF), "255", Check::ReplyRuntime,
            "parse_reply failed in get_debug_output_control", "get_debug_output_control",
            get_reply(0x11, 2, {}), f32_reply(2, { 1 }) },
    };
    return table;
}

class IoPinCommands : public ::testing::TestWithParam<CommandCase> { };

TEST_P(IoPinCommands, SendExactlyAndJudgeTheReply)
{
    run_command(*GetParam().command, GetParam().answer);
}

INSTANTIATE_TEST_SUITE_P(Table, IoPinCommands, ::testing::ValuesIn(cases_of(iopin_table())), case_name);

} // namespace
