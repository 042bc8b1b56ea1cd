// The DirectDraw object: cooperative level, display modes, and the making
// of surfaces and clippers.
#include <algorithm>
#include <memory>
#include <new>

#include "ddraw_private.h"
#include "varnholt/host.h"
#include "winapi_state.h"

namespace vh::platform::dd {
namespace {

constexpr DisplayMode kModes[] = {
    {640, 480, 16}, {640, 480, 32},  {800, 600, 16},
    {800, 600, 32}, {1024, 768, 16}, {1024, 768, 32},
};

bool isSupportedMode(DWORD width, DWORD height, DWORD bitsPerPixel) {
    return std::any_of(std::begin(kModes), std::end(kModes), [&](const DisplayMode& mode) {
        return DWORD(mode.width) == width && DWORD(mode.height) == height &&
               DWORD(mode.bitsPerPixel) == bitsPerPixel;
    });
}

const DirectDrawObject*& exclusiveOwner() {
    return winapiState().ddraw.exclusiveOwner;
}

}  // namespace

// The desktop's own mode (32 bits a pixel) until a DirectDraw object sets
// one, and again once that object gives it back.
DisplayMode DirectDrawObject::mode() const {
    if (const auto& set = winapiState().ddraw.mode) return *set;
    return {std::max(host().screenWidth(), 1), std::max(host().screenHeight(), 1), 32};
}

DirectDrawObject::DirectDrawObject() {
    ++liveDirectDrawObjects();
}

DirectDrawObject::~DirectDrawObject() {
    // Surfaces the game still holds outlive us as lost, unrestorable objects,
    // so that their late Release calls stay harmless.
    for (auto* surface : std::vector<SurfaceObject*>(surfaces_)) surface->orphan();
    if (exclusiveOwner() == this) exclusiveOwner() = nullptr;
    leaveFullScreen();
    --liveDirectDrawObjects();
}

void DirectDrawObject::forget(SurfaceObject* surface) {
    surfaces_.erase(std::remove(surfaces_.begin(), surfaces_.end(), surface), surfaces_.end());
}

void DirectDrawObject::leaveFullScreen() {
    if (!fullScreen_) return;
    fullScreen_ = false;
    winapiState().ddraw.mode.reset();
    host().leaveFullScreen();
}

ULONG DirectDrawObject::AddRef() {
    return journalled("IDirectDraw::AddRef", this, [&] { return ++references_; });
}

ULONG DirectDrawObject::Release() {
    return releaseReference("IDirectDraw::Release", this, references_, [this] { delete this; });
}

HRESULT DirectDrawObject::CreateClipper(DWORD, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer) {
    if (clipper) *clipper = nullptr;
    return journalled("IDirectDraw::CreateClipper", this, [&] {
        if (!clipper || outer) return DDERR_INVALIDPARAMS;
        auto* created = new (std::nothrow) ClipperObject();
        if (!created) return DDERR_OUTOFMEMORY;
        *clipper = created;
        return DD_OK;
    });
}

HRESULT DirectDrawObject::SetCooperativeLevel(HWND window, DWORD flags) {
    return journalled("IDirectDraw::SetCooperativeLevel", this, [&] {
        bool exclusive = flags & DDSCL_EXCLUSIVE;
        bool fullScreen = flags & DDSCL_FULLSCREEN;
        if (exclusive != fullScreen) return DDERR_INVALIDPARAMS;
        if (!exclusive && !(flags & DDSCL_NORMAL)) return DDERR_INVALIDPARAMS;
        // Exclusive mode makes the window the whole picture; it needs one.
        if (exclusive && !window) return DDERR_INVALIDPARAMS;
        window_ = window;
        exclusive_ = exclusive;
        if (exclusive)
            exclusiveOwner() = this;
        else if (exclusiveOwner() == this)
            exclusiveOwner() = nullptr;
        cooperativeLevelSet_ = true;
        return DD_OK;
    });
}

HRESULT DirectDrawObject::SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel) {
    return journalled("IDirectDraw::SetDisplayMode", this, [&] {
        // Any object may set a mode, exclusive or not, unless another one holds
        // the display in exclusive mode.
        if (exclusiveOwner() && exclusiveOwner() != this) return DDERR_NOEXCLUSIVEMODE;
        if (!isSupportedMode(width, height, bitsPerPixel)) return DDERR_INVALIDMODE;
        fullScreen_ = true;
        winapiState().ddraw.mode = DisplayMode{int(width), int(height), int(bitsPerPixel)};
        host().enterFullScreen(int(width), int(height));
        return DD_OK;
    });
}

HRESULT DirectDrawObject::RestoreDisplayMode() {
    return journalled("IDirectDraw::RestoreDisplayMode", this, [&] {
        leaveFullScreen();
        return DD_OK;
    });
}

HRESULT DirectDrawObject::CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface,
                                        IUnknown* outer) {
    if (surface) *surface = nullptr;
    return journalled("IDirectDraw::CreateSurface", this, [&] {
        if (!desc || !surface || outer) return DDERR_INVALIDPARAMS;
        if (desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
        if (!cooperativeLevelSet_) return DDERR_NOCOOPERATIVELEVELSET;
        DWORD caps = (desc->dwFlags & DDSD_CAPS) ? desc->ddsCaps.dwCaps : 0;
        if (caps & DDSCAPS_PRIMARYSURFACE) return createPrimary(*desc, surface);
        return createOffScreen(*desc, surface);
    });
}

HRESULT DirectDrawObject::createPrimary(const DDSURFACEDESC& desc, LPDIRECTDRAWSURFACE* surface) {
    DWORD caps = desc.ddsCaps.dwCaps;
    // The primary always has the display's size and format.
    if (desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT)) return DDERR_INVALIDPARAMS;
    bool flipping = caps & DDSCAPS_FLIP;
    if (flipping) {
        if (!exclusive_) return DDERR_NOEXCLUSIVEMODE;
        if (!(caps & DDSCAPS_COMPLEX) || !(desc.dwFlags & DDSD_BACKBUFFERCOUNT))
            return DDERR_INVALIDCAPS;
        if (desc.dwBackBufferCount != 1) return DDERR_INVALIDPARAMS;
    } else if (desc.dwFlags & DDSD_BACKBUFFERCOUNT) {
        return DDERR_INVALIDCAPS;  // back buffers make a flipping chain or nothing
    }
    DWORD frontCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_VIDEOMEMORY | DDSCAPS_VISIBLE;
    if (flipping) frontCaps |= DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_FRONTBUFFER;
    // Whatever fails below, deleting the primary takes what was made with it
    // (its back buffer included) and its place in the list.
    std::unique_ptr<SurfaceObject> primary(
        new (std::nothrow) SurfaceObject(this, SurfaceObject::Kind::Primary, frontCaps));
    if (!primary) return DDERR_OUTOFMEMORY;
    surfaces_.push_back(primary.get());
    const DisplayMode display = mode();
    if (!primary->allocate(display.width, display.height, display.bitsPerPixel))
        return DDERR_OUTOFMEMORY;
    if (flipping) {
        DWORD backCaps = DDSCAPS_BACKBUFFER | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY;
        auto* back =
            new (std::nothrow) SurfaceObject(this, SurfaceObject::Kind::BackBuffer, backCaps);
        if (!back) return DDERR_OUTOFMEMORY;
        surfaces_.push_back(back);
        primary->attachBackBuffer(back);
        if (!back->allocate(display.width, display.height, display.bitsPerPixel))
            return DDERR_OUTOFMEMORY;
    }
    *surface = primary.release();
    return DD_OK;
}

HRESULT DirectDrawObject::createOffScreen(const DDSURFACEDESC& desc, LPDIRECTDRAWSURFACE* surface) {
    const DWORD sized = DDSD_WIDTH | DDSD_HEIGHT;
    if ((desc.dwFlags & sized) != sized) return DDERR_INVALIDPARAMS;
    if (desc.dwWidth == 0 || desc.dwHeight == 0 || desc.dwWidth > DWORD(kMaxSurfaceSide) ||
        desc.dwHeight > DWORD(kMaxSurfaceSide))
        return DDERR_INVALIDPARAMS;
    if (desc.dwFlags & DDSD_PIXELFORMAT) {
        // Only the display's own format is offered, as on most cards of the time.
        const DDPIXELFORMAT& format = desc.ddpfPixelFormat;
        if (!(format.dwFlags & DDPF_RGB) || int(format.dwRGBBitCount) != mode().bitsPerPixel)
            return DDERR_INVALIDPIXELFORMAT;
    }
    DWORD caps = DDSCAPS_OFFSCREENPLAIN;
    caps |= (desc.ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY) && (desc.dwFlags & DDSD_CAPS)
                ? DDSCAPS_SYSTEMMEMORY
                : DDSCAPS_VIDEOMEMORY;
    auto* created = new (std::nothrow) SurfaceObject(this, SurfaceObject::Kind::OffScreen, caps);
    if (!created) return DDERR_OUTOFMEMORY;
    surfaces_.push_back(created);
    if (!created->allocate(int(desc.dwWidth), int(desc.dwHeight), mode().bitsPerPixel)) {
        delete created;
        return DDERR_OUTOFMEMORY;
    }
    *surface = created;
    return DD_OK;
}

}  // namespace vh::platform::dd
