// Pixel memory and the SDL surfaces over it.
#include "varnholt/pixel_memory.h"

#include <cstdlib>
#include <cstring>

namespace vh::platform {

Uint32 sdlFormatFor(int bitsPerPixel) {
    return bitsPerPixel == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888;
}

Uint8* allocateZeroedPixels(size_t bytes) {
    auto* block = static_cast<Uint8*>(std::calloc(bytes + kPixelAlignment, 1));
    if (!block) return nullptr;
    // 1 to 64 bytes in, so that there is always room for the distance.
    const size_t shift = kPixelAlignment - reinterpret_cast<uintptr_t>(block) % kPixelAlignment;
    Uint8* pixels = block + shift;
    pixels[-1] = Uint8(shift);
    return pixels;
}

void AlignedPixelsDelete::operator()(Uint8* pixels) const {
    if (pixels) std::free(pixels - pixels[-1]);
}

bool allocatePixels(PixelBuffer& buffer, int width, int height, int bitsPerPixel) {
    int bytesPerPixel = bitsPerPixel / 8;
    // Rows are kept 4-byte aligned, as video memory pitches are.
    int pitch = (width * bytesPerPixel + 3) & ~3;
    const size_t bytes = size_t(pitch) * size_t(height);
    buffer.memory.reset(allocateZeroedPixels(bytes));
    if (!buffer.memory) return false;
    buffer.surface = SDL_CreateRGBSurfaceWithFormatFrom(
        buffer.memory.get(), width, height, bitsPerPixel, pitch, sdlFormatFor(bitsPerPixel));
    if (!buffer.surface) {
        buffer.memory.reset();
        return false;
    }
    SDL_SetSurfaceBlendMode(buffer.surface, SDL_BLENDMODE_NONE);
    return true;
}

void freePixels(PixelBuffer& buffer) {
    if (buffer.surface) SDL_FreeSurface(buffer.surface);
    buffer.surface = nullptr;
    buffer.memory.reset();
}

bool containsPixel(const SDL_Surface* pixels, int x, int y) {
    return pixels && x >= 0 && y >= 0 && x < pixels->w && y < pixels->h;
}

Uint8* pixelAddress(SDL_Surface* pixels, int x, int y) {
    return static_cast<Uint8*>(pixels->pixels) + size_t(y) * size_t(pixels->pitch) +
           size_t(x) * pixels->format->BytesPerPixel;
}

Uint32 readPixel(SDL_Surface* pixels, int x, int y) {
    const Uint8* at = pixelAddress(pixels, x, y);
    if (pixels->format->BytesPerPixel == 2) {
        Uint16 value;
        std::memcpy(&value, at, sizeof value);
        return value;
    }
    Uint32 value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

void writePixel(SDL_Surface* pixels, int x, int y, Uint32 value) {
    Uint8* at = pixelAddress(pixels, x, y);
    if (pixels->format->BytesPerPixel == 2) {
        Uint16 narrow = Uint16(value);
        std::memcpy(at, &narrow, sizeof narrow);
    } else {
        std::memcpy(at, &value, sizeof value);
    }
}

SDL_Surface* unkeyedView(SDL_Surface* pixels) {
    SDL_Surface* view = SDL_CreateRGBSurfaceWithFormatFrom(pixels->pixels, pixels->w, pixels->h,
                                                           pixels->format->BitsPerPixel,
                                                           pixels->pitch, pixels->format->format);
    if (view) SDL_SetSurfaceBlendMode(view, SDL_BLENDMODE_NONE);
    return view;
}

int blitOrScale(SDL_Surface* from, SDL_Rect* source, SDL_Surface* to, SDL_Rect* dest) {
    if (source->w == dest->w && source->h == dest->h)
        return SDL_BlitSurface(from, source, to, dest);
    return SDL_BlitScaled(from, source, to, dest);
}

}  // namespace vh::platform
