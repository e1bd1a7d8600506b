#include "link/PacketDispatcher.hpp"

#include <cstring>
#include <exception>
#include <future>

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
    post([this, packet = std::move(packet)] { do_dispatch_packet(packet); });
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

void PacketDispatcher::do_dispatch_packet(const Bytes& packet)
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

bool PacketDispatcher::dispatch_to_callbacks(const Bytes& packet)
{
    bool handled = false;
    for (auto& [name, subscription] : subscriptions_) {
        if (!matches_any(packet, subscription.first))
            continue;
        handled = true;
        try {
            subscription.second(packet);
        } catch (...) {
            logger_.error("exception from the callback of subscription \"" + name
                + "\": " + describe_current_exception());
        }
    }
    return handled;
}
