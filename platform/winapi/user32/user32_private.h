// What the window list (user32_windows.cpp) and the message queue
// (user32_messages.cpp) need from each other.
#pragma once

#include <win32/windows.h>

namespace vh::platform {

// Whether the handle names a window that can still receive messages (created
// and not yet destroyed).
bool isLiveWindow(HWND window);
// Calls the window's procedure directly, as SendMessage does, and journals it
// as "WindowProc". A window that is gone answers 0 without a call.
LRESULT callWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The window that the host's input belongs to: the live window the host
// window was opened for, or NULL.
HWND hostWindowOwner();
// The WM_QUIT code posted when the game waits for input that the host says
// will never come (the headless host with nothing scripted), so that a game
// without input ends instead of waiting for ever.
// The code is "WA" (wait) in ASCII, so that a test's exit status names it;
// no game result has this value.
constexpr int kNoInputQuitCode = 0x5741;

// The desktop's window: never one of ours, below the first handle we give.
const HWND kDesktopWindow = reinterpret_cast<HWND>(uintptr_t(0x1000C));

// The program gaining or losing the foreground, from the host's focus or
// SetForegroundWindow.
void changeForeground(bool gained);

// Drops the posted messages still queued for a destroyed window.
void forgetPostedMessages(HWND window);

}  // namespace vh::platform
