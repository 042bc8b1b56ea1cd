// The one object that holds the running game: the display, the window, the
// game clock, the city screen and the pointer state.
#pragma once

#include "app/result_code.h"
#include "city/city_screen.h"
#include "city/pointer_state.h"
#include "clock/game_clock.h"
#include "winapi.h"

class Application {
  public:
    // Made on the first call, never destroyed.
    static Application& instance();

    // 1 on success, or the code of the step that failed.
    ResultCode initialize(const char* windowTitle, HINSTANCE instance);
    // The frame loop: 0 when the game ended, or the wParam of a WM_QUIT.
    int run();
    // 1 when all was restored, 0 when the primary surface or back buffer
    // could not be, or the registry's failure code.
    ResultCode restoreSurfaces();

    ResultCode createWindow();
    LRESULT handleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    ResultCode initDisplay();
    void releaseDisplay();

    IDirectDraw* directDraw = nullptr;
    IDirectDrawSurface* primarySurface = nullptr;
    IDirectDrawSurface* backBuffer = nullptr;
    CityScreen cityScreen;
    bool initialised = false;
    bool running = true;
    const char* title = nullptr;
    HINSTANCE moduleInstance = nullptr;
    HWND window = nullptr;
    GameClock clock;
    double lastClockReading = 0.0;
    int32_t active = 1;
    PointerState pointer;
    int32_t width = 1024;
    int32_t height = 768;
    int32_t bitsPerPixel = 32;
    uint32_t colorKey = 0;
    // Some sprite could not be restored yet: it is tried again before each frame.
    bool spritesLost = false;

    // One frame: pointer dispatch, clock, drawing and flip. Public so that the
    // benchmarks can time frames without the message loop around them.
    void runFrame();

  private:
    Application() = default;
    void onActivateApp(HWND hwnd, WPARAM wParam, LPARAM lParam);
    void onDestroy(HWND hwnd);
    void recoverLostSurfaces();
    ResultCode restoreSprites();
    void retryLostSprites();
};

// The window procedure: forwards every message to Application::handleMessage.
LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
