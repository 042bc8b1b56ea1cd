// The player's display settings and the file that keeps them between runs:
// $XDG_CONFIG_HOME/varnholt/settings.ini (~/.config/varnholt/settings.ini).
// The file is read with inih; the keys and comments the game does not own
// are kept as they stand when it is written again.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vh::platform {

enum class ScreenMode { FullScreen, Windowed };

enum class Scaling {
    Aspect,   // the largest size with the picture's aspect kept, black bars around it
    Integer,  // the largest whole multiple that fits, centred; Aspect where not even 1x fits
    Stretch,  // the whole window, aspect ignored
};

enum class Filter {
    Sharp,    // each screen pixel the average of the picture pixels it covers
    Nearest,  // each screen pixel the picture pixel under its centre
    Linear,   // blended from the four picture pixels around its centre
};

struct DisplaySettings {
    ScreenMode mode = ScreenMode::FullScreen;
    Scaling scaling = Scaling::Aspect;
    Filter filter = Filter::Sharp;
    bool vsync = true;
    int maxFps = 0;  // 0: no cap
    // Where the window stood the last time the game was windowed; none yet
    // when `hasWindow` is false.
    bool hasWindow = false;
    int windowX = 0;
    int windowY = 0;
    int windowWidth = 0;
    int windowHeight = 0;

    bool operator==(const DisplaySettings&) const = default;
};

// The names a setting's values go by in the file and on the command line.
const char* nameOf(ScreenMode mode);
const char* nameOf(Scaling scaling);
const char* nameOf(Filter filter);

// Takes `value` for `key` of `section` ("display" or "window") into
// `settings`. False, with the reason in `why` (the accepted values), when the
// key is unknown or the value out of range; the setting is left as it was.
bool applySetting(DisplaySettings& settings, const std::string& section, const std::string& key,
                  const std::string& value, std::string& why);

class SettingsFile {
  public:
    explicit SettingsFile(std::string path) : path_(std::move(path)) {}

    // The file is read only when it is a regular file of at most this size.
    static constexpr size_t kLargestFile = 1 << 20;
    // The smallest and largest window side the file takes.
    static constexpr int kSmallestWindowSide = 64;
    static constexpr int kLargestWindowSide = 16384;

    // What a write changes: the screen mode, the window's place, or both.
    enum Part : unsigned { kMode = 1, kPlace = 2, kModeAndPlace = kMode | kPlace };

    // $XDG_CONFIG_HOME/varnholt/settings.ini, or ~/.config/varnholt/settings.ini.
    static std::string defaultPath();

    // Reads the file over the defaults. A missing file gives the defaults;
    // each line that cannot be taken costs one line to `report` (naming the
    // file, the line and the accepted values) and leaves its setting alone.
    // A file that cannot be read as a settings file (unreadable, not a
    // regular file, too large, not UTF-8 text) is told in one line and gives
    // the defaults; it is never written over.
    DisplaySettings read(const std::function<void(const std::string&)>& report);

    // Writes `parts` of `settings` into the file as it is on disk at this
    // moment, changing only the lines of the values that differ and keeping
    // every other line: a new file beside the file (beside a symbolic link's
    // target), with the file's mode, renamed over it, so that the old file
    // stays whole whatever happens. Values the file would refuse are not
    // written. A file that cannot be read, or is read-only, is left as it
    // is. False with the reason in `whyNot`.
    bool write(const DisplaySettings& settings, unsigned parts, std::string& whyNot);
    bool write(const DisplaySettings& settings, std::string& whyNot) {
        return write(settings, kModeAndPlace, whyNot);
    }

    const std::string& path() const { return path_; }

  private:
    // Reads the file as it is now into the members below; false, with the
    // reason in `whyNot`, when it is there but cannot be taken as a settings file.
    bool load(const std::function<void(const std::string&)>& report, std::string& whyNot);
    // The file as it would read with `parts` of `settings` merged into it;
    // none when it says so already.
    std::optional<std::string> merged(const DisplaySettings& settings, unsigned parts) const;

    std::string path_;
    DisplaySettings saved_;                      // what the file says
    std::vector<std::string> lines_;             // the file as read, byte-order mark aside
    std::map<std::string, size_t> owned_;        // "section.key" -> the line that last set it
    std::map<std::string, size_t> sectionEnds_;  // section -> the last line that stands in it
    bool byteOrderMark_ = false;
};

}  // namespace vh::platform
