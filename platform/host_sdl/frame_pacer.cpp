// Frame pacing: when to show a frame, when to rest.
#include "frame_pacer.h"

#include <algorithm>

namespace vh::platform {

std::chrono::nanoseconds FramePacer::period(int refreshHz) const {
    std::chrono::nanoseconds period{0};
    if (vsync_ && refreshHz > 0) period = std::chrono::nanoseconds(1000000000LL / refreshHz);
    if (maxFps_ > 0) period = std::max(period, std::chrono::nanoseconds(1000000000LL / maxFps_));
    return period;
}

void FramePacer::start(Clock::time_point now, bool waitsForRefresh) {
    presentsWait_ = waitsForRefresh;
    slot_ = judgingSince_ = now;
    judgedPresents_ = 0;
}

// Nothing but input or scrolling changes the picture, and scrolling changes
// every frame: a picture that stood still for kFramesBeforeRest frames stays
// still until the player does something, which ends the rest at once. A
// frame that was shown is followed by the wait for the next slot, unless its
// present waited for the refresh already.
FramePacer::Wait FramePacer::afterFrame(bool shown, Clock::time_point now, int refreshHz) {
    if (shown) {
        stillFrames_ = 0;
        if (presentsWait_) {
            presented(now, refreshHz);
            return Wait{Wait::None};
        }
    } else if (++stillFrames_ > kFramesBeforeRest) {
        return Wait{Wait::Rest};
    }
    return Wait{Wait::Slot, nextSlot(now, refreshHz)};
}

FramePacer::Clock::time_point FramePacer::nextSlot(Clock::time_point now, int refreshHz) {
    slot_ += period(refreshHz);
    if (slot_ < now) slot_ = now;
    return slot_;
}

// A renderer that waits shows at most one frame a refresh; when
// kJudgedPresents presents took less than three quarters of as many
// refreshes, its vsync does not wait (SDL's software renderer claims vsync
// and does not; nor may a virtual X server's OpenGL) and the host sleeps
// instead from then on. Judged over a count of presents, not a run of quick
// ones in a row, so that the odd slow frame among quick ones cannot hide it.
void FramePacer::presented(Clock::time_point now, int refreshHz) {
    if (++judgedPresents_ == kJudgedPresents) {
        if ((now - judgingSince_) * 4 < period(refreshHz) * (kJudgedPresents * 3))
            presentsWait_ = false;
        judgingSince_ = now;
        judgedPresents_ = 0;
    }
    slot_ = now;
}

}  // namespace vh::platform
