// The settings file on a real file system: every key's good and bad values,
// lines that are not settings, files empty, huge, unreadable or unwritable,
// a write cut off before its rename, and two copies writing at once.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("varnholt-settings-" + std::to_string(getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        path_ = (folder_ / "settings.ini").string();
    }
    void TearDown() override { fs::remove_all(folder_); }

    void put(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }

    std::string contents() const {
        std::ifstream file(path_, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

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

    fs::path folder_;
    std::string path_;
    std::vector<std::string> told_;
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
        "vsync = off\n"
        "max-fps = 144\n"
        "[window]\n"
        "x = -40\n"
        "y = 30\n"
        "width = 1600\n"
        "height = 1200\n");
    DisplaySettings s = read();
    EXPECT_TRUE(told_.empty()) << told_.front();
    EXPECT_EQ(s.mode, ScreenMode::Windowed);
    EXPECT_EQ(s.scaling, Scaling::Integer);
    EXPECT_EQ(s.filter, Filter::Linear);
    EXPECT_FALSE(s.vsync);
    EXPECT_EQ(s.maxFps, 144);
    EXPECT_TRUE(s.hasWindow);
    EXPECT_EQ(s.windowX, -40);
    EXPECT_EQ(s.windowY, 30);
    EXPECT_EQ(s.windowWidth, 1600);
    EXPECT_EQ(s.windowHeight, 1200);

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

TEST_F(SettingsFileTest, ATenMegabyteFileIsReadAndItsTellingIsBounded) {
    std::string comments;
    while (comments.size() < (10u << 20)) comments += "; a comment line that takes room\n";
    put("[display]\n" + comments + "scale = integer\n");
    EXPECT_EQ(read().scaling, Scaling::Integer);
    EXPECT_TRUE(told_.empty());

    std::string garbage;
    while (garbage.size() < (10u << 20))
        garbage += "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\n";
    put(garbage);
    EXPECT_EQ(read(), DisplaySettings{});
    ASSERT_EQ(told_.size(), 101u) << "a hundred lines, then a count of the rest";
    EXPECT_NE(told_.back().find("more lines could not be taken"), std::string::npos);
}

TEST_F(SettingsFileTest, AFileThatCannotBeReadIsToldOnceAndGivesTheDefaults) {
    fs::create_directories(path_);  // a folder where the file should be
    EXPECT_EQ(read(), DisplaySettings{});
    ASSERT_EQ(told_.size(), 1u);
    EXPECT_EQ(told_[0].rfind(path_ + ": ", 0), 0u) << told_[0];
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
    std::string whyNot;
    ASSERT_TRUE(file.write(s, whyNot)) << whyNot;
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
    ASSERT_TRUE(file.write(s, whyNot)) << whyNot;
    DisplaySettings again = read();
    EXPECT_EQ(again.windowX, 30);
    EXPECT_EQ(again.mode, ScreenMode::FullScreen);
    EXPECT_EQ(again.scaling, Scaling::Stretch);
    const std::string text = contents();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 13);
    EXPECT_EQ(strayFiles(), 0);
}

TEST_F(SettingsFileTest, TheFirstWriteMakesTheFolders) {
    path_ = (folder_ / "config" / "varnholt" / "settings.ini").string();
    SettingsFile file(path_);
    DisplaySettings s;
    s.mode = ScreenMode::Windowed;
    std::string whyNot;
    ASSERT_TRUE(file.write(s, whyNot)) << whyNot;
    EXPECT_EQ(read().mode, ScreenMode::Windowed);
}

TEST_F(SettingsFileTest, AnUnwritableFolderIsTheWritersAnswerNotACrash) {
    const fs::path blocker = folder_ / "not-a-folder";
    std::ofstream(blocker) << "a file";
    SettingsFile file((blocker / "settings.ini").string());
    std::string whyNot;
    EXPECT_FALSE(file.write(DisplaySettings{}, whyNot));
    EXPECT_NE(whyNot.find("not-a-folder"), std::string::npos) << whyNot;
}

TEST_F(SettingsFileTest, AWriteCutOffBeforeItsRenameLeavesTheOldFileWhole) {
    put("[display]\nmode = fullscreen\nscale = stretch\n");
    const std::string before = contents();
    SettingsFile file(path_);
    DisplaySettings s = file.read([](const std::string&) {});
    s.mode = ScreenMode::Windowed;
    vh::test::injectResult("rename settings", -1);
    std::string whyNot;
    EXPECT_FALSE(file.write(s, whyNot));
    EXPECT_EQ(contents(), before);
    EXPECT_EQ(strayFiles(), 0) << "the new file is not left behind";
}

// Two copies of the game write at once: whenever the file is read, it is
// one copy's whole file.
TEST_F(SettingsFileTest, TwoWritersAtOnceNeverLeaveAHalfWrittenFile) {
    put("[display]\nscale = stretch\n" + std::string(2000, ';') + "\n");
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w] = fork();
        if (writers[w] == 0) {
            SettingsFile file(path_);
            DisplaySettings s = file.read([](const std::string&) {});
            s.hasWindow = true;
            for (int i = 0; i < 300; ++i) {
                // Each writer's place is its own: x and y agree within a file.
                s.windowX = s.windowY = (w + 1) * 1000 + i;
                s.windowWidth = s.windowHeight = 100 + w;
                std::string whyNot;
                if (!file.write(s, whyNot)) _exit(1);
            }
            _exit(0);
        }
    }
    int reads = 0, torn = 0;
    for (bool running = true; running;) {
        running = false;
        for (pid_t writer : writers)
            if (waitpid(writer, nullptr, WNOHANG) == 0) running = true;
        DisplaySettings s = read();
        ++reads;
        if (!told_.empty() || s.scaling != Scaling::Stretch ||
            (s.hasWindow && (s.windowX != s.windowY || s.windowWidth != s.windowHeight)))
            ++torn;
    }
    EXPECT_GT(reads, 0);
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(strayFiles(), 0);
}

}  // namespace
