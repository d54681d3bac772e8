// Line charts written as SVG text: panels in a grid, each with its axes
// (ticks at round numbers, labels with units), its lines and a legend.
// Nothing is drawn on a screen; the text scales to any size.
//
// The elements carry classes that say what they are, so that a program
// can read a chart back: every panel is a <g class="panel">, its plot area
// a <rect class="plot-area">, each line a <path class="series"> (its
// data-label the legend's text), the tick labels <text class="tick-x"> and
// <text class="tick-y"> placed at their ticks.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace hybridsim {

// The panel charts' shared look: the colours of the keys' and notes' texts,
// the margin on either side of a chart's panel [px] and the narrowest
// chart drawn [px].
inline constexpr const char* chartKeyColour = "#333333";
inline constexpr const char* chartNoteColour = "#222222";
inline constexpr double chartMargins = 32.0;
inline constexpr double chartNarrowest = 240.0;

// A scale of an axis: its ends, and ticks a step apart.
struct AxisScale {
    double lo = 0.0;
    double hi = 1.0;
    double step = 1.0;
    std::vector<double> ticks;
};

// Rounding, not data: a panel whose every y lies within ±size of 0 holds
// nothing a reader can use (the tangential error of method 8 on a sine is
// the integration error, about 1e-12 m; two runs that agree differ by the
// last bits), and a scale fitted to it would stretch that rounding over the
// whole panel with ticks like 0.000000001.  Such a panel is drawn flat at 0
// on the scale of -1..1 of its unit, with a note in the plot area saying
// so: "all within ±1e-4 mm: drawn as 0".  A panel with one y beyond the
// floor is drawn as without it.
struct RoundingFloor {
    double size = 0.0;         // [the y axis's unit]
    const char* text = "";     // the size with its unit: "1e-4 mm"
};
// Lengths in millimetres: 0.1 um.  The integration error of sErr grows with
// fn1 (method 7, fn1 = 40 Hz: 4e-5 mm on the sine, 1e-5 mm on a line); an
// error of the model's own is far larger (sErr of method 8 on the default
// circle, 0.017 mm), its deflections and position errors tenths of
// millimetres.
constexpr RoundingFloor millimetreFloor{1e-4, "1e-4 mm"};
// Forces in newtons: a billionth of a newton, a million times the rounding
// of forces of tens of newtons (some 1e-15 N) and far below any force the
// model resolves.
constexpr RoundingFloor newtonFloor{1e-9, "1e-9 N"};

// The note of a flat panel: "all within ±1e-4 mm: drawn as 0".
std::string floorNote(const RoundingFloor& floor);

// One line of a panel.  A point whose x or y is not a number is left out
// and breaks the line there.
struct ChartSeries {
    std::string label;   // legend text; empty: not in the legend
    std::string colour;  // "#rrggbb"
    std::vector<double> x;
    std::vector<double> y;
    bool dashed = false;
    bool dotted = false;   // (when not dashed)
    bool markers = false;  // a dot on every point
    // A mark of its own on every point instead of a line (the path then
    // moves from point to point without drawing, so that a reader still
    // finds the points in it): a cross or a ring.
    enum class Mark { none, cross, ring };
    Mark mark = Mark::none;
};

// A point of a panel marked with a short label ("peak 2.6 %"): a dot at
// (x, y) in the data's units, the label beside it where it covers no other
// label, dot or line of the panel and stays inside the plot area (a thin
// leader joins them when it has to stand further off).  Written as
// <g class="note" data-kind="KIND"> with a <circle class="note-point">, a
// <text class="note-label"> and perhaps a <line class="note-leader">.
struct ChartNote {
    std::string kind;  // what it marks: "peak", "settled", ...
    std::string label;
    std::string colour;  // "#rrggbb"
    double x = 0.0;
    double y = 0.0;
};

struct ChartPanel {
    std::string title;
    std::string xLabel;  // with its unit: "time t [s]"
    std::string yLabel;
    std::vector<ChartSeries> series;
    // when not empty: x is 0, 1, ... with these names at the ticks
    std::vector<std::string> xCategories;
    bool legend = true;  // the series' labels to the right of the plot area
    double height = 0.0;  // [px]; 0: the chart's panelHeight
    bool wide = false;    // a row of its own, as wide as all columns
    // when given: the y scale, kept as it is whatever the data (the data
    // are meant to lie within it); else a round scale of the data
    std::optional<AxisScale> yScale = std::nullopt;
    // when given: data all within it are drawn flat at 0 (RoundingFloor),
    // whatever yScale says
    std::optional<RoundingFloor> yFloor = std::nullopt;
    // when given: the x scale, kept as it is; the points outside it are left
    // out (a line breaks there) and the y scale covers the points within it
    std::optional<AxisScale> xScale = std::nullopt;
    // one unit of x as many pixels as one unit of y (a plane, on which a
    // circle stays a circle): the scale with more pixels to its unit is
    // widened about its middle, its ticks round numbers within it
    bool equalScale = false;
    std::vector<ChartNote> notes = {};  // drawn over the lines
    // x holds the decimal logarithm of a value: the x ticks are labelled
    // with the value itself (a tick at 2 reads "100")
    bool xLog10 = false;
};

// An entry of the legend above all panels.
struct ChartKey {
    std::string label;
    std::string colour;
    bool dashed = false;
    bool dotted = false;
    ChartSeries::Mark mark = ChartSeries::Mark::none;  // a cross or a ring in place of the line
};

struct Chart {
    std::string title;
    std::string subtitle;
    std::vector<ChartKey> keys;  // the legend above all panels
    std::vector<ChartPanel> panels;
    int columns = 1;
    double panelWidth = 420.0;   // [px], the panel's legend included
    double panelHeight = 240.0;  // [px]
    // the plot areas of all panels start at the same x (the room that the
    // longest y ticks of any panel need), so that one x is one time in all
    bool alignPlots = false;
    // when not empty: the SVG is an image of this name (role="img", aria-label)
    std::string accessibleName;
};

// A round scale that covers [lo, hi]: ends and ticks at whole multiples of
// a step of 1, 2 or 5 times a power of ten, at most `most` ticks.
AxisScale roundScale(double lo, double hi, int most = 6);

// Round ticks within [lo, hi], the ends kept as they are (a scale that must
// not grow): the finest step of 1, 2 or 5 times a power of ten that gives at
// most `most` ticks.
AxisScale scaleWithin(double lo, double hi, int most = 6);

// A tick's text: as many decimals as the step needs, no "-0".
std::string tickText(double v, double step);

// Colours: a palette of ten distinct colours for lines that are told apart
// by name, and a ramp from blue to red for lines ordered by a value
// (share 0..1).
std::string paletteColour(std::size_t i);
std::string rampColour(double share);

// Where a panel and its plot area lie in the chart [px, y down], with the
// scales its axes show: what chartSvg draws, for a program that maps a
// point of the picture to the data (a pointer to a time, say).
struct PanelLayout {
    double left = 0.0, top = 0.0, width = 0.0, height = 0.0;  // the panel
    double x0 = 0.0, x1 = 0.0;  // the plot area's left and right
    double y0 = 0.0, y1 = 0.0;  // its top and bottom
    AxisScale xs, ys;
    bool flat = false;  // every y within the panel's floor: drawn as 0
    double X(double v) const;  // where the value v lies along x [px]
    double Y(double v) const;  // ... along y
    double xValue(double px) const;  // the value at px along x
};
struct ChartLayout {
    double width = 0.0, height = 0.0;  // the whole picture [px]
    double panelsTop = 0.0;            // below the titles and the legend above the panels
    std::vector<PanelLayout> panels;   // in the order of chart.panels
};
ChartLayout chartLayout(const Chart& chart);

// `text` as XML text: the five special characters as entities, and every
// byte that is no character XML takes as U+FFFD.
std::string xmlText(const std::string& text);

// The whole chart as an SVG document.  A chart without a title has no
// title line.
std::string chartSvg(const Chart& chart);

// The same document in its parts, chartSvg's text when joined: what comes
// before the panels (the XML declaration, the <svg> start, the title and
// the keys), each panel's <g class="panel"> element in the chart's order,
// and what follows them (the </svg> end).
struct ChartSvgParts {
    std::string head;
    std::vector<std::string> panels;
    std::string tail;
    std::string joined() const;
};
ChartSvgParts chartSvgParts(const Chart& chart);

// SVG documents one under the other in one document: each document's root
// <svg> (its XML declaration left out) placed at x = 0 and below the one
// before, the whole as wide as the widest and as high as all, on white.
// Each root must give its width and height in user units.
std::string stackedSvg(const std::vector<std::string>& documents, const std::string& accessibleName);

}  // namespace hybridsim
