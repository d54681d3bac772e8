#include "sim/run.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "sim/contact_model.h"
#include "sim/hybrid_control.h"
#include "sim/integrator.h"
#include "sim/kinematics.h"
#include "sim/trajectory.h"

namespace hybridsim {
namespace {

// The last abscissa computed for each of the two sine integrations of a
// sample; after the end of the path s_r repeats from sample to sample.
struct AbscissaMemo {
    double refArc = std::numeric_limits<double>::quiet_NaN();
    double refX = 0.0;
    double contactArc = std::numeric_limits<double>::quiet_NaN();
    double contactX = 0.0;
};

// The reference at t and the contact point at arc length `arc`.  For the sine
// contour both need a 200-step integration; they run side by side and the
// results are the same as referenceAt(t) and contourPoint(arc).
void referenceAndContact(const SimSettings& s, double t, double arc, AbscissaMemo& memo,
                         Reference& ref, Vec2& contact)
{
    const ReferenceMotion m = referenceMotion(s, t);
    ref.s = m.s;
    ref.sdot = m.sdot;
    const bool sineReference = s.curve == 'S' && (s.hybrid == '7' || s.hybrid == '8');
    if (s.curve != 'S' || !sineReference) {
        ref.point = referencePoint(s, m.s);
        contact = contourPoint(s, arc);
        return;
    }
    double xr = 0.0;
    double xc = 0.0;
    const bool refKnown = memo.refArc == m.s;
    const bool contactKnown = memo.contactArc == arc;
    if (refKnown) xr = memo.refX;
    if (contactKnown) xc = memo.contactX;
    if (!refKnown && !contactKnown) {
        sineAbscissaPair(s, sineSteps, m.s, arc, xr, xc);
    } else if (!refKnown) {
        xr = sineAbscissa(s, sineSteps, m.s);
    } else if (!contactKnown) {
        xc = sineAbscissa(s, sineSteps, arc);
    }
    memo = {m.s, xr, arc, xc};
    // method 7 commands the shifted curve, method 8 the workpiece itself
    ref.point = sinePointAt(s, xr, s.hybrid == '7');
    contact = sinePointAt(s, xc, false);
}

// Turns the model state y at time t into sample i of the current set.
void recordSample(const SimSettings& s, RunSeries& run, int i, double t, const double* y, ReachReporter* report,
                  AbscissaMemo& memo)
{
    Reference ref;
    Vec2 P;
    referenceAndContact(s, t, y[0], memo, ref, P);
    // joints of the reference point, continuous from the previous sample
    if (t == 0.0) run.refJointPos = Joints{0.0, 0.0};
    run.refJointPos = inverseKinematics(s, ref.point.x, ref.point.y, run.refJointPos, report);
    // posture commanded for the contact point and the force
    const Joints q = computeJointCommand(s, t, P, y[1], run.contactJoints, report);

    SeriesSet& set = currentSeries(run, s.type);
    set.time[i] = t;
    set.jointPos[i] = q;
    set.contactForce[i] = y[1];
    set.forceCommand[i] = y[1];
    set.forceErr[i] = y[1] - s.Fn;
    const Contact contact = contactOf(s, q);
    set.handDeflection[i] = contact.deflection;
    set.springForce[i] = contact.springForce;
    set.tipPos[i] = deflectedTipPosition(s, q, set.handDeflection[i]);
    set.refPos[i] = ref.point;
    set.posErr[i] = {set.tipPos[i].x - ref.point.x, set.tipPos[i].y - ref.point.y};
    set.sErr[i] = (i == 0) ? 0.0 : y[0] - ref.s;
}

}  // namespace

SeriesSet& currentSeries(RunSeries& run, char type)
{
    return type == 'b' ? run.B : run.A;
}

const SeriesSet& currentSeries(const RunSeries& run, char type)
{
    return type == 'b' ? run.B : run.A;
}

int subStepsFor(const SimSettings& s, double tau)
{
    // the three switching times of the profile: ta, tf - ta and tf
    const double eps = switchTolerance;
    const double ta = s.accelTime;
    const double tf = s.tf;
    const double dt = s.dt;
    const bool nearAccelEnd = tau > ta - dt - eps && tau < ta + dt + eps;
    const bool nearDecelStart = tau > tf - ta - dt - eps && tau < tf - ta + dt + eps;
    const bool nearEnd = tau > tf - dt - eps && tau < tf + dt + eps;
    return (nearAccelEnd || nearDecelStart || nearEnd) ? fineSubSteps : coarseSubSteps;
}

int lastSample(const SimSettings& s)
{
    // the series hold seriesCapacity samples: never past them
    return std::max(0, std::min(s.nsteps, seriesCapacity - 1));
}

RunFault calcontrol(const SimSettings& s, RunSeries& run, ReachReporter* report)
{
    if (s.springContact) return calcontrolSpring(s, run, report);
    AbscissaMemo memo;
    SampleReach reach(report);
    RunFault fault;
    double longestStep = 0.0;
    const SeriesSet& set = currentSeries(run, s.type);
    // the first sample whose numbers are no longer all numbers
    auto look = [&](int i, const double* y) {
        const bool unreachable = reach.take();
        if (!fault) fault = findRunFault(s, set, i, y, longestStep, unreachable);
    };
    double t = 0.0;
    double tau = 0.0;
    double y[stateSize] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    double next[stateSize];
    SeriesSet& trace = currentSeries(run, s.type);
    trace.forceTrace.clear();
    trace.forceTrace.reserve(static_cast<std::size_t>(lastSample(s)) * coarseSubSteps + 1);
    auto traced = [&](double at, const double* v) {
        trace.forceTrace.push_back(ForcePoint{at, v[1], modelDerivative(s, 1, at, v)});
    };
    traced(t, y);
    trace.traceAt[0] = 0;
    recordSample(s, run, 0, t, y, &reach, memo);
    look(0, y);
    const int last = lastSample(s);
    for (int i = 1; i <= last; ++i) {
        // the test uses tau as the previous period left it: this period's start
        const int nsub = subStepsFor(s, tau);
        const double h = s.dt / nsub;
        longestStep = std::max(longestStep, h);
        tau = t;
        for (int k = 0; k < nsub; ++k) {
            rungeKuttaGill(s, tau, h, y, next);
            std::copy(next, next + stateSize, y);
            tau = tau + h;
            // the sample's own point carries the sample's time
            if (k + 1 < nsub) traced(tau, y);
        }
        t = t + s.dt;
        traced(t, y);
        trace.traceAt[i] = static_cast<int>(trace.forceTrace.size()) - 1;
        recordSample(s, run, i, t, y, &reach, memo);
        look(i, y);
    }
    return fault;
}

}  // namespace hybridsim
