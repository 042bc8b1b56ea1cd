// The sharp filter on small made-up pictures: values worked out by hand at
// 1.40625, 2 and 0.75 and stretched with other scales across than down;
// nearest-neighbour's picture at whole-number scales; a changed part drawn
// with its blended border, as the whole would be.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <tuple>
#include <vector>

#include "presenter.h"
#include "sharp_scaler.h"

namespace {

using vh::platform::PictureLayout;
using vh::platform::Scaling;

struct Surface {
    SDL_Surface* s;
    Surface(int w, int h)
        : s(SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGB888)) {}
    ~Surface() { SDL_FreeSurface(s); }
    uint32_t& at(int x, int y) { return static_cast<uint32_t*>(s->pixels)[y * s->pitch / 4 + x]; }
    bool operator==(const Surface& o) const {
        return std::memcmp(s->pixels, o.s->pixels, size_t(s->h * s->pitch)) == 0;
    }
    // Greys row after row (greys.size() == w * h), or random colours.
    void fill(const std::vector<int>& greys, unsigned seed = 0) {
        std::mt19937 random(seed);
        for (int i = 0; i < s->w * s->h; ++i)
            at(i % s->w, i / s->w) =
                greys.empty() ? random() & 0xFFFFFF : uint32_t(greys[size_t(i)]) * 0x010101u;
    }
};

template <typename Scaler = vh::platform::SharpScaler>
void drawWhole(Surface& picture, Surface& window, Scaling scaling, Scaler&& scaler = Scaler()) {
    scaler.relayout(
        PictureLayout::fit(picture.s->w, picture.s->h, window.s->w, window.s->h, scaling));
    scaler.draw(picture.s, SDL_Rect{0, 0, picture.s->w, picture.s->h}, window.s);
}

// Window pixel i covers the picture from i * size / drawn to (i + 1) * size
// / drawn. Across 45 / 32, pixel 1 covers 13 / 32 of picture pixel 0 and
// 19 / 32 of pixel 1, pixel 4 7 / 32 of pixel 2 and 25 / 32 of pixel 3; at
// 0.75, 3 / 4 and 1 / 4, then 1 / 2 and 1 / 2. Rounded half up: 32.5 is 33.
TEST(SharpScaler, AveragesThePicturePixelsEachWindowPixelCovers) {
    std::vector<int> stripes(32), checks(32 * 32);
    for (int i = 0; i < 32 * 32; ++i) checks[size_t(i)] = (i % 32 + i / 32) % 2 * 255;
    std::copy(checks.begin(), checks.begin() + 32, stripes.begin());
    struct Case {
        int pictureWidth, pictureHeight;
        std::vector<int> greys;
        int windowWidth, windowHeight;
        Scaling scaling;
        std::vector<std::array<int, 3>> spots;  // x, y, grey
    } const cases[] = {
        {32,
         1,
         stripes,
         45,
         1,
         Scaling::Stretch,
         {{1, 0, 151}, {2, 0, 207}, {3, 0, 0}, {4, 0, 199}, {44, 0, 255}}},
        // (13 * 19 + 19 * 13) * 255 / 32 / 32 = 123.02
        {32, 32, checks, 45, 45, Scaling::Aspect, {{0, 0, 0}, {1, 1, 123}, {0, 1, 151}}},
        {2, 1, {10, 250}, 4, 2, Scaling::Aspect, {{1, 0, 10}, {2, 0, 250}, {3, 1, 250}}},
        {4, 1, {0, 100, 200, 255}, 3, 1, Scaling::Stretch, {{0, 0, 25}, {1, 0, 150}, {2, 0, 241}}},
        // 1.5 across, 0.75 down; the picture's columns are 0 100 200 255 and all 40.
        {2,
         4,
         {0, 40, 100, 40, 200, 40, 255, 40},
         3,
         3,
         Scaling::Stretch,
         {{0, 0, 25}, {1, 0, 33}, {2, 0, 40}, {1, 1, 95}, {0, 2, 241}}},
    };
    for (const Case& c : cases) {
        Surface picture(c.pictureWidth, c.pictureHeight), window(c.windowWidth, c.windowHeight);
        picture.fill(c.greys);
        drawWhole(picture, window, c.scaling);
        for (const auto& [x, y, grey] : c.spots)
            EXPECT_EQ(window.at(x, y), uint32_t(grey) * 0x010101u)
                << c.windowWidth << "x" << c.windowHeight << " at " << x << "," << y;
    }
}

// On a picture 64 x 32 every weight is a whole number of 128ths at any
// window size, so each window pixel must be the exact area average, rounded
// half up, to the last bit: worked out here from the overlaps in 1 / drawn
// of a picture pixel, with the vector loops and with the plain ones.
TEST(SharpScaler, EveryPixelIsTheExactAreaAverage) {
    Surface picture(64, 32);
    picture.fill({}, 4);
    auto overlap = [](int64_t i, int64_t k, int64_t size, int64_t drawn) {
        return std::min((i + 1) * size, (k + 1) * drawn) - std::max(i * size, k * drawn);
    };
    for (auto [w, h, scaling] : {std::tuple{180, 90, Scaling::Aspect},
                                 {90, 45, Scaling::Aspect},
                                 {48, 24, Scaling::Aspect},
                                 {96, 24, Scaling::Stretch}}) {
        const PictureLayout l = PictureLayout::fit(64, 32, w, h, scaling);
        for (const bool vectors : {true, false}) {
            Surface window(w, h);
            drawWhole(picture, window, scaling, vh::platform::SharpScaler(vectors));
            int wrong = 0;
            for (int j = 0; j < l.height; ++j) {
                for (int i = 0; i < l.width; ++i) {
                    uint32_t expected = 0;
                    for (int lane = 0; lane < 32; lane += 8) {
                        int64_t sum = 0;
                        for (int m = j * 32 / l.height; m <= ((j + 1) * 32 - 1) / l.height; ++m)
                            for (int k = i * 64 / l.width; k <= ((i + 1) * 64 - 1) / l.width; ++k)
                                sum += overlap(i, k, 64, l.width) * overlap(j, m, 32, l.height) *
                                       (picture.at(k, m) >> lane & 0xFF);
                        expected |= uint32_t((2 * sum + 64 * 32) / (2 * 64 * 32)) << lane;
                    }
                    wrong += window.at(l.x + i, l.y + j) != expected;
                }
            }
            EXPECT_EQ(wrong, 0) << w << "x" << h << (vectors ? " with" : " without") << " vectors";
        }
    }
}

TEST(SharpScaler, IsNearestNeighbourAtWholeNumberScales) {
    Surface picture(16, 12);
    picture.fill({}, 1);
    for (auto [w, h, scaling] : {std::tuple{48, 36, Scaling::Integer},
                                 {32, 30, Scaling::Aspect},
                                 {45, 60, Scaling::Integer},
                                 {16, 24, Scaling::Stretch}}) {
        Surface sharp(w, h), nearest(w, h);
        drawWhole(picture, sharp, scaling);
        drawWhole(picture, nearest, scaling, vh::platform::NearestScaler());
        EXPECT_TRUE(sharp == nearest) << w << "x" << h;
    }
}

// A part changes (a region scrolled, say): drawn alone it gives the window
// that drawing the whole changed picture gives, blended border included.
TEST(SharpScaler, AChangedPartIsDrawnWithItsBlendedBorder) {
    for (const SDL_Rect part :
         {SDL_Rect{10, 5, 20, 15}, {0, 0, 1, 1}, {63, 47, 1, 1}, {7, 0, 33, 48}}) {
        Surface before(64, 48), after(64, 48), inPart(90, 67), whole(90, 67);
        before.fill({}, 2);
        after.fill({}, 3);
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
                if (x < part.x || y < part.y || x >= part.x + part.w || y >= part.y + part.h)
                    after.at(x, y) = before.at(x, y);
        vh::platform::SharpScaler scaler;
        drawWhole(before, inPart, Scaling::Aspect, scaler);
        const SDL_Rect drawn = scaler.draw(after.s, part, inPart.s);
        drawWhole(after, whole, Scaling::Aspect);
        EXPECT_TRUE(inPart == whole) << part.x << "," << part.y;
        EXPECT_GT(drawn.w * drawn.h, part.w * part.h) << "the border is drawn too";
    }
}

}  // namespace
