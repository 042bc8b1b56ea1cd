// Frame pacing, on a clock of the test's own: the period at each setting,
// slots kept to and restarted after a late frame, rest after a still spell,
// and a renderer whose vsync does not wait found out.
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

TEST(FramePacer, SlotsFollowOnePeriodApartAndALateFrameStartsAfresh) {
    FramePacer pacer(true, 0);
    const Time start{1s};
    pacer.start(start, false);
    EXPECT_EQ(pacer.nextSlot(start, 50), start + 20ms);
    EXPECT_EQ(pacer.nextSlot(start + 5ms, 50), start + 40ms) << "kept to, whenever asked";
    EXPECT_EQ(pacer.nextSlot(start + 100ms, 50), start + 100ms) << "late: from now on";
    EXPECT_EQ(pacer.nextSlot(start + 101ms, 50), start + 120ms);
    pacer.rested(start + 500ms);
    EXPECT_EQ(pacer.nextSlot(start + 500ms, 50), start + 520ms);
}

TEST(FramePacer, AStillPictureRestsAfterItsSpellAndInputEndsTheRest) {
    FramePacer pacer(true, 0);
    for (int frame = 1; frame <= FramePacer::kFramesBeforeRest; ++frame)
        EXPECT_FALSE(pacer.stillFrameRests()) << frame;
    EXPECT_TRUE(pacer.stillFrameRests());
    pacer.noteInput();
    EXPECT_FALSE(pacer.stillFrameRests());
    for (int frame = 0; frame < FramePacer::kFramesBeforeRest; ++frame) pacer.stillFrameRests();
    pacer.changedFrame();
    EXPECT_FALSE(pacer.stillFrameRests()) << "a changed frame ends the spell too";
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
            pacer.presented(now, 60);
        }
        EXPECT_EQ(pacer.presentsWait(), c.stillWaits) << c.apart.count() << " " << c.slowOne;
    }
}

}  // namespace
