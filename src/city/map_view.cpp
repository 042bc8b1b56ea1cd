#include "city/map_view.h"

namespace {

constexpr int32_t kLeftBand = 288;    // x below it scrolls left
constexpr int32_t kRightBand = 992;   // x above it scrolls right
constexpr int32_t kTopBand = 32;      // y below it scrolls up
constexpr int32_t kBottomBand = 736;  // y above it scrolls down

}  // namespace

ResultCode MapView::bindMap(CityMap& cityMap) {
    map = &cityMap;
    cameraX = 0;
    cameraY = 0;
    return result::kOk;
}

ResultCode MapView::hover(double time, int32_t x, int32_t y) {
    const MapBounds b = map->bounds();
    if (x != restX || y != restY) {
        // A new resting place: the camera waits for the pointer to stay.
        restX = x;
        restY = y;
        scrollTime = 0.0;
        return result::kOk;
    }

    scrollTime += time;
    const int32_t steps = static_cast<int32_t>((scrollTime - 1.0) * (1.0 / kTimePerPixel));
    if (steps <= 0) return result::kOk;

    if (x < kLeftBand) cameraX -= steps;
    if (x > kRightBand) cameraX += steps;
    if (y < kTopBand) cameraY -= steps;
    if (y > kBottomBand) cameraY += steps;
    // Resting in the middle drains the accumulator without moving anything.
    scrollTime -= steps * kTimePerPixel;

    const int32_t lot = CityMap::kLotSize;
    if (cameraX < b.minColumn * lot) cameraX = 0;
    if (cameraX + kExtent > (b.maxColumn + 1) * lot) cameraX = (b.maxColumn - 5) * lot;
    if (cameraY < b.minRow * lot) cameraY = 0;
    if (cameraY + kExtent > (b.maxRow + 1) * lot) cameraY = (b.maxRow - 5) * lot;
    return result::kOk;
}

ResultCode MapView::draw() {
    const int32_t lot = CityMap::kLotSize;
    const int32_t firstColumn = cameraX / lot;
    const int32_t offsetX = cameraX % lot;
    const int32_t firstRow = cameraY / lot;
    const int32_t offsetY = cameraY % lot;
    const MapBounds b = map->bounds();

    // One more column and row than fill the view, for the lots the camera's
    // offset within a lot cuts; the clipper trims what leaves the screen.
    for (int32_t m = firstColumn; m < firstColumn + kWindowLots; ++m) {
        const int32_t x = kLeft - offsetX + (m - firstColumn) * lot;
        for (int32_t n = firstRow; n < firstRow + kWindowLots; ++n) {
            const int32_t y = -offsetY + (n - firstRow) * lot;
            if (m >= b.minColumn && m <= b.maxColumn && n >= b.minRow && n <= b.maxRow)
                map->drawLot(m, n, x, y);
        }
    }
    return result::kOk;
}
