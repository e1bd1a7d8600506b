// What decoding the newer respiration modules' lists costs the GUI thread.
// One module frame: a moving list and a normalized moving list of 96
// intervals each (about 5 m in 5 cm bins) and a detection list of 4
// detections, with the frame's sleep, vital-signs and respiration payloads:
// decoded alone, and handed to an AdultRespirationApp as its Device hands
// them on (its property and chart signals fire, with nothing connected).
// Baseline:
// copying the same payloads once with memcpy. Goals: the frames of a module
// at 17 a second cost under 1 % of a core, and the worst payload decodes in
// under 1 ms: a list with the largest count a payload of 64 KiB can hold
// (8190 items a list, against the hundred or so bins of a module's zone).
#include "apps/AdultRespirationApp.hpp"
#include "apps/RespirationFamilyPayloads.hpp"
#include "device/Device.hpp"

#include "RatioReporter.hpp"

#include <QCoreApplication>
#include <QtEndian>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <iostream>
#include <vector>

namespace {

using Payloads = RespirationFamilyPayloads;

const quint32 intervals = 96;
const quint32 detections = 4;
const double framesPerSecond = 17.0;
// The largest payload a worst-case list is given, and its counts.
const quint32 worstBytes = 64 * 1024;
const quint32 worstMovingCount = (worstBytes - 8) / 8;
const quint32 worstNormalizedCount = (worstBytes - 16) / 8;

class Payload {
public:
    Payload& u32(quint32 v)
    {
        char le[4];
        qToLittleEndian(v, le);
        bytes.append(le, 4);
        return *this;
    }
    Payload& f32(float v)
    {
        quint32 bits;
        std::memcpy(&bits, &v, 4);
        return u32(bits);
    }
    Payload& items(quint32 count, float scale)
    {
        for (quint32 i = 0; i < count; ++i)
            f32(scale * (1.0f + std::sin(float(i))));
        return *this;
    }
    QByteArray bytes;
};

QByteArray movingList(quint32 count)
{
    return Payload().u32(1).u32(count).items(count, 20.0f).items(count, 10.0f).bytes;
}

QByteArray normalizedList(quint32 count)
{
    return Payload().u32(1).f32(0.4f).f32(0.05f).u32(count).items(count, 15.0f).items(count, 5.0f).bytes;
}

QByteArray detectionList(quint32 count)
{
    return Payload().u32(1).u32(count).items(count, 1.5f).items(count, 0.5f).items(count, 0.0f).bytes;
}

struct ModuleFrame {
    QByteArray moving = movingList(intervals);
    QByteArray normalized = normalizedList(intervals);
    QByteArray detection = detectionList(detections);
    QByteArray sleep = Payload().u32(1).u32(0).f32(13.0f).f32(1.5f).u32(80).f32(2).f32(1).bytes;
    QByteArray vital = Payload().u32(1).u32(0).items(10, 1.0f).bytes;
    QByteArray respiration = Payload().u32(1).u32(0).u32(13).f32(1.5f).f32(0.7f).u32(80).bytes;
    std::vector<const QByteArray*> all() const
    {
        return { &moving, &normalized, &detection, &sleep, &vital, &respiration };
    }
    size_t size() const
    {
        size_t total = 0;
        for (const QByteArray* p : all())
            total += size_t(p->size());
        return total;
    }
};

void decode_module_frame(benchmark::State& state)
{
    const ModuleFrame frame;
    for (auto _ : state) {
        const auto moving = Payloads::movingList(frame.moving);
        const auto normalized = Payloads::normalizedMovingList(frame.normalized);
        const auto detection = Payloads::detectionList(frame.detection);
        const auto sleep = Payloads::sleep(frame.sleep);
        const auto vital = Payloads::vitalSigns(frame.vital);
        benchmark::DoNotOptimize(moving->slowList.constData());
        benchmark::DoNotOptimize(normalized->fastList.constData());
        benchmark::DoNotOptimize(detection->rcs);
        benchmark::DoNotOptimize(sleep.rpm);
        benchmark::DoNotOptimize(vital.heartRate);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(frame.size()));
}
BENCHMARK(decode_module_frame);

SarvikDeviceInfo falconModule()
{
    SarvikDeviceInfo info;
    info.displayName = QStringLiteral("Sarvik FALCON");
    info.zoneMin = 0.4f;
    info.zoneMax = 5.0f;
    info.zoneStep = 0.05f;
    info.supportedApps = 0x20;
    info.connectionMode = SarvikDeviceInfo::NormalMode;
    info.deviceType = SarvikDeviceInfo::FalconDevice;
    info.identified = true;
    return info;
}

void decode_module_frame_in_app(benchmark::State& state)
{
    const ModuleFrame frame;
    Device device(falconModule(), nullptr);
    AdultRespirationApp* app = new AdultRespirationApp(&device);
    for (auto _ : state) {
        app->onAppData(Payloads::SleepId, frame.sleep);
        app->onAppData(Payloads::VitalSignsId, frame.vital);
        app->onAppData(Payloads::RespirationId, frame.respiration);
        app->onAppData(Payloads::MovingListId, frame.moving);
        app->onAppData(Payloads::NormalizedMovingListId, frame.normalized);
        app->onAppData(Payloads::DetectionListId, frame.detection);
        benchmark::DoNotOptimize(app->breathingDistance());
    }
    if (app->detectionCount() != detections && state.iterations() > 1)
        state.SkipWithError("the packets were not decoded");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(frame.size()));
}
BENCHMARK(decode_module_frame_in_app);

void copy_module_frame(benchmark::State& state)
{
    const ModuleFrame frame;
    std::vector<char> copy(frame.size());
    for (auto _ : state) {
        char* at = copy.data();
        for (const QByteArray* p : frame.all()) {
            std::memcpy(at, p->constData(), size_t(p->size()));
            at += p->size();
        }
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(frame.size()));
}
BENCHMARK(copy_module_frame);

void decode_worst_moving_list(benchmark::State& state)
{
    const QByteArray payload = movingList(worstMovingCount);
    for (auto _ : state) {
        const auto list = Payloads::movingList(payload);
        if (!list)
            state.SkipWithError("the worst moving list was refused");
        benchmark::DoNotOptimize(list->slowList.constData());
    }
}
BENCHMARK(decode_worst_moving_list);

void decode_worst_normalized_list(benchmark::State& state)
{
    const QByteArray payload = normalizedList(worstNormalizedCount);
    for (auto _ : state) {
        const auto list = Payloads::normalizedMovingList(payload);
        if (!list)
            state.SkipWithError("the worst normalized list was refused");
        benchmark::DoNotOptimize(list->fastList.constData());
    }
}
BENCHMARK(decode_worst_normalized_list);

// A count of 0xFFFFFFFF in an 8-byte payload: refused at once.
void refuse_hostile_count(benchmark::State& state)
{
    const QByteArray payload = Payload().u32(1).u32(0xFFFFFFFF).bytes;
    for (auto _ : state) {
        const auto list = Payloads::movingList(payload);
        benchmark::DoNotOptimize(list.has_value());
    }
}
BENCHMARK(refuse_hostile_count);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    RatioReporter reporter(bench::console_options(argc, argv));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& t = reporter.times;
    // Times are in nanoseconds.
    if (t.count("decode_module_frame") && t.count("copy_module_frame")) {
        const double share = t.at("decode_module_frame") * framesPerSecond / 1e9 * 100.0;
        std::cout << "\nOne module frame (moving and normalized lists of " << intervals << ", " << detections
                  << " detections, sleep and vital signs): decoding against memcpy "
                  << t.at("decode_module_frame") / t.at("copy_module_frame") << " x; at " << framesPerSecond
                  << " frames/s " << share << " % of a core (goal < 1 %: " << bench::verdict(share < 1.0)
                  << ")\n";
    }
    if (t.count("decode_module_frame_in_app") && t.count("copy_module_frame")) {
        const double share = t.at("decode_module_frame_in_app") * framesPerSecond / 1e9 * 100.0;
        std::cout << "  in the application, signals included: against memcpy "
                  << t.at("decode_module_frame_in_app") / t.at("copy_module_frame") << " x; at "
                  << framesPerSecond << " frames/s " << share
                  << " % of a core (goal < 1 %: " << bench::verdict(share < 1.0) << ")\n";
    }
    for (const char* name : { "decode_worst_moving_list", "decode_worst_normalized_list" }) {
        if (!t.count(name))
            continue;
        const double ms = t.at(name) / 1e6;
        std::cout << "  " << name << " (" << worstBytes / 1024 << " KiB payload): " << ms
                  << " ms (goal < 1 ms: " << bench::verdict(ms < 1.0) << ")\n";
    }
    benchmark::Shutdown();
    return 0;
}
