#include "Device.hpp"

#include "apps/RecordingParameterFile.hpp"
#include "core/ApplicationProperties.hpp"
#include "device/BasebandFrameDecoder.hpp"
#include "device/ConnectionFactory.hpp"
#include "device/DeviceAppFactory.hpp"
#include "device/DeviceManager.hpp"
#include "device/ModuleParameterFile.hpp"
#include "device/PulseDopplerSurface.hpp"
#include "device/RecordingSummary.hpp"
#include "device/SarvikDevice.hpp"
#include "firmware/FirmwareManager.hpp"

#include <linkwell/DataPlayer.hpp>
#include <linkwell/DataReader.hpp>

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QSettings>

#include <exception>

const quint32 Device::applicationBits[9] = { 0x2, 0x8, 0x10, 0x20, 0x40, 0x80, 0x100, 0x200, 0x400 };

namespace {

constexpr int playbackPositionInterval = 250;
// Zone step of the modules whose recordings carry a parameter file, metres.
constexpr double recordedZoneStep = 0.0514;
constexpr quint32 vitalSignsDataType = 0x10000;
constexpr quint32 normalizedMovementListDataType = 0x40000;
constexpr quint32 normalizedMovementListFeature = 0x800;
constexpr quint32 daxApplication = 0x100;

} // namespace

Device::Device()
{
    qFatal("do not use this constructor, it purely exists due to QML requirements");
}

Device::Device(const SarvikDeviceInfo& info, FirmwareManager* firmwareManager, QObject* parent,
    const DeviceAppFactory* appFactory)
    : QObject(parent)
    , m_worker(new SarvikDevice(info))
    , m_info(info)
    , m_deviceUpgradeInfo(QStringLiteral("No upgrade"))
    , m_firmwareManager(firmwareManager)
    , m_appFactory(appFactory ? appFactory : &DeviceAppFactory::programFactory())
{
    registerLibraryMetaTypes();
    registerSarvikDeviceConfiguration();
    m_worker->moveToThread(&m_workerThread);
    m_workerThread.start(QThread::InheritPriority);

    QSettings settings(ApplicationProperties::settingsFileName(), QSettings::IniFormat);
    m_ignoreUpdates = settings.value(QStringLiteral("IgnoreUpdates"), 0).toInt() == 1;
    m_serialBaudRate = settings.value(QStringLiteral("SarvikSerial/BaudRate"), 115200).toInt();

    connect(m_worker, &SarvikDevice::sigNewDataApp, this, &Device::sigNewDataApp);
    connect(m_worker, &SarvikDevice::sigNewDataApp, this, &Device::onAppData);
    connect(m_worker, &SarvikDevice::sigNewDataFloat, this, &Device::sigNewDataFloat);
    connect(m_worker, &SarvikDevice::firmwareUpgradeProgress, this, &Device::deviceUpgradeProgress);
    connect(m_worker, &SarvikDevice::firmwareUpgradeStatus, this, &Device::onFirmwareUpgradeStatus);
    connect(this, &Device::basebandEnabledChanged, m_worker, &SarvikDevice::onBasebandEnabledChanged);
    connect(this, &Device::pulseDopplerEnabledChanged, m_worker, &SarvikDevice::onPulseDopplerEnabledChanged);
    connect(m_worker, &SarvikDevice::recordingDirectoryReady, this, &Device::recordingDirectoryReady);
    connect(m_worker, &SarvikDevice::recordingError, this, &Device::recordingError);

    m_playbackPositionTimer.setInterval(playbackPositionInterval);
    connect(&m_playbackPositionTimer, &QTimer::timeout, this, &Device::playbackPositionChanged);
}

Device::~Device()
{
    // Deleted under configure's loop: the loop ends, and configure returns
    // without touching this object again.
    if (m_workerWait) {
        m_workerWait->quit();
        m_workerWait = nullptr;
    }
    setActive(false);
    qDeleteAll(m_appsToDelete);
    // Waited for, so that the module is idled and the connection deleted on
    // the worker's thread before that thread stops.
    if (m_worker)
        callWorker("close", Qt::BlockingQueuedConnection, QGenericReturnArgument());
    m_workerThread.quit();
    m_workerThread.wait();
    delete m_worker.data();
}

// ---- Calls into the worker ----------------------------------------------------

QVariantList Device::callArguments(std::initializer_list<QGenericArgument> arguments)
{
    QVariantList values;
    for (const QGenericArgument& argument : arguments) {
        if (argument.name() == nullptr)
            break;
        const int type = QMetaType::type(QMetaObject::normalizedType(argument.name()).constData());
        values.append(type == QMetaType::UnknownType ? QVariant() : QVariant(type, argument.data()));
    }
    return values;
}

bool Device::callWorker(const char* method, Qt::ConnectionType type, QGenericReturnArgument result,
    QGenericArgument a0, QGenericArgument a1, QGenericArgument a2)
{
    if (!m_worker)
        return false;
    if (m_workerCallObserver)
        m_workerCallObserver(QByteArray(method), callArguments({ a0, a1, a2 }));
    if (QMetaObject::invokeMethod(m_worker.data(), method, type, result, a0, a1, a2))
        return true;
    qWarning().noquote() << "ERROR: failed to call the module worker's" << method;
    return false;
}

bool Device::askWorker(const char* method, QGenericArgument a0)
{
    bool answer = false;
    return callWorker(method, Qt::BlockingQueuedConnection, Q_RETURN_ARG(bool, answer), a0) && answer;
}

bool Device::configure(SarvikDeviceConfiguration config)
{
    if (!m_worker)
        return false;
    if (m_workerWait) {
        qWarning().noquote() << "WARNING: configure refused: the Device waits for its worker already";
        return false;
    }
    struct Finished {
        bool arrived = false;
        bool success = false;
        bool zoneReported = false;
        float zoneStart = 0.0f;
        float zoneEnd = 0.0f;
    } finished;
    QEventLoop loop;
    connect(m_worker, &SarvikDevice::configureFinished, &loop,
        [&](bool success, bool zoneReported, float zoneStart, float zoneEnd) {
            finished = { true, success, zoneReported, zoneStart, zoneEnd };
            loop.quit();
        });
    if (!callWorker("configure", Qt::QueuedConnection, QGenericReturnArgument(),
            Q_ARG(SarvikDeviceConfiguration, config)))
        return false;
    if (!waitForWorker(loop))
        return false;

    if (!finished.arrived)
        return false;
    if (finished.zoneReported)
        applyConfiguredZone(config, finished.zoneStart, finished.zoneEnd);
    const QString error = errorString();
    if (!finished.success || !error.isEmpty()) {
        qWarning().noquote() << "ERROR:" << (error.isEmpty() ? QStringLiteral("configure failed") : error);
        return false;
    }
    if (m_player) {
        m_player->play();
        emit playbackStateChanged();
    }
    return true;
}

bool Device::waitForWorker(QEventLoop& loop)
{
    // A worker that vanishes would never answer.
    connect(m_worker, &QObject::destroyed, &loop, &QEventLoop::quit);
    const QPointer<Device> alive(this);
    m_workerWait = &loop;
    loop.exec();
    if (!alive)
        return false;
    m_workerWait = nullptr;
    releaseAfterWait();
    return true;
}

// The result pointers belong to the caller, an application of this Device:
// applications that went while configure waited are deleted later, so the
// owner is alive as long as this Device is.
void Device::applyConfiguredZone(const SarvikDeviceConfiguration& config, float start, float end)
{
    if (config.zoneStartResult)
        *config.zoneStartResult = start;
    if (config.zoneEndResult)
        *config.zoneEndResult = end;
}

bool Device::startRecording(
    Sarvik::DataTypes dataTypes, const QString& logPath, const Sarvik::RecordingOptions& options)
{
    return callWorker("startRecording", Qt::QueuedConnection, QGenericReturnArgument(),
        Q_ARG(Sarvik::DataTypes, dataTypes), Q_ARG(QString, logPath),
        Q_ARG(Sarvik::RecordingOptions, options));
}

void Device::stopRecording(Sarvik::DataTypes dataTypes)
{
    callWorker(
        "stopRecording", Qt::QueuedConnection, QGenericReturnArgument(), Q_ARG(Sarvik::DataTypes, dataTypes));
}

bool Device::setBasenameForDataType(Sarvik::DataType type, const QString& basename)
{
    return callWorker("setBasenameForDataType", Qt::QueuedConnection, QGenericReturnArgument(),
        Q_ARG(Sarvik::DataType, type), Q_ARG(QString, basename));
}

void Device::setupRecordingErrorCallback()
{
    if (m_worker)
        m_worker->setupRecordingErrorCallback();
}

void Device::clearRecordingErrorCallback()
{
    if (m_worker)
        m_worker->clearRecordingErrorCallback();
}

bool Device::close()
{
    return callWorker("close", Qt::QueuedConnection, QGenericReturnArgument());
}

void Device::updateWorkerDeviceInfo(const SarvikDeviceInfo& info)
{
    if (m_worker)
        m_worker->setDeviceInfo(info);
}

bool Device::isConnected() const
{
    return m_worker && m_worker->isOpen();
}

QString Device::errorString() const
{
    return m_worker ? m_worker->lastError() : QString();
}

// ---- Activation and the applications -------------------------------------------

void Device::setActive(bool active)
{
    if (active == m_isDeviceActive)
        return;
    m_isDeviceActive = active;
    if (active)
        activate();
    else
        deactivate();
}

void Device::deactivate()
{
    close();
    QList<DeviceApp*> applications;
    applications.swap(m_apps);
    emit deviceAppsChanged();
    if (m_activeApp) {
        m_activeApp = nullptr;
        emit activeDeviceAppChanged(nullptr);
    }
    deleteApplications(applications);
    ApplicationProperties::setConsoleLogEnabled(false);
    emit isDeviceActiveChanged(false);
}

void Device::activate()
{
    ApplicationProperties::setConsoleLogEnabled(true);
    if (m_info.hasCrashDump) {
        // The module keeps its dump until it is safe on disk.
        if (storeCrashDump().isEmpty())
            qWarning().noquote() << "WARNING: the module keeps its crash dump: storing it failed:"
                                 << errorString();
        else
            deleteCrashDump();
    }
    QList<DeviceApp*> previous;
    previous.swap(m_apps);
    for (const quint32 bit : applicationBits) {
        if (!(m_info.supportedApps & bit))
            continue;
        if (DeviceApp* application = m_appFactory->createApplication(bit, *this))
            m_apps.append(application);
    }
    for (DeviceApp* application : qAsConst(m_apps))
        application->initialize();
    emit deviceAppsChanged();
    deleteApplications(previous);
    emit isDeviceActiveChanged(true);
}

void Device::deleteApplications(QList<DeviceApp*> applications)
{
    if (m_workerWait) {
        m_appsToDelete += applications;
        return;
    }
    qDeleteAll(applications);
}

// Called on the stack that entered the wait, so the deletions it posts wait
// for the event loop below: the caller of configure, perhaps one of these
// applications, returns first.
void Device::releaseAfterWait()
{
    for (DeviceApp* application : qAsConst(m_appsToDelete))
        application->deleteLater();
    m_appsToDelete.clear();
    if (m_deleteAfterWait) {
        m_deleteAfterWait = false;
        deleteLaterOutsideWaits();
    }
}

// The deletion the wait held back. Qt takes a second deleteLater of an object
// whose first one was delivered (here to the wait, which kept it) for one
// still pending and drops it whenever other events for the object wait, so
// the Device would never go. A new object's deleteLater, with the same rules
// of when it may run, takes its place; should the Device wait again by then,
// the deletion waits for that wait to end.
void Device::deleteLaterOutsideWaits()
{
    auto* standIn = new QObject;
    connect(standIn, &QObject::destroyed, [device = QPointer<Device>(this)] {
        if (!device)
            return;
        if (device->m_workerWait)
            device->m_deleteAfterWait = true;
        else
            delete device.data();
    });
    standIn->deleteLater();
}

bool Device::event(QEvent* event)
{
    // A deletion requested from an event handled inside the wait would run
    // inside it too, under the caller of configure.
    if (event->type() == QEvent::DeferredDelete && m_workerWait) {
        m_deleteAfterWait = true;
        return true;
    }
    return QObject::event(event);
}

QQmlListProperty<DeviceApp> Device::deviceApps()
{
    return QQmlListProperty<DeviceApp>(this, &m_apps);
}

void Device::setDeviceAppActivatedAt(int index, bool activate)
{
    if (index < 0 || index >= m_apps.size())
        return;
    if (m_activeApp)
        m_activeApp->disconnectFromDevice();
    if (m_basebandEnabled)
        setBasebandEnabled(false);
    if (activate) {
        m_activeApp = m_apps.at(index);
        m_activeApp->connectToDevice();
    }
    emit activeDeviceAppChanged(m_activeApp);
}

bool Device::tryReconnect()
{
    close();
    if (m_player)
        m_player->stop();
    if (!m_activeApp)
        return false;
    return m_activeApp->execute(true) != DeviceApp::InitializationFailed;
}

// ---- Properties ----------------------------------------------------------------

QString Device::defaultLogPath() const
{
    return ApplicationProperties::defaultLogPath();
}

QString Device::settingsFileName() const
{
    return ApplicationProperties::settingsFileName();
}

QString Device::latestFWVersion() const
{
    return m_firmwareManager ? m_firmwareManager->latestVersion(firmwareClass()) : QString();
}

FirmwareImage::FirmwareClass Device::firmwareClass() const
{
    return FirmwareImage::FirmwareClass(m_info.firmwareClass);
}

FirmwareImage::FirmwareState Device::firmwareState() const
{
    if (!m_firmwareManager)
        return FirmwareImage::FirmwareNotOnDisk;
    return m_firmwareManager->stateForVersion(firmwareClass(), m_info.firmwareVersion);
}

bool Device::supportsVitalSignsData() const
{
    return isPlaybackDevice() ? recordingHasDataTypes(vitalSignsDataType) : m_info.firmwareAtLeast1_5_10;
}

bool Device::supportsNormalizedMovementList() const
{
    return isPlaybackDevice() ? recordingHasDataTypes(normalizedMovementListDataType)
                              : (m_info.supportedApps & normalizedMovementListFeature) != 0;
}

QString Device::moduleId() const
{
    return inBootloaderMode() ? m_info.bootloaderModuleId : m_info.firmwareId;
}

QString Device::extraInfo() const
{
    return inBootloaderMode() ? m_info.bootloaderTail : m_info.extraInfo;
}

void Device::setBasebandScale(BasebandScale scale)
{
    if (scale == m_basebandScale)
        return;
    m_basebandScale = scale;
    emit basebandScaleChanged();
}

void Device::setBasebandEnabled(bool enabled)
{
    if (enabled == m_basebandEnabled)
        return;
    m_basebandEnabled = enabled;
    emit basebandEnabledChanged(enabled);
}

void Device::setPulseDopplerEnabled(bool enabled)
{
    if (enabled == m_pulseDopplerEnabled)
        return;
    m_pulseDopplerEnabled = enabled;
    emit pulseDopplerEnabledChanged(enabled);
}

// ---- Firmware installation ---------------------------------------------------------

void Device::setUpgradeTimings(
    std::chrono::milliseconds retryInterval, const SarvikDevice::UpgradeWaits& workerWaits)
{
    m_upgradeRetryInterval = retryInterval;
    if (m_worker)
        m_worker->setUpgradeWaits(workerWaits);
}

void Device::installFirmware(const QString& version)
{
    // A second installation would reach the module while the first one
    // programs it.
    if (m_isDeviceUpgrading) {
        qWarning().noquote() << "WARNING: firmware installation refused: an upgrade is running";
        return;
    }
    // The outcome goes to the device manager; without one the user interface
    // would wait for it for ever.
    if (!qobject_cast<DeviceManager*>(parent())) {
        qWarning().noquote() << "WARNING: firmware installation refused: no device manager to report to";
        return;
    }
    const QString fileName
        = m_firmwareManager ? m_firmwareManager->fileName(firmwareClass(), version) : QString();
    const QString pattern = firmwareClass() == FirmwareImage::Vallorin
        ? QStringLiteral(":/hex/vallorin/%1/%2")
        : QStringLiteral(":/hex/dax/%1/%2");
    m_firmwarePath = pattern.arg(version, fileName);
    setActive(false);
    setDeviceUpgrading(true);
    emit deviceAppsChanged();
    m_deviceUpgradeInfo
        = tr("Please wait while firmware version %1 is installed onto your Sarvik Module").arg(version);
    emit deviceUpgradeInfoChanged(m_deviceUpgradeInfo);
    QTimer::singleShot(m_upgradeRetryInterval, this, &Device::doDeviceUpgrade);
}

void Device::doDeviceUpgrade()
{
    if (!m_isDeviceUpgrading) {
        qWarning().noquote() << "WARNING: Attempting to trigger device upgrade while isUpgrading is false";
        return;
    }
    m_deviceUpgradeInfo = QStringLiteral("-- Module upgrade --\nEntering upgrade mode");
    emit deviceUpgradeInfoChanged(m_deviceUpgradeInfo);
    const QPointer<DeviceManager> manager = qobject_cast<DeviceManager*>(parent());
    // The search opens the ports, the module's among them; and a configure
    // that still waits for the worker goes first.
    if ((manager && manager->isSearching()) || m_workerWait) {
        if (ApplicationProperties::logLevel() > 0)
            qDebug().noquote() << "Waiting for device manager to finish device search";
        QTimer::singleShot(m_upgradeRetryInterval, this, &Device::doDeviceUpgrade);
        return;
    }
    if (m_firmwarePath.isEmpty()) {
        QCoreApplication::processEvents();
        m_deviceUpgradeInfo = QStringLiteral("Module upgrade failed!\nUnable to find firmware for id: ")
            + moduleId() + QStringLiteral("\nPlease contact Kestrom support");
        emit deviceUpgradeInfoChanged(m_deviceUpgradeInfo);
        setDeviceUpgrading(false);
        return;
    }
    QEventLoop loop;
    connect(m_worker, &SarvikDevice::upgradeFirmwareFinished, &loop, &QEventLoop::quit);
    if (!callWorker("upgradeFirmware", Qt::QueuedConnection, QGenericReturnArgument(),
            Q_ARG(QString, m_firmwarePath), Q_ARG(QString, m_firmwareVersionInfo))) {
        setDeviceUpgrading(false);
        return;
    }
    if (!waitForWorker(loop))
        return;
    const QString error = errorString();
    if (!error.isEmpty()) {
        qWarning().noquote() << "ERROR:" << error;
        m_deviceUpgradeInfo = error;
        emit deviceUpgradeInfoChanged(m_deviceUpgradeInfo);
        setDeviceUpgrading(false);
        if (manager)
            emit manager->upgradeFailed(m_deviceUpgradeInfo);
        return;
    }
    setDeviceUpgrading(false);
    if (manager)
        emit manager->upgradeComplete();
}

void Device::onFirmwareUpgradeStatus(QString info)
{
    m_deviceUpgradeInfo = info;
    emit deviceUpgradeInfoChanged(info);
}

void Device::setDeviceUpgrading(bool value)
{
    if (value == m_isDeviceUpgrading)
        return;
    m_isDeviceUpgrading = value;
    emit isDeviceUpgradingChanged(value);
}

// ---- Noise map and crash dump ----------------------------------------------------

bool Device::loadNoiseMap()
{
    return m_info.deviceType >= SarvikDeviceInfo::OspreyDevice && askWorker("loadNoiseMap");
}

bool Device::storeNoiseMap()
{
    return m_info.deviceType >= SarvikDeviceInfo::OspreyDevice && askWorker("storeNoiseMap");
}

bool Device::deleteNoiseMap()
{
    return m_info.deviceType >= SarvikDeviceInfo::OspreyDevice && askWorker("deleteNoiseMap");
}

QString Device::storeCrashDump()
{
    const QString fileName
        = QStringLiteral("%1/sarvik_crash_dump_%2.dat")
              .arg(ApplicationProperties::defaultLogPath(),
                  QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_hhmmss")));
    return askWorker("storeCrashDumpToDisk", Q_ARG(QString, fileName)) ? fileName : QString();
}

bool Device::deleteCrashDump()
{
    if (!askWorker("deleteCrashDumpOnModule"))
        return false;
    m_info.hasCrashDump = false;
    m_info.displayName.remove(crashDumpMarker);
    emit hasCrashDumpChanged();
    emit deviceNameChanged();
    return true;
}

// ---- Baseband frames and pulse-Doppler surfaces -------------------------------------

void Device::onAppData(uint contentId, QByteArray data)
{
    if (BasebandFrameDecoder::isBasebandFrame(contentId)) {
        const BasebandFrame frame
            = BasebandFrameDecoder::decode(contentId, data, BasebandFrameDecoder::Scale(m_basebandScale));
        emit sigNewBasebandFrame(frame.contentId, frame.frameCounter, frame.binLength, frame.rangeOffset,
            frame.amplitudeValues, frame.phaseValues);
    } else if (PulseDopplerDecoder::isPulseDopplerRow(contentId)) {
        if (const std::optional<uint> instance = m_pulseDoppler.addHalfRow(contentId, data))
            emit sigNewPulseDopplerSurfaceDataAvailable(*instance);
    }
}

void Device::updatePulseDopplerArray(QtDataVisualization::QSurface3DSeries* series, uint dopplerInstance)
{
    PulseDopplerSurface::update(series, m_pulseDoppler, dopplerInstance);
}

void Device::resetPulseDopplerData()
{
    m_pulseDoppler.reset();
}

void Device::resetPulseDopplerArray(QtDataVisualization::QSurface3DSeries* series)
{
    PulseDopplerSurface::reset(series);
}

// ---- Playback ------------------------------------------------------------------------

bool Device::playbackLoopModeEnabled() const
{
    return m_player && m_player->get_loop_mode_enabled();
}

void Device::setPlaybackLoopModeEnabled(bool enabled)
{
    if (!m_player || enabled == m_player->get_loop_mode_enabled())
        return;
    m_player->set_loop_mode_enabled(enabled);
    emit playbackLoopModeEnabledChanged();
}

qint64 Device::playbackDuration() const
{
    return m_player ? m_player->get_duration() : -1;
}

qint64 Device::playbackPosition() const
{
    return m_player ? m_player->get_position() : -1;
}

void Device::setPlaybackPosition(qint64 ms)
{
    if (!m_player)
        return;
    if (m_player->set_position(ms) != 0)
        qWarning().noquote() << "WARNING: failed to set playback position to:" << ms;
    emit playbackPositionChanged();
    emit playbackPositionUpdatedManually();
}

Device::PlaybackState Device::playbackState() const
{
    return m_player ? PlaybackState(m_player->get_state()) : StoppedState;
}

void Device::setPlaybackState(PlaybackState state)
{
    if (!m_player)
        return;
    m_player->set_state(Sarvik::DataPlayer::State(state));
    emit playbackStateChanged();
}

float Device::playbackRate() const
{
    return m_player ? m_player->get_playback_rate() : 1.0f;
}

void Device::setPlaybackRate(float rate)
{
    if (!m_player)
        return;
    m_player->set_playback_rate(rate);
    emit playbackRateChanged();
}

uint Device::playbackDataTypes() const
{
    return m_info.metadata.value(QStringLiteral("dataTypes")).toUInt();
}

QString Device::playbackParams()
{
    if (!m_player || !isPlaybackDevice())
        return QString();
    if (!m_playbackParams.isEmpty())
        return m_playbackParams;
    const QString fileName = m_info.metadata.value(QStringLiteral("fileName")).toString();
    if (fileName.isEmpty() || !QFileInfo(fileName).isFile())
        return QString();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray text = file.read(ModuleParameterFile::maxSize + 1);
    if (text.size() > ModuleParameterFile::maxSize) {
        qWarning().noquote() << "WARNING: parameter file too large to show:" << fileName;
        return QString();
    }
    m_playbackParams = QString::fromLatin1(text);
    return m_playbackParams;
}

QString Device::playbackMetaString()
{
    if (!m_player || !isPlaybackDevice())
        return QString();
    if (!m_playbackMetaString.isEmpty())
        return m_playbackMetaString;
    const QString metaFile = QString::fromStdString(m_player->meta_filename());
    const std::optional<RecordingSummary> summary = RecordingSummary::read(metaFile);
    if (!summary) {
        qWarning().noquote() << "WARNING: failed to open recording meta file:" << metaFile;
        return QString();
    }
    m_playbackMetaString = summary->text();
    return m_playbackMetaString;
}

bool Device::recordingHasDataTypes(quint32 mask) const
{
    if (!m_player)
        return false;
    const std::string metaFile = m_player->meta_filename();
    Sarvik::DataReader reader;
    if (reader.open(metaFile, -1) != 0) {
        qWarning().noquote() << "WARNING: failed to open recording meta file:"
                             << QString::fromStdString(metaFile);
        return false;
    }
    return (reader.get_data_types() & mask) == mask;
}

std::optional<quint32> Device::supportedAppsForProfile(quint32 profileId)
{
    switch (profileId) {
    case 0x47FABEBA:
        return 0x40;
    case 0x014D4AB8:
        return 0x10;
    case 0x064E57AD:
        return 0x20;
    // Recorded in a profile that no application plays back.
    case 0x6B5C1609:
        return 0x4000;
    case 0xA9E03260:
        return 0x400;
    case 0x4AC5D074:
        return 0x200;
    case 0:
        return daxApplication;
    default:
        return std::nullopt;
    }
}

QList<float> Device::parseParameterLine(const QString& line, const QString& key)
{
    return ModuleParameterFile::parseLine(ModuleParameterFile::cleanLine(line), key).value_or(QList<float>());
}

bool Device::refuseRecording(const QString& reason)
{
    m_recordingError = reason;
    return false;
}

bool Device::setRecordingUrl(QUrl url)
{
    if (!isPlaybackDevice())
        return refuseRecording(QStringLiteral("device is not a playback device"));
    if (!m_isDeviceActive)
        return refuseRecording(QStringLiteral("device not active"));
    // The worker must read from no player while this one is replaced.
    if (isConnected() || m_activeApp || m_workerWait)
        return refuseRecording(QStringLiteral("device app active"));
    m_recordingError.clear();
    m_playbackMetaString.clear();
    m_playbackParams.clear();
    m_info.metadata.clear();
    const QString path = url.toLocalFile();
    if (path.isEmpty() || !QFileInfo::exists(path))
        return refuseRecording(QStringLiteral("no such file exists"));
    return openRecording(path);
}

bool Device::openRecording(const QString& path)
{
    const std::string metaFile = path.toUtf8().toStdString();
    Sarvik::DataReader reader;
    if (reader.open(metaFile, -1) != 0)
        return refuseRecording(QStringLiteral("invalid recording or corrupt data"));
    const quint32 version = reader.get_meta_version();
    if (version < 13)
        return refuseRecording(QStringLiteral("unsupported version: %1 (requires >= 1.3)")
                                   .arg(RecordingSummary::versionText(version)));
    const quint32 profile = reader.get_profile_id();
    const QString directory = QFileInfo(path).absolutePath();
    if (profile == 0) {
        const std::unique_ptr<RecordingParameterFile> parameters = RecordingParameterFile::open(directory);
        if (!parameters)
            return refuseRecording(QStringLiteral("Recording with profile_id 0 but no DAX metadata found."));
        m_info.zoneMin = parameters->detectionZoneStart();
        m_info.zoneMax = parameters->detectionZoneEnd();
        m_info.zoneStep = parameters->detectionZoneStep();
        m_info.downconversion = parameters->downConversion() != 0;
        setActive(false);
        m_info.supportedApps = daxApplication;
    } else {
        if (!readModuleParameterFile(directory + QLatin1Char('/') + ModuleParameterFile::fileName))
            return false;
        const std::optional<quint32> applications = supportedAppsForProfile(profile);
        if (!applications)
            return refuseRecording(QStringLiteral("unsupported profile id: %1").arg(profile));
        m_info.supportedApps = *applications;
    }
    m_info.metadata.insert(QStringLiteral("dataTypes"), uint(reader.get_data_types()));

    std::unique_ptr<Sarvik::DataPlayer> player;
    try {
        player = std::make_unique<Sarvik::DataPlayer>(metaFile, -1);
    } catch (const std::exception& e) {
        qWarning().noquote() << "WARNING: cannot play the recording:" << e.what();
        return refuseRecording(QStringLiteral("invalid recording or corrupt data"));
    } catch (...) {
        return refuseRecording(QStringLiteral("invalid recording or corrupt data"));
    }
    // The worker's connection is closed (see setRecordingUrl): it takes the
    // new player before the previous one goes.
    if (m_worker) {
        m_worker->setDataPlayer(player.get());
        m_worker->setDeviceInfo(m_info);
    }
    m_player = std::move(player);

    setPlaybackLoopModeEnabled(true);
    setPlaybackRate(1.0f);
    m_playbackPositionTimer.start();
    emit playbackDurationChanged();
    setActive(true);
    return true;
}

bool Device::readModuleParameterFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return refuseRecording(QStringLiteral("no parameter file"));
    QFile file(path);
    // Only a regular file: a pipe or a device would hold the reader up.
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        return refuseRecording(QStringLiteral("failed to open parameter file"));
    if (file.size() > ModuleParameterFile::maxSize)
        return refuseRecording(QStringLiteral("parameter file too large"));
    m_info.metadata.insert(QStringLiteral("fileName"), path);
    setActive(false);

    const ModuleParameterFile::Contents contents = ModuleParameterFile::scan(file);
    if (const auto& range = contents.rangeVector) {
        qDebug() << "successfully read range vec: min =" << range->at(0) << "max =" << range->at(1);
        m_info.metadata.insert(QStringLiteral("RangeVec"), QVariantList { range->at(0), range->at(1) });
    }
    if (const auto& span = contents.zoneSpan) {
        qDebug() << "successfully read zone span: min =" << span->at(0) << "max =" << span->at(1);
        m_info.zoneMin = span->at(0);
        m_info.zoneMax = span->at(1);
        m_info.zoneStep = recordedZoneStep;
    }
    if (!contents.error.isEmpty())
        return refuseRecording(contents.error);
    return true;
}
