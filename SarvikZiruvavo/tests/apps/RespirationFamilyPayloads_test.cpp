// The newer respiration modules' payloads as the respiration family reads
// them, written with the simulated module's writer.
#include "apps/RespirationFamilyPayloads.hpp"
#include "support/ModuleMessages.hpp"

#include "simmodule/PayloadWriter.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using Payloads = RespirationFamilyPayloads;
using simmodule::PayloadWriter;

QByteArray cut(QByteArray payload, int size)
{
    payload.truncate(size);
    return payload;
}

const QByteArray sleepPayload
    = byteArrayOf(PayloadWriter().u32(41).u32(2).f32(13.5f).f32(1.25f).u32(87).f32(3).f32(4).take());

const QByteArray vitalPayload
    = byteArrayOf(PayloadWriter()
                      .u32(9)
                      .u32(7)
                      .f32s({ 12.5f, 1.5f, 0.9f, 61.0f, 1.4f, 0.8f, 3.0f, 1.5f, 0.4f, 4.4f })
                      .take());

} // namespace

TEST(RespirationFamilyPayloads, FixedFieldsAndShortPayloadsReadAsZero)
{
    const Payloads::Sleep sleep = Payloads::sleep(sleepPayload);
    EXPECT_EQ(41u, sleep.frameCounter);
    EXPECT_EQ(2u, sleep.state);
    EXPECT_FLOAT_EQ(13.5f, sleep.rpm);
    EXPECT_EQ(87u, sleep.signalQuality); // behind the distance

    const Payloads::Sleep shortSleep = Payloads::sleep(cut(sleepPayload, 10));
    EXPECT_EQ(41u, shortSleep.frameCounter);
    EXPECT_EQ(2u, shortSleep.state);
    EXPECT_EQ(0.0f, shortSleep.rpm); // two of its four bytes are there: not a value
    EXPECT_EQ(0u, shortSleep.signalQuality);
    EXPECT_EQ(0u, Payloads::sleep(QByteArray()).frameCounter);

    const Payloads::VitalSigns v = Payloads::vitalSigns(vitalPayload);
    EXPECT_EQ(9u, v.frameCounter);
    EXPECT_EQ(7u, v.state);
    const float got[] = { v.rpm, v.distance, v.respirationConfidence, v.heartRate, v.heartDistance,
        v.heartConfidence, v.movementSlow, v.movementFast, v.movementStart, v.movementEnd };
    const float sent[] = { 12.5f, 1.5f, 0.9f, 61.0f, 1.4f, 0.8f, 3.0f, 1.5f, 0.4f, 4.4f };
    for (int i = 0; i < 10; ++i)
        EXPECT_FLOAT_EQ(sent[i], got[i]) << "value " << i;
    const Payloads::VitalSigns shortVital = Payloads::vitalSigns(cut(vitalPayload, 4 * 6));
    EXPECT_FLOAT_EQ(61.0f, shortVital.heartRate);
    EXPECT_EQ(0.0f, shortVital.heartDistance);
    EXPECT_EQ(0.0f, shortVital.movementEnd);

    const QByteArray respiration
        = byteArrayOf(PayloadWriter().u32(1).u32(0).u32(14).f32(1.2f).f32(-2.25f).u32(80).take());
    EXPECT_FLOAT_EQ(-2.25f, Payloads::respirationMovement(respiration));
    EXPECT_EQ(0.0f, Payloads::respirationMovement(cut(respiration, 19)));
}

TEST(RespirationFamilyPayloads, MovingListsSplitCurrentValuesFromTheLists)
{
    const auto three = Payloads::movingList(
        byteArrayOf(PayloadWriter().u32(5).u32(3).f32s({ 1, 2, 3 }).f32s({ 4, 5, 6 }).take()));
    ASSERT_TRUE(three);
    EXPECT_EQ(5u, three->frameCounter);
    EXPECT_EQ(1.0, three->slow);
    EXPECT_EQ(4.0, three->fast);
    EXPECT_EQ((QVector<qreal> { 2, 3 }), three->slowList);
    EXPECT_EQ((QVector<qreal> { 5, 6 }), three->fastList);

    const auto one
        = Payloads::movingList(byteArrayOf(PayloadWriter().u32(6).u32(1).f32(0.5f).f32(0.25f).take()));
    ASSERT_TRUE(one);
    EXPECT_EQ(0.5, one->slow);
    EXPECT_EQ(0.25, one->fast);
    EXPECT_TRUE(one->slowList.isEmpty());
    EXPECT_TRUE(one->fastList.isEmpty());

    const auto normalized = Payloads::normalizedMovingList(byteArrayOf(
        PayloadWriter().u32(7).f32(0.4f).f32(0.25f).u32(2).f32s({ 0, 99.99f }).f32s({ 9.99f, -3 }).take()));
    ASSERT_TRUE(normalized);
    EXPECT_EQ(7u, normalized->frameCounter);
    EXPECT_DOUBLE_EQ(-20.0, normalized->slow);
    EXPECT_NEAR(20.0, normalized->slowList.value(0), 1e-5);
    EXPECT_NEAR(10.0, normalized->fast, 1e-5);
    EXPECT_DOUBLE_EQ(-20.0, normalized->fastList.value(0));
}

// Counts come from the module: one the payload cannot hold refuses the list
// at once, whatever its size; 0 gives no list either.
TEST(RespirationFamilyPayloads, ListCountsAreBoundByThePayload)
{
    const struct {
        const char* name;
        QByteArray payload;
        bool accepted;
    } moving[] = {
        { "count 0", byteArrayOf(PayloadWriter().u32(1).u32(0).f32s({ 1, 2 }).take()), false },
        { "count 0xFFFFFFFF in 8 bytes", byteArrayOf(PayloadWriter().u32(1).u32(0xFFFFFFFF).take()), false },
        { "count 0x80000000", byteArrayOf(PayloadWriter().u32(1).u32(0x80000000).f32s({ 1, 2 }).take()),
            false },
        { "one item short", byteArrayOf(PayloadWriter().u32(1).u32(2).f32s({ 1, 2, 3 }).take()), false },
        { "exactly held", byteArrayOf(PayloadWriter().u32(1).u32(2).f32s({ 1, 2, 3, 4 }).take()), true },
        { "with bytes to spare", byteArrayOf(PayloadWriter().u32(1).u32(2).f32s({ 1, 2, 3, 4, 5 }).take()),
            true },
    };
    for (const auto& c : moving)
        EXPECT_EQ(c.accepted, bool(Payloads::movingList(c.payload))) << c.name;

    const struct {
        const char* name;
        QByteArray payload;
        bool accepted;
    } normalized[] = {
        { "count 0", byteArrayOf(PayloadWriter().u32(1).f32(0).f32(0).u32(0).take()), false },
        { "count 0xFFFFFFFF", byteArrayOf(PayloadWriter().u32(1).f32(0).f32(0).u32(0xFFFFFFFF).f32(1).take()),
            false },
        { "head only", byteArrayOf(PayloadWriter().u32(1).f32(0).take()), false },
        { "one item short", byteArrayOf(PayloadWriter().u32(1).f32(0).f32(0).u32(1).f32(1).take()), false },
        { "exactly held", byteArrayOf(PayloadWriter().u32(1).f32(0).f32(0).u32(1).f32(1).f32(2).take()),
            true },
    };
    for (const auto& c : normalized)
        EXPECT_EQ(c.accepted, bool(Payloads::normalizedMovingList(c.payload))) << c.name;

    EXPECT_FALSE(Payloads::detectionList(byteArrayOf(PayloadWriter().u32(1).u32(0xFFFFFFFF).take())));
    EXPECT_FALSE(Payloads::detectionList(byteArrayOf(PayloadWriter().u32(1).u32(3).f32s({ 1, 2 }).take())));
}

TEST(RespirationFamilyPayloads, DetectionListGivesTwoDistancesAndTheFirstCrossSection)
{
    // Distances, cross-sections, velocities: n items each.
    const auto three = Payloads::detectionList(byteArrayOf(PayloadWriter()
                                                               .u32(12)
                                                               .u32(3)
                                                               .f32s({ 1.5f, 1.55f, 2.5f })
                                                               .f32s({ 0.8f, 0.3f, 0.1f })
                                                               .f32s({ 0, 0, 0 })
                                                               .take()));
    ASSERT_TRUE(three);
    EXPECT_EQ(12u, three->frameCounter);
    EXPECT_EQ(3u, three->count);
    EXPECT_EQ(1.5f, three->objectDistance);
    EXPECT_EQ(1.55f, three->breathingDistance);
    EXPECT_FLOAT_EQ(0.8f, three->rcs);

    const auto one = Payloads::detectionList(
        byteArrayOf(PayloadWriter().u32(13).u32(1).f32(2.0f).f32(0.6f).f32(0).take()));
    ASSERT_TRUE(one);
    EXPECT_EQ(2.0f, one->objectDistance);
    EXPECT_FALSE(one->breathingDistance);
    EXPECT_FLOAT_EQ(0.6f, one->rcs);

    const auto none = Payloads::detectionList(byteArrayOf(PayloadWriter().u32(14).u32(0).take()));
    ASSERT_TRUE(none);
    EXPECT_EQ(0u, none->count);
    EXPECT_FALSE(none->objectDistance);
    EXPECT_FALSE(none->breathingDistance);
    EXPECT_EQ(0.0f, none->rcs);

    // The distances are all there but the cross-sections are cut off.
    const auto cutOff
        = Payloads::detectionList(byteArrayOf(PayloadWriter().u32(15).u32(2).f32s({ 1, 2 }).take()));
    ASSERT_TRUE(cutOff);
    EXPECT_EQ(0.0f, cutOff->rcs);
}

// The heat maps and the bar charts get finite values whatever the module
// sends; 0 is the scale's floor.
TEST(RespirationFamilyPayloads, NormalizedValuesStayFinite)
{
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float value;
        double expected;
    } cases[] = {
        { 0.0f, -20.0 },
        { 0.99f, 0.0 },
        { -0.005f, -20.0 },
        { -0.01f, -20.0 },
        { -5.0f, -20.0 },
        { -inf, -20.0 },
        { std::numeric_limits<float>::quiet_NaN(), -20.0 },
        { inf, 10.0 * std::log10(double(std::numeric_limits<float>::max())) },
    };
    for (const auto& c : cases) {
        const double got = Payloads::normalizedValue(c.value);
        EXPECT_TRUE(std::isfinite(got)) << c.value;
        EXPECT_NEAR(c.expected, got, 1e-6) << c.value;
    }
}
