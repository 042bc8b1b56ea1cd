// Full screen as a window manager gives it: the window covers its display,
// above panels, and stays an ordinary window that the player can minimise
// and bring back.
#pragma once

#include <SDL.h>

namespace vh::platform {

// On X11 the request goes to the window manager directly (_NET_WM_STATE):
// SDL's own switch waits up to a tenth of a second for the window manager
// each time the window is shown again, which a player minimising and
// restoring in quick succession turns into seconds of a frozen game.
// Elsewhere SDL's desktop full screen serves.
void setDesktopFullScreen(SDL_Window* window, bool fullScreen);

}  // namespace vh::platform
