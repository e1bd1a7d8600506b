// A recording session made for playback tests: a simulated module sends the
// given packets to a real connection, whose recorder stores them in a
// temporary directory; the session's index file is then ready for a player.
#pragma once

#include <linkwell/DataType.hpp>

#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <vector>

class RecordedSession {
public:
    using Bytes = std::vector<uint8_t>;

    // Records every packet of the data types, in order. Fails the current
    // test when the session does not come together.
    RecordedSession(const std::vector<Bytes>& packets, Sarvik::DataTypes dataTypes);

    // The session's index file; empty when recording failed.
    QString metaFile() const { return m_metaFile; }

private:
    void record(const std::vector<Bytes>& packets, Sarvik::DataTypes dataTypes);

    QTemporaryDir m_directory;
    QString m_metaFile;
};
