#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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

}  // namespace
}  // namespace hybridsim
