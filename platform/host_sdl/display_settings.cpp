// The player's display settings and their file.
#include "varnholt/display_settings.h"

#include <ini.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "user_files.h"

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

// A whole number from `low` to `high`; else why not, naming the range (and
// what `low` means, where it means something of its own).
bool parseInteger(const std::string& text, int low, int high, int& out, std::string& why,
                  const char* lowMeans = "") {
    int value = 0;
    const char* end = text.data() + text.size();
    auto [at, error] = std::from_chars(text.data(), end, value);
    if (error == std::errc() && at == end && value >= low && value <= high) {
        out = value;
        return true;
    }
    why = "accepted values are whole numbers from " + std::to_string(low) + lowMeans + " to " +
          std::to_string(high);
    return false;
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
constexpr std::pair<const char*, Filter> kFilters[] = {
    {"sharp", Filter::Sharp}, {"nearest", Filter::Nearest}, {"linear", Filter::Linear}};
constexpr std::pair<const char*, bool> kSwitches[] = {{"on", true}, {"off", false}};

constexpr int kMostFramesPerSecond = 1000;
constexpr int kFarthestWindowPlace = 100000;
constexpr int kSmallestWindowSide = SettingsFile::kSmallestWindowSide;
constexpr int kLargestWindowSide = SettingsFile::kLargestWindowSide;
// A line longer than this is no setting (and longer than inih takes whole).
constexpr size_t kLongestSettingLine = 160;
constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";

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

bool isComment(const std::string& line) {
    const size_t first = line.find_first_not_of(" \t");
    return first == std::string::npos || line[first] == ';' || line[first] == '#';
}

// The file's lines, each without its '\n'; a last line without one counts.
std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t from = 0;
    while (from < text.size()) {
        size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(from, end - from));
        from = end + 1;
    }
    return lines;
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
        if (key == "max-fps")
            return parseInteger(value, 0, kMostFramesPerSecond, settings.maxFps, why, " (no cap)");
    } else if (section == "window") {
        int* place = key == "x" ? &settings.windowX : key == "y" ? &settings.windowY : nullptr;
        int* side = key == "width"    ? &settings.windowWidth
                    : key == "height" ? &settings.windowHeight
                                      : nullptr;
        const bool taken =
            place  ? parseInteger(value, -kFarthestWindowPlace, kFarthestWindowPlace, *place, why)
            : side ? parseInteger(value, kSmallestWindowSide, kLargestWindowSide, *side, why)
                   : false;
        if (taken) settings.hasWindow = true;
        if (place || side) return taken;
    }
    why =
        "not a setting; the settings are mode, scale, filter, vsync and max-fps under "
        "[display], and x, y, width and height under [window]";
    return false;
}

std::string SettingsFile::defaultPath() {
    return configFolder() + "/varnholt/settings.ini";
}

DisplaySettings SettingsFile::read(const std::function<void(const std::string&)>& report) {
    std::string whyNot;
    if (!load(report, whyNot)) report(path_ + ": " + whyNot + "; using the defaults");
    return saved_;
}

bool SettingsFile::load(const std::function<void(const std::string&)>& report,
                        std::string& whyNot) {
    saved_ = DisplaySettings{};
    lines_.clear();
    owned_.clear();
    sectionEnds_.clear();
    byteOrderMark_ = false;
    std::string text;
    switch (readSmallFile(path_, kLargestFile, text, whyNot)) {
        case SmallFile::Missing:
            return true;
        case SmallFile::Refused:
            return false;
        case SmallFile::Read:
            break;
    }
    if (text.rfind(kByteOrderMark, 0) == 0) {
        byteOrderMark_ = true;
        text.erase(0, 3);
    }
    // UTF-16 and other encodings with zero bytes: nothing here is a setting,
    // and a write would mix encodings.
    if (text.find('\0') != std::string::npos) {
        whyNot = "is not UTF-8 text";
        return false;
    }
    lines_ = splitLines(text);
    configureParser();
    std::string section;
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
    DisplaySettings settings;
    for (size_t index = 0; index < lines_.size(); ++index) {
        const std::string line = trimmed(lines_[index]);
        const size_t number = index + 1;
        if (isComment(line)) continue;
        if (line.size() > kLongestSettingLine) {
            tell(number, "a line of " + std::to_string(line.size()) +
                             " bytes is too long to be a setting or a [section]");
            continue;
        }
        Parsed parsed = parseLine(section, line);
        if (parsed.refused) {
            tell(number, "not a setting or a [section]: \"" + line + "\"");
            continue;
        }
        section = parsed.section;
        sectionEnds_[section] = index;
        for (const auto& pair : parsed.pairs) {
            if (!pair.value) {
                tell(number, "\"" + pair.key + "\" has no value (write " + pair.key + " = value)");
                continue;
            }
            std::string why;
            DisplaySettings tried = settings;
            if (applySetting(tried, section, pair.key, *pair.value, why)) {
                settings = tried;
                owned_[section + "." + pair.key] = index;
            } else {
                tell(number, pair.key + " = " + *pair.value + " in [" + section + "]: " + why);
            }
        }
    }
    if (unreported > 0)
        report(path_ + ": " + std::to_string(unreported) + " more lines could not be taken");
    saved_ = settings;
    return true;
}

bool SettingsFile::write(const DisplaySettings& settings, unsigned parts, std::string& whyNot) {
    // The file as it is now: lines the player added while the game ran stay.
    if (!load([](const std::string&) {}, whyNot)) {
        whyNot = path_ + " " + whyNot + ", so it is left as it is";
        return false;
    }
    const std::string target = linkTarget(path_);
    struct stat info {};
    const bool exists = stat(target.c_str(), &info) == 0;
    if (exists && (info.st_mode & S_IWUSR) == 0) {
        whyNot = path_ + " is read-only";
        return false;
    }
    const std::optional<std::string> text = merged(settings, parts);
    if (!text) return true;  // the file says so already
    mode_t mode = info.st_mode & 07777;
    if (!exists) {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    return replaceFile(target, *text, mode, whyNot);
}

std::optional<std::string> SettingsFile::merged(const DisplaySettings& settings,
                                                unsigned parts) const {
    std::vector<std::pair<std::string, std::string>> values;
    if (parts & kMode) values.push_back({"display.mode", nameOf(settings.mode)});
    if ((parts & kPlace) && settings.hasWindow) {
        const std::pair<std::string, std::string> place[] = {
            {"window.x", std::to_string(settings.windowX)},
            {"window.y", std::to_string(settings.windowY)},
            {"window.width", std::to_string(settings.windowWidth)},
            {"window.height", std::to_string(settings.windowHeight)}};
        // The place goes whole, and only when the file would take it back.
        DisplaySettings check;
        std::string why;
        bool accepted = true;
        for (const auto& [name, value] : place)
            accepted = applySetting(check, "window", name.substr(7), value, why) && accepted;
        if (accepted) values.insert(values.end(), std::begin(place), std::end(place));
    }

    std::vector<std::string> lines = lines_;
    std::map<std::string, std::vector<std::string>> added;  // section -> its new lines
    bool changed = false;
    for (const auto& [name, value] : values) {
        const std::string section = name.substr(0, name.find('.'));
        const std::string key = name.substr(name.find('.') + 1);
        auto at = owned_.find(name);
        if (at != owned_.end()) {
            DisplaySettings now = saved_;
            std::string why;
            applySetting(now, section, key, value, why);
            if (now == saved_) continue;
            lines[at->second] = settingLine(key, value);
        } else {
            added[section].push_back(settingLine(key, value));
        }
        changed = true;
    }
    if (!changed) return std::nullopt;
    // New lines join their section where it stands, the last time it does,
    // from the bottom up so that the places found stay right; a section the
    // file lacks is added at its end.
    std::vector<std::pair<size_t, const std::vector<std::string>*>> joins;
    std::vector<std::string> appended;
    for (const auto& [section, settingLines] : added) {
        auto end = sectionEnds_.find(section);
        if (end != sectionEnds_.end()) {
            joins.push_back({end->second + 1, &settingLines});
            continue;
        }
        appended.push_back("");
        appended.push_back("[" + section + "]");
        appended.insert(appended.end(), settingLines.begin(), settingLines.end());
    }
    std::sort(joins.begin(), joins.end(), [](auto& a, auto& b) { return a.first > b.first; });
    for (const auto& [at, settingLines] : joins)
        lines.insert(lines.begin() + long(at), settingLines->begin(), settingLines->end());
    if (!appended.empty() && (lines.empty() || trimmed(lines.back()).empty()))
        appended.erase(appended.begin());
    lines.insert(lines.end(), appended.begin(), appended.end());

    std::string text = byteOrderMark_ ? kByteOrderMark : "";
    for (const auto& line : lines) text += line + "\n";
    return text;
}

}  // namespace vh::platform
