// The baseband application over a simulated module: what it takes from the
// module and the settings, the zone it asks for and keeps, its state, and the
// recordings it starts and stops (read back with the library).
#include "apps/BasebandApp.hpp"

#include "apps/RawAppFixture.hpp"
#include "support/MessageLog.hpp"
#include "support/QtPrinters.hpp"
#include "support/WirePayloads.hpp"

#include "simmodule/Messages.hpp"
#include "simmodule/PayloadWriter.hpp"
#include "simmodule/Personality.hpp"

#include <linkwell/DataType.hpp>
#include <linkwell/RecordingOptions.hpp>

#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <limits>
#include <ostream>
#include <string>

namespace {

using rawapps::ActivatedApp;
using rawapps::Sandbox;

constexpr uint32_t detectionZoneId = 0x96A10A1C;

// An Osprey (zone limits 0.3 to 7.5 m, step 0.1) whose record carries the
// baseband bit, changed by `adjust`.
class BasebandOverModule : public ActivatedApp<BasebandApp> {
public:
    explicit BasebandOverModule(const std::function<void(SarvikDeviceInfo&)>& adjust = {})
        : ActivatedApp(simmodule::personality("osprey"), SarvikDeviceInfo::OspreyDevice, 0x80, adjust)
    { }
};

std::function<void(SarvikDeviceInfo&)> zoneLimits(double min, double max, double step)
{
    return [=](SarvikDeviceInfo& info) {
        info.zoneMin = min;
        info.zoneMax = max;
        info.zoneStep = step;
    };
}

// Has the module report this zone after any zone it is given.
void reportZone(simmodule::SimModule& module, float start, float end)
{
    module.add_rule_first(
        simmodule::Rule(simmodule::PayloadWriter().u8(0x10).u8(0x11).u32(detectionZoneId).take())
            .reply(simmodule::f32_reply(detectionZoneId, { start, end })));
}

// ---- Construction ------------------------------------------------------------

struct BasebandLimitsCase {
    const char* name;
    double zoneMin, zoneMax, zoneStep;
    double maxLength, defaultEnd;
};

void PrintTo(const BasebandLimitsCase& c, std::ostream* os)
{
    *os << c.name;
}

class BasebandAppLimitsTest : public ::testing::TestWithParam<BasebandLimitsCase> {
protected:
    Sandbox sandbox;
};

// The longest zone is 9 m, or the module's span when that is shorter; the
// zone starts as the longest one from the module's minimum.
TEST_P(BasebandAppLimitsTest, ComeFromTheModule)
{
    const BasebandLimitsCase& c = GetParam();
    BasebandOverModule fixture(zoneLimits(c.zoneMin, c.zoneMax, c.zoneStep));
    ASSERT_NE(nullptr, fixture.app());
    const BasebandApp& app = *fixture.app();
    EXPECT_EQ(QStringLiteral("Baseband"), app.appName());
    EXPECT_EQ(QStringLiteral("Baseband"), app.descriptiveName());
    EXPECT_EQ(0x57DABF09u, app.profileId());
    EXPECT_EQ(BasebandApp::UnknownState, app.state());
    EXPECT_DOUBLE_EQ(c.zoneMin, app.detectionZoneMin());
    EXPECT_DOUBLE_EQ(c.zoneMax, app.detectionZoneMax());
    EXPECT_DOUBLE_EQ(0.2, app.detectionZoneMinLength());
    EXPECT_NEAR(c.maxLength, app.detectionZoneMaxLength(), 1e-12);
    EXPECT_DOUBLE_EQ(c.zoneStep, app.detectionZoneIncrement());
    EXPECT_FLOAT_EQ(float(c.zoneMin), float(app.detectionZoneStart()));
    EXPECT_FLOAT_EQ(float(c.defaultEnd), float(app.detectionZoneEnd()));
}

INSTANTIATE_TEST_SUITE_P(Modules, BasebandAppLimitsTest,
    ::testing::Values(BasebandLimitsCase { "LongZone", 0.4, 10.0, 0.05, 9.0, 9.4 },
        BasebandLimitsCase { "ShortZone", 0.3, 7.5, 0.1, 7.2, 7.5 }),
    [](const ::testing::TestParamInfo<BasebandLimitsCase>& param) { return std::string(param.param.name); });

TEST(BasebandApp, IsMadeForTheBasebandBitOnly)
{
    Sandbox sandbox;
    ActivatedApp<BasebandApp> other(simmodule::personality("osprey"), SarvikDeviceInfo::OspreyDevice, 0x200);
    EXPECT_EQ(nullptr, other.app());
    BasebandOverModule fixture;
    ASSERT_NE(nullptr, fixture.app());
    EXPECT_EQ(fixture.app(), fixture.device().activeDeviceApp());
}

struct StoredOutputsCase {
    const char* name;
    QVariant iq, amplitudePhase, applicationOutput;
    bool expectedIq, expectedAmplitudePhase, expectedApplicationOutput;
};

void PrintTo(const StoredOutputsCase& c, std::ostream* os)
{
    *os << c.name;
}

class BasebandAppStoredOutputsTest : public ::testing::TestWithParam<StoredOutputsCase> {
protected:
    Sandbox sandbox;
};

TEST_P(BasebandAppStoredOutputsTest, AreAppliedInOrder)
{
    const StoredOutputsCase& c = GetParam();
    if (c.iq.isValid())
        sandbox.store(QStringLiteral("Logging/BasebandOutput"), c.iq);
    if (c.amplitudePhase.isValid())
        sandbox.store(QStringLiteral("Logging/BasebandAPOutput"), c.amplitudePhase);
    if (c.applicationOutput.isValid())
        sandbox.store(QStringLiteral("Logging/ApplicationOutput"), c.applicationOutput);
    BasebandOverModule fixture;
    ASSERT_NE(nullptr, fixture.app());
    EXPECT_EQ(c.expectedIq, fixture.app()->basebandOutputEnabled());
    EXPECT_EQ(c.expectedAmplitudePhase, fixture.app()->basebandAmplitudePhaseOutputEnabled());
    EXPECT_EQ(c.expectedApplicationOutput, fixture.app()->applicationOutputEnabled());
}

INSTANTIATE_TEST_SUITE_P(Settings, BasebandAppStoredOutputsTest,
    ::testing::Values(StoredOutputsCase { "NothingStored", {}, {}, {}, false, true, true },
        // Amplitude and phase is applied last and switches I/Q off.
        StoredOutputsCase { "BothOn", true, true, 1, false, true, true },
        StoredOutputsCase { "IqOnly", true, false, 0, true, false, false },
        StoredOutputsCase { "BothOff", false, false, 2, false, false, false }),
    [](const ::testing::TestParamInfo<StoredOutputsCase>& param) { return std::string(param.param.name); });

// The settings file is the user's to edit: what is not a finite number reads
// as the default, a stored zone stays within the module's limits.
TEST(BasebandApp, StoredZoneIsReadInSinglePrecisionWithinTheModulesLimits)
{
    const struct {
        QVariant start, end;
        float expectedStart, expectedEnd;
    } cases[] = {
        { 1.1, 3.3, 1.1f, 3.3f },
        { QStringLiteral("abc"), QStringLiteral("nan"), 0.3f, 7.5f },
        { QStringLiteral("inf"), QStringLiteral("-inf"), 0.3f, 7.5f },
        { -5.0, 50.0, 0.3f, 7.5f },
    };
    for (const auto& c : cases) {
        Sandbox sandbox;
        sandbox.store(QStringLiteral("Baseband/DetectionZoneStart"), c.start);
        sandbox.store(QStringLiteral("Baseband/DetectionZoneEnd"), c.end);
        BasebandOverModule fixture;
        ASSERT_NE(nullptr, fixture.app());
        EXPECT_EQ(double(c.expectedStart), fixture.app()->detectionZoneStart())
            << c.start.toString().toStdString();
        EXPECT_EQ(double(c.expectedEnd), fixture.app()->detectionZoneEnd()) << c.end.toString().toStdString();
    }
}

// ---- execute ---------------------------------------------------------------------

struct ZoneCase {
    const char* name;
    double start, end; // asked for
    float sentStart, sentEnd;
};

void PrintTo(const ZoneCase& c, std::ostream* os)
{
    *os << c.name;
}

class BasebandAppZoneTest : public ::testing::TestWithParam<ZoneCase> {
protected:
    Sandbox sandbox;
};

// The module (0.3 to 7.5 m, step 0.1) keeps the zone it is given.
TEST_P(BasebandAppZoneTest, ExecuteSendsTheZoneWithinTheLimits)
{
    const ZoneCase& c = GetParam();
    BasebandOverModule fixture;
    BasebandApp& app = *fixture.app();
    app.setDetectionZoneStart(c.start);
    app.setDetectionZoneEnd(c.end);
    EXPECT_EQ(DeviceApp::InitializationSucceeded, app.execute());
    const QList<SarvikDeviceConfiguration> sent = fixture.fixture().calls().configurations();
    ASSERT_EQ(1, sent.size());
    EXPECT_FLOAT_EQ(c.sentStart, sent.at(0).zoneStart);
    EXPECT_FLOAT_EQ(c.sentEnd, sent.at(0).zoneEnd);
    EXPECT_FLOAT_EQ(c.sentStart, float(app.detectionZoneStart()));
    EXPECT_FLOAT_EQ(c.sentEnd, float(app.detectionZoneEnd()));
}

INSTANTIATE_TEST_SUITE_P(Zones, BasebandAppZoneTest,
    ::testing::Values(
        // The end is lowered by half the increment.
        ZoneCase { "Within", 1.0, 3.0, 1.0f, 2.95f }, ZoneCase { "StartBelowMinimum", 0.1, 3.0, 0.3f, 2.95f },
        ZoneCase { "EndAboveMaximum", 1.0, 9.0, 1.0f, 7.5f },
        // Shorter than 0.2 m: widened from its start.
        ZoneCase { "TooShort", 2.0, 2.1, 2.0f, 2.2f }),
    [](const ::testing::TestParamInfo<ZoneCase>& param) { return std::string(param.param.name); });

TEST(BasebandApp, ExecuteConfiguresTheBasebandProfileAndKeepsTheZoneTheModuleReports)
{
    Sandbox sandbox;
    BasebandOverModule fixture;
    BasebandApp& app = *fixture.app();
    app.setDetectionZoneStart(1.0);
    app.setDetectionZoneEnd(3.0);
    reportZone(fixture.module(), 1.25f, 2.75f);
    QSignalSpy initializing(&app, &DeviceApp::initializing);
    QSignalSpy initialized(&app, &DeviceApp::initialized);

    EXPECT_EQ(DeviceApp::InitializationSucceeded, app.execute());
    const QList<SarvikDeviceConfiguration> sent = fixture.fixture().calls().configurations();
    ASSERT_EQ(1, sent.size());
    const SarvikDeviceConfiguration& config = sent.at(0);
    EXPECT_EQ(quint32(SarvikDeviceConfiguration::BasebandKind), config.profileKind);
    EXPECT_EQ(Sarvik::DataTypes(Sarvik::BasebandApDataType), config.outputDataTypes);
    EXPECT_EQ(7u, config.noiseMapControl);
    EXPECT_EQ(5, config.moduleDebugLevel);
    EXPECT_EQ(0, config.ioPinFeature);
    EXPECT_FALSE(config.debugRecording);
    // The worker was closed before: resetValues.
    EXPECT_TRUE(fixture.fixture().calls().methods().contains("close"));

    EXPECT_EQ(1, initializing.count());
    ASSERT_EQ(1, initialized.count());
    EXPECT_EQ(int(DeviceApp::InitializationSucceeded), initialized.at(0).at(0).toInt());
    EXPECT_EQ(1.25, app.detectionZoneStart());
    EXPECT_EQ(2.75, app.detectionZoneEnd());
    EXPECT_EQ(1.25, sandbox.stored(QStringLiteral("Baseband/DetectionZoneStart")).toDouble());
    EXPECT_EQ(2.75, sandbox.stored(QStringLiteral("Baseband/DetectionZoneEnd")).toDouble());
    ASSERT_NE(nullptr, app.deviceTimer());
    EXPECT_TRUE(app.deviceTimer()->isActive());

    // The module streams amplitude/phase frames: data of any content marks
    // the application connected.
    EXPECT_TRUE(waitUntil([&] { return app.state() == BasebandApp::ConnectedState; }));

    app.setBasebandOutputEnabled(true);
    EXPECT_EQ(DeviceApp::InitializationSucceeded, app.execute(true));
    ASSERT_EQ(2, fixture.fixture().calls().configurations().size());
    EXPECT_EQ(Sarvik::DataTypes(Sarvik::BasebandIqDataType),
        fixture.fixture().calls().configurations().at(1).outputDataTypes);
    // Reconnecting reports nothing to QML.
    EXPECT_EQ(1, initializing.count());
    EXPECT_EQ(1, initialized.count());
}

// A module that reports a zone that is no number: the zone asked for stays.
TEST(BasebandApp, ZoneReportedAsNoNumberKeepsTheZoneAskedFor)
{
    Sandbox sandbox;
    BasebandOverModule fixture;
    BasebandApp& app = *fixture.app();
    app.setDetectionZoneStart(1.0);
    app.setDetectionZoneEnd(3.0);
    reportZone(
        fixture.module(), std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity());
    EXPECT_EQ(DeviceApp::InitializationSucceeded, app.execute());
    EXPECT_EQ(1.0, app.detectionZoneStart());
    EXPECT_FLOAT_EQ(2.95f, float(app.detectionZoneEnd()));
    EXPECT_FLOAT_EQ(2.95f, sandbox.stored(QStringLiteral("Baseband/DetectionZoneEnd")).toFloat());
}

// An execute while the module is being configured fails at once and leaves
// the connection, the state and the timer to the one that runs.
TEST(BasebandApp, SecondExecuteWhileConfiguringFailsAtOnce)
{
    Sandbox sandbox;
    BasebandOverModule fixture;
    BasebandApp& app = *fixture.app();
    DeviceApp::InitializationResult nested = DeviceApp::InitializationSucceeded;
    int closesBefore = -1;
    int closesAfter = -1;
    QMetaObject::invokeMethod(
        &app,
        [&] {
            closesBefore = fixture.fixture().calls().methods().count("close");
            nested = app.execute();
            closesAfter = fixture.fixture().calls().methods().count("close");
        },
        Qt::QueuedConnection);
    EXPECT_EQ(DeviceApp::InitializationSucceeded, app.execute());
    EXPECT_EQ(DeviceApp::InitializationFailed, nested);
    EXPECT_EQ(closesBefore, closesAfter);
    EXPECT_EQ(1, fixture.fixture().calls().configurations().size());
    EXPECT_TRUE(app.deviceTimer()->isActive());
}

TEST(BasebandApp, FailedExecuteKeepsTheZoneAndLeavesTheTimerStopped)
{
    Sandbox sandbox;
    BasebandOverModule fixture;
    BasebandApp& app = *fixture.app();
    app.setDetectionZoneStart(1.0);
    app.setDetectionZoneEnd(3.0);
    app.saveSettings();
    fixture.module().add_rule_first(simmodule::Rule(wire::loadProfile(0x57DABF09)).error(3));
    QSignalSpy initialized(&app, &DeviceApp::initialized);
    MessageLog log;

    EXPECT_EQ(DeviceApp::InitializationFailed, app.execute());
    ASSERT_EQ(1, initialized.count());
    EXPECT_EQ(int(DeviceApp::InitializationFailed), initialized.at(0).at(0).toInt());
    EXPECT_FALSE(initialized.at(0).at(1).toString().isEmpty());
    EXPECT_EQ(1, log.count(QStringLiteral("ERROR: Baseband app execute failed!")));
    EXPECT_EQ(1.0, app.detectionZoneStart());
    EXPECT_EQ(3.0, app.detectionZoneEnd());
    EXPECT_EQ(1.0, sandbox.stored(QStringLiteral("Baseband/DetectionZoneStart")).toDouble());
    EXPECT_FALSE(app.deviceTimer()->isActive());
    EXPECT_EQ(BasebandApp::UnknownState, app.state());

    // Reconnecting, a failure still starts the timer, so the page tries again.
    EXPECT_EQ(DeviceApp::InitializationFailed, app.execute(true));
    EXPECT_TRUE(app.deviceTimer()->isActive());
    EXPECT_EQ(1, initialized.count());
}

TEST(BasebandApp, StateFollowsTheDataAndTheDeviceAliveTimer)
{
    Sandbox sandbox;
    BasebandOverModule fixture;
    BasebandApp& app = *fixture.app();
    QSignalSpy changed(&app, &BasebandApp::stateChanged);
    ASSERT_EQ(DeviceApp::InitializationSucceeded, app.execute());
    app.setDeviceTimerInterval(300);
    ASSERT_TRUE(waitUntil([&] { return app.state() == BasebandApp::ConnectedState; }));
    const int changes = changed.count();

    fixture.module().stop_all_streams();
    ASSERT_TRUE(waitUntil([&] { return app.state() == BasebandApp::NoConnectionState; }));
    EXPECT_EQ(changes + 1, changed.count());
    EXPECT_FALSE(app.deviceTimer()->isActive());

    // Whatever its content, a packet means the module is there again.
    fixture.module().send_packet(simmodule::app_data_message(0x12345678, { 1, 2, 3 }));
    EXPECT_TRUE(waitUntil([&] { return app.state() == BasebandApp::ConnectedState; }));
    EXPECT_EQ(changes + 2, changed.count());
}

// ---- Settings ------------------------------------------------------------------

TEST(BasebandApp, SaveAndLoadSettingsUseTheBasebandKeys)
{
    Sandbox sandbox;
    BasebandOverModule fixture;
    BasebandApp& app = *fixture.app();
    app.setDetectionZoneStart(1.5);
    app.setDetectionZoneEnd(4.0);
    app.setLogSplitUnit(DeviceApp::MegaByte);
    app.setLogSplitSize(20);
    app.setLogDescription(QStringLiteral("bench"));
    app.setBasebandOutputEnabled(true);
    app.saveSettings();

    const struct {
        const char* key;
        QVariant value;
    } saved[] = {
        { "Baseband/DetectionZoneStart", 1.5 },
        { "Baseband/DetectionZoneEnd", 4.0 },
        { "Baseband/LoggingPath", sandbox.logFolder() },
        { "Baseband/PreferredFileSplitUnit", 2 },
        { "Baseband/PreferredFileSplitValue", 20 },
        { "Baseband/LoggingDescription", QStringLiteral("bench") },
        { "Logging/BasebandOutput", true },
        { "Logging/BasebandAPOutput", false },
    };
    for (const auto& s : saved)
        EXPECT_EQ(s.value.toString(), sandbox.stored(QString::fromLatin1(s.key)).toString()) << s.key;

    sandbox.store(QStringLiteral("Baseband/DetectionZoneStart"), 2.0);
    sandbox.store(QStringLiteral("Baseband/LoggingPath"), sandbox.path(QStringLiteral("elsewhere")));
    sandbox.store(QStringLiteral("Baseband/PreferredFileSplitValue"), 5000);
    sandbox.store(QStringLiteral("Baseband/PreferredFileSplitUnit"), 9);
    sandbox.store(QStringLiteral("Logging/BasebandOutput"), false);
    app.loadSettings();
    EXPECT_EQ(2.0, app.detectionZoneStart());
    EXPECT_EQ(4.0, app.detectionZoneEnd());
    EXPECT_EQ(sandbox.path(QStringLiteral("elsewhere")), app.logPath());
    // Kept to what the settings page offers; an unknown unit is refused.
    EXPECT_EQ(200u, app.logSplitSize());
    EXPECT_EQ(int(DeviceApp::MegaByte), app.logSplitUnit());
    // The outputs are read at construction only.
    EXPECT_TRUE(app.basebandOutputEnabled());

    sandbox.store(QStringLiteral("Baseband/PreferredFileSplitValue"), -3);
    app.loadSettings();
    EXPECT_EQ(2u, app.logSplitSize());
}

// ---- Recording -------------------------------------------------------------------

struct BasebandRecordingCase {
    const char* name;
    bool iq, amplitudePhase;
    int splitUnit;
    uint splitSize;
    Sarvik::DataTypes type;
    int splitType;
    long long splitValue; // seconds or bytes
};

void PrintTo(const BasebandRecordingCase& c, std::ostream* os)
{
    *os << c.name;
}

class BasebandAppRecordingTest : public ::testing::TestWithParam<BasebandRecordingCase> {
protected:
    Sandbox sandbox;
};

TEST_P(BasebandAppRecordingTest, StartsTheChosenTypeWithoutHeaderAndStopsBoth)
{
    const BasebandRecordingCase& c = GetParam();
    BasebandOverModule fixture;
    BasebandApp& app = *fixture.app();
    app.setBasebandOutputEnabled(c.iq);
    app.setBasebandAmplitudePhaseOutputEnabled(c.amplitudePhase);
    app.setLogSplitUnit(c.splitUnit);
    app.setLogSplitSize(c.splitSize);
    WorkerCallLog& calls = fixture.fixture().calls();
    calls.clear();

    app.recordLog(true);
    EXPECT_TRUE(app.recordingEnabled());
    EXPECT_EQ(sandbox.logFolder(), app.recordingPath());
    QList<WorkerCall> recording = calls.recordingCalls();
    ASSERT_EQ(1, recording.size());
    EXPECT_EQ("startRecording", recording.at(0).method);
    EXPECT_EQ(c.type, recording.at(0).arguments.at(0).toUInt());
    EXPECT_EQ(sandbox.logFolder(), recording.at(0).arguments.at(1).toString());
    const auto options = recording.at(0).arguments.at(2).value<Sarvik::RecordingOptions>();
    EXPECT_TRUE(options.get_user_header().empty());
    const Sarvik::PreferredSplitSize split = options.get_file_split_size();
    EXPECT_EQ(c.splitType, split.get_type());
    EXPECT_EQ(c.splitValue,
        c.splitType == Sarvik::PreferredSplitSize::DurationSplit ? split.get_duration()
                                                                 : split.get_byte_count());

    calls.clear();
    app.recordLog(false);
    EXPECT_FALSE(app.recordingEnabled());
    recording = calls.recordingCalls();
    ASSERT_EQ(1, recording.size());
    EXPECT_EQ("stopRecording", recording.at(0).method);
    EXPECT_EQ(Sarvik::DataTypes(Sarvik::BasebandApDataType | Sarvik::BasebandIqDataType),
        recording.at(0).arguments.at(0).toUInt());
}

INSTANTIATE_TEST_SUITE_P(Outputs, BasebandAppRecordingTest,
    ::testing::Values(
        // A byte split below 10000 bytes is raised to 10000.
        BasebandRecordingCase { "AmplitudePhaseSmallByteSplit", false, true, DeviceApp::KiloByte, 5,
            Sarvik::BasebandApDataType, Sarvik::PreferredSplitSize::ByteCountSplit, 10000 },
        BasebandRecordingCase { "IqMinutes", true, false, DeviceApp::Minutes, 15, Sarvik::BasebandIqDataType,
            Sarvik::PreferredSplitSize::DurationSplit, 900 },
        BasebandRecordingCase { "AmplitudePhaseMegaBytes", false, true, DeviceApp::MegaByte, 2,
            Sarvik::BasebandApDataType, Sarvik::PreferredSplitSize::ByteCountSplit, 2000000 }),
    [](const ::testing::TestParamInfo<BasebandRecordingCase>& param) {
        return std::string(param.param.name);
    });

// With no output chosen there is nothing to record: the recording is not
// shown as running.
TEST(BasebandApp, RecordingWithoutAnOutputIsRefused)
{
    Sandbox sandbox;
    BasebandOverModule fixture;
    BasebandApp& app = *fixture.app();
    app.setBasebandAmplitudePhaseOutputEnabled(false);
    ASSERT_FALSE(app.basebandOutputEnabled());
    fixture.fixture().calls().clear();
    QSignalSpy changed(&app, &DeviceApp::recordingEnabledChanged);
    MessageLog log;
    app.setProperty("recordingEnabled", true);
    EXPECT_FALSE(app.recordingEnabled());
    EXPECT_EQ(1, changed.count());
    EXPECT_TRUE(fixture.fixture().calls().recordingCalls().isEmpty());
    EXPECT_EQ(1, log.warnings().size());
}

TEST(BasebandApp, ExecuteWhileRecordingStopsTheRecordingAndStartsANewOne)
{
    for (const bool configureFails : { false, true }) {
        Sandbox sandbox;
        BasebandOverModule fixture;
        BasebandApp& app = *fixture.app();
        if (configureFails)
            fixture.module().add_rule_first(simmodule::Rule(wire::loadProfile(0x57DABF09)).error(3));
        app.recordLog(true);
        WorkerCallLog& calls = fixture.fixture().calls();
        calls.clear();
        app.execute();
        EXPECT_TRUE(app.recordingEnabled()) << configureFails;
        QList<QByteArray> methods;
        for (const WorkerCall& call : calls.recordingCalls())
            methods.append(call.method);
        EXPECT_EQ((QList<QByteArray> { "stopRecording", "startRecording" }), methods) << configureFails;
        app.recordLog(false);
    }
}

// A start the worker cannot make (here: no connection yet) comes back as a
// recording error, which ends the recording.
TEST(BasebandApp, RecordingTheWorkerRefusesIsReportedAndEnds)
{
    Sandbox sandbox;
    BasebandOverModule fixture;
    BasebandApp& app = *fixture.app();
    QSignalSpy errors(&app, &DeviceApp::recordingError);
    app.recordLog(true);
    ASSERT_TRUE(waitUntil([&] { return errors.count() == 1; }));
    EXPECT_TRUE(waitUntil([&] { return !app.recordingEnabled(); }));
    QList<QByteArray> methods;
    for (const WorkerCall& call : fixture.fixture().calls().recordingCalls())
        methods.append(call.method);
    EXPECT_EQ((QList<QByteArray> { "startRecording", "stopRecording" }), methods);
}

// The module's amplitude/phase frames, recorded by the library and read back
// with it: every record is baseband amplitude/phase data, none a header.
TEST(BasebandApp, RecordingHoldsTheModulesFramesWithoutHeader)
{
    Sandbox sandbox;
    BasebandOverModule fixture;
    BasebandApp& app = *fixture.app();
    ASSERT_EQ(DeviceApp::InitializationSucceeded, app.execute());
    app.recordLog(true);
    ASSERT_TRUE(waitUntil([&] {
        QDirIterator it(sandbox.logFolder(), QDir::Files, QDirIterator::Subdirectories);
        return it.hasNext();
    }));
    QTest::qWait(500);
    app.recordLog(false);
    QStringList index;
    ASSERT_TRUE(waitUntil([&] {
        index = rawapps::sessionIndexFiles(sandbox.logFolder());
        return !index.isEmpty();
    }));
    ASSERT_EQ(1, index.size());
    const std::vector<rawapps::StoredRecord> records = rawapps::recordsOf(index.front());
    ASSERT_FALSE(records.empty());
    for (const rawapps::StoredRecord& record : records) {
        EXPECT_EQ(uint32_t(Sarvik::BasebandApDataType), record.dataType);
        EXPECT_FALSE(record.userHeader);
    }
}

} // namespace
