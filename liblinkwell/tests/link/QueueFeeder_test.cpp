// A queue subscription's callback: packets reach the queue within its bound,
// and nothing reaches a queue that is gone.
#include "link/QueueFeeder.hpp"

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(PacketToQueue, AppendsWithinTheBoundAndReportsAGoneQueue)
{
    auto bounded = std::make_shared<MessageQueue<Bytes>>(2);
    std::weak_ptr<MessageQueue<Bytes>> weak = bounded;
    for (uint8_t b : { 1, 2, 3 })
        EXPECT_TRUE(packet_to_queue(weak, Bytes { b }));
    EXPECT_EQ(2u, bounded->size());
    EXPECT_EQ(Bytes { 2 }, bounded->get());

    auto dropping = std::make_shared<MessageQueue<Bytes>>(0);
    EXPECT_TRUE(packet_to_queue(dropping, Bytes { 1 }));
    EXPECT_EQ(0u, dropping->size());

    bounded.reset();
    EXPECT_FALSE(packet_to_queue(weak, Bytes { 1 }));
}

TEST(QueueFeeder, CopiesOrHandsOverThePacketWhileTheQueueLives)
{
    auto queue = std::make_shared<MessageQueue<Bytes>>(-1);
    const QueueFeeder feeder(queue);
    const Bytes packet { 1, 2 };
    EXPECT_TRUE(feeder(packet));
    EXPECT_TRUE(feeder.take(Bytes { 3 }));
    EXPECT_EQ(packet, queue->get());
    EXPECT_EQ(Bytes { 3 }, queue->get());

    queue.reset();
    EXPECT_FALSE(feeder(packet));
    EXPECT_FALSE(feeder.take(Bytes { 3 }));
}

} // namespace
