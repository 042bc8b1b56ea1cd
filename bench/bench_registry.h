// Registration of the benchmarks and of the ratios printed after the run:
// each ratio divides the median time of one benchmark by another's.
#pragma once

#include <benchmark/benchmark.h>

#include <string>

namespace bench {

// Registers a benchmark timed in microseconds.
benchmark::internal::Benchmark* addTimed(const std::string& name,
                                         void (*function)(benchmark::State&));
void addRatio(const std::string& label, const std::string& numerator,
              const std::string& denominator);

// Runs the registered benchmarks with the command line's options, then prints
// the ratios of their medians. Returns the exit code.
int runAndReport(int argc, char** argv);

void registerFrameBenchmarks();
void registerBlitBenchmarks();
void registerScalerBenchmarks();
void registerStartUpBenchmark(const char* self);

}  // namespace bench
