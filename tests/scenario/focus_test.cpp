// Switching away and back as fast as a player can: whatever order the focus
// changes arrive in, the game plays on and shows its picture again.
#include <gtest/gtest.h>

#include "game_fixture.h"

namespace {

// Focus changes come in bursts, a burst at a time between frames; the game
// may read several before it handles the first. The last of all is a gain.
TEST(FocusBursts, TheGamePlaysOnAndShowsItsPictureAfterEveryBurst) {
    fixture::useRealArt();
    int burstsLeft = 20;
    int framesAfterLastBurst = 0;
    vh::test::onPresent([&](int) {
        if (burstsLeft > 0) {
            // lost, gained, lost in one go: the game is in the background after it.
            vh::test::focusLost();
            vh::test::focusGained();
            vh::test::focusLost();
            --burstsLeft;
            return;
        }
        if (++framesAfterLastBurst == 3) {
            fixture::expectArtShown(vh::test::presentedFrame());
            vh::test::keyPress(VK_ESCAPE);
        }
    });
    // In the background the game waits; the next gain ends the wait.
    vh::test::onIdle([] { vh::test::focusGained(); });
    EXPECT_EQ(fixture::runWinMain(), 0);
    EXPECT_EQ(burstsLeft, 0) << "the game ended during the bursts";
    ASSERT_EQ(framesAfterLastBurst, 3);
}

}  // namespace
