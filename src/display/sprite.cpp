#include "display/sprite.h"

#include "app/application.h"
#include "display/gdi_bitmap.h"

Sprite::Sprite(int32_t frameCount, int32_t width, int32_t height)
    : rowCount(1), frameWidth(width), frameHeight(height), sourceRect{0, 0, width, height} {
    frameCounts.assign(1, frameCount);
    frames.assign(1, std::vector<IDirectDrawSurface*>(frameCount > 0 ? frameCount : 0, nullptr));

    Application& app = Application::instance();
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;  // DirectDraw chooses where it lives
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);

    DDCOLORKEY key{};
    key.dwColorSpaceLowValue = app.colorKey;
    key.dwColorSpaceHighValue = app.colorKey;

    for (auto& surface : frames[0]) {
        // Without a display there is nothing to make the frames with.
        if (!app.directDraw || FAILED(app.directDraw->CreateSurface(&desc, &surface, nullptr))) {
            surface = nullptr;  // the other frames are still made
            continue;
        }
        surface->SetColorKey(DDCKEY_SRCBLT, &key);
    }
}

Sprite::~Sprite() {
    for (auto& row : frames)
        for (IDirectDrawSurface* surface : row)
            if (surface) surface->Release();
}

ResultCode Sprite::fill(GdiBitmap& bitmap, int32_t row, int32_t frame, int32_t x, int32_t y) {
    IDirectDrawSurface* surface = frames[row][frame];
    if (!surface) return result::kPlatformFailed;
    return result::passUp(bitmap.copyToSurface(surface, x, y, frameWidth, frameHeight));
}

ResultCode Sprite::draw(IDirectDrawSurface* target, int32_t row, int32_t frame, int32_t x,
                        int32_t y) {
    IDirectDrawSurface* surface = frames[row][frame];
    if (!surface || !target) return result::kPlatformFailed;
    RECT dest{x, y, x + frameWidth, y + frameHeight};
    HRESULT hr = target->Blt(&dest, surface, &sourceRect, DDBLT_WAIT | DDBLT_KEYSRC, nullptr);
    return FAILED(hr) ? result::kPlatformFailed : result::kOk;
}

ResultCode Sprite::restore() {
    ResultCode code = result::kOk;
    for (auto& row : frames) {
        for (IDirectDrawSurface* surface : row) {
            // A frame that was never made has nothing to restore, and is no
            // failure: counting it as one would have every later frame try
            // the lost sprites again. Every frame is tried, also after one
            // has failed.
            if (surface && FAILED(surface->Restore())) code = result::kPlatformFailed;
        }
    }
    return code;
}
