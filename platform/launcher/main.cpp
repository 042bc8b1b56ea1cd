// The executable's entry point on Linux: install the SDL host, then run the
// game's WinMain as Windows would, with the command line as one string.
#include <string>

#include <win32/windows.h>

#include "varnholt/host.h"

namespace {

// The module handle only has to be non-null and stable.
struct Module {
    int unused;
} module;

std::string commandLine(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        line += argv[i];
    }
    return line;
}

}  // namespace

int main(int argc, char** argv) {
    vh::platform::setHost(vh::platform::makeSdlHost());
    std::string line = commandLine(argc, argv);
    return WinMain(reinterpret_cast<HINSTANCE>(&module), nullptr, line.data(), SW_SHOWDEFAULT);
}
