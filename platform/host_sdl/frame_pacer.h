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

    // The time from one frame to the next at a display of `refreshHz`: the
    // refresh with vsync on, none with it off, never less than the cap's.
    std::chrono::nanoseconds period(int refreshHz) const;

    // A presenter was chosen at `now`; `waitsForRefresh` says whether its
    // presents wait for the refresh themselves.
    void start(Clock::time_point now, bool waitsForRefresh);
    // Whether presents pace themselves (so that the host need not sleep).
    bool presentsWait() const { return presentsWait_; }

    // Input arrived: the frames that follow run at the full rate.
    void noteInput() { stillFrames_ = 0; }
    // A frame the same as the one shown. True when the picture has stood
    // still long enough to rest until input (then call rested()); false
    // when the host keeps to the refresh (then sleep until nextSlot()).
    bool stillFrameRests();
    // A frame that changed.
    void changedFrame() { stillFrames_ = 0; }
    // When the next frame is due: one period after the last one kept to,
    // or `now` for a frame that came late (the count starts afresh).
    Clock::time_point nextSlot(Clock::time_point now, int refreshHz);
    // The host rested until input, up to `now`.
    void rested(Clock::time_point now) { slot_ = now; }
    // A present that was to wait for the refresh ended at `now`.
    void presented(Clock::time_point now, int refreshHz);

    // Identical frames in a row, with no input, after which the host rests.
    static constexpr int kFramesBeforeRest = 30;
    // Presents counted before the pacing is judged.
    static constexpr int kJudgedPresents = 16;

  private:
    bool vsync_;
    int maxFps_;
    bool presentsWait_ = false;
    Clock::time_point slot_{};
    Clock::time_point judgingSince_{};
    int judgedPresents_ = 0;
    int stillFrames_ = 0;
};

}  // namespace vh::platform
