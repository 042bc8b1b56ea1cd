// The game itself on the SDL host, played the hostile way: focus switched
// away and back as fast as X allows, and the window minimised and restored
// in bursts under a window manager. The game plays on, shows its picture
// again as soon as it is back, and still answers Escape.
#include <gtest/gtest.h>

#include "program_run.h"
#include "x_server.h"

#include <X11/keysym.h>

namespace {

using Clock = std::chrono::steady_clock;

class HostilePlay : public testing::Test {
  protected:
    void play(bool windowManager) {
        ASSERT_TRUE(x_.start(1024, 768));
        if (windowManager) {
            ASSERT_TRUE(x_.startWindowManager());
        }
        ASSERT_TRUE(game_.start(VARNHOLT_PROGRAM, VARNHOLT_ASSETS_DIR, {{"SDL_VIDEODRIVER", ""}}));
        window_ = x_.findWindow("Varnholt");
        ASSERT_NE(window_, 0u) << game_.errors;
        ASSERT_TRUE(x_.waitForGamePicture(10000)) << "no first picture";
    }

    // Escape ends the game with 0, and soon.
    void escape() {
        ASSERT_TRUE(game_.running()) << "the game ended on its own: " << game_.errors;
        x_.pressKey(XK_Escape);
        ASSERT_TRUE(game_.wait(5000)) << "Escape was not answered";
        EXPECT_EQ(game_.status, 0);
        EXPECT_EQ(game_.errors, "");
    }

    xtest::XServer x_;
    xtest::ProgramRun game_;
    Window window_ = 0;
};

TEST_F(HostilePlay, FiftyQuickFocusSwitchesLeaveTheGamePlaying) {
    play(false);
    const Window other = x_.createWindow(0, 0, 200, 200);
    for (int i = 0; i < 50; ++i) {
        x_.focus(other);
        std::this_thread::sleep_for(std::chrono::milliseconds(i % 7));
        x_.focus(window_);
        std::this_thread::sleep_for(std::chrono::milliseconds(i % 5));
    }
    ASSERT_TRUE(game_.running()) << "the game ended during the switches: " << game_.errors;
    EXPECT_TRUE(x_.waitForGamePicture(2000)) << "no picture after the switches";
    escape();
}

TEST_F(HostilePlay, AMinimiseAndRestoreBurstDoesNotFreezeTheGame) {
    play(true);
    // As fast as the window manager carries them out: each minimise and
    // each restore is done before the next is asked for.
    constexpr long kNormal = 1, kMinimised = 3;
    for (int i = 0; i < 50; ++i) {
        x_.minimise(window_);
        ASSERT_TRUE(x_.waitForState(window_, kMinimised)) << "not minimised, round " << i;
        x_.activate(window_);
        ASSERT_TRUE(x_.waitForState(window_, kNormal)) << "not restored, round " << i;
    }
    // Restoring takes the window manager a moment of its own; the game then
    // shows its picture and answers at once, not seconds later.
    EXPECT_TRUE(x_.waitForGamePicture(3000)) << "no picture after the burst";
    escape();
}

}  // namespace
