// A real X server for the SDL host's tests: an Xvfb of its own on a free
// display, optionally with a window manager, and a connection of the test's
// own to drive the pointer and the keyboard (XTest) and to read the screen.
#pragma once

// GoogleTest comes before Xlib, whose macros (None, Status, Bool) would
// otherwise rename some of its names.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
// clang-format on
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <chrono>
#include <initializer_list>
#include <iterator>
#include <set>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "varnholt/platform_test.h"

namespace xtest {

using childprocess::kPatience;
using childprocess::waitUntil;

class XServer {
  public:
    XServer() = default;
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    ~XServer() { stop(); }

    // Starts Xvfb with one screen of this size and depth; DISPLAY names it
    // from then on. False when it did not come up.
    bool start(int width, int height, int depth = 24) {
        int ready[2];
        if (pipe(ready) != 0) return false;
        std::string screen =
            std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
        std::string fd = std::to_string(ready[1]);
        std::vector<std::string> args{"Xvfb", "-displayfd", fd,          "-screen",
                                      "0",    screen,       "-nolisten", "tcp"};
        server_ = spawn(args, ready[1]);
        close(ready[1]);
        std::string number;
        char c;
        while (read(ready[0], &c, 1) == 1 && c != '\n') number += c;
        close(ready[0]);
        if (server_.pid <= 0 || number.empty()) return false;
        const std::string name = ":" + number;
        setenv("DISPLAY", name.c_str(), 1);
        display_ = XOpenDisplay(name.c_str());
        // A request on a window that the game has meanwhile destroyed fails
        // the test through its assertions, not by ending the process.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        return display_ != nullptr;
    }

    // Starts openbox and waits until it manages the screen: until a window
    // mapped then is put into a frame of its own. (It announces itself
    // before it takes the windows already there; a game window mapped in
    // between would never get the focus.)
    bool startWindowManager() {
        manager_ = spawn({"openbox", "--sm-disable"}, -1);
        const Window probe =
            XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 10, 10, 0, 0, 0);
        XMapWindow(display_, probe);
        XSync(display_, False);
        const bool managed = waitUntil(kPatience, 10, [&] {
            Window root = 0, parent = 0, *children = nullptr;
            unsigned count = 0;
            XQueryTree(display_, probe, &root, &parent, &children, &count);
            if (children) XFree(children);
            return parent != 0 && parent != root;
        });
        XDestroyWindow(display_, probe);
        XSync(display_, False);
        return managed;
    }

    void stop() {
        if (display_) XCloseDisplay(display_);
        display_ = nullptr;
        for (childprocess::Child* child : {&manager_, &server_}) {
            child->end(SIGTERM);
            *child = {};
        }
    }

    Display* display() const { return display_; }

    // ---- Input, as a player's devices make it
    void movePointer(int x, int y) {
        XTestFakeMotionEvent(display_, 0, x, y, CurrentTime);
        XSync(display_, False);
    }
    void movePointerBy(int dx, int dy) {
        XTestFakeRelativeMotionEvent(display_, dx, dy, CurrentTime);
        XSync(display_, False);
    }
    void click(unsigned button) {
        XTestFakeButtonEvent(display_, button, True, CurrentTime);
        XSync(display_, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        XTestFakeButtonEvent(display_, button, False, CurrentTime);
        XSync(display_, False);
    }
    void pressKey(KeySym symbol) { pressKeys({symbol}); }
    // Keys pressed together, as a player holds a modifier.
    void pressKeys(std::initializer_list<KeySym> symbols) {
        for (KeySym symbol : symbols)
            XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, symbol), True, CurrentTime);
        for (auto it = std::rbegin(symbols); it != std::rend(symbols); ++it)
            XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, *it), False, CurrentTime);
        XSync(display_, False);
    }
    void pointer(int& x, int& y) {
        Window root, child;
        int wx, wy;
        unsigned mask;
        XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &x, &y, &wx, &wy,
                      &mask);
    }

    // ---- Other windows, as other programs make them
    Window createWindow(int x, int y, int width, int height) {
        Window window = XCreateSimpleWindow(display_, DefaultRootWindow(display_), x, y,
                                            unsigned(width), unsigned(height), 0, 0, 0xFFFFFF);
        XSelectInput(display_, window, StructureNotifyMask);
        XMapRaised(display_, window);
        XSync(display_, False);
        waitForMap(window);
        return window;
    }
    void waitForMap(Window window) {
        EXPECT_TRUE(waitUntil(kPatience, 5,
                              [&] {
                                  XWindowAttributes attributes{};
                                  XGetWindowAttributes(display_, window, &attributes);
                                  return attributes.map_state == IsViewable;
                              }))
            << "window " << window << " was never shown";
    }
    // The first window called `name`, looked for in the whole tree (a
    // window manager puts clients into frames of its own) until it appears.
    Window findWindow(const std::string& name) {
        Window found = 0;
        waitUntil(kPatience, 20,
                  [&] { return (found = findBelow(DefaultRootWindow(display_), name)) != 0; });
        return found;
    }
    // As a taskbar asks the window manager to bring a window to the front.
    void activate(Window window) {
        askWindowManager(window, "_NET_ACTIVE_WINDOW", {2 /* from a taskbar */, CurrentTime});
    }
    // As a double click on the title bar maximises a window, or restores it.
    void maximise(Window window, bool maximised) {
        askWindowManager(
            window, "_NET_WM_STATE",
            {maximised ? 1 : 0, long(XInternAtom(display_, "_NET_WM_STATE_MAXIMIZED_VERT", False)),
             long(XInternAtom(display_, "_NET_WM_STATE_MAXIMIZED_HORZ", False)), 2});
    }
    void askWindowManager(Window window, const char* message, std::initializer_list<long> data) {
        send(DefaultRootWindow(display_), window, message, data,
             SubstructureRedirectMask | SubstructureNotifyMask);
    }
    // As the close button on the window's title bar asks.
    void closeWindow(Window window) {
        send(window, window, "WM_PROTOCOLS",
             {long(XInternAtom(display_, "WM_DELETE_WINDOW", False)), CurrentTime}, NoEventMask);
    }
    void send(Window to, Window window, const char* message, std::initializer_list<long> data,
              long mask) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display_, message, False);
        event.xclient.format = 32;
        int i = 0;
        for (long value : data) event.xclient.data.l[i++] = value;
        XSendEvent(display_, to, False, mask, &event);
        XSync(display_, False);
    }
    void minimise(Window window) {
        XIconifyWindow(display_, window, DefaultScreen(display_));
        XSync(display_, False);
    }
    // The ICCCM state the window manager gives a client window: 1 normal,
    // 3 minimised (iconic), 0 when it has set none.
    long windowState(Window window) {
        Atom state = XInternAtom(display_, "WM_STATE", False);
        Atom type;
        int format;
        unsigned long count = 0, after;
        unsigned char* data = nullptr;
        long value = 0;
        if (XGetWindowProperty(display_, window, state, 0, 2, False, state, &type, &format, &count,
                               &after, &data) == Success &&
            data) {
            if (count > 0) value = reinterpret_cast<long*>(data)[0];
            XFree(data);
        }
        return value;
    }
    bool waitForState(Window window, long wanted) {
        return waitUntil(kPatience, 1, [&] { return windowState(window) == wanted; });
    }
    void focus(Window window) {
        XSetInputFocus(display_, window, RevertToPointerRoot, CurrentTime);
        XSync(display_, False);
    }

    // Waits until the game's picture is on the screen: the sidebar and the
    // map have far more colours than a black or a plain screen.
    bool waitForGamePicture() {
        return waitUntil(kPatience, 20, [&] {
            const vh::test::Picture shown = screen();
            std::set<uint32_t> colours;
            for (int y = 0; y < shown.height; y += 7)
                for (int x = 0; x < shown.width; x += 5) colours.insert(shown.at(x, y));
            return colours.size() > 64;
        });
    }

    // ---- The screen as the player sees it, 0x00RRGGBB
    vh::test::Picture screen() {
        vh::test::Picture picture;
        Window root = DefaultRootWindow(display_);
        XWindowAttributes attributes{};
        XGetWindowAttributes(display_, root, &attributes);
        XImage* image = XGetImage(display_, root, 0, 0, unsigned(attributes.width),
                                  unsigned(attributes.height), AllPlanes, ZPixmap);
        if (!image) return picture;
        picture.width = attributes.width;
        picture.height = attributes.height;
        picture.pixels.resize(size_t(picture.width) * size_t(picture.height));
        for (int y = 0; y < picture.height; ++y)
            for (int x = 0; x < picture.width; ++x)
                picture.pixels[size_t(y) * size_t(picture.width) + size_t(x)] =
                    uint32_t(XGetPixel(image, x, y)) & 0xFFFFFFu;
        XDestroyImage(image);
        return picture;
    }

  private:
    Window findBelow(Window parent, const std::string& name) {
        Window root, parentOf;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display_, parent, &root, &parentOf, &children, &count)) return 0;
        Window found = 0;
        for (unsigned i = 0; i < count && !found; ++i) {
            char* title = nullptr;
            if (XFetchName(display_, children[i], &title) && title) {
                if (name == title) found = children[i];
                XFree(title);
            }
            if (!found) found = findBelow(children[i], name);
        }
        if (children) XFree(children);
        return found;
    }

    // The child dies with the test, however the test ends, and writes
    // nothing into the test's output. `keepOpen` stays open in it.
    static childprocess::Child spawn(const std::vector<std::string>& args, int keepOpen) {
        std::vector<char*> argv;
        for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        const pid_t parent = getpid();
        childprocess::Child child;
        child.fork([&]() -> int {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (getppid() != parent) _exit(1);
            int quiet = open("/dev/null", O_RDWR);
            dup2(quiet, 0);
            dup2(quiet, 1);
            dup2(quiet, 2);
            for (int fd = 3; fd < 1024; ++fd)
                if (fd != keepOpen) close(fd);
            execvp(argv[0], argv.data());
            _exit(127);
        });
        return child;
    }

    childprocess::Child server_, manager_;
    Display* display_ = nullptr;
};

}  // namespace xtest
