// A SarvikDevice driven the way its owner drives it: on a QThread of its own,
// its slots called by name as queued or blocking queued calls with the
// registered type names, its signals relayed (queued) to an object on the
// test's thread, where QSignalSpy can watch them. ModuleWorker adds a
// simulated module on a pseudo-terminal that answers like a live module and
// records what it received, for comparison with an expected payload list.
#pragma once

#include "core/SarvikDeviceConfiguration.hpp"
#include "core/SarvikDeviceInfo.hpp"
#include "device/SarvikDevice.hpp"
#include "support/WirePayloads.hpp"

#include "simmodule/FileSystem.hpp"
#include "simmodule/SimModule.hpp"

#include <QList>
#include <QObject>
#include <QSignalSpy>
#include <QThread>
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

// The worker's signals, re-emitted on the test's thread.
class WorkerSignals : public QObject {
    Q_OBJECT
public:
    explicit WorkerSignals(SarvikDevice& worker);

signals:
    void configureFinished(bool success, bool zoneReported, float zoneStart, float zoneEnd);
    void sigNewDataApp(uint contentId, QByteArray data);
    void sigNewDataFloat(uint contentId, uint info, QList<qreal> data);
    void recordingDirectoryReady(QString directory);
    void recordingError(QString error);
    void upgradeFirmwareFinished(bool success);
    void firmwareUpgradeProgress(double percent);
    void firmwareUpgradeStatus(QString info);
};

// What one configure reported.
struct ConfigureOutcome {
    bool finished = false;
    bool success = false;
    bool zoneReported = false;
    float zoneStart = 0.0f;
    float zoneEnd = 0.0f;
    QString error;
};

// Waits, handling the test thread's events, until the spy has recorded at
// least `count` signals; false when the deadline passes first.
bool waitForSignals(QSignalSpy& spy, int count, std::chrono::seconds timeout = std::chrono::seconds(20));

class WorkerThread {
public:
    explicit WorkerThread(const SarvikDeviceInfo& info, Sarvik::DataPlayer* player = nullptr);
    // Queues close, quits the thread after it and waits, as the owner does.
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    SarvikDevice& worker() { return *m_worker; }
    WorkerSignals& relay() { return *m_signals; }

    // A blocking queued call by name; false when Qt could not make it (no such
    // slot, an unregistered argument type).
    bool invoke(const char* method, QGenericReturnArgument result = QGenericReturnArgument(),
        QGenericArgument a0 = QGenericArgument(nullptr), QGenericArgument a1 = QGenericArgument(nullptr),
        QGenericArgument a2 = QGenericArgument(nullptr));
    // A queued call by name that returns at once.
    bool post(const char* method, QGenericArgument a0 = QGenericArgument(nullptr),
        QGenericArgument a1 = QGenericArgument(nullptr), QGenericArgument a2 = QGenericArgument(nullptr));
    // Shorthands for the bool slots without arguments and for close.
    bool call(const char* method);
    void close();

    // A queued configure, waited for through configureFinished as the owner
    // waits for it.
    ConfigureOutcome configure(const SarvikDeviceConfiguration& config);

private:
    QThread m_thread;
    SarvikDevice* m_worker;
    WorkerSignals* m_signals;
};

class ModuleWorker {
public:
    // The module answers pings with a good pong, reads of the detection zone
    // and of the chip's frame area with the reported zone, opening a file and
    // reading the profile id with an error (it keeps neither), and
    // acknowledges everything else. The worker's record names the module's port and `deviceType`;
    // the other fields come from `base`.
    explicit ModuleWorker(quint32 deviceType, SarvikDeviceInfo base = SarvikDeviceInfo());

    simmodule::SimModule& module() { return m_module; }
    WorkerThread& thread() { return *m_thread; }
    SarvikDevice& worker() { return m_thread->worker(); }
    WorkerSignals& relay() { return m_thread->relay(); }

    // The zone the module reports (metres).
    static constexpr float reportedZoneStart = 0.75f;
    static constexpr float reportedZoneEnd = 4.25f;

    // The module answers its file commands from these stored files. Its
    // read command shares the head 90 71 with the older module's integer
    // setting (the Corvid's baseband switch): not for Corvid modules.
    void storeFilesIn(const simmodule::FileSystem& files);
    // Makes the module answer exactly this payload with an error.
    void failCommand(const wire::Bytes& payload, uint32_t code = 7);
    // Whether the module received exactly these payloads, in this order,
    // since the last clear.
    ::testing::AssertionResult received(const std::vector<wire::Bytes>& expected);
    void clearReceived() { m_module.clear_received(); }

private:
    simmodule::SimModule m_module;
    std::unique_ptr<WorkerThread> m_thread;
};

// The record of a module of that type on that port, identified, in normal
// mode unless `base` names another.
SarvikDeviceInfo moduleRecord(quint32 deviceType, const QString& portName, SarvikDeviceInfo base = {});
