// What the value-returning model classes do beyond passing one command on:
// PyOsprey subscribes the presence queues when it is made, and a failed
// subscription leaves its constructor; the commands that every connection
// offers go through its virtual interface; each call holds the connection's
// lock, waits for it, and leaves it free on every way out; reset reconnects
// and gives PyOsprey's 0 or nothing, or the failure to reconnect; the
// objects come and go without touching the module.
#include "support/CommandTestKit.hpp"
#include "support/MessagePackets.hpp"
#include "support/PyModelConnection.hpp"

#include "link/TcpIpFactory.hpp"
#include "link/UartIo.hpp"
#include <linkwell/Z3.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <typeinfo>

namespace {

using namespace std::chrono_literals;
using commandtest::outcome;
using commandtest::runtime;
using commandtest::sarvik;
using commandtest::timeout_text;
using simmodule::Rule;
using testsupport::PyModelConnection;
using testsupport::SimulatedConnection;
namespace packets = testsupport::packets;

const std::string presence_single_queue = "name_of_presence_single_subscription";
const std::string presence_movinglist_queue = "name_of_presence_movinglist_subscription";

// Holds the connection's lock on a thread of its own until released.
class LockHolder {
public:
    explicit LockHolder(Sarvik::LockedRadarInterface& connection)
    {
        std::promise<void> holding;
        holder_ = std::async(std::launch::async, [&connection, &holding, this] {
            connection.locked([&](RadarInterface&) {
                holding.set_value();
                release_.get_future().wait();
            });
        });
        holding.get_future().wait();
    }
    ~LockHolder() { release(); }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

    void release()
    {
        if (!released_) {
            released_ = true;
            release_.set_value();
            holder_.get();
        }
    }

private:
    std::promise<void> release_;
    std::future<void> holder_;
    bool released_ = false;
};

// ---- PyOsprey's presence queues ---------------------------------------------------------

// The connection's presence queues removed, a PyOsprey made on it has them
// again: it waits for the lock, subscribes, and sends the module nothing.
TEST(PyOspreyConstruction, SubscribesThePresenceQueuesAgain)
{
    SimulatedConnection simulated;
    auto& radar = simulated.radar();
    UniqueLocked<RadarInterface, std::recursive_mutex> locked { &radar, false };
    radar.unsubscribe(presence_single_queue);
    radar.unsubscribe(presence_movinglist_queue);
    simulated.deliver(packets::presence_single());
    EXPECT_EQ(0, radar.peek_message_presence_single());

    LockHolder holder(locked);
    auto made = std::async(std::launch::async, [&] { return std::make_unique<Sarvik::PyOsprey>(locked); });
    EXPECT_EQ(std::future_status::timeout, made.wait_for(200ms));
    holder.release();
    const auto osprey = made.get();

    simulated.deliver(packets::presence_single());
    simulated.deliver(packets::presence_movinglist(2, 3));
    EXPECT_EQ(1, osprey->peek_message_presence_single());
    EXPECT_EQ(1, osprey->peek_message_presence_movinglist());
    EXPECT_EQ(1, radar.get_number_of_packets(presence_single_queue));
    EXPECT_EQ(1, radar.get_number_of_packets(presence_movinglist_queue));
    EXPECT_EQ(0u, simulated.module().received_count());
}

// ---- the connection's virtual interface ---------------------------------------------

// Records which of the connection's virtual operations were reached.
class Z3Spy : public testsupport::QuickResetRadarInterface {
public:
    using QuickResetRadarInterface::QuickResetRadarInterface;

    std::vector<std::string> calls;

    void set_debug_level(uint8_t level) override
    {
        calls.push_back("set_debug_level");
        RadarInterface::set_debug_level(level);
    }
    uint32_t ping() override
    {
        calls.push_back("ping");
        return RadarInterface::ping();
    }
    std::string get_system_info(uint8_t code) override
    {
        calls.push_back("get_system_info");
        return RadarInterface::get_system_info(code);
    }
    void set_sensor_mode_and_submode(uint8_t mode, uint8_t submode) override
    {
        calls.push_back("set_sensor_mode_and_submode");
        RadarInterface::set_sensor_mode_and_submode(mode, submode);
    }
    void unsubscribe(const std::string& name) override
    {
        calls.push_back("unsubscribe");
        RadarInterface::unsubscribe(name);
    }
    int get_number_of_packets(const std::string& name) override
    {
        calls.push_back("get_number_of_packets");
        return RadarInterface::get_number_of_packets(name);
    }
    void clear(const std::string& name) override
    {
        calls.push_back("clear");
        RadarInterface::clear(name);
    }
};

// A logger that fails once on a line it is armed with, as a logger whose
// disk is full would.
class FailingLogger : public testsupport::RecordingLogger {
public:
    void fail_on(const std::string& text)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        failing_ = text;
    }
    void log(unsigned level, const std::string& text) override
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!failing_.empty() && text == failing_) {
                failing_.clear();
                throw std::runtime_error("the log failed");
            }
        }
        RecordingLogger::log(level, text);
    }

private:
    std::mutex mutex_;
    std::string failing_;
};

// A connection of a spied interface to a silent module, as a connector
// builds it.
struct SpiedConnection {
    SpiedConnection() { radar.set_default_timeout(0); }

    FailingLogger logger;
    simmodule::SimModule module { simmodule::Transport::Tcp };
    TcpIpFactory factory { htonl(INADDR_LOOPBACK), htons(module.tcp_port()) };
    UartIo io { logger, factory };
    Z3Spy radar { io, "127.0.0.1", factory, logger };
    UniqueLocked<RadarInterface, std::recursive_mutex> locked { &radar, false };
};

// The five classes on it.
struct SpiedModels : SpiedConnection {
    Sarvik::PyDax dax { locked };
    Sarvik::PyOsprey osprey { locked };
    Sarvik::PyFalcon falcon { locked };
    Sarvik::PyGannet gannet { locked };
    Sarvik::PyCorvid corvid { locked };
};

struct Z3Row {
    std::string label;
    std::function<void(SpiedModels&)> call;
    std::string operation;
};

template <typename Model> std::vector<Z3Row> application_module_z3_rows(const std::string& model)
{
    const auto of = [](SpiedModels& m) -> Model& {
        if constexpr (std::is_same_v<Model, Sarvik::PyOsprey>)
            return m.osprey;
        else if constexpr (std::is_same_v<Model, Sarvik::PyFalcon>)
            return m.falcon;
        else
            return m.gannet;
    };
    return {
        { model + "::set_debug_level", [of](SpiedModels& m) { of(m).set_debug_level(3); },
            "set_debug_level" },
        { model + "::ping", [of](SpiedModels& m) { of(m).ping(); }, "ping" },
        { model + "::get_system_info", [of](SpiedModels& m) { of(m).get_system_info(6); },
            "get_system_info" },
        { model + "::set_sensor_mode", [of](SpiedModels& m) { of(m).set_sensor_mode(0x10, 2); },
            "set_sensor_mode_and_submode" },
    };
}

TEST(PyModelZ3, TheSharedCommandsGoThroughTheVirtualInterface)
{
    std::vector<Z3Row> rows {
        { "PyDax::ping", [](SpiedModels& m) { m.dax.ping(); }, "ping" },
        { "PyDax::get_system_info", [](SpiedModels& m) { m.dax.get_system_info(6); }, "get_system_info" },
        { "PyCorvid::set_debug_level", [](SpiedModels& m) { m.corvid.set_debug_level(3); },
            "set_debug_level" },
        { "PyCorvid::ping", [](SpiedModels& m) { m.corvid.ping(); }, "ping" },
        { "PyCorvid::unsubscribe", [](SpiedModels& m) { m.corvid.unsubscribe("mine"); }, "unsubscribe" },
        { "PyCorvid::get_number_of_packets", [](SpiedModels& m) { m.corvid.get_number_of_packets("mine"); },
            "get_number_of_packets" },
        { "PyCorvid::clear", [](SpiedModels& m) { m.corvid.clear("mine"); }, "clear" },
    };
    for (const auto& more : { application_module_z3_rows<Sarvik::PyOsprey>("PyOsprey"),
             application_module_z3_rows<Sarvik::PyFalcon>("PyFalcon"),
             application_module_z3_rows<Sarvik::PyGannet>("PyGannet") })
        rows.insert(rows.end(), more.begin(), more.end());

    SpiedModels models;
    models.corvid.subscribe_to_resp_status("mine");
    for (const Z3Row& row : rows) {
        SCOPED_TRACE(row.label);
        models.radar.calls.clear();
        outcome([&] { row.call(models); });
        EXPECT_EQ(std::vector<std::string> { row.operation }, models.radar.calls);
    }
}

// ---- a PyOsprey that cannot be made -------------------------------------------------

// The second presence subscription fails: its exception leaves the
// constructor as it came, after the first subscription, and the lock is
// free again.
TEST(PyOspreyConstruction, AFailedSubscriptionLeavesTheConstructor)
{
    SpiedConnection c;
    c.logger.fail_on("subscribe_to_presence_movinglist -- begin");
    c.logger.clear();
    try {
        Sarvik::PyOsprey osprey(c.locked);
        ADD_FAILURE() << "made";
    } catch (const std::exception& e) {
        EXPECT_EQ(typeid(std::runtime_error), typeid(e));
        EXPECT_STREQ("the log failed", e.what());
    }
    EXPECT_EQ(1, c.logger.count("subscribe_to_presence_single -- end"));
    EXPECT_EQ(0, c.logger.count("subscribe_to_presence_movinglist -- begin"));
    EXPECT_TRUE(
        std::async(std::launch::async, [&] { return c.locked.try_locked([](RadarInterface&) {}); }).get());
}

// ---- the connection's lock ----------------------------------------------------------

// A call from another thread waits while the lock is held and sends nothing
// until it is released.
TEST(PyModelLocking, ACallWaitsForTheLock)
{
    PyModelConnection c;
    c.module().add_rule(Rule(simmodule::command::ping()).reply(simmodule::pong_reply(5)));
    LockHolder holder(c.locked);
    auto ping = std::async(std::launch::async, [&] { return c.falcon.ping(); });
    EXPECT_EQ(std::future_status::timeout, ping.wait_for(200ms));
    EXPECT_EQ(0u, c.module().received_count());
    holder.release();
    EXPECT_EQ(5u, ping.get());
}

// Whatever a call throws, the lock is free again once it has left: another
// thread gets it at once. The calls run on a thread of their own, as the
// lock is recursive.
TEST(PyModelLocking, TheLockIsFreeAfterEveryFailure)
{
    struct FailingCall {
        std::string label;
        std::function<void(PyModelConnection&)> call;
        std::string expected;
    };
    const std::vector<FailingCall> calls {
        { "PyDax::get_normalization, silent", [](PyModelConnection& c) { c.dax.get_normalization(); },
            runtime(timeout_text) },
        { "PyOsprey::set_sensitivity, refused", [](PyModelConnection& c) { c.osprey.set_sensitivity(5); },
            sarvik(7, "set_sensitivity failed") },
        { "PyOsprey::reset, refused", [](PyModelConnection& c) { c.osprey.reset(); },
            sarvik(7, "module_reset: module reponded with QRB_SPR_ERROR") },
        { "PyFalcon::get_detection_zone, refused",
            [](PyModelConnection& c) { c.falcon.get_detection_zone(); },
            sarvik(7, "get_detection_zone failed") },
        { "PyGannet::set_parameter_file, refused",
            [](PyModelConnection& c) { c.gannet.set_parameter_file("a.cfg", "x=1"); },
            sarvik(7, "set_parameter_file failed") },
        { "PyCorvid::get_respiration_data, no such queue",
            [](PyModelConnection& c) { c.corvid.get_respiration_data("never"); }, "" },
    };
    PyModelConnection c;
    for (const FailingCall& failing : calls) {
        SCOPED_TRACE(failing.label);
        const bool silent = failing.label.find("silent") != std::string::npos;
        c.radar().set_default_timeout(silent ? 0 : 2);
        // A module that answered the silent call could beat even a timeout
        // of 0.
        if (silent)
            c.module().clear_rules();
        else
            c.module().set_rules({ Rule({}).error(commandtest::module_error_code) });
        const std::string thrown
            = std::async(std::launch::async, [&] { return outcome([&] { failing.call(c); }); }).get();
        if (failing.expected.empty())
            EXPECT_NE("ok", thrown);
        else
            EXPECT_EQ(failing.expected, thrown);
        EXPECT_TRUE(c.locked.try_locked([](RadarInterface&) {}));
    }
}

// ---- reset ------------------------------------------------------------------------

struct ResetRow {
    std::string model;
    std::function<std::string(PyModelConnection&)> reset;
    std::string after_reconnect;
};

void PrintTo(const ResetRow& row, std::ostream* out)
{
    *out << row.model;
}

class PyModelReset : public ::testing::TestWithParam<ResetRow> { };

// The module restarts, the connection comes back with its queues, and the
// result is PyOsprey's 0 or nothing.
TEST_P(PyModelReset, ReconnectsAndKeepsTheQueues)
{
    PyModelConnection c;
    c.module().add_rule(Rule(simmodule::command::module_reset()).ack().hang_up());
    c.corvid.subscribe_to_resp_status("mine");
    EXPECT_EQ(GetParam().after_reconnect, GetParam().reset(c));
    EXPECT_EQ(1, c.radar().reconnect_pauses());
    EXPECT_TRUE(c.module().wait_for_connection_count(2, 5s));
    c.simulated.deliver(packets::respiration_status());
    EXPECT_EQ(1, c.corvid.get_number_of_packets("mine"));
}

// A module that does not come back: the failure to reconnect, never a
// status.
TEST_P(PyModelReset, AModuleThatDoesNotComeBackThrows)
{
    // A pseudo-terminal that the module hangs up is gone for good.
    PyModelConnection c(simmodule::Transport::Pty);
    c.module().add_rule(Rule(simmodule::command::module_reset()).ack().hang_up());
    c.radar().while_paused = [&] { c.module().wait_for_disconnected(5s); };
    EXPECT_EQ(sarvik(1, "failed to reconnect after reset"), GetParam().reset(c));
    EXPECT_EQ(3, c.radar().reconnect_pauses());
}

INSTANTIATE_TEST_SUITE_P(Each, PyModelReset,
    ::testing::Values(
        ResetRow {
            "PyOsprey", [](PyModelConnection& c) { return outcome([&] { return c.osprey.reset(); }); }, "0" },
        ResetRow {
            "PyFalcon", [](PyModelConnection& c) { return outcome([&] { c.falcon.reset(); }); }, "ok" },
        ResetRow {
            "PyGannet", [](PyModelConnection& c) { return outcome([&] { c.gannet.reset(); }); }, "ok" },
        ResetRow {
            "PyCorvid", [](PyModelConnection& c) { return outcome([&] { c.corvid.reset(); }); }, "ok" }),
    [](const auto& param_info) { return param_info.param.model; });

// ---- the rest -----------------------------------------------------------------------

// The logger's level is the connection's own business: nothing goes to the
// module before the ping that follows.
TEST(PyCorvidLogLevel, SendsNothing)
{
    PyModelConnection c;
    c.module().add_rule(Rule({}).reply(simmodule::pong_reply(1)));
    c.corvid.set_log_level(5);
    EXPECT_EQ(1u, c.corvid.ping());
    ASSERT_EQ(1u, c.module().received_count());
    EXPECT_EQ(0x01, c.module().received_at(0).at(0));
}

// The objects own nothing of the connection: more of them on it behave as
// the first, and going sends nothing and leaves it working.
TEST(PyModelLifetime, ObjectsComeAndGoWithoutTouchingTheConnection)
{
    PyModelConnection c;
    c.module().add_rule(Rule(simmodule::command::ping()).reply(simmodule::pong_reply(5)));
    {
        Sarvik::PyDax dax(c.locked);
        Sarvik::PyOsprey osprey(c.locked);
        Sarvik::PyFalcon falcon(c.locked);
        Sarvik::PyGannet gannet(c.locked);
        Sarvik::PyCorvid corvid(c.locked);
        EXPECT_EQ(5u, gannet.ping());
    }
    EXPECT_EQ(1u, c.module().received_count());
    EXPECT_EQ(5u, c.osprey.ping());
    c.simulated.deliver(packets::presence_single());
    EXPECT_EQ(1, c.osprey.peek_message_presence_single());
}

} // namespace
