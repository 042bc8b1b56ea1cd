// The headless host: no window on any screen, virtual time, and input that
// tests and tools script. Everything it keeps lives in one process-wide state
// so that the test hooks work whether or not the host is installed yet.
#include <SDL.h>

#include <cmath>
#include <cstring>
#include <cstdio>
#include <deque>
#include <vector>

#include "internal.h"
#include "varnholt/platform_test.h"

namespace vh::platform {
namespace {

constexpr int64_t kNanosecondsPerMillisecond = 1000000;
constexpr double kDefaultFramePeriodMs = 16.0;
// The desktop that GetSystemMetrics reports before the game sets a mode.
constexpr int kDesktopWidth = 1920;
constexpr int kDesktopHeight = 1080;

// The last presented frame as the game left it: raw pixels in the frame's own
// format, turned into a Picture only when a test asks for one.
struct KeptFrame {
    int width = 0;
    int height = 0;
    int pitch = 0;
    Uint32 format = 0;
    std::vector<Uint8> bytes;
};

struct HeadlessState {
    bool displayAvailable = true;
    bool windowOpen = false;
    int modeWidth = 0;  // 0 while the desktop is shown
    int modeHeight = 0;
    int64_t now = 0;
    int64_t framePeriod = int64_t(kDefaultFramePeriodMs * kNanosecondsPerMillisecond);
    std::deque<HostEvent> events;
    std::function<void(int)> onPresent;
    std::function<void()> onIdle;
    KeptFrame frame;
    int frameCount = 0;
};

// Never destroyed, so that static destructors of other modules can still
// present or leave full screen while the process ends.
HeadlessState& state() {
    static auto* headless = new HeadlessState();
    return *headless;
}

int64_t toNanoseconds(double milliseconds) {
    return std::llround(milliseconds * double(kNanosecondsPerMillisecond));
}

void queueEvent(HostEvent event) {
    state().events.push_back(event);
}

// Keeps a copy of the frame: one memcpy, the same work a real host does when
// it uploads the frame. The buffer is reused, so a steady run allocates
// nothing per frame; the conversion to a Picture waits for presentedFrame.
void keepFrame(SDL_Surface* frame) {
    auto& kept = state().frame;
    const size_t bytes = size_t(frame->pitch) * size_t(frame->h);
    if (kept.bytes.size() != bytes) kept.bytes.resize(bytes);
    bool locked = SDL_MUSTLOCK(frame) && SDL_LockSurface(frame) == 0;
    std::memcpy(kept.bytes.data(), frame->pixels, bytes);
    if (locked) SDL_UnlockSurface(frame);
    kept.width = frame->w;
    kept.height = frame->h;
    kept.pitch = frame->pitch;
    kept.format = frame->format->format;
}

class HeadlessHost : public Host {
  public:
    bool openWindow(std::string& whyNot) override {
        if (!state().displayAvailable) {
            whyNot = "no display (headless host without one)";
            std::fprintf(stderr, "varnholt: cannot open a display: %s\n", whyNot.c_str());
            return false;
        }
        state().windowOpen = true;
        return true;
    }
    void closeWindow() override { state().windowOpen = false; }
    bool hasDisplay() override { return state().displayAvailable; }
    void enterFullScreen(int width, int height) override {
        state().modeWidth = width;
        state().modeHeight = height;
    }
    void leaveFullScreen() override { state().modeWidth = state().modeHeight = 0; }
    int screenWidth() override { return state().modeWidth ? state().modeWidth : kDesktopWidth; }
    int screenHeight() override { return state().modeHeight ? state().modeHeight : kDesktopHeight; }

    bool pollEvent(HostEvent& event) override {
        auto& events = state().events;
        if (events.empty()) return false;
        event = events.front();
        events.pop_front();
        return true;
    }

    // Nothing will ever arrive on its own: the idle handler is the only source.
    bool waitEvent() override {
        auto& s = state();
        if (s.events.empty() && s.onIdle) {
            auto idle = s.onIdle;  // the handler may replace itself
            idle();
        }
        return !s.events.empty();
    }

    void present(SDL_Surface* frame) override {
        auto& s = state();
        if (frame) keepFrame(frame);
        ++s.frameCount;
        s.now += s.framePeriod;
        if (s.onPresent) {
            auto handler = s.onPresent;
            handler(s.frameCount);
        }
    }

    int64_t nanoseconds() override { return state().now; }
};

}  // namespace

std::unique_ptr<Host> makeHeadlessHost() {
    return std::make_unique<HeadlessHost>();
}

void resetHostHooks() {
    auto& s = state();
    s.events.clear();
    s.onPresent = nullptr;
    s.onIdle = nullptr;
    s.framePeriod = toNanoseconds(kDefaultFramePeriodMs);
}

}  // namespace vh::platform

namespace vh::test {

using vh::platform::HostEvent;
using vh::platform::queueEvent;
using vh::platform::state;

void useHeadlessHost() {
    vh::platform::setHost(vh::platform::makeHeadlessHost());
    vh::platform::enableJournal(true);
}

void setHeadlessDisplayAvailable(bool available) {
    state().displayAvailable = available;
}

void mouseMove(int x, int y) {
    queueEvent({HostEvent::MouseMove, x, y});
}

void mouseRelease(int button, int x, int y) {
    queueEvent({HostEvent::MouseRelease, x, y, button});
}

void keyPress(unsigned virtualKey) {
    queueEvent({HostEvent::KeyPress, 0, 0, 0, virtualKey});
}

void focusLost() {
    queueEvent({HostEvent::FocusLost});
}

void focusGained() {
    queueEvent({HostEvent::FocusGained});
}

void closeRequest() {
    queueEvent({HostEvent::Close});
}

void onPresent(std::function<void(int frame)> handler) {
    state().onPresent = std::move(handler);
}

void onIdle(std::function<void()> handler) {
    state().onIdle = std::move(handler);
}

void advanceTime(double milliseconds) {
    if (milliseconds > 0) state().now += vh::platform::toNanoseconds(milliseconds);
}

void setFramePeriod(double milliseconds) {
    state().framePeriod = milliseconds > 0 ? vh::platform::toNanoseconds(milliseconds) : 0;
}

Picture presentedFrame() {
    const auto& kept = state().frame;
    if (kept.bytes.empty()) return {};
    return vh::platform::toPicture(kept.width, kept.height, kept.format, kept.bytes.data(),
                                   kept.pitch);
}

int presentedFrameCount() {
    return state().frameCount;
}

}  // namespace vh::test
