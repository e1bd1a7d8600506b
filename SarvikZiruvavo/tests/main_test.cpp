// The program itself, started as a user starts it: command line and exit codes.
#include "support/QtPrinters.hpp"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct ProgramRun {
    int exitCode;
    QString output; // standard output and error together
};

ProgramRun runProgram(const QStringList& arguments, const QString& home)
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("HOME"), home);
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(QStringLiteral(SARVIK_PROGRAM), arguments);
    if (!program.waitForFinished(30000)) {
        program.kill();
        program.waitForFinished();
        return { -1, QStringLiteral("did not end") };
    }
    return { program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1,
        QString::fromLocal8Bit(program.readAll()) };
}

TEST(ProgramTest, CommandLineAnswersWithoutStartingTheInterface)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString missing = home.filePath(QStringLiteral("no-such.ini"));
    const struct {
        QStringList arguments;
        int exitCode;
        QString output;
    } table[] = {
        { { QStringLiteral("--settings"), missing }, 1,
            QStringLiteral("ERROR: Invalid settings file: no such file: ") + missing },
        { { QStringLiteral("--version") }, 0, QStringLiteral(SARVIK_VERSION) },
        { { QStringLiteral("--help") }, 0, QStringLiteral("Read settings from given file.") },
    };
    for (const auto& row : table) {
        const ProgramRun run = runProgram(row.arguments, home.path());
        EXPECT_EQ(run.exitCode, row.exitCode) << row.arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(run.output.contains(row.output)) << run.output.toStdString();
    }
    // A bad settings file stops the program before it creates its log folder.
    EXPECT_FALSE(QDir(home.filePath(QStringLiteral("sarvik"))).exists());
}

} // namespace
