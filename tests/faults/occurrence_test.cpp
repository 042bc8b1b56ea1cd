// Failing one chosen occurrence of a platform call, as the fault sweep does:
// the calls before it are untouched, the one answers the failure, the calls
// after it work again; and a failure chosen for after the work still lets
// the call give back what it holds.
#include <gtest/gtest.h>

#include <win32/ddraw.h>
#include <win32/windows.h>

#include "surfaces.h"
#include "varnholt/platform_test.h"

namespace {

using vh::test::injectResultAt;
using vh::test::pendingInjections;

TEST(FailingOneOccurrence, OnlyTheChosenCallAnswersTheFailure) {
    injectResultAt("GetSystemMetrics", 2, 0);
    EXPECT_EQ(pendingInjections(), 1);
    std::vector<int> answers;
    for (int i = 0; i < 5; ++i) answers.push_back(GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(answers, (std::vector<int>{1920, 1920, 0, 1920, 1920}));
    EXPECT_EQ(pendingInjections(), 0);
    // The journal shows the failure at its place.
    auto calls = vh::test::journal();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[2].result, 0);
    EXPECT_EQ(calls[3].result, 1920);

    // Other calls do not count towards the occurrence.
    injectResultAt("GetSystemMetrics", 1, 0);
    EXPECT_NE(LoadIconA(nullptr, IDI_APPLICATION), nullptr);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1080);
    EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 0);
}

// Destroys its window once more from WM_DESTROY, as the game's handler does.
LRESULT CALLBACK destroyAgain(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) DestroyWindow(window);
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST(FailingOneOccurrence, CallsCountInTheOrderTheyStartNotTheOrderTheyReturn) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = destroyAgain;
    windowClass.lpszClassName = "nested";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    HWND window = CreateWindowExA(0, "nested", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    vh::test::clearJournal();
    // The second call to start is the one inside WM_DESTROY, which returns first
    // (FALSE, its window being on its way out already).
    injectResultAt("DestroyWindow", 1, 7);
    EXPECT_TRUE(DestroyWindow(window));
    std::vector<vh::test::Call> destroys;
    for (const auto& call : vh::test::journal())
        if (call.name == "DestroyWindow") destroys.push_back(call);
    ASSERT_EQ(destroys.size(), 2u);
    EXPECT_EQ(destroys[0].result, 7);
    EXPECT_EQ(destroys[1].result, TRUE);
    EXPECT_GT(destroys[0].started, destroys[1].started);
}

// An off-screen surface whose device context the test holds.
class FailingOneOccurrenceOnASurface : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
        ASSERT_EQ(dd->SetCooperativeLevel(reinterpret_cast<HWND>(0x1000), DDSCL_NORMAL), DD_OK);
        surface = fixture::makeOffScreen(dd, 4, 4);
        ASSERT_EQ(surface->GetDC(&dc), DD_OK);
    }
    void TearDown() override {
        if (surface) surface->Release();
        if (dd) dd->Release();
        EXPECT_EQ(vh::test::liveObjectCount(), 0);
    }

    LPDIRECTDRAW dd = nullptr;
    IDirectDrawSurface* surface = nullptr;
    HDC dc = nullptr;
};

TEST_F(FailingOneOccurrenceOnASurface, InsteadOfTheWorkTheSurfaceKeepsItsDeviceContext) {
    injectResultAt("IDirectDrawSurface::ReleaseDC", 0, DDERR_GENERIC);
    EXPECT_EQ(surface->ReleaseDC(dc), DDERR_GENERIC);
    HDC again = nullptr;
    EXPECT_EQ(surface->GetDC(&again), DDERR_DCALREADYCREATED);
    EXPECT_EQ(surface->ReleaseDC(dc), DD_OK);
}

TEST_F(FailingOneOccurrenceOnASurface, AfterTheWorkTheAnswerIsReplacedAndNothingIsKept) {
    injectResultAt("IDirectDrawSurface::ReleaseDC", 0, DDERR_GENERIC, true);
    EXPECT_EQ(surface->ReleaseDC(dc), DDERR_GENERIC);
    HDC again = nullptr;
    EXPECT_EQ(surface->GetDC(&again), DD_OK) << "the device context was given back";
    EXPECT_EQ(surface->ReleaseDC(again), DD_OK);

    HDC memory = CreateCompatibleDC(nullptr);
    const int live = vh::test::liveObjectCount();
    injectResultAt("DeleteDC", 0, FALSE, true);
    EXPECT_EQ(DeleteDC(memory), FALSE);
    EXPECT_EQ(vh::test::liveObjectCount(), live - 1);
    auto calls = vh::test::journal();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().name, "DeleteDC");
    EXPECT_EQ(calls.back().result, FALSE);
}

TEST(FailingOneOccurrence, CallsThatAnswerOnlyInsteadOfTheWorkLeaveAfterWorkChoicesPending) {
    injectResultAt("QueryPerformanceCounter", 0, 0, true);
    LARGE_INTEGER count{};
    EXPECT_TRUE(QueryPerformanceCounter(&count));
    EXPECT_EQ(pendingInjections(), 1);
    vh::test::clearInjections();
    injectResultAt("QueryPerformanceCounter", 1, 0);
    EXPECT_TRUE(QueryPerformanceCounter(&count));
    EXPECT_FALSE(QueryPerformanceCounter(&count));
    EXPECT_EQ(pendingInjections(), 0);
}

}  // namespace
