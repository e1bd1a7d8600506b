#include "RecordedSession.hpp"

#include "device/LoggerIo.hpp"

#include "simmodule/Personality.hpp"
#include "simmodule/SimModule.hpp"

#include <linkwell/Linkwell.hpp>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

RecordedSession::RecordedSession(const std::vector<Bytes>& packets, Sarvik::DataTypes dataTypes)
{
    record(
        [&packets](simmodule::SimModule& module) {
            module.add_rule(simmodule::Rule({ 0x90 }).error(1));
            module.add_rule(simmodule::Rule({}).ack());
            for (const Bytes& packet : packets)
                module.send_packet(packet);
            return packets.size();
        },
        dataTypes);
}

RecordedSession::RecordedSession(
    const simmodule::Personality& personality, Sarvik::DataTypes dataTypes, size_t packets, double rateHz)
{
    m_streaming = true;
    record(
        [&](simmodule::SimModule& module) {
            simmodule::apply_personality(module, personality, rateHz);
            return packets;
        },
        dataTypes);
}

void RecordedSession::record(const Script& script, Sarvik::DataTypes dataTypes)
{
    simmodule::SimModule module(simmodule::Transport::Pty);
    std::mutex mutex;
    std::string metaFile;
    {
        Sarvik::Linkwell connection(module.pty_path(), 0, new LoggerIo);
        // Counts the data that arrives (replies to the recorder's own
        // questions aside), so that recording stops after the last packet.
        std::atomic<size_t> arrived { 0 };
        connection.get_transport().subscribe("recorded-session-count", {}, [&arrived](Bytes packet) {
            if (!packet.empty() && (packet[0] == 0x50 || packet[0] == 0xA0))
                ++arrived;
            return true;
        });
        Sarvik::DataRecorder& recorder = connection.get_data_recorder();
        recorder.subscribe_to_meta_file_available([&](const std::string&, const std::string& name) {
            const std::lock_guard<std::mutex> lock(mutex);
            metaFile = name;
        });
        ASSERT_EQ(0,
            recorder.start_recording(
                dataTypes, m_directory.path().toStdString(), Sarvik::RecordingOptions()));
        arrived = 0;
        const size_t expected = script(module);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (arrived < expected && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        // A module that streams goes on sending; a list of packets is all
        // there is.
        if (m_streaming)
            ASSERT_GE(arrived.load(), expected);
        else
            ASSERT_EQ(expected, arrived.load());
        recorder.stop_recording(dataTypes);
        // The connector's end writes and closes every file of the session.
    }
    const std::lock_guard<std::mutex> lock(mutex);
    ASSERT_FALSE(metaFile.empty());
    m_metaFile = QString::fromStdString(metaFile);
}
