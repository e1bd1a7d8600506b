#include "protocol/Commands.hpp"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <limits>
#include <stdexcept>

#include "common/LittleEndian.hpp"

namespace {

// The plain builders' output callback: one byte onto the vector.
void append(unsigned char byte, void* user_data)
{
    assert(user_data);
    static_cast<Bytes*>(user_data)->push_back(byte);
}

// Runs one plain builder into a fresh vector. The builder's result is
// always 0.
template <typename Builder, typename... Args> Bytes collect(Builder builder, Args... args)
{
    Bytes packet;
    builder(args..., append, &packet);
    return packet;
}

// A count that goes on the wire as a u32, checked so that a larger buffer
// is refused rather than sent cut short behind a wrapped length.
uint32_t wire_count(size_t count, const char* what)
{
    if (count > std::numeric_limits<uint32_t>::max())
        throw std::length_error(std::string(what) + " does not fit a 32-bit length");
    return static_cast<uint32_t>(count);
}

// A text's length field counts its terminating NUL, so the text itself must
// leave room for it.
uint32_t text_length(const std::string& text, const char* what)
{
    if (text.size() >= std::numeric_limits<uint32_t>::max())
        throw std::length_error(std::string(what) + " does not fit a 32-bit length");
    return static_cast<uint32_t>(text.size());
}

// A command of the system family (0x90): its operation byte, then the
// operands.
Bytes system_payload(uint8_t operation, const Bytes& operands)
{
    Bytes payload(2 + operands.size());
    payload[0] = 0x90;
    payload[1] = operation;
    std::copy(operands.begin(), operands.end(), payload.begin() + 2);
    return payload;
}

// The values of the application set-int command that switch outputs.
constexpr int32_t kBasebandOutputId = 0x10;
constexpr int32_t kRespirationOutputId = 0x11;

} // namespace

Bytes Commands::create_command(const Bytes& payload) const
{
    return collect(createCommand, payload.data(), wire_count(payload.size(), "payload"));
}

// Ping, bootloader start, sensor mode, application and profile loading,
// module reset, LED, debug level.
Bytes Commands::create_ping() const
{
    return collect(createPingCommand);
}
Bytes Commands::create_start_bootloader(unsigned key) const
{
    return collect(createStartBootloaderCommand, key);
}
Bytes Commands::create_set_sensor_mode(sensor_mode_t mode, unsigned char submode) const
{
    return collect(createSetSensorModeCommand, mode, submode);
}
Bytes Commands::create_get_sensor_mode() const
{
    return collect(createGetSensorModeCommand);
}
Bytes Commands::create_load_app(unsigned id) const
{
    return collect(createLoadAppCommand, id);
}
Bytes Commands::create_load_profile(unsigned id) const
{
    return collect(createLoadProfileCommand, id);
}
Bytes Commands::create_module_reset() const
{
    return collect(createModuleResetCommand);
}
Bytes Commands::create_set_led_control(unsigned char mode, unsigned char parameter) const
{
    return collect(createSetLedControlCommand, mode, parameter);
}
Bytes Commands::create_get_led_control() const
{
    return collect(createGetLedControlCommand);
}
Bytes Commands::create_set_debug_level(unsigned char level) const
{
    return collect(createDebugLevelCommand, level);
}

// Application settings.
Bytes Commands::create_set_detection_zone(float start, float end) const
{
    return collect(createSetDetectionZoneCommand, start, end);
}
Bytes Commands::create_get_detection_zone() const
{
    return collect(createGetDetectionZoneCommand);
}
Bytes Commands::create_get_detection_zone_limits() const
{
    return collect(createGetDetectionZoneLimitsCommand);
}
Bytes Commands::create_set_application_user_zone(float a, float b) const
{
    return collect(createSetApplicationUserZoneCommand, a, b);
}
Bytes Commands::create_get_application_user_zone() const
{
    return collect(createGetApplicationUserZoneCommand);
}
Bytes Commands::create_set_sensitivity(unsigned value) const
{
    return collect(createSetSensitivityCommand, value);
}
Bytes Commands::create_get_sensitivity() const
{
    return collect(createGetSensitivityCommand);
}
Bytes Commands::create_set_tx_center_frequency(unsigned value) const
{
    return collect(createSetTxCenterFrequencyCommand, value);
}
Bytes Commands::create_get_tx_center_frequency() const
{
    return collect(createGetTxCenterFrequencyCommand);
}
Bytes Commands::create_set_parameter_file(const std::string& name, const std::string& content) const
{
    return collect(createSetParameterFileCommand, text_length(name, "parameter file name"),
        text_length(content, "parameter file content"), name.data(), content.data());
}
Bytes Commands::create_get_parameter_file(const std::string& name) const
{
    return collect(createGetParameterFileCommand, text_length(name, "parameter file name"), name.data());
}
Bytes Commands::create_reset_to_factory_preset() const
{
    return collect(createResetToFactoryPreset);
}
Bytes Commands::create_store_noise_map() const
{
    return collect(createStoreNoiseMapCommand);
}
Bytes Commands::create_load_noise_map() const
{
    return collect(createLoadNoiseMapCommand);
}
Bytes Commands::create_delete_noise_map() const
{
    return collect(createDeleteNoiseMapCommand);
}

// Noise map control, IO pins, outputs.
Bytes Commands::create_set_noisemap_control(unsigned value) const
{
    return collect(createSetNoiseMapControlCommand, value);
}
Bytes Commands::create_get_noisemap_control() const
{
    return collect(createGetNoiseMapControlCommand);
}
Bytes Commands::create_set_periodic_noisemap_store(unsigned a, unsigned b) const
{
    return collect(createSetPeriodicNoiseMapStoreCommand, a, b);
}
Bytes Commands::create_get_periodic_noisemap_store() const
{
    return collect(createGetPeriodicNoiseMapStoreCommand);
}
Bytes Commands::create_set_iopin_control(unsigned pin, unsigned a, unsigned b) const
{
    return collect(createSetIOPinControlCommand, pin, a, b);
}
Bytes Commands::create_get_iopin_control(unsigned pin) const
{
    return collect(createGetIOPinControlCommand, pin);
}
Bytes Commands::create_set_iopin_value(unsigned pin, unsigned value) const
{
    return collect(createSetIOPinValueCommand, pin, value);
}
Bytes Commands::create_get_iopin_value(unsigned pin) const
{
    return collect(createGetIOPinValueCommand, pin);
}
Bytes Commands::create_set_output_control(unsigned a, unsigned b) const
{
    return collect(createSetOutputControlCommand, a, b);
}
Bytes Commands::create_get_output_control(unsigned a) const
{
    return collect(createGetOutputControlCommand, a);
}
Bytes Commands::create_set_debug_output_control(unsigned a, unsigned b) const
{
    return collect(createSetDebugOutputControlCommand, a, b);
}
Bytes Commands::create_get_debug_output_control(unsigned a) const
{
    return collect(createGetDebugOutputControlCommand, a);
}

// System commands.
Bytes Commands::create_set_int(unsigned id, unsigned value) const
{
    return collect(createSetIntCommand, id, value);
}
Bytes Commands::create_get_int(unsigned id) const
{
    return collect(createGetIntCommand, id);
}
Bytes Commands::create_set_float(unsigned id, float value) const
{
    return collect(createSetFloatCommand, id, value);
}
Bytes Commands::create_get_float(unsigned id) const
{
    return collect(createGetFloatCommand, id);
}
Bytes Commands::create_set_register(unsigned reg, unsigned value) const
{
    return collect(createSetRegisterCommand, reg, value);
}
Bytes Commands::create_get_register(unsigned reg) const
{
    return collect(createGetRegisterCommand, reg);
}
Bytes Commands::create_get_frame() const
{
    return collect(createGetFrame);
}
Bytes Commands::create_run_timing_measurement() const
{
    return collect(createRunTimingMeasurementCommand);
}
Bytes Commands::create_system_run_test(unsigned char code) const
{
    return collect(createSystemRunTest, code);
}
Bytes Commands::create_config_run_test(unsigned char code) const
{
    return create_system_run_test(code);
}
Bytes Commands::create_config_set_int(int id, int value) const
{
    return collect(createConfigSetIntCommand, id, value);
}
Bytes Commands::create_config_set_float(int id, float value) const
{
    return collect(createConfigSetFloatCommand, id, value);
}
Bytes Commands::create_get_system_info(unsigned char code) const
{
    return collect(createGetSystemInfoCommand, code);
}
Bytes Commands::create_search_for_file_type(unsigned type) const
{
    return collect(createSearchForFileTypeCommand, type);
}
Bytes Commands::create_find_all_files() const
{
    return collect(createFindAllFilesCommand);
}
Bytes Commands::create_create_file_command(unsigned type, unsigned id, unsigned length) const
{
    return collect(createNewFileCommand, type, id, length);
}
Bytes Commands::create_set_file_data(unsigned type, unsigned id, unsigned offset, const Bytes& data) const
{
    return collect(
        createSetFileDataCommand, type, id, offset, wire_count(data.size(), "file data"), data.data());
}
Bytes Commands::create_close_file(unsigned type, unsigned id, unsigned flag) const
{
    return collect(createCloseFileCommand, type, id, flag);
}
Bytes Commands::create_get_file_length(unsigned type, unsigned id) const
{
    return collect(createGetFileLengthCommand, type, id);
}
Bytes Commands::create_delete_file(unsigned type, unsigned id) const
{
    return collect(createDeleteFileCommand, type, id);
}
Bytes Commands::create_get_file_data(unsigned type, unsigned id, unsigned offset, unsigned length) const
{
    return collect(createGetFileDataCommand, type, id, offset, length);
}
Bytes Commands::create_enable_baseband(int value, bool enable) const
{
    const int32_t values[] = { value };
    return collect(createAppSetIntCommand, kBasebandOutputId, values, enable ? 1u : 0u);
}
Bytes Commands::create_enable_resp_ouput() const
{
    const int32_t values[] = { 1 };
    return collect(createAppSetIntCommand, kRespirationOutputId, values, 1u);
}
Bytes Commands::create_disable_resp_ouput() const
{
    const int32_t values[] = { 0 };
    return collect(createAppSetIntCommand, kRespirationOutputId, values, 1u);
}
Bytes Commands::create_open_file_command(unsigned type, unsigned id) const
{
    return collect(createOpenFileCommand, type, id);
}
Bytes Commands::create_format_filesystem(unsigned value) const
{
    return collect(createFormatFilesystemCommand, value);
}
Bytes Commands::create_get_profileid() const
{
    return collect(createGetProfileIdCommand);
}
Bytes Commands::create_inject_frame(unsigned a, unsigned n, const std::vector<float>& values) const
{
    // The builder reads 2 * n values; refuse before framing rather than read
    // past the caller's. Halving the size instead of doubling n cannot wrap.
    if (values.size() / 2 < n)
        throw std::invalid_argument("create_inject_frame: " + std::to_string(n) + " value pairs need "
            + std::to_string(2 * uint64_t { n }) + " values, got " + std::to_string(values.size()));
    return collect(createInjectFrameCommand, a, n, values.data());
}
Bytes Commands::create_prepare_inject_frame(unsigned a, unsigned b, unsigned c) const
{
    return collect(createPrepareInjectFrameCommand, a, b, c);
}
Bytes Commands::create_set_baudrate(unsigned baud) const
{
    return collect(createSetBaudRate, baud);
}

// Bootloader.
Bytes Commands::create_get_bootloader_info() const
{
    return collect(createBootloaderDeviceInfoCommand);
}
Bytes Commands::create_write_page(unsigned address, const Bytes& data) const
{
    return collect(createPageWriteCommand, address, data.data(), wire_count(data.size(), "page data"));
}
Bytes Commands::create_start_application_command() const
{
    return collect(createApplicationStartCommand);
}

// Radar chip driver.
Bytes Commands::create_z7driver_init() const
{
    return collect(createZ7DriverInitCommand);
}
Bytes Commands::create_z7driver_set_fps(float fps) const
{
    return collect(createZ7DriverSetFpsCommand, fps);
}
Bytes Commands::create_z7driver_get_fps() const
{
    return collect(createZ7DriverGetFpsCommand);
}
Bytes Commands::create_z7driver_set_pulsesperstep(unsigned value) const
{
    return collect(createZ7DriverSetPulsesPerStepCommand, value);
}
Bytes Commands::create_z7driver_get_pulsesperstep() const
{
    return collect(createZ7DriverGetPulsesPerStepCommand);
}
Bytes Commands::create_z7driver_set_iterations(unsigned value) const
{
    return collect(createZ7DriverSetIterationsCommand, value);
}
Bytes Commands::create_z7driver_get_iterations() const
{
    return collect(createZ7DriverGetIterationsCommand);
}
Bytes Commands::create_z7driver_set_downconversion(unsigned char value) const
{
    return collect(createZ7DriverSetDownconversionCommand, value);
}
Bytes Commands::create_z7driver_get_downconversion() const
{
    return collect(createZ7DriverGetDownconversionCommand);
}
Bytes Commands::create_z7driver_set_frame_area(float start, float end) const
{
    return collect(createZ7DriverSetFrameAreaCommand, start, end);
}
Bytes Commands::create_z7driver_get_frame_area() const
{
    return collect(createZ7DriverGetFrameAreaCommand);
}
Bytes Commands::create_z7driver_set_dac_min(unsigned value) const
{
    return collect(createZ7DriverSetDacMinCommand, value);
}
Bytes Commands::create_z7driver_get_dac_min() const
{
    return collect(createZ7DriverGetDacMinCommand);
}
Bytes Commands::create_z7driver_set_dac_max(unsigned value) const
{
    return collect(createZ7DriverSetDacMaxCommand, value);
}
Bytes Commands::create_z7driver_get_dac_max() const
{
    return collect(createZ7DriverGetDacMaxCommand);
}
Bytes Commands::create_z7driver_set_frame_area_offset(float offset) const
{
    return collect(createZ7DriverSetFrameAreaOffsetCommand, offset);
}
Bytes Commands::create_z7driver_get_frame_area_offset() const
{
    return collect(createZ7DriverGetFrameAreaOffsetCommand);
}
Bytes Commands::create_z7driver_set_enable(unsigned char value) const
{
    return collect(createZ7DriverSetEnableCommand, value);
}
Bytes Commands::create_z7driver_set_tx_center_frequency(unsigned char value) const
{
    return collect(createZ7DriverSetTxCenterFrequencyCommand, value);
}
Bytes Commands::create_z7driver_get_tx_center_frequency() const
{
    return collect(createZ7DriverGetTxCenterFrequencyCommand);
}
Bytes Commands::create_z7driver_set_tx_power(unsigned char value) const
{
    return collect(createZ7DriverSetTxPowerCommand, value);
}
Bytes Commands::create_z7driver_get_tx_power() const
{
    return collect(createZ7DriverGetTxPowerCommand);
}
Bytes Commands::create_z7driver_set_spi_register(unsigned char address, unsigned char value) const
{
    return collect(createZ7DriverSetSpiRegisterCommand, address, value);
}
Bytes Commands::create_z7driver_get_spi_register(unsigned char address) const
{
    return collect(createZ7DriverGetSpiRegisterCommand, address);
}
Bytes Commands::create_z7driver_write_to_spi_register(unsigned char address, const Bytes& data) const
{
    return collect(
        createZ7DriverWriteToSpiRegisterCommand, address, data.data(), wire_count(data.size(), "SPI data"));
}
Bytes Commands::create_z7driver_read_from_spi_register(unsigned char address, unsigned value) const
{
    return collect(createZ7DriverReadFromSpiRegisterCommand, address, value);
}
Bytes Commands::create_z7driver_set_pif_register(unsigned char address, unsigned char value) const
{
    return collect(createZ7DriverSetPifRegisterCommand, address, value);
}
Bytes Commands::create_z7driver_get_pif_register(unsigned char address) const
{
    return collect(createZ7DriverGetPifRegisterCommand, address);
}
Bytes Commands::create_z7driver_set_xif_register(unsigned char address, unsigned char value) const
{
    return collect(createZ7DriverSetXifRegisterCommand, address, value);
}
Bytes Commands::create_z7driver_get_xif_register(unsigned char address) const
{
    return collect(createZ7DriverGetXifRegisterCommand, address);
}
Bytes Commands::create_z7driver_set_prf_div(unsigned char value) const
{
    return collect(createZ7DriverSetPrfDivCommand, value);
}
Bytes Commands::create_z7driver_get_prf_div() const
{
    return collect(createZ7DriverGetPrfDivCommand);
}
Bytes Commands::create_z7driver_get_framebincount() const
{
    return collect(createZ7DriverGetFrameBinCountCommand);
}
Bytes Commands::create_z7driver_write_to_i2c_register(unsigned char address, const Bytes& data) const
{
    return collect(
        createZ7DriverWriteToI2cRegisterCommand, address, data.data(), wire_count(data.size(), "I2C data"));
}
Bytes Commands::create_z7driver_read_from_i2c_register(unsigned value) const
{
    return collect(createZ7DriverReadFromI2cRegisterCommand, value);
}

// Processing settings.
Bytes Commands::create_set_normalization(unsigned char value) const
{
    return collect(createSetNormalizationCommand, value);
}
Bytes Commands::create_get_normalization() const
{
    return collect(createGetNormalizationCommand);
}
Bytes Commands::create_set_phase_noise_correction(unsigned char a, float b) const
{
    return collect(createSetPhaseNoiseCorrectionCommand, a, b);
}
Bytes Commands::create_get_phase_noise_correction() const
{
    return collect(createGetPhaseNoiseCorrectionCommand);
}
Bytes Commands::create_set_decimation_factor(unsigned value) const
{
    return collect(createSetDecimationFactorCommand, value);
}
Bytes Commands::create_get_decimation_factor() const
{
    return collect(createGetDecimationFactorCommand);
}
Bytes Commands::create_set_number_format(unsigned char value) const
{
    return collect(createSetNumberFormatCommand, value);
}
Bytes Commands::create_get_number_format() const
{
    return collect(createGetNumberFormatCommand);
}
Bytes Commands::create_set_legacy_output(unsigned char value) const
{
    return collect(createSetLegacyOutputCommand, value);
}
Bytes Commands::create_get_legacy_output() const
{
    return collect(createGetLegacyOutputCommand);
}

Bytes Commands::create_get_z7_io_pin_value(unsigned char pin) const
{
    return create_command(system_payload(0x36, { pin }));
}
Bytes Commands::create_set_z7_io_pin_value(unsigned char pin, unsigned char value) const
{
    return create_command(system_payload(0x35, { pin, value }));
}
Bytes Commands::create_set_z7_io_pin_mode(unsigned char pin, unsigned char mode) const
{
    return create_command(system_payload(0x21, { pin, mode }));
}
Bytes Commands::create_set_z7_io_pin_dir(unsigned char pin, unsigned char direction) const
{
    return create_command(system_payload(0x34, { pin, direction }));
}
Bytes Commands::create_set_z7_io_pin_enable(unsigned char pin) const
{
    return create_command(system_payload(0x37, { pin }));
}
Bytes Commands::create_set_z7_io_pin_disable(unsigned char pin) const
{
    return create_command(system_payload(0x38, { pin }));
}
Bytes Commands::create_read_z7_spi(unsigned char address) const
{
    return create_command(system_payload(0x32, { address }));
}
Bytes Commands::create_write_z7_spi(unsigned char address, unsigned char value) const
{
    return create_command(system_payload(0x33, { static_cast<uint8_t>(address | 0x80), value }));
}
Bytes Commands::create_set_z7_fps(unsigned fps) const
{
    Bytes operands;
    little_endian::append_u32(operands, fps);
    return create_command(system_payload(0x24, operands));
}
