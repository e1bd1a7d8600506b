#include "SystemPortLister.hpp"

#include <QSerialPortInfo>

SystemPortLister::SystemPortLister()
    : SystemPortLister(
        &SystemPortLister::enumerateSystemPorts, QStringLiteral("/dev"), std::chrono::seconds(10))
{ }

SystemPortLister::SystemPortLister(
    Enumerate enumerate, const QString& watchedDirectory, std::chrono::milliseconds maximumAge)
    : m_enumerate(std::move(enumerate))
    , m_maximumAge(maximumAge)
    , m_watch(watchedDirectory)
{ }

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
    return m_ports;
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
