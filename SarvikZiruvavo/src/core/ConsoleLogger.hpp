// Writes the program's log messages to a console log file in the default log
// folder, on a thread of its own (it is reached only by queued calls). A file is
// written as "sarvik_console_log_<yyyyMMdd_hhmmss>.writing" and renamed to end
// in ".txt" when closed: when it grew past the size limit (checked before the
// next message), when it was idle while console logging is off, and when the
// logger is destroyed. The next message after a close opens a new file.
#pragma once

#include <QObject>
#include <QString>

class QFile;
class QTimer;

class ConsoleLogger : public QObject {
    Q_OBJECT
public:
    static constexpr int defaultIdleInterval = 15000;
    static constexpr qint64 defaultSizeLimit = 50000000;

    explicit ConsoleLogger(int idleIntervalMs = defaultIdleInterval, qint64 sizeLimit = defaultSizeLimit);
    ~ConsoleLogger() override;

public slots:
    void append(const QString& msg);

private slots:
    void onTimerTimeout();

private:
    QFile* logFile();
    void openNewFile();
    void writeHeader();
    void closeFile();

    const int m_idleInterval;
    const qint64 m_sizeLimit;
    QFile* m_file = nullptr;
    QTimer* m_idleTimer = nullptr;
};
