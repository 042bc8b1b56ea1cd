// The panel at the screen's left edge: a top picture, three tab buttons and
// the selected tab's panel; the amb panel carries the ambiance legend.
#pragma once

#include "app/result_code.h"
#include "display/sprite_registry.h"

enum SidebarTab : int32_t { Amb = 0, Pros = 1, Mvr = 2 };

class Sidebar {
  public:
    static constexpr int32_t kWidth = 256;

    ResultCode createSprites();
    // Stops at the first picture that fails, with that step's code and 0x80.
    ResultCode loadArt();
    ResultCode draw();
    void click(double time, int32_t button, int32_t x, int32_t y);

    SidebarTab selectedTab = Amb;
    SpriteId topSprite = kNoSprite;
    SpriteId ambTabSprite = kNoSprite;
    SpriteId prosTabSprite = kNoSprite;
    SpriteId mvrTabSprite = kNoSprite;
    SpriteId ambPanelSprite = kNoSprite;
    SpriteId prosPanelSprite = kNoSprite;
    SpriteId mvrPanelSprite = kNoSprite;
};
