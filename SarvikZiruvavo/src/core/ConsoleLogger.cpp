#include "ConsoleLogger.hpp"

#include "ApplicationProperties.hpp"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QSysInfo>
#include <QTextStream>
#include <QTimer>

namespace {

const QString writingSuffix = QStringLiteral(".writing");
const QString closedSuffix = QStringLiteral(".txt");

// Two files opened within the same second would share a name: the later one
// gets "_2", "_3" ... so that no log file ever replaces another, neither while
// it is written nor after its rename.
QString freeBaseName(const QString& folder, const QString& stamp, int attempt)
{
    QString base = QStringLiteral("%1/sarvik_console_log_%2").arg(folder, stamp);
    if (attempt > 1)
        base += QStringLiteral("_%1").arg(attempt);
    return base;
}

} // namespace

ConsoleLogger::ConsoleLogger(int idleIntervalMs, qint64 sizeLimit)
    : m_idleInterval(idleIntervalMs)
    , m_sizeLimit(sizeLimit)
{ }

ConsoleLogger::~ConsoleLogger()
{
    closeFile();
}

void ConsoleLogger::append(const QString& msg)
{
    QFile* file = logFile();
    if (!file)
        return;
    QTextStream stream(file);
    stream << msg << '\n';
    stream.flush();
    file->flush();
}

void ConsoleLogger::onTimerTimeout()
{
    if (!ApplicationProperties::consoleLogEnabled())
        closeFile();
}

QFile* ConsoleLogger::logFile()
{
    if (!m_idleTimer) {
        m_idleTimer = new QTimer(this);
        connect(m_idleTimer, &QTimer::timeout, this, &ConsoleLogger::onTimerTimeout);
        m_idleTimer->setSingleShot(true);
        m_idleTimer->setInterval(m_idleInterval);
    }
    m_idleTimer->start();

    if (m_file && m_file->size() > m_sizeLimit)
        closeFile();
    if (!m_file)
        openNewFile();
    // A file that failed to open stays until the idle rule closes it, so a
    // folder that cannot be written costs one warning, not one per message.
    return m_file->isOpen() ? m_file : nullptr;
}

void ConsoleLogger::openNewFile()
{
    const QString folder = ApplicationProperties::defaultLogPath();
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_hhmmss"));
    constexpr int maxAttempts = 1000;
    for (int attempt = 1; attempt <= maxAttempts; ++attempt) {
        const QString base = freeBaseName(folder, stamp, attempt);
        if (QFile::exists(base + closedSuffix))
            continue;
        const QString name = base + writingSuffix;
        delete m_file;
        m_file = new QFile(name);
        if (m_file->exists())
            continue;
        qDebug().noquote() << "Open new console log file:" << name;
        if (m_file->open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::NewOnly)) {
            writeHeader();
            return;
        }
        // Someone else created it between the check and the open: next name.
        if (m_file->exists())
            continue;
        break;
    }
    qWarning() << "Failed to open console log file!";
}

void ConsoleLogger::writeHeader()
{
    const QString rule(91, QLatin1Char('#'));
    QTextStream stream(m_file);
    stream << rule << '\n'
           << "SystemInfo\n"
           << "  |- product name: " << QSysInfo::prettyProductName() << '\n'
           << "  |- kernel type: " << QSysInfo::kernelType() << '\n'
           << "  |- kernel version: " << QSysInfo::kernelVersion() << '\n'
           << "  |- cpu arch: " << QSysInfo::currentCpuArchitecture() << '\n'
           << "  |- build cpu arch: " << QSysInfo::buildCpuArchitecture() << '\n'
           << "  |- build abi: " << QSysInfo::buildAbi() << '\n'
           << "Sarvik Verovaze version: " << QCoreApplication::applicationVersion() << '\n'
           << "Timestamp: " << QDateTime::currentDateTime().toString() << '\n'
           << rule << '\n';
    stream.flush();
    m_file->flush();
}

void ConsoleLogger::closeFile()
{
    if (!m_file)
        return;
    const QString name = m_file->fileName();
    if (m_file->isOpen()) {
        qDebug().noquote() << "Closing console log file:" << name;
        m_file->close();
        if (name.endsWith(writingSuffix)) {
            const QString newName
                = QStringLiteral("%1%2").arg(name.left(name.size() - writingSuffix.size()), closedSuffix);
            qDebug().noquote() << "Renaming console log file:" << newName;
            QFile::rename(name, newName);
        }
    }
    delete m_file;
    m_file = nullptr;
}
