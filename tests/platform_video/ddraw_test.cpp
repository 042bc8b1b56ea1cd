// DirectDraw on the headless host: object lifetimes, modes, blits, flips and
// lost surfaces, seen through the surfaces' pixels and the presented frames.
#include <SDL.h>
#include <gtest/gtest.h>

#include "surfaces.h"
#include "varnholt/platform_test.h"
#include "win32/ddraw.h"

namespace {

const HWND kWindow = reinterpret_cast<HWND>(0x1000);

LPDIRECTDRAW openDisplay(int width = 640, int height = 480, int bits = 32) {
    LPDIRECTDRAW dd = nullptr;
    EXPECT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    EXPECT_EQ(dd->SetCooperativeLevel(kWindow, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    EXPECT_EQ(dd->SetDisplayMode(width, height, bits), DD_OK);
    return dd;
}

LPDIRECTDRAWSURFACE createPrimary(LPDIRECTDRAW dd, LPDIRECTDRAWSURFACE* back) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    desc.dwBackBufferCount = 1;
    LPDIRECTDRAWSURFACE primary = nullptr;
    EXPECT_EQ(dd->CreateSurface(&desc, &primary, nullptr), DD_OK);
    DDSCAPS caps{DDSCAPS_BACKBUFFER};
    EXPECT_EQ(primary->GetAttachedSurface(&caps, back), DD_OK);
    return primary;
}

LPDIRECTDRAWSURFACE createOffScreen(LPDIRECTDRAW dd, int width, int height) {
    return fixture::makeOffScreen(dd, width, height);
}

Uint32 rawColor(LPDIRECTDRAWSURFACE surface, Uint8 r, Uint8 g, Uint8 b) {
    return SDL_MapRGB(vh::test::sdlSurface(surface)->format, r, g, b);
}

void fill(LPDIRECTDRAWSURFACE surface, Uint8 r, Uint8 g, Uint8 b, const SDL_Rect* area = nullptr) {
    SDL_Surface* pixels = vh::test::sdlSurface(surface);
    SDL_LockSurface(pixels);
    SDL_FillRect(pixels, area, SDL_MapRGB(pixels->format, r, g, b));
    SDL_UnlockSurface(pixels);
}

// Every pixel of the sprite a colour of its own: 0x00xxyy80.
void paintCoordinates(LPDIRECTDRAWSURFACE surface) {
    SDL_Surface* pixels = vh::test::sdlSurface(surface);
    for (int y = 0; y < pixels->h; ++y)
        for (int x = 0; x < pixels->w; ++x)
            vh::test::setSurfaceRawPixel(surface, x, y, Uint32(x) << 16 | Uint32(y) << 8 | 0x80);
}

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
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 32), DDERR_NOEXCLUSIVEMODE);
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

TEST(DirectDraw, CreateSurfaceChecksTheDescription) {
    LPDIRECTDRAW dd = openDisplay();
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc) - 4;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    desc.dwWidth = desc.dwHeight = 8;
    LPDIRECTDRAWSURFACE surface = reinterpret_cast<LPDIRECTDRAWSURFACE>(0x1);
    EXPECT_EQ(dd->CreateSurface(&desc, &surface, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(surface, nullptr);
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH;
    EXPECT_EQ(dd->CreateSurface(&desc, &surface, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->Release(), 0u);
}

TEST(DirectDraw, PrimaryHasTheModesSizeAndFormat) {
    LPDIRECTDRAW dd = openDisplay(800, 600, 16);
    LPDIRECTDRAWSURFACE back = nullptr;
    LPDIRECTDRAWSURFACE primary = createPrimary(dd, &back);
    for (auto* surface : {primary, back, createOffScreen(dd, 5, 3)}) {
        SDL_Surface* pixels = vh::test::sdlSurface(surface);
        EXPECT_EQ(pixels->format->format, Uint32(SDL_PIXELFORMAT_RGB565));
        if (surface != primary && surface != back) {
            EXPECT_EQ(pixels->w, 5);
            surface->Release();
        } else {
            EXPECT_EQ(pixels->w, 800);
            EXPECT_EQ(pixels->h, 600);
        }
    }
    back->Release();
    primary->Release();
    dd->Release();
    EXPECT_EQ(vh::test::liveObjectCount(), 0);
}

TEST(DirectDraw, ChainCanBeReleasedInEitherOrder) {
    LPDIRECTDRAW dd = openDisplay();
    LPDIRECTDRAWSURFACE back = nullptr;
    LPDIRECTDRAWSURFACE primary = createPrimary(dd, &back);
    EXPECT_EQ(back->Release(), 0u);
    EXPECT_EQ(primary->Release(), 0u);
    EXPECT_EQ(vh::test::liveObjectCount(), 1);

    primary = createPrimary(dd, &back);
    EXPECT_EQ(primary->Release(), 0u);
    // The game still holds the back buffer: it stays a valid object, lost.
    EXPECT_EQ(back->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(back->Release(), 0u);
    EXPECT_EQ(dd->Release(), 0u);
    EXPECT_EQ(vh::test::liveObjectCount(), 0);
}

TEST(DirectDraw, SurfacesOutlivingTheirDirectDrawAreHarmless) {
    LPDIRECTDRAW dd = openDisplay();
    LPDIRECTDRAWSURFACE back = nullptr;
    LPDIRECTDRAWSURFACE primary = createPrimary(dd, &back);
    LPDIRECTDRAWSURFACE sprite = createOffScreen(dd, 4, 4);
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

// ---- Lock and descriptions ------------------------------------------------------

class AtBothDepths : public testing::TestWithParam<int> {};
INSTANTIATE_TEST_SUITE_P(Depths, AtBothDepths, testing::Values(16, 32));

TEST_P(AtBothDepths, LockDescribesTheSurface) {
    int bits = GetParam();
    LPDIRECTDRAW dd = openDisplay(640, 480, bits);
    LPDIRECTDRAWSURFACE surface = createOffScreen(dd, 7, 3);
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc) + 1;
    EXPECT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
    desc.dwSize = sizeof(desc);
    ASSERT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(desc.dwWidth, 7u);
    EXPECT_EQ(desc.dwHeight, 3u);
    EXPECT_GE(desc.lPitch, 7 * bits / 8);
    const DWORD wanted = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_LPSURFACE;
    EXPECT_EQ(desc.dwFlags & wanted, wanted);
    EXPECT_EQ(desc.ddpfPixelFormat.dwFlags & DDPF_RGB, DWORD(DDPF_RGB));
    EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, DWORD(bits));
    if (bits == 32) {
        EXPECT_EQ(desc.ddpfPixelFormat.dwRBitMask, 0xFF0000u);
        EXPECT_EQ(desc.ddpfPixelFormat.dwGBitMask, 0x00FF00u);
        EXPECT_EQ(desc.ddpfPixelFormat.dwBBitMask, 0x0000FFu);
    } else {
        EXPECT_EQ(desc.ddpfPixelFormat.dwRBitMask, 0xF800u);
        EXPECT_EQ(desc.ddpfPixelFormat.dwGBitMask, 0x07E0u);
        EXPECT_EQ(desc.ddpfPixelFormat.dwBBitMask, 0x001Fu);
    }
    // Write the pixel at (2, 1) through the pointer and the pitch.
    Uint8* row = static_cast<Uint8*>(desc.lpSurface) + desc.lPitch;
    if (bits == 32)
        reinterpret_cast<Uint32*>(row)[2] = 0x123456;
    else
        reinterpret_cast<Uint16*>(row)[2] = 0xF800;
    DDSURFACEDESC again{};
    again.dwSize = sizeof(again);
    EXPECT_EQ(surface->Lock(nullptr, &again, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(surface->Unlock(nullptr), DD_OK);
    EXPECT_EQ(surface->Unlock(nullptr), DDERR_NOTLOCKED);
    EXPECT_EQ(vh::test::surfaceRawPixel(surface, 2, 1), bits == 32 ? 0x123456u : 0xF800u);
    surface->Release();
    dd->Release();
}

// ---- Blits ----------------------------------------------------------------------

// An 8 x 8 sprite: key colour all round, a red 4 x 4 block in its middle.
LPDIRECTDRAWSURFACE makeKeyedSprite(LPDIRECTDRAW dd) {
    LPDIRECTDRAWSURFACE sprite = createOffScreen(dd, 8, 8);
    fill(sprite, 255, 0, 255);
    SDL_Rect block{2, 2, 4, 4};
    fill(sprite, 255, 0, 0, &block);
    DDCOLORKEY key;
    key.dwColorSpaceLowValue = key.dwColorSpaceHighValue = rawColor(sprite, 255, 0, 255);
    EXPECT_EQ(sprite->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    return sprite;
}

TEST_P(AtBothDepths, KeyedBlitSkipsKeyPixelsOnly) {
    LPDIRECTDRAW dd = openDisplay(640, 480, GetParam());
    LPDIRECTDRAWSURFACE back = nullptr;
    LPDIRECTDRAWSURFACE primary = createPrimary(dd, &back);
    LPDIRECTDRAWSURFACE sprite = makeKeyedSprite(dd);
    fill(back, 0, 0, 255);
    RECT at{10, 20, 18, 28};
    ASSERT_EQ(back->Blt(&at, sprite, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr), DD_OK);
    auto picture = vh::test::surfacePixels(back);
    EXPECT_EQ(picture.at(10, 20), kBlue);
    EXPECT_EQ(picture.at(11, 21), kBlue);
    EXPECT_EQ(picture.at(12, 22), kRed);
    EXPECT_EQ(picture.at(15, 25), kRed);
    EXPECT_EQ(picture.at(16, 26), kBlue);

    // Without DDBLT_KEYSRC the key colour is copied like any other.
    ASSERT_EQ(back->Blt(&at, sprite, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(vh::test::surfacePixels(back).at(10, 20), 0xFF00FFu);
    // Asking for a key the source does not have is refused.
    EXPECT_EQ(sprite->Blt(nullptr, back, &at, DDBLT_WAIT | DDBLT_KEYSRC, nullptr),
              DDERR_INVALIDPARAMS);
    sprite->Release();
    back->Release();
    primary->Release();
    dd->Release();
}

TEST(DirectDraw, SpriteChangedAfterItsFirstBlitDrawsTheChange) {
    // SDL run-length encodes keyed sprites at their first blit; writes made
    // afterwards, and a new key, must not be drawn from the stale encoding.
    LPDIRECTDRAW dd = openDisplay();
    LPDIRECTDRAWSURFACE back = nullptr;
    LPDIRECTDRAWSURFACE primary = createPrimary(dd, &back);
    LPDIRECTDRAWSURFACE sprite = makeKeyedSprite(dd);
    fill(back, 0, 0, 255);
    RECT at{0, 0, 8, 8};
    ASSERT_EQ(back->Blt(&at, sprite, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr), DD_OK);

    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    ASSERT_EQ(sprite->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    static_cast<Uint32*>(desc.lpSurface)[0] = 0x00FF00;
    ASSERT_EQ(sprite->Unlock(nullptr), DD_OK);
    ASSERT_EQ(back->Blt(&at, sprite, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr), DD_OK);
    EXPECT_EQ(vh::test::surfacePixels(back).at(0, 0), 0x00FF00u);

    DDCOLORKEY red{0xFF0000, 0xFF0000};
    ASSERT_EQ(sprite->SetColorKey(DDCKEY_SRCBLT, &red), DD_OK);
    fill(back, 0, 0, 255);
    ASSERT_EQ(back->Blt(&at, sprite, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr), DD_OK);
    auto picture = vh::test::surfacePixels(back);
    EXPECT_EQ(picture.at(3, 3), kBlue);
    EXPECT_EQ(picture.at(1, 1), 0xFF00FFu);
    sprite->Release();
    back->Release();
    primary->Release();
    dd->Release();
}

struct EdgeCase {
    int x, y;            // where the 8 x 8 sprite goes
    int probeX, probeY;  // a back-buffer pixel that must show
    int fromX, fromY;    // this pixel of the sprite
};

class ClippedAtEdges : public testing::TestWithParam<EdgeCase> {};
INSTANTIATE_TEST_SUITE_P(Edges, ClippedAtEdges,
                         testing::Values(EdgeCase{-3, 10, 0, 10, 3, 0},     // left
                                         EdgeCase{10, -5, 10, 0, 0, 5},     // top
                                         EdgeCase{636, 10, 639, 10, 3, 0},  // right
                                         EdgeCase{10, 478, 10, 479, 0, 1},  // bottom
                                         EdgeCase{-2, -2, 0, 0, 2, 2}));    // corner

TEST_P(ClippedAtEdges, ClipperCutsTheBlitToTheDisplay) {
    const EdgeCase edge = GetParam();
    LPDIRECTDRAW dd = openDisplay();
    LPDIRECTDRAWSURFACE back = nullptr;
    LPDIRECTDRAWSURFACE primary = createPrimary(dd, &back);
    LPDIRECTDRAWSURFACE sprite = createOffScreen(dd, 8, 8);
    paintCoordinates(sprite);
    DDCOLORKEY key{0x00FFFF, 0x00FFFF};  // a colour the sprite does not use
    ASSERT_EQ(sprite->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    fill(back, 0, 0, 255);
    RECT at{edge.x, edge.y, edge.x + 8, edge.y + 8};

    EXPECT_EQ(back->Blt(&at, sprite, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr),
              DDERR_INVALIDRECT);
    EXPECT_EQ(vh::test::surfacePixels(back).at(edge.probeX, edge.probeY), kBlue);

    LPDIRECTDRAWCLIPPER clipper = nullptr;
    ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
    ASSERT_EQ(clipper->SetHWnd(0, kWindow), DD_OK);
    ASSERT_EQ(back->SetClipper(clipper), DD_OK);
    ASSERT_EQ(back->Blt(&at, sprite, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr), DD_OK);
    uint32_t expected = uint32_t(edge.fromX) << 16 | uint32_t(edge.fromY) << 8 | 0x80;
    EXPECT_EQ(vh::test::surfacePixels(back).at(edge.probeX, edge.probeY), expected);

    RECT outside{-20, -20, -12, -12};
    EXPECT_EQ(back->Blt(&outside, sprite, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr), DD_OK);
    clipper->Release();
    sprite->Release();
    back->Release();
    primary->Release();
    dd->Release();
}

TEST(DirectDraw, SourceRectangleMustLieInTheSource) {
    LPDIRECTDRAW dd = openDisplay();
    LPDIRECTDRAWSURFACE back = nullptr;
    LPDIRECTDRAWSURFACE primary = createPrimary(dd, &back);
    LPDIRECTDRAWSURFACE sprite = createOffScreen(dd, 8, 8);
    paintCoordinates(sprite);
    RECT from{4, 4, 12, 12};
    RECT to{0, 0, 8, 8};
    EXPECT_EQ(back->Blt(&to, sprite, &from, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
    RECT part{5, 6, 7, 8};
    RECT small{100, 100, 102, 102};
    ASSERT_EQ(back->Blt(&small, sprite, &part, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(vh::test::surfacePixels(back).at(101, 101), 0x060780u);
    sprite->Release();
    back->Release();
    primary->Release();
    dd->Release();
}

// ---- Flip -----------------------------------------------------------------------

TEST(DirectDraw, FlipExchangesBuffersAndPresentsTheFront) {
    LPDIRECTDRAW dd = openDisplay();
    LPDIRECTDRAWSURFACE back = nullptr;
    LPDIRECTDRAWSURFACE primary = createPrimary(dd, &back);
    fill(primary, 0, 0, 255);
    fill(back, 255, 0, 0);
    ASSERT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(vh::test::presentedFrameCount(), 1);
    auto frame = vh::test::presentedFrame();
    ASSERT_EQ(frame.width, 640);
    EXPECT_EQ(frame.at(0, 0), kRed);
    EXPECT_EQ(frame.at(639, 479), kRed);
    EXPECT_EQ(vh::test::surfacePixels(back).at(5, 5), kBlue);

    LPDIRECTDRAWSURFACE same = nullptr;
    DDSCAPS caps{DDSCAPS_BACKBUFFER};
    ASSERT_EQ(primary->GetAttachedSurface(&caps, &same), DD_OK);
    EXPECT_EQ(same, back);
    same->Release();

    EXPECT_EQ(back->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);
    HDC dc = nullptr;
    ASSERT_EQ(back->GetDC(&dc), DD_OK);
    EXPECT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACEBUSY);
    HDC second = nullptr;
    EXPECT_EQ(back->GetDC(&second), DDERR_DCALREADYCREATED);
    ASSERT_EQ(back->ReleaseDC(dc), DD_OK);
    ASSERT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(vh::test::presentedFrame().at(0, 0), kBlue);
    back->Release();
    primary->Release();
    dd->Release();
}

// ---- Lost surfaces --------------------------------------------------------------

TEST(DirectDraw, BackgroundLosesEverySurfaceUntilRestored) {
    LPDIRECTDRAW dd = openDisplay();
    LPDIRECTDRAWSURFACE back = nullptr;
    LPDIRECTDRAWSURFACE primary = createPrimary(dd, &back);
    LPDIRECTDRAWSURFACE sprite = createOffScreen(dd, 8, 8);
    fill(sprite, 255, 0, 0);

    vh::test::setDisplayForeground(false);
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
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
    EXPECT_EQ(vh::test::surfacePixels(sprite).at(3, 3), vh::test::kRestoredGarbage);
    EXPECT_EQ(vh::test::surfacePixels(back).at(100, 100), vh::test::kRestoredGarbage);
    EXPECT_EQ(back->Blt(&at, sprite, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    sprite->Release();
    back->Release();
    primary->Release();
    dd->Release();
}

TEST(DirectDraw, LoseAllSurfacesHookRestoresAtOnceAndRestoreKeepsGoodPixels) {
    LPDIRECTDRAW dd = openDisplay();
    LPDIRECTDRAWSURFACE kept = createOffScreen(dd, 4, 4);
    fill(kept, 255, 0, 0);
    EXPECT_EQ(kept->Restore(), DD_OK);  // not lost: nothing to give back
    EXPECT_EQ(vh::test::surfacePixels(kept).at(0, 0), kRed);
    vh::test::loseAllSurfaces();
    EXPECT_EQ(kept->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(kept->Restore(), DD_OK);
    EXPECT_EQ(vh::test::surfacePixels(kept).at(0, 0), vh::test::kRestoredGarbage);
    kept->Release();
    dd->Release();
}

// ---- Injected results and the journal ---------------------------------------------

TEST(DirectDraw, InjectedResultsReachTheChosenCallsOnly) {
    LPDIRECTDRAW dd = openDisplay();
    LPDIRECTDRAWSURFACE first = createOffScreen(dd, 4, 4);
    LPDIRECTDRAWSURFACE second = createOffScreen(dd, 4, 4);
    vh::test::injectResult("IDirectDrawSurface::Lock", DDERR_WASSTILLDRAWING, 2);
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
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
