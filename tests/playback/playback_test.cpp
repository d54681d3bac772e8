// Playback without a window: a fake clock drives the timer, keys step and
// jump, the mouse scrubs on the time graphs.
#include <gtest/gtest.h>

#include "playback/playback.h"
#include "tests/support/drawing_support.h"

namespace hybridsim {
namespace {

// A clock the test moves by hand [s].
struct FakeClock {
    double now = 100.0;
    PlaybackClock clock()
    {
        return [this] { return now; };
    }
};

SimSettings atFrame(int frame)
{
    SimSettings s = testing::defaultSettings();  // dt 0.04 s, 200 periods
    s.frame = frame;
    return s;
}

TEST(Playback, AdvancesByTheClockNotByTheTicks)
{
    FakeClock t;
    Playback p(t.clock());
    SimSettings s = atFrame(10);
    p.toggle(s);
    ASSERT_TRUE(p.playing());
    EXPECT_FALSE(p.tick(s));  // no time has passed
    EXPECT_EQ(s.frame, 10);
    // 1/25 s is one frame at speed 1; many ticks in that time add nothing
    t.now += 0.039;
    for (int i = 0; i < 5; ++i) p.tick(s);
    EXPECT_EQ(s.frame, 10);
    t.now += 0.002;
    EXPECT_TRUE(p.tick(s));
    EXPECT_EQ(s.frame, 11);
    // a late tick skips to the frame of its time: nothing is queued
    t.now += 1.0;
    EXPECT_TRUE(p.tick(s));
    EXPECT_EQ(s.frame, 36);
    EXPECT_TRUE(p.playing());
    // the timer is asked for when the next frame is due
    t.now += 0.01;  // 36.275 frames reached: the next in 0.725 frames
    EXPECT_EQ(p.msToNextFrame(s), 29);
}

TEST(Playback, StopsAtTheLastFrameAndSpaceThenPlaysFromTheStart)
{
    FakeClock t;
    Playback p(t.clock());
    SimSettings s = atFrame(190);
    p.toggle(s);
    t.now += 100.0;  // far past the end
    EXPECT_TRUE(p.tick(s));
    EXPECT_EQ(s.frame, 200);
    EXPECT_FALSE(p.playing());
    EXPECT_EQ(p.msToNextFrame(s), -1);  // no timer while paused
    EXPECT_FALSE(p.tick(s));
    // Space at the last frame: from frame 0 again
    p.toggle(s);
    EXPECT_TRUE(p.playing());
    EXPECT_EQ(s.frame, 0);
    // the whole run at speed 1 takes its own 8 s
    t.now += 7.99;
    p.tick(s);
    EXPECT_EQ(s.frame, 199);
    t.now += 0.02;
    p.tick(s);
    EXPECT_EQ(s.frame, 200);
    EXPECT_FALSE(p.playing());
}

TEST(Playback, SpaceTogglesAndPausingKeepsTheFrame)
{
    FakeClock t;
    Playback p(t.clock());
    SimSettings s = atFrame(0);
    p.toggle(s);
    t.now += 0.4;
    p.tick(s);
    EXPECT_EQ(s.frame, 10);
    p.toggle(s);
    EXPECT_FALSE(p.playing());
    t.now += 5.0;
    EXPECT_FALSE(p.tick(s));
    EXPECT_EQ(s.frame, 10);
    // playing again goes on from there, not from where the clock went
    p.toggle(s);
    t.now += 0.08;
    p.tick(s);
    EXPECT_EQ(s.frame, 12);
}

TEST(Playback, SpeedDoublesAndHalvesWithinOneEighthToEight)
{
    FakeClock t;
    Playback p(t.clock());
    SimSettings s = atFrame(0);
    EXPECT_EQ(p.speedText(), "1");
    for (const char* expected : {"2", "4", "8"}) {
        EXPECT_TRUE(p.faster(s));
        EXPECT_EQ(p.speedText(), expected);
    }
    EXPECT_FALSE(p.faster(s));
    EXPECT_EQ(p.speed(), 8.0);
    // at 8 times real time the whole run takes 1 s
    p.toggle(s);
    t.now += 0.5;
    p.tick(s);
    EXPECT_EQ(s.frame, 100);
    // a change of speed while playing goes on from the frame reached
    EXPECT_TRUE(p.slower(s));  // 4
    t.now += 0.1;              // 10 frames at 4 times
    p.tick(s);
    EXPECT_EQ(s.frame, 110);
    for (const char* expected : {"2", "1", "1/2", "1/4", "1/8"}) {
        EXPECT_TRUE(p.slower(s));
        EXPECT_EQ(p.speedText(), expected);
    }
    EXPECT_FALSE(p.slower(s));
    EXPECT_EQ(p.speed(), 0.125);
    t.now += 0.32;  // one frame at an eighth of real time
    p.tick(s);
    EXPECT_EQ(s.frame, 111);
    EXPECT_EQ(p.msToNextFrame(s), 320);
}

TEST(Playback, StepKeysMoveWithinTheRunAndPause)
{
    FakeClock t;
    Playback p(t.clock());
    SimSettings s = atFrame(0);
    EXPECT_TRUE(onStepKey(p, s, StepKey::left));
    EXPECT_EQ(s.frame, 0);  // held at the first sample
    onStepKey(p, s, StepKey::right);
    EXPECT_EQ(s.frame, 1);
    onStepKey(p, s, StepKey::end);
    EXPECT_EQ(s.frame, 200);
    onStepKey(p, s, StepKey::right);
    EXPECT_EQ(s.frame, 200);  // held at the last
    onStepKey(p, s, StepKey::left);
    EXPECT_EQ(s.frame, 199);
    p.toggle(s);
    ASSERT_TRUE(p.playing());
    onStepKey(p, s, StepKey::home);
    EXPECT_EQ(s.frame, 0);
    EXPECT_FALSE(p.playing());
    // a run of fewer periods ends earlier
    s.nsteps = 50;
    onStepKey(p, s, StepKey::end);
    EXPECT_EQ(s.frame, 50);
}

TEST(Playback, ScrubMapsTheTimeAxesToSamplesAndClampsOutside)
{
    const SimSettings s = atFrame(0);
    // the axes run from x = 0.4 (sample 0) to 0.9 (sample 200)
    EXPECT_EQ(sampleAtGraphX(s, 0.4), 0);
    EXPECT_EQ(sampleAtGraphX(s, 0.9), 200);
    EXPECT_EQ(sampleAtGraphX(s, 0.65), 100);
    EXPECT_EQ(sampleAtGraphX(s, 0.4 + 0.0025 * 37), 37);
    EXPECT_EQ(sampleAtGraphX(s, 0.4 + 0.0025 * 37.4), 37);  // the nearest sample
    EXPECT_EQ(sampleAtGraphX(s, 0.4 + 0.0025 * 37.6), 38);
    EXPECT_EQ(sampleAtGraphX(s, 0.36), 0);
    EXPECT_EQ(sampleAtGraphX(s, 0.94), 200);
    // both graphs take a click, the robot view and the space between do not
    EXPECT_TRUE(inTimeGraph(s, 0.65, 0.7));   // position graph
    EXPECT_TRUE(inTimeGraph(s, 0.65, 0.2));   // force graph
    EXPECT_TRUE(inTimeGraph(s, 0.37, 0.12));  // left of the axis, in the margin
    EXPECT_FALSE(inTimeGraph(s, 0.0, 0.7));
    EXPECT_FALSE(inTimeGraph(s, 0.65, -0.5));
    EXPECT_FALSE(inTimeGraph(s, 0.97, 0.7));
    EXPECT_FALSE(inTimeGraph(s, 0.65, 0.0));   // below the force graph
}

TEST(Playback, ScrubFollowsTheDragFromAPressInAGraphUntilTheRelease)
{
    FakeClock t;
    Playback p(t.clock());
    SimSettings s = atFrame(0);
    Scrub scrub;
    // an 800 x 800 window: column px is window x px / 400 - 1, so sample i
    // of the time axes lies in column 560 + i; y from the top
    const int pxOf100 = 660;
    p.toggle(s);
    EXPECT_TRUE(scrub.press(p, s, pxOf100, 150, 800, 800));  // in the position graph
    EXPECT_EQ(s.frame, 100);
    EXPECT_FALSE(p.playing());
    EXPECT_TRUE(scrub.drag(p, s, 560, 700, 800, 800));  // dragged out of the graph: still scrubbing
    EXPECT_EQ(s.frame, 0);
    EXPECT_TRUE(scrub.drag(p, s, 799, 10, 800, 800));
    EXPECT_EQ(s.frame, 200);
    scrub.release();
    EXPECT_FALSE(scrub.drag(p, s, pxOf100, 150, 800, 800));
    EXPECT_EQ(s.frame, 200);
    // a press in the robot view is no scrub, and a drag after it neither
    EXPECT_FALSE(scrub.press(p, s, 200, 400, 800, 800));
    EXPECT_FALSE(scrub.drag(p, s, pxOf100, 150, 800, 800));
    EXPECT_EQ(s.frame, 200);
    // a window of another size maps its pixels the same way
    EXPECT_TRUE(scrub.press(p, s, 2 * pxOf100, 300, 1600, 1600));
    EXPECT_EQ(s.frame, 100);
}

}  // namespace
}  // namespace hybridsim
