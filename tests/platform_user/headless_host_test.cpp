// The headless host's screen, frame clock and hooks.
#include <SDL.h>
#include <gtest/gtest.h>

#include <win32/windows.h>

#include "varnholt/host.h"
#include "varnholt/pixel_memory.h"
#include "varnholt/platform_test.h"

namespace {

using vh::platform::writePixel;

struct SurfaceDeleter {
    void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using Surface = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

Surface makeFrame(int width, int height, Uint32 format) {
    return Surface(SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, format));
}

int64_t now() {
    return vh::platform::host().nanoseconds();
}

}  // namespace

TEST(HeadlessHost, PresentKeepsTheFrameAsRgbAndIgnoresTheUnusedByte) {
    Surface frame = makeFrame(4, 3, SDL_PIXELFORMAT_RGB888);
    ASSERT_TRUE(frame);
    SDL_FillRect(frame.get(), nullptr, 0);
    writePixel(frame.get(), 3, 2, 0xAB123456u);
    vh::platform::host().present(frame.get());
    vh::test::Picture picture = vh::test::presentedFrame();
    ASSERT_EQ(picture.width, 4);
    ASSERT_EQ(picture.height, 3);
    EXPECT_EQ(picture.at(3, 2), 0x00123456u);
    EXPECT_EQ(picture.at(0, 0), 0u);
}

TEST(HeadlessHost, PresentConvertsSixteenBitFrames) {
    Surface frame(SDL_CreateRGBSurfaceWithFormat(0, 2, 1, 16, SDL_PIXELFORMAT_RGB565));
    ASSERT_TRUE(frame);
    writePixel(frame.get(), 0, 0, 0xF800);  // full red
    writePixel(frame.get(), 1, 0, 0x07E0);  // full green
    vh::platform::host().present(frame.get());
    vh::test::Picture picture = vh::test::presentedFrame();
    EXPECT_EQ(picture.at(0, 0), 0x00FF0000u);
    EXPECT_EQ(picture.at(1, 0) & 0x00FCFCFCu, 0x0000FC00u) << "six bits of green";
}

TEST(HeadlessHost, EachFrameAdvancesTimeBeforeThePresentHandlerRuns) {
    Surface frame = makeFrame(2, 2, SDL_PIXELFORMAT_RGB888);
    std::vector<std::pair<int, int64_t>> calls;
    vh::test::onPresent([&calls](int count) { calls.push_back({count, now()}); });
    int64_t start = now();
    vh::platform::host().present(frame.get());
    vh::test::setFramePeriod(0);
    vh::platform::host().present(frame.get());
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], std::make_pair(1, start + 16000000));
    EXPECT_EQ(calls[1], std::make_pair(2, start + 16000000)) << "a zero period stops the clock";
    EXPECT_EQ(vh::test::presentedFrameCount(), 2);
}

TEST(HeadlessHost, ResetForgetsHandlersAndScriptedInput) {
    int presents = 0;
    vh::test::onPresent([&presents](int) { ++presents; });
    vh::test::keyPress(VK_SPACE);
    vh::test::setFramePeriod(5);
    vh::test::resetHooks();
    Surface frame = makeFrame(2, 2, SDL_PIXELFORMAT_RGB888);
    int64_t start = now();
    vh::platform::host().present(frame.get());
    EXPECT_EQ(presents, 0);
    EXPECT_EQ(now() - start, 16000000) << "the frame period is back to its default";
    vh::platform::HostEvent event{};
    EXPECT_FALSE(vh::platform::host().pollEvent(event));
}
