#include "DeviceApp.hpp"

#include "core/ApplicationProperties.hpp"
#include "device/Device.hpp"

#include <QDebug>

DeviceApp::DeviceApp(Device* parent)
    : QObject(parent)
    , m_device(parent)
{ }

void DeviceApp::initialize() { }

QString DeviceApp::appName() const
{
    return QString();
}

QString DeviceApp::descriptiveName() const
{
    return appName();
}

quint32 DeviceApp::profileId() const
{
    return 0;
}

void DeviceApp::connectToDevice() { }

void DeviceApp::disconnectFromDevice() { }

void DeviceApp::setBasebandOutputEnabled(bool enabled)
{
    m_iq = enabled;
    if (enabled)
        m_ap = false;
}

void DeviceApp::setBasebandAmplitudePhaseOutputEnabled(bool enabled)
{
    m_ap = enabled;
    if (enabled)
        m_iq = false;
}

QString DeviceApp::logPath() const
{
    return m_logPath.isEmpty() ? ApplicationProperties::defaultLogPath() : m_logPath;
}

void DeviceApp::setFrameCounter(uint v)
{
    if (v == m_frameCounter)
        return;
    m_frameCounter = v;
    emit frameCounterChanged();
}

Sarvik::PreferredSplitSize DeviceApp::preferredLogSize() const
{
    Sarvik::PreferredSplitSize size;
    if (m_logSplitUnit == 0)
        size.set_duration(int(m_logSplitSize * 60));
    else if (m_logSplitUnit == 1)
        size.set_byte_count(m_logSplitSize * 1000u);
    else
        size.set_byte_count(m_logSplitSize * 1000000u);
    return size;
}

QString DeviceApp::textLogHeader() const
{
    return QStringLiteral("# Log header\n# Log description: ") + m_logDescription + '\n';
}

DeviceApp::InitializationResult DeviceApp::execute(bool)
{
    return InitializationSucceeded;
}

void DeviceApp::recordLog(bool enabled)
{
    if (enabled == m_recording)
        return;
    m_recordingPath = enabled ? m_logPath : QString();
    if (enabled)
        m_device->setupRecordingErrorCallback();
    m_recording = enabled;
    emit recordingEnabledChanged();
}

void DeviceApp::debug(QString strLog)
{
    qDebug().noquote() << strLog;
}
