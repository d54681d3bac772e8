#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "sim/hybrid_control.h"
#include "sim/integrator.h"
#include "sim/kinematics.h"
#include "sim/run.h"
#include "tests/test_support.h"

namespace hybridsim {
namespace {

using testing::near;

// The run written out literally: the reference evaluated for every
// derivative component and every point computed on its own.
void literalRun(const SimSettings& s, RunSeries& run)
{
    auto literalSample = [&](int i, double t, const double* y) {
        const Reference ref = referenceAt(s, t);
        if (t == 0.0) run.refJointPos = Joints{0.0, 0.0};
        run.refJointPos = inverseKinematics(s, ref.point.x, ref.point.y, run.refJointPos);
        const Vec2 P = contourPoint(s, y[0]);
        const Joints q = computeJointCommand(s, t, P, y[1], run.contactJoints);
        SeriesSet& set = currentSeries(run, s.type);
        set.time[i] = t;
        set.jointPos[i] = q;
        set.contactForce[i] = y[1];
        set.forceErr[i] = y[1] - s.Fn;
        set.handDeflection[i] = evaluateContact(s, q);
        set.tipPos[i] = deflectedTipPosition(s, q, set.handDeflection[i]);
        set.refPos[i] = ref.point;
        set.posErr[i] = {set.tipPos[i].x - ref.point.x, set.tipPos[i].y - ref.point.y};
        set.sErr[i] = i == 0 ? 0.0 : y[0] - ref.s;
    };
    double y[stateSize] = {0, 0, 0, 0, 0, 0}, next[stateSize];
    double t = 0.0, tau = 0.0;
    literalSample(0, t, y);
    for (int i = 1; i <= s.nsteps; ++i) {
        const int nsub = subStepsFor(s, tau);
        const double h = s.dt / nsub;
        tau = t;
        for (int k = 0; k < nsub; ++k) {
            rungeKuttaGill([&](int j, double tt, const double* v) { return modelDerivative(s, j, tt, v); },
                           tau, h, y, next, stateSize);
            std::copy(next, next + stateSize, y);
            tau = tau + h;
        }
        t = t + s.dt;
        literalSample(i, t, y);
    }
}

bool same(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

void expectSameSeries(const SeriesSet& a, const SeriesSet& b, int nsteps, const std::string& what)
{
    for (int i = 0; i <= nsteps; ++i) {
        ASSERT_TRUE(same(a.time[i], b.time[i])) << what << " sample " << i;
        ASSERT_TRUE(same(a.tipPos[i].x, b.tipPos[i].x) && same(a.tipPos[i].y, b.tipPos[i].y)) << what << i;
        ASSERT_TRUE(same(a.refPos[i].x, b.refPos[i].x) && same(a.refPos[i].y, b.refPos[i].y)) << what << i;
        ASSERT_TRUE(same(a.posErr[i].x, b.posErr[i].x) && same(a.posErr[i].y, b.posErr[i].y)) << what << i;
        ASSERT_TRUE(same(a.jointPos[i].phi1, b.jointPos[i].phi1) && same(a.jointPos[i].phi2, b.jointPos[i].phi2))
            << what << i;
        ASSERT_TRUE(same(a.handDeflection[i].x, b.handDeflection[i].x) &&
                    same(a.handDeflection[i].y, b.handDeflection[i].y))
            << what << i;
        ASSERT_TRUE(same(a.contactForce[i], b.contactForce[i])) << what << i;
        ASSERT_TRUE(same(a.forceErr[i], b.forceErr[i])) << what << i;
        ASSERT_TRUE(same(a.sErr[i], b.sErr[i])) << what << i;
    }
}

TEST(Run, EveryRecordedNumberEqualsTheLiteralEvaluation)
{
    for (char type : {'a', 'b'}) {
        for (char hybrid : {'7', '8'}) {
            for (char curve : {'L', 'C', 'S'}) {
                const SimSettings s = testing::settingsFor(type, hybrid, curve);
                auto fast = std::make_unique<RunSeries>();
                auto literal = std::make_unique<RunSeries>();
                calcontrol(s, *fast);
                literalRun(s, *literal);
                expectSameSeries(currentSeries(*fast, type), currentSeries(*literal, type), s.nsteps,
                                 std::string(1, type) + hybrid + curve);
            }
        }
    }
}

TEST(Run, SampleZeroHoldsTheRestingStart)
{
    for (char hybrid : {'7', '8'}) {
        const SimSettings s = testing::settingsFor('b', hybrid, 'S');
        auto run = std::make_unique<RunSeries>();
        calcontrol(s, *run);
        const SeriesSet& b = run->B;
        EXPECT_EQ(b.contactForce[0], 0.0);
        EXPECT_EQ(b.forceErr[0], -s.Fn);
        EXPECT_EQ(b.sErr[0], 0.0);
        EXPECT_EQ(b.time[0], 0.0);
        // the reference starts at the start of its contour: shifted for method 7
        const double x0 = hybrid == '7' ? s.shiftedSineX0 : s.sineX0;
        EXPECT_TRUE(near(b.refPos[0].x, hybrid == '7' ? s.sineX0 : x0, 1e-15));
        EXPECT_TRUE(near(b.refPos[0].y, s.sineY0 + s.sineA * std::sin(2.0 * pi * (s.sineX0 - x0) / s.sineL), 1e-15));
        // the undeflected posture at the start point
        EXPECT_TRUE(near(b.tipPos[0].x, 0.2, 1e-12));
        EXPECT_TRUE(near(b.tipPos[0].y, 0.3, 1e-12));
        EXPECT_EQ(b.jointPos[0].phi1, s.initialJoint.phi1);
    }
}

TEST(Run, FineSubStepsOnlyAroundTheSwitchingTimes)
{
    SimSettings s = testing::settingsFor('b', '7', 'L');  // tf = 4, ta = 0.4
    ASSERT_EQ(s.accelTime, 0.4);
    EXPECT_EQ(subStepsFor(s, 0.40), 100);
    EXPECT_EQ(subStepsFor(s, 3.60), 100);
    EXPECT_EQ(subStepsFor(s, 0.48), 10);
    EXPECT_EQ(subStepsFor(s, 2.00), 10);
    EXPECT_EQ(subStepsFor(s, 3.52), 10);
    EXPECT_EQ(subStepsFor(s, 0.0), 10);
    // the windows are open: one period plus the tolerance either side
    EXPECT_EQ(subStepsFor(s, 0.4 - 0.04 - 0.00001), 10);
    EXPECT_EQ(subStepsFor(s, 0.4 - 0.04), 100);
    EXPECT_EQ(subStepsFor(s, 4.0 + 0.04), 100);
    EXPECT_EQ(subStepsFor(s, 4.0 + 0.04 + 0.00002), 10);
    // the first period is fine only when a switching time is below dt + eps
    s.accelTime = 0.04;
    EXPECT_EQ(subStepsFor(s, 0.0), 100);
    s.accelTime = 0.0401;
    EXPECT_EQ(subStepsFor(s, 0.0), 10);
}

// A run depends on its settings only: the default task after a detour
// through method 7 is the default task started fresh, to the last bit.
TEST(Run, TheSameSettingsGiveTheSameRunWhateverCameBefore)
{
    const SimSettings fresh = testing::defaultSettings();
    SimSettings s = fresh;
    s.hybrid = '7';
    deriveSettings(s);  // a method-7 set-up: ta = 0.4 s
    s.hybrid = '8';
    deriveSettings(s);
    auto before = std::make_unique<RunSeries>();
    auto after = std::make_unique<RunSeries>();
    calcontrol(fresh, *before);
    calcontrol(s, *after);
    expectSameSeries(before->B, after->B, fresh.nsteps, "after 7 -> 8, sample ");
}

TEST(Run, RunningOneRobotLeavesTheOtherSetUntouched)
{
    SimSettings s = testing::settingsFor('a', '8', 'L');
    auto run = std::make_unique<RunSeries>();
    calcontrol(s, *run);
    const SeriesSet a = run->A;
    s.type = 'b';
    deriveSettings(s);
    calcontrol(s, *run);
    for (int i = 0; i <= s.nsteps; ++i) {
        ASSERT_EQ(run->A.tipPos[i].x, a.tipPos[i].x);
        ASSERT_EQ(run->A.contactForce[i], a.contactForce[i]);
    }
    EXPECT_NE(run->B.jointPos[50].phi2, a.jointPos[50].phi2);
}

TEST(Run, DefaultTaskTracksTheWorkpieceWithTheCommandedForce)
{
    const SimSettings s = testing::defaultSettings();
    auto run = std::make_unique<RunSeries>();
    calcontrol(s, *run);
    const SeriesSet& b = run->B;
    EXPECT_TRUE(near(b.time[s.nsteps], 8.0, 1e-12));
    // the force settles on Fn; after the end of the path the reference stands still
    EXPECT_TRUE(near(b.contactForce[s.nsteps], s.Fn, 1e-6));
    EXPECT_EQ(b.refPos[150].x, b.refPos[200].x);
    double largestSErr = 0.0;
    for (int i = 0; i <= s.nsteps; ++i) {
        // the probe stays on the wave within a few millimetres (the command
        // turns the deflection by the hand angle at the contact point, and
        // the wave is curved)
        const double yWave = s.sineY0 + s.sineA * std::sin(2.0 * pi * (b.tipPos[i].x - s.sineX0) / s.sineL);
        ASSERT_TRUE(near(b.tipPos[i].y, yWave, 2.5e-3)) << i;
        // posErr is tip minus reference, component by component
        ASSERT_EQ(b.posErr[i].x, b.tipPos[i].x - b.refPos[i].x);
        largestSErr = std::max(largestSErr, std::fabs(b.sErr[i]));
        if (i > 0) {
            // joints are continuous: no jumps by full turns
            ASSERT_LT(std::fabs(b.jointPos[i].phi1 - b.jointPos[i - 1].phi1), 0.5) << i;
        }
    }
    // the tangential error shows only the integration error
    EXPECT_LT(largestSErr, 1e-6);
    EXPECT_GT(largestSErr, 0.0);
}

TEST(Run, Method7CommandsTheShiftedContourMethod8TheWorkpiece)
{
    // with a 5 mm setting error the probe still touches the workpiece while
    // the command of method 7 lies 5 mm beside it
    for (char hybrid : {'7', '8'}) {
        const SimSettings s = testing::settingsFor('a', hybrid, 'L');
        auto run = std::make_unique<RunSeries>();
        calcontrol(s, *run);
        const SeriesSet& a = run->A;
        EXPECT_TRUE(near(a.tipPos[100].x, 0.3, 1e-3)) << hybrid;
        EXPECT_TRUE(near(a.posErr[100].x, hybrid == '7' ? -0.005 : 0.0, 1e-3)) << hybrid;
    }
}

TEST(Run, UnreachablePathsAreReportedAndRecordedAsNotANumber)
{
    struct Counter : ReachReporter {
        int calls = 0;
        void unreachable(double, double, double, double) override { ++calls; }
    } counter;
    SimSettings s = testing::settingsFor('b', '8', 'L');
    s.lineX0 = 0.9;
    s.lineXf = 1.4;
    deriveSettings(s);
    auto run = std::make_unique<RunSeries>();
    calcontrol(s, *run, &counter);
    EXPECT_GT(counter.calls, 100);
    EXPECT_TRUE(std::isnan(run->B.tipPos[s.nsteps].x));
    EXPECT_FALSE(std::isnan(run->B.contactForce[s.nsteps]));
}

TEST(Run, NeverWritesPastTheSeriesCapacity)
{
    SimSettings s = testing::settingsFor('a', '8', 'L');
    s.nsteps = 100000;
    auto run = std::make_unique<RunSeries>();
    calcontrol(s, *run);
    EXPECT_TRUE(near(run->A.time[seriesCapacity - 1], 0.04 * (seriesCapacity - 1), 1e-9));
}

}  // namespace
}  // namespace hybridsim
