// How the SDL host puts the game's picture on its window. Two ways: the
// window's own framebuffer (XShm on X11), scaled by us, which costs next to
// nothing where there is no graphics card to speak of; or an SDL renderer
// with a streaming texture, which a player can ask for with SDL_RENDER_DRIVER.
#pragma once

#include <SDL.h>

#include <memory>
#include <string>
#include <vector>

#include "picture_layout.h"

namespace vh::platform {

class Presenter {
  public:
    virtual ~Presenter() = default;
    // The window's size or the scaling changed: everything is drawn afresh
    // at the next draw, bars included.
    virtual void relayout(const PictureLayout& layout, Filter filter) = 0;
    // Shows `picture` (the whole picture as it now is) of which only the
    // part in `changed` differs from what is on the window. False when the
    // window could not be drawn.
    virtual bool draw(SDL_Surface* picture, const SDL_Rect& changed) = 0;
    // Whether showing a picture waits for the display's refresh.
    virtual bool waitsForRefresh() const = 0;
    virtual std::string name() const = 0;
};

// Null with the reason in whyNot when the window has no framebuffer this
// host can draw into (not 32 bits a pixel, say).
std::unique_ptr<Presenter> makeFramebufferPresenter(SDL_Window* window, std::string& whyNot);
// `driver` names an SDL render driver ("" for SDL's own choice).
std::unique_ptr<Presenter> makeRendererPresenter(SDL_Window* window, const std::string& driver,
                                                 bool vsync, std::string& whyNot);

// Nearest-neighbour scaling of the part `changed` of `picture` into `target`,
// where `layout` places the picture. Every window pixel gets the picture
// pixel the layout maps it to, whatever part is drawn, so that drawing parts
// one by one gives the same window as drawing the whole. Both surfaces have
// the same format of 2 or 4 bytes a pixel. Answers the window rectangle drawn.
class NearestScaler {
  public:
    void relayout(const PictureLayout& layout);
    SDL_Rect draw(const SDL_Surface* picture, const SDL_Rect& changed, SDL_Surface* target) const;

  private:
    PictureLayout layout_;
    std::vector<int> columns_;  // picture column of each window column of the picture
};

}  // namespace vh::platform
