// The connector's recorder over the simulated module: recording goes on
// across every open and close of the connection, and destroying the
// connector ends a running recording with a complete session, also while
// another thread waits on a queue.
#include <linkwell/Linkwell.hpp>
#include <linkwell/RecordingOptions.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <memory>
#include <mutex>

#include "simmodule/SimModule.hpp"
#include "support/ByteDataRecording.hpp"
#include "support/HeldConnection.hpp"
#include "support/LineSink.hpp"
#include "support/SimulatedConnection.hpp"
#include "support/TestSupport.hpp"

namespace {

using Sarvik::Linkwell;
using simmodule::SimModule;
using testsupport::ByteDataRecording;
using testsupport::Bytes;
using testsupport::LineSink;
using testsupport::TempDir;

// Every open gives the connection a new communicator, which has none of the
// recorder's subscriptions: the connector renews them.
TEST(LinkwellRecording, RecordingGoesOnAcrossEveryOpenAndClose)
{
    SimModule module(simmodule::Transport::Pty);
    TempDir dir;
    std::unique_ptr<ByteDataRecording<Linkwell>> recording;
    {
        // Not opened yet: the recording starts before the first open.
        Linkwell connector("", 5, new LineSink(std::make_shared<LineSink::Record>()));
        recording = std::make_unique<ByteDataRecording<Linkwell>>(module, connector, dir.path());
        ASSERT_EQ(0, connector.open(module.pty_path()));
        recording->send(module, connector, 4);
        connector.close();
        ASSERT_EQ(0, connector.open(module.pty_path()));
        recording->send(module, connector, 4);
        // Open on an open connection.
        ASSERT_EQ(0, connector.open(module.pty_path()));
        recording->send(module, connector, 4);
    }
    EXPECT_EQ(recording->sent(), recording->recorded());
}

TEST(LinkwellRecording, DestroyingTheConnectorEndsTheRecordingAlsoWhileAReadWaits)
{
    SimModule module(simmodule::Transport::Tcp);
    TempDir dir;
    auto connector = std::make_unique<Linkwell>(htonl(INADDR_LOOPBACK), htons(module.tcp_port()), 5,
        new LineSink(std::make_shared<LineSink::Record>()));
    ByteDataRecording<Linkwell> recording(module, *connector, dir.path());
    recording.send(module, *connector, 6);

    Sarvik::Transport& transport = connector->get_transport();
    transport.subscribe("never filled", { 0x50, 0x99 });
    auto read = std::async(std::launch::async, [&transport] { return transport.get_packet("never filled"); });
    std::future<int> held_up = testsupport::call_held_up_by_a_read(transport);
    ASSERT_TRUE(held_up.valid());
    Sarvik::Z3& unlocked = connector->get_z3();
    auto destroying = std::async(std::launch::async, [&] { connector.reset(); });
    if (destroying.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        unlocked.unsubscribe("never filled");
        FAIL() << "destruction waits for the read";
    }
    EXPECT_EQ(Bytes {}, read.get());
    held_up.get();
    EXPECT_EQ(recording.sent(), recording.recorded());
}

} // namespace
