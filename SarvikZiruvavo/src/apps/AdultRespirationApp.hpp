// The application of the newer respiration modules' respiration profiles:
// it configures, records and keeps its settings as the presence application
// does, decodes the modules' sleep, vital-signs, respiration, movement and
// detection packets into values for the pages, and feeds the optional sleep
// analysis, whose hypnogram and current stage it keeps.
//
// Four classes derive from it and differ only in their constants (names,
// profile, zone, breathing-rate limits): BabyRespirationApp,
// AdultRespirationLoMemApp, BabyRespirationLoMemApp and HeartrateApp.
#pragma once

#include "apps/PresenceApp.hpp"

#include <QVector>

class SleepAnalysisInterface;

class AdultRespirationApp : public PresenceApp {
    Q_OBJECT
    Q_PROPERTY(float rpm READ rpm NOTIFY rpmChanged)
    Q_PROPERTY(float rcs READ rcs NOTIFY rcsChanged)
    Q_PROPERTY(float breathingDistance READ breathingDistance NOTIFY breathingDistanceChanged)
    Q_PROPERTY(float objectMovement READ objectMovement NOTIFY objectMovementChanged)
    Q_PROPERTY(uint detectionCount READ detectionCount NOTIFY detectionCountChanged)
    Q_PROPERTY(uint rpmMin READ rpmMin CONSTANT)
    Q_PROPERTY(uint rpmMax READ rpmMax CONSTANT)
    Q_PROPERTY(uchar sleepStage READ sleepStage NOTIFY sleepStageChanged)
    Q_PROPERTY(int hypnogramBufferLength READ hypnogramBufferLength WRITE setHypnogramBufferLength NOTIFY
            hypnogramBufferLengthChanged)
    Q_PROPERTY(int epochLength READ epochLength CONSTANT)
    Q_PROPERTY(bool showFullHypnogram READ showFullHypnogram WRITE setShowFullHypnogram NOTIFY
            showFullHypnogramChanged)
    Q_PROPERTY(float heartrate READ heartrate NOTIFY heartrateChanged)
    Q_PROPERTY(float heartDistance READ heartDistance NOTIFY heartrateChanged)
    Q_PROPERTY(float heartrateConfidence READ heartrateConfidence NOTIFY heartrateChanged)
    Q_PROPERTY(float heartrateMin READ heartrateMin CONSTANT)
    Q_PROPERTY(float heartrateMax READ heartrateMax CONSTANT)

public:
    // The state the module reports in its sleep and vital-signs packets.
    enum RespirationState {
        BreathingState = 0,
        MovementState = 1,
        MovementTrackingState = 2,
        NoMovementState = 3,
        InitializingState = 4,
        ErrorState = 5,
        UnknownState = 6,
        HeartrateState = 7,
        NoConnectionState = 8,
    };
    Q_ENUM(RespirationState)

    // What sets the five classes apart.
    struct Constants {
        const char* appName;
        // The settings group; null: the application's name.
        const char* settingsGroup;
        const char* descriptiveName;
        quint32 profileId;
        // The profile kind of the module configuration.
        quint32 profileKind;
        double zoneMin;
        double zoneMaxLength;
        uint rpmMin;
        uint rpmMax;
    };
    static const Constants adultConstants;
    static const Constants babyConstants;
    static const Constants adultLoMemConstants;
    static const Constants babyLoMemConstants;
    static const Constants heartrateConstants;

    // Seconds per epoch of the hypnogram.
    static constexpr int epochSeconds = 30;
    // The hypnogram lengths the sleep analysis is given from the settings
    // file, in epochs: the half hour to ten hours the settings page offers.
    static constexpr int minimumHypnogramBufferLength = 60;
    static constexpr int maximumHypnogramBufferLength = 1200;

    // Exists only because QML type registration needs a default constructor;
    // calling it stops the program.
    AdultRespirationApp();
    explicit AdultRespirationApp(Device* parent);
    ~AdultRespirationApp() override;

    void initialize() override;
    QString appName() const override;
    QString descriptiveName() const override;
    quint32 profileId() const override;
    void connectToDevice() override;
    void disconnectFromDevice() override;
    double detectionZoneMin() const override;
    double detectionZoneMax() const override;

    QString settingsGroup() const override;
    quint32 profileKind() const override;
    void resetValues() override;
    // Presence's no-connection state (4) shows as NoConnectionState, any
    // other as UnknownState; the values are then told again.
    void setState(quint32 value) override;

    float rpm() const { return m_rpm; }
    float rcs() const { return m_rcs; }
    float breathingDistance() const { return m_breathingDistance; }
    float objectMovement() const { return m_objectMovement; }
    uint detectionCount() const { return m_detectionCount; }
    uint rpmMin() const { return m_constants.rpmMin; }
    uint rpmMax() const { return m_constants.rpmMax; }
    uchar sleepStage() const { return m_sleepStage; }
    QVector<int> hypnogram() const { return m_hypnogram; }
    int hypnogramBufferLength() const { return m_hypnogramBufferLength; }
    void setHypnogramBufferLength(int length);
    int epochLength() const { return epochSeconds; }
    bool showFullHypnogram() const { return m_showFullHypnogram; }
    void setShowFullHypnogram(bool showFull);
    float heartrate() const { return m_heartrate; }
    float heartDistance() const { return m_heartDistance; }
    float heartrateConfidence() const { return m_heartrateConfidence; }
    float heartrateMin() const { return 30.0f; }
    float heartrateMax() const { return 120.0f; }

    // The sleep analysis this application feeds; null until saveSettings
    // initialised the plug-in the Device's manager holds.
    SleepAnalysisInterface* sleepAnalysis() const { return m_sleepAnalysis; }
    // The limits text the sleep analysis is initialised with.
    static QByteArray sleepAnalysisLimits(int hypnogramBufferLength);

signals:
    void rpmChanged(float rpm, qlonglong timestamp);
    void rcsChanged(float rcs, qlonglong timestamp);
    void objectMovementChanged(float objectMovement, qlonglong timestamp);
    void detectionCountChanged();
    void breathingDistanceChanged();
    void hypnogramLengthChanged();
    void sleepStageChanged(uchar sleepStage, qlonglong timestamp);
    void hypnogramChanged(QVector<int> hypnogram);
    void showFullHypnogramChanged(bool showFull);
    void hypnogramBufferLengthChanged(int hypnogramBufferLength);
    void heartrateChanged(float heartrate, float distance, float confidence, qlonglong timestamp);

public slots:
    void onAppData(uint contentId, QByteArray data);
    void resetSal();

public:
    void saveSettings() override;
    void loadSettings() override;

protected:
    AdultRespirationApp(Device* parent, const Constants& constants);

private:
    void onSleep(const QByteArray& data, qint64 now);
    void onVitalSigns(const QByteArray& data, qint64 now);
    void onDetectionList(const QByteArray& data, qint64 now);
    void feedSleepAnalysis(const QByteArray& data, qint64 now);
    // The state rule of the sleep and vital-signs packets.
    void applyState(quint32 state, float rpm, bool sleepPacket, qint64 now);
    void emitValues(qint64 now);
    // "/HypnogramBufferLength" from the settings file, bounded; `fallback`
    // when it is not stored.
    int storedHypnogramBufferLength(int fallback) const;

    const Constants& m_constants;
    float m_rpm = 0;
    float m_rcs = 0;
    float m_objectMovement = 0;
    float m_breathingDistance = 0;
    quint32 m_detectionCount = 0;
    SleepAnalysisInterface* m_sleepAnalysis = nullptr;
    quint8 m_sleepStage = 0;
    QVector<int> m_hypnogram;
    int m_hypnogramBufferLength = 960;
    bool m_showFullHypnogram = true;
    float m_heartrate = 0;
    float m_heartDistance = 0;
    float m_heartrateConfidence = 0;
};
