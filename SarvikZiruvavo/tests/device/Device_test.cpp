// The Device as QML and the applications see it, without module traffic: its
// properties from the module record, activation (the applications of the
// supported-applications mask, in their order), the active application, the
// calls it relays to its worker, and its end.
#include "device/Device.hpp"

#include "core/ApplicationProperties.hpp"
#include "firmware/FirmwareManager.hpp"
#include "support/DeviceHarness.hpp"
#include "support/MessageLog.hpp"
#include "support/QtPrinters.hpp"

#include <linkwell/RecordingOptions.hpp>

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <ostream>

namespace {

// A module the Device never needs to reach: the worker opens nothing unless
// asked to configure or fetch a crash dump.
SarvikDeviceInfo record(quint32 deviceType, quint32 supportedApps = 0)
{
    SarvikDeviceInfo info;
    info.displayName = QStringLiteral("Sarvik OSPREY");
    info.connectionKind = QStringLiteral("USB");
    info.firmwareVersion = QStringLiteral("1.6.2");
    info.firmwareId = QStringLiteral("OSPREY");
    info.description = QStringLiteral("USB, /dev/null-module");
    info.portName = QStringLiteral("/dev/null-module");
    info.extraInfo = QStringLiteral("(unknown)");
    info.bootloaderModuleId = QStringLiteral("Falcon");
    info.bootloaderTail = QStringLiteral("SIMF0000001");
    info.supportedApps = supportedApps;
    info.connectionMode = SarvikDeviceInfo::NormalMode;
    info.deviceType = deviceType;
    info.identified = true;
    return info;
}

// Records, in order, the names of the Device's signals about its
// applications and activation.
class ActivationSignals {
public:
    explicit ActivationSignals(Device& device)
    {
        QObject::connect(
            &device, &Device::deviceAppsChanged, &m_context, [this] { names << "deviceAppsChanged"; });
        QObject::connect(&device, &Device::activeDeviceAppChanged, &m_context, [this](DeviceApp* app) {
            names << (app ? QStringLiteral("activeDeviceAppChanged(%1)").arg(app->appName())
                          : QStringLiteral("activeDeviceAppChanged(null)"));
        });
        QObject::connect(&device, &Device::isDeviceActiveChanged, &m_context,
            [this](bool active) { names << QStringLiteral("isDeviceActiveChanged(%1)").arg(active); });
        QObject::connect(&device, &Device::basebandEnabledChanged, &m_context,
            [this](bool enabled) { names << QStringLiteral("basebandEnabledChanged(%1)").arg(enabled); });
    }
    QStringList names;

private:
    // Ends the connections with the recorder.
    QObject m_context;
};

struct PropertyRow {
    const char* name;
    quint32 deviceType;
    quint32 connectionMode;
    quint32 supportedApps;
    bool frequencyKnown;
    bool firmwareAtLeast1_5_10;
    bool isZ7;
    bool isDax;
    bool safeMode;
    bool playback;
    bool bootloader;
    bool vitalSigns;
    bool normalizedMovementList;
    bool storedNoiseMap;
    bool defaultNoiseMap;
    const char* moduleId;
    const char* extraInfo;
};

void PrintTo(const PropertyRow& row, std::ostream* os)
{
    *os << row.name;
}

class DevicePropertyTest : public ::testing::TestWithParam<PropertyRow> { };

TEST_P(DevicePropertyTest, ReadsItsPropertiesFromTheModuleRecord)
{
    const PropertyRow& row = GetParam();
    SarvikDeviceInfo info = record(row.deviceType, row.supportedApps);
    info.connectionMode = row.connectionMode;
    info.txFrequencyKnown = row.frequencyKnown;
    info.firmwareAtLeast1_5_10 = row.firmwareAtLeast1_5_10;
    Device device(info, nullptr);
    EXPECT_EQ(row.isZ7, device.isZ7Device());
    EXPECT_EQ(row.isDax, device.isDaxDevice());
    EXPECT_EQ(row.safeMode, device.inSafeMode());
    EXPECT_EQ(row.playback, device.isPlaybackDevice());
    EXPECT_EQ(row.bootloader, device.inBootloaderMode());
    EXPECT_EQ(row.frequencyKnown, device.supportsFrequencyBandSetting());
    EXPECT_EQ(row.vitalSigns, device.supportsVitalSignsData());
    EXPECT_EQ(row.normalizedMovementList, device.supportsNormalizedMovementList());
    EXPECT_EQ(row.storedNoiseMap, device.supportsStoredNoiseMap());
    EXPECT_EQ(row.defaultNoiseMap, device.supportsDefaultNoiseMap());
    EXPECT_EQ(QString::fromLatin1(row.moduleId), device.moduleId());
    EXPECT_EQ(QString::fromLatin1(row.extraInfo), device.extraInfo());
    // What QML reads by name is what the getters give.
    EXPECT_EQ(row.isZ7, device.property("isZ7Device").toBool());
    EXPECT_EQ(row.storedNoiseMap, device.property("supportsStoredNoiseMap").toBool());
}

INSTANTIATE_TEST_SUITE_P(Records, DevicePropertyTest,
    ::testing::Values(PropertyRow { "CorvidModule", SarvikDeviceInfo::CorvidDevice,
                          SarvikDeviceInfo::NormalMode, 0x2, false, false, false, false, false, false, false,
                          false, false, false, false, "OSPREY", "(unknown)" },
        PropertyRow { "FalconWithFirmware1_6", SarvikDeviceInfo::FalconDevice, SarvikDeviceInfo::NormalMode,
            0x3E60, true, true, true, false, false, false, false, true, true, true, true, "OSPREY",
            "(unknown)" },
        PropertyRow { "FalconInItsBootloader", SarvikDeviceInfo::FalconDevice,
            SarvikDeviceInfo::BootloaderMode, 0, false, false, true, false, false, false, true, false, false,
            false, false, "Falcon", "SIMF0000001" },
        PropertyRow { "SafeMode", SarvikDeviceInfo::UnknownDevice, SarvikDeviceInfo::SafeMode, 0, false,
            false, false, false, true, false, false, false, false, false, false, "OSPREY", "(unknown)" },
        PropertyRow { "EmbeddedPlatform", SarvikDeviceInfo::DaxDevice, SarvikDeviceInfo::NormalMode, 0x100,
            false, false, true, true, false, false, false, false, false, false, false, "OSPREY",
            "(unknown)" },
        // Without a recording the playback entry supports no data type.
        PropertyRow { "PlaybackEntry", SarvikDeviceInfo::PlaybackDevice, SarvikDeviceInfo::NormalMode, 0x1,
            false, true, true, false, false, true, false, false, false, false, false, "OSPREY",
            "(unknown)" }),
    [](const ::testing::TestParamInfo<PropertyRow>& row) { return std::string(row.param.name); });

TEST(DeviceTest, TextsAndPlaybackValuesBeforeAnyRecording)
{
    FirmwareManager firmware;
    firmware.addImage(new FirmwareImage(QStringLiteral("1.6.8"), QStringLiteral("notes"),
        FirmwareImage::Vallorin, QStringLiteral("Vallorin_4bl_cert.hex")));
    SarvikDeviceInfo info = record(SarvikDeviceInfo::OspreyDevice);
    info.firmwareClass = FirmwareImage::Vallorin;
    Device device(info, &firmware);
    EXPECT_EQ(QStringLiteral("Sarvik OSPREY"), device.deviceName());
    EXPECT_EQ(QStringLiteral("1.6.2"), device.deviceFWVersion());
    EXPECT_EQ(QStringLiteral("USB, /dev/null-module"), device.deviceInfo());
    EXPECT_EQ(QStringLiteral("USB"), device.deviceType());
    EXPECT_EQ(QStringLiteral("No upgrade"), device.deviceUpgradeInfo());
    EXPECT_EQ(QStringLiteral("1.6.8"), device.latestFWVersion());
    EXPECT_EQ(FirmwareImage::Vallorin, device.firmwareClass());
    EXPECT_EQ(FirmwareImage::DeviceIsBehind, device.firmwareState());
    EXPECT_EQ(Device::LinearBasebandScale, device.basebandScale());
    EXPECT_FALSE(device.isDeviceActive());
    EXPECT_EQ(nullptr, device.activeDeviceApp());

    EXPECT_EQ(-1, device.playbackDuration());
    EXPECT_EQ(-1, device.playbackPosition());
    EXPECT_EQ(Device::StoppedState, device.playbackState());
    EXPECT_EQ(1.0f, device.playbackRate());
    EXPECT_FALSE(device.playbackLoopModeEnabled());
    EXPECT_EQ(QString(), device.playbackParams());
    EXPECT_EQ(QString(), device.playbackMetaString());
    EXPECT_EQ(0u, device.playbackDataTypes());
    EXPECT_EQ(0x30u, Device::debugRecordingDataTypes());
    // The player's controls do nothing without a player.
    QSignalSpy position(&device, &Device::playbackPositionChanged);
    device.setPlaybackPosition(10);
    device.setPlaybackRate(2.0f);
    EXPECT_EQ(0, position.count());
    EXPECT_EQ(1.0f, device.playbackRate());
}

TEST(DeviceDeathTest, ParameterlessConstructorStopsTheProgram)
{
    EXPECT_DEATH(Device(), "do not use this constructor, it purely exists due to QML requirements");
}

TEST(DeviceTest, SwitchesSignalOnlyChanges)
{
    Device device(record(SarvikDeviceInfo::OspreyDevice), nullptr);
    QSignalSpy scale(&device, &Device::basebandScaleChanged);
    QSignalSpy baseband(&device, &Device::basebandEnabledChanged);
    QSignalSpy pulseDoppler(&device, &Device::pulseDopplerEnabledChanged);
    device.setBasebandScale(Device::LinearBasebandScale);
    device.setBasebandEnabled(false);
    device.setPulseDopplerEnabled(false);
    EXPECT_EQ(0, scale.count() + baseband.count() + pulseDoppler.count());
    device.setBasebandScale(Device::LogarithmicBasebandScale);
    device.setBasebandEnabled(true);
    device.setBasebandEnabled(true);
    device.setPulseDopplerEnabled(true);
    EXPECT_EQ(1, scale.count());
    ASSERT_EQ(1, baseband.count());
    EXPECT_TRUE(baseband.at(0).at(0).toBool());
    ASSERT_EQ(1, pulseDoppler.count());
    EXPECT_EQ(
        Device::LogarithmicBasebandScale, device.property("basebandScale").value<Device::BasebandScale>());
}

struct ActivationRow {
    const char* name;
    quint32 supportedApps;
    QList<quint32> applications;
};

void PrintTo(const ActivationRow& row, std::ostream* os)
{
    *os << row.name;
}

class DeviceActivationTest : public ::testing::TestWithParam<ActivationRow> { };

TEST_P(DeviceActivationTest, MakesTheApplicationsOfTheMaskInTheirOrder)
{
    const ActivationRow& row = GetParam();
    FakeAppFactory factory;
    Device device(record(SarvikDeviceInfo::FalconDevice, row.supportedApps), nullptr, nullptr, &factory);
    ActivationSignals order(device);
    ApplicationProperties::setConsoleLogEnabled(false);

    device.setActive(true);
    EXPECT_EQ(row.applications, factory.asked());
    QList<quint32> made;
    QStringList initialized;
    for (FakeDeviceApp* app : FakeAppFactory::applicationsOf(device)) {
        made.append(app->applicationBit());
        initialized << app->appName().mid(5) + QStringLiteral(" initialize");
        EXPECT_EQ(&device, app->parent());
    }
    EXPECT_EQ(row.applications, made);
    EXPECT_EQ(initialized, factory.calls());
    EXPECT_EQ((QStringList { "deviceAppsChanged", "isDeviceActiveChanged(1)" }), order.names);
    EXPECT_TRUE(ApplicationProperties::consoleLogEnabled());

    // Activating an active Device makes and deletes nothing, and says nothing.
    order.names.clear();
    device.setActive(true);
    EXPECT_EQ(row.applications, factory.asked());
    EXPECT_TRUE(order.names.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Masks, DeviceActivationTest,
    ::testing::Values(ActivationRow { "PresenceAndBaseband", 0x90, { 0x10, 0x80 } },
        ActivationRow {
            "EveryApplication", 0x7FE, { 0x2, 0x8, 0x10, 0x20, 0x40, 0x80, 0x100, 0x200, 0x400 } },
        ActivationRow { "FalconWithFirmware1_6", 0x3E60, { 0x20, 0x40, 0x200, 0x400 } },
        // The playback entry before a recording, and a profile that no
        // application plays: no applications.
        ActivationRow { "PlaybackEntry", 0x1, {} }, ActivationRow { "FeatureBitsOnly", 0x7800, {} }),
    [](const ::testing::TestParamInfo<ActivationRow>& row) { return std::string(row.param.name); });

TEST(DeviceTest, DeactivationDeletesTheApplicationsAndClosesTheConnection)
{
    FakeAppFactory factory;
    Device device(record(SarvikDeviceInfo::FalconDevice, 0x60), nullptr, nullptr, &factory);
    WorkerCallLog calls(device);
    device.setActive(true);
    QList<QPointer<DeviceApp>> applications;
    for (FakeDeviceApp* app : FakeAppFactory::applicationsOf(device))
        applications.append(app);
    device.setDeviceAppActivatedAt(1, true);
    ActivationSignals order(device);
    calls.clear();

    device.setActive(false);
    EXPECT_EQ(
        (QStringList { "deviceAppsChanged", "activeDeviceAppChanged(null)", "isDeviceActiveChanged(0)" }),
        order.names);
    EXPECT_EQ(QList<QByteArray> { "close" }, calls.methods());
    for (const QPointer<DeviceApp>& app : applications)
        EXPECT_TRUE(app.isNull());
    EXPECT_EQ(nullptr, device.activeDeviceApp());
    EXPECT_FALSE(ApplicationProperties::consoleLogEnabled());
    EXPECT_TRUE(FakeAppFactory::applicationsOf(device).isEmpty());

    order.names.clear();
    device.setActive(false);
    EXPECT_TRUE(order.names.isEmpty());
}

TEST(DeviceTest, ChoosesTheActiveApplication)
{
    FakeAppFactory factory;
    Device device(record(SarvikDeviceInfo::FalconDevice, 0x60), nullptr, nullptr, &factory);
    device.setActive(true);
    factory.clear();
    ActivationSignals order(device);

    // Out of range: nothing happens.
    device.setDeviceAppActivatedAt(-1, true);
    device.setDeviceAppActivatedAt(2, true);
    EXPECT_TRUE(order.names.isEmpty());
    EXPECT_TRUE(factory.calls().isEmpty());

    device.setDeviceAppActivatedAt(0, true);
    EXPECT_EQ(QStringList { "0x20 connectToDevice" }, factory.calls());
    EXPECT_EQ(QStringList { "activeDeviceAppChanged(fake 0x20)" }, order.names);

    // Another application: the first disconnected, baseband off, the second
    // connected, one change.
    device.setBasebandEnabled(true);
    factory.clear();
    order.names.clear();
    device.setDeviceAppActivatedAt(1, true);
    EXPECT_EQ((QStringList { "0x20 disconnectFromDevice", "0x40 connectToDevice" }), factory.calls());
    EXPECT_EQ(
        (QStringList { "basebandEnabledChanged(0)", "activeDeviceAppChanged(fake 0x40)" }), order.names);
    EXPECT_FALSE(device.basebandEnabled());

    // Not activating only disconnects: the application stays the active one.
    factory.clear();
    order.names.clear();
    device.setDeviceAppActivatedAt(0, false);
    EXPECT_EQ(QStringList { "0x40 disconnectFromDevice" }, factory.calls());
    EXPECT_EQ(QStringList { "activeDeviceAppChanged(fake 0x40)" }, order.names);
    EXPECT_EQ(QStringLiteral("fake 0x40"), device.activeDeviceApp()->appName());
}

struct ReconnectRow {
    DeviceApp::InitializationResult result;
    bool reconnected;
};

TEST(DeviceTest, TryReconnectHasTheActiveApplicationConfigureAgain)
{
    for (const ReconnectRow& row : { ReconnectRow { DeviceApp::InitializationFailed, false },
             ReconnectRow { DeviceApp::InitializationSucceeded, true },
             ReconnectRow { DeviceApp::InitializationIntentionalReset, true } }) {
        FakeAppFactory factory;
        Device device(record(SarvikDeviceInfo::OspreyDevice, 0x10), nullptr, nullptr, &factory);
        WorkerCallLog calls(device);
        EXPECT_FALSE(device.tryReconnect()) << "without an active application";
        device.setActive(true);
        device.setDeviceAppActivatedAt(0, true);
        FakeAppFactory::applicationsOf(device).at(0)->executeResult = row.result;
        factory.clear();
        calls.clear();
        EXPECT_EQ(row.reconnected, device.tryReconnect()) << row.result;
        EXPECT_EQ(QList<QByteArray> { "close" }, calls.methods());
        EXPECT_EQ(QStringList { "0x10 execute(true)" }, factory.calls());
    }
}

// Recording calls travel to the worker by name with the registered type
// names; the worker, having no connection, only says so.
TEST(DeviceTest, RelaysRecordingCallsToTheWorker)
{
    MessageLog log;
    Device device(record(SarvikDeviceInfo::OspreyDevice), nullptr);
    WorkerCallLog calls(device);
    Sarvik::RecordingOptions options;
    options.set_session_id("session-7");
    EXPECT_TRUE(device.startRecording(0x3000, QStringLiteral("/tmp/recordings"), options));
    EXPECT_TRUE(device.setBasenameForDataType(Sarvik::PresenceSingleDataType, QStringLiteral("presence")));
    device.stopRecording(0x3000);
    device.setupRecordingErrorCallback();
    device.clearRecordingErrorCallback();

    const QList<WorkerCall> recording = calls.recordingCalls();
    ASSERT_EQ(3, recording.size());
    EXPECT_EQ("startRecording", recording.at(0).method);
    EXPECT_EQ(QVariant(0x3000u), recording.at(0).arguments.at(0));
    EXPECT_EQ(QVariant(QStringLiteral("/tmp/recordings")), recording.at(0).arguments.at(1));
    EXPECT_EQ(
        "session-7", recording.at(0).arguments.at(2).value<Sarvik::RecordingOptions>().get_session_id());
    EXPECT_EQ("setBasenameForDataType", recording.at(1).method);
    EXPECT_EQ(Sarvik::PresenceSingleDataType, recording.at(1).arguments.at(0).value<Sarvik::DataType>());
    EXPECT_EQ("stopRecording", recording.at(2).method);
    EXPECT_EQ(QVariant(0x3000u), recording.at(2).arguments.at(0));
    // A blocking call returns once the queued calls before it have run.
    EXPECT_FALSE(device.loadNoiseMap());
    EXPECT_EQ(1, log.count(QStringLiteral("WARNING: cannot start recording with null ptr linkwell")));
    EXPECT_FALSE(device.isConnected());
}

// The older and unidentified modules keep no noise map: the Device does not
// even ask the worker.
TEST(DeviceTest, NoiseMapRequestsNeedAModuleThatKeepsOne)
{
    for (const quint32 type : { SarvikDeviceInfo::UnknownDevice, SarvikDeviceInfo::CorvidDevice }) {
        Device device(record(type), nullptr);
        WorkerCallLog calls(device);
        EXPECT_FALSE(device.loadNoiseMap());
        EXPECT_FALSE(device.storeNoiseMap());
        EXPECT_FALSE(device.deleteNoiseMap());
        EXPECT_TRUE(calls.calls().isEmpty()) << type;
    }
    // A closed module's worker answers false.
    Device device(record(SarvikDeviceInfo::OspreyDevice), nullptr);
    WorkerCallLog calls(device);
    EXPECT_FALSE(device.loadNoiseMap());
    EXPECT_EQ(QList<QByteArray> { "loadNoiseMap" }, calls.methods());
}

TEST(DeviceTest, UpgradeStatusTextsComeFromTheWorker)
{
    Device device(record(SarvikDeviceInfo::OspreyDevice), nullptr);
    QSignalSpy info(&device, &Device::deviceUpgradeInfoChanged);
    QMetaObject::invokeMethod(
        &device, "onFirmwareUpgradeStatus", Q_ARG(QString, QStringLiteral("Writing page 3")));
    EXPECT_EQ(QStringLiteral("Writing page 3"), device.deviceUpgradeInfo());
    ASSERT_EQ(1, info.count());
    QSignalSpy upgrading(&device, &Device::isDeviceUpgradingChanged);
    QMetaObject::invokeMethod(&device, "setDeviceUpgrading", Q_ARG(bool, true));
    QMetaObject::invokeMethod(&device, "setDeviceUpgrading", Q_ARG(bool, true));
    EXPECT_EQ(1, upgrading.count());
    EXPECT_TRUE(device.isDeviceUpgrading());
}

} // namespace
