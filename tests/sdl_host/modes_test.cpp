// Full screen and windowed play under a window manager: Alt+Enter both ways
// with the right picture at once and no lost display, each scaling, the
// window's place kept for the next start, and the pointer mapped in each.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "sdl_host_fixture.h"
#include "temp_folder.h"
#include "varnholt/platform_test.h"

// After the platform's headers: these bring Xlib's macros.
#include <SDL_syswm.h>
#include <X11/keysym.h>

namespace {

using namespace sdltest;
namespace fs = std::filesystem;
using vh::platform::DisplaySettings;
using vh::platform::Scaling;
using vh::platform::ScreenMode;

constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;

SDL_Window* hostWindow() {
    for (Uint32 id = 1; id < 64; ++id)
        if (SDL_Window* window = SDL_GetWindowFromID(id)) return window;
    return nullptr;
}

// Where the picture should stand inside a client area of this size, for a
// 1024 x 768 picture, worked out here on its own.
Placement expectedPlacement(int width, int height, Scaling scaling) {
    if (scaling == Scaling::Stretch) return {0, 0, width, height};
    if (scaling == Scaling::Integer) {
        const int factor = std::min(width / 1024, height / 768);
        if (factor >= 1)
            return {(width - 1024 * factor) / 2, (height - 768 * factor) / 2, 1024 * factor,
                    768 * factor};
    }
    return placementOn(width, height);
}

// The picture pixel (of `size`) that pixel `at` of the `drawn` ones shows:
// the one under its centre.
int shows(int at, int size, int drawn) {
    return int((2 * int64_t(at) + 1) * size / (2 * drawn));
}

class Modes : public SdlHostTest, public testing::WithParamInterface<Scaling> {
  protected:
    // Windowed play under a window manager, on the big screen unless told.
    void startWindowed(DisplaySettings settings, std::shared_ptr<vh::platform::SettingsFile> file,
                       int width = kScreenWidth, int height = kScreenHeight) {
        settings.mode = ScreenMode::Windowed;
        start(width, height, true, settings, std::move(file));
    }

    // The window's client area on the screen, as the X server has it.
    SDL_Rect clientArea() {
        const Window client = clientWindow();
        if (!client) return {};
        Window child;
        int x = 0, y = 0;
        XTranslateCoordinates(x_.display(), client, DefaultRootWindow(x_.display()), 0, 0, &x, &y,
                              &child);
        XWindowAttributes attributes{};
        XGetWindowAttributes(x_.display(), client, &attributes);
        return {x, y, attributes.width, attributes.height};
    }

    // Pixels of the client area that do not show what they should: the
    // picture through its pixels' centres where it stands, black around it.
    int wrongPixels(Scaling scaling) {
        const SDL_Rect area = clientArea();
        const Placement at = expectedPlacement(area.w, area.h, scaling);
        const vh::test::Picture screen = x_.screen();
        int wrong = 0;
        for (int y = 0; y < area.h; ++y) {
            for (int x = 0; x < area.w; ++x) {
                const int sx = area.x + x, sy = area.y + y;
                if (sx < 0 || sy < 0 || sx >= screen.width || sy >= screen.height) continue;
                uint32_t want = 0;
                if (x >= at.x && x < at.x + at.width && y >= at.y && y < at.y + at.height)
                    want =
                        patternAt(shows(x - at.x, 1024, at.width), shows(y - at.y, 768, at.height));
                if (screen.at(sx, sy) != want) ++wrong;
            }
        }
        return wrong;
    }

    // The pointer at the middle of the picture and at its corner maps to
    // the picture pixels shown there.
    void expectPointerMapping(Scaling scaling) {
        const SDL_Rect area = clientArea();
        const Placement at = expectedPlacement(area.w, area.h, scaling);
        for (auto [fx, fy] : {std::pair{0.5, 0.5}, std::pair{0.0, 0.0}, std::pair{0.99, 0.7}}) {
            const int x = at.x + int(fx * (at.width - 1)), y = at.y + int(fy * (at.height - 1));
            x_.movePointer(area.x + x, area.y + y);
            Seen move{};
            ASSERT_TRUE(waitFor(WM_MOUSEMOVE, move));
            EXPECT_EQ(lowWord(move.lParam), shows(x - at.x, 1024, at.width));
            EXPECT_EQ(highWord(move.lParam), shows(y - at.y, 768, at.height));
        }
    }

    Window clientWindow() {
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        SDL_Window* window = hostWindow();
        return window && SDL_GetWindowWMInfo(window, &info) ? info.info.x11.window : 0;
    }

    // Waits until the client area differs from `from` and SDL, through the
    // host, has heard of the window's new place and size; answers the area.
    SDL_Rect settledArea(const SDL_Rect& from) {
        SDL_Rect now = from;
        EXPECT_TRUE(pumpUntil([&] {
            now = clientArea();
            return !SDL_RectEquals(&now, &from) && sdlKnows(now);
        })) << "the window did not change, or SDL never heard of it";
        return now;
    }
    static bool sdlKnows(const SDL_Rect& area) {
        SDL_Rect known{};
        SDL_GetWindowPosition(hostWindow(), &known.x, &known.y);
        SDL_GetWindowSize(hostWindow(), &known.w, &known.h);
        return SDL_RectEquals(&known, &area);
    }

    bool isAt(const SDL_Rect& place) {
        const SDL_Rect area = clientArea();
        return SDL_RectEquals(&area, &place);
    }
    bool isFullScreen() { return isAt({0, 0, kScreenWidth, kScreenHeight}); }

    const TempFolder home_{"varnholt-modes"};
    std::shared_ptr<vh::platform::SettingsFile> file_ =
        std::make_shared<vh::platform::SettingsFile>((home_.path / "settings.ini").string());
};

INSTANTIATE_TEST_SUITE_P(Scalings, Modes,
                         testing::Values(Scaling::Aspect, Scaling::Integer, Scaling::Stretch),
                         [](const auto& info) { return vh::platform::nameOf(info.param); });

TEST_P(Modes, AltEnterSwitchesBothWaysWithTheRightPictureAndNoLostDisplay) {
    startWindowed({.scaling = GetParam()}, file_);
    // The first window: the largest whole multiple of the picture that fits.
    ASSERT_TRUE(pumpUntil([&] { return clientArea().w == 1024 && wrongPixels(GetParam()) == 0; }))
        << wrongPixels(GetParam()) << " pixels wrong in the first window";
    expectPointerMapping(GetParam());

    vh::test::setJournalEnabled(true);
    vh::test::clearJournal();
    const int activeBefore = activations();
    for (bool fullScreen : {true, false, true, false}) {
        const auto pressed = Clock::now();
        x_.pressKeys({XK_Alt_L, XK_Return});
        // The next picture on the screen is the right one: no stale frame,
        // no black one, before the game has drawn anything new.
        ASSERT_TRUE(pumpUntil([&] { return isFullScreen() == fullScreen; }))
            << (fullScreen ? "not full screen" : "not windowed");
        EXPECT_TRUE(pumpUntil([&] { return wrongPixels(GetParam()) == 0; }))
            << wrongPixels(GetParam()) << " pixels wrong after the switch";
        std::printf("Alt+Enter to %s: the right picture on the screen after %.0f ms\n",
                    fullScreen ? "full screen" : "a window",
                    std::chrono::duration<double, std::milli>(Clock::now() - pressed).count());
        show(patternAt);
        EXPECT_EQ(wrongPixels(GetParam()), 0) << "after the next frame";
        expectPointerMapping(GetParam());
    }
    // The game never heard of it: no focus change, no restore.
    pressMarker();
    EXPECT_EQ(activations(), activeBefore);
    for (const auto& call : vh::test::journal()) {
        EXPECT_NE(call.name, "IDirectDrawSurface::Restore");
        if (call.name == "WindowProc") {
            EXPECT_NE(call.result, WM_ACTIVATEAPP);
        }
    }
    for (const Seen& message : seen()) {
        EXPECT_FALSE(message.message == WM_KEYDOWN &&
                     (message.wParam == VK_RETURN || message.wParam == VK_MENU))
            << "Alt+Enter reached the game";
    }
}

// Maximised and restored as a double click on the title bar does, also from
// a window larger than the screen: the picture is drawn for each new size,
// never into a window surface of another size.
TEST_F(Modes, MaximisingAndRestoringDrawsTheRightPictureAtEverySize) {
    startWindowed({}, file_);
    ASSERT_TRUE(pumpUntil([&] { return clientArea().w == 1024; }));
    SDL_Rect area = clientArea();
    for (int round = 0; round < 8; ++round) {
        if (round == 4) {
            XResizeWindow(x_.display(), clientWindow(), 5000, 5000);
            area = settledArea(area);
        }
        x_.maximise(clientWindow(), round % 2 == 0);
        area = settledArea(area);
        show(patternAt);
    }
    EXPECT_TRUE(pumpUntil([&] { return wrongPixels(Scaling::Aspect) == 0; }))
        << wrongPixels(Scaling::Aspect) << " pixels wrong";
}

// On a screen smaller than the picture the first window fits with its title
// bar on the screen, the picture shrunk; no window gets smaller than a
// quarter of the picture.
TEST_F(Modes, TheFirstWindowFitsASmallScreenAndNoneShrinksBelowAQuarter) {
    for (const auto& [width, height] : {std::pair{1024, 600}, std::pair{800, 600}}) {
        startWindowed({}, nullptr, width, height);
        int top = 0;
        ASSERT_TRUE(pumpUntil([&] {
            return SDL_GetWindowBordersSize(hostWindow(), &top, nullptr, nullptr, nullptr) == 0 &&
                   top > 0;
        })) << "no frame";
        SDL_Rect area = settledArea({});
        EXPECT_GE(area.y - top, 0)
            << "the title bar is off a " << width << "x" << height << " screen";
        EXPECT_LE(area.x + area.w, width);
        EXPECT_LE(area.y + area.h, height);
        EXPECT_TRUE(pumpUntil([&] { return wrongPixels(Scaling::Aspect) == 0; }));

        XResizeWindow(x_.display(), clientWindow(), 1, 1);
        area = settledArea(area);
        EXPECT_GE(area.w, 256);
        EXPECT_GE(area.h, 192);
        closeDisplay();
        vh::platform::setHost(vh::platform::makeSdlHost({}, nullptr));  // lets go of the X server
        x_.stop();
    }
}

// Alt+Enter pressed faster than the window manager carries it out: the
// window comes back where it was, not a frame's height further each time.
TEST_F(Modes, QuickAltEnterPressesLeaveTheWindowWhereItWas) {
    startWindowed({}, file_);
    const SDL_Rect first = settledArea({});
    for (int i = 0; i < 8; ++i) {
        x_.pressKeys({XK_Alt_L, XK_Return});
        pumpUntil([] { return true; });  // the game reads its queue between presses
    }
    ASSERT_TRUE(pumpUntil([&] { return isAt(first); }))
        << "the window is at " << clientArea().x << "," << clientArea().y << ", not " << first.x
        << "," << first.y;
}

// Settings that cannot be saved are told once, in one line, and play goes on.
TEST_F(Modes, SettingsThatCannotBeSavedAreToldOnce) {
    std::ofstream(home_.path / "blocker") << "a file where a folder should be";
    file_ = std::make_shared<vh::platform::SettingsFile>(
        (home_.path / "blocker/settings.ini").string());
    start(kScreenWidth, kScreenHeight, true, DisplaySettings{}, file_);
    testing::internal::CaptureStderr();
    for (bool fullScreen : {false, true}) {
        x_.pressKeys({XK_Alt_L, XK_Return});
        ASSERT_TRUE(pumpUntil([&] { return isFullScreen() == fullScreen; })) << fullScreen;
    }
    pressMarker();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.rfind("varnholt: the settings were not saved: " + file_->path(), 0), 0u) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

TEST_F(Modes, TheWindowsPlaceAndModeAreKeptForTheNextStart) {
    // Nearest, so that every pixel on the screen is the picture pixel under it.
    std::ofstream(file_->path()) << "; the player's file\n[display]\nmode = windowed\n"
                                 << "filter = nearest\n";
    const DisplaySettings settings =
        file_->read([](const std::string& line) { ADD_FAILURE() << line; });
    start(kScreenWidth, kScreenHeight, true, settings, file_);
    ASSERT_TRUE(pumpUntil([&] { return clientArea().w == 1024; }));
    // The player moves and resizes the window.
    XMoveResizeWindow(x_.display(), clientWindow(), 300, 200, 1200, 800);
    XSync(x_.display(), False);
    ASSERT_TRUE(pumpUntil([&] { return clientArea().w == 1200 && clientArea().h == 800; }));
    const SDL_Rect before = clientArea();
    ASSERT_TRUE(pumpUntil([&] { return sdlKnows(before); })) << "SDL never heard of the move";
    closeDisplay();

    vh::platform::SettingsFile again(file_->path());
    DisplaySettings saved = again.read([](const std::string& line) { ADD_FAILURE() << line; });
    EXPECT_EQ(saved.mode, ScreenMode::Windowed);
    EXPECT_EQ(saved.windowWidth, 1200);
    EXPECT_EQ(saved.windowHeight, 800);

    vh::platform::setHost(vh::platform::makeSdlHost(saved, file_));
    openDisplay(kScreenWidth, kScreenHeight);
    ASSERT_TRUE(pumpUntil([&] { return isAt(before); }))
        << "the window is not where the player left it";
    EXPECT_EQ(wrongPixels(Scaling::Aspect), 0);
}

}  // namespace
