// The communicator over the real connection (UartIo with the reader and
// writer threads) to the simulated module, through a loopback TCP socket and
// through a pseudo-terminal opened as a serial port.
#include "link/ConcreteFactory.hpp"
#include "link/RadarCommunicator.hpp"
#include "link/TcpIpFactory.hpp"
#include "link/UartIo.hpp"
#include "support/RadarCommunicatorProbe.hpp"
#include "support/RecordingLogger.hpp"
#include "support/TestSupport.hpp"

#include "simmodule/SimModule.hpp"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using simmodule::DataSource;
using simmodule::Rule;
using simmodule::SimModule;
using simmodule::Transport;
using testsupport::hex;
using testsupport::RecordingLogger;

// Commands go out framed by the test's own reference framer, so the module's
// record of what it received checks the exact bytes on the wire.
Bytes framed(const Bytes& payload)
{
    return testsupport::frame(payload);
}

// Counts packets seen by a callback and lets the test wait for a number.
class Counter {
public:
    void add()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++count_;
        }
        changed_.notify_all();
    }
    bool wait_for(int n)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 10s, [&] { return count_ >= n; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int count_ = 0;
};

class RadarCommunicatorTransportTest : public ::testing::TestWithParam<Transport> {
protected:
    RadarCommunicatorTransportTest()
        : module(GetParam())
    {
        if (GetParam() == Transport::Tcp)
            factory = std::make_unique<TcpIpFactory>(htonl(INADDR_LOOPBACK), htons(module.tcp_port()));
        else
            factory = std::make_unique<ConcreteFactory>();
        io = std::make_unique<UartIo>(logger, *factory);
        communicator = std::make_unique<RadarCommunicator>(*io, *factory, logger);
        EXPECT_EQ(0, communicator->open(GetParam() == Transport::Tcp ? "module" : module.pty_path()));
        EXPECT_TRUE(module.wait_for_connected(10s));
    }

    ~RadarCommunicatorTransportTest() override
    {
        communicator.reset();
        io.reset();
        EXPECT_TRUE(module.errors().empty());
    }

    RecordingLogger logger;
    SimModule module;
    std::unique_ptr<AbstractFactory> factory;
    std::unique_ptr<UartIo> io;
    std::unique_ptr<RadarCommunicator> communicator;
};

TEST_P(RadarCommunicatorTransportTest, RequestGoesOutExactlyAndTheReplyIsMatchedByPrefix)
{
    // Both ways carry the bytes that framing must escape.
    const Bytes command = hex("01 7d 7e 7f 00");
    const Bytes reply = hex("11 01 7e 7d 7f 7f");
    module.add_rule(Rule(hex("01")).reply(hex("50 01 02")).reply(hex("20 05 00 00 00")).reply(reply));
    EXPECT_EQ(reply, communicator->send(2, framed(command), hex("11 01")));
    EXPECT_EQ((std::vector<Bytes> { command }), module.received());
    EXPECT_EQ(0u, module.framing_errors());

    // A module error is an answer when its prefix is asked for.
    module.add_rule_first(Rule(hex("02")).error(9));
    EXPECT_EQ(hex("20 09 00 00 00"),
        communicator->send(2, framed(hex("02")), std::vector<Bytes> { hex("10"), hex("20") }));
}

TEST_P(RadarCommunicatorTransportTest, SilentModuleTimesOutAtOnceWithTimeoutZero)
{
    const auto start = std::chrono::steady_clock::now();
    try {
        communicator->send(0, framed(hex("05")), hex("10"));
        FAIL() << "no timeout";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("Timeout waiting for response\n", e.what());
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_TRUE(module.wait_for_received(1, 10s));
}

TEST_P(RadarCommunicatorTransportTest, StaleReplyIsDroppedAndTheNextRequestGetsItsOwn)
{
    module.add_rule(Rule(hex("02")).after(20ms).reply(hex("11 02")));
    module.add_rule(Rule(hex("03")).reply(hex("11 03")));
    communicator->subscribe("replies", hex("11"));
    EXPECT_THROW(communicator->send(0, framed(hex("02")), hex("11")), std::runtime_error);
    // The late reply has been routed once the named queue has it.
    EXPECT_EQ(hex("11 02"), communicator->get_packet("replies"));
    EXPECT_EQ(hex("11 03"), communicator->send(2, framed(hex("03")), hex("11")));
}

TEST_P(RadarCommunicatorTransportTest, ThousandAndOnePacketsLeaveTheNewestThousandInTheQueue)
{
    const auto packet = [](uint64_t index) {
        return Bytes { 0x50, 0x01, static_cast<uint8_t>(index >> 8), static_cast<uint8_t>(index) };
    };
    Counter routed;
    std::atomic<bool> on_caller_thread { false };
    const std::thread::id caller = std::this_thread::get_id();
    communicator->subscribe("data", hex("50 01"));
    communicator->subscribe(
        "~count",
        [&](Bytes) {
            on_caller_thread = on_caller_thread || std::this_thread::get_id() == caller;
            routed.add();
            return true;
        },
        hex("50 01"));
    module.send_burst(DataSource::generate(packet), 1001);
    // "data" comes before "~count" in name order, so once the counter has
    // seen the last packet the queue has it too.
    ASSERT_TRUE(routed.wait_for(1001));
    EXPECT_FALSE(on_caller_thread);
    EXPECT_EQ(1000, communicator->get_number_of_packets("data"));
    EXPECT_EQ(packet(1), communicator->get_packet("data"));
    EXPECT_EQ(999, communicator->get_number_of_packets("data"));
    // The callback uses this test's locals.
    communicator.reset();
}

TEST_P(RadarCommunicatorTransportTest, ThrowingCallbackDoesNotStopTheConnection)
{
    communicator->subscribe(
        "a", [](Bytes) -> bool { throw std::runtime_error("handler failed"); }, hex("50"));
    communicator->subscribe("b", hex("50"));
    module.send_packet(hex("50 01"));
    module.send_packet(hex("50 02"));
    EXPECT_EQ(hex("50 01"), communicator->get_packet("b"));
    EXPECT_EQ(hex("50 02"), communicator->get_packet("b"));
    module.add_rule(Rule(hex("01")).ack());
    EXPECT_EQ(hex("10"), communicator->send(2, framed(hex("01")), hex("10")));
    EXPECT_EQ(2, logger.count("exception from the callback of subscription \"a\": handler failed"));
}

TEST_P(RadarCommunicatorTransportTest, DestructionWakesAWaitingReaderAndClosesTheLink)
{
    communicator->subscribe("data", hex("50"));
    module.start_stream("other", DataSource::fixed(hex("51 00")), 2000);
    auto waiting = std::async(std::launch::async, [&] { return communicator->get_packet("data"); });
    ASSERT_TRUE(RadarCommunicatorProbe::wait_for_queue_holder(*communicator, "data"));
    communicator.reset();
    EXPECT_EQ(Bytes {}, waiting.get());
    EXPECT_FALSE(io->is_ready());
    if (GetParam() == Transport::Tcp) {
        EXPECT_TRUE(module.wait_for_disconnected(10s));
    }
}

INSTANTIATE_TEST_SUITE_P(Transports, RadarCommunicatorTransportTest,
    ::testing::Values(Transport::Tcp, Transport::Pty),
    [](const ::testing::TestParamInfo<Transport>& param_info) {
        return std::string(param_info.param == Transport::Tcp ? "Tcp" : "Pty");
    });

// The one test that waits out a real timeout: a second, as the unit is.
TEST(RadarCommunicatorTimeout, WaitsTheWholeTimeoutOnTheSteadyClock)
{
    RecordingLogger logger;
    SimModule module(Transport::Tcp);
    TcpIpFactory factory(htonl(INADDR_LOOPBACK), htons(module.tcp_port()));
    UartIo io(logger, factory);
    RadarCommunicator communicator(io, factory, logger);
    ASSERT_EQ(0, communicator.open("module"));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(communicator.send(1, framed(hex("05")), hex("10")), std::runtime_error);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 1s);
    EXPECT_LT(waited, 3s);
}

} // namespace
