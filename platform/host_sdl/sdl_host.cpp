// The SDL host: the window's life, and the pictures shown on it. A frame
// identical to the one on the window is not drawn again, and a frame that
// changed is drawn at once, only where it changed; either way the frame loop
// then waits for the display's next refresh (frame_pacer.cpp) before the
// game reads its input again.
#include "sdl_host.h"

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "screenshot.h"
#include "x11_window.h"

namespace vh::platform {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDefaultRefreshHz = 60;
constexpr int kFewestBitsPerPixel = 16;
// A resting picture waits for input at most this long before the next frame.
constexpr int kRestMilliseconds = 100;

}  // namespace

SdlHost::SdlHost(const DisplaySettings& settings, std::shared_ptr<SettingsFile> file)
    : settings_(settings),
      file_(std::move(file)),
      placement_(settings),
      pacer_(settings.vsync, settings.maxFps) {
    taken_.reserve(kMostTakenEvents);
}

SdlHost::~SdlHost() {
    closeWindow();
    if (videoReady_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool SdlHost::openWindow(std::string& whyNot) {
    if (window_) return true;
    if (!startVideo(whyNot)) {
        whyNot = "cannot open a display: " + whyNot;
        return false;
    }
    if (!createWindow(whyNot)) {
        // A host that cannot show the game has no display for DirectDraw.
        windowFailed_ = true;
        whyNot = "cannot open a window: " + whyNot;
        return false;
    }
    return true;
}

void SdlHost::closeWindow() {
    if (window_ && settings_.mode == ScreenMode::Windowed) rememberWindowPlace();
    saveSettings();
    presenter_.reset();
    // SDL hides a window before destroying it and waits for the X server to
    // unmap it, which a window another program destroyed may never be: that
    // one is left to the end of the process.
    if (window_ && !windowDestroyed()) SDL_DestroyWindow(window_);
    window_ = nullptr;
    focused_ = wantFocus_ = false;
    held_.reset();
    shown_.forget();
}

void SdlHost::enterFullScreen(int width, int height) {
    logicalWidth_ = width;
    logicalHeight_ = height;
    if (!window_) return;
    relayout();
    SDL_ShowWindow(window_);
    SDL_RaiseWindow(window_);
    confinePointer(focused_);
}

void SdlHost::leaveFullScreen() {
    logicalWidth_ = logicalHeight_ = 0;
    // Hiding a window waits for the X server to unmap it, which a window
    // destroyed from outside never is.
    if (!window_ || windowDestroyed()) return;
    confinePointer(false);
    SDL_HideWindow(window_);
}

int SdlHost::screenWidth() {
    return logicalWidth_ ? logicalWidth_ : desktopMode().w;
}

int SdlHost::screenHeight() {
    return logicalHeight_ ? logicalHeight_ : desktopMode().h;
}

void SdlHost::setWindowIcon(SDL_Surface* pixels) {
    if (window_) SDL_SetWindowIcon(window_, pixels);
}

int64_t SdlHost::nanoseconds() {
    auto since = Clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(since).count();
}

int SdlHost::pictureWidth() const {
    return logicalWidth_ ? logicalWidth_ : kDefaultPictureWidth;
}

int SdlHost::pictureHeight() const {
    return logicalHeight_ ? logicalHeight_ : kDefaultPictureHeight;
}

bool SdlHost::createWindow(std::string& whyNot) {
    window_ = SDL_CreateWindow("Varnholt", 0, 0, kDefaultPictureWidth, kDefaultPictureHeight,
                               SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN);
    if (!window_) {
        whyNot = SDL_GetError();
        return false;
    }
    guardWindowErrors(window_);
    SDL_SetWindowMinimumSize(window_, WindowPlacement::kSmallestWidth,
                             WindowPlacement::kSmallestHeight);
    placeWindow();
    SDL_ShowWindow(window_);
    if (!choosePresenter(whyNot)) {
        closeWindow();
        return false;
    }
    SDL_ShowCursor(SDL_ENABLE);
    relayout();
    return true;
}

void SdlHost::takeScreenshot() {
    std::string path, whyNot;
    if (saveScreenshot(shown_.surface(), picturesFolder(), path, whyNot))
        std::fprintf(stderr, "varnholt: screenshot saved as %s\n", path.c_str());
    else
        std::fprintf(stderr, "varnholt: no screenshot: %s\n", whyNot.c_str());
}

// The window's own framebuffer costs least where the graphics library draws
// in software, and little anywhere; a player who names a render driver gets
// that one.
bool SdlHost::choosePresenter(std::string& whyNot) {
    // An 8-bit (palette) display has no format SDL can draw the picture in.
    const int bits = SDL_BITSPERPIXEL(SDL_GetWindowPixelFormat(window_));
    if (bits < kFewestBitsPerPixel) {
        whyNot = "the display has " + std::to_string(bits) + " bits a pixel; the game needs " +
                 std::to_string(kFewestBitsPerPixel) + " bits or more";
        return false;
    }
    const char* named = std::getenv("SDL_RENDER_DRIVER");
    const std::string driver = named ? named : "";
    if (driver.empty()) {
        presenter_ = makeFramebufferPresenter(window_, whyNot);
        if (presenter_) {
            pacer_.start(Clock::now(), false);
            return true;
        }
    }
    std::string rendererWhyNot;
    presenter_ = makeRendererPresenter(window_, driver, settings_.vsync, rendererWhyNot);
    if (presenter_) {
        pacer_.start(Clock::now(), presenter_->waitsForRefresh());
        return true;
    }
    whyNot = driver.empty() ? whyNot + "; " + rendererWhyNot : rendererWhyNot;
    return false;
}

void SdlHost::relayout() {
    if (!window_ || !presenter_) return;
    int width = 0, height = 0;
    SDL_GetWindowSize(window_, &width, &height);
    layout_ = PictureLayout::fit(pictureWidth(), pictureHeight(), width, height, settings_.scaling);
    presenter_->relayout(layout_, settings_.filter);
    repaintWanted_ = true;
    if (focused_ && !reconfine_) confinePointer(true);
}

// Draws the kept picture again, whole: the window lost what it showed, or
// shows it at another size.
void SdlHost::repaint() {
    repaintWanted_ = true;
    SDL_Surface* picture = shown_.surface();
    if (!window_ || !presenter_ || !picture) return;
    followWindowSize();
    if (presenter_->draw(picture, shown_.whole())) {
        repaintWanted_ = false;
        ++counts_.repaints;
    }
}

// The display's refresh rate, or the usual 60 Hz where it says none.
int SdlHost::refreshHz() {
    SDL_DisplayMode mode{};
    if (window_ && SDL_GetWindowDisplayMode(window_, &mode) == 0 && mode.refresh_rate > 0)
        return mode.refresh_rate;
    return kDefaultRefreshHz;
}

// Waits for what the pacer says, once the frame is on the screen: the wait
// delays the reading of input, never a finished frame. A click or a key ends
// a wait for the next slot, so that its answer is drawn at once.
void SdlHost::waitAfterFrame(bool shown) {
    const FramePacer::Wait wait = pacer_.afterFrame(shown, Clock::now(), refreshHz());
    if (wait.kind == FramePacer::Wait::None) return;
    if (wait.kind == FramePacer::Wait::Slot && !waitForInputUntil(wait.until)) return;
    // A rest waits for the next event SDL has for us (input above all), at
    // most a rest period; the event stays queued for the game.
    if (wait.kind == FramePacer::Wait::Rest && !hasTakenEvents())
        SDL_WaitEventTimeout(nullptr, kRestMilliseconds);
    pacer_.rested(Clock::now());
}

// A window resized while the game was busy (maximised, restored) is laid
// out again before anything is drawn into it: its events may still be
// queued behind others that draw.
void SdlHost::followWindowSize() {
    int width = 0, height = 0;
    SDL_GetWindowSize(window_, &width, &height);
    if (width != layout_.windowWidth || height != layout_.windowHeight) relayout();
}

void SdlHost::present(SDL_Surface* frame) {
    if (!window_ || !presenter_ || !frame) return;
    followWindowSize();
    SDL_Rect changed{0, 0, 0, 0};
    if (!shown_.update(frame, changed)) return;
    if (repaintWanted_) changed = shown_.whole();
    bool shown = false;
    if (changed.w <= 0) {
        ++counts_.skipped;
    } else if (presenter_->draw(shown_.surface(), changed)) {
        shown = true;
        repaintWanted_ = false;
        ++counts_.presented;
    }
    waitAfterFrame(shown);
}

}  // namespace vh::platform

namespace vh::platform {

std::unique_ptr<Host> makeSdlHost(const DisplaySettings& settings,
                                  std::shared_ptr<SettingsFile> file) {
    return std::make_unique<SdlHost>(settings, std::move(file));
}

}  // namespace vh::platform
