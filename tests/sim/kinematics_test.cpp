#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "sim/kinematics.h"
#include "tests/test_support.h"

namespace hybridsim {
namespace {

using testing::near;

// Records what the inverse kinematics reports.
struct RecordingReporter : ReachReporter {
    struct Call {
        double l1, L2, x, y;
    };
    std::vector<Call> calls;
    void unreachable(double l1, double L2, double x, double y) override { calls.push_back({l1, L2, x, y}); }
};

TEST(Kinematics, NearestBranchPicksTheCandidateClosestToTheReference)
{
    const double r = 0.3;
    EXPECT_DOUBLE_EQ(nearestBranch(r + 1.5 * pi, r), r + 1.5 * pi - 2.0 * pi);
    EXPECT_DOUBLE_EQ(nearestBranch(r + 0.9 * pi, r), r + 0.9 * pi);
    EXPECT_DOUBLE_EQ(nearestBranch(r - 1.5 * pi, r), r - 1.5 * pi + 2.0 * pi);
    // about 4 pi away: reaches it, but no further
    EXPECT_DOUBLE_EQ(nearestBranch(0.1, 4.0 * pi), 0.1 + 4.0 * pi);
    EXPECT_DOUBLE_EQ(nearestBranch(0.1, -4.0 * pi), 0.1 - 4.0 * pi);
    EXPECT_DOUBLE_EQ(nearestBranch(0.1, 7.0 * pi), 0.1 + 4.0 * pi);
    // a tie keeps the earlier candidate: v before v + 2 pi
    EXPECT_DOUBLE_EQ(nearestBranch(0.0, pi), 0.0);
    EXPECT_TRUE(std::isnan(nearestBranch(std::nan(""), 0.0)));
}

TEST(Kinematics, AngleFromHandFoldsOnceOnly)
{
    SimSettings s = testing::defaultSettings();
    s.type = 'a';
    const Joints q{0.25, 0.5};
    EXPECT_TRUE(near(angleFromHand(s, 0.25 + 3.5 * pi, q), 1.5 * pi, 1e-12));
    EXPECT_TRUE(near(angleFromHand(s, 0.25 - 1.2 * pi, q), 0.8 * pi, 1e-12));
    EXPECT_TRUE(near(angleFromHand(s, 0.25 + 0.5, q), 0.5, 1e-15));
    s.type = 'b';
    EXPECT_TRUE(near(angleFromHand(s, 0.25 + 0.5 + 0.1, q), 0.1, 1e-15));
}

TEST(Kinematics, CylindricalRobotExample)
{
    SimSettings s = testing::defaultSettings();
    s.type = 'a';
    const Joints q = inverseKinematics(s, 0.5, 0.5, {0.0, 0.0});
    EXPECT_TRUE(near(q.phi1, pi / 4.0, 1e-12));
    EXPECT_TRUE(near(q.phi2, std::sqrt(0.5), 1e-15));
    EXPECT_DOUBLE_EQ(handAngle(s, q), q.phi1);
}

TEST(Kinematics, ScaraRobotExampleHasItsHandAlongY)
{
    SimSettings s = testing::defaultSettings();
    const Joints q = inverseKinematics(s, 0.3, 0.1, {0.0, 0.0});
    EXPECT_TRUE(near(q.phi1, -0.927295, 5e-7));
    EXPECT_TRUE(near(q.phi2, 2.498092, 5e-7));
    EXPECT_TRUE(near(handAngle(s, q), pi / 2.0, 1e-12));
}

TEST(Kinematics, ScaraAcceptsTheStretchedAndFoldedLimits)
{
    SimSettings s = testing::defaultSettings();
    RecordingReporter report;
    // l1 = L2 = 0.5: fully stretched at d = 1 (c2 = -1)
    const Joints stretched = inverseKinematics(s, 1.0, 0.0, {0.0, 0.0}, &report);
    // pi - acos(-1) leaves the difference of the program's pi to the library's
    EXPECT_TRUE(near(stretched.phi2, 0.0, 1e-14));
    EXPECT_DOUBLE_EQ(stretched.phi1, 0.0);
    // L2 = 0.25: folded back at d = 0.25 (c2 = 1)
    s.l2 = 0.05;
    const Joints folded = inverseKinematics(s, 0.25, 0.0, {0.0, 0.0}, &report);
    EXPECT_TRUE(near(folded.phi2, pi, 1e-14));
    EXPECT_DOUBLE_EQ(folded.phi1, 0.0);
    EXPECT_TRUE(report.calls.empty());
}

TEST(Kinematics, ScaraOutOfReachReportsOnceAndYieldsNotANumber)
{
    SimSettings s = testing::defaultSettings();
    RecordingReporter report;
    const Joints q = inverseKinematics(s, 1.2, 0.0, {0.0, 0.0}, &report);
    ASSERT_EQ(report.calls.size(), 1u);
    EXPECT_DOUBLE_EQ(report.calls[0].l1, 0.5);
    EXPECT_DOUBLE_EQ(report.calls[0].L2, 0.5);
    EXPECT_DOUBLE_EQ(report.calls[0].x, 1.2);
    EXPECT_DOUBLE_EQ(report.calls[0].y, 0.0);
    EXPECT_TRUE(std::isnan(q.phi1));
    EXPECT_TRUE(std::isnan(q.phi2));
    // the cylindrical robot reaches everything
    s.type = 'a';
    inverseKinematics(s, 5.0, -7.0, {0.0, 0.0}, &report);
    EXPECT_EQ(report.calls.size(), 1u);
}

TEST(Kinematics, ScaraReachIsTheAnnulusTheInverseKinematicsSolves)
{
    SimSettings s = testing::defaultSettings();
    for (double l1 : {0.5, 0.8, 0.2}) {
        s.l1 = l1;
        const ReachAnnulus reach = reachOfRobotB(s);
        EXPECT_DOUBLE_EQ(reach.outer - reach.inner, 2.0 * std::min(s.l1, s.l2 + s.wp));
        for (double angle : {0.3, 2.5, -1.9}) {
            auto solved = [&](double r) {
                RecordingReporter report;
                const Joints q = inverseKinematics(s, r * std::cos(angle), r * std::sin(angle), {0.0, 0.0}, &report);
                return report.calls.empty() && std::isfinite(q.phi1) && std::isfinite(q.phi2);
            };
            EXPECT_TRUE(solved(reach.outer * (1.0 - 1e-9))) << l1;
            EXPECT_FALSE(solved(reach.outer * (1.0 + 1e-9))) << l1;
            if (reach.inner > 0.0) {
                EXPECT_TRUE(solved(reach.inner * (1.0 + 1e-9))) << l1;
                EXPECT_FALSE(solved(reach.inner * (1.0 - 1e-9))) << l1;
            }
        }
    }
}

TEST(Kinematics, InverseThenForwardReturnsThePointOnBothRobots)
{
    SimSettings s = testing::defaultSettings();
    for (char type : {'a', 'b'}) {
        s.type = type;
        Joints ref{0.0, 0.0};
        for (int i = 0; i < 200; ++i) {
            // a spiral through the reachable annulus, continuous from point to point
            const double a = 0.05 * i;
            const double r = 0.15 + 0.8 * i / 200.0;
            const double x = r * std::cos(a), y = r * std::sin(a);
            const Joints q = inverseKinematics(s, x, y, ref);
            const Vec2 p = probeTipPosition(s, q);
            ASSERT_TRUE(near(p.x, x, 1e-12)) << type << " " << i;
            ASSERT_TRUE(near(p.y, y, 1e-12)) << type << " " << i;
            // successive solutions stay continuous: no jump by 2 pi
            ASSERT_LT(std::fabs(q.phi1 - ref.phi1), pi) << type << " " << i;
            ref = q;
        }
    }
}

}  // namespace
}  // namespace hybridsim
