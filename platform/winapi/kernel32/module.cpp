// Modules: the program's own is the only one loaded, as far as the game can
// tell; a library asked for by name is not here.
#include <win32/windows.h>

#include "varnholt/application_icon.h"
#include "varnholt/journal.h"

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
    using namespace vh::platform;
    return journalled("GetModuleHandleA", nullptr,
                      [&]() -> HMODULE { return name ? nullptr : programInstance(); });
}
