// What turning the embedded platform's radar frames into what its page draws
// costs the GUI thread: the largest frames the simulated module sends (a
// frame area of 591 bins, the chip's whole range), down-converted into
// amplitude and phase per bin on both scales, and as RF samples (8 per bin).
// Baseline: copying the same floats once with memcpy. Goal: a stream of 17
// frames a second costs under 1 % of a core.
#include "apps/ChipFrameConverter.hpp"

#include "simmodule/Personality.hpp"

#include "RatioReporter.hpp"

#include <benchmark/benchmark.h>

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

const uint32_t bins = 591;
const double framesPerSecond = 17.0;

std::vector<float> moduleFrame(bool downconverted)
{
    return simmodule::chip_frame_values(simmodule::FramePattern::Target, 7, bins, downconverted);
}

// The frame as the worker hands it over.
QList<qreal> frameList(bool downconverted)
{
    const std::vector<float> values = moduleFrame(downconverted);
    QList<qreal> list;
    list.reserve(int(values.size()));
    for (const float v : values)
        list.append(v);
    return list;
}

void amplitude_and_phase(benchmark::State& state)
{
    const QList<qreal> frame = frameList(true);
    const auto scale
        = state.range(0) != 0 ? ChipFrameConverter::Scale::Logarithmic : ChipFrameConverter::Scale::Linear;
    for (auto _ : state) {
        const AmplitudePhaseFrame converted = ChipFrameConverter::amplitudeAndPhase(frame, scale);
        benchmark::DoNotOptimize(converted.amplitudeValues.constFirst());
        benchmark::DoNotOptimize(converted.phaseValues.constLast());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * frame.size());
}
BENCHMARK(amplitude_and_phase)->ArgName("log")->Arg(0)->Arg(1);

void rf_samples(benchmark::State& state)
{
    const QList<qreal> frame = frameList(false);
    for (auto _ : state) {
        const QList<qreal> samples = ChipFrameConverter::rfSamples(frame);
        benchmark::DoNotOptimize(samples.constLast());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * frame.size());
}
BENCHMARK(rf_samples);

void copy_frame(benchmark::State& state)
{
    const std::vector<float> frame = moduleFrame(state.range(0) != 0);
    std::vector<float> copy(frame.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), frame.data(), frame.size() * sizeof(float));
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(frame.size()));
}
BENCHMARK(copy_frame)->ArgName("downconverted")->Arg(1)->Arg(0);

} // namespace

int main(int argc, char** argv)
{
    RatioReporter reporter(bench::console_options(argc, argv));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& t = reporter.times;
    std::cout << "\nOne frame of " << bins << " bins (" << 2 * bins << " down-converted values, " << 8 * bins
              << " RF samples):\n";
    const struct {
        const char* name;
        const char* work;
        const char* copy;
    } rows[] = {
        { "amplitude and phase, linear", "amplitude_and_phase/log:0", "copy_frame/downconverted:1" },
        { "amplitude and phase, log", "amplitude_and_phase/log:1", "copy_frame/downconverted:1" },
        { "RF samples", "rf_samples", "copy_frame/downconverted:0" },
    };
    for (const auto& row : rows) {
        if (!t.count(row.work) || !t.count(row.copy))
            continue;
        // Times are in nanoseconds per frame.
        const double share = t.at(row.work) * framesPerSecond / 1e9 * 100.0;
        std::cout << "  " << row.name << ": against memcpy " << t.at(row.work) / t.at(row.copy) << " x; at "
                  << framesPerSecond << " frames/s " << share
                  << " % of a core (goal < 1 %: " << bench::verdict(share < 1.0) << ")\n";
    }
    benchmark::Shutdown();
    return 0;
}
