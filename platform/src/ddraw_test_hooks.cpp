// The test hooks that look at surfaces and count live video objects.
#include <cstring>

#include "ddraw_internal.h"
#include "gdi_internal.h"
#include "varnholt/platform_test.h"

namespace vh::platform {

SDL_Surface* surfacePixels(IDirectDrawSurface* surface) {
    return surface ? static_cast<dd::SurfaceObject*>(surface)->pixels() : nullptr;
}

}  // namespace vh::platform

namespace vh::test {
namespace {

bool isInside(const SDL_Surface* pixels, int x, int y) {
    return pixels && x >= 0 && y >= 0 && x < pixels->w && y < pixels->h;
}

// Our surfaces own their memory, which SDL leaves in place even while a
// sprite is run-length encoded, so it can be read without locking.
Uint8* pixelAddress(SDL_Surface* pixels, int x, int y) {
    return static_cast<Uint8*>(pixels->pixels) + size_t(y) * pixels->pitch +
           size_t(x) * pixels->format->BytesPerPixel;
}

}  // namespace

Picture surfacePixels(IDirectDrawSurface* surface) {
    SDL_Surface* pixels = vh::platform::surfacePixels(surface);
    if (!pixels) return {};
    return vh::platform::toPicture(pixels->w, pixels->h, pixels->format->format, pixels->pixels,
                                   pixels->pitch);
}

uint32_t surfaceRawPixel(IDirectDrawSurface* surface, int x, int y) {
    SDL_Surface* pixels = vh::platform::surfacePixels(surface);
    if (!isInside(pixels, x, y)) return 0;
    const Uint8* at = pixelAddress(pixels, x, y);
    if (pixels->format->BytesPerPixel == 2) {
        Uint16 value;
        std::memcpy(&value, at, 2);
        return value;
    }
    Uint32 value;
    std::memcpy(&value, at, 4);
    return value;
}

void setSurfaceRawPixel(IDirectDrawSurface* surface, int x, int y, uint32_t value) {
    SDL_Surface* pixels = vh::platform::surfacePixels(surface);
    if (!isInside(pixels, x, y)) return;
    // Writing under a lock keeps a run-length encoded sprite in step.
    if (SDL_LockSurface(pixels) != 0) return;
    Uint8* at = pixelAddress(pixels, x, y);
    if (pixels->format->BytesPerPixel == 2) {
        Uint16 narrow = Uint16(value);
        std::memcpy(at, &narrow, 2);
    } else {
        std::memcpy(at, &value, 4);
    }
    SDL_UnlockSurface(pixels);
}

void loseAllSurfaces() {
    vh::platform::loseAllSurfaces();
}

int liveObjectCount() {
    using namespace vh::platform;
    return dd::liveDirectDrawObjects() + dd::liveSurfaces() + dd::liveClippers() +
           gdi::liveObjectCount() + gdiplus::liveImageCount();
}

}  // namespace vh::test
