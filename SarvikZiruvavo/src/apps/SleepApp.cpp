#include "SleepApp.hpp"

#include "core/ApplicationProperties.hpp"
#include "core/SarvikDeviceConfiguration.hpp"

#include <QSettings>
#include <QtEndian>

namespace {

// Sleep status fields past the payload's end read as 0: the module's older
// firmware sends shorter payloads.
float f32At(const QByteArray& data, int offset)
{
    if (offset + 4 > data.size())
        return 0.0f;
    return qFromLittleEndian<float>(data.constData() + offset);
}

qint32 i32At(const QByteArray& data, int offset)
{
    if (offset + 4 > data.size())
        return 0;
    return qFromLittleEndian<qint32>(data.constData() + offset);
}

} // namespace

SleepApp::SleepApp()
    : RespirationApp()
{ }

SleepApp::SleepApp(Device* parent)
    : RespirationApp(parent)
{
    m_detectionZoneMin = 0.4;
    m_detectionZoneMaxLength = 1.6;
    QSettings settings(ApplicationProperties::settingsFileName(), QSettings::IniFormat);
    const QString group = QStringLiteral("Sleep");
    m_detectionZoneMin
        = settings.value(group + QStringLiteral("/DetectionZoneMin"), m_detectionZoneMin).toFloat();
    m_detectionZoneMaxLength
        = settings.value(group + QStringLiteral("/DetectionZoneMaxLength"), m_detectionZoneMaxLength)
              .toFloat();
    setExtendedBreathingTelegramEnabled(
        settings.value(group + QStringLiteral("/UseExtendedBreathingTelegram"), true).toBool());
    setDetectionZoneStart(m_detectionZoneMin);
    setDetectionZoneEnd(m_detectionZoneMin + m_detectionZoneMaxLength);
}

void SleepApp::setMovementSlowFast(double slow, double fast)
{
    if (!(slow == m_movementSlow)) {
        m_movementSlow = slow;
        emit movementSlowChanged();
    }
    if (!(fast == m_movementFast)) {
        m_movementFast = fast;
        emit movementFastChanged();
    }
    emit movementSlowFastChanged(m_movementSlow, m_movementFast);
}

QString SleepApp::appName() const
{
    return QStringLiteral("Sleep");
}

quint32 SleepApp::profileId() const
{
    return 0x00F17B17;
}

double SleepApp::detectionZoneMax() const
{
    return 2.5;
}

double SleepApp::detectionZoneMinLength() const
{
    return 0.2;
}

void SleepApp::decodeSleepStatus(const QByteArray& data)
{
    const qint32 frameCounter = i32At(data, 0);
    const float slow = f32At(data, 20);
    const float fast = f32At(data, 24);
    setFrameCounter(quint32(frameCounter));
    setMovementSlowFast(double(slow), double(fast));
}

void SleepApp::announceMoreValues()
{
    emit movementSlowFastChanged(m_movementSlow, m_movementFast);
}

void SleepApp::saveMoreSettings(QSettings& settings)
{
    settings.setValue(appName() + QStringLiteral("/PlotMovementSlowFastHistory"), movementSlowFastHistory());
}

void SleepApp::loadMoreSettings(QSettings& settings)
{
    setMovementSlowFastHistory(
        settings.value(appName() + QStringLiteral("/PlotMovementSlowFastHistory"), movementSlowFastHistory())
            .toUInt());
}

quint32 SleepApp::profileKind() const
{
    return SarvikDeviceConfiguration::SleepKind;
}

QString SleepApp::respirationBasename() const
{
    return QStringLiteral("sarvik_log_Sleep_SarvikCorvid");
}
