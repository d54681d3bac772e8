// The simulation run: the whole motion computed in advance and recorded as
// time series sampled every dt.
#pragma once

#include <array>
#include <vector>

#include "sim/reach_reporter.h"
#include "sim/run_fault.h"
#include "sim/settings.h"

namespace hybridsim {

// Samples held by every series.
constexpr int seriesCapacity = 500;

// The force loop at the end of one integration sub-step: its time, the
// force and the force's rate of change there, as the model gives it.
struct ForcePoint {
    double t = 0.0;     // [s]
    double F = 0.0;     // [N]
    double rate = 0.0;  // dF/dt [N/s]
};

// The recorded series of one robot type, indexed by sample number.
struct SeriesSet {
    std::array<double, seriesCapacity> time{};        // sample time, accumulated [s]
    std::array<Vec2, seriesCapacity> tipPos{};        // deflected probe tip [m]
    std::array<Vec2, seriesCapacity> refPos{};        // reference (command) point [m]
    std::array<Vec2, seriesCapacity> posErr{};        // tipPos - refPos [m]
    std::array<Joints, seriesCapacity> jointPos{};    // commanded posture [rad, m]
    std::array<Vec2, seriesCapacity> handDeflection{};  // hand frame deflection [m]
    std::array<double, seriesCapacity> contactForce{};  // F [N]
    std::array<double, seriesCapacity> forceErr{};      // F - Fn [N]
    std::array<double, seriesCapacity> sErr{};          // s - s_r [m]
    // The normal force the hand spring exerts at the recorded posture, Fc
    // of the contact evaluation [N]: the force the posture gives against the
    // workpiece, beside the force loop's own F.  Signed: negative where the
    // undeflected tip lies outside the material (the model makes no contact
    // test).
    std::array<double, seriesCapacity> springForce{};
    // The force loop's state F [N]: the contact force of the model, the
    // controller's force command under contact=spring (sim/contact_model.h).
    std::array<double, seriesCapacity> forceCommand{};
    // The force loop between the samples: the end of every sub-step of the
    // run in time order, forceTrace[traceAt[i]] the point of sample i (its
    // time set.time[i]).  Empty when the series were not made by a run
    // (then the samples are all that is known of the force).
    std::vector<ForcePoint> forceTrace;
    std::array<int, seriesCapacity> traceAt{};
};

// Both robots' series and the continuity state kept across samples and runs.
struct RunSeries {
    SeriesSet A;                // robot a
    SeriesSet B;                // robot b
    Joints refJointPos;         // joints of the latest reference point
    Joints contactJoints;       // joints of the latest contact point
};

// The set of the current robot type ('b' set B, anything else set A).
SeriesSet& currentSeries(RunSeries& run, char type);
const SeriesSet& currentSeries(const RunSeries& run, char type);

// Sub-steps of a sampling period far from and near a switching time.
constexpr int coarseSubSteps = 10;
constexpr int fineSubSteps = 100;

// Number of sub-steps of the period that starts at tau: 100 near the
// switching times ta, tf - ta and tf of the velocity profile, otherwise 10.
int subStepsFor(const SimSettings& s, double tau);

// The whole run: samples 0..nsteps of the current robot type's set.  The
// result names the first sample whose numbers stopped being numbers for a
// reason other than a point robot b cannot reach, and why (run_fault.h);
// none when there is no such sample.
RunFault calcontrol(const SimSettings& s, RunSeries& run, ReachReporter* report = nullptr);

// The last sample a run records: nsteps, within the series' capacity.
int lastSample(const SimSettings& s);

}  // namespace hybridsim
