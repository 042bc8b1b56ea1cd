// GDI+ as the game loads its art: PNG and GIF files, written byte by byte by
// the tests, decoded by GdipCreateBitmapFromFile and turned into GDI bitmaps
// over a background by GdipCreateHBITMAPFromBitmap, then read back through
// GDI. Transparent pixels come out in the background colour.
#include <cstdlib>

#include "conformance.h"

namespace {

using conformance::ImageTest;
using conformance::Pixels;
using fixture::Bytes;
using fixture::GifRecipe;
using fixture::plainPng;
using fixture::PngRecipe;
using Gdiplus::GpBitmap;
using namespace Gdiplus::DllExports;

constexpr COLORREF kMagenta = RGB(255, 0, 255);

// A colour within `slack` of another in every channel.
testing::AssertionResult closeTo(COLORREF actual, COLORREF wanted, int slack) {
    auto off = [](int a, int b) { return std::abs(a - b); };
    if (off(GetRValue(actual), GetRValue(wanted)) <= slack &&
        off(GetGValue(actual), GetGValue(wanted)) <= slack &&
        off(GetBValue(actual), GetBValue(wanted)) <= slack)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << std::hex << "0x" << actual << " is not 0x" << wanted;
}

// ---- PNG ----------------------------------------------------------------------------------

TEST_F(ImageTest, PngAlphaZeroBecomesTheBackground) {
    PngRecipe recipe;
    recipe.pixel = [](int x, int y) -> Bytes {
        if (y == 1) return {0, 0, 0, 0};
        return {uint8_t(x * 60), 20, 200, 255};
    };
    Pixels picture = loadSized("a.png", makePng(recipe), 4, 2);
    EXPECT_EQ(picture.at(2, 0), RGB(120, 20, 200));
    EXPECT_EQ(picture.at(0, 1), kMagenta);
    EXPECT_EQ(picture.at(3, 1), kMagenta);
    Pixels overGrey = loadSized("a.png", makePng(recipe), 4, 2, 0xFF405060);
    EXPECT_EQ(overGrey.at(1, 1), RGB(0x40, 0x50, 0x60)) << "whatever the background";
}

TEST_F(ImageTest, PngPartialAlphaIsBlendedOverTheBackground) {
    PngRecipe recipe;
    recipe.pixel = [](int x, int) -> Bytes { return {255, 0, 0, uint8_t(x == 0 ? 128 : 64)}; };
    Pixels picture = loadSized("blend.png", makePng(recipe), 4, 2, 0xFF0000FF);
    EXPECT_TRUE(closeTo(picture.at(0, 0), RGB(128, 0, 127), 2));
    EXPECT_TRUE(closeTo(picture.at(1, 0), RGB(64, 0, 191), 2));
}

TEST_F(ImageTest, PngPaletteWithTransparentEntries) {
    PngRecipe recipe;
    recipe.colorType = 3;
    recipe.palette = {255, 0, 0, 0, 255, 0, 0, 0, 255};
    recipe.pixel = [](int x, int) -> Bytes { return {uint8_t(x % 3)}; };
    // One transparent entry, and then two.
    for (const Bytes& alphas : {Bytes{255, 0}, Bytes{0, 0, 255}}) {
        recipe.alphas = alphas;
        Pixels picture = loadSized("p.png", makePng(recipe), 4, 2);
        EXPECT_EQ(picture.at(1, 0), kMagenta);
        EXPECT_EQ(picture.at(2, 1), RGB(0, 0, 255)) << "opaque, or past the list: opaque too";
        EXPECT_EQ(picture.at(0, 0), alphas[0] == 255 ? RGB(255, 0, 0) : kMagenta);
    }
}

TEST_F(ImageTest, PngPalettesOfOneTwoAndFourBits) {
    const Bytes palette{10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
    for (int depth : {1, 2, 4}) {
        SCOPED_TRACE(depth);
        const int entries = depth == 1 ? 2 : 4;
        auto index = [entries](int x, int y) { return (x + y) % entries; };
        // Two rows of eight pixels, packed `depth` bits each.
        PngRecipe recipe;
        recipe.width = 8;
        recipe.bitDepth = depth;
        recipe.colorType = 3;
        recipe.palette = palette;
        recipe.pixel = [&](int x, int y) -> Bytes { return {uint8_t(index(x, y))}; };
        Pixels picture = loadSized("packed.png", makePng(recipe), 8, 2);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 8; ++x) {
                const size_t at = size_t(index(x, y)) * 3;
                EXPECT_EQ(picture.at(x, y), RGB(palette[at], palette[at + 1], palette[at + 2]))
                    << x << "," << y;
            }
    }
}

TEST_F(ImageTest, PngGreyAndGreyWithAlpha) {
    PngRecipe grey;
    grey.colorType = 0;
    grey.pixel = [](int x, int) -> Bytes { return {uint8_t(x * 80)}; };
    Pixels picture = loadSized("g.png", makePng(grey), 4, 2);
    EXPECT_EQ(picture.at(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(picture.at(3, 0), RGB(240, 240, 240));

    PngRecipe greyAlpha;
    greyAlpha.colorType = 4;
    greyAlpha.pixel = [](int x, int) -> Bytes { return {100, uint8_t(x == 0 ? 0 : 255)}; };
    picture = loadSized("ga.png", makePng(greyAlpha), 4, 2);
    EXPECT_EQ(picture.at(0, 1), kMagenta);
    EXPECT_EQ(picture.at(1, 1), RGB(100, 100, 100));
}

TEST_F(ImageTest, PngSixteenBitsAChannel) {
    PngRecipe deep;
    deep.bitDepth = 16;
    deep.pixel = [](int x, int) -> Bytes {
        if (x == 3) return {0, 0, 0, 0, 0, 0, 0, 0};
        return {0x12, 0xFF, 0x34, 0x00, 0x56, 0x77, 0xFF, 0xFF};
    };
    Pixels picture = loadSized("d.png", makePng(deep), 4, 2);
    EXPECT_TRUE(closeTo(picture.at(0, 0), RGB(0x12, 0x34, 0x56), 1));
    EXPECT_EQ(picture.at(3, 1), kMagenta);

    PngRecipe grey;
    grey.bitDepth = 16;
    grey.colorType = 0;
    grey.pixel = [](int x, int) -> Bytes { return {uint8_t(x * 80), 0x80}; };
    picture = loadSized("g16.png", makePng(grey), 4, 2);
    EXPECT_TRUE(closeTo(picture.at(3, 0), RGB(240, 240, 240), 1));
}

TEST_F(ImageTest, PngInterlacedRowsLandInPlace) {
    PngRecipe interlaced;
    interlaced.width = 11;
    interlaced.height = 9;
    interlaced.colorType = 2;
    interlaced.interlaced = true;
    interlaced.pixel = [](int x, int y) -> Bytes { return {uint8_t(x * 20), uint8_t(y * 25), 7}; };
    Pixels picture = loadSized("i.png", makePng(interlaced), 11, 9);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 11; ++x)
            ASSERT_EQ(picture.at(x, y), RGB(x * 20, y * 25, 7)) << x << "," << y;
}

// ---- GIF ----------------------------------------------------------------------------------

TEST_F(ImageTest, GifTransparentIndexBecomesTheBackground) {
    Bytes palette{255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9};
    // Big enough to need several clear codes and data sub-blocks.
    auto index = [](int x, int y) { return uint8_t((x + y) % 4); };
    Pixels picture =
        loadSized("t.gif", fixture::makeGif(40, 30, palette, 2, index), 40, 30, 0xFF102030);
    EXPECT_EQ(picture.at(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(picture.at(1, 0), RGB(0, 255, 0));
    EXPECT_EQ(picture.at(2, 0), RGB(0x10, 0x20, 0x30));
    EXPECT_EQ(picture.at(3, 0), RGB(9, 9, 9));
    EXPECT_EQ(picture.at(39, 29), RGB(255, 0, 0));  // index (39 + 29) % 4 == 0
}

TEST_F(ImageTest, GifInterlacedRowsLandInPlace) {
    GifRecipe recipe;
    recipe.screenWidth = recipe.width = 3;
    recipe.screenHeight = recipe.height = 11;  // every pass, and a short last group
    recipe.interlaced = true;
    recipe.globalColours = {0, 0, 0, 0, 0, 1, 0, 0, 2, 0, 0, 3};
    recipe.index = [](int, int y) { return uint8_t(y % 4); };
    Pixels picture = loadSized("i.gif", makeGif(recipe), 3, 11);
    for (int y = 0; y < 11; ++y) EXPECT_EQ(picture.at(1, y), RGB(0, 0, y % 4)) << y;
}

TEST_F(ImageTest, GifFrameOwnColourMapWinsOverTheGlobalOne) {
    GifRecipe recipe;
    recipe.globalColours = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};
    recipe.localColours = {0, 0, 200, 0, 0, 201, 0, 0, 202, 0, 0, 203};
    recipe.index = [](int x, int) { return uint8_t(x); };
    Pixels picture = loadSized("l.gif", makeGif(recipe), 4, 4);
    EXPECT_EQ(picture.at(0, 0), RGB(0, 0, 200));
    EXPECT_EQ(picture.at(3, 3), RGB(0, 0, 203));
}

TEST_F(ImageTest, GifWithSeveralFramesShowsTheFirst) {
    GifRecipe recipe;
    recipe.globalColours = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    recipe.transparentIndex = 3;
    recipe.index = [](int x, int) { return uint8_t(x == 3 ? 3 : 0); };
    recipe.moreFrames = {[](int, int) { return uint8_t(1); }, [](int, int) { return uint8_t(2); }};
    Pixels picture = loadSized("frames.gif", makeGif(recipe), 4, 4);
    EXPECT_EQ(picture.at(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(picture.at(2, 3), RGB(255, 0, 0));
    EXPECT_EQ(picture.at(3, 1), kMagenta) << "the first frame's transparent index";
}

// ---- Which decoder reads a file ----------------------------------------------------------

TEST_F(ImageTest, TheContentsNotTheNameSayWhatAFileIs) {
    const Bytes palette{255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9};
    Pixels gifNamedPng =
        loadSized("gif.png",
                  fixture::makeGif(4, 4, palette, -1, [](int x, int) { return uint8_t(x); }), 4, 4);
    EXPECT_EQ(gifNamedPng.at(1, 2), RGB(0, 255, 0));

    PngRecipe recipe;
    recipe.pixel = [](int x, int) -> Bytes { return {uint8_t(x), 2, 3, 255}; };
    Pixels pngNamedGif = loadSized("png.gif", makePng(recipe), 4, 2);
    EXPECT_EQ(pngNamedGif.at(3, 1), RGB(3, 2, 3));
    loadSized("picture", makePng(recipe), 4, 2);
}

// ---- Refusals -----------------------------------------------------------------------------

TEST_F(ImageTest, AMissingFileGivesNoImage) {
    GpBitmap* image = reinterpret_cast<GpBitmap*>(0x1);
    Gdiplus::GpStatus status = decode(L"missing.png", &image);
    UNLESS_WINE(
        "Wine answers another failure; GDI+ on Windows answers InvalidParameter "
        "(Wine's own test of a missing file marks it todo_wine)")
    EXPECT_EQ(status, Gdiplus::InvalidParameter);
    EXPECT_NE(status, Gdiplus::Ok);
    EXPECT_EQ(image, nullptr);
}

TEST_F(ImageTest, NullArgumentsAreRefusedAndTheOutputLeftAlone) {
    GpBitmap* image = reinterpret_cast<GpBitmap*>(0x1);
    EXPECT_EQ(GdipCreateBitmapFromFile(nullptr, &image), Gdiplus::InvalidParameter);
    EXPECT_EQ(image, reinterpret_cast<GpBitmap*>(0x1));
    write("here.png", {});
    EXPECT_EQ(GdipCreateBitmapFromFile(L"here.png", nullptr), Gdiplus::InvalidParameter);
    HBITMAP bitmap = nullptr;
    EXPECT_EQ(GdipCreateHBITMAPFromBitmap(nullptr, &bitmap, 0xFFFF00FF), Gdiplus::InvalidParameter);
    EXPECT_EQ(bitmap, nullptr);
    EXPECT_EQ(GdipDisposeImage(nullptr), Gdiplus::InvalidParameter);
}

TEST_F(ImageTest, DamagedFilesGiveNoImage) {
    Bytes good = plainPng();
    Bytes truncated(good.begin(), good.begin() + 40);
    Bytes huge = fixture::withDeclaredSize(good, 100000, 100000);
    Bytes text{'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    for (auto [name, bytes] :
         {std::pair{"truncated.png", truncated}, std::pair{"empty.png", Bytes{}},
          std::pair{"huge.png", huge}, std::pair{"text.png", text}}) {
        GpBitmap* image = reinterpret_cast<GpBitmap*>(0x1);
        EXPECT_NE(decode(write(name, bytes), &image), Gdiplus::Ok) << name;
        EXPECT_EQ(image, nullptr) << name;
    }
}

TEST_F(ImageTest, WindowsPathsIgnoreCase) {
    write("Art/Tiles/Grass.PNG", plainPng());
    for (const wchar_t* path :
         {L".\\art\\TILES\\grass.png", L"Art\\Tiles\\Grass.PNG", L"ART\\tiles\\GRASS.png"}) {
        GpBitmap* image = nullptr;
        ASSERT_EQ(GdipCreateBitmapFromFile(path, &image), Gdiplus::Ok);
        EXPECT_EQ(GdipDisposeImage(image), Gdiplus::Ok);
    }
}

// ---- Start-up and the bitmaps GDI+ makes ----------------------------------------------------

TEST_F(ImageTest, StartUpChecksTheVersionAndShutDownEndsTheWork) {
    Gdiplus::GdiplusStartupInput wrongVersion;
    wrongVersion.GdiplusVersion = 3;
    ULONG_PTR token = 0;
    EXPECT_EQ(Gdiplus::GdiplusStartup(&token, &wrongVersion, nullptr),
              Gdiplus::UnsupportedGdiplusVersion);
    void* memory = GdipAlloc(64);
    ASSERT_NE(memory, nullptr);
    GdipFree(memory);

    std::wstring path = write("after.png", plainPng());
    Gdiplus::GdiplusShutdown(token_);
    started_ = false;
    GpBitmap* image = nullptr;
    Gdiplus::GpStatus status = GdipCreateBitmapFromFile(path.c_str(), &image);
    UNLESS_WINE(
        "Wine does not track GDI+ start-up; GDI+ on Windows answers GdiplusNotInitialized "
        "(Wine's own start-up test marks it todo_wine)")
    EXPECT_EQ(status, Gdiplus::GdiplusNotInitialized);
    if (status == Gdiplus::Ok) GdipDisposeImage(image);
}

TEST_F(ImageTest, TheBitmapIsA32BitDibThatOutlivesTheImage) {
    PngRecipe recipe;
    recipe.width = 5;
    recipe.height = 3;
    recipe.pixel = [](int x, int) -> Bytes {
        return x == 0 ? Bytes{0, 0, 0, 0} : Bytes{10, 20, 30, 255};
    };
    GpBitmap* image = nullptr;
    ASSERT_EQ(decode(write("b.png", makePng(recipe)), &image), Gdiplus::Ok);
    HBITMAP bitmap = nullptr;
    ASSERT_EQ(GdipCreateHBITMAPFromBitmap(image, &bitmap, 0xFFFF00FF), Gdiplus::Ok);
    EXPECT_EQ(GdipDisposeImage(image), Gdiplus::Ok);

    const BITMAP info = conformance::describeBitmap(bitmap);
    EXPECT_EQ(info.bmType, 0);
    EXPECT_EQ(info.bmWidth, 5);
    EXPECT_EQ(info.bmHeight, 3);
    EXPECT_EQ(info.bmWidthBytes, 20);
    EXPECT_EQ(info.bmPlanes, 1);
    EXPECT_EQ(info.bmBitsPixel, 32);
    EXPECT_NE(info.bmBits, nullptr) << "a DIB section, not a device-dependent bitmap";

    Pixels picture = conformance::readBitmap(bitmap);
    ASSERT_EQ(picture.width, 5);
    EXPECT_EQ(picture.at(0, 0), kMagenta);
    EXPECT_EQ(picture.at(4, 2), RGB(10, 20, 30));
    EXPECT_TRUE(DeleteObject(bitmap));
}

TEST_F(ImageTest, GetObjectAChecksTheBufferAndTheHandle) {
    HBITMAP bitmap = loadBitmap(write("o.png", plainPng()));
    ASSERT_NE(bitmap, nullptr);
    BITMAP info[2]{};
    EXPECT_EQ(GetObjectA(bitmap, 0, nullptr), int(sizeof(BITMAP))) << "the size it needs";
    EXPECT_EQ(GetObjectA(bitmap, sizeof(BITMAP) - 1, &info[0]), 0);
    EXPECT_EQ(GetObjectA(bitmap, 0, &info[0]), 0);
    EXPECT_EQ(GetObjectA(bitmap, sizeof(info), info), int(sizeof(BITMAP))) << "no more than that";
    EXPECT_EQ(info[0].bmWidth, 4);
    EXPECT_EQ(GetObjectA(reinterpret_cast<HANDLE>(0x1234), sizeof(BITMAP), &info[1]), 0);
    EXPECT_EQ(GetObjectA(nullptr, sizeof(BITMAP), &info[1]), 0);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_EQ(GetObjectA(bitmap, sizeof(BITMAP), &info[1]), 0) << "once deleted";
}

}  // namespace
