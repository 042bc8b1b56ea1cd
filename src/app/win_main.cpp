// The entry point: GDI+ around the application's start-up and frame loop.
#include "app/application.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GdiplusStartupInput input;
    input.GdiplusVersion = 1;
    input.DebugEventCallback = nullptr;
    input.SuppressBackgroundThread = FALSE;
    input.SuppressExternalCodecs = FALSE;
    Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr);

    Application& app = Application::instance();
    ResultCode code = app.initialize("Varnholt", instance);
    if (result::failed(code)) {
        Gdiplus::GdiplusShutdown(gdiplusToken);
        return code | result::kStartUpFailed;
    }

    int exitCode = app.run();
    Gdiplus::GdiplusShutdown(gdiplusToken);
    if (result::failed(exitCode)) exitCode |= result::kLoopFailed;
    return exitCode;
}
