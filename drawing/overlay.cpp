#include "drawing/overlay.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "drawing/graphs.h"
#include "drawing/pin_drawing.h"
#include "drawing/primitives.h"
#include "drawing/text_legend.h"
#include "sim/hybrid_control.h"
#include "sim/kinematics.h"
#include "task/text_format.h"

namespace hybridsim {
namespace {

Vec2 operator+(Vec2 p, Vec2 q) { return Vec2{p.x + q.x, p.y + q.y}; }
Vec2 operator-(Vec2 p, Vec2 q) { return Vec2{p.x - q.x, p.y - q.y}; }
Vec2 operator*(double k, Vec2 p) { return Vec2{k * p.x, k * p.y}; }
Vec2 unit(double angle) { return Vec2{std::cos(angle), std::sin(angle)}; }

// Arrow heads: the length of each barb [window units] and its angle to the shaft [rad].
constexpr double headLength = 0.014;
constexpr double headAngle = 0.45;
// Line widths [pixels].
constexpr float axisWidth = 2.0f;
constexpr float forceWidth = 2.0f;
constexpr float commandWidth = 7.0f;
constexpr float springWidth = 1.5f;
constexpr float reachWidth = 1.0f;
// The zigzag of the spring: teeth and their half height [window units].
constexpr int springTeeth = 8;
constexpr double springAmplitude = 0.006;
// Half the size of the cross at an unreached command point [window units].
constexpr double crossSize = 0.006;
// Dashes of the reach circles [window units].
constexpr DashPattern reachDash{{0.02, 0.012, 0.0, 0.0}, 2};
// How far a label sits from the point it names [window units].
constexpr double labelGap = 0.012;
// The values lines at the bottom left: the first one's baseline and the
// step down to the next [window units].
constexpr float valuesX = -0.95f;
constexpr float valuesY = -0.90f;
constexpr float valuesStep = 0.045f;

bool finite(Vec2 p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// An arrow from `from` to `to` [window units] as one shape of separate
// segments, the shaft first: its first vertex is `from`.
void drawArrow(Canvas& cv, Vec2 from, Vec2 to, float pixels, const Color& color)
{
    if (!drawable(from) || !drawable(to)) return;
    cv.setLineWidth(pixels);
    cv.setLighting(false);
    cv.setColor(color);
    cv.begin(Shape::Lines);
    cv.vertex(from.x, from.y);
    cv.vertex(to.x, to.y);
    const Vec2 d = to - from;
    const double length = std::hypot(d.x, d.y);
    if (length > 0.0) {
        const double back = std::atan2(d.y, d.x) + drawingPi;
        for (double side : {-1.0, 1.0}) {
            const Vec2 barb = to + headLength * unit(back + side * headAngle);
            cv.vertex(to.x, to.y);
            cv.vertex(barb.x, barb.y);
        }
    }
    cv.end();
    cv.setLighting(true);
}

// A label beside window point p, moved by `away` (a unit vector) so that it
// clears the line it names.
void label(Canvas& cv, Vec2 p, Vec2 away, const std::string& bytes)
{
    const Vec2 at = p + labelGap * away;
    // text grows to the right: a label left of its point ends at the point
    const double width = textWidth(Font::Helvetica12, bytes) / pixelsPerUnit;
    const double x = away.x < 0.0 ? at.x - width : at.x;
    drawText(cv, static_cast<float>(x), static_cast<float>(at.y - (away.y < 0.0 ? labelGap : 0.0)),
             Font::Helvetica12, bytes);
}

// The spring from a to b [window units]: a zigzag of springTeeth teeth.
void drawSpring(Canvas& cv, Vec2 a, Vec2 b)
{
    if (!drawable(a) || !drawable(b)) return;
    const Vec2 d = b - a;
    const double length = std::hypot(d.x, d.y);
    const Vec2 across = length > 0.0 ? (springAmplitude / length) * Vec2{-d.y, d.x} : Vec2{};
    cv.setLineWidth(springWidth);
    cv.setLighting(false);
    cv.setColor(overlayPalette::spring);
    cv.begin(Shape::LineStrip);
    cv.vertex(a.x, a.y);
    for (int k = 0; k < 2 * springTeeth; ++k) {
        const Vec2 p = a + ((k + 0.5) / (2 * springTeeth)) * d + (k % 2 == 0 ? 1.0 : -1.0) * across;
        cv.vertex(p.x, p.y);
    }
    cv.vertex(b.x, b.y);
    cv.end();
    cv.setLighting(true);
}

// Robot b's reachable annulus and the command points of the samples it missed.
void drawReach(Canvas& cv, const SimSettings& s, const SeriesSet& set)
{
    cv.setRole(Role::Reach);
    const ReachAnnulus reach = reachOfRobotB(s);
    const Vec2 base = toWindow(s, Vec2{0.0, 0.0});
    for (double r : {reach.inner, reach.outer}) {
        if (!(r > 0.0)) continue;  // links of one length reach the base itself
        std::vector<Vec2> circle;
        circle.reserve(circleSegments + 1);
        for (int k = 0; k <= circleSegments; ++k)
            circle.push_back(base + (r * s.viewScale) * unit(2.0 * drawingPi * k / circleSegments));
        drawDashedPolyline(cv, circle, reachDash, reachWidth, Box{}, overlayPalette::reach);
    }
    const int last = lastSample(s);
    std::vector<Vec2> crosses;
    for (int k = 0; k <= last; ++k) {
        const Joints q = set.jointPos[k];
        if (std::isfinite(q.phi1) && std::isfinite(q.phi2)) continue;
        const Vec2 c = toWindow(s, set.refPos[k]);
        if (!drawable(c)) continue;
        crosses.insert(crosses.end(), {c + Vec2{-crossSize, -crossSize}, c + Vec2{crossSize, crossSize},
                                       c + Vec2{-crossSize, crossSize}, c + Vec2{crossSize, -crossSize}});
    }
    if (!crosses.empty()) {
        cv.setLineWidth(reachWidth);
        cv.setLighting(false);
        cv.setColor(overlayPalette::reach);
        cv.begin(Shape::Lines);
        for (const Vec2& p : crosses) cv.vertex(p.x, p.y);
        cv.end();
        cv.setLighting(true);
    }
}

// The force arrow of a run at one sample, from its contact point along the
// normal there; false when the sample has no contact point.
bool forceArrow(const SimSettings& s, Vec2 tip, double force, Vec2& from, Vec2& to)
{
    if (!finite(tip) || !std::isfinite(force)) return false;
    const Vec2 n = unit(contourNormalAngle(s, tip).normal);
    from = toWindow(s, tip);
    to = toWindow(s, tip + (force / overlayNewtonsPerMetre) * n);
    return true;
}

}  // namespace

std::string overlayForceText(double f, double fc, double fn)
{
    char buf[96];
    std::snprintf(buf, sizeof buf, "F = %.2f N   Fc = %.2f N   Fn = ", f, fc);
    return buf + shortestNumber(fn) + format(" N   (%g N per 0.1 m)", overlayNewtonsPerMetre * 0.1);
}

std::string overlayDeflectionText(Vec2 delta)
{
    return format("deflection (hand frame) (%.3f, %.3f) mm", delta.x * 1000.0, delta.y * 1000.0);
}

void drawOverlay(Canvas& cv, const SimSettings& s, const SeriesSet& set, int i, const PinSet& pins)
{
    if (s.type == 'b') drawReach(cv, s, set);

    // the pins' force arrows, under the live run's
    cv.setRole(Role::Force);
    for (const Pin& pin : pins.pins()) {
        const int k = pinSample(s, pin, s.frame);
        Vec2 from, to;
        if (forceArrow(pin.settings, pin.series.tipPos[k], pin.series.contactForce[k], from, to)) {
            const PinLook look = pinLook(pin.slot);
            drawArrow(cv, from, to, forceWidth, look.color);
        }
    }

    const Vec2 tip = set.tipPos[i];
    const Joints q = set.jointPos[i];
    const Vec2 rest = probeTipPosition(s, q);
    if (finite(tip) && finite(rest)) {
        const ContourAngles angles = contourNormalAngle(s, tip);
        const Vec2 t = unit(angles.tangent);
        const Vec2 n = unit(angles.normal);
        const Vec2 c = toWindow(s, tip);
        const double axis = overlayAxisLength * s.viewScale;

        // the commanded and the contact force, on one scale
        cv.setRole(Role::ForceCommand);
        const Vec2 command = toWindow(s, tip + (s.Fn / overlayNewtonsPerMetre) * n);
        drawArrow(cv, c, command, commandWidth, overlayPalette::forceCommand);
        label(cv, command, -1.0 * t, "Fn");
        cv.setRole(Role::Force);
        Vec2 from, to;
        if (forceArrow(s, tip, set.contactForce[i], from, to)) {
            drawArrow(cv, from, to, forceWidth, overlayPalette::force);
            label(cv, to, t, "F");
        }
        // the hand spring's force at the posture, beside F on its scale
        cv.setRole(Role::SpringForce);
        if (forceArrow(s, tip, set.springForce[i], from, to)) {
            const Vec2 aside = overlaySpringForceOffset * t;
            drawArrow(cv, from + aside, to + aside, forceWidth, overlayPalette::springForce);
            label(cv, to + aside, t, "Fc: spring");
        }

        // the contact frame
        cv.setRole(Role::Tangent);
        drawArrow(cv, c, c + axis * t, axisWidth, overlayPalette::tangent);
        label(cv, c + axis * t, t, "t: position");
        cv.setRole(Role::Normal);
        drawArrow(cv, c, c + axis * n, axisWidth, overlayPalette::normal);
        label(cv, c + axis * n, -1.0 * t, "n: force");

        // the hand spring, from the undeflected to the deflected tip
        cv.setRole(Role::Deflection);
        const Vec2 r = toWindow(s, rest);
        drawSpring(cv, r, c);
        drawText(cv, valuesX, valuesY - valuesStep, Font::Helvetica12,
                 overlayDeflectionText(set.handDeflection[i]));
        cv.setRole(Role::Force);
        drawText(cv, valuesX, valuesY, Font::Helvetica12, overlayForceText(set.contactForce[i], set.springForce[i], s.Fn));

        // method 8 commands the force in the hand frame
        if (s.hybrid == '8') {
            cv.setRole(Role::HandAxis);
            const double th = handAngle(s, q);
            const Vec2 a1 = r + axis * unit(th);
            const Vec2 a2 = r + axis * unit(th + drawingPi / 2.0);
            drawArrow(cv, r, a1, axisWidth, overlayPalette::handAxis);
            label(cv, a1, unit(th), "1");
            drawArrow(cv, r, a2, axisWidth, overlayPalette::handAxis);
            label(cv, a2, unit(th + drawingPi / 2.0), "2");
        }
    }
    cv.setRole(Role::Plain);
}

}  // namespace hybridsim
