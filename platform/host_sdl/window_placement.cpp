// Where the windowed window stands.
#include "window_placement.h"

#include <algorithm>

#include "picture_layout.h"

namespace vh::platform {

WindowPlacement::WindowPlacement(const DisplaySettings& settings)
    : known_(settings.hasWindow),
      place_{settings.windowX, settings.windowY, settings.windowWidth, settings.windowHeight} {}

SDL_Rect WindowPlacement::place(const std::vector<SDL_Rect>& displays, const SDL_Rect& workArea,
                                const std::optional<WindowFrame>& frame, int pictureWidth,
                                int pictureHeight) {
    if (known_ && place_.w >= SettingsFile::kSmallestWindowSide &&
        place_.h >= SettingsFile::kSmallestWindowSide) {
        const SDL_Point centre{place_.x + place_.w / 2, place_.y + place_.h / 2};
        for (const SDL_Rect& display : displays)
            if (SDL_PointInRect(&centre, &display)) return place_;
    }
    const WindowFrame f = frame.value_or(kFrameRoom);
    const int roomWidth = std::max(workArea.w - f.left - f.right, kSmallestWidth);
    const int roomHeight = std::max(workArea.h - f.top - f.bottom, kSmallestHeight);
    const int factor = std::min(roomWidth / pictureWidth, roomHeight / pictureHeight);
    const PictureLayout fitted =
        PictureLayout::fit(pictureWidth, pictureHeight, roomWidth, roomHeight, Scaling::Aspect);
    const int width = factor >= 1 ? pictureWidth * factor : fitted.width;
    const int height = factor >= 1 ? pictureHeight * factor : fitted.height;
    known_ = true;
    place_ = SDL_Rect{workArea.x + (workArea.w - width - f.left - f.right) / 2,
                      workArea.y + (workArea.h - height - f.top - f.bottom) / 2, width, height};
    return place_;
}

// The place is kept as the window manager takes it back: the corner of the
// window's frame (SDL reports the inside's corner) and the inside's size.
bool WindowPlacement::remember(const SDL_Rect& inside, const WindowFrame& frame) {
    const SDL_Rect now{inside.x - frame.left, inside.y - frame.top, inside.w, inside.h};
    const bool changed = !known_ || !SDL_RectEquals(&now, &place_);
    known_ = true;
    place_ = now;
    return changed;
}

void WindowPlacement::saveInto(DisplaySettings& settings) const {
    settings.hasWindow = known_;
    settings.windowX = place_.x;
    settings.windowY = place_.y;
    settings.windowWidth = place_.w;
    settings.windowHeight = place_.h;
}

}  // namespace vh::platform
