#include <gtest/gtest.h>

#include <cmath>

#include "sim/trajectory.h"
#include "tests/test_support.h"

namespace hybridsim {
namespace {

using testing::near;

// A line from (0, 0) to (0.3, 0.4) positioned in 4 s.
SimSettings lineTask(char hybrid)
{
    SimSettings s = testing::defaultSettings();
    s.curve = 'L';
    s.hybrid = hybrid;
    s.lineX0 = 0.0;
    s.lineY0 = 0.0;
    s.lineXf = 0.3;
    s.lineYf = 0.4;
    s.lineTf = 4.0;
    deriveSettings(s);
    return s;
}

TEST(Trajectory, TrapezoidOfMethod7CoversThePathInTf)
{
    const SimSettings s = lineTask('7');
    const ProfileParams& p = currentProfile(s);
    EXPECT_TRUE(near(s.pathLength, 0.5, 1e-15));
    EXPECT_TRUE(near(p.ta, 0.4, 1e-15));
    EXPECT_TRUE(near(p.td, 0.4, 1e-15));
    EXPECT_TRUE(near(p.acc, 0.34722, 5e-6));
    EXPECT_TRUE(near(p.dec, 0.34722, 5e-6));
    EXPECT_TRUE(near(p.vs, 0.13889, 5e-6));
    EXPECT_DOUBLE_EQ(s.vs, p.vs);
    EXPECT_DOUBLE_EQ(s.accelTime, 0.4);
    EXPECT_TRUE(near(referenceMotion(s, 0.4).s, 0.027778, 5e-7));
    EXPECT_TRUE(near(referenceMotion(s, 2.0).s, 0.25, 1e-12));
    EXPECT_TRUE(near(referenceMotion(s, 4.0).s, 0.5, 1e-15));
    EXPECT_DOUBLE_EQ(referenceMotion(s, 4.00002).sdot, 0.0);
    EXPECT_DOUBLE_EQ(referenceMotion(s, 9.0).s, 0.5);
    // speed rises, holds and falls continuously
    EXPECT_TRUE(near(referenceMotion(s, 0.2).sdot, 0.5 * p.vs, 1e-12));
    EXPECT_DOUBLE_EQ(referenceMotion(s, 1.0).sdot, p.vs);
    EXPECT_TRUE(near(referenceMotion(s, 3.8).sdot, 0.5 * p.vs, 1e-12));
}

TEST(Trajectory, TrapezoidPhasesSwitchWithTheTolerance)
{
    const double ta = 0.4, td = 0.4, tf = 4.0, acc = 1.0, dec = 1.0, vs = 0.4;
    const double eps = 0.00001;
    // at tf - td - eps the deceleration formulas already apply
    const double t = tf - td - eps;
    EXPECT_DOUBLE_EQ(trapezoidPosition(t, ta, td, tf, acc, dec, vs, 0.0, 1.0),
                     1.0 - 0.5 * dec * (tf - t) * (tf - t));
    EXPECT_DOUBLE_EQ(trapezoidSpeed(t, ta, td, tf, acc, dec, vs, 0.0, 1.0), dec * (tf - t));
    // up to ta + eps the acceleration formulas
    EXPECT_DOUBLE_EQ(trapezoidSpeed(ta + eps, ta, td, tf, acc, dec, vs, 0.0, 1.0), acc * (ta + eps));
    EXPECT_DOUBLE_EQ(trapezoidSpeed(ta + 2 * eps, ta, td, tf, acc, dec, vs, 0.0, 1.0), vs);
    EXPECT_DOUBLE_EQ(trapezoidPosition(tf + 2 * eps, ta, td, tf, acc, dec, vs, 0.0, 1.0), 1.0);
    // overlapping phases (tf tiny): the later phase wins
    EXPECT_DOUBLE_EQ(trapezoidSpeed(0.0, 1e-6, 1e-6, 1e-5, 1.0, 1.0, 1.0, 0.0, 1.0), 1e-5);
}

TEST(Trajectory, Method8RunsAtConstantSpeedThenStops)
{
    const SimSettings s = lineTask('8');
    EXPECT_DOUBLE_EQ(s.vs, 0.125);
    EXPECT_DOUBLE_EQ(referenceMotion(s, 2.0).s, 0.25);
    EXPECT_DOUBLE_EQ(referenceMotion(s, 2.0).sdot, 0.125);
    EXPECT_DOUBLE_EQ(referenceMotion(s, 4.5).s, 0.5);
    EXPECT_DOUBLE_EQ(referenceMotion(s, 4.5).sdot, 0.0);
    // the reference point lies on the workpiece itself
    const Reference r = referenceAt(s, 2.0);
    EXPECT_TRUE(near(r.point.x, 0.15, 1e-15));
    EXPECT_TRUE(near(r.point.y, 0.2, 1e-15));
}

TEST(Trajectory, Method8HasNoAccelerationPhaseWhateverMethod7SetUpBefore)
{
    SimSettings s = lineTask('7');
    ASSERT_DOUBLE_EQ(s.accelTime, 0.4);
    s.hybrid = '8';
    s.lineTf = 2.0;
    deriveSettings(s);
    EXPECT_EQ(s.accelTime, 0.0);
    EXPECT_DOUBLE_EQ(s.vs, 0.25);
}

TEST(Trajectory, ProfilesAreKeptPerRobotType)
{
    SimSettings s = lineTask('7');  // robot b
    s.type = 'a';
    s.lineTf = 2.0;
    deriveSettings(s);
    EXPECT_DOUBLE_EQ(s.profileA.ta, 0.2);
    EXPECT_DOUBLE_EQ(s.profileB.ta, 0.4);
}

TEST(Trajectory, SettingErrorShiftsOnlyTheReferenceOfMethod7)
{
    SimSettings s = lineTask('7');
    s.seterror = 0.01;
    deriveSettings(s);
    for (double t : {0.0, 0.3, 1.7, 3.9, 6.0}) {
        const Reference r = referenceAt(s, t);
        const Vec2 w = contourPoint(s, r.s);
        EXPECT_TRUE(near(r.point.x - w.x, 0.01, 1e-12)) << t;
        EXPECT_TRUE(near(r.point.y - w.y, 0.0, 1e-12)) << t;
    }
    s.hybrid = '8';
    deriveSettings(s);
    const Reference r = referenceAt(s, 1.0);
    const Vec2 w = contourPoint(s, r.s);
    EXPECT_DOUBLE_EQ(r.point.x, w.x);
    EXPECT_DOUBLE_EQ(r.point.y, w.y);
}

TEST(Trajectory, CircleStartsAtItsRightEndAndRunsCounterClockwise)
{
    const SimSettings s = testing::settingsFor('b', '8', 'C');
    EXPECT_DOUBLE_EQ(s.pathLength, 2.0 * pi * 0.25);
    const Vec2 start = contourPoint(s, 0.0);
    const Vec2 end = contourPoint(s, s.pathLength);
    const Vec2 top = contourPoint(s, s.pathLength / 4.0);
    EXPECT_TRUE(near(start.x, 0.65, 1e-15));
    EXPECT_TRUE(near(start.y, 0.0, 1e-15));
    EXPECT_TRUE(near(end.x, 0.65, 1e-12));
    EXPECT_TRUE(near(end.y, 0.0, 1e-12));
    EXPECT_TRUE(near(top.x, 0.4, 1e-12));
    EXPECT_TRUE(near(top.y, 0.25, 1e-12));
}

TEST(Trajectory, FlatSineIsAStraightLine)
{
    SimSettings s = testing::defaultSettings();
    s.sineA = 0.0;
    deriveSettings(s);
    EXPECT_TRUE(near(s.pathLength, s.sineL, 1e-15));
    EXPECT_TRUE(near(sineAbscissa(s, sineSteps, 0.37), s.sineX0 + 0.37, 1e-15));
}

TEST(Trajectory, SineArcLengthAndAbscissaAgree)
{
    const SimSettings s = testing::defaultSettings();
    // one wavelength of 0.2 sin(2 pi x / 0.6): 1.03607407473 m by a fine quadrature
    EXPECT_TRUE(near(s.pathLength, 1.03607407473, 1e-10));
    EXPECT_TRUE(near(sineArcLength(s, 2000, s.sineL), s.pathLength, 1e-6));
    // walking the whole arc lands near the end of the wavelength
    EXPECT_TRUE(near(sineAbscissa(s, sineSteps, s.pathLength), s.sineXf, 1e-3));
    // a quarter wave has a quarter of the length, by symmetry
    EXPECT_TRUE(near(sineArcLength(s, 200, s.sineL / 4.0), s.pathLength / 4.0, 1e-9));
}

TEST(Trajectory, SideBySideAbscissasAreBitForBitTheSingleOnes)
{
    const SimSettings s = testing::defaultSettings();
    for (double a : {0.0, 0.013, 0.25, 0.5, 0.99, 1.07, -0.2}) {
        for (double b : {0.0, 0.3, 1.0708}) {
            double xa = 0.0, xb = 0.0;
            sineAbscissaPair(s, sineSteps, a, b, xa, xb);
            EXPECT_EQ(xa, sineAbscissa(s, sineSteps, a));
            EXPECT_EQ(xb, sineAbscissa(s, sineSteps, b));
        }
    }
}

TEST(Trajectory, ShiftedSineReferenceUsesTheUnshiftedAbscissa)
{
    SimSettings s = testing::settingsFor('b', '7', 'S');
    const Reference r = referenceAt(s, 1.3);
    const double x = sineAbscissa(s, sineSteps, r.s);
    EXPECT_DOUBLE_EQ(r.point.x, x);
    EXPECT_DOUBLE_EQ(r.point.y, s.sineY0 + s.sineA * std::sin(2.0 * pi * (x - s.shiftedSineX0) / s.sineL));
}

TEST(Trajectory, UnknownSelectorsGiveNoMotion)
{
    SimSettings s = testing::defaultSettings();
    s.hybrid = 'x';
    const Reference r = referenceAt(s, 1.0);
    EXPECT_EQ(r.s, 0.0);
    EXPECT_EQ(r.sdot, 0.0);
    const double before = s.pathLength;
    s.curve = 'Q';
    setupTrajectory(s);
    EXPECT_EQ(s.pathLength, before);
}

}  // namespace
}  // namespace hybridsim
