// Writes a recording session's files byte by byte as the library's recorder
// lays them out: one index file ("sarvik_recording_meta.dat") and one data
// file per data type. Written from the file format apart from the library, so
// that the recordings playback tests need (an hour long, of an older index
// version, of any profile) take no hour to record, and a fault in either
// shows as a mismatch. Records are of the binary data types: the bytes of a
// module message behind its head (0x50 and the content id).
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <map>
#include <memory>

class SessionWriter {
public:
    // Files go into the directory, which must exist.
    explicit SessionWriter(const QString& directory,
        const QString& sessionId = QStringLiteral("0a1b2c3d-4e5f-4a6b-8c7d-9e0f1a2b3c4d"));
    ~SessionWriter();
    SessionWriter(const SessionWriter&) = delete;
    SessionWriter& operator=(const SessionWriter&) = delete;

    // 13 unless set; 12 and 11 are the older layouts.
    void setVersion(quint32 version) { m_version = version; }
    void setProfileId(quint32 profileId) { m_profileId = profileId; }
    // Wall-clock ms since 1970 at which the session began.
    void setCreated(qint64 epochMs) { m_created = epochMs; }

    // Appends one record of a data type (one bit) at ms from the start;
    // records come in time order.
    void addRecord(quint32 dataType, const QByteArray& record, quint32 epochOffsetMs);
    // Writes the index file and returns its path. The duration is the last
    // record's time unless given.
    QString finish(qint64 durationMs = -1);

    // A module parameter file beside the index file, with this text.
    void writeParameterFile(const QByteArray& text);

private:
    struct DataFile {
        quint32 index = 0;
        std::unique_ptr<QFile> file;
        qint64 size = 0;
    };

    QString m_directory;
    QString m_sessionId;
    quint32 m_version = 13;
    quint32 m_profileId = 0x014D4AB8;
    qint64 m_created = 1700000000000;
    std::map<quint32, DataFile> m_files;
    QByteArray m_entries;
    qint64 m_total = 0;
    quint32 m_largest = 0;
    quint32 m_dataTypes = 0;
    quint32 m_lastOffset = 0;
};
