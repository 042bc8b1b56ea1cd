// The settings file on a real file system: every key's good and bad values,
// lines that are not settings, files empty, huge, unreadable or unwritable,
// a write cut off before its rename, and two copies writing at once.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "child_process.h"
#include "image_bytes.h"
#include "temp_folder.h"
#include "varnholt/display_settings.h"
#include "varnholt/platform_test.h"

namespace {

namespace fs = std::filesystem;
using vh::platform::DisplaySettings;
using vh::platform::Filter;
using vh::platform::Scaling;
using vh::platform::ScreenMode;
using vh::platform::SettingsFile;

class SettingsFileTest : public testing::Test {
  protected:
    void put(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }

    std::string contents() const { return fixture::readFile<std::string>(path_); }

    DisplaySettings read() {
        told_.clear();
        SettingsFile file(path_);
        return file.read([this](const std::string& line) { told_.push_back(line); });
    }

    // Files other than the settings file left in its folder.
    int strayFiles() const {
        int count = 0;
        for (const auto& entry : fs::directory_iterator(folder_))
            if (entry.path().filename() != "settings.ini") ++count;
        return count;
    }

    const TempFolder temp_{"varnholt-settings"};
    const fs::path& folder_ = temp_.path;
    std::string path_ = (folder_ / "settings.ini").string();
    std::vector<std::string> told_;
    std::string whyNot_;  // a write's answer when it fails
};

TEST_F(SettingsFileTest, AMissingOrEmptyFileGivesTheDefaultsQuietly) {
    EXPECT_EQ(read(), DisplaySettings{});
    EXPECT_TRUE(told_.empty());
    put("");
    EXPECT_EQ(read(), DisplaySettings{});
    EXPECT_TRUE(told_.empty());
}

TEST_F(SettingsFileTest, EveryKeyTakesEachOfItsValues) {
    put("; the player's own words\n"
        "[display]\n"
        "mode = windowed\n"
        "scale=integer\n"
        "filter = linear ; a comment after the value\n"
        "vsync = off\r\n"
        "max-fps = 144\r\n"
        "[window]\r\n"
        "x = -40\r\n"
        "y = 30\n"
        "width = 1600\n"
        "height = 1200\n");
    EXPECT_EQ(read(), (DisplaySettings{ScreenMode::Windowed, Scaling::Integer, Filter::Linear,
                                       false, 144, true, -40, 30, 1600, 1200}));
    EXPECT_TRUE(told_.empty()) << told_.front();

    struct Value {
        const char* line;
        bool (*holds)(const DisplaySettings&);
    };
    const Value others[] = {
        {"mode = fullscreen",
         [](const DisplaySettings& d) { return d.mode == ScreenMode::FullScreen; }},
        {"scale = aspect", [](const DisplaySettings& d) { return d.scaling == Scaling::Aspect; }},
        {"scale = stretch", [](const DisplaySettings& d) { return d.scaling == Scaling::Stretch; }},
        {"filter = nearest", [](const DisplaySettings& d) { return d.filter == Filter::Nearest; }},
        {"vsync = on", [](const DisplaySettings& d) { return d.vsync; }},
        {"max-fps = 0", [](const DisplaySettings& d) { return d.maxFps == 0; }},
        {"max-fps = 1000", [](const DisplaySettings& d) { return d.maxFps == 1000; }}};
    for (const Value& value : others) {
        put(std::string("[display]\nscale = stretch\nvsync = off\nmax-fps = 5\n") + value.line +
            "\n");
        EXPECT_TRUE(value.holds(read())) << value.line;
        EXPECT_TRUE(told_.empty()) << value.line;
    }
}

TEST_F(SettingsFileTest, EachBadValueIsToldOnceAndLeavesItsDefault) {
    const char* bad[] = {"mode = big",      "scale = huge",    "filter = blurry",
                         "vsync = yes",     "max-fps = -1",    "max-fps = 1001",
                         "max-fps = sixty", "max-fps = 60fps", "mode ="};
    std::string text = "[display]\n";
    for (const char* line : bad) text += std::string(line) + "\n";
    text += "[window]\nx = 100001\nwidth = 63\nheight = 99999\ny = 1.5\n";
    put(text);
    EXPECT_EQ(read(), DisplaySettings{});
    ASSERT_EQ(told_.size(), std::size(bad) + 4);
    for (size_t i = 0; i < told_.size(); ++i) {
        const std::string& line = told_[i];
        const std::string where = path_ + ":" + std::to_string(i < std::size(bad) ? i + 2 : i + 3);
        EXPECT_EQ(line.rfind(where + ": ", 0), 0u) << line;
        EXPECT_NE(line.find("accepted values are"), std::string::npos) << line;
    }
    EXPECT_NE(told_[1].find("aspect, integer, stretch"), std::string::npos) << told_[1];
}

TEST_F(SettingsFileTest, UnknownKeysSectionsAndGarbageAreToldLineByLineAndTheRestIsTaken) {
    put("[display]\n"
        "colour = blue\n"
        "this line is not a setting\n"
        "[unclosed section\n"
        "scale = stretch\n"
        "\x01\x02\xff\xfe\n"
        "[sound]\n"
        "volume = 11\n"
        "mode = windowed\n"
        "[display]\n"
        "vsync = off\n");
    DisplaySettings s = read();
    EXPECT_EQ(s.scaling, Scaling::Stretch) << "good lines between bad ones are taken";
    EXPECT_FALSE(s.vsync);
    EXPECT_EQ(s.mode, ScreenMode::FullScreen) << "mode is not a [sound] setting";
    std::vector<int> lines;
    for (const auto& line : told_) {
        const size_t colon = line.find(':', path_.size());
        lines.push_back(std::stoi(line.substr(colon + 1)));
    }
    EXPECT_EQ(lines, (std::vector<int>{2, 3, 4, 6, 8, 9}));
}

TEST_F(SettingsFileTest, GarbageInEveryLineStillGivesSettingsAndALineEach) {
    std::string text;
    for (int i = 0; i < 40; ++i) text += "garbage " + std::to_string(i) + " ]]][[\n";
    put(text);
    EXPECT_EQ(read(), DisplaySettings{});
    EXPECT_EQ(told_.size(), 40u);
}

TEST_F(SettingsFileTest, AFileNearTheSizeLimitIsReadAndItsTellingIsBounded) {
    std::string comments;
    while (comments.size() < SettingsFile::kLargestFile - 1000)
        comments += "; a comment line that takes room\n";
    put("[display]\n" + comments + "scale = integer\n");
    EXPECT_EQ(read().scaling, Scaling::Integer);
    EXPECT_TRUE(told_.empty());

    std::string garbage;
    while (garbage.size() < SettingsFile::kLargestFile - 1000)
        garbage += "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\n";
    put(garbage);
    EXPECT_EQ(read(), DisplaySettings{});
    ASSERT_EQ(told_.size(), 101u) << "a hundred lines, then a count of the rest";
    EXPECT_NE(told_.back().find("more lines could not be taken"), std::string::npos);
}

// A line is a line whatever its length: a comment of any length says
// nothing, and a line too long to be a setting costs one line.
TEST_F(SettingsFileTest, LongLinesAreWholeLinesAndAByteOrderMarkHidesNothing) {
    put("[display]\n; " + std::string(300, 'x') + " scale = stretch\n; " + std::string(250, 'y') +
        "\n" + std::string(1 << 19, 'z') + "\nmode = windowed\n");
    DisplaySettings s = read();
    EXPECT_EQ(s.scaling, Scaling::Aspect) << "a comment's tail is no setting";
    EXPECT_EQ(s.mode, ScreenMode::Windowed);
    ASSERT_EQ(told_.size(), 1u);
    EXPECT_NE(told_[0].find(":4: a line of 524288 bytes is too long"), std::string::npos)
        << told_[0];

    put("\xEF\xBB\xBF[display]\r\nmode = windowed\r\n");
    SettingsFile file(path_);
    EXPECT_EQ(file.read([](const std::string& line) { ADD_FAILURE() << line; }).mode,
              ScreenMode::Windowed);
    ASSERT_TRUE(file.write(DisplaySettings{}, SettingsFile::kMode, whyNot_)) << whyNot_;
    EXPECT_EQ(contents(), "\xEF\xBB\xBF[display]\r\nmode = fullscreen\n");
}

// Whatever cannot be read as a settings file is told in one line, gives the
// defaults at once (a pipe never blocks, a device never fills memory), and
// is never written over.
TEST_F(SettingsFileTest, WhatCannotBeReadIsToldOnceAndNeverWrittenOver) {
    struct Case {
        const char* name;
        std::function<void(const std::string&)> make;
        const char* said;
    };
    const Case cases[] = {
        {"unreadable",  // as root can read anything, the open is made to fail
         [](const std::string& p) {
             std::ofstream(p) << "[display]\nmode = windowed\n";
             vh::test::injectResult("open file", -EACCES, 2);
         },
         "Permission denied"},
        {"a folder", [](const std::string& p) { fs::create_directories(p); }, "not a regular"},
        {"a pipe", [](const std::string& p) { mkfifo(p.c_str(), 0644); }, "not a regular"},
        {"endless", [](const std::string& p) { fs::create_symlink("/dev/zero", p); },
         "not a regular"},
        {"huge",
         [](const std::string& p) {
             std::ofstream(p) << "[display]\n";
             fs::resize_file(p, SettingsFile::kLargestFile + 1);
         },
         "larger than 1024 KiB"},
        {"UTF-16",
         [](const std::string& p) { std::ofstream(p) << std::string("\xFF\xFE[\0d\0", 6); },
         "not UTF-8"}};
    for (const Case& c : cases) {
        fs::remove_all(path_);
        c.make(path_);
        const auto before = fs::symlink_status(path_).type();
        const std::string text = fs::is_regular_file(path_) ? contents() : "";
        SettingsFile file(path_);
        EXPECT_EQ(file.read([&](const std::string& line) { told_ = {line}; }), DisplaySettings{});
        ASSERT_EQ(told_.size(), 1u) << c.name;
        EXPECT_EQ(told_[0].rfind(path_ + ": ", 0), 0u) << told_[0];
        EXPECT_NE(told_[0].find(c.said), std::string::npos) << told_[0];
        EXPECT_NE(told_[0].find("using the defaults"), std::string::npos) << told_[0];
        std::string whyNot;
        EXPECT_FALSE(file.write(DisplaySettings{}, whyNot)) << c.name;
        EXPECT_NE(whyNot.find("left as it is"), std::string::npos) << whyNot;
        EXPECT_EQ(fs::symlink_status(path_).type(), before) << c.name;
        if (fs::is_regular_file(path_)) {
            EXPECT_EQ(contents(), text) << c.name;
        }
        told_.clear();
    }
    EXPECT_EQ(strayFiles(), 0);
}

// Of two lines for one key the last wins, and a write changes that one.
TEST_F(SettingsFileTest, OfTwoLinesForAKeyTheLastWinsAndIsTheOneWritten) {
    put("[display]\nmode = fullscreen\nscale = stretch\nmode = windowed\nmode = big\n");
    SettingsFile file(path_);
    DisplaySettings s = file.read([](const std::string&) {});
    EXPECT_EQ(s.mode, ScreenMode::Windowed);
    s.mode = ScreenMode::FullScreen;
    ASSERT_TRUE(file.write(s, whyNot_)) << whyNot_;
    EXPECT_EQ(contents(),
              "[display]\nmode = fullscreen\nscale = stretch\nmode = fullscreen\nmode = big\n");
}

TEST_F(SettingsFileTest, WritingChangesOnlyItsOwnLinesAndKeepsEveryOtherLine) {
    put("; my settings\n"
        "[display]\n"
        "mode = fullscreen   ; start full screen\n"
        "scale = stretch\n"
        "colour = blue\n"
        "[sound]\n"
        "volume = 11\n");
    SettingsFile file(path_);
    DisplaySettings s = file.read([](const std::string&) {});
    s.mode = ScreenMode::Windowed;
    s.scaling = Scaling::Integer;  // not the writer's to change
    s.hasWindow = true;
    s.windowX = 10;
    s.windowY = 20;
    s.windowWidth = 1024;
    s.windowHeight = 768;
    ASSERT_TRUE(file.write(s, whyNot_)) << whyNot_;
    EXPECT_EQ(contents(),
              "; my settings\n"
              "[display]\n"
              "mode = windowed\n"
              "scale = stretch\n"
              "colour = blue\n"
              "[sound]\n"
              "volume = 11\n"
              "\n"
              "[window]\n"
              "x = 10\n"
              "y = 20\n"
              "width = 1024\n"
              "height = 768\n");
    // A second write changes the same lines again, in place.
    s.windowX = 30;
    s.mode = ScreenMode::FullScreen;
    ASSERT_TRUE(file.write(s, whyNot_)) << whyNot_;
    DisplaySettings again = read();
    EXPECT_EQ(again.windowX, 30);
    EXPECT_EQ(again.mode, ScreenMode::FullScreen);
    EXPECT_EQ(again.scaling, Scaling::Stretch);
    const std::string text = contents();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 13);
    EXPECT_EQ(strayFiles(), 0);
}

// A write merges into the file as it is then: lines the player added while
// the game ran stay, only values the file takes back are written, and new
// keys join their section instead of starting another.
TEST_F(SettingsFileTest, AWriteMergesIntoTheFileOnDiskAndWritesOnlyWhatItWouldTake) {
    put("[window]\nx = 12\n");
    SettingsFile file(path_);
    DisplaySettings s = file.read([](const std::string& line) { ADD_FAILURE() << line; });
    put("[window]\nx = 12\n; added while playing\n[display]\nscale = stretch\n");
    s.mode = ScreenMode::Windowed;  // s holds x = 12 and no size: not a place to write
    ASSERT_TRUE(file.write(s, whyNot_)) << whyNot_;
    EXPECT_EQ(contents(),
              "[window]\nx = 12\n; added while playing\n[display]\nscale = stretch\n"
              "mode = windowed\n");
    s.windowY = 5;
    s.windowWidth = 800;
    s.windowHeight = 600;
    ASSERT_TRUE(file.write(s, SettingsFile::kPlace, whyNot_)) << whyNot_;
    EXPECT_EQ(contents(),
              "[window]\nx = 12\ny = 5\nwidth = 800\nheight = 600\n; added while playing\n"
              "[display]\nscale = stretch\nmode = windowed\n");
    EXPECT_EQ(read().scaling, Scaling::Stretch);
    EXPECT_TRUE(told_.empty()) << told_.front();
}

// The file is written where a link points, with its mode; a read-only file
// is left alone.
TEST_F(SettingsFileTest, AWriteGoesThroughALinkKeepsTheModeAndLeavesAReadOnlyFile) {
    fs::create_directories(folder_ / "real");
    const fs::path target = folder_ / "real" / "mine.ini";
    std::ofstream(target) << "[display]\nmode = fullscreen\n";
    fs::permissions(target, fs::perms(0640));
    fs::create_symlink("real/mine.ini", path_);
    DisplaySettings s;
    s.mode = ScreenMode::Windowed;
    ASSERT_TRUE(SettingsFile(path_).write(s, whyNot_)) << whyNot_;
    EXPECT_TRUE(fs::is_symlink(path_));
    EXPECT_EQ(read().mode, ScreenMode::Windowed);
    EXPECT_EQ(fs::status(target).permissions(), fs::perms(0640));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_ / "real"), {}), 1);

    fs::permissions(target, fs::perms(0444));
    s.mode = ScreenMode::FullScreen;
    EXPECT_FALSE(SettingsFile(path_).write(s, whyNot_));
    EXPECT_NE(whyNot_.find("read-only"), std::string::npos) << whyNot_;
    EXPECT_EQ(read().mode, ScreenMode::Windowed);
}

// XDG_CONFIG_HOME when it is absolute, else ~/.config; without HOME the
// password database's home: never a path relative to the game's working
// directory (the art folder).
TEST(SettingsPath, IsTheConfigurationFolderTheEnvironmentNames) {
    const std::string passwd = getpwuid(getuid())->pw_dir;
    const struct {
        const char *home, *config;
        std::string path;
    } cases[] = {{"/h", "/c//", "/c/varnholt/settings.ini"},
                 {"/h/", "c", "/h/.config/varnholt/settings.ini"},
                 {"/h", nullptr, "/h/.config/varnholt/settings.ini"},
                 {nullptr, nullptr, passwd + "/.config/varnholt/settings.ini"},
                 {"h", "", passwd + "/.config/varnholt/settings.ini"}};
    for (const auto& c : cases) {
        for (auto [name, value] : {std::pair{"HOME", c.home}, {"XDG_CONFIG_HOME", c.config}})
            value ? setenv(name, value, 1) : unsetenv(name);
        EXPECT_EQ(SettingsFile::defaultPath(), c.path) << c.path;
    }
}

// The first write makes the folders; a file where a folder should be is the
// writer's answer, not a crash.
TEST_F(SettingsFileTest, TheFirstWriteMakesTheFoldersOrSaysWhyItCannot) {
    const std::string wanted = (folder_ / "config" / "varnholt" / "settings.ini").string();
    ASSERT_TRUE(SettingsFile(wanted).write({.mode = ScreenMode::Windowed}, whyNot_)) << whyNot_;
    path_ = wanted;
    EXPECT_EQ(read().mode, ScreenMode::Windowed);
    std::ofstream(folder_ / "not-a-folder") << "a file";
    EXPECT_FALSE(SettingsFile((folder_ / "not-a-folder/settings.ini").string()).write({}, whyNot_));
    EXPECT_NE(whyNot_.find("not-a-folder"), std::string::npos) << whyNot_;
}

TEST_F(SettingsFileTest, AWriteCutOffBeforeItsRenameLeavesTheOldFileWhole) {
    put("[display]\nmode = fullscreen\nscale = stretch\n");
    const std::string before = contents();
    SettingsFile file(path_);
    DisplaySettings s = file.read([](const std::string&) {});
    s.mode = ScreenMode::Windowed;
    vh::test::injectResult("rename file", -1);
    EXPECT_FALSE(file.write(s, whyNot_));
    EXPECT_EQ(contents(), before);
    EXPECT_EQ(strayFiles(), 0) << "the new file is not left behind";
}

// Two copies of the game write at once: whenever the file is read, it is
// one copy's whole file.
TEST_F(SettingsFileTest, TwoWritersAtOnceNeverLeaveAHalfWrittenFile) {
    put("[display]\nscale = stretch\n" + std::string(2000, ';') + "\n");
    childprocess::Child writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w].fork([&] {
            SettingsFile file(path_);
            DisplaySettings s = file.read([](const std::string&) {});
            s.hasWindow = true;
            for (int i = 0; i < 300; ++i) {
                // Each writer's place is its own: x and y agree within a file.
                s.windowX = s.windowY = (w + 1) * 1000 + i;
                s.windowWidth = s.windowHeight = 100 + w;
                std::string whyNot;
                if (!file.write(s, whyNot)) return 1;
            }
            return 0;
        });
    }
    int reads = 0, torn = 0;
    for (bool running = true; running;) {
        running = false;
        for (childprocess::Child& writer : writers) running = !writer.poll() || running;
        DisplaySettings s = read();
        ++reads;
        if (!told_.empty() || s.scaling != Scaling::Stretch ||
            (s.hasWindow && (s.windowX != s.windowY || s.windowWidth != s.windowHeight)))
            ++torn;
    }
    EXPECT_GT(reads, 0);
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(writers[0].code(), 0) << "the first writer failed";
    EXPECT_EQ(writers[1].code(), 0) << "the second writer failed";
    EXPECT_EQ(strayFiles(), 0);
}

}  // namespace
