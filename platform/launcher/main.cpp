// The executable's entry point on Linux: answer the launcher's own options,
// find the art, install the SDL host, then run the game's WinMain as Windows
// would, with the command line as one string.
#include <malloc.h>
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <string>

#include <win32/windows.h>

#include "varnholt/application_icon.h"
#include "varnholt/art_folder.h"
#include "varnholt/host.h"
#include "varnholt_version.h"

namespace {

// The options the launcher answers itself, before the game starts: true when
// the program is to end at once with `exitCode`.
bool answerOptions(int argc, char** argv, int& exitCode) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("varnholt %s\n", VARNHOLT_VERSION);
            exitCode = 0;
            return true;
        }
    }
    return false;
}

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
    // Pictures are decoded into buffers of a few hundred kilobytes, and the
    // game decodes its sidebar again each time it comes back to the front.
    // glibc would map each such buffer afresh and fault its pages in one by
    // one; kept in the heap they are reused.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    // A message to a closed pipe must not kill the game: it answers with
    // its exit code like any other time.
    signal(SIGPIPE, SIG_IGN);
    int exitCode = 0;
    if (answerOptions(argc, argv, exitCode)) return exitCode;
    vh::platform::enterArtFolder(vh::platform::programFolder());
    vh::platform::setHost(vh::platform::makeSdlHost());
    std::string line = commandLine(argc, argv);
    return WinMain(vh::platform::programInstance(), nullptr, line.data(), SW_SHOWDEFAULT);
}
