// The model classes of one connection share its lock and its queues: a call
// from one thread and class runs to its end, its reply or its packet
// included, before a call from another gets to the module; Falcon and
// Gannet read the same queues; objects on one connection are
// interchangeable and come and go without touching it.
#include "support/MessagePackets.hpp"
#include "support/ModelConnection.hpp"
#include "support/TestSupport.hpp"

#include "simmodule/Messages.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

namespace {

using namespace std::chrono_literals;
using simmodule::Rule;
using testsupport::ModelConnection;
namespace packets = testsupport::packets;

const Bytes module_reset_command { 0x22 };

// The first byte of every payload the module received, in order.
std::vector<int> commands_received(ModelConnection& c)
{
    std::vector<int> firsts;
    for (const Bytes& payload : c.module().received())
        firsts.push_back(payload.empty() ? -1 : payload[0]);
    return firsts;
}

// Falcon's ping waits for a reply the module holds back; Dax's module reset,
// called meanwhile from another thread, reaches the module only once that
// reply is out.
TEST(ModelLocking, ACallWaitsUntilAnotherClassesCallHasItsReply)
{
    ModelConnection c;
    std::atomic<bool> ping_answered { false };
    std::atomic<int> reset_came_after_the_answer { -1 };
    c.module().add_rule(Rule(simmodule::command::ping()).after(300ms).reply_with([&](const Bytes&) {
        ping_answered = true;
        return std::vector<Bytes> { simmodule::pong_reply(5) };
    }));
    c.module().add_rule(Rule(module_reset_command).ack());
    c.module().set_command_observer([&](const Bytes& payload) {
        if (payload == module_reset_command)
            reset_came_after_the_answer = ping_answered ? 1 : 0;
    });

    uint32_t pong = 0;
    auto first = std::async(std::launch::async, [&] { return c.falcon.ping(&pong); });
    ASSERT_TRUE(c.module().wait_for_received(1, 10s));
    auto second = std::async(std::launch::async, [&] { return c.dax.module_reset(); });

    EXPECT_EQ(0, first.get());
    EXPECT_EQ(5u, pong);
    EXPECT_EQ(0, second.get());
    EXPECT_EQ(1, reset_came_after_the_answer.load());
    EXPECT_EQ((std::vector<int> { 0x01, 0x22 }), commands_received(c));
    EXPECT_EQ(0u, c.module().framing_errors());
}

// A read that waits for a packet holds the lock all the while: a ping from
// another class goes out only once the packet has come and been read.
TEST(ModelLocking, AReadWaitingForAPacketHoldsTheLock)
{
    ModelConnection c;
    c.module().add_rule(Rule(simmodule::command::ping()).reply(simmodule::pong_reply(5)));
    Sarvik::VitalSignsData vital;
    auto read = std::async(std::launch::async, [&] { return c.gannet.read_message_vital_signs(&vital); });
    ASSERT_TRUE(c.simulated.log().wait_for("read_message_vital_signs -- begin"));

    uint32_t pong = 0;
    auto ping = std::async(std::launch::async, [&] { return c.osprey.ping(&pong); });
    EXPECT_EQ(std::future_status::timeout, ping.wait_for(200ms));
    EXPECT_EQ(0u, c.module().received_count());

    c.module().send_packet(packets::vitalsigns_status());
    EXPECT_EQ(0, read.get());
    EXPECT_EQ(packets::u32_field(1), vital.frame_counter);
    EXPECT_EQ(0, ping.get());
    EXPECT_EQ(5u, pong);
}

// Four threads, each through a class of its own, all on one connection:
// every call gets its own answer and every frame reaches the module whole.
TEST(ModelLocking, CallsFromManyThreadsAndClassesStayWhole)
{
    ModelConnection c;
    c.module().add_rule(Rule(simmodule::command::ping()).reply_with([](const Bytes& command) {
        // The pong echoes the ping's value.
        return std::vector<Bytes> { Bytes {
            0x01, command.at(1), command.at(2), command.at(3), command.at(4) } };
    }));
    c.module().add_rule(Rule({}).ack());
    constexpr int calls = 25;
    const std::vector<std::function<int()>> callers {
        [&] { return c.dax.set_normalization(1); },
        [&] { return c.osprey.set_sensitivity(2); },
        [&] {
            uint32_t pong = 0;
            return c.corvid.ping(&pong);
        },
        [&] { return c.not_supported.set_application_user_zone(0.5f, 1.5f); },
    };
    std::vector<std::future<int>> failures;
    for (const auto& caller : callers)
        failures.push_back(std::async(std::launch::async, [&caller] {
            int failed = 0;
            for (int i = 0; i < calls; ++i)
                failed += caller() != 0;
            return failed;
        }));
    for (auto& failed : failures)
        EXPECT_EQ(0, failed.get());
    EXPECT_TRUE(c.module().wait_for_received(callers.size() * calls, 10s));
    EXPECT_EQ(callers.size() * calls, c.module().received_count());
    EXPECT_EQ(0u, c.module().framing_errors());
}

// ---- shared queues ----------------------------------------------------------------

TEST(ModelQueuesShared, FalconAndGannetReadTheSameQueues)
{
    ModelConnection c;
    c.simulated.deliver(packets::vitalsigns_status());
    EXPECT_EQ(1, c.falcon.peek_message_vital_signs());
    EXPECT_EQ(1, c.gannet.peek_message_vital_signs());
    Sarvik::VitalSignsData vital;
    EXPECT_EQ(0, c.within_limit([&] { return c.gannet.read_message_vital_signs(&vital); }));
    EXPECT_EQ(0, c.falcon.peek_message_vital_signs());
}

TEST(ModelQueuesShared, SleepAndLegacyRespirationAreQueuesApart)
{
    ModelConnection c;
    c.simulated.deliver(packets::respiration_status());
    c.simulated.deliver(packets::sleep_status());
    Sarvik::SleepData sleep;
    EXPECT_EQ(0, c.within_limit([&] { return c.falcon.read_message_respiration_sleep(&sleep); }));
    EXPECT_EQ(0, c.falcon.peek_message_respiration_sleep());
    EXPECT_EQ(1, c.falcon.peek_message_respiration_legacy());
}

// ---- lifetime ---------------------------------------------------------------------

// The objects own nothing of the connection: more of them on it behave as
// the first, and going leaves it working.
TEST(ModelLifetime, ObjectsOnOneConnectionAreInterchangeable)
{
    ModelConnection c;
    c.module().add_rule(Rule(simmodule::command::ping()).reply(simmodule::pong_reply(5)));
    uint32_t pong = 0;
    {
        Sarvik::Dax another(c.locked);
        EXPECT_EQ(0, another.ping(&pong));
        EXPECT_EQ(5u, pong);
    }
    pong = 0;
    EXPECT_EQ(0, c.dax.ping(&pong));
    EXPECT_EQ(5u, pong);
}

TEST(ModelLifetime, CorvidCopiesShareTheirConnection)
{
    ModelConnection c;
    c.module().add_rule(Rule(simmodule::command::ping()).reply(simmodule::pong_reply(5)));
    auto first = std::make_unique<Sarvik::Corvid>(c.locked);
    Sarvik::Corvid copy = *first;
    Sarvik::Corvid assigned(c.locked);
    assigned = copy;
    first.reset();
    uint32_t pong = 0;
    EXPECT_EQ(0, copy.ping(&pong));
    EXPECT_EQ(5u, pong);
    pong = 0;
    EXPECT_EQ(0, assigned.ping(&pong));
    EXPECT_EQ(5u, pong);
}

} // namespace
