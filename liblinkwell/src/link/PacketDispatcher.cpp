#include "link/PacketDispatcher.hpp"

#include <cstring>
#include <exception>
#include <future>
#include <optional>

#include "link/QueueFeeder.hpp"
#include "log/ConsoleAndFileLogger.hpp"
#include "protocol/PacketParserCallback.hpp"
#include "protocol_parser.h"

namespace {

bool starts_with(const Bytes& packet, const Bytes& prefix)
{
    return prefix.size() <= packet.size()
        && (prefix.empty() || std::memcmp(packet.data(), prefix.data(), prefix.size()) == 0);
}

bool matches_any(const Bytes& packet, const std::vector<Bytes>& prefixes)
{
    for (const Bytes& prefix : prefixes) {
        if (starts_with(packet, prefix))
            return true;
    }
    return false;
}

// The text of whatever is in flight, for the error log.
std::string describe_current_exception()
{
    try {
        throw;
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown exception";
    }
}

} // namespace

PacketDispatcher::PacketDispatcher(Active* thread, Logger& logger)
    : thread_(thread)
    , logger_(logger)
{
}

PacketDispatcher::~PacketDispatcher()
{
    Trace trace(logger_, 3, "~PacketDispatcher");
    // Runs what is queued, the removals of the owner included, then joins.
    thread_->stop();
}

void PacketDispatcher::post(std::function<void()> job)
{
    thread_->add(std::move(job));
}

void PacketDispatcher::dispatch_packet(Bytes packet)
{
    static const std::string dispatching = "dispatching packet: ";
    logger_.log(3, dispatching);
    logger_.print_bytes(3, packet);
    incoming_.put(std::move(packet));
    post([this] { route_next_packet(); });
}

void PacketDispatcher::route_next_packet()
{
    // Every packet is queued before its job is posted, and jobs run in the
    // order they were posted, so the front packet is there and is this
    // job's (or, with two threads dispatching at once, an earlier one's,
    // which keeps the order in which packets were queued).
    if (std::optional<Bytes> packet = incoming_.try_get())
        do_dispatch_packet(std::move(*packet));
}

void PacketDispatcher::subscribe(std::string name, Callback callback, std::vector<Bytes> prefixes)
{
    post([this, name = std::move(name), callback = std::move(callback),
             prefixes = std::move(prefixes)]() mutable {
        try {
            subscriptions_[std::move(name)] = Subscription(std::move(prefixes), std::move(callback));
        } catch (...) {
            logger_.error("subscribe failed: " + describe_current_exception());
        }
    });
}

void PacketDispatcher::unsubscribe(const std::string& name)
{
    post([this, name] { subscriptions_.erase(name); });
}

void PacketDispatcher::subscribe(PacketParserCallback* receiver)
{
    post([this, receiver] { receiver_.store(receiver); });
}

void PacketDispatcher::unsubscribe(PacketParserCallback* receiver)
{
    post([this, receiver] {
        PacketParserCallback* expected = receiver;
        receiver_.compare_exchange_strong(expected, nullptr);
    });
}

void PacketDispatcher::unsubscribe_all_and_wait()
{
    // The job owns the promise: a thread that no longer takes jobs destroys
    // the job unrun, which breaks the promise, and with no thread left there
    // is nothing to wait for.
    auto removed = std::make_shared<std::promise<void>>();
    std::future<void> done = removed->get_future();
    post([this, removed = std::move(removed)] {
        subscriptions_.clear();
        receiver_.store(nullptr);
        removed->set_value();
    });
    try {
        done.get();
    } catch (const std::future_error&) {
    }
}

int PacketDispatcher::parse_and_callback(const Bytes& packet)
{
    PacketParserCallback* receiver = receiver_.load();
    if (!receiver)
        return 0;
    return decode_for_receiver(receiver, packet);
}

int PacketDispatcher::decode_for_receiver(PacketParserCallback* receiver, const Bytes& packet)
{
    return parse(&forwarding_parser_, packet.data(),
        static_cast<unsigned>(packet.size()), receiver);
}

void PacketDispatcher::do_dispatch_packet(Bytes packet)
{
    // A receiver or callback that throws must not end the dispatcher thread
    // (and with it the process): the fault is logged and routing goes on.
    if (PacketParserCallback* receiver = receiver_.load()) {
        try {
            decode_for_receiver(receiver, packet);
        } catch (...) {
            logger_.error("exception from the typed packet receiver: " + describe_current_exception());
        }
    }
    if (!dispatch_to_callbacks(packet)) {
        logger_.log(1, "do_dispatch_packet, 84 -- we did not find a handler for this package");
        logger_.print_bytes(1, packet);
    }
}

bool PacketDispatcher::dispatch_to_callbacks(Bytes& packet)
{
    // Each match is called once the next match is known, so that the last
    // one, which is often a queue, can be handed the packet itself. No
    // callback can change the table meanwhile: changes are jobs of their own.
    const SubscriptionEntry* previous_match = nullptr;
    for (const SubscriptionEntry& entry : subscriptions_) {
        if (!matches_any(packet, entry.second.first))
            continue;
        if (previous_match)
            call(*previous_match, packet);
        previous_match = &entry;
    }
    if (!previous_match)
        return false;
    hand_over(*previous_match, packet);
    return true;
}

void PacketDispatcher::call(const SubscriptionEntry& entry, const Bytes& packet)
{
    try {
        entry.second.second(packet);
    } catch (...) {
        logger_.error("exception from the callback of subscription \"" + entry.first
            + "\": " + describe_current_exception());
    }
}

// The packet's last use: a queue subscription takes the packet itself and
// saves a copy, any other callback sees it as usual.
void PacketDispatcher::hand_over(const SubscriptionEntry& entry, Bytes& packet)
{
    const QueueFeeder* feeder = entry.second.second.target<QueueFeeder>();
    if (!feeder) {
        call(entry, packet);
        return;
    }
    try {
        feeder->take(std::move(packet));
    } catch (...) {
        logger_.error("exception from the callback of subscription \"" + entry.first
            + "\": " + describe_current_exception());
    }
}
