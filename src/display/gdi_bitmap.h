// A GDI bitmap decoded from an image file, and the copy of a rectangle of it
// into a DirectDraw surface. Holders are temporaries that live only while art
// is being loaded.
#pragma once

#include "app/result_code.h"
#include "winapi.h"

class GdiBitmap {
  public:
    GdiBitmap() = default;
    ~GdiBitmap();
    GdiBitmap(const GdiBitmap&) = delete;
    GdiBitmap& operator=(const GdiBitmap&) = delete;

    // Decodes `path` (relative to the working directory) through GDI+; any
    // bitmap held before is released first. 0, 0x42, 0x0A or 0x82.
    ResultCode loadFromFile(const char* path);
    // Copies the width x height block at (x, y) of the bitmap to the top-left
    // corner of `surface`, unscaled. 0, 0x12, 0x82, or 0x81 when only the
    // clean-up failed.
    ResultCode copyToSurface(IDirectDrawSurface* surface, int32_t x, int32_t y, int32_t width,
                             int32_t height);

    HBITMAP handle = nullptr;
    int32_t width = 0;
    int32_t height = 0;
};
