// GDI: memory device contexts with 32-bit bitmaps, device contexts on
// DirectDraw surfaces, and the pixel and copy calls the game makes on them.
// Handles are pointers to our objects, always looked up before use, so that a
// stale or made-up handle is answered with an error instead of a crash.
#include <memory>
#include <new>
#include <unordered_set>

#include "gdi_private.h"
#include "varnholt/journal.h"
#include "varnholt/pixel_memory.h"
#include "winapi_state.h"

namespace vh::platform::gdi {

struct DeviceContext;

struct Bitmap {
    SDL_Surface* pixels = nullptr;
    DeviceContext* selectedInto = nullptr;
};

struct DeviceContext {
    Bitmap* bitmap = nullptr;        // memory DCs
    SDL_Surface* surface = nullptr;  // surface DCs
    int mapMode = MM_TEXT;
    int stretchMode = BLACKONWHITE;

    bool isMemory() const { return surface == nullptr; }
    SDL_Surface* target() const { return surface ? surface : bitmap->pixels; }
};

namespace {

std::unordered_set<DeviceContext*>& contexts() {
    return winapiState().gdi.contexts;
}

std::unordered_set<Bitmap*>& bitmaps() {
    return winapiState().gdi.bitmaps;
}

SDL_Surface* newPixels(int width, int height) {
    SDL_Surface* pixels =
        SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_RGB888);
    if (pixels) SDL_SetSurfaceBlendMode(pixels, SDL_BLENDMODE_NONE);
    return pixels;
}

// A new memory DC holds a 1 x 1 bitmap of its own until the game selects one;
// it is shared by them all and can be neither deleted nor counted as a leak.
Bitmap* stockBitmap() {
    static Bitmap stock = [] {
        Bitmap bitmap;
        bitmap.pixels = newPixels(1, 1);
        return bitmap;
    }();
    return &stock;
}

DeviceContext* findContext(HDC dc) {
    auto* context = reinterpret_cast<DeviceContext*>(dc);
    return contexts().count(context) ? context : nullptr;
}

Bitmap* findBitmap(HGDIOBJ object) {
    auto* bitmap = static_cast<Bitmap*>(object);
    if (bitmap == stockBitmap()) return bitmap;
    return bitmaps().count(bitmap) ? bitmap : nullptr;
}

// One channel of a raw pixel widened to 8 bits as GDI widens it: its bits
// repeated from the top (5 bits 10001 become 10001100, not SDL's rounding).
Uint8 widenChannel(Uint32 raw, Uint32 mask, Uint8 shift, Uint8 loss) {
    const int width = 8 - loss;
    if (width <= 0) return 0;
    const Uint32 value = (raw & mask) >> shift;
    Uint32 widened = value << loss;
    for (int filled = width; filled < 8; filled += width) widened |= widened >> width;
    return Uint8(widened);
}

COLORREF colorOf(SDL_Surface* pixels, Uint32 raw) {
    const SDL_PixelFormat* f = pixels->format;
    return RGB(widenChannel(raw, f->Rmask, f->Rshift, f->Rloss),
               widenChannel(raw, f->Gmask, f->Gshift, f->Gloss),
               widenChannel(raw, f->Bmask, f->Bshift, f->Bloss));
}

struct SurfaceDeleter {
    void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using SurfaceHandle = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

}  // namespace

HDC openSurfaceDC(SDL_Surface* pixels) {
    auto* context = new (std::nothrow) DeviceContext();
    if (!context) return nullptr;
    context->surface = pixels;
    contexts().insert(context);
    return reinterpret_cast<HDC>(context);
}

void closeSurfaceDC(HDC dc) {
    DeviceContext* context = findContext(dc);
    if (!context || context->isMemory()) return;
    contexts().erase(context);
    delete context;
}

HBITMAP adoptBitmap(SDL_Surface* pixels) {
    auto* bitmap = new (std::nothrow) Bitmap();
    if (!bitmap) return nullptr;
    SDL_SetSurfaceBlendMode(pixels, SDL_BLENDMODE_NONE);
    bitmap->pixels = pixels;
    bitmaps().insert(bitmap);
    return reinterpret_cast<HBITMAP>(bitmap);
}

int liveObjectCount() {
    return int(contexts().size() + bitmaps().size());
}

}  // namespace vh::platform::gdi

using namespace vh::platform;
using namespace vh::platform::gdi;

COLORREF WINAPI GetPixel(HDC dc, int x, int y) {
    return journalled("GetPixel", dc, [&]() -> COLORREF {
        DeviceContext* context = findContext(dc);
        if (!context) return CLR_INVALID;
        SDL_Surface* pixels = context->target();
        if (!containsPixel(pixels, x, y)) return CLR_INVALID;
        return colorOf(pixels, readPixel(pixels, x, y));
    });
}

COLORREF WINAPI SetPixel(HDC dc, int x, int y, COLORREF color) {
    return journalled("SetPixel", dc, [&]() -> COLORREF {
        DeviceContext* context = findContext(dc);
        if (!context) return CLR_INVALID;
        SDL_Surface* pixels = context->target();
        if (!containsPixel(pixels, x, y)) return CLR_INVALID;
        Uint32 raw =
            SDL_MapRGB(pixels->format, GetRValue(color), GetGValue(color), GetBValue(color));
        // The lock keeps a run-length encoded sprite in step with its pixels.
        if (SDL_LockSurface(pixels) != 0) return CLR_INVALID;
        writePixel(pixels, x, y, raw);
        SDL_UnlockSurface(pixels);
        // Like GDI, answer the colour the pixel really got.
        return colorOf(pixels, raw);
    });
}

HDC WINAPI CreateCompatibleDC(HDC dc) {
    return journalled("CreateCompatibleDC", dc, [&]() -> HDC {
        if (dc && !findContext(dc)) return nullptr;
        auto* context = new (std::nothrow) DeviceContext();
        if (!context) return nullptr;
        context->bitmap = stockBitmap();
        contexts().insert(context);
        return reinterpret_cast<HDC>(context);
    });
}

int WINAPI GetMapMode(HDC dc) {
    return journalled("GetMapMode", dc, [&] {
        DeviceContext* context = findContext(dc);
        return context ? context->mapMode : 0;
    });
}

int WINAPI SetMapMode(HDC dc, int mode) {
    return journalled("SetMapMode", dc, [&] {
        constexpr int kLastMapMode = 8;  // MM_ANISOTROPIC
        DeviceContext* context = findContext(dc);
        if (!context || mode < MM_TEXT || mode > kLastMapMode) return 0;
        int previous = context->mapMode;
        context->mapMode = mode;
        return previous;
    });
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) {
    return journalled("SelectObject", dc, [&]() -> HGDIOBJ {
        DeviceContext* context = findContext(dc);
        Bitmap* bitmap = findBitmap(object);
        // Bitmaps go only into memory DCs, and into one DC at a time.
        if (!context || !bitmap || !context->isMemory()) return nullptr;
        if (bitmap->selectedInto && bitmap->selectedInto != context) return nullptr;
        Bitmap* previous = context->bitmap;
        previous->selectedInto = nullptr;
        if (bitmap != stockBitmap()) bitmap->selectedInto = context;
        context->bitmap = bitmap;
        return previous;
    });
}

int WINAPI SetStretchBltMode(HDC dc, int mode) {
    return journalled("SetStretchBltMode", dc, [&] {
        DeviceContext* context = findContext(dc);
        if (!context || mode < BLACKONWHITE || mode > HALFTONE) return 0;
        int previous = context->stretchMode;
        context->stretchMode = mode;
        return previous;
    });
}

BOOL WINAPI StretchBlt(HDC dest, int destX, int destY, int destWidth, int destHeight, HDC source,
                       int sourceX, int sourceY, int sourceWidth, int sourceHeight, DWORD rop) {
    return journalled("StretchBlt", dest, [&]() -> BOOL {
        DeviceContext* to = findContext(dest);
        DeviceContext* from = findContext(source);
        if (!to || !from || rop != SRCCOPY) return FALSE;
        // Mirroring (negative extents) is something the game never asks for.
        if (destWidth <= 0 || destHeight <= 0 || sourceWidth <= 0 || sourceHeight <= 0)
            return FALSE;
        // GDI copies ignore a sprite's colour key.
        SDL_Surface* fromPixels = from->target();
        SurfaceHandle view;
        if (SDL_HasColorKey(fromPixels)) {
            view.reset(unkeyedView(fromPixels));
            if (!view) return FALSE;
            fromPixels = view.get();
        }
        SDL_Rect src{sourceX, sourceY, sourceWidth, sourceHeight};
        SDL_Rect dst{destX, destY, destWidth, destHeight};
        return blitOrScale(fromPixels, &src, to->target(), &dst) == 0 ? TRUE : FALSE;
    });
}

BOOL WINAPI DeleteDC(HDC dc) {
    return journalled("DeleteDC", dc, [&]() -> BOOL {
        DeviceContext* context = findContext(dc);
        // A surface's DC goes back through the surface's ReleaseDC.
        if (!context || !context->isMemory()) return FALSE;
        context->bitmap->selectedInto = nullptr;
        contexts().erase(context);
        delete context;
        return TRUE;
    });
}

int WINAPI GetObjectA(HANDLE object, int size, LPVOID out) {
    return journalled("GetObjectA", object, [&] {
        Bitmap* bitmap = findBitmap(object);
        if (!bitmap) return 0;
        if (!out) return int(sizeof(BITMAP));
        if (size < int(sizeof(BITMAP))) return 0;
        BITMAP info{};
        info.bmType = 0;
        info.bmPlanes = 1;
        if (bitmap == stockBitmap()) {
            // What a new memory DC holds is GDI's 1 x 1 monochrome bitmap, a
            // device-dependent one: rows of whole words, no bits to show.
            info.bmWidth = info.bmHeight = 1;
            info.bmWidthBytes = 2;
            info.bmBitsPixel = 1;
        } else {
            info.bmWidth = bitmap->pixels->w;
            info.bmHeight = bitmap->pixels->h;
            info.bmWidthBytes = bitmap->pixels->pitch;
            info.bmBitsPixel = 32;
            info.bmBits = bitmap->pixels->pixels;
        }
        *static_cast<BITMAP*>(out) = info;
        return int(sizeof(BITMAP));
    });
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
    return journalled("DeleteObject", object, [&]() -> BOOL {
        Bitmap* bitmap = findBitmap(object);
        // Stock objects are never deleted, but asking is no error.
        if (bitmap == stockBitmap()) return TRUE;
        if (!bitmap || bitmap->selectedInto) return FALSE;
        bitmaps().erase(bitmap);
        SDL_FreeSurface(bitmap->pixels);
        delete bitmap;
        return TRUE;
    });
}
