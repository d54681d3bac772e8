// The two time graphs on the right of the window: positions (x and y of the
// probe tip and of the command point, and the magnified tangential error)
// and the contact force against the commanded force.  Laid out in window
// units; they neither zoom nor move with the view.
#pragma once

#include "drawing/canvas.h"
#include "sim/run.h"
#include "sim/settings.h"

namespace hybridsim {

class PinSet;

// Height into which the position range is mapped [window units].
constexpr double posGraphHeight = 0.4;

// Line widths [window units]: axes, measured curves, reference and error curves.
constexpr double axisLineWidth = 0.006;
constexpr double measuredLineWidth = 0.008;
constexpr double referenceLineWidth = 0.004;

// Smallest and largest value among x and y of the probe tip and of the
// command point over samples 0..nsteps-1 (the last sample takes no part);
// values that are not finite are passed over.  Starts from min 1000, max -1000.
struct SeriesRange {
    double min = 1000.0;
    double max = -1000.0;
};
SeriesRange seriesRange(const SimSettings& s, const SeriesSet& set);

// The position graph's scale, shared by the run's curves and the pins': the
// ends of the series range by the rule of every scale (study/scale_range.h:
// a range of zero width widened, one beyond the doubles' reach halved), at
// 0 and posGraphHeight above the time axis.  None when no value is finite.
struct PositionScale {
    bool any = false;
    double lo = 0.0, hi = 1.0;
    double k = 0.0;        // window units per metre
    bool halved = false;   // hi - lo overflows: heights from the halved span
    double height(double v) const;  // above the time axis
};
PositionScale positionScale(const SimSettings& s, const SeriesSet& set);

// The height above the force graph's time axis of `gain` times the force f:
// Fn at forceGraphScale.  Where the window units per newton overflow (a
// subnormal Fn) the force is taken as its share of Fn; with Fn = 0 there
// is no scale (not a number).
double forceHeight(const SimSettings& s, double f, double gain = 1.0);

// Thin segment in the line width in force.
void drawLine(Canvas& cv, Vec2 p, Vec2 q, const Color& color);
// Segment `width` window units wide; the width is set back to 2 pixels after it.
void drawThickLine(Canvas& cv, Vec2 p, Vec2 q, double width, const Color& color);

// Time axis from `origin` with `width`, ticks every whole second (every
// trunc(1/dt) samples), the duration label at the last tick, the value axis
// of `height` and the blue end-of-motion marker at tf.
void drawAxes(Canvas& cv, const SimSettings& s, Vec2 origin, double dt, int nsteps,
              double width, double height);

// Everything of the position graph for samples 0..frame, scaled over the
// whole run so that stepping never rescales it; the curves of `pins`
// (drawing/pin_drawing.h), when given, under the run's own.
void drawPositionGraph(Canvas& cv, const SimSettings& s, const SeriesSet& set, int frame,
                       const PinSet* pins = nullptr);

// Everything of the force graph for samples 0..frame; the commanded force
// Fn lies at height forceGraphScale.  The pins' forces under the run's own.
void drawForceGraph(Canvas& cv, const SimSettings& s, const SeriesSet& set, int frame,
                    const PinSet* pins = nullptr);

// The last sample that may be read: frame clamped to 0..nsteps and to the
// capacity of the series.
int lastSample(const SimSettings& s, int frame);

}  // namespace hybridsim
