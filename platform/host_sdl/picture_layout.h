// Where the game's picture stands in a window of any size, and which pixel
// of the picture a point of the window shows.
#pragma once

#include <SDL.h>

#include "varnholt/display_settings.h"

namespace vh::platform {

struct PictureLayout {
    // The picture's size, the window's size, and the rectangle of the
    // window the picture is drawn into.
    int pictureWidth = 0;
    int pictureHeight = 0;
    int windowWidth = 0;
    int windowHeight = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    static PictureLayout fit(int pictureWidth, int pictureHeight, int windowWidth, int windowHeight,
                             Scaling scaling);

    bool empty() const { return width <= 0 || height <= 0; }
    // The rectangle of the window the picture is drawn into.
    SDL_Rect picture() const { return SDL_Rect{x, y, width, height}; }
    // The picture pixel under a window point. A point on a black bar, or
    // beyond the window, maps to the nearest edge of the picture, so that a
    // pointer resting at the screen's edge rests at the picture's edge.
    void toPicture(int windowX, int windowY, int& pictureX, int& pictureY) const;
    // The picture column or row that window column or row `at` (counted from
    // the picture's own corner, 0 <= at < width or height) shows.
    int sourceColumn(int at) const;
    int sourceRow(int at) const;
    // The first window column or row (from the picture's corner) that shows
    // picture column or row `source`; `source` = the picture's size gives the
    // picture's drawn size.
    int firstColumnShowing(int source) const;
    int firstRowShowing(int source) const;
};

}  // namespace vh::platform
