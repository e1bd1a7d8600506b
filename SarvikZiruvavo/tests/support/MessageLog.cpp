#include "MessageLog.hpp"

#include <QMutexLocker>
#include <atomic>

namespace {
std::atomic<MessageLog*> current { nullptr };
}

MessageLog::MessageLog()
{
    current = this;
    m_previous = qInstallMessageHandler(&MessageLog::handler);
}

MessageLog::~MessageLog()
{
    qInstallMessageHandler(m_previous);
    current = nullptr;
}

void MessageLog::handler(QtMsgType type, const QMessageLogContext& context, const QString& msg)
{
    MessageLog* log = current;
    if (!log || type == QtFatalMsg) {
        // A fatal message must still reach the console before the abort.
        if (log && log->m_previous)
            log->m_previous(type, context, msg);
        return;
    }
    QMutexLocker lock(&log->m_mutex);
    log->m_messages.append(msg);
    if (type == QtWarningMsg || type == QtCriticalMsg)
        log->m_warnings.append(msg);
}

QStringList MessageLog::messages() const
{
    QMutexLocker lock(&m_mutex);
    return m_messages;
}

QStringList MessageLog::warnings() const
{
    QMutexLocker lock(&m_mutex);
    return m_warnings;
}

int MessageLog::count(const QString& prefix) const
{
    QMutexLocker lock(&m_mutex);
    int n = 0;
    for (const QString& msg : m_messages)
        n += msg.startsWith(prefix) ? 1 : 0;
    return n;
}
