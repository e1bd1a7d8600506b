// The heat map's cost of one new frame: adding a 1000-value frame and bringing
// the image up to date, as a paint does, on charts of 200 and 2000 rows kept
// full. The new frame takes the row of the oldest one, so the cost should not
// grow with the height. Baseline: copying the whole 2000-row image once.
#include "charts/ColormapChart.hpp"

#include "RatioReporter.hpp"
#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <cstring>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

const int points = 1000;

QVariantList grayColormap()
{
    QVariantList map;
    for (int i = 0; i < 256; ++i)
        map.append(QVariant(QVariantList { i / 255.0, i / 255.0, i / 255.0 }));
    return map;
}

void addFrame(ColormapChart& chart, int serial)
{
    chart.beginFrame();
    for (int k = 0; k < points; ++k)
        chart.addPoint(QPointF(k, double((serial * 31 + k * 7) % 1000)));
    chart.endFrame();
}

void add_frame(benchmark::State& state)
{
    const int rows = int(state.range(0));
    ColormapChart chart;
    chart.setColormap(grayColormap());
    chart.setMaximumValue(QPointF(0, 1000));
    chart.setSize(QSizeF(points, rows));
    for (int i = 0; i < rows; ++i)
        addFrame(chart, i);
    chart.updateImage();
    int serial = rows;
    for (auto _ : state) {
        addFrame(chart, ++serial);
        chart.updateImage();
    }
    benchmark::DoNotOptimize(chart.frameCount());
}
BENCHMARK(add_frame)->Arg(200)->Arg(2000);

void copy_whole_image(benchmark::State& state)
{
    QImage image(points, int(state.range(0)), QImage::Format_RGB32);
    image.fill(Qt::gray);
    std::vector<uchar> copy(size_t(image.sizeInBytes()));
    for (auto _ : state) {
        std::memcpy(copy.data(), image.constBits(), copy.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(copy.size()));
}
BENCHMARK(copy_whole_image)->Arg(2000);

} // namespace

int main(int argc, char** argv)
{
    // The chart's image needs no window, so no display either.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    RatioReporter reporter(bench::console_options(argc, argv));
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& t = reporter.times;
    if (t.count("add_frame/200") && t.count("add_frame/2000") && t.count("copy_whole_image/2000")) {
        const double growth = t.at("add_frame/2000") / t.at("add_frame/200");
        const double against_copy = t.at("add_frame/2000") / t.at("copy_whole_image/2000");
        std::cout << "\nOne " << points << "-value frame:\n"
                  << "  2000 rows against 200 rows: " << growth
                  << " x (goal <= 1.5: " << bench::verdict(growth <= 1.5) << ")\n"
                  << "  2000 rows against one copy of the 2000-row image: " << against_copy
                  << " x (goal < 1: " << bench::verdict(against_copy < 1) << ")\n";
    }
    benchmark::Shutdown();
    return 0;
}
