// Hands the pulse-Doppler matrices to the 3-D surface series that QML shows.
#pragma once

#include <QtGlobal>

class PulseDopplerDecoder;

namespace QtDataVisualization {
class QSurface3DSeries;
}

class PulseDopplerSurface {
public:
    // Gives the oldest complete matrix of the Doppler instance to the
    // series, which owns it from then on.
    static void update(
        QtDataVisualization::QSurface3DSeries* series, PulseDopplerDecoder& decoder, uint dopplerInstance);
    // Empties the series; a null series is left alone.
    static void reset(QtDataVisualization::QSurface3DSeries* series);
};
