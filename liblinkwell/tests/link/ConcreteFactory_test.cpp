#include "link/ActiveThread.hpp"
#include "link/ByteProtocol.hpp"
#include "link/ConcreteFactory.hpp"
#include "link/OverlappedModuleIo.hpp"
#include "link/UartIo.hpp"
#include "support/PacketWaiter.hpp"
#include "support/RecordingLogger.hpp"
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <memory>
#include <mutex>
#include <set>
#include <thread>

namespace {

using testsupport::Bytes;
using testsupport::frame;
using testsupport::hex;
using testsupport::PacketWaiter;
using testsupport::read_exactly;
using testsupport::RecordingLogger;

} // namespace

TEST(ConcreteFactory, EveryThreadOperationStartsADistinctNamedThread)
{
    RecordingLogger logger;
    ConcreteFactory factory;
    std::vector<std::unique_ptr<Active>> threads;
    threads.emplace_back(factory.createDispatcherThread("dispatcher", logger));
    threads.emplace_back(factory.createReaderThread("reader", logger));
    threads.emplace_back(factory.createWriterThread("writer", logger));
    threads.emplace_back(factory.createReaderThread("reader", logger));

    std::vector<std::string> names;
    std::mutex mutex;
    std::set<std::thread::id> ids;
    for (auto& t : threads) {
        auto* active = dynamic_cast<ActiveThread*>(t.get());
        ASSERT_NE(nullptr, active);
        names.push_back(active->name());
        t->add([&] {
            std::lock_guard<std::mutex> lock(mutex);
            ids.insert(std::this_thread::get_id());
        });
        t->stop();
    }
    EXPECT_EQ((std::vector<std::string> { "dispatcher", "reader", "writer", "reader" }), names);
    EXPECT_EQ(4u, ids.size());
    EXPECT_EQ(0u, ids.count(std::this_thread::get_id()));
}

TEST(ConcreteFactory, MakesASerialPortAndTheFramedProtocol)
{
    RecordingLogger logger;
    ConcreteFactory factory;
    std::unique_ptr<ModuleIo> io(factory.createModuleIo(logger));
    EXPECT_NE(nullptr, dynamic_cast<OverlappedModuleIo*>(io.get()));
    std::unique_ptr<Protocol> protocol(factory.createProtocol(logger));
    EXPECT_NE(nullptr, dynamic_cast<ByteProtocol*>(protocol.get()));
}

// A whole serial connection over a pseudo-terminal: the test holds the
// module's end.
TEST(ConcreteFactory, SerialConnectionCarriesPacketsBothWays)
{
    int module = -1;
    int device = -1;
    char name[256];
    ASSERT_EQ(0, openpty(&module, &device, name, nullptr, nullptr));

    RecordingLogger logger;
    ConcreteFactory factory;
    PacketWaiter packets;
    {
        UartIo io(logger, factory);
        ASSERT_EQ(0, io.open(name, packets.sink()));
        ASSERT_TRUE(io.is_ready());

        const Bytes reply = frame(hex("10 02 7d 7e"));
        const Bytes data = frame(hex("50 26 fe 75 23 01"));
        Bytes both = reply;
        both.insert(both.end(), data.begin(), data.end());
        ASSERT_EQ(static_cast<ssize_t>(both.size()), ::write(module, both.data(), both.size()));
        EXPECT_EQ((std::vector<Bytes> { hex("10 02 7d 7e"), hex("50 26 fe 75 23 01") }), packets.wait_for(2));

        const Bytes ping = frame(hex("01"));
        io.write(ping, std::chrono::seconds(2));
        EXPECT_EQ(ping, read_exactly(module, ping.size()));
        io.close();
        EXPECT_FALSE(io.is_ready());
    }
    ::close(device);
    ::close(module);
    EXPECT_TRUE(logger.errors().empty());
}
