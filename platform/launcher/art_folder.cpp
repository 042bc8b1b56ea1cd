// The installed art folder, found from the program's own location so that a
// relocated install finds it too.
#include "varnholt/art_folder.h"

#include <SDL.h>

#include <filesystem>
#include <system_error>

#include "varnholt_version.h"

namespace vh::platform {

std::string programFolder() {
    char* base = SDL_GetBasePath();  // the program's folder, from /proc/self/exe
    if (!base) return {};
    std::string folder = base;
    SDL_free(base);
    return folder;
}

bool enterArtFolder(const std::string& programFolder) {
    if (programFolder.empty()) return false;
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path art = fs::path(programFolder) / VARNHOLT_DATA_FROM_PROGRAM;
    if (!fs::is_directory(art, error)) return false;
    fs::current_path(art, error);
    return !error;
}

}  // namespace vh::platform
