#include "study/svg_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "portable_math/portable_math.h"
#include "study/scale_range.h"
#include "task/text_format.h"

namespace hybridsim {
namespace {

// the text of a tick at log10 of a value: the value, "0.01", "1", "1000", "1e+06"
std::string logTickText(double t) { return format("%g", pmath::pow(10.0, t)); }

// layout of the chart [px]
constexpr double margin = 16.0;
constexpr double titleHeight = 30.0;
constexpr double subtitleHeight = 18.0;
constexpr double keyRowHeight = 18.0;
constexpr double panelTitleHeight = 26.0;
constexpr double plotLeft = 64.0;     // room for the y ticks and label
constexpr double plotBottom = 42.0;   // room for the x ticks and label
constexpr double plotRightBare = 14.0;
constexpr double legendRowHeight = 14.0;
constexpr double charWidth = 6.2;     // an average character at 11 px
constexpr double sampleLength = 20.0; // the line before a legend's text
constexpr double farOff = 1e6;        // the furthest a point lies off its plot area

// The length of the UTF-8 character at text[at] that XML takes as text,
// 0 when the bytes there are none: not UTF-8 (a stray or missing
// continuation byte, an overlong form, a surrogate, past U+10FFFF), or a
// character XML does not allow (C0 controls, U+FFFE, U+FFFF).
std::size_t xmlCharLength(const std::string& text, std::size_t at)
{
    const unsigned char c = static_cast<unsigned char>(text[at]);
    if (c < 0x80) return c >= 0x20 ? 1 : 0;  // (tab and line ends are no part of a label)
    unsigned long code = 0;
    const std::size_t n = utf8CharAt(text, at, code);
    return code == 0xFFFE || code == 0xFFFF ? 0 : n;
}

// The text as XML text: &, <, >, " and ' written as entities, and every
// byte that is no character XML takes (see xmlCharLength) as U+FFFD, the
// replacement character, so that any name or value gives a document an XML
// parser reads.
std::string escaped(const std::string& text)
{
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t n = xmlCharLength(text, at);
        if (n == 0) {
            out += "\xEF\xBF\xBD";  // U+FFFD
            ++at;
            continue;
        }
        const char c = text[at];
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out.append(text, at, n);
        }
        at += n;
    }
    return out;
}

std::string px(double v) { return format("%.1f", v + 0.0); }

// The stroke of a dashed or a dotted line (round dots), "" for a solid one.
std::string dashes(bool dashed, bool dotted)
{
    if (dashed) return " stroke-dasharray=\"6 4\"";
    if (dotted) return " stroke-dasharray=\"1 3.5\" stroke-linecap=\"round\"";
    return "";
}

// Whether x lies on the scale (a rounding error past an end counts as on it).
bool onScale(double x, const AxisScale& xs)
{
    const double slack = 1e-9 * (xs.hi - xs.lo);
    return x >= xs.lo - slack && x <= xs.hi + slack;
}

// The smallest and largest finite value of the series' x or y (of the
// points on the x scale `within` when there is one).
bool dataRange(const std::vector<ChartSeries>& series, bool alongX, double& lo, double& hi,
               const std::optional<AxisScale>& within = std::nullopt)
{
    ValueRange range;
    for (const ChartSeries& s : series) {
        const std::size_t n = std::min(s.x.size(), s.y.size());
        for (std::size_t i = 0; i < n; ++i) {
            if (!std::isfinite(s.x[i]) || !std::isfinite(s.y[i])) continue;
            if (within && !onScale(s.x[i], *within)) continue;
            range.cover(alongX ? s.x[i] : s.y[i]);
        }
    }
    if (range.any) lo = range.lo, hi = range.hi;
    return range.any;
}

// Width of a panel's legend, 0 when it has none.
double legendWidth(const ChartPanel& p)
{
    if (!p.legend) return 0.0;
    std::size_t longest = 0;
    for (const ChartSeries& s : p.series) longest = std::max(longest, s.label.size());
    if (longest == 0) return 0.0;
    return std::min(220.0, std::max(80.0, 34.0 + charWidth * static_cast<double>(longest)));
}

// A cross or a ring of 5 px about (x, y).
std::string markSvg(ChartSeries::Mark mark, const std::string& colour, double x, double y)
{
    if (mark == ChartSeries::Mark::ring)
        return format("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"5\" fill=\"none\" stroke=\"%s\" stroke-width=\"1.6\"/>",
                      x + 0.0, y + 0.0, colour.c_str());
    return format("<path d=\"M%.1f,%.1fL%.1f,%.1fM%.1f,%.1fL%.1f,%.1f\" stroke=\"%s\" stroke-width=\"1.6\"/>",
                  x - 5 + 0.0, y - 5 + 0.0, x + 5 + 0.0, y + 5 + 0.0, x - 5 + 0.0, y + 5 + 0.0, x + 5 + 0.0,
                  y - 5 + 0.0, colour.c_str());
}

// A legend's sample of a line before its text (whose baseline is y): the
// line from x, or its mark in the middle of the line's place.
std::string sampleSvg(ChartSeries::Mark mark, bool dashed, const std::string& colour, double x, double y,
                      double lineWidth, bool dotted)
{
    if (mark != ChartSeries::Mark::none) return markSvg(mark, colour, x + sampleLength / 2, y - 4);
    return format("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"%s\" stroke-width=\"%g\"%s/>",
                  x + 0.0, y - 4 + 0.0, x + sampleLength + 0.0, y - 4 + 0.0, colour.c_str(), lineWidth,
                  dashes(dashed, dotted).c_str());
}

// The legend above the panels: entries in rows that fit the width.
double keyRows(const std::vector<ChartKey>& keys, double width, std::string* out, double top)
{
    if (keys.empty()) return 0.0;
    double x = margin;
    int rows = 1;
    for (const ChartKey& k : keys) {
        const double w = sampleLength + 10.0 + charWidth * static_cast<double>(k.label.size()) + 16.0;
        if (x + w > width - margin && x > margin) {
            x = margin;
            ++rows;
        }
        if (out) {
            const double y = top + (rows - 1) * keyRowHeight + 10.0;
            *out += "<g class=\"key\">" + sampleSvg(k.mark, k.dashed, k.colour, x, y, 2.5, k.dotted) + "<text x=\"" +
                    px(x + sampleLength + 6) + "\" y=\"" + px(y) + "\">" + escaped(k.label) + "</text></g>\n";
        }
        x += w;
    }
    return rows * keyRowHeight + 6.0;
}

// Whether every y of the panel lies within its floor (and there is one).
bool flatPanel(const ChartPanel& p)
{
    double lo = 0.0, hi = 0.0;
    return p.yFloor && dataRange(p.series, false, lo, hi) &&
           std::max(std::fabs(lo), std::fabs(hi)) <= p.yFloor->size;
}

// A scale given to a panel as it is, unless it could place a value
// nowhere (ends not finite, or too close to tell apart): then a round
// scale by the shared rule.
AxisScale usable(const AxisScale& a)
{
    if (std::isfinite(a.lo) && std::isfinite(a.hi) && std::fabs(a.hi / 2.0 - a.lo / 2.0) >= leastHalfSpan) return a;
    return roundScale(std::min(a.lo, a.hi), std::max(a.lo, a.hi));
}

// The scales of a panel: categories at 0..n-1, numbers at round ticks,
// the y scale as given when it is; -1..1 when the panel is flat.
void panelScales(const ChartPanel& p, AxisScale& xs, AxisScale& ys, bool flat)
{
    double xlo = 0.0, xhi = 1.0, ylo = 0.0, yhi = 1.0;
    if (!p.xCategories.empty()) {
        xs.lo = -0.5;
        xs.hi = static_cast<double>(p.xCategories.size()) - 0.5;
        xs.step = 1.0;
        xs.ticks.clear();
        for (std::size_t i = 0; i < p.xCategories.size(); ++i) xs.ticks.push_back(static_cast<double>(i));
    } else if (p.xScale) {
        xs = usable(*p.xScale);
    } else {
        dataRange(p.series, true, xlo, xhi);
        xs = roundScale(xlo, xhi, 7);
    }
    if (flat) {
        ys = roundScale(-1.0, 1.0, 6);
    } else if (p.yScale) {
        ys = usable(*p.yScale);
    } else {
        dataRange(p.series, false, ylo, yhi, p.xCategories.empty() ? p.xScale : std::nullopt);
        ys = roundScale(ylo, yhi, 6);
    }
    // a plane: a margin about the data, the same on all sides, so that no
    // mark lies on the plot area's border
    if (p.equalScale && p.xCategories.empty() && !p.xScale && !p.yScale) {
        const double pad = 0.06 * std::max(xhi - xlo, yhi - ylo);
        if (std::isfinite(pad) && pad > 0.0) {
            xs = roundScale(xlo - pad, xhi + pad, 7);
            ys = roundScale(ylo - pad, yhi + pad, 6);
        }
    }
}

// The room left of a plot area for the longest y tick and the label.
double leftRoom(const AxisScale& ys)
{
    std::size_t longest = 0;
    for (double t : ys.ticks) longest = std::max(longest, tickText(t, ys.step).size());
    return std::max(plotLeft, 34.0 + charWidth * static_cast<double>(longest));
}

// The scale a widened about its middle to the span `span`, its ticks within.
AxisScale widened(const AxisScale& a, double span, int most)
{
    const double middle = a.lo / 2.0 + a.hi / 2.0;
    const AxisScale w = scaleWithin(middle - span / 2.0, middle + span / 2.0, most);
    return std::isfinite(w.lo) && std::isfinite(w.hi) ? w : a;  // (not past the largest doubles)
}

// One unit as many pixels along x as along y: the scale with more pixels to
// its unit widened.  Wider y ticks may need more room on the left, which
// narrows the plot area (when the room is the panel's own): then again.
void equalScales(PanelLayout& at, bool ownRoom)
{
    for (int k = 0; k < 4; ++k) {
        const double kx = (at.x1 - at.x0) / (at.xs.hi - at.xs.lo);
        const double ky = (at.y1 - at.y0) / (at.ys.hi - at.ys.lo);
        if (!(kx > 0.0) || !(ky > 0.0) || !std::isfinite(kx) || !std::isfinite(ky)) return;
        if (kx >= ky) {
            if (kx > ky) at.xs = widened(at.xs, (at.x1 - at.x0) / ky, 7);
            return;
        }
        at.ys = widened(at.ys, (at.y1 - at.y0) / kx, 6);
        if (ownRoom && k < 3) at.x0 = at.left + leftRoom(at.ys);
    }
}

// --- the notes' labels ---
constexpr double noteFont = 11.0;       // [px]
constexpr double noteCharWidth = 6.8;   // an average character at 11 px, on the wide side
constexpr double noteAscent = 9.0;      // of the text above its baseline
constexpr double noteDescent = 3.0;
constexpr double noteGap = 6.0;         // between a dot and its label
constexpr double noteRow = 13.0;        // one row further off
constexpr double notePoint = 3.0;       // the dot's radius

// A rectangle [px, y down].
struct Box {
    double l, t, r, b;
};

bool overlaps(const Box& a, const Box& b) { return a.l < b.r && b.l < a.r && a.t < b.b && b.t < a.b; }

// A straight piece of a line [px].
struct Segment {
    double x0, y0, x1, y1;
};

// Whether the segment passes through the box (clipped to it, Liang-Barsky).
bool crosses(const Segment& s, const Box& box)
{
    if (std::max(s.x0, s.x1) < box.l || std::min(s.x0, s.x1) > box.r || std::max(s.y0, s.y1) < box.t ||
        std::min(s.y0, s.y1) > box.b)
        return false;
    const double dx = s.x1 - s.x0, dy = s.y1 - s.y0;
    double lo = 0.0, hi = 1.0;
    const double p[] = {-dx, dx, -dy, dy};
    const double q[] = {s.x0 - box.l, box.r - s.x0, s.y0 - box.t, box.b - s.y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) return false;
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0.0)
            lo = std::max(lo, r);
        else
            hi = std::min(hi, r);
        if (lo > hi) return false;
    }
    return true;
}

// Where each note's label goes: beside its dot, right or left, then a row
// further up or down at a time, the first place inside the plot area that
// covers no line, dot, label or leader placed before (the first place
// tried when there is none).  Gives the SVG of the notes.
std::string notesSvg(const std::vector<ChartNote>& notes, const PanelLayout& at, std::vector<Segment> lines)
{
    std::string out;
    const Box area{at.x0 + 2.0, at.y0 + 2.0, at.x1 - 2.0, at.y1 - 2.0};
    std::vector<Box> taken;
    struct Dot {
        double x, y;
        bool shown;
    };
    std::vector<Dot> dots;
    for (const ChartNote& n : notes) {
        const bool shown = std::isfinite(n.x) && std::isfinite(n.y) && onScale(n.x, at.xs) && onScale(n.y, at.ys);
        dots.push_back({at.X(n.x), at.Y(n.y), shown});
        if (shown) taken.push_back({dots.back().x - notePoint - 1, dots.back().y - notePoint - 1,
                                    dots.back().x + notePoint + 1, dots.back().y + notePoint + 1});
    }
    for (std::size_t i = 0; i < notes.size(); ++i) {
        if (!dots[i].shown) continue;
        const ChartNote& n = notes[i];
        const double x = dots[i].x, y = dots[i].y;
        const double w = noteCharWidth * static_cast<double>(n.label.size());
        // a label's box with its left end at lx and its baseline at by
        auto box = [&](double lx, double by) { return Box{lx, by - noteAscent, lx + w, by + noteDescent}; };
        struct Place {
            double x, baseline;
        };
        std::vector<Place> places;
        const double middle = y + (noteAscent - noteDescent) / 2.0;
        // beside the dot, then a row further off at a time: right, left,
        // centred, and (with a leader) further right
        for (int row = 0; row <= 16; ++row) {
            for (const double lx : {x + noteGap, x - noteGap - w, x - w / 2.0, x + noteGap + 3.0 * noteRow,
                                    x + noteGap + 6.0 * noteRow}) {
                if (row == 0 && lx != x + noteGap && lx != x - noteGap - w) continue;  // (over its dot, or far)
                places.push_back({lx, middle - row * noteRow});
                if (row > 0) places.push_back({lx, middle + row * noteRow});
            }
        }
        const Place* chosen = nullptr;
        Segment leader{};
        bool leads = false;
        for (const Place& pl : places) {
            const Box b = box(pl.x, pl.baseline);
            if (b.l < area.l || b.r > area.r || b.t < area.t || b.b > area.b) continue;
            // a label more than a row off, or further right, is joined to its dot by a leader
            const bool far = std::fabs(pl.baseline - middle) > noteRow + 0.5 || pl.x > x + noteGap + 0.5;
            const double ex = std::clamp(x, b.l, b.r), ey = std::clamp(y, b.t, b.b);
            const Segment l{x, y, ex, ey};
            bool free = true;
            for (std::size_t k = 0; k < taken.size() && free; ++k) {
                // (its own dot's box is left alone by the label beside it)
                free = !overlaps(b, taken[k]) && !(far && crosses(l, taken[k]) &&
                                                   !(taken[k].l < x && taken[k].r > x && taken[k].t < y && taken[k].b > y));
            }
            for (std::size_t k = 0; k < lines.size() && free; ++k) free = !crosses(lines[k], b);
            if (!free) continue;
            chosen = &pl;
            leader = l;
            leads = far;
            break;
        }
        if (!chosen) chosen = &places.front();
        const Box b = box(chosen->x, chosen->baseline);
        taken.push_back(b);
        if (leads) lines.push_back(leader);
        out += "<g class=\"note\" data-kind=\"" + escaped(n.kind) + "\">";
        if (leads)
            out += format("<line class=\"note-leader\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"%s\" "
                          "stroke-width=\"0.8\"/>",
                          leader.x0 + 0.0, leader.y0 + 0.0, leader.x1 + 0.0, leader.y1 + 0.0, n.colour.c_str());
        out += format("<circle class=\"note-point\" cx=\"%.1f\" cy=\"%.1f\" r=\"%g\" fill=\"%s\" stroke=\"#fff\" "
                      "stroke-width=\"1\"/><text class=\"note-label\" x=\"%.1f\" y=\"%.1f\" font-size=\"%g\" "
                      "fill=\"%s\">",
                      x + 0.0, y + 0.0, notePoint, n.colour.c_str(), b.l + 0.0, chosen->baseline + 0.0, noteFont,
                      n.colour.c_str());
        out += escaped(n.label) + "</text></g>\n";
    }
    return out;
}

// a panel's title, grid, ticks, plot area and axis labels
void writePanelFrame(const ChartPanel& p, const PanelLayout& at, std::string& out)
{
    const AxisScale& xs = at.xs;
    const AxisScale& ys = at.ys;
    const double left = at.left;
    const double top = at.top;
    const double x0 = at.x0, x1 = at.x1, y0 = at.y0, y1 = at.y1;
    auto X = [&](double v) { return at.X(v); };
    auto Y = [&](double v) { return at.Y(v); };

    out += "<text class=\"panel-title\" x=\"" + px(x0) + "\" y=\"" + px(top + 16) +
           "\" font-weight=\"bold\" font-size=\"12\">" + escaped(p.title) + "</text>\n";
    // grid and ticks (the x ticks' texts low enough to keep clear of the
    // lowest y tick's text at the corner)
    for (std::size_t i = 0; i < xs.ticks.size(); ++i) {
        const double t = xs.ticks[i];
        const std::string x = px(X(t));
        const std::string text = !p.xCategories.empty() ? p.xCategories[i]
                                 : p.xLog10            ? logTickText(t)
                                                       : tickText(t, xs.step);
        out += "<line x1=\"" + x + "\" y1=\"" + px(y0) + "\" x2=\"" + x + "\" y2=\"" + px(y1) +
               "\" stroke=\"#e4e4e4\"/>\n<text class=\"tick-x\" x=\"" + x + "\" y=\"" + px(y1 + 16) +
               "\" text-anchor=\"middle\">" + escaped(text) + "</text>\n";
    }
    for (double t : ys.ticks) {
        const std::string y = px(Y(t));
        out += "<line x1=\"" + px(x0) + "\" y1=\"" + y + "\" x2=\"" + px(x1) + "\" y2=\"" + y +
               "\" stroke=\"#e4e4e4\"/>\n<text class=\"tick-y\" x=\"" + px(x0 - 5) + "\" y=\"" +
               px(Y(t) + 4) + "\" text-anchor=\"end\">" + escaped(tickText(t, ys.step)) + "</text>\n";
    }
    out += "<rect class=\"plot-area\" x=\"" + px(x0) + "\" y=\"" + px(y0) + "\" width=\"" + px(x1 - x0) +
           "\" height=\"" + px(y1 - y0) + "\" fill=\"none\" stroke=\"#777\"/>\n";
    // axis labels
    out += "<text class=\"axis-x\" x=\"" + px((x0 + x1) / 2) + "\" y=\"" + px(y1 + 32) +
           "\" text-anchor=\"middle\">" + escaped(p.xLabel) + "</text>\n";
    const std::string ly = px((y0 + y1) / 2);
    out += "<text class=\"axis-y\" x=\"" + px(left + 14) + "\" y=\"" + ly + "\" text-anchor=\"middle\" " +
           "transform=\"rotate(-90 " + px(left + 14) + " " + ly + ")\">" + escaped(p.yLabel) + "</text>\n";
}

// The lines: one path each, broken where a value is missing (or off the
// x scale given).  Gives their pieces, which the notes' labels keep clear of
// (none when the panel has no notes).
std::vector<Segment> writePanelSeries(const ChartPanel& p, const PanelLayout& at, std::string& out)
{
    const AxisScale& xs = at.xs;
    auto X = [&](double v) { return at.X(v); };
    auto Y = [&](double v) { return at.Y(v); };
    std::vector<Segment> pieces;
    for (const ChartSeries& s : p.series) {
        std::string d;
        std::string dots;
        bool pen = false;
        double lastX = 0.0, lastY = 0.0;
        const std::size_t n = std::min(s.x.size(), s.y.size());
        for (std::size_t i = 0; i < n; ++i) {
            if (!std::isfinite(s.x[i]) || !std::isfinite(s.y[i]) || (p.xScale && !onScale(s.x[i], xs))) {
                pen = false;
                continue;
            }
            const double cx = X(s.x[i]), cy = Y(at.flat ? 0.0 : s.y[i]);
            const std::string x = px(cx);
            const std::string y = px(cy);
            const bool marked = s.mark != ChartSeries::Mark::none;
            d += (pen && !marked ? "L" : "M") + x + "," + y;
            if (!p.notes.empty() && pen && !marked) pieces.push_back({lastX, lastY, cx, cy});
            lastX = cx;
            lastY = cy;
            pen = true;
            if (s.markers)
                dots += "<circle cx=\"" + x + "\" cy=\"" + y + "\" r=\"2.5\" fill=\"" + s.colour + "\"/>";
            if (marked) dots += markSvg(s.mark, s.colour, cx, cy);
        }
        out += "<path class=\"series\" data-label=\"" + escaped(s.label) + "\" d=\"" + d + "\" fill=\"none\" stroke=\"" +
               s.colour + "\" stroke-width=\"1.6\"" + dashes(s.dashed, s.dotted) + "/>\n";
        if (!dots.empty()) out += "<g class=\"markers\">" + dots + "</g>\n";
    }
    return pieces;
}

// the legend right of the plot area, one line a series
void writePanelLegend(const ChartPanel& p, const PanelLayout& at, std::string& out)
{
    double y = at.y0 + 10.0;
    const double lx = at.x1 + 10.0;
    for (const ChartSeries& s : p.series) {
        if (s.label.empty()) continue;
        // the line's sample, or the mark in the middle of its place
        out += "<g class=\"legend\">" + sampleSvg(s.mark, s.dashed, s.colour, lx, y, 2.0, s.dotted) + "<text x=\"" +
               px(lx + sampleLength + 5) + "\" y=\"" + px(y) + "\">" + escaped(s.label) + "</text></g>\n";
        y += legendRowHeight;
    }
}

void writePanel(const ChartPanel& p, const PanelLayout& at, std::string& out)
{
    out += "<g class=\"panel\">\n";
    writePanelFrame(p, at, out);
    std::vector<Segment> pieces = writePanelSeries(p, at, out);
    // a flat panel says why
    if (at.flat)
        out += "<text class=\"floor-note\" x=\"" + px(at.x0 + 6) + "\" y=\"" + px(at.y1 - 6) + "\" fill=\"#555\">" +
               escaped(floorNote(*p.yFloor)) + "</text>\n";
    if (legendWidth(p) > 0.0) writePanelLegend(p, at, out);
    if (!p.notes.empty()) out += notesSvg(p.notes, at, std::move(pieces));
    out += "</g>\n";
}

}  // namespace

AxisScale roundScale(double lo, double hi, int most)
{
    AxisScale a;
    // no values, a single value, a span too fine to resolve: the ends of
    // the shared rule
    const ScaleEnds fitted = scaleEnds(lo, hi);
    lo = fitted.lo;
    hi = fitted.hi;
    // beyond round numbers (spans near the largest or smallest doubles): the two ends
    auto ends = [&] {
        a.lo = lo;
        a.hi = hi;
        a.step = hi / 2.0 - lo / 2.0;
        a.ticks = {lo, hi};
        return a;
    };
    const double span = hi / 2.0 - lo / 2.0;  // half the span: no overflow
    if (!std::isfinite(2.0 * span) || !(span > 0.0)) return ends();
    const int intervals = std::max(1, most - 1);
    const double magnitude = pmath::pow(10.0, std::floor(pmath::log10(2.0 * span / intervals)));
    if (!(magnitude > 0.0) || !std::isfinite(magnitude)) return ends();
    double step = magnitude;
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        step = m * magnitude;
        if (std::ceil(hi / step - 1e-9) - std::floor(lo / step + 1e-9) <= intervals) break;
    }
    // a value a rounding error past a tick counts as on it (8.000000000000002 s
    // is the 200th sample), and the ends still cover the data exactly
    const double slack = 1e-9;
    const double first = std::floor(lo / step + slack);
    const double last = std::ceil(hi / step - slack);
    if (!std::isfinite(first * step) || !std::isfinite(last * step) || last - first > 4.0 * intervals)
        return ends();
    a.step = step;
    a.lo = std::min(first * step, lo);
    a.hi = std::max(last * step, hi);
    for (double k = first; k <= last; k += 1.0) a.ticks.push_back(k * step);
    return a;
}

AxisScale scaleWithin(double lo, double hi, int most)
{
    AxisScale a;
    a.lo = lo;
    a.hi = hi;
    a.step = hi / 2.0 - lo / 2.0;
    a.ticks = {lo, hi};
    const double span = hi / 2.0 - lo / 2.0;  // half the span: no overflow
    if (!std::isfinite(lo) || !std::isfinite(hi) || !(span > 0.0) || !std::isfinite(2.0 * span)) return a;
    const int intervals = std::max(1, most - 1);
    const double magnitude = pmath::pow(10.0, std::floor(pmath::log10(2.0 * span / intervals)));
    if (!(magnitude > 0.0) || !std::isfinite(magnitude)) return a;
    const double slack = 1e-9;
    for (double m : {1.0, 2.0, 5.0, 10.0, 20.0}) {
        const double step = m * magnitude;
        const double first = std::ceil(lo / step - slack);
        const double last = std::floor(hi / step + slack);
        if (last - first + 1.0 > std::max(1, most)) continue;
        if (!(last >= first)) break;  // not one round number within: the ends
        a.step = step;
        a.ticks.clear();
        for (double k = first; k <= last; k += 1.0) a.ticks.push_back(k * step);
        break;
    }
    return a;
}

std::string tickText(double v, double step)
{
    if (std::fabs(v) < 1e-9 * std::fabs(step)) v = 0.0;
    if (!std::isfinite(step) || step == 0.0) return format("%g", plainNan(v) + 0.0);
    const double size = std::max(std::fabs(v), std::fabs(step));
    const int stepDigit = static_cast<int>(std::floor(pmath::log10(std::fabs(step)) + 1e-9));
    if (size < 1e7 && stepDigit >= -6) return format("%.*f", std::max(0, -stepDigit), v + 0.0);
    // very large numbers or very fine steps: as many significant digits as
    // the step needs (1e+08, -6e-09, 10.00000005)
    const int sizeDigit = static_cast<int>(std::floor(pmath::log10(size)));
    return format("%.*g", std::clamp(sizeDigit - stepDigit + 1, 1, 17), v + 0.0);
}

std::string paletteColour(std::size_t i)
{
    static const char* const colours[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e", "#9467bd",
                                          "#8c564b", "#e377c2", "#7f7f7f", "#bcbd22", "#17becf"};
    return colours[i % 10];
}

std::string rampColour(double share)
{
    // dark blue, blue, light blue, orange, red, dark red
    static const int stops[][3] = {{49, 54, 149}, {69, 117, 180}, {116, 173, 209},
                                   {253, 174, 97}, {244, 109, 67}, {165, 0, 38}};
    const int n = 6;
    const double at = std::clamp(std::isfinite(share) ? share : 0.0, 0.0, 1.0) * (n - 1);
    const int i = std::min(n - 2, static_cast<int>(at));
    const double f = at - i;
    int rgb[3];
    for (int c = 0; c < 3; ++c)
        rgb[c] = static_cast<int>(std::lround(stops[i][c] + f * (stops[i + 1][c] - stops[i][c])));
    return format("#%02x%02x%02x", rgb[0], rgb[1], rgb[2]);
}

std::string xmlText(const std::string& text) { return escaped(text); }

std::string floorNote(const RoundingFloor& floor)
{
    return std::string("all within \xC2\xB1") + floor.text + ": drawn as 0";
}

// (a value far off a scale given, 1e308 on a scale of 0..1, lies far off
// the plot area but at a finite place)
double PanelLayout::X(double v) const
{
    return std::clamp(x0 + (x1 - x0) * scaleShare(v, xs.lo, xs.hi), x0 - farOff, x1 + farOff);
}
double PanelLayout::Y(double v) const
{
    return std::clamp(y1 - (y1 - y0) * scaleShare(v, ys.lo, ys.hi), y0 - farOff, y1 + farOff);
}
double PanelLayout::xValue(double px) const
{
    return xs.lo + (xs.hi - xs.lo) * ((px - x0) / (x1 - x0));
}

ChartLayout chartLayout(const Chart& c)
{
    ChartLayout layout;
    const int columns = std::max(1, c.columns);
    layout.width = 2 * margin + columns * c.panelWidth;
    const double top = margin + (c.title.empty() ? 0.0 : titleHeight) + (c.subtitle.empty() ? 0.0 : subtitleHeight);
    layout.panelsTop = top + keyRows(c.keys, layout.width, nullptr, top);

    // where each panel goes: rows of `columns` panels, a wide panel a row of
    // its own; a row is as high as its tallest panel
    double rowTop = layout.panelsTop;
    double rowHeight = 0.0;
    int inRow = columns;  // panels in the current row
    double room = 0.0;    // the room left of the plot areas, when aligned
    for (const ChartPanel& p : c.panels) {
        PanelLayout at;
        at.flat = flatPanel(p);
        panelScales(p, at.xs, at.ys, at.flat);
        room = std::max(room, leftRoom(at.ys));
        const double h = p.height > 0.0 ? p.height : c.panelHeight;
        if (p.wide || inRow >= columns) {
            rowTop += rowHeight;
            rowHeight = 0.0;
            inRow = 0;
        }
        at.width = p.wide ? columns * c.panelWidth : c.panelWidth;
        at.height = h;
        at.left = margin + inRow * c.panelWidth;
        at.top = rowTop;
        rowHeight = std::max(rowHeight, h);
        inRow = p.wide ? columns : inRow + 1;
        layout.panels.push_back(std::move(at));
    }
    layout.height = rowTop + rowHeight + margin;
    // the plot areas: room on the left for the longest y tick and the label
    for (std::size_t i = 0; i < c.panels.size(); ++i) {
        PanelLayout& at = layout.panels[i];
        const double legend = legendWidth(c.panels[i]);
        at.x0 = at.left + (c.alignPlots ? room : leftRoom(at.ys));
        at.x1 = at.left + at.width - (legend > 0.0 ? legend : plotRightBare);
        at.y0 = at.top + panelTitleHeight;
        at.y1 = at.top + at.height - plotBottom;
        if (c.panels[i].equalScale) equalScales(at, !c.alignPlots);
    }
    return layout;
}

std::string ChartSvgParts::joined() const
{
    std::string out = head;
    for (const std::string& p : panels) out += p;
    return out + tail;
}

std::string chartSvg(const Chart& c) { return chartSvgParts(c).joined(); }

ChartSvgParts chartSvgParts(const Chart& c)
{
    const ChartLayout layout = chartLayout(c);
    const double width = layout.width;
    const double height = layout.height;
    const double top = margin + (c.title.empty() ? 0.0 : titleHeight) + (c.subtitle.empty() ? 0.0 : subtitleHeight);

    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + px(width) + "\" height=\"" + px(height) +
           "\" viewBox=\"0 0 " + px(width) + " " + px(height) +
           "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\" font-size=\"11\" fill=\"#222\"" +
           (c.accessibleName.empty() ? "" : " role=\"img\" aria-label=\"" + escaped(c.accessibleName) + "\"") + ">\n";
    out += "<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n";
    if (!c.title.empty())
        out += "<text class=\"title\" x=\"" + px(margin) + "\" y=\"" + px(margin + 18) +
               "\" font-size=\"16\" font-weight=\"bold\">" + escaped(c.title) + "</text>\n";
    if (!c.subtitle.empty())
        out += "<text class=\"subtitle\" x=\"" + px(margin) + "\" y=\"" +
               px(top - subtitleHeight + 8) + "\" font-size=\"12\">" + escaped(c.subtitle) + "</text>\n";
    keyRows(c.keys, width, &out, top);
    ChartSvgParts parts{std::move(out), std::vector<std::string>(c.panels.size()), "</svg>\n"};
    for (std::size_t i = 0; i < c.panels.size(); ++i) writePanel(c.panels[i], layout.panels[i], parts.panels[i]);
    return parts;
}

namespace {

// the number of attribute `name` in the root tag of `doc` (0 when missing)
double rootNumber(const std::string& doc, std::size_t root, const char* name)
{
    const std::size_t end = doc.find('>', root);
    const std::string key = std::string(" ") + name + "=\"";
    const std::size_t at = doc.find(key, root);
    if (at == std::string::npos || at > end) return 0.0;
    return std::strtod(doc.c_str() + at + key.size(), nullptr);
}

}  // namespace

std::string stackedSvg(const std::vector<std::string>& documents, const std::string& accessibleName)
{
    double width = 0.0, height = 0.0;
    std::string inner;
    for (const std::string& doc : documents) {
        const std::size_t root = doc.find("<svg");
        if (root == std::string::npos) continue;
        const double w = rootNumber(doc, root, "width"), h = rootNumber(doc, root, "height");
        inner += "<svg x=\"0\" y=\"" + px(height) + "\"" + doc.substr(root + 4);
        if (inner.back() != '\n') inner += '\n';
        width = std::max(width, w);
        height += h;
    }
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + px(width) + "\" height=\"" + px(height) +
           "\" viewBox=\"0 0 " + px(width) + " " + px(height) + "\" role=\"img\" aria-label=\"" +
           xmlText(accessibleName) + "\">\n<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n";
    return out + inner + "</svg>\n";
}

}  // namespace hybridsim
