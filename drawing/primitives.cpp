#include "drawing/primitives.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace hybridsim {
namespace {

// Radius of the point marker [m].
constexpr double pointRadius = 0.008;
// Width set by the outline rectangle and the quadrilateral [pixels].
constexpr float outlineWidth = 2.0f;

// cos and sin of k * 2 pi / 120, k = 0..119, computed once.
struct UnitCircle {
    std::array<double, circleSegments> cs{};
    std::array<double, circleSegments> sn{};
    UnitCircle()
    {
        const double step = 2.0 * drawingPi / circleSegments;
        for (int k = 0; k < circleSegments; ++k) {
            cs[k] = std::cos(k * step);
            sn[k] = std::sin(k * step);
        }
    }
};

const UnitCircle& unitCircle()
{
    static const UnitCircle circle;
    return circle;
}

// The 120 vertices of a full circle of radius r about the local origin.
void circleVertices(Canvas& cv, double r)
{
    const UnitCircle& u = unitCircle();
    for (int k = 0; k < circleSegments; ++k) cv.vertex(r * u.cs[k], r * u.sn[k]);
}

// The 120 vertices of a half circle from angle a clockwise.
void halfCircleVertices(Canvas& cv, double r, double a)
{
    const double step = drawingPi / circleSegments;
    for (int k = 0; k < circleSegments; ++k)
        cv.vertex(r * std::cos(a - k * step), r * std::sin(a - k * step));
}

// A shape about c: lighting off, colour, translate, vertices, back again.
template <typename Vertices>
void aboutCentre(Canvas& cv, Shape shape, Vec2 c, const Color& color, Vertices vertices)
{
    cv.setLighting(false);
    cv.setColor(color);
    cv.pushMatrix();
    cv.translate(c.x, c.y);
    cv.begin(shape);
    vertices();
    cv.end();
    cv.popMatrix();
    cv.setLighting(true);
}

// The rectangle (0,0) (a,0) (a,b) (0,b) at corner p turned by theta.
void rectangle(Canvas& cv, Shape shape, Vec2 p, double a, double b, double theta,
               const Color& color)
{
    cv.setLighting(false);
    cv.setColor(color);
    cv.pushMatrix();
    cv.translate(p.x, p.y);
    cv.rotate(theta / radiansPerDegree);
    cv.begin(shape);
    cv.vertex(0.0, 0.0);
    cv.vertex(a, 0.0);
    cv.vertex(a, b);
    cv.vertex(0.0, b);
    cv.end();
    cv.popMatrix();
    cv.setLighting(true);
}

}  // namespace

bool drawable(double v)
{
    return std::isfinite(v) && std::fabs(v) <= maxWindowCoordinate;
}

bool drawable(Vec2 p)
{
    return drawable(p.x) && drawable(p.y);
}

Vec2 toWindow(const SimSettings& s, Vec2 p)
{
    return Vec2{(p.x + s.viewOffsetX) * s.viewScale, (p.y + s.viewOffsetY) * s.viewScale};
}

void fillDisc(Canvas& cv, Vec2 c, double r, const Color& color)
{
    if (!drawable(c) || !drawable(r)) return;
    aboutCentre(cv, Shape::Polygon, c, color, [&] { circleVertices(cv, r); });
}

void fillHalfDisc(Canvas& cv, Vec2 c, double r, double a, const Color& color)
{
    if (!drawable(c) || !drawable(r) || !drawable(a)) return;
    aboutCentre(cv, Shape::Polygon, c, color, [&] { halfCircleVertices(cv, r, a); });
}

void outlineCircle(Canvas& cv, Vec2 c, double r, const Color& color)
{
    if (!drawable(c) || !drawable(r)) return;
    aboutCentre(cv, Shape::LineLoop, c, color, [&] { circleVertices(cv, r); });
}

void drawHalfArc(Canvas& cv, Vec2 c, double r, double a, const Color& color)
{
    if (!drawable(c) || !drawable(r) || !drawable(a)) return;
    aboutCentre(cv, Shape::LineStrip, c, color, [&] { halfCircleVertices(cv, r, a); });
}

void fillRect(Canvas& cv, Vec2 p, double a, double b, double theta, const Color& color)
{
    if (!drawable(p) || !drawable(a) || !drawable(b) || !drawable(theta)) return;
    rectangle(cv, Shape::Polygon, p, a, b, theta, color);
}

void outlineRect(Canvas& cv, Vec2 p, double a, double b, double theta, const Color& color)
{
    cv.setLineWidth(outlineWidth);
    if (!drawable(p) || !drawable(a) || !drawable(b) || !drawable(theta)) return;
    rectangle(cv, Shape::LineLoop, p, a, b, theta, color);
}

void fillQuad(Canvas& cv, Vec2 p1, Vec2 p2, Vec2 p3, Vec2 p4, const Color& color)
{
    cv.setLineWidth(outlineWidth);
    if (!drawable(p1) || !drawable(p2) || !drawable(p3) || !drawable(p4)) return;
    cv.setLighting(false);
    cv.setColor(color);
    cv.begin(Shape::Polygon);
    cv.vertex(p1.x, p1.y);
    cv.vertex(p2.x, p2.y);
    cv.vertex(p3.x, p3.y);
    cv.vertex(p4.x, p4.y);
    cv.end();
    cv.setLighting(true);
}

void drawBracket(Canvas& cv, Vec2 p, double a, double b, double w, double theta,
                 const Color& color)
{
    const double pixels = w * pixelsPerUnit;
    if (!drawable(pixels)) return;
    cv.setLineWidth(static_cast<float>(pixels));
    if (!drawable(p) || !drawable(a) || !drawable(b) || !drawable(theta)) return;
    cv.setLighting(false);
    cv.setColor(color);
    cv.pushMatrix();
    cv.translate(p.x, p.y);
    cv.rotate(theta / radiansPerDegree);
    cv.begin(Shape::LineStrip);
    cv.vertex(a, 0.0);
    cv.vertex(0.0, 0.0);
    cv.vertex(0.0, b);
    cv.vertex(a, b);
    cv.end();
    cv.popMatrix();
    cv.setLighting(true);
}

void drawPoint(Canvas& cv, const SimSettings& s, Vec2 p, const Color& color)
{
    fillDisc(cv, toWindow(s, p), pointRadius * s.viewScale, color);
}

namespace {

// The share [t0, t1] of segment p + t (q - p), 0 <= t <= 1, that lies inside
// the box (Liang-Barsky); false when none of it does.
bool clipSegment(Vec2 p, Vec2 q, const Box& box, double& t0, double& t1)
{
    t0 = 0.0;
    t1 = 1.0;
    const double dx = q.x - p.x;
    const double dy = q.y - p.y;
    // each side: the segment runs towards it by `towards`, and starts `room` inside it
    const double towards[4] = {-dx, dx, -dy, dy};
    const double room[4] = {p.x - box.left, box.right - p.x, p.y - box.bottom, box.top - p.y};
    for (int k = 0; k < 4; ++k) {
        if (towards[k] == 0.0) {
            if (room[k] < 0.0) return false;
            continue;
        }
        const double t = room[k] / towards[k];
        if (towards[k] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
    }
    return t0 < t1;
}

}  // namespace

void drawDashedPolyline(Canvas& cv, const std::vector<Vec2>& points, const DashPattern& dash, float pixels,
                        const Box& clip, const Color& color)
{
    cv.setLighting(false);
    cv.setColor(color);
    cv.setLineWidth(pixels);
    cv.begin(Shape::Lines);
    const int n = dash.count == 2 || dash.count == 4 ? dash.count : 0;
    double period = 0.0;
    for (int k = 0; k < n; ++k) period += dash.lengths[static_cast<std::size_t>(k)];
    const bool solid = !(period > 0.0);
    double along = 0.0;  // length of the line before the segment [window units]
    for (std::size_t i = 1; i < points.size(); ++i) {
        const Vec2 p = points[i - 1];
        const Vec2 q = points[i];
        if (!drawable(p) || !drawable(q)) continue;
        const double length = std::hypot(q.x - p.x, q.y - p.y);
        double t0 = 0.0;
        double t1 = 0.0;
        if (length > 0.0 && clipSegment(p, q, clip, t0, t1)) {
            auto emit = [&](double a, double b) {  // the part from length a to b of this segment
                cv.vertex(p.x + (q.x - p.x) * (a / length), p.y + (q.y - p.y) * (a / length));
                cv.vertex(p.x + (q.x - p.x) * (b / length), p.y + (q.y - p.y) * (b / length));
            };
            const double from = t0 * length;
            const double to = t1 * length;
            if (solid) {
                emit(from, to);
            } else {
                // the strokes of the pattern that overlap [from, to], the pattern
                // starting at the line's start: from the period that holds `from` on
                const double first = along + from;
                double start = first - std::fmod(first, period);
                for (int k = 0; start - along < to; k = (k + 1) % n) {
                    const double end = start + dash.lengths[static_cast<std::size_t>(k)];
                    if (k % 2 == 0) {
                        const double a = std::max(from, start - along);
                        const double b = std::min(to, end - along);
                        if (a < b) emit(a, b);
                    }
                    start = end;
                }
            }
        }
        along += length;
    }
    cv.end();
    cv.setLighting(true);
}

}  // namespace hybridsim
