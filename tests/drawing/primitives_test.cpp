// The view mapping and the shape primitives, through the recording canvas.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "drawing/primitives.h"
#include "tests/support/drawing_support.h"

namespace hybridsim {
namespace {

using testing::defaultSettings;
using testing::distance;
using testing::near;

constexpr double tol = 1e-9;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

// A canvas in the state between two shapes: lighting on, width 2.
RecordingCanvas litCanvas()
{
    RecordingCanvas cv;
    cv.setLighting(true);
    cv.setLineWidth(2.0f);
    return cv;
}

TEST(Primitives, HalfZoomHalvesPointsTowardsTheWindowCentre)
{
    SimSettings s = defaultSettings();
    const Vec2 p{0.3, 0.1};
    const Vec2 full = toWindow(s, p);
    EXPECT_TRUE(near(full.x, -0.2, tol));
    EXPECT_TRUE(near(full.y, -0.2, tol));

    s.viewScale = 0.5;
    const Vec2 half = toWindow(s, p);
    EXPECT_TRUE(near(half.x, 0.5 * full.x, tol));
    EXPECT_TRUE(near(half.y, 0.5 * full.y, tol));
    // the robot base moves halfway to the centre as well
    const Vec2 base = toWindow(s, Vec2{0.0, 0.0});
    EXPECT_TRUE(near(base.x, -0.25, tol));
    EXPECT_TRUE(near(base.y, -0.15, tol));

    // a point marker is a 120-vertex disc of 0.004 window units about it
    RecordingCanvas cv = litCanvas();
    drawPoint(cv, s, p, palette::green);
    ASSERT_EQ(cv.shapes.size(), 1u);
    const RecordedShape& disc = cv.shapes[0];
    EXPECT_EQ(disc.shape, Shape::Polygon);
    EXPECT_TRUE(sameColor(disc.color, palette::green));
    ASSERT_EQ(disc.vertices.size(), 120u);
    for (const Vec2& v : disc.vertices) EXPECT_TRUE(near(distance(v, half), 0.004, 1e-12));
}

TEST(Primitives, EveryPrimitiveDrawsUnlitAndLeavesLightingOnAndTheMatrixAsFound)
{
    const Vec2 c{0.1, -0.2};
    const std::vector<std::pair<const char*, std::function<void(Canvas&)>>> all = {
        {"fillDisc", [&](Canvas& cv) { fillDisc(cv, c, 0.1, palette::red); }},
        {"fillHalfDisc", [&](Canvas& cv) { fillHalfDisc(cv, c, 0.1, 0.3, palette::red); }},
        {"outlineCircle", [&](Canvas& cv) { outlineCircle(cv, c, 0.1, palette::red); }},
        {"drawHalfArc", [&](Canvas& cv) { drawHalfArc(cv, c, 0.1, 0.3, palette::red); }},
        {"fillRect", [&](Canvas& cv) { fillRect(cv, c, 0.2, 0.1, 0.4, palette::red); }},
        {"outlineRect", [&](Canvas& cv) { outlineRect(cv, c, 0.2, 0.1, 0.4, palette::red); }},
        {"fillQuad", [&](Canvas& cv) { fillQuad(cv, c, c, c, c, palette::red); }},
        {"drawBracket",
         [&](Canvas& cv) { drawBracket(cv, c, 0.1, 0.1, 0.007, 0.4, palette::red); }},
    };
    for (const auto& [name, draw] : all) {
        SCOPED_TRACE(name);
        RecordingCanvas cv = litCanvas();
        draw(cv);
        ASSERT_EQ(cv.shapes.size(), 1u);
        EXPECT_FALSE(cv.shapes[0].lighting);
        EXPECT_TRUE(sameColor(cv.shapes[0].color, palette::red));
        EXPECT_TRUE(cv.lighting());
        EXPECT_EQ(cv.matrixDepth(), 0);
        EXPECT_EQ(cv.misuses, 0);
    }
}

TEST(Primitives, CirclesHave120StepsAndHalfShapesTurnClockwiseAwayFromTheirDirection)
{
    const Vec2 c{0.2, 0.1};
    const double r = 0.05;
    RecordingCanvas cv = litCanvas();
    outlineCircle(cv, c, r, palette::red);
    ASSERT_EQ(cv.shapes.size(), 1u);
    EXPECT_EQ(cv.shapes[0].shape, Shape::LineLoop);
    ASSERT_EQ(cv.shapes[0].vertices.size(), 120u);
    EXPECT_TRUE(near(cv.shapes[0].vertices[0].x, c.x + r, tol));
    EXPECT_TRUE(near(cv.shapes[0].vertices[30].y, c.y + r, tol));  // a quarter turn on

    // start angle theta - pi/2 covers the half facing away from theta
    const double theta = 0.8;
    const Vec2 u{std::cos(theta), std::sin(theta)};
    cv.reset();
    fillHalfDisc(cv, c, r, theta - drawingPi / 2.0, palette::white);
    drawHalfArc(cv, c, r, theta - drawingPi / 2.0, palette::red);
    ASSERT_EQ(cv.shapes.size(), 2u);
    EXPECT_EQ(cv.shapes[0].shape, Shape::Polygon);
    EXPECT_EQ(cv.shapes[1].shape, Shape::LineStrip);
    for (const RecordedShape& half : cv.shapes) {
        ASSERT_EQ(half.vertices.size(), 120u);
        for (const Vec2& v : half.vertices) {
            EXPECT_LE((v.x - c.x) * u.x + (v.y - c.y) * u.y, 1e-12);
            EXPECT_TRUE(near(distance(v, c), r, 1e-12));
        }
        // clockwise: the second vertex lies a 1/120 half turn before the first
        const Vec2 a = half.vertices[0];
        const Vec2 b = half.vertices[1];
        EXPECT_LT((a.x - c.x) * (b.y - c.y) - (a.y - c.y) * (b.x - c.x), 0.0);
        // 119 steps of a half turn: the end stops one step short of the far side
        const Vec2 last = half.vertices[119];
        const double lastAngle = std::atan2(last.y - c.y, last.x - c.x);
        const double expected = theta - drawingPi / 2.0 - 119.0 * drawingPi / 120.0;
        EXPECT_TRUE(near(std::remainder(lastAngle - expected, 2.0 * drawingPi), 0.0, 1e-9));
    }
}

TEST(Primitives, RectanglesAndBracketsTurnAboutTheirCorner)
{
    RecordingCanvas cv = litCanvas();
    // length along the angle, height to its left
    fillRect(cv, Vec2{0.1, 0.2}, 0.3, 0.1, drawingPi / 2.0, palette::white);
    ASSERT_EQ(cv.shapes.size(), 1u);
    const std::vector<Vec2> expected = {{0.1, 0.2}, {0.1, 0.5}, {0.0, 0.5}, {0.0, 0.2}};
    ASSERT_EQ(cv.shapes[0].vertices.size(), 4u);
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_TRUE(near(cv.shapes[0].vertices[k].x, expected[k].x, 1e-8)) << k;
        EXPECT_TRUE(near(cv.shapes[0].vertices[k].y, expected[k].y, 1e-8)) << k;
    }

    // three sides of a rectangle, open towards +depth
    cv.reset();
    drawBracket(cv, Vec2{0.0, 0.0}, 0.1, 0.2, 0.007, 0.0, palette::red);
    ASSERT_EQ(cv.shapes.size(), 1u);
    EXPECT_EQ(cv.shapes[0].shape, Shape::LineStrip);
    const std::vector<Vec2> bracket = {{0.1, 0.0}, {0.0, 0.0}, {0.0, 0.2}, {0.1, 0.2}};
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_TRUE(near(cv.shapes[0].vertices[k].x, bracket[k].x, 1e-12)) << k;
        EXPECT_TRUE(near(cv.shapes[0].vertices[k].y, bracket[k].y, 1e-12)) << k;
    }
}

TEST(Primitives, LineWidthsSetAndLeftBehind)
{
    RecordingCanvas cv = litCanvas();
    cv.setLineWidth(5.0f);
    outlineCircle(cv, Vec2{}, 0.1, palette::red);  // uses the width in force
    EXPECT_FLOAT_EQ(cv.shapes.back().lineWidth, 5.0f);
    outlineRect(cv, Vec2{}, 0.1, 0.1, 0.0, palette::red);  // sets 2 before drawing
    EXPECT_FLOAT_EQ(cv.shapes.back().lineWidth, 2.0f);

    drawBracket(cv, Vec2{}, 0.1, 0.1, 0.007, 0.0, palette::red);  // 0.007 units
    EXPECT_FLOAT_EQ(cv.shapes.back().lineWidth, 2.8f);
    EXPECT_FLOAT_EQ(cv.lineWidth(), 2.8f);
    drawHalfArc(cv, Vec2{}, 0.1, 0.0, palette::red);  // the bracket's width stays
    EXPECT_FLOAT_EQ(cv.shapes.back().lineWidth, 2.8f);

    fillQuad(cv, Vec2{}, Vec2{0.1, 0.0}, Vec2{0.1, 0.1}, Vec2{0.0, 0.1}, palette::green);
    EXPECT_FLOAT_EQ(cv.lineWidth(), 2.0f);
    fillDisc(cv, Vec2{}, 0.1, palette::red);  // fills do not touch it
    fillRect(cv, Vec2{}, 0.1, 0.1, 0.0, palette::red);
    EXPECT_FLOAT_EQ(cv.lineWidth(), 2.0f);
}

TEST(Primitives, ShapesThatCannotBeScaledAreLeftOutAndKeepTheirWidth)
{
    RecordingCanvas cv = litCanvas();
    fillDisc(cv, Vec2{nan, 0.0}, 0.1, palette::red);
    fillHalfDisc(cv, Vec2{}, inf, 0.0, palette::red);
    outlineCircle(cv, Vec2{0.0, inf}, 0.1, palette::red);
    drawHalfArc(cv, Vec2{}, 0.1, nan, palette::red);
    fillRect(cv, Vec2{}, nan, 0.1, 0.0, palette::red);
    fillQuad(cv, Vec2{}, Vec2{}, Vec2{nan, nan}, Vec2{}, palette::green);
    drawPoint(cv, defaultSettings(), Vec2{nan, nan}, palette::red);
    drawBracket(cv, Vec2{}, 0.1, 0.1, 0.007, inf, palette::red);
    EXPECT_FLOAT_EQ(cv.lineWidth(), 2.8f);  // the bracket's width is still set
    cv.setLineWidth(7.0f);
    outlineRect(cv, Vec2{1e300, 0.0}, 0.1, 0.1, 0.0, palette::red);
    EXPECT_FLOAT_EQ(cv.lineWidth(), 2.0f);

    EXPECT_TRUE(cv.shapes.empty());
    EXPECT_EQ(cv.nonFiniteValues, 0);
    EXPECT_TRUE(cv.lighting());
    EXPECT_EQ(cv.matrixDepth(), 0);
    EXPECT_EQ(cv.misuses, 0);
}

TEST(Primitives, DashedPolylineRunsItsPatternOnAcrossPointsAndIsCutAtTheBox)
{
    const DashPattern dash{{0.02, 0.01, 0.0, 0.0}, 2};
    // the strokes of [0, 0.02) and [0.03, 0.05) from the line's start, the
    // first across the point at 0.015, drawn in the order of the line
    struct Case {
        std::vector<Vec2> points;
        Box clip;
        std::vector<double> ends;  // x of every segment end, in order (all on y = 0.1)
    };
    const Case cases[] = {
        {{{0.0, 0.1}, {0.015, 0.1}, {0.05, 0.1}}, Box{}, {0.0, 0.015, 0.015, 0.02, 0.03, 0.05}},
        // the box cuts the line; the pattern runs on over what it leaves out
        {{{-1.2, 0.1}, {0.05, 0.1}}, Box{-0.99, -1.0, 0.04, 1.0}, {}},
        {{{0.0, 0.1}, {0.05, 0.1}}, Box{0.025, -1.0, 0.04, 1.0}, {0.03, 0.04}},
        {{{0.0, 0.1}, {0.05, 0.1}}, Box{-1.0, 0.2, 1.0, 1.0}, {}},
        // a point that cannot be drawn breaks the line; a point twice adds nothing
        {{{0.0, 0.1}, {nan, 0.1}, {0.05, 0.1}}, Box{}, {}},
        {{{0.0, 0.1}, {0.0, 0.1}, {0.05, 0.1}}, Box{}, {0.0, 0.02, 0.03, 0.05}},
    };
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        SCOPED_TRACE(k);
        RecordingCanvas cv = litCanvas();
        drawDashedPolyline(cv, cases[k].points, dash, 3.0f, cases[k].clip, palette::blue);
        ASSERT_EQ(cv.shapes.size(), 1u);
        const RecordedShape& l = cv.shapes[0];
        EXPECT_EQ(l.shape, Shape::Lines);
        EXPECT_FALSE(l.lighting);
        EXPECT_FLOAT_EQ(l.lineWidth, 3.0f);
        std::vector<double> ends;
        for (const Vec2& v : l.vertices) {
            ends.push_back(std::round(v.x * 1e9) / 1e9);
            EXPECT_EQ(v.y, 0.1);
        }
        if (k == 1) {
            // -1.2 .. 0.05: 1.25 long, the box lets -0.99 .. 0.04 through;
            // strokes start every 0.03 from -1.2: the 8th at -0.99, the
            // 42nd at 0.03, cut at 0.04
            ASSERT_FALSE(ends.empty());
            EXPECT_TRUE(near(ends.front(), -0.99, 1e-9));
            EXPECT_TRUE(near(ends[1], -0.97, 1e-9));
            EXPECT_TRUE(near(ends[2], -0.96, 1e-9));
            EXPECT_TRUE(near(ends.back(), 0.04, 1e-9));
            EXPECT_EQ(ends.size(), 2u * 35u);
        } else {
            EXPECT_EQ(ends, cases[k].ends);
        }
        EXPECT_TRUE(cv.lighting());
        EXPECT_FLOAT_EQ(cv.lineWidth(), 3.0f);
        EXPECT_EQ(cv.nonFiniteValues, 0);
    }
    // without a pattern: solid, cut at the box
    RecordingCanvas cv = litCanvas();
    drawDashedPolyline(cv, {{0.0, 0.0}, {2.0, 2.0}}, DashPattern{}, 2.0f, Box{}, palette::red);
    ASSERT_EQ(cv.shapes[0].vertices.size(), 2u);
    EXPECT_TRUE(near(distance(cv.shapes[0].vertices[1], Vec2{1.0, 1.0}), 0.0, 1e-12));
}

}  // namespace
}  // namespace hybridsim
