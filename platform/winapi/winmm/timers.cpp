// The performance counter and the millisecond timer, both read from the
// host's monotonic clock.
#include "timers.h"

#include "varnholt/journal.h"
#include "varnholt/host.h"

namespace vh::platform {
namespace {

// The counter counts the host's nanoseconds directly.
constexpr int64_t kCounterFrequency = 1000000000;

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

DWORD tickCount() {
    int64_t elapsed = host().nanoseconds() / kNanosecondsPerMillisecond;
    return DWORD(uint64_t(elapsed) & 0xFFFFFFFFu);
}

ForcedTimers& forcedTimers() {
    return winapiState().timers;
}

}  // namespace vh::platform

using vh::platform::forcedTimers;

BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    int64_t value = forcedTimers().frequency.value_or(vh::platform::kCounterFrequency);
    return vh::platform::answerCounter("QueryPerformanceFrequency", frequency, value);
}

BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* count) {
    // A forced value is taken first so that reading it never touches the host.
    const auto& forced = forcedTimers().counter;
    int64_t value = forced ? *forced : vh::platform::host().nanoseconds();
    return vh::platform::answerCounter("QueryPerformanceCounter", count, value);
}

DWORD WINAPI timeGetTime(void) {
    return vh::platform::journalled("timeGetTime", nullptr, []() -> DWORD {
        const auto& forced = forcedTimers().milliseconds;
        return forced ? *forced : vh::platform::tickCount();
    });
}
