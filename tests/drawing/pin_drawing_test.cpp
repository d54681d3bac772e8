// Pinned runs in the picture: where their trails, rings, curves and legend
// lines are drawn, read back from the recording canvas.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "drawing/frame.h"
#include "drawing/graphs.h"
#include "drawing/pin_drawing.h"
#include "drawing/text_legend.h"
#include "sim/derivation.h"
#include "task/task_setting.h"
#include "tests/support/drawing_support.h"

namespace hybridsim {
namespace {

using testing::centroid;
using testing::defaultTask;
using testing::distance;
using testing::near;
using testing::Task;
using testing::taskWith;

// Distance from p to the polyline through `points`.
double toPolyline(Vec2 p, const std::vector<Vec2>& points)
{
    double best = INFINITY;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const Vec2 a = points[i - 1], b = points[i];
        const double dx = b.x - a.x, dy = b.y - a.y;
        const double len2 = dx * dx + dy * dy;
        const double t = len2 > 0.0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len2, 0.0, 1.0) : 0.0;
        best = std::min(best, distance(p, Vec2{a.x + t * dx, a.y + t * dy}));
    }
    return best;
}

// The ends of the segments of one colour drawn `pixels` wide with both ends
// inside the band of heights [y0, y1], joined in drawing order.
std::vector<Vec2> segmentEnds(const RecordingCanvas& cv, const Color& c, float pixels, double y0, double y1)
{
    std::vector<Vec2> out;
    for (const RecordedShape* l : cv.find(Shape::Lines, c)) {
        if (std::fabs(l->lineWidth - pixels) > 1e-4) continue;
        for (const Vec2& v : l->vertices)
            if (v.y >= y0 && v.y <= y1) out.push_back(v);
    }
    return out;
}

// The polylines of a pin's colour: its legend swatch, then in drawing
// order trail, tip x, tip y, force.
std::vector<const RecordedShape*> pinLines(const RecordingCanvas& cv, int slot)
{
    std::vector<const RecordedShape*> lines = cv.find(Shape::Lines, pinLook(slot).color);
    const auto swatch = std::find_if(lines.begin(), lines.end(), [](const RecordedShape* l) {
        return !l->vertices.empty() && std::all_of(l->vertices.begin(), l->vertices.end(), [](const Vec2& v) {
            return v.x >= pinSwatchLeft - 1e-12 && v.x <= pinSwatchRight + 1e-12 && v.y > pinLegendTop - 0.2;
        });
    });
    if (swatch != lines.end()) std::rotate(lines.begin(), swatch, swatch + 1);
    return lines;
}

// The live run's polyline of tip x (or y) in the position graph, or of the
// force in the force graph, from the live curves' segments.
std::vector<Vec2> liveCurve(const RecordingCanvas& cv, const Color& c, bool positionGraph)
{
    return segmentEnds(cv, c, static_cast<float>(measuredLineWidth * pixelsPerUnit), positionGraph ? 0.45 : -1.0,
                       positionGraph ? 1.0 : 0.45);
}

TEST(PinDrawing, ARunPinnedUnderItselfLiesOnTheLiveTrailAndCurves)
{
    Task task = taskWith({});
    SimSettings& s = task.s;
    s.frame = 120;
    s.viewScale = 0.8;
    PinSet pins;
    pins.pin(s, *task.run);
    RecordingCanvas cv;
    drawFrame(cv, s, *task.run, pins);
    EXPECT_EQ(cv.nonFiniteValues, 0);
    EXPECT_EQ(cv.misuses, 0);

    const auto lines = pinLines(cv, 0);
    ASSERT_EQ(lines.size(), 5u);  // swatch, trail, x, y, force
    const SeriesSet& set = task.set();
    std::vector<Vec2> trail;
    for (int i = 0; i <= 120; ++i) trail.push_back(toWindow(s, set.tipPos[i]));
    const std::vector<Vec2> x = liveCurve(cv, palette::red, true);
    const std::vector<Vec2> y = liveCurve(cv, palette::black, true);
    const std::vector<Vec2> force = liveCurve(cv, palette::red, false);
    ASSERT_EQ(x.size(), 240u);
    ASSERT_EQ(force.size(), 240u);
    const std::vector<Vec2>* on[] = {&trail, &x, &y, &force};
    for (int k = 0; k < 4; ++k) {
        const RecordedShape& l = *lines[static_cast<std::size_t>(k) + 1];
        EXPECT_EQ(l.lineWidth, pinLineWidth);
        ASSERT_GT(l.vertices.size(), 20u) << k;
        for (const Vec2& v : l.vertices) ASSERT_LT(toPolyline(v, *on[k]), 1e-12) << "line " << k;
        // dashed: strokes and gaps, the strokes reaching to the frame's sample
        const double lastX = on[k]->back().x;
        double right = -INFINITY;
        for (const Vec2& v : l.vertices) right = std::max(right, v.x);
        EXPECT_LT(std::fabs(right - lastX), 0.03) << k;
    }
    // the ring about the tip of the frame shown, at the zoom
    const auto rings = cv.find(Shape::LineLoop, pinLook(0).color);
    ASSERT_EQ(rings.size(), 1u);
    EXPECT_LT(distance(centroid(*rings[0]), toWindow(s, set.tipPos[120])), 1e-12);
    EXPECT_TRUE(near(testing::radiusAbout(*rings[0], toWindow(s, set.tipPos[120])), pinRingRadius, 1e-12));
    // the same task as the live one, and said so
    EXPECT_NE(cv.findText("pin 1: same task as now"), nullptr);
}

TEST(PinDrawing, AForceOfHalfTheLiveFnReadsHalfAsHighAndCurvesStayInTheirFrames)
{
    Task live = taskWith({{"Fn", "20"}});
    Task half = taskWith({{"Fn", "10"}});
    Task large = taskWith({{"Fn", "80"}});
    // a workpiece 0.2 m lower: the pinned tip's y lies below the live run's scale
    Task low = taskWith({{"y0", "0.1"}});
    SimSettings& s = live.s;
    s.frame = 200;
    PinSet pins;
    pins.pin(half.s, *half.run);
    pins.pin(large.s, *large.run);
    pins.pin(low.s, *low.run);
    RecordingCanvas cv;
    drawFrame(cv, s, *live.run, pins);

    const double y0 = s.forceGraphY;
    const double top = y0 + s.forceGraphScale + 0.05;
    // half as high: on the force of the pinned run at 0.25 / 20 per newton
    const SeriesSet& h = half.set();
    std::vector<Vec2> halfForce;
    for (int i = 0; i <= 200; ++i) halfForce.push_back({s.forceGraphX + i * s.graphWidth / s.nsteps,
                                                        y0 + s.forceGraphScale / 20.0 * h.contactForce[i]});
    const RecordedShape& halfLine = *pinLines(cv, 0).back();
    for (const Vec2& v : halfLine.vertices) ASSERT_LT(toPolyline(v, halfForce), 1e-12);
    EXPECT_TRUE(near(halfLine.vertices.back().y, y0 + 0.125, 0.002));

    // four times the live force: cut at the top of the value axis, never above
    const RecordedShape& largeLine = *pinLines(cv, 1).back();
    double highest = -INFINITY;
    for (const Vec2& v : largeLine.vertices) {
        EXPECT_GE(v.y, y0 - 1e-12);
        EXPECT_LE(v.y, top + 1e-12);
        EXPECT_GE(v.x, s.forceGraphX - 1e-12);
        highest = std::max(highest, v.y);
    }
    // (up to the pattern's one gap of 0.01 below the top)
    EXPECT_GT(highest, top - 0.0100001);
    // a tip below the live run's lowest value: cut at the time axis
    const auto lowLines = pinLines(cv, 2);
    ASSERT_EQ(lowLines.size(), 5u);
    for (int k : {2, 3})
        for (const Vec2& v : lowLines[static_cast<std::size_t>(k)]->vertices) {
            EXPECT_GE(v.y, s.posGraphY - 1e-12);
            EXPECT_LE(v.y, s.posGraphY + posGraphHeight + 0.05 + 1e-12);
        }
    // the trail stays left of the graph panel
    for (const Vec2& v : lowLines[1]->vertices) EXPECT_LE(v.x, s.posGraphX - graphPanelMargin + 1e-12);

    // the legend names what differs, by the report's names and units
    EXPECT_NE(cv.findText("pin 1: Fn = 10 N (now 20 N)"), nullptr);
    EXPECT_NE(cv.findText("pin 2: Fn = 80 N (now 20 N)"), nullptr);
    EXPECT_NE(cv.findText("pin 3: y0 = 0.1 m (now 0.3 m), Fn = 10 N (now 20 N)"), nullptr);
}

TEST(PinDrawing, PinsAreDrawnAtTheFrameShownInTheirPlaceOfThePaintersOrder)
{
    Task live = taskWith({});
    Task other = taskWith({{"tf", "6"}});
    SimSettings& s = live.s;
    PinSet pins;
    pins.pin(other.s, *other.run);
    for (const int frame : {0, 57, 200, 900}) {
        SCOPED_TRACE(frame);
        s.frame = frame;
        RecordingCanvas cv;
        drawFrame(cv, s, *live.run, pins);
        const int shown = std::min(frame, 200);
        const auto ring = cv.find(Shape::LineLoop, pinLook(0).color);
        ASSERT_EQ(ring.size(), 1u);
        EXPECT_LT(distance(centroid(*ring[0]), toWindow(s, other.set().tipPos[shown])), 1e-12);
        // no more of the force curve than the frame shown
        const auto lines = pinLines(cv, 0);
        ASSERT_EQ(lines.size(), 5u);
        for (const Vec2& v : lines.back()->vertices)
            EXPECT_LE(v.x, s.forceGraphX + shown * s.graphWidth / s.nsteps + 1e-12);
        if (shown == 0) {
            EXPECT_TRUE(lines[1]->vertices.empty());
        }

        // trail after the robot, before the green point; ring after the
        // live trail, before the graph panel; the legend lines after the
        // panel, over the whole robot view, before the graphs; curves
        // before the live curves
        const RecordedText* pinLine = cv.findText("pin 1: tf = 6 s (now 4 s)");
        ASSERT_TRUE(pinLine);
        const auto greens = cv.find(Shape::Polygon, palette::green);
        EXPECT_EQ(lines[1]->sequence + 1, greens.back()->sequence);
        const auto reds = cv.find(Shape::Polygon, palette::red);
        EXPECT_EQ(ring[0]->sequence, reds.back()->sequence + 1);  // the last trail point's disc
        const int panel = cv.find(Shape::Polygon, palette::white).back()->sequence;
        EXPECT_EQ(panel, ring[0]->sequence + 1);
        EXPECT_EQ(lines[0]->sequence, panel + 1);
        EXPECT_EQ(pinLine->sequence, panel + 2);  // after its swatch
        EXPECT_LT(pinLine->sequence, cv.findText("Position X(red),Y(black)")->sequence);
        const auto liveRed = cv.find(Shape::Lines, palette::red);
        if (shown > 0) {
            EXPECT_LT(lines.back()->sequence, liveRed.back()->sequence);
        }
    }
}

TEST(PinDrawing, EachSlotHasAColourAndPatternOfItsOwnAndALineThatFits)
{
    const Color taken[] = {palette::red,   palette::green, palette::blue,      palette::yellow,
                           palette::white, palette::black, palette::lightBlue, {0.04f, 0.04f, 0.04f, 0.0f}};
    std::set<std::uint32_t> colours;
    std::set<std::vector<double>> patterns;
    for (int slot = 0; slot < pinCapacity; ++slot) {
        const PinLook look = pinLook(slot);
        colours.insert(pinColour(slot));
        patterns.insert(std::vector<double>(look.dash.lengths.begin(), look.dash.lengths.begin() + look.dash.count));
        for (const Color& c : taken)
            EXPECT_GT(std::fabs(look.color.r - c.r) + std::fabs(look.color.g - c.g) + std::fabs(look.color.b - c.b),
                      0.3f)
                << slot;
        // 8-bit pictures hold it exactly
        for (int shift : {0, 8, 16}) EXPECT_EQ(((pinColour(slot) >> shift) & 0xFF) % 0x33, 0u) << slot;
    }
    EXPECT_EQ(colours.size(), std::size_t(pinCapacity));
    EXPECT_EQ(patterns.size(), std::size_t(pinCapacity));

    // a pin that differs in many ways: its line ends in a count of the rest
    // and fits left of the graph panel, as every line does
    Task live = taskWith({});
    Task many = taskWith({{"method", "7"}, {"KH1", "800"}, {"KH2", "650"}, {"x0", "0.25"}, {"A", "0.15"},
                          {"seterror", "0.02"}, {"Fn", "12.5"}});
    PinSet pins;
    for (int k = 0; k < 5; ++k) pins.pin(k == 4 ? many.s : live.s, k == 4 ? *many.run : *live.run);
    RecordingCanvas cv;
    drawFrame(cv, live.s, *live.run, pins);
    const RecordedText* first = cv.findText(pinLegendText(pins.pins()[0], live.s));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->bytes.rfind("pin 1: KH1 = 800 N/m (now 500 N/m), ", 0), 0u) << first->bytes;
    EXPECT_NE(first->bytes.find(" more"), std::string::npos) << first->bytes;
    for (int slot = 0; slot < pinCapacity; ++slot) {
        const RecordedText* t = cv.findText(pinLegendText(pins.pins()[static_cast<std::size_t>(slot)], live.s));
        ASSERT_NE(t, nullptr) << slot;
        EXPECT_TRUE(near(t->y, pinLegendTop - slot * pinLegendStep, 1e-6));
        EXPECT_LE(textWidth(Font::Helvetica18, t->bytes), pinLegendRoom(live.s)) << t->bytes;
    }
    EXPECT_GT(pinLegendRoom(live.s), 400.0);
}

}  // namespace
}  // namespace hybridsim
