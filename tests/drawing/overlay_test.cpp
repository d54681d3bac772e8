// The teaching overlay read back from the recording canvas: its arrows
// against the contour's own equations, its spring against the run's
// recorded points, robot b's reach against the inverse kinematics.
#include <gtest/gtest.h>

#include <cmath>

#include "drawing/frame.h"
#include "drawing/graphs.h"
#include "drawing/overlay.h"
#include "drawing/pin_drawing.h"
#include "drawing/primitives.h"
#include "sim/derivation.h"
#include "sim/kinematics.h"
#include "task/task_setting.h"
#include "tests/support/drawing_support.h"
#include "tests/support/recording_canvas.h"

namespace hybridsim {
namespace {

using testing::defaultTask;
using testing::distance;
using testing::Task;
using testing::taskWith;

// The unit normal into the workpiece at contour point p, from the
// contour's own equation (not from the model's angles).
Vec2 normalFromEquation(const SimSettings& s, Vec2 p)
{
    Vec2 n;
    if (s.curve == 'L') {
        // material right of the direction from start to end
        n = Vec2{s.lineYf - s.lineY0, -(s.lineXf - s.lineX0)};
    } else if (s.curve == 'C') {
        n = Vec2{s.circleOx - p.x, s.circleOy - p.y};
    } else {
        // y = y0 + A sin(k (x - x0)), material below: the downward normal (f', -1)
        const double k = 2.0 * M_PI / s.sineL;
        n = Vec2{s.sineA * k * std::cos(k * (p.x - s.sineX0)), -1.0};
    }
    const double len = std::hypot(n.x, n.y);
    return Vec2{n.x / len, n.y / len};
}

Vec2 shaft(const RecordedShape& arrow)
{
    return Vec2{arrow.vertices[1].x - arrow.vertices[0].x, arrow.vertices[1].y - arrow.vertices[0].y};
}
double length(Vec2 v) { return std::hypot(v.x, v.y); }
Vec2 unit(Vec2 v) { return Vec2{v.x / length(v), v.y / length(v)}; }
double cross(Vec2 a, Vec2 b) { return a.x * b.y - a.y * b.x; }
double dot(Vec2 a, Vec2 b) { return a.x * b.x + a.y * b.y; }

struct OverlayCase {
    const char* robot;
    const char* method;
    const char* contour;
};

class OverlayGeometry : public ::testing::TestWithParam<OverlayCase> {};

TEST_P(OverlayGeometry, ArrowsFollowTheContourAndTheRunsOwnQuantities)
{
    const OverlayCase c = GetParam();
    Task t = taskWith({{"robot", c.robot}, {"method", c.method}, {"contour", c.contour}});
    const SeriesSet& set = currentSeries(*t.run, t.s.type);
    for (int frame : {20, 100, 200}) {
        SCOPED_TRACE(frame);
        t.s.frame = frame;
        const int i = lastSample(t.s, frame);
        RecordingCanvas cv;
        drawFrame(cv, t.s, *t.run, PinSet{}, true);
        EXPECT_EQ(cv.nonFiniteValues, 0);
        EXPECT_EQ(cv.misuses, 0);
        const auto force = cv.withRole(Role::Force);
        const auto command = cv.withRole(Role::ForceCommand);
        const auto tangent = cv.withRole(Role::Tangent);
        const auto normal = cv.withRole(Role::Normal);
        const auto spring = cv.withRole(Role::Deflection);
        const auto springForce = cv.withRole(Role::SpringForce);
        ASSERT_EQ(force.size(), 1u);
        ASSERT_EQ(springForce.size(), 1u);
        ASSERT_EQ(command.size(), 1u);
        ASSERT_EQ(tangent.size(), 1u);
        ASSERT_EQ(normal.size(), 1u);
        ASSERT_EQ(spring.size(), 1u);
        EXPECT_EQ(cv.withRole(Role::HandAxis).size(), c.method[0] == '8' ? 2u : 0u);
        EXPECT_EQ(!cv.withRole(Role::Reach).empty(), c.robot[0] == 'b');

        // both forces start at the contact point, along the contour's normal
        const Vec2 contact = toWindow(t.s, set.tipPos[i]);
        const Vec2 n = normalFromEquation(t.s, set.tipPos[i]);
        EXPECT_LT(distance(force[0]->vertices[0], contact), 1e-12);
        EXPECT_LT(distance(command[0]->vertices[0], contact), 1e-12);
        const Vec2 f = shaft(*force[0]);
        EXPECT_NEAR(cross(f, n) / length(f), 0.0, 1e-6);
        EXPECT_GT(dot(f, n) * set.contactForce[i], 0.0);
        EXPECT_NEAR(length(f) / length(shaft(*command[0])), std::fabs(set.contactForce[i] / t.s.Fn), 1e-9);
        EXPECT_NEAR(length(shaft(*command[0])), t.s.Fn / overlayNewtonsPerMetre * t.s.viewScale, 1e-12);

        // the spring's force Fc beside F: from the contact point moved along
        // the tangent, along n with Fc's sign, Fc long on the forces' scale
        const double fc = set.springForce[i];
        const Vec2 tu = unit(shaft(*tangent[0]));
        const Vec2 fcFrom = springForce[0]->vertices[0];
        EXPECT_LT(distance(fcFrom, Vec2{contact.x + overlaySpringForceOffset * tu.x,
                                        contact.y + overlaySpringForceOffset * tu.y}),
                  1e-12);
        const Vec2 sf = shaft(*springForce[0]);
        EXPECT_NEAR(cross(sf, n) / length(sf), 0.0, 1e-6);
        EXPECT_GT(dot(sf, n) * fc, 0.0);
        EXPECT_NEAR(length(sf), std::fabs(fc) / overlayNewtonsPerMetre * t.s.viewScale, 1e-12);
        EXPECT_TRUE(sameColor(springForce[0]->color, overlayPalette::springForce));
        EXPECT_NE(cv.findText("Fc: spring"), nullptr);
        if (c.contour[0] != 'S') {
            // on a line and a circle Fc is F to rounding: two arrows all the same, apart
            EXPECT_NEAR(fc, set.contactForce[i], 1e-9 * std::fabs(set.contactForce[i]) + 1e-9);
            EXPECT_NEAR(distance(fcFrom, force[0]->vertices[0]), overlaySpringForceOffset, 1e-12);
        }

        // the contact frame: t square to n, n into the workpiece
        const Vec2 tv = shaft(*tangent[0]);
        const Vec2 nv = shaft(*normal[0]);
        EXPECT_NEAR(dot(tv, nv) / (length(tv) * length(nv)), 0.0, 1e-9);
        EXPECT_NEAR(dot(nv, n) / length(nv), 1.0, 1e-6);

        // the spring joins the undeflected tip of the posture to the recorded tip
        EXPECT_LT(distance(spring[0]->vertices.front(), toWindow(t.s, probeTipPosition(t.s, set.jointPos[i]))),
                  1e-12);
        EXPECT_LT(distance(spring[0]->vertices.back(), contact), 1e-12);
    }
}

INSTANTIATE_TEST_SUITE_P(Contours, OverlayGeometry,
                         ::testing::Values(OverlayCase{"a", "7", "L"}, OverlayCase{"a", "8", "C"},
                                           OverlayCase{"a", "7", "S"}, OverlayCase{"b", "8", "L"},
                                           OverlayCase{"b", "7", "C"}, OverlayCase{"b", "8", "S"}));

TEST(Overlay, RobotBsReachAndTheSamplesItMissedAndThePinsArrows)
{
    // a far circle: part of it lies beyond robot b's reach, which is an
    // annulus with these links
    Task t = taskWith({{"robot", "b"}, {"l1", "0.7"}, {"contour", "C"}, {"Ox", "1.2"}, {"r", "0.4"}});
    const SeriesSet& set = t.run->B;
    t.s.frame = 200;
    PinSet pins;
    pins.pin(taskWith({}).s, *taskWith({}).run);
    RecordingCanvas cv;
    drawFrame(cv, t.s, *t.run, pins, true);
    EXPECT_EQ(cv.nonFiniteValues, 0);

    const auto reach = cv.withRole(Role::Reach);
    ASSERT_GE(reach.size(), 2u);
    const ReachAnnulus annulus = reachOfRobotB(t.s);
    EXPECT_GT(annulus.inner, 0.0);
    const Vec2 base = toWindow(t.s, Vec2{0.0, 0.0});
    for (int k = 0; k < 2; ++k)
        for (const Vec2& v : reach[k]->vertices)
            // a dash ends on a chord of the circle's 120 steps
            EXPECT_NEAR(distance(v, base), (k == 0 ? annulus.inner : annulus.outer) * t.s.viewScale,
                        4e-4 * annulus.outer);
    int missed = 0;
    for (int k = 0; k <= lastSample(t.s); ++k) missed += std::isnan(set.jointPos[k].phi1) ? 1 : 0;
    ASSERT_GT(missed, 0);
    ASSERT_EQ(reach.size(), 3u);
    EXPECT_EQ(reach[2]->vertices.size(), 4u * missed);

    // the pin's arrow is in its colour, under the live run's
    const auto force = cv.withRole(Role::Force);
    ASSERT_GE(force.size(), 1u);
    EXPECT_TRUE(sameColor(force[0]->color, pinLook(0).color));
}

// The spring's arrow is drawn from the run's own Fc, not from F: a negative
// Fc points out of the material while F still points in; its colour is none
// of the overlay's others nor the pins'; and the values line says Fc.
TEST(Overlay, TheSpringsForceArrowHasFcsLengthAndSign)
{
    Task t = taskWith({});
    SeriesSet& set = currentSeries(*t.run, t.s.type);
    t.s.frame = 100;
    const int i = lastSample(t.s, t.s.frame);
    ASSERT_GT(set.contactForce[i], 0.0);
    const Vec2 n = normalFromEquation(t.s, set.tipPos[i]);
    for (double fc : {-3.0, 25.0}) {
        SCOPED_TRACE(fc);
        set.springForce[i] = fc;
        RecordingCanvas cv;
        drawFrame(cv, t.s, *t.run, PinSet{}, true);
        const auto arrow = cv.withRole(Role::SpringForce);
        const auto force = cv.withRole(Role::Force);
        ASSERT_EQ(arrow.size(), 1u);
        ASSERT_EQ(force.size(), 1u);
        const Vec2 sf = shaft(*arrow[0]);
        EXPECT_NEAR(dot(sf, n), fc / overlayNewtonsPerMetre * t.s.viewScale, 1e-6);
        EXPECT_NEAR(length(sf), std::fabs(fc) / overlayNewtonsPerMetre * t.s.viewScale, 1e-12);
        EXPECT_GT(dot(shaft(*force[0]), n), 0.0);
        EXPECT_NE(cv.findText(overlayForceText(set.contactForce[i], fc, t.s.Fn)), nullptr);
    }
    EXPECT_EQ(overlayForceText(9.981, -3.0, 10.0), "F = 9.98 N   Fc = -3.00 N   Fn = 10 N   (10 N per 0.1 m)");

    for (const Color& other : {overlayPalette::tangent, overlayPalette::normal, overlayPalette::force,
                               overlayPalette::forceCommand, overlayPalette::spring, overlayPalette::handAxis,
                               overlayPalette::reach})
        EXPECT_FALSE(sameColor(other, overlayPalette::springForce));
    for (int slot = 0; slot < pinCapacity; ++slot)
        EXPECT_FALSE(sameColor(pinLook(slot).color, overlayPalette::springForce)) << slot;
}

}  // namespace
}  // namespace hybridsim
