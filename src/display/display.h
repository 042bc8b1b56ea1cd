// The exclusive full-screen display. Its state and its set-up and release are
// part of the Application (app/application_display.cpp); what is free of it
// lives here.
#pragma once

#include <cstdint>

#include "winapi.h"

// The raw value that `surface`'s pixel format gives the GDI colour `color`
// (0x00BBGGRR), found by letting GDI write it at (0, 0) and reading it back.
// 0xFFFFFFFF when the surface cannot be locked.
uint32_t matchColor(COLORREF color, IDirectDrawSurface* surface);

constexpr COLORREF kMagenta = 0x00FF00FF;
constexpr uint32_t kNoColorKey = 0xFFFFFFFF;
