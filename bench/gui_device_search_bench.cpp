// The device search's own cost. Three figures:
// - eight simulated modules on pseudo-terminals: the search against the same
//   eight identifications made by hand through the library, one after
//   another (goal: about 1, the search adds nothing of its own);
// - one silent port: the search against three attempts' worth of the reply
//   time-outs it must wait for (a ping, then the bootloader's information
//   request), measured on the same port (goal: at most 1);
// - the CPU the search takes when nothing is attached, on this machine's own
//   serial ports, at one search a second (goal: at most 1 % of a core): the
//   search itself with the system's list unchanged, plus a tenth of one
//   enumeration of the system's ports, which is taken again at least every
//   ten seconds.
#include "device/DeviceSearch.hpp"
#include "device/LoggerIo.hpp"
#include "device/PortLister.hpp"
#include "device/SystemPortLister.hpp"

#include "RatioReporter.hpp"
#include "simmodule/Personality.hpp"
#include "simmodule/SimModule.hpp"

#include <linkwell/Bootloader.hpp>
#include <linkwell/Linkwell.hpp>

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <ctime>
#include <iostream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// The ports a benchmark shows the search; installed while it lives.
class FixedPorts : public PortLister {
public:
    explicit FixedPorts(const std::vector<std::unique_ptr<simmodule::SimModule>>& modules)
    {
        for (const auto& module : modules) {
            SerialPortEntry port;
            port.systemLocation = QString::fromStdString(module->pty_path());
            port.description = QStringLiteral("Sarvik Serial");
            port.hasUsbIds = true;
            port.vendorId = 0x03EB;
            port.productId = 0x2404;
            m_ports.append(port);
        }
        PortLister::install(this);
    }
    ~FixedPorts() override { PortLister::install(nullptr); }
    QList<SerialPortEntry> availablePorts() const override { return m_ports; }

private:
    QList<SerialPortEntry> m_ports;
};

const char* const eightModels[]
    = { "osprey", "falcon", "merlin", "gannet", "corvid", "dax", "osprey", "falcon" };

std::vector<std::unique_ptr<simmodule::SimModule>> eightModules()
{
    std::vector<std::unique_ptr<simmodule::SimModule>> modules;
    for (const char* model : eightModels) {
        modules.push_back(std::make_unique<simmodule::SimModule>(simmodule::Transport::Pty));
        simmodule::apply_personality(*modules.back(), model, 10.0);
    }
    return modules;
}

// The commands identification sends, made directly on the library's classes.
void identifyByHand(const std::string& port)
{
    Sarvik::Linkwell connection(port, 0, new LoggerIo);
    Sarvik::Corvid& corvid = connection.get_corvid();
    Sarvik::Osprey& osprey = connection.get_osprey();
    Sarvik::Dax& dax = connection.get_dax();
    uint32_t pong = 0;
    std::string firmwareId;
    if (corvid.ping(&pong) != 0 || corvid.get_firmware_id(&firmwareId) != 0)
        throw std::runtime_error("no module on " + port);
    std::string text;
    if (firmwareId == "DAX") {
        uint8_t byte = 0;
        dax.get_system_info(3, &text);
        dax.get_system_info(8, &text);
        dax.get_system_info(9, &text);
        dax.z7driver_get_tx_center_frequency(&byte);
        dax.z7driver_get_downconversion(&byte);
        return;
    }
    corvid.get_order_code(&text);
    const bool corvidModel = text == "Corvid";
    if (!corvidModel) {
        std::vector<int> dumps;
        dax.search_for_file_by_type(0x04554D50, dumps);
    }
    corvid.get_item_number(&text);
    corvid.get_firmware_version(&text);
    corvid.get_serial_number(&text);
    corvid.get_build_info(&text);
    if (!corvidModel) {
        float limits[3];
        osprey.get_detection_zone_limits(&limits[0], &limits[1], &limits[2]);
    }
    uint32_t band = 0;
    osprey.get_tx_center_frequency(&band);
}

void search_eight_modules(benchmark::State& state)
{
    const auto modules = eightModules();
    const FixedPorts ports(modules);
    for (auto _ : state) {
        const QList<SarvikDeviceInfo> found = searchDevices();
        if (found.size() != int(modules.size()))
            state.SkipWithError("a module was not found");
        benchmark::DoNotOptimize(found.size());
    }
}
BENCHMARK(search_eight_modules)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

void identify_eight_modules_by_hand(benchmark::State& state)
{
    const auto modules = eightModules();
    for (auto _ : state) {
        for (const auto& module : modules)
            identifyByHand(module->pty_path());
    }
}
BENCHMARK(identify_eight_modules_by_hand)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

std::unique_ptr<simmodule::SimModule> silentModule()
{
    auto module = std::make_unique<simmodule::SimModule>(simmodule::Transport::Pty);
    module->clear_rules();
    return module;
}

void search_silent_port(benchmark::State& state)
{
    std::vector<std::unique_ptr<simmodule::SimModule>> modules;
    modules.push_back(silentModule());
    const FixedPorts ports(modules);
    for (auto _ : state)
        benchmark::DoNotOptimize(searchDevices().size());
}
BENCHMARK(search_silent_port)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// What one attempt must wait for on a silent port: the ping's reply
// time-out, then the bootloader information request's.
void attempt_timeouts_on_silent_port(benchmark::State& state)
{
    const auto module = silentModule();
    for (auto _ : state) {
        {
            Sarvik::Linkwell connection(module->pty_path(), 0, new LoggerIo);
            uint32_t pong = 0;
            benchmark::DoNotOptimize(connection.get_corvid().ping(&pong));
        }
        try {
            Sarvik::Bootloader bootloader(module->pty_path(), 0u, new LoggerIo);
            benchmark::DoNotOptimize(bootloader.get_bootloader_info());
        } catch (const std::exception&) { }
    }
}
BENCHMARK(attempt_timeouts_on_silent_port)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

double processCpuSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double idleSearchCpuSeconds = -1;
double enumerationCpuSeconds = -1;

// The system's own port list: what the program sees each second while no
// module is attached.
void search_nothing_attached(benchmark::State& state)
{
    PortLister::install(nullptr);
    double cpu = 0;
    for (auto _ : state) {
        const double before = processCpuSeconds();
        benchmark::DoNotOptimize(searchDevices().size());
        cpu += processCpuSeconds() - before;
    }
    idleSearchCpuSeconds = cpu / double(state.iterations());
    state.counters["ports"] = double(PortLister::current().availablePorts().size());
}
BENCHMARK(search_nothing_attached)->Unit(benchmark::kMicrosecond)->UseRealTime();

void enumerate_system_ports(benchmark::State& state)
{
    double cpu = 0;
    for (auto _ : state) {
        const double before = processCpuSeconds();
        benchmark::DoNotOptimize(SystemPortLister::enumerateSystemPorts().size());
        cpu += processCpuSeconds() - before;
    }
    enumerationCpuSeconds = cpu / double(state.iterations());
}
BENCHMARK(enumerate_system_ports)->Unit(benchmark::kMillisecond)->UseRealTime();

// The time of the benchmark of that name, whatever options its name carries.
double timeOf(const std::map<std::string, double>& times, const std::string& name)
{
    for (const auto& [key, time] : times)
        if (key == name || key.rfind(name + "/", 0) == 0)
            return time;
    return -1;
}

void quiet(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        std::cerr << message.toStdString() << '\n';
}

} // namespace

int main(int argc, char** argv)
{
    RatioReporter reporter(bench::console_options(argc, argv));
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(quiet);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& t = reporter.times;
    std::cout << '\n';
    const double eight = timeOf(t, "search_eight_modules");
    const double byHand = timeOf(t, "identify_eight_modules_by_hand");
    if (eight > 0 && byHand > 0) {
        const double ratio = eight / byHand;
        std::cout << "Eight modules, the search against the same identifications by hand: " << ratio
                  << " x (goal <= 1.2: " << bench::verdict(ratio <= 1.2) << ")\n";
    }
    const double search = timeOf(t, "search_silent_port");
    const double attempts = 3 * timeOf(t, "attempt_timeouts_on_silent_port");
    if (search > 0 && attempts > 0) {
        std::cout << "One silent port: " << search / 1000 << " s, against 3 attempts' time-outs of "
                  << attempts / 1000 << " s: " << search / attempts
                  << " x (goal <= 1.05: " << bench::verdict(search / attempts <= 1.05) << ")\n";
    }
    if (idleSearchCpuSeconds >= 0 && enumerationCpuSeconds >= 0) {
        // In one second: one search, and a tenth of an enumeration.
        const double percent = (idleSearchCpuSeconds + enumerationCpuSeconds / 10) * 100;
        std::cout << "Nothing attached: " << idleSearchCpuSeconds * 1000 << " ms of CPU a search, "
                  << enumerationCpuSeconds * 1000 << " ms an enumeration of the system's ports; " << percent
                  << " % of a core at one search a second (goal <= 1 %: " << bench::verdict(percent <= 1)
                  << ")\n";
    }
    benchmark::Shutdown();
    return 0;
}
