// What a frame of the game must show, checked against the art files: the
// sidebar's top picture, the three tab buttons, the selected tab's panel (on
// the amb tab with the legend's eight markers) and every lot in view for the
// camera, with none of the colour restored surfaces come back with and none
// of the magenta that marks what is transparent. The soak and the fault sweep
// check their frames with it.
#pragma once

#include <string>

#include "app/application.h"
#include "varnholt/platform_test.h"

namespace artcheck {

using vh::test::Picture;

// The eight ambiance markers' files, marker k at index k.
inline constexpr const char* kMarkerArt[8] = {
    "Ambiances/Green/green.gif",       "Ambiances/Polluting/polluting.gif",
    "Ambiances/Criminal/criminal.gif", "Ambiances/Lawful/lawful.gif",
    "Ambiances/Noisy/noisy.gif",       "Ambiances/Quiet/quiet.gif",
    "Ambiances/Arcane/arcane.gif",     "Ambiances/Techy/techy.gif"};

// Pixels of marker k that the amb panel's legend does not show at its place:
// axis k / 2's row, the positive marker on the left, the negative on the right.
inline int legendMismatches(const Picture& shown, int k, const Picture& marker) {
    return vh::test::mismatches(shown, (k % 2) ? 144 : 16, 320 + 128 * (k / 2), marker, 16, 16);
}

// The art as the game's loader sees it (transparent areas in magenta), read
// from the working directory.
struct Art {
    Picture top, tabs[3], panels[3], lot, markers[8];

    bool load() {
        auto read = [](const char* path) { return vh::test::decodeImageFile(path); };
        top = read("GUI/sb_top.png");
        tabs[0] = read("GUI/sb_tab_amb.png");
        tabs[1] = read("GUI/sb_tab_pros.png");
        tabs[2] = read("GUI/sb_tab_mvr.png");
        panels[0] = read("GUI/sb_amb.png");
        panels[1] = read("GUI/sb_pros.png");
        panels[2] = read("GUI/sb_mvr.png");
        lot = read("Lots/lot_base.png");
        for (int k = 0; k < 8; ++k) markers[k] = read(kMarkerArt[k]);
        bool all = top.width && lot.width;
        for (int i = 0; i < 3; ++i) all = all && tabs[i].width && panels[i].width;
        for (const Picture& marker : markers) all = all && marker.width;
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

    // The tab buttons cover the top picture's last rows.
    found.wrong += mismatches(shown, 0, 0, art.top, 256, 240);
    for (int tab = 0; tab < 3; ++tab)
        found.wrong += mismatches(shown, 32 + 64 * tab, 240, art.tabs[tab], 64, 64);
    const int selected = app.cityScreen.sidebar.selectedTab;
    if (selected == Amb) {
        // The panel's first rows lie above the legend.
        found.wrong += mismatches(shown, 0, 304, art.panels[0], 256, 16);
        for (int k = 0; k < 8; ++k) found.wrong += legendMismatches(shown, k, art.markers[k]);
    } else {
        found.wrong += mismatches(shown, 0, 304, art.panels[selected], 256, 464);
    }
    // The lots in view, all of them the base picture; the sidebar covers the
    // part of the first column left of x 256.
    const int offsetX = app.cityScreen.mapView.cameraX % 128;
    const int offsetY = app.cityScreen.mapView.cameraY % 128;
    for (int column = 0; column < 7; ++column)
        for (int row = 0; row < 7; ++row)
            found.wrong += mismatches(shown, 256 - offsetX + column * 128, row * 128 - offsetY,
                                      art.lot, 128, 128, 256);
    return found;
}

}  // namespace artcheck
