// The run summary: the distance to each contour, the figures against an
// independent computation from the batch runner's CSV, the teaching contrast
// of methods 7 and 8, and samples holding not-a-number.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/batch.h"
#include "sim/derivation.h"
#include "study/goals.h"
#include "study/loop_poles.h"
#include "study/summary.h"
#include "study/svg_chart.h"
#include "task/text_format.h"
#include "tests/support/study_support.h"
#include "tests/test_support.h"

namespace hybridsim {
namespace {

using testing::CsvTable;
using testing::Outcome;
using testing::near;
using testing::parseCsv;
using testing::runBatchHere;
using testing::studyTask;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// Distance to the sine of the settings by brute force: the squared distance
// at 200,000 abscissae over [p.x - 1, p.x + 1], then the best one refined by
// bisection on the sign of the derivative.
double bruteSineDistance(const SimSettings& s, Vec2 p)
{
    const double k = 2.0 * pi / s.sineL;
    auto y = [&](double x) { return s.sineA * std::sin(k * (x - s.sineX0)) + s.sineY0; };
    auto f = [&](double x) { return (x - p.x) * (x - p.x) + (y(x) - p.y) * (y(x) - p.y); };
    const int n = 200000;
    const double h = 2.0 / n;
    double bestX = p.x - 1.0;
    double best = f(bestX);
    for (int i = 1; i <= n; ++i) {
        const double x = p.x - 1.0 + i * h;
        const double v = f(x);
        if (v < best) {
            best = v;
            bestX = x;
        }
    }
    auto slope = [&](double x) {
        return (x - p.x) + (y(x) - p.y) * s.sineA * k * std::cos(k * (x - s.sineX0));
    };
    double a = bestX - h, b = bestX + h;
    for (int i = 0; i < 100; ++i) {
        const double m = 0.5 * (a + b);
        if (slope(m) > 0.0)
            b = m;
        else
            a = m;
    }
    return std::sqrt(std::min(best, f(0.5 * (a + b))));
}

TEST(ContourDistance, LineCircleAndSine)
{
    SimSettings s = testing::defaultSettings();

    // a slanted line: the perpendicular distance, on both sides and beyond its ends
    s.curve = 'L';
    s.lineX0 = 0.1;
    s.lineY0 = 0.1;
    s.lineXf = 0.4;
    s.lineYf = 0.5;  // direction (0.6, 0.8)
    EXPECT_TRUE(near(distanceToContour(s, Vec2{0.1 + 0.8 * 0.02, 0.1 - 0.6 * 0.02}), 0.02, 1e-15));
    EXPECT_TRUE(near(distanceToContour(s, Vec2{0.1 - 0.8 * 0.03, 0.1 + 0.6 * 0.03}), 0.03, 1e-15));
    EXPECT_TRUE(near(distanceToContour(s, Vec2{0.4 + 0.6, 0.5 + 0.8}), 0.0, 1e-15));
    s.lineXf = s.lineX0;
    s.lineYf = s.lineY0;
    EXPECT_TRUE(near(distanceToContour(s, Vec2{0.13, 0.14}), 0.05, 1e-15));

    // a circle: inside, outside, the centre
    s.curve = 'C';
    EXPECT_TRUE(near(distanceToContour(s, Vec2{0.4 + 0.2, 0.0}), 0.05, 1e-15));
    EXPECT_TRUE(near(distanceToContour(s, Vec2{0.4, -0.3}), 0.05, 1e-15));
    EXPECT_TRUE(near(distanceToContour(s, Vec2{0.4, 0.0}), 0.25, 1e-15));

    // the sine y = 0.2 sin(2 pi (x - 0.2) / 0.6) + 0.3; its crest at x = 0.35
    // bends with a radius of 1 / (A k^2) = 0.0456 m
    s.curve = 'S';
    EXPECT_EQ(distanceToContour(s, Vec2{0.2, 0.3}), 0.0);
    EXPECT_TRUE(near(distanceToContour(s, Vec2{0.35, 0.5 + 0.01}), 0.01, 1e-12));
    EXPECT_TRUE(near(distanceToContour(s, Vec2{0.35, 0.5 - 0.01}), 0.01, 1e-12));
    // far below the crest the nearest points lie on its flanks, not at the
    // crest and not straight below; and on a steep flank the vertical
    // distance is far more than the true one
    for (Vec2 p : {Vec2{0.35, 0.5 - 0.1}, Vec2{0.2 + 0.003, 0.3 - 0.004}, Vec2{0.52, 0.13},
                   Vec2{1.3, -0.7}, Vec2{0.2, 0.3 + 1e-7}}) {
        SCOPED_TRACE(::testing::Message() << "p = (" << p.x << ", " << p.y << ")");
        EXPECT_TRUE(near(distanceToContour(s, p), bruteSineDistance(s, p), 1e-12));
    }
    // and over a grid of points in and around the wave, where two or three
    // parts of the curve compete for the nearest
    for (int i = 0; i < 12; ++i) {
        for (int j = 0; j < 9; ++j) {
            const Vec2 p{0.05 + 0.0625 * i, 0.02 + 0.0625 * j};
            SCOPED_TRACE(::testing::Message() << "p = (" << p.x << ", " << p.y << ")");
            EXPECT_TRUE(near(distanceToContour(s, p), bruteSineDistance(s, p), 1e-11));
        }
    }
    EXPECT_LT(distanceToContour(s, Vec2{0.35, 0.4}), 0.1 - 0.01);

    // nothing to measure
    EXPECT_TRUE(std::isnan(distanceToContour(s, Vec2{nan, 0.3})));
    s.curve = 'X';
    EXPECT_TRUE(std::isnan(distanceToContour(s, Vec2{0.3, 0.3})));
}

// The fast search (Newton's method from a guess of the foot) against the
// sampled search: the same distance wherever the point is and whatever the
// guess, near the curve where a run's tip is and far from it where several
// parts of the curve compete.
TEST(ContourDistance, NewtonFromAnyGuessGivesTheSampledSearchsDistance)
{
    for (const auto& [A, L] : {std::pair<double, double>{0.2, 0.6}, {0.05, 0.3}, {-0.15, 0.8}, {0.0, 0.5}}) {
        SimSettings s = testing::defaultSettings();
        s.curve = 'S';
        s.sineA = A;
        s.sineL = L;
        const double k = 2.0 * pi / L;
        std::vector<Vec2> points;
        // along the normals of the curve, from a nanometre to 4 cm on both sides
        for (double x = 0.2; x < 0.2 + L; x += L / 37.0) {
            const double y = A * std::sin(k * (x - 0.2)) + 0.3;
            const double slope = A * k * std::cos(k * (x - 0.2));
            const double norm = std::hypot(1.0, slope);
            for (double d : {1e-9, 1e-5, 1e-3, 0.01, -0.002, -0.04})
                points.push_back({x - d * slope / norm, y + d / norm});
        }
        // and a grid over and around the wave
        for (int i = 0; i < 15; ++i)
            for (int j = 0; j < 11; ++j) points.push_back({-0.3 + 0.1 * i, -0.3 + 0.12 * j});
        for (const Vec2 p : points) {
            SCOPED_TRACE(::testing::Message() << "A " << A << ", L " << L << ", p = (" << p.x << ", " << p.y << ")");
            const double expected = sampledSineDistance(s, p);
            EXPECT_TRUE(near(distanceToContour(s, p), expected, 1e-14));
            // a good guess, a guess half a wave off, no guess
            for (double guess : {p.x + 1e-4, p.x + L / 2.0, nan}) {
                double foot = guess;
                EXPECT_TRUE(near(distanceToContour(s, p, foot), expected, 1e-14)) << "guess " << guess;
                // the foot given back is the nearest point's abscissa
                const double footY = A * std::sin(k * (foot - 0.2)) + 0.3;
                EXPECT_TRUE(near(std::hypot(foot - p.x, footY - p.y), expected, 1e-12)) << "guess " << guess;
            }
        }
    }
}

// The figures computed here from the recorded series as the batch runner
// writes them.
struct Expected {
    double finalForce = nan, finalForceErr = nan, reachedTime = nan, forceErrMaxAfter = nan;
    double sErrRms = 0, sErrMax = 0, contourDistMax = 0, posErrMax = 0;
    double posErrTan = 0, posErrNorm = 0;
    double springDiff = nan, springMin = nan, springMax = nan;
    // The step figures lie between the samples: what the samples bound them by.
    bool stepRead = false;
    double sampledOvershoot = nan;   // the largest overshoot at a sample (the figure is at least this)
    double settledAfter = nan;       // the last sample outside the 2 % band (nan: none) ...
    double settledBy = nan;          // ... and the first sample inside after it (nan: never settled)
    double t10Lo = nan, t10Hi = nan;  // the samples around the first reaching of 10 % of the step
    double t90Lo = nan, t90Hi = nan;  // ... and of 90 %
    double sampledPeakTime = nan;     // the sample of the largest force
    int nanSamples = 0;
};

// The normal angle of the contour at p, computed here: the line's right-hand
// side, towards the circle's centre, below the sine's slope.
double normalAt(const SimSettings& s, Vec2 p)
{
    if (s.curve == 'L') return std::atan2(s.lineYf - s.lineY0, s.lineXf - s.lineX0) - pi / 2;
    if (s.curve == 'C') return std::atan2(s.circleOy - p.y, s.circleOx - p.x);
    const double k = 2.0 * pi / s.sineL;
    return std::atan(s.sineA * k * std::cos(k * (p.x - s.sineX0))) - pi / 2;
}

// Foot of the perpendicular from p on the sine by Newton's method on the
// derivative of the squared distance, started below p.
double newtonSineDistance(const SimSettings& s, Vec2 p)
{
    const double k = 2.0 * pi / s.sineL;
    double x = p.x;
    for (int i = 0; i < 50; ++i) {
        const double y = s.sineA * std::sin(k * (x - s.sineX0)) + s.sineY0;
        const double y1 = s.sineA * k * std::cos(k * (x - s.sineX0));
        const double y2 = -s.sineA * k * k * std::sin(k * (x - s.sineX0));
        const double g = (x - p.x) + (y - p.y) * y1;
        const double dg = 1.0 + y1 * y1 + (y - p.y) * y2;
        x -= g / dg;
    }
    const double y = s.sineA * std::sin(k * (x - s.sineX0)) + s.sineY0;
    return std::hypot(x - p.x, y - p.y);
}

Expected fromCsv(const SimSettings& s, const CsvTable& t)
{
    Expected e;
    const std::size_t last = t.rows.size() - 1;
    double sumSq = 0;
    int count = 0;
    bool reached = false;
    for (std::size_t i = 0; i <= last; ++i) {
        bool anyNan = false;
        for (double v : t.rows[i]) anyNan = anyNan || !std::isfinite(v);
        e.nanSamples += anyNan ? 1 : 0;
        // the force figures read only the samples with a posture: every number finite
        const double force = t.at(i, "force");
        if (!anyNan) {
            e.finalForce = force;
            e.finalForceErr = t.at(i, "force_err");
            if (!reached && std::fabs(force - s.Fn) <= 0.05 * s.Fn) {
                reached = true;
                e.reachedTime = t.at(i, "t");
                e.forceErrMaxAfter = 0;
            }
            if (reached) e.forceErrMaxAfter = std::max(e.forceErrMaxAfter, std::fabs(t.at(i, "force_err")));
        }
        const double se = t.at(i, "s_err");
        const Vec2 tip{t.at(i, "tip_x"), t.at(i, "tip_y")};
        const Vec2 err{t.at(i, "err_x"), t.at(i, "err_y")};
        if (!std::isnan(se)) {
            sumSq += se * se;
            ++count;
            e.sErrMax = std::max(e.sErrMax, std::fabs(se));
        }
        if (!std::isnan(err.x)) e.posErrMax = std::max(e.posErrMax, std::sqrt(err.x * err.x + err.y * err.y));
        if (std::isnan(tip.x)) continue;
        if (!std::isnan(err.x)) {
            const double n = normalAt(s, tip);
            e.posErrNorm = std::max(e.posErrNorm, std::fabs(err.x * std::cos(n) + err.y * std::sin(n)));
            e.posErrTan = std::max(e.posErrTan, std::fabs(-err.x * std::sin(n) + err.y * std::cos(n)));
        }
        if (!anyNan) {
            const double spring = t.at(i, "spring_force");
            e.springDiff = std::isnan(e.springDiff) ? std::fabs(spring - force)
                                                    : std::max(e.springDiff, std::fabs(spring - force));
            if (reached) {
                e.springMin = std::isnan(e.springMin) ? spring : std::min(e.springMin, spring);
                e.springMax = std::isnan(e.springMax) ? spring : std::max(e.springMax, spring);
            }
        }
        double d = 0;
        if (s.curve == 'C') {
            d = std::fabs(std::sqrt((tip.x - s.circleOx) * (tip.x - s.circleOx) +
                                    (tip.y - s.circleOy) * (tip.y - s.circleOy)) -
                          s.circleR);
        } else if (s.curve == 'L') {
            // the tip minus its projection on the line
            const double ux = s.lineXf - s.lineX0, uy = s.lineYf - s.lineY0;
            const double along = ((tip.x - s.lineX0) * ux + (tip.y - s.lineY0) * uy) / (ux * ux + uy * uy);
            d = std::hypot(tip.x - s.lineX0 - along * ux, tip.y - s.lineY0 - along * uy);
        } else {
            d = newtonSineDistance(s, tip);
        }
        e.contourDistMax = std::max(e.contourDistMax, d);
    }
    e.sErrRms = std::sqrt(sumSq / count);

    // the step response at the samples in reach, which bound the figures read between them
    auto inReach = [&](std::size_t i) {
        for (double v : t.rows[i])
            if (!std::isfinite(v)) return false;
        return true;
    };
    e.stepRead = inReach(0) && last > 0 && inReach(1);
    if (!e.stepRead) return e;
    const double sign = s.Fn < 0 ? -1.0 : 1.0;
    const double band = 0.02 * std::fabs(s.Fn);
    double peak = -1e300, tPrev = nan;
    bool inside = false;
    for (std::size_t i = 0; i <= last; ++i) {
        if (!inReach(i)) continue;
        const double f = sign * t.at(i, "force");
        const double time = t.at(i, "t");
        for (auto [level, lo, hi] : {std::tuple{0.1 * std::fabs(s.Fn), &e.t10Lo, &e.t10Hi},
                                     std::tuple{0.9 * std::fabs(s.Fn), &e.t90Lo, &e.t90Hi}})
            if (std::isnan(*hi) && f >= level) {
                *lo = tPrev;
                *hi = time;
            }
        if (f > peak) {
            peak = f;
            e.sampledPeakTime = time;
        }
        const bool in = std::fabs(sign * f - s.Fn) <= band;
        if (!in) {
            e.settledAfter = time;
            e.settledBy = nan;
        } else if (!inside) {
            e.settledBy = time;
        }
        inside = in;
        tPrev = time;
    }
    e.sampledOvershoot = std::max(0.0, peak - std::fabs(s.Fn));
    return e;
}

// The summary as CSV, its one row checked against the figures computed here.
void checkSummary(const std::vector<std::string>& task, const SimSettings& s)
{
    std::vector<std::string> args = task;
    args.insert(args.end(), {"--csv", "-"});
    const testing::Outcome series = runBatchHere(args);
    ASSERT_EQ(series.status, exitOk) << series.err;
    const Expected e = fromCsv(s, parseCsv(series.out));

    args = task;
    args.insert(args.end(), {"--summary", "--format", "csv"});
    const testing::Outcome summary = runBatchHere(args);
    ASSERT_EQ(summary.status, exitOk) << summary.err;
    const CsvTable t = parseCsv(summary.out);
    ASSERT_EQ(t.rows.size(), 1u) << summary.out;
    EXPECT_EQ(t.at(0, "samples"), 201);
    EXPECT_EQ(t.at(0, "nan_samples"), e.nanSamples);
    auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
    EXPECT_PRED2(same, t.at(0, "final_force_N"), e.finalForce);
    EXPECT_PRED2(same, t.at(0, "final_force_err_N"), e.finalForceErr);
    EXPECT_PRED2(same, t.at(0, "force_reached_t_s"), e.reachedTime);
    EXPECT_PRED2(same, t.at(0, "force_err_max_after_N"), e.forceErrMaxAfter);
    EXPECT_TRUE(near(t.at(0, "s_err_rms_m"), e.sErrRms, 1e-15));
    EXPECT_EQ(t.at(0, "s_err_max_m"), e.sErrMax);
    EXPECT_TRUE(near(t.at(0, "pos_err_max_m"), e.posErrMax, 1e-15));
    EXPECT_TRUE(near(t.at(0, "contour_dist_max_m"), e.contourDistMax, 1e-12));
    EXPECT_EQ(t.at(0, "seterror_m"), s.seterror);
    EXPECT_EQ(t.at(0, "Fn_N"), s.Fn);
    EXPECT_TRUE(near(t.at(0, "pos_err_tan_max_m"), e.posErrTan, 1e-12));
    EXPECT_TRUE(near(t.at(0, "pos_err_norm_max_m"), e.posErrNorm, 1e-12));
    EXPECT_PRED2(same, t.at(0, "spring_force_diff_max_N"), e.springDiff);
    EXPECT_PRED2(same, t.at(0, "spring_force_min_N"), e.springMin);
    EXPECT_PRED2(same, t.at(0, "spring_force_max_N"), e.springMax);
    // the step figures, between the samples that bound them
    const char* step[] = {"overshoot_N", "overshoot_pct", "settling_t_s", "force_rise_t_s",
                          "force_peak_N", "force_peak_t_s", "force_steady_err_N"};
    if (!e.stepRead) {
        for (const char* figure : step) EXPECT_TRUE(std::isnan(t.at(0, figure))) << figure;
    } else {
        const double overshoot = t.at(0, "overshoot_N");
        EXPECT_GE(overshoot, e.sampledOvershoot);
        EXPECT_LT(overshoot, e.sampledOvershoot + 0.05 * std::fabs(s.Fn));
        EXPECT_DOUBLE_EQ(t.at(0, "overshoot_pct"), 100.0 * overshoot / std::fabs(s.Fn));
        const double settling = t.at(0, "settling_t_s");
        if (std::isnan(e.settledBy)) {
            EXPECT_TRUE(std::isnan(settling));
            EXPECT_TRUE(std::isnan(t.at(0, "force_steady_err_N")));
        } else {
            EXPECT_GE(settling, e.settledAfter);
            EXPECT_LE(settling, e.settledBy);
            EXPECT_EQ(t.at(0, "force_steady_err_N"), e.finalForceErr);
        }
        if (std::isnan(e.t90Hi)) {
            EXPECT_TRUE(std::isnan(t.at(0, "force_rise_t_s")));
        } else {
            EXPECT_GT(t.at(0, "force_rise_t_s"), e.t90Lo - e.t10Hi);
            EXPECT_LT(t.at(0, "force_rise_t_s"), e.t90Hi - e.t10Lo);
        }
        if (overshoot > 0) {
            EXPECT_GE(std::fabs(t.at(0, "force_peak_N")), std::fabs(s.Fn) + e.sampledOvershoot);
            EXPECT_LE(std::fabs(t.at(0, "force_peak_t_s") - e.sampledPeakTime), s.dt);
        }
    }
    // the new columns come after the ones that were there before, in the same order
    EXPECT_EQ(t.names.size(), 27u);
    EXPECT_EQ(t.column("force_rise_t_s"), 18);
    EXPECT_EQ(t.column("pos_err_max_m"), 14);
    EXPECT_EQ(t.column("overshoot_N"), 15);
    EXPECT_EQ(t.column("force_steady_err_N"), 21);
    EXPECT_EQ(t.column("spring_force_max_N"), 26);
}

TEST(StudySummary, FiguresAgreeWithTheRecordedSeries)
{
    {
        SCOPED_TRACE("the default task: robot b, method 8, sine");
        checkSummary({}, testing::defaultSettings());
    }
    {
        SCOPED_TRACE("robot a, method 7, a slanted line, 3 mm setting error, Fn 8 N");
        SimSettings s = testing::defaultSettings();
        s.curve = 'L';
        s.Fn = 8.0;
        s.seterror = 0.003;
        s.lineX0 = 0.2;
        s.lineY0 = -0.1;
        s.lineXf = 0.5;
        s.lineYf = 0.3;
        checkSummary({studyTask("robot_a_slanted_line.dat")}, s);
    }
    {
        SCOPED_TRACE("robot b out of reach over most of a line");
        SimSettings s = testing::defaultSettings();
        s.curve = 'L';
        s.seterror = 0.0;
        s.lineX0 = 0.9;
        s.lineY0 = 0.0;
        s.lineXf = 1.4;
        s.lineYf = 0.0;
        checkSummary({studyTask("out_of_reach.dat")}, s);
    }
    {
        SCOPED_TRACE("robot b reaches the line only late: no step to read");
        SimSettings s = testing::defaultSettings();
        s.curve = 'L';
        s.l1 = 0.7;
        s.l2 = 0.35 - s.wp;
        checkSummary({"--set", "l1=0.7", "--set", "l2=0.35", "--set", "contour=L"}, s);
    }
    {
        SCOPED_TRACE("springs too stiff for the numbers: only sample 0 has a posture");
        SimSettings s = testing::defaultSettings();
        s.KH1 = 1e308;
        checkSummary({"--set", "KH1=1e308"}, s);
    }
}

// The contact's figures under contact=spring, read off the recorded force:
// a lagging servo on a fast sine leaves the surface, a rigid default task
// does not; the ideal contact's text and CSV do not show them.
TEST(StudySummary, TheContactFiguresCountTheSamplesOffTheSurface)
{
    struct Case {
        std::vector<std::string> set;
        bool losesContact;
    };
    const std::vector<Case> cases = {
        {{"contact=spring"}, false},
        {{"contact=spring", "tf=0.5", "servo=0.1"}, true},
        {{"contact=spring", "period=0.04"}, true},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--summary", "--format", "csv", "--csv", "-"};
        for (const std::string& v : c.set) args.insert(args.end(), {"--set", v});
        SCOPED_TRACE(c.set.back());
        const testing::Outcome out = runBatchHere(args);
        ASSERT_EQ(out.status, exitOk) << out.err;
        // the summary first, then the series
        const std::size_t split = out.out.find("\ni,t,");
        ASSERT_NE(split, std::string::npos);
        const CsvTable summary = parseCsv(out.out.substr(0, split + 1));
        const CsvTable series = parseCsv(out.out.substr(split + 1));
        int off = 0, first = -1;
        double largest = 0.0;
        bool pushed = false;
        for (std::size_t i = 0; i < series.rows.size(); ++i) {
            const double force = series.at(i, "force");
            EXPECT_GE(force, 0.0) << i;
            if (pushed && force <= 0.0) {
                ++off;
                if (first < 0) first = static_cast<int>(i);
            }
            pushed = pushed || force > 0.0;
            largest = std::max(largest, force);
        }
        EXPECT_EQ(off > 0, c.losesContact);
        EXPECT_EQ(summary.at(0, "off_surface_samples"), off);
        if (first < 0) {
            EXPECT_TRUE(std::isnan(summary.at(0, "contact_lost_t_s")));
        } else {
            EXPECT_EQ(summary.at(0, "contact_lost_t_s"), series.at(static_cast<std::size_t>(first), "t"));
        }
        EXPECT_EQ(summary.at(0, "force_max_N"), largest);
    }
    // the ideal contact: none of them in the text or the CSV
    const testing::Outcome ideal = runBatchHere({"--summary"});
    EXPECT_EQ(ideal.out.find("contact first lost"), std::string::npos);
    EXPECT_EQ(ideal.out.find("spring contact"), std::string::npos);
    const testing::Outcome spring = runBatchHere({"--summary", "--set", "contact=spring"});
    EXPECT_NE(spring.out.find("contact first lost at                                never\n"), std::string::npos)
        << spring.out;
    EXPECT_NE(spring.out.find(", spring contact (KW inf N/m, period 0 s, servo 0 s), samples"), std::string::npos);
}

// The step response figures on a made-up run of 10 samples, without the
// force between them (a series no run made): the force is the straight line
// from sample to sample, the samples out of reach left out and no line
// drawn across them.
TEST(StudySummary, OvershootAndSettlingTimeOfAStepResponse)
{
    SimSettings s = testing::defaultSettings();
    s.nsteps = 9;
    auto figures = [&](double Fn, std::vector<double> forces, int outOfReach) {
        s.Fn = Fn;
        SeriesSet set;
        for (int i = 0; i <= s.nsteps; ++i) {
            set.time[i] = 0.04 * i;
            set.contactForce[i] = forces[static_cast<std::size_t>(i)];
            set.forceErr[i] = forces[static_cast<std::size_t>(i)] - Fn;
            set.jointPos[i] = i == outOfReach ? Joints{nan, nan} : Joints{0.3, 0.4};
            set.tipPos[i] = {0.2, 0.3};
        }
        return summarizeRun(s, set);
    };
    // Fn 50 N: band 49..51 N; 56 N is the peak; sample 7 on the band's edge;
    // sample 8 (150 N) out of reach, its force no contact's
    const std::vector<double> step = {0, 30, 52.5, 56, 49, 48.5, 50.5, 51.0, 150, 49.5};
    RunSummary r = figures(50.0, step, 8);
    EXPECT_TRUE(r.stepRead);
    EXPECT_EQ(r.overshoot, 6.0);
    EXPECT_EQ(r.overshootPercent, 12.0);
    // back into the band on the line from 48.5 N (sample 5) to 50.5 N, a quarter of the way
    EXPECT_NEAR(r.settlingTime, 0.04 * 5.25, 1e-12);
    // 10 % (5 N) between samples 0 and 1 (0 and 30 N), 90 % (45 N) between
    // 1 and 2 (30 and 52.5 N); the peak 56 N at sample 3 (150 N out of
    // reach); settled, 49.5 - 50 N at the last
    EXPECT_NEAR(r.riseFromTime, 0.04 * 5 / 30, 1e-12);
    EXPECT_NEAR(r.riseTime, (0.04 + 0.04 * 15 / 22.5) - 0.04 * 5 / 30, 1e-12);
    EXPECT_EQ(r.peakForce, 56.0);
    EXPECT_EQ(r.peakTime, 0.04 * 3);
    EXPECT_EQ(r.steadyError, -0.5);
    // the last sample outside the band: never settled, and no steady state
    std::vector<double> late = step;
    late[9] = 51.5;
    r = figures(50.0, late, 8);
    EXPECT_TRUE(std::isnan(r.settlingTime));
    EXPECT_TRUE(std::isnan(r.steadyError));
    // the force last leaves the band just before the gap and is back inside
    // after it: settled from the first sample after the gap
    std::vector<double> gap = step;
    gap[7] = 52.0;
    r = figures(50.0, gap, 8);
    EXPECT_EQ(r.settlingTime, 0.04 * 9);
    // a pull: everything mirrored
    std::vector<double> pull;
    for (double f : step) pull.push_back(-f);
    r = figures(-50.0, pull, 8);
    EXPECT_EQ(r.overshoot, 6.0);
    EXPECT_EQ(r.overshootPercent, 12.0);
    EXPECT_NEAR(r.settlingTime, 0.04 * 5.25, 1e-12);
    EXPECT_NEAR(r.riseTime, (0.04 + 0.04 * 15 / 22.5) - 0.04 * 5 / 30, 1e-12);
    EXPECT_EQ(r.peakForce, -56.0);
    EXPECT_EQ(r.steadyError, 0.5);
    // a force that never passes Fn has no overshoot and no peak
    r = figures(50.0, {0, 10, 30, 45, 49, 49.5, 49.9, 50, 50, 50}, -1);
    EXPECT_EQ(r.overshoot, 0.0);
    EXPECT_EQ(r.overshootPercent, 0.0);
    EXPECT_TRUE(std::isnan(r.peakForce));
    EXPECT_TRUE(std::isnan(r.peakTime));
    EXPECT_NEAR(r.settlingTime, 0.04 * 4, 1e-12);
    // 5 N half way to sample 1, 45 N is 90 % exactly (sample 3)
    EXPECT_NEAR(r.riseTime, 0.04 * 3 - 0.02, 1e-12);
    EXPECT_EQ(r.steadyError, 0.0);
    std::ostringstream words;
    printSummary(s, r, words);
    EXPECT_NE(words.str().find("force peak                                            none  (the force never passes Fn)"),
              std::string::npos) << words.str();
    // a force that stops short of 90 % has no rise time, and does not settle
    r = figures(50.0, {0, 10, 30, 40, 44, 44, 44, 44, 44, 44}, -1);
    EXPECT_TRUE(std::isnan(r.riseTime));
    EXPECT_TRUE(std::isnan(r.settlingTime));
    EXPECT_TRUE(std::isnan(r.steadyError));
    // a level first met after a gap: when is not known
    r = figures(50.0, {0, 10, 30, 40, 44, 44, 44, 44, 150, 50}, 8);
    EXPECT_TRUE(std::isnan(r.riseTime));
    // Fn 0: the overshoot is the force above 0, with no share; the band is 0 alone
    r = figures(0.0, {0, 0.5, -0.2, 0.1, 0, 0, 0.25, 0, 0, 0}, -1);
    EXPECT_EQ(r.overshoot, 0.5);
    EXPECT_TRUE(std::isnan(r.overshootPercent));
    EXPECT_NEAR(r.settlingTime, 0.04 * 7, 1e-12);
    EXPECT_TRUE(std::isnan(r.riseTime));  // a step of no height
    EXPECT_EQ(r.peakForce, 0.5);
    std::ostringstream text;
    printSummary(s, r, text);
    EXPECT_NE(text.str().find("0.500 N  (Fn is 0: no %)"), std::string::npos) << text.str();
    // the step's start out of reach: no step to read, whatever follows
    r = figures(50.0, step, 0);
    EXPECT_FALSE(r.stepRead);
    for (double v : {r.overshoot, r.overshootPercent, r.settlingTime, r.riseTime, r.peakForce, r.peakTime,
                     r.steadyError})
        EXPECT_TRUE(std::isnan(v));
    std::ostringstream none;
    printSummary(s, r, none);
    EXPECT_NE(none.str().find("none  (sample 0 has no posture: no step to read)"), std::string::npos) << none.str();
    // the step's start alone in reach (a run that blows up after it): the
    // step is not in the samples, whatever follows
    r = figures(50.0, step, 1);
    EXPECT_FALSE(r.stepRead);
    for (double v : {r.overshoot, r.overshootPercent, r.settlingTime, r.riseTime, r.peakForce, r.peakTime,
                     r.steadyError})
        EXPECT_TRUE(std::isnan(v));
    std::ostringstream startOnly;
    printSummary(s, r, startOnly);
    EXPECT_NE(startOnly.str().find("none  (sample 1 has no posture: the step is not in the samples)"),
              std::string::npos)
        << startOnly.str();
    // nothing in reach: no figures
    s.nsteps = 0;
    r = figures(50.0, {60}, 0);
    EXPECT_TRUE(std::isnan(r.overshoot));
    EXPECT_TRUE(std::isnan(r.settlingTime));
    for (double v : {r.riseTime, r.peakForce, r.peakTime, r.steadyError}) EXPECT_TRUE(std::isnan(v));
}

// A run's step figures are read between the samples, off the force at
// every integration sub-step: they agree with the model's force step in
// closed form (read here by a fine scan) for loops far faster than the
// samples, where the samples alone would give only the grid (a rise under
// one sampling period of 0.04 s).
TEST(StudySummary, StepFiguresFollowTheForceBetweenTheSamples)
{
    for (const auto& [fn2, alpha2] : {std::pair{20.0, 2.0}, {40.0, 2.0}, {150.0, 2.0}, {10.0, 5.0}, {5.0, 2.0}}) {
        SCOPED_TRACE(::testing::Message() << "fn2 " << fn2 << ", alpha2 " << alpha2);
        SimSettings s = testing::defaultSettings();
        s.wn2Hybrid8 = twoPi * fn2;
        s.alpha2Hybrid8 = alpha2;
        deriveSettings(s);
        RunSeries run;
        calcontrol(s, run);
        const RunSummary r = summarizeRun(s, currentSeries(run, s.type));
        // the closed form, every microsecond over the first two seconds
        double t10 = nan, t90 = nan, peak = 0, peakAt = nan, lastOutside = 0;
        for (int k = 0; k <= 2000000; ++k) {
            const double t = k * 1e-6;
            const double F = modelForceStep(s, t);
            if (std::isnan(t10) && F >= 0.1 * s.Fn) t10 = t;
            if (std::isnan(t90) && F >= 0.9 * s.Fn) t90 = t;
            if (F > peak) {
                peak = F;
                peakAt = t;
            }
            if (std::fabs(F - s.Fn) > 0.02 * s.Fn) lastOutside = t;
        }
        EXPECT_NEAR(r.riseTime, t90 - t10, 2e-5);
        EXPECT_NEAR(r.peakForce, peak, 1e-4);
        EXPECT_NEAR(r.overshootPercent, 100.0 * (peak - s.Fn) / s.Fn, 1e-3);
        EXPECT_NEAR(r.peakTime, peakAt, 2e-4);
        EXPECT_NEAR(r.settlingTime, lastOutside, 2e-5);
        if (fn2 >= 40.0) {
            EXPECT_LT(r.riseTime, 0.5 * s.dt);
        }
    }
}

// A robot that reaches nothing is in contact nowhere: the force loop runs
// regardless, but no force figure may come out of it.
TEST(StudySummary, ARobotThatReachesNothingHasNoForceFigures)
{
    // a circle about (3, 3) m: robot b reaches none of it
    const std::string far = studyTask("far_circle.dat");
    const testing::Outcome csv = runBatchHere({far, "--summary", "--format", "csv"});
    ASSERT_EQ(csv.status, exitOk) << csv.err;
    const CsvTable t = parseCsv(csv.out);
    ASSERT_EQ(t.rows.size(), 1u);
    EXPECT_EQ(t.at(0, "nan_samples"), 201);
    for (const char* figure : {"final_force_N", "final_force_err_N", "force_reached_t_s",
                               "force_err_max_after_N", "overshoot_N", "overshoot_pct", "settling_t_s",
                               "force_rise_t_s", "force_peak_N", "force_peak_t_s", "force_steady_err_N"})
        EXPECT_TRUE(std::isnan(t.at(0, figure))) << figure << " = " << t.at(0, figure);

    const testing::Outcome text = runBatchHere({far, "--summary"});
    ASSERT_EQ(text.status, exitOk);
    const std::vector<std::string> lines = testing::textLines(text.out);
    ASSERT_GE(lines.size(), 5u) << text.out;
    EXPECT_NE(lines[1].find("none  (no sample has a posture)"), std::string::npos) << lines[1];
    EXPECT_NE(lines[3].find("never"), std::string::npos) << lines[3];

    // a run whose numbers overflow from its first sample has no posture either
    const testing::Outcome steep = runBatchHere({"--set", "A=1e200", "--summary", "--format", "csv"});
    ASSERT_EQ(steep.status, exitOk) << steep.err;
    const CsvTable u = parseCsv(steep.out);
    EXPECT_EQ(u.at(0, "nan_samples"), 201);
    for (const char* figure : {"final_force_N", "force_reached_t_s", "overshoot_N", "settling_t_s"})
        EXPECT_TRUE(std::isnan(u.at(0, figure))) << figure << " = " << u.at(0, figure);
}

// Not-a-number has one spelling, "nan", wherever a number is written as
// text: the series CSV, the summary in both forms, a sweep's rows.  (A run
// that overflows makes not-a-numbers with the sign bit set, which "%g"
// writes as "-nan".)
TEST(StudySummary, NotANumberIsWrittenNanEverywhere)
{
    for (const char* set : {"Fn=1e308", "KH1=1e308", "x0=1e308"}) {
        SCOPED_TRACE(set);
        const Outcome csv = runBatchHere({"--set", set, "--csv", "-", "--summary", "--format", "csv"});
        ASSERT_EQ(csv.status, 0) << csv.err;
        EXPECT_NE(csv.out.find(",nan"), std::string::npos);
        EXPECT_EQ(csv.out.find("-nan"), std::string::npos);
        const Outcome text = runBatchHere({"--set", set, "--summary"});
        EXPECT_EQ(text.out.find("-nan"), std::string::npos) << text.out;
        const std::string name(set, std::strchr(set, '=') - set);
        const Outcome sweep = runBatchHere({"--sweep", name + "=1,1e308"});
        EXPECT_EQ(sweep.out.find("-nan"), std::string::npos) << sweep.out;
    }
    // every figure of a summary, however it came to be not-a-number
    SimSettings s = testing::defaultSettings();
    RunSummary r;
    r.samples = 201;
    r.finalSample = 200;
    r.forceReached = true;
    r.stepRead = true;
    const double minusNan = -std::nan("");
    for (double* figure : {&r.finalForce, &r.finalForceErr, &r.forceReachedTime, &r.maxForceErrAfterReached,
                           &r.sErrRms, &r.sErrMax, &r.contourDistMax, &r.posErrMax, &r.overshoot,
                           &r.overshootPercent, &r.settlingTime, &r.riseTime, &r.peakForce, &r.peakTime,
                           &r.steadyError, &r.posErrTanMax, &r.posErrNormMax, &r.springForceDiffMax,
                           &r.springForceMin, &r.springForceMax})
        *figure = minusNan;
    EXPECT_EQ(summaryCsvRow(s, r).find("-nan"), std::string::npos) << summaryCsvRow(s, r);
    std::ostringstream table;
    printSummary(s, r, table);
    EXPECT_EQ(table.str().find("-nan"), std::string::npos) << table.str();
    EXPECT_EQ(shortestNumber(-std::nan("")), "nan");
    EXPECT_EQ(exactNumber(-std::nan("")), "nan");
    EXPECT_EQ(tickText(-std::nan(""), 0.0), "nan");
}

TEST(StudySummary, TextTableGivesEveryFigureWithItsUnit)
{
    const testing::Outcome r = runBatchHere({studyTask("out_of_reach.dat"), "--summary"});
    ASSERT_EQ(r.status, exitOk);
    const std::vector<std::string> lines = testing::textLines(r.out);
    ASSERT_EQ(lines.size(), 19u) << r.out;
    EXPECT_EQ(lines[0], "robot b (SCARA), method 8, line, setting error 0 mm, Fn 10 N, samples 0..200");
    const char* units[] = {"N", "N", "s", "N", "mm", "mm", "mm", "mm"};
    for (int i = 0; i < 8; ++i)
        EXPECT_NE(lines[i + 1].find(std::string(" ") + units[i]), std::string::npos) << lines[i + 1];
    // 181 of the 201 samples lie out of reach; they are counted and left out
    EXPECT_EQ(lines[9], "samples holding not-a-number (left out)                181");
    EXPECT_EQ(lines[8].find("nan"), std::string::npos) << lines[8];
    // the step response's figures after the others, from the samples in reach
    EXPECT_EQ(lines[10].rfind("force overshoot above Fn", 0), 0u) << lines[10];
    EXPECT_NE(lines[10].find(" N  ("), std::string::npos) << lines[10];
    EXPECT_NE(lines[10].find(" % of Fn)"), std::string::npos) << lines[10];
    EXPECT_EQ(lines[11].rfind("force settled within 2 % of Fn from", 0), 0u) << lines[11];
    EXPECT_EQ(lines[11].substr(lines[11].size() - 2), " s") << lines[11];
    EXPECT_EQ(lines[12].rfind("force rise time, 10 % to 90 % of Fn", 0), 0u) << lines[12];
    EXPECT_EQ(lines[12].substr(lines[12].size() - 2), " s") << lines[12];
    EXPECT_NE(lines[13].find(" N at "), std::string::npos) << lines[13];
    EXPECT_NE(lines[14].find(" N  (sample 19, the last with a posture)"), std::string::npos) << lines[14];
    // the split of |posErr| and the spring's own force last
    const char* last[] = {"largest |posErr| along the contour's tangent", "largest |posErr| along the contour's normal",
                          "largest |spring force - F|", "spring force from F first within 5 % of Fn"};
    const char* lastUnits[] = {" mm", " mm", " N", " N"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(lines[15 + i].rfind(last[i], 0), 0u) << lines[15 + i];
        EXPECT_EQ(lines[15 + i].substr(lines[15 + i].size() - std::strlen(lastUnits[i])), lastUnits[i]) << lines[15 + i];
    }
}

// The teaching point: with a setting error of 5 mm, method 7 commands the
// path shifted by it, and the probe, pressed against the workpiece where it
// really is, stays about 5 mm from the command point; method 8 commands the
// force against the workpiece it touches and follows it.
//   measured (robot b, Fn 10 N, KH 500 N/m, each method with its default gains):
//   circle  method 7: 5.0000001 mm   method 8: 0.0175 mm
//   line    method 7: 5.0000000 mm   method 8: 0.0000000016 mm
TEST(StudySummary, SettingErrorShiftsMethod7ButNotMethod8)
{
    for (const char* contour : {"circle", "line"}) {
        SCOPED_TRACE(contour);
        auto figures = [&](const char* method) {
            const std::string task = std::string(contour) + "_method" + method + ".dat";
            const testing::Outcome r = runBatchHere({studyTask(task.c_str()), "--summary", "--format", "csv"});
            EXPECT_EQ(r.status, exitOk) << r.err;
            return parseCsv(r.out);
        };
        const CsvTable m7 = figures("7");
        const CsvTable m8 = figures("8");
        ASSERT_EQ(m7.rows.size(), 1u);
        ASSERT_EQ(m8.rows.size(), 1u);
        EXPECT_EQ(m7.at(0, "seterror_m"), 0.005);
        EXPECT_TRUE(near(m7.at(0, "pos_err_max_m"), 0.005, 0.00001));
        EXPECT_LT(m8.at(0, "pos_err_max_m"), 0.00005);
        // on the line the whole of it lies along the normal: the force's direction
        if (std::string(contour) == "line") {
            EXPECT_TRUE(near(m7.at(0, "pos_err_norm_max_m"), 0.005, 1e-9));
            EXPECT_LT(m7.at(0, "pos_err_tan_max_m"), 1e-9);
        }
        // both probes touch the workpiece where it is
        EXPECT_LT(m7.at(0, "contour_dist_max_m"), 1e-9);
        EXPECT_LT(m8.at(0, "contour_dist_max_m"), 1e-9);
    }
}

// The one table of the figures: each column once, and the lines of the
// text and the panels of a sweep numbered 1, 2, ... without a gap or a
// place taken twice, each with its label.
TEST(StudySummary, TheFigureTableNumbersItsLinesAndPanelsOnce)
{
    std::set<std::string> columns;
    std::vector<int> lines, panels;
    for (const SummaryFigure& f : summaryFigures()) {
        EXPECT_TRUE(columns.insert(f.column).second) << f.column;
        EXPECT_EQ(summaryFigure(f.column), &f) << f.column;
        if (f.textLine > 0) {
            lines.push_back(f.textLine);
            EXPECT_TRUE(f.textLabel && f.text) << f.column;
        }
        if (f.sweepPanel > 0) {
            panels.push_back(f.sweepPanel);
            EXPECT_TRUE(f.sweepTitle && f.sweepQuantity) << f.column;
        }
    }
    std::sort(lines.begin(), lines.end());
    std::sort(panels.begin(), panels.end());
    for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], static_cast<int>(i) + 1);
    for (std::size_t i = 0; i < panels.size(); ++i) EXPECT_EQ(panels[i], static_cast<int>(i) + 1);
    EXPECT_EQ(lines.size(), 21u);
    EXPECT_EQ(panels.size(), 12u);
    // every figure a goal may name is a column; the contact's only with the contact
    std::string all, ideal;
    for (const std::string& n : goalNames()) {
        all += "," + n;
        if (!summaryFigure(n)->contact) ideal += "," + n;
    }
    EXPECT_EQ(summaryCsvHeader(true), "robot,method,contour" + all);
    EXPECT_EQ(summaryCsvHeader(), "robot,method,contour" + ideal);
    EXPECT_EQ(all.size() - ideal.size(), std::string(",off_surface_samples,contact_lost_t_s,force_max_N").size());
}

// The batch runner's documented list of the summary's columns is the
// table's, in its order.
TEST(StudySummary, TheDocsListTheColumnsOfTheTable)
{
    std::ifstream readme(HYBRIDSIM_BATCH_DOC);
    ASSERT_TRUE(readme) << HYBRIDSIM_BATCH_DOC;
    const std::string text((std::istreambuf_iterator<char>(readme)), std::istreambuf_iterator<char>());
    const std::string start = "`robot,method,contour,";
    const std::size_t at = text.find(start);
    ASSERT_NE(at, std::string::npos);
    const std::size_t end = text.find('`', at + 1);
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(text.substr(at + 1, end - at - 1), summaryCsvHeader());
}

}  // namespace
}  // namespace hybridsim
