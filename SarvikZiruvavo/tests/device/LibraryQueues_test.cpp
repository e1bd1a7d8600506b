// The library's own message queues are gone from a worker's connection, also
// after a reset reopened it: a packet of any kind that the worker's handler
// does not take finds no subscription at all, so nothing piles up unread.
// The library logs each packet that no subscription took.
#include "core/ApplicationProperties.hpp"
#include "support/MessageLog.hpp"
#include "support/WorkerHarness.hpp"

#include "simmodule/Messages.hpp"
#include "simmodule/PayloadWriter.hpp"

#include <linkwell/protocol_parser.h>

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

using wire::Bytes;

const QString unclaimed = QStringLiteral("we did not find a handler for this package");

// One application-data packet of every kind the library reads.
std::vector<Bytes> applicationDataOfEveryKind()
{
    const uint32_t contentIds[] = { LINKWELL_CONTENT_ID_BASEBAND_IQ, LINKWELL_CONTENT_ID_BASEBAND_AP,
        LINKWELL_CONTENT_ID_PULSEDOPPLER_FLOAT, LINKWELL_CONTENT_ID_PULSEDOPPLER_BYTE,
        LINKWELL_CONTENT_ID_NOISEMAP_FLOAT, LINKWELL_CONTENT_ID_NOISEMAP_BYTE,
        LINKWELL_CONTENT_ID_RADAR_BASEBAND_FLOAT, LINKWELL_CONTENT_ID_VITAL_SIGNS,
        LINKWELL_CONTENT_ID_SLEEP_STATUS, LINKWELL_CONTENT_ID_RESPIRATION_STATUS,
        LINKWELL_CONTENT_ID_SLEEP_STAGE, LINKWELL_CONTENT_ID_RESPIRATION_MOVINGLIST,
        LINKWELL_CONTENT_ID_RESPIRATION_DETECTIONLIST, LINKWELL_CONTENT_ID_PRESENCE_SINGLE,
        LINKWELL_CONTENT_ID_PRESENCE_MOVINGLIST, LINKWELL_CONTENT_ID_RADAR_RF_NORMALIZED,
        LINKWELL_CONTENT_ID_RADAR_RF, LINKWELL_CONTENT_ID_RESPIRATION_NORMALIZEDMOVEMENTLIST,
        LINKWELL_CONTENT_ID_RADAR_BASEBAND_Q15 };
    std::vector<Bytes> packets;
    for (const uint32_t id : contentIds)
        packets.push_back(simmodule::app_data_message(id, Bytes(8, 0)));
    return packets;
}

// Float and byte data, and a system status: every other kind the library
// queues (its text data feeds the library's own trace log).
std::vector<Bytes> otherDataOfEveryKind()
{
    return { simmodule::float_data_message(1, 0, { 1.0f }), simmodule::byte_data_message(1, 0, { 1, 2 }),
        simmodule::system_status_message(3) };
}

// Sends the packets and then one the worker takes, and counts the packets
// before it that no subscription took.
int unclaimedPackets(ModuleWorker& fixture, const std::vector<Bytes>& packets, const Bytes& last)
{
    MessageLog log;
    QSignalSpy apps(&fixture.relay(), &WorkerSignals::sigNewDataApp);
    QSignalSpy floats(&fixture.relay(), &WorkerSignals::sigNewDataFloat);
    for (const Bytes& packet : packets)
        fixture.module().send_packet(packet);
    fixture.module().send_packet(last);
    // The library hands packets on in arrival order.
    QSignalSpy& taken = last[0] == 0x50 ? apps : floats;
    EXPECT_TRUE(waitForSignals(taken, 1));
    int count = 0;
    for (const QString& message : log.messages())
        count += message.endsWith(unclaimed) ? 1 : 0;
    return count;
}

class LibraryQueuesTest : public ::testing::Test {
protected:
    // The library's level 3, which logs unclaimed packets.
    void SetUp() override { ApplicationProperties::setLogLevel(1); }
    void TearDown() override { ApplicationProperties::setLogLevel(0); }
};

TEST_F(LibraryQueuesTest, EmbeddedPlatformWorkerKeepsNoApplicationDataQueue)
{
    ModuleWorker fixture(SarvikDeviceInfo::DaxDevice);
    ASSERT_TRUE(fixture.thread().call("deleteCrashDumpOnModule"));
    std::vector<Bytes> packets = applicationDataOfEveryKind();
    packets.push_back(simmodule::system_status_message(3));
    EXPECT_EQ(int(packets.size()),
        unclaimedPackets(fixture, packets, simmodule::float_data_message(2, 0, { 2.0f })));
}

TEST_F(LibraryQueuesTest, ApplicationModuleWorkerKeepsNoOtherDataQueue)
{
    ModuleWorker fixture(SarvikDeviceInfo::OspreyDevice);
    ASSERT_TRUE(fixture.thread().call("deleteCrashDumpOnModule"));
    const std::vector<Bytes> packets = otherDataOfEveryKind();
    EXPECT_EQ(int(packets.size()), unclaimedPackets(fixture, packets, simmodule::app_data_message(5, {})));
}

// The library's reset reopens the connection and subscribes its queues again.
TEST_F(LibraryQueuesTest, OlderModuleWorkerKeepsNoQueueAfterTheResetOfItsConfigure)
{
    ModuleWorker fixture(SarvikDeviceInfo::CorvidDevice);
    SarvikDeviceConfiguration config;
    config.profileKind = SarvikDeviceConfiguration::RespirationKind;
    ASSERT_TRUE(fixture.thread().configure(config).success);
    const std::vector<Bytes> packets = otherDataOfEveryKind();
    EXPECT_EQ(int(packets.size()), unclaimedPackets(fixture, packets, simmodule::app_data_message(5, {})));
}

} // namespace
