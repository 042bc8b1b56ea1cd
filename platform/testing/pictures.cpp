// The pictures that the test hooks hand out, and their comparison with the
// art they should show.
#include "pictures.h"

#include <SDL.h>

namespace vh::test {

Picture toPicture(int width, int height, uint32_t format, const void* pixels, int pitch) {
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.pixels.assign(size_t(width) * size_t(height), 0);
    SDL_ConvertPixels(width, height, format, pixels, pitch, SDL_PIXELFORMAT_RGB888,
                      picture.pixels.data(), width * 4);
    for (uint32_t& pixel : picture.pixels) pixel &= 0x00FFFFFFu;
    return picture;
}

int mismatches(const Picture& picture, int x, int y, const Picture& expected, int width, int height,
               int left) {
    int wrong = 0;
    for (int j = 0; j < height && j < expected.height; ++j) {
        for (int i = 0; i < width && i < expected.width; ++i) {
            const int px = x + i, py = y + j;
            if (px < left || py < 0 || px >= picture.width || py >= picture.height) continue;
            const uint32_t want = expected.at(i, j) & 0xFFFFFF;
            if (want == 0xFF00FF) continue;  // transparent: whatever lies below shows
            if ((picture.at(px, py) & 0xFFFFFF) != want) ++wrong;
        }
    }
    return wrong;
}

int countColor(const Picture& picture, int x, int y, int width, int height, uint32_t color) {
    int count = 0;
    for (int j = y; j < y + height && j < picture.height; ++j)
        for (int i = x; i < x + width && i < picture.width; ++i)
            if ((picture.at(i, j) & 0xFFFFFF) == color) ++count;
    return count;
}

}  // namespace vh::test
