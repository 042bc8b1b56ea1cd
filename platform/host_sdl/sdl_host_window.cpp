// The SDL host's window: where it stands windowed, full screen or windowed
// at Alt+Enter, and what of that the settings file keeps.
#include <cstdio>
#include <vector>

#include "sdl_host.h"
#include "x11_window.h"

namespace vh::platform {
namespace {

// After a mode switch, focus losses are held back this long.
constexpr auto kSwitchSettling = std::chrono::milliseconds(750);

}  // namespace

// Where the window goes in windowed mode, on the displays as they are now.
SDL_Rect SdlHost::windowedPlace() {
    std::vector<SDL_Rect> displays;
    for (int display = 0; display < SDL_GetNumVideoDisplays(); ++display) {
        SDL_Rect bounds;
        if (SDL_GetDisplayBounds(display, &bounds) == 0) displays.push_back(bounds);
    }
    SDL_Rect work{0, 0, kDefaultPictureWidth, kDefaultPictureHeight};
    SDL_GetDisplayUsableBounds(0, &work);
    // The frame as the window manager drew it last, if it has drawn one.
    std::optional<WindowFrame> frame;
    WindowFrame drawn;
    if (SDL_GetWindowBordersSize(window_, &drawn.top, &drawn.left, &drawn.bottom, &drawn.right) ==
            0 &&
        drawn.top > 0)
        frame = drawn;
    return placement_.place(displays, work, frame, pictureWidth(), pictureHeight());
}

// Full screen: a borderless window over the whole display, which the window
// manager is asked to show full screen (without a window manager, a bare X
// server, the covering window is all there is). Windowed: a decorated window
// at its place.
void SdlHost::placeWindow() {
    if (settings_.mode == ScreenMode::FullScreen) {
        SDL_Rect bounds{0, 0, kDefaultPictureWidth, kDefaultPictureHeight};
        SDL_GetDisplayBounds(std::max(SDL_GetWindowDisplayIndex(window_), 0), &bounds);
        SDL_SetWindowBordered(window_, SDL_FALSE);
        SDL_SetWindowPosition(window_, bounds.x, bounds.y);
        SDL_SetWindowSize(window_, bounds.w, bounds.h);
        setDesktopFullScreen(window_, true);
    } else {
        // The place asked for is the place until the window manager has
        // carried it out; what it was asked is not a change of the player's.
        const SDL_Rect place = windowedPlace();
        setDesktopFullScreen(window_, false);
        SDL_SetWindowBordered(window_, SDL_TRUE);
        SDL_SetWindowSize(window_, place.w, place.h);
        SDL_SetWindowPosition(window_, place.x, place.y);
    }
}

// A window still settling into a place just asked for (after Alt+Enter) has
// not taken it yet: its place is the one asked for, not what it reports.
void SdlHost::rememberWindowPlace() {
    if (Clock::now() < switchSettlesAt_) return;
    WindowFrame frame;
    SDL_GetWindowBordersSize(window_, &frame.top, &frame.left, &frame.bottom, &frame.right);
    SDL_Rect inside;
    SDL_GetWindowPosition(window_, &inside.x, &inside.y);
    SDL_GetWindowSize(window_, &inside.w, &inside.h);
    if (placement_.remember(inside, frame)) placeChanged_ = true;
}

// Alt+Enter: full screen or windowed, at any moment. The game keeps its
// display: no surface is lost, no focus change reaches it, and the picture
// it last showed is drawn again at once.
void SdlHost::switchMode() {
    if (!window_) return;
    if (settings_.mode == ScreenMode::Windowed) rememberWindowPlace();
    settings_.mode =
        settings_.mode == ScreenMode::FullScreen ? ScreenMode::Windowed : ScreenMode::FullScreen;
    modeChanged_ = true;
    switchSettlesAt_ = Clock::now() + kSwitchSettling;
    confinePointer(false);  // until the window has found its new place
    reconfine_ = true;
    placeWindow();
    relayout();
    repaint();
    saveSettings();
}

void SdlHost::saveSettings() {
    if (!file_ || (!modeChanged_ && !placeChanged_)) return;
    const unsigned parts =
        (modeChanged_ ? SettingsFile::kMode : 0u) | (placeChanged_ ? SettingsFile::kPlace : 0u);
    placement_.saveInto(settings_);
    std::string whyNot;
    // A failure is told once for each reason; the next change tries again.
    if (!file_->write(settings_, parts, whyNot) && whyNot != saveFailureTold_) {
        std::fprintf(stderr, "varnholt: the settings were not saved: %s\n", whyNot.c_str());
        saveFailureTold_ = whyNot;
    }
    modeChanged_ = placeChanged_ = false;
}

}  // namespace vh::platform
