// The game as the benchmarks run it: started once per process on the headless
// host, from the art folder, with the call journal off as on a player's host.
#pragma once

#include <cstddef>

#include "app/application.h"

namespace bench {

// Starts the game (window, display, sprites, art) on first call; aborts the
// program when start-up fails, as no figure would mean anything.
Application& startedGame();

// Bytes one frame writes in its current state: the destination rectangles of
// its blits, clipped to the screen, plus the whole frame handed to the host.
size_t bytesWrittenByFrame(Application& app);

// Rests the pointer at (x, y) as WM_MOUSEMOVE does.
void restPointer(Application& app, int x, int y);

// One iteration of the frame loop with an empty message queue: the peek that
// finds nothing, then the frame.
void loopIteration(Application& app);

}  // namespace bench
