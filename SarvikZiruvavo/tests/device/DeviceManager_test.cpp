// The device manager over simulated modules on pseudo-terminals, listed
// through the test's own port list: the device list and when it changes,
// activation, recovery of the active module, the end of an upgrade, the
// firmware images of the active module, the sleep-analysis plug-in, the
// version check and the shut-down with a search under way.
#include "device/DeviceManager.hpp"

#include "apps/SleepAnalysisInterface.hpp"
#include "core/ApplicationProperties.hpp"
#include "core/OnlineUpgrade.hpp"
#include "device/Device.hpp"
#include "firmware/FirmwareManager.hpp"
#include "support/DeviceHarness.hpp"
#include "support/FakeSleepAnalysis.hpp"
#include "support/LocalHttpServer.hpp"
#include "support/MessageLog.hpp"
#include "support/PseudoTerminalPorts.hpp"
#include "support/QtPrinters.hpp"

#include "simmodule/Personality.hpp"
#include "simmodule/SimModule.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QNetworkProxy>
#include <QPointer>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>

using namespace std::chrono_literals;
using simmodule::personality;
using simmodule::SimModule;

namespace {

// The test's port list, counting the searches: each search asks for the
// ports once, as it begins.
class CountingPorts : public PseudoTerminalPorts {
public:
    QList<SerialPortEntry> availablePorts() const override
    {
        ++m_asked;
        return PseudoTerminalPorts::availablePorts();
    }
    int searches() const { return m_asked; }

private:
    mutable std::atomic<int> m_asked { 0 };
};

// A module that answers nothing: every search spends its attempts on it.
std::unique_ptr<SimModule> silent()
{
    auto module = simulatedModule(personality("falcon"));
    module->clear_rules();
    return module;
}

QString pathOf(const SimModule& module)
{
    return QString::fromStdString(module.pty_path());
}

class DeviceManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        // No address of a version document: the check makes no request.
        ApplicationProperties::setSettingsFileName(folder.filePath(QStringLiteral("settings.ini")));
    }

    void TearDown() override
    {
        manager.reset();
        ApplicationProperties::setSettingsFileName(QString());
    }

    DeviceManager& make(std::chrono::milliseconds searchInterval = 100ms,
        std::chrono::milliseconds recoveryWindow = 15000ms, const QString& programDirectory = QString())
    {
        DeviceManager::Options options;
        options.searchInterval = searchInterval;
        options.recoveryWindow = recoveryWindow;
        options.programDirectory
            = programDirectory.isEmpty() ? folder.filePath(QStringLiteral("program")) : programDirectory;
        options.appFactory = &apps;
        manager = std::make_unique<DeviceManager>(options);
        return *manager;
    }

    // Waits until `count` more searches have begun and the last one's list
    // has been taken.
    bool searchesEnded(int count)
    {
        const int target = ports.searches() + count;
        return waitUntil([&] { return ports.searches() >= target && !manager->isSearching(); });
    }

    // Waits until no search runs (one may be under way at the call).
    bool idle()
    {
        return waitUntil([&] { return !manager->isSearching(); });
    }

    QList<Device*> devices() const { return manager->deviceList(); }

    QStringList portsListed() const
    {
        QStringList names;
        for (const Device* device : manager->deviceList())
            names.append(device->moduleInfo().portName);
        return names;
    }

    SimModule& attach(std::unique_ptr<SimModule> module)
    {
        ports.add(*module);
        modules.push_back(std::move(module));
        return *modules.back();
    }

    QTemporaryDir folder;
    CountingPorts ports;
    FakeAppFactory apps;
    std::vector<std::unique_ptr<SimModule>> modules;
    std::unique_ptr<DeviceManager> manager;
};

// ---- The device list --------------------------------------------------------------

TEST_F(DeviceManagerTest, NothingRunsBeforeTheInterfaceIsUpAndThenTheListLeadsWithPlayback)
{
    DeviceManager& m = make(50ms);
    QSignalSpy changed(&m, &DeviceManager::devicesChanged);
    QTest::qWait(300);
    EXPECT_EQ(0, ports.searches());
    EXPECT_TRUE(devices().isEmpty());
    EXPECT_EQ(nullptr, m.activeDevice());
    EXPECT_EQ(QStringLiteral("About:\nSW Version: 2.7.3"), m.swInfo());
    EXPECT_NE(nullptr, m.onlineUpgrade());

    m.onQmlCompleted();
    ASSERT_TRUE(searchesEnded(1));
    EXPECT_EQ(1, changed.count());
    ASSERT_EQ(1, devices().size());
    const SarvikDeviceInfo& playback = devices().at(0)->moduleInfo();
    EXPECT_EQ(QStringLiteral("Sarvik Playback"), playback.displayName);
    EXPECT_EQ(QStringLiteral("from recording"), playback.portName);
    EXPECT_EQ(QStringLiteral("Playback"), playback.connectionKind);
    EXPECT_EQ(QStringLiteral("Playback, from recording"), playback.description);
    for (const QString* text : { &playback.firmwareVersion, &playback.firmwareId, &playback.itemNumber,
             &playback.extraInfo, &playback.orderCode, &playback.serialNumber, &playback.buildInfo })
        EXPECT_EQ(QStringLiteral("playback"), *text);
    EXPECT_EQ(0x1u, playback.supportedApps);
    EXPECT_EQ(1u, playback.connectionMode);
    EXPECT_EQ(6u, playback.deviceType);
    EXPECT_TRUE(playback.identified);
    EXPECT_TRUE(devices().at(0)->isPlaybackDevice());
    EXPECT_EQ(&m, devices().at(0)->parent());
}

TEST_F(DeviceManagerTest, AnEqualSearchKeepsTheDevicesAndSaysNothing)
{
    const SimModule& osprey = attach(simulatedModule(personality("osprey")));
    DeviceManager& m = make();
    QSignalSpy changed(&m, &DeviceManager::devicesChanged);
    m.onQmlCompleted();
    ASSERT_TRUE(searchesEnded(1));
    ASSERT_EQ((QStringList { QStringLiteral("from recording"), pathOf(osprey) }), portsListed());
    const QList<Device*> first = devices();

    ASSERT_TRUE(searchesEnded(3));
    EXPECT_EQ(1, changed.count());
    EXPECT_EQ(first, devices());
}

TEST_F(DeviceManagerTest, AModuleThatComesAndGoesChangesTheList)
{
    DeviceManager& m = make();
    QSignalSpy changed(&m, &DeviceManager::devicesChanged);
    m.onQmlCompleted();
    ASSERT_TRUE(searchesEnded(1));
    const QPointer<Device> playback = devices().value(0);

    const SimModule& gannet = attach(simulatedModule(personality("gannet")));
    ASSERT_TRUE(waitUntil([&] { return changed.count() == 2; }));
    EXPECT_EQ((QStringList { QStringLiteral("from recording"), pathOf(gannet) }), portsListed());
    EXPECT_EQ(QStringLiteral("GANNET"), devices().value(1)->orderCode());
    // The list is made anew, playback entry and all; the old Devices go.
    EXPECT_TRUE(playback.isNull());
    const QPointer<Device> module = devices().value(1);

    ASSERT_TRUE(ports.remove(pathOf(gannet)));
    ASSERT_TRUE(waitUntil([&] { return changed.count() == 3; }));
    EXPECT_EQ(QStringList { QStringLiteral("from recording") }, portsListed());
    EXPECT_TRUE(module.isNull());
}

TEST_F(DeviceManagerTest, OneSearchAtATime)
{
    SimModule& quiet = attach(silent());
    DeviceManager& m = make(10ms);
    m.onQmlCompleted();
    ASSERT_TRUE(waitUntil([&] { return ports.searches() == 1; }));
    // The silent module keeps the search busy for its three attempts while
    // the timer ticks many times.
    QTest::qWait(300);
    ASSERT_TRUE(m.isSearching()) << "the search ended too soon to show anything";
    EXPECT_EQ(1, ports.searches());
    quiet.stop();
}

// ---- Activation ----------------------------------------------------------------------

TEST_F(DeviceManagerTest, ActivationStopsTheSearchAndDeactivationStartsIt)
{
    attach(simulatedModule(personality("osprey")));
    DeviceManager& m = make(50ms);
    m.onQmlCompleted();
    ASSERT_TRUE(searchesEnded(1));
    QSignalSpy active(&m, &DeviceManager::activeDeviceChanged);
    Device* playback = devices().at(0);
    Device* osprey = devices().at(1);

    m.setDeviceActivatedAt(1, true);
    ASSERT_EQ(1, active.count());
    EXPECT_EQ(osprey, active.at(0).at(0).value<QObject*>());
    EXPECT_EQ(osprey, m.activeDevice());
    EXPECT_TRUE(osprey->isDeviceActive());
    ASSERT_TRUE(idle());
    const int searches = ports.searches();
    QTest::qWait(400);
    EXPECT_EQ(searches, ports.searches());

    // Another device: the first is deactivated before it.
    m.setDeviceActivatedAt(0, true);
    EXPECT_FALSE(osprey->isDeviceActive());
    EXPECT_TRUE(playback->isDeviceActive());
    EXPECT_EQ(playback, m.activeDevice());

    // Indexes outside the list change nothing.
    for (int index : { -1, 2, 99 }) {
        m.setDeviceActivatedAt(index, false);
        m.setDeviceActivatedAt(index, true);
    }
    EXPECT_EQ(2, active.count());
    EXPECT_EQ(playback, m.activeDevice());

    m.setDeviceActivatedAt(0, false);
    ASSERT_EQ(3, active.count());
    EXPECT_EQ(nullptr, active.at(2).at(0).value<QObject*>());
    EXPECT_FALSE(playback->isDeviceActive());
    EXPECT_TRUE(searchesEnded(2));

    m.setDeviceActivatedAt(1, true);
    ASSERT_TRUE(idle());
    m.clearActiveDevice();
    EXPECT_EQ(nullptr, m.activeDevice());
    EXPECT_FALSE(osprey->isDeviceActive());
    EXPECT_TRUE(searchesEnded(2));
}

TEST_F(DeviceManagerTest, AListThatArrivesWhileADeviceIsActiveIsDropped)
{
    const SimModule& osprey = attach(simulatedModule(personality("osprey")));
    DeviceManager& m = make(300ms);
    QSignalSpy changed(&m, &DeviceManager::devicesChanged);
    m.onQmlCompleted();
    ASSERT_TRUE(searchesEnded(1));
    ASSERT_EQ(2, devices().size());
    const QPointer<Device> device = devices().at(1);

    // The next search no longer finds the module; it is chosen while that
    // search still waits for a silent one.
    SimModule& quiet = attach(silent());
    ASSERT_TRUE(ports.remove(pathOf(osprey)));
    const int searches = ports.searches();
    ASSERT_TRUE(waitUntil([&] { return ports.searches() > searches; }));
    ASSERT_TRUE(m.isSearching());
    MessageLog log;
    m.setDeviceActivatedAt(1, true);
    quiet.stop();
    ASSERT_TRUE(idle());

    EXPECT_EQ(1, log.count(QStringLiteral("ignoring new device list: device already selected")));
    EXPECT_EQ(1, changed.count());
    ASSERT_FALSE(device.isNull());
    EXPECT_EQ(device.data(), m.activeDevice());
    EXPECT_EQ(2, devices().size());
}

// ---- Recovery --------------------------------------------------------------------------

TEST_F(DeviceManagerTest, RecoveryFindsTheSameModuleOnAnotherPort)
{
    auto first = simulatedModule(personality("osprey"));
    ports.add(*first);
    DeviceManager& m = make();
    QSignalSpy changed(&m, &DeviceManager::devicesChanged);
    m.onQmlCompleted();
    ASSERT_TRUE(searchesEnded(1));
    m.setDeviceActivatedAt(1, true);
    const QPointer<Device> device = devices().at(1);
    QSignalSpy active(&m, &DeviceManager::activeDeviceChanged);
    QSignalSpy recovered(&m, &DeviceManager::activeDeviceRecovered);

    // The module vanishes and comes back on another port; another module
    // appears meanwhile.
    ports.remove(pathOf(*first));
    first->stop();
    m.recoverActiveDevice();
    EXPECT_TRUE(m.isRecovering());
    attach(simulatedModule(personality("gannet")));
    const SimModule& again = attach(simulatedModule(personality("osprey")));

    ASSERT_TRUE(recovered.wait(20000));
    ASSERT_EQ(1, recovered.count());
    EXPECT_TRUE(recovered.at(0).at(0).toBool());
    ASSERT_EQ(1, active.count());
    EXPECT_EQ(device.data(), active.at(0).at(0).value<QObject*>());
    EXPECT_EQ(device.data(), m.activeDevice());
    EXPECT_FALSE(m.isRecovering());
    EXPECT_EQ(1, changed.count());
    EXPECT_EQ(2, devices().size());

    // Its worker reaches the module on its new port.
    EXPECT_TRUE(device->configure(presenceConfiguration(1.0f, 3.0f))) << device->errorString().toStdString();
    EXPECT_GT(again.received_count(), 0u);

    // No more searching while it is in use, and once it is given up the
    // list follows the ports again.
    ASSERT_TRUE(idle());
    const int searches = ports.searches();
    QTest::qWait(400);
    EXPECT_EQ(searches, ports.searches());
    m.clearActiveDevice();
    ASSERT_TRUE(waitUntil([&] { return changed.count() == 2; }));
    EXPECT_EQ(3, devices().size());
    EXPECT_TRUE(portsListed().contains(pathOf(again)));
}

TEST_F(DeviceManagerTest, RecoveryGivesUpAfterItsWindow)
{
    const SimModule& osprey = attach(simulatedModule(personality("osprey")));
    DeviceManager& m = make(100ms, 700ms);
    QSignalSpy changed(&m, &DeviceManager::devicesChanged);
    m.onQmlCompleted();
    ASSERT_TRUE(searchesEnded(1));
    m.setDeviceActivatedAt(1, true);
    const QPointer<Device> device = devices().at(1);
    QSignalSpy active(&m, &DeviceManager::activeDeviceChanged);
    QSignalSpy recovered(&m, &DeviceManager::activeDeviceRecovered);

    ports.remove(pathOf(osprey));
    const auto began = std::chrono::steady_clock::now();
    m.recoverActiveDevice();
    ASSERT_TRUE(recovered.wait(20000));
    EXPECT_GE(std::chrono::steady_clock::now() - began, 650ms);
    EXPECT_FALSE(recovered.at(0).at(0).toBool());
    EXPECT_FALSE(m.isRecovering());
    EXPECT_EQ(nullptr, m.activeDevice());
    ASSERT_EQ(1, active.count());
    EXPECT_EQ(nullptr, active.at(0).at(0).value<QObject*>());
    EXPECT_EQ(2, changed.count());
    EXPECT_EQ(QStringList { QStringLiteral("from recording") }, portsListed());
    runDeferredDeletes();
    EXPECT_TRUE(device.isNull());

    // The list is made anew by the next search, though it holds the same.
    ASSERT_TRUE(waitUntil([&] { return changed.count() == 3; }));
    EXPECT_EQ(QStringList { QStringLiteral("from recording") }, portsListed());
}

TEST_F(DeviceManagerTest, GivingUpTheDeviceEndsItsRecovery)
{
    const struct {
        const char* how;
        std::function<void(DeviceManager&)> giveUp;
        bool playbackActive; // afterwards
    } table[] = {
        { "another device chosen", [](DeviceManager& m) { m.setDeviceActivatedAt(0, true); }, true },
        { "deactivated", [](DeviceManager& m) { m.setDeviceActivatedAt(1, false); }, false },
        { "cleared", [](DeviceManager& m) { m.clearActiveDevice(); }, false },
    };
    const SimModule& osprey = attach(simulatedModule(personality("osprey")));
    for (const auto& row : table) {
        SCOPED_TRACE(row.how);
        DeviceManager& m = make(100ms, 500ms);
        m.onQmlCompleted();
        ASSERT_TRUE(searchesEnded(1));
        m.setDeviceActivatedAt(1, true);
        const QPointer<Device> module = devices().at(1);
        const QPointer<Device> playback = devices().at(0);
        QSignalSpy recovered(&m, &DeviceManager::activeDeviceRecovered);
        ports.remove(pathOf(osprey));
        m.recoverActiveDevice();

        row.giveUp(m);
        EXPECT_FALSE(m.isRecovering());
        ASSERT_EQ(1, recovered.count());
        EXPECT_FALSE(recovered.at(0).at(0).toBool());
        // Past the window: nothing more is reported or removed.
        QTest::qWait(800);
        EXPECT_EQ(1, recovered.count());
        if (row.playbackActive) {
            ASSERT_FALSE(playback.isNull());
            EXPECT_EQ(playback.data(), m.activeDevice());
            EXPECT_TRUE(playback->isDeviceActive());
            EXPECT_TRUE(devices().contains(playback.data()));
        } else {
            // Browsing again: the list follows the ports.
            EXPECT_EQ(nullptr, m.activeDevice());
            EXPECT_TRUE(searchesEnded(1));
            EXPECT_EQ(QStringList { QStringLiteral("from recording") }, portsListed());
        }
        ports.add(osprey);
    }
}

// ---- Upgrades -------------------------------------------------------------------------------

TEST_F(DeviceManagerTest, AnEndedUpgradeDropsTheDeviceAndTheNextSearchListsTheModuleAnew)
{
    const struct {
        const char* how;
        std::function<void(DeviceManager&)> end;
    } table[] = {
        { "completed", [](DeviceManager& m) { emit m.upgradeComplete(); } },
        { "failed", [](DeviceManager& m) { emit m.upgradeFailed(QStringLiteral("no answer")); } },
    };
    const SimModule& osprey = attach(simulatedModule(personality("osprey")));
    for (const auto& row : table) {
        SCOPED_TRACE(row.how);
        DeviceManager& m = make();
        QSignalSpy changed(&m, &DeviceManager::devicesChanged);
        m.onQmlCompleted();
        ASSERT_TRUE(searchesEnded(1));
        m.setDeviceActivatedAt(1, true);
        const QPointer<Device> upgraded = devices().at(1);
        const QPointer<Device> playback = devices().at(0);
        QSignalSpy active(&m, &DeviceManager::activeDeviceChanged);

        row.end(m);
        EXPECT_EQ(nullptr, m.activeDevice());
        EXPECT_EQ(1, active.count());
        EXPECT_EQ(2, changed.count());
        EXPECT_EQ(QStringList { QStringLiteral("from recording") }, portsListed());
        ASSERT_FALSE(upgraded.isNull()) << "deleted at once, not later";
        runDeferredDeletes();
        EXPECT_TRUE(upgraded.isNull());

        ASSERT_TRUE(waitUntil([&] { return changed.count() == 3; }));
        EXPECT_EQ((QStringList { QStringLiteral("from recording"), pathOf(osprey) }), portsListed());
        EXPECT_TRUE(playback.isNull());
    }
}

// ---- Firmware images ------------------------------------------------------------------------

TEST_F(DeviceManagerTest, FirmwareImagesAreThoseOfTheActiveDevicesClass)
{
    attach(simulatedModule(personality("osprey")));
    DeviceManager& m = make();
    m.onQmlCompleted();
    ASSERT_TRUE(searchesEnded(1));
    const auto images = [&m] {
        QQmlListProperty<FirmwareImage> list = m.firmwareImages();
        QList<FirmwareImage*> items;
        for (int i = 0; i < list.count(&list); ++i)
            items.append(list.at(&list, i));
        return items;
    };
    EXPECT_TRUE(images().isEmpty());

    m.setDeviceActivatedAt(1, true);
    ASSERT_EQ(FirmwareImage::Vallorin, devices().at(1)->firmwareClass());
    const QList<FirmwareImage*> vallorin = m.firmwareManager()->imagesOfClass(FirmwareImage::Vallorin);
    ASSERT_EQ(4, vallorin.size()) << "the program's image list";
    EXPECT_EQ(vallorin, images());
    EXPECT_EQ(QStringLiteral("1.6.8"), images().value(0)->property("version").toString());

    m.setDeviceActivatedAt(0, true);
    EXPECT_TRUE(images().isEmpty());
    m.clearActiveDevice();
    EXPECT_TRUE(images().isEmpty());
}

// ---- Sleep-analysis plug-in -------------------------------------------------------------------

TEST_F(DeviceManagerTest, LoadsTheSleepAnalysisPluginOnceFromThePluginsFolder)
{
    using FakeSleepAnalysis::install;
    const struct {
        const char* what;
        const char* programDirectory; // below the row's folder
        const char* pluginFolder; // below the row's folder; null: none
        bool withPlugin;
        bool loaded;
    } table[] = {
        { "no plugins folder", "bin", nullptr, false, false },
        { "only libraries that are not the plug-in", "bin", "bin/plugins", false, false },
        { "the plug-in among others", "bin", "bin/plugins", true, true },
        { "beside a release folder", "bin/release", "bin/plugins", true, true },
        { "not below a release folder", "bin/release", "bin/release/plugins", true, false },
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.what);
        QTemporaryDir root;
        ASSERT_TRUE(QDir(root.path()).mkpath(QString::fromUtf8(row.programDirectory)));
        if (row.pluginFolder) {
            const QString plugins = root.filePath(QString::fromUtf8(row.pluginFolder));
            ASSERT_FALSE(
                install(FakeSleepAnalysis::notAPluginPath(), plugins, QStringLiteral("a.so")).isEmpty());
            ASSERT_FALSE(
                install(FakeSleepAnalysis::otherInterfacePluginPath(), plugins, QStringLiteral("b.so"))
                    .isEmpty());
            QFile text(plugins + QStringLiteral("/c.txt"));
            ASSERT_TRUE(text.open(QIODevice::WriteOnly));
            if (row.withPlugin) {
                ASSERT_FALSE(
                    install(FakeSleepAnalysis::pluginPath(), plugins, QStringLiteral("d.so")).isEmpty());
            }
        }
        DeviceManager& m = make(100ms, 15000ms, root.filePath(QString::fromUtf8(row.programDirectory)));
        QSignalSpy plugin(&m, &DeviceManager::hasSleepAnalysisPluginChanged);
        m.onQmlCompleted();
        QTest::qWait(100);
        m.onQmlCompleted();
        QTest::qWait(100);
        EXPECT_EQ(row.loaded, m.hasSleepAnalysisPlugin());
        EXPECT_EQ(row.loaded ? 1 : 0, plugin.count());
        EXPECT_EQ(row.loaded, m.sleepAnalysisPlugin() != nullptr);
        if (row.loaded) {
            EXPECT_EQ(QStringLiteral("fake-sleep-analysis 1.0"), m.sleepAnalysisPlugin()->version());
            EXPECT_TRUE(FakeSleepAnalysis::wasLoaded(FakeSleepAnalysis::pluginPath()));
        }
        // An application of one of the manager's Devices shows its version.
        ASSERT_TRUE(searchesEnded(1));
        // (The Device owns it.)
        const auto* app = new FakeDeviceApp(devices().at(0), 0x10, std::make_shared<QStringList>());
        EXPECT_EQ(
            row.loaded, app->swInfo().endsWith(QStringLiteral("\nSAL Version: fake-sleep-analysis 1.0\n")))
            << app->swInfo().toStdString();
        EXPECT_EQ(row.loaded, app->swInfo().contains(QStringLiteral("SAL Version")));
        EXPECT_FALSE(FakeSleepAnalysis::wasLoaded(FakeSleepAnalysis::notAPluginPath()));
        EXPECT_FALSE(FakeSleepAnalysis::wasLoaded(FakeSleepAnalysis::otherInterfacePluginPath()));
        manager.reset();
    }
}

// ---- Version check ----------------------------------------------------------------------------

TEST_F(DeviceManagerTest, StartsTheVersionCheckOnceAndRelaysItsAnswer)
{
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    LocalHttpServer server;
    ASSERT_TRUE(server.isListening());
    server.setReply(200,
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<Versions Format=\"856CDEE0-AC65-401F-896A-E454CA63703A\">"
        "<Application Name=\"SarvikZiruvavo\"><LatestVersion Stage=\"Beta\" Version=\"2.8.0-1\"/>"
        "<Instance Stage=\"Beta\" Version=\"2.8.0-1\" Description=\"Better\" WebpageUrl=\"https://w\"/>"
        "</Application></Versions>\n");

    {
        SCOPED_TRACE("no address");
        DeviceManager& m = make();
        QSignalSpy available(&m, &DeviceManager::newVersionAvailable);
        m.onQmlCompleted();
        QTest::qWait(300);
        EXPECT_TRUE(server.requests().isEmpty());
        EXPECT_EQ(0, available.count());
    }
    {
        SCOPED_TRACE("an address");
        QSettings(ApplicationProperties::settingsFileName(), QSettings::IniFormat)
            .setValue(OnlineUpgrade::addressKey, server.url().toString());
        DeviceManager& m = make();
        QSignalSpy available(&m, &DeviceManager::newVersionAvailable);
        m.onQmlCompleted();
        m.onQmlCompleted();
        ASSERT_TRUE(available.wait(20000));
        QTest::qWait(200);
        EXPECT_EQ(1, available.count());
        EXPECT_EQ(1, server.requests().size());
        EXPECT_EQ(QStringLiteral("2.8.0-1"), m.onlineUpgrade()->newVersion());
        EXPECT_EQ(QStringLiteral("Better"), m.onlineUpgrade()->newDescription());
    }
}

// ---- Shut-down ----------------------------------------------------------------------------------

TEST_F(DeviceManagerTest, DestructionWaitsForARunningSearchAndDeletesEveryDevice)
{
    const SimModule& osprey = attach(simulatedModule(personality("osprey")));
    DeviceManager& m = make(50ms);
    m.onQmlCompleted();
    ASSERT_TRUE(searchesEnded(1));
    QList<QPointer<Device>> made;
    for (Device* device : devices())
        made.append(device);
    ASSERT_EQ(2, made.size());
    // The active device holds its module's port, and a recovery searches
    // meanwhile.
    m.setDeviceActivatedAt(1, true);
    ASSERT_TRUE(made.at(1)->configure(presenceConfiguration(1.0f, 3.0f)))
        << made.at(1)->errorString().toStdString();
    EXPECT_FALSE(PseudoTerminalPorts::isFree(pathOf(osprey)));
    const SimModule& quiet = attach(silent());
    const int searches = ports.searches();
    m.recoverActiveDevice();
    ASSERT_TRUE(waitUntil([&] { return ports.searches() > searches; }));
    ASSERT_TRUE(m.isSearching());

    manager.reset();
    // The search has ended: it probes the silent module no more.
    const size_t probes = quiet.received_count();
    EXPECT_GT(probes, 0u);
    QTest::qWait(1500);
    EXPECT_EQ(probes, quiet.received_count()) << "the search went on after the manager";
    EXPECT_TRUE(PseudoTerminalPorts::isFree(pathOf(quiet)));
    EXPECT_TRUE(PseudoTerminalPorts::isFree(pathOf(osprey)))
        << "the active device's connection is still open";
    for (const QPointer<Device>& device : made)
        EXPECT_TRUE(device.isNull());
}

TEST_F(DeviceManagerTest, ADeviceDroppedAfterAnUpgradeGoesWithTheManager)
{
    const SimModule& osprey = attach(simulatedModule(personality("osprey")));
    DeviceManager& m = make();
    m.onQmlCompleted();
    ASSERT_TRUE(searchesEnded(1));
    m.setDeviceActivatedAt(1, true);
    const QPointer<Device> upgraded = devices().at(1);
    ASSERT_TRUE(upgraded->configure(presenceConfiguration(1.0f, 3.0f)))
        << upgraded->errorString().toStdString();

    emit m.upgradeComplete();
    ASSERT_FALSE(upgraded.isNull());
    manager.reset();
    EXPECT_TRUE(upgraded.isNull());
    EXPECT_TRUE(PseudoTerminalPorts::isFree(pathOf(osprey)));
}

} // namespace
