#include "apps/BlinkyTape.hpp"

#include "TestStrips.hpp"
#include "support/MessageLog.hpp"
#include "support/QtPrinters.hpp"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <memory>

namespace {

using teststrips::bigStrip;
using teststrips::smallStrip;
using teststrips::TestPorts;
using teststrips::TestStrip;
using teststrips::UsbIds;

QByteArray byteList(std::initializer_list<int> values)
{
    QByteArray result;
    for (int v : values)
        result.append(char(v));
    return result;
}

// 1, 2, 3 ... wrapping before 255, so that no byte is an end mark.
QByteArray counting(int size)
{
    QByteArray result;
    for (int i = 0; i < size; ++i)
        result.append(char(1 + i % 250));
    return result;
}

class BlinkyTapeTest : public ::testing::Test {
protected:
    // A strip of the kind, listed and opened.
    std::unique_ptr<TestStrip> openStrip(BlinkyTape& tape, UsbIds ids = bigStrip)
    {
        auto strip = std::make_unique<TestStrip>(ids);
        ports.set({ strip->entry() });
        EXPECT_TRUE(tape.open(strip->entry()));
        return strip;
    }

    TestPorts ports;
};

TEST_F(BlinkyTapeTest, OnlyPortsWithAStripsUsbIdsAreStrips)
{
    auto port = [](const char* name, bool usb, quint16 vendor, quint16 product) {
        SerialPortEntry entry;
        entry.systemLocation = QString::fromLatin1(name);
        entry.description = QStringLiteral("BlinkyTape");
        entry.hasUsbIds = usb;
        entry.vendorId = vendor;
        entry.productId = product;
        return entry;
    };
    ports.set({ port("/dev/a", true, 0x1D50, 0x60AA), port("/dev/b", true, 0x1D50, 0x6000),
        port("/dev/c", true, 0x2341, 0x8036), port("/dev/d", false, 0x1D50, 0x605E),
        port("/dev/e", true, 0x2342, 0x8036), port("/dev/f", true, 0x1209, 0x8888),
        port("/dev/g", true, 0x1D50, 0x605E), port("/dev/h", true, 0x1209, 0x605E) });

    QStringList found;
    for (const SerialPortEntry& entry : BlinkyTape::findBlinkyTapes())
        found.append(entry.systemLocation);
    EXPECT_EQ((QStringList { "/dev/a", "/dev/c", "/dev/f", "/dev/g" }), found);
}

struct TapeFrameCase {
    const char* name;
    UsbIds ids;
    QByteArray frame;
    QByteArray wire;
};

void PrintTo(const TapeFrameCase& c, std::ostream* os)
{
    *os << c.name;
}

class BlinkyTapeFrameTest : public BlinkyTapeTest, public ::testing::WithParamInterface<TapeFrameCase> { };

TEST_P(BlinkyTapeFrameTest, SendsTheFrameAsTheStripReadsIt)
{
    const TapeFrameCase& c = GetParam();
    BlinkyTape tape;
    auto strip = openStrip(tape, c.ids);
    MessageLog log;

    tape.sendUpdate(c.frame);
    ASSERT_TRUE(strip->waitForBytes(c.wire.size()));
    EXPECT_EQ(c.wire.toHex(' '), strip->received().toHex(' '));
    EXPECT_TRUE(log.warnings().isEmpty()) << log.warnings().join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Frames, BlinkyTapeFrameTest,
    ::testing::Values(
        TapeFrameCase { "SixtyLeds", bigStrip, counting(180), counting(180) + byteList({ 0xFF }) },
        TapeFrameCase { "FullValueIsSentOneLower", bigStrip, byteList({ 0xFF, 0x00, 0xFE, 0xFF, 0xFF, 0x7F }),
            byteList({ 0xFE, 0x00, 0xFE, 0xFE, 0xFE, 0x7F, 0xFF }) },
        TapeFrameCase { "EmptyFrameIsTheEndMarkAlone", bigStrip, QByteArray(), byteList({ 0xFF }) },
        // Longer than one write of 300 bytes: all of it, in order.
        TapeFrameCase { "LongerThanOneWrite", bigStrip, counting(700), counting(700) + byteList({ 0xFF }) },
        // The small strip's 10 LEDs take exactly 30 bytes.
        TapeFrameCase {
            "SmallStripTakesTheFirstTenLeds", smallStrip, counting(180), counting(30) + byteList({ 0xFF }) },
        TapeFrameCase { "SmallStripPadsAShortFrameWithBlack", smallStrip, byteList({ 0x01, 0xFF, 0x03 }),
            byteList({ 0x01, 0xFE, 0x03 }) + QByteArray(27, '\0') + byteList({ 0xFF }) },
        TapeFrameCase { "SmallStripCutsBeforeReplacing", smallStrip, counting(30) + byteList({ 0xFF }),
            counting(30) + byteList({ 0xFF }) }),
    [](const ::testing::TestParamInfo<TapeFrameCase>& param) { return std::string(param.param.name); });

TEST_F(BlinkyTapeTest, OpensAtTheStripsSpeedOnceAndReportsItsPort)
{
    BlinkyTape tape;
    QSignalSpy status(&tape, &BlinkyTape::connectionStatusChanged);
    MessageLog log;
    auto strip = openStrip(tape);

    EXPECT_TRUE(tape.isConnected());
    EXPECT_EQ((QList<QList<QVariant>> { { true } }), status);
    EXPECT_EQ(speed_t(B115200), strip->speed());
    SerialPortEntry port;
    ASSERT_TRUE(tape.getPortInfo(port));
    EXPECT_EQ(strip->path(), port.systemLocation);
    EXPECT_TRUE(log.messages().contains("Connecting to BlinkyTape on " + strip->path()));

    EXPECT_FALSE(tape.open(strip->entry()));
    EXPECT_EQ(QStringList { "Already connected to a BlinkyTape" }, log.warnings());
    EXPECT_TRUE(tape.isConnected());
    EXPECT_EQ(1, status.count());
}

TEST_F(BlinkyTapeTest, AStripThatIsNotConnectedSendsNothing)
{
    BlinkyTape tape;
    MessageLog log;
    SerialPortEntry missing;
    missing.systemLocation = QStringLiteral("/dev/pts/no-such-strip");

    EXPECT_FALSE(tape.open(missing));
    EXPECT_FALSE(tape.isConnected());
    EXPECT_EQ(1, log.count("Could not connect to BlinkyTape. Error: QSerialPort::DeviceNotFoundError "));
    SerialPortEntry port;
    EXPECT_FALSE(tape.getPortInfo(port));

    const int before = log.messages().size();
    tape.sendUpdate(counting(180));
    tape.reset();
    EXPECT_EQ(QStringList { "Strip not connected, not sending update!" }, log.messages().mid(before));
}

// A strip that cannot keep up loses frames, never a part of one: no frame
// is queued behind bytes that are still waiting for the port.
TEST_F(BlinkyTapeTest, AFrameIsDroppedWhileThePreviousOneIsStillWaiting)
{
    BlinkyTape tape;
    auto strip = openStrip(tape);
    MessageLog log;
    const QString dropped = QStringLiteral("Output data still in buffer, dropping this update frame");

    // The strip does not read: the line fills up, and the frames sent in a
    // row without the event loop running find the previous one waiting.
    QByteArray expected;
    int drops = 0;
    for (int i = 0; i < 10000 && drops < 3; ++i) {
        QByteArray frame = counting(180);
        frame[0] = char(1 + i % 250);
        frame[1] = char(1 + i / 250 % 250);
        tape.sendUpdate(frame);
        const int now = log.count(dropped);
        if (now == drops)
            expected += frame + byteList({ 0xFF });
        drops = now;
    }
    ASSERT_EQ(3, drops);
    ASSERT_TRUE(strip->waitForBytes(expected.size()));
    EXPECT_EQ(expected.size(), strip->received().size());
    EXPECT_TRUE(expected == strip->received());
    EXPECT_TRUE(log.warnings().isEmpty()) << log.warnings().join('\n').toStdString();
    EXPECT_TRUE(tape.isConnected());
}

TEST_F(BlinkyTapeTest, ResetLeavesTheLineAt1200BaudAndCloses)
{
    BlinkyTape tape;
    auto strip = openStrip(tape);
    QSignalSpy status(&tape, &BlinkyTape::connectionStatusChanged);
    MessageLog log;

    tape.reset();
    EXPECT_FALSE(tape.isConnected());
    EXPECT_EQ((QList<QList<QVariant>> { { false } }), status);
    EXPECT_EQ((QStringList { "Attempting to reset BlinkyTape", "Hit reset timer",
                  "Baud rate updated to 1200bps, closing!" }),
        log.messages());
    EXPECT_EQ(speed_t(B1200), strip->speed());
}

// Unplugging, as the port list shows it or as the port reports it, closes
// the strip; it stays closed.
TEST_F(BlinkyTapeTest, AStripThatLeavesThePortListCloses)
{
    BlinkyTape tape;
    auto strip = openStrip(tape);
    QSignalSpy status(&tape, &BlinkyTape::connectionStatusChanged);

    ports.set({});
    ASSERT_TRUE(status.wait(5000));
    EXPECT_EQ((QList<QList<QVariant>> { { false } }), status);
    EXPECT_FALSE(tape.isConnected());
    ports.set({ strip->entry() });
    EXPECT_FALSE(QTest::qWaitFor([&] { return tape.isConnected(); }, 300));
}

TEST_F(BlinkyTapeTest, AStripThatHangsUpCloses)
{
    BlinkyTape tape;
    auto strip = openStrip(tape);
    QSignalSpy status(&tape, &BlinkyTape::connectionStatusChanged);
    MessageLog log;

    // Still listed: the port's own error closes it. (A pseudo-terminal
    // reports a hang-up as a read error, a USB port that goes as a resource
    // error.)
    strip->unplug();
    ASSERT_TRUE(status.wait(5000));
    EXPECT_FALSE(tape.isConnected());
    EXPECT_EQ((QList<QList<QVariant>> { { false } }), status);
    EXPECT_EQ(1,
        log.count("Serial resource error, BlinkyTape unplugged?") + log.count("Unrecognized serial error:"))
        << log.messages().join('\n').toStdString();
}

TEST_F(BlinkyTapeTest, AStripThatVanishesMidWriteClosesAtOnce)
{
    BlinkyTape tape;
    auto strip = openStrip(tape);
    QSignalSpy status(&tape, &BlinkyTape::connectionStatusChanged);
    MessageLog log;

    // Gone before the event loop could notice: the write itself finds out,
    // and the rest of the frame is not written to a closed port.
    strip->unplug();
    tape.sendUpdate(counting(700));
    EXPECT_FALSE(tape.isConnected());
    EXPECT_EQ((QList<QList<QVariant>> { { false } }), status);
    EXPECT_EQ(0, log.count("QIODevice::write")) << log.messages().join('\n').toStdString();
    EXPECT_EQ(
        QStringList { "Serial resource error, BlinkyTape unplugged? Input/output error" }, log.warnings());
}

} // namespace
