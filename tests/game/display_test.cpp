// Taking the display, matching the colour key, and giving it all back.
#include <gtest/gtest.h>

#include "display/display.h"
#include "game_fixture.h"
#include "surfaces.h"

namespace {

using vh::test::injectResult;
using vh::test::journalNames;

const std::vector<std::string> kSetUpCalls = {
    "DirectDrawCreate",
    "IDirectDraw::SetCooperativeLevel",
    "IDirectDraw::SetDisplayMode",
    "IDirectDraw::CreateSurface",
    "IDirectDrawSurface::GetAttachedSurface",
    "IDirectDraw::CreateClipper",
    "IDirectDrawClipper::SetHWnd",
    "IDirectDrawSurface::SetClipper",
    "IDirectDrawSurface::Lock",
};

Application& windowOnly() {
    Application& app = Application::instance();
    app.title = "Varnholt";
    app.createWindow();
    vh::test::clearJournal();
    return app;
}

TEST(DisplaySetUp, RunsItsStepsInOrderAndMatchesMagenta) {
    Application& app = windowOnly();
    ASSERT_EQ(app.initDisplay(), 0);
    EXPECT_EQ(journalNames(kSetUpCalls), kSetUpCalls);
    ASSERT_NE(app.directDraw, nullptr);
    ASSERT_NE(app.primarySurface, nullptr);
    ASSERT_NE(app.backBuffer, nullptr);
    EXPECT_NE(app.primarySurface, app.backBuffer);
    EXPECT_EQ(app.colorKey, 0x00FF00FFu);  // magenta in X8R8G8B8
}

class DisplaySetUpFailure : public testing::TestWithParam<int> {};

TEST_P(DisplaySetUpFailure, AnswersAtTheFirstFailingCallAndKeepsWhatItMade) {
    const size_t failing = static_cast<size_t>(GetParam());
    Application& app = windowOnly();
    injectResult(kSetUpCalls[failing], E_FAIL);
    EXPECT_EQ(app.initDisplay(), 0x82);
    auto calls = journalNames(kSetUpCalls);
    ASSERT_EQ(calls.size(), failing + 1);  // nothing after the failing call
    EXPECT_EQ(app.directDraw != nullptr, failing > 0);
    EXPECT_EQ(app.primarySurface != nullptr, failing > 3);
    EXPECT_EQ(app.backBuffer != nullptr, failing > 4);
    // A half-made display cannot be restored, and gives back all it made.
    EXPECT_EQ(app.restoreSurfaces(), failing > 4 ? 1 : 0);
    app.releaseDisplay();
    EXPECT_EQ(vh::test::liveObjectCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(EachStep, DisplaySetUpFailure, testing::Range(0, 8));

TEST(DisplaySetUp, ARefusedModeFailsButKeepsTheDirectDrawObject) {
    Application& app = windowOnly();
    app.width = 1000;  // no such mode; nothing in the game ever does this
    EXPECT_EQ(app.initDisplay(), 0x82);
    EXPECT_NE(app.directDraw, nullptr);
    EXPECT_EQ(app.primarySurface, nullptr);
}

TEST(DisplaySetUp, AFailedLockLeavesNoColourKeyButSucceeds) {
    Application& app = windowOnly();
    injectResult("IDirectDrawSurface::Lock", DDERR_SURFACEBUSY);
    EXPECT_EQ(app.initDisplay(), 0);
    EXPECT_EQ(app.colorKey, 0xFFFFFFFFu);
}

// Everything the display set-up made goes back, once: the clipper too, whose
// only reference after the set-up is the back buffer's.
TEST(DisplayRelease, ReleasesBackBufferThenPrimaryThenDirectDrawOnceAndLeavesNothing) {
    Application& app = fixture::startDisplayOnly();
    EXPECT_EQ(vh::test::liveObjectCount(), 4);  // DirectDraw, two surfaces, the clipper
    IDirectDrawSurface* back = app.backBuffer;
    IDirectDrawSurface* primary = app.primarySurface;
    IDirectDraw* directDraw = app.directDraw;
    vh::test::clearJournal();
    app.releaseDisplay();
    app.releaseDisplay();  // the second call does nothing
    std::vector<const void*> released;
    for (const auto& call : vh::test::journal())
        if (call.name.ends_with("::Release")) released.push_back(call.object);
    EXPECT_EQ(released, (std::vector<const void*>{back, primary, directDraw}));
    EXPECT_EQ(app.backBuffer, nullptr);
    EXPECT_EQ(app.primarySurface, nullptr);
    EXPECT_EQ(app.directDraw, nullptr);
    EXPECT_EQ(vh::test::liveObjectCount(), 0);
}

// ---- matchColor on surfaces of both depths ----------------------------------

// A display of its own at the given depth, given back when the probe goes.
struct Probe {
    explicit Probe(int bits) {
        directDraw = fixture::openDisplay(windowOnly().window, 1024, 768, bits);
        if (directDraw) primary = fixture::makeFlippingChain(directDraw, nullptr);
    }
    ~Probe() {
        if (primary) primary->Release();
        if (directDraw) directDraw->Release();
    }
    IDirectDraw* directDraw = nullptr;
    IDirectDrawSurface* primary = nullptr;
};

// The pixel at the origin, which the match writes and reads, is given back;
// for an invalid colour it is only read. When it cannot be written back the
// match still counts.
TEST(MatchColor, ThirtyTwoBitsGiveTheWholeWordAndThePixelBackWhenItCanBeWritten) {
    Probe probe(32);
    vh::test::setSurfaceRawPixel(probe.primary, 0, 0, 0x00345678);
    EXPECT_EQ(matchColor(0x00FF00FF, probe.primary), 0x00FF00FFu);
    EXPECT_EQ(matchColor(RGB(0x12, 0x34, 0x56), probe.primary), 0x00123456u);
    EXPECT_EQ(vh::test::surfaceRawPixel(probe.primary, 0, 0), 0x00345678u);
    vh::test::clearJournal();
    EXPECT_EQ(matchColor(CLR_INVALID, probe.primary), 0x00345678u);
    EXPECT_TRUE(journalNames({"SetPixel", "IDirectDrawSurface::GetDC"}).empty());

    vh::test::injectResultAt("IDirectDrawSurface::GetDC", 1, DDERR_SURFACELOST);
    EXPECT_EQ(matchColor(0x00FF00FF, probe.primary), 0x00FF00FFu);
    EXPECT_EQ(vh::test::surfaceRawPixel(probe.primary, 0, 0), 0x00FF00FFu);  // left as it was
}

TEST(MatchColor, SixteenBitsStayWithinSixteenBits) {
    Probe probe(16);
    uint32_t key = matchColor(0x00FF00FF, probe.primary);
    EXPECT_LE(key, 0xFFFFu);
    EXPECT_EQ(key, 0xF81Fu);  // magenta in R5G6B5
}

// The lock is asked again while the surface is still drawing; a failed lock,
// or a surface that is always still drawing, answers all ones.
TEST(MatchColor, RepeatsTheLockWhileTheSurfaceIsStillDrawingAndAnswersAllOnesWhenItFails) {
    Probe probe(32);
    injectResult("IDirectDrawSurface::Lock", DDERR_WASSTILLDRAWING, 5);
    vh::test::clearJournal();
    EXPECT_EQ(matchColor(0x00FF00FF, probe.primary), 0x00FF00FFu);
    EXPECT_EQ(journalNames({"IDirectDrawSurface::Lock"}).size(), 6u);
    injectResult("IDirectDrawSurface::Lock", DDERR_SURFACELOST);
    EXPECT_EQ(matchColor(0x00FF00FF, probe.primary), 0xFFFFFFFFu);
    injectResult("IDirectDrawSurface::Lock", DDERR_WASSTILLDRAWING, -1);
    EXPECT_EQ(matchColor(0x00FF00FF, probe.primary), 0xFFFFFFFFu);
}

}  // namespace
