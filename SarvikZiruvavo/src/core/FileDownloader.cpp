#include "FileDownloader.hpp"

#include <QDebug>
#include <QNetworkReply>
#include <QNetworkRequest>

FileDownloader::FileDownloader(QObject* parent)
    : QObject(parent)
    , m_manager(new QNetworkAccessManager(this))
{
    connect(m_manager, &QNetworkAccessManager::finished, this, &FileDownloader::fileDownloaded);
}

void FileDownloader::get(const QUrl& url)
{
    if (QNetworkReply* previous = m_reply) {
        m_reply = nullptr;
        previous->abort();
    }
    m_data.clear();
    m_oversized = false;
    QNetworkReply* reply = m_manager->get(QNetworkRequest(url));
    m_reply = reply;
    // Read as the bytes come, so that no more than the limit is ever held.
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] { checkAnnouncedSize(reply); });
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] { readAvailable(reply); });
}

void FileDownloader::checkAnnouncedSize(QNetworkReply* reply)
{
    if (reply != m_reply || m_oversized)
        return;
    bool known = false;
    const qint64 announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
    if (known && announced > maximumSize)
        dropOversized(reply);
}

void FileDownloader::readAvailable(QNetworkReply* reply)
{
    if (reply != m_reply || m_oversized)
        return;
    m_data += reply->read(maximumSize + 1 - m_data.size());
    if (m_data.size() > maximumSize)
        dropOversized(reply);
}

void FileDownloader::dropOversized(QNetworkReply* reply)
{
    m_oversized = true;
    m_data.clear();
    m_data.squeeze();
    reply->abort();
}

void FileDownloader::fileDownloaded(QNetworkReply* pReply)
{
    pReply->deleteLater();
    if (pReply != m_reply)
        return;
    m_reply = nullptr;
    if (!m_oversized) {
        m_data += pReply->read(maximumSize + 1 - m_data.size());
        m_oversized = m_data.size() > maximumSize;
    }
    const QVariant status = pReply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const bool httpFailure = status.isValid() && (status.toInt() < 200 || status.toInt() > 299);
    if (m_oversized)
        qDebug().noquote() << "Download of" << pReply->url().toString() << "dropped: larger than"
                           << maximumSize << "bytes";
    else if (httpFailure)
        qDebug().noquote() << "Download of" << pReply->url().toString() << "failed: HTTP status"
                           << status.toInt();
    qDebug().noquote() << "Download of" << pReply->url().toString() << "ended:" << pReply->errorString();
    if (m_oversized || httpFailure || pReply->error() != QNetworkReply::NoError)
        m_data.clear();
    emit downloaded();
}
