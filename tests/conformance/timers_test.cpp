// The performance counter and timeGetTime, the two clocks the game's clock
// reads.
#include "conformance.h"

namespace {

int64_t counter() {
    LARGE_INTEGER value{};
    EXPECT_TRUE(QueryPerformanceCounter(&value));
    return value.QuadPart;
}

int64_t frequency() {
    LARGE_INTEGER value{};
    EXPECT_TRUE(QueryPerformanceFrequency(&value));
    return value.QuadPart;
}

TEST(Timers, FrequencyIsFixedNeitherClockGoesBackAndBothTellTheSameTime) {
    const int64_t perSecond = frequency();
    ASSERT_GT(perSecond, 0);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(frequency(), perSecond);
    // Neither clock goes back.
    int64_t last = counter();
    DWORD lastMs = timeGetTime();
    for (int i = 0; i < 10000; ++i) {
        const int64_t now = counter();
        const DWORD nowMs = timeGetTime();
        ASSERT_GE(now, last) << "read " << i;
        // Unsigned difference: a wrap of the 32-bit count is no step back.
        ASSERT_LT(DWORD(nowMs - lastMs), 0x80000000u) << "read " << i;
        last = now;
        lastMs = nowMs;
    }

    // Both clocks tell the same time: 60 ms on the counter are 60 ms for
    // timeGetTime too, give or take its resolution (up to 16 ms on Windows). A
    // clock that does not move at all over many reads stands still (virtual
    // time of a host without a real clock); then neither may move.
    const DWORD startMs = timeGetTime();
    const int64_t start = counter();
    int64_t now = start;
    last = start;
    int unchanged = 0;
    for (int reads = 0; now - start < perSecond * 60 / 1000; ++reads) {
        now = counter();
        ASSERT_GE(now, last) << "the counter went back";
        ASSERT_LT(reads, 100000000) << "60 ms did not pass in 10^8 reads";
        unchanged = now == last ? unchanged + 1 : 0;
        last = now;
        if (unchanged == 100000) break;
    }
    const DWORD endMs = timeGetTime();
    const double counted = double(now - start) * 1000.0 / double(perSecond);
    EXPECT_NEAR(double(DWORD(endMs - startMs)), counted, 20.0)
        << "the counter saw " << counted << " ms";
}

}  // namespace
