// The picture drawn by an SDL renderer: the changed part is written into a
// streaming texture straight from the picture, and the texture is drawn
// scaled. The player picks the renderer with SDL_RENDER_DRIVER.
#include "presenter.h"

namespace vh::platform {
namespace {

class RendererPresenter final : public Presenter {
  public:
    ~RendererPresenter() override {
        if (texture_) SDL_DestroyTexture(texture_);
        if (renderer_) SDL_DestroyRenderer(renderer_);
    }

    bool open(SDL_Window* window, const std::string& driver, bool vsync, std::string& whyNot) {
        if (!driver.empty()) SDL_SetHint(SDL_HINT_RENDER_DRIVER, driver.c_str());
        Uint32 flags = vsync ? SDL_RENDERER_PRESENTVSYNC : 0;
        renderer_ = SDL_CreateRenderer(window, -1, flags);
        if (!renderer_) {
            whyNot = SDL_GetError();
            return false;
        }
        SDL_RendererInfo info{};
        if (SDL_GetRendererInfo(renderer_, &info) == 0) {
            name_ = info.name;
            vsync_ = (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
        }
        return true;
    }

    void relayout(const PictureLayout& layout, Filter filter) override {
        layout_ = layout;
        filter_ = filter;
        uploadAll_ = true;
        if (texture_) applyFilter();
    }

    bool draw(SDL_Surface* picture, const SDL_Rect& changed) override {
        if (!prepareTexture(picture)) return false;
        SDL_Rect area = uploadAll_ ? SDL_Rect{0, 0, picture->w, picture->h} : changed;
        if (area.w > 0 && area.h > 0) {
            const auto* from = static_cast<const Uint8*>(picture->pixels) +
                               size_t(area.y) * size_t(picture->pitch) +
                               size_t(area.x) * picture->format->BytesPerPixel;
            if (SDL_UpdateTexture(texture_, &area, from, picture->pitch) != 0) return false;
        }
        uploadAll_ = false;
        SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
        SDL_RenderClear(renderer_);
        SDL_Rect dest = layout_.picture();
        if (SDL_RenderCopy(renderer_, texture_, nullptr, &dest) != 0) return false;
        SDL_RenderPresent(renderer_);
        return true;
    }

    bool waitsForRefresh() const override { return vsync_; }
    std::string name() const override { return name_; }

  private:
    // The texture follows the picture's size and format (X8R8G8B8 or R5G6B5).
    bool prepareTexture(SDL_Surface* picture) {
        if (texture_ && format_ == picture->format->format && width_ == picture->w &&
            height_ == picture->h)
            return true;
        if (texture_) SDL_DestroyTexture(texture_);
        texture_ = SDL_CreateTexture(renderer_, picture->format->format,
                                     SDL_TEXTUREACCESS_STREAMING, picture->w, picture->h);
        format_ = picture->format->format;
        width_ = picture->w;
        height_ = picture->h;
        uploadAll_ = true;
        if (texture_) applyFilter();
        return texture_ != nullptr;
    }

    // SDL's renderers scale nearest or linear; sharp is drawn nearest.
    void applyFilter() {
        SDL_SetTextureScaleMode(
            texture_, filter_ == Filter::Linear ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
    }

    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    Uint32 format_ = 0;
    int width_ = 0;
    int height_ = 0;
    bool uploadAll_ = true;
    bool vsync_ = false;
    std::string name_ = "renderer";
    PictureLayout layout_;
    Filter filter_ = Filter::Sharp;
};

}  // namespace

std::unique_ptr<Presenter> makeRendererPresenter(SDL_Window* window, const std::string& driver,
                                                 bool vsync, std::string& whyNot) {
    auto presenter = std::make_unique<RendererPresenter>();
    if (!presenter->open(window, driver, vsync, whyNot)) return nullptr;
    return presenter;
}

}  // namespace vh::platform
