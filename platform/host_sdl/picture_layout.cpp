// Where the game's picture stands in a window.
#include "picture_layout.h"

#include <algorithm>
#include <cstdint>

namespace vh::platform {
namespace {

// Nearest-neighbour mapping between `drawn` window pixels and `size`
// picture pixels: window pixel i shows the picture pixel under its centre,
// floor((i + 1/2) * size / drawn). Enlarged, the first and last window
// pixels show the first and last picture pixels; reduced, the first may show
// the second.
int source(int at, int size, int drawn) {
    return int((2 * int64_t(at) + 1) * size / (2 * int64_t(drawn)));
}

// The first window pixel i with source(i) >= s: (2i + 1) * size >= 2 * s * drawn.
int firstShowing(int s, int size, int drawn) {
    const int64_t numerator = 2 * int64_t(s) * drawn - size;
    if (numerator <= 0) return 0;
    return int((numerator + 2 * int64_t(size) - 1) / (2 * int64_t(size)));
}

}  // namespace

PictureLayout PictureLayout::fit(int pictureWidth, int pictureHeight, int windowWidth,
                                 int windowHeight, Scaling scaling) {
    PictureLayout layout;
    layout.pictureWidth = pictureWidth;
    layout.pictureHeight = pictureHeight;
    layout.windowWidth = windowWidth;
    layout.windowHeight = windowHeight;
    if (pictureWidth <= 0 || pictureHeight <= 0 || windowWidth <= 0 || windowHeight <= 0)
        return layout;
    int width = windowWidth;
    int height = windowHeight;
    if (scaling == Scaling::Integer) {
        int factor = std::min(windowWidth / pictureWidth, windowHeight / pictureHeight);
        if (factor >= 1) {
            width = pictureWidth * factor;
            height = pictureHeight * factor;
        } else {
            scaling = Scaling::Aspect;
        }
    }
    if (scaling == Scaling::Aspect) {
        // The wider of the two fits by height, the narrower by width.
        if (int64_t(windowWidth) * pictureHeight > int64_t(windowHeight) * pictureWidth) {
            height = windowHeight;
            width = int(int64_t(windowHeight) * pictureWidth / pictureHeight);
        } else {
            width = windowWidth;
            height = int(int64_t(windowWidth) * pictureHeight / pictureWidth);
        }
        width = std::max(width, 1);
        height = std::max(height, 1);
    }
    layout.width = width;
    layout.height = height;
    layout.x = (windowWidth - width) / 2;
    layout.y = (windowHeight - height) / 2;
    return layout;
}

void PictureLayout::toPicture(int windowX, int windowY, int& pictureX, int& pictureY) const {
    if (empty()) {
        pictureX = pictureY = 0;
        return;
    }
    // The picture's edges themselves, even where a reduced picture does not
    // show its first column or row: the pointer must be able to reach them.
    auto edgeOrSource = [](int at, int drawn, int size, int source) {
        return at <= 0 ? 0 : at >= drawn - 1 ? size - 1 : source;
    };
    const int wx = std::clamp(windowX - x, 0, width - 1),
              wy = std::clamp(windowY - y, 0, height - 1);
    pictureX = edgeOrSource(wx, width, pictureWidth, sourceColumn(wx));
    pictureY = edgeOrSource(wy, height, pictureHeight, sourceRow(wy));
}

int PictureLayout::sourceColumn(int at) const {
    return source(at, pictureWidth, width);
}

int PictureLayout::sourceRow(int at) const {
    return source(at, pictureHeight, height);
}

int PictureLayout::firstColumnShowing(int column) const {
    return firstShowing(column, pictureWidth, width);
}

int PictureLayout::firstRowShowing(int row) const {
    return firstShowing(row, pictureHeight, height);
}

}  // namespace vh::platform
