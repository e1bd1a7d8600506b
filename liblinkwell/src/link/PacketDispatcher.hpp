// Routes every packet received on one module connection to the parties that
// subscribed to it by byte prefix, and optionally to one typed receiver.
//
// All routing, subscribing and unsubscribing runs as jobs on one worker
// thread of the dispatcher's own, so the three happen in one FIFO order and
// the subscription table needs no lock. The public operations only post a
// job and return.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Bytes.hpp"
#include "link/Active.hpp"
#include "link/MessageQueue.hpp"
#include "protocol/HostParserWrapper.hpp"

class Logger;
class PacketParserCallback;

class PacketDispatcher {
public:
    using Callback = std::function<bool(const Bytes&)>;
    using Subscription = std::pair<std::vector<Bytes>, Callback>;

    // Takes ownership of the thread; the destructor stops and deletes it.
    PacketDispatcher(Active* thread, Logger& logger);
    // Runs every job queued so far, then joins the thread. Nothing may call
    // dispatch_packet once destruction has begun.
    ~PacketDispatcher();
    PacketDispatcher(const PacketDispatcher&) = delete;
    PacketDispatcher& operator=(const PacketDispatcher&) = delete;

    // Called on the reader thread with each received packet.
    void dispatch_packet(Bytes packet);

    // Inserts the subscription, or replaces prefix list and callback of an
    // existing one of that name. A packet reaches the callback when it starts
    // with one of the prefixes; an empty prefix matches every packet, an
    // empty list none.
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

private:
    using SubscriptionEntry = std::pair<const std::string, Subscription>;

    void post(std::function<void()> job);
    void route_next_packet();
    void do_dispatch_packet(Bytes packet);
    bool dispatch_to_callbacks(Bytes& packet);
    void call(const SubscriptionEntry& entry, const Bytes& packet);
    void hand_over(const SubscriptionEntry& entry, Bytes& packet);
    int decode_for_receiver(PacketParserCallback* receiver, const Bytes& packet);

    std::unique_ptr<Active> thread_;
    Logger& logger_;
    // Changed only on the dispatcher thread; atomic because
    // parse_and_callback reads it on the caller's thread.
    std::atomic<PacketParserCallback*> receiver_{nullptr};
    // Touched only on the dispatcher thread.
    std::map<std::string, Subscription> subscriptions_;
    // Packets waiting for their routing job, in the order they came. A job
    // that holds only the dispatcher fits into a std::function without an
    // allocation, which one that holds the packet does not.
    MessageQueue<Bytes> incoming_ { -1 };
    const HostParserWrapper forwarding_parser_;
};
