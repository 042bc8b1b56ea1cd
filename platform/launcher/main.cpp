// The executable's entry point on Linux: answer the launcher's own options,
// read the player's settings, find the art, install the SDL host, then run
// the game's WinMain as Windows would. The game's command line is empty: every
// option is the launcher's.
#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <cstdio>
#include <memory>
#include <string>

#include <win32/windows.h>

#include "options.h"
#include "varnholt/application_icon.h"
#include "varnholt/art_folder.h"
#include "varnholt/sdl_host.h"
#include "varnholt/host.h"
#include "varnholt_version.h"

namespace {

// Started with a standard descriptor closed (2>&-), the next file the game
// opens would take its number: the X connection, say, and a message meant
// for stderr would land in the X stream. /dev/null takes each closed one.
void openStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
}

// What --help and --version print: an answer that could not be written
// (a full disk, a closed pipe) is a failure.
int answer(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
    std::fprintf(stderr, "varnholt: cannot write to stdout: %s\n", std::strerror(errno));
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    openStandardDescriptors();
    // Pictures are decoded into buffers of a few hundred kilobytes, and the
    // game decodes its sidebar again each time it comes back to the front.
    // glibc would map each such buffer afresh and fault its pages in one by
    // one; kept in the heap they are reused.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    // A message to a closed pipe must not kill the game: it answers with
    // its exit code like any other time.
    signal(SIGPIPE, SIG_IGN);

    auto file =
        std::make_shared<vh::platform::SettingsFile>(vh::platform::SettingsFile::defaultPath());
    vh::platform::DisplaySettings settings;
    const vh::platform::Options options = vh::platform::parseOptions(argc, argv, settings);
    switch (options.action) {
        case vh::platform::Options::Help:
            return answer(vh::platform::usage());
        case vh::platform::Options::Version:
            return answer(std::string("varnholt ") + VARNHOLT_VERSION + "\n");
        case vh::platform::Options::Refuse:
            std::fprintf(stderr, "varnholt: %s\n%s", options.why.c_str(),
                         vh::platform::usage().c_str());
            return 2;
        case vh::platform::Options::Play:
            break;
    }
    // The file first, the command line over it.
    settings = file->read(
        [](const std::string& line) { std::fprintf(stderr, "varnholt: %s\n", line.c_str()); });
    vh::platform::parseOptions(argc, argv, settings);

    vh::platform::enterArtFolder(vh::platform::programFolder());
    vh::platform::setHost(vh::platform::makeSdlHost(settings, file));
    char commandLine[] = "";
    return WinMain(vh::platform::programInstance(), nullptr, commandLine, SW_SHOWDEFAULT);
}
