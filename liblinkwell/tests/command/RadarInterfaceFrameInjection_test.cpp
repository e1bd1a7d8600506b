// Frames injected from the host and the module's profile id: exact bytes, the
// count n that sets a frame's length, and failures that carry no code.
#include "support/CommandTestKit.hpp"

using namespace commandtest;
using simmodule::get_reply;
using simmodule::u32_reply;

namespace {

using R = RadarInterface;

const std::vector<float> ten_values { 1.0f, -2.0f, 0.5f, 4.0f, 5.0f, 6.0f, 7.0f, 8.0f, 9.0f, 10.0f };

Bytes injected(uint32_t a, uint32_t n, const std::vector<float>& values)
{
    PayloadBuilder b;
    b.u8(0x90).u8(0x75).u32(a).u32(n);
    for (float v : values)
        b.f32(v);
    return b;
}

template <typename Call, typename Twin>
Command acknowledged_injection(
    const std::string& label, const std::string& operation, const Bytes& payload, Call call, Twin status_form)
{
    return { label, calls(call), twin(status_form), payload, hex("10"), "ok", Check::ReplyRuntime,
        "parse_reply failed in " + operation, operation };
}

const std::vector<Command>& injection_table()
{
    static const std::vector<Command> table {
        acknowledged_injection(
            "prepare_inject_frame", "prepare_inject_frame", hex("90 76 01 00 00 00 00 02 00 00 00 00 03 00"),
            [](R& r) { r.prepare_inject_frame(1, 0x200, 0x30000); },
            [](R& r) { return r.prepare_inject_frame_no_throw(1, 0x200, 0x30000); }),
        // 2 x 3 values: 34 bytes of payload.
        acknowledged_injection(
            "inject_three_pairs", "inject_frame", injected(9, 3, { 1, 2, 3, 4, 5, 6 }),
            [](R& r) {
                r.inject_frame(9, 3, { 1, 2, 3, 4, 5, 6 });
            },
            [](R& r) {
                return r.inject_frame_no_throw(9, 3, { 1, 2, 3, 4, 5, 6 });
            }),
        acknowledged_injection(
            "inject_nothing", "inject_frame", hex("90 75 09 00 00 00 00 00 00 00"),
            [](R& r) { r.inject_frame(9, 0, ten_values); },
            [](R& r) { return r.inject_frame_no_throw(9, 0, ten_values); }),
        // Only the first 2 x n values go, whatever the frame holds.
        acknowledged_injection(
            "inject_two_pairs_of_ten", "inject_frame", injected(9, 2, { 1.0f, -2.0f, 0.5f, 4.0f }),
            [](R& r) { r.inject_frame(9, 2, ten_values); },
            [](R& r) { return r.inject_frame_no_throw(9, 2, ten_values); }),
        { "get_profileid", calls([](R& r) { return r.get_profileid(); }),
            twin_out<uint32_t>([](R& r, uint32_t* o) { return r.get_profileid_no_throw(*o); }), hex("90 74"),
            u32_reply(0x74, 0x1423A2D6), std::to_string(0x1423A2D6), Check::ReplyRuntime,
            "parse_reply failed in get_profileid", "get_profileid", get_reply(0x11, 0x74, { 1, 2 }),
            get_reply(0x10, 0x74, { 7 }) },
    };
    return table;
}

class FrameInjectionCommands : public ::testing::TestWithParam<CommandCase> { };

TEST_P(FrameInjectionCommands, SendExactlyAndJudgeTheReply)
{
    run_command(*GetParam().command, GetParam().answer);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FrameInjectionCommands, ::testing::ValuesIn(cases_of(injection_table())), case_name);

TEST(InjectFrame, TooFewValuesFailBeforeAnythingIsSent)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    connection.module().add_rule(Rule({ 0x90 }).ack());
    connection.module().clear_received();

    const std::vector<float> five { 1, 2, 3, 4, 5 };
    EXPECT_THROW(radar.inject_frame(1, 3, five), std::invalid_argument);
    EXPECT_EQ(1, radar.inject_frame_no_throw(1, 3, five));
    // 2 x 0x80000000 does not fit 32 bits: it must not wrap to 0.
    EXPECT_EQ(1, radar.inject_frame_no_throw(1, 0x80000000u, five));
    // Something that does go, so that nothing earlier can still be in flight.
    EXPECT_EQ(0, radar.prepare_inject_frame_no_throw(1, 2, 3));
    ASSERT_EQ(1u, connection.module().received_count());
    EXPECT_EQ(0x76, connection.module().received_at(0).at(1));
}

// The module's code is not carried: the twins report every failure as 1,
// without an error line.
TEST(FrameInjectionFailures, AreNotLoggedAsModuleErrors)
{
    SimulatedConnection connection;
    connection.module().add_rule(Rule({ 0x90 }).error(42));
    EXPECT_EQ(1, connection.radar().prepare_inject_frame_no_throw(1, 2, 3));
    EXPECT_TRUE(connection.log().errors().empty()) << testsupport::dump(connection.log());
}

} // namespace
