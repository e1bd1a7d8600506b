// What a connection costs at the rates real modules send, and how it holds
// up under a module that floods it. The simulated module runs in a child
// process, so this process's CPU time is the client's alone:
//   - CPU time per packet at 200, 2,000 and 20,000 packets/s of 64-byte and
//     1 KiB packets read from a named queue with get_packet, beside a plain
//     blocking socket reader that cuts the same stream into packets with the
//     library's own receiver (ByteProtocol);
//   - CPU of an idle open connection over 5 s;
//   - under a module that sends 29-byte frames as fast as the socket takes
//     them: ping round trips and the growth of the resident set.
//
//   link_load_bench                       # everything, about a minute
//   link_load_bench --benchmark_filter=Idle
#include "link/ByteProtocol.hpp"

#include "simmodule/Framing.hpp"

#include "FigureReporter.hpp"
#include "LinkBench.hpp"
#include "ModuleProcess.hpp"
#include "RatioReporter.hpp"

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using bench::Connection;
using bench::ModuleProcess;
using bench::process_cpu_seconds;
using bench::quiet_logger;
using Clock = std::chrono::steady_clock;

// How long each rate is measured.
constexpr double measured_seconds = 2.0;
constexpr double flood_rate = 1e9; // as fast as the socket takes

long resident_bytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

void report_cpu(benchmark::State& state, double cpu, double wall, uint64_t packets)
{
    state.SetIterationTime(wall);
    state.counters["cpu_us_per_packet"] = cpu / static_cast<double>(packets) * 1e6;
    state.counters["core_percent"] = cpu / wall * 100;
}

// A client that reads one named queue, waiting in get_packet.
void BM_QueueClient(benchmark::State& state)
{
    const double rate = static_cast<double>(state.range(0));
    const size_t size = static_cast<size_t>(state.range(1));
    const auto count = static_cast<uint64_t>(rate * measured_seconds);
    for (auto _ : state) {
        ModuleProcess module({ size, rate });
        Connection connection(module.port());
        connection.communicator->subscribe("data", Bytes { 0x50 });
        if (connection.communicator->open("module") != 0) {
            state.SkipWithError("cannot connect");
            return;
        }
        connection.communicator->get_packet("data"); // the stream runs
        const double cpu0 = process_cpu_seconds();
        const auto t0 = Clock::now();
        for (uint64_t i = 0; i < count; ++i) {
            if (connection.communicator->get_packet("data").size() != size) {
                state.SkipWithError("wrong packet");
                return;
            }
        }
        report_cpu(state, process_cpu_seconds() - cpu0,
            std::chrono::duration<double>(Clock::now() - t0).count(), count);
    }
}

// The same stream read by a plain blocking socket loop and cut into packets
// by the library's receiver.
void BM_PlainReader(benchmark::State& state)
{
    const double rate = static_cast<double>(state.range(0));
    const size_t size = static_cast<size_t>(state.range(1));
    const auto count = static_cast<uint64_t>(rate * measured_seconds);
    for (auto _ : state) {
        ModuleProcess module({ size, rate });
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(module.port());
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            state.SkipWithError("cannot connect");
            return;
        }
        uint64_t packets = 0;
        ByteProtocol receiver(quiet_logger());
        receiver.subscribe([&](const uint8_t*, unsigned) { ++packets; });
        std::vector<uint8_t> buffer(6158);
        double cpu0 = 0;
        Clock::time_point t0;
        bool started = false;
        while (packets < count + 1) {
            const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
            if (n <= 0)
                break;
            receiver.parse(buffer.data(), static_cast<unsigned>(n));
            if (!started && packets > 0) {
                started = true;
                cpu0 = process_cpu_seconds();
                t0 = Clock::now();
                packets = 1;
            }
        }
        const double cpu = process_cpu_seconds() - cpu0;
        const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
        ::close(fd);
        report_cpu(state, cpu, wall, count);
    }
}

void BM_IdleConnection(benchmark::State& state)
{
    for (auto _ : state) {
        ModuleProcess module({ 0, 0 });
        Connection connection(module.port());
        connection.communicator->subscribe("data", Bytes { 0x50 });
        if (connection.communicator->open("module") != 0) {
            state.SkipWithError("cannot connect");
            return;
        }
        std::this_thread::sleep_for(100ms); // settled
        const double cpu0 = process_cpu_seconds();
        const auto t0 = Clock::now();
        std::this_thread::sleep_for(5s);
        const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
        state.SetIterationTime(wall);
        state.counters["core_percent"] = (process_cpu_seconds() - cpu0) / wall * 100;
    }
}

// A module that floods 29-byte frames; nobody reads the queue. Pings go out
// every 20 ms for 3 s.
void BM_FloodPing(benchmark::State& state)
{
    for (auto _ : state) {
        ModuleProcess module({ 29, flood_rate });
        const long rss0 = resident_bytes();
        long peak = rss0;
        std::vector<double> round_trips;
        int failed = 0;
        const auto t0 = Clock::now();
        {
            Connection connection(module.port());
            connection.communicator->subscribe("data", Bytes { 0x50 });
            if (connection.communicator->open("module") != 0) {
                state.SkipWithError("cannot connect");
                return;
            }
            const Bytes ping = simmodule::frame(simmodule::Bytes { 0x01, 0x07, 0x00, 0x00, 0x00 });
            while (Clock::now() - t0 < 3s) {
                std::this_thread::sleep_for(20ms);
                const auto sent = Clock::now();
                try {
                    connection.communicator->send(2, ping, Bytes { 0x01 });
                    round_trips.push_back(
                        std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
                } catch (const std::exception&) {
                    ++failed;
                }
                peak = std::max(peak, resident_bytes());
            }
            const auto closing = Clock::now();
            connection.communicator.reset();
            state.counters["close_ms"]
                = std::chrono::duration<double, std::milli>(Clock::now() - closing).count();
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - t0).count());
        std::sort(round_trips.begin(), round_trips.end());
        state.counters["pings_failed"] = failed;
        state.counters["rtt_median_ms"] = round_trips.empty() ? 0 : round_trips[round_trips.size() / 2];
        state.counters["rtt_max_ms"] = round_trips.empty() ? 0 : round_trips.back();
        state.counters["rss_growth_mib"] = static_cast<double>(peak - rss0) / (1 << 20);
    }
}

void rates(benchmark::internal::Benchmark* b)
{
    for (int size : { 64, 1024 })
        for (int rate : { 200, 2000, 20000 })
            b->Args({ rate, size });
}

BENCHMARK(BM_PlainReader)->Apply(rates)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QueueClient)->Apply(rates)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdleConnection)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloodPing)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// Prints the usual table, then the client's CPU per packet as a ratio to the
// plain reader's, and the figures against their goals.
class GoalReporter : public bench::FigureReporter {
public:
    using FigureReporter::FigureReporter;

    void print_goals() const
    {
        std::printf("\nCPU per packet, queue client against a plain socket reader (goal at 200 and 2000/s: "
                    "ratio <= 2):\n");
        for (const char* size : { "64", "1024" }) {
            for (const char* rate : { "200", "2000", "20000" }) {
                const std::string args = std::string("/") + rate + "/" + size + "/iterations:1/manual_time";
                const double ours = figure("BM_QueueClient" + args, "cpu_us_per_packet");
                const double plain = figure("BM_PlainReader" + args, "cpu_us_per_packet");
                if (ours <= 0 || plain <= 0)
                    continue;
                // The goal holds at the rates real modules send; 20000/s is for information.
                const bool has_goal = std::string(rate) != "20000";
                std::printf(
                    "  %5s packets/s of %4s bytes: client %7.2f us (%5.2f %% of a core), plain %7.2f us "
                    "(%5.2f %%), ratio %.2f%s%s\n",
                    rate, size, ours, figure("BM_QueueClient" + args, "core_percent"), plain,
                    figure("BM_PlainReader" + args, "core_percent"), ours / plain, has_goal ? ", goal " : "",
                    has_goal ? bench::verdict(ours / plain <= 2) : "");
            }
        }
        const std::string idle = "BM_IdleConnection/iterations:1/manual_time";
        if (measured(idle))
            std::printf("idle open connection: %.3f %% of a core (goal < 0.5 %%: %s)\n",
                figure(idle, "core_percent"), bench::verdict(figure(idle, "core_percent") < 0.5));
        const std::string flood = "BM_FloodPing/iterations:1/manual_time";
        if (measured(flood)) {
            // Every ping must come back in time: one that failed counts against the goal.
            const bool answered = figure(flood, "pings_failed") == 0 && figure(flood, "rtt_max_ms") < 100;
            std::printf(
                "flood: ping round trip median %.1f ms, max %.1f ms, %g failed (goal: every ping answered in "
                "< 100 ms: %s); resident set grew %.1f MiB; close %.1f ms\n",
                figure(flood, "rtt_median_ms"), figure(flood, "rtt_max_ms"), figure(flood, "pings_failed"),
                bench::verdict(answered), figure(flood, "rss_growth_mib"), figure(flood, "close_ms"));
        }
    }
};

} // namespace

int main(int argc, char** argv)
{
    GoalReporter reporter(bench::console_options(argc, argv));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.print_goals();
    benchmark::Shutdown();
    return 0;
}
