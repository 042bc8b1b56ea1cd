// What the message queue needs from the window list.
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
// Drops the posted messages still queued for a destroyed window.
void forgetPostedMessages(HWND window);

}  // namespace vh::platform
