// The application-data payloads of the newer respiration modules, as the
// respiration family decodes them: the payload is the packet behind its 0x50
// byte and content id, values little-endian, integers 32-bit, floats IEEE
// single precision.
//
// Fixed fields missing from a short payload read as 0. The counts of the
// lists are the module's word and are not trusted: a list whose count the
// payload cannot hold is refused whole (no value of it is used, and nothing
// is reserved for it), so a corrupted count costs nothing.
#pragma once

#include <QByteArray>
#include <QVector>
#include <QtGlobal>

#include <optional>

class RespirationFamilyPayloads {
public:
    enum ContentId : quint32 {
        SleepId = 0x2375A16C,
        VitalSignsId = 0x20020102,
        RespirationId = 0x2375FE26,
        MovingListId = 0x610A3B00,
        NormalizedMovingListId = 0xC3A331CF,
        DetectionListId = 0x610A3B02,
    };

    struct Sleep {
        quint32 frameCounter = 0;
        quint32 state = 0;
        float rpm = 0;
        quint32 signalQuality = 0;
    };

    // The twelve values in the module's order, as the sleep analysis takes
    // them.
    struct VitalSigns {
        quint32 frameCounter = 0;
        quint32 state = 0;
        float rpm = 0;
        float distance = 0;
        float respirationConfidence = 0;
        float heartRate = 0;
        float heartDistance = 0;
        float heartConfidence = 0;
        float movementSlow = 0;
        float movementFast = 0;
        float movementStart = 0;
        float movementEnd = 0;
    };

    // A moving list: the first slow and fast items are the current values,
    // the others (as many in each list) go to the lists.
    struct MovingList {
        quint32 frameCounter = 0;
        double slow = 0;
        double fast = 0;
        QVector<qreal> slowList;
        QVector<qreal> fastList;
    };

    struct DetectionList {
        quint32 frameCounter = 0;
        quint32 count = 0;
        // Item 1 and item 2 of the distances, when the list has them.
        std::optional<float> objectDistance;
        std::optional<float> breathingDistance;
        // The radar cross-section of the first detection (0 when there is
        // none).
        float rcs = 0;
    };

    static Sleep sleep(const QByteArray& payload);
    static VitalSigns vitalSigns(const QByteArray& payload);
    // The object movement (the breathing pattern) of a respiration payload.
    static float respirationMovement(const QByteArray& payload);
    // Nothing for a count of 0 or one the payload cannot hold.
    static std::optional<MovingList> movingList(const QByteArray& payload);
    // Items become normalizedValue of them.
    static std::optional<MovingList> normalizedMovingList(const QByteArray& payload);
    // Nothing for a count the payload cannot hold.
    static std::optional<DetectionList> detectionList(const QByteArray& payload);

    // An item of the normalized moving list on the charts' logarithmic scale,
    // 10 x log10(v + 0.01): 0 gives -20, the scale's floor. Values below 0
    // (and NaN) count as 0 and infinity as the largest float, so that the
    // result is always finite.
    static double normalizedValue(float value);
};
