// A module that sends as fast as the socket takes: memory stays bounded,
// commands are answered all the while, nothing routed is lost, and the
// connection closes promptly.
#include "command/RadarInterface.hpp"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <mutex>
#include <thread>

#include "link/TcpIpFactory.hpp"
#include "link/UartIo.hpp"
#include "log/ConsoleAndFileLogger.hpp"
#include "simmodule/Messages.hpp"
#include "simmodule/SimModule.hpp"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif

// The resident set of this process, in bytes.
long resident_bytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

// A 29-byte data packet that carries its index.
simmodule::Bytes numbered_packet(uint64_t index)
{
    simmodule::Bytes packet { 0x50, 0x1E, 0xFA, 0x3B, 0x72 };
    for (int shift = 0; shift < 64; shift += 8)
        packet.push_back(static_cast<uint8_t>(index >> shift));
    packet.resize(29, 0x11);
    return packet;
}

uint64_t index_of(const Bytes& packet)
{
    uint64_t index = 0;
    for (int i = 7; i >= 0; --i)
        index = index << 8 | packet.at(5 + static_cast<size_t>(i));
    return index;
}

TEST(Flood, MemoryStaysBoundedCommandsAreAnsweredAndNothingRoutedIsLost)
{
    // The library as a client runs it, logging errors only: a logger that
    // kept every line would itself grow with the flood.
    StdoutLogger logger(0, new DefaultLoggerIo(false, false));
    simmodule::SimModule module(simmodule::Transport::Tcp);
    module.add_rule(simmodule::Rule(simmodule::command::ping()).reply(simmodule::pong_reply(7)));
    TcpIpFactory factory(htonl(INADDR_LOOPBACK), htons(module.tcp_port()));
    UartIo io(logger, factory);
    auto radar = std::make_unique<RadarInterface>(io, "module", factory, logger);
    // A sanitized build routes many times slower, and a reply waits behind
    // what the module's buffers hold for that much longer.
    radar->set_default_timeout(sanitized ? 10 : 2);

    // Every packet reaches the callback, in order, none missing.
    std::atomic<uint64_t> routed { 0 };
    std::atomic<bool> in_order { true };
    radar->subscribe("count", Bytes { 0x50 }, [&](Bytes packet) {
        if (index_of(packet) != routed.load())
            in_order = false;
        ++routed;
        return true;
    });
    // A queue that a client reads: what it gets comes in order.
    radar->subscribe("read", Bytes { 0x50 });
    std::atomic<bool> reading { true };
    std::atomic<bool> read_in_order { true };
    std::atomic<uint64_t> read_count { 0 };
    std::mutex connection_mutex;
    std::thread client([&] {
        uint64_t last = 0;
        while (reading) {
            Bytes packet;
            {
                std::lock_guard<std::mutex> lock(connection_mutex);
                if (radar->get_number_of_packets("read") > 0)
                    packet = radar->get_packet("read");
            }
            if (packet.empty()) {
                std::this_thread::sleep_for(1ms);
                continue;
            }
            const uint64_t index = index_of(packet);
            if (read_count > 0 && index <= last)
                read_in_order = false;
            last = index;
            ++read_count;
        }
    });

    const long start_rss = resident_bytes();
    long peak_rss = start_rss;
    // Lossless and as fast as the connection takes it; more than it can take
    // in the time.
    module.send_burst(simmodule::DataSource::generate(numbered_packet), 100000000);
    int pings = 0;
    int answered = 0;
    Clock::duration slowest {};
    const auto end = Clock::now() + 3s;
    while (Clock::now() < end) {
        std::this_thread::sleep_for(50ms);
        const auto sent = Clock::now();
        {
            std::lock_guard<std::mutex> lock(connection_mutex);
            ++pings;
            try {
                if (radar->ping() == 7)
                    ++answered;
            } catch (const std::exception&) { }
        }
        slowest = std::max(slowest, Clock::now() - sent);
        peak_rss = std::max(peak_rss, resident_bytes());
    }
    EXPECT_EQ(pings, answered) << "slowest round trip "
                               << std::chrono::duration_cast<std::chrono::milliseconds>(slowest).count()
                               << " ms";
    // The sanitizers keep freed memory in quarantine and shadow what is
    // touched: their resident set says nothing about the library's.
    if (!sanitized) {
        EXPECT_LT(peak_rss - start_rss, 32L << 20);
    }
    RecordProperty("routed", static_cast<int>(routed.load()));
    RecordProperty("rss_growth_kib", static_cast<int>((peak_rss - start_rss) >> 10));
    RecordProperty("slowest_ping_ms",
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(slowest).count()));
    EXPECT_GT(routed.load(), 10000u); // it was a flood

    const auto closing = Clock::now();
    {
        std::lock_guard<std::mutex> lock(connection_mutex);
        radar->close();
    }
    EXPECT_LT(Clock::now() - closing, 1s);
    reading = false;
    client.join();
    EXPECT_TRUE(in_order);
    EXPECT_TRUE(read_in_order);
    EXPECT_GT(read_count.load(), 0u);
    const auto destroying = Clock::now();
    radar.reset();
    EXPECT_LT(Clock::now() - destroying, 1s);
}

} // namespace
