// Turns one radar frame of an embedded-platform module (its float samples)
// into what its views draw: the amplitude and phase of each range bin of a
// down-converted frame, or the RF samples of a frame that is not.
//
// Frames come from the module, so nothing in them is trusted: a sample that
// is not a finite number reads as 0, and a bin without power shows at the
// floor of the logarithmic scale instead of minus infinity, which would
// break the value range of the charts that draw it.
#pragma once

#include "device/BasebandFrameDecoder.hpp"

#include <QList>
#include <QtGlobal>

struct AmplitudePhaseFrame {
    QList<qreal> amplitudeValues;
    QList<qreal> phaseValues;
};

class ChipFrameConverter {
public:
    using Scale = BasebandFrameDecoder::Scale;

    // The lowest value of the logarithmic scale: the decibels of the
    // smallest power two single-precision samples above 0 can have. Every
    // bin, empty or not, shows at or above it.
    static const double logarithmicFloor;

    // A down-converted frame holds the I values of its n bins, then their Q
    // values (a last odd value belongs to neither and is left out). Bin k has
    // the amplitude sqrt(I² + Q²) on the linear scale, 10·log10(I² + Q²) on
    // the logarithmic one, and the phase atan2(Q, I) in radians.
    static AmplitudePhaseFrame amplitudeAndPhase(const QList<qreal>& frame, Scale scale);

    // The samples of a frame that is not down-converted, as they are.
    static QList<qreal> rfSamples(const QList<qreal>& frame);
};
