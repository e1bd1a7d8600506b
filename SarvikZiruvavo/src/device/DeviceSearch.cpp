#include "DeviceSearch.hpp"

#include "BootloaderInfo.hpp"
#include "ConnectionFactory.hpp"
#include "LoggerIo.hpp"
#include "PortLister.hpp"
#include "core/ApplicationProperties.hpp"
#include "firmware/FirmwareImage.hpp"

#include <linkwell/Bootloader.hpp>
#include <linkwell/Linkwell.hpp>

#include <QDebug>
#include <QVersionNumber>

#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace {

const char fillDeviceInfoName[] = "void fillDeviceInfo(Sarvik::Linkwell&, SarvikDeviceInfo*)";

constexpr int attemptsPerPort = 3;
constexpr quint32 serialBaudRate = 115200;
constexpr quint32 crashDumpFileType = 0x04554D50;

// What a module answers to the ping.
constexpr quint32 normalModePong = 0xAAEEAEEA;
constexpr quint32 safeModePong = 0xFFEEFEEF;
constexpr quint32 notListedPong = 0xAEEAEEAA;

// System-information codes of the embedded platform.
constexpr quint8 embeddedFirmwareVersion = 3;
constexpr quint8 embeddedCoreId = 8;
constexpr quint8 embeddedBootloaderName = 9;

// Supported-application and feature bits.
constexpr quint32 respirationApp = 0x2;
constexpr quint32 sleepApp = 0x8;
constexpr quint32 presenceApp = 0x10;
constexpr quint32 adultAndBabyRespirationApps = 0x60;
constexpr quint32 daxApp = 0x100;
constexpr quint32 lowMemoryApps = 0xE00;
constexpr quint32 storedNoiseMap = 0x1000;
constexpr quint32 defaultNoiseMap = 0x2000;

constexpr quint32 lowBand = 3;

struct UsbIds {
    quint16 vendor;
    quint16 product;
};
const UsbIds moduleUsbIds[]
    = { { 0x0403, 0x6001 }, { 0x03EB, 0x2404 }, { 0x03EB, 0x6124 }, { 0x03EB, 0x6014 } };

bool isModulePort(const SerialPortEntry& port)
{
    if (!port.hasUsbIds)
        return false;
    for (const UsbIds& ids : moduleUsbIds)
        if (port.vendorId == ids.vendor && port.productId == ids.product)
            return true;
    return false;
}

// Only a label: every port that passes the filter is probed.
QString connectionKindOf(const QString& description)
{
    if (description.contains(QLatin1String("Bluetooth")))
        return QStringLiteral("Bluetooth");
    static const char* const usbMarks[] = { "USB", "ASF example", "Wren", "Osprey", "Corvid", "Falcon",
        "Merlin", "Z7TEST", "Sarvik Serial", "Sarvik Bootloader", "Bossa Program Port" };
    for (const char* mark : usbMarks)
        if (description.contains(QLatin1String(mark)))
            return QStringLiteral("USB");
    return QStringLiteral("Serial");
}

bool verboseLog()
{
    return ApplicationProperties::logLevel() > 0;
}

QString upperOrUnknown(const std::string& text)
{
    return text.empty() ? QStringLiteral("(unknown)") : QString::fromStdString(text).toUpper();
}

QString asReportedOrUnknown(const std::string& text)
{
    return text.empty() ? QStringLiteral("(unknown)") : QString::fromStdString(text);
}

// The status of a call whose library method may throw (the embedded
// platform's system information does on a time-out); `reason` gets the
// exception's text.
template <typename Call> int statusOf(Call call, QString& reason)
{
    try {
        return call();
    } catch (const std::exception& e) {
        reason = QString::fromUtf8(e.what()).trimmed();
    } catch (...) {
        reason = QStringLiteral("unknown exception");
    }
    return -1;
}

void logFailure(const char* message, const QString& reason)
{
    if (reason.isEmpty())
        qDebug().noquote() << message;
    else
        qDebug().noquote() << message << reason;
}

void identifyEmbeddedPlatform(Sarvik::Linkwell& connection, SarvikDeviceInfo* info)
{
    Sarvik::Dax& dax = connection.get_dax();
    info->displayName = QStringLiteral("Sarvik Embedded Platform (DAX)");

    std::string version;
    if (dax.get_system_info(embeddedFirmwareVersion, &version) != 0)
        return;
    info->deviceType = SarvikDeviceInfo::DaxDevice;
    info->firmwareVersion = QString::fromStdString(version).toUpper();
    info->supportedApps = daxApp;

    // Neither of these is needed to use the module: a refusal or a time-out
    // is logged and identification goes on.
    std::string coreId;
    QString reason;
    if (statusOf([&] { return dax.get_system_info(embeddedCoreId, &coreId); }, reason) == 0)
        info->serialNumber = QString::fromStdString(coreId).toUpper();
    else
        logFailure("Failed getting system core id.", reason);
    std::string bootloaderName;
    reason.clear();
    if (statusOf([&] { return dax.get_system_info(embeddedBootloaderName, &bootloaderName); }, reason) == 0) {
        if (bootloaderName == "SARVIK OPENBOOTLOADER")
            info->firmwareClass = FirmwareImage::DAX;
    } else {
        logFailure("Unable to identify bootloder from DAX.", reason);
    }

    info->zoneMin = -0.4;
    info->zoneMax = 30.0;
    info->zoneStep = 0.05144032835;

    quint8 band = 0;
    info->txFrequencyKnown = dax.z7driver_get_tx_center_frequency(&band) == 0;
    info->txFrequencyBand = info->txFrequencyKnown ? band : lowBand;
    quint8 downconversion = 0;
    info->downconversion = dax.z7driver_get_downconversion(&downconversion) != 0 || downconversion != 0;

    info->identified = true;
}

// The model by order code. The code is kept upper-cased, as it is shown, so
// it is compared without regard to case.
quint32 modelOf(const QString& orderCode)
{
    const struct {
        const char* orderCode;
        quint32 deviceType;
    } models[] = {
        { "Corvid", SarvikDeviceInfo::CorvidDevice },
        { "Osprey", SarvikDeviceInfo::OspreyDevice },
        { "Falcon", SarvikDeviceInfo::FalconDevice },
        { "Merlin", SarvikDeviceInfo::MerlinDevice },
        { "Gannet", SarvikDeviceInfo::GannetDevice },
    };
    for (const auto& model : models)
        if (orderCode.compare(QLatin1String(model.orderCode), Qt::CaseInsensitive) == 0)
            return model.deviceType;
    return SarvikDeviceInfo::UnknownDevice;
}

quint32 applicationsOf(quint32 deviceType)
{
    switch (deviceType) {
    case SarvikDeviceInfo::CorvidDevice:
        return respirationApp;
    case SarvikDeviceInfo::OspreyDevice:
        return presenceApp;
    default:
        return adultAndBabyRespirationApps;
    }
}

bool sleepCapableCorvid(const QString& itemNumber)
{
    for (const char* prefix : { "000095", "000092", "000132" })
        if (itemNumber.startsWith(QLatin1String(prefix)))
            return true;
    return false;
}

void identifyApplicationFirmware(Sarvik::Linkwell& connection, SarvikDeviceInfo* info)
{
    Sarvik::Corvid& corvid = connection.get_corvid();
    Sarvik::Osprey& osprey = connection.get_osprey();

    std::string text;
    if (corvid.get_order_code(&text) != 0)
        return;
    info->orderCode = upperOrUnknown(text);
    const quint32 model = modelOf(info->orderCode);
    if (model == SarvikDeviceInfo::UnknownDevice)
        return;
    info->deviceType = model;
    const bool corvidModel = model == SarvikDeviceInfo::CorvidDevice;
    // The newer models take the same firmware images in normal mode as in
    // their bootloader.
    if (!corvidModel)
        info->firmwareClass = FirmwareImage::Vallorin;
    info->displayName = QStringLiteral("Sarvik ") + info->orderCode;
    info->hasCrashDump = hasCrashDumpOnModule(connection, info->deviceType, info->connectionMode);
    if (info->hasCrashDump)
        info->displayName += crashDumpMarker;
    info->supportedApps = applicationsOf(model);

    if (corvid.get_item_number(&text) != 0)
        return;
    info->itemNumber = asReportedOrUnknown(text);
    if (corvidModel && sleepCapableCorvid(info->itemNumber))
        info->supportedApps |= sleepApp;
    if (corvid.get_firmware_version(&text) != 0)
        return;
    info->firmwareVersion = upperOrUnknown(text);
    const QVersionNumber version = QVersionNumber::fromString(info->firmwareVersion).normalized();
    if (corvid.get_serial_number(&text) != 0)
        return;
    info->serialNumber = upperOrUnknown(text);
    if (corvid.get_build_info(&text) != 0)
        return;
    info->buildInfo = upperOrUnknown(text);

    if (!corvidModel) {
        float start = 0;
        float end = 0;
        float step = 0;
        if (osprey.get_detection_zone_limits(&start, &end, &step) == 0) {
            info->zoneMin = start;
            info->zoneMax = end;
            info->zoneStep = step;
        } else {
            qDebug().noquote() << "WARNING: failed to get detection zone limits";
            info->zoneMin = 0.4;
            info->zoneMax = 9.4;
            info->zoneStep = 0.0514;
        }
    }
    quint32 band = 0;
    info->txFrequencyKnown = osprey.get_tx_center_frequency(&band) == 0;
    info->txFrequencyBand = info->txFrequencyKnown ? band : lowBand;

    info->firmwareAtLeast1_5_10 = version >= QVersionNumber(1, 5, 10);
    const bool respirationFamily = model == SarvikDeviceInfo::FalconDevice
        || model == SarvikDeviceInfo::MerlinDevice || model == SarvikDeviceInfo::GannetDevice;
    if (respirationFamily && version >= QVersionNumber(1, 6))
        info->supportedApps |= lowMemoryApps;
    if (version >= QVersionNumber(1, 2, 1))
        info->supportedApps |= storedNoiseMap;
    if (version >= QVersionNumber(1, 6))
        info->supportedApps |= defaultNoiseMap;

    info->baudRate = serialBaudRate;
    info->identified = true;
}

bool probeNormalMode(const SerialPortEntry& port, SarvikDeviceInfo& record)
{
    try {
        // The connector owns the sink from the call on, also when it throws.
        Sarvik::Linkwell connection(
            port.systemLocation.toUtf8().toStdString(), libraryLogLevel(), new LoggerIo);
        fillDeviceInfo(connection, &record);
    } catch (...) {
        if (verboseLog())
            qDebug().noquote() << "Failed to open port";
        return false;
    }
    if (!record.identified)
        return false;
    if (verboseLog())
        qDebug().noquote() << "Found device in normal mode";
    return true;
}

bool probeBootloader(const SerialPortEntry& port, SarvikDeviceInfo& record)
{
    try {
        Sarvik::Bootloader bootloader(
            port.systemLocation.toUtf8().toStdString(), unsigned(libraryLogLevel()), new LoggerIo);
        record.baudRate = serialBaudRate;
        record.connectionMode = SarvikDeviceInfo::BootloaderMode;
        record.identified = false;
        record.firmwareClass = FirmwareImage::UnknownClass;
        for (QString* text : { &record.extraInfo, &record.firmwareVersion, &record.firmwareId,
                 &record.connectionKind, &record.orderCode, &record.serialNumber })
            if (text->isEmpty())
                *text = QStringLiteral("(unknown)");
        const std::string info = bootloader.get_bootloader_info();
        if (verboseLog())
            qDebug().noquote() << "Checking if device is in bootloader mode";
        record.bootloaderVersion.clear();
        record.bootloaderModuleId.clear();
        record.bootloaderTail.clear();
        if (!parseBootloaderInfo(QByteArray::fromStdString(info), record))
            return false;
    } catch (...) {
        return false;
    }
    if (verboseLog())
        qDebug().noquote() << "Found device in bootloader mode";
    return true;
}

// One attempt on a port: the record when a module was identified.
bool probePort(const SerialPortEntry& port, SarvikDeviceInfo& record)
{
    if (verboseLog())
        qDebug().noquote() << "Checking port:" << port.systemLocation;
    record.portName = port.systemLocation;
    record.connectionKind = connectionKindOf(port.description);
    record.description = QStringLiteral("%1, %2").arg(record.connectionKind, record.portName);
    if (!port.serialNumber.isEmpty())
        record.description += QStringLiteral(", %1").arg(port.serialNumber);
    return probeNormalMode(port, record) || probeBootloader(port, record);
}

} // namespace

QList<SarvikDeviceInfo> searchDevices()
{
    QList<SarvikDeviceInfo> found;
    try {
        const QList<SerialPortEntry> ports = PortLister::current().availablePorts();
        for (const SerialPortEntry& port : ports) {
            if (!isModulePort(port))
                continue;
            for (int attempt = 0; attempt < attemptsPerPort; ++attempt) {
                SarvikDeviceInfo record;
                if (probePort(port, record)) {
                    found.append(record);
                    break;
                }
            }
        }
    } catch (const std::exception& e) {
        qWarning().noquote() << QStringLiteral("caught std::exception:") + QString::fromUtf8(e.what());
    } catch (...) {
        qWarning().noquote() << "caught unknown exception";
    }
    return found;
}

void fillDeviceInfo(Sarvik::Linkwell& connection, SarvikDeviceInfo* info)
{
    info->connectionMode = SarvikDeviceInfo::NormalMode;
    info->deviceType = SarvikDeviceInfo::UnknownDevice;
    info->identified = false;
    info->hasCrashDump = false;
    info->firmwareClass = FirmwareImage::UnknownClass;

    Sarvik::Corvid& corvid = connection.get_corvid();
    quint32 pong = 0;
    if (corvid.ping(&pong) != 0)
        return;
    switch (pong) {
    case notListedPong:
        return;
    case safeModePong:
        info->connectionMode = SarvikDeviceInfo::SafeMode;
        break;
    case normalModePong:
        break;
    default:
        qWarning().noquote() << "case not handled in switch" << fillDeviceInfoName;
        return;
    }

    std::string firmwareId;
    if (corvid.get_firmware_id(&firmwareId) != 0)
        return;
    info->firmwareId = upperOrUnknown(firmwareId);

    if (info->connectionMode == SarvikDeviceInfo::SafeMode) {
        info->hasCrashDump
            = hasCrashDumpOnModule(connection, SarvikDeviceInfo::UnknownDevice, SarvikDeviceInfo::SafeMode);
        info->displayName = QStringLiteral("Sarvik Safe Mode");
        info->supportedApps = 0;
        info->identified = true;
        return;
    }
    if (info->firmwareId == QLatin1String("DAX")) {
        identifyEmbeddedPlatform(connection, info);
        return;
    }
    identifyApplicationFirmware(connection, info);
}

bool hasCrashDumpOnModule(Sarvik::Linkwell& connection, quint32 deviceType, quint32 connectionMode)
{
    const bool keepsDumps
        = deviceType >= SarvikDeviceInfo::OspreyDevice && deviceType <= SarvikDeviceInfo::GannetDevice;
    if (!keepsDumps && connectionMode != SarvikDeviceInfo::SafeMode)
        return false;
    try {
        std::vector<int> identifiers;
        return connection.get_dax().search_for_file_by_type(crashDumpFileType, identifiers) == 0
            && !identifiers.empty();
    } catch (const std::exception& e) {
        qWarning().noquote() << QStringLiteral("caught std::exception:") + QString::fromUtf8(e.what());
    } catch (...) {
        qWarning().noquote() << "caught unknown exception";
    }
    return false;
}
