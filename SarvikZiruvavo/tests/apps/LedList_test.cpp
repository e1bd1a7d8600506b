#include "apps/LedList.hpp"

#include "TestStrips.hpp"
#include "support/MessageLog.hpp"
#include "support/QtPrinters.hpp"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace {

using teststrips::bigStrip;
using teststrips::smallStrip;
using teststrips::TestPorts;
using teststrips::TestStrip;
using teststrips::UsbIds;

const int frameBytes = 3 * LedList::ledCount;

QByteArray led(const QColor& color)
{
    QByteArray bytes;
    bytes.append(char(color.red())).append(char(color.green())).append(char(color.blue()));
    return bytes;
}

QByteArray solid(int red, int green, int blue)
{
    return led(QColor(red, green, blue)).repeated(LedList::ledCount);
}

// LEDs 0 to `lit` in the colour, then a tail of 12 that fades, darker by
// these factors, and the rest as dark as the tail's end.
QByteArray bar(int lit, const QColor& color)
{
    const int tail[] = { 933, 1766, 2600, 3433, 4266, 5100, 5933, 6766, 7600, 8433, 9266, 10100 };
    QByteArray bytes;
    for (int i = 0; i < LedList::ledCount; ++i) {
        const int d = i - lit;
        bytes += led(d <= 0 ? color : color.darker(tail[std::min(d, 12) - 1]));
    }
    return bytes;
}

RespirationStatus statusRecord(quint32 state, float movement = 0.0f, quint32 rpm = 0)
{
    RespirationStatus record;
    record.frameCounter = 7;
    record.state = state;
    record.rpm = rpm;
    record.objectDistance = 0.8f;
    record.objectMovement = movement;
    record.signalQuality = 3;
    return record;
}

QByteArray endMark()
{
    return QByteArray(1, char(0xFF));
}

class LedListTest : public ::testing::Test {
protected:
    std::unique_ptr<TestStrip> addStrip(UsbIds ids)
    {
        auto strip = std::make_unique<TestStrip>(ids);
        EXPECT_TRUE(strip->valid());
        listed.append(strip->entry());
        ports.set(listed);
        return strip;
    }
    void unlist(const TestStrip& strip)
    {
        listed.erase(std::remove_if(listed.begin(), listed.end(),
                         [&](const SerialPortEntry& e) { return e.systemLocation == strip.path(); }),
            listed.end());
        ports.set(listed);
    }

    TestPorts ports;
    QList<SerialPortEntry> listed;
};

TEST_F(LedListTest, WithoutStripsItOnlyCountsThem)
{
    MessageLog log;
    {
        LedList leds;
        for (quint32 state = 0; state < 8; ++state)
            leds.showRespirationStatus(statusRecord(state, 1.0f, 50));
    }
    EXPECT_EQ(QStringList { "BlinkyTapes found: 0" }, log.messages());
}

struct PatternCase {
    const char* name;
    RespirationStatus record;
    QByteArray frame;
};

void PrintTo(const PatternCase& c, std::ostream* os)
{
    *os << c.name;
}

class LedListPatternTest : public LedListTest, public ::testing::WithParamInterface<PatternCase> { };

// Both strips show the pattern, each as its kind takes it.
TEST_P(LedListPatternTest, ShowsTheStateOnBothStrips)
{
    const PatternCase& c = GetParam();
    ASSERT_EQ(frameBytes, c.frame.size());
    auto big = addStrip(bigStrip);
    auto small = addStrip(smallStrip);
    LedList leds;
    MessageLog log;

    leds.showRespirationStatus(c.record);
    ASSERT_TRUE(big->waitForBytes(frameBytes + 1));
    ASSERT_TRUE(small->waitForBytes(31));
    EXPECT_EQ((c.frame + endMark()).toHex(' '), big->take().toHex(' '));
    EXPECT_EQ((c.frame.left(30) + endMark()).toHex(' '), small->take().toHex(' '));
    EXPECT_TRUE(log.warnings().isEmpty()) << log.warnings().join('\n').toStdString();
}

const QColor darkBlue(0, 0, 139);
const QColor green(0, 128, 0);

INSTANTIATE_TEST_SUITE_P(Patterns, LedListPatternTest,
    ::testing::Values(
        // Breathing: the movement from -4 to 4 as a level from 0 to 100.
        PatternCase { "BreathingStillIsHalf", statusRecord(0, 0.0f), bar(30, darkBlue) },
        PatternCase { "BreathingOut", statusRecord(0, 1.0f), bar(37, darkBlue) }, // level 62
        PatternCase { "BreathingIn", statusRecord(0, -2.5f), bar(10, darkBlue) }, // level 18
        PatternCase { "BreathingFullLightsAll", statusRecord(0, 4.5f), solid(0, 0, 139) },
        PatternCase { "BreathingEmptyLightsLedZeroAndItsTail", statusRecord(0, -4.5f), bar(0, darkBlue) },
        PatternCase { "BreathingWithoutAValueIsStill",
            statusRecord(0, std::numeric_limits<float>::quiet_NaN()), bar(30, darkBlue) },
        // Full red would be the end mark: it goes out one lower.
        PatternCase { "MovementIsOrange", statusRecord(1), solid(254, 140, 0) },
        PatternCase { "MovementTrackingIsOrange", statusRecord(2), solid(254, 140, 0) },
        PatternCase { "NoMovementIsDark", statusRecord(3), solid(0, 0, 0) },
        // Initialising: the progress in the low byte of the rate.
        PatternCase { "InitialisingShowsItsProgress", statusRecord(4, 0.0f, 0x7732), bar(30, green) },
        PatternCase { "InitialisingBeyondFullLightsAll", statusRecord(4, 0.0f, 0xFF), solid(0, 128, 0) },
        PatternCase { "ErrorIsDark", statusRecord(5), solid(0, 0, 0) },
        PatternCase { "NoConnectionIsDark", statusRecord(7), solid(0, 0, 0) }),
    [](const ::testing::TestParamInfo<PatternCase>& param) { return std::string(param.param.name); });

TEST_F(LedListTest, UsesTheFirstTwoStripsFound)
{
    auto first = addStrip(bigStrip);
    auto second = addStrip({ 0x2341, 0x8036 });
    auto third = addStrip({ 0x1D50, 0x60AA });
    MessageLog log;
    LedList leds;
    EXPECT_EQ((QStringList { "BlinkyTapes found: 3", "Attempting to connect to tape on: " + first->path(),
                  "Attempting to connect to tape on: " + second->path() }),
        log.messages().filter(QRegularExpression("^(BlinkyTapes|Attempting)")));

    leds.showRespirationStatus(statusRecord(3));
    ASSERT_TRUE(first->waitForBytes(frameBytes + 1));
    ASSERT_TRUE(second->waitForBytes(frameBytes + 1));
    EXPECT_TRUE(third->received().isEmpty());
}

TEST_F(LedListTest, AStripThatDoesNotOpenIsSkippedSilently)
{
    SerialPortEntry missing;
    missing.systemLocation = QStringLiteral("/dev/pts/no-such-strip");
    missing.hasUsbIds = true;
    missing.vendorId = bigStrip.vendor;
    missing.productId = bigStrip.product;
    listed.append(missing);
    auto working = addStrip(bigStrip);
    LedList leds;
    MessageLog log;

    leds.showRespirationStatus(statusRecord(3));
    ASSERT_TRUE(working->waitForBytes(frameBytes + 1));
    EXPECT_TRUE(log.warnings().isEmpty()) << log.warnings().join('\n').toStdString();
}

TEST_F(LedListTest, GoingAwayBlanksTheStrips)
{
    auto strip = addStrip(bigStrip);
    auto leds = std::make_unique<LedList>();
    leds->showRespirationStatus(statusRecord(1));
    ASSERT_TRUE(strip->waitForBytes(frameBytes + 1));
    strip->take();

    leds.reset();
    ASSERT_TRUE(strip->waitForBytes(frameBytes + 1));
    EXPECT_EQ((solid(0, 0, 0) + endMark()).toHex(' '), strip->take().toHex(' '));
}

// A working strip that goes away, whether its port leaves the list or fails
// under a write, is searched for again; the other strip carries on.
TEST_F(LedListTest, AStripThatGoesAwayIsFoundAgain)
{
    for (bool midWrite : { false, true }) {
        SCOPED_TRACE(midWrite ? "vanishes mid-write" : "leaves the port list");
        listed.clear();
        auto staying = addStrip(bigStrip);
        auto leaving = addStrip(smallStrip);
        LedList leds(nullptr, 20);
        MessageLog log;

        if (midWrite) {
            leaving->unplug();
            leds.showRespirationStatus(statusRecord(3));
        }
        // Plugged in again, under another name.
        unlist(*leaving);
        auto replacement = addStrip(smallStrip);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return log.count("Attempting to connect to tape on: " + replacement->path()) == 1; },
            5000));

        staying->take();
        leds.showRespirationStatus(statusRecord(1));
        ASSERT_TRUE(replacement->waitForBytes(31));
        EXPECT_EQ((solid(254, 140, 0).left(30) + endMark()).toHex(' '), replacement->take().toHex(' '));
        ASSERT_TRUE(staying->waitForBytes(frameBytes + 1));
        EXPECT_EQ((solid(254, 140, 0) + endMark()).toHex(' '), staying->take().toHex(' '));
    }
}

} // namespace
