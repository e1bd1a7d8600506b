// The console report of a benchmark program that prints its own summary at
// the end: it prints the usual table and keeps every counter of each
// benchmark that did not fail, for the summary to read back by name.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace bench {

class FigureReporter : public benchmark::ConsoleReporter {
public:
    using ConsoleReporter::ConsoleReporter;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            if (run.error_occurred)
                continue;
            for (const auto& [name, counter] : run.counters)
                figures_[run.benchmark_name()][name] = counter.value;
        }
    }

protected:
    // Whether the benchmark ran (without error), or its median where it was
    // repeated.
    bool measured(const std::string& benchmark) const { return find(benchmark) != figures_.end(); }

    // The counter of the benchmark (the median over its repetitions where
    // there were some); 0 when it was not measured.
    double figure(const std::string& benchmark, const std::string& counter) const
    {
        const auto b = find(benchmark);
        if (b == figures_.end())
            return 0;
        const auto c = b->second.find(counter);
        return c == b->second.end() ? 0 : c->second;
    }

private:
    using Figures = std::map<std::string, std::map<std::string, double>>;

    Figures::const_iterator find(const std::string& benchmark) const
    {
        const auto median = figures_.find(benchmark + "_median");
        return median != figures_.end() ? median : figures_.find(benchmark);
    }

    Figures figures_;
};

} // namespace bench
