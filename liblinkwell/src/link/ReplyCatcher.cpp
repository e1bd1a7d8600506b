#include "link/ReplyCatcher.hpp"

#include <cstring>

#include "log/ConsoleAndFileLogger.hpp"

namespace {

bool starts_with_any(const Bytes& packet, const std::vector<Bytes>& prefixes)
{
    for (const Bytes& prefix : prefixes)
        if (prefix.size() <= packet.size()
            && (prefix.empty() || std::memcmp(packet.data(), prefix.data(), prefix.size()) == 0))
            return true;
    return false;
}

} // namespace

ReplyCatcher::Debt::Debt(std::vector<Bytes> prefixes)
    : prefixes_(std::move(prefixes))
{ }

void ReplyCatcher::Debt::arm(std::chrono::seconds timeout)
{
    const Clock::time_point now = Clock::now();
    until_ = timeout >= Clock::time_point::max() - now ? Clock::time_point::max() : now + timeout;
    armed_ = true;
}

bool ReplyCatcher::Debt::outstanding() const
{
    return armed_ && !settled_ && Clock::now() <= until_;
}

bool ReplyCatcher::Debt::settle_with(const Bytes& packet)
{
    if (!outstanding() || !starts_with_any(packet, prefixes_))
        return false;
    settled_ = true;
    return true;
}

ReplyCatcher::ReplyCatcher(
    std::weak_ptr<MessageQueue<Bytes>> queue, std::shared_ptr<Debt> own, Debts earlier, Logger& logger)
    : queue_(std::move(queue))
    , own_(std::move(own))
    , earlier_(std::move(earlier))
    , logger_(&logger)
{ }

bool ReplyCatcher::operator()(const Bytes& packet) const
{
    for (const auto& debt : earlier_) {
        if (debt->settle_with(packet)) {
            logger_->log(3, "dropping the late reply to a request that timed out");
            logger_->print_bytes(3, packet);
            own_->paid_for_earlier();
            return false;
        }
    }
    // The request has given up (or been answered and left): this is the
    // late reply it was owed.
    if (own_->armed()) {
        own_->settle();
        return false;
    }
    std::shared_ptr<MessageQueue<Bytes>> queue = queue_.lock();
    if (!queue) {
        own_->settle();
        return false;
    }
    queue->put(packet);
    return true;
}
