// The launcher's command line: options that change the display for one run,
// and --help and --version. The game itself gets none of them.
#pragma once

#include <string>

#include "varnholt/display_settings.h"

namespace vh::platform {

struct Options {
    enum Action { Play, Help, Version, Refuse };
    Action action = Play;
    std::string why;  // Refuse: what was wrong
};

// Takes the options into `settings` (over what the settings file said).
Options parseOptions(int argc, char** argv, DisplaySettings& settings);

// What --help prints, and what a wrong option is answered with.
std::string usage();

}  // namespace vh::platform
