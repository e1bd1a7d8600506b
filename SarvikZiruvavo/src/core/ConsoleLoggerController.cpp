#include "ConsoleLoggerController.hpp"

#include "ApplicationProperties.hpp"
#include "ConsoleLogger.hpp"

#include <QMetaObject>
#include <mutex>

namespace {

// The running logger, read by the message handler on any thread. The lock
// spans reading the pointer and posting the call, so the controller cannot
// delete the logger in between; it is recursive because posting may itself
// log.
std::recursive_mutex runningLoggerMutex;
ConsoleLogger* runningLogger = nullptr;

QtMessageHandler previousHandler = nullptr;

} // namespace

ConsoleLoggerController::ConsoleLoggerController(QObject* parent, ConsoleLogger* logger)
    : QObject(parent)
{
    m_thread.setObjectName(QStringLiteral("console logger"));
    logger->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, logger, &QObject::deleteLater);
    m_thread.start(QThread::InheritPriority);
    std::lock_guard<std::recursive_mutex> lock(runningLoggerMutex);
    runningLogger = logger;
}

ConsoleLoggerController::~ConsoleLoggerController()
{
    {
        std::lock_guard<std::recursive_mutex> lock(runningLoggerMutex);
        runningLogger = nullptr;
    }
    m_thread.quit();
    m_thread.wait();
}

QtMessageHandler ConsoleLoggerController::installMessageHandler()
{
    previousHandler = qInstallMessageHandler(&messageHandler);
    return previousHandler;
}

void ConsoleLoggerController::messageHandler(
    QtMsgType type, const QMessageLogContext& context, const QString& msg)
{
    {
        std::lock_guard<std::recursive_mutex> lock(runningLoggerMutex);
        if (!runningLogger)
            return;
    }
    if (previousHandler)
        previousHandler(type, context, msg);
    if (!ApplicationProperties::consoleLogEnabled())
        return;
    std::lock_guard<std::recursive_mutex> lock(runningLoggerMutex);
    if (runningLogger)
        QMetaObject::invokeMethod(runningLogger, "append", Qt::QueuedConnection, Q_ARG(QString, msg));
}
