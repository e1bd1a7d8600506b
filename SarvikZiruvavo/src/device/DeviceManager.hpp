// The one object through which the user interface sees the modules, published
// to QML as "deviceManager". While no module is in use it searches the serial
// ports once a second, in the background, and keeps a list of Devices built
// from the result, always led by the playback entry (a recording played as if
// it were a module). One device at a time is active; while one is, no search
// runs, except to find the active module again after it vanished (recovery).
// It also offers the firmware images that fit the active module, owns the
// once-per-run check for a newer release and loads the optional
// sleep-analysis plug-in.
//
// Everything runs on the GUI thread; only the search itself runs on Qt's
// global thread pool, one at a time, and hands its list back through a
// future. Destroying the manager waits for a running search and deletes every
// Device (each closes its module and stops its worker).
//
// A Device that installs firmware reports the end of the upgrade through the
// manager's upgradeComplete() or upgradeFailed(reason); either drops the
// active Device, and the next search lists the module anew. An upgrade waits
// while isSearching() is true.
#pragma once

#include "core/OnlineUpgrade.hpp"
#include "core/SarvikDeviceInfo.hpp"
#include "device/Device.hpp"
#include "firmware/FirmwareImage.hpp"

#include <QFutureWatcher>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QQmlListProperty>
#include <QString>
#include <QTimer>

#include <chrono>
#include <memory>

class DeviceAppFactory;
class FirmwareManager;
class SleepAnalysisInterface;

class DeviceManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(QQmlListProperty<Device> devices READ devices NOTIFY devicesChanged)
    Q_PROPERTY(QObject* activeDevice READ activeDevice NOTIFY activeDeviceChanged)
    Q_PROPERTY(QString swInfo READ swInfo CONSTANT)
    Q_PROPERTY(OnlineUpgrade* onlineUpgrade READ onlineUpgrade CONSTANT)
    Q_PROPERTY(bool hasSleepAnalysisPlugin READ hasSleepAnalysisPlugin NOTIFY hasSleepAnalysisPluginChanged)
    Q_PROPERTY(QQmlListProperty<FirmwareImage> firmwareImages READ firmwareImages CONSTANT)

public:
    // What the program leaves as it is and a test may change.
    struct Options {
        // Between two searches while no device is in use.
        std::chrono::milliseconds searchInterval { 1000 };
        // How long recovery looks for the active module before it gives up.
        std::chrono::milliseconds recoveryWindow { 15000 };
        // Where the "plugins" folder is looked for; empty: the program's folder.
        QString programDirectory;
        // Makes the Devices' applications; null: the program's. Must outlive
        // the manager.
        const DeviceAppFactory* appFactory = nullptr;
    };

    explicit DeviceManager(QObject* parent = nullptr);
    explicit DeviceManager(const Options& options, QObject* parent = nullptr);
    ~DeviceManager() override;

    QQmlListProperty<Device> devices();
    QObject* activeDevice() const;
    // "About:\nSW Version: " and the program's version.
    QString swInfo() const;
    OnlineUpgrade* onlineUpgrade() const { return m_onlineUpgrade; }
    bool hasSleepAnalysisPlugin() const { return m_sleepAnalysisPlugin != nullptr; }
    // The images of the active device's firmware class, newest first; none
    // while no device is active. Taken anew at every read.
    QQmlListProperty<FirmwareImage> firmwareImages();

    // -- for program code

    // A background search runs.
    bool isSearching() const { return m_searching; }
    // Recovery of the active device runs.
    bool isRecovering() const { return m_recovering; }
    // The loaded plug-in's interface, or null. Invokable, so that the
    // applications of a Device find it through the Device's parent.
    Q_INVOKABLE SleepAnalysisInterface* sleepAnalysisPlugin() const { return m_sleepAnalysisPlugin; }
    FirmwareManager* firmwareManager() const { return m_firmwareManager.get(); }
    // The Devices in list order (the playback entry first, once a search ended).
    QList<Device*> deviceList() const { return m_devices; }
    // The record of the playback entry that leads the device list.
    static SarvikDeviceInfo playbackDeviceInfo();

signals:
    void devicesChanged();
    void activeDeviceChanged(QObject* device);
    void upgradeComplete();
    void upgradeFailed(QString reason);
    void newVersionAvailable();
    void hasSleepAnalysisPluginChanged();
    void activeDeviceRecovered(bool recovered);

public slots:
    // Deactivates the active device, if any; then makes the device at index
    // the active one (activate), or starts browsing again. An index outside
    // the list is ignored. Deactivation ends a recovery of the device, which
    // then reports activeDeviceRecovered(false).
    void setDeviceActivatedAt(int index, bool activate);
    // The user interface is up: searching, the version check and the
    // plug-in loading start.
    void onQmlCompleted();
    void clearActiveDevice();
    // The active module stopped answering: search for it (on any port) for
    // the recovery window; activeDeviceRecovered tells the outcome.
    void recoverActiveDevice();

private slots:
    void onDeviceListReady();
    void automaticDeviceSearch();
    void onUpgradeComplete();
    void loadSleepAnalysisPlugin();
    void onActiveDeviceRecoveryTimeout();

private:
    void startSearch();
    // Takes the active device out of the list and deletes it once control is
    // back in the event loop.
    void dropActiveDevice();
    void deleteDevice(Device* device);

    static int deviceCount(QQmlListProperty<Device>* list);
    static Device* deviceAt(QQmlListProperty<Device>* list, int index);
    static int firmwareImageCount(QQmlListProperty<FirmwareImage>* list);
    static FirmwareImage* firmwareImageAt(QQmlListProperty<FirmwareImage>* list, int index);
    QList<FirmwareImage*> activeFirmwareImages() const;

    QFutureWatcher<QList<SarvikDeviceInfo>> m_searchWatcher;
    bool m_searching = false;
    bool m_recovering = false;
    QList<Device*> m_devices;
    QPointer<Device> m_activeDevice;
    QTimer m_searchTimer;
    QTimer m_recoveryTimer;
    OnlineUpgrade* m_onlineUpgrade = nullptr;
    SleepAnalysisInterface* m_sleepAnalysisPlugin = nullptr;
    // Goes after every Device, which may ask it to its end.
    std::unique_ptr<FirmwareManager> m_firmwareManager;
    QList<SarvikDeviceInfo> m_lastDeviceInfos;
    std::chrono::milliseconds m_recoveryWindow;
    QString m_programDirectory;
    const DeviceAppFactory* m_appFactory = nullptr;
};
