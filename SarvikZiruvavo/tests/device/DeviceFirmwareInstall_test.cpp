// A Device installing a carried firmware image: the image's resource path by
// firmware class and version, the wait for the device manager's search, the
// texts and signals on the way, and the outcome reported to the manager;
// through the manager against a simulated module that is programmed for real.
#include "core/ApplicationProperties.hpp"
#include "device/Device.hpp"
#include "device/DeviceManager.hpp"
#include "firmware/FirmwareManager.hpp"
#include "support/DeviceHarness.hpp"
#include "support/FirmwareResources.hpp"
#include "support/MessageLog.hpp"
#include "support/ProgrammableModule.hpp"
#include "support/PseudoTerminalPorts.hpp"
#include "support/QtPrinters.hpp"

#include "simmodule/Messages.hpp"
#include "simmodule/Personality.hpp"
#include "simmodule/SimModule.hpp"

#include <QCoreApplication>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <ostream>

using namespace std::chrono_literals;
using FW = FirmwareImage;

namespace {

const QString enteringUpgradeMode = QStringLiteral("-- Module upgrade --\nEntering upgrade mode");
const QString unableToLoad = QStringLiteral("Module upgrade failed!\nUnable to load firmware");

SarvikDevice::UpgradeWaits shortWaits()
{
    SarvikDevice::UpgradeWaits waits;
    waits.beforeBootloader = 0ms;
    waits.betweenSearches = 50ms;
    waits.startApplicationSeconds = 1;
    return waits;
}

QString pleaseWait(const QString& version)
{
    return QStringLiteral("Please wait while firmware version %1 is installed onto your Sarvik Module")
        .arg(version);
}

QStringList texts(const QSignalSpy& spy)
{
    QStringList list;
    for (const QList<QVariant>& arguments : spy)
        list << arguments.first().toString();
    return list;
}

class InstallTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        ApplicationProperties::setSettingsFileName(folder.filePath(QStringLiteral("settings.ini")));
        firmware.loadImageList(QString::fromUtf8(FirmwareResources::shippedImageList()));
        ASSERT_FALSE(firmware.latestVersion(FW::Vallorin).isEmpty());
    }

    void TearDown() override
    {
        manager.reset();
        ApplicationProperties::setSettingsFileName(QString());
    }

    DeviceManager& makeManager(std::chrono::milliseconds searchInterval = 100ms)
    {
        DeviceManager::Options options;
        options.searchInterval = searchInterval;
        options.programDirectory = folder.filePath(QStringLiteral("program"));
        options.appFactory = &apps;
        manager = std::make_unique<DeviceManager>(options);
        return *manager;
    }

    // A Device of the manager (not one of its list) for a module that is not
    // there: whatever the worker is asked, it fails without a module.
    std::unique_ptr<Device> deviceOf(quint32 firmwareClass, QObject* parent)
    {
        SarvikDeviceInfo info;
        info.deviceType = SarvikDeviceInfo::FalconDevice;
        info.connectionMode = SarvikDeviceInfo::NormalMode;
        info.identified = true;
        info.firmwareClass = firmwareClass;
        info.firmwareId = QStringLiteral("FALCON");
        info.portName = folder.filePath(QStringLiteral("no-such-port"));
        auto device = std::make_unique<Device>(info, &firmware, parent, &apps);
        device->setUpgradeTimings(10ms, shortWaits());
        device->setWorkerCallObserver([this](const QByteArray& method, const QVariantList& arguments) {
            if (method == "upgradeFirmware")
                upgradeCalls << arguments;
        });
        return device;
    }

    QTemporaryDir folder;
    FirmwareManager firmware;
    FakeAppFactory apps;
    std::unique_ptr<DeviceManager> manager;
    QList<QVariantList> upgradeCalls;
};

struct PathRow {
    const char* name;
    quint32 firmwareClass;
    const char* version;
    const char* path;
};

void PrintTo(const PathRow& row, std::ostream* os)
{
    *os << row.name;
}

class InstallPathTest : public InstallTest, public ::testing::WithParamInterface<PathRow> { };

// The worker gets the image's resource path and an empty version text; the
// texts and the upgrading state follow the installation; a worker failure
// ends it with the failure text, also on the manager. None of these images
// lies in this test's resources, so the worker fails before it touches the
// module.
TEST_P(InstallPathTest, HandsTheWorkerTheImagePathAndReportsItsFailure)
{
    const PathRow& row = GetParam();
    DeviceManager& devices = makeManager();
    auto device = deviceOf(row.firmwareClass, &devices);
    QSignalSpy upgrading(device.get(), &Device::isDeviceUpgradingChanged);
    QSignalSpy info(device.get(), &Device::deviceUpgradeInfoChanged);
    QSignalSpy appsChanged(device.get(), &Device::deviceAppsChanged);
    QSignalSpy failed(&devices, &DeviceManager::upgradeFailed);
    QSignalSpy complete(&devices, &DeviceManager::upgradeComplete);

    device->installFirmware(QLatin1String(row.version));

    EXPECT_TRUE(device->isDeviceUpgrading());
    EXPECT_EQ(1, appsChanged.count());
    EXPECT_EQ(pleaseWait(QLatin1String(row.version)), device->deviceUpgradeInfo());
    ASSERT_TRUE(waitUntil([&] { return failed.count() == 1; }));
    ASSERT_EQ(1, upgradeCalls.size());
    EXPECT_EQ(QVariantList({ QLatin1String(row.path), QString() }), upgradeCalls.first());
    EXPECT_EQ(QStringList({ pleaseWait(QLatin1String(row.version)), enteringUpgradeMode,
                  QStringLiteral("-- Module upgrade --\nEnter bootloader mode"), unableToLoad }),
        texts(info));
    EXPECT_EQ(QVariantList({ unableToLoad }), failed.first());
    EXPECT_EQ(0, complete.count());
    EXPECT_EQ(QList<QVariant>({ true }), upgrading.takeFirst());
    EXPECT_EQ(QList<QVariant>({ false }), upgrading.takeFirst());
    EXPECT_FALSE(device->isDeviceUpgrading());
    EXPECT_FALSE(device->isDeviceActive());
    EXPECT_EQ(unableToLoad, device->deviceUpgradeInfo());
}

const PathRow pathRows[] = {
    { "Vallorin", FW::Vallorin, "1.5.10", ":/hex/vallorin/1.5.10/Vallorin_4bl_cert.hex" },
    { "VallorinWithItsOwnFileName", FW::Vallorin, "1.6.8",
        ":/hex/vallorin/1.6.8/Vallorin_4bl_cert_lite.hex" },
    { "Dax", FW::DAX, "3.3.0", ":/hex/dax/3.3.0/dax_egret_s70_4bl.hex" },
    // No image of the class or the version: a folder, which the worker
    // refuses as an image.
    { "UnknownClass", FW::UnknownClass, "3.3.0", ":/hex/dax/3.3.0/" },
    { "VersionNotCarried", FW::Vallorin, "9.9.9", ":/hex/vallorin/9.9.9/" },
};

INSTANTIATE_TEST_SUITE_P(Classes, InstallPathTest, ::testing::ValuesIn(pathRows),
    [](const ::testing::TestParamInfo<PathRow>& row) { return std::string(row.param.name); });

TEST_F(InstallTest, UpgradeStepWithoutAnInstallationOnlyWarns)
{
    DeviceManager& devices = makeManager();
    auto device = deviceOf(FW::Vallorin, &devices);
    MessageLog log;

    ASSERT_TRUE(QMetaObject::invokeMethod(device.get(), "doDeviceUpgrade", Qt::DirectConnection));

    EXPECT_EQ(1,
        log.count(
            QStringLiteral("WARNING: Attempting to trigger device upgrade while isUpgrading is false")));
    EXPECT_EQ(QStringLiteral("No upgrade"), device->deviceUpgradeInfo());
    EXPECT_TRUE(upgradeCalls.isEmpty());
}

// Nobody would hear the end of an upgrade of a Device without a manager; and
// a second installation while one runs would reach the module twice.
TEST_F(InstallTest, InstallationIsRefusedWithoutAManagerAndWhileOneRuns)
{
    QObject notAManager;
    auto orphan = deviceOf(FW::Vallorin, &notAManager);
    orphan->installFirmware(QStringLiteral("1.5.10"));
    EXPECT_FALSE(orphan->isDeviceUpgrading());
    EXPECT_EQ(QStringLiteral("No upgrade"), orphan->deviceUpgradeInfo());

    DeviceManager& devices = makeManager();
    auto device = deviceOf(FW::Vallorin, &devices);
    QSignalSpy failed(&devices, &DeviceManager::upgradeFailed);
    device->installFirmware(QStringLiteral("1.5.10"));
    device->installFirmware(QStringLiteral("1.6.8"));
    ASSERT_TRUE(waitUntil([&] { return failed.count() == 1; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(1, upgradeCalls.size());
    EXPECT_TRUE(
        upgradeCalls.isEmpty() || upgradeCalls.first().first().toString().contains(QLatin1String("1.5.10")));
}

// While the manager searches, the upgrade looks again at every interval and
// starts at the first look after the search has ended.
TEST_F(InstallTest, UpgradeWaitsForTheManagersSearch)
{
    PseudoTerminalPorts ports;
    simmodule::SimModule slow(simmodule::Transport::Pty);
    simmodule::apply_personality(slow, simmodule::personality("falcon"), 5.0);
    slow.add_rule_first(
        simmodule::Rule(simmodule::command::ping()).after(900ms).reply(simmodule::pong_reply(0xAAEEAEEA)));
    ports.add(slow);
    // One search only, long enough to be waited for.
    DeviceManager& devices = makeManager(1h);
    auto device = deviceOf(FW::Vallorin, &devices);
    constexpr auto interval = 200ms;
    device->setUpgradeTimings(interval, shortWaits());
    std::chrono::steady_clock::time_point searchEnded;
    QObject::connect(
        &devices, &DeviceManager::devicesChanged, [&] { searchEnded = std::chrono::steady_clock::now(); });
    bool searchingAtStart = true;
    std::chrono::steady_clock::time_point started;
    device->setWorkerCallObserver([&](const QByteArray& method, const QVariantList&) {
        if (method != "upgradeFirmware")
            return;
        searchingAtStart = devices.isSearching();
        started = std::chrono::steady_clock::now();
    });
    QSignalSpy info(device.get(), &Device::deviceUpgradeInfoChanged);
    QSignalSpy failed(&devices, &DeviceManager::upgradeFailed);

    devices.onQmlCompleted();
    ASSERT_TRUE(waitUntil([&] { return devices.isSearching(); }));
    device->installFirmware(QStringLiteral("1.5.10"));
    ASSERT_TRUE(waitUntil([&] { return failed.count() == 1; }));

    EXPECT_FALSE(searchingAtStart);
    EXPECT_GE(started, searchEnded);
    EXPECT_LT(started - searchEnded, interval + 300ms);
    EXPECT_GE(texts(info).count(enteringUpgradeMode), 3) << "looks while the search ran";
}

// ---- Through the device manager, on a module programmed for real ------------------

struct ModuleRow {
    const char* name;
    ProgrammableModule::Script (*script)();
    const char* version;
    const char* imagePath;
};

void PrintTo(const ModuleRow& row, std::ostream* os)
{
    *os << row.name;
}

class InstallOnModuleTest : public InstallTest, public ::testing::WithParamInterface<ModuleRow> { };

// The active module gets the image, the manager hears upgradeComplete, drops
// the Device and lists the module anew, running its new application.
TEST_P(InstallOnModuleTest, ProgramsTheActiveModuleAndTheManagerListsItAnew)
{
    const ModuleRow& row = GetParam();
    const QByteArray data = FirmwareFiles::pages(150);
    QTemporaryDir images;
    const QString hex = FirmwareFiles::writeImage(images.filePath(QStringLiteral("image.hex")), 0, data);
    QFile hexFile(hex);
    ASSERT_TRUE(hexFile.open(QIODevice::ReadOnly));
    const FirmwareResources resources(
        { { QStringLiteral(":/fw-images.xml"), FirmwareResources::shippedImageList() },
            { QLatin1String(row.imagePath), hexFile.readAll() } });
    ASSERT_TRUE(resources.registered());
    ProgrammableModule module(row.script());
    DeviceManager& devices = makeManager();
    devices.onQmlCompleted();
    ASSERT_TRUE(waitUntil([&] { return devices.deviceList().size() == 2; }));
    devices.setDeviceActivatedAt(1, true);
    QPointer<Device> device = devices.deviceList().at(1);
    device->setUpgradeTimings(20ms, shortWaits());
    QSignalSpy complete(&devices, &DeviceManager::upgradeComplete);
    QSignalSpy failed(&devices, &DeviceManager::upgradeFailed);
    QSignalSpy progress(device.data(), &Device::deviceUpgradeProgress);

    device->installFirmware(QLatin1String(row.version));
    ASSERT_TRUE(waitUntil([&] { return complete.count() + failed.count() > 0; }));

    ASSERT_EQ(1, complete.count()) << (failed.isEmpty() ? ""
                                                        : failed.first().first().toString().toStdString());
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_EQ(1.0, progress.last().first().toDouble());
    EXPECT_EQ(1u, module.flash().starts());
    const auto pages = module.flash().pages();
    EXPECT_EQ(size_t(150 - 127), pages.size());
    for (const auto& [number, bytes] : pages)
        EXPECT_EQ(FirmwareFiles::page(data, number),
            QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size())))
            << "page " << number;
    ASSERT_TRUE(waitUntil([&] { return device.isNull(); })) << "the manager drops the upgraded Device";
    ASSERT_TRUE(module.waitFor(ProgrammableModule::Mode::Application));
    EXPECT_TRUE(waitUntil([&] {
        for (const Device* listed : devices.deviceList())
            if (listed->moduleInfo().connectionMode == SarvikDeviceInfo::NormalMode
                && listed->moduleInfo().portName.toStdString() == module.module().pty_path())
                return true;
        return false;
    })) << "the module is listed anew, in its application";
}

// The manager goes (and its Devices with it) while the upgrade runs: the
// upgrade ends on the worker, nothing touches the deleted objects, and the
// module is programmed.
TEST_F(InstallTest, ManagerDeletedWhileTheUpgradeRunsLetsItFinish)
{
    const QByteArray data = FirmwareFiles::pages(140);
    QTemporaryDir images;
    QFile hexFile(FirmwareFiles::writeImage(images.filePath(QStringLiteral("image.hex")), 0, data));
    ASSERT_TRUE(hexFile.open(QIODevice::ReadOnly));
    const FirmwareResources resources(
        { { QStringLiteral(":/fw-images.xml"), FirmwareResources::shippedImageList() },
            { QStringLiteral(":/hex/dax/3.3.0/dax_egret_s70_4bl.hex"), hexFile.readAll() } });
    ASSERT_TRUE(resources.registered());
    ProgrammableModule module(ProgrammableModule::embeddedPlatform());
    DeviceManager& devices = makeManager();
    devices.onQmlCompleted();
    ASSERT_TRUE(waitUntil([&] { return devices.deviceList().size() == 2; }));
    devices.setDeviceActivatedAt(1, true);
    QPointer<Device> device = devices.deviceList().at(1);
    device->setUpgradeTimings(20ms, shortWaits());
    QStringList seen;
    QObject::connect(device.data(), &Device::deviceUpgradeInfoChanged, [&](const QString& info) {
        seen << info;
        if (info.endsWith(QLatin1String("Enter bootloader mode")))
            QTimer::singleShot(0, [&] { manager.reset(); });
    });

    device->installFirmware(QStringLiteral("3.3.0"));
    ASSERT_TRUE(waitUntil([&] { return !manager; }));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    EXPECT_TRUE(device.isNull());
    EXPECT_EQ(1u, module.flash().starts()) << seen.join(QStringLiteral(" | ")).toStdString();
    EXPECT_EQ(size_t(140 - 127), module.flash().pages().size());
}

ProgrammableModule::Script falconInBootloader()
{
    ProgrammableModule::Script script = ProgrammableModule::falcon();
    script.starts_in = ProgrammableModule::Mode::Bootloader;
    return script;
}

const ModuleRow moduleRows[] = {
    { "EmbeddedPlatformFromItsApplication", [] { return ProgrammableModule::embeddedPlatform(); }, "3.3.0",
        ":/hex/dax/3.3.0/dax_egret_s70_4bl.hex" },
    { "FalconInItsBootloader", falconInBootloader, "1.5.10", ":/hex/vallorin/1.5.10/Vallorin_4bl_cert.hex" },
};

INSTANTIATE_TEST_SUITE_P(Modules, InstallOnModuleTest, ::testing::ValuesIn(moduleRows),
    [](const ::testing::TestParamInfo<ModuleRow>& row) { return std::string(row.param.name); });

} // namespace
