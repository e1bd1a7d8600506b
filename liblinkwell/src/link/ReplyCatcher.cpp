#include "link/ReplyCatcher.hpp"

#include <cstring>

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

bool ReplyCatcher::Debt::could_be_paid_by(const Bytes& packet) const
{
    return outstanding() && starts_with_any(packet, prefixes_);
}

ReplyCatcher::ReplyCatcher(std::weak_ptr<MessageQueue<Bytes>> queue, std::shared_ptr<Debt> own)
    : queue_(std::move(queue))
    , own_(std::move(own))
{ }

bool ReplyCatcher::operator()(const Bytes& packet) const
{
    // The request has given up, or been answered and left: this is the late
    // reply it was owed.
    std::shared_ptr<MessageQueue<Bytes>> queue = own_->armed() ? nullptr : queue_.lock();
    if (!queue) {
        own_->settle();
        return false;
    }
    queue->put(packet);
    return true;
}
