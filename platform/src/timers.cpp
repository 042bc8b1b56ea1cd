// The performance counter and the millisecond timer, both read from the
// host's monotonic clock, with exact values that clock tests can force.
#include <optional>

#include <win32/windows.h>

#include "internal.h"
#include "varnholt/platform_test.h"

namespace vh::platform {
namespace {

// The counter counts the host's nanoseconds directly.
constexpr int64_t kCounterFrequency = 1000000000;
constexpr int64_t kNanosecondsPerMillisecond = 1000000;

struct TimerOverrides {
    std::optional<int64_t> frequency;
    std::optional<int64_t> counter;
    std::optional<uint32_t> milliseconds;
};

TimerOverrides& overrides() {
    static TimerOverrides forced;
    return forced;
}

// A chosen answer of zero fails the call and leaves the output alone, as
// Windows does; any other chosen answer still reports the value.
BOOL answerCounter(const char* name, LARGE_INTEGER* out, int64_t value) {
    if (auto chosen = injected(name, nullptr)) {
        if (*chosen != 0 && out) out->QuadPart = value;
        return BOOL(*chosen);
    }
    if (!out) return recorded(name, nullptr, FALSE);
    out->QuadPart = value;
    return recorded(name, nullptr, TRUE);
}

}  // namespace

void resetTimerOverrides() {
    overrides() = TimerOverrides{};
}

}  // namespace vh::platform

using vh::platform::host;
using vh::platform::overrides;

BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    int64_t value = overrides().frequency.value_or(vh::platform::kCounterFrequency);
    return vh::platform::answerCounter("QueryPerformanceFrequency", frequency, value);
}

BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* count) {
    // The forced value is checked first so that reading it never touches the host.
    int64_t value = overrides().counter ? *overrides().counter : host().nanoseconds();
    return vh::platform::answerCounter("QueryPerformanceCounter", count, value);
}

DWORD WINAPI timeGetTime(void) {
    return vh::platform::journalled("timeGetTime", nullptr, []() -> DWORD {
        if (overrides().milliseconds) return *overrides().milliseconds;
        // Milliseconds as 32 bits: the count wraps to 0 after about 49.7 days.
        int64_t elapsed = host().nanoseconds() / vh::platform::kNanosecondsPerMillisecond;
        return DWORD(uint64_t(elapsed) & 0xFFFFFFFFu);
    });
}

namespace vh::test {

void setPerformanceFrequency(int64_t countsPerSecond) {
    overrides().frequency = countsPerSecond;
}

void setPerformanceCounter(int64_t count) {
    overrides().counter = count;
}

void setTimeGetTime(uint32_t milliseconds) {
    overrides().milliseconds = milliseconds;
}

void clearTimerOverrides() {
    vh::platform::resetTimerOverrides();
}

}  // namespace vh::test
