// The simulated module over a real pseudo-terminal and a real loopback
// socket, driven by a plain client that checks the bytes on the wire.
#include "TestClient.hpp"
#include "simmodule/Deframer.hpp"
#include "simmodule/Messages.hpp"
#include "simmodule/SimModule.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <pty.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using namespace simmodule;
using simtest::hex;
using simtest::TestClient;
using simtest::to_hex;
using Clock = std::chrono::steady_clock;

namespace {

// Wire bytes, worked out by hand from the framing rules.
const char* const ack_wire = "7d 10 6d 7e";
const char* const error_1_wire = "7d 20 01 00 00 00 5c 7e";

std::string read_hex(TestClient& client, const std::string& expected_hex)
{
    return to_hex(client.read_exactly(hex(expected_hex).size()));
}

std::string name_of(const ::testing::TestParamInfo<Transport>& info)
{
    return info.param == Transport::Pty ? "Pty" : "Tcp";
}

class SimModuleTest : public ::testing::TestWithParam<Transport> {
protected:
    SimModule module { GetParam() };
    TestClient client { module };
};

} // namespace

TEST_P(SimModuleTest, AnswersByTheFirstMatchingPrefix)
{
    module.add_rule(Rule(command::get_system_info(6)).reply(system_info_reply("SN1")));
    module.add_rule(Rule(command::get_system_info()).error(1));
    module.add_rule(Rule({}).ack());

    const struct {
        const char* command;
        const char* wire;
    } cases[] = {
        { "90 58 06", "7d 11 13 58 00 00 00 00 00 00 00 03 00 00 00 53 4e 31 08 7e" },
        { "90 58 02", error_1_wire },
        { "90", ack_wire }, // shorter than the prefix: falls through to the catch-all
        { "26", ack_wire },
    };
    for (const auto& c : cases) {
        client.send_command(hex(c.command));
        EXPECT_EQ(c.wire, read_hex(client, c.wire)) << c.command;
    }
}

TEST_P(SimModuleTest, SendsSeveralPacketsAndRawBytesForOneCommand)
{
    // The pong value makes every special byte appear in the payload.
    module.add_rule(Rule(command::ping()).reply(pong_reply(0x7D7E7F80)).raw(hex("01 02 7e")).ack());

    client.send_command(hex("01 ae ea aa ee"));
    const std::string expected = "7d 01 80 7f 7f 7f 7e 7f 7d 80 7e 01 02 7e 7d 10 6d 7e";
    EXPECT_EQ(expected, read_hex(client, expected));
}

TEST_P(SimModuleTest, ComputedRepliesSeeTheCommand)
{
    module.add_rule(Rule({ 0x42 }).reply_with(
        [](const Bytes& command) { return std::vector<Bytes> { Bytes(command.rbegin(), command.rend()) }; }));
    module.add_rule(Rule({ 0x43 }).reply_with(
        [](const Bytes&) -> std::vector<Bytes> { throw std::runtime_error("broken script"); }));
    module.add_rule(Rule({}).ack());

    client.send_command(hex("42 01"));
    client.send_command(hex("43"));
    client.send_command(hex("26"));
    // 01 42 framed, then nothing for the throwing maker, then the ack.
    const std::string expected = "7d 01 42 3e 7e 7d 10 6d 7e";
    EXPECT_EQ(expected, read_hex(client, expected));
    ASSERT_EQ(1u, module.errors().size());
    EXPECT_NE(std::string::npos, module.errors()[0].find("broken script"));
}

TEST_P(SimModuleTest, SilentRuleAnswersNothing)
{
    module.add_rule(Rule(command::set_sensor_mode()));
    module.add_rule(Rule({}).ack());

    // The module answers in order, so the first bytes back being the second
    // command's ack show that the first got no answer.
    client.send_command(hex("20 01"));
    client.send_command(hex("26"));
    EXPECT_EQ(ack_wire, read_hex(client, ack_wire));
}

TEST_P(SimModuleTest, DelayHoldsBackThisAndLaterAnswers)
{
    module.add_rule(Rule(command::set_sensor_mode()).after(150ms).error(1));
    module.add_rule(Rule({}).ack());

    const auto sent = Clock::now();
    client.send_command(hex("20 01"));
    client.send_command(hex("26"));
    const Bytes first = client.read_exactly(1);
    const auto waited = Clock::now() - sent;
    const std::string expected = std::string(error_1_wire) + " " + ack_wire;
    EXPECT_EQ(expected, to_hex(first) + " " + read_hex(client, expected.substr(3)));
    EXPECT_GE(waited, 150ms);
}

TEST_P(SimModuleTest, LimitedRuleGivesWayAfterItsUses)
{
    module.add_rule(Rule(command::ping()).times(2).error(1));
    module.add_rule(Rule(command::ping()).ack());

    for (const char* expected : { error_1_wire, error_1_wire, ack_wire, ack_wire }) {
        client.send_command(hex("01 ae ea aa ee"));
        EXPECT_EQ(expected, read_hex(client, expected));
    }
}

TEST_P(SimModuleTest, ScriptChangesTakeEffectWhileServing)
{
    module.add_rule(Rule({}).ack());
    client.send_command(hex("26"));
    EXPECT_EQ(ack_wire, read_hex(client, ack_wire));

    module.add_rule_first(Rule({ 0x26 }).error(1));
    client.send_command(hex("26"));
    EXPECT_EQ(error_1_wire, read_hex(client, error_1_wire));

    module.set_rules({ Rule({ 0x26 }).reply(ack_reply()).reply(ack_reply()) });
    client.send_command(hex("26"));
    const std::string two_acks = std::string(ack_wire) + " " + ack_wire;
    EXPECT_EQ(two_acks, read_hex(client, two_acks));

    module.clear_rules();
    client.send_command(hex("26"));
    ASSERT_TRUE(module.wait_for_received(4, 10s));
    module.add_rule(Rule({ 0x27 }).ack());
    client.send_command(hex("27"));
    EXPECT_EQ(ack_wire, read_hex(client, ack_wire)); // nothing came for the fourth command
}

TEST_P(SimModuleTest, RecordsEveryPayloadTheHostSent)
{
    const std::vector<Bytes> commands = { hex("26"), hex("90 58 7d 7e 7f"), {}, hex("10 13") };
    Bytes wire;
    for (const Bytes& command : commands) {
        const Bytes framed = simtest::frame(command);
        wire.insert(wire.end(), framed.begin(), framed.end());
    }
    // A frame with a wrong checksum and stray bytes are not recorded.
    const Bytes broken = hex("7d 26 5c 7e 01 02");
    wire.insert(wire.begin() + 4, broken.begin(), broken.end());
    for (uint8_t byte : wire)
        client.send({ byte }); // one byte at a time: frames split everywhere

    ASSERT_TRUE(module.wait_for_received(commands.size(), 10s));
    EXPECT_EQ(commands, module.received());
    EXPECT_EQ(hex("90 58 7d 7e 7f"), module.received_at(1));
    EXPECT_TRUE(module.received_at(99).empty());
    EXPECT_EQ(2u, module.framing_errors());
    EXPECT_FALSE(module.wait_for_received(commands.size() + 1, 20ms));

    module.clear_received();
    EXPECT_EQ(0u, module.received_count());
    client.send_command(hex("22"));
    ASSERT_TRUE(module.wait_for_received(1, 10s));
    EXPECT_EQ(std::vector<Bytes> { hex("22") }, module.received());
}

TEST_P(SimModuleTest, ObserverSeesCommandsBeforeTheyAreAnswered)
{
    std::mutex mutex;
    std::vector<Bytes> seen;
    module.set_command_observer([&](const Bytes& command) {
        std::lock_guard<std::mutex> lock(mutex);
        seen.push_back(command);
    });
    module.add_rule(Rule({}).ack());
    client.send_command(hex("26"));
    EXPECT_EQ(ack_wire, read_hex(client, ack_wire));
    module.set_command_observer(nullptr);
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(std::vector<Bytes> { hex("26") }, seen);
}

TEST_P(SimModuleTest, BurstsInEveryForm)
{
    // Each payload ends in 7d, so the framed form must escape it and the
    // unframed forms must not.
    const struct {
        Form form;
        const char* wire;
    } cases[] = {
        { Form::Framed, "7d a0 12 00 7f 7d b2 7e 7d a0 12 01 7f 7d b3 7e 7d a0 12 02 7f 7d b0 7e" },
        { Form::RawLength,
            "51 04 00 00 00 a0 12 00 7d 00 51 04 00 00 00 a0 12 01 7d 00 51 04 00 00 00 a0 12 02 7d 00" },
        { Form::Marker,
            "7c 7c 7c 7c 04 00 00 00 00 a0 12 00 7d 7c 7c 7c 7c 04 00 00 00 00 a0 12 01 7d "
            "7c 7c 7c 7c 04 00 00 00 00 a0 12 02 7d" },
    };
    for (const auto& c : cases) {
        const auto source = DataSource::generate(
            [](uint64_t index) {
                return Bytes { 0xA0, 0x12, static_cast<uint8_t>(index), 0x7D };
            },
            c.form);
        module.send_burst(source, 3);
        EXPECT_EQ(c.wire, read_hex(client, c.wire)) << static_cast<int>(c.form);
    }
    EXPECT_TRUE(module.wait_until_sent(10s));
    EXPECT_EQ(9u, module.data_packets_sent());
}

TEST_P(SimModuleTest, SinglePacketsKeepTheirOrder)
{
    module.send_packet(hex("30 01 00 00 00"));
    module.send_raw(hex("7e 7e"));
    module.send_packet(hex("01"), Form::Marker);
    module.send_packet(hex("02"), Form::RawLength);
    module.send_burst(DataSource::cycle({ hex("26"), hex("10") }), 3);
    const std::string expected = "7d 30 01 00 00 00 4c 7e 7e 7e 7c 7c 7c 7c 01 00 00 00 00 01 "
                                 "51 01 00 00 00 02 00 7d 26 5b 7e 7d 10 6d 7e 7d 26 5b 7e";
    EXPECT_EQ(expected, read_hex(client, expected));
}

TEST_P(SimModuleTest, LargeBurstArrivesWholeAndInOrder)
{
    constexpr uint64_t count = 5000;
    module.send_burst(DataSource::generate([](uint64_t index) {
        Bytes payload(200, static_cast<uint8_t>(index));
        payload[0] = 0xA0;
        payload[1] = static_cast<uint8_t>(index >> 8);
        return payload;
    }),
        count);

    Deframer deframer;
    uint64_t next = 0;
    bool in_order = true;
    const auto deadline = Clock::now() + 60s;
    while (next < count && Clock::now() < deadline) {
        const Bytes chunk = client.read_for(100ms);
        for (const Bytes& packet : deframer.feed(chunk.data(), chunk.size())) {
            in_order = in_order && packet.size() == 200 && packet[1] == static_cast<uint8_t>(next >> 8)
                && packet[2] == static_cast<uint8_t>(next);
            ++next;
        }
    }
    EXPECT_EQ(count, next);
    EXPECT_TRUE(in_order);
    EXPECT_EQ(0u, deframer.errors());
    EXPECT_TRUE(module.wait_until_sent(10s));
}

TEST_P(SimModuleTest, StreamSendsAtItsRateUntilStopped)
{
    const Bytes wire = frame(system_status_message(1));
    // Taken before the stream starts: the module sends the tenth packet no
    // sooner than 45 ms after its start, however late this thread runs.
    const auto started = Clock::now();
    module.start_stream("status", DataSource::fixed(system_status_message(1)), 200);
    const Bytes got = client.read_exactly(wire.size() * 10);
    const auto took = Clock::now() - started;
    ASSERT_EQ(wire.size() * 10, got.size());
    for (size_t i = 0; i < got.size(); i += wire.size())
        EXPECT_EQ(wire, Bytes(got.begin() + i, got.begin() + i + wire.size()));
    EXPECT_GE(took, 40ms);

    module.stop_stream("status");
    module.add_rule(Rule({}).ack());
    client.send_command(hex("26"));
    // Whatever the stream sent before it stopped, then the ack, then quiet.
    Bytes tail;
    while (tail.size() < 4 || to_hex(Bytes(tail.end() - 4, tail.end())) != ack_wire) {
        const Bytes more = client.read_exactly(1);
        ASSERT_EQ(1u, more.size());
        tail.push_back(more[0]);
    }
    EXPECT_EQ(0u, (tail.size() - 4) % wire.size());
    EXPECT_TRUE(client.read_for(100ms).empty());
}

TEST_P(SimModuleTest, HangUpClosesTheLine)
{
    EXPECT_TRUE(module.connected());
    module.hang_up();
    const int how = client.wait_for_close();
    EXPECT_TRUE(how == 0 || how == EIO) << how;
    EXPECT_FALSE(module.connected());
}

TEST_P(SimModuleTest, RuleCanHangUpAfterAnswering)
{
    module.add_rule(Rule(command::module_reset()).ack().hang_up());
    client.send_command(hex("22"));
    EXPECT_EQ(ack_wire, read_hex(client, ack_wire));
    const int how = client.wait_for_close();
    EXPECT_TRUE(how == 0 || how == EIO) << how;
    EXPECT_TRUE(module.wait_for_disconnected(10s));
}

TEST_P(SimModuleTest, StopsPromptlyWithAClientConnectedAndWorkPending)
{
    module.add_rule(Rule({}).after(std::chrono::hours(1)).ack());
    module.start_stream("fast", DataSource::fixed(Bytes(1000, 0x55)), 100000);
    client.send_command(hex("26"));
    ASSERT_TRUE(module.wait_for_received(1, 10s));
    // The client reads nothing, so the line backs up too.
    const auto started = Clock::now();
    module.stop();
    EXPECT_LT(Clock::now() - started, 2s);
    EXPECT_FALSE(module.connected());
    EXPECT_EQ(1u, module.received_count()); // the record outlives the stop
    module.stop(); // idempotent
    const int how = client.wait_for_close();
    EXPECT_TRUE(how == 0 || how == EIO) << how;
}

INSTANTIATE_TEST_SUITE_P(
    Transports, SimModuleTest, ::testing::Values(Transport::Pty, Transport::Tcp), name_of);

// --- TCP only -------------------------------------------------------------

TEST(SimModuleTcp, ServesOneClientAtATimeAndAcceptsTheNext)
{
    SimModule module(Transport::Tcp);
    module.add_rule(Rule({}).reply_with([](const Bytes& command) { return std::vector<Bytes> { command }; }));

    auto first = std::make_unique<TestClient>(module);
    TestClient second(module.tcp_port()); // waits in the listen queue
    second.send_command(hex("02"));
    first->send_command(hex("01"));
    EXPECT_EQ("7d 01 7c 7e", read_hex(*first, "7d 01 7c 7e"));
    EXPECT_EQ(std::vector<Bytes> { hex("01") }, module.received()); // the second is not read yet

    first.reset();
    EXPECT_EQ("7d 02 7f 7f 7e", read_hex(second, "7d 02 7f 7f 7e"));
    EXPECT_EQ(2u, module.connection_count());
    EXPECT_EQ((std::vector<Bytes> { hex("01"), hex("02") }), module.received());
}

TEST(SimModuleTcp, DisconnectionDropsWhatWasQueuedForThatClient)
{
    SimModule module(Transport::Tcp);
    module.add_rule(Rule({ 0x20 }).after(200ms).error(1));
    module.add_rule(Rule({}).ack());
    {
        TestClient first(module);
        first.send_command(hex("20 01"));
        ASSERT_TRUE(module.wait_for_received(1, 10s));
    }
    ASSERT_TRUE(module.wait_for_disconnected(10s));
    module.send_packet(hex("30 00 00 00 00")); // queued while nobody is connected: kept

    TestClient second(module);
    second.send_command(hex("26"));
    const std::string expected = std::string("7d 30 00 00 00 00 4d 7e ") + ack_wire;
    EXPECT_EQ(expected, read_hex(second, expected));
    EXPECT_TRUE(second.read_for(300ms).empty()); // the late error reply went with the first client
}

TEST(SimModuleTcp, AbortiveHangUpResetsTheConnection)
{
    SimModule module(Transport::Tcp);
    TestClient client(module);
    module.hang_up(HangUp::Reset);
    EXPECT_EQ(ECONNRESET, client.wait_for_close());

    TestClient next(module);
    EXPECT_EQ(2u, module.connection_count());
}

TEST(SimModuleTcp, ListensOnTheRequestedPort)
{
    uint16_t port;
    {
        SimModule probe(Transport::Tcp);
        port = probe.tcp_port();
    }
    SimModule module(Transport::Tcp, port);
    EXPECT_EQ(port, module.tcp_port());
    EXPECT_THROW((SimModule { Transport::Tcp, port }), std::system_error); // taken
}

// --- Pseudo-terminal only -----------------------------------------------------

TEST(SimModulePty, HostMayCloseAndReopenThePort)
{
    SimModule module(Transport::Pty);
    module.add_rule(Rule({}).ack());
    EXPECT_EQ(0u, module.pty_path().find("/dev/"));
    {
        TestClient client(module.pty_path());
        client.send_command(hex("26"));
        EXPECT_EQ(ack_wire, read_hex(client, ack_wire));
    }
    TestClient again(module.pty_path());
    again.send_command(hex("26"));
    EXPECT_EQ(ack_wire, read_hex(again, ack_wire));
    EXPECT_TRUE(module.connected());
}

TEST(SimModulePty, AHungUpLineKeepsItsPathFromOtherTerminals)
{
    // A host that reconnects after the hang-up must find nothing at the old
    // path, even when other pseudo-terminals are opened meanwhile (tests
    // running beside this one): the kernel would hand out a freed number.
    SimModule module(Transport::Pty);
    const std::string path = module.pty_path();
    module.hang_up();
    ASSERT_FALSE(module.connected());

    std::vector<std::pair<int, int>> others;
    for (int i = 0; i < 8; ++i) {
        int master = -1;
        int slave = -1;
        char name[256];
        ASSERT_EQ(0, ::openpty(&master, &slave, name, nullptr, nullptr));
        others.emplace_back(master, slave);
        EXPECT_NE(path, name);
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    EXPECT_EQ(-1, fd);
    if (fd >= 0)
        ::close(fd);
    for (const auto& [master, slave] : others) {
        ::close(master);
        ::close(slave);
    }
}

TEST(SimModulePty, StopsWhileNobodyReadsTheLine)
{
    SimModule module(Transport::Pty);
    module.send_burst(DataSource::fixed(Bytes(4096, 0x55)), 10000);
    EXPECT_FALSE(module.wait_until_sent(50ms));
    const auto started = Clock::now();
    module.stop();
    EXPECT_LT(Clock::now() - started, 2s);
}
