#include "device/PortLister.hpp"
#include "device/SystemPortLister.hpp"

#include <gtest/gtest.h>

#include <pty.h>
#include <unistd.h>

namespace {

class ListOf : public PortLister {
public:
    explicit ListOf(QList<SerialPortEntry> ports)
        : m_ports(std::move(ports))
    { }
    QList<SerialPortEntry> availablePorts() const override { return m_ports; }

private:
    QList<SerialPortEntry> m_ports;
};

TEST(PortListerTest, AnInstalledListerIsUsedUntilTheSystemsIsRestored)
{
    SerialPortEntry port;
    port.systemLocation = QStringLiteral("/dev/pts/99");
    const ListOf test({ port });

    PortLister::install(&test);
    EXPECT_EQ(&test, &PortLister::current());
    PortLister::install(nullptr);
    EXPECT_NE(nullptr, dynamic_cast<const SystemPortLister*>(&PortLister::current()));
}

TEST(PortListerTest, TheSystemListShowsNoPseudoTerminal)
{
    // Why the tests install a list of their own: a pseudo-terminal that
    // exists is still not enumerated.
    int master = -1;
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(0, openpty(&master, &slave, name, nullptr, nullptr));
    for (const SerialPortEntry& entry : SystemPortLister().availablePorts())
        EXPECT_NE(QString::fromLocal8Bit(name), entry.systemLocation);
    ::close(slave);
    ::close(master);
}

} // namespace
