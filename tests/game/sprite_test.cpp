// Sprites and the registry: surfaces, colour-keyed draws, restores, the ring
// search of the slots.
#include <gtest/gtest.h>

#include "display/gdi_bitmap.h"
#include "city/city_map.h"
#include "city/sidebar.h"
#include "display/sprite.h"
#include "game_fixture.h"

namespace {

using vh::test::injectResult;

// Paints a sprite's frame: magenta everywhere but a solid square inside.
void paint(Sprite& sprite, uint32_t color, int inset) {
    IDirectDrawSurface* surface = sprite.frames[0][0];
    for (int y = 0; y < sprite.frameHeight; ++y)
        for (int x = 0; x < sprite.frameWidth; ++x) {
            bool inside = x >= inset && y >= inset && x < sprite.frameWidth - inset &&
                          y < sprite.frameHeight - inset;
            vh::test::setSurfaceRawPixel(surface, x, y, inside ? color : 0x00FF00FF);
        }
}

void clearBackBuffer(Application& app, uint32_t color) {
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 1024; ++x) vh::test::setSurfaceRawPixel(app.backBuffer, x, y, color);
}

// Tests on the window and display start-up makes, with an empty registry
// drawing onto the back buffer.
class OnTheDisplay : public testing::Test {
  protected:
    Application& app = fixture::startDisplayOnly();
    SpriteRegistry& registry = SpriteRegistry::instance();
};
using SpriteDraw = OnTheDisplay;
using Registry = OnTheDisplay;

// Without a display no frame is made.
TEST(SpriteConstruction, MakesOneColourKeyedSurfaceAFrameOnceThereIsADisplay) {
    Sprite early(2, 16, 16);
    EXPECT_EQ(early.frames[0][0], nullptr);
    EXPECT_EQ(early.frames[0][1], nullptr);
    EXPECT_TRUE(vh::test::journalNames({"IDirectDraw::CreateSurface"}).empty());
    fixture::startDisplayOnly();
    Sprite sprite(3, 16, 16);
    EXPECT_EQ(sprite.rowCount, 1);
    EXPECT_EQ(sprite.frameCounts, std::vector<int32_t>{3});
    EXPECT_EQ(sprite.sourceRect.right, 16);
    EXPECT_EQ(sprite.sourceRect.bottom, 16);
    ASSERT_EQ(sprite.frames[0].size(), 3u);
    for (auto* frame : sprite.frames[0]) {
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(vh::test::surfacePixels(frame).width, 16);
    }
}

// A deleted sprite releases the frames that were made.
TEST(SpriteConstruction, AFrameThatCannotBeMadeIsSkippedEverywhere) {
    fixture::startDisplayOnly();
    const int live = vh::test::liveObjectCount();
    injectResult("IDirectDraw::CreateSurface", DDERR_OUTOFMEMORY, 1);
    auto* sprite = new Sprite(2, 16, 16);
    EXPECT_EQ(vh::test::liveObjectCount(), live + 1);
    EXPECT_EQ(sprite->frames[0][0], nullptr);
    ASSERT_NE(sprite->frames[0][1], nullptr);
    GdiBitmap bitmap;
    EXPECT_EQ(sprite->fill(bitmap, 0, 0, 0, 0), 0x82);
    EXPECT_EQ(sprite->draw(Application::instance().backBuffer, 0, 0, 0, 0), 0x82);
    // A frame that was never made has nothing to restore: that is no failure.
    EXPECT_EQ(sprite->restore(), 0);
    vh::test::loseAllSurfaces();
    EXPECT_EQ(sprite->restore(), 0);
    EXPECT_EQ(sprite->frames[0][1]->IsLost(), DD_OK);
    delete sprite;
    EXPECT_EQ(vh::test::liveObjectCount(), live);
}

// Without a target nothing is drawn.
TEST_F(SpriteDraw, IsOneColourKeyedBlitAtItsPlace) {
    clearBackBuffer(app, 0x00000000);
    Sprite sprite(1, 16, 16);
    paint(sprite, 0x0000FF00, 4);
    vh::test::clearJournal();
    EXPECT_EQ(sprite.draw(nullptr, 0, 0, 0, 0), 0x82);
    EXPECT_TRUE(vh::test::journal().empty());
    EXPECT_EQ(sprite.draw(app.backBuffer, 0, 0, 40, 50), 0);
    auto picture = vh::test::surfacePixels(app.backBuffer);
    EXPECT_EQ(picture.at(44, 54), 0x0000FF00u);
    EXPECT_EQ(picture.at(55 - 4, 65 - 4), 0x0000FF00u);
    EXPECT_EQ(picture.at(40, 50), 0u);  // magenta let the black through
    EXPECT_EQ(picture.at(56 - 4, 54), 0u);
}

TEST_F(SpriteDraw, IsClippedAtEveryEdgeOfTheBackBuffer) {
    clearBackBuffer(app, 0);
    Sprite sprite(1, 16, 16);
    paint(sprite, 0x00123456, 0);
    // Over each corner, and wholly off screen.
    for (auto [x, y] : {std::pair{-8, -8}, {1016, 760}, {-8, 760}, {1016, -8}, {2000, 2000}})
        EXPECT_EQ(sprite.draw(app.backBuffer, 0, 0, x, y), 0) << x << "," << y;
    auto picture = vh::test::surfacePixels(app.backBuffer);
    for (auto [x, y] : {std::pair{0, 0}, {1023, 767}, {0, 767}, {1023, 0}, {7, 7}})
        EXPECT_EQ(picture.at(x, y), 0x00123456u) << x << "," << y;
    EXPECT_EQ(picture.at(8, 8), 0u);
    EXPECT_EQ(picture.at(1015, 759), 0u);
}

// A sprite without frames restores fine.
TEST(SpriteRestore, TriesEveryFrameAfterAFailure) {
    fixture::startDisplayOnly();
    EXPECT_EQ(Sprite(0, 16, 16).restore(), 0);
    Sprite sprite(3, 16, 16);
    vh::test::loseAllSurfaces();
    injectResult("IDirectDrawSurface::Restore", DDERR_WRONGMODE, 1, sprite.frames[0][0]);
    vh::test::clearJournal();
    EXPECT_EQ(sprite.restore(), 0x82);
    EXPECT_EQ(vh::test::journalNames({"IDirectDrawSurface::Restore"}).size(), 3u);
    EXPECT_EQ(sprite.frames[0][2]->IsLost(), DD_OK);
}

// ---- The registry -------------------------------------------------------------

TEST_F(Registry, HandsOutSlotsInOrderAndRefusesTheThirtyThird) {
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(registry.add(new Sprite(0, 1, 1)), i);
        EXPECT_EQ(registry.cursor, (i + 1) % 32);
    }
    Sprite extra(0, 1, 1);
    EXPECT_EQ(registry.add(&extra), -1);
    EXPECT_EQ(registry.cursor, 0);
    for (Sprite* slot : registry.slots) EXPECT_NE(slot, &extra);
}

// Sprites made while every slot is taken are refused and deleted by their
// makers; their surfaces go with them instead of living on unreachable.
TEST_F(Registry, SpritesAFullRegistryRefusesLeaveNoSurfaceBehind) {
    fixture::useRealArt();
    for (int i = 0; i < SpriteRegistry::kSlotCount; ++i) registry.add(new Sprite(0, 1, 1));
    const int live = vh::test::liveObjectCount();
    Sidebar sidebar;
    sidebar.createSprites();
    EXPECT_EQ(sidebar.topSprite, kNoSprite);
    EXPECT_EQ(sidebar.mvrPanelSprite, kNoSprite);
    EXPECT_EQ(vh::test::liveObjectCount(), live);
    CityMap map;  // its first lot loads the lot art into sprites of its own
    EXPECT_EQ(lotArtIds[0], kNoSprite);
    EXPECT_EQ(vh::test::liveObjectCount(), live);
}

TEST_F(Registry, RingSearchStartsAtTheCursorAndWraps) {
    Sprite a(0, 1, 1), b(0, 1, 1);
    registry.slots[30] = &a;
    registry.cursor = 30;
    EXPECT_EQ(registry.add(&b), 31);
    EXPECT_EQ(registry.cursor, 0);
    registry.cursor = 31;
    Sprite c(0, 1, 1);
    EXPECT_EQ(registry.add(&c), 0);  // 31 taken: wraps to 0
    EXPECT_EQ(registry.cursor, 1);
}

TEST_F(Registry, FreeSlotsAndBadIdsDrawNothingAndFillNothing) {
    clearBackBuffer(app, 0x00010203);
    GdiBitmap bitmap;
    for (SpriteId id : {-1, 5, 32}) {
        EXPECT_EQ(registry.draw(id, 0, 0, 0, 0), 0x0A);
        EXPECT_EQ(registry.fill(id, bitmap, 0, 0, 0, 0), 0);
    }
    EXPECT_EQ(vh::test::surfacePixels(app.backBuffer).at(0, 0), 0x00010203u);
}

TEST_F(Registry, DrawsOntoTheTargetPassesAFailedBlitUpAndFillsNothingFromAnEmptyBitmap) {
    clearBackBuffer(app, 0);
    auto* sprite = new Sprite(1, 8, 8);
    paint(*sprite, 0x00ABCDEF, 0);
    SpriteId id = registry.add(sprite);
    EXPECT_EQ(registry.draw(id, 0, 0, 100, 100), 0);
    EXPECT_EQ(vh::test::surfacePixels(app.backBuffer).at(104, 104), 0x00ABCDEFu);
    injectResult("IDirectDrawSurface::Blt", DDERR_SURFACELOST);
    EXPECT_EQ(registry.draw(id, 0, 0, 0, 0), 0x82);
    GdiBitmap empty;
    EXPECT_EQ(registry.fill(id, empty, 0, 0, 0, 0), 0x92);
}

TEST_F(Registry, RestoreAllGoesOnAfterAFailure) {
    EXPECT_EQ(registry.restoreAll(), 0);  // nothing registered
    auto* first = new Sprite(1, 8, 8);
    auto* second = new Sprite(1, 8, 8);
    registry.add(first);
    registry.add(second);
    vh::test::loseAllSurfaces();
    injectResult("IDirectDrawSurface::Restore", DDERR_WRONGMODE, 1, first->frames[0][0]);
    EXPECT_EQ(registry.restoreAll(), 0x82);
    EXPECT_EQ(second->frames[0][0]->IsLost(), DD_OK);
}

}  // namespace
