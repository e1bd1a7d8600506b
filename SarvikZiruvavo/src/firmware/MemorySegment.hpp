// A block of flash memory: the whole firmware image (address = its start
// address) or one page of it (address = the page number).
#pragma once

#include <QByteArray>
#include <QtGlobal>

class MemorySegment {
public:
    MemorySegment() = default;
    // size bytes of erased flash (0xFF).
    MemorySegment(quint32 address, int size);
    // The given bytes; size only names the intended size in the log.
    MemorySegment(quint32 address, int size, const QByteArray& bytes);

    quint32 address() const { return m_address; }
    const QByteArray& data() const { return m_data; }
    // Grows the segment with 0xFF bytes when index lies beyond its end.
    void setByte(int index, quint8 value);

private:
    quint32 m_address = 0;
    QByteArray m_data;
};
