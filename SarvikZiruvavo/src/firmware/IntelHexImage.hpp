// Loads a firmware image from an Intel HEX file into one contiguous block of
// memory (gaps between records filled with erased flash, 0xFF) and cuts it
// into the pages that the bootloader writes.
//
// The loader refuses anything it cannot place exactly: a malformed line, a bad
// checksum, a record that goes back below the data already read, an image
// larger than maxImageSize, a file without its end-of-file record. A refused
// load returns false and keeps what was read before the bad line, so a caller
// that checks the result never flashes a partial image.
#pragma once

#include "MemorySegment.hpp"

#include <QList>
#include <QString>
#include <array>

class IntelHexImage {
public:
    // No module flash comes near this; the cap keeps a record at a far address
    // from allocating a huge gap.
    static constexpr quint32 maxImageSize = 16 * 1024 * 1024;

    explicit IntelHexImage(const QString& fileName);

    // Reads the whole file. False when the file cannot be opened, a record is
    // refused or the end-of-file record is missing.
    [[nodiscard]] bool load();
    // Parses one record (surrounding white space already removed) into the image.
    bool parseRecord(const QString& line);
    // Moves the start address into the module's flash numbering. An image that
    // starts below the offset cannot be placed: it is emptied (so it gives no
    // pages) and the result is false.
    bool adjustStartAddress(quint32 offset);

    quint32 startAddress() const { return m_startAddress; }
    quint32 endAddress() const { return m_endAddress; }
    // The whole image as one segment at the start address.
    MemorySegment memory() const;

    // Cuts a segment into pages of pageSize bytes numbered address / pageSize;
    // the pages hold 0xFF where the segment has no data, so every byte lands at
    // its own address even when the segment does not start on a page boundary.
    // Empty when the segment is empty or would need a page number above 0xFFFF.
    static QList<MemorySegment> buildPages(int pageSize, const MemorySegment& segment);

    // The image bytes for a debug log: lower-case hex, 16 to a line, three
    // empty lines after every 512 bytes.
    QString dump() const;

private:
    bool decode(const QString& line, int& length);
    bool appendData(quint32 address, const quint8* bytes, int count);
    void setBase(quint32 base);

    QString m_fileName;
    quint32 m_startAddress = 0;
    quint32 m_endAddress = 0;
    quint32 m_baseAddress = 0;
    QByteArray m_data;
    bool m_endOfFileSeen = false;
    // Byte count, address (2), type, up to 255 data bytes and the checksum.
    std::array<quint8, 260> m_record {};
};
