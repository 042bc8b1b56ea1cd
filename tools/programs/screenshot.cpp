// Plays the game on the headless host and saves a presented frame as a PNG:
// the README's picture of the screen comes from here.
//
//   varnholt_screenshot OUTPUT.png [FRAMES] [--rest X,Y] [--click X,Y]
//
// Run it with the art folder as the working directory. The pointer rests at
// X,Y from the first frame on; a left release at X,Y comes after the second.
#include <SDL.h>
#include <SDL_image.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "varnholt/platform_test.h"
#include "winapi.h"

namespace {

bool parsePoint(const char* text, int& x, int& y) {
    return std::sscanf(text, "%d,%d", &x, &y) == 2;
}

bool savePng(const vh::test::Picture& picture, const std::string& path) {
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<uint32_t*>(picture.pixels.data()), picture.width, picture.height, 32,
        picture.width * 4, SDL_PIXELFORMAT_RGB888);
    if (!surface) return false;
    bool saved = IMG_SavePNG(surface, path.c_str()) == 0;
    SDL_FreeSurface(surface);
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png [FRAMES] [--rest X,Y] [--click X,Y]\n", argv[0]);
        return 2;
    }
    const std::string output = argv[1];
    int frames = 1;
    int restX = -1, restY = -1, clickX = -1, clickY = -1;
    for (int i = 2; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--rest") && i + 1 < argc) {
            parsePoint(argv[++i], restX, restY);
        } else if (!std::strcmp(argv[i], "--click") && i + 1 < argc) {
            parsePoint(argv[++i], clickX, clickY);
        } else {
            frames = std::atoi(argv[i]);
        }
    }
    if (frames < 1) frames = 1;

    vh::test::useHeadlessHost();
    bool saved = false;
    vh::test::onPresent([&](int frame) {
        if (frame == 1 && restX >= 0) vh::test::mouseMove(restX, restY);
        if (frame == 2 && clickX >= 0) vh::test::mouseRelease(1, clickX, clickY);
        if (frame == frames) {
            saved = savePng(vh::test::presentedFrame(), output);
            vh::test::keyPress(VK_ESCAPE);
        }
    });
    char commandLine[] = "";
    int code = WinMain(reinterpret_cast<HINSTANCE>(0x400000), nullptr, commandLine, SW_SHOWDEFAULT);
    if (!saved) {
        std::fprintf(stderr, "varnholt_screenshot: no frame saved (game ended with %d)\n", code);
        return 1;
    }
    std::printf("%s: frame %d, game ended with %d\n", output.c_str(), frames, code);
    return code;
}
