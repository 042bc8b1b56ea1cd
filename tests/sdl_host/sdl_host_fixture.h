// The SDL host on an X server of the test's own, with a window and a
// 1024 x 768 x 32 display of the platform's, a picture every pixel of which
// is told apart, and the messages its window procedure receives.
#pragma once

#include <SDL.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "recording_window.h"
#include "surfaces.h"
#include "varnholt/sdl_host.h"
#include "varnholt/host.h"
#include "win32/ddraw.h"
#include "x_server.h"

#include <X11/keysym.h>

namespace sdltest {

using Clock = std::chrono::steady_clock;

using recording::Seen;
using recording::seen;

// A picture every pixel of which is told apart from the others: x and y in
// red and green, their high bits in blue.
inline uint32_t patternAt(int x, int y) {
    return uint32_t(x & 0xFF) << 16 | uint32_t(y & 0xFF) << 8 | uint32_t((x >> 8) << 4 | (y >> 8));
}

// Where a 1024 x 768 picture stands on a screen, with its aspect kept.
struct Placement {
    int x, y, width, height;
};

inline Placement placementOn(int screenWidth, int screenHeight) {
    if (screenWidth * 3 > screenHeight * 4) {
        int width = screenHeight * 4 / 3;
        return {(screenWidth - width) / 2, 0, width, screenHeight};
    }
    int height = screenWidth * 3 / 4;
    return {0, (screenHeight - height) / 2, screenWidth, height};
}

class SdlHostTest : public testing::Test {
  protected:
    void TearDown() override { closeDisplay(); }

    // The screen, the SDL host, a window and a 1024 x 768 x 32 display with
    // the pattern on it, and the keyboard focus the window takes when it
    // appears (the game, in the foreground from its start, hears of no change).
    void start(int width, int height, bool windowManager = false,
               const vh::platform::DisplaySettings& settings = {},
               std::shared_ptr<vh::platform::SettingsFile> file = nullptr) {
        ASSERT_TRUE(x_.start(width, height, depth_)) << "Xvfb did not start";
        if (windowManager) {
            ASSERT_TRUE(x_.startWindowManager()) << "openbox did not start";
        }
        vh::platform::setHost(vh::platform::makeSdlHost(settings, std::move(file)));
        openDisplay(width, height);
    }

    // The game's window and display on the installed host.
    void openDisplay(int width, int height) {
        static const ATOM registered = recording::registerClass("SdlHostTest");
        ASSERT_NE(registered, 0);
        window_ = CreateWindowExA(WS_EX_TOPMOST, "SdlHostTest", "Varnholt", WS_POPUP, 0, 0, width,
                                  height, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
        directDraw_ = fixture::openDisplay(window_, 1024, 768, 32);
        ASSERT_NE(directDraw_, nullptr);
        primary_ = fixture::makeFlippingChain(directDraw_, &back_);
        ASSERT_NE(back_, nullptr);
        back_->Release();  // the primary keeps it
        show(patternAt);
        ASSERT_TRUE(pumpUntil([] { return SDL_GetKeyboardFocus() != nullptr; }))
            << "the window never got the focus";
    }

    // Releases the display and destroys the window, as the game does when
    // it ends; the host closes its window.
    void closeDisplay() {
        if (primary_) primary_->Release();
        if (directDraw_) directDraw_->Release();
        if (window_) DestroyWindow(window_);
        primary_ = nullptr;
        back_ = nullptr;
        directDraw_ = nullptr;
        window_ = nullptr;
    }

    // A 1024 x 768 picture, row by row, from the colour of each pixel.
    static std::vector<uint32_t> pictureOf(const std::function<uint32_t(int, int)>& colour) {
        std::vector<uint32_t> pixels(1024 * 768);
        for (int y = 0; y < 768; ++y)
            for (int x = 0; x < 1024; ++x) pixels[size_t(y) * 1024 + size_t(x)] = colour(x, y);
        return pixels;
    }

    // Draws a picture into the back buffer and flips it to the screen.
    void show(const std::function<uint32_t(int, int)>& colour) { showPixels(pictureOf(colour)); }

    // The same with the picture's 1024 x 768 pixels given, row by row: as
    // quick as the game's own flips.
    void showPixels(const std::vector<uint32_t>& pixels) {
        DDSURFACEDESC desc = fixture::blankDescription();
        ASSERT_EQ(back_->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
        for (int y = 0; y < 768; ++y)
            std::memcpy(static_cast<uint8_t*>(desc.lpSurface) + size_t(y) * size_t(desc.lPitch),
                        pixels.data() + size_t(y) * 1024, 1024 * sizeof(uint32_t));
        ASSERT_EQ(back_->Unlock(nullptr), DD_OK);
        ASSERT_EQ(primary_->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    }

    // Reads the queue as the game's frame loop does until `done` holds, or
    // the generous deadline passes.
    static bool pumpUntil(const std::function<bool()>& done) {
        return xtest::waitUntil(xtest::kPatience, 2, [&] {
            MSG msg{};
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            return done();
        });
    }

    static int activations() {
        int count = 0;
        for (const auto& message : seen())
            if (message.message == WM_ACTIVATEAPP && message.wParam) ++count;
        return count;
    }

    // The last message of this kind, after waiting for it.
    static bool waitFor(UINT message, Seen& out) {
        const size_t from = seen().size();
        return pumpUntil([&] {
            for (size_t i = from; i < seen().size(); ++i) {
                if (seen()[i].message == message) {
                    out = seen()[i];
                    return true;
                }
            }
            return false;
        });
    }

    // Waits until the game has `message` with `wParam` (among the messages
    // from `from` on): for a key, every input sent before it has then been
    // handled too.
    static bool waitFor(UINT message, WPARAM wParam, size_t from = 0) {
        return pumpUntil([&] {
            for (size_t i = from; i < seen().size(); ++i)
                if (seen()[i].message == message && seen()[i].wParam == wParam) return true;
            return false;
        });
    }
    // Presses M, a key with no meaning to the host, and waits for it.
    void pressMarker() {
        const size_t from = seen().size();
        x_.pressKey(XK_m);
        ASSERT_TRUE(waitFor(WM_KEYDOWN, 'M', from)) << "the marker key never reached the game";
    }

    // Waits until a push of the pointer from inside the picture's left edge
    // towards the bar stops at the picture (`confined`) or reaches the bar.
    bool waitForConfinement(const Placement& at, bool confined) {
        return pumpUntil([&] {
            int px = 0, py = 0;
            x_.movePointer(at.x + 50, 500);
            x_.movePointerBy(-200, 0);
            x_.pointer(px, py);
            return confined ? px >= at.x : px == at.x + 50 - 200;
        });
    }

    // Pixels of a 1024 x 768 picture, every `step`-th of each row and column,
    // that are not what `colour` gives.
    static int wrongPixels(const vh::test::Picture& picture,
                           const std::function<uint32_t(int, int)>& colour, int step = 1) {
        int wrong = 0;
        for (int y = 0; y < 768; y += step)
            for (int x = 0; x < 1024; x += step) wrong += picture.at(x, y) != colour(x, y);
        return wrong;
    }

    static vh::platform::Host::PresentCounts counts() {
        return vh::platform::host().presentCounts();
    }

    xtest::XServer x_;
    int depth_ = 24;  // the screen's bits a pixel
    HWND window_ = nullptr;
    IDirectDraw* directDraw_ = nullptr;
    IDirectDrawSurface* primary_ = nullptr;
    IDirectDrawSurface* back_ = nullptr;
};

inline int lowWord(LPARAM value) {
    return int(int16_t(value & 0xFFFF));
}
inline int highWord(LPARAM value) {
    return int(int16_t((value >> 16) & 0xFFFF));
}

}  // namespace sdltest
