#include "LoggerIo.hpp"

#include <QDebug>
#include <QString>

void LoggerIo::log(const std::string& line)
{
    // Through the local 8-bit encoding, as the rest of the program's log.
    const QString text
        = QString::fromLocal8Bit(QString::fromUtf8(line.data(), int(line.size())).toLocal8Bit());
    qDebug().noquote() << text;
}
