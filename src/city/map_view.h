// The scrolling view of the city map, right of the sidebar: x 256..1023,
// the full height. A pointer resting in a band along its edges scrolls it.
#pragma once

#include "app/result_code.h"
#include "city/city_map.h"

class MapView {
  public:
    static constexpr int32_t kLeft = 256;      // screen x of the view's left edge
    static constexpr int32_t kExtent = 768;    // the view's width and height
    static constexpr int32_t kWindowLots = 7;  // lots drawn across and down
    static constexpr double kTimePerPixel = 1500.0;

    ResultCode bindMap(CityMap& cityMap);
    // `time` is added to the accumulator on every call that finds the pointer
    // where the previous call left it; every 1500 of it is one pixel of scroll.
    ResultCode hover(double time, int32_t x, int32_t y);
    ResultCode draw();

    int32_t cameraX = 0;
    int32_t cameraY = 0;
    int32_t restX = 0;
    int32_t restY = 0;
    double scrollTime = 0.0;
    CityMap* map = nullptr;
};
