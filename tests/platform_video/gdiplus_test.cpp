// GDI+ image loading: PNG and GIF files written byte by byte by the tests
// themselves, so that every colour type, depth and transparency the game's art
// may use is covered, and broken files are refused without harm.
#include <gtest/gtest.h>

#include <string>

#include "image_files.h"
#include "varnholt/platform_test.h"

namespace {

using namespace fixture;

// ---- Decoding -------------------------------------------------------------------

TEST_F(ImageFiles, RgbaAlphaZeroBecomesTheBackground) {
    PngRecipe recipe;
    recipe.pixel = [](int x, int y) -> Bytes {
        if (y == 1) return {0, 0, 0, 0};
        return {uint8_t(x * 60), 20, 200, 255};
    };
    auto picture = vh::test::decodeImageFile(write("a.png", makePng(recipe)));
    ASSERT_EQ(picture.width, 4);
    ASSERT_EQ(picture.height, 2);
    EXPECT_EQ(picture.at(2, 0), 0x7814C8u);
    EXPECT_EQ(picture.at(0, 1), kMagenta);
    EXPECT_EQ(picture.at(3, 1), kMagenta);
}

TEST_F(ImageFiles, PaletteWithTransparentEntries) {
    PngRecipe recipe;
    recipe.colorType = 3;
    recipe.palette = {255, 0, 0, 0, 255, 0, 0, 0, 255};
    recipe.pixel = [](int x, int) -> Bytes { return {uint8_t(x % 3)}; };
    // One transparent entry, and then two, which the decoder handles apart.
    for (const Bytes& alphas : {Bytes{255, 0}, Bytes{0, 0, 255}}) {
        recipe.alphas = alphas;
        auto picture = vh::test::decodeImageFile(write("p.png", makePng(recipe)));
        ASSERT_EQ(picture.width, 4);
        EXPECT_EQ(picture.at(1, 0), kMagenta);
        EXPECT_EQ(picture.at(2, 1), alphas[2 % alphas.size()] == 255 ? 0x0000FFu : kMagenta);
        EXPECT_EQ(picture.at(0, 0), alphas[0] == 255 ? 0xFF0000u : kMagenta);
    }
}

TEST_F(ImageFiles, GreyAndGreyWithAlpha) {
    PngRecipe grey;
    grey.colorType = 0;
    grey.pixel = [](int x, int) -> Bytes { return {uint8_t(x * 80)}; };
    auto picture = vh::test::decodeImageFile(write("g.png", makePng(grey)));
    ASSERT_EQ(picture.width, 4);
    EXPECT_EQ(picture.at(3, 0), 0xF0F0F0u);

    PngRecipe greyAlpha;
    greyAlpha.colorType = 4;
    greyAlpha.pixel = [](int x, int) -> Bytes { return {100, uint8_t(x == 0 ? 0 : 255)}; };
    picture = vh::test::decodeImageFile(write("ga.png", makePng(greyAlpha)));
    ASSERT_EQ(picture.width, 4);
    EXPECT_EQ(picture.at(0, 1), kMagenta);
    EXPECT_EQ(picture.at(1, 1), 0x646464u);
}

TEST_F(ImageFiles, SixteenBitAndInterlaced) {
    PngRecipe deep;
    deep.bitDepth = 16;
    deep.pixel = [](int x, int) -> Bytes {
        if (x == 3) return {0, 0, 0, 0, 0, 0, 0, 0};
        return {0x12, 0xFF, 0x34, 0x00, 0x56, 0x77, 0xFF, 0xFF};
    };
    auto picture = vh::test::decodeImageFile(write("d.png", makePng(deep)));
    ASSERT_EQ(picture.width, 4);
    EXPECT_EQ(picture.at(0, 0), 0x123456u);
    EXPECT_EQ(picture.at(3, 1), kMagenta);

    PngRecipe interlaced;
    interlaced.width = 11;
    interlaced.height = 9;
    interlaced.colorType = 2;
    interlaced.interlaced = true;
    interlaced.pixel = [](int x, int y) -> Bytes { return {uint8_t(x * 20), uint8_t(y * 25), 7}; };
    picture = vh::test::decodeImageFile(write("i.png", makePng(interlaced)));
    ASSERT_EQ(picture.width, 11);
    ASSERT_EQ(picture.height, 9);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 11; ++x)
            ASSERT_EQ(picture.at(x, y), uint32_t(x * 20) << 16 | uint32_t(y * 25) << 8 | 7)
                << x << "," << y;
}

TEST_F(ImageFiles, GifTransparentIndexBecomesTheBackground) {
    Bytes palette{255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9};
    // Big enough to need several clear codes and data sub-blocks.
    auto index = [](int x, int y) { return uint8_t((x + y) % 4); };
    auto picture =
        vh::test::decodeImageFile(write("t.gif", makeGif(40, 30, palette, 2, index)), 0xFF102030);
    ASSERT_EQ(picture.width, 40);
    ASSERT_EQ(picture.height, 30);
    EXPECT_EQ(picture.at(0, 0), 0xFF0000u);
    EXPECT_EQ(picture.at(1, 0), 0x00FF00u);
    EXPECT_EQ(picture.at(2, 0), 0x102030u);
    EXPECT_EQ(picture.at(39, 29), 0xFF0000u);  // index (39 + 29) % 4 == 0
}

// Rows are stored out of order in an interlaced frame, and the game's art
// may be saved either way.
TEST_F(ImageFiles, InterlacedGifRowsLandInPlace) {
    GifRecipe recipe;
    recipe.screenWidth = recipe.width = 3;
    recipe.screenHeight = recipe.height = 11;  // every pass, and a short last group
    recipe.interlaced = true;
    recipe.globalColours = {0, 0, 0, 0, 0, 1, 0, 0, 2, 0, 0, 3};
    recipe.index = [](int, int y) { return uint8_t(y % 4); };
    auto picture = vh::test::decodeImageFile(write("i.gif", makeGif(recipe)));
    ASSERT_EQ(picture.width, 3);
    ASSERT_EQ(picture.height, 11);
    for (int y = 0; y < 11; ++y) EXPECT_EQ(picture.at(1, y), uint32_t(y % 4)) << y;
}

// The picture is the logical screen: a frame placed inside it, or reaching
// past its edges, leaves the rest transparent and loses what lies outside.
TEST_F(ImageFiles, GifFrameIsPlacedOnItsScreen) {
    GifRecipe recipe;
    recipe.screenWidth = 6;
    recipe.screenHeight = 5;
    recipe.globalColours = {10, 0, 0, 20, 0, 0, 30, 0, 0, 40, 0, 0};
    recipe.index = [](int x, int y) { return uint8_t((x + y) % 4); };
    for (auto [left, top] : {std::pair{1, 2}, {4, 3}}) {
        recipe.left = left;
        recipe.top = top;
        SCOPED_TRACE(testing::Message() << left << "," << top);
        auto picture = vh::test::decodeImageFile(write("o.gif", makeGif(recipe)), 0xFF00FF);
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

// A frame's own colour map wins over the global one; a frame with neither
// has no colours and does not load.
TEST_F(ImageFiles, GifLocalColourMapAndMissingColourMap) {
    GifRecipe recipe;
    recipe.globalColours = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};
    recipe.localColours = {0, 0, 200, 0, 0, 201, 0, 0, 202, 0, 0, 203};
    recipe.index = [](int x, int) { return uint8_t(x); };
    auto picture = vh::test::decodeImageFile(write("l.gif", makeGif(recipe)));
    ASSERT_EQ(picture.width, 4);
    EXPECT_EQ(picture.at(0, 0), 200u);
    EXPECT_EQ(picture.at(3, 3), 203u);

    recipe.globalColours.clear();
    recipe.localColours.clear();
    GpBitmap* image = nullptr;
    EXPECT_NE(load(write("none.gif", makeGif(recipe)), &image), Ok);
    EXPECT_EQ(image, nullptr);
}

TEST_F(ImageFiles, BrokenFilesFailWithoutCrashing) {
    PngRecipe recipe;
    recipe.pixel = [](int, int) -> Bytes { return {1, 2, 3, 255}; };
    Bytes good = makePng(recipe);
    Bytes truncated(good.begin(), good.begin() + good.size() / 2);
    Bytes gif = makeGif(4, 4, Bytes(12, 0), -1, [](int, int) { return uint8_t(0); });
    // A valid file whose IHDR declares 100000 x 100000 (with its CRC fixed).
    Bytes hugePng = good;
    for (int side = 0; side < 2; ++side)
        for (int b = 0; b < 4; ++b) hugePng[16 + side * 4 + b] = uint8_t(100000u >> (24 - 8 * b));
    uint32_t crc = crc32(&hugePng[12], 17);
    for (int b = 0; b < 4; ++b) hugePng[29 + b] = uint8_t(crc >> (24 - 8 * b));
    Bytes hugeGif = makeGif(4, 4, Bytes(12, 0), -1, [](int, int) { return uint8_t(0); });
    hugeGif[13 + 12 + 8 + 5] = hugeGif[13 + 12 + 8 + 6] = 0xFF;  // frame width 65535
    // Cut inside the frame's codes, and an end code three pixels early.
    Bytes cutGif(gif.begin(), gif.end() - 8);
    Bytes shortFrameGif = gif;
    shortFrameGif[shortFrameGif.size() - 6] = 129;

    int before = vh::test::liveObjectCount();
    for (auto [name, bytes] :
         {std::pair{"truncated.png", truncated}, std::pair{"empty.png", Bytes{}},
          std::pair{"gif.png", gif}, std::pair{"huge.png", hugePng}, std::pair{"huge.gif", hugeGif},
          std::pair{"cut.gif", cutGif}, std::pair{"short.gif", shortFrameGif}}) {
        GpBitmap* image = reinterpret_cast<GpBitmap*>(0x1);
        EXPECT_NE(load(write(name, bytes), &image), Ok) << name;
        EXPECT_EQ(image, nullptr) << name;
        EXPECT_TRUE(vh::test::decodeImageFile(folder_ + "/" + name).pixels.empty()) << name;
    }
    GpBitmap* image = nullptr;
    EXPECT_NE(load(folder_ + "/missing.png", &image), Ok);
    EXPECT_EQ(image, nullptr);
    EXPECT_EQ(vh::test::liveObjectCount(), before);
}

TEST_F(ImageFiles, WindowsPathsFindFilesWhateverTheirCase) {
    PngRecipe recipe;
    recipe.pixel = [](int, int) -> Bytes { return {1, 2, 3, 255}; };
    write("Art/Tiles/Grass.PNG", makePng(recipe));
    ASSERT_EQ(chdir(folder_.c_str()), 0);
    GpBitmap* image = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromFile(L".\\art\\TILES\\grass.png", &image), Ok);
    EXPECT_EQ(GdipDisposeImage(image), Ok);
    ASSERT_EQ(GdipCreateBitmapFromFile(L"Art\\Tiles\\Grass.PNG", &image), Ok);
    EXPECT_EQ(GdipDisposeImage(image), Ok);
    EXPECT_EQ(vh::test::resolveWindowsPath(".\\ART\\tiles\\GRASS.png"), "Art/Tiles/Grass.PNG");
}

// ---- GDI+ calls and the bitmaps they make -----------------------------------------

TEST_F(ImageFiles, StartupAndParametersAreChecked) {
    GdiplusStartupInput wrongVersion;
    wrongVersion.GdiplusVersion = 2;
    ULONG_PTR token = 0;
    EXPECT_EQ(GdiplusStartup(&token, &wrongVersion, nullptr), UnsupportedGdiplusVersion);
    HBITMAP bitmap = reinterpret_cast<HBITMAP>(0x1);
    EXPECT_EQ(GdipCreateHBITMAPFromBitmap(nullptr, &bitmap, 0xFFFF00FF), InvalidParameter);
    EXPECT_EQ(bitmap, nullptr);
    EXPECT_EQ(GdipDisposeImage(nullptr), InvalidParameter);
    void* memory = GdipAlloc(64);
    ASSERT_NE(memory, nullptr);
    GdipFree(memory);

    GdiplusShutdown(token_);
    GpBitmap* image = nullptr;
    EXPECT_EQ(GdipCreateBitmapFromFile(L"whatever.png", &image), GdiplusNotInitialized);
    GdiplusStartupInput input;
    ASSERT_EQ(GdiplusStartup(&token_, &input, nullptr), Ok);
}

TEST_F(ImageFiles, BitmapFromImageIsDrawnOverTheBackground) {
    PngRecipe recipe;
    recipe.pixel = [](int x, int) -> Bytes {
        return x == 0 ? Bytes{0, 0, 0, 0} : Bytes{10, 20, 30, 255};
    };
    GpBitmap* image = nullptr;
    ASSERT_EQ(load(write("b.png", makePng(recipe)), &image), Ok);
    HBITMAP bitmap = nullptr;
    ASSERT_EQ(GdipCreateHBITMAPFromBitmap(image, &bitmap, 0xFFFF00FF), Ok);
    EXPECT_EQ(GdipDisposeImage(image), Ok);

    BITMAP info{};
    EXPECT_EQ(GetObjectA(bitmap, sizeof(BITMAP) - 1, &info), 0);
    EXPECT_EQ(GetObjectA(reinterpret_cast<HANDLE>(0x1234), sizeof(BITMAP), &info), 0);
    ASSERT_EQ(GetObjectA(bitmap, sizeof(BITMAP), &info), int(sizeof(BITMAP)));
    EXPECT_EQ(info.bmType, 0);
    EXPECT_EQ(info.bmWidth, 4);
    EXPECT_EQ(info.bmHeight, 2);
    EXPECT_EQ(info.bmWidthBytes, 16);
    EXPECT_EQ(info.bmPlanes, 1);
    EXPECT_EQ(info.bmBitsPixel, 32);

    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ original = SelectObject(dc, bitmap);
    ASSERT_NE(original, nullptr);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 0, 255));
    EXPECT_EQ(GetPixel(dc, 1, 1), RGB(10, 20, 30));
    EXPECT_EQ(GetPixel(dc, 4, 0), CLR_INVALID);
    SelectObject(dc, original);
    EXPECT_EQ(DeleteDC(dc), TRUE);
    EXPECT_EQ(DeleteObject(bitmap), TRUE);
    EXPECT_EQ(vh::test::liveObjectCount(), 0);
}

}  // namespace
