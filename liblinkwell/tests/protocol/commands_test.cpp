// Every command builder, checked family by family against payloads written
// out by hand and framed by the independent reference framer. Where a plain
// builder and a Commands operation both exist, both must give the frame.
#include "protocol/Commands.hpp"
#include "support/TestSupport.hpp"
#include <linkwell/protocol_commands.h>

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using testsupport::collect_byte;
using testsupport::frame;
using testsupport::hex;
using testsupport::to_hex;
using P = testsupport::PayloadBuilder;

namespace {

// Runs a plain builder into a vector; every builder returns 0.
template <typename Builder, typename... Args> Bytes plain(Builder builder, Args... args)
{
    Bytes out;
    EXPECT_EQ(0, builder(args..., collect_byte, &out));
    return out;
}

struct CommandCase {
    std::string name;
    std::optional<Bytes> operation; // from Commands, where it has one
    std::optional<Bytes> builder; // from the plain builder, where it has one
    Bytes payload; // expected payload before framing
};

std::ostream& operator<<(std::ostream& os, const CommandCase& c)
{
    return os << c.name;
}

class CommandFrames : public testing::TestWithParam<CommandCase> { };

TEST_P(CommandFrames, FrameCarriesExactlyTheExpectedPayload)
{
    const CommandCase& c = GetParam();
    const Bytes expected = frame(c.payload);
    ASSERT_TRUE(c.operation || c.builder);
    if (c.operation) {
        EXPECT_EQ(to_hex(expected), to_hex(*c.operation)) << "Commands operation";
    }
    if (c.builder) {
        EXPECT_EQ(to_hex(expected), to_hex(*c.builder)) << "plain builder";
    }
}

std::string case_name(const testing::TestParamInfo<CommandCase>& info)
{
    return info.param.name;
}

const Commands cmd {};

// Application parameter ids.
constexpr uint32_t kDetectionZone = 0x96A10A1C;
constexpr uint32_t kDetectionZoneLimits = 0x96A10A1D;
constexpr uint32_t kUserZone = 0xA53695BB;
constexpr uint32_t kSensitivity = 0x10A5112B;
constexpr uint32_t kTxCenterFrequency = 0x71AF2A2B;
constexpr uint32_t kLedControl = 0x71AF2A2C;
constexpr uint32_t kParameterFile = 0x32BA7623;

P app_set(uint32_t id)
{
    return std::move(P().u8(0x10).u8(0x10).u32(id));
}

P app_get(uint32_t id)
{
    return std::move(P().u8(0x10).u8(0x11).u32(id));
}

P head(uint8_t family, uint8_t operation)
{
    return std::move(P().u8(family).u8(operation));
}

std::vector<CommandCase> module_cases()
{
    return {
        { "ping", cmd.create_ping(), plain(createPingCommand), hex("01 ae ea aa ee") },
        { "start_bootloader", cmd.create_start_bootloader(0x7D7E7F00),
            plain(createStartBootloaderCommand, 0x7D7E7F00u), P().u8(0x02).u32(0x7D7E7F00) },
        { "get_sensor_mode", cmd.create_get_sensor_mode(), plain(createGetSensorModeCommand), hex("26") },
        { "load_app", cmd.create_load_app(0x1423A2D6), plain(createLoadAppCommand, 0x1423A2D6u),
            P().u8(0x21).u32(0x1423A2D6) },
        { "load_profile", cmd.create_load_profile(0x00F17B17), plain(createLoadProfileCommand, 0x00F17B17u),
            P().u8(0x21).u32(0x00F17B17) },
        { "module_reset", cmd.create_module_reset(), plain(createModuleResetCommand), hex("22") },
        { "set_led_control", cmd.create_set_led_control(0x02, 0x64),
            plain(createSetLedControlCommand, uint8_t { 0x02 }, uint8_t { 0x64 }), hex("24 02 64") },
        { "get_led_control", cmd.create_get_led_control(), plain(createGetLedControlCommand),
            app_get(kLedControl) },
        { "set_debug_level", cmd.create_set_debug_level(0x7E),
            plain(createDebugLevelCommand, uint8_t { 0x7E }), hex("b0 7e") },
    };
}

std::vector<CommandCase> application_cases()
{
    const uint8_t raw[] = { 0x01, 0x7D, 0x02 };
    return {
        { "set_detection_zone", cmd.create_set_detection_zone(0.4f, 5.0f),
            plain(createSetDetectionZoneCommand, 0.4f, 5.0f), app_set(kDetectionZone).f32(0.4f).f32(5.0f) },
        { "get_detection_zone", cmd.create_get_detection_zone(), plain(createGetDetectionZoneCommand),
            app_get(kDetectionZone) },
        { "get_detection_zone_limits", cmd.create_get_detection_zone_limits(),
            plain(createGetDetectionZoneLimitsCommand), app_get(kDetectionZoneLimits) },
        { "set_application_user_zone", cmd.create_set_application_user_zone(-1.25f, 2.5f),
            plain(createSetApplicationUserZoneCommand, -1.25f, 2.5f),
            app_set(kUserZone).f32(-1.25f).f32(2.5f) },
        { "get_application_user_zone", cmd.create_get_application_user_zone(),
            plain(createGetApplicationUserZoneCommand), app_get(kUserZone) },
        { "set_sensitivity", cmd.create_set_sensitivity(9), plain(createSetSensitivityCommand, 9u),
            app_set(kSensitivity).u32(9) },
        { "get_sensitivity", cmd.create_get_sensitivity(), plain(createGetSensitivityCommand),
            app_get(kSensitivity) },
        { "set_tx_center_frequency", cmd.create_set_tx_center_frequency(4),
            plain(createSetTxCenterFrequencyCommand, 4u), app_set(kTxCenterFrequency).u32(4) },
        { "get_tx_center_frequency", cmd.create_get_tx_center_frequency(),
            plain(createGetTxCenterFrequencyCommand), app_get(kTxCenterFrequency) },
        { "set_parameter_file", cmd.create_set_parameter_file("abc", "xy"),
            plain(createSetParameterFileCommand, 3u, 2u, "abc", "xy"),
            hex("10 10 23 76 ba 32 04 00 00 00 03 00 00 00 61 62 63 00 78 79 00") },
        { "set_parameter_file_empty", cmd.create_set_parameter_file("", ""),
            plain(createSetParameterFileCommand, 0u, 0u, "", ""),
            app_set(kParameterFile).u32(1).u32(1).u8(0).u8(0) },
        { "get_parameter_file", cmd.create_get_parameter_file("radar.cfg"),
            plain(createGetParameterFileCommand, 9u, "radar.cfg"),
            app_get(kParameterFile).u32(10).text("radar.cfg", true) },
        { "reset_to_factory_preset", cmd.create_reset_to_factory_preset(), plain(createResetToFactoryPreset),
            hex("10 12") },
        { "store_noise_map", cmd.create_store_noise_map(), plain(createStoreNoiseMapCommand), hex("10 13") },
        { "load_noise_map", cmd.create_load_noise_map(), plain(createLoadNoiseMapCommand), hex("10 14") },
        { "delete_noise_map", cmd.create_delete_noise_map(), plain(createDeleteNoiseMapCommand),
            hex("10 16") },
        { "app_command", std::nullopt, plain(createAppCommand, uint8_t { 0x33 }, raw, 3u),
            hex("10 33 01 7d 02") },
        { "app_command_without_data", std::nullopt,
            plain(createAppCommand, uint8_t { 0x34 }, static_cast<const uint8_t*>(nullptr), 0u),
            hex("10 34") },
    };
}

std::vector<CommandCase> noise_map_io_and_output_cases()
{
    return {
        { "set_noisemap_control", cmd.create_set_noisemap_control(0x05),
            plain(createSetNoiseMapControlCommand, 5u), head(0x25, 0x10).u32(5) },
        { "get_noisemap_control", cmd.create_get_noisemap_control(), plain(createGetNoiseMapControlCommand),
            hex("25 11") },
        { "set_periodic_noisemap_store", cmd.create_set_periodic_noisemap_store(600, 1),
            plain(createSetPeriodicNoiseMapStoreCommand, 600u, 1u), head(0x25, 0x12).u32(600).u32(1) },
        { "get_periodic_noisemap_store", cmd.create_get_periodic_noisemap_store(),
            plain(createGetPeriodicNoiseMapStoreCommand), hex("25 13") },
        { "set_iopin_control", cmd.create_set_iopin_control(2, 3, 4),
            plain(createSetIOPinControlCommand, 2u, 3u, 4u), head(0x40, 0x10).u32(2).u32(3).u32(4) },
        { "get_iopin_control", cmd.create_get_iopin_control(7), plain(createGetIOPinControlCommand, 7u),
            head(0x40, 0x11).u32(7) },
        { "set_iopin_value", cmd.create_set_iopin_value(2, 1), plain(createSetIOPinValueCommand, 2u, 1u),
            head(0x40, 0x20).u32(2).u32(1) },
        { "get_iopin_value", cmd.create_get_iopin_value(3), plain(createGetIOPinValueCommand, 3u),
            head(0x40, 0x21).u32(3) },
        { "set_output_control", cmd.create_set_output_control(0x723BFA1E, 1),
            plain(createSetOutputControlCommand, 0x723BFA1Eu, 1u), head(0x41, 0x10).u32(0x723BFA1E).u32(1) },
        { "get_output_control", cmd.create_get_output_control(0x723BFA1E),
            plain(createGetOutputControlCommand, 0x723BFA1Eu), head(0x41, 0x11).u32(0x723BFA1E) },
        { "set_debug_output_control", cmd.create_set_debug_output_control(0x10, 0x20),
            plain(createSetDebugOutputControlCommand, 0x10u, 0x20u), head(0x42, 0x10).u32(0x10).u32(0x20) },
        { "get_debug_output_control", cmd.create_get_debug_output_control(0x10),
            plain(createGetDebugOutputControlCommand, 0x10u), head(0x42, 0x11).u32(0x10) },
    };
}

std::vector<CommandCase> system_cases()
{
    const Bytes file_bytes = hex("00 7d 7e 7f 80 ff");
    const int32_t app_values[] = { -1, 2 };
    const std::vector<float> frame_values = { 0.5f, -0.5f, 1.0f, 2.0f };
    return {
        { "set_int", cmd.create_set_int(0x7D, 0xFFFFFFFF), plain(createSetIntCommand, 0x7Du, 0xFFFFFFFFu),
            head(0x90, 0x11).u32(0x7D).u32(0xFFFFFFFF) },
        { "get_int", cmd.create_get_int(0x7D), plain(createGetIntCommand, 0x7Du),
            head(0x90, 0x12).u32(0x7D) },
        { "set_float", cmd.create_set_float(3, 1.5f), plain(createSetFloatCommand, 3u, 1.5f),
            head(0x90, 0x13).u32(3).f32(1.5f) },
        { "get_float", cmd.create_get_float(3), plain(createGetFloatCommand, 3u), head(0x90, 0x14).u32(3) },
        { "set_register", cmd.create_set_register(0x40001000, 0xAB),
            plain(createSetRegisterCommand, 0x40001000u, 0xABu), head(0x90, 0x15).u32(0x40001000).u32(0xAB) },
        { "get_register", cmd.create_get_register(0x40001000), plain(createGetRegisterCommand, 0x40001000u),
            head(0x90, 0x16).u32(0x40001000) },
        { "get_frame", cmd.create_get_frame(), plain(createGetFrame), hex("90 17") },
        { "run_timing_measurement", cmd.create_run_timing_measurement(),
            plain(createRunTimingMeasurementCommand), hex("90 20") },
        { "system_run_test", cmd.create_system_run_test(0x0A), plain(createSystemRunTest, uint8_t { 0x0A }),
            hex("90 50 0a") },
        { "config_run_test", cmd.create_config_run_test(0x0A), std::nullopt, hex("90 50 0a") },
        { "config_set_int", cmd.create_config_set_int(-2, 0x7E), plain(createConfigSetIntCommand, -2, 0x7E),
            head(0x90, 0x51).i32(-2).i32(0x7E) },
        { "config_set_float", cmd.create_config_set_float(1, -3.0f),
            plain(createConfigSetFloatCommand, 1, -3.0f), hex("90 52 01 00 00 00 00 00 40 c0") },
        { "system_get_version", std::nullopt, plain(createSystemGetVersionCommand), hex("90 55") },
        { "get_system_info", cmd.create_get_system_info(0x02),
            plain(createGetSystemInfoCommand, uint8_t { 0x02 }), hex("90 58 02") },
        { "system_get_info", std::nullopt, plain(createSystemGetInfoCommand, uint8_t { 0x02 }),
            hex("90 58 02") },
        { "search_for_file_type", cmd.create_search_for_file_type(0x7F7E7D80),
            plain(createSearchForFileTypeCommand, 0x7F7E7D80u), hex("90 64 80 7d 7e 7f") },
        { "find_all_files", cmd.create_find_all_files(), plain(createFindAllFilesCommand), hex("90 65") },
        { "get_z7_io_pin_value", cmd.create_get_z7_io_pin_value(7), std::nullopt, hex("90 36 07") },
        { "set_z7_io_pin_value", cmd.create_set_z7_io_pin_value(7, 1), std::nullopt, hex("90 35 07 01") },
        { "set_z7_io_pin_mode", cmd.create_set_z7_io_pin_mode(7, 2), std::nullopt, hex("90 21 07 02") },
        { "set_z7_io_pin_dir", cmd.create_set_z7_io_pin_dir(7, 1), std::nullopt, hex("90 34 07 01") },
        { "set_z7_io_pin_enable", cmd.create_set_z7_io_pin_enable(7), std::nullopt, hex("90 37 07") },
        { "set_z7_io_pin_disable", cmd.create_set_z7_io_pin_disable(7), std::nullopt, hex("90 38 07") },
        { "read_z7_spi", cmd.create_read_z7_spi(0x7E), std::nullopt, hex("90 32 7e") },
        // Bit 7 marks the write; an address that has it already keeps it.
        { "write_z7_spi", cmd.create_write_z7_spi(0x05, 0x7D), std::nullopt, hex("90 33 85 7d") },
        { "write_z7_spi_high_address", cmd.create_write_z7_spi(0x85, 0x00), std::nullopt,
            hex("90 33 85 00") },
        { "set_z7_fps", cmd.create_set_z7_fps(0x0102037E), std::nullopt, hex("90 24 7e 03 02 01") },
        { "create_file", cmd.create_create_file_command(0x11, 0x22, 0x1000),
            plain(createNewFileCommand, 0x11u, 0x22u, 0x1000u),
            head(0x90, 0x66).u32(0x11).u32(0x22).u32(0x1000) },
        { "set_file_data", cmd.create_set_file_data(0x11, 0x22, 0x100, file_bytes),
            plain(createSetFileDataCommand, 0x11u, 0x22u, 0x100u, 6u, file_bytes.data()),
            head(0x90, 0x67).u32(0x11).u32(0x22).u32(0x100).u32(6).bytes(file_bytes) },
        { "set_file_data_empty", cmd.create_set_file_data(1, 2, 3, {}),
            plain(createSetFileDataCommand, 1u, 2u, 3u, 0u, static_cast<const uint8_t*>(nullptr)),
            head(0x90, 0x67).u32(1).u32(2).u32(3).u32(0) },
        { "close_file", cmd.create_close_file(0x11, 0x22, 1), plain(createCloseFileCommand, 0x11u, 0x22u, 1u),
            head(0x90, 0x68).u32(0x11).u32(0x22).u32(1) },
        { "get_file_length", cmd.create_get_file_length(0x11, 0x22),
            plain(createGetFileLengthCommand, 0x11u, 0x22u), head(0x90, 0x69).u32(0x11).u32(0x22) },
        { "delete_file", cmd.create_delete_file(0x11, 0x22), plain(createDeleteFileCommand, 0x11u, 0x22u),
            head(0x90, 0x70).u32(0x11).u32(0x22) },
        { "get_file_data", cmd.create_get_file_data(0x11, 0x22, 0x200, 0x40),
            plain(createGetFileDataCommand, 0x11u, 0x22u, 0x200u, 0x40u),
            head(0x90, 0x71).u32(0x11).u32(0x22).u32(0x200).u32(0x40) },
        { "app_set_int", std::nullopt, plain(createAppSetIntCommand, 0x12, app_values, 2u),
            head(0x90, 0x71).i32(0x12).i32(2).i32(-1).i32(2) },
        { "enable_baseband", cmd.create_enable_baseband(1, true), std::nullopt,
            hex("90 71 10 00 00 00 01 00 00 00 01 00 00 00") },
        { "enable_baseband_off", cmd.create_enable_baseband(2, false), std::nullopt,
            hex("90 71 10 00 00 00 00 00 00 00") },
        { "enable_resp_output", cmd.create_enable_resp_ouput(), std::nullopt,
            head(0x90, 0x71).i32(0x11).i32(1).i32(1) },
        { "disable_resp_output", cmd.create_disable_resp_ouput(), std::nullopt,
            head(0x90, 0x71).i32(0x11).i32(1).i32(0) },
        { "open_file", cmd.create_open_file_command(0x11, 0x22), plain(createOpenFileCommand, 0x11u, 0x22u),
            head(0x90, 0x72).u32(0x11).u32(0x22) },
        { "format_filesystem", cmd.create_format_filesystem(0xDEADBEEF),
            plain(createFormatFilesystemCommand, 0xDEADBEEFu), head(0x90, 0x73).u32(0xDEADBEEF) },
        { "get_profileid", cmd.create_get_profileid(), plain(createGetProfileIdCommand), hex("90 74") },
        { "inject_frame", cmd.create_inject_frame(5, 2, frame_values),
            plain(createInjectFrameCommand, 5u, 2u, frame_values.data()),
            head(0x90, 0x75).u32(5).u32(2).f32(0.5f).f32(-0.5f).f32(1.0f).f32(2.0f) },
        { "prepare_inject_frame", cmd.create_prepare_inject_frame(1, 2, 3),
            plain(createPrepareInjectFrameCommand, 1u, 2u, 3u), head(0x90, 0x76).u32(1).u32(2).u32(3) },
        { "set_baudrate", cmd.create_set_baudrate(921600), plain(createSetBaudRate, 921600u),
            head(0x90, 0x80).u32(921600) },
        { "set_baudrate_signed", std::nullopt, plain(createSetBaudRateCommand, 115200),
            head(0x90, 0x80).u32(115200) },
    };
}

std::vector<CommandCase> bootloader_cases()
{
    const Bytes page = hex("0c 94 7e 00 ff");
    return {
        { "get_bootloader_info", cmd.create_get_bootloader_info(), plain(createBootloaderDeviceInfoCommand),
            hex("c0 00") },
        { "write_page", cmd.create_write_page(0x1280, page),
            plain(createPageWriteCommand, 0x1280u, page.data(), 5u), hex("c0 10 12 80 00 0c 94 7e 00 ff") },
        // Only bits 15-0 of the address go out, high byte first.
        { "write_page_drops_high_address_bits", cmd.create_write_page(0x12345, {}),
            plain(createPageWriteCommand, 0x12345u, static_cast<const uint8_t*>(nullptr), 0u),
            hex("c0 10 23 45 00") },
        { "start_application", cmd.create_start_application_command(), plain(createApplicationStartCommand),
            hex("c0 20") },
    };
}

// Chip driver: set 50 10 and get 50 11, then the parameter id.
P chip_set(uint32_t id)
{
    return std::move(P().u8(0x50).u8(0x10).u32(id));
}

P chip_get(uint32_t id)
{
    return std::move(P().u8(0x50).u8(0x11).u32(id));
}

std::vector<CommandCase> chip_driver_cases()
{
    const Bytes data = hex("01 7f 02");
    return {
        { "z7driver_init", cmd.create_z7driver_init(), plain(createZ7DriverInitCommand), hex("50 20") },
        { "z7driver_set_fps", cmd.create_z7driver_set_fps(1.5f), plain(createZ7DriverSetFpsCommand, 1.5f),
            hex("50 10 10 00 00 00 00 00 c0 3f") },
        { "z7driver_get_fps", cmd.create_z7driver_get_fps(), plain(createZ7DriverGetFpsCommand),
            hex("50 11 10 00 00 00") },
        { "z7driver_set_pulsesperstep", cmd.create_z7driver_set_pulsesperstep(0x7D),
            plain(createZ7DriverSetPulsesPerStepCommand, 0x7Du), chip_set(0x11).u32(0x7D) },
        { "z7driver_get_pulsesperstep", cmd.create_z7driver_get_pulsesperstep(),
            plain(createZ7DriverGetPulsesPerStepCommand), chip_get(0x11) },
        { "z7driver_set_iterations", cmd.create_z7driver_set_iterations(64),
            plain(createZ7DriverSetIterationsCommand, 64u), chip_set(0x12).u32(64) },
        { "z7driver_get_iterations", cmd.create_z7driver_get_iterations(),
            plain(createZ7DriverGetIterationsCommand), chip_get(0x12) },
        { "z7driver_set_downconversion", cmd.create_z7driver_set_downconversion(1),
            plain(createZ7DriverSetDownconversionCommand, uint8_t { 1 }), chip_set(0x13).u8(1) },
        { "z7driver_get_downconversion", cmd.create_z7driver_get_downconversion(),
            plain(createZ7DriverGetDownconversionCommand), chip_get(0x13) },
        { "z7driver_set_frame_area", cmd.create_z7driver_set_frame_area(0.2f, 4.8f),
            plain(createZ7DriverSetFrameAreaCommand, 0.2f, 4.8f), chip_set(0x14).f32(0.2f).f32(4.8f) },
        { "z7driver_get_frame_area", cmd.create_z7driver_get_frame_area(),
            plain(createZ7DriverGetFrameAreaCommand), chip_get(0x14) },
        { "z7driver_set_dac_min", cmd.create_z7driver_set_dac_min(949),
            plain(createZ7DriverSetDacMinCommand, 949u), chip_set(0x16).u32(949) },
        { "z7driver_get_dac_min", cmd.create_z7driver_get_dac_min(), plain(createZ7DriverGetDacMinCommand),
            chip_get(0x16) },
        { "z7driver_set_dac_max", cmd.create_z7driver_set_dac_max(1100),
            plain(createZ7DriverSetDacMaxCommand, 1100u), chip_set(0x17).u32(1100) },
        { "z7driver_get_dac_max", cmd.create_z7driver_get_dac_max(), plain(createZ7DriverGetDacMaxCommand),
            chip_get(0x17) },
        { "z7driver_set_frame_area_offset", cmd.create_z7driver_set_frame_area_offset(0.18f),
            plain(createZ7DriverSetFrameAreaOffsetCommand, 0.18f), chip_set(0x18).f32(0.18f) },
        { "z7driver_get_frame_area_offset", cmd.create_z7driver_get_frame_area_offset(),
            plain(createZ7DriverGetFrameAreaOffsetCommand), chip_get(0x18) },
        { "z7driver_set_enable", cmd.create_z7driver_set_enable(1),
            plain(createZ7DriverSetEnableCommand, uint8_t { 1 }), chip_set(0x19).u8(1) },
        { "z7driver_set_tx_center_frequency", cmd.create_z7driver_set_tx_center_frequency(3),
            plain(createZ7DriverSetTxCenterFrequencyCommand, uint8_t { 3 }), chip_set(0x20).u8(3) },
        { "z7driver_get_tx_center_frequency", cmd.create_z7driver_get_tx_center_frequency(),
            plain(createZ7DriverGetTxCenterFrequencyCommand), chip_get(0x20) },
        { "z7driver_set_tx_power", cmd.create_z7driver_set_tx_power(2),
            plain(createZ7DriverSetTxPowerCommand, uint8_t { 2 }), chip_set(0x21).u8(2) },
        { "z7driver_get_tx_power", cmd.create_z7driver_get_tx_power(), plain(createZ7DriverGetTxPowerCommand),
            chip_get(0x21) },
        { "z7driver_set_spi_register", cmd.create_z7driver_set_spi_register(0x7E, 0x01),
            plain(createZ7DriverSetSpiRegisterCommand, uint8_t { 0x7E }, uint8_t { 0x01 }),
            hex("50 10 22 00 00 00 7e 01") },
        { "z7driver_get_spi_register", cmd.create_z7driver_get_spi_register(0x12),
            plain(createZ7DriverGetSpiRegisterCommand, uint8_t { 0x12 }), chip_get(0x22).u8(0x12) },
        { "z7driver_write_to_spi_register", cmd.create_z7driver_write_to_spi_register(0x11, data),
            plain(createZ7DriverWriteToSpiRegisterCommand, uint8_t { 0x11 }, data.data(), 3u),
            hex("50 12 22 00 00 00 11 01 7f 02") },
        { "z7driver_write_to_spi_register_without_data", cmd.create_z7driver_write_to_spi_register(0x11, {}),
            plain(createZ7DriverWriteToSpiRegisterCommand, uint8_t { 0x11 },
                static_cast<const uint8_t*>(nullptr), 0u),
            hex("50 12 22 00 00 00 11") },
        { "z7driver_read_from_spi_register", cmd.create_z7driver_read_from_spi_register(0x11, 16),
            plain(createZ7DriverReadFromSpiRegisterCommand, uint8_t { 0x11 }, 16u),
            hex("50 13 22 00 00 00 11 10 00 00 00") },
        { "z7driver_set_pif_register", cmd.create_z7driver_set_pif_register(0x05, 0x06),
            plain(createZ7DriverSetPifRegisterCommand, uint8_t { 0x05 }, uint8_t { 0x06 }),
            chip_set(0x23).u8(5).u8(6) },
        { "z7driver_get_pif_register", cmd.create_z7driver_get_pif_register(0x05),
            plain(createZ7DriverGetPifRegisterCommand, uint8_t { 0x05 }), chip_get(0x23).u8(5) },
        { "z7driver_set_xif_register", cmd.create_z7driver_set_xif_register(0x07, 0x08),
            plain(createZ7DriverSetXifRegisterCommand, uint8_t { 0x07 }, uint8_t { 0x08 }),
            chip_set(0x24).u8(7).u8(8) },
        { "z7driver_get_xif_register", cmd.create_z7driver_get_xif_register(0x07),
            plain(createZ7DriverGetXifRegisterCommand, uint8_t { 0x07 }), chip_get(0x24).u8(7) },
        { "z7driver_set_prf_div", cmd.create_z7driver_set_prf_div(16),
            plain(createZ7DriverSetPrfDivCommand, uint8_t { 16 }), chip_set(0x25).u8(16) },
        { "z7driver_get_prf_div", cmd.create_z7driver_get_prf_div(), plain(createZ7DriverGetPrfDivCommand),
            chip_get(0x25) },
        { "z7driver_get_framebincount", cmd.create_z7driver_get_framebincount(),
            plain(createZ7DriverGetFrameBinCountCommand), chip_get(0x26) },
        { "z7driver_write_to_i2c_register", cmd.create_z7driver_write_to_i2c_register(0x48, data),
            plain(createZ7DriverWriteToI2cRegisterCommand, uint8_t { 0x48 }, data.data(), 3u),
            hex("50 14 27 00 00 00 48 01 7f 02") },
        { "z7driver_read_from_i2c_register", cmd.create_z7driver_read_from_i2c_register(2),
            plain(createZ7DriverReadFromI2cRegisterCommand, 2u), hex("50 15 27 00 00 00 02 00 00 00") },
    };
}

// Processing: the operation bytes are swapped, 52 11 sets and 52 10 gets.
std::vector<CommandCase> processing_cases()
{
    return {
        { "set_normalization", cmd.create_set_normalization(1),
            plain(createSetNormalizationCommand, uint8_t { 1 }), hex("52 11 10 00 00 00 01") },
        { "get_normalization", cmd.create_get_normalization(), plain(createGetNormalizationCommand),
            hex("52 10 10 00 00 00") },
        { "set_phase_noise_correction", cmd.create_set_phase_noise_correction(1, 0.5f),
            plain(createSetPhaseNoiseCorrectionCommand, uint8_t { 1 }, 0.5f),
            hex("52 11 11 00 00 00 01 00 00 00 3f") },
        { "get_phase_noise_correction", cmd.create_get_phase_noise_correction(),
            plain(createGetPhaseNoiseCorrectionCommand), hex("52 10 11 00 00 00") },
        { "set_decimation_factor", cmd.create_set_decimation_factor(8),
            plain(createSetDecimationFactorCommand, 8u), hex("52 11 12 00 00 00 08 00 00 00") },
        { "get_decimation_factor", cmd.create_get_decimation_factor(),
            plain(createGetDecimationFactorCommand), hex("52 10 12 00 00 00") },
        { "set_number_format", cmd.create_set_number_format(2),
            plain(createSetNumberFormatCommand, uint8_t { 2 }), hex("52 11 13 00 00 00 02") },
        { "get_number_format", cmd.create_get_number_format(), plain(createGetNumberFormatCommand),
            hex("52 10 13 00 00 00") },
        { "set_legacy_output", cmd.create_set_legacy_output(0),
            plain(createSetLegacyOutputCommand, uint8_t { 0 }), hex("52 11 14 00 00 00 00") },
        { "get_legacy_output", cmd.create_get_legacy_output(), plain(createGetLegacyOutputCommand),
            hex("52 10 14 00 00 00") },
    };
}

// The sensor mode's submode byte follows only for the whole values 0x10 and
// 0x50; a mode whose low byte is 0x10 or 0x50 sends none.
std::vector<CommandCase> sensor_mode_cases()
{
    auto both = [](std::string name, sensor_mode_t mode, uint8_t submode, Bytes payload) {
        return CommandCase { std::move(name), cmd.create_set_sensor_mode(mode, submode),
            plain(createSetSensorModeCommand, mode, submode), std::move(payload) };
    };
    return {
        both("run", SENSOR_MODE_RUN, 0x33, hex("20 01")),
        both("idle", SENSOR_MODE_IDLE, 0x33, hex("20 11")),
        both("manual", 0x12, 0x00, hex("20 12")),
        both("mode_0x10_sends_submode", 0x10, 0x33, hex("20 10 33")),
        both("mode_0x50_sends_submode", 0x50, 0x33, hex("20 50 33")),
        both("mode_0x110_sends_low_byte_only", 0x110, 0x33, hex("20 10")),
        both("mode_0x150_sends_low_byte_only", 0x150, 0x33, hex("20 50")),
    };
}

INSTANTIATE_TEST_SUITE_P(Module, CommandFrames, testing::ValuesIn(module_cases()), case_name);
INSTANTIATE_TEST_SUITE_P(SensorMode, CommandFrames, testing::ValuesIn(sensor_mode_cases()), case_name);
INSTANTIATE_TEST_SUITE_P(Application, CommandFrames, testing::ValuesIn(application_cases()), case_name);
INSTANTIATE_TEST_SUITE_P(
    NoiseMapIoOutput, CommandFrames, testing::ValuesIn(noise_map_io_and_output_cases()), case_name);
INSTANTIATE_TEST_SUITE_P(System, CommandFrames, testing::ValuesIn(system_cases()), case_name);
INSTANTIATE_TEST_SUITE_P(Bootloader, CommandFrames, testing::ValuesIn(bootloader_cases()), case_name);
INSTANTIATE_TEST_SUITE_P(ChipDriver, CommandFrames, testing::ValuesIn(chip_driver_cases()), case_name);
INSTANTIATE_TEST_SUITE_P(Processing, CommandFrames, testing::ValuesIn(processing_cases()), case_name);

// Whole wire images written out byte for byte, escapes and checksums
// included, so that they hold even if the reference framer were wrong.
struct WireCase {
    const char* name;
    Bytes built;
    const char* wire;
};

TEST(CommandWireBytes, MatchTheKnownFrames)
{
    const WireCase cases[] = {
        { "get_sensor_mode", cmd.create_get_sensor_mode(), "7d 26 5b 7e" },
        { "module_reset", cmd.create_module_reset(), "7d 22 5f 7e" },
        { "store_noise_map: checksum 0x7e is escaped", cmd.create_store_noise_map(), "7d 10 13 7f 7e 7e" },
        { "sensor mode 0x10 with submode", cmd.create_set_sensor_mode(0x10, 0x33), "7d 20 10 33 7f 7e 7e" },
        { "sensor mode 0x50 with submode", cmd.create_set_sensor_mode(0x50, 0x33), "7d 20 50 33 3e 7e" },
        { "search_for_file_type: 0x80 plain, 0x7d 0x7e 0x7f escaped",
            cmd.create_search_for_file_type(0x7F7E7D80), "7d 90 64 80 7f 7d 7f 7e 7f 7f 75 7e" },
        { "empty payload", cmd.create_command({}), "7d 7f 7d 7e" },
        { "z7driver_init", cmd.create_z7driver_init(), "7d 50 20 0d 7e" },
        { "spi register address 0x7e escaped", cmd.create_z7driver_set_spi_register(0x7E, 0x01),
            "7d 50 10 22 00 00 00 7f 7e 01 60 7e" },
        { "write_page: address bytes 0x7e and 0x7f escaped", cmd.create_write_page(0x7D7E7F, {}),
            "7d c0 10 7f 7e 7f 7f 00 ac 7e" },
        { "0x7d inside a bootloader key is escaped", cmd.create_start_bootloader(0x7D7E7F00),
            "7d 02 00 7f 7f 7f 7e 7f 7d 03 7e" },
        { "0x7d inside a parameter id is escaped", cmd.create_get_int(0x7D),
            "7d 90 12 7f 7d 00 00 00 82 7e" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.wire, to_hex(c.built)) << c.name;
}

TEST(CommandsCreateCommand, FramesAnyPayloadUnchanged)
{
    const Bytes payloads[] = { hex("10 11 2c 2a af 71"), hex("7d 7e 7f 7c 80 ff 00"), Bytes(300, 0x7E) };
    for (const auto& payload : payloads)
        EXPECT_EQ(frame(payload), cmd.create_command(payload)) << to_hex(payload);
}

TEST(CommandsParameterFile, TextsAreSentWithTheirNulAndLengthsCountIt)
{
    const std::string name = "noise}map"; // '}' is 0x7D and must be escaped on the wire
    const std::string content = std::string("a\0b", 3);
    EXPECT_EQ(frame(app_set(kParameterFile).u32(10).u32(4).text(name, true).text(content, true)),
        cmd.create_set_parameter_file(name, content));
    EXPECT_EQ(frame(app_get(kParameterFile).u32(10).text(name, true)), cmd.create_get_parameter_file(name));
}

TEST(CommandsParameterFile, PlainBuilderSendsItsOwnNulAndReadsNoFurther)
{
    // The builder is given three characters of a longer text: it must send
    // those three and a NUL, not the fourth character.
    const char name[] = { 'a', 'b', 'c', 'X' };
    const char content[] = { 'x', 'y', 'Z' };
    EXPECT_EQ(frame(hex("10 10 23 76 ba 32 04 00 00 00 03 00 00 00 61 62 63 00 78 79 00")),
        plain(createSetParameterFileCommand, 3u, 2u, name, content));
    EXPECT_EQ(frame(app_get(kParameterFile).u32(4).text("abc", true)),
        plain(createGetParameterFileCommand, 3u, name));
}

TEST(CommandsInjectFrame, SendsTheFirstTwiceNValues)
{
    const std::vector<float> values = { 1.0f, 2.0f, 3.0f, 4.0f, 5.0f };
    EXPECT_EQ(frame(head(0x90, 0x75).u32(9).u32(2).f32(1.0f).f32(2.0f).f32(3.0f).f32(4.0f)),
        cmd.create_inject_frame(9, 2, values));
    EXPECT_EQ(frame(head(0x90, 0x75).u32(9).u32(0)), cmd.create_inject_frame(9, 0, {}));
}

TEST(CommandsInjectFrame, FewerThanTwiceNValuesAreRefused)
{
    struct Case {
        unsigned n;
        size_t value_count;
    };
    const Case cases[] = {
        { 1, 0 }, { 1, 1 }, { 2, 3 }, { 0x80000000u, 4 }, // 2 * n wraps to 0 in 32 bits
        { 0xFFFFFFFFu, 10 }, // 2 * n wraps to 0xFFFFFFFE in 32 bits
    };
    for (const auto& c : cases) {
        const std::vector<float> values(c.value_count, 1.0f);
        EXPECT_THROW(cmd.create_inject_frame(0, c.n, values), std::invalid_argument)
            << "n " << c.n << ", " << c.value_count << " values";
    }
}

TEST(CommandsInjectFrame, RefusalLeavesTheNextPacketIntact)
{
    const std::vector<float> too_few(3, 0.0f);
    EXPECT_THROW(cmd.create_inject_frame(1, 2, too_few), std::invalid_argument);
    EXPECT_EQ(hex("7d 26 5b 7e"), cmd.create_get_sensor_mode());
}

TEST(CommandsFamilies, SetAndGetOperationBytesDependOnTheFamily)
{
    // The same id 0x10 with the family's own get: 0x11 in the chip driver,
    // 0x10 in processing; and the setters the other way round.
    EXPECT_EQ(frame(hex("50 11 10 00 00 00")), cmd.create_z7driver_get_fps());
    EXPECT_EQ(frame(hex("52 10 10 00 00 00")), cmd.create_get_normalization());
    EXPECT_EQ(frame(hex("50 10 13 00 00 00 01")), cmd.create_z7driver_set_downconversion(1));
    EXPECT_EQ(frame(hex("52 11 13 00 00 00 01")), cmd.create_set_number_format(1));
}

TEST(CommandsFamilies, AppSetIntAndGetFileDataShareTheirLeadingBytesOnly)
{
    const int32_t values[] = { 7 };
    const Bytes set_int = plain(createAppSetIntCommand, 0x10, values, 1u);
    const Bytes get_file = cmd.create_get_file_data(0x10, 1, 7, 0);
    EXPECT_EQ(Bytes(set_int.begin(), set_int.begin() + 3), Bytes(get_file.begin(), get_file.begin() + 3));
    EXPECT_NE(set_int, get_file);
}

TEST(CommandsConcurrency, ThreadsBuildingAtOnceEachGetCorrectFrames)
{
    // Connections build commands on their callers' threads at the same time.
    constexpr int rounds = 5000;
    auto worker = [](auto build, Bytes expected, int* failures) {
        for (int i = 0; i < rounds; ++i)
            if (build() != expected)
                ++*failures;
    };
    int failures_a = 0, failures_b = 0;
    std::thread a(
        worker, [] { return cmd.create_set_detection_zone(0.4f, 5.0f); },
        frame(app_set(kDetectionZone).f32(0.4f).f32(5.0f)), &failures_a);
    std::thread b(
        worker, [] { return cmd.create_z7driver_set_frame_area_offset(0.18f); },
        frame(chip_set(0x18).f32(0.18f)), &failures_b);
    a.join();
    b.join();
    EXPECT_EQ(0, failures_a);
    EXPECT_EQ(0, failures_b);
}

} // namespace
