#include <linkwell/Transport.hpp>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>

#include "common/UniqueLocked.hpp"
#include "support/SimulatedConnection.hpp"
#include "support/TestSupport.hpp"

namespace {

using simmodule::Rule;
using testsupport::Bytes;
using testsupport::eventually;

using Clock = std::chrono::steady_clock;

// The transport on a connection to the simulated module, locked as the
// connector locks it.
struct TransportOnModule : testing::Test {
    testsupport::SimulatedConnection simulated;
    UniqueLocked<RadarInterface, std::recursive_mutex> connection { &simulated.radar(), false };
    Sarvik::Transport transport { connection };

    simmodule::SimModule& module() { return simulated.module(); }

    // Sends the packets from the module and waits until all have been routed.
    void deliver(const std::vector<Bytes>& packets)
    {
        for (const auto& packet : packets)
            module().send_packet(packet);
        simulated.settle();
    }
};

// The packets the test sent, without the markers that settle() sends.
std::vector<Bytes> without_markers(std::vector<Bytes> packets)
{
    packets.erase(std::remove_if(packets.begin(), packets.end(),
                      [](const Bytes& p) { return p.size() >= 2 && p[0] == 0xEE && p[1] == 0x5E; }),
        packets.end());
    return packets;
}

TEST_F(TransportOnModule, QueuesAndCallbacksReceiveEveryPacketThatBeginsWithThePrefix)
{
    const Bytes ack { 0x10 };
    const Bytes error { 0x20, 0x05, 0x00, 0x00, 0x00 };
    const Bytes presence { 0x50, 0x1E, 0x01 };
    const Bytes other_presence { 0x50, 0x1F, 0x02 };
    const Bytes presence_again { 0x50, 0x1E, 0x03 };
    const std::vector<Bytes> sent { ack, presence, error, other_presence, presence_again, { 0x50 } };
    const struct {
        const char* name;
        Bytes prefix;
        std::vector<Bytes> received;
    } cases[] = {
        { "two bytes", { 0x50, 0x1E }, { presence, presence_again } },
        { "empty: every packet", {}, sent },
        { "whole packet", presence, { presence } },
        { "longer than every packet", { 0x50, 0x1E, 0x01, 0x00 }, {} },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::mutex mutex;
        std::vector<Bytes> called;
        EXPECT_EQ(0, transport.subscribe("client queue", c.prefix));
        EXPECT_EQ(0, transport.subscribe("client callback", c.prefix, [&](Bytes packet) {
            std::lock_guard<std::mutex> lock(mutex);
            called.push_back(std::move(packet));
            return false; // ignored
        }));
        deliver(sent);

        std::vector<Bytes> queued;
        while (transport.get_number_of_packets("client queue") > 0)
            queued.push_back(transport.get_packet("client queue"));
        EXPECT_EQ(c.received, without_markers(queued));
        transport.unsubscribe("client callback");
        std::lock_guard<std::mutex> lock(mutex);
        EXPECT_EQ(c.received, without_markers(called));
    }
}

TEST_F(TransportOnModule, SubscribingUnderANameInUseReplacesItsQueueAndPackets)
{
    transport.subscribe("client", { 0x50, 0x1E });
    deliver({ { 0x50, 0x1E, 0x01 } });
    ASSERT_EQ(1, transport.get_number_of_packets("client"));
    transport.subscribe("client", { 0x50, 0x1F });
    EXPECT_EQ(0, transport.get_number_of_packets("client"));
    deliver({ { 0x50, 0x1E, 0x02 }, { 0x50, 0x1F, 0x03 } });
    EXPECT_EQ((Bytes { 0x50, 0x1F, 0x03 }), transport.get_packet("client"));
    EXPECT_EQ(0, transport.get_number_of_packets("client"));
}

TEST_F(TransportOnModule, AQueueKeepsItsLatestThousandPackets)
{
    transport.subscribe("client", { 0x50, 0x77 });
    module().send_burst(simmodule::DataSource::generate([](uint64_t i) {
        return Bytes { 0x50, 0x77, static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8) };
    }),
        1001);
    ASSERT_TRUE(module().wait_until_sent(std::chrono::seconds(10)));
    simulated.settle();
    EXPECT_EQ(1000, transport.get_number_of_packets("client"));
    EXPECT_EQ((Bytes { 0x50, 0x77, 0x01, 0x00 }), transport.get_packet("client"));
    transport.clear("client");
    EXPECT_EQ(0, transport.get_number_of_packets("client"));
}

TEST_F(TransportOnModule, UnknownNamesGiveNothingAtOnce)
{
    transport.subscribe("gone", { 0x50 });
    deliver({ { 0x50, 0x01 } });
    transport.unsubscribe("gone");
    for (const char* name : { "never subscribed", "gone" }) {
        SCOPED_TRACE(name);
        const auto start = Clock::now();
        EXPECT_EQ(Bytes {}, transport.get_packet(name));
        EXPECT_EQ(0, transport.get_number_of_packets(name));
        transport.clear(name);
        transport.unsubscribe(name);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
    }
}

TEST_F(TransportOnModule, RequestsFrameThePayloadAndTakeTheFirstMatchingReply)
{
    module().add_rule(Rule({ 0x42, 0x01 }).reply({ 0x11, 0x99 }).reply({ 0x11, 0x42, 0x07 }));
    module().add_rule(Rule({ 0x42, 0x02 }).error(9).reply({ 0x11, 0x42, 0x08 }));
    EXPECT_EQ((Bytes { 0x11, 0x42, 0x07 }), transport.send_command_single({ 0x42, 0x01 }, { 0x11, 0x42 }));
    EXPECT_EQ((Bytes { 0x20, 0x09, 0x00, 0x00, 0x00 }),
        transport.send_command_multi({ 0x42, 0x02 }, { { 0x11, 0x42 }, { 0x20 } }));
    ASSERT_EQ(2u, module().received_count());
    EXPECT_EQ((Bytes { 0x42, 0x01 }), module().received_at(0));
    EXPECT_EQ((Bytes { 0x42, 0x02 }), module().received_at(1));

    // Raw bytes reach the module unchanged and nothing is awaited: a frame
    // built by hand arrives as its payload, bytes that frame nothing as
    // stray bytes.
    module().add_rule(Rule({ 0x43 }));
    EXPECT_EQ(0, transport.send_command(testsupport::frame({ 0x43, 0x7E })));
    ASSERT_TRUE(module().wait_for_received(3, std::chrono::seconds(5)));
    EXPECT_EQ((Bytes { 0x43, 0x7E }), module().received_at(2));
    EXPECT_EQ(0, transport.send_command({ 0x01, 0x02 }));
    EXPECT_TRUE(eventually([&] { return module().framing_errors() > 0; }));
}

TEST_F(TransportOnModule, ARequestWithoutAReplyThrowsAfterTheConnectionsTimeout)
{
    simulated.radar().set_default_timeout(1);
    const auto start = Clock::now();
    try {
        transport.send_command_single({ 0x42, 0x03 }, { 0x11 });
        ADD_FAILURE() << "no timeout";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("Timeout waiting for response\n", e.what());
    }
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(950));
}

TEST_F(TransportOnModule, OnAClosedConnectionNothingIsSentAndNothingWaits)
{
    transport.subscribe("client", { 0x50 });
    simulated.radar().close();
    const auto start = Clock::now();
    EXPECT_EQ(Bytes {}, transport.send_command_single({ 0x42 }, { 0x11 }));
    EXPECT_EQ(Bytes {}, transport.send_command_multi({ 0x42 }, { { 0x11 } }));
    EXPECT_EQ(0, transport.send_command(testsupport::frame({ 0x42 })));
    EXPECT_EQ(Bytes {}, transport.get_packet("client"));
    EXPECT_EQ(0, transport.subscribe("later", {}));
    EXPECT_EQ(0, transport.get_number_of_packets("later"));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(0u, module().received_count());
}

// A queue read holds the connection's lock while it waits, so every other
// call waits for it; the packet that ends the read lets them go on.
TEST_F(TransportOnModule, AWaitingReadHoldsTheConnectionUntilAPacketComes)
{
    transport.subscribe("client", { 0x50 });
    auto read = std::async(std::launch::async, [&] { return transport.get_packet("client"); });
    ASSERT_TRUE(eventually([&] {
        // The read has the lock once another thread can no longer take it.
        return !connection.try_locked([](RadarInterface&) {});
    }));
    auto count = std::async(std::launch::async, [&] { return transport.get_number_of_packets("client"); });
    EXPECT_EQ(std::future_status::timeout, count.wait_for(std::chrono::milliseconds(100)));

    module().send_packet({ 0x50, 0x2A });
    ASSERT_EQ(std::future_status::ready, read.wait_for(std::chrono::seconds(10)));
    EXPECT_EQ((Bytes { 0x50, 0x2A }), read.get());
    ASSERT_EQ(std::future_status::ready, count.wait_for(std::chrono::seconds(10)));
    EXPECT_EQ(0, count.get());
}

} // namespace
