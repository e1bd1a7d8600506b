// The sleep application of the older module: its own defaults and settings
// group, the movement values of the sleep status, and a night over a
// simulated Corvid in its sleep profile.
#include "apps/SleepApp.hpp"

#include "core/ApplicationProperties.hpp"
#include "support/AppHarness.hpp"
#include "support/DeviceHarness.hpp"
#include "support/ModuleMessages.hpp"
#include "support/QtPrinters.hpp"

#include "simmodule/Messages.hpp"
#include "simmodule/Personality.hpp"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

QByteArray sleepStatus(quint32 frame, float slow, float fast)
{
    return payloadOf(simmodule::sleep_status_message({ frame, 0, 13.0f, 0.9f, 70, slow, fast }));
}

class SleepAppTest : public ::testing::Test {
protected:
    // The apps go before their Device, as the Device's own deactivation
    // deletes them.
    void TearDown() override { qDeleteAll(corvid.device()->findChildren<RespirationApp*>()); }

    SleepApp* make() { return new SleepApp(corvid.device()); }

    AppSettings settings;
    DeviceOverModule corvid { simmodule::personality("corvid"), SarvikDeviceInfo::CorvidDevice, 0, nullptr,
        20 };
};

TEST_F(SleepAppTest, NewAppHasItsOwnZoneAndNoMovementYet)
{
    SleepApp* app = make();
    EXPECT_EQ(QStringLiteral("Sleep"), app->appName());
    EXPECT_EQ(0x00F17B17u, app->profileId());
    EXPECT_EQ(-1.0, app->movementSlow());
    EXPECT_EQ(-1.0, app->movementFast());
    EXPECT_FLOAT_EQ(0.4f, app->detectionZoneStart());
    EXPECT_FLOAT_EQ(2.0f, app->detectionZoneEnd());
    EXPECT_FLOAT_EQ(0.4f, app->detectionZoneMin());
    EXPECT_FLOAT_EQ(1.6f, app->detectionZoneMaxLength());
    EXPECT_EQ(2.5, app->detectionZoneMax());
    EXPECT_EQ(0.2, app->detectionZoneMinLength());
    EXPECT_EQ(8u, app->rpmMin());
    EXPECT_EQ(70u, app->rpmMax());
}

// The "Respiration" group is read first (the output choices stay), then
// the "Sleep" group's zone and telegram replace its.
TEST_F(SleepAppTest, ItsZoneAndTelegramComeFromTheSleepGroup)
{
    settings.store({ { "Respiration/DetectionZoneMin", 1.0 },
        { "Respiration/UseExtendedBreathingTelegram", false }, { "Logging/ApplicationOutput", 0 },
        { "Sleep/DetectionZoneMin", 0.5 }, { "Sleep/DetectionZoneMaxLength", 1.25 } });
    SleepApp* app = make();
    EXPECT_DOUBLE_EQ(0.5, app->detectionZoneStart());
    EXPECT_DOUBLE_EQ(1.75, app->detectionZoneEnd());
    EXPECT_TRUE(app->extendedBreathingTelegramEnabled());
    EXPECT_FALSE(app->applicationOutputEnabled());
}

TEST_F(SleepAppTest, SleepStatusSetsTheMovementValues)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const QByteArray full = sleepStatus(42, 0.75f, 0.25f);
    const struct {
        const char* name;
        QByteArray data;
        double slow;
        double fast;
        // movementSlowChanged, movementFastChanged.
        int slowSignals;
        int fastSignals;
        quint32 frame;
    } cases[] = {
        { "whole", full, 0.75, 0.25, 1, 1, 42 },
        { "longer than the module sends", full + QByteArray(8, '\x7f'), 0.75, 0.25, 1, 1, 42 },
        { "only up to movement slow", full.left(24), 0.75, 0.0, 1, 1, 42 },
        { "20 bytes: both movements read 0", full.left(20), 0.0, 0.0, 1, 1, 42 },
        { "2 bytes: even the frame counter reads 0", full.left(2), 0.0, 0.0, 1, 1, 0 },
        { "the same values again", sleepStatus(43, -1.0f, -1.0f), -1.0, -1.0, 0, 0, 43 },
        { "only fast changes", sleepStatus(44, -1.0f, 2.0f), -1.0, 2.0, 0, 1, 44 },
    };
    for (const auto& c : cases) {
        SleepApp* app = make();
        app->radarDataApp(RespirationApp::respirationStatusId,
            payloadOf(simmodule::respiration_status_message({ 3, 0, 14, 0.9f, 0.1f, 60 })));
        QSignalSpy slow(app, &SleepApp::movementSlowChanged);
        QSignalSpy fast(app, &SleepApp::movementFastChanged);
        QSignalSpy both(app, &SleepApp::movementSlowFastChanged);
        QSignalSpy state(app, &RespirationApp::stateChanged);
        QSignalSpy rpm(app, &RespirationApp::rpmChanged);

        app->radarDataApp(RespirationApp::sleepStatusId, c.data);

        EXPECT_EQ(c.slow, app->movementSlow()) << c.name;
        EXPECT_EQ(c.fast, app->movementFast()) << c.name;
        EXPECT_EQ(c.slowSignals, slow.count()) << c.name;
        EXPECT_EQ(c.fastSignals, fast.count()) << c.name;
        ASSERT_EQ(1, both.count()) << c.name;
        EXPECT_EQ(c.slow, both.at(0).at(0).toDouble()) << c.name;
        EXPECT_EQ(c.fast, both.at(0).at(1).toDouble()) << c.name;
        EXPECT_EQ(c.frame, app->frameCounter()) << c.name;
        // The sleep status leaves the respiration values alone.
        EXPECT_EQ(0, state.count()) << c.name;
        EXPECT_EQ(0, rpm.count()) << c.name;
        EXPECT_EQ(14u, app->rpm()) << c.name;
        delete app;
    }

    // A value without a number always counts as a change.
    SleepApp* app = make();
    app->radarDataApp(RespirationApp::sleepStatusId, sleepStatus(1, nan, nan));
    QSignalSpy slow(app, &SleepApp::movementSlowChanged);
    app->radarDataApp(RespirationApp::sleepStatusId, sleepStatus(2, nan, nan));
    EXPECT_EQ(1, slow.count());
    EXPECT_TRUE(std::isnan(app->movementSlow()));
}

// A state change gives the movement chart a point too; the values stay.
TEST_F(SleepAppTest, StateChangesReannounceTheMovementValues)
{
    SleepApp* app = make();
    app->radarDataApp(RespirationApp::sleepStatusId, sleepStatus(5, 0.5f, 0.125f));
    QSignalSpy both(app, &SleepApp::movementSlowFastChanged);
    app->deviceTimer()->setInterval(10);
    app->deviceTimer()->start();
    ASSERT_TRUE(both.wait(2000));
    EXPECT_EQ(uint(RespirationApp::NoConnectionState), app->state());
    EXPECT_EQ(0.5, both.at(0).at(0).toDouble());
    EXPECT_EQ(0.125, both.at(0).at(1).toDouble());

    // Neither execute nor a reset clears them.
    EXPECT_EQ(DeviceApp::InitializationSucceeded, app->execute());
    EXPECT_EQ(0.5, app->movementSlow());
    EXPECT_EQ(0.125, app->movementFast());
}

// The Corvid in its sleep profile sends the sleep status beside the
// respiration status; the app follows both.
TEST_F(SleepAppTest, CorvidInItsSleepProfileFeedsBothStatuses)
{
    SleepApp* app = make();
    app->connectToDevice();
    ASSERT_EQ(DeviceApp::InitializationSucceeded, app->execute());
    ASSERT_TRUE(QTest::qWaitFor([&] { return app->movementSlow() > 0.0 && app->frameCounter() > 2; }, 5000));
    EXPECT_GT(app->movementFast(), 0.0);
    EXPECT_EQ(uint(RespirationApp::InitializingState), app->state());
    EXPECT_GT(app->rpm(), 0u) << "the progress while initialising";
}

} // namespace
