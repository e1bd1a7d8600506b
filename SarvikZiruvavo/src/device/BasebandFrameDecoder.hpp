// Turns a module's baseband frame payload into the amplitude and phase lists
// that the baseband views draw. An I/Q frame (content 0x0C) becomes power and
// phase; an amplitude/phase frame (0x0D) keeps its phases. The amplitudes are
// then shown in decibels or on the linear scale (their square root).
#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

struct BasebandFrame {
    uint contentId = 0;
    uint frameCounter = 0;
    double binLength = 0.0;
    double rangeOffset = 0.0;
    QList<qreal> amplitudeValues;
    QList<qreal> phaseValues;
};

class BasebandFrameDecoder {
public:
    // The values match those of the device's scale property, so that it can
    // be passed over by a cast.
    enum class Scale { Logarithmic = 0, Linear = 1 };

    // Whether the content id names a baseband frame this decoder reads.
    static bool isBasebandFrame(uint contentId);

    // `data` is the payload behind the content id. A frame that holds fewer
    // values than it announces is decoded as far as it goes, with a warning
    // per list that came up short; nothing is read or reserved beyond the
    // payload, whatever count it announces.
    static BasebandFrame decode(uint contentId, const QByteArray& data, Scale scale);
};
