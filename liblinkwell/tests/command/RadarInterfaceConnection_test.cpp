// The connection object's life: construction, open, close, reopen, reset and
// destruction, over the simulated module on loopback TCP and on a
// pseudo-terminal.
#include "command/RadarInterface.hpp"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>

#include "common/UniqueLocked.hpp"
#include "link/ConcreteFactory.hpp"
#include "link/ModuleIo.hpp"
#include "link/TcpIpFactory.hpp"
#include "link/UartIo.hpp"
#include "simmodule/Messages.hpp"
#include "support/LogChecks.hpp"
#include "support/MessagePackets.hpp"
#include "support/RecordingLogger.hpp"
#include "support/SimulatedConnection.hpp"
#include <linkwell/SarvikException.hpp>
#include <linkwell/protocol_framing.h>

namespace {

using simmodule::Rule;
using simmodule::Transport;
using testsupport::dump;
using testsupport::logged_at;
using testsupport::logged_error;
using testsupport::SimulatedConnection;
using Start = SimulatedConnection::Start;
using namespace std::chrono_literals;
namespace packets = testsupport::packets;

// The position of the first line with exactly this text at or after `from`;
// npos when there is none.
size_t find_line(const std::vector<std::string>& lines, const std::string& text, size_t from = 0)
{
    for (size_t i = from; i < lines.size(); ++i)
        if (lines[i] == text)
            return i;
    return std::string::npos;
}

// ---- construction -----------------------------------------------------------

class Construction : public ::testing::TestWithParam<Transport> { };

TEST_P(Construction, LogsTheCodecVersionSubscribesAndOpensInOrder)
{
    SimulatedConnection connection(GetParam());
    const auto lines = connection.log().texts();

    const size_t begin = find_line(lines, "RadarInterface - base -- begin");
    const size_t trace = find_line(lines, "log_trace -- begin", begin);
    const size_t sha = find_line(lines, std::string("git sha: ") + get_radar_com_version(), trace);
    const size_t date = find_line(lines, std::string("build date: ") + get_radar_com_build_date(), sha);
    const size_t first_queue = find_line(lines, "subscribe_to_presence_single -- begin", date);
    const size_t last_queue = find_line(lines, "subscribe_to_radar_baseband_q15 -- end", first_queue);
    const size_t open = find_line(lines, "open -- begin", last_queue);
    const size_t end = find_line(lines, "RadarInterface - base -- end", open);
    EXPECT_NE(std::string::npos, end) << dump(connection.log());
    EXPECT_TRUE(logged_at(connection.log(), 1, std::string("git sha: ") + get_radar_com_version()));
    EXPECT_TRUE(logged_at(connection.log(), 1, std::string("build date: ") + get_radar_com_build_date()));
    EXPECT_TRUE(logged_at(connection.log(), 3, "RadarInterface - base -- begin"));
    EXPECT_TRUE(connection.module().wait_for_connected(5s));
}

INSTANTIATE_TEST_SUITE_P(OverEachTransport, Construction, ::testing::Values(Transport::Tcp, Transport::Pty),
    [](const auto& param_info) { return param_info.param == Transport::Tcp ? "Tcp" : "Pty"; });

TEST(ConstructionWithoutName, SubscribesOnlyTheTraceChannelAndOpensNothing)
{
    SimulatedConnection connection(Transport::Tcp, Start::Unopened);
    auto& radar = connection.radar();
    const auto lines = connection.log().texts();
    EXPECT_NE(std::string::npos, find_line(lines, "log_trace -- begin"));
    for (const auto& line : lines)
        EXPECT_EQ(std::string::npos, line.find("subscribe_to_")) << line;
    EXPECT_EQ(std::string::npos, find_line(lines, "open -- begin"));
    EXPECT_EQ(0u, connection.module().connection_count());

    // open() completes it.
    ASSERT_EQ(0, radar.open(connection.device_name()));
    connection.deliver(packets::vitalsigns_status());
    EXPECT_EQ(1, radar.peek_message_vital_signs());
}

TEST(ConstructionWithBadDevice, ThrowsAndStopsItsThreads)
{
    testsupport::RecordingLogger logger;
    ConcreteFactory factory;
    UartIo io(logger, factory);
    const std::string missing = "/nonexistent/ttyUSB-radar";
    try {
        RadarInterface radar(io, missing, factory, logger);
        FAIL() << "no exception";
    } catch (const Sarvik::SarvikException&) {
        FAIL() << "a SarvikException, not std::runtime_error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(("unable to open file: " + missing).c_str(), e.what());
    }
    // The communicator went with the object: its end of life was logged.
    EXPECT_TRUE(logger.count("~RadarCommunicator -- end") == 1) << dump(logger);
}

// ---- open, close, reopen ------------------------------------------------

class OpenClose : public ::testing::Test {
protected:
    void SetUp() override
    {
        connection.module().add_rule(Rule(simmodule::command::ping()).reply(simmodule::pong_reply(0x1234)));
        connection.module().add_rule(Rule(simmodule::command::module_reset()).ack());
        connection.module().add_rule(Rule({ 0x90, 0x12 }).reply(simmodule::u32_reply(0x12, 77)));
    }

    SimulatedConnection connection;
    RadarInterface& radar = connection.radar();
};

TEST_F(OpenClose, ClosedConnectionAnswersEverythingEmptilyAtOnce)
{
    ASSERT_EQ(0x1234u, radar.ping());
    connection.deliver(packets::vitalsigns_status());
    ASSERT_EQ(1, radar.peek_message_vital_signs());

    radar.close();
    EXPECT_TRUE(connection.module().wait_for_disconnected(5s));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(1u, radar.ping());
    EXPECT_EQ(0, radar.peek_message_vital_signs());
    EXPECT_TRUE(radar.get_packet("vital_signs_subscription_id").empty());
    Sarvik::VitalSignsData record;
    EXPECT_EQ(1, radar.read_message_vital_signs(&record));
    try {
        radar.module_reset();
        FAIL() << "no exception";
    } catch (const Sarvik::SarvikException& e) {
        EXPECT_STREQ("module_reset response from module is empty", e.what());
        EXPECT_EQ(1, e.code);
    }
    try {
        radar.get_z3_int(1);
        FAIL() << "no exception";
    } catch (const Sarvik::SarvikException&) {
        FAIL() << "a parse failure is not a SarvikException";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("parse_reply failed in get_z3_int", e.what());
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_TRUE(connection.log().count("close -- end") == 1);
}

TEST_F(OpenClose, ReopenMakesTheConnectionUsableAgain)
{
    radar.close();
    ASSERT_EQ(0, radar.open(connection.device_name()));
    EXPECT_TRUE(connection.module().wait_for_connection_count(2, 5s));
    EXPECT_EQ(77u, radar.get_z3_int(0x12));
    connection.deliver(packets::vitalsigns_status());
    EXPECT_EQ(1, radar.peek_message_vital_signs());
}

TEST_F(OpenClose, OpenDropsTheCallersSubscriptionsAndKeepsTheStandardQueues)
{
    radar.subscribe("mine", Bytes { 0xA0, 0x10 });
    int callbacks = 0;
    radar.subscribe("my callback", Bytes { 0x30 }, [&](Bytes) { return ++callbacks > 0; });
    connection.deliver(simmodule::byte_data_message(1, 2, { 3 }));
    ASSERT_EQ(1, radar.get_number_of_packets("mine"));

    ASSERT_EQ(0, radar.open(connection.device_name()));
    connection.deliver(simmodule::byte_data_message(1, 2, { 3 }));
    connection.deliver(simmodule::system_status_message(9));
    EXPECT_EQ(0, radar.get_number_of_packets("mine"));
    EXPECT_EQ(0, callbacks);
    EXPECT_EQ(1, radar.peek_message_data_byte());
    EXPECT_EQ(1, radar.peek_message_system());
}

TEST_F(OpenClose, OpenThrowTurnsAFailedOpenIntoMethodFailed)
{
    radar.close();
    connection.module().stop();
    const int result = radar.open(connection.device_name());
    ASSERT_NE(0, result);
    try {
        radar.open_throw(connection.device_name());
        FAIL() << "no exception";
    } catch (const Sarvik::SarvikException& e) {
        EXPECT_STREQ("method failed", e.what());
        EXPECT_EQ(result, e.code);
    }
}

// ---- readers woken by close and destruction -----------------------------

// A caller that holds the connection's mutex while it waits in a queue read,
// as the library's programming interfaces do.
class BlockedReader : public ::testing::Test {
protected:
    // Starts the read on another thread and waits until it has begun.
    template <typename Read> auto start_read(Read read)
    {
        auto result = std::async(std::launch::async, [this, read] {
            std::lock_guard<std::recursive_mutex> lock(connection_mutex);
            return read(connection.radar());
        });
        EXPECT_TRUE(connection.log().wait_for(begin_line));
        return result;
    }

    SimulatedConnection connection;
    std::recursive_mutex connection_mutex;
    std::string begin_line;
};

TEST_F(BlockedReader, CloseWakesAStatusReaderWithAFailure)
{
    begin_line = "read_message_vital_signs -- begin";
    Sarvik::VitalSignsData untouched;
    untouched.frame_counter = 4242;
    auto read = start_read([&](RadarInterface& radar) { return radar.read_message_vital_signs(&untouched); });

    connection.radar().close();
    ASSERT_EQ(std::future_status::ready, read.wait_for(5s));
    EXPECT_EQ(1, read.get());
    EXPECT_EQ(4242u, untouched.frame_counter);
}

TEST_F(BlockedReader, CloseWakesAThrowingReaderWithItsParseError)
{
    begin_line = "get_respiration_data -- begin";
    auto read = start_read([](RadarInterface& radar) {
        try {
            radar.read_message_respiration_legacy();
            return std::string("no exception");
        } catch (const std::runtime_error& e) {
            return std::string(e.what());
        }
    });

    connection.radar().close();
    ASSERT_EQ(std::future_status::ready, read.wait_for(5s));
    EXPECT_EQ("parser error of respiration data get_respiration_data", read.get());
}

TEST_F(BlockedReader, OpenWakesAReaderOfTheOldConnection)
{
    begin_line = "get_trace -- begin";
    auto read = start_read(
        [](RadarInterface& radar) { return radar.get_trace("2588cebf-cbcb-40af-b0ad-37d7e959ae1a"); });

    ASSERT_EQ(0, connection.radar().open(connection.device_name()));
    ASSERT_EQ(std::future_status::ready, read.wait_for(5s));
    EXPECT_EQ("", read.get());
}

TEST_F(BlockedReader, DestructionWakesAReaderAndWaitsForIt)
{
    begin_line = "get_packet -- begin";
    auto read
        = start_read([](RadarInterface& radar) { return radar.get_packet("baseband_iq_subscription_id"); });

    connection.destroy_radar();
    ASSERT_EQ(std::future_status::ready, read.wait_for(5s));
    EXPECT_TRUE(read.get().empty());
    EXPECT_TRUE(connection.log().count("~RadarInterface -- end") == 1);
}

// Every kind of queue read, woken by the destruction: none may touch the
// object once it is gone. The logger is a quiet one, whose filtered lines
// take no lock that would order the two threads for the sanitizers.
TEST(DestructionDuringARead, EveryReaderIsWokenAndTheObjectWaitsForIt)
{
    const std::function<int(RadarInterface&)> reads[] = {
        [](RadarInterface& radar) {
            uint32_t counter = 0;
            double samples[4];
            return radar.get_z7_decim_frame("z7", &counter, samples, 4);
        },
        [](RadarInterface& radar) {
            Sarvik::BasebandIqData out;
            return radar.get_baseband_iq_data("z7", &out);
        },
        [](RadarInterface& radar) { return radar.get_trace("z7").empty() ? 1 : 0; },
    };
    for (const auto& read : reads) {
        StdoutLogger quiet(0, new DefaultLoggerIo(false, false));
        simmodule::SimModule module(Transport::Tcp);
        TcpIpFactory factory(htonl(INADDR_LOOPBACK), htons(module.tcp_port()));
        UartIo io(quiet, factory);
        auto radar = std::make_unique<RadarInterface>(io, "module", factory, quiet);
        ASSERT_EQ(0, radar->subscribe_to_z7_desim("z7"));
        RadarInterface& reading = *radar;
        auto result = std::async(std::launch::async, [&] { return read(reading); });
        std::this_thread::sleep_for(50ms); // into the wait
        radar.reset();
        ASSERT_EQ(std::future_status::ready, result.wait_for(5s));
        EXPECT_EQ(1, result.get());
    }
}

// ---- writes that cannot go out --------------------------------------------

// A TCP "module" that lets the connection in and never reads a byte.
class DeafModule : public ::testing::Test {
protected:
    void SetUp() override
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        // A fixed small buffer on the module's side: once it is full the
        // connection takes nothing more, instead of trickling in as the
        // kernel grows the buffer.
        const int buffer_size = 4096;
        ASSERT_EQ(0, ::setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &buffer_size, sizeof buffer_size));
        ASSERT_EQ(0, ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address));
        ASSERT_EQ(0, ::listen(listener_, 1));
        ASSERT_EQ(0, ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length));
        factory_ = std::make_unique<TcpIpFactory>(address.sin_addr.s_addr, address.sin_port);
        io_ = std::make_unique<UartIo>(logger_, *factory_);
        radar_ = std::make_unique<RadarInterface>(*io_, "module", *factory_, logger_);
    }
    void TearDown() override
    {
        radar_.reset();
        io_.reset();
        ::close(listener_);
    }

    // More than every socket buffer between the two ends can hold.
    const Bytes huge = Bytes(32 << 20, 0x55);
    int listener_ = -1;
    testsupport::RecordingLogger logger_;
    std::unique_ptr<TcpIpFactory> factory_;
    std::unique_ptr<UartIo> io_;
    std::unique_ptr<RadarInterface> radar_;
};

// The write fails once the module has taken nothing for the reply timeout:
// not sooner, and not after a fixed time of its own.
TEST_F(DeafModule, AWriteThatMakesNoProgressFailsWithTheWriteErrorAfterTheReplyTimeout)
{
    radar_->set_default_timeout(1);
    EXPECT_THROW(radar_->send_command(huge), std::runtime_error); // fills every buffer
    // From here on nothing goes out from the start.
    const Bytes block(64 * 1024, 0x55);
    for (const unsigned timeout : { 1u, 3u }) {
        SCOPED_TRACE(timeout);
        radar_->set_default_timeout(timeout);
        const auto start = std::chrono::steady_clock::now();
        try {
            radar_->send_command(block);
            FAIL() << "no exception";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ("Failed to write all bytes to module\n", e.what());
        }
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_GE(took, std::chrono::seconds(timeout));
        EXPECT_LT(took, std::chrono::seconds(timeout) + 800ms);
    }
}

TEST_F(DeafModule, CloseFromAnotherThreadInterruptsABlockedWriteAtOnce)
{
    auto write = std::async(std::launch::async, [this] {
        try {
            radar_->send_command(huge);
            return std::string("no exception");
        } catch (const std::runtime_error& e) {
            return std::string(e.what());
        }
    });
    ASSERT_TRUE(logger_.wait_for("sending: "));
    std::this_thread::sleep_for(50ms); // into the wait for room
    const auto closing = std::chrono::steady_clock::now();
    radar_->close();
    EXPECT_LT(std::chrono::steady_clock::now() - closing, ModuleIo::write_wait);
    ASSERT_EQ(std::future_status::ready, write.wait_for(5s));
    EXPECT_EQ("Failed to write all bytes to module\n", write.get());
}

// An idle connection's reader waits long for data; closing does not wait
// for that read to end. Each module side stays open until the close, so
// that the reader is still waiting.
TEST_F(DeafModule, CloseDoesNotWaitForTheReadersWaitToEnd)
{
    auto fastest = std::chrono::steady_clock::duration::max();
    for (int round = 0; round < 3; ++round) {
        if (round > 0) {
            ASSERT_EQ(0, radar_->open("module")) << dump(logger_);
        }
        const int module = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        ASSERT_GE(module, 0);
        // Well into a read: without the interruption close would wait out
        // the rest of it, about 350 ms.
        std::this_thread::sleep_for(150ms);
        const auto closing = std::chrono::steady_clock::now();
        radar_->close();
        const auto took = std::chrono::steady_clock::now() - closing;
        ::close(module);
        fastest = std::min(fastest, took);
        EXPECT_LT(took, 1s);
    }
    // The best of three, so that one stall of a loaded machine does not count.
    EXPECT_LT(fastest, 200ms);
}

// Nothing can be sent on a connection whose open failed: the raw send says
// so instead of returning success. Requests keep timing out.
TEST(SendOnAFailedOpen, RawSendFailsAndRequestsTimeOut)
{
    testsupport::RecordingLogger logger;
    ConcreteFactory factory;
    UartIo io(logger, factory);
    RadarInterface radar(io, "", factory, logger);
    ASSERT_NE(0, radar.open("/nonexistent/ttyUSB-radar"));
    try {
        radar.send_command(Bytes { 0x7D, 0x01, 0x7E });
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("Failed to write all bytes to module\n", e.what());
    }
    radar.set_default_timeout(0);
    EXPECT_THROW(radar.send_command_single(Bytes { 0x01 }, Bytes { 0x11 }), std::runtime_error);
    EXPECT_EQ(1, logger.count("Timeout waiting for response")) << dump(logger);
}

// ---- calls from a subscription callback ------------------------------------

// Callbacks run on the connection's dispatcher thread. Closing, reopening or
// destroying the connection there returns (the dispatcher's own thread is
// joined later), and no callback of the old connection runs afterwards.
TEST(FromACallback, CloseReopenAndDestructionReturnAndEndTheCallbacks)
{
    enum class Action { close, reopen, destroy };
    for (Action action : { Action::close, Action::reopen, Action::destroy }) {
        SCOPED_TRACE(static_cast<int>(action));
        SimulatedConnection connection;
        connection.module().add_rule(Rule(simmodule::command::ping()).reply(simmodule::pong_reply(7)));
        std::atomic<int> calls { 0 };
        std::promise<void> acted;
        connection.radar().subscribe("cb", Bytes { 0x50 }, [&](Bytes) {
            if (++calls > 1)
                return true;
            if (action == Action::close)
                connection.radar().close();
            else if (action == Action::reopen)
                connection.radar().open(connection.device_name());
            else
                connection.destroy_radar();
            acted.set_value();
            return true;
        });
        connection.module().send_packet(packets::vitalsigns_status());
        ASSERT_EQ(std::future_status::ready, acted.get_future().wait_for(5s)) << "deadlocked";

        connection.module().send_packet(packets::vitalsigns_status());
        if (action == Action::reopen) {
            EXPECT_EQ(7u, connection.radar().ping());
            connection.settle();
        } else {
            std::this_thread::sleep_for(50ms); // nobody listens any more
        }
        EXPECT_EQ(1, calls.load());
    }
}

// A request inside a callback cannot be answered (its reply would be routed
// by the very thread that waits): it fails at once. A queue read there
// takes what is queued and does not wait.
TEST(FromACallback, RequestsFailAtOnceAndQueueReadsDoNotWait)
{
    SimulatedConnection connection;
    RadarInterface& radar = connection.radar();
    radar.subscribe("empty", Bytes { 0xEE, 0xEE });
    std::promise<std::string> outcome;
    radar.subscribe("cb", Bytes { 0x50 }, [&](Bytes) {
        const auto start = std::chrono::steady_clock::now();
        std::string what = "no exception";
        try {
            radar.ping();
        } catch (const std::runtime_error& e) {
            what = e.what();
        }
        const bool quick = std::chrono::steady_clock::now() - start < 1s;
        const bool empty = radar.get_packet("empty").empty();
        outcome.set_value(what + (quick ? "" : " (slow)") + (empty ? "" : " (packet)"));
        return true;
    });
    connection.module().send_packet(packets::vitalsigns_status());
    auto result = outcome.get_future();
    ASSERT_EQ(std::future_status::ready, result.wait_for(5s));
    EXPECT_EQ("Cannot wait for a reply inside a subscription callback\n", result.get());
}

TEST(Destruction, LogsItsTraceBeforeTheCommunicatorGoes)
{
    SimulatedConnection connection;
    connection.destroy_radar();
    const auto lines = connection.log().texts();
    const size_t begin = find_line(lines, "~RadarInterface -- begin");
    const size_t end = find_line(lines, "~RadarInterface -- end", begin);
    const size_t communicator = find_line(lines, "~RadarCommunicator -- begin", end);
    EXPECT_NE(std::string::npos, communicator) << dump(connection.log());
}

TEST(Destruction, WhileTheModuleStreamsTraceTextIsClean)
{
    // Trace messages keep arriving while the object goes: none may reach it
    // half destroyed (the sanitizers watch this).
    for (int round = 0; round < 5; ++round) {
        SimulatedConnection connection;
        connection.module().start_stream(
            "trace", simmodule::DataSource::fixed(simmodule::text_data_message(0, 0, "busy")), 5000);
        EXPECT_TRUE(connection.log().wait_for("trace: busy"));
        connection.destroy_radar();
        connection.module().stop_all_streams();
    }
}

// ---- reset --------------------------------------------------------------

TEST(Reset, ReconnectsAndRestoresEverySubscription)
{
    SimulatedConnection connection;
    auto& radar = connection.radar();
    auto& module = connection.module();
    module.add_rule(Rule(simmodule::command::module_reset()).ack().hang_up());

    radar.subscribe("mine", Bytes { 0xA0, 0x10 });
    std::atomic<int> callbacks { 0 };
    radar.subscribe("my callback", Bytes { 0x30 }, [&](Bytes) { return ++callbacks > 0; });
    module.clear_received();

    radar.reset();

    EXPECT_EQ(1, connection.radar().reconnect_pauses());
    EXPECT_EQ(Bytes { 0x22 }, module.received_at(0));
    EXPECT_TRUE(module.wait_for_connection_count(2, 5s));
    EXPECT_EQ(1, connection.log().count("waiting for device to come back ..."));
    EXPECT_TRUE(logged_at(connection.log(), 0, "waiting for device to come back ..."));

    connection.deliver(simmodule::byte_data_message(1, 2, { 3 }));
    connection.deliver(simmodule::system_status_message(5));
    connection.deliver(simmodule::text_data_message(0, 0, "back"));
    EXPECT_EQ(1, radar.get_number_of_packets("mine"));
    EXPECT_EQ(1, callbacks);
    EXPECT_EQ(1, radar.peek_message_data_byte());
    EXPECT_EQ(1, radar.peek_message_system());
    EXPECT_TRUE(connection.log().wait_for("trace: back"));
}

TEST(Reset, RefusedModuleResetPassesThroughWithoutReconnecting)
{
    SimulatedConnection connection;
    connection.module().add_rule(Rule(simmodule::command::module_reset()).error(7));
    try {
        connection.radar().reset();
        FAIL() << "no exception";
    } catch (const Sarvik::SarvikException& e) {
        EXPECT_STREQ("module_reset: module reponded with QRB_SPR_ERROR", e.what());
        EXPECT_EQ(7, e.code);
    }
    EXPECT_EQ(0, connection.radar().reconnect_pauses());
    EXPECT_EQ(1u, connection.module().connection_count());
    EXPECT_EQ(7, connection.radar().reset_no_throw());
}

TEST(Reset, ThreeFailedReconnectsEndInFailedToReconnect)
{
    // A pseudo-terminal that the module hangs up is gone for good.
    SimulatedConnection connection(Transport::Pty);
    connection.module().add_rule(Rule(simmodule::command::module_reset()).ack().hang_up());
    // The reset's pause outlasts the module's hang-up, which follows its ack.
    connection.radar().while_paused = [&] { connection.module().wait_for_disconnected(5s); };
    const int status = connection.radar().reset_no_throw();
    EXPECT_EQ(1, status);
    EXPECT_EQ(3, connection.radar().reconnect_pauses());
    EXPECT_EQ(3, connection.log().count("waiting for device to come back ..."));
    EXPECT_TRUE(logged_error(connection.log(), "failed to reconnect after reset error code: 1"))
        << dump(connection.log());
}

TEST(Reset, WaitsThreeSecondsForTheModule)
{
    // The one test of the real wait.
    testsupport::RecordingLogger logger;
    simmodule::SimModule module(Transport::Tcp);
    module.add_rule(Rule(simmodule::command::module_reset()).ack().hang_up());
    TcpIpFactory factory(htonl(INADDR_LOOPBACK), htons(module.tcp_port()));
    UartIo io(logger, factory);
    RadarInterface radar(io, "127.0.0.1", factory, logger);

    const auto start = std::chrono::steady_clock::now();
    radar.reset();
    EXPECT_GE(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_TRUE(module.wait_for_connection_count(2, 5s));
}

} // namespace
