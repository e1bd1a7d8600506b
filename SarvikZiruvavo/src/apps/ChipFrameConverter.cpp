#include "ChipFrameConverter.hpp"

#include <cmath>
#include <limits>

// (2^-149)² = 2^-298: 10·log10 of it.
const double ChipFrameConverter::logarithmicFloor = -298.0 * 10.0 * std::log10(2.0);

namespace {

double sampleOrZero(qreal value)
{
    return std::isfinite(value) ? value : 0.0;
}

} // namespace

AmplitudePhaseFrame ChipFrameConverter::amplitudeAndPhase(const QList<qreal>& frame, Scale scale)
{
    const int bins = frame.size() / 2;
    AmplitudePhaseFrame result;
    result.amplitudeValues.reserve(bins);
    result.phaseValues.reserve(bins);
    const bool logarithmic = scale == Scale::Logarithmic;
    for (int k = 0; k < bins; ++k) {
        double inPhase = sampleOrZero(frame.at(k));
        double quadrature = sampleOrZero(frame.at(bins + k));
        double power = inPhase * inPhase + quadrature * quadrature;
        // Only samples far beyond what a module sends overflow the power;
        // such a bin is as unusable as one that is not a number.
        if (!std::isfinite(power)) {
            inPhase = quadrature = power = 0.0;
        }
        double amplitude = 0.0;
        if (logarithmic)
            amplitude = power > 0.0 ? std::max(logarithmicFloor, 10.0 * std::log10(power)) : logarithmicFloor;
        else
            amplitude = std::sqrt(power);
        result.amplitudeValues.append(amplitude);
        result.phaseValues.append(std::atan2(quadrature, inPhase));
    }
    return result;
}

QList<qreal> ChipFrameConverter::rfSamples(const QList<qreal>& frame)
{
    QList<qreal> samples;
    samples.reserve(frame.size());
    for (const qreal value : frame)
        samples.append(sampleOrZero(value));
    return samples;
}
