// Windows on the headless host: the journal and chosen answers of window
// calls, a host without a display, and our layer's answers where Windows'
// are not pinned down (WM_DESTROY for a window whose WM_CREATE failed, and a
// second DestroyWindow from its own WM_DESTROY, which some window systems
// answer with a second WM_DESTROY). How creation and destruction answer is
// stated by the conformance tests (tests/conformance).
#include <algorithm>

#include "test_window.h"
#include "varnholt/host.h"

using recording::answer;
using testwin::messagesSeen;
using testwin::WindowTest;

TEST_F(WindowTest, CreationIsJournalledAfterItsMessages) {
    HWND window = testwin::create();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(vh::test::journalNames({"WindowProc", "CreateWindowExA"}),
              (std::vector<std::string>{"WindowProc", "WindowProc", "CreateWindowExA"}));
}

TEST_F(WindowTest, CreateAnsweringMinusOneDestroysTheWindow) {
    answer(WM_CREATE, -1);
    EXPECT_EQ(testwin::create(), nullptr);
    EXPECT_EQ(messagesSeen(),
              (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
    HWND gone = testwin::seen().front().window;
    EXPECT_FALSE(DestroyWindow(gone));
    EXPECT_FALSE(PostMessageA(gone, WM_USER, 0, 0));
}

TEST_F(WindowTest, WindowSurvivesAHostWithoutDisplay) {
    vh::test::setHeadlessDisplayAvailable(false);
    testing::internal::CaptureStderr();
    HWND window = testwin::create();
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(window, nullptr);
    EXPECT_FALSE(vh::platform::host().hasDisplay());
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_TRUE(PostMessageA(window, WM_USER, 0, 0));
}

TEST_F(WindowTest, DestroySendsDestroyOnceEvenWhenCalledAgainFromItsHandler) {
    HWND window = testwin::create();
    BOOL nested = TRUE;
    testwin::handler() = [&nested](HWND self, UINT message, WPARAM, LPARAM, bool&) {
        if (message == WM_DESTROY) nested = DestroyWindow(self);
        return LRESULT(0);
    };
    testwin::seen().clear();
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_FALSE(nested);
    EXPECT_EQ(messagesSeen(), (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(DestroyWindow(window)) << "a window that is gone";
    EXPECT_EQ(messagesSeen().size(), 2u);
}

TEST_F(WindowTest, ScreenMetricsFollowTheHostsMode) {
    // Once the game sets its mode, the screen is that size.
    vh::platform::host().enterFullScreen(800, 600);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 600);
}

TEST_F(WindowTest, InjectedAnswersSkipTheWork) {
    vh::test::injectResult("CreateWindowExA", 0);
    EXPECT_EQ(testwin::create(), nullptr);
    EXPECT_TRUE(testwin::seen().empty()) << "no window procedure call for an injected failure";
    HWND window = testwin::create();
    ASSERT_NE(window, nullptr);
    vh::test::injectResult("DestroyWindow", FALSE, 1, window);
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_TRUE(DestroyWindow(window));
    auto calls = vh::test::journal();
    int destroys = 0;
    for (const auto& call : calls) {
        if (call.name != "DestroyWindow") continue;
        EXPECT_EQ(call.object, window);
        EXPECT_EQ(call.result, destroys++ == 0 ? FALSE : TRUE);
    }
    EXPECT_EQ(destroys, 2);
}
