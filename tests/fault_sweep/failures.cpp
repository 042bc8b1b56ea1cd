// The fault sweep's table, to edit when the game makes a new platform call
// (the sweep stops and names a call it does not find here).
#include "fault_sweep.h"
#include "winapi.h"

namespace faultsweep {

// How each platform call the game makes can fail, as its documentation gives
// it. Where the game tells failures apart, each is swept. Calls that give
// something back (a lock, a device context, an image) fail after doing their
// work: the failure is reported, and what was to be given back is not kept,
// since no caller could do anything about it.
const Failure* failureOf(const std::string& name) {
    using namespace Gdiplus;
    static const std::vector<Failure> list = {
        {"RegisterClassA", {0}},
        {"CreateWindowExA", {0}},
        {"GetSystemMetrics", {0}},
        {"LoadIconA", {0}},
        {"LoadCursorA", {0}},
        {"DestroyWindow", {FALSE}},
        {"GetMessageA", {-1}},
        {"WaitMessage", {FALSE}},
        {"QueryPerformanceFrequency", {FALSE}},
        {"QueryPerformanceCounter", {FALSE}},
        {"DirectDrawCreate", {DDERR_NODIRECTDRAWHW}},
        {"IDirectDraw::SetCooperativeLevel", {DDERR_INVALIDPARAMS}},
        {"IDirectDraw::SetDisplayMode", {DDERR_INVALIDMODE}},
        {"IDirectDraw::CreateSurface", {DDERR_OUTOFMEMORY}},
        {"IDirectDraw::CreateClipper", {DDERR_OUTOFMEMORY}},
        {"IDirectDrawClipper::SetHWnd", {DDERR_INVALIDPARAMS}},
        {"IDirectDrawSurface::GetAttachedSurface", {DDERR_NOTFOUND}},
        {"IDirectDrawSurface::SetClipper", {DDERR_INVALIDOBJECT}},
        {"IDirectDrawSurface::SetColorKey", {DDERR_SURFACELOST}},
        {"IDirectDrawSurface::Lock", {DDERR_WASSTILLDRAWING, DDERR_SURFACELOST}},
        {"IDirectDrawSurface::Unlock", {DDERR_SURFACELOST}, true},
        {"IDirectDrawSurface::GetDC", {DDERR_SURFACELOST}},
        {"IDirectDrawSurface::ReleaseDC", {DDERR_GENERIC}, true},
        {"IDirectDrawSurface::Blt", {DDERR_SURFACELOST}},
        {"IDirectDrawSurface::Flip", {DDERR_SURFACELOST, DDERR_GENERIC}},
        {"IDirectDrawSurface::Restore", {DDERR_OUTOFMEMORY}},
        {"GetPixel", {CLR_INVALID}},
        {"SetPixel", {int64_t(CLR_INVALID)}},
        {"CreateCompatibleDC", {0}},
        {"GetMapMode", {0}},
        {"SetMapMode", {0}},
        {"SelectObject", {0}},
        {"SetStretchBltMode", {0}},
        {"StretchBlt", {FALSE}},
        {"DeleteDC", {FALSE}, true},
        {"GetObjectA", {0}},
        {"DeleteObject", {FALSE}, true},
        {"GdiplusStartup", {GenericError}},
        {"GdipAlloc", {0}},
        {"GdipCreateBitmapFromFile", {OutOfMemory, GenericError}},
        {"GdipCreateHBITMAPFromBitmap", {OutOfMemory, GenericError}},
        {"GdipDisposeImage", {GenericError}, true},
    };
    for (const Failure& failure : list)
        if (name == failure.name) return &failure;
    return nullptr;
}

// Calls with no failure to give: reference counts, calls that answer nothing,
// and calls whose answer is not a success or failure but a message's result
// or a message itself. The window procedure is the platform calling the game.
const std::set<std::string> kCannotFail = {
    "IDirectDraw::AddRef",
    "IDirectDraw::Release",
    "IDirectDrawSurface::AddRef",
    "IDirectDrawSurface::Release",
    "IDirectDrawClipper::AddRef",
    "IDirectDrawClipper::Release",
    "GdipFree",
    "GdiplusShutdown",
    "PostQuitMessage",
    "PeekMessageA",
    "TranslateMessage",
    "DispatchMessageA",
    "DefWindowProcA",
    "ShowWindow",
    "timeGetTime",
    "WindowProc",
};

// Start-up failures that leave a picture wrong for the rest of the game, as
// the game intends: nothing makes, keys or matches again what start-up could
// not.
const std::map<std::string, const char*> kWrongForGoodAsIntended = {
    {"IDirectDraw::CreateSurface",
     "a sprite whose surface could not be made is left out; nothing makes it again"},
    {"IDirectDrawSurface::SetColorKey",
     "a sprite without its colour key cannot be drawn with it; the key is set once"},
    {"IDirectDrawSurface::Lock",
     "the colour key is matched once, at start-up; without it every sprite has the wrong key"},
    {"IDirectDrawSurface::GetDC",
     "the colour key is matched once, at start-up; without it every sprite has the wrong key"},
    {"SetPixel",
     "the colour key is matched once, at start-up; without it every sprite has the wrong key"},
    {"GdiplusStartup", "without GDI+ no picture can be loaded"},
};

// Calls whose failure leaves a picture unloaded until the display is next
// restored, as the game intends: a picture that could not be loaded or copied
// into its sprite is loaded again only with the next restore of the surfaces.
const std::set<std::string> kLoadingCalls = {
    "GdipAlloc",    "GdipCreateBitmapFromFile",  "GdipCreateHBITMAPFromBitmap",
    "GetObjectA",   "IDirectDrawSurface::GetDC", "CreateCompatibleDC",
    "SelectObject", "SetStretchBltMode",         "StretchBlt",
};

// A failed restore on the return to the foreground ends the game, as intended.
const std::map<std::string, const char*> kEndsTheGameAsIntended = {
    {"IDirectDrawSurface::Restore",
     "a surface that cannot be restored on the return to the foreground ends the game"},
};

}  // namespace faultsweep
