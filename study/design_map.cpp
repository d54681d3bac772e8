#include "study/design_map.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "portable_math/portable_math.h"
#include "sim/contact_model.h"
#include "sim/gain_design.h"
#include "sim/run.h"
#include "study/loop_poles.h"
#include "study/svg_chart.h"
#include "task/task_setting.h"
#include "task/text_format.h"

namespace hybridsim {
namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

// A crossing is refined until the interval is this share of the time or
// the error this share of the step (about the last bits of both).
constexpr double timeTolerance = 1e-13;
constexpr double levelTolerance = 1e-14;
constexpr int crossingSteps = 100;

// The error's share of the step, x = e / Fn: x'' + b x' + c x = 0,
// x(0) = 1, x'(0) = -b, by the roots of s^2 + b s + c:
//   a pair sigma +- i w:  x = e^(sigma t) (cos w t + (sigma / w) sin w t)
//   two roots r1, r2:      x = (r1 e^(r1 t) - r2 e^(r2 t)) / (r1 - r2)
//   a double root r:       x = (1 + r t) e^(r t)
// (-b the roots' sum in each).  Its turns, x' = 0, lie at
//   a pair:  tan w t = 2 sigma w / (w^2 - sigma^2), every pi / w, each turn
//            -e^(sigma pi / w) times the one before
//   two:     e^((r1 - r2) t) = (r2 / r1)^2, one turn at most
//   double:  t = -2 / r
// and x is monotonic between them.
struct Curve {
    enum Kind { pair, distinct, repeated } kind = distinct;
    double sigma = 0.0, w = 0.0;  // pair
    double r1 = 0.0, r2 = 0.0;    // distinct (r1 the double root when repeated)
    double firstTurn = 0.0;       // pair: the angle w t of the first turn after 0, in (0, pi]

    double x(double t) const
    {
        switch (kind) {
        case pair: return pmath::exp(sigma * t) * (pmath::cos(w * t) + (sigma / w) * pmath::sin(w * t));
        case repeated: return (1.0 + r1 * t) * pmath::exp(r1 * t);
        case distinct: break;
        }
        return (r1 * pmath::exp(r1 * t) - r2 * pmath::exp(r2 * t)) / (r1 - r2);
    }
    // the pair's turn k (0 the first)
    double turn(double k) const { return (firstTurn + k * pi) / w; }
};

// The curve of b and c; false where the roots are no numbers.
bool curveOf(double b, double c, Curve& out)
{
    const std::vector<Pole> r = quadraticRoots(1.0, b, c);
    if (r.size() != 2) return false;
    for (const Pole& p : r)
        if (!std::isfinite(p.re) || !std::isfinite(p.im)) return false;
    if (r[0].im != 0.0) {
        out.kind = Curve::pair;
        out.sigma = r[0].re;
        out.w = std::fabs(r[0].im);
        double angle = pmath::atan2(2.0 * out.sigma * out.w, (out.w - out.sigma) * (out.w + out.sigma));
        if (angle <= 0.0) angle += pi;
        out.firstTurn = angle;
        return true;
    }
    out.r1 = r[0].re;
    out.r2 = r[1].re;
    // as modelForceStep tells a double root
    if (std::fabs(out.r1 - out.r2) <= 1e-9 * std::fabs(out.r1)) {
        out.kind = Curve::repeated;
        out.r1 = 0.5 * (out.r1 + out.r2);
    }
    return true;
}

// The turns of a curve with one at most, within (0, end).
std::vector<double> singleTurn(const Curve& c, double end)
{
    double t = notANumber;
    if (c.kind == Curve::repeated && c.r1 != 0.0) t = -2.0 / c.r1;
    if (c.kind == Curve::distinct && c.r1 != 0.0 && c.r2 != 0.0)
        t = pmath::log((c.r2 / c.r1) * (c.r2 / c.r1)) / (c.r1 - c.r2);
    if (t > 0.0 && t < end) return {t};
    return {};
}

// The time in [a, b] where x meets `level`, x monotonic there and the
// level between x(a) and x(b): regula falsi with the Illinois step.
double crossing(const Curve& c, double a, double b, double level)
{
    double fa = c.x(a) - level;
    double fb = c.x(b) - level;
    if (fa == 0.0) return a;
    if (fb == 0.0) return b;
    int side = 0;
    for (int k = 0; k < crossingSteps && b - a > timeTolerance * b; ++k) {
        double t = (a * fb - b * fa) / (fb - fa);
        if (!(t > a && t < b)) t = 0.5 * (a + b);
        const double ft = c.x(t) - level;
        if (std::fabs(ft) <= levelTolerance || std::isnan(ft)) return t;
        if ((ft > 0.0) == (fa > 0.0)) {
            a = t;
            fa = ft;
            if (side == -1) fb *= 0.5;
            side = -1;
        } else {
            b = t;
            fb = ft;
            if (side == 1) fa *= 0.5;
            side = 1;
        }
    }
    return 0.5 * (a + b);
}

// The first time in the consecutive points `at` (x monotonic between
// neighbours) where x is at most `level`; nan when it is nowhere.
double firstAtMost(const Curve& c, const std::vector<double>& at, double level)
{
    for (std::size_t k = 0; k + 1 < at.size(); ++k) {
        if (c.x(at[k]) <= level) return at[k];
        if (c.x(at[k + 1]) <= level) return crossing(c, at[k], at[k + 1], level);
    }
    return notANumber;
}

// The last time x is outside the band |x| <= band on 0..end, x within it
// at the end.
double lastExit(const Curve& c, double end, double band)
{
    if (c.kind != Curve::pair) {
        std::vector<double> at{0.0};
        for (double t : singleTurn(c, end)) at.push_back(t);
        at.push_back(end);
        std::size_t k = at.size() - 2;
        while (k > 0 && std::fabs(c.x(at[k])) <= band) --k;
        const double from = c.x(at[k]);
        return crossing(c, at[k], at[k + 1], from > 0.0 ? band : -band);
    }
    // the pair: the last turn k outside the band (-1: none), the sizes of
    // the turns shrinking (sigma < 0) by e^(sigma pi / w) from the first's
    const double turns = std::floor((c.w * end - c.firstTurn) / pi);
    double k = turns;
    if (c.sigma < 0.0 && turns >= 0.0) {
        const double first = std::fabs(c.x(c.turn(0)));
        k = first <= band ? -1.0 : std::ceil(pmath::log(band / first) / (c.sigma * pi / c.w)) - 1.0;
        k = std::min(k, turns);
        // (against rounding at the edge: a few turns at most, and none where
        // the turns are too many to count one by one in a double)
        for (int n = 0; n < 4 && k >= 0.0 && std::fabs(c.x(c.turn(k))) <= band; ++n) k -= 1.0;
        for (int n = 0; n < 4 && k + 1.0 <= turns && std::fabs(c.x(c.turn(k + 1.0))) > band; ++n) k += 1.0;
    }
    if (k < 0.0) return crossing(c, 0.0, turns >= 0.0 ? c.turn(0) : end, band);
    const double from = c.x(c.turn(k));
    return crossing(c, c.turn(k), k + 1.0 <= turns ? c.turn(k + 1.0) : end, from > 0.0 ? band : -band);
}

ModelStep noStep()
{
    ModelStep m;
    m.overshoot = m.overshootPercent = m.peakForce = m.peakTime = m.settlingTime = m.riseTime = m.riseFromTime =
        m.riseToTime = notANumber;
    return m;
}

}  // namespace

ModelStep modelStep(double b, double c, double Fn, double end)
{
    ModelStep m = noStep();
    Curve curve;
    if (!std::isfinite(Fn) || !(end > 0.0) || !curveOf(b, c, curve)) return m;
    m.computed = true;
    if (Fn == 0.0) {
        // no step: the force stays 0, within the band of the one value 0
        m.overshoot = 0.0;
        m.settlingTime = 0.0;
        return m;
    }
    // the points where x may be largest or smallest, in time order: the
    // start, the first two turns and the last two (the turns shrink or grow
    // from the first on), the end
    std::vector<double> at{0.0};
    std::vector<double> firstTurns{0.0};
    if (curve.kind == Curve::pair) {
        const double turns = std::floor((curve.w * end - curve.firstTurn) / pi);
        for (double k : {0.0, 1.0, turns - 1.0, turns})
            if (k >= 0.0 && k <= turns && (at.size() == 1 || curve.turn(k) > at.back())) at.push_back(curve.turn(k));
        for (double k = 0.0; k <= std::min(turns, 2.0); k += 1.0) firstTurns.push_back(curve.turn(k));
    } else {
        for (double t : singleTurn(curve, end)) {
            at.push_back(t);
            firstTurns.push_back(t);
        }
    }
    at.push_back(end);
    firstTurns.push_back(end);

    // the overshoot: the largest -x, first where it is largest
    double most = -std::numeric_limits<double>::infinity();
    double mostAt = 0.0;
    for (double t : at) {
        const double v = -curve.x(t);
        if (v > most) {
            most = v;
            mostAt = t;
        }
    }
    const double size = std::fabs(Fn);
    if (std::isfinite(most)) {
        m.overshoot = std::max(0.0, most) * size;
        m.overshootPercent = std::max(0.0, most) * 100.0;
        if (most > 0.0) {
            m.peakForce = Fn * (1.0 + most);
            m.peakTime = mostAt;
        }
    }
    // the rise: the force first at 10 % and at 90 % of the step
    m.riseFromTime = firstAtMost(curve, firstTurns, 1.0 - riseFromShare);
    m.riseToTime = firstAtMost(curve, firstTurns, 1.0 - riseToShare);
    m.riseTime = m.riseToTime - m.riseFromTime;
    // settled: within 2 % from the last exit on, none when outside at the end
    const double xEnd = curve.x(end);
    if (std::fabs(xEnd) <= forceSettledShare) m.settlingTime = lastExit(curve, end, forceSettledShare);
    return m;
}

ModelStep modelStep(const SimSettings& s)
{
    const double ratio = s.springContact ? stiffnessRatio(s) : 1.0;
    return modelStep(ratio * (s.Kp2 - 1.0) / s.Kv2, ratio * s.Ki2 / s.Kv2, s.Fn, lastSample(s) * s.dt);
}

RunSummary modelStepSummary(const ModelStep& m, double Fn)
{
    RunSummary r;
    r.Fn = Fn;
    r.stepRead = m.computed;
    r.overshoot = m.overshoot;
    r.overshootPercent = m.overshootPercent;
    r.peakForce = m.peakForce;
    r.peakTime = m.peakTime;
    r.settlingTime = m.settlingTime;
    r.riseTime = m.riseTime;
    r.riseFromTime = m.riseFromTime;
    r.riseToTime = m.riseToTime;
    return r;
}

namespace {

// The step's figures of the summary's table, found by what they read: a
// summary whose step fields hold marks 101..106 (overshoot in %, settling,
// rise, overshoot in N, peak force, peak time).
std::vector<std::pair<int, std::string>> stepFigures()
{
    RunSummary r;
    r.overshootPercent = 101.0;
    r.settlingTime = 102.0;
    r.riseTime = 103.0;
    r.overshoot = 104.0;
    r.peakForce = 105.0;
    r.peakTime = 106.0;
    std::vector<std::pair<int, std::string>> out;
    for (const SummaryFigure& f : summaryFigures()) {
        const double v = f.value(r);
        if (v >= 101.0 && v <= 106.0 && v == std::floor(v)) out.push_back({static_cast<int>(v), f.column});
    }
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace

const std::vector<std::string>& designMapFigures()
{
    static const std::vector<std::string> figures = [] {
        std::vector<std::string> out;
        for (const auto& [mark, column] : stepFigures())
            if (mark <= 103) out.push_back(column);
        return out;
    }();
    return figures;
}

bool designMapChecks(const Goal& goal)
{
    static const std::vector<std::pair<int, std::string>> all = stepFigures();
    for (const auto& f : all)
        if (goal.name == f.second) return true;
    return false;
}

double MapAxis::share(double v) const
{
    if (log) return pmath::log(v / lo) / pmath::log(hi / lo);
    return (v - lo) / (hi - lo);
}

double MapAxis::at(double share) const
{
    if (log) return lo * pmath::exp(share * pmath::log(hi / lo));
    return lo + share * (hi - lo);
}

double designValue(const SimSettings& s, const char* name)
{
    for (const TaskField& f : taskFields())
        if (std::string(f.name) == name) return f.get(s);
    return notANumber;
}

namespace {

// The force loop's gains with fn2 [Hz] and alpha2 or zeta2 as typing them
// designs them; false where the setting would be refused.
bool gainsAt(const SimSettings& c, MapPlane plane, double fn, double other, LoopGains& g)
{
    const double wn = twoPi * fn;
    const double zeta = plane == MapPlane::zeta ? other : c.zeta2;
    const double alpha = plane == MapPlane::alpha ? other : c.alpha2;
    if (!gainRefusal(2, zeta, wn, alpha).empty()) return false;
    g = loopGains(zeta, wn, alpha);
    return true;
}

double figureOf(const SummaryFigure& f, const ModelStep& m, double Fn)
{
    return f.value(modelStepSummary(m, Fn));
}

bool usable(double lo, double hi, bool log)
{
    return std::isfinite(lo) && std::isfinite(hi) && lo < hi && (log ? lo > 0.0 : lo >= 0.0);
}

}  // namespace

double designMapValue(const SimSettings& s, MapPlane plane, const std::string& figure, double fn, double other)
{
    const SummaryFigure* f = summaryFigure(figure);
    SimSettings c = s;
    designGains(c);
    LoopGains g;
    if (f == nullptr || !gainsAt(c, plane, fn, other, g)) return notANumber;
    c.Kp2 = g.Kp;
    c.Kv2 = g.Kv;
    c.Ki2 = g.Ki;
    return figureOf(*f, modelStep(c), c.Fn);
}

DesignMap designMap(const SimSettings& s, const DesignMapRequest& request, const std::vector<Goal>& goals)
{
    DesignMap map;
    map.plane = request.plane;
    map.figure = summaryFigure(request.figure.empty() ? designMapFigures().front() : request.figure);
    if (map.figure == nullptr) map.figure = summaryFigure(designMapFigures().front());
    map.columns = std::clamp(request.columns, 2, 400);
    map.rows = std::clamp(request.rows, 2, 400);
    SimSettings c = s;
    designGains(c);  // the method's stored values in force
    map.fn = designValue(c, "fn2");
    map.other = designValue(c, map.plane == MapPlane::alpha ? "alpha2" : "zeta2");
    map.spring = c.springContact;
    map.sampled = c.springContact && c.controlPeriod > 0.0;
    // the ranges: fn2 a decade each way on a log scale; alpha2 from 0 to
    // four times the current (a tenth of wn2 when that is 0), zeta2 from 0
    // to 3 or twice the current
    map.x = MapAxis{map.fn / 10.0, map.fn * 10.0, true};
    if (!usable(map.x.lo, map.x.hi, true)) map.x = MapAxis{2.0, 200.0, true};
    const double ceiling = map.plane == MapPlane::alpha ? (map.other > 0.0 ? 4.0 * map.other : c.wn2 / 10.0)
                                                        : std::max(3.0, 2.0 * map.other);
    map.y = MapAxis{0.0, ceiling, false};
    if (!usable(map.y.lo, map.y.hi, false)) map.y = MapAxis{0.0, map.plane == MapPlane::alpha ? 8.0 : 3.0, false};
    if (usable(request.xLo, request.xHi, true)) map.x = MapAxis{request.xLo, request.xHi, true};
    if (usable(request.yLo, request.yHi, false)) map.y = MapAxis{request.yLo, request.yHi, false};

    for (const Goal& g : goals) (designMapChecks(g) ? map.checked : map.leftOut).push_back(g);
    // every cell at its centre: the model's step in closed form
    const double ratio = c.springContact ? stiffnessRatio(c) : 1.0;
    const double end = lastSample(c) * c.dt;
    const std::size_t n = static_cast<std::size_t>(map.columns) * static_cast<std::size_t>(map.rows);
    map.values.assign(n, notANumber);
    if (!map.checked.empty()) map.pass.assign(n, 0);
    for (int j = 0; j < map.rows; ++j) {
        const double other = map.y.at((j + 0.5) / map.rows);
        for (int i = 0; i < map.columns; ++i) {
            const double fn = map.x.at((i + 0.5) / map.columns);
            LoopGains g;
            if (!gainsAt(c, map.plane, fn, other, g)) continue;
            const ModelStep m = modelStep(ratio * (g.Kp - 1.0) / g.Kv, ratio * g.Ki / g.Kv, c.Fn, end);
            const RunSummary r = modelStepSummary(m, c.Fn);
            const std::size_t at = static_cast<std::size_t>(j) * map.columns + i;
            map.values[at] = map.figure->value(r);
            if (map.pass.empty()) continue;
            bool all = true;
            for (const Goal& g : map.checked) all = all && checkGoal(g, r).pass;
            map.pass[at] = all ? 1 : 0;
        }
    }
    return map;
}

// --- the picture ---

namespace {

// margins of the plot area [user units]
constexpr double marginLeft = 58.0;
constexpr double marginRight = 92.0;
constexpr double marginTop = 12.0;
constexpr double marginBottom = 44.0;
const char* const noneFill = "url(#design-map-none)";

std::string num(double v) { return format("%.2f", v); }

// The ticks of a log axis: 1, 2 and 5 times the powers of ten within it.
std::vector<double> logTicks(const MapAxis& a)
{
    std::vector<double> out;
    const int from = static_cast<int>(std::floor(pmath::log10(a.lo)));
    const int to = static_cast<int>(std::ceil(pmath::log10(a.hi)));
    for (int p = from; p <= to; ++p)
        for (double m : {1.0, 2.0, 5.0}) {
            const double v = m * pmath::pow(10.0, p);
            if (v >= a.lo * (1.0 - 1e-12) && v <= a.hi * (1.0 + 1e-12)) out.push_back(v);
        }
    return out;
}

std::string axisName(MapPlane plane) { return plane == MapPlane::alpha ? "alpha2 [1/s]" : "zeta2"; }

}  // namespace

MapFrame designMapFrame(double width)
{
    MapFrame f;
    f.svgWidth = width;
    f.left = marginLeft;
    f.top = marginTop;
    f.width = std::max(60.0, width - marginLeft - marginRight);
    f.height = std::clamp(0.7 * f.width, 140.0, 420.0);
    f.svgHeight = marginTop + f.height + marginBottom;
    return f;
}

std::string designMapSvg(const DesignMap& map, const std::vector<MapMark>& marks, double width)
{
    const MapFrame f = designMapFrame(width);
    const SummaryFigure& fig = *map.figure;
    // the colour scale: round bands over the values there are
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    bool none = false;
    for (double v : map.values) {
        if (std::isfinite(v)) {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        } else {
            none = true;
        }
    }
    const bool anyValue = lo <= hi;
    AxisScale scale = anyValue ? roundScale(lo, hi > lo ? hi : lo + 1.0, 9) : roundScale(0.0, 1.0);
    const int bands = std::max(1, static_cast<int>(std::lround((scale.hi - scale.lo) / scale.step)));
    auto band = [&](double v) {
        const int k = static_cast<int>(std::floor((v - scale.lo) / scale.step));
        return std::clamp(k, 0, bands - 1);
    };
    auto bandColour = [&](int k) { return rampColour((k + 0.5) / bands); };
    auto fill = [&](double v) { return std::isfinite(v) ? bandColour(band(v)) : std::string(noneFill); };
    const double cw = f.width / map.columns;
    const double ch = f.height / map.rows;
    auto X = [&](double share) { return f.left + share * f.width; };
    auto Y = [&](double share) { return f.top + (1.0 - share) * f.height; };

    std::string out = format("<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"design-map\" width=\"%s\" "
                             "height=\"%s\" viewBox=\"0 0 %s %s\" font-family=\"sans-serif\" font-size=\"11\">",
                             num(f.svgWidth).c_str(), num(f.svgHeight).c_str(), num(f.svgWidth).c_str(),
                             num(f.svgHeight).c_str());
    out += "<defs><pattern id=\"design-map-none\" patternUnits=\"userSpaceOnUse\" width=\"6\" height=\"6\">"
           "<rect width=\"6\" height=\"6\" fill=\"#d9d9d9\"/><path d=\"M0,6 L6,0\" stroke=\"#9a9a9a\" "
           "stroke-width=\"1\"/></pattern></defs>";
    // the cells, a row's neighbours of one colour as one rectangle
    out += "<g class=\"cells\" shape-rendering=\"crispEdges\">";
    for (int j = 0; j < map.rows; ++j) {
        int i = 0;
        while (i < map.columns) {
            const std::string colour = fill(map.values[static_cast<std::size_t>(j) * map.columns + i]);
            int k = i + 1;
            while (k < map.columns && fill(map.values[static_cast<std::size_t>(j) * map.columns + k]) == colour) ++k;
            out += format("<rect x=\"%s\" y=\"%s\" width=\"%s\" height=\"%s\" fill=\"%s\"/>",
                          num(f.left + i * cw).c_str(), num(f.top + (map.rows - 1 - j) * ch).c_str(),
                          num((k - i) * cw + 0.3).c_str(), num(ch + 0.3).c_str(), colour.c_str());
            i = k;
        }
    }
    out += "</g>";
    out += format("<rect class=\"plot-area\" x=\"%s\" y=\"%s\" width=\"%s\" height=\"%s\" fill=\"none\" "
                  "stroke=\"#444\"/>",
                  num(f.left).c_str(), num(f.top).c_str(), num(f.width).c_str(), num(f.height).c_str());
    // the pass region's outline: every edge between a passing and a failing cell
    if (!map.pass.empty()) {
        std::string d;
        auto passes = [&](int i, int j) { return map.pass[static_cast<std::size_t>(j) * map.columns + i] != 0; };
        for (int j = 0; j < map.rows; ++j)
            for (int i = 0; i < map.columns; ++i) {
                const double x0 = f.left + i * cw, top = f.top + (map.rows - 1 - j) * ch;
                if (i + 1 < map.columns && passes(i, j) != passes(i + 1, j))
                    d += "M" + num(x0 + cw) + "," + num(top) + "L" + num(x0 + cw) + "," + num(top + ch);
                if (j + 1 < map.rows && passes(i, j) != passes(i, j + 1))
                    d += "M" + num(x0) + "," + num(top) + "L" + num(x0 + cw) + "," + num(top);
            }
        out += "<path class=\"pass-outline-halo\" d=\"" + d +
               "\" fill=\"none\" stroke=\"#fff\" stroke-width=\"4\" stroke-linecap=\"square\"/>";
        out += "<path class=\"pass-outline\" d=\"" + d +
               "\" fill=\"none\" stroke=\"#000\" stroke-width=\"1.6\" stroke-linecap=\"square\"/>";
    }
    // the axes: ticks, their values and the names
    const double bottom = f.top + f.height;
    for (double v : logTicks(map.x)) {
        const double x = X(map.x.share(v));
        out += format("<line x1=\"%s\" y1=\"%s\" x2=\"%s\" y2=\"%s\" stroke=\"#444\"/>", num(x).c_str(),
                      num(bottom).c_str(), num(x).c_str(), num(bottom + 4).c_str());
        out += format("<text class=\"tick-x\" x=\"%s\" y=\"%s\" text-anchor=\"middle\">%s</text>", num(x).c_str(),
                      num(bottom + 15).c_str(), xmlText(format("%g", v)).c_str());
    }
    const AxisScale ys = scaleWithin(map.y.lo, map.y.hi, 6);
    for (double v : ys.ticks) {
        const double y = Y(map.y.share(v));
        out += format("<line x1=\"%s\" y1=\"%s\" x2=\"%s\" y2=\"%s\" stroke=\"#444\"/>", num(f.left - 4).c_str(),
                      num(y).c_str(), num(f.left).c_str(), num(y).c_str());
        out += format("<text class=\"tick-y\" x=\"%s\" y=\"%s\" text-anchor=\"end\">%s</text>",
                      num(f.left - 6).c_str(), num(y + 4).c_str(), xmlText(tickText(v, ys.step)).c_str());
    }
    out += format("<text class=\"axis-x\" x=\"%s\" y=\"%s\" text-anchor=\"middle\">fn2 [Hz], log scale</text>",
                  num(f.left + f.width / 2).c_str(), num(bottom + 32).c_str());
    out += format("<text class=\"axis-y\" x=\"%s\" y=\"%s\" transform=\"rotate(-90 %s %s)\" "
                  "text-anchor=\"middle\">%s</text>",
                  num(14).c_str(), num(f.top + f.height / 2).c_str(), num(14).c_str(),
                  num(f.top + f.height / 2).c_str(), xmlText(axisName(map.plane)).c_str());
    // the colour scale: the bands from the smallest value up, their edges' values
    const double barX = f.left + f.width + 14;
    const double bandH = f.height / bands;
    std::string unit = fig.unit;
    out += "<g class=\"colour-scale\">";
    out += format("<text class=\"scale-title\" x=\"%s\" y=\"%s\">%s</text>", num(barX).c_str(),
                  num(f.top + 8).c_str(), xmlText(unit.empty() ? "" : "[" + unit + "]").c_str());
    const double barTop = f.top + 14;
    const double barH = f.height - 14 - (none ? 22 : 0);
    const double bandStep = barH / bands;
    (void)bandH;
    if (anyValue) {
        for (int k = 0; k < bands; ++k)
            out += format("<rect class=\"band\" x=\"%s\" y=\"%s\" width=\"12\" height=\"%s\" fill=\"%s\"/>",
                          num(barX).c_str(), num(barTop + barH - (k + 1) * bandStep).c_str(),
                          num(bandStep + 0.3).c_str(), bandColour(k).c_str());
        for (double v : scale.ticks) {
            const double y = barTop + barH - (v - scale.lo) / (scale.hi - scale.lo) * barH;
            out += format("<text class=\"tick-scale\" x=\"%s\" y=\"%s\">%s</text>", num(barX + 16).c_str(),
                          num(y + 4).c_str(), xmlText(tickText(v, scale.step)).c_str());
        }
    }
    if (none) {
        out += format("<rect class=\"none-key\" x=\"%s\" y=\"%s\" width=\"12\" height=\"12\" fill=\"%s\" "
                      "stroke=\"#666\"/>",
                      num(barX).c_str(), num(bottom - 12).c_str(), noneFill);
        out += format("<text x=\"%s\" y=\"%s\">none</text>", num(barX + 16).c_str(), num(bottom - 2).c_str());
    }
    out += "</g>";
    // the pins' designs, then the current one as a ring
    auto inside = [&](double fn, double other) {
        const double a = map.x.share(fn), b = map.y.share(other);
        return a >= 0.0 && a <= 1.0 && b >= 0.0 && b <= 1.0;
    };
    for (const MapMark& m : marks) {
        if (!inside(m.fn, m.other)) continue;
        out += format("<circle class=\"pin-point\" data-label=\"%s\" cx=\"%s\" cy=\"%s\" r=\"4.5\" fill=\"%s\" "
                      "stroke=\"#fff\" stroke-width=\"1.5\"/>",
                      xmlText(m.label).c_str(), num(X(map.x.share(m.fn))).c_str(),
                      num(Y(map.y.share(m.other))).c_str(), xmlText(m.colour).c_str());
    }
    const double px = X(std::clamp(map.x.share(map.fn), 0.0, 1.0));
    const double py = Y(std::clamp(map.y.share(map.other), 0.0, 1.0));
    out += format("<circle class=\"design-point-halo\" cx=\"%s\" cy=\"%s\" r=\"7\" fill=\"none\" stroke=\"#fff\" "
                  "stroke-width=\"4.5\" pointer-events=\"none\"/>",
                  num(px).c_str(), num(py).c_str());
    out += format("<circle class=\"design-point\" cx=\"%s\" cy=\"%s\" r=\"7\" fill=\"#fff\" fill-opacity=\"0.01\" "
                  "stroke=\"#000\" stroke-width=\"2.2\"/>",
                  num(px).c_str(), num(py).c_str());
    out += "</svg>";
    return out;
}

}  // namespace hybridsim
