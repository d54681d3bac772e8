// The contact force of a run read as a step response from 0 to Fn: rise
// time, overshoot and peak, settling time.  Read off the force loop between
// the samples (SeriesSet::forceTrace: the value and the rate of change of
// the force at the end of every integration sub-step), so that no figure is
// only the sampling grid: between two points the force is the cubic that
// meets both values and both rates (Hermite), as close to the run's own
// force as the integrator's sub-steps are to each other.
#pragma once

#include <vector>

#include "sim/run.h"

namespace hybridsim {

// Stretches of the force to read, each a run of points in time order; a
// point's rate not a number when it is not known (then the force between it
// and its neighbours is the straight line).  Between two stretches nothing
// is known of the force.
using ForceStretches = std::vector<std::vector<ForcePoint>>;

// The stretches of the force that a run's samples 0..last give where they
// have a posture (`inReach`): the trace between two neighbouring samples
// with a posture, or the samples alone when the set has no trace.
ForceStretches forceStretches(const SeriesSet& set, int last, const std::vector<bool>& inReach);

struct StepFigures {
    // Whether there is a step to read: the first stretch starts at the
    // step's start (sample 0) and goes on past it (a run whose numbers blow
    // up after sample 0 holds no step), and Fn is a number.  Without it
    // every figure below is not a number ("none").
    bool read = false;
    // How far the force goes past Fn in the direction of the step (sign(Fn),
    // +1 for Fn = 0), at least 0 [N].
    double overshoot = 0.0;
    // The largest force in the direction of the step and its first time,
    // when the force passes Fn (the response has a peak); else not a number.
    double peakForce = 0.0;  // [N]
    double peakTime = 0.0;   // [s]
    // From the force's first reaching `riseFrom` of the step to its first
    // reaching `riseTo` (shares of |Fn|, in the step's direction) [s]; not a
    // number when Fn is 0, a level is never reached, or first met at the
    // start of a later stretch (when, between the stretches, is not known).
    double riseTime = 0.0;
    double riseFromTime = 0.0, riseToTime = 0.0;  // [s]
    // The time from which the force stays within `band` of Fn (|F - Fn| <=
    // band) to the end; not a number ("never") when it ends outside.  When
    // the force last leaves the band before a stretch ends and the next
    // stretch starts inside, the next stretch's start.
    double settlingTime = 0.0;  // [s]
};

StepFigures readStep(const ForceStretches& force, double Fn, double riseFrom, double riseTo, double band);

// The force of the Hermite cubic between points a and b at time t (the
// straight line when a rate is not a number).
double forceBetween(const ForcePoint& a, const ForcePoint& b, double t);

// The force at time t as readStep reads it: between the two points of the
// stretch around t; not a number outside every stretch.
double forceAt(const ForceStretches& force, double t);

}  // namespace hybridsim
