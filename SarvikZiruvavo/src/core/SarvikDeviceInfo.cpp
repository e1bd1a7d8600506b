#include "SarvikDeviceInfo.hpp"

bool sameBootloaderIdentity(const SarvikDeviceInfo& a, const SarvikDeviceInfo& b)
{
    return a.bootloaderVersion == b.bootloaderVersion && a.bootloaderModuleId == b.bootloaderModuleId
        && a.bootloaderTail == b.bootloaderTail;
}

bool isSameModule(const SarvikDeviceInfo& a, const SarvikDeviceInfo& b)
{
    return a.displayName == b.displayName && a.connectionKind == b.connectionKind
        && a.firmwareVersion == b.firmwareVersion && a.firmwareId == b.firmwareId
        && a.itemNumber == b.itemNumber && a.extraInfo == b.extraInfo && a.orderCode == b.orderCode
        && a.serialNumber == b.serialNumber && a.buildInfo == b.buildInfo && a.baudRate == b.baudRate
        && a.metadata == b.metadata && a.supportedApps == b.supportedApps
        && a.connectionMode == b.connectionMode && a.hasCrashDump == b.hasCrashDump
        && a.identified == b.identified && sameBootloaderIdentity(a, b) && a.deviceType == b.deviceType;
}

bool operator==(const SarvikDeviceInfo& a, const SarvikDeviceInfo& b)
{
    return isSameModule(a, b) && a.portName == b.portName && a.description == b.description;
}

bool operator!=(const SarvikDeviceInfo& a, const SarvikDeviceInfo& b)
{
    return !(a == b);
}
