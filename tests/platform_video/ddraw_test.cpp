// DirectDraw on the headless host: the modes it offers, lifetimes seen
// through the live-object count, surfaces that outlive their objects, the
// frames that reach the host, lost surfaces and chosen answers. How the calls
// answer is stated by the conformance tests (tests/conformance).
#include <SDL.h>
#include <gtest/gtest.h>

#include "surfaces.h"
#include "varnholt/platform_test.h"
#include "win32/ddraw.h"

namespace {

const HWND kWindow = reinterpret_cast<HWND>(0x1000);

LPDIRECTDRAW openDisplay(int width = 640, int height = 480, int bits = 32) {
    return fixture::openDisplay(kWindow, width, height, bits);
}

void fill(LPDIRECTDRAWSURFACE surface, Uint8 r, Uint8 g, Uint8 b, const SDL_Rect* area = nullptr) {
    SDL_Surface* pixels = vh::test::sdlSurface(surface);
    SDL_LockSurface(pixels);
    SDL_FillRect(pixels, area, SDL_MapRGB(pixels->format, r, g, b));
    SDL_UnlockSurface(pixels);
}

// The display taken, with the flipping chain the game draws through.
struct Display {
    LPDIRECTDRAW dd = openDisplay();
    LPDIRECTDRAWSURFACE back = nullptr;
    LPDIRECTDRAWSURFACE primary = fixture::makeFlippingChain(dd, &back);
};

constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kRed = 0xFF0000;

// ---- Creation, modes and lifetimes ----------------------------------------------

TEST(DirectDraw, CreateFailsWithoutADisplay) {
    vh::test::setHeadlessDisplayAvailable(false);
    LPDIRECTDRAW dd = reinterpret_cast<LPDIRECTDRAW>(0x1);
    EXPECT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DDERR_NODIRECTDRAWHW);
    EXPECT_EQ(dd, nullptr);
    EXPECT_EQ(vh::test::liveObjectCount(), 0);
}

TEST(DirectDraw, OnlyListedModesAreAccepted) {
    LPDIRECTDRAW dd = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    ASSERT_EQ(dd->SetCooperativeLevel(kWindow, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    int desktopWidth = GetSystemMetrics(SM_CXSCREEN);
    EXPECT_EQ(dd->SetDisplayMode(1280, 1024, 32), DDERR_INVALIDMODE);
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 24), DDERR_INVALIDMODE);
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 8), DDERR_INVALIDMODE);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), desktopWidth);
    for (int bits : {16, 32}) {
        EXPECT_EQ(dd->SetDisplayMode(800, 600, bits), DD_OK);
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    }
    EXPECT_EQ(dd->Release(), 0u);
}

TEST(DirectDraw, LastReleaseGivesTheScreenBack) {
    int desktopWidth = GetSystemMetrics(SM_CXSCREEN);
    LPDIRECTDRAW dd = openDisplay(1024, 768);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
    EXPECT_EQ(dd->AddRef(), 2u);
    EXPECT_EQ(dd->Release(), 1u);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
    EXPECT_EQ(dd->Release(), 0u);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), desktopWidth);
    EXPECT_EQ(vh::test::liveObjectCount(), 0);
}

TEST(DirectDraw, ARefusedSurfaceLeavesNoPointerBehind) {
    LPDIRECTDRAW dd = openDisplay();
    DDSURFACEDESC desc = fixture::offScreenDescription(8, 8);
    desc.dwSize = sizeof(desc) - 4;
    LPDIRECTDRAWSURFACE surface = reinterpret_cast<LPDIRECTDRAWSURFACE>(0x1);
    EXPECT_EQ(dd->CreateSurface(&desc, &surface, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(surface, nullptr);
    EXPECT_EQ(dd->Release(), 0u);
    EXPECT_EQ(vh::test::liveObjectCount(), 0);
}

TEST(DirectDraw, ChainCanBeReleasedInEitherOrder) {
    auto [dd, back, primary] = Display();
    EXPECT_EQ(back->Release(), 1u) << "the chain's own reference";
    EXPECT_EQ(primary->Release(), 0u);
    EXPECT_EQ(vh::test::liveObjectCount(), 1);

    primary = fixture::makeFlippingChain(dd, &back);
    EXPECT_EQ(primary->Release(), 0u);
    // The game still holds the back buffer: it stays a valid object, lost.
    EXPECT_EQ(back->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(back->Release(), 0u);
    EXPECT_EQ(dd->Release(), 0u);
    EXPECT_EQ(vh::test::liveObjectCount(), 0);
}

TEST(DirectDraw, SurfacesOutlivingTheirDirectDrawAreHarmless) {
    auto [dd, back, primary] = Display();
    LPDIRECTDRAWSURFACE sprite = fixture::makeOffScreen(dd, 4, 4);
    LPDIRECTDRAWCLIPPER clipper = nullptr;
    ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
    ASSERT_EQ(back->SetClipper(clipper), DD_OK);
    EXPECT_EQ(clipper->Release(), 1u);  // the back buffer still holds it
    EXPECT_EQ(dd->Release(), 0u);

    EXPECT_EQ(back->Blt(nullptr, sprite, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACELOST);
    EXPECT_TRUE(FAILED(sprite->Restore()));
    EXPECT_EQ(vh::test::presentedFrameCount(), 0);
    sprite->Release();
    primary->Release();
    back->Release();
    EXPECT_EQ(vh::test::liveObjectCount(), 0);
}

// ---- Flip -----------------------------------------------------------------------

TEST(DirectDraw, FlipPresentsTheNewFrontToTheHost) {
    auto [dd, back, primary] = Display();
    fill(primary, 0, 0, 255);
    fill(back, 255, 0, 0);
    ASSERT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(vh::test::presentedFrameCount(), 1);
    auto frame = vh::test::presentedFrame();
    ASSERT_EQ(frame.width, 640);
    EXPECT_EQ(frame.at(0, 0), kRed);
    EXPECT_EQ(frame.at(639, 479), kRed);
    EXPECT_EQ(vh::test::surfacePixels(back).at(5, 5), kBlue);

    // No flip while the back buffer has a device context out; nothing shown.
    HDC dc = nullptr;
    ASSERT_EQ(back->GetDC(&dc), DD_OK);
    EXPECT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACEBUSY);
    EXPECT_EQ(vh::test::presentedFrameCount(), 1);
    ASSERT_EQ(back->ReleaseDC(dc), DD_OK);
    ASSERT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(vh::test::presentedFrame().at(0, 0), kBlue);
    back->Release();
    primary->Release();
    dd->Release();
}

// ---- Lost surfaces --------------------------------------------------------------

// The background, and the hook that loses every surface at once, lose
// surfaces until they are restored; a surface not lost keeps its pixels.
TEST(DirectDraw, BackgroundAndTheLoseHookLoseSurfacesUntilRestored) {
    auto [dd, back, primary] = Display();
    LPDIRECTDRAWSURFACE sprite = fixture::makeOffScreen(dd, 8, 8);
    fill(sprite, 255, 0, 0);
    EXPECT_EQ(sprite->Restore(), DD_OK);  // not lost: nothing to give back
    EXPECT_EQ(vh::test::surfacePixels(sprite).at(0, 0), kRed);

    vh::test::setDisplayForeground(false);
    DDSURFACEDESC desc = fixture::blankDescription();
    HDC dc = nullptr;
    RECT at{0, 0, 8, 8};
    EXPECT_EQ(back->Blt(&at, sprite, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACELOST);
    EXPECT_EQ(sprite->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(sprite->GetDC(&dc), DDERR_SURFACELOST);
    EXPECT_EQ(sprite->IsLost(), DDERR_SURFACELOST);
    EXPECT_TRUE(FAILED(sprite->Restore()));
    EXPECT_TRUE(FAILED(primary->Restore()));

    vh::test::setDisplayForeground(true);
    EXPECT_EQ(sprite->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(back->Blt(&at, sprite, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(sprite->Restore(), DD_OK);
    EXPECT_EQ(primary->Restore(), DD_OK);  // restores its back buffer with it
    EXPECT_EQ(back->IsLost(), DD_OK);
    EXPECT_EQ(vh::test::surfacePixels(sprite).at(3, 3), vh::test::kRestoredFill);
    EXPECT_EQ(vh::test::surfacePixels(back).at(100, 100), vh::test::kRestoredFill);
    EXPECT_EQ(back->Blt(&at, sprite, nullptr, DDBLT_WAIT, nullptr), DD_OK);

    fill(sprite, 255, 0, 0);
    vh::test::loseAllSurfaces();
    EXPECT_EQ(sprite->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(sprite->Restore(), DD_OK);
    EXPECT_EQ(vh::test::surfacePixels(sprite).at(0, 0), vh::test::kRestoredFill);
    sprite->Release();
    back->Release();
    primary->Release();
    dd->Release();
}

// ---- Injected results and the journal ---------------------------------------------

TEST(DirectDraw, InjectedResultsReachTheChosenCallsOnly) {
    LPDIRECTDRAW dd = openDisplay();
    LPDIRECTDRAWSURFACE first = fixture::makeOffScreen(dd, 4, 4);
    LPDIRECTDRAWSURFACE second = fixture::makeOffScreen(dd, 4, 4);
    vh::test::injectResult("IDirectDrawSurface::Lock", DDERR_WASSTILLDRAWING, 2);
    DDSURFACEDESC desc = fixture::blankDescription();
    EXPECT_EQ(first->Lock(nullptr, &desc, 0, nullptr), DDERR_WASSTILLDRAWING);
    EXPECT_EQ(first->Lock(nullptr, &desc, 0, nullptr), DDERR_WASSTILLDRAWING);
    EXPECT_EQ(first->Lock(nullptr, &desc, 0, nullptr), DD_OK);
    first->Unlock(nullptr);

    vh::test::loseAllSurfaces();
    vh::test::injectResult("IDirectDrawSurface::Restore", DDERR_GENERIC, -1, second);
    EXPECT_EQ(first->Restore(), DD_OK);
    EXPECT_EQ(second->Restore(), DDERR_GENERIC);
    EXPECT_EQ(second->IsLost(), DDERR_SURFACELOST);

    vh::test::injectResult("IDirectDraw::SetDisplayMode", DDERR_INVALIDMODE);
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 32), DDERR_INVALIDMODE);
    vh::test::injectResult("IDirectDrawSurface::GetDC", DDERR_GENERIC);
    HDC dc = reinterpret_cast<HDC>(0x1);
    EXPECT_EQ(first->GetDC(&dc), DDERR_GENERIC);
    EXPECT_EQ(dc, nullptr);

    vh::test::clearJournal();
    RECT at{0, 0, 4, 4};
    first->Blt(&at, first, nullptr, DDBLT_WAIT, nullptr);
    auto calls = vh::test::journal();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].name, "IDirectDrawSurface::Blt");
    EXPECT_EQ(calls[0].object, static_cast<const void*>(first));
    EXPECT_EQ(calls[0].result, DD_OK);
    first->Release();
    second->Release();
    dd->Release();
}

}  // namespace
