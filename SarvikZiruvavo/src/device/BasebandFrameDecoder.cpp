#include "BasebandFrameDecoder.hpp"

#include <linkwell/protocol_parser.h>

#include <QDebug>
#include <QtEndian>

#include <cmath>
#include <cstring>

namespace {

const qint64 headerSize = 24;

// Fields beyond the end of the payload read as zero.
quint32 u32At(const QByteArray& data, qint64 offset)
{
    if (offset < 0 || offset + 4 > data.size())
        return 0;
    return qFromLittleEndian<quint32>(data.constData() + offset);
}

float f32At(const QByteArray& data, qint64 offset)
{
    const quint32 bits = u32At(data, offset);
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Whole floats the payload holds from offset on.
qint64 floatsFrom(const QByteArray& data, qint64 offset)
{
    return offset < data.size() ? (data.size() - offset) / 4 : 0;
}

void warnMismatch(const char* list, quint32 expected, int actual)
{
    qWarning().nospace() << "WARNING: mismatch between expected and actual number of " << list << " floats";
    qWarning() << "  |- expected:" << expected;
    qWarning() << "  |- actual:" << actual;
}

} // namespace

bool BasebandFrameDecoder::isBasebandFrame(uint contentId)
{
    return contentId == LINKWELL_CONTENT_ID_BASEBAND_IQ || contentId == LINKWELL_CONTENT_ID_BASEBAND_AP;
}

BasebandFrame BasebandFrameDecoder::decode(uint contentId, const QByteArray& data, Scale scale)
{
    BasebandFrame frame;
    frame.contentId = contentId;
    frame.frameCounter = u32At(data, 0);
    const quint32 count = u32At(data, 4);
    frame.binLength = f32At(data, 8);
    frame.rangeOffset = f32At(data, 20);

    // The count comes from the module: the lists are bounded by what the
    // payload holds, not by what it claims.
    const int amplitudeCount = int(qMin<qint64>(count, floatsFrom(data, headerSize)));
    frame.amplitudeValues.reserve(amplitudeCount);
    for (int k = 0; k < amplitudeCount; ++k)
        frame.amplitudeValues.append(f32At(data, headerSize + 4 * qint64(k)));
    if (quint32(amplitudeCount) != count)
        warnMismatch("amplitude", count, amplitudeCount);

    const qint64 phaseOffset = headerSize + 4 * qint64(amplitudeCount);
    const int phaseCount = int(qMin<qint64>(amplitudeCount, floatsFrom(data, phaseOffset)));
    frame.phaseValues.reserve(phaseCount);
    const bool iq = contentId == LINKWELL_CONTENT_ID_BASEBAND_IQ;
    for (int k = 0; k < phaseCount; ++k) {
        double value = f32At(data, phaseOffset + 4 * qint64(k));
        double& amplitude = frame.amplitudeValues[k];
        if (iq) {
            const double inPhase = amplitude;
            amplitude = inPhase * inPhase + value * value;
            value = std::atan2(value, inPhase);
        }
        amplitude = scale == Scale::Logarithmic ? 10.0 * std::log10(amplitude) : std::sqrt(amplitude);
        frame.phaseValues.append(value);
    }
    if (quint32(phaseCount) != count)
        warnMismatch("phase", count, phaseCount);
    return frame;
}
