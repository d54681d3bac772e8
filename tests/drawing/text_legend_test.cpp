// Title, legend and grid.
#include <gtest/gtest.h>

#include <cmath>

#include "drawing/primitives.h"
#include "drawing/text_legend.h"
#include "sim/derivation.h"
#include "tests/support/drawing_support.h"

namespace hybridsim {
namespace {

using testing::defaultSettings;
using testing::near;

constexpr double tol = 1e-6;  // text positions are single-precision floats

void expectTextAt(const RecordingCanvas& cv, const std::string& bytes, double x, double y)
{
    const RecordedText* t = cv.findText(bytes);
    ASSERT_NE(t, nullptr) << "missing text '" << bytes << "'";
    EXPECT_TRUE(near(t->x, x, tol)) << bytes;
    EXPECT_TRUE(near(t->y, y, tol)) << bytes;
    EXPECT_EQ(t->font, Font::Helvetica18) << bytes;
}

TEST(Legend, NamesRobotMethodAndSettingErrorAndTheThreePoints)
{
    SimSettings s = defaultSettings();  // robot b, method 8, 5 mm
    RecordingCanvas cv;
    cv.setLighting(true);
    drawTitle(cv);
    drawLegend(cv, s);
    expectTextAt(cv, "Robot motion-force hybrid control   1 grid=(0.1, 0.1)[m]", -0.95, 0.95);
    expectTextAt(cv, "(b) SCARA robot", -0.95, 0.90);
    expectTextAt(cv, "Hybrid control 8", -0.88, 0.85);
    expectTextAt(cv, "Workpiece setting error=", -0.88, 0.80);
    expectTextAt(cv, "05[mm]\n", -0.35, 0.80);
    expectTextAt(cv, "green point : 10*position error", -0.88, 0.75);
    expectTextAt(cv, "white point : command position", -0.88, 0.70);
    expectTextAt(cv, "black point : position without deflection", -0.88, 0.65);
    EXPECT_EQ(cv.texts.size(), 8u);
    // text takes its dark grey from the lighting left on by the shapes
    for (const RecordedText& t : cv.texts) EXPECT_TRUE(t.lighting) << t.bytes;
    EXPECT_TRUE(cv.shapes.empty());

    // robot a and method 7 replace the two variable lines only
    s.type = 'a';
    s.hybrid = '7';
    s.seterror = 0.012;
    deriveSettings(s);
    RecordingCanvas other;
    drawLegend(other, s);
    ASSERT_EQ(other.texts.size(), 7u);
    expectTextAt(other, "(a) cylindrical coordinate robot", -0.95, 0.90);
    expectTextAt(other, "Hybrid control 7", -0.88, 0.85);
    expectTextAt(other, "12[mm]\n", -0.35, 0.80);
    for (std::size_t k : {2, 4, 5, 6}) EXPECT_EQ(other.texts[k].bytes, cv.texts[k + 1].bytes);

    // selectors outside their sets name no robot and no method
    s.type = 'x';
    s.hybrid = '9';
    RecordingCanvas none;
    drawLegend(none, s);
    EXPECT_EQ(none.texts.size(), 5u);
    EXPECT_EQ(none.texts[0].bytes, "Workpiece setting error=");
}

TEST(Grid, FortyOneLinesEachWayWithThickCentreLinesThroughTheBase)
{
    SimSettings s = defaultSettings();
    s.viewScale = std::pow(0.9, 3);  // 'w' three times
    const double vs = s.viewScale;
    RecordingCanvas cv;
    cv.setLighting(true);
    const Vec2 base = toWindow(s, Vec2{0.0, 0.0});
    drawGrid(cv, Vec2{s.viewOffsetX * vs, s.viewOffsetY * vs}, 0.0, 20, 0.1 * vs, 0.1 * vs);

    ASSERT_EQ(cv.shapes.size(), 82u);
    EXPECT_FLOAT_EQ(cv.lineWidth(), 1.0f);
    EXPECT_TRUE(cv.lighting());
    EXPECT_EQ(cv.matrixDepth(), 0);
    for (int k = 0; k < 82; ++k) {
        const RecordedShape& line = cv.shapes[k];
        const bool vertical = k < 41;
        const int j = (vertical ? k : k - 41) - 20;
        SCOPED_TRACE(k);
        EXPECT_EQ(line.shape, Shape::Lines);
        EXPECT_TRUE(sameColor(line.color, palette::black));
        EXPECT_FALSE(line.lighting);
        EXPECT_FLOAT_EQ(line.lineWidth, j == 0 ? 2.0f : 1.0f);
        ASSERT_EQ(line.vertices.size(), 2u);
        const Vec2 a = line.vertices[0];
        const Vec2 b = line.vertices[1];
        if (vertical) {
            EXPECT_TRUE(near(a.x, base.x + j * 0.1 * vs, 1e-12));
            EXPECT_TRUE(near(b.x, a.x, 1e-12));
            EXPECT_TRUE(near(b.y - a.y, 4.0 * vs, 1e-12));  // +-2 m about the base
        } else {
            EXPECT_TRUE(near(a.y, base.y + j * 0.1 * vs, 1e-12));
            EXPECT_TRUE(near(b.y, a.y, 1e-12));
            EXPECT_TRUE(near(b.x - a.x, 4.0 * vs, 1e-12));
        }
    }

    // a turned grid turns its lines about the origin
    cv.reset();
    drawGrid(cv, Vec2{0.1, 0.1}, drawingPi / 2.0, 1, 0.2, 0.3);
    ASSERT_EQ(cv.shapes.size(), 6u);
    const RecordedShape& firstVertical = cv.shapes[0];  // j = -1, x = -0.2 before turning
    EXPECT_TRUE(near(firstVertical.vertices[0].y, 0.1 - 0.2, 1e-8));
    EXPECT_TRUE(near(firstVertical.vertices[1].y, 0.1 - 0.2, 1e-8));
}

}  // namespace
}  // namespace hybridsim
