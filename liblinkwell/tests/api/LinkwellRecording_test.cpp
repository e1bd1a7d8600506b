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
#include "support/HeldConnection.hpp"
#include "support/LineSink.hpp"
#include "support/SessionFiles.hpp"
#include "support/SimulatedConnection.hpp"
#include "support/TestSupport.hpp"

namespace {

using Sarvik::Linkwell;
using simmodule::SimModule;
using testsupport::Bytes;
using testsupport::LineSink;
using testsupport::TempDir;

// Records the byte data of a connector into a directory and keeps the name
// of the session's index file once it is finished.
class ByteDataRecording {
public:
    ByteDataRecording(SimModule& module, Linkwell& connector, const std::string& directory)
    {
        // A new session asks the module for its profile id and parameter
        // file: refused at once, they cost no reply timeout.
        module.add_rule(simmodule::Rule({}).error(1));
        Sarvik::DataRecorder& recorder = connector.get_data_recorder();
        recorder.subscribe_to_meta_file_available([this](const std::string&, const std::string& name) {
            std::lock_guard<std::mutex> lock(mutex_);
            index_file_ = name;
        });
        EXPECT_EQ(0, recorder.start_recording(Sarvik::ByteDataType, directory, Sarvik::RecordingOptions()));
    }

    // The module sends byte-data messages with the next count numbers as
    // their records; returns once the connection has routed them all.
    void send(SimModule& module, Linkwell& connector, int count)
    {
        Sarvik::Transport& transport = connector.get_transport();
        transport.subscribe("routed", { 0xA0, 0x10 });
        for (int i = 0; i < count; ++i)
            module.send_packet({ 0xA0, 0x10, next_++ });
        EXPECT_TRUE(
            testsupport::eventually([&] { return transport.get_number_of_packets("routed") == count; }));
        transport.unsubscribe("routed");
    }

    // The records of the finished session: the numbers sent, in order.
    std::vector<Bytes> recorded()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (index_file_.empty()) {
            ADD_FAILURE() << "no index file was finished";
            return {};
        }
        return testsupport::payloads(testsupport::read_session(index_file_));
    }

    std::vector<Bytes> sent() const
    {
        std::vector<Bytes> all;
        for (uint8_t i = 0; i < next_; ++i)
            all.push_back({ i });
        return all;
    }

private:
    uint8_t next_ = 0;
    std::mutex mutex_;
    std::string index_file_;
};

// Every open gives the connection a new communicator, which has none of the
// recorder's subscriptions: the connector renews them.
TEST(LinkwellRecording, RecordingGoesOnAcrossEveryOpenAndClose)
{
    SimModule module(simmodule::Transport::Pty);
    TempDir dir;
    std::unique_ptr<ByteDataRecording> recording;
    {
        // Not opened yet: the recording starts before the first open.
        Linkwell connector("", 5, new LineSink(std::make_shared<LineSink::Record>()));
        recording = std::make_unique<ByteDataRecording>(module, connector, dir.path());
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
    ByteDataRecording recording(module, *connector, dir.path());
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
