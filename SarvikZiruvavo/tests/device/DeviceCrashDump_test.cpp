// A module that holds a crash dump, activated through its Device: the dump is
// fetched into the log folder and deleted on the module only once it is safe
// on disk.
#include "device/Device.hpp"

#include "core/ApplicationProperties.hpp"
#include "device/ConnectionFactory.hpp"
#include "support/DeviceHarness.hpp"
#include "support/MessageLog.hpp"
#include "support/QtPrinters.hpp"

#include "simmodule/FileSystem.hpp"
#include "simmodule/Personality.hpp"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QByteArray dumpBytes("\x01\x02simulated crash dump\x00\xff", 24);

class DeviceCrashDumpTest : public ::testing::Test {
protected:
    DeviceCrashDumpTest()
    {
        simmodule::Personality dax = simmodule::personality("dax");
        files = dax.files;
        files.store(
            simmodule::file_type::crash_dump, 0, simmodule::Bytes(dumpBytes.begin(), dumpBytes.end()));
        module = std::make_unique<DeviceOverModule>(
            dax, SarvikDeviceInfo::DaxDevice, 0x100, &factory, 10, [](SarvikDeviceInfo& info) {
                info.displayName = QStringLiteral("Sarvik Embedded Platform (DAX)") + crashDumpMarker;
                info.hasCrashDump = true;
            });
    }
    ~DeviceCrashDumpTest() override { ApplicationProperties::setDefaultLogPath(QString()); }

    QTemporaryDir logFolder;
    simmodule::FileSystem files;
    FakeAppFactory factory;
    std::unique_ptr<DeviceOverModule> module;
};

TEST_F(DeviceCrashDumpTest, ActivationStoresTheDumpThenDeletesItOnTheModule)
{
    ApplicationProperties::setDefaultLogPath(logFolder.path());
    Device& device = *module->device();
    QSignalSpy crashDump(&device, &Device::hasCrashDumpChanged);
    QSignalSpy name(&device, &Device::deviceNameChanged);
    device.setActive(true);

    const QStringList stored = QDir(logFolder.path()).entryList(QDir::Files);
    ASSERT_EQ(1, stored.size());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^sarvik_crash_dump_\\d{8}_\\d{6}\\.dat$"))
                    .match(stored.at(0))
                    .hasMatch())
        << stored.at(0).toStdString();
    QFile file(logFolder.filePath(stored.at(0)));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(dumpBytes, file.readAll());

    EXPECT_FALSE(files.contains(simmodule::file_type::crash_dump, 0));
    EXPECT_FALSE(device.hasCrashDump());
    EXPECT_EQ(QStringLiteral("Sarvik Embedded Platform (DAX)"), device.deviceName());
    EXPECT_EQ(1, crashDump.count());
    EXPECT_EQ(1, name.count());
    EXPECT_EQ(
        (QList<QByteArray> { "storeCrashDumpToDisk", "deleteCrashDumpOnModule" }), module->calls().methods());
    EXPECT_EQ(QList<quint32> { 0x100 }, factory.asked());
}

// The dump that could not be stored stays on the module for the next try.
TEST_F(DeviceCrashDumpTest, DumpThatCouldNotBeStoredStaysOnTheModule)
{
    ApplicationProperties::setDefaultLogPath(logFolder.filePath(QStringLiteral("missing/folder")));
    Device& device = *module->device();
    MessageLog log;
    device.setActive(true);

    EXPECT_TRUE(files.contains(simmodule::file_type::crash_dump, 0));
    EXPECT_TRUE(device.hasCrashDump());
    EXPECT_TRUE(device.deviceName().endsWith(crashDumpMarker));
    EXPECT_EQ(QList<QByteArray> { "storeCrashDumpToDisk" }, module->calls().methods());
    EXPECT_TRUE(device.errorString().startsWith(QStringLiteral("failed to open file:")));
    EXPECT_EQ(1, log.count(QStringLiteral("WARNING: the module keeps its crash dump")));
    // The applications come all the same.
    EXPECT_EQ(QList<quint32> { 0x100 }, factory.asked());
}

} // namespace
