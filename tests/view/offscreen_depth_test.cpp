// The off-screen picture's depth buffer against the window's: the canvas
// puts each shape of a picture at a depth of its own (view/gl_canvas.h),
// so a picture of many shapes needs the depth buffer the window has.  Two
// quads a millionth apart in depth -- the nearer drawn last -- show the
// nearer one in the window; a shallower buffer (16 bits resolve 1.5e-5)
// keeps the first.
#include <EGL/egl.h>
#include <GL/freeglut.h>
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "drawing/primitives.h"
#include "tests/support/test_window.h"
#include "view/offscreen.h"
#include "view/window.h"

namespace hybridsim {
namespace {

constexpr unsigned blue = 0x0000FF;

// A quad of window units at window depth `depth` (0 near .. 1 far).
void quad(double x0, double y0, double x1, double y1, double depth, float r, float g, float b)
{
    const double z = 2.0 * depth - 1.0;
    glColor3f(r, g, b);
    glBegin(GL_QUADS);
    glVertex3d(x0, y0, z);
    glVertex3d(x1, y0, z);
    glVertex3d(x1, y1, z);
    glVertex3d(x0, y1, z);
    glEnd();
}

// Left: red, then blue a millionth nearer; right: blue, then red a
// millionth further (which no buffer lets through).  The depth bits in `bits`.
void twoPairs(int& bits)
{
    glGetIntegerv(GL_DEPTH_BITS, &bits);
    glViewport(0, 0, windowSize, windowSize);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    // (a depth that no buffer of 16 bits holds a rounding boundary near)
    const double depth = 19667.3 / 65535.0;
    quad(-0.8, -0.5, -0.2, 0.5, depth, 1.0f, 0.0f, 0.0f);
    quad(-0.8, -0.5, -0.2, 0.5, depth - 1e-6, 0.0f, 0.0f, 1.0f);
    quad(0.2, -0.5, 0.8, 0.5, depth - 1e-6, 0.0f, 0.0f, 1.0f);
    quad(0.2, -0.5, 0.8, 0.5, depth, 1.0f, 0.0f, 0.0f);
    glDisable(GL_DEPTH_TEST);
    glFinish();
}

unsigned middleOf(const RgbImage& img, double x) { return img.pixel(static_cast<int>((x + 1.0) * pixelsPerUnit), 400); }

TEST(OffscreenDepth, QuadsAMillionthApartInDepthLookAsInTheWindow)
{
    testing::TestWindow window;
    std::string error;
    ASSERT_TRUE(window.open("view_tests", error)) << error;
    int windowBits = 0;
    twoPairs(windowBits);
    const RgbImage inWindow = readBackBuffer(windowSize, windowSize);
    window.close();

    // (a thread of its own: this one has the window's context current)
    int offscreenBits = 0;
    RgbImage offscreen;
    std::thread([&] {
        std::unique_ptr<OffscreenView> view = OffscreenView::openEgl(error);
        if (view) offscreen = view->draw([&](Canvas&) { twoPairs(offscreenBits); });
    }).join();
    ASSERT_FALSE(offscreen.rgb.empty()) << error;

    // the window's buffer tells the millionth apart, and so does the picture's
    EXPECT_EQ(middleOf(inWindow, -0.5), blue) << windowBits << " depth bits in the window";
    EXPECT_EQ(middleOf(inWindow, 0.5), blue);
    EXPECT_EQ(middleOf(offscreen, -0.5), middleOf(inWindow, -0.5)) << offscreenBits << " depth bits off screen";
    EXPECT_EQ(middleOf(offscreen, 0.5), middleOf(inWindow, 0.5));
    EXPECT_EQ(offscreenBits, windowBits);
}

}  // namespace
}  // namespace hybridsim
