// The flat C interface: connections, boxes and the module commands.
#include <linkwell/matlab_wrapper.h>

#include <chrono>
#include <thread>

#include <linkwell/protocol_framing.h>

#include "api/FlatCall.hpp"
#include "link/ConcreteFactory.hpp"
#include "link/TcpIpFactory.hpp"
#include "log/ConsoleAndFileLogger.hpp"

namespace {

// A handle for a connection that opened; NULL otherwise.
LinkwellHandle* create_linkwell(
    std::unique_ptr<AbstractFactory> factory, const std::string& device, unsigned log_level) noexcept
{
    try {
        auto connection = FlatConnection::open(std::move(factory), device, log_level);
        if (!connection)
            return nullptr;
        return FlatHandles::add(std::make_shared<LinkwellHandle>(LinkwellHandle { std::move(connection) }));
    } catch (...) {
        return nullptr;
    }
}

// System information codes of the identity texts.
enum SystemInfoCode : uint8_t {
    item_number = 0,
    order_code = 1,
    firmware_id = 2,
    firmware_version = 3,
    build_info = 4,
    app_id_list = 5,
    serial_number = 6,
};

int system_info(Z3_Type* z3, uint8_t code, char* dst, unsigned capacity)
{
    return flat::with_connection(z3, [&](FlatConnection& connection) {
        flat::require_room(capacity, dst);
        const std::string text
            = connection.locked([&](RadarInterface& radar) { return radar.get_system_info(code); });
        return flat::text_out(text, dst, capacity);
    });
}

// A value that a throwing getter returns, stored in the caller's variable.
template <typename Target, typename Getter> int get_value(Z3_Type* z3, Target* out, Getter&& getter)
{
    return flat::with_connection(z3, [&](FlatConnection& connection) {
        flat::require(out);
        *out = static_cast<Target>(connection.locked(getter));
        return 0;
    });
}

} // namespace

using flat::low_byte;

// ==== Connections ============================================================

LinkwellHandle* vmx_create_linkwell(const char* device, unsigned int log_level)
{
    if (!device)
        return nullptr;
    return create_linkwell(std::make_unique<ConcreteFactory>(), device, log_level);
}

LinkwellHandle* vmx_create_linkwell_tcpip(
    unsigned int address, unsigned short port, unsigned int /*unused*/, unsigned int log_level)
{
    return create_linkwell(std::make_unique<TcpIpFactory>(address, port), std::string(), log_level);
}

void vmx_destroy_linkwell(LinkwellHandle* handle)
{
    // Nothing for a handle destroyed already or never handed out.
    const std::shared_ptr<LinkwellHandle> owned = FlatHandles::remove(handle);
    if (!owned)
        return;
    // Closed first, so that a read waiting in another thread wakes and
    // fails; the parts go with the last holder of the connection.
    owned->connection->close();
}

Z3_Type* vmx_get_z3(LinkwellHandle* mc)
{
    try {
        const std::shared_ptr<LinkwellHandle> handle = FlatHandles::find(mc);
        if (!handle)
            return nullptr;
        return FlatHandles::add(std::make_shared<Z3_Type>(Z3_Type { handle->connection }));
    } catch (...) {
        return nullptr;
    }
}

void vmx_destroy_Z3_interface(Z3_Type* z3)
{
    FlatHandles::remove(z3);
}

const char* vmx_git_sha(void)
{
    return get_radar_com_version();
}

int vmx_set_log_level(LinkwellHandle* handle, int level)
{
    return flat::guarded([&] {
        const std::shared_ptr<LinkwellHandle> box = FlatHandles::find(handle);
        if (!box)
            return 1;
        box->connection->locked([&](RadarInterface& radar) { radar.set_log_level(level); });
        return 0;
    });
}

int vmx_set_default_timeout(Z3_Type* z3, unsigned int seconds)
{
    return flat::call(z3, [&](RadarInterface& radar) { radar.set_default_timeout(seconds); });
}

void vmx_log(Z3_Type* z3, const char* text)
{
    flat::call(z3, [&](RadarInterface& radar) { radar.log(0, flat::name(text)); });
}

void vmx_wait(unsigned int seconds)
{
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
}

// ==== Module commands ========================================================

int vmx_ping(Z3_Type* z3, unsigned int* pong)
{
    // The plain ping reads an error reply as the pong 1.
    return get_value(z3, pong, [](RadarInterface& radar) { return radar.ping(); });
}

int vmx_get_system_info(Z3_Type* z3, unsigned int code, char* dst, unsigned int capacity)
{
    return system_info(z3, low_byte(code), dst, capacity);
}

int vmx_get_item_number(Z3_Type* z3, char* dst, unsigned int capacity)
{
    return system_info(z3, item_number, dst, capacity);
}

int vmx_get_order_code(Z3_Type* z3, char* dst, unsigned int capacity)
{
    return system_info(z3, order_code, dst, capacity);
}

int vmx_get_firmware_id(Z3_Type* z3, char* dst, unsigned int capacity)
{
    return system_info(z3, firmware_id, dst, capacity);
}

int vmx_get_firmware_version(Z3_Type* z3, char* dst, unsigned int capacity)
{
    return system_info(z3, firmware_version, dst, capacity);
}

int vmx_get_build_info(Z3_Type* z3, char* dst, unsigned int capacity)
{
    return system_info(z3, build_info, dst, capacity);
}

int vmx_get_app_id_list(Z3_Type* z3, char* dst, unsigned int capacity)
{
    return system_info(z3, app_id_list, dst, capacity);
}

int vmx_get_serial_number(Z3_Type* z3, char* dst, unsigned int capacity)
{
    return system_info(z3, serial_number, dst, capacity);
}

int vmx_set_debug_level(Z3_Type* z3, unsigned int level)
{
    return flat::call(
        z3, [&](RadarInterface& radar) { return radar.set_debug_level_no_throw(low_byte(level)); });
}

int vmx_set_sensor_mode(Z3_Type* z3, unsigned int mode)
{
    return flat::call(
        z3, [&](RadarInterface& radar) { return radar.set_sensor_mode_no_throw(low_byte(mode)); });
}

int vmx_set_sensor_mode_and_submode(Z3_Type* z3, unsigned int mode, unsigned int submode)
{
    return flat::call(z3, [&](RadarInterface& radar) {
        return radar.set_sensor_mode_and_submode_no_throw(low_byte(mode), low_byte(submode));
    });
}

int vmx_set_sensor_mode_manual(Z3_Type* z3)
{
    return flat::call(z3, [](RadarInterface& radar) { return radar.set_sensor_mode_no_throw(0x12); });
}

int vmx_set_sensor_mode_run(Z3_Type* z3)
{
    return flat::call(z3, [](RadarInterface& radar) { return radar.set_sensor_mode_run_no_throw(); });
}

int vmx_set_sensor_mode_idle(Z3_Type* z3)
{
    return flat::call(z3, [](RadarInterface& radar) { return radar.set_sensor_mode_idle_no_throw(); });
}

int vmx_module_reset(Z3_Type* z3)
{
    return flat::call(z3, [](RadarInterface& radar) { return radar.module_reset_no_throw(); });
}

int vmx_reset_to_factory_preset(Z3_Type* z3)
{
    return flat::call(z3, [](RadarInterface& radar) { return radar.reset_to_factory_preset_no_throw(); });
}

int vmx_enter_bootloader(Z3_Type* z3)
{
    return flat::call(z3, [](RadarInterface& radar) { return radar.start_bootloader_no_throw(); });
}

int vmx_load_profile(Z3_Type* z3, unsigned int profile_id)
{
    return flat::call(z3, [&](RadarInterface& radar) { return radar.load_profile_no_throw(profile_id); });
}

int vmx_load_sleep_profile(Z3_Type* z3)
{
    return flat::call(z3, [](RadarInterface& radar) { return radar.load_sleep_profile_no_throw(); });
}

int vmx_load_respiration_profile(Z3_Type* z3)
{
    return flat::call(z3, [](RadarInterface& radar) { return radar.load_respiration_profile_no_throw(); });
}

int vmx_get_profileid(Z3_Type* z3, unsigned int* profile_id)
{
    return flat::call_into(
        z3, [](RadarInterface& radar, unsigned* id) { return radar.get_profileid_no_throw(*id); },
        profile_id);
}

int vmx_enable_baseband(Z3_Type* z3, int type)
{
    return flat::call(z3, [&](RadarInterface& radar) { return radar.enable_baseband_no_throw(type); });
}

int vmx_enable_baseband_ap(Z3_Type* z3)
{
    return flat::call(z3, [](RadarInterface& radar) { return radar.enable_baseband_ap_no_throw(); });
}

int vmx_disable_baseband_ap(Z3_Type* z3)
{
    return flat::call(z3, [](RadarInterface& radar) { return radar.disable_baseband_ap_no_throw(); });
}

int vmx_enable_baseband_iq(Z3_Type* z3)
{
    return flat::call(z3, [](RadarInterface& radar) { return radar.enable_baseband_iq_no_throw(); });
}

int vmx_disable_baseband_iq(Z3_Type* z3)
{
    return flat::call(z3, [](RadarInterface& radar) { return radar.disable_baseband_iq_no_throw(); });
}

int vmx_enable_resp_output(Z3_Type* z3)
{
    return flat::call(z3, [](RadarInterface& radar) { return radar.enable_resp_output_no_throw(); });
}

int vmx_disable_resp_output(Z3_Type* z3)
{
    return flat::call(z3, [](RadarInterface& radar) { return radar.disable_resp_output_no_throw(); });
}

int vmx_set_detection_zone(Z3_Type* z3, float start, float end)
{
    return flat::call(
        z3, [&](RadarInterface& radar) { return radar.set_detection_zone_no_throw(start, end); });
}

int vmx_get_detection_zone(Z3_Type* z3, float* start, float* end)
{
    return flat::call_into(
        z3, [](RadarInterface& radar, float* a, float* b) { return radar.get_detection_zone_no_throw(a, b); },
        start, end);
}

int vmx_get_detection_zone_limits(Z3_Type* z3, float* first, float* second, float* third)
{
    return flat::call_into(
        z3,
        [](RadarInterface& radar, float* a, float* b, float* c) {
            return radar.get_detection_zone_limits_no_throw(a, b, c);
        },
        first, second, third);
}

int vmx_set_sensitivity(Z3_Type* z3, unsigned int sensitivity)
{
    return flat::call(z3, [&](RadarInterface& radar) { return radar.set_sensitivity_no_throw(sensitivity); });
}

int vmx_get_sensitivity(Z3_Type* z3, unsigned int* sensitivity)
{
    return flat::call_into(
        z3, [](RadarInterface& radar, unsigned* out) { return radar.get_sensitivity_no_throw(out); },
        sensitivity);
}

int vmx_set_led_control(Z3_Type* z3, unsigned int mode, unsigned int intensity)
{
    return flat::call(z3, [&](RadarInterface& radar) {
        return radar.set_led_control_no_throw(low_byte(mode), low_byte(intensity));
    });
}

int vmx_get_led_control(Z3_Type* z3, unsigned char* mode)
{
    return flat::call_into(
        z3, [](RadarInterface& radar, unsigned char* out) { return radar.get_led_control_no_throw(out); },
        mode);
}

int vmx_set_output_control(Z3_Type* z3, unsigned int feature, unsigned int control)
{
    return flat::call(
        z3, [&](RadarInterface& radar) { return radar.set_output_control_no_throw(feature, control); });
}

int vmx_get_output_control(Z3_Type* z3, unsigned int feature, unsigned int* control)
{
    return flat::call_into(
        z3,
        [&](RadarInterface& radar, unsigned* out) { return radar.get_output_control_no_throw(feature, out); },
        control);
}

int vmx_set_debug_output_control(Z3_Type* z3, unsigned int feature, unsigned int control)
{
    return flat::call(
        z3, [&](RadarInterface& radar) { return radar.set_debug_output_control_no_throw(feature, control); });
}

int vmx_get_debug_output_control(Z3_Type* z3, unsigned int feature, unsigned int* control)
{
    return flat::call_into(
        z3,
        [&](RadarInterface& radar, unsigned* out) {
            return radar.get_debug_output_control_no_throw(feature, out);
        },
        control);
}

int vmx_store_noisemap(Z3_Type* z3)
{
    return flat::call(z3, [](RadarInterface& radar) { return radar.store_noisemap_no_throw(); });
}

int vmx_delete_noisemap(Z3_Type* z3)
{
    return flat::call(z3, [](RadarInterface& radar) { return radar.delete_noisemap_no_throw(); });
}

int vmx_set_noisemap_control(Z3_Type* z3, unsigned int control)
{
    return flat::call(
        z3, [&](RadarInterface& radar) { return radar.set_noisemap_control_no_throw(control); });
}

int vmx_get_noisemap_control(Z3_Type* z3, unsigned int* control)
{
    return flat::call_into(
        z3, [](RadarInterface& radar, unsigned* out) { return radar.get_noisemap_control_no_throw(out); },
        control);
}

int vmx_set_parameter_file(Z3_Type* z3, const char* name, const char* text)
{
    return flat::with_connection(z3, [&](FlatConnection& connection) {
        const std::string file = flat::name(name);
        const std::string contents = flat::name(text);
        return connection.locked(
            [&](RadarInterface& radar) { return radar.set_parameter_file_no_throw(file, contents); });
    });
}

int vmx_get_parameter_file(Z3_Type* z3, const char* name, char* dst, unsigned int capacity)
{
    return flat::with_connection(z3, [&](FlatConnection& connection) {
        const std::string file = flat::name(name);
        flat::require_room(capacity, dst);
        std::string text;
        const int result = connection.locked(
            [&](RadarInterface& radar) { return radar.get_parameter_file_no_throw(file, text); });
        // A failed read has no text: nothing is copied and its code stands.
        if (flat::copy_out(text, dst, capacity) != 0)
            return 1;
        return result;
    });
}

int vmx_run_timing_measurement(Z3_Type* z3)
{
    return flat::call(z3, [](RadarInterface& radar) { radar.run_timing_measurement(); });
}

int vmx_set_fps(Z3_Type* z3, unsigned int fps)
{
    return flat::call(z3, [&](RadarInterface& radar) { return radar.set_fps(fps); });
}

int vmx_set_Z3_float(Z3_Type* z3, unsigned int id, float value)
{
    return flat::call(z3, [&](RadarInterface& radar) { return radar.set_Z3_float(id, value); });
}

int vmx_get_z3_float(Z3_Type* z3, unsigned int id, float* value)
{
    return get_value(z3, value, [&](RadarInterface& radar) { return radar.get_z3_float(id); });
}

int vmx_set_Z3_int(Z3_Type* z3, unsigned int id, unsigned int value)
{
    return flat::call(z3, [&](RadarInterface& radar) { return radar.set_Z3_int(id, value); });
}

int vmx_get_z3_int(Z3_Type* z3, unsigned int id, unsigned int* value)
{
    return get_value(z3, value, [&](RadarInterface& radar) { return radar.get_z3_int(id); });
}

int vmx_set_Z3_register(Z3_Type* z3, unsigned int address, unsigned int value)
{
    return flat::call(z3, [&](RadarInterface& radar) { return radar.set_Z3_register(address, value); });
}

int vmx_get_z3_register(Z3_Type* z3, unsigned int address, unsigned int* value)
{
    return get_value(z3, value, [&](RadarInterface& radar) { return radar.get_z3_register(address); });
}

int vmx_set_z7_fps(Z3_Type* z3, unsigned int fps)
{
    return flat::call(z3, [&](RadarInterface& radar) { return radar.set_z7_fps(fps); });
}

int vmx_get_z7_io_pin_value(Z3_Type* z3, unsigned int pin, unsigned char* value)
{
    return get_value(
        z3, value, [&](RadarInterface& radar) { return radar.get_z7_io_pin_value(low_byte(pin)); });
}

int vmx_set_z7_io_pin_value(Z3_Type* z3, unsigned int pin, unsigned int value)
{
    return flat::call(
        z3, [&](RadarInterface& radar) { return radar.set_z7_io_pin_value(low_byte(pin), low_byte(value)); });
}

int vmx_set_z7_io_pin_mode(Z3_Type* z3, unsigned int pin, unsigned int mode)
{
    return flat::call(
        z3, [&](RadarInterface& radar) { return radar.set_z7_io_pin_mode(low_byte(pin), low_byte(mode)); });
}

int vmx_set_z7_io_pin_dir(Z3_Type* z3, unsigned int pin, unsigned int direction)
{
    return flat::call(z3,
        [&](RadarInterface& radar) { return radar.set_z7_io_pin_dir(low_byte(pin), low_byte(direction)); });
}

int vmx_set_z7_io_pin_enable(Z3_Type* z3, unsigned int pin)
{
    return flat::call(z3, [&](RadarInterface& radar) { return radar.set_z7_io_pin_enable(low_byte(pin)); });
}

int vmx_set_z7_io_pin_disable(Z3_Type* z3, unsigned int pin)
{
    return flat::call(z3, [&](RadarInterface& radar) { return radar.set_z7_io_pin_disable(low_byte(pin)); });
}

int vmx_read_z7_spi(Z3_Type* z3, unsigned int address, unsigned char* value)
{
    return get_value(z3, value, [&](RadarInterface& radar) { return radar.read_z7_spi(low_byte(address)); });
}

int vmx_write_z7_spi(Z3_Type* z3, unsigned int address, unsigned int value)
{
    return flat::call(
        z3, [&](RadarInterface& radar) { return radar.write_z7_spi(low_byte(address), low_byte(value)); });
}
