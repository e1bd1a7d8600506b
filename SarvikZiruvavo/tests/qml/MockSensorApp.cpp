#include "MockSensorApp.hpp"

#include <QDateTime>

MockSensorApp::MockSensorApp(QObject* parent)
    : QObject(parent)
{ }

qint64 MockSensorApp::now() const
{
    return m_mockTimestamp != 0 ? m_mockTimestamp : QDateTime::currentMSecsSinceEpoch();
}

void MockSensorApp::setState(uint state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged();
}

void MockSensorApp::setRpm(double rpm)
{
    m_rpm = rpm;
    emit rpmChanged(rpm, now());
}

void MockSensorApp::setObjectDistance(double distance)
{
    m_objectDistance = distance;
    emit objectDistanceChanged(distance, now());
}

void MockSensorApp::setObjectMovement(double movement)
{
    m_objectMovement = movement;
    emit objectMovementChanged(movement, now());
}

void MockSensorApp::setRcs(double rcs)
{
    m_rcs = rcs;
    emit rcsChanged(rcs, now());
}

void MockSensorApp::setSignalQuality(uint quality)
{
    if (quality == m_signalQuality)
        return;
    m_signalQuality = quality;
    emit signalQualityChanged();
}

void MockSensorApp::setSleepStage(uint stage)
{
    m_sleepStage = stage;
    emit sleepStageChanged(stage, now());
}

void MockSensorApp::mockHeartrate(double heartrate, double distance, double confidence)
{
    m_heartrate = heartrate;
    m_heartDistance = distance;
    m_heartrateConfidence = confidence;
    emit heartrateChanged(heartrate, distance, confidence, now());
}
