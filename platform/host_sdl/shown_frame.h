// The picture on screen, kept so that the host can tell what a new frame
// changes (usually nothing) and can show it again after an expose without
// the game's help.
#pragma once

#include <SDL.h>

#include "varnholt/pixel_memory.h"

namespace vh::platform {

class ShownFrame {
  public:
    ShownFrame() = default;
    ~ShownFrame() { freePixels(kept_); }
    ShownFrame(const ShownFrame&) = delete;
    ShownFrame& operator=(const ShownFrame&) = delete;

    // Takes over the pixels of `frame` that differ from the kept picture and
    // answers the smallest rectangle holding every one of them: empty (w = 0)
    // when the two are identical, the whole picture when the frame's size or
    // format differs from the last one's. False when no memory could be had
    // for the copy (nothing is kept then).
    bool update(SDL_Surface* frame, SDL_Rect& changed);
    // The kept picture, or null before the first frame.
    SDL_Surface* surface() const { return kept_.surface; }
    SDL_Rect whole() const;
    void forget() { freePixels(kept_); }

  private:
    bool matches(const SDL_Surface* frame) const;
    PixelBuffer kept_;
};

}  // namespace vh::platform
