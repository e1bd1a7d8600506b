#include "RespirationFamilyPayloads.hpp"

#include <QtEndian>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Reads values one after another; a read past the end yields 0.
class Fields {
public:
    Fields(const QByteArray& payload, int at = 0)
        : m_data(payload.constData())
        , m_size(payload.size())
        , m_at(at)
    { }

    quint32 u32()
    {
        quint32 value = 0;
        if (m_at >= 0 && m_size - m_at >= 4)
            value = qFromLittleEndian<quint32>(m_data + m_at);
        m_at += 4;
        return value;
    }

    float f32()
    {
        const quint32 bits = u32();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    // Whether `count` more 32-bit items are there; 64-bit so that a count
    // read from the payload cannot wrap.
    bool holdsItems(quint64 count) const { return m_at <= m_size && count <= quint64(m_size - m_at) / 4; }

private:
    const char* m_data;
    int m_size;
    int m_at;
};

template <typename Convert>
std::optional<RespirationFamilyPayloads::MovingList> readLists(
    Fields& fields, quint32 frameCounter, quint32 count, Convert convert)
{
    if (count == 0 || !fields.holdsItems(2 * quint64(count)))
        return std::nullopt;
    RespirationFamilyPayloads::MovingList list;
    list.frameCounter = frameCounter;
    list.slowList.reserve(int(count - 1));
    list.fastList.reserve(int(count - 1));
    list.slow = convert(fields.f32());
    for (quint32 i = 1; i < count; ++i)
        list.slowList.append(convert(fields.f32()));
    list.fast = convert(fields.f32());
    for (quint32 i = 1; i < count; ++i)
        list.fastList.append(convert(fields.f32()));
    return list;
}

} // namespace

RespirationFamilyPayloads::Sleep RespirationFamilyPayloads::sleep(const QByteArray& payload)
{
    Fields fields(payload);
    Sleep sleep;
    sleep.frameCounter = fields.u32();
    sleep.state = fields.u32();
    sleep.rpm = fields.f32();
    fields.f32(); // the distance is taken from the detection list
    sleep.signalQuality = fields.u32();
    return sleep;
}

RespirationFamilyPayloads::VitalSigns RespirationFamilyPayloads::vitalSigns(const QByteArray& payload)
{
    Fields fields(payload);
    VitalSigns v;
    v.frameCounter = fields.u32();
    v.state = fields.u32();
    v.rpm = fields.f32();
    v.distance = fields.f32();
    v.respirationConfidence = fields.f32();
    v.heartRate = fields.f32();
    v.heartDistance = fields.f32();
    v.heartConfidence = fields.f32();
    v.movementSlow = fields.f32();
    v.movementFast = fields.f32();
    v.movementStart = fields.f32();
    v.movementEnd = fields.f32();
    return v;
}

float RespirationFamilyPayloads::respirationMovement(const QByteArray& payload)
{
    // Behind the frame counter, state, rate and distance.
    return Fields(payload, 16).f32();
}

std::optional<RespirationFamilyPayloads::MovingList> RespirationFamilyPayloads::movingList(
    const QByteArray& payload)
{
    Fields fields(payload);
    const quint32 frameCounter = fields.u32();
    const quint32 count = fields.u32();
    return readLists(fields, frameCounter, count, [](float v) { return double(v); });
}

std::optional<RespirationFamilyPayloads::MovingList> RespirationFamilyPayloads::normalizedMovingList(
    const QByteArray& payload)
{
    Fields fields(payload);
    const quint32 frameCounter = fields.u32();
    fields.f32(); // start
    fields.f32(); // bin length
    const quint32 count = fields.u32();
    return readLists(fields, frameCounter, count, normalizedValue);
}

std::optional<RespirationFamilyPayloads::DetectionList> RespirationFamilyPayloads::detectionList(
    const QByteArray& payload)
{
    Fields fields(payload);
    DetectionList list;
    list.frameCounter = fields.u32();
    list.count = fields.u32();
    if (!fields.holdsItems(list.count))
        return std::nullopt;
    // Only the first two distances are used; the rest are skipped unread.
    if (list.count >= 1)
        list.objectDistance = fields.f32();
    if (list.count >= 2)
        list.breathingDistance = fields.f32();
    Fields rcs(payload, 8 + 4 * int(list.count));
    list.rcs = rcs.f32();
    return list;
}

double RespirationFamilyPayloads::normalizedValue(float value)
{
    double v = value;
    if (!(v >= 0)) // below 0, or NaN
        v = 0;
    else if (v > std::numeric_limits<float>::max())
        v = std::numeric_limits<float>::max();
    return 10.0 * std::log10(v + 0.01);
}
