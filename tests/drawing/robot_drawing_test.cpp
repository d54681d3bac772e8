// The workpiece, the two robots and the compliant hand.
#include <gtest/gtest.h>

#include <cmath>

#include "drawing/primitives.h"
#include "drawing/robot_drawing.h"
#include "sim/derivation.h"
#include "sim/kinematics.h"
#include "tests/support/drawing_support.h"

namespace hybridsim {
namespace {

using testing::centroid;
using testing::defaultSettings;
using testing::defaultTask;
using testing::distance;
using testing::near;
using testing::radiusAbout;
using testing::settingsFor;

constexpr double tol = 1e-9;

Vec2 add(Vec2 p, Vec2 q) { return Vec2{p.x + q.x, p.y + q.y}; }
Vec2 scaled(double k, Vec2 p) { return Vec2{k * p.x, k * p.y}; }
double dot(Vec2 p, Vec2 q) { return p.x * q.x + p.y * q.y; }
Vec2 from(Vec2 p, Vec2 q) { return Vec2{q.x - p.x, q.y - p.y}; }

// The hand of a probe at `undeflected` (offset world coordinates) with its
// tip moved by `deflection` [m] in the hand frame (along, across).
RecordingCanvas drawnHand(const SimSettings& s, double theta, Vec2 deflection)
{
    const Vec2 u{std::cos(theta), std::sin(theta)};
    const Vec2 n{std::sin(theta), -std::cos(theta)};
    const Vec2 a{0.3, 0.2};
    const Vec2 t = add(a, add(scaled(deflection.x, u), scaled(deflection.y, n)));
    RecordingCanvas cv;
    cv.setLighting(true);
    drawHand(cv, s, a, t, theta, palette::red);
    return cv;
}

TEST(Hand, UndeflectedProbeHasConcentricMarksA4cmSpringAndSquareLeaves)
{
    SimSettings s = defaultSettings();
    for (double vs : {1.0, 0.5}) {
        s.viewScale = vs;
        const double theta = 0.7;
        const Vec2 u{std::cos(theta), std::sin(theta)};
        const RecordingCanvas cv = drawnHand(s, theta, Vec2{});
        SCOPED_TRACE(vs);

        // black ring (position without deflection) and red tip, concentric
        const auto rings = cv.find(Shape::LineLoop, palette::black);
        const auto tips = cv.find(Shape::Polygon, palette::red);
        ASSERT_EQ(rings.size(), 1u);
        ASSERT_EQ(tips.size(), 1u);
        const Vec2 a = scaled(vs, Vec2{0.3, 0.2});
        EXPECT_TRUE(near(distance(centroid(*rings[0]), a), 0.0, 1e-12));
        EXPECT_TRUE(near(distance(centroid(*tips[0]), a), 0.0, 1e-12));
        EXPECT_TRUE(near(radiusAbout(*tips[0], a), 0.005 * vs, 1e-12));

        // main spring first, then the four leaves, all green
        const auto springs = cv.find(Shape::Polygon, palette::green);
        ASSERT_EQ(springs.size(), 5u);
        const auto& main = springs[0]->vertices;
        EXPECT_TRUE(near(distance(main[0], main[1]), 0.04 * vs, tol));  // wp - 0.14 - 0.02
        EXPECT_TRUE(near(distance(main[1], main[2]), 0.02 * vs, tol));
        for (int k = 1; k <= 4; ++k) {
            const auto& leaf = springs[k]->vertices;
            EXPECT_TRUE(near(dot(from(leaf[0], leaf[1]), u), 0.0, tol)) << "leaf " << k;
            EXPECT_TRUE(near(distance(leaf[0], leaf[1]), 0.04 * vs, tol)) << "leaf " << k;
            EXPECT_TRUE(near(distance(leaf[1], leaf[2]), 0.02 * vs, tol)) << "leaf " << k;
        }
        // left leaves (on -n) before the right ones, the first of each nearer the block
        const Vec2 n{std::sin(theta), -std::cos(theta)};
        EXPECT_LT(dot(from(a, springs[1]->vertices[0]), n), 0.0);
        EXPECT_GT(dot(from(a, springs[3]->vertices[0]), n), 0.0);
        const Vec2 firstToSecond = from(springs[1]->vertices[0], springs[2]->vertices[0]);
        EXPECT_TRUE(near(dot(firstToSecond, u), 0.025 * vs, tol));

        // the bracket keeps its 2.8 pixels at every zoom
        const auto brackets = cv.find(Shape::LineStrip, palette::red);
        ASSERT_EQ(brackets.size(), 1u);
        EXPECT_FLOAT_EQ(brackets[0]->lineWidth, 2.8f);
        // every outline is 2 pixels wide
        for (const RecordedShape* o : cv.find(Shape::LineLoop, palette::red))
            EXPECT_FLOAT_EQ(o->lineWidth, 2.0f);
        EXPECT_FLOAT_EQ(rings[0]->lineWidth, 2.0f);
    }
}

TEST(Hand, DeflectionStretchesTheMainSpringAndSkewsTheLeaves)
{
    const SimSettings s = defaultSettings();
    const double theta = -0.4;
    const Vec2 u{std::cos(theta), std::sin(theta)};
    const RecordingCanvas cv = drawnHand(s, theta, Vec2{0.01, 0.005});
    const auto springs = cv.find(Shape::Polygon, palette::green);
    ASSERT_EQ(springs.size(), 5u);
    // the spring runs from the block to the rod's back, 1 cm longer along the hand
    EXPECT_TRUE(near(dot(from(springs[0]->vertices[0], springs[0]->vertices[1]), u), 0.05, tol));
    for (int k = 1; k <= 4; ++k) {
        const auto& leaf = springs[k]->vertices;
        EXPECT_TRUE(near(dot(from(leaf[0], leaf[1]), u), 0.01, tol)) << "leaf " << k;
    }
    // the red tip sits at the deflected tip, the black ring stays
    const auto tips = cv.find(Shape::Polygon, palette::red);
    const auto rings = cv.find(Shape::LineLoop, palette::black);
    EXPECT_TRUE(near(distance(centroid(*tips[0]), centroid(*rings[0])), std::hypot(0.01, 0.005),
                     1e-12));
}

TEST(Workpiece, LineBandLiesRightOfTheDirectionFromStartToEnd)
{
    SimSettings s = settingsFor('b', '8', 'L');  // (0.3, 0) to (0.3, 0.3)
    RecordingCanvas cv;
    drawWorkpiece(cv, s);
    ASSERT_EQ(cv.shapes.size(), 1u);
    const RecordedShape& band = cv.shapes[0];
    EXPECT_TRUE(sameColor(band.color, palette::lightBlue));
    const std::vector<Vec2> right = {{-0.2, -0.3}, {-0.2, 0.0}, {0.0, 0.0}, {0.0, -0.3}};
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_TRUE(near(band.vertices[k].x, right[k].x, tol)) << k;
        EXPECT_TRUE(near(band.vertices[k].y, right[k].y, tol)) << k;
    }

    // start and end swapped: the band changes side; the zoom scales its depth
    std::swap(s.lineY0, s.lineYf);
    deriveSettings(s);
    s.viewScale = 0.5;
    cv.reset();
    drawWorkpiece(cv, s);
    ASSERT_EQ(cv.shapes.size(), 1u);
    EXPECT_TRUE(near(cv.shapes[0].vertices[2].x - cv.shapes[0].vertices[1].x, -0.1, tol));
}

TEST(Workpiece, CircleIsAFullDiscAndSineIsAHundredOverlappingStrips)
{
    SimSettings c = settingsFor('b', '8', 'C');
    c.viewScale = 0.5;
    RecordingCanvas cv;
    drawWorkpiece(cv, c);
    ASSERT_EQ(cv.shapes.size(), 1u);
    const Vec2 centre = toWindow(c, Vec2{0.4, 0.0});
    EXPECT_TRUE(near(distance(centroid(cv.shapes[0]), centre), 0.0, 1e-12));
    EXPECT_TRUE(near(radiusAbout(cv.shapes[0], centre), 0.125, 1e-12));

    SimSettings s = defaultSettings();  // sine from x 0.2, y 0.3, L 0.6, A 0.2
    cv.reset();
    drawWorkpiece(cv, s);
    ASSERT_EQ(cv.shapes.size(), 100u);
    const double w = 0.006;
    for (int i = 0; i < 100; ++i) {
        const auto& q = cv.shapes[i].vertices;
        const double x1 = -0.3 + i * w;
        EXPECT_TRUE(near(q[0].x, x1, tol)) << i;
        EXPECT_TRUE(near(q[1].x, x1 + w + 0.005, tol)) << i;  // overlaps the next strip
        EXPECT_TRUE(near(q[0].y, -0.3, tol)) << i;              // 0.1 m below the troughs
        EXPECT_TRUE(near(q[3].y, 0.2 * std::sin(2.0 * drawingPi * i * w / 0.6), tol)) << i;
    }

    // a flat wave is a band 0.1 m deep
    s.sineA = 0.0;
    cv.reset();
    drawWorkpiece(cv, s);
    ASSERT_EQ(cv.shapes.size(), 100u);
    for (const RecordedShape& strip : cv.shapes) {
        EXPECT_TRUE(near(strip.vertices[2].y - strip.vertices[1].y, 0.1, tol));
        EXPECT_TRUE(near(strip.vertices[3].y - strip.vertices[0].y, 0.1, tol));
    }

    s.curve = 'x';  // no contour, no workpiece
    cv.reset();
    drawWorkpiece(cv, s);
    EXPECT_TRUE(cv.shapes.empty());
}

TEST(RobotDrawing, ScaraPostureEndsInTheHandAtTheRecordedTip)
{
    const testing::Task& task = defaultTask();
    const SimSettings& s = task.s;
    for (int i : {0, 57, 200}) {
        SCOPED_TRACE(i);
        const Joints q = task.set().jointPos[i];
        RecordingCanvas cv;
        cv.setLighting(true);
        drawRobotB(cv, s, q, task.set().tipPos[i]);
        EXPECT_EQ(cv.misuses, 0);
        EXPECT_EQ(cv.matrixDepth(), 0);

        // the base joint at the base, the elbow rings at the end of link 1
        const auto red = cv.find(Shape::Polygon, palette::red);
        ASSERT_EQ(red.size(), 2u);
        EXPECT_TRUE(near(distance(centroid(*red[0]), toWindow(s, Vec2{})), 0.0, 1e-12));
        EXPECT_TRUE(near(radiusAbout(*red[0], toWindow(s, Vec2{})), 0.7 * 0.0375, 1e-12));
        const Vec2 elbow = toWindow(s, Vec2{0.5 * std::cos(q.phi1), 0.5 * std::sin(q.phi1)});
        int elbowRings = 0;
        for (const RecordedShape* ring : cv.find(Shape::LineLoop, palette::red))
            if (distance(centroid(*ring), elbow) < 1e-12) ++elbowRings;
        EXPECT_EQ(elbowRings, 2);

        // the black ring where the kinematics puts the undeflected tip, the
        // red tip at the recorded one
        const auto ring = cv.find(Shape::LineLoop, palette::black);
        ASSERT_EQ(ring.size(), 1u);
        EXPECT_TRUE(near(distance(centroid(*ring[0]), toWindow(s, probeTipPosition(s, q))), 0.0,
                         1e-9));
        EXPECT_TRUE(near(distance(centroid(*red[1]), toWindow(s, task.set().tipPos[i])), 0.0,
                         1e-12));
    }
}

// Link 2 turns with link 1: its body lies along phi1 + phi2 from the elbow,
// which only a posture with phi1 other than 0 can tell from phi2 alone.
TEST(RobotDrawing, ScaraLink2LiesAlongTheSumOfBothAngles)
{
    const SimSettings s = defaultSettings();
    for (const Joints q : {Joints{0.7, 0.9}, Joints{-1.2, 2.0}, Joints{2.5, 0.4}}) {
        SCOPED_TRACE(::testing::Message() << "phi1 " << q.phi1 << ", phi2 " << q.phi2);
        RecordingCanvas cv;
        cv.setLighting(true);
        drawRobotB(cv, s, q, probeTipPosition(s, q));
        // the two link bodies are the first red four-sided outlines, link 1
        // first (the hand's block and leaves follow)
        std::vector<const RecordedShape*> bodies;
        for (const RecordedShape* outline : cv.find(Shape::LineLoop, palette::red))
            if (outline->vertices.size() == 4) bodies.push_back(outline);
        ASSERT_GE(bodies.size(), 2u);
        const double length[] = {s.l1, s.l2};
        const double angle[] = {q.phi1, q.phi1 + q.phi2};
        for (int k = 0; k < 2; ++k) {
            // the long side runs along the link's direction, as long as the link
            const std::vector<Vec2>& v = bodies[k]->vertices;
            const Vec2 side = from(v[0], v[1]);
            EXPECT_TRUE(near(std::atan2(side.y, side.x), angle[k], 1e-9)) << "link " << k + 1;
            EXPECT_TRUE(near(std::hypot(side.x, side.y), length[k] + 0.005, 1e-9)) << "link " << k + 1;
        }
        // and link 2 starts at the elbow, at the end of link 1
        const Vec2 elbow = toWindow(s, Vec2{s.l1 * std::cos(q.phi1), s.l1 * std::sin(q.phi1)});
        const Vec2 mid = scaled(0.5, add(bodies[1]->vertices[0], bodies[1]->vertices[3]));
        EXPECT_TRUE(near(distance(mid, add(elbow, scaled(-0.005, Vec2{std::cos(angle[1]), std::sin(angle[1])}))),
                         0.0, 1e-9));
    }
}

TEST(RobotDrawing, CylindricalArmEndsAtTheWristAndEverythingHalvesAtHalfZoom)
{
    const testing::Task task = testing::computeTask('a', '7', 'L');
    SimSettings s = task.s;
    const int i = 120;
    const Joints q = task.set().jointPos[i];
    const Vec2 tip = task.set().tipPos[i];
    const Vec2 u{std::cos(q.phi1), std::sin(q.phi1)};

    RecordingCanvas full;
    drawWorkpiece(full, s);
    drawRobotA(full, s, q, tip);
    const std::size_t workpieceShapes = 1;

    // the arm: l long, drawA1 wide, its far end wp behind the undeflected tip
    const RecordedShape& arm = full.shapes[workpieceShapes];
    EXPECT_TRUE(sameColor(arm.color, palette::white));
    const Vec2 farEnd{(arm.vertices[1].x + arm.vertices[2].x) / 2.0,
                      (arm.vertices[1].y + arm.vertices[2].y) / 2.0};
    EXPECT_TRUE(near(distance(farEnd, toWindow(s, scaled(q.phi2 - s.wp, u))), 0.0, 1e-9));
    EXPECT_TRUE(near(distance(arm.vertices[0], arm.vertices[1]), 0.7, 1e-9));
    EXPECT_TRUE(near(distance(arm.vertices[1], arm.vertices[2]), 0.07, 1e-9));
    // the base block is centred on the base
    EXPECT_TRUE(near(distance(centroid(full.shapes[workpieceShapes + 2]), toWindow(s, Vec2{})),
                     0.0, 1e-9));
    // the black ring at the undeflected tip r u
    const auto ring = full.find(Shape::LineLoop, palette::black);
    ASSERT_EQ(ring.size(), 1u);
    EXPECT_TRUE(near(distance(centroid(*ring[0]), toWindow(s, probeTipPosition(s, q))), 0.0,
                     1e-9));

    // at half zoom every vertex moves halfway to the window centre; the
    // line widths stay
    s.viewScale = 0.5;
    RecordingCanvas half;
    drawWorkpiece(half, s);
    drawRobotA(half, s, q, tip);
    ASSERT_EQ(half.shapes.size(), full.shapes.size());
    for (std::size_t k = 0; k < full.shapes.size(); ++k) {
        ASSERT_EQ(half.shapes[k].vertices.size(), full.shapes[k].vertices.size());
        EXPECT_FLOAT_EQ(half.shapes[k].lineWidth, full.shapes[k].lineWidth);
        for (std::size_t v = 0; v < full.shapes[k].vertices.size(); ++v) {
            EXPECT_TRUE(near(half.shapes[k].vertices[v].x, 0.5 * full.shapes[k].vertices[v].x,
                             1e-12));
            EXPECT_TRUE(near(half.shapes[k].vertices[v].y, 0.5 * full.shapes[k].vertices[v].y,
                             1e-12));
        }
    }
}

}  // namespace
}  // namespace hybridsim
