// Runs the one ConsoleLogger on a thread of its own and routes the program's
// Qt messages to it. While a controller exists, messageHandler() hands every
// message to the handler that was installed before it (the console) and, while
// console logging is on, queues it to the logger. Without a controller every
// message is dropped: a quiet program prints nothing.
#pragma once

#include <QObject>
#include <QThread>
#include <QtGlobal>

class ConsoleLogger;

class ConsoleLoggerController : public QObject {
    Q_OBJECT
public:
    // Takes the logger (created without parent), moves it to the new thread and
    // publishes it to the message handler.
    explicit ConsoleLoggerController(QObject* parent, ConsoleLogger* logger);
    // Unpublishes the logger first, then stops its thread; the thread's end
    // deletes the logger, which closes its file.
    ~ConsoleLoggerController() override;

    // Installs messageHandler() and keeps the handler it replaces, which it
    // also returns.
    static QtMessageHandler installMessageHandler();
    static void messageHandler(QtMsgType type, const QMessageLogContext& context, const QString& msg);

private:
    QThread m_thread;
};
