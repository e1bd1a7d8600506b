// The callback of a subscription that collects packets in a queue: each
// packet goes to the queue through packet_to_queue, for as long as the queue
// exists.
//
// A plain function object would do as well; this one has a type of its own
// so that the PacketDispatcher can recognise it and hand over a packet that
// no later subscription needs, instead of a copy.
#pragma once

#include <memory>
#include <vector>

#include "link/MessageQueue.hpp"
#include <linkwell/Bytes.hpp>

// Appends the packet to the queue unless the queue is gone: false when it
// is, true otherwise (also when the queue's bound of 0 dropped the packet).
// A positive bound makes room by dropping the oldest packet.
bool packet_to_queue(const std::weak_ptr<MessageQueue<Bytes>>& queue, Bytes packet);

class QueueFeeder {
public:
    explicit QueueFeeder(std::weak_ptr<MessageQueue<Bytes>> queue);

    // Appends a copy of the packet; false when the queue is gone.
    bool operator()(const Bytes& packet) const;
    // Appends the packet itself; false when the queue is gone.
    bool take(Bytes packet) const;
    // Appends the packets of the range themselves, in their order, under one
    // lock of the queue; false when the queue is gone.
    bool take_all(std::vector<Bytes>::iterator first, std::vector<Bytes>::iterator last) const;

private:
    std::weak_ptr<MessageQueue<Bytes>> queue_;
};
