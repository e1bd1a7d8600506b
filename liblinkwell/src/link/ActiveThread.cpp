#include "link/ActiveThread.hpp"

#include <cassert>
#include <exception>

#include "log/ConsoleAndFileLogger.hpp"

ActiveThread::ActiveThread(const std::string& name, Logger& logger)
    : name_(name)
    , logger_(logger)
{
    thread_ = std::thread([this] { loop(); });
    wait_for_thread_start();
}

ActiveThread::~ActiveThread()
{
    stop();
    logger_.log(5, "~ActiveThread: " + name_);
}

void ActiveThread::add(std::function<void()> task)
{
    q_.put_unless([this] { return stopped_; }, std::move(task));
}

void ActiveThread::stop()
{
    std::lock_guard<std::mutex> lock(stop_mutex_);
    if (!thread_.joinable())
        return;
    assert(thread_.get_id() != std::this_thread::get_id() && "stop() from the active thread");
    // Bypasses the stop flag test: the flag is only ever set by this task.
    q_.put([this] { do_stop(); });
    thread_.join();
    assert(q_.empty() && "q_.empty()");
}

void ActiveThread::do_stop()
{
    q_.with_lock([this] { stopped_ = true; });
}

void ActiveThread::loop()
{
    notify_thread_start();
    // Tasks queued behind the stop task still run; the thread ends once the
    // flag is set and the queue has run dry. An empty queue puts the thread
    // to sleep at once: watching it awake for a while costs more than the
    // wake-up it saves at the rates modules send, on every connection.
    for (;;) {
        std::optional<std::function<void()>> task = q_.get_unless([this] { return stopped_; });
        if (!task)
            break;
        run(*task);
    }
    logger_.log(5, "task ending: " + name_);
}

void ActiveThread::run(const std::function<void()>& task)
{
    // Tasks must not throw; should one do so anyway, the thread logs it and
    // carries on instead of taking the whole process down.
    try {
        task();
    } catch (const std::exception& e) {
        logger_.error("task of thread " + name_ + " threw: " + e.what());
    } catch (...) {
        logger_.error("task of thread " + name_ + " threw an unknown exception");
    }
}

void ActiveThread::notify_thread_start()
{
    {
        std::lock_guard<std::mutex> lock(start_mutex_);
        started_ = true;
    }
    start_cv_.notify_all();
}

void ActiveThread::wait_for_thread_start()
{
    std::unique_lock<std::mutex> lock(start_mutex_);
    start_cv_.wait(lock, [this] { return started_; });
}
