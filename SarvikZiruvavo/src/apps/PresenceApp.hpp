// Stand-in for the presence application, until the real one is merged: only
// what the respiration family builds on (its state, its values and their
// signals, the four hooks and the device-alive timer).
#pragma once

#include "apps/DeviceApp.hpp"

#include <QVector>

class PresenceApp : public DeviceApp {
    Q_OBJECT
    Q_PROPERTY(double movementSlow READ movementSlow NOTIFY movementSlowChanged)
    Q_PROPERTY(double movementFast READ movementFast NOTIFY movementFastChanged)
    Q_PROPERTY(double normalizedMovementSlow READ normalizedMovementSlow NOTIFY normalizedMovementSlowChanged)
    Q_PROPERTY(double normalizedMovementFast READ normalizedMovementFast NOTIFY normalizedMovementFastChanged)
    Q_PROPERTY(uint state READ state NOTIFY stateChanged)
    Q_PROPERTY(double objectDistance READ objectDistance NOTIFY objectDistanceChanged)
    Q_PROPERTY(uint signalQuality READ signalQuality NOTIFY signalQualityChanged)

public:
    enum PresenceStateValue {
        NoPresenceState = 0,
        PresenceState = 1,
        InitializingState = 2,
        UnknownState = 3,
        NoConnectionState = 4,
    };

    PresenceApp();
    explicit PresenceApp(Device* parent);
    ~PresenceApp() override;

    QString appName() const override;
    double detectionZoneMinLength() const override { return 0.2; }
    double detectionZoneMaxLength() const override { return m_detectionZoneMaxLength; }

    virtual QString settingsGroup() const;
    virtual quint32 profileKind() const;
    virtual void resetValues();
    virtual void setState(quint32 value);

    void setMovementSlowFast(double slow, double fast);
    void setNormalizedMovementSlowFast(double slow, double fast);

    double movementSlow() const { return m_movementSlow; }
    double movementFast() const { return m_movementFast; }
    double normalizedMovementSlow() const { return m_normalizedMovementSlow; }
    double normalizedMovementFast() const { return m_normalizedMovementFast; }
    uint state() const { return m_state; }
    double objectDistance() const { return m_objectDistance; }
    uint signalQuality() const { return m_signalQuality; }

    bool logPresenceSingleEnabled() const { return m_logPresenceSingleEnabled; }
    void setLogPresenceSingleEnabled(bool enabled) { m_logPresenceSingleEnabled = enabled; }
    bool logPresenceMovingListEnabled() const { return m_logPresenceMovingListEnabled; }
    void setLogPresenceMovingListEnabled(bool enabled) { m_logPresenceMovingListEnabled = enabled; }
    bool logRespirationMovingListEnabled() const { return m_logRespirationMovingListEnabled; }
    void setLogRespirationMovingListEnabled(bool enabled) { m_logRespirationMovingListEnabled = enabled; }
    bool logRespirationDetectionListEnabled() const { return m_logRespirationDetectionListEnabled; }
    void setLogRespirationDetectionListEnabled(bool enabled)
    {
        m_logRespirationDetectionListEnabled = enabled;
    }
    bool logBreathingPattern() const { return m_logBreathingPattern; }
    void setLogBreathingPattern(bool enabled) { m_logBreathingPattern = enabled; }

signals:
    void movementSlowChanged();
    void movementFastChanged();
    void movementSlowFastChanged(double movementSlow, double movementFast);
    void movementSlowFastListChanged(QVector<qreal> movementSlowList, QVector<qreal> movementFastList);
    void normalizedMovementSlowChanged();
    void normalizedMovementFastChanged();
    void normalizedMovementSlowFastChanged(double movementSlow, double movementFast);
    void normalizedMovementSlowFastListChanged(
        QVector<qreal> normalizedMovementSlowList, QVector<qreal> normalizedMovementFastList);
    void objectDistanceChanged(double objectDistance, qlonglong timestamp);
    void stateChanged();
    void signalQualityChanged();

public slots:
    DeviceApp::InitializationResult execute(bool tryReconnect = false) override;

private slots:
    void onDeviceTimeout();

protected:
    // Stores the state and tells of it when it changed.
    void storeState(quint32 state);
    void storeObjectDistance(double distance) { m_objectDistance = distance; }
    void setSignalQuality(quint32 quality);

private:
    double m_movementSlow = -1.0;
    double m_movementFast = -1.0;
    double m_normalizedMovementSlow = 0;
    double m_normalizedMovementFast = 0;
    double m_objectDistance = 0;
    quint32 m_signalQuality = 0;
    quint32 m_state = UnknownState;
    bool m_logPresenceSingleEnabled = true;
    bool m_logPresenceMovingListEnabled = false;
    bool m_logRespirationMovingListEnabled = true;
    bool m_logRespirationDetectionListEnabled = true;
    bool m_logBreathingPattern = true;
};
