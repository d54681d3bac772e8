#include "drawing/graphs.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "drawing/pin_drawing.h"
#include "drawing/primitives.h"
#include "drawing/text_legend.h"
#include "study/scale_range.h"

namespace hybridsim {
namespace {

// Width every thick line leaves behind [pixels].
constexpr float restingWidth = 2.0f;
// Height of a one-second tick [window units].
constexpr double tickHeight = 0.02;
// Magnification of the force error curve.
constexpr double forceErrorGain = 5.0;
// The yellow position error is drawn only inside (-0.3, 1) times the graph height.
constexpr double errorBandBelow = 0.3;

// The largest index of a sample in the series.
constexpr int lastIndex = seriesCapacity - 1;

float f(double v) { return static_cast<float>(v); }

// Duration label of k seconds: the full number, its last digit where a
// single digit stands, followed by a line feed as the label always has.
void drawDurationLabel(Canvas& cv, Vec2 foot, long k)
{
    // advance of one digit of the 18-point font [window units]
    constexpr double digitAdvance = 0.025;
    const std::string digits = std::to_string(k);
    const double x = foot.x - 0.02 - digitAdvance * static_cast<double>(digits.size() - 1);
    drawText(cv, f(x), f(foot.y + 0.01), Font::Helvetica18, digits + "\n");
    drawText(cv, f(foot.x), f(foot.y + 0.01), Font::Helvetica18, "s");
}

}  // namespace

int lastSample(const SimSettings& s, int frame)
{
    const int top = std::min(s.nsteps, lastIndex);
    return std::max(0, std::min(frame, top));
}

SeriesRange seriesRange(const SimSettings& s, const SeriesSet& set)
{
    SeriesRange r;
    const int n = std::min(s.nsteps, seriesCapacity);
    for (int i = 0; i < n; ++i) {
        for (double v : {set.tipPos[i].x, set.refPos[i].x, set.tipPos[i].y, set.refPos[i].y}) {
            if (!std::isfinite(v)) continue;
            if (v > r.max) r.max = v;
            if (v < r.min) r.min = v;
        }
    }
    return r;
}

PositionScale positionScale(const SimSettings& s, const SeriesSet& set)
{
    PositionScale p;
    const SeriesRange range = seriesRange(s, set);
    if (!(range.min <= range.max)) return p;
    const ScaleEnds ends = scaleEnds(range.min, range.max);
    p.any = true;
    p.lo = ends.lo;
    p.hi = ends.hi;
    p.k = posGraphHeight / (p.hi - p.lo);
    p.halved = !(p.k > 0.0);
    if (p.halved) p.k = (posGraphHeight / 2.0) / (p.hi / 2.0 - p.lo / 2.0);
    return p;
}

double PositionScale::height(double v) const
{
    return halved ? posGraphHeight * scaleShare(v, lo, hi) : (v - lo) * k;
}

double forceHeight(const SimSettings& s, double f, double gain)
{
    const double perNewton = s.forceGraphScale / s.Fn;
    if (std::isfinite(perNewton)) return gain * perNewton * f;
    return gain * s.forceGraphScale * (f / s.Fn);
}

void drawLine(Canvas& cv, Vec2 p, Vec2 q, const Color& color)
{
    if (!drawable(p) || !drawable(q)) return;
    cv.setLighting(false);
    cv.setColor(color);
    cv.begin(Shape::Lines);
    cv.vertex(p.x, p.y);
    cv.vertex(q.x, q.y);
    cv.end();
    cv.setLighting(true);
}

void drawThickLine(Canvas& cv, Vec2 p, Vec2 q, double width, const Color& color)
{
    const double pixels = width * pixelsPerUnit;
    if (!drawable(p) || !drawable(q) || !drawable(pixels)) return;
    cv.setLighting(false);
    cv.setColor(color);
    cv.setLineWidth(f(pixels));
    cv.begin(Shape::Lines);
    cv.vertex(p.x, p.y);
    cv.vertex(q.x, q.y);
    cv.end();
    cv.setLineWidth(restingWidth);
    cv.setLighting(true);
}

void drawAxes(Canvas& cv, const SimSettings& s, Vec2 origin, double dt, int nsteps, double width,
              double height)
{
    const Vec2 o = origin;
    // time axis
    drawThickLine(cv, o, Vec2{o.x + width, o.y}, axisLineWidth, palette::red);

    // ticks every m samples, m = trunc(1/dt) samples per second; a sampling
    // period that gives no whole sample per second, or no run, gives no tick
    const double perSecond = std::trunc(1.0 / dt);
    long ticks = 0;
    double spacing = 0.0;
    if (std::isfinite(perSecond) && perSecond >= 1.0 && nsteps > 0) {
        spacing = perSecond * width / nsteps;
        const double k = std::trunc(width / spacing);
        if (std::isfinite(k) && k > 0.0) ticks = static_cast<long>(std::min(k, double(nsteps)));
    }
    for (long i = 1; i <= ticks; ++i) {
        const double x = o.x + i * spacing;
        drawLine(cv, Vec2{x, o.y}, Vec2{x, o.y + tickHeight}, palette::red);
    }

    // duration label at the foot of the last tick (the axis end without one)
    const Vec2 foot = ticks > 0 ? Vec2{o.x + ticks * spacing, o.y} : Vec2{o.x + width, o.y};
    drawDurationLabel(cv, foot, ticks);
    if (ticks > 0) drawLine(cv, foot, Vec2{foot.x, foot.y + tickHeight}, palette::red);

    // value axis, upwards
    drawThickLine(cv, o, Vec2{o.x, o.y + height}, axisLineWidth, palette::red);

    // end of the motion
    const double xEnd = o.x + width * s.tf / (nsteps * dt);
    drawLine(cv, Vec2{xEnd, o.y}, Vec2{xEnd, o.y + height}, palette::blue);
}

void drawPositionGraph(Canvas& cv, const SimSettings& s, const SeriesSet& set, int frame,
                       const PinSet* pins)
{
    const double gx = s.posGraphX;
    const double gy = s.posGraphY;
    drawAxes(cv, s, Vec2{gx, gy}, s.dt, s.nsteps, s.graphWidth, posGraphHeight + 0.05);

    drawText(cv, f(gx + 0.05), f(gy - 0.05), Font::Helvetica18, "Position X(red),Y(black)");
    drawText(cv, f(gx + 0.1), f(gy + 0.15), Font::Helvetica12,
             "yellow:10*peripheral positon error");
    drawText(cv, f(gx - 0.1), f(gy + posGraphHeight - 0.05), Font::Helvetica18, "X,Y[m]");

    // one scale for x and y over the whole run, by the rule of every scale
    // (a range of zero width widened about its value)
    if (pins) drawPinPositionCurves(cv, s, set, *pins, frame);
    const PositionScale scale = positionScale(s, set);
    const double step = s.graphWidth / s.nsteps;
    if (!scale.any || !std::isfinite(step)) return;

    auto height = [&](double v) { return gy + scale.height(v); };
    auto errorOffset = [&](int i) { return scale.k * s.errorGain * set.sErr[i]; };
    auto inBand = [&](double e) {
        return -errorBandBelow * posGraphHeight < e && e < posGraphHeight;
    };

    const int last = lastSample(s, frame);
    for (int i = 1; i <= last; ++i) {
        const double x0 = gx + (i - 1) * step;
        const double x1 = gx + i * step;
        const Vec2& r0 = set.refPos[i - 1];
        const Vec2& r1 = set.refPos[i];
        const Vec2& t0 = set.tipPos[i - 1];
        const Vec2& t1 = set.tipPos[i];
        drawThickLine(cv, {x0, height(r0.x)}, {x1, height(r1.x)}, referenceLineWidth,
                      palette::blue);
        drawThickLine(cv, {x0, height(t0.x)}, {x1, height(t1.x)}, measuredLineWidth,
                      palette::red);
        drawThickLine(cv, {x0, height(r0.y)}, {x1, height(r1.y)}, referenceLineWidth,
                      palette::blue);
        drawThickLine(cv, {x0, height(t0.y)}, {x1, height(t1.y)}, measuredLineWidth,
                      palette::black);
        // a large error leaves a gap instead of running out of the graph
        const double e0 = errorOffset(i - 1);
        const double e1 = errorOffset(i);
        if (inBand(e0) && inBand(e1))
            drawThickLine(cv, {x0, gy + e0}, {x1, gy + e1}, referenceLineWidth,
                          palette::yellow);
    }
}

void drawForceGraph(Canvas& cv, const SimSettings& s, const SeriesSet& set, int frame,
                    const PinSet* pins)
{
    const double gx = s.forceGraphX;
    const double y0 = s.forceGraphY;
    const double top = s.forceGraphScale;
    drawAxes(cv, s, Vec2{gx, y0}, s.dt, s.nsteps, s.graphWidth, top + 0.05);

    drawText(cv, f(gx + 0.1), f(y0 - 0.05), Font::Helvetica18, "Contact force");
    drawText(cv, f(gx + 0.1), f(y0 + 0.1), Font::Helvetica12, "yellow:5*force error");
    drawText(cv, f(gx - 0.05), f(y0 - 0.02), Font::Helvetica18, "0");
    drawText(cv, f(gx - 0.1), f(y0 + top - 0.05), Font::Helvetica18, "Fn[N]");

    // commanded force
    drawLine(cv, Vec2{gx, y0 + top}, Vec2{gx + s.graphWidth, y0 + top}, palette::blue);

    if (pins) drawPinForceCurves(cv, s, *pins, frame);
    // a commanded force of 0 cannot be scaled
    const double step = s.graphWidth / s.nsteps;
    if (s.Fn == 0.0 || !std::isfinite(step)) return;

    const int last = lastSample(s, frame);
    for (int i = 1; i <= last; ++i) {
        const double x0 = gx + (i - 1) * step;
        const double x1 = gx + i * step;
        drawThickLine(cv, {x0, y0 + forceHeight(s, set.contactForce[i - 1])},
                      {x1, y0 + forceHeight(s, set.contactForce[i])}, measuredLineWidth, palette::red);
        drawThickLine(cv, {x0, y0 + forceHeight(s, set.forceErr[i - 1], forceErrorGain)},
                      {x1, y0 + forceHeight(s, set.forceErr[i], forceErrorGain)}, referenceLineWidth,
                      palette::yellow);
    }
}

}  // namespace hybridsim
