// The picture drawn into the window's own framebuffer (XShm on X11): only
// the part that changed is scaled and sent to the X server, and no graphics
// library is loaded. With linear filtering the whole picture is scaled by
// SDL whenever anything changed, since every pixel depends on its neighbours.
#include "presenter.h"
#include "sharp_scaler.h"

namespace vh::platform {
namespace {

class FramebufferPresenter final : public Presenter {
  public:
    explicit FramebufferPresenter(SDL_Window* window) : window_(window) {}

    bool open(std::string& whyNot) {
        SDL_Surface* surface = SDL_GetWindowSurface(window_);
        if (!surface) {
            whyNot = SDL_GetError();
            return false;
        }
        // The scaler moves whole pixels of 2 or 4 bytes; SDL's renderer
        // serves a framebuffer of 3.
        const int bytesPerPixel = surface->format->BytesPerPixel;
        if (bytesPerPixel != 4 && bytesPerPixel != 2) {
            whyNot =
                "the window's framebuffer has " + std::to_string(bytesPerPixel) + " bytes a pixel";
            return false;
        }
        return true;
    }

    void relayout(const PictureLayout& layout, Filter filter) override {
        layout_ = layout;
        filter_ = filter;
        // Nearest serves a 16-bit screen whatever the filter; sharp's weights
        // are worked out only when it is chosen.
        nearest_.relayout(layout);
        if (filter == Filter::Sharp) sharp_.relayout(layout);
        redrawAll_ = true;
    }

    bool draw(SDL_Surface* picture, const SDL_Rect& changed) override {
        // The window surface is made anew when the window's size changes;
        // nothing is drawn into one of another size than the layout's.
        SDL_Surface* target = SDL_GetWindowSurface(window_);
        if (!target || layout_.empty() || target->w != layout_.windowWidth ||
            target->h != layout_.windowHeight)
            return false;
        if (redrawAll_) {
            SDL_FillRect(target, nullptr, SDL_MapRGB(target->format, 0, 0, 0));
            if (!drawPicture(picture, SDL_Rect{0, 0, picture->w, picture->h}, target)) return false;
            redrawAll_ = false;
            return SDL_UpdateWindowSurface(window_) == 0;
        }
        SDL_Rect area{0, 0, 0, 0};
        if (!drawPicture(picture, changed, target, &area)) return false;
        return area.w <= 0 || SDL_UpdateWindowSurfaceRects(window_, &area, 1) == 0;
    }

    bool waitsForRefresh() const override { return false; }
    std::string name() const override { return "framebuffer"; }

  private:
    bool drawPicture(SDL_Surface* picture, const SDL_Rect& changed, SDL_Surface* target,
                     SDL_Rect* drawn = nullptr) {
        const bool sameFormat = picture->format->format == target->format->format;
        if (sameFormat && filter_ != Filter::Linear) {
            // Sharp blends channels of 8 bits; a 16-bit screen shows nearest.
            const bool sharp = filter_ == Filter::Sharp && picture->format->BytesPerPixel == 4;
            SDL_Rect area = sharp ? sharp_.draw(picture, changed, target)
                                  : nearest_.draw(picture, changed, target);
            if (drawn) *drawn = area;
            return true;
        }
        // Another format (a 16-bit game on a 32-bit screen, say) or linear
        // filtering: SDL converts and scales the whole picture.
        SDL_Rect dest = layout_.picture();
        int failed = sameFormat ? SDL_SoftStretchLinear(picture, nullptr, target, &dest)
                                : SDL_BlitScaled(picture, nullptr, target, &dest);
        if (drawn) *drawn = dest;
        return failed == 0;
    }

    SDL_Window* window_;
    PictureLayout layout_;
    Filter filter_ = Filter::Sharp;
    NearestScaler nearest_;
    SharpScaler sharp_;
    bool redrawAll_ = true;
};

}  // namespace

std::unique_ptr<Presenter> makeFramebufferPresenter(SDL_Window* window, std::string& whyNot) {
    auto presenter = std::make_unique<FramebufferPresenter>(window);
    if (!presenter->open(whyNot)) return nullptr;
    return presenter;
}

}  // namespace vh::platform
