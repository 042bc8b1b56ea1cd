// Nearest-neighbour scaling of a part of the picture. SDL's own scaled blit
// maps the rectangles it is given onto each other, so a part scaled on its
// own lands a pixel off from the same part of the whole picture scaled; this
// one maps every window pixel through the one layout.
#include <cstring>

#include "presenter.h"

namespace vh::platform {
namespace {

template <typename Pixel>
void scaleRow(const Uint8* from, Uint8* to, const int* columns, int count) {
    const auto* source = reinterpret_cast<const Pixel*>(from);
    auto* dest = reinterpret_cast<Pixel*>(to);
    for (int i = 0; i < count; ++i) dest[i] = source[columns[i]];
}

}  // namespace

void NearestScaler::relayout(const PictureLayout& layout) {
    layout_ = layout;
    columns_.resize(size_t(std::max(layout.width, 0)));
    for (int x = 0; x < layout.width; ++x) columns_[size_t(x)] = layout.sourceColumn(x);
}

SDL_Rect NearestScaler::draw(const SDL_Surface* picture, const SDL_Rect& changed,
                             SDL_Surface* target) const {
    const PictureLayout& l = layout_;
    if (l.empty() || changed.w <= 0 || changed.h <= 0) return SDL_Rect{0, 0, 0, 0};
    const int x0 = l.firstColumnShowing(changed.x);
    const int x1 = std::min(l.firstColumnShowing(changed.x + changed.w), l.width);
    const int y0 = l.firstRowShowing(changed.y);
    const int y1 = std::min(l.firstRowShowing(changed.y + changed.h), l.height);
    if (x0 >= x1 || y0 >= y1) return SDL_Rect{0, 0, 0, 0};

    const int bytesPerPixel = picture->format->BytesPerPixel;
    const size_t spanBytes = size_t(x1 - x0) * size_t(bytesPerPixel);
    const bool sameWidth = l.width == l.pictureWidth;
    auto targetRow = [&](int y) {
        return static_cast<Uint8*>(target->pixels) + size_t(l.y + y) * size_t(target->pitch) +
               size_t(l.x + x0) * size_t(bytesPerPixel);
    };
    int lastSource = -1;
    for (int y = y0; y < y1; ++y) {
        const int sourceRow = l.sourceRow(y);
        Uint8* to = targetRow(y);
        if (sourceRow == lastSource) {
            // Rows repeat where the picture is enlarged: copy the one above.
            std::memcpy(to, targetRow(y - 1), spanBytes);
            continue;
        }
        lastSource = sourceRow;
        const Uint8* from =
            static_cast<const Uint8*>(picture->pixels) + size_t(sourceRow) * size_t(picture->pitch);
        if (sameWidth)
            std::memcpy(to, from + size_t(x0) * size_t(bytesPerPixel), spanBytes);
        else if (bytesPerPixel == 4)
            scaleRow<Uint32>(from, to, columns_.data() + x0, x1 - x0);
        else
            scaleRow<Uint16>(from, to, columns_.data() + x0, x1 - x0);
    }
    return SDL_Rect{l.x + x0, l.y + y0, x1 - x0, y1 - y0};
}

}  // namespace vh::platform
