#include "support/RecordingLogger.hpp"

#include <algorithm>

namespace testsupport {

void RecordingLogger::error(const std::string& text)
{
    add({ 0, text, true });
}

void RecordingLogger::log(unsigned level, const std::string& text)
{
    add({ level, text, false });
}

void RecordingLogger::print_bytes(unsigned level, const std::vector<uint8_t>& bytes)
{
    if (!bytes.empty())
        add({ level, StdoutLogger::format_bytes(bytes), false });
}

void RecordingLogger::add(Entry entry)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        entries_.push_back(std::move(entry));
    }
    changed_.notify_all();
}

std::vector<RecordingLogger::Entry> RecordingLogger::entries() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_;
}

std::vector<std::string> RecordingLogger::texts() const
{
    std::vector<std::string> out;
    for (const auto& e : entries())
        out.push_back(e.text);
    return out;
}

std::vector<std::string> RecordingLogger::errors() const
{
    std::vector<std::string> out;
    for (const auto& e : entries())
        if (e.is_error)
            out.push_back(e.text);
    return out;
}

int RecordingLogger::count_locked(const std::string& text) const
{
    return static_cast<int>(
        std::count_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.text == text; }));
}

int RecordingLogger::count(const std::string& text) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return count_locked(text);
}

bool RecordingLogger::wait_for(const std::string& text, int n, std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return count_locked(text) >= n; });
}

void RecordingLogger::clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
}

} // namespace testsupport
