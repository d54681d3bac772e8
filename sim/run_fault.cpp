#include "sim/run_fault.h"

#include <algorithm>
#include <cmath>

#include "sim/integrator.h"
#include "sim/run.h"

namespace hybridsim {
namespace {

bool finite(double v) { return std::isfinite(v); }
bool finite(Vec2 p) { return finite(p.x) && finite(p.y); }
bool finite(Joints q) { return finite(q.phi1) && finite(q.phi2); }

// a growth this close to 1 is rounding, not growth
constexpr double growthTolerance = 1e-9;
// the search for the highest stable frequency: steps down, then halvings
constexpr double searchFactor = 0.9;
constexpr int searchSteps = 700;
constexpr int bisections = 60;

bool stableWith(const LoopGains& g, double h)
{
    return loopSettles(g) && stepGrowth(g, h) <= 1.0 + growthTolerance;
}

// What broke system n's state, when its gains, its loop or its integration did.
RunFaultCause systemCause(const SimSettings& s, int n, double h)
{
    const LoopGains g = runGains(s, n);
    if (!finite(g.Kp) || !finite(g.Kv) || !finite(g.Ki)) return RunFaultCause::gainsOverflow;
    if (!finite((g.Kp - 1.0) / g.Kv) || !finite(g.Ki / g.Kv)) return RunFaultCause::velocityGainTiny;
    if (!loopSettles(g)) return RunFaultCause::loopUnstable;
    if (h > 0.0 && !(stepGrowth(g, h) <= 1.0 + growthTolerance)) return RunFaultCause::stepTooLong;
    return RunFaultCause::none;
}

RunFaultCause cause(const SimSettings& s, const SeriesSet& set, int i, const double* y, double h,
                    int& system)
{
    // the path and its velocity profile: without them no reference exists
    const ProfileParams& p = currentProfile(s);
    if (!finite(s.pathLength)) return RunFaultCause::pathTooLong;
    if (!finite(p.vs) || (s.hybrid == '7' && (!finite(p.acc) || !finite(p.dec))))
        return RunFaultCause::pathTooFast;

    // the state of the loops: system 2 (y[1], y[5]) and system 1 (y[0], y[4])
    const bool broken[3] = {false, !finite(y[0]) || !finite(y[4]), !finite(y[1]) || !finite(y[5])};
    for (int n : {2, 1}) {
        if (!broken[n]) continue;
        const RunFaultCause c = systemCause(s, n, h);
        if (c != RunFaultCause::none) {
            system = n;
            return c;
        }
    }
    // a loop that settles and is integrated stably overflows only on its inputs
    if (broken[2]) {
        system = 2;
        return RunFaultCause::forceTooLarge;
    }
    if (broken[1]) {
        system = 1;
        return RunFaultCause::pathNumbersTooLarge;
    }

    // the state is finite: the positions and the contact
    const double F = y[1];
    if (!finite(set.jointPos[i])) {
        if (!finite(std::fabs(F) / s.KH1) || !finite(std::fabs(F) / s.KH2)) return RunFaultCause::springsTooSoft;
        return RunFaultCause::coordinatesTooLarge;
    }
    if (!finite(set.handDeflection[i]) && !finite(s.KH1 * s.KH2)) return RunFaultCause::springsTooStiff;
    if (!finite(set.forceErr[i])) {
        system = 2;
        return RunFaultCause::forceTooLarge;
    }
    if (!finite(set.sErr[i])) {
        system = 1;
        return RunFaultCause::pathNumbersTooLarge;
    }
    return RunFaultCause::coordinatesTooLarge;
}

}  // namespace

LoopGains runGains(const SimSettings& s, int system)
{
    LoopGains g;
    g.Kp = system == 1 ? s.Kp1 : s.Kp2;
    g.Kv = system == 1 ? s.Kv1 : s.Kv2;
    g.Ki = system == 1 ? s.Ki1 : s.Ki2;
    return g;
}

bool loopSettles(const LoopGains& g)
{
    // r^2 + a r + b: both roots in the left half-plane (or one at 0) when a > 0, b >= 0
    const double a = (g.Kp - 1.0) / g.Kv;
    const double b = g.Ki / g.Kv;
    return a > 0.0 && b >= 0.0;
}

double stepGrowth(const LoopGains& g, double h)
{
    // the step of the model's own integrator on (e, z), applied to both unit
    // vectors: the columns of its matrix (the step is linear in the state)
    auto f = [&g](int j, double, const double* v) {
        return j == 0 ? ((g.Kp - 1.0) * (0.0 - v[0]) + g.Ki * v[1]) / g.Kv : 0.0 - v[0];
    };
    const double e1[2] = {1.0, 0.0};
    const double e2[2] = {0.0, 1.0};
    double c1[2];
    double c2[2];
    rungeKuttaGill(f, 0.0, h, e1, c1, 2);
    rungeKuttaGill(f, 0.0, h, e2, c2, 2);
    // eigenvalues of [[c1[0], c2[0]], [c1[1], c2[1]]]
    const double half = (c1[0] + c2[1]) / 2.0;
    const double det = c1[0] * c2[1] - c2[0] * c1[1];
    const double disc = half * half - det;
    double rho = 0.0;
    if (disc >= 0.0) {
        const double root = std::sqrt(disc);
        rho = std::max(std::fabs(half + root), std::fabs(half - root));
    } else {
        rho = std::sqrt(det);  // a complex pair: |lambda|^2 = det
    }
    return finite(rho) ? rho : HUGE_VAL;
}

double highestStableFrequency(const SimSettings& s, int system, double h)
{
    const double zeta = system == 1 ? s.zeta1 : s.zeta2;
    const double alpha = system == 1 ? s.alpha1 : s.alpha2;
    const double wn = system == 1 ? s.wn1 : s.wn2;
    auto stable = [&](double w) { return stableWith(loopGains(zeta, w, alpha), h); };
    if (!finite(wn) || wn == 0.0) return 0.0;
    if (stable(wn)) return wn / twoPi;
    // down from the present frequency until the loop is stable ...
    double low = wn;
    int k = 0;
    for (; k < searchSteps && !stable(low); ++k) low *= searchFactor;
    if (k == searchSteps) return 0.0;
    // ... then the edge between that and the step above it
    double high = low / searchFactor;
    for (int j = 0; j < bisections; ++j) {
        const double mid = (low + high) / 2.0;
        (stable(mid) ? low : high) = mid;
    }
    return low / twoPi;
}

RunFault findRunFault(const SimSettings& s, const SeriesSet& set, int i, const double* y, double h,
                      bool unreachable)
{
    // the state as the sample records it: s (in sErr) and F; an integral
    // that overflows shows there at the latest one sub-step later
    const bool state = finite(y[0]) && finite(y[1]);
    const bool reference = finite(set.refPos[i]);
    const bool posture = finite(set.jointPos[i]) && finite(set.handDeflection[i]) &&
                         finite(set.tipPos[i]) && finite(set.posErr[i]);
    const bool rest = finite(set.time[i]) && finite(set.contactForce[i]) && finite(set.forceErr[i]) &&
                      finite(set.sErr[i]);
    RunFault f;
    if (state && reference && rest && (posture || unreachable)) return f;
    f.sample = i;
    f.time = set.time[i];
    f.cause = cause(s, set, i, y, h, f.system);
    if (f.cause == RunFaultCause::stepTooLong) {
        f.step = h;
        // the run's longest step, far from the profile's switching times
        f.stableUpTo = highestStableFrequency(s, f.system, s.dt / coarseSubSteps);
    }
    if (f.cause == RunFaultCause::springsTooSoft) f.force = y[1];
    return f;
}

}  // namespace hybridsim
