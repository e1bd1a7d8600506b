// Routes every packet received on one module connection to the parties that
// subscribed to it by byte prefix, and optionally to one typed receiver.
//
// Threads and hand-offs. The reader thread calls dispatch_packets with the
// packets it cut from one read. Under the dispatcher's one lock it looks up,
// packet by packet, the subscriptions that each matches, then:
//   - when they are all queues (a named queue, a request's reply) and no
//     packet is waiting for the dispatcher thread, it puts the packet into
//     those queues itself, still under the lock, and no other thread is
//     involved. Consecutive packets for the same one named queue go in
//     together: one lock of the queue, and its waiter (a get_packet) woken
//     once for them; a request's reply wakes the request waiting on its own
//     queue;
//   - otherwise (a callback or the typed receiver wants the packet, nobody
//     wants it and it is to be logged as such, or packets before it still
//     wait) it queues the packet with the
//     subscriptions it matched, and the dispatcher thread, the only one that
//     runs callbacks and the receiver, routes the queued packets in arrival
//     order.
// So every party sees its packets in arrival order, and a packet never
// overtakes one that arrived before it: packets put into a queue together
// are put before the reader looks at the next packet of the read that is
// for another party. Subscribing and unsubscribing change the table at
// once, under the same lock: a packet is routed by the table as it stood
// when the packet arrived, wherever it is delivered. The typed receiver is
// set and cleared by jobs on the dispatcher thread, in order with the
// packets queued there.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "link/Active.hpp"
#include "protocol/HostParserWrapper.hpp"
#include <linkwell/Bytes.hpp>

class Logger;
class PacketParserCallback;
class QueueFeeder;

class PacketDispatcher {
public:
    using Callback = std::function<bool(const Bytes&)>;
    using Subscription = std::pair<std::vector<Bytes>, Callback>;

    // Takes ownership of the thread; the destructor stops and deletes it.
    PacketDispatcher(Active* thread, Logger& logger);
    // Runs every job queued so far, then joins the thread. Nothing may call
    // dispatch_packets once destruction has begun.
    ~PacketDispatcher();
    PacketDispatcher(const PacketDispatcher&) = delete;
    PacketDispatcher& operator=(const PacketDispatcher&) = delete;

    // Packets received and not yet routed are bounded: a reader that finds
    // this many waiting (or their bytes above the byte bound) waits for
    // routing to make room, and so stops taking bytes from the transport,
    // whose own buffers then hold the module back. Memory stays bounded
    // whatever the module sends, and a reply waits behind at most this many
    // packets.
    static constexpr std::size_t max_waiting_packets = 1024;
    static constexpr std::size_t max_waiting_bytes = 4 << 20;

    // Called on the reader thread with the packets of one read, oldest
    // first: delivers each to queues directly or queues it for the
    // dispatcher thread (see above); waits while the bound is reached.
    void dispatch_packets(std::vector<Bytes> packets);
    // The same, moving the packets out of the vector, whose room stays the
    // caller's for its next read.
    void dispatch_packets_from(std::vector<Bytes>& packets);
    // The same for one packet.
    void dispatch_packet(Bytes packet);

    // Inserts the subscription, or replaces prefix list and callback of an
    // existing one of that name, for every packet dispatched from now on. A
    // packet reaches the callback when it starts with one of the prefixes;
    // an empty prefix matches every packet, an empty list none.
    void subscribe(std::string name, Callback callback, std::vector<Bytes> prefixes);
    void unsubscribe(const std::string& name);

    // Makes the receiver the typed receiver, which gets every packet decoded
    // into its record type before the named subscriptions see it.
    void subscribe(PacketParserCallback* receiver);
    // Clears the typed receiver if it is this one.
    void unsubscribe(PacketParserCallback* receiver);

    // Removes every subscription and the typed receiver, and returns only
    // after the removal has run on the dispatcher thread: from then on no
    // callback and no receiver of this dispatcher is ever called again.
    void unsubscribe_all_and_wait();

    // Runs the typed decode on the calling thread; 0 without a receiver.
    int parse_and_callback(const Bytes& packet);

    // Whether the caller is a callback (or the typed receiver) that this
    // dispatcher is running right now.
    bool on_own_thread() const;
    // For an owner that lets go of the dispatcher from one of its callbacks:
    // no callback or receiver is called once the running one returns, and
    // packets still queued or dispatched are dropped. The dispatcher itself
    // must then be destroyed on another thread (it joins its own), and logs
    // nothing more.
    void retire_from_own_thread();

private:
    struct SubscriptionEntry : std::enable_shared_from_this<SubscriptionEntry> {
        SubscriptionEntry(std::string name, std::vector<Bytes> prefixes, Callback callback);

        const std::string name;
        const std::vector<Bytes> prefixes;
        const Callback callback;
        // The callback when it feeds a named queue, else null.
        const QueueFeeder* const feeder;
        // A queue (named or a request's reply) that the reader thread may
        // fill itself: no user code runs.
        const bool plain_queue;
    };
    using Targets = std::vector<std::shared_ptr<const SubscriptionEntry>>;
    // The same while the lock is held and the table cannot change.
    using Matches = std::vector<const SubscriptionEntry*>;
    struct WaitingPacket {
        Bytes packet;
        Targets targets;
    };

    // Packets that follow one another in a read and are all for the same
    // one named queue: those from begin to end of the read, still in place.
    struct QueueRun {
        const SubscriptionEntry* entry = nullptr;
        std::vector<Bytes>::iterator begin;
        std::vector<Bytes>::iterator end;
    };

    void post(std::function<void()> job);
    // Those the packet matches, into matches.
    void matching(const Bytes& packet, Matches& matches) const;
    void deliver_directly(const Matches& matches, Bytes& packet);
    void deliver_run(QueueRun& run);
    void queue_packet(Bytes packet, const Matches& matches);
    void route_batch();
    WaitingPacket take_incoming();
    void packet_routed();
    void do_dispatch_packet(Bytes packet, const Targets& targets);
    void dispatch_to_callbacks(Bytes& packet, const Targets& targets);
    void call(const SubscriptionEntry& entry, const Bytes& packet);
    void hand_over(const SubscriptionEntry& entry, Bytes& packet);
    void log_unhandled(const Bytes& packet);
    int decode_for_receiver(PacketParserCallback* receiver, const Bytes& packet);

    std::unique_ptr<Active> thread_;
    Logger& logger_;
    std::atomic<bool> retired_ { false };
    // Changed only on the dispatcher thread; atomic because
    // parse_and_callback reads it on the caller's thread.
    std::atomic<PacketParserCallback*> receiver_ { nullptr };
    // Guards everything below.
    std::mutex incoming_mutex_;
    std::condition_variable room_;
    // The subscriptions; an entry is never changed, only replaced, so a
    // waiting packet keeps those it matched.
    std::map<std::string, std::shared_ptr<const SubscriptionEntry>> subscriptions_;
    // What receiver_ will be once the receiver jobs posted so far have run:
    // while there is one, every packet goes through the dispatcher thread.
    PacketParserCallback* receiver_posted_ = nullptr;
    // Packets waiting to be routed on the dispatcher thread, oldest first,
    // and how many of them each routing job in the thread's queue takes, in
    // the same order. A routing job holds only the dispatcher, so it fits
    // into a std::function without an allocation; and packets that come
    // while no other job has been posted since the newest routing job join
    // that job instead of costing one each.
    std::deque<WaitingPacket> incoming_;
    std::size_t incoming_bytes_ = 0;
    std::deque<std::size_t> batches_;
    // Packets queued for the dispatcher thread and not yet routed to the
    // end: while there are any, a packet may not be delivered directly.
    std::size_t not_routed_ = 0;
    // Whether the newest routing job is still the last job posted and has
    // not started: only then may a packet join it.
    bool batch_open_ = false;
    const HostParserWrapper forwarding_parser_;
};
