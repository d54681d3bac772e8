// The pins of a picture (study/compare.h): pinned runs drawn under the
// live run from their own recorded series, at the frame shown and through
// the same view mapping and graph scales as the live run, so that playback,
// scrubbing and zoom move them together.
//
// Each pin slot has a look of its own: a colour none of the picture's
// other colours is (pinColour), and a dash pattern (long dashes, short
// dashes, dash-dot, dots), 2 pixels wide.  Drawn for each pin:
//   scene   the probe-tip trail up to the sample shown, under the live run's
//           points and trail, and over them a ring about the tip at that
//           sample (a larger ring for each later slot, so that rings at one
//           place stay apart; the live tip shows inside);
//   graphs  the tip's x and y in the position graph and the contact force in
//           the force graph, in the live run's scales, cut off where they
//           leave the graph's frame (time axis to the top of the value axis);
//   legend  one line under the window's legend: the pattern, then
//           "pin 1: Fn = 10 N (now 20 N)" (pinLabel), shortened to fit left
//           of the graph panel.
// None of it draws anything for an empty pin set.
#pragma once

#include <string>

#include "drawing/canvas.h"
#include "drawing/primitives.h"
#include "sim/run.h"
#include "sim/settings.h"
#include "study/compare.h"

namespace hybridsim {

// Line width of every pinned line [pixels].
constexpr float pinLineWidth = 2.0f;
// Ring about a pinned tip: the radius of slot 0, and what each later slot adds [window units].
constexpr double pinRingRadius = 0.012;
constexpr double pinRingStep = 0.004;
// Legend lines: the first one's text baseline, their spacing, where the text
// and the pattern before it begin and end [window units].
constexpr double pinLegendTop = 0.60;
constexpr double pinLegendStep = 0.05;
constexpr double pinLegendTextX = -0.88;
constexpr double pinSwatchLeft = -0.95;
constexpr double pinSwatchRight = -0.895;
constexpr double pinSwatchRise = 0.012;
// Room kept free before the graph panel by a legend line [pixels].
constexpr double pinLegendSpare = 6.0;

// The colour and dash pattern of a slot.
struct PinLook {
    Color color;
    DashPattern dash;
};
PinLook pinLook(int slot);

// The legend text of `pin` against the live task `s`, as the picture
// shows it (fitted to the room left of the graph panel in Helvetica 18).
std::string pinLegendText(const Pin& pin, const SimSettings& s);
// The widest legend text that fits [pixels].
double pinLegendRoom(const SimSettings& s);

// The last sample of `pin` drawn at `frame`: the live run's, within the pin's own run.
int pinSample(const SimSettings& s, const Pin& pin, int frame);

// The legend lines of every pin.
void drawPinLegend(Canvas& cv, const SimSettings& s, const PinSet& pins);

// The trail of every pin up to the frame s.frame, left of the graph panel.
void drawPinTrails(Canvas& cv, const SimSettings& s, const PinSet& pins);
// The ring about every pin's tip at the frame s.frame.
void drawPinRings(Canvas& cv, const SimSettings& s, const PinSet& pins);

// The pins' tip x and y in the position graph, scaled as `set` (the live
// run's series) is, samples 0..frame.
void drawPinPositionCurves(Canvas& cv, const SimSettings& s, const SeriesSet& set, const PinSet& pins,
                           int frame);

// The pins' contact force in the force graph, scaled by the live Fn.
void drawPinForceCurves(Canvas& cv, const SimSettings& s, const PinSet& pins, int frame);

}  // namespace hybridsim
