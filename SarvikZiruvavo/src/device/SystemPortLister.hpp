// The serial ports of the operating system. Enumerating them costs much (on
// Linux the system reads thousands of device attributes each time), and the
// device search asks once a second: the list is taken again only when device
// nodes have come, gone or changed, and at least every ten seconds.
#pragma once

#include "DeviceNodeWatch.hpp"
#include "PortLister.hpp"

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>

class SystemPortLister : public PortLister {
public:
    using Enumerate = std::function<QList<SerialPortEntry>()>;

    // Over QSerialPortInfo, watching /dev.
    SystemPortLister();
    // Over any enumeration, watching any directory; a list older than
    // `maximumAge` is taken again even when nothing changed there.
    SystemPortLister(
        Enumerate enumerate, const QString& watchedDirectory, std::chrono::milliseconds maximumAge);

    // Any thread may ask.
    QList<SerialPortEntry> availablePorts() const override;

    // The ports as QSerialPortInfo enumerates them now.
    static QList<SerialPortEntry> enumerateSystemPorts();

private:
    Enumerate m_enumerate;
    std::chrono::milliseconds m_maximumAge;
    mutable std::mutex m_mutex;
    mutable DeviceNodeWatch m_watch;
    mutable std::optional<std::chrono::steady_clock::time_point> m_takenAt;
    mutable QList<SerialPortEntry> m_ports;
};
