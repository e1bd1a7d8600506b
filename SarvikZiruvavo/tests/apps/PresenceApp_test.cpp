// The presence application on a Device over a simulated presence module:
// its packets and the signals they give, the state machine with the
// device-alive timer, the configuration it sends, its settings, and its
// recordings down to the files the library wrote.
#include "apps/PresenceApp.hpp"

#include "core/ApplicationProperties.hpp"
#include "support/AppHarness.hpp"
#include "support/MessageLog.hpp"
#include "support/ModuleMessages.hpp"
#include "support/QtPrinters.hpp"
#include "support/RecordedSession.hpp"
#include "support/WorkerHarness.hpp"

#include "simmodule/Messages.hpp"
#include "simmodule/Personality.hpp"

#include <linkwell/DataReader.hpp>

#include <QCoreApplication>
#include <QDir>
#include <QQmlListProperty>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QtEndian>
#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr quint32 presenceBit = 0x10;
constexpr quint32 singleId = PresenceApp::presenceSingleContentId;
constexpr quint32 movingListId = PresenceApp::presenceMovingListContentId;

QByteArray single(quint32 frame, quint32 state, float distance, quint32 quality)
{
    return payloadOf(simmodule::presence_single_message({ frame, state, distance, 0, quality }));
}

// Little-endian fields, written apart from any decoder.
class Payload {
public:
    Payload& u32(quint32 value)
    {
        char bytes[4];
        qToLittleEndian(value, bytes);
        m_bytes.append(bytes, 4);
        return *this;
    }
    Payload& f32(float value)
    {
        quint32 bits = 0;
        std::memcpy(&bits, &value, 4);
        return u32(bits);
    }
    QByteArray bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

QByteArray movingList(
    quint32 frame, quint32 count, const std::vector<float>& slow, const std::vector<float>& fast)
{
    Payload p;
    p.u32(frame).u32(1).u32(count).u32(0);
    for (float v : slow)
        p.f32(v);
    for (float v : fast)
        p.f32(v);
    return p.bytes();
}

QVector<qreal> reals(std::initializer_list<qreal> values)
{
    return QVector<qreal>(values);
}

class PresenceAppTest : public ::testing::Test {
protected:
    explicit PresenceAppTest(quint32 supportedApps = presenceBit)
        : osprey(simmodule::personality("osprey"), SarvikDeviceInfo::OspreyDevice, supportedApps)
    {
        app().initialize();
    }

    PresenceApp& app() { return *osprey.app; }
    SarvikDeviceConfiguration lastConfiguration()
    {
        const QList<SarvikDeviceConfiguration> sent = osprey.calls().configurations();
        EXPECT_FALSE(sent.isEmpty());
        return sent.isEmpty() ? SarvikDeviceConfiguration() : sent.last();
    }

    AppOverModule<PresenceApp> osprey;
};

const QStringList packetSignals { QStringLiteral("frameCounterChanged"),
    QStringLiteral("objectDistanceChanged"), QStringLiteral("movementSlowFastChanged"),
    QStringLiteral("stateChanged"), QStringLiteral("signalQualityChanged"),
    QStringLiteral("movementSlowChanged"), QStringLiteral("movementFastChanged"),
    QStringLiteral("movementSlowFastListChanged") };

// ---- Packets -----------------------------------------------------------------

TEST_F(PresenceAppTest, PresenceSingleOnAStateChangeClosesTheOldStateFirst)
{
    SignalOrder order(&app(), packetSignals);
    QSignalSpy distances(&app(), &PresenceApp::objectDistanceChanged);
    app().onAppData(singleId, single(7, PresenceApp::PresenceState, 2.5f, 80));
    EXPECT_EQ(
        (QStringList { "frameCounterChanged", "objectDistanceChanged", "movementSlowFastChanged",
            "stateChanged", "objectDistanceChanged", "movementSlowFastChanged", "signalQualityChanged" }),
        order.fired());
    ASSERT_EQ(2, distances.count());
    // The previous distance at the change, then the new one, at one time.
    EXPECT_EQ(0.0, distances.at(0).at(0).toDouble());
    EXPECT_EQ(2.5, distances.at(1).at(0).toDouble());
    EXPECT_EQ(distances.at(0).at(1).toLongLong(), distances.at(1).at(1).toLongLong());
    EXPECT_EQ(7u, app().frameCounter());
    EXPECT_EQ(uint(PresenceApp::PresenceState), app().state());
    EXPECT_EQ(80u, app().signalQuality());

    // The same state: the distance alone (and what else changed).
    order.clear();
    app().onAppData(singleId, single(8, PresenceApp::PresenceState, 2.75f, 80));
    EXPECT_EQ((QStringList { "frameCounterChanged", "objectDistanceChanged" }), order.fired());
    EXPECT_EQ(2.75, app().objectDistance());

    // Gone: the last distance stays, given twice at the same time.
    order.clear();
    distances.clear();
    app().onAppData(singleId, single(9, PresenceApp::NoPresenceState, 0.0f, 0));
    ASSERT_EQ(2, distances.count());
    for (const QList<QVariant>& emitted : qAsConst(distances))
        EXPECT_EQ(2.75, emitted.at(0).toDouble());
    EXPECT_EQ(distances.at(0).at(1), distances.at(1).at(1));
    EXPECT_EQ(2.75, app().objectDistance());
    EXPECT_EQ(
        (QStringList { "frameCounterChanged", "objectDistanceChanged", "movementSlowFastChanged",
            "stateChanged", "objectDistanceChanged", "movementSlowFastChanged", "signalQualityChanged" }),
        order.fired());
}

TEST_F(PresenceAppTest, ShortPresenceSinglesReadMissingFieldsAsZero)
{
    app().onAppData(singleId, single(5, PresenceApp::PresenceState, 1.5f, 60));
    const struct {
        const char* what;
        QByteArray data;
        quint32 frame;
        quint32 state;
        double distance;
        quint32 quality;
    } table[] = {
        { "no signal quality", single(6, 1, 2.0f, 70).left(13), 6, 1, 2.0, 0 },
        { "half a distance", single(7, 1, 2.0f, 70).left(10), 7, 1, 0.0, 0 },
        { "frame counter only", single(8, 1, 2.0f, 70).left(4), 8, 0, 0.0, 0 },
        { "empty", QByteArray(), 0, 0, 0.0, 0 },
    };
    for (const auto& row : table) {
        app().onAppData(singleId, row.data);
        EXPECT_EQ(row.frame, app().frameCounter()) << row.what;
        EXPECT_EQ(row.state, app().state()) << row.what;
        EXPECT_EQ(row.distance, app().objectDistance()) << row.what;
        EXPECT_EQ(row.quality, app().signalQuality()) << row.what;
    }
}

TEST_F(PresenceAppTest, MovingListGivesTheFirstItemsAndTheRestAsLists)
{
    QSignalSpy lists(&app(), &PresenceApp::movementSlowFastListChanged);
    QSignalSpy pair(&app(), &PresenceApp::movementSlowFastChanged);
    SignalOrder order(&app(), packetSignals);
    app().onAppData(movingListId, movingList(11, 3, { 0.5f, 0.25f, 0.125f }, { 1.5f, 1.25f, 1.0f }));
    EXPECT_EQ((QStringList { "frameCounterChanged", "movementSlowChanged", "movementFastChanged",
                  "movementSlowFastChanged", "movementSlowFastListChanged" }),
        order.fired());
    EXPECT_EQ(11u, app().frameCounter());
    EXPECT_EQ(0.5, app().movementSlow());
    EXPECT_EQ(1.5, app().movementFast());
    ASSERT_EQ(1, lists.count());
    EXPECT_EQ(reals({ 0.25, 0.125 }), lists.at(0).at(0).value<QVector<qreal>>());
    EXPECT_EQ(reals({ 1.25, 1.0 }), lists.at(0).at(1).value<QVector<qreal>>());
    EXPECT_EQ(0.5, pair.at(0).at(0).toDouble());

    // One interval: the current values, empty lists; the pair fires even
    // when neither value changed.
    order.clear();
    app().onAppData(movingListId, movingList(12, 1, { 0.5f }, { 1.5f }));
    EXPECT_EQ(
        (QStringList { "frameCounterChanged", "movementSlowFastChanged", "movementSlowFastListChanged" }),
        order.fired());
    EXPECT_TRUE(lists.last().at(0).value<QVector<qreal>>().isEmpty());
    EXPECT_TRUE(lists.last().at(1).value<QVector<qreal>>().isEmpty());

    // None: nothing at all, not even the frame counter.
    order.clear();
    app().onAppData(movingListId, movingList(13, 0, {}, {}));
    EXPECT_TRUE(order.fired().isEmpty());
    EXPECT_EQ(12u, app().frameCounter());
}

TEST_F(PresenceAppTest, MovingListCountIsBoundedByThePayload)
{
    QSignalSpy lists(&app(), &PresenceApp::movementSlowFastListChanged);
    const struct {
        const char* what;
        QByteArray data;
        double slow;
        double fast;
        QVector<qreal> slowList;
        QVector<qreal> fastList;
    } table[] = {
        // Three slow items but no fast ones: those read as 0.
        { "fast items missing", movingList(1, 3, { 0.5f, 0.25f, 0.125f }, {}), 0.5, 0.0,
            reals({ 0.25, 0.125 }), reals({ 0.0, 0.0 }) },
        // A count far beyond the payload: no more items than it holds.
        { "huge count", movingList(2, 0xFFFFFFFFu, { 0.5f, 0.25f }, {}), 0.5, 0.0, reals({ 0.25 }),
            reals({ 0.0 }) },
        { "huge count, no items", movingList(3, 0xFFFFFFFFu, {}, {}), 0.0, 0.0, {}, {} },
        { "head cut short", movingList(4, 2, {}, {}).left(12), 0.0, 0.0, {}, {} },
    };
    for (const auto& row : table) {
        lists.clear();
        app().onAppData(movingListId, row.data);
        ASSERT_EQ(1, lists.count()) << row.what;
        EXPECT_EQ(row.slow, app().movementSlow()) << row.what;
        EXPECT_EQ(row.fast, app().movementFast()) << row.what;
        EXPECT_EQ(row.slowList, lists.at(0).at(0).value<QVector<qreal>>()) << row.what;
        EXPECT_EQ(row.fastList, lists.at(0).at(1).value<QVector<qreal>>()) << row.what;
    }
}

TEST_F(PresenceAppTest, PacketsOfTheModuleReachTheConnectedApplicationOnly)
{
    ASSERT_EQ(DeviceApp::InitializationSucceeded, app().execute());
    QSignalSpy distances(&app(), &PresenceApp::objectDistanceChanged);
    EXPECT_FALSE(distances.wait(300));
    app().connectToDevice();
    ASSERT_TRUE(waitForSignals(distances, 3));
    EXPECT_NE(uint(PresenceApp::UnknownState), app().state());
    app().disconnectFromDevice();
    QTest::qWait(150);
    distances.clear();
    EXPECT_FALSE(distances.wait(300));
}

// ---- State machine and the device-alive timer --------------------------------------

TEST_F(PresenceAppTest, NewApplicationStartsUnknownWithItsTimerStopped)
{
    EXPECT_EQ(uint(PresenceApp::UnknownState), app().state());
    ASSERT_NE(nullptr, app().deviceTimer());
    EXPECT_EQ(4000, app().deviceTimer()->interval());
    EXPECT_FALSE(app().deviceTimer()->isActive());
    EXPECT_EQ(-1.0, app().movementSlow());
    EXPECT_EQ(120000u, app().movementSlowFastHistory());
    EXPECT_EQ(QStringLiteral("Presence"), app().appName());
    EXPECT_EQ(0x014D4AB8u, app().profileId());
    EXPECT_EQ(double(0.3f), app().detectionZoneMin());
    EXPECT_EQ(0.2, app().detectionZoneMinLength());
}

TEST_F(PresenceAppTest, SilentModuleShowsNoConnectionUntilAReconnect)
{
    app().setDeviceTimerInterval(100);
    ASSERT_EQ(DeviceApp::InitializationSucceeded, app().execute());
    ASSERT_TRUE(app().deviceTimer()->isActive());
    // Not connected to the data: no packet restarts the timer.
    QSignalSpy states(&app(), &PresenceApp::stateChanged);
    ASSERT_TRUE(waitUntil([&] { return app().state() == PresenceApp::NoConnectionState; }));
    EXPECT_FALSE(app().deviceTimer()->isActive());

    // A reconnect that fails keeps the timer watching.
    osprey.module.module().add_rule_first(simmodule::Rule(wire::sensitivity(5)).error(7));
    QSignalSpy initializing(&app(), &DeviceApp::initializing);
    QSignalSpy initialized(&app(), &DeviceApp::initialized);
    EXPECT_EQ(DeviceApp::InitializationFailed, app().execute(true));
    EXPECT_EQ(uint(PresenceApp::UnknownState), app().state());
    EXPECT_TRUE(app().deviceTimer()->isActive());
    EXPECT_EQ(0, initializing.count());
    EXPECT_EQ(0, initialized.count());
    ASSERT_TRUE(waitUntil([&] { return app().state() == PresenceApp::NoConnectionState; }));
}

TEST_F(PresenceAppTest, PacketsKeepTheTimerRunning)
{
    app().setDeviceTimerInterval(1000);
    ASSERT_EQ(DeviceApp::InitializationSucceeded, app().execute());
    app().connectToDevice();
    // The module streams at 10 packets a second per stream: well within
    // the interval, several intervals long.
    QTest::qWait(2500);
    EXPECT_TRUE(app().deviceTimer()->isActive());
    EXPECT_NE(uint(PresenceApp::NoConnectionState), app().state());
    osprey.module.module().stop_all_streams();
    ASSERT_TRUE(waitUntil([&] { return app().state() == PresenceApp::NoConnectionState; }));
}

TEST_F(PresenceAppTest, InitProgressAboveOneHundredIsIgnored)
{
    QSignalSpy progress(&app(), &PresenceApp::initProgressValueChanged);
    app().setInitProgressValue(40);
    app().setInitProgressValue(101);
    EXPECT_EQ(40u, app().initProgressValue());
    app().setInitProgressValue(100);
    EXPECT_EQ(100u, app().initProgressValue());
    EXPECT_EQ(2, progress.count());
    // A state change clears it, quietly.
    app().setState(PresenceApp::NoPresenceState);
    EXPECT_EQ(0u, app().initProgressValue());
    EXPECT_EQ(2, progress.count());
}

TEST(PresencePlaybackTest, PlaybackNeverStartsTheTimer)
{
    AppSettings settings;
    RecordedSession session(simmodule::personality("osprey"), Sarvik::PresenceSingleDataType, 20);
    ASSERT_FALSE(session.metaFile().isEmpty());
    DeviceOverRecording playback(session.metaFile());
    // The program's factory makes the presence application for a
    // recording of a presence module.
    QQmlListProperty<DeviceApp> apps = playback.device()->deviceApps();
    ASSERT_EQ(1, apps.count(&apps));
    auto* app = qobject_cast<PresenceApp*>(apps.at(&apps, 0));
    ASSERT_NE(nullptr, app);
    // The zone the recording covered, from its parameter file.
    EXPECT_EQ(double(0.2f), app->detectionZoneStart());
    EXPECT_EQ(double(7.9f), app->detectionZoneEnd());
    app->setDeviceTimerInterval(50);
    EXPECT_EQ(DeviceApp::InitializationSucceeded, app->execute());
    EXPECT_FALSE(app->deviceTimer()->isActive());
    QTest::qWait(200);
    EXPECT_NE(uint(PresenceApp::NoConnectionState), app->state());
}

// ---- Configuration -----------------------------------------------------------

TEST_F(PresenceAppTest, ExecuteResultsAndTheirSignals)
{
    const struct {
        const char* what;
        const char* refused; // the command the module refuses; null: none
        wire::Bytes command;
        DeviceApp::InitializationResult result;
        const char* error;
    } table[] = {
        { "success", nullptr, {}, DeviceApp::InitializationSucceeded, "" },
        { "intentional reset", "sensor mode run", wire::sensorMode(0x01),
            DeviceApp::InitializationIntentionalReset, "failed to set sensor mode run" },
        { "other failure", "sensitivity", wire::sensitivity(5), DeviceApp::InitializationFailed,
            "failed to set sensitivity" },
    };
    for (const auto& row : table) {
        AppOverModule<PresenceApp> module(
            simmodule::personality("osprey"), SarvikDeviceInfo::OspreyDevice, presenceBit);
        PresenceApp& a = *module.app;
        a.initialize();
        a.setDetectionZoneStart(1.0);
        a.setDetectionZoneEnd(3.0);
        if (row.refused) {
            module.module.module().add_rule_first(simmodule::Rule(row.command).error(7));
        }
        SignalOrder order(&a,
            { QStringLiteral("initializing"), QStringLiteral("initialized"),
                QStringLiteral("stateChanged") });
        QSignalSpy initialized(&a, &DeviceApp::initialized);
        MessageLog log;
        EXPECT_EQ(row.result, a.execute()) << row.what;
        ASSERT_EQ(1, initialized.count()) << row.what;
        EXPECT_EQ(row.result, initialized.at(0).at(0).value<DeviceApp::InitializationResult>()) << row.what;
        EXPECT_EQ(QLatin1String(row.error), initialized.at(0).at(1).toString()) << row.what;
        EXPECT_EQ((QStringList { "initializing", "initialized" }), order.fired()) << row.what;
        const bool ok = row.result == DeviceApp::InitializationSucceeded;
        EXPECT_EQ(ok ? 1 : 0, log.messages().count(QStringLiteral("Presence app executed successfully.")));
        EXPECT_EQ(ok ? 0 : 1, log.messages().count(QStringLiteral("ERROR: Presence app execute failed!")));
        EXPECT_EQ(ok, a.deviceTimer()->isActive()) << row.what;
        // The zone the module took is kept and stored; a failure keeps the
        // user's, and stores nothing.
        EXPECT_EQ(1.0, a.detectionZoneStart()) << row.what;
        EXPECT_EQ(ok ? double(2.95f) : 3.0, a.detectionZoneEnd()) << row.what;
        const QVariant stored = module.settings.stored(QStringLiteral("Presence/DetectionZoneEnd"));
        EXPECT_EQ(ok, stored.isValid()) << row.what;
        EXPECT_EQ(ok ? double(2.95f) : 0.0, stored.toDouble()) << row.what;
    }
}

TEST_F(PresenceAppTest, ExecuteWhileItsConfigureWaitsFailsAtOnceAndChangesNothing)
{
    QSignalSpy initializing(&app(), &DeviceApp::initializing);
    QSignalSpy states(&app(), &PresenceApp::stateChanged);
    DeviceApp::InitializationResult nested = DeviceApp::InitializationSucceeded;
    int initializingSeen = -1;
    QMetaObject::invokeMethod(
        &app(),
        [&] {
            initializingSeen = initializing.count();
            nested = app().execute();
        },
        Qt::QueuedConnection);
    EXPECT_EQ(DeviceApp::InitializationSucceeded, app().execute());
    EXPECT_EQ(DeviceApp::InitializationFailed, nested);
    EXPECT_EQ(1, initializingSeen);
    EXPECT_EQ(1, initializing.count());
    EXPECT_EQ(1, osprey.calls().configurations().size());
    EXPECT_TRUE(app().deviceTimer()->isActive());
}

TEST_F(PresenceAppTest, ApplicationDeletedWhileItsConfigureWaitsGoesAfterwards)
{
    QPointer<PresenceApp> guard(osprey.app);
    QMetaObject::invokeMethod(
        &app(), [&] { guard->deleteLater(); }, Qt::QueuedConnection);
    EXPECT_EQ(DeviceApp::InitializationSucceeded, app().execute());
    ASSERT_FALSE(guard.isNull());
    // Still whole: it took the zone and started its timer.
    EXPECT_TRUE(guard->deviceTimer()->isActive());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
}

TEST_F(PresenceAppTest, ZoneIsBoundedToTheModulesLimitsAndLoweredByHalfAStep)
{
    const struct {
        double zoneMin;
        double zoneMax;
        double zoneStep;
        double start;
        double end;
        float sentStart;
        float sentEnd;
    } table[] = {
        { 0.4, 5.0, 0.1, 0.1, 3.0, 0.4f, 2.95f },
        { 0.3, 5.0, 0.05, 1.0, 9.0, 1.0f, 5.0f },
        { 0.3, 7.5, 0.1, 1.0, 5.0, 1.0f, 4.95f },
        // Shorter than the shortest zone after the half step: lengthened.
        { 0.3, 7.5, 0.1, 2.0, 2.1, 2.0f, 2.2f },
    };
    for (const auto& row : table) {
        AppOverModule<PresenceApp> module(simmodule::personality("osprey"), SarvikDeviceInfo::OspreyDevice,
            presenceBit, 10, [&](SarvikDeviceInfo& info) {
                info.zoneMin = row.zoneMin;
                info.zoneMax = row.zoneMax;
                info.zoneStep = row.zoneStep;
            });
        module.app->setDetectionZoneStart(row.start);
        module.app->setDetectionZoneEnd(row.end);
        module.app->execute();
        const QList<SarvikDeviceConfiguration> sent = module.calls().configurations();
        ASSERT_EQ(1, sent.size());
        EXPECT_EQ(row.sentStart, sent.at(0).zoneStart) << row.start << " to " << row.end;
        EXPECT_EQ(row.sentEnd, sent.at(0).zoneEnd) << row.start << " to " << row.end;
    }
}

class PresenceNoiseMapTest : public PresenceAppTest {
protected:
    PresenceNoiseMapTest()
        : PresenceAppTest(presenceBit | 0x1000 | 0x2000)
    { }
};

TEST_F(PresenceNoiseMapTest, ControlValueFollowsBothChoices)
{
    const struct {
        bool stored;
        bool byDefault;
        quint32 control;
    } table[] = { { false, false, 7 }, { false, true, 6 }, { true, false, 3 }, { true, true, 2 } };
    for (const auto& row : table) {
        app().setUseStoredNoiseMap(row.stored);
        app().setUseDefaultNoiseMap(row.byDefault);
        app().execute();
        EXPECT_EQ(row.control, lastConfiguration().noiseMapControl) << row.stored << row.byDefault;
    }
}

TEST_F(PresenceAppTest, ModuleWithoutNoiseMapsIgnoresTheChoices)
{
    // Stored choices of a module that had the features.
    osprey.settings.store(
        { { "Presence/UseStoredNoiseMap", true }, { "Presence/UseDefaultNoiseMap", true } });
    app().initialize();
    EXPECT_FALSE(app().useStoredNoiseMap());
    EXPECT_FALSE(app().useDefaultNoiseMap());
    QSignalSpy stored(&app(), &PresenceApp::useStoredNoiseMapChanged);
    app().setProperty("useStoredNoiseMap", true);
    app().setUseDefaultNoiseMap(true);
    EXPECT_FALSE(app().useStoredNoiseMap());
    EXPECT_EQ(0, stored.count());
    app().execute();
    EXPECT_EQ(7u, lastConfiguration().noiseMapControl);
}

TEST_F(PresenceAppTest, EmptySettingsGiveTheDefaultOutputs)
{
    EXPECT_TRUE(app().basebandAmplitudePhaseOutputEnabled());
    EXPECT_FALSE(app().basebandOutputEnabled());
    app().execute();
    SarvikDeviceConfiguration config = lastConfiguration();
    EXPECT_EQ(0x1u | 0x80u | 0x1000u | 0x10000u, config.outputDataTypes);
    EXPECT_EQ(quint32(SarvikDeviceConfiguration::PresenceKind), config.profileKind);
    EXPECT_EQ(5u, config.sensitivity);
    EXPECT_EQ(2u, config.ledMode);
    EXPECT_EQ(5u, config.moduleDebugLevel);
    EXPECT_EQ(3u, config.frequencyBand);
    EXPECT_EQ(0u, config.ioPinFeature);
    EXPECT_FALSE(config.debugRecording);

    app().setLogRespirationNormalizedMovingListEnabled(true);
    app().setLogPulseDopplerFloatEnabled(true);
    app().setBasebandOutputEnabled(true);
    app().setIoPinControlEnabled(true);
    app().execute();
    config = lastConfiguration();
    EXPECT_EQ(0x2u | 0x40u | 0x1000u | 0x10000u | 0x40000u, config.outputDataTypes);
    EXPECT_EQ(1u, config.ioPinFeature);
}

TEST_F(PresenceAppTest, StoredIqChoiceSurvivesOnlyWithAmplitudePhaseStoredOff)
{
    const struct {
        QVariantMap stored;
        bool iq;
        bool ap;
    } table[] = {
        { { { "Logging/BasebandOutput", true } }, false, true },
        { { { "Logging/BasebandOutput", true }, { "Logging/BasebandAPOutput", false } }, true, false },
        { { { "Logging/BasebandAPOutput", false } }, false, false },
    };
    for (const auto& row : table) {
        AppOverModule<PresenceApp> module(
            simmodule::personality("osprey"), SarvikDeviceInfo::OspreyDevice, presenceBit);
        module.settings.store(row.stored);
        module.app->initialize();
        EXPECT_EQ(row.iq, module.app->basebandOutputEnabled());
        EXPECT_EQ(row.ap, module.app->basebandAmplitudePhaseOutputEnabled());
    }
}

TEST_F(PresenceAppTest, DebugRecordingWhenTheProgramLogs)
{
    ApplicationProperties::setLogLevel(1);
    app().setLogSplitUnit(DeviceApp::KiloByte);
    app().execute();
    SarvikDeviceConfiguration config = lastConfiguration();
    EXPECT_EQ(9u, config.moduleDebugLevel);
    EXPECT_TRUE(config.debugRecording);
    EXPECT_EQ(0x30u, quint32(config.debugDataTypes));
    EXPECT_EQ(osprey.settings.defaultLogPath(), config.debugDirectory);
    EXPECT_EQ(15000, config.debugSplitSize.get_byte_count());

    // No folder at all: warned about, and configured without it.
    ApplicationProperties::setDefaultLogPath(QString());
    MessageLog log;
    EXPECT_EQ(DeviceApp::InitializationSucceeded, app().execute());
    config = lastConfiguration();
    EXPECT_FALSE(config.debugRecording);
    EXPECT_EQ(QString(), config.debugDirectory);
    EXPECT_EQ(1, log.count(QStringLiteral("WARNING: invalid recording options: empty directory")));
}

// ---- Settings ----------------------------------------------------------------

TEST_F(PresenceAppTest, SavedSettingsUseTheirKeysAndLoadBack)
{
    app().setDetectionZoneStart(1.25);
    app().setDetectionZoneEnd(4.5);
    app().setSensitivity(8);
    app().setLedControl(1);
    app().setLogPath(QStringLiteral("/data/presence"));
    app().setLogSplitSize(50);
    app().setLogSplitUnit(DeviceApp::MegaByte);
    app().setLogDescription(QStringLiteral("hall"));
    app().setMovementSlowFastHistory(300000);
    app().setLogPresenceMovingListEnabled(true);
    app().setIoPinControlEnabled(true);
    app().saveSettings();
    QStringList keys = osprey.settings.keys();
    keys.sort();
    EXPECT_EQ((QStringList { "Logging/BasebandAPOutput", "Logging/BasebandOutput",
                  "Logging/PresenceMovingList", "Logging/PresenceSingle", "Logging/PulseDopplerByte",
                  "Logging/PulseDopplerFloat", "Presence/DetectionZoneEnd", "Presence/DetectionZoneStart",
                  "Presence/IoPinControlEnabled", "Presence/LEDControl", "Presence/LoggingDescription",
                  "Presence/LoggingPath", "Presence/PlotMovementSlowFastHistory",
                  "Presence/PreferredFileSplitUnit", "Presence/PreferredFileSplitValue",
                  "Presence/UseDefaultNoiseMap", "Presence/UseStoredNoiseMap", "Presence/sensitivity" }),
        keys);

    AppOverModule<PresenceApp> again(
        simmodule::personality("osprey"), SarvikDeviceInfo::OspreyDevice, presenceBit);
    // The other application's settings file.
    ApplicationProperties::setSettingsFileName(osprey.settings.settingsFile());
    again.app->initialize();
    again.app->loadSettings();
    PresenceApp& b = *again.app;
    EXPECT_EQ(1.25, b.detectionZoneStart());
    EXPECT_EQ(4.5, b.detectionZoneEnd());
    EXPECT_EQ(8u, b.sensitivity());
    EXPECT_EQ(1u, b.ledControl());
    EXPECT_EQ(QStringLiteral("/data/presence"), b.logPath());
    EXPECT_EQ(50u, b.logSplitSize());
    EXPECT_EQ(int(DeviceApp::MegaByte), b.logSplitUnit());
    EXPECT_EQ(QStringLiteral("hall"), b.logDescription());
    EXPECT_EQ(300000u, b.movementSlowFastHistory());
    EXPECT_TRUE(b.logPresenceMovingListEnabled());
    EXPECT_TRUE(b.ioPinControlEnabled());
}

TEST_F(PresenceAppTest, UntrustedSettingsAreBoundedToWhatThePagesOffer)
{
    const struct {
        const char* key;
        QVariant value;
        const char* property;
        QVariant loaded;
    } table[] = {
        { "Presence/sensitivity", 99, "sensitivity", 9u },
        { "Presence/sensitivity", -5, "sensitivity", 0u },
        { "Presence/sensitivity", "lots", "sensitivity", 5u },
        { "Presence/LEDControl", 7, "ledControl", 2u },
        { "Presence/PreferredFileSplitValue", 0, "logSplitSize", 2u },
        { "Presence/PreferredFileSplitValue", -1, "logSplitSize", 2u },
        { "Presence/PreferredFileSplitValue", 5000, "logSplitSize", 200u },
        { "Presence/PreferredFileSplitValue", "4294967297", "logSplitSize", 200u },
        { "Presence/PreferredFileSplitUnit", 9, "logSplitUnit", 0 },
        { "Presence/PlotMovementSlowFastHistory", 10, "movementSlowFastHistory", 30000u },
        { "Presence/PlotMovementSlowFastHistory", 99999999, "movementSlowFastHistory", 600000u },
        { "Presence/DetectionZoneStart", -50.0, "detectionZoneStart", double(0.3f) },
        { "Presence/DetectionZoneStart", "nan", "detectionZoneStart", double(0.3f) },
        { "Presence/DetectionZoneEnd", 1e9, "detectionZoneEnd", double(7.5f) },
    };
    for (const auto& row : table) {
        AppOverModule<PresenceApp> module(
            simmodule::personality("osprey"), SarvikDeviceInfo::OspreyDevice, presenceBit);
        module.settings.store({ { QString::fromLatin1(row.key), row.value } });
        module.app->initialize();
        module.app->loadSettings();
        const QVariant actual = module.app->property(row.property);
        EXPECT_EQ(row.loaded.toDouble(), actual.toDouble())
            << row.key << " = " << row.value.toString().toStdString();
    }
}

// ---- Recording ---------------------------------------------------------------

QString indexFileBelow(const QString& directory)
{
    for (const QString& session : QDir(directory).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString file = directory + '/' + session + QStringLiteral("/sarvik_recording_meta.dat");
        if (QFile::exists(file))
            return file;
    }
    return QString();
}

TEST_F(PresenceAppTest, RecordingStartsEachTypeWithItsOptionsAndTheLibraryWritesTheHeader)
{
    app().setLogDescription(QStringLiteral("K\u00fcche"));
    app().setDetectionZoneStart(1.0);
    app().setDetectionZoneEnd(3.0);
    ASSERT_EQ(DeviceApp::InitializationSucceeded, app().execute());
    app().connectToDevice();
    osprey.calls().clear();
    app().setProperty("recordingEnabled", true);
    ASSERT_TRUE(app().recordingEnabled());
    EXPECT_EQ(osprey.settings.defaultLogPath(), app().recordingPath());

    const QList<WorkerCall> calls = osprey.calls().recordingCalls();
    QList<quint32> started;
    QList<bool> withHeader;
    std::string session;
    for (const WorkerCall& call : calls) {
        ASSERT_EQ(QByteArray("startRecording"), call.method);
        started.append(call.arguments.at(0).value<Sarvik::DataTypes>());
        EXPECT_EQ(osprey.settings.defaultLogPath(), call.arguments.at(1).toString());
        const auto options = call.arguments.at(2).value<Sarvik::RecordingOptions>();
        withHeader.append(!options.get_user_header().empty());
        if (session.empty())
            session = options.get_session_id();
        EXPECT_EQ(session, options.get_session_id());
    }
    // Baseband and pulse-Doppler without the header, then the application's
    // data with it (the respiration types stay empty for presence).
    EXPECT_EQ((QList<quint32> { 0x1, 0x80, 0x1000, 0x8000, 0x4000, 0x8, 0x10000 }), started);
    EXPECT_EQ((QList<bool> { false, false, true, true, true, true, true }), withHeader);

    // Let the presence packets reach the recording, then stop.
    QSignalSpy frames(&app(), &DeviceApp::frameCounterChanged);
    ASSERT_TRUE(waitForSignals(frames, 5));
    osprey.calls().clear();
    app().recordLog(false);
    EXPECT_FALSE(app().recordingEnabled());
    ASSERT_EQ(1, osprey.calls().recordingCalls().size());
    EXPECT_EQ(QByteArray("stopRecording"), osprey.calls().recordingCalls().at(0).method);
    EXPECT_EQ(
        0x5F0CFu, quint32(osprey.calls().recordingCalls().at(0).arguments.at(0).value<Sarvik::DataTypes>()));

    QString index;
    ASSERT_TRUE(
        waitUntil([&] { return !(index = indexFileBelow(osprey.settings.defaultLogPath())).isEmpty(); }));
    Sarvik::DataReader reader;
    ASSERT_TRUE(waitUntil([&] { return reader.open(index.toStdString(), -1) == 0; }));
    EXPECT_EQ(session, reader.get_session_id());
    reader.set_filter(Sarvik::PresenceSingleDataType);
    const Sarvik::DataRecord header = reader.read_record();
    ASSERT_TRUE(header.is_valid);
    ASSERT_TRUE(header.is_user_header);
    const QByteArray text(reinterpret_cast<const char*>(header.data.data()), int(header.data.size()));
    QStringList lines = QString::fromLatin1(text).split('\n');
    ASSERT_EQ(15, lines.size()) << text.toStdString();
    EXPECT_EQ(QString(), lines.takeLast());
    ASSERT_TRUE(lines[7].startsWith(QStringLiteral("# Time: ")));
    lines[7] = QStringLiteral("# Time: <masked>");
    const Device& device = osprey.device();
    EXPECT_EQ(
        (QStringList { "# Log header", "#-------------------------------------", "# Application: Presence",
            QStringLiteral("# Log description: K\u00fcche"),
            "# Device: " + device.deviceName() + ", " + device.deviceInfo(),
            "# FW Version: " + device.deviceFWVersion(), "# SW Version: 2.7.3", "# Time: <masked>", "#",
            "# Module settings", "#-------------------------------------",
            // The zone the module took.
            "# Detection zone: 1 to 2.95", "# Sensitivity: 5", "#-------------------------------------" }),
        lines);
    EXPECT_TRUE(text.contains("K\xfc"
                              "che"));
    const Sarvik::DataRecord first = reader.read_record();
    ASSERT_TRUE(first.is_valid);
    EXPECT_FALSE(first.is_user_header);
    EXPECT_EQ(uint32_t(Sarvik::PresenceSingleDataType), first.data_type);
}

TEST_F(PresenceAppTest, RefusedRecordingStartClearsTheState)
{
    // Never configured: the worker has no connection to record from.
    QSignalSpy errors(&app(), &DeviceApp::recordingError);
    QSignalSpy changed(&app(), &DeviceApp::recordingEnabledChanged);
    app().recordLog(true);
    ASSERT_TRUE(waitForSignals(errors, 1));
    EXPECT_TRUE(errors.at(0).at(0).toString().startsWith(QStringLiteral("cannot start recording")));
    ASSERT_TRUE(waitUntil([&] { return !app().recordingEnabled(); }));
    EXPECT_EQ(QString(), app().recordingPath());
    EXPECT_EQ(2, changed.count());
}

TEST_F(PresenceAppTest, RecordingOfNothingIsRefused)
{
    app().setBasebandAmplitudePhaseOutputEnabled(false);
    app().setLogPulseDopplerByteEnabled(false);
    app().setLogPresenceSingleEnabled(false);
    app().setLogRespirationMovingListEnabled(false);
    app().setLogRespirationDetectionListEnabled(false);
    app().setLogBreathingPattern(false);
    app().setLogVitalSignsEnabled(false);
    QSignalSpy errors(&app(), &DeviceApp::recordingError);
    QSignalSpy changed(&app(), &DeviceApp::recordingEnabledChanged);
    app().setProperty("recordingEnabled", true);
    EXPECT_FALSE(app().recordingEnabled());
    EXPECT_EQ(1, errors.count());
    // The switch that asked reads the flag again.
    EXPECT_EQ(1, changed.count());
    EXPECT_TRUE(osprey.calls().recordingCalls().isEmpty());
}

TEST_F(PresenceAppTest, ExecuteKeepsARecordingGoingInANewSession)
{
    ASSERT_EQ(DeviceApp::InitializationSucceeded, app().execute());
    app().recordLog(true);
    osprey.calls().clear();
    ASSERT_EQ(DeviceApp::InitializationSucceeded, app().execute());
    EXPECT_TRUE(app().recordingEnabled());
    const QList<QByteArray> methods = osprey.calls().methods();
    const int stop = methods.indexOf("stopRecording");
    const int configure = methods.indexOf("configure");
    const int start = methods.indexOf("startRecording");
    ASSERT_GE(stop, 0);
    EXPECT_LT(stop, configure);
    EXPECT_LT(configure, start);

    // Deleting the application ends its recording.
    osprey.calls().clear();
    delete osprey.app.data();
    ASSERT_EQ(1, osprey.calls().recordingCalls().size());
    EXPECT_EQ(QByteArray("stopRecording"), osprey.calls().recordingCalls().at(0).method);
}

} // namespace
