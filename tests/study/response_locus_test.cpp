// The frequency-response chart and the root loci against their physics
// computed here on its own: the loci's points are the roots of the force
// loop's polynomial (and the eigenvalues of the sampled loop's map of one
// period) with the quantity varied; the chart's marks of the bandwidth and
// the peak lie where the computed figures map through the panel's frame;
// the cursor's readings are the transfer functions at its frequency.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <regex>
#include <string>
#include <vector>

#include "sim/derivation.h"
#include "study/frequency_response.h"
#include "study/loop_poles.h"
#include "study/response_chart.h"
#include "study/root_locus.h"
#include "task/task_setting.h"
#include "tests/support/study_support.h"
#include "tests/test_support.h"

namespace hybridsim {
namespace {

using Complex = std::complex<double>;

// the default task after `sets` (NAME=VALUE), derived
SimSettings settingsOf(const std::vector<std::pair<std::string, std::string>>& sets)
{
    SimSettings s = testing::defaultSettings();
    for (const auto& [name, value] : sets) EXPECT_TRUE(setTaskSetting(s, name, value).ok) << name;
    deriveSettings(s);
    return s;
}

// every pole of `want` has one of `got` within a share `tol` of its size (and 1e-12)
void expectSamePoles(const std::vector<Complex>& want, const std::vector<Pole>& got, double tol)
{
    ASSERT_EQ(want.size(), got.size());
    for (const Complex& w : want) {
        double nearest = INFINITY;
        for (const Pole& g : got) nearest = std::min(nearest, std::abs(w - Complex(g.re, g.im)));
        EXPECT_LE(nearest, tol * std::abs(w) + 1e-12) << w;
    }
}

// the roots of a z^2 + b z + c by the schoolbook formula in complex numbers
std::vector<Complex> roots(double a, double b, double c)
{
    const Complex d = std::sqrt(Complex(b * b - 4.0 * a * c, 0.0));
    return {(-b + d) / (2.0 * a), (-b - d) / (2.0 * a)};
}

// The force loop's model poles with the design's gains written out from
// (s^2 + 2 zeta wn s + wn^2)(s + alpha) = s^3 + Kv s^2 + Kp s + Ki, and
// the sampled loop's as the eigenvalues of its map of one period
// [[1 - r b, g], [-r T, 1]] (study/frequency_response.h).
std::vector<Complex> modelPoles(double zeta, double wn, double alpha, double r)
{
    const double Kv = 2.0 * zeta * wn + alpha, Kp = wn * wn + 2.0 * zeta * wn * alpha, Ki = wn * wn * alpha;
    return roots(Kv, r * (Kp - 1.0), r * Ki);
}
std::vector<Complex> sampledPoles(const SimSettings& s, double T, double r)
{
    const double b = T * (s.Kp2 - 1.0) / s.Kv2 + s.Ki2 * T * T / (2.0 * s.Kv2);
    const double g = s.Ki2 * T / s.Kv2;
    const double trace = (1.0 - r * b) + 1.0, det = (1.0 - r * b) * 1.0 + g * r * T;
    return roots(1.0, -trace, det);
}

TEST(RootLocus, PointsAreTheRootsWithTheQuantityVaried)
{
    const SimSettings plain = settingsOf({});
    const SimSettings spring = settingsOf({{"contact", "spring"}, {"period", "0.02"}, {"zeta2", "0.5"}});
    const double r = loopPoles(spring)[1].ratio;
    ASSERT_GT(r, 0.0);
    struct Case {
        const SimSettings* s;
        LocusQuantity q;
        double current;
    };
    const Case cases[] = {
        {&plain, LocusQuantity::fn2, hertz(plain.wn2)},
        {&plain, LocusQuantity::alpha2, plain.alpha2},
        {&spring, LocusQuantity::fn2, hertz(spring.wn2)},
        {&spring, LocusQuantity::ratio, r},
        {&spring, LocusQuantity::period, 0.02},
    };
    for (const Case& c : cases) {
        const SimSettings& s = *c.s;
        SCOPED_TRACE(locusQuantityName(c.q));
        const RootLocus l = rootLocus(s, c.q);
        ASSERT_TRUE(l.computed) << l.none;
        ASSERT_EQ(l.values.size(), static_cast<std::size_t>(locusSteps + 1));
        EXPECT_EQ(l.values[locusSteps / 2], c.current);
        EXPECT_NEAR(l.values.front(), c.current / 10.0, 1e-12 * c.current);
        EXPECT_NEAR(l.values.back(), c.current * 10.0, 1e-12 * c.current);
        EXPECT_EQ(l.zPlane, c.q == LocusQuantity::period);
        const double ratio = s.springContact ? r : 1.0;
        for (std::size_t i : {0, 17, 50, 73, 100}) {
            const double v = l.values[i];
            std::vector<Complex> want;
            switch (c.q) {
                case LocusQuantity::fn2: want = modelPoles(s.zeta2, twoPi * v, s.alpha2, ratio); break;
                case LocusQuantity::alpha2: want = modelPoles(s.zeta2, s.wn2, v, ratio); break;
                case LocusQuantity::ratio: want = modelPoles(s.zeta2, s.wn2, s.alpha2, v); break;
                case LocusQuantity::period: want = sampledPoles(s, v, r); break;
            }
            expectSamePoles(want, {l.branches[0][i], l.branches[1][i]}, 1e-9);
        }
        // the poles in force are the ones the panel's s- or z-plane shows
        const LoopPoles f = loopPoles(s)[1];
        std::vector<Complex> shown;
        for (const Pole& p : l.zPlane ? f.sampled : f.model) shown.push_back(Complex(p.re, p.im));
        expectSamePoles(shown, l.at, 1e-12);
        // each branch followed: no step jumps further than to the other branch's pole
        for (std::size_t i = 1; i < l.values.size(); ++i)
            for (std::size_t k = 0; k < 2; ++k) {
                const Pole& was = l.branches[k][i - 1];
                auto away = [&](const Pole& p) { return std::hypot(p.re - was.re, p.im - was.im); };
                EXPECT_LE(away(l.branches[k][i]), away(l.branches[1 - k][i]) + 1e-9 * std::hypot(was.re, was.im))
                    << "branch " << k << " at " << i;
            }
    }
}

TEST(RootLocus, QuantitiesThatDoNotApplyGiveTheirReasonAndAWellFormedChart)
{
    const SimSettings plain = settingsOf({});
    const SimSettings pd = settingsOf({{"alpha2", "0"}});
    const SimSettings spring = settingsOf({{"contact", "spring"}});
    const std::pair<const SimSettings*, LocusQuantity> none[] = {
        {&plain, LocusQuantity::ratio}, {&plain, LocusQuantity::period},
        {&spring, LocusQuantity::period}, {&pd, LocusQuantity::alpha2}};
    for (const auto& [s, q] : none) {
        SCOPED_TRACE(locusQuantityName(q));
        const RootLocus l = rootLocus(*s, q);
        EXPECT_FALSE(l.computed);
        EXPECT_FALSE(l.none.empty());
        const std::string svg = chartSvg(rootLocusChart(*s, q, {}, 420.0));
        EXPECT_EQ(testing::svgFaults(svg), "");
        EXPECT_NE(svg.find(xmlText(l.none)), std::string::npos);
    }
    // a name read back, and an unknown one refused
    LocusQuantity q = LocusQuantity::fn2;
    EXPECT_TRUE(locusQuantityFromName("period", q));
    EXPECT_EQ(q, LocusQuantity::period);
    EXPECT_FALSE(locusQuantityFromName("zeta2", q));
    EXPECT_EQ(q, LocusQuantity::period);
}

// The marks' points of a panel as (kind, cx, cy).
struct Mark {
    std::string kind;
    double cx = 0.0, cy = 0.0;
};
std::vector<Mark> marks(const std::string& panelSvg)
{
    std::vector<Mark> out;
    static const std::regex note(
        "<g class=\"note\" data-kind=\"([a-z-]+)\">(?:<line class=\"note-leader\"[^>]*>)?<circle class=\"note-point\" cx=\"([-0-9.]+)\" cy=\"([-0-9.]+)\"");
    for (std::sregex_iterator m(panelSvg.begin(), panelSvg.end(), note), end; m != end; ++m)
        out.push_back({(*m)[1], std::stod((*m)[2]), std::stod((*m)[3])});
    return out;
}

TEST(ResponseChart, BandwidthAndPeakMarksMapBackToTheComputedFigures)
{
    for (const SimSettings& s : {settingsOf({}), settingsOf({{"contact", "spring"}, {"period", "0.02"}}),
                                 settingsOf({{"zeta2", "0.3"}, {"fn1", "2"}})}) {
        const Chart chart = responseChart(s, {}, 640.0);
        const ChartLayout layout = chartLayout(chart);
        const ChartSvgParts parts = chartSvgParts(chart);
        const auto loops = loopResponses(s);
        ASSERT_EQ(parts.panels.size(), responsePanels.size());
        int seen = 0;
        for (std::size_t i = 0; i < responsePanels.size(); ++i) {
            const PanelLayout& at = layout.panels[i];
            const LoopResponse& lr = loops[static_cast<std::size_t>(responsePanels[i].system - 1)];
            // the panel's frequencies are the loop's range
            const FrequencyRange range = responseRange(lr);
            EXPECT_NEAR(at.xs.lo, std::log10(range.low), 1e-12);
            EXPECT_NEAR(at.xs.hi, std::log10(range.high), 1e-12);
            for (const Mark& m : marks(parts.panels[i])) {
                EXPECT_TRUE(responsePanels[i].magnitude) << m.kind;
                const std::string kind = m.kind.substr(m.kind.find('-') + 1);
                const Response& r = kind == "designed" ? lr.designed : kind == "model" ? lr.model : lr.sampled;
                const double dc = 20.0 * std::log10(r.dcGain);
                const bool bandwidth = m.kind.rfind("bandwidth", 0) == 0;
                // the dot's place back to the data: 0.05 px of rounding
                const double hzPerPx = (at.xs.hi - at.xs.lo) / (at.x1 - at.x0);
                const double dbPerPx = (at.ys.hi - at.ys.lo) / (at.y1 - at.y0);
                const double dB = at.ys.lo + (at.y1 - m.cy) * dbPerPx;
                EXPECT_NEAR(at.xValue(m.cx), std::log10(bandwidth ? r.bandwidth : r.peakFrequency), 0.051 * hzPerPx)
                    << m.kind;
                EXPECT_NEAR(dB, bandwidth ? dc - 3.0 : dc + r.peak, 0.051 * dbPerPx) << m.kind;
                ++seen;
            }
        }
        // every figure the responses have is marked
        int figures = 0;
        for (const LoopResponse& lr : loops)
            for (const Response* r : {&lr.designed, &lr.model, &lr.sampled})
                figures += (r->computed && r->hasBandwidth) + (r->computed && r->hasPeak);
        EXPECT_EQ(seen, figures);
        EXPECT_GT(figures, 1);
    }
}

TEST(ResponseChart, ReadingsAreTheTransferFunctionsOnTheDrawnPhase)
{
    const SimSettings s = settingsOf({{"contact", "spring"}, {"period", "0.02"}, {"zeta2", "0.4"}});
    const auto poles = loopPoles(s);
    const auto loops = loopResponses(s);
    for (int system : {1, 2}) {
        const LoopPoles& l = poles[static_cast<std::size_t>(system - 1)];
        const LoopResponse& lr = loops[static_cast<std::size_t>(system - 1)];
        for (double hz : {0.05, 0.7, 3.3, 12.0, 24.9, 140.0}) {
            SCOPED_TRACE(hz);
            const LoopReading got = readLoop(s, system, hz);
            const std::pair<const ResponseReading*, Gain> each[] = {
                {&got.designed, designedResponseAt(l, hz)}, {&got.model, modelResponseAt(l, hz)},
                {&got.sampled, system == 2 ? sampledResponseAt(l, hz) : Gain{}}};
            const Response* grids[] = {&lr.designed, &lr.model, &lr.sampled};
            for (int k = 0; k < 3; ++k) {
                const Response& g = *grids[k];
                const bool inGrid = g.computed && hz >= g.frequency.front() && hz <= g.frequency.back();
                ASSERT_EQ(each[k].first->computed, inGrid) << k;
                if (!inGrid) continue;
                const Complex h(each[k].second.re, each[k].second.im);
                EXPECT_NEAR(each[k].first->decibels, 20.0 * std::log10(std::abs(h)), 1e-9) << k;
                // the phase of H to a whole turn, on the drawn line's turn:
                // within 10 degrees of the grid's nearest point
                const double turns = (each[k].first->degrees - std::arg(h) * 180.0 / M_PI) / 360.0;
                EXPECT_NEAR(turns, std::round(turns), 1e-9) << k;
                std::size_t near = 0;
                for (std::size_t i = 0; i < g.frequency.size(); ++i)
                    if (std::fabs(std::log10(g.frequency[i] / hz)) < std::fabs(std::log10(g.frequency[near] / hz)))
                        near = i;
                EXPECT_NEAR(each[k].first->degrees, g.phase[near], 10.0) << k;
            }
        }
    }
    // at the model's bandwidth the reading is 3 dB below the DC gain
    const Response& model = loops[1].model;
    ASSERT_TRUE(model.hasBandwidth);
    EXPECT_NEAR(readLoop(s, 2, model.bandwidth).model.decibels, 20.0 * std::log10(model.dcGain) - 3.0, 1e-6);
    // no such loop
    EXPECT_FALSE(readLoop(s, 3, 1.0).model.computed);
}

}  // namespace
}  // namespace hybridsim
