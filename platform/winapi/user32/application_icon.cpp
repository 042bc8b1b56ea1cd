// The program's icon: the 64-pixel PNG of assets/icon, embedded at build time
// (cmake/install.cmake) and decoded with SDL_image when a window first needs it.
#include "varnholt/application_icon.h"

#include <SDL.h>
#include <SDL_image.h>

#include <cstddef>

#include "winapi_state.h"

namespace vh::platform {

extern const unsigned char kApplicationIconPng[];
extern const std::size_t kApplicationIconPng_size;

namespace {

// Distinct addresses serve as the handles; nothing reads through them.
struct Module {
    int unused;
} program;

struct Icon {
    int unused;
} applicationIcon;

SDL_Surface* decodeApplicationIcon() {
    SDL_RWops* stream =
        SDL_RWFromConstMem(kApplicationIconPng, static_cast<int>(kApplicationIconPng_size));
    SDL_Surface* decoded = stream ? IMG_LoadTyped_RW(stream, 1, "PNG") : nullptr;
    if (!decoded) return nullptr;
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(decoded);
    return argb;
}

}  // namespace

HINSTANCE programInstance() {
    return reinterpret_cast<HINSTANCE>(&program);
}

HICON programIcon() {
    return reinterpret_cast<HICON>(&applicationIcon);
}

SDL_Surface* iconPixels(HICON icon) {
    if (icon != programIcon()) return nullptr;
    SDL_Surface*& pixels = winapiState().user32.iconPixels;
    if (!pixels) pixels = decodeApplicationIcon();
    return pixels;
}

}  // namespace vh::platform
