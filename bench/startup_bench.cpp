// Start-up: from the start of a fresh process to its first presented frame,
// on the headless host. The benchmark starts this program again in its
// start-up mode for every iteration and times it from before the spawn.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <ctime>

#include "bench_registry.h"
#include "child_process.h"
#include "startup_child.h"
#include "varnholt/platform_test.h"
#include "winapi.h"

namespace bench {
namespace {

constexpr int kArtFiles = 16;

int64_t monotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int decodedFiles() {
    int count = 0;
    for (const auto& call : vh::test::journal())
        if (call.name == "GdipCreateBitmapFromFile" && call.result == Gdiplus::Ok) ++count;
    return count;
}

struct ChildReport {
    int64_t mainAt = 0;  // when the child's main began: the loader's share ends
    int64_t firstFrameAt = 0;
    int decoded = 0;
    bool ok = false;
};

ChildReport runChild(const char* self, int64_t& spawnedAt) {
    ChildReport report;
    int link[2];
    if (pipe(link) != 0) return report;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, link[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, link[0]);
    char mode[] = "--startup-child";
    char* args[] = {const_cast<char*>(self), mode, nullptr};
    childprocess::Child child;
    spawnedAt = monotonicNanoseconds();
    const bool spawned = child.spawn(self, args, &actions);
    posix_spawn_file_actions_destroy(&actions);
    close(link[1]);
    if (spawned) {
        FILE* from = fdopen(link[0], "r");
        report.ok = std::fscanf(from, "%" SCNd64 " %" SCNd64 " %d", &report.mainAt,
                                &report.firstFrameAt, &report.decoded) == 3;
        std::fclose(from);
        child.wait();
        report.ok = report.ok && child.code() == 0;
    } else {
        close(link[0]);
    }
    return report;
}

}  // namespace

int startUpChild() {
    static int64_t mainAt = monotonicNanoseconds();
    vh::test::useHeadlessHost();  // its journal tells which files were decoded
    if (chdir(VARNHOLT_ASSETS_DIR) != 0) return 2;
    vh::test::onPresent([](int frame) {
        if (frame != 1) return;
        const int64_t at = monotonicNanoseconds();
        std::printf("%" PRId64 " %" PRId64 " %d\n", mainAt, at, decodedFiles());
        std::fflush(stdout);
        _exit(0);
    });
    static char module;
    char commandLine[] = "";
    WinMain(reinterpret_cast<HINSTANCE>(&module), nullptr, commandLine, SW_SHOWDEFAULT);
    return 3;  // the game ended without presenting a frame
}

void registerStartUpBenchmark(const char* self) {
    static const char* program = self;
    addTimed(
        "StartUp/process_to_first_frame",
        [](benchmark::State& state) {
            double loading = 0, game = 0;
            for (auto _ : state) {
                int64_t spawnedAt = 0;
                ChildReport child = runChild(program, spawnedAt);
                if (!child.ok || child.decoded != kArtFiles) {
                    state.SkipWithError("the child did not present a frame with all art decoded");
                    break;
                }
                state.SetIterationTime(double(child.firstFrameAt - spawnedAt) * 1e-9);
                loading += double(child.mainAt - spawnedAt) * 1e-6;
                game += double(child.firstFrameAt - child.mainAt) * 1e-6;
            }
            // Where the time went: spawn and dynamic loading up to main, then the
            // game's own start-up up to its first frame (means, in ms).
            const double runs = double(std::max<int64_t>(state.iterations(), 1));
            state.counters["to_main_ms"] = loading / runs;
            state.counters["main_to_frame_ms"] = game / runs;
        })
        ->UseManualTime()
        ->Iterations(10);
}

}  // namespace bench
