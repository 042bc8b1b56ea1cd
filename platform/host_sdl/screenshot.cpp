// The picture the game shows, saved as a PNG.
#include "screenshot.h"

#include <SDL_image.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "user_files.h"

namespace vh::platform {

// The folder the player named for pictures in user-dirs.dirs, read here
// rather than asked of xdg-user-dir, whose answer could keep the game from
// its input for as long as it takes; else ~/Pictures.
std::string picturesFolder() {
    const std::string named = userDirectory("PICTURES");
    return named.empty() ? homeFolder() + "/Pictures" : named;
}

bool saveScreenshot(SDL_Surface* picture, const std::string& folder, std::string& path,
                    std::string& whyNot, std::time_t taken) {
    if (!picture) {
        whyNot = "the game has shown no picture yet";
        return false;
    }
    if (!makeFolders(folder, whyNot)) return false;
    char stamp[32];
    std::tm local{};
    localtime_r(&taken, &local);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
    // The first free name: a second picture in the same second gets "-2".
    int fd = -1;
    for (int number = 1; fd < 0 && number < 1000; ++number) {
        path = folder + "/varnholt_" + stamp + (number > 1 ? "-" + std::to_string(number) : "") +
               ".png";
        fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        whyNot = "cannot make " + path + " (" + std::strerror(errno) + ")";
        return false;
    }
    FILE* file = fdopen(fd, "wb");
    SDL_RWops* stream = file ? SDL_RWFromFP(file, SDL_TRUE) : nullptr;
    if (!stream) {
        if (file)
            std::fclose(file);
        else
            close(fd);
        unlink(path.c_str());
        whyNot = "cannot write " + path;
        return false;
    }
    if (IMG_SavePNG_RW(picture, stream, 1) != 0) {
        whyNot = "cannot write " + path + " (" + IMG_GetError() + ")";
        unlink(path.c_str());
        return false;
    }
    return true;
}

}  // namespace vh::platform
