#include <linkwell/Corvid.hpp>

#include <utility>

#include "api/CorvidPrivate.hpp"

namespace Sarvik {

// Two allocations: should the shared pointer's own fail, it frees the
// private part before the failure reaches the caller.
Corvid::Corvid(LockedRadarInterface& connection)
    : d(new CorvidPrivate(connection))
{ }

Corvid::~Corvid() = default;

// ---- Logging and identity ----------------------------------------------------

int Corvid::set_debug_level(uint8_t level)
{
    return d->call([&](RadarInterface& radar) { return radar.set_debug_level_no_throw(level); });
}

int Corvid::set_log_level(uint32_t level)
{
    return d->call([&](RadarInterface& radar) { return radar.set_log_level(static_cast<int>(level)); });
}

int Corvid::ping(uint32_t* pong)
{
    return d->call([&](RadarInterface& radar) { return radar.ping(pong); });
}

int Corvid::get_item_number(std::string* text)
{
    return d->call([&](RadarInterface& radar) { return radar.get_item_number(text); });
}

int Corvid::get_order_code(std::string* text)
{
    return d->call([&](RadarInterface& radar) { return radar.get_order_code(text); });
}

int Corvid::get_firmware_id(std::string* text)
{
    return d->call([&](RadarInterface& radar) { return radar.get_firmware_id(text); });
}

int Corvid::get_firmware_version(std::string* text)
{
    return d->call([&](RadarInterface& radar) { return radar.get_firmware_version(text); });
}

int Corvid::get_serial_number(std::string* text)
{
    return d->call([&](RadarInterface& radar) { return radar.get_serial_number(text); });
}

int Corvid::get_build_info(std::string* text)
{
    return d->call([&](RadarInterface& radar) { return radar.get_build_info(text); });
}

int Corvid::get_app_id_list(std::string* text)
{
    return d->call([&](RadarInterface& radar) { return radar.get_app_id_list(text); });
}

// ---- Module lifecycle, sensor mode and profiles ------------------------------

int Corvid::reset()
{
    return d->call([&](RadarInterface& radar) { return radar.reset_no_throw(); });
}

int Corvid::start_bootloader()
{
    return d->call([&](RadarInterface& radar) { return radar.start_bootloader_no_throw(); });
}

int Corvid::set_sensor_mode_run()
{
    return d->call([&](RadarInterface& radar) { return radar.set_sensor_mode_run_no_throw(); });
}

int Corvid::set_sensor_mode_idle()
{
    return d->call([&](RadarInterface& radar) { return radar.set_sensor_mode_idle_no_throw(); });
}

int Corvid::load_sleep_profile()
{
    return d->call([&](RadarInterface& radar) { return radar.load_sleep_profile_no_throw(); });
}

int Corvid::load_respiration_profile()
{
    return d->call([&](RadarInterface& radar) { return radar.load_respiration_profile_no_throw(); });
}

// ---- Outputs and settings ----------------------------------------------------

int Corvid::enable_baseband_ap()
{
    return d->call([&](RadarInterface& radar) { return radar.enable_baseband_ap_no_throw(); });
}

int Corvid::disable_baseband_ap()
{
    return d->call([&](RadarInterface& radar) { return radar.disable_baseband_ap_no_throw(); });
}

int Corvid::enable_baseband_iq()
{
    return d->call([&](RadarInterface& radar) { return radar.enable_baseband_iq_no_throw(); });
}

int Corvid::disable_baseband_iq()
{
    return d->call([&](RadarInterface& radar) { return radar.disable_baseband_iq_no_throw(); });
}

int Corvid::disable_resp_output()
{
    return d->call([&](RadarInterface& radar) { return radar.disable_resp_output_no_throw(); });
}

int Corvid::enable_resp_output()
{
    return d->call([&](RadarInterface& radar) { return radar.enable_resp_output_no_throw(); });
}

int Corvid::set_detection_zone(float start, float end)
{
    return d->call([&](RadarInterface& radar) { return radar.set_detection_zone_no_throw(start, end); });
}

int Corvid::set_sensitivity(uint32_t sensitivity)
{
    return d->call([&](RadarInterface& radar) { return radar.set_sensitivity_no_throw(sensitivity); });
}

int Corvid::set_led_control(uint8_t mode, uint8_t intensity)
{
    return d->call([&](RadarInterface& radar) { return radar.set_led_control_no_throw(mode, intensity); });
}

// ---- Queues named by the caller ----------------------------------------------

int Corvid::subscribe_to_resp_status(const std::string& name)
{
    return d->call([&](RadarInterface& radar) { return radar.subscribe_to_resp_status(name); });
}

int Corvid::subscribe_to_sleep_status(const std::string& name)
{
    return d->call([&](RadarInterface& radar) { return radar.subscribe_to_sleep_status(name); });
}

int Corvid::subscribe_to_baseband_ap(const std::string& name)
{
    return d->call([&](RadarInterface& radar) { return radar.subscribe_to_baseband_ap(name); });
}

int Corvid::subscribe_to_baseband_iq(const std::string& name)
{
    return d->call([&](RadarInterface& radar) { return radar.subscribe_to_baseband_iq(name); });
}

int Corvid::get_number_of_packets(const std::string& name)
{
    return d->call([&](RadarInterface& radar) { return radar.get_number_of_packets(name); });
}

int Corvid::get_respiration_data(std::string name, RespirationData* data)
{
    return d->call([&](RadarInterface& radar) { return radar.get_respiration_data(std::move(name), data); });
}

int Corvid::get_sleep_data(std::string name, SleepData* data)
{
    return d->call([&](RadarInterface& radar) { return radar.get_sleep_data(std::move(name), data); });
}

int Corvid::get_baseband_ap_data(std::string name, BasebandApData* data)
{
    return d->call([&](RadarInterface& radar) { return radar.get_baseband_ap_data(std::move(name), data); });
}

int Corvid::get_baseband_iq_data(std::string name, BasebandIqData* data)
{
    return d->call([&](RadarInterface& radar) { return radar.get_baseband_iq_data(std::move(name), data); });
}

void Corvid::clear(const std::string& name)
{
    d->call([&](RadarInterface& radar) { radar.clear(name); });
}

// ---- Callback subscriptions --------------------------------------------------

int Corvid::subscribe_to_resp_status(const std::string& name, std::function<bool(Bytes)> callback)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.subscribe_to_resp_status(name, std::move(callback)); });
}

int Corvid::subscribe_to_sleep_status(const std::string& name, std::function<bool(Bytes)> callback)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.subscribe_to_sleep_status(name, std::move(callback)); });
}

int Corvid::subscribe_to_baseband_ap(const std::string& name, std::function<bool(Bytes)> callback)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.subscribe_to_baseband_ap(name, std::move(callback)); });
}

int Corvid::subscribe_to_baseband_iq(const std::string& name, std::function<bool(Bytes)> callback)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.subscribe_to_baseband_iq(name, std::move(callback)); });
}

} // namespace Sarvik
