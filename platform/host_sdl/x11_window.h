// What the SDL host asks of X11 itself, where SDL's own way costs the player:
// full screen as the window manager gives it, and X errors (a refused pointer
// barrier, a window destroyed from outside) that can never end the game.
#pragma once

#include <SDL.h>

// SDL_syswm.h brings Xlib, whose macros (KeyPress, None) clash with names
// of ours.
struct SDL_SysWMmsg;

namespace vh::platform {

// On X11 the request goes to the window manager directly (_NET_WM_STATE):
// SDL's own switch waits up to a tenth of a second for the window manager
// each time the window is shown again, which a player minimising and
// restoring in quick succession turns into seconds of a frozen game.
// Elsewhere SDL's desktop full screen serves.
void setDesktopFullScreen(SDL_Window* window, bool fullScreen);

// Xlib's default answer to an error is to end the program. From this call
// on, two kinds of error are the host's to handle instead:
// - SDL confines the pointer with XFixes barriers, made from the window's and
//   its display's bounds; while the window moves between displays or modes
//   those can be empty and the X server refuses the barrier. Such an error
//   is let pass (the pointer is then not confined until the next try).
// - The window destroyed by another program: every request on it fails.
//   windowDestroyed() then answers true, and the host closes as if the
//   player had closed the window.
// Every other error goes to the handler that was there before.
void guardWindowErrors(SDL_Window* window);
bool windowDestroyed();
// Takes note of an X event (an SDL_SYSWMEVENT) that tells the window was
// destroyed; a window destroyed while nothing is drawn raises no error.
void noteWindowEvent(const SDL_SysWMmsg& message);

}  // namespace vh::platform
