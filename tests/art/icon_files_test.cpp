// The program's icon as the art script draws it: a PNG at each size a desktop
// asks for and a Windows .ico holding the same pictures. At every size the
// shield is centred with sharp straight edges, its corners are clear, and
// every pixel that is not fully opaque has the outline's colour, so no fringe
// of another colour shows on any background.
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "image_bytes.h"

namespace {

constexpr int kSizes[] = {16, 24, 32, 48, 64, 128, 256};
constexpr uint32_t kOutline = 0x1E1A26;  // the art's ink, 0xRRGGBB

// An icon's pixels as 0xAARRGGBB, row by row.
struct Icon {
    int size = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(size) + size_t(x)]; }
    int alpha(int x, int y) const { return int(at(x, y) >> 24); }
    // How many clear pixels there are from (x, y) on, in steps of (dx, dy),
    // before the first that is not.
    int clearRun(int x, int y, int dx, int dy) const {
        int run = 0;
        while (run < size && alpha(x + run * dx, y + run * dy) == 0) ++run;
        return run;
    }
};

std::unique_ptr<Icon> fromSurface(SDL_Surface* decoded) {
    if (!decoded) return nullptr;
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(decoded);
    if (!argb || argb->w != argb->h) return nullptr;
    auto icon = std::make_unique<Icon>();
    icon->size = argb->w;
    for (int y = 0; y < argb->h; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(
            static_cast<const uint8_t*>(argb->pixels) + y * argb->pitch);
        icon->pixels.insert(icon->pixels.end(), row, row + argb->w);
    }
    SDL_FreeSurface(argb);
    return icon;
}

std::string pngPath(int size) {
    return std::string(VARNHOLT_ASSETS_DIR) + "/icon/varnholt-" + std::to_string(size) + ".png";
}

std::unique_ptr<Icon> loadPng(int size) {
    return fromSurface(IMG_Load(pngPath(size).c_str()));
}

// The PNG of the size under test, a square of that size.
class IconSize : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        icon = loadPng(GetParam());
        ASSERT_TRUE(icon) << pngPath(GetParam()) << ": " << IMG_GetError();
        ASSERT_EQ(icon->size, GetParam());
    }
    std::unique_ptr<Icon> icon;
};

TEST_P(IconSize, IsASquareOfItsSizeWithClearCornersAndAnOpaqueMiddle) {
    const int size = GetParam(), last = size - 1;
    for (auto [x, y] : {std::pair{0, 0}, {last, 0}, {0, last}, {last, last}})
        EXPECT_EQ(icon->alpha(x, y), 0) << "corner " << x << "," << y;
    EXPECT_EQ(icon->alpha(size / 2, size / 2), 255);
    int opaque = 0;
    for (uint32_t pixel : icon->pixels) opaque += (pixel >> 24) == 255;
    // The shield fills much of the square, and leaves room around it.
    EXPECT_GT(opaque, size * size * 2 / 5);
    EXPECT_LT(opaque, size * size * 9 / 10);
}

TEST_P(IconSize, EveryPixelNotFullyOpaqueHasTheOutlinesColour) {
    int partial = 0;
    for (int y = 0; y < icon->size; ++y) {
        for (int x = 0; x < icon->size; ++x) {
            if (icon->alpha(x, y) == 255) continue;
            partial += icon->alpha(x, y) > 0;
            ASSERT_EQ(icon->at(x, y) & 0xFFFFFF, kOutline) << "pixel " << x << "," << y;
        }
    }
    EXPECT_GT(partial, 0) << "the slanted chin is smoothed";
}

TEST_P(IconSize, TheShieldIsCentredWithSharpTopAndSides) {
    const int size = GetParam();
    // Mirror images of each other, left and right.
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size / 2; ++x)
            ASSERT_EQ(icon->alpha(x, y), icon->alpha(size - 1 - x, y)) << x << "," << y;
    // The top row and the outermost columns the shield reaches are whole pixels:
    // fully opaque wherever they are not clear.
    const int top = icon->clearRun(size / 2, 0, 0, 1), left = icon->clearRun(0, size / 3, 1, 0);
    ASSERT_LT(top, size / 8 + 1);
    ASSERT_LT(left, size / 4);
    EXPECT_EQ(top, icon->clearRun(size / 2, size - 1, 0, -1)) << "the same margin above and below";
    int topRun = 0, sideRun = 0;
    for (int x = 0; x < size; ++x) {
        int alpha = icon->alpha(x, top);
        EXPECT_TRUE(alpha == 0 || alpha == 255) << "top row, x " << x << ": " << alpha;
        topRun += alpha == 255;
    }
    for (int y = 0; y < size; ++y) {
        int alpha = icon->alpha(left, y);
        if (alpha == 255) ++sideRun;
        if (y < size * 2 / 5) {  // above the shoulder, where the chin begins
            EXPECT_TRUE(alpha == 0 || alpha == 255) << "side, y " << y << ": " << alpha;
        }
    }
    EXPECT_GT(topRun, size / 2);
    EXPECT_GT(sideRun, size / 3);
}

INSTANTIATE_TEST_SUITE_P(Sizes, IconSize, ::testing::ValuesIn(kSizes),
                         [](const auto& info) { return std::to_string(info.param) + "px"; });

uint32_t little(const std::vector<uint8_t>& data, size_t at, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | data.at(at + size_t(i));
    return value;
}

TEST(IconFile, TheWindowsIconHoldsEverySizeAsTheSamePictureAsItsPng) {
    const fixture::Bytes data = fixture::readFile(VARNHOLT_ASSETS_DIR "/icon/varnholt.ico");
    ASSERT_GE(data.size(), 6u);
    EXPECT_EQ(little(data, 0, 2), 0u);
    EXPECT_EQ(little(data, 2, 2), 1u) << "an icon, not a cursor";
    const size_t count = little(data, 4, 2);
    std::set<int> sizes;
    for (size_t entry = 0; entry < count; ++entry) {
        const size_t at = 6 + entry * 16;
        const int width = data.at(at) ? data.at(at) : 256;  // 0 stands for 256
        const int height = data.at(at + 1) ? data.at(at + 1) : 256;
        const uint32_t length = little(data, at + 8, 4);
        const uint32_t offset = little(data, at + 12, 4);
        ASSERT_EQ(width, height);
        ASSERT_LE(size_t(offset) + length, data.size()) << width << " px";
        EXPECT_EQ(little(data, at + 6, 2), 32u) << width << " px: 32 bits, with alpha";
        auto inIco =
            fromSurface(IMG_Load_RW(SDL_RWFromConstMem(data.data() + offset, int(length)), 1));
        auto png = loadPng(width);
        ASSERT_TRUE(inIco) << width << " px: " << IMG_GetError();
        ASSERT_TRUE(png);
        EXPECT_EQ(inIco->size, width);
        EXPECT_TRUE(inIco->pixels == png->pixels) << width << " px";
        sizes.insert(width);
    }
    EXPECT_EQ(sizes, std::set<int>(std::begin(kSizes), std::end(kSizes)));
}

}  // namespace
