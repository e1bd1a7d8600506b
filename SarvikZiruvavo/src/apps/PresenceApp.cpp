#include "PresenceApp.hpp"

#include "device/Device.hpp"

#include <QDateTime>

#include <algorithm>

PresenceApp::PresenceApp() = default;

PresenceApp::PresenceApp(Device* parent)
    : DeviceApp(parent)
{
    m_detectionZoneMin = parent->moduleInfo().zoneMin;
    m_detectionZoneMaxLength
        = std::min(9.0, double(parent->moduleInfo().zoneMax - parent->moduleInfo().zoneMin));
    createDeviceTimer(this, &PresenceApp::onDeviceTimeout);
}

PresenceApp::~PresenceApp() = default;

QString PresenceApp::appName() const
{
    return QStringLiteral("Presence");
}

QString PresenceApp::settingsGroup() const
{
    return appName();
}

quint32 PresenceApp::profileKind() const
{
    return 6;
}

void PresenceApp::resetValues()
{
    device()->close();
    m_signalQuality = 0;
    m_objectDistance = 0;
    m_movementFast = 0;
    m_movementSlow = 0;
    setState(UnknownState);
}

void PresenceApp::setState(quint32 value)
{
    storeState(value);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    emit objectDistanceChanged(m_objectDistance, now);
    emit signalQualityChanged();
    emit movementSlowFastChanged(m_movementSlow, m_movementFast);
}

void PresenceApp::storeState(quint32 state)
{
    if (assign(m_state, state))
        emit stateChanged();
}

void PresenceApp::setSignalQuality(quint32 quality)
{
    if (assign(m_signalQuality, quality))
        emit signalQualityChanged();
}

void PresenceApp::setMovementSlowFast(double slow, double fast)
{
    if (assign(m_movementSlow, slow))
        emit movementSlowChanged();
    if (assign(m_movementFast, fast))
        emit movementFastChanged();
    emit movementSlowFastChanged(slow, fast);
}

void PresenceApp::setNormalizedMovementSlowFast(double slow, double fast)
{
    if (assign(m_normalizedMovementSlow, slow))
        emit normalizedMovementSlowChanged();
    if (assign(m_normalizedMovementFast, fast))
        emit normalizedMovementFastChanged();
    emit normalizedMovementSlowFastChanged(slow, fast);
}

DeviceApp::InitializationResult PresenceApp::execute(bool tryReconnect)
{
    m_deviceTimer->stop();
    if (!tryReconnect)
        resetValues();
    setState(UnknownState);
    SarvikDeviceConfiguration config;
    config.profileKind = profileKind();
    const bool ok = configureDevice(config) == ConfigureOutcome::Succeeded;
    if (ok && !device()->isPlaybackDevice())
        m_deviceTimer->start();
    return ok ? InitializationSucceeded : InitializationFailed;
}

void PresenceApp::onDeviceTimeout()
{
    m_deviceTimer->stop();
    setState(NoConnectionState);
}
