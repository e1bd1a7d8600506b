// Shared by the benchmark programs: the console report's options, plain text
// when the output is not a terminal; a goal's verdict; and RatioReporter,
// which prints the usual console report and keeps each benchmark's time per
// iteration, so that a benchmark program can print ratios against its
// baseline at the end.
#pragma once

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace bench {

// The options of a console report given to RunSpecifiedBenchmarks, which
// leaves --benchmark_color to the report it makes itself: colour on a
// terminal, plain text into a pipe or a file, unless --benchmark_color says
// otherwise. Call before benchmark::Initialize, which takes the flag out of
// argv.
inline benchmark::ConsoleReporter::OutputOptions console_options(int argc, char** argv)
{
    const char* term = std::getenv("TERM");
    bool colour = isatty(STDOUT_FILENO) == 1 && term != nullptr && std::strcmp(term, "dumb") != 0;
    const std::string flag = "--benchmark_color";
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == flag) {
            colour = true;
            continue;
        }
        if (argument.compare(0, flag.size() + 1, flag + "=") != 0)
            continue;
        std::string value = argument.substr(flag.size() + 1);
        for (char& c : value)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        if (value != "auto")
            colour = !(value == "0" || value == "f" || value == "n" || value == "false" || value == "no"
                || value == "off");
    }
    return colour ? benchmark::ConsoleReporter::OO_ColorTabular : benchmark::ConsoleReporter::OO_Tabular;
}

// How a goal line ends: whether this run's figure reached the goal.
inline const char* verdict(bool met)
{
    return met ? "met" : "not met";
}

} // namespace bench

class RatioReporter : public benchmark::ConsoleReporter {
public:
    using ConsoleReporter::ConsoleReporter;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs)
            times[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    std::map<std::string, double> times;
};
