#include "clock/game_clock.h"

#include "winapi.h"

namespace {

// timeGetTime counts unsigned milliseconds: a value with its top bit set is a
// large positive time, never a negative one.
DWORD millisecondTimer() {
    return static_cast<DWORD>(timeGetTime());
}

// The millisecond timer wraps to 0 every 2^32 ms (about 49.7 days of
// up-time). Unsigned arithmetic counts the time between two of its values
// across a wrap; `start` is then always a timer value, below 2^32.
DWORD millisecondsSince(double timerValue) {
    return static_cast<DWORD>(millisecondTimer() - static_cast<DWORD>(timerValue));
}

}  // namespace

GameClock::GameClock() {
    LARGE_INTEGER counts{};
    LARGE_INTEGER count{};
    highResolution =
        QueryPerformanceFrequency(&counts) != 0 && QueryPerformanceCounter(&count) != 0;
    if (highResolution) {
        frequency = static_cast<double>(counts.QuadPart);
        start = static_cast<double>(count.QuadPart) / frequency * 1000.0;
    } else {
        start = static_cast<double>(millisecondTimer());
    }
    lastReading = 0.0;
    pausedAt = 0.0;
}

double GameClock::timerMilliseconds() const {
    LARGE_INTEGER count{};
    // A counter that stops answering after start-up holds game time where the
    // last running read left it, for reads, pauses and resumes alike.
    if (!QueryPerformanceCounter(&count)) return start + lastReading;
    return static_cast<double>(count.QuadPart) / frequency * 1000.0;
}

double GameClock::elapsed() const {
    if (!highResolution) return static_cast<double>(millisecondsSince(start));
    return timerMilliseconds() - start;
}

double GameClock::now() {
    if (pausedAt != 0.0) return pausedAt;
    double time = elapsed();
    if (time > lastReading) lastReading = time;
    return lastReading;
}

void GameClock::pause() {
    if (pausedAt != 0.0) return;
    // A pause at exactly 0.0 cannot be told from running; the clock then runs on.
    pausedAt = elapsed();
}

void GameClock::resume() {
    if (pausedAt == 0.0) return;
    if (highResolution) {
        start = timerMilliseconds() - pausedAt;
    } else {
        // The timer value pausedAt milliseconds ago, wrapped as the timer wraps.
        const DWORD paused = static_cast<DWORD>(pausedAt);
        start = static_cast<double>(static_cast<DWORD>(millisecondTimer() - paused));
    }
    pausedAt = 0.0;
}
