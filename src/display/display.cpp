// The colour a surface's pixel format gives a GDI colour.
#include "display/display.h"

#include <chrono>

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
