// A Logger that passes every line on to another one until it is detached,
// and drops them from then on. Parts whose tear-down may finish after their
// owner (and its logger) are gone log through one (see Reaper).
#pragma once

#include <atomic>

#include "log/ConsoleAndFileLogger.hpp"

class DetachableLogger : public Logger {
public:
    explicit DetachableLogger(Logger& target);

    // From the moment it returns the target is never touched again, also by
    // a line that was being passed on meanwhile on another thread.
    void detach();

    void set_log_level(int level) override;
    void error(const std::string& text) override;
    void log(unsigned level, const std::string& text) override;
    void print_bytes(unsigned level, const std::vector<uint8_t>& bytes) override;

private:
    template <typename Pass> void pass_on(Pass pass);

    std::atomic<Logger*> target_;
    std::atomic<int> passing_ { 0 };
};
