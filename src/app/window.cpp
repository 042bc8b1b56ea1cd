// The game's window and the handling of its messages.
#include "app/application.h"

LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return Application::instance().handleMessage(hwnd, message, wParam, lParam);
}

ResultCode Application::createWindow() {
    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = moduleInstance;
    windowClass.hIcon = LoadIconA(moduleInstance, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = nullptr;
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = title;
    RegisterClassA(&windowClass);

    window =
        CreateWindowExA(WS_EX_TOPMOST, title, title, WS_POPUP, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                        GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, moduleInstance, nullptr);
    // A window that is never shown stays invisible under some DirectDraw
    // implementations, which then show nothing and pass no keys on.
    ShowWindow(window, SW_SHOW);
    return result::kOk;
}

LRESULT Application::handleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!initialised) return DefWindowProcA(hwnd, message, wParam, lParam);

    switch (message) {
        case WM_CREATE:
            return 0;
        case WM_DESTROY:
            onDestroy(hwnd);
            return 0;
        case WM_ACTIVATEAPP:
            onActivateApp(hwnd, wParam, lParam);
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE) DestroyWindow(hwnd);
            if (result::failed(pointer.onKey(static_cast<uint32_t>(wParam)))) DestroyWindow(hwnd);
            return 0;
        case WM_MOUSEMOVE:
            pointer.onMouse(static_cast<uint32_t>(lParam), 0);
            return 0;
        case WM_LBUTTONUP:
            pointer.onMouse(static_cast<uint32_t>(lParam), 1);
            return 0;
        case WM_RBUTTONUP:
            pointer.onMouse(static_cast<uint32_t>(lParam), 2);
            return 0;
        default:
            return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

void Application::onDestroy(HWND hwnd) {
    if (directDraw) releaseDisplay();
    const bool wasRunning = running;
    running = false;
    // Inside WM_DESTROY the window is already being destroyed and this call
    // changes nothing; on a failed restore it is what destroys the window.
    // Some window systems send WM_DESTROY again for it, so it is made once.
    if (wasRunning) DestroyWindow(hwnd);
}

void Application::onActivateApp(HWND hwnd, WPARAM wParam, LPARAM) {
    // Coming back to the foreground: the surfaces lost their memory meanwhile.
    if (active == 0 && wParam != 0 && restoreSurfaces() == 0) onDestroy(hwnd);
    active = static_cast<int32_t>(wParam);
    if (wParam != 0) {
        clock.resume();
    } else {
        clock.pause();
    }
}
