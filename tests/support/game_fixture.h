// Helpers for tests that run parts of the game, or all of it, on the
// headless host.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/application.h"
#include "art_check.h"
#include "display/sprite_registry.h"
#include "varnholt/platform_test.h"

namespace fixture {

inline HINSTANCE moduleHandle() {
    return reinterpret_cast<HINSTANCE>(0x400000);
}

// GDI+ works between its start-up and shut-down, as on Windows; WinMain makes
// its own pair of calls around the game. True once it has started.
inline bool startGdiplus() {
    static bool started = false;
    if (started) return true;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    started = Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
    return started;
}

inline std::string assetsDir() {
    return VARNHOLT_ASSETS_DIR;
}

inline std::string assetPath(const std::string& relative) {
    return assetsDir() + "/" + relative;
}

// The art files as the game's loader sees them: transparent areas in magenta.
inline vh::test::Picture art(const std::string& relative) {
    return vh::test::decodeImageFile(assetPath(relative));
}

// A copy of the art folder in a fresh temporary folder, less `leaveOut`
// (paths relative to the art folder); the working directory moves there.
inline std::string useArtCopy(const std::vector<std::string>& leaveOut = {}) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("varnholt-art-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::copy(assetsDir(), dir, fs::copy_options::recursive);
    for (const auto& file : leaveOut) fs::remove(dir / file);
    fs::current_path(dir);
    startGdiplus();
    return dir.string();
}

inline bool useRealArt() {
    std::filesystem::current_path(assetsDir());
    return startGdiplus();
}

// The window and the display, as start-up makes them, with an empty registry
// whose target is the back buffer: for tests of sprites and drawing.
inline Application& startDisplayOnly() {
    Application& app = Application::instance();
    app.title = "Varnholt";
    app.moduleInstance = moduleHandle();
    app.createWindow();
    EXPECT_EQ(app.initDisplay(), 0);
    SpriteRegistry::instance().setTarget(app.backBuffer);
    return app;
}

// Start-up as the entry point does it, without entering the frame loop.
inline Application& startGame() {
    Application& app = Application::instance();
    EXPECT_EQ(app.initialize("Varnholt", moduleHandle()), 1);
    return app;
}

inline int runWinMain() {
    char commandLine[] = "";
    return WinMain(moduleHandle(), nullptr, commandLine, SW_SHOWDEFAULT);
}

// Plays the whole game, which must end with 0: `script` is called after every
// presented frame with its number (vh::test::presentedFrame() gives the
// frame, for the frames a script looks at), and Escape is pressed after
// frame `frames`.
inline void play(int frames, std::function<void(int)> script = {}) {
    vh::test::onPresent([frames, script](int frame) {
        if (script) script(frame);
        if (frame == frames) vh::test::keyPress(VK_ESCAPE);
    });
    EXPECT_EQ(runWinMain(), 0);
}

// Plays as play() does, with the real art and the pointer resting in the
// right band from frame 1 on, so that the map scrolls every frame: the map's
// camera x after each frame.
inline std::map<int, int> playScrollingRight(int frames, std::function<void(int)> script = {}) {
    useRealArt();
    std::map<int, int> cameraX;
    play(frames, [&](int frame) {
        cameraX[frame] = Application::instance().cityScreen.mapView.cameraX;
        if (frame == 1) vh::test::mouseMove(1000, 400);
        if (script) script(frame);
    });
    return cameraX;
}

// Tests run in the art folder as the game ships it, with GDI+ started.
class WithRealArt : public testing::Test {
  protected:
    void SetUp() override { useRealArt(); }
};

// The game started as the entry point starts it, the journal emptied after.
class RunningGame : public WithRealArt {
  protected:
    void SetUp() override {
        WithRealArt::SetUp();
        app = &startGame();
        vh::test::clearJournal();
    }
    LRESULT send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return app->handleMessage(app->window, message, wParam, lParam);
    }
    Sidebar& sidebar() { return app->cityScreen.sidebar; }
    Application* app = nullptr;
};

// The most this process has held in memory so far.
inline long peakResidentKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

using vh::test::mismatches;

// The file of the amb legend's marker k.
inline const char* markerArt(int k) {
    return artcheck::kArtFiles[artcheck::kFirstMarker + k].path;
}

// Pixels of marker k that the amb panel's legend does not show at its place.
inline int legendMismatches(const vh::test::Picture& picture, int k) {
    return artcheck::mismatchesAt(picture, artcheck::kFirstMarker + k, art(markerArt(k)));
}

// The frame shows what the game should with its selected tab and camera (see
// art_check.h): the art in the working directory, and no restored garbage.
inline void expectArtShown(const vh::test::Picture& frame) {
    artcheck::Art art;
    ASSERT_TRUE(art.load()) << "the art could not be read";
    const artcheck::Findings found = artcheck::check(frame, art, Application::instance());
    EXPECT_TRUE(found.right()) << found.describe();
}

}  // namespace fixture
