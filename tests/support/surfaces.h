// Off-screen DirectDraw surfaces for tests, made as the game makes its sprites'.
#pragma once

#include <gtest/gtest.h>

#include <win32/ddraw.h>

namespace fixture {

inline IDirectDrawSurface* makeOffScreen(IDirectDraw* directDraw, int width, int height) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);
    IDirectDrawSurface* surface = nullptr;
    EXPECT_EQ(directDraw->CreateSurface(&desc, &surface, nullptr), DD_OK);
    return surface;
}

}  // namespace fixture
