// What the conformance tests share. They state how the Windows API answers
// and reach it through the Windows names only: no test hooks, no host. The
// same sources build against our platform layer on Linux and against the
// Windows headers and libraries with MinGW-w64, where they run on Windows or
// under Wine. A test that needs a window makes a real one; a test that needs
// a display takes it in exclusive mode at the game's size.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <mmsystem.h>
#include <ddraw.h>
#else
#include <win32/ddraw.h>
#include <win32/windows.h>
#endif

#include <gtest/gtest.h>

#include "recording_window.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "image_files.h"
#include "surfaces.h"

namespace conformance {

// ---- Wine -------------------------------------------------------------------------

// Whether the program runs under Wine rather than on Windows or on our layer.
inline bool underWine() {
#ifdef _WIN32
    static const bool wine =
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
#else
    return false;
#endif
}

// True under Wine, where Wine is known to answer differently from Windows for
// `reason`; the run prints the reason, so that every expectation left out is
// listed.
inline bool wineDiffers(const char* reason) {
    if (!underWine()) return false;
    std::printf("[ WINE     ] expectation left out: %s\n", reason);
    std::fflush(stdout);
    return true;
}

}  // namespace conformance

// Marks the one expectation that follows as one that Wine is known to miss:
//   UNLESS_WINE("Wine ... ; Windows ...") EXPECT_EQ(...);
#define UNLESS_WINE(reason)                   \
    if (::conformance::wineDiffers(reason)) { \
    } else

namespace conformance {

// ---- Windows ----------------------------------------------------------------------

using recording::handler;
using recording::seen;

inline const char* const kClassName = "VarnholtConformanceWindow";

// Registers the test class once per process; its atom.
inline ATOM testClass() {
    static ATOM atom = recording::registerClass(kClassName);
    return atom;
}

// A hidden pop-up window: Windows sends it no activation messages.
inline HWND createHiddenWindow(LPVOID param = nullptr) {
    testClass();
    return CreateWindowExA(0, kClassName, "hidden", WS_POPUP, 10, 20, 300, 200, nullptr, nullptr,
                           nullptr, param);
}

// The messages of the log that are among `which`, in order: Windows sends
// others around them (sizes, frames, activation) that the tests leave aside.
inline std::vector<UINT> messagesAmong(std::initializer_list<UINT> which) {
    std::vector<UINT> out;
    for (const auto& entry : seen())
        for (UINT message : which)
            if (entry.message == message) out.push_back(message);
    return out;
}

// How many times the log holds the message with this wParam.
inline int timesSeen(UINT message, WPARAM wParam) {
    int times = 0;
    for (const auto& entry : seen()) times += entry.message == message && entry.wParam == wParam;
    return times;
}

// Takes the thread's messages as the game does (translated, then dispatched)
// until `done` holds; fails naming `what` when it still does not after a
// generous deadline. Windows hands input over from another process, so it
// may come a little after the call that made it.
inline bool pumpUntil(const std::function<bool()>& done, const char* what) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        MSG msg{};
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done()) return true;
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "waited 20 s in vain for " << what;
            return false;
        }
#ifdef _WIN32
        Sleep(5);
#endif
    }
}

// Every test starts with the class registered, an empty log and no handler.
class WindowTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(testClass(), 0);
        seen().clear();
        handler() = nullptr;
    }
    void TearDown() override { handler() = nullptr; }
};

// ---- The display ------------------------------------------------------------------

using fixture::blankDescription;

// The game's display size; the screen under Wine in CI has it too.
constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;

// A surface's pixel format, as its description gives it.
struct Format {
    int bits = 0;
    DWORD red = 0, green = 0, blue = 0;
};

// The raw value a format gives a colour: each channel's top bits in its mask.
inline uint32_t rawOf(const Format& format, int r, int g, int b) {
    auto place = [](DWORD mask, int value) -> uint32_t {
        if (!mask) return 0;
        int shift = 0, width = 0;
        while (!((mask >> shift) & 1)) ++shift;
        while ((mask >> (shift + width)) & 1) ++width;
        return (uint32_t(value) >> (8 - width) << shift) & mask;
    };
    return place(format.red, r) | place(format.green, g) | place(format.blue, b);
}

// The colour a pixel of this format holds for `colour`, as GDI reads it back:
// each channel cut to its mask's width, then widened again by repeating its
// top bits.
inline COLORREF heldColour(const Format& format, COLORREF colour) {
    auto held = [](DWORD mask, int value) {
        int width = 0;
        for (DWORD m = mask; m; m >>= 1) width += int(m & 1);
        if (width >= 8) return value;
        int kept = value >> (8 - width);
        int widened = kept << (8 - width);
        for (int shift = width; shift < 8; shift += width)
            widened |= (kept << (8 - width)) >> shift;
        return widened & 0xFF;
    };
    return RGB(held(format.red, GetRValue(colour)), held(format.green, GetGValue(colour)),
               held(format.blue, GetBValue(colour)));
}

// The full-screen window and the DirectDraw object in exclusive mode at
// 1024 x 768 and the depth a test asks for, with the flipping chain and the
// pixel helpers that tests read and write surfaces with (through Lock).
class DisplayTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        window_ = CreateWindowExA(0, kClassName, "display", WS_POPUP | WS_VISIBLE, 0, 0,
                                  kScreenWidth, kScreenHeight, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
        ASSERT_EQ(DirectDrawCreate(nullptr, &dd_, nullptr), DD_OK);
    }

    void TearDown() override {
        for (auto* surface : owned_) surface->Release();
        if (back_) back_->Release();
        if (primary_) primary_->Release();
        if (dd_) dd_->Release();
        if (window_) DestroyWindow(window_);
        WindowTest::TearDown();
    }

    void takeDisplay(int bits) {
        fixture::takeDisplay(dd_, window_, kScreenWidth, kScreenHeight, bits);
    }

    // The display taken, with the flipping chain the game draws through.
    void takeDisplayWithChain(int bits) {
        takeDisplay(bits);
        primary_ = fixture::makeFlippingChain(dd_, &back_);
    }

    // The player switching to another program and back, as Windows sees it:
    // the desktop brought to the front, then the game's window again. Each
    // waits for the WM_ACTIVATEAPP that tells the window.
    void switchAway() { switchTo(GetDesktopWindow(), FALSE); }
    void switchBack() { switchTo(window_, TRUE); }
    void switchTo(HWND front, BOOL active) {
        const int before = timesSeen(WM_ACTIVATEAPP, active);
        EXPECT_TRUE(SetForegroundWindow(front));
        pumpUntil([&] { return timesSeen(WM_ACTIVATEAPP, active) > before; },
                  active ? "WM_ACTIVATEAPP(TRUE)" : "WM_ACTIVATEAPP(FALSE)");
    }

    // An off-screen surface as the game makes its sprites'; released at the end.
    LPDIRECTDRAWSURFACE offScreen(int width, int height) {
        LPDIRECTDRAWSURFACE surface = fixture::makeOffScreen(dd_, width, height);
        if (surface) owned_.push_back(surface);
        return surface;
    }

    static DDSURFACEDESC describe(LPDIRECTDRAWSURFACE surface) {
        DDSURFACEDESC desc = blankDescription();
        EXPECT_EQ(surface->GetSurfaceDesc(&desc), DD_OK);
        return desc;
    }

    static Format formatOf(LPDIRECTDRAWSURFACE surface) {
        DDSURFACEDESC desc = describe(surface);
        const DDPIXELFORMAT& pf = desc.ddpfPixelFormat;
        return {int(pf.dwRGBBitCount), pf.dwRBitMask, pf.dwGBitMask, pf.dwBBitMask};
    }

    static uint32_t raw(LPDIRECTDRAWSURFACE surface, int r, int g, int b) {
        return rawOf(formatOf(surface), r, g, b);
    }

    // Runs `work` on the locked surface's pixels: base pointer, pitch, bytes a pixel.
    static void withPixels(LPDIRECTDRAWSURFACE surface,
                           const std::function<void(uint8_t*, LONG, int)>& work) {
        DDSURFACEDESC desc = blankDescription();
        ASSERT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
        work(static_cast<uint8_t*>(desc.lpSurface), desc.lPitch,
             int(desc.ddpfPixelFormat.dwRGBBitCount / 8));
        EXPECT_EQ(surface->Unlock(nullptr), DD_OK);
    }

    // Every bit of one pixel, the unused top byte of a 32-bit one included.
    static uint32_t pixelBits(LPDIRECTDRAWSURFACE surface, int x, int y) {
        uint32_t value = 0;
        withPixels(surface, [&](uint8_t* base, LONG pitch, int bytes) {
            std::memcpy(&value, base + y * pitch + x * bytes, size_t(bytes));
        });
        return value;
    }

    // The colour bits of one pixel. What the unused top byte of a 32-bit
    // pixel holds after a blit differs between drivers, so it is left out.
    static uint32_t rawPixel(LPDIRECTDRAWSURFACE surface, int x, int y) {
        const Format format = formatOf(surface);
        return pixelBits(surface, x, y) & (format.red | format.green | format.blue);
    }

    // Gives each pixel of the rectangle (the whole surface when `area` is
    // null) the raw value `valueAt` answers for it.
    static void paint(LPDIRECTDRAWSURFACE surface, const std::function<uint32_t(int, int)>& valueAt,
                      const RECT* area = nullptr) {
        DDSURFACEDESC desc = describe(surface);
        RECT all{0, 0, LONG(desc.dwWidth), LONG(desc.dwHeight)};
        const RECT& r = area ? *area : all;
        withPixels(surface, [&](uint8_t* base, LONG pitch, int bytes) {
            for (int y = int(r.top); y < int(r.bottom); ++y)
                for (int x = int(r.left); x < int(r.right); ++x) {
                    const uint32_t value = valueAt(x, y);
                    std::memcpy(base + y * pitch + x * bytes, &value, size_t(bytes));
                }
        });
    }

    static void fillRaw(LPDIRECTDRAWSURFACE surface, uint32_t value, const RECT* area = nullptr) {
        paint(
            surface, [value](int, int) { return value; }, area);
    }

    static void fill(LPDIRECTDRAWSURFACE surface, int r, int g, int b, const RECT* area = nullptr) {
        fillRaw(surface, raw(surface, r, g, b), area);
    }

    // Every pixel of the surface a value of its own, made of its coordinates:
    // x in the red channel's top bits, y in green's, and blue at half.
    static uint32_t coordinateColour(LPDIRECTDRAWSURFACE surface, int x, int y) {
        return raw(surface, x * 8, y * 8, 0x80);
    }
    static void paintCoordinates(LPDIRECTDRAWSURFACE surface) {
        const Format format = formatOf(surface);
        paint(surface, [&](int x, int y) { return rawOf(format, x * 8, y * 8, 0x80); });
    }

    HWND window_ = nullptr;
    LPDIRECTDRAW dd_ = nullptr;
    LPDIRECTDRAWSURFACE primary_ = nullptr;
    LPDIRECTDRAWSURFACE back_ = nullptr;
    std::vector<LPDIRECTDRAWSURFACE> owned_;
};

class DisplayAtBothDepths : public DisplayTest, public testing::WithParamInterface<int> {};

}  // namespace conformance
