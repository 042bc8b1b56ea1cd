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

using artcheck::kArtFiles;
constexpr int kProsPanel = artcheck::kFirstPanel + 1, kMvrPanel = artcheck::kFirstPanel + 2;

// The sidebar loads its pictures in kArtFiles' order and stops at the first
// that fails; -1 for the map's art.
int sidebarOrder(int art) {
    return art < artcheck::kLot ? art : -1;
}

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
    int art;  // index into kArtFiles
    Kind kind;
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << kindName(c.kind) << " " << kArtFiles[c.art].path;
}

class HostileArt : public testing::TestWithParam<Case> {};

// Which pictures the game can still show right: all but the hostile one, and
// for a broken sidebar picture none that the sidebar loads after it.
bool expectedIntact(int file, int hostile, Kind kind) {
    if (file == hostile) return false;
    if (kind == Kind::Smaller || sidebarOrder(file) < 0 || sidebarOrder(hostile) < 0) return true;
    return file < hostile;
}

TEST_P(HostileArt, TheGameDrawsWhatItCanAnswersAndEndsWithZero) {
    const int hostile = GetParam().art;
    const char* const hostilePath = kArtFiles[hostile].path;
    const Kind kind = GetParam().kind;
    const std::string dir = fixture::useArtCopy();
    ASSERT_TRUE(fixture::writeFile(dir + "/" + hostilePath, hostileFile(kind, hostilePath)));
    // The panel to bring up with a click: the hostile one's own, if it is one.
    const int clickedPanel = hostile == kMvrPanel ? kMvrPanel : kProsPanel;
    const long peakBefore = fixture::peakResidentKilobytes();

    fixture::play(3, [&](int frame) {
        const Picture shown = frame == 2 ? Picture{} : vh::test::presentedFrame();
        for (int file = 0; file < int(std::size(kArtFiles)); ++file) {
            // Frame 1 shows the Amb panel; frame 3 the one clicked on frame 2.
            bool visible =
                frame == 1 ? sidebarOrder(file) < kProsPanel : frame == 3 && file == clickedPanel;
            if (!visible) continue;
            const char* const path = kArtFiles[file].path;
            if (expectedIntact(file, hostile, kind)) {
                EXPECT_EQ(artcheck::mismatchesAt(shown, file, fixture::art(path)), 0)
                    << path << " on frame " << frame;
            } else if (file == hostile && kind == Kind::Smaller) {
                // The small picture sits in its sprite's top-left corner.
                Picture small = vh::test::decodeImageFile(seedPath(smallerSeed(path)));
                ASSERT_GT(small.width, 0);
                EXPECT_EQ(fixture::mismatches(shown, kArtFiles[file].x, kArtFiles[file].y, small,
                                              small.width, small.height),
                          0)
                    << path << " on frame " << frame;
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
    for (int art = 0; art < int(std::size(kArtFiles)); ++art) {
        for (Kind kind : {Kind::Empty, Kind::Truncated, Kind::WrongFormat, Kind::HugeDeclaredSize,
                          Kind::Smaller})
            cases.push_back({art, kind});
        if (isGif(kArtFiles[art].path)) cases.push_back({art, Kind::HiddenHugeFrame});
    }
    return cases;
}

std::string caseName(const testing::TestParamInfo<Case>& info) {
    std::string name = std::filesystem::path(kArtFiles[info.param.art].path).stem().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return std::string(kindName(info.param.kind)) + "_" + name;
}

INSTANTIATE_TEST_SUITE_P(EachFileEachWay, HostileArt, testing::ValuesIn(allCases()), caseName);

}  // namespace
