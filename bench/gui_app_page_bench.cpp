// What a live application page costs the whole program: the presence page
// (PresenceApp.qml, with its state panel, two time charts, two bar charts,
// two heat maps and the control panel) in a window as large as the main
// window, fed as a presence module feeds it: one presence value and one
// movement list of 92 bins per 50 ms frame. The same page fed by a recording
// played at 20 times its pace gets 20 times as many. Runs under Xvfb with
// Mesa's software rendering (xvfb-run -a).
//
// Reports the process's processor time as a share of one core (every
// thread: GUI, render, canvas painters) and, for the memory case, the
// resident set after the first minute and at the end. The memory case lasts
// SARVIK_BENCH_MEMORY_MINUTES minutes (default 10); 0 leaves it out.
#include "QmlTypes.hpp"

#include "RatioReporter.hpp"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// The device manager, device and presence application as the page sees
// them, and the window that shows the page.
const char* const pageQml = R"(
import QtQuick 2.15
import QtQuick.Window 2.15

Window {
    id: window
    width: 700
    height: 1024
    visible: true
    color: "#2e1c45"

    property real rate: 1
    property int bins: 92
    property int frames: 0
    property real fed: 0
    readonly property bool loaded: page.status === Loader.Ready

    readonly property QtObject manager: QtObject {
        property bool hasSleepAnalysisPlugin: false
        property QtObject activeDevice: QtObject {
            property bool isPlaybackDevice: window.rate !== 1
            property bool isZ7Device: true
            property real playbackRate: window.rate
            property int playbackState: 1
            property bool basebandEnabled: false
            property bool pulseDopplerEnabled: false
            property int basebandScale: 0
            property bool supportsNormalizedMovementList: false
            signal playbackPositionUpdatedManually
            property QtObject activeDeviceApp: QtObject {
                property string appName: "Presence"
                property string swInfo: ""
                property int state: 1
                property real detectionZoneStart: 0.4
                property real detectionZoneEnd: 5.0
                property real detectionZoneIncrement: 0.05
                property int movementSlowFastHistory: 120000
                property int signalQuality: 5
                property int frameCounter: 0
                property bool recordingEnabled: false
                signal objectDistanceChanged(real objectDistance, real timestamp)
                signal movementSlowFastChanged(real movementSlow, real movementFast)
                signal movementSlowFastListChanged(var movementSlowList, var movementFastList)
                signal initializing
                signal recordingError(string error)
            }
        }
    }
    readonly property QtObject app: manager.activeDevice.activeDeviceApp

    // One module frame at module time t.
    function frame(t) {
        frames += 1;
        app.frameCounter = frames;
        var distance = 2.5 + 2 * Math.sin(t / 900);
        app.state = Math.floor(t / 10000) % 5 === 0 ? 0 : 1;
        app.objectDistanceChanged(distance, Date.now());
        var slow = [];
        var fast = [];
        for (var k = 1; k < bins; ++k) {
            slow.push(50 + 50 * Math.sin(k / 7 + t / 800));
            fast.push(50 + 50 * Math.cos(k / 5 + t / 600));
        }
        app.movementSlowFastChanged(50 + 40 * Math.sin(t / 1300), 50 + 40 * Math.cos(t / 700));
        app.movementSlowFastListChanged(slow, fast);
    }
    // Frames as they fall due: 20 a second of module time, rate times as
    // many of wall time.
    function feed() {
        var now = Date.now();
        var step = 50 / rate;
        if (fed === 0)
            fed = now;
        while (fed + step <= now) {
            fed += step;
            frame(fed * rate);
        }
    }
    Timer {
        interval: 5
        repeat: true
        running: true
        onTriggered: window.feed()
    }
    Loader {
        id: page
        anchors.fill: parent
        source: "qrc:/qml/PresenceApp.qml"
    }
}
)";

double processCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double residentMegabytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / 1e6;
}

void runFor(double seconds)
{
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

QQmlEngine* engine = nullptr;

std::unique_ptr<QObject> showPage(double rate)
{
    QQmlComponent component(engine);
    component.setData(pageQml, QUrl(QStringLiteral("qrc:/bench/AppPage.qml")));
    std::unique_ptr<QObject> root(
        component.createWithInitialProperties({ { QStringLiteral("rate"), rate } }));
    if (!root) {
        std::cerr << "the page does not load: " << component.errorString().toStdString() << "\n";
        std::exit(1);
    }
    engine->rootContext()->setContextProperty(QStringLiteral("deviceManager"), root->property("manager"));
    if (!root->property("loaded").toBool()) {
        std::cerr << "the presence page does not load\n";
        std::exit(1);
    }
    return root;
}

struct Figures {
    double cpuPercent = 0;
    double framesPerSecond = 0;
};
std::map<std::string, Figures> results;

const double settleSeconds = 3;
const double measuredSeconds = 10;

void app_page(benchmark::State& state)
{
    const double rate = double(state.range(0));
    for (auto _ : state) {
        // The device manager must stand before the page binds to it.
        engine->rootContext()->setContextProperty(QStringLiteral("deviceManager"), nullptr);
        std::unique_ptr<QObject> root = showPage(rate);
        runFor(settleSeconds);
        const int framesBefore = root->property("frames").toInt();
        const double before = processCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        runFor(measuredSeconds);
        const double elapsed = double(wall.nsecsElapsed()) / 1e9;
        Figures figures;
        figures.cpuPercent = 100 * (processCpuSeconds() - before) / elapsed;
        figures.framesPerSecond = (root->property("frames").toInt() - framesBefore) / elapsed;
        state.SetIterationTime(measuredSeconds);
        state.counters["cpu_percent_of_a_core"] = figures.cpuPercent;
        state.counters["module_frames_per_s"] = figures.framesPerSecond;
        results[rate == 1 ? "live" : "playback x" + std::to_string(int(rate))] = figures;
        qobject_cast<QQuickWindow*>(root.get())->close();
    }
}
BENCHMARK(app_page)->Arg(1)->Arg(20)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

double memoryMinutes()
{
    const QByteArray text = qgetenv("SARVIK_BENCH_MEMORY_MINUTES");
    bool ok = false;
    const double minutes = text.toDouble(&ok);
    return ok ? minutes : 10;
}

void app_page_memory(benchmark::State& state)
{
    const double minutes = memoryMinutes();
    for (auto _ : state) {
        std::unique_ptr<QObject> root = showPage(1);
        runFor(60);
        const double afterMinute = residentMegabytes();
        std::printf("resident after 1 min: %.1f MB\n", afterMinute);
        for (int minute = 2; minute <= int(minutes); ++minute) {
            runFor(60);
            std::printf("resident after %d min: %.1f MB\n", minute, residentMegabytes());
            std::fflush(stdout);
        }
        const double atEnd = residentMegabytes();
        state.SetIterationTime(minutes * 60);
        state.counters["resident_mb_after_1_min"] = afterMinute;
        state.counters["resident_mb_at_end"] = atEnd;
        state.counters["growth_mb"] = atEnd - afterMinute;
        qobject_cast<QQuickWindow*>(root.get())->close();
    }
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    loadFonts();
    registerQmlTypes();
    QQmlEngine qmlEngine;
    engine = &qmlEngine;
    if (memoryMinutes() >= 1)
        benchmark::RegisterBenchmark("app_page_memory", app_page_memory)
            ->Iterations(1)
            ->UseManualTime()
            ->Unit(benchmark::kSecond);
    bench::console_options(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::printf("\nThe presence page, whole process, share of one core (goal: under 15 %% live):\n");
    for (const auto& [name, f] : results)
        std::printf("  %-14s %6.1f %%  (%.0f module frames/s) %s\n", name.c_str(), f.cpuPercent,
            f.framesPerSecond, name == "live" ? bench::verdict(f.cpuPercent < 15) : "");
    return 0;
}
