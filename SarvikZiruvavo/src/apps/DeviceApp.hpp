// Stand-in for the application base while it is being finished elsewhere:
// just what the respiration applications use, to be replaced by the real one.
#pragma once

#include <linkwell/PreferredSplitSize.hpp>

#include <QObject>
#include <QString>

class Device;
class QTimer;

class DeviceApp : public QObject {
    Q_OBJECT
    Q_PROPERTY(uint frameCounter READ frameCounter NOTIFY frameCounterChanged)
    Q_PROPERTY(
        bool recordingEnabled READ recordingEnabled WRITE setRecordingEnabled NOTIFY recordingEnabledChanged)
public:
    enum LogSplitUnit { Minutes = 0, KiloByte = 1, MegaByte = 2 };
    Q_ENUM(LogSplitUnit)
    enum InitializationResult {
        InitializationFailed = 0,
        InitializationSucceeded = 1,
        InitializationIntentionalReset = 2,
    };
    Q_ENUM(InitializationResult)

    explicit DeviceApp(Device* parent);

    Device* device() const { return m_device; }
    QTimer* deviceTimer() const { return m_deviceTimer; }

    virtual void initialize();
    virtual QString appName() const;
    virtual QString descriptiveName() const;
    virtual quint32 profileId() const;
    virtual void connectToDevice();
    virtual void disconnectFromDevice();
    virtual double detectionZoneMin() const { return 0.0; }
    virtual double detectionZoneMax() const { return 0.0; }
    virtual double detectionZoneMinLength() const { return 0.0; }
    virtual double detectionZoneMaxLength() const { return 0.0; }
    virtual double detectionZoneIncrement() const { return 0.0; }
    virtual void setBasebandOutputEnabled(bool enabled);
    virtual bool basebandOutputEnabled() const { return m_iq; }
    virtual void setBasebandAmplitudePhaseOutputEnabled(bool enabled);
    virtual bool basebandAmplitudePhaseOutputEnabled() const { return m_ap; }

    double detectionZoneStart() const { return m_zoneStart; }
    void setDetectionZoneStart(double v) { m_zoneStart = v; }
    double detectionZoneEnd() const { return m_zoneEnd; }
    void setDetectionZoneEnd(double v) { m_zoneEnd = v; }
    uint sensitivity() const { return m_sensitivity; }
    void setSensitivity(uint v) { m_sensitivity = v; }
    uint ledControl() const { return m_ledControl; }
    void setLedControl(uint v) { m_ledControl = v; }
    QString logPath() const;
    void setLogPath(const QString& v) { m_logPath = v; }
    QString logDescription() const { return m_logDescription; }
    void setLogDescription(const QString& v) { m_logDescription = v; }
    uint logSplitSize() const { return m_logSplitSize; }
    void setLogSplitSize(uint v) { m_logSplitSize = v; }
    int logSplitUnit() const { return m_logSplitUnit; }
    void setLogSplitUnit(int v) { m_logSplitUnit = v; }
    bool extendedBreathingTelegramEnabled() const { return m_extended; }
    void setExtendedBreathingTelegramEnabled(bool v) { m_extended = v; }
    bool applicationOutputEnabled() const { return m_applicationOutput; }
    bool recordingEnabled() const { return m_recording; }
    void setRecordingEnabled(bool enabled) { recordLog(enabled); }
    QString recordingPath() const { return m_recordingPath; }
    uint frameCounter() const { return m_frameCounter; }
    void setFrameCounter(uint v);
    Sarvik::PreferredSplitSize preferredLogSize() const;
    QString textLogHeader() const;

public slots:
    virtual DeviceApp::InitializationResult execute(bool tryReconnect = false);
    virtual void saveSettings() { }
    virtual void loadSettings() { }
    virtual void recordLog(bool enabled);
    void debug(QString strLog);

signals:
    void initializing();
    void initialized(DeviceApp::InitializationResult result, QString errorString = QString());
    void frameCounterChanged();
    void recordingEnabledChanged();

protected:
    void setDeviceTimer(QTimer* timer) { m_deviceTimer = timer; }
    void setApplicationOutputEnabled(bool v) { m_applicationOutput = v; }

private:
    Device* m_device;
    QTimer* m_deviceTimer = nullptr;
    double m_zoneStart = 0;
    double m_zoneEnd = 0;
    uint m_sensitivity = 5;
    uint m_ledControl = 2;
    QString m_logPath;
    QString m_logDescription;
    QString m_recordingPath;
    uint m_logSplitSize = 15;
    int m_logSplitUnit = 0;
    bool m_iq = false;
    bool m_ap = false;
    bool m_extended = false;
    bool m_applicationOutput = false;
    bool m_recording = false;
    uint m_frameCounter = 0;
};
