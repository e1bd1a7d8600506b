// The device manager at its own pace, one search a second. Two figures:
// - the CPU the whole process takes while the manager browses with nothing
//   attached, on this machine's own serial ports, over 30 seconds (goal: at
//   most 1 % of a core); SARVIK_BENCH_IDLE_SECONDS sets another span;
// - how long after a module appears the search that finds it begins, and
//   its Device is in the list, the module (a simulated one on a
//   pseudo-terminal) appearing at eight points spread over the search
//   interval (goal: within one interval, 1000 ms, for the slowest of them;
//   the list also waits for the module's identification).
#include "device/Device.hpp"
#include "device/DeviceManager.hpp"
#include "device/PortLister.hpp"
#include "device/SystemPortLister.hpp"

#include "RatioReporter.hpp"
#include "simmodule/Personality.hpp"
#include "simmodule/SimModule.hpp"
#include "support/PseudoTerminalPorts.hpp"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QThread>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <iostream>
#include <memory>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr std::chrono::milliseconds searchInterval = 1000ms;

double processCpuSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Handles events until the condition holds or the time is up; whether it held.
template <typename Condition> bool runEventsUntil(Condition condition, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

// A plain event loop: the process sleeps until the manager has something to do.
void runEventsFor(std::chrono::milliseconds span)
{
    QEventLoop loop;
    QTimer::singleShot(span, &loop, &QEventLoop::quit);
    loop.exec();
}

// The system's ports, counting the searches that ask for them.
class CountingSystemPorts : public PortLister {
public:
    CountingSystemPorts() { PortLister::install(this); }
    ~CountingSystemPorts() override { PortLister::install(nullptr); }
    QList<SerialPortEntry> availablePorts() const override
    {
        ++searches;
        return m_system.availablePorts();
    }
    mutable std::atomic<int> searches { 0 };

private:
    SystemPortLister m_system;
};

double idleCpuPercent = -1;
double idleSearches = -1;

void manager_browsing_nothing_attached(benchmark::State& state)
{
    const qint64 seconds = qEnvironmentVariableIsSet("SARVIK_BENCH_IDLE_SECONDS")
        ? qEnvironmentVariableIntValue("SARVIK_BENCH_IDLE_SECONDS")
        : 30;
    for (auto _ : state) {
        const CountingSystemPorts ports;
        DeviceManager manager;
        manager.onQmlCompleted();
        // The first search takes the system's list, as the program's does at start.
        runEventsUntil([&] { return ports.searches > 0 && !manager.isSearching(); }, 10s);
        const int before = ports.searches;
        const double cpuBefore = processCpuSeconds();
        const auto began = std::chrono::steady_clock::now();
        runEventsFor(std::chrono::seconds(seconds));
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        idleCpuPercent = (processCpuSeconds() - cpuBefore) / wall * 100;
        idleSearches = ports.searches - before;
        state.SetIterationTime(wall);
        state.counters["cpu_percent"] = idleCpuPercent;
        state.counters["searches"] = idleSearches;
        state.counters["ports"] = double(ports.availablePorts().size());
    }
}
BENCHMARK(manager_browsing_nothing_attached)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);

// The test's port list, counting the searches.
class CountingTestPorts : public PseudoTerminalPorts {
public:
    QList<SerialPortEntry> availablePorts() const override
    {
        ++searches;
        QList<SerialPortEntry> ports = PseudoTerminalPorts::availablePorts();
        if (!ports.isEmpty() && !seenAt.load())
            seenAt = std::chrono::steady_clock::now().time_since_epoch().count();
        return ports;
    }
    mutable std::atomic<int> searches { 0 };
    // When a search first saw a port; 0: not yet.
    mutable std::atomic<std::chrono::steady_clock::rep> seenAt { 0 };
};

std::vector<double> latencies;
std::vector<double> searchDelays;

void module_listed_after_it_appears(benchmark::State& state)
{
    CountingTestPorts ports;
    simmodule::SimModule module(simmodule::Transport::Pty);
    simmodule::apply_personality(module, simmodule::personality("osprey"), 5.0);
    DeviceManager manager;
    manager.onQmlCompleted();
    const auto listed = [&manager](int count) { return manager.deviceList().size() == count; };
    runEventsUntil([&] { return listed(1) && !manager.isSearching(); }, 10s);
    int trial = 0;
    for (auto _ : state) {
        // A search has just ended: the module comes a spread-out part of the
        // interval later.
        const int searches = ports.searches;
        runEventsUntil([&] { return ports.searches > searches && !manager.isSearching(); }, 5s);
        runEventsFor(searchInterval * (trial++ % 8) / 8);
        ports.seenAt = 0;
        const auto appeared = std::chrono::steady_clock::now();
        ports.add(module);
        if (!runEventsUntil([&] { return listed(2); }, 10s)) {
            state.SkipWithError("the module was never listed");
            break;
        }
        const double latency
            = std::chrono::duration<double>(std::chrono::steady_clock::now() - appeared).count();
        latencies.push_back(latency);
        const std::chrono::steady_clock::time_point seen { std::chrono::steady_clock::duration(
            ports.seenAt) };
        searchDelays.push_back(std::chrono::duration<double>(seen - appeared).count());
        state.SetIterationTime(latency);
        ports.clear();
        runEventsUntil([&] { return listed(1); }, 10s);
    }
}
BENCHMARK(module_listed_after_it_appears)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(8);

void quiet(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        std::cerr << message.toStdString() << '\n';
}

} // namespace

int main(int argc, char** argv)
{
    RatioReporter reporter(bench::console_options(argc, argv));
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationVersion(QStringLiteral("2.7.3"));
    qInstallMessageHandler(quiet);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::cout << '\n';
    if (idleCpuPercent >= 0) {
        std::cout << "Browsing with nothing attached: " << idleCpuPercent << " % of a core, " << idleSearches
                  << " searches (goal <= 1 %: " << bench::verdict(idleCpuPercent <= 1) << ")\n";
    }
    const auto report = [](const char* what, const std::vector<double>& times) {
        if (times.empty())
            return;
        const double slowest = *std::max_element(times.begin(), times.end());
        double sum = 0;
        for (double time : times)
            sum += time;
        std::cout << what << sum / double(times.size()) * 1000 << " ms on average, " << slowest * 1000
                  << " ms at the slowest (goal <= " << searchInterval.count()
                  << " ms: " << bench::verdict(slowest * 1000 <= double(searchInterval.count())) << ")\n";
    };
    report("A module appears: the search that finds it begins after ", searchDelays);
    report("A module appears: listed after ", latencies);
    benchmark::Shutdown();
    return 0;
}
