// Assembles the module's pulse-Doppler half rows into range-Doppler matrices
// for a 3-D surface, for each of the two Doppler instances. Each payload
// carries one half of one range row: the negative frequencies first, then the
// rest. A matrix starts with the first half of range row 0 and is complete
// after the second half of its last row; any gap or inconsistency drops the
// partial matrix, and the next one starts again at row 0. The newest 50
// complete matrices per instance wait for a viewer; a viewer that falls
// behind loses the oldest.
//
// Every point of a matrix is a number: a power that has no decibel value (0
// or below, or no number at all) lies at noPowerDecibels, far below any power
// axis, since a surface cannot leave a point out.
#pragma once

#include <QByteArray>
#include <QtDataVisualization/QSurfaceDataProxy>

#include <array>
#include <deque>
#include <memory>
#include <optional>

class PulseDopplerDecoder {
public:
    static constexpr uint instanceCount = 2;
    static constexpr int maxFinishedMatrices = 50;
    static constexpr float noPowerDecibels = -200.0f;

    // A matrix owns its rows, as a surface data proxy does once it takes it.
    struct MatrixDeleter {
        void operator()(QtDataVisualization::QSurfaceDataArray* matrix) const;
    };
    using Matrix = std::unique_ptr<QtDataVisualization::QSurfaceDataArray, MatrixDeleter>;

    static bool isPulseDopplerRow(uint contentId);

    // Takes one half row, float (0x10) or byte (0x11) values; `data` is the
    // payload behind the content id. Returns the Doppler instance whose matrix
    // this half completed, if it did.
    std::optional<uint> addHalfRow(uint contentId, const QByteArray& data);

    // Hands over the oldest complete matrix of the instance; null when there
    // is none (or no such instance).
    Matrix takeOldestMatrix(uint instance);
    int finishedMatrixCount(uint instance) const;

    // Drops every matrix of both instances, complete or not.
    void reset();

private:
    struct HalfRow;
    struct Instance {
        Matrix building;
        qint64 firstHalfCounter = -1;
        qint64 secondHalfCounter = -1;
        quint32 rangeCount = 0;
        quint32 valuesPerHalf = 0;
        std::deque<Matrix> finished;
    };

    bool accepts(const Instance& instance, const HalfRow& half, const QByteArray& data) const;
    void fillHalf(QtDataVisualization::QSurfaceDataRow& row, const HalfRow& half, const QByteArray& data);
    void updateByteScale(float offset, float step);
    void dropPartialMatrix(Instance& instance);

    std::array<Instance, instanceCount> m_instances;
    // The decibels of each byte value under the scale last seen.
    struct ByteScale {
        bool valid = false;
        float offset = 0.0f;
        float step = 0.0f;
        std::array<float, 256> decibels {};
    } m_byteScale;
};
