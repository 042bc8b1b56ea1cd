// What the player is told of pictures that cannot be read.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

#include "gdiplus_private.h"
#include "windows_path.h"
#include "winapi_state.h"

namespace vh::platform::gdiplus {
namespace {

// Why a picture file could not be had, in a few words for the player.
std::string reasonFor(const std::string& path, image::DecodeError error) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return std::strerror(errno);
    if (!S_ISREG(info.st_mode)) return "not a file";
    if (access(path.c_str(), R_OK) != 0) return std::strerror(errno);
    switch (error) {
        case image::DecodeError::Malformed:
            return "not a PNG or GIF picture that can be read";
        case image::DecodeError::TooLarge:
            return "too large a picture";
        case image::DecodeError::OutOfMemory:
            return "out of memory";
        default:
            return "cannot be opened";
    }
}

// A player whose art cannot be read sees a black screen and nothing else:
// the first few picture files that could not be read are named on stderr,
// once each, with the working directory they were looked for in.
constexpr size_t kMostNamedPictures = 5;

}  // namespace

void reportUnreadablePicture(const std::string& windowsPath, image::DecodeError error) {
    auto& named = winapiState().gdiplus.unreadableNamed;
    bool& toldOfMore = winapiState().gdiplus.toldOfMoreUnreadable;
    const std::string path = resolveWindowsPath(windowsPath);
    if (named.count(path)) return;
    if (named.size() >= kMostNamedPictures) {
        if (!toldOfMore) std::fprintf(stderr, "varnholt: more pictures cannot be read either\n");
        toldOfMore = true;
        return;
    }
    named.insert(path);
    char folder[4096];
    const char* workingDirectory = getcwd(folder, sizeof folder) ? folder : "(unknown)";
    std::fprintf(stderr, "varnholt: cannot read the picture %s in the working directory %s: %s\n",
                 path.c_str(), workingDirectory, reasonFor(path, error).c_str());
}

}  // namespace vh::platform::gdiplus
