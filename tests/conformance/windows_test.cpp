// Windows and the message queue: window classes, the creation handshake,
// destruction, the default window procedure, posting, peeking, getting,
// dispatching, waiting and quitting, and a player's input as messages.
#include <algorithm>

#include "conformance.h"

namespace {

using conformance::handler;
using conformance::messagesAmong;
using conformance::seen;
using conformance::WindowTest;
using recording::answer;
using recording::take;

// The messages of creation and destruction that the game's window sees.
std::vector<UINT> lifeMessages() {
    return messagesAmong({WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY});
}

// A thread message's window filter: messages posted to no window only.
const HWND kThreadMessages = reinterpret_cast<HWND>(intptr_t(-1));

// ---- Classes and creation -------------------------------------------------------------

TEST_F(WindowTest, ClassNamesIgnoreCaseAndTheGamesClassAndStylesAreTaken) {
    WNDCLASSA again{};
    again.lpfnWndProc = recording::procedure;
    again.lpszClassName = "VARNHOLTCONFORMANCEWINDOW";
    EXPECT_EQ(RegisterClassA(&again), 0) << "the same name in other letters";
    HWND window = CreateWindowExA(0, "varnholtconformancewindow", "", WS_POPUP, 0, 0, 10, 10,
                                  nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(window, nullptr);
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClassHere", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              nullptr, nullptr),
              nullptr);
    DestroyWindow(window);

    // The game's class and window styles are taken.
    WNDCLASSA game{};
    game.style = CS_HREDRAW | CS_VREDRAW;
    game.lpfnWndProc = recording::procedure;
    game.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    game.lpszClassName = "VarnholtConformanceGame";
    ASSERT_NE(RegisterClassA(&game), 0);
    DWORD exStyle = 0;
    handler() = [&exStyle](HWND, UINT message, WPARAM, LPARAM lParam, bool&) {
        if (message == WM_CREATE)
            exStyle = reinterpret_cast<const CREATESTRUCTA*>(lParam)->dwExStyle;
        return LRESULT(0);
    };
    window = CreateWindowExA(WS_EX_TOPMOST, game.lpszClassName, "game", WS_POPUP, 0, 0,
                             GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr,
                             nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
    EXPECT_FALSE(ShowWindow(window, SW_SHOW)) << "made hidden";
    EXPECT_TRUE(DestroyWindow(window));
}

// WM_NCCREATE comes first and WM_CREATE before CreateWindowExA returns, each
// with the creation's arguments.
TEST_F(WindowTest, CreationSendsNcCreateFirstAndCreateBeforeItReturnsWithTheArguments) {
    int cookie = 0;
    HWND inside = nullptr;
    std::vector<CREATESTRUCTA> received;
    handler() = [&](HWND window, UINT message, WPARAM, LPARAM lParam, bool&) {
        if (message == WM_CREATE) inside = window;
        if (message == WM_NCCREATE || message == WM_CREATE)
            received.push_back(*reinterpret_cast<const CREATESTRUCTA*>(lParam));
        return LRESULT(0);
    };
    HWND window = conformance::createHiddenWindow(&cookie);
    ASSERT_NE(window, nullptr);
    ASSERT_FALSE(seen().empty());
    EXPECT_EQ(seen().front().message, UINT(WM_NCCREATE)) << "the very first message";
    EXPECT_EQ(seen().front().window, window);
    EXPECT_EQ(inside, window);
    EXPECT_EQ(lifeMessages(), (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));
    ASSERT_EQ(received.size(), 2u);
    for (const CREATESTRUCTA& create : received) {
        EXPECT_EQ(create.lpCreateParams, &cookie);
        EXPECT_EQ(create.x, 10);
        EXPECT_EQ(create.y, 20);
        EXPECT_EQ(create.cx, 300);
        EXPECT_EQ(create.cy, 200);
        EXPECT_TRUE(create.style & LONG(WS_POPUP));
        EXPECT_EQ(create.hwndParent, nullptr);
        ASSERT_NE(create.lpszName, nullptr);
        EXPECT_STREQ(create.lpszName, "hidden");
        ASSERT_NE(create.lpszClass, nullptr);
        EXPECT_STREQ(create.lpszClass, conformance::kClassName);
    }
    DestroyWindow(window);
}

TEST_F(WindowTest, RefusedCreationGivesNull) {
    answer(WM_NCCREATE, FALSE);
    EXPECT_EQ(conformance::createHiddenWindow(), nullptr);
    EXPECT_EQ(lifeMessages(), (std::vector<UINT>{WM_NCCREATE, WM_NCDESTROY}));
    // WM_CREATE answering -1 destroys the window.
    seen().clear();
    answer(WM_CREATE, -1);
    EXPECT_EQ(conformance::createHiddenWindow(), nullptr);
    std::vector<UINT> life = lifeMessages();
    ASSERT_GE(life.size(), 3u);
    EXPECT_EQ(life[0], UINT(WM_NCCREATE));
    EXPECT_EQ(life[1], UINT(WM_CREATE));
    EXPECT_EQ(life.back(), UINT(WM_NCDESTROY)) << "the window's last message";
    HWND gone = seen().front().window;
    EXPECT_FALSE(DestroyWindow(gone));
    EXPECT_FALSE(PostMessageA(gone, WM_USER, 0, 0));
}

// ---- Destruction and the default procedure --------------------------------------------

// A hidden window, made before the test with nothing left of its making in
// the queue or the log, and destroyed after it unless the test did.
class WindowTestWithAWindow : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        window_ = conformance::createHiddenWindow();
        ASSERT_NE(window_, nullptr);
        // Whatever creation left in the queue is not the test's.
        while (!recording::queueEmpty()) {
        }
        seen().clear();
    }
    void TearDown() override {
        DestroyWindow(window_);
        WindowTest::TearDown();
    }

    HWND window_ = nullptr;
};

TEST_F(WindowTestWithAWindow, DestroySendsDestroyThenNcDestroyOnce) {
    EXPECT_TRUE(DestroyWindow(window_));
    EXPECT_EQ(lifeMessages(), (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
    for (const auto& entry : seen()) EXPECT_EQ(entry.window, window_);
    EXPECT_FALSE(DestroyWindow(window_)) << "a window that is gone";
    EXPECT_EQ(lifeMessages().size(), 2u);
}

TEST_F(WindowTestWithAWindow, DestroyCalledAgainFromTheDestroyHandlerEndsTheWindowOnce) {
    bool nestedCalled = false;
    handler() = [&nestedCalled](HWND self, UINT message, WPARAM, LPARAM, bool&) {
        if (message == WM_DESTROY && !nestedCalled) {
            nestedCalled = true;
            DestroyWindow(self);
        }
        return LRESULT(0);
    };
    EXPECT_TRUE(DestroyWindow(window_));
    EXPECT_TRUE(nestedCalled);
    std::vector<UINT> life = lifeMessages();
    ASSERT_FALSE(life.empty());
    EXPECT_EQ(life.front(), UINT(WM_DESTROY));
    EXPECT_EQ(life.back(), UINT(WM_NCDESTROY));
    EXPECT_EQ(std::count(life.begin(), life.end(), UINT(WM_NCDESTROY)), 1);
    EXPECT_FALSE(DestroyWindow(window_)) << "gone";
}

TEST_F(WindowTestWithAWindow, DefaultProcedureDestroysOnCloseAndTakesCreation) {
    EXPECT_EQ(DefWindowProcA(window_, WM_USER, 1, 2), 0);
    CREATESTRUCTA create{};
    create.lpszName = "again";
    create.lpszClass = conformance::kClassName;
    create.style = LONG(WS_POPUP);
    EXPECT_EQ(DefWindowProcA(window_, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create)), TRUE);
    seen().clear();
    EXPECT_EQ(DefWindowProcA(window_, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(lifeMessages(), (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(DestroyWindow(window_)) << "already destroyed by the close";
}

TEST_F(WindowTestWithAWindow, ShowWindowAnswersThePreviousVisibility) {
    EXPECT_FALSE(ShowWindow(window_, SW_SHOW));
    EXPECT_TRUE(ShowWindow(window_, SW_HIDE));
    EXPECT_FALSE(ShowWindow(window_, SW_HIDE));
    EXPECT_FALSE(ShowWindow(window_, SW_SHOWNORMAL));
    EXPECT_TRUE(ShowWindow(window_, SW_SHOWNORMAL));
}

TEST_F(WindowTest, StockAndOwnIconsTheCursorAndTheScreenSize) {
    EXPECT_NE(LoadIconA(nullptr, IDI_APPLICATION), nullptr);
    EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);
    EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(12345)), nullptr) << "no such stock icon";
    EXPECT_GT(GetSystemMetrics(SM_CXSCREEN), 0);
    EXPECT_GT(GetSystemMetrics(SM_CYSCREEN), 0);

    // The game's window class takes its icon from the program's own module,
    // as LoadIconA(instance, IDI_APPLICATION) finds it there: not the stock one.
    HINSTANCE self = GetModuleHandleA(nullptr);
    ASSERT_NE(self, nullptr);
    HICON icon = LoadIconA(self, IDI_APPLICATION);
    EXPECT_NE(icon, nullptr);
    EXPECT_NE(icon, LoadIconA(nullptr, IDI_APPLICATION));
    EXPECT_EQ(LoadIconA(self, MAKEINTRESOURCEA(12345)), nullptr) << "no such icon in it";
}

// ---- The queue --------------------------------------------------------------------------

class MessageQueue : public WindowTestWithAWindow {};

TEST_F(MessageQueue, PeekWithoutRemoveAndWaitMessageLeaveTheMessageQueued) {
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "an empty queue";
    ASSERT_TRUE(PostMessageA(window_, WM_USER, 5, 6));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, UINT(WM_USER));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, window_);
    EXPECT_EQ(msg.message, UINT(WM_USER));
    EXPECT_EQ(msg.wParam, WPARAM(5));
    EXPECT_EQ(msg.lParam, LPARAM(6));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_TRUE(seen().empty()) << "peeking calls no window procedure";
    // WaitMessage returns for a message that came since the last look.
    ASSERT_TRUE(PostMessageA(window_, WM_USER, 0, 0));
    EXPECT_TRUE(WaitMessage());
    EXPECT_EQ(take().message, UINT(WM_USER)) << "and leaves it queued";
}

TEST_F(MessageQueue, FiltersPickMatchingMessagesOutOfOrder) {
    PostMessageA(nullptr, WM_USER + 1, 0, 0);
    PostMessageA(window_, WM_USER + 2, 0, 0);
    PostMessageA(window_, WM_USER + 3, 0, 0);
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 3, WM_USER + 9, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_USER + 3));
    ASSERT_TRUE(PeekMessageA(&msg, window_, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_USER + 2));
    EXPECT_FALSE(PeekMessageA(&msg, window_, 0, 0, PM_REMOVE));
    ASSERT_TRUE(PeekMessageA(&msg, kThreadMessages, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_USER + 1));
    EXPECT_EQ(msg.hwnd, nullptr);
}

TEST_F(MessageQueue, QuitComesAfterPostedMessagesWithItsCodeAndPassesAnyFilter) {
    PostQuitMessage(0x1234);
    PostMessageA(window_, WM_USER, 0, 0);
    MSG msg{};
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, UINT(WM_USER));
    ASSERT_TRUE(PeekMessageA(&msg, window_, WM_USER, WM_USER, PM_NOREMOVE));
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.lParam, 0);
    EXPECT_EQ(GetMessageA(&msg, window_, WM_USER, WM_USER), FALSE) << "still there after a peek";
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(msg.wParam, WPARAM(0x1234));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "the quit is taken once";
}

TEST_F(MessageQueue, AWindowFilterThatIsGoneIsAnError) {
    HWND gone = conformance::createHiddenWindow();
    ASSERT_TRUE(DestroyWindow(gone));
    PostMessageA(window_, WM_USER, 0, 0);
    MSG msg{};
    EXPECT_EQ(GetMessageA(&msg, gone, 0, 0), -1);
    EXPECT_FALSE(PeekMessageA(&msg, gone, 0, 0, PM_REMOVE));
    EXPECT_EQ(take().message, UINT(WM_USER)) << "the queue is untouched";
}

TEST_F(MessageQueue, DispatchCallsTheProcedureAndAnswersItsResult) {
    handler() = [](HWND, UINT message, WPARAM wParam, LPARAM, bool& handled) {
        handled = message == WM_USER;
        return LRESULT(wParam * 2);
    };
    PostMessageA(window_, WM_USER, 21, 9);
    MSG msg = take();
    EXPECT_TRUE(seen().empty()) << "nothing is called before the dispatch";
    EXPECT_EQ(DispatchMessageA(&msg), 42);
    ASSERT_EQ(seen().size(), 1u);
    EXPECT_EQ(seen()[0].window, window_);
    EXPECT_EQ(seen()[0].message, UINT(WM_USER));
    EXPECT_EQ(seen()[0].wParam, WPARAM(21));
    EXPECT_EQ(seen()[0].lParam, LPARAM(9));
    // A thread message is dispatched nowhere.
    PostMessageA(nullptr, WM_USER, 1, 2);
    msg = take();
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(DispatchMessageA(&msg), 0);
    EXPECT_EQ(seen().size(), 1u) << "nothing more was called";
}

TEST_F(MessageQueue, DestroyingAWindowDropsItsPostedMessages) {
    HWND other = conformance::createHiddenWindow();
    ASSERT_NE(other, nullptr);
    PostMessageA(other, WM_USER + 1, 0, 0);
    PostMessageA(window_, WM_USER + 2, 0, 0);
    ASSERT_TRUE(DestroyWindow(other));
    EXPECT_FALSE(PostMessageA(other, WM_USER + 3, 0, 0));
    MSG msg = take();
    EXPECT_EQ(msg.message, UINT(WM_USER + 2));
    EXPECT_EQ(msg.hwnd, window_);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

// ---- A player's input ------------------------------------------------------------------

// The game's full-screen window in front, given input as a player's mouse
// and keyboard give it.
class PlayerInput : public conformance::DisplayTest {
  protected:
    void SetUp() override {
        DisplayTest::SetUp();
        takeDisplay(32);
        conformance::pumpUntil([] { return true; }, "the queue");
        seen().clear();
    }

    // A mouse input; with MOUSEEVENTF_ABSOLUTE, at this pixel of the screen
    // (at its middle in the normalised coordinates, which span the screen
    // from 0 to 65536).
    static INPUT mouse(DWORD flags, int x = 0, int y = 0) {
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dx = (2 * x + 1) * 65536 / (2 * conformance::kScreenWidth);
        input.mi.dy = (2 * y + 1) * 65536 / (2 * conformance::kScreenHeight);
        input.mi.dwFlags = flags;
        return input;
    }
    static INPUT key(WORD virtualKey, DWORD flags) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = virtualKey;
        input.ki.dwFlags = flags;
        return input;
    }

    void send(std::vector<INPUT> inputs) {
        EXPECT_EQ(SendInput(UINT(inputs.size()), inputs.data(), int(sizeof(INPUT))),
                  UINT(inputs.size()));
    }
    // Waits for the window to be given the message with this wParam and
    // answers its lParam.
    static LPARAM awaitMessage(UINT message, WPARAM wParam, const char* what) {
        LPARAM lParam = -1;
        conformance::pumpUntil(
            [&] {
                for (const auto& entry : seen())
                    if (entry.message == message && entry.wParam == wParam) lParam = entry.lParam;
                return lParam != -1;
            },
            what);
        return lParam;
    }
};

TEST_F(PlayerInput, MouseMessagesCarryThePointersPlaceInTheWindow) {
    const struct {
        const char* what;
        DWORD press, release;
        UINT message;
        int x, y;
    } moves[] = {
        {"WM_MOUSEMOVE", 0, 0, WM_MOUSEMOVE, 300, 200},
        {"WM_LBUTTONUP", MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, WM_LBUTTONUP, 17, 705},
        {"WM_RBUTTONUP", MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, WM_RBUTTONUP, 1000, 9},
    };
    for (const auto& move : moves) {
        seen().clear();
        const DWORD place = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        send({mouse(place | move.press, move.x, move.y), mouse(move.release)});
        // No button is down any more: wParam holds no MK_ flag.
        EXPECT_EQ(awaitMessage(move.message, 0, move.what), MAKELPARAM(move.x, move.y));
    }
}

TEST_F(PlayerInput, AKeyPressWakesAWaitAndTranslatesToItsCharacter) {
    send({key(VK_ESCAPE, 0), key(VK_ESCAPE, KEYEVENTF_KEYUP), key('A', 0),
          key('A', KEYEVENTF_KEYUP)});
    EXPECT_TRUE(WaitMessage()) << "as the game waits in the background";
    EXPECT_EQ(LOWORD(awaitMessage(WM_KEYDOWN, VK_ESCAPE, "WM_KEYDOWN(VK_ESCAPE)")), 1)
        << "pressed once";
    awaitMessage(WM_KEYDOWN, 'A', "WM_KEYDOWN('A')");
    awaitMessage(WM_CHAR, 'a', "WM_CHAR('a') from TranslateMessage");
}

}  // namespace
