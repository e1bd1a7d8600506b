// A recording session made for playback tests: a simulated module sends the
// given packets to a real connection, whose recorder stores them in a
// temporary directory; the session's index file is then ready for a player.
#pragma once

#include <linkwell/DataType.hpp>

#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <functional>
#include <vector>

namespace simmodule {
class SimModule;
struct Personality;
} // namespace simmodule

class RecordedSession {
public:
    using Bytes = std::vector<uint8_t>;

    // Records every packet of the data types, in order. Fails the current
    // test when the session does not come together.
    RecordedSession(const std::vector<Bytes>& packets, Sarvik::DataTypes dataTypes);
    // Records what a module of the personality streams (at `rateHz` packets
    // per second and stream) until `packets` data packets have arrived. A
    // module that keeps a profile and a parameter file gives them to the
    // session.
    RecordedSession(const simmodule::Personality& personality, Sarvik::DataTypes dataTypes, size_t packets,
        double rateHz = 50);

    // The session's index file; empty when recording failed.
    QString metaFile() const { return m_metaFile; }

private:
    // Scripts the module and has it send its data; returns how many data
    // packets to wait for.
    using Script = std::function<size_t(simmodule::SimModule&)>;
    void record(const Script& script, Sarvik::DataTypes dataTypes);

    bool m_streaming = false;
    QTemporaryDir m_directory;
    QString m_metaFile;
};
