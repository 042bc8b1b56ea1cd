// How fast the SDL host lets the game's frames come, on X servers of their
// own: GoogleTest cases over the SDL host tests' fixture, each printing its
// figures and failing past its bound. They are timed, so they are not unit
// tests (a timed test fails on a loaded machine without a fault):
// bench/bench_pacing.sh runs them, each in a process of its own.
#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "sdl_host_fixture.h"

namespace {

using namespace sdltest;

// The frame loop never runs faster than the display refreshes, whether the
// host sleeps to the next refresh (the window's framebuffer) or draws
// through a renderer that claims vsync and does not wait for it (SDL's
// software one). Four changed frames and one identical frame in turn: the
// identical frame's wait must not hide that the changed ones come too fast.
class Pacing : public SdlHostTest, public testing::WithParamInterface<const char*> {};

INSTANTIATE_TEST_SUITE_P(Presenters, Pacing, testing::Values("framebuffer", "software"));

TEST_P(Pacing, ChangingFramesComeNoFasterThanTheDisplayRefreshes) {
    if (std::string(GetParam()) != "framebuffer") setenv("SDL_RENDER_DRIVER", GetParam(), 1);
    start(1024, 768);
    const std::vector<uint32_t> pictures[2] = {
        pictureOf(patternAt), pictureOf([](int x, int y) { return ~patternAt(x, y) & 0xFFFFFFu; })};
    const auto first = counts();
    const int frames = 150;
    const auto started = Clock::now();
    int which = 0;
    for (int i = 0; i < frames; ++i) {
        if (i % 5 != 4) which ^= 1;
        showPixels(pictures[which]);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    EXPECT_EQ(counts().presented - first.presented, frames / 5 * 4);
    SDL_DisplayMode mode{};
    const int hz =
        SDL_GetCurrentDisplayMode(0, &mode) == 0 && mode.refresh_rate > 0 ? mode.refresh_rate : 60;
    // Loose below: the first frames may come quickly before the host finds
    // that the renderer's vsync does not wait.
    std::printf("%s: %d frames in %.2f s, %.0f a second; the display refreshes %d a second\n",
                GetParam(), frames, seconds, frames / seconds, hz);
    EXPECT_LE(frames / seconds, hz * 1.25);
}

// With vsync off the cap in frames a second holds the loop back instead.
TEST_F(SdlHostTest, TheFrameCapHoldsChangingFramesWithVsyncOff) {
    vh::platform::DisplaySettings settings;
    settings.vsync = false;
    settings.maxFps = 25;
    start(1024, 768, false, settings);
    std::vector<uint32_t> pictures[2];
    for (int i = 0; i < 2; ++i) pictures[i].assign(1024 * 768, i ? 0x00FFFFFFu : 0x00102030u);
    const int frames = 40;
    const auto started = Clock::now();
    for (int i = 0; i < frames; ++i) showPixels(pictures[i % 2]);
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    std::printf("%d frames in %.2f s with a cap of 25\n", frames, seconds);
    EXPECT_LE(frames / seconds, 25 * 1.1);
}

// A picture that has stayed the same for half a second is at rest: with no
// input, the game gets a frame at most every tenth of a second.
TEST_F(SdlHostTest, ARestingPictureTakesAFrameAtMostEveryTenthOfASecond) {
    start(1024, 768);
    std::vector<uint32_t> picture(1024 * 768, 0x00405060u);
    auto frameAfterReading = [&] {
        pumpUntil([] { return true; });  // what input there is goes to the game
        showPixels(picture);
    };
    for (int i = 0; i < 35; ++i) frameAfterReading();  // past the half second
    const int frames = 10;
    const auto started = Clock::now();
    for (int i = 0; i < frames; ++i) frameAfterReading();
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    std::printf("%d still frames in %.2f s\n", frames, seconds);
    EXPECT_GE(seconds, frames * 0.1 * 0.8);
}

}  // namespace
