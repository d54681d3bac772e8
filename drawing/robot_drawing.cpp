#include "drawing/robot_drawing.h"

#include <cmath>

#include "drawing/primitives.h"

namespace hybridsim {
namespace {

Vec2 operator+(Vec2 p, Vec2 q) { return Vec2{p.x + q.x, p.y + q.y}; }
Vec2 operator-(Vec2 p, Vec2 q) { return Vec2{p.x - q.x, p.y - q.y}; }
Vec2 operator*(double k, Vec2 p) { return Vec2{k * p.x, k * p.y}; }

// Unit vector along a direction and its right-hand normal.
struct Axes {
    Vec2 u;  // (cos theta, sin theta)
    Vec2 n;  // (sin theta, -cos theta)
    explicit Axes(double theta)
        : u{std::cos(theta), std::sin(theta)}, n{std::sin(theta), -std::cos(theta)}
    {
    }
};

// Depth of the line workpiece's band [m].
constexpr double lineBandDepth = 0.2;
// Strips of the sine workpiece, their overlap and the depth below the troughs [m].
constexpr int sineStrips = 100;
constexpr double sineStripOverlap = 0.005;
constexpr double sineBandBelow = 0.1;
// A link body starts this far behind its joint [m]; link 1's front cap sits
// this far before its end [m].
constexpr double linkBackOverhang = 0.005;
constexpr double linkFrontInset = 0.003;
// Inner joint circle relative to the outer one.
constexpr double innerJointRatio = 0.7;

// A white body with an outline.
void body(Canvas& cv, Vec2 corner, double a, double b, double theta, const Color& outline)
{
    fillRect(cv, corner, a, b, theta, palette::white);
    outlineRect(cv, corner, a, b, theta, outline);
}

void drawSineWorkpiece(Canvas& cv, const SimSettings& s)
{
    const double vs = s.viewScale;
    const double w = s.sineL / sineStrips;
    const double yb = (s.viewOffsetY + s.sineY0 - s.sineA - sineBandBelow) * vs;
    for (int i = 0; i < sineStrips; ++i) {
        const double xi = i * w;
        const double x1 = (s.viewOffsetX + s.sineX0 + xi) * vs;
        const double x2 = x1 + (w + sineStripOverlap) * vs;
        const double y1 =
            (s.viewOffsetY + s.sineY0 + s.sineA * std::sin(2.0 * drawingPi * xi / s.sineL)) * vs;
        const double y2 =
            (s.viewOffsetY + s.sineY0 +
             s.sineA * std::sin(2.0 * drawingPi * (xi + w) / s.sineL)) *
            vs;
        fillQuad(cv, Vec2{x1, yb}, Vec2{x2, yb}, Vec2{x2, y2}, Vec2{x1, y1}, palette::lightBlue);
    }
}

}  // namespace

void drawWorkpiece(Canvas& cv, const SimSettings& s)
{
    const double vs = s.viewScale;
    switch (s.curve) {
    case 'L': {
        // a band on the right-hand side of the line from its start to its end
        const Vec2 p0 = toWindow(s, Vec2{s.lineX0, s.lineY0});
        const Vec2 pf = toWindow(s, Vec2{s.lineXf, s.lineYf});
        const Vec2 side = (lineBandDepth * vs) * Axes(s.lineAngle).n;
        fillQuad(cv, p0, pf, pf + side, p0 + side, palette::lightBlue);
        break;
    }
    case 'C':
        fillDisc(cv, toWindow(s, Vec2{s.circleOx, s.circleOy}), vs * s.circleR,
                 palette::lightBlue);
        break;
    case 'S':
        drawSineWorkpiece(cv, s);
        break;
    default:
        break;
    }
}

void drawRobotA(Canvas& cv, const SimSettings& s, Joints q, Vec2 tip)
{
    const double vs = s.viewScale;
    const Vec2 offset{s.viewOffsetX, s.viewOffsetY};
    const Vec2 base = vs * offset;
    const double r = q.phi2;
    const Axes ax(q.phi1);
    // arm: from r - wp - l to r - wp along the arm direction, centred on it
    body(cv, base + vs * (-(s.l + s.wp - r) * ax.u + (s.drawA1 / 2.0) * ax.n), vs * s.l,
         vs * s.drawA1, q.phi1, palette::red);
    // base block, centred on the base, turning with the arm
    body(cv, base + vs * (-(s.drawA3 / 2.0) * ax.u + (s.drawA2 / 2.0) * ax.n), vs * s.drawA3,
         vs * s.drawA2, q.phi1, palette::red);
    // base joint
    outlineCircle(cv, base, vs * s.drawB3, palette::red);
    fillDisc(cv, base, innerJointRatio * vs * s.drawB3, palette::red);
    // hand
    drawHand(cv, s, r * ax.u + offset, tip + offset, q.phi1, palette::red);
}

void drawRobotB(Canvas& cv, const SimSettings& s, Joints q, Vec2 tip)
{
    const Vec2 offset{s.viewOffsetX, s.viewOffsetY};
    const double handAngle = q.phi1 + q.phi2;
    drawLink(cv, s, 1, offset, s.l1, s.drawB1, q.phi1, palette::red);
    const Vec2 elbow = s.l1 * Axes(q.phi1).u + offset;
    drawLink(cv, s, 2, elbow, s.l2, s.drawB2, handAngle, palette::red);
    const Vec2 undeflected = elbow + (s.l2 + s.wp) * Axes(handAngle).u;
    drawHand(cv, s, undeflected, tip + offset, handAngle, palette::red);
}

void drawLink(Canvas& cv, const SimSettings& s, int kind, Vec2 joint, double L, double W,
              double theta, const Color& color)
{
    const double vs = s.viewScale;
    const Axes ax(theta);
    const Vec2 j = vs * joint;
    const double jointRadius = kind == 1 ? s.drawB3 : s.drawB4;
    // body, starting a little behind the joint
    body(cv, j + vs * (-linkBackOverhang * ax.u + (W / 2.0) * ax.n), vs * (L + linkBackOverhang),
         vs * W, theta, color);
    // rounded back end: the half turned away from theta
    fillHalfDisc(cv, j, vs * W / 2.0, theta - drawingPi / 2.0, palette::white);
    drawHalfArc(cv, j, vs * W / 2.0, theta - drawingPi / 2.0, color);
    // joint: filled on the base, a double ring at the elbow
    outlineCircle(cv, j, vs * jointRadius, color);
    if (kind == 1)
        fillDisc(cv, j, innerJointRatio * vs * jointRadius, color);
    else
        outlineCircle(cv, j, innerJointRatio * vs * jointRadius, color);
    // link 1's rounded front end (link 2's end lies under the hand)
    if (kind == 1) {
        const Vec2 front = j + vs * (L - linkFrontInset) * ax.u;
        fillHalfDisc(cv, front, vs * W / 2.0, theta + drawingPi / 2.0, palette::white);
        drawHalfArc(cv, front, vs * W / 2.0, theta + drawingPi / 2.0, color);
    }
}

// The hand, with A the undeflected and T the real probe tip (zoomed):
//   wrist W = A - wp u; the block runs from W to E = W + blockLength u;
//   the probe rod ends at T and starts at Rb = T - probeRodLength u;
//   the main spring joins E to Rb, so its length is d0 = wp - probeRodLength
//   - blockLength (0.04 m) plus the deflection along the axis; the leaf
//   springs join the bracket arms at a1, a2 from E to the rod at
//   b1 = a1 - d0, b2 = a2 - d0 from Rb, square to the axis when T = A.
void drawHand(Canvas& cv, const SimSettings& s, Vec2 undeflected, Vec2 tip, double theta,
              const Color& color)
{
    using namespace hand;
    const double vs = s.viewScale;
    const Axes ax(theta);
    const Vec2 a = vs * undeflected;
    const Vec2 t = vs * tip;

    const Vec2 wrist = a - (vs * s.wp) * ax.u;
    body(cv, wrist + (vs * blockWidth / 2.0) * ax.n, vs * blockLength, vs * blockWidth, theta,
         color);
    const Vec2 e = wrist + (vs * blockLength) * ax.u;

    drawBracket(cv, e + (vs * bracketWidth / 2.0) * ax.n, vs * bracketDepth, vs * bracketWidth,
                bracketLineWidth, theta, color);

    const Vec2 rodBack = t - (vs * probeRodLength) * ax.u;
    body(cv, rodBack + (vs * probeRodWidth / 2.0) * ax.n, vs * probeRodLength,
         vs * probeRodWidth, theta, color);

    // main spring along the axis
    const Vec2 h = (vs * probeRodWidth / 2.0) * ax.n;
    fillQuad(cv, e + h, rodBack + h, rodBack - h, e - h, palette::green);

    // leaf springs: left first, left second, right first, right second
    const double gap = s.wp - probeRodLength - blockLength;
    const double a1 = 0.5 * bracketDepth;
    const double a2 = 0.75 * bracketDepth;
    const Vec2 rodStep = (vs * probeRodWidth) * ax.u;
    for (double side : {-1.0, 1.0}) {
        for (double along : {a1, a2}) {
            const double across = along - gap;
            const Vec2 start = e + vs * ((along - probeRodWidth / 2.0) * ax.u +
                                         (side * bracketWidth / 2.0) * ax.n);
            const Vec2 mid = rodBack + vs * ((across - probeRodWidth / 2.0) * ax.u +
                                             (side * probeRodWidth / 2.0) * ax.n);
            fillQuad(cv, start, mid, mid + rodStep, start + rodStep, palette::green);
        }
    }

    outlineCircle(cv, a, tipMarkerRadius * vs, palette::black);
    fillDisc(cv, t, tipMarkerRadius * vs, palette::red);
}

}  // namespace hybridsim
