// The application of a presence module's presence profile: it configures the
// module through its Device, decodes the presence packets into properties
// and chart signals, follows the presence state (with a device-alive timer
// that shows a silent module as "no connection"), stores its settings, and
// starts and stops recordings with the text log header. Everything runs on
// the GUI thread.
//
// It is also the base of the respiration family, which reuses its settings,
// execute, recording and state machinery through settingsGroup, profileKind,
// resetValues and setState; isRespirationFamily tells the two apart.
#pragma once

#include "apps/DeviceApp.hpp"

#include <QVector>

class QSettings;

class PresenceApp : public DeviceApp {
    Q_OBJECT
    Q_PROPERTY(double movementSlow READ movementSlow NOTIFY movementSlowChanged)
    Q_PROPERTY(double movementFast READ movementFast NOTIFY movementFastChanged)
    Q_PROPERTY(uint movementSlowFastHistory READ movementSlowFastHistory WRITE setMovementSlowFastHistory
            NOTIFY movementSlowFastHistoryChanged)
    Q_PROPERTY(double normalizedMovementSlow READ normalizedMovementSlow NOTIFY normalizedMovementSlowChanged)
    Q_PROPERTY(double normalizedMovementFast READ normalizedMovementFast NOTIFY normalizedMovementFastChanged)
    Q_PROPERTY(uint normalizedMovementSlowFastHistory READ normalizedMovementSlowFastHistory WRITE
            setNormalizedMovementSlowFastHistory NOTIFY normalizedMovementSlowFastHistoryChanged)
    Q_PROPERTY(uint state READ state NOTIFY stateChanged)
    Q_PROPERTY(bool ioPinControlEnabled READ ioPinControlEnabled WRITE setIoPinControlEnabled NOTIFY
            ioPinControlEnabledChanged)
    Q_PROPERTY(bool useStoredNoiseMap READ useStoredNoiseMap WRITE setUseStoredNoiseMap NOTIFY
            useStoredNoiseMapChanged)
    Q_PROPERTY(bool useDefaultNoiseMap READ useDefaultNoiseMap WRITE setUseDefaultNoiseMap NOTIFY
            useDefaultNoiseMapChanged)
    Q_PROPERTY(bool logPresenceSingleEnabled READ logPresenceSingleEnabled WRITE setLogPresenceSingleEnabled
            NOTIFY logPresenceSingleEnabledChanged)
    Q_PROPERTY(bool logPresenceMovingListEnabled READ logPresenceMovingListEnabled WRITE
            setLogPresenceMovingListEnabled NOTIFY logPresenceMovingListEnabledChanged)
    Q_PROPERTY(bool logRespirationMovingListEnabled READ logRespirationMovingListEnabled WRITE
            setLogRespirationMovingListEnabled NOTIFY logRespirationMovingListEnabledChanged)
    Q_PROPERTY(bool logRespirationNormalizedMovingListEnabled READ logRespirationNormalizedMovingListEnabled
            WRITE setLogRespirationNormalizedMovingListEnabled NOTIFY
                logRespirationNormalizedMovingListEnabledChanged)
    Q_PROPERTY(bool logRespirationDetectionListEnabled READ logRespirationDetectionListEnabled WRITE
            setLogRespirationDetectionListEnabled NOTIFY logRespirationDetectionListEnabledChanged)
    Q_PROPERTY(bool logBreathingPattern READ logBreathingPattern WRITE setLogBreathingPattern NOTIFY
            logBreathingPatternEnabledChanged)
    Q_PROPERTY(bool logPulseDopplerFloatEnabled READ logPulseDopplerFloatEnabled WRITE
            setLogPulseDopplerFloatEnabled NOTIFY logPulseDopplerFloatEnabledChanged)
    Q_PROPERTY(bool logPulseDopplerByteEnabled READ logPulseDopplerByteEnabled WRITE
            setLogPulseDopplerByteEnabled NOTIFY logPulseDopplerByteEnabledChanged)
    Q_PROPERTY(bool logVitalSignsEnabled READ logVitalSignsEnabled WRITE setLogVitalSignsEnabled NOTIFY
            logVitalSignsEnabledChanged)
    Q_PROPERTY(double objectDistance READ objectDistance NOTIFY objectDistanceChanged)
    Q_PROPERTY(uint signalQuality READ signalQuality NOTIFY signalQualityChanged)
    Q_PROPERTY(uint initProgressValue READ initProgressValue NOTIFY initProgressValueChanged)
    Q_PROPERTY(double minimumNormalizedMovementValue READ minimumNormalizedMovementValue CONSTANT)
    Q_PROPERTY(double maximumNormalizedMovementValue READ maximumNormalizedMovementValue CONSTANT)

public:
    enum PresenceState {
        NoPresenceState = 0,
        PresenceState = 1,
        InitializingState = 2,
        UnknownState = 3,
        NoConnectionState = 4,
    };
    // Its value PresenceState hides the type's name from Q_ENUM; the older
    // declaration gives QML the same enumeration.
    Q_ENUMS(PresenceState)

    // Content ids of the module's presence packets.
    static constexpr quint32 presenceSingleContentId = 0x723BFA1E;
    static constexpr quint32 presenceMovingListContentId = 0x723BFA1F;
    // Every data type a presence-family application may record: what its
    // recordings stop.
    static constexpr quint32 recordedDataTypes = 0x5F0CF;

    // Exists only because QML type registration needs a default constructor;
    // calling it stops the program.
    PresenceApp();
    explicit PresenceApp(Device* parent);
    // Stops a running recording.
    ~PresenceApp() override;

    void initialize() override;
    QString appName() const override;
    quint32 profileId() const override;
    void connectToDevice() override;
    void disconnectFromDevice() override;
    double detectionZoneMin() const override;
    double detectionZoneMax() const override;
    double detectionZoneMinLength() const override;
    double detectionZoneMaxLength() const override;
    double detectionZoneIncrement() const override;

    // The settings group of the keys that begin with "/".
    virtual QString settingsGroup() const;
    // The profile kind the configuration asks for.
    virtual quint32 profileKind() const;
    // Has the Device close the module connection (configure opens it again)
    // and clears the live values; the state becomes UnknownState.
    virtual void resetValues();
    // Stores the state (stateChanged when it changed), clears the
    // initialisation progress and re-emits the distance, signal quality and
    // movement values for the charts.
    virtual void setState(quint32 value);

    // Store and emit the movement values that changed, then always the pair.
    void setMovementSlowFast(double slow, double fast);
    void setNormalizedMovementSlowFast(double slow, double fast);

    double movementSlow() const { return m_movementSlow; }
    double movementFast() const { return m_movementFast; }
    uint movementSlowFastHistory() const { return m_movementSlowFastHistory; }
    void setMovementSlowFastHistory(uint milliseconds);
    double normalizedMovementSlow() const { return m_normalizedMovementSlow; }
    double normalizedMovementFast() const { return m_normalizedMovementFast; }
    uint normalizedMovementSlowFastHistory() const { return m_normalizedMovementSlowFastHistory; }
    void setNormalizedMovementSlowFastHistory(uint milliseconds);
    uint state() const { return m_state; }
    bool ioPinControlEnabled() const { return m_ioPinControlEnabled; }
    void setIoPinControlEnabled(bool enabled);
    bool useStoredNoiseMap() const { return m_useStoredNoiseMap; }
    // Ignored unless the module keeps a noise map of its own.
    void setUseStoredNoiseMap(bool enabled);
    bool useDefaultNoiseMap() const { return m_useDefaultNoiseMap; }
    // Ignored unless the module has a default noise map.
    void setUseDefaultNoiseMap(bool enabled);
    bool logPresenceSingleEnabled() const { return m_logPresenceSingleEnabled; }
    void setLogPresenceSingleEnabled(bool enabled);
    bool logPresenceMovingListEnabled() const { return m_logPresenceMovingListEnabled; }
    void setLogPresenceMovingListEnabled(bool enabled);
    bool logRespirationMovingListEnabled() const { return m_logRespirationMovingListEnabled; }
    void setLogRespirationMovingListEnabled(bool enabled);
    bool logRespirationNormalizedMovingListEnabled() const
    {
        return m_logRespirationNormalizedMovingListEnabled;
    }
    void setLogRespirationNormalizedMovingListEnabled(bool enabled);
    bool logRespirationDetectionListEnabled() const { return m_logRespirationDetectionListEnabled; }
    void setLogRespirationDetectionListEnabled(bool enabled);
    bool logBreathingPattern() const { return m_logBreathingPattern; }
    void setLogBreathingPattern(bool enabled);
    // The two pulse-Doppler outputs exclude each other: switching one on
    // switches the other off first.
    bool logPulseDopplerFloatEnabled() const { return m_logPulseDopplerFloatEnabled; }
    void setLogPulseDopplerFloatEnabled(bool enabled);
    bool logPulseDopplerByteEnabled() const { return m_logPulseDopplerByteEnabled; }
    void setLogPulseDopplerByteEnabled(bool enabled);
    bool logVitalSignsEnabled() const { return m_logVitalSignsEnabled; }
    void setLogVitalSignsEnabled(bool enabled);
    double objectDistance() const { return m_objectDistance; }
    uint signalQuality() const { return m_signalQuality; }
    uint initProgressValue() const { return m_initProgressValue; }
    // A value above 100 is ignored.
    void setInitProgressValue(uint percent);
    double minimumNormalizedMovementValue() const { return -20.0; }
    double maximumNormalizedMovementValue() const { return 30.0; }

public slots:
    DeviceApp::InitializationResult execute(bool tryReconnect = false) override;
    void saveSettings() override;
    void loadSettings() override;
    void recordLog(bool enabled) override;
    void onAppData(uint contentId, QByteArray data);

signals:
    void movementSlowChanged();
    void movementFastChanged();
    void movementSlowFastChanged(double movementSlow, double movementFast);
    void movementSlowFastListChanged(QVector<qreal> movementSlowList, QVector<qreal> movementFastList);
    void movementSlowFastHistoryChanged(uint seconds);
    void normalizedMovementSlowChanged();
    void normalizedMovementFastChanged();
    void normalizedMovementSlowFastChanged(double movementSlow, double movementFast);
    void normalizedMovementSlowFastListChanged(
        QVector<qreal> normalizedMovementSlowList, QVector<qreal> normalizedMovementFastList);
    void normalizedMovementSlowFastHistoryChanged(uint seconds);
    void useStoredNoiseMapChanged();
    void useDefaultNoiseMapChanged();
    void logPresenceSingleEnabledChanged();
    void logPresenceMovingListEnabledChanged();
    void logRespirationMovingListEnabledChanged();
    void logRespirationNormalizedMovingListEnabledChanged();
    void logRespirationDetectionListEnabledChanged();
    void logBreathingPatternEnabledChanged();
    void logPulseDopplerFloatEnabledChanged();
    void logPulseDopplerByteEnabledChanged();
    void objectDistanceChanged(double objectDistance, qlonglong timestamp);
    void stateChanged();
    void signalQualityChanged();
    void initProgressValueChanged();
    void ioPinControlEnabledChanged();
    void logVitalSignsEnabledChanged();

protected:
    // Whether this object is of the respiration family (an
    // AdultRespirationApp or derived from it).
    bool isRespirationFamily() const;
    // The full key of a settings key: "/..." keys lie in settingsGroup.
    QString settingsKey(const char* key) const;
    // The data types a recording would start now: those without the text
    // header and those with it.
    quint32 headerlessRecordingTypes() const;
    quint32 headerRecordingTypes() const;
    // The output data types the configuration asks for.
    quint32 outputDataTypes() const;
    // The noise-map control value of the two noise-map choices.
    quint32 noiseMapControl() const;
    // The highest LED mode the settings page offers.
    virtual quint32 maximumLedControl() const;

    double m_movementSlow = -1.0;
    double m_movementFast = -1.0;
    quint32 m_movementSlowFastHistory = 120000;
    double m_normalizedMovementSlow = 0.0;
    double m_normalizedMovementFast = 0.0;
    quint32 m_normalizedMovementSlowFastHistory = 120000;
    double m_objectDistance = 0.0;
    quint32 m_signalQuality = 0;
    quint32 m_initProgressValue = 0;
    quint32 m_state = UnknownState;
    bool m_useStoredNoiseMap = true;
    bool m_useDefaultNoiseMap = true;
    bool m_ioPinControlEnabled = false;
    bool m_logPresenceSingleEnabled = true;
    bool m_logPresenceMovingListEnabled = false;
    bool m_logRespirationMovingListEnabled = true;
    bool m_logRespirationNormalizedMovingListEnabled = false;
    bool m_logRespirationDetectionListEnabled = true;
    bool m_logBreathingPattern = true;
    bool m_logPulseDopplerFloatEnabled = false;
    bool m_logPulseDopplerByteEnabled = true;
    bool m_logVitalSignsEnabled = true;

private slots:
    void onDeviceTimeout();

private:
    void decodePresenceSingle(const QByteArray& data);
    void decodePresenceMovingList(const QByteArray& data);
    // Reads a zone key as a float, bounded to the module's zone limits; a
    // value that is no number keeps the default.
    double readZoneValue(const QSettings& settings, const char* key, double fallback) const;
    // Reads a boolean key and stores it through the member's change rule.
    void readFlag(
        const QSettings& settings, const QString& key, bool& member, void (PresenceApp::*changed)());
};
