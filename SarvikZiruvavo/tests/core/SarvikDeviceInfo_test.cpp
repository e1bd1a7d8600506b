#include "core/SarvikDeviceInfo.hpp"

#include <gtest/gtest.h>

#include <functional>

namespace {

TEST(SarvikDeviceInfoTest, FreshRecordIsEmptyAndZero)
{
    const SarvikDeviceInfo info;
    for (const QString& text :
        { info.bootloaderVersion, info.bootloaderModuleId, info.bootloaderTail, info.displayName,
            info.connectionKind, info.firmwareVersion, info.firmwareId, info.itemNumber, info.extraInfo,
            info.orderCode, info.serialNumber, info.buildInfo, info.description, info.portName })
        EXPECT_TRUE(text.isEmpty());
    EXPECT_TRUE(info.metadata.isEmpty());
    EXPECT_EQ(info.baudRate, 0u);
    EXPECT_EQ(info.zoneMin, 0.0);
    EXPECT_EQ(info.zoneMax, 0.0);
    EXPECT_EQ(info.zoneStep, 0.0);
    EXPECT_EQ(info.supportedApps, 0u);
    EXPECT_EQ(info.connectionMode, 0u);
    EXPECT_EQ(info.deviceType, quint32(SarvikDeviceInfo::UnknownDevice));
    EXPECT_EQ(info.txFrequencyBand, 0u);
    EXPECT_EQ(info.firmwareClass, 0u);
    EXPECT_FALSE(info.hasCrashDump || info.identified || info.txFrequencyKnown || info.downconversion
        || info.firmwareAtLeast1_5_10);
}

SarvikDeviceInfo falconOnUsb()
{
    SarvikDeviceInfo info;
    info.bootloaderVersion = QStringLiteral("1.2.0");
    info.bootloaderModuleId = QStringLiteral("FALCON");
    info.bootloaderTail = QStringLiteral("SerialNumber = \"A1\"");
    info.displayName = QStringLiteral("Sarvik Falcon");
    info.connectionKind = QStringLiteral("USB");
    info.firmwareVersion = QStringLiteral("1.6.8");
    info.firmwareId = QStringLiteral("FALCON");
    info.itemNumber = QStringLiteral("000132");
    info.extraInfo = QStringLiteral("(unknown)");
    info.orderCode = QStringLiteral("FALCON");
    info.serialNumber = QStringLiteral("A1");
    info.buildInfo = QStringLiteral("B42");
    info.description = QStringLiteral("USB, /dev/ttyACM0");
    info.portName = QStringLiteral("/dev/ttyACM0");
    info.baudRate = 115200;
    info.zoneMin = 0.4;
    info.zoneMax = 5.0;
    info.zoneStep = 0.1;
    info.supportedApps = 0x20 | 0x40;
    info.connectionMode = SarvikDeviceInfo::NormalMode;
    info.deviceType = SarvikDeviceInfo::FalconDevice;
    info.identified = true;
    info.txFrequencyKnown = true;
    info.txFrequencyBand = 4;
    info.firmwareAtLeast1_5_10 = true;
    info.firmwareClass = 1;
    return info;
}

struct FieldChange {
    const char* field;
    std::function<void(SarvikDeviceInfo&)> change;
    bool sameBootloader;
    bool sameModule; // isSameModule; operator== needs that and the same port and description
    bool equal;
};

// Every field, changed alone: which of the three comparisons still hold.
TEST(SarvikDeviceInfoTest, EachFieldCountsInExactlyItsComparisons)
{
    using I = SarvikDeviceInfo;
    const FieldChange table[] = {
        { "bootloaderVersion", [](I& i) { i.bootloaderVersion += 'x'; }, false, false, false },
        { "bootloaderModuleId", [](I& i) { i.bootloaderModuleId += 'x'; }, false, false, false },
        { "bootloaderTail", [](I& i) { i.bootloaderTail += 'x'; }, false, false, false },
        { "displayName", [](I& i) { i.displayName += QStringLiteral(" (Log file generated)"); }, true, false,
            false },
        { "connectionKind", [](I& i) { i.connectionKind = QStringLiteral("Serial"); }, true, false, false },
        { "firmwareVersion", [](I& i) { i.firmwareVersion = QStringLiteral("1.6.6"); }, true, false, false },
        { "firmwareId", [](I& i) { i.firmwareId += 'x'; }, true, false, false },
        { "itemNumber", [](I& i) { i.itemNumber += 'x'; }, true, false, false },
        { "extraInfo", [](I& i) { i.extraInfo += 'x'; }, true, false, false },
        { "orderCode", [](I& i) { i.orderCode += 'x'; }, true, false, false },
        { "serialNumber", [](I& i) { i.serialNumber += 'x'; }, true, false, false },
        { "buildInfo", [](I& i) { i.buildInfo += 'x'; }, true, false, false },
        { "description", [](I& i) { i.description += QStringLiteral(", 7"); }, true, true, false },
        { "portName", [](I& i) { i.portName = QStringLiteral("/dev/ttyACM1"); }, true, true, false },
        { "baudRate", [](I& i) { i.baudRate = 0; }, true, false, false },
        { "zoneMin", [](I& i) { i.zoneMin = 0.2; }, true, true, true },
        { "zoneMax", [](I& i) { i.zoneMax = 9.0; }, true, true, true },
        { "zoneStep", [](I& i) { i.zoneStep = 0.5; }, true, true, true },
        { "metadata", [](I& i) { i.metadata.insert(QStringLiteral("k"), 1); }, true, false, false },
        { "supportedApps", [](I& i) { i.supportedApps |= 0x1000; }, true, false, false },
        { "connectionMode", [](I& i) { i.connectionMode = I::BootloaderMode; }, true, false, false },
        { "deviceType", [](I& i) { i.deviceType = I::GannetDevice; }, true, false, false },
        { "hasCrashDump", [](I& i) { i.hasCrashDump = true; }, true, false, false },
        { "identified", [](I& i) { i.identified = false; }, true, false, false },
        { "txFrequencyKnown", [](I& i) { i.txFrequencyKnown = false; }, true, true, true },
        { "txFrequencyBand", [](I& i) { i.txFrequencyBand = 3; }, true, true, true },
        { "downconversion", [](I& i) { i.downconversion = true; }, true, true, true },
        { "firmwareAtLeast1_5_10", [](I& i) { i.firmwareAtLeast1_5_10 = false; }, true, true, true },
        { "firmwareClass", [](I& i) { i.firmwareClass = 2; }, true, true, true },
    };
    const SarvikDeviceInfo original = falconOnUsb();
    ASSERT_TRUE(original == falconOnUsb());
    for (const FieldChange& row : table) {
        SarvikDeviceInfo changed = original;
        row.change(changed);
        EXPECT_EQ(sameBootloaderIdentity(original, changed), row.sameBootloader) << row.field;
        EXPECT_EQ(isSameModule(original, changed), row.sameModule) << row.field;
        EXPECT_EQ(original == changed, row.equal) << row.field;
        EXPECT_EQ(original != changed, !row.equal) << row.field;
        // Every comparison is symmetric.
        EXPECT_EQ(isSameModule(changed, original), row.sameModule) << row.field;
        EXPECT_EQ(changed == original, row.equal) << row.field;
    }
}

} // namespace
