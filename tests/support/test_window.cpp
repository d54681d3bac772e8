#include "tests/support/test_window.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include "drawing/frame.h"
#include "view/window.h"

namespace hybridsim::testing {

bool TestWindow::open(const char* program, std::string& error)
{
    if (!display_.start(error)) return false;
    const std::string problem = checkDisplay(display_.name());
    if (!problem.empty()) {
        error = problem;
        return false;
    }
    program_ = program;
    name_ = display_.name();
    argv_[0] = program_.data();
    argv_[1] = option_.data();
    argv_[2] = name_.data();
    int argc = 3;
    prepareWindow(&argc, argv_);
    windowOpen_ = true;
    return true;
}

void TestWindow::close()
{
    if (windowOpen_) {
        glutDestroyWindow(glutGetWindow());
        glutExit();
        windowOpen_ = false;
    }
    display_.stop();
}

RgbImage drawAndReadBack(const SimSettings& s, const RunSeries& run, GlCanvas::Order order)
{
    static const PinSet noPins;
    return drawAndReadBack(s, run, noPins, order);
}

RgbImage drawAndReadBack(const SimSettings& s, const RunSeries& run, const PinSet& pins, GlCanvas::Order order,
                         bool overlay)
{
    GlCanvas canvas({}, order);
    EXPECT_EQ(canvas.order(), order);
    if (overlay)
        drawFrame(canvas, s, run, pins, true);
    else if (pins.empty())
        drawFrame(canvas, s, run);
    else
        drawFrame(canvas, s, run, pins);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    return readBackBuffer(windowSize, windowSize);
}

}  // namespace hybridsim::testing
