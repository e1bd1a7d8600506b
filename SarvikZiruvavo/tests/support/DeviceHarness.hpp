// A Device as the application objects and the device manager use it, for
// tests: over a simulated module on a pseudo-terminal (DeviceOverModule), or
// as the playback entry with a recording opened (DeviceOverRecording, no
// module traffic). Either records every call the Device makes into its worker
// (WorkerCallLog): the configurations, the recording calls and the rest, with
// their arguments. FakeAppFactory stands in for the program's applications:
// it records which applications a Device asked for and makes a FakeDeviceApp
// for each, which records what the Device asked of it.
#pragma once

#include "apps/DeviceApp.hpp"
#include "core/SarvikDeviceConfiguration.hpp"
#include "core/SarvikDeviceInfo.hpp"
#include "device/Device.hpp"
#include "device/DeviceAppFactory.hpp"
#include "support/WirePayloads.hpp"

#include "simmodule/Personality.hpp"
#include "simmodule/SimModule.hpp"

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QVariantList>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

// An application that records what its Device asks of it, in a log it may
// share with its siblings ("<bit> initialize", "<bit> connectToDevice",
// "<bit> disconnectFromDevice", "<bit> execute").
class FakeDeviceApp : public DeviceApp {
    Q_OBJECT
public:
    FakeDeviceApp(Device* device, quint32 applicationBit, std::shared_ptr<QStringList> log);

    quint32 applicationBit() const { return m_bit; }
    QString appName() const override;

    void initialize() override;
    void connectToDevice() override;
    void disconnectFromDevice() override;
    // Records the call, then runs onExecute when set, else answers
    // executeResult.
    InitializationResult execute(bool tryReconnect = false) override;

    InitializationResult executeResult = InitializationSucceeded;
    std::function<InitializationResult(FakeDeviceApp&)> onExecute;
    // Where an execute may have the Device put the zone the module reports:
    // memory of the application, as an application's own members are.
    float reportedZoneStart = 0.0f;
    float reportedZoneEnd = 0.0f;

private:
    void record(const char* call);

    quint32 m_bit;
    std::shared_ptr<QStringList> m_log;
};

class FakeAppFactory : public DeviceAppFactory {
public:
    DeviceApp* createApplication(quint32 applicationBit, Device& device) const override;

    // The bits asked for, in order, over the factory's life.
    QList<quint32> asked() const { return m_asked; }
    // What the applications were asked, in order, all of them in one log.
    QStringList calls() const { return *m_calls; }
    void clear();
    // The Device's applications as fakes, in its order.
    static QList<FakeDeviceApp*> applicationsOf(Device& device);

private:
    mutable QList<quint32> m_asked;
    std::shared_ptr<QStringList> m_calls = std::make_shared<QStringList>();
};

// A call the Device made into its worker.
struct WorkerCall {
    QByteArray method;
    QVariantList arguments;
};

class WorkerCallLog {
public:
    // Watches the Device from now on, until either goes.
    explicit WorkerCallLog(Device& device);
    ~WorkerCallLog();
    WorkerCallLog(const WorkerCallLog&) = delete;
    WorkerCallLog& operator=(const WorkerCallLog&) = delete;

    QList<WorkerCall> calls() const { return m_calls; }
    QList<QByteArray> methods() const;
    // The configurations handed to the worker, in order.
    QList<SarvikDeviceConfiguration> configurations() const;
    // startRecording, stopRecording and setBasenameForDataType calls.
    QList<WorkerCall> recordingCalls() const;
    void clear() { m_calls.clear(); }

private:
    QPointer<Device> m_device;
    QList<WorkerCall> m_calls;
};

// Handles the test thread's events until the condition holds; false when
// the deadline passes first.
bool waitUntil(
    const std::function<bool()>& condition, std::chrono::seconds timeout = std::chrono::seconds(20));

// Deletes the objects whose deletion was deferred, as the event loop does
// once control is back at its level.
void runDeferredDeletes();

// A presence configuration of that zone, sensitivity 5 and LED mode 2.
SarvikDeviceConfiguration presenceConfiguration(float zoneStart, float zoneEnd);

// A simulated module on a pseudo-terminal that plays the personality, each
// stream at 5 packets per second.
std::unique_ptr<simmodule::SimModule> simulatedModule(const simmodule::Personality& personality);

// The record of the playback entry of the device list.
SarvikDeviceInfo playbackEntry();

// The record the device search makes of a module of the personality's model
// on that port: identified, in normal mode, with the personality's identity
// and zone limits, `supportedApps` as given.
SarvikDeviceInfo moduleRecordOf(const simmodule::Personality& personality, quint32 deviceType,
    const QString& portName, quint32 supportedApps = 0);

class DeviceOverModule {
public:
    // The module plays the personality (each stream at `rateHz` packets per
    // second) on a pseudo-terminal; the Device's record is moduleRecordOf it,
    // changed by `adjust` where given.
    DeviceOverModule(const simmodule::Personality& personality, quint32 deviceType, quint32 supportedApps = 0,
        const DeviceAppFactory* appFactory = nullptr, double rateHz = 10,
        const std::function<void(SarvikDeviceInfo&)>& adjust = {});
    // Deletes the Device (if the test has not), then stops the module.
    ~DeviceOverModule();

    // Null once the test deleted it.
    Device* device() const { return m_device; }
    simmodule::SimModule& module() { return m_module; }
    WorkerCallLog& calls() { return *m_calls; }

    // Whether the module received exactly these payloads since the last
    // clear, in this order.
    ::testing::AssertionResult received(const std::vector<wire::Bytes>& expected);
    void clearReceived() { m_module.clear_received(); }

private:
    simmodule::SimModule m_module;
    QPointer<Device> m_device;
    std::unique_ptr<WorkerCallLog> m_calls;
};

class DeviceOverRecording {
public:
    // The playback entry, activated and with the recording (its index file)
    // opened; the test fails when the Device refuses it.
    explicit DeviceOverRecording(const QString& metaFile, const DeviceAppFactory* appFactory = nullptr);
    ~DeviceOverRecording();

    Device* device() const { return m_device; }
    WorkerCallLog& calls() { return *m_calls; }

private:
    QPointer<Device> m_device;
    std::unique_ptr<WorkerCallLog> m_calls;
};
