// The worker that owns the library connection of one module and makes every
// library call for it. Its owner moves it to a QThread of its own and calls
// its slots by name as queued (or blocking queued) calls, so every slot runs
// on that thread. The module's data packets arrive through one subscription
// whose handler runs on the library's dispatcher thread and only emits
// sigNewDataApp / sigNewDataFloat; a receiver on another thread gets them
// queued, in arrival order.
//
// The plain methods lastError, isOpen, setDataPlayer, setDeviceInfo and
// setupRecordingErrorCallback / clearRecordingErrorCallback may also be called
// directly from the owner's thread: the connection, the module record, the
// player and the error text sit behind one lock that close takes as well, so
// such a call never meets a connection that is being deleted.
#pragma once

#include "core/SarvikDeviceConfiguration.hpp"
#include "core/SarvikDeviceInfo.hpp"
#include "device/LibraryMetaTypes.hpp"
#include "firmware/MemorySegment.hpp"

#include <linkwell/Bytes.hpp>

#include <QByteArray>
#include <QFuture>
#include <QFutureWatcher>
#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

namespace Sarvik {
class DataPlayer;
class DataRecorder;
class Linkwell;
} // namespace Sarvik

class SarvikDevice : public QObject {
    Q_OBJECT

public:
    explicit SarvikDevice(SarvikDeviceInfo info, QObject* parent = nullptr);
    // Deletes a connection that is still open without idling the module: the
    // owner queues close() before it stops the worker's thread.
    ~SarvikDevice() override;

    // The failure of the last configure or crash-dump call; configure empties
    // it when it succeeds.
    QString lastError() const;
    bool isOpen() const;
    // The player of a playback module (not owned; it must outlive the
    // connection).
    void setDataPlayer(Sarvik::DataPlayer* player);
    void setDeviceInfo(const SarvikDeviceInfo& info);

    // The waits of a firmware upgrade: before the bootloader command (every
    // model but the Corvid needs a moment after being idled), between the
    // searches for the module in its bootloader, and for the bootloader's
    // answer to the application start. Tests shorten them; set them before
    // the upgrade starts.
    struct UpgradeWaits {
        std::chrono::milliseconds beforeBootloader { 1000 };
        std::chrono::milliseconds betweenSearches { 1000 };
        unsigned startApplicationSeconds = 12;
    };
    void setUpgradeWaits(const UpgradeWaits& waits);

signals:
    // At the end of every configure. The zone is the one the module reports
    // after taking the new one (for playback: the recording's); zoneReported
    // is false when the routine read none.
    void configureFinished(bool success, bool zoneReported, float zoneStart, float zoneEnd);
    void upgradeFirmwareFinished(bool success);
    void firmwareUpgradeProgress(double percent);
    void firmwareUpgradeStatus(QString info);
    // Application data (0x50): the content id and the payload behind it.
    void sigNewDataApp(uint contentId, QByteArray data);
    // Float data (0xA0 0x12).
    void sigNewDataFloat(uint contentId, uint info, QList<qreal> data);
    // After every recording start of an embedded-platform module: the
    // session's directory, or an empty text when it did not appear in time.
    void recordingDirectoryReady(QString directory);
    // The recorder's first failure after setupRecordingErrorCallback.
    void recordingError(QString error);

public slots:
    // Idles the module (stops the frames of an embedded-platform module) and
    // deletes the connection; nothing while closed.
    void close();
    // Opens the module when needed and sends it the configuration by its
    // model's routine; configureFinished follows in every case.
    bool configure(const SarvikDeviceConfiguration& config);
    // Installs the Intel HEX image on the module: checks the image, sends the
    // module into its bootloader, finds it again by its serial number when
    // it comes back on another port, writes the pages and starts the new
    // application. Reports firmwareUpgradeStatus and firmwareUpgradeProgress
    // on the way and upgradeFirmwareFinished at the end; the failure text is
    // then lastError. Ends closed. An image that cannot be used fails before
    // the module is touched; a failure after the module entered its
    // bootloader leaves it there, where the search finds it and it can be
    // programmed again.
    bool upgradeFirmware(const QString& hexFileName, const QString& versionInfo);
    void setBasenameForDataType(Sarvik::DataType type, const QString& name);
    // The next recorder failure is reported once, as recordingError.
    void setupRecordingErrorCallback();
    void clearRecordingErrorCallback();
    bool startRecording(
        Sarvik::DataTypes dataTypes, const QString& logPath, const Sarvik::RecordingOptions& options);
    void stopRecording(Sarvik::DataTypes dataTypes);
    // The GUI's output switches; a configure that asked for the output itself
    // takes precedence until a configure without it.
    void onBasebandEnabledChanged(bool enabled);
    void onPulseDopplerEnabledChanged(bool enabled);
    bool loadNoiseMap();
    bool storeNoiseMap();
    bool deleteNoiseMap();
    // Writes the module's crash dump, byte for byte, to the file.
    bool storeCrashDumpToDisk(const QString& fileName);
    bool deleteCrashDumpOnModule();

private slots:
    void onRecordingDirectoryReady();

private:
    struct ReportedZone {
        bool reported = false;
        float start = 0.0f;
        float end = 0.0f;
    };

    bool openModule(bool idleFirst);
    bool createConnection(const SarvikDeviceInfo& info);
    void attachHandlers(quint32 deviceType);
    bool moduleAnswers(quint32 deviceType, bool idleFirst);
    bool onProtocolPacket(const Bytes& packet);
    bool emitAppData(const Bytes& packet);
    bool emitFloatData(const Bytes& packet);

    bool runConfigure(const SarvikDeviceConfiguration& config, ReportedZone& zone);
    bool configureModel(
        const SarvikDeviceConfiguration& config, const SarvikDeviceInfo& info, ReportedZone& zone);
    bool resetModule();
    void startDebugRecording(const SarvikDeviceConfiguration& config);
    bool configureCorvid(const SarvikDeviceConfiguration& config);
    bool configureOspreyFamily(
        const SarvikDeviceConfiguration& config, const SarvikDeviceInfo& info, ReportedZone& zone);
    bool configureDax(const SarvikDeviceConfiguration& config, ReportedZone& zone);
    void configurePlayback(const SarvikDeviceInfo& info, ReportedZone& zone);
    bool setBasebandOutput(Sarvik::DataTypes types);
    bool setPulseDopplerOutput(Sarvik::DataTypes types);
    int switchOutput(quint32 contentId, quint32 control);
    bool fetchCrashDump(const QString& fileName);
    bool runUpgrade(const QString& hexFileName, const QString& versionInfo);
    bool enterBootloader(const SarvikDeviceInfo& info);
    bool findInBootloader(const SarvikDeviceInfo& info);
    bool programPages(const QList<MemorySegment>& pages, const QString& portName);

    void startRecordingDirectoryLookup(Sarvik::DataRecorder& recorder, const std::string& sessionId);
    void stopRecordingDirectoryLookups();

    SarvikDeviceInfo deviceInfo() const;
    Sarvik::DataPlayer* dataPlayer() const;
    void setLastError(const QString& text);
    // Runs a call that may throw; a failure's reason goes to the error text.
    template <typename Call> bool recordFailures(Call&& call);

    // Guards m_linkwell (written only on the worker thread, read from any),
    // m_dataPlayer, m_deviceInfo and m_lastError.
    mutable std::mutex m_mutex;
    std::unique_ptr<Sarvik::Linkwell> m_linkwell;
    Sarvik::DataPlayer* m_dataPlayer = nullptr;
    bool m_basebandRequested = false;
    bool m_basebandByConfig = false;
    bool m_pulseDopplerRequested = false;
    bool m_pulseDopplerByConfig = false;
    // 0 none, 1 amplitude/phase, 2 IQ.
    quint32 m_basebandOutput = 0;
    // 0 none, 0x40 float, 0x80 byte.
    quint32 m_pulseDopplerOutput = 0;
    SarvikDeviceInfo m_deviceInfo;
    QString m_lastError;
    QFutureWatcher<QString> m_recordingDirectoryWatcher;
    // Every directory lookup still running holds the recorder: close stops
    // and waits for them before it deletes the connection.
    QList<QFuture<QString>> m_recordingDirectoryLookups;
    std::shared_ptr<std::atomic_bool> m_stopLookups;
    UpgradeWaits m_upgradeWaits;
};
