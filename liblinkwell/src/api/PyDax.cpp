#include <linkwell/PyDax.hpp>

#include <linkwell/Z3.hpp>

#include "api/ModelPrivate.hpp"

namespace Sarvik {

PyDax::PyDax(LockedRadarInterface& connection)
    : d(new ModelPrivate(connection))
{ }

PyDax::~PyDax() = default;

// ---- System -----------------------------------------------------------------

void PyDax::set_baudrate(uint32_t baud_rate)
{
    return d->call([&](RadarInterface& radar) { return radar.set_baudrate(baud_rate); });
}

std::string PyDax::get_system_info(uint8_t code)
{
    return d->call([&](Z3& z3) { return z3.get_system_info(code); });
}

uint32_t PyDax::ping()
{
    return d->call([&](Z3& z3) { return z3.ping(); });
}

void PyDax::module_reset()
{
    return d->call([&](RadarInterface& radar) { return radar.module_reset(); });
}

// ---- Output and processing settings -----------------------------------------

void PyDax::set_normalization(uint8_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.set_normalization(value); });
}

uint8_t PyDax::get_normalization()
{
    return d->call([&](RadarInterface& radar) { return radar.get_normalization(); });
}

void PyDax::set_phase_noise_correction(uint8_t enable, float correction_distance)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.set_phase_noise_correction(enable, correction_distance); });
}

float PyDax::get_phase_noise_correction()
{
    return d->call([&](RadarInterface& radar) { return radar.get_phase_noise_correction(); });
}

void PyDax::set_decimation_factor(uint32_t factor)
{
    return d->call([&](RadarInterface& radar) { return radar.set_decimation_factor(factor); });
}

uint32_t PyDax::get_decimation_factor()
{
    return d->call([&](RadarInterface& radar) { return radar.get_decimation_factor(); });
}

void PyDax::set_number_format(uint8_t format)
{
    return d->call([&](RadarInterface& radar) { return radar.set_number_format(format); });
}

uint8_t PyDax::get_number_format()
{
    return d->call([&](RadarInterface& radar) { return radar.get_number_format(); });
}

void PyDax::set_legacy_output(uint8_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.set_legacy_output(value); });
}

uint8_t PyDax::get_legacy_output()
{
    return d->call([&](RadarInterface& radar) { return radar.get_legacy_output(); });
}

// ---- Radar chip driver ------------------------------------------------------

void PyDax::z7driver_set_fps(float fps)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_set_fps(fps); });
}

float PyDax::z7driver_get_fps()
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_get_fps(); });
}

void PyDax::z7driver_set_enable(uint8_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_set_enable(value); });
}

void PyDax::z7driver_init()
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_init(); });
}

void PyDax::z7driver_set_iterations(uint32_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_set_iterations(value); });
}

uint32_t PyDax::z7driver_get_iterations()
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_get_iterations(); });
}

void PyDax::z7driver_set_pulses_per_step(uint32_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_set_pulsesperstep(value); });
}

uint32_t PyDax::z7driver_get_pulses_per_step()
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_get_pulsesperstep(); });
}

void PyDax::z7driver_set_dac_min(uint32_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_set_dac_min(value); });
}

uint32_t PyDax::z7driver_get_dac_min()
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_get_dac_min(); });
}

void PyDax::z7driver_set_dac_max(uint32_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_set_dac_max(value); });
}

uint32_t PyDax::z7driver_get_dac_max()
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_get_dac_max(); });
}

void PyDax::z7driver_set_tx_power(uint8_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_set_tx_power(value); });
}

uint8_t PyDax::z7driver_get_tx_power()
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_get_tx_power(); });
}

void PyDax::z7driver_set_downconversion(uint8_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_set_downconversion(value); });
}

uint8_t PyDax::z7driver_get_downconversion()
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_get_downconversion(); });
}

uint32_t PyDax::z7driver_get_frame_bin_count()
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_get_frame_bin_count(); });
}

void PyDax::z7driver_set_frame_area(float start, float end)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_set_frame_area(start, end); });
}

FrameArea PyDax::z7driver_get_frame_area()
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_get_frame_area(); });
}

void PyDax::z7driver_set_frame_area_offset(float offset)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_set_frame_area_offset(offset); });
}

float PyDax::z7driver_get_frame_area_offset()
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_get_frame_area_offset(); });
}

void PyDax::z7driver_set_tx_center_frequency(uint8_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_set_tx_center_frequency(value); });
}

uint8_t PyDax::z7driver_get_tx_center_frequency()
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_get_tx_center_frequency(); });
}

void PyDax::z7driver_set_spi_register(uint8_t address, uint8_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_set_spi_register(address, value); });
}

uint8_t PyDax::z7driver_get_spi_register(uint8_t address)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_get_spi_register(address); });
}

void PyDax::z7driver_write_to_spi_register(uint8_t address, const Bytes& values)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.z7driver_write_to_spi_register(address, values); });
}

Bytes PyDax::z7driver_read_from_spi_register(uint8_t address, uint32_t length)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.z7driver_read_from_spi_register(address, length); });
}

void PyDax::z7driver_write_to_i2c_register(uint8_t address, const Bytes& values)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.z7driver_write_to_i2c_register(address, values); });
}

Bytes PyDax::z7driver_read_from_i2c_register(uint32_t length)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_read_from_i2c_register(length); });
}

void PyDax::z7driver_set_pif_register(uint8_t address, uint8_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_set_pif_register(address, value); });
}

uint8_t PyDax::z7driver_get_pif_register(uint8_t address)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_get_pif_register(address); });
}

void PyDax::z7driver_set_xif_register(uint8_t address, uint8_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_set_xif_register(address, value); });
}

uint8_t PyDax::z7driver_get_xif_register(uint8_t address)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_get_xif_register(address); });
}

void PyDax::z7driver_set_prf_div(uint8_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_set_prf_div(value); });
}

uint8_t PyDax::z7driver_get_prf_div()
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_get_prf_div(); });
}

// ---- I/O pins ---------------------------------------------------------------

void PyDax::set_iopin_control(uint32_t pin, uint32_t setup, uint32_t feature)
{
    return d->call([&](RadarInterface& radar) { return radar.set_iopin_control(pin, setup, feature); });
}

void PyDax::set_iopin_value(uint32_t pin, uint32_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.set_iopin_value(pin, value); });
}

uint32_t PyDax::get_iopin_value(uint32_t pin)
{
    return d->call([&](RadarInterface& radar) { return radar.get_iopin_value(pin); });
}

// ---- Data message queues ----------------------------------------------------

int PyDax::peek_message_data_float()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_data_float(); });
}

DataFloat PyDax::read_message_data_float()
{
    return d->call([&](RadarInterface& radar) { return radar.read_message_data_float(); });
}

int PyDax::peek_message_radar_rf()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_radar_rf(); });
}

RadarRfData PyDax::read_message_radar_rf()
{
    return d->call([&](RadarInterface& radar) { return radar.read_message_radar_rf(); });
}

int PyDax::peek_message_radar_rf_normalized()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_radar_rf_normalized(); });
}

RadarRfNormalizedData PyDax::read_message_radar_rf_normalized()
{
    return d->call([&](RadarInterface& radar) { return radar.read_message_radar_rf_normalized(); });
}

int PyDax::peek_message_radar_baseband_float()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_radar_baseband_float(); });
}

RadarBasebandFloatData PyDax::read_message_radar_baseband_float()
{
    return d->call([&](RadarInterface& radar) { return radar.read_message_radar_baseband_float(); });
}

int PyDax::peek_message_radar_baseband_q15()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_radar_baseband_q15(); });
}

RadarBasebandQ15Data PyDax::read_message_radar_baseband_q15()
{
    return d->call([&](RadarInterface& radar) { return radar.read_message_radar_baseband_q15(); });
}

int PyDax::peek_message_data_string()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_data_string(); });
}

int PyDax::read_message_data_string(uint32_t* content_id, uint32_t* info, std::string* text)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.read_message_data_string(content_id, info, text); });
}

int PyDax::peek_message_data_byte()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_data_byte(); });
}

int PyDax::read_message_data_byte(uint32_t* content_id, uint32_t* info, Bytes* data)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.read_message_data_byte(content_id, info, data); });
}

int PyDax::peek_message_system()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_system(); });
}

uint32_t PyDax::read_message_system()
{
    return d->call([&](RadarInterface& radar) { return radar.read_message_system(); });
}

// ---- Module file system -----------------------------------------------------

std::vector<int> PyDax::search_for_file_by_type(uint32_t type)
{
    return d->call([&](RadarInterface& radar) { return radar.search_for_file_by_type(type); });
}

Files PyDax::find_all_files()
{
    return d->call([&](RadarInterface& radar) { return radar.find_all_files(); });
}

void PyDax::create_file(uint32_t type, uint32_t identifier, uint32_t length)
{
    return d->call([&](RadarInterface& radar) { return radar.create_file(type, identifier, length); });
}

void PyDax::open_file(uint32_t type, uint32_t identifier)
{
    return d->call([&](RadarInterface& radar) { return radar.open_file(type, identifier); });
}

void PyDax::set_file_data(uint32_t type, uint32_t identifier, uint32_t offset, const Bytes& data)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.set_file_data(type, identifier, offset, data); });
}

void PyDax::close_file(uint32_t type, uint32_t identifier, bool commit)
{
    return d->call([&](RadarInterface& radar) { return radar.close_file(type, identifier, commit); });
}

uint32_t PyDax::get_file_length(uint32_t type, uint32_t identifier)
{
    return d->call([&](RadarInterface& radar) { return radar.get_file_length(type, identifier); });
}

void PyDax::delete_file(uint32_t type, uint32_t identifier)
{
    return d->call([&](RadarInterface& radar) { return radar.delete_file(type, identifier); });
}

void PyDax::format_filesystem(uint32_t key)
{
    return d->call([&](RadarInterface& radar) { return radar.format_filesystem(key); });
}

Bytes PyDax::get_file_data(uint32_t type, uint32_t identifier, uint32_t offset, uint32_t length)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.get_file_data(type, identifier, offset, length); });
}

void PyDax::set_file(uint32_t type, uint32_t identifier, const Bytes& data)
{
    return d->call([&](RadarInterface& radar) { return radar.set_file(type, identifier, data); });
}

Bytes PyDax::get_file(uint32_t type, uint32_t identifier)
{
    return d->call([&](RadarInterface& radar) { return radar.get_file(type, identifier); });
}

} // namespace Sarvik
