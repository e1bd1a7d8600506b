// Fuzzes the reading of a bootloader's information text, which comes from a
// module as bytes of any length and content: a text is either refused,
// leaving the record as it was, or gives a record whose fields all come from
// the text as the bootloader's rules allow. Anything else stops the run.
#include "core/SarvikDeviceInfo.hpp"
#include "device/BootloaderInfo.hpp"

#include <QByteArray>
#include <QRegularExpression>
#include <QString>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool isVersion(const QString& version)
{
    static const QRegularExpression threeNumbers(QStringLiteral("^[0-9]+\\.[0-9]+\\.[0-9]+$"));
    return version.isEmpty() || threeNumbers.match(version).hasMatch();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray info(reinterpret_cast<const char*>(data), int(size));
    SarvikDeviceInfo record;
    record.connectionMode = SarvikDeviceInfo::BootloaderMode;
    const bool recognised = parseBootloaderInfo(info, record);

    const bool open = info.startsWith("SARVIK OPENBOOTLOADER V");
    if (!recognised) {
        check(!record.identified && record.displayName.isEmpty() && record.bootloaderVersion.isEmpty()
            && record.bootloaderModuleId.isEmpty() && record.bootloaderTail.isEmpty()
            && record.deviceType == 0 && record.firmwareClass == 0);
        return 0;
    }
    check(open || info.startsWith("SARVIK BOOTLOADER V:"));
    check(record.identified && record.connectionMode == SarvikDeviceInfo::BootloaderMode);
    check(isVersion(record.bootloaderVersion));
    check(!record.bootloaderModuleId.contains(QLatin1Char(' ')));
    if (open) {
        check(record.displayName == QLatin1String("Sarvik Open Bootloader"));
        check(record.deviceType == SarvikDeviceInfo::DaxDevice && record.firmwareClass == 2);
        check(record.bootloaderTail.isEmpty());
    } else {
        check(record.displayName
            == QStringLiteral("Sarvik ") + record.bootloaderModuleId + QStringLiteral(" (bootloader mode)"));
        check(record.deviceType >= SarvikDeviceInfo::CorvidDevice
            && record.deviceType <= SarvikDeviceInfo::GannetDevice);
        check(record.firmwareClass == 1);
        // The tail is the end of the text, after "R:", byte for byte where
        // the bytes are UTF-8.
        check(record.bootloaderTail.isEmpty() || info.contains(" R:"));
        check(record.bootloaderTail.contains(QChar::ReplacementCharacter)
            || info.endsWith(record.bootloaderTail.toUtf8()));
    }
    // The same text, the same record.
    SarvikDeviceInfo again;
    again.connectionMode = SarvikDeviceInfo::BootloaderMode;
    check(parseBootloaderInfo(info, again) && again == record && again.firmwareClass == record.firmwareClass);
    return 0;
}
