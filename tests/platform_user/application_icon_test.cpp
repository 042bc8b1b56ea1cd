// The program's icon on Linux: LoadIconA answers it for the program's own
// module as Windows answers the .exe's icon resource, its pixels are the
// committed 64-pixel icon, and the host's window is given it (the headless
// host keeps every icon it is given).
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "varnholt/application_icon.h"
#include "test_window.h"

namespace {

using vh::platform::programInstance;

class ApplicationIconTest : public ::testing::Test {
  protected:
    void SetUp() override { vh::test::resetHooks(); }

    // A class named `name` with `icon`, and its window: a top-level one
    // unless it is given a parent.
    HWND windowWithIcon(const char* name, HICON icon, HWND parent = nullptr) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hIcon = icon;
        windowClass.lpszClassName = name;
        EXPECT_NE(RegisterClassA(&windowClass), 0);
        return CreateWindowExA(0, name, "Varnholt", WS_POPUP, 0, 0, 1024, 768, parent, nullptr,
                               programInstance(), nullptr);
    }
};

TEST_F(ApplicationIconTest, LoadIconAnswersTheProgramsIconForItsOwnModuleOnly) {
    HICON stock = LoadIconA(nullptr, IDI_APPLICATION);
    HICON own = LoadIconA(programInstance(), IDI_APPLICATION);
    ASSERT_NE(own, nullptr);
    EXPECT_NE(stock, nullptr) << "no instance: the stock icon, as before";
    EXPECT_NE(own, stock);
    EXPECT_EQ(LoadIconA(programInstance(), IDI_APPLICATION), own) << "one icon, one handle";
    EXPECT_EQ(LoadIconA(programInstance(), MAKEINTRESOURCEA(1)), nullptr) << "no such icon";
    int elsewhere = 0;
    EXPECT_EQ(LoadIconA(reinterpret_cast<HINSTANCE>(&elsewhere), IDI_APPLICATION), nullptr)
        << "a module that is not loaded";
    EXPECT_EQ(vh::platform::iconPixels(stock), nullptr) << "the stock icon has no pixels of ours";
}

TEST_F(ApplicationIconTest, ItsPixelsAreTheCommittedSixtyFourPixelIcon) {
    SDL_Surface* pixels = vh::platform::iconPixels(LoadIconA(programInstance(), IDI_APPLICATION));
    ASSERT_NE(pixels, nullptr);
    ASSERT_EQ(pixels->format->format, SDL_PIXELFORMAT_ARGB8888);
    SDL_Surface* file = IMG_Load(VARNHOLT_ASSETS_DIR "/icon/varnholt-64.png");
    ASSERT_NE(file, nullptr) << IMG_GetError();
    SDL_Surface* expected = SDL_ConvertSurfaceFormat(file, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(file);
    ASSERT_EQ(pixels->w, 64);
    ASSERT_EQ(pixels->h, 64);
    ASSERT_EQ(expected->w, 64);
    auto at = [](const SDL_Surface* surface, int x, int y) {
        return static_cast<const uint32_t*>(surface->pixels)[y * surface->pitch / 4 + x];
    };
    int differing = 0, clear = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            differing += at(pixels, x, y) != at(expected, x, y);
            clear += (at(pixels, x, y) >> 24) == 0;
        }
    SDL_FreeSurface(expected);
    EXPECT_EQ(differing, 0);
    EXPECT_GT(clear, 0) << "the alpha channel came through";
}

TEST_F(ApplicationIconTest, TheHostWindowShowsTheIconOfItsClass) {
    HICON own = LoadIconA(programInstance(), IDI_APPLICATION);
    HWND window = windowWithIcon("WithOwnIcon", own);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(vh::test::windowIcons().size(), 1u);
    EXPECT_EQ(vh::test::windowIcons()[0], vh::platform::iconPixels(own));

    // A child window is not the host's window and changes nothing.
    EXPECT_NE(windowWithIcon("Child", own, window), nullptr);
    EXPECT_EQ(vh::test::windowIcons().size(), 1u);
}

TEST_F(ApplicationIconTest, AStockIconGivesTheWindowNone) {
    ASSERT_NE(windowWithIcon("WithStockIcon", LoadIconA(nullptr, IDI_APPLICATION)), nullptr);
    EXPECT_TRUE(vh::test::windowIcons().empty());
}

TEST_F(ApplicationIconTest, NoIconIsGivenWhenTheWindowCannotOpen) {
    vh::test::setHeadlessDisplayAvailable(false);
    testing::internal::CaptureStderr();
    HWND window = windowWithIcon("NoDisplay", LoadIconA(programInstance(), IDI_APPLICATION));
    testing::internal::GetCapturedStderr();
    EXPECT_NE(window, nullptr);
    EXPECT_TRUE(vh::test::windowIcons().empty());
}

}  // namespace
