#include "DaxApp.hpp"

#include "apps/ChipFrameConverter.hpp"
#include "apps/RawAppSettings.hpp"
#include "apps/RecordingParameterFile.hpp"
#include "core/ApplicationProperties.hpp"
#include "core/SarvikDeviceConfiguration.hpp"
#include "device/Device.hpp"

#include <linkwell/DataType.hpp>

#include <QDebug>
#include <QSettings>

#include <algorithm>
#include <cmath>

namespace {

const char* const group = "DAX";
constexpr double longestZone = 9.8;
constexpr double shortestZone = 0.2;
// RF samples lie this fraction of a bin apart.
constexpr double rfSampleFraction = 0.125;

QString trueOrFalse(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

DaxApp::DaxApp(Device* parent)
    : DeviceApp(parent)
{
    const SarvikDeviceInfo& info = parent->moduleInfo();
    m_detectionZoneMin = info.zoneMin;
    m_detectionZoneMaxLength = std::min(longestZone, info.zoneMax - info.zoneMin);
    m_binLength = info.zoneStep;

    const QSettings settings(ApplicationProperties::settingsFileName(), QSettings::IniFormat);
    RawAppSettings::loadZone(
        settings, appName(), *this, m_detectionZoneMin, m_detectionZoneMin + m_detectionZoneMaxLength);
    m_applicationOutputEnabled = settings.value(QStringLiteral("Logging/ApplicationOutput"), 1).toInt() == 1;
    m_floatDataOutputEnabled = settings.value(QStringLiteral("Logging/FloatDataOutput"), false).toBool();
    m_downConversion = info.downconversion ? 1 : 0;

    createDeviceTimer(this, &DaxApp::onDeviceTimeout);
    connect(parent, &Device::recordingDirectoryReady, this, &DaxApp::writeRecordingMetadata);
}

DaxApp::~DaxApp()
{
    recordLog(false);
}

void DaxApp::setDownConversion(int value)
{
    if (assign(m_downConversion, qint32(value)))
        emit downConversionChanged(m_downConversion);
}

void DaxApp::setFloatDataOutputEnabled(bool enabled)
{
    if (assign(m_floatDataOutputEnabled, enabled))
        emit floatDataOutputEnabledChanged();
}

QString DaxApp::appName() const
{
    return QString::fromLatin1(group);
}

quint32 DaxApp::profileId() const
{
    return daxProfileId;
}

void DaxApp::connectToDevice()
{
    if (!m_dataConnection)
        m_dataConnection = connect(m_device, &Device::sigNewDataFloat, this, &DaxApp::onDataFloat);
}

void DaxApp::disconnectFromDevice()
{
    disconnect(m_dataConnection);
    m_dataConnection = QMetaObject::Connection();
}

double DaxApp::detectionZoneMin() const
{
    return m_detectionZoneMin;
}

double DaxApp::detectionZoneMax() const
{
    return m_device->moduleInfo().zoneMax;
}

double DaxApp::detectionZoneMinLength() const
{
    return shortestZone;
}

double DaxApp::detectionZoneMaxLength() const
{
    return m_detectionZoneMaxLength;
}

double DaxApp::detectionZoneIncrement() const
{
    return m_device->moduleInfo().zoneStep;
}

void DaxApp::setBasebandOutputEnabled(bool) { }

bool DaxApp::basebandOutputEnabled() const
{
    return false;
}

void DaxApp::setBasebandAmplitudePhaseOutputEnabled(bool) { }

bool DaxApp::basebandAmplitudePhaseOutputEnabled() const
{
    return false;
}

void DaxApp::setState(DaxState state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged();
}

void DaxApp::onDataFloat(uint, uint frameCounter, QList<qreal> data)
{
    if (m_downConversion != 0) {
        const AmplitudePhaseFrame frame = ChipFrameConverter::amplitudeAndPhase(
            data, ChipFrameConverter::Scale(m_device->basebandScale()));
        emit rawBasebandReceived(
            frameCounter, m_binLength, detectionZoneStart(), frame.amplitudeValues, frame.phaseValues);
    } else {
        emit rfDataReceived(frameCounter, m_binLength * rfSampleFraction, detectionZoneStart(),
            ChipFrameConverter::rfSamples(data));
    }
    // The page shows the frame counter of the last frame.
    setFrameCounter(frameCounter);
    restartDeviceTimer();
    setState(ConnectedState);
}

void DaxApp::onDeviceTimeout()
{
    m_deviceTimer->stop();
    setState(NoConnectionState);
}

void DaxApp::resetValues()
{
    m_device->close();
    setState(UnknownState);
}

DeviceApp::InitializationResult DaxApp::execute(bool tryReconnect)
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
    float reportedStart = zone.start;
    float reportedEnd = zone.end;
    SarvikDeviceConfiguration config;
    // Neither value has a baseband bit: the chip's frames flow whatever the
    // float output setting is.
    config.outputDataTypes = m_floatDataOutputEnabled ? Sarvik::DataTypes(Sarvik::FloatDataType) : 0;
    config.zoneStart = zone.start;
    config.zoneEnd = zone.end;
    config.zoneStartResult = &reportedStart;
    config.zoneEndResult = &reportedEnd;
    config.frequencyBand = quint8(frequencyBand());
    config.downconversion = quint8(m_downConversion);
    config.sensitivity = sensitivity();
    config.ledMode = quint8(ledControl());
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
        settings.setValue(appName() + QStringLiteral("/BasebandDownConversion"), m_downConversion);
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

void DaxApp::saveSettings()
{
    QSettings settings(ApplicationProperties::settingsFileName(), QSettings::IniFormat);
    RawAppSettings::storeZone(settings, appName(), detectionZoneStart(), detectionZoneEnd());
    RawAppSettings::saveLogging(settings, appName(), *this);
    settings.setValue(QStringLiteral("Logging/FloatDataOutput"), m_floatDataOutputEnabled);
    settings.sync();
}

void DaxApp::loadSettings()
{
    const QSettings settings(ApplicationProperties::settingsFileName(), QSettings::IniFormat);
    RawAppSettings::loadZone(settings, appName(), *this, detectionZoneStart(), detectionZoneEnd());
    RawAppSettings::loadLogging(settings, appName(), *this);
    setFloatDataOutputEnabled(
        settings.value(QStringLiteral("Logging/FloatDataOutput"), m_floatDataOutputEnabled).toBool());
}

void DaxApp::recordLog(bool enabled)
{
    if (enabled == recordingEnabled())
        return;
    DeviceApp::recordLog(enabled);
    if (enabled) {
        const Sarvik::RecordingOptions options = recordingOptions();
        qDebug().noquote() << "Start recording" << appName();
        qDebug().noquote() << "  |- Float data:" << trueOrFalse(m_floatDataOutputEnabled);
        qDebug().noquote() << "Recording session id:" << QString::fromStdString(options.get_session_id());
        // The float stream is what this module sends: it is always recorded.
        m_device->startRecording(Sarvik::FloatDataType, recordingPath(), options);
    } else {
        qDebug().noquote() << "Stop recording" << appName();
        m_device->stopRecording(Sarvik::FloatDataType);
        m_device->clearRecordingErrorCallback();
    }
}

void DaxApp::writeRecordingMetadata(QString directory)
{
    // create refuses (with the warning) an empty, relative or missing
    // directory: the lookup answers empty when it found none.
    const std::unique_ptr<RecordingParameterFile> file = RecordingParameterFile::create(directory);
    if (!file)
        return;
    file->setDownConversion(m_downConversion);
    file->setDetectionZoneStart(detectionZoneStart());
    file->setDetectionZoneEnd(detectionZoneEnd());
    file->setDetectionZoneStep(m_device->moduleInfo().zoneStep);
}
