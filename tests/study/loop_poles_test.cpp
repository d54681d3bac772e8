// The loops' poles against the polynomials they are the roots of, and the
// model's force step in closed form against the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <complex>
#include <memory>
#include <sstream>
#include <vector>

#include "app/batch.h"
#include "sim/derivation.h"
#include "sim/gain_design.h"
#include "sim/run.h"
#include "study/loop_poles.h"
#include "study/study_plot.h"
#include "study/summary.h"
#include "task/task_setting.h"
#include "task/text_format.h"
#include "tests/support/study_support.h"
#include "tests/test_support.h"

namespace hybridsim {
namespace {

using Complex = std::complex<double>;

// The monic polynomial with these roots, by multiplying out (s - p):
// coefficients from the highest power down, the leading 1 left out.
std::vector<Complex> fromRoots(const std::vector<Pole>& poles)
{
    std::vector<Complex> c{1.0};
    for (const Pole& p : poles) {
        std::vector<Complex> next(c.size() + 1, 0.0);
        for (std::size_t k = 0; k < c.size(); ++k) {
            next[k] += c[k];
            next[k + 1] -= c[k] * Complex(p.re, p.im);
        }
        c = next;
    }
    c.erase(c.begin());
    return c;
}

// |a - b| within `rel` of the polynomial's scale
::testing::AssertionResult close(Complex a, double b, double scale, double rel)
{
    if (std::abs(a - b) <= rel * scale) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << a << " against " << b << " (scale " << scale << ")";
}

// A row of the poles' CSV without its last three columns (the frequency
// response's bandwidth_hz, peak_db, peak_hz, frequency_response_test.cpp's).
std::string poleColumns(const std::string& row)
{
    std::string r = row;
    for (int k = 0; k < 3; ++k) r.erase(r.rfind(','));
    return r;
}

TEST(LoopPoles, ThePolesAreTheRootsOfTheDesignAndOfTheModel)
{
    struct Case {
        const char* what;
        char method;
        double fn2, alpha2, zeta;
    };
    const Case cases[] = {
        {"method 8 as it starts", '8', 20.0, 2.0, 1.0},
        {"method 7 as it starts", '7', 10.0, 5.0, 1.0},
        {"PD: alpha 0", '8', 20.0, 0.0, 1.0},
        {"underdamped design", '7', 10.0, 5.0, 0.4},
        {"a slow loop of a large alpha: the model's pair complex", '8', 1.0, 50.0, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimSettings s = testing::defaultSettings();
        s.hybrid = c.method;
        double& wn = c.method == '7' ? s.wn2Hybrid7 : s.wn2Hybrid8;
        double& alpha = c.method == '7' ? s.alpha2Hybrid7 : s.alpha2Hybrid8;
        wn = 2.0 * 3.14159265358979323846 * c.fn2;
        alpha = c.alpha2;
        s.zeta1 = s.zeta2 = c.zeta;
        deriveSettings(s);
        const auto loops = loopPoles(s);
        for (const LoopPoles& l : loops) {
            SCOPED_TRACE(l.system);
            const double Kp = l.system == 1 ? s.Kp1 : s.Kp2;
            const double Kv = l.system == 1 ? s.Kv1 : s.Kv2;
            const double Ki = l.system == 1 ? s.Ki1 : s.Ki2;
            // designed: s^3 + Kv s^2 + Kp s + Ki
            ASSERT_EQ(l.designed.size(), 3u);
            const auto d = fromRoots(l.designed);
            EXPECT_TRUE(close(d[0], Kv, Kv, 1e-9));
            EXPECT_TRUE(close(d[1], Kp, Kp, 1e-9));
            EXPECT_TRUE(close(d[2], Ki, std::max(Ki, Kp), 1e-9));
            // model: s^2 + (Kp - 1) / Kv s + Ki / Kv
            ASSERT_EQ(l.model.size(), 2u);
            const auto m = fromRoots(l.model);
            const double b = (Kp - 1.0) / Kv;
            const double q = Ki / Kv;
            EXPECT_TRUE(close(m[0], b, b, 1e-9));
            EXPECT_TRUE(close(m[1], q, std::max(q, b), 1e-9));
            for (const Pole& p : l.model) {
                EXPECT_LE(p.re, 0.0);  // every loop here is stable or, at alpha 0, has its integrator's 0
                // each pole a root: |Kv p^2 + (Kp - 1) p + Ki| small against the terms
                const Complex z(p.re, p.im);
                EXPECT_LE(std::abs(Kv * z * z + (Kp - 1.0) * z + Ki),
                          1e-12 * (Kv * std::norm(z) + std::abs((Kp - 1.0) * z) + Ki));
            }
        }
        if (c.alpha2 == 0.0) {
            EXPECT_EQ(loops[1].model[1].re, 0.0);  // no integral gain: a pole at 0
            EXPECT_EQ(loops[1].designed[2].re, 0.0);
        }
        if (c.fn2 == 1.0) {
            EXPECT_NE(loops[1].model[0].im, 0.0);
        }
        if (c.zeta < 1.0) {
            EXPECT_NEAR(poleDamping(loops[1].designed[0]), c.zeta, 1e-12);
        }
    }
}

TEST(LoopPoles, TheModelsForceStepLiesOnTheRunsForce)
{
    // the default (method 8: two real model poles), method 7, PD, and the
    // complex pair of a slow loop with a large alpha
    for (auto [method, fn2, alpha2] : {std::tuple{'8', 20.0, 2.0}, std::tuple{'7', 10.0, 5.0},
                                       std::tuple{'8', 20.0, 0.0}, std::tuple{'8', 1.0, 50.0}}) {
        SCOPED_TRACE(::testing::Message() << "method " << method << " fn2 " << fn2 << " alpha2 " << alpha2);
        SimSettings s = testing::defaultSettings();
        s.hybrid = method;
        (method == '7' ? s.wn2Hybrid7 : s.wn2Hybrid8) = 2.0 * 3.14159265358979323846 * fn2;
        (method == '7' ? s.alpha2Hybrid7 : s.alpha2Hybrid8) = alpha2;
        deriveSettings(s);
        auto run = std::make_unique<RunSeries>();
        calcontrol(s, *run);
        const SeriesSet& set = currentSeries(*run, s.type);
        double worst = 0.0;
        for (int i = 0; i <= lastSample(s); ++i)
            if (hasPosture(set, i))
                worst = std::max(worst, std::fabs(set.contactForce[i] - modelForceStep(s, set.time[i])));
        EXPECT_LT(worst, 1e-6 * s.Fn);
        EXPECT_EQ(modelForceStep(s, 0.0), 0.0);
    }
    // under contact=spring on a line (the contact exact), a workpiece as
    // stiff as the hand: the measured force, with r = 1/2 in the closed form
    SimSettings s = testing::defaultSettings();
    s.curve = 'L';
    deriveSettings(s);
    s.springContact = true;
    s.KW = s.KH1;
    auto run = std::make_unique<RunSeries>();
    calcontrol(s, *run);
    const SeriesSet& set = currentSeries(*run, s.type);
    for (int i = 0; i <= lastSample(s); ++i)
        ASSERT_NEAR(set.contactForce[i], modelForceStep(s, set.time[i]), 1e-6 * s.Fn) << "sample " << i;
}

// The damping ratio set by name: --loops gives the force loop's designed
// poles as the complex pair -zeta wn +- i wn sqrt(1 - zeta^2) and -alpha,
// and the model's from the gains designed with that ratio.
TEST(LoopPoles, ARatioSetByNameGivesTheDesignedComplexPair)
{
    const testing::Outcome r =
        testing::runBatchHere({"--loops", "--format", "csv", "--set", "zeta2=0.5", "--set", "alpha2=3"});
    ASSERT_EQ(r.status, 0) << r.err;
    const testing::CsvTable table = testing::parseCsv(r.out);
    std::vector<Pole> designed, model;
    for (const auto& row : table.rows) {
        if (row[table.column("system")] != 2.0) continue;
        // the kind column is text: the designed rows come first
        const Pole p{row[table.column("re")], row[table.column("im")]};
        (designed.size() < 3 ? designed : model).push_back(p);
    }
    ASSERT_EQ(designed.size(), 3u);
    ASSERT_EQ(model.size(), 2u);
    const double wn = twoPi * 20.0, zeta = 0.5;
    EXPECT_NEAR(designed[0].re, -zeta * wn, 1e-12 * wn);
    EXPECT_NEAR(designed[0].im, wn * std::sqrt(1.0 - zeta * zeta), 1e-12 * wn);
    EXPECT_NEAR(designed[1].re, -zeta * wn, 1e-12 * wn);
    EXPECT_NEAR(designed[1].im, -wn * std::sqrt(1.0 - zeta * zeta), 1e-12 * wn);
    EXPECT_EQ(designed[2].re, -3.0);
    EXPECT_EQ(designed[2].im, 0.0);
    // the model: the roots of Kv s^2 + (Kp - 1) s + Ki with the gains of zeta 0.5
    const LoopGains g = loopGains(zeta, wn, 3.0);
    for (const Pole& p : model) {
        const Complex z(p.re, p.im);
        EXPECT_LE(std::abs(g.Kv * z * z + (g.Kp - 1.0) * z + g.Ki),
                  1e-12 * (g.Kv * std::norm(z) + std::abs((g.Kp - 1.0) * z) + g.Ki));
    }
    // the text names the ratio and the pair's damping
    const testing::Outcome text = testing::runBatchHere({"--loops", "--set", "zeta2=0.5"});
    EXPECT_NE(text.out.find("fn 20 Hz, zeta 0.5, alpha 2 1/s"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("(fn 20 Hz, damping 0.5)"), std::string::npos) << text.out;
}

TEST(LoopPoles, TheTablesNameEveryPole)
{
    SimSettings s = testing::defaultSettings();
    std::ostringstream csv;
    printLoopsCsv(s, csv);
    std::string poles;
    for (const std::string& row : testing::textLines(csv.str())) poles += poleColumns(row) + "\n";
    const std::string expected_first = "system,kind,re,im\n1,designed,";
    EXPECT_EQ(poles.rfind(expected_first, 0), 0u) << csv.str();
    int rows = 0;
    for (char ch : csv.str()) rows += ch == '\n' ? 1 : 0;
    EXPECT_EQ(rows, 1 + 2 * (3 + 2));
    EXPECT_NE(poles.find("1,model,0,0\n"), std::string::npos);  // the PD position loop's integrator, not -0
    // the force loop's design: -wn2 twice, -alpha2, each to 17 digits
    EXPECT_NE(poles.find("2,designed,-125.6637061435916,0\n2,designed,-125.6637061435916,0\n"
                         "2,designed,-2,0\n"),
              std::string::npos)
        << csv.str();
    std::ostringstream text;
    printLoops(s, text);
    EXPECT_NE(text.str().find("system 2 (normal force), method 8: fn 20 Hz, zeta 1, alpha 2 1/s"),
              std::string::npos)
        << text.str();
    // a pole right of the axis is said to grow, not given a negative time constant
    s.alpha2Hybrid8 = 0.0;
    s.wn2Hybrid8 = twoPi * 0.15;
    deriveSettings(s);
    std::ostringstream unstable;
    printLoops(s, unstable);
    EXPECT_NE(unstable.str().find("0.0592776   (unstable: grows e-fold in 16.8698 s)"), std::string::npos)
        << unstable.str();
    EXPECT_EQ(unstable.str().find("time constant -"), std::string::npos) << unstable.str();
}

// Under contact=spring the force loop's model carries the ratio r and, with
// a control period, the tables give the sampled poles: their product and
// sum are the one-period matrix's determinant and trace, |z| says inside or
// outside, and the stable bound lies between 30 and 40 ms for the default
// task; the position loop's rows stay as they are.
TEST(LoopPoles, UnderSpringContactTheTablesGiveTheRatioAndTheSampledPoles)
{
    SimSettings s = testing::defaultSettings();
    const auto ideal = loopPoles(s);
    s.springContact = true;
    s.KW = 1000.0;
    for (double period : {0.03, 0.04}) {
        s.controlPeriod = period;
        const auto loops = loopPoles(s);
        const LoopPoles& f = loops[1];
        const double r = f.ratio;
        EXPECT_GT(r, 0.5);
        EXPECT_LT(r, 1.0);
        // the model: the roots of Kv s^2 + r (Kp - 1) s + r Ki
        ASSERT_EQ(f.model.size(), 2u);
        EXPECT_NEAR(f.model[0].re + f.model[1].re, -r * (f.Kp - 1.0) / f.Kv, 1e-9 * f.Kp / f.Kv);
        EXPECT_NEAR(f.model[0].re * f.model[1].re, r * f.Ki / f.Kv, 1e-9 * f.Ki / f.Kv);
        // the sampled: trace 2 - a and determinant 1 - a + c of the one-period matrix
        const double T = period;
        const double a = r * T * (f.Kp - 1.0) / f.Kv + r * f.Ki * T * T / (2.0 * f.Kv);
        const double c = r * f.Ki * T * T / f.Kv;
        ASSERT_EQ(f.sampled.size(), 2u);
        const Complex z1(f.sampled[0].re, f.sampled[0].im), z2(f.sampled[1].re, f.sampled[1].im);
        EXPECT_TRUE(close(z1 + z2, 2.0 - a, 1.0, 1e-12));
        EXPECT_TRUE(close(z1 * z2, 1.0 - a + c, 1.0, 1e-12));
        EXPECT_EQ(f.discrete.unstable, std::max(std::abs(z1), std::abs(z2)) > 1.0);
        // the position loop as under the ideal contact
        EXPECT_EQ(loops[0].model.size(), ideal[0].model.size());
        EXPECT_EQ(loops[0].model[0].re, ideal[0].model[0].re);
        EXPECT_TRUE(loops[0].sampled.empty());
        std::ostringstream text, csv;
        printLoops(s, text);
        printLoopsCsv(s, csv);
        EXPECT_NE(text.str().find(format("the measured force grows r = %.6g N per N", r)), std::string::npos)
            << text.str();
        EXPECT_NE(text.str().find(format("sampled every T = %g s", period)), std::string::npos) << text.str();
        EXPECT_NE(text.str().find(format("inside the unit circle for periods T below %.6g s", f.discrete.periodLimit)),
                  std::string::npos)
            << text.str();
        std::vector<std::string> rows = testing::textLines(csv.str());
        for (std::string& row : rows) row = poleColumns(row);
        ASSERT_EQ(rows.size(), 1u + 5u + 7u);
        EXPECT_EQ(rows[0], "system,kind,re,im,ratio,abs,inside");
        EXPECT_EQ(rows[1].substr(rows[1].size() - 3), ",,,");  // the position loop: no ratio, no |z|
        EXPECT_EQ(rows[9], "2,model," + exactNumber(f.model[0].re) + "," + exactNumber(f.model[0].im) + "," +
                               exactNumber(r) + ",,");
        for (int k = 0; k < 2; ++k) {
            const double size = std::abs(k == 0 ? z1 : z2);
            EXPECT_EQ(rows[11 + k], "2,sampled," + exactNumber(f.sampled[k].re) + "," +
                                        exactNumber(f.sampled[k].im) + "," + exactNumber(r) + "," +
                                        exactNumber(size) + "," + (size < 1.0 ? "yes" : "no"));
        }
    }
    // the soft workpiece stretches the bound past 40 ms; a rigid one does not reach it
    EXPECT_FALSE(loopPoles(s)[1].discrete.unstable);
    s.KW = 1.0 / 0.0;
    const LoopPoles rigid = loopPoles(s)[1];
    EXPECT_TRUE(rigid.discrete.unstable);
    EXPECT_GT(rigid.discrete.periodLimit, 0.03);
    EXPECT_LT(rigid.discrete.periodLimit, 0.031);
    std::ostringstream text;
    printLoops(s, text);
    EXPECT_NE(text.str().find("(|z| 1.6"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("outside the unit circle: unstable)"), std::string::npos) << text.str();
    // continuous: the ratio and no sampled lines or rows
    s.controlPeriod = 0.0;
    std::ostringstream continuous, continuousCsv;
    printLoops(s, continuous);
    printLoopsCsv(s, continuousCsv);
    EXPECT_EQ(continuous.str().find("sampled"), std::string::npos);
    EXPECT_EQ(continuousCsv.str().find("sampled"), std::string::npos);
    EXPECT_NE(continuous.str().find("r (Kp - 1) s + r Ki"), std::string::npos);
    EXPECT_EQ(continuous.str().find("servo lag"), std::string::npos);
    // a servo lag is a state the poles leave out, and the text says so
    s.servoTime = 0.01;
    std::ostringstream lagging;
    printLoops(s, lagging);
    EXPECT_NE(lagging.str().find("(without the servo lag of 0.01 s, which is not in these poles and moves this bound)"), std::string::npos);
}

// Goals on the default run (overshoot 2.56 %, settled at 0.253 s, the
// force loop's poles printed by --loops), each line and the exit status.
TEST(Goals, EachGoalIsOneLineAndTheStatusSaysWhetherAllPassed)
{
    using testing::runBatchHere;
    struct Case {
        std::vector<std::string> goals;
        int status;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {{"overshoot_pct <= 5"}, exitOk, {"pass  overshoot_pct = 2.55565 <= 5"}},
        {{"overshoot_pct<=5", "settling_t_s < 0.25"}, exitGoalFailed,
         {"pass  overshoot_pct = 2.55565 <= 5", "FAIL  settling_t_s = 0.252874 < 0.25"}},
        {{"settling_t_s <= 0.26", "force_peak_N > 10", "force_steady_err_N >= -1e-3"}, exitOk,
         {"pass  settling_t_s = 0.252874 <= 0.26", "pass  force_peak_N = 10.2556 > 10",
          "pass  force_steady_err_N = 3.71333e-08 >= -0.001"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args;
        for (const std::string& g : c.goals) args.insert(args.end(), {"--require", g});
        const testing::Outcome r = runBatchHere(args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(testing::textLines(r.out), c.lines);
    }
    // a figure that is none fails whatever it is compared with: robot b reaches nothing of a far circle
    const testing::Outcome far =
        runBatchHere({testing::studyTask("far_circle.dat"), "--require", "settling_t_s > -1"});
    EXPECT_EQ(far.status, exitGoalFailed);
    EXPECT_EQ(testing::textLines(far.out), std::vector<std::string>{"FAIL  settling_t_s = none > -1"});
    // a sweep: a goals column, pass or the failed goals
    const testing::Outcome sweep = runBatchHere({"--sweep", "fn2=5,40", "--require", "settling_t_s<0.3",
                                                 "--require", "overshoot_pct < 5"});
    EXPECT_EQ(sweep.status, exitOk) << sweep.err;
    const std::vector<std::string> rows = testing::textLines(sweep.out);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].substr(rows[0].size() - 13), ",status,goals");
    const std::string failed = ",ok,settling_t_s = 1.01239 < 0.3; overshoot_pct = 7.15975 < 5";
    EXPECT_EQ(rows[1].substr(rows[1].size() - failed.size()), failed);
    EXPECT_EQ(rows[2].substr(rows[2].size() - 8), ",ok,pass");
    // the poles from the batch runner: as the library prints them
    const testing::Outcome loops = runBatchHere({"--loops", "--format", "csv"});
    EXPECT_EQ(loops.status, exitOk);
    std::ostringstream expected;
    printLoopsCsv(testing::defaultSettings(), expected);
    EXPECT_EQ(loops.out, expected.str());
}

// The roots of a s^2 + b s + c as the schoolbook formula gives them in
// long double, whose exponent reaches past 1e4900: no square or product of
// doubles overflows or underflows there.  Each root as a double (infinite
// where it is beyond the doubles).
std::vector<Complex> longDoubleRoots(double a, double b, double c)
{
    const long double A = a, B = b, C = c;
    if (A == 0.0L) return {static_cast<double>(-C / B)};
    const long double disc = B * B - 4.0L * A * C;
    if (disc < 0.0L) {
        const long double re = -B / (2.0L * A), im = std::sqrt(-disc) / (2.0L * std::fabs(A));
        return {Complex(static_cast<double>(re), static_cast<double>(im)),
                Complex(static_cast<double>(re), static_cast<double>(-im))};
    }
    const long double q = -0.5L * (B + std::copysign(std::sqrt(disc), B));
    if (q == 0.0L) return {0.0, 0.0};
    return {static_cast<double>(q / A), static_cast<double>(C / q)};
}

// Each root within 1e-14 of the long double one, relative to its size; a
// root beyond the doubles infinite.
::testing::AssertionResult sameRoots(const std::vector<Pole>& got, const std::vector<Complex>& want)
{
    if (got.size() != want.size()) return ::testing::AssertionFailure() << got.size() << " roots";
    for (std::size_t i = 0; i < got.size(); ++i) {
        const Complex g(got[i].re, got[i].im), w = want[i];
        if (std::isinf(w.real()) || std::isinf(w.imag())) {
            if (!std::isinf(g.real()) && !std::isinf(g.imag()))
                return ::testing::AssertionFailure() << "root " << i << " " << g << ", not beyond the doubles";
            continue;
        }
        if (!(std::abs(g - w) <= 1e-14 * std::abs(w)))
            return ::testing::AssertionFailure() << "root " << i << " " << g << " against " << w;
    }
    return ::testing::AssertionSuccess();
}

TEST(LoopPoles, RootsKeepTheirDigitsWhateverTheSizeOfTheCoefficients)
{
    constexpr double sub = std::numeric_limits<double>::denorm_min();
    const double cases[][3] = {
        {1.0, 2.0, 1.0},          {253.327, 16293.0, 31582.7}, {1e-300, -1.0, 0.0},    {1e300, 1e300, 1e300},
        {1.0, 1e200, 1.0},        {1e-200, 1e-200, 1e-200},    {1.0, 2e-160, 1e-320},  {1e300, -1e300, -1e300},
        {2.5e-310, 1e-300, 1e-305}, {1.0, 0.0, 1e-320},         {1.0, 0.0, -1e300},     {-3.0, 0.0, 0.0},
        {1e154, 1e160, 1e-160},   {sub, 1.0, sub},             {1e-320, -1.0, 0.0},    {1e308, 1.0, -1e-308},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c[0] << " s^2 + " << c[1] << " s + " << c[2]);
        EXPECT_TRUE(sameRoots(quadraticRoots(c[0], c[1], c[2]), longDoubleRoots(c[0], c[1], c[2])));
    }
    // a coefficient that is no finite number: no roots
    EXPECT_TRUE(quadraticRoots(1.0, std::numeric_limits<double>::infinity(), 1.0).empty());
    EXPECT_TRUE(quadraticRoots(1.0, 1.0, std::nan("")).empty());
}

// The loops of frequencies from the smallest subnormal to 1e300 Hz: the
// design the closed forms -wn twice (zeta 1) and -alpha to the last bit,
// the model the roots of Kv s^2 + (Kp - 1) s + Ki as long double has them,
// or none with the reason where its gains or roots are beyond the doubles;
// the table says so and writes no not-a-number.
TEST(LoopPoles, ExtremeGainsGiveTheClosedFormsOrSayNone)
{
    constexpr double sub = std::numeric_limits<double>::denorm_min();
    for (const double fn : {sub, 1e-320, 1e-300, 1e-150, 0.0, 1e-3, 1e150, 1e160, 1e300}) {
        for (const double alpha : {2.0, 0.0}) {
            if (fn == 0.0 && alpha == 0.0) continue;  // no velocity gain: refused
            SCOPED_TRACE(::testing::Message() << "fn2 " << fn << " Hz, alpha2 " << alpha);
            SimSettings s = testing::defaultSettings();
            s.wn2Hybrid8 = 2.0 * 3.14159265358979323846 * fn;
            s.alpha2Hybrid8 = alpha;
            s.wn1Hybrid8 = s.wn2Hybrid8;
            deriveSettings(s);
            for (const LoopPoles& l : loopPoles(s)) {
                SCOPED_TRACE(l.system);
                ASSERT_EQ(l.designed.size(), 3u);
                EXPECT_EQ(l.designed[0].re, -l.wn + 0.0);
                EXPECT_EQ(l.designed[1].re, -l.wn + 0.0);
                EXPECT_EQ(l.designed[0].im, 0.0);
                EXPECT_EQ(l.designed[2].re, -l.alpha + 0.0);
                if (!std::isfinite(l.Kp - 1.0) || !std::isfinite(l.Ki) || !std::isfinite(l.Kv)) {
                    EXPECT_EQ(l.modelNone, PolesNone::gainsNotFinite);
                    EXPECT_TRUE(l.model.empty());
                    continue;
                }
                const std::vector<Complex> want = longDoubleRoots(l.Kv, l.Kp - 1.0, l.Ki);
                const bool beyond = std::any_of(want.begin(), want.end(),
                                                [](Complex w) { return !std::isfinite(std::abs(w)); });
                EXPECT_EQ(l.modelNone, beyond ? PolesNone::beyondRange : PolesNone::computed);
                if (!beyond) {
                    EXPECT_TRUE(sameRoots(l.model, want));
                }
            }
            std::ostringstream table;
            printLoops(s, table);
            const std::string text = table.str();
            for (const std::string& line : testing::textLines(text)) {
                if (line.find("Kv s^2") != std::string::npos) continue;  // the gains as they are
                EXPECT_EQ(line.find("nan"), std::string::npos) << line;
                EXPECT_EQ(line.find("inf"), std::string::npos) << line;
            }
        }
    }
}

// The largest difference of the recorded force from the closed form has a
// figure only where it tells something: two samples in reach or more, and
// a finite difference at each.
TEST(LoopPoles, TheForceDifferenceIsNoneWhereItWouldTellNothing)
{
    struct Case {
        std::vector<std::pair<const char*, const char*>> sets;
        double Fn;  // put in after the run, for the closed form alone (0: as run)
        ForceDifferenceNone why;
    };
    const Case cases[] = {
        {{}, 0.0, ForceDifferenceNone::computed},
        {{{"KH1", "1e308"}}, 0.0, ForceDifferenceNone::oneSampleInReach},  // blows up after sample 0
        {{{"fn2", "1e5"}}, 0.0, ForceDifferenceNone::oneSampleInReach},
        {{{"A", "1e200"}}, 0.0, ForceDifferenceNone::noSampleInReach},
        {{}, 1.7e308, ForceDifferenceNone::notFinite},  // a closed form beyond the doubles
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << (c.sets.empty() ? "default" : c.sets[0].first) << " Fn " << c.Fn);
        SimSettings s = testing::defaultSettings();
        for (const auto& [name, value] : c.sets) ASSERT_TRUE(setTaskSetting(s, name, value).ok);
        deriveSettings(s);
        auto run = std::make_unique<RunSeries>();
        calcontrol(s, *run);
        if (c.Fn != 0.0) s.Fn = c.Fn;
        ForceDifferenceNone why = ForceDifferenceNone::computed;
        const double d = modelForceDifference(s, currentSeries(*run, s.type), &why);
        EXPECT_EQ(why, c.why);
        EXPECT_EQ(std::isfinite(d), c.why == ForceDifferenceNone::computed) << d;
    }
}

}  // namespace
}  // namespace hybridsim
