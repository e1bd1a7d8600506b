#include "HexFiles.hpp"

#include <QFile>

namespace HexFiles {

QString record(quint8 type, quint16 address, const QByteArray& data)
{
    QByteArray bytes;
    bytes.append(char(data.size()));
    bytes.append(char(address >> 8));
    bytes.append(char(address & 0xFF));
    bytes.append(char(type));
    bytes.append(data);
    return raw(bytes);
}

QString raw(const QByteArray& bytes)
{
    quint8 sum = 0;
    for (char b : bytes)
        sum = quint8(sum + quint8(b));
    const QByteArray line = bytes + char(quint8(0x100 - sum));
    return QLatin1Char(':') + QString::fromLatin1(line.toHex().toUpper());
}

QStringList image(quint32 address, const QByteArray& data)
{
    QStringList lines;
    quint32 upper = 0;
    for (int at = 0; at < data.size(); at += 16) {
        const quint32 here = address + quint32(at);
        if (at == 0 || (here >> 16) != upper) {
            upper = here >> 16;
            QByteArray upperBytes;
            upperBytes.append(char(upper >> 8)).append(char(upper & 0xFF));
            lines << record(ExtendedLinear, 0, upperBytes);
        }
        lines << record(Data, quint16(here & 0xFFFF), data.mid(at, 16));
    }
    return lines;
}

QString endOfFile()
{
    return record(EndOfFile, 0, QByteArray());
}

QString write(const QString& path, const QStringList& lines)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toLatin1());
    return path;
}

QByteArray pattern(int size)
{
    QByteArray bytes(size, 0);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i % 251);
    return bytes;
}

} // namespace HexFiles
