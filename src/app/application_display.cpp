// The Application's exclusive full-screen display: DirectDraw in exclusive
// mode, the primary surface with its back buffer and clipper, and the colour
// key the sprites are made with; and their release.
#include "app/application.h"
#include "display/display.h"

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
