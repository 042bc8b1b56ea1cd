// The SDL host's video: the display, the window, and the pictures shown on
// it. A frame identical to the one on the window is not drawn again, and a
// frame that changed is drawn only where it changed; either way the frame
// loop keeps to the display's refresh.
#include "host_sdl.h"

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
// A window no smaller than a quarter of the picture: smaller is unplayable.
constexpr int kSmallestWindowWidth = kDefaultPictureWidth / 4;
constexpr int kSmallestWindowHeight = kDefaultPictureHeight / 4;
// Room kept for the window manager's frame before it has drawn one.
constexpr int kTitleBarRoom = 40;
constexpr int kEdgeRoom = 8;
// After this many identical frames in a row with no input the picture is at
// rest: the host then waits for input, or at most kRestMilliseconds, before
// taking the next frame. Nothing but input or scrolling changes the picture,
// and scrolling changes every frame, so a resting picture stays at rest until
// the player does something, which ends the rest at once.
constexpr int kFramesBeforeRest = 30;
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
    : settings_(settings), file_(std::move(file)) {}

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
    SDL_SetWindowMinimumSize(window_, kSmallestWindowWidth, kSmallestWindowHeight);
    placeWindow();
    SDL_ShowWindow(window_);
    if (!choosePresenter(whyNot)) {
        closeWindow();
        return false;
    }
    SDL_ShowCursor(SDL_ENABLE);
    relayout();
    slot_ = pacingWindowStart_ = Clock::now();
    pacingWindowPresents_ = 0;
    return true;
}

// Where the window goes in windowed mode, as the corner of its frame and the
// size of what is inside: where the player left it, if that place is still
// on one of the displays; else the largest whole multiple of the picture
// that fits the desktop's work area with its frame, centred in it, or where
// not even 1x fits, the largest size that fits with the aspect kept, so
// that the title bar stays on the screen.
SDL_Rect SdlHost::windowedPlace() {
    const DisplaySettings& s = settings_;
    if (s.hasWindow && s.windowWidth >= SettingsFile::kSmallestWindowSide &&
        s.windowHeight >= SettingsFile::kSmallestWindowSide) {
        const SDL_Point centre{s.windowX + s.windowWidth / 2, s.windowY + s.windowHeight / 2};
        for (int display = 0; display < SDL_GetNumVideoDisplays(); ++display) {
            SDL_Rect bounds;
            if (SDL_GetDisplayBounds(display, &bounds) == 0 && SDL_PointInRect(&centre, &bounds))
                return SDL_Rect{s.windowX, s.windowY, s.windowWidth, s.windowHeight};
        }
    }
    SDL_Rect work{0, 0, kDefaultPictureWidth, kDefaultPictureHeight};
    SDL_GetDisplayUsableBounds(0, &work);
    // The frame as the window manager drew it last, or room for a title bar
    // and edges before it has drawn one.
    int top = 0, left = 0, bottom = 0, right = 0;
    if (SDL_GetWindowBordersSize(window_, &top, &left, &bottom, &right) != 0 || top <= 0) {
        top = kTitleBarRoom;
        left = right = bottom = kEdgeRoom;
    }
    const int roomWidth = std::max(work.w - left - right, kSmallestWindowWidth);
    const int roomHeight = std::max(work.h - top - bottom, kSmallestWindowHeight);
    const int factor = std::min(roomWidth / pictureWidth(), roomHeight / pictureHeight());
    const PictureLayout fitted =
        PictureLayout::fit(pictureWidth(), pictureHeight(), roomWidth, roomHeight, Scaling::Aspect);
    const int width = factor >= 1 ? pictureWidth() * factor : fitted.width;
    const int height = factor >= 1 ? pictureHeight() * factor : fitted.height;
    return SDL_Rect{work.x + (work.w - width - left - right) / 2,
                    work.y + (work.h - height - top - bottom) / 2, width, height};
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
        const SDL_Rect place = windowedPlace();
        // The place asked for is the place until the window manager has
        // carried it out; what it was asked is not a change of the player's.
        settings_.hasWindow = true;
        settings_.windowX = place.x;
        settings_.windowY = place.y;
        settings_.windowWidth = place.w;
        settings_.windowHeight = place.h;
        setDesktopFullScreen(window_, false);
        SDL_SetWindowBordered(window_, SDL_TRUE);
        SDL_SetWindowSize(window_, place.w, place.h);
        SDL_SetWindowPosition(window_, place.x, place.y);
    }
}

// The place is kept as the window manager takes it back: the corner of the
// window's frame (SDL reports the picture's corner inside the frame) and the
// size of what is inside.
// A window still settling into a place just asked for (after Alt+Enter) has
// not taken it yet: its place is the one asked for, not what it reports.
void SdlHost::rememberWindowPlace() {
    if (Clock::now() < switchSettlesAt_) return;
    DisplaySettings& s = settings_;
    const int x = s.windowX, y = s.windowY, w = s.windowWidth, h = s.windowHeight;
    int top = 0, left = 0;
    SDL_GetWindowBordersSize(window_, &top, &left, nullptr, nullptr);
    SDL_GetWindowPosition(window_, &s.windowX, &s.windowY);
    s.windowX -= left;
    s.windowY -= top;
    SDL_GetWindowSize(window_, &s.windowWidth, &s.windowHeight);
    if (!s.hasWindow || x != s.windowX || y != s.windowY || w != s.windowWidth ||
        h != s.windowHeight)
        placeChanged_ = true;
    s.hasWindow = true;
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
        if (presenter_) return true;
    }
    std::string rendererWhyNot;
    presenter_ = makeRendererPresenter(window_, driver, settings_.vsync, rendererWhyNot);
    if (presenter_) {
        vsyncPaces_ = presenter_->waitsForRefresh();
        pacingWindowStart_ = Clock::now();
        pacingWindowPresents_ = 0;
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

// The time from one frame to the next: the display's refresh with vsync on,
// no wait with it off, and never less than the cap's frame time.
std::chrono::nanoseconds SdlHost::framePeriod() {
    std::chrono::nanoseconds period{0};
    if (settings_.vsync) {
        SDL_DisplayMode mode{};
        int hz = kDefaultRefreshHz;
        if (window_ && SDL_GetWindowDisplayMode(window_, &mode) == 0 && mode.refresh_rate > 0)
            hz = mode.refresh_rate;
        period = std::chrono::nanoseconds(1000000000LL / hz);
    }
    if (settings_.maxFps > 0)
        period = std::max(period, std::chrono::nanoseconds(1000000000LL / settings_.maxFps));
    return period;
}

// Sleeps until the refresh that follows the last one kept to; a frame that
// comes late starts the count afresh.
void SdlHost::waitForRefreshSlot() {
    auto now = Clock::now();
    slot_ += framePeriod();
    if (slot_ < now)
        slot_ = now;
    else
        std::this_thread::sleep_until(slot_);
}

// Waits for the next event SDL has for us (input above all), at most a rest
// period; the event stays queued for the game.
void SdlHost::restUntilInput() {
    SDL_WaitEventTimeout(nullptr, kRestMilliseconds);
    slot_ = Clock::now();
}

// After a present that was to wait for the refresh. A renderer that waits
// shows at most one frame a refresh; when kPacingWindow presents in a row
// took less than three quarters of as many refreshes, its vsync does not
// wait (SDL's software renderer claims vsync and does not; nor may a virtual
// X server's OpenGL) and the host sleeps instead from then on. Judged over a
// count of presents, not a run of quick ones in a row, so that the odd slow
// frame among quick ones cannot hide it.
void SdlHost::notePresentTime() {
    const auto now = Clock::now();
    if (++pacingWindowPresents_ == kPacingWindow) {
        if ((now - pacingWindowStart_) * 4 < framePeriod() * (kPacingWindow * 3))
            vsyncPaces_ = false;
        pacingWindowStart_ = now;
        pacingWindowPresents_ = 0;
    }
    slot_ = now;
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
        if (++stillFrames_ > kFramesBeforeRest)
            restUntilInput();
        else
            waitForRefreshSlot();
        return;
    }
    stillFrames_ = 0;
    if (!vsyncPaces_) waitForRefreshSlot();
    if (!presenter_->draw(shown_.surface(), changed)) return;
    repaintWanted_ = false;
    ++counts_.presented;
    if (vsyncPaces_) notePresentTime();
}

}  // namespace vh::platform

namespace vh::platform {

std::unique_ptr<Host> makeSdlHost() {
    return std::make_unique<SdlHost>(DisplaySettings{}, nullptr);
}

std::unique_ptr<Host> makeSdlHost(const DisplaySettings& settings,
                                  std::shared_ptr<SettingsFile> file) {
    return std::make_unique<SdlHost>(settings, std::move(file));
}

}  // namespace vh::platform
