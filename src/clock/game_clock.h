// Game time in milliseconds: starts at 0 when the clock is made, stands still
// while the game is paused and never runs backwards.
#pragma once

class GameClock {
  public:
    GameClock();

    // The current game time. A running read may raise lastReading.
    double now();
    void pause();
    void resume();

    bool highResolution = false;  // the performance counter is the time source
    double pausedAt = 0.0;        // game time at the pause; exactly 0.0 means running
    double frequency = 0.0;       // performance counter counts per second
    double lastReading = 0.0;     // largest game time a running read returned
    double start = 0.0;           // timer value, in ms, of game time 0

  private:
    // The performance counter in milliseconds (highResolution only).
    double timerMilliseconds() const;
    // Timer time since `start`, in milliseconds.
    double elapsed() const;
};
