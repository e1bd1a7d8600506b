#include "DeviceApp.hpp"

#include "apps/SleepAnalysisInterface.hpp"
#include "core/ApplicationProperties.hpp"
#include "device/Device.hpp"
#include "device/DeviceManager.hpp"

#include <QDateTime>
#include <QDebug>
#include <QEvent>
#include <QLocale>
#include <QPointer>

#include <limits>

namespace {

constexpr qint64 bytesPerKiloByte = 1000;
constexpr qint64 bytesPerMegaByte = 1000000;
// The recorder takes no smaller byte split.
constexpr qint64 smallestByteSplit = 10000;
const char* const dashedLine = "#-------------------------------------";

// The sleep-analysis plug-in of the device manager that owns the Device, or
// null (no manager, or none loaded).
SleepAnalysisInterface* sleepAnalysisPluginOf(QObject* parent)
{
    const DeviceManager* manager = qobject_cast<DeviceManager*>(parent);
    return manager ? manager->sleepAnalysisPlugin() : nullptr;
}

} // namespace

const char* const DeviceApp::softwareVersion = "2.7.3";
const char* const DeviceApp::intentionalResetError = "failed to set sensor mode run";

DeviceApp::DeviceApp()
    : m_device(nullptr)
{
    qFatal("do not use this constructor, it purely exists due to QML requirements");
}

DeviceApp::DeviceApp(Device* parent)
    : QObject(parent)
    , m_device(parent)
{
    // Signals carry it, also to QML and across queued connections.
    qRegisterMetaType<InitializationResult>("DeviceApp::InitializationResult");
    m_frequencyBand
        = parent->moduleInfo().txFrequencyBand == HighFrequencyBand ? HighFrequencyBand : LowFrequencyBand;
    connect(parent, &Device::debug, this, &DeviceApp::debug);
    connect(parent, &Device::sigNewBasebandFrame, this, &DeviceApp::onSigNewBasebandFrame);
    connect(parent, &Device::recordingError, this, &DeviceApp::onRecordingError);
}

DeviceApp::~DeviceApp() = default;

// ---- The base's operations ------------------------------------------------------

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

double DeviceApp::detectionZoneMin() const
{
    return 0.0;
}

double DeviceApp::detectionZoneMax() const
{
    return 0.0;
}

double DeviceApp::detectionZoneMinLength() const
{
    return 0.0;
}

double DeviceApp::detectionZoneMaxLength() const
{
    return 0.0;
}

double DeviceApp::detectionZoneIncrement() const
{
    return 0.0;
}

QString DeviceApp::swInfo() const
{
    QString text = QStringLiteral("About:\n");
    text += QStringLiteral("Device: ") + m_device->deviceName() + QStringLiteral(", ")
        + m_device->deviceInfo() + QStringLiteral("\n");
    text += QStringLiteral("FW Version: ") + m_device->deviceFWVersion() + QStringLiteral("\n");
    text += QStringLiteral("SW Version: ") + QLatin1String(softwareVersion) + QStringLiteral("\n");
    if (SleepAnalysisInterface* plugin = managerSleepAnalysisPlugin())
        text += QStringLiteral("SAL Version: ") + plugin->version() + QStringLiteral("\n");
    return text;
}

SleepAnalysisInterface* DeviceApp::managerSleepAnalysisPlugin() const
{
    return sleepAnalysisPluginOf(m_device->parent());
}

DeviceApp::InitializationResult DeviceApp::execute(bool)
{
    return InitializationSucceeded;
}

void DeviceApp::saveSettings() { }

void DeviceApp::loadSettings() { }

// ---- Properties -----------------------------------------------------------------

void DeviceApp::setDetectionZoneStart(double start)
{
    if (assign(m_detectionZoneStart, start))
        emit detectionZoneStartChanged(start);
}

void DeviceApp::setDetectionZoneEnd(double end)
{
    if (assign(m_detectionZoneEnd, end))
        emit detectionZoneEndChanged(end);
}

void DeviceApp::setSensitivity(uint sensitivity)
{
    if (assign(m_sensitivity, quint32(sensitivity)))
        emit sensitivityChanged(sensitivity);
}

void DeviceApp::setLedControl(uint value)
{
    if (assign(m_ledControl, quint32(value)))
        emit ledControlChanged(value);
}

void DeviceApp::setFrequencyBand(FrequencyBand band)
{
    if (assign(m_frequencyBand, quint8(band)))
        emit frequencyBandChanged();
}

void DeviceApp::setLogDescription(const QString& description)
{
    if (assign(m_logDescription, description))
        emit logDescriptionChanged(description);
}

QString DeviceApp::logPath() const
{
    return m_logPath.isEmpty() ? ApplicationProperties::defaultLogPath() : m_logPath;
}

void DeviceApp::setLogPath(const QString& path)
{
    if (assign(m_logPath, path))
        emit logPathChanged(path);
}

void DeviceApp::setLogSplitSize(uint size)
{
    if (assign(m_logSplitSize, quint32(size)))
        emit logSplitSizeChanged(size);
}

void DeviceApp::setLogSplitUnit(int unit)
{
    if (unit == m_logSplitUnit)
        return;
    if (unit < Minutes || unit > MegaByte) {
        qWarning() << Q_FUNC_INFO << "WARNING: Invalid log split unit:" << unit;
        return;
    }
    m_logSplitUnit = unit;
    emit logSplitUnitChanged();
}

void DeviceApp::setExtendedBreathingTelegramEnabled(bool enabled)
{
    if (assign(m_extendedBreathingTelegramEnabled, enabled))
        emit extendedBreathingTelegramEnabledChanged();
}

void DeviceApp::setFrameCounter(quint32 frameCounter)
{
    if (assign(m_frameCounter, frameCounter))
        emit frameCounterChanged();
}

void DeviceApp::setBasebandOutputEnabled(bool enabled)
{
    if (enabled == m_basebandOutputEnabled)
        return;
    m_basebandOutputEnabled = enabled;
    if (enabled)
        setBasebandAmplitudePhaseOutputEnabled(false);
    emit basebandOutputEnabledChanged();
}

bool DeviceApp::basebandOutputEnabled() const
{
    return m_basebandOutputEnabled;
}

void DeviceApp::setBasebandAmplitudePhaseOutputEnabled(bool enabled)
{
    if (enabled == m_basebandAmplitudePhaseOutputEnabled)
        return;
    m_basebandAmplitudePhaseOutputEnabled = enabled;
    if (enabled)
        setBasebandOutputEnabled(false);
    emit basebandAmplitudePhaseOutputEnabledChanged();
}

bool DeviceApp::basebandAmplitudePhaseOutputEnabled() const
{
    return m_basebandAmplitudePhaseOutputEnabled;
}

void DeviceApp::setDeviceTimerInterval(int milliseconds)
{
    if (m_deviceTimer)
        m_deviceTimer->setInterval(milliseconds);
}

void DeviceApp::setLogUrl(QUrl url)
{
    setLogPath(url.toLocalFile());
}

QString DeviceApp::defaultLogPath()
{
    return ApplicationProperties::defaultLogPath();
}

bool DeviceApp::logPathContainsNonAscii()
{
    for (const QChar c : qAsConst(m_logPath))
        if (c.unicode() > 127)
            return true;
    return false;
}

// ---- Split size -----------------------------------------------------------------

Sarvik::PreferredSplitSize DeviceApp::preferredLogSize() const
{
    Sarvik::PreferredSplitSize size;
    const qint64 value = m_logSplitSize;
    switch (m_logSplitUnit) {
    case Minutes:
        size.set_duration(int(qMin<qint64>(value * 60, std::numeric_limits<int>::max())));
        break;
    case KiloByte:
        size.set_byte_count(value * bytesPerKiloByte);
        break;
    case MegaByte:
        size.set_byte_count(value * bytesPerMegaByte);
        break;
    default:
        qDebug() << Q_FUNC_INFO;
        qFatal("internal error; case not handled in switch");
    }
    return size;
}

// ---- Recording ------------------------------------------------------------------

void DeviceApp::recordLog(bool enabled)
{
    if (enabled == m_recordingEnabled)
        return;
    if (enabled) {
        // The folder the user sees: the default one while none was chosen.
        m_recordingPath = logPath();
        m_device->setupRecordingErrorCallback();
    } else {
        m_recordingPath.clear();
    }
    m_recordingEnabled = enabled;
    emit recordingEnabledChanged();
}

void DeviceApp::onRecordingError(QString error)
{
    emit recordingError(error);
    // What failed is no longer recorded: the recording is over, whatever
    // its other data types do.
    if (m_recordingEnabled)
        recordLog(false);
}

Sarvik::RecordingOptions DeviceApp::recordingOptions() const
{
    Sarvik::RecordingOptions options;
    Sarvik::PreferredSplitSize size = preferredLogSize();
    if (size.get_type() == Sarvik::PreferredSplitSize::ByteCountSplit
        && size.get_byte_count() < smallestByteSplit)
        size.set_byte_count(smallestByteSplit);
    options.set_file_split_size(size);
    return options;
}

QStringList DeviceApp::textLogHeaderLines(const QStringList& extraLines) const
{
    QStringList lines {
        QStringLiteral("# Log header"),
        QLatin1String(dashedLine),
        QStringLiteral("# Application: ") + appName(),
        QStringLiteral("# Log description: ") + m_logDescription,
        QStringLiteral("# Device: ") + m_device->deviceName() + QStringLiteral(", ") + m_device->deviceInfo(),
        QStringLiteral("# FW Version: ") + m_device->deviceFWVersion(),
        QStringLiteral("# SW Version: ") + QLatin1String(softwareVersion),
        QStringLiteral("# Time: ")
            + QLocale::system().toString(QDateTime::currentDateTime(), QLocale::ShortFormat),
        QStringLiteral("#"),
        QStringLiteral("# Module settings"),
        QLatin1String(dashedLine),
        QStringLiteral("# Detection zone: ") + QString::number(m_detectionZoneStart, 'g', 6)
            + QStringLiteral(" to ") + QString::number(m_detectionZoneEnd, 'g', 6),
        QStringLiteral("# Sensitivity: ") + QString::number(m_sensitivity),
    };
    lines += extraLines;
    lines += QLatin1String(dashedLine);
    return lines;
}

QByteArray DeviceApp::textLogHeader(const QStringList& extraLines) const
{
    QByteArray header;
    for (const QString& line : textLogHeaderLines(extraLines)) {
        header += line.toLatin1();
        header += '\n';
    }
    return header;
}

Bytes DeviceApp::textLogHeaderBytes(const QByteArray& header)
{
    return Bytes(header.constBegin(), header.constEnd());
}

// ---- Configure ------------------------------------------------------------------

DeviceApp::ConfigureOutcome DeviceApp::configureDevice(const SarvikDeviceConfiguration& config)
{
    if (m_configuring) {
        qWarning().noquote() << "WARNING:" << appName() << "is configuring the module already";
        return ConfigureOutcome::Refused;
    }
    const QPointer<DeviceApp> alive(this);
    m_configuring = true;
    const bool ok = m_device->configure(config);
    if (!alive)
        return ConfigureOutcome::Gone;
    m_configuring = false;
    if (m_deleteAfterConfigure) {
        // Posted from the caller's level: it runs once the caller returned.
        m_deleteAfterConfigure = false;
        deleteLater();
    }
    return ok ? ConfigureOutcome::Succeeded : ConfigureOutcome::Failed;
}

bool DeviceApp::event(QEvent* event)
{
    // A deletion asked for from an event handled while configure waits
    // would run inside that wait, under the execute waiting in it.
    if (event->type() == QEvent::DeferredDelete && m_configuring) {
        m_deleteAfterConfigure = true;
        return true;
    }
    return QObject::event(event);
}

DeviceApp::InitializationResult DeviceApp::resultOf(bool ok, const QString& errorString)
{
    if (ok)
        return InitializationSucceeded;
    return errorString == QLatin1String(intentionalResetError) ? InitializationIntentionalReset
                                                               : InitializationFailed;
}

void DeviceApp::reportExecuted(bool ok)
{
    debug(ok ? QStringLiteral("%1 app executed successfully.").arg(appName())
             : QStringLiteral("ERROR: %1 app execute failed!").arg(appName()));
}

quint8 DeviceApp::moduleDebugLevel()
{
    return ApplicationProperties::logLevel() > 0 ? 9 : 5;
}

void DeviceApp::prepareDebugRecording(SarvikDeviceConfiguration& config) const
{
    config.debugRecording = false;
    config.debugDataTypes = 0;
    config.debugSplitSize = Sarvik::PreferredSplitSize();
    config.debugDirectory.clear();
    if (ApplicationProperties::logLevel() <= 0)
        return;
    const QString directory = logPath();
    const Sarvik::DataTypes dataTypes = Device::debugRecordingDataTypes();
    if (directory.isEmpty()) {
        qWarning().noquote() << "WARNING: invalid recording options: empty directory";
        return;
    }
    if (dataTypes == 0) {
        qWarning().noquote() << "WARNING: invalid recording options: invalid data type";
        return;
    }
    config.debugDirectory = directory;
    config.debugDataTypes = dataTypes;
    config.debugSplitSize = preferredLogSize();
    config.debugRecording = true;
}

void DeviceApp::restartDeviceTimer()
{
    if (m_deviceTimer && m_deviceTimer->isActive())
        m_deviceTimer->start();
}

// ---- Slots ----------------------------------------------------------------------

void DeviceApp::debug(QString strLog)
{
    qDebug().noquote() << strLog;
}

void DeviceApp::onSigNewBasebandFrame(uint, uint frameCounter, double, double, QList<qreal>, QList<qreal>)
{
    setFrameCounter(frameCounter);
}
