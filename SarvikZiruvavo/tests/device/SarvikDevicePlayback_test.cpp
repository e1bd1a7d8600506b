// The worker of a recording played back: both kinds of data arrive, the
// configure reports the recording's zone and starts playback over, and
// nothing is ever sent towards the recording.
#include "core/ApplicationProperties.hpp"
#include "device/SarvikDevice.hpp"
#include "support/MessageLog.hpp"
#include "support/QtPrinters.hpp"
#include "support/RecordedSession.hpp"
#include "support/WorkerHarness.hpp"

#include "simmodule/Messages.hpp"

#include <linkwell/DataPlayer.hpp>

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <memory>

namespace {

class SarvikDevicePlaybackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_session = std::make_unique<RecordedSession>(
            std::vector<RecordedSession::Bytes> {
                simmodule::presence_single_message({ 1, 2, 1.5f, 0, 90 }),
                simmodule::float_data_message(0x99, 4, { 0.5f, -1.0f }),
                simmodule::presence_single_message({ 2, 2, 1.25f, 0, 91 }),
            },
            Sarvik::PresenceSingleDataType | Sarvik::FloatDataType);
        ASSERT_FALSE(m_session->metaFile().isEmpty());
        m_player = std::make_unique<Sarvik::DataPlayer>(m_session->metaFile().toStdString(), -1);
    }
    void TearDown() override { ApplicationProperties::setLogLevel(0); }

    SarvikDeviceInfo playbackRecord() const
    {
        SarvikDeviceInfo info;
        info.deviceType = SarvikDeviceInfo::PlaybackDevice;
        info.connectionKind = QStringLiteral("Playback");
        info.portName = QStringLiteral("from recording");
        info.zoneMin = 0.25;
        info.zoneMax = 7.5;
        return info;
    }

    std::unique_ptr<RecordedSession> m_session;
    std::unique_ptr<Sarvik::DataPlayer> m_player;
};

TEST_F(SarvikDevicePlaybackTest, ConfigurePlaysTheRecordingWithBothKindsOfDataFromTheStart)
{
    WorkerThread thread(playbackRecord(), m_player.get());
    QSignalSpy apps(&thread.relay(), &WorkerSignals::sigNewDataApp);
    QSignalSpy floats(&thread.relay(), &WorkerSignals::sigNewDataFloat);
    const ConfigureOutcome outcome = thread.configure(SarvikDeviceConfiguration());
    ASSERT_TRUE(outcome.success) << outcome.error.toStdString();
    // Without the recording's range vector, the record's zone limits.
    EXPECT_TRUE(outcome.zoneReported);
    EXPECT_EQ(0.25f, outcome.zoneStart);
    EXPECT_EQ(7.5f, outcome.zoneEnd);

    ASSERT_TRUE(waitForSignals(apps, 2));
    ASSERT_TRUE(waitForSignals(floats, 1));
    EXPECT_EQ(0x723BFA1Eu, apps.at(0).at(0).toUInt());
    EXPECT_EQ(0x99u, floats.at(0).at(0).toUInt());
    EXPECT_EQ(4u, floats.at(0).at(1).toUInt());
    EXPECT_EQ((QList<qreal> { 0.5, -1.0 }), floats.at(0).at(2).value<QList<qreal>>());

    // A second configure starts the recording over for the new application.
    apps.clear();
    ASSERT_TRUE(thread.configure(SarvikDeviceConfiguration()).success);
    ASSERT_TRUE(waitForSignals(apps, 2));
    EXPECT_EQ(apps.at(0).at(1).toByteArray().left(4), QByteArray::fromHex("01000000"));
}

TEST_F(SarvikDevicePlaybackTest, RecordingsRangeVectorIsTheReportedZone)
{
    SarvikDeviceInfo info = playbackRecord();
    info.metadata.insert(QStringLiteral("RangeVec"), QVariantList { 0.4, 5.0, 0.1 });
    WorkerThread thread(info, m_player.get());
    const ConfigureOutcome outcome = thread.configure(SarvikDeviceConfiguration());
    ASSERT_TRUE(outcome.success);
    EXPECT_EQ(0.4f, outcome.zoneStart);
    EXPECT_EQ(5.0f, outcome.zoneEnd);
}

// A playback connection drops every command, which would only wait out the
// reply time-out: switching outputs and closing send nothing at all.
TEST_F(SarvikDevicePlaybackTest, OutputSwitchesAndCloseSendNothing)
{
    // The library logs every command it writes.
    ApplicationProperties::setLogLevel(2);
    WorkerThread thread(playbackRecord(), m_player.get());
    ASSERT_TRUE(thread.configure(SarvikDeviceConfiguration()).success);
    MessageLog log;
    for (const char* slot : { "onBasebandEnabledChanged", "onPulseDopplerEnabledChanged" }) {
        ASSERT_TRUE(thread.invoke(slot, QGenericReturnArgument(), Q_ARG(bool, true)));
        ASSERT_TRUE(thread.invoke(slot, QGenericReturnArgument(), Q_ARG(bool, false)));
    }
    thread.close();
    EXPECT_FALSE(thread.worker().isOpen());
    EXPECT_EQ(0, log.count(QStringLiteral("WARNING:")));
    int commands = 0;
    for (const QString& message : log.messages())
        commands += message.endsWith(QStringLiteral(" : sending: ")) ? 1 : 0;
    EXPECT_EQ(0, commands);
}

TEST_F(SarvikDevicePlaybackTest, PlaybackWithoutAPlayerDoesNotOpen)
{
    WorkerThread thread(playbackRecord());
    const ConfigureOutcome outcome = thread.configure(SarvikDeviceConfiguration());
    EXPECT_FALSE(outcome.success);
    EXPECT_EQ(QStringLiteral("failed to open module"), outcome.error);
}

} // namespace
