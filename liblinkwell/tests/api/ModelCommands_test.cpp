// Every command method of the six model classes against the interface
// operation it stands for, called with the same arguments: the two must send
// the module the same payloads and come back with the same result, exception
// and outputs. A silent module tells the status forms apart from the
// operations that throw, and distinct argument values show any argument
// dropped, changed or swapped. Where a method passes outputs or codes on, a
// module that answers or refuses shows them too, with the method's exact
// outcome.
#include "support/CommandTestKit.hpp"
#include "support/ModelConnection.hpp"

#include <utility>

// A namespace of its own: the program's other files build rows and
// helpers of the same names.
namespace model_commands {

using namespace commandtest;
using simmodule::byte_reply;
using simmodule::f32_reply;
using simmodule::get_reply;
using simmodule::system_info_reply;
using simmodule::text_reply;
using simmodule::u32_reply;
using testsupport::ModelConnection;
using u8 = uint8_t;
using u32 = uint32_t;

// ---- outputs ----------------------------------------------------------------------

template <typename T> T initial()
{
    return sentinel<T>();
}
template <> Sarvik::FrameArea initial<Sarvik::FrameArea>()
{
    return { -1.0f, -2.0f };
}
template <> Sarvik::Files initial<Sarvik::Files>()
{
    return { { -1 }, { -2 } };
}
template <> std::vector<int> initial<std::vector<int>>()
{
    return { -3 };
}

std::string shown(const std::vector<int>& values)
{
    std::string out;
    for (int v : values)
        out += (out.empty() ? "" : " ") + std::to_string(v);
    return "{" + out + "}";
}
std::string shown(const Sarvik::FrameArea& area)
{
    return render(area.start) + ".." + render(area.end);
}
std::string shown(const Sarvik::Files& files)
{
    return shown(files.file_types) + shown(files.file_identifiers);
}
template <typename T> std::string shown(const T& value)
{
    return render(value);
}

// ---- arguments --------------------------------------------------------------------

// Marks an out-parameter: each call gets its own value, preset to a
// sentinel, through a pointer or a reference as the parameter takes it.
struct Out { };
constexpr Out out;

template <typename Param, typename Arg> struct Slot {
    Arg value;
    Arg& get() { return value; }
    std::string output() const { return ""; }
};
template <typename T> struct Slot<T*, Out> {
    explicit Slot(Out) { }
    T value = initial<T>();
    T* get() { return &value; }
    std::string output() const { return " | " + shown(value); }
};
template <typename T> struct Slot<T&, Out> {
    explicit Slot(Out) { }
    T value = initial<T>();
    T& get() { return value; }
    std::string output() const { return " | " + shown(value); }
};

// The call's outcome, then each output as the call left it.
template <typename R, typename Object, typename... Params, typename... Args, size_t... I>
std::string call_with(Object& object, R (Object::*method)(Params...), const std::tuple<Args...>& args,
    std::index_sequence<I...>)
{
    std::tuple<Slot<Params, Args>...> slots { Slot<Params, Args> { std::get<I>(args) }... };
    std::string result = outcome([&] { return (object.*method)(std::get<I>(slots).get()...); });
    ((result += std::get<I>(slots).output()), ...);
    return result;
}

// For the methods whose output parameter differs from the operation's: the
// call gets one T to write.
template <typename T, typename Call> std::string with_output(Call call)
{
    T value = initial<T>();
    const std::string result = outcome([&] { return call(value); });
    return result + " | " + shown(value);
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
    std::function<std::string(ModelConnection&)> method;
    std::function<std::string(RadarInterface&)> operation;
    std::vector<Answer> answers;

    Row answered(std::string label, std::vector<simmodule::Rule> rules, std::string expected) &&
    {
        answers.push_back({ std::move(label), std::move(rules), std::move(expected) });
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
        [=](ModelConnection& c) {
            return call_with(c.get<Model>(), method, arguments, std::index_sequence_for<Args...> {});
        },
        [=](RadarInterface& r) {
            return call_with(r, operation, arguments, std::index_sequence_for<Args...> {});
        },
        {} };
}

Row by_hand(std::string name, std::function<std::string(ModelConnection&)> method,
    std::function<std::string(RadarInterface&)> operation)
{
    return Row { std::move(name), std::move(method), std::move(operation), {} };
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

// ping gives the status 0 and the pong 1 for an error reply.
template <typename Model> Row ping_row()
{
    return same(METHOD(Model, ping), &RadarInterface::ping, out)
        .answered("a pong", answer(simmodule::pong_reply(0x1234)), "0 | 4660")
        .answered("an error reply", refused, "0 | 1");
}

// The system and I/O pin commands that Dax shares with Osprey, Falcon and
// Gannet.
template <typename M> std::vector<Row> shared_rows()
{
    using R = RadarInterface;
    return {
        same(METHOD(M, set_baudrate), &R::set_baudrate_no_throw, u32 { 230400 }),
        same(METHOD(M, get_system_info), &R::get_system_info, u8 { 6 }, out)
            .answered("a text", answer(system_info_reply("SN-7")), "0 | \"SN-7\"")
            .answered("refused", refused, "-1 | \"untouched\""),
        ping_row<M>(),
        same(METHOD(M, module_reset), &R::module_reset_no_throw)
            .answered("acknowledged", acked, "0")
            .answered("refused", refused, "7"),
        same(METHOD(M, set_iopin_control), &R::set_iopin_control_no_throw, u32 { 1 }, u32 { 2 }, u32 { 3 }),
        same(METHOD(M, set_iopin_value), &R::set_iopin_value_no_throw, u32 { 1 }, u32 { 2 }),
        same(METHOD(M, get_iopin_value), &R::get_iopin_value, u32 { 1 }, out),
    };
}

std::vector<Row> joined(std::vector<Row> first, const std::vector<Row>& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

std::vector<Row> dax_rows()
{
    using M = Sarvik::Dax;
    using R = RadarInterface;
    return joined(shared_rows<M>(),
        {
            same(METHOD(M, set_normalization), &R::set_normalization_no_throw, u8 { 0x21 }),
            same(METHOD(M, get_normalization), &R::get_normalization_no_throw, out)
                .answered("a byte", answer(byte_reply(0x10, 0xC4)), "0 | 196"),
            same(METHOD(M, set_phase_noise_correction), &R::set_phase_noise_correction_no_throw, u8 { 0x21 },
                1.5f),
            same(METHOD(M, get_phase_noise_correction), &R::get_phase_noise_correction_no_throw, out),
            same(METHOD(M, set_decimation_factor), &R::set_decimation_factor_no_throw, u32 { 0x10203040 }),
            same(METHOD(M, get_decimation_factor), &R::get_decimation_factor_no_throw, out),
            same(METHOD(M, set_number_format), &R::set_number_format_no_throw, u8 { 0x21 }),
            same(METHOD(M, get_number_format), &R::get_number_format_no_throw, out),
            same(METHOD(M, set_legacy_output), &R::set_legacy_output_no_throw, u8 { 0x21 }),
            same(METHOD(M, get_legacy_output), &R::get_legacy_output_no_throw, out),

            same(METHOD(M, z7driver_set_fps), &R::z7driver_set_fps_no_throw, 12.5f),
            same(METHOD(M, z7driver_get_fps), &R::z7driver_get_fps_no_throw, out),
            same(METHOD(M, z7driver_set_enable), &R::z7driver_set_enable_no_throw, u8 { 0x21 }),
            same(METHOD(M, z7driver_init), &R::z7driver_init_no_throw),
            same(
                METHOD(M, z7driver_set_iterations), &R::z7driver_set_iterations_no_throw, u32 { 0x10203040 }),
            same(METHOD(M, z7driver_get_iterations), &R::z7driver_get_iterations_no_throw, out),
            same(METHOD(M, z7driver_set_pulses_per_step), &R::z7driver_set_pulsesperstep_no_throw,
                u32 { 0x10203040 }),
            same(METHOD(M, z7driver_get_pulses_per_step), &R::z7driver_get_pulsesperstep_no_throw, out),
            same(METHOD(M, z7driver_set_dac_min), &R::z7driver_set_dac_min_no_throw, u32 { 0x10203040 }),
            same(METHOD(M, z7driver_get_dac_min), &R::z7driver_get_dac_min_no_throw, out),
            same(METHOD(M, z7driver_set_dac_max), &R::z7driver_set_dac_max_no_throw, u32 { 0x10203040 }),
            same(METHOD(M, z7driver_get_dac_max), &R::z7driver_get_dac_max_no_throw, out),
            same(METHOD(M, z7driver_set_tx_power), &R::z7driver_set_tx_power_no_throw, u8 { 0x21 }),
            same(METHOD(M, z7driver_get_tx_power), &R::z7driver_get_tx_power_no_throw, out),
            same(METHOD(M, z7driver_set_downconversion), &R::z7driver_set_downconversion_no_throw,
                u8 { 0x21 }),
            same(METHOD(M, z7driver_get_downconversion), &R::z7driver_get_downconversion_no_throw, out),
            same(METHOD(M, z7driver_get_frame_bin_count), &R::z7driver_get_frame_bin_count_no_throw, out),
            same(METHOD(M, z7driver_set_frame_area), &R::z7driver_set_frame_area_no_throw, 0.5f, 2.5f),
            same(METHOD(M, z7driver_get_frame_area), &R::z7driver_get_frame_area_no_throw, out)
                .answered("two floats", answer(f32_reply(0x14, { 0.5f, 2.5f })), "0 | 0.5..2.5"),
            same(METHOD(M, z7driver_set_frame_area_offset), &R::z7driver_set_frame_area_offset_no_throw,
                0.25f),
            same(METHOD(M, z7driver_get_frame_area_offset), &R::z7driver_get_frame_area_offset, out),
            same(METHOD(M, z7driver_set_tx_center_frequency), &R::z7driver_set_tx_center_frequency_no_throw,
                u8 { 0x21 }),
            same(METHOD(M, z7driver_get_tx_center_frequency), &R::z7driver_get_tx_center_frequency_no_throw,
                out),
            same(METHOD(M, z7driver_set_spi_register), &R::z7driver_set_spi_register_no_throw, u8 { 0x21 },
                u8 { 0x43 }),
            same(METHOD(M, z7driver_get_spi_register), &R::z7driver_get_spi_register_no_throw, u8 { 0x21 },
                out),
            same(METHOD(M, z7driver_write_to_spi_register), &R::z7driver_write_to_spi_register_no_throw,
                u8 { 0x21 }, Bytes { 1, 2, 3 }),
            same(METHOD(M, z7driver_read_from_spi_register), &R::z7driver_read_from_spi_register_no_throw,
                u8 { 0x21 }, out, u32 { 3 })
                .answered("three bytes", answer(get_reply(0x10, 0x22, { 1, 2, 3 })), "0 | [01 02 03]"),
            same(METHOD(M, z7driver_write_to_i2c_register), &R::z7driver_write_to_i2c_register_no_throw,
                u8 { 0x21 }, Bytes { 1, 2, 3 }),
            same(METHOD(M, z7driver_read_from_i2c_register), &R::z7driver_read_from_i2c_register_no_throw,
                out, u32 { 0x10203040 }),
            same(METHOD(M, z7driver_set_pif_register), &R::z7driver_set_pif_register_no_throw, u8 { 0x21 },
                u8 { 0x43 }),
            same(METHOD(M, z7driver_get_pif_register), &R::z7driver_get_pif_register, u8 { 0x21 }, out),
            same(METHOD(M, z7driver_set_xif_register), &R::z7driver_set_xif_register_no_throw, u8 { 0x21 },
                u8 { 0x43 }),
            same(METHOD(M, z7driver_get_xif_register), &R::z7driver_get_xif_register, u8 { 0x21 }, out),
            same(METHOD(M, z7driver_set_prf_div), &R::z7driver_set_prf_div_no_throw, u8 { 0x21 }),
            same(METHOD(M, z7driver_get_prf_div), &R::z7driver_get_prf_div, out),

            same(METHOD(M, search_for_file_by_type), &R::search_for_file_by_type_no_throw, u32 { 7 }, out),
            same(METHOD(M, find_all_files), &R::find_all_files_no_throw, out),
            same(METHOD(M, create_file), &R::create_file_no_throw, u32 { 1 }, u32 { 2 }, u32 { 3 }),
            same(METHOD(M, open_file), &R::open_file_no_throw, u32 { 1 }, u32 { 2 }),
            same(METHOD(M, set_file_data), &R::set_file_data_no_throw, u32 { 1 }, u32 { 2 }, u32 { 3 },
                Bytes { 4, 5 }),
            same(METHOD(M, close_file), &R::close_file_no_throw, u32 { 1 }, u32 { 2 }, true),
            same(METHOD(M, get_file_length), &R::get_file_length_no_throw, u32 { 1 }, u32 { 2 }, out)
                .answered("a length", answer(u32_reply(0x69, 300)), "0 | 300"),
            same(METHOD(M, delete_file), &R::delete_file_no_throw, u32 { 1 }, u32 { 2 }),
            same(METHOD(M, get_file_data), &R::get_file_data_no_throw, u32 { 1 }, u32 { 2 }, u32 { 3 },
                u32 { 4 }, out),
            same(METHOD(M, format_filesystem), &R::format_filesystem_no_throw, u32 { 0x10203040 }),
            same(METHOD(M, set_file), &R::set_file_no_throw, u32 { 1 }, u32 { 2 }, Bytes { 4, 5 }),
            by_hand(
                "get_file",
                [](ModelConnection& c) {
                    return with_output<Bytes>([&](Bytes& data) { return c.dax.get_file(1, 2, &data); });
                },
                [](RadarInterface& r) {
                    return with_output<Bytes>([&](Bytes& data) { return r.get_file_no_throw(1, 2, data); });
                })
                .answered("a file", three_byte_file, "0 | [07 08 09]"),
        });
}

// The commands of Osprey, Falcon and Gannet.
template <typename M> std::vector<Row> application_module_rows()
{
    using R = RadarInterface;
    return joined(shared_rows<M>(),
        {
            same(METHOD(M, set_debug_level), &R::set_debug_level_no_throw, u8 { 0x21 }),
            same(METHOD(M, reset), &R::reset_no_throw),
            same(METHOD(M, reset_to_factory_preset), &R::reset_to_factory_preset_no_throw),
            same(METHOD(M, start_bootloader), &R::start_bootloader_no_throw),
            same(METHOD(M, inject_frame), &R::inject_frame_no_throw, u32 { 1 }, u32 { 1 },
                std::vector<float> { 0.5f, 1.5f }),
            same(METHOD(M, prepare_inject_frame), &R::prepare_inject_frame_no_throw, u32 { 1 }, u32 { 2 },
                u32 { 3 }),
            same(METHOD(M, system_run_test), &R::system_run_test, u8 { 0x21 }, out)
                .answered("a result", answer(get_reply(0x10, 0x50, { 1, 2 })), "0 | [01 02]")
                .answered("refused", refused, "1 | [ee ee]"),
            same(METHOD(M, load_profile), &R::load_profile_no_throw, u32 { 0x1423A2D6 }),
            same(METHOD(M, set_sensor_mode), &R::set_sensor_mode_and_submode_no_throw, u8 { 0x10 }, u8 { 2 }),
            same(METHOD(M, get_sensor_mode), &R::get_sensor_mode_no_throw, out),

            same(METHOD(M, set_sensitivity), &R::set_sensitivity_no_throw, u32 { 0x10203040 })
                .answered("acknowledged", acked, "0")
                .answered("refused", refused, "7"),
            same(METHOD(M, get_sensitivity), &R::get_sensitivity_no_throw, out),
            same(
                METHOD(M, set_tx_center_frequency), &R::set_tx_center_frequency_no_throw, u32 { 0x10203040 }),
            same(METHOD(M, get_tx_center_frequency), &R::get_tx_center_frequency_no_throw, out),
            same(METHOD(M, set_detection_zone), &R::set_detection_zone_no_throw, 0.5f, 4.5f),
            same(METHOD(M, get_detection_zone), &R::get_detection_zone_no_throw, out, out)
                .answered("two floats", answer(f32_reply(0x96A10A1C, { 0.5f, 4.5f })), "0 | 0.5 | 4.5")
                .answered("refused", refused, "7 | -1234.5 | -1234.5"),
            same(METHOD(M, get_detection_zone_limits), &R::get_detection_zone_limits_no_throw, out, out, out)
                .answered("three floats", answer(f32_reply(0x96A10A1D, { 0.25f, 9.0f, 0.5f })),
                    "0 | 0.25 | 9 | 0.5"),
            same(METHOD(M, set_led_control), &R::set_led_control_no_throw, u8 { 0x21 }, u8 { 0x43 }),
            same(METHOD(M, get_led_control), &R::get_led_control_no_throw, out),
            same(METHOD(M, set_output_control), &R::set_output_control_no_throw, u32 { 1 }, u32 { 2 }),
            same(METHOD(M, get_output_control), &R::get_output_control_no_throw, u32 { 1 }, out),
            same(METHOD(M, set_debug_output_control), &R::set_debug_output_control_no_throw, u32 { 1 },
                u32 { 2 }),
            same(METHOD(M, get_debug_output_control), &R::get_debug_output_control_no_throw, u32 { 1 }, out),

            same(METHOD(M, load_noisemap), &R::load_noisemap_no_throw),
            same(METHOD(M, delete_noisemap), &R::delete_noisemap_no_throw),
            same(METHOD(M, store_noisemap), &R::store_noisemap_no_throw),
            same(METHOD(M, set_noisemap_control), &R::set_noisemap_control_no_throw, u32 { 0x10203040 }),
            same(METHOD(M, get_noisemap_control), &R::get_noisemap_control_no_throw, out),
            same(METHOD(M, set_periodic_noisemap_store), &R::set_periodic_noisemap_store_no_throw, u32 { 1 },
                u32 { 2 }),
            same(METHOD(M, get_periodic_noisemap_store), &R::get_periodic_noisemap_store_no_throw, out, out)
                .answered("two words", answer(get_reply(0x11, 0, u32s({ 10, 60 }))), "0 | 10 | 60"),

            by_hand(
                "get_parameter_file",
                [](ModelConnection& c) {
                    return with_output<std::string>(
                        [&](std::string& text) { return c.get<M>().get_parameter_file("a.cfg", &text); });
                },
                [](RadarInterface& r) {
                    return with_output<std::string>(
                        [&](std::string& text) { return r.get_parameter_file_no_throw("a.cfg", text); });
                })
                .answered("a text", answer(text_reply(0x32BA7623, "x=1")), "0 | \"x=1\""),
            by_hand(
                "get_profileid",
                [](ModelConnection& c) {
                    return with_output<u32>([&](u32& id) { return c.get<M>().get_profileid(&id); });
                },
                [](RadarInterface& r) {
                    return with_output<u32>([&](u32& id) { return r.get_profileid_no_throw(id); });
                })
                .answered("an id", answer(u32_reply(0x74, 0x1423A2D6)), "0 | 337879766"),
            by_hand(
                "set_parameter_file",
                [](ModelConnection& c) {
                    const std::string name = "a.cfg", text = "x=1";
                    return outcome([&] { return c.get<M>().set_parameter_file(&name, &text); });
                },
                [](RadarInterface& r) {
                    return outcome([&] { return r.set_parameter_file_no_throw("a.cfg", "x=1"); });
                })
                .answered("refused", refused, "7"),

            same(METHOD(M, get_iopin_control), &R::get_iopin_control_no_throw, u32 { 1 }, out, out)
                .answered("two words", answer(get_reply(0x11, 0, u32s({ 5, 6 }))), "0 | 5 | 6"),
        });
}

std::vector<Row> corvid_rows()
{
    using M = Sarvik::Corvid;
    using R = RadarInterface;
    return {
        same(METHOD(M, set_debug_level), &R::set_debug_level_no_throw, u8 { 0x21 }),
        ping_row<M>(),
        same(METHOD(M, get_item_number), &R::get_item_number, out),
        same(METHOD(M, get_order_code), &R::get_order_code, out),
        same(METHOD(M, get_firmware_id), &R::get_firmware_id, out),
        same(METHOD(M, get_firmware_version), &R::get_firmware_version, out),
        same(METHOD(M, get_serial_number), &R::get_serial_number, out)
            .answered("a text", answer(system_info_reply("SN-1")), "0 | \"SN-1\""),
        same(METHOD(M, get_build_info), &R::get_build_info, out),
        same(METHOD(M, get_app_id_list), &R::get_app_id_list, out),

        same(METHOD(M, reset), &R::reset_no_throw),
        same(METHOD(M, start_bootloader), &R::start_bootloader_no_throw),
        same(METHOD(M, set_sensor_mode_run), &R::set_sensor_mode_run_no_throw),
        same(METHOD(M, set_sensor_mode_idle), &R::set_sensor_mode_idle_no_throw),
        same(METHOD(M, load_sleep_profile), &R::load_sleep_profile_no_throw),
        same(METHOD(M, load_respiration_profile), &R::load_respiration_profile_no_throw),

        same(METHOD(M, enable_baseband_ap), &R::enable_baseband_ap_no_throw),
        same(METHOD(M, disable_baseband_ap), &R::disable_baseband_ap_no_throw),
        same(METHOD(M, enable_baseband_iq), &R::enable_baseband_iq_no_throw),
        same(METHOD(M, disable_baseband_iq), &R::disable_baseband_iq_no_throw),
        same(METHOD(M, disable_resp_output), &R::disable_resp_output_no_throw),
        same(METHOD(M, enable_resp_output), &R::enable_resp_output_no_throw),
        same(METHOD(M, set_detection_zone), &R::set_detection_zone_no_throw, 0.5f, 4.5f),
        same(METHOD(M, set_sensitivity), &R::set_sensitivity_no_throw, u32 { 0x10203040 })
            .answered("refused", refused, "7"),
        same(METHOD(M, set_led_control), &R::set_led_control_no_throw, u8 { 0x21 }, u8 { 0x43 }),
    };
}

std::vector<Row> not_supported_rows()
{
    using M = Sarvik::NotSupported;
    using R = RadarInterface;
    // The answer of the older setters: {0x11, 0x00, id}.
    const auto setter_answer = [](uint8_t id) { return answer(get_reply(0x00, id, u32s({ 0 }))); };
    return {
        // The value comes back widened, never negative.
        by_hand(
            "get_z7_io_pin_value",
            [](ModelConnection& c) {
                return outcome([&] { return c.not_supported.get_z7_io_pin_value(0x21); });
            },
            [](RadarInterface& r) { return outcome([&] { return r.get_z7_io_pin_value(0x21); }); })
            .answered("a value", answer(get_reply(0x11, 0x36, { 0xC8 })), "200"),
        same(METHOD(M, set_z7_io_pin_value), &R::set_z7_io_pin_value, u8 { 0x21 }, u8 { 0x43 })
            .answered("answered", setter_answer(0x35), "0"),
        same(METHOD(M, set_z7_io_pin_mode), &R::set_z7_io_pin_mode, u8 { 0x21 }, u8 { 0x43 }),
        same(METHOD(M, set_z7_io_pin_dir), &R::set_z7_io_pin_dir, u8 { 0x21 }, u8 { 0x43 }),
        same(METHOD(M, set_z7_io_pin_enable), &R::set_z7_io_pin_enable, u8 { 0x21 }),
        same(METHOD(M, set_z7_io_pin_disable), &R::set_z7_io_pin_disable, u8 { 0x21 }),
        by_hand(
            "read_z7_spi",
            [](ModelConnection& c) { return outcome([&] { return c.not_supported.read_z7_spi(0x21); }); },
            [](RadarInterface& r) { return outcome([&] { return r.read_z7_spi(0x21); }); })
            .answered("a value", answer(get_reply(0x11, 0x32, { 0xC8 })), "200"),
        same(METHOD(M, write_z7_spi), &R::write_z7_spi, u8 { 0x21 }, u8 { 0x43 }),
        same(METHOD(M, set_z7_fps), &R::set_z7_fps, u32 { 0x10203040 }),

        same(METHOD(M, set_parameter_file), &R::set_parameter_file, std::string("a.cfg"), std::string("x=1"))
            .answered("acknowledged", acked, "ok")
            .answered("refused", refused, sarvik(module_error_code, "set_parameter_file failed")),
        same(METHOD(M, get_parameter_file), &R::get_parameter_file, std::string("a.cfg"))
            .answered("a text", answer(text_reply(0x32BA7623, "x=1")), "\"x=1\""),
        same(METHOD(M, load_profile), &R::load_profile, u32 { 0x1423A2D6 })
            .answered("acknowledged", acked, "ok")
            .answered("refused", refused, sarvik(module_error_code, "load profile failed")),
        same(METHOD(M, set_application_user_zone), &R::set_application_user_zone_no_throw, 0.5f, 4.5f)
            .answered("refused", refused, "7"),
        same(METHOD(M, get_application_user_zone), &R::get_application_user_zone_no_throw, out, out)
            .answered("two floats", answer(f32_reply(0xA53695BB, { 1.5f, 3.5f })), "0 | 1.5 | 3.5"),
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
    explicit CommandRunner(ModelConnection& connection)
        : c(connection)
    { }

    void check(const std::string& model, const Row& row)
    {
        SCOPED_TRACE(model + "::" + row.name);
        c.radar().set_default_timeout(0);
        script({});
        const Effect silent = compare(row, "silent");
        EXPECT_FALSE(silent.sent.empty()) << "nothing sent";

        c.radar().set_default_timeout(2);
        for (const Answer& answer : row.answers) {
            script(answer.rules);
            EXPECT_EQ(answer.expected, compare(row, answer.label).outcome) << answer.label;
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

    ModelConnection& c;
    int markers = 0;
};

void check_all(const std::string& model, const std::vector<Row>& rows)
{
    ModelConnection connection;
    CommandRunner runner(connection);
    for (const Row& row : rows)
        runner.check(model, row);
    EXPECT_EQ(0u, connection.module().framing_errors());
    EXPECT_TRUE(connection.module().errors().empty());
}

TEST(ModelCommands, Dax)
{
    check_all("Dax", dax_rows());
}

TEST(ModelCommands, Osprey)
{
    check_all("Osprey", application_module_rows<Sarvik::Osprey>());
}

TEST(ModelCommands, Falcon)
{
    check_all("Falcon", application_module_rows<Sarvik::Falcon>());
}

TEST(ModelCommands, Gannet)
{
    check_all("Gannet", application_module_rows<Sarvik::Gannet>());
}

TEST(ModelCommands, Corvid)
{
    check_all("Corvid", corvid_rows());
}

TEST(ModelCommands, NotSupported)
{
    check_all("NotSupported", not_supported_rows());
}

// The logger's level is the connection's own business: nothing goes to the
// module before the ping that follows.
TEST(ModelCommands, CorvidSetLogLevelSendsNothing)
{
    ModelConnection connection;
    connection.module().add_rule(simmodule::Rule({}).reply(simmodule::pong_reply(1)));
    EXPECT_EQ(0, connection.corvid.set_log_level(5));
    uint32_t pong = 0;
    EXPECT_EQ(0, connection.corvid.ping(&pong));
    ASSERT_EQ(1u, connection.module().received_count());
    EXPECT_EQ(0x01, connection.module().received_at(0).at(0));
}

} // namespace model_commands
