#include <linkwell/PyOsprey.hpp>

#include <linkwell/Z3.hpp>

#include "api/ModelPrivate.hpp"

namespace Sarvik {

// Each presence queue in a locked call of its own. Should one of them throw,
// the private part is freed as the exception leaves.
PyOsprey::PyOsprey(LockedRadarInterface& connection)
    : d(new ModelPrivate(connection))
{
    d->call([](RadarInterface& radar) { return radar.subscribe_to_presence_single(); });
    d->call([](RadarInterface& radar) { return radar.subscribe_to_presence_movinglist(); });
}

PyOsprey::~PyOsprey() = default;

// ---- System and module lifecycle --------------------------------------------

void PyOsprey::set_baudrate(uint32_t baud_rate)
{
    return d->call([&](RadarInterface& radar) { return radar.set_baudrate(baud_rate); });
}

std::string PyOsprey::get_system_info(uint8_t code)
{
    return d->call([&](Z3& z3) { return z3.get_system_info(code); });
}

uint32_t PyOsprey::ping()
{
    return d->call([&](Z3& z3) { return z3.ping(); });
}

void PyOsprey::module_reset()
{
    return d->call([&](RadarInterface& radar) { return radar.module_reset(); });
}

void PyOsprey::reset_to_factory_preset()
{
    return d->call([&](RadarInterface& radar) { return radar.reset_to_factory_preset(); });
}

void PyOsprey::start_bootloader()
{
    return d->call([&](RadarInterface& radar) { return radar.start_bootloader(); });
}

void PyOsprey::inject_frame(uint32_t first, uint32_t second, const std::vector<float>& frame)
{
    return d->call([&](RadarInterface& radar) { return radar.inject_frame(first, second, frame); });
}

void PyOsprey::prepare_inject_frame(uint32_t first, uint32_t second, uint32_t third)
{
    return d->call([&](RadarInterface& radar) { return radar.prepare_inject_frame(first, second, third); });
}

void PyOsprey::set_debug_level(uint8_t level)
{
    return d->call([&](Z3& z3) { return z3.set_debug_level(level); });
}

int PyOsprey::system_run_test(uint8_t code, Bytes* result)
{
    return d->call([&](RadarInterface& radar) { return radar.system_run_test(code, result); });
}

void PyOsprey::load_profile(uint32_t profile_id)
{
    return d->call([&](RadarInterface& radar) { return radar.load_profile(profile_id); });
}

void PyOsprey::set_sensor_mode(uint8_t mode, uint8_t submode)
{
    return d->call([&](Z3& z3) { return z3.set_sensor_mode_and_submode(mode, submode); });
}

uint8_t PyOsprey::get_sensor_mode()
{
    return d->call([&](RadarInterface& radar) { return radar.get_sensor_mode(); });
}

// ---- Application settings ---------------------------------------------------

void PyOsprey::set_sensitivity(uint32_t sensitivity)
{
    return d->call([&](RadarInterface& radar) { return radar.set_sensitivity(sensitivity); });
}

uint32_t PyOsprey::get_sensitivity()
{
    return d->call([&](RadarInterface& radar) { return radar.get_sensitivity(); });
}

void PyOsprey::set_tx_center_frequency(uint32_t frequency_band)
{
    return d->call([&](RadarInterface& radar) { return radar.set_tx_center_frequency(frequency_band); });
}

uint32_t PyOsprey::get_tx_center_frequency()
{
    return d->call([&](RadarInterface& radar) { return radar.get_tx_center_frequency(); });
}

std::pair<float, float> PyOsprey::get_detection_zone()
{
    return d->call([&](RadarInterface& radar) { return radar.get_detection_zone(); });
}

void PyOsprey::set_detection_zone(float start, float end)
{
    return d->call([&](RadarInterface& radar) { return radar.set_detection_zone(start, end); });
}

std::tuple<float, float, float> PyOsprey::get_detection_zone_limits()
{
    return d->call([&](RadarInterface& radar) { return radar.get_detection_zone_limits(); });
}

void PyOsprey::set_led_control(uint8_t mode, uint8_t intensity)
{
    return d->call([&](RadarInterface& radar) { return radar.set_led_control(mode, intensity); });
}

uint8_t PyOsprey::get_led_control()
{
    return d->call([&](RadarInterface& radar) { return radar.get_led_control(); });
}

void PyOsprey::set_output_control(uint32_t output, uint32_t control)
{
    return d->call([&](RadarInterface& radar) { return radar.set_output_control(output, control); });
}

uint32_t PyOsprey::get_output_control(uint32_t output)
{
    return d->call([&](RadarInterface& radar) { return radar.get_output_control(output); });
}

void PyOsprey::set_debug_output_control(uint32_t output, uint32_t control)
{
    return d->call([&](RadarInterface& radar) { return radar.set_debug_output_control(output, control); });
}

uint32_t PyOsprey::get_debug_output_control(uint32_t output)
{
    return d->call([&](RadarInterface& radar) { return radar.get_debug_output_control(output); });
}

// ---- Data message queues ----------------------------------------------------

int PyOsprey::peek_message_presence_single()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_presence_single(); });
}

PresenceSingleData PyOsprey::read_message_presence_single()
{
    return d->call([&](RadarInterface& radar) { return radar.read_message_presence_single(); });
}

int PyOsprey::peek_message_presence_movinglist()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_presence_movinglist(); });
}

PresenceMovingListData PyOsprey::read_message_presence_movinglist()
{
    return d->call([&](RadarInterface& radar) { return radar.read_message_presence_movinglist(); });
}

int PyOsprey::peek_message_baseband_ap()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_baseband_ap(); });
}

BasebandApData PyOsprey::read_message_baseband_ap()
{
    return d->call([&](RadarInterface& radar) { return radar.read_message_baseband_ap(); });
}

int PyOsprey::peek_message_baseband_iq()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_baseband_iq(); });
}

BasebandIqData PyOsprey::read_message_baseband_iq()
{
    return d->call([&](RadarInterface& radar) { return radar.read_message_baseband_iq(); });
}

int PyOsprey::reset()
{
    return d->call([&](RadarInterface& radar) {
        radar.reset();
        return 0;
    });
}

int PyOsprey::peek_message_pulsedoppler_float()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_pulsedoppler_float(); });
}

PulseDopplerFloatData PyOsprey::read_message_pulsedoppler_float()
{
    return d->call([&](RadarInterface& radar) { return radar.read_message_pulsedoppler_float(); });
}

int PyOsprey::peek_message_pulsedoppler_byte()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_pulsedoppler_byte(); });
}

PulseDopplerByteData PyOsprey::read_message_pulsedoppler_byte()
{
    return d->call([&](RadarInterface& radar) { return radar.read_message_pulsedoppler_byte(); });
}

int PyOsprey::peek_message_noisemap_float()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_noisemap_float(); });
}

PulseDopplerFloatData PyOsprey::read_message_noisemap_float()
{
    return d->call([&](RadarInterface& radar) { return radar.read_message_noisemap_float(); });
}

int PyOsprey::peek_message_noisemap_byte()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_noisemap_byte(); });
}

PulseDopplerByteData PyOsprey::read_message_noisemap_byte()
{
    return d->call([&](RadarInterface& radar) { return radar.read_message_noisemap_byte(); });
}

// ---- Noise map --------------------------------------------------------------

void PyOsprey::load_noisemap()
{
    return d->call([&](RadarInterface& radar) { return radar.load_noisemap(); });
}

void PyOsprey::store_noisemap()
{
    return d->call([&](RadarInterface& radar) { return radar.store_noisemap(); });
}

void PyOsprey::delete_noisemap()
{
    return d->call([&](RadarInterface& radar) { return radar.delete_noisemap(); });
}

void PyOsprey::set_noisemap_control(uint32_t control)
{
    return d->call([&](RadarInterface& radar) { return radar.set_noisemap_control(control); });
}

uint32_t PyOsprey::get_noisemap_control()
{
    return d->call([&](RadarInterface& radar) { return radar.get_noisemap_control(); });
}

void PyOsprey::set_periodic_noisemap_store(uint32_t first, uint32_t second)
{
    return d->call([&](RadarInterface& radar) { return radar.set_periodic_noisemap_store(first, second); });
}

std::pair<uint32_t, uint32_t> PyOsprey::get_periodic_noisemap_store()
{
    return d->call([&](RadarInterface& radar) { return radar.get_periodic_noisemap_store(); });
}

// ---- Parameter file and profile ---------------------------------------------

std::string PyOsprey::get_parameter_file(const std::string& file_name)
{
    return d->call([&](RadarInterface& radar) { return radar.get_parameter_file(file_name); });
}

uint32_t PyOsprey::get_profileid()
{
    return d->call([&](RadarInterface& radar) { return radar.get_profileid(); });
}

void PyOsprey::set_parameter_file(const std::string& file_name, const std::string& text)
{
    return d->call([&](RadarInterface& radar) { return radar.set_parameter_file(file_name, text); });
}

// ---- I/O pins ---------------------------------------------------------------

void PyOsprey::set_iopin_control(uint32_t pin, uint32_t setup, uint32_t feature)
{
    return d->call([&](RadarInterface& radar) { return radar.set_iopin_control(pin, setup, feature); });
}

std::pair<uint32_t, uint32_t> PyOsprey::get_iopin_control(uint32_t pin)
{
    return d->call([&](RadarInterface& radar) { return radar.get_iopin_control(pin); });
}

void PyOsprey::set_iopin_value(uint32_t pin, uint32_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.set_iopin_value(pin, value); });
}

uint32_t PyOsprey::get_iopin_value(uint32_t pin)
{
    return d->call([&](RadarInterface& radar) { return radar.get_iopin_value(pin); });
}

} // namespace Sarvik
