// The application shell: its defaults, the message table, activation, the
// frame loop's states and every exit code.
#include <gtest/gtest.h>

#include "display/sprite.h"
#include "game_fixture.h"

namespace {

using vh::test::injectResult;
using vh::test::journalNames;

// Before initialisation every message goes to the default procedure.
TEST(ApplicationObject, IsMadeOnceWithItsDefaultsAndPassesEverythingOnBeforeInitialisation) {
    vh::test::setPerformanceFrequency(1000);
    vh::test::setPerformanceCounter(42000);
    Application& app = Application::instance();
    EXPECT_EQ(&app, &Application::instance());
    EXPECT_EQ(app.directDraw, nullptr);
    EXPECT_TRUE(app.running);
    EXPECT_FALSE(app.initialised);
    EXPECT_EQ(app.active, 1);
    EXPECT_EQ(app.lastClockReading, 0.0);
    EXPECT_EQ(app.width, 1024);
    EXPECT_EQ(app.height, 768);
    EXPECT_EQ(app.bitsPerPixel, 32);
    EXPECT_EQ(app.clock.start, 42000.0);  // game time began with the object, before any window
    EXPECT_EQ(app.window, nullptr);
    EXPECT_EQ(app.pointer.clickTime, 0.0);

    HWND hwnd = reinterpret_cast<HWND>(0x1234);
    vh::test::clearJournal();
    EXPECT_EQ(app.handleMessage(hwnd, WM_ACTIVATEAPP, 0, 0), 0);
    app.handleMessage(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(100, 250));
    app.handleMessage(hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(app.active, 1);
    EXPECT_EQ(app.clock.pausedAt, 0.0);
    EXPECT_EQ(app.pointer.pointerX, 0);
    EXPECT_TRUE(app.running);
    EXPECT_EQ(journalNames({"DefWindowProcA"}).size(), 3u);
}

TEST(ApplicationStartUp, RunsItsStepsInOrder) {
    fixture::useRealArt();
    Application& app = fixture::startGame();
    EXPECT_TRUE(app.initialised);
    EXPECT_NE(app.window, nullptr);
    EXPECT_EQ(SpriteRegistry::instance().target, app.backBuffer);
    EXPECT_EQ(SpriteRegistry::instance().cursor, 16);  // seven sidebar sprites, nine of lot art
    // WM_NCCREATE and WM_CREATE arrive before initialisation has finished,
    // and go to the default procedure.
    auto calls = journalNames({"RegisterClassA", "CreateWindowExA", "DefWindowProcA",
                               "DirectDrawCreate", "GdipCreateBitmapFromFile"});
    ASSERT_GE(calls.size(), 6u);
    calls.resize(6);
    EXPECT_EQ(calls, (std::vector<std::string>{"RegisterClassA", "DefWindowProcA", "DefWindowProcA",
                                               "CreateWindowExA", "DirectDrawCreate",
                                               "GdipCreateBitmapFromFile"}));
}

TEST(ApplicationStartUp, MissingArtDoesNotStopIt) {
    fixture::useArtCopy({"GUI/sb_top.png", "Lots/lot_base.png"});
    Application& app = fixture::startGame();
    EXPECT_TRUE(app.initialised);
}

// ---- Messages -------------------------------------------------------------------

using fixture::RunningGame;

TEST_F(RunningGame, OnlyEscapeReleasesTheDisplayAndStopsTheLoop) {
    for (WPARAM key : {WPARAM('A'), WPARAM(VK_SPACE), WPARAM(VK_RETURN)})
        EXPECT_EQ(send(WM_KEYDOWN, key), 0);
    EXPECT_TRUE(app->running);
    EXPECT_NE(app->directDraw, nullptr);
    EXPECT_TRUE(journalNames({"DestroyWindow"}).empty());

    EXPECT_EQ(send(WM_KEYDOWN, VK_ESCAPE), 0);
    EXPECT_FALSE(app->running);
    EXPECT_EQ(app->directDraw, nullptr);
    EXPECT_EQ(app->backBuffer, nullptr);
    EXPECT_EQ(journalNames({"DestroyWindow"}).size(), 2u);  // ours, and the one inside WM_DESTROY
}

TEST_F(RunningGame, PointerMessagesReachThePointerState) {
    app->lastClockReading = 1234.5;
    send(WM_MOUSEMOVE, 0, MAKELPARAM(300, 400));
    EXPECT_EQ(app->pointer.pointerX, 300);
    EXPECT_EQ(app->pointer.pointerY, 400);
    EXPECT_EQ(app->pointer.clickTime, 0.0);
    send(WM_RBUTTONUP, 0, MAKELPARAM(100, 250));
    EXPECT_EQ(app->pointer.pointerX, 100);
    EXPECT_EQ(app->pointer.clickTime, 0.0);
    send(WM_LBUTTONUP, 0, MAKELPARAM(65535, 250));
    EXPECT_EQ(app->pointer.clickTime, 1234.5);
    EXPECT_EQ(app->pointer.clickX, 65535);  // unsigned, as the message packs it
    EXPECT_EQ(app->pointer.clickY, 250);
}

// Window creation after start-up is answered here; messages the game does
// not handle go to the default procedure.
TEST_F(RunningGame, WindowCreationIsAnsweredAndOtherMessagesGoToTheDefault) {
    EXPECT_EQ(send(WM_CREATE), 0);
    EXPECT_TRUE(journalNames({"DefWindowProcA"}).empty());
    send(WM_LBUTTONDOWN, 0, MAKELPARAM(100, 250));
    send(WM_USER + 7, 1, 2);
    EXPECT_EQ(journalNames({"DefWindowProcA"}).size(), 2u);
    EXPECT_EQ(app->pointer.pointerX, 0);
}

TEST_F(RunningGame, LosingTheForegroundPausesAndComingBackRestores) {
    vh::test::advanceTime(500);
    send(WM_ACTIVATEAPP, 0);
    EXPECT_EQ(app->active, 0);
    EXPECT_NE(app->clock.pausedAt, 0.0);
    double paused = app->clock.now();
    vh::test::advanceTime(10000);
    EXPECT_EQ(app->clock.now(), paused);
    EXPECT_TRUE(journalNames({"IDirectDrawSurface::Restore"}).empty());

    send(WM_ACTIVATEAPP, 1);
    EXPECT_EQ(app->active, 1);
    EXPECT_EQ(app->clock.pausedAt, 0.0);
    EXPECT_EQ(app->clock.now(), paused);  // the background time is not counted
    auto restores = vh::test::journal();
    std::vector<const void*> restored;
    for (const auto& call : restores)
        if (call.name == "IDirectDrawSurface::Restore") restored.push_back(call.object);
    ASSERT_GE(restored.size(), 2u);
    EXPECT_EQ(restored[0], app->primarySurface);
    EXPECT_EQ(restored[1], app->backBuffer);
    EXPECT_EQ(journalNames({"GdipCreateBitmapFromFile"}).size(), 7u + 9u);  // all art reloaded
}

// Activation while active only resumes; a second deactivation keeps the
// first one's pause.
TEST_F(RunningGame, AnActivationMessageThatRepeatsTheStateChangesNothing) {
    send(WM_ACTIVATEAPP, 1);
    EXPECT_TRUE(journalNames({"IDirectDrawSurface::Restore"}).empty());
    EXPECT_EQ(app->active, 1);
    vh::test::advanceTime(500);
    send(WM_ACTIVATEAPP, 0);
    const double paused = app->clock.pausedAt;
    vh::test::advanceTime(700);
    send(WM_ACTIVATEAPP, 0);
    EXPECT_EQ(app->clock.pausedAt, paused);
    EXPECT_EQ(app->active, 0);
    EXPECT_TRUE(journalNames({"IDirectDrawSurface::Restore"}).empty());
}

TEST_F(RunningGame, AFailedRestoreOnComingBackEndsTheGame) {
    send(WM_ACTIVATEAPP, 0);
    injectResult("IDirectDrawSurface::Restore", DDERR_WRONGMODE, 1, app->primarySurface);
    send(WM_ACTIVATEAPP, 1);
    EXPECT_FALSE(app->running);
    EXPECT_EQ(app->directDraw, nullptr);
    // Only the primary surface was tried.
    EXPECT_EQ(journalNames({"IDirectDrawSurface::Restore"}).size(), 1u);
    EXPECT_EQ(app->active, 1);
}

TEST_F(RunningGame, RestoreSurfacesAnswers) {
    EXPECT_EQ(app->restoreSurfaces(), 1);
    injectResult("IDirectDrawSurface::Restore", DDERR_WRONGMODE, 1, app->backBuffer);
    EXPECT_EQ(app->restoreSurfaces(), 0);
    EXPECT_FALSE(app->spritesLost);
}

TEST_F(RunningGame, ASpriteThatStaysLostDoesNotBlankTheOthersAndIsTriedAgain) {
    SpriteRegistry& registry = SpriteRegistry::instance();
    IDirectDrawSurface* prosButton = registry.slots[3]->frames[0][0];
    vh::test::loseAllSurfaces();
    injectResult("IDirectDrawSurface::Restore", DDERR_WRONGMODE, 1, prosButton);
    vh::test::clearJournal();
    EXPECT_EQ(app->restoreSurfaces(), 0x82);
    EXPECT_TRUE(app->spritesLost);
    // The sprites that came back got their pictures: the sidebar's up to the
    // lost button, where its loading stops, and all the lot art.
    EXPECT_EQ(journalNames({"GdipCreateBitmapFromFile"}).size(), 3u + 9u);
    auto top = vh::test::surfacePixels(registry.slots[0]->frames[0][0]);
    EXPECT_EQ(fixture::mismatches(top, 0, 0, fixture::art("GUI/sb_top.png"), 256, 304), 0);

    // The next frames try the lost one again until it comes back, and then
    // draw everything.
    injectResult("IDirectDrawSurface::Restore", DDERR_WRONGMODE, 1, prosButton);
    app->runFrame();
    EXPECT_TRUE(app->spritesLost);
    app->runFrame();
    EXPECT_FALSE(app->spritesLost);
    fixture::expectArtShown(vh::test::presentedFrame());
}

// One sprite surface that could not be made at start-up leaves its picture
// out, and nothing more: restoring the surfaces succeeds, and the frames after
// a restore do not keep restoring and reloading every picture.
TEST(ApplicationStartUp, ASpriteSurfaceThatWasNeverMadeIsNoFailedRestore) {
    fixture::useRealArt();
    // The primary surface is the first surface made, the sidebar's top the second.
    vh::test::injectResultAt("IDirectDraw::CreateSurface", 1, DDERR_OUTOFMEMORY);
    Application& app = fixture::startGame();
    ASSERT_EQ(SpriteRegistry::instance().slots[0]->frames[0][0], nullptr);
    vh::test::loseAllSurfaces();
    EXPECT_EQ(app.restoreSurfaces(), 1);
    EXPECT_FALSE(app.spritesLost);
    vh::test::clearJournal();
    for (int frame = 0; frame < 3; ++frame) app.runFrame();
    EXPECT_TRUE(journalNames({"IDirectDrawSurface::Restore", "GdipCreateBitmapFromFile"}).empty());
    EXPECT_EQ(vh::test::presentedFrameCount(), 3);
}

// A display surface whose restore fails once after a flip found the surfaces
// lost. Restoring the primary surface brings its back buffer back with it,
// so no later flip need fail and start the recovery again: the sprites, still
// lost, are tried again before the frames that follow, and the whole picture
// comes back.
class FailedRestoreAfterALostFlip : public RunningGame, public testing::WithParamInterface<bool> {};

TEST_P(FailedRestoreAfterALostFlip, StillBringsThePictureBack) {
    IDirectDrawSurface* failing = GetParam() ? app->primarySurface : app->backBuffer;
    vh::test::loseAllSurfaces();
    injectResult("IDirectDrawSurface::Restore", DDERR_OUTOFMEMORY, 1, failing);
    app->runFrame();
    EXPECT_TRUE(app->spritesLost);
    for (int frame = 0; frame < 3; ++frame) app->runFrame();
    EXPECT_FALSE(app->spritesLost);
    fixture::expectArtShown(vh::test::presentedFrame());
}

INSTANTIATE_TEST_SUITE_P(PrimaryOrBackBuffer, FailedRestoreAfterALostFlip, testing::Bool());

// ---- The frame loop and exit codes ----------------------------------------------

class FrameLoop : public fixture::WithRealArt {};

TEST_F(FrameLoop, EscapeEndsTheGameWithZero) {
    vh::test::clearJournal();
    fixture::play(3);
    EXPECT_EQ(vh::test::presentedFrameCount(), 3);
    EXPECT_FALSE(Application::instance().running);
    EXPECT_EQ(Application::instance().directDraw, nullptr);
    EXPECT_EQ(journalNames({"GdiplusStartup"}).size(), 1u);
    EXPECT_EQ(journalNames({"GdiplusShutdown"}).size(), 1u);
    // The display went; only the sixteen sprites' surfaces live on, as every
    // sprite does until the process ends.
    EXPECT_EQ(vh::test::liveObjectCount(), 16);
}

TEST_F(FrameLoop, NoFrameRunsWhileMessagesWait) {
    for (int i = 0; i < 50; ++i) vh::test::mouseMove(300 + i, 300);
    vh::test::keyPress(VK_ESCAPE);
    EXPECT_EQ(fixture::runWinMain(), 0);
    EXPECT_EQ(vh::test::presentedFrameCount(), 0);
}

TEST_F(FrameLoop, AQuitMessageEndsTheLoopWithItsCode) {
    vh::test::onPresent([](int frame) {
        if (frame == 1) PostQuitMessage(0x41);
    });
    EXPECT_EQ(fixture::runWinMain(), 0x41);
}

TEST_F(FrameLoop, AQuitCodeWithTheFailureBitGets0x20000) {
    vh::test::onPresent([](int) { PostQuitMessage(0x12); });
    EXPECT_EQ(fixture::runWinMain(), 0x20012);
}

TEST_F(FrameLoop, AFailedDisplaySetUpEndsStartUpWith0x10082) {
    injectResult("IDirectDraw::SetDisplayMode", DDERR_INVALIDMODE);
    EXPECT_EQ(fixture::runWinMain(), 0x10082);
    EXPECT_EQ(vh::test::presentedFrameCount(), 0);
}

TEST_F(FrameLoop, NoDisplayAtAllEndsStartUpWith0x10082) {
    vh::test::setHeadlessDisplayAvailable(false);
    EXPECT_EQ(fixture::runWinMain(), 0x10082);
}

TEST_F(FrameLoop, TheWindowsCloseButtonEndsTheGameWithZero) {
    vh::test::onPresent([](int frame) {
        if (frame == 2) vh::test::closeRequest();
    });
    EXPECT_EQ(fixture::runWinMain(), 0);
    EXPECT_EQ(Application::instance().directDraw, nullptr);
}

}  // namespace
