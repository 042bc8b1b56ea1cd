// The player's display settings and their file.
#include "varnholt/display_settings.h"

#include <ini.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>

#include "journal.h"

namespace vh::platform {
namespace {

// The file's lines are handed to inih one at a time, each behind the header
// of the section it stands in and before a probe key, so that every answer
// can be put down to its line: the probe tells the section in force after
// the line, and a line that inih refuses is that line's fault.
constexpr const char* kProbe = "varnholt-section-probe";

// Lines beyond this many that cannot be taken are counted, not each told.
constexpr int kMostReportedLines = 100;

struct Parsed {
    std::string section;
    struct Pair {
        std::string key;
        std::optional<std::string> value;
    };
    std::vector<Pair> pairs;
    bool refused = false;
};

int takePair(void* user, const char* section, const char* name, const char* value) {
    auto* parsed = static_cast<Parsed*>(user);
    if (std::strcmp(name, kProbe) == 0) {
        parsed->section = section;
        return 1;
    }
    parsed->pairs.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
    return 1;
}

void configureParser() {
    // One line at a time, of any length; a line without "=" reaches the
    // handler (with no value) so that it can be told to the player.
    ini_allow_multiline = false;
    ini_use_stack = false;
    ini_allow_realloc = true;
    ini_allow_no_value = true;
    ini_stop_on_first_error = false;
}

Parsed parseLine(const std::string& section, const std::string& line) {
    Parsed parsed;
    parsed.section = section;
    const std::string text = "[" + section + "]\n" + line + "\n" + kProbe + " = 1\n";
    parsed.refused = ini_parse_string(text.c_str(), takePair, &parsed) == 2;
    return parsed;
}

bool parseInteger(const std::string& text, int low, int high, int& out) {
    int value = 0;
    const char* end = text.data() + text.size();
    auto [at, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || at != end || value < low || value > high) return false;
    out = value;
    return true;
}

template <typename Value, size_t N>
bool parseChoice(const std::string& text, const std::pair<const char*, Value> (&choices)[N],
                 Value& out, std::string& why) {
    for (const auto& [name, value] : choices) {
        if (text == name) {
            out = value;
            return true;
        }
    }
    why = "accepted values are";
    for (size_t i = 0; i < N; ++i) why += std::string(i ? ", " : " ") + choices[i].first;
    return false;
}

constexpr std::pair<const char*, ScreenMode> kModes[] = {{"fullscreen", ScreenMode::FullScreen},
                                                         {"windowed", ScreenMode::Windowed}};
constexpr std::pair<const char*, Scaling> kScalings[] = {
    {"aspect", Scaling::Aspect}, {"integer", Scaling::Integer}, {"stretch", Scaling::Stretch}};
constexpr std::pair<const char*, Filter> kFilters[] = {{"nearest", Filter::Nearest},
                                                       {"linear", Filter::Linear}};
constexpr std::pair<const char*, bool> kSwitches[] = {{"on", true}, {"off", false}};

constexpr int kMostFramesPerSecond = 1000;
constexpr int kFarthestWindowPlace = 100000;
constexpr int kSmallestWindowSide = 64;
constexpr int kLargestWindowSide = 16384;

template <typename Value, size_t N>
const char* nameIn(const std::pair<const char*, Value> (&choices)[N], Value value) {
    for (const auto& [name, choice] : choices)
        if (choice == value) return name;
    return "";
}

std::string trimmed(std::string text) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    return text;
}

// A line that sets `key` as the file says it.
std::string settingLine(const std::string& key, const std::string& value) {
    return key + " = " + value;
}

}  // namespace

const char* nameOf(ScreenMode mode) {
    return nameIn(kModes, mode);
}
const char* nameOf(Scaling scaling) {
    return nameIn(kScalings, scaling);
}
const char* nameOf(Filter filter) {
    return nameIn(kFilters, filter);
}

bool applySetting(DisplaySettings& settings, const std::string& section, const std::string& key,
                  const std::string& value, std::string& why) {
    if (section == "display") {
        if (key == "mode") return parseChoice(value, kModes, settings.mode, why);
        if (key == "scale") return parseChoice(value, kScalings, settings.scaling, why);
        if (key == "filter") return parseChoice(value, kFilters, settings.filter, why);
        if (key == "vsync") return parseChoice(value, kSwitches, settings.vsync, why);
        if (key == "max-fps") {
            if (parseInteger(value, 0, kMostFramesPerSecond, settings.maxFps)) return true;
            why = "accepted values are whole numbers from 0 (no cap) to " +
                  std::to_string(kMostFramesPerSecond);
            return false;
        }
    } else if (section == "window") {
        int* place = key == "x" ? &settings.windowX : key == "y" ? &settings.windowY : nullptr;
        int* side = key == "width"    ? &settings.windowWidth
                    : key == "height" ? &settings.windowHeight
                                      : nullptr;
        if (place) {
            if (parseInteger(value, -kFarthestWindowPlace, kFarthestWindowPlace, *place)) {
                settings.hasWindow = true;
                return true;
            }
            why = "accepted values are whole numbers from " +
                  std::to_string(-kFarthestWindowPlace) + " to " +
                  std::to_string(kFarthestWindowPlace);
            return false;
        }
        if (side) {
            if (parseInteger(value, kSmallestWindowSide, kLargestWindowSide, *side)) {
                settings.hasWindow = true;
                return true;
            }
            why = "accepted values are whole numbers from " + std::to_string(kSmallestWindowSide) +
                  " to " + std::to_string(kLargestWindowSide);
            return false;
        }
    }
    why =
        "not a setting; the settings are mode, scale, filter, vsync and max-fps under "
        "[display], and x, y, width and height under [window]";
    return false;
}

std::string SettingsFile::defaultPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (config && config[0] == '/') {
        folder = config;
    } else {
        const char* home = std::getenv("HOME");
        folder = std::string(home && home[0] ? home : ".") + "/.config";
    }
    return folder + "/varnholt/settings.ini";
}

DisplaySettings SettingsFile::read(const std::function<void(const std::string&)>& report) {
    DisplaySettings settings;
    lines_.clear();
    owned_.clear();
    saved_ = settings;
    std::ifstream file(path_, std::ios::binary);
    if (!file) {
        if (errno != ENOENT)
            report(path_ + ": cannot be read (" + std::strerror(errno) + "); using the defaults");
        return settings;
    }
    configureParser();
    std::string line, section;
    int unreported = 0, reported = 0;
    auto tell = [&](size_t number, const std::string& what) {
        if (reported >= kMostReportedLines) {
            ++unreported;
            return;
        }
        ++reported;
        report(path_ + ":" + std::to_string(number) + ": " + what);
    };
    // The last valid line for a setting wins; a wrong value leaves the
    // setting as it was.
    while (std::getline(file, line)) {
        lines_.push_back(line);
        const size_t number = lines_.size();
        Parsed parsed = parseLine(section, trimmed(line));
        if (parsed.refused) {
            tell(number, "not a setting or a [section]: \"" + trimmed(line) + "\"");
            continue;
        }
        section = parsed.section;
        for (const auto& pair : parsed.pairs) {
            if (!pair.value) {
                tell(number, "\"" + pair.key + "\" has no value (write " + pair.key + " = value)");
                continue;
            }
            std::string why;
            DisplaySettings tried = settings;
            if (applySetting(tried, section, pair.key, *pair.value, why)) {
                settings = tried;
                owned_[section + "." + pair.key] = number - 1;
            } else {
                tell(number, pair.key + " = " + *pair.value + " in [" + section + "]: " + why);
            }
        }
    }
    if (file.bad()) report(path_ + ": could not be read to its end (" + std::strerror(errno) + ")");
    if (unreported > 0)
        report(path_ + ": " + std::to_string(unreported) + " more lines could not be taken");
    saved_ = settings;
    return settings;
}

bool SettingsFile::write(const DisplaySettings& settings, std::string& whyNot) {
    const std::vector<std::pair<std::string, std::string>> values{
        {"display.mode", nameOf(settings.mode)},
        {"window.x", std::to_string(settings.windowX)},
        {"window.y", std::to_string(settings.windowY)},
        {"window.width", std::to_string(settings.windowWidth)},
        {"window.height", std::to_string(settings.windowHeight)}};
    std::vector<std::string> lines = lines_;
    std::map<std::string, std::vector<std::string>> added;  // section -> its new lines
    for (const auto& [name, value] : values) {
        const std::string section = name.substr(0, name.find('.'));
        const std::string key = name.substr(name.find('.') + 1);
        if (section == "window" && !settings.hasWindow) continue;
        auto at = owned_.find(name);
        if (at != owned_.end())
            lines[at->second] = settingLine(key, value);
        else
            added[section].push_back(settingLine(key, value));
    }
    for (const auto& [section, settingLines] : added) {
        if (!lines.empty() && !lines.back().empty()) lines.push_back("");
        lines.push_back("[" + section + "]");
        lines.insert(lines.end(), settingLines.begin(), settingLines.end());
    }
    std::string text;
    for (const auto& line : lines) text += line + "\n";

    const size_t slash = path_.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path_.substr(0, slash);
    // The folder and its parent (~/.config) are made when missing.
    for (size_t at = folder.find('/', 1); at != std::string::npos; at = folder.find('/', at + 1))
        mkdir(folder.substr(0, at).c_str(), 0755);
    mkdir(folder.c_str(), 0755);
    std::string temporary = folder + "/.settings.ini.XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        whyNot = "cannot write in " + folder + " (" + std::strerror(errno) + ")";
        return false;
    }
    bool written = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    written = fsync(fd) == 0 && written;
    written = close(fd) == 0 && written;
    const bool renamed = written && journalled("rename settings", nullptr, [&] {
                                        return std::rename(temporary.c_str(), path_.c_str());
                                    }) == 0;
    if (!renamed) {
        whyNot = "cannot write " + path_ + " (" + std::strerror(errno) + ")";
        unlink(temporary.c_str());
        return false;
    }
    // The file now holds what was written; reading it again finds the lines
    // that the next write changes in place.
    read([](const std::string&) {});
    return true;
}

}  // namespace vh::platform
