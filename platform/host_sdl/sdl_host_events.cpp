// The SDL host's input: SDL's events turned into the host events the window
// system makes Windows messages of, with the pointer mapped from the window
// into the game's picture.
#include <win32/windows.h>

#include <thread>

#include "sdl_host.h"
#include "x11_window.h"

namespace vh::platform {
namespace {

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

int buttonOf(Uint8 sdlButton) {
    if (sdlButton == SDL_BUTTON_LEFT) return 1;
    if (sdlButton == SDL_BUTTON_RIGHT) return 2;
    return 0;
}

}  // namespace

// Focus changes are reported as one net change once the window events that
// SDL has queued are read, before the next input event: a burst of switches
// or of minimise and restore that came while the game was busy costs the game
// one restore at most, not one a switch.
bool SdlHost::pollEvent(HostEvent& event) {
    if (!videoReady_) return false;
    if (reconfine_ && Clock::now() >= switchSettlesAt_) {
        reconfine_ = false;
        confinePointer(focused_);
    }
    if (held_) {
        event = *held_;
        held_.reset();
        return true;
    }
    if (closeForDestroyedWindow(event)) return true;
    SDL_Event sdl;
    while (nextEvent(sdl)) {
        HostEvent input{};
        if (!translate(sdl, input)) continue;
        pacer_.noteInput();
        if (reportFocus(event)) {
            held_ = input;
            return true;
        }
        event = input;
        return true;
    }
    if (closeForDestroyedWindow(event)) return true;
    return reportFocus(event);
}

bool SdlHost::nextEvent(SDL_Event& sdl) {
    if (!hasTakenEvents()) {
        taken_.clear();
        takenRead_ = 0;
        return SDL_PollEvent(&sdl) == 1;
    }
    sdl = taken_[takenRead_++];
    return true;
}

// Waits until `deadline` for the frame's slot, or until a click, a key or a
// change to the window comes: true then, and the game reads it at once.
// Pointer motion does not end the wait, or a moving pointer would take a
// frame for every motion it reports; the events read meanwhile are kept for
// pollEvent. SDL waits in whole milliseconds; the rest is slept.
bool SdlHost::waitForInputUntil(Clock::time_point deadline) {
    while (taken_.size() < kMostTakenEvents) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) break;
        SDL_Event sdl;
        if (SDL_WaitEventTimeout(&sdl, int(left.count())) != 1) continue;
        // A window system message lives in SDL's queue only until the next
        // event is read: it is seen to now.
        if (sdl.type == SDL_SYSWMEVENT) {
            noteWindowEvent(*sdl.syswm.msg);
            if (windowDestroyed()) return true;
            continue;
        }
        taken_.push_back(sdl);
        if (sdl.type != SDL_MOUSEMOTION) return true;
    }
    std::this_thread::sleep_until(deadline);
    return false;
}

// Another program destroyed the window: the game ends as if the player had
// closed it, once.
bool SdlHost::closeForDestroyedWindow(HostEvent& event) {
    if (!window_ || !windowDestroyed() || closeSent_) return false;
    closeSent_ = true;
    event = HostEvent{HostEvent::Close};
    return true;
}

// The net focus change, if any; a loss while a mode switch settles waits
// until it has settled, when the window has most likely the focus again.
bool SdlHost::reportFocus(HostEvent& event) {
    if (!wantFocus_ && focused_ && Clock::now() < switchSettlesAt_) return false;
    return focusChange(wantFocus_, event);
}

bool SdlHost::waitEvent() {
    // Without video there is no event source; the window system ends the
    // wait instead of blocking for ever.
    return videoReady_ && SDL_WaitEvent(nullptr) == 1;
}

// While the game is the active program the pointer cannot leave its
// picture; it is released when the player switches away, or takes it back
// with Ctrl+F10. The confinement
// is a set of pointer barriers (XFixes on X11), not a grab: a grab can be
// refused while the window manager is busy with the window, and SDL then
// tries again for seconds.
void SdlHost::confinePointer(bool confine) {
    if (!window_) return;
    confine = confine && !pointerReleased_;
    const SDL_Rect picture = layout_.picture();
    SDL_SetWindowMouseRect(window_, confine && !layout_.empty() ? &picture : nullptr);
}

void SdlHost::releasePointer(bool released) {
    pointerReleased_ = released;
    confinePointer(focused_);
    SDL_SetWindowTitle(window_, released ? "Varnholt (pointer released: click in the picture to "
                                           "capture it)"
                                         : "Varnholt");
}

// Alt+Enter, Ctrl+F10 and F12 are the host's: the game never hears of them.
bool SdlHost::hostKey(const SDL_KeyboardEvent& key) {
    const SDL_Keycode symbol = key.keysym.sym;
    const Uint16 modifiers = key.keysym.mod;
    if ((symbol == SDLK_RETURN || symbol == SDLK_KP_ENTER) && (modifiers & KMOD_ALT)) {
        if (!key.repeat) switchMode();
        return true;
    }
    if (symbol == SDLK_F10 && (modifiers & KMOD_CTRL)) {
        if (!key.repeat) releasePointer(true);
        return true;
    }
    if (symbol == SDLK_F12) {
        if (!key.repeat) takeScreenshot();
        return true;
    }
    return false;
}

void SdlHost::toPicture(int windowX, int windowY, HostEvent& event) const {
    layout_.toPicture(windowX, windowY, event.x, event.y);
}

bool SdlHost::focusChange(bool focused, HostEvent& event) {
    if (focused == focused_) return false;
    focused_ = focused;
    confinePointer(focused);
    event = HostEvent{focused ? HostEvent::FocusGained : HostEvent::FocusLost};
    return true;
}

bool SdlHost::translateWindowEvent(const SDL_WindowEvent& window, HostEvent& event) {
    switch (window.event) {
        case SDL_WINDOWEVENT_FOCUS_LOST:
        case SDL_WINDOWEVENT_MINIMIZED:
            wantFocus_ = false;
            return false;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            wantFocus_ = true;
            repaint();
            return false;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_EXPOSED:
            repaint();
            return false;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            relayout();
            repaint();
            return false;
        case SDL_WINDOWEVENT_CLOSE:
            event = HostEvent{HostEvent::Close};
            return true;
        default:
            return false;
    }
}

bool SdlHost::translate(const SDL_Event& sdl, HostEvent& event) {
    switch (sdl.type) {
        case SDL_MOUSEMOTION:
            event = HostEvent{HostEvent::MouseMove};
            toPicture(sdl.motion.x, sdl.motion.y, event);
            return true;
        case SDL_MOUSEBUTTONDOWN: {
            // Without a window manager nobody gives the window the focus
            // back when it is clicked: the host takes it.
            if (!focused_ && window_) SDL_SetWindowInputFocus(window_);
            // A click in the picture captures a released pointer; the click
            // is the host's.
            const SDL_Point at{sdl.button.x, sdl.button.y};
            const SDL_Rect picture = layout_.picture();
            if (pointerReleased_ && SDL_PointInRect(&at, &picture)) {
                releasePointer(false);
                swallowRelease_ = true;
            }
            return false;
        }
        case SDL_MOUSEBUTTONUP: {
            int button = buttonOf(sdl.button.button);
            if (swallowRelease_) {
                swallowRelease_ = false;
                return false;
            }
            if (!button) return false;
            event = HostEvent{HostEvent::MouseRelease};
            event.button = button;
            toPicture(sdl.button.x, sdl.button.y, event);
            return true;
        }
        case SDL_KEYDOWN: {
            if (hostKey(sdl.key)) return false;
            unsigned key = virtualKeyOf(sdl.key.keysym.sym);
            if (!key) return false;
            event = HostEvent{HostEvent::KeyPress};
            event.virtualKey = key;
            return true;
        }
        case SDL_WINDOWEVENT:
            return translateWindowEvent(sdl.window, event);
        case SDL_SYSWMEVENT:
            noteWindowEvent(*sdl.syswm.msg);
            return false;
        case SDL_QUIT:  // also what Ctrl+C in the terminal becomes
            event = HostEvent{HostEvent::Close};
            return true;
        default:
            return false;
    }
}

}  // namespace vh::platform
