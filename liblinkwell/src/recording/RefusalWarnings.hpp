// Warnings about refused messages that a module sending a malformed stream
// cannot turn into a flood: the first refusal of a source is told in full,
// the ones after it are counted and told in one summary line at most once
// per interval. A source is a data type's name, or the radar settings.
//
// Not locked: the recorder uses it from its own thread only.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace Sarvik {

class RefusalWarnings {
public:
    using Clock = std::chrono::steady_clock;

    explicit RefusalWarnings(Clock::duration interval = std::chrono::seconds(1));

    // The line to log for a message of `size` bytes that `source` refused for
    // `reason`; empty when the refusal is only counted.
    //   "<source>: message of <size> bytes refused (<reason>)"
    //   "<source>: <n> more messages refused (last: <size> bytes, <reason>)"
    std::string refused(
        const std::string& source, size_t size, const std::string& reason, Clock::time_point now);

    // The summary line of the refusals counted and not yet told for the
    // source, empty when there are none; the source then starts afresh (its
    // next refusal is told in full).
    std::string flush(const std::string& source);

private:
    struct Source {
        Clock::time_point last_line;
        uint64_t untold = 0;
        size_t last_size = 0;
        std::string last_reason;
    };
    static std::string summary(const std::string& source, const Source& s);

    Clock::duration interval_;
    std::map<std::string, Source> sources_;
};

} // namespace Sarvik
