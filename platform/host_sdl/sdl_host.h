// The SDL host: the player's host. One window on the desktop, full screen or
// not, the game's picture scaled into it, the pointer and keys read back as
// the game expects them, and the host's own keys (Alt+Enter, Ctrl+F10, F12)
// kept from the game. Its files share this class, one job each: the window's
// life and the pictures (sdl_host.cpp), starting video (sdl_host_video.cpp),
// the window's place and modes (sdl_host_window.cpp), input and focus
// (sdl_host_events.cpp); pacing (frame_pacer.h) and placement
// (window_placement.h) are classes of their own.
#pragma once

#include <SDL.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "frame_pacer.h"
#include "picture_layout.h"
#include "presenter.h"
#include "shown_frame.h"
#include "varnholt/host.h"
#include "varnholt/sdl_host.h"
#include "window_placement.h"

namespace vh::platform {

class SdlHost final : public Host {
  public:
    SdlHost(const DisplaySettings& settings, std::shared_ptr<SettingsFile> file);
    ~SdlHost() override;

    bool openWindow(std::string& whyNot) override;
    void closeWindow() override;
    bool hasDisplay() override;
    void enterFullScreen(int width, int height) override;
    void leaveFullScreen() override;
    int screenWidth() override;
    int screenHeight() override;
    bool pollEvent(HostEvent& event) override;
    bool waitEvent() override;
    void present(SDL_Surface* frame) override;
    int64_t nanoseconds() override;
    void setWindowIcon(SDL_Surface* pixels) override;
    PresentCounts presentCounts() const override { return counts_; }

  private:
    using Clock = std::chrono::steady_clock;
    // The picture before the game sets a display mode.
    static constexpr int kDefaultPictureWidth = 1024;
    static constexpr int kDefaultPictureHeight = 768;
    // Events kept while waiting for a frame's slot; a refresh brings a
    // handful.
    static constexpr size_t kMostTakenEvents = 256;

    // sdl_host_video.cpp
    bool startVideo(std::string& whyNot);
    SDL_DisplayMode desktopMode();

    // sdl_host_window.cpp
    SDL_Rect windowedPlace();
    void placeWindow();
    void switchMode();
    void rememberWindowPlace();
    void saveSettings();

    // sdl_host.cpp
    bool createWindow(std::string& whyNot);
    bool choosePresenter(std::string& whyNot);
    int pictureWidth() const;
    int pictureHeight() const;
    void relayout();
    void followWindowSize();
    void repaint();
    void takeScreenshot();
    int refreshHz();
    void waitAfterFrame(bool shown);

    // sdl_host_events.cpp
    bool waitForInputUntil(Clock::time_point deadline);
    bool hasTakenEvents() const { return takenRead_ < taken_.size(); }
    bool nextEvent(SDL_Event& sdl);
    bool translate(const SDL_Event& sdl, HostEvent& event);
    bool translateWindowEvent(const SDL_WindowEvent& window, HostEvent& event);
    bool hostKey(const SDL_KeyboardEvent& key);
    bool reportFocus(HostEvent& event);
    bool closeForDestroyedWindow(HostEvent& event);
    bool focusChange(bool focused, HostEvent& event);
    void confinePointer(bool confine);
    void releasePointer(bool released);
    void toPicture(int windowX, int windowY, HostEvent& event) const;

    DisplaySettings settings_;
    std::shared_ptr<SettingsFile> file_;
    WindowPlacement placement_;
    // What the player changed by playing, and only that, goes to the file:
    // options given for one run stay out of it.
    bool modeChanged_ = false;
    bool placeChanged_ = false;
    std::string saveFailureTold_;  // the last reason the file could not be saved
    SDL_Window* window_ = nullptr;
    std::unique_ptr<Presenter> presenter_;
    ShownFrame shown_;
    PictureLayout layout_;
    PresentCounts counts_;
    bool videoReady_ = false;
    bool videoFailed_ = false;
    bool windowFailed_ = false;
    std::string videoError_;
    bool focused_ = false;
    bool wantFocus_ = false;         // what the window events read so far say
    std::optional<HostEvent> held_;  // input read behind a focus change
    // Events taken from SDL while waiting for the next frame, in order, for
    // pollEvent to read before SDL's own.
    std::vector<SDL_Event> taken_;
    size_t takenRead_ = 0;
    // A mode switch makes some window managers take the focus away for a
    // moment; until then a loss is not the game's business.
    Clock::time_point switchSettlesAt_;
    bool reconfine_ = false;        // confine the pointer again once the switch settles
    bool pointerReleased_ = false;  // Ctrl+F10: the player took the pointer back
    bool swallowRelease_ = false;   // the click that captured the pointer again
    bool repaintWanted_ = true;
    bool closeSent_ = false;  // the window was destroyed from outside and that was told
    int logicalWidth_ = 0;    // the game's display mode; 0 before it sets one
    int logicalHeight_ = 0;
    FramePacer pacer_;
};

}  // namespace vh::platform
