// What a recording session's index file says about the session, and the text
// the playback bar shows for it: when it started, how long it lasted, how
// much it holds, its session id, the index file's version and the data types
// it includes.
#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

class RecordingSummary {
public:
    qint64 startEpochMs = 0;
    qint64 durationMs = 0;
    qint64 sizeBytes = 0;
    quint32 dataTypes = 0;
    QString sessionId;
    quint32 metaVersion = 0;

    // The summary of the session of this index file; nothing when it does
    // not open.
    static std::optional<RecordingSummary> read(const QString& metaFile);

    // "Started: ...\nDuration: ...\nSize: ...\nSession ID: ...\nMeta file
    // version: ...\n\nData types included in recording:\n" and the list.
    QString text() const;

    // "1 hour 2 minutes 3 seconds": hours are counted however many there
    // are, minutes and seconds within their hour and minute.
    static QString durationText(qint64 ms);
    // Bytes, kB, MB or GB (powers of 1000), with one decimal above bytes.
    static QString sizeText(qint64 bytes);
    // One line "[i] name" per known data type the mask holds, in a fixed
    // order, i counting the lines from 0.
    static QString dataTypeList(quint32 dataTypes);
    // The index file's version as its readers show it: 13 is "1.3".
    static QString versionText(quint32 metaVersion);
};
