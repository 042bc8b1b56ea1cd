// Window classes and windows: the creation handshake, destruction, and the
// default window procedure.
#include <algorithm>

#include "test_window.h"
#include "varnholt/host.h"

using testwin::messagesSeen;
using testwin::WindowTest;

namespace {

void answer(UINT which, LRESULT result) {
    testwin::handler() = [which, result](HWND, UINT message, WPARAM, LPARAM, bool& handled) {
        handled = message == which;
        return result;
    };
}

}  // namespace

TEST_F(WindowTest, ClassNamesIgnoreCaseAndCannotBeRegisteredTwice) {
    EXPECT_EQ(testwin::registerClass(), 0) << "a second class of the same name";
    HWND window = CreateWindowExA(0, "varnholttestwindow", "", WS_POPUP, 0, 0, 10, 10, nullptr,
                                  nullptr, nullptr, nullptr);
    EXPECT_NE(window, nullptr);
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              nullptr, nullptr),
              nullptr);
}

TEST_F(WindowTest, CreationSendsNcCreateThenCreateBeforeReturning) {
    HWND inside = nullptr;
    testwin::handler() = [&inside](HWND window, UINT message, WPARAM, LPARAM, bool&) {
        if (message == WM_CREATE) inside = window;
        return LRESULT(0);
    };
    HWND window = testwin::create();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(inside, window);
    EXPECT_EQ(messagesSeen(), (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));
    EXPECT_EQ(vh::test::journalNames({"WindowProc", "CreateWindowExA"}),
              (std::vector<std::string>{"WindowProc", "WindowProc", "CreateWindowExA"}));
}

TEST_F(WindowTest, RefusedNcCreateGivesNullWithoutCreateOrDestroy) {
    answer(WM_NCCREATE, FALSE);
    EXPECT_EQ(testwin::create(), nullptr);
    EXPECT_EQ(messagesSeen(), (std::vector<UINT>{WM_NCCREATE, WM_NCDESTROY}));
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

TEST_F(WindowTest, DefaultProcedureDestroysOnClose) {
    HWND window = testwin::create();
    testwin::seen().clear();
    EXPECT_EQ(DefWindowProcA(window, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(messagesSeen(), (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
    EXPECT_EQ(DefWindowProcA(window, WM_NCCREATE, 0, 0), TRUE);
    EXPECT_EQ(DefWindowProcA(window, WM_USER, 1, 2), 0);
}

TEST_F(WindowTest, ShowWindowAnswersThePreviousVisibility) {
    HWND window = testwin::create();  // created with WS_VISIBLE
    EXPECT_TRUE(ShowWindow(window, SW_HIDE));
    EXPECT_FALSE(ShowWindow(window, SW_SHOW));
    EXPECT_TRUE(ShowWindow(window, SW_SHOWDEFAULT));
}

TEST_F(WindowTest, StockResourcesAndScreenMetrics) {
    EXPECT_NE(LoadIconA(nullptr, IDI_APPLICATION), nullptr);
    EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);
    EXPECT_GT(GetSystemMetrics(SM_CXSCREEN), 0);
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
