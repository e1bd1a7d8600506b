// The communicator against the simulated module over TCP loopback, beside
// plain sockets doing the same work in the same run:
//   - command round trips per second through RadarCommunicator::send, against
//     a bare socket client talking to the same simulated module and against a
//     bare socket echo (the loopback floor);
//   - data packets per second from the module into a named queue and read out
//     with get_packet, 64-byte and 4 KiB packets, against a plain socket read
//     loop that moves the same bytes from the same kind of module.
//
// Loopback figures on a shared machine swing from run to run; for figures
// worth quoting run repetitions in random order, the ratios then compare
// medians:
//   communicator_bench --benchmark_repetitions=9 --benchmark_enable_random_interleaving=true
#include "link/RadarCommunicator.hpp"
#include "link/TcpIpFactory.hpp"
#include "link/UartIo.hpp"
#include "log/ConsoleAndFileLogger.hpp"

#include "simmodule/SimModule.hpp"

#include "FigureReporter.hpp"
#include "LinkBench.hpp"
#include "RatioReporter.hpp"

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using simmodule::DataSource;
using simmodule::Rule;
using simmodule::SimModule;
using simmodule::Transport;

const Bytes command_payload = { 0x01, 0x10, 0x00, 0x00, 0x00 };
const Bytes reply_payload = { 0x11, 0x01, 0x2A, 0x00, 0x00, 0x00 };
constexpr uint8_t last_packet_marker = 0xEE;

using bench::quiet_logger;

// ---- plain sockets ---------------------------------------------------------

class Socket {
public:
    explicit Socket(int fd)
        : fd_(fd)
    {
        if (fd_ < 0)
            throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
        const int one = 1;
        setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    ~Socket()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    static Socket connect_to(uint16_t port)
    {
        Socket s(::socket(AF_INET, SOCK_STREAM, 0));
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        if (::connect(s.fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            throw std::runtime_error(std::string("connect: ") + std::strerror(errno));
        return s;
    }

    Socket(Socket&& other) noexcept
        : fd_(other.fd_)
    {
        other.fd_ = -1;
    }

    void write_all(const uint8_t* data, size_t size)
    {
        while (size > 0) {
            const ssize_t n = ::send(fd_, data, size, MSG_NOSIGNAL);
            if (n <= 0)
                throw std::runtime_error("send failed");
            data += n;
            size -= static_cast<size_t>(n);
        }
    }

    // Reads whatever is there, at most size bytes; 0 at end of stream.
    size_t read_some(uint8_t* buffer, size_t size)
    {
        const ssize_t n = ::recv(fd_, buffer, size, 0);
        if (n < 0)
            throw std::runtime_error("recv failed");
        return static_cast<size_t>(n);
    }

    int fd() const { return fd_; }

private:
    int fd_;
};

// Echoes every byte back on a thread of its own: the loopback floor of a
// round trip between two threads.
class EchoServer {
public:
    EchoServer()
        : listener_(::socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(listener_.fd(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
            || ::listen(listener_.fd(), 1) != 0)
            throw std::runtime_error("echo server cannot listen");
        socklen_t length = sizeof address;
        getsockname(listener_.fd(), reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~EchoServer()
    {
        // The client has closed its end by now, which ends serve().
        thread_.join();
    }

    uint16_t port() const { return port_; }

private:
    void serve()
    {
        Socket peer(::accept(listener_.fd(), nullptr, nullptr));
        uint8_t buffer[4096];
        for (;;) {
            const size_t n = peer.read_some(buffer, sizeof buffer);
            if (n == 0)
                return;
            peer.write_all(buffer, n);
        }
    }

    Socket listener_;
    uint16_t port_ = 0;
    std::thread thread_;
};

// ---- round trips -----------------------------------------------------------

void add_reply_rule(SimModule& module)
{
    module.add_rule(Rule(Bytes { command_payload[0] }).reply(reply_payload));
}

void BM_CommunicatorRoundTrip(benchmark::State& state)
{
    SimModule module(Transport::Tcp);
    add_reply_rule(module);
    TcpIpFactory factory(htonl(INADDR_LOOPBACK), htons(module.tcp_port()));
    UartIo io(quiet_logger(), factory);
    RadarCommunicator communicator(io, factory, quiet_logger());
    if (communicator.open("module") != 0) {
        state.SkipWithError("cannot connect");
        return;
    }
    const Bytes command = simmodule::frame(command_payload);
    const Bytes reply_prefix = { reply_payload[0], reply_payload[1] };
    for (auto _ : state) {
        Bytes reply = communicator.send(2, command, reply_prefix);
        if (reply != reply_payload) {
            state.SkipWithError("wrong reply");
            break;
        }
    }
    state.counters["round_trips_per_second"]
        = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_BareSocketToModuleRoundTrip(benchmark::State& state)
{
    SimModule module(Transport::Tcp);
    add_reply_rule(module);
    Socket client = Socket::connect_to(module.tcp_port());
    const Bytes command = simmodule::frame(command_payload);
    const Bytes reply = simmodule::frame(reply_payload);
    std::vector<uint8_t> buffer(reply.size());
    for (auto _ : state) {
        client.write_all(command.data(), command.size());
        size_t got = 0;
        while (got < reply.size()) {
            const size_t n = client.read_some(buffer.data() + got, reply.size() - got);
            if (n == 0)
                break;
            got += n;
        }
        if (got != reply.size()) {
            state.SkipWithError("short reply");
            break;
        }
    }
    state.counters["round_trips_per_second"]
        = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_BareSocketEchoRoundTrip(benchmark::State& state)
{
    EchoServer server;
    {
        Socket client = Socket::connect_to(server.port());
        const Bytes command = simmodule::frame(command_payload);
        std::vector<uint8_t> buffer(command.size());
        for (auto _ : state) {
            client.write_all(command.data(), command.size());
            size_t got = 0;
            while (got < command.size())
                got += client.read_some(buffer.data() + got, command.size() - got);
        }
    }
    state.counters["round_trips_per_second"]
        = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// ---- data streams ----------------------------------------------------------

// A data packet of the given size: 0x50, then bytes that need no escaping.
Bytes data_packet(size_t size, uint8_t tag)
{
    Bytes packet(size);
    packet[0] = 0x50;
    packet[1] = tag;
    for (size_t i = 2; i < size; ++i)
        packet[i] = static_cast<uint8_t>(i % 0x7D);
    return packet;
}

size_t packets_per_burst(size_t packet_size)
{
    return packet_size <= 64 ? 20000 : 2000;
}

// Queues one burst: ordinary packets and a marked last one, so the reader
// knows the end even if packets were dropped on the way.
void send_burst(SimModule& module, size_t packet_size, size_t count)
{
    module.send_burst(DataSource::fixed(data_packet(packet_size, 0x01)), count - 1);
    module.send_packet(data_packet(packet_size, last_packet_marker));
}

void BM_CommunicatorStream(benchmark::State& state)
{
    const size_t packet_size = static_cast<size_t>(state.range(0));
    const size_t count = packets_per_burst(packet_size);
    SimModule module(Transport::Tcp);
    TcpIpFactory factory(htonl(INADDR_LOOPBACK), htons(module.tcp_port()));
    UartIo io(quiet_logger(), factory);
    RadarCommunicator communicator(io, factory, quiet_logger());
    communicator.subscribe("data", Bytes { 0x50 });
    if (communicator.open("module") != 0) {
        state.SkipWithError("cannot connect");
        return;
    }
    uint64_t received = 0;
    uint64_t sent = 0;
    for (auto _ : state) {
        send_burst(module, packet_size, count);
        sent += count;
        for (;;) {
            const Bytes packet = communicator.get_packet("data");
            ++received;
            if (packet.size() != packet_size) {
                state.SkipWithError("wrong packet");
                return;
            }
            if (packet[1] == last_packet_marker)
                break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(received * packet_size));
    state.counters["packets_per_second"]
        = benchmark::Counter(static_cast<double>(received), benchmark::Counter::kIsRate);
    state.counters["dropped"] = static_cast<double>(sent - received);
}

// The connection below the communicator: packets cut by the reader thread
// and handed to a sink that only counts them. The gap between this and the
// communicator is the dispatcher hop and the queue.
void BM_ConnectionStream(benchmark::State& state)
{
    const size_t packet_size = static_cast<size_t>(state.range(0));
    const size_t count = packets_per_burst(packet_size);
    SimModule module(Transport::Tcp);
    TcpIpFactory factory(htonl(INADDR_LOOPBACK), htons(module.tcp_port()));
    UartIo io(quiet_logger(), factory);
    std::mutex mutex;
    std::condition_variable last_seen;
    uint64_t received = 0;
    uint64_t bursts_done = 0;
    const int opened = io.open("module", [&](std::vector<Bytes> packets) {
        std::lock_guard<std::mutex> lock(mutex);
        for (const Bytes& packet : packets) {
            ++received;
            if (packet[1] == last_packet_marker) {
                ++bursts_done;
                last_seen.notify_one();
            }
        }
    });
    if (opened != 0) {
        state.SkipWithError("cannot connect");
        return;
    }
    uint64_t bursts = 0;
    for (auto _ : state) {
        send_burst(module, packet_size, count);
        ++bursts;
        std::unique_lock<std::mutex> lock(mutex);
        last_seen.wait(lock, [&] { return bursts_done == bursts; });
    }
    io.close();
    state.SetBytesProcessed(static_cast<int64_t>(received * packet_size));
    state.counters["packets_per_second"]
        = benchmark::Counter(static_cast<double>(received), benchmark::Counter::kIsRate);
}

void BM_BareSocketStream(benchmark::State& state)
{
    const size_t packet_size = static_cast<size_t>(state.range(0));
    const size_t count = packets_per_burst(packet_size);
    SimModule module(Transport::Tcp);
    Socket client = Socket::connect_to(module.tcp_port());
    module.wait_for_connected(10s);
    const size_t wire_bytes = simmodule::frame(data_packet(packet_size, 0x01)).size() * (count - 1)
        + simmodule::frame(data_packet(packet_size, last_packet_marker)).size();
    std::vector<uint8_t> buffer(6158);
    for (auto _ : state) {
        send_burst(module, packet_size, count);
        size_t got = 0;
        while (got < wire_bytes) {
            const size_t n = client.read_some(buffer.data(), std::min(buffer.size(), wire_bytes - got));
            if (n == 0) {
                state.SkipWithError("module went away");
                return;
            }
            got += n;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * count * packet_size));
    state.counters["packets_per_second"]
        = benchmark::Counter(static_cast<double>(state.iterations() * count), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_BareSocketEchoRoundTrip)->UseRealTime();
BENCHMARK(BM_BareSocketToModuleRoundTrip)->UseRealTime();
BENCHMARK(BM_CommunicatorRoundTrip)->UseRealTime();
BENCHMARK(BM_BareSocketStream)->Arg(64)->Arg(4096)->UseRealTime();
BENCHMARK(BM_ConnectionStream)->Arg(64)->Arg(4096)->UseRealTime();
BENCHMARK(BM_CommunicatorStream)->Arg(64)->Arg(4096)->UseRealTime();

// Prints the usual table, keeps each benchmark's counters and then prints
// the communicator's figures as ratios to the plain sockets, and its goals.
class CommunicatorReporter : public bench::FigureReporter {
public:
    using FigureReporter::FigureReporter;

    void print_ratios() const
    {
        std::printf("\n");
        ratio("round trips/s", "BM_CommunicatorRoundTrip/real_time",
            "BM_BareSocketToModuleRoundTrip/real_time", "round_trips_per_second",
            "bare socket to the same module");
        ratio("round trips/s", "BM_CommunicatorRoundTrip/real_time", "BM_BareSocketEchoRoundTrip/real_time",
            "round_trips_per_second", "bare socket echo");
        for (const char* size : { "64", "4096" }) {
            const std::string ours = std::string("BM_CommunicatorStream/") + size + "/real_time";
            const std::string connection = std::string("BM_ConnectionStream/") + size + "/real_time";
            const std::string bare = std::string("BM_BareSocketStream/") + size + "/real_time";
            ratio((std::string(size) + "-byte packets/s").c_str(), ours, bare, "packets_per_second",
                "plain socket read loop");
            ratio((std::string(size) + "-byte packet bytes/s").c_str(), ours, bare, "bytes_per_second",
                "plain socket read loop");
            ratio((std::string(size) + "-byte packet bytes/s").c_str(), connection, bare, "bytes_per_second",
                "plain socket read loop", "connection alone");
        }
        std::printf("goals:\n");
        const double round_trips = ratio_of("BM_CommunicatorRoundTrip/real_time",
            "BM_BareSocketToModuleRoundTrip/real_time", "round_trips_per_second");
        if (round_trips > 0)
            std::printf("  round trip at most 2x the bare socket's to the same module (ratio >= 0.5): ratio "
                        "%.3f, %s\n",
                round_trips, bench::verdict(round_trips >= 0.5));
        const double bytes = ratio_of(
            "BM_CommunicatorStream/4096/real_time", "BM_BareSocketStream/4096/real_time", "bytes_per_second");
        if (bytes > 0)
            std::printf(
                "  4 KiB packet bytes/s at least 0.5 x the plain socket read loop's: ratio %.3f, %s\n", bytes,
                bench::verdict(bytes >= 0.5));
        const double packets = figure("BM_CommunicatorStream/64/real_time", "packets_per_second");
        if (packets > 0)
            std::printf("  64-byte packets at least 200000/s: %.0f/s, %s\n", packets,
                bench::verdict(packets >= 200000));
    }

private:
    // Ours over the baseline, 0 when either was not measured.
    double ratio_of(const std::string& ours, const std::string& baseline, const char* counter) const
    {
        const double a = figure(ours, counter);
        const double b = figure(baseline, counter);
        return a > 0 && b > 0 ? a / b : 0;
    }

    void ratio(const char* what, const std::string& ours, const std::string& baseline, const char* counter,
        const char* baseline_name, const char* ours_name = "communicator") const
    {
        const double a = figure(ours, counter);
        const double b = figure(baseline, counter);
        if (a <= 0 || b <= 0)
            return;
        std::printf(
            "%-28s %-16s %12.0f, %-31s %12.0f, ratio %.3f\n", what, ours_name, a, baseline_name, b, a / b);
    }
};

} // namespace

int main(int argc, char** argv)
{
    CommunicatorReporter reporter(bench::console_options(argc, argv));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.print_ratios();
    benchmark::Shutdown();
    return 0;
}
