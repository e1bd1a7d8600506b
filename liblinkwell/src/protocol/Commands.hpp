// Every module command as a framed packet in a byte vector: one operation per
// plain builder, which collects the builder's output. Stateless; an
// operation fails only when memory runs out, or when its arguments cannot
// be framed (std::invalid_argument, std::length_error) before any byte is.
#pragma once

#include <linkwell/Bytes.hpp>
#include <linkwell/protocol_commands.h>

#include <string>
#include <vector>

class Commands {
public:
    // Frames a payload built by hand, unchanged.
    Bytes create_command(const Bytes& payload) const;

    // Ping, bootloader start, sensor mode, application and profile loading,
    // module reset, LED, debug level.
    Bytes create_ping() const;
    Bytes create_start_bootloader(unsigned key) const;
    // The submode byte goes out only for the modes 0x10 and 0x50.
    Bytes create_set_sensor_mode(sensor_mode_t mode, unsigned char submode) const;
    Bytes create_get_sensor_mode() const;
    Bytes create_load_app(unsigned id) const;
    Bytes create_load_profile(unsigned id) const;
    Bytes create_module_reset() const;
    Bytes create_set_led_control(unsigned char mode, unsigned char parameter) const;
    Bytes create_get_led_control() const;
    Bytes create_set_debug_level(unsigned char level) const;

    // Application settings (family 0x10).
    Bytes create_set_detection_zone(float start, float end) const;
    Bytes create_get_detection_zone() const;
    Bytes create_get_detection_zone_limits() const;
    Bytes create_set_application_user_zone(float a, float b) const;
    Bytes create_get_application_user_zone() const;
    Bytes create_set_sensitivity(unsigned value) const;
    Bytes create_get_sensitivity() const;
    Bytes create_set_tx_center_frequency(unsigned value) const;
    Bytes create_get_tx_center_frequency() const;
    // Each text is sent with a terminating NUL, its length field counting it.
    Bytes create_set_parameter_file(const std::string& name, const std::string& content) const;
    Bytes create_get_parameter_file(const std::string& name) const;
    Bytes create_reset_to_factory_preset() const;
    Bytes create_store_noise_map() const;
    Bytes create_load_noise_map() const;
    Bytes create_delete_noise_map() const;

    // Noise map control, IO pins, outputs (families 0x25, 0x40, 0x41, 0x42).
    Bytes create_set_noisemap_control(unsigned value) const;
    Bytes create_get_noisemap_control() const;
    Bytes create_set_periodic_noisemap_store(unsigned a, unsigned b) const;
    Bytes create_get_periodic_noisemap_store() const;
    Bytes create_set_iopin_control(unsigned pin, unsigned a, unsigned b) const;
    Bytes create_get_iopin_control(unsigned pin) const;
    Bytes create_set_iopin_value(unsigned pin, unsigned value) const;
    Bytes create_get_iopin_value(unsigned pin) const;
    Bytes create_set_output_control(unsigned a, unsigned b) const;
    Bytes create_get_output_control(unsigned a) const;
    Bytes create_set_debug_output_control(unsigned a, unsigned b) const;
    Bytes create_get_debug_output_control(unsigned a) const;

    // System commands (family 0x90).
    Bytes create_set_int(unsigned id, unsigned value) const;
    Bytes create_get_int(unsigned id) const;
    Bytes create_set_float(unsigned id, float value) const;
    Bytes create_get_float(unsigned id) const;
    Bytes create_set_register(unsigned reg, unsigned value) const;
    Bytes create_get_register(unsigned reg) const;
    Bytes create_get_frame() const;
    Bytes create_run_timing_measurement() const;
    Bytes create_system_run_test(unsigned char code) const;
    Bytes create_config_run_test(unsigned char code) const;
    Bytes create_config_set_int(int id, int value) const;
    Bytes create_config_set_float(int id, float value) const;
    Bytes create_get_system_info(unsigned char code) const;
    Bytes create_search_for_file_type(unsigned type) const;
    Bytes create_find_all_files() const;
    Bytes create_create_file_command(unsigned type, unsigned id, unsigned length) const;
    Bytes create_set_file_data(unsigned type, unsigned id, unsigned offset, const Bytes& data) const;
    Bytes create_close_file(unsigned type, unsigned id, unsigned flag) const;
    Bytes create_get_file_length(unsigned type, unsigned id) const;
    Bytes create_delete_file(unsigned type, unsigned id) const;
    Bytes create_get_file_data(unsigned type, unsigned id, unsigned offset, unsigned length) const;
    // The value is sent only when enabling.
    Bytes create_enable_baseband(int value, bool enable) const;
    Bytes create_enable_resp_ouput() const;
    Bytes create_disable_resp_ouput() const;
    Bytes create_open_file_command(unsigned type, unsigned id) const;
    Bytes create_format_filesystem(unsigned value) const;
    Bytes create_get_profileid() const;
    // Sends a, n and the first 2 * n values; throws std::invalid_argument,
    // framing nothing, when fewer values are given.
    Bytes create_inject_frame(unsigned a, unsigned n, const std::vector<float>& values) const;
    Bytes create_prepare_inject_frame(unsigned a, unsigned b, unsigned c) const;
    Bytes create_set_baudrate(unsigned baud) const;

    // Bootloader (family 0xC0).
    Bytes create_get_bootloader_info() const;
    // Only bits 15-0 of the address are sent, high byte first.
    Bytes create_write_page(unsigned address, const Bytes& data) const;
    Bytes create_start_application_command() const;

    // Radar chip driver (family 0x50).
    Bytes create_z7driver_init() const;
    Bytes create_z7driver_set_fps(float fps) const;
    Bytes create_z7driver_get_fps() const;
    Bytes create_z7driver_set_pulsesperstep(unsigned value) const;
    Bytes create_z7driver_get_pulsesperstep() const;
    Bytes create_z7driver_set_iterations(unsigned value) const;
    Bytes create_z7driver_get_iterations() const;
    Bytes create_z7driver_set_downconversion(unsigned char value) const;
    Bytes create_z7driver_get_downconversion() const;
    Bytes create_z7driver_set_frame_area(float start, float end) const;
    Bytes create_z7driver_get_frame_area() const;
    Bytes create_z7driver_set_dac_min(unsigned value) const;
    Bytes create_z7driver_get_dac_min() const;
    Bytes create_z7driver_set_dac_max(unsigned value) const;
    Bytes create_z7driver_get_dac_max() const;
    Bytes create_z7driver_set_frame_area_offset(float offset) const;
    Bytes create_z7driver_get_frame_area_offset() const;
    Bytes create_z7driver_set_enable(unsigned char value) const;
    Bytes create_z7driver_set_tx_center_frequency(unsigned char value) const;
    Bytes create_z7driver_get_tx_center_frequency() const;
    Bytes create_z7driver_set_tx_power(unsigned char value) const;
    Bytes create_z7driver_get_tx_power() const;
    Bytes create_z7driver_set_spi_register(unsigned char address, unsigned char value) const;
    Bytes create_z7driver_get_spi_register(unsigned char address) const;
    Bytes create_z7driver_write_to_spi_register(unsigned char address, const Bytes& data) const;
    Bytes create_z7driver_read_from_spi_register(unsigned char address, unsigned value) const;
    Bytes create_z7driver_set_pif_register(unsigned char address, unsigned char value) const;
    Bytes create_z7driver_get_pif_register(unsigned char address) const;
    Bytes create_z7driver_set_xif_register(unsigned char address, unsigned char value) const;
    Bytes create_z7driver_get_xif_register(unsigned char address) const;
    Bytes create_z7driver_set_prf_div(unsigned char value) const;
    Bytes create_z7driver_get_prf_div() const;
    Bytes create_z7driver_get_framebincount() const;
    Bytes create_z7driver_write_to_i2c_register(unsigned char address, const Bytes& data) const;
    Bytes create_z7driver_read_from_i2c_register(unsigned value) const;

    // Processing settings (family 0x52).
    Bytes create_set_normalization(unsigned char value) const;
    Bytes create_get_normalization() const;
    Bytes create_set_phase_noise_correction(unsigned char a, float b) const;
    Bytes create_get_phase_noise_correction() const;
    Bytes create_set_decimation_factor(unsigned value) const;
    Bytes create_get_decimation_factor() const;
    Bytes create_set_number_format(unsigned char value) const;
    Bytes create_get_number_format() const;
    Bytes create_set_legacy_output(unsigned char value) const;
    Bytes create_get_legacy_output() const;

    // The chip's pins, SPI registers and frame rate through the system
    // family (0x90), which no plain builder covers.
    Bytes create_get_z7_io_pin_value(unsigned char pin) const;
    Bytes create_set_z7_io_pin_value(unsigned char pin, unsigned char value) const;
    Bytes create_set_z7_io_pin_mode(unsigned char pin, unsigned char mode) const;
    Bytes create_set_z7_io_pin_dir(unsigned char pin, unsigned char direction) const;
    Bytes create_set_z7_io_pin_enable(unsigned char pin) const;
    Bytes create_set_z7_io_pin_disable(unsigned char pin) const;
    Bytes create_read_z7_spi(unsigned char address) const;
    // Sets bit 7 of the address, which marks the write.
    Bytes create_write_z7_spi(unsigned char address, unsigned char value) const;
    Bytes create_set_z7_fps(unsigned fps) const;
};
