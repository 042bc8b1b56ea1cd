// The game's one screen: the map view right of x 256 and the sidebar left of
// it, drawn in that order, with pointer input routed by the screen column.
#pragma once

#include "app/result_code.h"
#include "city/map_view.h"
#include "city/sidebar.h"

class CityScreen {
  public:
    ResultCode createSidebarSprites();
    ResultCode loadSidebarArt();
    ResultCode createMap();
    // After the display surfaces were restored: every picture from its file
    // again, the sidebar's and the shared lot art, into the existing sprites.
    ResultCode reloadArt();
    ResultCode draw();
    ResultCode click(double time, int32_t button, int32_t x, int32_t y);
    ResultCode hover(double time, int32_t x, int32_t y);

    MapView mapView;
    Sidebar sidebar;
};
