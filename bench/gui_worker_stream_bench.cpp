// A module's data stream on its way to the program: 2000 packets per second
// from the simulated module (in a process of its own, so that its work is not
// counted) through the module worker, its signal and a receiver on the GUI
// thread, against the library's own queue read of the same stream. Measured
// per packet: the process's CPU time on each road, the packets lost or out of
// order, and the time from the module writing a packet to its arrival at the
// reader (the GUI thread's slot, or the library's queue read).
// Goal: the worker's road costs at most 1.5 times the CPU of the library's.
#include "core/SarvikDeviceConfiguration.hpp"
#include "core/SarvikDeviceInfo.hpp"
#include "device/LoggerIo.hpp"
#include "device/SarvikDevice.hpp"

#include "simmodule/Messages.hpp"
#include "simmodule/SimModule.hpp"

#include "RatioReporter.hpp"

#include <linkwell/Linkwell.hpp>

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr double packetsPerSecond = 2000;
// Packets let through before measuring, so that each road runs steadily.
constexpr uint32_t warmUp = 200;
constexpr uint32_t measured = 6000;

int64_t monotonicNs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int64_t processCpuNs()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// ---- The module, in a child process ------------------------------------------

// Presence messages numbered from 0 at each start of the stream; the time of
// writing (CLOCK_MONOTONIC, which both processes share) rides in the
// presence-state and signal-quality fields.
simmodule::Bytes stampedPacket(uint64_t index)
{
    const auto now = uint64_t(monotonicNs());
    return simmodule::presence_single_message(
        { uint32_t(index), uint32_t(now), 1.0f, 0, uint32_t(now >> 32) });
}

void runModule(int pathPipe, int lifePipe)
{
    simmodule::SimModule module(simmodule::Transport::Pty);
    using simmodule::Rule;
    module.add_rule(Rule(simmodule::command::ping()).reply(simmodule::pong_reply(0xAAEEAEEA)));
    module.add_rule(Rule({ 0x10, 0x11 }).reply(simmodule::f32_reply(0x96A10A1C, { 0.5f, 5.0f })));
    module.add_rule(Rule({ 0x20, 0x01 }).reply_with([&module](const simmodule::Bytes&) {
        module.start_stream("bench", simmodule::DataSource::generate(stampedPacket), packetsPerSecond);
        return std::vector<simmodule::Bytes> { simmodule::ack_reply() };
    }));
    module.add_rule(Rule({ 0x20 }).reply_with([&module](const simmodule::Bytes&) {
        module.stop_all_streams();
        return std::vector<simmodule::Bytes> { simmodule::ack_reply() };
    }));
    module.add_rule(Rule({}).ack());
    const std::string path = module.pty_path() + "\n";
    if (write(pathPipe, path.data(), path.size()) != ssize_t(path.size()))
        return;
    close(pathPipe);
    char byte = 0;
    // Serves until the parent closes its end.
    while (read(lifePipe, &byte, 1) > 0) { }
}

// ---- What each road delivered ------------------------------------------------

struct Road {
    int64_t cpuNs = 0;
    uint32_t lost = 0;
    uint32_t reordered = 0;
    std::vector<int64_t> latencyNs;
};

Road libraryRoad;
Road workerRoad;
std::string modulePort;

// Counts one packet: its number and when the module wrote it.
class Tally {
public:
    explicit Tally(Road& road)
        : m_road(road)
    {
        m_road.latencyNs.reserve(measured);
    }

    // True once every measured packet has arrived.
    bool add(uint32_t number, uint64_t writtenNs)
    {
        const int64_t now = monotonicNs();
        if (m_seen > 0) {
            if (number < m_last + 1)
                ++m_road.reordered;
            else
                m_road.lost += number - m_last - 1;
        }
        m_last = number;
        ++m_seen;
        if (m_seen == warmUp)
            m_cpuStart = processCpuNs();
        if (m_seen > warmUp)
            m_road.latencyNs.push_back(now - int64_t(writtenNs));
        if (m_seen < warmUp + measured)
            return false;
        m_road.cpuNs = processCpuNs() - m_cpuStart;
        return true;
    }

private:
    Road& m_road;
    uint32_t m_seen = 0;
    uint32_t m_last = 0;
    int64_t m_cpuStart = 0;
};

void library_queue_read(benchmark::State& state)
{
    for (auto _ : state) {
        libraryRoad = Road();
        Sarvik::Linkwell connection(modulePort, 0, new LoggerIo);
        Sarvik::Osprey& module = connection.get_osprey();
        module.set_sensor_mode(0x01, 0);
        Tally tally(libraryRoad);
        Sarvik::PresenceSingleData data;
        // The read waits for the next packet (no polling).
        while (module.read_message_presence_single(&data) == 0
            && !tally.add(data.frame_counter, uint64_t(data.signal_quality) << 32 | data.presence_state)) { }
        module.set_sensor_mode(0x11, 0);
    }
}
BENCHMARK(library_queue_read)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// Takes the worker's packets on the GUI thread.
class Receiver : public QObject {
public:
    Receiver(Tally& tally, QEventLoop& loop)
        : m_tally(tally)
        , m_loop(loop)
    { }
    void onAppData(uint, const QByteArray& data)
    {
        // The presence message behind its content id: counter, state (the
        // low half of the time), distance, direction, quality (the high half).
        if (m_done || data.size() < 17)
            return;
        const auto u32 = [&data](int offset) {
            uint32_t value = 0;
            std::memcpy(&value, data.constData() + offset, 4);
            return value;
        };
        m_done = m_tally.add(u32(0), uint64_t(u32(13)) << 32 | u32(4));
        if (m_done)
            m_loop.quit();
    }

private:
    Tally& m_tally;
    QEventLoop& m_loop;
    bool m_done = false;
};

void worker_to_gui_thread(benchmark::State& state)
{
    for (auto _ : state) {
        workerRoad = Road();
        SarvikDeviceInfo info;
        info.deviceType = SarvikDeviceInfo::OspreyDevice;
        info.connectionMode = SarvikDeviceInfo::NormalMode;
        info.portName = QString::fromStdString(modulePort);
        QThread thread;
        auto* worker = new SarvikDevice(info);
        worker->moveToThread(&thread);
        thread.start();
        Tally tally(workerRoad);
        QEventLoop loop;
        Receiver receiver(tally, loop);
        QObject::connect(worker, &SarvikDevice::sigNewDataApp, &receiver, &Receiver::onAppData);
        SarvikDeviceConfiguration config;
        config.profileKind = SarvikDeviceConfiguration::PresenceKind;
        // The configure ends by setting the module running: the stream starts.
        QMetaObject::invokeMethod(
            worker, "configure", Qt::QueuedConnection, Q_ARG(SarvikDeviceConfiguration, config));
        loop.exec();
        QMetaObject::invokeMethod(worker, "close", Qt::BlockingQueuedConnection);
        thread.quit();
        thread.wait();
        delete worker;
    }
}
BENCHMARK(worker_to_gui_thread)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

double percentileUs(std::vector<int64_t> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto index = std::min(values.size() - 1, size_t(fraction * double(values.size())));
    return double(values[index]) / 1000.0;
}

void report(const char* name, const Road& road)
{
    std::printf("%-34s %8.2f us CPU/packet  lost %u  reordered %u  latency median %.0f us, 99th %.0f us\n",
        name, double(road.cpuNs) / measured / 1000.0, road.lost, road.reordered,
        percentileUs(road.latencyNs, 0.5), percentileUs(road.latencyNs, 0.99));
}

} // namespace

int main(int argc, char** argv)
{
    // The module runs in a child made before any thread exists.
    int pathPipe[2];
    int lifePipe[2];
    if (pipe(pathPipe) != 0 || pipe(lifePipe) != 0)
        return 1;
    const pid_t child = fork();
    if (child == 0) {
        close(pathPipe[0]);
        close(lifePipe[1]);
        runModule(pathPipe[1], lifePipe[0]);
        _exit(0);
    }
    close(pathPipe[1]);
    close(lifePipe[0]);
    char path[256] = {};
    const ssize_t got = read(pathPipe[0], path, sizeof path - 1);
    if (got <= 1)
        return 1;
    modulePort.assign(path, size_t(got - 1));

    registerSarvikDeviceConfiguration();
    QCoreApplication app(argc, argv);
    RatioReporter reporter(bench::console_options(argc, argv));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\n%u packets at %.0f per second on each road\n", measured, packetsPerSecond);
    report("library queue read", libraryRoad);
    report("worker, signal, GUI-thread slot", workerRoad);
    if (libraryRoad.cpuNs > 0 && workerRoad.cpuNs > 0) {
        const double ratio = double(workerRoad.cpuNs) / double(libraryRoad.cpuNs);
        std::printf("worker road CPU / library road CPU: %.2f (goal <= 1.5): %s\n", ratio,
            bench::verdict(ratio <= 1.5));
        const bool whole = workerRoad.lost == 0 && workerRoad.reordered == 0;
        std::printf("worker road without loss or reordering: %s\n", bench::verdict(whole));
    }
    close(lifePipe[1]);
    waitpid(child, nullptr, 0);
    return 0;
}
