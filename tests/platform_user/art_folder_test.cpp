// The installed game's art folder, found from the program's own folder on a
// real file system: an install laid out as Debian's, one moved elsewhere, and
// a copy in the build tree, which has none.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "varnholt/art_folder.h"

namespace {

namespace fs = std::filesystem;

class ArtFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/varnholt-art-folder-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = fs::canonical(pattern);
        started = fs::current_path();
    }
    void TearDown() override {
        fs::current_path(started);
        fs::remove_all(root);
    }

    fs::path root;
    fs::path started;
};

TEST_F(ArtFolderTest, AnInstallFindsItsArtBesideItsProgramFolderWhereverItLies) {
    for (const char* prefix : {"usr", "opt/somewhere/else"}) {
        fs::create_directories(root / prefix / "games");
        fs::create_directories(root / prefix / "share/games/varnholt/Lots");
        fs::current_path(root);
        ASSERT_TRUE(vh::platform::enterArtFolder((root / prefix / "games").string() + "/"))
            << prefix;
        EXPECT_EQ(fs::current_path(), root / prefix / "share/games/varnholt");
        EXPECT_TRUE(fs::is_directory("Lots")) << "the game's relative paths now reach the art";
    }
}

TEST_F(ArtFolderTest, WithoutAnInstalledArtFolderTheWorkingDirectoryStays) {
    fs::create_directories(root / "build");
    fs::create_directories(root / "assets");
    fs::current_path(root / "assets");
    EXPECT_FALSE(vh::platform::enterArtFolder((root / "build").string()));
    EXPECT_FALSE(vh::platform::enterArtFolder(""));
    EXPECT_EQ(fs::current_path(), root / "assets");
}

TEST_F(ArtFolderTest, TheProgramFolderIsTheOneHoldingTheRunningProgram) {
    std::string folder = vh::platform::programFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(fs::canonical(folder), fs::canonical("/proc/self/exe").parent_path());
}

}  // namespace
