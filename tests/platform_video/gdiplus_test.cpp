// The image decoder behind GDI+ on the headless host: broken files refused
// without harm or leaks, our layer's answers where Windows' are not pinned
// down, and how Windows paths find files. What GDI+ makes of every colour
// type, depth and transparency is stated by the conformance tests
// (tests/conformance).
#include <gtest/gtest.h>

#include <string>

#include "image_files.h"
#include "varnholt/platform_test.h"

namespace {

using namespace fixture;
using namespace Gdiplus;
using namespace Gdiplus::DllExports;

constexpr uint32_t kMagenta = 0xFF00FF;

// The picture is the logical screen: a frame placed inside it, or reaching
// past its edges, leaves the rest transparent and loses what lies outside.
// (Wine's GDI+ gives the first frame's own size instead, with or without
// further frames; Windows' answer is not pinned down by anything public.)
TEST_F(ImageTest, GifFrameIsPlacedOnItsScreen) {
    GifRecipe recipe{.screenWidth = 6,
                     .screenHeight = 5,
                     .globalColours = {10, 0, 0, 20, 0, 0, 30, 0, 0, 40, 0, 0},
                     .index = [](int x, int y) { return uint8_t((x + y) % 4); }};
    for (auto [left, top] : {std::pair{1, 2}, {4, 3}}) {
        recipe.left = left;
        recipe.top = top;
        SCOPED_TRACE(testing::Message() << left << "," << top);
        write("o.gif", makeGif(recipe));
        auto picture = vh::test::decodeImageFile("o.gif", kMagenta);
        ASSERT_EQ(picture.width, 6);
        ASSERT_EQ(picture.height, 5);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x) {
                const bool inFrame = x >= left && x < left + 4 && y >= top && y < top + 4;
                const uint32_t red = uint32_t(10 * ((x - left + y - top) % 4 + 1)) << 16;
                ASSERT_EQ(picture.at(x, y), inFrame ? red : kMagenta) << x << "," << y;
            }
    }
}

// A frame with no colour map at all has no colours and does not load. (Wine's
// GDI+ crashes on such a file, so this is our layer's answer alone.)
TEST_F(ImageTest, GifWithoutAnyColourMapDoesNotLoad) {
    GpBitmap* image = nullptr;
    const Bytes gif = makeGif({.index = [](int x, int) { return uint8_t(x); }});
    EXPECT_NE(decode(write("none.gif", gif), &image), Ok);
    EXPECT_EQ(image, nullptr);
}

TEST_F(ImageTest, BrokenFilesFailWithoutCrashing) {
    Bytes good = plainPng();
    Bytes truncated(good.begin(), good.begin() + good.size() / 2);
    Bytes gif = makeGif(4, 4, Bytes(12, 0), -1, [](int, int) { return uint8_t(0); });
    Bytes hugePng = withDeclaredSize(good, 100000, 100000);
    Bytes hugeGif = makeGif(4, 4, Bytes(12, 0), -1, [](int, int) { return uint8_t(0); });
    hugeGif[13 + 12 + 8 + 5] = hugeGif[13 + 12 + 8 + 6] = 0xFF;  // frame width 65535
    // Cut inside the frame's codes, and an end code three pixels early.
    Bytes cutGif(gif.begin(), gif.end() - 8);
    Bytes shortFrameGif = gif;
    shortFrameGif[shortFrameGif.size() - 6] = 129;

    int before = vh::test::liveObjectCount();
    for (auto [name, bytes] :
         {std::pair{"truncated.png", truncated}, std::pair{"empty.png", Bytes{}},
          std::pair{"huge.png", hugePng}, std::pair{"huge.gif", hugeGif},
          std::pair{"cut.gif", cutGif}, std::pair{"short.gif", shortFrameGif}}) {
        GpBitmap* image = reinterpret_cast<GpBitmap*>(0x1);
        EXPECT_NE(decode(write(name, bytes), &image), Ok) << name;
        EXPECT_EQ(image, nullptr) << name;
        EXPECT_TRUE(vh::test::decodeImageFile(name).pixels.empty()) << name;
    }
    GpBitmap* image = nullptr;
    EXPECT_NE(decode(L"missing.png", &image), Ok);
    EXPECT_EQ(image, nullptr);
    // A sound GIF under a PNG's name is read for what it is.
    ASSERT_EQ(decode(write("gif.png", gif), &image), Ok);
    EXPECT_EQ(GdipDisposeImage(image), Ok);
    EXPECT_EQ(vh::test::liveObjectCount(), before);
}

TEST_F(ImageTest, WindowsPathsFindFilesWhateverTheirCase) {
    write("Art/Tiles/Grass.PNG", plainPng());
    EXPECT_EQ(vh::test::resolveWindowsPath(".\\ART\\tiles\\GRASS.png"), "Art/Tiles/Grass.PNG");
    EXPECT_EQ(vh::test::resolveWindowsPath("Art\\Tiles\\Grass.PNG"), "Art/Tiles/Grass.PNG");
}

// ---- GDI+ calls and the bitmaps they make -----------------------------------------

// GDI+ 1.1 may take version 2 as well; ours is 1.0 and takes version 1 only.
TEST_F(ImageTest, StartupTakesVersionOneOnly) {
    GdiplusStartupInput version2;
    version2.GdiplusVersion = 2;
    ULONG_PTR token = 0;
    EXPECT_EQ(GdiplusStartup(&token, &version2, nullptr), UnsupportedGdiplusVersion);
    GdiplusStartupInput quiet;
    quiet.SuppressBackgroundThread = TRUE;
    EXPECT_EQ(GdiplusStartup(&token, &quiet, nullptr), InvalidParameter)
        << "without its thread GDI+ must hand out the hooks";
}

TEST_F(ImageTest, ImagesAndBitmapsLeaveNothingBehind) {
    const Bytes png = makePng({.pixel = [](int x, int) {
        return x == 0 ? Bytes{0, 0, 0, 0} : Bytes{10, 20, 30, 255};
    }});
    GpBitmap* image = nullptr;
    ASSERT_EQ(decode(write("b.png", png), &image), Ok);
    HBITMAP bitmap = nullptr;
    ASSERT_EQ(GdipCreateHBITMAPFromBitmap(image, &bitmap, 0xFFFF00FF), Ok);
    EXPECT_EQ(vh::test::liveObjectCount(), 2) << "the image and the bitmap";
    EXPECT_EQ(GdipDisposeImage(image), Ok);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ original = SelectObject(dc, bitmap);
    ASSERT_NE(original, nullptr);
    SelectObject(dc, original);
    EXPECT_EQ(DeleteDC(dc), TRUE);
    EXPECT_EQ(DeleteObject(bitmap), TRUE);
    EXPECT_EQ(vh::test::liveObjectCount(), 0);
}

}  // namespace
