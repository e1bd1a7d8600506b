#include "MemorySegment.hpp"

#include <QDebug>

MemorySegment::MemorySegment(quint32 address, int size)
    : m_address(address)
    , m_data(qMax(size, 0), char(0xFF))
{
    qDebug() << "Creating new memory segment at address:" << address << ", size:" << size;
    qDebug() << "  |-- filling with 0xff";
}

MemorySegment::MemorySegment(quint32 address, int size, const QByteArray& bytes)
    : m_address(address)
    , m_data(bytes)
{
    qDebug() << "Creating new memory segment at address:" << address << ", size:" << size;
    qDebug() << "  |-- filling with existing mem";
}

void MemorySegment::setByte(int index, quint8 value)
{
    if (index < 0)
        return;
    if (index >= m_data.size())
        m_data.append(index + 1 - m_data.size(), char(0xFF));
    m_data[index] = char(value);
}
