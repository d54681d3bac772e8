#include "study/root_locus.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "portable_math/portable_math.h"
#include "sim/contact_model.h"
#include "sim/gain_design.h"
#include "task/text_format.h"

namespace hybridsim {
namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
// the z-plane in view: |re z|, |im z| up to this
constexpr double zView = 2.0;

bool finitePole(const Pole& p) { return std::isfinite(p.re) && std::isfinite(p.im); }

// the ratio r the force loop's polynomial has: the start's under
// contact=spring, 1 otherwise
double loopRatio(const SimSettings& s) { return s.springContact ? stiffnessRatio(s) : 1.0; }

// the poles with the quantity at `value`, r the loop's ratio
std::vector<Pole> polesWith(const SimSettings& s, LocusQuantity q, double value, double r)
{
    std::vector<Pole> poles;
    if (q == LocusQuantity::period) {
        SimSettings at = s;
        at.controlPeriod = value;
        const SampledForceLoop l = sampledForceLoop(at);
        if (l.computed)
            for (int k = 0; k < 2; ++k) poles.push_back(Pole{l.re[k], l.im[k]});
    } else if (q == LocusQuantity::ratio) {
        poles = quadraticRoots(s.Kv2, value * (s.Kp2 - 1.0), value * s.Ki2);
    } else {
        // the gains the design gives for the varied fn2 or alpha2
        const LoopGains g = q == LocusQuantity::fn2 ? loopGains(s.zeta2, twoPi * value, s.alpha2)
                                                    : loopGains(s.zeta2, s.wn2, value);
        poles = quadraticRoots(g.Kv, r * (g.Kp - 1.0), r * g.Ki);
    }
    if (!std::all_of(poles.begin(), poles.end(), finitePole)) poles.clear();
    for (Pole& p : poles) p = Pole{p.re + 0.0, p.im + 0.0};
    return poles;
}

double distance(const Pole& a, const Pole& b) { return pmath::hypot(a.re - b.re, a.im - b.im); }

}  // namespace

const char* locusQuantityName(LocusQuantity q)
{
    switch (q) {
        case LocusQuantity::fn2: return "fn2";
        case LocusQuantity::alpha2: return "alpha2";
        case LocusQuantity::ratio: return "ratio";
        case LocusQuantity::period: return "period";
    }
    return "";
}

bool locusQuantityFromName(const std::string& name, LocusQuantity& q)
{
    for (LocusQuantity c : {LocusQuantity::fn2, LocusQuantity::alpha2, LocusQuantity::ratio, LocusQuantity::period})
        if (name == locusQuantityName(c)) {
            q = c;
            return true;
        }
    return false;
}

std::vector<Pole> locusPolesAt(const SimSettings& s, LocusQuantity q, double value)
{
    return polesWith(s, q, value, q == LocusQuantity::fn2 || q == LocusQuantity::alpha2 ? loopRatio(s) : 1.0);
}

RootLocus rootLocus(const SimSettings& s, LocusQuantity q)
{
    RootLocus l;
    l.quantity = q;
    l.zPlane = q == LocusQuantity::period;
    // the value in force, and whether the quantity applies
    const double r = loopRatio(s);
    switch (q) {
        case LocusQuantity::fn2: l.current = hertz(s.wn2); break;
        case LocusQuantity::alpha2: l.current = s.alpha2; break;
        case LocusQuantity::ratio: l.current = r; break;
        case LocusQuantity::period: l.current = s.controlPeriod; break;
    }
    if (q == LocusQuantity::ratio && !s.springContact) {
        l.none = "the stiffness ratio r enters the force loop under contact=spring only";
    } else if (q == LocusQuantity::period && !(s.springContact && s.controlPeriod > 0.0)) {
        l.none = "the force loop is sampled under contact=spring with a control period only";
    } else if (!std::isfinite(r)) {
        l.none = "the start of the contour is out of reach: no stiffness ratio r";
    } else if (!(l.current > 0.0) || !std::isfinite(l.current)) {
        l.none = format("%s is %g: no range of a tenth to ten times it", locusQuantityName(q), l.current);
    }
    if (!l.none.empty()) return l;
    l.computed = true;
    // the value in force the middle one, exactly
    for (int i = 0; i <= locusSteps; ++i)
        l.values.push_back(i == locusSteps / 2 ? l.current
                                               : l.current * pmath::pow(10.0, (i - locusSteps / 2) / (locusSteps / 2.0)));
    const Pole none{notANumber, notANumber};
    for (std::size_t i = 0; i < l.values.size(); ++i) {
        std::vector<Pole> p = polesWith(s, q, l.values[i], r);
        while (p.size() < 2) p.push_back(none);
        // each branch on from its pole at the step before: the pairing of
        // the smaller sum of distances (a lost pole pairs with anything)
        if (i > 0) {
            const Pole& a = l.branches[0].back();
            const Pole& b = l.branches[1].back();
            const double kept = distance(a, p[0]) + distance(b, p[1]);
            const double swapped = distance(a, p[1]) + distance(b, p[0]);
            if (swapped < kept) std::swap(p[0], p[1]);
        }
        l.branches[0].push_back(p[0]);
        l.branches[1].push_back(p[1]);
    }
    l.at = polesWith(s, q, l.current, r);
    return l;
}

Chart rootLocusChart(const SimSettings& s, LocusQuantity q, const std::vector<OtherRun>& others, double width)
{
    Chart c;
    c.panelWidth = std::max(chartNarrowest, width) - chartMargins;
    c.panelHeight = std::clamp(c.panelWidth - 20.0, 240.0, 380.0);
    const RootLocus l = rootLocus(s, q);
    const std::string name = locusQuantityName(q);
    if (!l.computed) {
        // a panel that says why, no lines in it
        ChartPanel p{"root locus of " + name + ": none (" + l.none + ")", "re [1/s]", "im [1/s]", {}, {}};
        p.legend = false;
        c.accessibleName = p.title;
        c.panels.push_back(std::move(p));
        return c;
    }
    c.accessibleName = "the root locus of the " + std::string(l.zPlane ? "sampled force loop in the z-plane" : "model's force loop in the s-plane") +
                       " as " + name + " varies from a tenth to ten times its value";
    ChartPanel p{l.zPlane ? format("sampled force loop, T from %.3g to %.3g s", l.values.front(), l.values.back())
                          : format("model force loop, %s from %.3g to %.3g", name.c_str(), l.values.front(), l.values.back()),
                 l.zPlane ? "re z" : "re [1/s]", l.zPlane ? "im z" : "im [1/s]", {}, {}};
    p.equalScale = true;
    p.legend = false;
    auto rings = [](const std::string& label, const std::string& colour, const std::vector<Pole>& at) {
        ChartSeries marks{label, colour, {}, {}};
        marks.mark = ChartSeries::Mark::ring;
        for (const Pole& z : at) {
            marks.x.push_back(z.re);
            marks.y.push_back(z.im);
        }
        return marks;
    };
    if (l.zPlane) {
        // the unit circle, and a view of |z| up to zView (a pole far outside is out of it)
        ChartSeries circle{"|z| = 1", chartKeyColour, {}, {}};
        circle.dashed = true;
        for (int k = 0; k <= 128; ++k) {
            circle.x.push_back(pmath::cos(2.0 * pi * k / 128));
            circle.y.push_back(pmath::sin(2.0 * pi * k / 128));
        }
        p.series.push_back(std::move(circle));
        p.xScale = scaleWithin(-zView, zView, 5);
        p.yScale = scaleWithin(-zView, zView, 5);
    }
    c.keys = {{"locus, force", forceLineColour}, {"now", forceLineColour, false, false, ChartSeries::Mark::ring}};
    if (l.zPlane) c.keys.push_back({"|z| = 1", chartKeyColour, true});
    for (const OtherRun& o : others) {
        if (!o.settings) continue;
        const LoopPoles pin = loopPoles(*o.settings)[1];
        p.series.push_back(rings(o.name, o.colour, l.zPlane ? pin.sampled : pin.model));
        c.keys.push_back({o.name, o.colour});
    }
    for (std::size_t k = 0; k < 2; ++k) {
        const std::vector<Pole>& b = l.branches[k];
        ChartSeries line{k == 0 ? "locus" : "", forceLineColour, {}, {}};
        for (const Pole& z : b) {
            line.x.push_back(z.re);
            line.y.push_back(z.im);
        }
        // the ends labelled with the factor: the quantity grows from x0.1 to x10
        auto inView = [&](const Pole& z) {
            return finitePole(z) && (!l.zPlane || (std::fabs(z.re) <= zView && std::fabs(z.im) <= zView));
        };
        if (inView(b.front())) p.notes.push_back({"locus-start", name + " x0.1", chartNoteColour, b.front().re, b.front().im});
        if (inView(b.back())) p.notes.push_back({"locus-end", name + " x10", chartNoteColour, b.back().re, b.back().im});
        p.series.push_back(std::move(line));
    }
    p.series.push_back(rings("now", forceLineColour, l.at));
    c.panels.push_back(std::move(p));
    return c;
}

}  // namespace hybridsim
