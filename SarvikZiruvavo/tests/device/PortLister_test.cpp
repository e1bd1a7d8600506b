#include "device/PortLister.hpp"
#include "device/SystemPortLister.hpp"
#include "support/QtPrinters.hpp"

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

// The program's test seam: ports named in the environment, which the system
// would not list, follow the system's while they exist.
TEST(SystemPortListerTest, ListsTheExtraPortsThatExistAfterTheSystemsOnes)
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(0, openpty(&master, &slave, name, nullptr, nullptr));
    const QString pty = QString::fromLocal8Bit(name);
    QTemporaryDir dir;
    SerialPortEntry system;
    system.systemLocation = QStringLiteral("/dev/ttyUSB0");
    const SystemPortLister lister([system] { return QList<SerialPortEntry> { system }; }, dir.path(),
        std::chrono::hours(1),
        { pty, QStringLiteral("/dev/ttyUSB0"), dir.filePath(QStringLiteral("missing")) });

    const QList<SerialPortEntry> ports = lister.availablePorts();
    ASSERT_EQ(2, ports.size());
    EXPECT_EQ(QStringLiteral("/dev/ttyUSB0"), ports.at(0).systemLocation);
    EXPECT_FALSE(ports.at(0).hasUsbIds) << "a port the system lists stays as the system lists it";
    EXPECT_EQ(pty, ports.at(1).systemLocation);
    EXPECT_TRUE(ports.at(1).hasUsbIds);
    EXPECT_EQ(0x03EB, ports.at(1).vendorId);
    EXPECT_EQ(0x2404, ports.at(1).productId);
    EXPECT_EQ(QStringLiteral("Sarvik Serial"), ports.at(1).description);
    EXPECT_TRUE(ports.at(1).serialNumber.isEmpty());

    // Gone when its pseudo-terminal is, though the system's list is not taken again.
    ::close(slave);
    ::close(master);
    EXPECT_EQ(1, lister.availablePorts().size());
}

TEST(SystemPortListerTest, TheEnvironmentNamesTheExtraPorts)
{
    const struct {
        const char* value; // null: unset
        QStringList paths;
    } table[] = {
        { nullptr, {} },
        { "", {} },
        { "/dev/pts/7", { QStringLiteral("/dev/pts/7") } },
        { "/dev/pts/7::/dev/pts/9:", { QStringLiteral("/dev/pts/7"), QStringLiteral("/dev/pts/9") } },
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.value ? row.value : "unset");
        if (row.value)
            qputenv(SystemPortLister::extraPortsVariable, row.value);
        else
            qunsetenv(SystemPortLister::extraPortsVariable);
        EXPECT_EQ(row.paths, SystemPortLister::extraPortsFromEnvironment());
    }
    qunsetenv(SystemPortLister::extraPortsVariable);
}

TEST(SystemPortListerTest, TheSystemsListerTakesTheExtraPortsOfTheEnvironment)
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(0, openpty(&master, &slave, name, nullptr, nullptr));
    qputenv(SystemPortLister::extraPortsVariable, name);
    const SystemPortLister lister;
    qunsetenv(SystemPortLister::extraPortsVariable);
    const QList<SerialPortEntry> ports = lister.availablePorts();
    ASSERT_FALSE(ports.isEmpty());
    EXPECT_EQ(QString::fromLocal8Bit(name), ports.last().systemLocation);
    ::close(slave);
    ::close(master);
}

} // namespace
