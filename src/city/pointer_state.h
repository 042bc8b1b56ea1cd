// The link between pointer messages and the screen: the window procedure
// records positions and latches the last left release; once a frame,
// dispatch hands them to the city screen.
#pragma once

#include "app/result_code.h"

class PointerState {
  public:
    // The most game time, in milliseconds, that one frame hands to the hover.
    static constexpr double kLongestHoverStep = 100.0;

    ResultCode onMouse(uint32_t lParam, int32_t button);
    ResultCode onKey(uint32_t key);
    ResultCode dispatch();

    int32_t pointerX = 0;  // (0, 0) lies on the sidebar, where a hover does nothing
    int32_t pointerY = 0;
    double clickTime = 0.0;  // exactly 0.0: no click latched
    int32_t clickX = 0;
    int32_t clickY = 0;
    // Game time at the previous dispatch, for the hover's time step.
    double previousFrameTime = 0.0;
};
