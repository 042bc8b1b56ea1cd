// The frame loop allocates no memory: every allocation of the process, C and
// C++, SDL's included, is counted while the game runs frames on the headless
// host, at the start screen, while the map scrolls and after a tab change.
#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "game_fixture.h"

// glibc's own entry points, under the names it exports for wrappers like ours.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
}

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void count() {
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

// Every allocation of the process passes through these: operator new calls
// malloc, and the shared libraries bind to the program's malloc first.
extern "C" {
void* malloc(size_t size) {
    count();
    return __libc_malloc(size);
}
void* calloc(size_t n, size_t size) {
    count();
    return __libc_calloc(n, size);
}
void* realloc(void* pointer, size_t size) {
    count();
    return __libc_realloc(pointer, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
    count();
    return __libc_memalign(alignment, size);
}
void* memalign(size_t alignment, size_t size) {
    count();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size) {
    count();
    void* pointer = __libc_memalign(alignment, size);
    if (!pointer) return ENOMEM;
    *out = pointer;
    return 0;
}
}

namespace {

constexpr int kWarmUpFrames = 5;
constexpr int kCountedFrames = 300;

// Runs the game's own loop; frames kWarmUpFrames + 1 to kWarmUpFrames +
// kCountedFrames are counted, with `atFrame` called before each of them.
// Returns the allocations counted.
long allocationsAcrossFrames(void (*atFrame)(int frame)) {
    static void (*hook)(int) = nullptr;
    hook = atFrame;
    allocations = 0;
    vh::test::onPresent([](int frame) {
        if (frame == kWarmUpFrames) {
            if (hook) hook(frame);
            counting = true;
        } else if (frame == kWarmUpFrames + kCountedFrames) {
            counting = false;
            vh::test::closeRequest();
        } else if (hook) {
            hook(frame);
        }
    });
    Application& app = fixture::startGame();
    // The journal is a test tool that grows with every call; a player's host
    // runs without it, and so do these frames.
    vh::test::setJournalEnabled(false);
    app.run();
    return allocations;
}

class FrameAllocations : public fixture::WithRealArt {};

// The counter sees C and C++ allocations, SDL's included, so that its zero
// below means none were made.
TEST_F(FrameAllocations, NoneAtTheStartScreen) {
    counting = true;
    allocations = 0;
    int* number = new int(7);
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 8, 8, 32, SDL_PIXELFORMAT_RGB888);
    counting = false;
    EXPECT_GE(allocations.load(), 2);
    delete number;
    SDL_FreeSurface(surface);
    EXPECT_EQ(allocationsAcrossFrames(nullptr), 0);
    EXPECT_EQ(vh::test::presentedFrameCount(), kWarmUpFrames + kCountedFrames);
}

TEST_F(FrameAllocations, NoneWhileTheMapScrolls) {
    // Short frames keep the camera moving for all the counted frames.
    vh::test::setFramePeriod(1.0);
    vh::test::mouseMove(1000, 750);  // the bottom-right corner of the map view
    EXPECT_EQ(allocationsAcrossFrames(nullptr), 0);
    const MapView& view = Application::instance().cityScreen.mapView;
    EXPECT_GT(view.cameraX, 0);
    EXPECT_GT(view.cameraY, 0);
    EXPECT_LT(view.cameraX, 256);  // still on its way when counting stopped
}

TEST_F(FrameAllocations, NoneOnTheOtherTabs) {
    // The pros tab is clicked before counting starts; its panel is drawn then.
    EXPECT_EQ(allocationsAcrossFrames([](int frame) {
                  if (frame == 2) vh::test::mouseRelease(1, 32 + 64 + 10, 250);
              }),
              0);
    EXPECT_EQ(Application::instance().cityScreen.sidebar.selectedTab, Pros);
}

}  // namespace
