#include "device/BasebandFrameDecoder.hpp"

#include "support/MessageLog.hpp"
#include "support/QtPrinters.hpp"

#include <QtEndian>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

const uint iq = 0x0C;
const uint ap = 0x0D;
using Scale = BasebandFrameDecoder::Scale;

// A baseband payload: header, then whatever lists the case gives (which need
// not match the count it announces).
QByteArray frame(quint32 counter, quint32 count, const std::vector<float>& values, int strayBytes = 0)
{
    QByteArray bytes;
    auto u32 = [&](quint32 v) {
        char le[4];
        qToLittleEndian(v, le);
        bytes.append(le, 4);
    };
    auto f32 = [&](float v) {
        quint32 bits;
        std::memcpy(&bits, &v, 4);
        u32(bits);
    };
    u32(counter);
    u32(count);
    f32(0.25f); // bin length
    f32(7.0f); // not used
    f32(8.0f); // not used
    f32(0.5f); // range offset
    for (float v : values)
        f32(v);
    bytes.append(QByteArray(strayBytes, '\x11'));
    return bytes;
}

QStringList mismatch(const char* list, const char* expected, const char* actual)
{
    return { QStringLiteral("WARNING: mismatch between expected and actual number of %1 floats").arg(list),
        QStringLiteral("  |- expected: %1").arg(expected), QStringLiteral("  |- actual: %1").arg(actual) };
}

struct DecoderCase {
    const char* name;
    uint contentId;
    Scale scale;
    QByteArray payload;
    std::vector<double> amplitudes;
    std::vector<double> phases;
    QStringList warnings;
};

void PrintTo(const DecoderCase& c, std::ostream* os)
{
    *os << c.name;
}

class BasebandFrameDecoderTest : public ::testing::TestWithParam<DecoderCase> { };

TEST_P(BasebandFrameDecoderTest, DecodesAmplitudesAndPhases)
{
    const DecoderCase& c = GetParam();
    MessageLog log;
    const BasebandFrame decoded = BasebandFrameDecoder::decode(c.contentId, c.payload, c.scale);

    EXPECT_EQ(c.contentId, decoded.contentId);
    ASSERT_EQ(c.amplitudes.size(), size_t(decoded.amplitudeValues.size()));
    for (size_t k = 0; k < c.amplitudes.size(); ++k)
        EXPECT_NEAR(c.amplitudes[k], decoded.amplitudeValues[int(k)], 1e-9) << "amplitude " << k;
    ASSERT_EQ(c.phases.size(), size_t(decoded.phaseValues.size()));
    for (size_t k = 0; k < c.phases.size(); ++k)
        EXPECT_NEAR(c.phases[k], decoded.phaseValues[int(k)], 1e-7) << "phase " << k;
    EXPECT_EQ(c.warnings, log.warnings());
}

INSTANTIATE_TEST_SUITE_P(Frames, BasebandFrameDecoderTest,
    ::testing::Values(DecoderCase { "IqLinearIsTheMagnitude", iq, Scale::Linear, frame(1, 2, { 3, 0, 4, 1 }),
                          { 5, 1 }, { std::atan2(4.0, 3.0), std::atan2(1.0, 0.0) }, {} },
        DecoderCase { "IqLogarithmicIsThePowerInDecibels", iq, Scale::Logarithmic,
            frame(1, 2, { 3, 0, 4, 1 }), { 10 * std::log10(25.0), 0 },
            { std::atan2(4.0, 3.0), std::atan2(1.0, 0.0) }, {} },
        DecoderCase { "IqPhaseCoversAllFourQuadrants", iq, Scale::Linear, frame(1, 2, { -1, -1, 1, -1 }),
            { std::sqrt(2.0), std::sqrt(2.0) }, { std::atan2(1.0, -1.0), std::atan2(-1.0, -1.0) }, {} },
        DecoderCase { "AmplitudePhaseLinearTakesTheSquareRoot", ap, Scale::Linear,
            frame(1, 2, { 4, 9, 0.5f, -0.5f }), { 2, 3 }, { 0.5, -0.5 }, {} },
        DecoderCase { "AmplitudePhaseLogarithmic", ap, Scale::Logarithmic,
            frame(1, 2, { 4, 100, 0.5f, -0.5f }), { 10 * std::log10(4.0), 20 }, { 0.5, -0.5 }, {} },
        // Short lists: the values that are there, unconverted where their
        // partner is missing, and a warning for each list that came up short.
        DecoderCase { "ThreeOfFourAmplitudes", iq, Scale::Linear, frame(1, 4, { 3, 0, 4 }), { 3, 0, 4 }, {},
            mismatch("amplitude", "4", "3") + mismatch("phase", "4", "0") },
        DecoderCase { "TwoOfThreePhasesAndStrayBytes", ap, Scale::Linear,
            frame(1, 3, { 4, 9, 16, 0.1f, 0.2f }, 3), { 2, 3, 16 }, { 0.1f, 0.2f },
            mismatch("phase", "3", "2") },
        // A count the payload cannot hold costs nothing beyond the payload.
        DecoderCase { "HugeCountInASmallPayload", ap, Scale::Linear, frame(1, 0xFFFFFFFF, { 4, 9 }), { 4, 9 },
            {}, mismatch("amplitude", "4294967295", "2") + mismatch("phase", "4294967295", "0") },
        DecoderCase { "EmptyPayloadIsAnEmptyFrame", ap, Scale::Linear, QByteArray(), {}, {}, {} },
        DecoderCase { "TruncatedHeader", iq, Scale::Linear, frame(1, 2, {}).left(10), {}, {},
            mismatch("amplitude", "2", "0") + mismatch("phase", "2", "0") }),
    [](const ::testing::TestParamInfo<DecoderCase>& param) { return std::string(param.param.name); });

TEST(BasebandFrameDecoderHeaderTest, HeaderFieldsAreTakenAsTheyStand)
{
    const BasebandFrame decoded
        = BasebandFrameDecoder::decode(ap, frame(0xCAFE0001, 1, { 1, 2 }), Scale::Linear);
    EXPECT_EQ(0xCAFE0001u, decoded.frameCounter);
    EXPECT_EQ(0.25, decoded.binLength);
    EXPECT_EQ(0.5, decoded.rangeOffset);

    // A field the payload does not hold whole reads as zero.
    const BasebandFrame truncated = BasebandFrameDecoder::decode(ap, frame(7, 1, {}).left(10), Scale::Linear);
    EXPECT_EQ(7u, truncated.frameCounter);
    EXPECT_EQ(0.0, truncated.binLength);
    EXPECT_EQ(0.0, truncated.rangeOffset);
}

TEST(BasebandFrameDecoderHeaderTest, OnlyBasebandContentIsABasebandFrame)
{
    EXPECT_TRUE(BasebandFrameDecoder::isBasebandFrame(iq));
    EXPECT_TRUE(BasebandFrameDecoder::isBasebandFrame(ap));
    for (uint other : { 0x0Bu, 0x0Eu, 0x10u, 0x11u, 0x2375FE26u })
        EXPECT_FALSE(BasebandFrameDecoder::isBasebandFrame(other)) << other;
}

} // namespace
