#include "log/ConsoleAndFileLogger.hpp"
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <thread>

namespace {

// A sink that keeps every line it is given.
class LineSink : public Sarvik::AbstractLoggerIo {
public:
    explicit LineSink(std::vector<std::string>* lines, bool* destroyed = nullptr)
        : lines_(lines)
        , destroyed_(destroyed)
    {
    }
    ~LineSink() override
    {
        if (destroyed_)
            *destroyed_ = true;
    }
    void log(const std::string& line) override { lines_->push_back(line); }

private:
    std::vector<std::string>* lines_;
    bool* destroyed_;
};

// The text after "<seconds> : ".
std::string text_of(const std::string& line)
{
    const auto at = line.find(" : ");
    return at == std::string::npos ? "<no separator>" : line.substr(at + 3);
}

// Runs the test body in a temporary current directory.
class InTempDir : public ::testing::Test {
protected:
    void SetUp() override
    {
        old_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
    }
    void TearDown() override { std::filesystem::current_path(old_); }
    std::vector<std::filesystem::path> files() const
    {
        std::vector<std::filesystem::path> out;
        for (auto& e : std::filesystem::directory_iterator(dir_.path()))
            out.push_back(e.path());
        std::sort(out.begin(), out.end());
        return out;
    }

    testsupport::TempDir dir_;
    std::filesystem::path old_;
};

} // namespace

TEST(StdoutLogger, WritesOnlyLevelsUpToTheThreshold)
{
    std::vector<std::string> lines;
    StdoutLogger logger(3, new LineSink(&lines));
    logger.log(5, "detail");
    logger.log(3, "sent");
    logger.error("failed");
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("sent", text_of(lines[0]));
    EXPECT_EQ("failed", text_of(lines[1]));
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(\d+\.\d{6} : sent)"))) << lines[0];

    logger.set_log_level(-1); // negative: everything
    logger.log(1000, "bulk");
    EXPECT_EQ("bulk", text_of(lines.back()));
}

TEST(StdoutLogger, LineStartsWithSecondsSinceConstruction)
{
    std::vector<std::string> lines;
    StdoutLogger logger(3, new LineSink(&lines));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    logger.log(3, "later");
    const double seconds = std::stod(lines.at(0));
    EXPECT_GE(seconds, 0.045);
    EXPECT_LT(seconds, 5.0);
}

TEST(StdoutLogger, PrintBytesFormats)
{
    struct Case {
        std::vector<uint8_t> bytes;
        std::string text;
    };
    std::vector<uint8_t> twenty, twenty_five;
    for (int i = 1; i <= 20; ++i)
        twenty.push_back(static_cast<uint8_t>(i));
    for (int i = 1; i <= 25; ++i)
        twenty_five.push_back(static_cast<uint8_t>(i));
    const Case cases[] = {
        {{1, 2, 255}, "3: {0x01, 0x02, 0xff, }"},
        {twenty,
         "20: {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f, "
         "0x10, 0x11, 0x12, 0x13, 0x14, }"},
        {twenty_five,
         "25: {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f, "
         "0x10, 0x11, 0x12, 0x13, 0x14, ..., 0x17, 0x18, 0x19}"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> lines;
        StdoutLogger logger(5, new LineSink(&lines));
        logger.print_bytes(5, c.bytes);
        ASSERT_EQ(1u, lines.size());
        EXPECT_EQ(c.text, text_of(lines[0]));
    }
}

TEST(StdoutLogger, PrintBytesWritesNothingForNoBytesOrAboveThreshold)
{
    std::vector<std::string> lines;
    StdoutLogger logger(3, new LineSink(&lines));
    logger.print_bytes(3, {});
    logger.print_bytes(5, {1, 2});
    EXPECT_TRUE(lines.empty());
}

TEST(StdoutLogger, StreamsDeliverOnFlushOnly)
{
    std::vector<std::string> lines;
    StdoutLogger logger(3, new LineSink(&lines));
    {
        auto s = logger.slog(3);
        s << "value " << 42;
        EXPECT_TRUE(lines.empty());
        s.flush();
    }
    {
        auto dropped = logger.serror();
        dropped << "never flushed";
    }
    auto e = logger.serror();
    e << "bad " << 1.5;
    e.flush();
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("value 42", text_of(lines[0]));
    EXPECT_EQ("bad 1.5", text_of(lines[1]));
}

TEST(StdoutLogger, OwnsAndDeletesItsSink)
{
    std::vector<std::string> lines;
    bool destroyed = false;
    {
        StdoutLogger logger(5, new LineSink(&lines, &destroyed));
    }
    EXPECT_TRUE(destroyed);
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ("~StdoutLogger", text_of(lines[0]));
}

TEST(StdoutLogger, LinesOfConcurrentThreadsNeverInterleave)
{
    std::vector<std::string> lines;
    StdoutLogger logger(3, new LineSink(&lines));
    auto writer = [&logger](char c) {
        for (int i = 0; i < 2000; ++i)
            logger.log(3, std::string(64, c));
    };
    std::thread a(writer, 'a'), b(writer, 'b');
    a.join();
    b.join();
    ASSERT_EQ(4000u, lines.size());
    for (const auto& line : lines) {
        const std::string text = text_of(line);
        ASSERT_TRUE(text == std::string(64, 'a') || text == std::string(64, 'b')) << line;
    }
}

TEST(Trace, LogsBeginAndEnd)
{
    std::vector<std::string> lines;
    StdoutLogger logger(3, new LineSink(&lines));
    {
        Trace trace(logger, 3, "ping");
        EXPECT_EQ(1u, lines.size());
    }
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("ping -- begin", text_of(lines[0]));
    EXPECT_EQ("ping -- end", text_of(lines[1]));
}

TEST(VoidLogger, PrintsErrorsOnly)
{
    VoidLogger logger;
    testing::internal::CaptureStdout();
    logger.log(1, "hidden");
    logger.print_bytes(0, {1, 2, 3});
    logger.error("x");
    auto s = logger.slog(0);
    s << "y";
    s.flush();
    EXPECT_EQ("x\ny\n", testing::internal::GetCapturedStdout());
}

using DefaultLoggerIoTest = InTempDir;

TEST_F(DefaultLoggerIoTest, ConsoleOnlyWritesNoFile)
{
    DefaultLoggerIo sink(false, true);
    testing::internal::CaptureStdout();
    sink.log("hello");
    EXPECT_EQ("hello\n", testing::internal::GetCapturedStdout());
    EXPECT_TRUE(files().empty());
}

TEST_F(DefaultLoggerIoTest, FirstLineCreatesATimeNamedFile)
{
    const std::string before = DefaultLoggerIo::create_filename("debug_%Y%m%d_%H%M%S.log");
    {
        DefaultLoggerIo sink(true, false);
        sink.log("one");
        sink.log("two");
    }
    const std::string after = DefaultLoggerIo::create_filename("debug_%Y%m%d_%H%M%S.log");
    auto found = files();
    ASSERT_EQ(1u, found.size());
    const std::string name = found[0].filename().string();
    EXPECT_TRUE(std::regex_match(name, std::regex(R"(debug_\d{8}_\d{6}\.log)"))) << name;
    EXPECT_GE(name, before);
    EXPECT_LE(name, after);
    std::ifstream in(found[0]);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_EQ("one\ntwo\n", content.str());
}

TEST_F(DefaultLoggerIoTest, RotatesAfterTheLineLimitWithoutLosingLines)
{
    const int total = DefaultLoggerIo::max_lines_per_file + 5;
    {
        DefaultLoggerIo sink(true, false);
        for (int i = 1; i <= total; ++i)
            sink.log(std::to_string(i));
    }
    auto found = files();
    ASSERT_EQ(2u, found.size()); // both kept even when opened within one second
    std::vector<size_t> counts;
    std::vector<std::string> firsts;
    for (const auto& f : found) {
        std::ifstream in(f);
        std::string line, first;
        size_t n = 0;
        while (std::getline(in, line)) {
            if (n++ == 0)
                first = line;
        }
        counts.push_back(n);
        firsts.push_back(first);
    }
    // The first file holds the limit; the next starts with the line that
    // caused the switch.
    const auto first_file = firsts[0] == "1" ? 0 : 1;
    EXPECT_EQ(size_t(DefaultLoggerIo::max_lines_per_file), counts[first_file]);
    EXPECT_EQ(std::to_string(DefaultLoggerIo::max_lines_per_file + 1), firsts[1 - first_file]);
    EXPECT_EQ(5u, counts[1 - first_file]);
}

TEST_F(DefaultLoggerIoTest, UnopenableFileThrowsAfterWritingTheConsole)
{
    // No file can be created in a current directory that has been removed,
    // whatever the process's privileges.
    const auto gone = std::filesystem::path(dir_.path()) / "gone";
    std::filesystem::create_directory(gone);
    std::filesystem::current_path(gone);
    std::filesystem::remove(gone);

    DefaultLoggerIo sink(true, true);
    testing::internal::CaptureStdout();
    try {
        sink.log("line");
        ADD_FAILURE() << "expected an exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("file is not open after open", e.what());
    }
    EXPECT_EQ("line\n", testing::internal::GetCapturedStdout());
}
