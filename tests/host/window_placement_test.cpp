// The windowed window's place, on displays of the test's own: the remembered
// place kept where it can be seen, the default fitted to the work area with
// its frame, and the place read back from a window.
#include <gtest/gtest.h>

#include "window_placement.h"

namespace {

using vh::platform::DisplaySettings;
using vh::platform::WindowFrame;
using vh::platform::WindowPlacement;

DisplaySettings remembered(int x, int y, int width, int height) {
    return {.hasWindow = true,
            .windowX = x,
            .windowY = y,
            .windowWidth = width,
            .windowHeight = height};
}

bool operator==(const SDL_Rect& a, const SDL_Rect& b) {
    return SDL_RectEquals(&a, &b);
}

TEST(WindowPlacement, ARememberedPlaceIsKeptOnlyWhileADisplayShowsIt) {
    const std::vector<SDL_Rect> two{{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
    const SDL_Rect work{0, 0, 1920, 1080};
    const WindowFrame frame{24, 2, 2, 2};
    struct Case {
        DisplaySettings settings;
        SDL_Rect place;
    } const cases[] = {
        {remembered(2000, 100, 800, 600), {2000, 100, 800, 600}},  // on the second display
        {remembered(-700, 100, 800, 600), {446, 143, 1024, 768}},  // centre off every display
        {remembered(2000, 900, 800, 600), {446, 143, 1024, 768}},  // below the second display
        {remembered(100, -600, 800, 600), {446, 143, 1024, 768}},  // above the first
        {remembered(100, 100, 40, 600), {446, 143, 1024, 768}},    // narrower than the file takes
        {DisplaySettings{}, {446, 143, 1024, 768}}};               // none remembered
    for (const Case& c : cases) {
        WindowPlacement placement(c.settings);
        EXPECT_TRUE(placement.place(two, work, frame, 1024, 768) == c.place) << c.settings.windowX;
    }
}

// The largest whole multiple that fits the work area with the frame, or on
// a small screen the largest size with the aspect kept, its title bar on the
// screen.
TEST(WindowPlacement, TheFirstPlaceFitsTheWorkAreaWithItsFrame) {
    struct Case {
        SDL_Rect work;
        std::optional<WindowFrame> frame;
        SDL_Rect place;
    } const cases[] = {
        {{0, 0, 1920, 1080}, std::nullopt, {440, 132, 1024, 768}},
        {{0, 0, 2560, 1600}, WindowFrame{30, 0, 0, 0}, {256, 17, 2048, 1536}},
        {{0, 32, 1024, 568}, std::nullopt, {157, 32, 693, 520}},
        {{0, 0, 800, 600}, std::nullopt, {24, 0, 736, 552}},
        {{0, 0, 200, 100}, std::nullopt, {-36, -70, 256, 192}},
    };
    for (const Case& c : cases) {
        WindowPlacement placement{DisplaySettings{}};
        const SDL_Rect place = placement.place({c.work}, c.work, c.frame, 1024, 768);
        EXPECT_TRUE(place == c.place) << c.work.w << "x" << c.work.h << ": " << place.x << ","
                                      << place.y << " " << place.w << "x" << place.h;
    }
}

TEST(WindowPlacement, AWindowsPlaceIsItsFramesCornerAndAChangeIsTold) {
    WindowPlacement placement{DisplaySettings{}};
    const WindowFrame frame{24, 2, 2, 2};
    EXPECT_TRUE(placement.remember({102, 124, 800, 600}, frame)) << "the first place is news";
    EXPECT_FALSE(placement.remember({102, 124, 800, 600}, frame));
    EXPECT_TRUE(placement.remember({102, 124, 801, 600}, frame));
    DisplaySettings saved;
    placement.saveInto(saved);
    EXPECT_EQ(saved, remembered(100, 100, 801, 600));
}

}  // namespace
