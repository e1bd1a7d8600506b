#include "AdultRespirationApp.hpp"

#include "apps/HeartrateApp.hpp"
#include "apps/RespirationFamilyPayloads.hpp"
#include "apps/SleepAnalysisInterface.hpp"
#include "device/Device.hpp"

#include <QDateTime>
#include <QSettings>
#include <QTimer>
#include <QtDebug>

#include <algorithm>
#include <cmath>

using Payloads = RespirationFamilyPayloads;

const AdultRespirationApp::Constants AdultRespirationApp::adultConstants = { "Adult Respiration", nullptr,
    "Respiration_2\nAdult, 0.4-5.0 m range\nFeature Optimized", 0x064E57AD, 3, 0.4, 4.6, 8, 30 };
const AdultRespirationApp::Constants AdultRespirationApp::babyConstants = { "Baby Respiration", nullptr,
    "Respiration_3\nBaby, 0.4-5.0 m range\nFeature Optimized", 0x47FABEBA, 2, 0.4, 4.6, 15, 65 };
const AdultRespirationApp::Constants AdultRespirationApp::adultLoMemConstants
    = { "Adult Respiration", "Adult Respiration Memory Optimized",
          "Respiration_4\nAdult, 0.4-3.0 m range\nMemory Optimized", 0x064E57AD, 5, 0.4, 2.6, 8, 30 };
const AdultRespirationApp::Constants AdultRespirationApp::babyLoMemConstants
    = { "Baby Respiration", "Baby Respiration Memory Optimized",
          "Respiration_5\nBaby, 0.4-3.5 m range\nMemory Optimized", 0x47FABEBA, 4, 0.4, 3.1, 15, 65 };
const AdultRespirationApp::Constants AdultRespirationApp::heartrateConstants
    = { "Heartrate", nullptr, "Heartrate\n0.4-5.0 m range\n", 0x064E57AD, 8, 0.4, 4.6, 8, 30 };

AdultRespirationApp::AdultRespirationApp()
    : m_constants(adultConstants)
{
    qFatal("do not use this constructor, it purely exists due to QML requirements");
}

AdultRespirationApp::AdultRespirationApp(Device* parent)
    : AdultRespirationApp(parent, adultConstants)
{ }

AdultRespirationApp::AdultRespirationApp(Device* parent, const Constants& constants)
    : PresenceApp(parent)
    , m_constants(constants)
{
    m_detectionZoneMin = constants.zoneMin;
    m_detectionZoneMaxLength = constants.zoneMaxLength;
}

// The plug-in belongs to the device manager.
AdultRespirationApp::~AdultRespirationApp() = default;

QString AdultRespirationApp::appName() const
{
    return QString::fromUtf8(m_constants.appName);
}

QString AdultRespirationApp::descriptiveName() const
{
    return QString::fromUtf8(m_constants.descriptiveName);
}

quint32 AdultRespirationApp::profileId() const
{
    return m_constants.profileId;
}

QString AdultRespirationApp::settingsGroup() const
{
    return m_constants.settingsGroup ? QString::fromUtf8(m_constants.settingsGroup) : appName();
}

quint32 AdultRespirationApp::profileKind() const
{
    return m_constants.profileKind;
}

void AdultRespirationApp::connectToDevice()
{
    connect(device(), &Device::sigNewDataApp, this, &AdultRespirationApp::onAppData);
}

void AdultRespirationApp::disconnectFromDevice()
{
    disconnect(device(), &Device::sigNewDataApp, this, &AdultRespirationApp::onAppData);
}

double AdultRespirationApp::detectionZoneMin() const
{
    return m_detectionZoneMin;
}

double AdultRespirationApp::detectionZoneMax() const
{
    return m_detectionZoneMin + m_detectionZoneMaxLength;
}

void AdultRespirationApp::resetValues()
{
    m_rpm = 0;
    PresenceApp::resetValues();
}

void AdultRespirationApp::setState(quint32 value)
{
    PresenceApp::setState(value == PresenceApp::NoConnectionState ? NoConnectionState : UnknownState);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    emit rpmChanged(m_rpm, now);
    emit rcsChanged(m_rcs, now);
    emit objectMovementChanged(m_objectMovement, now);
    emit heartrateChanged(m_heartrate, m_heartDistance, m_heartrateConfidence, now);
}

void AdultRespirationApp::setHypnogramBufferLength(int length)
{
    if (length == m_hypnogramBufferLength)
        return;
    m_hypnogramBufferLength = length;
    emit hypnogramBufferLengthChanged(length);
}

void AdultRespirationApp::setShowFullHypnogram(bool showFull)
{
    if (showFull == m_showFullHypnogram)
        return;
    m_showFullHypnogram = showFull;
    emit showFullHypnogramChanged(showFull);
}

QByteArray AdultRespirationApp::sleepAnalysisLimits(int hypnogramBufferLength)
{
    const int length
        = std::clamp(hypnogramBufferLength, minimumHypnogramBufferLength, maximumHypnogramBufferLength);
    return QStringLiteral("[Limits]\nEpochLength = %1;\nHypnogramBufferLength = %2;\n")
        .arg(epochSeconds)
        .arg(length)
        .toUtf8();
}

int AdultRespirationApp::storedHypnogramBufferLength(int fallback) const
{
    QSettings settings(device()->settingsFileName(), QSettings::IniFormat);
    // Read in 64 bits, so that a huge number is not cut to some other one.
    bool ok = false;
    const qlonglong stored
        = settings.value(settingsGroup() + QStringLiteral("/HypnogramBufferLength")).toLongLong(&ok);
    return int(std::clamp<qlonglong>(
        ok ? stored : fallback, minimumHypnogramBufferLength, maximumHypnogramBufferLength));
}

void AdultRespirationApp::initialize()
{
    PresenceApp::initialize();
    setLogPresenceSingleEnabled(false);
    setLogPresenceMovingListEnabled(false);
    {
        QSettings settings(device()->settingsFileName(), QSettings::IniFormat);
        const QString group = settingsGroup();
        setLogRespirationDetectionListEnabled(
            settings.value(group + QStringLiteral("/LogRespirationDetectionList"), true).toBool());
        setLogRespirationMovingListEnabled(
            settings.value(group + QStringLiteral("/LogRespirationMovingList"), true).toBool());
        setLogBreathingPattern(
            settings.value(group + QStringLiteral("/LogBreathingPattern"), logBreathingPattern()).toBool());
    }
    if (managerSleepAnalysisPlugin()) {
        setHypnogramBufferLength(storedHypnogramBufferLength(m_hypnogramBufferLength));
        connect(device(), &Device::playbackPositionUpdatedManually, this, &AdultRespirationApp::resetSal);
    }
}

void AdultRespirationApp::saveSettings()
{
    PresenceApp::saveSettings();
    {
        QSettings settings(device()->settingsFileName(), QSettings::IniFormat);
        settings.setValue(
            settingsGroup() + QStringLiteral("/HypnogramBufferLength"), m_hypnogramBufferLength);
        settings.sync();
    }
    SleepAnalysisInterface* plugin = managerSleepAnalysisPlugin();
    if (!plugin)
        return;
    const QByteArray limits = sleepAnalysisLimits(m_hypnogramBufferLength);
    if (plugin->initialize(limits.constData()) == 0)
        m_sleepAnalysis = plugin;
    else
        qWarning() << "Failed to initialize SAL!";
}

void AdultRespirationApp::loadSettings()
{
    PresenceApp::loadSettings();
    setHypnogramBufferLength(storedHypnogramBufferLength(m_hypnogramBufferLength));
}

void AdultRespirationApp::resetSal()
{
    if (m_sleepAnalysis)
        m_sleepAnalysis->reset();
}

void AdultRespirationApp::onAppData(uint contentId, QByteArray data)
{
    restartDeviceTimer();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    switch (contentId) {
    case Payloads::SleepId:
        onSleep(data, now);
        break;
    case Payloads::VitalSignsId:
        onVitalSigns(data, now);
        break;
    case Payloads::RespirationId:
        m_objectMovement = Payloads::respirationMovement(data);
        emit objectMovementChanged(m_objectMovement, now);
        break;
    case Payloads::MovingListId:
        if (const auto list = Payloads::movingList(data)) {
            setFrameCounter(list->frameCounter);
            setMovementSlowFast(list->slow, list->fast);
            emit movementSlowFastListChanged(list->slowList, list->fastList);
        }
        break;
    case Payloads::NormalizedMovingListId:
        if (const auto list = Payloads::normalizedMovingList(data)) {
            setFrameCounter(list->frameCounter);
            setNormalizedMovementSlowFast(list->slow, list->fast);
            emit normalizedMovementSlowFastListChanged(list->slowList, list->fastList);
        }
        break;
    case Payloads::DetectionListId:
        onDetectionList(data, now);
        break;
    default:
        break;
    }
}

void AdultRespirationApp::onSleep(const QByteArray& data, qint64 now)
{
    const Payloads::Sleep sleep = Payloads::sleep(data);
    setFrameCounter(sleep.frameCounter);
    if (assign(m_signalQuality, sleep.signalQuality))
        emit signalQualityChanged();
    applyState(sleep.state, sleep.rpm, true, now);
}

void AdultRespirationApp::onVitalSigns(const QByteArray& data, qint64 now)
{
    const Payloads::VitalSigns v = Payloads::vitalSigns(data);
    setFrameCounter(v.frameCounter);
    bool changed = false;
    const auto store = [&changed](float& member, float value) {
        // Exact comparison: any new value is shown (NaN always is).
        if (!(member == value)) {
            member = value;
            changed = true;
        }
    };
    store(m_heartrate, v.heartRate);
    store(m_heartDistance, v.heartDistance);
    store(m_heartrateConfidence, v.heartConfidence);
    if (changed)
        emit heartrateChanged(m_heartrate, m_heartDistance, m_heartrateConfidence, now);

    if (m_sleepAnalysis) {
        m_sleepAnalysis->addVitalSigns(v.frameCounter, v.state == HeartrateState ? 0 : v.state, v.rpm,
            v.distance, v.respirationConfidence, v.heartRate, v.heartDistance, v.heartConfidence,
            v.movementSlow, v.movementFast, v.movementStart, v.movementEnd);
        const QByteArray& stages = m_sleepAnalysis->hypnogram();
        QVector<int> hypnogram;
        hypnogram.reserve(stages.size());
        for (char stage : stages)
            hypnogram.append(int(quint8(stage)));
        if (hypnogram != m_hypnogram) {
            m_hypnogram = hypnogram;
            emit hypnogramChanged(m_hypnogram);
        }
        const quint8 stage = m_sleepAnalysis->sleepStage();
        if (stage != m_sleepStage) {
            m_sleepStage = stage;
            emit sleepStageChanged(m_sleepStage, now);
        }
    }
    applyState(v.state, v.rpm, false, now);
}

void AdultRespirationApp::applyState(quint32 s, float rpm, bool sleepPacket, qint64 now)
{
    if (sleepPacket && s == BreathingState && state() == HeartrateState && qobject_cast<HeartrateApp*>(this))
        s = HeartrateState;
    if (assign(m_state, s)) {
        emit stateChanged();
        emitValues(now);
    }
    if (state() == BreathingState || state() == HeartrateState)
        m_rpm = rpm;
    emit rpmChanged(m_rpm, now);
}

void AdultRespirationApp::emitValues(qint64 now)
{
    emit objectDistanceChanged(objectDistance(), now);
    emit objectMovementChanged(m_objectMovement, now);
    emit rpmChanged(m_rpm, now);
    emit rcsChanged(m_rcs, now);
    emit movementSlowFastChanged(movementSlow(), movementFast());
    emit heartrateChanged(m_heartrate, m_heartDistance, m_heartrateConfidence, now);
}

void AdultRespirationApp::onDetectionList(const QByteArray& data, qint64 now)
{
    const auto list = Payloads::detectionList(data);
    if (!list)
        return;
    const double newObjectDistance = list->objectDistance ? double(*list->objectDistance) : objectDistance();
    const float newBreathingDistance = list->breathingDistance.value_or(m_breathingDistance);
    setFrameCounter(list->frameCounter);
    const quint32 s = state();
    if (s == BreathingState || s == MovementState || s == MovementTrackingState || s == HeartrateState) {
        m_rcs = list->rcs;
        m_objectDistance = newObjectDistance;
    }
    emit rcsChanged(m_rcs, now);
    if (list->count != m_detectionCount) {
        m_detectionCount = list->count;
        emit detectionCountChanged();
    }
    // Equal within a relative 1e-5.
    const float a = newBreathingDistance;
    const float b = m_breathingDistance;
    if (!(std::fabs(a - b) * 100000.0f <= std::min(std::fabs(a), std::fabs(b)))) {
        m_breathingDistance = newBreathingDistance;
        emit breathingDistanceChanged();
    }
    emit objectDistanceChanged(objectDistance(), now);
}
