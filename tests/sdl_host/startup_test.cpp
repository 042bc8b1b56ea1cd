// Start-up where the game cannot be shown: the program ends at once with the
// failed start-up's code (0x10082, 130 in the shell) and one line that says
// why in words a player can act on. It never runs on unseen.
#include <gtest/gtest.h>

#include "options.h"
#include "program_run.h"
#include "varnholt_version.h"
#include "x_server.h"

namespace {

constexpr int kNoDisplayExit = 0x82;  // 0x10082 as a shell sees it

const std::map<std::string, std::string> kNoDisplay{
    {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"SDL_VIDEODRIVER", ""}};

struct Case {
    const char* name;
    std::map<std::string, std::string> environment;
    const char* said;  // a part of the one line the player reads
    int depth = 0;     // of an X server's screen, when there is one
    const char* failed = "varnholt: cannot open a display: ";
};

class StartUpWithoutADisplay : public testing::TestWithParam<Case> {};

INSTANTIATE_TEST_SUITE_P(
    Cases, StartUpWithoutADisplay,
    testing::Values(
        Case{"NoDisplayAtAll", kNoDisplay, "DISPLAY is not set"},
        Case{"AnXServerThatIsNotThere",
             {{"DISPLAY", ":97"}, {"WAYLAND_DISPLAY", ""}, {"SDL_VIDEODRIVER", ""}},
             "DISPLAY=:97 cannot be reached"},
        Case{"TheDummyDriver", {{"SDL_VIDEODRIVER", "dummy"}}, "\"dummy\" shows no picture"},
        Case{"TheOffscreenDriver",
             {{"SDL_VIDEODRIVER", "offscreen"}},
             "\"offscreen\" shows no picture"},
        Case{"WaylandWithoutItsRuntimeFolder",
             {{"DISPLAY", ""},
              {"WAYLAND_DISPLAY", "wayland-0"},
              {"XDG_RUNTIME_DIR", ""},
              {"SDL_VIDEODRIVER", "wayland"}},
             "XDG_RUNTIME_DIR"},
        Case{
            "ADriverThatFailsToStart", {{"SDL_VIDEODRIVER", "kmsdrm"}}, "SDL_VIDEODRIVER=kmsdrm: "},
        Case{"AWaylandDisplayThatIsNotThere",
             {{"DISPLAY", ""},
              {"WAYLAND_DISPLAY", "wayland-97"},
              {"XDG_RUNTIME_DIR", "/tmp"},
              {"SDL_VIDEODRIVER", ""}},
             "the Wayland display wayland-97 cannot be reached"},
        Case{"AScreenOfEightBits",
             {{"SDL_VIDEODRIVER", ""}},
             "16 bits",
             8,
             "cannot open a window: "}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_P(StartUpWithoutADisplay, EndsAtOnceWithOneLineThatSaysWhy) {
    xtest::XServer x;
    if (GetParam().depth) {
        ASSERT_TRUE(x.start(1024, 768, GetParam().depth));
    }
    xtest::ProgramRun run;
    ASSERT_TRUE(run.start(VARNHOLT_PROGRAM, VARNHOLT_ASSETS_DIR, GetParam().environment));
    ASSERT_TRUE(run.wait()) << "the game runs on without a display";
    EXPECT_EQ(run.status, kNoDisplayExit);
    auto lines = run.errorLines();
    ASSERT_EQ(lines.size(), 1u) << run.errors;
    EXPECT_NE(lines[0].find(GetParam().failed), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find(GetParam().said), std::string::npos) << lines[0];
}

TEST(StartUp, AClosedStandardErrorDoesNotKillTheProgram) {
    xtest::ProgramRun run;
    ASSERT_TRUE(run.start(VARNHOLT_PROGRAM, VARNHOLT_ASSETS_DIR, kNoDisplay,
                          xtest::ProgramRun::BrokenPipe));
    ASSERT_TRUE(run.wait());
    EXPECT_EQ(run.status, kNoDisplayExit) << "not SIGPIPE (141)";
}

// The launcher's own options answer before anything opens; the settings
// file and the display are never touched by them. Every valid option is
// taken (the game then finds no display).
TEST(Options, HelpVersionAndWrongOptionsAnswerBeforeAnythingOpens) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* said;  // on stderr
    };
    const Case cases[] = {
        {{"--bogus"}, 2, "unknown option --bogus"},
        {{"--windowed", "extra"}, 2, "unknown option extra"},
        {{"--scale=huge"}, 2, "aspect, integer, stretch"},
        {{"--max-fps=-3"}, 2, "--max-fps=-3"},
        {{"--vsync=maybe"}, 2, "on, off"},
        {{"--fullscreen", "--windowed", "--scale=aspect", "--scale=integer", "--scale=stretch",
          "--filter=sharp", "--filter=nearest", "--filter=linear", "--vsync=on", "--vsync=off",
          "--max-fps=0", "--max-fps=1000"},
         kNoDisplayExit,
         "cannot open a display"}};
    for (const Case& c : cases) {
        xtest::ProgramRun run;
        ASSERT_TRUE(run.start(VARNHOLT_PROGRAM, VARNHOLT_ASSETS_DIR, kNoDisplay,
                              xtest::ProgramRun::Read, c.args));
        ASSERT_TRUE(run.wait());
        EXPECT_EQ(run.status, c.status) << c.args[0];
        EXPECT_NE(run.errors.find(c.said), std::string::npos) << run.errors;
        EXPECT_EQ(run.errors.find("usage: varnholt") == std::string::npos, c.status != 2)
            << run.errors;
    }
    // What --help and --version print, and nothing else; an answer that could
    // not be written is no success.
    for (auto [option, text] :
         {std::pair{"--help", vh::platform::usage()},
          {"--version", std::string("varnholt ") + VARNHOLT_VERSION + "\n"}}) {
        FILE* out = popen((std::string(VARNHOLT_PROGRAM) + " " + option + " 2>&1").c_str(), "r");
        ASSERT_NE(out, nullptr) << option;
        std::string said(4096, '\0');
        said.resize(std::fread(said.data(), 1, said.size(), out));
        EXPECT_EQ(WEXITSTATUS(pclose(out)), 0) << option;
        EXPECT_EQ(said, text);
        const std::string full =
            std::string(VARNHOLT_PROGRAM) + " " + option + " >/dev/full 2>/dev/null";
        EXPECT_EQ(WEXITSTATUS(std::system(full.c_str())), 1) << option;
    }
}

}  // namespace
