// Plain command builders of the module, application, noise-map, IO-pin,
// output, system and bootloader families. One row per command: name,
// parameters, payload fields in wire order (see protocol_command_writer.hpp).
#include "protocol_command_writer.hpp"

namespace {

using command_fields::ByteSpan;
using command_fields::FloatSpan;
using command_fields::Head;
using command_fields::IntSpan;
using command_fields::OptionalByte;
using command_fields::PageAddress;
using command_fields::Text;

// Family 0x10, application settings.
constexpr Head kApp { 0x10 };
constexpr Head kAppSet { 0x10, 0x10 };
constexpr Head kAppGet { 0x10, 0x11 };

// Application parameter ids.
constexpr uint32_t kDetectionZoneId = 0x96A10A1C;
constexpr uint32_t kDetectionZoneLimitsId = 0x96A10A1D;
constexpr uint32_t kApplicationUserZoneId = 0xA53695BB;
constexpr uint32_t kSensitivityId = 0x10A5112B;
constexpr uint32_t kTxCenterFrequencyId = 0x71AF2A2B;
constexpr uint32_t kLedControlId = 0x71AF2A2C;
constexpr uint32_t kParameterFileId = 0x32BA7623;

// The ping's fixed argument.
constexpr uint32_t kPingValue = 0xEEAAEAAE;

// Only these two sensor modes carry a submode byte; the whole value is
// compared, so 0x110 does not count as 0x10.
constexpr bool carries_submode(sensor_mode_t mode)
{
    return mode == 0x10 || mode == 0x50;
}

// Family 0x90, system commands: the head of each operation.
constexpr Head system_op(uint8_t operation)
{
    return Head { 0x90, operation };
}

} // namespace

extern "C" {

// Ping, bootloader start, sensor mode, application and profile loading,
// module reset, LED, debug level.
LINKWELL_FIXED_COMMAND(createPingCommand, Head { 0x01 }, kPingValue)
LINKWELL_COMMAND(createStartBootloaderCommand, (uint32_t key), Head { 0x02 }, key)
LINKWELL_COMMAND(createSetSensorModeCommand, (sensor_mode_t mode, uint8_t submode), Head { 0x20 },
    static_cast<uint8_t>(mode), OptionalByte { carries_submode(mode), submode })
LINKWELL_FIXED_COMMAND(createGetSensorModeCommand, Head { 0x26 })
LINKWELL_COMMAND(createLoadAppCommand, (uint32_t id), Head { 0x21 }, id)
LINKWELL_COMMAND(createLoadProfileCommand, (uint32_t id), Head { 0x21 }, id)
LINKWELL_FIXED_COMMAND(createModuleResetCommand, Head { 0x22 })
LINKWELL_COMMAND(
    createSetLedControlCommand, (uint8_t mode, uint8_t parameter), Head { 0x24 }, mode, parameter)
// Written with 0x24 but read back through the application get.
LINKWELL_FIXED_COMMAND(createGetLedControlCommand, kAppGet, kLedControlId)
LINKWELL_COMMAND(createDebugLevelCommand, (uint8_t level), Head { 0xB0 }, level)

// Application settings (family 0x10).
LINKWELL_COMMAND(
    createSetDetectionZoneCommand, (float start, float end), kAppSet, kDetectionZoneId, start, end)
LINKWELL_FIXED_COMMAND(createGetDetectionZoneCommand, kAppGet, kDetectionZoneId)
LINKWELL_FIXED_COMMAND(createGetDetectionZoneLimitsCommand, kAppGet, kDetectionZoneLimitsId)
LINKWELL_COMMAND(
    createSetApplicationUserZoneCommand, (float a, float b), kAppSet, kApplicationUserZoneId, a, b)
LINKWELL_FIXED_COMMAND(createGetApplicationUserZoneCommand, kAppGet, kApplicationUserZoneId)
LINKWELL_COMMAND(createSetSensitivityCommand, (uint32_t value), kAppSet, kSensitivityId, value)
LINKWELL_FIXED_COMMAND(createGetSensitivityCommand, kAppGet, kSensitivityId)
LINKWELL_COMMAND(createSetTxCenterFrequencyCommand, (uint32_t value), kAppSet, kTxCenterFrequencyId, value)
LINKWELL_FIXED_COMMAND(createGetTxCenterFrequencyCommand, kAppGet, kTxCenterFrequencyId)
// The length fields count the terminating NUL that follows each text.
LINKWELL_COMMAND(createSetParameterFileCommand,
    (uint32_t name_length, uint32_t content_length, const char* name, const char* content), kAppSet,
    kParameterFileId, name_length + 1u, content_length + 1u, Text { name, name_length },
    Text { content, content_length })
LINKWELL_COMMAND(createGetParameterFileCommand, (uint32_t name_length, const char* name), kAppGet,
    kParameterFileId, name_length + 1u, Text { name, name_length })
LINKWELL_FIXED_COMMAND(createResetToFactoryPreset, Head { 0x10, 0x12 })
LINKWELL_FIXED_COMMAND(createStoreNoiseMapCommand, Head { 0x10, 0x13 })
LINKWELL_FIXED_COMMAND(createLoadNoiseMapCommand, Head { 0x10, 0x14 })
LINKWELL_FIXED_COMMAND(createDeleteNoiseMapCommand, Head { 0x10, 0x16 })
LINKWELL_COMMAND(
    createAppCommand, (uint8_t sub, const uint8_t* data, uint32_t count), kApp, sub, ByteSpan { data, count })

// Noise map control (0x25), IO pins (0x40), outputs (0x41), debug outputs (0x42).
LINKWELL_COMMAND(createSetNoiseMapControlCommand, (uint32_t value), Head { 0x25, 0x10 }, value)
LINKWELL_FIXED_COMMAND(createGetNoiseMapControlCommand, Head { 0x25, 0x11 })
LINKWELL_COMMAND(createSetPeriodicNoiseMapStoreCommand, (uint32_t a, uint32_t b), Head { 0x25, 0x12 }, a, b)
LINKWELL_FIXED_COMMAND(createGetPeriodicNoiseMapStoreCommand, Head { 0x25, 0x13 })
LINKWELL_COMMAND(
    createSetIOPinControlCommand, (uint32_t pin, uint32_t a, uint32_t b), Head { 0x40, 0x10 }, pin, a, b)
LINKWELL_COMMAND(createGetIOPinControlCommand, (uint32_t pin), Head { 0x40, 0x11 }, pin)
LINKWELL_COMMAND(createSetIOPinValueCommand, (uint32_t pin, uint32_t value), Head { 0x40, 0x20 }, pin, value)
LINKWELL_COMMAND(createGetIOPinValueCommand, (uint32_t pin), Head { 0x40, 0x21 }, pin)
LINKWELL_COMMAND(createSetOutputControlCommand, (uint32_t a, uint32_t b), Head { 0x41, 0x10 }, a, b)
LINKWELL_COMMAND(createGetOutputControlCommand, (uint32_t a), Head { 0x41, 0x11 }, a)
LINKWELL_COMMAND(createSetDebugOutputControlCommand, (uint32_t a, uint32_t b), Head { 0x42, 0x10 }, a, b)
LINKWELL_COMMAND(createGetDebugOutputControlCommand, (uint32_t a), Head { 0x42, 0x11 }, a)

// System commands (family 0x90).
LINKWELL_COMMAND(createSetIntCommand, (uint32_t id, uint32_t value), system_op(0x11), id, value)
LINKWELL_COMMAND(createGetIntCommand, (uint32_t id), system_op(0x12), id)
LINKWELL_COMMAND(createSetFloatCommand, (uint32_t id, float value), system_op(0x13), id, value)
LINKWELL_COMMAND(createGetFloatCommand, (uint32_t id), system_op(0x14), id)
LINKWELL_COMMAND(createSetRegisterCommand, (uint32_t reg, uint32_t value), system_op(0x15), reg, value)
LINKWELL_COMMAND(createGetRegisterCommand, (uint32_t reg), system_op(0x16), reg)
LINKWELL_FIXED_COMMAND(createGetFrame, system_op(0x17))
LINKWELL_FIXED_COMMAND(createRunTimingMeasurementCommand, system_op(0x20))
LINKWELL_COMMAND(createSystemRunTest, (uint8_t code), system_op(0x50), code)
LINKWELL_COMMAND(createConfigSetIntCommand, (int32_t id, int32_t value), system_op(0x51), id, value)
LINKWELL_COMMAND(createConfigSetFloatCommand, (int32_t id, float value), system_op(0x52), id, value)
LINKWELL_FIXED_COMMAND(createSystemGetVersionCommand, system_op(0x55))
LINKWELL_COMMAND(createGetSystemInfoCommand, (uint8_t code), system_op(0x58), code)
LINKWELL_COMMAND(createSystemGetInfoCommand, (uint8_t code), system_op(0x58), code)
LINKWELL_COMMAND(createSearchForFileTypeCommand, (uint32_t type), system_op(0x64), type)
LINKWELL_FIXED_COMMAND(createFindAllFilesCommand, system_op(0x65))
LINKWELL_COMMAND(
    createNewFileCommand, (uint32_t type, uint32_t id, uint32_t length), system_op(0x66), type, id, length)
LINKWELL_COMMAND(createSetFileDataCommand,
    (uint32_t type, uint32_t id, uint32_t offset, uint32_t count, const uint8_t* data), system_op(0x67), type,
    id, offset, count, ByteSpan { data, count })
LINKWELL_COMMAND(
    createCloseFileCommand, (uint32_t type, uint32_t id, uint32_t flag), system_op(0x68), type, id, flag)
LINKWELL_COMMAND(createGetFileLengthCommand, (uint32_t type, uint32_t id), system_op(0x69), type, id)
LINKWELL_COMMAND(createDeleteFileCommand, (uint32_t type, uint32_t id), system_op(0x70), type, id)
LINKWELL_COMMAND(createGetFileDataCommand, (uint32_t type, uint32_t id, uint32_t offset, uint32_t length),
    system_op(0x71), type, id, offset, length)
// Shares 90 71 with the get-file-data command; what follows tells them apart.
LINKWELL_COMMAND(createAppSetIntCommand, (int32_t id, const int32_t* values, uint32_t count), system_op(0x71),
    id, count, IntSpan { values, count })
LINKWELL_COMMAND(createOpenFileCommand, (uint32_t type, uint32_t id), system_op(0x72), type, id)
LINKWELL_COMMAND(createFormatFilesystemCommand, (uint32_t value), system_op(0x73), value)
LINKWELL_FIXED_COMMAND(createGetProfileIdCommand, system_op(0x74))
// The frame is n pairs of floats: 2 * n values follow n.
LINKWELL_COMMAND(createInjectFrameCommand, (uint32_t a, uint32_t n, const float* values), system_op(0x75), a,
    n, FloatSpan { values, 2 * uint64_t { n } })
LINKWELL_COMMAND(
    createPrepareInjectFrameCommand, (uint32_t a, uint32_t b, uint32_t c), system_op(0x76), a, b, c)
LINKWELL_COMMAND(createSetBaudRate, (uint32_t baud), system_op(0x80), baud)
LINKWELL_COMMAND(createSetBaudRateCommand, (int32_t baud), system_op(0x80), baud)

// Bootloader (family 0xC0).
LINKWELL_FIXED_COMMAND(createBootloaderDeviceInfoCommand, Head { 0xC0, 0x00 })
LINKWELL_COMMAND(createPageWriteCommand, (uint32_t address, const uint8_t* data, uint32_t count),
    Head { 0xC0, 0x10 }, PageAddress { address }, ByteSpan { data, count })
LINKWELL_FIXED_COMMAND(createApplicationStartCommand, Head { 0xC0, 0x20 })

} // extern "C"
