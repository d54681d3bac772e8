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

#include <string>
#include <vector>

namespace hybridsim {

// One line of a panel.  A point whose x or y is not a number is left out
// and breaks the line there.
struct ChartSeries {
    std::string label;   // legend text; empty: not in the legend
    std::string colour;  // "#rrggbb"
    std::vector<double> x;
    std::vector<double> y;
    bool dashed = false;
    bool markers = false;  // a dot on every point
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
};

// An entry of the legend above all panels.
struct ChartKey {
    std::string label;
    std::string colour;
};

struct Chart {
    std::string title;
    std::string subtitle;
    std::vector<ChartKey> keys;  // the legend above all panels
    std::vector<ChartPanel> panels;
    int columns = 1;
    double panelWidth = 420.0;   // [px], the panel's legend included
    double panelHeight = 240.0;  // [px]
};

// A round scale that covers [lo, hi]: ends and ticks at whole multiples of
// a step of 1, 2 or 5 times a power of ten, at most `most` ticks.
struct AxisScale {
    double lo = 0.0;
    double hi = 1.0;
    double step = 1.0;
    std::vector<double> ticks;
};
AxisScale roundScale(double lo, double hi, int most = 6);

// A tick's text: as many decimals as the step needs, no "-0".
std::string tickText(double v, double step);

// Colours: a palette of ten distinct colours for lines that are told apart
// by name, and a ramp from blue to red for lines ordered by a value
// (share 0..1).
std::string paletteColour(std::size_t i);
std::string rampColour(double share);

// The whole chart as an SVG document.
std::string chartSvg(const Chart& chart);

}  // namespace hybridsim
