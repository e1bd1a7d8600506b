#include "SessionWriter.hpp"

#include <QStringList>
#include <QtEndian>

namespace {

constexpr quint32 magic = 0xA0B1C2D3;
constexpr quint8 writeFileEntry = 1;
constexpr quint8 closeFileEntry = 2;
constexpr quint8 fileMapEntry = 3;

// Appends little-endian fields to its data.
class FieldWriter {
public:
    FieldWriter& u8(quint8 v)
    {
        data.append(char(v));
        return *this;
    }
    FieldWriter& u32(quint32 v)
    {
        char le[4];
        qToLittleEndian(v, le);
        data.append(le, 4);
        return *this;
    }
    FieldWriter& i64(qint64 v)
    {
        char le[8];
        qToLittleEndian(v, le);
        data.append(le, 8);
        return *this;
    }
    // A size-prefixed text: its length + 1, the bytes, a NUL.
    FieldWriter& text(const QByteArray& v)
    {
        u32(quint32(v.size() + 1));
        data.append(v);
        return u8(0);
    }
    QByteArray data;
};

QByteArray entry(quint32 epochOffset, quint8 type, quint32 dataType, quint32 bytesWritten, quint32 fileIndex,
    qint64 offset, qint64 total)
{
    return FieldWriter()
        .u32(epochOffset)
        .u8(type)
        .u32(dataType)
        .u32(bytesWritten)
        .u32(fileIndex)
        .i64(offset)
        .i64(total)
        .data;
}

QString dataFileName(quint32 dataType)
{
    return QStringLiteral("data_%1.dat").arg(dataType, 8, 16, QLatin1Char('0'));
}

} // namespace

SessionWriter::SessionWriter(const QString& directory, const QString& sessionId)
    : m_directory(directory)
    , m_sessionId(sessionId)
{ }

SessionWriter::~SessionWriter() = default;

void SessionWriter::addRecord(quint32 dataType, const QByteArray& record, quint32 epochOffsetMs)
{
    auto found = m_files.find(dataType);
    if (found == m_files.end()) {
        DataFile data;
        data.index = quint32(m_files.size());
        data.file = std::make_unique<QFile>(m_directory + QLatin1Char('/') + dataFileName(dataType));
        data.file->open(QIODevice::WriteOnly | QIODevice::Truncate);
        found = m_files.emplace(dataType, std::move(data)).first;
    }
    DataFile& data = found->second;
    data.file->write(record);
    m_total += record.size();
    m_entries += entry(
        epochOffsetMs, writeFileEntry, dataType, quint32(record.size()), data.index, data.size, m_total);
    data.size += record.size();
    m_largest = qMax(m_largest, quint32(record.size()));
    m_dataTypes |= dataType;
    m_lastOffset = epochOffsetMs;
}

QString SessionWriter::finish(qint64 durationMs)
{
    QStringList names;
    for (auto& [dataType, data] : m_files) {
        data.file->close();
        m_entries += entry(m_lastOffset, closeFileEntry, dataType, 0, data.index, data.size, m_total);
    }
    // The file map lists the data files in the order they were first written.
    for (quint32 i = 0; i < quint32(m_files.size()); ++i) {
        for (const auto& [dataType, data] : m_files)
            if (data.index == i)
                names.append(dataFileName(dataType));
    }

    const QByteArray sessionId = m_sessionId.toUtf8();
    // The header's size up to the first entry, by layout.
    const qint64 headerSize = 49 + (m_version > 11 ? 4 + 32 : 0) + 4 + sessionId.size() + 1;
    FieldWriter header;
    header.u32(magic)
        .u32(m_version)
        .i64(m_created)
        .u8(1)
        .u32(quint32(durationMs < 0 ? m_lastOffset : durationMs))
        .i64(m_total)
        .i64(headerSize + m_entries.size())
        .u32(m_dataTypes)
        .i64(-1);
    if (m_version > 11)
        header.u32(m_largest);
    if (m_version > 12)
        header.u32(m_profileId).data.append(28, char(0xCD));
    else if (m_version == 12)
        header.data.append(32, char(0xCD));
    header.text(sessionId);

    FieldWriter fileMap;
    fileMap.u32(m_lastOffset).u8(fileMapEntry).u32(quint32(names.size()));
    for (const QString& name : qAsConst(names))
        fileMap.text(name.toUtf8());

    const QString path = m_directory + QStringLiteral("/sarvik_recording_meta.dat");
    QFile index(path);
    index.open(QIODevice::WriteOnly | QIODevice::Truncate);
    index.write(header.data + m_entries + fileMap.data);
    return path;
}

void SessionWriter::writeParameterFile(const QByteArray& text)
{
    QFile file(m_directory + QStringLiteral("/sarvik_parameter_file.par"));
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(text);
}
