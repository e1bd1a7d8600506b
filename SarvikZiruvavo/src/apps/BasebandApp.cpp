#include "BasebandApp.hpp"

#include "apps/RawAppSettings.hpp"
#include "core/ApplicationProperties.hpp"
#include "core/SarvikDeviceConfiguration.hpp"
#include "device/Device.hpp"

#include <linkwell/DataType.hpp>

#include <QDebug>
#include <QSettings>

#include <algorithm>
#include <cmath>

namespace {

const char* const group = "Baseband";
constexpr double longestZone = 9.0;
constexpr double shortestZone = 0.2;

QString trueOrFalse(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

BasebandApp::BasebandApp(Device* parent)
    : DeviceApp(parent)
{
    const SarvikDeviceInfo& info = parent->moduleInfo();
    m_detectionZoneMin = info.zoneMin;
    m_detectionZoneMaxLength = std::min(longestZone, info.zoneMax - info.zoneMin);

    const QSettings settings(ApplicationProperties::settingsFileName(), QSettings::IniFormat);
    RawAppSettings::loadZone(
        settings, appName(), *this, m_detectionZoneMin, m_detectionZoneMin + m_detectionZoneMaxLength);
    m_applicationOutputEnabled = settings.value(QStringLiteral("Logging/ApplicationOutput"), 1).toInt() == 1;
    // Both stored on: amplitude and phase wins, as it is applied last.
    setBasebandOutputEnabled(settings.value(QStringLiteral("Logging/BasebandOutput"), false).toBool());
    setBasebandAmplitudePhaseOutputEnabled(
        settings.value(QStringLiteral("Logging/BasebandAPOutput"), true).toBool());

    createDeviceTimer(this, &BasebandApp::onDeviceTimeout);
}

BasebandApp::~BasebandApp()
{
    recordLog(false);
}

QString BasebandApp::appName() const
{
    return QString::fromLatin1(group);
}

quint32 BasebandApp::profileId() const
{
    return basebandProfileId;
}

void BasebandApp::connectToDevice()
{
    if (!m_dataConnection)
        m_dataConnection = connect(m_device, &Device::sigNewDataApp, this, &BasebandApp::onAppData);
}

void BasebandApp::disconnectFromDevice()
{
    disconnect(m_dataConnection);
    m_dataConnection = QMetaObject::Connection();
}

double BasebandApp::detectionZoneMin() const
{
    return m_detectionZoneMin;
}

double BasebandApp::detectionZoneMax() const
{
    return m_device->moduleInfo().zoneMax;
}

double BasebandApp::detectionZoneMinLength() const
{
    return shortestZone;
}

double BasebandApp::detectionZoneMaxLength() const
{
    return m_detectionZoneMaxLength;
}

double BasebandApp::detectionZoneIncrement() const
{
    return m_device->moduleInfo().zoneStep;
}

void BasebandApp::setState(BasebandState state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged();
}

void BasebandApp::onAppData(uint, QByteArray)
{
    restartDeviceTimer();
    setState(ConnectedState);
}

void BasebandApp::onDeviceTimeout()
{
    m_deviceTimer->stop();
    setState(NoConnectionState);
}

void BasebandApp::resetValues()
{
    m_device->close();
    setState(UnknownState);
}

DeviceApp::InitializationResult BasebandApp::execute(bool tryReconnect)
{
    // The Device configures one at a time: a second execute meanwhile
    // leaves the module, the recording and the state alone.
    if (m_device->isWaitingForWorker()) {
        qWarning().noquote() << "WARNING:" << appName()
                             << "cannot execute while the module is being configured";
        return InitializationFailed;
    }
    const bool wasRecording = recordingEnabled();
    if (wasRecording)
        recordLog(false);
    m_deviceTimer->stop();
    if (!tryReconnect) {
        resetValues();
        emit initializing();
    } else {
        setState(UnknownState);
    }

    const RawAppSettings::Zone zone = RawAppSettings::requestedZone(*this);
    // What the module reports back; a module that reports nothing keeps the
    // zone asked for.
    float reportedStart = zone.start;
    float reportedEnd = zone.end;
    SarvikDeviceConfiguration config;
    config.outputDataTypes
        = basebandOutputEnabled() ? Sarvik::BasebandIqDataType : Sarvik::BasebandApDataType;
    config.zoneStart = zone.start;
    config.zoneEnd = zone.end;
    config.zoneStartResult = &reportedStart;
    config.zoneEndResult = &reportedEnd;
    config.profileKind = SarvikDeviceConfiguration::BasebandKind;
    config.sensitivity = sensitivity();
    config.ledMode = quint8(ledControl());
    config.frequencyBand = quint8(frequencyBand());
    config.moduleDebugLevel = moduleDebugLevel();
    config.noiseMapControl = 7;
    config.ioPinFeature = 0;
    prepareDebugRecording(config);

    const ConfigureOutcome outcome = configureDevice(config);
    if (outcome == ConfigureOutcome::Gone)
        return InitializationFailed;
    const bool ok = outcome == ConfigureOutcome::Succeeded;
    if (!tryReconnect)
        emit initialized(ok ? InitializationSucceeded : InitializationFailed, m_device->errorString());
    if (ok) {
        reportExecuted(true);
        if (!std::isfinite(reportedStart) || !std::isfinite(reportedEnd)) {
            reportedStart = zone.start;
            reportedEnd = zone.end;
        }
        setDetectionZoneStart(reportedStart);
        setDetectionZoneEnd(reportedEnd);
        QSettings settings(ApplicationProperties::settingsFileName(), QSettings::IniFormat);
        RawAppSettings::storeZone(settings, appName(), double(reportedStart), double(reportedEnd));
        settings.sync();
        m_deviceTimer->start();
    } else {
        if (tryReconnect)
            m_deviceTimer->start();
        reportExecuted(false);
    }
    if (wasRecording)
        recordLog(true);
    return ok ? InitializationSucceeded : InitializationFailed;
}

void BasebandApp::saveSettings()
{
    QSettings settings(ApplicationProperties::settingsFileName(), QSettings::IniFormat);
    RawAppSettings::storeZone(settings, appName(), detectionZoneStart(), detectionZoneEnd());
    RawAppSettings::saveLogging(settings, appName(), *this);
    settings.setValue(QStringLiteral("Logging/BasebandOutput"), basebandOutputEnabled());
    settings.setValue(QStringLiteral("Logging/BasebandAPOutput"), basebandAmplitudePhaseOutputEnabled());
    settings.sync();
}

void BasebandApp::loadSettings()
{
    const QSettings settings(ApplicationProperties::settingsFileName(), QSettings::IniFormat);
    RawAppSettings::loadZone(settings, appName(), *this, detectionZoneStart(), detectionZoneEnd());
    RawAppSettings::loadLogging(settings, appName(), *this);
}

void BasebandApp::recordLog(bool enabled)
{
    if (enabled == recordingEnabled())
        return;
    const bool amplitudePhase = basebandAmplitudePhaseOutputEnabled();
    const bool inPhaseQuadrature = basebandOutputEnabled();
    if (enabled && !amplitudePhase && !inPhaseQuadrature) {
        // Nothing would be recorded: the recording is not shown as running.
        qWarning().noquote() << "WARNING:" << appName() << "has no baseband output to record";
        emit recordingEnabledChanged();
        return;
    }
    DeviceApp::recordLog(enabled);
    if (enabled) {
        const Sarvik::RecordingOptions options = recordingOptions();
        qDebug().noquote() << "Start recording" << appName();
        qDebug().noquote() << "  |- Baseband iq data:" << trueOrFalse(inPhaseQuadrature);
        qDebug().noquote() << "  |- Baseband ap data:" << trueOrFalse(amplitudePhase);
        qDebug().noquote() << "Recording session id:" << QString::fromStdString(options.get_session_id());
        m_device->startRecording(amplitudePhase ? Sarvik::BasebandApDataType : Sarvik::BasebandIqDataType,
            recordingPath(), options);
    } else {
        qDebug().noquote() << "Stop recording" << appName();
        m_device->stopRecording(Sarvik::BasebandApDataType | Sarvik::BasebandIqDataType);
        m_device->clearRecordingErrorCallback();
    }
}
