// Where an installed game finds its art. The game reads its pictures relative
// to its working directory; installed, they lie in a folder of their own,
// found relative to the program (share/games/varnholt beside games/ on Debian).
#pragma once

#include <string>

namespace vh::platform {

// The folder that holds the running program; empty when it cannot be told.
std::string programFolder();

// Makes the installed art folder, seen from `programFolder`, the working
// directory when that folder exists. True when it did; otherwise the working
// directory stays as it was (a copy in the build tree is started from the art
// folder itself).
bool enterArtFolder(const std::string& programFolder);

}  // namespace vh::platform
