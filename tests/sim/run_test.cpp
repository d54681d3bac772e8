#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sim/hybrid_control.h"
#include "sim/integrator.h"
#include "sim/kinematics.h"
#include "sim/run.h"
#include "task/messages.h"
#include "task/run_notice.h"
#include "task/task_setting.h"
#include "task/text_format.h"
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

// Values taken as typed that make a run's numbers overflow.  The run names
// the first sample concerned and the cause; a run whose only not-a-number
// samples are points out of reach, or that has none, names nothing.
enum class From {
    nowhere,       // no fault
    firstNumber,   // the first sample holding a number that is not finite
    firstForce,    // the first sample whose force is not finite (points out of reach came before)
};
struct BlowUp {
    const char* name;
    std::vector<std::pair<std::string, std::string>> settings;  // by name, in order
    RunFaultCause cause;
    int system;        // the loop named (0: none)
    From from;
    const char* says;  // in the console's notice
};

const BlowUp blowUps[] = {
    {"Default", {}, RunFaultCause::none, 0, From::nowhere, ""},
    {"ContourOutOfReach", {{"contour", "C"}, {"Ox", "3"}, {"Oy", "3"}}, RunFaultCause::none, 0, From::nowhere, ""},
    {"ForceLoopAtItsLimit", {{"fn2", "222"}}, RunFaultCause::none, 0, From::nowhere, ""},
    {"ForceLoopTooFast", {{"fn2", "1e5"}}, RunFaultCause::stepTooLong, 2, From::firstNumber,
     "法線力制御系 (fn2=100000[Hz]) が速すぎて，積分の刻み h=0.0004[s]"},
    {"ForceLoopJustTooFast", {{"fn2", "300"}}, RunFaultCause::stepTooLong, 2, From::firstForce, "h=0.004[s]"},
    {"PositionLoopTooFast", {{"fn1", "1e5"}}, RunFaultCause::stepTooLong, 1, From::firstNumber, "接線位置制御系 (fn1="},
    {"ForceLoopUnstable", {{"fn2", "-50"}}, RunFaultCause::loopUnstable, 2, From::firstForce, "(fn2=-50[Hz], α2=2[1/s])"},
    {"FrequencyWhoseGainOverflows", {{"fn2", "1e160"}}, RunFaultCause::gainsOverflow, 2, From::firstNumber,
     "fn2=1e+160[Hz]"},
    {"FrequencyWhoseVelocityGainIsTiny", {{"fn1", "1e-320"}}, RunFaultCause::velocityGainTiny, 1,
     From::firstNumber, "速度ゲイン Kv1="},
    {"HugeForce", {{"Fn", "1e308"}}, RunFaultCause::forceTooLarge, 2, From::firstNumber, "Fn=1e+308[N]"},
    {"HugePull", {{"Fn", "-1e308"}}, RunFaultCause::forceTooLarge, 2, From::firstNumber, "Fn=-1e+308[N]"},
    {"SteepSine", {{"A", "1e200"}}, RunFaultCause::pathTooLong, 0, From::firstNumber, "振幅 A=1e+200[m]"},
    {"HugeCircle", {{"contour", "C"}, {"r", "1e308"}}, RunFaultCause::pathTooLong, 0, From::firstNumber,
     "半径 r=1e+308[m]"},
    {"LineEndsFarApart", {{"contour", "L"}, {"x0", "-1e308"}, {"xf", "1e308"}}, RunFaultCause::pathTooLong, 0,
     From::firstNumber, "直線の端点"},
    {"PositioningTimeTooShort", {{"tf", "1e-320"}}, RunFaultCause::pathTooFast, 0, From::firstNumber, "tf="},
    {"StiffSprings", {{"KH1", "1e200"}, {"KH2", "1e200"}}, RunFaultCause::springsTooStiff, 0, From::firstNumber,
     "KH1=1e+200, KH2=1e+200[N/m] が大きすぎて"},
    {"OneStiffSpring", {{"KH1", "1e308"}}, RunFaultCause::springsTooStiff, 0, From::firstNumber, "KH1=1e+308"},
    {"SoftSpring", {{"KH1", "1e-320"}}, RunFaultCause::springsTooSoft, 0, From::firstNumber, "が小さすぎて"},
    {"FarLineOfRobotA", {{"robot", "a"}, {"contour", "L"}, {"x0", "1e308"}, {"xf", "1e308"}},
     RunFaultCause::coordinatesTooLarge, 0, From::firstNumber, "位置の値が大きすぎて"},
};

void PrintTo(const BlowUp& b, std::ostream* os)
{
    *os << b.name;
}

bool allFinite(const SeriesSet& set, int i)
{
    const double v[] = {set.time[i],          set.tipPos[i].x,         set.tipPos[i].y,
                        set.refPos[i].x,      set.refPos[i].y,         set.posErr[i].x,
                        set.posErr[i].y,      set.jointPos[i].phi1,    set.jointPos[i].phi2,
                        set.handDeflection[i].x, set.handDeflection[i].y, set.contactForce[i],
                        set.forceErr[i],      set.sErr[i]};
    for (double x : v)
        if (!std::isfinite(x)) return false;
    return true;
}

class RunFaults : public ::testing::TestWithParam<BlowUp> {};

TEST_P(RunFaults, NameTheirFirstSampleAndTheirCause)
{
    const BlowUp& b = GetParam();
    SimSettings s = testing::defaultSettings();
    for (const auto& [name, value] : b.settings) ASSERT_TRUE(setTaskSetting(s, name, value).ok) << name;
    deriveSettings(s);
    auto run = std::make_unique<RunSeries>();
    const RunFault f = calcontrol(s, *run);
    const SeriesSet& set = currentSeries(*run, s.type);
    EXPECT_EQ(f.cause, b.cause);
    EXPECT_EQ(f.system, b.system);
    int expected = -1;
    for (int i = 0; i <= s.nsteps && expected < 0; ++i) {
        if (b.from == From::firstNumber && !allFinite(set, i)) expected = i;
        if (b.from == From::firstForce && !std::isfinite(set.contactForce[i])) expected = i;
    }
    EXPECT_EQ(f.sample, expected);
    if (expected >= 0) {
        EXPECT_EQ(f.time, set.time[expected]);
    }

    // the notice: one line from that sample, in both languages
    const std::string ja = runFaultNotice(s, f);
    const std::string en = runFaultNotice(s, f, NoticeLanguage::english);
    if (!f) {
        EXPECT_EQ(ja + en, "");
        return;
    }
    EXPECT_EQ(ja.rfind(format(msg::runFaultFrom, expected, set.time[expected]), 0), 0u) << ja;
    EXPECT_NE(ja.find(b.says), std::string::npos) << ja;
    EXPECT_EQ(en.rfind("From sample " + std::to_string(expected) + " (", 0), 0u) << en;
    EXPECT_EQ(ja.find('\n', 1) + en.find('\n'), 2 * std::string::npos) << ja << en;
}

INSTANTIATE_TEST_SUITE_P(Rows, RunFaults, ::testing::ValuesIn(blowUps),
                         [](const ::testing::TestParamInfo<BlowUp>& info) { return info.param.name; });

// The frequency a too-fast loop's notice names is where the integration
// stops growing: a little below it the force settles, a little above it
// it grows past any contact force.
TEST(RunFaultsAdvice, TheHighestStableFrequencyIsWhereTheRunStopsGrowing)
{
    // alpha2 = 1e4 gives the loop a complex pair of roots near the limit
    for (const auto& [system, alpha] : {std::pair<int, const char*>{1, "0"}, {2, "2"}, {2, "1e4"}}) {
        SCOPED_TRACE(std::to_string(system) + " " + alpha);
        const std::string fn = "fn" + std::to_string(system);
        SimSettings s = testing::defaultSettings();
        ASSERT_TRUE(setTaskSetting(s, "alpha" + std::to_string(system), alpha).ok);
        ASSERT_TRUE(setTaskSetting(s, fn, "1e5").ok);
        deriveSettings(s);
        auto run = std::make_unique<RunSeries>();
        const RunFault fast = calcontrol(s, *run);
        ASSERT_EQ(fast.cause, RunFaultCause::stepTooLong);
        EXPECT_GT(fast.stableUpTo, 100.0);
        EXPECT_LT(fast.stableUpTo, 1000.0);
        auto largestError = [&](double factor) {
            SimSettings t = s;
            EXPECT_TRUE(setTaskSetting(t, fn, format("%.17g", factor * fast.stableUpTo)).ok);
            deriveSettings(t);
            EXPECT_FALSE(calcontrol(t, *run)) << factor;
            double e = 0.0;
            const SeriesSet& set = currentSeries(*run, t.type);
            for (int i = 1; i <= t.nsteps; ++i)
                e = std::max(e, std::fabs(system == 1 ? set.sErr[i] : set.forceErr[i]));
            return e;
        };
        // below: the error of the default run's size; above: far beyond it
        EXPECT_LT(largestError(0.99), system == 1 ? 1e-3 : 10.0);
        EXPECT_GT(largestError(1.08), 1e6);
    }
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
