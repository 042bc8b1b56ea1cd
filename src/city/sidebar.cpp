#include "city/sidebar.h"

#include "city/city_map.h"
#include "display/gdi_bitmap.h"
#include "display/sprite.h"

namespace {

constexpr int32_t kTabTop = 240;
constexpr int32_t kTabBottom = 303;
constexpr int32_t kTabWidth = 64;
constexpr int32_t kFirstTabLeft = 32;
constexpr int32_t kPanelTop = 304;

// The legend: axis i's positive marker at (16, 320 + 128 i), its negative one
// at (144, 320 + 128 i).
constexpr int32_t kLegendLeft = 16;
constexpr int32_t kLegendRight = 144;
constexpr int32_t kLegendTop = 320;
constexpr int32_t kLegendSpacing = 128;

SpriteId makeSprite(int32_t width, int32_t height) {
    auto* sprite = new Sprite(1, width, height);
    SpriteId id = SpriteRegistry::instance().add(sprite);
    if (id == kNoSprite) delete sprite;  // refused by a full registry: it and its surfaces go
    return id;
}

}  // namespace

ResultCode Sidebar::createSprites() {
    // Each tab's button is made just before its panel.
    topSprite = makeSprite(256, 304);
    ambTabSprite = makeSprite(64, 64);
    ambPanelSprite = makeSprite(256, 464);
    prosTabSprite = makeSprite(64, 64);
    prosPanelSprite = makeSprite(256, 464);
    mvrTabSprite = makeSprite(64, 64);
    mvrPanelSprite = makeSprite(256, 464);
    return result::kOk;
}

ResultCode Sidebar::loadArt() {
    // The buttons are loaded before the panels, which is not the order in
    // which their sprites were made.
    const struct {
        const char* path;
        SpriteId id;
    } pictures[] = {
        {"GUI\\sb_top.png", topSprite},          {"GUI\\sb_tab_amb.png", ambTabSprite},
        {"GUI\\sb_tab_pros.png", prosTabSprite}, {"GUI\\sb_tab_mvr.png", mvrTabSprite},
        {"GUI\\sb_amb.png", ambPanelSprite},     {"GUI\\sb_pros.png", prosPanelSprite},
        {"GUI\\sb_mvr.png", mvrPanelSprite},
    };

    GdiBitmap bitmap;
    ResultCode code = result::kOk;
    for (const auto& picture : pictures) {
        code = bitmap.loadFromFile(picture.path);
        if (result::failed(code)) return code | result::kPassedUp;
        code = SpriteRegistry::instance().fill(picture.id, bitmap, 0, 0, 0, 0);
        if (result::failed(code)) return code | result::kPassedUp;
    }
    return code;
}

ResultCode Sidebar::draw() {
    SpriteRegistry& registry = SpriteRegistry::instance();
    registry.draw(topSprite, 0, 0, 0, 0);
    registry.draw(ambTabSprite, 0, 0, kFirstTabLeft, kTabTop);
    registry.draw(prosTabSprite, 0, 0, kFirstTabLeft + kTabWidth, kTabTop);
    registry.draw(mvrTabSprite, 0, 0, kFirstTabLeft + 2 * kTabWidth, kTabTop);

    if (selectedTab == Pros) {
        registry.draw(prosPanelSprite, 0, 0, 0, kPanelTop);
    } else if (selectedTab == Mvr) {
        registry.draw(mvrPanelSprite, 0, 0, 0, kPanelTop);
    } else {
        registry.draw(ambPanelSprite, 0, 0, 0, kPanelTop);
        for (int32_t axis = 0; axis < 4; ++axis) {
            const int32_t y = kLegendTop + kLegendSpacing * axis;
            drawAmbianceMarker(kLegendLeft, y, 2 * axis);
            drawAmbianceMarker(kLegendRight, y, 2 * axis + 1);
        }
    }
    return result::kOk;
}

void Sidebar::click(double, int32_t button, int32_t x, int32_t y) {
    if (button != 1 || y < kTabTop || y > kTabBottom) return;
    // The hit rectangles are exactly the three buttons; the gaps beside them
    // select nothing.
    if (x >= kFirstTabLeft && x < kFirstTabLeft + 3 * kTabWidth)
        selectedTab = static_cast<SidebarTab>((x - kFirstTabLeft) / kTabWidth);
}
