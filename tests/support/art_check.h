// What a frame of the game must show, checked against the art files: the
// sidebar's top picture, the three tab buttons, the selected tab's panel (on
// the amb tab with the legend's eight markers) and every lot in view for the
// camera, with none of the colour restored surfaces come back with and none
// of the magenta that marks what is transparent. The soak and the fault sweep
// check their frames with it.
#pragma once

#include <iterator>
#include <string>

#include "app/application.h"
#include "varnholt/platform_test.h"

namespace artcheck {

using vh::test::Picture;

// The sixteen art files, relative to assets/, and where a frame shows them
// with the amb panel selected: the sidebar's pictures in the order it loads
// them, the map's lot, and the legend's eight markers, marker k at
// kFirstMarker + k (axis k / 2's row, the positive marker on the left).
struct ArtFile {
    const char* path;
    int x, y;           // where the game draws it
    int width, height;  // the part of it that nothing else covers
    int spriteHeight;   // the sprite the game cuts from it
};

// The tab buttons cover the top picture's last rows, the legend's markers all
// but the first rows of a panel.
inline constexpr ArtFile kArtFiles[] = {
    {"GUI/sb_top.png", 0, 0, 256, 240, 304},
    {"GUI/sb_tab_amb.png", 32, 240, 64, 64, 64},
    {"GUI/sb_tab_pros.png", 96, 240, 64, 64, 64},
    {"GUI/sb_tab_mvr.png", 160, 240, 64, 64, 64},
    {"GUI/sb_amb.png", 0, 304, 256, 16, 464},
    {"GUI/sb_pros.png", 0, 304, 256, 16, 464},
    {"GUI/sb_mvr.png", 0, 304, 256, 16, 464},
    {"Lots/lot_base.png", 256, 0, 128, 128, 128},
    {"Ambiances/Green/green.gif", 16, 320, 16, 16, 16},
    {"Ambiances/Polluting/polluting.gif", 144, 320, 16, 16, 16},
    {"Ambiances/Criminal/criminal.gif", 16, 448, 16, 16, 16},
    {"Ambiances/Lawful/lawful.gif", 144, 448, 16, 16, 16},
    {"Ambiances/Noisy/noisy.gif", 16, 576, 16, 16, 16},
    {"Ambiances/Quiet/quiet.gif", 144, 576, 16, 16, 16},
    {"Ambiances/Arcane/arcane.gif", 16, 704, 16, 16, 16},
    {"Ambiances/Techy/techy.gif", 144, 704, 16, 16, 16},
};
inline constexpr int kFirstPanel = 4, kLot = 7, kFirstMarker = 8;

// Pixels of art file `i` that `shown` does not show at its place.
inline int mismatchesAt(const Picture& shown, int i, const Picture& expected) {
    const ArtFile& file = kArtFiles[i];
    return vh::test::mismatches(shown, file.x, file.y, expected, file.width, file.height);
}

// Pixels of the lots in view for the camera that are not `lot`, the base
// picture every lot shows; the sidebar covers the part of the first column
// left of x 256.
inline int lotMismatches(const Picture& shown, const Picture& lot, int cameraX, int cameraY) {
    int wrong = 0;
    for (int column = 0; column < 7; ++column)
        for (int row = 0; row < 7; ++row)
            wrong += vh::test::mismatches(shown, 256 - cameraX % 128 + column * 128,
                                          row * 128 - cameraY % 128, lot, 128, 128, 256);
    return wrong;
}

// The art as the game's loader sees it (transparent areas in magenta), read
// from the working directory, in kArtFiles' order.
struct Art {
    Picture files[std::size(kArtFiles)];

    bool load() {
        bool all = true;
        for (size_t i = 0; i < std::size(kArtFiles); ++i) {
            files[i] = vh::test::decodeImageFile(kArtFiles[i].path);
            all = all && files[i].width;
        }
        return all;
    }
};

struct Findings {
    bool whole = false;  // a 1024 x 768 frame
    int wrong = 0;       // pixels that differ from the art
    int garbage = 0;     // pixels in the colour of restored surfaces
    int magenta = 0;     // transparent pixels drawn as if they were not

    bool right() const { return whole && wrong == 0 && garbage == 0 && magenta == 0; }
    std::string describe() const {
        if (!whole) return "no 1024 x 768 frame";
        return std::to_string(wrong) + " pixels differ from the art, " + std::to_string(garbage) +
               " garbage pixels, " + std::to_string(magenta) + " magenta pixels";
    }
};

// The frame as the game should show it with `app`'s selected tab and camera.
inline Findings check(const Picture& shown, const Art& art, const Application& app) {
    using vh::test::mismatches;
    Findings found;
    found.whole = shown.width == 1024 && shown.height == 768;
    if (!found.whole) return found;
    found.garbage = vh::test::countColor(shown, 0, 0, 1024, 768, vh::test::kRestoredFill);
    // Magenta is the art's transparent colour: a sprite drawn with the wrong
    // colour key shows it, where the comparisons below look through it.
    found.magenta = vh::test::countColor(shown, 0, 0, 1024, 768, 0xFF00FF);

    for (int i = 0; i < kFirstPanel; ++i) found.wrong += mismatchesAt(shown, i, art.files[i]);
    const int selected = app.cityScreen.sidebar.selectedTab;
    const int panel = kFirstPanel + selected;
    if (selected == Amb) {
        // The panel's first rows lie above the legend.
        found.wrong += mismatchesAt(shown, panel, art.files[panel]);
        for (int k = 0; k < 8; ++k)
            found.wrong += mismatchesAt(shown, kFirstMarker + k, art.files[kFirstMarker + k]);
    } else {
        const ArtFile& file = kArtFiles[panel];
        found.wrong +=
            mismatches(shown, file.x, file.y, art.files[panel], file.width, file.spriteHeight);
    }
    found.wrong += lotMismatches(shown, art.files[kLot], app.cityScreen.mapView.cameraX,
                                 app.cityScreen.mapView.cameraY);
    return found;
}

}  // namespace artcheck
