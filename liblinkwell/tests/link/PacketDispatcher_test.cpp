#include "link/ActiveThread.hpp"
#include "link/PacketDispatcher.hpp"
#include "link/QueueFeeder.hpp"
#include "link/ReplyCatcher.hpp"
#include "support/RecordingLogger.hpp"
#include "support/TestSupport.hpp"
#include <linkwell/PacketParserCallback.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using testsupport::hex;
using testsupport::RecordingLogger;

const std::string unhandled = "do_dispatch_packet, 84 -- we did not find a handler for this package";

// Which subscription saw which packet, in the order the callbacks ran.
class CallLog {
public:
    PacketDispatcher::Callback record(const std::string& name)
    {
        return [this, name](const Bytes& packet) {
            std::lock_guard<std::mutex> lock(mutex_);
            calls_.push_back(name + ":" + testsupport::to_hex(packet));
            threads_.push_back(std::this_thread::get_id());
            return true;
        };
    }
    std::vector<std::string> calls() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    std::vector<std::thread::id> threads() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return threads_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
    std::vector<std::thread::id> threads_;
};

// Records the typed records it receives; can be told to throw.
class RecordingReceiver : public PacketParserCallback {
public:
    std::vector<std::string> seen() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return seen_;
    }
    std::vector<std::thread::id> threads() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return threads_;
    }
    std::atomic<bool> throws { false };

    void on_ack(const Ack*) override { note("ack"); }
    void on_pong(uint32_t value) override { note("pong " + std::to_string(value)); }
    void on_error(uint32_t code) override { note("error " + std::to_string(code)); }
    void on_respiration(const RespirationData*) override { note("respiration"); }
    void on_sleep(const SleepData*) override { note("sleep"); }
    void on_baseband_ap(const BasebandApData*) override { note("baseband ap"); }
    void on_baseband_iq(const BasebandIqData*) override { note("baseband iq"); }
    void on_radar_rf(const RadarRfData*) override { note("radar rf"); }
    void on_radar_rf_normalized(const RadarRfNormalizedData*) override { note("radar rf normalized"); }
    void on_radar_baseband_float(const RadarBasebandFloatData*) override { note("radar baseband float"); }
    void on_radar_baseband_q15(const RadarBasebandQ15Data*) override { note("radar baseband q15"); }
    void on_presence_single(const PresenceSingleData*) override { note("presence single"); }
    void on_presence_movinglist(const PresenceMovingListData*) override { note("presence moving list"); }
    void on_pulsedoppler_float(const PulseDopplerFloatData*) override { note("pulse-doppler float"); }
    void on_pulsedoppler_byte(const PulseDopplerByteData*) override { note("pulse-doppler byte"); }

private:
    void note(const std::string& what)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            seen_.push_back(what);
            threads_.push_back(std::this_thread::get_id());
        }
        if (throws)
            throw std::runtime_error("receiver failed");
    }

    mutable std::mutex mutex_;
    std::vector<std::string> seen_;
    std::vector<std::thread::id> threads_;
};

class PacketDispatcherTest : public ::testing::Test {
protected:
    PacketDispatcherTest()
        : dispatcher(std::make_unique<PacketDispatcher>(new ActiveThread("dispatcher", logger), logger))
    { }

    // Destruction runs every job queued so far, so afterwards the test sees
    // the complete effect of what it posted.
    void drain() { dispatcher.reset(); }

    RecordingLogger logger;
    CallLog log;
    std::unique_ptr<PacketDispatcher> dispatcher;
};

struct PrefixCase {
    const char* what;
    std::vector<Bytes> prefixes;
    Bytes packet;
    bool called;
};

TEST_F(PacketDispatcherTest, MatchesByPrefix)
{
    const std::vector<PrefixCase> cases = {
        { "equal prefix", { hex("10") }, hex("10"), true },
        { "prefix of the packet", { hex("50 1e") }, hex("50 1e fa 3b 72"), true },
        { "differs in a later byte", { hex("50 1e") }, hex("50 1f fa"), false },
        { "prefix longer than the packet", { hex("10 11") }, hex("10"), false },
        { "second prefix of the list", { hex("10"), hex("20") }, hex("20 07"), true },
        { "no prefix in the list", {}, hex("10"), false },
        { "empty prefix", { Bytes {} }, hex("42 00"), true },
    };
    // Jobs run in posting order, so each case sees only its own
    // subscription.
    for (const PrefixCase& c : cases) {
        dispatcher->subscribe("case", log.record(c.what), c.prefixes);
        dispatcher->dispatch_packet(c.packet);
        dispatcher->unsubscribe("case");
    }
    drain();
    const std::vector<std::string> calls = log.calls();
    for (const PrefixCase& c : cases) {
        const std::string expected = std::string(c.what) + ":" + testsupport::to_hex(c.packet);
        EXPECT_EQ(c.called ? 1 : 0, std::count(calls.begin(), calls.end(), expected)) << c.what;
    }
    EXPECT_EQ(calls.size(),
        static_cast<size_t>(
            std::count_if(cases.begin(), cases.end(), [](const PrefixCase& c) { return c.called; })));
}

TEST_F(PacketDispatcherTest, MatchingPacketReachesEverySubscriptionInNameOrderOnTheDispatcherThread)
{
    dispatcher->subscribe("b", log.record("b"), { hex("50") });
    dispatcher->subscribe("a", log.record("a"), { hex("50 01") });
    dispatcher->subscribe("c", log.record("c"), { hex("51") });
    dispatcher->subscribe("B", log.record("B"), { hex("50") });
    dispatcher->dispatch_packet(hex("50 01 02"));
    drain();
    EXPECT_EQ((std::vector<std::string> { "B:50 01 02", "a:50 01 02", "b:50 01 02" }), log.calls());
    for (std::thread::id id : log.threads())
        EXPECT_NE(std::this_thread::get_id(), id);
}

// The last matching subscription may be handed the packet itself when it is
// a queue; every subscription before it, queue or callback, must still see
// the whole packet, and so must the queue.
TEST_F(PacketDispatcherTest, QueuesAndCallbacksMatchingOnePacketEachGetAllOfIt)
{
    auto first = std::make_shared<MessageQueue<Bytes>>(-1);
    auto last = std::make_shared<MessageQueue<Bytes>>(-1);
    dispatcher->subscribe("a-queue", QueueFeeder(first), { hex("50") });
    dispatcher->subscribe("b-callback", log.record("b"), { hex("50") });
    dispatcher->subscribe("c-queue", QueueFeeder(last), { hex("50") });
    dispatcher->subscribe("d-callback-other", log.record("d"), { hex("51") });
    dispatcher->dispatch_packet(hex("50 01 02"));
    dispatcher->dispatch_packet(hex("51 03"));
    dispatcher->unsubscribe("c-queue");
    dispatcher->dispatch_packet(hex("50 04"));
    drain();
    EXPECT_EQ((std::vector<std::string> { "b:50 01 02", "d:51 03", "b:50 04" }), log.calls());
    EXPECT_EQ((std::vector<Bytes> { hex("50 01 02"), hex("50 04") }),
        (std::vector<Bytes> { first->get(), first->get() }));
    EXPECT_TRUE(first->empty());
    EXPECT_EQ(hex("50 01 02"), last->get());
    EXPECT_TRUE(last->empty());
}

// Packets wait for their routing jobs beside the thread's queue; whatever
// threads dispatch at once, each packet is routed once, and the packets of
// one thread in the order that thread dispatched them.
TEST_F(PacketDispatcherTest, PacketsFromSeveralThreadsAreEachRoutedOnceInTheirOrder)
{
    constexpr int threads = 3;
    constexpr int per_thread = 500;
    auto queue = std::make_shared<MessageQueue<Bytes>>(-1);
    dispatcher->subscribe("q", QueueFeeder(queue), { hex("50") });
    std::vector<std::thread> senders;
    for (int t = 0; t < threads; ++t)
        senders.emplace_back([this, t] {
            for (int i = 0; i < per_thread; ++i)
                dispatcher->dispatch_packet(Bytes {
                    0x50, static_cast<uint8_t>(t), static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i) });
        });
    for (auto& sender : senders)
        sender.join();
    drain();
    ASSERT_EQ(static_cast<size_t>(threads * per_thread), queue->size());
    std::vector<int> next(threads, 0);
    while (auto packet = queue->try_get()) {
        const int t = (*packet)[1];
        const int i = (*packet)[2] << 8 | (*packet)[3];
        ASSERT_EQ(next[t], i) << "thread " << t;
        ++next[t];
    }
}

TEST_F(PacketDispatcherTest, SubscriptionWithSeveralMatchingPrefixesIsCalledOnce)
{
    dispatcher->subscribe("reply", log.record("reply"), { hex("10"), hex("20"), hex("20 07"), Bytes {} });
    dispatcher->dispatch_packet(hex("20 07 00 00 00"));
    drain();
    EXPECT_EQ((std::vector<std::string> { "reply:20 07 00 00 00" }), log.calls());
}

TEST_F(PacketDispatcherTest, SubscribingANameAgainReplacesPrefixesAndCallback)
{
    dispatcher->subscribe("q", log.record("first"), { hex("10") });
    dispatcher->subscribe("q", log.record("second"), { hex("20") });
    dispatcher->dispatch_packet(hex("10"));
    dispatcher->dispatch_packet(hex("20"));
    drain();
    EXPECT_EQ((std::vector<std::string> { "second:20" }), log.calls());
}

TEST_F(PacketDispatcherTest, UnsubscribeTakesEffectInPostingOrder)
{
    dispatcher->subscribe("q", log.record("q"), { hex("50") });
    dispatcher->dispatch_packet(hex("50 01"));
    dispatcher->unsubscribe("q");
    dispatcher->unsubscribe("never subscribed");
    dispatcher->dispatch_packet(hex("50 02"));
    drain();
    EXPECT_EQ((std::vector<std::string> { "q:50 01" }), log.calls());
}

// While the dispatcher thread is busy, packets that arrive one after
// another share a routing job; a subscription change posted between them
// must still take effect exactly between them.
TEST_F(PacketDispatcherTest, SubscriptionChangesBetweenWaitingPacketsKeepTheirPlace)
{
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::promise<void> blocked;
    dispatcher->subscribe("0-block",
        [&, released](const Bytes& packet) {
            if (packet[1] == 0) {
                blocked.set_value();
                released.wait();
            }
            return true;
        },
        { hex("50") });
    dispatcher->dispatch_packet(hex("50 00"));
    blocked.get_future().wait();
    // The thread is held inside the first packet's routing from here on.
    dispatcher->dispatch_packet(hex("50 01"));
    dispatcher->dispatch_packet(hex("50 02"));
    dispatcher->subscribe("q", log.record("q"), { hex("50") });
    dispatcher->dispatch_packet(hex("50 03"));
    dispatcher->dispatch_packet(hex("50 04"));
    dispatcher->subscribe("q", log.record("r"), { hex("50") });
    dispatcher->dispatch_packet(hex("50 05"));
    dispatcher->unsubscribe("q");
    dispatcher->dispatch_packet(hex("50 06"));
    release.set_value();
    drain();
    EXPECT_EQ((std::vector<std::string> { "q:50 03", "q:50 04", "r:50 05" }), log.calls());
}

// A packet that only queues want, a named queue's or a request's reply
// queue, is in them when dispatch_packet returns: the reader thread hands it
// over itself, without a hop through the dispatcher thread.
TEST_F(PacketDispatcherTest, PacketForQueuesOnlyIsInThemWhenDispatchReturns)
{
    auto named = std::make_shared<MessageQueue<Bytes>>(-1);
    auto reply = std::make_shared<MessageQueue<Bytes>>(-1);
    dispatcher->subscribe("q", QueueFeeder(named), { hex("50") });
    dispatcher->subscribe("response",
        ReplyCatcher(reply, std::make_shared<ReplyCatcher::Debt>(std::vector<Bytes> {})),
        { hex("50 01"), hex("20") });
    const struct {
        Bytes packet;
        std::vector<Bytes> named;
        std::vector<Bytes> reply;
    } cases[] = {
        { hex("50 02"), { hex("50 02") }, {} },
        { hex("50 01 07"), { hex("50 01 07") }, { hex("50 01 07") } },
        { hex("20 00"), {}, { hex("20 00") } },
        { hex("31"), {}, {} },
    };
    for (const auto& c : cases) {
        dispatcher->dispatch_packet(c.packet);
        std::vector<Bytes> in_named;
        while (auto p = named->try_get())
            in_named.push_back(*p);
        std::vector<Bytes> in_reply;
        while (auto p = reply->try_get())
            in_reply.push_back(*p);
        EXPECT_EQ(c.named, in_named) << testsupport::to_hex(c.packet);
        EXPECT_EQ(c.reply, in_reply) << testsupport::to_hex(c.packet);
    }
}

// Packets that only a queue wants still wait behind a packet that a
// callback is handling: the queue gets every packet in arrival order, and a
// packet that also reaches the callback reaches the queue after it.
TEST_F(PacketDispatcherTest, QueuePacketsWaitBehindACallbackAndKeepTheirOrder)
{
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::promise<void> blocked;
    auto queue = std::make_shared<MessageQueue<Bytes>>(-1);
    dispatcher->subscribe("0-block",
        [&, released](const Bytes&) {
            blocked.set_value();
            released.wait();
            return true;
        },
        { hex("50") });
    dispatcher->subscribe("q", QueueFeeder(queue), { Bytes {} });
    dispatcher->dispatch_packet(hex("50 00"));
    blocked.get_future().wait();
    dispatcher->dispatch_packet(hex("51 01"));
    dispatcher->dispatch_packet(hex("52 02"));
    EXPECT_TRUE(queue->empty());
    release.set_value();
    drain();
    // Once the dispatcher is idle again the reader delivers directly.
    std::vector<Bytes> seen;
    while (auto p = queue->try_get())
        seen.push_back(*p);
    EXPECT_EQ((std::vector<Bytes> { hex("50 00"), hex("51 01"), hex("52 02") }), seen);
}

// Runs the jobs posted to it only when the test says so, on the test's
// thread: what the reader thread did alone is seen before any routing.
class HeldActive : public Active {
public:
    void add(std::function<void()> task) override { tasks_.push_back(std::move(task)); }
    void stop() override { run(); }
    void run()
    {
        while (!tasks_.empty()) {
            std::function<void()> task = std::move(tasks_.front());
            tasks_.erase(tasks_.begin());
            task();
        }
    }

private:
    std::vector<std::function<void()>> tasks_;
};

std::vector<Bytes> taken(MessageQueue<Bytes>& queue)
{
    std::vector<Bytes> packets;
    while (auto p = queue.try_get())
        packets.push_back(*p);
    return packets;
}

// In the packets of one read, those before a packet for a callback go to
// their queues at once; those after it, even those only a queue wants, wait
// for it on the dispatcher thread.
TEST(PacketDispatcherBatch, PacketsOfOneReadBehindACallbackPacketWaitForIt)
{
    RecordingLogger logger;
    CallLog log;
    auto* thread = new HeldActive;
    PacketDispatcher dispatcher(thread, logger);
    auto named = std::make_shared<MessageQueue<Bytes>>(-1);
    auto reply = std::make_shared<MessageQueue<Bytes>>(-1);
    dispatcher.subscribe("c", log.record("c"), { hex("51") });
    dispatcher.subscribe("q", QueueFeeder(named), { hex("50") });
    dispatcher.subscribe("response",
        ReplyCatcher(reply, std::make_shared<ReplyCatcher::Debt>(std::vector<Bytes> {})), { hex("20") });
    dispatcher.dispatch_packets(
        { hex("50 01"), hex("50 02"), hex("20 01"), hex("50 03"), hex("51 00"), hex("50 04"), hex("20 02") });
    EXPECT_EQ((std::vector<Bytes> { hex("50 01"), hex("50 02"), hex("50 03") }), taken(*named));
    EXPECT_EQ(std::vector<Bytes> { hex("20 01") }, taken(*reply));
    EXPECT_TRUE(log.calls().empty());
    thread->run();
    EXPECT_EQ(std::vector<std::string> { "c:51 00" }, log.calls());
    EXPECT_EQ(std::vector<Bytes> { hex("50 04") }, taken(*named));
    EXPECT_EQ(std::vector<Bytes> { hex("20 02") }, taken(*reply));
}

// A logger that lets the held dispatcher thread run first whenever a packet
// is logged as unwanted: the reader thread is slower than routing.
class RoutingFirstLogger : public RecordingLogger {
public:
    HeldActive* thread = nullptr;
    void log(unsigned level, const std::string& text) override
    {
        if (text == unhandled && thread)
            thread->run();
        RecordingLogger::log(level, text);
    }
};

// Packets of one read that nobody wants are logged before a later packet of
// the read reaches its callback, whichever thread gets there first.
TEST(PacketDispatcherBatch, UnwantedPacketsAreLoggedBeforeALaterCallbackRuns)
{
    RoutingFirstLogger logger;
    auto* thread = new HeldActive;
    logger.thread = thread;
    PacketDispatcher dispatcher(thread, logger);
    std::vector<int> logged_before_callback;
    dispatcher.subscribe("c",
        [&](const Bytes&) {
            logged_before_callback.push_back(logger.count(unhandled));
            return true;
        },
        { hex("51") });
    dispatcher.dispatch_packets({ hex("52 01"), hex("52 02"), hex("51 00") });
    thread->run();
    EXPECT_EQ(std::vector<int> { 2 }, logged_before_callback);
    EXPECT_EQ(2, logger.count(unhandled));
}

// A read with more packets for a callback than may wait for the dispatcher
// thread: the reader waits for room in the middle of it unless routing keeps
// up, and every party still gets every packet of it, in order.
TEST_F(PacketDispatcherTest, ReadLargerThanTheBoundLosesNothing)
{
    std::vector<int> called; // dispatcher thread until drained
    dispatcher->subscribe("c",
        [&](const Bytes& packet) {
            called.push_back(packet[1] | packet[2] << 8);
            return true;
        },
        { hex("51") });
    auto named = std::make_shared<MessageQueue<Bytes>>(-1);
    dispatcher->subscribe("q", QueueFeeder(named), { hex("50") });
    const int count = 3 * static_cast<int>(PacketDispatcher::max_waiting_packets);
    std::vector<Bytes> packets;
    for (int i = 0; i < count; ++i)
        packets.push_back(Bytes { static_cast<uint8_t>(i % 3 == 0 ? 0x50 : 0x51), static_cast<uint8_t>(i),
            static_cast<uint8_t>(i >> 8) });
    dispatcher->dispatch_packets(packets);
    drain();
    std::vector<int> expected_called;
    std::vector<Bytes> expected_queued;
    for (int i = 0; i < count; ++i) {
        if (i % 3 == 0)
            expected_queued.push_back(packets[i]);
        else
            expected_called.push_back(i);
    }
    EXPECT_EQ(expected_called, called);
    EXPECT_EQ(expected_queued, taken(*named));
}

// While a typed receiver is subscribed it decodes every packet, also those
// that only a queue wants; once it is unsubscribed such packets go to the
// queue alone, and the queue keeps their order.
TEST_F(PacketDispatcherTest, TypedReceiverSeesQueuePacketsUntilUnsubscribed)
{
    auto queue = std::make_shared<MessageQueue<Bytes>>(-1);
    dispatcher->subscribe("q", QueueFeeder(queue), { hex("01") });
    RecordingReceiver receiver;
    dispatcher->subscribe(&receiver);
    dispatcher->dispatch_packet(hex("01 2a 00 00 00"));
    dispatcher->unsubscribe(&receiver);
    dispatcher->dispatch_packet(hex("01 2b 00 00 00"));
    drain();
    EXPECT_EQ((std::vector<std::string> { "pong 42" }), receiver.seen());
    EXPECT_EQ(hex("01 2a 00 00 00"), queue->get());
    EXPECT_EQ(hex("01 2b 00 00 00"), queue->get());
}

TEST_F(PacketDispatcherTest, UnhandledPacketLogsTwoLinesAtLevelOne)
{
    dispatcher->subscribe("q", log.record("q"), { hex("50") });
    logger.clear();
    dispatcher->dispatch_packet(hex("51 02 ff"));
    drain();
    std::vector<RecordingLogger::Entry> level_one;
    for (const auto& entry : logger.entries())
        if (entry.level == 1)
            level_one.push_back(entry);
    ASSERT_EQ(2u, level_one.size());
    EXPECT_EQ(unhandled, level_one[0].text);
    EXPECT_EQ("3: {0x51, 0x02, 0xff, }", level_one[1].text);
    EXPECT_TRUE(logger.errors().empty());
    EXPECT_TRUE(log.calls().empty());
}

TEST_F(PacketDispatcherTest, DispatchLogsThePacketOnTheCallingThread)
{
    dispatcher->dispatch_packet(hex("10"));
    // Logged before dispatch_packet returns, whatever the dispatcher does.
    const auto entries = logger.entries();
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ("dispatching packet: ", entries[0].text);
    EXPECT_EQ(3u, entries[0].level);
    EXPECT_EQ("1: {0x10, }", entries[1].text);
    EXPECT_EQ(3u, entries[1].level);
}

TEST_F(PacketDispatcherTest, ThrowingCallbackIsLoggedAndRoutingGoesOn)
{
    dispatcher->subscribe(
        "a-throws", [](const Bytes&) -> bool { throw std::runtime_error("boom"); }, { hex("50") });
    dispatcher->subscribe("b-throws-anything", [](const Bytes&) -> bool { throw 42; }, { hex("50") });
    dispatcher->subscribe("c-empty", PacketDispatcher::Callback(), { hex("50") });
    dispatcher->subscribe("d-fine", log.record("d"), { hex("50") });
    dispatcher->dispatch_packet(hex("50 01"));
    dispatcher->dispatch_packet(hex("50 02"));
    drain();
    EXPECT_EQ((std::vector<std::string> { "d:50 01", "d:50 02" }), log.calls());
    const auto errors = logger.errors();
    ASSERT_EQ(6u, errors.size());
    EXPECT_NE(std::string::npos, errors[0].find("a-throws"));
    EXPECT_NE(std::string::npos, errors[0].find("boom"));
    EXPECT_NE(std::string::npos, errors[1].find("unknown exception"));
    EXPECT_NE(std::string::npos, errors[2].find("c-empty"));
    // A packet whose only callbacks threw was still handled.
    EXPECT_EQ(0, logger.count(unhandled));
}

TEST_F(PacketDispatcherTest, NoCallbackRunsOnceUnsubscribeAllHasReturned)
{
    std::atomic<int> calls { 0 };
    dispatcher->subscribe("q",
        [&](const Bytes&) {
            ++calls;
            return true;
        },
        { Bytes {} });
    for (int i = 0; i < 200; ++i)
        dispatcher->dispatch_packet(hex("50"));
    dispatcher->unsubscribe_all_and_wait();
    // Packets queued before the removal still went through the subscription.
    EXPECT_EQ(200, calls.load());
    for (int i = 0; i < 50; ++i)
        dispatcher->dispatch_packet(hex("50"));
    drain();
    EXPECT_EQ(200, calls.load());
}

TEST(PacketDispatcher, UnsubscribeAllReturnsWhenTheThreadTakesNoMoreJobs)
{
    RecordingLogger logger;
    auto* thread = new ActiveThread("dispatcher", logger);
    thread->stop();
    PacketDispatcher dispatcher(thread, logger);
    dispatcher.unsubscribe_all_and_wait();
}

TEST_F(PacketDispatcherTest, DestructionRunsEveryQueuedPacketFirst)
{
    std::vector<int> seen; // written on the dispatcher thread, read after the join
    dispatcher->subscribe("q",
        [&](const Bytes& packet) {
            seen.push_back(packet[1]);
            return true;
        },
        { hex("50") });
    for (int i = 0; i < 100; ++i)
        dispatcher->dispatch_packet(Bytes { 0x50, static_cast<uint8_t>(i) });
    drain();
    ASSERT_EQ(100u, seen.size());
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(i, seen[i]);
    EXPECT_EQ(1, logger.count("~PacketDispatcher -- begin"));
    EXPECT_EQ(1, logger.count("~PacketDispatcher -- end"));
}

TEST_F(PacketDispatcherTest, ParseAndCallbackWithoutReceiverDoesNothing)
{
    EXPECT_EQ(0, dispatcher->parse_and_callback(hex("10")));
}

TEST_F(PacketDispatcherTest, TypedReceiverGetsDecodedRecordsBeforeTheSubscriptions)
{
    RecordingReceiver receiver;
    std::vector<std::string> order; // dispatcher thread only, read after the join
    dispatcher->subscribe(&receiver);
    dispatcher->subscribe("q",
        [&](const Bytes&) {
            order.push_back("subscription after " + std::to_string(receiver.seen().size()));
            return true;
        },
        { hex("01") });
    dispatcher->dispatch_packet(hex("01 2a 00 00 00"));
    dispatcher->dispatch_packet(hex("10"));
    dispatcher->dispatch_packet(hex("20 07 00 00 00"));
    drain();
    EXPECT_EQ((std::vector<std::string> { "pong 42", "ack", "error 7" }), receiver.seen());
    EXPECT_EQ((std::vector<std::string> { "subscription after 1" }), order);
    // Decoded only by the receiver, the ack and the error count as unhandled.
    EXPECT_EQ(2, logger.count(unhandled));
}

TEST_F(PacketDispatcherTest, OnlyTheCurrentReceiverCanBeUnsubscribed)
{
    RecordingReceiver first;
    RecordingReceiver second;
    dispatcher->subscribe(&first);
    dispatcher->subscribe(&second);
    dispatcher->dispatch_packet(hex("10"));
    dispatcher->unsubscribe(&first);
    dispatcher->dispatch_packet(hex("10"));
    dispatcher->unsubscribe(&second);
    dispatcher->dispatch_packet(hex("10"));
    drain();
    EXPECT_TRUE(first.seen().empty());
    EXPECT_EQ((std::vector<std::string> { "ack", "ack" }), second.seen());
}

TEST_F(PacketDispatcherTest, ThrowingReceiverIsLoggedAndTheSubscriptionsStillRun)
{
    RecordingReceiver receiver;
    receiver.throws = true;
    dispatcher->subscribe(&receiver);
    dispatcher->subscribe("q", log.record("q"), { hex("10") });
    dispatcher->dispatch_packet(hex("10"));
    dispatcher->dispatch_packet(hex("10 01"));
    drain();
    EXPECT_EQ((std::vector<std::string> { "q:10", "q:10 01" }), log.calls());
    ASSERT_EQ(2u, logger.errors().size());
    EXPECT_NE(std::string::npos, logger.errors()[0].find("receiver failed"));
}

TEST_F(PacketDispatcherTest, ParseAndCallbackDecodesOnTheCallingThread)
{
    RecordingReceiver receiver;
    dispatcher->subscribe(&receiver);
    // Once a later job has run, the receiver is in place.
    std::promise<void> fence;
    dispatcher->subscribe("fence",
        [&](const Bytes&) {
            fence.set_value();
            return true;
        },
        { hex("7e") });
    dispatcher->dispatch_packet(hex("7e"));
    fence.get_future().wait();
    // The fence itself went through the receiver too.
    const size_t before = receiver.seen().size();

    EXPECT_EQ(0, dispatcher->parse_and_callback(hex("01 05 00 00 00")));
    ASSERT_EQ(before + 1, receiver.seen().size());
    EXPECT_EQ("pong 5", receiver.seen().back());
    EXPECT_EQ(std::this_thread::get_id(), receiver.threads().back());
    // A reply has no receiver slot: the decoder's nonzero status comes back.
    EXPECT_NE(0, dispatcher->parse_and_callback(hex("11")));
}

} // namespace
