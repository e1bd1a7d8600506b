#include "link/QueueFeeder.hpp"

#include <utility>

#include "link/RadarCommunicator.hpp"

QueueFeeder::QueueFeeder(std::weak_ptr<MessageQueue<Bytes>> queue)
    : queue_(std::move(queue))
{ }

bool QueueFeeder::operator()(const Bytes& packet) const
{
    return packet_to_queue(queue_, packet);
}

bool QueueFeeder::take(Bytes packet) const
{
    return packet_to_queue(queue_, std::move(packet));
}
