#include "device/PortLister.hpp"
#include "device/SystemPortLister.hpp"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

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

// Enumerating the system's ports costs much; the list is taken again only
// when the device directory changed or the list has grown old.
class CountingSystemLister : public ::testing::Test {
protected:
    SystemPortLister lister(std::chrono::milliseconds maximumAge)
    {
        return SystemPortLister(
            [this] {
                SerialPortEntry port;
                port.systemLocation = QStringLiteral("/dev/ttyACM%1").arg(++enumerations);
                return QList<SerialPortEntry> { port };
            },
            dir.path(), maximumAge);
    }

    QTemporaryDir dir;
    std::atomic<int> enumerations { 0 };
};

TEST_F(CountingSystemLister, TakesTheListAgainOnlyWhenDeviceNodesChange)
{
    const SystemPortLister ports = lister(std::chrono::hours(1));
    EXPECT_EQ(QStringLiteral("/dev/ttyACM1"), ports.availablePorts().value(0).systemLocation);
    EXPECT_EQ(QStringLiteral("/dev/ttyACM1"), ports.availablePorts().value(0).systemLocation);
    QFile node(dir.filePath(QStringLiteral("ttyACM0")));
    ASSERT_TRUE(node.open(QIODevice::WriteOnly));
    EXPECT_EQ(QStringLiteral("/dev/ttyACM2"), ports.availablePorts().value(0).systemLocation);
    EXPECT_EQ(2, enumerations);
}

TEST_F(CountingSystemLister, TakesTheListAgainOnceItIsOld)
{
    const SystemPortLister ports = lister(std::chrono::milliseconds(0));
    for (int i = 0; i < 3; ++i)
        ports.availablePorts();
    EXPECT_EQ(3, enumerations);
}

TEST_F(CountingSystemLister, ListsForSeveralThreadsAtOnce)
{
    const SystemPortLister ports = lister(std::chrono::milliseconds(0));
    std::vector<std::thread> threads;
    std::atomic<int> empty { 0 };
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 100; ++i)
                empty += ports.availablePorts().isEmpty() ? 1 : 0;
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(0, empty);
    EXPECT_EQ(400, enumerations);
}

} // namespace
