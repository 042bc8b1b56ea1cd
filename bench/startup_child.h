// The modes in which the benchmark program is started again as a child.
#pragma once

namespace bench {

// Starts the game on the headless host from the art folder and, at its first
// presented frame, prints the monotonic time in nanoseconds and the number of
// art files decoded, then ends the process.
int startUpChild();

// Plays the game on the SDL host for `seconds` with the pointer still or
// scrolling the map (`motion` "still" or "scroll"), prints frames a second,
// CPU time a frame of the game and of the X server, frames presented and
// skipped and the resident size, then puts it in the background for
// `backgroundSeconds` and prints the CPU it used there (see present_child.cpp).
int presentChild(double seconds, double backgroundSeconds, const char* motion);

}  // namespace bench
