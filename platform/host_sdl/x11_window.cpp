// What the SDL host asks of X11 itself.
#include "x11_window.h"

#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <vector>

namespace vh::platform {
namespace {

constexpr long kNetWmStateRemove = 0;
constexpr long kNetWmStateAdd = 1;

// What the error handler knows; Xlib's handler is one for the process.
struct ErrorGuard {
    bool installed = false;
    XErrorHandler previous = nullptr;
    int fixesOpcode = -1;
    Window window = 0;
    bool destroyed = false;
};
ErrorGuard guard;

int handleError(Display* display, XErrorEvent* error) {
    if (guard.fixesOpcode >= 0 && error->request_code == guard.fixesOpcode) return 0;
    // Requests on the window once it is gone, and on what SDL derives from
    // it (a child it no longer has, say), fail; none of that ends the game.
    const bool badWindow = error->error_code == BadWindow || error->error_code == BadDrawable;
    if (badWindow && guard.window && (guard.destroyed || error->resourceid == guard.window)) {
        guard.destroyed = true;
        return 0;
    }
    return guard.previous ? guard.previous(display, error) : 0;
}

bool isMapped(Display* display, Window window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state != IsUnmapped;
}

// Before the window is mapped its _NET_WM_STATE property is its initial state.
void setInitialState(Display* display, Window window, Atom state, Atom fullScreenAtom,
                     bool fullScreen) {
    std::vector<Atom> atoms;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, state, 0, 64, False, XA_ATOM, &type, &format, &count,
                           &after, &data) == Success &&
        data) {
        const auto* present = reinterpret_cast<const Atom*>(data);
        for (unsigned long i = 0; i < count; ++i)
            if (present[i] != fullScreenAtom) atoms.push_back(present[i]);
        XFree(data);
    }
    if (fullScreen) atoms.push_back(fullScreenAtom);
    XChangeProperty(display, window, state, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(atoms.data()), int(atoms.size()));
}

// A mapped window asks the window manager, which answers by resizing it.
void requestState(Display* display, Window window, Atom state, Atom fullScreenAtom,
                  bool fullScreen) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = state;
    event.xclient.format = 32;
    event.xclient.data.l[0] = fullScreen ? kNetWmStateAdd : kNetWmStateRemove;
    event.xclient.data.l[1] = long(fullScreenAtom);
    event.xclient.data.l[2] = 0;
    event.xclient.data.l[3] = 1;  // a request from an application
    XSendEvent(display, DefaultRootWindow(display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

}  // namespace

void setDesktopFullScreen(SDL_Window* window, bool fullScreen) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) {
        SDL_SetWindowFullscreen(window, fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
        return;
    }
    Display* display = info.info.x11.display;
    Window xWindow = info.info.x11.window;
    Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    Atom fullScreenAtom = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
    if (isMapped(display, xWindow))
        requestState(display, xWindow, state, fullScreenAtom, fullScreen);
    else
        setInitialState(display, xWindow, state, fullScreenAtom, fullScreen);
    XFlush(display);
}

void guardWindowErrors(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    guard.window = info.info.x11.window;
    guard.destroyed = false;
    if (guard.installed) return;
    int event = 0, error = 0;
    if (!XQueryExtension(info.info.x11.display, "XFIXES", &guard.fixesOpcode, &event, &error))
        guard.fixesOpcode = -1;
    guard.previous = XSetErrorHandler(handleError);
    guard.installed = true;
}

bool windowDestroyed() {
    return guard.destroyed;
}

void noteWindowEvent(const SDL_SysWMmsg& message) {
    if (message.subsystem == SDL_SYSWM_X11 && message.msg.x11.event.type == DestroyNotify &&
        message.msg.x11.event.xdestroywindow.window == guard.window && guard.window)
        guard.destroyed = true;
}

}  // namespace vh::platform
