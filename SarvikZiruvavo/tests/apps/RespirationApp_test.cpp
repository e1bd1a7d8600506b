// The respiration application of the older module: its status payloads and
// their time stamps, the device-alive timer, configure, settings, recordings
// and the LED strip, over a Device of a simulated Corvid.
#include "apps/LedList.hpp"
#include "apps/RespirationApp.hpp"
#include "apps/SleepApp.hpp"

#include "TestStrips.hpp"
#include "core/ApplicationProperties.hpp"
#include "support/AppHarness.hpp"
#include "support/DeviceHarness.hpp"
#include "support/MessageLog.hpp"
#include "support/ModuleMessages.hpp"
#include "support/QtPrinters.hpp"

#include "simmodule/Messages.hpp"
#include "simmodule/Personality.hpp"
#include "simmodule/Rule.hpp"

#include <linkwell/DataReader.hpp>
#include <linkwell/RecordingOptions.hpp>

#include <QDateTime>
#include <QDir>
#include <QPointer>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using teststrips::TestPorts;
using teststrips::TestStrip;

QByteArray statusPayload(quint32 frame, quint32 state = 0, quint32 rpm = 14, float distance = 0.9f,
    float movement = 0.5f, quint32 quality = 77)
{
    return payloadOf(
        simmodule::respiration_status_message({ frame, state, rpm, distance, movement, quality }));
}

// Every announcement of the app's values, in order, with its time stamp.
class Announcements {
public:
    explicit Announcements(RespirationApp& app)
    {
        QObject::connect(&app, &RespirationApp::stateChanged, &m_context,
            [this](uint state) { lines << QStringLiteral("state %1").arg(state); });
        QObject::connect(&app, &RespirationApp::rpmChanged, &m_context, [this](uint rpm, qlonglong t) {
            lines << QStringLiteral("rpm %1").arg(rpm);
            stamps << t;
        });
        QObject::connect(
            &app, &RespirationApp::objectDistanceChanged, &m_context, [this](double distance, qlonglong t) {
                lines << QStringLiteral("distance %1").arg(distance);
                stamps << t;
            });
        QObject::connect(
            &app, &RespirationApp::objectMovementChanged, &m_context, [this](double movement, qlonglong t) {
                lines << QStringLiteral("movement %1").arg(movement);
                stamps << t;
            });
        QObject::connect(
            &app, &RespirationApp::signalQualityChanged, &m_context, [this](uint quality, qlonglong t) {
                lines << QStringLiteral("quality %1").arg(quality);
                stamps << t;
            });
    }
    // The time stamp of the last announced frame.
    qlonglong lastStamp() const { return stamps.isEmpty() ? -1 : stamps.last(); }
    void clear()
    {
        lines.clear();
        stamps.clear();
    }

    QStringList lines;
    QList<qlonglong> stamps;

private:
    QObject m_context;
};

// What the pages heard of each execute: its result and the worker's reason.
class Outcomes {
public:
    explicit Outcomes(DeviceApp& app)
    {
        QObject::connect(&app, &DeviceApp::initialized, &m_context,
            [this](DeviceApp::InitializationResult result, const QString& error) {
                results << int(result);
                errors << error;
            });
    }
    QList<int> results;
    QStringList errors;

private:
    QObject m_context;
};

// The program's settings in a directory of the test's own.
class RespirationAppTest : public ::testing::Test {
protected:
    void store(const QVariantMap& values) { settings.store(values); }

    AppSettings settings;
};

// A Corvid at the module's pace, and an application of the test's choice on
// its Device.
class CorvidAppTest : public RespirationAppTest {
protected:
    void SetUp() override
    {
        RespirationAppTest::SetUp();
        corvid = std::make_unique<DeviceOverModule>(
            simmodule::personality("corvid"), SarvikDeviceInfo::CorvidDevice, 0, nullptr, 20);
    }
    // The apps go before their Device, as the Device's own deactivation
    // deletes them.
    void TearDown() override
    {
        if (corvid->device() != nullptr)
            qDeleteAll(corvid->device()->findChildren<RespirationApp*>());
        corvid.reset();
        RespirationAppTest::TearDown();
    }
    template <typename App> App* make() { return new App(corvid->device()); }

    std::unique_ptr<DeviceOverModule> corvid;
};

// ---- Decoding --------------------------------------------------------------

TEST_F(CorvidAppTest, StatusSetsEveryValueAndAnnouncesThemInOrder)
{
    RespirationApp* app = make<RespirationApp>();
    Announcements announced(*app);
    QSignalSpy frames(app, &DeviceApp::frameCounterChanged);

    // Only the state's low byte counts: 0x0101 is state 1.
    app->radarDataApp(RespirationApp::respirationStatusId, statusPayload(7, 0x0101, 14, 1.25f, -0.5f, 77));

    EXPECT_EQ((QStringList { "state 1", "rpm 14", "distance 1.25", "movement -0.5", "quality 77" }),
        announced.lines);
    EXPECT_EQ(1u, app->state());
    EXPECT_EQ(14u, app->rpm());
    EXPECT_EQ(1.25, app->objectDistance());
    EXPECT_EQ(-0.5, app->objectMovement());
    EXPECT_EQ(77u, app->signalQuality());
    EXPECT_EQ(7u, app->frameCounter());
    EXPECT_EQ(1, frames.count());

    // The same frame again: announced again, the frame counter unchanged.
    announced.clear();
    app->radarDataApp(RespirationApp::respirationStatusId, statusPayload(7, 0x0101, 14, 1.25f, -0.5f, 77));
    EXPECT_EQ(5, announced.lines.size());
    EXPECT_EQ(1, frames.count());
}

TEST_F(CorvidAppTest, AnythingButA24ByteStatusChangesNothing)
{
    const QByteArray good = statusPayload(3, 0, 20, 1.0f, 0.25f, 50);
    const struct {
        const char* name;
        uint contentId;
        QByteArray data;
    } cases[] = {
        { "23 bytes", RespirationApp::respirationStatusId, good.left(23) },
        { "25 bytes", RespirationApp::respirationStatusId, good + '\x01' },
        { "empty", RespirationApp::respirationStatusId, QByteArray() },
        { "sleep status to a respiration app", RespirationApp::sleepStatusId,
            payloadOf(simmodule::sleep_status_message({ 9, 1, 12.0f, 2.0f, 3, 0.5f, 0.5f })) },
        { "another content id", 0x723BFA1E, good },
    };
    for (const auto& c : cases) {
        RespirationApp* app = make<RespirationApp>();
        app->radarDataApp(RespirationApp::respirationStatusId, good);
        Announcements announced(*app);
        QSignalSpy frames(app, &DeviceApp::frameCounterChanged);
        app->radarDataApp(c.contentId, c.data);
        EXPECT_TRUE(announced.lines.isEmpty()) << c.name;
        EXPECT_EQ(0, frames.count()) << c.name;
        EXPECT_EQ(0u, app->state()) << c.name;
        EXPECT_EQ(20u, app->rpm()) << c.name;
        EXPECT_EQ(1.0, app->objectDistance()) << c.name;
        EXPECT_EQ(0.25, app->objectMovement()) << c.name;
        EXPECT_EQ(50u, app->signalQuality()) << c.name;
        EXPECT_EQ(3u, app->frameCounter()) << c.name;
        delete app;
    }
}

TEST_F(CorvidAppTest, UnknownStatesAndValuesWithoutANumberPassUnchanged)
{
    RespirationApp* app = make<RespirationApp>();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    app->radarDataApp(RespirationApp::respirationStatusId, statusPayload(2, 0xAB, 0, nan, nan, 0));
    EXPECT_EQ(0xABu, app->state());
    EXPECT_TRUE(std::isnan(app->objectDistance()));
    EXPECT_TRUE(std::isnan(app->objectMovement()));
}

// ---- Time stamps -------------------------------------------------------------

class Clock {
public:
    Clock()
        : m_before(QDateTime::currentMSecsSinceEpoch())
    { }
    // Whether t lies between this clock's making and now.
    ::testing::AssertionResult holds(qint64 t) const
    {
        const qint64 after = QDateTime::currentMSecsSinceEpoch();
        if (t >= m_before && t <= after)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << t << " is not within " << m_before << " to " << after;
    }

private:
    qint64 m_before;
};

TEST_F(CorvidAppTest, FrameOneStartsTheClockAndEveryThousandthFrameRebasesIt)
{
    RespirationApp* app = make<RespirationApp>();
    Announcements announced(*app);
    app->radarDataApp(RespirationApp::respirationStatusId, statusPayload(1));

    // Frame 1000 comes at once instead of 50 s later: the adjustment takes
    // the difference, and the frame is stamped now.
    Clock clock;
    app->radarDataApp(RespirationApp::respirationStatusId, statusPayload(1000));
    EXPECT_TRUE(clock.holds(announced.lastStamp()));
    const qint64 rebased = announced.lastStamp();
    EXPECT_NEAR(-50000.0, double(RespirationApp::timestampAdjustment()), 1000.0);
    for (const qlonglong t : announced.stamps.mid(announced.stamps.size() - 4))
        EXPECT_EQ(rebased, t);

    // Later frames follow at 50 ms each from there.
    app->radarDataApp(RespirationApp::respirationStatusId, statusPayload(1001));
    EXPECT_EQ(rebased + 50, announced.lastStamp());
    app->radarDataApp(RespirationApp::respirationStatusId, statusPayload(1999));
    EXPECT_EQ(rebased + 999 * 50, announced.lastStamp());

    // Frame 0 is a multiple of 1000 too.
    Clock zero;
    app->radarDataApp(RespirationApp::respirationStatusId, statusPayload(0));
    EXPECT_TRUE(zero.holds(announced.lastStamp()));
}

// Fifty-millisecond frames pass 2^32 ms after 49.7 days; the frames on
// either side of that point stay 50 ms apart.
TEST_F(CorvidAppTest, TimeStampsStayInStepPastTwoToTheThirtySecondMilliseconds)
{
    RespirationApp* app = make<RespirationApp>();
    Announcements announced(*app);
    app->radarDataApp(RespirationApp::respirationStatusId, statusPayload(1));
    app->radarDataApp(RespirationApp::respirationStatusId, statusPayload(85899000));
    const qint64 rebased = announced.lastStamp();
    app->radarDataApp(RespirationApp::respirationStatusId, statusPayload(85899345));
    EXPECT_EQ(rebased + 345 * 50, announced.lastStamp());
    app->radarDataApp(RespirationApp::respirationStatusId, statusPayload(85899346));
    EXPECT_EQ(rebased + 346 * 50, announced.lastStamp());
}

TEST_F(CorvidAppTest, TwoModulesShareOneAdjustment)
{
    RespirationApp* first = make<RespirationApp>();
    DeviceOverModule other(simmodule::personality("corvid"), SarvikDeviceInfo::CorvidDevice, 0, nullptr, 20);
    std::unique_ptr<RespirationApp> second(new SleepApp(other.device()));
    Announcements announced(*first);

    first->radarDataApp(RespirationApp::respirationStatusId, statusPayload(1));
    first->radarDataApp(RespirationApp::respirationStatusId, statusPayload(1000));
    first->radarDataApp(RespirationApp::respirationStatusId, statusPayload(1001));
    const qint64 before = announced.lastStamp();

    // The other module's frame 0 re-bases on its own clock: about 50 s
    // later than the first module's adjustment put it.
    second->radarDataApp(RespirationApp::respirationStatusId, statusPayload(1));
    second->radarDataApp(RespirationApp::respirationStatusId, statusPayload(0));
    first->radarDataApp(RespirationApp::respirationStatusId, statusPayload(1002));
    EXPECT_NEAR(50050.0, double(announced.lastStamp() - before), 1000.0);
}

// ---- The device-alive timer --------------------------------------------------

TEST_F(CorvidAppTest, WithoutExecuteTheAppNeverTimesOut)
{
    RespirationApp* app = make<RespirationApp>();
    EXPECT_EQ(DeviceApp::deviceAliveInterval, app->deviceTimer()->interval());
    EXPECT_FALSE(app->deviceTimer()->isActive());
    app->deviceTimer()->setInterval(50);
    app->radarDataApp(RespirationApp::respirationStatusId, statusPayload(5, 3));
    QTest::qWait(300);
    EXPECT_EQ(3u, app->state());
    EXPECT_FALSE(app->deviceTimer()->isActive());
}

// Any payload keeps a running timer going, a status of the wrong length or
// another content id too; silence lets it run out once.
TEST_F(CorvidAppTest, EveryPayloadKeepsTheRunningTimerGoing)
{
    RespirationApp* app = make<RespirationApp>();
    app->radarDataApp(RespirationApp::respirationStatusId, statusPayload(1, 0));
    QSignalSpy states(app, &RespirationApp::stateChanged);
    app->deviceTimer()->setInterval(300);
    app->deviceTimer()->start();
    const QByteArray payloads[]
        = { statusPayload(2).left(23), statusPayload(2) + '\0', QByteArray(), QByteArray(3, 'x') };
    for (int round = 0; round < 8; ++round) {
        QTest::qWait(100);
        app->radarDataApp(round % 2 ? 0x12345678 : RespirationApp::respirationStatusId, payloads[round % 4]);
    }
    EXPECT_EQ(0, states.count());
    EXPECT_TRUE(app->deviceTimer()->isActive());

    ASSERT_TRUE(states.wait(2000));
    EXPECT_EQ(uint(RespirationApp::NoConnectionState), app->state());
    EXPECT_FALSE(app->deviceTimer()->isActive());

    // A payload after the time-out sets the state but starts no timer.
    app->radarDataApp(RespirationApp::respirationStatusId, statusPayload(3, 1));
    EXPECT_EQ(1u, app->state());
    EXPECT_FALSE(app->deviceTimer()->isActive());
}

TEST_F(CorvidAppTest, TimeOutReannouncesTheLastValues)
{
    RespirationApp* app = make<RespirationApp>();
    app->radarDataApp(RespirationApp::respirationStatusId, statusPayload(1, 0, 16, 0.75f, 0.5f, 40));
    Announcements announced(*app);
    app->deviceTimer()->setInterval(10);
    Clock clock;
    app->deviceTimer()->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !announced.lines.isEmpty(); }, 2000));
    EXPECT_EQ((QStringList { "state 7", "rpm 16", "distance 0.75", "movement 0.5", "quality 40" }),
        announced.lines);
    EXPECT_TRUE(clock.holds(announced.lastStamp()));
}

// ---- Configure ----------------------------------------------------------------

TEST_F(CorvidAppTest, ExecuteConfiguresTheProfileWithTheAppsValues)
{
    const struct {
        const char* name;
        bool sleep;
        int logLevel;
        QVariantMap stored;
        quint32 outputs;
    } cases[] = {
        { "respiration, defaults", false, 0, {}, 1 },
        { "sleep, baseband iq", true, 0,
            { { "Logging/BasebandAPOutput", false }, { "Logging/BasebandOutput", true } }, 2 },
        { "respiration, no baseband, debug level", false, 1, { { "Logging/BasebandAPOutput", false } }, 0 },
    };
    QTemporaryDir logs;
    for (const auto& c : cases) {
        store(c.stored);
        ApplicationProperties::setLogLevel(c.logLevel);
        RespirationApp* app = c.sleep ? make<SleepApp>() : make<RespirationApp>();
        app->setLogPath(logs.path());
        app->setSensitivity(7);
        app->setLedControl(0x103);
        app->setDetectionZoneStart(0.6);
        app->setDetectionZoneEnd(1.9);
        corvid->calls().clear();

        EXPECT_EQ(DeviceApp::InitializationSucceeded, app->execute()) << c.name;

        const QList<SarvikDeviceConfiguration> sent = corvid->calls().configurations();
        ASSERT_EQ(1, sent.size()) << c.name;
        const SarvikDeviceConfiguration& config = sent.first();
        // The Corvid reports no zone back: the app keeps its own.
        EXPECT_EQ(nullptr, config.zoneStartResult) << c.name;
        EXPECT_EQ(nullptr, config.zoneEndResult) << c.name;
        EXPECT_EQ(0.6, app->detectionZoneStart()) << c.name;
        EXPECT_EQ(1.9, app->detectionZoneEnd()) << c.name;
        EXPECT_EQ(c.outputs, config.outputDataTypes) << c.name;
        EXPECT_EQ(0.6f, config.zoneStart) << c.name;
        EXPECT_EQ(1.9f, config.zoneEnd) << c.name;
        EXPECT_EQ(c.sleep ? 0u : 1u, config.profileKind) << c.name;
        EXPECT_EQ(7u, config.sensitivity) << c.name;
        EXPECT_EQ(0x03, config.ledMode) << c.name;
        EXPECT_EQ(c.logLevel > 0 ? 9 : 5, config.moduleDebugLevel) << c.name;
        EXPECT_EQ(7u, config.noiseMapControl) << c.name;
        EXPECT_EQ(0, config.ioPinFeature) << c.name;
        EXPECT_EQ(c.logLevel > 0, config.debugRecording) << c.name;
        EXPECT_EQ(c.logLevel > 0 ? 0x30u : 0u, config.debugDataTypes) << c.name;
        EXPECT_EQ(c.logLevel > 0 ? logs.path() : QString(), config.debugDirectory) << c.name;
        EXPECT_TRUE(app->deviceTimer()->isActive()) << c.name;
        EXPECT_EQ(uint(RespirationApp::UnknownState), app->state()) << c.name;
        EXPECT_NE(nullptr, app->ledList()) << c.name;
        delete app;
        ApplicationProperties::setLogLevel(0);
        QSettings(ApplicationProperties::settingsFileName(), QSettings::IniFormat).clear();
    }
}

// From QML, execute closes the module's connection first and tells the pages
// it initialises and what came of it; a reconnection does neither.
TEST_F(CorvidAppTest, ExecuteFromThePagesClosesAndReportsAReconnectionDoesNot)
{
    RespirationApp* app = make<RespirationApp>();
    app->radarDataApp(RespirationApp::respirationStatusId, statusPayload(1, 0, 16, 0.75f, 0.5f, 40));
    QSignalSpy initializing(app, &DeviceApp::initializing);
    Outcomes initialized(*app);
    MessageLog log;
    corvid->calls().clear();

    EXPECT_EQ(DeviceApp::InitializationSucceeded, app->execute());
    EXPECT_EQ((QList<QByteArray> { "close", "configure" }), corvid->calls().methods());
    EXPECT_EQ(1, initializing.count());
    EXPECT_EQ(QList<int> { DeviceApp::InitializationSucceeded }, initialized.results);
    EXPECT_EQ(QStringList { QString() }, initialized.errors);
    EXPECT_EQ(0u, app->rpm());
    EXPECT_EQ(0.0, app->objectDistance());
    EXPECT_EQ(1, log.count(QStringLiteral("Respiration app executed successfully.")));

    app->radarDataApp(RespirationApp::respirationStatusId, statusPayload(2, 0, 16, 0.75f, 0.5f, 40));
    corvid->calls().clear();
    EXPECT_EQ(DeviceApp::InitializationSucceeded, app->execute(true));
    EXPECT_EQ((QList<QByteArray> { "configure" }), corvid->calls().methods());
    EXPECT_EQ(1, initializing.count());
    EXPECT_EQ(1, initialized.results.size());
    EXPECT_EQ(uint(RespirationApp::UnknownState), app->state());
    EXPECT_EQ(16u, app->rpm()) << "a reconnection keeps the values";
}

TEST_F(CorvidAppTest, FailedExecuteReportsTheWorkersReasonAndTimesOutOnlyWhenReconnecting)
{
    corvid->module().add_rule_first(simmodule::Rule({ 0x20, 0x01 }).error(5));
    RespirationApp* app = make<RespirationApp>();
    Outcomes initialized(*app);
    MessageLog log;

    EXPECT_EQ(DeviceApp::InitializationFailed, app->execute());
    EXPECT_EQ(QList<int> { DeviceApp::InitializationFailed }, initialized.results);
    EXPECT_EQ(QStringList { QStringLiteral("failed to set sensor mode run") }, initialized.errors);
    EXPECT_EQ(1, log.count(QStringLiteral("ERROR: Respiration app execute failed!")));
    EXPECT_EQ(uint(RespirationApp::UnknownState), app->state());
    EXPECT_FALSE(app->deviceTimer()->isActive());
    EXPECT_NE(nullptr, app->ledList());

    EXPECT_EQ(DeviceApp::InitializationFailed, app->execute(true));
    EXPECT_EQ(1, initialized.results.size());
    EXPECT_TRUE(app->deviceTimer()->isActive());
}

// The Device may go while execute waits for the worker (the module is
// unplugged and the device list drops it): the app goes with it, and
// execute returns without touching it.
TEST_F(RespirationAppTest, ExecuteReturnsUntouchedWhenTheDeviceGoesMeanwhile)
{
    DeviceOverModule corvid(simmodule::personality("corvid"), SarvikDeviceInfo::CorvidDevice, 0x8);
    corvid.device()->setActive(true);
    QPointer<SleepApp> app = corvid.device()->findChild<SleepApp*>();
    ASSERT_FALSE(app.isNull());
    QSignalSpy initialized(app.data(), &DeviceApp::initialized);
    QTimer::singleShot(200, [&] { delete corvid.device(); });
    EXPECT_EQ(DeviceApp::InitializationFailed, app->execute());
    EXPECT_TRUE(app.isNull());
    EXPECT_EQ(0, initialized.count());
}

// The module that keeps sending keeps the app connected; once it falls
// silent the app shows no connection, once: only execute restarts the timer.
TEST_F(CorvidAppTest, LiveModuleDrivesTheValuesUntilItFallsSilent)
{
    RespirationApp* app = make<RespirationApp>();
    app->connectToDevice();
    ASSERT_EQ(DeviceApp::InitializationSucceeded, app->execute());
    app->deviceTimer()->setInterval(400);
    ASSERT_TRUE(QTest::qWaitFor([&] { return app->frameCounter() >= 3; }, 5000));
    EXPECT_EQ(uint(RespirationApp::InitializingState), app->state());

    corvid->module().stop_all_streams();
    ASSERT_TRUE(QTest::qWaitFor([&] { return app->state() == RespirationApp::NoConnectionState; }, 3000));
    EXPECT_FALSE(app->deviceTimer()->isActive());
}

// ---- Settings ------------------------------------------------------------------

TEST_F(RespirationAppTest, ConstructionReadsTheRespirationKeys)
{
    const struct {
        const char* name;
        QVariantMap stored;
        bool applicationOutput;
        bool iq;
        bool ap;
        bool extended;
        double zoneStart;
        double zoneEnd;
    } cases[] = {
        { "nothing stored", {}, true, false, true, true, 0.5, 1.2 },
        { "both baseband outputs: amplitude/phase wins",
            { { "Logging/BasebandOutput", true }, { "Logging/BasebandAPOutput", true } }, true, false, true,
            true, 0.5, 1.2 },
        { "iq only", { { "Logging/BasebandOutput", true }, { "Logging/BasebandAPOutput", false } }, true,
            true, false, true, 0.5, 1.2 },
        { "application output 2 is off", { { "Logging/ApplicationOutput", 2 } }, false, false, true, true,
            0.5, 1.2 },
        { "zone and telegram",
            { { "Respiration/DetectionZoneMin", 0.75 }, { "Respiration/DetectionZoneMaxLength", 1.0 },
                { "Respiration/UseExtendedBreathingTelegram", false } },
            true, false, true, false, 0.75, 1.75 },
    };
    for (const auto& c : cases) {
        QSettings(ApplicationProperties::settingsFileName(), QSettings::IniFormat).clear();
        store(c.stored);
        DeviceOverModule corvid(simmodule::personality("corvid"), SarvikDeviceInfo::CorvidDevice);
        std::unique_ptr<RespirationApp> app(new RespirationApp(corvid.device()));
        EXPECT_EQ(c.applicationOutput, app->applicationOutputEnabled()) << c.name;
        EXPECT_EQ(c.iq, app->basebandOutputEnabled()) << c.name;
        EXPECT_EQ(c.ap, app->basebandAmplitudePhaseOutputEnabled()) << c.name;
        EXPECT_EQ(c.extended, app->extendedBreathingTelegramEnabled()) << c.name;
        // Read as single precision.
        EXPECT_FLOAT_EQ(float(c.zoneStart), float(app->detectionZoneStart())) << c.name;
        EXPECT_FLOAT_EQ(float(c.zoneEnd), float(app->detectionZoneEnd())) << c.name;
        EXPECT_FLOAT_EQ(float(c.zoneStart), float(app->detectionZoneMin())) << c.name;
        EXPECT_FLOAT_EQ(float(c.zoneEnd - c.zoneStart), float(app->detectionZoneMaxLength())) << c.name;
        EXPECT_EQ(app->detectionZoneStart(), app->objectDistanceMin()) << c.name;
        EXPECT_EQ(app->detectionZoneEnd(), app->objectDistanceMax()) << c.name;
    }
}

TEST_F(RespirationAppTest, SavedSettingsComeBackAndOnlySleepKeepsTheMovementChart)
{
    for (const bool sleep : { false, true }) {
        QSettings(ApplicationProperties::settingsFileName(), QSettings::IniFormat).clear();
        const QString group = sleep ? QStringLiteral("Sleep/") : QStringLiteral("Respiration/");
        DeviceOverModule corvid(simmodule::personality("corvid"), SarvikDeviceInfo::CorvidDevice);
        std::unique_ptr<RespirationApp> app(
            sleep ? new SleepApp(corvid.device()) : new RespirationApp(corvid.device()));
        app->setDetectionZoneStart(0.1);
        app->setDetectionZoneEnd(2.3);
        app->setSensitivity(9);
        app->setLedControl(1);
        app->setLogPath(QStringLiteral("/tmp/somewhere"));
        app->setLogSplitSize(25);
        app->setLogSplitUnit(DeviceApp::MegaByte);
        app->setLogBreathingPattern(true);
        app->setLogDescription(QStringLiteral("night one"));
        app->setRpmHistory(30000);
        app->setObjectDistanceHistory(40000);
        app->setObjectMovementHistory(7000);
        app->setMovementSlowFastHistory(90000);
        app->setExtendedBreathingTelegramEnabled(false);
        app->setBasebandOutputEnabled(true);
        app->saveSettings();

        EXPECT_EQ(true, settings.stored(group + "LoggingBreatingPattern").toBool()) << group.toStdString();
        EXPECT_EQ(sleep, settings.keys().contains(group + "PlotMovementSlowFastHistory"))
            << group.toStdString();
        EXPECT_EQ(true, settings.stored(QStringLiteral("Logging/BasebandOutput")).toBool());
        EXPECT_EQ(false, settings.stored(QStringLiteral("Logging/BasebandAPOutput")).toBool());
        EXPECT_EQ(2, settings.stored(group + "PreferredFileSplitUnit").toInt());

        std::unique_ptr<RespirationApp> loaded(
            sleep ? new SleepApp(corvid.device()) : new RespirationApp(corvid.device()));
        loaded->loadSettings();
        EXPECT_EQ(double(0.1f), loaded->detectionZoneStart()) << "through single precision";
        EXPECT_EQ(double(2.3f), loaded->detectionZoneEnd());
        EXPECT_EQ(9u, loaded->sensitivity());
        EXPECT_EQ(1u, loaded->ledControl());
        EXPECT_EQ(QStringLiteral("/tmp/somewhere"), loaded->logPath());
        EXPECT_EQ(25u, loaded->logSplitSize());
        EXPECT_EQ(int(DeviceApp::MegaByte), loaded->logSplitUnit());
        EXPECT_TRUE(loaded->logBreathingPattern());
        EXPECT_EQ(QStringLiteral("night one"), loaded->logDescription());
        EXPECT_EQ(30000u, loaded->rpmHistory());
        EXPECT_EQ(40000u, loaded->objectDistanceHistory());
        EXPECT_EQ(7000u, loaded->objectMovementHistory());
        EXPECT_EQ(sleep ? 90000u : 120000u, loaded->movementSlowFastHistory()) << group.toStdString();
        EXPECT_FALSE(loaded->extendedBreathingTelegramEnabled());
    }
}

// ---- Recording -------------------------------------------------------------------

struct RespirationRecordingCase {
    const char* name;
    bool sleep;
    QVariantMap stored;
    bool breathingPattern;
    // The data types started, in order.
    QList<quint32> started;
};

TEST_F(RespirationAppTest, RecordingStartsWhatTheSettingsAskForWithOneSession)
{
    const RespirationRecordingCase cases[] = {
        { "respiration, defaults", false, {}, false, { 0x1, 0x8 } },
        { "respiration ignores the sleep telegram", false,
            { { "Respiration/UseExtendedBreathingTelegram", true } }, true, { 0x1, 0x8 } },
        { "sleep, defaults", true, {}, false, { 0x1, 0x4, 0x8 } },
        { "sleep without the telegram", true,
            { { "Sleep/UseExtendedBreathingTelegram", false }, { "Logging/BasebandAPOutput", false } }, false,
            { 0x8 } },
        { "sleep, iq, no application output", true,
            { { "Logging/BasebandOutput", true }, { "Logging/BasebandAPOutput", false },
                { "Logging/ApplicationOutput", 0 } },
            false, { 0x2, 0x4 } },
    };
    QTemporaryDir logs;
    for (const RespirationRecordingCase& c : cases) {
        QSettings(ApplicationProperties::settingsFileName(), QSettings::IniFormat).clear();
        store(c.stored);
        DeviceOverModule corvid(simmodule::personality("corvid"), SarvikDeviceInfo::CorvidDevice);
        std::unique_ptr<RespirationApp> app(
            c.sleep ? new SleepApp(corvid.device()) : new RespirationApp(corvid.device()));
        app->setLogPath(logs.path());
        app->setLogBreathingPattern(c.breathingPattern);
        app->setLogDescription(QStringLiteral("caf\u00e9"));
        corvid.calls().clear();
        MessageLog log;
        app->recordLog(true);
        const auto line = [&](const char* label, bool on) {
            return log.count(
                QLatin1String(label) + (on ? QStringLiteral(" true") : QStringLiteral(" false")));
        };
        EXPECT_EQ(1, line("  |- Respiration data:", c.started.contains(0x8))) << c.name;
        EXPECT_EQ(1, line("  |- Sleep data/VitalSigns:", c.started.contains(0x4))) << c.name;
        EXPECT_EQ(1, line("  |- Baseband iq data:", c.started.contains(0x2))) << c.name;
        EXPECT_EQ(1, line("  |- Baseband ap data:", c.started.contains(0x1))) << c.name;

        QList<quint32> started;
        QSet<QString> sessions;
        bool basenamed = false;
        for (const WorkerCall& call : corvid.calls().recordingCalls()) {
            if (call.method == "setBasenameForDataType") {
                EXPECT_EQ(Sarvik::RespirationDataType, call.arguments.value(0).value<Sarvik::DataType>())
                    << c.name;
                EXPECT_EQ(c.sleep ? QStringLiteral("sarvik_log_Sleep_SarvikCorvid")
                                  : QStringLiteral("sarvik_log_Respiration_SarvikCorvid"),
                    call.arguments.value(1).toString())
                    << c.name;
                basenamed = true;
                continue;
            }
            ASSERT_EQ(QByteArray("startRecording"), call.method) << c.name;
            const quint32 type = call.arguments.value(0).toUInt();
            started << type;
            EXPECT_EQ(logs.path(), call.arguments.value(1).toString()) << c.name;
            const auto options = call.arguments.value(2).value<Sarvik::RecordingOptions>();
            sessions.insert(QString::fromStdString(options.get_session_id()));
            const Bytes header = options.get_user_header();
            const QString text
                = QString::fromLatin1(reinterpret_cast<const char*>(header.data()), int(header.size()));
            if (type <= 0x2) {
                EXPECT_TRUE(header.empty()) << c.name;
                continue;
            }
            EXPECT_TRUE(text.startsWith(QStringLiteral("# Log header\n"))) << c.name;
            EXPECT_TRUE(text.contains(QStringLiteral("# Log description: caf\u00e9\n"))) << c.name;
            EXPECT_EQ(-1, options.get_file_split_size().get_byte_count()) << c.name;
            EXPECT_EQ(3, options.get_file_split_size().get_type()) << "not split: " << c.name;
            if (type == 0x8)
                EXPECT_EQ(c.breathingPattern ? -1 : 1000, options.get_data_rate_limit()) << c.name;
            else
                EXPECT_LE(options.get_data_rate_limit(), 0) << c.name;
        }
        EXPECT_EQ(c.started, started) << c.name;
        EXPECT_EQ(c.started.contains(0x8), basenamed) << c.name;
        EXPECT_EQ(1, sessions.size()) << c.name;

        corvid.calls().clear();
        app->recordLog(false);
        const QList<WorkerCall> stopped = corvid.calls().recordingCalls();
        ASSERT_EQ(1, stopped.size()) << c.name;
        EXPECT_EQ(QByteArray("stopRecording"), stopped.first().method);
        EXPECT_EQ(0x1000Fu, stopped.first().arguments.value(0).toUInt()) << c.name;
    }
}

TEST_F(RespirationAppTest, BasebandFilesSplitAtTenThousandBytesAtTheLeast)
{
    const struct {
        int unit;
        uint size;
        int type;
        long long bytes;
        int seconds;
    } cases[] = {
        { DeviceApp::KiloByte, 5, 1, 10000, -1 },
        { DeviceApp::KiloByte, 10, 1, 10000, -1 },
        { DeviceApp::KiloByte, 11, 1, 11000, -1 },
        { DeviceApp::MegaByte, 2, 1, 2000000, -1 },
        { DeviceApp::Minutes, 1, 0, -1, 60 },
    };
    for (const auto& c : cases) {
        DeviceOverModule corvid(simmodule::personality("corvid"), SarvikDeviceInfo::CorvidDevice);
        std::unique_ptr<RespirationApp> app(new RespirationApp(corvid.device()));
        app->setLogSplitUnit(c.unit);
        app->setLogSplitSize(c.size);
        corvid.calls().clear();
        app->recordLog(true);
        const QList<WorkerCall> calls = corvid.calls().recordingCalls();
        ASSERT_FALSE(calls.isEmpty());
        ASSERT_EQ(0x1u, calls.first().arguments.value(0).toUInt());
        const Sarvik::PreferredSplitSize split
            = calls.first().arguments.value(2).value<Sarvik::RecordingOptions>().get_file_split_size();
        EXPECT_EQ(c.type, split.get_type()) << c.size;
        EXPECT_EQ(c.bytes, split.get_byte_count()) << c.size;
        EXPECT_EQ(c.seconds, split.get_duration()) << c.size;
    }
}

// The respiration records of the one session below `directory`, once the
// recorder has closed its files; -1 when there is none.
int respirationRecords(const QString& directory)
{
    int records = -1;
    const bool found = QTest::qWaitFor(
        [&] {
            QStringList files;
            for (const QString& session : QDir(directory).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
                for (const QString& file : QDir(directory + '/' + session).entryList(QDir::Files))
                    files << directory + '/' + session + '/' + file;
            if (files.isEmpty() || !files.filter(QStringLiteral(".writing")).isEmpty())
                return false;
            for (const QString& file : files) {
                Sarvik::DataReader reader;
                if (reader.open(file.toStdString(), -1) != 0)
                    continue;
                records = 0;
                for (Sarvik::DataRecord record = reader.read_record(); record.is_valid;
                     record = reader.read_record())
                    if (!record.is_user_header && record.data_type == Sarvik::RespirationDataType)
                        ++records;
                return true;
            }
            return false;
        },
        10000);
    return found ? records : -1;
}

// The module sends 20 frames a second: without the breathing pattern the
// file keeps one a second, with it every one.
TEST_F(CorvidAppTest, RespirationFileKeepsOneFrameASecondUnlessThePatternIsLogged)
{
    for (const bool pattern : { false, true }) {
        QTemporaryDir logs;
        RespirationApp* app = make<RespirationApp>();
        app->setLogPath(logs.path());
        app->setLogBreathingPattern(pattern);
        store({ { "Logging/BasebandAPOutput", false } });
        ASSERT_EQ(DeviceApp::InitializationSucceeded, app->execute());
        app->recordLog(true);
        // The recorder asks the module about itself before its first file.
        const auto respirationFiles = [&] {
            QStringList files;
            for (const QString& session : QDir(logs.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
                files += QDir(logs.path() + '/' + session)
                             .entryList(
                                 { QStringLiteral("sarvik_log_Respiration_SarvikCorvid*") }, QDir::Files);
            return files;
        };
        ASSERT_TRUE(QTest::qWaitFor([&] { return !respirationFiles().isEmpty(); }, 10000));
        QTest::qWait(2500);
        app->recordLog(false);
        const int records = respirationRecords(logs.path());
        if (pattern) {
            EXPECT_GE(records, 40);
        } else {
            EXPECT_GE(records, 2);
            EXPECT_LE(records, 4);
        }
        delete app;
    }
}

// ---- The LED strip -----------------------------------------------------------

TEST_F(CorvidAppTest, ExecuteMakesTheLedListThatShowsEveryStatusUntilDisconnected)
{
    TestPorts ports;
    TestStrip strip(teststrips::bigStrip);
    ASSERT_TRUE(strip.valid());
    ports.set({ strip.entry() });
    RespirationApp* app = make<RespirationApp>();
    EXPECT_EQ(nullptr, app->ledList());

    ASSERT_EQ(DeviceApp::InitializationSucceeded, app->execute());
    LedList* leds = app->ledList();
    ASSERT_NE(nullptr, leds);
    QTest::qWait(50);
    strip.take();

    // Movement (state 1 in the low byte) is orange; full red would be the
    // end mark.
    const int frame = 3 * LedList::ledCount + 1;
    app->radarDataApp(RespirationApp::respirationStatusId, statusPayload(9, 0x0201));
    ASSERT_TRUE(strip.waitForBytes(frame));
    const QByteArray orange = QByteArray("\xfe\x8c\x00", 3).repeated(LedList::ledCount) + '\xff';
    EXPECT_EQ(orange.toHex(' '), strip.take().toHex(' '));

    // A status of the wrong length shows nothing.
    app->radarDataApp(RespirationApp::respirationStatusId, statusPayload(10, 3).left(23));
    QTest::qWait(100);
    EXPECT_TRUE(strip.take().isEmpty());

    ASSERT_EQ(DeviceApp::InitializationSucceeded, app->execute(true));
    EXPECT_EQ(leds, app->ledList()) << "one list for the app's life";

    app->disconnectFromDevice();
    EXPECT_EQ(nullptr, app->ledList());
    const QByteArray dark = QByteArray(3 * LedList::ledCount, '\0') + '\xff';
    EXPECT_TRUE(QTest::qWaitFor([&] { return strip.received().endsWith(dark); }, 5000));
}

// ---- The Device's applications ---------------------------------------------------

TEST_F(RespirationAppTest, ACorvidsDeviceMakesTheRespirationAndSleepApps)
{
    const struct {
        quint32 supportedApps;
        QStringList names;
    } cases[] = {
        { 0x2, { "Respiration" } },
        { 0x8, { "Sleep" } },
        { 0x2 | 0x8, { "Respiration", "Sleep" } },
    };
    for (const auto& c : cases) {
        DeviceOverModule corvid(
            simmodule::personality("corvid"), SarvikDeviceInfo::CorvidDevice, c.supportedApps);
        corvid.device()->setActive(true);
        QStringList names;
        for (DeviceApp* app :
            corvid.device()->findChildren<DeviceApp*>(QString(), Qt::FindDirectChildrenOnly))
            names << app->appName();
        EXPECT_EQ(c.names, names);
        const auto sleep = corvid.device()->findChildren<SleepApp*>();
        EXPECT_EQ(c.names.contains(QStringLiteral("Sleep")) ? 1 : 0, sleep.size());
    }
}

} // namespace
