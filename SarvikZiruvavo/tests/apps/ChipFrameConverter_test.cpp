#include "apps/ChipFrameConverter.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

namespace {

using Scale = ChipFrameConverter::Scale;

const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();
const double floorDb = ChipFrameConverter::logarithmicFloor;

struct ConversionCase {
    const char* name;
    std::vector<double> frame;
    Scale scale;
    std::vector<double> amplitudes;
    std::vector<double> phases;
};

void PrintTo(const ConversionCase& c, std::ostream* os)
{
    *os << c.name;
}

const ConversionCase frameCases[] = {
    // I = 3, 0, 1; Q = 4, 2, -1.
    { "Linear", { 3, 0, 1, 4, 2, -1 }, Scale::Linear, { 5, 2, std::sqrt(2.0) },
        { std::atan2(4, 3), M_PI / 2, -M_PI / 4 } },
    { "Logarithmic", { 3, 0, 1, 4, 2, -1 }, Scale::Logarithmic,
        { 10 * std::log10(25.0), 10 * std::log10(4.0), 10 * std::log10(2.0) },
        { std::atan2(4, 3), M_PI / 2, -M_PI / 4 } },
    // The seventh value belongs to no bin.
    { "OddLastValueLeftOut", { 3, 0, 1, 4, 2, -1, 99 }, Scale::Linear, { 5, 2, std::sqrt(2.0) },
        { std::atan2(4, 3), M_PI / 2, -M_PI / 4 } },
    { "OneValueIsNoBin", { 7 }, Scale::Logarithmic, {}, {} },
    { "Empty", {}, Scale::Linear, {}, {} },
    // A bin without power: 0 on the linear scale, the floor (never minus
    // infinity) on the logarithmic one, phase 0.
    { "EmptyBinLinear", { 0, 3, 0, 4 }, Scale::Linear, { 0, 5 }, { 0, std::atan2(4, 3) } },
    { "EmptyBinLogarithmic", { 0, 3, 0, 4 }, Scale::Logarithmic, { floorDb, 10 * std::log10(25.0) },
        { 0, std::atan2(4, 3) } },
    // Powers below the smallest one of single-precision samples (or that
    // underflow to 0) show at the floor too.
    { "TinyPowersAtTheFloor", { 1e-200, 1e-160, 0, 0 }, Scale::Logarithmic, { floorDb, floorDb }, { 0, 0 } },
    // A sample that is not a number, or infinite, reads as 0.
    { "NotANumberReadsAsZero", { nan, 3, 4, inf }, Scale::Linear, { 4, 3 }, { M_PI / 2, 0 } },
    { "InfinityReadsAsZeroLogarithmic", { -inf, 0, 0, nan }, Scale::Logarithmic, { floorDb, floorDb },
        { 0, 0 } },
    // A power that overflows: the bin is empty.
    { "OverflowingPowerIsEmpty", { 1e200, 1e200 }, Scale::Logarithmic, { floorDb }, { 0 } },
};

class ChipFrameConverterTest : public ::testing::TestWithParam<ConversionCase> { };

TEST_P(ChipFrameConverterTest, AmplitudeAndPhasePerBin)
{
    const ConversionCase& c = GetParam();
    const AmplitudePhaseFrame result
        = ChipFrameConverter::amplitudeAndPhase(QList<qreal>(c.frame.begin(), c.frame.end()), c.scale);
    ASSERT_EQ(int(c.amplitudes.size()), result.amplitudeValues.size());
    ASSERT_EQ(int(c.phases.size()), result.phaseValues.size());
    for (size_t k = 0; k < c.amplitudes.size(); ++k) {
        EXPECT_DOUBLE_EQ(c.amplitudes[k], result.amplitudeValues.at(int(k))) << "bin " << k;
        EXPECT_DOUBLE_EQ(c.phases[k], result.phaseValues.at(int(k))) << "bin " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Frames, ChipFrameConverterTest, ::testing::ValuesIn(frameCases),
    [](const ::testing::TestParamInfo<ConversionCase>& param) { return std::string(param.param.name); });

// The floor lies below every bin that two single-precision samples make,
// down to the smallest of them, so an empty bin never shows above one with
// power.
TEST(ChipFrameConverter, TheFloorIsTheLowestPowerOfSinglePrecisionSamples)
{
    const double smallest = std::numeric_limits<float>::denorm_min();
    const AmplitudePhaseFrame result
        = ChipFrameConverter::amplitudeAndPhase({ smallest, 0.0, 0.0, 0.0 }, Scale::Logarithmic);
    ASSERT_EQ(2, result.amplitudeValues.size());
    EXPECT_NEAR(floorDb, result.amplitudeValues.at(0), 1e-9);
    EXPECT_GE(result.amplitudeValues.at(0), floorDb);
    EXPECT_EQ(floorDb, result.amplitudeValues.at(1));
    EXPECT_TRUE(std::isfinite(floorDb));
    EXPECT_NEAR(-897.06, floorDb, 0.01);
}

TEST(ChipFrameConverter, RfSamplesPassAsTheyAreButForNonFiniteOnes)
{
    EXPECT_EQ((QList<qreal> { 1.0, 0.0, 0.0, -2.5, 0.0 }),
        ChipFrameConverter::rfSamples({ 1.0, nan, -inf, -2.5, inf }));
    EXPECT_EQ(QList<qreal>(), ChipFrameConverter::rfSamples({}));
}

} // namespace
