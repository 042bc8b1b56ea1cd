// The game's pictures: each one is where the game asks for it, decodes through
// the game's own loader, is big enough for the sprites cut from it, and has no
// half-transparent pixel (the game draws over magenta with magenta as its
// colour key, so a half-transparent edge would show as a pink fringe).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>

#include "display/gdi_bitmap.h"
#include "varnholt/platform_test.h"

namespace {

enum class Kind {
    Opaque,  // must cover every pixel it is drawn over
    Keyed,   // a marker: its background must be transparent somewhere
    Any,     // may use the colour key, need not
};

struct ArtFile {
    const char* onDisk;      // relative to assets/, in its committed case
    const char* asGameAsks;  // the Windows path the game passes to the loader
    int width;               // the sprite the game cuts from it
    int height;
    Kind kind;
};

// Failure messages name the file rather than dump the structure's bytes.
void PrintTo(const ArtFile& art, std::ostream* out) {
    *out << art.onDisk;
}

constexpr ArtFile kArtFiles[] = {
    {"Lots/lot_base.png", ".\\Lots\\lot_base.png", 128, 128, Kind::Opaque},
    {"Ambiances/Green/green.gif", ".\\Ambiances\\Green\\green.gif", 16, 16, Kind::Keyed},
    {"Ambiances/Polluting/polluting.gif", ".\\Ambiances\\Polluting\\polluting.gif", 16, 16,
     Kind::Keyed},
    {"Ambiances/Criminal/criminal.gif", ".\\Ambiances\\Criminal\\criminal.gif", 16, 16,
     Kind::Keyed},
    {"Ambiances/Lawful/lawful.gif", ".\\Ambiances\\Lawful\\lawful.gif", 16, 16, Kind::Keyed},
    {"Ambiances/Noisy/noisy.gif", ".\\Ambiances\\Noisy\\noisy.gif", 16, 16, Kind::Keyed},
    {"Ambiances/Quiet/quiet.gif", ".\\Ambiances\\Quiet\\quiet.gif", 16, 16, Kind::Keyed},
    {"Ambiances/Arcane/arcane.gif", ".\\Ambiances\\Arcane\\arcane.gif", 16, 16, Kind::Keyed},
    {"Ambiances/Techy/techy.gif", ".\\Ambiances\\Techy\\techy.gif", 16, 16, Kind::Keyed},
    {"GUI/sb_top.png", "GUI\\sb_top.png", 256, 304, Kind::Any},
    {"GUI/sb_tab_amb.png", "GUI\\sb_tab_amb.png", 64, 64, Kind::Any},
    {"GUI/sb_tab_pros.png", "GUI\\sb_tab_pros.png", 64, 64, Kind::Any},
    {"GUI/sb_tab_mvr.png", "GUI\\sb_tab_mvr.png", 64, 64, Kind::Any},
    {"GUI/sb_amb.png", "GUI\\sb_amb.png", 256, 464, Kind::Any},
    {"GUI/sb_pros.png", "GUI\\sb_pros.png", 256, 464, Kind::Any},
    {"GUI/sb_mvr.png", "GUI\\sb_mvr.png", 256, 464, Kind::Any},
};

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

class ArtFileTest : public testing::TestWithParam<ArtFile> {
  protected:
    void SetUp() override { ASSERT_EQ(chdir(VARNHOLT_ASSETS_DIR), 0) << VARNHOLT_ASSETS_DIR; }
};

TEST_P(ArtFileTest, IsAtItsPathAndDecodesThroughTheGameLoaderAtLeastAtItsSpriteSize) {
    // The game's lookup forgives case; a checkout on a case-sensitive disk
    // must still hold the name exactly as committed.
    const ArtFile& art = GetParam();
    EXPECT_TRUE(std::filesystem::is_regular_file(art.onDisk)) << art.onDisk;

    // GDI+ is started as the game starts it before loading any art.
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
    {
        GdiBitmap bitmap;
        ASSERT_EQ(bitmap.loadFromFile(art.asGameAsks), result::kOk) << art.asGameAsks;
        EXPECT_NE(bitmap.handle, nullptr);
        EXPECT_GE(bitmap.width, art.width);
        EXPECT_GE(bitmap.height, art.height);
    }
    Gdiplus::GdiplusShutdown(token);
}

TEST_P(ArtFileTest, EveryPixelIsOpaqueOrFullyTransparent) {
    const ArtFile& art = GetParam();
    vh::test::Picture overMagenta = vh::test::decodeImageFile(art.onDisk, kOverMagenta);
    vh::test::Picture overBlack = vh::test::decodeImageFile(art.onDisk, kOverBlack);
    ASSERT_GE(overMagenta.width, art.width);
    ASSERT_GE(overMagenta.height, art.height);
    ASSERT_EQ(overBlack.width, overMagenta.width);
    ASSERT_EQ(overBlack.height, overMagenta.height);

    PixelCensus census = takeCensus(overMagenta, overBlack);
    EXPECT_EQ(census.partial, 0) << census.partial << " half-transparent pixels, the first at "
                                 << census.firstPartial;

    const int hidden = census.transparent + census.keyed;
    switch (art.kind) {
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

std::string testNameOf(const testing::TestParamInfo<ArtFile>& info) {
    std::string name;
    for (const char* c = info.param.onDisk; *c; ++c)
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Assets, ArtFileTest, testing::ValuesIn(kArtFiles), testNameOf);

}  // namespace
