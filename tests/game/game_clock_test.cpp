// The game clock on both time sources, with the timers set by the tests.
#include <gtest/gtest.h>

#include "clock/game_clock.h"
#include "varnholt/platform_test.h"

namespace {

using vh::test::setPerformanceCounter;
using vh::test::setPerformanceFrequency;
using vh::test::setTimeGetTime;

class HighResolutionClock : public testing::Test {
  protected:
    void SetUp() override {
        setPerformanceFrequency(1000000);  // one count a microsecond
        setPerformanceCounter(5000000);    // 5 s since the machine started
    }
    void at(double milliseconds) { setPerformanceCounter(5000000 + int64_t(milliseconds * 1000)); }
};

TEST_F(HighResolutionClock, StartsAtZeroAndFollowsTheCounterWithoutEverGoingBack) {
    GameClock clock;
    EXPECT_TRUE(clock.highResolution);
    EXPECT_EQ(clock.frequency, 1000000.0);
    EXPECT_EQ(clock.start, 5000.0);
    EXPECT_EQ(clock.now(), 0.0);
    at(250);
    EXPECT_EQ(clock.now(), 250.0);
    EXPECT_EQ(clock.lastReading, 250.0);
    EXPECT_EQ(clock.now(), 250.0);  // no advance: the same value
    at(40);                         // the counter went backwards
    EXPECT_EQ(clock.now(), 250.0);
    at(-500);  // before the clock was even made
    EXPECT_EQ(clock.now(), 250.0);
    at(251);
    EXPECT_EQ(clock.now(), 251.0);
}

TEST(GameClockArithmetic, ThreeMillionCountsAtThreeMillionASecondIsOneSecond) {
    setPerformanceFrequency(3000000);
    setPerformanceCounter(0);
    GameClock clock;
    setPerformanceCounter(3000000);
    EXPECT_EQ(clock.now(), 1000.0);
}

TEST_F(HighResolutionClock, PauseHoldsTimeAndResumeSkipsThePausedSpan) {
    GameClock clock;
    at(300);
    clock.pause();
    EXPECT_EQ(clock.pausedAt, 300.0);
    at(10000);
    EXPECT_EQ(clock.now(), 300.0);
    EXPECT_EQ(clock.now(), 300.0);
    EXPECT_EQ(clock.lastReading, 0.0);  // a paused read touches nothing
    clock.pause();                      // a second pause keeps the first one's value
    EXPECT_EQ(clock.pausedAt, 300.0);
    clock.resume();
    EXPECT_EQ(clock.pausedAt, 0.0);
    at(10050);
    EXPECT_EQ(clock.now(), 350.0);
}

TEST_F(HighResolutionClock, APauseAtExactlyZeroOrAResumeWithoutPauseChangesNothing) {
    GameClock clock;
    clock.pause();  // the counter has not moved since construction
    EXPECT_EQ(clock.pausedAt, 0.0);
    at(20);
    EXPECT_EQ(clock.now(), 20.0);  // still running
    clock.resume();
    EXPECT_EQ(clock.start, 5000.0);
    at(70);
    clock.resume();  // never paused at all
    EXPECT_EQ(clock.start, 5000.0);
    EXPECT_EQ(clock.now(), 70.0);
}

TEST_F(HighResolutionClock, ACounterThatStopsAnsweringHoldsTime) {
    GameClock clock;
    at(80);
    EXPECT_EQ(clock.now(), 80.0);
    vh::test::injectResult("QueryPerformanceCounter", 0, -1);
    EXPECT_EQ(clock.now(), 80.0);
    clock.pause();
    EXPECT_EQ(clock.now(), 80.0);
    clock.resume();
    vh::test::clearInjections();
    at(90);
    EXPECT_EQ(clock.now(), 80.0 + 10.0);  // the counter came back 10 ms later
}

class MillisecondClock : public testing::TestWithParam<const char*> {};

TEST_P(MillisecondClock, FallsBackToTimeGetTimeWhenACounterCallFails) {
    vh::test::injectResult(GetParam(), 0, -1);
    setTimeGetTime(1000);
    GameClock clock;
    EXPECT_FALSE(clock.highResolution);
    EXPECT_EQ(clock.start, 1000.0);
    setTimeGetTime(1600);
    EXPECT_EQ(clock.now(), 600.0);
    // Timer values with the top bit set are positive.
    setTimeGetTime(0x80000000u);
    GameClock high;
    EXPECT_EQ(high.start, 2147483648.0);
    setTimeGetTime(0xFFFFFF00u);
    EXPECT_EQ(high.now(), 4294967040.0 - 2147483648.0);
}

INSTANTIATE_TEST_SUITE_P(EitherCall, MillisecondClock,
                         testing::Values("QueryPerformanceFrequency", "QueryPerformanceCounter"));

// The millisecond timer wraps to 0 every 2^32 ms (about 49.7 days of up-time);
// game time counts on across the wrap instead of standing still until the
// timer has climbed back past the start.
TEST(GameClockMilliseconds, CountsOnAndPausesAndResumesOnEitherSideOfTheWrap) {
    vh::test::injectResult("QueryPerformanceFrequency", 0, -1);
    setTimeGetTime(0xFFFFFF00u);
    GameClock clock;
    setTimeGetTime(0xFFFFFF64u);  // 100 ms in, before the wrap
    clock.pause();
    EXPECT_EQ(clock.pausedAt, 100.0);
    setTimeGetTime(0x100u);  // the timer wraps in the background
    EXPECT_EQ(clock.now(), 100.0);
    clock.resume();
    setTimeGetTime(0x100u + 50u);
    EXPECT_EQ(clock.now(), 150.0);

    // A clock started before the wrap and paused after it.
    setTimeGetTime(0xFFFFFFF0u);
    GameClock late;
    setTimeGetTime(0x10u);
    late.pause();
    EXPECT_EQ(late.pausedAt, 32.0);
    EXPECT_EQ(late.now(), 32.0);
    setTimeGetTime(0x1000u);
    late.resume();
    setTimeGetTime(0x1000u + 8u);
    EXPECT_EQ(late.now(), 40.0);

    // A clock that reads across the wrap counts on past it.
    setTimeGetTime(0xFFFFFFF0u);
    GameClock reading;
    setTimeGetTime(0xFFFFFFFAu);
    EXPECT_EQ(reading.now(), 10.0);
    setTimeGetTime(5u);  // wrapped: 6 ms to the wrap, 5 after it
    EXPECT_EQ(reading.now(), 21.0);
    setTimeGetTime(1005u);
    EXPECT_EQ(reading.now(), 1021.0);
}

TEST(GameClockMilliseconds, WithinTheFirstTickThePauseIsLost) {
    vh::test::injectResult("QueryPerformanceFrequency", 0, -1);
    setTimeGetTime(777);
    GameClock clock;
    EXPECT_EQ(clock.now(), 0.0);
    clock.pause();
    EXPECT_EQ(clock.pausedAt, 0.0);
    setTimeGetTime(800);
    EXPECT_EQ(clock.now(), 23.0);
}

}  // namespace
