#include "city/pointer_state.h"

#include <algorithm>

#include "app/application.h"

ResultCode PointerState::onMouse(uint32_t lParam, int32_t button) {
    pointerX = static_cast<int32_t>(lParam & 0xFFFF);
    pointerY = static_cast<int32_t>((lParam >> 16) & 0xFFFF);
    if (button == 1) {
        // Only the last left release before a frame is delivered.
        clickTime = Application::instance().lastClockReading;
        clickX = pointerX;
        clickY = pointerY;
    }
    return result::kOk;
}

ResultCode PointerState::onKey(uint32_t) {
    return result::kKeyNotHandled;
}

ResultCode PointerState::dispatch() {
    Application& app = Application::instance();
    // The hover is handed the game time that passed since the previous frame,
    // in microseconds: 1500 of them a pixel scrolls about 667 pixels a second
    // whatever the frame rate. A frame hands on at most kLongestHoverStep: a
    // game that stood still for seconds (stopped, held in a debugger, on a
    // paused machine) then scrolls on from where it was instead of jumping.
    const double now = app.lastClockReading;
    const double step = std::min(now - previousFrameTime, kLongestHoverStep) * 1000.0;
    previousFrameTime = now;

    ResultCode a = app.cityScreen.hover(step, pointerX, pointerY);
    ResultCode b = result::kOk;
    if (clickTime != 0.0) {
        b = app.cityScreen.click(clickTime, 1, clickX, clickY);
        clickTime = 0.0;
    }
    return (a | b) == 0 ? result::kOk : (a | b | result::kPassedUp);
}
