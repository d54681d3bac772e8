// The contact lab: a force loop that measures the spring (contact=spring),
// beside the model, which stays the default.
//
// In the model the contact force F is the force loop's own state.  Here F
// is the controller's force command, and the force it feeds back is the one
// the posture gives against the workpiece:
//
//   Fm = k max(d, 0),  k = 1 / (1/kh + 1/KW),
//   kh = KH1 KH2 / (KH1 sin^2 phi + KH2 cos^2 phi)
//
// d the penetration of the undeflected tip of the actual posture into the
// nominal contour along its normal n, phi = n - theta_h, KW the workpiece's
// stiffness (inf: rigid).  The loop keeps its form with the measured force
// Fh in place of F:
//
//   dF/dt = ((Kp2 - 1)(Fn - Fh) + Ki2 z2) / Kv2,  dz2/dt = Fn - Fh,
//
// Fh = Fm, or with a control period T the Fm measured at the last instant
// j T, held until the next.  The joint command is the model's own for the
// force command F at the point where the method believes the workpiece is
// (referencePoint at the arc length s: the real contour for method 8, the
// one shifted by the setting error for method 7), and the actual posture
// follows it through a first-order lag per joint of time constant servo.
#pragma once

#include "sim/reach_reporter.h"
#include "sim/run.h"
#include "sim/run_fault.h"
#include "sim/settings.h"

namespace hybridsim {

// What posture q gives against the workpiece under contact=spring.
struct SpringContact {
    double force = 0.0;      // Fm [N], never negative
    double depth = 0.0;      // d [m], signed: negative off the surface
    double stiffness = 0.0;  // k [N/m], the hand's and the workpiece's in series
    double handStiffness = 0.0;  // kh [N/m]
    Vec2 deflection;         // the hand's share, hand frame [m]; zero off the surface
};
SpringContact springContactOf(const SimSettings& s, Joints q);

// The sine's abscissa xi (from its start x0) at an arc length, followed
// from the last one asked for: d(xi)/ds = 1 / sqrt(1 + (k A cos(k xi))^2)
// by classical Runge-Kutta steps of at most sineArcStep.  The loop asks for
// arcs close to the last one, so a few steps replace the integration from
// the sine's start that the model's contour point makes.
class SineArc {
public:
    explicit SineArc(const SimSettings& s);
    double abscissa(double arc);
    static constexpr double sineArcStep = 0.001;  // [m]

private:
    double rate(double xi) const;
    double k_, A_;
    double arc_ = 0.0;
    double xi_ = 0.0;
};

// The smallest and largest control period a task may have [s] (0: continuous).
constexpr double shortestControlPeriod = 0.0001;
constexpr double longestControlPeriod = 1.0;

// The force loop about the contact at the run's start (the posture
// commanded at arc length 0, rigidly held: no servo lag).  The command puts
// the undeflected tip F / kh into the surface, so about the rest state the
// measured force moves by r per newton of command,
//   r = k / kh = KW / (kh + KW)   (1 for a rigid workpiece),
// kh the hand's normal stiffness, where the contour is a line or a circle
// and kh stays as it is (equal hand springs, or a hand that does not turn
// as the command moves).  Elsewhere the turning hand and the sine's depth
// change it: r is taken as the model's own slope dFm/dF at the start's
// rest state F* = Fn kh / k, by a central difference.  The measured error
// then obeys Kv2 e'' + r (Kp2 - 1) e' + r Ki2 e = 0 near the start.  kh
// changes with the posture along the contour; the start's is the one
// taken.  Not a number when the start is out of reach.
double stiffnessRatio(const SimSettings& s);

// The same loop sampled with the control period T: Fh = r F(jT) held
// between instants, so over one period (deviations from the rest state)
//   z2+ = z2 - r T F,
//   F+  = F - (r T (Kp2 - 1) / Kv2 + r Ki2 T^2 / (2 Kv2)) F + (Ki2 T / Kv2) z2
// (exact: between instants F is a polynomial of the time).  Its poles z are
// the eigenvalues of that matrix, 1 - a/2 +- sqrt(a^2/4 - c) with a the
// factor of F above and c = r Ki2 T^2 / Kv2; the loop is unstable when one
// lies outside the unit circle.  By Jury's test, with Kv2, Kp2 - 1 and r
// positive and Ki2 positive or 0, none lies outside while
//   T < 2 Kv2 / (r (Kp2 - 1))   and   T < 2 (Kp2 - 1) / Ki2
// (with Ki2 = 0 the integral's pole stays at z = 1).
struct SampledForceLoop {
    bool computed = false;   // a period, contact=spring and finite numbers
    double period = 0.0;     // T [s]
    double ratio = 1.0;      // r
    double re[2] = {0.0, 0.0};  // the poles z, a complex pair im > 0 first
    double im[2] = {0.0, 0.0};
    double largest = 0.0;    // the largest |z|
    double periodLimit = 0.0;  // the longest stable period [s]; not a number where the bounds above do not apply
    bool unstable = false;   // a pole outside the unit circle
};
SampledForceLoop sampledForceLoop(const SimSettings& s);

// The whole run under contact=spring: as calcontrol, with the series of the
// actual posture, Fm as the contact force and F as the force command.
RunFault calcontrolSpring(const SimSettings& s, RunSeries& run, ReachReporter* report = nullptr);

}  // namespace hybridsim
