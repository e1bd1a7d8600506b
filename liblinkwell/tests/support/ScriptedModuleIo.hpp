// A ModuleIo for tests whose reads and writes follow a script, for the cases
// that a real port cannot be made to produce on demand (short writes, empty
// writes, read errors at a chosen moment). Safe for one reading and one
// writing thread at once, as the real transports.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "link/ModuleIo.hpp"
#include <linkwell/Bytes.hpp>

namespace testsupport {

class ScriptedModuleIo : public ModuleIo {
public:
    // One scripted read: the bytes to hand out, or, when result is not
    // positive, that result with no bytes.
    struct ReadStep {
        Bytes bytes;
        int result = 0;
    };

    ScriptedModuleIo() = default;
    // Runs on_destroy, if set; fails the test if a read is still running.
    ~ScriptedModuleIo() override;

    int open(const std::string& name) override;
    void set_baudrate(unsigned baudrate) override;
    // Takes the next scripted result; with the script used up it takes every
    // byte. Records the bytes it takes. A result of 0 returns after
    // empty_write_wait, as a transport that waited for room in vain.
    int write(const unsigned char* data, unsigned length) override;
    // Takes the next scripted step; bytes beyond size stay for the next read.
    // With the script used up it waits up to idle_wait for more and returns
    // 0, as a quiet module does.
    int read(unsigned char* buffer, unsigned size, unsigned timeout) override;

    // Script.
    void set_open_result(int result);
    void push_read(Bytes bytes);
    void push_read_result(int result);
    void push_write_results(std::vector<int> results);

    // What happened.
    std::vector<std::string> opened() const;
    std::vector<unsigned> baudrates() const;
    Bytes written() const;
    // The length asked for by each write call.
    std::vector<unsigned> write_lengths() const;
    int read_calls() const;
    unsigned last_read_size() const;
    unsigned last_read_timeout() const;
    // Waits until read has been called at least n times.
    bool wait_for_reads(int n, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    // Waits until the read script is used up and one more read has asked.
    bool wait_until_reads_done(std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

    std::function<void()> on_destroy;
    std::chrono::milliseconds idle_wait { 2 };
    std::chrono::milliseconds empty_write_wait { 0 };

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    int open_result_ = 0;
    std::vector<std::string> opened_;
    std::vector<unsigned> baudrates_;
    std::deque<ReadStep> reads_;
    std::deque<int> write_results_;
    Bytes written_;
    std::vector<unsigned> write_lengths_;
    int read_calls_ = 0;
    int idle_reads_ = 0;
    unsigned last_read_size_ = 0;
    unsigned last_read_timeout_ = 0;
    bool reading_ = false;
};

} // namespace testsupport
