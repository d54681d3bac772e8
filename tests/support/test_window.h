// The program's window prepared on a private Xvfb, for a suite of tests that
// draw with OpenGL and read the pictures back: the display is started, GLUT
// initialised with "-display" and the 800 x 800 window created, once.
#pragma once

#include <string>

#include "sim/run.h"
#include "sim/settings.h"
#include "study/compare.h"
#include "tests/support/virtual_display.h"
#include "view/gl_canvas.h"

namespace hybridsim::testing {

class TestWindow {
public:
    // Starts the display and prepares the window; false with `error` set
    // when either cannot be done.  `program` names the process to GLUT.
    bool open(const char* program, std::string& error);
    // Destroys the window and ends GLUT and the display.
    void close();

    // ":N" of the display.
    const std::string& displayName() const { return display_.name(); }

private:
    VirtualDisplay display_;
    // the command line handed to GLUT, which keeps pointers into it
    std::string program_;
    std::string option_ = "-display";
    std::string name_;
    char* argv_[4] = {nullptr, nullptr, nullptr, nullptr};
    bool windowOpen_ = false;
};

// One picture drawn by drawFrame into the prepared window, in `order`, left
// in the back buffer and read back from there; expects no OpenGL error.
RgbImage drawAndReadBack(const SimSettings& s, const RunSeries& run,
                         GlCanvas::Order order = GlCanvas::Order::Depth);
// ... with the runs of `pins` (drawn by the four-argument drawFrame), and
// with the teaching overlay when `overlay` is true.
RgbImage drawAndReadBack(const SimSettings& s, const RunSeries& run, const PinSet& pins,
                         GlCanvas::Order order = GlCanvas::Order::Depth, bool overlay = false);

}  // namespace hybridsim::testing
