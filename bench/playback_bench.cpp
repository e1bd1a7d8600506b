// Playback against the live path, in the same run: 64-byte packets per
// second into a named queue read by a client,
//   - played from a recording at rate -1 (as fast as the connection reads)
//     through a playback connection: player, reader thread, pass-through
//     protocol, dispatcher;
//   - sent by the simulated module over TCP loopback through a live
//     connection: socket, reader thread, de-framing, dispatcher.
// Every packet carries its number, so the client counts packets that were
// dropped (a named queue keeps the newest 1000 when its reader falls behind)
// or came out of order. The summary compares packets received per second by
// the client, and packets sent per second (a burst's time). Goal: playback
// receives at least half the live rate, every record, in order.
//
// For figures worth quoting run repetitions on a quiet machine:
//   playback_bench --benchmark_repetitions=9 --benchmark_enable_random_interleaving=true
#include <linkwell/DataPlayer.hpp>

#include "link/RadarCommunicator.hpp"
#include "link/TcpIpFactory.hpp"
#include "link/UartIo.hpp"
#include "log/ConsoleAndFileLogger.hpp"
#include "recording/PlaybackFactory.hpp"

#include "RatioReporter.hpp"
#include "simmodule/SimModule.hpp"
#include "support/IndexFileWriter.hpp"

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <stdexcept>

namespace {

constexpr size_t packet_size = 64;
constexpr uint32_t packet_count = 20000;
// Radar RF normalized: stored in binary form behind a five-byte head (0x50
// and the content id), which playback puts back.
constexpr uint32_t recorded_type = 0x100000;
constexpr uint32_t recorded_content_id = 0xB13B8F12;
constexpr size_t head_size = 5;

StdoutLogger& quiet_logger()
{
    static StdoutLogger logger(0, new DefaultLoggerIo(false, false));
    return logger;
}

// The payload behind the head: the packet's number, then filler that needs
// no escaping on the wire.
Bytes payload(uint32_t number)
{
    Bytes bytes(packet_size - head_size);
    for (size_t i = 0; i < 4; ++i)
        bytes[i] = static_cast<uint8_t>(number >> (8 * i));
    for (size_t i = 4; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i % 0x7D);
    return bytes;
}

Bytes live_packet(uint32_t number)
{
    Bytes packet { 0x50 };
    for (size_t i = 0; i < 4; ++i)
        packet.push_back(static_cast<uint8_t>(recorded_content_id >> (8 * i)));
    const Bytes rest = payload(number);
    packet.insert(packet.end(), rest.begin(), rest.end());
    return packet;
}

// A recording of packet_count records 1 ms apart, written once, removed at
// exit.
class Recording {
public:
    Recording()
    {
        char pattern[] = "/tmp/linkwell-bench-playback-XXXXXX";
        if (!mkdtemp(pattern))
            throw std::runtime_error("no temporary directory");
        directory_ = pattern;
        testsupport::IndexFileWriter writer(directory_, "3c1d5e7f-2a4b-4c6d-8e0f-1a2b3c4d5e6f");
        const uint32_t file = writer.add_data_file("sarvik_radarrfnormalized.dat");
        for (uint32_t i = 0; i < packet_count; ++i)
            writer.write(file, recorded_type, payload(i), i);
        writer.close_data_file(file, recorded_type, packet_count);
        index_file_ = writer.finish();
    }
    ~Recording()
    {
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }
    const std::string& index_file() const { return index_file_; }

private:
    std::string directory_;
    std::string index_file_;
};

const Recording& recording()
{
    static const Recording r;
    return r;
}

// Reads one burst from the queue, up to the packet numbered last, and counts
// the numbers that were skipped or came back.
struct Tally {
    uint64_t received = 0;
    uint64_t dropped = 0;
    uint64_t out_of_order = 0;
    double seconds = 0; // spent reading bursts

    bool read_burst(RadarCommunicator& communicator)
    {
        uint32_t expected = 0;
        for (;;) {
            const Bytes packet = communicator.get_packet("data");
            if (packet.size() != packet_size)
                return false;
            ++received;
            const uint32_t number = packet[5] | packet[6] << 8 | packet[7] << 16 | uint32_t(packet[8]) << 24;
            if (number < expected)
                ++out_of_order;
            else
                dropped += number - expected;
            expected = number + 1;
            if (number == packet_count - 1)
                return true;
        }
    }

    // Runs one burst per iteration of the state and reports the counts.
    template <typename Burst>
    void run(benchmark::State& state, RadarCommunicator& communicator, Burst start_burst)
    {
        const auto begin = std::chrono::steady_clock::now();
        for (auto _ : state) {
            start_burst();
            if (!read_burst(communicator)) {
                state.SkipWithError("wrong packet");
                return;
            }
        }
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        report(state);
    }

    void report(benchmark::State& state) const
    {
        state.SetBytesProcessed(static_cast<int64_t>(received * packet_size));
        state.counters["packets_per_second"]
            = benchmark::Counter(static_cast<double>(received), benchmark::Counter::kIsRate);
        state.counters["dropped"] = static_cast<double>(dropped);
        state.counters["out_of_order"] = static_cast<double>(out_of_order);
    }
};

// Every run's tally, summed per path, for the summary.
std::map<std::string, Tally>& tallies()
{
    static std::map<std::string, Tally> all;
    return all;
}

void add_to_summary(const std::string& path, const Tally& tally)
{
    Tally& sum = tallies()[path];
    sum.received += tally.received;
    sum.dropped += tally.dropped;
    sum.out_of_order += tally.out_of_order;
    sum.seconds += tally.seconds;
}

void BM_PlaybackStream(benchmark::State& state)
{
    Sarvik::DataPlayer player(recording().index_file(), -1);
    player.set_playback_rate(-1.0f);
    PlaybackFactory factory(player);
    UartIo io(quiet_logger(), factory);
    RadarCommunicator communicator(io, factory, quiet_logger());
    communicator.subscribe("data", Bytes { 0x50 });
    if (communicator.open("__playback__") != 0) {
        state.SkipWithError("cannot open the recording");
        return;
    }
    Tally tally;
    tally.run(state, communicator, [&] {
        // From the first record again.
        player.stop();
        player.play();
    });
    add_to_summary("playback", tally);
}

void BM_LiveStream(benchmark::State& state)
{
    simmodule::SimModule module(simmodule::Transport::Tcp);
    TcpIpFactory factory(htonl(INADDR_LOOPBACK), htons(module.tcp_port()));
    UartIo io(quiet_logger(), factory);
    RadarCommunicator communicator(io, factory, quiet_logger());
    communicator.subscribe("data", Bytes { 0x50 });
    if (communicator.open("module") != 0) {
        state.SkipWithError("cannot connect");
        return;
    }
    Tally tally;
    tally.run(state, communicator, [&] {
        module.send_burst(simmodule::DataSource::generate(
                              [](uint64_t index) { return live_packet(static_cast<uint32_t>(index)); }),
            packet_count);
    });
    add_to_summary("live", tally);
}

BENCHMARK(BM_LiveStream)->UseRealTime();
BENCHMARK(BM_PlaybackStream)->UseRealTime();

// The time of one burst, the median over the repetitions where there were
// some.
double burst_time(const RatioReporter& reporter, const std::string& benchmark)
{
    for (const std::string& name : { benchmark + "/real_time_median", benchmark + "/real_time" }) {
        const auto found = reporter.times.find(name);
        if (found != reporter.times.end())
            return found->second;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    RatioReporter reporter(bench::console_options(argc, argv));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double live = burst_time(reporter, "BM_LiveStream");
    const double playback = burst_time(reporter, "BM_PlaybackStream");
    Tally& live_tally = tallies()["live"];
    Tally& playback_tally = tallies()["playback"];
    if (live > 0 && playback > 0 && live_tally.seconds > 0 && playback_tally.seconds > 0) {
        std::printf("\n64-byte packets per second, playback at rate -1 against the live path:\n");
        for (const auto& [name, tally] : tallies())
            std::printf("  %-9s %9.0f received/s by the client; %llu received, %llu dropped by the queue, "
                        "%llu out of order\n",
                name.c_str(), static_cast<double>(tally.received) / tally.seconds,
                static_cast<unsigned long long>(tally.received),
                static_cast<unsigned long long>(tally.dropped),
                static_cast<unsigned long long>(tally.out_of_order));
        const double received_ratio = (static_cast<double>(playback_tally.received) / playback_tally.seconds)
            / (static_cast<double>(live_tally.received) / live_tally.seconds);
        // Both burst times are in the same unit; a burst is packet_count packets.
        const bool complete = playback_tally.dropped == 0 && playback_tally.out_of_order == 0;
        std::printf(
            "  ratio %.3f received/s, %.3f sent/s (goal >= 0.5, nothing dropped or out of order: %s)\n",
            received_ratio, live / playback, bench::verdict(received_ratio >= 0.5 && complete));
    }
    benchmark::Shutdown();
    return 0;
}
