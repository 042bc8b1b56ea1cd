// The picture scaled into a window's framebuffer as the SDL host does it,
// sharp beside nearest, at the scales of the usual screens: 1920 x 1080
// (1.40625), 2560 x 1440 (1.875) and 3840 x 2160 (2.8125). Each draws the
// whole picture, and the map alone (what a scrolling frame changes).
#include <SDL.h>

#include <random>
#include <string>

#include "bench_registry.h"
#include "presenter.h"
#include "sharp_scaler.h"

namespace bench {
namespace {

using vh::platform::PictureLayout;
using vh::platform::Scaling;

constexpr int kPictureWidth = 1024;
constexpr int kPictureHeight = 768;
// The map: the picture right of the sidebar.
constexpr SDL_Rect kMap{256, 0, kPictureWidth - 256, kPictureHeight};

SDL_Surface* surface(int width, int height) {
    return SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_RGB888);
}

template <typename Scaler>
void registerScaler(const std::string& name, int width, int height, SDL_Rect part) {
    benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
        SDL_Surface* picture = surface(kPictureWidth, kPictureHeight);
        SDL_Surface* window = surface(width, height);
        std::mt19937 random(1);
        auto* pixels = static_cast<uint32_t*>(picture->pixels);
        for (int i = 0; i < kPictureWidth * kPictureHeight; ++i) pixels[i] = random() & 0xFFFFFF;
        Scaler scaler;
        scaler.relayout(
            PictureLayout::fit(kPictureWidth, kPictureHeight, width, height, Scaling::Aspect));
        for (auto _ : state) benchmark::DoNotOptimize(scaler.draw(picture, part, window));
        SDL_FreeSurface(window);
        SDL_FreeSurface(picture);
    })->Unit(benchmark::kMicrosecond);
}

}  // namespace

void registerScalerBenchmarks() {
    const struct { int width, height; } screens[] = {{1920, 1080}, {2560, 1440}, {3840, 2160}};
    const struct {
        const char* name;
        SDL_Rect part;
    } parts[] = {{"whole", {0, 0, kPictureWidth, kPictureHeight}}, {"map", kMap}};
    for (const auto& screen : screens) {
        for (const auto& part : parts) {
            const std::string size =
                std::to_string(screen.width) + "x" + std::to_string(screen.height);
            const std::string at = "Scale/" + size + "/" + part.name + "/";
            registerScaler<vh::platform::NearestScaler>(at + "nearest", screen.width, screen.height,
                                                        part.part);
            registerScaler<vh::platform::SharpScaler>(at + "sharp", screen.width, screen.height,
                                                      part.part);
            addRatio("sharp / nearest, " + size + ", " + part.name, at + "sharp", at + "nearest");
        }
    }
}

}  // namespace bench
