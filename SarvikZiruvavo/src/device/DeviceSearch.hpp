// Finding modules on the serial ports and telling what they are: a module
// running its application firmware (normal or safe mode), or one waiting in
// its bootloader.
#pragma once

#include "core/SarvikDeviceInfo.hpp"

#include <QList>

namespace Sarvik {
class Linkwell;
} // namespace Sarvik

// Walks the ports of PortLister::current(), keeps those whose USB ids are a
// module's, and probes each one up to 3 times: through a connection of its
// own in normal mode, then through a bootloader client. One record per port
// where a module was identified, in the order the ports are enumerated.
// Each probe's library object is gone before the next port is touched, so
// the ports are free again when it returns. Never throws; runs on any thread.
QList<SarvikDeviceInfo> searchDevices();

// Identifies the module behind an open connection into `info`; `identified`
// tells whether it succeeded. A library failure ends identification quietly;
// what the library throws passes to the caller.
void fillDeviceInfo(Sarvik::Linkwell& connection, SarvikDeviceInfo* info);

// Whether the module holds a crash-dump file. Only modules of device types
// Osprey to Gannet, or any module in safe mode, are asked; never throws.
bool hasCrashDumpOnModule(Sarvik::Linkwell& connection, quint32 deviceType, quint32 connectionMode);
