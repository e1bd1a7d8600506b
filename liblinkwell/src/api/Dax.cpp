#include <linkwell/Dax.hpp>

#include "api/ModelPrivate.hpp"

namespace Sarvik {

Dax::Dax(LockedRadarInterface& connection)
    : d(new ModelPrivate(connection))
{ }

Dax::~Dax() = default;

// ---- System ------------------------------------------------------------------

int Dax::set_baudrate(uint32_t baud_rate)
{
    return d->call([&](RadarInterface& radar) { return radar.set_baudrate_no_throw(baud_rate); });
}

int Dax::get_system_info(uint8_t code, std::string* text)
{
    return d->call([&](RadarInterface& radar) { return radar.get_system_info(code, text); });
}

int Dax::ping(uint32_t* pong)
{
    return d->call([&](RadarInterface& radar) { return radar.ping(pong); });
}

int Dax::module_reset()
{
    return d->call([&](RadarInterface& radar) { return radar.module_reset_no_throw(); });
}

// ---- Output and processing settings ------------------------------------------

int Dax::set_normalization(uint8_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.set_normalization_no_throw(value); });
}

int Dax::get_normalization(uint8_t* value)
{
    return d->call([&](RadarInterface& radar) { return radar.get_normalization_no_throw(value); });
}

int Dax::set_phase_noise_correction(uint8_t enable, float correction_distance)
{
    return d->call([&](RadarInterface& radar) {
        return radar.set_phase_noise_correction_no_throw(enable, correction_distance);
    });
}

int Dax::get_phase_noise_correction(float* correction_distance)
{
    return d->call([&](RadarInterface& radar) {
        return radar.get_phase_noise_correction_no_throw(correction_distance);
    });
}

int Dax::set_decimation_factor(uint32_t factor)
{
    return d->call([&](RadarInterface& radar) { return radar.set_decimation_factor_no_throw(factor); });
}

int Dax::get_decimation_factor(uint32_t* factor)
{
    return d->call([&](RadarInterface& radar) { return radar.get_decimation_factor_no_throw(factor); });
}

int Dax::set_number_format(uint8_t format)
{
    return d->call([&](RadarInterface& radar) { return radar.set_number_format_no_throw(format); });
}

int Dax::get_number_format(uint8_t* format)
{
    return d->call([&](RadarInterface& radar) { return radar.get_number_format_no_throw(format); });
}

int Dax::set_legacy_output(uint8_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.set_legacy_output_no_throw(value); });
}

int Dax::get_legacy_output(uint8_t* value)
{
    return d->call([&](RadarInterface& radar) { return radar.get_legacy_output_no_throw(value); });
}

// ---- Radar chip driver -------------------------------------------------------

int Dax::z7driver_set_fps(float fps)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_set_fps_no_throw(fps); });
}

int Dax::z7driver_get_fps(float* fps)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_get_fps_no_throw(fps); });
}

int Dax::z7driver_set_enable(uint8_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_set_enable_no_throw(value); });
}

int Dax::z7driver_init()
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_init_no_throw(); });
}

int Dax::z7driver_set_iterations(uint32_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_set_iterations_no_throw(value); });
}

int Dax::z7driver_get_iterations(uint32_t* value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_get_iterations_no_throw(value); });
}

int Dax::z7driver_set_pulses_per_step(uint32_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_set_pulsesperstep_no_throw(value); });
}

int Dax::z7driver_get_pulses_per_step(uint32_t* value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_get_pulsesperstep_no_throw(value); });
}

int Dax::z7driver_set_dac_min(uint32_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_set_dac_min_no_throw(value); });
}

int Dax::z7driver_get_dac_min(uint32_t* value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_get_dac_min_no_throw(value); });
}

int Dax::z7driver_set_dac_max(uint32_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_set_dac_max_no_throw(value); });
}

int Dax::z7driver_get_dac_max(uint32_t* value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_get_dac_max_no_throw(value); });
}

int Dax::z7driver_set_tx_power(uint8_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_set_tx_power_no_throw(value); });
}

int Dax::z7driver_get_tx_power(uint8_t* value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_get_tx_power_no_throw(value); });
}

int Dax::z7driver_set_downconversion(uint8_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_set_downconversion_no_throw(value); });
}

int Dax::z7driver_get_downconversion(uint8_t* value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_get_downconversion_no_throw(value); });
}

int Dax::z7driver_get_frame_bin_count(uint32_t* count)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_get_frame_bin_count_no_throw(count); });
}

int Dax::z7driver_set_frame_area(float start, float end)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_set_frame_area_no_throw(start, end); });
}

int Dax::z7driver_get_frame_area(FrameArea* area)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_get_frame_area_no_throw(area); });
}

int Dax::z7driver_set_frame_area_offset(float offset)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.z7driver_set_frame_area_offset_no_throw(offset); });
}

int Dax::z7driver_get_frame_area_offset(float* offset)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_get_frame_area_offset(offset); });
}

int Dax::z7driver_set_tx_center_frequency(uint8_t value)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.z7driver_set_tx_center_frequency_no_throw(value); });
}

int Dax::z7driver_get_tx_center_frequency(uint8_t* value)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.z7driver_get_tx_center_frequency_no_throw(value); });
}

int Dax::z7driver_set_spi_register(uint8_t address, uint8_t value)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.z7driver_set_spi_register_no_throw(address, value); });
}

int Dax::z7driver_get_spi_register(uint8_t address, uint8_t* value)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.z7driver_get_spi_register_no_throw(address, value); });
}

int Dax::z7driver_write_to_spi_register(uint8_t address, const Bytes& values)
{
    return d->call([&](RadarInterface& radar) {
        return radar.z7driver_write_to_spi_register_no_throw(address, values);
    });
}

int Dax::z7driver_read_from_spi_register(uint8_t address, Bytes* values, uint32_t length)
{
    return d->call([&](RadarInterface& radar) {
        return radar.z7driver_read_from_spi_register_no_throw(address, values, length);
    });
}

int Dax::z7driver_write_to_i2c_register(uint8_t address, const Bytes& values)
{
    return d->call([&](RadarInterface& radar) {
        return radar.z7driver_write_to_i2c_register_no_throw(address, values);
    });
}

int Dax::z7driver_read_from_i2c_register(Bytes* values, uint32_t length)
{
    return d->call([&](RadarInterface& radar) {
        return radar.z7driver_read_from_i2c_register_no_throw(values, length);
    });
}

int Dax::z7driver_set_pif_register(uint8_t address, uint8_t value)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.z7driver_set_pif_register_no_throw(address, value); });
}

int Dax::z7driver_get_pif_register(uint8_t address, uint8_t* value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_get_pif_register(address, value); });
}

int Dax::z7driver_set_xif_register(uint8_t address, uint8_t value)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.z7driver_set_xif_register_no_throw(address, value); });
}

int Dax::z7driver_get_xif_register(uint8_t address, uint8_t* value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_get_xif_register(address, value); });
}

int Dax::z7driver_set_prf_div(uint8_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_set_prf_div_no_throw(value); });
}

int Dax::z7driver_get_prf_div(uint8_t* value)
{
    return d->call([&](RadarInterface& radar) { return radar.z7driver_get_prf_div(value); });
}

// ---- I/O pins ----------------------------------------------------------------

int Dax::set_iopin_control(uint32_t pin, uint32_t setup, uint32_t feature)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.set_iopin_control_no_throw(pin, setup, feature); });
}

int Dax::set_iopin_value(uint32_t pin, uint32_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.set_iopin_value_no_throw(pin, value); });
}

int Dax::get_iopin_value(uint32_t pin, uint32_t* value)
{
    return d->call([&](RadarInterface& radar) { return radar.get_iopin_value(pin, value); });
}

// ---- Data message queues -----------------------------------------------------

int Dax::peek_message_data_float()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_data_float(); });
}

int Dax::read_message_data_float(DataFloat* data)
{
    return d->call([&](RadarInterface& radar) { return radar.read_message_data_float(data); });
}

int Dax::peek_message_radar_rf()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_radar_rf(); });
}

int Dax::read_message_radar_rf(RadarRfData* data)
{
    return d->call([&](RadarInterface& radar) { return radar.read_message_radar_rf(data); });
}

int Dax::peek_message_radar_rf_normalized()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_radar_rf_normalized(); });
}

int Dax::read_message_radar_rf_normalized(RadarRfNormalizedData* data)
{
    return d->call([&](RadarInterface& radar) { return radar.read_message_radar_rf_normalized(data); });
}

int Dax::peek_message_radar_baseband_float()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_radar_baseband_float(); });
}

int Dax::read_message_radar_baseband_float(RadarBasebandFloatData* data)
{
    return d->call([&](RadarInterface& radar) { return radar.read_message_radar_baseband_float(data); });
}

int Dax::peek_message_radar_baseband_q15()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_radar_baseband_q15(); });
}

int Dax::read_message_radar_baseband_q15(RadarBasebandQ15Data* data)
{
    return d->call([&](RadarInterface& radar) { return radar.read_message_radar_baseband_q15(data); });
}

int Dax::peek_message_data_string()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_data_string(); });
}

int Dax::read_message_data_string(uint32_t* content_id, uint32_t* info, std::string* text)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.read_message_data_string(content_id, info, text); });
}

int Dax::peek_message_data_byte()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_data_byte(); });
}

int Dax::read_message_data_byte(uint32_t* content_id, uint32_t* info, Bytes* data)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.read_message_data_byte(content_id, info, data); });
}

int Dax::peek_message_system()
{
    return d->call([&](RadarInterface& radar) { return radar.peek_message_system(); });
}

int Dax::read_message_system(uint32_t* status)
{
    return d->call([&](RadarInterface& radar) { return radar.read_message_system_no_throw(status); });
}

// ---- Module file system ------------------------------------------------------

int Dax::search_for_file_by_type(uint32_t type, std::vector<int>& identifiers)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.search_for_file_by_type_no_throw(type, identifiers); });
}

int Dax::find_all_files(Files& files)
{
    return d->call([&](RadarInterface& radar) { return radar.find_all_files_no_throw(files); });
}

int Dax::create_file(uint32_t type, uint32_t identifier, uint32_t length)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.create_file_no_throw(type, identifier, length); });
}

int Dax::open_file(uint32_t type, uint32_t identifier)
{
    return d->call([&](RadarInterface& radar) { return radar.open_file_no_throw(type, identifier); });
}

int Dax::set_file_data(uint32_t type, uint32_t identifier, uint32_t offset, const Bytes& data)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.set_file_data_no_throw(type, identifier, offset, data); });
}

int Dax::close_file(uint32_t type, uint32_t identifier, bool commit)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.close_file_no_throw(type, identifier, commit); });
}

int Dax::get_file_length(uint32_t type, uint32_t identifier, uint32_t& length)
{
    return d->call(
        [&](RadarInterface& radar) { return radar.get_file_length_no_throw(type, identifier, length); });
}

int Dax::delete_file(uint32_t type, uint32_t identifier)
{
    return d->call([&](RadarInterface& radar) { return radar.delete_file_no_throw(type, identifier); });
}

int Dax::get_file_data(uint32_t type, uint32_t identifier, uint32_t offset, uint32_t length, Bytes& data)
{
    return d->call([&](RadarInterface& radar) {
        return radar.get_file_data_no_throw(type, identifier, offset, length, data);
    });
}

int Dax::format_filesystem(uint32_t value)
{
    return d->call([&](RadarInterface& radar) { return radar.format_filesystem_no_throw(value); });
}

int Dax::set_file(uint32_t type, uint32_t identifier, const Bytes& data)
{
    return d->call([&](RadarInterface& radar) { return radar.set_file_no_throw(type, identifier, data); });
}

int Dax::get_file(uint32_t type, uint32_t identifier, Bytes* data)
{
    return d->call([&](RadarInterface& radar) { return radar.get_file_no_throw(type, identifier, *data); });
}

} // namespace Sarvik
