// The connector's nine constructors over the simulated module (serial over a
// pseudo-terminal, TCP over loopback) and over a recording, their logging,
// and constructions that fail.
#include <linkwell/Bootloader.hpp>
#include <linkwell/DataPlayer.hpp>
#include <linkwell/Linkwell.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <regex>

#include "simmodule/SimModule.hpp"
#include "support/ConnectorChecks.hpp"
#include "support/ConnectorDevices.hpp"
#include "support/LineSink.hpp"
#include "support/PlaybackSession.hpp"
#include "support/ProcessResources.hpp"
#include "support/SimulatedConnection.hpp"
#include "support/StdoutCapture.hpp"
#include "support/TestSupport.hpp"

namespace {

using Sarvik::DataPlayer;
using Sarvik::Linkwell;
using simmodule::Rule;
using simmodule::SimModule;
using testsupport::Bytes;
using testsupport::eventually;
using testsupport::LineSink;
using testsupport::TempDir;

using testsupport::Device;
using testsupport::has_line;
using testsupport::loopback;
using testsupport::missing_port;
using testsupport::name_of;
using testsupport::probe;
using testsupport::probe_reply;

struct LinkwellDevices : testsupport::ConnectorDevices<DataPlayer> {
    // The connector's arguments after the device: none, a level, or a level
    // and a sink.
    std::unique_ptr<Linkwell> make(Device device, std::optional<int> level, Sarvik::AbstractLoggerIo* sink)
    {
        const unsigned short port = htons(tcp.tcp_port());
        switch (device) {
        case Device::serial:
            return !level ? std::make_unique<Linkwell>(serial.pty_path())
                : !sink   ? std::make_unique<Linkwell>(serial.pty_path(), *level)
                          : std::make_unique<Linkwell>(serial.pty_path(), *level, sink);
        case Device::tcp:
            return !level ? std::make_unique<Linkwell>(loopback(), port)
                : !sink   ? std::make_unique<Linkwell>(loopback(), port, *level)
                          : std::make_unique<Linkwell>(loopback(), port, *level, sink);
        case Device::playback:
            return !level ? std::make_unique<Linkwell>(player)
                : !sink   ? std::make_unique<Linkwell>(player, *level)
                          : std::make_unique<Linkwell>(player, *level, sink);
        }
        return nullptr;
    }
};

// What a connector wrote outside a sink of the caller's: its console lines
// and the lines of the debug file it made in the working directory.
struct DefaultOutput {
    std::string console;
    std::vector<std::string> debug_files;
    std::string debug_text;
};

DefaultOutput run_in_empty_directory(const std::function<void()>& action)
{
    TempDir dir;
    const auto old = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    DefaultOutput out;
    out.console = testsupport::stdout_of(action);
    std::filesystem::current_path(old);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        out.debug_files.push_back(entry.path().filename().string());
        std::ifstream file(entry.path());
        out.debug_text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    return out;
}

TEST(LinkwellConstruction, EveryConstructorReachesItsDeviceAndLogsWhereItIsTold)
{
    LinkwellDevices devices;
    for (Device device : { Device::serial, Device::tcp, Device::playback }) {
        SCOPED_TRACE(name_of(device));
        {
            SCOPED_TRACE("no level, no sink: levels up to 5 to the console and a debug file");
            const DefaultOutput out = run_in_empty_directory([&] {
                auto connector = devices.make(device, std::nullopt, nullptr);
                devices.expect_reached(device, *connector);
            });
            EXPECT_TRUE(has_line(out.console, "createing logger StdoutLogger")) << out.console;
            EXPECT_TRUE(has_line(out.console, "~StdoutLogger"));
            ASSERT_EQ(1u, out.debug_files.size());
            EXPECT_TRUE(std::regex_match(out.debug_files[0], std::regex("debug_[0-9]{8}_[0-9]{6}\\.log")))
                << out.debug_files[0];
            EXPECT_EQ(0u, out.debug_text.find("0.0"));
            EXPECT_TRUE(has_line(out.debug_text, "createing logger StdoutLogger"));
            EXPECT_TRUE(has_line(out.debug_text, "~StdoutLogger"));
        }
        {
            SCOPED_TRACE("level 4, no sink");
            const DefaultOutput out = run_in_empty_directory([&] {
                auto connector = devices.make(device, 4, nullptr);
                devices.expect_reached(device, *connector);
            });
            EXPECT_FALSE(has_line(out.console, "createing logger StdoutLogger"));
            EXPECT_TRUE(has_line(out.console, "RadarCommunicator: 28"));
            EXPECT_TRUE(has_line(out.debug_text, "RadarCommunicator: 28"));
        }
        {
            SCOPED_TRACE("level 5 and a sink: only the sink");
            auto log = std::make_shared<LineSink::Record>();
            const DefaultOutput out = run_in_empty_directory([&] {
                auto connector = devices.make(device, 5, new LineSink(log));
                devices.expect_reached(device, *connector);
                EXPECT_FALSE(log->deleted);
            });
            EXPECT_TRUE(log->deleted);
            const auto texts = log->texts();
            ASSERT_FALSE(texts.empty());
            EXPECT_EQ("createing logger StdoutLogger", texts.front());
            EXPECT_EQ("~StdoutLogger", texts.back());
            EXPECT_FALSE(has_line(out.console, "createing logger StdoutLogger"));
            EXPECT_TRUE(out.debug_files.empty());
        }
    }
}

TEST(LinkwellConstruction, TheLogLevelIsAnUnsignedThreshold)
{
    SimModule module(simmodule::Transport::Tcp);
    const struct {
        int level;
        bool level_5_lines;
        bool level_3_lines;
    } cases[] = { { -1, true, true }, { 5, true, true }, { 4, false, true }, { 0, false, false } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.level);
        auto log = std::make_shared<LineSink::Record>();
        Linkwell(loopback(), htons(module.tcp_port()), c.level, new LineSink(log));
        EXPECT_EQ(c.level_5_lines, log->has("createing logger StdoutLogger"));
        EXPECT_EQ(c.level_5_lines, log->has("~StdoutLogger"));
        EXPECT_EQ(c.level_3_lines, log->has("open -- begin"));
    }
}

// A construction that fails lets the exception through after destroying, in
// reverse order, everything it built: the caller's sink is deleted, no thread
// of it runs and no port or socket of it stays open.
TEST(LinkwellConstruction, AFailedConstructionUnwindsEverythingItBuilt)
{
    SimModule serial(simmodule::Transport::Pty);
    SimModule gone(simmodule::Transport::Tcp);
    const unsigned short closed_port = htons(gone.tcp_port());
    gone.stop();
    SimModule tcp(simmodule::Transport::Tcp);
    // The recorder, built last but two, subscribes with this trace line.
    const std::string recorder_line = "subscribe_to_radar_settings -- begin";

    const struct {
        const char* name;
        std::function<void(Sarvik::AbstractLoggerIo*)> make;
        std::string refused_line;
        std::string error;
    } cases[] = {
        { "serial port that does not exist", [&](auto* sink) { Linkwell(missing_port, 5, sink); }, "",
            "unable to open file: " + missing_port },
        { "TCP port where nothing listens", [&](auto* sink) { Linkwell(loopback(), closed_port, 5, sink); },
            "", "unable to open file: tcp://127.0.0.1:" + std::to_string(ntohs(closed_port)) },
        { "serial port open, recorder fails", [&](auto* sink) { Linkwell(serial.pty_path(), 5, sink); },
            recorder_line, "sink refused: " + recorder_line },
        { "TCP connected, recorder fails",
            [&](auto* sink) { Linkwell(loopback(), htons(tcp.tcp_port()), 5, sink); }, recorder_line,
            "sink refused: " + recorder_line },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::expect_construction_unwinds(c.make, c.refused_line, c.error);
    }
}

TEST(LinkwellConstruction, ASerialPortIsHeldForTheConnectorAlone)
{
    SimModule serial(simmodule::Transport::Pty);
    serial.add_rule(Rule(probe).reply(probe_reply));
    Linkwell connector(serial.pty_path(), 5, new LineSink(std::make_shared<LineSink::Record>()));

    EXPECT_THROW(Linkwell(serial.pty_path(), 5, new LineSink(std::make_shared<LineSink::Record>())),
        std::runtime_error);
    auto bootloader_log = std::make_shared<LineSink::Record>();
    Sarvik::Bootloader bootloader(serial.pty_path(), 5u, new LineSink(bootloader_log));
    EXPECT_TRUE(bootloader_log->has("module_io::open returned error"));
    EXPECT_EQ(probe_reply, connector.get_transport().send_command_single(probe, { 0x11, 0x55 }));
}

} // namespace

// A playback connector plays the caller's player, which outlives it, and
// names its device "__playback__"; the player refuses writes.
TEST(LinkwellConstruction, APlaybackConnectorPlaysTheCallersPlayer)
{
    TempDir recording;
    DataPlayer player(testsupport::write_session(recording.path(), testsupport::byte_records(3, 0), 10), 1);
    player.set_playback_rate(-1);
    {
        Linkwell connector(player, 5, new LineSink(std::make_shared<LineSink::Record>()));
        Sarvik::Transport& transport = connector.get_transport();
        transport.subscribe("played", { 0xA0, 0x10 });
        player.play();
        ASSERT_TRUE(eventually([&] { return transport.get_number_of_packets("played") == 3; }));
        try {
            transport.send_command(testsupport::frame({ 0x01, 0x02 }));
            ADD_FAILURE() << "the player took a command";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ("Failed to write all bytes to module\n", e.what());
        }
        // Stopping closes the recording at the connection's next read.
        player.stop();
    }

    // With its recording gone, the player cannot open it again: the name of
    // the device that did not open is the playback's.
    for (const auto& entry : std::filesystem::directory_iterator(recording.path()))
        std::filesystem::remove_all(entry.path());
    std::string error;
    eventually([&] {
        try {
            Linkwell(player, 5, new LineSink(std::make_shared<LineSink::Record>()));
        } catch (const std::runtime_error& e) {
            error = e.what();
        }
        return !error.empty();
    });
    EXPECT_EQ("unable to open file: __playback__", error);
    EXPECT_EQ(DataPlayer::StoppedState, player.get_state());
}
