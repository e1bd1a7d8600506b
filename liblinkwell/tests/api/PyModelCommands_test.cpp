// Every command method of the value-returning model classes against the
// throwing interface operation it stands for, called with the same arguments:
// the two must send the module the same payloads and come back with the same
// value or the same exception, type, code and text included. Distinct
// argument values show any argument dropped, changed or swapped. Each method
// is called with the module silent (the reply timeout, at once), under the
// rows' scripts (a value, an acknowledgement, an error reply, each with the
// method's exact outcome) and on a closed connection.
#include "support/CommandTestKit.hpp"
#include "support/PyModelConnection.hpp"

#include <tuple>
#include <utility>

// A namespace of its own: the program's other files build rows and
// helpers of the same names.
namespace py_model_commands {

using namespace commandtest;
using simmodule::byte_reply;
using simmodule::f32_reply;
using simmodule::get_reply;
using simmodule::pong_reply;
using simmodule::system_info_reply;
using simmodule::text_reply;
using simmodule::u32_reply;
using testsupport::PyModelConnection;
using u8 = uint8_t;
using u32 = uint32_t;

// ---- outcomes ---------------------------------------------------------------------

// The results that the shared renderers do not know, as text.
struct Shown {
    std::string text;
};
std::string render(const Shown& shown)
{
    return shown.text;
}

std::string listed(const std::vector<int>& values)
{
    std::string out;
    for (int v : values)
        out += (out.empty() ? "" : " ") + std::to_string(v);
    return "{" + out + "}";
}

template <typename T> const T& presentable(const T& value)
{
    return value;
}
Shown presentable(const std::vector<int>& values)
{
    return { listed(values) };
}
Shown presentable(const Sarvik::FrameArea& area)
{
    return { commandtest::render(area.start) + ".." + commandtest::render(area.end) };
}
Shown presentable(const Sarvik::Files& files)
{
    return { listed(files.file_types) + listed(files.file_identifiers) };
}

// "ok", the value, or the exception, as outcome() renders them.
template <typename Call> std::string result_of(Call call)
{
    return outcome([&] {
        if constexpr (std::is_void_v<decltype(call())>)
            return call();
        else
            return presentable(call());
    });
}

// ---- the table --------------------------------------------------------------------

// A module's script under which the method must have exactly this outcome.
struct Answer {
    std::string label;
    std::vector<simmodule::Rule> rules;
    std::string expected;
};

struct Row {
    std::string name;
    std::function<std::string(PyModelConnection&)> method;
    std::function<std::string(RadarInterface&)> operation;
    std::vector<Answer> answers;
    std::string closed; // the outcome on a closed connection; empty: as the operation's

    Row answered(std::string label, std::vector<simmodule::Rule> rules, std::string expected) &&
    {
        answers.push_back({ std::move(label), std::move(rules), std::move(expected) });
        return std::move(*this);
    }
    Row when_closed(std::string expected) &&
    {
        closed = std::move(expected);
        return std::move(*this);
    }
};

// Keeps a parameter out of template argument deduction.
template <typename T> struct Given {
    using type = T;
};

// The method and the operation take the same parameters and return the same
// type; of an overloaded operation, the overload of that signature is the one
// compared.
template <typename Model, typename R, typename... Params, typename... Args>
Row same(std::string name, R (Model::*method)(Params...),
    typename Given<R (RadarInterface::*)(Params...)>::type operation, Args... args)
{
    const std::tuple<Args...> arguments { args... };
    return Row { std::move(name),
        [=](PyModelConnection& c) {
            return result_of([&] {
                return std::apply(
                    [&](const auto&... a) { return (c.get<Model>().*method)(a...); }, arguments);
            });
        },
        [=](RadarInterface& r) {
            return result_of([&] {
                return std::apply([&](const auto&... a) { return (r.*operation)(a...); }, arguments);
            });
        },
        {}, {} };
}

template <typename Method, typename Operation>
Row by_hand(std::string name, Method method, Operation operation)
{
    return Row { std::move(name), [method](PyModelConnection& c) { return method(c); },
        [operation](RadarInterface& r) { return operation(r); }, {}, {} };
}

#define METHOD(Model, name) #name, &Model::name

std::vector<simmodule::Rule> answer(const Bytes& reply)
{
    return { simmodule::Rule({}).reply(reply) };
}
const std::vector<simmodule::Rule> acked { simmodule::Rule({}).ack() };
const std::vector<simmodule::Rule> refused { simmodule::Rule({}).error(module_error_code) };

// A whole file of three bytes: open, length, one chunk, close.
const std::vector<simmodule::Rule> three_byte_file {
    simmodule::Rule({ 0x90, 0x69 }).reply(u32_reply(0x69, 3)),
    simmodule::Rule({ 0x90, 0x71 }).reply(get_reply(0x10, 0x71, { 7, 8, 9 })),
    simmodule::Rule({}).ack(),
};

std::vector<Row> joined(std::vector<Row> first, const std::vector<Row>& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// The system and I/O pin commands that PyDax shares with PyOsprey, PyFalcon
// and PyGannet.
template <typename M> std::vector<Row> shared_rows()
{
    using R = RadarInterface;
    return {
        same(METHOD(M, set_baudrate), &R::set_baudrate, u32 { 230400 }),
        same(METHOD(M, get_system_info), &R::get_system_info, u8 { 6 })
            .answered("a text", answer(system_info_reply("SN-7")), "\"SN-7\""),
        same(METHOD(M, ping), &R::ping).answered("a pong", answer(pong_reply(0x1234)), "4660"),
        same(METHOD(M, module_reset), &R::module_reset)
            .answered("acknowledged", acked, "ok")
            .answered("refused", refused, sarvik(7, "module_reset: module reponded with QRB_SPR_ERROR"))
            .when_closed(sarvik(1, "module_reset response from module is empty")),
        same(METHOD(M, set_iopin_control), &R::set_iopin_control, u32 { 1 }, u32 { 2 }, u32 { 3 }),
        same(METHOD(M, set_iopin_value), &R::set_iopin_value, u32 { 1 }, u32 { 2 }),
        same(METHOD(M, get_iopin_value), &R::get_iopin_value, u32 { 1 })
            .answered("a word", answer(get_reply(0x11, 0, u32s({ 9 }))), "9")
            .when_closed(runtime("parse_reply failed in get_iopin_value")),
    };
}

std::vector<Row> dax_rows()
{
    using M = Sarvik::PyDax;
    using R = RadarInterface;
    return joined(shared_rows<M>(),
        {
            same(METHOD(M, set_normalization), &R::set_normalization, u8 { 0x21 }),
            same(METHOD(M, get_normalization), &R::get_normalization)
                .answered("a byte", answer(byte_reply(0x10, 0xC4)), "196"),
            same(METHOD(M, set_phase_noise_correction), &R::set_phase_noise_correction, u8 { 0x21 }, 1.5f),
            same(METHOD(M, get_phase_noise_correction), &R::get_phase_noise_correction),
            same(METHOD(M, set_decimation_factor), &R::set_decimation_factor, u32 { 0x10203040 }),
            same(METHOD(M, get_decimation_factor), &R::get_decimation_factor),
            same(METHOD(M, set_number_format), &R::set_number_format, u8 { 0x21 }),
            same(METHOD(M, get_number_format), &R::get_number_format),
            same(METHOD(M, set_legacy_output), &R::set_legacy_output, u8 { 0x21 }),
            same(METHOD(M, get_legacy_output), &R::get_legacy_output),

            same(METHOD(M, z7driver_set_fps), &R::z7driver_set_fps, 12.5f)
                .answered("acknowledged", acked, "ok")
                .answered(
                    "refused", refused, sarvik(7, "z7driver_set_fps: module reponded with QRB_SPR_ERROR")),
            same(METHOD(M, z7driver_get_fps), &R::z7driver_get_fps),
            same(METHOD(M, z7driver_set_enable), &R::z7driver_set_enable, u8 { 0x21 }),
            same(METHOD(M, z7driver_init), &R::z7driver_init),
            same(METHOD(M, z7driver_set_iterations), &R::z7driver_set_iterations, u32 { 0x10203040 }),
            same(METHOD(M, z7driver_get_iterations), &R::z7driver_get_iterations),
            same(METHOD(M, z7driver_set_pulses_per_step), &R::z7driver_set_pulsesperstep, u32 { 0x10203040 }),
            same(METHOD(M, z7driver_get_pulses_per_step), &R::z7driver_get_pulsesperstep),
            same(METHOD(M, z7driver_set_dac_min), &R::z7driver_set_dac_min, u32 { 0x10203040 }),
            same(METHOD(M, z7driver_get_dac_min), &R::z7driver_get_dac_min),
            same(METHOD(M, z7driver_set_dac_max), &R::z7driver_set_dac_max, u32 { 0x10203040 }),
            same(METHOD(M, z7driver_get_dac_max), &R::z7driver_get_dac_max),
            same(METHOD(M, z7driver_set_tx_power), &R::z7driver_set_tx_power, u8 { 0x21 }),
            same(METHOD(M, z7driver_get_tx_power), &R::z7driver_get_tx_power),
            same(METHOD(M, z7driver_set_downconversion), &R::z7driver_set_downconversion, u8 { 0x21 }),
            same(METHOD(M, z7driver_get_downconversion), &R::z7driver_get_downconversion),
            same(METHOD(M, z7driver_get_frame_bin_count), &R::z7driver_get_frame_bin_count),
            same(METHOD(M, z7driver_set_frame_area), &R::z7driver_set_frame_area, 0.5f, 2.5f),
            same(METHOD(M, z7driver_get_frame_area), &R::z7driver_get_frame_area)
                .answered("two floats", answer(f32_reply(0x14, { 0.5f, 2.5f })), "0.5..2.5"),
            same(METHOD(M, z7driver_set_frame_area_offset), &R::z7driver_set_frame_area_offset, 0.25f),
            same(METHOD(M, z7driver_get_frame_area_offset), &R::z7driver_get_frame_area_offset),
            same(METHOD(M, z7driver_set_tx_center_frequency), &R::z7driver_set_tx_center_frequency,
                u8 { 0x21 }),
            same(METHOD(M, z7driver_get_tx_center_frequency), &R::z7driver_get_tx_center_frequency),
            same(METHOD(M, z7driver_set_spi_register), &R::z7driver_set_spi_register, u8 { 0x21 },
                u8 { 0x43 }),
            same(METHOD(M, z7driver_get_spi_register), &R::z7driver_get_spi_register, u8 { 0x21 }),
            same(METHOD(M, z7driver_write_to_spi_register), &R::z7driver_write_to_spi_register, u8 { 0x21 },
                Bytes { 1, 2, 3 }),
            same(METHOD(M, z7driver_read_from_spi_register), &R::z7driver_read_from_spi_register, u8 { 0x21 },
                u32 { 3 })
                .answered("three bytes", answer(get_reply(0x10, 0x22, { 1, 2, 3 })), "[01 02 03]"),
            same(METHOD(M, z7driver_write_to_i2c_register), &R::z7driver_write_to_i2c_register, u8 { 0x21 },
                Bytes { 1, 2, 3 }),
            same(METHOD(M, z7driver_read_from_i2c_register), &R::z7driver_read_from_i2c_register,
                u32 { 0x10203040 }),
            same(METHOD(M, z7driver_set_pif_register), &R::z7driver_set_pif_register, u8 { 0x21 },
                u8 { 0x43 }),
            same(METHOD(M, z7driver_get_pif_register), &R::z7driver_get_pif_register, u8 { 0x21 }),
            same(METHOD(M, z7driver_set_xif_register), &R::z7driver_set_xif_register, u8 { 0x21 },
                u8 { 0x43 }),
            same(METHOD(M, z7driver_get_xif_register), &R::z7driver_get_xif_register, u8 { 0x21 }),
            same(METHOD(M, z7driver_set_prf_div), &R::z7driver_set_prf_div, u8 { 0x21 }),
            same(METHOD(M, z7driver_get_prf_div), &R::z7driver_get_prf_div),

            same(METHOD(M, search_for_file_by_type), &R::search_for_file_by_type, u32 { 7 }),
            same(METHOD(M, find_all_files), &R::find_all_files),
            same(METHOD(M, create_file), &R::create_file, u32 { 1 }, u32 { 2 }, u32 { 3 }),
            same(METHOD(M, open_file), &R::open_file, u32 { 1 }, u32 { 2 }),
            same(
                METHOD(M, set_file_data), &R::set_file_data, u32 { 1 }, u32 { 2 }, u32 { 3 }, Bytes { 4, 5 }),
            same(METHOD(M, close_file), &R::close_file, u32 { 1 }, u32 { 2 }, true),
            same(METHOD(M, get_file_length), &R::get_file_length, u32 { 1 }, u32 { 2 })
                .answered("a length", answer(u32_reply(0x69, 300)), "300"),
            same(METHOD(M, delete_file), &R::delete_file, u32 { 1 }, u32 { 2 }),
            same(METHOD(M, format_filesystem), &R::format_filesystem, u32 { 0x10203040 }),
            same(METHOD(M, get_file_data), &R::get_file_data, u32 { 1 }, u32 { 2 }, u32 { 3 }, u32 { 4 }),
            same(METHOD(M, set_file), &R::set_file, u32 { 1 }, u32 { 2 }, Bytes { 4, 5 }),
            same(METHOD(M, get_file), &R::get_file, u32 { 1 }, u32 { 2 })
                .answered("a file", three_byte_file, "[07 08 09]")
                .when_closed(runtime("parse_reply failed in open_file")),
        });
}

// The commands of PyOsprey, PyFalcon and PyGannet but reset and
// system_run_test, whose results differ.
template <typename M> std::vector<Row> application_module_rows()
{
    using R = RadarInterface;
    return joined(shared_rows<M>(),
        {
            same(METHOD(M, set_debug_level), &R::set_debug_level, u8 { 0x21 }),
            same(METHOD(M, reset_to_factory_preset), &R::reset_to_factory_preset),
            same(METHOD(M, start_bootloader), &R::start_bootloader),
            same(METHOD(M, inject_frame), &R::inject_frame, u32 { 1 }, u32 { 1 },
                std::vector<float> { 0.5f, 1.5f }),
            same(METHOD(M, prepare_inject_frame), &R::prepare_inject_frame, u32 { 1 }, u32 { 2 }, u32 { 3 }),
            same(METHOD(M, load_profile), &R::load_profile, u32 { 0x1423A2D6 }),
            same(METHOD(M, set_sensor_mode), &R::set_sensor_mode_and_submode, u8 { 0x10 }, u8 { 2 }),
            same(METHOD(M, get_sensor_mode), &R::get_sensor_mode),

            same(METHOD(M, set_sensitivity), &R::set_sensitivity, u32 { 0x10203040 })
                .answered("acknowledged", acked, "ok")
                .answered("refused", refused, sarvik(7, "set_sensitivity failed"))
                .when_closed(sarvik(5, "set_sensitivity failed")),
            same(METHOD(M, get_sensitivity), &R::get_sensitivity)
                .answered("a word", answer(u32_reply(0x10A5112B, 5)), "5")
                .when_closed(runtime("parse_reply failed in get_sensitivity")),
            same(METHOD(M, set_tx_center_frequency), &R::set_tx_center_frequency, u32 { 0x10203040 }),
            same(METHOD(M, get_tx_center_frequency), &R::get_tx_center_frequency),
            same(METHOD(M, get_detection_zone), &R::get_detection_zone)
                .answered("two floats", answer(f32_reply(0x96A10A1C, { 0.5f, 4.5f })), "0.5, 4.5")
                .answered("refused", refused, sarvik(7, "get_detection_zone failed")),
            same(METHOD(M, set_detection_zone), &R::set_detection_zone, 0.5f, 4.5f)
                .answered("refused", refused, sarvik(7, "set_detection_zone failed")),
            same(METHOD(M, get_detection_zone_limits), &R::get_detection_zone_limits)
                .answered(
                    "three floats", answer(f32_reply(0x96A10A1D, { 0.25f, 9.0f, 0.5f })), "0.25, 9, 0.5"),
            same(METHOD(M, set_led_control), &R::set_led_control, u8 { 0x21 }, u8 { 0x43 }),
            same(METHOD(M, get_led_control), &R::get_led_control),
            same(METHOD(M, set_output_control), &R::set_output_control, u32 { 1 }, u32 { 2 }),
            same(METHOD(M, get_output_control), &R::get_output_control, u32 { 1 }),
            same(METHOD(M, set_debug_output_control), &R::set_debug_output_control, u32 { 1 }, u32 { 2 }),
            same(METHOD(M, get_debug_output_control), &R::get_debug_output_control, u32 { 1 }),

            same(METHOD(M, load_noisemap), &R::load_noisemap),
            same(METHOD(M, store_noisemap), &R::store_noisemap),
            same(METHOD(M, delete_noisemap), &R::delete_noisemap),
            same(METHOD(M, set_noisemap_control), &R::set_noisemap_control, u32 { 0x10203040 }),
            same(METHOD(M, get_noisemap_control), &R::get_noisemap_control),
            same(METHOD(M, set_periodic_noisemap_store), &R::set_periodic_noisemap_store, u32 { 1 },
                u32 { 2 }),
            same(METHOD(M, get_periodic_noisemap_store), &R::get_periodic_noisemap_store)
                .answered("two words", answer(get_reply(0x11, 0, u32s({ 10, 60 }))), "10, 60"),

            same(METHOD(M, get_parameter_file), &R::get_parameter_file, std::string("a.cfg"))
                .answered("a text", answer(text_reply(0x32BA7623, "x=1")), "\"x=1\""),
            same(METHOD(M, get_profileid), &R::get_profileid)
                .answered("an id", answer(u32_reply(0x74, 0x1423A2D6)), "337879766"),
            same(METHOD(M, set_parameter_file), &R::set_parameter_file, std::string("a.cfg"),
                std::string("x=1"))
                .answered("acknowledged", acked, "ok")
                .answered("refused", refused, sarvik(7, "set_parameter_file failed")),
            same(METHOD(M, get_iopin_control), &R::get_iopin_control, u32 { 1 })
                .answered("two words", answer(get_reply(0x11, 0, u32s({ 5, 6 }))), "5, 6"),
        });
}

// The call's outcome, then the result bytes as it left them.
template <typename Call> std::string with_result(Call call)
{
    Bytes result = sentinel<Bytes>();
    const std::string called = result_of([&] { return call(&result); });
    return called + " | " + commandtest::render(result);
}

// A passed test's result, refused as no result.
const std::vector<simmodule::Rule> test_result = answer(get_reply(0x10, 0x50, { 1, 2 }));

std::vector<Row> osprey_rows()
{
    using M = Sarvik::PyOsprey;
    return joined(application_module_rows<M>(),
        {
            by_hand(
                "reset", [](PyModelConnection& c) { return result_of([&] { return c.osprey.reset(); }); },
                [](RadarInterface& r) { return result_of([&] { r.reset(); }); }),
            // The status and the result bytes.
            by_hand(
                "system_run_test",
                [](PyModelConnection& c) {
                    return with_result([&](Bytes* result) { return c.osprey.system_run_test(0x21, result); });
                },
                [](RadarInterface& r) {
                    return with_result([&](Bytes* result) { return r.system_run_test(0x21, result); });
                })
                .answered("a result", test_result, "0 | [01 02]")
                .answered("refused", refused, "1 | [ee ee]"),
        });
}

template <typename M> std::vector<Row> respiration_module_rows()
{
    using R = RadarInterface;
    return joined(application_module_rows<M>(),
        {
            same(METHOD(M, reset), &R::reset),
            // No status: the result bytes alone, also when there are none.
            by_hand(
                "system_run_test",
                [](PyModelConnection& c) {
                    return with_result([&](Bytes* result) { c.get<M>().system_run_test(0x21, result); });
                },
                [](RadarInterface& r) {
                    return with_result([&](Bytes* result) { r.system_run_test(0x21, result); });
                })
                .answered("a result", test_result, "ok | [01 02]")
                .answered("refused", refused, "ok | [ee ee]")
                .when_closed("ok | [ee ee]"),
        });
}

std::vector<Row> corvid_rows()
{
    using M = Sarvik::PyCorvid;
    using R = RadarInterface;
    return {
        same(METHOD(M, set_debug_level), &R::set_debug_level, u8 { 0x21 }),
        same(METHOD(M, ping), &R::ping).answered("a pong", answer(pong_reply(0x1234)), "4660"),
        same(METHOD(M, get_item_number), &R::get_item_number),
        same(METHOD(M, get_order_code), &R::get_order_code),
        same(METHOD(M, get_firmware_id), &R::get_firmware_id),
        same(METHOD(M, get_firmware_version), &R::get_firmware_version),
        same(METHOD(M, get_serial_number), &R::get_serial_number)
            .answered("a text", answer(system_info_reply("SN-1")), "\"SN-1\"")
            .when_closed(runtime("error parsing reply in get_system_info")),
        same(METHOD(M, get_build_info), &R::get_build_info),
        same(METHOD(M, get_app_id_list), &R::get_app_id_list),

        same(METHOD(M, reset), &R::reset)
            .when_closed(sarvik(1, "module_reset response from module is empty")),
        same(METHOD(M, start_bootloader), &R::start_bootloader),
        same(METHOD(M, set_sensor_mode_run), &R::set_sensor_mode_run),
        same(METHOD(M, set_sensor_mode_idle), &R::set_sensor_mode_idle),
        same(METHOD(M, load_sleep_profile), &R::load_sleep_profile),
        same(METHOD(M, load_respiration_profile), &R::load_respiration_profile),

        same(METHOD(M, enable_baseband_ap), &R::enable_baseband_ap),
        same(METHOD(M, disable_baseband_ap), &R::disable_baseband_ap),
        same(METHOD(M, enable_baseband_iq), &R::enable_baseband_iq),
        same(METHOD(M, disable_baseband_iq), &R::disable_baseband_iq),
        same(METHOD(M, disable_resp_output), &R::disable_resp_output),
        same(METHOD(M, enable_resp_output), &R::enable_resp_output),
        same(METHOD(M, set_detection_zone), &R::set_detection_zone, 0.5f, 4.5f),
        same(METHOD(M, set_sensitivity), &R::set_sensitivity, u32 { 0x10203040 })
            .answered("acknowledged", acked, "ok")
            .answered("refused", refused, sarvik(7, "set_sensitivity failed")),
        same(METHOD(M, set_led_control), &R::set_led_control, u8 { 0x21 }, u8 { 0x43 }),
    };
}

#undef METHOD

// ---- running a row ----------------------------------------------------------------

// What a call did: its outcome and the payloads the module received.
struct Effect {
    std::string outcome;
    std::vector<std::string> sent;
};

// No command begins with these bytes; the module stays silent on them.
const Bytes marker_prefix { 0xEE, 0x5F };

class CommandRunner {
public:
    explicit CommandRunner(PyModelConnection& connection)
        : c(connection)
    { }

    void check(const std::string& model, const Row& row)
    {
        SCOPED_TRACE(model + "::" + row.name);
        c.radar().set_default_timeout(0);
        script({});
        const Effect silent = compare(row, "silent");
        EXPECT_EQ(runtime(timeout_text), silent.outcome.substr(0, runtime(timeout_text).size()));
        EXPECT_FALSE(silent.sent.empty()) << "nothing sent";

        c.radar().set_default_timeout(2);
        for (const Answer& answer : row.answers) {
            script(answer.rules);
            EXPECT_EQ(answer.expected, compare(row, answer.label).outcome) << answer.label;
        }
    }

    // On a closed connection nothing reaches the module and the method fails
    // as its operation does.
    void check_closed(const std::string& model, const Row& row)
    {
        SCOPED_TRACE(model + "::" + row.name + " closed");
        const std::string method = row.method(c);
        EXPECT_EQ(row.operation(c.radar()), method);
        if (row.closed.empty()) {
            EXPECT_NE("ok", method.substr(0, 2));
        } else {
            EXPECT_EQ(row.closed, method);
        }
    }

private:
    void script(std::vector<simmodule::Rule> rules)
    {
        rules.insert(rules.begin(), simmodule::Rule(marker_prefix));
        c.module().set_rules(std::move(rules));
    }

    // The method's effect, checked against the operation's under the same
    // script.
    Effect compare(const Row& row, const std::string& label)
    {
        const Effect method = observe([&] { return row.method(c); });
        const Effect operation = observe([&] { return row.operation(c.radar()); });
        EXPECT_EQ(operation.outcome, method.outcome) << label;
        EXPECT_EQ(operation.sent, method.sent) << label;
        return method;
    }

    // Everything the call sent has reached the module once a marker written
    // after it has.
    template <typename Call> Effect observe(Call call)
    {
        c.module().clear_received();
        Effect effect { call(), {} };
        Bytes marker = marker_prefix;
        marker.push_back(static_cast<uint8_t>(++markers));
        c.radar().send_command(testsupport::frame(marker));
        const bool arrived = testsupport::eventually([&] {
            const auto received = c.module().received();
            return !received.empty() && received.back() == marker;
        });
        EXPECT_TRUE(arrived) << "the marker did not arrive";
        auto received = c.module().received();
        if (arrived)
            received.pop_back();
        for (const Bytes& payload : received)
            effect.sent.push_back(testsupport::to_hex(payload));
        return effect;
    }

    PyModelConnection& c;
    int markers = 0;
};

void check_all(const std::string& model, const std::vector<Row>& rows)
{
    PyModelConnection connection;
    CommandRunner runner(connection);
    for (const Row& row : rows)
        runner.check(model, row);
    EXPECT_EQ(0u, connection.module().framing_errors());
    EXPECT_TRUE(connection.module().errors().empty());

    connection.radar().close();
    connection.module().clear_received();
    for (const Row& row : rows)
        runner.check_closed(model, row);
    EXPECT_EQ(0u, connection.module().received_count());
}

TEST(PyModelCommands, PyDax)
{
    check_all("PyDax", dax_rows());
}

TEST(PyModelCommands, PyOsprey)
{
    check_all("PyOsprey", osprey_rows());
}

TEST(PyModelCommands, PyFalcon)
{
    check_all("PyFalcon", respiration_module_rows<Sarvik::PyFalcon>());
}

TEST(PyModelCommands, PyGannet)
{
    check_all("PyGannet", respiration_module_rows<Sarvik::PyGannet>());
}

TEST(PyModelCommands, PyCorvid)
{
    check_all("PyCorvid", corvid_rows());
}

} // namespace py_model_commands
