#include "view/text_legend.h"

#include "view/primitives.h"

namespace hybridsim {

void drawText(Canvas& cv, float x, float y, Font font, const std::string& bytes)
{
    if (!drawable(x) || !drawable(y)) return;
    cv.text(x, y, font, bytes);
}

void drawTitle(Canvas& cv)
{
    drawText(cv, -0.95f, 0.95f, Font::Helvetica18, text::title);
}

void drawLegend(Canvas& cv, const SimSettings& s)
{
    const float x0 = -0.95f;
    const float x1 = x0 + 0.07f;
    const Font f = Font::Helvetica18;
    if (s.type == 'a') drawText(cv, x0, 0.90f, f, text::robotA);
    if (s.type == 'b') drawText(cv, x0, 0.90f, f, text::robotB);
    if (s.hybrid == '7') drawText(cv, x1, 0.85f, f, text::method7);
    if (s.hybrid == '8') drawText(cv, x1, 0.85f, f, text::method8);
    drawText(cv, x1, 0.80f, f, text::setError);
    drawText(cv, x0 + 0.6f, 0.80f, f, s.seterrorLabel);
    drawText(cv, x1, 0.75f, f, text::greenPoint);
    drawText(cv, x1, 0.70f, f, text::whitePoint);
    drawText(cv, x1, 0.65f, f, text::blackPoint);
}

void drawGrid(Canvas& cv, Vec2 origin, double angle, int n, double dx, double dy)
{
    // the width the grid leaves behind, even when it draws nothing
    constexpr float thin = 1.0f;
    constexpr float axis = 2.0f;
    const double extentX = n * dx;
    const double extentY = n * dy;
    if (!drawable(origin) || !drawable(angle) || !drawable(extentX) || !drawable(extentY) ||
        n < 0) {
        cv.setLineWidth(thin);
        return;
    }
    cv.setLighting(false);
    cv.setColor(palette::black);
    cv.pushMatrix();
    cv.setLineWidth(axis);
    cv.translate(origin.x, origin.y);
    cv.rotate(angle / radiansPerDegree);
    // vertical lines, then horizontal ones
    for (int j = -n; j <= n; ++j) {
        cv.setLineWidth(j == 0 ? axis : thin);
        cv.begin(Shape::Lines);
        cv.vertex(j * dx, -extentY);
        cv.vertex(j * dx, extentY);
        cv.end();
    }
    for (int i = -n; i <= n; ++i) {
        cv.setLineWidth(i == 0 ? axis : thin);
        cv.begin(Shape::Lines);
        cv.vertex(-extentX, i * dy);
        cv.vertex(extentX, i * dy);
        cv.end();
    }
    cv.popMatrix();
    cv.setLighting(true);
}

}  // namespace hybridsim
