#include <gtest/gtest.h>

#include "sim/derivation.h"
#include "sim/kinematics.h"
#include "tests/test_support.h"

namespace hybridsim {
namespace {

using testing::near;

struct CountingReporter : ReachReporter {
    int calls = 0;
    void unreachable(double, double, double, double) override { ++calls; }
};

TEST(Derivation, DefaultsDeriveMethod8SineWithItsGains)
{
    const SimSettings s = testing::defaultSettings();
    EXPECT_EQ(s.tf, 4.0);
    EXPECT_EQ(s.startX, 0.2);
    EXPECT_EQ(s.startY, 0.3);
    EXPECT_TRUE(near(s.endX, 0.8, 1e-15));
    EXPECT_EQ(s.endY, 0.3);
    EXPECT_TRUE(near(s.shiftedSineX0, 0.205, 1e-15));
    EXPECT_TRUE(near(s.wn1, 31.4159, 5e-5));
    EXPECT_TRUE(near(s.wn2, 125.6637, 5e-5));
    EXPECT_EQ(s.alpha1, 0.0);
    EXPECT_EQ(s.alpha2, 2.0);
    EXPECT_EQ(s.seterrorLabel, "05[mm]\n");
    // the initial posture puts the probe tip on the start point
    const Vec2 tip = probeTipPosition(s, s.initialJoint);
    EXPECT_TRUE(near(tip.x, 0.2, 1e-12));
    EXPECT_TRUE(near(tip.y, 0.3, 1e-12));
    EXPECT_EQ(s.initialJoint.phi1, s.startJointB.phi1);
}

TEST(Derivation, LineAndCircleDefaults)
{
    const SimSettings line = testing::settingsFor('a', '7', 'L');
    EXPECT_TRUE(near(line.lineAngle, pi / 2.0, 1e-14));
    EXPECT_TRUE(near(line.shiftedLineX0, 0.305, 1e-15));
    EXPECT_EQ(line.shiftedLineY0, 0.0);
    EXPECT_TRUE(near(line.shiftedLineXf, 0.305, 1e-15));
    EXPECT_EQ(line.shiftedLineYf, 0.3);
    EXPECT_EQ(line.tf, 4.0);
    EXPECT_EQ(line.initialJoint.phi2, line.startJointA.phi2);
    EXPECT_TRUE(near(line.startJointA.phi2, 0.3, 1e-15));

    const SimSettings circle = testing::settingsFor('b', '8', 'C');
    EXPECT_EQ(circle.startX, 0.65);
    EXPECT_EQ(circle.startY, 0.0);
    EXPECT_EQ(circle.endX, 0.65);
    EXPECT_EQ(circle.endY, 0.0);
    EXPECT_TRUE(near(circle.shiftedCircleOx, 0.405, 1e-15));
    EXPECT_EQ(circle.tf, 6.0);
}

TEST(Derivation, SettingErrorOf12mmReadsInTheLabel)
{
    SimSettings s = testing::defaultSettings();
    s.seterror = 0.012;
    deriveSettings(s);
    EXPECT_EQ(s.seterrorLabel, "12[mm]\n");
}

TEST(Derivation, UnknownSelectorsLeaveTheirQuantitiesAlone)
{
    SimSettings s = testing::defaultSettings();
    const SimSettings before = s;
    s.curve = 'x';
    s.type = 'x';
    s.lineTf = 9.0;
    deriveSettings(s);
    EXPECT_EQ(s.tf, before.tf);
    EXPECT_EQ(s.startX, before.startX);
    EXPECT_EQ(s.initialJoint.phi1, before.initialJoint.phi1);
    EXPECT_EQ(s.initialJoint.phi2, before.initialJoint.phi2);
}

TEST(Derivation, UnreachableStartAndEndAreBothReported)
{
    SimSettings s = testing::defaultSettings();
    s.curve = 'L';
    s.lineX0 = 1.5;
    s.lineXf = 1.6;
    CountingReporter report;
    deriveSettings(s, &report);
    EXPECT_EQ(report.calls, 2);
    EXPECT_TRUE(std::isnan(s.initialJoint.phi1));
}

TEST(Derivation, ContourRecomputationMovesStartEndAndProfileAtOnce)
{
    SimSettings s = testing::settingsFor('b', '7', 'C');
    s.circleOx = 0.3;
    s.circleR = 0.2;
    s.circleTf = 5.0;
    const Joints initialBefore = s.initialJoint;
    updateContourStart(s);
    EXPECT_EQ(s.startX, 0.5);
    EXPECT_EQ(s.endX, 0.5);
    EXPECT_EQ(s.tf, 5.0);
    EXPECT_EQ(s.accelTime, 0.5);
    EXPECT_TRUE(near(s.pathLength, 2.0 * pi * 0.2, 1e-15));
    const Vec2 tip = probeTipPosition(s, s.startJointB);
    EXPECT_TRUE(near(tip.x, 0.5, 1e-12));
    // the initial posture is left to the closing derivation
    EXPECT_EQ(s.initialJoint.phi1, initialBefore.phi1);
}

}  // namespace
}  // namespace hybridsim
