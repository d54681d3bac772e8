#include "drawing/text_legend.h"

#include "drawing/primitives.h"

namespace hybridsim {
namespace {

// Advance [pixels] of the characters 0x20..0x7E of the 12- and 18-pixel
// Helvetica bitmap fonts the window draws with.
constexpr unsigned char helvetica12[95] = {
    4, 3, 5, 7, 7, 11, 9, 3, 4, 4, 5, 7, 4, 8, 3, 4, 7, 7, 7, 7, 7, 7, 7, 7,
    7, 7, 3, 3, 7, 7, 7, 7, 12, 9, 8, 9, 9, 8, 8, 9, 9, 3, 7, 8, 7, 11, 9, 10,
    8, 10, 8, 8, 7, 8, 9, 11, 9, 9, 9, 3, 4, 3, 6, 7, 3, 7, 7, 7, 7, 7, 3, 7,
    7, 3, 3, 6, 3, 9, 7, 7, 7, 7, 4, 6, 3, 7, 7, 9, 6, 7, 6, 4, 3, 4, 7};
constexpr unsigned char helvetica18[95] = {
    5, 6, 5, 10, 10, 16, 13, 4, 6, 6, 7, 10, 5, 11, 5, 5, 10, 10, 10, 10, 10, 10, 10, 10,
    10, 10, 5, 5, 10, 11, 10, 10, 18, 12, 13, 14, 13, 11, 11, 14, 13, 6, 10, 13, 10, 16, 13, 15,
    12, 15, 12, 13, 12, 13, 14, 18, 13, 14, 12, 5, 5, 5, 9, 10, 4, 9, 11, 10, 11, 10, 6, 11,
    10, 4, 4, 9, 4, 14, 10, 11, 11, 11, 6, 9, 6, 10, 10, 14, 10, 10, 9, 6, 4, 6, 10};

}  // namespace

double textWidth(Font font, const std::string& bytes)
{
    const unsigned char* advance = font == Font::Helvetica12 ? helvetica12 : helvetica18;
    const double widest = font == Font::Helvetica12 ? 12.0 : 18.0;
    double width = 0.0;
    for (unsigned char c : bytes) width += c >= 0x20 && c < 0x7F ? advance[c - 0x20] : widest;
    return width;
}

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
