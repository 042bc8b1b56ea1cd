// The one header through which the game reaches its platform: the Windows
// headers on Windows, and elsewhere the platform layer's declarations of the
// same names, values and signatures.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <mmsystem.h>
#include <ddraw.h>
#include <gdiplus.h>
#else
#include <win32/windows.h>
#include <win32/ddraw.h>
#include <win32/gdiplus.h>
#endif
