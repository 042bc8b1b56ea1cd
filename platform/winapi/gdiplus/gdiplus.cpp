// The GDI+ flat functions the game loads its pictures with: images decoded
// from PNG and GIF files, turned into 32-bit GDI bitmaps over a background.
#include <win32/gdiplus.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <set>
#include <unordered_set>

#include "gdi_private.h"
#include "image_decode.h"
#include "varnholt/journal.h"
#include "windows_path.h"

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

// Why a picture file could not be had, in a few words for the player.
std::string reasonFor(const std::string& path, image::DecodeError error) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return std::strerror(errno);
    if (!S_ISREG(info.st_mode)) return "not a file";
    if (access(path.c_str(), R_OK) != 0) return std::strerror(errno);
    switch (error) {
        case image::DecodeError::Malformed:
            return "not a PNG or GIF picture that can be read";
        case image::DecodeError::TooLarge:
            return "too large a picture";
        case image::DecodeError::OutOfMemory:
            return "out of memory";
        default:
            return "cannot be opened";
    }
}

// A player whose art cannot be read sees a black screen and nothing else:
// the first few picture files that could not be read are named on stderr,
// once each, with the working directory they were looked for in.
constexpr size_t kMostNamedPictures = 5;

void tellUnreadable(const std::string& windowsPath, image::DecodeError error) {
    static std::set<std::string> named;
    static bool toldOfMore = false;
    const std::string path = resolveWindowsPath(windowsPath);
    if (named.count(path)) return;
    if (named.size() >= kMostNamedPictures) {
        if (!toldOfMore) std::fprintf(stderr, "varnholt: more pictures cannot be read either\n");
        toldOfMore = true;
        return;
    }
    named.insert(path);
    char folder[4096];
    const char* workingDirectory = getcwd(folder, sizeof folder) ? folder : "(unknown)";
    std::fprintf(stderr, "varnholt: cannot read the picture %s in the working directory %s: %s\n",
                 path.c_str(), workingDirectory, reasonFor(path, error).c_str());
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
        const std::string file = toUtf8(path);
        SDL_Surface* pixels = vh::platform::image::decode(file, error);
        if (!pixels) {
            tellUnreadable(file, error);
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
