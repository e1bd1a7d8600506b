// The connector's own methods over the simulated module: open and close,
// log level, reply timeout, the objects it hands out, and calls of other
// threads that hold the connection while it is closed, opened or destroyed.
#include <linkwell/Linkwell.hpp>
#include <linkwell/protocol_framing.h>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>
#include <future>
#include <memory>

#include "simmodule/SimModule.hpp"
#include "support/ConnectorChecks.hpp"
#include "support/HeldConnection.hpp"
#include "support/LineSink.hpp"
#include "support/TestSupport.hpp"

namespace {

using Sarvik::Linkwell;
using simmodule::Rule;
using simmodule::SimModule;
using testsupport::Bytes;
using testsupport::LineSink;
using testsupport::probe;
using testsupport::probe_reply;
using testsupport::probe_reply_prefix;

using Clock = std::chrono::steady_clock;

// A connector on the simulated module over TCP, logging into a sink.
struct ConnectorOnModule : testing::Test {
    SimModule module { simmodule::Transport::Tcp };
    std::shared_ptr<LineSink::Record> log = std::make_shared<LineSink::Record>();
    std::unique_ptr<Linkwell> connector = make_connector();

    std::unique_ptr<Linkwell> make_connector()
    {
        module.add_rule(Rule(probe).reply(probe_reply));
        return std::make_unique<Linkwell>(
            htonl(INADDR_LOOPBACK), htons(module.tcp_port()), 5, new LineSink(log));
    }
    Sarvik::Transport& transport() { return connector->get_transport(); }
};

TEST(LinkwellOpen, AnEmptyPortNameOpensNothingUntilOpenIsCalled)
{
    SimModule module(simmodule::Transport::Pty);
    module.add_rule(Rule(probe).reply(probe_reply));
    auto log = std::make_shared<LineSink::Record>();
    Linkwell connector("", 5, new LineSink(log));
    EXPECT_FALSE(log->has("open -- begin"));

    // A port that does not exist: the system's error code, nothing thrown.
    EXPECT_EQ(ENOENT, connector.open("/dev/linkwell-test-no-such-port"));
    EXPECT_TRUE(log->has("module_io::open returned error"));
    EXPECT_EQ(0, connector.open(module.pty_path()));
    EXPECT_EQ(probe_reply, connector.get_transport().send_command_single(probe, probe_reply_prefix));
}

TEST_F(ConnectorOnModule, CloseAnswersEveryRequestAtOnceAndOpenStartsAfresh)
{
    transport().subscribe("client", { 0x50 });
    connector->close();
    ASSERT_TRUE(module.wait_for_disconnected(std::chrono::seconds(10)));
    const auto start = Clock::now();
    EXPECT_EQ(Bytes {}, transport().send_command_single(probe, probe_reply_prefix));
    EXPECT_EQ(Bytes {}, transport().get_packet("client"));
    EXPECT_EQ(1, connector->get_osprey().ping(nullptr));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
    connector->close();

    // The name is not used by TCP. Subscriptions made before are gone.
    EXPECT_EQ(0, connector->open("again"));
    ASSERT_TRUE(module.wait_for_connection_count(2, std::chrono::seconds(10)));
    module.send_packet({ 0x50, 0x1E });
    EXPECT_EQ(probe_reply, transport().send_command_single(probe, probe_reply_prefix));
    EXPECT_EQ(0, transport().get_number_of_packets("client"));

    // Open on an open connection closes it first.
    EXPECT_EQ(0, connector->open("and again"));
    ASSERT_TRUE(module.wait_for_connection_count(3, std::chrono::seconds(10)));
    EXPECT_EQ(probe_reply, transport().send_command_single(probe, probe_reply_prefix));
}

TEST_F(ConnectorOnModule, TheReplyTimeoutAppliesToEveryLaterCommand)
{
    connector->set_default_timeout(3);
    uint32_t pong = 0;
    const auto start = Clock::now();
    EXPECT_EQ(1, connector->get_osprey().ping(&pong));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(2950));
    EXPECT_TRUE(log->has("Timeout waiting for response"));
}

TEST_F(ConnectorOnModule, SetLogLevelAndTheProtocolRevision)
{
    connector->set_log_level(0);
    transport().clear("quiet");
    connector->set_log_level(5);
    transport().clear("loud");
    const auto texts = log->texts();
    EXPECT_EQ(1, std::count(texts.begin(), texts.end(), "clear -- begin"));
    EXPECT_EQ(get_radar_com_version(), connector->git_sha());
}

TEST_F(ConnectorOnModule, TheAccessorsHandOutTheConnectorsOwnObjects)
{
    testsupport::expect_own_objects(*connector, module);
}

// A queue read waits without a time limit and holds the connection's lock
// meanwhile. Closing, opening or destroying the connector from another
// thread must not wait for it for ever: the read is woken with an empty
// packet.
TEST_F(ConnectorOnModule, CloseOpenAndDestructionWakeAReadThatHoldsTheConnection)
{
    const struct {
        const char* name;
        std::function<void(std::unique_ptr<Linkwell>&)> action;
    } cases[] = {
        { "close", [](std::unique_ptr<Linkwell>& c) { c->close(); } },
        { "open", [](std::unique_ptr<Linkwell>& c) { EXPECT_EQ(0, c->open("again")); } },
        { "destruction", [](std::unique_ptr<Linkwell>& c) { c.reset(); } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!connector)
            connector = make_connector();
        ASSERT_NO_FATAL_FAILURE(testsupport::expect_action_wakes_a_held_read<Linkwell>(connector, c.action));
        if (connector) {
            EXPECT_EQ(0, connector->open("again"));
            EXPECT_EQ(probe_reply, transport().send_command_single(probe, probe_reply_prefix));
        }
    }
}

} // namespace
