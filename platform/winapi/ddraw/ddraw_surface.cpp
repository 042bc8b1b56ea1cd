// DirectDraw surfaces: SDL surfaces over pixel memory of our own, blitted by
// SDL's blitter. Blt and Flip run every frame, many times: they allocate
// nothing and journal only string literals.
#include <algorithm>
#include <cstring>

#include "ddraw_private.h"
#include "gdi_private.h"
#include "varnholt/host.h"

namespace vh::platform::dd {
namespace {

SDL_Rect toSdl(const RECT& rect) {
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

// A rectangle to lock: inside the surface, and possibly empty.
bool isWithin(const RECT& rect, const SDL_Surface* surface) {
    return rect.left >= 0 && rect.top >= 0 && rect.left <= rect.right && rect.top <= rect.bottom &&
           rect.right <= surface->w && rect.bottom <= surface->h;
}

// The size of the later versions' surface description (DDSURFACEDESC2), which
// Lock takes too: four words of capabilities and a texture stage more.
constexpr DWORD kLaterDescriptionSize = sizeof(DDSURFACEDESC) + 16;

bool isInside(const SDL_Rect& rect, const SDL_Surface* surface) {
    return rect.w > 0 && rect.h > 0 && rect.x >= 0 && rect.y >= 0 &&
           int64_t(rect.x) + rect.w <= surface->w && int64_t(rect.y) + rect.h <= surface->h;
}

// Cuts `dest` down to `bounds` and cuts `source` by the same share, so that a
// stretched blit keeps its scale and a plain one its offsets.
bool clipProportionally(SDL_Rect& dest, SDL_Rect& source, const SDL_Rect& bounds) {
    int64_t x0 = std::max(dest.x, bounds.x);
    int64_t y0 = std::max(dest.y, bounds.y);
    int64_t x1 = std::min(int64_t(dest.x) + dest.w, int64_t(bounds.x) + bounds.w);
    int64_t y1 = std::min(int64_t(dest.y) + dest.h, int64_t(bounds.y) + bounds.h);
    if (x0 >= x1 || y0 >= y1) return false;
    int64_t sx0 = source.x + (x0 - dest.x) * source.w / dest.w;
    int64_t sx1 = source.x + (x1 - dest.x) * source.w / dest.w;
    int64_t sy0 = source.y + (y0 - dest.y) * source.h / dest.h;
    int64_t sy1 = source.y + (y1 - dest.y) * source.h / dest.h;
    if (sx1 <= sx0) sx1 = sx0 + 1;
    if (sy1 <= sy0) sy1 = sy0 + 1;
    dest = {int(x0), int(y0), int(x1 - x0), int(y1 - y0)};
    source = {int(sx0), int(sy0), int(sx1 - sx0), int(sy1 - sy0)};
    return true;
}

void fillPixelFormat(DDPIXELFORMAT& format, const SDL_PixelFormat* sdl) {
    std::memset(&format, 0, sizeof(format));
    format.dwSize = sizeof(DDPIXELFORMAT);
    format.dwFlags = DDPF_RGB;
    format.dwRGBBitCount = sdl->BitsPerPixel;
    format.dwRBitMask = sdl->Rmask;
    format.dwGBitMask = sdl->Gmask;
    format.dwBBitMask = sdl->Bmask;
}

}  // namespace

SurfaceObject::SurfaceObject(DirectDrawObject* owner, Kind kind, DWORD caps)
    : owner_(owner),
      kind_(kind),
      caps_(caps),
      // A back buffer's first reference is its chain's; GetAttachedSurface
      // hands out more.
      references_(1),
      lost_(!displayForeground()) {
    ++liveSurfaces();
    allSurfaces().push_back(this);
}

SurfaceObject::~SurfaceObject() {
    destroyChain();
    if (primary_) primary_->backBuffer_ = nullptr;
    if (clipper_) clipper_->drop();
    if (dc_) gdi::closeSurfaceDC(dc_);
    if (unkeyedView_) SDL_FreeSurface(unkeyedView_);
    freePixels(buffer_);
    if (owner_) owner_->forget(this);
    auto& all = allSurfaces();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
    --liveSurfaces();
}

bool SurfaceObject::allocate(int width, int height, int bitsPerPixel) {
    return allocatePixels(buffer_, width, height, bitsPerPixel);
}

void SurfaceObject::attachBackBuffer(SurfaceObject* backBuffer) {
    backBuffer_ = backBuffer;
    backBuffer->primary_ = this;
}

void SurfaceObject::orphan() {
    orphaned_ = true;
    lost_ = true;
    if (owner_) owner_->forget(this);
    owner_ = nullptr;
}

// Releasing the primary releases its back buffer too, with the chain's
// reference; a back buffer the game still holds stays behind, lost for good,
// until its own last Release.
void SurfaceObject::destroyChain() {
    SurfaceObject* back = backBuffer_;
    if (!back) return;
    backBuffer_ = nullptr;
    back->primary_ = nullptr;
    if (back->references_ <= 1) {
        delete back;
    } else {
        --back->references_;
        back->orphan();
    }
}

bool SurfaceObject::unusable() const {
    return lost_ || orphaned_ || !displayForeground();
}

HRESULT SurfaceObject::busyOrLost() const {
    if (unusable()) return DDERR_SURFACELOST;
    if (locked_ || dc_) return DDERR_SURFACEBUSY;
    return DD_OK;
}

ULONG SurfaceObject::AddRef() {
    return journalled("IDirectDrawSurface::AddRef", this, [&] { return ++references_; });
}

ULONG SurfaceObject::Release() {
    // A back buffer lives on with its primary.
    return releaseReference("IDirectDrawSurface::Release", this, references_, [this] {
        if (!primary_) delete this;
    });
}

SDL_Surface* SurfaceObject::blitSource(bool useKey) {
    if (!hasColorKey_ || useKey) return buffer_.surface;
    unkeyedView_->pixels = buffer_.surface->pixels;
    return unkeyedView_;
}

bool SurfaceObject::clipAgainstDisplay(SDL_Rect& dest, SDL_Rect& source) const {
    // The clipper's window covers the whole display in exclusive mode.
    SDL_Rect bounds{0, 0, buffer_.surface->w, buffer_.surface->h};
    if (owner_) {
        const DisplayMode display = owner_->mode();
        bounds.w = std::min(bounds.w, display.width);
        bounds.h = std::min(bounds.h, display.height);
    }
    return clipProportionally(dest, source, bounds);
}

HRESULT SurfaceObject::Blt(LPRECT destRect, LPDIRECTDRAWSURFACE source, LPRECT sourceRect,
                           DWORD flags, LPDDBLTFX) {
    return journalled("IDirectDrawSurface::Blt", this, [&] {
        if (!source || (flags & ~(DDBLT_WAIT | DDBLT_KEYSRC))) return DDERR_INVALIDPARAMS;
        auto* from = static_cast<SurfaceObject*>(source);
        if (HRESULT state = busyOrLost(); FAILED(state)) return state;
        if (HRESULT state = from->busyOrLost(); FAILED(state)) return state;
        bool useKey = flags & DDBLT_KEYSRC;
        if (useKey && !from->hasColorKey_) return DDERR_INVALIDPARAMS;

        SDL_Surface* fromPixels = from->buffer_.surface;
        SDL_Rect src =
            sourceRect ? toSdl(*sourceRect) : SDL_Rect{0, 0, fromPixels->w, fromPixels->h};
        if (!isInside(src, fromPixels)) return DDERR_INVALIDRECT;
        SDL_Rect dst =
            destRect ? toSdl(*destRect) : SDL_Rect{0, 0, buffer_.surface->w, buffer_.surface->h};
        if (dst.w <= 0 || dst.h <= 0) return DDERR_INVALIDRECT;
        if (clipper_) {
            if (!clipAgainstDisplay(dst, src)) return DD_OK;  // wholly outside: nothing to draw
        } else if (!isInside(dst, buffer_.surface)) {
            return DDERR_INVALIDRECT;
        }

        int failed = blitOrScale(from->blitSource(useKey), &src, buffer_.surface, &dst);
        return failed ? DDERR_GENERIC : DD_OK;
    });
}

HRESULT SurfaceObject::Flip(LPDIRECTDRAWSURFACE targetOverride, DWORD) {
    return journalled("IDirectDrawSurface::Flip", this, [&] {
        if (kind_ != Kind::Primary || !backBuffer_) return DDERR_NOTFLIPPABLE;
        // The only surface the front can flip to is the chain's back buffer.
        if (targetOverride && targetOverride != backBuffer_) return DDERR_NOTFLIPPABLE;
        if (HRESULT state = busyOrLost(); FAILED(state)) return state;
        if (HRESULT state = backBuffer_->busyOrLost(); FAILED(state)) return state;
        // The buffers change places; the SDL surface headers stay put, so that
        // the blit mappings of the sprites drawn into the back buffer stay valid.
        PixelBuffer& back = backBuffer_->buffer_;
        std::swap(buffer_.memory, back.memory);
        std::swap(buffer_.surface->pixels, back.surface->pixels);
        host().present(buffer_.surface);
        return DD_OK;
    });
}

HRESULT SurfaceObject::GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* attached) {
    if (attached) *attached = nullptr;
    return journalled("IDirectDrawSurface::GetAttachedSurface", this, [&] {
        if (!caps || !attached) return DDERR_INVALIDPARAMS;
        if (!backBuffer_ || !caps->dwCaps || (caps->dwCaps & backBuffer_->caps_) != caps->dwCaps)
            return DDERR_NOTFOUND;
        ++backBuffer_->references_;
        *attached = backBuffer_;
        return DD_OK;
    });
}

HRESULT SurfaceObject::GetDC(HDC* dc) {
    // A failure leaves no handle behind, except that while the one handle is
    // out, asking for another leaves the caller's variable as it was.
    if (dc && !dc_) *dc = nullptr;
    return journalled("IDirectDrawSurface::GetDC", this, [&] {
        if (!dc) return DDERR_INVALIDPARAMS;
        if (dc_) return DDERR_DCALREADYCREATED;
        if (unusable()) return DDERR_SURFACELOST;
        // A locked surface gives a device context all the same: both reach
        // the same pixels, and the lock outlives the context.
        dc_ = gdi::openSurfaceDC(buffer_.surface);
        if (!dc_) return DDERR_OUTOFMEMORY;
        *dc = dc_;
        return DD_OK;
    });
}

HRESULT SurfaceObject::ReleaseDC(HDC dc) {
    return journalled("IDirectDrawSurface::ReleaseDC", this, [&] {
        if (!dc_) return DDERR_NODC;
        if (dc != dc_) return DDERR_INVALIDPARAMS;
        gdi::closeSurfaceDC(dc_);
        dc_ = nullptr;
        return DD_OK;
    });
}

void SurfaceObject::fillDescription(DDSURFACEDESC& desc) const {
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(DDSURFACEDESC);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc.dwWidth = DWORD(buffer_.surface->w);
    desc.dwHeight = DWORD(buffer_.surface->h);
    desc.lPitch = buffer_.surface->pitch;
    if (kind_ == Kind::Primary && backBuffer_) {
        desc.dwFlags |= DDSD_BACKBUFFERCOUNT;
        desc.dwBackBufferCount = 1;
    }
    if (hasColorKey_) {
        desc.dwFlags |= DDSD_CKSRCBLT;
        desc.ddckCKSrcBlt = {colorKey_, colorKey_};
    }
    fillPixelFormat(desc.ddpfPixelFormat, buffer_.surface->format);
    desc.ddsCaps.dwCaps = caps_;
}

HRESULT SurfaceObject::GetSurfaceDesc(LPDDSURFACEDESC desc) {
    return journalled("IDirectDrawSurface::GetSurfaceDesc", this, [&] {
        if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
        fillDescription(*desc);
        return DD_OK;
    });
}

HRESULT SurfaceObject::IsLost() {
    return journalled("IDirectDrawSurface::IsLost", this,
                      [&] { return unusable() ? DDERR_SURFACELOST : DD_OK; });
}

HRESULT SurfaceObject::Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD, HANDLE) {
    return journalled("IDirectDrawSurface::Lock", this, [&] {
        // The description of this version, or the later versions' larger one
        // (of which only this version's part is filled, and the rest cleared).
        const DWORD given = desc ? desc->dwSize : 0;
        if (given != sizeof(DDSURFACEDESC) && given != kLaterDescriptionSize)
            return DDERR_INVALIDPARAMS;
        desc->lpSurface = nullptr;
        if (HRESULT state = busyOrLost(); FAILED(state)) return state;
        SDL_Surface* pixels = buffer_.surface;
        if (rect && !isWithin(*rect, pixels)) return DDERR_INVALIDPARAMS;
        const LONG left = rect ? rect->left : 0, top = rect ? rect->top : 0;
        // SDL decodes a run-length encoded sprite while it is locked and
        // encodes it again on unlock, so what the game writes is seen.
        if (SDL_LockSurface(pixels) != 0) return DDERR_GENERIC;
        locked_ = true;
        fillDescription(*desc);
        if (given == kLaterDescriptionSize)
            std::memset(reinterpret_cast<Uint8*>(desc) + sizeof(DDSURFACEDESC), 0,
                        kLaterDescriptionSize - sizeof(DDSURFACEDESC));
        desc->dwSize = given;
        // The pointer comes without DDSD_LPSURFACE among the flags, as on Windows.
        desc->lpSurface = static_cast<Uint8*>(pixels->pixels) + size_t(top) * pixels->pitch +
                          size_t(left) * pixels->format->BytesPerPixel;
        return DD_OK;
    });
}

HRESULT SurfaceObject::Unlock(LPVOID) {
    return journalled("IDirectDrawSurface::Unlock", this, [&] {
        if (!locked_) return DDERR_NOTLOCKED;
        SDL_UnlockSurface(buffer_.surface);
        locked_ = false;
        return DD_OK;
    });
}

void SurfaceObject::fillWithRestoredColor() {
    SDL_Surface* pixels = buffer_.surface;
    if (SDL_LockSurface(pixels) != 0) return;
    SDL_FillRect(pixels, nullptr,
                 SDL_MapRGB(pixels->format, Uint8(kRestoredFill >> 16), Uint8(kRestoredFill >> 8),
                            Uint8(kRestoredFill)));
    SDL_UnlockSurface(pixels);
}

HRESULT SurfaceObject::Restore() {
    return journalled("IDirectDrawSurface::Restore", this, [&] {
        if (orphaned_) return DDERR_INVALIDOBJECT;
        // Memory comes back only once the game has the display again.
        if (!displayForeground()) return DDERR_WRONGMODE;
        // The memory comes back with undefined contents: a loud colour makes a
        // missing reload visible. Restoring the primary restores its chain.
        for (SurfaceObject* surface : {this, backBuffer_}) {
            if (!surface || !surface->lost_) continue;
            surface->fillWithRestoredColor();
            surface->lost_ = false;
        }
        return DD_OK;
    });
}

HRESULT SurfaceObject::SetClipper(LPDIRECTDRAWCLIPPER clipper) {
    return journalled("IDirectDrawSurface::SetClipper", this, [&] {
        if (!clipper && !clipper_) return DDERR_NOCLIPPERATTACHED;
        auto* next = static_cast<ClipperObject*>(clipper);
        if (next) next->retain();
        if (clipper_) clipper_->drop();
        clipper_ = next;
        return DD_OK;
    });
}

HRESULT SurfaceObject::SetColorKey(DWORD flags, LPDDCOLORKEY key) {
    return journalled("IDirectDrawSurface::SetColorKey", this, [&] {
        if (flags != DDCKEY_SRCBLT) return flags ? DDERR_UNSUPPORTED : DDERR_INVALIDPARAMS;
        if (locked_) return DDERR_SURFACEBUSY;
        SDL_Surface* pixels = buffer_.surface;
        // Dropping the old key first makes SDL encode the sprite afresh even
        // when only the key's value changes.
        SDL_SetColorKey(pixels, SDL_FALSE, 0);
        SDL_SetSurfaceRLE(pixels, 0);
        hasColorKey_ = false;
        if (!key) return DD_OK;
        if (key->dwColorSpaceLowValue != key->dwColorSpaceHighValue) return DDERR_UNSUPPORTED;
        if (!unkeyedView_ && !(unkeyedView_ = unkeyedView(pixels))) return DDERR_OUTOFMEMORY;
        DWORD mask = pixels->format->BitsPerPixel == 16 ? 0xFFFFu : 0xFFFFFFu;
        colorKey_ = key->dwColorSpaceLowValue & mask;
        // Sprites are filled once and drawn every frame: run-length encoding
        // lets the blitter skip their transparent runs.
        SDL_SetColorKey(pixels, SDL_TRUE, colorKey_);
        SDL_SetSurfaceRLE(pixels, 1);
        hasColorKey_ = true;
        return DD_OK;
    });
}

}  // namespace vh::platform::dd
