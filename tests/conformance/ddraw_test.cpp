// DirectDraw through its version-1 interfaces: the object and its modes,
// surface creation and descriptions, the flipping chain and reference counts,
// Lock, GetDC, Flip, colour-keyed blits with and without a clipper.
#include "conformance.h"

namespace {

using conformance::DisplayAtBothDepths;
using conformance::DisplayTest;
using conformance::kScreenHeight;
using conformance::kScreenWidth;

INSTANTIATE_TEST_SUITE_P(Depths, DisplayAtBothDepths, testing::Values(16, 32));

// The size of the later versions' description (DDSURFACEDESC2: capabilities
// of four words and a texture stage), whatever the pointer size.
constexpr DWORD kLaterDescriptionSize = DWORD(sizeof(DDSURFACEDESC)) + 16;
constexpr DWORD kDescriptionSize = DWORD(sizeof(DDSURFACEDESC));

// ---- The DirectDraw object and its modes -----------------------------------------------

// No surface before a cooperative level is set; exclusive mode is set for a
// window, full-screen.
TEST_F(DisplayTest, SurfacesNeedACooperativeLevelAndExclusiveModeAFullScreenWindow) {
    DDSURFACEDESC desc = fixture::offScreenDescription(8, 8);
    LPDIRECTDRAWSURFACE surface = nullptr;
    EXPECT_EQ(dd_->CreateSurface(&desc, &surface, nullptr), DDERR_NOCOOPERATIVELEVELSET);
    EXPECT_EQ(surface, nullptr);
    EXPECT_EQ(dd_->SetCooperativeLevel(window_, DDSCL_EXCLUSIVE), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd_->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN),
              DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd_->SetCooperativeLevel(window_, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
}

TEST_F(DisplayTest, AModeCanBeSetWithoutExclusiveModeUnlessAnotherHoldsItOrNoDisplayHasIt) {
    EXPECT_EQ(dd_->SetDisplayMode(kScreenWidth, kScreenHeight, 32), DD_OK);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), kScreenWidth);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), kScreenHeight);
    LPDIRECTDRAW other = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &other, nullptr), DD_OK);
    ASSERT_EQ(other->SetCooperativeLevel(window_, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    EXPECT_EQ(dd_->SetDisplayMode(kScreenWidth, kScreenHeight, 32), DDERR_NOEXCLUSIVEMODE);
    EXPECT_EQ(other->SetDisplayMode(kScreenWidth, kScreenHeight, 32), DD_OK);
    EXPECT_EQ(other->Release(), 0u);
    EXPECT_EQ(dd_->SetDisplayMode(kScreenWidth, kScreenHeight, 32), DD_OK) << "free again";
    // Modes no display has are refused.
    takeDisplay(32);
    const struct {
        DWORD width, height, bits;
    } refused[] = {{kScreenWidth - 1, kScreenHeight - 1, 32},
                   {kScreenWidth, kScreenHeight, 24},
                   {12345, 678, 32}};
    for (const auto& mode : refused) {
        SCOPED_TRACE(testing::Message() << mode.width << "x" << mode.height << "x" << mode.bits);
        const HRESULT result = dd_->SetDisplayMode(mode.width, mode.height, mode.bits);
        EXPECT_TRUE(FAILED(result));
        UNLESS_WINE(
            "Wine answers DDERR_GENERIC for a mode the display does not have; the "
            "DirectDraw documentation names DDERR_INVALIDMODE for it")
        EXPECT_EQ(result, DDERR_INVALIDMODE);
    }
    // The mode in force stays.
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), kScreenWidth);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), kScreenHeight);
}

// The bits a pixel of the display's mode has, as another program sees them:
// its primary surface has the display's format.
int displayBits(HWND window) {
    LPDIRECTDRAW other = nullptr;
    EXPECT_EQ(DirectDrawCreate(nullptr, &other, nullptr), DD_OK);
    if (!other) return 0;
    EXPECT_EQ(other->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    DDSURFACEDESC desc = conformance::blankDescription();
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    LPDIRECTDRAWSURFACE primary = nullptr;
    EXPECT_EQ(other->CreateSurface(&desc, &primary, nullptr), DD_OK);
    if (primary) {
        EXPECT_EQ(primary->GetSurfaceDesc(&desc), DD_OK);
        primary->Release();
    }
    other->Release();
    return int(desc.ddpfPixelFormat.dwRGBBitCount);
}

// DirectDraw counts its references; the last release gives the desktop its
// mode back.
TEST_F(DisplayTest, ReleasingDirectDrawGivesTheDesktopItsModeBack) {
    EXPECT_EQ(dd_->AddRef(), 2u);
    EXPECT_EQ(dd_->Release(), 1u);
    const int desktopBits = displayBits(window_), desktopWidth = GetSystemMetrics(SM_CXSCREEN);
    takeDisplay(16);
    EXPECT_EQ(displayBits(window_), 16) << "the game's mode";
    EXPECT_EQ(dd_->Release(), 0u) << "as the game leaves";
    dd_ = nullptr;
    EXPECT_EQ(displayBits(window_), desktopBits);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), desktopWidth);
}

// ---- Surface creation and descriptions -------------------------------------------------

// Descriptions of the version-1 size only, off-screen surfaces of both sizes,
// and complete flipping chains.
TEST_F(DisplayTest, CreateSurfaceAndGetSurfaceDescRefuseOtherSizesAndIncompleteChains) {
    takeDisplay(32);
    LPDIRECTDRAWSURFACE made = offScreen(8, 8);
    ASSERT_NE(made, nullptr);
    for (DWORD size :
         {DWORD(0), kDescriptionSize - 1, kDescriptionSize + 1, kLaterDescriptionSize}) {
        DDSURFACEDESC desc = fixture::offScreenDescription(8, 8);
        desc.dwSize = size;
        EXPECT_EQ(made->GetSurfaceDesc(&desc), DDERR_INVALIDPARAMS) << size;
        LPDIRECTDRAWSURFACE surface = nullptr;
        EXPECT_EQ(dd_->CreateSurface(&desc, &surface, nullptr), DDERR_INVALIDPARAMS) << size;
    }
    // An off-screen surface needs both its sizes.
    DDSURFACEDESC desc = fixture::offScreenDescription(8, 8);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH;
    LPDIRECTDRAWSURFACE surface = nullptr;
    EXPECT_EQ(dd_->CreateSurface(&desc, &surface, nullptr), DDERR_INVALIDPARAMS);
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT;
    EXPECT_EQ(dd_->CreateSurface(&desc, &surface, nullptr), DDERR_INVALIDPARAMS);
    // A flipping chain needs DDSCAPS_COMPLEX, DDSCAPS_FLIP and a count.
    desc = conformance::blankDescription();
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    desc.dwBackBufferCount = 1;
    surface = nullptr;
    EXPECT_EQ(dd_->CreateSurface(&desc, &surface, nullptr), DDERR_INVALIDCAPS) << "no count";
    desc.dwFlags |= DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP;
    EXPECT_EQ(dd_->CreateSurface(&desc, &surface, nullptr), DDERR_INVALIDCAPS) << "not complex";
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_COMPLEX;
    EXPECT_EQ(dd_->CreateSurface(&desc, &surface, nullptr), DDERR_INVALIDCAPS) << "no flip";
    EXPECT_EQ(surface, nullptr);
}

TEST_P(DisplayAtBothDepths, OffScreenSurfaceDescriptionAndLock) {
    const int bits = GetParam();
    takeDisplay(bits);
    LPDIRECTDRAWSURFACE surface = offScreen(7, 3);
    ASSERT_NE(surface, nullptr);
    DDSURFACEDESC desc = describe(surface);
    EXPECT_EQ(desc.dwSize, DWORD(sizeof(DDSURFACEDESC)));
    const DWORD wanted = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
    EXPECT_EQ(desc.dwFlags & wanted, wanted);
    EXPECT_EQ(desc.dwWidth, 7u);
    EXPECT_EQ(desc.dwHeight, 3u);
    EXPECT_GE(desc.lPitch, 7 * bits / 8);
    EXPECT_TRUE(desc.ddsCaps.dwCaps & DDSCAPS_OFFSCREENPLAIN);
    EXPECT_TRUE(desc.ddsCaps.dwCaps & (DDSCAPS_VIDEOMEMORY | DDSCAPS_SYSTEMMEMORY))
        << "DirectDraw says where it put the surface";
    const DDPIXELFORMAT& format = desc.ddpfPixelFormat;
    EXPECT_EQ(format.dwSize, DWORD(sizeof(DDPIXELFORMAT)));
    EXPECT_TRUE(format.dwFlags & DDPF_RGB);
    EXPECT_EQ(format.dwRGBBitCount, DWORD(bits));
    if (bits == 32) {
        EXPECT_EQ(format.dwRBitMask, 0xFF0000u);
        EXPECT_EQ(format.dwGBitMask, 0x00FF00u);
        EXPECT_EQ(format.dwBBitMask, 0x0000FFu);
    } else {
        EXPECT_EQ(format.dwRBitMask, 0xF800u);
        EXPECT_EQ(format.dwGBitMask, 0x07E0u);
        EXPECT_EQ(format.dwBBitMask, 0x001Fu);
    }
    // Lock describes it too, and gives its pixels.
    desc = conformance::blankDescription();
    ASSERT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    const DWORD locked = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
    EXPECT_EQ(desc.dwFlags & locked, locked);
    EXPECT_FALSE(desc.dwFlags & DDSD_LPSURFACE) << "the pointer is given, the flag is not";
    EXPECT_EQ(desc.dwWidth, 7u);
    EXPECT_EQ(desc.dwHeight, 3u);
    EXPECT_GE(desc.lPitch, 7 * bits / 8);
    EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, DWORD(bits));
    ASSERT_NE(desc.lpSurface, nullptr);
    // The pixel at (2, 1), through the pointer and the pitch.
    uint8_t* row = static_cast<uint8_t*>(desc.lpSurface) + desc.lPitch;
    if (bits == 32) {
        const uint32_t value = 0x123456;
        std::memcpy(row + 2 * 4, &value, 4);
    } else {
        const uint16_t value = 0xF800;
        std::memcpy(row + 2 * 2, &value, 2);
    }
    DDSURFACEDESC again = conformance::blankDescription();
    EXPECT_EQ(surface->Lock(nullptr, &again, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(surface->Unlock(nullptr), DD_OK);
    EXPECT_EQ(surface->Unlock(nullptr), DDERR_NOTLOCKED);
    EXPECT_EQ(rawPixel(surface, 2, 1), bits == 32 ? 0x123456u : 0xF800u);
}

TEST_P(DisplayAtBothDepths, PrimaryAndBackBufferDescriptions) {
    const int bits = GetParam();
    takeDisplayWithChain(bits);
    DDSURFACEDESC front = describe(primary_);
    EXPECT_EQ(front.dwWidth, DWORD(kScreenWidth));
    EXPECT_EQ(front.dwHeight, DWORD(kScreenHeight));
    EXPECT_EQ(front.ddpfPixelFormat.dwRGBBitCount, DWORD(bits));
    const DWORD frontCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER | DDSCAPS_FLIP |
                            DDSCAPS_COMPLEX | DDSCAPS_VISIBLE;
    EXPECT_EQ(front.ddsCaps.dwCaps & frontCaps, frontCaps);
    EXPECT_TRUE(front.dwFlags & DDSD_BACKBUFFERCOUNT);
    EXPECT_EQ(front.dwBackBufferCount, 1u);

    DDSURFACEDESC back = describe(back_);
    EXPECT_EQ(back.dwWidth, DWORD(kScreenWidth));
    EXPECT_EQ(back.dwHeight, DWORD(kScreenHeight));
    EXPECT_EQ(back.ddpfPixelFormat.dwRGBBitCount, DWORD(bits));
    EXPECT_EQ(back.ddpfPixelFormat.dwRBitMask, front.ddpfPixelFormat.dwRBitMask);
    const DWORD backCaps = DDSCAPS_BACKBUFFER | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    EXPECT_EQ(back.ddsCaps.dwCaps & backCaps, backCaps);
    EXPECT_EQ(
        back.ddsCaps.dwCaps & (DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER | DDSCAPS_VISIBLE), 0u);
    EXPECT_EQ(back.dwBackBufferCount, 0u);
}

TEST_F(DisplayTest, DescriptionShowsTheSourceColourKey) {
    takeDisplay(32);
    LPDIRECTDRAWSURFACE sprite = offScreen(4, 4);
    ASSERT_NE(sprite, nullptr);
    EXPECT_FALSE(describe(sprite).dwFlags & DDSD_CKSRCBLT);
    DDCOLORKEY key{0xFF00FF, 0xFF00FF};
    ASSERT_EQ(sprite->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    DDSURFACEDESC desc = describe(sprite);
    EXPECT_TRUE(desc.dwFlags & DDSD_CKSRCBLT);
    EXPECT_EQ(desc.ddckCKSrcBlt.dwColorSpaceLowValue, 0xFF00FFu);
    EXPECT_EQ(desc.ddckCKSrcBlt.dwColorSpaceHighValue, 0xFF00FFu);
    EXPECT_EQ(sprite->SetColorKey(DDCKEY_SRCBLT, nullptr), DD_OK) << "takes the key away";
    EXPECT_FALSE(describe(sprite).dwFlags & DDSD_CKSRCBLT);
}

// ---- The chain's references and the orders of release ---------------------------------

// GetAttachedSurface hands out the same back buffer each time, which has a
// reference of the chain besides the callers'.
TEST_F(DisplayTest, TheBackBufferIsOneAndHasAReferenceOfTheChainBesidesTheCallers) {
    takeDisplayWithChain(32);
    LPDIRECTDRAWSURFACE again = nullptr;
    DDSCAPS caps{DDSCAPS_BACKBUFFER};
    ASSERT_EQ(primary_->GetAttachedSurface(&caps, &again), DD_OK);
    EXPECT_EQ(again, back_);
    EXPECT_EQ(again->Release(), 2u);
    DDSCAPS flip{DDSCAPS_FLIP};
    ASSERT_EQ(primary_->GetAttachedSurface(&flip, &again), DD_OK);
    EXPECT_EQ(again, back_);
    again->Release();
    // A sprite has none; released before DirectDraw is, as the game releases it.
    LPDIRECTDRAWSURFACE sprite = fixture::makeOffScreen(dd_, 4, 4);
    ASSERT_NE(sprite, nullptr);
    EXPECT_EQ(sprite->GetAttachedSurface(&caps, &again), DDERR_NOTFOUND);
    EXPECT_EQ(sprite->Release(), 0u);
    EXPECT_EQ(back_->AddRef(), 3u);
    EXPECT_EQ(back_->Release(), 2u);
    // Released as the game releases: the back buffer, the primary, DirectDraw.
    EXPECT_EQ(back_->Release(), 1u) << "the chain still holds it";
    back_ = nullptr;
    EXPECT_EQ(primary_->Release(), 0u);
    primary_ = nullptr;
    EXPECT_EQ(dd_->Release(), 0u);
    dd_ = nullptr;
}

TEST_F(DisplayTest, TheSurfaceAClipperIsSetOnHoldsAReference) {
    takeDisplayWithChain(32);
    LPDIRECTDRAWCLIPPER clipper = nullptr;
    ASSERT_EQ(dd_->CreateClipper(0, &clipper, nullptr), DD_OK);
    ASSERT_EQ(clipper->SetHWnd(0, window_), DD_OK);
    HWND bound = nullptr;
    EXPECT_EQ(clipper->GetHWnd(&bound), DD_OK);
    EXPECT_EQ(bound, window_);
    ASSERT_EQ(back_->SetClipper(clipper), DD_OK);
    EXPECT_EQ(clipper->AddRef(), 3u);
    EXPECT_EQ(clipper->Release(), 2u);
    ASSERT_EQ(back_->SetClipper(nullptr), DD_OK);
    EXPECT_EQ(clipper->AddRef(), 2u);
    EXPECT_EQ(clipper->Release(), 1u);
    ASSERT_EQ(back_->SetClipper(clipper), DD_OK);
    // The game lets the back buffer keep the clipper alone.
    EXPECT_EQ(clipper->Release(), 1u);
}

// ---- Lock ---------------------------------------------------------------------------------

// Lock takes both description sizes and no other, and rectangles that lie in
// the surface.
TEST_F(DisplayTest, LockTakesBothDescriptionSizesAndRectanglesInTheSurfaceOnly) {
    takeDisplay(32);
    LPDIRECTDRAWSURFACE surface = offScreen(16, 16);
    ASSERT_NE(surface, nullptr);
    // A buffer as large as the later versions' description, and then some.
    union {
        DDSURFACEDESC desc;
        uint8_t bytes[256];
    } buffer;
    for (DWORD size : {DWORD(0), kDescriptionSize - 1, kDescriptionSize + 1,
                       kLaterDescriptionSize - 1, kLaterDescriptionSize + 1}) {
        std::memset(&buffer, 0, sizeof(buffer));
        buffer.desc.dwSize = size;
        EXPECT_EQ(surface->Lock(nullptr, &buffer.desc, 0, nullptr), DDERR_INVALIDPARAMS) << size;
    }
    for (DWORD size : {kDescriptionSize, kLaterDescriptionSize}) {
        std::memset(&buffer, 0xEF, sizeof(buffer));
        buffer.desc.dwSize = size;
        ASSERT_EQ(surface->Lock(nullptr, &buffer.desc, 0, nullptr), DD_OK) << size;
        EXPECT_EQ(buffer.desc.dwSize, size) << "the size is left as it was given";
        EXPECT_EQ(buffer.desc.dwWidth, 16u);
        EXPECT_EQ(buffer.desc.dwHeight, 16u);
        EXPECT_EQ(buffer.bytes[kLaterDescriptionSize], 0xEF) << "nothing written past it";
        EXPECT_EQ(surface->Unlock(nullptr), DD_OK);
    }

    fillRaw(surface, 0);
    RECT corner{5, 6, 9, 10};
    DDSURFACEDESC desc = conformance::blankDescription();
    ASSERT_EQ(surface->Lock(&corner, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    const uint32_t value = 0xABCDEF;
    std::memcpy(desc.lpSurface, &value, 4);  // the rectangle's top-left pixel
    ASSERT_EQ(surface->Unlock(nullptr), DD_OK);
    EXPECT_EQ(rawPixel(surface, 5, 6), 0xABCDEFu);
    EXPECT_EQ(rawPixel(surface, 4, 6), 0u);

    for (RECT empty : {RECT{5, 5, 5, 9}, RECT{5, 5, 9, 5}}) {
        EXPECT_EQ(surface->Lock(&empty, &desc, DDLOCK_WAIT, nullptr), DD_OK) << "an empty one";
        surface->Unlock(nullptr);
    }
    for (RECT outside : {RECT{9, 5, 5, 9}, RECT{-1, 0, 4, 4}, RECT{0, -1, 4, 4}, RECT{12, 0, 17, 4},
                         RECT{0, 12, 4, 17}, RECT{16, 0, 20, 4}}) {
        std::memset(&desc, 0x11, sizeof(desc));
        desc.dwSize = sizeof(desc);
        EXPECT_EQ(surface->Lock(&outside, &desc, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS)
            << outside.left << "," << outside.top << "," << outside.right << "," << outside.bottom;
        EXPECT_EQ(desc.lpSurface, nullptr) << "a refused lock gives no pointer";
    }
    EXPECT_EQ(surface->Lock(nullptr, nullptr, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
}

// ---- Device contexts on surfaces ------------------------------------------------------------

// One device context at a time, and no lock while it is out; a locked
// surface still gives one, and the lock outlives it.
TEST_F(DisplayTest, OneDeviceContextAtATimeAndLocksAroundIt) {
    takeDisplay(32);
    LPDIRECTDRAWSURFACE surface = offScreen(4, 4);
    ASSERT_NE(surface, nullptr);
    HDC dc = nullptr;
    ASSERT_EQ(surface->GetDC(&dc), DD_OK);
    ASSERT_NE(dc, nullptr);
    HDC second = reinterpret_cast<HDC>(0x1234);
    EXPECT_EQ(surface->GetDC(&second), DDERR_DCALREADYCREATED);
    EXPECT_EQ(second, reinterpret_cast<HDC>(0x1234)) << "the second handle is left alone";
    DDSURFACEDESC desc = conformance::blankDescription();
    EXPECT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(surface->ReleaseDC(dc), DD_OK);
    EXPECT_EQ(surface->ReleaseDC(dc), DDERR_NODC);

    ASSERT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(surface->GetDC(&dc), DD_OK);
    EXPECT_EQ(surface->ReleaseDC(dc), DD_OK);
    EXPECT_EQ(surface->Unlock(nullptr), DD_OK);
}

// ---- Flip -----------------------------------------------------------------------------------

TEST_F(DisplayTest, FlipExchangesFrontAndBackOfAChainOnly) {
    takeDisplayWithChain(32);
    fill(primary_, 0, 0, 255);
    fill(back_, 255, 0, 0);
    ASSERT_EQ(primary_->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(rawPixel(primary_, 0, 0), raw(primary_, 255, 0, 0));
    EXPECT_EQ(rawPixel(primary_, kScreenWidth - 1, kScreenHeight - 1), raw(primary_, 255, 0, 0));
    EXPECT_EQ(rawPixel(back_, 5, 5), raw(back_, 0, 0, 255));
    ASSERT_EQ(primary_->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(rawPixel(primary_, 9, 9), raw(primary_, 0, 0, 255));
    // The interface pointers stay where they were.
    LPDIRECTDRAWSURFACE same = nullptr;
    DDSCAPS caps{DDSCAPS_BACKBUFFER};
    ASSERT_EQ(primary_->GetAttachedSurface(&caps, &same), DD_OK);
    EXPECT_EQ(same, back_);
    same->Release();
    // Only the front of a chain flips, to its own back buffer.
    LPDIRECTDRAWSURFACE sprite = offScreen(kScreenWidth, kScreenHeight);
    ASSERT_NE(sprite, nullptr);
    EXPECT_EQ(back_->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);
    EXPECT_EQ(sprite->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);
    EXPECT_EQ(primary_->Flip(sprite, DDFLIP_WAIT), DDERR_NOTFLIPPABLE) << "not of the chain";
    EXPECT_EQ(primary_->Flip(primary_, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);
    EXPECT_EQ(primary_->Flip(back_, DDFLIP_WAIT), DD_OK) << "naming the back buffer";
}

// ---- The display lost and got back ----------------------------------------------------------

// The game's display with a sprite on it, for a player who switches to
// another program and back. The game finds out from Flip or from
// WM_ACTIVATEAPP, then restores the primary surface, the back buffer and each
// sprite, in that order, and draws the sprites' pictures again.
class LostDisplay : public DisplayTest {
  protected:
    void SetUp() override {
        DisplayTest::SetUp();
        takeDisplayWithChain(32);
        sprite_ = offScreen(8, 8);
        ASSERT_NE(sprite_, nullptr);
        conformance::pumpUntil([] { return true; }, "the queue");
        conformance::seen().clear();  // the window's activation when it was made
    }

    std::vector<HRESULT> lostStates() {
        return {primary_->IsLost(), back_->IsLost(), sprite_->IsLost()};
    }
    std::vector<HRESULT> restoreInTheGamesOrder() {
        return {primary_->Restore(), back_->Restore(), sprite_->Restore()};
    }

    // What was restored takes pixels again: the sprite's, drawn onto the back
    // buffer and flipped to the front.
    void expectUsable() {
        fill(sprite_, 255, 0, 0);
        fill(back_, 0, 0, 255);
        RECT at{20, 30, 28, 38};
        ASSERT_EQ(back_->Blt(&at, sprite_, nullptr, DDBLT_WAIT, nullptr), DD_OK);
        ASSERT_EQ(primary_->Flip(nullptr, DDFLIP_WAIT), DD_OK);
        EXPECT_EQ(rawPixel(primary_, 20, 30), raw(primary_, 255, 0, 0));
        EXPECT_EQ(rawPixel(primary_, 19, 30), raw(primary_, 0, 0, 255));
    }

    LPDIRECTDRAWSURFACE sprite_ = nullptr;
    const std::vector<HRESULT> kAllLost{DDERR_SURFACELOST, DDERR_SURFACELOST, DDERR_SURFACELOST};
    const std::vector<HRESULT> kAllOk{DD_OK, DD_OK, DD_OK};
};

TEST_F(LostDisplay, SwitchingAwayLosesEverySurfaceUntilFlipLeadsToTheirRestore) {
    fill(sprite_, 255, 0, 0);
    ASSERT_EQ(lostStates(), kAllOk);
    EXPECT_EQ(restoreInTheGamesOrder(), kAllOk) << "nothing was lost";
    EXPECT_EQ(rawPixel(sprite_, 3, 3), raw(sprite_, 255, 0, 0)) << "and nothing changed";
    switchAway();
    EXPECT_EQ(lostStates(), kAllLost);
    EXPECT_EQ(primary_->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACELOST);
    EXPECT_EQ(primary_->Restore(), DDERR_WRONGMODE) << "nothing comes back in the background";
    switchBack();
    EXPECT_EQ(lostStates(), kAllLost) << "coming back restores nothing by itself";
    EXPECT_EQ(primary_->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACELOST);
    ASSERT_EQ(primary_->Restore(), DD_OK);
    EXPECT_EQ(lostStates(), (std::vector<HRESULT>{DD_OK, DD_OK, DDERR_SURFACELOST}))
        << "the back buffer comes back with the primary, a sprite on its own";
    EXPECT_EQ(restoreInTheGamesOrder(), kAllOk);
    EXPECT_EQ(lostStates(), kAllOk);
    expectUsable();
}

TEST_F(LostDisplay, TheSurfacesComeBackFromTheActivationMessage) {
    std::vector<HRESULT> restored;
    conformance::handler() = [&](HWND, UINT message, WPARAM wParam, LPARAM, bool&) {
        if (message == WM_ACTIVATEAPP && wParam) restored = restoreInTheGamesOrder();
        return LRESULT(0);
    };
    switchAway();
    EXPECT_TRUE(SetForegroundWindow(GetDesktopWindow()));
    switchBack();
    EXPECT_TRUE(SetForegroundWindow(window_));
    conformance::pumpUntil([] { return true; }, "the queue");
    EXPECT_EQ(conformance::timesSeen(WM_ACTIVATEAPP, FALSE), 1) << "once for each change";
    EXPECT_EQ(conformance::timesSeen(WM_ACTIVATEAPP, TRUE), 1);
    EXPECT_EQ(restored, kAllOk);
    EXPECT_EQ(lostStates(), kAllOk);
    expectUsable();
}

// ---- Blits ----------------------------------------------------------------------------------

class Blits : public DisplayTest {
  protected:
    // An 8 x 8 sprite keyed on magenta all round, a red 4 x 4 block in its middle.
    LPDIRECTDRAWSURFACE keyedSprite() {
        LPDIRECTDRAWSURFACE sprite = offScreen(8, 8);
        if (!sprite) return nullptr;
        fill(sprite, 255, 0, 255);
        RECT block{2, 2, 6, 6};
        fill(sprite, 255, 0, 0, &block);
        DDCOLORKEY key;
        key.dwColorSpaceLowValue = key.dwColorSpaceHighValue = raw(sprite, 255, 0, 255);
        EXPECT_EQ(sprite->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
        return sprite;
    }
};

class BlitsAtBothDepths : public Blits, public testing::WithParamInterface<int> {};
INSTANTIATE_TEST_SUITE_P(Depths, BlitsAtBothDepths, testing::Values(16, 32));

TEST_P(BlitsAtBothDepths, KeyedBlitSkipsKeyPixelsOnly) {
    takeDisplayWithChain(GetParam());
    LPDIRECTDRAWSURFACE sprite = keyedSprite();
    ASSERT_NE(sprite, nullptr);
    const uint32_t blue = raw(back_, 0, 0, 255), red = raw(back_, 255, 0, 0);
    fill(back_, 0, 0, 255);
    RECT at{10, 20, 18, 28};
    ASSERT_EQ(back_->Blt(&at, sprite, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr), DD_OK);
    EXPECT_EQ(rawPixel(back_, 10, 20), blue);
    EXPECT_EQ(rawPixel(back_, 11, 21), blue);
    EXPECT_EQ(rawPixel(back_, 12, 22), red);
    EXPECT_EQ(rawPixel(back_, 15, 25), red);
    EXPECT_EQ(rawPixel(back_, 16, 26), blue);
    EXPECT_EQ(rawPixel(back_, 9, 20), blue) << "nothing outside the rectangle";

    // Without DDBLT_KEYSRC the key colour is copied like any other.
    ASSERT_EQ(back_->Blt(&at, sprite, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(rawPixel(back_, 10, 20), raw(back_, 255, 0, 255));
}

TEST_F(Blits, AKeyedBlitNeedsASourceWithAKey) {
    takeDisplayWithChain(32);
    LPDIRECTDRAWSURFACE plain = offScreen(8, 8);
    ASSERT_NE(plain, nullptr);
    RECT at{0, 0, 8, 8};
    EXPECT_EQ(back_->Blt(&at, plain, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr),
              DDERR_INVALIDPARAMS);
    LPDIRECTDRAWSURFACE sprite = keyedSprite();
    ASSERT_NE(sprite, nullptr);
    ASSERT_EQ(sprite->SetColorKey(DDCKEY_SRCBLT, nullptr), DD_OK);
    EXPECT_EQ(back_->Blt(&at, sprite, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr),
              DDERR_INVALIDPARAMS)
        << "once the key is taken away";
}

TEST_F(Blits, ASpriteChangedAfterItsFirstBlitDrawsTheChange) {
    takeDisplayWithChain(32);
    LPDIRECTDRAWSURFACE sprite = keyedSprite();
    ASSERT_NE(sprite, nullptr);
    fill(back_, 0, 0, 255);
    RECT at{0, 0, 8, 8};
    ASSERT_EQ(back_->Blt(&at, sprite, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr), DD_OK);

    RECT corner{0, 0, 1, 1};
    fill(sprite, 0, 255, 0, &corner);
    ASSERT_EQ(back_->Blt(&at, sprite, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr), DD_OK);
    EXPECT_EQ(rawPixel(back_, 0, 0), raw(back_, 0, 255, 0));

    // A new key: now red is transparent and magenta is drawn.
    DDCOLORKEY red{raw(sprite, 255, 0, 0), raw(sprite, 255, 0, 0)};
    ASSERT_EQ(sprite->SetColorKey(DDCKEY_SRCBLT, &red), DD_OK);
    fill(back_, 0, 0, 255);
    ASSERT_EQ(back_->Blt(&at, sprite, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr), DD_OK);
    EXPECT_EQ(rawPixel(back_, 3, 3), raw(back_, 0, 0, 255));
    EXPECT_EQ(rawPixel(back_, 1, 1), raw(back_, 255, 0, 255));
}

TEST_F(Blits, RectanglesAreCheckedAndNeitherSurfaceMayBeLocked) {
    takeDisplayWithChain(32);
    LPDIRECTDRAWSURFACE sprite = offScreen(8, 8);
    ASSERT_NE(sprite, nullptr);
    paintCoordinates(sprite);
    RECT to{0, 0, 8, 8};
    RECT pastTheEdge{4, 4, 12, 12};
    EXPECT_EQ(back_->Blt(&to, sprite, &pastTheEdge, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
    RECT inverted{6, 6, 2, 2};
    EXPECT_EQ(back_->Blt(&to, sprite, &inverted, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
    EXPECT_EQ(back_->Blt(&inverted, sprite, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
    RECT empty{3, 3, 3, 5};
    EXPECT_EQ(back_->Blt(&empty, sprite, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);

    RECT part{5, 6, 7, 8};
    RECT small{100, 100, 102, 102};
    ASSERT_EQ(back_->Blt(&small, sprite, &part, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(rawPixel(back_, 100, 100), coordinateColour(back_, 5, 6));
    EXPECT_EQ(rawPixel(back_, 101, 101), coordinateColour(back_, 6, 7));

    // Neither surface may be locked.
    DDSURFACEDESC desc = conformance::blankDescription();
    ASSERT_EQ(sprite->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(back_->Blt(&to, sprite, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACEBUSY);
    ASSERT_EQ(sprite->Unlock(nullptr), DD_OK);
    ASSERT_EQ(back_->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(back_->Blt(&to, sprite, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACEBUSY);
    ASSERT_EQ(back_->Unlock(nullptr), DD_OK);
    EXPECT_EQ(back_->Blt(&to, sprite, nullptr, DDBLT_WAIT, nullptr), DD_OK);
}

// ---- Blits at the screen's edges, with and without a clipper -------------------------------

struct EdgeCase {
    const char* name;
    int x, y;            // where the 8 x 8 sprite goes
    int probeX, probeY;  // a back-buffer pixel that must show
    int fromX, fromY;    // this pixel of the sprite
};

class ClippedAtEdges : public Blits, public testing::WithParamInterface<EdgeCase> {};
INSTANTIATE_TEST_SUITE_P(
    Edges, ClippedAtEdges,
    testing::Values(EdgeCase{"left", -3, 10, 0, 10, 3, 0}, EdgeCase{"top", 10, -5, 10, 0, 0, 5},
                    EdgeCase{"right", kScreenWidth - 4, 10, kScreenWidth - 1, 10, 3, 0},
                    EdgeCase{"bottom", 10, kScreenHeight - 2, 10, kScreenHeight - 1, 0, 1},
                    EdgeCase{"corner", -2, -2, 0, 0, 2, 2}),
    [](const testing::TestParamInfo<EdgeCase>& info) { return std::string(info.param.name); });

TEST_P(ClippedAtEdges, OnlyAClipperLetsABlitReachPastTheEdge) {
    const EdgeCase edge = GetParam();
    takeDisplayWithChain(32);
    LPDIRECTDRAWSURFACE sprite = offScreen(8, 8);
    ASSERT_NE(sprite, nullptr);
    paintCoordinates(sprite);
    DDCOLORKEY key{raw(sprite, 0, 255, 255), raw(sprite, 0, 255, 255)};  // a colour not used
    ASSERT_EQ(sprite->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    fill(back_, 0, 0, 255);
    RECT at{edge.x, edge.y, edge.x + 8, edge.y + 8};

    EXPECT_EQ(back_->Blt(&at, sprite, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr),
              DDERR_INVALIDRECT);
    EXPECT_EQ(rawPixel(back_, edge.probeX, edge.probeY), raw(back_, 0, 0, 255));

    LPDIRECTDRAWCLIPPER clipper = nullptr;
    ASSERT_EQ(dd_->CreateClipper(0, &clipper, nullptr), DD_OK);
    ASSERT_EQ(clipper->SetHWnd(0, window_), DD_OK);
    ASSERT_EQ(back_->SetClipper(clipper), DD_OK);
    clipper->Release();
    ASSERT_EQ(back_->Blt(&at, sprite, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr), DD_OK);
    EXPECT_EQ(rawPixel(back_, edge.probeX, edge.probeY),
              coordinateColour(back_, edge.fromX, edge.fromY));

    RECT outside{-20, -20, -12, -12};
    EXPECT_EQ(back_->Blt(&outside, sprite, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr), DD_OK)
        << "wholly outside: nothing to draw";
}

}  // namespace
