// An Active on a named std::thread of its own with an unbounded task queue.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "link/Active.hpp"
#include "link/MessageQueue.hpp"

class Logger;

class ActiveThread : public Active {
public:
    // Returns once the thread runs and waits for tasks.
    ActiveThread(const std::string& name, Logger& logger);
    // Stops the thread first.
    ~ActiveThread() override;
    ActiveThread(const ActiveThread&) = delete;
    ActiveThread& operator=(const ActiveThread&) = delete;

    // Drops the task once the thread has been stopped.
    void add(std::function<void()> task) override;

    // Queues the stop behind every task added so far and waits until the
    // thread has run them and ended. Safe to call twice and from several
    // threads at once; every caller returns after the thread has ended.
    void stop() override;

    const std::string& name() const { return name_; }

private:
    void loop();
    void run(const std::function<void()>& task);
    void do_stop();
    void notify_thread_start();
    void wait_for_thread_start();

    std::string name_;
    bool started_ = false;
    std::mutex start_mutex_;
    std::condition_variable start_cv_;
    MessageQueue<std::function<void()>> q_ { -1 };
    std::thread thread_;
    // Set only by the stop task; read and written under q_'s mutex, so that no
    // task can enter the queue after the stop task has run.
    bool stopped_ = false;
    // Serialises stop(): the first caller joins, the others wait for it.
    std::mutex stop_mutex_;
    Logger& logger_;
};
