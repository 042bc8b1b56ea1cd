// The program's own module and its icon. On Windows the icon is a resource in
// the .exe; here the platform carries the same picture, built into the
// program, and LoadIconA answers it for the program's module.
#pragma once

#include <win32/windows.h>

struct SDL_Surface;

namespace vh::platform {

// The instance handle of the program itself: what the launcher hands WinMain,
// as Windows hands a program the base of its own image.
HINSTANCE programInstance();

// The program's icon (IDI_APPLICATION in the program's module).
HICON programIcon();

// The pixels of an icon handle: 32-bit ARGB, decoded on first use and kept
// for the whole process. Null for icons without pixels of their own (the
// stock ones) or when the picture cannot be decoded.
SDL_Surface* iconPixels(HICON icon);

}  // namespace vh::platform
