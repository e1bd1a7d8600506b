// The worker's connection: opening per model, what close sends, and the data
// packets that reach the owner's thread as signals.
#include "device/SarvikDevice.hpp"
#include "support/MessageLog.hpp"
#include "support/QtPrinters.hpp"
#include "support/WirePayloads.hpp"
#include "support/WorkerHarness.hpp"

#include "simmodule/FileSystem.hpp"
#include "simmodule/Messages.hpp"
#include "simmodule/PayloadWriter.hpp"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <ostream>

namespace {

using simmodule::PayloadWriter;
using wire::Bytes;

struct OpenRow {
    const char* name;
    quint32 deviceType;
    quint32 connectionMode;
    bool opens;
    std::vector<Bytes> openPayloads;
    std::vector<Bytes> closePayloads;
};

void PrintTo(const OpenRow& row, std::ostream* os)
{
    *os << row.name;
}

class SarvikDeviceOpenTest : public ::testing::TestWithParam<OpenRow> { };

// The crash-dump delete is the plainest slot that opens the module first.
TEST_P(SarvikDeviceOpenTest, OpensByModelAndClosesTheWayTheModelStops)
{
    const OpenRow& row = GetParam();
    SarvikDeviceInfo base;
    base.connectionMode = row.connectionMode;
    ModuleWorker fixture(row.deviceType, base);

    EXPECT_EQ(row.opens, fixture.thread().call("deleteCrashDumpOnModule"));
    std::vector<Bytes> expected = row.openPayloads;
    if (row.opens)
        expected.push_back(wire::deleteFile(simmodule::file_type::crash_dump, 0));
    else
        EXPECT_EQ(QStringLiteral("failed to open sensor"), fixture.worker().lastError());
    EXPECT_TRUE(fixture.received(expected));
    EXPECT_EQ(row.opens, fixture.worker().isOpen());

    fixture.clearReceived();
    fixture.thread().close();
    EXPECT_FALSE(fixture.worker().isOpen());
    EXPECT_TRUE(fixture.received(row.closePayloads));
}

INSTANTIATE_TEST_SUITE_P(ByModel, SarvikDeviceOpenTest,
    ::testing::Values(OpenRow { "Corvid", SarvikDeviceInfo::CorvidDevice, SarvikDeviceInfo::NormalMode, true,
                          { wire::sensorIdle(), wire::ping() }, { wire::sensorIdle() } },
        OpenRow { "Osprey", SarvikDeviceInfo::OspreyDevice, SarvikDeviceInfo::NormalMode, true,
            { wire::sensorIdle(), wire::ping() }, { wire::sensorIdle() } },
        OpenRow { "Gannet", SarvikDeviceInfo::GannetDevice, SarvikDeviceInfo::NormalMode, true,
            { wire::sensorIdle(), wire::ping() }, { wire::sensorIdle() } },
        OpenRow { "Dax", SarvikDeviceInfo::DaxDevice, SarvikDeviceInfo::NormalMode, true, { wire::ping() },
            { wire::chipSetF32(wire::chip::fps, 0.0f) } },
        // A module in safe mode is opened although its model is unknown, and
        // left alone when closed.
        OpenRow { "UnknownInSafeMode", SarvikDeviceInfo::UnknownDevice, SarvikDeviceInfo::SafeMode, true,
            { wire::sensorIdle(), wire::ping() }, {} },
        OpenRow {
            "UnknownModel", SarvikDeviceInfo::UnknownDevice, SarvikDeviceInfo::NormalMode, false, {}, {} }),
    [](const ::testing::TestParamInfo<OpenRow>& row) { return std::string(row.param.name); });

TEST(SarvikDeviceTest, OpenCheckAcceptsBothGoodPongsOnly)
{
    const struct {
        uint32_t pong;
        bool accepted;
    } table[] = { { 0xAAEEAEEA, true }, { 0xFFEEFEEF, true }, { 0xAEEAEEAA, false }, { 0xEEAAEAAE, false } };
    for (const auto& row : table) {
        ModuleWorker fixture(SarvikDeviceInfo::FalconDevice);
        fixture.module().add_rule_first(simmodule::Rule(wire::ping()).reply(simmodule::pong_reply(row.pong)));
        EXPECT_EQ(row.accepted, fixture.thread().call("deleteCrashDumpOnModule")) << std::hex << row.pong;
        // A module that fails the check stays connected: the next call tries
        // it again without a new connection.
        EXPECT_TRUE(fixture.worker().isOpen());
    }
}

TEST(SarvikDeviceTest, OnlyTheOlderModuleMustAcceptTheIdleCommandToOpen)
{
    for (const quint32 deviceType : { SarvikDeviceInfo::CorvidDevice, SarvikDeviceInfo::FalconDevice }) {
        ModuleWorker fixture(deviceType);
        fixture.failCommand(wire::sensorIdle());
        const bool opened = fixture.thread().call("deleteCrashDumpOnModule");
        EXPECT_EQ(deviceType != SarvikDeviceInfo::CorvidDevice, opened) << deviceType;
    }
}

TEST(SarvikDeviceTest, PortThatDoesNotOpenLeavesTheWorkerClosedWithAWarning)
{
    WorkerThread thread(
        moduleRecord(SarvikDeviceInfo::OspreyDevice, QStringLiteral("/dev/no-such-sarvik-port")));
    MessageLog log;
    EXPECT_FALSE(thread.call("deleteCrashDumpOnModule"));
    EXPECT_EQ(QStringLiteral("failed to open sensor"), thread.worker().lastError());
    EXPECT_FALSE(thread.worker().isOpen());
    EXPECT_EQ(1, log.count(QStringLiteral("caught std::exception:")));
    // Closing a worker that never opened sends nothing and is harmless.
    thread.close();
    EXPECT_FALSE(thread.worker().isOpen());
}

// ---- Data packets ----------------------------------------------------------

struct AppData {
    uint contentId;
    QByteArray data;
};

struct FloatData {
    uint contentId;
    uint info;
    QList<qreal> values;
};

Bytes floatPacket(uint32_t contentId, uint32_t info, uint32_t count, const std::vector<float>& values)
{
    return PayloadWriter().u8(0xA0).u8(0x12).u32(contentId).u32(info).u32(count).f32s(values).take();
}

// Every packet below is sent by the module in this order; the comment says
// what the worker makes of it on each kind of module.
std::vector<Bytes> packetStream()
{
    return {
        // Four bytes: too short for a content id. Nothing.
        { 0x50, 0x1E, 0xFA, 0x3B },
        // Five bytes: application data without payload.
        { 0x50, 0x1E, 0xFA, 0x3B, 0x72 },
        // Application data with a payload.
        simmodule::app_data_message(0x2375FE26, { 0x01, 0x02, 0x7D, 0x7E, 0x7F }),
        // Data that is not float data. Nothing.
        simmodule::text_data_message(0x1234, 5, "trace"),
        // Float data whose count names the floats.
        floatPacket(0x11, 9, 3, { 1.5f, -2.25f, 1e6f }),
        // A count far beyond the packet, with no floats at all. Nothing.
        floatPacket(0x12, 1, 0xFFFFFFFF, {}),
        // A head cut short before the count. Nothing.
        { 0xA0, 0x12, 0x12, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00 },
        // A count that says bytes, not floats: the floats present are taken.
        floatPacket(0x13, 2, 8, { 0.5f, 0.25f }),
        // No floats and no claim: an empty frame.
        floatPacket(0x14, 3, 0, {}),
        // A system status message. Nothing.
        simmodule::system_status_message(4),
        // The last one, application data: the stream has gone through.
        simmodule::app_data_message(0x723BFA1F, { 0xFF }),
    };
}

// Sends the stream to an open worker of that model and collects what
// reaches the test's thread until the last packet has come through.
void streamPackets(quint32 deviceType, std::vector<AppData>& apps, std::vector<FloatData>& floats)
{
    ModuleWorker fixture(deviceType);
    QSignalSpy appSpy(&fixture.relay(), &WorkerSignals::sigNewDataApp);
    QSignalSpy floatSpy(&fixture.relay(), &WorkerSignals::sigNewDataFloat);
    ASSERT_TRUE(fixture.thread().call("deleteCrashDumpOnModule"));
    for (const Bytes& packet : packetStream())
        fixture.module().send_packet(packet);
    // The final packet: application data on a module that takes it (the
    // stream's third), float data on the embedded platform (its fourth).
    if (deviceType == SarvikDeviceInfo::DaxDevice) {
        fixture.module().send_packet(floatPacket(0xEE, 0, 1, { 7.0f }));
        ASSERT_TRUE(waitForSignals(floatSpy, 4));
    } else {
        ASSERT_TRUE(waitForSignals(appSpy, 3));
    }
    for (const QList<QVariant>& signal : appSpy)
        apps.push_back({ signal.at(0).toUInt(), signal.at(1).toByteArray() });
    for (const QList<QVariant>& signal : floatSpy)
        floats.push_back(
            { signal.at(0).toUInt(), signal.at(1).toUInt(), signal.at(2).value<QList<qreal>>() });
}

TEST(SarvikDevicePacketTest, ApplicationDataReachesTheOwnerInOrderAndFloatDataIsNotTaken)
{
    std::vector<AppData> apps;
    std::vector<FloatData> floats;
    streamPackets(SarvikDeviceInfo::OspreyDevice, apps, floats);
    ASSERT_EQ(3u, apps.size());
    EXPECT_EQ(0x723BFA1Eu, apps[0].contentId);
    EXPECT_TRUE(apps[0].data.isEmpty());
    EXPECT_EQ(0x2375FE26u, apps[1].contentId);
    EXPECT_EQ(QByteArray::fromHex("01027d7e7f"), apps[1].data);
    EXPECT_EQ(0x723BFA1Fu, apps[2].contentId);
    EXPECT_EQ(QByteArray::fromHex("ff"), apps[2].data);
    EXPECT_TRUE(floats.empty());
}

TEST(SarvikDevicePacketTest, EmbeddedPlatformTakesFloatFramesBoundedByTheirBytesAndNoApplicationData)
{
    std::vector<AppData> apps;
    std::vector<FloatData> floats;
    streamPackets(SarvikDeviceInfo::DaxDevice, apps, floats);
    EXPECT_TRUE(apps.empty());
    ASSERT_EQ(4u, floats.size());
    EXPECT_EQ(0x11u, floats[0].contentId);
    EXPECT_EQ(9u, floats[0].info);
    EXPECT_EQ((QList<qreal> { 1.5, -2.25, 1e6 }), floats[0].values);
    EXPECT_EQ(0x13u, floats[1].contentId);
    EXPECT_EQ((QList<qreal> { 0.5, 0.25 }), floats[1].values);
    EXPECT_EQ(0x14u, floats[2].contentId);
    EXPECT_EQ(3u, floats[2].info);
    EXPECT_TRUE(floats[2].values.isEmpty());
    EXPECT_EQ((QList<qreal> { 7.0 }), floats[3].values);
}

} // namespace
