// A game that stands still for seconds while the pointer rests at an edge
// (stopped with Ctrl+Z or SIGSTOP, held in a debugger, on a paused virtual
// machine): when it runs again, game time has jumped, but the map scrolls on
// at its pace instead of jumping to the end of its range.
#include <gtest/gtest.h>

#include "game_fixture.h"

namespace {

TEST(Stall, TenSecondsStoppedAtTheRightEdgeDoNotJumpTheMap) {
    auto cameraX = fixture::playScrollingRight(12, [&](int frame) {
        if (frame == 5) vh::test::advanceTime(10000);  // stopped for ten seconds
    });
    ASSERT_EQ(cameraX.size(), 12u);
    int largest = 0;
    for (int frame = 2; frame <= 12; ++frame)
        largest = std::max(largest, cameraX[frame] - cameraX[frame - 1]);
    // A tenth of a second of scrolling at most: 100 ms is 66 pixels.
    EXPECT_LE(largest, 67);
    EXPECT_GT(largest, 11) << "the stall still counts for a little scrolling";
    EXPECT_LT(cameraX[12], 256);
}

TEST(Stall, FramesOfUpToATenthOfASecondScrollInFull) {
    vh::test::setFramePeriod(100);  // a slow machine: ten frames a second
    auto cameraX = fixture::playScrollingRight(6);
    EXPECT_EQ(cameraX[2], 0);   // the pointer arrived
    EXPECT_EQ(cameraX[3], 66);  // 100000 units: 66 pixels, 1000 left over
}

}  // namespace
