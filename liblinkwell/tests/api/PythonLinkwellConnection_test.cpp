// The value-returning connector's own methods over the simulated module:
// open (which throws when the device does not open) and close, log level,
// reply timeout, the objects it hands out, its recorder across every open,
// and calls of other threads that hold the connection while it is closed,
// opened or destroyed.
#include <linkwell/PythonLinkwell.hpp>
#include <linkwell/SarvikException.hpp>
#include <linkwell/protocol_framing.h>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <future>
#include <memory>

#include "simmodule/SimModule.hpp"
#include "support/ByteDataRecording.hpp"
#include "support/ConnectorChecks.hpp"
#include "support/HeldConnection.hpp"
#include "support/StdoutCapture.hpp"
#include "support/TestSupport.hpp"
#include "support/WorkingDirectory.hpp"

namespace {

using Sarvik::PythonLinkwell;
using Sarvik::SarvikException;
using simmodule::Rule;
using simmodule::SimModule;
using testsupport::ByteDataRecording;
using testsupport::Bytes;
using testsupport::missing_port;
using testsupport::probe;
using testsupport::probe_reply;
using testsupport::probe_reply_prefix;
using testsupport::TempDir;
using testsupport::WorkingDirectory;

using Clock = std::chrono::steady_clock;

// The connector logs to the console and a debug file in the working
// directory: a directory of the test's own. The tests run at level 0, which
// writes little.
struct PythonLinkwellTest : testing::Test {
    WorkingDirectory dir;
};

// A connector on the simulated module over TCP.
struct PythonLinkwellOnModule : PythonLinkwellTest {
    SimModule module { simmodule::Transport::Tcp };
    std::unique_ptr<PythonLinkwell> connector = make_connector();

    std::unique_ptr<PythonLinkwell> make_connector()
    {
        module.add_rule(Rule(probe).reply(probe_reply));
        return std::make_unique<PythonLinkwell>(htonl(INADDR_LOOPBACK), htons(module.tcp_port()), 0);
    }
    Sarvik::Transport& transport() { return connector->get_transport(); }
};

// What the constructor with a log level alone leaves untouched: the port
// stays free for others until open names it.
TEST_F(PythonLinkwellTest, OnlyALogLevelOpensNothingUntilOpenIsCalled)
{
    SimModule module(simmodule::Transport::Pty);
    module.add_rule(Rule(probe).reply(probe_reply));
    PythonLinkwell connector(0);
    {
        PythonLinkwell other(module.pty_path(), 0);
        EXPECT_EQ(probe_reply, other.get_transport().send_command_single(probe, probe_reply_prefix));
    }

    connector.open(module.pty_path());
    EXPECT_EQ(probe_reply, connector.get_transport().send_command_single(probe, probe_reply_prefix));
    // The port is the connector's alone now.
    EXPECT_THROW(PythonLinkwell(module.pty_path(), 0), std::runtime_error);
}

// An open that fails throws "method failed" with the transport's code (the
// system's for a serial port) and leaves the connection closed; a later
// open may succeed.
TEST_F(PythonLinkwellTest, AnOpenThatFailsThrowsMethodFailedWithItsCode)
{
    SimModule serial(simmodule::Transport::Pty);
    serial.add_rule(Rule(probe).reply(probe_reply));
    SimModule tcp(simmodule::Transport::Tcp);
    PythonLinkwell on_serial(serial.pty_path(), 0);
    PythonLinkwell on_tcp(htonl(INADDR_LOOPBACK), htons(tcp.tcp_port()), 0);

    const struct {
        const char* name;
        PythonLinkwell& connector;
        std::function<void()> break_device;
        std::string device;
        int code;
    } cases[] = {
        { "serial port that does not exist", on_serial, [] {}, missing_port, ENOENT },
        { "TCP module gone", on_tcp, [&] { tcp.stop(); }, "again", -1 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.break_device();
        try {
            c.connector.open(c.device);
            ADD_FAILURE() << "no exception";
        } catch (const SarvikException& e) {
            EXPECT_STREQ("method failed", e.what());
            EXPECT_EQ(c.code, e.code);
        }
    }

    // The serial port it had open before is free again.
    {
        PythonLinkwell other(serial.pty_path(), 0);
        EXPECT_EQ(probe_reply, other.get_transport().send_command_single(probe, probe_reply_prefix));
    }
    on_serial.open(serial.pty_path());
    EXPECT_EQ(probe_reply, on_serial.get_transport().send_command_single(probe, probe_reply_prefix));
}

TEST_F(PythonLinkwellOnModule, CloseAnswersEveryRequestAtOnceAndOpenStartsAfresh)
{
    transport().subscribe("client", { 0x50 });
    connector->close();
    ASSERT_TRUE(module.wait_for_disconnected(std::chrono::seconds(10)));
    const auto start = Clock::now();
    EXPECT_EQ(Bytes {}, transport().send_command_single(probe, probe_reply_prefix));
    EXPECT_EQ(Bytes {}, transport().get_packet("client"));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
    connector->close();

    // The name is not used by TCP. Subscriptions made before are gone; the
    // presence queues of the model objects are back.
    connector->open("again");
    ASSERT_TRUE(module.wait_for_connection_count(2, std::chrono::seconds(10)));
    module.send_packet({ 0x50, 0x1E });
    EXPECT_EQ(probe_reply, transport().send_command_single(probe, probe_reply_prefix));
    EXPECT_EQ(0, transport().get_number_of_packets("client"));
    EXPECT_EQ(0, connector->get_osprey().peek_message_presence_single());

    // Open on an open connection closes it first.
    connector->open("and again");
    ASSERT_TRUE(module.wait_for_connection_count(3, std::chrono::seconds(10)));
    EXPECT_EQ(probe_reply, transport().send_command_single(probe, probe_reply_prefix));
}

TEST_F(PythonLinkwellOnModule, TheReplyTimeoutLogLevelAndProtocolRevision)
{
    // One second instead of two, for every later command.
    connector->set_default_timeout(1);
    const auto start = Clock::now();
    try {
        connector->get_osprey().ping();
        ADD_FAILURE() << "a silent module answered";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("Timeout waiting for response\n", e.what());
    }
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(950));
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1900));

    const std::string lines = testsupport::stdout_of([&] {
        transport().clear("quiet");
        connector->set_log_level(5);
        transport().clear("loud");
        connector->set_log_level(0);
    });
    EXPECT_EQ(lines.find(" : clear -- begin\n"), lines.rfind(" : clear -- begin\n")) << lines;
    EXPECT_NE(std::string::npos, lines.find(" : clear -- begin\n"));
    EXPECT_EQ(get_radar_com_version(), connector->git_sha());
}

TEST_F(PythonLinkwellOnModule, TheAccessorsHandOutTheConnectorsOwnObjects)
{
    testsupport::expect_own_objects(*connector, module);
}

// A queue read waits without a time limit and holds the connection's lock
// meanwhile. Closing, opening or destroying the connector from another
// thread must not wait for it for ever: the read is woken with an empty
// packet.
TEST_F(PythonLinkwellOnModule, CloseOpenAndDestructionWakeAReadThatHoldsTheConnection)
{
    const struct {
        const char* name;
        std::function<void(std::unique_ptr<PythonLinkwell>&)> action;
    } cases[] = {
        { "close", [](std::unique_ptr<PythonLinkwell>& c) { c->close(); } },
        { "open", [](std::unique_ptr<PythonLinkwell>& c) { c->open("again"); } },
        { "destruction", [](std::unique_ptr<PythonLinkwell>& c) { c.reset(); } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(
            testsupport::expect_action_wakes_a_held_read<PythonLinkwell>(connector, c.action));
        if (connector) {
            connector->open("again");
            EXPECT_EQ(probe_reply, transport().send_command_single(probe, probe_reply_prefix));
        }
    }
}

// Every open gives the connection a new communicator, which has none of the
// recorder's subscriptions: the connector renews them. Destroying the
// connector ends the recording with a complete session.
TEST_F(PythonLinkwellTest, RecordingGoesOnAcrossEveryOpenAndClose)
{
    SimModule module(simmodule::Transport::Pty);
    TempDir recordings;
    std::unique_ptr<ByteDataRecording<PythonLinkwell>> recording;
    {
        PythonLinkwell connector(0);
        recording = std::make_unique<ByteDataRecording<PythonLinkwell>>(module, connector, recordings.path());
        connector.open(module.pty_path());
        recording->send(module, connector, 4);
        connector.close();
        EXPECT_THROW(connector.open(missing_port), SarvikException);
        connector.open(module.pty_path());
        recording->send(module, connector, 4);
        connector.open(module.pty_path());
        recording->send(module, connector, 4);
    }
    EXPECT_EQ(recording->sent(), recording->recorded());
}

} // namespace
