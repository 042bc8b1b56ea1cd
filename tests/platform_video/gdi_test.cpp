// GDI on the headless host: our layer's answers where Windows' are the
// driver's own, live objects, and chosen answers. How GDI answers is stated
// by the conformance tests (tests/conformance).
#include <SDL.h>
#include <gtest/gtest.h>

#include "image_files.h"
#include "surfaces.h"
#include "varnholt/platform_test.h"
#include "win32/ddraw.h"

namespace {

using namespace fixture;
using namespace Gdiplus;
using namespace Gdiplus::DllExports;

// ---- GDI on bitmaps and surfaces ----------------------------------------------------

class Gdi : public ImageTest {
  protected:
    void SetUp() override {
        ImageTest::SetUp();
        ASSERT_EQ(DirectDrawCreate(nullptr, &dd_, nullptr), DD_OK);
        ASSERT_EQ(dd_->SetCooperativeLevel(reinterpret_cast<HWND>(0x1000),
                                           DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN),
                  DD_OK);
    }
    void TearDown() override {
        if (dd_) dd_->Release();
        ImageTest::TearDown();
    }

    LPDIRECTDRAWSURFACE surface(int bits, int width, int height) {
        EXPECT_EQ(dd_->SetDisplayMode(640, 480, bits), DD_OK);
        return fixture::makeOffScreen(dd_, width, height);
    }

    LPDIRECTDRAW dd_ = nullptr;
};

// Where our layer is stricter than Windows, whose surface device contexts are
// memory DCs with the surface's pixels selected: ours takes no bitmap, goes
// back only through ReleaseDC, and is stale after it. The game does none of
// these.
TEST_F(Gdi, SurfaceDcsTakeNoBitmapAndGoBackThroughReleaseDc) {
    int before = vh::test::liveObjectCount();
    HBITMAP bitmap = gradient(2, 2);
    LPDIRECTDRAWSURFACE target = surface(32, 2, 2);
    HDC onSurface = nullptr;
    ASSERT_EQ(target->GetDC(&onSurface), DD_OK);
    EXPECT_EQ(SelectObject(onSurface, bitmap), nullptr);
    EXPECT_EQ(DeleteDC(onSurface), FALSE);
    EXPECT_EQ(SetPixel(onSurface, 1, 1, RGB(255, 0, 0)), RGB(255, 0, 0));
    ASSERT_EQ(target->ReleaseDC(onSurface), DD_OK);
    EXPECT_EQ(GetPixel(onSurface, 1, 1), CLR_INVALID) << "a stale handle";
    EXPECT_EQ(vh::test::surfaceRawPixel(target, 1, 1), 0xFF0000u);
    target->Release();
    EXPECT_EQ(DeleteObject(bitmap), TRUE);
    EXPECT_EQ(vh::test::liveObjectCount(), before);
}

// StretchBlt copies; raster operations and mirrored copies, which the game
// never asks for, are refused rather than done wrong.
TEST_F(Gdi, StretchBltRefusesWhatItDoesNotDo) {
    LPDIRECTDRAWSURFACE target = surface(32, 4, 4);
    HBITMAP bitmap = gradient(4, 4);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ original = SelectObject(memory, bitmap);
    HDC dc = nullptr;
    ASSERT_EQ(target->GetDC(&dc), DD_OK);
    constexpr DWORD kSourcePaint = 0x00EE0086;
    EXPECT_FALSE(StretchBlt(dc, 0, 0, 4, 4, memory, 0, 0, 4, 4, kSourcePaint));
    EXPECT_FALSE(StretchBlt(dc, 4, 0, -4, 4, memory, 0, 0, 4, 4, SRCCOPY));
    EXPECT_FALSE(StretchBlt(dc, 0, 0, 4, 4, memory, 0, 4, 4, -4, SRCCOPY));
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 0)) << "nothing drawn";
    EXPECT_TRUE(StretchBlt(dc, 0, 0, 4, 4, memory, 0, 0, 4, 4, SRCCOPY));
    ASSERT_EQ(target->ReleaseDC(dc), DD_OK);
    SelectObject(memory, original);
    DeleteDC(memory);
    DeleteObject(bitmap);
    target->Release();
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
