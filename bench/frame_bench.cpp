// Whole frames on the headless host, each beside a memcpy of as many bytes as
// the frame writes, timed in the same run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

#include "bench_registry.h"
#include "game_session.h"
#include "varnholt/platform_test.h"

namespace bench {
namespace {

// Corners of the map view: resting in one scrolls towards it both ways.
constexpr int kTopLeftX = 270, kTopLeftY = 16;
constexpr int kBottomRightX = 1000, kBottomRightY = 750;
// The camera's furthest position on either axis: two lots of an 8-lot map.
constexpr int kCameraEnd = 2 * 128;

// Keeps the map moving: the pointer goes to the opposite corner whenever the
// camera reaches a corner of the map.
void keepScrolling(Application& app) {
    const MapView& view = app.cityScreen.mapView;
    if (view.cameraX >= kCameraEnd && view.cameraY >= kCameraEnd)
        restPointer(app, kTopLeftX, kTopLeftY);
    else if (view.cameraX <= 0 && view.cameraY <= 0)
        restPointer(app, kBottomRightX, kBottomRightY);
}

void toStartScreen(Application& app) {
    restPointer(app, 0, 0);
    app.cityScreen.mapView.cameraX = 0;
    app.cityScreen.mapView.cameraY = 0;
    app.cityScreen.sidebar.selectedTab = Amb;
    loopIteration(app);
}

// The mean bytes of a frame over one whole scroll there and back.
size_t meanScrollingBytes(Application& app) {
    toStartScreen(app);
    restPointer(app, kBottomRightX, kBottomRightY);
    constexpr int kFrames = 256;
    size_t total = 0;
    for (int i = 0; i < kFrames; ++i) {
        keepScrolling(app);
        total += bytesWrittenByFrame(app);
        loopIteration(app);
    }
    return total / kFrames;
}

void startScreenFrames(benchmark::State& state) {
    Application& app = startedGame();
    toStartScreen(app);
    for (auto _ : state) loopIteration(app);
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

void scrollingFrames(benchmark::State& state) {
    Application& app = startedGame();
    toStartScreen(app);
    restPointer(app, kBottomRightX, kBottomRightY);
    for (auto _ : state) {
        keepScrolling(app);
        loopIteration(app);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

// The floor: one memcpy of `bytes`, between buffers that are touched before
// timing so that no page fault is counted.
void memoryCopy(benchmark::State& state) {
    const size_t bytes = size_t(state.range(0));
    auto from = std::make_unique<unsigned char[]>(bytes);
    auto to = std::make_unique<unsigned char[]>(bytes);
    std::memset(from.get(), 0x5A, bytes);
    std::memset(to.get(), 0, bytes);
    for (auto _ : state) {
        std::memcpy(to.get(), from.get(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

}  // namespace

void registerFrameBenchmarks() {
    Application& app = startedGame();
    toStartScreen(app);
    const int64_t startBytes = int64_t(bytesWrittenByFrame(app));
    const int64_t scrollBytes = int64_t(meanScrollingBytes(app));

    addTimed("Frame/start_screen", startScreenFrames)->Arg(startBytes);
    addTimed("Memcpy/start_screen_bytes", memoryCopy)->Arg(startBytes);
    addTimed("Frame/scrolling", scrollingFrames)->Arg(scrollBytes);
    addTimed("Memcpy/scrolling_bytes", memoryCopy)->Arg(scrollBytes);
    addRatio("frame at the start screen / memcpy floor", "Frame/start_screen",
             "Memcpy/start_screen_bytes");
    addRatio("frame while scrolling / memcpy floor", "Frame/scrolling", "Memcpy/scrolling_bytes");
}

}  // namespace bench
