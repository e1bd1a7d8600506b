#include "link/DetachableLogger.hpp"

#include <thread>

DetachableLogger::DetachableLogger(Logger& target)
    : target_(&target)
{
    // Once detached, a level the target wrote still passes logs(); the line
    // is then dropped here.
    follow_level_limit_of(target);
}

void DetachableLogger::detach()
{
    target_ = nullptr;
    // Lines already on their way finish first; they are short.
    while (passing_.load() != 0)
        std::this_thread::yield();
}

template <typename Pass> void DetachableLogger::pass_on(Pass pass)
{
    ++passing_;
    if (Logger* target = target_.load())
        pass(*target);
    --passing_;
}

void DetachableLogger::set_log_level(int level)
{
    pass_on([&](Logger& target) { target.set_log_level(level); });
}

void DetachableLogger::error(const std::string& text)
{
    pass_on([&](Logger& target) { target.error(text); });
}

void DetachableLogger::log(unsigned level, const std::string& text)
{
    pass_on([&](Logger& target) { target.log(level, text); });
}

void DetachableLogger::print_bytes(unsigned level, const std::vector<uint8_t>& bytes)
{
    pass_on([&](Logger& target) { target.print_bytes(level, bytes); });
}
