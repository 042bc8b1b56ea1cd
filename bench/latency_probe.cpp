// Click-to-picture latency, as a player's X server sees it. The game runs
// full screen on the X server in DISPLAY; XTest releases the left button
// over the pros or the mvr tab (each click the other one, so that every
// click changes the panel), and the pixels under the panel's title are read
// with XGetImage every 0.3 ms until they change. The time from the release
// to the changed pixels is one sample.
//
//   varnholt_latency_probe resting|moving CLICKS
//
// resting: the pointer waits on the tab until the picture has rested, then
// clicks. moving: the pointer goes about the middle of the map, a step every
// 2 ms, and jumps to the tab to click without stopping. Prints one line:
// "latency pointer=... samples=N median_ms=... p90_ms=... max_ms=...".
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "picture_layout.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The game's picture and the places on it, in picture pixels.
constexpr int kPictureWidth = 1024;
constexpr int kPictureHeight = 768;
constexpr int kProsTabX = 128, kMvrTabX = 192, kTabY = 272;
constexpr int kTitleLeft = 96, kTitleTop = 322, kTitleWidth = 64, kTitleHeight = 18;
constexpr auto kReadEvery = 300us;
constexpr auto kGiveUpAfter = 2s;
constexpr auto kRestBeforeClick = 1500ms;
constexpr auto kWaitForGame = 30s;

// Where the picture stands on the screen, laid out as the SDL host lays it
// out with the player's default scaling.
struct GameScreen {
    Display* display;
    Window root;
    vh::platform::PictureLayout layout;

    // The first screen column that shows picture column `pictureX`, and the
    // first row that shows row `pictureY`.
    int x(int pictureX) const { return layout.x + layout.firstColumnShowing(pictureX); }
    int y(int pictureY) const { return layout.y + layout.firstRowShowing(pictureY); }
};

GameScreen openScreen() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "latency probe: no X display\n");
        std::exit(2);
    }
    const int width = DisplayWidth(display, DefaultScreen(display));
    const int height = DisplayHeight(display, DefaultScreen(display));
    return GameScreen{display, DefaultRootWindow(display),
                      vh::platform::PictureLayout::fit(kPictureWidth, kPictureHeight, width, height,
                                                       vh::platform::Scaling::Aspect)};
}

std::vector<char> titlePixels(const GameScreen& s) {
    const int x = s.x(kTitleLeft), y = s.y(kTitleTop);
    const int w = s.x(kTitleLeft + kTitleWidth) - x, h = s.y(kTitleTop + kTitleHeight) - y;
    XImage* image =
        XGetImage(s.display, s.root, x, y, unsigned(w), unsigned(h), AllPlanes, ZPixmap);
    std::vector<char> pixels;
    if (image) {
        pixels.assign(image->data, image->data + size_t(image->bytes_per_line) * size_t(h));
        XDestroyImage(image);
    }
    return pixels;
}

void moveTo(const GameScreen& s, int x, int y) {
    XTestFakeMotionEvent(s.display, -1, x, y, CurrentTime);
    XFlush(s.display);
}

// The pointer about the middle of the map, away from the edges that scroll.
void wander(const GameScreen& s, std::mt19937& random, Clock::duration spell) {
    std::uniform_int_distribution<int> px(400, 900), py(200, 600);
    const auto until = Clock::now() + spell;
    while (Clock::now() < until) {
        moveTo(s, s.x(px(random)), s.y(py(random)));
        std::this_thread::sleep_for(2ms);
    }
}

// One click where the pointer is; the milliseconds until the title changed,
// or a negative number when it did not change in time.
double click(const GameScreen& s) {
    const std::vector<char> before = titlePixels(s);
    XTestFakeButtonEvent(s.display, 1, True, CurrentTime);
    XTestFakeButtonEvent(s.display, 1, False, CurrentTime);
    XSync(s.display, False);
    const auto released = Clock::now();
    for (auto next = released; Clock::now() - released < kGiveUpAfter; next += kReadEvery) {
        if (titlePixels(s) != before)
            return std::chrono::duration<double, std::milli>(Clock::now() - released).count();
        std::this_thread::sleep_until(next + kReadEvery);
    }
    return -1;
}

// Waits until the game's panel shows under the title: more than one colour
// there.
bool waitForPicture(const GameScreen& s) {
    const auto until = Clock::now() + kWaitForGame;
    while (Clock::now() < until) {
        const std::vector<char> pixels = titlePixels(s);
        for (size_t i = 4; i + 4 <= pixels.size(); i += 4)
            if (std::memcmp(&pixels[i], &pixels[0], 4) != 0) return true;
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

double percentile(std::vector<double> sorted, double share) {
    const size_t at = std::min(sorted.size() - 1, size_t(share * double(sorted.size())));
    return sorted[at];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 ||
        (std::strcmp(argv[1], "resting") != 0 && std::strcmp(argv[1], "moving") != 0)) {
        std::fprintf(stderr, "usage: varnholt_latency_probe resting|moving CLICKS\n");
        return 2;
    }
    const bool moving = std::strcmp(argv[1], "moving") == 0;
    const int clicks = std::max(1, std::atoi(argv[2]));
    GameScreen s = openScreen();
    int xtestEvent, xtestError, major, minor;
    if (!XTestQueryExtension(s.display, &xtestEvent, &xtestError, &major, &minor)) {
        std::fprintf(stderr, "latency probe: the X server has no XTest\n");
        return 2;
    }
    if (!waitForPicture(s)) {
        std::fprintf(stderr, "latency probe: the game's panel did not show\n");
        return 1;
    }
    std::mt19937 random(2026);
    std::uniform_int_distribution<int> spell(100, 300);
    std::vector<double> samples;
    for (int i = 0; i < clicks; ++i) {
        const int tabX = i % 2 ? kProsTabX : kMvrTabX;
        if (moving) {
            wander(s, random, std::chrono::milliseconds(spell(random)));
            moveTo(s, s.x(tabX), s.y(kTabY));
        } else {
            moveTo(s, s.x(tabX), s.y(kTabY));
            std::this_thread::sleep_for(kRestBeforeClick);
        }
        const double ms = click(s);
        if (ms < 0) {
            std::fprintf(stderr,
                         "latency probe: click %d on the tab at %d showed nothing in %lld s\n", i,
                         tabX, static_cast<long long>(kGiveUpAfter.count()));
            return 1;
        }
        samples.push_back(ms);
    }
    std::sort(samples.begin(), samples.end());
    std::printf("latency pointer=%s samples=%zu median_ms=%.1f p90_ms=%.1f max_ms=%.1f\n", argv[1],
                samples.size(), percentile(samples, 0.5), percentile(samples, 0.9), samples.back());
    XCloseDisplay(s.display);
    return 0;
}
