// Receiver throughput on a module's data stream, against memcpy of the same
// bytes in the same run. The stream is 1 MiB of framed application-data
// packets with 1 KiB payloads: a header and radar samples as floats (slowly
// varying I/Q values with noise), escaped wherever their bytes are special.
#include "protocol/protocol_receiver.hpp"

#include "RatioReporter.hpp"
#include <linkwell/protocol_framing.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr size_t stream_size = 1 << 20;
constexpr size_t payload_size = 1024;
constexpr uint32_t connection_capacity = 20000;

void append_u32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

std::vector<uint8_t> radar_payload(uint32_t frame_counter, std::mt19937& random)
{
    std::vector<uint8_t> payload { 0x50 };
    append_u32(payload, 0x2375FE26u); // content id of a respiration message
    append_u32(payload, frame_counter);
    std::normal_distribution<float> noise(0.0f, 0.002f);
    for (int bin = 0; payload.size() + 8 <= payload_size; ++bin) {
        const float phase = 0.05f * static_cast<float>(frame_counter) + 0.3f * static_cast<float>(bin);
        const float amplitude = 0.02f / (1.0f + 0.05f * static_cast<float>(bin));
        for (float value :
            { amplitude * std::cos(phase) + noise(random), amplitude * std::sin(phase) + noise(random) }) {
            uint32_t bits;
            std::memcpy(&bits, &value, 4);
            append_u32(payload, bits);
        }
    }
    payload.resize(payload_size, 0);
    return payload;
}

void collect(uint8_t byte, void* user)
{
    static_cast<std::vector<uint8_t>*>(user)->push_back(byte);
}

struct Stream {
    std::vector<uint8_t> bytes;
    size_t packets = 0;
    size_t escapes = 0;
};

const Stream& radar_stream()
{
    static const Stream stream = [] {
        Stream s;
        std::mt19937 random(1);
        std::vector<uint8_t> framed;
        for (uint32_t counter = 0;; ++counter) {
            const auto payload = radar_payload(counter, random);
            framed.clear();
            createCommand(payload.data(), static_cast<uint32_t>(payload.size()), collect, &framed);
            if (s.bytes.size() + framed.size() > stream_size)
                break;
            s.bytes.insert(s.bytes.end(), framed.begin(), framed.end());
            s.escapes += framed.size() - payload.size() - 3;
            ++s.packets;
        }
        return s;
    }();
    return stream;
}

void count_packet(void* user, const uint8_t* data, uint32_t count)
{
    benchmark::DoNotOptimize(data);
    *static_cast<size_t*>(user) += count;
}

void count_error(void*, uint32_t)
{
    std::fprintf(stderr, "unexpected receive error in the benchmark stream\n");
    std::abort();
}

template <int (*parse)(ApplicationProtocol*, const uint8_t*, uint32_t)>
void BM_Receive(benchmark::State& state)
{
    const Stream& stream = radar_stream();
    std::vector<uint8_t> storage(getInstanceSize());
    std::vector<uint8_t> buffer(connection_capacity);
    size_t payload_bytes = 0;
    ApplicationProtocol* receiver = createApplicationProtocol(
        count_packet, count_error, &payload_bytes, storage.data(), buffer.data(), connection_capacity);
    for (auto _ : state) {
        const int packets = parse(receiver, stream.bytes.data(), static_cast<uint32_t>(stream.bytes.size()));
        if (packets != static_cast<int>(stream.packets))
            state.SkipWithError("wrong number of packets");
        benchmark::DoNotOptimize(packets);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.bytes.size()));
    state.counters["packets"] = static_cast<double>(stream.packets);
    state.counters["escapes"] = static_cast<double>(stream.escapes);
}

void BM_Memcpy(benchmark::State& state)
{
    const Stream& stream = radar_stream();
    std::vector<uint8_t> copy(stream.bytes.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), stream.bytes.data(), stream.bytes.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.bytes.size()));
}

// parseData held to one form of its bulk loops, for information: the goal
// is parseData's as it runs, with the widest form the processor offers.
template <ReceiverBlocks form> void BM_ReceiveWithBlocks(benchmark::State& state)
{
    if (form > widestReceiverBlocks()) {
        state.SkipWithError("this processor lacks the instructions");
        for (auto _ : state) { }
        return;
    }
    useReceiverBlocks(form);
    BM_Receive<parseData>(state);
    useReceiverBlocks(widestReceiverBlocks());
}

BENCHMARK(BM_Memcpy);
BENCHMARK_TEMPLATE(BM_Receive, parseData)->Name("BM_parseData");
BENCHMARK_TEMPLATE(BM_ReceiveWithBlocks, ReceiverBlocks::baseline)->Name("BM_parseData/baseline");
BENCHMARK_TEMPLATE(BM_ReceiveWithBlocks, ReceiverBlocks::avx2)->Name("BM_parseData/avx2");
BENCHMARK_TEMPLATE(BM_ReceiveWithBlocks, ReceiverBlocks::avx512)->Name("BM_parseData/avx512");
BENCHMARK_TEMPLATE(BM_Receive, parseDataBytewise)->Name("BM_parseDataBytewise");

// Prints the usual table and keeps each benchmark's bytes per second, so
// that the ratios to memcpy can follow it.
class RateReporter : public benchmark::ConsoleReporter {
public:
    using ConsoleReporter::ConsoleReporter;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            const auto it = run.counters.find("bytes_per_second");
            if (!run.error_occurred && it != run.counters.end())
                rates_[run.benchmark_name()] = it->second.value;
        }
    }

    void print_ratios() const
    {
        const auto baseline = rates_.find("BM_Memcpy");
        if (baseline == rates_.end() || baseline->second <= 0)
            return;
        std::printf("\nmemcpy: %.2f GB/s\n", baseline->second / 1e9);
        for (const auto& [name, rate] : rates_) {
            if (name == baseline->first)
                continue;
            const double ratio = rate / baseline->second;
            // The goal is the receiver's; the byte-at-a-time one is its reference, for information.
            if (name == "BM_parseData")
                std::printf("%s: %.2f GB/s, %.3f x memcpy (goal >= 0.2 x memcpy: %s)\n", name.c_str(),
                    rate / 1e9, ratio, bench::verdict(ratio >= 0.2));
            else
                std::printf(
                    "%s: %.2f GB/s, %.3f x memcpy (for information)\n", name.c_str(), rate / 1e9, ratio);
        }
    }

private:
    std::map<std::string, double> rates_;
};

} // namespace

int main(int argc, char** argv)
{
    RateReporter reporter(bench::console_options(argc, argv));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    const Stream& stream = radar_stream();
    std::printf("stream: %zu bytes, %zu packets of %zu payload bytes, %zu escapes\n", stream.bytes.size(),
        stream.packets, payload_size, stream.escapes);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.print_ratios();
    benchmark::Shutdown();
    return 0;
}
