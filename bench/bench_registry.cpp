#include "bench_registry.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

namespace bench {
namespace {

struct Ratio {
    std::string label;
    std::string numerator;
    std::string denominator;
};

std::vector<Ratio>& ratios() {
    static std::vector<Ratio> list;
    return list;
}

struct Times {
    double real = 0;  // seconds
    double cpu = 0;
};

// The console's report, keeping each benchmark's median real and CPU times
// (the single run's times when there are no repetitions).
class MedianKeeper : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (!median && !single) continue;
            const double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
            medians[run.run_name.function_name] = {run.GetAdjustedRealTime() / unit,
                                                   run.GetAdjustedCPUTime() / unit};
        }
        ConsoleReporter::ReportRuns(runs);
    }

    std::map<std::string, Times> medians;
};

bool hasOption(int argc, char** argv, const char* prefix) {
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], prefix, std::strlen(prefix)) == 0) return true;
    return false;
}

void printRatios(const MedianKeeper& kept) {
    std::printf("\nRatios of medians%55s\n", "real    CPU");
    for (const Ratio& ratio : ratios()) {
        auto top = kept.medians.find(ratio.numerator);
        auto bottom = kept.medians.find(ratio.denominator);
        if (top == kept.medians.end() || bottom == kept.medians.end() || bottom->second.real <= 0 ||
            bottom->second.cpu <= 0) {
            std::printf("  %-55s (not run)\n", ratio.label.c_str());
            continue;
        }
        std::printf("  %-55s %7.2f %7.2f\n", ratio.label.c_str(),
                    top->second.real / bottom->second.real, top->second.cpu / bottom->second.cpu);
    }
}

}  // namespace

benchmark::internal::Benchmark* addTimed(const std::string& name,
                                         void (*function)(benchmark::State&)) {
    return benchmark::RegisterBenchmark(name.c_str(), function)->Unit(benchmark::kMicrosecond);
}

void addRatio(const std::string& label, const std::string& numerator,
              const std::string& denominator) {
    ratios().push_back({label, numerator, denominator});
}

int runAndReport(int argc, char** argv) {
    // Medians over repetitions unless the command line asks otherwise.
    std::vector<char*> args(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=9";
    std::string aggregates = "--benchmark_display_aggregates_only=true";
    if (!hasOption(argc, argv, "--benchmark_repetitions")) {
        args.push_back(repetitions.data());
        if (!hasOption(argc, argv, "--benchmark_display_aggregates_only"))
            args.push_back(aggregates.data());
    }
    int count = int(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;

    MedianKeeper reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printRatios(reporter);
    benchmark::Shutdown();
    return 0;
}

}  // namespace bench
