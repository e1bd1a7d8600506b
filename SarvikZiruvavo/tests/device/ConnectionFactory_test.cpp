#include "core/ApplicationProperties.hpp"
#include "core/SarvikDeviceInfo.hpp"
#include "device/ConnectionFactory.hpp"
#include "device/LoggerIo.hpp"
#include "support/MessageLog.hpp"

#include "simmodule/Personality.hpp"
#include "simmodule/SimModule.hpp"

#include <linkwell/Linkwell.hpp>

#include <QRegularExpression>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace {

class ConnectionFactoryTest : public ::testing::Test {
protected:
    void TearDown() override { ApplicationProperties::setLogLevel(0); }
};

TEST_F(ConnectionFactoryTest, LibraryLevelFollowsTheProgramsLevel)
{
    const struct {
        int program;
        int library;
    } table[] = { { -1, 0 }, { 0, 0 }, { 1, 3 }, { 2, 9 }, { 5, 9 } };
    for (const auto& row : table) {
        ApplicationProperties::setLogLevel(row.program);
        EXPECT_EQ(row.library, libraryLogLevel()) << "program level " << row.program;
    }
}

TEST_F(ConnectionFactoryTest, PlaybackRecordWithoutAPlayerGivesNoConnection)
{
    SarvikDeviceInfo playback;
    playback.deviceType = SarvikDeviceInfo::PlaybackDevice;
    playback.portName = QStringLiteral("from recording");
    for (const int level : { 0, 1 }) {
        ApplicationProperties::setLogLevel(level);
        MessageLog log;
        EXPECT_EQ(nullptr, createLinkwell(playback, nullptr));
        // The port is announced from the program's level 1 on, never at 0.
        EXPECT_EQ(level == 0 ? 0 : 1, log.count(QStringLiteral("Creating Linkwell for port: from recording")))
            << "level " << level;
    }
}

TEST_F(ConnectionFactoryTest, SerialConnectionTalksToTheModuleAndLogsThroughTheProgram)
{
    simmodule::SimModule module(simmodule::Transport::Pty);
    simmodule::apply_personality(module, "presence", 1.0);
    SarvikDeviceInfo info;
    info.deviceType = SarvikDeviceInfo::OspreyDevice;
    info.portName = QString::fromStdString(module.pty_path());
    ApplicationProperties::setLogLevel(1);

    MessageLog log;
    std::unique_ptr<Sarvik::Linkwell> connection(createLinkwell(info, nullptr));
    ASSERT_NE(nullptr, connection);
    uint32_t pong = 0;
    EXPECT_EQ(0, connection->get_corvid().ping(&pong));
    connection.reset();

    // Library lines arrive as they are: seconds since the logger began, " : ", the text.
    const QRegularExpression libraryLine(QStringLiteral("^\\d+\\.\\d{6} : "));
    int libraryLines = 0;
    for (const QString& message : log.messages())
        libraryLines += libraryLine.match(message).hasMatch() ? 1 : 0;
    EXPECT_GT(libraryLines, 0);
}

TEST_F(ConnectionFactoryTest, PortThatDoesNotOpenThrowsAndLeavesNothingBehind)
{
    SarvikDeviceInfo info;
    info.deviceType = SarvikDeviceInfo::CorvidDevice;
    info.portName = QStringLiteral("/dev/no-such-sarvik-port");
    // The sink handed to the throwing constructor is the connector's to free:
    // the address sanitizer build sees a double free or a leak here.
    EXPECT_THROW(delete createLinkwell(info, nullptr), std::exception);
}

TEST(LoggerIoTest, EachLineBecomesOneDebugMessageAsItIs)
{
    MessageLog log;
    LoggerIo sink;
    sink.log("12.000001 : opened \"port\"");
    ASSERT_EQ(1, log.messages().size());
    EXPECT_EQ(QStringLiteral("12.000001 : opened \"port\""), log.messages().front());
}

} // namespace
