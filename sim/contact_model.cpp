#include "sim/contact_model.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "portable_math/portable_math.h"
#include "sim/hybrid_control.h"
#include "sim/integrator.h"
#include "sim/kinematics.h"
#include "sim/trajectory.h"

namespace hybridsim {

SineArc::SineArc(const SimSettings& s) : k_(2.0 * pi / s.sineL), A_(s.sineA) {}

double SineArc::abscissa(double arc)
{
    const int n = static_cast<int>(std::ceil(std::fabs(arc - arc_) / sineArcStep));
    const double h = n > 0 ? (arc - arc_) / n : 0.0;
    for (int i = 0; i < n; ++i) {
        const double a = rate(xi_);
        const double b = rate(xi_ + 0.5 * h * a);
        const double c = rate(xi_ + 0.5 * h * b);
        const double d = rate(xi_ + h * c);
        xi_ += h * (a + 2.0 * b + 2.0 * c + d) / 6.0;
    }
    arc_ = arc;
    return xi_;
}

double SineArc::rate(double xi) const
{
    const double slope = k_ * A_ * pmath::cos(k_ * xi);
    return 1.0 / std::sqrt(1.0 + slope * slope);
}

SpringContact springContactOf(const SimSettings& s, Joints q)
{
    SpringContact c;
    const Penetration p = penetrationOf(s, q);
    const double phi = angleFromHand(s, p.normal, q);
    const double cphi = pmath::cos(phi);
    const double sphi = pmath::sin(phi);
    c.depth = p.depth;
    c.handStiffness = handNormalStiffness(s, cphi, sphi);
    // in series with a rigid workpiece (KW = inf) the hand's own
    c.stiffness = 1.0 / (1.0 / c.handStiffness + 1.0 / s.KW);
    // the contact pushes only: off the surface no force, no deflection
    if (!(p.depth > 0.0)) return c;
    c.force = c.stiffness * p.depth;
    // the hand carries Fm along n: Fm / kh along n, and unequal springs add
    // (KH1 - KH2) Fm cos phi sin phi / (KH1 KH2) across it
    const double dn = c.force / c.handStiffness;
    const double dt = (s.KH1 - s.KH2) * c.force * cphi * sphi / (s.KH1 * s.KH2);
    c.deflection = {dn * cphi - dt * sphi, dn * sphi + dt * cphi};
    return c;
}

double stiffnessRatio(const SimSettings& s)
{
    // the measured force of the posture commanded at the start for F (the
    // sine's point at arc 0 is its start, as the loop's believed point has it)
    const Vec2 start = s.curve == 'S' ? sinePointAt(s, s.sineX0, s.hybrid == '7') : referencePoint(s, 0.0);
    auto measured = [&](double F) {
        Joints reference = s.initialJoint;
        return springContactOf(s, computeJointCommand(s, 0.0, start, F, reference, nullptr));
    };
    // the rest state: the command F* that gives about Fn, F* = Fn kh / k
    const SpringContact atFn = measured(s.Fn);
    const double rest = s.Fn * (1.0 + atFn.handStiffness / s.KW);
    if (!std::isfinite(rest)) return std::nan("");
    // the slope there, by a central difference (forward from a rest at 0)
    const double h = rest > 0.0 ? 1e-4 * rest : 1e-6;
    const double from = rest > 0.0 ? rest - h : rest;
    const double slope = (measured(rest + h).force - measured(from).force) / (rest + h - from);
    return std::isfinite(slope) ? slope : std::nan("");
}

SampledForceLoop sampledForceLoop(const SimSettings& s)
{
    SampledForceLoop l;
    if (!s.springContact || !(s.controlPeriod > 0.0)) return l;
    const double T = s.controlPeriod;
    const double r = stiffnessRatio(s);
    l.period = T;
    l.ratio = r;
    const double a = r * T * (s.Kp2 - 1.0) / s.Kv2 + r * s.Ki2 * T * T / (2.0 * s.Kv2);
    const double c = r * s.Ki2 * T * T / s.Kv2;
    if (!std::isfinite(a) || !std::isfinite(c)) return l;
    l.computed = true;
    // z = 1 - a/2 +- sqrt(a^2/4 - c)
    const double mid = 1.0 - a / 2.0;
    const double disc = a * a / 4.0 - c;
    if (disc < 0.0) {
        const double w = std::sqrt(-disc);
        l.re[0] = l.re[1] = mid;
        l.im[0] = w;
        l.im[1] = -w;
    } else if (c == 0.0) {
        // no integral gain: the integral's pole stays at 1 exactly
        l.re[0] = 1.0;
        l.re[1] = 1.0 - a;
    } else {
        const double w = std::sqrt(disc);
        l.re[0] = mid + w;
        l.re[1] = mid - w;
    }
    l.largest = std::max(pmath::hypot(l.re[0], l.im[0]), pmath::hypot(l.re[1], l.im[1]));
    l.unstable = l.largest > 1.0;
    const double kp = s.Kp2 - 1.0;
    l.periodLimit = s.Kv2 > 0.0 && kp > 0.0 && s.Ki2 >= 0.0 && r > 0.0
                        ? std::min(2.0 * s.Kv2 / (r * kp), 2.0 * kp / s.Ki2)
                        : std::nan("");
    return l;
}

namespace {

// The closed loop under contact=spring.  State: s, F (the force command),
// the actual joints (with servo lag), z1, z2.  Component 2 and 3 are the
// joints; without lag they follow the command and are not integrated.
class SpringLoop {
public:
    explicit SpringLoop(const SimSettings& s) : s_(s), reference_(s.initialJoint), sine_(s) {}

    // the point where the method believes the workpiece at arc length `arc`
    // is: the real contour (method 8), the one shifted by the setting error
    // (method 7); on the sine at the abscissa the real one reaches there
    Vec2 believedPoint(double arc)
    {
        if (s_.curve != 'S') return referencePoint(s_, arc);
        return sinePointAt(s_, s_.sineX0 + sine_.abscissa(arc), s_.hybrid == '7');
    }
    // the posture commanded for state v: the force command v[1] at the
    // believed point at arc length v[0]
    Joints command(double t, const double* v)
    {
        if (v[0] != pointArc_ || !pointKnown_) {
            point_ = believedPoint(v[0]);
            pointArc_ = v[0];
            pointKnown_ = true;
        }
        Joints reference = reference_;
        return computeJointCommand(s_, t, point_, v[1], reference, nullptr);
    }
    Joints actual(double t, const double* v)
    {
        return s_.servoTime > 0.0 ? Joints{v[2], v[3]} : command(t, v);
    }
    double measured(double t, const double* v) { return springContactOf(s_, actual(t, v)).force; }

    // dv_j/dt at tau; the stages ask for every component of one (tau, v) in
    // turn, so the posture is computed once for them
    double derivative(int j, double tau, const double* v)
    {
        if (!(tau == at_ && std::memcmp(v, state_, sizeof state_) == 0)) evaluate(tau, v);
        return rate_[j];
    }

    // the control instants: Fh held from the measurement at t
    void measureAt(double t, const double* v)
    {
        held_ = measured(t, v);
        at_ = -1.0;  // the held value changes every rate
    }
    bool sampled() const { return s_.controlPeriod > 0.0; }
    // continuity of the joint branches: the posture at the latest sample
    void setReference(Joints q) { reference_ = q; }

private:
    void evaluate(double tau, const double* v)
    {
        std::memcpy(state_, v, sizeof state_);
        at_ = tau;
        const ReferenceMotion ref = referenceMotion(s_, tau);
        const Joints qc = command(tau, v);
        const Joints q = s_.servoTime > 0.0 ? Joints{v[2], v[3]} : qc;
        const double Fh = sampled() ? held_ : springContactOf(s_, q).force;
        rate_[0] = ((s_.Kp1 - 1.0) * (ref.s - v[0]) + s_.Ki1 * v[4]) / s_.Kv1 + ref.sdot;
        rate_[1] = ((s_.Kp2 - 1.0) * (s_.Fn - Fh) + s_.Ki2 * v[5]) / s_.Kv2;
        rate_[2] = s_.servoTime > 0.0 ? (qc.phi1 - q.phi1) / s_.servoTime : 0.0;
        rate_[3] = s_.servoTime > 0.0 ? (qc.phi2 - q.phi2) / s_.servoTime : 0.0;
        rate_[4] = ref.s - v[0];
        rate_[5] = s_.Fn - Fh;
    }

    const SimSettings& s_;
    Joints reference_;
    double held_ = 0.0;
    double at_ = -1.0;
    double state_[stateSize] = {};
    double rate_[stateSize] = {};
    SineArc sine_;
    Vec2 point_;
    double pointArc_ = 0.0;
    bool pointKnown_ = false;
};

// Sample i of the current set from the state y at time t.
void recordSpringSample(const SimSettings& s, RunSeries& run, SpringLoop& loop, int i, double t,
                        const double* y, ReachReporter* report)
{
    const Reference ref = referenceAt(s, t);
    if (t == 0.0) run.refJointPos = Joints{0.0, 0.0};
    run.refJointPos = inverseKinematics(s, ref.point.x, ref.point.y, run.refJointPos, report);
    // the command, with its unreachable points reported, keeps the branches continuous
    const Joints qc = computeJointCommand(s, t, loop.believedPoint(y[0]), y[1], run.contactJoints, report);
    loop.setReference(run.contactJoints);
    const Joints q = s.servoTime > 0.0 ? Joints{y[2], y[3]} : qc;
    const SpringContact contact = springContactOf(s, q);

    SeriesSet& set = currentSeries(run, s.type);
    set.time[i] = t;
    set.jointPos[i] = q;
    set.contactForce[i] = contact.force;
    set.forceCommand[i] = y[1];
    set.forceErr[i] = contact.force - s.Fn;
    set.handDeflection[i] = contact.deflection;
    set.springForce[i] = contact.force;
    set.tipPos[i] = deflectedTipPosition(s, q, contact.deflection);
    set.refPos[i] = ref.point;
    set.posErr[i] = {set.tipPos[i].x - ref.point.x, set.tipPos[i].y - ref.point.y};
    set.sErr[i] = (i == 0) ? 0.0 : y[0] - ref.s;
}

// Integrates y from t to t + h in one step of the method.
void step(SpringLoop& loop, double t, double h, double* y)
{
    double next[stateSize];
    rungeKuttaGill([&](int j, double tau, const double* v) { return loop.derivative(j, tau, v); }, t, h, y, next,
                   stateSize);
    std::copy(next, next + stateSize, y);
}

}  // namespace

RunFault calcontrolSpring(const SimSettings& s, RunSeries& run, ReachReporter* report)
{
    SampleReach reach(report);
    SpringLoop loop(s);
    RunFault fault;
    double longestStep = 0.0;
    const SeriesSet& set = currentSeries(run, s.type);
    SeriesSet& written = currentSeries(run, s.type);
    // the force between the samples is the samples' alone (no trace)
    written.forceTrace.clear();
    auto look = [&](int i, const double* y) {
        const bool unreachable = reach.take();
        if (!fault) fault = findRunFault(s, set, i, y, longestStep, unreachable);
    };
    double y[stateSize] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    // the joints start where the command is
    const Joints q0 = loop.command(0.0, y);
    y[2] = q0.phi1;
    y[3] = q0.phi2;
    // the control instants j T, met exactly by the steps
    const double period = s.controlPeriod;
    long instant = 0;
    auto nextInstant = [&] { return static_cast<double>(instant) * period; };
    if (loop.sampled()) {
        loop.measureAt(0.0, y);
        ++instant;
    }
    recordSpringSample(s, run, loop, 0, 0.0, y, &reach);
    look(0, y);
    double t = 0.0;
    double tau = 0.0;
    const int last = lastSample(s);
    for (int i = 1; i <= last; ++i) {
        const int nsub = subStepsFor(s, tau);
        const double h = s.dt / nsub;
        longestStep = std::max(longestStep, h);
        tau = t;
        for (int k = 0; k < nsub; ++k) {
            const double end = tau + h;
            double from = tau;
            // a control instant inside the step ends a part of it
            while (loop.sampled() && nextInstant() < end - 1e-12) {
                const double at = nextInstant();
                if (at > from) step(loop, from, at - from, y);
                from = std::max(from, at);
                loop.measureAt(at, y);
                ++instant;
            }
            step(loop, from, end - from, y);
            tau = end;
            if (loop.sampled() && std::fabs(nextInstant() - end) <= 1e-12) {
                loop.measureAt(end, y);
                ++instant;
            }
        }
        t = t + s.dt;
        recordSpringSample(s, run, loop, i, t, y, &reach);
        look(i, y);
    }
    return fault;
}

}  // namespace hybridsim
