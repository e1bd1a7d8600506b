// The object through which the user interface and the application objects see
// one module, or a recording opened for playback: the QML type "Device". It
// lives on the GUI thread and owns the module's worker (a SarvikDevice on a
// thread of its own, which makes every library call of the module), its
// application objects and, for playback, the recording's player.
//
// Every call into the worker crosses threads as a queued call by method name,
// blocking where a result is needed. configure and the firmware installation
// wait for the worker in a nested event loop, during which GUI events keep
// flowing; while one waits:
//   - a configure is refused, and an installation waits its turn;
//   - applications that go (deactivation) are deleted only once the loop has
//     ended and control is back in the event loop below it, since one of
//     them may be the caller waiting in it;
//   - deleteLater on the Device likewise takes effect only then. Delete a
//     Device with deleteLater, or directly only while isWaitingForWorker is
//     false: a Device deleted under the loop ends the loop, and configure
//     returns false without touching it, but its applications go with it.
#pragma once

#include "apps/DeviceApp.hpp"
#include "core/SarvikDeviceConfiguration.hpp"
#include "core/SarvikDeviceInfo.hpp"
#include "device/LibraryMetaTypes.hpp"
#include "device/PulseDopplerDecoder.hpp"
#include "device/SarvikDevice.hpp"
#include "firmware/FirmwareImage.hpp"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QQmlListProperty>
#include <QString>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QVariantList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class DeviceAppFactory;
class FirmwareManager;
class QEventLoop;
class SarvikDevice;

namespace Sarvik {
class DataPlayer;
}

namespace QtDataVisualization {
class QSurface3DSeries;
}

class Device : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString defaultLogPath READ defaultLogPath CONSTANT)
    Q_PROPERTY(QString deviceName READ deviceName NOTIFY deviceNameChanged)
    Q_PROPERTY(QString deviceFWVersion READ deviceFWVersion CONSTANT)
    Q_PROPERTY(QString latestFWVersion READ latestFWVersion CONSTANT)
    Q_PROPERTY(QString deviceInfo READ deviceInfo CONSTANT)
    Q_PROPERTY(QString deviceType READ deviceType CONSTANT)
    Q_PROPERTY(QString deviceUpgradeInfo READ deviceUpgradeInfo NOTIFY deviceUpgradeInfoChanged)
    Q_PROPERTY(
        BasebandScale basebandScale READ basebandScale WRITE setBasebandScale NOTIFY basebandScaleChanged)
    Q_PROPERTY(bool isDeviceUpgrading READ isDeviceUpgrading NOTIFY isDeviceUpgradingChanged)
    Q_PROPERTY(bool isDeviceActive READ isDeviceActive WRITE setActive NOTIFY isDeviceActiveChanged)
    Q_PROPERTY(
        bool basebandEnabled READ basebandEnabled WRITE setBasebandEnabled NOTIFY basebandEnabledChanged)
    Q_PROPERTY(bool pulseDopplerEnabled READ pulseDopplerEnabled WRITE setPulseDopplerEnabled NOTIFY
            pulseDopplerEnabledChanged)
    Q_PROPERTY(QQmlListProperty<DeviceApp> deviceApps READ deviceApps NOTIFY deviceAppsChanged)
    Q_PROPERTY(DeviceApp* activeDeviceApp READ activeDeviceApp NOTIFY activeDeviceAppChanged)
    Q_PROPERTY(bool isZ7Device READ isZ7Device CONSTANT)
    Q_PROPERTY(bool isDaxDevice READ isDaxDevice CONSTANT)
    Q_PROPERTY(bool inSafeMode READ inSafeMode CONSTANT)
    Q_PROPERTY(bool hasCrashDump READ hasCrashDump NOTIFY hasCrashDumpChanged)
    Q_PROPERTY(bool isPlaybackDevice READ isPlaybackDevice CONSTANT)
    Q_PROPERTY(bool playbackLoopModeEnabled READ playbackLoopModeEnabled WRITE setPlaybackLoopModeEnabled
            NOTIFY playbackLoopModeEnabledChanged)
    Q_PROPERTY(qint64 playbackDuration READ playbackDuration NOTIFY playbackDurationChanged)
    Q_PROPERTY(qint64 playbackPosition READ playbackPosition WRITE setPlaybackPosition NOTIFY
            playbackPositionChanged)
    Q_PROPERTY(
        PlaybackState playbackState READ playbackState WRITE setPlaybackState NOTIFY playbackStateChanged)
    Q_PROPERTY(float playbackRate READ playbackRate WRITE setPlaybackRate NOTIFY playbackRateChanged)
    // Constant for QML although another recording changes them: the pages
    // read them anew each time they show them.
    Q_PROPERTY(QString playbackParams READ playbackParams CONSTANT)
    Q_PROPERTY(QString playbackMetaString READ playbackMetaString CONSTANT)
    Q_PROPERTY(uint playbackDataTypes READ playbackDataTypes CONSTANT)
    Q_PROPERTY(bool supportsFrequencyBandSetting READ supportsFrequencyBandSetting CONSTANT)
    Q_PROPERTY(FirmwareImage::FirmwareClass firmwareClass READ firmwareClass CONSTANT)
    Q_PROPERTY(FirmwareImage::FirmwareState firmwareState READ firmwareState CONSTANT)
    Q_PROPERTY(bool supportsVitalSignsData READ supportsVitalSignsData CONSTANT)
    Q_PROPERTY(bool supportsNormalizedMovementList READ supportsNormalizedMovementList CONSTANT)
    Q_PROPERTY(bool supportsStoredNoiseMap READ supportsStoredNoiseMap CONSTANT)
    Q_PROPERTY(bool supportsDefaultNoiseMap READ supportsDefaultNoiseMap CONSTANT)

public:
    enum BasebandScale { LogarithmicBasebandScale = 0, LinearBasebandScale = 1 };
    Q_ENUM(BasebandScale)
    // The player's own state values.
    enum PlaybackState { StoppedState = 0, PlayingState = 1, PausedState = 2 };
    Q_ENUM(PlaybackState)

    // Bits of the supported-applications mask that name applications, in the
    // order the applications are made.
    static const quint32 applicationBits[9];

    // Exists only because QML type registration needs a default constructor;
    // calling it stops the program.
    Device();
    // The application factory must outlive the Device; none: the program's.
    Device(const SarvikDeviceInfo& info, FirmwareManager* firmwareManager, QObject* parent = nullptr,
        const DeviceAppFactory* appFactory = nullptr);
    // Deactivates, has the worker close the connection, stops the worker's
    // thread and deletes the worker; the player goes last.
    ~Device() override;

    QString defaultLogPath() const;
    QString deviceName() const { return m_info.displayName; }
    QString deviceFWVersion() const { return m_info.firmwareVersion; }
    QString latestFWVersion() const;
    QString deviceInfo() const { return m_info.description; }
    QString deviceType() const { return m_info.connectionKind; }
    QString deviceUpgradeInfo() const { return m_deviceUpgradeInfo; }
    BasebandScale basebandScale() const { return m_basebandScale; }
    void setBasebandScale(BasebandScale scale);
    bool isDeviceUpgrading() const { return m_isDeviceUpgrading; }
    bool isDeviceActive() const { return m_isDeviceActive; }
    // Activation makes the applications of the supported-applications mask
    // (after storing and deleting a crash dump the module holds);
    // deactivation deletes them and has the worker close the connection.
    void setActive(bool active);
    bool basebandEnabled() const { return m_basebandEnabled; }
    void setBasebandEnabled(bool enabled);
    bool pulseDopplerEnabled() const { return m_pulseDopplerEnabled; }
    void setPulseDopplerEnabled(bool enabled);
    QQmlListProperty<DeviceApp> deviceApps();
    DeviceApp* activeDeviceApp() const { return m_activeApp; }
    bool isZ7Device() const { return m_info.deviceType > SarvikDeviceInfo::CorvidDevice; }
    bool isDaxDevice() const { return m_info.deviceType == SarvikDeviceInfo::DaxDevice; }
    bool inSafeMode() const { return m_info.connectionMode == SarvikDeviceInfo::SafeMode; }
    bool hasCrashDump() const { return m_info.hasCrashDump; }
    bool isPlaybackDevice() const { return m_info.deviceType == SarvikDeviceInfo::PlaybackDevice; }

    bool playbackLoopModeEnabled() const;
    void setPlaybackLoopModeEnabled(bool enabled);
    qint64 playbackDuration() const;
    qint64 playbackPosition() const;
    void setPlaybackPosition(qint64 ms);
    PlaybackState playbackState() const;
    void setPlaybackState(PlaybackState state);
    float playbackRate() const;
    void setPlaybackRate(float rate);
    QString playbackParams();
    QString playbackMetaString();
    uint playbackDataTypes() const;

    bool supportsFrequencyBandSetting() const { return m_info.txFrequencyKnown; }
    FirmwareImage::FirmwareClass firmwareClass() const;
    FirmwareImage::FirmwareState firmwareState() const;
    bool supportsVitalSignsData() const;
    bool supportsNormalizedMovementList() const;
    bool supportsStoredNoiseMap() const { return m_info.supportedApps & 0x1000; }
    bool supportsDefaultNoiseMap() const { return m_info.supportedApps & 0x2000; }

    Q_INVOKABLE QString settingsFileName() const;
    Q_INVOKABLE bool inBootloaderMode() const
    {
        return m_info.connectionMode == SarvikDeviceInfo::BootloaderMode;
    }
    // The worker's error text (of the last configure or crash-dump call).
    Q_INVOKABLE QString errorString() const;
    // Why the last recording was refused.
    Q_INVOKABLE QString recordingErrorString() const { return m_recordingError; }
    Q_INVOKABLE bool loadNoiseMap();
    Q_INVOKABLE bool storeNoiseMap();
    Q_INVOKABLE bool deleteNoiseMap();
    // The file the module's crash dump was written to; empty when it failed.
    Q_INVOKABLE QString storeCrashDump();
    Q_INVOKABLE bool deleteCrashDump();
    // Installs the carried firmware image of that version for the module's
    // firmware class: deactivates the Device, shows the upgrade's progress
    // and status texts and, once no device search of the DeviceManager runs,
    // has the worker program the module; the DeviceManager (the parent)
    // hears the end as upgradeComplete or upgradeFailed. Refused while an
    // upgrade runs, and for a Device that has no DeviceManager to report to.
    Q_INVOKABLE void installFirmware(const QString& version);

    // -- for the applications and the device manager

    // Sends the configuration to the module and waits (in a nested event
    // loop) until the worker has finished. The detection zone the module
    // reports goes to the configuration's result pointers. For playback a
    // successful configure starts the player. False when it failed, when
    // another configure is running, or when the Device was deleted meanwhile.
    bool configure(SarvikDeviceConfiguration config);
    // Queued; the outcome comes back as recordingDirectoryReady or
    // recordingError. True at once.
    bool startRecording(
        Sarvik::DataTypes dataTypes, const QString& logPath, const Sarvik::RecordingOptions& options);
    void stopRecording(Sarvik::DataTypes dataTypes);
    // Whether the call could be queued.
    bool setBasenameForDataType(Sarvik::DataType type, const QString& basename);
    void setupRecordingErrorCallback();
    void clearRecordingErrorCallback();
    // Queues close to the worker.
    bool close();
    // Data types an application puts in the debug recording of its
    // configuration: performance status and string data.
    static quint32 debugRecordingDataTypes() { return 0x30; }
    const SarvikDeviceInfo& moduleInfo() const { return m_info; }
    // A newer record of the same module, for the worker only.
    void updateWorkerDeviceInfo(const SarvikDeviceInfo& info);
    bool isConnected() const;
    QString orderCode() const { return m_info.orderCode; }
    QString serialNumber() const { return m_info.serialNumber; }
    QString itemNumber() const { return m_info.itemNumber; }
    // The module's id as the upgrade names it: the bootloader's module id in
    // bootloader mode, else the firmware id.
    QString moduleId() const;
    // The bootloader's tail in bootloader mode, else the extra information.
    QString extraInfo() const;
    // True while configure waits for the worker: delete the Device with
    // deleteLater then.
    bool isWaitingForWorker() const { return m_workerWait != nullptr; }

    // -- playback

    // Whether the recording holds every data type of the mask.
    bool recordingHasDataTypes(quint32 mask) const;
    // Reads the recording's module parameter file into the module record;
    // deactivates the Device once the file is open. False (with the reason
    // in recordingErrorString) when it lacks what playback needs.
    bool readModuleParameterFile(const QString& path);
    // The numbers of a parameter file line "key = {n, n};"; empty when the
    // line is not one of that key.
    static QList<float> parseParameterLine(const QString& line, const QString& key);
    // The applications a recording of this module profile can feed.
    static std::optional<quint32> supportedAppsForProfile(quint32 profileId);

    // Watches every call the Device makes into its worker: the method's name
    // and its arguments, before the call is made. For tests.
    using WorkerCallObserver = std::function<void(const QByteArray& method, const QVariantList& arguments)>;
    void setWorkerCallObserver(WorkerCallObserver observer) { m_workerCallObserver = std::move(observer); }
    // The pause before an installation starts, and between its looks at a
    // running device search; and the worker's waits during the upgrade. For
    // tests; set them before installFirmware.
    void setUpgradeTimings(
        std::chrono::milliseconds retryInterval, const SarvikDevice::UpgradeWaits& workerWaits);

signals:
    void basebandEnabledChanged(bool enabled);
    void pulseDopplerEnabledChanged(bool enabled);
    void basebandScaleChanged();
    void deviceUpgradeProgress(double percent);
    void deviceModeChanged(int mode);
    void isDeviceUpgradingChanged(bool upgrading);
    void deviceUpgradeInfoChanged(QString info);
    void isDeviceActiveChanged(bool active);
    void deviceAppsChanged();
    void activeDeviceAppChanged(DeviceApp* app);
    void hasCrashDumpChanged();
    void deviceNameChanged();
    void sigNewDataApp(uint contentId, QByteArray data);
    void sigNewBasebandFrame(uint contentId, uint frameCounter, double binLength, double rangeOffset,
        QList<qreal> amplitudeValues, QList<qreal> phaseValues);
    void sigNewPulseDopplerSurfaceDataAvailable(uint dopplerInstance);
    void sigNewDataFloat(uint contentId, uint info, QList<qreal> data);
    void debug(QString strLog);
    void playbackLoopModeEnabledChanged();
    void playbackPositionChanged();
    void playbackPositionUpdatedManually();
    void playbackStateChanged();
    void playbackRateChanged();
    void playbackDurationChanged();
    void recordingDirectoryReady(QString path);
    void recordingError(QString error);

public slots:
    // Makes the application at index the active one (activate) or only
    // disconnects the active one; an index out of range is ignored.
    void setDeviceAppActivatedAt(int index, bool activate);
    // Closes the connection and has the active application configure the
    // module again; false without an active application or when it failed.
    bool tryReconnect();
    // Opens a recording (its index file) for playback. False, with the
    // reason in recordingErrorString, when it is refused.
    bool setRecordingUrl(QUrl url);
    // Hands the oldest complete pulse-Doppler matrix of the instance to the
    // series.
    void updatePulseDopplerArray(QtDataVisualization::QSurface3DSeries* series, uint dopplerInstance);
    void resetPulseDopplerData();
    void resetPulseDopplerArray(QtDataVisualization::QSurface3DSeries* series);

protected:
    // Holds back the Device's deferred deletion while configure waits.
    bool event(QEvent* event) override;

private slots:
    void doDeviceUpgrade();
    void onFirmwareUpgradeStatus(QString info);
    void setDeviceUpgrading(bool value);
    void onAppData(uint contentId, QByteArray data);

private:
    static QVariantList callArguments(std::initializer_list<QGenericArgument> arguments);
    // A call into the worker by name; false (with an error line) when it
    // could not be made, or without a worker.
    bool callWorker(const char* method, Qt::ConnectionType type, QGenericReturnArgument result,
        QGenericArgument a0 = QGenericArgument(nullptr), QGenericArgument a1 = QGenericArgument(nullptr),
        QGenericArgument a2 = QGenericArgument(nullptr));
    // A blocking call of a worker slot that answers with a bool; false when
    // it could not be made.
    bool askWorker(const char* method, QGenericArgument a0 = QGenericArgument(nullptr));
    // Runs the nested loop that waits for the worker (whose finishing signal
    // quits it) and guards it: see the top of this file. False when this
    // Device was deleted meanwhile; nothing of it may be touched then.
    // Callers refuse to start while isWaitingForWorker.
    bool waitForWorker(QEventLoop& loop);
    void activate();
    void deactivate();
    // Deletes the applications; while configure waits for the worker, only
    // after the wait, since one of them may be waiting in it.
    void deleteApplications(QList<DeviceApp*> applications);
    // After a wait: what was to go meanwhile goes once control is back in
    // the event loop.
    void releaseAfterWait();
    void deleteLaterOutsideWaits();
    void applyConfiguredZone(const SarvikDeviceConfiguration& config, float start, float end);
    bool refuseRecording(const QString& reason);
    bool openRecording(const QString& path);

    // The player goes last: the worker reads from it until it is deleted.
    std::unique_ptr<Sarvik::DataPlayer> m_player;
    QPointer<SarvikDevice> m_worker;
    QPointer<DeviceApp> m_activeApp;
    PulseDopplerDecoder m_pulseDoppler;
    BasebandScale m_basebandScale = LinearBasebandScale;
    bool m_isDeviceActive = false;
    bool m_isDeviceUpgrading = false;
    bool m_ignoreUpdates = false;
    bool m_basebandEnabled = false;
    bool m_pulseDopplerEnabled = false;
    int m_serialBaudRate = 115200;
    SarvikDeviceInfo m_info;
    QString m_deviceUpgradeInfo;
    // Handed to the worker's upgrade; nothing fills it.
    QString m_firmwareVersionInfo;
    QString m_firmwarePath;
    std::chrono::milliseconds m_upgradeRetryInterval { 500 };
    QString m_recordingError;
    QThread m_workerThread;
    QTimer m_playbackPositionTimer;
    QString m_playbackParams;
    QString m_playbackMetaString;
    QList<DeviceApp*> m_apps;
    FirmwareManager* m_firmwareManager = nullptr;
    const DeviceAppFactory* m_appFactory = nullptr;
    // The nested loop configure runs while it waits for the worker, and
    // what is to be deleted once it has ended.
    QEventLoop* m_workerWait = nullptr;
    QList<DeviceApp*> m_appsToDelete;
    bool m_deleteAfterWait = false;
    WorkerCallObserver m_workerCallObserver;
};
