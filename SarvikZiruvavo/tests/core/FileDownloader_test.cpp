#include "core/FileDownloader.hpp"
#include "support/LocalHttpServer.hpp"
#include "support/QtPrinters.hpp"

#include <QNetworkProxy>
#include <QSignalSpy>
#include <QTcpServer>
#include <gtest/gtest.h>

namespace {

const QByteArray versionsDocument = "<Versions Format=\"x\"/>\n";

class FileDownloaderTest : public ::testing::Test {
protected:
    // Whatever the environment says about proxies, the tests talk to 127.0.0.1 directly.
    void SetUp() override { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); }

    // Downloads from url and gives the data kept, after exactly one downloaded().
    QByteArray download(const QUrl& url)
    {
        QSignalSpy done(&downloader, &FileDownloader::downloaded);
        downloader.get(url);
        EXPECT_TRUE(done.wait(LocalHttpServer::answerWaitMs)) << url.toString().toStdString();
        EXPECT_EQ(done.count(), 1);
        return downloader.downloadedData();
    }

    LocalHttpServer server;
    FileDownloader downloader;
};

// A body of exactly size bytes.
QByteArray bodyOf(qint64 size)
{
    return QByteArray(static_cast<int>(size), 'x');
}

TEST_F(FileDownloaderTest, KeepsTheWholeBodyOfASuccessfulReplyUpToTheLimit)
{
    ASSERT_TRUE(server.isListening());
    const struct {
        const char* what;
        QByteArray body;
        bool announceLength;
    } table[] = {
        { "a document", versionsDocument, true },
        { "a document without its length", versionsDocument, false },
        { "an empty body", QByteArray(), true },
        { "exactly the limit", bodyOf(FileDownloader::maximumSize), true },
        { "exactly the limit, unannounced", bodyOf(FileDownloader::maximumSize), false },
    };
    for (const auto& row : table) {
        server.setReply(200, row.body, row.announceLength);
        const QByteArray data = download(server.url());
        EXPECT_EQ(data.size(), row.body.size()) << row.what;
        EXPECT_TRUE(data == row.body) << row.what;
    }
    EXPECT_EQ(server.requests().first(), QStringLiteral("GET /versions.xml HTTP/1.1"));
}

TEST_F(FileDownloaderTest, LeavesTheDataEmptyWhenTheReplyFailsOrIsTooLarge)
{
    ASSERT_TRUE(server.isListening());
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const QUrl refused(QStringLiteral("http://127.0.0.1:%1/versions.xml").arg(closed.serverPort()));
    closed.close();

    const struct {
        const char* what;
        LocalHttpServer::Answer answer;
        int status;
        QByteArray body;
        bool announceLength;
        QUrl url;
    } table[] = {
        { "not found", LocalHttpServer::Answer::Reply, 404, versionsDocument, true, server.url() },
        { "server error", LocalHttpServer::Answer::Reply, 500, versionsDocument, true, server.url() },
        { "redirect not followed", LocalHttpServer::Answer::Reply, 301, versionsDocument, true,
            server.url() },
        { "no content status", LocalHttpServer::Answer::Reply, 204, QByteArray(), true, server.url() },
        { "one byte over, announced", LocalHttpServer::Answer::Reply, 200,
            bodyOf(FileDownloader::maximumSize + 1), true, server.url() },
        { "one byte over, unannounced", LocalHttpServer::Answer::Reply, 200,
            bodyOf(FileDownloader::maximumSize + 1), false, server.url() },
        { "far over, unannounced", LocalHttpServer::Answer::Reply, 200,
            bodyOf(8 * FileDownloader::maximumSize), false, server.url() },
        { "closed without a reply", LocalHttpServer::Answer::CloseWithoutReply, 200, QByteArray(), true,
            server.url() },
        { "connection refused", LocalHttpServer::Answer::Reply, 200, versionsDocument, true, refused },
    };
    for (const auto& row : table) {
        // A good download first, so that an empty result shows the failure dropped it.
        server.setReply(200, versionsDocument);
        ASSERT_EQ(download(server.url()), versionsDocument) << row.what;

        server.setReply(row.status, row.body, row.announceLength);
        server.setAnswer(row.answer);
        EXPECT_TRUE(download(row.url).isEmpty()) << row.what;
    }
}

TEST_F(FileDownloaderTest, ASecondRequestAbandonsTheFirstWithoutASignalOfItsOwn)
{
    ASSERT_TRUE(server.isListening());
    LocalHttpServer silent;
    ASSERT_TRUE(silent.isListening());
    silent.setAnswer(LocalHttpServer::Answer::Hold);
    server.setReply(200, versionsDocument);

    QSignalSpy done(&downloader, &FileDownloader::downloaded);
    downloader.get(silent.url());
    downloader.get(server.url());
    ASSERT_TRUE(done.wait(LocalHttpServer::answerWaitMs));
    EXPECT_EQ(done.count(), 1);
    EXPECT_EQ(downloader.downloadedData(), versionsDocument);
}

} // namespace
