// Everything the Windows layer keeps for the whole process, in one object:
// the host, the journal, the windows and their messages, the forced timers
// and the live DirectDraw, GDI and GDI+ objects. Each API reaches its part
// through winapiState().
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include <win32/windows.h>

#include "varnholt/host.h"
#include "varnholt/journal.h"

struct SDL_Surface;

namespace vh::platform {

namespace dd {
class SurfaceObject;
class DirectDrawObject;

// A display mode: the desktop's, or one the game asks for.
struct DisplayMode {
    int width;
    int height;
    int bitsPerPixel;
};
}  // namespace dd
namespace gdi {
struct DeviceContext;
struct Bitmap;
}  // namespace gdi
namespace gdiplus {
struct Image;
}

// ---- The journal ---------------------------------------------------------------

struct Injection {
    std::string name;
    int64_t result;
    int remaining;  // negative: every call
    const void* object;
    int skip;        // matching calls still let through before the first answered
    bool afterWork;  // the call does its work; only its answer is replaced
};

struct JournalState {
    bool on = false;
    uint64_t callsStarted = 0;
    std::vector<journal::Entry> calls;
    std::vector<Injection> injections;
};

// ---- Windows and their messages --------------------------------------------

// Window handles shaped as Windows' own: small numbers, a multiple of four,
// never 0, and never mistaken for a pointer or an atom in a journal.
constexpr uintptr_t kFirstWindowHandle = 0x10010;

struct WindowClass {
    std::string name;  // kept lower-case: class names ignore case
    ATOM atom;
    WNDPROC procedure;
    HICON icon;
};

enum class WindowState { Alive, Destroying, Gone };

struct Window {
    WNDPROC procedure;
    DWORD style;
    WindowState state;
    bool visible;
};

struct MessageQueue {
    std::deque<MSG> posted;
    bool quitPending = false;
    WPARAM quitCode = 0;
    POINT cursor{0, 0};
    // Counts everything that arrives, so a wait can tell whether anything did.
    uint64_t arrivals = 0;
};

struct User32State {
    std::vector<WindowClass> classes;
    // Windows are never erased: a handle stays recognisably "gone" after its
    // window is destroyed, so late calls on it are refused rather than
    // misrouted.
    std::map<uintptr_t, Window> windows;
    uintptr_t nextHandle = kFirstWindowHandle;
    // The window the host's window was opened for.
    HWND hostOwner = nullptr;
    MessageQueue messages;
    // The program's icon, decoded on first use and kept until the process
    // ends, like the icon resource of a Windows program.
    SDL_Surface* iconPixels = nullptr;
};

// ---- Timers ----------------------------------------------------------------------

// Answers the timer calls give instead of reading the host's clock, each in
// force while set.
struct ForcedTimers {
    std::optional<int64_t> frequency;
    std::optional<int64_t> counter;
    std::optional<uint32_t> milliseconds;
};

// ---- DirectDraw, GDI and GDI+ ----------------------------------------------

struct DirectDrawState {
    // Whether the game holds the display; losing it loses every surface.
    bool foreground = true;
    // The mode SetDisplayMode set, for every DirectDraw object; none while
    // the desktop's own mode is shown.
    std::optional<dd::DisplayMode> mode;
    // The DirectDraw object that holds the display in exclusive mode, if any:
    // while one does, no other may change the display mode.
    const dd::DirectDrawObject* exclusiveOwner = nullptr;
    std::vector<dd::SurfaceObject*> surfaces;
    int liveDirectDrawObjects = 0;
    int liveSurfaces = 0;
    int liveClippers = 0;
};

struct GdiState {
    std::unordered_set<gdi::DeviceContext*> contexts;
    std::unordered_set<gdi::Bitmap*> bitmaps;
};

// GdiplusStartup's tokens: any value but 0 would do; these start from one a
// reader can tell apart from a pointer or a count in a journal ("mp").
constexpr ULONG_PTR kFirstGdiplusToken = 0x6D70;

struct GdiplusState {
    std::unordered_set<gdiplus::Image*> images;
    std::unordered_set<ULONG_PTR> tokens;
    ULONG_PTR nextToken = kFirstGdiplusToken;
    // The pictures that could not be read and were named to the player, and
    // whether the player was told there were more.
    std::set<std::string> unreadableNamed;
    bool toldOfMoreUnreadable = false;
};

// ---- The whole ---------------------------------------------------------------------

struct WinapiState {
    std::unique_ptr<Host> host;
    JournalState journal;
    User32State user32;
    ForcedTimers timers;
    DirectDrawState ddraw;
    GdiState gdi;
    GdiplusState gdiplus;
};

WinapiState& winapiState();

// Forgets what a test case leaves behind: the journal and the injected
// answers, forced timers, queued messages, the pictures already complained
// of. The host and every object still alive stay.
void resetWinapiState();

}  // namespace vh::platform
