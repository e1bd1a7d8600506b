#include "BootloaderInfo.hpp"

#include "core/SarvikDeviceInfo.hpp"
#include "firmware/FirmwareImage.hpp"

#include <QString>

namespace {

const char openBootloaderPrefix[] = "SARVIK OPENBOOTLOADER V";
const char bootloaderPrefix[] = "SARVIK BOOTLOADER V:";

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads decimal digits from `at` up to `separator` and steps past it; false
// when any other byte, or the end of the text, comes first.
bool digitsUpTo(const QByteArray& text, int& at, char separator, QByteArray& digits)
{
    const int start = at;
    while (at < text.size() && isDigit(text.at(at)))
        ++at;
    if (at >= text.size() || text.at(at) != separator)
        return false;
    digits = text.mid(start, at - start);
    ++at;
    return true;
}

bool hasAt(const QByteArray& text, int at, const char* key)
{
    const int length = int(qstrlen(key));
    return at <= text.size() - length && text.mid(at, length) == key;
}

quint32 bootloaderDeviceType(const QString& moduleId)
{
    if (moduleId == QLatin1String("Osprey"))
        return SarvikDeviceInfo::OspreyDevice;
    if (moduleId == QLatin1String("Falcon"))
        return SarvikDeviceInfo::FalconDevice;
    if (moduleId == QLatin1String("Merlin"))
        return SarvikDeviceInfo::MerlinDevice;
    if (moduleId == QLatin1String("Gannet"))
        return SarvikDeviceInfo::GannetDevice;
    return SarvikDeviceInfo::CorvidDevice;
}

} // namespace

bool parseBootloaderInfo(const QByteArray& info, SarvikDeviceInfo& record)
{
    const bool open = info.startsWith(openBootloaderPrefix);
    if (!open && !info.startsWith(bootloaderPrefix))
        return false;

    // The version follows the first ':' of the text, which for the open
    // bootloader is the one it writes right after its "V".
    int at = info.indexOf(':');
    if (at < 0)
        return false;
    ++at;
    QByteArray major;
    QByteArray minor;
    QByteArray patch;
    if (!digitsUpTo(info, at, '.', major) || !digitsUpTo(info, at, '.', minor)
        || !digitsUpTo(info, at, ' ', patch))
        return false;

    const char* const idKey = open ? "ID:" : "H:";
    if (!hasAt(info, at, idKey))
        return false;
    at += int(qstrlen(idKey));
    // The id runs to the next space, or to the end of the text: an open
    // bootloader that reports nothing after it must still be found by its id.
    const int idEnd = info.indexOf(' ', at);
    const QByteArray moduleId = info.mid(at, (idEnd < 0 ? info.size() : idEnd) - at);

    QByteArray tail;
    if (!open && idEnd >= 0) {
        const int rest = idEnd + 1;
        if (!hasAt(info, rest, "R:"))
            return false;
        tail = info.mid(rest + 2);
    }

    record.bootloaderVersion = major.isEmpty() || minor.isEmpty() || patch.isEmpty()
        ? QString()
        : QStringLiteral("%1.%2.%3")
              .arg(QString::fromLatin1(major), QString::fromLatin1(minor), QString::fromLatin1(patch));
    // Every byte counts, a NUL among them too.
    record.bootloaderModuleId = QString::fromUtf8(moduleId.constData(), moduleId.size());
    record.bootloaderTail = QString::fromUtf8(tail.constData(), tail.size());
    if (open) {
        record.displayName = QStringLiteral("Sarvik Open Bootloader");
        record.deviceType = SarvikDeviceInfo::DaxDevice;
        record.firmwareClass = FirmwareImage::DAX;
    } else {
        record.displayName
            = QStringLiteral("Sarvik ") + record.bootloaderModuleId + QStringLiteral(" (bootloader mode)");
        record.deviceType = bootloaderDeviceType(record.bootloaderModuleId);
        record.firmwareClass = FirmwareImage::Vallorin;
    }
    record.identified = true;
    return true;
}
