// The DirectDraw display as the game sets it up: exclusive full-screen mode
// at a size and depth, the primary surface with one back buffer, and
// off-screen surfaces as the game makes its sprites'. Built for our layer and
// for Windows alike.
#pragma once

#include <gtest/gtest.h>

#ifdef _WIN32
#include <ddraw.h>
#else
#include <win32/ddraw.h>
#endif

namespace fixture {

// An empty surface description of the version-1 size, as every call takes it.
inline DDSURFACEDESC blankDescription() {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    return desc;
}

// Takes the display for `window` in exclusive full-screen mode.
inline void takeDisplay(IDirectDraw* directDraw, HWND window, int width, int height, int bits) {
    ASSERT_EQ(directDraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    ASSERT_EQ(directDraw->SetDisplayMode(DWORD(width), DWORD(height), DWORD(bits)), DD_OK);
}

// A new DirectDraw object that has taken the display.
inline IDirectDraw* openDisplay(HWND window, int width, int height, int bits) {
    IDirectDraw* directDraw = nullptr;
    EXPECT_EQ(DirectDrawCreate(nullptr, &directDraw, nullptr), DD_OK);
    if (directDraw) takeDisplay(directDraw, window, width, height, bits);
    return directDraw;
}

// The primary surface with one back buffer; `back` gets the attached buffer,
// with a reference of its own.
inline IDirectDrawSurface* makeFlippingChain(IDirectDraw* directDraw, IDirectDrawSurface** back) {
    DDSURFACEDESC desc = blankDescription();
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    desc.dwBackBufferCount = 1;
    IDirectDrawSurface* primary = nullptr;
    EXPECT_EQ(directDraw->CreateSurface(&desc, &primary, nullptr), DD_OK);
    DDSCAPS caps{DDSCAPS_BACKBUFFER};
    if (primary && back) {
        EXPECT_EQ(primary->GetAttachedSurface(&caps, back), DD_OK);
    }
    return primary;
}

// The description that asks for an off-screen surface of this size.
inline DDSURFACEDESC offScreenDescription(int width, int height) {
    DDSURFACEDESC desc = blankDescription();
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    desc.dwWidth = DWORD(width);
    desc.dwHeight = DWORD(height);
    return desc;
}

inline IDirectDrawSurface* makeOffScreen(IDirectDraw* directDraw, int width, int height) {
    DDSURFACEDESC desc = offScreenDescription(width, height);
    IDirectDrawSurface* surface = nullptr;
    EXPECT_EQ(directDraw->CreateSurface(&desc, &surface, nullptr), DD_OK);
    return surface;
}

}  // namespace fixture
