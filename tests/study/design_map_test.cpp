#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "sim/gain_design.h"
#include "sim/run.h"
#include "study/design_map.h"
#include "study/goals.h"
#include "study/loop_poles.h"
#include "study/summary.h"
#include "task/task_setting.h"
#include "task/text_format.h"
#include "tests/support/study_support.h"
#include "tests/test_support.h"

namespace hybridsim {
namespace {

const char* const stepColumns[] = {"overshoot_pct", "overshoot_N", "settling_t_s", "force_rise_t_s", "force_peak_t_s"};

// The batch runner's summary row of the default task with fn2 and the
// other setting set by name.
testing::CsvTable batchSummary(double fn, const char* otherName, double other)
{
    const testing::Outcome r = testing::runBatchHere({"--set", format("fn2=%.17g", fn), "--set",
                                                      format("%s=%.17g", otherName, other), "--summary",
                                                      "--format", "csv"});
    EXPECT_EQ(r.status, 0) << r.err;
    return testing::parseCsv(r.out);
}

// within 1 % of the summary's figure (a hundredth of a percent or a
// millisecond where the figure is about 0), or both none
::testing::AssertionResult sameFigure(double map, double run, double floor)
{
    if (std::isnan(map) && std::isnan(run)) return ::testing::AssertionSuccess();
    if (std::isnan(map) != std::isnan(run))
        return ::testing::AssertionFailure() << "map " << map << ", run " << run << ": one is none";
    return testing::near(map, run, std::max(0.01 * std::fabs(run), floor));
}

double floorOf(const std::string& column)
{
    return column == "overshoot_pct" ? 0.01 : column == "overshoot_N" ? 0.001 : 1e-3;
}

// The run of the default task with the settings set by name, summarized.
RunSummary runAt(const std::vector<std::pair<std::string, double>>& settings)
{
    SimSettings s = testing::defaultSettings();
    for (const auto& [name, value] : settings) {
        const SettingChange c = setTaskSetting(s, name, format("%.17g", value));
        EXPECT_TRUE(c.ok) << c.message;
    }
    deriveSettings(s);
    auto run = std::make_unique<RunSeries>();
    calcontrol(s, *run);
    return summarizeRun(s, currentSeries(*run, s.type));
}

Goal goal(const char* text)
{
    Goal g;
    std::string error;
    EXPECT_TRUE(parseGoal(text, g, error)) << error;
    return g;
}

// Cells of the map, each with its centre's settings: the map's figures
// there are the batch summary's of a run at those settings, within 1 %,
// and "none" where it says none; the pass region, checked on the run's
// summary, agrees on both sides of its border.
TEST(DesignMap, CellsAreTheSummarysFiguresOfARunAtTheirDesigns)
{
    const SimSettings s = testing::defaultSettings();
    const std::vector<Goal> goals{goal("overshoot_pct <= 3"), goal("settling_t_s < 0.5"), goal("s_err_max_m < 1")};
    DesignMapRequest request;
    const DesignMap map = designMap(s, request, goals);
    ASSERT_GE(map.columns, 60);
    ASSERT_GE(map.rows, 60);
    ASSERT_EQ(map.values.size(), static_cast<std::size_t>(map.columns * map.rows));
    // the current design inside the plane, the goals told apart
    EXPECT_GT(map.fn, map.x.lo);
    EXPECT_LT(map.fn, map.x.hi);
    EXPECT_GT(map.other, map.y.lo);
    EXPECT_LT(map.other, map.y.hi);
    EXPECT_EQ(map.checked.size(), 2u);
    ASSERT_EQ(map.leftOut.size(), 1u);
    EXPECT_EQ(map.leftOut[0].name, "s_err_max_m");

    // the cells: the corners, the middle, the pairs across the border in
    // the middle row and column, and a cell that never settles
    std::vector<std::pair<int, int>> cells{{0, 0}, {map.columns - 1, map.rows - 1}, {0, map.rows - 1},
                                           {map.columns / 2, map.rows / 2}};
    int borders = 0;
    auto passAt = [&](int i, int j) { return map.pass[static_cast<std::size_t>(j * map.columns + i)]; };
    for (int i = 0; i + 1 < map.columns && borders < 1; ++i)
        if (passAt(i, map.rows / 2) != passAt(i + 1, map.rows / 2)) {
            cells.push_back({i, map.rows / 2});
            cells.push_back({i + 1, map.rows / 2});
            ++borders;
        }
    for (int j = 0; j + 1 < map.rows && borders < 2; ++j)
        if (passAt(map.columns / 2, j) != passAt(map.columns / 2, j + 1)) {
            cells.push_back({map.columns / 2, j});
            cells.push_back({map.columns / 2, j + 1});
            ++borders;
        }
    EXPECT_EQ(borders, 2) << "the goals' border crosses the middle row and column";
    bool never = false;
    for (const auto& [i, j] : cells) {
        const double fn = map.x.at((i + 0.5) / map.columns);
        const double alpha = map.y.at((j + 0.5) / map.rows);
        SCOPED_TRACE(format("cell %d, %d: fn2 %.6g, alpha2 %.6g", i, j, fn, alpha));
        const testing::CsvTable t = batchSummary(fn, "alpha2", alpha);
        for (const char* column : stepColumns) {
            const double cell = designMapValue(s, MapPlane::alpha, column, fn, alpha);
            EXPECT_TRUE(sameFigure(cell, t.at(0, column), floorOf(column))) << column;
        }
        EXPECT_TRUE(sameFigure(map.values[static_cast<std::size_t>(j * map.columns + i)], t.at(0, "overshoot_pct"),
                               0.01));
        // the pass region: every goal the map checks, on the run's summary
        const RunSummary r = runAt({{"fn2", fn}, {"alpha2", alpha}});
        bool all = true;
        for (const Goal& g : map.checked) all = all && checkGoal(g, r).pass;
        EXPECT_EQ(passAt(i, j) != 0, all);
    }
    // a plane of slow designs: the corners' runs never settle or never rise
    request.xLo = 0.1;
    request.xHi = 10.0;
    request.yLo = 0.0;
    request.yHi = 0.2;
    const DesignMap slow = designMap(s, request, {});
    for (const auto& [i, j] : {std::pair{0, 0}, std::pair{0, slow.rows - 1}}) {
        const double fn = slow.x.at((i + 0.5) / slow.columns);
        const double alpha = slow.y.at((j + 0.5) / slow.rows);
        const testing::CsvTable t = batchSummary(fn, "alpha2", alpha);
        const double settling = designMapValue(s, MapPlane::alpha, "settling_t_s", fn, alpha);
        EXPECT_TRUE(sameFigure(settling, t.at(0, "settling_t_s"), 1e-3));
        EXPECT_TRUE(sameFigure(designMapValue(s, MapPlane::alpha, "force_rise_t_s", fn, alpha),
                               t.at(0, "force_rise_t_s"), 1e-3));
        never = never || std::isnan(settling);
    }
    EXPECT_TRUE(never) << "a corner's run never settles";
}

// The plane of zeta2, and designs of every kind of step: a pair of
// complex poles that rings, two real poles far apart, a slow integral
// that leaves the force outside the band at the run's end, and one that
// settles within the run's last second.
TEST(DesignMap, EveryKindOfStepIsTheSummarys)
{
    const SimSettings s = testing::defaultSettings();
    struct Case {
        double fn;
        const char* other;
        double value;
    };
    for (const Case& c : {Case{20.0, "zeta2", 0.2}, Case{3.0, "zeta2", 2.5}, Case{20.0, "alpha2", 200.0},
                          Case{2.0, "alpha2", 60.0}, Case{20.0, "alpha2", 0.1}, Case{150.0, "alpha2", 7.0},
                          Case{0.3, "alpha2", 0.5}}) {
        SCOPED_TRACE(format("fn2 %g, %s %g", c.fn, c.other, c.value));
        const MapPlane plane = std::string(c.other) == "zeta2" ? MapPlane::zeta : MapPlane::alpha;
        const testing::CsvTable t = batchSummary(c.fn, c.other, c.value);
        for (const char* column : stepColumns)
            EXPECT_TRUE(sameFigure(designMapValue(s, plane, column, c.fn, c.value), t.at(0, column), floorOf(column)))
                << column;
    }
    // the zeta2 plane's cells are those designs too
    DesignMapRequest request;
    request.plane = MapPlane::zeta;
    request.figure = "settling_t_s";
    const DesignMap map = designMap(s, request, {});
    EXPECT_TRUE(map.pass.empty());
    const int i = 17, j = 5;
    const double fn = map.x.at((i + 0.5) / map.columns);
    const double zeta = map.y.at((j + 0.5) / map.rows);
    EXPECT_TRUE(sameFigure(map.values[static_cast<std::size_t>(j * map.columns + i)],
                           batchSummary(fn, "zeta2", zeta).at(0, "settling_t_s"), 1e-3));
}

// The closed form's figures against the curve itself, sampled finely:
// every kind of roots, a negative Fn, no step, growing steps.
TEST(DesignMap, TheClosedFormsFiguresAreTheCurvesOwn)
{
    struct Case {
        double b, c, Fn;
    };
    const double end = 8.0;
    for (const Case& k : {Case{60.0, 120.0, 10.0}, Case{2.0, 400.0, 10.0}, Case{20.0, 100.0, -4.0},
                          Case{8.0, 0.0, 3.0}, Case{0.3, 0.05, 10.0}, Case{-0.5, 30.0, 10.0}, Case{5.0, 2000.0, 1.0}}) {
        SCOPED_TRACE(format("b %g, c %g, Fn %g", k.b, k.c, k.Fn));
        SimSettings s;
        s.Fn = k.Fn;
        s.Kv2 = 1.0;
        s.Kp2 = k.b + 1.0;
        s.Ki2 = k.c;
        const ModelStep m = modelStep(k.b, k.c, k.Fn, end);
        ASSERT_TRUE(m.computed);
        // the curve on a fine grid: its largest excess, first times at 10 %
        // and 90 %, last time outside 2 %
        const int n = 400000;
        double most = 0.0, from = NAN, to = NAN, last = 0.0;
        const double sign = k.Fn < 0 ? -1.0 : 1.0;
        for (int q = 0; q <= n; ++q) {
            const double t = end * q / n;
            const double g = sign * modelForceStep(s, t) / std::fabs(k.Fn);
            most = std::max(most, g - 1.0);
            if (std::isnan(from) && g >= 0.1) from = t;
            if (std::isnan(to) && g >= 0.9) to = t;
            if (std::fabs(g - 1.0) > 0.02) last = t;
        }
        const double h = 2.0 * end / n;
        EXPECT_NEAR(m.overshootPercent, 100.0 * most, 1e-6 + 1e-6 * std::fabs(most) * 100.0);
        EXPECT_NEAR(m.overshoot, most * std::fabs(k.Fn), 1e-6 + 1e-6 * std::fabs(most * k.Fn));
        EXPECT_NEAR(m.riseFromTime, from, h);
        EXPECT_NEAR(m.riseToTime, to, h);
        if (last >= end) {
            EXPECT_TRUE(std::isnan(m.settlingTime));
        } else {
            EXPECT_NEAR(m.settlingTime, last, h);
        }
        if (most > 0.0) {
            EXPECT_NEAR(m.peakForce, k.Fn + sign * most * std::fabs(k.Fn), 1e-6 * std::fabs(k.Fn));
        }
    }
    // no step: nothing to rise, settled from the start
    const ModelStep zero = modelStep(60.0, 120.0, 0.0, end);
    EXPECT_EQ(zero.settlingTime, 0.0);
    EXPECT_EQ(zero.overshoot, 0.0);
    EXPECT_TRUE(std::isnan(zero.riseTime));
    EXPECT_TRUE(std::isnan(zero.overshootPercent));
    // gains beyond numbers: no closed form
    EXPECT_FALSE(modelStep(NAN, 1.0, 10.0, end).computed);
    // a ring too fast to count its turns one by one in a double (some 1e20
    // of them in the run): the figures still come, and at once
    const ModelStep fast = modelStep(2.0, 1e40, 1.0, end);
    EXPECT_TRUE(fast.computed);
    EXPECT_TRUE(std::isnan(fast.settlingTime) || fast.settlingTime <= end);
}

// The picture: cells, the outline only with a goal the map checks, the
// ring at the current design and the pins' dots, a key for none.
TEST(DesignMap, ThePictureShowsTheCellsTheOutlineAndTheDesigns)
{
    const SimSettings s = testing::defaultSettings();
    DesignMapRequest request;
    request.xLo = 0.1;
    request.xHi = 10.0;
    request.yLo = 0.0;
    request.yHi = 0.2;
    request.figure = "settling_t_s";
    const DesignMap plain = designMap(s, request, {goal("s_err_max_m < 1")});
    const std::vector<MapMark> pins{{1.0, 0.1, "pin 1", "#1f77b4"}, {1e4, 0.1, "pin 2", "#ff7f0e"}};
    const std::string svg = designMapSvg(plain, pins, 480);
    EXPECT_EQ(testing::svgFaults(svg), "");
    EXPECT_EQ(svg.find("pass-outline"), std::string::npos) << "no goal the map checks";
    EXPECT_NE(svg.find("class=\"design-point\""), std::string::npos);
    EXPECT_NE(svg.find("data-label=\"pin 1\""), std::string::npos);
    EXPECT_EQ(svg.find("data-label=\"pin 2\""), std::string::npos) << "beyond the plane";
    EXPECT_NE(svg.find("none-key"), std::string::npos) << "the slowest integrals never settle";
    EXPECT_NE(svg.find(">fn2 [Hz], log scale<"), std::string::npos);
    EXPECT_NE(svg.find(">alpha2 [1/s]<"), std::string::npos);
    // the ring where the frame puts the current design: beyond both ends
    // here, at the plot area's corner
    const MapFrame f = designMapFrame(480);
    EXPECT_NE(svg.find(format("class=\"design-point\" cx=\"%.2f\" cy=\"%.2f\"", f.left + f.width, f.top)),
              std::string::npos);
    EXPECT_NEAR(f.left + plain.x.share(1.0) * f.width, f.left + f.width / 2, 1e-9) << "1 Hz in the middle";

    const DesignMap goals = designMap(s, DesignMapRequest{}, {goal("overshoot_pct <= 3")});
    const std::string outlined = designMapSvg(goals, {}, 480);
    EXPECT_EQ(testing::svgFaults(outlined), "");
    EXPECT_NE(outlined.find("class=\"pass-outline\" d=\"M"), std::string::npos);
}

}  // namespace
}  // namespace hybridsim
