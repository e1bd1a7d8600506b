// The request/response and subscription service of one live module
// connection, over an AbstractIo that carries framed packets.
//
// Received packets are routed by the PacketDispatcher: packets for queues
// only (named queues, a request's reply) are put there by the reader thread
// itself, callbacks run on the connection's "dispatcher" thread (see
// PacketDispatcher.hpp); commands are written, and replies awaited, on the
// caller's thread.
//
// Calls may come from several threads: a small lock keeps the queue and
// subscription tables consistent, and a caller blocked in get_packet (or
// awaiting a reply) is woken with an empty result when its queue is removed
// or the communicator is destroyed. Only one request should be outstanding
// at a time, since every request's reply subscription is named "response".
//
// Callbacks run on the dispatcher thread, and a reply that arrives behind a
// packet for a callback waits for it there: a request made inside a callback
// fails at once (std::runtime_error "Cannot
// wait for a reply inside a subscription callback\n") and get_packet there
// does not wait. Destroying the communicator inside one of its callbacks is
// allowed: the io closes and no callback runs once that one returns, and the
// dispatcher's thread is joined on the Reaper afterwards.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "link/AbstractRadarCommunicator.hpp"
#include "link/MessageQueue.hpp"
#include "link/ReplyCatcher.hpp"

class AbstractFactory;
class AbstractIo;
class DetachableLogger;
class Logger;
class PacketDispatcher;

class RadarCommunicator : public AbstractRadarCommunicator {
public:
    static constexpr int named_queue_max_count = 1000;

    // Starts the dispatcher thread; opens nothing. The io, factory and
    // logger must outlive the communicator.
    RadarCommunicator(AbstractIo& io, AbstractFactory& factory, Logger& logger);
    // Removes every subscription (no callback runs once this has begun to
    // close the io), wakes every waiting caller, closes the io and then stops
    // the dispatcher. No work of this communicator runs after it returns.
    ~RadarCommunicator() override;
    RadarCommunicator(const RadarCommunicator&) = delete;
    RadarCommunicator& operator=(const RadarCommunicator&) = delete;

    int open(const std::string& name) override;
    Bytes send(unsigned timeout, Bytes command, std::vector<Bytes> reply_prefixes) override;
    void set_baudrate(unsigned baudrate) override;
    void send(unsigned timeout, Bytes command) override;
    void subscribe(std::string name, Bytes prefix) override;
    void subscribe(const std::string& name, std::function<bool(Bytes)> callback, Bytes prefix) override;
    void unsubscribe(std::string name) override;
    int get_number_of_packets(std::string name) override;
    Bytes get_packet(std::string name) override;
    void clear(std::string name) override;
    Bytes send(unsigned timeout, Bytes command, Bytes reply_prefix) override;
    Subscriptions get_subscriptions() const override;
    void interrupt() override;

private:
    // Lets tests see that a call has entered, so that they can destroy the
    // communicator while the call waits.
    friend class RadarCommunicatorProbe;

    class PacketQueue;
    class CallScope;

    std::shared_ptr<PacketQueue> find_queue(const std::string& name) const;

    // Destruction from one of the dispatcher's own callbacks: everything
    // but the dispatcher's thread goes at once, the rest on the Reaper.
    void tear_down_from_callback();
    void end_calls();
    void call_left();

    AbstractIo& io_;
    Logger& logger_;
    // The dispatcher and its thread log through it, so that they can outlive
    // the logger when torn down from a callback.
    std::shared_ptr<DetachableLogger> dispatcher_logger_;
    std::unique_ptr<PacketDispatcher> dispatcher_;

    // Guards everything below. Never held while waiting for a packet, and
    // never taken on the dispatcher thread by the communicator itself.
    mutable std::mutex mutex_;
    std::map<std::string, std::shared_ptr<PacketQueue>> queues_;
    Subscriptions subscriptions_;
    // The private queue of the request being awaited, so that destruction
    // can wake its caller.
    std::shared_ptr<PacketQueue> request_queue_;
    // What requests that timed out may still be owed (see ReplyCatcher).
    std::vector<std::shared_ptr<ReplyCatcher::Debt>> owed_;
    // Destruction waits on it, under the mutex, until every call has left.
    std::condition_variable all_calls_left_;

    // Calls in progress, and whether destruction has begun (set under the
    // mutex too, so that what is read under it cannot change). A call
    // counts itself before it looks at closing_ and destruction sets it
    // before it looks at the count, so at least one of them sees the other:
    // get_packet, which a client calls for every packet, enters and leaves
    // without taking the mutex.
    std::atomic<int> calls_in_progress_ { 0 };
    std::atomic<bool> closing_ { false };
};
