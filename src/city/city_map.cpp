#include "city/city_map.h"

#include "display/gdi_bitmap.h"
#include "display/sprite.h"

SpriteId lotArtIds[kLotArtCount] = {kNoSprite, kNoSprite, kNoSprite, kNoSprite, kNoSprite,
                                    kNoSprite, kNoSprite, kNoSprite, kNoSprite};

namespace {

struct LotArt {
    const char* path;
    int32_t size;
};

// In the order of lotArtIds: the base lot, then markers 0 to 7.
constexpr LotArt kLotArt[kLotArtCount] = {
    {".\\Lots\\lot_base.png", 128},
    {".\\Ambiances\\Green\\green.gif", 16},
    {".\\Ambiances\\Polluting\\polluting.gif", 16},
    {".\\Ambiances\\Criminal\\criminal.gif", 16},
    {".\\Ambiances\\Lawful\\lawful.gif", 16},
    {".\\Ambiances\\Noisy\\noisy.gif", 16},
    {".\\Ambiances\\Quiet\\quiet.gif", 16},
    {".\\Ambiances\\Arcane\\arcane.gif", 16},
    {".\\Ambiances\\Techy\\techy.gif", 16},
};

SpriteId addFilled(Sprite* sprite, GdiBitmap& bitmap) {
    sprite->fill(bitmap, 0, 0, 0, 0);
    SpriteId id = SpriteRegistry::instance().add(sprite);
    // A sprite the full registry refused would otherwise be lost for good,
    // with its surfaces.
    if (id == kNoSprite) delete sprite;
    return id;
}

// Loads the nine pictures into new sprites: the base lot's sprite is made
// before its file is read, each marker's after. A missing or unreadable file
// is not reported: its sprite is still added and shows whatever it holds.
void loadLotArt() {
    GdiBitmap bitmap;
    auto* base = new Sprite(1, kLotArt[0].size, kLotArt[0].size);
    bitmap.loadFromFile(kLotArt[0].path);
    lotArtIds[0] = addFilled(base, bitmap);
    for (int32_t entry = 1; entry < kLotArtCount; ++entry) {
        bitmap.loadFromFile(kLotArt[entry].path);
        lotArtIds[entry] =
            addFilled(new Sprite(1, kLotArt[entry].size, kLotArt[entry].size), bitmap);
    }
}

}  // namespace

ResultCode reloadLotArt() {
    SpriteRegistry& registry = SpriteRegistry::instance();
    GdiBitmap bitmap;
    ResultCode code = result::kOk;
    for (int32_t entry = 0; entry < kLotArtCount; ++entry) {
        ResultCode loaded = bitmap.loadFromFile(kLotArt[entry].path);
        if (result::failed(loaded)) {
            code = result::passUp(loaded);
            continue;  // the other pictures are still reloaded
        }
        ResultCode filled = registry.fill(lotArtIds[entry], bitmap, 0, 0, 0, 0);
        if (result::failed(filled)) code = result::passUp(filled);
    }
    return code;
}

Lot::Lot() : initialised(false) {
    if (lotArtIds[0] < 0) loadLotArt();
    init();
}

ResultCode Lot::init() {
    if (initialised) return result::kAlreadyInitialised;
    for (int8_t& v : values) v = 0;
    initialised = true;
    return result::kOk;
}

ResultCode Lot::draw(int32_t x, int32_t y) const {
    SpriteRegistry& registry = SpriteRegistry::instance();
    registry.draw(lotArtIds[0], 0, 0, x, y);
    // Each axis has a fixed place along the top edge; a zero value leaves it empty.
    for (int32_t axis = 0; axis < 4; ++axis) {
        int8_t v = value(axis, 4);
        if (v > 0) registry.draw(lotArtIds[1 + 2 * axis], 0, 0, x + 16 * axis, y);
        if (v < 0) registry.draw(lotArtIds[2 + 2 * axis], 0, 0, x + 16 * axis, y);
    }
    return result::kOk;
}

CityMap::CityMap() : bounds_{0, 0, kColumns - 1, kRows - 1} {}

ResultCode CityMap::drawLot(int32_t column, int32_t row, int32_t x, int32_t y) const {
    return lots[column * kRows + row].draw(x, y);
}

ResultCode drawAmbianceMarker(int32_t x, int32_t y, int32_t k) {
    return SpriteRegistry::instance().draw(lotArtIds[1 + k], 0, 0, x, y);
}
