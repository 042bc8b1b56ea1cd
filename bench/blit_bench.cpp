// Single blits as the game makes them (a sprite drawn by id through the
// registry, a colour-keyed Blt into the back buffer), each beside the same
// blit made directly with SDL_BlitSurface, with and without run-length
// encoding, in the same run.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench_registry.h"
#include "city/city_map.h"
#include "display/sprite.h"
#include "game_session.h"
#include "varnholt/platform_test.h"

namespace bench {
namespace {

struct BlitCase {
    const char* name;
    SpriteId id;
    int x;
    int y;
};

// The sprite's pixels in a plain SDL surface of the display's format, keyed
// with magenta as the game's sprites are.
SDL_Surface* plainCopy(SpriteId id, bool runLengthEncoded) {
    Sprite* sprite = SpriteRegistry::instance().slots[id];
    vh::test::Picture picture = vh::test::surfacePixels(sprite->frames[0][0]);
    SDL_Surface* copy = SDL_CreateRGBSurfaceWithFormat(0, picture.width, picture.height, 32,
                                                       SDL_PIXELFORMAT_RGB888);
    if (!copy) {
        std::fprintf(stderr, "varnholt_bench: %s\n", SDL_GetError());
        std::exit(1);
    }
    for (int row = 0; row < picture.height; ++row)
        std::memcpy(static_cast<Uint8*>(copy->pixels) + size_t(row) * copy->pitch,
                    picture.pixels.data() + size_t(row) * picture.width, size_t(picture.width) * 4);
    SDL_SetColorKey(copy, SDL_TRUE, SDL_MapRGB(copy->format, 255, 0, 255));
    SDL_SetSurfaceRLE(copy, runLengthEncoded ? 1 : 0);
    return copy;
}

SDL_Surface* screenSurface(const Application& app) {
    static SDL_Surface* screen =
        SDL_CreateRGBSurfaceWithFormat(0, app.width, app.height, 32, SDL_PIXELFORMAT_RGB888);
    return screen;
}

void registerCase(const BlitCase& blit) {
    Application& app = startedGame();
    const std::string game = std::string("Blit/") + blit.name + "/game";
    const std::string rle = std::string("Blit/") + blit.name + "/sdl_key_rle";
    const std::string plain = std::string("Blit/") + blit.name + "/sdl_key";

    benchmark::RegisterBenchmark(game.c_str(), [blit](benchmark::State& state) {
        SpriteRegistry& registry = SpriteRegistry::instance();
        for (auto _ : state) {
            if (result::failed(registry.draw(blit.id, 0, 0, blit.x, blit.y))) {
                state.SkipWithError("the sprite was not drawn");
                break;
            }
        }
    })->Unit(benchmark::kNanosecond);

    for (bool encoded : {true, false}) {
        SDL_Surface* source = plainCopy(blit.id, encoded);
        SDL_Surface* screen = screenSurface(app);
        benchmark::RegisterBenchmark((encoded ? rle : plain).c_str(), [blit, source, screen](
                                                                          benchmark::State& state) {
            for (auto _ : state) {
                SDL_Rect to{blit.x, blit.y, 0, 0};
                SDL_BlitSurface(source, nullptr, screen, &to);
            }
        })->Unit(benchmark::kNanosecond);
    }
    addRatio(std::string(blit.name) + ": game / SDL keyed RLE", game, rle);
    addRatio(std::string(blit.name) + ": game / SDL keyed", game, plain);
}

}  // namespace

void registerBlitBenchmarks() {
    Application& app = startedGame();
    const Sidebar& sidebar = app.cityScreen.sidebar;
    // The marker where the legend shows it, a lot with its right half beyond
    // the screen's right edge, and the amb panel where the sidebar draws it.
    registerCase({"marker_16x16", lotArtIds[1], 16, 320});
    registerCase({"lot_128x128_clipped", lotArtIds[0], app.width - 64, 320});
    registerCase({"panel_256x464", sidebar.ambPanelSprite, 0, 304});
}

}  // namespace bench
