// The game's pictures: each one is where the game asks for it, decodes through
// the game's own loader, is big enough for the sprites cut from it, and has no
// half-transparent pixel (the game draws over magenta with magenta as its
// colour key, so a half-transparent edge would show as a pink fringe).
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <string>

#include "display/gdi_bitmap.h"
#include "game_fixture.h"
#include "varnholt/platform_test.h"

namespace {

using artcheck::kArtFiles;

enum class Kind {
    Opaque,  // must cover every pixel it is drawn over: the lot
    Keyed,   // a marker: its background must be transparent somewhere
    Any,     // may use the colour key, need not: the sidebar's pictures
};

Kind kindOf(int art) {
    return art < artcheck::kLot ? Kind::Any : art == artcheck::kLot ? Kind::Opaque : Kind::Keyed;
}

// The Windows path the game passes to the loader: the map's art relative to
// ".", the sidebar's without.
std::string asGameAsks(const std::string& path) {
    std::string asked = path.compare(0, 4, "GUI/") == 0 ? path : ".\\" + path;
    for (char& c : asked)
        if (c == '/') c = '\\';
    return asked;
}

constexpr uint32_t kOverMagenta = 0xFFFF00FF;
constexpr uint32_t kOverBlack = 0xFF000000;
constexpr uint32_t kMagenta = 0x00FF00FF;  // as a decoded pixel, 0x00RRGGBB
constexpr uint32_t kBlack = 0x00000000;

// How the pixels of one file divide up, from decodings over two backgrounds:
// a pixel that comes out the same over both is opaque; one that comes out as
// each background exactly is transparent; anything else lets the background
// through in part.
struct PixelCensus {
    int opaque = 0;
    int keyed = 0;  // opaque magenta: the game's colour key hides it too
    int transparent = 0;
    int partial = 0;
    std::string firstPartial;
};

PixelCensus takeCensus(const vh::test::Picture& overMagenta, const vh::test::Picture& overBlack) {
    PixelCensus census;
    for (int y = 0; y < overMagenta.height; ++y) {
        for (int x = 0; x < overMagenta.width; ++x) {
            uint32_t a = overMagenta.at(x, y);
            uint32_t b = overBlack.at(x, y);
            if (a == b) {
                ++census.opaque;
                if (a == kMagenta) ++census.keyed;
            } else if (a == kMagenta && b == kBlack) {
                ++census.transparent;
            } else if (census.partial++ == 0) {
                census.firstPartial = "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
            }
        }
    }
    return census;
}

// In the art folder, with GDI+ started as the game starts it before loading
// any art.
class ArtFileTest : public testing::TestWithParam<int> {
  protected:
    void SetUp() override { ASSERT_TRUE(fixture::useRealArt()) << "GDI+ did not start"; }
};

TEST_P(ArtFileTest, IsAtItsPathAndDecodesThroughTheGameLoaderAtLeastAtItsSpriteSize) {
    // The game's lookup forgives case; a checkout on a case-sensitive disk
    // must still hold the name exactly as committed.
    const artcheck::ArtFile& art = kArtFiles[GetParam()];
    EXPECT_TRUE(std::filesystem::is_regular_file(art.path)) << art.path;
    GdiBitmap bitmap;
    ASSERT_EQ(bitmap.loadFromFile(asGameAsks(art.path).c_str()), result::kOk)
        << asGameAsks(art.path);
    EXPECT_NE(bitmap.handle, nullptr);
    EXPECT_GE(bitmap.width, art.width);
    EXPECT_GE(bitmap.height, art.spriteHeight);
}

TEST_P(ArtFileTest, EveryPixelIsOpaqueOrFullyTransparent) {
    const artcheck::ArtFile& art = kArtFiles[GetParam()];
    vh::test::Picture overMagenta = vh::test::decodeImageFile(art.path, kOverMagenta);
    vh::test::Picture overBlack = vh::test::decodeImageFile(art.path, kOverBlack);
    ASSERT_GE(overMagenta.width, art.width);
    ASSERT_GE(overMagenta.height, art.spriteHeight);
    ASSERT_EQ(overBlack.width, overMagenta.width);
    ASSERT_EQ(overBlack.height, overMagenta.height);

    PixelCensus census = takeCensus(overMagenta, overBlack);
    EXPECT_EQ(census.partial, 0) << census.partial << " half-transparent pixels, the first at "
                                 << census.firstPartial;

    const int hidden = census.transparent + census.keyed;
    switch (kindOf(GetParam())) {
        case Kind::Opaque:
            EXPECT_EQ(hidden, 0) << "the colour key would punch holes into it";
            break;
        case Kind::Keyed:
            EXPECT_GT(census.transparent, 0) << "its background does not show through";
            EXPECT_GT(census.opaque - census.keyed, 0) << "nothing is drawn";
            break;
        case Kind::Any:
            EXPECT_GT(census.opaque - census.keyed, 0) << "nothing is drawn";
            break;
    }
}

std::string testNameOf(const testing::TestParamInfo<int>& info) {
    std::string name;
    for (const char* c = kArtFiles[info.param].path; *c; ++c)
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Assets, ArtFileTest, testing::Range(0, int(std::size(kArtFiles))),
                         testNameOf);

}  // namespace
