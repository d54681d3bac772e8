// The scales of the charts: round ticks that cover the data, and their
// text; planes at equal scale; notes whose labels keep clear of the lines.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "study/svg_chart.h"
#include "task/text_format.h"
#include "tests/support/study_support.h"

namespace hybridsim {
namespace {

// Whether v is a whole multiple of 1, 2 or 5 times a power of ten.
bool roundStep(double step)
{
    const double mantissa = step / std::pow(10.0, std::floor(std::log10(step) + 1e-12));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (std::fabs(mantissa - m) < 1e-9) return true;
    return false;
}

TEST(SvgChart, ScalesCoverTheDataWithFewRoundTicks)
{
    const std::pair<double, double> ranges[] = {
        {0.0, 8.000000000000002}, {0.0, 10.5},  {-6e-9, 0.0},  {9.9999999, 10.00000016}, {3.0, 3.0},
        {0.0, 0.0},               {-17.3, 2.2}, {1e-300, 3e-300}, {0.04, 1.04},          {-1e12, 5e12},
        {0.1234, 0.1239},         {-0.5, -0.25}};
    for (const auto& [lo, hi] : ranges) {
        SCOPED_TRACE(::testing::Message() << lo << " .. " << hi);
        const AxisScale a = roundScale(lo, hi, 6);
        EXPECT_LE(a.lo, lo);
        EXPECT_GE(a.hi, hi);
        EXPECT_LT(a.lo, a.hi);
        ASSERT_GE(a.ticks.size(), 2u);
        EXPECT_LE(a.ticks.size(), 6u);
        EXPECT_TRUE(roundStep(a.step)) << a.step;
        for (std::size_t i = 0; i < a.ticks.size(); ++i) {
            EXPECT_GE(a.ticks[i], a.lo);
            EXPECT_LE(a.ticks[i], a.hi);
            if (i > 0) {
                EXPECT_NEAR(a.ticks[i] - a.ticks[i - 1], a.step, 1e-9 * a.step + 4e-16 * std::fabs(a.ticks[i]));
            }
        }
        // not much room wasted: the data fill more than a third of the scale
        if (hi > lo) {
            EXPECT_GT((hi - lo) / (a.hi - a.lo), 1.0 / 3.0);
        }
    }
    // a time axis of 200 periods of 0.04 s ends at 8, not at 10
    const AxisScale time = roundScale(0.0, 200 * 0.04 + 2e-15, 7);
    EXPECT_EQ(time.ticks.back(), 8.0);
    EXPECT_LT(time.hi, 8.0 + 1e-12);
    // beyond round numbers: the two ends
    const AxisScale wide = roundScale(-1.7e308, 1.7e308, 6);
    EXPECT_EQ(wide.ticks, (std::vector<double>{-1.7e308, 1.7e308}));
}

// Where the data fill a whole number of round steps within the ticks
// allowed, the scale takes the finest such step: a step one size coarser
// covers the data as well and would pass the test above.
TEST(SvgChart, RangesThatFitExactlyGetTheFinestStep)
{
    const struct {
        double lo, hi;
        int most;
        std::vector<double> ticks;
    } cases[] = {
        {1.0, 7.0, 7, {1, 2, 3, 4, 5, 6, 7}},           // a sweep of 1:7:7 on the x axis
        {0.0, 10.0, 6, {0, 2, 4, 6, 8, 10}},
        {0.0, 5.0, 6, {0, 1, 2, 3, 4, 5}},
        {-20.0, 30.0, 6, {-20, -10, 0, 10, 20, 30}},
        {0.0, 8.0, 7, {0, 2, 4, 6, 8}},                // a run's time axis
        {5.0, 40.0, 8, {5, 10, 15, 20, 25, 30, 35, 40}},
        {0.0, 1.0, 6, {0, 0.2, 0.4, 0.6, 0.8, 1.0}},
        {0.0, 25.0, 6, {0, 5, 10, 15, 20, 25}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.lo << " .. " << c.hi << ", at most " << c.most);
        const AxisScale a = roundScale(c.lo, c.hi, c.most);
        ASSERT_EQ(a.ticks.size(), c.ticks.size()) << ::testing::PrintToString(a.ticks);
        for (std::size_t i = 0; i < c.ticks.size(); ++i) EXPECT_NEAR(a.ticks[i], c.ticks[i], 1e-12);
        EXPECT_EQ(a.lo, c.lo);
        EXPECT_EQ(a.hi, c.hi);
    }
}

TEST(SvgChart, TickTextShowsTheStepAndNoMore)
{
    EXPECT_EQ(tickText(2.0, 2.0), "2");
    EXPECT_EQ(tickText(0.25, 0.05), "0.25");
    EXPECT_EQ(tickText(0.5, 0.5), "0.5");
    EXPECT_EQ(tickText(-0.0, 0.5), "0.0");
    EXPECT_EQ(tickText(1e-17, 0.2), "0.0");
    EXPECT_EQ(tickText(-6e-9, 2e-9), "-6e-09");
    EXPECT_EQ(tickText(10.00000005, 5e-8), "10.00000005");
    EXPECT_EQ(tickText(3e12, 1e12), "3e+12");
    EXPECT_EQ(tickText(0.0012, 0.0002), "0.0012");
}

TEST(SvgChart, ColoursOfThePaletteAndTheRamp)
{
    EXPECT_EQ(paletteColour(0), "#1f77b4");
    EXPECT_EQ(paletteColour(10), paletteColour(0));
    EXPECT_NE(paletteColour(1), paletteColour(0));
    EXPECT_EQ(rampColour(0.0), "#313695");
    EXPECT_EQ(rampColour(1.0), "#a50026");
    EXPECT_EQ(rampColour(2.0), "#a50026");
    EXPECT_EQ(rampColour(std::nan("")), "#313695");
}

// A panel whose values all lie within its unit's rounding floor is drawn
// flat at 0 on -1..1 with a note; one value beyond the floor, and the panel
// is drawn as it is without a floor.
TEST(SvgChart, APanelOfRoundingAloneIsDrawnFlatAtZeroAndSaysSo)
{
    // a panel of y = ±size alternately over 0..10
    const auto panel = [](double size, std::optional<RoundingFloor> floor) {
        ChartSeries line{"sErr", "#2ca02c", {}, {}};
        for (int i = 0; i <= 10; ++i) {
            line.x.push_back(i);
            line.y.push_back(i % 2 == 0 ? size : -size);
        }
        ChartPanel p{"tangential error", "time t [s]", "sErr [mm]", {line}, {}};
        p.yFloor = floor;
        Chart c;
        c.panels.push_back(p);
        return c;
    };
    // the y of every point of the panel's line [px, as written]
    const auto ys = [](const std::string& svg) {
        std::vector<std::string> out;
        const std::size_t d = svg.find(" d=\"", svg.find("class=\"series\""));
        const std::string path = svg.substr(d + 4, svg.find('"', d + 4) - d - 4);
        const std::regex point("[ML][-0-9.]+,([-0-9.]+)");
        for (auto m = std::sregex_iterator(path.begin(), path.end(), point); m != std::sregex_iterator(); ++m)
            out.push_back((*m)[1]);
        return out;
    };
    const std::string millimetreNote = "all within \xC2\xB1" "1e-4 mm: drawn as 0";
    EXPECT_EQ(floorNote(millimetreFloor), millimetreNote);
    EXPECT_EQ(floorNote(newtonFloor), "all within \xC2\xB1" "1e-9 N: drawn as 0");

    // the integration error of sErr, and values on the floor itself: flat
    for (double size : {1e-12, 1e-9, millimetreFloor.size}) {
        SCOPED_TRACE(size);
        const Chart c = panel(size, millimetreFloor);
        const PanelLayout at = chartLayout(c).panels.at(0);
        EXPECT_TRUE(at.flat);
        EXPECT_EQ(at.ys.ticks, roundScale(-1.0, 1.0, 6).ticks);
        const std::string svg = chartSvg(c);
        EXPECT_NE(svg.find("class=\"floor-note\""), std::string::npos);
        EXPECT_NE(svg.find(">" + millimetreNote + "</text>"), std::string::npos);
        EXPECT_EQ(ys(svg), std::vector<std::string>(11, format("%.1f", at.Y(0.0))));
        EXPECT_EQ(svg.find("0.0000"), std::string::npos);  // no tick magnifies it
    }
    // a scale given for the panel gives way too (the study graphs' force scale)
    Chart given = panel(1e-12, newtonFloor);
    given.panels[0].yScale = roundScale(-1e-12, 1e-12, 6);
    EXPECT_TRUE(chartLayout(given).panels.at(0).flat);

    // just beyond the floor, and a real range: as without a floor
    for (double size : {2.0 * millimetreFloor.size, 1e-3}) {
        SCOPED_TRACE(size);
        const Chart with = panel(size, millimetreFloor);
        const Chart without = panel(size, std::nullopt);
        EXPECT_FALSE(chartLayout(with).panels.at(0).flat);
        EXPECT_EQ(chartSvg(with), chartSvg(without));
        EXPECT_EQ(chartSvg(with).find("floor-note"), std::string::npos);
        const std::vector<std::string> y = ys(chartSvg(with));
        ASSERT_EQ(y.size(), 11u);
        EXPECT_NE(y[0], y[1]);  // the line goes up and down over the panel
    }
    // no floor asked for: rounding is drawn as it is
    EXPECT_FALSE(chartLayout(panel(1e-12, std::nullopt)).panels.at(0).flat);
    // a panel without a number has nothing to flatten
    Chart empty = panel(1e-12, millimetreFloor);
    empty.panels[0].series[0].y.assign(11, std::nan(""));
    EXPECT_FALSE(chartLayout(empty).panels.at(0).flat);
}

// A plane at equal scale: one unit of x as many pixels as one unit of y,
// whatever the panel's shape and the data's, every point inside the plot
// area and off its border, the ticks round numbers on the scales; a scale
// given for x keeps its ends, leaves out the points beyond them and fits y
// to the points within.
TEST(SvgChart, EqualScaleKeepsCirclesRoundAndAGivenXScaleItsEnds)
{
    // a half circle of radius 125 about 0 and a point on the right
    ChartSeries circle{"circle", "#000000", {}, {}};
    for (int k = 0; k <= 32; ++k) {
        const double a = 1.5707963267948966 + 3.141592653589793 * k / 32;
        circle.x.push_back(125.0 * std::cos(a));
        circle.y.push_back(125.0 * std::sin(a));
    }
    ChartSeries point{"point", "#000000", {0.06}, {0.0}};
    for (const auto& [width, height] : {std::pair{820.0, 380.0}, {260.0, 600.0}, {420.0, 300.0}, {300.0, 300.0}}) {
        SCOPED_TRACE(::testing::Message() << width << " x " << height);
        Chart c;
        c.panelWidth = width;
        c.panelHeight = height;
        ChartPanel p{"plane", "re", "im", {circle, point}, {}};
        p.equalScale = true;
        c.panels.push_back(p);
        const PanelLayout at = chartLayout(c).panels[0];
        const double kx = (at.x1 - at.x0) / (at.xs.hi - at.xs.lo);
        const double ky = (at.y1 - at.y0) / (at.ys.hi - at.ys.lo);
        EXPECT_NEAR(kx, ky, 1e-9 * kx);
        // the circle's horizontal and vertical radius in pixels
        EXPECT_NEAR(at.X(0.0) - at.X(-125.0), (at.Y(-125.0) - at.Y(125.0)) / 2.0, 1e-6);
        for (const ChartSeries* s : {&circle, &point})
            for (std::size_t i = 0; i < s->x.size(); ++i) {
                EXPECT_GT(at.X(s->x[i]), at.x0 + 4.0);
                EXPECT_LT(at.X(s->x[i]), at.x1 - 4.0);
                EXPECT_GT(at.Y(s->y[i]), at.y0 + 4.0);
                EXPECT_LT(at.Y(s->y[i]), at.y1 - 4.0);
            }
        for (const AxisScale* a : {&at.xs, &at.ys}) {
            ASSERT_GE(a->ticks.size(), 2u);
            for (double t : a->ticks) {
                EXPECT_GE(t, a->lo);
                EXPECT_LE(t, a->hi);
                EXPECT_NEAR(t / a->step, std::round(t / a->step), 1e-9);
            }
        }
    }

    // the x scale given: its ends kept, the y scale from the points on it
    Chart c;
    ChartPanel p{"step", "t", "F", {{"F", "#000000", {0.0, 1.0, 2.0, 3.0}, {0.0, 4.0, 9.0, 500.0}}}, {}};
    p.xScale = scaleWithin(0.0, 2.5, 7);
    c.panels.push_back(p);
    const PanelLayout at = chartLayout(c).panels[0];
    EXPECT_EQ(at.xs.lo, 0.0);
    EXPECT_EQ(at.xs.hi, 2.5);
    EXPECT_EQ(at.xs.ticks, (std::vector<double>{0.0, 0.5, 1.0, 1.5, 2.0, 2.5}));
    EXPECT_EQ(at.ys.hi, 10.0);
    const std::string svg = chartSvg(c);
    EXPECT_NE(svg.find(format("M%.1f,%.1fL%.1f,%.1fL%.1f,%.1f\"", at.X(0.0), at.Y(0.0), at.X(1.0), at.Y(4.0),
                              at.X(2.0), at.Y(9.0))),
              std::string::npos)
        << svg;
}

// Round ticks within a span whose ends stay: the finest step that gives at
// most the ticks asked for; a span that is none, its ends.
TEST(SvgChart, ScalesWithinKeepTheirEnds)
{
    const AxisScale a = scaleWithin(-296.5, 146.2, 7);
    EXPECT_EQ(a.lo, -296.5);
    EXPECT_EQ(a.hi, 146.2);
    EXPECT_EQ(a.ticks, (std::vector<double>{-200.0, -100.0, 0.0, 100.0}));
    EXPECT_EQ(scaleWithin(0.0, 0.0796, 7).ticks.size(), 4u);  // 0, 0.02, 0.04, 0.06
    EXPECT_EQ(scaleWithin(0.31, 0.39, 6).ticks.size(), 4u);  // 0.32 .. 0.38
    EXPECT_EQ(scaleWithin(0.31, 0.39, 1).ticks.size(), 1u);
    EXPECT_EQ(scaleWithin(1.0, 0.5).ticks, (std::vector<double>{1.0, 0.5}));
    EXPECT_EQ(scaleWithin(0.0, std::nan("")).ticks.size(), 2u);
}

// The notes' labels stand where they cover no other label, no dot and no
// line of the panel, inside the plot area, even where the notes crowd
// (the whole run of a step, whose marks all fall in its first tenth), a
// leader joining a label that stands off to its dot.
TEST(SvgChart, NotesLabelsKeepClearOfTheLinesAndOfEachOther)
{
    for (const double until : {0.4, 8.0}) {
        SCOPED_TRACE(::testing::Message() << "the step to " << until << " s");
        ChartSeries step{"F", "#d62728", {}, {}};
        for (int k = 0; k <= 400; ++k) {
            const double t = until * k / 400;
            step.x.push_back(t);
            step.y.push_back(10.0 * (1.0 - std::exp(-40.0 * t) * (1.0 + 40.0 * t)) + 0.3 * std::sin(30.0 * t) *
                                                                                        std::exp(-10.0 * t));
        }
        ChartSeries target{"Fn", "#1f77b4", {0.0, until}, {10.0, 10.0}};
        ChartPanel p{"step", "t", "F", {step, target}, {}};
        p.notes = {{"a", "rise 10 %", "#222222", 0.0133, 1.0},   {"b", "90 %", "#222222", 0.0972, 9.0},
                   {"c", "peak 2.6 %", "#222222", 0.114, 10.26}, {"d", "settled 0.253 s", "#222222", 0.253, 10.2},
                   {"e", "beyond", "#222222", until + 1.0, 5.0}};
        Chart c;
        c.panelWidth = 320.0;
        c.panels.push_back(p);
        const PanelLayout at = chartLayout(c).panels[0];
        const std::string svg = chartSvg(c);

        // the lines' pieces and the labels' boxes (an 11 px text: 6.6 px a
        // character at most, 8 px above its baseline, 2 below)
        struct Box {
            double l, t, r, b;
        };
        std::vector<std::array<double, 4>> pieces;
        for (const ChartSeries* s : {&step, &target})
            for (std::size_t i = 1; i < s->x.size(); ++i)
                pieces.push_back({at.X(s->x[i - 1]), at.Y(s->y[i - 1]), at.X(s->x[i]), at.Y(s->y[i])});
        std::vector<Box> labels;
        std::vector<std::string> kinds;
        const std::regex note("data-kind=\"(\\w)\">(<line class=\"note-leader\"[^>]*>)?<circle class=\"note-point\" "
                              "cx=\"([-0-9.]+)\" cy=\"([-0-9.]+)\"[^>]*><text class=\"note-label\" x=\"([-0-9.]+)\" "
                              "y=\"([-0-9.]+)\"[^>]*>([^<]*)</text>");
        for (auto m = std::sregex_iterator(svg.begin(), svg.end(), note); m != std::sregex_iterator(); ++m) {
            const auto& g = *m;
            kinds.push_back(g[1]);
            const std::size_t k = static_cast<std::size_t>(g[1].str()[0] - 'a');
            // the dot where the note's figures put it
            EXPECT_NEAR(std::stod(g[3]), at.X(p.notes[k].x), 0.051);
            EXPECT_NEAR(std::stod(g[4]), at.Y(p.notes[k].y), 0.051);
            const double x = std::stod(g[5]), y = std::stod(g[6]);
            const Box b{x, y - 8.0, x + 6.6 * static_cast<double>(g[7].length()), y + 2.0};
            EXPECT_GE(b.l, at.x0);
            EXPECT_LE(b.r, at.x1);
            EXPECT_GE(b.t, at.y0);
            EXPECT_LE(b.b, at.y1);
            for (const Box& o : labels)
                EXPECT_FALSE(b.l < o.r && o.l < b.r && b.t < o.b && o.t < b.b) << g[7] << " covers another label";
            labels.push_back(b);
            // no piece of a line through the box: sampled along each piece
            for (const auto& q : pieces)
                for (int j = 0; j <= 20; ++j) {
                    const double px = q[0] + (q[2] - q[0]) * j / 20, py = q[1] + (q[3] - q[1]) * j / 20;
                    EXPECT_FALSE(px > b.l && px < b.r && py > b.t && py < b.b)
                        << g[7] << " on a line at " << px << ", " << py;
                }
            // a label more than a row off its dot has a leader to it
            if (std::fabs(y - 3.0 - std::stod(g[4])) > 14.0 || x > std::stod(g[3]) + 7.0) {
                EXPECT_TRUE(g[2].matched) << g[7];
            }
        }
        // every note on the scale, and none beyond it
        EXPECT_EQ(kinds, (std::vector<std::string>{"a", "b", "c", "d"}));
    }
}

// Values at the edges of the doubles, in the data or in a scale given,
// still give a chart of finite numbers whose scale covers the finite
// values: subnormals, the largest doubles, all values equal, none a number,
// infinities among them; as y, as x, on a plane at equal scale.
TEST(SvgChart, EveryScaleStaysFiniteWhateverTheValues)
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    constexpr double sub = std::numeric_limits<double>::denorm_min();
    constexpr double big = std::numeric_limits<double>::max();
    const std::vector<std::pair<const char*, std::vector<double>>> values = {
        {"the smallest subnormal and 0", {0.0, sub, sub, 0.0, sub}},
        {"subnormals", {1e-320, 3e-320, 2e-321, 5e-324}},
        {"a normal number at the least span", {1e-305, 3e-305, 2e-305}},
        {"the largest doubles", {-big, big, -big, big}},
        {"one value near the largest double", {1.7e308, 1.7e308, 1.7e308}},
        {"one value near the most negative double", {-1.7e308, -1.7e308}},
        {"all equal", {0.25, 0.25, 0.25}},
        {"all 0", {0.0, 0.0, 0.0}},
        {"none a number", {std::nan(""), std::nan(""), std::nan("")}},
        {"infinities among them", {1.0, inf, 2.0, -inf, 3.0}},
        {"only infinities", {inf, -inf, inf}},
    };
    for (const auto& [what, v] : values) {
        SCOPED_TRACE(what);
        std::vector<double> index;
        for (std::size_t i = 0; i < v.size(); ++i) index.push_back(static_cast<double>(i));
        Chart c;
        c.columns = 2;
        // as y over an ordinary x, as x under an ordinary y, on a plane, with
        // a note, and on the scales given of these values' own range (a
        // span a scale cannot resolve too)
        ChartPanel alongY{"y", "i", "v", {{"v", "#000000", index, v}}, {}};
        alongY.notes = {{"mark", "v[1]", "#000000", 1.0, v[1]}};
        ChartPanel alongX{"x", "v", "i", {{"v", "#000000", v, index}}, {}};
        ChartPanel plane{"plane", "v", "v", {{"v", "#000000", v, v}}, {}};
        plane.equalScale = true;
        ChartPanel given{"given", "v", "v", {{"v", "#000000", v, v}}, {}};
        given.xScale = AxisScale{v[0], v[1], 1.0, {v[0], v[1]}};
        given.yScale = AxisScale{v[1], v[1], 0.0, {v[1]}};
        ChartPanel floored = alongY;
        floored.yFloor = newtonFloor;
        c.panels = {alongY, alongX, plane, given, floored};
        const std::string svg = chartSvg(c);
        EXPECT_EQ(testing::svgFaults(svg), "");
        // the finite values lie on the scale fitted to them
        const ChartLayout layout = chartLayout(c);
        for (double x : v) {
            if (!std::isfinite(x)) continue;
            EXPECT_LE(layout.panels[0].ys.lo, x);
            EXPECT_GE(layout.panels[0].ys.hi, x);
            EXPECT_LE(layout.panels[1].xs.lo, x);
            EXPECT_GE(layout.panels[1].xs.hi, x);
        }
        for (const PanelLayout& at : layout.panels) {
            EXPECT_LT(at.xs.lo, at.xs.hi);
            EXPECT_LT(at.ys.lo, at.ys.hi);
            EXPECT_TRUE(std::isfinite(at.Y(v[0])) || !std::isfinite(v[0]));
        }
    }
}

}  // namespace
}  // namespace hybridsim
