#include "DeviceHarness.hpp"

#include <QCoreApplication>
#include <QTest>
#include <QUrl>

FakeDeviceApp::FakeDeviceApp(Device* device, quint32 applicationBit, std::shared_ptr<QStringList> log)
    : DeviceApp(device)
    , m_bit(applicationBit)
    , m_log(std::move(log))
{ }

QString FakeDeviceApp::appName() const
{
    return QStringLiteral("fake 0x%1").arg(m_bit, 0, 16);
}

void FakeDeviceApp::record(const char* call)
{
    m_log->append(QStringLiteral("0x%1 %2").arg(m_bit, 0, 16).arg(QLatin1String(call)));
}

void FakeDeviceApp::initialize()
{
    record("initialize");
}

void FakeDeviceApp::connectToDevice()
{
    record("connectToDevice");
}

void FakeDeviceApp::disconnectFromDevice()
{
    record("disconnectFromDevice");
}

DeviceApp::InitializationResult FakeDeviceApp::execute(bool tryReconnect)
{
    record(tryReconnect ? "execute(true)" : "execute(false)");
    return onExecute ? onExecute(*this) : executeResult;
}

DeviceApp* FakeAppFactory::createApplication(quint32 applicationBit, Device& device) const
{
    m_asked.append(applicationBit);
    return new FakeDeviceApp(&device, applicationBit, m_calls);
}

void FakeAppFactory::clear()
{
    m_asked.clear();
    m_calls->clear();
}

QList<FakeDeviceApp*> FakeAppFactory::applicationsOf(Device& device)
{
    QList<FakeDeviceApp*> applications;
    QQmlListProperty<DeviceApp> list = device.deviceApps();
    for (int i = 0; i < list.count(&list); ++i)
        applications.append(qobject_cast<FakeDeviceApp*>(list.at(&list, i)));
    return applications;
}

WorkerCallLog::WorkerCallLog(Device& device)
    : m_device(&device)
{
    device.setWorkerCallObserver([this](const QByteArray& method, const QVariantList& arguments) {
        m_calls.append({ method, arguments });
    });
}

WorkerCallLog::~WorkerCallLog()
{
    if (m_device)
        m_device->setWorkerCallObserver({});
}

QList<QByteArray> WorkerCallLog::methods() const
{
    QList<QByteArray> names;
    for (const WorkerCall& call : m_calls)
        names.append(call.method);
    return names;
}

QList<SarvikDeviceConfiguration> WorkerCallLog::configurations() const
{
    QList<SarvikDeviceConfiguration> configurations;
    for (const WorkerCall& call : m_calls)
        if (call.method == "configure")
            configurations.append(call.arguments.value(0).value<SarvikDeviceConfiguration>());
    return configurations;
}

QList<WorkerCall> WorkerCallLog::recordingCalls() const
{
    QList<WorkerCall> recording;
    for (const WorkerCall& call : m_calls)
        if (call.method == "startRecording" || call.method == "stopRecording"
            || call.method == "setBasenameForDataType")
            recording.append(call);
    return recording;
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::seconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        QTest::qWait(5);
    }
    return true;
}

void runDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

SarvikDeviceConfiguration presenceConfiguration(float zoneStart, float zoneEnd)
{
    SarvikDeviceConfiguration config;
    config.profileKind = SarvikDeviceConfiguration::PresenceKind;
    config.zoneStart = zoneStart;
    config.zoneEnd = zoneEnd;
    config.sensitivity = 5;
    config.ledMode = 2;
    return config;
}

std::unique_ptr<simmodule::SimModule> simulatedModule(const simmodule::Personality& personality)
{
    auto module = std::make_unique<simmodule::SimModule>(simmodule::Transport::Pty);
    simmodule::apply_personality(*module, personality, 5.0);
    return module;
}

SarvikDeviceInfo playbackEntry()
{
    SarvikDeviceInfo info;
    info.displayName = QStringLiteral("Sarvik Playback");
    info.connectionKind = QStringLiteral("Playback");
    info.extraInfo = QStringLiteral("playback");
    info.portName = QStringLiteral("from recording");
    info.description = QStringLiteral("Playback, from recording");
    info.supportedApps = 0x1;
    info.connectionMode = SarvikDeviceInfo::NormalMode;
    info.deviceType = SarvikDeviceInfo::PlaybackDevice;
    info.identified = true;
    return info;
}

SarvikDeviceInfo moduleRecordOf(const simmodule::Personality& personality, quint32 deviceType,
    const QString& portName, quint32 supportedApps)
{
    SarvikDeviceInfo info;
    info.displayName = QStringLiteral("Sarvik ") + QString::fromStdString(personality.order_code).toUpper();
    info.connectionKind = QStringLiteral("USB");
    info.firmwareVersion = QString::fromStdString(personality.firmware_version).toUpper();
    info.firmwareId = QString::fromStdString(personality.firmware_id).toUpper();
    info.itemNumber = QString::fromStdString(personality.item_number);
    info.orderCode = QString::fromStdString(personality.order_code).toUpper();
    info.serialNumber = QString::fromStdString(personality.serial_number).toUpper();
    info.buildInfo = QString::fromStdString(personality.build_info).toUpper();
    info.portName = portName;
    info.description = QStringLiteral("USB, ") + portName;
    info.baudRate = 115200;
    if (personality.zone_limits) {
        info.zoneMin = personality.zone_limits->min;
        info.zoneMax = personality.zone_limits->max;
        info.zoneStep = personality.zone_limits->step;
    }
    info.supportedApps = supportedApps;
    info.connectionMode = SarvikDeviceInfo::NormalMode;
    info.deviceType = deviceType;
    info.identified = true;
    return info;
}

DeviceOverModule::DeviceOverModule(const simmodule::Personality& personality, quint32 deviceType,
    quint32 supportedApps, const DeviceAppFactory* appFactory, double rateHz,
    const std::function<void(SarvikDeviceInfo&)>& adjust)
    : m_module(simmodule::Transport::Pty)
{
    simmodule::apply_personality(m_module, personality, rateHz);
    SarvikDeviceInfo info
        = moduleRecordOf(personality, deviceType, QString::fromStdString(m_module.pty_path()), supportedApps);
    if (adjust)
        adjust(info);
    m_device = new Device(info, nullptr, nullptr, appFactory);
    m_calls = std::make_unique<WorkerCallLog>(*m_device);
}

DeviceOverModule::~DeviceOverModule()
{
    delete m_device.data();
    m_module.stop();
}

::testing::AssertionResult DeviceOverModule::received(const std::vector<wire::Bytes>& expected)
{
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

DeviceOverRecording::DeviceOverRecording(const QString& metaFile, const DeviceAppFactory* appFactory)
    : m_device(new Device(playbackEntry(), nullptr, nullptr, appFactory))
    , m_calls(std::make_unique<WorkerCallLog>(*m_device))
{
    m_device->setActive(true);
    EXPECT_TRUE(m_device->setRecordingUrl(QUrl::fromLocalFile(metaFile)))
        << m_device->recordingErrorString().toStdString();
}

DeviceOverRecording::~DeviceOverRecording()
{
    delete m_device.data();
}
