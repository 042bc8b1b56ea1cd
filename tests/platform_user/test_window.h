// A window class for tests: its procedure hands every message to whatever
// the test installs, and keeps a log of the messages it saw.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include <win32/windows.h>

#include "varnholt/platform_test.h"

namespace testwin {

struct Seen {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

inline std::vector<Seen>& seen() {
    static std::vector<Seen> log;
    return log;
}

// Answers for a message the test cares about; unset means DefWindowProcA.
inline std::function<LRESULT(HWND, UINT, WPARAM, LPARAM, bool& handled)>& handler() {
    static std::function<LRESULT(HWND, UINT, WPARAM, LPARAM, bool&)> current;
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

inline const char* kClassName = "VarnholtTestWindow";

inline ATOM registerClass() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.lpszClassName = kClassName;
    return RegisterClassA(&windowClass);
}

inline HWND create() {
    return CreateWindowExA(0, kClassName, "test", WS_POPUP | WS_VISIBLE, 0, 0, 1024, 768, nullptr,
                           nullptr, nullptr, nullptr);
}

inline std::vector<UINT> messagesSeen() {
    std::vector<UINT> out;
    for (const auto& entry : seen()) out.push_back(entry.message);
    return out;
}

// Every test starts with a registered class and an empty log.
class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        vh::test::resetHooks();
        seen().clear();
        handler() = nullptr;
        ASSERT_NE(registerClass(), 0);
    }
};

}  // namespace testwin
