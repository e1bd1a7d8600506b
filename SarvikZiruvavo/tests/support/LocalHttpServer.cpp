#include "LocalHttpServer.hpp"

#include <QHostAddress>
#include <QTcpSocket>

LocalHttpServer::LocalHttpServer()
{
    QObject::connect(&m_server, &QTcpServer::newConnection, [this] { accept(); });
    m_server.listen(QHostAddress::LocalHost, 0);
}

LocalHttpServer::~LocalHttpServer()
{
    m_server.close();
    // Emptied first: a socket that closes while it is deleted must not find
    // itself in the hash and schedule its own deletion a second time.
    const QList<QTcpSocket*> sockets = m_pending.keys();
    m_pending.clear();
    qDeleteAll(sockets);
}

QUrl LocalHttpServer::url(const QString& path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
}

void LocalHttpServer::setReply(int status, const QByteArray& body, bool announceLength)
{
    m_answer = Answer::Reply;
    m_status = status;
    m_body = body;
    m_announceLength = announceLength;
}

void LocalHttpServer::accept()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        // The sockets are the server's children until they are answered and
        // gone; the hash owns them from here.
        socket->setParent(nullptr);
        m_pending.insert(socket, QByteArray());
        QObject::connect(socket, &QTcpSocket::readyRead, [this, socket] { readRequest(socket); });
        QObject::connect(socket, &QTcpSocket::disconnected, [this, socket] {
            if (m_pending.remove(socket))
                socket->deleteLater();
        });
    }
}

void LocalHttpServer::readRequest(QTcpSocket* socket)
{
    auto pending = m_pending.find(socket);
    if (pending == m_pending.end())
        return;
    pending->append(socket->readAll());
    const int headEnd = pending->indexOf("\r\n\r\n");
    if (headEnd < 0)
        return;
    m_requests.append(QString::fromLatin1(pending->left(pending->indexOf("\r\n"))));
    pending->clear();
    answer(socket);
}

void LocalHttpServer::answer(QTcpSocket* socket)
{
    switch (m_answer) {
    case Answer::Hold:
        return;
    case Answer::CloseWithoutReply:
        socket->disconnectFromHost();
        return;
    case Answer::Reply:
        break;
    }
    QByteArray head = "HTTP/1.1 " + QByteArray::number(m_status) + (m_status < 300 ? " OK" : " Failed")
        + "\r\n" + "Content-Type: application/xml\r\nConnection: close\r\n";
    if (m_announceLength)
        head += "Content-Length: " + QByteArray::number(m_body.size()) + "\r\n";
    socket->write(head + "\r\n");
    socket->write(m_body);
    socket->disconnectFromHost();
}
