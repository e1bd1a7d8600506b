#include "recording/RefusalWarnings.hpp"

namespace Sarvik {

RefusalWarnings::RefusalWarnings(Clock::duration interval)
    : interval_(interval)
{ }

std::string RefusalWarnings::refused(
    const std::string& source, size_t size, const std::string& reason, Clock::time_point now)
{
    const auto found = sources_.find(source);
    if (found == sources_.end()) {
        sources_[source].last_line = now;
        return source + ": message of " + std::to_string(size) + " bytes refused (" + reason + ")";
    }
    Source& s = found->second;
    ++s.untold;
    s.last_size = size;
    s.last_reason = reason;
    if (now - s.last_line < interval_)
        return {};
    s.last_line = now;
    std::string line = summary(source, s);
    s.untold = 0;
    return line;
}

std::string RefusalWarnings::flush(const std::string& source)
{
    const auto found = sources_.find(source);
    if (found == sources_.end())
        return {};
    std::string line = found->second.untold ? summary(source, found->second) : std::string();
    sources_.erase(found);
    return line;
}

std::string RefusalWarnings::summary(const std::string& source, const Source& s)
{
    return source + ": " + std::to_string(s.untold) + (s.untold == 1 ? " more message" : " more messages")
        + " refused (last: " + std::to_string(s.last_size) + " bytes, " + s.last_reason + ")";
}

} // namespace Sarvik
