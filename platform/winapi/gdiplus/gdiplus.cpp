// The GDI+ flat functions the game loads its pictures with: images decoded
// from PNG and GIF files, turned into 32-bit GDI bitmaps over a background.
#include <win32/gdiplus.h>

#include <new>
#include <unordered_set>

#include "gdi_private.h"
#include "gdiplus_private.h"
#include "image_decode.h"
#include "varnholt/journal.h"
#include "windows_path.h"
#include "winapi_state.h"

namespace vh::platform::gdiplus {

struct Image : Gdiplus::GpBitmap {
    SDL_Surface* argb = nullptr;
};

namespace {

std::unordered_set<Image*>& images() {
    return winapiState().gdiplus.images;
}

std::unordered_set<ULONG_PTR>& activeTokens() {
    return winapiState().gdiplus.tokens;
}

Image* findImage(Gdiplus::GpImage* image) {
    auto* found = static_cast<Image*>(image);
    return images().count(found) ? found : nullptr;
}

Gdiplus::Status statusFor(image::DecodeError error) {
    switch (error) {
        case image::DecodeError::None:
            return Gdiplus::Ok;
        case image::DecodeError::NotFound:
            // GDI+ names no missing file: it finds no image in it.
            return Gdiplus::InvalidParameter;
        case image::DecodeError::Malformed:
            return Gdiplus::UnknownImageFormat;
        case image::DecodeError::TooLarge:
        case image::DecodeError::OutOfMemory:
            return Gdiplus::OutOfMemory;
    }
    return Gdiplus::GenericError;
}

}  // namespace

int liveImageCount() {
    return int(images().size());
}

}  // namespace vh::platform::gdiplus

namespace Gdiplus {

using vh::platform::journalled;
using namespace vh::platform::gdiplus;

GpStatus WINAPI GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input,
                               GdiplusStartupOutput* output) {
    return journalled("GdiplusStartup", nullptr, [&] {
        if (!token || !input) return InvalidParameter;
        if (input->GdiplusVersion != 1) return UnsupportedGdiplusVersion;
        // Without the background thread the caller must take the hooks.
        if (input->SuppressBackgroundThread && !output) return InvalidParameter;
        if (output) *output = GdiplusStartupOutput{};
        *token = vh::platform::winapiState().gdiplus.nextToken++;
        activeTokens().insert(*token);
        return Ok;
    });
}

VOID WINAPI GdiplusShutdown(ULONG_PTR token) {
    if (vh::platform::injected("GdiplusShutdown", nullptr)) return;
    activeTokens().erase(token);
    vh::platform::record("GdiplusShutdown", nullptr, 0);
}

namespace DllExports {

GpStatus WINAPI GdipCreateBitmapFromFile(const WCHAR* path, GpBitmap** bitmap) {
    // Without a path the caller's variable is left alone; any other failure
    // leaves it null.
    if (bitmap && path) *bitmap = nullptr;
    return journalled("GdipCreateBitmapFromFile", nullptr, [&] {
        if (!path || !bitmap) return InvalidParameter;
        if (activeTokens().empty()) return GdiplusNotInitialized;
        vh::platform::image::DecodeError error;
        const std::string file = vh::platform::pathFromWide(path);
        SDL_Surface* pixels = vh::platform::image::decode(file, error);
        if (!pixels) {
            reportUnreadablePicture(file, error);
            return statusFor(error);
        }
        auto* image = new (std::nothrow) Image();
        if (!image) {
            SDL_FreeSurface(pixels);
            return OutOfMemory;
        }
        image->argb = pixels;
        images().insert(image);
        *bitmap = image;
        return Ok;
    });
}

GpStatus WINAPI GdipCreateHBITMAPFromBitmap(GpBitmap* bitmap, HBITMAP* handle, ARGB background) {
    if (handle) *handle = nullptr;
    return journalled("GdipCreateHBITMAPFromBitmap", bitmap, [&] {
        Image* image = findImage(bitmap);
        if (!handle || !image) return InvalidParameter;
        SDL_Surface* pixels = vh::platform::image::composeOverBackground(image->argb, background);
        if (!pixels) return OutOfMemory;
        *handle = vh::platform::gdi::adoptBitmap(pixels);
        if (!*handle) {
            SDL_FreeSurface(pixels);
            return OutOfMemory;
        }
        return Ok;
    });
}

GpStatus WINAPI GdipDisposeImage(GpImage* image) {
    return journalled("GdipDisposeImage", image, [&] {
        Image* found = findImage(image);
        if (!found) return InvalidParameter;
        images().erase(found);
        SDL_FreeSurface(found->argb);
        delete found;
        return Ok;
    });
}

VOID* WINAPI GdipAlloc(size_t size) {
    return journalled("GdipAlloc", nullptr, [&] { return std::malloc(size); });
}

VOID WINAPI GdipFree(VOID* memory) {
    if (vh::platform::injected("GdipFree", memory)) return;
    vh::platform::record("GdipFree", memory, 0);
    std::free(memory);
}

}  // namespace DllExports
}  // namespace Gdiplus
