// Many modules into one process: eight simulated modules, each streaming
// numbered 64-byte packets at 2,000/s over loopback TCP, read by
//   - BM_ScaleLibrary: eight library connections, each subscribed with a
//     named queue that a reader thread of its own empties with get_packet;
//   - BM_ScalePlain: eight plain blocking socket readers, a thread each, that
//     cut the same streams into packets with the library's own receiver
//     (ByteProtocol).
// Every reader checks that its module's packets arrive exactly once and in
// order. The figure is this process's CPU time per packet while all eight
// stream; the modules run in a child process, so it is the client's alone.
//
// With argument 1 module 0 falls silent halfway, with 2 it hangs up: the run
// still ends, with the other seven modules' packets all delivered. A module
// that has sent nothing for silence_limit is taken as stopped, and its reader
// is cut off (the connection interrupted, the socket shut down).
//
//   link_scale_bench                            # everything, about 25 s
//   link_scale_bench --benchmark_filter=/0/     # the two measured runs
#include "link/ByteProtocol.hpp"

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
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using bench::ModuleProcess;
using Clock = std::chrono::steady_clock;

constexpr size_t module_count = 8;
constexpr double rate = 2000; // packets/s of each module
constexpr size_t packet_size = 64;
constexpr double measured_seconds = 3.0;
// Packets every module's reader must receive.
constexpr auto packet_count = static_cast<uint64_t>(rate * measured_seconds);
// A module that has sent nothing for this long is taken as stopped.
constexpr auto silence_limit = 3s;
// A reader that has been cut off must have ended within this; one that has
// not is a fault that would otherwise hang the run.
constexpr auto end_limit = 10s;
constexpr auto watch_period = 10ms;

enum Stop : int64_t {
    no_stop = 0,
    falls_silent = 1, // module 0 stops streaming halfway, its connection stays
    hangs_up = 2, // module 0 drops its connection halfway
};

// What the reader of one module saw. Written by the reader's thread; the
// atomics are also read by the watcher meanwhile, the rest once the reader
// has been joined.
struct Tally {
    std::atomic<uint64_t> received { 0 };
    std::atomic<bool> complete { false }; // the first packet_count numbers are through
    std::atomic<bool> ended { false }; // the reader has left its loop
    uint64_t next = 0; // one past the highest number seen
    std::vector<bool> got = std::vector<bool>(packet_count); // numbers below packet_count seen
    uint64_t got_count = 0;
    uint64_t out_of_order = 0; // a number below one seen before it
    uint64_t repeated = 0; // a number seen before
    uint64_t malformed = 0; // a packet of the wrong size or kind
    std::string error;

    void take(const uint8_t* packet, size_t size)
    {
        if (size != packet_size || packet[0] != 0x50) {
            ++malformed;
        } else {
            const uint64_t number = bench::packet_number(packet);
            if (number < packet_count) {
                if (got[number]) {
                    ++repeated;
                } else {
                    got[number] = true;
                    ++got_count;
                    if (number + 1 < next)
                        ++out_of_order;
                }
            }
            next = std::max(next, number + 1);
        }
        received.store(received.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        if (next >= packet_count && !complete.load(std::memory_order_relaxed))
            complete.store(true, std::memory_order_relaxed);
    }

    // Numbers below packet_count that never came.
    uint64_t missing() const { return packet_count - got_count; }
};

// This process's CPU time from when every reader had its first packet until
// the first reader had all of its own, and the packets read meanwhile.
struct Window {
    double cpu = 0;
    double wall = 0;
    uint64_t packets = 0;
};

// Watches the readers until each has its packets or has ended, making
// module 0 stop halfway for a stop case and cutting off the reader of a
// module silent for silence_limit. Then ends the modules and cuts off every
// reader, and returns once all have ended.
Window watch(std::vector<Tally>& tallies, ModuleProcess& modules, Stop stop,
    const std::function<void(size_t)>& cut_off, uint64_t& cut_offs)
{
    const size_t count = tallies.size();
    std::vector<uint64_t> seen(count, 0);
    std::vector<Clock::time_point> heard(count, Clock::now());
    std::vector<bool> was_cut(count, false);
    bool stopped = stop == no_stop;
    Window window;
    std::optional<Clock::time_point> t0;
    double cpu0 = 0;
    uint64_t received0 = 0;
    bool closed = false;
    auto close_window = [&](Clock::time_point now, uint64_t received) {
        window.cpu = bench::process_cpu_seconds() - cpu0;
        window.wall = std::chrono::duration<double>(now - *t0).count();
        window.packets = received - received0;
        closed = true;
    };
    for (;;) {
        std::this_thread::sleep_for(watch_period);
        const auto now = Clock::now();
        bool all_started = true;
        bool any_complete = false;
        bool all_through = true;
        uint64_t received = 0;
        for (size_t i = 0; i < count; ++i) {
            const uint64_t r = tallies[i].received.load(std::memory_order_relaxed);
            const bool ended = tallies[i].ended.load(std::memory_order_acquire);
            const bool complete = tallies[i].complete.load(std::memory_order_relaxed);
            received += r;
            all_started = all_started && (r > 0 || ended);
            any_complete = any_complete || complete;
            all_through = all_through && (complete || ended);
            if (r != seen[i]) {
                seen[i] = r;
                heard[i] = now;
            } else if (!ended && !was_cut[i] && now - heard[i] >= silence_limit) {
                cut_off(i);
                was_cut[i] = true;
                ++cut_offs;
            }
        }
        if (!stopped && seen[0] >= packet_count / 2) {
            if (stop == falls_silent)
                modules.stop_stream(0);
            else
                modules.hang_up(0);
            stopped = true;
        }
        if (!t0 && all_started) {
            cpu0 = bench::process_cpu_seconds();
            t0 = now;
            received0 = received;
        }
        if (t0 && !closed && any_complete)
            close_window(now, received);
        if (all_through) {
            if (t0 && !closed)
                close_window(now, received);
            break;
        }
    }
    // The readers have gone on reading whatever came, so that no module
    // dropped packets for want of a reader before the figures were taken.
    modules.finish();
    for (size_t i = 0; i < count; ++i)
        cut_off(i);
    const auto cut = Clock::now();
    for (size_t i = 0; i < count; ++i) {
        while (!tallies[i].ended.load(std::memory_order_acquire)) {
            if (Clock::now() - cut >= end_limit) {
                std::fprintf(stderr, "the reader of module %zu did not end once cut off\n", i);
                std::abort();
            }
            std::this_thread::sleep_for(watch_period);
        }
    }
    return window;
}

// The run's figures as counters; false after SkipWithError.
bool report(benchmark::State& state, const std::vector<Tally>& tallies, const ModuleProcess::Result& modules,
    double modules_wall, const Window& window, Stop stop, uint64_t cut_offs)
{
    for (const Tally& tally : tallies) {
        if (!tally.error.empty()) {
            state.SkipWithError(("a reader failed: " + tally.error).c_str());
            return false;
        }
    }
    if (!modules.told) {
        state.SkipWithError("the module process failed");
        return false;
    }
    if (window.packets == 0) {
        state.SkipWithError("no packet was measured");
        return false;
    }
    uint64_t missing = 0;
    uint64_t out_of_order = 0;
    uint64_t repeated = 0;
    uint64_t malformed = 0;
    // The stopped module's own shortfall is expected: counted apart.
    for (size_t i = stop == no_stop ? 0 : 1; i < tallies.size(); ++i) {
        missing += tallies[i].missing();
        out_of_order += tallies[i].out_of_order;
        repeated += tallies[i].repeated;
        malformed += tallies[i].malformed;
    }
    uint64_t module_dropped = 0;
    for (uint64_t dropped : modules.dropped)
        module_dropped += dropped;
    state.SetIterationTime(window.wall);
    state.counters["packets"] = static_cast<double>(window.packets);
    state.counters["cpu_us_per_packet"] = window.cpu / static_cast<double>(window.packets) * 1e6;
    state.counters["core_percent"] = window.cpu / window.wall * 100;
    state.counters["lost"] = static_cast<double>(missing);
    state.counters["out_of_order"] = static_cast<double>(out_of_order);
    state.counters["repeated"] = static_cast<double>(repeated);
    state.counters["malformed"] = static_cast<double>(malformed);
    state.counters["module_dropped"] = static_cast<double>(module_dropped);
    state.counters["modules_core_percent"] = modules.cpu_seconds / modules_wall * 100;
    state.counters["cut_off"] = static_cast<double>(cut_offs);
    if (stop != no_stop)
        state.counters["stopped_missing"] = static_cast<double>(tallies[0].missing());
    return true;
}

ModuleProcess::Stream numbered_stream()
{
    return { packet_size, rate, true };
}

void BM_ScaleLibrary(benchmark::State& state)
{
    const auto stop = static_cast<Stop>(state.range(0));
    for (auto _ : state) {
        const auto started = Clock::now();
        ModuleProcess modules(numbered_stream(), module_count);
        std::vector<std::unique_ptr<bench::Connection>> connections;
        for (size_t i = 0; i < module_count; ++i) {
            connections.push_back(std::make_unique<bench::Connection>(modules.port(i)));
            RadarCommunicator& communicator = *connections.back()->communicator;
            communicator.subscribe("data", Bytes { 0x50 });
            if (communicator.open("module") != 0) {
                state.SkipWithError("cannot connect");
                return;
            }
        }
        std::vector<Tally> tallies(module_count);
        std::vector<std::thread> readers;
        for (size_t i = 0; i < module_count; ++i) {
            readers.emplace_back([&communicator = *connections[i]->communicator, &tally = tallies[i]] {
                try {
                    for (;;) {
                        const Bytes packet = communicator.get_packet("data");
                        if (packet.empty())
                            break; // interrupted
                        tally.take(packet.data(), packet.size());
                    }
                } catch (const std::exception& e) {
                    tally.error = e.what();
                }
                tally.ended.store(true, std::memory_order_release);
            });
        }
        uint64_t cut_offs = 0;
        const Window window = watch(
            tallies, modules, stop, [&](size_t i) { connections[i]->communicator->interrupt(); }, cut_offs);
        for (std::thread& reader : readers)
            reader.join();
        const double modules_wall = std::chrono::duration<double>(Clock::now() - started).count();
        if (!report(state, tallies, modules.finish(), modules_wall, window, stop, cut_offs))
            return;
    }
}

// A blocking TCP connection to 127.0.0.1:port; -1 when it cannot be made.
int connect_to(uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void BM_ScalePlain(benchmark::State& state)
{
    const auto stop = static_cast<Stop>(state.range(0));
    for (auto _ : state) {
        const auto started = Clock::now();
        ModuleProcess modules(numbered_stream(), module_count);
        std::vector<int> sockets;
        for (size_t i = 0; i < module_count; ++i) {
            sockets.push_back(connect_to(modules.port(i)));
            if (sockets.back() < 0) {
                for (int fd : sockets)
                    if (fd >= 0)
                        ::close(fd);
                state.SkipWithError("cannot connect");
                return;
            }
        }
        std::vector<Tally> tallies(module_count);
        std::vector<std::thread> readers;
        for (size_t i = 0; i < module_count; ++i) {
            readers.emplace_back([fd = sockets[i], &tally = tallies[i]] {
                try {
                    auto receiver = std::make_unique<ByteProtocol>(bench::quiet_logger());
                    receiver->subscribe(
                        [&tally](const uint8_t* packet, unsigned size) { tally.take(packet, size); });
                    std::vector<uint8_t> buffer(6158);
                    for (;;) {
                        const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
                        if (n < 0 && errno == EINTR)
                            continue;
                        if (n <= 0)
                            break; // closed, or shut down to cut it off
                        receiver->parse(buffer.data(), static_cast<unsigned>(n));
                    }
                } catch (const std::exception& e) {
                    tally.error = e.what();
                }
                tally.ended.store(true, std::memory_order_release);
            });
        }
        uint64_t cut_offs = 0;
        const Window window = watch(
            tallies, modules, stop, [&](size_t i) { ::shutdown(sockets[i], SHUT_RDWR); }, cut_offs);
        for (std::thread& reader : readers)
            reader.join();
        for (int fd : sockets)
            ::close(fd);
        const double modules_wall = std::chrono::duration<double>(Clock::now() - started).count();
        if (!report(state, tallies, modules.finish(), modules_wall, window, stop, cut_offs))
            return;
    }
}

void stops(benchmark::internal::Benchmark* b)
{
    for (Stop stop : { no_stop, falls_silent, hangs_up })
        b->Arg(stop);
}

BENCHMARK(BM_ScalePlain)->Apply(stops)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScaleLibrary)->Apply(stops)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// Prints the usual table, then the library's CPU per packet as a ratio to
// the plain readers', whether every packet came, and how the runs with a
// module that stops ended.
class ScaleReporter : public bench::FigureReporter {
public:
    using FigureReporter::FigureReporter;

    void print_goals() const
    {
        const std::string library = name("BM_ScaleLibrary", no_stop);
        const std::string plain = name("BM_ScalePlain", no_stop);
        std::printf("\n%zu modules x %.0f packets/s of %zu bytes into one process:\n", module_count, rate,
            packet_size);
        for (const auto& [what, run] :
            { std::pair { "library", library }, std::pair { "plain readers", plain } })
            if (measured(run))
                std::printf("  %-14s %6.2f us CPU per packet (%5.2f %% of a core), lost %g, out of order %g, "
                            "repeated %g, malformed %g\n",
                    what, figure(run, "cpu_us_per_packet"), figure(run, "core_percent"), figure(run, "lost"),
                    figure(run, "out_of_order"), figure(run, "repeated"), figure(run, "malformed"));
        if (measured(library) && measured(plain)) {
            const double ratio = figure(library, "cpu_us_per_packet") / figure(plain, "cpu_us_per_packet");
            std::printf("  CPU per packet, library against plain readers: ratio %.2f, goal at most 2 x: %s\n",
                ratio, bench::verdict(ratio <= 2));
        }
        if (measured(library))
            std::printf("  every packet of every module delivered once and in order by the library: %s\n",
                bench::verdict(intact(library) && figure(library, "cut_off") == 0));
        for (const char* benchmark : { "BM_ScaleLibrary", "BM_ScalePlain" }) {
            for (Stop stop : { falls_silent, hangs_up }) {
                const std::string run = name(benchmark, stop);
                if (!measured(run))
                    continue;
                std::printf("  %s, module 0 %s halfway: the run ended (%g reader cut off), %g of its packets "
                            "missing; the other modules' packets all delivered once and in order: %s\n",
                    benchmark, stop == falls_silent ? "falls silent" : "hangs up", figure(run, "cut_off"),
                    figure(run, "stopped_missing"), bench::verdict(intact(run)));
            }
        }
    }

private:
    // Every packet of the modules that did not stop came once and in order.
    bool intact(const std::string& run) const
    {
        return figure(run, "lost") == 0 && figure(run, "out_of_order") == 0 && figure(run, "repeated") == 0
            && figure(run, "malformed") == 0;
    }

    static std::string name(const std::string& benchmark, Stop stop)
    {
        return benchmark + "/" + std::to_string(static_cast<int>(stop)) + "/iterations:1/manual_time";
    }
};

} // namespace

int main(int argc, char** argv)
{
    ScaleReporter reporter(bench::console_options(argc, argv));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.print_goals();
    benchmark::Shutdown();
    return 0;
}
