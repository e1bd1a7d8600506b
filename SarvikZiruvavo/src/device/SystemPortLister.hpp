// The serial ports of the operating system. Enumerating them costs much (on
// Linux the system reads thousands of device attributes each time), and the
// device search asks once a second: the list is taken again only when device
// nodes have come, gone or changed, and at least every ten seconds.
//
// Test seam: the system's list never shows a pseudo-terminal, where tests of
// the whole program put a simulated module. The environment variable
// SARVIK_EXTRA_SERIAL_PORTS (read once, when the system's lister is made)
// names further ports, separated by ':', such as "/dev/pts/7:/dev/pts/9".
// Each is listed after the system's ports, while its path exists, as a port
// of a module's USB serial converter (USB ids 0x03EB 0x2404, description
// "Sarvik Serial", no serial number). Unset, the list is the system's alone.
#pragma once

#include "DeviceNodeWatch.hpp"
#include "PortLister.hpp"

#include <QStringList>

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>

class SystemPortLister : public PortLister {
public:
    static const char* const extraPortsVariable;

    using Enumerate = std::function<QList<SerialPortEntry>()>;

    // Over QSerialPortInfo, watching /dev, with the extra ports of the
    // environment.
    SystemPortLister();
    // Over any enumeration, watching any directory; a list older than
    // `maximumAge` is taken again even when nothing changed there. The
    // extra ports are listed after the enumerated ones while they exist.
    SystemPortLister(Enumerate enumerate, const QString& watchedDirectory,
        std::chrono::milliseconds maximumAge, QStringList extraPorts = {});

    // Any thread may ask.
    QList<SerialPortEntry> availablePorts() const override;

    // The ports as QSerialPortInfo enumerates them now.
    static QList<SerialPortEntry> enumerateSystemPorts();
    // The paths SARVIK_EXTRA_SERIAL_PORTS names; empty when it is unset.
    static QStringList extraPortsFromEnvironment();

private:
    Enumerate m_enumerate;
    std::chrono::milliseconds m_maximumAge;
    QStringList m_extraPorts;
    mutable std::mutex m_mutex;
    mutable DeviceNodeWatch m_watch;
    mutable std::optional<std::chrono::steady_clock::time_point> m_takenAt;
    mutable QList<SerialPortEntry> m_ports;
};
