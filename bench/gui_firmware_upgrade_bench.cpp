// The firmware upgrade's own cost. Two figures:
// - an upgrade of a 1 MiB image to a simulated bootloader on a
//   pseudo-terminal, against writing the same pages through the library's
//   bootloader client alone (goal: about 1, the upgrade adds nothing but the
//   pages: loading the image and starting the application are small beside
//   them);
// - how long after a module comes back in its bootloader on a new port the
//   upgrade has found it, searching once a second as the program does (goal:
//   at most one search interval).
#include "device/DeviceSearch.hpp"
#include "device/LoggerIo.hpp"
#include "device/SarvikDevice.hpp"
#include "firmware/IntelHexImage.hpp"
#include "support/ProgrammableModule.hpp"

#include "RatioReporter.hpp"
#include "simmodule/Flash.hpp"
#include "simmodule/SimModule.hpp"

#include <linkwell/Bootloader.hpp>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <memory>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr int mebibytePages = 2048;

// A bootloader that stays one: it never restarts into an application.
struct Bootloader {
    Bootloader()
        : module(simmodule::Transport::Pty)
    {
        simmodule::BootloaderScript script;
        script.info = "SARVIK BOOTLOADER V:1.4.0 H:Falcon R:SerialNumber = \"SIMF0000001\"";
        script.flash = flash;
        module.set_rules(simmodule::bootloader_rules(script));
    }
    simmodule::Flash flash;
    simmodule::SimModule module;
};

QString imageFile(QTemporaryDir& dir, int pages)
{
    return FirmwareFiles::writeImage(
        dir.filePath(QStringLiteral("image.hex")), 0, FirmwareFiles::pages(pages));
}

SarvikDeviceInfo inBootloader(const std::string& port)
{
    SarvikDeviceInfo info;
    info.deviceType = SarvikDeviceInfo::FalconDevice;
    info.connectionMode = SarvikDeviceInfo::BootloaderMode;
    info.identified = true;
    info.portName = QString::fromStdString(port);
    return info;
}

void upgrade_one_mebibyte(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString image = imageFile(dir, mebibytePages);
    Bootloader bootloader;
    SarvikDevice worker(inBootloader(bootloader.module.pty_path()));
    for (auto _ : state) {
        if (!worker.upgradeFirmware(image, QString()))
            state.SkipWithError(worker.lastError().toStdString().c_str());
    }
    state.counters["pages"] = double(bootloader.flash.pages().size());
}
BENCHMARK(upgrade_one_mebibyte)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

// The same pages as the upgrade writes (0 and from 128), through the
// library's client alone.
void write_pages_alone(benchmark::State& state)
{
    QTemporaryDir dir;
    IntelHexImage hex(imageFile(dir, mebibytePages));
    if (!hex.load() || !hex.adjustStartAddress(FirmwareFiles::flashStart)) {
        state.SkipWithError("image");
        return;
    }
    std::vector<std::pair<unsigned, Bytes>> pages;
    for (const MemorySegment& page : IntelHexImage::buildPages(FirmwareFiles::pageSize, hex.memory()))
        if (page.address() == 0 || page.address() >= 128)
            pages.emplace_back(page.address(), Bytes(page.data().begin(), page.data().end()));
    Bootloader bootloader;
    for (auto _ : state) {
        Sarvik::Bootloader client(bootloader.module.pty_path(), 0u, new LoggerIo);
        for (const auto& [number, bytes] : pages)
            if (client.write_page(number, bytes) != 0)
                state.SkipWithError("write_page");
    }
}
BENCHMARK(write_pages_alone)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

double worstFoundAfter = -1;

// From the new port's appearance to the upgrade's next step, searching once a
// second; the module takes 1.5 s to come back.
void find_module_after_it_reenumerates(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString image = imageFile(dir, 1);
    double worst = 0;
    for (auto _ : state) {
        ProgrammableModule::Script script = ProgrammableModule::falcon();
        script.reenumeration_delay = 1500ms;
        ProgrammableModule module(script);
        const QList<SarvikDeviceInfo> found = searchDevices();
        if (found.size() != 1) {
            state.SkipWithError("the module was not listed");
            break;
        }
        SarvikDevice worker(found.first());
        std::chrono::steady_clock::time_point foundAt;
        QObject::connect(&worker, &SarvikDevice::firmwareUpgradeStatus, [&](const QString& status) {
            if (status.endsWith(QLatin1String("Loading firmware")))
                foundAt = std::chrono::steady_clock::now();
        });
        if (!worker.upgradeFirmware(image, QString())) {
            state.SkipWithError(worker.lastError().toStdString().c_str());
            break;
        }
        const std::chrono::duration<double> after = foundAt - module.appearedAt();
        state.SetIterationTime(after.count());
        worst = std::max(worst, after.count());
    }
    worstFoundAfter = worst;
}
BENCHMARK(find_module_after_it_reenumerates)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

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
    const double upgrade = timeOf(t, "upgrade_one_mebibyte");
    const double alone = timeOf(t, "write_pages_alone");
    if (upgrade > 0 && alone > 0) {
        const double ratio = upgrade / alone;
        std::cout << "1 MiB image, the upgrade against its page writes alone: " << ratio
                  << " x (goal <= 1.1: " << bench::verdict(ratio <= 1.1) << ")\n";
    }
    if (worstFoundAfter >= 0) {
        std::cout << "Found again after it came back: at worst " << worstFoundAfter * 1000
                  << " ms, searching every 1000 ms (goal <= 1000 ms: "
                  << bench::verdict(worstFoundAfter <= 1.0) << ")\n";
    }
    benchmark::Shutdown();
    return 0;
}
