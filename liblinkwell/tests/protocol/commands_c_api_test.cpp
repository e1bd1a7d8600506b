// The command builders as a host that only calls plain functions sees them:
// the shared library exports every builder under its bare C name, and a
// builder looked up by name frames like the one linked in.
#include "support/TestSupport.hpp"
#include <linkwell/protocol.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <memory>

using testsupport::Bytes;
using testsupport::collect_byte;
using testsupport::frame;
using testsupport::hex;

namespace {

const char* const builder_functions[] = {
    "createPingCommand",
    "createStartBootloaderCommand",
    "createSetSensorModeCommand",
    "createGetSensorModeCommand",
    "createLoadAppCommand",
    "createLoadProfileCommand",
    "createModuleResetCommand",
    "createSetLedControlCommand",
    "createGetLedControlCommand",
    "createDebugLevelCommand",
    "createSetDetectionZoneCommand",
    "createGetDetectionZoneCommand",
    "createGetDetectionZoneLimitsCommand",
    "createSetApplicationUserZoneCommand",
    "createGetApplicationUserZoneCommand",
    "createSetSensitivityCommand",
    "createGetSensitivityCommand",
    "createSetTxCenterFrequencyCommand",
    "createGetTxCenterFrequencyCommand",
    "createSetParameterFileCommand",
    "createGetParameterFileCommand",
    "createResetToFactoryPreset",
    "createStoreNoiseMapCommand",
    "createLoadNoiseMapCommand",
    "createDeleteNoiseMapCommand",
    "createAppCommand",
    "createSetNoiseMapControlCommand",
    "createGetNoiseMapControlCommand",
    "createSetPeriodicNoiseMapStoreCommand",
    "createGetPeriodicNoiseMapStoreCommand",
    "createSetIOPinControlCommand",
    "createGetIOPinControlCommand",
    "createSetIOPinValueCommand",
    "createGetIOPinValueCommand",
    "createSetOutputControlCommand",
    "createGetOutputControlCommand",
    "createSetDebugOutputControlCommand",
    "createGetDebugOutputControlCommand",
    "createSetIntCommand",
    "createGetIntCommand",
    "createSetFloatCommand",
    "createGetFloatCommand",
    "createSetRegisterCommand",
    "createGetRegisterCommand",
    "createGetFrame",
    "createRunTimingMeasurementCommand",
    "createSystemRunTest",
    "createConfigSetIntCommand",
    "createConfigSetFloatCommand",
    "createSystemGetVersionCommand",
    "createGetSystemInfoCommand",
    "createSystemGetInfoCommand",
    "createSearchForFileTypeCommand",
    "createFindAllFilesCommand",
    "createNewFileCommand",
    "createSetFileDataCommand",
    "createCloseFileCommand",
    "createGetFileLengthCommand",
    "createDeleteFileCommand",
    "createGetFileDataCommand",
    "createAppSetIntCommand",
    "createOpenFileCommand",
    "createFormatFilesystemCommand",
    "createGetProfileIdCommand",
    "createInjectFrameCommand",
    "createPrepareInjectFrameCommand",
    "createSetBaudRate",
    "createSetBaudRateCommand",
    "createBootloaderDeviceInfoCommand",
    "createPageWriteCommand",
    "createApplicationStartCommand",
    "createZ7DriverInitCommand",
    "createZ7DriverSetFpsCommand",
    "createZ7DriverGetFpsCommand",
    "createZ7DriverSetPulsesPerStepCommand",
    "createZ7DriverGetPulsesPerStepCommand",
    "createZ7DriverSetIterationsCommand",
    "createZ7DriverGetIterationsCommand",
    "createZ7DriverSetDownconversionCommand",
    "createZ7DriverGetDownconversionCommand",
    "createZ7DriverSetFrameAreaCommand",
    "createZ7DriverGetFrameAreaCommand",
    "createZ7DriverSetDacMinCommand",
    "createZ7DriverGetDacMinCommand",
    "createZ7DriverSetDacMaxCommand",
    "createZ7DriverGetDacMaxCommand",
    "createZ7DriverSetFrameAreaOffsetCommand",
    "createZ7DriverGetFrameAreaOffsetCommand",
    "createZ7DriverSetEnableCommand",
    "createZ7DriverSetTxCenterFrequencyCommand",
    "createZ7DriverGetTxCenterFrequencyCommand",
    "createZ7DriverSetTxPowerCommand",
    "createZ7DriverGetTxPowerCommand",
    "createZ7DriverSetSpiRegisterCommand",
    "createZ7DriverGetSpiRegisterCommand",
    "createZ7DriverWriteToSpiRegisterCommand",
    "createZ7DriverReadFromSpiRegisterCommand",
    "createZ7DriverSetPifRegisterCommand",
    "createZ7DriverGetPifRegisterCommand",
    "createZ7DriverSetXifRegisterCommand",
    "createZ7DriverGetXifRegisterCommand",
    "createZ7DriverSetPrfDivCommand",
    "createZ7DriverGetPrfDivCommand",
    "createZ7DriverGetFrameBinCountCommand",
    "createZ7DriverWriteToI2cRegisterCommand",
    "createZ7DriverReadFromI2cRegisterCommand",
    "createSetNormalizationCommand",
    "createGetNormalizationCommand",
    "createSetPhaseNoiseCorrectionCommand",
    "createGetPhaseNoiseCorrectionCommand",
    "createSetDecimationFactorCommand",
    "createGetDecimationFactorCommand",
    "createSetNumberFormatCommand",
    "createGetNumberFormatCommand",
    "createSetLegacyOutputCommand",
    "createGetLegacyOutputCommand",
};

struct LibraryCloser {
    void operator()(void* handle) const { dlclose(handle); }
};
using Library = std::unique_ptr<void, LibraryCloser>;

Library open_library()
{
    return Library(dlopen(LINKWELL_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL));
}

} // namespace

TEST(CommandsCApi, SharedLibraryExportsEveryBuilderUnderItsCName)
{
    const Library library = open_library();
    ASSERT_TRUE(library) << dlerror();
    for (const char* name : builder_functions)
        EXPECT_NE(nullptr, dlsym(library.get(), name)) << name;
}

TEST(CommandsCApi, BuilderLoadedByNameFramesTheCommand)
{
    const Library library = open_library();
    ASSERT_TRUE(library) << dlerror();
    auto* set_sensor_mode = reinterpret_cast<decltype(createSetSensorModeCommand)*>(
        dlsym(library.get(), "createSetSensorModeCommand"));
    auto* write_page
        = reinterpret_cast<decltype(createPageWriteCommand)*>(dlsym(library.get(), "createPageWriteCommand"));
    ASSERT_TRUE(set_sensor_mode && write_page);

    Bytes out;
    EXPECT_EQ(0, set_sensor_mode(0x50, 0x33, collect_byte, &out));
    EXPECT_EQ(hex("7d 20 50 33 3e 7e"), out);

    const uint8_t data[] = { 0xAA, 0x7F };
    out.clear();
    EXPECT_EQ(0, write_page(0x0102, data, 2, collect_byte, &out));
    EXPECT_EQ(frame(hex("c0 10 01 02 00 aa 7f")), out);
}
