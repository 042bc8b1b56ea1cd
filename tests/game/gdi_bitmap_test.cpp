// Decoding art files into GDI bitmaps and copying them into surfaces: every
// code and every clean-up order.
#include <gtest/gtest.h>

#include <memory>

#include "display/gdi_bitmap.h"
#include "display/sprite.h"
#include "game_fixture.h"
#include "temp_folder.h"

namespace {

using vh::test::injectResult;
using vh::test::journalNames;

constexpr const char* kLot = ".\\Lots\\lot_base.png";

// Loads run in the art folder, with GDI+ started.
class GdiBitmapLoad : public fixture::WithRealArt {};

TEST_F(GdiBitmapLoad, DecodesAPngToItsSizeAndAMissingFileLeavesTheHolderEmpty) {
    GdiBitmap bitmap;
    ASSERT_EQ(bitmap.loadFromFile(kLot), 0);
    EXPECT_NE(bitmap.handle, nullptr);
    EXPECT_EQ(bitmap.width, 128);
    EXPECT_EQ(bitmap.height, 128);
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

TEST_F(GdiBitmapLoad, NoMemoryForTheImageObjectAnswers0x0A) {
    injectResult("GdipAlloc", 0);
    GdiBitmap bitmap;
    EXPECT_EQ(bitmap.loadFromFile(kLot), 0x0A);
    EXPECT_EQ(bitmap.handle, nullptr);
    EXPECT_TRUE(journalNames({"GdipCreateBitmapFromFile"}).empty());
}

TEST_F(GdiBitmapLoad, AnUnreadableBitmapIsDeletedAndAnswers0x82) {
    injectResult("GetObjectA", 0);
    GdiBitmap bitmap;
    EXPECT_EQ(bitmap.loadFromFile(kLot), 0x82);
    EXPECT_EQ(bitmap.handle, nullptr);
    EXPECT_EQ(journalNames({"GetObjectA", "DeleteObject"}),
              (std::vector<std::string>{"GetObjectA", "DeleteObject"}));
}

TEST_F(GdiBitmapLoad, DisposesOfTheImageWhateverHappens) {
    GdiBitmap bitmap;
    bitmap.loadFromFile(kLot);
    bitmap.loadFromFile("missing.gif");
    EXPECT_EQ(journalNames({"GdipDisposeImage"}).size(), 1u);  // the missing file made none
    EXPECT_EQ(journalNames({"GdipAlloc"}).size(), journalNames({"GdipFree"}).size());
}

namespace fs = std::filesystem;

// The lot picture copied to `onDisk` in the working directory loads whole
// when the game names it `path`.
void expectLotLoadsAs(const fs::path& onDisk, const std::string& path) {
    if (onDisk.has_parent_path()) fs::create_directories(onDisk.parent_path());
    fs::copy_file(fixture::assetPath("Lots/lot_base.png"), onDisk,
                  fs::copy_options::overwrite_existing);
    GdiBitmap bitmap;
    EXPECT_EQ(bitmap.loadFromFile(path.c_str()), 0) << path.size();
    EXPECT_EQ(bitmap.width, 128);
}

// A path that is no text in the locale's encoding (here a Latin-1 "é" in
// the C locale) is taken a byte a character, as Latin-1.
TEST_F(GdiBitmapLoad, PathsOfAnyLengthAndPathsThatAreNotTextAreConvertedWhole) {
    const TempFolder dir("varnholt-paths");
    fs::current_path(dir.path);
    std::string folder(120, 'f');
    for (std::string name : {std::string(254 - 2 * 121 - 4, 'n'), std::string(100, 'm')})
        expectLotLoadsAs(fs::path(folder) / folder / (name + ".png"),
                         folder + "\\" + folder + "\\" + name + ".png");
    expectLotLoadsAs("caf\xC3\xA9.png", "caf\xE9.png");
}

const std::string kMake = "CreateCompatibleDC", kDelete = "DeleteDC",
                  kRelease = "IDirectDrawSurface::ReleaseDC";

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
    const std::vector<std::string> steps = {
        "IDirectDrawSurface::GetDC", kMake, "SelectObject", "StretchBlt", kRelease, kDelete};
    EXPECT_EQ(journalNames(steps), steps);
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

// Nor does its destruction call anything.
TEST_F(GdiBitmapCopy, AnEmptyHolderTouchesNothing) {
    {
        GdiBitmap empty;
        EXPECT_EQ(empty.copyToSurface(surface(), 0, 0, 128, 128), 0x12);
    }
    EXPECT_TRUE(vh::test::journal().empty());
}

// A step of the copy that fails, the copy's answer, and the clean-up calls
// that follow (the memory context's making, deletion, the surface context's
// release), in order.
struct FailingStep {
    const char* name;
    const char* call;
    int64_t answer;
    bool afterWork;
    ResultCode code;
    std::vector<std::string> cleanUp;
};

void PrintTo(const FailingStep& step, std::ostream* out) {
    *out << step.name;
}

class GdiBitmapCopyFailure : public GdiBitmapCopy,
                             public testing::WithParamInterface<FailingStep> {};

TEST_P(GdiBitmapCopyFailure, AnswersItsCodeAndCleansUpInOrder) {
    const FailingStep& step = GetParam();
    if (step.afterWork)
        vh::test::injectResultAt(step.call, 0, step.answer, true);
    else
        injectResult(step.call, step.answer);
    EXPECT_EQ(bitmap.copyToSurface(surface(), 0, 0, 128, 128), step.code);
    EXPECT_EQ(journalNames({kMake, kDelete, kRelease}), step.cleanUp);
}

// A failed delete or release after the copy, which gives its context back
// first, still deletes and releases: only the answer says it failed.
INSTANTIATE_TEST_SUITE_P(
    EachStep, GdiBitmapCopyFailure,
    testing::Values(
        FailingStep{"LostSurface", "IDirectDrawSurface::GetDC", DDERR_SURFACELOST, false, 0x82, {}},
        FailingStep{"NoMemoryContext", "CreateCompatibleDC", 0, false, 0x82, {kMake, kRelease}},
        FailingStep{"SelectObjectNull", "SelectObject", 0, false, 0x82, {kMake, kDelete, kRelease}},
        FailingStep{
            "SelectObjectError", "SelectObject", -1, false, 0x82, {kMake, kDelete, kRelease}},
        FailingStep{
            "SetStretchBltMode", "SetStretchBltMode", 0, false, 0x82, {kMake, kDelete, kRelease}},
        FailingStep{"StretchBlt", "StretchBlt", 0, false, 0x82, {kMake, kDelete, kRelease}},
        FailingStep{
            "DeleteAfterTheCopy", "DeleteDC", FALSE, true, 0x81, {kMake, kRelease, kDelete}},
        FailingStep{"ReleaseAfterTheCopy",
                    "IDirectDrawSurface::ReleaseDC",
                    DDERR_GENERIC,
                    false,
                    0x81,
                    {kMake, kRelease, kDelete}}),
    [](const testing::TestParamInfo<FailingStep>& info) { return std::string(info.param.name); });

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
