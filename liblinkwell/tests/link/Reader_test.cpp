#include "link/ActiveThread.hpp"
#include "link/ByteProtocol.hpp"
#include "link/Reader.hpp"
#include "support/RecordingLogger.hpp"
#include "support/ScriptedModuleIo.hpp"
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <stdexcept>
#include <thread>
#include <utility>

namespace {

using testsupport::Bytes;
using testsupport::frame;
using testsupport::hex;
using testsupport::RecordingLogger;
using testsupport::ScriptedModuleIo;

// Collects packets handed to the sink, from the reader thread.
class PacketLog {
public:
    Reader::Sink sink()
    {
        return [this](std::vector<Bytes> packets) {
            std::lock_guard<std::mutex> lock(mutex_);
            packets_.insert(packets_.end(), packets.begin(), packets.end());
            batches_.push_back(std::move(packets));
            thread_ = std::this_thread::get_id();
        };
    }
    std::vector<Bytes> packets() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return packets_;
    }
    // The packets of each call of the sink.
    std::vector<std::vector<Bytes>> batches() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return batches_;
    }
    std::thread::id thread() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return thread_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Bytes> packets_;
    std::vector<std::vector<Bytes>> batches_;
    std::thread::id thread_;
};

// A Protocol that records what it is fed, hands each chunk on as a packet,
// may throw after that, and reports its end.
class FakeProtocol : public Protocol {
public:
    explicit FakeProtocol(bool* destroyed = nullptr, bool throw_on_subscribe = false)
        : destroyed_(destroyed)
        , throw_on_subscribe_(throw_on_subscribe)
    { }
    ~FakeProtocol() override
    {
        if (destroyed_)
            *destroyed_ = true;
    }
    void parse(const uint8_t* data, unsigned length) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        chunks_.emplace_back(data, data + length);
        if (handler_)
            handler_(data, length);
        if (throw_next_) {
            throw_next_ = false;
            throw 42; // not even a std::exception
        }
    }
    void subscribe(Handler handler) override
    {
        if (throw_on_subscribe_)
            throw std::runtime_error("cannot subscribe");
        handler_ = std::move(handler);
    }
    std::vector<Bytes> chunks() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return chunks_;
    }
    void throw_next()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        throw_next_ = true;
    }

private:
    bool* destroyed_;
    bool throw_on_subscribe_ = false;
    mutable std::mutex mutex_;
    std::vector<Bytes> chunks_;
    bool throw_next_ = false;
    Handler handler_;
};

// An Active that reports its end, around a real thread.
class TrackedActive : public Active {
public:
    TrackedActive(Logger& logger, bool* destroyed)
        : thread_("reader", logger)
        , destroyed_(destroyed)
    {
        *destroyed_ = false;
    }
    ~TrackedActive() override { *destroyed_ = true; }
    void add(std::function<void()> task) override { thread_.add(std::move(task)); }
    void stop() override { thread_.stop(); }

private:
    ActiveThread thread_;
    bool* destroyed_;
};

// A transport of whole packets whose reads of packets follow a script: each
// step is what one read brings, no packets standing for a broken link. With
// the script used up a read brings nothing.
class WholePacketIo : public ModuleIo {
public:
    int open(const std::string&) override { return 0; }
    void set_baudrate(unsigned) override { }
    int write(const unsigned char*, unsigned length) override { return static_cast<int>(length); }
    int read(unsigned char*, unsigned, unsigned) override
    {
        ADD_FAILURE() << "a transport of whole packets is read packets at a time";
        return -1;
    }
    bool reads_whole_packets() const override { return true; }
    int read_packets(std::vector<Bytes>& packets, unsigned max_bytes, unsigned timeout) override
    {
        std::unique_lock<std::mutex> lock(mutex_);
        asked_.emplace_back(max_bytes, timeout);
        changed_.notify_all();
        if (steps_.empty()) {
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return 0;
        }
        std::vector<Bytes> step = std::move(steps_.front());
        steps_.pop_front();
        if (step.empty())
            return -1;
        int bytes = 0;
        for (Bytes& packet : step) {
            bytes += static_cast<int>(packet.size());
            packets.push_back(std::move(packet));
        }
        return bytes;
    }

    void push(std::vector<Bytes> packets)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        steps_.push_back(std::move(packets));
        ++scripted_;
    }
    // Waits until the script is used up and one more read has asked.
    bool wait_until_reads_done()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return asked_.size() > scripted_; });
    }
    // max_bytes and timeout of every read.
    std::vector<std::pair<unsigned, unsigned>> asked() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return asked_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<Bytes>> steps_;
    size_t scripted_ = 0;
    std::vector<std::pair<unsigned, unsigned>> asked_;
};

class ReaderTest : public ::testing::Test {
protected:
    std::unique_ptr<Reader> make_reader()
    {
        return std::make_unique<Reader>(
            logger_, io_, new ActiveThread("reader", logger_), new ByteProtocol(logger_));
    }

    RecordingLogger logger_;
    ScriptedModuleIo io_;
    PacketLog log_;
};

const std::string bail_out_1 = "io_read() returned negative: \n";
const std::string bail_out_2 = "Reader is bailing out\n";

} // namespace

TEST_F(ReaderTest, HandsEveryCompletePacketToTheSinkOnTheReaderThread)
{
    const Bytes a = frame(hex("01 02 03"));
    const Bytes b = frame(hex("7d 7e 7f"));
    Bytes both = a;
    both.insert(both.end(), b.begin(), b.begin() + 3); // b arrives in two reads
    io_.push_read(both);
    io_.push_read(Bytes(b.begin() + 3, b.end()));
    auto reader = make_reader();
    reader->start(log_.sink());
    ASSERT_TRUE(io_.wait_until_reads_done());
    EXPECT_EQ((std::vector<Bytes> { hex("01 02 03"), hex("7d 7e 7f") }), log_.packets());
    EXPECT_NE(std::this_thread::get_id(), log_.thread());
    EXPECT_EQ(Reader::read_buffer_size, io_.last_read_size());
    EXPECT_EQ(Reader::read_timeout, io_.last_read_timeout());
    EXPECT_TRUE(logger_.errors().empty());
}

// The sink gets the packets of one read in one call, so that what it feeds
// can take them in together: a sink that takes the whole vector, and one
// that moves the packets out of it and leaves the vector to the reader, as
// the dispatcher does.
TEST_F(ReaderTest, PacketsOfOneReadReachTheSinkInOneCall)
{
    for (const bool leaves_the_vector : { false, true }) {
        SCOPED_TRACE(leaves_the_vector ? "packets moved out" : "vector taken");
        ScriptedModuleIo io;
        Bytes three = frame(hex("01"));
        for (const Bytes& more : { frame(hex("02")), frame(hex("03")) })
            three.insert(three.end(), more.begin(), more.end());
        io.push_read(three);
        io.push_read(frame(hex("04")));
        Bytes two = frame(hex("05"));
        const Bytes sixth = frame(hex("06"));
        two.insert(two.end(), sixth.begin(), sixth.end());
        io.push_read(two);
        PacketLog log;
        Reader::Sink sink = log.sink();
        Reader reader(logger_, io, new ActiveThread("reader", logger_), new ByteProtocol(logger_));
        if (leaves_the_vector)
            reader.start([sink](std::vector<Bytes>&& packets) {
                std::vector<Bytes> taken;
                for (Bytes& packet : packets)
                    taken.push_back(std::move(packet));
                sink(std::move(taken));
            });
        else
            reader.start(sink);
        ASSERT_TRUE(io.wait_until_reads_done());
        EXPECT_EQ((std::vector<std::vector<Bytes>> {
                      { hex("01"), hex("02"), hex("03") }, { hex("04") }, { hex("05"), hex("06") } }),
            log.batches());
    }
}

TEST_F(ReaderTest, ReadsAreDumpedAtLevel5AndEmptyReadsFeedNothing)
{
    bool protocol_gone = false;
    auto* protocol = new FakeProtocol(&protocol_gone);
    io_.push_read_result(0);
    io_.push_read(hex("01 02 ff"));
    io_.push_read_result(0);
    {
        Reader reader(logger_, io_, new ActiveThread("reader", logger_), protocol);
        reader.start(log_.sink());
        ASSERT_TRUE(io_.wait_until_reads_done());
        EXPECT_EQ(std::vector<Bytes> { hex("01 02 ff") }, protocol->chunks());
    }
    EXPECT_TRUE(protocol_gone);
    std::vector<std::string> dumps;
    for (const auto& e : logger_.entries())
        if (e.level == 5 && e.text.find(": {") != std::string::npos)
            dumps.push_back(e.text);
    EXPECT_EQ(std::vector<std::string> { "3: {0x01, 0x02, 0xff, }" }, dumps);
}

TEST_F(ReaderTest, NegativeReadLogsTwoLinesOnceAndEndsReading)
{
    io_.push_read(frame(hex("05")));
    io_.push_read_result(-1);
    io_.push_read(frame(hex("06"))); // never read
    {
        auto reader = make_reader();
        reader->start(log_.sink());
        ASSERT_TRUE(logger_.wait_for(bail_out_2));
        // Destruction runs whatever the reader had still queued: a re-posted
        // read would show up here.
    }
    EXPECT_EQ(2, io_.read_calls());
    EXPECT_EQ((std::vector<std::string> { bail_out_1, bail_out_2 }), logger_.errors());
    EXPECT_EQ(std::vector<Bytes> { hex("05") }, log_.packets());
}

TEST_F(ReaderTest, StartingAgainAfterABailOutReadsOnWithTheNewSink)
{
    PacketLog second; // outlives the reader that feeds it
    auto reader = make_reader();
    io_.push_read_result(-1);
    reader->start(log_.sink());
    ASSERT_TRUE(logger_.wait_for(bail_out_2));
    io_.push_read(frame(hex("07")));
    reader->start(second.sink());
    ASSERT_TRUE(io_.wait_until_reads_done());
    EXPECT_TRUE(log_.packets().empty());
    EXPECT_EQ(std::vector<Bytes> { hex("07") }, second.packets());
}

TEST_F(ReaderTest, ASinkThatThrowsIsLoggedAndReadingGoesOn)
{
    std::vector<Bytes> got; // reader thread only until the reader is gone
    {
        auto reader = make_reader();
        reader->start([&](std::vector<Bytes> packets) {
            got.insert(got.end(), packets.begin(), packets.end());
            if (got.size() == 1)
                throw std::runtime_error("sink failed");
        });
        io_.push_read(frame(hex("01")));
        io_.push_read(frame(hex("02")));
        ASSERT_TRUE(io_.wait_until_reads_done());
    }
    EXPECT_EQ((std::vector<Bytes> { hex("01"), hex("02") }), got);
    EXPECT_EQ(
        std::vector<std::string> { "Reader: handling received bytes failed: sink failed" }, logger_.errors());
}

TEST_F(ReaderTest, AProtocolThatThrowsIsLoggedAndReadingGoesOn)
{
    auto* protocol = new FakeProtocol();
    protocol->throw_next();
    Reader reader(logger_, io_, new ActiveThread("reader", logger_), protocol);
    io_.push_read(hex("aa"));
    io_.push_read(hex("bb"));
    reader.start(log_.sink());
    ASSERT_TRUE(io_.wait_until_reads_done());
    EXPECT_EQ((std::vector<Bytes> { hex("aa"), hex("bb") }), protocol->chunks());
    // The packet cut before the fault goes on with its own read.
    EXPECT_EQ((std::vector<std::vector<Bytes>> { { hex("aa") }, { hex("bb") } }), log_.batches());
    EXPECT_EQ(std::vector<std::string> { "Reader: handling received bytes failed with an unknown exception" },
        logger_.errors());
}

TEST_F(ReaderTest, FailedConstructionDeletesThreadAndProtocol)
{
    bool active_gone = false;
    bool protocol_gone = false;
    auto* active = new TrackedActive(logger_, &active_gone);
    auto* protocol = new FakeProtocol(&protocol_gone, true);
    EXPECT_THROW(Reader(logger_, io_, active, protocol), std::runtime_error);
    EXPECT_TRUE(active_gone);
    EXPECT_TRUE(protocol_gone);
}

TEST_F(ReaderTest, DestructionWhileDataFlowsStopsReading)
{
    Bytes burst;
    for (int i = 0; i < 200; ++i) {
        const Bytes f = frame(hex("50 01 02 03 04"));
        burst.insert(burst.end(), f.begin(), f.end());
    }
    for (int i = 0; i < 50; ++i)
        io_.push_read(burst);
    auto reader = make_reader();
    reader->start(log_.sink());
    ASSERT_TRUE(io_.wait_for_reads(3));
    reader.reset();
    const int reads = io_.read_calls();
    const auto packets = log_.packets().size();
    EXPECT_EQ(packets % 200, 0u);
    EXPECT_EQ(reads, io_.read_calls()); // nothing reads after destruction
    EXPECT_TRUE(logger_.errors().empty());
}

// A transport of whole packets hands the reader all it has in one read: the
// sink gets them in one call as they are, with nothing cut by the protocol,
// and each is dumped at level 5 as a read of it alone was.
TEST_F(ReaderTest, WholePacketsOfOneReadReachTheSinkInOneCallUncut)
{
    WholePacketIo io;
    auto* protocol = new FakeProtocol();
    // Not framed: a protocol that cuts frames would find nothing in them.
    io.push({ hex("01 02 ff"), hex("7e 7d"), hex("03") });
    io.push({});
    io.push({ hex("04") });
    {
        Reader reader(logger_, io, new ActiveThread("reader", logger_), protocol);
        reader.start(log_.sink());
        ASSERT_TRUE(logger_.wait_for(bail_out_2));
        reader.start(log_.sink()); // reads on after the bail-out
        ASSERT_TRUE(io.wait_until_reads_done());
        EXPECT_TRUE(protocol->chunks().empty());
    }
    EXPECT_EQ(
        (std::vector<std::vector<Bytes>> { { hex("01 02 ff"), hex("7e 7d"), hex("03") }, { hex("04") } }),
        log_.batches());
    for (const auto& [max_bytes, timeout] : io.asked()) {
        EXPECT_EQ(Reader::read_buffer_size, max_bytes);
        EXPECT_EQ(Reader::read_timeout, timeout);
    }
    std::vector<std::string> dumps;
    for (const auto& e : logger_.entries())
        if (e.level == 5 && e.text.find(": {") != std::string::npos)
            dumps.push_back(e.text);
    EXPECT_EQ((std::vector<std::string> {
                  "3: {0x01, 0x02, 0xff, }", "2: {0x7e, 0x7d, }", "1: {0x03, }", "1: {0x04, }" }),
        dumps);
    EXPECT_EQ((std::vector<std::string> { bail_out_1, bail_out_2 }), logger_.errors());
}
