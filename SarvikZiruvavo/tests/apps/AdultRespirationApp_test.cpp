// The respiration family over a Device of a simulated Falcon: its constants,
// its states, the decoding of each content id, and the sleep analysis it
// feeds (the fake plug-in, held by the Device's parent as the device manager
// holds the real one).
#include "apps/AdultRespirationApp.hpp"
#include "apps/AdultRespirationLoMemApp.hpp"
#include "apps/BabyRespirationApp.hpp"
#include "apps/BabyRespirationLoMemApp.hpp"
#include "apps/HeartrateApp.hpp"
#include "apps/SleepAnalysisInterface.hpp"
#include "core/ApplicationProperties.hpp"
#include "device/DeviceManager.hpp"
#include "device/SleepAnalysisPluginLoader.hpp"
#include "support/AppHarness.hpp"
#include "support/DeviceHarness.hpp"
#include "support/FakeSleepAnalysis.hpp"
#include "support/MessageLog.hpp"
#include "support/ModuleMessages.hpp"
#include "support/QtPrinters.hpp"

#include "simmodule/PayloadWriter.hpp"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>

namespace {

using simmodule::PayloadWriter;

constexpr uint sleepId = 0x2375A16C;
constexpr uint vitalId = 0x20020102;
constexpr uint respirationId = 0x2375FE26;
constexpr uint movingId = 0x610A3B00;
constexpr uint normalizedId = 0xC3A331CF;
constexpr uint detectionId = 0x610A3B02;

QByteArray sleepPacket(quint32 counter, quint32 state, float rpm, quint32 quality = 80)
{
    return byteArrayOf(
        PayloadWriter().u32(counter).u32(state).f32(rpm).f32(1.5f).u32(quality).f32(0).f32(0).take());
}

QByteArray vitalPacket(quint32 counter, quint32 state, float rpm, float heart = 60,
    float heartDistance = 1.5f, float heartConfidence = 0.8f)
{
    return byteArrayOf(
        PayloadWriter()
            .u32(counter)
            .u32(state)
            .f32s({ rpm, 1.45f, 0.9f, heart, heartDistance, heartConfidence, 3.0f, 1.5f, 0.4f, 4.4f })
            .take());
}

QByteArray detectionPacket(
    quint32 counter, const std::vector<float>& distances, const std::vector<float>& rcs)
{
    std::vector<float> padded = rcs;
    padded.resize(distances.size(), 0.0f);
    return byteArrayOf(PayloadWriter()
                           .u32(counter)
                           .u32(quint32(distances.size()))
                           .f32s(distances)
                           .f32s(padded)
                           .f32s(std::vector<float>(distances.size(), 0.0f))
                           .take());
}

// A device manager as far as the applications see one: the parent of their
// Device that holds the sleep-analysis plug-in.
class PluginManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool hasSleepAnalysisPlugin READ hasSleepAnalysisPlugin CONSTANT)
public:
    bool hasSleepAnalysisPlugin() const { return plugin != nullptr; }
    Q_INVOKABLE SleepAnalysisInterface* sleepAnalysisPlugin() const { return plugin; }
    SleepAnalysisInterface* plugin = nullptr;
};

// The fake plug-in, loaded once for the whole test program.
SleepAnalysisInterface* fakePlugin()
{
    static QTemporaryDir programDirectory;
    static SleepAnalysisInterface* const plugin = [] {
        FakeSleepAnalysis::install(FakeSleepAnalysis::pluginPath(), programDirectory.filePath("plugins"));
        return SleepAnalysisPluginLoader::load(programDirectory.path()).analysis;
    }();
    return plugin;
}

class AdultRespirationAppTest : public ::testing::Test {
protected:
    // An application of the class on the Device, initialised and connected
    // to the Device's data.
    template <typename App = AdultRespirationApp> App* make()
    {
        auto* app = new App(module.device());
        app->initialize();
        app->connectToDevice();
        return app;
    }

    void send(uint contentId, const QByteArray& payload)
    {
        emit module.device()->sigNewDataApp(contentId, payload);
    }

    AppSettings appSettings;
    PluginManager manager;
    DeviceOverModule module { simmodule::personality("falcon"), SarvikDeviceInfo::FalconDevice,
        0x20 | 0x40 | 0x200 | 0x400 };
};

} // namespace

TEST_F(AdultRespirationAppTest, EachClassHasItsConstants)
{
    struct Row {
        std::function<AdultRespirationApp*(Device*)> make;
        const char* className;
        const char* appName;
        const char* group;
        const char* descriptiveName;
        quint32 profileId;
        quint32 profileKind;
        double zoneMaxLength;
        uint rpmMin;
        uint rpmMax;
    };
    const Row rows[] = {
        { [](Device* d) { return new AdultRespirationApp(d); }, "AdultRespirationApp", "Adult Respiration",
            "Adult Respiration", "Respiration_2\nAdult, 0.4-5.0 m range\nFeature Optimized", 0x064E57AD, 3,
            4.6, 8, 30 },
        { [](Device* d) { return new BabyRespirationApp(d); }, "BabyRespirationApp", "Baby Respiration",
            "Baby Respiration", "Respiration_3\nBaby, 0.4-5.0 m range\nFeature Optimized", 0x47FABEBA, 2, 4.6,
            15, 65 },
        { [](Device* d) { return new AdultRespirationLoMemApp(d); }, "AdultRespirationApp",
            "Adult Respiration", "Adult Respiration Memory Optimized",
            "Respiration_4\nAdult, 0.4-3.0 m range\nMemory Optimized", 0x064E57AD, 5, 2.6, 8, 30 },
        { [](Device* d) { return new BabyRespirationLoMemApp(d); }, "BabyRespirationApp", "Baby Respiration",
            "Baby Respiration Memory Optimized", "Respiration_5\nBaby, 0.4-3.5 m range\nMemory Optimized",
            0x47FABEBA, 4, 3.1, 15, 65 },
        { [](Device* d) { return new HeartrateApp(d); }, "HeartrateApp", "Heartrate", "Heartrate",
            "Heartrate\n0.4-5.0 m range\n", 0x064E57AD, 8, 4.6, 8, 30 },
    };
    for (const Row& row : rows) {
        std::unique_ptr<AdultRespirationApp> app(row.make(module.device()));
        SCOPED_TRACE(row.descriptiveName);
        EXPECT_STREQ(row.className, app->metaObject()->className());
        EXPECT_EQ(QString::fromUtf8(row.appName), app->appName());
        EXPECT_EQ(QString::fromUtf8(row.group), app->settingsGroup());
        EXPECT_EQ(QString::fromUtf8(row.descriptiveName), app->descriptiveName());
        EXPECT_EQ(row.profileId, app->profileId());
        EXPECT_EQ(row.profileKind, app->profileKind());
        EXPECT_DOUBLE_EQ(0.4, app->detectionZoneMin());
        EXPECT_DOUBLE_EQ(row.zoneMaxLength, app->detectionZoneMaxLength());
        EXPECT_DOUBLE_EQ(0.4 + row.zoneMaxLength, app->detectionZoneMax());
        EXPECT_DOUBLE_EQ(0.2, app->detectionZoneMinLength());
        EXPECT_EQ(row.rpmMin, app->property("rpmMin").toUInt());
        EXPECT_EQ(row.rpmMax, app->property("rpmMax").toUInt());
        EXPECT_EQ(3u, app->state());
        EXPECT_EQ(960, app->hypnogramBufferLength());
        EXPECT_EQ(30, app->property("epochLength").toInt());
    }
    BabyRespirationLoMemApp babyLoMem(module.device());
    EXPECT_TRUE(qobject_cast<BabyRespirationApp*>(&babyLoMem));
    AdultRespirationApp adult(module.device());
    EXPECT_FALSE(qobject_cast<HeartrateApp*>(&adult));
    EXPECT_FALSE(qobject_cast<BabyRespirationApp*>(&adult));
}

// Presence's states reach the family as its own: 4 as NoConnectionState,
// anything else as UnknownState; the values are told again each time.
TEST_F(AdultRespirationAppTest, PresenceStatesMapToTheFamilysStates)
{
    AdultRespirationApp* app = make();
    SignalOrder order(app);
    app->setState(4);
    EXPECT_EQ(uint(AdultRespirationApp::NoConnectionState), app->state());
    EXPECT_EQ((QStringList { "stateChanged", "objectDistanceChanged", "signalQualityChanged",
                  "movementSlowFastChanged", "rpmChanged", "rcsChanged", "objectMovementChanged",
                  "heartrateChanged" }),
        order.fired());
    app->setState(3);
    EXPECT_EQ(uint(AdultRespirationApp::UnknownState), app->state());
    app->setState(1);
    EXPECT_EQ(uint(AdultRespirationApp::UnknownState), app->state());
}

TEST_F(AdultRespirationAppTest, SleepAndVitalSignsDriveStateAndRate)
{
    AdultRespirationApp* app = make();
    QSignalSpy rpm(app, &AdultRespirationApp::rpmChanged);
    SignalOrder order(app);

    send(sleepId, sleepPacket(10, 0, 13.5f, 77));
    EXPECT_EQ(0u, app->state());
    EXPECT_FLOAT_EQ(13.5f, app->rpm());
    EXPECT_EQ(10u, app->frameCounter());
    EXPECT_EQ(77u, app->signalQuality());
    EXPECT_EQ((QStringList { "frameCounterChanged", "signalQualityChanged", "stateChanged",
                  "objectDistanceChanged", "objectMovementChanged", "rpmChanged", "rcsChanged",
                  "movementSlowFastChanged", "heartrateChanged", "rpmChanged" }),
        order.fired());

    // Movement: the rate holds its last value and is still told.
    order.clear();
    rpm.clear();
    send(sleepId, sleepPacket(11, 1, 22.0f));
    EXPECT_EQ(1u, app->state());
    EXPECT_FLOAT_EQ(13.5f, app->rpm());
    EXPECT_EQ(2, rpm.count());
    EXPECT_FLOAT_EQ(13.5f, rpm.last().at(0).toFloat());

    // The same state again: nothing but the rate.
    order.clear();
    send(sleepId, sleepPacket(12, 1, 22.0f));
    EXPECT_EQ((QStringList { "frameCounterChanged", "rpmChanged" }), order.fired());

    send(vitalId, vitalPacket(13, 7, 15.0f));
    EXPECT_EQ(7u, app->state());
    EXPECT_FLOAT_EQ(15.0f, app->rpm());

    // A sleep packet reporting breathing takes an adult out of the heart-rate state.
    send(sleepId, sleepPacket(14, 0, 12.0f));
    EXPECT_EQ(0u, app->state());
}

TEST_F(AdultRespirationAppTest, HeartrateAppKeepsItsStateOnBreathingSleepPackets)
{
    HeartrateApp* app = make<HeartrateApp>();
    send(vitalId, vitalPacket(1, 7, 14.0f));
    ASSERT_EQ(7u, app->state());
    QSignalSpy state(app, &PresenceApp::stateChanged);
    send(sleepId, sleepPacket(2, 0, 16.0f));
    EXPECT_EQ(7u, app->state());
    EXPECT_EQ(0, state.count());
    EXPECT_FLOAT_EQ(16.0f, app->rpm());
    // Vital signs are not bent: breathing there is breathing.
    send(vitalId, vitalPacket(3, 0, 14.0f));
    EXPECT_EQ(0u, app->state());
    // Movement leaves the heart-rate state on a sleep packet too.
    send(vitalId, vitalPacket(4, 7, 14.0f));
    send(sleepId, sleepPacket(5, 1, 14.0f));
    EXPECT_EQ(1u, app->state());
}

TEST_F(AdultRespirationAppTest, HeartValuesAreToldWhenOneChanges)
{
    AdultRespirationApp* app = make();
    send(vitalId, vitalPacket(1, 0, 14.0f, 50.0f, 1.0f, 0.5f)); // the state changes: all values are told
    QSignalSpy heart(app, &AdultRespirationApp::heartrateChanged);
    send(vitalId, vitalPacket(1, 0, 14.0f, 61.0f, 1.4f, 0.7f));
    ASSERT_EQ(1, heart.count());
    EXPECT_FLOAT_EQ(61.0f, heart.last().at(0).toFloat());
    EXPECT_FLOAT_EQ(1.4f, heart.last().at(1).toFloat());
    EXPECT_FLOAT_EQ(0.7f, heart.last().at(2).toFloat());
    EXPECT_FLOAT_EQ(61.0f, app->heartrate());
    EXPECT_FLOAT_EQ(1.4f, app->heartDistance());
    EXPECT_FLOAT_EQ(0.7f, app->heartrateConfidence());
    heart.clear();
    send(vitalId, vitalPacket(2, 0, 14.0f, 61.0f, 1.4f, 0.7f));
    EXPECT_EQ(0, heart.count());
    send(vitalId, vitalPacket(3, 0, 14.0f, 61.0f, 1.4f, 0.75f));
    EXPECT_EQ(1, heart.count());
    // No plug-in: no stage and no hypnogram.
    EXPECT_EQ(0, app->sleepStage());
    EXPECT_TRUE(app->hypnogram().isEmpty());
}

TEST_F(AdultRespirationAppTest, RespirationGivesTheBreathingPattern)
{
    AdultRespirationApp* app = make();
    QSignalSpy movement(app, &AdultRespirationApp::objectMovementChanged);
    const QByteArray packet
        = byteArrayOf(PayloadWriter().u32(1).u32(0).u32(14).f32(1.2f).f32(-1.75f).u32(80).take());
    send(respirationId, packet);
    send(respirationId, packet);
    EXPECT_FLOAT_EQ(-1.75f, app->objectMovement());
    ASSERT_EQ(2, movement.count()); // every packet, changed or not
    EXPECT_FLOAT_EQ(-1.75f, movement.last().at(0).toFloat());
    send(respirationId, packet.left(18));
    EXPECT_EQ(0.0f, app->objectMovement());
}

TEST_F(AdultRespirationAppTest, MovingListsGiveCurrentValuesAndLists)
{
    AdultRespirationApp* app = make();
    QSignalSpy lists(app, &PresenceApp::movementSlowFastListChanged);
    QSignalSpy normalized(app, &PresenceApp::normalizedMovementSlowFastListChanged);
    QSignalSpy values(app, &PresenceApp::movementSlowFastChanged);

    send(movingId, byteArrayOf(PayloadWriter().u32(4).u32(3).f32s({ 10, 11, 12 }).f32s({ 5, 6, 7 }).take()));
    EXPECT_EQ(4u, app->frameCounter());
    EXPECT_EQ(10.0, app->movementSlow());
    EXPECT_EQ(5.0, app->movementFast());
    ASSERT_EQ(1, values.count());
    ASSERT_EQ(1, lists.count());
    EXPECT_EQ((QVector<qreal> { 11, 12 }), lists.last().at(0).value<QVector<qreal>>());
    EXPECT_EQ((QVector<qreal> { 6, 7 }), lists.last().at(1).value<QVector<qreal>>());

    send(movingId, byteArrayOf(PayloadWriter().u32(5).u32(1).f32(2).f32(1).take()));
    EXPECT_EQ(2.0, app->movementSlow());
    EXPECT_TRUE(lists.last().at(0).value<QVector<qreal>>().isEmpty());
    EXPECT_TRUE(lists.last().at(1).value<QVector<qreal>>().isEmpty());

    send(normalizedId,
        byteArrayOf(
            PayloadWriter().u32(6).f32(0.4f).f32(0.05f).u32(2).f32s({ 0, -3 }).f32s({ 9.99f, 0 }).take()));
    EXPECT_EQ(6u, app->frameCounter());
    EXPECT_DOUBLE_EQ(-20.0, app->normalizedMovementSlow());
    EXPECT_NEAR(10.0, app->normalizedMovementFast(), 1e-5);
    ASSERT_EQ(1, normalized.count());
    EXPECT_EQ((QVector<qreal> { -20.0 }), normalized.last().at(0).value<QVector<qreal>>()); // -3 is floored
    EXPECT_EQ(2, lists.count()); // the plain lists were not touched
}

// A count of 0, or one the payload cannot hold, does nothing at all: no
// frame counter, no value, no signal.
TEST_F(AdultRespirationAppTest, UntrustedCountsDoNothing)
{
    AdultRespirationApp* app = make();
    send(sleepId, sleepPacket(1, 0, 13.0f));
    send(detectionId, detectionPacket(2, { 1.5f, 1.6f }, { 0.8f, 0.2f }));
    const uint frame = app->frameCounter();
    SignalOrder order(app);
    const struct {
        const char* name;
        uint contentId;
        QByteArray payload;
    } cases[] = {
        { "moving list of 0", movingId, byteArrayOf(PayloadWriter().u32(9).u32(0).take()) },
        { "moving list of 0xFFFFFFFF", movingId, byteArrayOf(PayloadWriter().u32(9).u32(0xFFFFFFFF).take()) },
        { "moving list one item short", movingId,
            byteArrayOf(PayloadWriter().u32(9).u32(2).f32s({ 1, 2, 3 }).take()) },
        { "normalized list of 0", normalizedId,
            byteArrayOf(PayloadWriter().u32(9).f32(0).f32(0).u32(0).take()) },
        { "normalized list of 0xFFFFFFFF", normalizedId,
            byteArrayOf(PayloadWriter().u32(9).f32(0).f32(0).u32(0xFFFFFFFF).take()) },
        { "detection list of 0xFFFFFFFF", detectionId,
            byteArrayOf(PayloadWriter().u32(9).u32(0xFFFFFFFF).take()) },
    };
    for (const auto& c : cases) {
        send(c.contentId, c.payload);
        EXPECT_EQ(frame, app->frameCounter()) << c.name;
        EXPECT_TRUE(order.fired().isEmpty()) << c.name << ": " << order.fired().join(' ').toStdString();
        order.clear();
    }
    EXPECT_EQ(2u, app->detectionCount());
}

TEST_F(AdultRespirationAppTest, DetectionListUpdatesDistancesByState)
{
    AdultRespirationApp* app = make();
    QSignalSpy count(app, &AdultRespirationApp::detectionCountChanged);
    QSignalSpy breathing(app, &AdultRespirationApp::breathingDistanceChanged);
    QSignalSpy distance(app, &PresenceApp::objectDistanceChanged);
    QSignalSpy rcs(app, &AdultRespirationApp::rcsChanged);

    // Unknown state (no packet yet): the object distance and the cross-section wait.
    send(detectionId, detectionPacket(1, { 1.5f, 1.55f, 3.0f }, { 0.8f, 0.3f, 0.1f }));
    EXPECT_EQ(1u, app->frameCounter());
    EXPECT_EQ(0.0, app->objectDistance());
    EXPECT_EQ(0.0f, app->rcs());
    EXPECT_FLOAT_EQ(1.55f, app->breathingDistance());
    EXPECT_EQ(3u, app->detectionCount());
    EXPECT_EQ(1, count.count());
    EXPECT_EQ(1, breathing.count());
    EXPECT_EQ(1, distance.count());
    EXPECT_EQ(1, rcs.count());

    for (quint32 state : { 0u, 1u, 2u, 7u }) {
        send(vitalId, vitalPacket(2, state, 14.0f));
        send(detectionId, detectionPacket(3, { 1.5f + 0.1f * state, 1.55f }, { 0.8f }));
        EXPECT_FLOAT_EQ(1.5f + 0.1f * state, float(app->objectDistance())) << state;
        EXPECT_FLOAT_EQ(0.8f, app->rcs()) << state;
    }
    EXPECT_EQ(2, count.count());
    EXPECT_EQ(1, breathing.count()); // 1.55 all along

    // One detection: the object, not the breathing.
    breathing.clear();
    send(detectionId, detectionPacket(4, { 2.0f }, { 0.5f }));
    EXPECT_FLOAT_EQ(2.0f, float(app->objectDistance()));
    EXPECT_FLOAT_EQ(1.55f, app->breathingDistance());
    EXPECT_EQ(0, breathing.count());

    // None: the distance stays, the cross-section becomes 0.
    send(detectionId, detectionPacket(5, {}, {}));
    EXPECT_FLOAT_EQ(2.0f, float(app->objectDistance()));
    EXPECT_EQ(0.0f, app->rcs());
    EXPECT_EQ(0u, app->detectionCount());

    // Breathing distances within a relative 1e-5 are the same.
    breathing.clear();
    send(detectionId, detectionPacket(6, { 2.0f, 1.55001f }, { 0.5f }));
    EXPECT_EQ(0, breathing.count());
    EXPECT_FLOAT_EQ(1.55f, app->breathingDistance());
    send(detectionId, detectionPacket(7, { 2.0f, 1.5502f }, { 0.5f }));
    EXPECT_EQ(1, breathing.count());
    EXPECT_FLOAT_EQ(1.5502f, app->breathingDistance());
}

// The plug-in the Device's manager holds is taken into use on saveSettings,
// when it accepts the limits; from then on it gets every vital-signs frame.
TEST_F(AdultRespirationAppTest, SleepAnalysisIsFedVitalSigns)
{
    SleepAnalysisInterface* plugin = fakePlugin();
    ASSERT_TRUE(plugin);
    QObject* recorder = FakeSleepAnalysis::recorder(plugin);
    FakeSleepAnalysis::clearCalls(recorder);
    FakeSleepAnalysis::setHypnogram(recorder, QByteArray());
    FakeSleepAnalysis::setSleepStage(recorder, 0);
    manager.plugin = plugin;
    module.device()->setParent(&manager);

    AdultRespirationApp* app = make();
    send(vitalId, vitalPacket(1, 0, 14.0f));
    EXPECT_TRUE(FakeSleepAnalysis::calls(recorder).isEmpty()) << "fed before it was initialised";

    app->saveSettings();
    const QList<FakeSleepAnalysis::Call> init = FakeSleepAnalysis::calls(recorder);
    ASSERT_EQ(1, init.size());
    EXPECT_EQ("initialize", init[0].name);
    EXPECT_EQ(QVariantList { QStringLiteral("[Limits]\nEpochLength = 30;\nHypnogramBufferLength = 960;\n") },
        init[0].arguments);
    EXPECT_EQ(960, appSettings.stored("Adult Respiration/HypnogramBufferLength").toInt());

    FakeSleepAnalysis::clearCalls(recorder);
    FakeSleepAnalysis::setHypnogram(recorder, QByteArray("\x04\x02\x01\xff", 4));
    FakeSleepAnalysis::setSleepStage(recorder, 1);
    QSignalSpy hypnogram(app, &AdultRespirationApp::hypnogramChanged);
    QSignalSpy stage(app, &AdultRespirationApp::sleepStageChanged);
    send(vitalId, vitalPacket(21, 7, 12.5f, 61.0f, 1.4f, 0.8f));
    const QList<FakeSleepAnalysis::Call> fed = FakeSleepAnalysis::calls(recorder);
    ASSERT_EQ(
        (QStringList { "addVitalSigns", "hypnogram", "sleepStage" }), FakeSleepAnalysis::callNames(recorder));
    // The heart-rate state goes to the analysis as breathing.
    const QVariantList expected { 21u, 0u, 12.5f, 1.45f, 0.9f, 61.0f, 1.4f, 0.8f, 3.0f, 1.5f, 0.4f, 4.4f };
    EXPECT_EQ(expected, fed[0].arguments);
    ASSERT_EQ(1, hypnogram.count());
    EXPECT_EQ((QVector<int> { 4, 2, 1, 255 }), app->hypnogram());
    EXPECT_EQ((QVector<int> { 4, 2, 1, 255 }), hypnogram.last().at(0).value<QVector<int>>());
    ASSERT_EQ(1, stage.count());
    EXPECT_EQ(1, app->sleepStage());
    EXPECT_EQ(7u, app->state()); // the application keeps the module's state

    // The same answers again change nothing.
    send(vitalId, vitalPacket(22, 0, 12.5f));
    EXPECT_EQ(1, hypnogram.count());
    EXPECT_EQ(1, stage.count());
    FakeSleepAnalysis::setHypnogram(recorder, QByteArray("\x04\x02\x01\xff\x03", 5));
    send(vitalId, vitalPacket(23, 0, 12.5f));
    EXPECT_EQ(2, hypnogram.count());

    // Reset: asked for, and when the user moves the playback position.
    FakeSleepAnalysis::clearCalls(recorder);
    app->resetSal();
    emit module.device()->playbackPositionUpdatedManually();
    EXPECT_EQ((QStringList { "reset", "reset" }), FakeSleepAnalysis::callNames(recorder));

    // The version is in the About text.
    EXPECT_EQ(5, app->swInfo().count('\n'));
    EXPECT_TRUE(app->swInfo().endsWith("SAL Version: fake-sleep-analysis 1.0\n"))
        << app->swInfo().toStdString();
    module.device()->setParent(nullptr);
}

TEST_F(AdultRespirationAppTest, RefusedOrMissingPluginIsNotFed)
{
    SleepAnalysisInterface* plugin = fakePlugin();
    ASSERT_TRUE(plugin);
    QObject* recorder = FakeSleepAnalysis::recorder(plugin);
    FakeSleepAnalysis::clearCalls(recorder);
    FakeSleepAnalysis::setInitializeResult(recorder, 3);
    manager.plugin = plugin;
    module.device()->setParent(&manager);
    AdultRespirationApp* app = make();
    MessageLog log;
    app->saveSettings();
    EXPECT_TRUE(log.warnings().contains("Failed to initialize SAL!"))
        << log.warnings().join('|').toStdString();
    send(vitalId, vitalPacket(1, 0, 14.0f));
    app->resetSal();
    EXPECT_EQ(QStringList { "initialize" }, FakeSleepAnalysis::callNames(recorder));
    FakeSleepAnalysis::setInitializeResult(recorder, 0);
    module.device()->setParent(nullptr);

    // No manager: the application runs without, and says nothing of it.
    FakeSleepAnalysis::clearCalls(recorder);
    AdultRespirationApp* alone = make();
    alone->saveSettings();
    send(vitalId, vitalPacket(2, 0, 14.0f));
    EXPECT_TRUE(FakeSleepAnalysis::calls(recorder).isEmpty());
    EXPECT_EQ(4, alone->swInfo().count('\n'));
}

// The stored hypnogram length reaches the analysis only within the half hour
// to ten hours the settings page offers.
TEST_F(AdultRespirationAppTest, StoredHypnogramLengthIsBounded)
{
    SleepAnalysisInterface* plugin = fakePlugin();
    ASSERT_TRUE(plugin);
    QObject* recorder = FakeSleepAnalysis::recorder(plugin);
    manager.plugin = plugin;
    module.device()->setParent(&manager);
    const struct {
        const char* stored;
        int length;
    } cases[] = {
        { "480", 480 },
        { "60", 60 },
        { "1200", 1200 },
        { "59", 60 },
        { "0", 60 },
        { "-5", 60 },
        { "2147483647", 1200 },
        { "99999999999999", 1200 },
        { "1e3", 960 },
        { "", 960 },
        { "lots", 960 },
    };
    for (const auto& c : cases) {
        appSettings.store(
            { { "Adult Respiration Memory Optimized/HypnogramBufferLength", QString::fromUtf8(c.stored) } });
        std::unique_ptr<AdultRespirationLoMemApp> app(new AdultRespirationLoMemApp(module.device()));
        app->initialize();
        EXPECT_EQ(c.length, app->hypnogramBufferLength()) << c.stored;
        FakeSleepAnalysis::clearCalls(recorder);
        app->saveSettings();
        const QList<FakeSleepAnalysis::Call> calls = FakeSleepAnalysis::calls(recorder);
        ASSERT_EQ(1, calls.size()) << c.stored;
        EXPECT_EQ(QStringLiteral("[Limits]\nEpochLength = 30;\nHypnogramBufferLength = %1;\n").arg(c.length),
            calls[0].arguments.value(0).toString())
            << c.stored;
    }
    // A length set from QML is bounded on its way to the analysis as well.
    std::unique_ptr<AdultRespirationApp> app(make());
    app->setHypnogramBufferLength(100000);
    FakeSleepAnalysis::clearCalls(recorder);
    app->saveSettings();
    EXPECT_EQ(QStringLiteral("[Limits]\nEpochLength = 30;\nHypnogramBufferLength = 1200;\n"),
        FakeSleepAnalysis::calls(recorder).value(0).arguments.value(0).toString());
    module.device()->setParent(nullptr);
}

TEST_F(AdultRespirationAppTest, HypnogramLengthIsLoadedWithOrWithoutPlugin)
{
    AdultRespirationApp* app = make();
    QSignalSpy changed(app, &AdultRespirationApp::hypnogramBufferLengthChanged);
    // Without a plug-in initialize leaves it; loadSettings reads it anyway.
    appSettings.store({ { "Adult Respiration/HypnogramBufferLength", 480 } });
    AdultRespirationApp* other = make();
    EXPECT_EQ(960, other->hypnogramBufferLength());
    app->loadSettings();
    EXPECT_EQ(480, app->hypnogramBufferLength());
    ASSERT_EQ(1, changed.count());
    EXPECT_EQ(480, changed.last().at(0).toInt());
    app->loadSettings();
    EXPECT_EQ(1, changed.count());
    app->setHypnogramBufferLength(600);
    app->saveSettings();
    EXPECT_EQ(600, appSettings.stored("Adult Respiration/HypnogramBufferLength").toInt());
}

TEST_F(AdultRespirationAppTest, InitializeChoosesTheFamilysRecordings)
{
    appSettings.store({ { "Baby Respiration/LogRespirationDetectionList", false } });
    appSettings.store({ { "Baby Respiration/LogBreathingPattern", false } });
    appSettings.store({ { "Logging/PresenceSingle", true } });
    BabyRespirationApp* app = make<BabyRespirationApp>();
    EXPECT_FALSE(app->logPresenceSingleEnabled());
    EXPECT_FALSE(app->logPresenceMovingListEnabled());
    EXPECT_FALSE(app->logRespirationDetectionListEnabled());
    EXPECT_TRUE(app->logRespirationMovingListEnabled());
    EXPECT_FALSE(app->logBreathingPattern());
}

// A configured Falcon streams its sleeper: the application shows breathing
// at the module's rate and keeps the link watched.
TEST_F(AdultRespirationAppTest, RunsOnTheSimulatedModule)
{
    AdultRespirationApp* app = make();
    ASSERT_EQ(DeviceApp::InitializationSucceeded, app->execute(false));
    ASSERT_EQ(1, module.calls().configurations().size());
    EXPECT_EQ(3u, module.calls().configurations()[0].profileKind);
    EXPECT_TRUE(
        waitUntil([&] { return app->state() == AdultRespirationApp::BreathingState && app->rpm() > 0; }));
    EXPECT_NEAR(13.0, app->rpm(), 1.01);
    EXPECT_TRUE(waitUntil([&] { return app->detectionCount() == 2 && app->breathingDistance() > 1.5f; }));
    EXPECT_TRUE(waitUntil([&] { return app->heartrate() > 50; }));
    ASSERT_TRUE(app->deviceTimer());
    EXPECT_TRUE(app->deviceTimer()->isActive());
}

TEST_F(AdultRespirationAppTest, SilenceShowsNoConnection)
{
    AdultRespirationApp* app = make();
    app->setDeviceTimerInterval(200);
    app->deviceTimer()->start();
    QSignalSpy state(app, &PresenceApp::stateChanged);
    // Packets keep it alive...
    for (int i = 0; i < 5; ++i) {
        QTest::qWait(80);
        send(sleepId, sleepPacket(quint32(i), 0, 13.0f));
    }
    EXPECT_EQ(0u, app->state());
    // ...silence ends it.
    EXPECT_TRUE(waitUntil([&] { return app->state() == AdultRespirationApp::NoConnectionState; }));
    EXPECT_FALSE(app->deviceTimer()->isActive());
}

// The family records its own data, the sleep data among them, and none of
// the presence data.
TEST_F(AdultRespirationAppTest, RecordingStartsTheFamilysTypes)
{
    AdultRespirationApp* app = make();
    ASSERT_EQ(DeviceApp::InitializationSucceeded, app->execute());
    module.calls().clear();
    app->setProperty("recordingEnabled", true);
    QList<quint32> started;
    for (const WorkerCall& call : module.calls().recordingCalls()) {
        ASSERT_EQ(QByteArray("startRecording"), call.method);
        started.append(call.arguments.at(0).value<Sarvik::DataTypes>());
    }
    EXPECT_EQ((QList<quint32> { 0x1, 0x80, 0x8000, 0x4000, 0x8, 0x4, 0x10000 }), started);
    module.calls().clear();
    app->recordLog(false);
    ASSERT_EQ(1, module.calls().recordingCalls().size());
    EXPECT_EQ(
        0x5F0CFu, quint32(module.calls().recordingCalls().at(0).arguments.at(0).value<Sarvik::DataTypes>()));
}

// The program's applications for the family's bits, in the Device's order.
TEST_F(AdultRespirationAppTest, DeviceMakesTheFamilyForItsBits)
{
    module.device()->setActive(true);
    QStringList made;
    for (DeviceApp* app : module.device()->findChildren<DeviceApp*>(QString(), Qt::FindDirectChildrenOnly))
        made << QString::fromLatin1(app->metaObject()->className()) + ' '
                + app->property("appName").toString() + ' ' + QString::number(app->profileId(), 16);
    EXPECT_EQ(
        (QStringList { "AdultRespirationApp Adult Respiration 64e57ad",
            "BabyRespirationApp Baby Respiration 47fabeba", "AdultRespirationApp Adult Respiration 64e57ad",
            "BabyRespirationApp Baby Respiration 47fabeba" }),
        made);
    module.device()->setActive(false);
}

// The device manager's plug-in reaches the applications of its Devices.
TEST_F(AdultRespirationAppTest, TheDeviceManagersPluginIsTheOneFed)
{
    QTemporaryDir program;
    ASSERT_FALSE(
        FakeSleepAnalysis::install(FakeSleepAnalysis::pluginPath(), program.filePath("plugins")).isEmpty());
    DeviceManager::Options options;
    options.programDirectory = program.path();
    DeviceManager deviceManager(options);
    ASSERT_TRUE(QMetaObject::invokeMethod(&deviceManager, "loadSleepAnalysisPlugin", Qt::DirectConnection));
    ASSERT_TRUE(deviceManager.hasSleepAnalysisPlugin());
    QObject* recorder = FakeSleepAnalysis::recorder(deviceManager.sleepAnalysisPlugin());
    FakeSleepAnalysis::clearCalls(recorder);
    module.device()->setParent(&deviceManager);
    AdultRespirationApp* app = make();
    EXPECT_TRUE(app->swInfo().endsWith("SAL Version: fake-sleep-analysis 1.0\n"))
        << app->swInfo().toStdString();
    app->saveSettings();
    send(vitalId, vitalPacket(1, 0, 14.0f));
    EXPECT_EQ((QStringList { "version", "initialize", "addVitalSigns", "hypnogram", "sleepStage" }),
        FakeSleepAnalysis::callNames(recorder));
    module.device()->setParent(nullptr);
}

#include "AdultRespirationApp_test.moc"
