// The SDL host: the player's host. One full-screen window on the desktop, the
// game's picture scaled into it with its aspect kept, the pointer and keys
// read back as the game expects them.
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include <win32/windows.h>

#include "varnholt/host.h"

namespace vh::platform {
namespace {

constexpr int kDefaultRefreshHz = 60;
constexpr int kDefaultLogicalWidth = 1024;
constexpr int kDefaultLogicalHeight = 768;

// Windows virtual-key codes for the keys the game knows; 0 for the rest.
unsigned virtualKeyOf(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return unsigned('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9) return unsigned('0' + (key - SDLK_0));
    if (key >= SDLK_F1 && key <= SDLK_F12) return unsigned(VK_F1 + (key - SDLK_F1));
    switch (key) {
        case SDLK_ESCAPE:
            return VK_ESCAPE;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return VK_RETURN;
        case SDLK_SPACE:
            return VK_SPACE;
        case SDLK_BACKSPACE:
            return VK_BACK;
        case SDLK_TAB:
            return VK_TAB;
        case SDLK_LEFT:
            return VK_LEFT;
        case SDLK_RIGHT:
            return VK_RIGHT;
        case SDLK_UP:
            return VK_UP;
        case SDLK_DOWN:
            return VK_DOWN;
        default:
            return 0;
    }
}

class SdlHost : public Host {
  public:
    ~SdlHost() override {
        closeWindow();
        if (videoReady_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    bool openWindow(std::string& whyNot) override {
        if (window_) return true;
        if (!startVideo(whyNot)) {
            whyNot = "cannot open a display: " + whyNot;
            return false;
        }
        if (!createWindow(whyNot)) {
            whyNot = "cannot open a window: " + whyNot;
            return false;
        }
        return true;
    }

    void closeWindow() override {
        if (texture_) SDL_DestroyTexture(texture_);
        if (renderer_) SDL_DestroyRenderer(renderer_);
        if (window_) SDL_DestroyWindow(window_);
        texture_ = nullptr;
        renderer_ = nullptr;
        window_ = nullptr;
        focused_ = false;
    }

    bool hasDisplay() override {
        std::string whyNot;
        return startVideo(whyNot);
    }

    void enterFullScreen(int width, int height) override {
        logicalWidth_ = width;
        logicalHeight_ = height;
        if (!window_) return;
        SDL_RenderSetLogicalSize(renderer_, width, height);
        SDL_ShowWindow(window_);
        SDL_RaiseWindow(window_);
        confinePointer(focused_);
    }

    void leaveFullScreen() override {
        logicalWidth_ = logicalHeight_ = 0;
        if (!window_) return;
        confinePointer(false);
        SDL_HideWindow(window_);
    }

    int screenWidth() override { return logicalWidth_ ? logicalWidth_ : desktopMode().w; }
    int screenHeight() override { return logicalHeight_ ? logicalHeight_ : desktopMode().h; }

    bool pollEvent(HostEvent& event) override {
        if (!videoReady_) return false;
        SDL_Event sdl;
        while (SDL_PollEvent(&sdl)) {
            if (translate(sdl, event)) return true;
        }
        return false;
    }

    bool waitEvent() override {
        // Without video there is no event source; the window system ends the
        // wait instead of blocking for ever.
        return videoReady_ && SDL_WaitEvent(nullptr) == 1;
    }

    void present(SDL_Surface* frame) override {
        if (!renderer_ || !frame || !prepareTexture(frame)) return;
        bool locked = SDL_MUSTLOCK(frame) && SDL_LockSurface(frame) == 0;
        SDL_UpdateTexture(texture_, nullptr, frame->pixels, frame->pitch);
        if (locked) SDL_UnlockSurface(frame);
        SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
        SDL_RenderClear(renderer_);
        SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
        if (!vsync_) waitForRefresh();
        SDL_RenderPresent(renderer_);
    }

    void setWindowIcon(SDL_Surface* pixels) override {
        if (window_) SDL_SetWindowIcon(window_, pixels);
    }

    int64_t nanoseconds() override {
        auto since = std::chrono::steady_clock::now().time_since_epoch();
        return std::chrono::duration_cast<std::chrono::nanoseconds>(since).count();
    }

  private:
    bool startVideo(std::string& whyNot) {
        if (videoReady_) return true;
        if (videoFailed_) {
            whyNot = videoError_;
            return false;
        }
        // One window: closing it is a close request, not a quit of its own.
        SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
        // Leaving focus must not minimise the game; it keeps its window.
        SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
        chooseVideoDrivers();
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            videoFailed_ = true;
            videoError_ = SDL_GetError();
            whyNot = videoError_;
            return false;
        }
        videoReady_ = true;
        return true;
    }

    // With no real display SDL would fall back to drivers that show nothing
    // and never deliver input: a game that hangs unseen. Unless the player
    // names a driver, only those that can show a picture are tried; Wayland
    // only where it can be reached, so its library does not complain first.
    static void chooseVideoDrivers() {
        if (SDL_getenv("SDL_VIDEODRIVER")) return;
        bool wayland = SDL_getenv("XDG_RUNTIME_DIR") != nullptr;
        SDL_SetHint(SDL_HINT_VIDEODRIVER, wayland ? "x11,wayland,KMSDRM" : "x11,KMSDRM");
    }

    bool createWindow(std::string& whyNot) {
        // A borderless window over the whole desktop first, then the full-screen
        // request: without a window manager (a bare X server) the request alone
        // leaves a small window that SDL believes covers the screen.
        SDL_DisplayMode desktop = desktopMode();
        int width = desktop.w > 0 ? desktop.w : kDefaultLogicalWidth;
        int height = desktop.h > 0 ? desktop.h : kDefaultLogicalHeight;
        window_ = SDL_CreateWindow("Varnholt", 0, 0, width, height,
                                   SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN);
        if (!window_) {
            whyNot = SDL_GetError();
            return false;
        }
        SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
        SDL_ShowWindow(window_);
        renderer_ =
            SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
        if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
        if (!renderer_) {
            whyNot = SDL_GetError();
            closeWindow();
            return false;
        }
        SDL_RendererInfo info{};
        vsync_ = SDL_GetRendererInfo(renderer_, &info) == 0 &&
                 (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
        SDL_RenderSetLogicalSize(renderer_, logicalWidth_ ? logicalWidth_ : kDefaultLogicalWidth,
                                 logicalHeight_ ? logicalHeight_ : kDefaultLogicalHeight);
        SDL_ShowCursor(SDL_ENABLE);
        nextRefresh_ = std::chrono::steady_clock::now();
        return true;
    }

    SDL_DisplayMode desktopMode() {
        SDL_DisplayMode mode{};
        std::string whyNot;
        if (startVideo(whyNot)) SDL_GetDesktopDisplayMode(0, &mode);
        return mode;
    }

    // The texture follows the frame's size and format (X8R8G8B8 or R5G6B5).
    bool prepareTexture(SDL_Surface* frame) {
        if (texture_ && textureFormat_ == frame->format->format && textureWidth_ == frame->w &&
            textureHeight_ == frame->h)
            return true;
        if (texture_) SDL_DestroyTexture(texture_);
        texture_ = SDL_CreateTexture(renderer_, frame->format->format, SDL_TEXTUREACCESS_STREAMING,
                                     frame->w, frame->h);
        textureFormat_ = frame->format->format;
        textureWidth_ = frame->w;
        textureHeight_ = frame->h;
        return texture_ != nullptr;
    }

    // Without vsync the host keeps to the display's refresh by sleeping until
    // the next one is due; a frame that comes late starts the count afresh.
    void waitForRefresh() {
        SDL_DisplayMode mode{};
        int hz = kDefaultRefreshHz;
        if (SDL_GetWindowDisplayMode(window_, &mode) == 0 && mode.refresh_rate > 0)
            hz = mode.refresh_rate;
        auto period = std::chrono::nanoseconds(1000000000LL / hz);
        auto now = std::chrono::steady_clock::now();
        nextRefresh_ += period;
        if (nextRefresh_ < now) nextRefresh_ = now;
        std::this_thread::sleep_until(nextRefresh_);
    }

    // While the game is the active program the pointer cannot leave its
    // picture; it is released when the player switches away.
    void confinePointer(bool confine) {
        if (window_) SDL_SetWindowGrab(window_, confine ? SDL_TRUE : SDL_FALSE);
    }

    // The renderer has already mapped pointer positions into the game's
    // picture; in the black bars they fall outside, so they are clamped.
    void clampPointer(int& x, int& y) const {
        int width = logicalWidth_ ? logicalWidth_ : kDefaultLogicalWidth;
        int height = logicalHeight_ ? logicalHeight_ : kDefaultLogicalHeight;
        x = std::clamp(x, 0, width - 1);
        y = std::clamp(y, 0, height - 1);
    }

    bool focusChange(bool focused, HostEvent& event) {
        if (focused == focused_) return false;
        focused_ = focused;
        confinePointer(focused);
        event = HostEvent{focused ? HostEvent::FocusGained : HostEvent::FocusLost};
        return true;
    }

    bool translateWindowEvent(const SDL_WindowEvent& window, HostEvent& event) {
        switch (window.event) {
            case SDL_WINDOWEVENT_FOCUS_LOST:
            case SDL_WINDOWEVENT_MINIMIZED:
                return focusChange(false, event);
            case SDL_WINDOWEVENT_FOCUS_GAINED:
            case SDL_WINDOWEVENT_RESTORED:
                return focusChange(true, event);
            case SDL_WINDOWEVENT_CLOSE:
                event = HostEvent{HostEvent::Close};
                return true;
            default:
                return false;
        }
    }

    bool translate(const SDL_Event& sdl, HostEvent& event) {
        switch (sdl.type) {
            case SDL_MOUSEMOTION:
                event = HostEvent{HostEvent::MouseMove, sdl.motion.x, sdl.motion.y};
                clampPointer(event.x, event.y);
                return true;
            case SDL_MOUSEBUTTONUP: {
                int button = sdl.button.button == SDL_BUTTON_LEFT    ? 1
                             : sdl.button.button == SDL_BUTTON_RIGHT ? 2
                                                                     : 0;
                if (!button) return false;
                event = HostEvent{HostEvent::MouseRelease, sdl.button.x, sdl.button.y, button};
                clampPointer(event.x, event.y);
                return true;
            }
            case SDL_KEYDOWN: {
                unsigned key = virtualKeyOf(sdl.key.keysym.sym);
                if (!key) return false;
                event = HostEvent{HostEvent::KeyPress};
                event.virtualKey = key;
                return true;
            }
            case SDL_WINDOWEVENT:
                return translateWindowEvent(sdl.window, event);
            case SDL_QUIT:  // also what Ctrl+C in the terminal becomes
                event = HostEvent{HostEvent::Close};
                return true;
            default:
                return false;
        }
    }

    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    Uint32 textureFormat_ = 0;
    int textureWidth_ = 0;
    int textureHeight_ = 0;
    bool vsync_ = false;
    bool videoReady_ = false;
    bool videoFailed_ = false;
    std::string videoError_;
    bool focused_ = false;
    int logicalWidth_ = 0;
    int logicalHeight_ = 0;
    std::chrono::steady_clock::time_point nextRefresh_;
};

}  // namespace

std::unique_ptr<Host> makeSdlHost() {
    return std::make_unique<SdlHost>();
}

}  // namespace vh::platform
