// The value-returning connector's constructors over the simulated module
// (serial over a pseudo-terminal, TCP over loopback) and over a recording,
// the console and file log they always write, and constructions that fail.
#include <linkwell/PyDataPlayer.hpp>
#include <linkwell/PythonLinkwell.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <regex>

#include "api/ConnectionParts.hpp"
#include "link/ConcreteFactory.hpp"
#include "link/TcpIpFactory.hpp"
#include "simmodule/SimModule.hpp"
#include "support/ConnectorChecks.hpp"
#include "support/ConnectorDevices.hpp"
#include "support/SimulatedConnection.hpp"
#include "support/StdoutCapture.hpp"
#include "support/TestSupport.hpp"
#include "support/WorkingDirectory.hpp"

namespace {

using Sarvik::PyDataPlayer;
using Sarvik::PythonLinkwell;
using simmodule::SimModule;
using testsupport::eventually;
using testsupport::has_line;
using testsupport::loopback;
using testsupport::missing_port;
using testsupport::WorkingDirectory;

// The texts of a log's first and last lines, without their time stamps.
std::string first_text(const std::string& log)
{
    const auto start = log.find(" : ") + 3;
    return log.substr(start, log.find('\n', start) - start);
}

std::string last_text(const std::string& log)
{
    const auto end = log.find_last_not_of('\n');
    const auto start = log.rfind(" : ", end) + 3;
    return log.substr(start, end + 1 - start);
}

using testsupport::Device;

struct PythonLinkwellDevices : testsupport::ConnectorDevices<PyDataPlayer> {
    std::unique_ptr<PythonLinkwell> make(Device device, int level)
    {
        switch (device) {
        case Device::serial:
            return std::make_unique<PythonLinkwell>(serial.pty_path(), level);
        case Device::tcp:
            return std::make_unique<PythonLinkwell>(loopback(), htons(tcp.tcp_port()), level);
        case Device::playback:
            return std::make_unique<PythonLinkwell>(player, level);
        }
        return nullptr;
    }
};

TEST(PythonLinkwellConstruction, EveryConstructorReachesItsDeviceAndLogsToTheConsoleAndADebugFile)
{
    PythonLinkwellDevices devices;
    const struct {
        const char* name;
        Device device;
    } cases[] = { { "serial", Device::serial }, { "tcp", Device::tcp }, { "playback", Device::playback } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WorkingDirectory dir;
        const std::string console = testsupport::stdout_of([&] {
            auto connector = devices.make(c.device, 5);
            devices.expect_reached(c.device, *connector);
        });
        EXPECT_TRUE(has_line(console, "createing logger StdoutLogger")) << console;
        EXPECT_TRUE(has_line(console, "~StdoutLogger"));

        const auto files = dir.files();
        ASSERT_EQ(1u, files.size());
        EXPECT_TRUE(std::regex_match(files[0], std::regex("debug_[0-9]{8}_[0-9]{6}\\.log"))) << files[0];
        const std::string text = dir.text_of(files[0]);
        EXPECT_EQ("createing logger StdoutLogger", first_text(text));
        EXPECT_TRUE(has_line(text, "open -- begin"));
        EXPECT_EQ("~StdoutLogger", last_text(text));
    }
}

// The log level is the threshold of both outputs: level 4 keeps the level 5
// lines out, a negative level lets everything through. The file is made
// with its first line.
TEST(PythonLinkwellConstruction, TheLogLevelHoldsForTheConsoleAndTheFile)
{
    SimModule module(simmodule::Transport::Tcp);
    const struct {
        int level;
        bool level_5_lines;
        bool level_3_lines;
        size_t files;
    } cases[] = { { -1, true, true, 1 }, { 4, false, true, 1 }, { 0, false, false, 0 } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.level);
        WorkingDirectory dir;
        const std::string console
            = testsupport::stdout_of([&] { PythonLinkwell(loopback(), htons(module.tcp_port()), c.level); });
        ASSERT_EQ(c.files, dir.files().size());
        const std::string file = c.files ? dir.text_of(dir.files()[0]) : "";
        for (const std::string& text : { console, file }) {
            EXPECT_EQ(c.level_5_lines, has_line(text, "createing logger StdoutLogger"));
            EXPECT_EQ(c.level_3_lines, has_line(text, "open -- begin"));
        }
    }
}

// A construction that fails lets the exception through after destroying, in
// reverse order, everything it built: the logger writes its last line and
// goes with its sink, no thread of the connector runs and no port, socket or
// file of it stays open.
TEST(PythonLinkwellConstruction, AFailedConstructionUnwindsEverythingItBuilt)
{
    SimModule gone(simmodule::Transport::Tcp);
    const unsigned short closed_port = htons(gone.tcp_port());
    gone.stop();
    SimModule tcp(simmodule::Transport::Tcp);
    const std::string closed_name = "tcp://127.0.0.1:" + std::to_string(ntohs(closed_port));
    // Without a device, the presence queues are first subscribed by the
    // presence module's object; the recorder, built after every model
    // object, subscribes the radar settings.
    const std::string presence_line = "subscribe_to_presence_single -- begin";
    const std::string recorder_line = "subscribe_to_radar_settings -- begin";

    {
        SCOPED_TRACE("the public constructors, logging to the console and a file");
        const struct {
            const char* name;
            std::function<void()> make;
            std::string error;
        } cases[] = {
            { "serial port that does not exist", [&] { PythonLinkwell(missing_port, 5); },
                "unable to open file: " + missing_port },
            // Only the port is turned to host order for the name.
            { "TCP port where nothing listens", [&] { PythonLinkwell(loopback(), closed_port, 5); },
                "unable to open file: " + closed_name },
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            WorkingDirectory dir;
            testsupport::stdout_of([&] { testsupport::expect_failure_leaves_nothing(c.make, c.error); });
            ASSERT_EQ(1u, dir.files().size());
            EXPECT_EQ("~StdoutLogger", last_text(dir.text_of(dir.files()[0])));
        }
    }
    {
        SCOPED_TRACE("the core constructor, over a sink that refuses a line");
        const struct {
            const char* name;
            std::function<AbstractFactory*()> factory;
            std::string device;
            std::string refused_line;
            std::string error;
        } cases[] = {
            { "serial port that does not exist", [] { return new ConcreteFactory(); }, missing_port, "",
                "unable to open file: " + missing_port },
            { "TCP port where nothing listens", [&] { return new TcpIpFactory(loopback(), closed_port); },
                closed_name, "", "unable to open file: " + closed_name },
            { "nothing opened, presence subscription fails", [] { return new ConcreteFactory(); }, "",
                presence_line, "sink refused: " + presence_line },
            { "TCP connected, recorder fails",
                [&] { return new TcpIpFactory(loopback(), htons(tcp.tcp_port())); },
                "tcp://127.0.0.1:" + std::to_string(tcp.tcp_port()), recorder_line,
                "sink refused: " + recorder_line },
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            testsupport::expect_construction_unwinds(
                [&](Sarvik::AbstractLoggerIo* sink) {
                    PythonLinkwell(c.factory(), make_connection_logger(5, sink).release(), c.device);
                },
                c.refused_line, c.error);
        }
    }
}

// A playback connector leaves the player to the caller; a recording that is
// gone does not open under the playback's device name.
TEST(PythonLinkwellConstruction, APlaybackConnectorLeavesThePlayerToTheCaller)
{
    WorkingDirectory dir;
    PythonLinkwellDevices devices;
    std::string error;
    testsupport::stdout_of([&] {
        devices.expect_reached(Device::playback, *devices.make(Device::playback, 0));
        for (const auto& entry : std::filesystem::directory_iterator(devices.recording.path()))
            std::filesystem::remove_all(entry.path());
        // The player closes its recording at the next read after its stop.
        eventually([&] {
            try {
                PythonLinkwell(devices.player, 0);
            } catch (const std::runtime_error& e) {
                error = e.what();
            }
            return !error.empty();
        });
    });
    EXPECT_EQ("unable to open file: __playback__", error);
    EXPECT_EQ(10, devices.player.get_duration());
}

} // namespace
