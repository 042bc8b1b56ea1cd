// Windows paths on a Linux file system.
#pragma once

#include <string>

namespace vh::platform {

// The Linux path of a Windows path: backslashes become slashes, a leading
// ".\" (and any "." folder) is the working directory, and a name that
// differs from the file's only in case still finds it, as Windows file names
// ignore case.
std::string resolveWindowsPath(const std::string& windowsPath);

// A wide string (UTF-32 here, as wchar_t is on Linux) as the UTF-8 the file
// system takes.
std::string pathFromWide(const wchar_t* text);

}  // namespace vh::platform
