// Comparing pictures that the test hooks hand out with the art they should show.
#include "varnholt/platform_test.h"

namespace vh::test {

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
