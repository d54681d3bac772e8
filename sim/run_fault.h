// Why a run's numbers stopped being numbers.
//
// Values far out of any sensible range are taken as typed, and some of them
// make a run's state or posture overflow to infinity or not-a-number.  The
// run finds the first sample where that happens for a reason other than a
// point robot b cannot reach, and names the reason from the settings and the
// numbers of that sample; the console and the page word it.  Nothing here
// changes a number of the run.
#pragma once

#include "sim/gain_design.h"
#include "sim/settings.h"

namespace hybridsim {

struct SeriesSet;

enum class RunFaultCause {
    none,
    pathTooLong,       // the length of the path is not a finite number
    pathTooFast,       // tf so short that the reference's speed or acceleration overflows
    gainsOverflow,     // a gain of `system` is not a finite number (fn or alpha too large)
    velocityGainTiny,  // dividing by the velocity gain Kv of `system` overflows
    loopUnstable,      // the closed loop of `system` grows without bound by itself
    stepTooLong,       // the loop of `system` is stable but too fast for the integration step
    forceTooLarge,     // the force loop's arithmetic overflows with a stable loop: Fn too large
    pathNumbersTooLarge,  // the position loop's arithmetic overflows: the path too long
    springsTooStiff,   // KH1 KH2 overflows in the contact of the probe
    springsTooSoft,    // the deflection F / KH that the force needs overflows
    coordinatesTooLarge,  // a position of the robot or the contour overflows
};

struct RunFault {
    RunFaultCause cause = RunFaultCause::none;
    int sample = -1;    // the first sample concerned
    double time = 0.0;  // its time [s]
    int system = 0;     // the loop concerned: 1 tangential position, 2 normal force
    double step = 0.0;  // stepTooLong: the longest integration step used up to the sample [s]
    // stepTooLong: the highest natural frequency [Hz] of that loop (its alpha
    // kept) that the run's longest step integrates stably; 0 when none does
    double stableUpTo = 0.0;
    double force = 0.0;  // springsTooSoft: the contact force of the sample [N]

    explicit operator bool() const { return cause != RunFaultCause::none; }
};

// The gains of system 1 or 2 as the run uses them.
LoopGains runGains(const SimSettings& s, int system);

// Whether a loop with these gains, left to itself, settles: its deviation e
// from the command and the integral z follow the model's
//   de/dt = (-(Kp - 1) e + Ki z) / Kv,   dz/dt = -e,
// whose roots r of r^2 + ((Kp - 1) / Kv) r + Ki / Kv must have no positive
// real part.
bool loopSettles(const LoopGains& g);

// How much one Runge-Kutta-Gill step of length h multiplies that deviation
// at most: the spectral radius of the step's matrix.  Above 1 the
// integration grows where the loop settles.
double stepGrowth(const LoopGains& g, double h);

// The highest natural frequency [Hz] of system `system` (its zeta and alpha
// kept) whose loop settles and is integrated by steps of h without growth;
// 0 when none below the present one is.
double highestStableFrequency(const SimSettings& s, int system, double h);

// Sample i of `set` just recorded from the model state y; `h` the longest
// integration step so far; `unreachable` whether a point robot b cannot
// reach (a finite point) was met for this sample.  No fault when every
// number of the sample (s and F of the state among them) is finite, or when
// only the posture is not and an unreachable point explains it.
RunFault findRunFault(const SimSettings& s, const SeriesSet& set, int i, const double* y, double h,
                      bool unreachable);

}  // namespace hybridsim
