#include "link/MessageQueue.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

std::vector<std::string> drain(MessageQueue<std::string>& q)
{
    std::vector<std::string> out;
    while (!q.empty())
        out.push_back(q.get());
    return out;
}

} // namespace

TEST(MessageQueue, MaxCountBoundsWhatIsKept)
{
    struct Case {
        int max_count;
        std::vector<std::string> kept;
    };
    const Case cases[] = {
        { 2, { "b", "c" } },
        { 1, { "c" } },
        { 0, {} },
        { -1, { "a", "b", "c" } },
        { 5, { "a", "b", "c" } },
    };
    // One by one, all at once, and a batch behind an element already there:
    // the bound keeps the same newest elements in their order.
    const std::vector<std::vector<std::vector<std::string>>> ways {
        { { "a" }, { "b" }, { "c" } },
        { { "a", "b", "c" } },
        { { "a" }, { "b", "c" } },
    };
    for (const auto& c : cases) {
        for (const auto& way : ways) {
            MessageQueue<std::string> q(c.max_count);
            for (std::vector<std::string> batch : way) {
                if (batch.size() == 1)
                    q.put(batch.front());
                else
                    q.put_all(batch);
            }
            EXPECT_EQ(c.kept.size(), q.size())
                << "max_count " << c.max_count << ", " << way.size() << " puts";
            EXPECT_EQ(c.kept, drain(q)) << "max_count " << c.max_count << ", " << way.size() << " puts";
        }
    }
}

TEST(MessageQueue, LoweringTheBoundDropsTheOldest)
{
    MessageQueue<int> q(-1);
    for (int i = 1; i <= 5; ++i)
        q.put(i);
    q.set_max_count(2);
    EXPECT_EQ(2, q.max_count());
    EXPECT_EQ(4, q.get());
    EXPECT_EQ(5, q.get());
    q.put(6);
    q.put(7);
    q.put(8);
    EXPECT_EQ(2u, q.size());
    q.set_max_count(0);
    EXPECT_TRUE(q.empty());
    q.put(9);
    EXPECT_TRUE(q.empty());
}

TEST(MessageQueue, ClearEmptiesTheQueue)
{
    MessageQueue<int> q;
    q.put(1);
    q.put(2);
    q.clear();
    EXPECT_EQ(0u, q.size());
    q.put(3);
    EXPECT_EQ(3, q.get());
}

TEST(MessageQueue, GetBlocksUntilAnotherThreadPuts)
{
    MessageQueue<int> q;
    std::atomic<bool> got { false };
    int value = 0;
    std::thread reader([&] {
        value = q.get();
        got = true;
    });
    std::this_thread::sleep_for(20ms); // give the reader time to block
    EXPECT_FALSE(got);
    q.put(42);
    reader.join();
    EXPECT_TRUE(got);
    EXPECT_EQ(42, value);
}

TEST(MessageQueue, GetUntilPrefersAWaitingElementToAnExpiredDeadline)
{
    MessageQueue<int> q;
    q.put(7);
    auto past = std::chrono::steady_clock::now() - 1s;
    EXPECT_EQ(std::optional<int>(7), q.get_until(past));
    EXPECT_EQ(std::nullopt, q.get_until(past));
}

TEST(MessageQueue, GetUntilTimesOutOrTakesWhatArrives)
{
    MessageQueue<int> q;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(std::nullopt, q.get_until(start + 30ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);

    std::thread writer([&] { q.put(5); });
    EXPECT_EQ(std::optional<int>(5), q.get_until(std::chrono::steady_clock::now() + 10s));
    writer.join();
}

TEST(MessageQueue, GetUnlessWakesWhenTheOwnerFinishes)
{
    MessageQueue<int> q;
    bool finished = false; // guarded by the queue's mutex
    q.put(1);
    std::vector<int> taken;
    std::thread consumer([&] {
        while (auto v = q.get_unless([&] { return finished; }))
            taken.push_back(*v);
    });
    q.put(2);
    q.with_lock([&] { finished = true; });
    consumer.join();
    // Whatever was queued is still taken after finishing.
    EXPECT_EQ((std::vector<int> { 1, 2 }), taken);
}

TEST(MessageQueue, PutUnlessTestsAndPutsAtomically)
{
    MessageQueue<int> q;
    bool closed = false;
    EXPECT_TRUE(q.put_unless([&] { return closed; }, 1));
    q.with_lock([&] { closed = true; });
    EXPECT_FALSE(q.put_unless([&] { return closed; }, 2));
    EXPECT_EQ(1u, q.size());
}

TEST(MessageQueue, ManyProducersLoseNothingAndKeepEachProducersOrder)
{
    constexpr int producers = 4;
    constexpr int per_producer = 2000;
    MessageQueue<std::pair<int, int>> q;
    std::vector<std::thread> threads;
    for (int p = 0; p < producers; ++p)
        threads.emplace_back([&q, p] {
            for (int i = 0; i < per_producer; ++i)
                q.put({ p, i });
        });
    std::vector<int> next(producers, 0);
    for (int n = 0; n < producers * per_producer; ++n) {
        auto [p, i] = q.get();
        ASSERT_EQ(next[p], i) << "producer " << p;
        ++next[p];
    }
    for (auto& t : threads)
        t.join();
    EXPECT_TRUE(q.empty());
}

TEST(MessageQueue, TryGetTakesTheFrontOrNothingWithoutWaiting)
{
    MessageQueue<int> q;
    EXPECT_EQ(std::nullopt, q.try_get());
    q.put(1);
    q.put(2);
    EXPECT_EQ(std::optional<int>(1), q.try_get());
    EXPECT_EQ(std::optional<int>(2), q.try_get());
    EXPECT_EQ(std::nullopt, q.try_get());
}

// The watch reads a count kept beside the queue without the mutex; every
// operation that changes the queue must leave that count right, or a watcher
// would spin on a queue that holds something or give up on one that does not.
TEST(MessageQueue, WatchSeesWhatEveryOperationLeaves)
{
    MessageQueue<int> q(3);
    auto holds_something = [&] { return q.watch_for(0ms); };
    EXPECT_FALSE(holds_something());
    q.put(1);
    EXPECT_TRUE(holds_something());
    q.get();
    EXPECT_FALSE(holds_something());
    for (int i = 0; i < 5; ++i) // beyond the bound: the oldest make room
        q.put(i);
    EXPECT_TRUE(holds_something());
    q.set_max_count(0);
    EXPECT_FALSE(holds_something());
    q.set_max_count(-1);
    q.put(1);
    EXPECT_TRUE(q.put_unless([] { return false; }, 2));
    q.clear();
    EXPECT_FALSE(holds_something());
    q.put(3);
    EXPECT_EQ(std::optional<int>(3), q.get_until(std::chrono::steady_clock::now()));
    EXPECT_FALSE(holds_something());
    q.put(4);
    EXPECT_EQ(std::optional<int>(4), q.get_unless([] { return false; }));
    EXPECT_FALSE(holds_something());
}

TEST(MessageQueue, WatchGivesUpAtTheDeadlineOrSeesAnElementPutMeanwhile)
{
    MessageQueue<int> q;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(q.watch_until(start + 5ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 5ms);

    std::thread writer([&] { q.put(1); });
    EXPECT_TRUE(q.watch_for(10s));
    writer.join();
    EXPECT_EQ(1u, q.size());
}

// Only a put into an empty queue wakes waiters; with several consumers
// waiting in get, and elements put in bursts and one at a time, every
// element is still taken and no consumer is left asleep beside one.
TEST(MessageQueue, SeveralWaitingConsumersTakeEveryElementOfBursts)
{
    constexpr int consumers = 4;
    constexpr int per_consumer = 2000;
    MessageQueue<int> q;
    std::atomic<long> sum { 0 };
    std::vector<std::thread> threads;
    for (int c = 0; c < consumers; ++c)
        threads.emplace_back([&] {
            for (int i = 0; i < per_consumer; ++i)
                sum += q.get();
        });
    int next = 1;
    while (next <= consumers * per_consumer) {
        // Bursts of 1 to 7 elements, so that puts meet an empty queue and a
        // queue still holding elements; every other burst is put at once,
        // which wakes the waiters only once.
        const int burst = std::min(1 + next % 7, consumers * per_consumer - next + 1);
        if (burst % 2 == 0) {
            std::vector<int> batch;
            for (int i = 0; i < burst; ++i)
                batch.push_back(next++);
            q.put_all(batch);
        } else {
            for (int i = 0; i < burst; ++i)
                q.put(next++);
        }
        std::this_thread::yield();
    }
    for (auto& t : threads)
        t.join();
    const long n = consumers * per_consumer;
    EXPECT_EQ(n * (n + 1) / 2, sum.load());
    EXPECT_TRUE(q.empty());
}
