// Started where its art is not, the game shows what it could load, which may
// be nothing at all: the platform says on stderr which pictures it could not
// read, why, and in which working directory it looked, once each and no more
// than a handful of lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "game_fixture.h"
#include "image_bytes.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

// Plays two frames, loses the display (every picture is read again), plays
// one more and ends with Escape; what the platform said on stderr.
std::string playAndListen() {
    testing::internal::CaptureStderr();
    fixture::play(4, [](int frame) {
        if (frame == 2) vh::test::loseAllSurfaces();
    });
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(vh::test::presentedFrameCount(), 4);
    return said;
}

// What the platform says of a picture it cannot read in the folder `where`.
std::string cannotRead(const std::string& picture, const fs::path& where, const char* why) {
    return "varnholt: cannot read the picture " + picture + " in the working directory " +
           where.string() + ": " + why;
}
constexpr const char* kNoFile = "No such file or directory";

TEST(MissingArt, FromAnEmptyFolderTheFirstFivePicturesAreNamedThenOneLineMore) {
    const TempFolder empty("varnholt-empty");
    fs::current_path(empty.path);
    fixture::startGdiplus();
    const auto said = fixture::lines(playAndListen());
    const std::vector<std::string> expected = {
        cannotRead("GUI/sb_top.png", empty.path, kNoFile),
        cannotRead("Lots/lot_base.png", empty.path, kNoFile),
        cannotRead("Ambiances/Green/green.gif", empty.path, kNoFile),
        cannotRead("Ambiances/Polluting/polluting.gif", empty.path, kNoFile),
        cannotRead("Ambiances/Criminal/criminal.gif", empty.path, kNoFile),
        "varnholt: more pictures cannot be read either",
    };
    EXPECT_EQ(said, expected);
}

TEST(MissingArt, EachPictureThatCannotBeReadIsNamedOnceWithItsReason) {
    const std::string dir = fixture::useArtCopy({"GUI/sb_pros.png", "Lots/lot_base.png"});
    fs::create_directory(dir + "/Lots/lot_base.png");  // a folder where the picture should be
    std::ofstream(dir + "/Ambiances/Green/green.gif") << "not a picture";
    const auto said = fixture::lines(playAndListen());
    const fs::path where = fs::current_path();
    const std::vector<std::string> expected = {
        cannotRead("GUI/sb_pros.png", where, kNoFile),
        cannotRead("Lots/lot_base.png", where, "not a file"),
        cannotRead("Ambiances/Green/green.gif", where, "not a PNG or GIF picture that can be read"),
    };
    EXPECT_EQ(said, expected);
}

TEST(MissingArt, WithAllTheArtNothingIsSaid) {
    fixture::useRealArt();
    EXPECT_EQ(playAndListen(), "");
}

}  // namespace
