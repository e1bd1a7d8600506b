#include "apps/RecordingParameterFile.hpp"
#include "support/MessageLog.hpp"
#include "support/QtPrinters.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString warningPrefix = QStringLiteral("No directory to write recording metadata in: ");

class RecordingParameterFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(session.isValid()); }

    QString parameterPath() const { return session.filePath(RecordingParameterFile::fileName); }

    void writeText(const QByteArray& text) const
    {
        QFile file(parameterPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

    // The lines of the file as its sections and key=value pairs, read without
    // the settings store, so that the file's form itself is checked.
    QMap<QString, QString> generalSection(QStringList* sections) const
    {
        QFile file(parameterPath());
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return {};
        QMap<QString, QString> values;
        for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1Char('['))) {
                sections->append(line.trimmed());
            } else if (line.contains(QLatin1Char('='))) {
                const int equals = line.indexOf(QLatin1Char('='));
                values.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
            }
        }
        return values;
    }

    QTemporaryDir session;
};

double number(const QString& text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    EXPECT_TRUE(ok) << "not a number: " << text.toStdString();
    return value;
}

TEST_F(RecordingParameterFileTest, WritesTheFourKeysInTheGeneralSectionAndReadsThemBack)
{
    auto file = RecordingParameterFile::create(session.path());
    ASSERT_TRUE(file);
    EXPECT_EQ(file->path(), parameterPath());
    file->setDownConversion(1);
    file->setDetectionZoneStart(0.4);
    file->setDetectionZoneEnd(5.3);
    file->setDetectionZoneStep(0.0514403);
    file.reset();

    QStringList sections;
    const QMap<QString, QString> values = generalSection(&sections);
    EXPECT_EQ(sections, QStringList { QStringLiteral("[General]") });
    ASSERT_EQ(values.keys(),
        (QStringList { QStringLiteral("DetectionZoneEnd"), QStringLiteral("DetectionZoneStart"),
            QStringLiteral("DetectionZoneStep"), QStringLiteral("DownConversion") }));
    EXPECT_EQ(values.value(QStringLiteral("DownConversion")), QStringLiteral("1"));
    EXPECT_DOUBLE_EQ(number(values.value(QStringLiteral("DetectionZoneStart"))), 0.4);
    EXPECT_DOUBLE_EQ(number(values.value(QStringLiteral("DetectionZoneEnd"))), 5.3);
    EXPECT_DOUBLE_EQ(number(values.value(QStringLiteral("DetectionZoneStep"))), 0.0514403);

    const auto read = RecordingParameterFile::open(session.path());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->downConversion(), 1);
    EXPECT_DOUBLE_EQ(read->detectionZoneStart(), 0.4);
    EXPECT_DOUBLE_EQ(read->detectionZoneEnd(), 5.3);
    EXPECT_DOUBLE_EQ(read->detectionZoneStep(), 0.0514403);
}

TEST_F(RecordingParameterFileTest, WritingAgainKeepsTheKeysNotWritten)
{
    writeText("[General]\nDetectionZoneStep=0.05\nDownConversion=1\n");
    {
        auto file = RecordingParameterFile::create(session.path());
        ASSERT_TRUE(file);
        file->setDownConversion(0);
        file->setDetectionZoneStart(1.5);
    }
    const auto read = RecordingParameterFile::open(session.path());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->downConversion(), 0);
    EXPECT_DOUBLE_EQ(read->detectionZoneStart(), 1.5);
    EXPECT_DOUBLE_EQ(read->detectionZoneStep(), 0.05);
}

struct StoredFile {
    const char* what;
    QByteArray text;
    int downConversion;
    double start;
    double end;
    double step;
};

TEST_F(RecordingParameterFileTest, ReadsMissingAndUnreadableValuesAsZero)
{
    const StoredFile table[] = {
        { "all four",
            "[General]\nDownConversion=1\nDetectionZoneStart=0.4\nDetectionZoneEnd=2\nDetectionZoneStep=0."
            "05\n",
            1, 0.4, 2.0, 0.05 },
        { "without the step", "[General]\nDownConversion=1\nDetectionZoneStart=0.4\nDetectionZoneEnd=2\n", 1,
            0.4, 2.0, 0.0 },
        { "empty file", "", 0, 0.0, 0.0, 0.0 },
        { "not numbers",
            "[General]\nDownConversion=yes\nDetectionZoneStart=abc\nDetectionZoneEnd=\nDetectionZoneStep=0."
            "05m\n",
            0, 0.0, 0.0, 0.0 },
        { "not finite",
            "[General]\nDownConversion=99999999999\nDetectionZoneStart=nan\nDetectionZoneEnd="
            "inf\nDetectionZoneStep=1e999\n",
            0, 0.0, 0.0, 0.0 },
        { "lists", "[General]\nDownConversion=1, 2\nDetectionZoneStart=\"0.4, 1\"\nDetectionZoneEnd=2, 3\n",
            0, 0.0, 0.0, 0.0 },
        { "keys in another section", "[Other]\nDownConversion=1\nDetectionZoneStart=0.4\n", 0, 0.0, 0.0,
            0.0 },
        { "negative and spaced", "[General]\nDownConversion = 2\nDetectionZoneStart = -0.25\n", 2, -0.25, 0.0,
            0.0 },
        { "not an ini file", QByteArray("\x00\xff\x10garbage=\x01\n", 13), 0, 0.0, 0.0, 0.0 },
    };
    for (const StoredFile& row : table) {
        writeText(row.text);
        const auto file = RecordingParameterFile::open(session.path());
        ASSERT_TRUE(file) << row.what;
        EXPECT_EQ(file->downConversion(), row.downConversion) << row.what;
        EXPECT_DOUBLE_EQ(file->detectionZoneStart(), row.start) << row.what;
        EXPECT_DOUBLE_EQ(file->detectionZoneEnd(), row.end) << row.what;
        EXPECT_DOUBLE_EQ(file->detectionZoneStep(), row.step) << row.what;
    }
}

TEST_F(RecordingParameterFileTest, OpensOnlyAnExistingRegularFileInAnAbsoluteDirectory)
{
    EXPECT_FALSE(RecordingParameterFile::open(session.path())) << "no file";
    EXPECT_FALSE(RecordingParameterFile::open(session.filePath(QStringLiteral("gone")))) << "no directory";
    EXPECT_FALSE(RecordingParameterFile::open(QString())) << "empty directory";

    ASSERT_TRUE(QDir(session.path()).mkdir(RecordingParameterFile::fileName));
    EXPECT_FALSE(RecordingParameterFile::open(session.path())) << "a directory of that name";
    ASSERT_TRUE(QDir(session.path()).rmdir(RecordingParameterFile::fileName));

    writeText("[General]\nDownConversion=1\n");
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(session.path()));
    EXPECT_FALSE(RecordingParameterFile::open(QStringLiteral("."))) << "relative directory";
    QDir::setCurrent(cwd);
    EXPECT_TRUE(RecordingParameterFile::open(session.path()));
}

// The directory lookup answers an empty text when it finds none: the file
// must not land at the root of the file system, nor anywhere else.
TEST_F(RecordingParameterFileTest, WritesNothingAnywhereWithoutAnAbsoluteSessionDirectory)
{
    const QString atRoot = QDir::rootPath() + RecordingParameterFile::fileName;
    const bool rootHadOne = QFileInfo::exists(atRoot);
    ASSERT_TRUE(QDir(session.path()).mkdir(QStringLiteral("relative")));
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(session.path()));

    const QString directories[] = { QString(), QStringLiteral("relative"), QStringLiteral("."),
        session.filePath(QStringLiteral("missing")), session.filePath(QStringLiteral("plain-file")) };
    QFile plain(session.filePath(QStringLiteral("plain-file")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    for (const QString& directory : directories) {
        MessageLog log;
        {
            auto file = RecordingParameterFile::create(directory);
            EXPECT_FALSE(file) << directory.toStdString();
            if (file)
                file->setDownConversion(1);
        }
        EXPECT_EQ(log.warnings(), QStringList { warningPrefix + directory });
    }
    QDir::setCurrent(cwd);

    EXPECT_EQ(QFileInfo::exists(atRoot), rootHadOne);
    const QStringList everything = QDir(session.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    EXPECT_EQ(everything, (QStringList { QStringLiteral("plain-file"), QStringLiteral("relative") }));
    EXPECT_TRUE(QDir(session.filePath(QStringLiteral("relative"))).isEmpty());
}

// The session directory was replaced by a plain file before the values were
// written: nothing can be written, and the loss is reported.
TEST_F(RecordingParameterFileTest, ReportsAFileThatCouldNotBeWritten)
{
    const QString replaced = session.filePath(QStringLiteral("session"));
    ASSERT_TRUE(QDir().mkdir(replaced));
    MessageLog log;
    {
        auto file = RecordingParameterFile::create(replaced);
        ASSERT_TRUE(file);
        file->setDetectionZoneStart(0.4);
        ASSERT_TRUE(QDir(replaced).removeRecursively());
        QFile plain(replaced);
        ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(log.warnings(),
        QStringList { QStringLiteral("Could not write recording metadata to ") + replaced + QLatin1Char('/')
            + RecordingParameterFile::fileName });
    EXPECT_TRUE(QFileInfo(replaced).isFile());
}

} // namespace
