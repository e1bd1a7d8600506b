// The request/response and subscription service of one module connection:
// send a command and wait for its reply, send without waiting, and receive
// packets by byte prefix into named queues or callbacks.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <linkwell/Bytes.hpp>

class AbstractRadarCommunicator {
public:
    using PacketCallback = std::function<bool(const Bytes&)>;
    // Name -> (prefix, callback). An empty callback marks a queue
    // subscription, any other a callback subscription.
    using Subscriptions = std::map<std::string, std::pair<Bytes, PacketCallback>>;

    virtual ~AbstractRadarCommunicator() = default;

    // 0 on success, otherwise the transport's error code.
    virtual int open(const std::string& name) = 0;

    // Writes the command and returns the first packet received afterwards
    // that starts with one of the reply prefixes; throws std::runtime_error
    // "Timeout waiting for response\n" when none comes within timeout
    // seconds, and the write error when the module takes nothing of the
    // command for as long.
    virtual Bytes send(unsigned timeout, Bytes command, std::vector<Bytes> reply_prefixes) = 0;

    virtual void set_baudrate(unsigned baudrate) = 0;

    // Writes the command without waiting for a reply; the write fails when
    // the module takes nothing of it for timeout seconds.
    virtual void send(unsigned timeout, Bytes command) = 0;

    // Collects every packet starting with the prefix in a queue of that name
    // (at most 1000 packets, the oldest dropped first).
    virtual void subscribe(std::string name, Bytes prefix) = 0;

    // Hands every packet starting with the prefix to the callback, on the
    // dispatcher thread; its result is ignored.
    virtual void subscribe(const std::string& name, std::function<bool(Bytes)> callback, Bytes prefix) = 0;

    virtual void unsubscribe(std::string name) = 0;

    virtual int get_number_of_packets(std::string name) = 0;

    // Removes and returns the oldest packet of the named queue, waiting while
    // it is empty; empty when there is no such queue.
    virtual Bytes get_packet(std::string name) = 0;

    virtual void clear(std::string name) = 0;

    virtual Bytes send(unsigned timeout, Bytes command, Bytes reply_prefix) = 0;

    virtual Subscriptions get_subscriptions() const = 0;

    // Begins closing, on any thread, while other threads may be inside
    // calls: every waiting caller (a queue read, a request awaiting its
    // reply, a write the module does not take) returns at once, and later
    // calls get empty results. Communicators without waits need not do
    // anything.
    virtual void interrupt() { }
};
