// Where the game's window stands when it is not full screen: where the
// player left it, if that is still on a display; else a size that fits the
// desktop's work area with the window manager's frame, centred in it. Given
// the displays' rectangles, not asking SDL, so that it is tested without a
// display.
#pragma once

#include <SDL.h>

#include <optional>
#include <vector>

#include "varnholt/display_settings.h"

namespace vh::platform {

// The window manager's frame around the window's inside, in pixels.
struct WindowFrame {
    int top = 0;
    int left = 0;
    int bottom = 0;
    int right = 0;
};

class WindowPlacement {
  public:
    // Room kept for a frame the window manager has not drawn yet.
    static constexpr WindowFrame kFrameRoom{40, 8, 8, 8};
    // No window gets smaller than a quarter of the picture: smaller is unplayable.
    static constexpr int kSmallestWidth = 256;
    static constexpr int kSmallestHeight = 192;

    // The place the settings remember, if any.
    explicit WindowPlacement(const DisplaySettings& settings);

    // Where the window goes, as the corner of its frame and the size of its
    // inside: the remembered place when its centre lies on one of
    // `displays`; else the largest whole multiple of the picture that fits
    // `workArea` with `frame` around it (kFrameRoom when none is known yet),
    // or where not even 1x fits, the largest size that fits with the aspect
    // kept, so that the title bar stays on the screen. The answer is the
    // remembered place from then on.
    SDL_Rect place(const std::vector<SDL_Rect>& displays, const SDL_Rect& workArea,
                   const std::optional<WindowFrame>& frame, int pictureWidth, int pictureHeight);

    // The window's inside stands at `inside`, within `frame`: that is the
    // remembered place from now on. True when it differs from the one before.
    bool remember(const SDL_Rect& inside, const WindowFrame& frame);

    // The remembered place into the settings' [window] values.
    void saveInto(DisplaySettings& settings) const;

  private:
    bool known_ = false;
    SDL_Rect place_{0, 0, 0, 0};
};

}  // namespace vh::platform
