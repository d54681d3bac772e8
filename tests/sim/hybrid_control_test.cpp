#include <gtest/gtest.h>

#include <cmath>

#include "sim/hybrid_control.h"
#include "sim/kinematics.h"
#include "tests/test_support.h"

namespace hybridsim {
namespace {

using testing::near;

// The default line x = 0.3 running towards +y, for robot a or b.
SimSettings verticalLine(char type, double KH1, double KH2)
{
    SimSettings s = testing::settingsFor(type, '8', 'L');
    s.KH1 = KH1;
    s.KH2 = KH2;
    return s;
}

struct Contact {
    Joints contact, command;
    Vec2 delta, tip;
};

Contact pressAt(const SimSettings& s, Vec2 P, double F)
{
    Contact c;
    c.command = computeJointCommand(s, 1.0, P, F, c.contact = Joints{0.0, 0.0});
    c.delta = evaluateContact(s, c.command);
    c.tip = deflectedTipPosition(s, c.command, c.delta);
    return c;
}

TEST(HybridControl, WorkedExampleCylindricalRobotEqualSprings)
{
    const SimSettings s = verticalLine('a', 500.0, 500.0);
    const Contact c = pressAt(s, {0.3, 0.1}, 10.0);
    EXPECT_TRUE(near(c.contact.phi1, 0.321751, 5e-7));
    EXPECT_TRUE(near(c.contact.phi2, 0.316228, 5e-7));
    EXPECT_TRUE(near(c.command.phi1, 0.302885, 5e-7));
    EXPECT_TRUE(near(c.command.phi2, 0.335261, 5e-7));
    EXPECT_TRUE(near(c.delta.x, 0.019090, 5e-7));
    EXPECT_TRUE(near(c.delta.y, -0.005965, 5e-7));
    EXPECT_TRUE(near(c.tip.x, 0.3, 1e-12));
    EXPECT_TRUE(near(c.tip.y, 0.1, 1e-12));
    // the undeflected tip of the command is the command point (0.32, 0.1)
    const Vec2 pc = probeTipPosition(s, c.command);
    EXPECT_TRUE(near(pc.x, 0.32, 1e-12));
    EXPECT_TRUE(near(pc.y, 0.1, 1e-12));
}

TEST(HybridControl, WorkedExampleCylindricalRobotUnequalSprings)
{
    const SimSettings s = verticalLine('a', 1000.0, 500.0);
    const Contact c = pressAt(s, {0.3, 0.1}, 10.0);
    const Vec2 pc = probeTipPosition(s, c.command);
    EXPECT_TRUE(near(pc.x, 0.311, 5e-7));
    EXPECT_TRUE(near(pc.y, 0.097, 5e-7));
    EXPECT_TRUE(near(c.command.phi1, 0.302336, 5e-7));
    EXPECT_TRUE(near(c.command.phi2, 0.325776, 5e-7));
    EXPECT_TRUE(near(c.delta.x, 0.009646, 5e-7));
    EXPECT_TRUE(near(c.delta.y, -0.006017, 5e-7));
    EXPECT_TRUE(near(c.tip.x, 0.3, 5e-7));
    EXPECT_TRUE(near(c.tip.y, 0.099872, 5e-7));
}

TEST(HybridControl, WorkedExampleScaraRobot)
{
    const SimSettings s = verticalLine('b', 500.0, 500.0);
    const Contact c = pressAt(s, {0.3, 0.1}, 10.0);
    EXPECT_TRUE(near(c.contact.phi1, -0.927295, 5e-7));
    EXPECT_TRUE(near(c.contact.phi2, 2.498092, 5e-7));
    EXPECT_TRUE(near(c.command.phi1, -0.926029, 5e-7));
    EXPECT_TRUE(near(c.command.phi2, 2.457828, 5e-7));
    EXPECT_TRUE(near(c.delta.x, 0.000780, 5e-7));
    EXPECT_TRUE(near(c.delta.y, -0.019985, 5e-7));
    EXPECT_TRUE(near(c.tip.x, 0.3, 1e-12));
    EXPECT_TRUE(near(c.tip.y, 0.1, 1e-12));
}

TEST(HybridControl, ZeroForceCommandsTheContactPostureOnEveryContour)
{
    for (char type : {'a', 'b'}) {
        for (char curve : {'L', 'C', 'S'}) {
            const SimSettings s = testing::settingsFor(type, '8', curve);
            const Vec2 P = s.curve == 'L' ? Vec2{0.3, 0.12} : (s.curve == 'C' ? Vec2{0.4, 0.25} : Vec2{0.35, 0.5});
            const Contact c = pressAt(s, P, 0.0);
            EXPECT_EQ(c.command.phi1, c.contact.phi1) << type << curve;
            EXPECT_EQ(c.command.phi2, c.contact.phi2) << type << curve;
            EXPECT_TRUE(near(c.delta.x, 0.0, 1e-12)) << type << curve;
            EXPECT_TRUE(near(c.delta.y, 0.0, 1e-12)) << type << curve;
            EXPECT_TRUE(near(c.tip.x, P.x, 1e-12)) << type << curve;
            EXPECT_TRUE(near(c.tip.y, P.y, 1e-12)) << type << curve;
        }
    }
}

TEST(HybridControl, CommandedForceBringsTheTipBackNearTheContactPoint)
{
    // the rotation uses the hand angle at P, so a small remainder is expected
    for (char type : {'a', 'b'}) {
        for (char curve : {'L', 'C', 'S'}) {
            SimSettings s = testing::settingsFor(type, '8', curve);
            s.KH1 = 800.0;
            s.KH2 = 400.0;
            const Vec2 P = s.curve == 'L' ? Vec2{0.3, 0.12} : (s.curve == 'C' ? Vec2{0.4, 0.25} : Vec2{0.35, 0.5});
            const Contact c = pressAt(s, P, 10.0);
            EXPECT_TRUE(near(c.tip.x, P.x, 3e-3)) << type << curve;
            EXPECT_TRUE(near(c.tip.y, P.y, 3e-3)) << type << curve;
            // a pressed probe deflects by about F / K
            const double d = std::hypot(c.delta.x, c.delta.y);
            EXPECT_GT(d, 10.0 / 800.0 * 0.9) << type << curve;
            EXPECT_LT(d, 10.0 / 400.0 * 1.1) << type << curve;
        }
    }
}

TEST(HybridControl, TipOutsideTheMaterialDeflectsTheOtherWay)
{
    const SimSettings s = verticalLine('a', 500.0, 500.0);
    const Joints outside = inverseKinematics(s, 0.29, 0.1, {0.0, 0.0});
    const Joints inside = inverseKinematics(s, 0.31, 0.1, {0.0, 0.0});
    const Vec2 dOut = evaluateContact(s, outside);
    const Vec2 dIn = evaluateContact(s, inside);
    EXPECT_LT(dOut.x, 0.0);
    EXPECT_GT(dIn.x, 0.0);
    EXPECT_TRUE(near(dOut.x, -dIn.x, 1e-4));
}

TEST(HybridControl, NormalsPointIntoTheMaterial)
{
    const SimSettings circle = testing::settingsFor('b', '8', 'C');
    // at the right-hand end the centre lies in -x
    EXPECT_TRUE(near(std::cos(contourNormalAngle(circle, {0.65, 0.0}).normal), -1.0, 1e-12));
    EXPECT_TRUE(near(std::sin(contourNormalAngle(circle, {0.65, 0.0}).tangent), 1.0, 1e-12));
    const SimSettings sine = testing::defaultSettings();
    // at the crest the material lies straight below
    const ContourAngles crest = contourNormalAngle(sine, {0.35, 0.5});
    EXPECT_TRUE(near(std::sin(crest.normal), -1.0, 1e-12));
    EXPECT_TRUE(near(crest.tangent, 0.0, 1e-12));
}

// The tangent is the direction of travel along each contour's own
// parametrisation, the normal square to it.
TEST(HybridControl, TangentIsTheDirectionOfTravelOfTheContoursParametrisation)
{
    const double h = 1e-6;
    // the direction at p from the points just before (o) and after (q) it
    auto expectAlong = [&](const SimSettings& s, Vec2 o, Vec2 p, Vec2 q) {
        const ContourAngles a = contourNormalAngle(s, p);
        const double len = std::hypot(q.x - o.x, q.y - o.y);
        EXPECT_TRUE(near(std::cos(a.tangent), (q.x - o.x) / len, 1e-7)) << p.x << ' ' << p.y;
        EXPECT_TRUE(near(std::sin(a.tangent), (q.y - o.y) / len, 1e-7)) << p.x << ' ' << p.y;
        EXPECT_TRUE(near(std::cos(a.normal - a.tangent), 0.0, 1e-12));
    };
    SimSettings line = testing::settingsFor('a', '7', 'L');
    for (double angle : {0.4, 2.0, -2.7}) {
        line.lineAngle = angle;
        const Vec2 p{0.3, 0.1};
        expectAlong(line, p, p, Vec2{p.x + h * std::cos(angle), p.y + h * std::sin(angle)});
    }
    const SimSettings circle = testing::settingsFor('b', '8', 'C');
    for (double u : {0.0, 1.1, 3.5, 5.9}) {
        // counter-clockwise from the right-hand end
        auto at = [&](double v) {
            return Vec2{circle.circleOx + circle.circleR * std::cos(v), circle.circleOy + circle.circleR * std::sin(v)};
        };
        expectAlong(circle, at(u - h), at(u), at(u + h));
    }
    const SimSettings sine = testing::defaultSettings();
    for (double x : {0.21, 0.35, 0.5, 0.77}) {
        auto at = [&](double v) {
            return Vec2{v, sine.sineY0 + sine.sineA * std::sin(2.0 * M_PI * (v - sine.sineX0) / sine.sineL)};
        };
        expectAlong(sine, at(x - h), at(x), at(x + h));
    }
}

TEST(HybridControl, TurningNormalOrHandByFullTurnsChangesNothing)
{
    SimSettings s = verticalLine('b', 700.0, 400.0);
    const Vec2 P{0.3, 0.1};
    Joints c1{0.0, 0.0}, c2{0.0, 0.0};
    const Joints a = computeJointCommand(s, 1.0, P, 10.0, c1);
    s.lineAngle += 2.0 * pi;
    const Joints b = computeJointCommand(s, 1.0, P, 10.0, c2);
    EXPECT_TRUE(near(a.phi1, b.phi1, 1e-12));
    EXPECT_TRUE(near(a.phi2, b.phi2, 1e-12));
    s.lineAngle -= 2.0 * pi;
    const Vec2 d1 = evaluateContact(s, a);
    const Vec2 d2 = evaluateContact(s, Joints{a.phi1 + 2.0 * pi, a.phi2});
    EXPECT_TRUE(near(d1.x, d2.x, 1e-12));
    EXPECT_TRUE(near(d1.y, d2.y, 1e-12));
}

TEST(HybridControl, LineRunningTowardsMinusYIsPushedFromTheSideTheCommandUses)
{
    // the line x = 0.3 from y = 0.3 down to 0: material on the -x side
    for (char type : {'a', 'b'}) {
        SimSettings s = testing::settingsFor(type, '8', 'L');
        s.lineY0 = 0.3;
        s.lineYf = 0.0;
        deriveSettings(s);
        const Contact c = pressAt(s, {0.3, 0.1}, 10.0);
        // the command point lies 0.02 m into the material, at x = 0.28
        const Vec2 pc = probeTipPosition(s, c.command);
        EXPECT_TRUE(near(pc.x, 0.28, 1e-9)) << type;
        // and the contact sees it 0.02 m inside: the tip comes back to P
        EXPECT_TRUE(near(c.tip.x, 0.3, 1e-6)) << type;
        EXPECT_TRUE(near(c.tip.y, 0.1, 1e-3)) << type;
        EXPECT_TRUE(near(std::hypot(c.delta.x, c.delta.y), 0.02, 1e-3)) << type;
    }
}

TEST(HybridControl, LineRunningTowardsPlusYKeepsItsFormula)
{
    const SimSettings s = verticalLine('a', 500.0, 500.0);
    const Joints q = inverseKinematics(s, 0.32, 0.1, {0.0, 0.0});
    const Vec2 d = evaluateContact(s, q);
    // d = T.x - x0 = 0.02 along the normal 0 (the +x direction)
    const double phi = angleFromHand(s, 0.0, q);
    EXPECT_TRUE(near(d.x, 0.02 * std::cos(phi), 1e-15));
    EXPECT_TRUE(near(d.y, 0.02 * std::sin(phi), 1e-15));
}

TEST(HybridControl, UnreachableContactYieldsNotANumberWithoutStopping)
{
    SimSettings s = verticalLine('b', 500.0, 500.0);
    Joints contact{0.0, 0.0};
    const Joints q = computeJointCommand(s, 1.0, {1.5, 0.0}, 10.0, contact);
    EXPECT_TRUE(std::isnan(q.phi1));
    const Vec2 d = evaluateContact(s, q);
    EXPECT_TRUE(std::isnan(d.x));
    EXPECT_TRUE(std::isnan(deflectedTipPosition(s, q, d).x));
}

}  // namespace
}  // namespace hybridsim
