// Hostile art: each of the sixteen art files replaced by something broken or
// malicious. The game must start, draw every other picture it could load,
// answer input, end with 0 on Escape, and stay small.
#include <gtest/gtest.h>

#include "image_bytes.h"

#include <filesystem>
#include <string>
#include <vector>

#include "game_fixture.h"

namespace {

using fixture::Bytes;
using fixture::readFile;
using vh::test::Picture;

// ---- The pictures and where the first frames show them -----------------------

struct ArtFile {
    const char* path;
    int x, y;           // where the game draws it (with its panel selected)
    int width, height;  // the part of it that nothing else covers
    int sidebarOrder;   // place in the sidebar's loading order; -1 for map art
};

// The sidebar loads in this order and stops at the first picture that fails.
// The tab buttons cover the top picture's last rows, the legend's markers all
// but the first rows of a panel.
const ArtFile kArt[] = {
    {"GUI/sb_top.png", 0, 0, 256, 240, 0},
    {"GUI/sb_tab_amb.png", 32, 240, 64, 64, 1},
    {"GUI/sb_tab_pros.png", 96, 240, 64, 64, 2},
    {"GUI/sb_tab_mvr.png", 160, 240, 64, 64, 3},
    {"GUI/sb_amb.png", 0, 304, 256, 16, 4},
    {"GUI/sb_pros.png", 0, 304, 256, 16, 5},
    {"GUI/sb_mvr.png", 0, 304, 256, 16, 6},
    {"Lots/lot_base.png", 256, 0, 128, 128, -1},
    {"Ambiances/Green/green.gif", 16, 320, 16, 16, -1},
    {"Ambiances/Polluting/polluting.gif", 144, 320, 16, 16, -1},
    {"Ambiances/Criminal/criminal.gif", 16, 448, 16, 16, -1},
    {"Ambiances/Lawful/lawful.gif", 144, 448, 16, 16, -1},
    {"Ambiances/Noisy/noisy.gif", 16, 576, 16, 16, -1},
    {"Ambiances/Quiet/quiet.gif", 144, 576, 16, 16, -1},
    {"Ambiances/Arcane/arcane.gif", 16, 704, 16, 16, -1},
    {"Ambiances/Techy/techy.gif", 144, 704, 16, 16, -1},
};
constexpr int kProsPanel = 5, kMvrPanel = 6;

bool isGif(const std::string& path) {
    return path.size() > 4 && path.substr(path.size() - 4) == ".gif";
}

// ---- Hostile files -------------------------------------------------------------

std::string seedPath(const std::string& name) {
    return std::string(VARNHOLT_SOURCE_DIR) + "/tests/fuzz/corpus/" + name;
}

Bytes seed(const char* name) {
    return readFile(seedPath(name));
}

// A valid PNG whose header declares 65535 x 65535 pixels (16 GB to decode);
// its header's checksum is right, so only the size gives it away.
Bytes pngBomb() {
    return fixture::withDeclaredSize(seed("rgb8.png"), 65535, 65535);
}

// A GIF whose screen and frame both declare 65535 x 65535.
Bytes gifBomb() {
    Bytes gif = seed("palette.gif");  // no global table: the frame follows at 13
    for (size_t at : {size_t(6), size_t(8), size_t(13 + 5), size_t(13 + 7)})
        gif[at] = gif[at + 1] = 0xFF;
    return gif;
}

// A GIF that hides its bomb: a first frame with an impossible code size, which
// a lenient decoder would step past, then a 16384 x 16384 frame inside what
// looks like the first frame's data.
Bytes hiddenGifBomb() {
    Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 4, 0, 4, 0, 0, 0, 0};
    Bytes frame = {0x2C, 0, 0, 0, 0, 4, 0, 4, 0, 0};
    gif.insert(gif.end(), frame.begin(), frame.end());
    gif.push_back(0x47);  // LZW code size 71; next, a "sub-block" running past the end
    gif.push_back(0xF0);
    Bytes big = {0x2C, 0, 0, 0, 0, 0x00, 0x40, 0x00, 0x40, 0x00, 2, 2, 0x4C, 0x01, 0, 0x3B};
    gif.insert(gif.end(), big.begin(), big.end());
    return gif;
}

enum class Kind { Empty, Truncated, WrongFormat, HugeDeclaredSize, HiddenHugeFrame, Smaller };

const char* kindName(Kind kind) {
    static const char* const kNames[] = {
        "Empty", "Truncated", "WrongFormat", "HugeDeclaredSize", "HiddenHugeFrame", "Smaller"};
    return kNames[size_t(kind)];
}

// The small valid pictures that stand in for art larger than themselves.
const char* smallerSeed(const std::string& path) {
    return isGif(path) ? "transparent.gif" : "rgba8_holes.png";
}

Bytes hostileFile(Kind kind, const std::string& path) {
    switch (kind) {
        case Kind::Empty:
            return {};
        case Kind::Truncated: {
            Bytes real = readFile(fixture::assetPath(path));
            real.resize(real.size() / 2);
            return real;
        }
        case Kind::WrongFormat:
            return seed(isGif(path) ? "rgb8.png" : "palette.gif");
        case Kind::HugeDeclaredSize:
            return isGif(path) ? gifBomb() : pngBomb();
        case Kind::HiddenHugeFrame:
            return hiddenGifBomb();
        case Kind::Smaller:
            return seed(smallerSeed(path));
    }
    return {};
}

// ---- The game ------------------------------------------------------------------

struct Case {
    int art;  // index into kArt
    Kind kind;
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << kindName(c.kind) << " " << kArt[c.art].path;
}

class HostileArt : public testing::TestWithParam<Case> {};

// Which pictures the game can still show right: all but the hostile one, and
// for a broken sidebar picture none that the sidebar loads after it.
bool expectedIntact(const ArtFile& file, const ArtFile& hostile, Kind kind) {
    if (&file == &hostile) return false;
    if (kind == Kind::Smaller || file.sidebarOrder < 0 || hostile.sidebarOrder < 0) return true;
    return file.sidebarOrder < hostile.sidebarOrder;
}

int mismatchesAt(const Picture& frame, const ArtFile& file, const Picture& expected) {
    return fixture::mismatches(frame, file.x, file.y, expected, file.width, file.height);
}

TEST_P(HostileArt, TheGameDrawsWhatItCanAnswersAndEndsWithZero) {
    const ArtFile& hostile = kArt[GetParam().art];
    const Kind kind = GetParam().kind;
    const std::string dir = fixture::useArtCopy();
    ASSERT_TRUE(fixture::writeFile(dir + "/" + hostile.path, hostileFile(kind, hostile.path)));
    // The panel to bring up with a click: the hostile one's own, if it is one.
    const int clickedPanel = hostile.sidebarOrder == kMvrPanel ? kMvrPanel : kProsPanel;
    const long peakBefore = fixture::peakResidentKilobytes();

    fixture::play(3, [&](int frame) {
        const Picture shown = frame == 2 ? Picture{} : vh::test::presentedFrame();
        for (const ArtFile& file : kArt) {
            // Frame 1 shows the Amb panel; frame 3 the one clicked on frame 2.
            bool visible = frame == 1 ? file.sidebarOrder < kProsPanel
                                      : frame == 3 && file.sidebarOrder == clickedPanel;
            if (!visible) continue;
            if (expectedIntact(file, hostile, kind)) {
                EXPECT_EQ(mismatchesAt(shown, file, fixture::art(file.path)), 0)
                    << file.path << " on frame " << frame;
            } else if (&file == &hostile && kind == Kind::Smaller) {
                // The small picture sits in its sprite's top-left corner.
                Picture small = vh::test::decodeImageFile(seedPath(smallerSeed(file.path)));
                ASSERT_GT(small.width, 0);
                EXPECT_EQ(
                    fixture::mismatches(shown, file.x, file.y, small, small.width, small.height), 0)
                    << file.path << " on frame " << frame;
            }
        }
        if (frame == 2) vh::test::mouseRelease(1, clickedPanel == kMvrPanel ? 170 : 100, 250);
    });
    EXPECT_EQ(vh::test::presentedFrameCount(), 3);
    EXPECT_EQ(Application::instance().cityScreen.sidebar.selectedTab,
              clickedPanel == kMvrPanel ? Mvr : Pros);
    // Nothing was decoded at the declared sizes: the whole run stays small.
    EXPECT_LT(fixture::peakResidentKilobytes() - peakBefore, 64L * 1024);
}

std::vector<Case> allCases() {
    std::vector<Case> cases;
    for (int art = 0; art < int(std::size(kArt)); ++art) {
        for (Kind kind : {Kind::Empty, Kind::Truncated, Kind::WrongFormat, Kind::HugeDeclaredSize,
                          Kind::Smaller})
            cases.push_back({art, kind});
        if (isGif(kArt[art].path)) cases.push_back({art, Kind::HiddenHugeFrame});
    }
    return cases;
}

std::string caseName(const testing::TestParamInfo<Case>& info) {
    std::string name = std::filesystem::path(kArt[info.param.art].path).stem().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return std::string(kindName(info.param.kind)) + "_" + name;
}

INSTANTIATE_TEST_SUITE_P(EachFileEachWay, HostileArt, testing::ValuesIn(allCases()), caseName);

}  // namespace
