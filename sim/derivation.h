// Derivation of every quantity that depends on other settings.
#pragma once

#include "sim/reach_reporter.h"
#include "sim/settings.h"

namespace hybridsim {

// Drawing dimensions, gains, setting-error label, positioning time, start
// and end point, shifted contours, joints of the start point, initial
// posture and trajectory set-up, in this order.
void deriveSettings(SimSettings& s, ReachReporter* report = nullptr);

// Positioning time, start and end point of the active contour (and the
// circle's and the sine's own start and end points); false, changing
// nothing, for a contour other than L, C and S.
bool deriveContourEnds(SimSettings& s);

// The contour subsections of the dialogue: positioning time, start and end
// point of the active contour, start joints and trajectory set-up at once.
void updateContourStart(SimSettings& s, ReachReporter* report = nullptr);

}  // namespace hybridsim
