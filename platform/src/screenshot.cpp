// The picture the game shows, saved as a PNG.
#include "screenshot.h"

#include <SDL_image.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace vh::platform {
namespace {

// `xdg-user-dir PICTURES`'s answer, or "" when it has none.
std::string askXdgUserDir() {
    FILE* answer = popen("xdg-user-dir PICTURES 2>/dev/null", "r");
    if (!answer) return "";
    char line[4096] = {};
    const bool got = std::fgets(line, sizeof line, answer) != nullptr;
    pclose(answer);
    if (!got) return "";
    std::string folder(line);
    while (!folder.empty() && (folder.back() == '\n' || folder.back() == '\r')) folder.pop_back();
    return !folder.empty() && folder[0] == '/' ? folder : "";
}

bool makeFolders(const std::string& folder, std::string& whyNot) {
    for (size_t at = folder.find('/', 1);; at = folder.find('/', at + 1)) {
        const std::string part = folder.substr(0, at);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            whyNot = "cannot make " + part + " (" + std::strerror(errno) + ")";
            return false;
        }
        if (at == std::string::npos) return true;
    }
}

}  // namespace

// xdg-user-dir answers the home folder itself for a folder the player never
// named; that is no answer: pictures then go to ~/Pictures.
std::string picturesFolder() {
    const char* homeVariable = std::getenv("HOME");
    std::string home = homeVariable && homeVariable[0] ? homeVariable : ".";
    while (home.size() > 1 && home.back() == '/') home.pop_back();
    std::string folder = askXdgUserDir();
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (!folder.empty() && folder != home) return folder;
    return home + "/Pictures";
}

bool saveScreenshot(SDL_Surface* picture, const std::string& folder, std::string& path,
                    std::string& whyNot) {
    if (!picture) {
        whyNot = "the game has shown no picture yet";
        return false;
    }
    if (!makeFolders(folder, whyNot)) return false;
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
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
