// One picture of the window.
//
// drawFrame rebuilds the whole picture from the settings and the recorded
// series at the sample `frame`; it never simulates.  The key commands that
// change what it shows are playback/keys.h's.
#pragma once

#include "drawing/canvas.h"
#include "sim/run.h"
#include "sim/settings.h"
#include "study/compare.h"

namespace hybridsim {

// Graph panel: blanks everything right of posGraphX - 0.05 [window units].
constexpr double graphPanelMargin = 0.05;

// First step of a picture: clear, identity, and lighting on, so that the
// text drawn before any shape is lit (dark grey) in the very first picture too.
void beginFrame(Canvas& cv);
// Last step: flush and show.
void endFrame(Canvas& cv);

// The whole picture, in painter's order: title and legend, grid, workpiece,
// robot with its command, error and trail points and the graph panel, then
// the position and the force graph.
void drawFrame(Canvas& cv, const SimSettings& s, const RunSeries& run);

// The same picture with the runs of `pins` under the live one
// (drawing/pin_drawing.h): their legend lines after the legend, their trails
// after the robot, before its points and trail, their tip rings after the
// trail, their curves in each graph before the live curves.  The pins are only read; an empty
// set draws exactly the picture above.
void drawFrame(Canvas& cv, const SimSettings& s, const RunSeries& run, const PinSet& pins);

// The same picture with the teaching overlay (drawing/overlay.h) over the
// robot, after the pins' rings and before the graph panel, when `overlay`
// is true; exactly the picture above when it is false.
void drawFrame(Canvas& cv, const SimSettings& s, const RunSeries& run, const PinSet& pins, bool overlay);

}  // namespace hybridsim
