// What the pieces of the Linux platform layer share with each other: the host
// driver interface, the call journal with its injected results, and the links
// between the window system and DirectDraw.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

#include <win32/ddraw.h>

struct SDL_Surface;
namespace vh::test {
struct Picture;
}

namespace vh::platform {

// ---- Host drivers ------------------------------------------------------------
// A host is what stands behind the window system: SDL with a real window for a
// player, or the headless host for tests and tools. One is chosen before the
// first platform call and serves the whole process.
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
    // The game's top-level window was created or destroyed.
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
    // The icon of the open window (32-bit ARGB; the caller keeps it).
    virtual void setWindowIcon(SDL_Surface*) {}
};

Host& host();
void setHost(std::unique_ptr<Host> host);
std::unique_ptr<Host> makeSdlHost();
std::unique_ptr<Host> makeHeadlessHost();
// Picks the host for the executable: headless when VARNHOLT_HOST=headless,
// SDL otherwise.
void selectHostFromEnvironment();

// ---- Journal and injected results -------------------------------------------
// Every platform call the game makes starts with `injected`: when a test has
// asked for a chosen answer, the call returns it at once (and is journalled
// with it); otherwise the call does its work and records its result.
std::optional<int64_t> injected(const char* name, const void* object);
void record(const char* name, const void* object, int64_t result);
// The journal records only where tests look at it: the headless host turns it
// on; a player's SDL host leaves it off.
void enableJournal(bool enabled);

// Handles and pointers travel through the journal as integers (0 is NULL,
// -1 is HGDI_ERROR).
template <typename R>
R fromJournal(int64_t value) {
    if constexpr (std::is_pointer_v<R>)
        return reinterpret_cast<R>(static_cast<intptr_t>(value));
    else
        return static_cast<R>(value);
}

template <typename R>
int64_t toJournal(R value) {
    if constexpr (std::is_pointer_v<R>)
        return static_cast<int64_t>(reinterpret_cast<intptr_t>(value));
    else
        return static_cast<int64_t>(value);
}

// Journals a result and answers it, for calls that return from several places.
template <typename R>
R recorded(const char* name, const void* object, R result) {
    record(name, object, toJournal(result));
    return result;
}

// The shape of a platform call: answer an injected result if a test asked for
// one, otherwise do the work and journal what it answered.
template <typename Work>
auto journalled(const char* name, const void* object, Work&& work) -> decltype(work()) {
    using R = decltype(work());
    if (auto forced = injected(name, object)) return fromJournal<R>(*forced);
    return recorded(name, object, work());
}

// ---- Window system <-> DirectDraw -------------------------------------------
// Whether the game is the active full-screen program. Losing the foreground
// loses every surface; Restore fails until it comes back.
void setDisplayForeground(bool foreground);
bool displayForeground();
// The host's events reach DirectDraw through this when a test loses surfaces.
void loseAllSurfaces();
// The SDL surface behind a DirectDraw surface (tests, presentation).
SDL_Surface* surfacePixels(IDirectDrawSurface* surface);

// ---- Pictures for the test hooks ---------------------------------------------
// Pixels in any SDL format as a Picture of 0x00RRGGBB values; the unused top
// byte of a 32-bit format may hold anything the game wrote there.
vh::test::Picture toPicture(int width, int height, uint32_t format, const void* pixels, int pitch);

// ---- Image decoding (GDI+ uses it) -------------------------------------------
// Decodes a PNG or GIF file into a 32-bit ARGB SDL surface; null on failure.
// The path is a Windows path: backslashes, a leading ".\", and a name that
// differs only in case still finds the file.
SDL_Surface* decodeImage(const std::string& windowsPath);
std::string resolveWindowsPath(const std::string& windowsPath);

// ---- Resetting test state ----------------------------------------------------
// Each module forgets what tests told it; vh::test::resetHooks calls them all.
void resetHostHooks();  // headless handlers, queued events, frame period
void resetTimerOverrides();

}  // namespace vh::platform
