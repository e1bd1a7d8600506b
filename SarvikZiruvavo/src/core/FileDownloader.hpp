// Fetches one small document over HTTP or HTTPS and keeps its bytes until the
// next download. A reply that fails, answers with an HTTP status outside 2xx
// or grows beyond maximumSize leaves the data empty: the reader of a
// downloaded document never sees a partial or an error page.
#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QUrl>

class QNetworkReply;

class FileDownloader : public QObject {
    Q_OBJECT
public:
    // Larger replies are cut off and dropped: the documents fetched are a
    // few kilobytes, and the reply comes from the network.
    static constexpr qint64 maximumSize = 1024 * 1024;

    explicit FileDownloader(QObject* parent = nullptr);

    // Starts a GET request; a download still running is abandoned without
    // a downloaded() of its own.
    void get(const QUrl& url);
    QByteArray downloadedData() const { return m_data; }

signals:
    // The download ended, with the data or without (then they are empty).
    void downloaded();

private slots:
    void fileDownloaded(QNetworkReply* pReply);

private:
    void checkAnnouncedSize(QNetworkReply* reply);
    void readAvailable(QNetworkReply* reply);
    void dropOversized(QNetworkReply* reply);

    QNetworkAccessManager* m_manager; // a child, so that its replies are found below this object
    QNetworkReply* m_reply = nullptr;
    QByteArray m_data;
    bool m_oversized = false;
};
