// The picture of one sample in words, for a student who cannot see it: the
// time, whether the probe is in contact, the force F against Fn, how far the
// probe tip lies from the workpiece contour and from the command point, and
// the samples without a posture (points out of the robot's reach), in
// English or in Japanese.
//
// Every figure is the run's own, as the series CSV records it (task/
// series_csv.h: t, force, force_err, err_x and err_y) or as the summary and
// the study graphs read it (the tip's distance from the contour,
// distanceToContour), written as the study graphs' cursor writes it: three
// decimals, seconds, newtons and lengths in millimetres.  Whether the probe
// is in contact is said only under contact=spring (the measured force above
// 0; 0 exactly off the surface): on the ideal contact F is the force loop's
// own state and no contact is modelled, which the text says.
#pragma once

#include <string>

#include "sim/run.h"
#include "sim/settings.h"
#include "task/run_notice.h"

namespace hybridsim {

// Sample `sample` of `set` (held within 0..lastSample(s)) in one paragraph.
// `faultSample` is the first sample from which the run's numbers stopped
// being numbers for a reason other than an unreachable point (-1: none);
// the samples before it without a posture are the unreachable ones.
std::string describeSample(const SimSettings& s, const SeriesSet& set, int sample, int faultSample,
                           NoticeLanguage language);

// How many of samples 0..lastSample(s) have no posture because their points
// are out of reach: those before `faultSample` (all of them when -1).
int unreachableSampleCount(const SimSettings& s, const SeriesSet& set, int faultSample);

}  // namespace hybridsim
