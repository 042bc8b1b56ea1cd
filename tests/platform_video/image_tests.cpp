// GDI+ image loading and the GDI calls the game makes with the bitmaps: PNG
// and GIF files written byte by byte by the tests themselves, so that every
// colour type, depth and transparency the game's art may use is covered.
#include <SDL.h>
#include <gtest/gtest.h>

#include "png_bytes.h"

#include "surfaces.h"
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "../../platform/src/internal.h"
#include "varnholt/platform_test.h"
#include "win32/ddraw.h"
#include "win32/gdiplus.h"

namespace {

using Bytes = std::vector<uint8_t>;
using namespace Gdiplus;
using namespace Gdiplus::DllExports;

// ---- Writing image files ----------------------------------------------------------

void put32(Bytes& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(value >> shift));
}

using fixture::crc32;

void chunk(Bytes& png, const char* type, const Bytes& body) {
    put32(png, uint32_t(body.size()));
    size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), body.begin(), body.end());
    put32(png, crc32(&png[start], png.size() - start));
}

// A zlib stream of stored (uncompressed) deflate blocks.
Bytes storedZlib(const Bytes& data) {
    Bytes out{0x78, 0x01};
    size_t at = 0;
    do {
        size_t length = std::min<size_t>(65535, data.size() - at);
        out.push_back(at + length == data.size() ? 1 : 0);
        out.push_back(uint8_t(length));
        out.push_back(uint8_t(length >> 8));
        out.push_back(uint8_t(~length));
        out.push_back(uint8_t(~length >> 8));
        out.insert(out.end(), data.begin() + at, data.begin() + at + length);
        at += length;
    } while (at < data.size());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    put32(out, b << 16 | a);
    return out;
}

struct PngSpec {
    int width = 4;
    int height = 2;
    int bitDepth = 8;
    int colorType = 6;  // 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
    bool interlaced = false;
    Bytes palette;  // PLTE body
    Bytes alphas;   // tRNS body
    std::function<Bytes(int x, int y)> pixel;
};

// Rows of one image (or one interlace pass) with filter type 0.
void appendRows(Bytes& raw, const PngSpec& spec, int x0, int y0, int dx, int dy) {
    if (x0 >= spec.width || y0 >= spec.height) return;
    for (int y = y0; y < spec.height; y += dy) {
        raw.push_back(0);
        for (int x = x0; x < spec.width; x += dx) {
            Bytes pixel = spec.pixel(x, y);
            raw.insert(raw.end(), pixel.begin(), pixel.end());
        }
    }
}

Bytes makePng(const PngSpec& spec) {
    Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    put32(header, uint32_t(spec.width));
    put32(header, uint32_t(spec.height));
    header.insert(header.end(), {uint8_t(spec.bitDepth), uint8_t(spec.colorType), 0, 0,
                                 uint8_t(spec.interlaced ? 1 : 0)});
    chunk(png, "IHDR", header);
    if (!spec.palette.empty()) chunk(png, "PLTE", spec.palette);
    if (!spec.alphas.empty()) chunk(png, "tRNS", spec.alphas);
    Bytes raw;
    if (spec.interlaced) {
        const int passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                  {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
        for (const auto& p : passes) appendRows(raw, spec, p[0], p[1], p[2], p[3]);
    } else {
        appendRows(raw, spec, 0, 0, 1, 1);
    }
    chunk(png, "IDAT", storedZlib(raw));
    chunk(png, "IEND", {});
    return png;
}

// A GIF of one frame whose LZW codes are all 8 bits wide: minimum code size 7
// and a clear code often enough that the code table never grows. Colour maps
// hold 4 entries; an empty one is left out of the file.
struct GifSpec {
    int screenWidth = 4, screenHeight = 4;
    int left = 0, top = 0, width = 4, height = 4;
    Bytes globalColours, localColours;
    int transparentIndex = -1;
    bool interlaced = false;
    std::function<uint8_t(int x, int y)> index;
};

// The frame's rows in the order an interlaced file stores them.
std::vector<int> interlacedRows(int height) {
    std::vector<int> rows;
    for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
        for (int y = start; y < height; y += step) rows.push_back(y);
    return rows;
}

Bytes makeGif(const GifSpec& spec) {
    Bytes gif{'G', 'I', 'F', '8', '9', 'a'};
    auto put16 = [&](int value) {
        gif.push_back(uint8_t(value));
        gif.push_back(uint8_t(value >> 8));
    };
    put16(spec.screenWidth);
    put16(spec.screenHeight);
    gif.insert(gif.end(), {uint8_t(spec.globalColours.empty() ? 0 : 0x81), 0, 0});
    gif.insert(gif.end(), spec.globalColours.begin(), spec.globalColours.end());
    const int transparent = spec.transparentIndex;
    gif.insert(gif.end(), {0x21, 0xF9, 4, uint8_t(transparent >= 0 ? 1 : 0), 0, 0,
                           uint8_t(transparent >= 0 ? transparent : 0), 0});
    gif.push_back(0x2C);
    for (int value : {spec.left, spec.top, spec.width, spec.height}) put16(value);
    gif.push_back(uint8_t((spec.localColours.empty() ? 0 : 0x81) | (spec.interlaced ? 0x40 : 0)));
    gif.insert(gif.end(), spec.localColours.begin(), spec.localColours.end());
    gif.push_back(7);
    std::vector<int> rows = interlacedRows(spec.height);
    if (!spec.interlaced)
        for (int y = 0; y < spec.height; ++y) rows[size_t(y)] = y;
    Bytes codes{128};
    int sinceClear = 0;
    for (int y : rows)
        for (int x = 0; x < spec.width; ++x) {
            if (++sinceClear == 100) {
                codes.push_back(128);
                sinceClear = 1;
            }
            codes.push_back(spec.index(x, y));
        }
    codes.push_back(129);
    for (size_t at = 0; at < codes.size(); at += 255) {
        size_t length = std::min<size_t>(255, codes.size() - at);
        gif.push_back(uint8_t(length));
        gif.insert(gif.end(), codes.begin() + at, codes.begin() + at + length);
    }
    gif.push_back(0);
    gif.push_back(0x3B);
    return gif;
}

Bytes makeGif(int width, int height, const Bytes& palette4, int transparentIndex,
              const std::function<uint8_t(int x, int y)>& index) {
    GifSpec spec;
    spec.screenWidth = spec.width = width;
    spec.screenHeight = spec.height = height;
    spec.globalColours = palette4;
    spec.transparentIndex = transparentIndex;
    spec.index = index;
    return makeGif(spec);
}

class ImageFiles : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/varnholt-images-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
        GdiplusStartupInput input;
        ASSERT_EQ(GdiplusStartup(&token_, &input, nullptr), Ok);
    }
    void TearDown() override {
        GdiplusShutdown(token_);
        std::filesystem::remove_all(folder_);
    }

    std::string write(const std::string& name, const Bytes& bytes) {
        std::string path = folder_ + "/" + name;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        FILE* file = std::fopen(path.c_str(), "wb");
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        return path;
    }

    static std::wstring wide(const std::string& text) {
        return std::wstring(text.begin(), text.end());
    }

    // Loads through GDI+ as the game does; the status of the load.
    Status load(const std::string& path, GpBitmap** image) {
        return GdipCreateBitmapFromFile(wide(path).c_str(), image);
    }

    std::string folder_;
    ULONG_PTR token_ = 0;
};

constexpr uint32_t kMagenta = 0xFF00FF;

// ---- Decoding -------------------------------------------------------------------

TEST_F(ImageFiles, RgbaAlphaZeroBecomesTheBackground) {
    PngSpec spec;
    spec.pixel = [](int x, int y) -> Bytes {
        if (y == 1) return {0, 0, 0, 0};
        return {uint8_t(x * 60), 20, 200, 255};
    };
    auto picture = vh::test::decodeImageFile(write("a.png", makePng(spec)));
    ASSERT_EQ(picture.width, 4);
    ASSERT_EQ(picture.height, 2);
    EXPECT_EQ(picture.at(2, 0), 0x7814C8u);
    EXPECT_EQ(picture.at(0, 1), kMagenta);
    EXPECT_EQ(picture.at(3, 1), kMagenta);
}

TEST_F(ImageFiles, PaletteWithTransparentEntries) {
    PngSpec spec;
    spec.colorType = 3;
    spec.palette = {255, 0, 0, 0, 255, 0, 0, 0, 255};
    spec.pixel = [](int x, int) -> Bytes { return {uint8_t(x % 3)}; };
    // One transparent entry, and then two, which the decoder handles apart.
    for (const Bytes& alphas : {Bytes{255, 0}, Bytes{0, 0, 255}}) {
        spec.alphas = alphas;
        auto picture = vh::test::decodeImageFile(write("p.png", makePng(spec)));
        ASSERT_EQ(picture.width, 4);
        EXPECT_EQ(picture.at(1, 0), kMagenta);
        EXPECT_EQ(picture.at(2, 1), alphas[2 % alphas.size()] == 255 ? 0x0000FFu : kMagenta);
        EXPECT_EQ(picture.at(0, 0), alphas[0] == 255 ? 0xFF0000u : kMagenta);
    }
}

TEST_F(ImageFiles, GreyAndGreyWithAlpha) {
    PngSpec grey;
    grey.colorType = 0;
    grey.pixel = [](int x, int) -> Bytes { return {uint8_t(x * 80)}; };
    auto picture = vh::test::decodeImageFile(write("g.png", makePng(grey)));
    ASSERT_EQ(picture.width, 4);
    EXPECT_EQ(picture.at(3, 0), 0xF0F0F0u);

    PngSpec greyAlpha;
    greyAlpha.colorType = 4;
    greyAlpha.pixel = [](int x, int) -> Bytes { return {100, uint8_t(x == 0 ? 0 : 255)}; };
    picture = vh::test::decodeImageFile(write("ga.png", makePng(greyAlpha)));
    ASSERT_EQ(picture.width, 4);
    EXPECT_EQ(picture.at(0, 1), kMagenta);
    EXPECT_EQ(picture.at(1, 1), 0x646464u);
}

TEST_F(ImageFiles, SixteenBitAndInterlaced) {
    PngSpec deep;
    deep.bitDepth = 16;
    deep.pixel = [](int x, int) -> Bytes {
        if (x == 3) return {0, 0, 0, 0, 0, 0, 0, 0};
        return {0x12, 0xFF, 0x34, 0x00, 0x56, 0x77, 0xFF, 0xFF};
    };
    auto picture = vh::test::decodeImageFile(write("d.png", makePng(deep)));
    ASSERT_EQ(picture.width, 4);
    EXPECT_EQ(picture.at(0, 0), 0x123456u);
    EXPECT_EQ(picture.at(3, 1), kMagenta);

    PngSpec interlaced;
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
    GifSpec spec;
    spec.screenWidth = spec.width = 3;
    spec.screenHeight = spec.height = 11;  // every pass, and a short last group
    spec.interlaced = true;
    spec.globalColours = {0, 0, 0, 0, 0, 1, 0, 0, 2, 0, 0, 3};
    spec.index = [](int, int y) { return uint8_t(y % 4); };
    auto picture = vh::test::decodeImageFile(write("i.gif", makeGif(spec)));
    ASSERT_EQ(picture.width, 3);
    ASSERT_EQ(picture.height, 11);
    for (int y = 0; y < 11; ++y) EXPECT_EQ(picture.at(1, y), uint32_t(y % 4)) << y;
}

// The picture is the logical screen: a frame placed inside it, or reaching
// past its edges, leaves the rest transparent and loses what lies outside.
TEST_F(ImageFiles, GifFrameIsPlacedOnItsScreen) {
    GifSpec spec;
    spec.screenWidth = 6;
    spec.screenHeight = 5;
    spec.globalColours = {10, 0, 0, 20, 0, 0, 30, 0, 0, 40, 0, 0};
    spec.index = [](int x, int y) { return uint8_t((x + y) % 4); };
    for (auto [left, top] : {std::pair{1, 2}, {4, 3}}) {
        spec.left = left;
        spec.top = top;
        SCOPED_TRACE(testing::Message() << left << "," << top);
        auto picture = vh::test::decodeImageFile(write("o.gif", makeGif(spec)), 0xFF00FF);
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
    GifSpec spec;
    spec.globalColours = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};
    spec.localColours = {0, 0, 200, 0, 0, 201, 0, 0, 202, 0, 0, 203};
    spec.index = [](int x, int) { return uint8_t(x); };
    auto picture = vh::test::decodeImageFile(write("l.gif", makeGif(spec)));
    ASSERT_EQ(picture.width, 4);
    EXPECT_EQ(picture.at(0, 0), 200u);
    EXPECT_EQ(picture.at(3, 3), 203u);

    spec.globalColours.clear();
    spec.localColours.clear();
    GpBitmap* image = nullptr;
    EXPECT_NE(load(write("none.gif", makeGif(spec)), &image), Ok);
    EXPECT_EQ(image, nullptr);
}

TEST_F(ImageFiles, BrokenFilesFailWithoutCrashing) {
    PngSpec spec;
    spec.pixel = [](int, int) -> Bytes { return {1, 2, 3, 255}; };
    Bytes good = makePng(spec);
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
    PngSpec spec;
    spec.pixel = [](int, int) -> Bytes { return {1, 2, 3, 255}; };
    write("Art/Tiles/Grass.PNG", makePng(spec));
    ASSERT_EQ(chdir(folder_.c_str()), 0);
    GpBitmap* image = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromFile(L".\\art\\TILES\\grass.png", &image), Ok);
    EXPECT_EQ(GdipDisposeImage(image), Ok);
    ASSERT_EQ(GdipCreateBitmapFromFile(L"Art\\Tiles\\Grass.PNG", &image), Ok);
    EXPECT_EQ(GdipDisposeImage(image), Ok);
    EXPECT_EQ(vh::platform::resolveWindowsPath(".\\ART\\tiles\\GRASS.png"), "Art/Tiles/Grass.PNG");
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
    PngSpec spec;
    spec.pixel = [](int x, int) -> Bytes {
        return x == 0 ? Bytes{0, 0, 0, 0} : Bytes{10, 20, 30, 255};
    };
    GpBitmap* image = nullptr;
    ASSERT_EQ(load(write("b.png", makePng(spec)), &image), Ok);
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

// ---- GDI on bitmaps and surfaces ----------------------------------------------------

class Gdi : public ImageFiles {
  protected:
    void SetUp() override {
        ImageFiles::SetUp();
        ASSERT_EQ(DirectDrawCreate(nullptr, &dd_, nullptr), DD_OK);
        ASSERT_EQ(dd_->SetCooperativeLevel(reinterpret_cast<HWND>(0x1000),
                                           DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN),
                  DD_OK);
    }
    void TearDown() override {
        if (dd_) dd_->Release();
        ImageFiles::TearDown();
    }

    LPDIRECTDRAWSURFACE surface(int bits, int width, int height) {
        EXPECT_EQ(dd_->SetDisplayMode(640, 480, bits), DD_OK);
        return fixture::makeOffScreen(dd_, width, height);
    }

    // A bitmap of width x height whose pixel (x, y) is RGB(x * 16, y * 16, 99).
    HBITMAP gradient(int width, int height) {
        PngSpec spec;
        spec.width = width;
        spec.height = height;
        spec.pixel = [](int x, int y) -> Bytes {
            return {uint8_t(x * 16), uint8_t(y * 16), 99, 255};
        };
        GpBitmap* image = nullptr;
        EXPECT_EQ(load(write("gradient.png", makePng(spec)), &image), Ok);
        HBITMAP bitmap = nullptr;
        EXPECT_EQ(GdipCreateHBITMAPFromBitmap(image, &bitmap, 0xFF000000), Ok);
        GdipDisposeImage(image);
        return bitmap;
    }

    static COLORREF gradientAt(int x, int y) { return RGB(x * 16, y * 16, 99); }

    // A colour as a surface of this format holds it.
    static COLORREF held(LPDIRECTDRAWSURFACE surface, COLORREF color) {
        const SDL_PixelFormat* format = vh::platform::surfacePixels(surface)->format;
        Uint8 r, g, b;
        SDL_GetRGB(SDL_MapRGB(format, GetRValue(color), GetGValue(color), GetBValue(color)), format,
                   &r, &g, &b);
        return RGB(r, g, b);
    }

    LPDIRECTDRAW dd_ = nullptr;
};

class GdiAtBothDepths : public Gdi, public testing::WithParamInterface<int> {};
INSTANTIATE_TEST_SUITE_P(Depths, GdiAtBothDepths, testing::Values(16, 32));

TEST_P(GdiAtBothDepths, SetPixelAndGetPixelRoundTripOnSurfaces) {
    int bits = GetParam();
    LPDIRECTDRAWSURFACE target = surface(bits, 6, 4);
    HDC dc = nullptr;
    ASSERT_EQ(target->GetDC(&dc), DD_OK);
    // Colours that both formats hold exactly.
    for (COLORREF color : {RGB(255, 0, 0), RGB(0, 255, 0), RGB(8, 4, 8), RGB(255, 255, 255)}) {
        EXPECT_EQ(SetPixel(dc, 5, 3, color), color);
        EXPECT_EQ(GetPixel(dc, 5, 3), color);
    }
    EXPECT_EQ(SetPixel(dc, 6, 0, RGB(1, 2, 3)), CLR_INVALID);
    EXPECT_EQ(GetPixel(dc, 0, -1), CLR_INVALID);
    SetPixel(dc, 0, 0, RGB(255, 0, 0));
    ASSERT_EQ(target->ReleaseDC(dc), DD_OK);
    EXPECT_EQ(vh::test::surfaceRawPixel(target, 0, 0), bits == 16 ? 0xF800u : 0xFF0000u);
    EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);  // released: a stale handle
    target->Release();
}

TEST_P(GdiAtBothDepths, StretchBltCopiesScalesAndClips) {
    LPDIRECTDRAWSURFACE target = surface(GetParam(), 16, 16);
    HBITMAP bitmap = gradient(4, 4);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ original = SelectObject(memory, bitmap);
    HDC dc = nullptr;
    ASSERT_EQ(target->GetDC(&dc), DD_OK);

    EXPECT_EQ(SetStretchBltMode(dc, COLORONCOLOR), BLACKONWHITE);
    EXPECT_EQ(SetStretchBltMode(dc, 99), 0);
    ASSERT_TRUE(StretchBlt(dc, 0, 0, 4, 4, memory, 0, 0, 4, 4, SRCCOPY));
    EXPECT_EQ(GetPixel(dc, 3, 2), held(target, gradientAt(3, 2)));
    // Twice the size: each source pixel covers 2 x 2.
    ASSERT_TRUE(StretchBlt(dc, 8, 8, 8, 8, memory, 0, 0, 4, 4, SRCCOPY));
    EXPECT_EQ(GetPixel(dc, 8 + 5, 8 + 2), held(target, gradientAt(2, 1)));
    EXPECT_EQ(GetPixel(dc, 15, 15), held(target, gradientAt(3, 3)));
    // Off the destination's top left, and reaching past the source's edge.
    SetPixel(dc, 2, 4, RGB(8, 8, 8));
    ASSERT_TRUE(StretchBlt(dc, -2, -1, 4, 4, memory, 0, 0, 4, 4, SRCCOPY));
    EXPECT_EQ(GetPixel(dc, 0, 0), held(target, gradientAt(2, 1)));
    EXPECT_EQ(GetPixel(dc, 2, 4), RGB(8, 8, 8));
    ASSERT_TRUE(StretchBlt(dc, 12, 0, 4, 4, memory, 2, 2, 4, 4, SRCCOPY));
    EXPECT_EQ(GetPixel(dc, 13, 1), held(target, gradientAt(3, 3)));
    EXPECT_FALSE(StretchBlt(dc, 0, 0, 4, 4, memory, 0, 0, 4, 4, 0x00EE0086));

    ASSERT_EQ(target->ReleaseDC(dc), DD_OK);
    SelectObject(memory, original);
    DeleteDC(memory);
    DeleteObject(bitmap);
    target->Release();
}

TEST_F(Gdi, StretchBltFromAKeyedSurfaceCopiesTheKeyColour) {
    LPDIRECTDRAWSURFACE sprite = surface(32, 4, 4);
    LPDIRECTDRAWSURFACE target = surface(32, 4, 4);
    DDCOLORKEY key{0x000000, 0x000000};
    ASSERT_EQ(sprite->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    vh::test::setSurfaceRawPixel(target, 1, 1, 0xABCDEF);
    HDC from = nullptr, to = nullptr;
    ASSERT_EQ(sprite->GetDC(&from), DD_OK);
    ASSERT_EQ(target->GetDC(&to), DD_OK);
    ASSERT_TRUE(StretchBlt(to, 0, 0, 4, 4, from, 0, 0, 4, 4, SRCCOPY));
    sprite->ReleaseDC(from);
    target->ReleaseDC(to);
    EXPECT_EQ(vh::test::surfaceRawPixel(target, 1, 1), 0u);
    sprite->Release();
    target->Release();
}

TEST_F(Gdi, SelectObjectAndDeletionRules) {
    int before = vh::test::liveObjectCount();
    HBITMAP bitmap = gradient(2, 2);
    HDC first = CreateCompatibleDC(nullptr);
    HDC second = CreateCompatibleDC(first);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetPixel(first, 0, 0), RGB(0, 0, 0));  // the default 1 x 1 bitmap
    EXPECT_EQ(GetPixel(first, 1, 0), CLR_INVALID);
    EXPECT_EQ(GetMapMode(first), MM_TEXT);
    EXPECT_EQ(SetMapMode(first, 0), 0);
    EXPECT_EQ(SetMapMode(first, MM_TEXT), MM_TEXT);

    HGDIOBJ original = SelectObject(first, bitmap);
    ASSERT_NE(original, nullptr);
    EXPECT_EQ(SelectObject(second, bitmap), nullptr);  // one DC at a time
    EXPECT_EQ(DeleteObject(bitmap), FALSE);            // still selected
    EXPECT_EQ(SelectObject(first, original), static_cast<HGDIOBJ>(bitmap));
    EXPECT_EQ(SelectObject(reinterpret_cast<HDC>(0x99), bitmap), nullptr);
    EXPECT_EQ(SelectObject(first, reinterpret_cast<HGDIOBJ>(0x99)), nullptr);

    LPDIRECTDRAWSURFACE target = surface(32, 2, 2);
    HDC onSurface = nullptr;
    ASSERT_EQ(target->GetDC(&onSurface), DD_OK);
    EXPECT_EQ(SelectObject(onSurface, bitmap), nullptr);  // not a memory DC
    EXPECT_EQ(DeleteDC(onSurface), FALSE);                // it goes back through ReleaseDC
    target->ReleaseDC(onSurface);
    target->Release();

    EXPECT_EQ(DeleteObject(bitmap), TRUE);
    EXPECT_EQ(DeleteObject(bitmap), FALSE);
    EXPECT_EQ(DeleteDC(first), TRUE);
    EXPECT_EQ(DeleteDC(first), FALSE);
    EXPECT_EQ(DeleteDC(second), TRUE);
    EXPECT_EQ(vh::test::liveObjectCount(), before);
}

TEST_F(Gdi, InjectedResultsAnswerForTheChosenHandle) {
    HDC first = CreateCompatibleDC(nullptr);
    HDC second = CreateCompatibleDC(nullptr);
    vh::test::injectResult("GetPixel", CLR_INVALID, 1, first);
    EXPECT_EQ(GetPixel(second, 0, 0), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(first, 0, 0), CLR_INVALID);
    EXPECT_EQ(GetPixel(first, 0, 0), RGB(0, 0, 0));
    vh::test::injectResult("CreateCompatibleDC", 0);
    EXPECT_EQ(CreateCompatibleDC(nullptr), nullptr);
    vh::test::injectResult("GdipCreateBitmapFromFile", OutOfMemory);
    GpBitmap* image = reinterpret_cast<GpBitmap*>(0x1);
    EXPECT_EQ(GdipCreateBitmapFromFile(L"x.png", &image), OutOfMemory);
    EXPECT_EQ(image, nullptr);
    DeleteDC(first);
    DeleteDC(second);
}

}  // namespace
