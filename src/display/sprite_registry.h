// The process-wide table of 32 sprite slots through which all art is drawn
// onto the render target, the display's back buffer.
#pragma once

#include "app/result_code.h"
#include "winapi.h"

class GdiBitmap;
class Sprite;

// Index of a registry slot, 0 to 31; -1 means none.
using SpriteId = int32_t;
constexpr SpriteId kNoSprite = -1;

class SpriteRegistry {
  public:
    static constexpr int32_t kSlotCount = 32;

    static SpriteRegistry& instance();

    ResultCode setTarget(IDirectDrawSurface* surface);
    // Takes the sprite for good; -1 when every slot is used.
    SpriteId add(Sprite* sprite);
    ResultCode fill(SpriteId id, GdiBitmap& bitmap, int32_t row, int32_t frame, int32_t x,
                    int32_t y);
    ResultCode draw(SpriteId id, int32_t row, int32_t frame, int32_t x, int32_t y);
    ResultCode restoreAll();

    IDirectDrawSurface* target = nullptr;
    Sprite* slots[kSlotCount] = {};
    int32_t cursor = 0;

  private:
    SpriteRegistry() = default;
    Sprite* occupant(SpriteId id) const;
};
