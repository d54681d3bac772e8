#include "drawing/pin_drawing.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "drawing/frame.h"
#include "drawing/graphs.h"
#include "drawing/text_legend.h"

namespace hybridsim {
namespace {

// Height above the time axis that a value axis reaches beyond its scale
// (drawAxes is given the scale's height plus this) [window units].
constexpr double axisOverhang = 0.05;

Color colourOf(std::uint32_t rgb)
{
    auto part = [rgb](int shift) { return static_cast<float>((rgb >> shift) & 0xFF) / 255.0f; };
    return Color{part(16), part(8), part(0), 0.0f};
}

// The polyline of samples 0..last of a pin, point i at (x(i), y(i)).
template <class X, class Y>
std::vector<Vec2> curve(int last, X x, Y y)
{
    std::vector<Vec2> points;
    points.reserve(static_cast<std::size_t>(last) + 1);
    for (int i = 0; i <= last; ++i) points.push_back(Vec2{x(i), y(i)});
    return points;
}

}  // namespace

PinLook pinLook(int slot)
{
    static const DashPattern dashes[pinCapacity] = {
        {{0.02, 0.01, 0.0, 0.0}, 2},      // long dashes
        {{0.008, 0.008, 0.0, 0.0}, 2},    // short dashes
        {{0.02, 0.006, 0.004, 0.006}, 4}, // dash and dot
        {{0.004, 0.006, 0.0, 0.0}, 2},    // dots
    };
    const int k = std::clamp(slot, 0, pinCapacity - 1);
    return PinLook{colourOf(pinColour(k)), dashes[k]};
}

double pinLegendRoom(const SimSettings& s)
{
    return (s.posGraphX - graphPanelMargin - pinLegendTextX) * pixelsPerUnit - pinLegendSpare;
}

std::string pinLegendText(const Pin& pin, const SimSettings& s)
{
    const double room = pinLegendRoom(s);
    return pinLabel(pin.slot + 1, settingDifferences(pin.settings, s),
                    [room](const std::string& text) { return textWidth(Font::Helvetica18, text) <= room; });
}

void drawPinLegend(Canvas& cv, const SimSettings& s, const PinSet& pins)
{
    for (const Pin& pin : pins.pins()) {
        const PinLook look = pinLook(pin.slot);
        const double y = pinLegendTop - pin.slot * pinLegendStep;
        drawDashedPolyline(cv, {Vec2{pinSwatchLeft, y + pinSwatchRise}, Vec2{pinSwatchRight, y + pinSwatchRise}},
                           look.dash, pinLineWidth, Box{}, look.color);
        drawText(cv, static_cast<float>(pinLegendTextX), static_cast<float>(y), Font::Helvetica18,
                 pinLegendText(pin, s));
    }
}

int pinSample(const SimSettings& s, const Pin& pin, int frame)
{
    return std::min(lastSample(s, frame), lastSample(pin.settings));
}

void drawPinTrails(Canvas& cv, const SimSettings& s, const PinSet& pins)
{
    // the robot view: what the graph panel does not cover
    const Box view{-1.0, -1.0, s.posGraphX - graphPanelMargin, 1.0};
    for (const Pin& pin : pins.pins()) {
        const PinLook look = pinLook(pin.slot);
        const auto& tip = pin.series.tipPos;
        drawDashedPolyline(cv,
                           curve(pinSample(s, pin, s.frame), [&](int i) { return toWindow(s, tip[i]).x; },
                                 [&](int i) { return toWindow(s, tip[i]).y; }),
                           look.dash, pinLineWidth, view, look.color);
    }
}

void drawPinRings(Canvas& cv, const SimSettings& s, const PinSet& pins)
{
    for (const Pin& pin : pins.pins()) {
        const PinLook look = pinLook(pin.slot);
        cv.setLineWidth(pinLineWidth);
        outlineCircle(cv, toWindow(s, pin.series.tipPos[pinSample(s, pin, s.frame)]),
                      pinRingRadius + pin.slot * pinRingStep, look.color);
    }
}

void drawPinPositionCurves(Canvas& cv, const SimSettings& s, const SeriesSet& set, const PinSet& pins,
                           int frame)
{
    if (pins.empty()) return;
    // the live run's scale, as drawPositionGraph has it
    const PositionScale scale = positionScale(s, set);
    const double step = s.graphWidth / s.nsteps;
    if (!scale.any || !std::isfinite(step)) return;
    const double gx = s.posGraphX;
    const double gy = s.posGraphY;
    const Box frameBox{gx, gy, gx + s.graphWidth, gy + posGraphHeight + axisOverhang};
    auto x = [&](int i) { return gx + i * step; };
    for (const Pin& pin : pins.pins()) {
        const PinLook look = pinLook(pin.slot);
        const int last = pinSample(s, pin, frame);
        const auto& tip = pin.series.tipPos;
        drawDashedPolyline(cv, curve(last, x, [&](int i) { return gy + scale.height(tip[i].x); }), look.dash,
                           pinLineWidth, frameBox, look.color);
        drawDashedPolyline(cv, curve(last, x, [&](int i) { return gy + scale.height(tip[i].y); }), look.dash,
                           pinLineWidth, frameBox, look.color);
    }
}

void drawPinForceCurves(Canvas& cv, const SimSettings& s, const PinSet& pins, int frame)
{
    if (pins.empty()) return;
    // the live run's scale, as drawForceGraph has it
    const double step = s.graphWidth / s.nsteps;
    if (s.Fn == 0.0 || !std::isfinite(step)) return;
    const double gx = s.forceGraphX;
    const double y0 = s.forceGraphY;
    const Box frameBox{gx, y0, gx + s.graphWidth, y0 + s.forceGraphScale + axisOverhang};
    for (const Pin& pin : pins.pins()) {
        const PinLook look = pinLook(pin.slot);
        const auto& force = pin.series.contactForce;
        drawDashedPolyline(cv,
                           curve(pinSample(s, pin, frame), [&](int i) { return gx + i * step; },
                                 [&](int i) { return y0 + forceHeight(s, force[i]); }),
                           look.dash, pinLineWidth, frameBox, look.color);
    }
}

}  // namespace hybridsim
