// The window's picture drawn off screen: the same drawing code (drawFrame
// through a GlCanvas in depth order) into an 800 x 800 GLX pixel buffer of
// the frame-buffer configuration the window would get, read back with
// glReadPixels.  Nothing is mapped on the screen.
//
// Why a GLX pbuffer (and not an unmapped GLUT window with a frame-buffer
// object): the picture must be pixel for pixel the window's own.  A pbuffer
// is made from the configuration GLUT picks for the window on a true-colour
// display (the first that glXChooseFBConfig returns for the window's
// display mode: 8-bit RGB, depth buffer, double buffering) and rendered by
// the same renderer, so colour depth, depth-buffer precision and
// rasterisation are the window's, and the canvas draws in depth order as
// the window does; a frame-buffer object would carry formats of its own
// choosing, and GLUT has no way to create a window without mapping it.
// GLUT is still initialised, without a window, because the bitmap fonts of
// the title and the legend (glutBitmapCharacter) refuse to work before
// glutInit; they draw with glBitmap into whatever context is current.
#pragma once

#include <memory>
#include <string>

#include "sim/run.h"
#include "sim/settings.h"
#include "study/compare.h"
#include "view/gl_canvas.h"

namespace hybridsim {

class OffscreenView {
public:
    // Opens `display` (empty: $DISPLAY; a refused connection is tried again
    // as openDisplayPatiently does), initialises GLUT for its fonts (unless
    // the process has already done so) while that connection is open, and
    // makes an 800 x 800 pixel buffer with its context current.  Null with
    // `error` set to a phrase such as "DISPLAY is not set" or "the X display
    // ':5' cannot be opened" when any step fails; nothing is left open then.
    // One view at a time per process.
    static std::unique_ptr<OffscreenView> open(const std::string& display, std::string& error);

    ~OffscreenView();
    OffscreenView(const OffscreenView&) = delete;
    OffscreenView& operator=(const OffscreenView&) = delete;

    // The picture drawFrame draws for `s` (its frame and zoom as they are),
    // read back from the pixel buffer, row 0 at the bottom.
    RgbImage draw(const SimSettings& s, const RunSeries& run);
    // ... with the runs of `pins` drawn as the window draws its pins.
    RgbImage draw(const SimSettings& s, const RunSeries& run, const PinSet& pins);
    // ... and with the teaching overlay when `overlay` is true.
    RgbImage draw(const SimSettings& s, const RunSeries& run, const PinSet& pins, bool overlay);

    // Depth when the configuration has a depth buffer, as in the window.
    GlCanvas::Order order() const;

private:
    struct Glx;
    OffscreenView();

    std::unique_ptr<Glx> glx_;
    std::unique_ptr<GlCanvas> canvas_;
};

}  // namespace hybridsim
