// Checks that hold for the connectors of both flavours: what a construction
// that fails leaves behind, and the objects that the accessors hand out.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include <linkwell/AbstractLoggerIo.hpp>

#include "simmodule/SimModule.hpp"
#include "support/ConnectorDevices.hpp"
#include "support/LineSink.hpp"
#include "support/ProcessResources.hpp"

namespace testsupport {

// True when the connector's log text (its console output or debug file) has
// a line that reads `line` after its time stamp.
inline bool has_line(const std::string& text, const std::string& line)
{
    return text.find(" : " + line + "\n") != std::string::npos;
}

// Expects the call to throw std::runtime_error with the text and to leave
// no thread running and no descriptor open of its own.
inline void expect_failure_leaves_nothing(const std::function<void()>& call, const std::string& error)
{
    const int threads = thread_count();
    const int descriptors = open_descriptor_count();
    try {
        call();
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(error, e.what());
    }
    EXPECT_TRUE(resources_back_to(threads, descriptors))
        << thread_count() << " threads, " << open_descriptor_count() << " descriptors";
}

// The same for a construction that logs into a sink that throws on the
// line (none when empty): the logger wrote its last line and deleted the
// sink.
inline void expect_construction_unwinds(const std::function<void(Sarvik::AbstractLoggerIo*)>& construct,
    const std::string& refused_line, const std::string& error)
{
    auto log = std::make_shared<LineSink::Record>();
    expect_failure_leaves_nothing([&] { construct(new LineSink(log, refused_line)); }, error);
    EXPECT_TRUE(log->deleted);
    EXPECT_EQ("~StdoutLogger", log->texts().back());
}

// Every accessor hands out the same object on every call, and the command
// interface that get_z3 hands out is the one the other objects command: a
// queue made through one is seen through the other.
template <typename Connector> void expect_own_objects(Connector& connector, simmodule::SimModule& module)
{
    EXPECT_EQ(&connector.get_z3(), &connector.get_z3());
    EXPECT_EQ(&connector.get_transport(), &connector.get_transport());
    EXPECT_EQ(&connector.get_data_recorder(), &connector.get_data_recorder());
    EXPECT_EQ(&connector.get_dax(), &connector.get_dax());
    EXPECT_EQ(&connector.get_corvid(), &connector.get_corvid());
    EXPECT_EQ(&connector.get_osprey(), &connector.get_osprey());
    EXPECT_EQ(&connector.get_falcon(), &connector.get_falcon());
    EXPECT_EQ(&connector.get_gannet(), &connector.get_gannet());
    EXPECT_EQ(&connector.get_not_supported(), &connector.get_not_supported());

    Sarvik::Transport& transport = connector.get_transport();
    transport.subscribe("client", { 0x50, 0x33 });
    // A packet sent before the module took the connection would be lost.
    ASSERT_TRUE(module.wait_for_connected(std::chrono::seconds(10)));
    module.send_packet({ 0x50, 0x33, 0x01 });
    // On the wire before the probe's reply, so the reply cannot overtake it.
    ASSERT_TRUE(module.wait_until_sent(std::chrono::seconds(10)));
    EXPECT_EQ(probe_reply, transport.send_command_single(probe, { 0x11, 0x55 }));
    EXPECT_EQ(1, connector.get_z3().get_number_of_packets("client"));
    connector.get_z3().clear("client");
    EXPECT_EQ(0, transport.get_number_of_packets("client"));
}

} // namespace testsupport
