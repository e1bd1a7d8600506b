// What decoding a presence module's packets costs the GUI thread. One frame
// of the stream: a presence-single packet and a moving list of 32 movement
// intervals and two detections, handed to a PresenceApp as its Device hands
// them on (its property and chart signals fire, with nothing connected).
// Baseline: copying the same payloads once with memcpy. Goal: the module's
// full rate, taken as 50 frames a second (above what a presence module
// sends), costs under 1 % of a core.
#include "apps/PresenceApp.hpp"
#include "device/Device.hpp"

#include "simmodule/Messages.hpp"

#include "RatioReporter.hpp"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <iostream>
#include <vector>

namespace {

const size_t intervals = 32;
const double framesPerSecond = 50.0;

QByteArray payloadOf(const std::vector<uint8_t>& packet)
{
    return QByteArray(reinterpret_cast<const char*>(packet.data()) + 5, int(packet.size()) - 5);
}

struct StreamFrame {
    QByteArray single;
    QByteArray movingList;
    size_t bytes() const { return size_t(single.size() + movingList.size()); }
};

StreamFrame streamFrame(uint32_t index)
{
    simmodule::PresenceMovingList list;
    list.frame_counter = index;
    list.presence_state = 1;
    for (size_t i = 0; i < intervals; ++i) {
        list.movement_slow.push_back(0.5f + 0.5f * std::sin(float(index + i)));
        list.movement_fast.push_back(0.3f * std::sin(float(index + i)));
    }
    list.detection_distance = { 1.8f, 3.1f };
    list.detection_radar_cross_section = { 0.8f, 0.4f };
    list.detection_velocity = { 0.1f, -0.2f };
    return { payloadOf(simmodule::presence_single_message(
                 { index, 1, 1.8f + 0.01f * float(index % 50), 1, 70 + index % 20 })),
        payloadOf(simmodule::presence_moving_list_message(list)) };
}

// Frames whose values change, as a live module's do.
std::vector<StreamFrame> streamFrames()
{
    std::vector<StreamFrame> frames;
    for (uint32_t i = 0; i < 64; ++i)
        frames.push_back(streamFrame(i));
    return frames;
}

SarvikDeviceInfo presenceModule()
{
    SarvikDeviceInfo info;
    info.displayName = QStringLiteral("Sarvik OSPREY");
    info.zoneMin = 0.3;
    info.zoneMax = 7.5;
    info.zoneStep = 0.1;
    info.supportedApps = 0x10;
    info.connectionMode = SarvikDeviceInfo::NormalMode;
    info.deviceType = SarvikDeviceInfo::OspreyDevice;
    info.identified = true;
    return info;
}

void decode_presence_frame(benchmark::State& state)
{
    const std::vector<StreamFrame> frames = streamFrames();
    Device device(presenceModule(), nullptr);
    PresenceApp* app = new PresenceApp(&device);
    size_t next = 0;
    for (auto _ : state) {
        const StreamFrame& frame = frames[next++ % frames.size()];
        app->onAppData(PresenceApp::presenceSingleContentId, frame.single);
        app->onAppData(PresenceApp::presenceMovingListContentId, frame.movingList);
        benchmark::DoNotOptimize(app->movementSlow());
    }
    if (app->frameCounter() == 0 && state.iterations() > 1)
        state.SkipWithError("the packets were not decoded");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(frames.front().bytes()));
}
BENCHMARK(decode_presence_frame);

void copy_presence_frame(benchmark::State& state)
{
    const std::vector<StreamFrame> frames = streamFrames();
    std::vector<char> copy(frames.front().bytes());
    size_t next = 0;
    for (auto _ : state) {
        const StreamFrame& frame = frames[next++ % frames.size()];
        std::memcpy(copy.data(), frame.single.constData(), size_t(frame.single.size()));
        std::memcpy(
            copy.data() + frame.single.size(), frame.movingList.constData(), size_t(frame.movingList.size()));
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(frames.front().bytes()));
}
BENCHMARK(copy_presence_frame);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    RatioReporter reporter(bench::console_options(argc, argv));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& t = reporter.times;
    if (t.count("decode_presence_frame") && t.count("copy_presence_frame")) {
        // Times are in nanoseconds per frame.
        const double share = t.at("decode_presence_frame") * framesPerSecond / 1e9 * 100.0;
        std::cout << "\nOne presence frame (a presence single and a moving list of " << intervals
                  << " intervals): decoding in the application against memcpy "
                  << t.at("decode_presence_frame") / t.at("copy_presence_frame") << " x; at "
                  << framesPerSecond << " frames/s " << share
                  << " % of a core (goal < 1 %: " << bench::verdict(share < 1.0) << ")\n";
    }
    benchmark::Shutdown();
    return 0;
}
