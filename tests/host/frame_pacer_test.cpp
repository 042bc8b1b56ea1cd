// Frame pacing, on a clock of the test's own: the period at each setting,
// the wait after a frame, its slots kept to and restarted after a late frame
// or early input, rest after a still spell, and a renderer whose vsync does
// not wait found out.
#include <gtest/gtest.h>

#include "frame_pacer.h"

namespace {

using vh::platform::FramePacer;
using namespace std::chrono_literals;
using Time = FramePacer::Clock::time_point;

TEST(FramePacer, ThePeriodIsTheRefreshOrTheCapWhicheverIsLonger) {
    struct Case {
        bool vsync;
        int maxFps, hz;
        std::chrono::nanoseconds period;
    } const cases[] = {{true, 0, 60, 16666666ns},   {true, 0, 144, 6944444ns},
                       {false, 0, 60, 0ns},         {true, 30, 60, 33333333ns},
                       {true, 200, 60, 16666666ns}, {false, 100, 60, 10ms}};
    for (const Case& c : cases)
        EXPECT_EQ(FramePacer(c.vsync, c.maxFps).period(c.hz), c.period)
            << c.vsync << " " << c.maxFps << " " << c.hz;
}

using Wait = FramePacer::Wait;

Wait slot(Time until) {
    return Wait{Wait::Slot, until};
}

// After a frame is shown the host waits for the next slot, one period after
// the last, before input is read again; a late frame, or input that ended
// the wait early, starts the count afresh. A present that waited for the
// refresh itself is followed by no wait.
TEST(FramePacer, AShownFrameIsFollowedByTheWaitForTheNextSlot) {
    FramePacer pacer(true, 0);
    const Time start{1s};
    pacer.start(start, false);
    EXPECT_EQ(pacer.afterFrame(true, start + 1ms, 50), slot(start + 20ms));
    EXPECT_EQ(pacer.afterFrame(true, start + 25ms, 50), slot(start + 40ms)) << "kept to";
    EXPECT_EQ(pacer.afterFrame(true, start + 100ms, 50), slot(start + 100ms)) << "late: from now";
    EXPECT_EQ(pacer.afterFrame(false, start + 101ms, 50), slot(start + 120ms));
    pacer.rested(start + 110ms);
    EXPECT_EQ(pacer.afterFrame(true, start + 111ms, 50), slot(start + 130ms))
        << "a click ended the wait at 110 ms";
    pacer.start(start, true);
    EXPECT_EQ(pacer.afterFrame(true, start + 20ms, 50), Wait{Wait::None});
}

TEST(FramePacer, AStillPictureRestsAfterItsSpellAndInputEndsTheRest) {
    FramePacer pacer(true, 0);
    const Time now{1s};
    auto rests = [&] { return pacer.afterFrame(false, now, 60).kind == Wait::Rest; };
    for (int frame = 1; frame <= FramePacer::kFramesBeforeRest; ++frame)
        EXPECT_FALSE(rests()) << frame;
    EXPECT_TRUE(rests());
    pacer.noteInput();
    EXPECT_FALSE(rests());
    for (int frame = 0; frame < FramePacer::kFramesBeforeRest; ++frame) rests();
    pacer.afterFrame(true, now, 60);
    EXPECT_FALSE(rests()) << "a frame shown ends the spell too";
}

// Presents that come faster than three quarters of the refresh rate do not
// wait for it, whatever the renderer claims; one slow present among quick
// ones does not hide that.
TEST(FramePacer, PresentsFasterThanTheRefreshAreFoundNotToWait) {
    struct Case {
        std::chrono::nanoseconds apart;
        bool slowOne;
        bool stillWaits;
    } const cases[] = {
        {16666666ns, false, true}, {13ms, false, true}, {1ms, false, false}, {1ms, true, false}};
    for (const Case& c : cases) {
        FramePacer pacer(true, 0);
        Time now{1s};
        pacer.start(now, true);
        for (int i = 0; i < FramePacer::kJudgedPresents; ++i) {
            now += c.slowOne && i == 3 ? 100ms : c.apart;
            pacer.afterFrame(true, now, 60);
        }
        EXPECT_EQ(pacer.presentsWait(), c.stillWaits) << c.apart.count() << " " << c.slowOne;
    }
}

}  // namespace
