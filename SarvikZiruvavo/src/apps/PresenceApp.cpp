#include "PresenceApp.hpp"

#include "core/ApplicationProperties.hpp"
#include "device/Device.hpp"

#include <QDateTime>
#include <QDebug>
#include <QPointer>
#include <QSettings>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr double longestZone = 9.0;
constexpr double shortestZone = 0.2;
// The ranges the settings pages offer: anything else in the settings file
// is bounded to them.
constexpr int largestSensitivity = 9;
constexpr int smallestSplitValue = 2;
constexpr int largestSplitValue = 200;
constexpr qint64 shortestHistory = 30000;
constexpr qint64 longestHistory = 600000;

constexpr quint32 basebandApType = 0x1;
constexpr quint32 basebandIqType = 0x2;
constexpr quint32 sleepType = 0x4;
constexpr quint32 respirationType = 0x8;
constexpr quint32 pulseDopplerFloatType = 0x40;
constexpr quint32 pulseDopplerByteType = 0x80;
constexpr quint32 presenceSingleType = 0x1000;
constexpr quint32 presenceMovingListType = 0x2000;
constexpr quint32 respirationDetectionListType = 0x4000;
constexpr quint32 respirationMovingListType = 0x8000;
constexpr quint32 vitalSignsType = 0x10000;
constexpr quint32 normalizedMovingListType = 0x40000;

// Little-endian fields of a payload; what lies past its end reads as 0.
quint32 u32At(const QByteArray& data, qint64 offset)
{
    if (offset < 0 || offset + 4 > data.size())
        return 0;
    return qFromLittleEndian<quint32>(data.constData() + offset);
}

float floatAt(const QByteArray& data, qint64 offset)
{
    const quint32 bits = u32At(data, offset);
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

QString flagText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

quint32 boundedUnsigned(const QVariant& value, qint64 low, qint64 high, quint32 fallback)
{
    bool ok = false;
    const qint64 number = value.toLongLong(&ok);
    return ok ? quint32(qBound(low, number, high)) : fallback;
}

} // namespace

PresenceApp::PresenceApp()
{
    qFatal("do not use this constructor, it purely exists due to QML requirements");
}

PresenceApp::PresenceApp(Device* parent)
    : DeviceApp(parent)
{
    const SarvikDeviceInfo& info = parent->moduleInfo();
    m_detectionZoneMin = info.zoneMin;
    m_detectionZoneMaxLength = std::min(longestZone, info.zoneMax - info.zoneMin);
    createDeviceTimer(this, &PresenceApp::onDeviceTimeout);
}

PresenceApp::~PresenceApp()
{
    PresenceApp::recordLog(false);
}

// ---- The base's operations ------------------------------------------------------

QString PresenceApp::appName() const
{
    return QStringLiteral("Presence");
}

quint32 PresenceApp::profileId() const
{
    return 0x014D4AB8;
}

void PresenceApp::connectToDevice()
{
    connect(m_device, &Device::sigNewDataApp, this, &PresenceApp::onAppData, Qt::UniqueConnection);
}

void PresenceApp::disconnectFromDevice()
{
    disconnect(m_device, &Device::sigNewDataApp, this, &PresenceApp::onAppData);
}

double PresenceApp::detectionZoneMin() const
{
    return m_detectionZoneMin;
}

double PresenceApp::detectionZoneMax() const
{
    return m_device->moduleInfo().zoneMax;
}

double PresenceApp::detectionZoneMinLength() const
{
    return shortestZone;
}

double PresenceApp::detectionZoneMaxLength() const
{
    return m_detectionZoneMaxLength;
}

double PresenceApp::detectionZoneIncrement() const
{
    return m_device->moduleInfo().zoneStep;
}

QString PresenceApp::settingsGroup() const
{
    return appName();
}

quint32 PresenceApp::profileKind() const
{
    return SarvikDeviceConfiguration::PresenceKind;
}

quint32 PresenceApp::maximumLedControl() const
{
    return 2;
}

bool PresenceApp::isRespirationFamily() const
{
    return inherits("AdultRespirationApp");
}

// ---- Properties -----------------------------------------------------------------

void PresenceApp::setMovementSlowFastHistory(uint milliseconds)
{
    if (assign(m_movementSlowFastHistory, quint32(milliseconds)))
        emit movementSlowFastHistoryChanged(milliseconds);
}

void PresenceApp::setNormalizedMovementSlowFastHistory(uint milliseconds)
{
    if (assign(m_normalizedMovementSlowFastHistory, quint32(milliseconds)))
        emit normalizedMovementSlowFastHistoryChanged(milliseconds);
}

void PresenceApp::setIoPinControlEnabled(bool enabled)
{
    if (assign(m_ioPinControlEnabled, enabled))
        emit ioPinControlEnabledChanged();
}

void PresenceApp::setUseStoredNoiseMap(bool enabled)
{
    if (m_device->supportsStoredNoiseMap() && assign(m_useStoredNoiseMap, enabled))
        emit useStoredNoiseMapChanged();
}

void PresenceApp::setUseDefaultNoiseMap(bool enabled)
{
    if (m_device->supportsDefaultNoiseMap() && assign(m_useDefaultNoiseMap, enabled))
        emit useDefaultNoiseMapChanged();
}

void PresenceApp::setLogPresenceSingleEnabled(bool enabled)
{
    if (assign(m_logPresenceSingleEnabled, enabled))
        emit logPresenceSingleEnabledChanged();
}

void PresenceApp::setLogPresenceMovingListEnabled(bool enabled)
{
    if (assign(m_logPresenceMovingListEnabled, enabled))
        emit logPresenceMovingListEnabledChanged();
}

void PresenceApp::setLogRespirationMovingListEnabled(bool enabled)
{
    if (assign(m_logRespirationMovingListEnabled, enabled))
        emit logRespirationMovingListEnabledChanged();
}

void PresenceApp::setLogRespirationNormalizedMovingListEnabled(bool enabled)
{
    if (assign(m_logRespirationNormalizedMovingListEnabled, enabled))
        emit logRespirationNormalizedMovingListEnabledChanged();
}

void PresenceApp::setLogRespirationDetectionListEnabled(bool enabled)
{
    if (assign(m_logRespirationDetectionListEnabled, enabled))
        emit logRespirationDetectionListEnabledChanged();
}

void PresenceApp::setLogBreathingPattern(bool enabled)
{
    if (assign(m_logBreathingPattern, enabled))
        emit logBreathingPatternEnabledChanged();
}

void PresenceApp::setLogPulseDopplerFloatEnabled(bool enabled)
{
    if (enabled == m_logPulseDopplerFloatEnabled)
        return;
    if (enabled)
        setLogPulseDopplerByteEnabled(false);
    m_logPulseDopplerFloatEnabled = enabled;
    emit logPulseDopplerFloatEnabledChanged();
}

void PresenceApp::setLogPulseDopplerByteEnabled(bool enabled)
{
    if (enabled == m_logPulseDopplerByteEnabled)
        return;
    if (enabled)
        setLogPulseDopplerFloatEnabled(false);
    m_logPulseDopplerByteEnabled = enabled;
    emit logPulseDopplerByteEnabledChanged();
}

void PresenceApp::setLogVitalSignsEnabled(bool enabled)
{
    if (assign(m_logVitalSignsEnabled, enabled))
        emit logVitalSignsEnabledChanged();
}

void PresenceApp::setInitProgressValue(uint percent)
{
    if (percent <= 100 && assign(m_initProgressValue, quint32(percent)))
        emit initProgressValueChanged();
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

// ---- State machine --------------------------------------------------------------

void PresenceApp::setState(quint32 value)
{
    if (assign(m_state, value))
        emit stateChanged();
    m_initProgressValue = 0;
    const qlonglong now = QDateTime::currentMSecsSinceEpoch();
    emit objectDistanceChanged(m_objectDistance, now);
    emit signalQualityChanged();
    emit movementSlowFastChanged(m_movementSlow, m_movementFast);
}

void PresenceApp::resetValues()
{
    m_device->close();
    m_signalQuality = 0;
    m_initProgressValue = 0;
    m_objectDistance = 0.0;
    m_movementFast = 0.0;
    m_movementSlow = 0.0;
    setState(UnknownState);
}

void PresenceApp::onDeviceTimeout()
{
    m_deviceTimer->stop();
    setState(NoConnectionState);
}

// ---- Packets --------------------------------------------------------------------

void PresenceApp::onAppData(uint contentId, QByteArray data)
{
    restartDeviceTimer();
    if (contentId == presenceSingleContentId)
        decodePresenceSingle(data);
    else if (contentId == presenceMovingListContentId)
        decodePresenceMovingList(data);
}

void PresenceApp::decodePresenceSingle(const QByteArray& data)
{
    const qlonglong now = QDateTime::currentMSecsSinceEpoch();
    setFrameCounter(u32At(data, 0));
    const quint32 newState = u32At(data, 4);
    const bool stateChangedNow = newState != m_state;
    if (stateChangedNow) {
        // The charts close the previous state's stretch at this moment.
        emit objectDistanceChanged(m_objectDistance, now);
        emit movementSlowFastChanged(m_movementSlow, m_movementFast);
        m_state = newState;
        emit stateChanged();
    }
    if (m_state == PresenceState)
        m_objectDistance = floatAt(data, 8);
    emit objectDistanceChanged(m_objectDistance, now);
    if (stateChangedNow)
        emit movementSlowFastChanged(m_movementSlow, m_movementFast);
    if (assign(m_signalQuality, u32At(data, 13)))
        emit signalQualityChanged();
}

void PresenceApp::decodePresenceMovingList(const QByteArray& data)
{
    const qint64 count = u32At(data, 8);
    if (count == 0)
        return;
    // The count comes from the module: no more items than the payload can
    // hold are read (or reserved); past its end the items read as 0.
    const qint64 floatsHeld = std::max<qint64>(0, (data.size() - 16) / 4);
    const qint64 items = std::min(count, std::max<qint64>(1, floatsHeld));
    const qint64 slowOffset = 16;
    const qint64 fastOffset = 16 + 4 * count;
    QVector<qreal> slowList;
    QVector<qreal> fastList;
    slowList.reserve(int(items - 1));
    fastList.reserve(int(items - 1));
    const double firstSlow = floatAt(data, slowOffset);
    for (qint64 i = 1; i < items; ++i)
        slowList.append(floatAt(data, slowOffset + 4 * i));
    const double firstFast = floatAt(data, fastOffset);
    for (qint64 i = 1; i < items; ++i)
        fastList.append(floatAt(data, fastOffset + 4 * i));
    setFrameCounter(u32At(data, 0));
    setMovementSlowFast(firstSlow, firstFast);
    emit movementSlowFastListChanged(slowList, fastList);
}

// ---- Settings -------------------------------------------------------------------

QString PresenceApp::settingsKey(const char* key) const
{
    return key[0] == '/' ? settingsGroup() + QLatin1String(key) : QLatin1String(key);
}

double PresenceApp::readZoneValue(const QSettings& settings, const char* key, double fallback) const
{
    const float value = settings.value(settingsKey(key), fallback).toFloat();
    if (!std::isfinite(value))
        return fallback;
    const double low = detectionZoneMin();
    const double high = detectionZoneMax();
    // Without known limits there is nothing to bound to.
    if (high <= low)
        return value;
    return qBound(low, double(value), high);
}

void PresenceApp::readFlag(
    const QSettings& settings, const QString& key, bool& member, void (PresenceApp::*changed)())
{
    if (assign(member, settings.value(key, member).toBool()))
        (this->*changed)();
}

void PresenceApp::initialize()
{
    DeviceApp::initialize();
    QSettings settings(m_device->settingsFileName(), QSettings::IniFormat);
    setDetectionZoneStart(readZoneValue(settings, "/DetectionZoneStart", detectionZoneMin()));
    qDebug().noquote() << "Getting zone end from settings for app" << settingsGroup() << ":"
                       << settings.value(settingsKey("/DetectionZoneEnd")).toString();
    setDetectionZoneEnd(
        readZoneValue(settings, "/DetectionZoneEnd", detectionZoneMin() + detectionZoneMaxLength()));
    setBasebandOutputEnabled(settings.value(QStringLiteral("Logging/BasebandOutput"), false).toBool());
    if (isRespirationFamily()) {
        readFlag(settings, settingsKey("/LogRespirationDetectionList"), m_logRespirationDetectionListEnabled,
            &PresenceApp::logRespirationDetectionListEnabledChanged);
        readFlag(settings, settingsKey("/LogRespirationMovingList"), m_logRespirationMovingListEnabled,
            &PresenceApp::logRespirationMovingListEnabledChanged);
        readFlag(settings, settingsKey("/LogBreathingPattern"), m_logBreathingPattern,
            &PresenceApp::logBreathingPatternEnabledChanged);
        readFlag(settings, settingsKey("/LogVitalSigns"), m_logVitalSignsEnabled,
            &PresenceApp::logVitalSignsEnabledChanged);
    } else {
        readFlag(settings, QStringLiteral("Logging/PresenceSingle"), m_logPresenceSingleEnabled,
            &PresenceApp::logPresenceSingleEnabledChanged);
        readFlag(settings, QStringLiteral("Logging/PresenceMovingList"), m_logPresenceMovingListEnabled,
            &PresenceApp::logPresenceMovingListEnabledChanged);
    }
    setBasebandAmplitudePhaseOutputEnabled(
        settings.value(QStringLiteral("Logging/BasebandAPOutput"), true).toBool());
    setLogPulseDopplerFloatEnabled(
        settings.value(QStringLiteral("Logging/PulseDopplerFloat"), m_logPulseDopplerFloatEnabled).toBool());
    setLogPulseDopplerByteEnabled(
        settings.value(QStringLiteral("Logging/PulseDopplerByte"), m_logPulseDopplerByteEnabled).toBool());
    m_useStoredNoiseMap = m_device->supportsStoredNoiseMap()
        && settings.value(settingsKey("/UseStoredNoiseMap"), m_useStoredNoiseMap).toBool();
    m_useDefaultNoiseMap = m_device->supportsDefaultNoiseMap()
        && settings.value(settingsKey("/UseDefaultNoiseMap"), m_useDefaultNoiseMap).toBool();
    m_ioPinControlEnabled
        = settings.value(settingsKey("/IoPinControlEnabled"), m_ioPinControlEnabled).toBool();

    const SarvikDeviceInfo& info = m_device->moduleInfo();
    if (info.deviceType == SarvikDeviceInfo::PlaybackDevice) {
        const QVariant range = info.metadata.value(QStringLiteral("RangeVec"));
        const QVariantList values = range.toList();
        if (range.isValid() && values.size() >= 2) {
            setDetectionZoneStart(values.at(0).toFloat());
            setDetectionZoneEnd(values.at(1).toFloat());
        }
    }
}

void PresenceApp::loadSettings()
{
    QSettings settings(m_device->settingsFileName(), QSettings::IniFormat);
    setDetectionZoneStart(readZoneValue(settings, "/DetectionZoneStart", m_detectionZoneStart));
    setDetectionZoneEnd(readZoneValue(settings, "/DetectionZoneEnd", m_detectionZoneEnd));
    setSensitivity(boundedUnsigned(
        settings.value(settingsKey("/sensitivity"), m_sensitivity), 0, largestSensitivity, m_sensitivity));
    setLedControl(boundedUnsigned(
        settings.value(settingsKey("/LEDControl"), m_ledControl), 0, maximumLedControl(), m_ledControl));
    setLogPath(settings.value(settingsKey("/LoggingPath"), logPath()).toString());
    setLogSplitSize(boundedUnsigned(settings.value(settingsKey("/PreferredFileSplitValue"), m_logSplitSize),
        smallestSplitValue, largestSplitValue, m_logSplitSize));
    bool unitOk = false;
    const int unit = settings.value(settingsKey("/PreferredFileSplitUnit"), m_logSplitUnit).toInt(&unitOk);
    if (unitOk)
        setLogSplitUnit(unit);
    setLogDescription(settings.value(settingsKey("/LoggingDescription"), m_logDescription).toString());
    setMovementSlowFastHistory(boundedUnsigned(
        settings.value(settingsKey("/PlotMovementSlowFastHistory"), m_movementSlowFastHistory),
        shortestHistory, longestHistory, m_movementSlowFastHistory));
    setUseStoredNoiseMap(settings.value(settingsKey("/UseStoredNoiseMap"), m_useStoredNoiseMap).toBool());
    setUseDefaultNoiseMap(settings.value(settingsKey("/UseDefaultNoiseMap"), m_useDefaultNoiseMap).toBool());
    setIoPinControlEnabled(
        settings.value(settingsKey("/IoPinControlEnabled"), m_ioPinControlEnabled).toBool());
    if (isRespirationFamily()) {
        readFlag(settings, settingsKey("/LogRespirationDetectionList"), m_logRespirationDetectionListEnabled,
            &PresenceApp::logRespirationDetectionListEnabledChanged);
        readFlag(settings, settingsKey("/LogRespirationMovingList"), m_logRespirationMovingListEnabled,
            &PresenceApp::logRespirationMovingListEnabledChanged);
        readFlag(settings, settingsKey("/LogRespirationNormalizedMovingList"),
            m_logRespirationNormalizedMovingListEnabled,
            &PresenceApp::logRespirationNormalizedMovingListEnabledChanged);
        readFlag(settings, settingsKey("/LogBreathingPattern"), m_logBreathingPattern,
            &PresenceApp::logBreathingPatternEnabledChanged);
        readFlag(settings, settingsKey("/LogVitalSigns"), m_logVitalSignsEnabled,
            &PresenceApp::logVitalSignsEnabledChanged);
    } else {
        readFlag(settings, QStringLiteral("Logging/PresenceSingle"), m_logPresenceSingleEnabled,
            &PresenceApp::logPresenceSingleEnabledChanged);
        readFlag(settings, QStringLiteral("Logging/PresenceMovingList"), m_logPresenceMovingListEnabled,
            &PresenceApp::logPresenceMovingListEnabledChanged);
    }
}

void PresenceApp::saveSettings()
{
    QSettings settings(m_device->settingsFileName(), QSettings::IniFormat);
    settings.setValue(settingsKey("/DetectionZoneStart"), m_detectionZoneStart);
    settings.setValue(settingsKey("/DetectionZoneEnd"), m_detectionZoneEnd);
    settings.setValue(settingsKey("/sensitivity"), uint(m_sensitivity));
    settings.setValue(settingsKey("/LEDControl"), uint(m_ledControl));
    settings.setValue(settingsKey("/LoggingPath"), logPath());
    settings.setValue(settingsKey("/PreferredFileSplitUnit"), int(m_logSplitUnit));
    settings.setValue(settingsKey("/PreferredFileSplitValue"), uint(m_logSplitSize));
    settings.setValue(settingsKey("/LoggingDescription"), m_logDescription);
    settings.setValue(settingsKey("/PlotMovementSlowFastHistory"), uint(m_movementSlowFastHistory));
    settings.setValue(QStringLiteral("Logging/BasebandOutput"), basebandOutputEnabled());
    settings.setValue(QStringLiteral("Logging/BasebandAPOutput"), basebandAmplitudePhaseOutputEnabled());
    settings.setValue(QStringLiteral("Logging/PulseDopplerFloat"), m_logPulseDopplerFloatEnabled);
    settings.setValue(QStringLiteral("Logging/PulseDopplerByte"), m_logPulseDopplerByteEnabled);
    if (isRespirationFamily()) {
        settings.setValue(settingsKey("/LogRespirationDetectionList"), m_logRespirationDetectionListEnabled);
        settings.setValue(settingsKey("/LogRespirationMovingList"), m_logRespirationMovingListEnabled);
        settings.setValue(
            settingsKey("/LogRespirationNormalizedMovingList"), m_logRespirationNormalizedMovingListEnabled);
        settings.setValue(settingsKey("/LogBreathingPattern"), m_logBreathingPattern);
        settings.setValue(settingsKey("/LogVitalSigns"), m_logVitalSignsEnabled);
    } else {
        settings.setValue(QStringLiteral("Logging/PresenceSingle"), m_logPresenceSingleEnabled);
        settings.setValue(QStringLiteral("Logging/PresenceMovingList"), m_logPresenceMovingListEnabled);
    }
    settings.setValue(settingsKey("/UseStoredNoiseMap"), m_useStoredNoiseMap);
    settings.setValue(settingsKey("/UseDefaultNoiseMap"), m_useDefaultNoiseMap);
    settings.setValue(settingsKey("/IoPinControlEnabled"), m_ioPinControlEnabled);
    settings.sync();
}

// ---- Configure ------------------------------------------------------------------

quint32 PresenceApp::outputDataTypes() const
{
    quint32 types = 0;
    if (basebandOutputEnabled())
        types |= basebandIqType;
    else if (basebandAmplitudePhaseOutputEnabled())
        types |= basebandApType;
    if (m_logPulseDopplerFloatEnabled)
        types |= pulseDopplerFloatType;
    else if (m_logPulseDopplerByteEnabled)
        types |= pulseDopplerByteType;
    if (m_logPresenceSingleEnabled)
        types |= presenceSingleType;
    if (m_logPresenceMovingListEnabled)
        types |= presenceMovingListType;
    if (m_logRespirationNormalizedMovingListEnabled)
        types |= normalizedMovingListType;
    if (m_logVitalSignsEnabled)
        types |= vitalSignsType;
    return types;
}

quint32 PresenceApp::noiseMapControl() const
{
    if (m_useStoredNoiseMap)
        return m_useDefaultNoiseMap ? 2 : 3;
    return m_useDefaultNoiseMap ? 6 : 7;
}

DeviceApp::InitializationResult PresenceApp::execute(bool tryReconnect)
{
    // Another execute waits for its configure: this one changes nothing.
    if (isConfiguring()) {
        qWarning().noquote() << "WARNING:" << appName() << "is configuring the module already";
        return InitializationFailed;
    }
    const bool wasRecording = m_recordingEnabled;
    if (wasRecording)
        recordLog(false);
    m_deviceTimer->stop();
    if (!tryReconnect) {
        resetValues();
        setState(UnknownState);
        emit initializing();
    } else {
        setState(UnknownState);
    }

    SarvikDeviceConfiguration config;
    float zoneStart = 0.0f;
    float zoneEnd = 0.0f;
    config.zoneStartResult = &zoneStart;
    config.zoneEndResult = &zoneEnd;
    config.outputDataTypes = outputDataTypes();
    config.zoneStart = std::max(float(detectionZoneMin()), float(m_detectionZoneStart));
    config.zoneEnd
        = std::min(float(detectionZoneMax()), float(m_detectionZoneEnd - detectionZoneIncrement() * 0.5));
    if (config.zoneEnd - config.zoneStart < detectionZoneMinLength())
        config.zoneEnd = float(config.zoneStart + detectionZoneMinLength());
    // What the module reports back; nothing reported: what was sent.
    zoneStart = config.zoneStart;
    zoneEnd = config.zoneEnd;
    config.profileKind = profileKind();
    config.sensitivity = m_sensitivity;
    config.ledMode = quint8(m_ledControl);
    config.moduleDebugLevel = moduleDebugLevel();
    config.frequencyBand = m_frequencyBand;
    config.noiseMapControl = noiseMapControl();
    config.ioPinFeature = m_ioPinControlEnabled ? 1 : 0;
    prepareDebugRecording(config);

    const ConfigureOutcome outcome = configureDevice(config);
    if (outcome == ConfigureOutcome::Gone)
        return InitializationFailed;
    const bool ok = outcome == ConfigureOutcome::Succeeded;
    const QString error = outcome == ConfigureOutcome::Refused ? QString() : m_device->errorString();
    const InitializationResult result = resultOf(ok, error);
    if (!tryReconnect)
        emit initialized(result, error);

    if (ok) {
        reportExecuted(true);
        setDetectionZoneStart(zoneStart);
        setDetectionZoneEnd(zoneEnd);
        QSettings settings(m_device->settingsFileName(), QSettings::IniFormat);
        settings.setValue(settingsKey("/DetectionZoneStart"), m_detectionZoneStart);
        settings.setValue(settingsKey("/DetectionZoneEnd"), m_detectionZoneEnd);
        settings.sync();
        if (!m_device->isPlaybackDevice())
            m_deviceTimer->start();
    } else {
        // The time-out keeps the connection state current while the user
        // tries again.
        if (tryReconnect && !m_device->isPlaybackDevice())
            m_deviceTimer->start();
        reportExecuted(false);
    }
    if (wasRecording)
        recordLog(true);
    return result;
}

// ---- Recording ------------------------------------------------------------------

quint32 PresenceApp::headerlessRecordingTypes() const
{
    quint32 types = 0;
    if (basebandAmplitudePhaseOutputEnabled())
        types |= basebandApType;
    else if (basebandOutputEnabled())
        types |= basebandIqType;
    if (m_logPulseDopplerFloatEnabled)
        types |= pulseDopplerFloatType;
    else if (m_logPulseDopplerByteEnabled)
        types |= pulseDopplerByteType;
    return types;
}

quint32 PresenceApp::headerRecordingTypes() const
{
    quint32 types = 0;
    if (m_logPresenceSingleEnabled)
        types |= presenceSingleType;
    if (m_logPresenceMovingListEnabled)
        types |= presenceMovingListType;
    if (m_logRespirationMovingListEnabled)
        types |= respirationMovingListType;
    if (m_logRespirationNormalizedMovingListEnabled)
        types |= normalizedMovingListType;
    if (m_logRespirationDetectionListEnabled)
        types |= respirationDetectionListType;
    if (m_logBreathingPattern)
        types |= respirationType;
    if (isRespirationFamily())
        types |= sleepType;
    if (m_logVitalSignsEnabled)
        types |= vitalSignsType;
    return types;
}

void PresenceApp::recordLog(bool enabled)
{
    if (enabled == m_recordingEnabled)
        return;
    if (enabled && (headerlessRecordingTypes() | headerRecordingTypes()) == 0) {
        // A recording of nothing would show as running and write nothing.
        emit recordingError(QStringLiteral("nothing to record: no data type is selected"));
        emit recordingEnabledChanged();
        return;
    }
    DeviceApp::recordLog(enabled);
    if (!enabled) {
        qDebug().noquote() << "Stop recording" << appName();
        m_device->stopRecording(recordedDataTypes);
        m_device->clearRecordingErrorCallback();
        return;
    }

    Sarvik::RecordingOptions options = recordingOptions();
    qDebug().noquote() << "Start recording" << appName();
    if (isRespirationFamily()) {
        qDebug().noquote() << "  |- Respiration moving list data:"
                           << flagText(m_logRespirationMovingListEnabled);
        qDebug().noquote() << "  |- Respiration normalized moving list data:"
                           << flagText(m_logRespirationNormalizedMovingListEnabled);
        qDebug().noquote() << "  |- Respiration detection list data:"
                           << flagText(m_logRespirationDetectionListEnabled);
        qDebug().noquote() << "  |- Sleep data:" << flagText(true);
        qDebug().noquote() << "  |- Vital signs data:" << flagText(m_logVitalSignsEnabled);
    } else {
        qDebug().noquote() << "  |- Presence moving list data:" << flagText(m_logPresenceMovingListEnabled);
        qDebug().noquote() << "  |- Presence single data:" << flagText(m_logPresenceSingleEnabled);
    }
    qDebug().noquote() << "  |- Baseband iq data:" << flagText(basebandOutputEnabled());
    qDebug().noquote() << "  |- Baseband ap data:" << flagText(basebandAmplitudePhaseOutputEnabled());
    qDebug().noquote() << "  |- Pulse doppler float data:" << flagText(m_logPulseDopplerFloatEnabled);
    qDebug().noquote() << "  |- Pulse doppler byte data:" << flagText(m_logPulseDopplerByteEnabled);
    qDebug().noquote() << "Recording session id:" << QString::fromStdString(options.get_session_id());

    const quint32 headerless = headerlessRecordingTypes();
    for (const quint32 type : { basebandApType, basebandIqType, pulseDopplerFloatType, pulseDopplerByteType })
        if (headerless & type)
            m_device->startRecording(type, recordingPath(), options);

    options.set_user_header(textLogHeaderBytes(textLogHeader()));
    const quint32 withHeader = headerRecordingTypes();
    for (const quint32 type :
        { presenceSingleType, presenceMovingListType, respirationMovingListType, normalizedMovingListType,
            respirationDetectionListType, respirationType, sleepType, vitalSignsType })
        if (withHeader & type)
            m_device->startRecording(type, recordingPath(), options);
}
