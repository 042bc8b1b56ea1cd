// A flood of pointer messages between two frames: the window procedure only
// records them, and the next frame hands the city screen one hover and the
// last left release, and still comes.
#include <gtest/gtest.h>

#include "game_fixture.h"

namespace {

constexpr int kMessages = 100000;

TEST(Flood, AHundredThousandPointerMessagesGiveOneHoverAndAtMostOneClick) {
    // The pointer rests in the right band: the map scrolls every frame.
    auto cameraX = fixture::playScrollingRight(8, [&](int frame) {
        if (frame == 6) {
            // Half of them left releases over the Pros tab, half moves all over
            // the map; the last one a release back on the resting place.
            for (int i = 0; i < kMessages - 1; ++i) {
                if (i % 2)
                    vh::test::mouseRelease(1, 100, 250);
                else
                    vh::test::mouseMove(300 + i % 650, 50 + i % 650);
            }
            vh::test::mouseRelease(1, 1000, 400);
        }
        if (frame == 7) fixture::expectArtShown(vh::test::presentedFrame());  // whole after it
    });
    ASSERT_EQ(vh::test::presentedFrameCount(), 8);

    // One hover, at the last position: the pointer never left its resting place
    // as far as the map view knows, so it scrolled on by one frame's step.
    EXPECT_GE(cameraX[7] - cameraX[6], 10);
    EXPECT_LE(cameraX[7] - cameraX[6], 11);
    // Only the last release was a click, and it fell on the map: no tab changed.
    EXPECT_EQ(Application::instance().cityScreen.sidebar.selectedTab, Amb);
}

}  // namespace
