// The picture the game shows, saved as a PNG in the player's pictures folder.
#pragma once

#include <SDL.h>

#include <ctime>
#include <string>

namespace vh::platform {

// The pictures folder: the one user-dirs.dirs names (XDG_PICTURES_DIR), else
// ~/Pictures.
std::string picturesFolder();

// Saves `picture` in `folder` (made when missing) under a name with the date
// and time it was `taken`, never over a file that is there already. The path
// on success; false with the reason in `whyNot` otherwise.
bool saveScreenshot(SDL_Surface* picture, const std::string& folder, std::string& path,
                    std::string& whyNot, std::time_t taken = std::time(nullptr));

}  // namespace vh::platform
