#include "link/ActiveThread.hpp"
#include "support/RecordingLogger.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using testsupport::RecordingLogger;

// Blocks the active thread until released, so a test can queue work behind a
// task that is still running.
class Gate {
public:
    void wait()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [this] { return open_; });
    }
    void open()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            open_ = true;
        }
        cv_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool open_ = false;
};

} // namespace

TEST(ActiveThread, RunsQueuedTasksInOrderBeforeStopReturns)
{
    RecordingLogger logger;
    ActiveThread active("worker", logger);
    std::vector<int> ran; // touched only by the active thread until stop returns
    std::thread::id task_thread;
    for (int i = 1; i <= 3; ++i)
        active.add([&, i] {
            ran.push_back(i);
            task_thread = std::this_thread::get_id();
        });
    active.stop();
    EXPECT_EQ((std::vector<int> { 1, 2, 3 }), ran);
    EXPECT_NE(std::this_thread::get_id(), task_thread);
    EXPECT_EQ(1, logger.count("task ending: worker"));
}

TEST(ActiveThread, TaskAddedAfterStopIsDropped)
{
    RecordingLogger logger;
    ActiveThread active("worker", logger);
    active.stop();
    bool ran = false;
    active.add([&] { ran = true; });
    active.stop(); // the second stop returns at once
    EXPECT_FALSE(ran);
}

TEST(ActiveThread, TaskPostedByATaskRunsAfterWhatWasQueuedBefore)
{
    RecordingLogger logger;
    ActiveThread active("worker", logger);
    Gate gate;
    std::vector<std::string> ran;
    active.add([&] {
        gate.wait();
        ran.push_back("first");
        active.add([&] { ran.push_back("reposted"); });
    });
    active.add([&] { ran.push_back("second"); });
    gate.open();
    active.stop();
    EXPECT_EQ((std::vector<std::string> { "first", "second", "reposted" }), ran);
}

TEST(ActiveThread, StopFromTwoThreadsAtOnceReturnsInBothAfterTheThreadEnded)
{
    RecordingLogger logger;
    ActiveThread active("worker", logger);
    Gate gate;
    std::atomic<bool> task_done { false };
    active.add([&] {
        gate.wait();
        task_done = true;
    });
    auto first = std::async(std::launch::async, [&] {
        active.stop();
        return task_done.load();
    });
    auto second = std::async(std::launch::async, [&] {
        active.stop();
        return task_done.load();
    });
    // Neither stop may return while the task still runs.
    EXPECT_EQ(std::future_status::timeout, first.wait_for(std::chrono::milliseconds(20)));
    EXPECT_EQ(std::future_status::timeout, second.wait_for(std::chrono::milliseconds(0)));
    gate.open();
    EXPECT_TRUE(first.get());
    EXPECT_TRUE(second.get());
    EXPECT_EQ(1, logger.count("task ending: worker"));
}

TEST(ActiveThread, TasksAddedWhileStoppingEitherRunOrAreDropped)
{
    // Producers race the stop; whatever was accepted must have run by the
    // time stop returns, and nothing runs after it.
    for (int round = 0; round < 20; ++round) {
        RecordingLogger logger;
        ActiveThread active("worker", logger);
        std::atomic<int> ran { 0 };
        std::atomic<bool> stopped { false };
        std::atomic<int> ran_after_stop { 0 };
        std::vector<std::thread> producers;
        for (int p = 0; p < 3; ++p)
            producers.emplace_back([&] {
                for (int i = 0; i < 200; ++i)
                    active.add([&] {
                        ++ran;
                        if (stopped)
                            ++ran_after_stop;
                    });
            });
        active.stop();
        stopped = true;
        for (auto& t : producers)
            t.join();
        EXPECT_EQ(0, ran_after_stop);
        EXPECT_LE(ran, 600);
    }
}

TEST(ActiveThread, ATaskThatThrowsIsLoggedAndTheThreadGoesOn)
{
    RecordingLogger logger;
    ActiveThread active("worker", logger);
    bool later_ran = false;
    active.add([] { throw std::runtime_error("boom"); });
    active.add([] { throw 7; });
    active.add([&] { later_ran = true; });
    active.stop();
    EXPECT_TRUE(later_ran);
    EXPECT_EQ((std::vector<std::string> {
                  "task of thread worker threw: boom", "task of thread worker threw an unknown exception" }),
        logger.errors());
}

TEST(ActiveThread, DestructionStopsRunsWhatIsQueuedAndLogs)
{
    RecordingLogger logger;
    std::vector<int> ran;
    {
        ActiveThread active("reader", logger);
        EXPECT_EQ("reader", active.name());
        active.add([&] { ran.push_back(1); });
        active.add([&] { ran.push_back(2); });
    }
    EXPECT_EQ((std::vector<int> { 1, 2 }), ran);
    auto entries = logger.entries();
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ("task ending: reader", entries[0].text);
    EXPECT_EQ(5u, entries[0].level);
    EXPECT_EQ("~ActiveThread: reader", entries[1].text);
    EXPECT_EQ(5u, entries[1].level);
}
