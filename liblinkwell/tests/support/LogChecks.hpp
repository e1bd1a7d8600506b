// Questions tests ask of a RecordingLogger: was this exact text logged as an
// error, or at this level?
#pragma once

#include <string>

#include "support/RecordingLogger.hpp"

namespace testsupport {

inline bool logged_error(const RecordingLogger& log, const std::string& text)
{
    for (const auto& entry : log.entries())
        if (entry.is_error && entry.text == text)
            return true;
    return false;
}

inline bool logged_at(const RecordingLogger& log, unsigned level, const std::string& text)
{
    for (const auto& entry : log.entries())
        if (!entry.is_error && entry.level == level && entry.text == text)
            return true;
    return false;
}

// Every message so far, one per line, for failure output.
inline std::string dump(const RecordingLogger& log)
{
    std::string out;
    for (const auto& entry : log.entries())
        out += (entry.is_error ? "  error [" : "  " + std::to_string(entry.level) + " [") + entry.text
            + "]\n";
    return out;
}

} // namespace testsupport
