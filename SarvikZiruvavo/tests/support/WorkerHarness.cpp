#include "WorkerHarness.hpp"

#include "simmodule/Messages.hpp"

#include <QCoreApplication>
#include <QMetaObject>

#include <thread>

WorkerSignals::WorkerSignals(SarvikDevice& worker)
{
    connect(&worker, &SarvikDevice::configureFinished, this, &WorkerSignals::configureFinished);
    connect(&worker, &SarvikDevice::sigNewDataApp, this, &WorkerSignals::sigNewDataApp);
    connect(&worker, &SarvikDevice::sigNewDataFloat, this, &WorkerSignals::sigNewDataFloat);
    connect(&worker, &SarvikDevice::recordingDirectoryReady, this, &WorkerSignals::recordingDirectoryReady);
    connect(&worker, &SarvikDevice::recordingError, this, &WorkerSignals::recordingError);
    connect(&worker, &SarvikDevice::upgradeFirmwareFinished, this, &WorkerSignals::upgradeFirmwareFinished);
    connect(&worker, &SarvikDevice::firmwareUpgradeProgress, this, &WorkerSignals::firmwareUpgradeProgress);
    connect(&worker, &SarvikDevice::firmwareUpgradeStatus, this, &WorkerSignals::firmwareUpgradeStatus);
}

bool waitForSignals(QSignalSpy& spy, int count, std::chrono::seconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (spy.count() < count) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        spy.wait(50);
    }
    return true;
}

WorkerThread::WorkerThread(const SarvikDeviceInfo& info, Sarvik::DataPlayer* player)
    : m_worker(new SarvikDevice(info))
{
    m_worker->setDataPlayer(player);
    m_signals = new WorkerSignals(*m_worker);
    m_worker->moveToThread(&m_thread);
    m_thread.start();
}

WorkerThread::~WorkerThread()
{
    post("close");
    m_thread.quit();
    m_thread.wait();
    delete m_worker;
    delete m_signals;
}

bool WorkerThread::invoke(const char* method, QGenericReturnArgument result, QGenericArgument a0,
    QGenericArgument a1, QGenericArgument a2)
{
    return QMetaObject::invokeMethod(m_worker, method, Qt::BlockingQueuedConnection, result, a0, a1, a2);
}

bool WorkerThread::post(const char* method, QGenericArgument a0, QGenericArgument a1, QGenericArgument a2)
{
    return QMetaObject::invokeMethod(m_worker, method, Qt::QueuedConnection, a0, a1, a2);
}

bool WorkerThread::call(const char* method)
{
    bool result = false;
    EXPECT_TRUE(invoke(method, Q_RETURN_ARG(bool, result))) << method;
    return result;
}

void WorkerThread::close()
{
    EXPECT_TRUE(invoke("close"));
}

ConfigureOutcome WorkerThread::configure(const SarvikDeviceConfiguration& config)
{
    ConfigureOutcome outcome;
    QSignalSpy finished(m_signals, &WorkerSignals::configureFinished);
    if (!post("configure", Q_ARG(SarvikDeviceConfiguration, config))) {
        ADD_FAILURE() << "configure could not be queued";
        return outcome;
    }
    // A Corvid configure waits out the module's restart: seconds, not more.
    if (!waitForSignals(finished, 1, std::chrono::seconds(30))) {
        ADD_FAILURE() << "configure did not finish";
        return outcome;
    }
    const QList<QVariant> arguments = finished.takeFirst();
    outcome.finished = true;
    outcome.success = arguments.at(0).toBool();
    outcome.zoneReported = arguments.at(1).toBool();
    outcome.zoneStart = arguments.at(2).toFloat();
    outcome.zoneEnd = arguments.at(3).toFloat();
    outcome.error = m_worker->lastError();
    return outcome;
}

SarvikDeviceInfo moduleRecord(quint32 deviceType, const QString& portName, SarvikDeviceInfo base)
{
    base.deviceType = deviceType;
    base.portName = portName;
    if (base.connectionMode == 0)
        base.connectionMode = SarvikDeviceInfo::NormalMode;
    base.identified = true;
    return base;
}

ModuleWorker::ModuleWorker(quint32 deviceType, SarvikDeviceInfo base)
    : m_module(simmodule::Transport::Pty)
{
    using simmodule::Rule;
    m_module.add_rule(Rule(wire::ping()).reply(simmodule::pong_reply(0xAAEEAEEA)));
    m_module.add_rule(Rule(wire::getDetectionZone())
                          .reply(simmodule::f32_reply(0x96A10A1C, { reportedZoneStart, reportedZoneEnd })));
    m_module.add_rule(
        Rule(wire::chipGet(wire::chip::frameArea))
            .reply(simmodule::f32_reply(wire::chip::frameArea, { reportedZoneStart, reportedZoneEnd })));
    // A recording asks the module for its parameter file and profile id:
    // this module keeps neither.
    m_module.add_rule(Rule(simmodule::command::open_file()).error(1));
    m_module.add_rule(Rule(simmodule::command::get_profile_id()).error(1));
    m_module.add_rule(Rule({}).ack());
    m_thread = std::make_unique<WorkerThread>(
        moduleRecord(deviceType, QString::fromStdString(m_module.pty_path()), std::move(base)));
}

void ModuleWorker::storeFilesIn(const simmodule::FileSystem& files)
{
    const std::vector<simmodule::Rule> rules = files.rules();
    for (auto rule = rules.rbegin(); rule != rules.rend(); ++rule)
        m_module.add_rule_first(*rule);
}

void ModuleWorker::failCommand(const wire::Bytes& payload, uint32_t code)
{
    m_module.add_rule_first(simmodule::Rule(payload).error(code));
}

::testing::AssertionResult ModuleWorker::received(const std::vector<wire::Bytes>& expected)
{
    // The worker waits for each answer, so what it sent has arrived by now;
    // the wait only covers a command that expects no answer.
    m_module.wait_for_received(expected.size(), std::chrono::seconds(2));
    const std::vector<wire::Bytes> actual = m_module.received();
    if (actual == expected)
        return ::testing::AssertionSuccess();
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    failure << "expected " << expected.size() << " payloads, received " << actual.size() << ":";
    for (size_t i = 0; i < std::max(actual.size(), expected.size()); ++i) {
        const std::string want = i < expected.size() ? wire::toHex(expected[i]) : "-";
        const std::string got = i < actual.size() ? wire::toHex(actual[i]) : "-";
        failure << "\n  " << (want == got ? "  " : "! ") << "expected " << want << "\n    received " << got;
    }
    return failure;
}
