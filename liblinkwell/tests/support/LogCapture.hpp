// A Logger that keeps the text of every line it writes, for tests that check
// what the library logged. Lines may come from any thread.
#pragma once

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "log/ConsoleAndFileLogger.hpp"

namespace testsupport {

class LogCapture {
public:
    explicit LogCapture(int threshold = 6)
        : logger_(threshold, new Sink(this))
    { }

    Logger& logger() { return logger_; }

    // The texts logged so far, without the leading "<seconds> : ".
    std::vector<std::string> texts() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return texts_;
    }

    bool contains(const std::string& text) const
    {
        const auto all = texts();
        return std::find(all.begin(), all.end(), text) != all.end();
    }

    size_t count(const std::string& text) const
    {
        const auto all = texts();
        return static_cast<size_t>(std::count(all.begin(), all.end(), text));
    }

    // Every text logged so far, one per line, for failure messages.
    std::string dump() const
    {
        std::string out;
        for (const auto& text : texts())
            out += "  [" + text + "]\n";
        return out;
    }

private:
    class Sink : public Sarvik::AbstractLoggerIo {
    public:
        explicit Sink(LogCapture* owner)
            : owner_(owner)
        { }
        void log(const std::string& line) override
        {
            const auto at = line.find(" : ");
            std::lock_guard<std::mutex> lock(owner_->mutex_);
            owner_->texts_.push_back(at == std::string::npos ? line : line.substr(at + 3));
        }

    private:
        LogCapture* owner_;
    };

    mutable std::mutex mutex_;
    std::vector<std::string> texts_;
    StdoutLogger logger_; // last: its sink writes into the members above
};

} // namespace testsupport
