// The radar chip driver commands: one row per method with the exact bytes it
// sends, the reply it takes and what it makes of it, each put through every
// answer that tells something (a good reply behind a decoy it must skip, a
// module error, a short error, a reply too short for its value, a closed
// connection, silence).
#include "support/CommandTestKit.hpp"

using namespace commandtest;
using simmodule::get_reply;

namespace Sarvik {

// Found by the kit's rendering and its check of untouched outputs.
std::string render(const FrameArea& area)
{
    return commandtest::render(area.start) + ", " + commandtest::render(area.end);
}

bool operator==(const FrameArea& a, const FrameArea& b)
{
    return a.start == b.start && a.end == b.end;
}

} // namespace Sarvik

template <> Sarvik::FrameArea commandtest::sentinel<Sarvik::FrameArea>()
{
    return { -7.0f, -8.0f };
}

namespace {

using R = RadarInterface;

constexpr uint8_t byte_type = 0x10;
constexpr uint8_t u32_type = 0x11;
constexpr uint8_t f32_type = 0x12;

// Every bit flipped, or one byte where there was none: a value the good reply
// does not have.
Bytes other_data(const Bytes& data)
{
    if (data.empty())
        return { 0x99 };
    Bytes other = data;
    for (auto& b : other)
        b = static_cast<uint8_t>(~b);
    return other;
}

template <typename Call, typename Twin>
Command setter(const std::string& method, const std::string& payload, Call call, Twin status_form)
{
    return { method, calls(call), twin(status_form), hex(payload), hex("10"), "ok", Check::HandleAck, method,
        method };
}

// A reader of a value: the reply {0x11, type, id, ...} carries `data`. Its
// decoy, a reply of another value type, comes first and must be skipped.
template <typename Out, typename Call, typename Twin>
Command reader(const std::string& method, const std::string& payload, uint8_t type, uint8_t id,
    const Bytes& data, const std::string& result, Call call, Twin status_form)
{
    const Bytes shorter(data.begin(), data.end() - 1);
    const uint8_t other_type = type == byte_type ? u32_type : byte_type;
    return { method, calls(call), twin_out<Out>(status_form), hex(payload), get_reply(type, id, data), result,
        Check::ReplyRuntime, "parse_reply failed in " + method, method, get_reply(type, id, shorter),
        get_reply(other_type, id, other_data(data)) };
}

// A bulk read takes every data byte; its short reply claims one byte more
// than it carries.
template <typename Call, typename Twin>
Command bulk_reader(const std::string& method, const std::string& payload, uint8_t id, const Bytes& data,
    Call call, Twin status_form)
{
    Bytes overclaiming = get_reply(byte_type, id, data);
    overclaiming[10] = static_cast<uint8_t>(data.size() + 1);
    return { method, calls(call), twin_out<Bytes>(status_form), hex(payload), get_reply(byte_type, id, data),
        render(data), Check::ReplyRuntime, "parse_reply failed in " + method, method, overclaiming,
        get_reply(u32_type, id, other_data(data)) };
}

const std::vector<Command>& chip_table()
{
    static const std::vector<Command> table {
        // ---- setters: an ack or an error is awaited, judged by handle_ack
        setter(
            "z7driver_init", "50 20", [](R& r) { r.z7driver_init(); },
            [](R& r) { return r.z7driver_init_no_throw(); }),
        setter(
            "z7driver_set_fps", "50 10 10 00 00 00 00 00 c0 3f", [](R& r) { r.z7driver_set_fps(1.5f); },
            [](R& r) { return r.z7driver_set_fps_no_throw(1.5f); }),
        setter(
            "z7driver_set_pulsesperstep", "50 10 11 00 00 00 04 03 02 01",
            [](R& r) { r.z7driver_set_pulsesperstep(0x01020304); },
            [](R& r) { return r.z7driver_set_pulsesperstep_no_throw(0x01020304); }),
        setter(
            "z7driver_set_iterations", "50 10 12 00 00 00 40 00 00 00",
            [](R& r) { r.z7driver_set_iterations(64); },
            [](R& r) { return r.z7driver_set_iterations_no_throw(64); }),
        setter(
            "z7driver_set_downconversion", "50 10 13 00 00 00 01",
            [](R& r) { r.z7driver_set_downconversion(1); },
            [](R& r) { return r.z7driver_set_downconversion_no_throw(1); }),
        setter(
            "z7driver_set_frame_area", "50 10 14 00 00 00 00 00 00 3f 00 00 20 40",
            [](R& r) { r.z7driver_set_frame_area(0.5f, 2.5f); },
            [](R& r) { return r.z7driver_set_frame_area_no_throw(0.5f, 2.5f); }),
        setter(
            "z7driver_set_dac_min", "50 10 16 00 00 00 b5 03 00 00",
            [](R& r) { r.z7driver_set_dac_min(949); },
            [](R& r) { return r.z7driver_set_dac_min_no_throw(949); }),
        setter(
            "z7driver_set_dac_max", "50 10 17 00 00 00 4c 04 00 00",
            [](R& r) { r.z7driver_set_dac_max(1100); },
            [](R& r) { return r.z7driver_set_dac_max_no_throw(1100); }),
        setter(
            "z7driver_set_frame_area_offset", "50 10 18 00 00 00 00 00 80 3e",
            [](R& r) { r.z7driver_set_frame_area_offset(0.25f); },
            [](R& r) { return r.z7driver_set_frame_area_offset_no_throw(0.25f); }),
        setter(
            "z7driver_set_enable", "50 10 19 00 00 00 01", [](R& r) { r.z7driver_set_enable(1); },
            [](R& r) { return r.z7driver_set_enable_no_throw(1); }),
        setter(
            "z7driver_set_tx_center_frequency", "50 10 20 00 00 00 03",
            [](R& r) { r.z7driver_set_tx_center_frequency(3); },
            [](R& r) { return r.z7driver_set_tx_center_frequency_no_throw(3); }),
        setter(
            "z7driver_set_tx_power", "50 10 21 00 00 00 02", [](R& r) { r.z7driver_set_tx_power(2); },
            [](R& r) { return r.z7driver_set_tx_power_no_throw(2); }),
        setter(
            "z7driver_set_spi_register", "50 10 22 00 00 00 12 34",
            [](R& r) { r.z7driver_set_spi_register(0x12, 0x34); },
            [](R& r) { return r.z7driver_set_spi_register_no_throw(0x12, 0x34); }),
        // 0x7E is escaped on the wire and must arrive as itself.
        setter(
            "z7driver_set_pif_register", "50 10 23 00 00 00 05 7e",
            [](R& r) { r.z7driver_set_pif_register(0x05, 0x7E); },
            [](R& r) { return r.z7driver_set_pif_register_no_throw(0x05, 0x7E); }),
        setter(
            "z7driver_set_xif_register", "50 10 24 00 00 00 06 07",
            [](R& r) { r.z7driver_set_xif_register(0x06, 0x07); },
            [](R& r) { return r.z7driver_set_xif_register_no_throw(0x06, 0x07); }),
        setter(
            "z7driver_set_prf_div", "50 10 25 00 00 00 10", [](R& r) { r.z7driver_set_prf_div(16); },
            [](R& r) { return r.z7driver_set_prf_div_no_throw(16); }),
        // An empty write sends the parameter id and the address only.
        setter(
            "z7driver_write_to_spi_register", "50 12 22 00 00 00 11",
            [](R& r) { r.z7driver_write_to_spi_register(0x11, {}); },
            [](R& r) { return r.z7driver_write_to_spi_register_no_throw(0x11, {}); }),
        setter(
            "z7driver_write_to_i2c_register", "50 14 27 00 00 00 48 01 02 03",
            [](R& r) {
                r.z7driver_write_to_i2c_register(0x48, { 1, 2, 3 });
            },
            [](R& r) {
                return r.z7driver_write_to_i2c_register_no_throw(0x48, { 1, 2, 3 });
            }),

        // ---- readers: {0x11, type, id} or an error is awaited, reply-record check
        reader<float>(
            "z7driver_get_fps", "50 11 10 00 00 00", f32_type, 0x10, f32s({ 12.5f }), "12.5",
            [](R& r) { return r.z7driver_get_fps(); },
            [](R& r, float* o) { return r.z7driver_get_fps_no_throw(o); }),
        reader<uint32_t>(
            "z7driver_get_pulsesperstep", "50 11 11 00 00 00", u32_type, 0x11, u32s({ 5 }), "5",
            [](R& r) { return r.z7driver_get_pulsesperstep(); },
            [](R& r, uint32_t* o) { return r.z7driver_get_pulsesperstep_no_throw(o); }),
        reader<uint32_t>(
            "z7driver_get_iterations", "50 11 12 00 00 00", u32_type, 0x12, u32s({ 64 }), "64",
            [](R& r) { return r.z7driver_get_iterations(); },
            [](R& r, uint32_t* o) { return r.z7driver_get_iterations_no_throw(o); }),
        reader<uint8_t>(
            "z7driver_get_downconversion", "50 11 13 00 00 00", byte_type, 0x13, { 1 }, "1",
            [](R& r) { return r.z7driver_get_downconversion(); },
            [](R& r, uint8_t* o) { return r.z7driver_get_downconversion_no_throw(o); }),
        // The first float of the data is the start, the second the end.
        reader<Sarvik::FrameArea>(
            "z7driver_get_frame_area", "50 11 14 00 00 00", f32_type, 0x14, f32s({ 0.5f, 2.5f }), "0.5, 2.5",
            [](R& r) { return r.z7driver_get_frame_area(); },
            [](R& r, Sarvik::FrameArea* o) { return r.z7driver_get_frame_area_no_throw(o); }),
        reader<uint32_t>(
            "z7driver_get_dac_min", "50 11 16 00 00 00", u32_type, 0x16, u32s({ 949 }), "949",
            [](R& r) { return r.z7driver_get_dac_min(); },
            [](R& r, uint32_t* o) { return r.z7driver_get_dac_min_no_throw(o); }),
        reader<uint32_t>(
            "z7driver_get_dac_max", "50 11 17 00 00 00", u32_type, 0x17, u32s({ 1100 }), "1100",
            [](R& r) { return r.z7driver_get_dac_max(); },
            [](R& r, uint32_t* o) { return r.z7driver_get_dac_max_no_throw(o); }),
        reader<float>(
            "z7driver_get_frame_area_offset", "50 11 18 00 00 00", f32_type, 0x18, f32s({ 0.25f }), "0.25",
            [](R& r) { return r.z7driver_get_frame_area_offset(); },
            [](R& r, float* o) { return r.z7driver_get_frame_area_offset(o); }),
        reader<uint8_t>(
            "z7driver_get_tx_center_frequency", "50 11 20 00 00 00", byte_type, 0x20, { 3 }, "3",
            [](R& r) { return r.z7driver_get_tx_center_frequency(); },
            [](R& r, uint8_t* o) { return r.z7driver_get_tx_center_frequency_no_throw(o); }),
        reader<uint8_t>(
            "z7driver_get_tx_power", "50 11 21 00 00 00", byte_type, 0x21, { 2 }, "2",
            [](R& r) { return r.z7driver_get_tx_power(); },
            [](R& r, uint8_t* o) { return r.z7driver_get_tx_power_no_throw(o); }),
        // The address is sent but is not part of the awaited prefix.
        reader<uint8_t>(
            "z7driver_get_spi_register", "50 11 22 00 00 00 05", byte_type, 0x22, { 0xAB }, "171",
            [](R& r) { return r.z7driver_get_spi_register(5); },
            [](R& r, uint8_t* o) { return r.z7driver_get_spi_register_no_throw(5, o); }),
        reader<uint8_t>(
            "z7driver_get_pif_register", "50 11 23 00 00 00 06", byte_type, 0x23, { 0x5A }, "90",
            [](R& r) { return r.z7driver_get_pif_register(6); },
            [](R& r, uint8_t* o) { return r.z7driver_get_pif_register(6, o); }),
        reader<uint8_t>(
            "z7driver_get_xif_register", "50 11 24 00 00 00 07", byte_type, 0x24, { 0x0F }, "15",
            [](R& r) { return r.z7driver_get_xif_register(7); },
            [](R& r, uint8_t* o) { return r.z7driver_get_xif_register(7, o); }),
        reader<uint8_t>(
            "z7driver_get_prf_div", "50 11 25 00 00 00", byte_type, 0x25, { 16 }, "16",
            [](R& r) { return r.z7driver_get_prf_div(); },
            [](R& r, uint8_t* o) { return r.z7driver_get_prf_div(o); }),
        reader<uint32_t>(
            "z7driver_get_frame_bin_count", "50 11 26 00 00 00", u32_type, 0x26, u32s({ 188 }), "188",
            [](R& r) { return r.z7driver_get_frame_bin_count(); },
            [](R& r, uint32_t* o) { return r.z7driver_get_frame_bin_count_no_throw(o); }),
        // Bulk reads: the length goes to the module unchanged.
        bulk_reader(
            "z7driver_read_from_spi_register", "50 13 22 00 00 00 11 03 00 00 00", 0x22, { 1, 2, 3 },
            [](R& r) { return r.z7driver_read_from_spi_register(0x11, 3); },
            [](R& r, Bytes* o) { return r.z7driver_read_from_spi_register_no_throw(0x11, o, 3); }),
        bulk_reader(
            "z7driver_read_from_i2c_register", "50 15 27 00 00 00 00 00 00 00", 0x27, {},
            [](R& r) { return r.z7driver_read_from_i2c_register(0); },
            [](R& r, Bytes* o) { return r.z7driver_read_from_i2c_register_no_throw(o, 0); }),
    };
    return table;
}

class ChipDriverCommands : public ::testing::TestWithParam<CommandCase> { };

TEST_P(ChipDriverCommands, SendExactlyAndJudgeTheReply)
{
    run_command(*GetParam().command, GetParam().answer);
}

INSTANTIATE_TEST_SUITE_P(Table, ChipDriverCommands, ::testing::ValuesIn(cases_of(chip_table())), case_name);

// ---- replies that are not the answer --------------------------------------

class ChipDriverSkips : public ::testing::TestWithParam<const Command*> { };

// A reader skips a reply of another parameter and a plain ack as well; a
// setter, which would pass any reply that is not an error, must skip a get
// reply, so the error after it is its answer.
TEST_P(ChipDriverSkips, RepliesItDoesNotAwait)
{
    const Command& c = *GetParam();
    SimulatedConnection connection;
    Rule rule(c.payload);
    if (c.check == Check::HandleAck) {
        rule.reply(get_reply(u32_type, 0x10, u32s({ 1 }))).error(module_error_code);
        connection.module().add_rule(rule);
        EXPECT_EQ(sarvik(module_error_code, c.text + ": module reponded with QRB_SPR_ERROR"),
            c.call(connection.radar()));
    } else {
        Bytes other_parameter = c.reply;
        other_parameter[2] = static_cast<uint8_t>(other_parameter[2] + 1);
        rule.reply(other_parameter).reply(hex("10")).reply(c.decoy).reply(c.reply);
        connection.module().add_rule(rule);
        EXPECT_EQ(c.result, c.call(connection.radar()));
    }
}

std::vector<const Command*> every_row()
{
    std::vector<const Command*> rows;
    for (const Command& c : chip_table())
        rows.push_back(&c);
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Table, ChipDriverSkips, ::testing::ValuesIn(every_row()),
    [](const auto& param_info) { return param_info.param->label; });

// A byte-typed reply to the iterations (a 32-bit value) does not match, and
// nothing else comes: the command ends in the timeout, not in a value.
TEST(ChipDriverTimeout, AReplyOfTheWrongTypeIsNoAnswer)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    radar.set_default_timeout(1);
    connection.module().add_rule(Rule({ 0x50 }).reply(get_reply(byte_type, 0x12, { 5 })));
    EXPECT_EQ(runtime(timeout_text), outcome([&] { return radar.z7driver_get_iterations(); }));
}

// The same exchanges over a pseudo-terminal opened as a serial port.
TEST(ChipDriverOverSerial, SetsAndReadsBack)
{
    SimulatedConnection connection(Transport::Pty);
    auto& radar = connection.radar();
    connection.module().add_rule(Rule(hex("50 10 12")).ack());
    connection.module().add_rule(Rule(hex("50 11 12")).reply(simmodule::u32_reply(0x12, 77)));
    connection.module().clear_received();
    radar.z7driver_set_iterations(77);
    EXPECT_EQ(77u, radar.z7driver_get_iterations());
    ASSERT_EQ(2u, connection.module().received_count());
    EXPECT_EQ(hex("50 10 12 00 00 00 4d 00 00 00"), connection.module().received_at(0));
}

} // namespace
