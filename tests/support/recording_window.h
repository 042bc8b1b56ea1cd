// A window procedure for tests: it logs every message it is given, in
// order, and lets a test answer the messages it cares about; DefWindowProcA
// answers the rest; and the thread's queue read a message at a time. The
// same on our platform layer and on Windows.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <win32/windows.h>
#endif

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace recording {

struct Seen {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Every message the procedure was given.
inline std::vector<Seen>& seen() {
    static std::vector<Seen> log;
    return log;
}

// Sets `handled` and answers for a message the test cares about; unset
// means DefWindowProcA for all.
using Handler = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM, bool& handled)>;
inline Handler& handler() {
    static Handler current;
    return current;
}

// Answers `result` for the message `which` alone.
inline void answer(UINT which, LRESULT result) {
    handler() = [which, result](HWND, UINT message, WPARAM, LPARAM, bool& handled) {
        handled = message == which;
        return result;
    };
}

inline LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    seen().push_back({window, message, wParam, lParam});
    if (handler()) {
        bool handled = false;
        LRESULT result = handler()(window, message, wParam, lParam, handled);
        if (handled) return result;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Registers a class called `name` whose windows have this procedure; its
// atom, 0 when it could not.
inline ATOM registerClass(const char* name) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.lpszClassName = name;
    return RegisterClassA(&windowClass);
}

// The next message of the thread's queue, taken off it; there must be one.
inline MSG take() {
    MSG msg{};
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "no message was queued";
    return msg;
}

// Whether the thread's queue holds nothing more (what it held is taken off).
inline bool queueEmpty() {
    MSG msg{};
    return !PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
}

}  // namespace recording
