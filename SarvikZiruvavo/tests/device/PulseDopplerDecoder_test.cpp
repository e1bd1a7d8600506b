#include "device/PulseDopplerDecoder.hpp"

#include "support/MessageLog.hpp"
#include "support/QtPrinters.hpp"

#include <QtEndian>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

const uint floatRows = 0x10;
const uint byteRows = 0x11;

const QString dataLoss = QStringLiteral("WARNING: detected data loss in pulse doppler data");
const QString waiting = QStringLiteral("WARNING: ignoring current pd data while waiting for first matrix");

// One half row as the module sends it. The first half has the negative
// frequencies: it starts at -m × step.
struct Half {
    quint32 rangeIndex = 0;
    bool first = true;
    quint32 rangeCount = 2;
    quint32 m = 3;
    quint32 instance = 0;
    float range = 1.0f;
    // Values carried; by default m of them (float rows: 10, 100, 1000 ...).
    int carried = -1;
    uint contentId = floatRows;
    float byteOffset = -80.0f;
    float byteStep = 0.5f;
    quint8 byteValue = 100;
    // Float values carried instead of the default ones.
    std::vector<float> floatValues;

    QByteArray payload() const
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
        const float step = 0.5f;
        u32(0xA1);
        u32(0xA2);
        u32(rangeIndex);
        u32(rangeCount);
        u32(m);
        u32(instance);
        if (contentId == byteRows) {
            f32(byteOffset);
            f32(byteStep);
        }
        f32(11.0f); // not used
        f32(12.0f); // not used
        f32(first ? -float(m) * step : 0.0f);
        f32(step);
        f32(range);
        const int count = carried < 0 ? int(m) : carried;
        for (int k = 0; k < count; ++k) {
            if (contentId == byteRows)
                bytes.append(char(byteValue));
            else if (!floatValues.empty())
                f32(floatValues[size_t(k) % floatValues.size()]);
            else
                f32(std::pow(10.0f, float(k + 1)));
        }
        return bytes;
    }
};

Half first(quint32 rangeIndex)
{
    Half h;
    h.rangeIndex = rangeIndex;
    h.range = 1.0f + float(rangeIndex);
    return h;
}

Half second(quint32 rangeIndex)
{
    Half h = first(rangeIndex);
    h.first = false;
    return h;
}

template <typename Change> Half with(Half h, Change change)
{
    change(h);
    return h;
}

// Feeds the halves; returns how many matrices they completed.
int feed(PulseDopplerDecoder& decoder, const std::vector<Half>& halves)
{
    int completed = 0;
    for (const Half& h : halves)
        completed += decoder.addHalfRow(h.contentId, h.payload()).has_value() ? 1 : 0;
    return completed;
}

std::vector<Half> wholeMatrix(quint32 rangeCount = 2, quint32 instance = 0, float rangeBase = 1.0f)
{
    std::vector<Half> halves;
    for (quint32 r = 0; r < rangeCount; ++r) {
        for (bool isFirst : { true, false }) {
            Half h = first(r);
            h.first = isFirst;
            h.rangeCount = rangeCount;
            h.instance = instance;
            h.range = rangeBase + float(r);
            halves.push_back(h);
        }
    }
    return halves;
}

TEST(PulseDopplerDecoderTest, FourHalvesMakeOneMatrixOfTwoFullRows)
{
    PulseDopplerDecoder decoder;
    MessageLog log;
    std::vector<std::optional<uint>> results;
    for (const Half& h : wholeMatrix())
        results.push_back(decoder.addHalfRow(h.contentId, h.payload()));

    EXPECT_EQ((std::vector<std::optional<uint>> { std::nullopt, std::nullopt, std::nullopt, 0u }), results);
    EXPECT_TRUE(log.warnings().isEmpty()) << log.warnings().join('\n').toStdString();
    ASSERT_EQ(1, decoder.finishedMatrixCount(0));
    const PulseDopplerDecoder::Matrix matrix = decoder.takeOldestMatrix(0);
    ASSERT_TRUE(matrix);
    ASSERT_EQ(2, matrix->size());
    for (int r = 0; r < 2; ++r) {
        const auto& row = *matrix->at(r);
        ASSERT_EQ(6, row.size());
        // x: the frequency, from -1.5 in steps of 0.5 across both halves;
        // y: the value in dB (10, 100, 1000 in each half); z: the row's range.
        const float x[] = { -1.5f, -1.0f, -0.5f, 0.0f, 0.5f, 1.0f };
        const float y[] = { 10, 20, 30, 10, 20, 30 };
        for (int k = 0; k < 6; ++k) {
            EXPECT_FLOAT_EQ(x[k], row[k].x()) << r << ", " << k;
            EXPECT_NEAR(y[k], row[k].y(), 1e-4) << r << ", " << k;
            EXPECT_FLOAT_EQ(1.0f + float(r), row[k].z()) << r << ", " << k;
        }
    }
    EXPECT_EQ(0, decoder.finishedMatrixCount(0));
}

TEST(PulseDopplerDecoderTest, ByteValuesAreScaledIntoDecibels)
{
    PulseDopplerDecoder decoder;
    std::vector<Half> halves = wholeMatrix(1);
    for (Half& h : halves)
        h.contentId = byteRows;
    ASSERT_EQ(1, feed(decoder, halves));
    const PulseDopplerDecoder::Matrix matrix = decoder.takeOldestMatrix(0);
    ASSERT_EQ(1, matrix->size());
    // b = 100, step 0.5, offset -80: 10^((50 - 80) / 10) is -30 dB.
    for (const auto& item : *matrix->at(0))
        EXPECT_NEAR(-30.0f, item.y(), 1e-4);
    EXPECT_FLOAT_EQ(-1.5f, matrix->at(0)->at(0).x());
}

TEST(PulseDopplerDecoderTest, TheTwoInstancesAssembleIndependently)
{
    PulseDopplerDecoder decoder;
    const std::vector<Half> slow = wholeMatrix(2, 0);
    const std::vector<Half> fast = wholeMatrix(2, 1, 10.0f);
    std::vector<std::optional<uint>> completed;
    for (size_t i = 0; i < slow.size(); ++i) {
        for (const Half& h : { slow[i], fast[i] }) {
            if (auto instance = decoder.addHalfRow(h.contentId, h.payload()))
                completed.push_back(instance);
        }
    }
    EXPECT_EQ((std::vector<std::optional<uint>> { 0u, 1u }), completed);
    EXPECT_FLOAT_EQ(1.0f, decoder.takeOldestMatrix(0)->at(0)->at(0).z());
    EXPECT_FLOAT_EQ(10.0f, decoder.takeOldestMatrix(1)->at(0)->at(0).z());
}

TEST(PulseDopplerDecoderTest, AMatrixStartsOnlyWithTheFirstHalfOfRowZero)
{
    for (const Half& opening : { first(1), second(0), second(1) }) {
        PulseDopplerDecoder decoder;
        MessageLog log;
        EXPECT_EQ(0, feed(decoder, { opening, second(1) }));
        EXPECT_EQ((QStringList { waiting, waiting }), log.warnings());
        // Row 0 then starts a matrix as usual.
        EXPECT_EQ(1, feed(decoder, wholeMatrix()));
    }
}

TEST(PulseDopplerDecoderTest, AnUnsupportedInstanceIsRefusedAndChangesNothing)
{
    PulseDopplerDecoder decoder;
    MessageLog log;
    const std::vector<Half> halves = wholeMatrix();
    feed(decoder, { halves[0] });
    EXPECT_FALSE(decoder.addHalfRow(floatRows, with(second(0), [](Half& h) { h.instance = 2; }).payload()));
    EXPECT_FALSE(
        decoder.addHalfRow(floatRows, with(first(0), [](Half& h) { h.instance = 0xFFFFFFFF; }).payload()));
    EXPECT_EQ((QStringList { "WARNING: ignoring pulse doppler data for unsupported instance: 2",
                  "WARNING: ignoring pulse doppler data for unsupported instance: 4294967295" }),
        log.warnings());
    EXPECT_EQ(1, feed(decoder, { halves[1], halves[2], halves[3] }));
    EXPECT_EQ(nullptr, decoder.takeOldestMatrix(2));
    EXPECT_EQ(0, decoder.finishedMatrixCount(2));
}

struct LossCase {
    const char* name;
    std::vector<Half> halves;
};

void PrintTo(const LossCase& c, std::ostream* os)
{
    *os << c.name;
}

class PulseDopplerDataLossTest : public ::testing::TestWithParam<LossCase> { };

// Lost halves and halves that do not fit the matrix drop the partial matrix
// with one warning; the next matrix starts cleanly at row 0.
TEST_P(PulseDopplerDataLossTest, DropsThePartialMatrixAndStartsAgain)
{
    PulseDopplerDecoder decoder;
    MessageLog log;
    EXPECT_EQ(0, feed(decoder, GetParam().halves));
    EXPECT_EQ(QStringList { dataLoss }, log.warnings());
    EXPECT_EQ(0, decoder.finishedMatrixCount(0));

    EXPECT_EQ(0, feed(decoder, { second(1) }));
    EXPECT_EQ(1, feed(decoder, wholeMatrix()));
    EXPECT_EQ(2, decoder.takeOldestMatrix(0)->size());
}

auto m(quint32 value)
{
    return [value](Half& h) { h.m = value; };
}

auto rangeCount(quint32 value)
{
    return [value](Half& h) { h.rangeCount = value; };
}

auto carried(int value)
{
    return [value](Half& h) { h.carried = value; };
}

INSTANTIATE_TEST_SUITE_P(Halves, PulseDopplerDataLossTest,
    ::testing::Values(LossCase { "RowSkipped", { first(0), first(2) } },
        LossCase { "SecondHalfOfRowZeroMissing", { first(0), first(1) } },
        LossCase { "FirstHalfOfRowOneMissing", { first(0), second(0), second(1) } },
        LossCase { "SecondHalfRepeated", { first(0), second(0), second(0) } },
        LossCase { "WidthChangesBetweenTheHalves", { first(0), with(second(0), m(4)) } },
        LossCase { "WidthChangesBetweenRows", { first(0), second(0), with(first(1), m(2)) } },
        LossCase { "RowCountChangesBetweenTheHalves", { first(0), with(second(0), rangeCount(3)) } },
        LossCase { "RowCountZero", { with(first(0), rangeCount(0)) } },
        LossCase { "FewerValuesThanAnnounced", { first(0), with(second(0), carried(2)) } },
        LossCase { "ByteRowShortOfItsValues",
            { with(first(0), [](Half& h) { h.contentId = byteRows, h.carried = 2; }) } },
        // Nothing is made for a width the payload does not hold.
        LossCase { "HugeWidthInASmallPayload",
            { with(first(0), [](Half& h) { h.m = 0xFFFFFFFF, h.carried = 3; }) } },
        LossCase { "HugeWidthInASmallSecondHalf",
            { first(0), with(second(0), [](Half& h) { h.m = 0x80000000, h.carried = 3; }) } }),
    [](const ::testing::TestParamInfo<LossCase>& param) { return std::string(param.param.name); });

TEST(PulseDopplerDecoderTest, AHugeRowCountCostsOnlyTheRowsThatArrive)
{
    PulseDopplerDecoder decoder;
    MessageLog log;
    std::vector<Half> halves;
    for (quint32 r = 0; r < 3; ++r) {
        for (Half h : { first(r), second(r) }) {
            h.rangeCount = 0xFFFFFFFF;
            halves.push_back(h);
        }
    }
    EXPECT_EQ(0, feed(decoder, halves));
    EXPECT_TRUE(log.warnings().isEmpty());
}

TEST(PulseDopplerDecoderTest, TheNewestFiftyMatricesAreKept)
{
    PulseDopplerDecoder decoder;
    for (int i = 0; i < 51; ++i)
        ASSERT_EQ(1, feed(decoder, wholeMatrix(2, 1, float(i) * 100.0f)));
    EXPECT_EQ(50, decoder.finishedMatrixCount(1));
    EXPECT_EQ(0, decoder.finishedMatrixCount(0));
    // Matrix 0 went; 1 is the oldest left, 50 the newest.
    for (int i = 1; i <= 50; ++i)
        ASSERT_FLOAT_EQ(float(i) * 100.0f, decoder.takeOldestMatrix(1)->at(0)->at(0).z());
    EXPECT_EQ(nullptr, decoder.takeOldestMatrix(1));
}

TEST(PulseDopplerDecoderTest, ResetDropsFinishedAndPartialMatricesOfBothInstances)
{
    PulseDopplerDecoder decoder;
    feed(decoder, wholeMatrix(2, 0));
    feed(decoder, wholeMatrix(2, 1));
    const std::vector<Half> partial = wholeMatrix(2, 1);
    feed(decoder, { partial[0], partial[1] });

    decoder.reset();
    EXPECT_EQ(0, decoder.finishedMatrixCount(0));
    EXPECT_EQ(0, decoder.finishedMatrixCount(1));
    MessageLog log;
    EXPECT_EQ(0, feed(decoder, { partial[2] }));
    EXPECT_EQ(QStringList { waiting }, log.warnings());
}

} // namespace

// Powers without a decibel value (none, below zero, no number, endless) and
// byte scales that are no numbers put their points at the floor: every point
// of a surface is a number.
TEST(PulseDopplerDecoderTest, PointsWithoutADecibelValueLieAtTheFloor)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* name;
        Half half;
        float decibels;
    };
    const Case cases[] = {
        { "no power", with(first(0), [&](Half& h) { h.floatValues = { 0.0f }; }),
            PulseDopplerDecoder::noPowerDecibels },
        { "negative power", with(first(0), [&](Half& h) { h.floatValues = { -4.0f }; }),
            PulseDopplerDecoder::noPowerDecibels },
        { "no number", with(first(0), [&](Half& h) { h.floatValues = { nan }; }),
            PulseDopplerDecoder::noPowerDecibels },
        { "endless power", with(first(0), [&](Half& h) { h.floatValues = { inf }; }),
            PulseDopplerDecoder::noPowerDecibels },
        { "a power of 100", with(first(0), [&](Half& h) { h.floatValues = { 100.0f }; }), 20.0f },
        { "byte scale offset no number",
            with(first(0),
                [&](Half& h) {
                    h.contentId = byteRows;
                    h.byteOffset = nan;
                }),
            PulseDopplerDecoder::noPowerDecibels },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PulseDopplerDecoder decoder;
        Half h = c.half;
        h.rangeCount = 1;
        Half h2 = h;
        h2.first = false;
        ASSERT_FALSE(decoder.addHalfRow(h.contentId, h.payload()).has_value());
        ASSERT_TRUE(decoder.addHalfRow(h2.contentId, h2.payload()).has_value());
        PulseDopplerDecoder::Matrix matrix = decoder.takeOldestMatrix(0);
        ASSERT_TRUE(matrix);
        for (const QtDataVisualization::QSurfaceDataItem& item : *matrix->at(0))
            EXPECT_FLOAT_EQ(c.decibels, item.y());
    }
}
