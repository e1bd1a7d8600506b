#include "link/AbstractFactory.hpp"
#include "link/ActiveThread.hpp"
#include "link/UartIo.hpp"
#include "support/RecordingLogger.hpp"
#include "support/ScriptedModuleIo.hpp"
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using testsupport::Bytes;
using testsupport::frame;
using testsupport::hex;
using testsupport::RecordingLogger;
using testsupport::ScriptedModuleIo;

// A real thread that notes its end in a shared event list.
class NamedActive : public Active {
public:
    NamedActive(const std::string& name, Logger& logger, std::vector<std::string>& events)
        : thread_(name, logger)
        , name_(name)
        , events_(events)
    { }
    ~NamedActive() override
    {
        thread_.stop();
        events_.push_back(name_ + " thread gone");
    }
    void add(std::function<void()> task) override { thread_.add(std::move(task)); }
    void stop() override { thread_.stop(); }

private:
    ActiveThread thread_;
    std::string name_;
    std::vector<std::string>& events_;
};

// Makes scripted ModuleIos and noted threads; the real ByteProtocol.
class ScriptedFactory : public AbstractFactory {
public:
    Active* createDispatcherThread(const std::string& name, Logger& logger) override
    {
        return new NamedActive(name, logger, events);
    }
    Active* createReaderThread(const std::string& name, Logger& logger) override
    {
        thread_names.push_back(name);
        return new NamedActive(name, logger, events);
    }
    Active* createWriterThread(const std::string& name, Logger& logger) override
    {
        thread_names.push_back(name);
        return new NamedActive(name, logger, events);
    }
    ModuleIo* createModuleIo(Logger&) override
    {
        auto* io = new ScriptedModuleIo();
        const int number = static_cast<int>(ios_made++);
        io->on_destroy = [this, number] {
            events.push_back("io " + std::to_string(number) + " gone");
            if (last_io == ios_by_number[number])
                last_io = nullptr;
        };
        io->set_open_result(next_open_result);
        for (const auto& b : next_reads)
            io->push_read(b);
        next_reads.clear();
        ios_by_number.push_back(io);
        last_io = io;
        return io;
    }

    int next_open_result = 0;
    std::vector<Bytes> next_reads;
    ScriptedModuleIo* last_io = nullptr;
    std::vector<ScriptedModuleIo*> ios_by_number;
    std::size_t ios_made = 0;
    std::vector<std::string> thread_names;
    std::vector<std::string> events;
};

// Packets handed to a sink, from the reader thread.
struct Packets {
    std::mutex mutex;
    std::vector<Bytes> got;
    AbstractIo::PacketSink sink()
    {
        return [this](std::vector<Bytes> packets) {
            std::lock_guard<std::mutex> lock(mutex);
            got.insert(got.end(), packets.begin(), packets.end());
        };
    }
    std::vector<Bytes> all()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return got;
    }
};

class UartIoTest : public ::testing::Test {
protected:
    RecordingLogger logger_;
    ScriptedFactory factory_;
    Packets packets_;
};

} // namespace

TEST_F(UartIoTest, ConstructionOpensNothing)
{
    UartIo io(logger_, factory_);
    EXPECT_FALSE(io.is_ready());
    EXPECT_EQ(0u, factory_.ios_made);
    EXPECT_TRUE(factory_.thread_names.empty());
}

TEST_F(UartIoTest, OpenConnectsReaderAndWriterToTheModule)
{
    factory_.next_reads = { frame(hex("50 1e fa 3b 72")) };
    UartIo io(logger_, factory_);
    ASSERT_EQ(0, io.open("ttyACM0", packets_.sink()));
    EXPECT_TRUE(io.is_ready());
    EXPECT_EQ((std::vector<std::string> { "writer", "reader" }), factory_.thread_names);
    ASSERT_NE(nullptr, factory_.last_io);
    EXPECT_EQ(std::vector<std::string> { "ttyACM0" }, factory_.last_io->opened());
    ASSERT_TRUE(factory_.last_io->wait_until_reads_done());
    EXPECT_EQ(std::vector<Bytes> { hex("50 1e fa 3b 72") }, packets_.all());

    io.write(hex("7d 11 6c 7e"), std::chrono::seconds(2));
    EXPECT_EQ(hex("7d 11 6c 7e"), factory_.last_io->written());
    io.set_baudrate(921600);
    EXPECT_EQ(std::vector<unsigned> { 921600 }, factory_.last_io->baudrates());
}

TEST_F(UartIoTest, WritesWhileNotReadyAreDroppedSilently)
{
    UartIo io(logger_, factory_);
    io.write(hex("01"), std::chrono::seconds(2)); // before open: nothing to write to
    factory_.next_open_result = 2;
    EXPECT_EQ(2, io.open("missing", packets_.sink()));
    io.write(hex("02"), std::chrono::seconds(2)); // failed open: not ready
    EXPECT_TRUE(factory_.last_io->write_lengths().empty());
    factory_.next_open_result = 0;
    ASSERT_EQ(0, io.open("ttyACM0", packets_.sink()));
    io.close();
    io.write(hex("03"), std::chrono::seconds(2)); // after close
    EXPECT_TRUE(logger_.errors().empty());
}

TEST_F(UartIoTest, FailedOpenKeepsThePartsUntilClose)
{
    factory_.next_open_result = 2;
    factory_.next_reads = { frame(hex("01")) };
    UartIo io(logger_, factory_);
    EXPECT_EQ(2, io.open("missing", packets_.sink()));
    EXPECT_FALSE(io.is_ready());
    EXPECT_EQ(0, factory_.last_io->read_calls()); // the reader never started
    EXPECT_TRUE(factory_.events.empty());
    io.close();
    EXPECT_EQ((std::vector<std::string> { "writer thread gone", "reader thread gone", "io 0 gone" }),
        factory_.events);
    io.close(); // twice is harmless
    EXPECT_EQ(3u, factory_.events.size());
}

TEST_F(UartIoTest, DestructionTakesTheReaderDownBeforeTheWriterAndThePort)
{
    {
        UartIo io(logger_, factory_);
        ASSERT_EQ(0, io.open("ttyACM0", packets_.sink()));
        ASSERT_TRUE(factory_.last_io->wait_for_reads(1));
    }
    // ScriptedModuleIo also fails the test if it goes during a read.
    EXPECT_EQ((std::vector<std::string> { "reader thread gone", "writer thread gone", "io 0 gone" }),
        factory_.events);
}

TEST_F(UartIoTest, ReopenDeliversToTheNewSinkOnly)
{
    Packets second; // outlives the connection that feeds it
    UartIo io(logger_, factory_);
    ASSERT_EQ(0, io.open("first", packets_.sink()));
    io.close();
    EXPECT_FALSE(io.is_ready());
    factory_.next_reads = { frame(hex("42")) };
    ASSERT_EQ(0, io.open("second", second.sink()));
    ASSERT_TRUE(factory_.last_io->wait_until_reads_done());
    EXPECT_TRUE(packets_.all().empty());
    EXPECT_EQ(std::vector<Bytes> { hex("42") }, second.all());
}

TEST_F(UartIoTest, OpenWhileOpenClosesTheFirstConnectionFirst)
{
    UartIo io(logger_, factory_);
    ASSERT_EQ(0, io.open("first", packets_.sink()));
    ASSERT_TRUE(factory_.last_io->wait_for_reads(1));
    factory_.events.clear();
    ASSERT_EQ(0, io.open("second", packets_.sink()));
    // The old reader stopped before its port went, and both before the new
    // parts were made.
    EXPECT_EQ((std::vector<std::string> { "writer thread gone", "reader thread gone", "io 0 gone" }),
        factory_.events);
    EXPECT_TRUE(io.is_ready());
    EXPECT_EQ(std::vector<std::string> { "second" }, factory_.last_io->opened());
}

TEST_F(UartIoTest, SetBaudrateWithoutAModuleIoDoesNothing)
{
    UartIo io(logger_, factory_);
    io.set_baudrate(9600); // before open
    ASSERT_EQ(0, io.open("ttyACM0", packets_.sink()));
    io.close();
    io.set_baudrate(9600); // after close
    EXPECT_EQ(1u, factory_.ios_made);
}

TEST_F(UartIoTest, WriteFailuresReachTheCaller)
{
    UartIo io(logger_, factory_);
    ASSERT_EQ(0, io.open("ttyACM0", packets_.sink()));
    factory_.last_io->push_write_results({ -1 });
    EXPECT_THROW(io.write(hex("7d 11 6c 7e"), std::chrono::seconds(2)), std::runtime_error);
    EXPECT_TRUE(io.is_ready()); // the connection stays usable
    io.write(hex("7d 11 6c 7e"), std::chrono::seconds(2));
    EXPECT_EQ(hex("7d 11 6c 7e"), factory_.last_io->written());
}

TEST_F(UartIoTest, AReadErrorEndsReadingButWritesStillGoOut)
{
    UartIo io(logger_, factory_);
    ASSERT_EQ(0, io.open("ttyACM0", packets_.sink()));
    factory_.last_io->push_read_result(-1);
    ASSERT_TRUE(logger_.wait_for("Reader is bailing out\n"));
    EXPECT_TRUE(io.is_ready());
    io.write(hex("7d 11 6c 7e"), std::chrono::seconds(2));
    EXPECT_EQ(hex("7d 11 6c 7e"), factory_.last_io->written());
}

TEST_F(UartIoTest, WritingWhileTheReaderDelivers)
{
    // One thread writes while the reader thread cuts and delivers packets;
    // meant for the ThreadSanitizer build.
    Bytes burst;
    for (int i = 0; i < 100; ++i) {
        const Bytes f = frame(hex("50 01 02"));
        burst.insert(burst.end(), f.begin(), f.end());
    }
    for (int i = 0; i < 20; ++i)
        factory_.next_reads.push_back(burst);
    UartIo io(logger_, factory_);
    ASSERT_EQ(0, io.open("ttyACM0", packets_.sink()));
    for (int i = 0; i < 200; ++i)
        io.write(hex("7d 11 6c 7e"), std::chrono::seconds(2));
    ASSERT_TRUE(factory_.last_io->wait_until_reads_done());
    EXPECT_EQ(2000u, packets_.all().size());
    EXPECT_EQ(800u, factory_.last_io->written().size());
}
