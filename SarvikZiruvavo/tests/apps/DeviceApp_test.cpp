// The base every sensor application shares, on a Device over a simulated
// module: its defaults, the split size of recordings, the baseband output
// pair, the recording flag and its errors, the "About" text, the text log
// header, and the guarded configure that every execute goes through.
#include "apps/DeviceApp.hpp"

#include "apps/SleepAnalysisInterface.hpp"
#include "core/ApplicationProperties.hpp"
#include "device/DeviceManager.hpp"
#include "support/AppHarness.hpp"
#include "support/FakeSleepAnalysis.hpp"
#include "support/MessageLog.hpp"
#include "support/QtPrinters.hpp"

#include "simmodule/Personality.hpp"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <climits>

namespace {

// An application as the concrete ones are: a name, and an execute that
// configures the module through the base's guarded configure.
class PlainApp : public DeviceApp {
public:
    explicit PlainApp(Device* device)
        : DeviceApp(device)
    { }

    QString appName() const override { return QStringLiteral("Plain"); }

    InitializationResult execute(bool) override
    {
        SarvikDeviceConfiguration config;
        config.profileKind = SarvikDeviceConfiguration::PresenceKind;
        config.zoneStart = 1.0f;
        config.zoneEnd = 3.0f;
        config.sensitivity = 5;
        config.ledMode = 2;
        const ConfigureOutcome outcome = configureDevice(config);
        lastOutcome = outcome;
        if (outcome == ConfigureOutcome::Gone)
            return InitializationFailed;
        return resultOf(outcome == ConfigureOutcome::Succeeded, device()->errorString());
    }

    using DeviceApp::ConfigureOutcome;
    using DeviceApp::recordingOptions;
    using DeviceApp::textLogHeader;
    using DeviceApp::textLogHeaderLines;

    ConfigureOutcome lastOutcome = ConfigureOutcome::Refused;
};

class DeviceAppTest : public ::testing::Test {
protected:
    DeviceAppTest()
        : osprey(simmodule::personality("osprey"), SarvikDeviceInfo::OspreyDevice, 0x10)
    { }

    PlainApp& app() { return *osprey.app; }

    AppOverModule<PlainApp> osprey;
};

void runDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(DeviceAppTest, NewApplicationHasTheDefaults)
{
    DeviceApp& a = app();
    EXPECT_EQ(0.0, a.detectionZoneStart());
    EXPECT_EQ(0.0, a.detectionZoneEnd());
    EXPECT_EQ(5u, a.sensitivity());
    EXPECT_EQ(2u, a.ledControl());
    EXPECT_EQ(15u, a.logSplitSize());
    EXPECT_EQ(int(DeviceApp::Minutes), a.logSplitUnit());
    EXPECT_FALSE(a.basebandOutputEnabled());
    EXPECT_FALSE(a.basebandAmplitudePhaseOutputEnabled());
    EXPECT_FALSE(a.extendedBreathingTelegramEnabled());
    EXPECT_FALSE(a.recordingEnabled());
    EXPECT_EQ(0u, a.frameCounter());
    EXPECT_EQ(QString(), a.logDescription());
    EXPECT_EQ(QString(), a.recordingPath());
    EXPECT_EQ(&osprey.device(), a.device());
    EXPECT_EQ(&osprey.device(), a.parent());
    // The QML face reads the same through the properties.
    EXPECT_EQ(QStringLiteral("Plain"), a.property("appName").toString());
    EXPECT_EQ(QStringLiteral("Plain"), a.property("descriptiveName").toString());
    EXPECT_EQ(5u, a.property("sensitivity").toUInt());
}

TEST_F(DeviceAppTest, FrequencyBandComesFromTheModule)
{
    const struct {
        quint32 txFrequencyBand;
        DeviceApp::FrequencyBand band;
    } table[] = {
        { 4, DeviceApp::HighFrequencyBand },
        { 3, DeviceApp::LowFrequencyBand },
        { 0, DeviceApp::LowFrequencyBand },
        { 5, DeviceApp::LowFrequencyBand },
    };
    for (const auto& row : table) {
        AppOverModule<PlainApp> module(simmodule::personality("osprey"), SarvikDeviceInfo::OspreyDevice, 0x10,
            10, [&](SarvikDeviceInfo& info) { info.txFrequencyBand = row.txFrequencyBand; });
        EXPECT_EQ(row.band, module.app->frequencyBand()) << row.txFrequencyBand;
    }
}

TEST_F(DeviceAppTest, SplitSizeFollowsTheUnitInSixtyFourBits)
{
    const struct {
        uint size;
        int unit;
        int type;
        long long value; // seconds or bytes
    } table[] = {
        { 15, DeviceApp::Minutes, Sarvik::PreferredSplitSize::DurationSplit, 900 },
        { 15, DeviceApp::KiloByte, Sarvik::PreferredSplitSize::ByteCountSplit, 15000 },
        { 15, DeviceApp::MegaByte, Sarvik::PreferredSplitSize::ByteCountSplit, 15000000 },
        // Beyond 32 bits: never a wrapped count.
        { 5000, DeviceApp::MegaByte, Sarvik::PreferredSplitSize::ByteCountSplit, 5000000000LL },
        { 4294967295u, DeviceApp::KiloByte, Sarvik::PreferredSplitSize::ByteCountSplit, 4294967295000LL },
        // A duration the library cannot take is its longest.
        { 4294967295u, DeviceApp::Minutes, Sarvik::PreferredSplitSize::DurationSplit, INT_MAX },
    };
    for (const auto& row : table) {
        app().setLogSplitSize(row.size);
        app().setLogSplitUnit(row.unit);
        const Sarvik::PreferredSplitSize size = app().preferredLogSize();
        ASSERT_EQ(row.type, size.get_type()) << row.size << " unit " << row.unit;
        if (row.type == Sarvik::PreferredSplitSize::DurationSplit)
            EXPECT_EQ(row.value, size.get_duration()) << row.size << " unit " << row.unit;
        else
            EXPECT_EQ(row.value, size.get_byte_count()) << row.size << " unit " << row.unit;
    }
}

TEST_F(DeviceAppTest, RecordingOptionsRaiseASmallByteSplit)
{
    const struct {
        uint size;
        int unit;
        int type;
        long long value; // seconds or bytes
    } table[] = {
        { 5, DeviceApp::KiloByte, Sarvik::PreferredSplitSize::ByteCountSplit, 10000 },
        { 9, DeviceApp::KiloByte, Sarvik::PreferredSplitSize::ByteCountSplit, 10000 },
        { 10, DeviceApp::KiloByte, Sarvik::PreferredSplitSize::ByteCountSplit, 10000 },
        { 15, DeviceApp::KiloByte, Sarvik::PreferredSplitSize::ByteCountSplit, 15000 },
        { 1, DeviceApp::MegaByte, Sarvik::PreferredSplitSize::ByteCountSplit, 1000000 },
        { 1, DeviceApp::Minutes, Sarvik::PreferredSplitSize::DurationSplit, 60 },
        // A split of nothing is no split, not the smallest one.
        { 0, DeviceApp::MegaByte, Sarvik::PreferredSplitSize::NoSplit, 0 },
    };
    for (const auto& row : table) {
        app().setLogSplitSize(row.size);
        app().setLogSplitUnit(row.unit);
        const Sarvik::RecordingOptions first = app().recordingOptions();
        const Sarvik::PreferredSplitSize split = first.get_file_split_size();
        ASSERT_EQ(row.type, split.get_type()) << row.size << " unit " << row.unit;
        const long long value = row.type == Sarvik::PreferredSplitSize::DurationSplit ? split.get_duration()
            : row.type == Sarvik::PreferredSplitSize::ByteCountSplit                  ? split.get_byte_count()
                                                                                      : 0;
        EXPECT_EQ(row.value, value) << row.size << " unit " << row.unit;
        // Each recording is a session of its own.
        EXPECT_NE(first.get_session_id(), app().recordingOptions().get_session_id());
    }
}

TEST_F(DeviceAppTest, InvalidSplitUnitIsWarnedAboutAndChangesNothing)
{
    QSignalSpy changed(&app(), &DeviceApp::logSplitUnitChanged);
    app().setLogSplitUnit(DeviceApp::KiloByte);
    EXPECT_EQ(1, changed.count());
    // The current unit again: nothing.
    app().setLogSplitUnit(DeviceApp::KiloByte);
    EXPECT_EQ(1, changed.count());

    for (const int unit : { 3, -1, 100 }) {
        MessageLog log;
        app().setLogSplitUnit(unit);
        EXPECT_EQ(int(DeviceApp::KiloByte), app().logSplitUnit());
        EXPECT_EQ(QStringList { QStringLiteral("void DeviceApp::setLogSplitUnit(int) WARNING: Invalid log "
                                               "split unit: %1")
                                    .arg(unit) },
            log.warnings());
    }
    EXPECT_EQ(1, changed.count());
    // Through QML's property write the same.
    app().setProperty("logSplitUnit", 7);
    EXPECT_EQ(int(DeviceApp::KiloByte), app().logSplitUnit());
}

TEST_F(DeviceAppTest, SwitchingOneBasebandOutputOnSwitchesTheOtherOffFirst)
{
    SignalOrder order(&app(),
        { QStringLiteral("basebandOutputEnabledChanged"),
            QStringLiteral("basebandAmplitudePhaseOutputEnabledChanged") });
    app().setBasebandOutputEnabled(true);
    EXPECT_EQ(QStringList { QStringLiteral("basebandOutputEnabledChanged") }, order.fired());

    order.clear();
    app().setBasebandAmplitudePhaseOutputEnabled(true);
    EXPECT_TRUE(app().basebandAmplitudePhaseOutputEnabled());
    EXPECT_FALSE(app().basebandOutputEnabled());
    EXPECT_EQ((QStringList { QStringLiteral("basebandOutputEnabledChanged"),
                  QStringLiteral("basebandAmplitudePhaseOutputEnabledChanged") }),
        order.fired());

    order.clear();
    app().setProperty("basebandOutputEnabled", true);
    EXPECT_TRUE(app().basebandOutputEnabled());
    EXPECT_FALSE(app().basebandAmplitudePhaseOutputEnabled());
    EXPECT_EQ((QStringList { QStringLiteral("basebandAmplitudePhaseOutputEnabledChanged"),
                  QStringLiteral("basebandOutputEnabledChanged") }),
        order.fired());

    // Unchanged, or switched off: only its own signal, if any.
    order.clear();
    app().setBasebandOutputEnabled(true);
    app().setBasebandOutputEnabled(false);
    EXPECT_EQ(QStringList { QStringLiteral("basebandOutputEnabledChanged") }, order.fired());
    EXPECT_FALSE(app().basebandAmplitudePhaseOutputEnabled());
}

TEST_F(DeviceAppTest, ChangeSignalsCarryTheNewValueAndFireOnlyOnChange)
{
    QSignalSpy start(&app(), &DeviceApp::detectionZoneStartChanged);
    QSignalSpy sensitivity(&app(), &DeviceApp::sensitivityChanged);
    QSignalSpy path(&app(), &DeviceApp::logPathChanged);
    QSignalSpy frame(&app(), &DeviceApp::frameCounterChanged);
    app().setDetectionZoneStart(1.5);
    app().setDetectionZoneStart(1.5);
    app().setSensitivity(7);
    app().setSensitivity(7);
    app().setLogUrl(QUrl::fromLocalFile(QStringLiteral("/data/records")));
    app().setLogUrl(QUrl::fromLocalFile(QStringLiteral("/data/records")));
    // Baseband frames bring the frame counter along.
    emit osprey.device().sigNewBasebandFrame(0x1, 42, 0.05, 0.3, {}, {});
    emit osprey.device().sigNewBasebandFrame(0x1, 42, 0.05, 0.3, {}, {});
    ASSERT_EQ(1, start.count());
    EXPECT_EQ(1.5, start.at(0).at(0).toDouble());
    ASSERT_EQ(1, sensitivity.count());
    EXPECT_EQ(7u, sensitivity.at(0).at(0).toUInt());
    ASSERT_EQ(1, path.count());
    EXPECT_EQ(QStringLiteral("/data/records"), path.at(0).at(0).toString());
    EXPECT_EQ(1, frame.count());
    EXPECT_EQ(42u, app().frameCounter());
}

TEST_F(DeviceAppTest, LogPathReadsTheDefaultFolderUntilOneIsSet)
{
    const QString nonAsciiDefault = osprey.settings.directory() + QStringLiteral("/Protokolle-\u00e4");
    ApplicationProperties::setDefaultLogPath(nonAsciiDefault);
    EXPECT_EQ(nonAsciiDefault, app().logPath());
    EXPECT_EQ(nonAsciiDefault, app().defaultLogPath());
    // Only what the user chose counts.
    EXPECT_FALSE(app().logPathContainsNonAscii());

    app().setLogPath(QStringLiteral("/data/plain"));
    EXPECT_EQ(QStringLiteral("/data/plain"), app().logPath());
    EXPECT_FALSE(app().logPathContainsNonAscii());
    app().setLogPath(QStringLiteral("/data/K\u00fcche"));
    EXPECT_TRUE(app().logPathContainsNonAscii());
    app().setLogPath(QStringLiteral("/data/\u8a18\u9332"));
    EXPECT_TRUE(app().logPathContainsNonAscii());
}

TEST_F(DeviceAppTest, RecordingFlagTakesTheFolderTheUserSees)
{
    QSignalSpy changed(&app(), &DeviceApp::recordingEnabledChanged);
    // Nothing chosen: the default folder, never an empty directory.
    app().setProperty("recordingEnabled", true);
    EXPECT_TRUE(app().recordingEnabled());
    EXPECT_EQ(osprey.settings.defaultLogPath(), app().recordingPath());
    app().recordLog(true);
    EXPECT_EQ(1, changed.count());

    // A folder chosen while recording counts from the next recording on.
    app().setLogPath(QStringLiteral("/data/chosen"));
    EXPECT_EQ(osprey.settings.defaultLogPath(), app().recordingPath());
    app().recordLog(false);
    EXPECT_FALSE(app().recordingEnabled());
    EXPECT_EQ(QString(), app().recordingPath());
    app().recordLog(true);
    EXPECT_EQ(QStringLiteral("/data/chosen"), app().recordingPath());
    EXPECT_EQ(3, changed.count());
}

TEST_F(DeviceAppTest, RecorderFailureIsForwardedAndEndsTheRecording)
{
    QSignalSpy errors(&app(), &DeviceApp::recordingError);
    QSignalSpy changed(&app(), &DeviceApp::recordingEnabledChanged);
    app().recordLog(true);
    emit osprey.device().recordingError(QStringLiteral("disk full"));
    ASSERT_EQ(1, errors.count());
    EXPECT_EQ(QStringLiteral("disk full"), errors.at(0).at(0).toString());
    EXPECT_FALSE(app().recordingEnabled());
    EXPECT_EQ(QString(), app().recordingPath());
    EXPECT_EQ(2, changed.count());

    // Not recording: forwarded, nothing else.
    emit osprey.device().recordingError(QStringLiteral("late"));
    EXPECT_EQ(2, errors.count());
    EXPECT_EQ(2, changed.count());
}

TEST_F(DeviceAppTest, AboutTextNamesTheModuleAndThePluginOnlyWhenTheManagerHoldsOne)
{
    const Device& device = osprey.device();
    const QString fourLines = QStringLiteral("About:\nDevice: %1, %2\nFW Version: %3\nSW Version: 2.7.3\n")
                                  .arg(device.deviceName(), device.deviceInfo(), device.deviceFWVersion());
    EXPECT_EQ(fourLines, app().swInfo());
    EXPECT_EQ(fourLines, app().property("swInfo").toString());

    // A device manager, as the Device's parent, with a sleep-analysis plug-in.
    QTemporaryDir program;
    ASSERT_FALSE(FakeSleepAnalysis::install(
        FakeSleepAnalysis::pluginPath(), program.filePath(QStringLiteral("plugins")))
                     .isEmpty());
    DeviceManager::Options options;
    options.programDirectory = program.path();
    DeviceManager manager(options);
    osprey.device().setParent(&manager);
    EXPECT_EQ(fourLines, app().swInfo());
    ASSERT_TRUE(QMetaObject::invokeMethod(&manager, "loadSleepAnalysisPlugin"));
    ASSERT_TRUE(manager.hasSleepAnalysisPlugin());
    EXPECT_EQ(fourLines + QStringLiteral("SAL Version: fake-sleep-analysis 1.0\n"), app().swInfo());
    // Any other parent is no device manager.
    QObject other;
    other.setProperty("hasSleepAnalysisPlugin", true);
    osprey.device().setParent(&other);
    EXPECT_EQ(fourLines, app().swInfo());
    osprey.device().setParent(nullptr);
}

TEST_F(DeviceAppTest, TextLogHeaderIsLatin1WithTheModuleSettings)
{
    app().setLogDescription(QStringLiteral("K\u00fcche, Bett 2"));
    app().setDetectionZoneStart(0.3);
    app().setDetectionZoneEnd(7.45);
    app().setSensitivity(7);
    const Device& device = osprey.device();
    const QStringList expected {
        QStringLiteral("# Log header"),
        QStringLiteral("#-------------------------------------"),
        QStringLiteral("# Application: Plain"),
        QStringLiteral("# Log description: K\u00fcche, Bett 2"),
        QStringLiteral("# Device: ") + device.deviceName() + QStringLiteral(", ") + device.deviceInfo(),
        QStringLiteral("# FW Version: ") + device.deviceFWVersion(),
        QStringLiteral("# SW Version: 2.7.3"),
        QStringLiteral("# Time: <masked>"),
        QStringLiteral("#"),
        QStringLiteral("# Module settings"),
        QStringLiteral("#-------------------------------------"),
        QStringLiteral("# Detection zone: 0.3 to 7.45"),
        QStringLiteral("# Sensitivity: 7"),
        QStringLiteral("# Own line"),
        QStringLiteral("#-------------------------------------"),
    };
    const QByteArray header = app().textLogHeader({ QStringLiteral("# Own line") });
    ASSERT_TRUE(header.endsWith('\n'));
    QStringList lines = QString::fromLatin1(header).split(QLatin1Char('\n'));
    EXPECT_EQ(QString(), lines.takeLast());
    ASSERT_EQ(expected.size(), lines.size()) << header.toStdString();
    EXPECT_TRUE(lines[7].startsWith(QStringLiteral("# Time: ")));
    EXPECT_GT(lines[7].size(), 10);
    lines[7] = QStringLiteral("# Time: <masked>");
    EXPECT_EQ(expected, lines);
    // One byte per character: Latin-1, not UTF-8.
    EXPECT_TRUE(header.contains("K\xfc"
                                "che"));

    // Six significant digits, in the shorter of the two notations.
    const struct {
        double start;
        double end;
        const char* line;
    } numbers[] = {
        { 0.0, 9.0, "# Detection zone: 0 to 9" },
        { 1.0 / 3.0, 2.0000001, "# Detection zone: 0.333333 to 2" },
        { 1e-7, 1234567.0, "# Detection zone: 1e-07 to 1.23457e+06" },
    };
    for (const auto& row : numbers) {
        app().setDetectionZoneStart(row.start);
        app().setDetectionZoneEnd(row.end);
        EXPECT_EQ(QLatin1String(row.line), app().textLogHeaderLines().at(11));
    }
}

TEST_F(DeviceAppTest, SecondExecuteWhileConfigureWaitsFailsAtOnce)
{
    MessageLog log;
    DeviceApp::InitializationResult nested = DeviceApp::InitializationSucceeded;
    PlainApp::ConfigureOutcome nestedOutcome = PlainApp::ConfigureOutcome::Succeeded;
    QMetaObject::invokeMethod(
        &app(),
        [&] {
            nested = app().execute(false);
            nestedOutcome = app().lastOutcome;
        },
        Qt::QueuedConnection);
    EXPECT_EQ(DeviceApp::InitializationSucceeded, app().execute(false));
    EXPECT_EQ(DeviceApp::InitializationFailed, nested);
    EXPECT_EQ(PlainApp::ConfigureOutcome::Refused, nestedOutcome);
    EXPECT_EQ(1, osprey.calls().configurations().size());
    EXPECT_EQ(1, log.count(QStringLiteral("WARNING: Plain is configuring the module already")));
    // Once it has returned, the next one runs.
    EXPECT_EQ(DeviceApp::InitializationSucceeded, app().execute(false));
    EXPECT_EQ(2, osprey.calls().configurations().size());
}

TEST_F(DeviceAppTest, ApplicationDeletedLaterWhileConfigureWaitsGoesAfterIt)
{
    QPointer<PlainApp> guard(osprey.app);
    QMetaObject::invokeMethod(
        &app(), [&] { guard->deleteLater(); }, Qt::QueuedConnection);
    EXPECT_EQ(DeviceApp::InitializationSucceeded, app().execute(false));
    ASSERT_FALSE(guard.isNull()) << "deleted under the wait";
    EXPECT_EQ(PlainApp::ConfigureOutcome::Succeeded, guard->lastOutcome);
    runDeferredDeletes();
    EXPECT_TRUE(guard.isNull());
}

TEST_F(DeviceAppTest, ConfigureFailureGivesTheResultOfTheWorkersText)
{
    const struct {
        const char* failingStep; // the command the module refuses
        wire::Bytes command;
        DeviceApp::InitializationResult result;
        const char* error;
    } table[] = {
        { "sensitivity", wire::sensitivity(5), DeviceApp::InitializationFailed, "failed to set sensitivity" },
        { "sensor mode run", wire::sensorMode(0x01), DeviceApp::InitializationIntentionalReset,
            "failed to set sensor mode run" },
    };
    for (const auto& row : table) {
        AppOverModule<PlainApp> module(
            simmodule::personality("osprey"), SarvikDeviceInfo::OspreyDevice, 0x10);
        module.module.module().add_rule_first(simmodule::Rule(row.command).error(7));
        MessageLog log;
        EXPECT_EQ(row.result, module.app->execute(false)) << row.failingStep;
        EXPECT_EQ(QLatin1String(row.error), module.device().errorString()) << row.failingStep;
        EXPECT_EQ(PlainApp::ConfigureOutcome::Failed, module.app->lastOutcome);
    }
}

} // namespace
