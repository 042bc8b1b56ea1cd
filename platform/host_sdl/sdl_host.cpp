// The SDL host's video: the display, the window, and the pictures shown on
// it. A frame identical to the one on the window is not drawn again, and a
// frame that changed is drawn only where it changed; either way the frame
// loop keeps to the display's refresh.
#include "sdl_host.h"

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>
#include <vector>

#include "screenshot.h"
#include "x11_window.h"

namespace vh::platform {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDefaultRefreshHz = 60;
// After a mode switch, focus losses are held back this long.
constexpr auto kSwitchSettling = std::chrono::milliseconds(750);
constexpr int kDefaultPictureWidth = 1024;
constexpr int kDefaultPictureHeight = 768;
// A resting picture waits for input at most this long before the next frame.
constexpr int kRestMilliseconds = 100;

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool isFolder(const std::string& path) {
    struct stat info;
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::vector<std::string> splitList(const std::string& list) {
    std::vector<std::string> items;
    std::stringstream stream(list);
    std::string item;
    while (std::getline(stream, item, ','))
        if (!item.empty()) items.push_back(item);
    return items;
}

std::string joinList(const std::vector<std::string>& items) {
    std::string list;
    for (const auto& item : items) list += (list.empty() ? "" : ",") + item;
    return list;
}

// The video drivers to try, and when none is left, why. Drivers that show
// nothing and never deliver input (dummy, offscreen) would leave a game
// running unseen, so they are never tried, even when named. Wayland is tried
// only where it can be reached, so that its library does not complain first.
std::vector<std::string> videoDrivers(std::string& whyNone) {
    const std::string named = environment("SDL_VIDEODRIVER");
    const bool waylandReachable = isFolder(environment("XDG_RUNTIME_DIR"));
    std::vector<std::string> wanted = splitList(named.empty() ? "x11,wayland,KMSDRM" : named);
    std::vector<std::string> drivers;
    for (const auto& driver : wanted) {
        if (driver == "dummy" || driver == "offscreen" || driver == "evdev") {
            whyNone = "the SDL video driver \"" + driver + "\" shows no picture";
            continue;
        }
        if (driver == "wayland" && !waylandReachable) {
            whyNone = "Wayland needs XDG_RUNTIME_DIR, which is not set to a folder";
            continue;
        }
        drivers.push_back(driver);
    }
    return drivers;
}

// Why no driver could start, in words a player can act on.
std::string noDisplayReason(const std::string& sdlError) {
    if (!environment("SDL_VIDEODRIVER").empty())
        return "SDL_VIDEODRIVER=" + environment("SDL_VIDEODRIVER") + ": " + sdlError;
    const std::string display = environment("DISPLAY");
    const std::string wayland = environment("WAYLAND_DISPLAY");
    if (!display.empty()) return "the X server at DISPLAY=" + display + " cannot be reached";
    if (!wayland.empty())
        return "the Wayland display " + wayland + " cannot be reached, and DISPLAY is not set";
    return "DISPLAY is not set (start the game from a desktop session)";
}

}  // namespace

SdlHost::SdlHost(const DisplaySettings& settings, std::shared_ptr<SettingsFile> file)
    : settings_(settings),
      file_(std::move(file)),
      placement_(settings),
      pacer_(settings.vsync, settings.maxFps) {}

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

bool SdlHost::hasDisplay() {
    std::string whyNot;
    return !windowFailed_ && startVideo(whyNot);
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

bool SdlHost::startVideo(std::string& whyNot) {
    if (videoReady_) return true;
    if (videoFailed_) {
        whyNot = videoError_;
        return false;
    }
    // One window: closing it is a close request, not a quit of its own.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // Leaving focus must not minimise the game; it keeps its window.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // The window's framebuffer is the X server's shared memory, not a
    // texture of a graphics library that would be loaded for it.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    std::string whyNone;
    std::vector<std::string> drivers = videoDrivers(whyNone);
    if (drivers.empty()) {
        videoError_ = whyNone;
    } else {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, joinList(drivers).c_str());
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
            videoReady_ = true;
            // The window's own X events, to hear of its destruction.
            SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
            // A closed terminal ends the game as Ctrl+C does: through SDL's
            // own SIGTERM handling, which closes the window and saves.
            struct sigaction hangUp {};
            hangUp.sa_handler = [](int) { raise(SIGTERM); };
            sigaction(SIGHUP, &hangUp, nullptr);
            return true;
        }
        videoError_ = noDisplayReason(SDL_GetError());
    }
    videoFailed_ = true;
    whyNot = videoError_;
    return false;
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
    if (bits < 15) {
        whyNot = "the display has fewer than 16 bits a pixel, which the game needs";
        return false;
    }
    const std::string driver = environment("SDL_RENDER_DRIVER");
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

SDL_DisplayMode SdlHost::desktopMode() {
    SDL_DisplayMode mode{};
    std::string whyNot;
    if (startVideo(whyNot)) SDL_GetDesktopDisplayMode(0, &mode);
    return mode;
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

void SdlHost::sleepUntilNextSlot() {
    std::this_thread::sleep_until(pacer_.nextSlot(Clock::now(), refreshHz()));
}

// Waits for the next event SDL has for us (input above all), at most a rest
// period; the event stays queued for the game.
void SdlHost::restUntilInput() {
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
    if (changed.w <= 0) {
        ++counts_.skipped;
        if (pacer_.stillFrameRests())
            restUntilInput();
        else
            sleepUntilNextSlot();
        return;
    }
    pacer_.changedFrame();
    if (!pacer_.presentsWait()) sleepUntilNextSlot();
    if (!presenter_->draw(shown_.surface(), changed)) return;
    repaintWanted_ = false;
    ++counts_.presented;
    if (pacer_.presentsWait()) pacer_.presented(Clock::now(), refreshHz());
}

}  // namespace vh::platform

namespace vh::platform {

std::unique_ptr<Host> makeSdlHost(const DisplaySettings& settings,
                                  std::shared_ptr<SettingsFile> file) {
    return std::make_unique<SdlHost>(settings, std::move(file));
}

}  // namespace vh::platform
