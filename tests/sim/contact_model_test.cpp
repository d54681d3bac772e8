#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>

#include "portable_math/portable_math.h"
#include "sim/contact_model.h"
#include "sim/hybrid_control.h"
#include "sim/kinematics.h"
#include "sim/run.h"
#include "sim/trajectory.h"
#include "tests/test_support.h"

namespace hybridsim {
namespace {

using testing::near;

std::unique_ptr<RunSeries> runOf(const SimSettings& s)
{
    auto run = std::make_unique<RunSeries>();
    calcontrol(s, *run);
    return run;
}

SimSettings spring(SimSettings s)
{
    s.springContact = true;
    return s;
}

// Where the contact is exact (a line or a circle, a rigid workpiece, no lag,
// no sampling, no setting error) the measured force is the force command the
// model integrates: the spring model's force is the model's.
TEST(ContactModel, WhereTheGeometryIsExactTheSpringForceIsTheModelsForce)
{
    for (char robot : {'a', 'b'}) {
        for (char method : {'7', '8'}) {
            for (char contour : {'L', 'C'}) {
                SimSettings ideal = testing::settingsFor(robot, method, contour);
                ideal.seterror = 0.0;
                deriveSettings(ideal);
                const auto a = runOf(ideal);
                const auto b = runOf(spring(ideal));
                const SeriesSet& A = currentSeries(*a, robot);
                const SeriesSet& B = currentSeries(*b, robot);
                for (int i = 0; i <= lastSample(ideal); ++i) {
                    ASSERT_TRUE(near(B.contactForce[i], A.contactForce[i], 1e-6 * ideal.Fn))
                        << robot << method << contour << " sample " << i;
                    ASSERT_TRUE(near(B.forceCommand[i], A.contactForce[i], 1e-6 * ideal.Fn));
                }
            }
        }
    }
}

// On every contour, whatever the knobs, the recorded force is the one the
// recorded deflection gives: the hand's normal stiffness at the recorded
// posture times the deflection along the normal; and it never pulls.
TEST(ContactModel, TheRecordedForceIsTheSpringsForceOfTheRecordedDeflection)
{
    for (char contour : {'L', 'C', 'S'}) {
        SimSettings s = spring(testing::settingsFor('b', '8', contour));
        s.KH1 = 300.0;
        s.KH2 = 800.0;
        s.KW = 2000.0;
        s.servoTime = 0.01;
        const auto run = runOf(s);
        const SeriesSet& set = currentSeries(*run, 'b');
        for (int i = 0; i <= lastSample(s); ++i) {
            const Penetration p = penetrationOf(s, set.jointPos[i]);
            const double phi = angleFromHand(s, p.normal, set.jointPos[i]);
            const double kh = handNormalStiffness(s, pmath::cos(phi), pmath::sin(phi));
            const Vec2 d = set.handDeflection[i];
            const double along = d.x * pmath::cos(phi) + d.y * pmath::sin(phi);
            ASSERT_TRUE(near(set.contactForce[i], kh * along, 1e-9 * s.Fn)) << contour << " sample " << i;
            ASSERT_GE(set.contactForce[i], 0.0);
        }
    }
}

// A workpiece as stiff as the hand halves what the loop sees: the measured
// force is the model's with the velocity gain doubled,
// d(rF)/dt = r ((Kp2 - 1)(Fn - rF) + Ki2 z2) / Kv2 with r = 1/2.
TEST(ContactModel, AWorkpieceAsStiffAsTheHandHalvesTheLoopsGain)
{
    SimSettings s = testing::settingsFor('b', '8', 'L');
    ASSERT_EQ(s.KH1, s.KH2);  // the hand's normal stiffness is KH1 at every posture
    SimSettings halved = s;
    halved.Kv2 = 2.0 * s.Kv2;
    s = spring(s);
    s.KW = s.KH1;
    const auto soft = runOf(s);
    const auto model = runOf(halved);
    const SeriesSet& S = currentSeries(*soft, 'b');
    const SeriesSet& M = currentSeries(*model, 'b');
    for (int i = 0; i <= lastSample(s); ++i) {
        ASSERT_TRUE(near(S.contactForce[i], M.contactForce[i], 1e-6 * s.Fn)) << "sample " << i;
        ASSERT_TRUE(near(S.forceCommand[i], 2.0 * M.contactForce[i], 2e-6 * s.Fn)) << "sample " << i;
    }
    // and it is slower: at 0.04 s the soft contact has risen less
    EXPECT_LT(S.contactForce[1], currentSeries(*runOf(testing::settingsFor('b', '8', 'L')), 'b').contactForce[1]);
}

// With a control period the force loop holds the force measured at each
// instant j T: between instants F and z2 grow as polynomials of the time,
// so at the instants they follow the discrete loop's recurrence
//   F' = F + ((Kp2 - 1)(Fn - F) T + Ki2 (z T + (Fn - F) T^2 / 2)) / Kv2,
//   z' = z + (Fn - F) T
// (a line: the measured force is the command, while it presses; periods
// short enough that it always does).
TEST(ContactModel, WithAPeriodTheForceFollowsTheSampledLoopsRecurrence)
{
    for (double period : {0.02, 0.01, 0.013}) {
        SimSettings s = spring(testing::settingsFor('a', '8', 'L'));
        s.controlPeriod = period;
        const auto run = runOf(s);
        const SeriesSet& set = currentSeries(*run, 'a');
        double F = 0.0, z = 0.0;
        long instant = 0;
        for (int i = 0; i <= lastSample(s); ++i) {
            const double t = set.time[i];
            // advance the recurrence to the last instant at or before t, then
            // the polynomials to t
            while ((instant + 1) * period <= t + 1e-12) {
                const double e = s.Fn - F;
                F += ((s.Kp2 - 1.0) * e * period + s.Ki2 * (z * period + e * period * period / 2.0)) / s.Kv2;
                z += e * period;
                ++instant;
            }
            const double tau = t - instant * period;
            const double e = s.Fn - F;
            const double atT = F + ((s.Kp2 - 1.0) * e * tau + s.Ki2 * (z * tau + e * tau * tau / 2.0)) / s.Kv2;
            // (Gill's constants are decimals of 9 digits: not exact for polynomials)
            ASSERT_TRUE(near(set.forceCommand[i], atT, 1e-6 * s.Fn))
                << "period " << period << " sample " << i;
            ASSERT_TRUE(i == 0 || set.contactForce[i] > 0.0) << "period " << period << " sample " << i;
        }
    }
}

// The setting error is where method 7 believes the workpiece is: it reaches
// method 7's force and not method 8's, which follows the real contour.
TEST(ContactModel, TheSettingErrorReachesMethod7sForceOnly)
{
    for (char method : {'7', '8'}) {
        SimSettings s = spring(testing::settingsFor('b', method, 'L'));
        s.seterror = 0.0;
        deriveSettings(s);
        const auto exact = runOf(s);
        s.seterror = 0.005;
        deriveSettings(s);
        const auto shifted = runOf(s);
        double most = 0.0;
        for (int i = 0; i <= lastSample(s); ++i)
            most = std::max(most, std::fabs(currentSeries(*shifted, 'b').contactForce[i] -
                                            currentSeries(*exact, 'b').contactForce[i]));
        if (method == '8') {
            EXPECT_LT(most, 1e-9) << "method 8";
        } else {
            EXPECT_GT(most, 0.5) << "method 7";
        }
    }
}

// The sine's abscissa followed step by step, forwards and back, is the one
// a fine integration from the start gives.
TEST(ContactModel, TheSinesAbscissaFollowedFromArcToArcIsTheIntegralFromTheStart)
{
    const SimSettings s = testing::defaultSettings();
    SineArc arc(s);
    double at = 0.0;
    for (int i = 0; i < 3000; ++i) {
        at += (i % 3 == 2 ? -0.0007 : 0.0009);  // back and forth, mostly forth
        if (i % 100 != 0) {
            arc.abscissa(at);
            continue;
        }
        ASSERT_TRUE(near(arc.abscissa(at), sineAbscissa(s, 20000, at) - s.sineX0, 1e-8)) << "arc " << at;
    }
}

// A slow servo on a fast sine leaves the convex crests: the probe is off the
// surface there, the force 0 and never below.
TEST(ContactModel, ALaggingServoLosesContactAndTheForceStaysAtZero)
{
    SimSettings s = spring(testing::defaultSettings());
    s.sineTf = 0.5;
    deriveSettings(s);
    s.servoTime = 0.1;
    const auto run = runOf(s);
    const SeriesSet& set = currentSeries(*run, s.type);
    int off = 0;
    for (int i = 0; i <= lastSample(s); ++i) {
        ASSERT_GE(set.contactForce[i], 0.0) << "sample " << i;
        if (set.contactForce[i] == 0.0) ++off;
    }
    EXPECT_GT(off, 1);
}

// The linearisation's ratio r, the measured force's growth per newton of
// command: where the contact is exact and kh stays, k / kh -- 1 for a
// rigid workpiece, 1/2 for one as stiff as the hand; on the sine (whose
// depth the model measures vertically) and with a hand that turns against
// unequal springs, the model's own slope, which is not k / kh.
TEST(SampledForceLoop, TheRatioIsTheMeasuredForcesGrowthPerNewtonOfCommand)
{
    // where the contact is exact and kh stays, k / kh: 1, and 1/2 for KW = kh
    for (char type : {'a', 'b'}) {
        for (char contour : {'L', 'C'}) {
            SimSettings s = spring(testing::settingsFor(type, '8', contour));
            EXPECT_TRUE(near(stiffnessRatio(s), 1.0, 1e-9)) << type << contour;
            s.KW = s.KH1;
            EXPECT_TRUE(near(stiffnessRatio(s), 0.5, 1e-9)) << type << contour;
        }
    }
    // not k / kh: the default sine grows faster than its command, robot b's
    // turning hand on a line with unequal springs a little faster than k / kh
    EXPECT_GT(stiffnessRatio(spring(testing::defaultSettings())), 1.01);
    SimSettings turning = spring(testing::settingsFor('b', '8', 'L'));
    turning.KH1 = 300.0;
    turning.KH2 = 800.0;
    const Joints q = computeJointCommand(turning, 0.0, referencePoint(turning, 0.0), turning.Fn, turning.initialJoint);
    const double kh = springContactOf(turning, q).handStiffness;
    EXPECT_GT(stiffnessRatio(turning), 1.0 + 1e-3);
    EXPECT_LT(stiffnessRatio(turning), 1.1);
    EXPECT_NE(kh, turning.KH1);
    // a start out of reach: none
    SimSettings far = spring(testing::settingsFor('b', '8', 'C'));
    far.circleOx = 10.0;
    deriveSettings(far);
    EXPECT_TRUE(std::isnan(stiffnessRatio(far)));
}

// The sampled loop's poles are the run's: at the control instants the
// measured force error e obeys e(j+2) - (z1 + z2) e(j+1) + z1 z2 e(j) = 0
// (with m instants between samples, the poles z^m), on a line where the
// contact is exact, with a rigid workpiece and one as stiff as the hand.
TEST(SampledForceLoop, TheRunsForceAtTheInstantsFollowsThePoles)
{
    // (40 ms is too long for the rigid workpiece's loop, not for the softer one)
    const struct {
        double KW, period;
    } cases[] = {{1.0 / 0.0, 0.02}, {1.0 / 0.0, 0.01}, {500.0, 0.04}, {500.0, 0.02}};
    for (const auto& c : cases) {
        {
            const double KW = c.KW, period = c.period;
            SimSettings s = spring(testing::settingsFor('b', '8', 'L'));
            ASSERT_EQ(s.KH1, 500.0);
            s.KW = KW;
            s.controlPeriod = period;
            const SampledForceLoop l = sampledForceLoop(s);
            ASSERT_TRUE(l.computed);
            const int m = static_cast<int>(std::lround(s.dt / period));
            const std::complex<double> z1 = std::pow(std::complex<double>(l.re[0], l.im[0]), m);
            const std::complex<double> z2 = std::pow(std::complex<double>(l.re[1], l.im[1]), m);
            const double sum = (z1 + z2).real();
            const double product = (z1 * z2).real();
            const auto run = runOf(s);
            const SeriesSet& set = currentSeries(*run, 'b');
            for (int i = 2; i <= lastSample(s); ++i) {
                const double e0 = set.contactForce[i - 2] - s.Fn;
                const double e1 = set.contactForce[i - 1] - s.Fn;
                const double e2 = set.contactForce[i] - s.Fn;
                ASSERT_TRUE(near(e2, sum * e1 - product * e0, 1e-5 * s.Fn))
                    << "KW " << KW << " period " << period << " sample " << i;
            }
        }
    }
}

// The default task (method 8, fn2 = 20 Hz, alpha2 = 2, a rigid workpiece):
// stable up to T = 2 Kv2 / (r (Kp2 - 1)), about 30 ms; at 30 ms a pole near -1
// rings and the force settles, at 40 ms one lies outside the unit circle
// and the force keeps leaving the surface; at 0.1 ms the poles are those
// of the continuous loop, z = exp(p T).
TEST(SampledForceLoop, TheDefaultTaskIsStableAt30msAndNotAt40ms)
{
    SimSettings s = spring(testing::defaultSettings());
    s.controlPeriod = 0.03;
    const SampledForceLoop stable = sampledForceLoop(s);
    EXPECT_FALSE(stable.unstable);
    EXPECT_LT(std::min(stable.re[0], stable.re[1]), -0.9);  // rings, period by period
    EXPECT_TRUE(near(stable.periodLimit, 2.0 * s.Kv2 / (stable.ratio * (s.Kp2 - 1.0)), 1e-12));
    EXPECT_GT(stable.periodLimit, 0.03);
    EXPECT_LT(stable.periodLimit, 0.031);
    s.controlPeriod = 0.04;
    const SampledForceLoop unstable = sampledForceLoop(s);
    EXPECT_TRUE(unstable.unstable);
    EXPECT_GT(unstable.largest, 1.5);
    // the runs: the force over the last half, away from Fn or not
    auto largestError = [&](double period) {
        s.controlPeriod = period;
        const auto run = runOf(s);
        const SeriesSet& set = currentSeries(*run, s.type);
        double most = 0.0;
        for (int i = lastSample(s) / 2; i <= lastSample(s); ++i)
            most = std::max(most, std::fabs(set.contactForce[i] - s.Fn));
        return most;
    };
    EXPECT_LT(largestError(0.03), 0.05 * s.Fn);
    EXPECT_GT(largestError(0.04), 0.9 * s.Fn);
    // the bound itself: just inside and just outside
    s.controlPeriod = stable.periodLimit * (1.0 - 1e-6);
    EXPECT_FALSE(sampledForceLoop(s).unstable);
    s.controlPeriod = stable.periodLimit * (1.0 + 1e-6);
    EXPECT_TRUE(sampledForceLoop(s).unstable);
    // short periods: the continuous loop's poles
    s.controlPeriod = 0.0001;
    const SampledForceLoop fine = sampledForceLoop(s);
    const double b = fine.ratio * (s.Kp2 - 1.0) / s.Kv2, c = fine.ratio * s.Ki2 / s.Kv2;
    const double fast = -b / 2.0 - std::sqrt(b * b / 4.0 - c), slow = -b / 2.0 + std::sqrt(b * b / 4.0 - c);
    EXPECT_TRUE(near(std::log(fine.re[0]) / s.controlPeriod, slow, 1e-3 * std::fabs(slow)));
    EXPECT_TRUE(near(std::log(fine.re[1]) / s.controlPeriod, fast, 1e-2 * std::fabs(fast)));
    // none without a period or under the ideal contact
    s.controlPeriod = 0.0;
    EXPECT_FALSE(sampledForceLoop(s).computed);
    s.controlPeriod = 0.04;
    s.springContact = false;
    EXPECT_FALSE(sampledForceLoop(s).computed);
    EXPECT_FALSE(sampledForceLoop(s).unstable);
}

}  // namespace
}  // namespace hybridsim
