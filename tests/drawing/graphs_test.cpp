// The time axes, the position graph and the force graph.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "drawing/frame.h"
#include "drawing/graphs.h"
#include "drawing/pin_drawing.h"
#include "drawing/primitives.h"
#include "tests/support/drawing_support.h"

namespace hybridsim {
namespace {

using testing::defaultTask;
using testing::near;
using testing::Task;

constexpr double tol = 1e-9;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// Thin vertical red segments: ticks (and the last tick drawn once more).
std::vector<const RecordedShape*> ticks(const RecordingCanvas& cv)
{
    std::vector<const RecordedShape*> out;
    for (const RecordedShape* l : cv.find(Shape::Lines, palette::red))
        if (l->lineWidth == 2.0f && std::fabs(l->vertices[0].x - l->vertices[1].x) < 1e-12)
            out.push_back(l);
    return out;
}

// The segments of one colour and width, i.e. one curve of a graph.
std::vector<const RecordedShape*> curve(const RecordingCanvas& cv, const Color& c, double width)
{
    std::vector<const RecordedShape*> out;
    for (const RecordedShape* l : cv.find(Shape::Lines, c))
        if (std::fabs(l->lineWidth - width * pixelsPerUnit) < 1e-4) out.push_back(l);
    return out;
}

TEST(Axes, EightOneSecondTicksAndTheDurationLabelAtTheEnd)
{
    const SimSettings& s = defaultTask().s;  // dt 0.04, 200 samples, tf 4 s
    RecordingCanvas cv;
    cv.setLighting(true);
    drawAxes(cv, s, Vec2{0.4, 0.5}, s.dt, s.nsteps, 0.5, 0.45);

    const auto t = ticks(cv);
    ASSERT_EQ(t.size(), 9u);  // eight, and the last once more
    for (int i = 1; i <= 8; ++i) {
        EXPECT_TRUE(near(t[i - 1]->vertices[0].x, 0.4 + i * 0.0625, tol)) << i;
        EXPECT_TRUE(near(t[i - 1]->vertices[1].y - t[i - 1]->vertices[0].y, 0.02, tol)) << i;
    }
    EXPECT_TRUE(near(t[8]->vertices[0].x, 0.9, tol));
    const RecordedText* digit = cv.findText("8\n");
    const RecordedText* unit = cv.findText("s");
    ASSERT_NE(digit, nullptr);
    ASSERT_NE(unit, nullptr);
    EXPECT_TRUE(near(digit->x, 0.88, 1e-6));
    EXPECT_TRUE(near(digit->y, 0.51, 1e-6));
    EXPECT_TRUE(near(unit->x, 0.9, 1e-6));
    EXPECT_TRUE(digit->lighting);

    // time axis and value axis 2.4 pixels wide; the end of motion in blue at tf
    const auto axes = curve(cv, palette::red, axisLineWidth);
    ASSERT_EQ(axes.size(), 2u);
    EXPECT_TRUE(near(axes[0]->vertices[1].x, 0.9, tol));
    EXPECT_TRUE(near(axes[1]->vertices[1].y, 0.95, tol));
    const auto end = cv.find(Shape::Lines, palette::blue);
    ASSERT_EQ(end.size(), 1u);
    EXPECT_TRUE(near(end[0]->vertices[0].x, 0.4 + 0.5 * 4.0 / 8.0, tol));
    EXPECT_FLOAT_EQ(cv.lineWidth(), 2.0f);
    EXPECT_TRUE(cv.lighting());
}

TEST(Axes, LongRunsLabelTheFullNumberAndOddPeriodsNeverBreakTheAxes)
{
    SimSettings s = defaultTask().s;
    RecordingCanvas cv;
    drawAxes(cv, s, Vec2{0.4, 0.1}, 0.04, 300, 0.5, 0.3);  // 12 s
    EXPECT_EQ(ticks(cv).size(), 13u);
    const RecordedText* label = cv.findText("12\n");
    ASSERT_NE(label, nullptr);
    // the last digit stands where a single digit would
    EXPECT_TRUE(near(label->x, 0.9 - 0.02 - 0.025, 1e-6));

    // a period longer than a second has no whole-second tick: the label
    // reads 0 at the axis end; a period of 0 gives no tick and no marker
    for (double dt : {3.0, 0.0, -0.04, nan}) {
        SCOPED_TRACE(dt);
        cv.reset();
        drawAxes(cv, s, Vec2{0.4, 0.1}, dt, 200, 0.5, 0.3);
        EXPECT_TRUE(ticks(cv).empty());
        ASSERT_NE(cv.findText("0\n"), nullptr);
        EXPECT_TRUE(near(cv.findText("0\n")->x, 0.88, 1e-6));
        EXPECT_EQ(cv.nonFiniteValues, 0);
    }
    cv.reset();
    drawAxes(cv, s, Vec2{0.4, 0.1}, 0.04, 0, 0.5, 0.3);  // no samples
    EXPECT_EQ(cv.nonFiniteValues, 0);
    EXPECT_TRUE(ticks(cv).empty());
}

TEST(PositionGraph, ScaledOverTheWholeRunIntoTheBandAboveItsAxis)
{
    const Task& task = defaultTask();
    const SimSettings& s = task.s;
    const SeriesRange r = seriesRange(s, task.set());
    RecordingCanvas all;
    drawPositionGraph(all, s, task.set(), s.nsteps);

    const auto refX = curve(all, palette::blue, referenceLineWidth);
    const auto tip = curve(all, palette::red, measuredLineWidth);
    const auto tipY = curve(all, palette::black, measuredLineWidth);
    ASSERT_EQ(refX.size(), 400u);  // x and y of the command point
    ASSERT_EQ(tip.size(), 200u);
    ASSERT_EQ(tipY.size(), 200u);
    double low = 10.0;
    double high = -10.0;
    for (const auto* set : {&refX, &tip, &tipY})
        for (const RecordedShape* seg : *set)
            for (const Vec2& v : seg->vertices) {
                low = std::min(low, v.y);
                high = std::max(high, v.y);
            }
    EXPECT_TRUE(near(low, 0.5, 1e-9));
    EXPECT_TRUE(near(high, 0.9, 1e-9));
    // sample i at x = 0.4 + i * 0.5 / 200, x of the tip at its scaled height
    const int i = 77;
    const double k = 0.4 / (r.max - r.min);
    EXPECT_TRUE(near(tip[i - 1]->vertices[1].x, 0.4 + i * 0.0025, 1e-12));
    EXPECT_TRUE(near(tip[i - 1]->vertices[1].y, 0.5 + (task.set().tipPos[i].x - r.min) * k, 1e-12));

    // stepping never rescales: the first 50 samples are drawn the same way
    RecordingCanvas some;
    drawPositionGraph(some, s, task.set(), 50);
    const auto early = curve(some, palette::red, measuredLineWidth);
    ASSERT_EQ(early.size(), 50u);
    for (int j = 0; j < 50; ++j)
        EXPECT_EQ(early[j]->vertices[1].y, tip[j]->vertices[1].y) << j;

    // frame 0: axes, ticks, labels, the blue marker and the texts only
    RecordingCanvas none;
    drawPositionGraph(none, s, task.set(), 0);
    EXPECT_TRUE(curve(none, palette::red, measuredLineWidth).empty());
    EXPECT_TRUE(curve(none, palette::yellow, referenceLineWidth).empty());
    EXPECT_EQ(none.find(Shape::Lines, palette::blue).size(), 1u);
    EXPECT_NE(none.findText("Position X(red),Y(black)"), nullptr);
    ASSERT_NE(none.findText("yellow:10*peripheral positon error"), nullptr);
    EXPECT_EQ(none.findText("yellow:10*peripheral positon error")->font, Font::Helvetica12);
    EXPECT_NE(none.findText("X,Y[m]"), nullptr);
}

TEST(PositionGraph, RangeLeavesOutTheLastSampleAndNotANumber)
{
    Task task = testing::computeTask('b', '8', 'S');
    SeriesSet& set = currentSeries(*task.run, 'b');
    const SeriesRange before = seriesRange(task.s, set);
    set.tipPos[task.s.nsteps].x = 50.0;  // the last sample takes no part
    set.refPos[3].y = nan;
    const SeriesRange after = seriesRange(task.s, set);
    EXPECT_EQ(after.min, before.min);
    EXPECT_EQ(after.max, before.max);
}

TEST(PositionGraph, LargeErrorsLeaveGapsAndBadSamplesAreSkipped)
{
    Task task = testing::computeTask('b', '8', 'S');
    SimSettings& s = task.s;
    SeriesSet& set = currentSeries(*task.run, 'b');
    const SeriesRange r = seriesRange(s, set);
    const double k = 0.4 / (r.max - r.min);
    for (int i = 0; i <= s.nsteps; ++i) set.sErr[i] = 0.0;
    set.sErr[10] = 0.5 / (k * s.errorGain);    // above the band
    set.sErr[20] = -0.15 / (k * s.errorGain);  // below -0.3 x height
    set.sErr[30] = -0.1 / (k * s.errorGain);   // inside
    set.tipPos[40] = Vec2{nan, nan};           // an unreachable sample

    RecordingCanvas cv;
    drawPositionGraph(cv, s, set, s.nsteps);
    const auto yellow = curve(cv, palette::yellow, referenceLineWidth);
    EXPECT_EQ(yellow.size(), 196u);  // segments 10, 11, 20 and 21 left out
    for (const RecordedShape* seg : yellow) {
        const int i = static_cast<int>(std::lround((seg->vertices[1].x - 0.4) / 0.0025));
        EXPECT_TRUE(i != 10 && i != 11 && i != 20 && i != 21) << i;
    }
    // the tip curves miss the two segments at sample 40; nothing is clipped otherwise
    EXPECT_EQ(curve(cv, palette::red, measuredLineWidth).size(), 198u);
    EXPECT_EQ(curve(cv, palette::black, measuredLineWidth).size(), 198u);
    EXPECT_EQ(cv.nonFiniteValues, 0);
}

// A range of zero width is widened about its value by the rule of every
// scale (a tenth of the value each way): the curves run across the middle
// of the band.
TEST(PositionGraph, ARangeOfZeroWidthIsWidenedAboutItsValue)
{
    Task task = testing::computeTask('b', '8', 'S');
    SeriesSet& set = currentSeries(*task.run, 'b');
    for (int i = 0; i < seriesCapacity; ++i) set.tipPos[i] = set.refPos[i] = Vec2{0.3, 0.3};
    RecordingCanvas cv;
    drawPositionGraph(cv, task.s, set, task.s.nsteps);
    EXPECT_EQ(cv.nonFiniteValues, 0);
    EXPECT_EQ(curve(cv, palette::red, axisLineWidth).size(), 2u);  // the axes are there
    const auto tip = curve(cv, palette::red, measuredLineWidth);
    ASSERT_EQ(tip.size(), 200u);
    for (const RecordedShape* seg : tip)
        for (const Vec2& v : seg->vertices) EXPECT_TRUE(near(v.y, task.s.posGraphY + 0.5 * posGraphHeight, 1e-12));
}

// Values at the edges of the doubles, in the run's series and in Fn, give
// graphs of finite numbers: the position curves span the band from the
// smallest to the largest finite value (a single value across its middle),
// the force at Fn lies on the Fn line, a force or a position that is not
// finite leaves a gap.  The pins' curves share the scales.
TEST(Graphs, EveryScaleStaysFiniteWhateverTheValues)
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    constexpr double sub = std::numeric_limits<double>::denorm_min();
    struct Row {
        const char* what;
        double Fn;
        double (*position)(int i);  // x and y of tip and command point at sample i
        double (*force)(int i, double Fn);
        bool forceDrawn;  // the force curve lies on the Fn line
        bool flat;        // the positions drawn across the middle of the band (no span a scale resolves)
    };
    // (the range leaves out the last sample, 200: it repeats sample 100)
    const auto ordinary = [](int i) { return 0.2 + 0.001 * (i % 100); };
    const auto tracking = [](int i, double Fn) { return i == 0 ? 0.0 : Fn; };
    const Row rows[] = {
        {"Fn the smallest subnormal", sub, ordinary, tracking, true, false},
        {"Fn a subnormal", 1e-320, ordinary, tracking, true, false},
        {"Fn near the largest double", 1.7e308, ordinary, tracking, true, false},
        {"Fn near the most negative double", -1.7e308, ordinary, tracking, true, false},
        {"forces infinite now and then", 10.0, ordinary,
         [](int i, double Fn) { return i % 10 == 5 ? inf : i % 10 == 7 ? -inf : Fn; }, true, false},
        {"forces not a number", 10.0, ordinary, [](int, double) { return std::nan(""); }, false, false},
        {"positions subnormal", 10.0, [](int i) { return (i % 3) * 5e-324; }, tracking, true, true},
        {"positions near the largest doubles", 10.0, [](int i) { return i % 2 ? 1.7e308 : -1.7e308; }, tracking, true,
         false},
        {"positions all equal", 10.0, [](int) { return -0.25; }, tracking, true, true},
        {"positions not a number", 10.0, [](int) { return std::nan(""); }, tracking, true, false},
        {"positions infinite now and then", 10.0,
         [](int i) { return i % 10 == 5 ? inf : i % 10 == 7 ? -inf : 0.2 + 0.001 * (i % 100); }, tracking, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Task task = testing::computeTask('b', '8', 'S');
        SimSettings& s = task.s;
        SeriesSet& set = currentSeries(*task.run, 'b');
        s.Fn = row.Fn;
        for (int i = 0; i < seriesCapacity; ++i) {
            const double v = row.position(i);
            set.tipPos[i] = set.refPos[i] = Vec2{v, v};
            set.contactForce[i] = row.force(i, s.Fn);
            set.forceErr[i] = s.Fn - set.contactForce[i];
        }
        PinSet pins;
        pins.pin(s, *task.run);
        s.frame = s.nsteps;
        RecordingCanvas cv;
        drawFrame(cv, s, *task.run, pins);
        EXPECT_EQ(cv.nonFiniteValues, 0);
        EXPECT_EQ(cv.misuses, 0);

        // the force: at Fn on the Fn line, where it is finite
        const auto force = curve(cv, palette::red, measuredLineWidth);
        const double top = s.forceGraphY + s.forceGraphScale;
        std::size_t onFn = 0;
        for (const RecordedShape* seg : force)
            if (seg->vertices[0].x > s.forceGraphX - 1e-9 && near(seg->vertices[1].y, top, 1e-9)) ++onFn;
        EXPECT_EQ(onFn >= 100, row.forceDrawn) << onFn << " force segments on the Fn line";

        // the positions: from the bottom of the band to its top (a single
        // value across its middle), none outside it
        double low = inf, high = -inf;
        std::size_t segments = 0;
        for (const RecordedShape* seg : curve(cv, palette::black, measuredLineWidth)) {
            ++segments;
            for (const Vec2& v : seg->vertices) {
                low = std::min(low, v.y);
                high = std::max(high, v.y);
            }
        }
        if (std::isnan(row.position(0))) {
            EXPECT_EQ(segments, 0u);
            continue;
        }
        EXPECT_GT(segments, 100u);
        if (segments <= 100) continue;
        const double gy = s.posGraphY;
        if (row.flat) {
            EXPECT_TRUE(near(low, gy + 0.5 * posGraphHeight, 1e-12) && near(high, low, 1e-12)) << low << " " << high;
        } else {
            EXPECT_TRUE(near(low, gy, 1e-9)) << low;
            EXPECT_TRUE(near(high, gy + posGraphHeight, 1e-9)) << high;
        }
        // the pin's tip lies on the run's own curve (the same run)
        EXPECT_EQ(cv.find(Shape::Lines, pinLook(0).color).size(), 5u);
    }
}

TEST(ForceGraph, CommandedForceAtForceGraphScaleWhateverFn)
{
    const Task& task = defaultTask();
    SimSettings s = task.s;
    SeriesSet set = task.set();
    RecordingCanvas cv;
    drawForceGraph(cv, s, set, s.nsteps);

    // the commanded force: blue from the origin's x to the axis end at 0.35
    const auto blue = cv.find(Shape::Lines, palette::blue);
    ASSERT_EQ(blue.size(), 2u);  // the end-of-motion marker, then the Fn line
    const RecordedShape& fnLine = *blue[1];
    EXPECT_TRUE(near(fnLine.vertices[0].x, 0.4, tol));
    EXPECT_TRUE(near(fnLine.vertices[1].x, 0.9, tol));
    EXPECT_TRUE(near(fnLine.vertices[0].y, 0.35, tol));
    EXPECT_TRUE(near(fnLine.vertices[1].y, 0.35, tol));

    // a force equal to Fn lies on it; five times the error about the time axis
    const auto force = curve(cv, palette::red, measuredLineWidth);
    const auto error = curve(cv, palette::yellow, referenceLineWidth);
    ASSERT_EQ(force.size(), 200u);
    ASSERT_EQ(error.size(), 200u);
    const double perNewton = 0.25 / s.Fn;
    EXPECT_TRUE(near(force[99]->vertices[1].y, 0.1 + perNewton * set.contactForce[100], 1e-12));
    EXPECT_TRUE(near(error[99]->vertices[1].y, 0.1 + 5.0 * perNewton * set.forceErr[100], 1e-12));
    EXPECT_TRUE(near(error[0]->vertices[0].y, 0.1 - 5.0 * 0.25, 1e-12));  // -Fn at sample 0
    ASSERT_NE(cv.findText("Fn[N]"), nullptr);
    EXPECT_TRUE(near(cv.findText("Fn[N]")->y, 0.3, 1e-6));

    // twice the force, tracked the same way, looks the same
    SimSettings twice = s;
    twice.Fn = 2.0 * s.Fn;
    SeriesSet doubled = set;
    for (int i = 0; i <= s.nsteps; ++i) {
        doubled.contactForce[i] *= 2.0;
        doubled.forceErr[i] *= 2.0;
    }
    RecordingCanvas cv2;
    drawForceGraph(cv2, twice, doubled, s.nsteps);
    const auto force2 = curve(cv2, palette::red, measuredLineWidth);
    ASSERT_EQ(force2.size(), force.size());
    for (std::size_t i = 0; i < force.size(); ++i)
        EXPECT_TRUE(near(force2[i]->vertices[1].y, force[i]->vertices[1].y, 1e-12));
}

TEST(ForceGraph, ACommandedForceOfZeroDrawsTheAxesAndTheLineOnly)
{
    const Task& task = defaultTask();
    SimSettings s = task.s;
    s.Fn = 0.0;
    SeriesSet set = task.set();
    set.contactForce[60] = nan;
    RecordingCanvas cv;
    drawForceGraph(cv, s, set, s.nsteps);
    EXPECT_EQ(cv.nonFiniteValues, 0);
    EXPECT_EQ(cv.find(Shape::Lines, palette::blue).size(), 2u);
    EXPECT_TRUE(curve(cv, palette::red, measuredLineWidth).empty());
    EXPECT_TRUE(curve(cv, palette::yellow, referenceLineWidth).empty());

    // with a force, a not-a-number sample leaves out the two segments touching it
    s.Fn = 10.0;
    cv.reset();
    drawForceGraph(cv, s, set, s.nsteps);
    EXPECT_EQ(curve(cv, palette::red, measuredLineWidth).size(), 198u);
    EXPECT_EQ(cv.nonFiniteValues, 0);
}

}  // namespace
}  // namespace hybridsim
