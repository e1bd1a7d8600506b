// The serial ports a test shows the program: pseudo-terminals (of simulated
// modules, or any path) that carry the USB ids, description and serial number
// the test chooses. It is the port lister in use while it lives, and ports
// may be added and removed meanwhile from any thread, also while a search
// on a pool thread asks for the list.
#pragma once

#include "device/PortLister.hpp"

#include <mutex>

namespace simmodule {
class SimModule;
} // namespace simmodule

class PseudoTerminalPorts : public PortLister {
public:
    // A port of a module's USB serial converter (0x03EB, 0x2404) as the
    // system describes it.
    static SerialPortEntry usbPort(const QString& description = QStringLiteral("Sarvik Serial"),
        const QString& serialNumber = QString(), quint16 vendorId = 0x03EB, quint16 productId = 0x2404);

    // True when nobody holds the port: the library locks the ports it opens.
    static bool isFree(const QString& systemLocation);

    // Installs itself; the destructor restores the system's lister.
    PseudoTerminalPorts();
    ~PseudoTerminalPorts() override;
    PseudoTerminalPorts(const PseudoTerminalPorts&) = delete;
    PseudoTerminalPorts& operator=(const PseudoTerminalPorts&) = delete;

    // Adds a port after the others; returns it as listed.
    SerialPortEntry add(SerialPortEntry port);
    // The module's pseudo-terminal as `port` (whose location is replaced).
    SerialPortEntry add(const simmodule::SimModule& module, SerialPortEntry port = usbPort());
    // Removes every port at that location; false when there was none.
    bool remove(const QString& systemLocation);
    void clear();

    QList<SerialPortEntry> availablePorts() const override;

private:
    mutable std::mutex m_mutex;
    QList<SerialPortEntry> m_ports;
};
