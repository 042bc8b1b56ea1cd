// Pixel memory and the SDL surfaces over it, as DirectDraw surfaces, GDI
// device contexts and the test hooks all see it.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace vh::platform {

// The largest side of any surface or image this layer makes.
constexpr int kMaxSurfaceSide = 16384;

// The SDL format of the display's pixels at 16 or 32 bits.
Uint32 sdlFormatFor(int bitsPerPixel);

// Pixel memory starts on a cache line, as video memory does: SDL's blits
// copy rows with memcpy, which runs up to three times slower into rows that
// start 16 bytes into a line (what a plain new[] of a frame gives). It comes
// zeroed from calloc, which leaves a large block's fresh pages untouched
// until they are drawn on, instead of faulting all of them in at start-up.
// The byte before the pixels holds their distance from the block's start.
constexpr size_t kPixelAlignment = 64;
Uint8* allocateZeroedPixels(size_t bytes);
struct AlignedPixelsDelete {
    void operator()(Uint8* pixels) const;
};

// Pixel memory that this layer owns (SDL keeps it even when it run-length
// encodes a colour-keyed surface), with an SDL surface header over it.
struct PixelBuffer {
    std::unique_ptr<Uint8[], AlignedPixelsDelete> memory;
    SDL_Surface* surface = nullptr;
};
bool allocatePixels(PixelBuffer& buffer, int width, int height, int bitsPerPixel);
void freePixels(PixelBuffer& buffer);

// Reading and writing one pixel in the surface's own format. Our surfaces
// own their memory, which SDL leaves in place even while a sprite is
// run-length encoded; a writer locks the surface so that SDL encodes it again.
bool containsPixel(const SDL_Surface* pixels, int x, int y);
Uint8* pixelAddress(SDL_Surface* pixels, int x, int y);
Uint32 readPixel(SDL_Surface* pixels, int x, int y);
void writePixel(SDL_Surface* pixels, int x, int y, Uint32 value);

// A second header over the same pixels without a colour key, for copies that
// must ignore the key; null when SDL cannot make one. SDL_FreeSurface frees
// the header only.
SDL_Surface* unkeyedView(SDL_Surface* pixels);

// SDL's plain blit where the sizes agree, its scaled blit where they differ.
// SDL clips both rectangles, keeping the scale. 0 on success.
int blitOrScale(SDL_Surface* from, SDL_Rect* source, SDL_Surface* to, SDL_Rect* dest);

}  // namespace vh::platform
