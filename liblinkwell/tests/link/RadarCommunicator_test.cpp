// The communicator over an io fake whose "reader" is a real active thread:
// the test decides exactly which packets arrive and when, relative to the
// writes, which the real transports cannot promise.
#include "link/AbstractFactory.hpp"
#include "link/AbstractIo.hpp"
#include "link/ActiveThread.hpp"
#include "link/RadarCommunicator.hpp"
#include "link/VoidRadarCommunicator.hpp"
#include "support/RadarCommunicatorProbe.hpp"
#include "support/RecordingLogger.hpp"
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testsupport::hex;
using testsupport::RecordingLogger;
using testsupport::timeout_text;

// Only the dispatcher thread is asked for here.
class ThreadFactory : public AbstractFactory {
public:
    Active* createDispatcherThread(const std::string& name, Logger& logger) override
    {
        return new ActiveThread(name, logger);
    }
    Active* createReaderThread(const std::string& name, Logger& logger) override
    {
        return new ActiveThread(name, logger);
    }
    Active* createWriterThread(const std::string& name, Logger& logger) override
    {
        return new ActiveThread(name, logger);
    }
    ModuleIo* createModuleIo(Logger&) override { throw std::logic_error("not used here"); }
};

// Records what is written and hands packets to the sink on a "reader"
// thread of its own, as the real io does. A responder, run inside write,
// decides which packets answer a command.
class FakeIo : public AbstractIo {
public:
    using Responder = std::function<std::vector<Bytes>(const Bytes& command)>;

    explicit FakeIo(Logger& logger)
        : logger_(logger)
    { }

    bool is_ready() override { return ready_; }

    int open(const std::string& name, PacketSink sink) override
    {
        opened_name = name;
        if (open_result != 0)
            return open_result;
        sink_ = std::move(sink);
        reader_ = std::make_unique<ActiveThread>("reader", logger_);
        ready_ = true;
        return 0;
    }

    void close() override
    {
        if (on_close)
            on_close();
        ready_ = false;
        reader_.reset(); // runs what was delivered so far, then joins
        ++closes;
    }

    void write(Bytes data, std::chrono::seconds no_progress_limit) override
    {
        std::vector<Bytes> replies;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            written_.push_back(data);
            write_limits_.push_back(no_progress_limit);
            if (write_error)
                throw std::runtime_error("Failed to write all bytes to module\n");
            if (responder)
                replies = responder(data);
        }
        for (Bytes& reply : replies)
            deliver(std::move(reply));
        if (after_write)
            after_write();
    }

    void set_baudrate(unsigned rate) override { baudrate = rate; }

    // The packet arrives from the module: the sink gets it on the reader
    // thread, after everything delivered before.
    void deliver(Bytes packet)
    {
        reader_->add([this, packet = std::move(packet)] { sink_({ packet }); });
    }

    // Waits until every packet delivered so far has been handed on.
    void settle()
    {
        std::promise<void> done;
        reader_->add([&] { done.set_value(); });
        done.get_future().wait();
    }

    std::vector<std::chrono::seconds> write_limits() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return write_limits_;
    }

    std::vector<Bytes> written() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return written_;
    }

    std::string opened_name;
    int open_result = 0;
    bool write_error = false;
    unsigned baudrate = 0;
    int closes = 0;
    Responder responder;
    std::function<void()> on_close;
    std::function<void()> after_write;

private:
    Logger& logger_;
    mutable std::mutex mutex_;
    std::vector<Bytes> written_;
    std::vector<std::chrono::seconds> write_limits_;
    PacketSink sink_;
    std::unique_ptr<ActiveThread> reader_;
    std::atomic<bool> ready_ { false };
};

class RadarCommunicatorTest : public ::testing::Test {
protected:
    RadarCommunicatorTest()
        : io(logger)
        , communicator(std::make_unique<RadarCommunicator>(io, factory, logger))
    {
        EXPECT_EQ(0, communicator->open("module"));
    }

    // The reply a command with this first byte gets from the fake module.
    static Bytes reply_to(const Bytes& command) { return Bytes { 0x11, command.at(0), 0xAA }; }

    // Waits until everything delivered so far has been routed. Routing is
    // FIFO, so a marker packet that reaches its own queue has come last.
    void routed()
    {
        io.settle();
        communicator->subscribe("~marker", hex("7f 7f"));
        io.deliver(hex("7f 7f"));
        EXPECT_EQ(hex("7f 7f"), communicator->get_packet("~marker"));
        communicator->unsubscribe("~marker");
    }

    RecordingLogger logger;
    ThreadFactory factory;
    FakeIo io;
    std::unique_ptr<RadarCommunicator> communicator;
};

TEST_F(RadarCommunicatorTest, RequestWritesTheCommandAndReturnsTheFirstMatchingPacket)
{
    io.responder = [](const Bytes& command) {
        return std::vector<Bytes> { hex("50 01"), hex("11 02"), Bytes { 0x10, command[1] }, hex("10 ff") };
    };
    const Bytes reply = communicator->send(5, hex("07 42"), std::vector<Bytes> { hex("20"), hex("10") });
    EXPECT_EQ(hex("10 42"), reply);
    EXPECT_EQ((std::vector<Bytes> { hex("07 42") }), io.written());

    io.responder = [](const Bytes&) { return std::vector<Bytes> { hex("20 07 00 00 00") }; };
    EXPECT_EQ(hex("20 07 00 00 00"), communicator->send(5, hex("08"), hex("20")));
}

TEST_F(RadarCommunicatorTest, ReplyRoutedBeforeTheWaitIsTakenWithTimeoutZero)
{
    // The reply arrives during the write and is routed before the write
    // returns: the subscription was in place before the command went out,
    // and a zero timeout takes what is already there.
    io.responder = [](const Bytes& command) { return std::vector<Bytes> { reply_to(command) }; };
    io.after_write = [this] { routed(); };
    EXPECT_EQ(reply_to(hex("03")), communicator->send(0, hex("03"), hex("11")));
}

TEST_F(RadarCommunicatorTest, NoReplyTimesOutAndTheCommunicatorStaysUsable)
{
    const auto start = std::chrono::steady_clock::now();
    try {
        communicator->send(0, hex("05"), hex("10"));
        FAIL() << "no timeout";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(timeout_text, e.what());
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(1, logger.count("Timeout waiting for response"));
    EXPECT_EQ((std::vector<std::string> { "Timeout waiting for response" }), logger.errors());

    io.responder = [](const Bytes& command) { return std::vector<Bytes> { reply_to(command) }; };
    EXPECT_EQ(reply_to(hex("06")), communicator->send(5, hex("06"), hex("11")));
}

TEST_F(RadarCommunicatorTest, HugeTimeoutWaitsForALateReply)
{
    std::thread late([this] {
        // Not before the command is written.
        while (io.written().empty())
            std::this_thread::yield();
        std::this_thread::sleep_for(20ms);
        io.deliver(hex("10 01"));
    });
    EXPECT_EQ(hex("10 01"), communicator->send(UINT_MAX, hex("01"), hex("10")));
    late.join();
}

TEST_F(RadarCommunicatorTest, StaleReplyIsDroppedAndTheNextRequestGetsItsOwn)
{
    communicator->subscribe("all replies", hex("11"));
    EXPECT_THROW(communicator->send(0, hex("01"), hex("11")), std::runtime_error);
    // The late answer to the first request arrives before the next request.
    io.deliver(reply_to(hex("01")));
    routed();
    EXPECT_EQ(0, logger.count("do_dispatch_packet, 84 -- we did not find a handler for this package"));

    io.responder = [](const Bytes& command) { return std::vector<Bytes> { reply_to(command) }; };
    EXPECT_EQ(reply_to(hex("02")), communicator->send(5, hex("02"), hex("11")));
    // The named queue saw both, the stale one first.
    EXPECT_EQ(2, communicator->get_number_of_packets("all replies"));
    EXPECT_EQ(reply_to(hex("01")), communicator->get_packet("all replies"));
    EXPECT_EQ(reply_to(hex("02")), communicator->get_packet("all replies"));
}

TEST_F(RadarCommunicatorTest, LateReplyArrivingAfterTheNextSubscriptionIsTakenAsItsReply)
{
    EXPECT_THROW(communicator->send(0, hex("01"), hex("11")), std::runtime_error);
    // The module answers the first command only now, just before the second.
    io.responder = [](const Bytes& command) {
        return std::vector<Bytes> { reply_to(hex("01")), reply_to(command) };
    };
    EXPECT_EQ(reply_to(hex("01")), communicator->send(5, hex("02"), hex("11")));
}

// A request that timed out is owed its late reply for one more timeout: a
// late reply is never taken for the answer to the next request, wherever it
// comes relative to the next request's subscription, and a module that never
// answered costs the next request at most its own timeout, no more requests.
TEST_F(RadarCommunicatorTest, LateReplyWithinOneTimeoutIsNeverTakenForTheNextAnswer)
{
    const Bytes late = hex("11 01 4c 41 54 45");
    const auto answer = [](const Bytes& command) { return Bytes { 0x11, command.at(0), 0xAA }; };
    struct Case {
        const char* name;
        bool late_reply; // the module answers the first request after all
        bool late_before_next_request; // routed to the old, stale subscription
        int dropped_by_next;
    };
    const Case cases[] = {
        { "late reply just before the next answer", true, false, 1 },
        { "late reply before the next request", true, true, 0 },
        { "no late reply", false, false, 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        logger.clear();
        io.responder = nullptr;
        EXPECT_THROW(communicator->send(1, hex("01"), hex("11")), std::runtime_error);
        if (c.late_before_next_request) {
            io.deliver(late);
            routed();
        }
        io.responder = [&](const Bytes& command) {
            std::vector<Bytes> replies;
            if (c.late_reply && !c.late_before_next_request)
                replies.push_back(late);
            replies.push_back(answer(command));
            return replies;
        };
        const auto start = Clock::now();
        EXPECT_EQ(answer(hex("02")), communicator->send(1, hex("02"), hex("11")));
        EXPECT_LT(Clock::now() - start, 1900ms);
        EXPECT_EQ(c.dropped_by_next, logger.count("dropping the late reply to a request that timed out"));
        // Nothing is owed any more: the next request is answered at once.
        io.responder = [&](const Bytes& command) { return std::vector<Bytes> { answer(command) }; };
        EXPECT_EQ(answer(hex("03")), communicator->send(5, hex("03"), hex("11")));
    }
}

TEST_F(RadarCommunicatorTest, PacketMatchingAQueueAndTheReplyLandsInBoth)
{
    communicator->subscribe("acks", hex("10"));
    io.responder = [](const Bytes&) { return std::vector<Bytes> { hex("10 00") }; };
    EXPECT_EQ(hex("10 00"), communicator->send(5, hex("01"), hex("10")));
    EXPECT_EQ(hex("10 00"), communicator->get_packet("acks"));
}

TEST_F(RadarCommunicatorTest, CallerSubscriptionNamedResponseIsReplacedByARequest)
{
    std::atomic<int> calls { 0 };
    communicator->subscribe(
        "response",
        [&](Bytes) {
            ++calls;
            return true;
        },
        hex("10"));
    io.responder = [](const Bytes&) { return std::vector<Bytes> { hex("10 00") }; };
    EXPECT_EQ(hex("10 00"), communicator->send(5, hex("01"), hex("10")));
    io.responder = nullptr;
    io.deliver(hex("10 01"));
    routed();
    EXPECT_EQ(0, calls.load());
}

TEST_F(RadarCommunicatorTest, NamedQueueKeepsTheNewestThousandPackets)
{
    communicator->subscribe("data", hex("50"));
    for (int i = 0; i < 1001; ++i)
        io.deliver(Bytes { 0x50, static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i) });
    routed();
    EXPECT_EQ(1000, communicator->get_number_of_packets("data"));
    EXPECT_EQ(hex("50 00 01"), communicator->get_packet("data"));
    EXPECT_EQ(999, communicator->get_number_of_packets("data"));
    communicator->clear("data");
    EXPECT_EQ(0, communicator->get_number_of_packets("data"));
}

TEST_F(RadarCommunicatorTest, UnknownQueueNamesGiveEmptyResultsAtOnce)
{
    communicator->subscribe("data", hex("50"));
    io.deliver(hex("50 01"));
    routed();
    EXPECT_EQ(Bytes {}, communicator->get_packet("Data"));
    EXPECT_EQ(0, communicator->get_number_of_packets("data "));
    communicator->clear("nothing");
    communicator->unsubscribe("nothing");
    EXPECT_EQ(1, communicator->get_number_of_packets("data"));
    EXPECT_EQ(1u, communicator->get_subscriptions().size());
}

TEST_F(RadarCommunicatorTest, SubscribingAQueueAgainReplacesItAndItsPackets)
{
    communicator->subscribe("data", hex("50"));
    io.deliver(hex("50 01"));
    io.deliver(hex("51 01"));
    routed();
    communicator->subscribe("data", hex("51"));
    io.deliver(hex("50 02"));
    io.deliver(hex("51 02"));
    routed();
    EXPECT_EQ(1, communicator->get_number_of_packets("data"));
    EXPECT_EQ(hex("51 02"), communicator->get_packet("data"));
}

TEST_F(RadarCommunicatorTest, UnsubscribedQueueIsGoneAndGetsNoMorePackets)
{
    communicator->subscribe("data", hex("50"));
    io.deliver(hex("50 01"));
    routed();
    communicator->unsubscribe("data");
    io.deliver(hex("50 02"));
    routed();
    EXPECT_EQ(0, communicator->get_number_of_packets("data"));
    EXPECT_TRUE(communicator->get_subscriptions().empty());
    EXPECT_EQ(1, logger.count("do_dispatch_packet, 84 -- we did not find a handler for this package"));
}

TEST_F(RadarCommunicatorTest, CallbacksRunInNameOrderOnTheDispatcherThread)
{
    std::mutex mutex;
    std::vector<std::string> calls;
    std::vector<std::thread::id> threads;
    auto record = [&](const std::string& name) {
        return [&, name](Bytes packet) {
            std::lock_guard<std::mutex> lock(mutex);
            calls.push_back(name + ":" + testsupport::to_hex(packet));
            threads.push_back(std::this_thread::get_id());
            return true;
        };
    };
    communicator->subscribe("zeta", record("zeta"), hex("50"));
    communicator->subscribe("alpha", record("alpha"), hex("50 01"));
    communicator->subscribe("mid", hex("50"));
    io.deliver(hex("50 01"));
    io.deliver(hex("50 02"));
    routed();
    {
        std::lock_guard<std::mutex> lock(mutex);
        EXPECT_EQ((std::vector<std::string> { "alpha:50 01", "zeta:50 01", "zeta:50 02" }), calls);
        for (std::thread::id id : threads)
            EXPECT_NE(std::this_thread::get_id(), id);
    }
    EXPECT_EQ(2, communicator->get_number_of_packets("mid"));

    const auto subscriptions = communicator->get_subscriptions();
    ASSERT_EQ(3u, subscriptions.size());
    EXPECT_EQ(hex("50 01"), subscriptions.at("alpha").first);
    EXPECT_TRUE(subscriptions.at("alpha").second);
    EXPECT_EQ(hex("50"), subscriptions.at("mid").first);
    EXPECT_FALSE(subscriptions.at("mid").second);
}

TEST_F(RadarCommunicatorTest, ThrowingCallbackIsLoggedAndPacketsStillFlow)
{
    communicator->subscribe(
        "a", [](Bytes) -> bool { throw std::runtime_error("bad handler"); }, hex("50"));
    communicator->subscribe("b", hex("50"));
    io.deliver(hex("50 01"));
    io.deliver(hex("50 02"));
    routed();
    EXPECT_EQ(2, communicator->get_number_of_packets("b"));
    ASSERT_EQ(2u, logger.errors().size());
    EXPECT_NE(std::string::npos, logger.errors()[0].find("bad handler"));
}

TEST_F(RadarCommunicatorTest, WriteErrorPropagatesAndTheNextRequestWorks)
{
    io.write_error = true;
    try {
        communicator->send(5, hex("01"), hex("10"));
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("Failed to write all bytes to module\n", e.what());
    }
    io.write_error = false;
    io.responder = [](const Bytes& command) { return std::vector<Bytes> { reply_to(command) }; };
    EXPECT_EQ(reply_to(hex("02")), communicator->send(5, hex("02"), hex("11")));
    communicator->send(7, hex("03"));
    EXPECT_EQ(3u, io.written().size());
    // A write may make no progress for as long as the caller's timeout.
    const std::vector<std::chrono::seconds> limits { 5s, 5s, 7s };
    EXPECT_EQ(limits, io.write_limits());
    communicator->set_baudrate(921600);
    EXPECT_EQ(921600u, io.baudrate);
}

TEST_F(RadarCommunicatorTest, QueueRemovedUnderAWaitingReaderWakesItEmpty)
{
    for (bool replace : { false, true }) {
        communicator->subscribe("data", hex("50"));
        auto waiting = std::async(std::launch::async, [&] { return communicator->get_packet("data"); });
        ASSERT_TRUE(RadarCommunicatorProbe::wait_for_queue_holder(*communicator, "data"));
        if (replace)
            communicator->subscribe("data", hex("50"));
        else
            communicator->unsubscribe("data");
        EXPECT_EQ(Bytes {}, waiting.get()) << (replace ? "replaced" : "unsubscribed");
    }
}

TEST_F(RadarCommunicatorTest, DestructionWakesWaitingCallersWithEmptyResults)
{
    communicator->subscribe("data", hex("50"));
    auto reader1 = std::async(std::launch::async, [&] { return communicator->get_packet("data"); });
    auto reader2 = std::async(std::launch::async, [&] { return communicator->get_packet("data"); });
    auto request
        = std::async(std::launch::async, [&] { return communicator->send(UINT_MAX, hex("01"), hex("10")); });
    ASSERT_TRUE(RadarCommunicatorProbe::wait_for_calls(*communicator, 3));
    communicator.reset();
    EXPECT_EQ(Bytes {}, reader1.get());
    EXPECT_EQ(Bytes {}, reader2.get());
    EXPECT_EQ(Bytes {}, request.get());
}

TEST_F(RadarCommunicatorTest, DestructionRemovesCallbacksBeforeClosingTheIoAndJoinsEverything)
{
    std::atomic<int> callbacks { 0 };
    communicator->subscribe(
        "cb",
        [&](Bytes) {
            ++callbacks;
            return true;
        },
        hex("50"));
    communicator->subscribe("q", hex("50"));
    // Packets keep arriving while the communicator goes away.
    for (int i = 0; i < 2000; ++i)
        io.deliver(hex("50 01"));
    int callbacks_at_close = -1;
    io.on_close = [&] { callbacks_at_close = callbacks.load(); };
    communicator.reset();
    EXPECT_EQ(1, io.closes);
    EXPECT_EQ(callbacks_at_close, callbacks.load());
    EXPECT_EQ(1, logger.count("~RadarCommunicator -- begin"));
    EXPECT_EQ(1, logger.count("~RadarCommunicator -- end"));
    // The dispatcher went last.
    const auto texts = logger.texts();
    const auto end = std::find(texts.begin(), texts.end(), "~RadarCommunicator -- end");
    const auto dispatcher_end = std::find(texts.begin(), texts.end(), "~PacketDispatcher -- end");
    EXPECT_LT(end, dispatcher_end);
}

TEST_F(RadarCommunicatorTest, LogsItsLifeAndOpenFailures)
{
    EXPECT_EQ(1, logger.count("RadarCommunicator: 28"));
    EXPECT_EQ(1, logger.count("open -- begin"));
    EXPECT_EQ("module", io.opened_name);

    FakeIo failing(logger);
    failing.open_result = 5;
    RadarCommunicator other(failing, factory, logger);
    EXPECT_EQ(5, other.open("COM9"));
    EXPECT_EQ((std::vector<std::string> { "module_io::open returned error" }), logger.errors());
}

TEST(VoidRadarCommunicator, EveryCallIsHarmlessAndEmpty)
{
    VoidRadarCommunicator closed;
    EXPECT_EQ(1, closed.open("COM3"));
    EXPECT_EQ(Bytes {}, closed.send(2, hex("01"), hex("10")));
    EXPECT_EQ(Bytes {}, closed.send(2, hex("01"), std::vector<Bytes> { hex("10"), hex("20") }));
    closed.send(2, hex("01"));
    closed.subscribe("data", hex("50"));
    closed.subscribe(
        "cb", [](Bytes) { return true; }, hex("50"));
    EXPECT_EQ(0, closed.get_number_of_packets("data"));
    EXPECT_EQ(Bytes {}, closed.get_packet("data"));
    closed.clear("data");
    closed.unsubscribe("data");
    closed.set_baudrate(9600);
    closed.set_max_packet_buffer_count("data", 5);
    EXPECT_TRUE(closed.get_subscriptions().empty());
}

} // namespace
