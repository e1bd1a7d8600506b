#include "PseudoTerminalPorts.hpp"

#include "simmodule/SimModule.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>

SerialPortEntry PseudoTerminalPorts::usbPort(
    const QString& description, const QString& serialNumber, quint16 vendorId, quint16 productId)
{
    SerialPortEntry port;
    port.description = description;
    port.serialNumber = serialNumber;
    port.hasUsbIds = true;
    port.vendorId = vendorId;
    port.productId = productId;
    return port;
}

bool PseudoTerminalPorts::isFree(const QString& systemLocation)
{
    const int fd = ::open(systemLocation.toUtf8().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

PseudoTerminalPorts::PseudoTerminalPorts()
{
    PortLister::install(this);
}

PseudoTerminalPorts::~PseudoTerminalPorts()
{
    PortLister::install(nullptr);
}

SerialPortEntry PseudoTerminalPorts::add(SerialPortEntry port)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ports.append(port);
    return port;
}

SerialPortEntry PseudoTerminalPorts::add(const simmodule::SimModule& module, SerialPortEntry port)
{
    port.systemLocation = QString::fromStdString(module.pty_path());
    return add(port);
}

bool PseudoTerminalPorts::remove(const QString& systemLocation)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const int before = m_ports.size();
    m_ports.erase(std::remove_if(m_ports.begin(), m_ports.end(),
                      [&](const SerialPortEntry& port) { return port.systemLocation == systemLocation; }),
        m_ports.end());
    return m_ports.size() != before;
}

void PseudoTerminalPorts::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ports.clear();
}

QList<SerialPortEntry> PseudoTerminalPorts::availablePorts() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_ports;
}
