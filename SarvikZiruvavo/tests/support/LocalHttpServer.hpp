// A tiny HTTP server on 127.0.0.1 for the tests of the program's downloads.
// It answers every request the same way, as the test set it, and keeps the
// request lines it received. It runs on the thread that made it and serves
// while that thread's event loop runs (QSignalSpy::wait does).
#pragma once

#include <QByteArray>
#include <QHash>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

class LocalHttpServer {
public:
    enum class Answer {
        Reply, // the status and body set
        CloseWithoutReply, // close the connection once the request is in
        Hold, // read the request, answer nothing, keep the connection open
    };

    // How long a test waits for what an answer of the server brings about:
    // far beyond what it takes, it only ends a test that fails.
    static constexpr int answerWaitMs = 20000;

    LocalHttpServer();
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    bool isListening() const { return m_server.isListening(); }
    QUrl url(const QString& path = QStringLiteral("/versions.xml")) const;

    // Without announceLength the reply has no Content-Length: its body ends
    // where the server closes the connection.
    void setReply(int status, const QByteArray& body, bool announceLength = true);
    void setAnswer(Answer answer) { m_answer = answer; }

    // The request lines received, such as "GET /versions.xml HTTP/1.1".
    QStringList requests() const { return m_requests; }

private:
    void accept();
    void readRequest(QTcpSocket* socket);
    void answer(QTcpSocket* socket);

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_pending;
    QStringList m_requests;
    Answer m_answer = Answer::Reply;
    int m_status = 200;
    QByteArray m_body;
    bool m_announceLength = true;
};
