// The game itself on the SDL host, played the hostile way: focus switched
// away and back as fast as X allows, and the window minimised and restored
// in bursts under a window manager. The game plays on, shows its picture
// again as soon as it is back, and still answers Escape.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "image_bytes.h"
#include "program_run.h"
#include "temp_folder.h"
#include "x_server.h"

#include <X11/keysym.h>

namespace {

class HostilePlay : public testing::Test {
  protected:
    void play(bool windowManager, std::vector<std::string> args = {},
              xtest::ProgramRun::Errors errorsTo = xtest::ProgramRun::Read) {
        ASSERT_TRUE(x_.start(1024, 768));
        if (windowManager) {
            ASSERT_TRUE(x_.startWindowManager());
        }
        ASSERT_TRUE(game_.start(
            VARNHOLT_PROGRAM, VARNHOLT_ASSETS_DIR,
            {{"SDL_VIDEODRIVER", ""}, {"HOME", home_.path.string()}, {"XDG_CONFIG_HOME", ""}},
            errorsTo, args));
        window_ = x_.findWindow("Varnholt");
        ASSERT_NE(window_, 0u) << game_.errors;
        ASSERT_TRUE(x_.waitForGamePicture()) << "no first picture";
    }

    // Escape ends the game with 0, and soon.
    void escape() {
        ASSERT_TRUE(game_.running()) << "the game ended on its own: " << game_.errors;
        x_.pressKey(XK_Escape);
        ASSERT_TRUE(game_.wait()) << "Escape was not answered";
        EXPECT_EQ(game_.status, 0);
        EXPECT_EQ(game_.errors, "");
    }

    // Ends this run's bookkeeping and its X server, for a run after it.
    void endRun() {
        close(game_.errorPipe);
        game_ = {};
        x_.stop();
    }

    // The settings file the game reads from its home, before it starts.
    void putSettings(const std::string& text) {
        std::filesystem::create_directories(settingsFile_.parent_path());
        std::ofstream(settingsFile_) << text;
    }

    std::string settings() const { return fixture::readFile<std::string>(settingsFile_); }

    const TempFolder home_{"varnholt-hostile"};
    const std::filesystem::path settingsFile_ = home_.path / ".config/varnholt/settings.ini";
    xtest::XServer x_;
    xtest::ProgramRun game_;
    Window window_ = 0;
};

// The window moved, then the game ended from outside: by a closed terminal
// (SIGHUP), by Ctrl+C (SIGINT), by SIGTERM, by the window's close button or
// by another program destroying the window. It ends with 0 and keeps the
// window's place; a window never moved or resized is not written to the
// settings file at all.
TEST_F(HostilePlay, EndedFromOutsideTheGameExitsWithZeroAndKeepsTheWindowsPlace) {
    enum Ending { HangUp, Interrupt, Terminate, Close, Destroy };
    for (const auto& [ending, moved] : {std::pair{HangUp, true},
                                        {Interrupt, true},
                                        {Close, true},
                                        {Destroy, true},
                                        {Terminate, false},
                                        {Interrupt, false}}) {
        std::filesystem::remove_all(home_.path / ".config");
        play(false, {"--windowed"});
        if (moved) {
            XMoveWindow(x_.display(), window_, 40, 30);
            XSync(x_.display(), False);
        }
        if (ending == Destroy) {
            XDestroyWindow(x_.display(), window_);
            XSync(x_.display(), False);
        } else if (ending == Close) {
            x_.closeWindow(window_);
        } else {
            kill(game_.child.pid, ending == HangUp      ? SIGHUP
                                  : ending == Interrupt ? SIGINT
                                                        : SIGTERM);
        }
        ASSERT_TRUE(game_.wait()) << "the game did not end, case " << ending;
        EXPECT_EQ(game_.status, 0) << ending;
        EXPECT_EQ(game_.errors, "") << ending;
        if (moved) {
            EXPECT_NE(settings().find("x = 40\ny = 30\n"), std::string::npos) << settings();
        } else {
            EXPECT_EQ(settings(), "") << "written without a change";
        }
        endRun();
    }
}

// The command line chooses over the settings file, for this run only: the
// file is left as it was.
TEST_F(HostilePlay, TheCommandLineChoosesOverTheSettingsFileForOneRun) {
    for (const auto& [said, option, fullScreen] :
         {std::tuple{"windowed", "--fullscreen", true}, {"fullscreen", "--windowed", false}}) {
        const std::string file = std::string("[display]\nmode = ") + said + "\n";
        putSettings(file);
        play(false, {option});
        XWindowAttributes attributes{};
        XGetWindowAttributes(x_.display(), window_, &attributes);
        EXPECT_EQ(attributes.width == 1024 && attributes.height == 768, fullScreen) << option;
        kill(game_.child.pid, SIGINT);
        ASSERT_TRUE(game_.wait()) << "Ctrl+C did not end the game";
        EXPECT_EQ(game_.status, 0);
        EXPECT_EQ(settings(), file);
        endRun();
    }
}

// A settings file with garbage in every line: one line on stderr for each,
// and the game starts and plays all the same.
TEST_F(HostilePlay, ASettingsFileOfGarbageCostsALineEachAndTheGamePlays) {
    putSettings("[display\nmode = sideways\n== \n\x7f\x01 binary\nwidth = 12\n");
    play(false);
    x_.pressKey(XK_Escape);
    ASSERT_TRUE(game_.wait());
    EXPECT_EQ(game_.status, 0);
    const auto lines = game_.errorLines();
    EXPECT_EQ(lines.size(), 5u) << game_.errors;
    for (const auto& line : lines)
        EXPECT_EQ(line.rfind("varnholt: " + settingsFile_.string() + ":", 0), 0u) << line;
}

// With stderr closed the descriptor is not reused for the X connection: a
// screenshot's message cannot land in the X stream and freeze the game.
TEST_F(HostilePlay, WithStandardErrorClosedAScreenshotLeavesTheGamePlaying) {
    play(false, {}, xtest::ProgramRun::Closed);
    x_.pressKey(XK_F12);
    const auto saved = [&] {
        std::error_code error;
        return std::filesystem::directory_iterator(home_.path / "Pictures", error) !=
               std::filesystem::directory_iterator();
    };
    ASSERT_TRUE(xtest::waitUntil(xtest::kPatience, 10, saved)) << "no screenshot";
    escape();
}

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
    EXPECT_TRUE(x_.waitForGamePicture()) << "no picture after the switches";
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
    // shows its picture again and answers Escape, which a frozen game never does.
    EXPECT_TRUE(x_.waitForGamePicture()) << "no picture after the burst";
    escape();
}

}  // namespace
