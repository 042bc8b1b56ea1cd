// When the SDL host shows a frame, and when it rests: frames keep to the
// display's refresh (or the player's cap), a picture that stands still for a
// while rests until input, and a renderer that claims to wait for the
// refresh but does not is found out. Given times, not reading a clock, so
// that every decision can be tested without a display or wall time.
#pragma once

#include <chrono>

namespace vh::platform {

class FramePacer {
  public:
    using Clock = std::chrono::steady_clock;

    FramePacer(bool vsync, int maxFps) : vsync_(vsync), maxFps_(maxFps) {}

    // A presenter was chosen at `now`; `waitsForRefresh` says whether its
    // presents wait for the refresh themselves.
    void start(Clock::time_point now, bool waitsForRefresh);
    // Whether presents pace themselves (so that the host need not sleep).
    bool presentsWait() const { return presentsWait_; }

    // What the host waits for after handing on a frame, before the game
    // reads its input for the next one: nothing (the present waited for the
    // refresh itself), the next slot (`until`), or input (a rest).
    struct Wait {
        enum Kind { None, Slot, Rest } kind;
        Clock::time_point until{};
        bool operator==(const Wait&) const = default;
    };
    // A frame was handed on at `now`: `shown` when it was drawn, false when
    // it was the same as the one on the screen. The frame is on the screen
    // before the wait, so that the wait delays only the reading of input.
    Wait afterFrame(bool shown, Clock::time_point now, int refreshHz);
    // Input arrived: the frames that follow run at the full rate.
    void noteInput() { stillFrames_ = 0; }
    // The host stopped waiting at `now` (a rest ended, or input that cannot
    // wait came before the slot): the slots count from there.
    void rested(Clock::time_point now) { slot_ = now; }

    // The time from one frame to the next at a display of `refreshHz`: the
    // refresh with vsync on, none with it off, never less than the cap's.
    std::chrono::nanoseconds period(int refreshHz) const;

    // Identical frames in a row, with no input, after which the host rests.
    static constexpr int kFramesBeforeRest = 30;
    // Presents counted before the pacing is judged.
    static constexpr int kJudgedPresents = 16;

  private:
    // One period after the last slot kept to, or `now` for a frame that
    // came late (the count starts afresh).
    Clock::time_point nextSlot(Clock::time_point now, int refreshHz);
    // A present that was to wait for the refresh ended at `now`.
    void presented(Clock::time_point now, int refreshHz);

    bool vsync_;
    int maxFps_;
    bool presentsWait_ = false;
    Clock::time_point slot_{};
    Clock::time_point judgingSince_{};
    int judgedPresents_ = 0;
    int stillFrames_ = 0;
};

}  // namespace vh::platform
