// Decoding art files into GDI bitmaps and copying them into surfaces: every
// code and every clean-up order.
#include <gtest/gtest.h>

#include <memory>

#include "display/gdi_bitmap.h"
#include "display/sprite.h"
#include "game_fixture.h"

namespace {

using vh::test::injectResult;
using vh::test::journalNames;

constexpr const char* kLot = ".\\Lots\\lot_base.png";

TEST(GdiBitmapLoad, DecodesAPngToItsSize) {
    fixture::useRealArt();
    GdiBitmap bitmap;
    ASSERT_EQ(bitmap.loadFromFile(kLot), 0);
    EXPECT_NE(bitmap.handle, nullptr);
    EXPECT_EQ(bitmap.width, 128);
    EXPECT_EQ(bitmap.height, 128);
}

TEST(GdiBitmapLoad, AMissingFileLeavesTheHolderEmpty) {
    fixture::useRealArt();
    GdiBitmap bitmap;
    ASSERT_EQ(bitmap.loadFromFile(kLot), 0);
    HBITMAP old = bitmap.handle;
    vh::test::clearJournal();
    EXPECT_EQ(bitmap.loadFromFile("GUI\\no_such_picture.png"), 0x82);
    EXPECT_EQ(bitmap.handle, nullptr);
    // The old bitmap went first.
    auto calls = vh::test::journal();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front().name, "DeleteObject");
    EXPECT_EQ(calls.front().object, old);
}

TEST(GdiBitmapLoad, NoMemoryForTheImageObjectAnswers0x0A) {
    fixture::useRealArt();
    injectResult("GdipAlloc", 0);
    GdiBitmap bitmap;
    EXPECT_EQ(bitmap.loadFromFile(kLot), 0x0A);
    EXPECT_EQ(bitmap.handle, nullptr);
    EXPECT_TRUE(journalNames({"GdipCreateBitmapFromFile"}).empty());
}

TEST(GdiBitmapLoad, AnUnreadableBitmapIsDeletedAndAnswers0x82) {
    fixture::useRealArt();
    injectResult("GetObjectA", 0);
    GdiBitmap bitmap;
    EXPECT_EQ(bitmap.loadFromFile(kLot), 0x82);
    EXPECT_EQ(bitmap.handle, nullptr);
    EXPECT_EQ(journalNames({"GetObjectA", "DeleteObject"}),
              (std::vector<std::string>{"GetObjectA", "DeleteObject"}));
}

TEST(GdiBitmapLoad, DisposesOfTheImageWhateverHappens) {
    fixture::useRealArt();
    GdiBitmap bitmap;
    bitmap.loadFromFile(kLot);
    bitmap.loadFromFile("missing.gif");
    EXPECT_EQ(journalNames({"GdipDisposeImage"}).size(), 1u);  // the missing file made none
    EXPECT_EQ(journalNames({"GdipAlloc"}).size(), journalNames({"GdipFree"}).size());
}

TEST(GdiBitmapLoad, PathsOfAnyLengthAreConvertedWhole) {
    namespace fs = std::filesystem;
    fixture::startGdiplus();
    fs::path dir = fs::temp_directory_path() / ("varnholt-long-" + std::to_string(getpid()));
    std::string folder(120, 'f');
    fs::create_directories(dir / folder / folder);
    for (std::string name : {std::string(254 - 2 * 121 - 4, 'n'), std::string(100, 'm')}) {
        fs::copy_file(fixture::assetPath("Lots/lot_base.png"),
                      dir / folder / folder / (name + ".png"),
                      fs::copy_options::overwrite_existing);
        fs::current_path(dir);
        std::string path = folder + "\\" + folder + "\\" + name + ".png";
        GdiBitmap bitmap;
        EXPECT_EQ(bitmap.loadFromFile(path.c_str()), 0) << path.size();
        EXPECT_EQ(bitmap.width, 128);
    }
    fs::remove_all(dir);
}

// A path that is no text in the locale's encoding (here a Latin-1 "é" in
// the C locale) is taken a byte a character, as Latin-1.
TEST(GdiBitmapLoad, APathThatIsNotTextInTheLocaleIsReadAsLatin1) {
    namespace fs = std::filesystem;
    fixture::startGdiplus();
    fs::path dir = fs::temp_directory_path() / ("varnholt-latin1-" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::copy_file(fixture::assetPath("Lots/lot_base.png"), dir / "caf\xC3\xA9.png",
                  fs::copy_options::overwrite_existing);
    fs::current_path(dir);
    GdiBitmap bitmap;
    EXPECT_EQ(bitmap.loadFromFile("caf\xE9.png"), 0);
    EXPECT_EQ(bitmap.width, 128);
    fs::remove_all(dir);
}

TEST(GdiBitmapLoad, DestroyingAnEmptyHolderCallsNothing) {
    vh::test::clearJournal();
    { GdiBitmap bitmap; }
    EXPECT_TRUE(vh::test::journal().empty());
}

// ---- Copies ---------------------------------------------------------------------

class GdiBitmapCopy : public testing::Test {
  protected:
    void SetUp() override {
        fixture::startDisplayOnly();
        fixture::useRealArt();
        sprite = std::make_unique<Sprite>(1, 128, 128);
        ASSERT_EQ(bitmap.loadFromFile(kLot), 0);
        vh::test::clearJournal();
    }
    IDirectDrawSurface* surface() { return sprite->frames[0][0]; }
    GdiBitmap bitmap;
    std::unique_ptr<Sprite> sprite;
};

TEST_F(GdiBitmapCopy, CopiesTheBlockAndCleansUpInOrder) {
    EXPECT_EQ(bitmap.copyToSurface(surface(), 0, 0, 128, 128), 0);
    EXPECT_EQ(
        journalNames({"IDirectDrawSurface::GetDC", "CreateCompatibleDC", "SelectObject",
                      "StretchBlt", "IDirectDrawSurface::ReleaseDC", "DeleteDC"}),
        (std::vector<std::string>{"IDirectDrawSurface::GetDC", "CreateCompatibleDC", "SelectObject",
                                  "StretchBlt", "IDirectDrawSurface::ReleaseDC", "DeleteDC"}));
    auto expected = fixture::art("Lots/lot_base.png");
    EXPECT_EQ(fixture::mismatches(vh::test::surfacePixels(surface()), 0, 0, expected, 128, 128), 0);
}

TEST_F(GdiBitmapCopy, CopiesTheBlockAtAnyCornerOfTheBitmap) {
    Sprite small(1, 16, 16);
    ASSERT_EQ(bitmap.copyToSurface(small.frames[0][0], 72, 24, 16, 16), 0);
    auto lot = fixture::art("Lots/lot_base.png");
    auto copied = vh::test::surfacePixels(small.frames[0][0]);
    int wrong = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            wrong += copied.at(x, y) != (lot.at(72 + x, 24 + y) & 0xFFFFFF);
    EXPECT_EQ(wrong, 0);
}

TEST_F(GdiBitmapCopy, AnEmptyHolderTouchesNothing) {
    GdiBitmap empty;
    EXPECT_EQ(empty.copyToSurface(surface(), 0, 0, 128, 128), 0x12);
    EXPECT_TRUE(vh::test::journal().empty());
}

TEST_F(GdiBitmapCopy, ALostSurfaceAnswers0x82) {
    injectResult("IDirectDrawSurface::GetDC", DDERR_SURFACELOST);
    EXPECT_EQ(bitmap.copyToSurface(surface(), 0, 0, 128, 128), 0x82);
    EXPECT_TRUE(journalNames({"CreateCompatibleDC", "IDirectDrawSurface::ReleaseDC"}).empty());
}

TEST_F(GdiBitmapCopy, NoMemoryContextGivesTheSurfaceContextBack) {
    injectResult("CreateCompatibleDC", 0);
    EXPECT_EQ(bitmap.copyToSurface(surface(), 0, 0, 128, 128), 0x82);
    EXPECT_EQ(journalNames({"IDirectDrawSurface::ReleaseDC", "DeleteDC"}),
              std::vector<std::string>{"IDirectDrawSurface::ReleaseDC"});
}

struct FailingStep {
    const char* call;
    int64_t answer;
};

class GdiBitmapCopyFailure : public GdiBitmapCopy,
                             public testing::WithParamInterface<FailingStep> {};

TEST_P(GdiBitmapCopyFailure, DeletesTheMemoryContextThenReleasesTheSurfaceContext) {
    injectResult(GetParam().call, GetParam().answer);
    EXPECT_EQ(bitmap.copyToSurface(surface(), 0, 0, 128, 128), 0x82);
    EXPECT_EQ(journalNames({"IDirectDrawSurface::ReleaseDC", "DeleteDC"}),
              (std::vector<std::string>{"DeleteDC", "IDirectDrawSurface::ReleaseDC"}));
}

INSTANTIATE_TEST_SUITE_P(EachStep, GdiBitmapCopyFailure,
                         testing::Values(FailingStep{"SelectObject", 0},
                                         FailingStep{"SelectObject", -1},
                                         FailingStep{"SetStretchBltMode", 0},
                                         FailingStep{"StretchBlt", 0}));

TEST_F(GdiBitmapCopy, AFailedDeleteAfterTheCopyAnswers0x81) {
    // The context is deleted all the same: only the answer says it failed.
    vh::test::injectResultAt("DeleteDC", 0, FALSE, true);
    EXPECT_EQ(bitmap.copyToSurface(surface(), 0, 0, 128, 128), 0x81);
    EXPECT_EQ(journalNames({"IDirectDrawSurface::ReleaseDC"}).size(), 1u);  // still given back
}

TEST_F(GdiBitmapCopy, AFailedReleaseAfterTheCopyAnswers0x81) {
    injectResult("IDirectDrawSurface::ReleaseDC", DDERR_GENERIC);
    EXPECT_EQ(bitmap.copyToSurface(surface(), 0, 0, 128, 128), 0x81);
    EXPECT_EQ(journalNames({"DeleteDC"}).size(), 1u);  // still deleted
}

TEST_F(GdiBitmapCopy, TransparentArtArrivesAsOpaqueMagenta) {
    // The markers' backgrounds are their GIFs' transparent index.
    GdiBitmap marker;
    ASSERT_EQ(marker.loadFromFile(".\\Ambiances\\Green\\green.gif"), 0);
    Sprite small(1, 16, 16);
    ASSERT_EQ(marker.copyToSurface(small.frames[0][0], 0, 0, 16, 16), 0);
    auto pixels = vh::test::surfacePixels(small.frames[0][0]);
    int magenta = 0;
    for (uint32_t p : pixels.pixels) magenta += (p & 0xFFFFFF) == 0xFF00FF;
    EXPECT_GT(magenta, 0);
    EXPECT_LT(magenta, 16 * 16);
}

}  // namespace
