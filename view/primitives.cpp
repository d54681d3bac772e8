#include "view/primitives.h"

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

}  // namespace hybridsim
