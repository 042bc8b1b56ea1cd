#include "game_session.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "display/sprite_registry.h"
#include "varnholt/platform_test.h"

namespace bench {
namespace {

// Stands in for the render target while one frame is drawn and adds up the
// screen area of every blit, then hands the blit on to the real back buffer.
class CountingTarget final : public IDirectDrawSurface {
  public:
    CountingTarget(IDirectDrawSurface* real, LONG width, LONG height)
        : real_(real), width_(width), height_(height) {}

    size_t pixels() const { return pixels_; }

    HRESULT STDMETHODCALLTYPE Blt(LPRECT dest, LPDIRECTDRAWSURFACE source, LPRECT sourceRect,
                                  DWORD flags, LPDDBLTFX fx) override {
        if (dest) {
            LONG w = std::min(dest->right, width_) - std::max(dest->left, LONG{0});
            LONG h = std::min(dest->bottom, height_) - std::max(dest->top, LONG{0});
            if (w > 0 && h > 0) pixels_ += size_t(w) * size_t(h);
        }
        return real_->Blt(dest, source, sourceRect, flags, fx);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return real_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return real_->Release(); }
    HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE target, DWORD flags) override {
        return real_->Flip(target, flags);
    }
    HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* s) override {
        return real_->GetAttachedSurface(caps, s);
    }
    HRESULT STDMETHODCALLTYPE GetDC(HDC* dc) override { return real_->GetDC(dc); }
    HRESULT STDMETHODCALLTYPE ReleaseDC(HDC dc) override { return real_->ReleaseDC(dc); }
    HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC desc) override {
        return real_->GetSurfaceDesc(desc);
    }
    HRESULT STDMETHODCALLTYPE IsLost() override { return real_->IsLost(); }
    HRESULT STDMETHODCALLTYPE Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags,
                                   HANDLE event) override {
        return real_->Lock(rect, desc, flags, event);
    }
    HRESULT STDMETHODCALLTYPE Unlock(LPVOID data) override { return real_->Unlock(data); }
    HRESULT STDMETHODCALLTYPE Restore() override { return real_->Restore(); }
    HRESULT STDMETHODCALLTYPE SetClipper(LPDIRECTDRAWCLIPPER clipper) override {
        return real_->SetClipper(clipper);
    }
    HRESULT STDMETHODCALLTYPE SetColorKey(DWORD flags, LPDDCOLORKEY key) override {
        return real_->SetColorKey(flags, key);
    }

  private:
    IDirectDrawSurface* real_;
    LONG width_;
    LONG height_;
    size_t pixels_ = 0;
};

void startGdiplus() {
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    input.GdiplusVersion = 1;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) {
        std::fprintf(stderr, "varnholt_bench: GDI+ did not start\n");
        std::exit(1);
    }
}

}  // namespace

Application& startedGame() {
    static Application* started = nullptr;
    if (started) return *started;
    vh::test::useHeadlessHost();
    // The journal is a test tool; a player's host runs without it.
    vh::test::setJournalEnabled(false);
    if (chdir(VARNHOLT_ASSETS_DIR) != 0) {
        std::fprintf(stderr, "varnholt_bench: no art folder at %s\n", VARNHOLT_ASSETS_DIR);
        std::exit(1);
    }
    startGdiplus();
    Application& app = Application::instance();
    static char handle;
    ResultCode code = app.initialize("Varnholt", reinterpret_cast<HINSTANCE>(&handle));
    if (code != 1) {
        std::fprintf(stderr, "varnholt_bench: start-up failed with 0x%x\n", unsigned(code));
        std::exit(1);
    }
    started = &app;
    return app;
}

size_t bytesWrittenByFrame(Application& app) {
    SpriteRegistry& registry = SpriteRegistry::instance();
    CountingTarget counter(registry.target, app.width, app.height);
    IDirectDrawSurface* real = registry.target;
    registry.setTarget(&counter);
    app.cityScreen.draw();
    registry.setTarget(real);
    const size_t bytesPerPixel = size_t(app.bitsPerPixel) / 8;
    const size_t presented = size_t(app.width) * size_t(app.height) * bytesPerPixel;
    return counter.pixels() * bytesPerPixel + presented;
}

void restPointer(Application& app, int x, int y) {
    app.pointer.onMouse(uint32_t(x) | (uint32_t(y) << 16), 0);
}

void loopIteration(Application& app) {
    MSG message;
    if (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
        std::fprintf(stderr, "varnholt_bench: a message arrived in a timed loop\n");
        std::exit(1);
    }
    app.runFrame();
}

}  // namespace bench
