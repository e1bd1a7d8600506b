#include "SystemPortLister.hpp"

#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>

const char* const SystemPortLister::extraPortsVariable = "SARVIK_EXTRA_SERIAL_PORTS";

SystemPortLister::SystemPortLister()
    : SystemPortLister(&SystemPortLister::enumerateSystemPorts, QStringLiteral("/dev"),
        std::chrono::seconds(10), extraPortsFromEnvironment())
{ }

SystemPortLister::SystemPortLister(Enumerate enumerate, const QString& watchedDirectory,
    std::chrono::milliseconds maximumAge, QStringList extraPorts)
    : m_enumerate(std::move(enumerate))
    , m_maximumAge(maximumAge)
    , m_extraPorts(std::move(extraPorts))
    , m_watch(watchedDirectory)
{ }

QStringList SystemPortLister::extraPortsFromEnvironment()
{
    return QString::fromLocal8Bit(qgetenv(extraPortsVariable)).split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

QList<SerialPortEntry> SystemPortLister::availablePorts() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // Changes are taken before the enumeration, so one that happens while it
    // runs is seen by the next call.
    const bool changed = m_watch.changed();
    const auto now = std::chrono::steady_clock::now();
    if (changed || !m_takenAt || now - *m_takenAt >= m_maximumAge) {
        m_ports = m_enumerate();
        m_takenAt = now;
    }
    if (m_extraPorts.isEmpty())
        return m_ports;
    QList<SerialPortEntry> ports = m_ports;
    for (const QString& path : m_extraPorts) {
        const bool listed = std::any_of(ports.begin(), ports.end(),
            [&path](const SerialPortEntry& port) { return port.systemLocation == path; });
        if (listed || !QFileInfo::exists(path))
            continue;
        SerialPortEntry port;
        port.systemLocation = path;
        port.description = QStringLiteral("Sarvik Serial");
        port.hasUsbIds = true;
        port.vendorId = 0x03EB;
        port.productId = 0x2404;
        ports.append(port);
    }
    return ports;
}

QList<SerialPortEntry> SystemPortLister::enumerateSystemPorts()
{
    QList<SerialPortEntry> ports;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos) {
        SerialPortEntry entry;
        entry.systemLocation = info.systemLocation();
        entry.description = info.description();
        entry.serialNumber = info.serialNumber();
        entry.hasUsbIds = info.hasVendorIdentifier() && info.hasProductIdentifier();
        entry.vendorId = info.vendorIdentifier();
        entry.productId = info.productIdentifier();
        ports.append(entry);
    }
    return ports;
}
