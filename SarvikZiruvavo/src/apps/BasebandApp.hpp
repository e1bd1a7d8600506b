// The application behind a module's "Baseband" entry: it configures the
// module to stream raw baseband frames, as I/Q samples or as amplitude and
// phase, records them on request and tracks whether data still arrives. It
// holds no frame data: the Device decodes the frames and emits them as
// sigNewBasebandFrame for the baseband window, and the base counts them.
// Settings live under "Baseband/" and the shared "Logging/" keys.
#pragma once

#include "apps/DeviceApp.hpp"

#include <QByteArray>
#include <QSettings>
#include <QString>

class BasebandApp : public DeviceApp {
    Q_OBJECT
    Q_PROPERTY(BasebandState state READ state NOTIFY stateChanged)

public:
    enum BasebandState { ConnectedState = 0, UnknownState = 1, NoConnectionState = 2 };
    Q_ENUM(BasebandState)

    // The profile the module runs for it.
    static constexpr quint32 basebandProfileId = 0x57DABF09;

    explicit BasebandApp(Device* parent);
    // Stops a running recording.
    ~BasebandApp() override;

    BasebandState state() const { return m_state; }

    QString appName() const override;
    quint32 profileId() const override;
    void connectToDevice() override;
    void disconnectFromDevice() override;
    double detectionZoneMin() const override;
    double detectionZoneMax() const override;
    double detectionZoneMinLength() const override;
    double detectionZoneMaxLength() const override;
    double detectionZoneIncrement() const override;

public slots:
    DeviceApp::InitializationResult execute(bool tryReconnect = false) override;
    void saveSettings() override;
    void loadSettings() override;
    void recordLog(bool enabled) override;

signals:
    void stateChanged();

private slots:
    void onAppData(uint contentId, QByteArray data);
    void onDeviceTimeout();

private:
    void setState(BasebandState state);
    // Closes the module connection; the state is not known until data comes.
    void resetValues();

    BasebandState m_state = UnknownState;
    QMetaObject::Connection m_dataConnection;
};
