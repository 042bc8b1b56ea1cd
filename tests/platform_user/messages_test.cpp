// The message queue on the headless host: waiting for scripted input, the
// host's input arriving as window messages, and the journal and chosen
// answers of the queue's calls. How peeking, getting, posting and quitting
// answer is stated by the conformance tests (tests/conformance).
#include "test_window.h"

using recording::queueEmpty;
using recording::take;
using testwin::WindowTest;

namespace {

class QueueTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        window = testwin::create();
        ASSERT_NE(window, nullptr);
        testwin::seen().clear();
    }

    HWND window = nullptr;
};

}  // namespace

TEST_F(QueueTest, GetMessageWaitsForScriptedInputAndEndsAStall) {
    int idleCalls = 0;
    vh::test::onIdle([&idleCalls] {
        if (++idleCalls == 1) vh::test::keyPress(VK_SPACE);
    });
    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, UINT(WM_KEYDOWN));
    EXPECT_EQ(msg.wParam, WPARAM(VK_SPACE));
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.wParam, WPARAM(vh::test::kNoInputQuitCode));
    EXPECT_EQ(idleCalls, 2);
}

TEST_F(QueueTest, WaitMessageReturnsForQueuedInputWithoutAskingIdle) {
    bool idleCalled = false;
    vh::test::onIdle([&idleCalled] { idleCalled = true; });
    vh::test::mouseMove(1, 2);
    EXPECT_TRUE(WaitMessage());
    EXPECT_FALSE(idleCalled);
    EXPECT_EQ(take().message, UINT(WM_MOUSEMOVE));
}

TEST_F(QueueTest, WaitMessageWithNothingToComeQuitsWithTheStallCode) {
    EXPECT_TRUE(WaitMessage());
    MSG msg = take();
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(msg.wParam, WPARAM(vh::test::kNoInputQuitCode));
}

TEST_F(QueueTest, AMessagePostedByTheIdleHandlerIsNoStall) {
    vh::test::onIdle([this] { PostMessageA(window, WM_USER, 0, 0); });
    EXPECT_TRUE(WaitMessage());
    EXPECT_EQ(take().message, UINT(WM_USER));
    EXPECT_TRUE(queueEmpty());
}

TEST_F(QueueTest, HostEventsBecomeWindowMessagesInOrder) {
    vh::test::mouseMove(100, 200);
    vh::test::mouseRelease(1, 1023, 767);
    vh::test::mouseRelease(2, 3, 4);
    vh::test::keyPress(VK_ESCAPE);
    vh::test::closeRequest();
    struct Expected {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    const Expected expected[] = {{WM_MOUSEMOVE, 0, 100 | (200 << 16)},
                                 {WM_LBUTTONUP, 0, 1023 | (767 << 16)},
                                 {WM_RBUTTONUP, 0, 3 | (4 << 16)},
                                 {WM_KEYDOWN, VK_ESCAPE, -1},
                                 {WM_CLOSE, 0, 0}};
    for (const auto& want : expected) {
        MSG msg = take();
        EXPECT_EQ(msg.hwnd, window);
        EXPECT_EQ(msg.message, want.message);
        EXPECT_EQ(msg.wParam, want.wParam);
        if (want.lParam >= 0) {
            EXPECT_EQ(msg.lParam, want.lParam);
        }
    }
    EXPECT_TRUE(queueEmpty());
}

// However fast the player switches, the game hears of each change with the
// display already in the state the message tells of: the message is sent
// while the queue is read, not posted behind other messages.
TEST_F(QueueTest, FocusChangesAreSentWithTheDisplayAlreadyChanged) {
    std::vector<std::pair<WPARAM, bool>> activations;
    testwin::handler() = [&](HWND, UINT message, WPARAM wParam, LPARAM, bool&) -> LRESULT {
        if (message == WM_ACTIVATEAPP)
            activations.push_back({wParam, vh::test::displayForeground()});
        return 0;
    };
    vh::test::focusLost();
    vh::test::focusGained();
    vh::test::focusLost();
    PostMessageA(window, WM_USER, 0, 0);
    EXPECT_EQ(take().message, UINT(WM_USER)) << "no WM_ACTIVATEAPP is queued";
    using Seen = std::pair<WPARAM, bool>;
    EXPECT_EQ(activations, (std::vector<Seen>{{FALSE, false}, {TRUE, true}, {FALSE, false}}));
    EXPECT_FALSE(vh::test::displayForeground());
}

TEST_F(QueueTest, AFocusGainEndsAWait) {
    vh::test::focusLost();
    vh::test::onIdle([] { vh::test::focusGained(); });
    EXPECT_EQ(WaitMessage(), TRUE);
    EXPECT_EQ(testwin::messagesSeen(), (std::vector<UINT>{WM_ACTIVATEAPP, WM_ACTIVATEAPP}));
    EXPECT_TRUE(queueEmpty()) << "not a quit for lack of input";
}

TEST_F(QueueTest, CloseThroughTheDefaultProcedureDestroysAndLaterMessagesAreDropped) {
    vh::test::closeRequest();
    MSG close = take();
    PostMessageA(window, WM_USER, 0, 0);
    MSG late = take();
    PostMessageA(window, WM_USER + 1, 0, 0);
    DispatchMessageA(&close);  // DefWindowProcA destroys the window
    EXPECT_EQ(testwin::messagesSeen(), (std::vector<UINT>{WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_EQ(DispatchMessageA(&late), 0);
    EXPECT_EQ(testwin::messagesSeen().size(), 3u) << "a message for a destroyed window";
    EXPECT_TRUE(queueEmpty()) << "messages still queued for the window went with it";
}

TEST_F(QueueTest, TranslateTypesTheCharacterNext) {
    vh::test::keyPress('Q');
    vh::test::keyPress(VK_LEFT);
    MSG key = take();
    EXPECT_TRUE(TranslateMessage(&key));
    MSG typed = take();
    EXPECT_EQ(typed.message, UINT(WM_CHAR));
    EXPECT_EQ(typed.wParam, WPARAM('q'));
    MSG arrow = take();
    EXPECT_TRUE(TranslateMessage(&arrow));
    EXPECT_TRUE(queueEmpty()) << "an arrow types nothing";
}

TEST_F(QueueTest, DispatchCallsTheProcedureAndJournalsIt) {
    testwin::handler() = [](HWND, UINT message, WPARAM wParam, LPARAM, bool& handled) {
        handled = message == WM_USER;
        return LRESULT(wParam * 2);
    };
    PostMessageA(window, WM_USER, 21, 0);
    vh::test::clearJournal();
    MSG msg = take();
    EXPECT_EQ(DispatchMessageA(&msg), 42);
    auto calls = vh::test::journal();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].name, "PeekMessageA");
    EXPECT_EQ(calls[1].name, "WindowProc");
    EXPECT_EQ(calls[1].object, window);
    EXPECT_EQ(calls[1].result, WM_USER);
    EXPECT_EQ(calls[2].name, "DispatchMessageA");
    EXPECT_EQ(calls[2].result, 42);
}

TEST_F(QueueTest, InjectedPeekAndWaitAnswerWithoutTouchingTheQueue) {
    vh::test::keyPress(VK_RETURN);
    vh::test::injectResult("PeekMessageA", FALSE, 2);
    vh::test::injectResult("WaitMessage", FALSE);
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_FALSE(WaitMessage());
    EXPECT_EQ(take().message, UINT(WM_KEYDOWN));
}
