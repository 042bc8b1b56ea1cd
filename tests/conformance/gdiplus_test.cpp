// GDI+ as the game loads its art: PNG and GIF files, written byte by byte by
// the tests, decoded by GdipCreateBitmapFromFile and turned into GDI bitmaps
// over a background by GdipCreateHBITMAPFromBitmap, then read back through
// GDI. Transparent pixels come out in the background colour.
#include <cstdlib>

#include "conformance.h"

namespace {

using fixture::Bytes;
using fixture::GifRecipe;
using fixture::ImageTest;
using fixture::makeGif;
using fixture::makePng;
using fixture::Pixels;
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
    // One message, so that the numbers stay in hexadecimal.
    return testing::AssertionFailure()
           << (testing::Message() << std::hex << "0x" << actual << " is not 0x" << wanted);
}

// ---- What each kind of file decodes to ----------------------------------------------------

// A pixel of a decoded picture and the colour it must have.
struct Probe {
    int x, y;
    COLORREF colour;
    int slack = 0;  // how far each channel may be off: blends may round either way
};

constexpr Gdiplus::ARGB kOverMagenta = 0xFFFF00FF;

// Every colour type and depth comes out in its colours, and transparency in
// each of its forms (an alpha channel, a palette's alphas, a GIF's
// transparent index) in the background's.
TEST_F(ImageTest, EachKindOfFileDecodesToItsColours) {
    const auto lastRowClear = [](int x, int y) -> Bytes {
        if (y == 1) return {0, 0, 0, 0};
        return {uint8_t(x * 60), 20, 200, 255};
    };
    const auto paletted = [](Bytes alphas) {
        return makePng({.colorType = 3,
                        .palette = {255, 0, 0, 0, 255, 0, 0, 0, 255},
                        .alphas = alphas,
                        .pixel = [](int x, int) -> Bytes { return {uint8_t(x % 3)}; }});
    };
    const Bytes fourColours{255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9};
    const auto xPlusY = [](int x, int y) { return uint8_t((x + y) % 4); };
    const auto byX = [](int x, int) { return uint8_t(x); };
    const Bytes rising = makePng({.pixel = [](int x, int) -> Bytes {
        return {uint8_t(x), 2, 3, 255};
    }});
    // Loads the file over the background: a picture of this size, the probed
    // pixels in their colours.
    const auto expectDecoded = [](const char* name, const Bytes& file, int width, int height,
                                  Gdiplus::ARGB background, std::initializer_list<Probe> probes) {
        SCOPED_TRACE(name);
        const Pixels picture = loadSized(name, file, width, height, background);
        for (const Probe& probe : probes)
            EXPECT_TRUE(closeTo(picture.at(probe.x, probe.y), probe.colour, probe.slack))
                << probe.x << "," << probe.y;
    };
    expectDecoded("alpha-zero.png", makePng({.pixel = lastRowClear}), 4, 2, kOverMagenta,
                  {{2, 0, RGB(120, 20, 200)}, {0, 1, kMagenta}, {3, 1, kMagenta}});
    // Whatever the background.
    expectDecoded("alpha-zero-over-grey.png", makePng({.pixel = lastRowClear}), 4, 2, 0xFF405060,
                  {{1, 1, RGB(0x40, 0x50, 0x60)}});
    expectDecoded("partial-alpha-over-blue.png", makePng({.pixel = [](int x, int) -> Bytes {
                      return {255, 0, 0, uint8_t(x == 0 ? 128 : 64)};
                  }}),
                  4, 2, 0xFF0000FF, {{0, 0, RGB(128, 0, 127), 2}, {1, 0, RGB(64, 0, 191), 2}});
    // Entry 2 is opaque, or past the list of alphas: opaque too.
    expectDecoded("palette-one-clear.png", paletted({255, 0}), 4, 2, kOverMagenta,
                  {{1, 0, kMagenta}, {2, 1, RGB(0, 0, 255)}, {0, 0, RGB(255, 0, 0)}});
    expectDecoded("palette-two-clear.png", paletted({0, 0, 255}), 4, 2, kOverMagenta,
                  {{1, 0, kMagenta}, {2, 1, RGB(0, 0, 255)}, {0, 0, kMagenta}});
    expectDecoded(
        "grey.png",
        makePng({.colorType = 0, .pixel = [](int x, int) -> Bytes { return {uint8_t(x * 80)}; }}),
        4, 2, kOverMagenta, {{0, 0, RGB(0, 0, 0)}, {3, 0, RGB(240, 240, 240)}});
    expectDecoded("grey-alpha.png",
                  makePng({.colorType = 4,
                           .pixel = [](int x, int) -> Bytes {
                               return {100, uint8_t(x == 0 ? 0 : 255)};
                           }}),
                  4, 2, kOverMagenta, {{0, 1, kMagenta}, {1, 1, RGB(100, 100, 100)}});
    expectDecoded("sixteen-bits.png",
                  makePng({.bitDepth = 16,
                           .pixel = [](int x, int) -> Bytes {
                               if (x == 3) return {0, 0, 0, 0, 0, 0, 0, 0};
                               return {0x12, 0xFF, 0x34, 0x00, 0x56, 0x77, 0xFF, 0xFF};
                           }}),
                  4, 2, kOverMagenta, {{0, 0, RGB(0x12, 0x34, 0x56), 1}, {3, 1, kMagenta}});
    expectDecoded("grey-sixteen-bits.png",
                  makePng({.bitDepth = 16,
                           .colorType = 0,
                           .pixel = [](int x, int) -> Bytes {
                               return {uint8_t(x * 80), 0x80};
                           }}),
                  4, 2, kOverMagenta, {{3, 0, RGB(240, 240, 240), 1}});
    // Big enough to need several clear codes and data sub-blocks; the last
    // pixel's index is (39 + 29) % 4 == 0.
    expectDecoded("transparent-index.gif", fixture::makeGif(40, 30, fourColours, 2, xPlusY), 40, 30,
                  0xFF102030,
                  {{0, 0, RGB(255, 0, 0)},
                   {1, 0, RGB(0, 255, 0)},
                   {2, 0, RGB(0x10, 0x20, 0x30)},
                   {3, 0, RGB(9, 9, 9)},
                   {39, 29, RGB(255, 0, 0)}});
    // A frame's own colour map wins over the global one.
    expectDecoded("own-colour-map.gif",
                  makeGif({.globalColours = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4},
                           .localColours = {0, 0, 200, 0, 0, 201, 0, 0, 202, 0, 0, 203},
                           .index = byX}),
                  4, 4, kOverMagenta, {{0, 0, RGB(0, 0, 200)}, {3, 3, RGB(0, 0, 203)}});
    // Of several frames the first is shown, with its transparent index.
    expectDecoded("frames.gif",
                  makeGif({.globalColours = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255},
                           .transparentIndex = 3,
                           .index = [](int x, int) { return uint8_t(x == 3 ? 3 : 0); },
                           .moreFrames = {[](int, int) { return uint8_t(1); },
                                          [](int, int) { return uint8_t(2); }}}),
                  4, 4, kOverMagenta,
                  {{0, 0, RGB(255, 0, 0)}, {2, 3, RGB(255, 0, 0)}, {3, 1, kMagenta}});
    // The contents, not the name, say what a file is.
    expectDecoded("gif.png", fixture::makeGif(4, 4, fourColours, -1, byX), 4, 4, kOverMagenta,
                  {{1, 2, RGB(0, 255, 0)}});
    expectDecoded("png.gif", rising, 4, 2, kOverMagenta, {{3, 1, RGB(3, 2, 3)}});
    expectDecoded("picture", rising, 4, 2, kOverMagenta, {});
}

// ---- Packing and interlacing ----------------------------------------------------------------

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

TEST_F(ImageTest, InterlacedRowsOfGifAndPngLandInPlace) {
    // A GIF of eleven rows: every pass, and a short last group.
    const Bytes gif = makeGif(
        3, 11, {0, 0, 0, 0, 0, 1, 0, 0, 2, 0, 0, 3}, -1, [](int, int y) { return uint8_t(y % 4); },
        true);
    Pixels picture = loadSized("i.gif", gif, 3, 11);
    for (int y = 0; y < 11; ++y) EXPECT_EQ(picture.at(1, y), RGB(0, 0, y % 4)) << "GIF row " << y;

    PngRecipe interlaced;
    interlaced.width = 11;
    interlaced.height = 9;
    interlaced.colorType = 2;
    interlaced.interlaced = true;
    interlaced.pixel = [](int x, int y) -> Bytes { return {uint8_t(x * 20), uint8_t(y * 25), 7}; };
    picture = loadSized("i.png", makePng(interlaced), 11, 9);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 11; ++x)
            ASSERT_EQ(picture.at(x, y), RGB(x * 20, y * 25, 7)) << "PNG at " << x << "," << y;
}

// ---- Refusals -----------------------------------------------------------------------------

// Null arguments are refused and the output left alone; missing and damaged
// files give no image.
TEST_F(ImageTest, NullArgumentsMissingFilesAndDamagedFilesAreRefused) {
    GpBitmap* image = reinterpret_cast<GpBitmap*>(0x1);
    EXPECT_EQ(GdipCreateBitmapFromFile(nullptr, &image), Gdiplus::InvalidParameter);
    EXPECT_EQ(image, reinterpret_cast<GpBitmap*>(0x1));
    write("here.png", {});
    EXPECT_EQ(GdipCreateBitmapFromFile(L"here.png", nullptr), Gdiplus::InvalidParameter);
    HBITMAP bitmap = nullptr;
    EXPECT_EQ(GdipCreateHBITMAPFromBitmap(nullptr, &bitmap, 0xFFFF00FF), Gdiplus::InvalidParameter);
    EXPECT_EQ(bitmap, nullptr);
    EXPECT_EQ(GdipDisposeImage(nullptr), Gdiplus::InvalidParameter);

    Gdiplus::GpStatus status = decode(L"missing.png", &image);
    UNLESS_WINE(
        "Wine answers another failure; GDI+ on Windows answers InvalidParameter "
        "(Wine's own test of a missing file marks it todo_wine)")
    EXPECT_EQ(status, Gdiplus::InvalidParameter);
    EXPECT_NE(status, Gdiplus::Ok);
    EXPECT_EQ(image, nullptr);
    Bytes good = plainPng();
    Bytes truncated(good.begin(), good.begin() + 40);
    Bytes huge = fixture::withDeclaredSize(good, 100000, 100000);
    Bytes text{'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    for (auto [name, bytes] :
         {std::pair{"truncated.png", truncated}, std::pair{"empty.png", Bytes{}},
          std::pair{"huge.png", huge}, std::pair{"text.png", text}}) {
        image = reinterpret_cast<GpBitmap*>(0x1);
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
    const Bytes png = makePng({.width = 5, .height = 3, .pixel = [](int x, int) {
                                   return x == 0 ? Bytes{0, 0, 0, 0} : Bytes{10, 20, 30, 255};
                               }});
    GpBitmap* image = nullptr;
    ASSERT_EQ(decode(write("b.png", png), &image), Gdiplus::Ok);
    HBITMAP bitmap = nullptr;
    ASSERT_EQ(GdipCreateHBITMAPFromBitmap(image, &bitmap, 0xFFFF00FF), Gdiplus::Ok);
    EXPECT_EQ(GdipDisposeImage(image), Gdiplus::Ok);

    const BITMAP info = fixture::describeBitmap(bitmap);
    EXPECT_EQ(info.bmType, 0);
    EXPECT_EQ(info.bmWidth, 5);
    EXPECT_EQ(info.bmHeight, 3);
    EXPECT_EQ(info.bmWidthBytes, 20);
    EXPECT_EQ(info.bmPlanes, 1);
    EXPECT_EQ(info.bmBitsPixel, 32);
    EXPECT_NE(info.bmBits, nullptr) << "a DIB section, not a device-dependent bitmap";

    Pixels picture = fixture::readBitmap(bitmap);
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
