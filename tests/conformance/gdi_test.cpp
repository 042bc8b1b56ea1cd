// GDI as the game uses it: pixels on surface device contexts, memory device
// contexts with the bitmaps GDI+ makes, StretchBlt between them, and the
// rules of selecting and deleting.
#include "conformance.h"

namespace {

using conformance::DisplayTest;
using conformance::Format;
using conformance::heldColour;

class Gdi : public DisplayTest, protected fixture::ImageFolder {
  protected:
    void SetUp() override {
        DisplayTest::SetUp();
        openFolder();
    }
    void TearDown() override {
        closeFolder();
        DisplayTest::TearDown();
    }

    // A loaded picture copied into a sprite's surface, call for call as the
    // game copies its art.
    static void copyAsTheGameDoes(LPDIRECTDRAWSURFACE sprite, HBITMAP bitmap, int width,
                                  int height) {
        HDC surfaceDc = nullptr;
        ASSERT_EQ(sprite->GetDC(&surfaceDc), DD_OK);
        HDC memory = CreateCompatibleDC(surfaceDc);
        ASSERT_NE(memory, nullptr);
        SetMapMode(memory, GetMapMode(surfaceDc));
        HGDIOBJ previous = SelectObject(memory, bitmap);
        ASSERT_NE(previous, nullptr);
        ASSERT_NE(previous, HGDI_ERROR);
        ASSERT_NE(SetStretchBltMode(surfaceDc, COLORONCOLOR), 0);
        ASSERT_TRUE(
            StretchBlt(surfaceDc, 0, 0, width, height, memory, 0, 0, width, height, SRCCOPY));
        EXPECT_EQ(sprite->ReleaseDC(surfaceDc), DD_OK);
        EXPECT_TRUE(DeleteDC(memory));
    }

    // The colour key as the game reads it: magenta set through the primary
    // surface's device context, then the pixel's raw bits, top byte and all,
    // through a lock with no flags that is asked again while the surface is
    // still being drawn; the pixel is put back as it was.
    uint32_t keyAsTheGameReadsIt() {
        HDC dc = nullptr;
        EXPECT_EQ(primary_->GetDC(&dc), DD_OK);
        const COLORREF saved = GetPixel(dc, 0, 0);
        EXPECT_NE(saved, CLR_INVALID);
        EXPECT_EQ(SetPixel(dc, 0, 0, kMagenta), kMagenta);
        EXPECT_EQ(GetPixel(dc, 0, 0), kMagenta);
        EXPECT_EQ(primary_->ReleaseDC(dc), DD_OK);

        uint32_t key = 0;
        DDSURFACEDESC desc{};
        HRESULT locked = DDERR_WASSTILLDRAWING;
        conformance::pumpUntil(
            [&] {
                desc.dwSize = sizeof(desc);
                locked = primary_->Lock(nullptr, &desc, 0, nullptr);
                return locked != DDERR_WASSTILLDRAWING;
            },
            "the primary surface to finish drawing");
        EXPECT_EQ(locked, DD_OK);
        if (locked != DD_OK) return 0;
        std::memcpy(&key, desc.lpSurface, desc.ddpfPixelFormat.dwRGBBitCount / 8);
        EXPECT_EQ(primary_->Unlock(nullptr), DD_OK);

        EXPECT_EQ(primary_->GetDC(&dc), DD_OK);
        SetPixel(dc, 0, 0, saved);
        EXPECT_EQ(GetPixel(dc, 0, 0), saved);
        EXPECT_EQ(primary_->ReleaseDC(dc), DD_OK);
        return key;
    }

    static constexpr COLORREF kMagenta = RGB(255, 0, 255);
};

class GdiAtBothDepths : public Gdi, public testing::WithParamInterface<int> {};
INSTANTIATE_TEST_SUITE_P(Depths, GdiAtBothDepths, testing::Values(16, 32));

const HDC kBogusDc = reinterpret_cast<HDC>(0x99);
const HGDIOBJ kBogusObject = reinterpret_cast<HGDIOBJ>(0x99);

// ---- Pixels on surfaces ----------------------------------------------------------------

// SetPixel answers the colour the pixel got, each channel cut to the
// format's width, and GetPixel reads that colour back.
TEST_P(GdiAtBothDepths, SetPixelAndGetPixelRoundTripOnSurfaces) {
    const int bits = GetParam();
    takeDisplay(bits);
    LPDIRECTDRAWSURFACE target = offScreen(6, 4);
    ASSERT_NE(target, nullptr);
    const Format format = formatOf(target);
    HDC dc = nullptr;
    ASSERT_EQ(target->GetDC(&dc), DD_OK);
    for (COLORREF colour : {RGB(255, 0, 0), RGB(8, 4, 8), RGB(255, 255, 255), RGB(140, 130, 70),
                            RGB(9, 5, 9), RGB(250, 3, 129), RGB(77, 200, 33)}) {
        const COLORREF held = heldColour(format, colour);
        EXPECT_EQ(SetPixel(dc, 5, 3, colour), held) << std::hex << colour;
        EXPECT_EQ(GetPixel(dc, 5, 3), held) << std::hex << colour;
    }
    const COLORREF outside = SetPixel(dc, 6, 0, RGB(1, 2, 3));
    UNLESS_WINE(
        "Wine answers the colour for a pixel outside the surface; Microsoft's SetPixel "
        "documentation answers -1 outside the clipping region")
    EXPECT_EQ(outside, CLR_INVALID) << "right of the surface";
    EXPECT_EQ(GetPixel(dc, 5, 0), RGB(0, 0, 0)) << "and nothing drawn at the edge";
    EXPECT_EQ(GetPixel(dc, 0, -1), CLR_INVALID);
    EXPECT_EQ(GetPixel(dc, -1, 0), CLR_INVALID);
    SetPixel(dc, 0, 0, RGB(255, 0, 255));
    ASSERT_EQ(target->ReleaseDC(dc), DD_OK);
    EXPECT_EQ(rawPixel(target, 0, 0), bits == 16 ? 0xF81Fu : 0xFF00FFu)
        << "magenta, the game's colour key, as the surface holds it";
}

// ---- StretchBlt -------------------------------------------------------------------------

TEST_P(GdiAtBothDepths, StretchBltCopiesScalesAndClips) {
    takeDisplay(GetParam());
    LPDIRECTDRAWSURFACE target = offScreen(16, 16);
    ASSERT_NE(target, nullptr);
    const Format format = formatOf(target);
    auto held = [&](COLORREF colour) { return heldColour(format, colour); };
    HBITMAP bitmap = gradient(4, 4);
    ASSERT_NE(bitmap, nullptr);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ original = SelectObject(memory, bitmap);
    ASSERT_NE(original, nullptr);
    HDC dc = nullptr;
    ASSERT_EQ(target->GetDC(&dc), DD_OK);
    ASSERT_NE(SetStretchBltMode(dc, COLORONCOLOR), 0);

    ASSERT_TRUE(StretchBlt(dc, 0, 0, 4, 4, memory, 0, 0, 4, 4, SRCCOPY));
    EXPECT_EQ(GetPixel(dc, 3, 2), held(gradientAt(3, 2)));
    EXPECT_EQ(GetPixel(dc, 0, 0), held(gradientAt(0, 0)));
    // Twice the size: each source pixel covers 2 x 2.
    ASSERT_TRUE(StretchBlt(dc, 8, 8, 8, 8, memory, 0, 0, 4, 4, SRCCOPY));
    EXPECT_EQ(GetPixel(dc, 8 + 5, 8 + 2), held(gradientAt(2, 1)));
    EXPECT_EQ(GetPixel(dc, 8 + 4, 8 + 3), held(gradientAt(2, 1)));
    EXPECT_EQ(GetPixel(dc, 15, 15), held(gradientAt(3, 3)));
    // Off the destination's top left: the part inside lands where it belongs.
    SetPixel(dc, 2, 4, RGB(8, 8, 8));
    ASSERT_TRUE(StretchBlt(dc, -2, -1, 4, 4, memory, 0, 0, 4, 4, SRCCOPY));
    EXPECT_EQ(GetPixel(dc, 0, 0), held(gradientAt(2, 1)));
    EXPECT_EQ(GetPixel(dc, 1, 2), held(gradientAt(3, 3)));
    EXPECT_EQ(GetPixel(dc, 2, 4), RGB(8, 8, 8)) << "outside the copy";
    // A source reaching past the bitmap's edge: what lies inside is copied.
    ASSERT_TRUE(StretchBlt(dc, 12, 0, 4, 4, memory, 2, 2, 4, 4, SRCCOPY));
    EXPECT_EQ(GetPixel(dc, 12, 0), held(gradientAt(2, 2)));
    EXPECT_EQ(GetPixel(dc, 13, 1), held(gradientAt(3, 3)));

    ASSERT_EQ(target->ReleaseDC(dc), DD_OK);
    SelectObject(memory, original);
    EXPECT_TRUE(DeleteDC(memory));
    EXPECT_TRUE(DeleteObject(bitmap));
}

TEST_F(Gdi, StretchBltFromAKeyedSurfaceCopiesTheKeyColourToo) {
    takeDisplay(32);
    LPDIRECTDRAWSURFACE sprite = offScreen(4, 4);
    LPDIRECTDRAWSURFACE target = offScreen(4, 4);
    ASSERT_NE(sprite, nullptr);
    ASSERT_NE(target, nullptr);
    fillRaw(sprite, 0);
    DDCOLORKEY key{0, 0};
    ASSERT_EQ(sprite->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    fillRaw(target, 0xABCDEF);
    HDC from = nullptr, to = nullptr;
    ASSERT_EQ(sprite->GetDC(&from), DD_OK);
    ASSERT_EQ(target->GetDC(&to), DD_OK);
    EXPECT_TRUE(StretchBlt(to, 0, 0, 4, 4, from, 0, 0, 4, 4, SRCCOPY));
    EXPECT_EQ(sprite->ReleaseDC(from), DD_OK);
    EXPECT_EQ(target->ReleaseDC(to), DD_OK);
    EXPECT_EQ(rawPixel(target, 1, 1), 0u) << "GDI knows nothing of colour keys";
}

// The stretch mode starts at black-on-white and the map mode at text, on a
// surface's device context and a memory one alike; unknown modes are refused.
TEST_F(Gdi, StretchAndMapModesStartAtTheirDefaultsAndRefuseUnknownOnes) {
    takeDisplay(32);
    LPDIRECTDRAWSURFACE target = offScreen(4, 4);
    ASSERT_NE(target, nullptr);
    HDC dc = nullptr;
    ASSERT_EQ(target->GetDC(&dc), DD_OK);
    HDC memory = CreateCompatibleDC(dc);
    ASSERT_NE(memory, nullptr);
    for (HDC each : {dc, memory}) {
        EXPECT_EQ(SetStretchBltMode(each, COLORONCOLOR), BLACKONWHITE);
        EXPECT_EQ(SetStretchBltMode(each, 0), 0);
        EXPECT_EQ(SetStretchBltMode(each, 99), 0);
        EXPECT_EQ(SetStretchBltMode(each, HALFTONE), COLORONCOLOR) << "unchanged by the refusals";
        EXPECT_EQ(GetMapMode(each), MM_TEXT);
    }
    EXPECT_EQ(SetStretchBltMode(kBogusDc, COLORONCOLOR), 0);
    EXPECT_EQ(SetMapMode(memory, GetMapMode(dc)), MM_TEXT) << "as the game copies it over";
    EXPECT_EQ(SetMapMode(memory, 0), 0);
    EXPECT_EQ(SetMapMode(memory, 99), 0);
    EXPECT_EQ(GetMapMode(memory), MM_TEXT);
    EXPECT_EQ(GetMapMode(kBogusDc), 0);
    EXPECT_TRUE(DeleteDC(memory));
    EXPECT_EQ(target->ReleaseDC(dc), DD_OK);
}

// ---- Memory device contexts and their bitmaps ---------------------------------------------

TEST_F(Gdi, ANewMemoryDcHoldsAOnePixelMonochromeBitmap) {
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(dc, 1, 0), CLR_INVALID);
    EXPECT_EQ(GetPixel(dc, 0, 1), CLR_INVALID);
    HBITMAP bitmap = gradient(2, 2);
    ASSERT_NE(bitmap, nullptr);
    HGDIOBJ original = SelectObject(dc, bitmap);
    ASSERT_NE(original, nullptr);
    const BITMAP info = fixture::describeBitmap(static_cast<HBITMAP>(original));
    EXPECT_EQ(info.bmWidth, 1);
    EXPECT_EQ(info.bmHeight, 1);
    EXPECT_EQ(info.bmBitsPixel, 1);
    EXPECT_EQ(info.bmPlanes, 1);
    EXPECT_EQ(info.bmWidthBytes, 2) << "rows of a device-dependent bitmap are whole words";
    EXPECT_EQ(info.bmBits, nullptr);
    EXPECT_TRUE(DeleteObject(original)) << "a stock object: answered, and kept";
    EXPECT_EQ(SelectObject(dc, original), static_cast<HGDIOBJ>(bitmap));
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 0)) << "the stock bitmap is back";
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_TRUE(DeleteObject(bitmap));
}

TEST_F(Gdi, ABitmapIsSelectedIntoOneDcAtATimeUntilItsDcIsDeleted) {
    HBITMAP bitmap = gradient(2, 2);
    ASSERT_NE(bitmap, nullptr);
    HDC first = CreateCompatibleDC(nullptr);
    HDC second = CreateCompatibleDC(first);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    HGDIOBJ original = SelectObject(first, bitmap);
    ASSERT_NE(original, nullptr);
    EXPECT_EQ(GetPixel(first, 1, 1), gradientAt(1, 1));
    EXPECT_EQ(SelectObject(second, bitmap), nullptr) << "still in the first";
    EXPECT_EQ(SelectObject(first, bitmap), static_cast<HGDIOBJ>(bitmap)) << "again where it is";
    EXPECT_EQ(SelectObject(first, original), static_cast<HGDIOBJ>(bitmap));
    HGDIOBJ secondOriginal = SelectObject(second, bitmap);
    EXPECT_NE(secondOriginal, nullptr) << "free again";
    EXPECT_EQ(GetPixel(second, 0, 1), gradientAt(0, 1));
    SelectObject(second, secondOriginal);
    EXPECT_TRUE(DeleteDC(first));
    EXPECT_TRUE(DeleteDC(second));

    // Deleting a DC lets go of its bitmap.
    first = CreateCompatibleDC(nullptr);
    ASSERT_NE(SelectObject(first, bitmap), nullptr);
    EXPECT_TRUE(DeleteDC(first)) << "with the bitmap still in it, as the game leaves it";
    second = CreateCompatibleDC(nullptr);
    original = SelectObject(second, bitmap);
    EXPECT_NE(original, nullptr) << "free for another DC";
    SelectObject(second, original);
    EXPECT_TRUE(DeleteDC(second));
    EXPECT_TRUE(DeleteObject(bitmap));
}

// Handles GDI never gave out are refused, and so are those deleted: objects
// and DCs are deleted once.
TEST_F(Gdi, UnknownAndDeletedHandlesAreRefused) {
    HBITMAP bitmap = gradient(2, 2);
    ASSERT_NE(bitmap, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(SelectObject(kBogusDc, bitmap), nullptr);
    EXPECT_EQ(SelectObject(nullptr, bitmap), nullptr);
    EXPECT_EQ(SelectObject(dc, kBogusObject), nullptr);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 0)) << "the DC keeps its bitmap";
    EXPECT_EQ(GetPixel(kBogusDc, 0, 0), CLR_INVALID);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_FALSE(DeleteObject(bitmap));
    EXPECT_EQ(SelectObject(dc, bitmap), nullptr) << "a deleted bitmap";
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc));
    EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID) << "a deleted DC";
    EXPECT_FALSE(DeleteObject(nullptr));
    EXPECT_FALSE(DeleteDC(nullptr));
}

TEST_F(Gdi, DeleteObjectRefusesABitmapStillSelected) {
    HBITMAP bitmap = gradient(2, 2);
    ASSERT_NE(bitmap, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(SelectObject(dc, bitmap), nullptr);
    UNLESS_WINE(
        "Wine answers TRUE and deletes the bitmap once it is deselected; Microsoft's "
        "DeleteObject documentation answers zero for an object selected into a DC")
    EXPECT_FALSE(DeleteObject(bitmap));
    EXPECT_EQ(GetPixel(dc, 1, 0), gradientAt(1, 0)) << "the bitmap is still drawn from";
    EXPECT_TRUE(DeleteDC(dc));
    DeleteObject(bitmap);
}

// The whole copy of a loaded picture into a sprite's surface, call for call.
TEST_P(GdiAtBothDepths, CopyIntoASurfaceAsTheGameDoes) {
    takeDisplay(GetParam());
    LPDIRECTDRAWSURFACE sprite = offScreen(4, 3);
    ASSERT_NE(sprite, nullptr);
    const Format format = formatOf(sprite);
    HBITMAP bitmap = gradient(4, 3);
    ASSERT_NE(bitmap, nullptr);
    copyAsTheGameDoes(sprite, bitmap, 4, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            const COLORREF c = gradientAt(x, y);
            EXPECT_EQ(rawPixel(sprite, x, y),
                      conformance::rawOf(format, GetRValue(c), GetGValue(c), GetBValue(c)))
                << x << "," << y;
        }
    EXPECT_TRUE(DeleteObject(bitmap));
}

// The key the game reads from the primary surface is the very value the
// art's transparent parts get on their way from GDI+ through StretchBlt, so
// a keyed Blt leaves the background there.
TEST_P(GdiAtBothDepths, TheColourKeyFromThePrimaryLeavesTheBackgroundAroundTheArt) {
    takeDisplayWithChain(GetParam());
    const uint32_t key = keyAsTheGameReadsIt();
    EXPECT_EQ(key & 0xFFFFFF, raw(primary_, 255, 0, 255));
    // A 4 x 4 picture, transparent but for a red 2 x 2 middle.
    HBITMAP art = loadBitmap(
        write("art.png", fixture::makePng({.width = 4, .height = 4, .pixel = [](int x, int y) {
                                               const uint8_t opaque = x % 3 && y % 3 ? 255 : 0;
                                               return fixture::Bytes{opaque, 0, 0, opaque};
                                           }})));
    LPDIRECTDRAWSURFACE sprite = offScreen(4, 4);
    ASSERT_NE(art, nullptr);
    ASSERT_NE(sprite, nullptr);
    copyAsTheGameDoes(sprite, art, 4, 4);
    EXPECT_TRUE(DeleteObject(art));
    EXPECT_EQ(pixelBits(sprite, 0, 0), key) << "the transparent part holds the key exactly";

    DDCOLORKEY colourKey{key, key};
    ASSERT_EQ(sprite->SetColorKey(DDCKEY_SRCBLT, &colourKey), DD_OK);
    fill(back_, 0, 0, 255);
    RECT at{10, 10, 14, 14};
    ASSERT_EQ(back_->Blt(&at, sprite, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr), DD_OK);
    EXPECT_EQ(rawPixel(back_, 10, 10), raw(back_, 0, 0, 255));
    EXPECT_EQ(rawPixel(back_, 13, 12), raw(back_, 0, 0, 255));
    EXPECT_EQ(rawPixel(back_, 11, 11), raw(back_, 255, 0, 0));
    EXPECT_EQ(rawPixel(back_, 12, 12), raw(back_, 255, 0, 0));
}

}  // namespace
