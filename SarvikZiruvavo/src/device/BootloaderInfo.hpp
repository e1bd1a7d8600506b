// The information text that a module's bootloader reports about itself,
// turned into the fields of a module record.
#pragma once

#include <QByteArray>

struct SarvikDeviceInfo;

// Reads the bootloader's text, byte by byte and never past its end. It is
// recognised when it starts with "SARVIK OPENBOOTLOADER V" (the open
// bootloader of embedded-platform modules) or "SARVIK BOOTLOADER V:", and a
// version of three dotted numbers follows the first ':' up to a space, then
// "ID:" (open bootloader) or "H:" (bootloader) and the module id up to the
// next space or the end; a bootloader's text may go on with a space, "R:" and
// a tail. Then the record gets the bootloader version, module id, tail,
// display name, device type and firmware class, and is marked identified.
// Any other text leaves the record as it was and gives false.
bool parseBootloaderInfo(const QByteArray& info, SarvikDeviceInfo& record);
