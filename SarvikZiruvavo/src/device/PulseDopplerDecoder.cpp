#include "PulseDopplerDecoder.hpp"

#include <linkwell/protocol_parser.h>

#include <QDebug>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <limits>

using QtDataVisualization::QSurfaceDataArray;
using QtDataVisualization::QSurfaceDataItem;
using QtDataVisualization::QSurfaceDataRow;

namespace {

// A module announces rows one by one; what it claims as the row count is not
// reserved up front beyond this.
const quint32 maxReservedRows = 1024;

quint32 u32At(const QByteArray& data, qint64 offset)
{
    if (offset + 4 > data.size())
        return 0;
    return qFromLittleEndian<quint32>(data.constData() + offset);
}

float finiteDecibels(float decibels)
{
    return std::isfinite(decibels) ? decibels : PulseDopplerDecoder::noPowerDecibels;
}

float f32At(const QByteArray& data, qint64 offset)
{
    const quint32 bits = u32At(data, offset);
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void warnDataLoss()
{
    qWarning() << "WARNING: detected data loss in pulse doppler data";
}

} // namespace

// The header of one half row. Byte rows carry the scale of their values in two
// more fields, which shift the rest by 8 bytes.
struct PulseDopplerDecoder::HalfRow {
    HalfRow(uint contentId, const QByteArray& data)
        : byteValues(contentId == LINKWELL_CONTENT_ID_PULSEDOPPLER_BYTE)
        , rangeIndex(u32At(data, 8))
        , rangeCount(u32At(data, 12))
        , valueCount(u32At(data, 16))
        , instance(u32At(data, 20))
        , byteOffset(byteValues ? f32At(data, 24) : 0.0f)
        , byteStep(byteValues ? f32At(data, 28) : 0.0f)
        , frequencyStart(f32At(data, base() + 8))
        , frequencyStep(f32At(data, base() + 12))
        , range(f32At(data, base() + 16))
    { }

    qint64 base() const { return byteValues ? 32 : 24; }
    qint64 valuesOffset() const { return base() + 20; }
    qint64 valueSize() const { return byteValues ? 1 : 4; }
    bool firstHalf() const { return frequencyStart < 0.0f; }
    // Whether the payload holds the values it announces, and a row of twice
    // as many can be made.
    bool holdsItsValues(const QByteArray& data) const
    {
        return valueCount <= quint32(std::numeric_limits<int>::max() / 2)
            && valuesOffset() + qint64(valueCount) * valueSize() <= data.size();
    }

    bool byteValues;
    quint32 rangeIndex;
    quint32 rangeCount;
    quint32 valueCount;
    quint32 instance;
    float byteOffset;
    float byteStep;
    float frequencyStart;
    float frequencyStep;
    float range;
};

void PulseDopplerDecoder::MatrixDeleter::operator()(QSurfaceDataArray* matrix) const
{
    qDeleteAll(*matrix);
    delete matrix;
}

bool PulseDopplerDecoder::isPulseDopplerRow(uint contentId)
{
    return contentId == LINKWELL_CONTENT_ID_PULSEDOPPLER_FLOAT
        || contentId == LINKWELL_CONTENT_ID_PULSEDOPPLER_BYTE;
}

std::optional<uint> PulseDopplerDecoder::addHalfRow(uint contentId, const QByteArray& data)
{
    const HalfRow half(contentId, data);
    if (half.instance >= instanceCount) {
        qWarning() << "WARNING: ignoring pulse doppler data for unsupported instance:" << half.instance;
        return std::nullopt;
    }
    Instance& instance = m_instances[half.instance];
    if (!instance.building) {
        if (half.rangeIndex != 0 || !half.firstHalf()) {
            qWarning() << "WARNING: ignoring current pd data while waiting for first matrix";
            return std::nullopt;
        }
        instance.building.reset(new QSurfaceDataArray);
        instance.building->reserve(int(qMin(half.rangeCount, maxReservedRows)));
        instance.rangeCount = half.rangeCount;
        instance.valuesPerHalf = half.valueCount;
    }
    if (!accepts(instance, half, data)) {
        dropPartialMatrix(instance);
        return std::nullopt;
    }

    if (half.firstHalf()) {
        auto row = std::make_unique<QSurfaceDataRow>(2 * int(half.valueCount));
        fillHalf(*row, half, data);
        instance.building->append(row.release());
        instance.firstHalfCounter = half.rangeIndex;
        return std::nullopt;
    }
    fillHalf(*instance.building->last(), half, data);
    instance.secondHalfCounter = half.rangeIndex;
    if (half.rangeIndex + 1 != instance.rangeCount)
        return std::nullopt;

    while (instance.finished.size() >= size_t(maxFinishedMatrices))
        instance.finished.pop_front();
    instance.finished.push_back(std::move(instance.building));
    instance.firstHalfCounter = -1;
    instance.secondHalfCounter = -1;
    return half.instance;
}

// A half row belongs to the matrix under construction only when it is the
// next half in order (the first half of the next row, or the second half of
// the row whose first half came last), has the matrix's width and row count,
// and its payload holds its values. Anything else means halves were lost or
// the payload is damaged.
bool PulseDopplerDecoder::accepts(const Instance& instance, const HalfRow& half, const QByteArray& data) const
{
    if (!half.holdsItsValues(data) || half.rangeCount == 0 || half.rangeIndex >= half.rangeCount)
        return false;
    // Every row of a surface has the same width.
    if (half.rangeCount != instance.rangeCount || half.valueCount != instance.valuesPerHalf)
        return false;
    if (half.firstHalf())
        return half.rangeIndex == instance.firstHalfCounter + 1
            && instance.secondHalfCounter == instance.firstHalfCounter;
    return half.rangeIndex == instance.secondHalfCounter + 1 && half.rangeIndex == instance.firstHalfCounter;
}

void PulseDopplerDecoder::fillHalf(QSurfaceDataRow& row, const HalfRow& half, const QByteArray& data)
{
    if (half.byteValues)
        updateByteScale(half.byteOffset, half.byteStep);
    const int first = half.firstHalf() ? 0 : int(half.valueCount);
    const char* values = data.constData() + half.valuesOffset();
    float frequency = half.frequencyStart;
    for (int k = 0; k < int(half.valueCount); ++k) {
        const float decibels = half.byteValues
            ? m_byteScale.decibels[quint8(values[k])]
            : finiteDecibels(10.0f * std::log10(f32At(data, half.valuesOffset() + 4 * qint64(k))));
        row[first + k].setPosition(QVector3D(frequency, decibels, half.range));
        frequency += half.frequencyStep;
    }
}

// A byte value b stands for the power 10^((b × step + offset) / 10). The
// module keeps its scale from row to row, so the 256 possible values are
// worked out once per scale rather than once per value.
void PulseDopplerDecoder::updateByteScale(float offset, float step)
{
    auto bits = [](float v) {
        quint32 b;
        std::memcpy(&b, &v, sizeof b);
        return b;
    };
    if (m_byteScale.valid && bits(offset) == bits(m_byteScale.offset) && bits(step) == bits(m_byteScale.step))
        return;
    for (int b = 0; b < 256; ++b) {
        const float power = std::pow(10.0f, (float(b) * step + offset) / 10.0f);
        m_byteScale.decibels[size_t(b)] = finiteDecibels(10.0f * std::log10(power));
    }
    m_byteScale.offset = offset;
    m_byteScale.step = step;
    m_byteScale.valid = true;
}

void PulseDopplerDecoder::dropPartialMatrix(Instance& instance)
{
    warnDataLoss();
    instance.building.reset();
    instance.firstHalfCounter = -1;
    instance.secondHalfCounter = -1;
}

PulseDopplerDecoder::Matrix PulseDopplerDecoder::takeOldestMatrix(uint instance)
{
    if (instance >= instanceCount || m_instances[instance].finished.empty())
        return nullptr;
    Matrix oldest = std::move(m_instances[instance].finished.front());
    m_instances[instance].finished.pop_front();
    return oldest;
}

int PulseDopplerDecoder::finishedMatrixCount(uint instance) const
{
    return instance < instanceCount ? int(m_instances[instance].finished.size()) : 0;
}

void PulseDopplerDecoder::reset()
{
    for (Instance& instance : m_instances) {
        instance.building.reset();
        instance.firstHalfCounter = -1;
        instance.secondHalfCounter = -1;
        instance.finished.clear();
    }
}
