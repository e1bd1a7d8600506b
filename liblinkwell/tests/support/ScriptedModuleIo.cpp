#include "support/ScriptedModuleIo.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <thread>

namespace testsupport {

ScriptedModuleIo::~ScriptedModuleIo()
{
    EXPECT_FALSE(reading_) << "the ModuleIo was destroyed during a read";
    if (on_destroy)
        on_destroy();
}

int ScriptedModuleIo::open(const std::string& name)
{
    std::lock_guard<std::mutex> lock(mutex_);
    opened_.push_back(name);
    return open_result_;
}

void ScriptedModuleIo::set_baudrate(unsigned baudrate)
{
    std::lock_guard<std::mutex> lock(mutex_);
    baudrates_.push_back(baudrate);
}

int ScriptedModuleIo::write(const unsigned char* data, unsigned length)
{
    int result = static_cast<int>(length);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        write_lengths_.push_back(length);
        if (!write_results_.empty()) {
            result = write_results_.front();
            write_results_.pop_front();
        }
        if (result > 0)
            written_.insert(
                written_.end(), data, data + std::min<unsigned>(length, static_cast<unsigned>(result)));
    }
    if (result == 0)
        std::this_thread::sleep_for(empty_write_wait);
    return result;
}

int ScriptedModuleIo::read(unsigned char* buffer, unsigned size, unsigned timeout)
{
    std::unique_lock<std::mutex> lock(mutex_);
    reading_ = true;
    ++read_calls_;
    last_read_size_ = size;
    last_read_timeout_ = timeout;
    changed_.notify_all();
    if (reads_.empty()) {
        ++idle_reads_;
        changed_.notify_all();
        changed_.wait_for(lock, idle_wait, [this] { return !reads_.empty(); });
        reading_ = false;
        return 0;
    }
    ReadStep& step = reads_.front();
    int result = step.result;
    if (!step.bytes.empty()) {
        const unsigned n = std::min<unsigned>(size, static_cast<unsigned>(step.bytes.size()));
        std::memcpy(buffer, step.bytes.data(), n);
        step.bytes.erase(step.bytes.begin(), step.bytes.begin() + n);
        result = static_cast<int>(n);
        if (step.bytes.empty())
            reads_.pop_front();
    } else {
        reads_.pop_front();
    }
    reading_ = false;
    return result;
}

void ScriptedModuleIo::set_open_result(int result)
{
    std::lock_guard<std::mutex> lock(mutex_);
    open_result_ = result;
}

void ScriptedModuleIo::push_read(Bytes bytes)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        idle_reads_ = 0;
        reads_.push_back({ std::move(bytes), 0 });
    }
    changed_.notify_all();
}

void ScriptedModuleIo::push_read_result(int result)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        idle_reads_ = 0;
        reads_.push_back({ {}, result });
    }
    changed_.notify_all();
}

void ScriptedModuleIo::push_write_results(std::vector<int> results)
{
    std::lock_guard<std::mutex> lock(mutex_);
    write_results_.insert(write_results_.end(), results.begin(), results.end());
}

std::vector<std::string> ScriptedModuleIo::opened() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return opened_;
}

std::vector<unsigned> ScriptedModuleIo::baudrates() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return baudrates_;
}

Bytes ScriptedModuleIo::written() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return written_;
}

std::vector<unsigned> ScriptedModuleIo::write_lengths() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return write_lengths_;
}

int ScriptedModuleIo::read_calls() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return read_calls_;
}

unsigned ScriptedModuleIo::last_read_size() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return last_read_size_;
}

unsigned ScriptedModuleIo::last_read_timeout() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return last_read_timeout_;
}

bool ScriptedModuleIo::wait_for_reads(int n, std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return read_calls_ >= n; });
}

bool ScriptedModuleIo::wait_until_reads_done(std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return reads_.empty() && idle_reads_ > 0; });
}

} // namespace testsupport
