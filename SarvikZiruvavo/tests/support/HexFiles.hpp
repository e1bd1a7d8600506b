// Builds Intel HEX text for tests: single records with their checksum, whole
// images with the address records they need, and files of them.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace HexFiles {

enum RecordType : quint8 { Data = 0, EndOfFile = 1, ExtendedSegment = 2, ExtendedLinear = 4 };

// One record line, upper-case, with the checksum that makes it valid.
QString record(quint8 type, quint16 address, const QByteArray& data);
// A line of the given record bytes (count, address, type, data) and the
// checksum that makes them sum to 0, whether or not the count fits.
QString raw(const QByteArray& bytes);
// The records of data placed at a 32-bit address, at most 16 bytes each, with
// an extended linear address record wherever the upper 16 bits change.
QStringList image(quint32 address, const QByteArray& data);
QString endOfFile();
// Writes the lines (each ended by a newline) and returns the path.
QString write(const QString& path, const QStringList& lines);
// Bytes 0, 1, 2 ... wrapping at 251, so that pages differ from each other.
QByteArray pattern(int size);

} // namespace HexFiles
