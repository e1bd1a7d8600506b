// The application of embedded-platform modules, which have no detection
// application of their own: the program drives their radar chip directly
// (down-conversion, frequency band, frame area) and receives each radar
// frame as float samples. Down-converted frames become amplitude and phase
// per range bin (rawBasebandReceived), other frames pass on as RF samples
// (rfDataReceived). It records the float stream and writes the recording
// parameter file beside each recording, from which playback rebuilds the
// range axis. Settings live under "DAX/" and the shared "Logging/" keys.
#pragma once

#include "apps/DeviceApp.hpp"

#include <QList>
#include <QString>

class DaxApp : public DeviceApp {
    Q_OBJECT
    Q_PROPERTY(DaxState state READ state NOTIFY stateChanged)
    Q_PROPERTY(int downConversion READ downConversion WRITE setDownConversion NOTIFY downConversionChanged)
    Q_PROPERTY(bool floatDataOutputEnabled READ floatDataOutputEnabled WRITE setFloatDataOutputEnabled NOTIFY
            floatDataOutputEnabledChanged)

public:
    enum DaxState { ConnectedState = 0, UnknownState = 1, NoConnectionState = 2 };
    Q_ENUM(DaxState)

    static constexpr quint32 daxProfileId = 0x57DABF09;

    explicit DaxApp(Device* parent);
    // Stops a running recording.
    ~DaxApp() override;

    DaxState state() const { return m_state; }
    // 1: the chip down-converts (frames of I/Q bins); 0: RF samples. Frames
    // are read by the new value at once; the chip takes it at the next
    // execute.
    int downConversion() const { return m_downConversion; }
    void setDownConversion(int value);
    bool floatDataOutputEnabled() const { return m_floatDataOutputEnabled; }
    void setFloatDataOutputEnabled(bool enabled);
    // Metres between two baseband bins: the module's zone step.
    double binLength() const { return m_binLength; }

    QString appName() const override;
    quint32 profileId() const override;
    void connectToDevice() override;
    void disconnectFromDevice() override;
    double detectionZoneMin() const override;
    double detectionZoneMax() const override;
    double detectionZoneMinLength() const override;
    double detectionZoneMaxLength() const override;
    double detectionZoneIncrement() const override;
    // The module has no baseband outputs of that kind: always off.
    void setBasebandOutputEnabled(bool enabled) override;
    bool basebandOutputEnabled() const override;
    void setBasebandAmplitudePhaseOutputEnabled(bool enabled) override;
    bool basebandAmplitudePhaseOutputEnabled() const override;

public slots:
    DeviceApp::InitializationResult execute(bool tryReconnect = false) override;
    void saveSettings() override;
    void loadSettings() override;
    void recordLog(bool enabled) override;

signals:
    void floatDataOutputEnabledChanged();
    void stateChanged();
    void downConversionChanged(int value);
    void rawBasebandReceived(uint frameCounter, double binLength, double rangeOffset,
        QList<qreal> amplitudeValues, QList<qreal> phaseValues);
    void rfDataReceived(uint frameCounter, double binLength, double rangeOffset, QList<qreal> values);

private slots:
    void onDataFloat(uint contentId, uint frameCounter, QList<qreal> data);
    void onDeviceTimeout();
    // Writes the recording parameter file into the directory of a recording
    // that has just started; only into an existing absolute directory.
    void writeRecordingMetadata(QString directory);

private:
    void setState(DaxState state);
    void resetValues();

    DaxState m_state = UnknownState;
    qint32 m_downConversion = 0;
    double m_binLength = 0.0;
    bool m_floatDataOutputEnabled = false;
    QMetaObject::Connection m_dataConnection;
};
