// LED strips for tests: each is a pseudo-terminal whose far end records the
// bytes the program sends, listed with a strip's USB ids by a port lister the
// test installs for as long as it lives.
#pragma once

#include "device/PortLister.hpp"

#include <QByteArray>
#include <QMutex>
#include <QMutexLocker>
#include <QtTest/QTest>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace teststrips {

struct UsbIds {
    quint16 vendor;
    quint16 product;
};

const UsbIds bigStrip { 0x1D50, 0x605E };
const UsbIds smallStrip { 0x1209, 0x8888 };

class TestStrip {
public:
    explicit TestStrip(UsbIds ids)
    {
        char name[256] = {};
        int slave = -1;
        if (openpty(&m_master, &slave, name, nullptr, nullptr) == 0) {
            ::close(slave);
            ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        }
        m_entry.systemLocation = QString::fromLocal8Bit(name);
        m_entry.description = QStringLiteral("test strip");
        m_entry.hasUsbIds = true;
        m_entry.vendorId = ids.vendor;
        m_entry.productId = ids.product;
    }
    ~TestStrip() { unplug(); }
    TestStrip(const TestStrip&) = delete;
    TestStrip& operator=(const TestStrip&) = delete;

    bool valid() const { return !m_entry.systemLocation.isEmpty(); }
    const SerialPortEntry& entry() const { return m_entry; }
    QString path() const { return m_entry.systemLocation; }

    // Everything received so far.
    const QByteArray& received()
    {
        readAvailable();
        return m_received;
    }
    // Takes what has been received so far.
    QByteArray take()
    {
        readAvailable();
        QByteArray bytes;
        bytes.swap(m_received);
        return bytes;
    }
    // Waits (running the event loop, so the program's port works) until at
    // least `count` bytes have arrived.
    bool waitForBytes(int count, int timeoutMs = 5000)
    {
        return QTest::qWaitFor([&] { return received().size() >= count; }, timeoutMs);
    }
    // The speed the program left the line at (read at the program's end,
    // whose settings are the line's).
    speed_t speed() const
    {
        const int fd
            = ::open(m_entry.systemLocation.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0)
            return 0;
        termios settings {};
        const speed_t speed = ::tcgetattr(fd, &settings) == 0 ? ::cfgetospeed(&settings) : 0;
        ::close(fd);
        return speed;
    }
    // The strip's end goes away: the program's port sees a hang-up.
    void unplug()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    void readAvailable()
    {
        if (m_master < 0)
            return;
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n > 0)
                m_received.append(buffer, int(n));
            else if (n < 0 && errno == EINTR)
                continue;
            else
                return;
        }
    }

    int m_master = -1;
    SerialPortEntry m_entry;
    QByteArray m_received;
};

// The ports the program sees while it exists: the test chooses them.
class TestPorts : public PortLister {
public:
    TestPorts() { PortLister::install(this); }
    ~TestPorts() override { PortLister::install(nullptr); }
    TestPorts(const TestPorts&) = delete;
    TestPorts& operator=(const TestPorts&) = delete;

    void set(QList<SerialPortEntry> ports)
    {
        QMutexLocker lock(&m_mutex);
        m_ports = std::move(ports);
    }
    QList<SerialPortEntry> availablePorts() const override
    {
        QMutexLocker lock(&m_mutex);
        return m_ports;
    }

private:
    mutable QMutex m_mutex;
    QList<SerialPortEntry> m_ports;
};

} // namespace teststrips
