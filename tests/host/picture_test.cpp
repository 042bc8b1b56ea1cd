// The picture without a display: what a new frame changes of the one shown,
// where the picture stands in a window, and the nearest-neighbour scaler,
// at 16 and at 32 bits a pixel.
#include <gtest/gtest.h>

#include <memory>

#include "picture_layout.h"
#include "presenter.h"
#include "shown_frame.h"
#include "varnholt/pixel_memory.h"

namespace {

using namespace vh::platform;

using Surface = std::unique_ptr<SDL_Surface, decltype(&SDL_FreeSurface)>;

// A surface every pixel of which holds a value of its own (in 16 bits too).
Surface pattern(int width, int height, int bits) {
    Surface s(
        SDL_CreateRGBSurfaceWithFormat(
            0, width, height, bits, bits == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888),
        SDL_FreeSurface);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) writePixel(s.get(), x, y, Uint32(y * 256 + x));
    return s;
}

std::string text(const SDL_Rect& r) {
    return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.w) + "x" +
           std::to_string(r.h);
}

class AtBothDepths : public testing::TestWithParam<int> {};
INSTANTIATE_TEST_SUITE_P(Bits, AtBothDepths, testing::Values(16, 32));

// Spots changed in several rows and columns, one left of an earlier row's:
// the smallest rectangle holding them all, and the kept picture the frame.
TEST_P(AtBothDepths, ShownFrameAnswersTheRectangleOfEveryChangedSpot) {
    ShownFrame shown;
    Surface frame = pattern(64, 48, GetParam());
    SDL_Rect changed;
    ASSERT_TRUE(shown.update(frame.get(), changed));
    EXPECT_EQ(text(changed), "0,0 64x48") << "the first frame is new everywhere";
    ASSERT_TRUE(shown.update(frame.get(), changed));
    EXPECT_EQ(changed.w, 0) << "an identical frame changes nothing";
    const struct {
        std::vector<std::pair<int, int>> spots;
        const char* rectangle;
    } cases[] = {{{{10, 5}}, "10,5 1x1"},
                 {{{40, 3}, {12, 20}}, "12,3 29x18"},
                 {{{30, 2}, {50, 9}, {4, 30}, {33, 41}}, "4,2 47x40"},
                 {{{63, 0}, {0, 47}}, "0,0 64x48"}};
    for (const auto& c : cases) {
        for (auto [x, y] : c.spots)
            writePixel(frame.get(), x, y, readPixel(frame.get(), x, y) ^ 0x5555);
        ASSERT_TRUE(shown.update(frame.get(), changed));
        EXPECT_EQ(text(changed), c.rectangle);
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
                ASSERT_EQ(readPixel(shown.surface(), x, y), readPixel(frame.get(), x, y))
                    << x << "," << y;
    }
    Surface other = pattern(32, 48, GetParam());
    ASSERT_TRUE(shown.update(other.get(), changed));
    EXPECT_EQ(text(changed), "0,0 32x48") << "a frame of another size is new everywhere";
}

// Whole multiples 0 (too small: the aspect kept instead), 1, 2 and 3, and
// shrinking: where the picture stands and which picture pixels show.
TEST(PictureLayout, StandsWhereItsScalingPutsItAndShowsTheRightPixels) {
    const struct {
        int width, height;
        Scaling scaling;
        const char* picture;
        int column, shows;  // window column from the picture's corner, its picture column
    } cases[] = {{1000, 700, Scaling::Integer, "33,0 933x700", 932, 1023},
                 {1030, 770, Scaling::Integer, "3,1 1024x768", 700, 700},
                 {2060, 1550, Scaling::Integer, "6,7 2048x1536", 5, 2},
                 {3200, 2400, Scaling::Integer, "64,48 3072x2304", 3071, 1023},
                 {512, 384, Scaling::Aspect, "0,0 512x384", 0, 1},
                 {1920, 1080, Scaling::Aspect, "240,0 1440x1080", 1439, 1023},
                 {1920, 1080, Scaling::Stretch, "0,0 1920x1080", 1919, 1023},
                 {0, 768, Scaling::Aspect, "0,0 0x0", 0, 0}};
    for (const auto& c : cases) {
        const PictureLayout l = PictureLayout::fit(1024, 768, c.width, c.height, c.scaling);
        EXPECT_EQ(text(l.picture()), c.picture) << c.width << "x" << c.height;
        if (l.empty()) continue;
        EXPECT_EQ(l.sourceColumn(c.column), c.shows) << c.width << "x" << c.height;
        EXPECT_LE(l.firstColumnShowing(c.shows), c.column) << c.width << "x" << c.height;
        EXPECT_EQ(l.firstColumnShowing(1024), l.width) << "the drawn width";
        EXPECT_EQ(l.firstRowShowing(768), l.height) << "the drawn height";
        int px, py;
        l.toPicture(-5, c.height + 5, px, py);  // off the window: the nearest corner
        EXPECT_EQ(std::pair(px, py), std::pair(0, 767)) << c.width << "x" << c.height;
    }
}

// Every window pixel gets the picture pixel the layout maps it to, and a
// part drawn alone lands exactly where the whole picture drawn puts it.
TEST_P(AtBothDepths, TheNearestScalerDrawsEveryPixelFromTheLayout) {
    Surface picture = pattern(64, 48, GetParam());
    for (auto [width, height] : {std::pair{128, 96}, {100, 90}, {40, 30}}) {
        const PictureLayout layout = PictureLayout::fit(64, 48, width, height, Scaling::Stretch);
        NearestScaler scaler;
        scaler.relayout(layout);
        Surface whole = pattern(width, height, GetParam()),
                part = pattern(width, height, GetParam());
        const SDL_Rect drawn = scaler.draw(picture.get(), {0, 0, 64, 48}, whole.get());
        EXPECT_EQ(text(drawn), text(layout.picture()));
        EXPECT_EQ(text(scaler.draw(picture.get(), {13, 7, 9, 5}, part.get())),
                  text(SDL_Rect{layout.firstColumnShowing(13), layout.firstRowShowing(7),
                                layout.firstColumnShowing(22) - layout.firstColumnShowing(13),
                                layout.firstRowShowing(12) - layout.firstRowShowing(7)}));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const int sx = layout.sourceColumn(x), sy = layout.sourceRow(y);
                ASSERT_EQ(readPixel(whole.get(), x, y), readPixel(picture.get(), sx, sy))
                    << width << "x" << height << " at " << x << "," << y;
                const bool inPart = sx >= 13 && sx < 22 && sy >= 7 && sy < 12;
                ASSERT_EQ(readPixel(part.get(), x, y),
                          inPart ? readPixel(whole.get(), x, y) : Uint32(y * 256 + x))
                    << "the part drawn alone, at " << x << "," << y;
            }
    }
}

}  // namespace
