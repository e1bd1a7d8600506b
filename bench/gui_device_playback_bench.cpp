// Playback of a one-hour recording through the playback device: the player,
// the playback connection's reader and dispatcher threads, the module
// worker's signal and the Device's decoding on the GUI thread, up to the
// baseband frames the views draw. The recording holds 17 amplitude/phase
// frames a second of 32 bins each (61200 frames), written once into a
// temporary directory. Measured:
//   - at 20 times the recording's pace, the fastest the playback bar offers:
//     frames lost or out of order, the wall time against the ideal (an hour
//     over 20) and the process's CPU time;
//   - as fast as the connection reads (rate -1): frames per second, against
//     reading the same recording with a DataReader (the baseline, same run).
// Goal: at the highest rate every record arrives, in order.
//
// The 20x run takes three minutes; --benchmark_filter=as_fast leaves it out.
#include "core/SarvikDeviceConfiguration.hpp"
#include "core/SarvikDeviceInfo.hpp"
#include "device/Device.hpp"
#include "support/SessionWriter.hpp"

#include "simmodule/Messages.hpp"

#include "RatioReporter.hpp"

#include <linkwell/DataReader.hpp>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <string>

namespace {

constexpr double framesPerSecond = 17.0;
constexpr quint32 frameCount = 3600 * 17;
constexpr quint32 bins = 32;
constexpr float highestRate = 20.0f;

double processCpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// The recording, written on first use.
class HourRecording {
public:
    HourRecording()
    {
        SessionWriter writer(m_directory.path());
        for (quint32 i = 0; i < frameCount; ++i) {
            simmodule::BasebandFrame frame;
            frame.frame_counter = i;
            frame.bin_length = 0.0514f;
            frame.range_offset = 0.3f;
            for (quint32 k = 0; k < bins; ++k) {
                frame.first.push_back(10.0f + float((i + k) % 97));
                frame.second.push_back(0.01f * float(k));
            }
            const simmodule::Bytes message
                = simmodule::baseband_frame_message(simmodule::content::baseband_amplitude_phase, frame);
            writer.addRecord(0x1,
                QByteArray(reinterpret_cast<const char*>(message.data()) + 5, int(message.size() - 5)),
                quint32(double(i) * 1000.0 / framesPerSecond));
        }
        writer.writeParameterFile("RangeVec = {0.2, 7.9};\nZoneSpan = {0.3, 7.5};\n");
        m_metaFile = writer.finish(3600 * 1000);
    }
    const QString& metaFile() const { return m_metaFile; }

private:
    QTemporaryDir m_directory;
    QString m_metaFile;
};

const HourRecording& recording()
{
    static const HourRecording hour;
    return hour;
}

struct Outcome {
    quint64 received = 0;
    quint64 lost = 0;
    quint64 reordered = 0;
    double seconds = 0;
    double cpuSeconds = 0;
    bool ran = false;
};
std::map<std::string, Outcome> outcomes;

SarvikDeviceInfo playbackEntry()
{
    SarvikDeviceInfo info;
    info.displayName = QStringLiteral("Sarvik Playback");
    info.connectionKind = QStringLiteral("Playback");
    info.portName = QStringLiteral("from recording");
    info.supportedApps = 0x1;
    info.connectionMode = SarvikDeviceInfo::NormalMode;
    info.deviceType = SarvikDeviceInfo::PlaybackDevice;
    info.identified = true;
    return info;
}

// Plays the whole recording once at the rate and counts the frames the
// Device decodes.
Outcome play(float rate, std::chrono::seconds limit)
{
    Outcome outcome;
    Device device(playbackEntry(), nullptr);
    device.setActive(true);
    if (!device.setRecordingUrl(QUrl::fromLocalFile(recording().metaFile()))) {
        std::fprintf(stderr, "recording refused: %s\n", qPrintable(device.recordingErrorString()));
        return outcome;
    }
    device.setPlaybackLoopModeEnabled(false);
    device.setPlaybackRate(rate);
    QEventLoop loop;
    quint64 expected = 0;
    QObject::connect(&device, &Device::sigNewBasebandFrame, &loop, [&](uint, uint counter) {
        ++outcome.received;
        if (counter < expected)
            ++outcome.reordered;
        else
            outcome.lost += counter - expected;
        expected = quint64(counter) + 1;
        if (counter + 1 == frameCount)
            loop.quit();
    });
    QTimer::singleShot(limit, &loop, &QEventLoop::quit);
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = processCpuSeconds();
    // Starts the player, as an application's configure does.
    if (!device.configure(SarvikDeviceConfiguration()))
        return outcome;
    if (expected < frameCount)
        loop.exec();
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.cpuSeconds = processCpuSeconds() - cpuStart;
    outcome.lost += frameCount - expected;
    outcome.ran = true;
    return outcome;
}

void report(benchmark::State& state, const Outcome& outcome)
{
    if (!outcome.ran) {
        state.SkipWithError("the recording did not play");
        return;
    }
    state.SetIterationTime(outcome.seconds);
    state.counters["frames"] = double(outcome.received);
    state.counters["lost"] = double(outcome.lost);
    state.counters["reordered"] = double(outcome.reordered);
    state.counters["frames_per_second"] = double(outcome.received) / outcome.seconds;
}

void playback_at_highest_rate(benchmark::State& state)
{
    recording();
    for (auto _ : state) {
        const Outcome outcome = play(highestRate, std::chrono::seconds(600));
        outcomes["highest"] = outcome;
        report(state, outcome);
    }
}
BENCHMARK(playback_at_highest_rate)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void playback_as_fast_as_read(benchmark::State& state)
{
    recording();
    for (auto _ : state) {
        const Outcome outcome = play(-1.0f, std::chrono::seconds(300));
        outcomes["fast"] = outcome;
        report(state, outcome);
    }
}
BENCHMARK(playback_as_fast_as_read)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void data_reader_baseline(benchmark::State& state)
{
    recording();
    for (auto _ : state) {
        Outcome outcome;
        const auto start = std::chrono::steady_clock::now();
        Sarvik::DataReader reader;
        if (reader.open(recording().metaFile().toStdString(), -1) == 0) {
            for (;;) {
                const Sarvik::DataRecord record = reader.read_record();
                if (!record.is_valid)
                    break;
                if (!record.data.empty())
                    ++outcome.received;
            }
            outcome.ran = true;
        }
        outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        outcomes["reader"] = outcome;
        report(state, outcome);
    }
}
BENCHMARK(data_reader_baseline)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The library's and the Device's lines would drown the report.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type >= QtWarningMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    RatioReporter reporter(bench::console_options(argc, argv));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf(
        "\nA one-hour recording of %u baseband frames (%.0f a second)\n", frameCount, framesPerSecond);
    const auto reader = outcomes.find("reader");
    const auto fast = outcomes.find("fast");
    if (fast != outcomes.end() && fast->second.ran) {
        const double rate = double(fast->second.received) / fast->second.seconds;
        std::printf("as fast as read: %.0f frames/s, lost %llu, reordered %llu", rate,
            static_cast<unsigned long long>(fast->second.lost),
            static_cast<unsigned long long>(fast->second.reordered));
        if (reader != outcomes.end() && reader->second.ran)
            std::printf("; against the DataReader alone (%.0f records/s): %.3f",
                reader->second.received / reader->second.seconds,
                rate / (double(reader->second.received) / reader->second.seconds));
        std::printf("\n");
    }
    const auto highest = outcomes.find("highest");
    if (highest != outcomes.end() && highest->second.ran) {
        const Outcome& o = highest->second;
        const double ideal = 3600.0 / double(highestRate);
        std::printf(
            "at %.0fx: %llu frames in %.1f s (ideal %.1f s, %.3f of it), CPU %.1f s (%.1f %% of a core)\n",
            double(highestRate), static_cast<unsigned long long>(o.received), o.seconds, ideal,
            o.seconds / ideal, o.cpuSeconds, 100.0 * o.cpuSeconds / o.seconds);
        const bool whole = o.received == frameCount && o.lost == 0 && o.reordered == 0;
        std::printf("every record delivered, in order, at the highest rate: %s\n", bench::verdict(whole));
    }
    benchmark::Shutdown();
    return 0;
}
