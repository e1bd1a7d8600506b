// The program itself, started as a user starts it: command line, exit codes,
// what it prints at each log level, the folders it makes, and its shut-down
// when asked to end. It runs on the offscreen platform with Qt Quick's
// software renderer (the offscreen platform has no OpenGL).
#include "support/QtPrinters.hpp"

#include "simmodule/Personality.hpp"
#include "simmodule/SimModule.hpp"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

struct ProgramRun {
    int exitCode;
    QString output; // standard output and error together
};

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(runtime.isValid());
    }

    QProcessEnvironment environment(const QMap<QString, QString>& extra = {}) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("SARVIK_LOG_LEVEL"));
        env.remove(QStringLiteral("QT_LOGGING_RULES"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QT_QUICK_BACKEND"), QStringLiteral("software"));
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral(".config")));
        for (auto it = extra.begin(); it != extra.end(); ++it)
            env.insert(it.key(), it.value());
        return env;
    }

    // Runs the program to its end; it must end by itself.
    ProgramRun run(
        const QStringList& arguments, const QProcessEnvironment& env, const QStringList& prefix = {}) const
    {
        QProcess program;
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::MergedChannels);
        if (prefix.isEmpty())
            program.start(QStringLiteral(SARVIK_PROGRAM), arguments);
        else
            program.start(
                prefix.first(), prefix.mid(1) + QStringList { QStringLiteral(SARVIK_PROGRAM) } + arguments);
        return finish(program);
    }

    // Starts the program, waits until it has made its log folder (by then
    // its termination signals are handled), asks it to end with SIGTERM and
    // waits for its end. Everything it starts up before it looks at the
    // signal in its event loop: the whole start-up and shut-down.
    ProgramRun runUntilTerminated(const QStringList& arguments, const QProcessEnvironment& env) const
    {
        const QString logFolder = home.filePath(QStringLiteral("sarvik"));
        QDir(logFolder).removeRecursively();
        QProcess program;
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(QStringLiteral(SARVIK_PROGRAM), arguments);
        const bool started = QTest::qWaitFor(
            [&] { return QDir(logFolder).exists() || program.state() == QProcess::NotRunning; }, 30000);
        if (!started || program.state() == QProcess::NotRunning)
            return finish(program);
        program.terminate();
        return finish(program);
    }

    static ProgramRun finish(QProcess& program)
    {
        if (!program.waitForFinished(30000)) {
            program.kill();
            program.waitForFinished();
            return { -1, QStringLiteral("did not end: ") + QString::fromLocal8Bit(program.readAll()) };
        }
        return { program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1,
            QString::fromLocal8Bit(program.readAll()) };
    }

    QTemporaryDir home;
    QTemporaryDir runtime;
};

TEST_F(ProgramTest, CommandLineAnswersWithoutStartingTheInterface)
{
    const QString missing = home.filePath(QStringLiteral("no-such.ini"));
    const QString folder = home.filePath(QStringLiteral("settings-folder"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const struct {
        QStringList arguments;
        int exitCode;
        QString output;
    } table[] = {
        { { QStringLiteral("--settings"), missing }, 1,
            QStringLiteral("ERROR: Invalid settings file: no such file: ") + missing },
        // Settings written to a folder's name would be lost.
        { { QStringLiteral("--settings"), folder }, 1,
            QStringLiteral("ERROR: Invalid settings file: is a directory: ") + folder },
        { { QStringLiteral("--version") }, 0, QStringLiteral(SARVIK_VERSION) },
        { { QStringLiteral("--help") }, 0, QStringLiteral("Read settings from given file.") },
    };
    for (const auto& row : table) {
        const ProgramRun result = run(row.arguments, environment());
        EXPECT_EQ(result.exitCode, row.exitCode) << row.arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(result.output.contains(row.output)) << result.output.toStdString();
    }
    // A bad settings file stops the program before it creates its log folder.
    EXPECT_FALSE(QDir(home.filePath(QStringLiteral("sarvik"))).exists());
}

TEST_F(ProgramTest, UnreadableSettingsFileIsRefused)
{
    const QString settings = home.filePath(QStringLiteral("settings.ini"));
    QFile file(settings);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_TRUE(file.setPermissions(QFileDevice::Permissions()));
    // The superuser reads every file: the program then runs as nobody, which
    // may pass through the home folder but not read the file.
    QStringList prefix;
    if (::geteuid() == 0) {
        ASSERT_TRUE(QFile::setPermissions(home.path(),
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                | QFileDevice::ExeOther));
        prefix = QStringList { QStringLiteral("setpriv"), QStringLiteral("--reuid=65534"),
            QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups") };
    }
    const ProgramRun result = run({ QStringLiteral("--settings"), settings }, environment(), prefix);
    EXPECT_EQ(result.exitCode, 1) << result.output.toStdString();
    EXPECT_TRUE(
        result.output.contains(QStringLiteral("ERROR: Invalid settings file: not readable: ") + settings))
        << result.output.toStdString();
}

// Level 0, an unset level and one that is not a number print nothing that
// goes through Qt's messages; above 0 the messages reach the console. The
// QML engine's import trace stands in for any message the program logs.
TEST_F(ProgramTest, LogLevelDecidesWhetherMessagesArePrinted)
{
    const struct {
        const char* level; // nullptr: not set
        bool printed;
    } table[] = {
        { nullptr, false },
        { "0", false },
        { "abc", false },
        { "3", true },
    };
    for (const auto& row : table) {
        QMap<QString, QString> extra { { QStringLiteral("QML_IMPORT_TRACE"), QStringLiteral("1") } };
        if (row.level)
            extra.insert(QStringLiteral("SARVIK_LOG_LEVEL"), QString::fromLatin1(row.level));
        const ProgramRun result = runUntilTerminated({}, environment(extra));
        const char* label = row.level ? row.level : "(unset)";
        EXPECT_EQ(result.exitCode, 0) << label << ": " << result.output.toStdString();
        if (row.printed)
            EXPECT_TRUE(result.output.contains(QStringLiteral("qrc:/qml/main.qml"))) << label;
        else
            EXPECT_EQ(result.output.trimmed(), QString()) << label;
    }
}

// The whole start-up and shut-down on a fresh home folder: the log folder is
// made, the main document loads without a QML error, and the termination signal ends the event loop so
// that the program goes through its shut-down and exits with 0.
TEST_F(ProgramTest, StartsAndEndsCleanlyOnATerminationSignal)
{
    const QString settings = home.filePath(QStringLiteral("my-settings.ini"));
    QFile file(settings);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[SarvikSerial]\nBaudRate=115200\n");
    file.close();
    const struct {
        QStringList arguments;
    } table[] = {
        { {} },
        { { QStringLiteral("--settings"), settings } },
    };
    for (const auto& row : table) {
        const ProgramRun result = runUntilTerminated(
            row.arguments, environment({ { QStringLiteral("SARVIK_LOG_LEVEL"), QStringLiteral("3") } }));
        EXPECT_EQ(result.exitCode, 0) << result.output.toStdString();
        const QRegularExpression qmlProblem(QStringLiteral("(^|\\n)(qrc|file):/\\S+:\\d+"));
        EXPECT_FALSE(qmlProblem.match(result.output).hasMatch()) << result.output.toStdString();
        EXPECT_TRUE(QDir(home.filePath(QStringLiteral("sarvik"))).exists());
    }
    // Starting writes no settings: the file stays as it was, and no default
    // one appears.
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("[SarvikSerial]\nBaudRate=115200\n"));
    EXPECT_FALSE(QFile::exists(home.filePath(QStringLiteral(".config/SarvikZiruvavo/settings.ini"))));
}

// Once its device menu is up the program searches the serial ports: a
// simulated module on a pseudo-terminal, which the system does not list,
// is probed when the test names its port in SARVIK_EXTRA_SERIAL_PORTS, and
// only then.
TEST_F(ProgramTest, SearchesThePortsNamedForTests)
{
    for (const bool named : { true, false }) {
        SCOPED_TRACE(named ? "named" : "not named");
        simmodule::SimModule module(simmodule::Transport::Pty);
        simmodule::apply_personality(module, simmodule::personality("osprey"), 5.0);
        QMap<QString, QString> extra;
        if (named)
            extra.insert(
                QStringLiteral("SARVIK_EXTRA_SERIAL_PORTS"), QString::fromStdString(module.pty_path()));
        QProcess program;
        program.setProcessEnvironment(environment(extra));
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(QStringLiteral(SARVIK_PROGRAM), QStringList());
        ASSERT_TRUE(program.waitForStarted(30000));
        const bool probed = QTest::qWaitFor(
            [&] { return module.received_count() > 0 || program.state() == QProcess::NotRunning; },
            named ? 30000 : 4000);
        EXPECT_EQ(named, probed && module.received_count() > 0);
        program.terminate();
        const ProgramRun result = finish(program);
        EXPECT_EQ(result.exitCode, 0) << result.output.toStdString();
    }
}

} // namespace
