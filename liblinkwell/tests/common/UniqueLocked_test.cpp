#include "common/UniqueLocked.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

// Stands in for a connection object: its operations check that no other
// call runs at the same time, and one of them calls another through the
// same holder.
class Target {
public:
    explicit Target(bool* destroyed = nullptr)
        : destroyed_(destroyed)
    { }
    virtual ~Target()
    {
        if (destroyed_)
            *destroyed_ = true;
    }

    int count()
    {
        const int inside = ++inside_;
        EXPECT_EQ(1, inside) << "two calls at once";
        const int value = ++calls_;
        --inside_;
        return value;
    }
    void fail() { throw std::runtime_error("refused"); }
    int calls() const { return calls_; }

private:
    bool* destroyed_;
    std::atomic<int> inside_ { 0 };
    int calls_ = 0;
};

using Holder = UniqueLocked<Target, std::recursive_mutex>;

TEST(UniqueLocked, OwnedTargetIsDeletedWithTheHolder)
{
    bool destroyed = false;
    {
        Holder holder(new Target(&destroyed), true);
        EXPECT_EQ(1, holder->count());
    }
    EXPECT_TRUE(destroyed);
}

TEST(UniqueLocked, BorrowedTargetOutlivesTheHolder)
{
    bool destroyed = false;
    Target target(&destroyed);
    {
        Holder holder(&target, false);
        holder->count();
    }
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(1, target.calls());
}

TEST(UniqueLocked, ExceptionFromACallLeavesTheMutexUnlocked)
{
    Holder holder(new Target, true);
    EXPECT_THROW(holder->fail(), std::runtime_error);
    EXPECT_THROW(holder.locked([](Target& t) { t.fail(); }), std::runtime_error);
    // Another thread can take the lock: it is not held any more.
    std::thread other([&holder] { holder->count(); });
    other.join();
    EXPECT_EQ(1, holder.locked([](Target& t) { return t.calls(); }));
}

TEST(UniqueLocked, CallsFromSeveralThreadsNeverOverlap)
{
    Holder holder(new Target, true);
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&holder] {
            for (int n = 0; n < 2000; ++n)
                holder->count();
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(8000, holder.locked([](Target& t) { return t.calls(); }));
}

// With the recursive mutex an operation may call the connection again on the
// same thread.
TEST(UniqueLocked, NestedCallOnTheSameThreadDoesNotDeadlock)
{
    Holder holder(new Target, true);
    const int value = holder.locked([&holder](Target&) { return holder->count() + holder->count(); });
    EXPECT_EQ(3, value);
}

// try_locked runs nothing while another thread holds the mutex, and runs
// at once when it is free or held by the same thread.
TEST(UniqueLocked, TryLockedRunsOnlyWhenTheMutexIsFree)
{
    Holder holder(new Target, true);
    EXPECT_TRUE(holder.try_locked([](Target& t) { t.count(); }));
    std::promise<void> held;
    std::promise<void> release;
    std::thread holding([&] {
        holder.locked([&](Target&) {
            held.set_value();
            release.get_future().wait();
        });
    });
    held.get_future().wait();
    EXPECT_FALSE(holder.try_locked([](Target& t) { t.count(); }));
    // Unlocked access reaches the same target meanwhile.
    EXPECT_EQ(1, holder.unlocked()->calls());
    release.set_value();
    holding.join();
    EXPECT_TRUE(holder.locked([&](Target&) { return holder.try_locked([](Target& t) { t.count(); }); }));
    EXPECT_EQ(2, holder.unlocked()->calls());
}

} // namespace
