// A window procedure for tests: it logs every message it is given, in
// order, and lets a test answer the messages it cares about; DefWindowProcA
// answers the rest. The same on our platform layer and on Windows.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <win32/windows.h>
#endif

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

inline LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    seen().push_back({window, message, wParam, lParam});
    if (handler()) {
        bool handled = false;
        LRESULT result = handler()(window, message, wParam, lParam, handled);
        if (handled) return result;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace recording
