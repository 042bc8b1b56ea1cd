// The DirectDraw objects of the Linux platform layer: the DirectDraw object
// (ddraw.cpp), its surfaces over SDL surfaces (ddraw_surface.cpp) and its
// clippers (ddraw_clipper.cpp); DirectDrawCreate and what they all share is
// in ddraw_main.cpp.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <vector>

#include <win32/ddraw.h>

#include "ddraw_foreground.h"
#include "varnholt/journal.h"
#include "varnholt/pixel_memory.h"
#include "winapi_state.h"

namespace vh::platform::dd {

class DirectDrawObject;
class SurfaceObject;

// Restored surfaces come back with undefined contents; ours are filled with
// a loud colour (0x00RRGGBB) so that a picture the game forgot to reload shows.
constexpr uint32_t kRestoredFill = 0x0000FF00;

// Gives back one reference of an object's count, journalled as `name`: when
// none is left, `onLast` decides what becomes of the object. A count that is
// already 0 stays there.
template <typename OnLast>
ULONG releaseReference(const char* name, const void* object, ULONG& references, OnLast&& onLast) {
    return journalled(name, object, [&]() -> ULONG {
        if (references == 0) return 0;
        ULONG left = --references;
        if (left == 0) onLast();
        return left;
    });
}

class ClipperObject final : public IDirectDrawClipper {
  public:
    ClipperObject();
    ~ClipperObject();
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE SetHWnd(DWORD flags, HWND window) override;
    HRESULT STDMETHODCALLTYPE GetHWnd(HWND* window) override;

    // The references a surface holds while the clipper is set on it; taken
    // and given back without journalling, as the game never made these calls.
    void retain() { ++references_; }
    void drop();

  private:
    ULONG references_ = 1;
    HWND window_ = nullptr;
};

class SurfaceObject final : public IDirectDrawSurface {
  public:
    enum class Kind { Primary, BackBuffer, OffScreen };
    SurfaceObject(DirectDrawObject* owner, Kind kind, DWORD caps);
    ~SurfaceObject();

    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Blt(LPRECT destRect, LPDIRECTDRAWSURFACE source, LPRECT sourceRect,
                                  DWORD flags, LPDDBLTFX fx) override;
    HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE targetOverride, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS caps,
                                                 LPDIRECTDRAWSURFACE* attached) override;
    HRESULT STDMETHODCALLTYPE GetDC(HDC* dc) override;
    HRESULT STDMETHODCALLTYPE ReleaseDC(HDC dc) override;
    HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC desc) override;
    HRESULT STDMETHODCALLTYPE IsLost() override;
    HRESULT STDMETHODCALLTYPE Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags,
                                   HANDLE event) override;
    HRESULT STDMETHODCALLTYPE Unlock(LPVOID data) override;
    HRESULT STDMETHODCALLTYPE Restore() override;
    HRESULT STDMETHODCALLTYPE SetClipper(LPDIRECTDRAWCLIPPER clipper) override;
    HRESULT STDMETHODCALLTYPE SetColorKey(DWORD flags, LPDDCOLORKEY key) override;

    bool allocate(int width, int height, int bitsPerPixel);
    void attachBackBuffer(SurfaceObject* backBuffer);
    SDL_Surface* pixels() const { return buffer_.surface; }
    void lose() { lost_ = true; }
    // The DirectDraw object (or the primary surface owning this back buffer)
    // went away while the game still holds this surface: it stays a valid
    // object, lost for good, until the game releases it.
    void orphan();

  private:
    bool unusable() const;
    HRESULT busyOrLost() const;
    void fillDescription(DDSURFACEDESC& desc) const;
    void fillWithRestoredColor();
    void destroyChain();
    SDL_Surface* blitSource(bool useKey);
    bool clipAgainstDisplay(SDL_Rect& dest, SDL_Rect& source) const;

    DirectDrawObject* owner_;
    Kind kind_;
    DWORD caps_;
    ULONG references_;
    PixelBuffer buffer_;
    SDL_Surface* unkeyedView_ = nullptr;   // same pixels, no colour key
    SurfaceObject* backBuffer_ = nullptr;  // primary: the attached back buffer
    SurfaceObject* primary_ = nullptr;     // back buffer: the primary owning it
    ClipperObject* clipper_ = nullptr;
    bool hasColorKey_ = false;
    DWORD colorKey_ = 0;
    bool lost_ = false;
    bool orphaned_ = false;
    bool locked_ = false;
    HDC dc_ = nullptr;
};

class DirectDrawObject final : public IDirectDraw {
  public:
    DirectDrawObject();
    ~DirectDrawObject();

    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper,
                                            IUnknown* outer) override;
    HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface,
                                            IUnknown* outer) override;
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD width, DWORD height,
                                             DWORD bitsPerPixel) override;
    HRESULT STDMETHODCALLTYPE RestoreDisplayMode() override;

    // The display's mode, the same for every DirectDraw object.
    DisplayMode mode() const;
    void forget(SurfaceObject* surface);

  private:
    HRESULT createPrimary(const DDSURFACEDESC& desc, LPDIRECTDRAWSURFACE* surface);
    HRESULT createOffScreen(const DDSURFACEDESC& desc, LPDIRECTDRAWSURFACE* surface);
    void leaveFullScreen();

    ULONG references_ = 1;
    HWND window_ = nullptr;
    bool exclusive_ = false;
    bool cooperativeLevelSet_ = false;
    bool fullScreen_ = false;
    std::vector<SurfaceObject*> surfaces_;
};

// Every live surface of every DirectDraw object, for losing them all at once.
std::vector<SurfaceObject*>& allSurfaces();
// Live object counts, for leak checks.
int& liveDirectDrawObjects();
int& liveSurfaces();
int& liveClippers();

}  // namespace vh::platform::dd
