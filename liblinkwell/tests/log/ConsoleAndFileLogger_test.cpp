#include "log/ConsoleAndFileLogger.hpp"
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

namespace {

// A sink that keeps every line it is given.
class LineSink : public Sarvik::AbstractLoggerIo {
public:
    explicit LineSink(std::vector<std::string>* lines, bool* destroyed = nullptr)
        : lines_(lines)
        , destroyed_(destroyed)
    { }
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

// logs() is what call sites ask before they build a message: it must be
// true for every level that would be written and false for every other.
TEST(StdoutLogger, LogsAgreesWithWhatIsWritten)
{
    const int thresholds[] = { -1, 0, 3, 5 };
    const unsigned levels[] = { 0, 1, 3, 4, 5, 6, 1000 };
    for (const int threshold : thresholds) {
        for (const bool set_later : { false, true }) {
            std::vector<std::string> lines;
            StdoutLogger logger(set_later ? 2 : threshold, new LineSink(&lines));
            if (set_later)
                logger.set_log_level(threshold);
            for (const unsigned level : levels) {
                const size_t before = lines.size();
                logger.log(level, "line");
                const bool written = lines.size() > before;
                EXPECT_EQ(written, logger.logs(level))
                    << "threshold " << threshold << (set_later ? " (set later)" : "") << ", level " << level;
            }
        }
    }
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
    auto one_to = [](int n) {
        std::vector<uint8_t> bytes;
        for (int i = 1; i <= n; ++i)
            bytes.push_back(static_cast<uint8_t>(i));
        return bytes;
    };
    const std::string first_twenty
        = "0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0a, 0x0b, 0x0c, "
          "0x0d, 0x0e, 0x0f, 0x10, 0x11, 0x12, 0x13, 0x14, ";
    // From 21 bytes on the last three follow the first twenty, even where
    // they repeat some of them.
    const Case cases[] = {
        { { 1, 2, 255 }, "3: {0x01, 0x02, 0xff, }" },
        { { 0x00 }, "1: {0x00, }" },
        { one_to(20), "20: {" + first_twenty + "}" },
        { one_to(21), "21: {" + first_twenty + "..., 0x13, 0x14, 0x15}" },
        { one_to(22), "22: {" + first_twenty + "..., 0x14, 0x15, 0x16}" },
        { one_to(23), "23: {" + first_twenty + "..., 0x15, 0x16, 0x17}" },
        { one_to(25), "25: {" + first_twenty + "..., 0x17, 0x18, 0x19}" },
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
    logger.print_bytes(5, { 1, 2 });
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
    logger.print_bytes(0, { 1, 2, 3 });
    logger.error("x");
    auto s = logger.slog(0);
    s << "y";
    s.flush();
    EXPECT_EQ("x\ny\n", testing::internal::GetCapturedStdout());
    EXPECT_TRUE(logger.logs(0));
    EXPECT_FALSE(logger.logs(1));
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

// The lines of each file in the directory, the files ordered by their first
// line (a number).
std::vector<std::vector<std::string>> numbered_files(const std::vector<std::filesystem::path>& paths)
{
    std::vector<std::vector<std::string>> out;
    for (const auto& path : paths) {
        std::ifstream in(path);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        out.push_back(lines);
    }
    std::sort(out.begin(), out.end(),
        [](const auto& a, const auto& b) { return std::stoi(a.at(0)) < std::stoi(b.at(0)); });
    return out;
}

TEST_F(DefaultLoggerIoTest, RotatesAfterTheLineLimitWithoutLosingLines)
{
    EXPECT_EQ(200000, DefaultLoggerIo::max_lines_per_file);
    {
        DefaultLoggerIo sink(true, false, 3);
        for (int i = 1; i <= 11; ++i)
            sink.log(std::to_string(i));
    }
    // The first file holds the limit; each later one the line that caused
    // the switch and the limit more. All are kept, even when opened within
    // one second.
    const auto found = numbered_files(files());
    ASSERT_EQ(3u, found.size());
    EXPECT_EQ((std::vector<std::string> { "1", "2", "3" }), found[0]);
    EXPECT_EQ((std::vector<std::string> { "4", "5", "6", "7" }), found[1]);
    EXPECT_EQ((std::vector<std::string> { "8", "9", "10", "11" }), found[2]);
}

TEST_F(DefaultLoggerIoTest, NeverReplacesAnExistingLogFile)
{
    // Occupy the names of this second and the next two, whichever second
    // the sink opens its file in.
    std::vector<std::string> taken;
    const std::time_t now = std::time(nullptr);
    for (int ahead = 0; ahead < 3; ++ahead) {
        const std::time_t t = now + ahead;
        std::tm local {};
        localtime_r(&t, &local);
        char name[64];
        std::strftime(name, sizeof name, "debug_%Y%m%d_%H%M%S.log", &local);
        taken.push_back(name);
        std::ofstream(name) << "keep\n";
    }
    {
        DefaultLoggerIo sink(true, false);
        sink.log("new");
    }
    for (const auto& name : taken) {
        std::ifstream in(name);
        std::string content;
        std::getline(in, content);
        EXPECT_EQ("keep", content) << name;
    }
    const auto all = files();
    ASSERT_EQ(taken.size() + 1, all.size());
    int with_new = 0;
    for (const auto& path : all) {
        std::ifstream in(path);
        std::string content;
        std::getline(in, content);
        if (content == "new") {
            ++with_new;
            EXPECT_TRUE(
                std::regex_match(path.filename().string(), std::regex(R"(debug_\d{8}_\d{6}_\d+\.log)")))
                << path;
        }
    }
    EXPECT_EQ(1, with_new);
}

// Logging runs on worker threads, where an exception would end the process:
// a log file that cannot be opened is reported once, and the console output
// goes on.
TEST_F(DefaultLoggerIoTest, UnopenableFileWarnsOnceAndKeepsTheConsole)
{
    // No file can be created in a current directory that has been removed,
    // whatever the process's privileges.
    const auto gone = std::filesystem::path(dir_.path()) / "gone";
    std::filesystem::create_directory(gone);
    std::filesystem::current_path(gone);
    std::filesystem::remove(gone);

    DefaultLoggerIo sink(true, true);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_NO_THROW(sink.log("line"));
    EXPECT_NO_THROW(sink.log("more"));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ("line\nmore\n", testing::internal::GetCapturedStdout());
    EXPECT_EQ(0u, err.find("WARNING: cannot open the log file debug_")) << err;
    EXPECT_EQ(1, std::count(err.begin(), err.end(), '\n')) << err;
}

TEST_F(DefaultLoggerIoTest, FailedRotationStopsFileOutputButNotTheConsole)
{
    const auto dir = std::filesystem::path(dir_.path()) / "logs";
    std::filesystem::create_directory(dir);
    std::filesystem::current_path(dir);

    DefaultLoggerIo sink(true, true, 2);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    sink.log("1");
    sink.log("2");
    // The next file would go to a current directory that has been removed.
    std::filesystem::current_path(dir_.path());
    std::filesystem::remove_all(dir);
    const auto gone = std::filesystem::path(dir_.path()) / "gone";
    std::filesystem::create_directory(gone);
    std::filesystem::current_path(gone);
    std::filesystem::remove(gone);
    EXPECT_NO_THROW(sink.log("3"));
    EXPECT_NO_THROW(sink.log("4"));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ("1\n2\n3\n4\n", testing::internal::GetCapturedStdout());
    EXPECT_EQ(1, std::count(err.begin(), err.end(), '\n')) << err;
}
