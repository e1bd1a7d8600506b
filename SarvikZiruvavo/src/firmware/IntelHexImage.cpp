#include "IntelHexImage.hpp"

#include <QDebug>
#include <QFile>

namespace {

enum RecordType : quint8 {
    Data = 0x00,
    EndOfFile = 0x01,
    ExtendedSegmentAddress = 0x02,
    StartSegmentAddress = 0x03,
    ExtendedLinearAddress = 0x04,
    StartLinearAddress = 0x05,
};

int hexDigit(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

} // namespace

IntelHexImage::IntelHexImage(const QString& fileName)
    : m_fileName(fileName)
{ }

bool IntelHexImage::load()
{
    QFile file(m_fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qDebug() << "File could not be opened";
        return false;
    }
    m_startAddress = m_endAddress = m_baseAddress = 0;
    m_data.clear();
    m_endOfFileSeen = false;

    int lineNumber = 0;
    while (!file.atEnd()) {
        ++lineNumber;
        const QString line = QString::fromLatin1(file.readLine()).trimmed();
        if (line.isEmpty())
            continue;
        if (!parseRecord(line)) {
            qWarning().noquote() << "WARNING: firmware image" << m_fileName << "refused at line"
                                 << lineNumber;
            return false;
        }
    }
    if (!m_endOfFileSeen) {
        qWarning().noquote() << "WARNING: firmware image" << m_fileName << "has no end-of-file record";
        return false;
    }
    return true;
}

bool IntelHexImage::decode(const QString& line, int& length)
{
    if (line.size() < 11 || line.at(0) != QLatin1Char(':'))
        return false;
    const int pairs = (line.size() - 1) / 2;
    if ((line.size() - 1) % 2 != 0 || pairs > int(m_record.size())) {
        qDebug() << "Record length does not match its byte count";
        return false;
    }
    for (int i = 0; i < pairs; ++i) {
        const int high = hexDigit(line.at(1 + 2 * i));
        const int low = hexDigit(line.at(2 + 2 * i));
        if (high < 0 || low < 0) {
            qDebug() << "Record holds a character that is not a hexadecimal digit";
            return false;
        }
        m_record[size_t(i)] = quint8(high << 4 | low);
    }
    if (pairs != m_record[0] + 5) {
        qDebug() << "Record length does not match its byte count";
        return false;
    }
    quint8 sum = 0;
    for (int i = 0; i < pairs; ++i)
        sum = quint8(sum + m_record[size_t(i)]);
    if (sum != 0) {
        qDebug() << "Record checksum mismatch";
        return false;
    }
    length = m_record[0];
    return true;
}

bool IntelHexImage::parseRecord(const QString& line)
{
    int count = 0;
    if (!decode(line, count))
        return false;
    const quint32 address = quint32(m_record[1]) << 8 | m_record[2];
    const quint8* data = &m_record[4];
    const quint32 value16 = count >= 2 ? (quint32(data[0]) << 8 | data[1]) : 0;
    switch (m_record[3]) {
    case Data:
        return appendData(m_baseAddress + address, data, count);
    case EndOfFile:
        m_endOfFileSeen = true;
        return true;
    case ExtendedSegmentAddress:
    case ExtendedLinearAddress:
        if (count != 2) {
            qDebug() << "Address record without its two address bytes";
            return false;
        }
        setBase(m_record[3] == ExtendedLinearAddress ? value16 << 16 : value16 << 4);
        return true;
    case StartSegmentAddress:
    case StartLinearAddress:
        return true;
    default:
        qDebug() << "Unknown record type";
        return false;
    }
}

void IntelHexImage::setBase(quint32 base)
{
    m_baseAddress = base;
    if (m_data.isEmpty())
        m_startAddress = m_endAddress = base;
}

bool IntelHexImage::appendData(quint32 address, const quint8* bytes, int count)
{
    if (m_data.isEmpty())
        m_startAddress = m_endAddress = address;
    if (address < m_endAddress) {
        qDebug() << "Record goes back below the end of the image";
        return false;
    }
    const quint64 newEnd = quint64(address) + quint64(count);
    if (newEnd > 0xFFFFFFFFull + 1 || newEnd - m_startAddress > maxImageSize) {
        qDebug() << "Image exceeds" << maxImageSize << "bytes";
        return false;
    }
    m_data.append(int(address - m_endAddress), char(0xFF));
    m_data.append(reinterpret_cast<const char*>(bytes), count);
    m_endAddress = quint32(newEnd);
    return true;
}

bool IntelHexImage::adjustStartAddress(quint32 offset)
{
    if (m_startAddress < offset) {
        qWarning() << "WARNING: firmware image starts below the flash offset" << offset;
        m_data.clear();
        return false;
    }
    m_startAddress -= offset;
    qDebug() << "Adjusting start address to:" << m_startAddress << "(offset:" << offset << ")";
    return true;
}

MemorySegment IntelHexImage::memory() const
{
    qDebug() << "Memory size:" << m_data.size();
    return MemorySegment(m_startAddress, m_data.size(), m_data);
}

QList<MemorySegment> IntelHexImage::buildPages(int pageSize, const MemorySegment& segment)
{
    const QByteArray& data = segment.data();
    qDebug() << "Build image, pageSize:" << pageSize << "segment size:" << data.size();
    QList<MemorySegment> pages;
    if (pageSize <= 0 || data.isEmpty())
        return pages;
    const quint32 offset = segment.address() % quint32(pageSize);
    if (offset != 0)
        qDebug() << "Memory is not aligned on page boundary";
    const quint64 firstPage = segment.address() / quint32(pageSize);
    const quint64 lastPage = (quint64(segment.address()) + quint64(data.size()) - 1) / quint32(pageSize);
    if (lastPage > 0xFFFF) {
        qWarning() << "WARNING: firmware image needs page numbers up to" << lastPage;
        return pages;
    }
    int taken = 0;
    for (quint64 number = firstPage; number <= lastPage; ++number) {
        MemorySegment page(quint32(number), pageSize);
        const int at = number == firstPage ? int(offset) : 0;
        const int count = qMin(pageSize - at, data.size() - taken);
        for (int i = 0; i < count; ++i)
            page.setByte(at + i, quint8(data[taken + i]));
        taken += count;
        qDebug() << "Adding page " << quint16(number);
        pages.append(page);
    }
    return pages;
}

QString IntelHexImage::dump() const
{
    QString text;
    for (int i = 0; i < m_data.size(); ++i) {
        text += QString::number(quint8(m_data[i]), 16);
        const int position = i + 1;
        if (position % 16 == 0 || position == m_data.size())
            text += QLatin1Char('\n');
        else
            text += QLatin1Char(',');
        if (position % 512 == 0)
            text += QStringLiteral("\n\n\n");
    }
    return text;
}
