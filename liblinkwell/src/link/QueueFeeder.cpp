#include "link/QueueFeeder.hpp"

#include <utility>

bool packet_to_queue(const std::weak_ptr<MessageQueue<Bytes>>& queue, Bytes packet)
{
    std::shared_ptr<MessageQueue<Bytes>> target = queue.lock();
    if (!target)
        return false;
    target->put(std::move(packet));
    return true;
}

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

bool QueueFeeder::take_all(std::vector<Bytes>::iterator first, std::vector<Bytes>::iterator last) const
{
    std::shared_ptr<MessageQueue<Bytes>> target = queue_.lock();
    if (!target)
        return false;
    target->put_all(first, last);
    return true;
}
