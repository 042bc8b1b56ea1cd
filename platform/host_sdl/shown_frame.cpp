// The picture on screen, and what a new frame changes of it.
#include "shown_frame.h"

#include <algorithm>
#include <cstring>

namespace vh::platform {
namespace {

// Widens [left, right], the span of bytes already known to differ (none
// yet while left > right), by the bytes at which two rows differ outside it.
// The parts outside are compared with memcmp first, which is cheap; only a
// part that differs is scanned byte by byte.
void widenChangedSpan(const Uint8* a, const Uint8* b, size_t bytes, size_t& left, size_t& right) {
    const size_t before = std::min(left, bytes);
    if (before > 0 && std::memcmp(a, b, before) != 0) {
        size_t first = 0;
        while (a[first] == b[first]) ++first;
        left = first;
        right = std::max(right, first);
    }
    const size_t after = left > right ? bytes : right + 1;
    if (after < bytes && std::memcmp(a + after, b + after, bytes - after) != 0) {
        size_t last = bytes - 1;
        while (a[last] == b[last]) --last;
        right = last;
    }
}

}  // namespace

SDL_Rect ShownFrame::whole() const {
    if (!kept_.surface) return SDL_Rect{0, 0, 0, 0};
    return SDL_Rect{0, 0, kept_.surface->w, kept_.surface->h};
}

bool ShownFrame::matches(const SDL_Surface* frame) const {
    const SDL_Surface* kept = kept_.surface;
    return kept && kept->w == frame->w && kept->h == frame->h &&
           kept->format->format == frame->format->format;
}

bool ShownFrame::update(SDL_Surface* frame, SDL_Rect& changed) {
    changed = SDL_Rect{0, 0, 0, 0};
    bool locked = SDL_MUSTLOCK(frame) && SDL_LockSurface(frame) == 0;
    const int bytesPerPixel = frame->format->BytesPerPixel;
    const size_t rowBytes = size_t(frame->w) * size_t(bytesPerPixel);
    auto frameRow = [&](int y) {
        return static_cast<const Uint8*>(frame->pixels) + size_t(y) * size_t(frame->pitch);
    };

    bool ok = true;
    if (!matches(frame)) {
        freePixels(kept_);
        ok = allocatePixels(kept_, frame->w, frame->h, frame->format->BitsPerPixel) &&
             kept_.surface->format->format == frame->format->format;
        if (ok) {
            for (int y = 0; y < frame->h; ++y)
                std::memcpy(pixelAddress(kept_.surface, 0, y), frameRow(y), rowBytes);
            changed = whole();
        } else {
            freePixels(kept_);
        }
    } else {
        SDL_Surface* kept = kept_.surface;
        auto keptRow = [&](int y) { return pixelAddress(kept, 0, y); };
        int top = 0;
        while (top < frame->h && std::memcmp(frameRow(top), keptRow(top), rowBytes) == 0) ++top;
        if (top < frame->h) {
            int bottom = frame->h - 1;
            while (bottom > top && std::memcmp(frameRow(bottom), keptRow(bottom), rowBytes) == 0)
                --bottom;
            // Rows top and bottom differ somewhere; the span of columns is
            // widened by every row between them. Most frames change whole
            // rows of the map, which the first row already shows.
            size_t left = rowBytes, right = 0;
            for (int y = top; y <= bottom; ++y)
                widenChangedSpan(frameRow(y), keptRow(y), rowBytes, left, right);
            const int x0 = int(left) / bytesPerPixel;
            const int x1 = int(right) / bytesPerPixel + 1;
            const size_t spanBytes = size_t(x1 - x0) * size_t(bytesPerPixel);
            for (int y = top; y <= bottom; ++y)
                std::memcpy(pixelAddress(kept, x0, y), frameRow(y) + size_t(x0) * bytesPerPixel,
                            spanBytes);
            changed = SDL_Rect{x0, top, x1 - x0, bottom - top + 1};
        }
    }
    if (locked) SDL_UnlockSurface(frame);
    return ok;
}

}  // namespace vh::platform
