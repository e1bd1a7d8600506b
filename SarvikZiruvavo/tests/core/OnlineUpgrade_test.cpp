#include "core/ApplicationProperties.hpp"
#include "core/FileDownloader.hpp"
#include "core/OnlineUpgrade.hpp"
#include "support/LocalHttpServer.hpp"
#include "support/MessageLog.hpp"
#include "support/QtPrinters.hpp"

#include <QCoreApplication>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString format = QStringLiteral("856CDEE0-AC65-401F-896A-E454CA63703A");

// A version document whose beta release of the program is version.
QByteArray document(const QString& version, const QString& formatId = format)
{
    return QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<Versions Format=\"%2\">\n"
        " <Application Name=\"OtherProgram\">\n"
        "  <LatestVersion Stage=\"Beta\" Version=\"9.9.9-1\"/>\n"
        "  <Instance Stage=\"Beta\" Version=\"9.9.9-1\" Description=\"other\" WebpageUrl=\"o\"/>\n"
        " </Application>\n"
        " <Application Name=\"SarvikZiruvavo\">\n"
        "  <LatestVersion Stage=\"Release\" Version=\"2.7.2-0\"/>\n"
        "  <LatestVersion Stage=\"Beta\" Version=\"%1\"/>\n"
        "  <Instance Stage=\"Release\" Version=\"%1\" Description=\"release\" WebpageUrl=\"r\"/>\n"
        "  <Instance Stage=\"Beta\" Version=\"%1\" Description=\"Faster — and ünïcode\"\n"
        "            WebpageUrl=\"https://example.com/releases/%1\"/>\n"
        " </Application>\n"
        "</Versions>\n")
        .arg(version, formatId)
        .toUtf8();
}

QByteArray xml(const char* body)
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Versions Format=\"") + format.toLatin1()
        + "\">" + body + "</Versions>\n";
}

// A document padded with a comment to exactly size bytes.
QByteArray paddedTo(const QByteArray& text, qint64 size)
{
    const QByteArray open = "<!--", close = "-->";
    const qint64 padding = size - text.size() - open.size() - close.size();
    return text + open + QByteArray(static_cast<int>(padding), 'p') + close;
}

class OnlineUpgradeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        ASSERT_TRUE(folder.isValid());
        ASSERT_TRUE(server.isListening());
        setAddress(server.url().toString());
    }
    void TearDown() override { ApplicationProperties::setSettingsFileName(QString()); }

    void setAddress(const QVariant& address)
    {
        const QString file = folder.filePath(QStringLiteral("settings.ini"));
        QSettings settings(file, QSettings::IniFormat);
        settings.clear();
        if (address.isValid())
            settings.setValue(OnlineUpgrade::addressKey, address);
        settings.sync();
        ApplicationProperties::setSettingsFileName(file);
    }

    // Requests still running on the check's network access manager.
    static int runningRequests(const OnlineUpgrade& upgrade)
    {
        int running = 0;
        for (const QNetworkReply* reply : upgrade.findChildren<QNetworkReply*>())
            running += reply->isRunning() ? 1 : 0;
        return running;
    }

    // Runs one check against the server's current answer; false when the
    // download did not end in time.
    bool check(OnlineUpgrade& upgrade)
    {
        auto* downloader = upgrade.findChild<FileDownloader*>();
        if (!downloader)
            return false;
        QSignalSpy done(downloader, &FileDownloader::downloaded);
        upgrade.checkForNewVersion();
        return done.wait(LocalHttpServer::answerWaitMs);
    }

    QTemporaryDir folder;
    LocalHttpServer server;
};

struct Document {
    const char* what;
    QByteArray reply;
    bool newer;
    QString version; // the texts after the check: empty unless a release was matched
    QString description;
    QString webpage;
};

Document matched(const char* what, const QString& version, bool newer)
{
    return { what, document(version), newer, version, QStringLiteral("Faster — and ünïcode"),
        QStringLiteral("https://example.com/releases/") + version };
}

Document unmatched(const char* what, const QByteArray& reply)
{
    return { what, reply, false, QString(), QString(), QString() };
}

TEST_F(OnlineUpgradeTest, AnnouncesOnlyALaterBetaReleaseOfThisProgram)
{
    ASSERT_EQ(QCoreApplication::applicationVersion(), QStringLiteral("2.7.3"));
    const QByteArray atTheLimit = paddedTo(document(QStringLiteral("2.7.4-1")), FileDownloader::maximumSize);
    const QByteArray overTheLimit
        = paddedTo(document(QStringLiteral("2.7.4-1")), FileDownloader::maximumSize + 1);
    const Document table[] = {
        matched("next patch", QStringLiteral("2.7.4-1"), true),
        matched("next minor", QStringLiteral("2.8.0-beta"), true),
        matched("next major", QStringLiteral("3.0.0-1"), true),
        matched("numbers compared as numbers", QStringLiteral("10.0.0-rc"), true),
        matched("two-digit patch", QStringLiteral("2.7.10-1"), true),
        matched("lower-case suffix", QStringLiteral("2.7.4-snapshot"), true),
        matched("equal", QStringLiteral("2.7.3-1"), false),
        matched("older patch", QStringLiteral("2.7.2-9"), false),
        matched("older minor", QStringLiteral("2.6.9-9"), false),
        matched("older major, later minor and patch", QStringLiteral("1.7.4-1"), false),
        matched("older major, much later minor", QStringLiteral("1.99.0-1"), false),
        matched("no suffix", QStringLiteral("2.7.4"), false),
        matched("two suffixes", QStringLiteral("2.7.4-1-2"), false),
        matched("two numbers", QStringLiteral("2.8-1"), false),
        matched("four numbers", QStringLiteral("2.7.4.1-1"), false),
        matched("not a number", QStringLiteral("2.x.4-1"), false),
        matched("letters after a number", QStringLiteral("2.7.4a-1"), false),
        matched("empty number", QStringLiteral("2..4-1"), false),
        matched("space in a number", QStringLiteral("2.7. 4-1"), false),
        matched("signed number", QStringLiteral("2.+8.0-1"), false),
        matched("number too large", QStringLiteral("2.7.99999999999-1"), false),
        unmatched("another format id", document(QStringLiteral("2.7.4-1"), QStringLiteral("OTHER-FORMAT"))),
        unmatched("instance before its latest version",
            xml("<Application Name=\"SarvikZiruvavo\">"
                "<Instance Stage=\"Beta\" Version=\"2.7.4-1\" Description=\"d\" WebpageUrl=\"w\"/>"
                "<LatestVersion Stage=\"Beta\" Version=\"2.7.4-1\"/></Application>")),
        unmatched("instance of another version",
            xml("<Application Name=\"SarvikZiruvavo\"><LatestVersion Stage=\"Beta\" Version=\"2.7.4-1\"/>"
                "<Instance Stage=\"Beta\" Version=\"2.7.5-1\" Description=\"d\" "
                "WebpageUrl=\"w\"/></Application>")),
        unmatched("instance without a version before any latest version",
            xml("<Application Name=\"SarvikZiruvavo\">"
                "<Instance Stage=\"Beta\" Description=\"d\" WebpageUrl=\"w\"/></Application>")),
        unmatched("release stage only",
            xml("<Application Name=\"SarvikZiruvavo\"><LatestVersion Stage=\"Release\" Version=\"2.7.4-1\"/>"
                "<Instance Stage=\"Release\" Version=\"2.7.4-1\" Description=\"d\" WebpageUrl=\"w\"/>"
                "</Application>")),
        unmatched("another program only",
            xml("<Application Name=\"sarvikziruvavo\"><LatestVersion Stage=\"Beta\" Version=\"2.7.4-1\"/>"
                "<Instance Stage=\"Beta\" Version=\"2.7.4-1\" Description=\"d\" WebpageUrl=\"w\"/>"
                "</Application>")),
        unmatched("another program's entries after this program's",
            xml("<Application Name=\"SarvikZiruvavo\"><LatestVersion Stage=\"Beta\" Version=\"2.7.2-1\"/>"
                "</Application><Application Name=\"OtherProgram\">"
                "<LatestVersion Stage=\"Beta\" Version=\"2.7.4-1\"/>"
                "<Instance Stage=\"Beta\" Version=\"2.7.4-1\" Description=\"d\" WebpageUrl=\"w\"/>"
                "</Application>")),
        unmatched("broken before the instance",
            xml("<Application Name=\"SarvikZiruvavo\"><LatestVersion Stage=\"Beta\" Version=\"2.7.4-1\"/>"
                "<Broken <Instance Stage=\"Beta\" Version=\"2.7.4-1\" Description=\"d\" WebpageUrl=\"w\"/>"
                "</Application>")),
        unmatched("not xml", "<html><body>Moved</body>"),
        unmatched("plain text", "2.7.4-1\n"),
        unmatched("empty reply", QByteArray()),
        unmatched("one byte over the limit", overTheLimit),
        { "entries after their application element",
            xml("<Application Name=\"SarvikZiruvavo\"/><LatestVersion Stage=\"Beta\" Version=\"2.7.2-1\"/>"
                "<LatestVersion Stage=\"Beta\" Version=\"2.7.4-1\"/>"
                "<Instance Stage=\"Beta\" Version=\"2.7.4-1\" Description=\"d\" WebpageUrl=\"w\"/>"),
            true, QStringLiteral("2.7.4-1"), QStringLiteral("d"), QStringLiteral("w") },
        { "exactly at the limit", atTheLimit, true, QStringLiteral("2.7.4-1"),
            QStringLiteral("Faster — and ünïcode"), QStringLiteral("https://example.com/releases/2.7.4-1") },
    };
    for (const Document& row : table) {
        SCOPED_TRACE(row.what);
        server.setReply(200, row.reply, true);
        OnlineUpgrade upgrade;
        QSignalSpy available(&upgrade, &OnlineUpgrade::newVersionAvailable);
        MessageLog log;
        ASSERT_TRUE(check(upgrade));
        EXPECT_EQ(available.count(), row.newer ? 1 : 0);
        EXPECT_EQ(upgrade.newVersion(), row.version);
        EXPECT_EQ(upgrade.newDescription(), row.description);
        EXPECT_EQ(upgrade.newWebpageUrl(), row.webpage);
        EXPECT_EQ(log.count(QStringLiteral("New version:") + row.version
                      + QStringLiteral(", current version: 2.7.3")),
            row.newer ? 1 : 0);
    }
}

TEST_F(OnlineUpgradeTest, RejectsADocumentOfAnotherFormat)
{
    server.setReply(
        200, document(QStringLiteral("2.7.4-1"), QStringLiteral("856cdee0-ac65-401f-896a-e454ca63703a")));
    OnlineUpgrade upgrade;
    QSignalSpy available(&upgrade, &OnlineUpgrade::newVersionAvailable);
    MessageLog log;
    ASSERT_TRUE(check(upgrade));
    EXPECT_EQ(available.count(), 0);
    EXPECT_TRUE(log.messages().contains(QStringLiteral("Incompatible versions file.")));
}

TEST_F(OnlineUpgradeTest, AFailedRequestStaysSilent)
{
    const struct {
        const char* what;
        LocalHttpServer::Answer answer;
        int status;
    } table[] = {
        { "not found", LocalHttpServer::Answer::Reply, 404 },
        { "server error", LocalHttpServer::Answer::Reply, 503 },
        { "closed without a reply", LocalHttpServer::Answer::CloseWithoutReply, 200 },
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.what);
        // The body would announce a newer release if it were read.
        server.setReply(row.status, document(QStringLiteral("2.7.4-1")));
        server.setAnswer(row.answer);
        OnlineUpgrade upgrade;
        QSignalSpy available(&upgrade, &OnlineUpgrade::newVersionAvailable);
        MessageLog log;
        ASSERT_TRUE(check(upgrade));
        EXPECT_EQ(available.count(), 0);
        EXPECT_TRUE(upgrade.newVersion().isEmpty());
        EXPECT_TRUE(upgrade.newDescription().isEmpty());
        EXPECT_TRUE(upgrade.newWebpageUrl().isEmpty());
        EXPECT_TRUE(log.warnings().isEmpty()) << log.warnings().join('\n').toStdString();
    }
}

TEST_F(OnlineUpgradeTest, ChecksOncePerRunAtTheAddressOfTheSettingsFile)
{
    server.setReply(200, document(QStringLiteral("2.7.4-1")));
    setAddress(server.url(QStringLiteral("/downloads/versions.xml")).toString());
    OnlineUpgrade upgrade;
    QSignalSpy available(&upgrade, &OnlineUpgrade::newVersionAvailable);
    upgrade.checkForNewVersion();
    upgrade.checkForNewVersion();
    EXPECT_EQ(runningRequests(upgrade), 1);
    ASSERT_TRUE(available.wait(LocalHttpServer::answerWaitMs));
    upgrade.checkForNewVersion();
    EXPECT_EQ(runningRequests(upgrade), 0);
    EXPECT_EQ(server.requests(), QStringList { QStringLiteral("GET /downloads/versions.xml HTTP/1.1") });
    EXPECT_EQ(available.count(), 1);
}

TEST_F(OnlineUpgradeTest, MakesNoRequestWithoutAnHttpAddress)
{
    const struct {
        const char* what;
        QVariant address; // invalid: no key
        bool settingsFile;
        bool warned;
    } table[] = {
        { "no settings file", QVariant(), false, false },
        { "no key", QVariant(), true, false },
        { "empty address", QString(), true, false },
        { "blank address", QStringLiteral("   "), true, false },
        { "a file", QStringLiteral("file:///etc/passwd"), true, true },
        { "another scheme", QStringLiteral("ftp://127.0.0.1/versions.xml"), true, true },
        { "no scheme", QStringLiteral("127.0.0.1/versions.xml"), true, true },
        { "no host", QStringLiteral("https:///versions.xml"), true, true },
        { "not an address", QStringLiteral("http://exa mple.com/versions.xml"), true, true },
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.what);
        setAddress(row.address);
        if (!row.settingsFile)
            ApplicationProperties::setSettingsFileName(QString());
        OnlineUpgrade upgrade;
        MessageLog log;
        upgrade.checkForNewVersion();
        EXPECT_EQ(runningRequests(upgrade), 0);
        EXPECT_TRUE(upgrade.findChildren<QNetworkReply*>().isEmpty());
        EXPECT_EQ(log.warnings().size(), row.warned ? 1 : 0) << log.warnings().join('\n').toStdString();
    }
}

TEST_F(OnlineUpgradeTest, ASnapshotBuildIsNeverToldOfANewerRelease)
{
    const QString version = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationVersion(QStringLiteral("2.7.3-Snapshot"));
    server.setReply(200, document(QStringLiteral("3.0.0-1")));
    OnlineUpgrade upgrade;
    QSignalSpy available(&upgrade, &OnlineUpgrade::newVersionAvailable);
    const bool ended = check(upgrade);
    QCoreApplication::setApplicationVersion(version);
    ASSERT_TRUE(ended);
    EXPECT_EQ(available.count(), 0);
    EXPECT_EQ(upgrade.newVersion(), QStringLiteral("3.0.0-1"));
}

} // namespace
