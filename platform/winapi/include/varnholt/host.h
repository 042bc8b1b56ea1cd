// The host: what stands behind the window system. SDL with a real window
// serves a player; the headless host serves tests and tools. One host is
// installed before the first platform call and serves the whole process; the
// window system, DirectDraw and the timers reach it through host().
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct SDL_Surface;

namespace vh::platform {

constexpr int64_t kNanosecondsPerMillisecond = 1000000;

// Input and window changes as the host reports them, in picture coordinates.
struct HostEvent {
    enum Kind { MouseMove, MouseRelease, KeyPress, FocusLost, FocusGained, Close };
    Kind kind;
    int x = 0;
    int y = 0;
    int button = 0;           // MouseRelease: 1 left, 2 right
    unsigned virtualKey = 0;  // KeyPress: Windows virtual-key code
};

class Host {
  public:
    virtual ~Host() = default;
    // The game's top-level window was created or destroyed. When the window
    // cannot be had, whyNot tells the player why in one line.
    virtual bool openWindow(std::string& whyNot) = 0;
    virtual void closeWindow() = 0;
    // Whether a display can be had; DirectDrawCreate fails without one.
    virtual bool hasDisplay() = 0;
    // Exclusive full screen at this mode; leaveFullScreen gives the screen back.
    virtual void enterFullScreen(int width, int height) = 0;
    virtual void leaveFullScreen() = 0;
    // Size of the screen as GetSystemMetrics reports it.
    virtual int screenWidth() = 0;
    virtual int screenHeight() = 0;
    // Input: poll without blocking; wait blocks until an event can be polled
    // (returns false when the host knows none will ever come).
    virtual bool pollEvent(HostEvent& event) = 0;
    virtual bool waitEvent() = 0;
    // Show a finished frame (32-bit X8R8G8B8 or 16-bit R5G6B5 SDL surface),
    // waiting for the display's refresh where the host has one.
    virtual void present(SDL_Surface* frame) = 0;
    // Monotonic time in nanoseconds: real for SDL, virtual for headless.
    virtual int64_t nanoseconds() = 0;

    // What became of the frames handed to present, for tests and benchmarks.
    struct PresentCounts {
        int presented = 0;  // frames drawn on the screen
        int skipped = 0;    // frames identical to the one on the screen, not drawn again
        int repaints = 0;   // the last frame drawn again (an expose, a resize, a restore)
    };
    virtual PresentCounts presentCounts() const { return {}; }
    // The icon of the open window (32-bit ARGB; the caller keeps it).
    virtual void setWindowIcon(SDL_Surface*) {}
};

// The installed host. Whoever starts the game installs one before the first
// platform call: the launcher the SDL host, tests and tools the headless one.
Host& host();
void setHost(std::unique_ptr<Host> host);

}  // namespace vh::platform
