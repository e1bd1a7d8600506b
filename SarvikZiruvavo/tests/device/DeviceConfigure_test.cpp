// Configuring a module through its Device over a simulated module: the
// result and the zone the module reports, and what may happen while
// configure waits for the worker in its nested event loop: a second
// configure, the application or the Device itself going.
#include "device/Device.hpp"

#include "support/DeviceHarness.hpp"
#include "support/MessageLog.hpp"
#include "support/QtPrinters.hpp"
#include "support/WirePayloads.hpp"

#include "simmodule/Personality.hpp"

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class DeviceConfigureTest : public ::testing::Test {
protected:
    DeviceConfigureTest()
        : osprey(simmodule::personality("osprey"), SarvikDeviceInfo::OspreyDevice, 0x10, &factory)
    { }

    FakeAppFactory factory;
    DeviceOverModule osprey;
};

TEST_F(DeviceConfigureTest, ConfigureReturnsTrueAndTheZoneTheModuleReports)
{
    Device& device = *osprey.device();
    float start = 0.0f;
    float end = 0.0f;
    SarvikDeviceConfiguration config = presenceConfiguration(1.0f, 3.5f);
    config.zoneStartResult = &start;
    config.zoneEndResult = &end;
    EXPECT_TRUE(device.configure(config));
    EXPECT_EQ(1.0f, start);
    EXPECT_EQ(3.5f, end);
    EXPECT_EQ(QString(), device.errorString());
    EXPECT_TRUE(device.isConnected());
    const QList<SarvikDeviceConfiguration> sent = osprey.calls().configurations();
    ASSERT_EQ(1, sent.size());
    EXPECT_EQ(3.5f, sent.at(0).zoneEnd);
    EXPECT_EQ(SarvikDeviceConfiguration::PresenceKind, sent.at(0).profileKind);

    // With the connection open, the noise map requests reach the module.
    osprey.clearReceived();
    EXPECT_TRUE(device.loadNoiseMap());
    EXPECT_TRUE(device.storeNoiseMap());
    EXPECT_TRUE(osprey.received({ wire::loadNoiseMap(), wire::storeNoiseMap() }));
}

TEST_F(DeviceConfigureTest, FailedConfigureReturnsFalseAndLogsTheWorkersText)
{
    Device& device = *osprey.device();
    osprey.module().add_rule_first(simmodule::Rule(wire::sensitivity(5)).error(7));
    MessageLog log;
    float start = 0.0f;
    SarvikDeviceConfiguration config = presenceConfiguration(1.0f, 3.5f);
    config.zoneStartResult = &start;
    EXPECT_FALSE(device.configure(config));
    EXPECT_EQ(QStringLiteral("failed to set sensitivity"), device.errorString());
    EXPECT_EQ(1, log.count(QStringLiteral("ERROR: failed to set sensitivity")));
    // The zone was read back before the failing step.
    EXPECT_EQ(1.0f, start);
}

TEST_F(DeviceConfigureTest, SecondConfigureWhileOneWaitsIsRefused)
{
    Device& device = *osprey.device();
    MessageLog log;
    bool nestedResult = true;
    // Posted before the first configure: it runs inside that configure's loop.
    QTimer::singleShot(
        0, &device, [&] { nestedResult = device.configure(presenceConfiguration(0.5f, 2.0f)); });
    EXPECT_TRUE(device.configure(presenceConfiguration(1.0f, 3.0f)));
    EXPECT_FALSE(nestedResult);
    EXPECT_EQ(1, log.count(QStringLiteral("WARNING: configure refused")));
    EXPECT_EQ(1, osprey.calls().configurations().size());
    EXPECT_FALSE(device.isWaitingForWorker());
    // Once it has returned, the next one is taken.
    EXPECT_TRUE(device.configure(presenceConfiguration(0.5f, 2.0f)));
}

TEST_F(DeviceConfigureTest, ApplicationDeactivatedWhileItsConfigureWaitsGoesAfterIt)
{
    Device& device = *osprey.device();
    device.setActive(true);
    FakeDeviceApp* app = FakeAppFactory::applicationsOf(device).at(0);
    QPointer<FakeDeviceApp> guard(app);
    bool returnedToApplication = false;
    app->onExecute = [&](FakeDeviceApp& self) {
        SarvikDeviceConfiguration config = presenceConfiguration(0.75f, 2.5f);
        config.zoneStartResult = &self.reportedZoneStart;
        config.zoneEndResult = &self.reportedZoneEnd;
        // The module vanishes while the application waits: the device list
        // deactivates its Device.
        // Posted before configure posts its request, the call runs inside the
        // wait, ahead of the worker's answer (a 0 ms timer could lose that race
        // and run after the wait).
        QMetaObject::invokeMethod(
            &device, [&] { device.setActive(false); }, Qt::QueuedConnection);
        const bool configured = device.configure(config);
        returnedToApplication = true;
        EXPECT_FALSE(device.isDeviceActive());
        return configured ? DeviceApp::InitializationSucceeded : DeviceApp::InitializationFailed;
    };
    EXPECT_EQ(DeviceApp::InitializationSucceeded, app->execute());
    EXPECT_TRUE(returnedToApplication);
    ASSERT_FALSE(guard.isNull()) << "deleted under the loop";
    EXPECT_EQ(0.75f, app->reportedZoneStart);
    EXPECT_EQ(2.5f, app->reportedZoneEnd);
    EXPECT_TRUE(FakeAppFactory::applicationsOf(device).isEmpty());
    runDeferredDeletes();
    EXPECT_TRUE(guard.isNull());
}

TEST_F(DeviceConfigureTest, DeviceDeletedLaterWhileConfigureWaitsGoesAfterIt)
{
    QPointer<Device> device = osprey.device();
    QMetaObject::invokeMethod(
        device, [&] { device->deleteLater(); }, Qt::QueuedConnection);
    float start = 0.0f;
    SarvikDeviceConfiguration config = presenceConfiguration(1.25f, 3.0f);
    config.zoneStartResult = &start;
    EXPECT_TRUE(device->configure(config));
    ASSERT_FALSE(device.isNull());
    EXPECT_EQ(1.25f, start);
    runDeferredDeletes();
    EXPECT_TRUE(device.isNull());
}

// Qt drops a second deleteLater of an object whose first one was delivered
// when other events for it are pending, which happens now and then as the
// worker's signals come in: a Device whose deletion was held back by the wait
// must still go, every time.
TEST_F(DeviceConfigureTest, DeviceDeletedLaterWhileConfigureWaitsAlwaysGoes)
{
    for (int run = 0; run < 20; ++run) {
        DeviceOverModule module(
            simmodule::personality("osprey"), SarvikDeviceInfo::OspreyDevice, 0x10, &factory);
        QPointer<Device> device = module.device();
        QMetaObject::invokeMethod(
            device, [&] { device->deleteLater(); }, Qt::QueuedConnection);
        EXPECT_TRUE(device->configure(presenceConfiguration(1.25f, 3.0f)));
        runDeferredDeletes();
        ASSERT_TRUE(device.isNull()) << "run " << run;
    }
}

// Whoever deletes a Device under the loop breaks the rule, but the Device
// survives it: the loop ends, and configure neither touches the Device nor
// writes the zone into what went with it.
TEST_F(DeviceConfigureTest, DeviceDeletedUnderTheLoopEndsItUntouched)
{
    Device* device = osprey.device();
    struct Zone : QObject {
        float start = -1.0f;
        float end = -1.0f;
    };
    auto* zone = new Zone;
    zone->setParent(device);
    SarvikDeviceConfiguration config = presenceConfiguration(1.0f, 3.0f);
    config.zoneStartResult = &zone->start;
    config.zoneEndResult = &zone->end;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [device] { delete device; }, Qt::QueuedConnection);
    EXPECT_FALSE(device->configure(config));
    EXPECT_EQ(nullptr, osprey.device());
}

TEST_F(DeviceConfigureTest, DeletingTheDeviceIdlesTheModuleAndClosesTheConnection)
{
    ASSERT_TRUE(osprey.device()->configure(presenceConfiguration(1.0f, 3.0f)));
    osprey.clearReceived();
    delete osprey.device();
    // The Device closes the connection on its way out, waiting for the
    // worker to have done so.
    EXPECT_TRUE(osprey.received({ wire::sensorMode(0x11) }));
}

} // namespace
