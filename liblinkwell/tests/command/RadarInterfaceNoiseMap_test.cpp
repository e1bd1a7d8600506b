// Noise map commands and settings through a simulated module.
#include "support/CommandTestKit.hpp"

using namespace commandtest;
using simmodule::f32_reply;
using simmodule::get_reply;
using simmodule::u32_reply;

namespace {

const std::vector<Command>& noisemap_table()
{
    static const std::vector<Command> table {
        acknowledged(
            "store_noisemap", [](RadarInterface& r) { r.store_noisemap(); },
            [](RadarInterface& r) { return r.store_noisemap_no_throw(); }, hex("10 13")),
        acknowledged(
            "load_noisemap", [](RadarInterface& r) { r.load_noisemap(); },
            [](RadarInterface& r) { return r.load_noisemap_no_throw(); }, hex("10 14")),
        acknowledged(
            "delete_noisemap", [](RadarInterface& r) { r.delete_noisemap(); },
            [](RadarInterface& r) { return r.delete_noisemap_no_throw(); }, hex("10 16")),
        acknowledged(
            "set_noisemap_control", [](RadarInterface& r) { r.set_noisemap_control(0x105); },
            [](RadarInterface& r) { return r.set_noisemap_control_no_throw(0x105); },
            hex("25 10 05 01 00 00")),
        // Only the low byte of the control word comes back.
        { "get_noisemap_control", calls([](RadarInterface& r) { return r.get_noisemap_control(); }),
            twin_out<uint32_t>(
                [](RadarInterface& r, uint32_t* v) { return r.get_noisemap_control_no_throw(v); }),
            hex("25 11"), u32_reply(0, 0x105), "5", Check::ReplyRuntime,
            "parse_reply failed in get_noisemap_control", "get_noisemap_control", get_reply(0x11, 0, {}),
            f32_reply(0, { 2 }) },
        acknowledged(
            "set_periodic_noisemap_store", [](RadarInterface& r) { r.set_periodic_noisemap_store(10, 60); },
            [](RadarInterface& r) { return r.set_periodic_noisemap_store_no_throw(10, 60); },
            hex("25 12 0a 00 00 00 3c 00 00 00")),
        { "get_periodic_noisemap_store",
            calls([](RadarInterface& r) { return r.get_periodic_noisemap_store(); }),
            twin_out<uint32_t, uint32_t>([](RadarInterface& r, uint32_t* a, uint32_t* b) {
                return r.get_periodic_noisemap_store_no_throw(a, b);
            }),
            hex("25 13"), get_reply(0x11, 0, hex("0a 00 00 00 3c 00 00 00")), "10, 60", Check::ReplyRuntime,
            "parse_reply failed in get_periodic_noisemap_store", "get_periodic_noisemap_store",
            get_reply(0x11, 0, hex("0a 00 00 00 3c 00 00")), f32_reply(0, { 1, 2 }) },
    };
    return table;
}

class NoiseMapCommands : public ::testing::TestWithParam<CommandCase> { };

TEST_P(NoiseMapCommands, SendExactlyAndJudgeTheReply)
{
    run_command(*GetParam().command, GetParam().answer);
}

INSTANTIATE_TEST_SUITE_P(Table, NoiseMapCommands, ::testing::ValuesIn(cases_of(noisemap_table())), case_name);

} // namespace
