#include "display/display.h"

#include <chrono>

#include "app/application.h"

namespace {

// How long matchColor keeps asking while the surface is still being drawn.
constexpr auto kLockPatience = std::chrono::seconds(1);

HRESULT lockWhole(IDirectDrawSurface* surface, DDSURFACEDESC& desc) {
    const auto giveUp = std::chrono::steady_clock::now() + kLockPatience;
    HRESULT hr;
    do {
        desc.dwSize = sizeof(desc);
        hr = surface->Lock(nullptr, &desc, 0, nullptr);
    } while (hr == DDERR_WASSTILLDRAWING && std::chrono::steady_clock::now() < giveUp);
    return hr;
}

}  // namespace

uint32_t matchColor(COLORREF color, IDirectDrawSurface* surface) {
    COLORREF saved = CLR_INVALID;
    bool written = false;
    HDC dc = nullptr;
    if (color != CLR_INVALID && SUCCEEDED(surface->GetDC(&dc))) {
        saved = GetPixel(dc, 0, 0);
        SetPixel(dc, 0, 0, color);
        surface->ReleaseDC(dc);
        written = true;
    }

    uint32_t value = kNoColorKey;
    DDSURFACEDESC desc{};
    if (SUCCEEDED(lockWhole(surface, desc))) {
        value = *static_cast<const uint32_t*>(desc.lpSurface);
        DWORD bits = desc.ddpfPixelFormat.dwRGBBitCount;
        if (bits != 32) value &= (uint32_t{1} << bits) - 1;
        surface->Unlock(nullptr);
    }

    if (written && SUCCEEDED(surface->GetDC(&dc))) {
        SetPixel(dc, 0, 0, saved);
        surface->ReleaseDC(dc);
    }
    return value;
}

ResultCode Application::initDisplay() {
    // On the first failing call the objects made so far stay in their fields.
    if (FAILED(DirectDrawCreate(nullptr, &directDraw, nullptr))) return result::kPlatformFailed;
    if (FAILED(directDraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN)))
        return result::kPlatformFailed;
    if (FAILED(directDraw->SetDisplayMode(width, height, bitsPerPixel)))
        return result::kPlatformFailed;

    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    desc.dwBackBufferCount = 1;
    if (FAILED(directDraw->CreateSurface(&desc, &primarySurface, nullptr)))
        return result::kPlatformFailed;

    DDSCAPS caps{};
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    if (FAILED(primarySurface->GetAttachedSurface(&caps, &backBuffer)))
        return result::kPlatformFailed;

    IDirectDrawClipper* clipper = nullptr;
    if (FAILED(directDraw->CreateClipper(0, &clipper, nullptr))) return result::kPlatformFailed;
    if (FAILED(clipper->SetHWnd(0, window))) {
        clipper->Release();
        return result::kPlatformFailed;
    }
    HRESULT attached = backBuffer->SetClipper(clipper);
    // Once attached, the back buffer holds the clipper; our creation reference
    // is not needed again.
    clipper->Release();
    if (FAILED(attached)) return result::kPlatformFailed;

    colorKey = matchColor(kMagenta, primarySurface);
    return result::kOk;
}

void Application::releaseDisplay() {
    if (!directDraw) return;
    // The back buffer goes before the primary surface, and both before the
    // DirectDraw object.
    if (backBuffer) {
        backBuffer->Release();
        backBuffer = nullptr;
    }
    if (primarySurface) {
        primarySurface->Release();
        primarySurface = nullptr;
    }
    directDraw->Release();
    directDraw = nullptr;
}
