// Reading a recording through the data reader against plain sequential
// read() of its data file with the same 4 KiB buffer, in the same run, the
// page cache warm for both: 256 MiB of 4 KiB binary records. A second
// recording measures how fast a filter skips entries: two million records
// of one type, then one of another, read with a filter for the other.
#include <linkwell/DataReader.hpp>

#include "recording/FileMapMetaEntry.hpp"
#include "recording/MetaFileHeader.hpp"
#include "recording/UnicodeFile.hpp"
#include "recording/WriteFileMetaEntry.hpp"

#include "RatioReporter.hpp"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint32_t record_size = 4096;
constexpr size_t record_count = 65536; // 256 MiB
constexpr size_t skipped_count = 2000000;
constexpr uint32_t recorded_type = 0x80000; // radar rf: stored in binary form
constexpr uint32_t wanted_type = 0x400; // float data

// A session directory of its own, removed at exit.
struct Directory {
    Directory()
    {
        char pattern[] = "/tmp/linkwell-bench-reader-XXXXXX";
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

const Directory& directory()
{
    static const Directory d;
    return d;
}

// Writes a recording whose entries are given by type and size, one data
// file, and returns the index file's name.
std::string write_recording(
    const std::string& name, const std::vector<std::pair<uint32_t, uint32_t>>& records)
{
    const std::string base = directory().path + "/" + name;
    UnicodeFile data(base + ".dat", std::ios::out | std::ios::binary);
    Bytes entries;
    entries.reserve(records.size() * AbstractMetaEntry::EntrySize);
    MetaFileHeader header;
    header.state = 1;
    Bytes record;
    for (size_t i = 0; i < records.size(); ++i) {
        const auto [type, size] = records[i];
        record.assign(size, static_cast<uint8_t>(i));
        const int64_t offset = header.bytes_recorded;
        header.bytes_recorded += size;
        header.max_record_size = std::max(header.max_record_size, size);
        header.data_types |= type;
        const Bytes raw
            = WriteFileMetaEntry(static_cast<uint32_t>(i), type, size, offset, header.bytes_recorded, 0)
                  .to_raw();
        entries.insert(entries.end(), raw.begin(), raw.end());
        if (!data.write(record))
            throw std::runtime_error("cannot write the data file");
    }
    header.duration = static_cast<uint32_t>(records.size());
    const std::string session = "0b9e6c4a-1f2d-4c3b-8a7e-5d6c7b8a9f00";
    const int64_t first_entry = static_cast<int64_t>(header.to_raw(session).size());
    header.file_map_offset = first_entry + static_cast<int64_t>(entries.size());
    UnicodeFile index(base + "_meta.dat", std::ios::out | std::ios::binary);
    if (!index.write(header.to_raw(session)) || !index.write(entries)
        || !index.write(FileMapMetaEntry(header.duration, { name + ".dat" }).to_raw()))
        throw std::runtime_error("cannot write the index file");
    return base + "_meta.dat";
}

const std::string& large_recording()
{
    static const std::string index = write_recording(
        "large", std::vector<std::pair<uint32_t, uint32_t>>(record_count, { recorded_type, record_size }));
    return index;
}

const std::string& skip_recording()
{
    static const std::string index = [] {
        std::vector<std::pair<uint32_t, uint32_t>> records(skipped_count, { recorded_type, 1 });
        records.push_back({ wanted_type, 1 });
        return write_recording("skip", records);
    }();
    return index;
}

// The buffer size is the benchmark's argument: the records' 4 KiB (the
// baseline), and for information the 64 KiB window that the reader itself
// reads its data files with.
void BM_PlainRead(benchmark::State& state)
{
    const std::string data = directory().path + "/large.dat";
    std::vector<char> buffer(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        const int fd = open(data.c_str(), O_RDONLY | O_CLOEXEC);
        size_t total = 0;
        for (ssize_t n; (n = read(fd, buffer.data(), buffer.size())) > 0;)
            total += static_cast<size_t>(n);
        close(fd);
        if (total != record_count * record_size)
            state.SkipWithError("short data file");
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * record_count * record_size));
}

void BM_ReaderReadRecord(benchmark::State& state)
{
    std::vector<unsigned char> buffer(record_size);
    for (auto _ : state) {
        Sarvik::DataReader reader;
        if (reader.open(large_recording(), -1) != 0) {
            state.SkipWithError("cannot open the recording");
            break;
        }
        size_t records = 0;
        unsigned size = 0;
        while (reader.read_record(buffer.data(), record_size, &size, nullptr, nullptr, nullptr) == 0)
            ++records;
        if (records != record_count)
            state.SkipWithError("records missing");
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * record_count * record_size));
}

void BM_ReaderRecordForm(benchmark::State& state)
{
    for (auto _ : state) {
        Sarvik::DataReader reader;
        reader.open(large_recording(), -1);
        size_t records = 0;
        for (Sarvik::DataRecord r; (r = reader.read_record()).is_valid;)
            ++records;
        if (records != record_count)
            state.SkipWithError("records missing");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * record_count * record_size));
}

void BM_FilterSkip(benchmark::State& state)
{
    for (auto _ : state) {
        Sarvik::DataReader reader;
        reader.set_filter(wanted_type);
        reader.open(skip_recording(), -1);
        const Sarvik::DataRecord r = reader.read_record();
        if (!r.is_valid || r.data_type != wanted_type)
            state.SkipWithError("the wanted record was not found");
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * skipped_count));
}

BENCHMARK(BM_PlainRead)->Arg(record_size)->Arg(64 * 1024)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReaderReadRecord)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReaderRecordForm)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FilterSkip)->Unit(benchmark::kMillisecond)->UseRealTime();

// Keeps every run's rates so that the reader's can be set against the plain
// read's once all have run.
class RateReporter : public benchmark::ConsoleReporter {
public:
    using ConsoleReporter::ConsoleReporter;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs)
            for (const char* counter : { "bytes_per_second", "items_per_second" })
                if (!run.error_occurred && run.counters.count(counter))
                    rates_[run.benchmark_name()][counter] = run.counters.at(counter).value;
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
    large_recording();
    skip_recording();
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double plain = reporter.rate("BM_PlainRead/4096/real_time", "bytes_per_second");
    for (const char* reader : { "BM_ReaderReadRecord/real_time", "BM_ReaderRecordForm/real_time" })
        if (const double rate = reporter.rate(reader, "bytes_per_second"); plain > 0 && rate > 0)
            std::printf("%-30s %6.2f GB/s, plain read() of 4 KiB %6.2f GB/s, ratio %.3f (goal >= 0.5: %s)\n",
                reader, rate / 1e9, plain / 1e9, rate / plain, bench::verdict(rate / plain >= 0.5));
    if (const double window = reporter.rate("BM_PlainRead/65536/real_time", "bytes_per_second"); window > 0)
        std::printf("plain read() of 64 KiB (for information) %6.2f GB/s\n", window / 1e9);
    if (const double skipped = reporter.rate("BM_FilterSkip/real_time", "items_per_second"); skipped > 0)
        std::printf("filter skip                    %6.1f million entries/s (goal >= 1: %s)\n", skipped / 1e6,
            bench::verdict(skipped >= 1e6));
    benchmark::Shutdown();
    return 0;
}
