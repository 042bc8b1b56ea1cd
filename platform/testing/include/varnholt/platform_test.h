// Test hooks of the Linux platform layer. Tests and tools use them to run the
// game headless, script its input and time, make platform calls fail, and see
// what the game did. The game itself never includes this header.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <win32/ddraw.h>

struct SDL_Surface;

namespace vh::test {

// ---- Hosts -------------------------------------------------------------------

// Serve the platform from the headless host: no window on any screen, virtual
// time, scripted input. Call before the first platform call.
void useHeadlessHost();
// Whether the headless host pretends to have a display (default true). Without
// one, DirectDrawCreate fails as it does on a machine with no display.
void setHeadlessDisplayAvailable(bool available);

// ---- Scripted input (headless host) ------------------------------------------
// Each of these queues a host event; the platform turns it into window
// messages the next time the game looks at its queue, exactly as it does with
// the events of a real host.
void mouseMove(int x, int y);
void mouseRelease(int button, int x, int y);  // 1 = left, 2 = right
void keyPress(unsigned virtualKey);
void focusLost();     // the game stops being the active full-screen program
void focusGained();   // and comes back
void closeRequest();  // the window's close button (or Ctrl+C in the terminal)
// The icons the host's window was given, in order.
std::vector<SDL_Surface*> windowIcons();

// Called after every presented frame with the number of frames presented so
// far (1 for the first). Scenarios drive the game from here.
void onPresent(std::function<void(int frame)> handler);
// Called when the game waits for input (WaitMessage) and nothing is queued.
// If no handler is set, or it queues nothing, the headless host ends the game
// with WM_QUIT and kNoInputQuitCode as its wParam, so that a test can never hang.
void onIdle(std::function<void()> handler);
extern const int kNoInputQuitCode;

// ---- Time --------------------------------------------------------------------
// The headless host keeps virtual time: it starts at 0 and moves only when a
// test advances it, or by framePeriod at each presented frame.
void advanceTime(double milliseconds);
void setFramePeriod(double milliseconds);  // default 16.0 ms a frame; 0 stops it
// Exact timer values, for clock tests. Each stays in force until cleared.
void setPerformanceFrequency(int64_t countsPerSecond);
void setPerformanceCounter(int64_t count);
void setTimeGetTime(uint32_t milliseconds);
void clearTimerOverrides();

// ---- Failures and chosen answers ---------------------------------------------
// The next `times` calls of the platform call `name` (negative: every call)
// answer `result` instead of doing their work; with `object`, only the calls
// made on that object (a surface, a device context, a bitmap) count.
// Names are the Win32 names, methods as "Interface::Method":
// "DirectDrawCreate", "IDirectDraw::SetDisplayMode", "IDirectDrawSurface::Lock",
// "GetObjectA", "GdipAlloc", ... Handle-returning calls answer the result as a
// handle (0 is NULL, -1 is HGDI_ERROR).
void injectResult(const std::string& name, int64_t result, int times = 1,
                  const void* object = nullptr);
// One call of `name` answers `result`: its `occurrence`-th call from now on,
// counting from 0; the calls before it are let through untouched. With
// `afterWork` that call still does its work and only its answer is replaced,
// which is how a call that gives something back (Unlock, ReleaseDC, DeleteDC,
// ...) fails without keeping what it was to give back.
void injectResultAt(const std::string& name, int occurrence, int64_t result,
                    bool afterWork = false);
// Injections that have not answered yet.
int pendingInjections();
void clearInjections();

// ---- The journal -------------------------------------------------------------
// A call is journalled when it returns, after the calls it made itself (a
// window's destruction after the messages its procedure handled, say);
// `started` orders the calls as they were made, as injectResultAt counts them.
struct Call {
    std::string name;    // as for injectResult
    const void* object;  // the interface, device context, bitmap or window it was made on
    int64_t result;      // what the call answered (0 for calls that answer nothing)
    uint64_t started;    // its place among the calls in the order they started
};
std::vector<Call> journal();
void clearJournal();
// The names alone, in order, of the journal's calls whose name is in `names`
// (all of them when `names` is empty).
std::vector<std::string> journalNames(const std::vector<std::string>& names = {});
// The headless host keeps the journal; measurements turn it off.
void setJournalEnabled(bool enabled);

// ---- Pixels ------------------------------------------------------------------
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, row by row
    uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};
// The last frame that reached the host's screen, and how many have.
Picture presentedFrame();
int presentedFrameCount();
// Pixels of `expected` that `picture` does not show when expected's top-left
// corner stands at (x, y), over its first width x height pixels. Magenta
// pixels of `expected` (the colour key) are not looked at, nor places outside
// `picture` or left of column `left`.
int mismatches(const Picture& picture, int x, int y, const Picture& expected, int width, int height,
               int left = 0);
// Pixels of the width x height block at (x, y) that hold `color` (0x00RRGGBB).
int countColor(const Picture& picture, int x, int y, int width, int height, uint32_t color);

// The pixels of any DirectDraw surface, converted to 0x00RRGGBB.
Picture surfacePixels(IDirectDrawSurface* surface);
// The raw value of one pixel of a surface, in the surface's own format.
uint32_t surfaceRawPixel(IDirectDrawSurface* surface, int x, int y);
// Write a raw value into one pixel of a surface (for probes of the pixel at 0, 0).
void setSurfaceRawPixel(IDirectDrawSurface* surface, int x, int y, uint32_t value);
// Lose the memory of every surface of every DirectDraw object, as exclusive
// mode does when another program takes the display.
void loseAllSurfaces();
// The colour that restored surfaces are filled with until the game refills
// them (0x00RRGGBB, a loud green).
extern const uint32_t kRestoredFill;
// Whether DirectDraw takes the game for the active full-screen program, and
// a change of it as the window system makes one, for tests of the layer.
bool displayForeground();
void setDisplayForeground(bool foreground);
// The SDL surface behind a DirectDraw surface, for tests of the layer.
SDL_Surface* sdlSurface(IDirectDrawSurface* surface);
// Live platform objects, for leak checks: DirectDraw objects, surfaces,
// clippers, device contexts and bitmaps.
int liveObjectCount();

// Load an image file through the platform's decoder as GDI+ would see it,
// drawn over `background` (0xAARRGGBB), into a Picture. Empty on failure.
Picture decodeImageFile(const std::string& path, uint32_t background = 0xFFFF00FF);
// The Linux path a Windows path names, as the decoder finds its files.
std::string resolveWindowsPath(const std::string& windowsPath);

// Start afresh: no injections, journal entries, timer overrides, queued
// messages or handlers. Windows and objects still alive stay.
void resetHooks();

}  // namespace vh::test
