#include "tests/view/test_window.h"

#include <GL/freeglut.h>

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

}  // namespace hybridsim::testing
