// Decoding application-data packets: the decoders only point into the packet,
// so decoding a large radar frame should cost next to nothing, and copying it
// into the public record about as much as copying its bytes. Baseline: a
// memcpy of the same packet into a fresh vector.
#include "protocol/protocol_records.hpp"
#include <linkwell/protocol_parser.h>

#include "RatioReporter.hpp"

#include <benchmark/benchmark.h>

#include <cstring>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

// A radar baseband frame (content id 0x026F1379) with the given bins.
std::vector<uint8_t> radar_baseband_frame(uint32_t bins)
{
    std::vector<uint8_t> packet(49 + 8 * bins, 0);
    packet[0] = 0x50;
    const uint32_t id = 0x026F1379;
    std::memcpy(&packet[1], &id, 4);
    std::memcpy(&packet[9], &bins, 4);
    for (size_t i = 49; i < packet.size(); ++i)
        packet[i] = static_cast<uint8_t>(i * 7);
    return packet;
}

const uint32_t bins = 1000;

void memcpy_baseline(benchmark::State& state)
{
    const auto packet = radar_baseband_frame(bins);
    for (auto _ : state) {
        std::vector<uint8_t> copy(packet.size());
        std::memcpy(copy.data(), packet.data(), packet.size());
        benchmark::DoNotOptimize(copy.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(packet.size()));
}
BENCHMARK(memcpy_baseline);

void decode_only(benchmark::State& state)
{
    const auto packet = radar_baseband_frame(bins);
    HostParser table;
    init_host_parser(&table);
    table.on_radar_baseband_float
        = [](RadarBasebandFloatData r, void* user) { *static_cast<uint32_t*>(user) += r.num_bins; };
    uint32_t seen = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(parse_appdata(&table, packet.data(), uint32_t(packet.size()), &seen));
    }
    benchmark::DoNotOptimize(seen);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(packet.size()));
}
BENCHMARK(decode_only);

void decode_and_copy_to_public(benchmark::State& state)
{
    const auto packet = radar_baseband_frame(bins);
    HostParser table;
    init_host_parser(&table);
    table.on_radar_baseband_float = [](RadarBasebandFloatData r, void* user) {
        auto record = to_public(r);
        *static_cast<size_t*>(user) += record.i_data.size();
        benchmark::DoNotOptimize(record.q_data.data());
    };
    size_t seen = 0;
    for (auto _ : state)
        parse_appdata(&table, packet.data(), uint32_t(packet.size()), &seen);
    benchmark::DoNotOptimize(seen);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(packet.size()));
}
BENCHMARK(decode_and_copy_to_public);

} // namespace

int main(int argc, char** argv)
{
    RatioReporter reporter(bench::console_options(argc, argv));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto baseline = reporter.times.find("memcpy_baseline");
    if (baseline != reporter.times.end() && baseline->second > 0) {
        std::cout << "\nTime per packet of " << bins << " bins against a memcpy of the packet:\n";
        for (const auto& [name, time] : reporter.times)
            if (name != baseline->first)
                std::cout << "  " << name << ": " << time / baseline->second << " x memcpy\n";
    }
    benchmark::Shutdown();
    return 0;
}
