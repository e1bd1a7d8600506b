#include "SarvikDevice.hpp"

#include "device/ConfigureSteps.hpp"
#include "device/ConnectionFactory.hpp"
#include "device/DeviceSearch.hpp"
#include "device/LibraryQueues.hpp"
#include "device/LoggerIo.hpp"
#include "device/ModelProfiles.hpp"
#include "device/RecordingDirectoryLookup.hpp"
#include "firmware/IntelHexImage.hpp"

#include <linkwell/Bootloader.hpp>
#include <linkwell/DataPlayer.hpp>
#include <linkwell/Linkwell.hpp>

#include <QDebug>
#include <QFile>
#include <QMetaMethod>
#include <QThread>
#include <QtConcurrent>

#include <algorithm>
#include <cstring>
#include <exception>
#include <thread>

namespace {

constexpr quint32 crashDumpFileType = 0x04554D50;
constexpr quint32 noiseMapFileTypes[] = { 0x05F09BCA, 0x05F09BCB };
constexpr uint32_t goodPong = 0xAAEEAEEA;
constexpr uint32_t otherGoodPong = 0xFFEEFEEF;
const char* const appDataSubscription = "_qz_app_data_456432";

// Output ids of the Osprey family's switchable streams.
constexpr quint32 basebandIqOutput = 0x0C;
constexpr quint32 basebandApOutput = 0x0D;
constexpr quint32 pulseDopplerFloatOutput = 0x10;
constexpr quint32 pulseDopplerByteOutput = 0x11;
// The pulse-Doppler outputs are switched on with control 3, off with 0.
constexpr quint32 pulseDopplerOn = 3;

// A float-data packet: 0xA0 0x12, content id, info, count, then the floats.
constexpr size_t floatDataHead = 14;

// The firmware upgrade.
constexpr int flashPageSize = 512;
// Where the module's flash begins in the image's addresses.
constexpr quint32 flashStartOffset = 0x400000;
// Pages 1 to 127 hold the bootloader itself and are never written.
constexpr quint16 firstProtectedPage = 1;
constexpr quint16 lastProtectedPage = 127;
constexpr int bootloaderSearches = 5;

QString upgradeFailure(const char* reason)
{
    return QStringLiteral("Module upgrade failed!\n") + QLatin1String(reason);
}

QString upgradeStatus(const char* step)
{
    return QStringLiteral("-- Module upgrade --\n") + QLatin1String(step);
}

// Whether a search entry is this module waiting in its bootloader. The serial
// numbers are compared without regard to case: the search upper-cases the
// one the application reports, while the bootloader's text is taken as it
// comes.
bool isInBootloader(const SarvikDeviceInfo& entry, const QString& serialNumber)
{
    if (entry.connectionMode != SarvikDeviceInfo::BootloaderMode)
        return false;
    if (entry.deviceType == SarvikDeviceInfo::DaxDevice
        && entry.bootloaderModuleId.compare(serialNumber, Qt::CaseInsensitive) == 0)
        return true;
    const QStringList parts
        = entry.bootloaderTail.split(QStringLiteral("SerialNumber = \""), Qt::KeepEmptyParts);
    return parts.size() == 2
        && parts.at(1).split(QLatin1Char('"')).first().compare(serialNumber, Qt::CaseInsensitive) == 0;
}

// Page n of `count` pages numbered from 0: how far the writing has come, from
// 0 to 1. A single page is all of it.
double pageProgress(quint16 page, int count)
{
    if (count <= 1)
        return 1.0;
    return std::clamp(double(page) / double(count - 1), 0.0, 1.0);
}

bool acceptedPong(uint32_t pong)
{
    return pong == goodPong || pong == otherGoodPong;
}

uint32_t u32At(const Bytes& packet, size_t offset)
{
    return uint32_t(packet[offset]) | uint32_t(packet[offset + 1]) << 8 | uint32_t(packet[offset + 2]) << 16
        | uint32_t(packet[offset + 3]) << 24;
}

float f32At(const Bytes& packet, size_t offset)
{
    const uint32_t bits = u32At(packet, offset);
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void logException(const std::exception& e)
{
    qWarning().noquote() << "caught std::exception:" << e.what();
}

void logUnknownException()
{
    qWarning().noquote() << "caught unknown exception";
}

// Runs a library call for a slot that logs its failures: an exception is
// logged and counts as false.
template <typename Call> bool logFailures(Call&& call)
{
    try {
        return call();
    } catch (const std::exception& e) {
        logException(e);
    } catch (...) {
        logUnknownException();
    }
    return false;
}

const QMetaMethod& appDataSignal()
{
    static const QMetaMethod signal = QMetaMethod::fromSignal(&SarvikDevice::sigNewDataApp);
    return signal;
}

const QMetaMethod& floatDataSignal()
{
    static const QMetaMethod signal = QMetaMethod::fromSignal(&SarvikDevice::sigNewDataFloat);
    return signal;
}

} // namespace

SarvikDevice::SarvikDevice(SarvikDeviceInfo info, QObject* parent)
    : QObject(parent)
    , m_deviceInfo(std::move(info))
    , m_recordingDirectoryWatcher(this)
    , m_stopLookups(std::make_shared<std::atomic_bool>(false))
{
    connect(&m_recordingDirectoryWatcher, &QFutureWatcher<QString>::finished, this,
        &SarvikDevice::onRecordingDirectoryReady);
    registerSarvikDeviceConfiguration();
    registerLibraryMetaTypes();
    qRegisterMetaType<QList<qreal>>("QList<qreal>");
}

SarvikDevice::~SarvikDevice()
{
    stopRecordingDirectoryLookups();
    std::unique_ptr<Sarvik::Linkwell> connection;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        connection = std::move(m_linkwell);
    }
}

QString SarvikDevice::lastError() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_lastError;
}

bool SarvikDevice::isOpen() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_linkwell != nullptr;
}

void SarvikDevice::setDataPlayer(Sarvik::DataPlayer* player)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_dataPlayer = player;
}

void SarvikDevice::setDeviceInfo(const SarvikDeviceInfo& info)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_deviceInfo = info;
}

void SarvikDevice::setUpgradeWaits(const UpgradeWaits& waits)
{
    m_upgradeWaits = waits;
}

SarvikDeviceInfo SarvikDevice::deviceInfo() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_deviceInfo;
}

Sarvik::DataPlayer* SarvikDevice::dataPlayer() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_dataPlayer;
}

void SarvikDevice::setLastError(const QString& text)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_lastError = text;
}

template <typename Call> bool SarvikDevice::recordFailures(Call&& call)
{
    try {
        return call();
    } catch (const std::exception& e) {
        setLastError(QStringLiteral("caught std::exception:") + QString::fromLocal8Bit(e.what()));
    } catch (...) {
        setLastError(QStringLiteral("caught unknown exception"));
    }
    return false;
}

// ---- Open and close ---------------------------------------------------------

bool SarvikDevice::openModule(bool idleFirst)
{
    const SarvikDeviceInfo info = deviceInfo();
    if (info.deviceType == SarvikDeviceInfo::UnknownDevice
        && info.connectionMode != SarvikDeviceInfo::SafeMode)
        return false;
    return logFailures([&] {
        if (!m_linkwell && !createConnection(info))
            return false;
        attachHandlers(info.deviceType);
        return moduleAnswers(info.deviceType, idleFirst);
    });
}

bool SarvikDevice::createConnection(const SarvikDeviceInfo& info)
{
    std::unique_ptr<Sarvik::Linkwell> connection(createLinkwell(info, dataPlayer()));
    if (!connection) {
        qWarning().noquote() << "Failed to create linkwell";
        return false;
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_linkwell = std::move(connection);
    return true;
}

void SarvikDevice::attachHandlers(quint32 deviceType)
{
    Sarvik::Transport& transport = m_linkwell->get_transport();
    unsubscribeLibraryQueues(transport);
    const auto handler = [this](Bytes packet) { return onProtocolPacket(packet); };
    if (deviceType == SarvikDeviceInfo::PlaybackDevice || deviceType == SarvikDeviceInfo::DaxDevice)
        transport.subscribe(floatDataQueueName, Bytes { 0xA0 }, handler);
    if (deviceType != SarvikDeviceInfo::DaxDevice)
        transport.subscribe(appDataSubscription, Bytes { 0x50 }, handler);
}

bool SarvikDevice::moduleAnswers(quint32 deviceType, bool idleFirst)
{
    if (deviceType == SarvikDeviceInfo::PlaybackDevice)
        return true;
    uint32_t pong = 0;
    if (deviceType == SarvikDeviceInfo::DaxDevice)
        return m_linkwell->get_dax().ping(&pong) == 0 && acceptedPong(pong);
    Sarvik::Corvid& module = m_linkwell->get_corvid();
    // Only the older module must stop its processing before it answers reliably.
    if (idleFirst && module.set_sensor_mode_idle() != 0 && deviceType == SarvikDeviceInfo::CorvidDevice)
        return false;
    return module.ping(&pong) == 0 && acceptedPong(pong);
}

void SarvikDevice::close()
{
    if (!m_linkwell)
        return;
    stopRecordingDirectoryLookups();
    const quint32 deviceType = deviceInfo().deviceType;
    logFailures([&] {
        if (deviceType == SarvikDeviceInfo::DaxDevice)
            m_linkwell->get_dax().z7driver_set_fps(0.0f);
        // A playback connection drops commands: each would only wait out the
        // reply time-out. An unidentified module is left as it is.
        else if (deviceType != SarvikDeviceInfo::UnknownDevice
            && deviceType != SarvikDeviceInfo::PlaybackDevice)
            m_linkwell->get_corvid().set_sensor_mode_idle();
        return true;
    });
    std::unique_ptr<Sarvik::Linkwell> connection;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        connection = std::move(m_linkwell);
    }
    // Deleting it stops and joins the connection's threads, outside the lock.
    connection.reset();
}

// ---- Data packets (library dispatcher thread) -------------------------------

bool SarvikDevice::onProtocolPacket(const Bytes& packet)
{
    if (packet.size() < 5)
        return false;
    switch (packet[0]) {
    case 0x50:
        return emitAppData(packet);
    case 0xA0:
        return emitFloatData(packet);
    default:
        return false;
    }
}

bool SarvikDevice::emitAppData(const Bytes& packet)
{
    if (!isSignalConnected(appDataSignal()))
        return false;
    const auto* payload = reinterpret_cast<const char*>(packet.data()) + 5;
    emit sigNewDataApp(u32At(packet, 1), QByteArray(payload, int(packet.size() - 5)));
    return true;
}

bool SarvikDevice::emitFloatData(const Bytes& packet)
{
    if (!isSignalConnected(floatDataSignal()) || packet[1] != 0x12 || packet.size() < floatDataHead)
        return false;
    // The count comes from the module: it is bounded by the floats the
    // packet really carries, and a packet that claims values but carries
    // none shows nothing.
    const uint32_t count = u32At(packet, 10);
    const size_t present = (packet.size() - floatDataHead) / 4;
    const size_t taken = std::min<size_t>(count, present);
    if (taken == 0 && count != 0)
        return false;
    QList<qreal> values;
    values.reserve(int(taken));
    for (size_t i = 0; i < taken; ++i)
        values.append(f32At(packet, floatDataHead + 4 * i));
    emit sigNewDataFloat(u32At(packet, 2), u32At(packet, 6), values);
    return true;
}

// ---- Configure ----------------------------------------------------------------

bool SarvikDevice::configure(const SarvikDeviceConfiguration& config)
{
    setLastError(QString());
    ReportedZone zone;
    const bool success = runConfigure(config, zone);
    emit configureFinished(success, zone.reported, zone.start, zone.end);
    return success;
}

bool SarvikDevice::runConfigure(const SarvikDeviceConfiguration& config, ReportedZone& zone)
{
    if (!m_linkwell && !openModule(true)) {
        setLastError(QStringLiteral("failed to open module"));
        return false;
    }
    const SarvikDeviceInfo info = deviceInfo();
    if (info.deviceType == SarvikDeviceInfo::CorvidDevice && !resetModule()) {
        setLastError(QStringLiteral("failed to reset module"));
        return false;
    }
    if (config.debugRecording)
        startDebugRecording(config);
    m_basebandByConfig = (config.outputDataTypes & 0x3) != 0;
    m_pulseDopplerByConfig = (config.outputDataTypes & 0xC0) != 0;
    return recordFailures([&] { return configureModel(config, info, zone); });
}

bool SarvikDevice::configureModel(
    const SarvikDeviceConfiguration& config, const SarvikDeviceInfo& info, ReportedZone& zone)
{
    switch (info.deviceType) {
    case SarvikDeviceInfo::CorvidDevice:
        return configureCorvid(config);
    case SarvikDeviceInfo::OspreyDevice:
    case SarvikDeviceInfo::FalconDevice:
    case SarvikDeviceInfo::MerlinDevice:
    case SarvikDeviceInfo::GannetDevice:
        return configureOspreyFamily(config, info, zone);
    case SarvikDeviceInfo::PlaybackDevice:
        configurePlayback(info, zone);
        return true;
    case SarvikDeviceInfo::DaxDevice:
        return configureDax(config, zone);
    default:
        setLastError(QStringLiteral("internal error: device type not handled in configure"));
        return false;
    }
}

bool SarvikDevice::resetModule()
{
    if (!m_linkwell && !openModule(true))
        return false;
    return logFailures([&] {
        Sarvik::Corvid& module = m_linkwell->get_corvid();
        module.set_sensor_mode_idle();
        const int status = module.reset();
        // The library reopens the connection after the reset and subscribes
        // its default queues again.
        attachHandlers(SarvikDeviceInfo::CorvidDevice);
        if (status != 0)
            return false;
        QThread::sleep(1);
        uint32_t pong = 0;
        return module.ping(&pong) == 0 && pong == goodPong;
    });
}

void SarvikDevice::startDebugRecording(const SarvikDeviceConfiguration& config)
{
    stopRecording(config.debugDataTypes);
    Sarvik::RecordingOptions options;
    options.set_session_id("debug");
    options.set_file_split_size(config.debugSplitSize);
    startRecording(config.debugDataTypes, config.debugDirectory, options);
}

bool SarvikDevice::configureCorvid(const SarvikDeviceConfiguration& config)
{
    Sarvik::Corvid& module = m_linkwell->get_corvid();
    ConfigureSteps steps;
    steps.add(QStringLiteral("failed to set debug level"),
        [&] { return module.set_debug_level(config.moduleDebugLevel); });
    if (config.profileKind == SarvikDeviceConfiguration::SleepKind)
        steps.add(
            QStringLiteral("failed to load sleep profile"), [&] { return module.load_sleep_profile(); });
    else if (config.profileKind == SarvikDeviceConfiguration::RespirationKind)
        steps.add(QStringLiteral("failed to load respiration profile"),
            [&] { return module.load_respiration_profile(); });
    else if (config.profileKind <= SarvikDeviceConfiguration::HeartrateKind)
        steps.addUnchecked([] { qFatal("profile not supported for Corvid"); });
    steps.add(QStringLiteral("failed to enable/disable baseband output"),
        [&] { return setBasebandOutput(config.outputDataTypes) ? 0 : 1; });
    steps.addUnchecked([&] {
        module.set_detection_zone(config.zoneStart, config.zoneEnd);
        module.set_sensitivity(config.sensitivity);
    });
    steps.add(QStringLiteral("failed to set led control"),
        [&] { return module.set_led_control(config.ledMode, 0); });
    steps.add(QStringLiteral("failed to set sensor mode run"), [&] { return module.set_sensor_mode_run(); });
    QString failure;
    const bool success = steps.run(failure);
    setLastError(failure);
    return success;
}

bool SarvikDevice::configureOspreyFamily(
    const SarvikDeviceConfiguration& config, const SarvikDeviceInfo& info, ReportedZone& zone)
{
    Sarvik::Osprey& module = m_linkwell->get_osprey();
    const ProfileLoad profile = ospreyFamilyProfile(info.deviceType, config.profileKind);
    ConfigureSteps steps;
    steps.add(
        QStringLiteral("failed to set sensor mode stop"), [&] { return module.set_sensor_mode(0x13, 0); });
    steps.add(QStringLiteral("failed to set debug level"),
        [&] { return module.set_debug_level(config.moduleDebugLevel); });
    if (profile.action == ProfileLoad::NotOffered)
        steps.addUnchecked([&] { qFatal("%s", qPrintable(profile.text)); });
    else if (profile.action == ProfileLoad::Load)
        steps.add(profile.text, [&] { return module.load_profile(profile.profileId); });
    steps.add(QStringLiteral("failed to enable/disable baseband output"),
        [&] { return setBasebandOutput(config.outputDataTypes) ? 0 : 1; });
    steps.add(QStringLiteral("failed to enable/disable pulse doppler output"),
        [&] { return setPulseDopplerOutput(config.outputDataTypes) ? 0 : 1; });
    for (const ModuleOutput& output : ospreyFamilyOutputs(info))
        steps.add(
            output.failure, [&module, id = output.contentId] { return module.set_output_control(id, 1); });
    steps.add(QStringLiteral("failed to set noisemap control: %1").arg(config.noiseMapControl),
        [&] { return module.set_noisemap_control(config.noiseMapControl); });
    steps.add(QStringLiteral("failed to set detection zone"),
        [&] { return module.set_detection_zone(config.zoneStart, config.zoneEnd); });
    steps.add(QStringLiteral("failed to get detection zone"), [&] {
        float start = 0.0f;
        float end = 0.0f;
        const int status = module.get_detection_zone(&start, &end);
        if (status == 0)
            zone = { true, start, end };
        return status;
    });
    steps.add(QStringLiteral("failed to set sensitivity"),
        [&] { return module.set_sensitivity(config.sensitivity); });
    steps.add(QStringLiteral("failed to set led control"),
        [&] { return module.set_led_control(config.ledMode, 0); });
    steps.add(QStringLiteral("failed to set I/O pin control"),
        [&] { return module.set_iopin_control(0, 0, config.ioPinFeature); });
    if (ospreyFamilySetsFrequencyBand(info.deviceType) && info.txFrequencyKnown)
        steps.add(QStringLiteral("failed to set frequency band"),
            [&] { return module.set_tx_center_frequency(config.frequencyBand); });
    steps.add(QStringLiteral("failed to set sensor mode run"), [&] { return module.set_sensor_mode(1, 0); });
    QString failure;
    const bool success = steps.run(failure);
    setLastError(failure);
    return success;
}

bool SarvikDevice::configureDax(const SarvikDeviceConfiguration& config, ReportedZone& zone)
{
    Sarvik::Dax& module = m_linkwell->get_dax();
    ConfigureSteps steps;
    steps.addNamed(QStringLiteral("downconversion"),
        [&] { return module.z7driver_set_downconversion(config.downconversion); });
    steps.addNamed(QStringLiteral("frequency band"),
        [&] { return module.z7driver_set_tx_center_frequency(config.frequencyBand); });
    steps.addNamed(QStringLiteral("dac_min"), [&] { return module.z7driver_set_dac_min(949); });
    steps.addNamed(QStringLiteral("dac_max"), [&] { return module.z7driver_set_dac_max(1100); });
    steps.addNamed(QStringLiteral("iterations"), [&] { return module.z7driver_set_iterations(16); });
    steps.addNamed(
        QStringLiteral("pulses per step"), [&] { return module.z7driver_set_pulses_per_step(300); });
    steps.addNamed(QStringLiteral("detection zone"),
        [&] { return module.z7driver_set_frame_area(config.zoneStart, config.zoneEnd); });
    steps.add(QStringLiteral("failed to get detection zone"), [&] {
        Sarvik::FrameArea area {};
        const int status = module.z7driver_get_frame_area(&area);
        if (status == 0)
            zone = { true, area.start, area.end };
        return status;
    });
    steps.addNamed(QStringLiteral("fps"), [&] { return module.z7driver_set_fps(17.0f); });
    QString failure;
    const bool success = steps.run(failure);
    setLastError(failure);
    return success;
}

void SarvikDevice::configurePlayback(const SarvikDeviceInfo& info, ReportedZone& zone)
{
    const auto rangeVector = info.metadata.constFind(QStringLiteral("RangeVec"));
    if (rangeVector == info.metadata.constEnd()) {
        zone = { true, float(info.zoneMin), float(info.zoneMax) };
    } else {
        const QVariantList range = rangeVector->toList();
        zone = { true, range.value(0).toFloat(), range.value(1).toFloat() };
    }
    // Playback starts over, for the application that has just been attached.
    if (Sarvik::DataPlayer* player = dataPlayer()) {
        player->stop();
        player->play();
    }
}

// ---- Output switches ---------------------------------------------------------

int SarvikDevice::switchOutput(quint32 contentId, quint32 control)
{
    return m_linkwell->get_osprey().set_output_control(contentId, control);
}

bool SarvikDevice::setBasebandOutput(Sarvik::DataTypes types)
{
    if (!m_linkwell)
        return false;
    const quint32 deviceType = deviceInfo().deviceType;
    // A recording plays back what it holds; there is nothing to switch.
    if (deviceType == SarvikDeviceInfo::PlaybackDevice)
        return true;
    const bool corvid = deviceType == SarvikDeviceInfo::CorvidDevice;
    Sarvik::Corvid& older = m_linkwell->get_corvid();
    int status = 0;
    quint32 output = 0;
    if (types & Sarvik::BasebandIqDataType) {
        status = corvid ? older.enable_baseband_iq() : switchOutput(basebandIqOutput, 1);
        output = 2;
    } else if ((types & Sarvik::BasebandApDataType) || m_basebandRequested) {
        status = corvid ? older.enable_baseband_ap() : switchOutput(basebandApOutput, 1);
        output = 1;
    } else if (m_basebandOutput & 0x2) {
        status = corvid ? older.disable_baseband_iq() : switchOutput(basebandIqOutput, 0);
    } else if (m_basebandOutput & 0x1) {
        status = corvid ? older.disable_baseband_ap() : switchOutput(basebandApOutput, 0);
    }
    if (status != 0)
        return false;
    m_basebandOutput = output;
    return true;
}

bool SarvikDevice::setPulseDopplerOutput(Sarvik::DataTypes types)
{
    if (!m_linkwell)
        return false;
    const quint32 deviceType = deviceInfo().deviceType;
    if (deviceType == SarvikDeviceInfo::PlaybackDevice)
        return true;
    if (deviceType == SarvikDeviceInfo::UnknownDevice || deviceType == SarvikDeviceInfo::CorvidDevice
        || deviceType == SarvikDeviceInfo::DaxDevice)
        return false;
    int status = 0;
    quint32 output = 0;
    if (types & Sarvik::PulseDopplerFloatDataType) {
        status = switchOutput(pulseDopplerFloatOutput, pulseDopplerOn);
        output = 0x40;
    } else if ((types & Sarvik::PulseDopplerByteDataType) || m_pulseDopplerRequested) {
        status = switchOutput(pulseDopplerByteOutput, pulseDopplerOn);
        output = 0x80;
    } else if (m_pulseDopplerOutput & 0x80) {
        status = switchOutput(pulseDopplerByteOutput, 0);
    } else if (m_pulseDopplerOutput & 0x40) {
        status = switchOutput(pulseDopplerFloatOutput, 0);
    }
    if (status != 0)
        return false;
    m_pulseDopplerOutput = output;
    return true;
}

void SarvikDevice::onBasebandEnabledChanged(bool enabled)
{
    m_basebandRequested = enabled;
    if (m_basebandByConfig)
        return;
    if (!logFailures(
            [&] { return setBasebandOutput(enabled ? Sarvik::DataTypes(Sarvik::BasebandApDataType) : 0); }))
        qWarning().noquote() << "WARNING: failed to enable/disable baseband output";
}

void SarvikDevice::onPulseDopplerEnabledChanged(bool enabled)
{
    m_pulseDopplerRequested = enabled;
    if (m_pulseDopplerByConfig)
        return;
    if (!logFailures([&] {
            return setPulseDopplerOutput(enabled ? Sarvik::DataTypes(Sarvik::PulseDopplerByteDataType) : 0);
        }))
        qWarning().noquote() << "WARNING: failed to enable/disable pulse doppler output";
}

// ---- Recording --------------------------------------------------------------

void SarvikDevice::setBasenameForDataType(Sarvik::DataType type, const QString& name)
{
    if (!m_linkwell)
        return;
    logFailures([&] {
        m_linkwell->get_data_recorder().set_basename_for_data_type(type, name.toUtf8().toStdString());
        return true;
    });
}

void SarvikDevice::setupRecordingErrorCallback()
{
    // Also called from the owner's thread: the lock keeps close from deleting
    // the recorder under the call.
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_linkwell)
        return;
    Sarvik::DataRecorder* recorder = &m_linkwell->get_data_recorder();
    // The recorder may report from more than one thread; the flag lets one
    // report through however close together they come.
    auto reported = std::make_shared<std::atomic_bool>(false);
    logFailures([&] {
        recorder->set_error_callback([this, recorder, reported](const std::string& text) {
            if (reported->exchange(true))
                return;
            recorder->set_error_callback({});
            emit recordingError(QString::fromUtf8(text.data(), int(text.size())));
        });
        return true;
    });
}

void SarvikDevice::clearRecordingErrorCallback()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_linkwell)
        return;
    logFailures([&] {
        m_linkwell->get_data_recorder().set_error_callback({});
        return true;
    });
}

// A start that fails is reported as recordingError as well: the recorder's
// error callback never hears of it, and the application would show a
// recording that does not run.
bool SarvikDevice::startRecording(
    Sarvik::DataTypes dataTypes, const QString& logPath, const Sarvik::RecordingOptions& options)
{
    if (!m_linkwell) {
        qWarning().noquote() << "WARNING: cannot start recording with null ptr linkwell";
        emit recordingError(QStringLiteral("cannot start recording: no connection to the module"));
        return false;
    }
    QString failure;
    try {
        Sarvik::DataRecorder& recorder = m_linkwell->get_data_recorder();
        if (deviceInfo().deviceType == SarvikDeviceInfo::DaxDevice)
            startRecordingDirectoryLookup(recorder, options.get_session_id());
        if (recorder.start_recording(dataTypes, logPath.toUtf8().toStdString(), options) == 0)
            return true;
        failure = QStringLiteral("the recorder refused data types 0x%1 in \"%2\"")
                      .arg(quint32(dataTypes), 0, 16)
                      .arg(logPath);
    } catch (const std::exception& e) {
        logException(e);
        failure = QString::fromUtf8(e.what());
    } catch (...) {
        logUnknownException();
        failure = QStringLiteral("unknown exception");
    }
    emit recordingError(QStringLiteral("cannot start recording: ") + failure);
    return false;
}

void SarvikDevice::stopRecording(Sarvik::DataTypes dataTypes)
{
    if (!m_linkwell)
        return;
    logFailures([&] {
        m_linkwell->get_data_recorder().stop_recording(dataTypes);
        return true;
    });
}

void SarvikDevice::startRecordingDirectoryLookup(Sarvik::DataRecorder& recorder, const std::string& sessionId)
{
    // Finished lookups need no waiting for any more.
    m_recordingDirectoryLookups.erase(
        std::remove_if(m_recordingDirectoryLookups.begin(), m_recordingDirectoryLookups.end(),
            [](const QFuture<QString>& lookup) { return lookup.isFinished(); }),
        m_recordingDirectoryLookups.end());
    const QFuture<QString> lookup = QtConcurrent::run([&recorder, sessionId, stop = m_stopLookups] {
        return findRecordingDirectory(recorder, sessionId, *stop);
    });
    m_recordingDirectoryLookups.append(lookup);
    m_recordingDirectoryWatcher.setFuture(lookup);
}

void SarvikDevice::stopRecordingDirectoryLookups()
{
    m_stopLookups->store(true);
    for (QFuture<QString>& lookup : m_recordingDirectoryLookups)
        lookup.waitForFinished();
    m_recordingDirectoryLookups.clear();
    m_stopLookups = std::make_shared<std::atomic_bool>(false);
}

void SarvikDevice::onRecordingDirectoryReady()
{
    emit recordingDirectoryReady(m_recordingDirectoryWatcher.result());
}

// ---- Noise map and crash dump -------------------------------------------------

bool SarvikDevice::loadNoiseMap()
{
    return m_linkwell && logFailures([&] { return m_linkwell->get_osprey().load_noisemap() == 0; });
}

bool SarvikDevice::storeNoiseMap()
{
    return m_linkwell && logFailures([&] { return m_linkwell->get_osprey().store_noisemap() == 0; });
}

bool SarvikDevice::deleteNoiseMap()
{
    return m_linkwell && logFailures([&] {
        for (const quint32 fileType : noiseMapFileTypes) {
            if (m_linkwell->get_dax().delete_file(fileType, 0) != 0)
                return false;
        }
        return true;
    });
}

bool SarvikDevice::storeCrashDumpToDisk(const QString& fileName)
{
    return recordFailures([&] { return fetchCrashDump(fileName); });
}

bool SarvikDevice::fetchCrashDump(const QString& fileName)
{
    const auto fail = [this](const QString& text) {
        setLastError(text);
        return false;
    };
    if (!m_linkwell && !openModule(true))
        return fail(QStringLiteral("failed to open sensor"));
    Bytes dump;
    if (m_linkwell->get_dax().get_file(crashDumpFileType, 0, &dump) != 0)
        return fail(QStringLiteral("failed to get crash dump from sensor"));
    if (dump.empty())
        return fail(QStringLiteral("empty crash dump"));
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(QStringLiteral("failed to open file:") + fileName);
    const auto size = qint64(dump.size());
    if (file.write(reinterpret_cast<const char*>(dump.data()), size) != size || !file.flush()) {
        // A partial dump is no dump; the module still holds the whole one.
        file.remove();
        return fail(QStringLiteral("failed to write all bytes to file:") + fileName);
    }
    return true;
}

bool SarvikDevice::deleteCrashDumpOnModule()
{
    return recordFailures([&] {
        if (!m_linkwell && !openModule(true)) {
            setLastError(QStringLiteral("failed to open sensor"));
            return false;
        }
        if (m_linkwell->get_dax().delete_file(crashDumpFileType, 0) != 0) {
            setLastError(QStringLiteral("failed to execute delete file command"));
            return false;
        }
        return true;
    });
}

// ---- Firmware upgrade ---------------------------------------------------------

bool SarvikDevice::upgradeFirmware(const QString& hexFileName, const QString& versionInfo)
{
    setLastError(QString());
    emit firmwareUpgradeStatus(upgradeStatus("Enter bootloader mode"));
    bool success = false;
    try {
        success = runUpgrade(hexFileName, versionInfo);
    } catch (const std::exception& e) {
        setLastError(upgradeFailure("Caught std::exception: ") + QString::fromLocal8Bit(e.what()));
    } catch (...) {
        setLastError(upgradeFailure("Caught unknown exception"));
    }
    // The connection was left to the bootloader, or is of no use after a
    // failure: the owner finds the module anew.
    close();
    success = success && lastError().isEmpty();
    emit upgradeFirmwareFinished(success);
    return success;
}

bool SarvikDevice::runUpgrade(const QString& hexFileName, const QString& versionInfo)
{
    const auto fail = [this](const char* reason) {
        setLastError(upgradeFailure(reason));
        return false;
    };
    // The image is checked before the module is touched: a module sent into
    // its bootloader for an image that cannot be written would be stranded
    // there.
    IntelHexImage image(hexFileName);
    const bool loaded = image.load();
    const bool placed = loaded && image.adjustStartAddress(flashStartOffset);
    const QList<MemorySegment> pages
        = placed ? IntelHexImage::buildPages(flashPageSize, image.memory()) : QList<MemorySegment>();
    if (pages.isEmpty())
        return fail("Unable to load firmware");

    const SarvikDeviceInfo info = deviceInfo();
    const bool alreadyInBootloader = info.connectionMode == SarvikDeviceInfo::BootloaderMode;
    if (!alreadyInBootloader && !enterBootloader(info))
        return false;
    close();
    // A Corvid keeps its port; a module found in its bootloader is on the
    // port it was found on.
    if (!alreadyInBootloader && info.deviceType != SarvikDeviceInfo::CorvidDevice && !findInBootloader(info))
        return fail("Unable to find device in bootloader mode");

    emit firmwareUpgradeStatus(upgradeStatus("Loading firmware"));
    emit firmwareUpgradeStatus(upgradeStatus("Programming new firmware\n") + versionInfo);
    return programPages(pages, deviceInfo().portName);
}

bool SarvikDevice::enterBootloader(const SarvikDeviceInfo& info)
{
    if (!m_linkwell && !openModule(true)) {
        setLastError(upgradeFailure("Unable to open device"));
        return false;
    }
    if (info.deviceType != SarvikDeviceInfo::CorvidDevice)
        std::this_thread::sleep_for(m_upgradeWaits.beforeBootloader);
    if (m_linkwell->get_corvid().start_bootloader() != 0) {
        setLastError(upgradeFailure("Unable to enter upgrade mode"));
        return false;
    }
    return true;
}

bool SarvikDevice::findInBootloader(const SarvikDeviceInfo& info)
{
    for (int search = 1; search <= bootloaderSearches; ++search) {
        for (const SarvikDeviceInfo& entry : searchDevices()) {
            if (isInBootloader(entry, info.serialNumber)) {
                const std::lock_guard<std::mutex> lock(m_mutex);
                m_deviceInfo.portName = entry.portName;
                return true;
            }
        }
        if (search < bootloaderSearches)
            std::this_thread::sleep_for(m_upgradeWaits.betweenSearches);
    }
    return false;
}

bool SarvikDevice::programPages(const QList<MemorySegment>& pages, const QString& portName)
{
    // Deleting the client closes the port, also when a call throws.
    Sarvik::Bootloader bootloader(portName.toUtf8().toStdString(), unsigned(libraryLogLevel()), new LoggerIo);
    qDebug().noquote() << "Number of pages:" << pages.size();
    for (const MemorySegment& page : pages) {
        const auto number = quint16(page.address());
        if (number >= firstProtectedPage && number <= lastProtectedPage)
            continue;
        qDebug().noquote() << "write page (from QZ) address:" << number << ", size:" << page.data().size();
        const Bytes bytes(page.data().begin(), page.data().end());
        if (bootloader.write_page(number, bytes) != 0) {
            setLastError(upgradeFailure("Unable to program new firmware"));
            return false;
        }
        emit firmwareUpgradeProgress(pageProgress(number, pages.size()));
    }
    if (bootloader.start_application(m_upgradeWaits.startApplicationSeconds) != 0) {
        setLastError(upgradeFailure("Unable to start application"));
        return false;
    }
    emit firmwareUpgradeProgress(1.0);
    emit firmwareUpgradeStatus(QStringLiteral("Module upgrade completed successfully!"));
    return true;
}
