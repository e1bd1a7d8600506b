#include "link/PacketDispatcher.hpp"

#include <algorithm>
#include <cstring>
#include <exception>
#include <future>

#include "link/QueueFeeder.hpp"
#include "link/ReplyCatcher.hpp"
#include "log/ConsoleAndFileLogger.hpp"
#include <linkwell/PacketParserCallback.hpp>
#include <linkwell/protocol_parser.h>

namespace {

bool starts_with(const Bytes& packet, const Bytes& prefix)
{
    // Most prefixes are one or two bytes: the first one decides most
    // packets without a call.
    return prefix.size() <= packet.size()
        && (prefix.empty()
            || (packet[0] == prefix[0]
                && std::memcmp(packet.data() + 1, prefix.data() + 1, prefix.size() - 1) == 0));
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

PacketDispatcher::SubscriptionEntry::SubscriptionEntry(
    std::string name_, std::vector<Bytes> prefixes_, Callback callback_)
    : name(std::move(name_))
    , prefixes(std::move(prefixes_))
    , callback(std::move(callback_))
    , feeder(callback.target<QueueFeeder>())
    , plain_queue(feeder || callback.target<ReplyCatcher>())
{ }

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
    std::vector<Bytes> packets;
    packets.push_back(std::move(packet));
    dispatch_packets_from(packets);
}

void PacketDispatcher::dispatch_packets(std::vector<Bytes> packets)
{
    dispatch_packets_from(packets);
}

// The path of every received packet starts here; see the header for the
// threads and their hand-offs.
void PacketDispatcher::dispatch_packets_from(std::vector<Bytes>& packets)
{
    if (retired_)
        return;
    if (logger_.logs(3)) {
        static const std::string dispatching = "dispatching packet: ";
        for (const Bytes& packet : packets) {
            logger_.log(3, dispatching);
            logger_.print_bytes(3, packet);
        }
    }
    std::unique_lock<std::mutex> lock(incoming_mutex_);
    // Consecutive packets for the same one named queue, put there together.
    QueueRun run;
    Matches matches;
    for (auto packet = packets.begin(); packet != packets.end(); ++packet) {
        // One packet larger than the byte bound still passes on its own.
        const auto room = [&] {
            return retired_
                || (incoming_.size() < max_waiting_packets
                    && (incoming_.empty() || incoming_bytes_ + packet->size() <= max_waiting_bytes));
        };
        if (!room()) {
            deliver_run(run);
            room_.wait(lock, room);
        }
        if (retired_)
            return;
        // The entries matched stay valid while the lock is held, which it is
        // until the packet has been delivered or queued, and the run until it
        // has been delivered.
        matching(*packet, matches);
        const bool plain = std::all_of(matches.begin(), matches.end(),
            [](const SubscriptionEntry* entry) { return entry->plain_queue; });
        // A packet nobody wants is logged on the dispatcher thread, outside
        // the lock, and the later packets of the read queue behind it, so
        // nothing it arrived before is seen before its log line.
        if (matches.empty() || !plain || not_routed_ != 0 || receiver_posted_) {
            deliver_run(run);
            queue_packet(std::move(*packet), matches);
        } else if (matches.size() == 1 && matches.front()->feeder) {
            if (run.entry != matches.front()) {
                deliver_run(run);
                run.entry = matches.front();
                run.begin = packet;
            }
            run.end = packet + 1;
        } else {
            deliver_run(run);
            deliver_directly(matches, *packet);
        }
    }
    deliver_run(run);
}

void PacketDispatcher::matching(const Bytes& packet, Matches& matches) const
{
    matches.clear();
    for (const auto& [name, entry] : subscriptions_)
        if (matches_any(packet, entry->prefixes))
            matches.push_back(entry.get());
}

// On the reader thread, under the lock: only queues, which run no user code.
void PacketDispatcher::deliver_directly(const Matches& matches, Bytes& packet)
{
    for (std::size_t i = 0; i + 1 < matches.size(); ++i)
        call(*matches[i], packet);
    hand_over(*matches.back(), packet);
}

// On the reader thread, under the lock: the packets of the run go to its
// queue under one lock of the queue, and wake its waiter once.
void PacketDispatcher::deliver_run(QueueRun& run)
{
    if (!run.entry)
        return;
    try {
        run.entry->feeder->take_all(run.begin, run.end);
    } catch (...) {
        logger_.error("exception from the callback of subscription \"" + run.entry->name
            + "\": " + describe_current_exception());
    }
    run.entry = nullptr;
}

// Routing keeps the order of a job per packet: a packet joins the newest
// routing job only while no other job has been posted behind it and it has
// not started, so the packet is routed exactly where a job of its own would
// have routed it. Called under the lock.
void PacketDispatcher::queue_packet(Bytes packet, const Matches& matches)
{
    Targets targets;
    targets.reserve(matches.size());
    for (const SubscriptionEntry* entry : matches)
        targets.push_back(entry->shared_from_this());
    const std::size_t size = packet.size();
    incoming_.push_back({ std::move(packet), std::move(targets) });
    incoming_bytes_ += size;
    ++not_routed_;
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
        incoming_bytes_ -= size;
        incoming_.pop_back();
        --not_routed_;
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
    // behind. The lock is not held while routing: callbacks may subscribe.
    struct Routing {
        const PacketDispatcher* previous = routing_dispatcher;
        explicit Routing(const PacketDispatcher* dispatcher) { routing_dispatcher = dispatcher; }
        ~Routing() { routing_dispatcher = previous; }
    } routing(this);
    for (; count > 0; --count) {
        WaitingPacket waiting = take_incoming();
        if (!retired_) {
            try {
                do_dispatch_packet(std::move(waiting.packet), waiting.targets);
            } catch (...) {
                logger_.error("routing a packet failed: " + describe_current_exception());
            }
        }
        packet_routed();
    }
}

PacketDispatcher::WaitingPacket PacketDispatcher::take_incoming()
{
    std::lock_guard<std::mutex> lock(incoming_mutex_);
    WaitingPacket waiting = std::move(incoming_.front());
    incoming_.pop_front();
    incoming_bytes_ -= waiting.packet.size();
    room_.notify_one();
    return waiting;
}

void PacketDispatcher::packet_routed()
{
    std::lock_guard<std::mutex> lock(incoming_mutex_);
    --not_routed_;
}

void PacketDispatcher::subscribe(std::string name, Callback callback, std::vector<Bytes> prefixes)
{
    auto entry = std::make_shared<const SubscriptionEntry>(name, std::move(prefixes), std::move(callback));
    std::lock_guard<std::mutex> lock(incoming_mutex_);
    subscriptions_[std::move(name)] = std::move(entry);
}

void PacketDispatcher::unsubscribe(const std::string& name)
{
    std::lock_guard<std::mutex> lock(incoming_mutex_);
    subscriptions_.erase(name);
}

void PacketDispatcher::subscribe(PacketParserCallback* receiver)
{
    std::lock_guard<std::mutex> lock(incoming_mutex_);
    receiver_posted_ = receiver;
    batch_open_ = false;
    thread_->add([this, receiver] { receiver_.store(receiver); });
}

void PacketDispatcher::unsubscribe(PacketParserCallback* receiver)
{
    std::lock_guard<std::mutex> lock(incoming_mutex_);
    if (receiver_posted_ == receiver)
        receiver_posted_ = nullptr;
    batch_open_ = false;
    thread_->add([this, receiver] {
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
    {
        // No packet dispatched from now on matches anything; those queued
        // before are routed before the job runs.
        std::lock_guard<std::mutex> lock(incoming_mutex_);
        subscriptions_.clear();
        receiver_posted_ = nullptr;
        batch_open_ = false;
        thread_->add([this, removed = std::move(removed)] {
            receiver_.store(nullptr);
            removed->set_value();
        });
    }
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

void PacketDispatcher::do_dispatch_packet(Bytes packet, const Targets& targets)
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
    if (targets.empty()) {
        log_unhandled(packet);
        return;
    }
    dispatch_to_callbacks(packet, targets);
}

void PacketDispatcher::log_unhandled(const Bytes& packet)
{
    if (!logger_.logs(1))
        return;
    logger_.log(1, "do_dispatch_packet, 84 -- we did not find a handler for this package");
    logger_.print_bytes(1, packet);
}

void PacketDispatcher::dispatch_to_callbacks(Bytes& packet, const Targets& targets)
{
    // Every match but the last sees the packet; the last, which is often a
    // queue, can be handed the packet itself.
    for (std::size_t i = 0; i + 1 < targets.size(); ++i) {
        call(*targets[i], packet);
        // That callback let go of the connection.
        if (retired_)
            return;
    }
    hand_over(*targets.back(), packet);
}

void PacketDispatcher::call(const SubscriptionEntry& entry, const Bytes& packet)
{
    try {
        entry.callback(packet);
    } catch (...) {
        logger_.error("exception from the callback of subscription \"" + entry.name
            + "\": " + describe_current_exception());
    }
}

// The packet's last use: a queue subscription takes the packet itself and
// saves a copy, any other callback sees it as usual.
void PacketDispatcher::hand_over(const SubscriptionEntry& entry, Bytes& packet)
{
    if (!entry.feeder) {
        call(entry, packet);
        return;
    }
    try {
        entry.feeder->take(std::move(packet));
    } catch (...) {
        logger_.error("exception from the callback of subscription \"" + entry.name
            + "\": " + describe_current_exception());
    }
}
