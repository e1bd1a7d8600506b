#include <linkwell/PyCorvid.hpp>

#include <linkwell/Z3.hpp>

#include "api/LockedCall.hpp"
#include "command/RadarInterface.hpp"

#include <utility>

namespace Sarvik {

PyCorvid::PyCorvid(LockedRadarInterface& connection)
    : connection_(&connection)
{ }

PyCorvid::~PyCorvid() = default;

// ---- Logging and identity ---------------------------------------------------

void PyCorvid::set_debug_level(uint8_t level)
{
    return locked_call(*connection_, [&](Z3& z3) { return z3.set_debug_level(level); });
}

void PyCorvid::set_log_level(uint32_t level)
{
    return locked_call(
        *connection_, [&](RadarInterface& radar) { radar.set_log_level(static_cast<int>(level)); });
}

uint32_t PyCorvid::ping()
{
    return locked_call(*connection_, [&](Z3& z3) { return z3.ping(); });
}

std::string PyCorvid::get_item_number()
{
    return locked_call(*connection_, [&](RadarInterface& radar) { return radar.get_item_number(); });
}

std::string PyCorvid::get_order_code()
{
    return locked_call(*connection_, [&](RadarInterface& radar) { return radar.get_order_code(); });
}

std::string PyCorvid::get_firmware_id()
{
    return locked_call(*connection_, [&](RadarInterface& radar) { return radar.get_firmware_id(); });
}

std::string PyCorvid::get_firmware_version()
{
    return locked_call(*connection_, [&](RadarInterface& radar) { return radar.get_firmware_version(); });
}

std::string PyCorvid::get_serial_number()
{
    return locked_call(*connection_, [&](RadarInterface& radar) { return radar.get_serial_number(); });
}

std::string PyCorvid::get_build_info()
{
    return locked_call(*connection_, [&](RadarInterface& radar) { return radar.get_build_info(); });
}

std::string PyCorvid::get_app_id_list()
{
    return locked_call(*connection_, [&](RadarInterface& radar) { return radar.get_app_id_list(); });
}

// ---- Module lifecycle, sensor mode and profiles -----------------------------

void PyCorvid::reset()
{
    return locked_call(*connection_, [&](RadarInterface& radar) { return radar.reset(); });
}

void PyCorvid::start_bootloader()
{
    return locked_call(*connection_, [&](RadarInterface& radar) { return radar.start_bootloader(); });
}

void PyCorvid::set_sensor_mode_run()
{
    return locked_call(*connection_, [&](RadarInterface& radar) { return radar.set_sensor_mode_run(); });
}

void PyCorvid::set_sensor_mode_idle()
{
    return locked_call(*connection_, [&](RadarInterface& radar) { return radar.set_sensor_mode_idle(); });
}

void PyCorvid::load_sleep_profile()
{
    return locked_call(*connection_, [&](RadarInterface& radar) { return radar.load_sleep_profile(); });
}

void PyCorvid::load_respiration_profile()
{
    return locked_call(*connection_, [&](RadarInterface& radar) { return radar.load_respiration_profile(); });
}

// ---- Outputs and settings ---------------------------------------------------

void PyCorvid::enable_baseband_ap()
{
    return locked_call(*connection_, [&](RadarInterface& radar) { return radar.enable_baseband_ap(); });
}

void PyCorvid::disable_baseband_ap()
{
    return locked_call(*connection_, [&](RadarInterface& radar) { return radar.disable_baseband_ap(); });
}

void PyCorvid::enable_baseband_iq()
{
    return locked_call(*connection_, [&](RadarInterface& radar) { return radar.enable_baseband_iq(); });
}

void PyCorvid::disable_baseband_iq()
{
    return locked_call(*connection_, [&](RadarInterface& radar) { return radar.disable_baseband_iq(); });
}

void PyCorvid::set_detection_zone(float start, float end)
{
    return locked_call(
        *connection_, [&](RadarInterface& radar) { return radar.set_detection_zone(start, end); });
}

void PyCorvid::set_sensitivity(uint32_t sensitivity)
{
    return locked_call(
        *connection_, [&](RadarInterface& radar) { return radar.set_sensitivity(sensitivity); });
}

void PyCorvid::set_led_control(uint8_t mode, uint8_t intensity)
{
    return locked_call(
        *connection_, [&](RadarInterface& radar) { return radar.set_led_control(mode, intensity); });
}

// ---- Queues named by the caller ---------------------------------------------

int PyCorvid::subscribe_to_resp_status(const std::string& name)
{
    return locked_call(
        *connection_, [&](RadarInterface& radar) { return radar.subscribe_to_resp_status(name); });
}

int PyCorvid::subscribe_to_sleep_status(const std::string& name)
{
    return locked_call(
        *connection_, [&](RadarInterface& radar) { return radar.subscribe_to_sleep_status(name); });
}

int PyCorvid::subscribe_to_baseband_ap(const std::string& name)
{
    return locked_call(
        *connection_, [&](RadarInterface& radar) { return radar.subscribe_to_baseband_ap(name); });
}

int PyCorvid::subscribe_to_baseband_iq(const std::string& name)
{
    return locked_call(
        *connection_, [&](RadarInterface& radar) { return radar.subscribe_to_baseband_iq(name); });
}

void PyCorvid::unsubscribe(const std::string& name)
{
    return locked_call(*connection_, [&](Z3& z3) { return z3.unsubscribe(name); });
}

void PyCorvid::disable_resp_output()
{
    return locked_call(*connection_, [&](RadarInterface& radar) { return radar.disable_resp_output(); });
}

void PyCorvid::enable_resp_output()
{
    return locked_call(*connection_, [&](RadarInterface& radar) { return radar.enable_resp_output(); });
}

int PyCorvid::get_number_of_packets(const std::string& name)
{
    return locked_call(*connection_, [&](Z3& z3) { return z3.get_number_of_packets(name); });
}

Bytes PyCorvid::get_packet(const std::string& name)
{
    return locked_call(*connection_, [&](RadarInterface& radar) { return radar.get_packet(name); });
}

RespirationData PyCorvid::get_respiration_data(std::string name)
{
    return locked_call(
        *connection_, [&](RadarInterface& radar) { return radar.get_respiration_data(std::move(name)); });
}

SleepData PyCorvid::get_sleep_data(std::string name)
{
    return locked_call(
        *connection_, [&](RadarInterface& radar) { return radar.get_sleep_data(std::move(name)); });
}

BasebandApData PyCorvid::get_baseband_ap_data(std::string name)
{
    return locked_call(
        *connection_, [&](RadarInterface& radar) { return radar.get_baseband_ap_data(std::move(name)); });
}

BasebandIqData PyCorvid::get_baseband_iq_data(std::string name)
{
    return locked_call(
        *connection_, [&](RadarInterface& radar) { return radar.get_baseband_iq_data(std::move(name)); });
}

void PyCorvid::clear(const std::string& name)
{
    return locked_call(*connection_, [&](Z3& z3) { return z3.clear(name); });
}

} // namespace Sarvik
