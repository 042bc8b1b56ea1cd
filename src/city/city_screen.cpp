#include "city/city_screen.h"

#include <new>

ResultCode CityScreen::createSidebarSprites() {
    sidebar.createSprites();
    return result::kOk;
}

ResultCode CityScreen::loadSidebarArt() {
    // A picture that fails to load never stops start-up or a recovery.
    sidebar.loadArt();
    return result::kOk;
}

ResultCode CityScreen::createMap() {
    // The map lives until the process ends.
    auto* map = new (std::nothrow) CityMap();
    if (map) mapView.bindMap(*map);
    return result::kOk;
}

ResultCode CityScreen::reloadArt() {
    loadSidebarArt();
    reloadLotArt();
    return result::kOk;
}

ResultCode CityScreen::draw() {
    if (mapView.map) mapView.draw();
    return sidebar.draw();  // over whatever the map view drew left of x 256
}

ResultCode CityScreen::click(double time, int32_t button, int32_t x, int32_t y) {
    if (x < Sidebar::kWidth) sidebar.click(time, button, x, y);
    return result::kOk;  // the map view takes no clicks
}

ResultCode CityScreen::hover(double time, int32_t x, int32_t y) {
    if (x < Sidebar::kWidth || !mapView.map) return result::kOk;
    return mapView.hover(time, x, y);
}
