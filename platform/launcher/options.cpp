// The launcher's command line.
#include "options.h"

#include <cstring>

namespace vh::platform {
namespace {

bool startsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

}  // namespace

std::string usage() {
    return "usage: varnholt [options]\n"
           "  --fullscreen            play full screen (the default)\n"
           "  --windowed              play in a window\n"
           "  --scale=aspect|integer|stretch\n"
           "                          how the picture fills the screen (default aspect)\n"
           "  --filter=sharp|nearest|linear\n"
           "                          how the picture is scaled (default sharp)\n"
           "  --vsync=on|off          keep to the display's refresh (default on)\n"
           "  --max-fps=N             at most N frames a second, 0 for no cap (default 0)\n"
           "  --help                  this text\n"
           "  --version               the game's version\n"
           "These change the display for this run only; the settings file is\n"
           "$XDG_CONFIG_HOME/varnholt/settings.ini (~/.config/varnholt/settings.ini).\n"
           "Keys: Escape quits, Alt+Enter switches full screen and window, Ctrl+F10\n"
           "releases the pointer, F12 saves a screenshot.\n";
}

Options parseOptions(int argc, char** argv, DisplaySettings& settings) {
    Options options;
    // Values go through the settings file's own rules, so that both take
    // and refuse the same words.
    const std::pair<const char*, const char*> valued[] = {{"--scale=", "scale"},
                                                          {"--filter=", "filter"},
                                                          {"--vsync=", "vsync"},
                                                          {"--max-fps=", "max-fps"}};
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--help") == 0) {
            options.action = Options::Help;
            return options;
        }
        if (std::strcmp(arg, "--version") == 0) {
            options.action = Options::Version;
            return options;
        }
        if (std::strcmp(arg, "--fullscreen") == 0) {
            settings.mode = ScreenMode::FullScreen;
            continue;
        }
        if (std::strcmp(arg, "--windowed") == 0) {
            settings.mode = ScreenMode::Windowed;
            continue;
        }
        bool taken = false;
        for (const auto& [prefix, key] : valued) {
            if (!startsWith(arg, prefix)) continue;
            std::string why;
            if (!applySetting(settings, "display", key, arg + std::strlen(prefix), why)) {
                options.action = Options::Refuse;
                options.why = std::string(arg) + ": " + why;
                return options;
            }
            taken = true;
        }
        if (!taken) {
            options.action = Options::Refuse;
            options.why = std::string("unknown option ") + arg;
            return options;
        }
    }
    return options;
}

}  // namespace vh::platform
