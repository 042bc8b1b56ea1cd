// The message queue: posted messages, the quit flag, and the host's input
// turned into window messages whenever the game looks at its queue.
#include <algorithm>
#include <deque>

#include "ddraw_foreground.h"
#include "varnholt/journal.h"
#include "timers.h"
#include "user32_private.h"
#include "winapi_state.h"
#include "varnholt/host.h"

namespace vh::platform {
namespace {

// Keys arrive one press at a time: a repeat count of 1 in the low word.
constexpr LPARAM kSingleKeyPress = 1;
// PeekMessage's window filter for messages posted to no window at all.
const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(intptr_t(-1));

MessageQueue& queue() {
    return winapiState().user32.messages;
}

MSG makeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return MSG{window, message, wParam, lParam, tickCount(), queue().cursor};
}

void post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    queue().posted.push_back(makeMessage(window, message, wParam, lParam));
    ++queue().arrivals;
}

void postQuit(WPARAM code) {
    queue().quitPending = true;
    queue().quitCode = code;
    ++queue().arrivals;
}

LPARAM pointerPosition(int x, int y) {
    return MAKELPARAM(x, y);
}

// Input for a window that is gone has nowhere to go and is dropped; the
// display still learns of focus changes, which matter to DirectDraw alone.
void translate(const HostEvent& event) {
    HWND window = hostWindowOwner();
    switch (event.kind) {
        case HostEvent::MouseMove:
            queue().cursor = POINT{event.x, event.y};
            if (window) post(window, WM_MOUSEMOVE, 0, pointerPosition(event.x, event.y));
            break;
        case HostEvent::MouseRelease: {
            queue().cursor = POINT{event.x, event.y};
            UINT message = event.button == 1 ? WM_LBUTTONUP : event.button == 2 ? WM_RBUTTONUP : 0;
            if (window && message) post(window, message, 0, pointerPosition(event.x, event.y));
            break;
        }
        case HostEvent::KeyPress:
            if (window) post(window, WM_KEYDOWN, event.virtualKey, kSingleKeyPress);
            break;
        case HostEvent::FocusLost:
        case HostEvent::FocusGained:
            changeForeground(event.kind == HostEvent::FocusGained);
            break;
        case HostEvent::Close:
            if (window) post(window, WM_CLOSE, 0, 0);
            break;
    }
}

// One coordinate of a mouse movement: by so much, or to a place given in
// normalised coordinates, which span the screen from 0 to 65536.
LONG moved(LONG from, LONG by, bool absolute, int screenSide) {
    const int64_t to = absolute ? int64_t(by) * screenSide / 65536 : int64_t(from) + by;
    return LONG(std::clamp<int64_t>(to, 0, screenSide - 1));
}

// Input made with SendInput goes the way the host's input goes. The host
// reports no presses and no key releases, and the game handles none, so
// they are left out here too.
void feed(const INPUT& input) {
    if (input.type == INPUT_KEYBOARD) {
        if (!(input.ki.dwFlags & KEYEVENTF_KEYUP))
            translate({HostEvent::KeyPress, 0, 0, 0, input.ki.wVk});
        return;
    }
    if (input.type != INPUT_MOUSE) return;
    const MOUSEINPUT& mouse = input.mi;
    POINT at = queue().cursor;
    if (mouse.dwFlags & MOUSEEVENTF_MOVE) {
        const bool absolute = mouse.dwFlags & MOUSEEVENTF_ABSOLUTE;
        at.x = moved(at.x, mouse.dx, absolute, host().screenWidth());
        at.y = moved(at.y, mouse.dy, absolute, host().screenHeight());
        translate({HostEvent::MouseMove, at.x, at.y});
    }
    if (mouse.dwFlags & MOUSEEVENTF_LEFTUP) translate({HostEvent::MouseRelease, at.x, at.y, 1});
    if (mouse.dwFlags & MOUSEEVENTF_RIGHTUP) translate({HostEvent::MouseRelease, at.x, at.y, 2});
}

void pumpHostEvents() {
    HostEvent event{};
    while (host().pollEvent(event)) translate(event);
}

// Blocks until the host has input. When it knows none will ever come (the
// headless host with nothing scripted) and nothing else arrived meanwhile, the
// game is told to quit instead of waiting for ever.
void waitForInput() {
    uint64_t before = queue().arrivals;
    bool more = host().waitEvent();
    pumpHostEvents();
    if (!more && queue().arrivals == before) postQuit(WPARAM(kNoInputQuitCode));
}

bool matchesWindow(const MSG& msg, HWND filter) {
    if (!filter) return true;
    if (filter == kThreadMessagesOnly) return msg.hwnd == nullptr;
    return msg.hwnd == filter;
}

bool matchesRange(UINT message, UINT filterMin, UINT filterMax) {
    if (filterMin == 0 && filterMax == 0) return true;
    return message >= filterMin && message <= filterMax;
}

// The first message that passes the filters; WM_QUIT passes any filter, and
// comes only once every posted message has been taken.
bool takeMessage(MSG& out, HWND window, UINT filterMin, UINT filterMax, bool remove) {
    auto& posted = queue().posted;
    for (auto it = posted.begin(); it != posted.end(); ++it) {
        if (!matchesWindow(*it, window) || !matchesRange(it->message, filterMin, filterMax))
            continue;
        out = *it;
        if (remove) posted.erase(it);
        return true;
    }
    if (!queue().quitPending) return false;
    out = makeMessage(nullptr, WM_QUIT, queue().quitCode, 0);
    if (remove) queue().quitPending = false;
    return true;
}

bool isBadWindowFilter(HWND window) {
    return window && window != kThreadMessagesOnly && !isLiveWindow(window);
}

// The character a key press types, for the keys the game can type with;
// 0 for keys that type nothing.
WPARAM characterOf(WPARAM virtualKey) {
    if (virtualKey >= 'A' && virtualKey <= 'Z') return virtualKey - 'A' + 'a';
    if (virtualKey >= '0' && virtualKey <= '9') return virtualKey;
    switch (virtualKey) {
        case VK_SPACE:
        case VK_RETURN:
        case VK_ESCAPE:
        case VK_BACK:
        case VK_TAB:
            return virtualKey;
        default:
            return 0;
    }
}

}  // namespace

// WM_ACTIVATEAPP is sent while the foreground changes, as Windows sends it,
// not posted: the display's state and the message the game handles always
// agree, however fast the player switches. Surfaces are lost before the game
// hears of it, and the game hears once for each real change.
void changeForeground(bool gained) {
    if (displayForeground() == gained) return;
    setDisplayForeground(gained);
    if (HWND window = hostWindowOwner()) callWindowProc(window, WM_ACTIVATEAPP, gained, 0);
    ++queue().arrivals;
}

void forgetPostedMessages(HWND window) {
    auto& posted = queue().posted;
    std::erase_if(posted, [window](const MSG& msg) { return msg.hwnd == window; });
}

}  // namespace vh::platform

using namespace vh::platform;

BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
    return journalled("PeekMessageA", window, [&]() -> BOOL {
        if (!msg || isBadWindowFilter(window)) return FALSE;
        pumpHostEvents();
        return takeMessage(*msg, window, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0);
    });
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
    return journalled("GetMessageA", window, [&]() -> BOOL {
        if (!msg || isBadWindowFilter(window)) return -1;
        pumpHostEvents();
        while (!takeMessage(*msg, window, filterMin, filterMax, true)) waitForInput();
        return msg->message != WM_QUIT;
    });
}

BOOL WINAPI WaitMessage(void) {
    return journalled("WaitMessage", nullptr, [&]() -> BOOL {
        pumpHostEvents();
        if (queue().posted.empty() && !queue().quitPending) {
            uint64_t before = queue().arrivals;
            // Events the host has but the game never hears of (a window exposed,
            // say) end one wait and start the next; the host blocks in between.
            while (queue().arrivals == before) waitForInput();
        }
        return TRUE;
    });
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
    return journalled("TranslateMessage", msg ? msg->hwnd : nullptr, [&]() -> BOOL {
        if (!msg || msg->message != WM_KEYDOWN) return FALSE;
        // The typed character is read before any later message, as Windows has it.
        if (WPARAM character = characterOf(msg->wParam))
            queue().posted.push_front(makeMessage(msg->hwnd, WM_CHAR, character, msg->lParam));
        return TRUE;
    });
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    return journalled("DispatchMessageA", msg ? msg->hwnd : nullptr, [&]() -> LRESULT {
        // Messages posted to no window, and those whose window has gone since
        // they were taken, go nowhere.
        if (!msg || !msg->hwnd || !isLiveWindow(msg->hwnd)) return 0;
        return callWindowProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    });
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return journalled("PostMessageA", window, [&]() -> BOOL {
        if (window && !isLiveWindow(window)) return FALSE;
        post(window, message, wParam, lParam);
        return TRUE;
    });
}

UINT WINAPI SendInput(UINT count, LPINPUT inputs, int size) {
    return journalled("SendInput", nullptr, [&]() -> UINT {
        if (!inputs || size != int(sizeof(INPUT))) return 0;
        for (UINT i = 0; i < count; ++i) feed(inputs[i]);
        return count;
    });
}

void WINAPI PostQuitMessage(int exitCode) {
    if (injected("PostQuitMessage", nullptr)) return;
    postQuit(WPARAM(intptr_t(exitCode)));
    record("PostQuitMessage", nullptr, exitCode);
}
