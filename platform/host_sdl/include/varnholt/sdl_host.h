// The player's host: the SDL window the game shows itself in.
#pragma once

#include <memory>

#include "varnholt/display_settings.h"
#include "varnholt/host.h"

namespace vh::platform {

// The SDL host with the player's settings; when `file` is given, what the
// player changes by playing (the mode, the window's place) is written to it.
std::unique_ptr<Host> makeSdlHost(const DisplaySettings& settings = {},
                                  std::shared_ptr<SettingsFile> file = nullptr);

}  // namespace vh::platform
