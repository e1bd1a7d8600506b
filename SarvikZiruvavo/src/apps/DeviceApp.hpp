// The base of every sensor application: one object per application that a
// module's firmware supports, made by its Device when the Device is activated
// and owned by it. It holds what every application has in common (detection
// zone, sensitivity, LED control, frequency band, the user's recording
// choices, the baseband output choice, the recording flag and the frame
// counter), declares the operations through which the Device and the QML
// pages drive an application, turns the user's split choice into the
// library's split size, composes the "About" text and the text log header
// that applications hand to the recorder, and offers the steps every
// application's execute shares (see "For the applications" below). It lives
// on the GUI thread.
//
// The Device drives it: it initialises each new application once, connects
// the one the user picks to its data and disconnects it again, and has it
// configure the module again when a connection is to be re-established.
#pragma once

#include "core/SarvikDeviceConfiguration.hpp"

#include <linkwell/Bytes.hpp>
#include <linkwell/PreferredSplitSize.hpp>
#include <linkwell/RecordingOptions.hpp>

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>

class Device;
class SleepAnalysisInterface;

class DeviceApp : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString appName READ appName CONSTANT)
    Q_PROPERTY(QString descriptiveName READ descriptiveName CONSTANT)
    Q_PROPERTY(double detectionZoneStart READ detectionZoneStart WRITE setDetectionZoneStart NOTIFY
            detectionZoneStartChanged)
    Q_PROPERTY(double detectionZoneEnd READ detectionZoneEnd WRITE setDetectionZoneEnd NOTIFY
            detectionZoneEndChanged)
    Q_PROPERTY(double detectionZoneMin READ detectionZoneMin CONSTANT)
    Q_PROPERTY(double detectionZoneMax READ detectionZoneMax CONSTANT)
    Q_PROPERTY(double detectionZoneMinLength READ detectionZoneMinLength CONSTANT)
    Q_PROPERTY(double detectionZoneMaxLength READ detectionZoneMaxLength CONSTANT)
    Q_PROPERTY(double detectionZoneIncrement READ detectionZoneIncrement CONSTANT)
    Q_PROPERTY(uint sensitivity READ sensitivity WRITE setSensitivity NOTIFY sensitivityChanged)
    Q_PROPERTY(uint ledControl READ ledControl WRITE setLedControl NOTIFY ledControlChanged)
    Q_PROPERTY(
        FrequencyBand frequencyBand READ frequencyBand WRITE setFrequencyBand NOTIFY frequencyBandChanged)
    Q_PROPERTY(
        QString logDescription READ logDescription WRITE setLogDescription NOTIFY logDescriptionChanged)
    Q_PROPERTY(QString logPath READ logPath WRITE setLogPath NOTIFY logPathChanged)
    Q_PROPERTY(uint logSplitSize READ logSplitSize WRITE setLogSplitSize NOTIFY logSplitSizeChanged)
    Q_PROPERTY(int logSplitUnit READ logSplitUnit WRITE setLogSplitUnit NOTIFY logSplitUnitChanged)
    Q_PROPERTY(bool basebandOutputEnabled READ basebandOutputEnabled WRITE setBasebandOutputEnabled NOTIFY
            basebandOutputEnabledChanged)
    Q_PROPERTY(bool basebandAmplitudePhaseOutputEnabled READ basebandAmplitudePhaseOutputEnabled WRITE
            setBasebandAmplitudePhaseOutputEnabled NOTIFY basebandAmplitudePhaseOutputEnabledChanged)
    Q_PROPERTY(bool extendedBreathingTelegramEnabled READ extendedBreathingTelegramEnabled WRITE
            setExtendedBreathingTelegramEnabled NOTIFY extendedBreathingTelegramEnabledChanged)
    Q_PROPERTY(bool recordingEnabled READ recordingEnabled WRITE recordLog NOTIFY recordingEnabledChanged)
    Q_PROPERTY(uint frameCounter READ frameCounter NOTIFY frameCounterChanged)
    Q_PROPERTY(QString swInfo READ swInfo CONSTANT)

public:
    enum LogSplitUnit { Minutes = 0, KiloByte = 1, MegaByte = 2 };
    Q_ENUM(LogSplitUnit)
    enum FrequencyBand { LowFrequencyBand = 3, HighFrequencyBand = 4 };
    Q_ENUM(FrequencyBand)
    enum InitializationResult {
        InitializationFailed = 0,
        InitializationSucceeded = 1,
        InitializationIntentionalReset = 2,
    };
    Q_ENUM(InitializationResult)

    // The interval of the device-alive timer the applications create.
    static constexpr int deviceAliveInterval = 4000;
    // The program's version, as the "About" text and the log header give it.
    static const char* const softwareVersion;
    // The worker's error text of a configure that failed because the module
    // was told to run: the module resets itself then, on purpose.
    static const char* const intentionalResetError;

    // Exists only because QML type registration needs a default constructor;
    // calling it stops the program.
    DeviceApp();
    // The Device is the application's parent and owner; never null.
    explicit DeviceApp(Device* parent);
    ~DeviceApp() override;

    Device* device() const { return m_device; }

    // Called once by the Device on each new application, right after making
    // it; applications read their stored settings here.
    virtual void initialize();
    virtual QString appName() const;
    virtual QString descriptiveName() const;
    virtual quint32 profileId() const;
    // Connects the Device's data signals to the application (when it becomes
    // the active one), and undoes that.
    virtual void connectToDevice();
    virtual void disconnectFromDevice();
    // The zone limits the application allows, metres; 0 in the base.
    virtual double detectionZoneMin() const;
    virtual double detectionZoneMax() const;
    virtual double detectionZoneMinLength() const;
    virtual double detectionZoneMaxLength() const;
    virtual double detectionZoneIncrement() const;
    // The "About" text: the module, its firmware, the program's version and,
    // when the device manager holds one, the sleep-analysis plug-in's.
    virtual QString swInfo() const;
    // Switching one baseband output on switches the other off first: its
    // change signal fires before the caller's.
    virtual void setBasebandOutputEnabled(bool enabled);
    virtual bool basebandOutputEnabled() const;
    virtual void setBasebandAmplitudePhaseOutputEnabled(bool enabled);
    virtual bool basebandAmplitudePhaseOutputEnabled() const;

    double detectionZoneStart() const { return m_detectionZoneStart; }
    void setDetectionZoneStart(double start);
    double detectionZoneEnd() const { return m_detectionZoneEnd; }
    void setDetectionZoneEnd(double end);
    uint sensitivity() const { return m_sensitivity; }
    void setSensitivity(uint sensitivity);
    uint ledControl() const { return m_ledControl; }
    void setLedControl(uint value);
    FrequencyBand frequencyBand() const { return FrequencyBand(m_frequencyBand); }
    void setFrequencyBand(FrequencyBand band);
    QString logDescription() const { return m_logDescription; }
    void setLogDescription(const QString& description);
    // The directory the user set, or the default log folder while none is set.
    QString logPath() const;
    void setLogPath(const QString& path);
    uint logSplitSize() const { return m_logSplitSize; }
    void setLogSplitSize(uint size);
    int logSplitUnit() const { return m_logSplitUnit; }
    // A unit other than Minutes, KiloByte and MegaByte is refused with a
    // warning; nothing changes then.
    void setLogSplitUnit(int unit);
    bool extendedBreathingTelegramEnabled() const { return m_extendedBreathingTelegramEnabled; }
    void setExtendedBreathingTelegramEnabled(bool enabled);
    bool recordingEnabled() const { return m_recordingEnabled; }
    uint frameCounter() const { return m_frameCounter; }
    void setFrameCounter(quint32 frameCounter);
    // The directory the running recording goes to; empty while none runs.
    QString recordingPath() const { return m_recordingPath; }
    // Whether the application's own data are recorded ("Logging/ApplicationOutput").
    bool applicationOutputEnabled() const { return m_applicationOutputEnabled; }

    // The file split of recordings: logSplitSize in logSplitUnit, counted in
    // 64 bits (a kilobyte is 1000 bytes, a megabyte 1000000).
    Sarvik::PreferredSplitSize preferredLogSize() const;

    // The device-alive timer, once the application made it; tests shorten
    // its interval.
    QTimer* deviceTimer() const { return m_deviceTimer; }
    void setDeviceTimerInterval(int milliseconds);

    Q_INVOKABLE void setLogUrl(QUrl url);
    Q_INVOKABLE QString defaultLogPath();
    // Whether the directory the user set holds characters outside ASCII
    // (never the default folder).
    Q_INVOKABLE bool logPathContainsNonAscii();

public slots:
    // Configures the module for the application through its Device.
    virtual DeviceApp::InitializationResult execute(bool tryReconnect = false);
    virtual void saveSettings();
    virtual void loadSettings();
    // Switches the recording flag (and the directory it goes to); starting
    // and stopping the recordings is the application's, which calls this
    // first.
    virtual void recordLog(bool enabled);
    void debug(QString strLog);
    void onSigNewBasebandFrame(uint contentId, uint frameCounter, double binLength, double rangeOffset,
        QList<qreal> amplitudeValues, QList<qreal> phaseValues);

signals:
    void detectionZoneStartChanged(double start);
    void detectionZoneEndChanged(double end);
    void sensitivityChanged(uint sensitivity);
    void ledControlChanged(uint value);
    void logDescriptionChanged(QString description);
    void logPathChanged(QString path);
    void logSplitSizeChanged(uint size);
    void logSplitUnitChanged();
    void initializing();
    void initialized(DeviceApp::InitializationResult result, QString errorString = QString());
    void basebandOutputEnabledChanged();
    void basebandAmplitudePhaseOutputEnabledChanged();
    void extendedBreathingTelegramEnabledChanged();
    void recordingEnabledChanged();
    void frameCounterChanged();
    void frequencyBandChanged();
    void recordingError(QString error);

protected:
    // -- For the applications: the steps their execute and recordLog share.

    // Makes the device-alive timer: a child QTimer of deviceAliveInterval,
    // not started, whose time-out calls onTimeout.
    template <typename Receiver> QTimer* createDeviceTimer(Receiver* receiver, void (Receiver::*onTimeout)());
    // Restarts the device-alive timer when it runs (a data packet came).
    void restartDeviceTimer();
    // The sleep-analysis plug-in the device manager that owns the Device
    // holds; null when it holds none or the Device has no manager.
    SleepAnalysisInterface* managerSleepAnalysisPlugin() const;

    enum class ConfigureOutcome {
        Succeeded,
        Failed,
        // Another execute of this application was configuring; nothing sent.
        Refused,
        // The Device went while configure waited, and with it this
        // application: the caller returns at once and touches nothing.
        Gone,
    };
    // Sends the configuration through the Device and waits for the worker.
    // One at a time: a second call while one waits is refused at once. A
    // deleteLater on this application while it waits takes effect only once
    // the caller has returned to the event loop.
    ConfigureOutcome configureDevice(const SarvikDeviceConfiguration& config);
    // Whether configureDevice waits for the worker now.
    bool isConfiguring() const { return m_configuring; }
    // What execute reports for a configure: an intentional reset when the
    // worker reported intentionalResetError.
    static InitializationResult resultOf(bool ok, const QString& errorString);
    // The debug lines every execute ends with: "%1 app executed
    // successfully." or "ERROR: %1 app execute failed!".
    void reportExecuted(bool ok);
    // 9 when the program logs at a level above 0, else 5.
    static quint8 moduleDebugLevel();
    // Prepares the configuration's debug recording when the program logs at
    // a level above 0: the log folder, the Device's debug data types and
    // the file split; invalid options are warned about and leave it off.
    void prepareDebugRecording(SarvikDeviceConfiguration& config) const;
    // Recording options with a fresh session id and the file split
    // (a byte split raised to at least 10000 bytes).
    Sarvik::RecordingOptions recordingOptions() const;
    // The text log header as lines, each without its line end; extraLines
    // go between the sensitivity line and the closing dashed line.
    QStringList textLogHeaderLines(const QStringList& extraLines = QStringList()) const;
    // The header as the recorder stores it: Latin-1, each line ended by "\n".
    QByteArray textLogHeader(const QStringList& extraLines = QStringList()) const;
    static Bytes textLogHeaderBytes(const QByteArray& header);

    // Stores the value and reports whether it changed.
    template <typename T> static bool assign(T& member, const T& value)
    {
        if (member == value)
            return false;
        member = value;
        return true;
    }

    bool event(QEvent* event) override;

    Device* m_device;
    QTimer* m_deviceTimer = nullptr;
    double m_detectionZoneStart = 0.0;
    double m_detectionZoneEnd = 0.0;
    quint32 m_sensitivity = 5;
    quint32 m_frameCounter = 0;
    quint32 m_ledControl = 2;
    QString m_logDescription;
    QString m_logPath;
    QString m_recordingPath;
    quint32 m_logSplitSize = 15;
    qint32 m_logSplitUnit = Minutes;
    bool m_basebandOutputEnabled = false;
    bool m_basebandAmplitudePhaseOutputEnabled = false;
    bool m_extendedBreathingTelegramEnabled = false;
    bool m_recordingEnabled = false;
    // Every application's constructor sets these two.
    double m_detectionZoneMaxLength = 0.0;
    double m_detectionZoneMin = 0.0;
    quint8 m_frequencyBand = LowFrequencyBand;
    // Every application's constructor sets it from "Logging/ApplicationOutput".
    bool m_applicationOutputEnabled = false;

private slots:
    void onRecordingError(QString error);

private:
    bool m_configuring = false;
    bool m_deleteAfterConfigure = false;
};

template <typename Receiver>
QTimer* DeviceApp::createDeviceTimer(Receiver* receiver, void (Receiver::*onTimeout)())
{
    m_deviceTimer = new QTimer(this);
    m_deviceTimer->setInterval(deviceAliveInterval);
    QObject::connect(m_deviceTimer, &QTimer::timeout, receiver, onTimeout);
    return m_deviceTimer;
}
