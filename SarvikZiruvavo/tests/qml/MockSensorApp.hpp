// The part of the mock application that QML cannot declare: properties whose
// change signals carry the new value and its time stamp, as the sensor
// applications' do (a QML property's change signal has no arguments and
// cannot be replaced). A test writes a value as a data packet would bring
// it: every write emits, with mockTimestamp or, while that is 0, the time
// now. MockDeviceApp.qml builds the rest of the mock on it.
#pragma once

#include <QObject>

class MockSensorApp : public QObject {
    Q_OBJECT
    Q_PROPERTY(uint state READ state WRITE setState NOTIFY stateChanged)
    Q_PROPERTY(double rpm READ rpm WRITE setRpm NOTIFY rpmChanged)
    Q_PROPERTY(double objectDistance READ objectDistance WRITE setObjectDistance NOTIFY objectDistanceChanged)
    Q_PROPERTY(double objectMovement READ objectMovement WRITE setObjectMovement NOTIFY objectMovementChanged)
    Q_PROPERTY(double rcs READ rcs WRITE setRcs NOTIFY rcsChanged)
    Q_PROPERTY(uint signalQuality READ signalQuality WRITE setSignalQuality NOTIFY signalQualityChanged)
    Q_PROPERTY(double heartrate READ heartrate NOTIFY heartrateChanged)
    Q_PROPERTY(double heartDistance READ heartDistance NOTIFY heartrateChanged)
    Q_PROPERTY(double heartrateConfidence READ heartrateConfidence NOTIFY heartrateChanged)
    Q_PROPERTY(uint sleepStage READ sleepStage WRITE setSleepStage NOTIFY sleepStageChanged)
    Q_PROPERTY(qint64 mockTimestamp MEMBER m_mockTimestamp)

public:
    explicit MockSensorApp(QObject* parent = nullptr);

    uint state() const { return m_state; }
    void setState(uint state);
    double rpm() const { return m_rpm; }
    void setRpm(double rpm);
    double objectDistance() const { return m_objectDistance; }
    void setObjectDistance(double distance);
    double objectMovement() const { return m_objectMovement; }
    void setObjectMovement(double movement);
    double rcs() const { return m_rcs; }
    void setRcs(double rcs);
    uint signalQuality() const { return m_signalQuality; }
    void setSignalQuality(uint quality);
    double heartrate() const { return m_heartrate; }
    double heartDistance() const { return m_heartDistance; }
    double heartrateConfidence() const { return m_heartrateConfidence; }
    uint sleepStage() const { return m_sleepStage; }
    void setSleepStage(uint stage);

    // The heart values of one vital-signs packet.
    Q_INVOKABLE void mockHeartrate(double heartrate, double distance, double confidence);

signals:
    void stateChanged();
    void rpmChanged(double rpm, qlonglong timestamp);
    void objectDistanceChanged(double objectDistance, qlonglong timestamp);
    void objectMovementChanged(double objectMovement, qlonglong timestamp);
    void rcsChanged(double rcs, qlonglong timestamp);
    void signalQualityChanged();
    void heartrateChanged(double heartrate, double distance, double confidence, qlonglong timestamp);
    void sleepStageChanged(uint sleepStage, qlonglong timestamp);

private:
    qint64 now() const;

    uint m_state = 3;
    double m_rpm = 0;
    double m_objectDistance = 0;
    double m_objectMovement = 0;
    double m_rcs = 0;
    uint m_signalQuality = 0;
    double m_heartrate = 0;
    double m_heartDistance = 0;
    double m_heartrateConfidence = 0;
    uint m_sleepStage = 0;
    qint64 m_mockTimestamp = 0;
};
