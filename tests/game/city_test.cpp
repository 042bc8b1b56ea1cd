// The city: lots and their markers, the map view's scrolling and drawing
// window, the sidebar's tabs and legend, and the routing of pointer input.
#include <gtest/gtest.h>

#include <memory>

#include "city/city_map.h"
#include "city/city_screen.h"
#include "game_fixture.h"

namespace {

using vh::test::journalNames;

size_t blits() {
    return journalNames({"IDirectDrawSurface::Blt"}).size();
}

class CityFixture : public testing::Test {
  protected:
    void SetUp() override {
        fixture::useRealArt();
        app = &fixture::startDisplayOnly();
        map = std::make_unique<CityMap>();
        view.bindMap(*map);
        vh::test::clearJournal();
    }
    vh::test::Picture screen() { return vh::test::surfacePixels(app->backBuffer); }
    Application* app = nullptr;
    std::unique_ptr<CityMap> map;
    MapView view;
};

// ---- Lots and the map -----------------------------------------------------------

TEST_F(CityFixture, TheMapIsEightByEightInitialisedLotsOfValueZeroThatASecondInitKeeps) {
    MapBounds b = map->bounds();
    EXPECT_EQ(b.minColumn, 0);
    EXPECT_EQ(b.minRow, 0);
    EXPECT_EQ(b.maxColumn, 7);
    EXPECT_EQ(b.maxRow, 7);
    b.maxColumn = 3;  // a copy: the map keeps its own
    EXPECT_EQ(map->bounds().maxColumn, 7);
    for (const Lot& lot : map->lots) {
        EXPECT_TRUE(lot.initialised);
        for (int8_t v : lot.values) EXPECT_EQ(v, 0);
    }
    Lot& lot = map->lots[0];
    lot.values[4] = 9;
    EXPECT_EQ(lot.init(), 0x10);
    EXPECT_EQ(lot.value(0, 4), 9);
}

TEST_F(CityFixture, TheSharedLotArtIsLoadedOnceIntoNineSlots) {
    for (int i = 0; i < kLotArtCount; ++i) EXPECT_EQ(lotArtIds[i], i);
    CityMap second;
    for (int i = 0; i < kLotArtCount; ++i) EXPECT_EQ(lotArtIds[i], i);
    EXPECT_EQ(SpriteRegistry::instance().cursor, 9);
    EXPECT_TRUE(journalNames({"GdipCreateBitmapFromFile"}).empty());
}

TEST_F(CityFixture, ALotShowsTheMarkerOfEachNonZeroAxisAtItsPlace) {
    Lot& lot = map->lots[0];
    lot.values[0 * 5 + 4] = 127;   // Green at x
    lot.values[1 * 5 + 4] = -1;    // Lawful at x + 16
    lot.values[3 * 5 + 4] = -128;  // Techy at x + 48; axis 2 stays empty
    lot.draw(300, 200);
    auto picture = screen();
    auto base = fixture::art("Lots/lot_base.png");
    for (auto [x, axis] : {std::pair{300, Green}, {316, Lawful}, {348, Techy}})
        EXPECT_EQ(
            fixture::mismatches(picture, x, 200, fixture::art(fixture::markerArt(axis)), 16, 16), 0)
            << x;
    // Axis 2's place shows the base picture alone.
    for (int y = 0; y < 16; ++y)
        for (int x = 32; x < 48; ++x)
            EXPECT_EQ(picture.at(300 + x, 200 + y), base.at(x, y) & 0xFFFFFF);
    EXPECT_EQ(blits(), 4u);
    // drawAmbianceMarker draws marker k alone.
    EXPECT_EQ(drawAmbianceMarker(16, 320, Green), 0);
    EXPECT_EQ(
        fixture::mismatches(screen(), 16, 320, fixture::art(fixture::markerArt(Green)), 16, 16), 0);
}

TEST_F(CityFixture, DrawLotFindsTheLotColumnByColumn) {
    map->lots[8].values[4] = 1;  // column 1, row 0
    map->drawLot(0, 1, 0, 0);
    EXPECT_EQ(blits(), 1u);
    map->drawLot(1, 0, 0, 0);
    EXPECT_EQ(blits(), 3u);
}

// ---- The map view -----------------------------------------------------------------

TEST_F(CityFixture, AMovingPointerNeverScrolls) {
    for (int i = 0; i < 100; ++i) view.hover(1e9, 1000 + (i % 2), 400);
    EXPECT_EQ(view.cameraX, 0);
    EXPECT_EQ(view.scrollTime, 0.0);
    EXPECT_EQ(view.restX, 1001);
}

TEST_F(CityFixture, RestingTurnsAccumulatedTimeIntoWholePixelsTheFirstAfter1501) {
    view.cameraX = 100;
    view.hover(1600, 260, 400);  // arriving only records the place
    EXPECT_EQ(view.cameraX, 100);
    view.hover(1600, 260, 400);
    EXPECT_EQ(view.cameraX, 99);
    EXPECT_EQ(view.scrollTime, 100.0);
    view.hover(1600, 260, 400);
    EXPECT_EQ(view.cameraX, 98);
    EXPECT_EQ(view.scrollTime, 200.0);

    // The first step needs more than 1501.
    view.cameraX = 0;
    view.hover(0, 1000, 400);
    view.hover(1500.5, 1000, 400);
    EXPECT_EQ(view.cameraX, 0);
    EXPECT_EQ(view.scrollTime, 1500.5);
    view.hover(0.5, 1000, 400);  // exactly 1501
    EXPECT_EQ(view.cameraX, 1);
    view.hover(0, 600, 400);
    view.hover(3 * 1500 + 1, 1000, 400);  // a new rest: only recorded
    view.hover(3 * 1500 + 1, 1000, 400);
    EXPECT_EQ(view.cameraX, 4);
    EXPECT_EQ(view.scrollTime, 1.0);
}

// A rest of ten pixels' time at a place, from a camera at (start, start).
struct Band {
    int x, y, start;
    int endX, endY;  // where the camera is after it
};

class MapViewBands : public CityFixture, public testing::WithParamInterface<Band> {};

TEST_P(MapViewBands, ScrollOnlyInsideTheEdgeBands) {
    Band band = GetParam();
    view.cameraX = view.cameraY = band.start;
    view.hover(0, band.x, band.y);
    view.hover(1500 * 10 + 1, band.x, band.y);
    EXPECT_EQ(view.cameraX, band.endX);
    EXPECT_EQ(view.cameraY, band.endY);
    EXPECT_EQ(view.scrollTime, 1.0);  // drained even where nothing moves
}

// The last two: the camera stays inside the map.
INSTANTIATE_TEST_SUITE_P(
    EdgesAndCorners, MapViewBands,
    testing::Values(Band{287, 400, 100, 90, 100}, Band{288, 400, 100, 100, 100},
                    Band{992, 400, 100, 100, 100}, Band{993, 400, 100, 110, 100},
                    Band{600, 31, 100, 100, 90}, Band{600, 32, 100, 100, 100},
                    Band{600, 736, 100, 100, 100}, Band{600, 737, 100, 100, 110},
                    Band{1000, 10, 100, 110, 90}, Band{260, 760, 100, 90, 110},
                    Band{600, 400, 100, 100, 100}, Band{260, 10, 0, 0, 0},
                    Band{1000, 760, 250, 256, 256}));

TEST_F(CityFixture, BindingPutsTheCameraHomeAndKeepsTheRest) {
    view.cameraX = 77;
    view.restX = 5;
    view.scrollTime = 12.0;
    view.bindMap(*map);
    EXPECT_EQ(view.cameraX, 0);
    EXPECT_EQ(view.restX, 5);
    EXPECT_EQ(view.scrollTime, 12.0);
}

TEST_F(CityFixture, TheDrawingWindowIsSevenBySevenLotsInsideTheMap) {
    // Column and row 6 lie off screen but inside the map; column and row 8
    // do not exist.
    for (auto [x, y, lots] : {std::tuple{0, 0, 49u}, {256, 0, 42u}, {256, 256, 36u}}) {
        view.cameraX = x;
        view.cameraY = y;
        vh::test::clearJournal();
        view.draw();
        EXPECT_EQ(blits(), lots) << x << "," << y;
    }
    // The first column starts at the camera's offset within a lot.
    view.cameraX = 200;  // column 1 at x 184, 72 of its pixels left of the view
    view.cameraY = 0;
    view.draw();
    auto lot = fixture::art("Lots/lot_base.png");
    auto picture = screen();
    EXPECT_EQ(fixture::mismatches(picture, 184, 0, lot, 128, 128), 0);
    EXPECT_EQ(fixture::mismatches(picture, 952, 128, lot, 128, 128), 0);
}

// ---- The sidebar --------------------------------------------------------------------

using SidebarFixture = fixture::RunningGame;

TEST_F(SidebarFixture, SpritesTakeTheFirstSevenIdsInCreationOrder) {
    Sidebar& s = sidebar();
    const SpriteId ids[] = {s.topSprite,       s.ambTabSprite, s.ambPanelSprite, s.prosTabSprite,
                            s.prosPanelSprite, s.mvrTabSprite, s.mvrPanelSprite};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(ids[i], i);
    EXPECT_EQ(lotArtIds[0], 7);
    EXPECT_EQ(lotArtIds[8], 15);
}

TEST_F(SidebarFixture, TabsAreSelectedByTheirButtonsExactly) {
    struct Click {
        int x, y, button;
        SidebarTab before, after;
    } clicks[] = {
        {96, 240, 1, Amb, Pros}, {159, 303, 1, Amb, Pros}, {160, 240, 1, Amb, Mvr},
        {223, 303, 1, Amb, Mvr}, {32, 240, 1, Mvr, Amb},   {95, 303, 1, Mvr, Amb},
        {31, 250, 1, Mvr, Mvr},  {224, 250, 1, Mvr, Mvr},  {100, 239, 1, Mvr, Mvr},
        {100, 304, 1, Mvr, Mvr}, {100, 250, 0, Mvr, Mvr},  {100, 250, 2, Mvr, Mvr},
    };
    for (const Click& c : clicks) {
        sidebar().selectedTab = c.before;
        sidebar().click(5.0, c.button, c.x, c.y);
        EXPECT_EQ(sidebar().selectedTab, c.after) << c.x << "," << c.y << " button " << c.button;
    }
}

// The selected tab's panel, with the legend on the amb tab only.
TEST_F(SidebarFixture, DrawsTheSelectedPanelAndTheLegendOnlyOnAmb) {
    sidebar().draw();
    auto picture = vh::test::surfacePixels(app->backBuffer);
    // The panel above the legend's first row, then the eight markers on it.
    EXPECT_EQ(fixture::mismatches(picture, 0, 304, fixture::art("GUI/sb_amb.png"), 256, 16), 0);
    EXPECT_EQ(fixture::mismatches(picture, 96, 240, fixture::art("GUI/sb_tab_pros.png"), 64, 64),
              0);
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(fixture::legendMismatches(picture, k), 0) << fixture::markerArt(k);
    EXPECT_EQ(blits(), 5u + 8u);

    sidebar().selectedTab = Mvr;
    vh::test::clearJournal();
    sidebar().draw();
    EXPECT_EQ(blits(), 5u);
    picture = vh::test::surfacePixels(app->backBuffer);
    EXPECT_EQ(fixture::mismatches(picture, 0, 304, fixture::art("GUI/sb_mvr.png"), 256, 464), 0);
}

TEST(SidebarArt, AMissingPanelStopsTheLoadThere) {
    fixture::useArtCopy({"GUI/sb_pros.png"});
    Application& app = fixture::startGame();
    vh::test::clearJournal();
    EXPECT_EQ(app.cityScreen.sidebar.loadArt(), 0x82);
    EXPECT_EQ(journalNames({"GdipCreateBitmapFromFile"}).size(), 6u);  // sb_mvr.png never tried
    EXPECT_EQ(app.cityScreen.loadSidebarArt(), 0);  // the screen does not pass it on
}

// ---- Routing and the pointer ----------------------------------------------------------

// A screen whose map could not be made shows its sidebar and ignores the
// pointer over where the map would be.
TEST(CityScreenWithoutAMap, DrawsTheSidebarAloneAndTakesNoHover) {
    fixture::useRealArt();
    Application& app = fixture::startDisplayOnly();
    CityScreen screen;
    screen.createSidebarSprites();
    screen.loadSidebarArt();
    vh::test::clearJournal();
    EXPECT_EQ(screen.hover(16.0, 1000, 400), 0);
    EXPECT_EQ(screen.mapView.restX, 0);
    EXPECT_EQ(screen.draw(), 0);
    EXPECT_EQ(blits(), 5u);  // the sidebar; the legend's markers come with the map's art
    auto picture = vh::test::surfacePixels(app.backBuffer);
    EXPECT_EQ(fixture::mismatches(picture, 0, 0, fixture::art("GUI/sb_top.png"), 256, 240), 0);
}

// Hovers left of the map view reach nobody; clicks right of the sidebar
// have no effect.
TEST_F(SidebarFixture, PointerInputReachesOnlyWhatLiesUnderIt) {
    MapView& view = app->cityScreen.mapView;
    app->cityScreen.hover(10.0, 255, 400);
    EXPECT_EQ(view.restX, 0);
    app->cityScreen.hover(10.0, 256, 400);
    EXPECT_EQ(view.restX, 256);
    EXPECT_EQ(app->cityScreen.click(1.0, 1, 256, 250), 0);
    EXPECT_EQ(app->cityScreen.click(1.0, 1, 100, 250), 0);
    EXPECT_EQ(sidebar().selectedTab, Pros);
    app->cityScreen.click(1.0, 1, 256 + 100, 250);
    EXPECT_EQ(sidebar().selectedTab, Pros);
}

TEST_F(SidebarFixture, DispatchDeliversTheLastLatchedClickOnceAndNoneBeforeTheFirstFrame) {
    app->pointer.onMouse(MAKELPARAM(100, 250), 1);  // lastClockReading is still 0.0
    app->pointer.dispatch();
    EXPECT_EQ(sidebar().selectedTab, Amb);
    app->lastClockReading = 50.0;
    app->pointer.onMouse(MAKELPARAM(40, 250), 1);   // amb
    app->pointer.onMouse(MAKELPARAM(170, 250), 1);  // mvr: only this one counts
    EXPECT_EQ(app->pointer.dispatch(), 0);
    EXPECT_EQ(sidebar().selectedTab, Mvr);
    EXPECT_EQ(app->pointer.clickTime, 0.0);
    sidebar().selectedTab = Amb;
    EXPECT_EQ(app->pointer.dispatch(), 0);  // nothing latched any more
    EXPECT_EQ(sidebar().selectedTab, Amb);
}

TEST_F(SidebarFixture, TheHoverIsHandedTheFrameTimeInMicroseconds) {
    MapView& view = app->cityScreen.mapView;
    app->pointer.onMouse(MAKELPARAM(1000, 400), 0);
    app->lastClockReading = 1000.0;
    app->pointer.dispatch();  // arrives
    app->lastClockReading = 1016.0;
    app->pointer.dispatch();  // rests: 16 ms = 16000 units
    EXPECT_EQ(view.cameraX, 10);
    EXPECT_EQ(view.scrollTime, 16000.0 - 15000.0);
    app->lastClockReading = 1032.0;
    app->pointer.dispatch();  // 17000 units: 11 pixels, 500 left over
    EXPECT_EQ(view.cameraX, 21);
    EXPECT_EQ(view.scrollTime, 500.0);
}

TEST_F(SidebarFixture, KeysAreNotHandled) {
    EXPECT_EQ(app->pointer.onKey('A'), 0x05);
}

}  // namespace
