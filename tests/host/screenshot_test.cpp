// Screenshots without a display: the pictures folder the player chose, the
// names of pictures taken in the same second, and F12 before any picture.
#include <gtest/gtest.h>
#include <pwd.h>

#include <filesystem>
#include <fstream>

#include "screenshot.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;
using vh::platform::picturesFolder;
using vh::platform::saveScreenshot;

TEST(Screenshot, ThePicturesFolderIsTheOneUserDirsNamesElseHomesPictures) {
    const TempFolder temp("varnholt-pictures");
    const std::string home = temp.path.string();
    fs::create_directories(temp.path / ".config");
    setenv("HOME", (home + "/").c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    const struct {
        const char* userDirs;
        std::string folder;
    } cases[] = {{nullptr, home + "/Pictures"},
                 {"XDG_PICTURES_DIR=\"$HOME/Bilder//\"\n", home + "/Bilder"},
                 {"# localised\nXDG_PICTURES_DIR=\"/srv/Imágenes/\"\r\n", "/srv/Imágenes"},
                 {"XDG_PICTURES_DIR=\"$HOME/\"\n", home + "/Pictures"},  // none chosen
                 {"XDG_PICTURES_DIR=\"$HOME/A\"\nXDG_PICTURES_DIR=\"$HOME/B\"\n", home + "/B"}};
    for (const auto& c : cases) {
        fs::remove(temp.path / ".config/user-dirs.dirs");
        if (c.userDirs) std::ofstream(temp.path / ".config/user-dirs.dirs") << c.userDirs;
        EXPECT_EQ(picturesFolder(), c.folder) << (c.userDirs ? c.userDirs : "no user-dirs.dirs");
    }
    unsetenv("HOME");  // the password database's home then
    EXPECT_EQ(picturesFolder(), std::string(getpwuid(getuid())->pw_dir) + "/Pictures");
}

TEST(Screenshot, PicturesOfOneSecondGetNamesOfTheirOwnAndNoPictureNoFile) {
    setenv("TZ", "UTC", 1);
    const TempFolder temp("varnholt-pictures");
    const std::string folder = (temp.path / "shots").string();
    const std::time_t taken = 1767323045;  // 2026-01-02 03:04:05 UTC
    std::string path, whyNot;
    EXPECT_FALSE(saveScreenshot(nullptr, folder, path, whyNot, taken));
    EXPECT_EQ(whyNot, "the game has shown no picture yet");
    EXPECT_FALSE(fs::exists(folder));
    SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormat(0, 4, 3, 32, SDL_PIXELFORMAT_RGB888);
    for (const char* name : {"", "-2", "-3"}) {
        ASSERT_TRUE(saveScreenshot(picture, folder, path, whyNot, taken)) << whyNot;
        EXPECT_EQ(path, folder + "/varnholt_2026-01-02_03-04-05" + name + ".png");
    }
    SDL_FreeSurface(picture);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 3);
}

}  // namespace
