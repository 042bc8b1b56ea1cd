// The GDI+ calls that Varnholt uses, declared for hosts that are not Windows,
// in the namespaces where the Windows headers put them: start-up and shut-down
// in Gdiplus, the flat functions in Gdiplus::DllExports.
#pragma once

#include "windows.h"

namespace Gdiplus {

enum Status {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
    FontFamilyNotFound = 14,
    FontStyleNotFound = 15,
    NotTrueTypeFont = 16,
    UnsupportedGdiplusVersion = 17,
    GdiplusNotInitialized = 18,
    PropertyNotFound = 19,
    PropertyNotSupported = 20,
    ProfileNotFound = 21
};
typedef Status GpStatus;
typedef DWORD ARGB;

class GpImage {};
class GpBitmap : public GpImage {};

enum DebugEventLevel { DebugEventLevelFatal, DebugEventLevelWarning };
typedef VOID(WINAPI* DebugEventProc)(DebugEventLevel level, CHAR* message);

struct GdiplusStartupInput {
    UINT32 GdiplusVersion;
    DebugEventProc DebugEventCallback;
    BOOL SuppressBackgroundThread;
    BOOL SuppressExternalCodecs;

    GdiplusStartupInput(DebugEventProc callback = nullptr, BOOL suppressBackgroundThread = FALSE,
                        BOOL suppressExternalCodecs = FALSE)
        : GdiplusVersion(1),
          DebugEventCallback(callback),
          SuppressBackgroundThread(suppressBackgroundThread),
          SuppressExternalCodecs(suppressExternalCodecs) {}
};

struct GdiplusStartupOutput {
    void* NotificationHook = nullptr;
    void* NotificationUnhook = nullptr;
};

GpStatus WINAPI GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input,
                               GdiplusStartupOutput* output);
VOID WINAPI GdiplusShutdown(ULONG_PTR token);

namespace DllExports {
GpStatus WINAPI GdipCreateBitmapFromFile(const WCHAR* path, GpBitmap** bitmap);
GpStatus WINAPI GdipCreateHBITMAPFromBitmap(GpBitmap* bitmap, HBITMAP* handle, ARGB background);
GpStatus WINAPI GdipDisposeImage(GpImage* image);
VOID* WINAPI GdipAlloc(size_t size);
VOID WINAPI GdipFree(VOID* memory);
}  // namespace DllExports

}  // namespace Gdiplus
