// What a page of charts costs the GUI thread: a window as large as the main
// window with two time charts of two minutes (one with two series) and a
// heat map, fed as an application page feeds them, in a real window under
// Xvfb with Mesa's software rendering (run it under xvfb-run -a).
//
// Each run lasts a few seconds after the charts were filled with a full
// history. It reports the GUI thread's busy share of one core, and the
// longest time between two frames shown while the charts keep asking for
// frames. Baseline: the same window and feeding without the charts.
//
// The module's rate is one value per series and one heat-map frame per 50 ms
// frame (20 a second); the second rate, 1000 values a second per series, is
// the most a time chart is built for.
#include "QmlTypes.hpp"

#include "RatioReporter.hpp"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

const char* const pageQml = R"(
import QtQuick 2.15
import QtQuick.Window 2.15
import QtQuick.Layouts 1.15
import "qrc:/qml"

Window {
    id: page
    width: 700
    height: 1024
    visible: true
    color: "#2e1c45"

    property bool withCharts: true
    property int valuesPerSecond: 20
    property int framesPerSecond: 20
    property int bins: 92
    property real history: 120000
    property real fed: 0
    property int feeds: 0

    function value(series, t) {
        return 2.5 + 2 * Math.sin(t / (900 + 300 * series)) + 0.3 * Math.sin(t / 37);
    }
    function stateAt(t) {
        return Math.floor(t / 10000) % 3;
    }
    function addValue(t) {
        if (!withCharts)
            return;
        distance.addPoint({ "x": t, "y": value(0, t) }, stateAt(t));
        movement.addPoint({ "x": t, "y": 20 * value(1, t) }, stateAt(t));
        movement.addPoint2({ "x": t, "y": 15 * value(2, t) });
    }
    function addFrame(t) {
        feeds += 1;
        if (!withCharts)
            return;
        heatMap.canvas.beginFrame();
        for (var k = 0; k < bins; ++k)
            heatMap.canvas.addPoint(Qt.point(0.4 + k * 0.05, 50 + 50 * Math.sin(k / 7 + t / 800)));
        heatMap.canvas.endFrame();
    }
    // A full history in the past, as after two minutes of data.
    function prefill() {
        var now = Date.now();
        var step = 1000 / valuesPerSecond;
        for (var t = now - history; t < now; t += step)
            addValue(t);
        for (var f = 0; f < 400; ++f)
            addFrame(now - (400 - f) * 50);
        fed = now;
    }
    // Values and frames as they arrive, at their rates.
    function feed() {
        var now = Date.now();
        var step = 1000 / valuesPerSecond;
        var frameStep = 1000 / framesPerSecond;
        for (var t = fed + step; t <= now; t += step) {
            addValue(t);
            if (Math.floor(t / frameStep) !== Math.floor((t - step) / frameStep))
                addFrame(t);
        }
        fed = t - step;
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 12
        visible: page.withCharts
        CollapsibleLayoutItem {
            description: "DISTANCE"
            Chart { id: distance; anchors.fill: parent; anchors.topMargin: 28; history: page.history; min: 0; max: 5 }
        }
        CollapsibleLayoutItem {
            description: "MOVEMENT HISTORY"
            Chart { id: movement; anchors.fill: parent; anchors.topMargin: 28; history: page.history; min: 0; max: 100 }
        }
        CollapsibleLayoutItem {
            description: "MOVEMENT INTENSITY HISTORY"
            ColormapChart {
                id: heatMap
                anchors.fill: parent
                anchors.topMargin: 28
                minX: 0.4
                maxX: 5
                xStep: 0.5
                minPointValue: 0
                maxPointValue: 100
            }
        }
    }
    // The window without charts still shows frames: a square turning as
    // often as a time chart repaints.
    Rectangle {
        visible: !page.withCharts
        anchors.centerIn: parent
        width: 100
        height: 100
        color: "#4DC4CF"
        NumberAnimation on rotation {
            from: 0
            to: 360
            duration: 9000
            loops: Animation.Infinite
            running: !page.withCharts
        }
    }
    // Data arrive as queued signals would: every few ms, whatever is due.
    Timer {
        interval: 5
        repeat: true
        running: true
        onTriggered: page.feed()
    }
}
)";

using Clock = std::chrono::steady_clock;

double processCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double threadCpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Every frame's cost, as the scene graph reports it: on the GUI thread its
// preparation (polish, the lock and the wait for the sync, animations), on
// the render thread its rendering (sync, render, swap).
class FrameTimes {
public:
    static FrameTimes& instance()
    {
        static FrameTimes times;
        return times;
    }
    void start()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_prepared.clear();
        m_rendered.clear();
        m_recording = true;
    }
    void stop(std::vector<double>& prepared, std::vector<double>& rendered)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_recording = false;
        prepared = m_prepared;
        rendered = m_rendered;
    }
    // Takes the scene graph's timing lines; others go on to the default handler.
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (context.category && std::strcmp(context.category, "qt.scenegraph.time.renderloop") == 0) {
            instance().take(message);
            return;
        }
        previous(type, context, message);
    }
    static inline QtMessageHandler previous = nullptr;

private:
    void take(const QString& message)
    {
        static const QRegularExpression prepared(QStringLiteral(
            "Frame prepared.*polish=(\\d+), lock=(\\d+), blockedForSync=(\\d+), animations=(\\d+)"));
        static const QRegularExpression rendered(QStringLiteral("Frame rendered.* in (\\d+)ms"));
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_recording)
            return;
        const QRegularExpressionMatch p = prepared.match(message);
        if (p.hasMatch()) {
            m_prepared.push_back(p.captured(1).toDouble() + p.captured(2).toDouble()
                + p.captured(3).toDouble() + p.captured(4).toDouble());
            return;
        }
        const QRegularExpressionMatch r = rendered.match(message);
        if (r.hasMatch())
            m_rendered.push_back(r.captured(1).toDouble());
    }
    std::mutex m_mutex;
    bool m_recording = false;
    std::vector<double> m_prepared;
    std::vector<double> m_rendered;
};

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(double(values.size()) * fraction))];
}

struct PageFigures {
    double guiBusyPercent = 0;
    double renderBusyPercent = 0;
    double processBusyPercent = 0;
    int feeds = 0;
    double longestGapMs = 0;
    double p99GapMs = 0;
    double framesPerSecond = 0;
    double longestPreparedMs = 0;
    double longestRenderedMs = 0;
    double p99PreparedMs = 0;
    double p99RenderedMs = 0;
    size_t frames = 0;
    size_t framesOver50Ms = 0;
};

// Shows the page for seconds and measures it.
PageFigures runPage(QQmlEngine& engine, bool withCharts, int valuesPerSecond, double seconds)
{
    QQmlComponent component(&engine);
    component.setData(pageQml, QUrl(QStringLiteral("qrc:/bench/ChartPage.qml")));
    QVariantMap properties { { QStringLiteral("withCharts"), withCharts },
        { QStringLiteral("valuesPerSecond"), valuesPerSecond } };
    std::unique_ptr<QObject> root(component.createWithInitialProperties(properties));
    auto* window = qobject_cast<QQuickWindow*>(root.get());
    if (!window) {
        std::cerr << "the page does not load: " << component.errorString().toStdString() << "\n";
        std::exit(1);
    }
    QMetaObject::invokeMethod(root.get(), "prefill");

    // Settle: the first frames build the scene.
    QEventLoop loop;
    QTimer::singleShot(1500, &loop, &QEventLoop::quit);
    loop.exec();

    std::mutex mutex;
    std::vector<double> gaps;
    Clock::time_point lastSwap {};
    bool measuring = true;
    // The render thread's processor time at the first and the last frame.
    double renderCpuFirst = -1;
    double renderCpuLast = -1;
    const QMetaObject::Connection swaps = QObject::connect(
        window, &QQuickWindow::frameSwapped, window,
        [&]() {
            const Clock::time_point now = Clock::now();
            std::lock_guard<std::mutex> lock(mutex);
            if (!measuring)
                return;
            if (lastSwap != Clock::time_point {})
                gaps.push_back(std::chrono::duration<double, std::milli>(now - lastSwap).count());
            lastSwap = now;
            renderCpuLast = threadCpuSeconds();
            if (renderCpuFirst < 0)
                renderCpuFirst = renderCpuLast;
        },
        Qt::DirectConnection);

    FrameTimes::instance().start();
    const double cpuBefore = threadCpuSeconds();
    const double processBefore = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    const double busy = threadCpuSeconds() - cpuBefore;
    const double processBusy = processCpuSeconds() - processBefore;
    const double elapsed = double(wall.nsecsElapsed()) / 1e9;
    {
        std::lock_guard<std::mutex> lock(mutex);
        measuring = false;
    }

    // Closing waits for the render thread: the lock must be free by then.
    QObject::disconnect(swaps);
    std::vector<double> prepared;
    std::vector<double> rendered;
    FrameTimes::instance().stop(prepared, rendered);
    std::vector<double> sorted;
    double renderBusy = 0;
    {
        std::lock_guard<std::mutex> lock(mutex);
        sorted = gaps;
        renderBusy = renderCpuLast - renderCpuFirst;
    }
    const int feeds = root->property("feeds").toInt();
    window->close();

    PageFigures figures;
    figures.guiBusyPercent = 100.0 * busy / elapsed;
    figures.renderBusyPercent = 100.0 * renderBusy / elapsed;
    figures.processBusyPercent = 100.0 * processBusy / elapsed;
    figures.feeds = feeds;
    figures.longestPreparedMs = percentile(prepared, 1);
    figures.longestRenderedMs = percentile(rendered, 1);
    figures.p99PreparedMs = percentile(prepared, 0.99);
    figures.p99RenderedMs = percentile(rendered, 0.99);
    figures.frames = std::max(prepared.size(), rendered.size());
    figures.framesOver50Ms = size_t(std::count_if(prepared.begin(), prepared.end(), [](double ms) {
        return ms > 50;
    }) + std::count_if(rendered.begin(), rendered.end(), [](double ms) { return ms > 50; }));
    figures.longestGapMs = percentile(sorted, 1);
    figures.p99GapMs = percentile(sorted, 0.99);
    figures.framesPerSecond = double(sorted.size()) / elapsed;
    return figures;
}

QQmlEngine* engine = nullptr;
std::map<std::string, PageFigures> results;

void record(benchmark::State& state, const std::string& name, const PageFigures& figures)
{
    state.counters["gui_busy_percent"] = figures.guiBusyPercent;
    state.counters["longest_frame_ms"] = std::max(figures.longestPreparedMs, figures.longestRenderedMs);
    state.counters["render_busy_percent"] = figures.renderBusyPercent;
    state.counters["longest_frame_gap_ms"] = figures.longestGapMs;
    state.counters["p99_frame_gap_ms"] = figures.p99GapMs;
    state.counters["frames_per_s"] = figures.framesPerSecond;
    results[name] = figures;
}

const double measuredSeconds = 8;

void chart_page(benchmark::State& state)
{
    const int valuesPerSecond = int(state.range(0));
    for (auto _ : state) {
        const PageFigures figures = runPage(*engine, true, valuesPerSecond, measuredSeconds);
        state.SetIterationTime(measuredSeconds);
        record(state, "charts/" + std::to_string(valuesPerSecond), figures);
    }
}
BENCHMARK(chart_page)->Arg(20)->Arg(1000)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void empty_page(benchmark::State& state)
{
    for (auto _ : state) {
        const PageFigures figures = runPage(*engine, false, 20, measuredSeconds);
        state.SetIterationTime(measuredSeconds);
        record(state, "empty", figures);
    }
}
BENCHMARK(empty_page)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void printVerdicts()
{
    std::printf(
        "\nA page of two time charts and a heat map; frame times as the scene graph reports them (GUI: "
        "preparing a frame, with the wait for its sync; render: drawing it):\n");
    for (const auto& [name, f] : results) {
        std::printf(
            "  %-12s busy (%% of a core): GUI thread %5.1f, render thread %5.1f, whole process %5.1f; %5.1f "
            "frames/s; frame times: GUI longest %3.0f ms (99th percentile %3.0f), render longest %3.0f ms "
            "(%3.0f), %zu of %zu frames over 50 ms; longest time between two frames %5.1f ms\n",
            name.c_str(), f.guiBusyPercent, f.renderBusyPercent, f.processBusyPercent, f.framesPerSecond,
            f.longestPreparedMs, f.p99PreparedMs, f.longestRenderedMs, f.p99RenderedMs, f.framesOver50Ms,
            f.frames, f.longestGapMs);
    }
    const auto charts = results.find("charts/20");
    const auto empty = results.find("empty");
    if (charts == results.end())
        return;
    const PageFigures& c = charts->second;
    std::printf("\nAt the module's rate (20 values a second per series, 20 heat-map frames a second):\n");
    if (empty != results.end() && empty->second.guiBusyPercent > 0)
        std::printf("  GUI thread against the same window without charts: %.1f x\n",
            c.guiBusyPercent / empty->second.guiBusyPercent);
    std::printf("  GUI thread busy %.1f %% of a core (goal < 25 %%: %s)\n", c.guiBusyPercent,
        bench::verdict(c.guiBusyPercent < 25));
    const double longest = std::max(c.longestPreparedMs, c.longestRenderedMs);
    std::printf("  longest frame %.0f ms (goal <= 50 ms: %s)\n", longest, bench::verdict(longest <= 50));
    const auto stress = results.find("charts/1000");
    if (stress != results.end()) {
        const PageFigures& s = stress->second;
        std::printf(
            "At 1000 values a second per series: GUI thread busy %.1f %% (goal < 25 %%: %s), longest frame "
            "%.0f ms (goal <= 50 ms: %s)\n",
            s.guiBusyPercent, bench::verdict(s.guiBusyPercent < 25),
            std::max(s.longestPreparedMs, s.longestRenderedMs),
            bench::verdict(std::max(s.longestPreparedMs, s.longestRenderedMs) <= 50));
    }
}

} // namespace

int main(int argc, char** argv)
{
    RatioReporter reporter(bench::console_options(argc, argv));
    QGuiApplication app(argc, argv);
    FrameTimes::previous = qInstallMessageHandler(&FrameTimes::handler);
    QLoggingCategory::setFilterRules(QStringLiteral("qt.scenegraph.time.renderloop.debug=true"));
    loadFonts();
    registerQmlTypes();
    QQmlEngine qmlEngine;
    // The charts ask the device manager for the active device: none here,
    // which is a live module.
    qmlEngine.rootContext()->setContextProperty(
        QStringLiteral("deviceManager"), QVariant::fromValue<QObject*>(nullptr));
    engine = &qmlEngine;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printVerdicts();
    benchmark::Shutdown();
    return 0;
}
