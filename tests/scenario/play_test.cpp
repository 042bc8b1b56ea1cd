// Whole games on the headless host, one process a scenario: scripted input
// and game time, and the presented frames checked against the art files.
#include <gtest/gtest.h>

#include <map>

#include "game_fixture.h"

namespace {

using vh::test::Picture;

class Play : public fixture::WithRealArt {};

MapView& view() {
    return Application::instance().cityScreen.mapView;
}
SidebarTab selected() {
    return Application::instance().cityScreen.sidebar.selectedTab;
}

// The whole frame as the art says it should look with `tab` selected and the
// camera at (cameraX, cameraY): the sidebar, the legend on the amb tab only,
// the lots in view, and no restored garbage.
void expectShown(const Picture& frame, SidebarTab tab, int cameraX = 0, int cameraY = 0) {
    EXPECT_EQ(selected(), tab);
    EXPECT_EQ(std::pair(view().cameraX, view().cameraY), std::pair(cameraX, cameraY));
    fixture::expectArtShown(frame);
}

TEST_F(Play, TheFirstFrameShowsTheSidebarAndTheMap) {
    fixture::play(1, [](int) { expectShown(vh::test::presentedFrame(), Amb); });
}

// Releases on the second frame, each a button and an x over the tab buttons,
// and the panel the third frame shows. The first frame's clock reading is
// 0.0, which a click cannot carry; from the second frame on it can.
struct Releases {
    const char* name;
    std::vector<std::pair<int, int>> buttonAndX;
    SidebarTab shown;
};

void PrintTo(const Releases& releases, std::ostream* out) {
    *out << releases.name;
}

class TabReleases : public Play, public testing::WithParamInterface<Releases> {};

TEST_P(TabReleases, OnlyTheLastLeftReleaseBringsItsPanel) {
    fixture::play(3, [](int n) {
        if (n == 2)
            for (auto [button, x] : GetParam().buttonAndX) vh::test::mouseRelease(button, x, 250);
        if (n == 3) expectShown(vh::test::presentedFrame(), GetParam().shown);
    });
}

INSTANTIATE_TEST_SUITE_P(
    LeftRightAndTwo, TabReleases,
    testing::Values(Releases{"ALeftReleaseOnThePros", {{1, 100}}, Pros},
                    Releases{"OfTwoLeftReleasesTheLast", {{1, 100}, {1, 170}}, Mvr},
                    Releases{"ARightReleaseChangesNothing", {{2, 100}}, Amb}),
    [](const testing::TestParamInfo<Releases>& info) { return std::string(info.param.name); });

struct Rest {
    int x, y;
    int startX, startY;  // the camera before the rest
    int endX, endY;      // where it stops
};

class Scrolling : public Play, public testing::WithParamInterface<Rest> {};

TEST_P(Scrolling, RestingInABandScrollsSteadilyAndStopsAtTheEdge) {
    const Rest rest = GetParam();
    std::map<int, std::pair<int, int>> camera;
    fixture::play(40, [&](int n) {
        if (n == 1) {
            view().cameraX = rest.startX;
            view().cameraY = rest.startY;
            vh::test::mouseMove(rest.x, rest.y);
        }
        camera[n] = {view().cameraX, view().cameraY};
        if (n == 40)  // the screen follows the camera
            expectShown(vh::test::presentedFrame(), Amb, rest.endX, rest.endY);
    });
    // 16 ms a frame is 16000 units: ten or eleven pixels each frame.
    for (int n = 4; n < 12; ++n) {
        int dx = std::abs(camera[n + 1].first - camera[n].first);
        int dy = std::abs(camera[n + 1].second - camera[n].second);
        int moved = std::max(dx, dy);
        EXPECT_GE(moved, 10) << "frame " << n;
        EXPECT_LE(moved, 11) << "frame " << n;
    }
    EXPECT_EQ(camera[40], std::make_pair(rest.endX, rest.endY));
    EXPECT_EQ(camera[39], camera[40]);  // it stopped there
}

INSTANTIATE_TEST_SUITE_P(BandsAndCorners, Scrolling,
                         testing::Values(Rest{1000, 400, 0, 0, 256, 0},
                                         Rest{260, 400, 256, 0, 0, 0}, Rest{600, 5, 0, 256, 0, 0},
                                         Rest{600, 760, 0, 0, 0, 256},
                                         Rest{1020, 760, 0, 0, 256, 256},
                                         Rest{270, 10, 256, 256, 0, 0}));

TEST_F(Play, APointerThatMovesEveryFrameNeverScrolls) {
    fixture::play(30, [](int n) {
        vh::test::mouseMove(1000 + n % 2, 400);
        EXPECT_EQ(view().cameraX, 0);
    });
}

TEST_F(Play, FocusLostAndRegainedStopsTheFramesPausesTheClockAndRestoresAllTheArt) {
    double pausedAt = 0.0;
    int waits = 0;
    vh::test::onIdle([&] {
        Application& app = Application::instance();
        EXPECT_EQ(app.active, 0);
        EXPECT_EQ(app.clock.now(), pausedAt);
        EXPECT_EQ(vh::test::presentedFrameCount(), 3);  // no frame in the background
        vh::test::advanceTime(5000);                    // five seconds in the background
        if (++waits == 2)
            vh::test::focusGained();
        else
            vh::test::mouseMove(500, 500);  // input wakes it, but it stays inactive
    });
    fixture::play(6, [&](int n) {
        Application& app = Application::instance();
        const Picture frame = n >= 4 ? vh::test::presentedFrame() : Picture{};
        if (n == 2) vh::test::mouseRelease(1, 170, 250);  // mvr, before leaving
        if (n == 3) {
            vh::test::focusLost();
            pausedAt = app.clock.now();
        }
        if (n == 4) {
            // Back: no garbage anywhere, every picture from its file,
            // and the background time was not counted.
            EXPECT_LT(app.lastClockReading, pausedAt + 100.0);
            expectShown(frame, Mvr);
            vh::test::mouseRelease(1, 40, 250);  // amb: the legend markers
        }
        if (n == 5) expectShown(frame, Amb);
    });
    EXPECT_EQ(waits, 2);
    EXPECT_EQ(vh::test::presentedFrameCount(), 6);
}

// The flip after the loss fails, the recovery restores every surface and
// reloads all the art, and the next frame is shown whole.
TEST_F(Play, ALostDisplayMidGameComesBackWhole) {
    fixture::play(5, [](int n) {
        if (n == 2) {
            vh::test::loseAllSurfaces();
            vh::test::clearJournal();
        }
        if (n >= 3) expectShown(vh::test::presentedFrame(), Amb);
    });
    EXPECT_EQ(vh::test::presentedFrameCount(), 5);
    EXPECT_GE(vh::test::journalNames({"IDirectDrawSurface::Restore"}).size(), 2u + 16u);
    EXPECT_EQ(vh::test::journalNames({"GdipCreateBitmapFromFile"}).size(), 16u);
}

class MissingArt : public testing::TestWithParam<const char*> {};

TEST_P(MissingArt, TheGameStillStartsDrawsWhatItHasAndEndsWithZero) {
    fixture::useArtCopy({GetParam()});
    fixture::play(4, [](int n) {
        if (n == 1) {
            const Picture frame = vh::test::presentedFrame();
            EXPECT_EQ(artcheck::lotMismatches(frame, fixture::art("Lots/lot_base.png"), 0, 0), 0);
            EXPECT_EQ(
                fixture::mismatches(frame, 96, 240, fixture::art("GUI/sb_tab_pros.png"), 64, 64),
                0);
        }
        if (n == 2) vh::test::mouseRelease(1, 100, 250);
    });
    EXPECT_EQ(selected(), Pros);
}

INSTANTIATE_TEST_SUITE_P(OneFileGone, MissingArt,
                         testing::Values("GUI/sb_pros.png", "Ambiances/Quiet/quiet.gif"));

}  // namespace
