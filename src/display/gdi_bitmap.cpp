#include "display/gdi_bitmap.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace gdip = Gdiplus::DllExports;

namespace {

// The decoded image's record lives in GDI+'s own heap, as the GDI+ wrapper
// classes keep theirs; when GDI+ cannot give that memory there is no image.
struct ImageRecord {
    Gdiplus::GpBitmap* native;
};

// Opaque magenta: transparent areas of the art come out in the colour key.
constexpr Gdiplus::ARGB kKeyBackground = 0xFFFF00FF;

// The path converted whole, in the default locale, where each byte becomes
// the wide character of the same value.
void widen(const char* path, WCHAR* wide, size_t capacity) {
    if (std::mbstowcs(wide, path, capacity) != static_cast<size_t>(-1)) return;
    for (size_t i = 0; i < capacity; ++i) wide[i] = static_cast<unsigned char>(path[i]);
}

}  // namespace

GdiBitmap::~GdiBitmap() {
    if (handle) DeleteObject(handle);
}

ResultCode GdiBitmap::loadFromFile(const char* path) {
    if (handle) {
        DeleteObject(handle);
        handle = nullptr;
    }

    const size_t capacity = std::strlen(path) + 1;
    WCHAR* widePath = new (std::nothrow) WCHAR[capacity];
    if (!widePath) return result::kOutOfMemory;
    widen(path, widePath, capacity);

    auto* image = static_cast<ImageRecord*>(gdip::GdipAlloc(sizeof(ImageRecord)));
    if (!image) {
        delete[] widePath;
        return result::kObjectMissing;
    }
    image->native = nullptr;
    // The decoding status is not examined: a file that is missing or cannot be
    // decoded leaves no image, and the conversion below then gives no bitmap.
    gdip::GdipCreateBitmapFromFile(widePath, &image->native);
    delete[] widePath;

    gdip::GdipCreateHBITMAPFromBitmap(image->native, &handle, kKeyBackground);
    if (image->native) gdip::GdipDisposeImage(image->native);
    gdip::GdipFree(image);
    if (!handle) return result::kPlatformFailed;

    BITMAP info{};
    if (GetObjectA(handle, sizeof(info), &info) == 0) {
        DeleteObject(handle);
        handle = nullptr;
        return result::kPlatformFailed;
    }
    width = info.bmWidth;
    height = info.bmHeight;
    return result::kOk;
}

ResultCode GdiBitmap::copyToSurface(IDirectDrawSurface* surface, int32_t x, int32_t y,
                                    int32_t copyWidth, int32_t copyHeight) {
    if (!handle) return result::kBitmapEmpty;

    HDC surfaceDc = nullptr;
    if (FAILED(surface->GetDC(&surfaceDc))) return result::kPlatformFailed;

    HDC memoryDc = CreateCompatibleDC(surfaceDc);
    if (!memoryDc) {
        surface->ReleaseDC(surfaceDc);
        return result::kPlatformFailed;
    }
    SetMapMode(memoryDc, GetMapMode(surfaceDc));

    // The bitmap selected before is never selected back: the memory context is
    // deleted with ours in it. On failure the memory context goes first.
    HGDIOBJ previous = SelectObject(memoryDc, handle);
    bool copied = previous && previous != HGDI_ERROR &&
                  SetStretchBltMode(surfaceDc, COLORONCOLOR) != 0 &&
                  StretchBlt(surfaceDc, 0, 0, copyWidth, copyHeight, memoryDc, x, y, copyWidth,
                             copyHeight, SRCCOPY) != 0;
    if (!copied) {
        DeleteDC(memoryDc);
        surface->ReleaseDC(surfaceDc);
        return result::kPlatformFailed;
    }

    bool released = SUCCEEDED(surface->ReleaseDC(surfaceDc));
    bool deleted = DeleteDC(memoryDc) != 0;
    return (released && deleted) ? result::kOk : result::kCleanUpFailed;
}
