#include "link/PacketDispatcher.hpp"

#include <cstring>
#include <exception>
#include <future>

#include "link/QueueFeeder.hpp"
#include "log/ConsoleAndFileLogger.hpp"
#include <linkwell/PacketParserCallback.hpp>
#include <linkwell/protocol_parser.h>

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

// The dispatcher whose routing job runs on this thread, if any.
thread_local const PacketDispatcher* routing_dispatcher = nullptr;

} // namespace

PacketDispatcher::PacketDispatcher(Active* thread, Logger& logger)
    : thread_(thread)
    , logger_(logger)
{ }

PacketDispatcher::~PacketDispatcher()
{
    if (retired_) {
        // The owner and its logger may be gone; the jobs left only drop
        // what they hold.
        thread_->stop();
        return;
    }
    Trace trace(logger_, 3, "~PacketDispatcher");
    // Runs what is queued, the removals of the owner included, then joins.
    thread_->stop();
}

bool PacketDispatcher::on_own_thread() const
{
    return routing_dispatcher == this;
}

void PacketDispatcher::retire_from_own_thread()
{
    {
        std::lock_guard<std::mutex> lock(incoming_mutex_);
        retired_ = true;
    }
    // A reader waiting for room drops its packet and goes on to stop.
    room_.notify_all();
    receiver_.store(nullptr);
}

void PacketDispatcher::post(std::function<void()> job)
{
    // Posted under the lock, so that a packet dispatched after this job
    // cannot join a routing job queued before it.
    std::lock_guard<std::mutex> lock(incoming_mutex_);
    batch_open_ = false;
    thread_->add(std::move(job));
}

void PacketDispatcher::dispatch_packet(Bytes packet)
{
    if (retired_)
        return;
    static const std::string dispatching = "dispatching packet: ";
    logger_.log(3, dispatching);
    logger_.print_bytes(3, packet);
    queue_packet(std::move(packet));
}

// Routing keeps the order of a job per packet: a packet joins the newest
// routing job only while no other job has been posted behind it and it has
// not started, so the packet is routed exactly where a job of its own would
// have routed it.
void PacketDispatcher::queue_packet(Bytes packet)
{
    std::unique_lock<std::mutex> lock(incoming_mutex_);
    // One packet larger than the byte bound still passes on its own.
    room_.wait(lock, [&] {
        return retired_
            || (incoming_.size() < max_waiting_packets
                && (incoming_.empty() || incoming_bytes_ + packet.size() <= max_waiting_bytes));
    });
    if (retired_)
        return;
    incoming_bytes_ += packet.size();
    incoming_.push_back(std::move(packet));
    if (batch_open_) {
        ++batches_.back();
        return;
    }
    try {
        batches_.push_back(1);
        try {
            thread_->add([this] { route_batch(); });
        } catch (...) {
            batches_.pop_back();
            throw;
        }
    } catch (...) {
        incoming_bytes_ -= incoming_.back().size();
        incoming_.pop_back();
        throw;
    }
    batch_open_ = true;
}

void PacketDispatcher::route_batch()
{
    std::size_t count = 0;
    {
        std::lock_guard<std::mutex> lock(incoming_mutex_);
        count = batches_.front();
        batches_.pop_front();
        // With no batch behind it this job's batch was the open one; from
        // now on a packet needs a job of its own.
        if (batches_.empty())
            batch_open_ = false;
    }
    // The batch's packets are the oldest ones; later batches queue theirs
    // behind. The lock is not held while routing: callbacks may post jobs.
    struct Routing {
        const PacketDispatcher* previous = routing_dispatcher;
        explicit Routing(const PacketDispatcher* dispatcher) { routing_dispatcher = dispatcher; }
        ~Routing() { routing_dispatcher = previous; }
    } routing(this);
    for (; count > 0; --count) {
        Bytes packet = take_incoming();
        if (retired_)
            continue;
        try {
            do_dispatch_packet(std::move(packet));
        } catch (...) {
            logger_.error("routing a packet failed: " + describe_current_exception());
        }
    }
}

Bytes PacketDispatcher::take_incoming()
{
    std::lock_guard<std::mutex> lock(incoming_mutex_);
    Bytes packet = std::move(incoming_.front());
    incoming_.pop_front();
    incoming_bytes_ -= packet.size();
    room_.notify_one();
    return packet;
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
    } catch (const std::future_error&) { }
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
    return parse(&forwarding_parser_, packet.data(), static_cast<unsigned>(packet.size()), receiver);
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
        if (retired_)
            return;
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
        if (previous_match) {
            call(*previous_match, packet);
            // That callback let go of the connection.
            if (retired_)
                return true;
        }
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
