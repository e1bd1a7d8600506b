// Recording through DataRecorder::process into a binary session against
// plain write() of the same bytes into one file, in the same run and the same
// directory: 256 MiB of 4 KiB byte-data packets, measured until the recorder
// has written everything (its destruction drains the queue and closes the
// files). Handed over at once, the packets wait in memory that the queue
// must first take from the system; handed over at the recorder's pace, that
// memory is used again. Beside it, for information: packets per second of
// 64-byte packets, and the rate with flush on write (every write waits for
// the device, so it moves only 1 MiB).
#include <linkwell/DataRecorder.hpp>

#include "log/ConsoleAndFileLogger.hpp"

#include "RatioReporter.hpp"

#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t large_packet = 4096;
constexpr size_t large_count = 65536; // 256 MiB
constexpr size_t small_packet = 64;
constexpr size_t small_count = 500000;
constexpr size_t flushed_count = 256; // 1 MiB

// A directory of its own, removed afterwards.
struct Directory {
    Directory()
    {
        char pattern[] = "/tmp/linkwell-bench-recorder-XXXXXX";
        if (!mkdtemp(pattern))
            throw std::runtime_error("no temporary directory");
        path = pattern;
    }
    ~Directory()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

// A byte-data message whose stored record is `size` bytes.
Bytes byte_message(size_t size)
{
    Bytes message(size + 2, 0x5A);
    message[0] = 0xA0;
    message[1] = 0x10;
    return message;
}

// The library as a client would run it: logging errors only.
Logger& quiet_logger()
{
    static StdoutLogger logger(0, new DefaultLoggerIo(false, false));
    return logger;
}

// Each iteration writes into a fresh directory; the one before is removed
// while the clock is stopped.
class Directories {
public:
    const std::string& next(benchmark::State& state)
    {
        state.PauseTiming();
        current_.reset();
        current_ = std::make_unique<Directory>();
        state.ResumeTiming();
        return current_->path;
    }

private:
    std::unique_ptr<Directory> current_;
};

void BM_PlainWrite(benchmark::State& state)
{
    const std::vector<char> record(large_packet, 0x5A);
    Directories directories;
    for (auto _ : state) {
        const std::string name = directories.next(state) + "/plain.dat";
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        for (size_t i = 0; i < large_count; ++i)
            if (write(fd, record.data(), record.size()) != static_cast<ssize_t>(record.size()))
                state.SkipWithError("short write");
        close(fd);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * large_count * large_packet));
}

// Hands `count` packets of `size` bytes to a recorder and waits until it has
// written them all.
void record(benchmark::State& state, size_t size, size_t count, bool flush)
{
    const Bytes message = byte_message(size);
    Sarvik::RecordingOptions options;
    options.set_flush_on_write(flush);
    Directories directories;
    double handover_seconds = 0;
    for (auto _ : state) {
        const std::string& directory = directories.next(state);
        auto recorder = std::make_unique<Sarvik::DataRecorder>(quiet_logger());
        recorder->start_recording(Sarvik::ByteDataType, directory, options);
        const auto start = std::chrono::steady_clock::now();
        for (size_t i = 0; i < count; ++i)
            recorder->process(Sarvik::ByteDataType, message);
        handover_seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        recorder.reset();
    }
    // How long handing the packets over took, of the whole time.
    state.counters["handover_ms"] = benchmark::Counter(handover_seconds * 1e3 / double(state.iterations()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * count * size));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * count));
}

void BM_Recorder4KiB(benchmark::State& state)
{
    record(state, large_packet, large_count, false);
}

// The same 256 MiB handed over in rounds of 4 MiB, each after the recorder
// has written the round before (it splits its data file every 4 MiB and says
// so): the memory of the queue is used again instead of growing, as when the
// disk keeps pace with the module.
void BM_Recorder4KiBPaced(benchmark::State& state)
{
    constexpr size_t round = 1024; // packets, 4 MiB
    const Bytes message = byte_message(large_packet);
    Sarvik::RecordingOptions options;
    Sarvik::PreferredSplitSize split;
    split.set_byte_count(static_cast<long long>(round * large_packet));
    options.set_file_split_size(split);
    Directories directories;
    for (auto _ : state) {
        const std::string& directory = directories.next(state);
        std::mutex mutex;
        std::condition_variable changed;
        size_t files = 0;
        auto recorder = std::make_unique<Sarvik::DataRecorder>(quiet_logger());
        recorder->subscribe_to_file_available(
            Sarvik::ByteDataType, [&](Sarvik::DataType, const std::string&) {
                std::lock_guard<std::mutex> lock(mutex);
                ++files;
                changed.notify_all();
            });
        recorder->start_recording(Sarvik::ByteDataType, directory, options);
        for (size_t r = 0; r < large_count / round; ++r) {
            for (size_t i = 0; i < round; ++i)
                recorder->process(Sarvik::ByteDataType, message);
            if (r == 0)
                continue; // one round in flight while the next is handed over
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [&] { return files >= r; });
        }
        recorder.reset();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * large_count * large_packet));
}

void BM_Recorder64Bytes(benchmark::State& state)
{
    record(state, small_packet, small_count, false);
}

void BM_Recorder4KiBFlushOnWrite(benchmark::State& state)
{
    record(state, large_packet, flushed_count, true);
}

BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Recorder4KiB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Recorder4KiBPaced)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Recorder64Bytes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Recorder4KiBFlushOnWrite)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// Keeps every run's rates so that the recorder's can be set against the
// plain write's once all have run.
class RateReporter : public benchmark::ConsoleReporter {
public:
    using ConsoleReporter::ConsoleReporter;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs)
            for (const char* counter : { "bytes_per_second", "items_per_second" })
                if (!run.error_occurred && run.counters.count(counter))
                    rates_[run.run_name.function_name][counter] = run.counters.at(counter).value;
    }

    double rate(const std::string& benchmark, const char* counter) const
    {
        const auto b = rates_.find(benchmark);
        if (b == rates_.end() || !b->second.count(counter))
            return 0;
        return b->second.at(counter);
    }

private:
    std::map<std::string, std::map<std::string, double>> rates_;
};

} // namespace

int main(int argc, char** argv)
{
    RateReporter reporter(bench::console_options(argc, argv));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double plain = reporter.rate("BM_PlainWrite", "bytes_per_second");
    if (const double rate = reporter.rate("BM_Recorder4KiB", "bytes_per_second"); plain > 0 && rate > 0)
        std::printf(
            "recorder, 4 KiB packets   %6.2f GB/s, plain write() %6.2f GB/s, ratio %.3f (goal >= 0.5: %s)\n",
            rate / 1e9, plain / 1e9, rate / plain, bench::verdict(rate / plain >= 0.5));
    if (const double rate = reporter.rate("BM_Recorder4KiBPaced", "bytes_per_second"); plain > 0 && rate > 0)
        std::printf("  handed over at its pace %6.2f GB/s, ratio %.3f\n", rate / 1e9, rate / plain);
    if (const double packets = reporter.rate("BM_Recorder64Bytes", "items_per_second"); packets > 0)
        std::printf("recorder, 64-byte packets %6.2f million packets/s\n", packets / 1e6);
    if (const double rate = reporter.rate("BM_Recorder4KiBFlushOnWrite", "bytes_per_second"); rate > 0)
        std::printf("recorder, flush on write  %6.2f MB/s (for information)\n", rate / 1e6);
    benchmark::Shutdown();
    return 0;
}
