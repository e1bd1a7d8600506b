// Plain command builders of the radar chip driver (family 0x50) and of the
// processing settings (family 0x52). Each sends its sub-command, then the
// 32-bit parameter id, then the values. One row per command: name,
// parameters, payload fields in wire order (see protocol_command_writer.hpp).
#include "protocol_command_writer.hpp"

namespace {

using command_fields::ByteSpan;
using command_fields::Head;

// Chip driver: 0x10 set, 0x11 get, as in the application family.
constexpr Head kChipSet { 0x50, 0x10 };
constexpr Head kChipGet { 0x50, 0x11 };
constexpr Head kChipSpiWrite { 0x50, 0x12 };
constexpr Head kChipSpiRead { 0x50, 0x13 };
constexpr Head kChipI2cWrite { 0x50, 0x14 };
constexpr Head kChipI2cRead { 0x50, 0x15 };
constexpr Head kChipInit { 0x50, 0x20 };

// Chip-driver parameter ids (0x15 is not used).
constexpr uint32_t kFpsId = 0x10;
constexpr uint32_t kPulsesPerStepId = 0x11;
constexpr uint32_t kIterationsId = 0x12;
constexpr uint32_t kDownconversionId = 0x13;
constexpr uint32_t kFrameAreaId = 0x14;
constexpr uint32_t kDacMinId = 0x16;
constexpr uint32_t kDacMaxId = 0x17;
constexpr uint32_t kFrameAreaOffsetId = 0x18;
constexpr uint32_t kEnableId = 0x19;
constexpr uint32_t kTxCenterFrequencyId = 0x20;
constexpr uint32_t kTxPowerId = 0x21;
constexpr uint32_t kSpiRegisterId = 0x22;
constexpr uint32_t kPifRegisterId = 0x23;
constexpr uint32_t kXifRegisterId = 0x24;
constexpr uint32_t kPrfDividerId = 0x25;
constexpr uint32_t kFrameBinCountId = 0x26;
constexpr uint32_t kI2cRegisterId = 0x27;

// Processing: 0x11 sets and 0x10 gets, the other way round from the chip
// driver.
constexpr Head kProcessingSet { 0x52, 0x11 };
constexpr Head kProcessingGet { 0x52, 0x10 };

// Processing parameter ids.
constexpr uint32_t kNormalizationId = 0x10;
constexpr uint32_t kPhaseNoiseCorrectionId = 0x11;
constexpr uint32_t kDecimationFactorId = 0x12;
constexpr uint32_t kNumberFormatId = 0x13;
constexpr uint32_t kLegacyOutputId = 0x14;

} // namespace

extern "C" {

// Chip driver (family 0x50).
LINKWELL_FIXED_COMMAND(createZ7DriverInitCommand, kChipInit)
LINKWELL_COMMAND(createZ7DriverSetFpsCommand, (float fps), kChipSet, kFpsId, fps)
LINKWELL_FIXED_COMMAND(createZ7DriverGetFpsCommand, kChipGet, kFpsId)
LINKWELL_COMMAND(createZ7DriverSetPulsesPerStepCommand, (uint32_t value), kChipSet, kPulsesPerStepId, value)
LINKWELL_FIXED_COMMAND(createZ7DriverGetPulsesPerStepCommand, kChipGet, kPulsesPerStepId)
LINKWELL_COMMAND(createZ7DriverSetIterationsCommand, (uint32_t value), kChipSet, kIterationsId, value)
LINKWELL_FIXED_COMMAND(createZ7DriverGetIterationsCommand, kChipGet, kIterationsId)
LINKWELL_COMMAND(createZ7DriverSetDownconversionCommand, (uint8_t value), kChipSet, kDownconversionId, value)
LINKWELL_FIXED_COMMAND(createZ7DriverGetDownconversionCommand, kChipGet, kDownconversionId)
LINKWELL_COMMAND(
    createZ7DriverSetFrameAreaCommand, (float start, float end), kChipSet, kFrameAreaId, start, end)
LINKWELL_FIXED_COMMAND(createZ7DriverGetFrameAreaCommand, kChipGet, kFrameAreaId)
LINKWELL_COMMAND(createZ7DriverSetDacMinCommand, (uint32_t value), kChipSet, kDacMinId, value)
LINKWELL_FIXED_COMMAND(createZ7DriverGetDacMinCommand, kChipGet, kDacMinId)
LINKWELL_COMMAND(createZ7DriverSetDacMaxCommand, (uint32_t value), kChipSet, kDacMaxId, value)
LINKWELL_FIXED_COMMAND(createZ7DriverGetDacMaxCommand, kChipGet, kDacMaxId)
LINKWELL_COMMAND(
    createZ7DriverSetFrameAreaOffsetCommand, (float offset), kChipSet, kFrameAreaOffsetId, offset)
LINKWELL_FIXED_COMMAND(createZ7DriverGetFrameAreaOffsetCommand, kChipGet, kFrameAreaOffsetId)
LINKWELL_COMMAND(createZ7DriverSetEnableCommand, (uint8_t value), kChipSet, kEnableId, value)
LINKWELL_COMMAND(
    createZ7DriverSetTxCenterFrequencyCommand, (uint8_t value), kChipSet, kTxCenterFrequencyId, value)
LINKWELL_FIXED_COMMAND(createZ7DriverGetTxCenterFrequencyCommand, kChipGet, kTxCenterFrequencyId)
LINKWELL_COMMAND(createZ7DriverSetTxPowerCommand, (uint8_t value), kChipSet, kTxPowerId, value)
LINKWELL_FIXED_COMMAND(createZ7DriverGetTxPowerCommand, kChipGet, kTxPowerId)
LINKWELL_COMMAND(createZ7DriverSetSpiRegisterCommand, (uint8_t address, uint8_t value), kChipSet,
    kSpiRegisterId, address, value)
LINKWELL_COMMAND(createZ7DriverGetSpiRegisterCommand, (uint8_t address), kChipGet, kSpiRegisterId, address)
// Write commands carry no length field: the data runs to the packet's end.
LINKWELL_COMMAND(createZ7DriverWriteToSpiRegisterCommand,
    (uint8_t address, const uint8_t* data, uint32_t count), kChipSpiWrite, kSpiRegisterId, address,
    ByteSpan { data, count })
LINKWELL_COMMAND(createZ7DriverReadFromSpiRegisterCommand, (uint8_t address, uint32_t value), kChipSpiRead,
    kSpiRegisterId, address, value)
LINKWELL_COMMAND(createZ7DriverSetPifRegisterCommand, (uint8_t address, uint8_t value), kChipSet,
    kPifRegisterId, address, value)
LINKWELL_COMMAND(createZ7DriverGetPifRegisterCommand, (uint8_t address), kChipGet, kPifRegisterId, address)
LINKWELL_COMMAND(createZ7DriverSetXifRegisterCommand, (uint8_t address, uint8_t value), kChipSet,
    kXifRegisterId, address, value)
LINKWELL_COMMAND(createZ7DriverGetXifRegisterCommand, (uint8_t address), kChipGet, kXifRegisterId, address)
LINKWELL_COMMAND(createZ7DriverSetPrfDivCommand, (uint8_t value), kChipSet, kPrfDividerId, value)
LINKWELL_FIXED_COMMAND(createZ7DriverGetPrfDivCommand, kChipGet, kPrfDividerId)
LINKWELL_FIXED_COMMAND(createZ7DriverGetFrameBinCountCommand, kChipGet, kFrameBinCountId)
LINKWELL_COMMAND(createZ7DriverWriteToI2cRegisterCommand,
    (uint8_t address, const uint8_t* data, uint32_t count), kChipI2cWrite, kI2cRegisterId, address,
    ByteSpan { data, count })
LINKWELL_COMMAND(
    createZ7DriverReadFromI2cRegisterCommand, (uint32_t value), kChipI2cRead, kI2cRegisterId, value)

// Processing settings (family 0x52).
LINKWELL_COMMAND(createSetNormalizationCommand, (uint8_t value), kProcessingSet, kNormalizationId, value)
LINKWELL_FIXED_COMMAND(createGetNormalizationCommand, kProcessingGet, kNormalizationId)
LINKWELL_COMMAND(
    createSetPhaseNoiseCorrectionCommand, (uint8_t a, float b), kProcessingSet, kPhaseNoiseCorrectionId, a, b)
LINKWELL_FIXED_COMMAND(createGetPhaseNoiseCorrectionCommand, kProcessingGet, kPhaseNoiseCorrectionId)
LINKWELL_COMMAND(
    createSetDecimationFactorCommand, (uint32_t value), kProcessingSet, kDecimationFactorId, value)
LINKWELL_FIXED_COMMAND(createGetDecimationFactorCommand, kProcessingGet, kDecimationFactorId)
LINKWELL_COMMAND(createSetNumberFormatCommand, (uint8_t value), kProcessingSet, kNumberFormatId, value)
LINKWELL_FIXED_COMMAND(createGetNumberFormatCommand, kProcessingGet, kNumberFormatId)
LINKWELL_COMMAND(createSetLegacyOutputCommand, (uint8_t value), kProcessingSet, kLegacyOutputId, value)
LINKWELL_FIXED_COMMAND(createGetLegacyOutputCommand, kProcessingGet, kLegacyOutputId)

} // extern "C"
