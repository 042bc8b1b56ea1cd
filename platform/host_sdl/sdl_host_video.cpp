// The SDL host's video: which of SDL's drivers to start, and why none could.
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "sdl_host.h"

namespace vh::platform {
namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool isFolder(const std::string& path) {
    struct stat info;
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::vector<std::string> splitList(const std::string& list) {
    std::vector<std::string> items;
    std::stringstream stream(list);
    std::string item;
    while (std::getline(stream, item, ','))
        if (!item.empty()) items.push_back(item);
    return items;
}

std::string joinList(const std::vector<std::string>& items) {
    std::string list;
    for (const auto& item : items) list += (list.empty() ? "" : ",") + item;
    return list;
}

// The video drivers to try, and when none is left, why. Drivers that show
// nothing and never deliver input (dummy, offscreen) would leave a game
// running unseen, so they are never tried, even when named. Wayland is tried
// only where it can be reached, so that its library does not complain first.
std::vector<std::string> videoDrivers(std::string& whyNone) {
    const std::string named = environment("SDL_VIDEODRIVER");
    const bool waylandReachable = isFolder(environment("XDG_RUNTIME_DIR"));
    std::vector<std::string> wanted = splitList(named.empty() ? "x11,wayland,KMSDRM" : named);
    std::vector<std::string> drivers;
    for (const auto& driver : wanted) {
        if (driver == "dummy" || driver == "offscreen" || driver == "evdev") {
            whyNone = "the SDL video driver \"" + driver + "\" shows no picture";
            continue;
        }
        if (driver == "wayland" && !waylandReachable) {
            whyNone = "Wayland needs XDG_RUNTIME_DIR, which is not set to a folder";
            continue;
        }
        drivers.push_back(driver);
    }
    return drivers;
}

// Why no driver could start, in words a player can act on.
std::string noDisplayReason(const std::string& sdlError) {
    if (!environment("SDL_VIDEODRIVER").empty())
        return "SDL_VIDEODRIVER=" + environment("SDL_VIDEODRIVER") + ": " + sdlError;
    const std::string display = environment("DISPLAY");
    const std::string wayland = environment("WAYLAND_DISPLAY");
    if (!display.empty()) return "the X server at DISPLAY=" + display + " cannot be reached";
    if (!wayland.empty())
        return "the Wayland display " + wayland + " cannot be reached, and DISPLAY is not set";
    return "DISPLAY is not set (start the game from a desktop session)";
}

}  // namespace

bool SdlHost::startVideo(std::string& whyNot) {
    if (videoReady_) return true;
    if (videoFailed_) {
        whyNot = videoError_;
        return false;
    }
    // One window: closing it is a close request, not a quit of its own.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // Leaving focus must not minimise the game; it keeps its window.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // The window's framebuffer is the X server's shared memory, not a
    // texture of a graphics library that would be loaded for it.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    std::string whyNone;
    std::vector<std::string> drivers = videoDrivers(whyNone);
    if (drivers.empty()) {
        videoError_ = whyNone;
    } else {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, joinList(drivers).c_str());
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
            videoReady_ = true;
            // The window's own X events, to hear of its destruction.
            SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
            // A closed terminal ends the game as Ctrl+C does: through SDL's
            // own SIGTERM handling, which closes the window and saves.
            struct sigaction hangUp {};
            hangUp.sa_handler = [](int) { raise(SIGTERM); };
            sigaction(SIGHUP, &hangUp, nullptr);
            return true;
        }
        videoError_ = noDisplayReason(SDL_GetError());
    }
    videoFailed_ = true;
    whyNot = videoError_;
    return false;
}

bool SdlHost::hasDisplay() {
    std::string whyNot;
    return !windowFailed_ && startVideo(whyNot);
}

SDL_DisplayMode SdlHost::desktopMode() {
    SDL_DisplayMode mode{};
    std::string whyNot;
    if (startVideo(whyNot)) SDL_GetDesktopDisplayMode(0, &mode);
    return mode;
}

}  // namespace vh::platform
