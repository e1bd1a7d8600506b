// Profiles, output switches, factory preset, ping, reset, self test and the
// bootloader entry through a simulated module.
#include "support/CommandTestKit.hpp"

using namespace commandtest;
using simmodule::get_reply;
using simmodule::pong_reply;

namespace {

Command acked_record(const std::string& label, std::function<void(RadarInterface&)> call,
    std::function<int(RadarInterface&)> status_form, const Bytes& payload, const std::string& failure,
    const std::string& trace)
{
    return { label, calls(call), twin(status_form), payload, hex("10"), "ok", Check::AckRecord, failure,
        trace };
}

Command baseband(const std::string& label, std::function<void(RadarInterface&)> call,
    std::function<int(RadarInterface&)> status_form, const Bytes& payload, bool enable)
{
    return { label, calls(call), twin(status_form), payload, hex("10"), "ok", Check::ErrorByte,
        enable ? "enable baseband failed" : "disable baseband failed", "enable_baseband" };
}

const Bytes enable_ap = hex("90 71 10 00 00 00 01 00 00 00 02 00 00 00");
const Bytes enable_iq = hex("90 71 10 00 00 00 01 00 00 00 01 00 00 00");
// Disabling names no kind: both outputs are switched off by the same bytes.
const Bytes disable_any = hex("90 71 10 00 00 00 00 00 00 00");

const std::vector<Command>& lifecycle_table()
{
    static const std::vector<Command> table {
        acked_record(
            "load_profile", [](RadarInterface& r) { r.load_profile(0xAABBCCDD); },
            [](RadarInterface& r) { return r.load_profile_no_throw(0xAABBCCDD); }, hex("21 dd cc bb aa"),
            "load profile failed", "load_profile"),
        acked_record(
            "load_sleep_profile", [](RadarInterface& r) { r.load_sleep_profile(); },
            [](RadarInterface& r) { return r.load_sleep_profile_no_throw(); }, hex("21 17 7b f1 00"),
            "load profile failed", "load_profile"),
        acked_record(
            "load_respiration_profile", [](RadarInterface& r) { r.load_respiration_profile(); },
            [](RadarInterface& r) { return r.load_respiration_profile_no_throw(); }, hex("21 d6 a2 23 14"),
            "load profile failed", "load_profile"),

        // The kind's twin only ever enables.
        baseband(
            "enable_baseband", [](RadarInterface& r) { r.enable_baseband(2, true); },
            [](RadarInterface& r) { return r.enable_baseband_no_throw(2); }, enable_ap, true),
        baseband(
            "enable_baseband_disabling", [](RadarInterface& r) { r.enable_baseband(1, false); },
            [](RadarInterface& r) { return r.disable_baseband_iq_no_throw(); }, disable_any, false),
        baseband(
            "enable_baseband_ap", [](RadarInterface& r) { r.enable_baseband_ap(); },
            [](RadarInterface& r) { return r.enable_baseband_ap_no_throw(); }, enable_ap, true),
        baseband(
            "disable_baseband_ap", [](RadarInterface& r) { r.disable_baseband_ap(); },
            [](RadarInterface& r) { return r.disable_baseband_ap_no_throw(); }, disable_any, false),
        baseband(
            "enable_baseband_iq", [](RadarInterface& r) { r.enable_baseband_iq(); },
            [](RadarInterface& r) { return r.enable_baseband_iq_no_throw(); }, enable_iq, true),
        baseband(
            "disable_baseband_iq", [](RadarInterface& r) { r.disable_baseband_iq(); },
            [](RadarInterface& r) { return r.disable_baseband_iq_no_throw(); }, disable_any, false),

        acked_record(
            "enable_resp_output", [](RadarInterface& r) { r.enable_resp_output(); },
            [](RadarInterface& r) { return r.enable_resp_output_no_throw(); },
            hex("90 71 11 00 00 00 01 00 00 00 01 00 00 00"), "enable_resp_output failed",
            "enable_resp_output"),
        acked_record(
            "disable_resp_output", [](RadarInterface& r) { r.disable_resp_output(); },
            [](RadarInterface& r) { return r.disable_resp_output_no_throw(); },
            hex("90 71 11 00 00 00 01 00 00 00 00 00 00 00"), "disable_resp_output failed",
            "disable_resp_output"),
        acked_record(
            "reset_to_factory_preset", [](RadarInterface& r) { r.reset_to_factory_preset(); },
            [](RadarInterface& r) { return r.reset_to_factory_preset_no_throw(); }, hex("10 12"),
            "reset_to_factory_preset failed", "reset_to_factory_preset"),

        { "module_reset", calls([](RadarInterface& r) { r.module_reset(); }),
            twin([](RadarInterface& r) { return r.module_reset_no_throw(); }), hex("22"), hex("10"), "ok",
            Check::HandleAck, "module_reset", "module_reset" },
        // One key, no twin and no Trace of its own.
        { "start_bootloader_key", calls([](RadarInterface& r) { r.start_bootloader(0x12345678u); }), nullptr,
            hex("02 78 56 34 12"), hex("10"), "ok", Check::HandleAck, "start_bootloader", "" },
    };
    return table;
}

class LifecycleCommands : public ::testing::TestWithParam<CommandCase> { };

TEST_P(LifecycleCommands, SendExactlyAndJudgeTheReply)
{
    run_command(*GetParam().command, GetParam().answer);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LifecycleCommands, ::testing::ValuesIn(cases_of(lifecycle_table())), case_name);

// ---- ping ---------------------------------------------------------------

struct PingCase {
    const char* label;
    Answer answer;
    Bytes reply;
    std::string value; // the throwing form's outcome
    int status;
    uint32_t pong; // what the twin leaves in its output
};

class Ping : public ::testing::TestWithParam<PingCase> { };

TEST_P(Ping, ReturnsThePongValueOrOneForARefusedReply)
{
    const PingCase& param = GetParam();
    SimulatedConnection c;
    arrange(c, hex("01 ae ea aa ee"), param.answer, replies(param.reply));

    EXPECT_EQ(param.value, outcome([&] { return c.radar().ping(); }));
    uint32_t pong = sentinel<uint32_t>();
    EXPECT_EQ(param.status, c.radar().ping(&pong));
    EXPECT_EQ(param.pong, pong);
    EXPECT_EQ(2, c.log().count("ping -- end"));
    if (param.answer == Answer::Closed) {
        EXPECT_TRUE(testsupport::logged_error(c.log(), "ping response from module is empty error code: 1"));
    }
    if (param.answer != Answer::Closed) {
        EXPECT_TRUE(c.module().wait_for_received(2, 5s));
        EXPECT_EQ(std::vector<Bytes>(2, hex("01 ae ea aa ee")), c.module().received());
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, Ping,
    ::testing::Values(PingCase { "pong", Answer::Good, pong_reply(0x12345678), "305419896", 0, 0x12345678 },
        // A refused ping reads as the value 1, as callers expect.
        PingCase { "module_error", Answer::ModuleError, hex("20 07 00 00 00"), "1", 0, 1 },
        PingCase { "short_pong", Answer::ShortData, hex("01 78 56 34"), "1", 0, 1 },
        PingCase { "short_error", Answer::ShortError, short_error_reply(), "1", 0, 1 },
        // No answer at all: 1 as well, but the twin must not report a ping
        // that never went out as answered.
        PingCase { "closed", Answer::Closed, {}, "1", 1, sentinel<uint32_t>() },
        PingCase { "silent", Answer::Silent, {}, runtime(timeout_text), 1, sentinel<uint32_t>() }),
    [](const auto& param_info) { return std::string(param_info.param.label); });

// ---- self test ----------------------------------------------------------

struct SelfTestCase {
    const char* label;
    Answer answer;
    Bytes reply;
    std::string outcome; // the result, or the exception
    Bytes result; // the vector afterwards
};

class SystemRunTest : public ::testing::TestWithParam<SelfTestCase> { };

TEST_P(SystemRunTest, FillsTheResultOnlyFromAWholeReply)
{
    const SelfTestCase& param = GetParam();
    SimulatedConnection c;
    arrange(c, hex("90 50 07"), param.answer, replies(param.reply));

    Bytes result = sentinel<Bytes>();
    EXPECT_EQ(param.outcome, outcome([&] { return c.radar().system_run_test(7, &result); }));
    EXPECT_EQ(param.result, result);
    EXPECT_EQ(1, c.log().count("system_run_test -- end"));
}

INSTANTIATE_TEST_SUITE_P(Answers, SystemRunTest,
    ::testing::Values(
        SelfTestCase { "data", Answer::Good, get_reply(0x10, 0x50, hex("01 02 03")), "0", hex("01 02 03") },
        SelfTestCase { "no_data", Answer::Good, get_reply(0x10, 0x50, {}), "0", {} },
        SelfTestCase { "acknowledgement", Answer::Good, hex("10"), "1", sentinel<Bytes>() },
        SelfTestCase { "module_error", Answer::ModuleError, hex("20 07 00 00 00"), "1", sentinel<Bytes>() },
        // A length field beyond the data that arrived is refused, not read.
        SelfTestCase { "length_beyond_data", Answer::ShortData,
            hex("11 10 50 00 00 00 00 00 00 00 05 00 00 00 01 02"), "1", sentinel<Bytes>() },
        SelfTestCase { "closed", Answer::Closed, {}, "1", sentinel<Bytes>() },
        SelfTestCase { "silent", Answer::Silent, {}, runtime(timeout_text), sentinel<Bytes>() }),
    [](const auto& param_info) { return std::string(param_info.param.label); });

// ---- bootloader entry ---------------------------------------------------

const Bytes first_key = hex("02 94 2b 6c 3f");
const Bytes second_key = hex("02 a3 c0 41 7d");

TEST(StartBootloader, AcceptedFirstKeySendsOnePacket)
{
    SimulatedConnection c;
    c.module().add_rule(Rule(first_key).ack());
    EXPECT_EQ(0, c.radar().start_bootloader_no_throw());
    ASSERT_TRUE(c.module().wait_for_received(1, 5s));
    EXPECT_EQ((std::vector<Bytes> { first_key }), c.module().received());
}

TEST(StartBootloader, RefusedFirstKeyIsFollowedByTheSecond)
{
    SimulatedConnection c;
    c.module().add_rule(Rule(first_key).error(7));
    c.module().add_rule(Rule(second_key).ack());
    EXPECT_EQ("ok", outcome([&] { c.radar().start_bootloader(); }));
    EXPECT_EQ((std::vector<Bytes> { first_key, second_key }), c.module().received());
}

TEST(StartBootloader, SilenceOnTheFirstKeyIsFollowedByTheSecond)
{
    SimulatedConnection c;
    c.radar().set_default_timeout(1);
    c.module().add_rule(Rule(first_key));
    c.module().add_rule(Rule(second_key).ack());
    EXPECT_EQ("ok", outcome([&] { c.radar().start_bootloader(); }));
    EXPECT_EQ((std::vector<Bytes> { first_key, second_key }), c.module().received());
}

TEST(StartBootloader, BothKeysRefusedReportTheSecondFailure)
{
    SimulatedConnection c;
    c.module().add_rule(Rule(first_key).error(7));
    c.module().add_rule(Rule(second_key).error(9));
    EXPECT_EQ(sarvik(9, "start_bootloader: module reponded with QRB_SPR_ERROR"),
        outcome([&] { c.radar().start_bootloader(); }));
    EXPECT_EQ(9, c.radar().start_bootloader_no_throw());
    EXPECT_EQ((std::vector<Bytes> { first_key, second_key, first_key, second_key }), c.module().received());
}

TEST(StartBootloader, ClosedConnectionFails)
{
    SimulatedConnection c;
    c.radar().close();
    EXPECT_EQ(sarvik(1, "start_bootloader response from module is empty"),
        outcome([&] { c.radar().start_bootloader(); }));
    EXPECT_EQ(1, c.radar().start_bootloader_no_throw());
}

} // namespace
