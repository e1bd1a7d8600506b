// A module that can be programmed, on pseudo-terminals that the program sees
// as its serial ports: the port list follows the module as it leaves one port
// and comes back on another. And firmware images to program it with, written
// as Intel HEX files.
#pragma once

#include "core/SarvikDeviceInfo.hpp"
#include "support/PseudoTerminalPorts.hpp"

#include "simmodule/ReenumeratingModule.hpp"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

class ProgrammableModule {
public:
    using Script = simmodule::ReenumeratingModule::Script;
    using Mode = simmodule::ReenumeratingModule::Mode;

    // A Falcon with that serial number, whose bootloader names it in its
    // information text as the Falcon's bootloader does ("R:SerialNumber =
    // "...").
    static Script falcon(const std::string& serialNumber = "SIMF0000001");
    // An embedded-platform module with that core id, whose open bootloader
    // reports it as its id.
    static Script embeddedPlatform(const std::string& coreId = "SIM-CORE-0001");
    // A Corvid, which enters its bootloader on the same port.
    static Script corvid();

    explicit ProgrammableModule(Script script);

    simmodule::ReenumeratingModule& module() { return *m_module; }
    PseudoTerminalPorts& ports() { return m_ports; }
    simmodule::Flash flash() const { return m_module->flash(); }
    // Waits until the module is on a port in that mode.
    bool waitFor(Mode mode);
    // What the device search lists now: the module's record. Fails the test
    // (and gives an empty record) unless exactly one module is listed.
    SarvikDeviceInfo found();
    // Whether nobody holds the module's current port (the library locks the
    // ports it opens).
    bool portIsFree() const;
    // Every port it has appeared on, in order.
    QStringList portsSeen() const;
    // When its latest port appeared.
    std::chrono::steady_clock::time_point appearedAt() const;
    // How many payloads the module received that start with the prefix.
    size_t receivedWith(const simmodule::Bytes& prefix) const;

private:
    // The list outlives the module, whose thread updates it.
    PseudoTerminalPorts m_ports;
    mutable std::mutex m_seenMutex;
    QStringList m_portsSeen;
    std::chrono::steady_clock::time_point m_appearedAt;
    std::unique_ptr<simmodule::ReenumeratingModule> m_module;
};

namespace FirmwareFiles {

constexpr int pageSize = 512;
// Where page 0 of the module's flash lies in an image's addresses.
constexpr quint32 flashStart = 0x400000;

// Writes an image of `data` placed at page `firstPage` of the flash.
QString writeImage(const QString& path, int firstPage, const QByteArray& data);
// Data of pages [0, pageCount) that differ from each other.
QByteArray pages(int pageCount);
// Page n of data placed at page 0: its 512 bytes, 0xFF past the data's end.
QByteArray page(const QByteArray& data, int n);

} // namespace FirmwareFiles
