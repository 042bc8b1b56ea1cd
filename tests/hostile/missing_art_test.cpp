// Started where its art is not, the game shows what it could load, which may
// be nothing at all: the platform says on stderr which pictures it could not
// read, why, and in which working directory it looked, once each and no more
// than a handful of lines.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "game_fixture.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// Plays two frames, loses the display (every picture is read again), plays
// one more and ends with Escape; what the platform said on stderr.
std::string playAndListen() {
    vh::test::onPresent([](int frame) {
        if (frame == 2) vh::test::loseAllSurfaces();
        if (frame == 4) vh::test::keyPress(VK_ESCAPE);
    });
    testing::internal::CaptureStderr();
    const int exitCode = fixture::runWinMain();
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(vh::test::presentedFrameCount(), 4);
    return said;
}

std::string workingDirectory() {
    return fs::current_path().string();
}

TEST(MissingArt, FromAnEmptyFolderTheFirstFivePicturesAreNamedThenOneLineMore) {
    fs::path empty = fs::temp_directory_path() / ("varnholt-empty-" + std::to_string(getpid()));
    fs::create_directories(empty);
    fs::current_path(empty);
    fixture::startGdiplus();
    const auto said = lines(playAndListen());
    const std::string where = " in the working directory " + empty.string() + ": ";
    const std::vector<std::string> expected = {
        "varnholt: cannot read the picture GUI/sb_top.png" + where + "No such file or directory",
        "varnholt: cannot read the picture Lots/lot_base.png" + where + "No such file or directory",
        "varnholt: cannot read the picture Ambiances/Green/green.gif" + where +
            "No such file or directory",
        "varnholt: cannot read the picture Ambiances/Polluting/polluting.gif" + where +
            "No such file or directory",
        "varnholt: cannot read the picture Ambiances/Criminal/criminal.gif" + where +
            "No such file or directory",
        "varnholt: more pictures cannot be read either",
    };
    EXPECT_EQ(said, expected);
    fs::remove_all(empty);
}

TEST(MissingArt, EachPictureThatCannotBeReadIsNamedOnceWithItsReason) {
    const std::string dir = fixture::useArtCopy({"GUI/sb_pros.png", "Lots/lot_base.png"});
    fs::create_directory(dir + "/Lots/lot_base.png");  // a folder where the picture should be
    std::ofstream(dir + "/Ambiances/Green/green.gif") << "not a picture";
    const auto said = lines(playAndListen());
    const std::string where = " in the working directory " + workingDirectory() + ": ";
    const std::vector<std::string> expected = {
        "varnholt: cannot read the picture GUI/sb_pros.png" + where + "No such file or directory",
        "varnholt: cannot read the picture Lots/lot_base.png" + where + "not a file",
        "varnholt: cannot read the picture Ambiances/Green/green.gif" + where +
            "not a PNG or GIF picture that can be read",
    };
    EXPECT_EQ(said, expected);
}

TEST(MissingArt, WithAllTheArtNothingIsSaid) {
    fixture::useRealArt();
    EXPECT_EQ(playAndListen(), "");
}

}  // namespace
