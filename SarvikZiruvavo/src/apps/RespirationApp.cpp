#include "RespirationApp.hpp"

#include "apps/LedList.hpp"
#include "core/ApplicationProperties.hpp"
#include "core/SarvikDeviceConfiguration.hpp"
#include "device/Device.hpp"

#include <linkwell/DataType.hpp>
#include <linkwell/PreferredSplitSize.hpp>
#include <linkwell/RecordingOptions.hpp>

#include <QDateTime>
#include <QDebug>
#include <QSettings>
#include <QTimer>
#include <QtEndian>

namespace {

// Every frame's nominal time is corrected by this, re-based on every 1000th
// frame of any module (see the header).
qint64 s_timestampAdjustment = 0;

constexpr quint32 timestampRebaseFrames = 1000;
constexpr int respirationStatusSize = 24;

// Everything this application may record, stopped as one.
constexpr Sarvik::DataTypes recordedDataTypes = Sarvik::BasebandApDataType | Sarvik::BasebandIqDataType
    | Sarvik::SleepDataType | Sarvik::RespirationDataType | Sarvik::VitalSignsDataType;

quint32 u32At(const QByteArray& data, int offset)
{
    return qFromLittleEndian<quint32>(data.constData() + offset);
}

float f32At(const QByteArray& data, int offset)
{
    return qFromLittleEndian<float>(data.constData() + offset);
}

} // namespace

RespirationApp::RespirationApp()
    : DeviceApp()
{ }

RespirationApp::RespirationApp(Device* parent)
    : DeviceApp(parent)
{
    m_detectionZoneMin = 0.5;
    m_detectionZoneMaxLength = 0.7;
    QSettings settings(ApplicationProperties::settingsFileName(), QSettings::IniFormat);
    m_applicationOutputEnabled = settings.value(QStringLiteral("Logging/ApplicationOutput"), 1).toInt() == 1;
    setBasebandOutputEnabled(settings.value(QStringLiteral("Logging/BasebandOutput"), false).toBool());
    // Read second, so amplitude/phase wins when both are stored on.
    setBasebandAmplitudePhaseOutputEnabled(
        settings.value(QStringLiteral("Logging/BasebandAPOutput"), true).toBool());
    const QString group = constructionGroup();
    setExtendedBreathingTelegramEnabled(
        settings.value(group + QStringLiteral("/UseExtendedBreathingTelegram"), true).toBool());
    m_detectionZoneMin
        = settings.value(group + QStringLiteral("/DetectionZoneMin"), m_detectionZoneMin).toFloat();
    m_detectionZoneMaxLength
        = settings.value(group + QStringLiteral("/DetectionZoneMaxLength"), m_detectionZoneMaxLength)
              .toFloat();
    setDetectionZoneStart(m_detectionZoneMin);
    setDetectionZoneEnd(m_detectionZoneMin + m_detectionZoneMaxLength);
    createDeviceTimer(this, &RespirationApp::onDeviceTimeout);
}

RespirationApp::~RespirationApp()
{
    RespirationApp::recordLog(false);
}

qint64 RespirationApp::timestampAdjustment()
{
    return s_timestampAdjustment;
}

double RespirationApp::objectDistanceMin() const
{
    return detectionZoneStart();
}

double RespirationApp::objectDistanceMax() const
{
    return detectionZoneEnd();
}

void RespirationApp::setRpmHistory(uint ms)
{
    if (ms == m_rpmHistory)
        return;
    m_rpmHistory = ms;
    emit rpmHistoryChanged(ms);
}

void RespirationApp::setObjectDistanceHistory(uint ms)
{
    if (ms == m_objectDistanceHistory)
        return;
    m_objectDistanceHistory = ms;
    emit objectDistanceHistoryChanged(ms);
}

void RespirationApp::setObjectMovementHistory(uint ms)
{
    if (ms == m_objectMovementHistory)
        return;
    m_objectMovementHistory = ms;
    emit objectMovementHistoryChanged(ms);
}

void RespirationApp::setMovementSlowFastHistory(uint ms)
{
    if (ms == m_movementSlowFastHistory)
        return;
    m_movementSlowFastHistory = ms;
    emit movementSlowFastHistoryChanged(ms);
}

void RespirationApp::setLogBreathingPattern(bool enabled)
{
    if (enabled == m_logBreathingPattern)
        return;
    m_logBreathingPattern = enabled;
    emit logBreathingPatternChanged(enabled);
}

QString RespirationApp::appName() const
{
    return QStringLiteral("Respiration");
}

quint32 RespirationApp::profileId() const
{
    return 0x1423A2D6;
}

void RespirationApp::connectToDevice()
{
    disconnect(m_dataConnection);
    m_dataConnection = connect(device(), &Device::sigNewDataApp, this, &RespirationApp::radarDataApp);
}

void RespirationApp::disconnectFromDevice()
{
    disconnect(m_dataConnection);
    m_dataConnection = QMetaObject::Connection();
    delete m_ledList;
    m_ledList = nullptr;
}

double RespirationApp::detectionZoneMin() const
{
    return m_detectionZoneMin;
}

double RespirationApp::detectionZoneMax() const
{
    return 2.5;
}

double RespirationApp::detectionZoneMinLength() const
{
    return 0.2;
}

double RespirationApp::detectionZoneMaxLength() const
{
    return m_detectionZoneMaxLength;
}

double RespirationApp::detectionZoneIncrement() const
{
    return 0.1;
}

void RespirationApp::radarDataApp(uint contentId, QByteArray data)
{
    restartDeviceTimer();
    if (contentId == respirationStatusId)
        decodeRespirationStatus(data);
    else if (contentId == sleepStatusId)
        decodeSleepStatus(data);
}

void RespirationApp::decodeRespirationStatus(const QByteArray& data)
{
    if (data.size() != respirationStatusSize)
        return;
    RespirationStatus status;
    status.frameCounter = u32At(data, 0);
    status.state = quint8(data.at(4));
    status.rpm = u32At(data, 8);
    status.objectDistance = f32At(data, 12);
    status.objectMovement = f32At(data, 16);
    status.signalQuality = u32At(data, 20);

    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (status.frameCounter == 1)
        m_frameClockStart = now;
    // In 64 bits: 50 ms frames overflow 32 bits after 49.7 days, and the
    // time stamps would jump back by as much until the next re-basing.
    const qint64 nominal = m_frameClockStart + framePeriodMs * qint64(status.frameCounter);
    if (status.frameCounter % timestampRebaseFrames == 0) {
        s_timestampAdjustment = now - nominal;
        qDebug() << "timestamp_adjustment:" << s_timestampAdjustment;
    }
    const qint64 timestamp = nominal + s_timestampAdjustment;

    m_state = status.state;
    m_rpm = status.rpm;
    m_objectDistance = double(status.objectDistance);
    m_objectMovement = double(status.objectMovement);
    m_signalQuality = status.signalQuality;
    setFrameCounter(status.frameCounter);
    emit stateChanged(m_state);
    emit rpmChanged(m_rpm, timestamp);
    emit objectDistanceChanged(m_objectDistance, timestamp);
    emit objectMovementChanged(m_objectMovement, timestamp);
    emit signalQualityChanged(m_signalQuality, timestamp);
    if (m_ledList != nullptr)
        m_ledList->showRespirationStatus(status);
}

void RespirationApp::decodeSleepStatus(const QByteArray&) { }

void RespirationApp::setState(uint state)
{
    m_state = state;
    emit stateChanged(state);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    emit rpmChanged(m_rpm, now);
    emit objectDistanceChanged(m_objectDistance, now);
    emit objectMovementChanged(m_objectMovement, now);
    emit signalQualityChanged(m_signalQuality, now);
    announceMoreValues();
}

void RespirationApp::resetValues()
{
    device()->close();
    m_rpm = 0;
    m_signalQuality = 0;
    m_objectDistance = 0.0;
    m_objectMovement = 0.0;
    setState(UnknownState);
}

void RespirationApp::createLedList()
{
    if (m_ledList == nullptr)
        m_ledList = new LedList(this);
}

LedList* RespirationApp::ledList() const
{
    return m_ledList;
}

void RespirationApp::onDeviceTimeout()
{
    deviceTimer()->stop();
    setState(NoConnectionState);
}

quint32 RespirationApp::profileKind() const
{
    return SarvikDeviceConfiguration::RespirationKind;
}

QString RespirationApp::respirationBasename() const
{
    return QStringLiteral("sarvik_log_Respiration_SarvikCorvid");
}

DeviceApp::InitializationResult RespirationApp::execute(bool tryReconnect)
{
    const bool wasRecording = recordingEnabled();
    if (wasRecording)
        recordLog(false);
    deviceTimer()->stop();
    if (!tryReconnect) {
        resetValues();
        setState(UnknownState);
        emit initializing();
    } else {
        setState(UnknownState);
    }

    SarvikDeviceConfiguration config;
    config.zoneStartResult = nullptr;
    config.zoneEndResult = nullptr;
    config.outputDataTypes = basebandOutputEnabled() ? 2 : (basebandAmplitudePhaseOutputEnabled() ? 1 : 0);
    config.zoneStart = float(detectionZoneStart());
    config.zoneEnd = float(detectionZoneEnd());
    config.profileKind = profileKind();
    config.sensitivity = sensitivity();
    config.ledMode = quint8(ledControl());
    config.moduleDebugLevel = moduleDebugLevel();
    config.noiseMapControl = 7;
    config.ioPinFeature = 0;
    prepareDebugRecording(config);

    const ConfigureOutcome outcome = configureDevice(config);
    // The Device went while it configured, and this app with it.
    if (outcome == ConfigureOutcome::Gone)
        return InitializationFailed;
    const bool ok = outcome == ConfigureOutcome::Succeeded;
    const InitializationResult result = ok ? InitializationSucceeded : InitializationFailed;
    if (!tryReconnect)
        emit initialized(result, device()->errorString());
    m_frameClockStart = QDateTime::currentMSecsSinceEpoch();
    createLedList();
    if (ok || tryReconnect)
        deviceTimer()->start();
    reportExecuted(ok);
    if (wasRecording)
        recordLog(true);
    return result;
}

QString RespirationApp::settingsKey(const QString& suffix) const
{
    return appName() + suffix;
}

void RespirationApp::saveSettings()
{
    QSettings settings(ApplicationProperties::settingsFileName(), QSettings::IniFormat);
    settings.setValue(settingsKey(QStringLiteral("/DetectionZoneStart")), detectionZoneStart());
    settings.setValue(settingsKey(QStringLiteral("/DetectionZoneEnd")), detectionZoneEnd());
    settings.setValue(settingsKey(QStringLiteral("/sensitivity")), sensitivity());
    settings.setValue(settingsKey(QStringLiteral("/LEDControl")), ledControl());
    settings.setValue(settingsKey(QStringLiteral("/LoggingPath")), logPath());
    settings.setValue(settingsKey(QStringLiteral("/PreferredFileSplitUnit")), logSplitUnit());
    settings.setValue(settingsKey(QStringLiteral("/PreferredFileSplitValue")), logSplitSize());
    settings.setValue(settingsKey(QStringLiteral("/LoggingBreatingPattern")), m_logBreathingPattern);
    settings.setValue(settingsKey(QStringLiteral("/LoggingDescription")), logDescription());
    settings.setValue(settingsKey(QStringLiteral("/PlotRpmHistory")), m_rpmHistory);
    settings.setValue(settingsKey(QStringLiteral("/PlotDistanceHistory")), m_objectDistanceHistory);
    settings.setValue(settingsKey(QStringLiteral("/PlotBreathingPatternHistory")), m_objectMovementHistory);
    saveMoreSettings(settings);
    settings.setValue(
        settingsKey(QStringLiteral("/UseExtendedBreathingTelegram")), extendedBreathingTelegramEnabled());
    settings.setValue(QStringLiteral("Logging/BasebandOutput"), basebandOutputEnabled());
    settings.setValue(QStringLiteral("Logging/BasebandAPOutput"), basebandAmplitudePhaseOutputEnabled());
    settings.sync();
}

void RespirationApp::saveMoreSettings(QSettings&) { }

void RespirationApp::loadSettings()
{
    QSettings settings(ApplicationProperties::settingsFileName(), QSettings::IniFormat);
    const auto value = [&](const char* suffix, const QVariant& current) {
        return settings.value(settingsKey(QLatin1String(suffix)), current);
    };
    setDetectionZoneStart(value("/DetectionZoneStart", detectionZoneStart()).toFloat());
    setDetectionZoneEnd(value("/DetectionZoneEnd", detectionZoneEnd()).toFloat());
    setSensitivity(value("/sensitivity", sensitivity()).toUInt());
    setLedControl(uint(value("/LEDControl", ledControl()).toInt()));
    setLogPath(value("/LoggingPath", logPath()).toString());
    setLogSplitSize(uint(value("/PreferredFileSplitValue", logSplitSize()).toInt()));
    setLogSplitUnit(value("/PreferredFileSplitUnit", logSplitUnit()).toInt());
    setLogBreathingPattern(value("/LoggingBreatingPattern", m_logBreathingPattern).toBool());
    setLogDescription(value("/LoggingDescription", logDescription()).toString());
    setRpmHistory(value("/PlotRpmHistory", m_rpmHistory).toUInt());
    setObjectDistanceHistory(value("/PlotDistanceHistory", m_objectDistanceHistory).toUInt());
    setObjectMovementHistory(value("/PlotBreathingPatternHistory", m_objectMovementHistory).toUInt());
    loadMoreSettings(settings);
    setExtendedBreathingTelegramEnabled(
        value("/UseExtendedBreathingTelegram", extendedBreathingTelegramEnabled()).toBool());
}

void RespirationApp::loadMoreSettings(QSettings&) { }

void RespirationApp::recordLog(bool enabled)
{
    DeviceApp::recordLog(enabled);
    if (!enabled) {
        qDebug().noquote() << "Stop recording" << appName();
        device()->stopRecording(recordedDataTypes);
        device()->clearRecordingErrorCallback();
        return;
    }

    // A fresh session id, which every recording of this call shares; the
    // baseband files alone are split (a byte split at 10000 bytes at least).
    const Sarvik::RecordingOptions baseband = recordingOptions();
    const std::string sessionId = baseband.get_session_id();
    const bool sleepData = extendedBreathingTelegramEnabled() && recordsSleepData();
    const bool respirationData = applicationOutputEnabled();
    const bool basebandIq = basebandOutputEnabled();
    const bool basebandAp = basebandAmplitudePhaseOutputEnabled();
    qDebug().noquote() << "Start recording" << appName();
    qDebug() << "  |- Respiration data:" << respirationData;
    qDebug() << "  |- Sleep data/VitalSigns:" << sleepData;
    qDebug() << "  |- Baseband iq data:" << basebandIq;
    qDebug() << "  |- Baseband ap data:" << basebandAp;
    qDebug() << "Recording session id:" << sessionId.c_str();

    if (basebandIq || basebandAp)
        device()->startRecording(
            basebandAp ? Sarvik::BasebandApDataType : Sarvik::BasebandIqDataType, recordingPath(), baseband);

    Sarvik::RecordingOptions options;
    options.set_session_id(sessionId);
    options.set_user_header(textLogHeaderBytes(textLogHeader()));
    if (sleepData)
        device()->startRecording(Sarvik::SleepDataType, recordingPath(), options);
    if (respirationData) {
        // Without the breathing pattern one packet a second is enough for
        // the rate and the state.
        options.set_data_rate_limit(m_logBreathingPattern ? -1 : 1000);
        device()->setBasenameForDataType(Sarvik::RespirationDataType, respirationBasename());
        device()->startRecording(Sarvik::RespirationDataType, recordingPath(), options);
    }
}
