// What the window system tells DirectDraw: whether the game is the active
// full-screen program. Losing the foreground loses every surface's memory,
// and Restore fails until the game comes back.
#pragma once

namespace vh::platform {

void setDisplayForeground(bool foreground);
bool displayForeground();
// Every surface of every DirectDraw object loses its memory, as when another
// program takes the display.
void loseAllSurfaces();

}  // namespace vh::platform
