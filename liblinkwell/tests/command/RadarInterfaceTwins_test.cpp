// Every status-code twin of the module commands, in one table: it exists
// under its exact name and signature, returns 0 and writes its outputs on
// success, returns the code of a SarvikException (which it logs) and 1 for
// any other failure (silently), and leaves its outputs as they were whenever
// it fails. Each twin meets a module that answers, one that refuses every
// command with the code 42, and a closed connection.
#include "command/RadarInterface.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <tuple>

#include "simmodule/Messages.hpp"
#include "support/CommandTestKit.hpp"
#include "support/LogChecks.hpp"
#include "support/SimulatedConnection.hpp"
#include "support/TestSupport.hpp"

namespace {

using commandtest::list_reply;
using commandtest::u32s;
using simmodule::byte_reply;
using simmodule::f32_reply;
using simmodule::get_reply;
using simmodule::Rule;
using simmodule::u32_reply;
using testsupport::dump;
using testsupport::PayloadBuilder;
using testsupport::SimulatedConnection;
using u8 = uint8_t;
using u32 = uint32_t;

// ---- outputs --------------------------------------------------------------------

bool same(float a, float b)
{
    return a == b;
}
bool same(const Sarvik::FrameArea& a, const Sarvik::FrameArea& b)
{
    return a.start == b.start && a.end == b.end;
}
bool same(const Sarvik::Files& a, const Sarvik::Files& b)
{
    return a.file_types == b.file_types && a.file_identifiers == b.file_identifiers;
}
template <typename T> bool same(const T& a, const T& b)
{
    return a == b;
}

// One out-parameter: what it holds before the call, and what it must hold
// after a successful one.
template <typename T> struct Out {
    T before;
    T after;
    T value;
};

template <typename T> Out<T> out(T before, T after)
{
    return { before, after, before };
}

// Hands an output to the twin as a pointer or a reference, whichever its
// signature takes.
template <typename T> struct OutArg {
    T& target;
    operator T*() const { return &target; }
    operator T&() const { return target; }
};

template <typename T> T& pass(T& value)
{
    return value;
}
template <typename T> OutArg<T> pass(Out<T>& o)
{
    return { o.value };
}

template <typename T> bool holds(const T&, bool)
{
    return true;
}
template <typename T> bool holds(const Out<T>& o, bool success)
{
    return same(o.value, success ? o.after : o.before);
}

// The member pointer of exactly this signature: a twin of another name or
// signature does not compile.
template <typename Signature> Signature RadarInterface::*exactly(Signature RadarInterface::*method)
{
    return method;
}
#define TWIN(name, signature) #name, exactly < signature>(&RadarInterface::name)

// ---- how each twin fails ------------------------------------------------------

struct Failure {
    int status;
    bool logged; // a SarvikException, logged with its code
};

// What a refusal (every command answered with the error code 42) and a closed
// connection (every command answered emptily at once) give.
struct Judged {
    std::optional<Failure> refused;
    Failure closed;
};

// handle_ack: the module's code; an empty reply is code 1.
const Judged handle_ack { Failure { 42, true }, { 1, true } };
// The coded ack-record and reply-record checks: the module's code, or the
// decoder's code 5 for an empty reply.
const Judged coded_record { Failure { 42, true }, { 5, true } };
// The error-byte check: code 1 whatever the module said.
const Judged error_byte { Failure { 1, true }, { 1, true } };
// Plain runtime errors (reply-record check, file system, frame injection,
// and commands that await no error, whose refusal ends in the timeout).
const Judged plain { Failure { 1, false }, { 1, false } };
// set_debug_level awaits no error (the refusal times out) and fails on the
// empty reply with the error-byte check.
const Judged unanswered_error_byte { Failure { 1, false }, { 1, true } };

// ---- the table ------------------------------------------------------------------

struct TwinRun {
    int status;
    bool outputs_as_expected;
};

struct TwinCase {
    std::string name;
    std::vector<Rule> success; // the module's script under which the command succeeds
    Judged judged;
    std::function<TwinRun(RadarInterface&, bool expect_success)> run;
};

void PrintTo(const TwinCase& c, std::ostream* os)
{
    *os << c.name;
}

// The twin, called with `slots` in order: values as they are, each Out as
// its pointer or reference.
template <typename Signature, typename... Slots>
TwinCase twin_case(const char* name, Signature RadarInterface::*method, std::vector<Rule> success,
    Judged judged, Slots... slots)
{
    TwinCase c { name, std::move(success), judged, {} };
    c.run = [method, slots...](RadarInterface& radar, bool expect_success) {
        auto fresh = std::make_tuple(slots...);
        const int status = std::apply([&](auto&... s) { return (radar.*method)(pass(s)...); }, fresh);
        const bool ok
            = std::apply([&](const auto&... s) { return (holds(s, expect_success) && ...); }, fresh);
        return TwinRun { status, ok };
    };
    return c;
}

// Answers every command with this packet.
std::vector<Rule> answer(const Bytes& reply)
{
    return { Rule({}).reply(reply) };
}

std::vector<Rule> acked()
{
    return answer(simmodule::ack_reply());
}

// A whole file of three bytes: open, length, one chunk, close.
std::vector<Rule> three_byte_file()
{
    return {
        Rule({ 0x90, 0x69 }).reply(u32_reply(0x69, 3)),
        Rule({ 0x90, 0x71 }).reply(get_reply(0x10, 0x71, { 7, 8, 9 })),
        Rule({}).ack(),
    };
}

const u8 b0 = 0xEE;
const u32 w0 = 0xDEADBEEF;
const float f0 = -999.0f;
const std::string s0 = "untouched";

std::vector<TwinCase> lifecycle_and_identity_twins()
{
    return {
        twin_case(TWIN(reset_no_throw, int()), acked(), handle_ack),

        twin_case(TWIN(set_sensor_mode_and_submode_no_throw, int(u8, u8)), acked(), error_byte, u8 { 0x10 },
            u8 { 2 }),
        twin_case(TWIN(set_sensor_mode_no_throw, int(u8)), acked(), error_byte, u8 { 0x10 }),
        twin_case(TWIN(set_sensor_mode_run_no_throw, int()), acked(), error_byte),
        twin_case(TWIN(set_sensor_mode_idle_no_throw, int()), acked(), error_byte),
        twin_case(
            TWIN(get_sensor_mode_no_throw, int(u8*)), answer(byte_reply(0x26, 1)), plain, out(b0, u8 { 1 })),
        twin_case(TWIN(set_led_control_no_throw, int(u8, u8)), acked(), error_byte, u8 { 1 }, u8 { 2 }),
        twin_case(TWIN(get_led_control_no_throw, int(u8*)), answer(byte_reply(0x71AF2A2C, 3)), plain,
            out(b0, u8 { 3 })),
        twin_case(TWIN(get_item_number, int(std::string*)), answer(simmodule::system_info_reply("item")),
            plain, out(s0, std::string("item"))),
        twin_case(TWIN(get_order_code, int(std::string*)), answer(simmodule::system_info_reply("order")),
            plain, out(s0, std::string("order"))),
        twin_case(TWIN(get_firmware_id, int(std::string*)), answer(simmodule::system_info_reply("fw")), plain,
            out(s0, std::string("fw"))),
        twin_case(TWIN(get_firmware_version, int(std::string*)), answer(simmodule::system_info_reply("1.2")),
            plain, out(s0, std::string("1.2"))),
        twin_case(TWIN(get_build_info, int(std::string*)), answer(simmodule::system_info_reply("build")),
            plain, out(s0, std::string("build"))),
        twin_case(TWIN(get_app_id_list, int(std::string*)), answer(simmodule::system_info_reply("apps")),
            plain, out(s0, std::string("apps"))),
        twin_case(TWIN(get_serial_number, int(std::string*)), answer(simmodule::system_info_reply("SN-1")),
            plain, out(s0, std::string("SN-1"))),
    };
}

std::vector<TwinCase> settings_twins()
{
    return {
        twin_case(TWIN(set_baudrate_no_throw, int(u32)), acked(), coded_record, 115200u),
        twin_case(TWIN(set_parameter_file_no_throw, int(const std::string&, const std::string&)), acked(),
            coded_record, std::string("a.cfg"), std::string("x=1")),
        // Awaits no error reply: a refusal ends in the timeout.
        twin_case(TWIN(get_parameter_file_no_throw, int(const std::string&, std::string&)),
            answer(simmodule::text_reply(0x32BA7623, "x=1")), plain, std::string("a.cfg"),
            out(s0, std::string("x=1"))),
        twin_case(TWIN(set_normalization_no_throw, int(u8)), acked(), handle_ack, u8 { 1 }),
        twin_case(TWIN(set_number_format_no_throw, int(u8)), acked(), handle_ack, u8 { 1 }),
        twin_case(TWIN(set_legacy_output_no_throw, int(u8)), acked(), handle_ack, u8 { 1 }),
        twin_case(TWIN(get_normalization_no_throw, int(u8*)), answer(byte_reply(0x10, 4)), plain,
            out(b0, u8 { 4 })),
        twin_case(TWIN(get_number_format_no_throw, int(u8*)), answer(byte_reply(0x13, 5)), plain,
            out(b0, u8 { 5 })),
        twin_case(TWIN(get_legacy_output_no_throw, int(u8*)), answer(byte_reply(0x14, 6)), plain,
            out(b0, u8 { 6 })),
        twin_case(
            TWIN(set_phase_noise_correction_no_throw, int(u8, float)), acked(), handle_ack, u8 { 1 }, 0.5f),
        twin_case(TWIN(get_phase_noise_correction_no_throw, int(float*)), answer(f32_reply(0x11, { 0.5f })),
            plain, out(f0, 0.5f)),
        twin_case(TWIN(set_decimation_factor_no_throw, int(u32)), acked(), handle_ack, 8u),
        twin_case(TWIN(set_sensitivity_no_throw, int(u32)), acked(), coded_record, 3u),
        twin_case(TWIN(set_tx_center_frequency_no_throw, int(u32)), acked(), coded_record, 3u),
        twin_case(
            TWIN(get_decimation_factor_no_throw, int(u32*)), answer(u32_reply(0x12, 8)), plain, out(w0, 8u)),
        twin_case(
            TWIN(get_sensitivity_no_throw, int(u32*)), answer(u32_reply(0x10A5112B, 3)), plain, out(w0, 3u)),
        twin_case(TWIN(get_tx_center_frequency_no_throw, int(u32*)), answer(u32_reply(0x71AF2A2B, 3)), plain,
            out(w0, 3u)),
        twin_case(TWIN(set_detection_zone_no_throw, int(float, float)), acked(), coded_record, 0.5f, 4.0f),
        twin_case(
            TWIN(set_application_user_zone_no_throw, int(float, float)), acked(), coded_record, 0.5f, 4.0f),
        // Pairs and groups of floats spread over their outputs, first first.
        twin_case(TWIN(get_detection_zone_no_throw, int(float*, float*)),
            answer(f32_reply(0x96A10A1C, { 0.5f, 4.0f })), coded_record, out(f0, 0.5f), out(f0, 4.0f)),
        twin_case(TWIN(get_application_user_zone_no_throw, int(float*, float*)),
            answer(f32_reply(0xA53695BB, { 1.5f, 3.0f })), coded_record, out(f0, 1.5f), out(f0, 3.0f)),
        twin_case(TWIN(get_detection_zone_limits_no_throw, int(float*, float*, float*)),
            answer(f32_reply(0x96A10A1D, { 0.2f, 9.0f, 0.1f })), coded_record, out(f0, 0.2f), out(f0, 9.0f),
            out(f0, 0.1f)),

        twin_case(TWIN(store_noisemap_no_throw, int()), acked(), handle_ack),
        twin_case(TWIN(load_noisemap_no_throw, int()), acked(), handle_ack),
        twin_case(TWIN(delete_noisemap_no_throw, int()), acked(), handle_ack),
        twin_case(TWIN(set_noisemap_control_no_throw, int(u32)), acked(), handle_ack, 5u),
        twin_case(
            TWIN(get_noisemap_control_no_throw, int(u32*)), answer(u32_reply(0, 5)), plain, out(w0, 5u)),
        twin_case(TWIN(set_periodic_noisemap_store_no_throw, int(u32, u32)), acked(), handle_ack, 10u, 60u),
        twin_case(TWIN(get_periodic_noisemap_store_no_throw, int(u32*, u32*)),
            answer(get_reply(0x11, 0, u32s({ 10, 60 }))), plain, out(w0, 10u), out(w0, 60u)),

        twin_case(TWIN(set_iopin_control_no_throw, int(u32, u32, u32)), acked(), handle_ack, 1u, 2u, 3u),
        twin_case(TWIN(get_iopin_control_no_throw, int(u32, u32*, u32*)),
            answer(get_reply(0x11, 0, u32s({ 1, 2 }))), coded_record, 1u, out(w0, 1u), out(w0, 2u)),
        twin_case(TWIN(set_iopin_value_no_throw, int(u32, u32)), acked(), handle_ack, 1u, 1u),
        twin_case(TWIN(get_iopin_value, int(u32, u32*)), answer(u32_reply(0, 0x10001)), plain, 1u,
            out(w0, 0x10001u)),
        twin_case(TWIN(set_output_control_no_throw, int(u32, u32)), acked(), handle_ack, 1u, 1u),
        twin_case(TWIN(set_debug_output_control_no_throw, int(u32, u32)), acked(), handle_ack, 1u, 1u),
        twin_case(TWIN(get_output_control_no_throw, int(u32, u32*)), answer(u32_reply(0, 3)), plain, 1u,
            out(w0, 3u)),
        twin_case(TWIN(get_debug_output_control_no_throw, int(u32, u32*)), answer(u32_reply(0, 3)), plain, 1u,
            out(w0, 3u)),

        twin_case(TWIN(load_profile_no_throw, int(u32)), acked(), coded_record, 0x1423A2D6u),
        twin_case(TWIN(load_sleep_profile_no_throw, int()), acked(), coded_record),
        twin_case(TWIN(load_respiration_profile_no_throw, int()), acked(), coded_record),
        twin_case(TWIN(enable_baseband_no_throw, int(int)), acked(), error_byte, 2),
        twin_case(TWIN(enable_baseband_ap_no_throw, int()), acked(), error_byte),
        twin_case(TWIN(disable_baseband_ap_no_throw, int()), acked(), error_byte),
        twin_case(TWIN(enable_baseband_iq_no_throw, int()), acked(), error_byte),
        twin_case(TWIN(disable_baseband_iq_no_throw, int()), acked(), error_byte),
        twin_case(TWIN(enable_resp_output_no_throw, int()), acked(), coded_record),
        twin_case(TWIN(disable_resp_output_no_throw, int()), acked(), coded_record),
        twin_case(TWIN(reset_to_factory_preset_no_throw, int()), acked(), coded_record),
        twin_case(TWIN(module_reset_no_throw, int()), acked(), handle_ack),
        twin_case(TWIN(start_bootloader_no_throw, int()), acked(), handle_ack),
        // A refused ping reads as the pong value 1 and is no failure of the
        // twin (its own tests show that); only its other failures are here.
        twin_case(TWIN(ping, int(u32*)), answer(simmodule::pong_reply(0x1234)),
            Judged { std::nullopt, { 1, true } }, out(w0, 0x1234u)),
    };
}

std::vector<TwinCase> file_and_injection_twins()
{
    Sarvik::Files files;
    files.file_types = { 1 };
    files.file_identifiers = { 2, 3 };
    return {
        twin_case(TWIN(create_file_no_throw, int(u32, u32, u32)), acked(), plain, 1u, 2u, 3u),
        twin_case(TWIN(open_file_no_throw, int(u32, u32)), acked(), plain, 1u, 2u),
        twin_case(TWIN(delete_file_no_throw, int(u32, u32)), acked(), plain, 1u, 2u),
        twin_case(TWIN(close_file_no_throw, int(u32, u32, bool)), acked(), plain, 1u, 2u, true),
        twin_case(TWIN(format_filesystem_no_throw, int(u32)), acked(), plain, 0u),
        twin_case(TWIN(set_file_data_no_throw, int(u32, u32, u32, const Bytes&)), acked(), plain, 1u, 2u, 0u,
            Bytes { 1, 2 }),
        twin_case(
            TWIN(set_file_no_throw, int(u32, u32, const Bytes&)), acked(), plain, 1u, 2u, Bytes(300, 1)),
        twin_case(TWIN(get_file_length_no_throw, int(u32, u32, u32&)), answer(u32_reply(0x69, 300)), plain,
            1u, 2u, out(w0, 300u)),
        twin_case(TWIN(get_file_data_no_throw, int(u32, u32, u32, u32, Bytes&)),
            answer(get_reply(0x10, 0x71, { 4, 5 })), plain, 1u, 2u, 0u, 2u,
            out(Bytes { b0 }, Bytes { 4, 5 })),
        twin_case(TWIN(get_file_no_throw, int(u32, u32, Bytes&)), three_byte_file(), plain, 1u, 2u,
            out(Bytes { b0 }, Bytes { 7, 8, 9 })),
        twin_case(TWIN(search_for_file_by_type_no_throw, int(u32, std::vector<int>&)),
            answer(list_reply(0x64, { 4, 5 })), plain, 1u,
            out(std::vector<int> { -1 }, std::vector<int> { 4, 5 })),
        twin_case(TWIN(find_all_files_no_throw, int(Sarvik::Files&)), answer(list_reply(0x65, { 1, 2, 3 })),
            plain, out(Sarvik::Files {}, files)),

        twin_case(TWIN(prepare_inject_frame_no_throw, int(u32, u32, u32)), acked(), plain, 1u, 2u, 3u),
        twin_case(TWIN(inject_frame_no_throw, int(u32, u32, const std::vector<float>&)), acked(), plain, 1u,
            1u, std::vector<float> { 1, 2 }),
        twin_case(TWIN(get_profileid_no_throw, int(u32&)), answer(u32_reply(0x74, 0x1423A2D6)), plain,
            out(w0, 0x1423A2D6u)),
    };
}

std::vector<TwinCase> chip_twins()
{
    return {
        twin_case(TWIN(z7driver_init_no_throw, int()), acked(), handle_ack),
        twin_case(TWIN(z7driver_set_fps_no_throw, int(float)), acked(), handle_ack, 1.5f),
        twin_case(TWIN(z7driver_set_frame_area_offset_no_throw, int(float)), acked(), handle_ack, 0.25f),
        twin_case(TWIN(z7driver_set_frame_area_no_throw, int(float, float)), acked(), handle_ack, 0.5f, 2.5f),
        twin_case(TWIN(z7driver_set_iterations_no_throw, int(u32)), acked(), handle_ack, 64u),
        twin_case(TWIN(z7driver_set_pulsesperstep_no_throw, int(u32)), acked(), handle_ack, 5u),
        twin_case(TWIN(z7driver_set_dac_min_no_throw, int(u32)), acked(), handle_ack, 949u),
        twin_case(TWIN(z7driver_set_dac_max_no_throw, int(u32)), acked(), handle_ack, 1100u),
        twin_case(TWIN(z7driver_set_downconversion_no_throw, int(u8)), acked(), handle_ack, u8 { 1 }),
        twin_case(TWIN(z7driver_set_enable_no_throw, int(u8)), acked(), handle_ack, u8 { 1 }),
        twin_case(TWIN(z7driver_set_tx_center_frequency_no_throw, int(u8)), acked(), handle_ack, u8 { 3 }),
        twin_case(TWIN(z7driver_set_tx_power_no_throw, int(u8)), acked(), handle_ack, u8 { 2 }),
        twin_case(TWIN(z7driver_set_prf_div_no_throw, int(u8)), acked(), handle_ack, u8 { 16 }),
        twin_case(
            TWIN(z7driver_set_spi_register_no_throw, int(u8, u8)), acked(), handle_ack, u8 { 1 }, u8 { 2 }),
        twin_case(
            TWIN(z7driver_set_pif_register_no_throw, int(u8, u8)), acked(), handle_ack, u8 { 1 }, u8 { 2 }),
        twin_case(
            TWIN(z7driver_set_xif_register_no_throw, int(u8, u8)), acked(), handle_ack, u8 { 1 }, u8 { 2 }),
        twin_case(TWIN(z7driver_write_to_spi_register_no_throw, int(u8, const Bytes&)), acked(), handle_ack,
            u8 { 1 }, Bytes { 2, 3 }),
        twin_case(TWIN(z7driver_write_to_i2c_register_no_throw, int(u8, const Bytes&)), acked(), handle_ack,
            u8 { 1 }, Bytes { 2, 3 }),
        twin_case(TWIN(z7driver_get_iterations_no_throw, int(u32*)), answer(u32_reply(0x12, 64)), plain,
            out(w0, 64u)),
        twin_case(TWIN(z7driver_get_pulsesperstep_no_throw, int(u32*)), answer(u32_reply(0x11, 5)), plain,
            out(w0, 5u)),
        twin_case(TWIN(z7driver_get_dac_min_no_throw, int(u32*)), answer(u32_reply(0x16, 949)), plain,
            out(w0, 949u)),
        twin_case(TWIN(z7driver_get_dac_max_no_throw, int(u32*)), answer(u32_reply(0x17, 1100)), plain,
            out(w0, 1100u)),
        twin_case(TWIN(z7driver_get_frame_bin_count_no_throw, int(u32*)), answer(u32_reply(0x26, 188)), plain,
            out(w0, 188u)),
        twin_case(TWIN(z7driver_get_downconversion_no_throw, int(u8*)), answer(byte_reply(0x13, 1)), plain,
            out(b0, u8 { 1 })),
        twin_case(TWIN(z7driver_get_tx_center_frequency_no_throw, int(u8*)), answer(byte_reply(0x20, 3)),
            plain, out(b0, u8 { 3 })),
        twin_case(TWIN(z7driver_get_tx_power_no_throw, int(u8*)), answer(byte_reply(0x21, 2)), plain,
            out(b0, u8 { 2 })),
        // Four twins bear the reader's own name.
        twin_case(
            TWIN(z7driver_get_prf_div, int(u8*)), answer(byte_reply(0x25, 16)), plain, out(b0, u8 { 16 })),
        twin_case(TWIN(z7driver_get_fps_no_throw, int(float*)), answer(f32_reply(0x10, { 12.5f })), plain,
            out(f0, 12.5f)),
        twin_case(TWIN(z7driver_get_frame_area_offset, int(float*)), answer(f32_reply(0x18, { 0.25f })),
            plain, out(f0, 0.25f)),
        twin_case(TWIN(z7driver_get_spi_register_no_throw, int(u8, u8*)), answer(byte_reply(0x22, 0xAB)),
            plain, u8 { 5 }, out(b0, u8 { 0xAB })),
        twin_case(TWIN(z7driver_get_pif_register, int(u8, u8*)), answer(byte_reply(0x23, 0x5A)), plain,
            u8 { 5 }, out(b0, u8 { 0x5A })),
        twin_case(TWIN(z7driver_get_xif_register, int(u8, u8*)), answer(byte_reply(0x24, 0x0F)), plain,
            u8 { 5 }, out(b0, u8 { 0x0F })),
        twin_case(TWIN(z7driver_get_frame_area_no_throw, int(Sarvik::FrameArea*)),
            answer(f32_reply(0x14, { 0.5f, 2.5f })), plain,
            out(Sarvik::FrameArea { f0, f0 }, Sarvik::FrameArea { 0.5f, 2.5f })),
        twin_case(TWIN(z7driver_read_from_spi_register_no_throw, int(u8, Bytes*, u32)),
            answer(get_reply(0x10, 0x22, { 1, 2, 3 })), plain, u8 { 0x11 },
            out(Bytes { b0 }, Bytes { 1, 2, 3 }), 3u),
        twin_case(TWIN(z7driver_read_from_i2c_register_no_throw, int(Bytes*, u32)),
            answer(get_reply(0x10, 0x27, { 4 })), plain, out(Bytes { b0 }, Bytes { 4 }), 1u),

        twin_case(TWIN(set_debug_level_no_throw, int(u8)), acked(), unanswered_error_byte, u8 { 3 }),
    };
}

#undef TWIN

std::vector<TwinCase> every_twin()
{
    std::vector<TwinCase> all;
    for (auto part :
        { lifecycle_and_identity_twins(), settings_twins(), file_and_injection_twins(), chip_twins() })
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// try_and_catch logs a SarvikException as "<text> error code: <code>" and
// swallows anything else silently.
bool logged_a_code(const testsupport::RecordingLogger& log)
{
    for (const auto& line : log.errors())
        if (line.find(" error code: ") != std::string::npos)
            return true;
    return false;
}

class Twins : public ::testing::TestWithParam<TwinCase> {
protected:
    SimulatedConnection connection;
    RadarInterface& radar = connection.radar();

    // A refusal that is no answer ends in the timeout: keep it short.
    void SetUp() override { radar.set_default_timeout(1); }
};

TEST_P(Twins, ReturnZeroAndWriteTheirOutputsOnSuccess)
{
    const TwinCase& c = GetParam();
    connection.module().set_rules(c.success);
    const TwinRun run = c.run(radar, true);
    EXPECT_EQ(0, run.status) << dump(connection.log());
    EXPECT_TRUE(run.outputs_as_expected);
    EXPECT_FALSE(logged_a_code(connection.log())) << dump(connection.log());
}

class RefusedTwins : public Twins { };

TEST_P(RefusedTwins, ReturnTheCodeOrOneWhenTheModuleRefuses)
{
    const TwinCase& c = GetParam();
    connection.module().set_rules({ Rule({}).error(42) });
    const TwinRun run = c.run(radar, false);
    EXPECT_EQ(c.judged.refused->status, run.status);
    EXPECT_TRUE(run.outputs_as_expected);
    EXPECT_EQ(c.judged.refused->logged, logged_a_code(connection.log())) << dump(connection.log());
}

TEST_P(Twins, ReturnTheCodeOrOneOnAClosedConnection)
{
    const TwinCase& c = GetParam();
    radar.close();
    const TwinRun run = c.run(radar, false);
    EXPECT_EQ(c.judged.closed.status, run.status);
    EXPECT_TRUE(run.outputs_as_expected);
    EXPECT_EQ(c.judged.closed.logged, logged_a_code(connection.log())) << dump(connection.log());
}

std::vector<TwinCase> refusable_twins()
{
    std::vector<TwinCase> twins;
    for (const auto& c : every_twin())
        if (c.judged.refused)
            twins.push_back(c);
    return twins;
}

INSTANTIATE_TEST_SUITE_P(Every, Twins, ::testing::ValuesIn(every_twin()),
    [](const auto& param_info) { return param_info.param.name; });
INSTANTIATE_TEST_SUITE_P(Every, RefusedTwins, ::testing::ValuesIn(refusable_twins()),
    [](const auto& param_info) { return param_info.param.name; });

} // namespace
