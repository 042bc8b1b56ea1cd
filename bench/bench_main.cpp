// varnholt_bench: the game's benchmarks. Run with no mode it times frames,
// blits, the host's scaling and start-up and prints the ratios of their
// medians; the modes below are the child processes that the start-up
// benchmark and bench/bench_present.sh start.
//
//   varnholt_bench [--benchmark_* options]
//   varnholt_bench --startup-child
//   varnholt_bench --present SECONDS BACKGROUND_SECONDS [still|scroll]   (needs a display)
#include <cstdlib>
#include <cstring>

#include "bench_registry.h"
#include "startup_child.h"

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--startup-child") == 0) return bench::startUpChild();
    if (argc >= 4 && std::strcmp(argv[1], "--present") == 0)
        return bench::presentChild(std::atof(argv[2]), std::atof(argv[3]),
                                   argc >= 5 ? argv[4] : "still");

    bench::registerStartUpBenchmark("/proc/self/exe");
    bench::registerFrameBenchmarks();
    bench::registerBlitBenchmarks();
    bench::registerScalerBenchmarks();
    return bench::runAndReport(argc, argv);
}
