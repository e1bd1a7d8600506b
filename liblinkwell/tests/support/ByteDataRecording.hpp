// A recording of byte data from the simulated module through a connector's
// recorder, for the connectors of both flavours: it sends numbered byte-data
// messages and reads back what the finished session holds.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <linkwell/Bytes.hpp>
#include <linkwell/DataType.hpp>
#include <linkwell/RecordingOptions.hpp>
#include <linkwell/Transport.hpp>

#include "simmodule/SimModule.hpp"
#include "support/SessionFiles.hpp"
#include "support/SimulatedConnection.hpp"
#include "support/TestSupport.hpp"

namespace testsupport {

// Records the byte data of a connector into a directory and keeps the name
// of the session's index file once it is finished.
template <typename Connector> class ByteDataRecording {
public:
    ByteDataRecording(simmodule::SimModule& module, Connector& connector, const std::string& directory)
    {
        // A new session asks the module for its profile id and parameter
        // file: refused at once, they cost no reply timeout.
        module.add_rule(simmodule::Rule({}).error(1));
        auto& recorder = connector.get_data_recorder();
        recorder.subscribe_to_meta_file_available([this](const std::string&, const std::string& name) {
            std::lock_guard<std::mutex> lock(mutex_);
            index_file_ = name;
        });
        EXPECT_EQ(0, recorder.start_recording(Sarvik::ByteDataType, directory, Sarvik::RecordingOptions()));
    }

    // The module sends byte-data messages with the next count numbers as
    // their records; returns once the connection has routed them all.
    void send(simmodule::SimModule& module, Connector& connector, int count)
    {
        Sarvik::Transport& transport = connector.get_transport();
        transport.subscribe("routed", { 0xA0, 0x10 });
        for (int i = 0; i < count; ++i)
            module.send_packet({ 0xA0, 0x10, next_++ });
        EXPECT_TRUE(eventually([&] { return transport.get_number_of_packets("routed") == count; }));
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
        return payloads(read_session(index_file_));
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

} // namespace testsupport
