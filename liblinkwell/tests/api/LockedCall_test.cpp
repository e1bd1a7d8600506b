// The call pattern of every model method: lock, one call, unlock on every
// way out, the call's result or exception unchanged; a lock that cannot be
// taken throws std::system_error before anything is called.
#include "api/LockedCall.hpp"

#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>

namespace {

using namespace std::chrono_literals;

// What was done to the one ProbeMutex of a test.
struct MutexRecord {
    bool refuse = false;
    bool held = false;
    int locks = 0;
    int unlocks = 0;
};
MutexRecord mutex_record;

class ProbeMutex {
public:
    void lock()
    {
        if (mutex_record.refuse)
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        ++mutex_record.locks;
        mutex_record.held = true;
    }
    void unlock()
    {
        ++mutex_record.unlocks;
        mutex_record.held = false;
    }
};

struct Target {
    std::string name = "target";
};

class LockedCallTest : public ::testing::Test {
protected:
    void SetUp() override { mutex_record = MutexRecord {}; }

    Target target;
    UniqueLocked<Target, ProbeMutex> connection { &target, false };
};

TEST_F(LockedCallTest, HoldsTheLockForTheCallAndReturnsItsResult)
{
    bool held_during_call = false;
    const std::string result = locked_call(connection, [&](Target& t) {
        held_during_call = mutex_record.held;
        return t.name + "!";
    });
    EXPECT_EQ("target!", result);
    EXPECT_TRUE(held_during_call);
    EXPECT_EQ(1, mutex_record.locks);
    EXPECT_EQ(1, mutex_record.unlocks);
}

TEST_F(LockedCallTest, AnExceptionLeavesUnchangedAfterTheLockIsReleased)
{
    EXPECT_THROW(
        locked_call(connection, [](Target&) -> int { throw std::out_of_range("gone"); }), std::out_of_range);
    EXPECT_FALSE(mutex_record.held);
    EXPECT_EQ(1, mutex_record.unlocks);
}

TEST_F(LockedCallTest, ALockThatFailsThrowsSystemErrorAndCallsNothing)
{
    mutex_record.refuse = true;
    bool called = false;
    try {
        locked_call(connection, [&](Target&) { called = true; });
        ADD_FAILURE() << "no exception";
    } catch (const std::system_error& e) {
        EXPECT_EQ(std::errc::resource_unavailable_try_again, e.code());
    }
    EXPECT_FALSE(called);
    EXPECT_EQ(0, mutex_record.unlocks);
}

// On a connection's recursive mutex a call may make further calls from its
// own thread, while another thread's call waits until the first is done.
TEST(LockedCall, RecursiveOnItsThreadExclusiveAcrossThreads)
{
    Target target;
    UniqueLocked<Target, std::recursive_mutex> connection(&target, false);
    std::promise<void> inside;
    std::promise<void> release;
    std::future<void> released = release.get_future();
    auto first = std::async(std::launch::async, [&] {
        locked_call(connection, [&](Target&) {
            locked_call(connection, [&](Target&) { inside.set_value(); });
            released.wait();
        });
    });
    inside.get_future().wait();

    auto second = std::async(
        std::launch::async, [&] { return locked_call(connection, [](Target& t) { return t.name; }); });
    EXPECT_EQ(std::future_status::timeout, second.wait_for(50ms));
    release.set_value();
    EXPECT_EQ("target", second.get());
    first.get();
}

} // namespace
