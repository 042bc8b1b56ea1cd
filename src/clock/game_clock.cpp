#include "clock/game_clock.h"

#include "winapi.h"

namespace {

// timeGetTime counts unsigned milliseconds: a value with its top bit set is a
// large positive time, never a negative one.
double millisecondTimer() {
    return static_cast<double>(static_cast<DWORD>(timeGetTime()));
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
        start = millisecondTimer();
    }
    lastReading = 0.0;
    pausedAt = 0.0;
}

double GameClock::timerMilliseconds() const {
    if (!highResolution) return millisecondTimer();
    LARGE_INTEGER count{};
    // A counter that stops answering after start-up holds game time where the
    // last running read left it, for reads, pauses and resumes alike.
    if (!QueryPerformanceCounter(&count)) return start + lastReading;
    return static_cast<double>(count.QuadPart) / frequency * 1000.0;
}

double GameClock::now() {
    if (pausedAt != 0.0) return pausedAt;
    double elapsed = timerMilliseconds() - start;
    if (elapsed > lastReading) lastReading = elapsed;
    return lastReading;
}

void GameClock::pause() {
    if (pausedAt != 0.0) return;
    // A pause at exactly 0.0 cannot be told from running; the clock then runs on.
    pausedAt = timerMilliseconds() - start;
}

void GameClock::resume() {
    if (pausedAt == 0.0) return;
    start = timerMilliseconds() - pausedAt;
    pausedAt = 0.0;
}
