// Collects the Qt messages logged while it exists, from any thread, instead of
// printing them; the handler it replaced comes back when it goes.
#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class MessageLog {
public:
    MessageLog();
    ~MessageLog();
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;

    QStringList messages() const;
    QStringList warnings() const;
    // Messages that start with prefix.
    int count(const QString& prefix) const;

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& msg);

    mutable QMutex m_mutex;
    QStringList m_messages;
    QStringList m_warnings;
    QtMessageHandler m_previous = nullptr;
};
