#include "study/step_response.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "study/golden_section.h"

namespace hybridsim {
namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

// Each interval between two points of the trace is looked at in this many
// pieces (the cubic has at most two turns in it), and a crossing or a turn
// found between two of them is refined by this many halvings.
constexpr int piecesPerInterval = 8;
constexpr int refineSteps = 60;

// The time in [lo, hi] where `outside` changes, `outside(lo)` differing from
// `outside(hi)`: by halving.
template <class Test>
double crossing(double lo, double hi, Test outside)
{
    const bool atLo = outside(lo);
    for (int k = 0; k < refineSteps && lo < hi; ++k) {
        const double mid = 0.5 * (lo + hi);
        if (mid <= lo || mid >= hi) break;
        (outside(mid) == atLo ? lo : hi) = mid;
    }
    return atLo ? lo : hi;
}

// The largest value of g on [lo, hi] (one turn there) and its first time,
// when larger than `best`.
template <class G>
void largest(double lo, double hi, G g, double& best, double& at)
{
    const std::pair<double, double> low = goldenMinimum([&](double t) { return -g(t); }, lo, hi, refineSteps);
    if (-low.first > best) {
        best = -low.first;
        at = low.second;
    }
}

}  // namespace

double forceBetween(const ForcePoint& a, const ForcePoint& b, double t)
{
    const double h = b.t - a.t;
    if (!(h > 0.0)) return t <= a.t ? a.F : b.F;
    const double u = (t - a.t) / h;
    if (std::isnan(a.rate) || std::isnan(b.rate)) return a.F + u * (b.F - a.F);
    const double u2 = u * u;
    const double u3 = u2 * u;
    return (2.0 * u3 - 3.0 * u2 + 1.0) * a.F + (u3 - 2.0 * u2 + u) * h * a.rate + (3.0 * u2 - 2.0 * u3) * b.F +
           (u3 - u2) * h * b.rate;
}

double forceAt(const ForceStretches& force, double t)
{
    for (const std::vector<ForcePoint>& stretch : force) {
        if (stretch.empty() || t < stretch.front().t || t > stretch.back().t) continue;
        // the first point at or after t
        const auto b = std::lower_bound(stretch.begin(), stretch.end(), t,
                                        [](const ForcePoint& p, double at) { return p.t < at; });
        if (b == stretch.begin()) return b->F;
        return forceBetween(*(b - 1), *b, t);
    }
    return notANumber;
}

ForceStretches forceStretches(const SeriesSet& set, int last, const std::vector<bool>& inReach)
{
    ForceStretches out;
    const bool traced = !set.forceTrace.empty();
    for (int i = 0; i <= last; ++i) {
        if (!inReach[static_cast<std::size_t>(i)]) continue;
        const bool joins = i > 0 && inReach[static_cast<std::size_t>(i) - 1];
        if (!joins) out.emplace_back();
        std::vector<ForcePoint>& stretch = out.back();
        if (!traced) {
            stretch.push_back(ForcePoint{set.time[i], set.contactForce[i], notANumber});
            continue;
        }
        // the sub-steps since the sample before, when it is in the stretch
        const int from = joins ? set.traceAt[i - 1] + 1 : set.traceAt[i];
        for (int k = from; k <= set.traceAt[i]; ++k) stretch.push_back(set.forceTrace[static_cast<std::size_t>(k)]);
    }
    return out;
}

namespace {

// What readStep gathers along the force: the first times at the rise's two
// levels, the largest force and where it lies, and the end of the last time
// outside the band.
struct StepScan {
    StepScan(double Fn, double riseFrom, double riseTo, double band)
        : Fn(Fn), band(band), sign(Fn < 0.0 ? -1.0 : 1.0), from(riseFrom * std::fabs(Fn)),
          to(riseTo * std::fabs(Fn))
    {
    }

    bool outside(double F) const { return std::fabs(F - Fn) > band; }
    void stretchStart(std::size_t n, const std::vector<ForcePoint>& stretch);
    void interval(std::size_t n, std::size_t k, const ForcePoint& a, const ForcePoint& b);
    void refinePeak(const ForceStretches& force);

    const double Fn;
    const double band;
    const double sign;
    const double from;
    const double to;
    double firstFrom = notANumber;
    double firstTo = notANumber;
    bool fromUnknown = false;
    bool toUnknown = false;
    double best = -std::numeric_limits<double>::infinity();
    double bestAt = notANumber;
    std::pair<std::size_t, std::size_t> bestIn{0, 0};  // the stretch and the interval's end point of the best
    // the end of the last time outside the band, and whether the force is outside at the end
    double settled = notANumber;
    bool outsideAtEnd = false;
};

// the start of stretch n: the levels, the largest force and the band there
void StepScan::stretchStart(std::size_t n, const std::vector<ForcePoint>& stretch)
{
    // a level already met at a later stretch's start: when is not known
    const double g0 = sign * stretch.front().F;
    auto meetAtStart = [&](double level, double& at, bool& unknown) {
        if (!std::isnan(at) || unknown || g0 < level) return;
        if (n == 0)
            at = stretch.front().t;
        else
            unknown = true;
    };
    meetAtStart(from, firstFrom, fromUnknown);
    meetAtStart(to, firstTo, toUnknown);
    if (g0 > best) {
        best = g0;
        bestAt = stretch.front().t;
    }
    const bool startsOutside = outside(stretch.front().F);
    if (n > 0 && outsideAtEnd && !startsOutside) settled = stretch.front().t;
    outsideAtEnd = startsOutside;
    if (startsOutside) settled = notANumber;
}

// the interval from a to b, point k of stretch n: looked at in pieces when
// a level, a band edge or a larger force can lie in it
void StepScan::interval(std::size_t n, std::size_t k, const ForcePoint& a, const ForcePoint& b)
{
    const bool cubic = !std::isnan(a.rate) && !std::isnan(b.rate);
    // The cubic stays within (4/27) h (|rate a| + |rate b|) of its
    // end values (the Hermite weights of the rates are at most 4/27),
    // so an interval in which no level, band edge or larger force
    // can lie is passed by its end values alone.
    const double reach = cubic ? 4.0 / 27.0 * (b.t - a.t) * (std::fabs(a.rate) + std::fabs(b.rate)) : 0.0;
    const double lo = std::min(a.F, b.F) - reach;
    const double hi = std::max(a.F, b.F) + reach;
    const double ghi = std::max(sign * lo, sign * hi);
    const bool levelInside = (std::isnan(firstFrom) && ghi >= from) || (std::isnan(firstTo) && ghi >= to);
    const bool edgeInside = !(lo > Fn + band || hi < Fn - band || (lo >= Fn - band && hi <= Fn + band));
    const bool larger = ghi > best;
    const int pieces = cubic && (levelInside || edgeInside || larger) ? piecesPerInterval : 1;
    auto F = [&](double t) { return forceBetween(a, b, t); };
    auto g = [&](double t) { return sign * F(t); };
    double t0 = a.t;
    for (int p = 1; p <= pieces; ++p) {
        const double t1 = p == pieces ? b.t : a.t + (b.t - a.t) * p / pieces;
        const double g1 = p == pieces ? sign * b.F : g(t1);
        for (const std::pair<double, double*>& meet : {std::pair{from, &firstFrom}, std::pair{to, &firstTo}}) {
            const double level = meet.first;
            if (std::isnan(*meet.second) && g1 >= level)
                *meet.second = crossing(t0, t1, [&](double t) { return g(t) >= level; });
        }
        if (g1 > best) {
            best = g1;
            bestAt = t1;
            bestIn = {n, k};
        }
        const bool out1 = outside(sign * g1);
        if (outsideAtEnd && !out1) settled = crossing(t0, t1, [&](double t) { return outside(F(t)); });
        if (out1) settled = notANumber;
        outsideAtEnd = out1;
        t0 = t1;
    }
}

// the largest force: refined between the pieces around the best one,
// and into the next interval when it was the end of its own
void StepScan::refinePeak(const ForceStretches& force)
{
    if (bestIn.second == 0) return;
    const std::vector<ForcePoint>& stretch = force[bestIn.first];
    for (std::size_t k = bestIn.second; k <= bestIn.second + 1 && k < stretch.size(); ++k) {
        const ForcePoint& a = stretch[k - 1];
        const ForcePoint& b = stretch[k];
        if (std::isnan(a.rate) || std::isnan(b.rate) || bestAt < a.t || bestAt > b.t) continue;
        const double step = (b.t - a.t) / piecesPerInterval;
        largest(std::max(a.t, bestAt - step), std::min(b.t, bestAt + step),
                [&](double t) { return sign * forceBetween(a, b, t); }, best, bestAt);
    }
}

}  // namespace

StepFigures readStep(const ForceStretches& force, double Fn, double riseFrom, double riseTo, double band)
{
    StepFigures f;
    f.read = std::isfinite(Fn) && !force.empty() && force.front().size() > 1 && force.front().front().t == 0.0;
    if (!f.read) {
        f.overshoot = f.peakForce = f.peakTime = f.riseTime = f.riseFromTime = f.riseToTime = f.settlingTime =
            notANumber;
        return f;
    }
    StepScan scan(Fn, riseFrom, riseTo, band);
    for (std::size_t n = 0; n < force.size(); ++n) {
        const std::vector<ForcePoint>& stretch = force[n];
        scan.stretchStart(n, stretch);
        for (std::size_t k = 1; k < stretch.size(); ++k) scan.interval(n, k, stretch[k - 1], stretch[k]);
    }
    scan.refinePeak(force);
    f.overshoot = std::max(0.0, scan.best - std::fabs(Fn));
    if (f.overshoot > 0.0) {
        f.peakForce = scan.sign * scan.best;
        f.peakTime = scan.bestAt;
    } else {
        f.peakForce = f.peakTime = notANumber;
    }
    f.riseFromTime = scan.fromUnknown ? notANumber : scan.firstFrom;
    f.riseToTime = scan.toUnknown ? notANumber : scan.firstTo;
    f.riseTime = Fn != 0.0 ? f.riseToTime - f.riseFromTime : notANumber;
    if (scan.outsideAtEnd)
        f.settlingTime = notANumber;
    else
        f.settlingTime = std::isnan(scan.settled) ? force.front().front().t : scan.settled;
    return f;
}

}  // namespace hybridsim
