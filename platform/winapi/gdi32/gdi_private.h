// What GDI shares with DirectDraw (device contexts on a surface's pixels) and
// with GDI+ (bitmaps made from decoded images).
#pragma once

#include <SDL.h>

#include <win32/windows.h>

namespace vh::platform::gdi {

// A device context drawing straight into `pixels` (which stays owned by the
// caller and must outlive the DC). closeSurfaceDC destroys it again.
HDC openSurfaceDC(SDL_Surface* pixels);
void closeSurfaceDC(HDC dc);

// A 32-bit bitmap taking ownership of `pixels` (an SDL_PIXELFORMAT_RGB888
// surface). Null when it cannot be had.
HBITMAP adoptBitmap(SDL_Surface* pixels);

// Live device contexts and bitmaps, for leak checks.
int liveObjectCount();

}  // namespace vh::platform::gdi
