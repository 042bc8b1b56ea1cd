// The GDI+ flat functions the game loads its pictures with: images decoded
// from PNG and GIF files, turned into 32-bit GDI bitmaps over a background.
#include <win32/gdiplus.h>

#include <cstdlib>
#include <new>
#include <unordered_set>

#include "gdi_private.h"
#include "image_decode.h"
#include "journal.h"

namespace vh::platform::gdiplus {
namespace {

struct Image : Gdiplus::GpBitmap {
    SDL_Surface* argb = nullptr;
};

std::unordered_set<Image*>& images() {
    static std::unordered_set<Image*> set;
    return set;
}

std::unordered_set<ULONG_PTR>& activeTokens() {
    static std::unordered_set<ULONG_PTR> set;
    return set;
}

ULONG_PTR nextToken = 0x6D70;

Image* findImage(Gdiplus::GpImage* image) {
    auto* found = static_cast<Image*>(image);
    return images().count(found) ? found : nullptr;
}

// Wide strings are UTF-32 here; file names go to the file system as UTF-8.
std::string toUtf8(const WCHAR* text) {
    std::string out;
    for (; *text; ++text) {
        auto c = static_cast<uint32_t>(*text);
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
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
        *token = nextToken++;
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
        SDL_Surface* pixels = vh::platform::image::decode(toUtf8(path), error);
        if (!pixels) return statusFor(error);
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
