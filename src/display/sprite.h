// A set of off-screen surfaces of one size (its frames), colour-keyed with the
// display's magenta, filled from a GdiBitmap and drawn with one blit.
#pragma once

#include <vector>

#include "app/result_code.h"
#include "winapi.h"

class GdiBitmap;

class Sprite {
  public:
    // One row of frameCount frames of width x height pixels. Needs the display:
    // the surfaces come from the Application's DirectDraw object.
    Sprite(int32_t frameCount, int32_t width, int32_t height);
    // Releases the frames. Registered sprites live until the process ends;
    // only a sprite that the registry refused is ever deleted.
    ~Sprite();
    Sprite(const Sprite&) = delete;
    Sprite& operator=(const Sprite&) = delete;

    ResultCode fill(GdiBitmap& bitmap, int32_t row, int32_t frame, int32_t x, int32_t y);
    ResultCode draw(IDirectDrawSurface* target, int32_t row, int32_t frame, int32_t x, int32_t y);
    ResultCode restore();

    int32_t rowCount = 0;
    int32_t frameWidth = 0;
    int32_t frameHeight = 0;
    RECT sourceRect{};
    std::vector<int32_t> frameCounts;
    // frames[row][frame]; a frame whose surface could not be made is null.
    std::vector<std::vector<IDirectDrawSurface*>> frames;
};
