// A Logger for tests that keeps every message of every level, with the level
// it was logged at, and lets a test wait for a message logged by another
// thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "log/ConsoleAndFileLogger.hpp"

namespace testsupport {

class RecordingLogger : public Logger {
public:
    struct Entry {
        unsigned level;
        std::string text;
        bool is_error; // logged through error() or serror()
    };

    void set_log_level(int) override { }
    void error(const std::string& text) override;
    void log(unsigned level, const std::string& text) override;
    // Keeps the dump as StdoutLogger::format_bytes writes it; nothing for no
    // bytes, as the real loggers.
    void print_bytes(unsigned level, const std::vector<uint8_t>& bytes) override;

    std::vector<Entry> entries() const;
    // The texts, in order.
    std::vector<std::string> texts() const;
    // The texts logged through error()/serror(), in order.
    std::vector<std::string> errors() const;
    // How many messages have exactly this text.
    int count(const std::string& text) const;
    // Waits until at least n messages have exactly this text; false on
    // timeout.
    bool wait_for(const std::string& text, int n = 1,
        std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    void clear();

private:
    void add(Entry entry);
    int count_locked(const std::string& text) const;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<Entry> entries_;
};

} // namespace testsupport
