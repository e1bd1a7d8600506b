#include "DeviceManager.hpp"

#include "apps/SleepAnalysisInterface.hpp"
#include "device/DeviceSearch.hpp"
#include "device/SleepAnalysisPluginLoader.hpp"
#include "firmware/FirmwareManager.hpp"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QSignalBlocker>
#include <QTextStream>
#include <QtConcurrent/QtConcurrentRun>

namespace {

QString readImageList()
{
    QFile file(QStringLiteral(":/fw-images.xml"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    QTextStream stream(&file);
    stream.setCodec("UTF-8");
    return stream.readAll();
}

} // namespace

DeviceManager::DeviceManager(QObject* parent)
    : DeviceManager(Options(), parent)
{ }

DeviceManager::DeviceManager(const Options& options, QObject* parent)
    : QObject(parent)
    , m_firmwareManager(std::make_unique<FirmwareManager>())
    , m_recoveryWindow(options.recoveryWindow)
    , m_programDirectory(options.programDirectory)
    , m_appFactory(options.appFactory)
{
    connect(&m_searchWatcher, &QFutureWatcher<QList<SarvikDeviceInfo>>::finished, this,
        &DeviceManager::onDeviceListReady);
    m_onlineUpgrade = new OnlineUpgrade(this);
    connect(m_onlineUpgrade, &OnlineUpgrade::newVersionAvailable, this, &DeviceManager::newVersionAvailable);
    connect(this, &DeviceManager::upgradeComplete, this, &DeviceManager::onUpgradeComplete);
    connect(this, &DeviceManager::upgradeFailed, this, &DeviceManager::onUpgradeComplete);
    m_searchTimer.setInterval(options.searchInterval);
    connect(&m_searchTimer, &QTimer::timeout, this, &DeviceManager::automaticDeviceSearch);
    m_recoveryTimer.setSingleShot(true);
    connect(&m_recoveryTimer, &QTimer::timeout, this, &DeviceManager::onActiveDeviceRecoveryTimeout);
    const QString imageList = readImageList();
    if (!imageList.isEmpty())
        m_firmwareManager->loadImageList(imageList);
}

DeviceManager::~DeviceManager()
{
    m_searchTimer.stop();
    m_recoveryTimer.stop();
    // A search already running cannot be cancelled: wait until it has let go
    // of the ports, and take no list from it.
    m_searchWatcher.disconnect(this);
    if (!m_searchWatcher.isFinished()) {
        m_searchWatcher.cancel();
        m_searchWatcher.waitForFinished();
    }
    const QList<Device*> devices = m_devices;
    m_devices.clear();
    m_activeDevice = nullptr;
    for (Device* device : devices)
        delete device;
    // Devices taken out of the list whose deferred deletion has not run yet
    // go now, while the firmware manager they know still exists.
    qDeleteAll(findChildren<Device*>(QString(), Qt::FindDirectChildrenOnly));
}

// ---- Properties ------------------------------------------------------------------

QQmlListProperty<Device> DeviceManager::devices()
{
    return QQmlListProperty<Device>(this, nullptr, &DeviceManager::deviceCount, &DeviceManager::deviceAt);
}

int DeviceManager::deviceCount(QQmlListProperty<Device>* list)
{
    return static_cast<DeviceManager*>(list->object)->m_devices.size();
}

Device* DeviceManager::deviceAt(QQmlListProperty<Device>* list, int index)
{
    return static_cast<DeviceManager*>(list->object)->m_devices.value(index);
}

QObject* DeviceManager::activeDevice() const
{
    return m_activeDevice.data();
}

QString DeviceManager::swInfo() const
{
    return QStringLiteral("About:\nSW Version: ") + QCoreApplication::applicationVersion();
}

QQmlListProperty<FirmwareImage> DeviceManager::firmwareImages()
{
    return QQmlListProperty<FirmwareImage>(
        this, nullptr, &DeviceManager::firmwareImageCount, &DeviceManager::firmwareImageAt);
}

QList<FirmwareImage*> DeviceManager::activeFirmwareImages() const
{
    if (!m_activeDevice)
        return {};
    return m_firmwareManager->imagesOfClass(m_activeDevice->firmwareClass());
}

int DeviceManager::firmwareImageCount(QQmlListProperty<FirmwareImage>* list)
{
    return static_cast<DeviceManager*>(list->object)->activeFirmwareImages().size();
}

FirmwareImage* DeviceManager::firmwareImageAt(QQmlListProperty<FirmwareImage>* list, int index)
{
    return static_cast<DeviceManager*>(list->object)->activeFirmwareImages().value(index);
}

SarvikDeviceInfo DeviceManager::playbackDeviceInfo()
{
    SarvikDeviceInfo info;
    info.displayName = QStringLiteral("Sarvik Playback");
    info.portName = QStringLiteral("from recording");
    info.connectionKind = QStringLiteral("Playback");
    info.description = QStringLiteral("%1, %2").arg(info.connectionKind, info.portName);
    const QString playback = QStringLiteral("playback");
    info.firmwareVersion = playback;
    info.firmwareId = playback;
    info.itemNumber = playback;
    info.extraInfo = playback;
    info.orderCode = playback;
    info.serialNumber = playback;
    info.buildInfo = playback;
    info.supportedApps = 0x1;
    info.connectionMode = SarvikDeviceInfo::NormalMode;
    info.deviceType = SarvikDeviceInfo::PlaybackDevice;
    info.identified = true;
    return info;
}

// ---- Searching -------------------------------------------------------------------

void DeviceManager::onQmlCompleted()
{
    m_recovering = false;
    m_searchTimer.start();
    QTimer::singleShot(0, this, &DeviceManager::automaticDeviceSearch);
    m_onlineUpgrade->checkForNewVersion();
    QTimer::singleShot(0, this, &DeviceManager::loadSleepAnalysisPlugin);
}

void DeviceManager::automaticDeviceSearch()
{
    const bool browsing = !m_activeDevice && !m_recovering;
    const bool recoveringActive = m_activeDevice && m_recovering;
    if (!browsing && !recoveringActive)
        return;
    const QSignalBlocker blocker(m_searchTimer);
    startSearch();
    // The next tick comes a whole interval after this search began.
    if (m_searchTimer.isActive())
        m_searchTimer.start();
}

void DeviceManager::startSearch()
{
    if (m_searching)
        return;
    m_searching = true;
    m_searchWatcher.setFuture(QtConcurrent::run([]() -> QList<SarvikDeviceInfo> {
        // The search does not throw; should it ever, the GUI thread must not
        // meet the exception again when it takes the result.
        try {
            return searchDevices();
        } catch (...) {
            return {};
        }
    }));
}

void DeviceManager::onDeviceListReady()
{
    QList<SarvikDeviceInfo> found = m_searchWatcher.result();

    if (m_activeDevice) {
        if (!m_recovering) {
            qWarning() << "ignoring new device list: device already selected";
        } else {
            for (const SarvikDeviceInfo& info : found) {
                if (!isSameModule(info, m_activeDevice->moduleInfo()))
                    continue;
                m_activeDevice->updateWorkerDeviceInfo(info);
                m_searchTimer.stop();
                m_recoveryTimer.stop();
                // Recovery is over: once the device is given up later, the
                // search has to run again.
                m_recovering = false;
                m_searching = false;
                emit activeDeviceChanged(m_activeDevice.data());
                emit activeDeviceRecovered(true);
                return;
            }
        }
        m_searching = false;
        return;
    }

    found.prepend(playbackDeviceInfo());
    if (found != m_lastDeviceInfos) {
        const QList<Device*> old = m_devices;
        m_devices.clear();
        m_lastDeviceInfos = found;
        for (const SarvikDeviceInfo& info : qAsConst(m_lastDeviceInfos))
            m_devices.append(new Device(info, m_firmwareManager.get(), this, m_appFactory));
        emit devicesChanged();
        for (Device* device : old)
            deleteDevice(device);
    }
    m_searching = false;
}

// ---- Activation --------------------------------------------------------------------

void DeviceManager::setDeviceActivatedAt(int index, bool activate)
{
    if (index < 0 || index >= m_devices.size())
        return;
    // A recovery is for the device being given up: its time-out must not
    // remove the device chosen next.
    const bool recoveryAbandoned = m_activeDevice && m_recovering;
    if (m_activeDevice) {
        Device* previous = m_activeDevice;
        m_activeDevice = nullptr;
        previous->setActive(false);
    }
    if (recoveryAbandoned) {
        m_recovering = false;
        m_recoveryTimer.stop();
    }
    if (activate) {
        m_searchTimer.stop();
        m_activeDevice = m_devices.at(index);
        m_activeDevice->setActive(true);
    } else {
        m_searchTimer.start();
    }
    emit activeDeviceChanged(m_activeDevice.data());
    if (recoveryAbandoned)
        emit activeDeviceRecovered(false);
}

void DeviceManager::clearActiveDevice()
{
    if (m_activeDevice) {
        setDeviceActivatedAt(m_devices.indexOf(m_activeDevice.data()), false);
    } else if (!m_searchTimer.isActive()) {
        m_searchTimer.start();
    }
}

// ---- Recovery and upgrades ------------------------------------------------------------

void DeviceManager::recoverActiveDevice()
{
    m_recovering = true;
    m_searchTimer.start();
    m_recoveryTimer.start(m_recoveryWindow);
}

void DeviceManager::onActiveDeviceRecoveryTimeout()
{
    m_recovering = false;
    m_lastDeviceInfos.clear();
    dropActiveDevice();
    emit activeDeviceRecovered(false);
}

void DeviceManager::onUpgradeComplete()
{
    dropActiveDevice();
}

void DeviceManager::dropActiveDevice()
{
    Device* device = m_activeDevice.data();
    clearActiveDevice();
    if (!device)
        return;
    m_lastDeviceInfos.clear();
    m_devices.removeAll(device);
    emit devicesChanged();
    device->deleteLater();
}

void DeviceManager::deleteDevice(Device* device)
{
    // One waiting for its worker goes once its wait has ended.
    if (device->isWaitingForWorker())
        device->deleteLater();
    else
        delete device;
}

// ---- Sleep-analysis plug-in -------------------------------------------------------------

void DeviceManager::loadSleepAnalysisPlugin()
{
    if (m_sleepAnalysisPlugin)
        return;
    const QString directory
        = m_programDirectory.isEmpty() ? QCoreApplication::applicationDirPath() : m_programDirectory;
    const SleepAnalysisPluginLoader::Plugin plugin = SleepAnalysisPluginLoader::load(directory);
    if (!plugin)
        return;
    m_sleepAnalysisPlugin = plugin.analysis;
    emit hasSleepAnalysisPluginChanged();
}
