// The performance counter and timeGetTime on the headless host's virtual time.
#include <gtest/gtest.h>

#include <win32/windows.h>

#include "varnholt/platform_test.h"

namespace {

int64_t counter() {
    LARGE_INTEGER value{};
    EXPECT_TRUE(QueryPerformanceCounter(&value));
    return value.QuadPart;
}

}  // namespace

TEST(Timers, CounterCountsVirtualNanosecondsAndNeverGoesBack) {
    LARGE_INTEGER frequency{};
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_EQ(frequency.QuadPart, 1000000000);
    int64_t start = counter();
    EXPECT_EQ(counter(), start) << "virtual time stands still between events";
    vh::test::advanceTime(1.5);
    EXPECT_EQ(counter(), start + 1500000);
    vh::test::advanceTime(-10);  // time never runs backwards
    EXPECT_EQ(counter(), start + 1500000);
}

TEST(Timers, OverridesAnswerExactlyUntilCleared) {
    vh::test::setPerformanceFrequency(3579545);
    vh::test::setPerformanceCounter(-42);
    vh::test::setTimeGetTime(0xFFFFFFFFu);
    vh::test::advanceTime(100);
    LARGE_INTEGER frequency{};
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_EQ(frequency.QuadPart, 3579545);
    EXPECT_EQ(counter(), -42);
    EXPECT_EQ(timeGetTime(), 0xFFFFFFFFu);
    vh::test::clearTimerOverrides();
    EXPECT_EQ(counter(), 100000000);
    EXPECT_EQ(timeGetTime(), 100u);
}

TEST(Timers, InjectedFailureLeavesTheOutputAlone) {
    vh::test::injectResult("QueryPerformanceFrequency", 0);
    LARGE_INTEGER frequency{};
    frequency.QuadPart = 77;
    EXPECT_FALSE(QueryPerformanceFrequency(&frequency));
    EXPECT_EQ(frequency.QuadPart, 77);
    EXPECT_TRUE(QueryPerformanceFrequency(&frequency)) << "only the next call fails";
    vh::test::injectResult("QueryPerformanceCounter", 0, -1);
    LARGE_INTEGER count{};
    EXPECT_FALSE(QueryPerformanceCounter(&count));
    EXPECT_FALSE(QueryPerformanceCounter(&count));
    auto names = vh::test::journalNames({"QueryPerformanceCounter"});
    EXPECT_EQ(names.size(), 2u);
}

TEST(Timers, TimeGetTimeFollowsTimeIntoTheTopBitAndWraps) {
    vh::test::advanceTime(2147483648.0);  // 2^31 ms
    EXPECT_EQ(timeGetTime(), 0x80000000u);
    vh::test::advanceTime(4294967291.0 - 2147483648.0);  // 2^32 - 5 ms
    EXPECT_EQ(timeGetTime(), 0xFFFFFFFBu);
    vh::test::advanceTime(10);
    EXPECT_EQ(timeGetTime(), 5u);
    // The performance counter has 64 bits and does not wrap with it.
    EXPECT_EQ(counter(), (4294967296LL + 5) * 1000000);
}
