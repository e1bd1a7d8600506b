// The application of the older respiration module: it configures the module
// for its respiration profile, turns the module's respiration status into
// live values (breathing state, breaths per minute, distance and movement of
// the person, signal quality), each stamped with the time the charts plot it
// at, watches that the module keeps sending, mirrors the state on the LED
// strips and records the module's data with a text header.
//
// Time stamps: the module counts its frames every 50 ms. A frame's time is
// the frame clock's start plus 50 ms per frame, corrected by an adjustment
// that every 1000th frame re-bases on the current time, so that a module
// clock that runs a little fast or slow never drifts away from the host's.
// The adjustment is one for the whole program: every respiration and sleep
// application shares it.
#pragma once

#include "apps/DeviceApp.hpp"
#include "apps/RespirationStatus.hpp"

#include <QByteArray>
#include <QPointer>
#include <QString>

class Device;
class LedList;
class QSettings;

class RespirationApp : public DeviceApp {
    Q_OBJECT
    Q_PROPERTY(uint state READ state NOTIFY stateChanged)
    Q_PROPERTY(uint rpm READ rpm NOTIFY rpmChanged)
    Q_PROPERTY(uint rpmMin READ rpmMin CONSTANT)
    Q_PROPERTY(uint rpmMax READ rpmMax CONSTANT)
    Q_PROPERTY(double objectDistance READ objectDistance NOTIFY objectDistanceChanged)
    Q_PROPERTY(double objectDistanceMin READ objectDistanceMin CONSTANT)
    Q_PROPERTY(double objectDistanceMax READ objectDistanceMax CONSTANT)
    Q_PROPERTY(double objectMovement READ objectMovement NOTIFY objectMovementChanged)
    Q_PROPERTY(double objectMovementMin READ objectMovementMin CONSTANT)
    Q_PROPERTY(double objectMovementMax READ objectMovementMax CONSTANT)
    Q_PROPERTY(uint signalQuality READ signalQuality NOTIFY signalQualityChanged)
    Q_PROPERTY(uint rpmHistory READ rpmHistory WRITE setRpmHistory NOTIFY rpmHistoryChanged)
    Q_PROPERTY(uint objectDistanceHistory READ objectDistanceHistory WRITE setObjectDistanceHistory NOTIFY
            objectDistanceHistoryChanged)
    Q_PROPERTY(uint objectMovementHistory READ objectMovementHistory WRITE setObjectMovementHistory NOTIFY
            objectMovementHistoryChanged)
    Q_PROPERTY(uint movementSlowFastHistory READ movementSlowFastHistory WRITE setMovementSlowFastHistory
            NOTIFY movementSlowFastHistoryChanged)
    Q_PROPERTY(bool logBreathingPattern READ logBreathingPattern WRITE setLogBreathingPattern NOTIFY
            logBreathingPatternChanged)

public:
    // The module's sensor states 0 to 5, and two of the program's own.
    enum State {
        BreathingState = 0,
        MovementState = 1,
        MovementTrackingState = 2,
        NoMovementState = 3,
        InitializingState = 4,
        ErrorState = 5,
        UnknownState = 6,
        NoConnectionState = 7,
    };
    Q_ENUM(State)

    // Content ids of the module's status payloads.
    static constexpr quint32 respirationStatusId = 0x2375FE26;
    static constexpr quint32 sleepStatusId = 0x2375A16C;
    // The module's frame period.
    static constexpr qint64 framePeriodMs = 50;

    // Exists only because QML type registration needs a default constructor;
    // calling it stops the program.
    RespirationApp();
    explicit RespirationApp(Device* parent);
    // Stops the app's recordings first.
    ~RespirationApp() override;

    uint state() const { return m_state; }
    uint rpm() const { return m_rpm; }
    uint rpmMin() const { return 8; }
    uint rpmMax() const { return 70; }
    double objectDistance() const { return m_objectDistance; }
    double objectDistanceMin() const;
    double objectDistanceMax() const;
    double objectMovement() const { return m_objectMovement; }
    double objectMovementMin() const { return -5.0; }
    double objectMovementMax() const { return 5.0; }
    uint signalQuality() const { return m_signalQuality; }
    uint rpmHistory() const { return m_rpmHistory; }
    void setRpmHistory(uint ms);
    uint objectDistanceHistory() const { return m_objectDistanceHistory; }
    void setObjectDistanceHistory(uint ms);
    uint objectMovementHistory() const { return m_objectMovementHistory; }
    void setObjectMovementHistory(uint ms);
    uint movementSlowFastHistory() const { return m_movementSlowFastHistory; }
    void setMovementSlowFastHistory(uint ms);
    bool logBreathingPattern() const { return m_logBreathingPattern; }
    void setLogBreathingPattern(bool enabled);

    QString appName() const override;
    quint32 profileId() const override;
    void connectToDevice() override;
    void disconnectFromDevice() override;
    double detectionZoneMin() const override;
    double detectionZoneMax() const override;
    double detectionZoneMinLength() const override;
    double detectionZoneMaxLength() const override;
    double detectionZoneIncrement() const override;

    // Stores the state, announces it and announces every value again with
    // the current time, so that the charts get a point at the change.
    void setState(uint state);
    // Closes the module connection, zeroes the values and sets
    // UnknownState.
    void resetValues();
    // Makes the LED list, once.
    void createLedList();
    LedList* ledList() const;

    // The adjustment every respiration and sleep application adds to its
    // frames' nominal times, in milliseconds.
    static qint64 timestampAdjustment();

signals:
    void stateChanged(uint state);
    void rpmChanged(uint rpm, qlonglong timestamp);
    void objectDistanceChanged(double objectDistance, qlonglong timestamp);
    void objectMovementChanged(double objectMovement, qlonglong timestamp);
    void signalQualityChanged(uint signalQuality, qlonglong timestamp);
    void rpmHistoryChanged(uint seconds);
    void objectDistanceHistoryChanged(uint seconds);
    void objectMovementHistoryChanged(uint seconds);
    void movementSlowFastHistoryChanged(uint seconds);
    void logBreathingPatternChanged(bool enabled);

public slots:
    void radarDataApp(uint contentId, QByteArray data);
    DeviceApp::InitializationResult execute(bool tryReconnect = false) override;
    void saveSettings() override;
    void loadSettings() override;
    void recordLog(bool enabled) override;

protected:
    // The settings group's name of the keys read at construction.
    static QString constructionGroup() { return QStringLiteral("Respiration"); }

    // What a subclass adds: the sleep status payload, more values to
    // announce with a state change, its settings keys, its profile, what it
    // records and how its respiration files are named.
    virtual void decodeSleepStatus(const QByteArray& data);
    virtual void announceMoreValues() { }
    virtual void saveMoreSettings(QSettings& settings);
    virtual void loadMoreSettings(QSettings& settings);
    virtual quint32 profileKind() const;
    virtual bool recordsSleepData() const { return false; }
    virtual QString respirationBasename() const;

private slots:
    void onDeviceTimeout();

private:
    void decodeRespirationStatus(const QByteArray& data);
    QString settingsKey(const QString& suffix) const;

    uint m_state = UnknownState;
    uint m_rpm = 0;
    double m_objectDistance = 0.0;
    double m_objectMovement = 0.0;
    uint m_signalQuality = 0;
    qint64 m_frameClockStart = 0;
    uint m_rpmHistory = 120000;
    uint m_objectDistanceHistory = 120000;
    uint m_objectMovementHistory = 5000;
    uint m_movementSlowFastHistory = 120000;
    bool m_logBreathingPattern = false;
    QPointer<LedList> m_ledList;
    QMetaObject::Connection m_dataConnection;
};
