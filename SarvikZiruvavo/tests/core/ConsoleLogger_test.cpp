#include "core/ApplicationProperties.hpp"
#include "core/ConsoleLogger.hpp"
#include "core/ConsoleLoggerController.hpp"
#include "support/MessageLog.hpp"
#include "support/QtPrinters.hpp"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

const QRegularExpression logFileName(
    QStringLiteral("^sarvik_console_log_\\d{8}_\\d{6}(_\\d+)?\\.(writing|txt)$"));

class ConsoleLoggerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        ApplicationProperties::setDefaultLogPath(folder.path());
        ApplicationProperties::setConsoleLogEnabled(true);
    }
    void TearDown() override { ApplicationProperties::setConsoleLogEnabled(false); }

    QStringList files(const QString& pattern = QStringLiteral("*")) const
    {
        return QDir(folder.path()).entryList({ pattern }, QDir::Files, QDir::Name);
    }
    QStringList lines(const QString& name) const
    {
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // The messages of a log file, without its header.
    QStringList messages(const QString& name) const { return lines(name).mid(headerLines); }

    static constexpr int headerLines = 11;
    QTemporaryDir folder;
};

TEST_F(ConsoleLoggerTest, WritesHeaderAndMessagesThenRenamesTheClosedFile)
{
    auto logger = std::make_unique<ConsoleLogger>();
    logger->append(QStringLiteral("first"));
    logger->append(QStringLiteral("second"));

    const QStringList open = files();
    ASSERT_EQ(open.size(), 1);
    EXPECT_TRUE(logFileName.match(open.first()).hasMatch()) << open.first().toStdString();
    EXPECT_TRUE(open.first().endsWith(QLatin1String(".writing")));
    const QString stamp = open.first().mid(19, 15);
    EXPECT_TRUE(QDateTime::fromString(stamp, QStringLiteral("yyyyMMdd_hhmmss")).isValid());

    const QStringList content = lines(open.first());
    ASSERT_EQ(content.size(), headerLines + 2);
    const QString rule(91, QLatin1Char('#'));
    const QString prefixes[] = { rule, QStringLiteral("SystemInfo"), QStringLiteral("  |- product name: "),
        QStringLiteral("  |- kernel type: "), QStringLiteral("  |- kernel version: "),
        QStringLiteral("  |- cpu arch: "), QStringLiteral("  |- build cpu arch: "),
        QStringLiteral("  |- build abi: "), QStringLiteral("Sarvik Verovaze version: " SARVIK_VERSION),
        QStringLiteral("Timestamp: "), rule };
    for (int i = 0; i < headerLines; ++i)
        EXPECT_TRUE(content[i].startsWith(prefixes[i])) << i << ": " << content[i].toStdString();
    EXPECT_EQ(content[0], rule);
    EXPECT_EQ(content.mid(headerLines), (QStringList { QStringLiteral("first"), QStringLiteral("second") }));

    logger.reset();
    const QString closed = QString(open.first()).replace(QLatin1String(".writing"), QLatin1String(".txt"));
    EXPECT_EQ(files(), QStringList { closed });
}

// Past the size limit the file is closed before the next message, which opens
// a new one; files opened within the same second get distinct names.
TEST_F(ConsoleLoggerTest, RollsOverPastTheSizeLimitWithoutReplacingAFile)
{
    auto logger = std::make_unique<ConsoleLogger>(ConsoleLogger::defaultIdleInterval, 10);
    const QStringList sent { QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c") };
    for (const QString& msg : sent)
        logger->append(msg);

    EXPECT_EQ(files(QStringLiteral("*.txt")).size(), 2);
    EXPECT_EQ(files(QStringLiteral("*.writing")).size(), 1);
    logger.reset();

    const QStringList closed = files();
    ASSERT_EQ(closed.size(), 3);
    QStringList received;
    for (const QString& name : closed) {
        EXPECT_TRUE(logFileName.match(name).hasMatch()) << name.toStdString();
        EXPECT_TRUE(name.endsWith(QLatin1String(".txt")));
        received += messages(name);
    }
    received.sort();
    EXPECT_EQ(received, sent);
}

TEST_F(ConsoleLoggerTest, ExistingLogFilesOfTheSameSecondAreLeftAlone)
{
    // Taken: every name the logger could pick in the next few seconds, both
    // while written and after its rename, and the first suffixed one.
    QStringList taken;
    const QDateTime now = QDateTime::currentDateTime();
    for (int s = 0; s < 4; ++s) {
        const QString base = QStringLiteral("sarvik_console_log_")
            + now.addSecs(s).toString(QStringLiteral("yyyyMMdd_hhmmss"));
        taken << base + QStringLiteral(".writing") << base + QStringLiteral(".txt")
              << base + QStringLiteral("_2.txt");
    }
    for (const QString& name : taken) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep\n");
    }

    auto logger = std::make_unique<ConsoleLogger>();
    logger->append(QStringLiteral("new"));
    logger.reset();

    for (const QString& name : taken)
        EXPECT_EQ(lines(name), QStringList { QStringLiteral("keep") }) << name.toStdString();
    const QStringList all = files();
    ASSERT_EQ(all.size(), taken.size() + 1);
    for (const QString& name : all) {
        if (!taken.contains(name)) {
            EXPECT_TRUE(name.endsWith(QLatin1String(".txt"))) << name.toStdString();
            EXPECT_EQ(messages(name), QStringList { QStringLiteral("new") });
        }
    }
}

// The idle timer closes the file only while console logging is off; with it
// on, a message after a silence goes to the same file.
TEST_F(ConsoleLoggerTest, IdleTimerClosesTheFileOnlyWhileConsoleLoggingIsOff)
{
    const int idle = 20;
    {
        ApplicationProperties::setConsoleLogEnabled(true);
        ConsoleLogger logger(idle);
        logger.append(QStringLiteral("one"));
        QTest::qWait(10 * idle);
        logger.append(QStringLiteral("two"));
        const QStringList open = files(QStringLiteral("*.writing"));
        ASSERT_EQ(open.size(), 1);
        EXPECT_EQ(messages(open.first()), (QStringList { QStringLiteral("one"), QStringLiteral("two") }));
    }
    ASSERT_EQ(files(QStringLiteral("*.writing")).size(), 0);
    const int closedBefore = files().size();

    ApplicationProperties::setConsoleLogEnabled(false);
    ConsoleLogger logger(idle);
    logger.append(QStringLiteral("three"));
    EXPECT_EQ(files(QStringLiteral("*.writing")).size(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return files(QStringLiteral("*.writing")).isEmpty(); }, 5000));
    EXPECT_EQ(files().size(), closedBefore + 1);

    logger.append(QStringLiteral("four"));
    EXPECT_EQ(files(QStringLiteral("*.writing")).size(), 1);
}

// A folder that cannot be written: one warning, then nothing until the idle
// rule closes the failed file, after which the next message tries again.
TEST_F(ConsoleLoggerTest, UnwritableFolderWarnsOnceUntilTheIdleClose)
{
    ApplicationProperties::setDefaultLogPath(folder.filePath(QStringLiteral("missing/folder")));
    ApplicationProperties::setConsoleLogEnabled(false);
    MessageLog log;
    ConsoleLogger logger(20);
    for (int i = 0; i < 3; ++i)
        logger.append(QStringLiteral("lost"));
    EXPECT_EQ(log.warnings(), QStringList { QStringLiteral("Failed to open console log file!") });

    QTest::qWait(200);
    logger.append(QStringLiteral("lost again"));
    EXPECT_EQ(log.warnings().size(), 2);
    EXPECT_TRUE(files().isEmpty());
}

// The message handler hands every message to the handler installed before it
// and, while console logging is on, to the logger on its own thread; the
// controller's end closes and renames the file. Without a controller every
// message is dropped.
TEST_F(ConsoleLoggerTest, MessageHandlerRoutesThroughTheControllerThread)
{
    MessageLog console;
    struct Restore {
        ~Restore() { qInstallMessageHandler(previous); }
        QtMessageHandler previous;
    } restore { ConsoleLoggerController::installMessageHandler() };

    qWarning("dropped without a controller");
    EXPECT_TRUE(console.messages().isEmpty());

    auto* controller = new ConsoleLoggerController(qApp, new ConsoleLogger);
    qWarning("to the console and the file");
    ApplicationProperties::setConsoleLogEnabled(false);
    qWarning("to the console only");
    ApplicationProperties::setConsoleLogEnabled(true);
    qWarning("last");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const QStringList open = files(QStringLiteral("*.writing"));
            return !open.isEmpty() && messages(open.first()).contains(QStringLiteral("last"));
        },
        5000));
    delete controller;

    EXPECT_EQ(console.warnings(),
        (QStringList { QStringLiteral("to the console and the file"), QStringLiteral("to the console only"),
            QStringLiteral("last") }));
    const QStringList closed = files();
    ASSERT_EQ(closed.size(), 1);
    EXPECT_TRUE(closed.first().endsWith(QLatin1String(".txt")));
    const QStringList written = messages(closed.first()).filter(QRegularExpression(QStringLiteral("^[a-z]")));
    EXPECT_EQ(
        written, (QStringList { QStringLiteral("to the console and the file"), QStringLiteral("last") }));
}

// Library and worker threads go on logging while the program shuts down: a
// message that comes after the controller began to go is dropped, and none
// reaches the logger once it is deleted (AddressSanitizer and
// ThreadSanitizer builds see any such access).
TEST_F(ConsoleLoggerTest, ThreadsLoggingWhileTheControllerGoesNeverReachTheDeletedLogger)
{
    MessageLog console;
    struct Restore {
        ~Restore() { qInstallMessageHandler(previous); }
        QtMessageHandler previous;
    } restore { ConsoleLoggerController::installMessageHandler() };
    auto* controller = new ConsoleLoggerController(qApp, new ConsoleLogger);

    constexpr int threadCount = 4;
    constexpr int messagesEach = 200;
    std::atomic<int> before { 0 };
    std::atomic<bool> controllerGone { false };
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < messagesEach; ++i) {
                qWarning("before %d", i);
                ++before;
            }
            while (!controllerGone)
                qWarning("while it goes");
            for (int i = 0; i < messagesEach; ++i)
                qWarning("after %d", i);
        });
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return before == threadCount * messagesEach; }, 20000));
    delete controller;
    controllerGone = true;
    for (std::thread& thread : threads)
        thread.join();

    EXPECT_EQ(console.count(QStringLiteral("before")), threadCount * messagesEach);
    EXPECT_EQ(console.count(QStringLiteral("after")), 0);
    const QStringList closed = files(QStringLiteral("*.txt"));
    ASSERT_EQ(closed.size(), 1);
    EXPECT_TRUE(files(QStringLiteral("*.writing")).isEmpty());
}

} // namespace
