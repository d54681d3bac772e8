#include "study/study_graphs.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "study/summary.h"
#include "task/text_format.h"

namespace hybridsim {
namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double mmPerM = 1000.0;

// the layout [px]: at 1:1 on the page, every text at 11 px or more
constexpr double panelHeight = 180.0;
constexpr double chartMargin = 16.0;  // svg_chart's margin around the panels
constexpr double lineHeight = 13.0;   // a line of the cursor's values
constexpr double textWidth = 6.2;     // an average character at 11 px
constexpr double grabMargin = 8.0;    // a press this near a plot area scrubs
constexpr double leastWidth = 240.0;
constexpr double mostWidth = 4000.0;

// The number as SVG text [px].
std::string px(double v) { return format("%.1f", v + 0.0); }

std::vector<double> times1000(const std::vector<double>& v)
{
    std::vector<double> out;
    out.reserve(v.size());
    for (double x : v) out.push_back(mmPerM * x);
    return out;
}

// 0, every Fn and every finite force F and Fc of the runs; rounding about 0
// (within newtonFloor) counts as 0, as the panel draws it
void forceRange(const std::vector<StudyRun>& runs, double& lo, double& hi)
{
    lo = 0.0;
    hi = 0.0;
    const auto cover = [&](double f) {
        if (!std::isfinite(f) || std::fabs(f) <= newtonFloor.size) return;
        lo = std::min(lo, f);
        hi = std::max(hi, f);
    };
    for (const StudyRun& r : runs) {
        cover(r.Fn);
        for (double f : r.force) cover(f);
        for (double f : r.springForce) cover(f);
    }
}

double valueAt(const std::vector<double>& v, int i)
{
    return i >= 0 && static_cast<std::size_t>(i) < v.size() ? v[static_cast<std::size_t>(i)] : notANumber;
}

enum class Stroke { solid, dashed, dotted };

// what a panel draws of one run: its lines, and the values shown at the cursor
struct Quantity {
    const char* name;  // in the line's data-label and on the cursor
    const std::vector<double> StudyRun::*values;
    bool millimetres;
    Stroke stroke;
};

struct PanelKind {
    const char* title;
    const char* yLabel;
    std::vector<Quantity> quantities;
};

const std::vector<PanelKind>& panelKinds()
{
    static const std::vector<PanelKind> kinds = {
        {"contact force F, Fn and the spring's Fc", "force [N]",
         {{"F", &StudyRun::force, false, Stroke::solid}, {"Fc", &StudyRun::springForce, false, Stroke::dotted}}},
        {"tangential error sErr", "sErr [mm]", {{"sErr", &StudyRun::sErr, true, Stroke::solid}}},
        {"the tip's distance from the workpiece", "distance [mm]",
         {{"distance", &StudyRun::distance, true, Stroke::solid}}},
        {"X of the tip and the command point", "X [mm]",
         {{"tip", &StudyRun::tipX, true, Stroke::solid}, {"command", &StudyRun::refX, true, Stroke::dashed}}},
        {"Y of the tip and the command point", "Y [mm]",
         {{"tip", &StudyRun::tipY, true, Stroke::solid}, {"command", &StudyRun::refY, true, Stroke::dashed}}},
    };
    return kinds;
}

}  // namespace

StudyRun studyRun(const SimSettings& s, const SeriesSet& set, std::string label, std::string colour)
{
    StudyRun r;
    r.label = std::move(label);
    r.colour = std::move(colour);
    r.Fn = s.Fn;
    r.force = contactForceInReach(s, set);
    const int last = lastSample(s);
    r.springForce.reserve(static_cast<std::size_t>(last) + 1);
    for (int i = 0; i <= last; ++i) r.springForce.push_back(hasPosture(set, i) ? set.springForce[i] : notANumber);
    for (std::vector<double>* v : {&r.time, &r.sErr, &r.distance, &r.tipX, &r.tipY, &r.refX, &r.refY})
        v->reserve(static_cast<std::size_t>(last) + 1);
    double footX = notANumber;  // the sine's foot of the previous sample, as the summary searches
    for (int i = 0; i <= last; ++i) {
        const Vec2 tip = set.tipPos[i];
        r.time.push_back(set.time[i]);
        r.sErr.push_back(set.sErr[i]);
        r.distance.push_back(distanceToContour(s, tip, footX));
        r.tipX.push_back(tip.x);
        r.tipY.push_back(tip.y);
        r.refX.push_back(set.refPos[i].x);
        r.refY.push_back(set.refPos[i].y);
    }
    return r;
}

std::string studyRunColour(std::size_t i)
{
    return paletteColour(i);
}

std::string studyValueText(double v, const char* unit)
{
    const bool mm = std::string(unit) == "mm";
    const double shown = mm ? mmPerM * v : v;
    const char* form = std::fabs(shown) >= 1e9 ? "%.4e %s" : "%.3f %s";
    return format(form, plainNan(shown), unit);
}

void StudyGraphs::setRuns(std::vector<StudyRun> runs)
{
    if (runs.size() > studyMostRuns) runs.resize(studyMostRuns);
    runs_ = std::move(runs);
    layout_.reset();
    if (!forceFitted_) {
        fitForceScale();
        return;
    }
    double lo = 0.0, hi = 0.0;
    forceRange(runs_, lo, hi);
    if (lo < forceScale_.lo || hi > forceScale_.hi)
        forceScale_ = roundScale(std::min(lo, forceScale_.lo), std::max(hi, forceScale_.hi), 6);
}

void StudyGraphs::fitForceScale()
{
    double lo = 0.0, hi = 0.0;
    forceRange(runs_, lo, hi);
    forceScale_ = roundScale(lo, hi, 6);
    forceFitted_ = true;
    layout_.reset();
}

void StudyGraphs::setWidth(double width)
{
    const double w = std::isfinite(width) ? std::clamp(width, leastWidth, mostWidth) : width_;
    if (w != width_) layout_.reset();
    width_ = w;
}

Chart StudyGraphs::chart() const
{
    Chart c;
    c.columns = 1;
    c.panelWidth = width_ - 2 * chartMargin;
    c.panelHeight = panelHeight;
    c.alignPlots = true;
    c.accessibleName = "the study graphs against time t [s]: the contact force F and Fn, the hand spring's "
                       "force Fc, the tangential error, "
                       "the distance of the tip from the workpiece, and the X and Y of the tip and the command "
                       "point, with the values at the sample shown";
    for (const StudyRun& r : runs_) c.keys.push_back({r.label, r.colour});
    c.keys.push_back({"dashed: Fn, the command point", "#555555", true});
    c.keys.push_back({"dotted: Fc, the force of the hand spring at the posture", "#555555", false, true});
    for (const PanelKind& kind : panelKinds()) {
        ChartPanel p{kind.title, "time t [s]", kind.yLabel, {}, {}};
        p.legend = false;
        p.yFloor = &kind == &panelKinds().front() ? newtonFloor : millimetreFloor;
        for (const StudyRun& r : runs_) {
            for (const Quantity& q : kind.quantities) {
                const std::vector<double>& v = r.*q.values;
                ChartSeries line{std::string(q.name) + " (" + r.label + ")", r.colour, r.time, q.millimetres ? times1000(v) : v};
                line.dashed = q.stroke == Stroke::dashed;
                line.dotted = q.stroke == Stroke::dotted;
                p.series.push_back(std::move(line));
            }
            if (&kind == &panelKinds().front() && !r.time.empty()) {
                ChartSeries target{"Fn (" + r.label + ")", r.colour, {r.time.front(), r.time.back()}, {r.Fn, r.Fn}};
                target.dashed = true;
                p.series.push_back(std::move(target));
            }
        }
        if (&kind == &panelKinds().front()) p.yScale = forceScale_;
        c.panels.push_back(std::move(p));
    }
    return c;
}

const ChartLayout& StudyGraphs::layout() const
{
    if (!layout_) layout_ = chartLayout(chart());
    return *layout_;
}

std::string StudyGraphs::svg() const { return svgParts().joined(); }

ChartSvgParts StudyGraphs::svgParts() const
{
    ChartSvgParts parts = chartSvgParts(chart());
    // an element to put in a page: no XML declaration
    std::string& head = parts.head;
    if (head.compare(0, 5, "<?xml") == 0) head.erase(0, head.find('\n') + 1);
    parts.tail.insert(0, "<g class=\"cursor\"></g>\n");
    return parts;
}

std::vector<StudyCursorRun> StudyGraphs::cursor(int sample) const
{
    std::vector<StudyCursorRun> out;
    if (runs_.empty()) return out;
    sample = std::clamp(sample, 0, std::max(0, runs_.front().lastSample()));
    for (const StudyRun& r : runs_) {
        StudyCursorRun c;
        c.label = r.label;
        c.colour = r.colour;
        c.sample = std::min(sample, std::max(0, r.lastSample()));
        const int i = c.sample;
        c.t = valueAt(r.time, i);
        c.force = valueAt(r.force, i);
        c.springForce = valueAt(r.springForce, i);
        c.Fn = r.Fn;
        c.sErr = valueAt(r.sErr, i);
        c.distance = valueAt(r.distance, i);
        c.tipX = valueAt(r.tipX, i);
        c.tipY = valueAt(r.tipY, i);
        c.refX = valueAt(r.refX, i);
        c.refY = valueAt(r.refY, i);
        c.tText = studyValueText(c.t, "s");
        c.forceText = studyValueText(c.force, "N");
        c.springForceText = studyValueText(c.springForce, "N");
        c.FnText = studyValueText(c.Fn, "N");
        c.sErrText = studyValueText(c.sErr, "mm");
        c.distanceText = studyValueText(c.distance, "mm");
        c.tipXText = studyValueText(c.tipX, "mm");
        c.tipYText = studyValueText(c.tipY, "mm");
        c.refXText = studyValueText(c.refX, "mm");
        c.refYText = studyValueText(c.refY, "mm");
        out.push_back(std::move(c));
    }
    return out;
}

std::string StudyGraphs::cursorSvg(int sample) const
{
    const std::vector<StudyCursorRun> values = cursor(sample);
    if (values.empty()) return "";
    const ChartLayout& l = layout();
    const bool several = values.size() > 1;
    // the values of each panel, one line a run
    const auto lineOf = [&](std::size_t panel, const StudyCursorRun& c) {
        const std::string who = several ? c.label + ": " : std::string();
        switch (panel) {
        case 0: return who + "F " + c.forceText + ", Fc " + c.springForceText + ", Fn " + c.FnText;
        case 1: return who + "sErr " + c.sErrText;
        case 2: return who + c.distanceText;
        case 3: return who + "tip " + c.tipXText + ", command " + c.refXText;
        default: return who + "tip " + c.tipYText + ", command " + c.refYText;
        }
    };
    const std::string head = "t = " + values.front().tText + " (sample " + std::to_string(values.front().sample) + ")";
    std::string out;
    for (std::size_t p = 0; p < l.panels.size() && p < panelKinds().size(); ++p) {
        const PanelLayout& at = l.panels[p];
        const double x = at.X(values.front().t);
        out += "<g class=\"cursor-panel\">";
        if (std::isfinite(x))
            out += "<line class=\"cursor-line\" x1=\"" + px(x) + "\" y1=\"" + px(at.y0) + "\" x2=\"" + px(x) +
                   "\" y2=\"" + px(at.y1) + "\" stroke=\"#000\"/>";
        // a dot on each line at the cursor
        for (std::size_t r = 0; r < values.size(); ++r) {
            const StudyRun& run = runs_[r];
            const int i = values[r].sample;
            for (const Quantity& q : panelKinds()[p].quantities) {
                const double v = (q.millimetres ? mmPerM : 1.0) * valueAt(run.*q.values, i);
                const double cx = at.X(values[r].t);
                const double cy = at.Y(at.flat && std::isfinite(v) ? 0.0 : v);
                if (std::isfinite(cx) && std::isfinite(cy))
                    out += "<circle cx=\"" + px(cx) + "\" cy=\"" + px(cy) + "\" r=\"3\" fill=\"" + run.colour +
                           "\" stroke=\"#fff\"/>";
            }
        }
        // the values, in a box beside the line: right of it when there is room
        std::vector<std::string> lines{head};
        std::size_t longest = head.size();
        for (const StudyCursorRun& c : values) {
            lines.push_back(lineOf(p, c));
            longest = std::max(longest, lines.back().size() + 3);  // with the swatch
        }
        const double w = 8.0 + textWidth * static_cast<double>(longest);
        const double h = 6.0 + lineHeight * static_cast<double>(lines.size());
        const double cx = std::isfinite(x) ? x : at.x0;
        double left = cx + 6.0;
        if (left + w > at.x1) left = cx - 6.0 - w;
        if (left < at.x0) left = at.x0 + 2.0;
        const double top = at.y0 + 2.0;
        out += "<g class=\"cursor-values\"><rect x=\"" + px(left) + "\" y=\"" + px(top) + "\" width=\"" + px(w) +
               "\" height=\"" + px(h) + "\" fill=\"#fff\" fill-opacity=\"0.88\" stroke=\"#999\"/>";
        for (std::size_t k = 0; k < lines.size(); ++k) {
            const double y = top + lineHeight * static_cast<double>(k + 1);
            double tx = left + 4.0;
            if (k > 0) {
                // the run's colour as a short line before its values
                out += "<line x1=\"" + px(tx) + "\" y1=\"" + px(y - 4) + "\" x2=\"" + px(tx + 12) + "\" y2=\"" +
                       px(y - 4) + "\" stroke=\"" + values[k - 1].colour + "\" stroke-width=\"3\"/>";
                tx += 17.0;
            }
            out += "<text class=\"cursor-text\" x=\"" + px(tx) + "\" y=\"" + px(y) + "\"" +
                   (k == 0 ? " font-weight=\"bold\"" : "") + ">" + xmlText(lines[k]) + "</text>";
        }
        out += "</g></g>\n";
    }
    return out;
}

int StudyGraphs::sampleAt(double x) const
{
    if (runs_.empty() || runs_.front().time.empty() || std::isnan(x)) return 0;
    const std::vector<double>& time = runs_.front().time;
    const int last = runs_.front().lastSample();
    const ChartLayout& l = layout();
    if (l.panels.empty()) return 0;
    const PanelLayout& axis = l.panels.front();
    if (x <= axis.x0) return 0;
    if (x >= axis.x1) return last;
    const double t = axis.xValue(x);
    // the nearest recorded time
    const auto after = std::lower_bound(time.begin(), time.end(), t);
    if (after == time.begin()) return 0;
    if (after == time.end()) return last;
    const int i = static_cast<int>(after - time.begin());
    return t - time[static_cast<std::size_t>(i - 1)] <= time[static_cast<std::size_t>(i)] - t ? i - 1 : i;
}

bool StudyGraphs::inPlot(double x, double y) const
{
    for (const PanelLayout& at : layout().panels)
        if (x >= at.x0 - grabMargin && x <= at.x1 + grabMargin && y >= at.y0 - grabMargin && y <= at.y1 + grabMargin)
            return true;
    return false;
}

}  // namespace hybridsim
