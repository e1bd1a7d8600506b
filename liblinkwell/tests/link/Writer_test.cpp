#include "link/ActiveThread.hpp"
#include "link/Writer.hpp"
#include "support/RecordingLogger.hpp"
#include "support/ScriptedModuleIo.hpp"
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>

namespace {

using testsupport::Bytes;
using testsupport::hex;
using testsupport::RecordingLogger;
using testsupport::ScriptedModuleIo;

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const Bytes ten = hex("7d 01 02 03 04 05 06 07 08 7e");
// Longer than any of these tests takes.
constexpr std::chrono::seconds limit { 60 };

class WriterTest : public ::testing::Test {
protected:
    RecordingLogger logger_;
    ScriptedModuleIo io_;
    Writer writer_ { logger_, io_, new ActiveThread("writer", logger_) };

    std::vector<std::string> level3() const
    {
        std::vector<std::string> out;
        for (const auto& e : logger_.entries())
            if (e.level == 3)
                out.push_back(e.text);
        return out;
    }
};

} // namespace

TEST_F(WriterTest, ShortWritesAreCompletedWithTheRest)
{
    io_.push_write_results({ 3, 7 });
    writer_.write(ten, limit);
    EXPECT_EQ(ten, io_.written());
    EXPECT_EQ((std::vector<unsigned> { 10, 7 }), io_.write_lengths());
    EXPECT_EQ((std::vector<std::string> { "sending: ",
                  "10: {0x7d, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x7e, }", "sent" }),
        level3());
    EXPECT_TRUE(logger_.errors().empty());
}

TEST_F(WriterTest, FailingWritesThrowAfterLoggingWhatWasWritten)
{
    struct Case {
        const char* name;
        std::chrono::seconds no_progress_limit;
        std::vector<int> results;
        unsigned io_calls;
        int timeouts_logged;
        unsigned written;
    };
    const Case cases[] = {
        { "an empty write with no time left", 0s, { 0, 0, 0 }, 1, 1, 0 },
        { "an empty write after a short write", 0s, { 4, 0, 0 }, 2, 1, 4 },
        { "error at once", limit, { -1 }, 1, 0, 0 },
        { "error after a short write", limit, { 4, -1 }, 2, 0, 4 },
        { "error after empty writes within the limit", limit, { 0, 0, -1 }, 3, 2, 0 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingLogger logger;
        ScriptedModuleIo io;
        Writer writer(logger, io, new ActiveThread("writer", logger));
        io.push_write_results(c.results);
        try {
            writer.write(ten, c.no_progress_limit);
            ADD_FAILURE() << "no exception";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ("Failed to write all bytes to module\n", e.what());
        }
        EXPECT_EQ(c.io_calls, io.write_lengths().size());
        EXPECT_EQ(c.timeouts_logged, logger.count("write to module timed out"));
        EXPECT_EQ(0, logger.count("sent"));
        EXPECT_EQ(
            std::vector<std::string> { "Failed to write all bytes to module, expected bytes written: 10, "
                                       "actual bytes written: "
                + std::to_string(c.written) },
            logger.errors());
    }
}

// A module that takes nothing fails the write once the limit has passed
// since its last progress: not after a number of empty writes, and not
// while bytes still trickle out.
TEST_F(WriterTest, TheNoProgressLimitRunsFromTheLastProgress)
{
    io_.empty_write_wait = 50ms;
    std::vector<int> trickle(15, 0); // 0.75 s without progress
    trickle.push_back(1);
    trickle.insert(trickle.end(), 15, 0); // and again; then the rest goes
    io_.push_write_results(trickle);
    EXPECT_NO_THROW(writer_.write(ten, 1s));
    EXPECT_EQ(ten, io_.written());

    io_.push_write_results(std::vector<int>(100, 0));
    const auto start = Clock::now();
    EXPECT_THROW(writer_.write(ten, 1s), std::runtime_error);
    const auto took = Clock::now() - start;
    EXPECT_GE(took, 1s);
    EXPECT_LT(took, 1s + 500ms);
}

TEST_F(WriterTest, AFailedWriteDoesNotBlockTheNextOne)
{
    io_.push_write_results({ -1 });
    EXPECT_THROW(writer_.write(ten, limit), std::runtime_error);
    writer_.write(hex("7d 11 6c 7e"), limit);
    EXPECT_EQ(hex("7d 11 6c 7e"), io_.written());
    EXPECT_EQ(1, logger_.count("sent"));
}

TEST_F(WriterTest, NothingToWriteTouchesNoIo)
{
    writer_.write({}, limit);
    EXPECT_TRUE(io_.write_lengths().empty());
    EXPECT_EQ((std::vector<std::string> { "sending: ", "sent" }), level3());
}
