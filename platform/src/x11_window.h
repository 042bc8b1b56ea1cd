// What the SDL host asks of X11 itself, where SDL's own way costs the player:
// full screen as the window manager gives it, and pointer barriers that can
// never end the game.
#pragma once

#include <SDL.h>

namespace vh::platform {

// On X11 the request goes to the window manager directly (_NET_WM_STATE):
// SDL's own switch waits up to a tenth of a second for the window manager
// each time the window is shown again, which a player minimising and
// restoring in quick succession turns into seconds of a frozen game.
// Elsewhere SDL's desktop full screen serves.
void setDesktopFullScreen(SDL_Window* window, bool fullScreen);

// SDL confines the pointer with XFixes barriers, made from the window's and
// its display's bounds; while the window moves between displays or modes
// those can be empty, the X server refuses the barrier, and Xlib's default
// answer to an error is to end the program. From this call on, an error of
// an XFixes request is let pass (the pointer is then not confined until the
// next try); every other error goes to the handler that was there before.
void guardPointerBarriers(SDL_Window* window);

}  // namespace vh::platform
