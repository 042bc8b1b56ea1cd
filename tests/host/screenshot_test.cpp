// Screenshots without a display: the pictures folder the player chose, the
// names of pictures taken in the same second, and F12 before any picture.
#include <gtest/gtest.h>
#include <pwd.h>

#include <filesystem>
#include <fstream>

#include "screenshot.h"

namespace {

namespace fs = std::filesystem;
using vh::platform::picturesFolder;
using vh::platform::saveScreenshot;

const fs::path kHome =
    fs::temp_directory_path() / ("varnholt-pictures-" + std::to_string(getpid()));

TEST(Screenshot, ThePicturesFolderIsTheOneUserDirsNamesElseHomesPictures) {
    fs::create_directories(kHome / ".config");
    setenv("HOME", (kHome.string() + "/").c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    const std::string home = kHome.string();
    const struct {
        const char* userDirs;
        std::string folder;
    } cases[] = {{nullptr, home + "/Pictures"},
                 {"XDG_PICTURES_DIR=\"$HOME/Bilder//\"\n", home + "/Bilder"},
                 {"# localised\nXDG_PICTURES_DIR=\"/srv/Imágenes/\"\r\n", "/srv/Imágenes"},
                 {"XDG_PICTURES_DIR=\"$HOME/\"\n", home + "/Pictures"},  // none chosen
                 {"XDG_PICTURES_DIR=\"$HOME/A\"\nXDG_PICTURES_DIR=\"$HOME/B\"\n", home + "/B"}};
    for (const auto& c : cases) {
        fs::remove(kHome / ".config/user-dirs.dirs");
        if (c.userDirs) std::ofstream(kHome / ".config/user-dirs.dirs") << c.userDirs;
        EXPECT_EQ(picturesFolder(), c.folder) << (c.userDirs ? c.userDirs : "no user-dirs.dirs");
    }
    unsetenv("HOME");  // the password database's home then
    EXPECT_EQ(picturesFolder(), std::string(getpwuid(getuid())->pw_dir) + "/Pictures");
    fs::remove_all(kHome);
}

TEST(Screenshot, PicturesOfOneSecondGetNamesOfTheirOwnAndNoPictureNoFile) {
    setenv("TZ", "UTC", 1);
    const std::string folder = (kHome / "shots").string();
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
    fs::remove_all(kHome);
}

}  // namespace
