/* Plain command builders of the module protocol (create*Command): each
 * frames one command packet through the streaming writer, handing the bytes
 * to the callback one at a time, and returns 0. None allocates, none fails.
 * Multi-byte values go on the wire least significant byte first; a uint8_t
 * argument contributes one byte. C linkage. */
#ifndef LINKWELL_PROTOCOL_COMMANDS_H
#define LINKWELL_PROTOCOL_COMMANDS_H

#include "protocol_framing.h"

LINKWELL_EXTERN_C_BEGIN

/* The module's sensor mode. Wider than the byte that goes on the wire: the
 * submode byte follows only when the whole value is 0x10 or 0x50. */
typedef uint32_t sensor_mode_t;

enum { SENSOR_MODE_RUN = 0x01, SENSOR_MODE_IDLE = 0x11 };

/* Ping, bootloader start, sensor mode, application and profile loading,
 * module reset, LED, debug level. */
LINKWELL_API int createPingCommand(SendByteCallback callback, void* user);
LINKWELL_API int createStartBootloaderCommand(uint32_t key, SendByteCallback callback, void* user);
LINKWELL_API int createSetSensorModeCommand(
    sensor_mode_t mode, uint8_t submode, SendByteCallback callback, void* user);
LINKWELL_API int createGetSensorModeCommand(SendByteCallback callback, void* user);
LINKWELL_API int createLoadAppCommand(uint32_t id, SendByteCallback callback, void* user);
/* The same command as createLoadAppCommand. */
LINKWELL_API int createLoadProfileCommand(uint32_t id, SendByteCallback callback, void* user);
LINKWELL_API int createModuleResetCommand(SendByteCallback callback, void* user);
LINKWELL_API int createSetLedControlCommand(
    uint8_t mode, uint8_t parameter, SendByteCallback callback, void* user);
/* The LED setting is read back through the application get. */
LINKWELL_API int createGetLedControlCommand(SendByteCallback callback, void* user);
LINKWELL_API int createDebugLevelCommand(uint8_t level, SendByteCallback callback, void* user);

/* Application settings (family 0x10: 0x10 set, 0x11 get). */
LINKWELL_API int createSetDetectionZoneCommand(float start, float end, SendByteCallback callback, void* user);
LINKWELL_API int createGetDetectionZoneCommand(SendByteCallback callback, void* user);
LINKWELL_API int createGetDetectionZoneLimitsCommand(SendByteCallback callback, void* user);
LINKWELL_API int createSetApplicationUserZoneCommand(float a, float b, SendByteCallback callback, void* user);
LINKWELL_API int createGetApplicationUserZoneCommand(SendByteCallback callback, void* user);
LINKWELL_API int createSetSensitivityCommand(uint32_t value, SendByteCallback callback, void* user);
LINKWELL_API int createGetSensitivityCommand(SendByteCallback callback, void* user);
LINKWELL_API int createSetTxCenterFrequencyCommand(uint32_t value, SendByteCallback callback, void* user);
LINKWELL_API int createGetTxCenterFrequencyCommand(SendByteCallback callback, void* user);
/* The lengths are those of the texts without their terminating NUL; each
 * text goes on the wire as its first `length` bytes and a NUL, preceded by
 * the length field length + 1. The texts need not be NUL-terminated. */
LINKWELL_API int createSetParameterFileCommand(uint32_t name_length, uint32_t content_length,
    const char* name, const char* content, SendByteCallback callback, void* user);
LINKWELL_API int createGetParameterFileCommand(
    uint32_t name_length, const char* name, SendByteCallback callback, void* user);
LINKWELL_API int createResetToFactoryPreset(SendByteCallback callback, void* user);
LINKWELL_API int createStoreNoiseMapCommand(SendByteCallback callback, void* user);
LINKWELL_API int createLoadNoiseMapCommand(SendByteCallback callback, void* user);
LINKWELL_API int createDeleteNoiseMapCommand(SendByteCallback callback, void* user);
/* Any application sub-command with a payload of the caller's. */
LINKWELL_API int createAppCommand(
    uint8_t sub, const uint8_t* data, uint32_t count, SendByteCallback callback, void* user);

/* Noise map control (0x25), IO pins (0x40), outputs (0x41) and debug
 * outputs (0x42). */
LINKWELL_API int createSetNoiseMapControlCommand(uint32_t value, SendByteCallback callback, void* user);
LINKWELL_API int createGetNoiseMapControlCommand(SendByteCallback callback, void* user);
LINKWELL_API int createSetPeriodicNoiseMapStoreCommand(
    uint32_t a, uint32_t b, SendByteCallback callback, void* user);
LINKWELL_API int createGetPeriodicNoiseMapStoreCommand(SendByteCallback callback, void* user);
LINKWELL_API int createSetIOPinControlCommand(
    uint32_t pin, uint32_t a, uint32_t b, SendByteCallback callback, void* user);
LINKWELL_API int createGetIOPinControlCommand(uint32_t pin, SendByteCallback callback, void* user);
LINKWELL_API int createSetIOPinValueCommand(
    uint32_t pin, uint32_t value, SendByteCallback callback, void* user);
LINKWELL_API int createGetIOPinValueCommand(uint32_t pin, SendByteCallback callback, void* user);
LINKWELL_API int createSetOutputControlCommand(uint32_t a, uint32_t b, SendByteCallback callback, void* user);
LINKWELL_API int createGetOutputControlCommand(uint32_t a, SendByteCallback callback, void* user);
LINKWELL_API int createSetDebugOutputControlCommand(
    uint32_t a, uint32_t b, SendByteCallback callback, void* user);
LINKWELL_API int createGetDebugOutputControlCommand(uint32_t a, SendByteCallback callback, void* user);

/* System commands (family 0x90). */
LINKWELL_API int createSetIntCommand(uint32_t id, uint32_t value, SendByteCallback callback, void* user);
LINKWELL_API int createGetIntCommand(uint32_t id, SendByteCallback callback, void* user);
LINKWELL_API int createSetFloatCommand(uint32_t id, float value, SendByteCallback callback, void* user);
LINKWELL_API int createGetFloatCommand(uint32_t id, SendByteCallback callback, void* user);
LINKWELL_API int createSetRegisterCommand(
    uint32_t reg, uint32_t value, SendByteCallback callback, void* user);
LINKWELL_API int createGetRegisterCommand(uint32_t reg, SendByteCallback callback, void* user);
LINKWELL_API int createGetFrame(SendByteCallback callback, void* user);
LINKWELL_API int createRunTimingMeasurementCommand(SendByteCallback callback, void* user);
LINKWELL_API int createSystemRunTest(uint8_t code, SendByteCallback callback, void* user);
LINKWELL_API int createConfigSetIntCommand(int32_t id, int32_t value, SendByteCallback callback, void* user);
LINKWELL_API int createConfigSetFloatCommand(int32_t id, float value, SendByteCallback callback, void* user);
LINKWELL_API int createSystemGetVersionCommand(SendByteCallback callback, void* user);
LINKWELL_API int createGetSystemInfoCommand(uint8_t code, SendByteCallback callback, void* user);
/* A second name of createGetSystemInfoCommand. */
LINKWELL_API int createSystemGetInfoCommand(uint8_t code, SendByteCallback callback, void* user);
LINKWELL_API int createSearchForFileTypeCommand(uint32_t type, SendByteCallback callback, void* user);
LINKWELL_API int createFindAllFilesCommand(SendByteCallback callback, void* user);
LINKWELL_API int createNewFileCommand(
    uint32_t type, uint32_t id, uint32_t length, SendByteCallback callback, void* user);
/* The count goes on the wire as a length field before the data. */
LINKWELL_API int createSetFileDataCommand(uint32_t type, uint32_t id, uint32_t offset, uint32_t count,
    const uint8_t* data, SendByteCallback callback, void* user);
LINKWELL_API int createCloseFileCommand(
    uint32_t type, uint32_t id, uint32_t flag, SendByteCallback callback, void* user);
LINKWELL_API int createGetFileLengthCommand(
    uint32_t type, uint32_t id, SendByteCallback callback, void* user);
LINKWELL_API int createDeleteFileCommand(uint32_t type, uint32_t id, SendByteCallback callback, void* user);
LINKWELL_API int createGetFileDataCommand(
    uint32_t type, uint32_t id, uint32_t offset, uint32_t length, SendByteCallback callback, void* user);
/* Application set-int: the id, the count and count values. It shares its
 * two leading bytes with the get-file-data command. */
LINKWELL_API int createAppSetIntCommand(
    int32_t id, const int32_t* values, uint32_t count, SendByteCallback callback, void* user);
LINKWELL_API int createOpenFileCommand(uint32_t type, uint32_t id, SendByteCallback callback, void* user);
LINKWELL_API int createFormatFilesystemCommand(uint32_t value, SendByteCallback callback, void* user);
LINKWELL_API int createGetProfileIdCommand(SendByteCallback callback, void* user);
/* Sends a, n and the first 2 * n values: the caller must pass at least
 * 2 * n floats. */
LINKWELL_API int createInjectFrameCommand(
    uint32_t a, uint32_t n, const float* values, SendByteCallback callback, void* user);
LINKWELL_API int createPrepareInjectFrameCommand(
    uint32_t a, uint32_t b, uint32_t c, SendByteCallback callback, void* user);
LINKWELL_API int createSetBaudRate(uint32_t baud, SendByteCallback callback, void* user);
LINKWELL_API int createSetBaudRateCommand(int32_t baud, SendByteCallback callback, void* user);

/* Bootloader (family 0xC0). */
LINKWELL_API int createBootloaderDeviceInfoCommand(SendByteCallback callback, void* user);
/* Sends bits 15-8 of the address, then bits 7-0 (high byte first, unlike
 * every other field), a 0x00 and the data; higher address bits are not sent. */
LINKWELL_API int createPageWriteCommand(
    uint32_t address, const uint8_t* data, uint32_t count, SendByteCallback callback, void* user);
LINKWELL_API int createApplicationStartCommand(SendByteCallback callback, void* user);

/* Radar chip driver (family 0x50: 0x10 set, 0x11 get, 0x12 SPI write,
 * 0x13 SPI read, 0x14 I2C write, 0x15 I2C read, 0x20 initialise). */
LINKWELL_API int createZ7DriverInitCommand(SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverSetFpsCommand(float fps, SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverGetFpsCommand(SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverSetPulsesPerStepCommand(uint32_t value, SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverGetPulsesPerStepCommand(SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverSetIterationsCommand(uint32_t value, SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverGetIterationsCommand(SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverSetDownconversionCommand(uint8_t value, SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverGetDownconversionCommand(SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverSetFrameAreaCommand(
    float start, float end, SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverGetFrameAreaCommand(SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverSetDacMinCommand(uint32_t value, SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverGetDacMinCommand(SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverSetDacMaxCommand(uint32_t value, SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverGetDacMaxCommand(SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverSetFrameAreaOffsetCommand(float offset, SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverGetFrameAreaOffsetCommand(SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverSetEnableCommand(uint8_t value, SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverSetTxCenterFrequencyCommand(
    uint8_t value, SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverGetTxCenterFrequencyCommand(SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverSetTxPowerCommand(uint8_t value, SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverGetTxPowerCommand(SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverSetSpiRegisterCommand(
    uint8_t address, uint8_t value, SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverGetSpiRegisterCommand(uint8_t address, SendByteCallback callback, void* user);
/* Write commands carry no length field: the data runs to the packet's end. */
LINKWELL_API int createZ7DriverWriteToSpiRegisterCommand(
    uint8_t address, const uint8_t* data, uint32_t count, SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverReadFromSpiRegisterCommand(
    uint8_t address, uint32_t value, SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverSetPifRegisterCommand(
    uint8_t address, uint8_t value, SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverGetPifRegisterCommand(uint8_t address, SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverSetXifRegisterCommand(
    uint8_t address, uint8_t value, SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverGetXifRegisterCommand(uint8_t address, SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverSetPrfDivCommand(uint8_t value, SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverGetPrfDivCommand(SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverGetFrameBinCountCommand(SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverWriteToI2cRegisterCommand(
    uint8_t address, const uint8_t* data, uint32_t count, SendByteCallback callback, void* user);
LINKWELL_API int createZ7DriverReadFromI2cRegisterCommand(
    uint32_t value, SendByteCallback callback, void* user);

/* Processing settings (family 0x52: 0x11 set, 0x10 get, the other way round
 * from the application and chip-driver families). */
LINKWELL_API int createSetNormalizationCommand(uint8_t value, SendByteCallback callback, void* user);
LINKWELL_API int createGetNormalizationCommand(SendByteCallback callback, void* user);
LINKWELL_API int createSetPhaseNoiseCorrectionCommand(
    uint8_t a, float b, SendByteCallback callback, void* user);
LINKWELL_API int createGetPhaseNoiseCorrectionCommand(SendByteCallback callback, void* user);
LINKWELL_API int createSetDecimationFactorCommand(uint32_t value, SendByteCallback callback, void* user);
LINKWELL_API int createGetDecimationFactorCommand(SendByteCallback callback, void* user);
LINKWELL_API int createSetNumberFormatCommand(uint8_t value, SendByteCallback callback, void* user);
LINKWELL_API int createGetNumberFormatCommand(SendByteCallback callback, void* user);
LINKWELL_API int createSetLegacyOutputCommand(uint8_t value, SendByteCallback callback, void* user);
LINKWELL_API int createGetLegacyOutputCommand(SendByteCallback callback, void* user);

LINKWELL_EXTERN_C_END

#endif
