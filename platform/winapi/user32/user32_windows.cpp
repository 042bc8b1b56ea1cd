// Window classes and windows: creation with its WM_NCCREATE/WM_CREATE
// handshake, destruction with WM_DESTROY/WM_NCDESTROY, the default window
// procedure, and the small calls around them.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "varnholt/application_icon.h"
#include "varnholt/journal.h"
#include "user32_private.h"
#include "winapi_state.h"
#include "varnholt/host.h"

namespace vh::platform {
namespace {

constexpr ATOM kFirstClassAtom = 0xC000;  // where Windows numbers registered classes
constexpr uintptr_t kHandleStep = 4;

std::vector<WindowClass>& classes() {
    return winapiState().user32.classes;
}

std::map<uintptr_t, Window>& windows() {
    return winapiState().user32.windows;
}

std::string lowerCase(const char* text) {
    std::string out(text);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Class names below 0x10000 are atoms, as MAKEINTATOM makes them.
bool isAtom(LPCSTR name) {
    return reinterpret_cast<uintptr_t>(name) < 0x10000;
}

const WindowClass* findClass(LPCSTR name) {
    if (!name) return nullptr;
    for (const auto& windowClass : classes()) {
        if (isAtom(name) ? windowClass.atom == ATOM(reinterpret_cast<uintptr_t>(name))
                         : windowClass.name == lowerCase(name))
            return &windowClass;
    }
    return nullptr;
}

Window* findWindow(HWND handle) {
    auto it = windows().find(reinterpret_cast<uintptr_t>(handle));
    return it == windows().end() ? nullptr : &it->second;
}

HWND addWindow(WNDPROC procedure, DWORD style) {
    uintptr_t id = winapiState().user32.nextHandle;
    winapiState().user32.nextHandle += kHandleStep;
    windows()[id] = Window{procedure, style, WindowState::Alive, (style & WS_VISIBLE) != 0};
    return reinterpret_cast<HWND>(id);
}

// The host shows one window: the first top-level window the game creates,
// with its class's icon. When the host cannot open it, the player is told
// why here, once; the window lives on so that the game meets the missing
// display in DirectDraw.
void openHostWindowFor(HWND window, HICON icon) {
    HWND& owner = winapiState().user32.hostOwner;
    if (owner && isLiveWindow(owner)) return;
    owner = window;
    std::string whyNot;
    if (!host().openWindow(whyNot)) {
        std::fprintf(stderr, "varnholt: %s\n", whyNot.c_str());
        return;
    }
    if (SDL_Surface* pixels = iconPixels(icon)) host().setWindowIcon(pixels);
}

void closeHostWindowOf(HWND window) {
    HWND& owner = winapiState().user32.hostOwner;
    if (window != owner) return;
    owner = nullptr;
    host().closeWindow();
}

// Tears a window down. WM_DESTROY goes only to a window that got as far as
// WM_CREATE, as Windows does when WM_NCCREATE refuses. Map nodes stay put, so
// the pointer survives windows the handlers create meanwhile.
void destroy(HWND handle, bool sendDestroy) {
    Window* window = findWindow(handle);
    if (!window || window->state != WindowState::Alive) return;
    window->state = WindowState::Destroying;
    window->visible = false;
    if (sendDestroy) callWindowProc(handle, WM_DESTROY, 0, 0);
    callWindowProc(handle, WM_NCDESTROY, 0, 0);
    window->state = WindowState::Gone;
    forgetPostedMessages(handle);
    closeHostWindowOf(handle);
}

}  // namespace

bool isLiveWindow(HWND handle) {
    const Window* window = findWindow(handle);
    return window && window->state != WindowState::Gone;
}

HWND hostWindowOwner() {
    HWND owner = winapiState().user32.hostOwner;
    return isLiveWindow(owner) ? owner : nullptr;
}

LRESULT callWindowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    const Window* window = findWindow(handle);
    if (!window || window->state == WindowState::Gone || !window->procedure) return 0;
    record("WindowProc", handle, message);
    return window->procedure(handle, message, wParam, lParam);
}

}  // namespace vh::platform

using namespace vh::platform;

ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass) {
    return journalled("RegisterClassA", windowClass, [&]() -> ATOM {
        if (!windowClass || !windowClass->lpfnWndProc || !windowClass->lpszClassName ||
            isAtom(windowClass->lpszClassName) || findClass(windowClass->lpszClassName))
            return 0;
        ATOM atom = ATOM(kFirstClassAtom + classes().size());
        classes().push_back({lowerCase(windowClass->lpszClassName), atom, windowClass->lpfnWndProc,
                             windowClass->hIcon});
        return atom;
    });
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
    return journalled("CreateWindowExA", className, [&]() -> HWND {
        const WindowClass* windowClass = findClass(className);
        if (!windowClass) return nullptr;

        HWND window = addWindow(windowClass->procedure, style);
        if (!parent) openHostWindowFor(window, windowClass->icon);
        CREATESTRUCTA create{param, instance, menu,        parent,     height,    width,
                             y,     x,        LONG(style), windowName, className, exStyle};
        auto createArg = reinterpret_cast<LPARAM>(&create);
        if (!callWindowProc(window, WM_NCCREATE, 0, createArg)) {
            destroy(window, false);
            return nullptr;
        }
        if (callWindowProc(window, WM_CREATE, 0, createArg) == -1) {
            destroy(window, true);
            return nullptr;
        }
        // The window procedure may have destroyed its own window while creating it.
        return isLiveWindow(window) ? window : nullptr;
    });
}

BOOL WINAPI ShowWindow(HWND handle, int command) {
    return journalled("ShowWindow", handle, [&]() -> BOOL {
        Window* window = findWindow(handle);
        if (!window || window->state == WindowState::Gone) return FALSE;
        BOOL wasVisible = window->visible ? TRUE : FALSE;
        window->visible = command != SW_HIDE;
        return wasVisible;
    });
}

BOOL WINAPI DestroyWindow(HWND handle) {
    return journalled("DestroyWindow", handle, [&]() -> BOOL {
        // A window already on its way out (a second call from its own
        // WM_DESTROY handler, say) is left to the first call.
        Window* window = findWindow(handle);
        if (!window || window->state != WindowState::Alive) return FALSE;
        destroy(handle, true);
        return TRUE;
    });
}

// The desktop stands for every other program: bringing it to the front hands
// the foreground away, as the player's Alt+Tab does, and bringing the game's
// window back takes it again.
HWND WINAPI GetDesktopWindow(void) {
    return journalled("GetDesktopWindow", nullptr, [] { return kDesktopWindow; });
}

BOOL WINAPI SetForegroundWindow(HWND handle) {
    return journalled("SetForegroundWindow", handle, [&]() -> BOOL {
        if (handle == kDesktopWindow) {
            changeForeground(false);
        } else if (handle && handle == hostWindowOwner()) {
            changeForeground(true);
        } else {
            return isLiveWindow(handle);
        }
        return TRUE;
    });
}

int WINAPI GetSystemMetrics(int index) {
    return journalled("GetSystemMetrics", nullptr, [&] {
        if (index == SM_CXSCREEN) return host().screenWidth();
        if (index == SM_CYSCREEN) return host().screenHeight();
        return 0;
    });
}

namespace {

// The stock icon and cursor: distinct non-null handles that are never freed.
struct StockResource {
    int unused;
};
StockResource applicationIcon;
StockResource arrowCursor;

bool isStock(LPCSTR name, LPCSTR stock) {
    return name == stock;
}

}  // namespace

// No instance names the system's stock icons. The program's own module holds
// one icon, IDI_APPLICATION, as the Windows build's .exe does; no other module
// is loaded, so any other instance has none.
HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
    return journalled("LoadIconA", name, [&]() -> HICON {
        if (!instance)
            return isStock(name, IDI_APPLICATION) ? reinterpret_cast<HICON>(&applicationIcon)
                                                  : nullptr;
        return instance == programInstance() && name == IDI_APPLICATION ? programIcon() : nullptr;
    });
}

HCURSOR WINAPI LoadCursorA(HINSTANCE, LPCSTR name) {
    return journalled("LoadCursorA", name, [&]() -> HCURSOR {
        return isStock(name, IDC_ARROW) ? reinterpret_cast<HCURSOR>(&arrowCursor) : nullptr;
    });
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
    return journalled("DefWindowProcA", window, [&]() -> LRESULT {
        if (message == WM_CLOSE) DestroyWindow(window);
        return message == WM_NCCREATE ? TRUE : 0;
    });
}
