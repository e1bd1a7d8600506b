// One respiration status record of the older respiration module, as the
// respiration application decodes it.
#pragma once

#include <QtGlobal>

struct RespirationStatus {
    quint32 frameCounter = 0;
    // The module's sensor state (only its low byte is meaningful).
    quint32 state = 0;
    // Breaths per minute; while the module initialises, its low byte is the
    // progress in percent.
    quint32 rpm = 0;
    float objectDistance = 0.0f;
    float objectMovement = 0.0f;
    quint32 signalQuality = 0;
};
