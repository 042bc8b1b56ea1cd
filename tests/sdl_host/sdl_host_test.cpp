// The SDL host, for real: a window on an X server of the test's own, input
// made by XTest as a player's devices make it, and the screen read back.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "sdl_host_fixture.h"
#include "temp_folder.h"

#include <X11/keysym.h>

namespace {

using namespace sdltest;

// ---- Input --------------------------------------------------------------------

TEST_F(SdlHostTest, KeysAndButtonsBecomeWindowsMessages) {
    start(1024, 768);
    // The keys the game knows by their Windows codes, and one it does not.
    Seen seenKey{};
    const std::pair<KeySym, WPARAM> keys[] = {
        {XK_Escape, VK_ESCAPE},  {XK_a, 'A'},      {XK_F5, VK_F1 + 4},      {XK_7, '7'},
        {XK_space, VK_SPACE},    {XK_Tab, VK_TAB}, {XK_BackSpace, VK_BACK}, {XK_Left, VK_LEFT},
        {XK_Right, VK_RIGHT},    {XK_Up, VK_UP},   {XK_Down, VK_DOWN},      {XK_Return, VK_RETURN},
        {XK_KP_Enter, VK_RETURN}};
    for (const auto& [symbol, code] : keys) {
        x_.pressKey(symbol);
        ASSERT_TRUE(waitFor(WM_KEYDOWN, seenKey)) << XKeysymToString(symbol);
        EXPECT_EQ(seenKey.wParam, code) << XKeysymToString(symbol);
    }
    x_.pressKey(XK_Scroll_Lock);  // no Windows code of the game's: not passed on
    x_.pressKey(XK_b);
    ASSERT_TRUE(waitFor(WM_KEYDOWN, seenKey));
    EXPECT_EQ(seenKey.wParam, WPARAM('B'));

    for (auto [x, y, button, message] :
         {std::tuple{300, 200, Button1, WM_LBUTTONUP}, {700, 500, Button3, WM_RBUTTONUP}}) {
        x_.movePointer(x, y);
        x_.click(button);
        ASSERT_TRUE(waitFor(message, seenKey)) << message;
        EXPECT_EQ(lowWord(seenKey.lParam), x);
        EXPECT_EQ(highWord(seenKey.lParam), y);
    }
}

struct ScreenSize {
    int width, height;
};

class PointerMapping : public SdlHostTest, public testing::WithParamInterface<ScreenSize> {};

INSTANTIATE_TEST_SUITE_P(Screens, PointerMapping,
                         testing::Values(ScreenSize{1024, 768}, ScreenSize{1920, 1080},
                                         ScreenSize{1280, 1024}, ScreenSize{800, 600},
                                         ScreenSize{2560, 1080}),
                         [](const auto& info) {
                             return std::to_string(info.param.width) + "x" +
                                    std::to_string(info.param.height);
                         });

// Every point of the screen maps to the picture pixel drawn there; a point on
// a black bar maps to the nearest edge of the picture.
TEST_P(PointerMapping, PointsMapToThePicturePixelShownThere) {
    const ScreenSize size = GetParam();
    start(size.width, size.height);
    const Placement at = placementOn(size.width, size.height);
    const vh::test::Picture screen = x_.screen();
    struct Probe {
        int x, y;
    };
    std::vector<Probe> probes{{at.x, at.y},
                              {at.x + at.width - 1, at.y + at.height - 1},
                              {at.x + at.width / 2, at.y + at.height / 3},
                              {at.x + at.width / 5, at.y + at.height - 1}};
    for (const Probe& probe : probes) {
        x_.movePointer(probe.x, probe.y);
        Seen move{};
        ASSERT_TRUE(waitFor(WM_MOUSEMOVE, move));
        const int px = lowWord(move.lParam), py = highWord(move.lParam);
        ASSERT_GE(px, 0);
        ASSERT_LT(px, 1024);
        ASSERT_GE(py, 0);
        ASSERT_LT(py, 768);
        EXPECT_EQ(screen.at(probe.x, probe.y), patternAt(px, py))
            << "screen point " << probe.x << "," << probe.y << " maps to " << px << "," << py;
    }
    // The screen's own edges (on a bar, or on the picture's edge itself) map
    // to the picture's (-1: either).
    for (auto [x, y, px, py] : {std::tuple{0, size.height / 2, 0, -1},
                                {size.width - 1, 0, 1023, 0},
                                {size.width / 2, size.height - 1, -1, 767}}) {
        x_.movePointer(x, y);
        Seen move{};
        ASSERT_TRUE(waitFor(WM_MOUSEMOVE, move));
        EXPECT_TRUE(px < 0 || lowWord(move.lParam) == px) << x << "," << y;
        EXPECT_TRUE(py < 0 || highWord(move.lParam) == py) << x << "," << y;
    }
}

// ---- Focus --------------------------------------------------------------------

TEST_F(SdlHostTest, FocusChangesBecomeActivateAppAndConfineThePointerOnlyWhileActive) {
    start(1920, 1080);
    const Placement at = placementOn(1920, 1080);
    // Active: the pointer cannot leave the picture for the bars.
    EXPECT_TRUE(waitForConfinement(at, true))
        << "the pointer left the picture while the game was active";

    const Window other = x_.createWindow(0, 0, 100, 100);
    const size_t before = seen().size();
    x_.focus(other);
    ASSERT_TRUE(waitFor(WM_ACTIVATEAPP, FALSE, before)) << "no WM_ACTIVATEAPP for the lost focus";
    EXPECT_TRUE(waitForConfinement(at, false)) << "the pointer is still confined in the background";

    // A click in the game's window brings the focus back, even with no
    // window manager to give it.
    const int activeBefore = activations();
    x_.movePointer(960, 540);
    x_.click(Button1);
    ASSERT_TRUE(pumpUntil([&] { return activations() > activeBefore; }))
        << "a click did not give the game the focus back";
    // The barriers are made on the host's own connection to the X server,
    // which the test's requests may overtake for a moment.
    EXPECT_TRUE(waitForConfinement(at, true)) << "not confined again once active";
}

// ---- Presentation -------------------------------------------------------------

TEST_F(SdlHostTest, StillFramesAreSkippedAndChangedOnesShownWhereTheyChanged) {
    // Nearest, so that the changed pixel shows in its own colour.
    start(1920, 1080, false, {.filter = vh::platform::Filter::Nearest});
    const auto first = counts();
    for (int i = 0; i < 5; ++i) show(patternAt);
    EXPECT_EQ(counts().skipped - first.skipped, 5);
    EXPECT_EQ(counts().presented, first.presented);

    // One pixel changes: the frame is shown, and the screen shows the pixel.
    show([](int x, int y) { return x == 700 && y == 300 ? 0x00FF00FFu : patternAt(x, y); });
    EXPECT_EQ(counts().presented, first.presented + 1);
    // Picture pixel (700, 300) covers this block of the screen, give or take
    // the rounding of the scale.
    const Placement at = placementOn(1920, 1080);
    const vh::test::Picture screen = x_.screen();
    int shown = 0, misplaced = 0;
    for (int y = 0; y < screen.height; ++y) {
        for (int x = 0; x < screen.width; ++x) {
            if (screen.at(x, y) != 0x00FF00FFu) continue;
            ++shown;
            const double px = double(x - at.x) * 1024 / at.width;
            const double py = double(y - at.y) * 768 / at.height;
            if (px < 699 || px > 702 || py < 299 || py > 302) ++misplaced;
        }
    }
    EXPECT_GT(shown, 0);
    EXPECT_EQ(misplaced, 0);
    EXPECT_EQ(screen.at(at.x + at.width / 2, at.y + at.height / 2), patternAt(512, 384))
        << "the rest of the picture is still there";
    EXPECT_EQ(screen.at(at.x / 2, 540), 0u) << "the bars stay black";
}

// No frame that differs from the one shown in any one pixel is skipped,
// wherever that pixel is; and the screen then shows that pixel.
TEST_F(SdlHostTest, AFrameThatDiffersInAnyOnePixelIsShown) {
    start(1024, 768);
    const std::pair<int, int> corners[] = {{0, 0},      {1023, 0},  {0, 767},
                                           {1023, 767}, {512, 384}, {1, 766}};
    uint32_t colour = 0x00ABCDEF;
    for (auto [x, y] : corners) {
        const auto before = counts();
        show([&](int px, int py) { return px == x && py == y ? colour : patternAt(px, py); });
        EXPECT_EQ(counts().presented, before.presented + 1) << x << "," << y;
        EXPECT_EQ(x_.screen().at(x, y), colour) << x << "," << y;
        colour ^= 0x00FFFFFF;
    }
}

// On a screen of 16 bits a pixel each colour is cut to 5, 6 and 5 bits.
TEST_F(SdlHostTest, ASixteenBitScreenShowsThePicture) {
    depth_ = 16;
    start(1024, 768);
    auto cut = [](int x, int y) {
        const uint32_t c = patternAt(x, y);
        return (c >> 19 & 0x1F) << 11 | (c >> 10 & 0x3F) << 5 | (c >> 3 & 0x1F);
    };
    EXPECT_EQ(wrongPixels(x_.screen(), cut, 3), 0);
}

TEST_F(SdlHostTest, AnExposedWindowIsRepaintedWithoutANewFrame) {
    start(1024, 768);
    const int repaints = counts().repaints;
    const Window cover = x_.createWindow(100, 100, 300, 200);
    EXPECT_EQ(x_.screen().at(150, 150), 0xFFFFFFu) << "the cover is on top";
    XUnmapWindow(x_.display(), cover);
    XSync(x_.display(), False);
    ASSERT_TRUE(pumpUntil([&] { return x_.screen().at(150, 150) == patternAt(150, 150); }))
        << "the uncovered part was not repainted";
    EXPECT_GT(counts().repaints, repaints);
    EXPECT_EQ(x_.screen().at(399, 299), patternAt(399, 299));
}

// ---- The host's own keys ---------------------------------------------------------

TEST_F(SdlHostTest, TheHostsKeysNeverReachTheGameAndOthersDo) {
    start(1024, 768);
    const char* home = std::getenv("HOME");
    const TempFolder pictures("varnholt-keys");
    setenv("HOME", pictures.path.c_str(), 1);
    x_.pressKeys({XK_Control_L, XK_F10});
    x_.pressKey(XK_F12);
    x_.pressKeys({XK_Alt_L, XK_Return});
    x_.pressKeys({XK_Alt_L, XK_Return});
    x_.pressKey(XK_F10);
    x_.pressKey(XK_Return);
    ASSERT_TRUE(waitFor(WM_KEYDOWN, VK_RETURN)) << "Return, pressed last, never reached the game";
    std::vector<WPARAM> keys;
    for (const Seen& message : seen())
        if (message.message == WM_KEYDOWN) keys.push_back(message.wParam);
    EXPECT_EQ(keys, (std::vector<WPARAM>{VK_F1 + 9, VK_RETURN}));
    if (home) setenv("HOME", home, 1);
}

TEST_F(SdlHostTest, CtrlF10ReleasesThePointerAndAClickInThePictureCapturesIt) {
    start(1920, 1080);
    const Placement at = placementOn(1920, 1080);
    SDL_Window* window = SDL_GetWindowFromID(1);
    ASSERT_NE(window, nullptr);
    x_.pressKeys({XK_Control_L, XK_F10});
    EXPECT_TRUE(waitForConfinement(at, false)) << "the pointer is still confined";
    EXPECT_NE(std::string(SDL_GetWindowTitle(window)).find("released"), std::string::npos);

    // A click on the bar does not capture it; one in the picture does, and
    // that click is the host's, not the game's.
    x_.movePointer(at.x / 2, 500);
    x_.click(Button1);
    pressMarker();
    EXPECT_NE(std::string(SDL_GetWindowTitle(window)).find("released"), std::string::npos);
    const size_t before = seen().size();
    x_.movePointer(960, 540);
    x_.click(Button1);
    EXPECT_TRUE(pumpUntil([&] { return std::string(SDL_GetWindowTitle(window)) == "Varnholt"; }));
    EXPECT_TRUE(waitForConfinement(at, true)) << "not confined again";
    for (size_t i = before; i < seen().size(); ++i)
        EXPECT_NE(seen()[i].message, UINT(WM_LBUTTONUP)) << "the capturing click reached the game";
}

// F12 saves the picture the game last showed, at its own size, whatever
// the window's size.
TEST_F(SdlHostTest, F12SavesTheGamesPictureInThePicturesFolder) {
    start(1920, 1080);
    const TempFolder home("varnholt-shots");
    setenv("HOME", home.path.c_str(), 1);
    auto marked = [](int x, int y) { return x == 3 && y == 5 ? 0x00123456u : patternAt(x, y); };
    show(marked);
    x_.pressKey(XK_F12);
    // A second picture gets a name of its own. (Pressed at once, X would take
    // the second press for the key's own repeat.)
    pressMarker();
    x_.pressKey(XK_F12);
    const std::filesystem::path folder = home.path / "Pictures";
    std::vector<std::filesystem::path> shots;
    ASSERT_TRUE(pumpUntil([&] {
        shots.clear();
        if (std::filesystem::exists(folder))
            for (const auto& entry : std::filesystem::directory_iterator(folder))
                shots.push_back(entry.path());
        return shots.size() == 2;
    })) << shots.size()
        << " screenshots";
    for (const auto& shot : shots) {
        EXPECT_EQ(shot.extension(), ".png");
        const vh::test::Picture saved = vh::test::decodeImageFile(shot.string());
        ASSERT_EQ(saved.width, 1024) << shot;
        ASSERT_EQ(saved.height, 768) << shot;
        EXPECT_EQ(wrongPixels(saved, marked), 0) << shot;
    }
}

TEST_F(SdlHostTest, AScreenshotThatCannotBeSavedSaysWhyAndThePlayGoesOn) {
    start(1024, 768);
    const TempFolder home("varnholt-noshot");
    std::ofstream(home.path / "Pictures") << "a file where the folder should be";
    setenv("HOME", home.path.c_str(), 1);
    testing::internal::CaptureStderr();
    x_.pressKey(XK_F12);
    pressMarker();  // the game plays on
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("varnholt: no screenshot: "), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

// ---- The other ways to the screen ------------------------------------------------

// A renderer the player names (SDL's software one here, which needs no
// graphics library) and linear filtering show the same picture, at the
// picture's own size, and skip identical frames alike.
TEST_F(SdlHostTest, ANamedRendererShowsThePictureAndSkipsStillFrames) {
    setenv("SDL_RENDER_DRIVER", "software", 1);
    start(1024, 768);
    EXPECT_TRUE(pumpUntil([&] { return x_.screen().at(700, 300) == patternAt(700, 300); }));
    const auto first = counts();
    show(patternAt);
    EXPECT_EQ(counts().skipped, first.skipped + 1);
    show([](int x, int y) { return x < 100 && y < 100 ? 0x00FF00FFu : patternAt(x, y); });
    EXPECT_EQ(counts().presented, first.presented + 1);
    const vh::test::Picture screen = x_.screen();
    EXPECT_EQ(screen.at(50, 50), 0x00FF00FFu);
    EXPECT_EQ(screen.at(500, 600), patternAt(500, 600));
}

TEST_F(SdlHostTest, LinearFilteringShowsThePictureAtItsOwnSize) {
    vh::platform::DisplaySettings settings;
    settings.filter = vh::platform::Filter::Linear;
    start(1024, 768, false, settings);
    EXPECT_EQ(wrongPixels(x_.screen(), patternAt, 3), 0);
}

}  // namespace
