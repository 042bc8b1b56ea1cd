#include "display/sprite_registry.h"

#include "display/sprite.h"

SpriteRegistry& SpriteRegistry::instance() {
    // Made on first use and never destroyed: sprites live until the process ends.
    static SpriteRegistry* registry = new SpriteRegistry();
    return *registry;
}

ResultCode SpriteRegistry::setTarget(IDirectDrawSurface* surface) {
    target = surface;
    return result::kOk;
}

SpriteId SpriteRegistry::add(Sprite* sprite) {
    const int32_t start = cursor;
    int32_t i = cursor;
    // A ring search from the cursor; a full table leaves the cursor where it was.
    while (slots[i]) {
        i = (i + 1) % kSlotCount;
        cursor = i;
        if (i == start) return kNoSprite;
    }
    slots[i] = sprite;
    cursor = (i + 1) % kSlotCount;
    return i;
}

Sprite* SpriteRegistry::occupant(SpriteId id) const {
    return (id >= 0 && id < kSlotCount) ? slots[id] : nullptr;
}

ResultCode SpriteRegistry::fill(SpriteId id, GdiBitmap& bitmap, int32_t row, int32_t frame,
                                int32_t x, int32_t y) {
    Sprite* sprite = occupant(id);
    if (!sprite) return result::kOk;
    return sprite->fill(bitmap, row, frame, x, y);
}

ResultCode SpriteRegistry::draw(SpriteId id, int32_t row, int32_t frame, int32_t x, int32_t y) {
    Sprite* sprite = occupant(id);
    if (!sprite) return result::kObjectMissing;
    return result::passUp(sprite->draw(target, row, frame, x, y));
}

ResultCode SpriteRegistry::restoreAll() {
    ResultCode code = result::kOk;
    for (Sprite* sprite : slots) {
        if (sprite && result::failed(sprite->restore())) code = result::kPlatformFailed;
    }
    return code;
}
