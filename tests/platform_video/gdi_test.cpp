// The GDI calls the game makes with the bitmaps GDI+ gives it, on memory
// device contexts and on DirectDraw surfaces.
#include <SDL.h>
#include <gtest/gtest.h>

#include "image_files.h"
#include "surfaces.h"
#include "varnholt/platform_test.h"
#include "win32/ddraw.h"

namespace {

using namespace fixture;

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
        PngRecipe recipe;
        recipe.width = width;
        recipe.height = height;
        recipe.pixel = [](int x, int y) -> Bytes {
            return {uint8_t(x * 16), uint8_t(y * 16), 99, 255};
        };
        GpBitmap* image = nullptr;
        EXPECT_EQ(load(write("gradient.png", makePng(recipe)), &image), Ok);
        HBITMAP bitmap = nullptr;
        EXPECT_EQ(GdipCreateHBITMAPFromBitmap(image, &bitmap, 0xFF000000), Ok);
        GdipDisposeImage(image);
        return bitmap;
    }

    static COLORREF gradientAt(int x, int y) { return RGB(x * 16, y * 16, 99); }

    // A colour as a surface of this format holds it.
    static COLORREF held(LPDIRECTDRAWSURFACE surface, COLORREF color) {
        const SDL_PixelFormat* format = vh::test::sdlSurface(surface)->format;
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
